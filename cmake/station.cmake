# Targets are built from the folders they own: every *.cpp is a source, every
# *_test.cpp a test of that target (one GoogleTest binary per target), and
# *_bench.cpp files belong to bench/; a modules/ folder holds modules loaded at
# run time, each built on its own. Adding a file needs no CMake edit.

set(STATION_ALL_TARGETS "" CACHE INTERNAL "")

# Linked into every test binary: fails a test whose queued modal scripts never
# ran or whose modal form ended unanswered.
set(STATION_TEST_SUPPORT ${CMAKE_SOURCE_DIR}/platform/ui/testdata/modal_scripts_check.cpp)

function(_station_collect out_sources out_tests)
  set(sources "")
  set(tests "")
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
    foreach(f IN LISTS found)
      if(f MATCHES "_test\\.cpp$" OR f MATCHES "/testdata/")
        if(f MATCHES "_test\\.cpp$")
          list(APPEND tests ${f})
        endif()
      elseif(f MATCHES "_bench\\.cpp$" OR f MATCHES "_fuzz\\.cpp$" OR f MATCHES "/test_plugins/"
             OR f MATCHES "/modules/")
        # built elsewhere
      else()
        list(APPEND sources ${f})
      endif()
    endforeach()
  endforeach()
  set(${out_sources} ${sources} PARENT_SCOPE)
  set(${out_tests} ${tests} PARENT_SCOPE)
endfunction()

# Each test's ctest bound is 300 s, or TIMEOUT when given (tests that start
# an office of their own on a busy machine need longer).
function(_station_tests name tests)
  if(NOT tests)
    return()
  endif()
  set(timeout 300)
  if(ARGC GREATER 2)
    set(timeout ${ARGV2})
  endif()
  add_executable(${name}_tests ${tests} ${STATION_TEST_SUPPORT})
  target_link_libraries(${name}_tests PRIVATE ${name} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name}_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name}_tests PRIVATE
    STATION_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    STATION_BINARY_DIR="${CMAKE_BINARY_DIR}")
  station_discover_tests(${name}_tests "${tests}" PROPERTIES TIMEOUT ${timeout})
endfunction()

# The suites (TEST, TEST_F, TEST_P, TYPED_TEST ...) a test file defines.
function(_station_suites out file)
  set(suites "")
  file(STRINGS ${file} lines REGEX "^[ \t]*(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\\(")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*[A-Z_]+\\([ \t]*([A-Za-z0-9_]+).*" "\\1" suite "${line}")
    list(APPEND suites ${suite})
  endforeach()
  set(${out} ${suites} PARENT_SCOPE)
endfunction()

# A gtest filter naming the suites, instantiated and typed ones included.
function(_station_suite_filter out)
  set(patterns "")
  foreach(suite IN LISTS ARGN)
    list(APPEND patterns "${suite}.*" "*/${suite}.*" "${suite}/*")
  endforeach()
  string(JOIN ":" filter ${patterns})
  set(${out} "${filter}" PARENT_SCOPE)
endfunction()

# station_discover_tests(TARGET "FILES" [LABEL label] [EXCLUDE suite...]
#                        [PROPERTIES ...])
# registers the tests of TARGET with CTest, labelled by what they need beyond
# the build, so that `ctest -LE "screen|office|road"` is the quick loop:
# "office" for the suites of a file that starts a real office (whether or not
# it also shows a window), "screen" for those of a file that works a virtual X
# server (it uses the screen test helpers); LABEL, when given, labels every
# test of the target instead; the EXCLUDE suites are left to a discovery of
# their own. A test has one label: CTest's discovery of
# GoogleTest tests cannot carry a list.
function(station_discover_tests target files)
  cmake_parse_arguments(A "" "LABEL" "EXCLUDE;PROPERTIES" ${ARGN})
  set(screen "")
  set(office "")
  if(NOT A_LABEL)
    foreach(f IN LISTS files)
      file(READ ${f} text)
      _station_suites(suites ${f})
      if(text MATCHES "soffice|office_installed\\(")
        list(APPEND office ${suites})
      elseif(text MATCHES "screen_testing\\.h|window_testing\\.h|operator_session_testing\\.h")
        list(APPEND screen ${suites})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES office)
    list(REMOVE_DUPLICATES screen)
    foreach(s IN LISTS office)
      list(REMOVE_ITEM screen ${s})
    endforeach()
  endif()
  foreach(s IN LISTS A_EXCLUDE)
    list(REMOVE_ITEM screen ${s})
    list(REMOVE_ITEM office ${s})
  endforeach()
  set(labelled ${screen} ${office} ${A_EXCLUDE})
  set(filter_rest "")
  if(labelled)
    _station_suite_filter(filter_rest ${labelled})
    set(filter_rest "-${filter_rest}")
  endif()
  set(label_rest ${A_LABEL})
  set(groups rest)
  foreach(g IN ITEMS screen office)
    if(${g})
      list(APPEND groups ${g})
      _station_suite_filter(filter_${g} ${${g}})
      set(label_${g} ${g})
    endif()
  endforeach()
  foreach(g IN LISTS groups)
    set(args "")
    if(filter_${g})
      list(APPEND args TEST_FILTER "${filter_${g}}")
    endif()
    set(props ${A_PROPERTIES})
    if(label_${g})
      list(APPEND props LABELS ${label_${g}})
    endif()
    gtest_discover_tests(${target}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      DISCOVERY_TIMEOUT 60
      ${args}
      PROPERTIES ${props})
  endforeach()
