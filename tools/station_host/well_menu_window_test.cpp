// The station host's window on a virtual X server, worked through the
// pointer and the keys as an operator works it: "Примечания" closes with
// Escape and with its button and stays above the main window after a click
// on it, with and without a window manager; the cementing settings opened
// from the monitor while the host records keep the programme's editing
// disabled.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/testing.h"
#include "platform/ui/testdata/screen_testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/operator_session_testing.h"
#include "tools/station_host/station_setup.h"
#include "tools/station_host/window_testing.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;
using namespace station_host::testing;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

// The top-level windows of the screen from the bottom-most to the top-most:
// a window manager names its clients in that order on the root window;
// without one they are the root's own children, which xwininfo lists the
// top-most first.
std::vector<unsigned long> stacking(bool managed) {
    std::string out;
    std::vector<unsigned long> ids;
    if (managed) {
        if (ui::testing::run_tool({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}, &out) != 0) return ids;
        for (auto at = out.find("0x"); at != std::string::npos; at = out.find("0x", at + 2))
            ids.push_back(std::stoul(out.substr(at), nullptr, 16));
        return ids;
    }
    if (ui::testing::run_tool({"xwininfo", "-root", "-children"}, &out) != 0) return ids;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto at = line.find("0x");
        if (at == std::string::npos || line.find("children") != std::string::npos ||
            line.find("Root window") != std::string::npos || line.find("Parent window") != std::string::npos)
            continue;
        ids.push_back(std::stoul(line.substr(at), nullptr, 16));
    }
    return {ids.rbegin(), ids.rend()};
}

// Whether window `upper` stands above window `lower` (xdotool's decimal ids).
bool above(const std::string& upper, const std::string& lower, bool managed) {
    const std::vector<unsigned long> order = stacking(managed);
    const auto u = std::find(order.begin(), order.end(), std::stoul(upper));
    const auto l = std::find(order.begin(), order.end(), std::stoul(lower));
    return u != order.end() && l != order.end() && u > l;
}

// The window has the keys (xdotool's decimal id).
bool focused(const std::string& id) {
    std::string out;
    ui::testing::run_tool({"xdotool", "getwindowfocus"}, &out);
    return out.substr(0, out.find('\n')) == id;
}

// The station host in its window on the simulator's line, recording trip 1
// from the start, its screen map in the folder; `extra` adds arguments.
struct HostOnScreen {
    HostOnScreen(const fs::path& root, const std::vector<std::string>& extra, const std::vector<std::string>& sim_args)
        : map((root / "map.txt").string()), sim(bin + "device_simulator", sim_args, true), op(map) {
        EXPECT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
        std::vector<std::string> args = {"--port",    sim.first_line().substr(6),
                                         "--well",    (root / "well").string(),
                                         "--station", (root / "station").string(),
                                         "--trip",    "1",
                                         "--seconds", "0",
                                         "--window"};
        args.insert(args.end(), extra.begin(), extra.end());
        ::setenv("STATION_HOST_SCREEN_MAP", map.c_str(), 1);
        host = std::make_unique<ChildProgram>(bin + "station_host", args);
        ::unsetenv("STATION_HOST_SCREEN_MAP");
    }

    std::string why() const { return "\nhost:\n" + host->output() + "\nscreen:\n" + op.map_text(); }

    // Opens the menu bar's `menu` and clicks its `entry` (a menu that did
    // not open is clicked again, as an operator does).
    void choose(const std::string& menu, const std::string& entry) const {
        const std::string missing = op.choose(menu, entry);
        ASSERT_TRUE(missing.empty()) << missing << why();
    }
    void press(const std::string& form, const std::string& caption) const {
        const auto b = op.wait_steady(control_captioned(form, caption));
        ASSERT_TRUE(b) << "no enabled \"" << caption << "\" in \"" << form << "\"" << why();
        op.click(b->box);
    }

    std::string map;
    ChildProgram sim;
    std::unique_ptr<ChildProgram> host;
    ScreenOperator op;
};

