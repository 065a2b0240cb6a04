#include "platform/os/desktop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/file_copy.h"
#include "platform/os/stand_in_testing.h"

namespace os {
namespace {

TEST(Desktop, DocumentsGoToXdgOpenAndProgramsStartThemselves) {
    testing::StandInPath path;
    path.add("xdg-open");
    ChildHandle h = open_document("/data/well 1/отчёт.xls");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->wait(5000), 0);  // reaped by whoever waits
    EXPECT_EQ(path.args("xdg-open"), "/data/well 1/отчёт.xls\nEND\n");

    // An executable file runs with its parameters, split as a command line,
    // no shell in between ("*" stays as it is).
    path.add("prog");
    h = shell_open(path / "prog", "-p\"well 7\" *.txt");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->wait(5000), 0);
    EXPECT_EQ(path.args("prog"), "-pwell 7\n*.txt\nEND\n");

    // A handle let go while its program still runs is reaped in the
    // background: nothing blocks here, and the child never stays a zombie
    // (a zombie still answers kill 0).
    path.add("xdg-open", 0, "/bin/sleep 0.2");
    ChildHandle running = open_document("y");
    ASSERT_NE(running, nullptr);
    const pid_t pid = running->pid();
    running.reset();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(::kill(pid, 0), 0);

    std::string error;
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(open_document("z", &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(FileCopy, CopiesReplacesAndFailsWithoutHarm) {
    testing::TempDir dir;
    testing::write_bytes(dir / "a.bin", std::string("\0\1\2data", 7));
    testing::write_bytes(dir / "b.bin", "old");
    EXPECT_TRUE(copy_file(dir / "a.bin", dir / "b.bin"));
    EXPECT_EQ(testing::read_bytes(dir / "b.bin"), std::string("\0\1\2data", 7));
    std::string error;
    EXPECT_FALSE(copy_file(dir / "missing", dir / "c.bin", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(file_exists(dir / "c.bin"));
    make_directory(dir / "sub");
    EXPECT_FALSE(copy_file(dir / "sub", dir / "d.bin"));
    EXPECT_FALSE(copy_file(dir / "a.bin", dir / "nofolder/x.bin"));
}

}  // namespace
}  // namespace os
