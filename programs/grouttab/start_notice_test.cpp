// The report program started on a virtual X server beside no well folder,
// and with "-p" naming a well that is not there: its window says so in the
// lines it grows by under its buttons; beside the well it asked for, the
// window keeps its designed size and says nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/ui/canvas.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "programs/grouttab/testdata/stage_files.h"

namespace grouttab {
namespace {

namespace fs = std::filesystem;
using ui::testing::run_tool;

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
};

Box geometry(const std::string& window) {
    std::string out;
    Box b;
    if (run_tool({"xdotool", "getwindowgeometry", "--shell", window}, &out, 10000) != 0) return b;
    auto value = [&](const std::string& key) {
        const auto at = out.find(key + "=");
        return at == std::string::npos ? 0 : std::atoi(out.c_str() + at + key.size() + 1);
    };
    return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
}

// The program in a folder of its own, started with `argument`; the
// window's box once it shows, and the count of dark (text) pixels under its
// buttons, the window kept as test_output/<png>.
struct Seen {
    Box box;
    int dark_below_buttons = 0;
};
Seen start_and_look(const std::string& folder, const std::string& argument, const std::string& png) {
    Seen seen;
    const std::string program = folder + "/Grouttab";
    fs::copy_file(std::string(STATION_BINARY_DIR) + "/bin/Grouttab", program);
    fs::permissions(program, fs::perms::owner_all);
    os::Process p;
    os::SpawnOptions o;
    o.program = program;
    o.args = {argument};
    o.null_stdio = true;
    EXPECT_TRUE(p.start(o));
    struct Kill {
        os::Process& p;
        ~Kill() { p.kill(); }
    } kill{p};
    std::string id;
    // Only a hung program takes this long (the sanitizer build on a loaded machine is slow).
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            std::string out;
            if (run_tool({"xdotool", "search", "--onlyvisible", "--name", "Отчет по цементированию"}, &out, 10000) !=
                    0 ||
                out.empty())
                return false;
            id = out.substr(0, out.find('\n'));
            seen.box = geometry(id);
            return seen.box.height > 0;
        },
        180000, 100))
        << "the window did not show";
    if (id.empty()) return seen;
    // The window paints once it shows; its buttons' row ends 143 down.
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            ui::testing::ScreenGrab grab;
            if (!ui::testing::grab_screen(grab)) return false;
            const Box& b = seen.box;
            ui::TBitmap shot(b.width, b.height);
            int dark = 0, any_dark = 0;
            for (int y = 0; y < b.height && b.y + y < grab.height; ++y)
                for (int x = 0; x < b.width && b.x + x < grab.width; ++x) {
                    const std::uint32_t c = grab.color_at(b.x + x, b.y + y);
                    shot.Canvas().SetPixel(x, y, static_cast<ui::TColor>(c));
                    const bool is_dark = (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && ((c >> 16) & 0xFF) < 0x60;
                    any_dark += is_dark;
                    dark += is_dark && y > 150;
                }
            seen.dark_below_buttons = dark;
            const fs::path out = fs::path(STATION_BINARY_DIR) / "test_output";
            fs::create_directories(out);
            shot.SaveToFile((out / png).string());
            return any_dark > 100;  // the captions are drawn
        },
        60000, 200))
        << "the window was not painted";
    return seen;
}

TEST(GrouttabStart, TheWindowSaysWhatItDidNotFind) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    ASSERT_TRUE(fs::exists(std::string(STATION_BINARY_DIR) + "/bin/Grouttab")) << "Grouttab is not built";

    {  // No well folder beside the program.
        os::testing::TempDir folder;
        const Seen s = start_and_look(folder.path(), "-p7", "grouttab_start_no_well.png");
        EXPECT_GT(s.box.height, 150 + 2 * 15) << "the window did not grow by the notice's lines";
        EXPECT_GT(s.dark_below_buttons, 200) << "nothing is written under the buttons";
    }
    {  // The well asked for is there: nothing to say.
        os::testing::TempDir folder;
        testing::write_well(folder.path(), "7", "2");
        const Seen s = start_and_look(folder.path(), "-p7", "grouttab_start_well.png");
        EXPECT_EQ(s.box.height, 150);
        EXPECT_EQ(s.dark_below_buttons, 0);
    }
}

}  // namespace
}  // namespace grouttab
