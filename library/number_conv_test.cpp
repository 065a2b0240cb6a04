#include "library/number_conv.h"

#include <gtest/gtest.h>

#include "platform/rtl/numbers.h"

namespace {

TEST(StrToFloat, CommaOrPointAndDefaults) {
    EXPECT_EQ(lib::str_to_float("", 7), 7.0L);
    EXPECT_EQ(lib::str_to_float("abc", 7), 0.0L);  // a non-number is 0, not the default
    EXPECT_EQ(lib::str_to_float(" 2,5e3", 7), 2500.0L);
    EXPECT_EQ(lib::str_to_float(std::string("1.5"), 0), 1.5L);
    EXPECT_EQ(lib::str_to_float(std::string("-0,25 м"), 0), -0.25L);
    EXPECT_EQ(lib::str_to_float(std::string("1,5,7"), 0), 1.5L);
    EXPECT_EQ(lib::str_to_float(std::string("inf"), 3), 0.0L);
    EXPECT_EQ(lib::str_to_float(""), 0.0L);
    EXPECT_EQ(lib::str_to_float(static_cast<const char*>(nullptr)), 0.0L);
    EXPECT_EQ(lib::str_to_float("12,75"), 12.75L);
    // A point only, as the C library reads it.
    EXPECT_EQ(lib::str_to_double("1,5"), 1.0L);
    EXPECT_EQ(lib::str_to_double("  -2.5e1x"), -25.0L);
}

TEST(FloatToStr, FixedAndAutomaticForms) {
    struct Case {
        double x;
        int len, width;
        const char* text;
    } cases[] = {
        {0, -1, 8, "0"},
        {3.14159, -1, 8, "    3,14"},
        {100, -1, 0, "100"},
        {-0.5, -1, 0, "-0,5"},
        {12.5, -1, 0, "12,5"},
        {12.0, -1, 0, "12"},
        {0.00012, -1, 0, "0,00012"},
        {2.0e-9, -1, 0, "0"},
        {2.345, 1, 0, "2,3"},
        {2.5, 0, 0, "3"},
        {-2.5, 0, 0, "-3"},
        {1.005, 2, 0, "1,00"},
        {0.125, 2, 6, "  0,13"},
        {12.5, 3, -4, "12,500"},
        {7, -2, 0, "7"},
        {10, -1, 0, "10"},
        {10.004, -1, 0, "10"},
        {0.0001, -1, 0, "0,0001"},
        {-1234.56, -1, 0, "-1234,6"},
        {1e20, -1, 0, "1E20"},
        {1.5e20, -1, 0, "1,5E20"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lib::float_to_str(c.x, c.len, c.width), c.text) << c.x << " " << c.len << " " << c.width;
    EXPECT_EQ(lib::float_to_str_usa(12.5, -1, 0), "12.5");
    EXPECT_EQ(lib::float_to_str_usa(3.14159, 2, 6), "  3.14");
    EXPECT_EQ(lib::float_to_str_usa(100, -1, 0), "100");
}

TEST(FloatToStr, FollowsTheProcessSeparator) {
    rtl::TFormatSettings saved = rtl::FormatSettings();
    rtl::FormatSettings().DecimalSeparator = '.';
    EXPECT_EQ(lib::float_to_str(12.0, -1, 0), "12");
    EXPECT_EQ(lib::float_to_str(0.25, -1, 0), "0.25");
    rtl::FormatSettings() = saved;
}

TEST(GetLogString, DecimalsByValue) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        // 0.95 is stored as 0.94999999999999996: "0.0", rounded by its true value.
        {1, "1"},          {0.5, "0,5"},        {0, "0,00000000"},    {-3, "-3,00000000"},
        {0.96, "1"},       {0.95, "0,9"},       {0.05, "0,05"},       {0.001, "0,001"},
        {1e-5, "0,00001"}, {1e-7, "0,0000001"}, {5e-8, "0,00000005"}, {1234.5, "1235"},
    };
    for (const Case& c : cases) EXPECT_EQ(lib::get_log_string(c.x), c.text) << c.x;
}

}  // namespace
