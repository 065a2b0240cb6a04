#include "library/time_conv.h"
#include "platform/os/clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <stdexcept>

namespace {

struct Parts {
    int day, month, year, hour, min, sec;
    bool operator==(const Parts&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Parts& p) {
    return os << p.year << "-" << p.month << "-" << p.day << " " << p.hour << ":" << p.min << ":" << p.sec;
}

Parts split(std::uint32_t t) {
    Parts p{};
    lib::big_time(t, p.day, p.month, p.year, p.hour, p.min, &p.sec);
    return p;
}

TEST(TimeToLong, DayZeroAndLeapYears) {
    EXPECT_EQ(lib::time_2_long(1970, 1, 1, 0, 0, 0), 86400);
    EXPECT_EQ(lib::time_2_long(1972, 3, 1, 0, 0, 0), 791 * 86400);
    EXPECT_EQ(lib::time_2_long(2018, 3, 5, 14, 7, 0), 1520345220);
    // From 2038 on the bit pattern is what is stored.
    EXPECT_EQ(static_cast<std::uint32_t>(lib::time_2_long(2040, 1, 1, 0, 0, 0)), 2209075200u);
    // Unchecked parts simply add up.
    EXPECT_EQ(lib::time_2_long(1970, 1, 1, 25, 0, 0), 86400 + 25 * 3600);
}

TEST(TimeToLong, RejectsMonthOutsideTheYear) {
    for (int month : {0, 13, -1, 1000}) EXPECT_THROW(lib::time_2_long(2018, month, 1, 0, 0, 0), std::out_of_range);
}

TEST(BigTime, PartsOfTheEdgeCounts) {
    EXPECT_EQ(split(791 * 86400), (Parts{1, 3, 1972, 0, 0, 0}));
    EXPECT_EQ(split(790 * 86400), (Parts{29, 2, 1972, 0, 0, 0}));
    EXPECT_EQ(split(365 * 86400), (Parts{31, 12, 1970, 0, 0, 0}));
    EXPECT_EQ(split(366 * 86400 - 1), (Parts{31, 12, 1970, 23, 59, 59}));
    EXPECT_EQ(split(366 * 86400), (Parts{1, 1, 1971, 0, 0, 0}));
    EXPECT_EQ(split(86400), (Parts{1, 1, 1970, 0, 0, 0}));
    EXPECT_EQ(split(5), (Parts{0, 1, 1970, 0, 0, 5}));  // day 0 of January 1970
    // The last count ends (2100 counts as a leap year here).
    EXPECT_EQ(split(0xFFFFFFFFu), (Parts{5, 2, 2106, 6, 28, 15}));
    int d, m, y, h, n;
    lib::unix_time(791 * 86400 + 3725).serparate(d, m, y, h, n, nullptr);
    EXPECT_EQ((Parts{d, m, y, h, n, 0}), (Parts{1, 3, 1972, 1, 2, 0}));
    lib::conv_time(90061, h, n, nullptr);
    EXPECT_EQ(h * 100 + n, 101);
}

// Every day from 1970 to the end of the count: time_2_long and big_time are
// inverse, and up to 2099 the count agrees with the Gregorian calendar.
TEST(BigTime, RoundTripsEveryDay) {
    const rtl::TDateTime day_zero = rtl::EncodeDate(1969, 12, 31);
    std::uint32_t prev = 0;
    for (std::uint32_t t = 86400; t <= 0xFFFFFFFFu - 86399; t += 86400) {
        Parts p = split(t + 45296);  // 12:34:56
        ASSERT_EQ(p.hour * 10000 + p.min * 100 + p.sec, 123456);
        std::uint32_t back = static_cast<std::uint32_t>(lib::time_2_long(p.year, p.month, p.day, 12, 34, 56));
        ASSERT_EQ(back, t + 45296) << p;
        ASSERT_TRUE(t == 86400 || t - prev == 86400);
        prev = t;
        if (p.year <= 2099) {
            double days = rtl::EncodeDate(p.year, p.month, p.day) - day_zero;
            ASSERT_EQ(static_cast<std::uint32_t>(days) * 86400u, t) << p;
        }
    }
}

TEST(UnixToDatetime, ConvertsBothWays) {
    rtl::TDateTime dt = rtl::EncodeDate(2018, 3, 5) + rtl::EncodeTime(14, 7, 9, 0);
    EXPECT_EQ(lib::datetime_to_unix(dt), 1520345229u);
    EXPECT_EQ(lib::unix_to_datetime(1520345229u), dt);
    EXPECT_EQ(lib::unix_to_datetime(86400), rtl::EncodeDate(1970, 1, 1));
    // Milliseconds are dropped, after rounding to the millisecond.
    EXPECT_EQ(lib::datetime_to_unix(dt + rtl::EncodeTime(0, 0, 0, 999)), 1520345229u);
    EXPECT_EQ(lib::datetime_to_unix(dt - 1e-10), 1520345229u);
    for (std::uint32_t t : {86400u, 951782400u, 2000000000u, 4000000000u, 0xFFFFFFFFu})
        EXPECT_EQ(lib::datetime_to_unix(lib::unix_to_datetime(t)), t) << t;
}

TEST(UnixToDatetime, DayZeroIsAConversionError) {
    EXPECT_THROW(lib::unix_to_datetime(0), rtl::EConvertError);
    EXPECT_THROW(lib::unix_to_datetime(86399), rtl::EConvertError);
    EXPECT_THROW(lib::datetime_to_unix(1e300), std::out_of_range);
}

TEST(TimeTexts, OperatorForms) {
    EXPECT_EQ(lib::date_to_string(5), "---------------");
    EXPECT_EQ(lib::date_to_string(9), "---------------");
    EXPECT_EQ(lib::date_to_string(86400), "1 января 1970г. 0:00");
    EXPECT_EQ(lib::unix_time(static_cast<unsigned>(lib::time_2_long(2018, 3, 5, 14, 7, 0))).to_date_string(),
              "5 марта 2018г. 14:07");
    EXPECT_EQ(lib::date_to_string(static_cast<unsigned>(lib::time_2_long(1999, 12, 31, 23, 59, 59))),
              "31 декабря 1999г. 23:59");
    EXPECT_EQ(lib::time_to_string(3725), "1:02");
    EXPECT_EQ(lib::time_to_string(90000), "25:00");
    EXPECT_EQ(lib::time_to_string(-1), "0:00");  // no marker here
    EXPECT_EQ(lib::unix_time::to_string(3725), "1:02");
    EXPECT_EQ(lib::time_to_mis_sec(125), "2:05");
    EXPECT_EQ(lib::time_to_mis_sec(-1), "---");
    EXPECT_EQ(lib::time_to_mis_sec(7200), "120:00");
    EXPECT_EQ(lib::get_only_hour_min(86400 + 3660), "1:01");
    EXPECT_EQ(lib::get_only_hour_min(0xFFFFFFFFu), "---");
    EXPECT_EQ(lib::get_only_hour_min(0xFFFFFFFEu), "6:28");
}

TEST(StringToTime, HoursAndMinutesFromDigitRuns) {
    struct Case {
        const char* text;
        int secs;
    } cases[] = {
        {"12:30", 45000},      {"7.05", 25500},    {"7:5", 0},   {"1230", 0},  {"", 0},
        {"в 7:05", 25500},     {"7:05:59", 25500}, {"ч:м:с", 0}, {"abc 9", 0}, {"2 ч 3 мин", 7380},
        {"99999999999:1", 60},  // an unreadable run counts as 0
    };
    for (const Case& c : cases) EXPECT_EQ(lib::string_to_time(c.text), c.secs) << c.text;
}

TEST(UnixTime, ValueClass) {
    lib::unix_time a(5), b = 7u;
    EXPECT_TRUE(b > a);
    EXPECT_FALSE(a > b);
    a = b;
    EXPECT_EQ(a.get_value(), 7u);
    EXPECT_EQ(lib::unix_time::min().get_value(), 0u);
    EXPECT_EQ(lib::unix_time::max().get_value(), 0xFFFFFFFFu);
}

std::uint32_t local_count(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return static_cast<std::uint32_t>(
        lib::time_2_long(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec));
}

// The clock get_local_time reads. time() reads the coarse clock, which can
// lag it by a tick: a bracket of time() readings would fail now and then.
std::time_t fine_now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

TEST(GetLocalTime, IsTheLocalWallClock) {
    std::time_t before = fine_now();
    std::uint32_t now = lib::get_local_time();
    std::time_t after = fine_now();
    // Across a daylight-saving change the two ends may not bracket; retry once.
    if (!(local_count(before) <= now && now <= local_count(after))) {
        before = fine_now();
        now = lib::get_local_time();
        after = fine_now();
    }
    EXPECT_LE(local_count(before), now);
    EXPECT_LE(now, local_count(after));
}

// The stamps follow the station's one clock: a wall clock set back an hour
// gives counts an hour lower.
TEST(GetLocalTime, FollowsTheClockInUse) {
    os::SteppingClock stepping;
    os::ScopedClock use(stepping);
    const std::uint32_t before = lib::get_local_time();
    stepping.step_wall(-3600 * 1000);
    const std::uint32_t after = lib::get_local_time();
    EXPECT_NEAR(double(after) - double(before), -3600.0, 2.0);
}

}  // namespace
