// The console plug-in's window as its page in the station host's window,
// under a virtual X server against the simulated console: when the
// console's supply goes out of range the page comes to the front, showing
// the console's panel with the values the hub reads.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/window_testing.h"

#ifdef STATION_PULT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

TEST(StationHostWindow, TheConsolePageComesForwardOnASupplyAlarm) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    fs::create_directories(root / "plugins");
    fs::copy_file(STATION_PULT_PLUGIN, root / "plugins" / "pult.so");
    std::ofstream(root / "rig.txt") << "t hook_load spp torque flow_in flow_out gas\n"
                                       "0 120 12 6.5 32 31 2\n"
                                       "60 120 12 6.5 32 31 2\n";
    station_host::testing::ChildProgram sim(
        bin + "device_simulator",
        {"--pty", "--scenario", (root / "rig.txt").string(), "--seconds", "60", "--supply", "4.2"}, true);
    ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
    station_host::testing::ChildProgram host(
        bin + "station_host", {"--port", sim.first_line().substr(6), "--well", (root / "well").string(), "--trip", "3",
                               "--seconds", "40", "--plugins", (root / "plugins").string(), "--window"});
    const std::string id = station_host::testing::window_named("рейс 3");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();

    // The alarm asks for the page within the 40 s the trip runs; the
    // console's dark panel then fills much of it, with lit bars on it.
    int panel = 0, bars = 0;
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            const std::vector<int> n = station_host::testing::count_colours(
                std::nullopt, "host_window_console_page.png", {0x303030, ui::clLime});
            panel = n[0];
            bars = n[1];
            return panel > 100000 && bars > 2000;
        },
        35000, 250))
        << "the console page is not in front with its values: " << panel << " panel and " << bars
        << " bar pixels; " << host.output();

    station_host::testing::close_window(id, host);
}

}  // namespace
}  // namespace station_host

#endif
