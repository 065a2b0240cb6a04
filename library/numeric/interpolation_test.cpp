#include "library/numeric/interpolation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using Points = std::vector<std::pair<double, double>>;

lib::Interpolation table(const Points& points) {
    lib::Interpolation t;
    t.set_size(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) t.set_point(static_cast<int>(i), points[i].first, points[i].second);
    return t;
}

TEST(Interpolation, LineValueCases) {
    struct Case {
        Points points;
        double x, y;
    };
    const Case cases[] = {
        {{{0, 0}, {10, 100}}, 5, 50},
        {{{0, 0}, {10, 100}}, 20, 200},                 // beyond the last point
        {{{0, 0}, {10, 100}}, -10, -100},               // before the first
        {{{0, 0}, {10, 100}}, 10, 100},                 // exactly the last x
        {{{10, 100}, {0, 0}}, 2.5, 25},                 // filled in descending order
        {{{0, 0}, {1, 10}, {3, 30}, {4, 0}}, 1, 10},    // exactly at an inner point
        {{{0, 0}, {1, 10}, {3, 30}, {4, 0}}, 3.5, 15},  // between the last two
        {{{0, 0}, {1, 10}, {3, 30}, {4, 0}}, 2, 20},
        {{{0, 0}, {1, 10}, {3, 30}, {4, 0}}, 6, -60},  // extrapolates the last piece
        {{{5, 7}}, 5, 0},                              // one point
        {{}, 1, 0},                                    // no points
        {{{2, 1}, {2, 3}}, 2, 0},                      // same x
        {{{2, 1}, {2, 3}}, 9, 0},
        {{{0, 0}, {0.000001, 1}}, 0.0000005, 0.5},  // close but distinct x
    };
    for (const Case& c : cases) {
        auto t = table(c.points);
        EXPECT_NEAR(t.get_line_value(c.x), c.y, 1e-9) << "x = " << c.x << ", " << c.points.size() << " points";
    }
}

TEST(Interpolation, LagrangeValueCases) {
    struct Case {
        Points points;
        double x, y;
    };
    const Case cases[] = {
        {{{5, 7}}, 5, 7},  // a single point at its own x
        {{{5, 7}}, 6, 7},  // constant polynomial
        {{}, 1, 0},
        {{{0, 0}, {1, 1}, {2, 4}}, 3, 9},  // the parabola through them
        {{{2, 4}, {0, 0}, {1, 1}}, -1, 1},
        {{{0, 1}, {1, 2}, {2, 5}, {3, 10}}, 1.5, 3.25},
        {{{1, 5}, {1, 5}, {3, 9}}, 2, 2.25},  // terms with a zero divisor are left out
    };
    for (const Case& c : cases) {
        auto t = table(c.points);
        EXPECT_NEAR(t.get_lagr_value(c.x), c.y, 1e-9) << "x = " << c.x;
    }
    // At a shared x the first point after sorting answers; which one of the
    // equal points that is, is not defined.
    auto shared = table({{1, 5}, {1, 6}, {2, 8}});
    const double v = shared.get_lagr_value(1);
    EXPECT_TRUE(v == 5 || v == 6) << v;
}

TEST(Interpolation, ThreePointValueCases) {
    struct Case {
        Points points;
        double x, y;
    };
    const Points parabola = {{0, 0}, {1, 1}, {2, 4}, {3, 9}, {4, 16}};
    const Points four = {{0, 0}, {1, 1}, {2, 4}, {4, 6}};  // last window 2-3 is a line
    const Case cases[] = {
        {{{0, 0}, {1, 1}}, 0.5, 0},  // fewer than 3 points
        {parabola, 1.5, 2.25},
        {parabola, 2.5, 6.25},
        {parabola, 4, 16},  // the last x: last window tried
        {parabola, -1, 1},  // before the first: window 0-2
        {parabola, 5, 25},  // after the last: window 2-4
        {four, 3, 5},       // linear between (2, 4) and (4, 6)
        {four, 4, 6},
        {four, 5, 5},                        // after the last: window 1-3, not the line
        {{{0, 0}, {0, 1}, {1, 1}}, 0.5, 0},  // a zero divisor in the window
    };
    for (const Case& c : cases) {
        auto t = table(c.points);
        EXPECT_NEAR(t.get_bi_value(c.x), c.y, 1e-9) << "x = " << c.x << ", " << c.points.size() << " points";
    }
}

TEST(Interpolation, NearestValue) {
    auto t = table({{3, 30}, {1, 10}, {10, 100}});
    EXPECT_EQ(t.get_nearest_value(2), 10);  // equally near: the first (smaller x) wins
    EXPECT_EQ(t.get_nearest_value(2.1), 30);
    EXPECT_EQ(t.get_nearest_value(-50), 10);
    EXPECT_EQ(t.get_nearest_value(1e6), 100);
    lib::Interpolation empty;
    EXPECT_EQ(empty.get_nearest_value(1), 0);
}

TEST(Interpolation, ChangesAreSortedBeforeTheNextQuery) {
    auto t = table({{0, 0}, {10, 100}});
    EXPECT_EQ(t.get_line_value(5), 50);
    t.set_point(0, 20, 0);  // now (10, 100), (20, 0)
    EXPECT_EQ(t.get_line_value(15), 50);
    t.set_size(2);
    t.set_point(0, 4, 8);
    t.set_point(1, 2, 4);
    EXPECT_EQ(t.get_line_value(3), 6);
}

TEST(Interpolation, BadSizesAndIndexes) {
    lib::Interpolation t;
    t.set_size(2);
    try {
        t.set_point(2, 0, 0);
        FAIL() << "no range error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "array::operator[]");
    }
    EXPECT_THROW(t.set_point(-1, 0, 0), std::out_of_range);
    EXPECT_THROW(t.set_size(-3), std::invalid_argument);
}

TEST(Interpolation, NaNPointsDoNotUpsetTheTable) {
    // Not a real calibration, but a damaged table must not take the sort or
    // the searches outside the points.
    Points points;
    for (int i = 0; i < 40; ++i) points.push_back({i % 3 ? double(i) : std::nan(""), double(i)});
    auto t = table(points);
    for (double x : {-1.0, 0.5, 7.0, 38.0, 100.0, std::nan("")}) {
        t.get_line_value(x);
        t.get_bi_value(x);
        t.get_lagr_value(x);
        t.get_nearest_value(x);
    }
    EXPECT_NEAR(t.get_line_value(7.5), 7.5, 1e-12);  // between 7 and 8, both numbers
}

}  // namespace
