// The driller's console end to end: the station host with the console
// plug-in loaded from its plug-ins folder, the simulated console on a
// pseudo-terminal. The console shows the text line and indicators the
// plug-in's options choose, takes its brightness, degasser and calibration
// blocks (the tables again once the operator recalibrates), and a supply
// out of range is reported.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/root_testing.h"
#include "platform/os/sound.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "tools/station_host/rig_testing.h"
#include "tools/station_host/station_setup.h"

#ifdef STATION_PULT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> containing(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> found;
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos) found.push_back(l);
    return found;
}

// How often a block of that description reached the console.
int blocks(const std::vector<std::string>& lines, const std::string& description) {
    return int(containing(lines, "-> " + description).size());
}

// The sixteen indicator words of a "display:" line of the simulator.
std::vector<int> display_words(const std::string& line) {
    const std::size_t from = line.find("display:") + 8;
    std::istringstream in(line.substr(from, line.find(" text '") - from));
    std::vector<int> words;
    for (int w; in >> w;) words.push_back(w);
    return words;
}

// A parameter of the station's table on one of the simulated unit's
// channels, linear from zero to full_scale at the converter's 2.5 V.
void add_channel(ParTabl& table, const char* name, int channel, double full_scale) {
    Param p;
    AllParams& registry = get_all_params();
    if (const int n = registry.get_param_number(name); n >= 0) registry.at(n).assign_to(p);
    p.global_name = name;
    p.channel = channel;
    p.max_value = float(full_scale);
    p.averaging = 5;
    p.points = {{0.0, 0.0}, {2.5, full_scale}};
    table.add(p);
}

