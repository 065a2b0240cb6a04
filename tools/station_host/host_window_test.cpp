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
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_files.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/operator_session_testing.h"
#include "tools/station_host/station_setup.h"
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

    Child sim(bin + "device_simulator", {"--scenario", script, "--period", "200", "--seconds", "600", "--pty"});
    const std::string line = sim.line_starting("line: ", 120000);
    ASSERT_FALSE(line.empty());
    Child host(bin + "station_host", {"--port", line.substr(6), "--well", well, "--trip", "7", "--seconds", "600",
                                      "--time-step", "1", "--depth", "1000", "--window"});

    const std::string id = window_named("рейс 7");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    Geometry g;
    ASSERT_TRUE(geometry_of(id, g));

    // The curves must show and then grow (the bounds only end a hung host).
    int early = 0, later = 0;
    EXPECT_TRUE(os::testing::wait_until([&] { return (early = curve_ink(g, "host_window_early.png")) > 0; }, 120000, 250))
        << "no curves on the chart page";
    EXPECT_TRUE(os::testing::wait_until([&] { return (later = curve_ink(g, "host_window_later.png")) > early; }, 120000,
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

// The window's title as the X server has it, once it is `want` (waited
// for up to two minutes); what it was last when it never came.
std::string title_becomes(const std::string& id, const std::string& want) {
    std::string name;
    for (int waited = 0; waited < 120000; waited += 100) {
        name.clear();
        if (ui::testing::run_tool({"xdotool", "getwindowname", id}, &name) == 0) {
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
            if (name == want) return name;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return name;
}

TEST(StationHostWindow, TheTitleFollowsAPluginsStop) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt", well = dir / "well", plugins = dir / "plugins";
    std::ofstream(script) << rig;
    fs::create_directories(plugins);
    fs::copy_file(std::string(STATION_BINARY_DIR) + "/test_plugins/station_host/recorder.so", plugins + "/recorder.so");

    Child sim(bin + "device_simulator", {"--scenario", script, "--period", "200", "--seconds", "600", "--pty"});
    const std::string line = sim.line_starting("line: ", 120000);
    ASSERT_FALSE(line.empty());
    // The plug-in asks for the stop at its fifth cycle.
    ::setenv("STATION_HOST_PLUGIN_STOP_AFTER", "5", 1);
    Child host(bin + "station_host", {"--port", line.substr(6), "--well", well, "--trip", "7", "--seconds", "600",
                                      "--time-step", "1", "--window", "--plugins", plugins});
    ::unsetenv("STATION_HOST_PLUGIN_STOP_AFTER");

    const std::string id = window_named("рейс 7");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    EXPECT_EQ(title_becomes(id, "Станция — рейс 7"), "Станция — рейс 7") << host.output();
    EXPECT_EQ(title_becomes(id, "Станция — рейс 7 (запись остановлена)"), "Станция — рейс 7 (запись остановлена)")
        << host.output();
    Geometry g;
    if (geometry_of(id, g)) count_colours(g, "host_window_stopped_by_plugin.png", {});
    ASSERT_NO_FATAL_FAILURE(station_host::testing::close_window(id, host));
    EXPECT_NE(host.output().find("trip 7 stopped on a plug-in's request"), std::string::npos) << host.output();
}

#ifdef STATION_CEMENT_PLUGIN

TEST(StationHostWindow, TheTripRecordsWhileTheStartsQuestionIsOpen) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt", well = dir / "well", plugins = dir / "plugins";
    std::ofstream(script) << rig;
    // The last cementing programme had finished.
    const std::string programme = prepare_cement_station(dir / "station", "101", {});
    {
        CementData job;
        TReportOptions report;
        ASSERT_TRUE(cement::load_programme(programme, job, report));
        job.stage = 1;
        job.element = cement::element_finished;
        for (auto& e : job.program) e.mode = cement::state_done;
        cement::save_programme(programme, job, report);
    }
    fs::create_directories(plugins);
    fs::copy_file(STATION_CEMENT_PLUGIN, plugins + "/cement.so");

    Child sim(bin + "device_simulator", {"--scenario", script, "--period", "200", "--seconds", "600", "--pty"});
    const std::string line = sim.line_starting("line: ", 120000);
    ASSERT_FALSE(line.empty());
    Child host(bin + "station_host", {"--port", line.substr(6), "--well", well, "--station", dir / "station", "--trip",
                                      "7", "--seconds", "600", "--time-step", "1", "--window", "--plugins", plugins});
    const std::string id = window_named("рейс 7");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    const std::string question = window_named("Рейс завершен");
    ASSERT_FALSE(question.empty()) << "no question: " << host.output();

    // Unanswered, the question stays while the time file grows by records.
    const std::string time_file = well + "/0007.realtim";
    std::uintmax_t size = 0;
    for (int waited = 0; waited < 120000 && size == 0; waited += 100) {
        std::error_code ec;
        size = fs::file_size(time_file, ec);
        if (ec) size = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int grew = 0;
    for (int waited = 0; waited < 120000 && grew < 3; waited += 100) {
        std::error_code ec;
        const std::uintmax_t now = fs::file_size(time_file, ec);
        if (!ec && now > size) {
            size = now;
            ++grew;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_GE(grew, 3) << "the time file stood still behind the question: " << host.output();
    EXPECT_EQ(window_named("Рейс завершен"), question) << "the question went before it was answered";
    count_colours(std::nullopt, "host_window_start_question.png", {});

    ASSERT_NO_FATAL_FAILURE(station_host::testing::close_window(id, host));
}

#endif

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
// without a window manager, which has nothing to hold it then), and there
// no curve's title runs into a range value of its column's header.
TEST(StationHostWindow, ShrinksNoFurtherThanItsContent) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt";
    std::ofstream(script) << rig;
    Child sim(bin + "device_simulator", {"--scenario", script, "--period", "200", "--seconds", "600", "--pty"});
    const std::string line = sim.line_starting("line: ", 120000);
    ASSERT_FALSE(line.empty());
    const std::string map = dir / "map.txt";
    ::setenv("STATION_HOST_SCREEN_MAP", map.c_str(), 1);
    Child host(bin + "station_host", {"--port", line.substr(6), "--well", dir / "well", "--trip", "4", "--seconds",
                                      "600", "--depth", "1000", "--window"});
    ::unsetenv("STATION_HOST_SCREEN_MAP");
    const std::string id = window_named("рейс 4");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowsize", id, "120", "90"}), 0);
    Geometry g;
    bool held = false;
    for (int i = 0; i < 1200 && !held; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        held = geometry_of(id, g) && g.width >= 800 && g.height >= 560;
    }
    EXPECT_TRUE(held) << "the window was left at " << g.width << "x" << g.height;
    // The grab shows the chart drawn, its columns' white over most of the
    // window, once the first records have come.
    EXPECT_TRUE(os::testing::wait_until(
        [&] { return count_colours(g, "host_window_least.png", {ui::clWhite})[0] > g.width * g.height / 2; }, 120000,
        500))
        << "the chart was not drawn: " << host.output();
    // The headings as painted at this size, from the host's map of the
    // screen (the chart as wide as the window: the map has caught up).
    using station_host::testing::MapEntry;
    std::vector<MapEntry> headings;
    Geometry chart_box{};
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            headings.clear();
            std::string text;
            if (os::read_file(map, text) != 0) return false;
            for (const auto& e : station_host::testing::parse_map(text)) {
                if (e.kind == "heading") headings.push_back(e);
                if (e.kind == "control" && e.fields.at(1) == "ChartView:Chart")
                    chart_box = {e.box.x, e.box.y, e.box.w, e.box.h};
            }
            return !headings.empty() && chart_box.width > 0 && chart_box.width <= g.width;
        },
        60000, 200))
        << "the screen map shows no chart headings";
    for (std::size_t i = 0; i < headings.size(); ++i) {
        const auto& a = headings[i].box;
        const std::string what = "\"" + headings[i].fields.at(2) + "\"";
        EXPECT_TRUE(a.x >= chart_box.x && a.x + a.w <= chart_box.x + chart_box.width) << what << " leaves the chart";
        for (std::size_t j = i + 1; j < headings.size(); ++j) {
            const auto& o = headings[j].box;
            const bool apart = a.x + a.w <= o.x || o.x + o.w <= a.x || a.y + a.h <= o.y || o.y + o.h <= a.y;
            EXPECT_TRUE(apart) << what << " runs into \"" << headings[j].fields.at(2) << "\" at " << g.width << "x"
                               << g.height;
        }
    }
    station_host::testing::close_window(id, host);
}

}  // namespace
}  // namespace station_host
