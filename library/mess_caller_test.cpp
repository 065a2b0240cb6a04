#include "library/mess_caller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

constexpr int kWaitMs = 10000;

void drain() {
    while (ui::main_queue().process_messages() > 0) {}
}

}  // namespace

TEST(MessCaller, CallsFromManyThreadsRunInOrderOnTheMainThread) {
    drain();
    // Built on a worker: it still binds to the main queue.
    auto caller = std::async(std::launch::async, [] { return std::make_unique<lib::MessCaller>(); }).get();
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> off_main{0};
    std::atomic<int> total{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                caller->call([&, t, i] {
                    if (!ui::is_main_thread()) ++off_main;
                    seen[t].push_back(i);
                    ++total;
                });
        });
    for (auto& th : threads) th.join();
    ASSERT_TRUE(ui::main_queue().run_until([&] { return total == kThreads * kEach; }, kWaitMs));
    EXPECT_EQ(off_main, 0);
    for (auto& s : seen)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(s[i], i);
}

TEST(MessCaller, AThrowingCallIsReportedAndTheNextRuns) {
    drain();
    lib::MessCaller caller;
    std::vector<std::string> errors;
    caller.set_error_handler([&](const std::string& e) { errors.push_back(e); });
    bool next = false;
    caller.call([] { throw std::runtime_error("no window"); });
    caller.call([&] { next = true; });
    ASSERT_TRUE(ui::main_queue().run_until([&] { return next; }, kWaitMs));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("no window"), std::string::npos);
}

TEST(MessCaller, AfterStopNothingIsQueuedOrRun) {
    drain();
    int ran = 0;
    {
        lib::MessCaller caller;
        caller.call([&] { ++ran; });  // its 2011 is queued ...
        caller.stop();                // ... but finds nothing to do
        std::size_t queued = ui::main_queue().pending();
        caller.call([&] { ++ran; });
        EXPECT_EQ(ui::main_queue().pending(), queued);  // not even posted
        drain();
        EXPECT_EQ(ran, 0);
        caller.on_message(lib::MessCaller::message, 0, 0);
        EXPECT_EQ(ran, 0);
    }
    {  // Destroyed with calls pending: they are dropped safely.
        auto caller = std::make_unique<lib::MessCaller>();
        caller->call([&] { ++ran; });
        caller.reset();
        drain();
        EXPECT_EQ(ran, 0);
    }
    {  // Other messages are ignored.
        lib::MessCaller caller;
        caller.call([&] { ++ran; });
        caller.on_message(2012, 0, 0);
        EXPECT_EQ(ran, 0);
        drain();
        EXPECT_EQ(ran, 1);
    }
}
