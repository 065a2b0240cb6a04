#include "library/util/array.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace {

TEST(LibArray, IndexesOutsideThrowTheRangeError) {
    lib::array<int> a(3);
    a[0] = 1;
    a[2] = 3;
    EXPECT_EQ(a[1], 0);
    for (long long bad : {-1LL, 3LL, 1LL << 40}) {
        try {
            a[bad] = 9;
            FAIL() << bad;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "array::operator[]");
        }
    }
    lib::array<int> none;
    EXPECT_THROW(none[0], std::out_of_range);
}

TEST(LibArray, CopiesAreDeepAndMovesLeaveAnEmptyArray) {
    lib::array<std::string> a(2);
    a[0] = "one";
    lib::array<std::string> b = a;
    b[0] = "two";
    EXPECT_EQ(a[0], "one");
    lib::array<std::string> c = std::move(b);
    EXPECT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0], "two");
    EXPECT_EQ(b.size(), 0u);  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_THROW(b[0], std::out_of_range);
    c.resize(1);
    EXPECT_EQ(c[0], "");
    EXPECT_THROW(c[1], std::out_of_range);
}

}  // namespace
