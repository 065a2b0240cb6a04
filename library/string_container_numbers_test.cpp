#include "library/string_container.h"

#include <gtest/gtest.h>

#include "platform/rtl/numbers.h"

namespace {

TEST(StringContainerNumbers, WritesShortestTextAndReadsBothSeparators) {
    rtl::FormatSettings().DecimalSeparator = ',';
    lib::StringContainer c;
    c.add(static_cast<double>(29.1f));  // a stored float, widened
    c.add(12.5);
    c.add(1e15);
    EXPECT_EQ(c.get_space_text(), "29,1000003814697 12,5 1E15");
    EXPECT_EQ(c.get_comma_text(), "\"29,1000003814697\",\"12,5\",1E15");

    c.set_space_text("2,5 1.5 abc 7 -3 x", ' ');
    EXPECT_DOUBLE_EQ(c.get_float(-1), 2.5);
    EXPECT_DOUBLE_EQ(c.get_float(-1), 1.5);
    EXPECT_DOUBLE_EQ(c.get_float(-1), 0.0);  // not a number
    EXPECT_EQ(c.get_int(-1, 9), 7);
    EXPECT_EQ(c.get_int(-1, 9), -3);
    EXPECT_EQ(c.get_int(-1, 9), 9);  // not an integer
    EXPECT_EQ(c.get_int(-1, 9), 9);  // past the end
    EXPECT_DOUBLE_EQ(c.get_float(-1), 0.0);

    // Three values as a comma text, a missing one read as 0.
    c.clear();
    c.set_float(0, 0.25);
    c.set_float(1, 3);
    EXPECT_EQ(c.get_comma_text(), "\"0,25\",3");
    lib::StringContainer back;
    back.set_comma_text(c.get_comma_text());
    EXPECT_DOUBLE_EQ(back.get_float(-1), 0.25);
    EXPECT_DOUBLE_EQ(back.get_float(-1), 3.0);
    EXPECT_DOUBLE_EQ(back.get_float(-1), 0.0);
}

}  // namespace
