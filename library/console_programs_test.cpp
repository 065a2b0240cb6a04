#include "library/console_programs.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> run(const std::string& params, int* code = nullptr) {
    std::vector<std::string> lines;
    EXPECT_TRUE(lib::start_console_and_read_output(
        "sh", params, "", [&](const std::string& l) { lines.push_back(l); }, code, 10000));
    return lines;
}

TEST(ConsolePrograms, LinesEndAtCrOrLfAndTheLastUnterminatedLineIsKept) {
    int code = 0;
    auto lines = run("-c \"printf 'a\\r\\nb\\n'; printf c; exit 4\"", &code);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(code, 4);
}

TEST(ConsolePrograms, ArgumentsAreNotExpanded) {
    auto lines = run("-c \"for a in \\\"$@\\\"; do echo \\\"$a\\\"; done\" x * \"two words\"");
    EXPECT_EQ(lines, (std::vector<std::string>{"*", "two words"}));
}

TEST(ConsolePrograms, MissingProgramIsNotStarted) {
    EXPECT_FALSE(lib::start_console_application("/nonexistent/7za", "a x.7z", "", false));
    EXPECT_FALSE(lib::start_console_and_read_output("/nonexistent/prog", "", "", nullptr));
}

TEST(ConsolePrograms, ApplicationRunsInItsFolderAndReportsStatus) {
    fs::path dir = fs::temp_directory_path() / ("console_app_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path script = dir / "job.sh";
    { std::ofstream(script) << "#!/bin/sh\npwd > where.txt\nexit 2\n"; }
    fs::permissions(script, fs::perms::owner_all);
    int code = 0;
    ASSERT_TRUE(lib::start_console_application(script.string(), "", "", false, &code));
    EXPECT_EQ(code, 2);
    std::ifstream where(dir / "where.txt");
    std::string line;
    std::getline(where, line);
    EXPECT_EQ(fs::path(line), dir);
    fs::remove_all(dir);
}

TEST(ConsolePrograms, WaitCanBeBounded) {
    int code = 0;
    ASSERT_TRUE(lib::start_console_application("/bin/sleep", "10", "/tmp", false, &code, 100));
    EXPECT_EQ(code, -1);
}

TEST(ConsolePrograms, SevenZipPacksAFolder) {
    if (!fs::exists("/usr/bin/7za")) STATION_SKIP_UNLESS_CI("7za is not installed");
    fs::path dir = fs::temp_directory_path() / ("console_7z_" + std::to_string(::getpid()));
    fs::create_directories(dir / "data");
    std::ofstream(dir / "data" / "a.realtim") << "records";
    int code = -5;
    ASSERT_TRUE(
        lib::start_console_application("/usr/bin/7za", "a -bd -y pack.7z data", dir.string(), false, &code, 60000));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(fs::exists(dir / "pack.7z"));
    fs::remove_all(dir);
}

TEST(ConsolePrograms, IntegerRoundsHalfAwayFromZero) {
    struct {
        float in;
        int out;
    } cases[] = {{2.5f, 3},  {-2.5f, -3},      {2.49f, 2},        {0.0f, 0},
                 {-0.4f, 0}, {1e20f, INT_MAX}, {-1e20f, INT_MIN}, {NAN, 0}};
    for (auto c : cases) EXPECT_EQ(lib::integer(c.in), c.out) << c.in;
}

}  // namespace
