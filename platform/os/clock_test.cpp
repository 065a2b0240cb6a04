#include "platform/os/clock.h"

#include <gtest/gtest.h>

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

}  // namespace
