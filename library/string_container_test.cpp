#include "library/string_container.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(StringContainer, SpaceTextQuotesBlankAndEmptyEntries) {
    lib::StringContainer c;
    c.add("x");
    c.add("y z");
    c.add("");
    EXPECT_EQ(c.get_space_text(), "x \"y z\" \"\"");
    lib::StringContainer back;
    back.set_space_text("  " + c.get_space_text() + "\t", ' ');
    EXPECT_EQ(back.list(), c.list());
}

TEST(StringContainer, CursorReadsInTurn) {
    lib::StringContainer c;
    c.set_space_text("a \"b c\" d", ' ');
    EXPECT_EQ(c.get_string(-1), "a");
    EXPECT_EQ(c.get_string(2), "d");  // an index leaves the cursor alone
    EXPECT_EQ(c.get_string(-1), "b c");
    EXPECT_EQ(c.get_string(-1), "d");
    EXPECT_EQ(c.get_string(-1), "");  // past the end
    EXPECT_EQ(c.get_string(7), "");
    EXPECT_EQ(c.get_string(-5), "");
    c.begin_from_start();
    EXPECT_EQ(c.get_string(-1), "a");
    c.set_comma_text("p,\"q r\"");  // resets the cursor
    EXPECT_EQ(c.get_string(-1), "p");
    EXPECT_EQ(c.index_of("Q R"), 1);
    EXPECT_EQ(c.get_comma_text(), "p,\"q r\"");
    c.clear();
    EXPECT_EQ(c.size(), 0);
    EXPECT_EQ(c.get_string(-1), "");
}

TEST(StringContainer, SetGrowsTheList) {
    lib::StringContainer c;
    c.set_string(3, "d");
    EXPECT_EQ(c.list().items(), (std::vector<std::string>{"", "", "", "d"}));
    c.set_int(1, 42);
    EXPECT_EQ(c.get_string(1), "42");
    c.add(-12);
    EXPECT_EQ(c.get_string(4), "-12");
    c.set_string(0, "a");
    EXPECT_EQ(c.size(), 5);
    EXPECT_THROW(c.set_string(-1, "x"), std::out_of_range);
}

}  // namespace
