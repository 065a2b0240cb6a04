// The console plug-in's window as its page in the station host's window,
// under a virtual X server against the simulated console: when the
// console's supply goes out of range the page comes to the front, showing
// the console's panel with the values the hub reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/testing.h"
#include "platform/rtl/colors.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/operator_session_testing.h"
#include "tools/station_host/rig_testing.h"
#include "tools/station_host/window_testing.h"

#ifdef STATION_PULT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

// The console plug-in in the plug-ins folder and the simulated console's
// script: a steady rig.
void prepare_console(const station_host::testing::StationRig& rig) {
    rig.add_plugin(STATION_PULT_PLUGIN, "pult.so");
    rig.write_script("t hook_load spp torque flow_in flow_out gas\n"
                     "0 120 12 6.5 32 31 2\n"
                     "60 120 12 6.5 32 31 2\n");
}

// The host's window on trip 3 of the simulated console, running until closed.
station_host::testing::ChildProgram host_window(const station_host::testing::StationRig& rig) {
    return rig.host_program({"--trip", "3", "--seconds", "0", "--window"});
}

TEST(StationHostWindow, TheConsolePageComesForwardOnASupplyAlarm) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    station_host::testing::StationRig rig;
    prepare_console(rig);
    // The console's supply out of range.
    ASSERT_TRUE(rig.start_simulator({"--seconds", "600", "--supply", "4.2"}));
    station_host::testing::ChildProgram host = host_window(rig);
    const std::string id = station_host::testing::window_named("рейс 3");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();

    // The alarm asks for the page while the trip runs; the
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
        120000, 250))
        << "the console page is not in front with its values: " << panel << " panel and " << bars
        << " bar pixels; " << host.output();

    station_host::testing::close_window(id, host);
}

// Where the console's dark panel lies on the screen, as far as it is seen.
struct PanelSeen {
    int left = -1, top = -1, right = -1, bottom = -1;
    bool seen() const { return right > left && bottom > top; }
};

PanelSeen dark_panel(const station_host::testing::Geometry& g) {
    PanelSeen p;
    ui::testing::ScreenGrab grab;
    if (!ui::testing::grab_screen(grab)) return p;
    for (int y = std::max(0, g.y); y < std::min(grab.height, g.y + g.height); ++y)
        for (int x = std::max(0, g.x); x < std::min(grab.width, g.x + g.width); ++x) {
            if (grab.color_at(x, y) != 0x303030) continue;
            if (p.left < 0 || x < p.left) p.left = x;
            if (p.top < 0) p.top = y;
            p.right = std::max(p.right, x + 1);
            p.bottom = y + 1;
        }
    return p;
}

// The console's window, scaled to the page of the window's first size, is
// larger than the page once the operator makes the window as small as it
// goes: the page's scroll bar and the wheel bring its lower right corner
// into sight, where the help button, clicked, asks the desktop for the
// console's help page.
TEST(StationHostWindow, TheConsolesFarCornerIsReachedInASmallWindow) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    station_host::testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare_console(rig);
    // The desktop's opener: a stand-in that the host finds first and that
    // writes down the page asked for.
    fs::create_directories(root / "desktop");
    const fs::path opener = root / "desktop" / "xdg-open";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << (root / "help.part").string()
                          << "\"\n/bin/mv \"" << (root / "help.part").string() << "\" \""
                          << (root / "help.args").string() << "\"\n";
    fs::permissions(opener, fs::perms::owner_all);

    ASSERT_TRUE(rig.start_simulator({"--seconds", "600"}));
    const char* path = std::getenv("PATH");
    const std::string saved_path = path ? path : "/usr/bin:/bin";
    ::setenv("PATH", ((root / "desktop").string() + ":" + saved_path).c_str(), 1);
    station_host::testing::ChildProgram host = host_window(rig);
    ::setenv("PATH", saved_path.c_str(), 1);
    const std::string id = station_host::testing::window_named("рейс 3");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    station_host::testing::Geometry g;
    ASSERT_TRUE(station_host::testing::geometry_of(id, g));

    // The console's page by its tab (the second, beside "Диаграмма").
    PanelSeen whole;
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            ui::testing::run_tool({"xdotool", "mousemove", "--window", id, "140", "29", "click", "1"});
            whole = dark_panel(g);
            return whole.seen() && whole.right - whole.left > 760;
        },
        120000, 500))
        << "the console's page did not come: " << host.output();
    // The window's designed 760 pixels, as the page's first size scaled them.
    const double scale = (whole.right - whole.left) / 760.0;

    // As small as the window goes: the console no longer fits its page.
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowsize", id, "120", "90"}), 0);
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            // The window first takes the size asked for, then its least.
            return station_host::testing::geometry_of(id, g) && g.width >= 800 && g.height >= 560 &&
                   g.width < whole.right - whole.left;
        },
        60000, 50))
        << "the window was left at " << g.width << "x" << g.height;
    station_host::testing::count_colours(g, "host_window_console_cut.png", {});
    // Down by the wheel over the console, right by a press on the track of
    // the page's lower bar, left of its thumb.
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "mousemove", "--window", id, "100", "200", "click", "--repeat", "12",
                                     "--delay", "50", "5"}),
              0);
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "mousemove", "--window", id, std::to_string(g.width - 100),
                                     std::to_string(g.height - 32), "click", "1"}),
              0);
    // The panel's lower right corner, then the help button below it.
    PanelSeen corner;
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            corner = dark_panel(g);
            return corner.seen() && corner.bottom + 90 * scale < g.y + g.height - 22 &&
                   corner.right < g.x + g.width - 8;
        },
        60000, 100))
        << "the console's lower right part stayed out of sight: panel seen to " << corner.right << "," << corner.bottom
        << " in the window " << g.x << "," << g.y << " " << g.width << "x" << g.height;
    station_host::testing::count_colours(g, "host_window_console_scrolled.png", {});
    const int help_x = corner.right - static_cast<int>(35 * scale), help_y = corner.bottom + static_cast<int>(66 * scale);
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "mousemove", std::to_string(help_x), std::to_string(help_y), "click",
                                     "1"}),
              0);
    std::string asked;
    EXPECT_TRUE(os::testing::wait_until(
        [&] { return !(asked = os::testing::read_bytes((root / "help.args").string())).empty(); }, 60000, 100))
        << "the help button took no click at " << help_x << "," << help_y;
    EXPECT_NE(asked.find("pult"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("degas"), std::string::npos) << asked;

    station_host::testing::close_window(id, host);
}

