// The demonstration cementing job as the main job sets it up: a programme a
// crew would run (each element's fluid named, the plan's densities in the
// order of a real stage, the bit's diameter) that the simulated station's
// scenario plays, each element pumping its plan at its plan rate.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/testing.h"
#include "plugins/cement/cement_files.h"
#include "tools/devsim/cement_station.h"
#include "tools/road/cement_setup.h"

namespace road {
namespace {

TEST(CementSetup, TheDemonstrationProgrammeIsOneTheScenarioPlays) {
    os::testing::TempDir dir;
    prepare_cement_station(dir.path(), "101");
    const std::string cement = dir.path() + "/101/cement/";
    CementData job;
    TReportOptions report;
    // The fluids list first, as the plug-in reads it, so that the
    // programme's elements find their fluids.
    cement::load_fluids(dir.path() + "/params/cement/cement_rastvor.ini", job);
    std::vector<std::string> warnings;
    ASSERT_TRUE(cement::load_programme(cement + "cement_program_1.ini", job, report, &warnings));
    EXPECT_TRUE(warnings.empty()) << ::testing::PrintToString(warnings);
    ASSERT_EQ(job.program.size(), 3u);
    // The 215,9 mm bit, kept to the whole millimetre as the report shows it.
    EXPECT_EQ(report.bit_diameter(), 216.0);
    EXPECT_EQ(job.columns, std::vector<int>{7});

    struct Expect {
        int kind;
        const char* fluid;
        CementData::PlanColumn column;
        double density;
    };
    const Expect expect[] = {{cement::kind_buffer, "Буферная жидкость", CementData::col_buffer, 1.05},
                             {cement::kind_cement, "", CementData::col_cement, 1.85},
                             {cement::kind_displacement, "Буровой раствор", CementData::col_displacement, 1.20}};
    const devsim::CementScenario scenario =
        devsim::CementScenario::load(std::string(STATION_SOURCE_DIR) + "/tools/road/cement_job.scenario");
    for (int i = 0; i < 3; ++i) {
        const CementProgramElement& e = job.program[std::size_t(i)];
        const Expect& x = expect[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.kind, x.kind);
        if (x.kind == cement::kind_cement) {
            EXPECT_EQ(e.fluid_type, cement::fluid_cement);
        } else {
            EXPECT_EQ(e.fluid.name, x.fluid);
            EXPECT_NEAR(e.fluid.density, x.density, 1e-6);
        }
        const double plan_v = job.plan[CementData::plan_volume][x.column];
        const double plan_q = job.plan[CementData::plan_rate][x.column];
        const double plan_pl = job.plan[CementData::plan_density][x.column];
        EXPECT_NEAR(plan_pl, x.density, 1e-6);

        // The element's step of the main job's operator: pressed every
        // demo_element_seconds from the first second.
        const double from = 1 + i * demo_element_seconds, to = from + demo_element_seconds;
        double pumped = 0;
        constexpr double dt = 0.05;
        for (double t = from; t < to; t += dt) {
            const devsim::CementSample s = scenario.at(t + dt / 2);
            EXPECT_NEAR(s.flow, plan_q, 1e-9) << t;
            pumped += s.flow * dt * 0.001;
            // Past the second either side of a change of fluid, the meter
            // reads the element's own.
            if (t >= from + 1.5 && t <= to - 1.5) {
                EXPECT_NEAR(s.density, plan_pl, 0.02) << t;
            }
        }
        EXPECT_NEAR(pumped, plan_v, plan_v * 0.01);
    }
    // Buffer, mud, slurry: the slurry is the heaviest.
    EXPECT_LT(job.plan[CementData::plan_density][CementData::col_buffer],
              job.plan[CementData::plan_density][CementData::col_displacement]);
    EXPECT_LT(job.plan[CementData::plan_density][CementData::col_displacement],
              job.plan[CementData::plan_density][CementData::col_cement]);
}

}  // namespace
}  // namespace road
