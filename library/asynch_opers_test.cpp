#include "library/asynch_opers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kWait = std::chrono::seconds(60);

}  // namespace

TEST(AsynchOpers, TasksRunInOrderOnAWorkerAndMayQueueMore) {
    lib::AsynchOpers ops;
    std::mutex m;
    std::vector<std::string> order;
    std::vector<std::thread::id> threads;
    auto note = [&](const char* what) {
        std::lock_guard<std::mutex> g(m);
        order.push_back(what);
        threads.push_back(std::this_thread::get_id());
    };
    std::promise<void> d_ran;
    // A waits until B and C are queued: the worker may start A before this
    // thread has queued them, and D must come after them, not before.
    std::promise<void> all_queued;
    std::shared_future<void> queued = all_queued.get_future().share();
    ops.add_task([&, queued] {
        queued.wait_for(kWait);
        note("A");
        ops.add_task([&] {
            note("D");
            d_ran.set_value();
        });
    });
    ops.add_task([&] { note("B"); });
    ops.add_task([&] { note("C"); });
    all_queued.set_value();
    ASSERT_EQ(d_ran.get_future().wait_for(kWait), std::future_status::ready);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C", "D"}));
    for (auto id : threads) {
        EXPECT_NE(id, std::this_thread::get_id());
        EXPECT_EQ(id, threads[0]);
    }
}

TEST(AsynchOpers, StopRunsWhatIsPendingAndALaterTaskStartsANewWorker) {
    lib::AsynchOpers ops;
    std::atomic<int> ran{0};
    for (int i = 0; i < 5; ++i)
        ops.add_task([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ++ran;
        });
    ops.stop();
    EXPECT_EQ(ran, 5);
    EXPECT_FALSE(ops.have_tasks());
    std::promise<void> again;
    ops.add_task([&] { again.set_value(); });
    EXPECT_EQ(again.get_future().wait_for(kWait), std::future_status::ready);
}

TEST(AsynchOpers, AThrowingTaskIsReportedAndTheWorkerGoesOn) {
    lib::AsynchOpers ops;
    std::mutex m;
    std::vector<std::string> errors;
    ops.set_error_handler([&](const std::string& e) {
        std::lock_guard<std::mutex> g(m);
        errors.push_back(e);
    });
    std::promise<void> next;
    ops.add_task([] { throw std::runtime_error("disk full"); });
    ops.add_task([] { throw 7; });
    ops.add_task([&] { ops.stop(); });  // would wait for itself
    ops.add_task([&] { next.set_value(); });
    ASSERT_EQ(next.get_future().wait_for(kWait), std::future_status::ready);
    std::lock_guard<std::mutex> g(m);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[0].find("disk full"), std::string::npos);
    EXPECT_NE(errors[1].find("unknown"), std::string::npos);
    EXPECT_NE(errors[2].find("own worker"), std::string::npos);
}

TEST(AsynchOpers, PriorityReachesTheWorker) {
    lib::AsynchOpers ops;
    ops.set_thread_priority(lib::tpLower);  // remembered for the worker to come
    std::promise<int> nice_then;
    ops.add_task([&] {
        errno = 0;
        nice_then.set_value(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())));
    });
    auto f = nice_then.get_future();
    ASSERT_EQ(f.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(f.get(), ::getpriority(PRIO_PROCESS, 0) + 5);
}

TEST(AsynchOpers, PriorityIsRelativeToANicedProcess) {
    // A process started niced keeps its lower worker lower still; a child
    // of its own, since niceness once raised cannot come down again.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setpriority(PRIO_PROCESS, 0, 10) != 0) ::_exit(2);
        int seen = -100;
        {
            lib::AsynchOpers ops;
            ops.set_thread_priority(lib::tpLower);
            std::promise<int> nice_then;
            ops.add_task([&] { nice_then.set_value(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()))); });
            auto f = nice_then.get_future();
            if (f.wait_for(kWait) == std::future_status::ready) seen = f.get();
        }
        ::_exit(seen == 15 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the worker did not run at the process's niceness + 5";
}