// WCAG's contrast of two colours (0x00BBGGRR).
double contrast(std::uint32_t a, std::uint32_t b) {
    auto luminance = [](std::uint32_t c) {
        auto channel = [](unsigned v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) + 0.0722 * channel((c >> 16) & 0xFF);
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Every number of the console's page, read from a grab of the screen where
// the host's map puts its indicators: its digits stand out from what lies
// behind them (the panel, or the lit part of a bar) by at least 4.5 to 1.
TEST(StationHostWindow, TheConsolePagesValuesReadOnTheirBackground) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    station_host::testing::suppress_gtk_leaks();
    station_host::testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare_console(rig);
    // The console's supply out of range.
    ASSERT_TRUE(rig.start_simulator({"--seconds", "600", "--supply", "4.2"}));
    const std::string map_path = (root / "screen.map").string();
    ::setenv("STATION_HOST_SCREEN_MAP", map_path.c_str(), 1);
    station_host::testing::ChildProgram host = host_window(rig);
    ::unsetenv("STATION_HOST_SCREEN_MAP");
    const std::string id = station_host::testing::window_named("рейс 3");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();
    station_host::testing::ScreenOperator op(map_path);

    // The supply alarm brings the page forward; the values come in with it.
    struct Seen {
        std::string name;
        double ink = 0;  // the best contrast of a digit's pixel to what lies behind it
        bool lit = false, unlit = false;
        double lit_ink = 0, unlit_ink = 0;
    };
    std::vector<Seen> seen;
    std::string report;
    const bool readable = os::testing::wait_until(
        [&] {
            std::vector<station_host::testing::MapEntry> indicators;
            for (const auto& e : op.map())
                if (e.kind == "control" && e.fields.size() > 1 && e.fields[1].rfind("TIndicator:", 0) == 0 &&
                    e.box.w > 8 && e.box.h > 8)
                    indicators.push_back(e);
            if (indicators.size() < 10) return false;
            ui::testing::ScreenGrab grab;
            if (!ui::testing::grab_screen(grab)) return false;
            seen.clear();
            report.clear();
            bool all = true;
            for (const auto& e : indicators) {
                Seen s;
                const auto& b = e.box;
                s.name = e.fields[1].substr(11) + "@" + std::to_string(b.x) + "," + std::to_string(b.y);
                if (b.x < 0 || b.y < 0 || b.x + b.w > grab.width || b.y + b.h > grab.height) return false;
                // Inside the frame; each column's background is its colour
                // just under the frame, above the digits.
                bool ink = false;
                for (int x = b.x + 2; x < b.x + b.w - 2; ++x) {
                    const std::uint32_t back = grab.color_at(x, b.y + 2);
                    const bool lit = back != 0x303030;
                    for (int y = b.y + 3; y < b.y + b.h - 2; ++y) {
                        const std::uint32_t c = grab.color_at(x, y);
                        if (c == back) continue;
                        ink = true;
                        const double k = contrast(c, back);
                        (lit ? s.lit_ink : s.unlit_ink) = std::max(lit ? s.lit_ink : s.unlit_ink, k);
                        (lit ? s.lit : s.unlit) = true;
                    }
                }
                if (!ink) return false;  // no value drawn yet
                const bool good = (!s.lit || s.lit_ink >= 4.5) && (!s.unlit || s.unlit_ink >= 4.5);
                all = all && good;
                report += " " + s.name + (s.lit ? " lit " + std::to_string(s.lit_ink) : "") +
                          (s.unlit ? " on the panel " + std::to_string(s.unlit_ink) : "") + ";";
                seen.push_back(s);
            }
            return all;
        },
        120000, 500);
    station_host::testing::count_colours(std::nullopt, "host_window_console_values.png", {});
    EXPECT_TRUE(readable) << "the digits' best contrast to their background:" << report << "\n" << host.output();

    station_host::testing::close_window(id, host);
}

}  // namespace
}  // namespace station_host

#endif
