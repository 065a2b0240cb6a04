#include "platform/os/folder_lock.h"

#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Result = os::FolderHolderLock::Result;

TEST(OsFolderHolderLock, OneHolderAtATimeNamedToTheOthersAndFreedWhenItDies) {
    os::testing::TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        os::FolderHolderLock lock;
        const char c = lock.try_lock(dir.path(), ".lock") == Result::held ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::pause();  // killed by the parent while it holds the folder
        ::_exit(0);
    }
    pollfd p{ready[0], POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    os::FolderHolderLock second;
    EXPECT_EQ(second.try_lock(dir.path(), ".lock"), Result::taken);
    EXPECT_EQ(second.holder(), long(child));
    EXPECT_NE(second.error().find(dir.path()), std::string::npos) << second.error();
    EXPECT_NE(second.error().find("process " + std::to_string(child)), std::string::npos) << second.error();

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(second.try_lock(dir.path(), ".lock"), Result::held);
    EXPECT_TRUE(second.held());

    // A link planted under the lock file's name is not followed.
    os::testing::TempDir other;
    std::filesystem::create_symlink(dir / "target", other / ".lock");
    os::FolderHolderLock planted;
    EXPECT_EQ(planted.try_lock(other.path(), ".lock"), Result::failed);
    EXPECT_FALSE(std::filesystem::exists(dir / "target"));
}

TEST(OsFolderHolderLock, CanCreateFilesInSaysWhyNot) {
    os::testing::TempDir dir;
    std::string why;
    EXPECT_TRUE(os::can_create_files_in(dir.path(), why)) << why;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_FALSE(os::can_create_files_in(dir / "missing", why));
    EXPECT_FALSE(why.empty());
}

}  // namespace
