#include "platform/os/named_lock.h"

#include "platform/os/paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string unique_name(const char* what) {
    return std::string("named_lock_test ") + what + " " + std::to_string(::getpid());
}

// Tests use names of their own; their lock files go when the test ends.
struct RemoveLockFiles {
    std::vector<std::string> names;
    ~RemoveLockFiles() {
        for (const auto& n : names) ::unlink((os::runtime_dir() + "/" + os::NamedLock::file_name_for(n)).c_str());
    }
};

// Waits for a child's exit code, killing it when it does not end in time
// (the bound only ends a hung test).
int wait_child(pid_t pid, int timeout_ms = 60000) {
    int status = 0;
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// Reads one byte from a pipe, waiting at most timeout_ms.
bool read_byte(int fd, int timeout_ms = 10000) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) != 1) return false;
    char c;
    return ::read(fd, &c, 1) == 1;
}

}  // namespace

TEST(OsNamedLock, RecursiveForItsThreadAcrossObjectsOfOneName) {
    std::string name = unique_name("threads");
    RemoveLockFiles cleanup{{name, name + "x"}};
    os::NamedLock a(name), b(name), other(name + "x");
    a.lock();
    b.lock();  // the same lock: a holding thread takes it again
    EXPECT_TRUE(other.try_lock());
    other.unlock();

    auto try_from_thread = [&] { return std::async(std::launch::async, [&] { return b.try_lock(); }).get(); };
    EXPECT_FALSE(try_from_thread());
    a.unlock();
    EXPECT_FALSE(try_from_thread());  // still held once
    b.unlock();
    b.unlock();  // not held: releases nothing

    // A waiting thread gets it as soon as it is released.
    a.lock();
    std::atomic<bool> got{false};
    auto waiter = std::async(std::launch::async, [&] {
        b.lock();
        got = true;
        b.unlock();
    });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_FALSE(got);
    a.unlock();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(got);
}

TEST(OsNamedLock, SharedWithAnotherProcess) {
    std::string name = unique_name("processes");
    RemoveLockFiles cleanup{{name}};
    os::NamedLock mine(name);
    mine.lock();

    int go[2], tried[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(tried), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Both a fresh object and the one copied by fork see the parent's hold.
        os::NamedLock theirs(name);
        if (theirs.try_lock() || mine.try_lock()) ::_exit(1);
        if (::write(tried[1], "t", 1) != 1) ::_exit(3);
        if (!read_byte(go[0])) ::_exit(2);
        theirs.lock();  // the parent has let go by now
        theirs.unlock();
        ::_exit(0);
    }
    // Let go only once the child has found it held, however slowly it starts.
    EXPECT_TRUE(read_byte(tried[0]));
    mine.unlock();
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    EXPECT_EQ(wait_child(child), 0);
    for (int fd : {go[0], go[1], tried[0], tried[1]}) ::close(fd);
}

TEST(OsNamedLock, ADeadHolderReleasesIt) {
    std::string name = unique_name("killed");
    RemoveLockFiles cleanup{{name}};
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        os::NamedLock held(name);
        held.lock();
        if (::write(ready[1], "r", 1) != 1) ::_exit(2);
        for (int i = 0; i < 600; ++i) ::usleep(100000);  // killed long before
        ::_exit(3);
    }
    ASSERT_TRUE(read_byte(ready[0]));
    os::NamedLock mine(name);
    EXPECT_FALSE(mine.try_lock());
    ::kill(child, SIGKILL);
    EXPECT_EQ(wait_child(child), 128 + SIGKILL);
    EXPECT_TRUE(mine.try_lock());
    mine.unlock();
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(OsNamedLock, NamesBecomeFileNamesInsideTheRunTimeFolder) {
    struct Case {
        const char* name;
        const char* file;
    } cases[] = {
        {"reg_data_file_mutex", "lock-reg_data_file_mutex"},
        {"kvb.dat", "lock-kvb.dat"},
        {"../../etc/passwd", "lock-..%2F..%2Fetc%2Fpasswd"},
        {"..", "lock-.."},
        {"a%2Fb", "lock-a%252Fb"},
        {"Global\\x y", "lock-Global%5Cx%20y"},
        {"", "lock-"},
        {"\xD0\xB2", "lock-%D0%B2"},
    };
    for (const auto& c : cases) EXPECT_EQ(os::NamedLock::file_name_for(c.name), c.file);

    std::string long1(300, 'a'), long2 = long1;
    long2.back() = 'b';
    std::string f1 = os::NamedLock::file_name_for(long1), f2 = os::NamedLock::file_name_for(long2);
    EXPECT_LE(f1.size(), 255u);
    EXPECT_NE(f1, f2);

    std::string name = "../" + unique_name("escape");
    RemoveLockFiles cleanup{{name}};
    os::NamedLock lock(name);
    struct stat st {};
    EXPECT_EQ(::stat((os::runtime_dir() + "/" + os::NamedLock::file_name_for(name)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