TEST(PultConsole, DisplayBlocksRecalibrationAndSupplyAlarm) {
    const float hook_range = 25;
    const float hook_zero = 1.5f;
    const double hoist_ratio = 8;
    testing::StationRig rig;
    const fs::path station = rig.station();
    ensure_default_setup(station.string());
    {
        // The outlet density and the second tank's level on the unit's
        // channels 8 and 9 (the simulator's scales).
        ParTabl table;
        table.load_from((station / params_file).string());
        add_channel(table, "плотность_на_выходе", 8, 2.5);
        add_channel(table, "уровень_в_емкости2", 9, 5);
        // The hook load converted linearly, without calibration points.
        const int hook = table.find_global("вес_на_крюке");
        ASSERT_GE(hook, 0);
        table[hook].points.clear();
        table[hook].range = hook_range;
        table[hook].zero = hook_zero;
        table.save_to((station / params_file).string());
    }
    {
        // The operator's choices: a phrase, brighter indicators, the
        // degasser on by hand, the tables still to be sent, and the
        // indicators on the total gas, the bit depth, the second tank and
        // the outlet density (none of the last three the default).
        rtl::IniFile ini(station / settings_file);
        ini.WriteString("PultPlugin", "text", "Бурим дальше");
        ini.WriteInteger("PultPlugin", "light", 9);
        ini.WriteString("PultPlugin", "degaz_cont_type", "02000000");
        ini.WriteBool("PultPlugin", "degaz_on", true);
        ini.WriteString("PultPlugin", "indi_gaz", "00000000");
        ini.WriteString("PultPlugin", "indi_depth", "00000000");
        ini.WriteInteger("PultPlugin", "indi_level", 2);
        ini.WriteInteger("PultPlugin", "indi_plotn", 3);
        ini.WriteBool("PultPlugin", "have_to_send_indi", true);
        // The hoist's reeving, which scales the hook load's linear table.
        ini.WriteFloat("прочие_настройки", "коэффицент_полиспаста", hoist_ratio);
    }
    {
        // The bit 20 m off bottom, as the last run left it.
        fs::create_directories(rig.well());
        rtl::IniFile ini(rig.well() / settings_file);
        ini.WriteFloat("рейс", "глубина_забоя", 1500);
        ini.WriteFloat("рейс", "глубина_долота", 1480);
    }
    rig.add_plugin(STATION_PULT_PLUGIN, "pult.so");
    rig.write_script("t hook_load gas density_out level\n0 100 20 1.18 1.2\n100 100 20 1.18 1.2\n");

    // A console whose controller supply sags to 4.2 V (3.0-3.6 V allowed).
    ASSERT_TRUE(rig.start_simulator({"--seconds", "600", "--supply", "4.2"}));
    testing::ChildProgram& sim = rig.simulator();
    testing::ChildProgram host = rig.host_program({"--trip", "1"});

    // Once the first table sequence is through, the operator recalibrates
    // the rotor torque.
    ASSERT_FALSE(host.line_starting("cycle 9:", 120000).empty()) << host.output();
    {
        ParTabl table;
        table.load_from((station / params_file).string());
        const int torque = table.find_global("момент_ротора");
        ASSERT_GE(torque, 0);
        table[torque].points = {{0.0, 0.0}, {1.0, 20.0}, {2.5, 55.0}};
        table.save_to((station / params_file).string());
    }
    // The host runs until the console has had the second sequence whole
    // (the bound only ends a hung host), and is then stopped.
    const std::string recalibrated_torque = "command 8; ch3 (0, 0) (819, 20) (2048, 55)";
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            const auto seen = sim.lines();
            return blocks(seen, recalibrated_torque) >= 1 && blocks(seen, "command 9; none") >= 2 &&
                   blocks(seen, "command 5 zero pressure 10") >= 2 && blocks(seen, "command 6; ") >= 2 &&
                   blocks(seen, "command 7; ") >= 2;
        },
        120000, 100))
        << ::testing::PrintToString(sim.lines());
    host.finish();
    const auto host_lines = host.lines();
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << ::testing::PrintToString(host_lines);
    sim.finish();
    const auto sim_lines = sim.lines();

    // The display: the phrase in capitals, padded to the console's line;
    // the density (word 5) and the level (word 6) in hundredths, the gas
    // (word 11) at 20 % in tenths; the bottom and the bit depth in metres.
    const auto displays = containing(sim_lines, "display:");
    ASSERT_GE(displays.size(), 10u) << ::testing::PrintToString(sim_lines);
    const std::string& last = displays.back();
    EXPECT_NE(last.find("text 'БУРИМ ДАЛЬШЕ" + std::string(20, '@') + "'"), std::string::npos) << last;
    const std::vector<int> words = display_words(last);
    ASSERT_EQ(words.size(), 16u) << last;
    EXPECT_EQ(words[5], 118) << last;
    EXPECT_EQ(words[6], 120) << last;
    EXPECT_EQ(words[11], 200) << last;
    EXPECT_NE(last.find(" depth 1500 / 1480"), std::string::npos) << last;

    // The blocks: the brightness first, then the degasser, then the
    // tables, every one whole and checked.
    EXPECT_EQ(blocks(sim_lines, "command 1 light 9"), 1) << ::testing::PrintToString(sim_lines);
    EXPECT_EQ(blocks(sim_lines, "command 2 degasser on manual"), 1);
    // A linear table goes as its two ends: (0, offset) and (4095, offset +
    // range x the reeving): 1,5 + 25 x 8.
    const std::string hook = "ch0 (0, 1,5) (4095, 201,5)";
    const std::string pressure = "ch1 (0, 0) (2048, 40)";
    const std::string torque = "ch3 (0, 0) (2048, 50)";
    const std::string recalibrated = "ch3 (0, 0) (819, 20) (2048, 55)";
    EXPECT_EQ(blocks(sim_lines, "command 4; " + hook + "; " + pressure + "; " + torque), 1);
    EXPECT_EQ(blocks(sim_lines, "command 6; " + hook), 2) << ::testing::PrintToString(containing(sim_lines, "command 6"));
    EXPECT_EQ(blocks(sim_lines, "command 7; " + pressure), 2);
    EXPECT_EQ(blocks(sim_lines, "command 8; " + torque), 1);
    EXPECT_EQ(blocks(sim_lines, "command 4; " + hook + "; " + pressure + "; " + recalibrated), 1);
    EXPECT_EQ(blocks(sim_lines, "command 8; " + recalibrated), 1);
    EXPECT_EQ(blocks(sim_lines, "command 9; none"), 2);
    EXPECT_EQ(blocks(sim_lines, "command 5 zero pressure 10"), 2);
    EXPECT_TRUE(containing(sim_lines, "invalid").empty()) << ::testing::PrintToString(sim_lines);
    const auto done = containing(sim_lines, "done:");
    ASSERT_EQ(done.size(), 1u);
    EXPECT_NE(done[0].find(" 0 bad packets, 0 junk bytes, 0 bad blocks"), std::string::npos) << done[0];
    EXPECT_EQ(containing(sim_lines, "console: 14 settings blocks, light 9, degasser on manual, tables 7").size(), 1u)
        << ::testing::PrintToString(sim_lines);

    // The table read again, and the sagging supply reported once.
    EXPECT_EQ(containing(host_lines, "read again").size(), 1u) << ::testing::PrintToString(host_lines);
    EXPECT_EQ(containing(host_lines, "Питание пульта бурильщика вне допуска: pult.voltage = 4,2 (3 - 3,6)").size(), 1u)
        << ::testing::PrintToString(host_lines);
}

