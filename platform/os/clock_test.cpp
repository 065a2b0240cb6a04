#include "platform/os/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

TEST(Clock, ManualClockStandsInForTheRealOneWithinAScope) {
    os::ManualClock manual;
    std::int64_t before = os::system_clock().now_ms();
    {
        os::ScopedClock use(manual);
        EXPECT_EQ(&os::clock(), &manual);
        os::sleep_ms(1000);
        os::sleep_ms(10);
        EXPECT_EQ(manual.now_ms(), 1010);
    }
    EXPECT_EQ(&os::clock(), &os::system_clock());
    EXPECT_EQ(manual.sleeps(), (std::vector<int>{1000, 10}));
    EXPECT_EQ(manual.slept_ms(), 1010);
    EXPECT_LT(os::system_clock().now_ms() - before, 1000);  // nobody really slept
    os::system_clock().sleep_ms(20);
    EXPECT_GE(os::system_clock().now_ms() - before, 20);
}

// The wall clock alone steps; a jump moves both scales; the real monotonic
// scale that waits on real things use is moved by neither.
TEST(Clock, SteppingClockStepsTheWallClockAndJumpsBothScales) {
    os::SteppingClock stepping;
    os::ScopedClock use(stepping);
    const std::int64_t wall0 = os::wall_ms(), mono0 = os::clock().now_ms(), real0 = os::steady_now_ms();
    stepping.step_wall(-3600 * 1000);
    EXPECT_NEAR(double(os::wall_ms() - wall0), -3600e3, 5e3);
    EXPECT_NEAR(double(os::clock().now_ms() - mono0), 0, 5e3);
    stepping.jump(7200 * 1000);
    stepping.jump(-1000);  // time never jumps back
    EXPECT_NEAR(double(os::wall_ms() - wall0), 3600e3, 5e3);
    EXPECT_NEAR(double(os::clock().now_ms() - mono0), 7200e3, 5e3);
    EXPECT_NEAR(double(os::steady_now_ms() - real0), 0, 5e3);
    EXPECT_NEAR(double(os::SteadyClock::now().time_since_epoch().count() / 1000000 - real0), 0, 5e3);
    // The real clock's wall time is the system's.
    const std::int64_t sys = std::int64_t(std::time(nullptr)) * 1000;
    EXPECT_NEAR(double(os::system_clock().wall_ms() - sys), 0, 5e3);
}

// The local zone's rules apply to whatever the clock says, summer time
// included, and a time before 1970 keeps a positive millisecond part.
TEST(Clock, LocalTimeOfAWallTimeFollowsTheZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    struct Case {
        const char* tz;
        std::int64_t wall_ms;
        os::LocalTime want;
    };
    const Case cases[] = {
        {"UTC", 0, {1970, 1, 1, 0, 0, 0, 0}},
        {"UTC", -1, {1969, 12, 31, 23, 59, 59, 999}},
        {"UTC", 1520258829045, {2018, 3, 5, 14, 7, 9, 45}},
        // Moscow, UTC+3 all year since 2014
        {"Europe/Moscow", 1520258829045, {2018, 3, 5, 17, 7, 9, 45}},
        // Berlin: 01:00 UTC on 2024-03-31 is 03:00 summer time, a second
        // before it 01:59:59 winter time
        {"Europe/Berlin", 1711846800000, {2024, 3, 31, 3, 0, 0, 0}},
        {"Europe/Berlin", 1711846799000, {2024, 3, 31, 1, 59, 59, 0}},
    };
    for (const Case& c : cases) {
        ::setenv("TZ", c.tz, 1);
        ::tzset();
        const os::LocalTime t = os::local_time_of(c.wall_ms);
        EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.min, t.sec, t.ms}),
                  (std::vector<int>{c.want.year, c.want.month, c.want.day, c.want.hour, c.want.min, c.want.sec,
                                    c.want.ms}))
            << c.tz << " " << c.wall_ms;
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
