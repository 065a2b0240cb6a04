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
#include "platform/ui/canvas.h"
#include "platform/ui/graphics.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/station_setup.h"

#ifdef STATION_CEMENT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;
using ui::testing::run_tool;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

// The station as in the cementing job test, with the well's construction
// in its settings so that the monitor has a profile to draw.
void prepare_station(const fs::path& root) {
    // The well's construction: conductor to 600 m, casing to 1800 m, open
    // hole to 2500 m.
    const std::string programme = prepare_cement_station(
        (root / "station").string(), "101",
        {{1, 0, 600, 304.8f, 323.9f}, {7, 0, 1800, 244.5f, 273}, {8, 1800, 2500, 215.9f, 215.9f}});
    rtl::IniFile(programme).WriteString("Main", "buf_planV", "0,02");
    // 10 s a centimetre: the curves grow visibly.
    rtl::IniFile((root / "station" / "101" / "cement" / "cement.ini").string()).WriteInteger("Main", "chart_scale", 1);
    fs::create_directories(root / "plugins");
    fs::copy_file(STATION_CEMENT_PLUGIN, root / "plugins" / "cement.so");
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

bool geometry_of(const std::string& id, Geometry& g) {
    std::string out;
    if (run_tool({"xdotool", "getwindowgeometry", "--shell", id}, &out) != 0) return false;
    auto value = [&](const char* key) {
        const auto at = out.find(std::string(key) + "=");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + std::string(key).size() + 1));
    };
    g = {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
    return g.width > 0 && g.height > 0;
}

// The window's pixels: how many are of each colour asked for; the grab is
// kept as a PNG for review.
std::vector<int> count_colours(const Geometry& g, const std::string& png, const std::vector<ui::TColor>& colours) {
    std::vector<int> n(colours.size(), 0);
    ui::testing::ScreenGrab grab;
    std::string why;
    EXPECT_TRUE(ui::testing::grab_screen(grab, &why)) << why;
    if (grab.width == 0) return n;
    ui::TBitmap shot(g.width, g.height);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const auto c = static_cast<ui::TColor>(grab.color_at(g.x + x, g.y + y));
            shot.Canvas().SetPixel(x, y, c);
            for (std::size_t k = 0; k < colours.size(); ++k) n[k] += c == colours[k];
        }
    const fs::path out = fs::path(STATION_BINARY_DIR) / "test_output" / "screen";
    fs::create_directories(out);
    shot.SaveToFile((out / png).string());
    return n;
}

TEST(CementWindow, TheMonitorIsThePluginsLivePageOfTheHostWindow) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    ::setenv(
        "LSAN_OPTIONS",
        (std::string("suppressions=") + STATION_SOURCE_DIR + "/platform/ui/testdata/lsan.supp:print_suppressions=0")
            .c_str(),
        1);
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    prepare_station(root);
    std::ofstream(root / "job.txt") << "t pressure density temperature flow\n"
                                       "0 40 1.20 20 10\n"
                                       "30 160 1.80 35 40\n"
                                       "60 60 1.30 25 20\n";
    station_host::testing::ChildProgram sim(
        bin + "device_simulator",
        {"--device", "cement", "--pty", "--scenario", (root / "job.txt").string(), "--seconds", "80"}, true);
    ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
    station_host::testing::ChildProgram host(
        bin + "station_host",
        {"--port", sim.first_line().substr(6), "--well", (root / "well").string(), "--station",
         (root / "station").string(), "--trip", "1", "--seconds", "40", "--plugins", (root / "plugins").string(),
         "--protocol", "СКЦ", "--depth", "2500", "--press", "2:Начать программу,8:Следующий этап", "--window"});

    std::string out;
    ASSERT_EQ(run_tool({"xdotool", "search", "--sync", "--onlyvisible", "--name", "рейс"}, &out, 20000), 0)
        << "no window: " << ::testing::PrintToString(host.lines());
    const std::string id = out.substr(0, out.find('\n'));
    Geometry g;
    ASSERT_TRUE(geometry_of(id, g));

    // The operator's first press at 2 s brings the monitor's page forward.
    // The monitor's indicators in their curves' light shades, and the
    // pressure and flow curves in their own colours.
    const std::vector<ui::TColor> marks = {lib::transform_color_light(0x0000FF, 220, 0),
                                           lib::transform_color_light(0x808000, 220, 0), 0x0000FF, 0xFF0000};
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const std::vector<int> early = count_colours(g, "cement_window_early.png", marks);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    const std::vector<int> later = count_colours(g, "cement_window_later.png", marks);
    EXPECT_GT(early[0], 200) << "the monitor's page is not shown: " << ::testing::PrintToString(host.lines());
    EXPECT_GT(early[1], 200) << "the monitor's page is not shown";
    EXPECT_GT(later[2] + later[3], early[2] + early[3]) << "the curves did not grow";

    ASSERT_EQ(run_tool({"xdotool", "windowclose", id}), 0);
    const auto code = host.finish(false);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0) << ::testing::PrintToString(host.lines());
}

}  // namespace
}  // namespace station_host

#endif