// The tone a WAV the station played holds: its length in ms and its
// frequency from the sine's upward zero crossings.
void tone_of(const std::string& file, double& ms, double& hz) {
    std::ifstream in(file, std::ios::binary);
    const std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ms = hz = 0;
    ASSERT_GT(wav.size(), 44u) << file;
    ASSERT_EQ(wav.substr(0, 4), "RIFF");
    ASSERT_EQ(wav.substr(36, 4), "data");
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(wav[at])) | std::uint32_t(std::uint8_t(wav[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(wav[at + 2])) << 16 | std::uint32_t(std::uint8_t(wav[at + 3])) << 24;
    };
    const std::uint32_t rate = u32(24), bytes = u32(40);
    ASSERT_EQ(wav.size(), 44u + bytes);
    const std::size_t samples = bytes / 2;
    ms = 1000.0 * double(samples) / rate;
    int rises = 0;
    std::int16_t before = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto s = std::int16_t(std::uint8_t(wav[44 + 2 * i]) | std::uint8_t(wav[45 + 2 * i]) << 8);
        if (i > 0 && before < 0 && s >= 0) ++rises;
        before = s;
    }
    hz = rises / (ms / 1000.0);
}

TEST(PultConsole, TheConsolesBeepsSoundThroughTheStationsSound) {
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        ensure_default_setup(rig.station().string());
        // The tables still to be sent: their sequence ends with a beep.
        rtl::IniFile(rig.station() / settings_file).WriteBool("PultPlugin", "have_to_send_indi", true);
        rig.add_plugin(STATION_PULT_PLUGIN, "pult.so");
        // A console whose controller supply sags out of its range: the alarm.
        ASSERT_TRUE(rig.start_simulator({"--seconds", "40", "--supply", "4.2"}));
        auto player = std::dynamic_pointer_cast<os::RecordingSoundPlayer>(os::sound_player());
        ASSERT_TRUE(player);
        const std::string alarm = os::tone_file(2500, 50), done = os::tone_file(600, 300);
        const auto played = [&](const std::string& file) {
            int n = 0;
            for (const auto& c : player->calls()) n += c.file == file && !c.loop;
            return n;
        };
        HostOptions o = rig.host_options();
        o.duration_s = 0;
        Host host(o, rig.progress(), rig.errors());
        // The run lasts until both beeps have sounded (or a minute has gone),
        // then stops as on a signal.
        int stop[2];
        ASSERT_EQ(::pipe2(stop, O_NONBLOCK | O_CLOEXEC), 0);
        const auto started = std::chrono::steady_clock::now();
        bool stopping = false;
        host.on_turn = [&] {
            if (stopping || !((played(alarm) >= 2 && played(done) >= 1) ||
                              std::chrono::steady_clock::now() - started > std::chrono::seconds(60)))
                return;
            stopping = true;
            const char c = 1;
            EXPECT_EQ(::write(stop[1], &c, 1), 1);
        };
        EXPECT_EQ(host.run(stop[0]), 0) << rig.host_output();
        ::close(stop[0]);
        ::close(stop[1]);
        EXPECT_GE(played(alarm), 2) << rig.host_output();
        EXPECT_GE(played(done), 1) << rig.host_output();
        for (const auto& [file, want_hz, want_ms] :
             {std::tuple{alarm, 2500.0, 50.0}, std::tuple{done, 600.0, 300.0}}) {
            double ms = 0, hz = 0;
            tone_of(file, ms, hz);
            EXPECT_NEAR(ms, want_ms, 0.5) << file;
            EXPECT_NEAR(hz, want_hz, want_hz * 0.05) << file;
        }
    });
}

}  // namespace
}  // namespace station_host

#endif
