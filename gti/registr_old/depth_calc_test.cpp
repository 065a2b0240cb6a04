#include "gti/registr_old/depth_calc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "library/numeric/interpolation.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"

namespace {

using calc::DepthCalc;
using calc::DolCalibrItem;

void calibrate_default(DepthCalc& dc, int pulses) {
    for (int i = 0; i < dc.size(); ++i) dc.set_counter(i, pulses);
}

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

TEST(DepthCalc, GivenOrInterpolatedCoefficient) {
    DepthCalc dc("DepthCalc");
    ASSERT_EQ(dc.size(), 3);
    EXPECT_EQ(dc.get_depth1(0), 27);
    EXPECT_EQ(dc.get_depth2(2), 0);
    EXPECT_EQ(dc.get_middle_depth(1), 13.5f);
    EXPECT_FALSE(dc.is_calibrated());

    calibrate_default(dc, 900);  // 900 pulses over 9 m
    EXPECT_TRUE(dc.is_calibrated());
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(dc.item(i).coeff, 100);
    for (float p : {-5.0f, 0.0f, 4.5f, 13.0f, 27.0f, 40.0f}) EXPECT_FLOAT_EQ(dc.calc_coeff(p, -1), 100) << p;
    dc.corr_coeff = 1.5f;
    EXPECT_FLOAT_EQ(dc.calc_coeff(7, -1), 150);

    EXPECT_EQ(dc.calc_coeff(5, 120), 120);
    dc.mode = 1;
    EXPECT_FLOAT_EQ(dc.calc_coeff(5, 120), 150);
    dc.mode = 0;
    // A given 0 is no coefficient: the table answers.
    EXPECT_FLOAT_EQ(dc.calc_coeff(5, 0), 150);

    // An interval of no length keeps its coefficient.
    DolCalibrItem flat(5, 5, 42);
    flat.set_counter(1000);
    EXPECT_EQ(flat.coeff, 42);
}

TEST(DepthCalc, TheInterpolatedCoefficientStaysWithinTheCalibratedRange) {
    DepthCalc dc("DepthCalc");
    const float coeffs[] = {100, 160, 90, 170, 95, 150, 105};
    dc.set_elems_size(7);
    lib::Interpolation raw;
    raw.set_size(7);
    for (int i = 0; i < 7; ++i) {
        auto& item = static_cast<DolCalibrItem&>(dc.get_elem(i));
        item = DolCalibrItem(28.0f - 4 * i, 24.0f - 4 * i, coeffs[i]);
        raw.set_point(i, item.get_middle_depth(), coeffs[i]);
    }
    // The plain polynomial through the midpoints swings far out of range
    // beyond the table and between its points.
    for (float p : {-2.0f, 30.0f}) {
        const double v = raw.get_lagr_value(p);
        EXPECT_TRUE(v < 0 || v > 170) << p << ": " << v;
    }

    for (float p = -10; p <= 40; p += 0.25f) {
        const float c = dc.calc_coeff(p, -1);
        EXPECT_GE(c, 90) << p;
        EXPECT_LE(c, 170) << p;
    }
    // At a midpoint the table's own value.
    EXPECT_FLOAT_EQ(dc.calc_coeff(14, -1), 170);

    // Intervals without a coefficient take no part.
    dc.set_elems_size(0);
    dc.set_elems_size(3);
    static_cast<DolCalibrItem&>(dc.get_elem(0)) = DolCalibrItem(27, 18, 0);
    static_cast<DolCalibrItem&>(dc.get_elem(1)) = DolCalibrItem(18, 9, 120);
    static_cast<DolCalibrItem&>(dc.get_elem(2)) = DolCalibrItem(9, 0, NAN);
    for (float p : {0.0f, 13.5f, 27.0f}) EXPECT_FLOAT_EQ(dc.calc_coeff(p, -1), 120) << p;
}

TEST(DepthCalc, AnUncalibratedTableIsReportedNeverZero) {
    DepthCalc dc("DepthCalc");
    EXPECT_THROW(dc.calc_coeff(5, -1), calc::NotCalibrated);
    dc.mode = 1;
    EXPECT_THROW(dc.calc_coeff(5, 120), calc::NotCalibrated);
    dc.mode = 0;
    EXPECT_EQ(dc.calc_coeff(5, 120), 120);
    dc.set_elems_size(0);
    EXPECT_THROW(dc.calc_coeff(5, -1), calc::NotCalibrated);
    EXPECT_TRUE(dc.get_marks().empty());

    // A correction factor that escaped the check never zeroes the result.
    dc.set_defaults();
    calibrate_default(dc, 900);
    dc.corr_coeff = 0;
    EXPECT_FLOAT_EQ(dc.calc_coeff(5, -1), 50);
}

TEST(DepthCalc, CheckKeepsTheCorrectionFactorInRange) {
    DepthCalc dc("DepthCalc");
    const struct { float in, out; } cases[] = {{0.1f, 0.5f}, {3, 2}, {1.2f, 1.2f}, {NAN, 0.5f}, {0.5f, 0.5f}, {2, 2}};
    for (auto c : cases) {
        dc.corr_coeff = c.in;
        dc.check();
        EXPECT_EQ(dc.corr_coeff, c.out) << c.in;
    }
}

TEST(DepthCalc, MarksAndRowsForms) {
    DepthCalc dc("DepthCalc");
    EXPECT_EQ(dc.get_marks(), (std::vector<std::string>{"27,0", "18,0", "9,0", "0,0"}));

    calibrate_default(dc, 900);
    dc.set_marks({" 30 ", "", "20,5", "10", "0"});
    ASSERT_EQ(dc.size(), 3);
    EXPECT_EQ(dc.get_depth1(1), 20.5f);
    EXPECT_EQ(dc.get_depth2(1), 10);
    EXPECT_EQ(dc.item(0).coeff, 0);

    dc.set_marks({"27", "18", "9", "0"});
    EXPECT_EQ(dc.get_rows(), (std::vector<std::array<std::string, 3>>{
                                 {"27,0", "18,0", "0,0"}, {"18,0", "9,0", "0,0"}, {"9,0", "0,0", "0,0"}}));

    try {
        dc.set_marks({"12", "", "  "});
        FAIL() << "one mark accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Слишком мало меток глубины!\nКоличество меток должно быть болше двух.");
    }
    EXPECT_EQ(dc.size(), 3);

