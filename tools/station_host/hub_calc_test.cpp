// The host's use of the hub's calculations: the annulus capacity from the
// well data, and the depth sensor's pulses per metre from the calibration
// with its fallback.

#include "tools/station_host/hub_calc.h"

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/pore_opt.h"

namespace station_host {
namespace {

// l/m of a ring between diameters in mm.
double ring(double d_mm, double id_mm) { return std::numbers::pi / 4 * (d_mm * d_mm - id_mm * id_mm) / 1000; }

TEST(AnnulusCapacity, FromTheWellsBoreLessTheString) {
    pore::PoreOpt well;
    // No bore in the well data: nothing to go by.
    EXPECT_EQ(annulus_capacity(well, 1000, 1), 0);

    // A casing to 500 m (inner 250 mm), open hole of 200 mm to 2000 m.
    pore::Construction& c = *well.get_construction();
    c.at(0) = pore::ConstrElement("Кондуктор");
    c.at(0).top = 0, c.at(0).bottom = 500, c.at(0).inner_diameter = 250;
    c.at(8) = pore::ConstrElement("Голый ствол");
    c.at(8).top = 500, c.at(8).bottom = 2000, c.at(8).inner_diameter = 200;
    struct Case {
        double depth, k, expected;
    };
    const double open = (ring(250, 0) * 500 + ring(200, 0) * 500) / 1000;
    for (const Case& t : std::vector<Case>{
             {1000, 1, open},
             {1000, 1.2, open * 1.2},
             {1000, 0, open},  // an enlargement factor not set is none
             {400, 1, ring(250, 0)},
             {0, 1, 0},
         })
        EXPECT_NEAR(annulus_capacity(well, t.depth, t.k), t.expected, 1e-6) << t.depth << " k " << t.k;

    // A 1000 m string of 100 mm pipe, the bit at 1000 m.
    instr::Items& string = *well.get_instr();
    string.clear();
    instr::Elem& pipe = string.get(string.add_new());
    pipe.type = instr::elem_type::single;
    pipe.count = 100;
    pipe.lengths = {10};
    pipe.diameter = 100;
    EXPECT_NEAR(annulus_capacity(well, 1000, 1), (ring(250, 100) * 500 + ring(200, 100) * 500) / 1000, 1e-6);
}

TEST(DepthPulses, TheCalibrationAtTheBlockElseTheConfiguredCoefficientReportedOnce) {
    std::vector<std::string> reports;
    DepthPulses pulses([&](const std::string& m) { reports.push_back(m); });
    calc::DepthCalc table("DepthCalc");
    table.mode = 1;
    // Not calibrated: the configured coefficient, and one report however
    // many frames ask.
    EXPECT_EQ(pulses.at(table, 12, 100), 100);
    EXPECT_EQ(pulses.at(table, 12, 100), 100);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("\"DepthCalc\" has no calibrated interval"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("100 pulses per metre"), std::string::npos) << reports[0];

    // Calibrated: the table's coefficient where the block is; the
    // configured one only when the table is not always used.
    table.set_counter(0, 1080);  // 27-18 m: 120 pulses per metre
    table.set_counter(1, 1080);
    table.set_counter(2, 900);  // 9-0 m: 100
    EXPECT_NEAR(pulses.at(table, 4.5, 150), 100, 1e-3);
    EXPECT_NEAR(pulses.at(table, 22.5, 150), 120, 1e-3);
    table.mode = 0;
    EXPECT_EQ(pulses.at(table, 4.5, 150), 150);
    EXPECT_NEAR(pulses.at(table, 4.5, -1), 100, 1e-3);

    // Nothing to go by at all: no movement, said once.
    std::vector<std::string> more;
    DepthPulses none([&](const std::string& m) { more.push_back(m); });
    calc::DepthCalc empty("DepthCalc");
    EXPECT_EQ(none.at(empty, 5, 0), 0);
    EXPECT_EQ(none.at(empty, 5, 0), 0);
    ASSERT_EQ(more.size(), 1u);
    EXPECT_NE(more[0].find("the bit is not moved"), std::string::npos) << more[0];
}

}  // namespace
}  // namespace station_host