// "Примечания" opened from the menu: Escape closes it; opened again, a
// click on the main window beside it leaves it in front, and its button
// closes it.
void remarks_close_and_stay_in_front(bool managed) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    if (ui::testing::run_tool({"xwininfo", "-root"}) != 0) {
        if (os::testing::under_ci()) FAIL() << "xwininfo is not installed (scripts/setup.sh installs x11-utils)";
        GTEST_SKIP() << "xwininfo is not installed";
    }
    ui::testing::WindowManager wm;
    if (managed) ASSERT_TRUE(wm.start()) << "no window manager: " << wm.error();
    suppress_gtk_leaks();
    os::testing::TempDir dir;
    HostOnScreen s(dir.path(), {}, {"--pty", "--seconds", "600"});
    const std::string id = window_named("рейс 1");
    ASSERT_FALSE(id.empty()) << "no window" << s.why();
    const std::string form = "Примечания";

    // Escape closes it.
    ASSERT_NO_FATAL_FAILURE(s.choose("Скважина", form));
    ASSERT_TRUE(s.op.wait(form_named(form))) << s.why();
    const std::string first = window_named(form);
    ASSERT_FALSE(first.empty()) << s.why();
    // (A window manager gives it the keys a moment after it shows.)
    ASSERT_TRUE(os::testing::wait_until([&] { return focused(first); }, 20000, 50)) << "it never got the keys";
    s.op.key("Escape");
    EXPECT_TRUE(s.op.wait_gone(form_named(form))) << "Escape left \"" << form << "\" open" << s.why();

    // Opened again, then a click on the main window beside it: it stays in
    // front, and its button closes it.
    ASSERT_NO_FATAL_FAILURE(s.choose("Скважина", form));
    ASSERT_TRUE(s.op.wait(form_named(form))) << s.why();
    const std::string remarks = window_named(form);
    ASSERT_FALSE(remarks.empty()) << s.why();
    const auto main_box = s.op.wait_steady(window_of("рейс 1"));
    const auto remarks_box = s.op.wait_steady(window_of(form));
    ASSERT_TRUE(main_box && remarks_box) << s.why();
    EXPECT_TRUE(os::testing::wait_until([&] { return above(remarks, id, managed); }, 20000, 50))
        << "\"" << form << "\" opened behind the main window";
    // The main window's lower left corner lies outside the centred window.
    Box beside{main_box->box.x + 4, main_box->box.y + main_box->box.h - 8, 2, 2};
    ASSERT_FALSE(remarks_box->box.holds(beside.cx(), beside.cy()));
    s.op.click(beside);
    // The click has reached the main window once it has the keys.
    EXPECT_TRUE(os::testing::wait_until([&] { return focused(id); }, 20000, 50))
        << "the click did not reach the main window";
    // (The raises that follow the main window's reach the server a moment
    // after the focus.)
    EXPECT_TRUE(os::testing::wait_until([&] { return above(remarks, id, managed); }, 5000, 50))
        << "\"" << form << "\" went behind the main window after a click on it";
    ui::testing::save_screen_part(ui::Rect(0, 0, 1280, 1024),
                                  std::string("remarks_after_click_on_main") + (managed ? "_wm" : "_bare") + ".png");
    ASSERT_NO_FATAL_FAILURE(s.press(form, "Закрыть"));
    EXPECT_TRUE(s.op.wait_gone(form_named(form))) << "\"Закрыть\" left \"" << form << "\" open" << s.why();
    ASSERT_NO_FATAL_FAILURE(close_window(id, *s.host));
}

TEST(StationHostWellMenu, RemarksCloseByEscapeAndButtonAndStayInFrontWithoutAWindowManager) {
    remarks_close_and_stay_in_front(false);
}

TEST(StationHostWellMenu, RemarksCloseByEscapeAndButtonAndStayInFrontUnderAWindowManager) {
    remarks_close_and_stay_in_front(true);
}

#ifdef STATION_CEMENT_PLUGIN

TEST(StationHostWellMenu, CementProgrammeStaysUneditableWhileTheHostRecords) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    suppress_gtk_leaks();
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    prepare_cement_station((root / "station").string(), "101",
                           {{7, 0, 1800, 244.5f, 273}, {8, 1800, 2500, 215.9f, 215.9f}});
    fs::create_directories(root / "plugins");
    fs::copy_file(STATION_CEMENT_PLUGIN, root / "plugins" / "cement.so");
    std::ofstream(root / "job.txt") << "t pressure density temperature flow\n"
                                       "0 40 1.20 20 10\n"
                                       "60 90 1.80 30 12\n";
    HostOnScreen s(root, {"--plugins", (root / "plugins").string(), "--protocol", "СКЦ", "--depth", "2500"},
                   {"--device", "cement", "--pty", "--scenario", (root / "job.txt").string(), "--seconds", "600"});
    const std::string id = window_named("рейс 1");
    ASSERT_FALSE(id.empty()) << "no window" << s.why();

    // The monitor's page, its settings, the programme's page.
    const auto tab = s.op.wait_steady([](const MapEntry& e) {
        return e.kind == "tab" && e.fields[1] != "Диаграмма" && e.fields[1].find("емент") != std::string::npos;
    });
    ASSERT_TRUE(tab) << "no page of the cementing monitor" << s.why();
    s.op.click(tab->box);
    ASSERT_NO_FATAL_FAILURE(s.press("Станция", "Настройки"));
    const std::string form = "Настройки цементажа";
    ASSERT_TRUE(s.op.wait(form_named(form))) << "the settings did not open" << s.why();
    const auto page = s.op.wait_steady(
        [&](const MapEntry& e) { return tab_named("Программа")(e) && e.form().find(form) != std::string::npos; });
    ASSERT_TRUE(page) << "no page \"Программа\"" << s.why();
    s.op.click(page->box);
    ASSERT_TRUE(s.op.wait(control_named(form, "btnAddProgram"))) << "the programme's page is not shown" << s.why();
    ui::testing::save_screen_part(ui::Rect(0, 0, 1280, 1024), "cement_programme_while_recording.png");
    for (const char* name :
         {"btnAddProgram", "btnDelProgram", "btnRenameProgram", "btnDefaultProgram", "cbSelRastvor", "rgId"}) {
        const auto c = s.op.wait(control_named(form, name));
        ASSERT_TRUE(c) << "no " << name << s.why();
        EXPECT_EQ(c->tail, "0") << name << " is enabled while the host records";
    }
    // What stays editable while recording.
    const auto limit = s.op.wait(control_named(form, "edPmax"));
    ASSERT_TRUE(limit) << s.why();
    EXPECT_EQ(limit->tail, "1");
    ASSERT_NO_FATAL_FAILURE(s.press(form, "Отмена"));
    EXPECT_TRUE(s.op.wait_gone(form_named(form))) << s.why();
    ASSERT_NO_FATAL_FAILURE(close_window(id, *s.host));
}

#endif

}  // namespace
}  // namespace station_host
