// Keeps the house in order: reads every #include of the source tree and
// fails, naming the file and the line, on
//   - an include against the layering: a folder includes only its own rank
//     or lower ones,
//         platform < widrak < library < gti < plugins, programs < tools, bench
//     (plugins and programs share a rank);
//   - a Linux system header (<unistd.h>, <fcntl.h>, <sys/...>, <termios.h>,
//     <dlfcn.h>, <poll.h>, ...) outside platform/os and tools: everything
//     else reaches the system through os::;
//   - a read of the time (monotonic or wall) anywhere but the station's one
//     clock, platform/os/clock.*: a test clock that steps the wall clock back
//     or jumps forward must be seen by everything that stamps or measures.
//     The device simulator (tools/devsim) plays the units on their own
//     clock and is left out.
//   - a std::filesystem call that changes the disk (making, removing,
//     renaming or copying entries, sizes, permissions, links) outside
//     platform/os: folders go through os:: as files do, so the share and
//     link rules hold for them too.
//
// Test code may use system headers where it plays a peer or looks behind
// the code it tests (forks, pseudo-terminals, raw descriptors): the files
// *_test.cpp, *_bench.cpp, *_fuzz.cpp, *testing.h and anything under
// test_plugins/ or bench/. Test code still keeps the layering: a test binary
// links only its own target and the ones below it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/os/testing.h"