endfunction()

function(_station_existing out)
  set(result "")
  foreach(lib IN LISTS ARGN)
    if(TARGET ${lib} OR NOT lib MATCHES "^(platform|Widrak|Durvalib|core)$")
      list(APPEND result ${lib})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Plug-ins that a target's tests load: each test_plugins/NAME.cpp under the
# target's folders becomes build/test_plugins/TARGET/NAME.so, built before
# the tests.
function(_station_test_plugins name)
  if(NOT TARGET ${name}_tests)
    return()
  endif()
  foreach(dir IN LISTS ARGN)
    file(GLOB plugins CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/test_plugins/*.cpp)
    foreach(src IN LISTS plugins)
      get_filename_component(stem ${src} NAME_WE)
      set(t ${name}_test_plugin_${stem})
      add_library(${t} MODULE ${src})
      set_target_properties(${t} PROPERTIES PREFIX "" OUTPUT_NAME ${stem}
        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test_plugins/${name})
      target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR})
      target_link_libraries(${t} PRIVATE ${name})
      add_dependencies(${name}_tests ${t})
    endforeach()
  endforeach()
endfunction()

# station_library(NAME DIRS dir... LIBS lib...)
function(station_library name)
  cmake_parse_arguments(A "" "" "DIRS;LIBS" ${ARGN})
  _station_collect(sources tests ${A_DIRS})
  if(NOT sources)
    return()
  endif()
  _station_existing(libs ${A_LIBS})
  add_library(${name} SHARED ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${libs})
  _station_tests(${name} "${tests}")
  _station_test_plugins(${name} ${A_DIRS})
endfunction()

# station_plugin(NAME ...): a shared object loaded at run time, no lib prefix.
function(station_plugin name)
  cmake_parse_arguments(A "" "" "DIRS;LIBS" ${ARGN})
  _station_collect(sources tests ${A_DIRS})
  if(NOT sources)
    return()
  endif()
  _station_existing(libs ${A_LIBS})
  add_library(${name} SHARED ${sources})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${libs})
  _station_tests(${name} "${tests}")
endfunction()

# station_program(NAME DIRS dir... LIBS lib... [TEST_TIMEOUT seconds]): the
# program's main() lives in main.cpp; the rest of its folder is a static
# object library that its tests link as well.
function(station_program name)
  cmake_parse_arguments(A "" "TEST_TIMEOUT" "DIRS;LIBS" ${ARGN})
  if(NOT A_TEST_TIMEOUT)
    set(A_TEST_TIMEOUT 300)
  endif()
  _station_collect(sources tests ${A_DIRS})
  if(NOT sources)
    return()
  endif()
  _station_existing(libs ${A_LIBS})
  set(mains ${sources})
  list(FILTER mains INCLUDE REGEX "/main\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name}_obj STATIC ${sources})
    target_include_directories(${name}_obj PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name}_obj PUBLIC ${libs})
    set(libs ${name}_obj)
  endif()
  add_executable(${name} ${mains})
  target_link_libraries(${name} PRIVATE ${libs})
  if(sources)
    _station_tests(${name}_obj "${tests}" ${A_TEST_TIMEOUT})
    # Tests may run the program itself.
    if(TARGET ${name}_obj_tests)
      add_dependencies(${name}_obj_tests ${name})
    endif()
  endif()
endfunction()
