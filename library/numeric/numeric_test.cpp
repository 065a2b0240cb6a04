#include "library/numeric/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "library/numeric/clock_cursor.h"
#include "library/numeric/filters.h"

namespace {

TEST(IsOverNull, LopsidedBounds) {
    struct Case {
        double x;
        bool zero;
    };
    for (const Case& t :
         {Case{0.0, true}, Case{-0.0, true}, Case{0.000009, true}, Case{0.00001, false}, Case{-0.000009, false},
          Case{-1e-13, true}, Case{-1e-12, false}, Case{1.0, false}, Case{std::nan(""), false}}) {
        EXPECT_EQ(lib::is_over_null(t.x), t.zero) << t.x;
    }
}

TEST(ZeroOfFunction, FindsARootWithinTheTolerance) {
    int calls = 0;
    const double r = lib::zero_of_function(
        [&](double x) {
            ++calls;
            return x * x - 2;
        },
        0, 2, 1e-9);
    EXPECT_NEAR(r, std::sqrt(2.0), 1e-9);
    EXPECT_EQ(calls % 3, 0);  // a, m and b every round
}

TEST(ZeroOfFunction, SameSignAtBothEndsGivesTheMidpointAfterOneRound) {
    int calls = 0;
    const double r = lib::zero_of_function(
        [&](double x) {
            ++calls;
            return x * x + 1;
        },
        -1, 3, 1e-6);
    EXPECT_EQ(r, 1.0);
    EXPECT_EQ(calls, 3);
}

TEST(ZeroOfFunction, EndsWhenTheToleranceCannotBeMet) {
    // A jump with no zero, a tolerance of 0 and NaN or infinite ends would
    // keep a bisection that only watches |f(m)| going for ever.
    const auto step = [](double x) { return x < 1.0 / 3 ? -1.0 : 1.0; };
    const double r = lib::zero_of_function(step, 0, 1, 0);
    EXPECT_NEAR(r, 1.0 / 3, 1e-15);

    const auto line = [](double x) { return x - 0.1; };
    EXPECT_NEAR(lib::zero_of_function(line, 0, 1, 0), 0.1, 1e-16);

    const double inf = std::numeric_limits<double>::infinity();
    lib::zero_of_function(line, -inf, inf, 0);
    lib::zero_of_function(line, -inf, 1, 0);
    lib::zero_of_function(line, std::nan(""), 1, 0);
    const double big = std::numeric_limits<double>::max();
    EXPECT_TRUE(std::isfinite(lib::zero_of_function([](double x) { return x - 1.5e308; }, big / 2, big, 0)));
}

TEST(AverValue, SkipsNearZeroSamplesUnlessAskedToCountThem) {
    lib::AverValue skip(false);
    lib::AverValue count(true);
    for (auto* a : {&skip, &count}) {
        a->add(0.0005);
        a->add(2);
    }
    EXPECT_DOUBLE_EQ(skip.get(), 2);
    EXPECT_DOUBLE_EQ(count.get(), 1.00025);
}

TEST(AverValue, GetRestartsAndRepeatsWithoutNewSamples) {
    lib::AverValue a(false);
    EXPECT_EQ(a.get(), 0);
    a.add(1);
    a.add(3);
    EXPECT_EQ(a.get(), 2);
    EXPECT_EQ(a.get(), 2);
    a.add(10);
    EXPECT_EQ(a.get(), 10);
    a.add(0.0001);  // ignored: nothing new
    EXPECT_EQ(a.get(), 10);
    a.clear();
    EXPECT_EQ(a.get(), 0);
}

TEST(RecursiveLowPassFilter, OutputsZeroUntilTheFrequencyIsSet) {
    lib::RecursiveLowPassFilter f;
    for (int i = 0; i < 10; ++i) {
        f.add(5);
        EXPECT_EQ(f.get(), 0);
    }
}

TEST(RecursiveLowPassFilter, CoefficientsOfFourStages) {
    lib::RecursiveLowPassFilter f;
    f.set_freq(0.1);
    const double c = std::exp(-0.6283185307179586);
    EXPECT_NEAR(c, 0.533488, 1e-6);
    EXPECT_NEAR(f.a[0], 0.047364, 1e-6);
    EXPECT_DOUBLE_EQ(f.b[0], 4 * c);
    EXPECT_DOUBLE_EQ(f.b[1], -6 * c * c);
    EXPECT_DOUBLE_EQ(f.b[2], 4 * c * c * c);
    EXPECT_DOUBLE_EQ(f.b[3], -c * c * c * c);
    EXPECT_NEAR(f.a[0] / (1 - f.b[0] - f.b[1] - f.b[2] - f.b[3]), 1.0, 1e-12);  // unity gain
}

TEST(RecursiveLowPassFilter, StepRisesToOneWithoutOvershoot) {
    for (double freq : {0.5, 0.1, 0.01}) {
        lib::RecursiveLowPassFilter f;
        f.set_freq(freq);
        double previous = 0;
        double y = 0;
        for (int i = 0; i < 2000; ++i) {
            f.add(1);
            y = f.get();
            EXPECT_GE(y, previous - 1e-12) << freq << " step " << i;
            // At low cut-offs the gain itself is 1 only to about 1e-10: the
            // coefficients cancel in 1 - Σb.
            EXPECT_LE(y, 1 + 1e-9) << freq << " step " << i;
            previous = y;
        }
        EXPECT_NEAR(y, 1.0, 1e-9) << freq;
    }
}

TEST(RecursiveFilter, SumsWeightedHistories) {
    lib::RecursiveFilter f(2, 1);
    f.a[0] = 1;
    f.a[1] = 10;
    f.b[0] = 100;
    f.add(1);
    EXPECT_EQ(f.get(), 1);  // 1·1 + 10·0 + 100·0
    f.add(2);
    EXPECT_EQ(f.get(), 2 + 10 + 100);
    f.add(0);
    EXPECT_EQ(f.get(), 0 + 20 + 100 * 112);
    // Each get advances the output history, with or without a new sample.
    EXPECT_EQ(f.get(), 20 + 100 * 11220);
}

TEST(RecursiveFilter, CheckedCoefficientsAndLengths) {
    lib::RecursiveFilter f(1, 4);
    try {
        f.b[4] = 1;
        FAIL() << "no range error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "array::operator[]");
    }
    EXPECT_THROW(f.a[-1], std::out_of_range);
    EXPECT_THROW(lib::RecursiveFilter(-1, 2), std::invalid_argument);
    lib::RecursiveFilter empty(0, 0);
    empty.add(3);
    EXPECT_EQ(empty.get(), 0);
}

TEST(ClockCursor, ShowsTheHourglassAndPutsThePointerBack) {
    ui::set_screen_cursor(ui::crDefault);
    {
        lib::ClockCursor outer;
        ui::set_screen_cursor(5);
        outer.start();
        EXPECT_EQ(ui::screen_cursor(), ui::crHourGlass);
        outer.start();  // a second start must not save the hourglass
        {
            lib::ClockCursor inner;
            inner.start();
            EXPECT_EQ(ui::screen_cursor(), ui::crHourGlass);
        }
        EXPECT_EQ(ui::screen_cursor(), ui::crHourGlass);
        outer.stop();
        EXPECT_EQ(ui::screen_cursor(), 5);
        ui::set_screen_cursor(7);
        outer.stop();  // not started: leaves the pointer alone
        EXPECT_EQ(ui::screen_cursor(), 7);
        outer.start();
    }
    EXPECT_EQ(ui::screen_cursor(), 7);  // destruction stops
    ui::set_screen_cursor(ui::crDefault);
}

}  // namespace
