// station_host --window under a virtual X server against the device
// simulator: the main window comes up with the live chart, the chart's
// curves grow while the trip records, and closing the window (the window
// taken away through xdotool) ends the trip as SIGTERM does, its files
// whole.

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/trip_files.h"
#include "tools/station_host/window_testing.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;
using station_host::testing::count_colours;
using station_host::testing::Geometry;
using station_host::testing::geometry_of;
using station_host::testing::window_named;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

// Drilling ahead with gas coming up: the curves move.
const char* const rig =
    "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
    "0   100       20        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
    "20  90        18        14  0.8       8.5    62    61    0     9   6.5     35      33\n"
    "40  110       16        11  0.4       5.5    58    60    0     3   2.5     30      31\n";

// A program with its output read on a thread of its own.
using Child = station_host::testing::ChildProgram;

// Pixels of the chart's curve colours (blue, red, green) in the window.
int curve_ink(const Geometry& g, const std::string& png) {
    const std::vector<int> n = count_colours(g, png, {ui::clBlue, ui::clRed, ui::clGreen});
    return n[0] + n[1] + n[2];
}

TEST(StationHostWindow, ChartGrowsAndClosingTheWindowEndsTheTrip) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt", well = dir / "well";
    std::ofstream(script) << rig;

    Child sim(bin + "device_simulator", {"--scenario", script, "--period", "200", "--seconds", "80", "--pty"});
    const std::string line = sim.line_starting("line: ", 5000);
    ASSERT_FALSE(line.empty());
    Child host(bin + "station_host", {"--port", line.substr(6), "--well", well, "--trip", "7", "--seconds", "60",
                                      "--time-step", "1", "--depth", "1000", "--window"});

    const std::string id = window_named("рейс 7");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    Geometry g;
    ASSERT_TRUE(geometry_of(id, g));

    // The trip runs 60 s: the curves must show and then grow long before.
    int early = 0, later = 0;
    EXPECT_TRUE(os::testing::wait_until([&] { return (early = curve_ink(g, "host_window_early.png")) > 0; }, 50000, 250))
        << "no curves on the chart page";
    EXPECT_TRUE(os::testing::wait_until([&] { return (later = curve_ink(g, "host_window_later.png")) > early; }, 50000,
                                        250))
        << "the curves did not grow: " << early << " then " << later << " pixels";

    // The window goes: the recording stops cleanly and the program ends.
    ASSERT_NO_FATAL_FAILURE(station_host::testing::close_window(id, host));
    std::string summary;
    for (const auto& l : host.lines())
        if (l.rfind("summary: ", 0) == 0) summary = l;
    EXPECT_FALSE(summary.empty()) << host.output();

    const auto files = read_trip_files(well, 7);
    ASSERT_GE(files.size(), 1u);
    const TripFile& time = files[0];
    EXPECT_TRUE(time.exists);
    EXPECT_TRUE(time.has_end) << time.path;
    EXPECT_TRUE(time.warnings.empty()) << ::testing::PrintToString(time.warnings);
    EXPECT_GE(time.records, 2);  // the curves grew: a record at least after the first
    EXPECT_NE(summary.find(" " + std::to_string(time.records) + " time"), std::string::npos)
        << summary << " / " << time.records << " records in the file";
}

}  // namespace
}  // namespace station_host

namespace station_host {
namespace {

TEST(StationHostWindow, WithoutADesktopItSaysSoAndWritesNothing) {
    const char* d = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const std::string saved = d ? d : "", saved_wl = wl ? wl : "";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    os::testing::TempDir dir;
    Child host(bin + "station_host", {"--port", dir / "no-such-port", "--well", dir / "well", "--window"});
    const auto code = host.finish(false);
    if (!saved.empty()) ::setenv("DISPLAY", saved.c_str(), 1);
    if (!saved_wl.empty()) ::setenv("WAYLAND_DISPLAY", saved_wl.c_str(), 1);
    ASSERT_TRUE(code);
    EXPECT_NE(*code, 0);
    const auto lines = host.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("DISPLAY"), std::string::npos) << lines.back();
    EXPECT_FALSE(fs::exists(dir / "well")) << "a program without its window wrote its files";
}

}  // namespace
}  // namespace station_host

namespace station_host {
namespace {

// The operator shrinks the main window as far as it goes: it stops at the
// size where the chart's headings and the console's page stay whole (here
// without a window manager, which has nothing to hold it then).
TEST(StationHostWindow, ShrinksNoFurtherThanItsContent) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt";
    std::ofstream(script) << rig;
    Child sim(bin + "device_simulator", {"--scenario", script, "--period", "200", "--seconds", "60", "--pty"});
    const std::string line = sim.line_starting("line: ", 5000);
    ASSERT_FALSE(line.empty());
    Child host(bin + "station_host", {"--port", line.substr(6), "--well", dir / "well", "--trip", "4", "--seconds",
                                      "40", "--depth", "1000", "--window"});
    const std::string id = window_named("рейс 4");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowsize", id, "120", "90"}), 0);
    Geometry g;
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        held = geometry_of(id, g) && g.width >= 800 && g.height >= 560;
    }
    EXPECT_TRUE(held) << "the window was left at " << g.width << "x" << g.height;
    count_colours(g, "host_window_least.png", {});
    station_host::testing::close_window(id, host);
}

}  // namespace
}  // namespace station_host
