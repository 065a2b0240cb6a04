#include "platform/rtl/datetime.h"
#include "platform/os/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <map>
#include <utility>

#include "platform/rtl/testdata/vector_file.h"

namespace {

using rtl_test::from_bits;
using rtl_test::read_vectors;
using rtl_test::Row;

class SettingsGuard {
public:
    SettingsGuard() : saved_(rtl::FormatSettings()) {}
    ~SettingsGuard() { rtl::FormatSettings() = saved_; }

private:
    rtl::TFormatSettings saved_;
};

// Day counts and decoding against Python's calendar and exact arithmetic.
TEST(DateTimeVectors, MatchPythonCalendar) {
    int encoded = 0, decoded = 0;
    for (const Row& row : read_vectors("datetime_python.tsv")) {
        if (row[0] == "E") {
            std::string_view ymd = row[1];
            std::size_t a = ymd.find('-'), b = ymd.rfind('-');
            int y = static_cast<int>(rtl_test::to_int(ymd.substr(0, a)));
            int m = static_cast<int>(rtl_test::to_int(ymd.substr(a + 1, b - a - 1)));
            int d = static_cast<int>(rtl_test::to_int(ymd.substr(b + 1)));
            auto serial = static_cast<double>(rtl_test::to_int(row[2]));
            EXPECT_EQ(rtl::EncodeDate(y, m, d), serial) << row[1];
            int y2, m2, d2;
            rtl::DecodeDate(serial, y2, m2, d2);
            EXPECT_EQ(std::make_tuple(y2, m2, d2), std::make_tuple(y, m, d)) << row[1];
            ++encoded;
        } else {
            double value = from_bits(row[1]);
            int p[7];
            rtl::DecodeDate(value, p[0], p[1], p[2]);
            rtl::DecodeTime(value, p[3], p[4], p[5], p[6]);
            std::string ours;
            for (int i = 0; i < 7; ++i) ours += (i ? " " : "") + std::to_string(p[i]);
            EXPECT_EQ(ours, row[2]) << row[1];
            ++decoded;
        }
    }
    EXPECT_GT(encoded, 300);
    EXPECT_GT(decoded, 500);
}

std::string run_case(const Row& row, const std::string& format) {
    double value = from_bits(row[2]);
    if (row[0] == "D") return rtl::FormatDateTime(format, value);
    if (row[0] == "d") return rtl::DateToStr(value);
    if (row[0] == "t") return rtl::TimeToStr(value);
    return rtl::DateTimeToStr(value);
}

TEST(DateTimeVectors, MatchFreePascalOrSettled) {
    std::vector<Row> rows = read_vectors("datetime_fpc.tsv");
    std::map<std::pair<std::string, std::string>, std::string> fpc;  // (format, bits) -> text
    for (const Row& row : rows)
        if (row[0] == "D") fpc[{row[1], row[2]}] = row[3];
    std::vector<Row> settled = read_vectors("datetime_settled.tsv");
    std::vector<bool> used(settled.size());

    int agreed = 0;
    for (const Row& row : rows) {
        std::string ours = run_case(row, row[1]);
        if (ours == row[3]) {
            ++agreed;
            continue;
        }
        const Row* s = nullptr;
        for (std::size_t i = 0; i < settled.size() && !s; ++i) {
            const Row& c = settled[i];
            if (c[0] == row[0] && c[1] == row[1] && (c[2] == "*" || c[2] == row[2]) &&
                (c[3] == "*" || c[3] == row[3])) {
                s = &c;
                used[i] = true;
            }
        }
        if (!s) {
            ADD_FAILURE() << "unsettled: " << row[0] << " [" << row[1] << "] " << row[2] << " fpc \"" << row[3]
                          << "\" ours \"" << ours << "\"";
            continue;
        }
        std::string expected = s->at(4);
        if (!expected.empty() && expected[0] == '=') expected = fpc.at({expected.substr(1), row[2]});
        EXPECT_EQ(ours, expected) << s->at(5);
    }
    for (std::size_t i = 0; i < settled.size(); ++i)
        EXPECT_TRUE(used[i]) << "stale settlement: [" << settled[i][1] << "] " << settled[i][2];
    EXPECT_GT(agreed, 1500);
}

TEST(EncodeDate, RejectsDatesThatDoNotExist) {
    const int bad[][3] = {{2019, 2, 29}, {1900, 2, 29}, {2018, 13, 1}, {2018, 0, 1}, {2018, 4, 31},
                          {2018, 1, 0},  {0, 1, 1},     {10000, 1, 1}, {-5, 1, 1}};
    for (const auto& d : bad) {
        rtl::TDateTime out = 123;
        EXPECT_FALSE(rtl::TryEncodeDate(d[0], d[1], d[2], out)) << d[0] << "-" << d[1] << "-" << d[2];
        EXPECT_EQ(out, 123);
        EXPECT_THROW(rtl::EncodeDate(d[0], d[1], d[2]), rtl::EConvertError);
    }
    rtl::TDateTime out;
    EXPECT_TRUE(rtl::TryEncodeDate(2000, 2, 29, out));
    EXPECT_EQ(out, 36585);
}

TEST(EncodeTime, RangesAndValue) {
    EXPECT_EQ(rtl::EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(rtl::EncodeTime(23, 59, 59, 999), 86399999.0 / 86400000.0);
    const int bad[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}, {0, 0, 0, -1}};
    for (const auto& t : bad) EXPECT_THROW(rtl::EncodeTime(t[0], t[1], t[2], t[3]), rtl::EConvertError);
}

TEST(DecodeDate, OutOfRangeGivesZeros) {
    for (double v :
         {-700000.0, 3e6, 1e300, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        int y = 1, m = 1, d = 1, h = 1, n = 1, s = 1, z = 1;
        rtl::DecodeDate(v, y, m, d);
        EXPECT_EQ(y + m + d, 0) << v;
        if (!std::isfinite(v) || std::fabs(v) > 1e9) {
            rtl::DecodeTime(v, h, n, s, z);
            EXPECT_EQ(h + n + s + z, 0) << v;
        }
    }
}

rtl::TDateTime local_seconds(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return rtl::EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           rtl::EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, 0);
}

TEST(Now, IsLocalWallClock) {
    std::time_t before = std::time(nullptr);
    rtl::TDateTime now = rtl::Now();
    std::time_t after = std::time(nullptr);
    EXPECT_GE(now, local_seconds(before));
    // time() reads the coarse clock, which may lag a tick behind the one
    // Now() reads, so the upper bound allows a second more.
    EXPECT_LT(now, local_seconds(after) + rtl::EncodeTime(0, 0, 2, 0));
}

TEST(Now, FollowsTheClockInUse) {
    os::SteppingClock stepping;
    os::ScopedClock use(stepping);
    const rtl::TDateTime before = rtl::Now();
    stepping.step_wall(2 * 86400 * 1000);
    const double days = rtl::Now() - before;
    EXPECT_NEAR(days, 2.0, 2.0 / 86400);
}

TEST(FormatDateTime, StationForms) {
    rtl::TDateTime t = rtl::EncodeDate(2018, 3, 5) + rtl::EncodeTime(4, 7, 9, 45);
    EXPECT_EQ(rtl::DateToStr(t), "05.03.2018");
    EXPECT_EQ(rtl::TimeToStr(t), "4:07:09");
    EXPECT_EQ(rtl::DateTimeToStr(t), "05.03.2018 4:07:09");
    EXPECT_EQ(rtl::DateTimeToStr(rtl::EncodeDate(2018, 3, 5)), "05.03.2018");
    EXPECT_EQ(rtl::FormatDateTime("hh:nn:ss", 0.5), "12:00:00");
    EXPECT_EQ(rtl::FormatDateTime("dd.mm.yyyy hh:mm", t), "05.03.2018 04:07");
    EXPECT_EQ(rtl::FormatDateTime("\"Дата\" dd/mm", t), "Дата 05.03");
    EXPECT_EQ(rtl::FormatDateTime("ddd, mmmm dddddd", t), "ddd, mmmm dddddd");
    SettingsGuard guard;
    rtl::FormatSettings().DateSeparator = '-';
    rtl::FormatSettings().TimeSeparator = '.';
    rtl::FormatSettings().ShortDateFormat = "yyyy/mm/dd";
    EXPECT_EQ(rtl::FormatDateTime("c", t), "2018-03-05 4.07.09");
    rtl::FormatSettings().ShortDateFormat = "c";  // names itself: must still end
    EXPECT_LT(rtl::DateToStr(t).size(), 100u);
}

}  // namespace
