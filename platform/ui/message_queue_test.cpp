#include "platform/ui/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

constexpr int kWaitMs = 10000;

void drain() {
    ui::main_queue().set_error_handler(nullptr);
    while (ui::main_queue().process_messages() > 0) {}
}

}  // namespace

TEST(UiMessageQueue, PostsFromManyThreadsRunOnTheMainThreadInPostingOrder) {
    drain();
    auto& q = ui::main_queue();
    EXPECT_TRUE(ui::is_main_thread());
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> off_main{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                q.post([&, t, i] {
                    if (!ui::is_main_thread()) ++off_main;
                    seen[t].push_back(i);
                });
        });
    for (auto& th : threads) th.join();
    ASSERT_TRUE(q.run_until(
        [&] {
            for (auto& s : seen)
                if (s.size() < kEach) return false;
            return true;
        },
        kWaitMs));
    EXPECT_EQ(off_main, 0);
    for (auto& s : seen)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(s[i], i);
}

TEST(UiMessageQueue, OnlyTheMainThreadRunsIt) {
    auto other = std::async(std::launch::async, [] {
        bool main = ui::is_main_thread();
        bool refused = false;
        try {
            ui::main_queue().process_messages();
        } catch (const std::logic_error&) {
            refused = true;
        }
        return !main && refused;
    });
    EXPECT_TRUE(other.get());
}

TEST(UiMessageQueue, WorkPostedWhileRunningWaitsForTheNextRoundAndNestedLoopsKeepOrder) {
    drain();
    auto& q = ui::main_queue();
    std::vector<int> order;
    q.post([&] {
        order.push_back(1);
        q.post([&] { order.push_back(4); });
    });
    q.post([&] {
        order.push_back(2);
        q.process_messages();  // a modal loop inside a handler
    });
    q.post([&] { order.push_back(3); });
    // The outer round runs 1 and 2; the nested call inside 2 runs what was
    // left (3) and what 1 posted before the nested call began (4).
    EXPECT_EQ(q.process_messages(), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(q.pending(), 0u);
}

TEST(UiMessageQueue, AThrowingItemIsReportedAndTheNextRuns) {
    drain();
    auto& q = ui::main_queue();
    std::vector<std::string> errors;
    q.set_error_handler([&](const std::string& e) { errors.push_back(e); });
    bool next_ran = false;
    q.post([] { throw std::runtime_error("boom"); });
    q.post([] { throw 42; });
    q.post([&] { next_ran = true; });
    q.process_messages();
    EXPECT_TRUE(next_ran);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("boom"), std::string::npos);
    EXPECT_NE(errors[1].find("unknown"), std::string::npos);
    q.set_error_handler(nullptr);
}

TEST(UiMessageQueue, TimersRepeatUntilKilledEvenFromTheirOwnCallback) {
    drain();
    auto& q = ui::main_queue();
    int ticks = 0, other_ticks = 0;
    int id = 0;
    id = q.set_timer(5, [&] {
        if (++ticks == 3) q.kill_timer(id);
    });
    int other = q.set_timer(1, [&] { ++other_ticks; });
    EXPECT_NE(id, 0);
    EXPECT_NE(id, other);
    EXPECT_TRUE(q.run_until([&] { return ticks >= 3 && other_ticks >= 3; }, kWaitMs));
    q.kill_timer(other);
    q.kill_timer(12345);  // unknown: ignored
    int before = other_ticks;
    q.run_until([] { return false; }, 30);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(other_ticks, before);
    // A timer set from another thread wakes a waiting loop.
    std::atomic<bool> fired{false};
    int late = 0;
    std::thread([&] { late = q.set_timer(1, [&] { fired = true; }); }).join();
    EXPECT_TRUE(q.run_until([&] { return fired.load(); }, kWaitMs));
    q.kill_timer(late);
}

TEST(UiMessageWindow, DeliversInOrderAndDropsPostsToADestroyedWindow) {
    drain();
    auto& q = ui::main_queue();
    std::vector<std::tuple<int, std::intptr_t, std::intptr_t>> got;
    auto window = std::make_unique<ui::MessageWindow>(
        [&](int m, std::intptr_t w, std::intptr_t l) { got.emplace_back(m, w, l); });
    std::thread([&] {
        window->post(2011, 0, 0);
        window->post(7, -1, 99);
    }).join();
    EXPECT_TRUE(q.run_until([&] { return got.size() == 2; }, kWaitMs));
    EXPECT_EQ(got[0], std::make_tuple(2011, std::intptr_t{0}, std::intptr_t{0}));
    EXPECT_EQ(got[1], std::make_tuple(7, std::intptr_t{-1}, std::intptr_t{99}));

    window->post(1, 0, 0);
    window.reset();  // still queued: dropped
    q.process_messages();
    EXPECT_EQ(got.size(), 2u);

    // A window may destroy itself from its own handler.
    std::unique_ptr<ui::MessageWindow> self;
    int calls = 0;
    self = std::make_unique<ui::MessageWindow>([&](int, std::intptr_t, std::intptr_t) {
        ++calls;
        self.reset();
    });
    self->post(1, 0, 0);
    self->post(2, 0, 0);
    q.process_messages();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(self, nullptr);
}

namespace {

TEST(UiMessageWindow, PostMessageFindsAWindowByItsHandleWhileItLives) {
    drain();
    std::vector<std::intptr_t> got;
    std::intptr_t first = 0;
    {
        ui::MessageWindow w([&](int msg, std::intptr_t wparam, std::intptr_t) { got.push_back(msg * 10 + wparam); });
        ui::MessageWindow other([](int, std::intptr_t, std::intptr_t) {});
        first = w.handle();
        EXPECT_NE(first, 0);
        EXPECT_NE(other.handle(), first);
        EXPECT_TRUE(ui::post_message(first, 1033, 2, 0));
        drain();
        EXPECT_EQ(got, (std::vector<std::intptr_t>{10332}));
    }
    // Gone, and handle 0 is nobody's.
    EXPECT_FALSE(ui::post_message(first, 1033, 0, 0));
    EXPECT_FALSE(ui::post_message(0, 1033, 0, 0));
    ui::MessageWindow later([](int, std::intptr_t, std::intptr_t) {});
    EXPECT_NE(later.handle(), first);
}

}  // namespace
