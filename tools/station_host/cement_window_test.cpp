// The cementing monitor as the plug-in's page of station_host --window under
// a virtual X server: the simulated cementing-control station on a
// pseudo-terminal, the scripted operator starting the programme, and the
// page, brought forward by the operator's first press, showing the live values, the
// growing curves and the well profile.

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "library/controls/draw_helpers.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/graphics.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/rig_testing.h"
#include "tools/station_host/station_setup.h"
#include "tools/station_host/window_testing.h"

#ifdef STATION_CEMENT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;
using station_host::testing::count_colours;
using station_host::testing::Geometry;
using station_host::testing::geometry_of;
using station_host::testing::window_named;

// The station as in the cementing job test, with the well's construction
// in its settings so that the monitor has a profile to draw.
void prepare_station(const testing::StationRig& rig) {
    // The well's construction: conductor to 600 m, casing to 1800 m, open
    // hole to 2500 m.
    const std::string programme = prepare_cement_station(
        rig.station().string(), "101",
        {{1, 0, 600, 304.8f, 323.9f}, {7, 0, 1800, 244.5f, 273}, {8, 1800, 2500, 215.9f, 215.9f}});
    rtl::IniFile(programme).WriteString("Main", "buf_planV", "0,02");
    // 10 s a centimetre: the curves grow visibly.
    rtl::IniFile((rig.station() / "101" / "cement" / "cement.ini").string()).WriteInteger("Main", "chart_scale", 1);
    rig.add_plugin(STATION_CEMENT_PLUGIN, "cement.so");
}

TEST(CementWindow, TheMonitorIsThePluginsLivePageOfTheHostWindow) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    testing::StationRig rig;
    prepare_station(rig);
    rig.write_script("t pressure density temperature flow\n"
                     "0 40 1.20 20 10\n"
                     "30 160 1.80 35 40\n"
                     "60 60 1.30 25 20\n");
    ASSERT_TRUE(rig.start_simulator({"--device", "cement", "--seconds", "600"}));
    station_host::testing::ChildProgram host =
        rig.host_program({"--trip", "1", "--seconds", "0", "--protocol", "СКЦ", "--depth", "2500", "--press",
                          "2:Начать программу,8:Следующий этап", "--window"});

    const std::string id = window_named("рейс");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    Geometry g;
    ASSERT_TRUE(geometry_of(id, g));

    // The operator's first press at 2 s brings the monitor's page forward.
    // The monitor's indicators in their curves' light shades, and the
    // pressure and flow curves in their own colours.
    const std::vector<ui::TColor> marks = {lib::transform_color_light(0x0000FF, 220, 0),
                                           lib::transform_color_light(0x808000, 220, 0), 0x0000FF, 0xFF0000};
    // The host runs until its window is closed; the bounds only end a hung
    // test.
    std::vector<int> early, later;
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            early = count_colours(g, "cement_window_early.png", marks);
            return early[0] > 200 && early[1] > 200;
        },
        120000, 250))
        << "the monitor's page is not shown: " << early[0] << ", " << early[1] << " pixels; " << host.output();
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            later = count_colours(g, "cement_window_later.png", marks);
            return later[2] + later[3] > early[2] + early[3];
        },
        120000, 250))
        << "the curves did not grow: " << early[2] + early[3] << " then " << later[2] + later[3] << " pixels";
    // The press started trip 2 for the plug-in: the window names that trip.
    EXPECT_EQ(window_named("рейс 2"), id) << host.output();

    station_host::testing::close_window(id, host);
}

}  // namespace
}  // namespace station_host

#endif
