// The console plug-in's window as its page in the station host's window,
// under a virtual X server against the simulated console: when the
// console's supply goes out of range the page comes to the front, showing
// the console's panel with the values the hub reads.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/testing.h"
#include "platform/ui/canvas.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"

#ifdef STATION_PULT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;
using ui::testing::run_tool;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

TEST(StationHostWindow, TheConsolePageComesForwardOnASupplyAlarm) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    ::setenv(
        "LSAN_OPTIONS",
        (std::string("suppressions=") + STATION_SOURCE_DIR + "/platform/ui/testdata/lsan.supp:print_suppressions=0")
            .c_str(),
        1);
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
    std::string out;
    ASSERT_EQ(run_tool({"xdotool", "search", "--sync", "--onlyvisible", "--name", "рейс 3"}, &out, 20000), 0)
        << "no window: " << ::testing::PrintToString(host.lines());
    const std::string id = out.substr(0, out.find('\n'));

    // A few seconds of recording: the alarm has asked for the page.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    ui::testing::ScreenGrab grab;
    std::string why;
    ASSERT_TRUE(ui::testing::grab_screen(grab, &why)) << why;
    int panel = 0, bars = 0;
    ui::TBitmap shot(grab.width, grab.height);
    for (int y = 0; y < grab.height; ++y)
        for (int x = 0; x < grab.width; ++x) {
            const auto c = static_cast<ui::TColor>(grab.color_at(x, y));
            shot.Canvas().SetPixel(x, y, c);
            panel += c == 0x303030;
            bars += c == ui::clLime;
        }
    const fs::path png = fs::path(STATION_BINARY_DIR) / "test_output" / "screen";
    fs::create_directories(png);
    shot.SaveToFile((png / "host_window_console_page.png").string());
    // The console's dark panel fills much of the page, with lit bars on it.
    EXPECT_GT(panel, 100000) << "the console page is not in front: " << ::testing::PrintToString(host.lines());
    EXPECT_GT(bars, 2000) << "no indicator shows a value";

    ASSERT_EQ(run_tool({"xdotool", "windowclose", id}), 0);
    const auto code = host.finish(false);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0) << ::testing::PrintToString(host.lines());
}

}  // namespace
}  // namespace station_host

#endif
