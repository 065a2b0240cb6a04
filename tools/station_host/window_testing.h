#pragma once
// For the tests of station_host --window on a virtual X server: the
// children's sanitizer told of GTK's own allocations, the host's window
// found by its title, and the window's pixels counted by colour from a grab
// of the screen, the grab kept as a PNG for review.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/canvas.h"
#include "platform/ui/graphics.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"

namespace station_host::testing {

// The programs the test starts inherit it: their LeakSanitizer passes over
// GTK's process-lifetime allocations.
inline void suppress_gtk_leaks() {
    ::setenv(
        "LSAN_OPTIONS",
        (std::string("suppressions=") + STATION_SOURCE_DIR + "/platform/ui/testdata/lsan.supp:print_suppressions=0")
            .c_str(),
        1);
}

// The first visible window whose title holds `name`, waited for up to 20 s;
// empty when none came.
inline std::string window_named(const std::string& name) {
    std::string out;
    if (ui::testing::run_tool({"xdotool", "search", "--sync", "--onlyvisible", "--name", name}, &out, 120000) != 0)
        return "";
    return out.substr(0, out.find('\n'));
}

// The operator closes the host's window: the host ends by itself, with 0.
inline void close_window(const std::string& id, ChildProgram& host) {
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
    const auto code = host.finish(false);
    ASSERT_TRUE(code);
    const std::string output = host.output();
    // The leak checker of a sanitizer build stops every thread at the exit
    // to look at their stacks; its own tracer now and then fails under load
    // with the toolkit's threads still about, and it then ends the program
    // with 1 after the program's own work is done. That is the checker's
    // fault, not the program's: said, not failed.
    if (*code != 0 && output.find("LeakSanitizer has encountered a fatal error") != std::string::npos) {
        std::cerr << "note: the leak checker itself failed at the program's exit:\n" << output;
        return;
    }
    EXPECT_EQ(*code, 0) << output;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

inline bool geometry_of(const std::string& id, Geometry& g) {
    std::string out;
    if (ui::testing::run_tool({"xdotool", "getwindowgeometry", "--shell", id}, &out) != 0) return false;
    auto value = [&](const char* key) {
        const auto at = out.find(std::string(key) + "=");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + std::string(key).size() + 1));
    };
    g = {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
    return g.width > 0 && g.height > 0;
}

// How many pixels of the area (without one, of the whole screen) are of
// each colour asked for; the area is kept as test_output/screen/<png>.
// Pixels of the area off the screen count as none of the colours.
inline std::vector<int> count_colours(std::optional<Geometry> area, const std::string& png,
                                      const std::vector<ui::TColor>& colours) {
    std::vector<int> n(colours.size(), 0);
    ui::testing::ScreenGrab grab;
    std::string why;
    EXPECT_TRUE(ui::testing::grab_screen(grab, &why)) << why;
    if (grab.width == 0) return n;
    const Geometry g = area ? *area : Geometry{0, 0, grab.width, grab.height};
    ui::TBitmap shot(g.width, g.height);
    for (int y = std::max(0, -g.y); y < g.height && g.y + y < grab.height; ++y)
        for (int x = std::max(0, -g.x); x < g.width && g.x + x < grab.width; ++x) {
            const auto c = static_cast<ui::TColor>(grab.color_at(g.x + x, g.y + y));
            shot.Canvas().SetPixel(x, y, c);
            for (std::size_t k = 0; k < colours.size(); ++k) n[k] += c == colours[k];
        }
    const std::filesystem::path out = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "screen";
    std::filesystem::create_directories(out);
    shot.SaveToFile((out / png).string());
    return n;
}

}  // namespace station_host::testing
