# LibreOffice's UNO SDK, for the report program's spreadsheet client.
#
# The C++ headers of the office's interfaces are not shipped: cppumaker makes
# them from the office's own type libraries, so they always match the office
# that runs the reports. All types of the two libraries are made at once (a
# couple of seconds, once per build folder): cppumaker follows only part of a
# type's dependencies when asked for single types, and a missing header would
# turn every new interface call into a hunt for its dependencies.
#
# Defines the interface target station_uno (headers, definitions, the cppu,
# cppuhelper and sal libraries, the office's program folder as run path) when
# the SDK is installed; STATION_UNO_FOUND tells whether it is.

set(STATION_OFFICE_DIR /usr/lib/libreoffice CACHE PATH "LibreOffice installation folder (holds program/ and sdk/)")

find_program(STATION_CPPUMAKER cppumaker PATHS ${STATION_OFFICE_DIR}/sdk/bin NO_DEFAULT_PATH)
find_path(STATION_UNO_INCLUDE_DIR sal/config.h PATHS /usr/include/libreoffice ${STATION_OFFICE_DIR}/sdk/include)
find_library(STATION_UNO_CPPU uno_cppu PATHS ${STATION_OFFICE_DIR}/sdk/lib NO_DEFAULT_PATH)
find_library(STATION_UNO_CPPUHELPER uno_cppuhelpergcc3 PATHS ${STATION_OFFICE_DIR}/sdk/lib NO_DEFAULT_PATH)
find_library(STATION_UNO_SAL uno_sal PATHS ${STATION_OFFICE_DIR}/sdk/lib NO_DEFAULT_PATH)
set(_uno_types ${STATION_OFFICE_DIR}/program/types.rdb)
set(_uno_offapi ${STATION_OFFICE_DIR}/program/types/offapi.rdb)

set(STATION_UNO_FOUND OFF)
if(STATION_CPPUMAKER AND STATION_UNO_INCLUDE_DIR AND STATION_UNO_CPPU AND STATION_UNO_CPPUHELPER
   AND STATION_UNO_SAL AND EXISTS ${_uno_types} AND EXISTS ${_uno_offapi}
   AND EXISTS ${STATION_OFFICE_DIR}/program/soffice.bin)
  set(STATION_UNO_FOUND ON)
  set(_uno_out ${CMAKE_BINARY_DIR}/uno/include)
  set(_uno_stamp ${CMAKE_BINARY_DIR}/uno/cppumaker.stamp)
  add_custom_command(
    OUTPUT ${_uno_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_uno_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_uno_out}
    COMMAND ${STATION_CPPUMAKER} -O ${_uno_out} ${_uno_types} ${_uno_offapi}
    COMMAND ${CMAKE_COMMAND} -E touch ${_uno_stamp}
    DEPENDS ${_uno_types} ${_uno_offapi}
    COMMENT "Making the office's UNO interface headers with cppumaker"
    VERBATIM)
  add_custom_target(station_uno_headers DEPENDS ${_uno_stamp})

  add_library(station_uno INTERFACE)
  target_include_directories(station_uno SYSTEM INTERFACE ${STATION_UNO_INCLUDE_DIR} ${_uno_out})
  target_compile_definitions(station_uno INTERFACE LINUX UNX CPPU_ENV=gcc3
    STATION_OFFICE_PROGRAM_DIR="${STATION_OFFICE_DIR}/program")
  target_link_libraries(station_uno INTERFACE ${STATION_UNO_CPPU} ${STATION_UNO_CPPUHELPER} ${STATION_UNO_SAL})
  # The SDK's link libraries are only names for the office's own copies.
  target_link_options(station_uno INTERFACE "LINKER:-rpath,${STATION_OFFICE_DIR}/program")
  add_dependencies(station_uno station_uno_headers)
else()
  # Say which of the pieces is missing, so the set-up can be mended.
  set(_uno_missing "")
  if(NOT STATION_CPPUMAKER)
    list(APPEND _uno_missing "cppumaker in ${STATION_OFFICE_DIR}/sdk/bin")
  endif()
  if(NOT STATION_UNO_INCLUDE_DIR)
    list(APPEND _uno_missing "the SDK headers (sal/config.h)")
  endif()
  foreach(_lib STATION_UNO_CPPU STATION_UNO_CPPUHELPER STATION_UNO_SAL)
    if(NOT ${_lib})
      list(APPEND _uno_missing "${_lib} in ${STATION_OFFICE_DIR}/sdk/lib")
    endif()
  endforeach()
  foreach(_file ${_uno_types} ${_uno_offapi} ${STATION_OFFICE_DIR}/program/soffice.bin)
    if(NOT EXISTS ${_file})
      list(APPEND _uno_missing "${_file}")
    endif()
  endforeach()
  list(JOIN _uno_missing ", " _uno_missing)
  set(_uno_text "LibreOffice and its SDK (Debian: libreoffice-calc, libreoffice-dev; "
                "scripts/setup.sh installs them) not found, missing: ${_uno_missing}")
  # A CI run must build and test everything: a missing office is its failure.
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR "${_uno_text}: the report program Grouttab and its tests cannot be built")
  endif()
  message(WARNING "${_uno_text}: the report program Grouttab is not built")
endif()

# The office's objects reach us through the bridge from libraries whose type
# information is not the copy our headers emit, so the sanitizer's vptr check
# takes every UNO reference for a wrong type. The one file that holds UNO
# objects goes without that check; everything else keeps it.
if(STATION_UNO_FOUND AND STATION_SANITIZE)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/programs/grouttab/uno_server.cpp
    PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
endif()
