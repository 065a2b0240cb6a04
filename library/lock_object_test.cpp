#include "library/lock_object.h"

#include "platform/os/paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string test_lock_name(const char* what) {
    return std::string("lock_object_test_") + what + "_" + std::to_string(::getpid());
}

void remove_lock_file(const std::string& name) {
    ::unlink((os::runtime_dir() + "/" + os::NamedLock::file_name_for(name)).c_str());
}

// True when lock() on obj from another thread is still waiting after a
// short while; the waiter is let go by release() and joined with a bound.
bool another_thread_waits(lib::lock_object& obj, const std::function<void()>& release) {
    std::atomic<bool> got{false};
    auto waiter = std::async(std::launch::async, [&] {
        lib::Locker l(&obj);
        got = true;
    });
    bool waited = waiter.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout && !got;
    release();
    bool finished = waiter.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    return waited && finished && got;
}

}  // namespace

TEST(LockObject, UnnamedIsARecursiveInProcessLock) {
    lib::lock_object lock;
    EXPECT_EQ(lock.kind(), lib::lock_object::critical_section);
    lock.lock();
    {
        lib::Locker again(&lock);  // the holder may take it twice
    }
    EXPECT_TRUE(another_thread_waits(lock, [&] { lock.unlock(); }));
    EXPECT_THROW(lib::Locker(nullptr), std::invalid_argument);
}

TEST(LockObject, TwoObjectsOfOneNameAreOneLock) {
    std::string name = test_lock_name("same");
    {
        lib::lock_object a(name.c_str()), b(name.c_str());
        EXPECT_EQ(a.kind(), lib::lock_object::named_mutex);
        a.lock();
        b.lock();  // the same thread re-enters through either object
        b.unlock();
        EXPECT_TRUE(another_thread_waits(b, [&] { a.unlock(); }));
    }
    remove_lock_file(name);
}

TEST(LockObject, NamedLockWaitsForAnotherProcess) {
    std::string name = test_lock_name("process");
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        lib::lock_object theirs(name.c_str());
        theirs.lock();
        if (::write(ready[1], "r", 1) != 1) ::_exit(2);
        pollfd p{done[0], POLLIN, 0};
        ::poll(&p, 1, 10000);  // hold until told, or give up
        theirs.unlock();
        ::_exit(0);
    }
    pollfd p{ready[0], POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    lib::lock_object mine(name.c_str());
    EXPECT_TRUE(another_thread_waits(mine, [&] { ASSERT_EQ(::write(done[1], "d", 1), 1); }));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
    remove_lock_file(name);
}
