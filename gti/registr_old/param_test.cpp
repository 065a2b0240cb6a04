#include "gti/registr_old/param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "gti/registr_old/all_params.h"
#include "library/number_conv.h"
#include "platform/rtl/datetime.h"

namespace {

Param make(const std::string& global_name, float range, float zero, std::vector<UnitCalibrPoint> points = {}) {
    Param p;
    p.global_name = global_name;
    p.range = range;
    p.zero = zero;
    p.points = std::move(points);
    return p;
}

TEST(ParamDefaults, NewParameter) {
    const Param p;
    EXPECT_TRUE(p.name.empty() && p.short_name.empty() && p.units.empty() && p.global_name.empty());
    EXPECT_EQ(p.channel, -1);
    EXPECT_EQ(p.averaging, 1);
    EXPECT_EQ(p.range, 0.0f);
    EXPECT_EQ(p.zero, 0.0f);
    EXPECT_EQ(p.min_value, 0.0f);
    EXPECT_EQ(p.max_value, 0.0f);
    EXPECT_EQ(p.kind, 0);
    EXPECT_TRUE(p.points.empty());
    EXPECT_TRUE(p.ext_info.empty());
}

TEST(Calibration, ValuesForRawReadings) {
    const std::vector<UnitCalibrPoint> three = {{1, 10}, {2, 20}, {4, 30}};
    const struct {
        const char* what;
        Param param;
        double raw;
        double factor;
        double value;
    } cases[] = {
        {"no points: raw x range / 5 + zero", make("x", 20, 0), 2.5, 1, 10},
        {"no points, with zero", make("x", 20, 1.5f), 5, 1, 21.5},
        {"hook-load factor", make("вес_на_крюке", 20, 0), 2.5, 2, 20},
        {"factor ignored for other names", make("давление_на_входе", 20, 0), 2.5, 2, 10},
        {"one point", make("x", 0, 0, {{2.0, 1.5}}), 1.0, 1, 0.75},
        {"one point, zero raw", make("x", 0, 0, {{2.0, 1.5}}), 0.0, 1, 0},
        {"one point at x 0", make("x", 0, 0, {{0.0, 1.5}}), 3.0, 1, 0},
        {"one point, factor does not apply", make("вес_на_крюке", 0, 0, {{2.0, 1.5}}), 1.0, 5, 0.75},
        {"below the table: first segment", make("x", 0, 0, three), 0, 1, 0},
        {"at the first point", make("x", 0, 0, three), 1, 1, 10},
        {"at an inner point", make("x", 0, 0, three), 2, 1, 20},
        {"inside the last segment", make("x", 0, 0, three), 3, 1, 25},
        {"at the last point", make("x", 0, 0, three), 4, 1, 30},
        {"above the table: last segment", make("x", 0, 0, three), 6, 1, 40},
        {"points ignore range, zero and factor", make("вес_на_крюке", 20, 7, three), 3, 2, 25},
        {"segment of equal x", make("x", 0, 0, {{1, 10}, {1, 20}, {2, 30}}), 0.5, 1, 0},
        {"equal x below 1e-6", make("x", 0, 0, {{1, 10}, {1 + 1e-7, 20}}), 5, 1, 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.param.calc_value_by_voltage(c.raw, c.factor), c.value) << c.what;
}

Param radioactive(const std::string& name, double days_ago, const char* half_life, const char* koeff) {
    Param p = make(name, 0, 0, {{1, 1}, {3, 3}});  // value = raw
    if (days_ago >= 0) p.ext_info.set("last_calibr_time", lib::float_to_str(rtl::Now() - days_ago, 10, 0));
    if (half_life) p.ext_info.set("half_life", half_life);
    if (koeff) p.ext_info.set("radio_koeff", koeff);
    return p;
}

TEST(Calibration, DecayCorrectionOfTheRadioactiveDensityMeters) {
    const double year = 365.25;
    const double doubled = 0.9976 * std::exp(0.69314718);  // one half-life: the source gave half
    const struct {
        const char* what;
        Param param;
        double factor;
    } cases[] = {
        {"one half-life, default coefficient", radioactive("плотн_пж_вх_радиоакт", year, "1", nullptr), doubled},
        {"outlet meter too", radioactive("плотн_пж_вых_радиоакт", year, "1", nullptr), doubled},
        {"coefficient given", radioactive("плотн_пж_вх_радиоакт", year, "1", "0,5"), 0.5 * std::exp(0.69314718)},
        {"two half-lives", radioactive("плотн_пж_вх_радиоакт", 2 * year, "1", nullptr),
         0.9976 * std::exp(2 * 0.69314718)},
        {"half-life 0", radioactive("плотн_пж_вх_радиоакт", year, "0", nullptr), 1},
        {"no calibration time", radioactive("плотн_пж_вх_радиоакт", -1, "1", nullptr), 1},
        {"less than a day", radioactive("плотн_пж_вх_радиоакт", 0.5, "1", "0,5"), 1},
        {"half-life that overflows the exponential", radioactive("плотн_пж_вх_радиоакт", 400, "0,0001", nullptr), 1},
        {"half-life not a number", radioactive("плотн_пж_вх_радиоакт", year, "abc", nullptr), 1},
        {"other parameters are not corrected", radioactive("плотность_на_входе", year, "1", nullptr), 1},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.param.decay_factor(), c.factor, 1e-7 * c.factor) << c.what;
        EXPECT_NEAR(c.param.calc_value_by_voltage(2.0, 1), 2.0 * c.factor, 1e-6 * c.factor) << c.what;
    }
}

TEST(Calibration, CementDensityIsCorrectedOnlyOnTheDigitalChannel) {
    Param p = radioactive("cem_plotn", 365.25, "1", nullptr);
    p.channel = 30;
    EXPECT_NEAR(p.decay_factor(), 0.9976 * 2, 1e-6);
    p.channel = 1;
    EXPECT_EQ(p.decay_factor(), 1.0);
}

TEST(Calibration, CorrectKalibrShiftsZeroOrEveryPointValue) {
    Param plain = make("x", 20, 1);
    plain.correct_kalibr(1.0f, 1.5f);
    EXPECT_FLOAT_EQ(plain.zero, 1.5f);

    Param table = make("x", 20, 1, {{1, 10}, {2, 20}});
    table.correct_kalibr(1.0f, 1.5f);
    EXPECT_FLOAT_EQ(table.zero, 1.0f);
    EXPECT_EQ(table.points, (std::vector<UnitCalibrPoint>{{1, 10.5}, {2, 20.5}}));
}

TEST(CalibrPoint, OrderAndSymmetricEquality) {
    EXPECT_TRUE(UnitCalibrPoint(1, 9) < UnitCalibrPoint(2, 0));
    EXPECT_FALSE(UnitCalibrPoint(2, 0) < UnitCalibrPoint(2, 9));
    const UnitCalibrPoint a(1.0, 2.0);
    const UnitCalibrPoint near_x(1.0 + 5e-6, 2.0), near_y(1.0, 2.0 - 5e-6);
    const UnitCalibrPoint far_x(1.0 + 2e-5, 2.0), far_y(1.0, 2.0 - 2e-5);
    for (const auto& b : {near_x, near_y}) {
        EXPECT_TRUE(a == b);
        EXPECT_TRUE(b == a);
    }
    for (const auto& b : {far_x, far_y}) {
        EXPECT_TRUE(a != b);
        EXPECT_TRUE(b != a);
    }
}

TEST(ParamEquality, FieldsPointsAndNotTheExtraData) {
    Param a = make("вес_на_крюке", 20, 0, {{1, 2}});
    a.name = "Вес на крюке";
    Param b = a;
    EXPECT_TRUE(a == b);
    b.ext_info.set("half_life", "5");
    EXPECT_TRUE(a == b);
    b.points[0].x += 5e-6;  // within the tolerance, either side
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(b == a);
    b.points.push_back({3, 4});
    EXPECT_TRUE(a != b);
    b = a;
    b.kind = 2;
    EXPECT_TRUE(a != b);
    b = a;
    b.max_value = 1;
    EXPECT_TRUE(a != b);
}

TEST(ParamChanges, TextListsTheChangedFields) {
    Param a = make("x", 20, 0);
    a.name = "Вес";
    a.averaging = 1;
    std::string text = "stale";
    EXPECT_FALSE(a.check_changes(a, text));
    EXPECT_EQ(text, "");

    Param b = a;
    b.averaging = 30;
    EXPECT_TRUE(a.check_changes(b, text));
    EXPECT_EQ(text, "осредн.[1 -> 30] ");

    b = a;
    b.name = "Вес на крюке";
    b.short_name = "W";
    b.units = "т";
    b.channel = 4;
    b.range = 25.5f;
    b.zero = 1;
    b.global_name = "other";  // not reported, nor are bounds and kind
    b.max_value = 5;
    b.kind = 1;
    EXPECT_TRUE(a.check_changes(b, text));
    EXPECT_EQ(text,
              "назв.[Вес -> Вес на крюке] кратк.назв.[ -> W] ед.изм.[ -> т] АЦП[-1 -> 4] "
              "диап.[20,00 -> 25,50] нуль[0,00 -> 1,00] ");

    b = a;
    b.range = 20.000001f;  // within the tolerance
    EXPECT_FALSE(a.check_changes(b, text));

    Param with_points = make("x", 20, 0, {{1, 1}, {2, 2}});
    with_points.name = "Вес";
    EXPECT_TRUE(a.check_changes(with_points, text));
    EXPECT_EQ(text, "удалены точки калибровки ");
    Param one_point = make("x", 20, 0, {{1, 1}});
    one_point.name = "Вес";
    EXPECT_TRUE(one_point.check_changes(with_points, text));
    EXPECT_EQ(text, "произведена калибровка по нескольким точкам ");
    Param moved = with_points;
    moved.points[1].y = 3;
    EXPECT_TRUE(with_points.check_changes(moved, text));
    EXPECT_EQ(text, "скорректированы точки калибровки ");
}

TEST(ParamExtInfo, GetSetAndNumbers) {
    ParamExtInfo info;
    EXPECT_EQ(info.get("half_life"), "");
    EXPECT_EQ(info.get_float("half_life"), 0.0);
    info.set("half_life", "2,5");
    info.set("radio_koeff", "x");
    info.set("half_life", "30.25");
    EXPECT_EQ(info.get("half_life"), "30.25");
    EXPECT_DOUBLE_EQ(info.get_float("half_life"), 30.25);
    EXPECT_EQ(info.get_float("radio_koeff"), 0.0);
    std::vector<std::string> keys;
    info.for_each([&](const std::string& k, const std::string&) { keys.push_back(k); });
    EXPECT_EQ(keys, (std::vector<std::string>{"half_life", "radio_koeff"}));
    info.clear();
    EXPECT_TRUE(info.empty());
}

TEST(CalibrFileLine, FormatsLikeTheCLibrary) {
    // Expected texts from Python's '%15e' % v.
    const struct {
        double v;
        const char* text;
    } cases[] = {
        {1.0, "   1.000000e+00"},         {2.5, "   2.500000e+00"},    {-0.001234567, "  -1.234567e-03"},
        {1e100, "  1.000000e+100"},       {0.0, "   0.000000e+00"},    {-0.0, "  -0.000000e+00"},
        {123456789.0, "   1.234568e+08"}, {1e-300, "  1.000000e-300"}, {5e-324, "  4.940656e-324"},
        {999999.95, "   9.999999e+05"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_calibr_line({c.v, c.v}), std::string(c.text) + " " + c.text) << c.v;
}

TEST(ParamOptions, OnlyForParametersWithTheDialog) {
    int shown = 0;
    set_param_options_dialog([&](Param& p, const HostData& host) {
        ++shown;
        p.averaging = host.read_channel(p.channel);
    });
    HostData host;
    host.read_channel = [](int channel) { return channel * 2; };

    Param dens = make("плотн_пж_вх_радиоакт", 2, 0);
    dens.channel = 19;
    EXPECT_TRUE(dens.param_options(host));
    EXPECT_EQ(dens.averaging, 38);
    Param other = make("плотность_на_входе", 2, 0);
    EXPECT_FALSE(other.param_options(host));
    EXPECT_EQ(shown, 1);

    set_param_options_dialog(nullptr);
    EXPECT_FALSE(dens.param_options(host));  // no window to show
}

}  // namespace