    dc.set_rows({{"10", "5", "80,5"}, {"5", "0", "x"}});
    ASSERT_EQ(dc.size(), 2);
    EXPECT_EQ(dc.item(0).coeff, 80.5f);
    EXPECT_EQ(dc.item(1).coeff, 0);
    // Only the header row in the grid: no rows, the default table.
    dc.set_rows({});
    EXPECT_EQ(dc.size(), 3);
    EXPECT_EQ(dc.get_depth1(0), 27);
}

TEST(DepthCalc, IniFormRoundTripsAndAnEmptyTableFallsBackToTheDefaults) {
    os::testing::TempDir dir;
    DepthCalc dc("DepthCalc");
    dc.set_marks({"30", "20", "10,5", "0"});
    dc.set_counter(0, 1000);
    dc.mode = 1;
    dc.corr_coeff = 1.25f;
    dc.lib::IniSerialData::save(dir / "dc.ini");
    {
        rtl::IniFile ini(dir / "dc.ini");
        EXPECT_EQ(ini.ReadString("DepthCalc", "item1", ""), "30,20,100");
        EXPECT_EQ(ini.ReadString("DepthCalc", "item2", ""), "20,\"10,5\",0");
        EXPECT_EQ(ini.ReadInteger("DepthCalcOpts", "mode", 0), 1);
    }
    DepthCalc back("DepthCalc");
    back.lib::IniSerialData::load(dir / "dc.ini");
    ASSERT_EQ(back.size(), 3);
    EXPECT_EQ(back.item(0).coeff, 100);
    EXPECT_EQ(back.get_depth2(1), 10.5f);
    EXPECT_EQ(back.mode, 1);
    EXPECT_EQ(back.corr_coeff, 1.25f);

    const struct {
        const char* file;
        int size;
        float first_depth1;
        float corr;
    } cases[] = {
        {"[DepthCalc]\nsize=0\n[DepthCalcOpts]\ncorr_coeff=0,1\n", 3, 27, 0.5f},
        {"[DepthCalc]\nsize=5\n", 3, 27, 1},  // items missing
        {"[DepthCalc]\nsize=2000000000\nitem1=\"9,8,7\"\nitem5000=\"1,2,3\"\n", DepthCalc::max_items, 9, 1},
        {"[DepthCalcOpts]\ncorr_coeff=7\n", 3, 30, 2},  // no list: the table stays
    };
    for (const auto& c : cases) {
        write(dir / "case.ini", c.file);
        DepthCalc d("DepthCalc");
        d.set_marks({"30", "20", "10", "0"});
        d.lib::IniSerialData::load(dir / "case.ini");
        d.lib::ini_options::load(dir / "case.ini");
        EXPECT_EQ(d.size(), c.size) << c.file;
        EXPECT_EQ(d.get_depth1(0), c.first_depth1) << c.file;
        EXPECT_EQ(d.corr_coeff, c.corr) << c.file;
    }
}
