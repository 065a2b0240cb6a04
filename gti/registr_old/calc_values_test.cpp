#include "gti/registr_old/calc_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/race_info.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

namespace {

double cyl(double d_mm, double len) { return M_PI / 4 * (d_mm / 1000) * (d_mm / 1000) * len; }
double ring(double outer_mm, double inner_mm, double len) { return cyl(outer_mm, len) - cyl(inner_mm, len); }

// The hub around the calculations: a frame whose table holds the
// parameters the steps read and write, the configuration, the global
// numbers, an error log and a well.
struct Hub {
    os::testing::TempDir dir;
    DataStorage frame;
    Config config;
    GlobalNums nums;
    ErrLog log;
    pore::PoreOpt well;

    Hub() {
        for (const char* n :
             {"вес_на_крюке", "тальблок", "расход_на_входе", "объем_емкости", "обороты_турбины", "объем_актив_емкости",
              "объем_в_доливных_емкостях", "объем_в_приёмных_емкостях", "объем_раствора", "глубина_инстр_пром",
              "объем_спущ_мет", "число_свечей", "число_трубок", ParamVars::h_emk1, ParamVars::h_emk2, ParamVars::h_emk3,
              ParamVars::v_emk1, ParamVars::v_emk2, ParamVars::v_emk3}) {
            Param p;
            p.global_name = n;
            frame.get_par_tabl().add(p);
        }
        nums.calculate(frame);
        log.set_file_name(dir / "registr.errors.log");

        // Casing to 800 m, open hole to 1200 m; 8 collars and 40 stands.
        auto& c = *well.get_construction();
        c.at(7).enabled = true;
        c.at(7).bottom = 800;
        c.at(7).inner_diameter = 220.5f;
        c.at(8).enabled = true;
        c.at(8).top = 800;
        c.at(8).bottom = 1200;
        c.at(8).inner_diameter = 215.9f;
        auto& s = *well.get_instr();
        instr::Elem& collars = s.get(s.add_new());
        collars.type = instr::elem_type::collar;
        collars.count = 8;
        collars.lengths = {12};
        collars.diameter = 178;
        collars.wall = 54;
        instr::Elem& stands = s.get(s.add_new());
        stands.type = instr::elem_type::stand;
        stands.count = 40;
        stands.lengths = {12.5f, 12.5f};
        stands.diameter = 127;
        stands.wall = 9;
    }

    std::string log_text() {
        std::ifstream in(dir / "registr.errors.log", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return rtl::cp1251_to_utf8(s.str());
    }
};

class FailingSteps : public calc::CalcValues {
public:
    FailingSteps() {
        add_module("Test::throws", static_cast<Operation>(&FailingSteps::throws));
        add_module("Test::throws_int", static_cast<Operation>(&FailingSteps::throws_int));
        add_module("Test::runs", static_cast<Operation>(&FailingSteps::runs));
    }
    void throws(calc::CalcValuesData& d) {
        d.storage->current_values["тальблок"] = 7;  // kept: written before the failure
        throw std::runtime_error("x");
    }
    void throws_int(calc::CalcValuesData&) { throw 5; }
    void runs(calc::CalcValuesData&) { ++ran; }
    int ran = 0;
};

}  // namespace

TEST(CalcValues, ComputesTheValuesOfAScriptedFrame) {
    Hub hub;
    calc::CalcValues cv;
    cv.attach({&hub.config, &hub.nums, &hub.log, hub.well.get_instr()});
    ASSERT_EQ(cv.modules().size(), 2u);
    EXPECT_EQ(cv.modules()[0].name, "CalcValues::calc_units");
    EXPECT_EQ(cv.modules()[1].name, "CalcValues::calc_pipes");

    hub.config.add_rastvor_v = 2;
    hub.config.get_race_info().kavern_koeff = 1.2;
    cv.get_ob_trub().koef1 = 2;
    VEmkOpts& tanks = cv.get_tanks();
    tanks[1].set_factor(20);
    tanks[1].set_doliv(false);
    tanks[1].set_in_tank(true);
    tanks[2].set_used(false);
    cv.get_candle_counter().set(5);

    auto& cur = hub.frame.current_values;
    cur["расход_на_входе"] = 30;
    cur[ParamVars::h_emk1] = 1.5;  // × 30
    cur[ParamVars::h_emk2] = 2;    // × 20
    cur[ParamVars::h_emk3] = 1;    // × 30, not in use
    cur["вес_на_крюке"] = 40;
    cur["тальблок"] = 12;
    hub.frame.set_depth_z(1200);
    hub.frame.set_depth_cur(600);

    calc::CalcValuesData d{&hub.well, &hub.frame, 77};
    cv.calc_and_store(d);
    EXPECT_EQ(hub.log_text(), "");

    EXPECT_EQ(cur["обороты_турбины"], 60);
    EXPECT_EQ(cur[ParamVars::v_emk1], 45);
    EXPECT_EQ(cur[ParamVars::v_emk2], 40);
    EXPECT_EQ(cur[ParamVars::v_emk3], 30);
    EXPECT_EQ(cur["объем_емкости"], 115);
    EXPECT_EQ(cur["объем_актив_емкости"], 85);
    EXPECT_EQ(cur["объем_в_доливных_емкостях"], 45);
    EXPECT_EQ(cur["объем_в_приёмных_емкостях"], 40);

    const double hole = 1.2 * (cyl(220.5, 800) + cyl(215.9, 400));
    const double steel = ring(178, 70, 96) + ring(127, 109, 1000);
    EXPECT_NEAR(tanks.get_circulating_v(), 2 + hole + 85 - steel, 1e-3);
    EXPECT_NEAR(cur["объем_раствора"], 2 + hole + 115 - steel, 1e-3);
    EXPECT_NEAR(cur["глубина_инстр_пром"], 1096, 1e-3);
    EXPECT_NEAR(cur["объем_спущ_мет"], ring(178, 70, 96) + ring(127, 109, 504), 1e-5);

    EXPECT_EQ(cur["число_свечей"], 5);
    EXPECT_EQ(cur["число_трубок"], 0);
    EXPECT_EQ(cv.get_candle_counter().get_out(), 48 - 5);
    EXPECT_EQ(cv.get_candle_counter().samples(), 1u);
}

TEST(CalcValues, AFailingModuleIsLoggedAndTheNextStillRuns) {
    Hub hub;
    FailingSteps cv;
    cv.attach({&hub.config, &hub.nums, &hub.log, nullptr});
    calc::CalcValuesData d{&hub.well, &hub.frame, 0};
    cv.calc_and_store(d);
    EXPECT_EQ(cv.ran, 1);
    EXPECT_EQ(hub.frame.current_values["тальблок"], 7);
    const std::string log = hub.log_text();
    EXPECT_NE(log.find(") Исключение в  Test::throws (x).\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(") Неизвестное исключение в Test::throws_int.\r\n"), std::string::npos) << log;

    // Steps without a hub report that instead of reading nothing.
    calc::CalcValues lone;
    lone.attach({nullptr, nullptr, &hub.log, nullptr});
    lone.calc_and_store(d);
    EXPECT_NE(hub.log_text().find("Исключение в  CalcValues::calc_pipes ("), std::string::npos);
}