namespace {

namespace fs = std::filesystem;

struct Violation {
    std::string file;  // relative to the root
    int line = 0;
    std::string what;
};

std::string describe(const Violation& v) { return v.file + ":" + std::to_string(v.line) + ": " + v.what; }

// The rank of each top folder of the tree; folders not named here (scripts,
// cmake, docs) hold no C++.
const std::map<std::string, int>& ranks() {
    static const std::map<std::string, int> r = {
        {"platform", 0}, {"widrak", 1},   {"library", 2}, {"gti", 3},
        {"plugins", 4},  {"programs", 4}, {"tools", 5},   {"bench", 5},
    };
    return r;
}

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

bool ends_with(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The headers through which code reaches Linux itself, not the C or C++
// library.
bool is_system_header(const std::string& name) {
    static const std::set<std::string> names = {
        "unistd.h", "fcntl.h",   "termios.h",   "dlfcn.h",    "poll.h",    "pthread.h", "dirent.h",  "spawn.h",
        "pty.h",    "sched.h",   "semaphore.h", "netdb.h",    "pwd.h",     "grp.h",     "glob.h",    "fnmatch.h",
        "syslog.h", "aio.h",     "mqueue.h",    "utmp.h",     "ifaddrs.h", "libgen.h",  "wordexp.h", "ftw.h",
        "malloc.h", "alloca.h",  "endian.h",    "byteswap.h", "err.h",     "error.h",   "getopt.h",  "paths.h",
        "utime.h",  "strings.h", "execinfo.h",  "ucontext.h", "link.h",    "elf.h",     "termio.h",  "sgtty.h",
    };
    for (const char* folder : {"sys/", "linux/", "asm/", "asm-generic/", "bits/", "netinet/", "arpa/", "net/",
                               "netpacket/", "scsi/", "mtd/"})
        if (starts_with(name, folder)) return true;
    return names.count(name) > 0;
}

bool is_test_code(const std::string& rel) {
    const std::string file = fs::path(rel).filename().string();
    return ends_with(file, "_test.cpp") || ends_with(file, "_bench.cpp") || ends_with(file, "_fuzz.cpp") ||
           ends_with(file, "testing.h") || rel.find("/test_plugins/") != std::string::npos ||
           starts_with(rel, "bench/");
}

bool may_use_the_system(const std::string& rel) {
    return starts_with(rel, "platform/os/") || starts_with(rel, "tools/") || is_test_code(rel);
}

bool may_read_the_time(const std::string& rel) {
    return starts_with(rel, "platform/os/clock.") || starts_with(rel, "tools/devsim/") || is_test_code(rel) ||
           rel == "platform/os/test_peers.h";
}

// What reads a clock: the C and POSIX calls, the standard clocks' now(),
// GLib's.
const std::regex& time_read() {
    static const std::regex r(
        R"(\b(clock_gettime|gettimeofday|timespec_get|ftime|g_get_monotonic_time|g_get_real_time|g_date_time_new_now\w*)\s*\()"
        R"(|\b(steady_clock|high_resolution_clock|utc_clock|tai_clock|gps_clock)\b)"
        R"(|\bchrono::system_clock\b|\b(system|file)_clock::now\b)"
        R"(|\bfile_time_type::clock\b)"
        R"(|\btime\s*\(\s*(nullptr|NULL|0)\s*\))");
    return r;
}

// The line without a // comment (a string holding "//" is rare enough in
// this tree to be left alone).
std::string code_of(const std::string& line) {
    const std::size_t c = line.find("//");
    return c == std::string::npos ? line : line.substr(0, c);
}

// A std::filesystem call that changes the disk, however the namespace is
// spelled ("fs::" is the house alias); not in a line's comment.
bool changes_the_disk(const std::string& line) {
    static const std::regex call(
        R"((^|[^A-Za-z0-9_])(std::filesystem|fs)::(create_director(y|ies)|remove(_all)?|rename|copy(_file|_symlink)?)"
        R"(|resize_file|permissions|create_(directory_)?symlink|create_hard_link)\s*\()");
    return std::regex_search(code_of(line), call);
}

bool is_source(const fs::path& p) {
    static const std::set<std::string> endings = {".cpp", ".cc", ".c", ".h", ".hpp", ".inc"};
    return endings.count(p.extension().string()) > 0 || ends_with(p.string(), ".h.in");
}

// The header an #include line names and whether it was in angle brackets;
// nothing for any other line. A line continued or commented out before the
// directive is not an include.
std::optional<std::pair<std::string, bool>> include_of(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return std::nullopt;
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return std::nullopt;
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return std::nullopt;
    const char close = line[i] == '"' ? '"' : '>';
    std::size_t end = line.find(close, i + 1);
    if (end == std::string::npos) return std::nullopt;
    return std::make_pair(line.substr(i + 1, end - i - 1), close == '>');
}

// Every violation under `root`, in file and line order.
std::vector<Violation> check_tree(const fs::path& root) {
    std::vector<Violation> found;
    std::vector<std::string> files;
    for (const auto& [top, rank] : ranks()) {
        (void)rank;
        const fs::path dir = root / top;
        if (!fs::is_directory(dir)) continue;
        for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
            const std::string name = it->path().filename().string();
            if (it->is_directory() && (name == "build" || starts_with(name, "."))) {
                it.disable_recursion_pending();
                continue;
            }
            if (it->is_regular_file() && is_source(it->path()))
                files.push_back(fs::relative(it->path(), root).generic_string());
        }
    }
    std::sort(files.begin(), files.end());

    for (const std::string& rel : files) {
        const std::string top = rel.substr(0, rel.find('/'));
        const int own_rank = ranks().at(top);
        std::ifstream in(root / rel);
        std::string line;
        const bool time_allowed = may_read_the_time(rel);
        const bool disk_calls_allowed =
            starts_with(rel, "platform/os/") || is_test_code(rel) || rel.find("/testdata/") != std::string::npos;
        for (int number = 1; std::getline(in, line); ++number) {
            if (!time_allowed && std::regex_search(code_of(line), time_read()))
                found.push_back({rel, number, "reads the time: use os::clock() (platform/os/clock.h)"});
            if (!disk_calls_allowed && changes_the_disk(line))
                found.push_back({rel, number, "a std::filesystem call that changes the disk: use os::"});
            auto inc = include_of(line);
            if (!inc) continue;
            const auto& [name, angled] = *inc;
            const std::string first = name.substr(0, name.find('/'));
            auto rank = ranks().find(first);
            if (rank != ranks().end() && name.find('/') != std::string::npos) {
                if (rank->second > own_rank)
                    found.push_back({rel, number, "\"" + name + "\": " + top + " may not include " + first});
            } else if (angled && is_system_header(name) && !may_use_the_system(rel)) {
                found.push_back({rel, number, "<" + name + "> outside platform/os and tools: use os::"});
            }
        }
    }
    return found;
}

std::string report(const std::vector<Violation>& found) {
    std::string text;
    for (const Violation& v : found) text += describe(v) + "\n";
    return text;
}

TEST(House, TheTreeKeepsItsLayersAndItsSystemBoundary) {
    const fs::path root = STATION_SOURCE_DIR;
    ASSERT_TRUE(fs::is_regular_file(root / "platform/os/file.h")) << root;
    const auto found = check_tree(root);
    EXPECT_TRUE(found.empty()) << report(found);
}

// The check itself, on a small planted tree.
TEST(House, PlantedFaultsAreFoundByFileAndLine) {
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    auto plant = [&](const std::string& rel, const std::string& text) {
        fs::create_directories((root / rel).parent_path());
        std::ofstream(root / rel) << text;
    };
    plant("platform/os/port.cpp", "#include <termios.h>\n#include <unistd.h>\n");
    plant("platform/rtl/text.cpp", "#include \"platform/os/file.h\"\n\n#include \"library/util.h\"\n");
    plant("library/util.cpp",
          "#include \"library/util.h\"\n#include <vector>\n  #  include <unistd.h>\n#include \"widrak/x.h\"\n");
    plant("library/util_test.cpp", "#include <sys/wait.h>\n#include \"gti/registr_old/param.h\"\n");
    plant("library/test_plugins/p.cpp", "#include <dlfcn.h>\n");
    plant("library/io/stream_testing.h", "#include <fcntl.h>\n");
    plant("gti/registr_old/log.cpp", "// #include <fcntl.h>\n#include <sys/stat.h>\n#include \"plugins/x.h\"\n");
    plant("plugins/pult/pult.cpp", "#include \"programs/vargel2/v.h\"\n#include \"gti/registr_old/param.h\"\n");
    plant("tools/devsim/main.cpp", "#include <pty.h>\n#include \"plugins/pult/pult.h\"\n");
    plant("build/normal/x.cpp", "#include <unistd.h>\n");
    plant("platform/os/clock.cpp", "::clock_gettime(CLOCK_MONOTONIC, &ts);\n");
    plant("platform/ui/queue.h", "// not std::chrono::steady_clock here\nusing Clock = std::chrono::steady_clock;\n");
    plant("library/stamp.cpp", "auto t = ::time(nullptr);\nclock_gettime (CLOCK_REALTIME, &ts);\nos::system_clock();\n");
    plant("tools/host/host.cpp", "auto age = fs::file_time_type::clock::now() - saved;\n");
    plant("tools/devsim/sim.cpp", "auto t = std::chrono::steady_clock::now();\n");
    plant("library/stamp_test.cpp", "auto t = std::chrono::system_clock::now();\n");
    plant("tools/road/out.cpp",
          "  std::filesystem::create_directories(p, ec);\n// fs::remove_all(p);\nfs::exists(p);\n"
          "x = fs::rename (a, b);\nbool ok = myfs::remove(p);\n");
    plant("platform/os/dir.cpp", "fs::remove_all(p);\n");
    plant("library/file_test.cpp", "fs::remove_all(p);\n");
    plant("programs/grouttab/testdata/files.h", "fs::create_directories(p);\n");

    std::vector<std::string> got;
    for (const Violation& v : check_tree(root)) got.push_back(v.file + ":" + std::to_string(v.line));
    const std::vector<std::string> expected = {
        "gti/registr_old/log.cpp:2",  // <sys/stat.h> in gti
        "gti/registr_old/log.cpp:3",  // gti includes plugins
        "library/stamp.cpp:1",        // the C library's time
        "library/stamp.cpp:2",        // the POSIX clock, however spaced
        "library/util.cpp:3",         // <unistd.h>, however spaced
        "library/util_test.cpp:2",    // tests keep the layering too
        "platform/rtl/text.cpp:3",    // platform includes library
        "platform/ui/queue.h:2",      // a standard clock, not the comment above it
        "tools/host/host.cpp:1",      // the file clock
        "tools/road/out.cpp:1",       // a folder made around os::
        "tools/road/out.cpp:4",       // a rename, however spaced
    };
    EXPECT_EQ(got, expected) << report(check_tree(root));
    const auto found = check_tree(root);
    ASSERT_FALSE(found.empty());
    EXPECT_NE(describe(found[4]).find("<unistd.h>"), std::string::npos) << describe(found[4]);
    EXPECT_NE(describe(found[2]).find("os::clock()"), std::string::npos) << describe(found[2]);
}

}  // namespace
