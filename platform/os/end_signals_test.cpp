// The ending signals in a forked child that watches them: the first runs the
// program's own ending on its thread, a second ends the process at once
// after the quick clean-up, and a child the watched process starts still
// ends on SIGTERM.

#include "platform/os/end_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <thread>

#include "platform/os/process.h"
#include "platform/os/testing.h"

namespace {

TEST(EndSignals, TheFirstRunsTheProgramsEndingOnItsThread) {
    for (const int sent : {SIGTERM, SIGINT, SIGHUP}) {
        os::testing::Child child([&](os::testing::ChildSide& side) {
            os::watch_end_signals([&side, sent](int s) {
                side.ready(s == sent ? 'k' : 'x');
                std::_Exit(40);
            });
            side.ready();
            side.wait_release();
            return 1;
        });
        ASSERT_EQ(child.wait_ready(), 'r');
        ASSERT_EQ(::kill(child.pid(), sent), 0);
        EXPECT_EQ(child.wait_ready(), 'k') << os::signal_name(sent);
        EXPECT_EQ(child.join(), 40) << os::signal_name(sent);
    }
}

TEST(EndSignals, AnEndingThatFailsStillEndsWithTheSignalsStatus) {
    os::testing::Child child([&](os::testing::ChildSide& side) {
        os::watch_end_signals([](int) -> void { throw std::runtime_error("the clean-up failed"); });
        side.ready();
        side.wait_release();
        return 1;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
    EXPECT_EQ(child.join(), 128 + SIGTERM);
}

TEST(EndSignals, ASecondEndsAtOnceAfterTheQuickCleanUp) {
    os::testing::Child child([&](os::testing::ChildSide& side) {
        os::watch_end_signals(
            [&side](int) {
                side.ready('e');  // an ending that hangs
                std::this_thread::sleep_for(std::chrono::minutes(2));
            },
            [&side] { side.ready('q'); });
        side.ready();
        side.wait_release();
        return 1;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
    ASSERT_EQ(child.wait_ready(), 'e');
    ASSERT_EQ(::kill(child.pid(), SIGINT), 0);
    EXPECT_EQ(child.wait_ready(), 'q');
    EXPECT_EQ(child.join(), 128 + SIGINT);
}

TEST(EndSignals, AStartedChildEndsOnSigterm) {
    os::testing::Child child([&](os::testing::ChildSide&) {
        os::watch_end_signals([](int) { std::_Exit(41); });
        os::Process p;
        if (!p.start({"/bin/sleep", {"600"}, "", false, true, false})) return 2;
        ::kill(p.pid(), SIGTERM);
        const auto code = p.wait(60000);
        if (!code) p.kill();
        return code == 128 + SIGTERM ? 0 : 3;
    });
    EXPECT_EQ(child.join(), 0);
}

}  // namespace
