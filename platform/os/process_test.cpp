#include "platform/os/process.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/os/testing.h"

namespace {

TEST(SplitCommandLine, FollowsWindowsRules) {
    struct Case {
        const char* text;
        std::vector<std::string> args;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"a\\\\\"b c\"", {"a\\b c"}},                  // 2 backslashes + quote: one backslash, grouping
        {"a\\\"b", {"a\"b"}},                          // 1 backslash + quote: literal quote
        {"c:\\dir\\file.txt", {"c:\\dir\\file.txt"}},  // lone backslashes stay
        {"*.realtim -x", {"*.realtim", "-x"}},
    };
    for (const auto& c : cases) EXPECT_EQ(os::split_command_line(c.text), c.args) << c.text;
}

TEST(Process, MissingProgramDoesNotStart) {
    os::Process p;
    std::string why;
    EXPECT_FALSE(p.start({"/nonexistent/program", {}, "", false, false, false}, &why));
    EXPECT_NE(why.find("/nonexistent/program"), std::string::npos);
}

TEST(Process, WaitIsBoundedAndKillReaps) {
    os::Process p;
    ASSERT_TRUE(p.start({"/bin/sleep", {"10"}, "", false, true, false}));
    EXPECT_FALSE(p.wait(50).has_value());
    p.kill();
    ASSERT_TRUE(p.wait(0).has_value());
    EXPECT_EQ(*p.wait(0), 128 + 9);
}

TEST(Process, ReadsLinesOfBothStreamsAndTheExitCode) {
    os::Process p;
    ASSERT_TRUE(p.start({"/bin/sh",
                         {"-c", "printf 'a\\r\\n\\nb\\n'; printf 'err\\n' >&2; printf 'tail'; exit 3"},
                         "",
                         true,
                         false,
                         false}));
    std::vector<std::string> lines;
    auto code = p.read_lines([&](const std::string& l) { lines.push_back(l); }, 10000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "err", "tail"}));
}

// A reader told to stop ends the child on its own thread, whether the child
// still holds its pipes or has closed them and goes on; told to go on, it
// reads to the end.
TEST(Process, ReadingEndsTheChildWhenToldToStop) {
    for (const char* script : {"exec sleep 600", "exec >&- 2>&-; exec sleep 600"}) {
        os::Process p;
        ASSERT_TRUE(p.start({"/bin/sh", {"-c", script}, "", true, false, false}));
        int asked = 0;  // the answer ended it, not the bound
        const auto code = p.read_lines(
            {}, 120000, [&] { return ++asked < 5; }, 20);
        EXPECT_FALSE(code.has_value()) << script;
        EXPECT_EQ(asked, 5) << script;
        EXPECT_FALSE(p.running()) << script;
        EXPECT_EQ(p.wait(0), 128 + 9) << script;
    }
    os::Process p;
    ASSERT_TRUE(p.start({"/bin/sh", {"-c", "echo a; sleep 0.1; echo b; exit 4"}, "", true, false, false}));
    std::vector<std::string> lines;
    EXPECT_EQ(p.read_lines([&](const std::string& l) { lines.push_back(l); }, -1, [] { return true; }, 10), 4);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
}

TEST(Process, RunsInTheGivenFolder) {
    os::Process p;
    ASSERT_TRUE(p.start({"/bin/pwd", {}, "/tmp", true, false, false}));
    std::vector<std::string> lines;
    p.read_lines([&](const std::string& l) { lines.push_back(l); }, 10000);
    EXPECT_EQ(lines, std::vector<std::string>{"/tmp"});
}

}  // namespace

namespace {

// The check that a test's tool is there says why it is not, and a tool that
// hangs is killed at the bound instead of holding the test up.
TEST(ToolRuns, SaysWhyAToolIsNotThere) {
    struct Case {
        const char* program;
        std::vector<std::string> args;
        int timeout_ms;
        bool runs;
        const char* says;
    };
    for (const Case& c : {Case{"sh", {"-c", "exit 0"}, 60000, true, ""},
                          Case{"sh", {"-c", "exit 3"}, 60000, false, "sh ended with status 3"},
                          Case{"station-no-such-tool", {}, 60000, false, "station-no-such-tool cannot be started"},
                          Case{"sleep", {"600"}, 1000, false, "sleep did not end within 1 s"}}) {
        SCOPED_TRACE(c.program);
        std::string why;
        EXPECT_EQ(os::testing::tool_runs(c.program, c.args, &why, c.timeout_ms), c.runs);
        EXPECT_EQ(why.substr(0, std::string(c.says).size()), c.says) << why;
    }
}

}  // namespace
