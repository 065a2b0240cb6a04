// The default station set-up: made where missing, matching the simulated
// unit's channels, never written over an operator's own files.

#include "tools/station_host/station_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gti/registr_old/calc_values.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/par_tabl.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "tools/devsim/scenario.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;

TEST(StationSetup, DefaultTableReadsTheSimulatedChannelsAtTheirScale) {
    os::testing::TempDir dir;
    const std::string folder = dir.path() + "/new/station";
    auto created = ensure_default_setup(folder);
    EXPECT_EQ(created, (std::vector<std::string>{folder + "/" + params_file, folder + "/" + settings_file}));

    ParTabl table;
    load_table(folder, table);
    const Settings settings = load_settings(folder);
    devsim::RigState rig;
    rig.hook_load = 117.3;
    rig.spp = 13.1;
    rig.annulus_p = 0.7;
    rig.torque = 8.2;
    rig.gas = 3.3;
    rig.methane = 2.9;
    rig.flow_in = 33.4;
    rig.flow_out = 32.6;
    int read = 0;
    for (const DefaultChannel& c : default_channels()) {
        const int i = table.find_global(c.global_name);
        ASSERT_GE(i, 0) << c.global_name;
        const Param& p = table.at(i);
        EXPECT_EQ(p.channel, c.channel) << c.global_name;
        if (c.channel < 0) continue;
        ++read;
        // What the unit sends for the rig, converted as the host converts it.
        EXPECT_EQ(devsim::ChannelMap::full_scale(c.channel), c.full_scale) << c.global_name;
        const double volts = devsim::ChannelMap::code(c.channel, rig) * settings.adc_reference / 4095;
        const double expected = c.channel == devsim::ChannelMap::hook_load   ? rig.hook_load
                                : c.channel == devsim::ChannelMap::spp       ? rig.spp
                                : c.channel == devsim::ChannelMap::annulus_p ? rig.annulus_p
                                : c.channel == devsim::ChannelMap::torque    ? rig.torque
                                : c.channel == devsim::ChannelMap::gas       ? rig.gas
                                : c.channel == devsim::ChannelMap::methane   ? rig.methane
                                : c.channel == devsim::ChannelMap::flow_in   ? rig.flow_in
                                                                             : rig.flow_out;
        EXPECT_NEAR(p.calc_value_by_voltage(volts, 1.0), expected, c.full_scale / 4095 / 2 + 1e-9) << c.global_name;
    }
    EXPECT_EQ(read, 8);

    // The hub reads the simulated rig's depth sensor and weights from the
    // same file: its calibration table under its own instance's name, used
    // at every block position the rig reaches, and its configuration.
    rtl::IniFile ini(folder + "/" + settings_file);
    calc::CalcValues hub;
    hub.get_depth_calc().lib::IniSerialData::load(&ini);
    for (float block : {0.5f, 9.0f, 17.3f, 28.0f})
        EXPECT_NEAR(hub.get_depth_calc().calc_coeff(block, 150), devsim::ChannelMap::pulses_per_metre, 1e-3) << block;
    Config config;
    config.load_from_ini(&ini);
    EXPECT_EQ(config.dol_koeff, devsim::ChannelMap::pulses_per_metre);
    EXPECT_EQ(config.zero_weight, DefaultRig::zero_weight);
    EXPECT_EQ(config.last_tal, DefaultRig::block_position);

    // A second call finds everything in place.
    EXPECT_TRUE(ensure_default_setup(folder).empty());
}

TEST(StationSetup, AnOperatorsOwnFilesStay) {
    os::testing::TempDir dir;
    ParTabl own;
    Param p;
    p.global_name = "вес_на_крюке";
    p.channel = 11;
    own.add(p);
    own.save_to(dir.path() + "/" + params_file);
    {
        rtl::IniFile ini(dir.path() + "/" + settings_file);
        ini.WriteFloat("станция", "объем_затруба_на_метр", 31.5);
    }
    EXPECT_TRUE(ensure_default_setup(dir.path()).empty());
    ParTabl table;
    load_table(dir.path(), table);
    ASSERT_EQ(table.get_items_count(), 1);
    EXPECT_EQ(table.at(0).channel, 11);
    EXPECT_EQ(load_settings(dir.path()).annulus_capacity, 31.5);
}

TEST(StationSetup, SettingsThatCannotWorkFallBackAndAMissingTableIsNamed) {
    os::testing::TempDir dir;
    {
        rtl::IniFile ini(dir.path() + "/" + settings_file);
        ini.WriteFloat("станция", "опорное_напряжение_ацп", 0);
        ini.WriteFloat("станция", "объем_затруба_на_метр", 0);
    }
    const Settings s = load_settings(dir.path());
    EXPECT_EQ(s.adc_reference, 2.5);
    EXPECT_EQ(s.annulus_capacity, 25);

    ParTabl table;
    try {
        load_table(dir.path(), table);
        FAIL() << "no table, no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(dir.path() + "/" + params_file), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace station_host
