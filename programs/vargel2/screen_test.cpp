// The program itself on a virtual X server, worked as an operator works it
// (xdotool): the selection window comes back where it was left, and the
// progress window's log reads on the screen. Grabs of both are kept in
// test_output/screen for review.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <thread>

#include "platform/os/process.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/canvas.h"
#include "platform/ui/testdata/screen_testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "programs/vargel2/testdata/trip_testing.h"

namespace vargel2 {
namespace {

using namespace testing;

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

// The bounds below only end a hung test: a sanitized program on a loaded
// machine may take many seconds to show its first window.
constexpr int kWaitMs = 120000;

// The first visible window whose title holds `name`.
std::string window_named(const std::string& name) {
    std::string out;
    if (ui::testing::run_tool({"xdotool", "search", "--sync", "--onlyvisible", "--name", name}, &out, kWaitMs) != 0)
        return "";
    return out.substr(0, out.find('\n'));
}

std::optional<Geometry> geometry_of(const std::string& id) {
    std::string out;
    if (ui::testing::run_tool({"xdotool", "getwindowgeometry", "--shell", id}, &out) != 0) return std::nullopt;
    auto value = [&](const char* key) {
        const auto at = out.find(std::string("\n") + key + "=");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + std::string(key).size() + 2));
    };
    Geometry g{value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
    if (g.width <= 0 || g.height <= 0) return std::nullopt;
    return g;
}

// Waits for the condition.
bool wait_for(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// WCAG's contrast ratio of two colours (0x00BBGGRR).
double contrast(ui::TColor a, ui::TColor b) {
    auto luminance = [](ui::TColor c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) + 0.0722 * channel((c >> 16) & 0xFF);
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class VargelScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ok_ = screen_.start();
        // The program's sanitizer passes over GTK's own allocations.
        ::setenv("LSAN_OPTIONS",
                 "suppressions=" STATION_SOURCE_DIR "/platform/ui/testdata/lsan.supp:print_suppressions=0", 1);
        std::filesystem::copy_file(STATION_BINARY_DIR "/bin/Vargel2", program.path() + "/Vargel2");
        ::chmod((program.path() + "/Vargel2").c_str(), 0755);
    }

    // Starts the program in the work folder.
    void start(os::Process& p, const std::vector<std::string>& args) {
        os::SpawnOptions o;
        o.program = program.path() + "/Vargel2";
        o.args = args;
        o.folder = work.path();
        o.null_stdio = true;
        ASSERT_TRUE(p.start(o));
    }

    // The window grabbed from the screen, kept as test_output/screen/<png>.
    ui::testing::ScreenGrab grab(const Geometry& g, const std::string& png) {
        ui::testing::ScreenGrab all, part;
        std::string why;
        EXPECT_TRUE(ui::testing::grab_screen(all, &why)) << why;
        if (all.width == 0) return part;
        part.width = g.width;
        part.height = g.height;
        part.rgb.assign(static_cast<std::size_t>(g.width) * g.height, 0);
        ui::TBitmap shot(g.width, g.height);
        for (int y = 0; y < g.height && g.y + y < all.height; ++y)
            for (int x = 0; x < g.width && g.x + x < all.width; ++x) {
                if (g.x + x < 0 || g.y + y < 0) continue;
                part.rgb[static_cast<std::size_t>(y) * g.width + x] = all.at(g.x + x, g.y + y);
                shot.Canvas().SetPixel(x, y, static_cast<ui::TColor>(all.color_at(g.x + x, g.y + y)));
            }
        const std::filesystem::path out = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "screen";
        std::filesystem::create_directories(out);
        shot.SaveToFile((out / png).string());
        return part;
    }

    // Clicks at the point of the window (its content's coordinates).
    static void click(const std::string& id, int x, int y) {
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "mousemove", "--window", id, std::to_string(x),
                                         std::to_string(y), "click", "1"}),
                  0);
    }
    static void keys(const std::vector<std::string>& names) {
        std::vector<std::string> argv = {"xdotool", "key", "--delay", "60"};
        argv.insert(argv.end(), names.begin(), names.end());
        ASSERT_EQ(ui::testing::run_tool(argv), 0);
    }

    ui::testing::VirtualScreen screen_;
    bool ok_ = false;
    os::testing::TempDir program;
    os::testing::TempDir work;
};

// The operator moves the selection window and closes it; the next start
// shows it there again, not centred.
TEST_F(VargelScreen, TheSelectionWindowComesBackWhereItWasLeft) {
    VIRTUAL_SCREEN_OR_SKIP(ok_, screen_.error());
    rtl::IniFile(program.path() + "/global.ini").WriteString("текущие_настройки", "скважина", "5");
    write_trip(program.path() + "/5/0003.realtim", 100000, 20);

    std::optional<Geometry> first;
    {
        os::Process p;
        os::testing::KillAtEnd end_p(p);
        ASSERT_NO_FATAL_FAILURE(start(p, {}));
        const std::string id = window_named("Передача данных системы Норкан-1");
        ASSERT_FALSE(id.empty()) << "no selection window";
        first = geometry_of(id);
        ASSERT_TRUE(first);
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowmove", "--sync", id, "60", "80"}), 0);
        ASSERT_TRUE(wait_for([&] {
            const auto g = geometry_of(id);
            return g && g->x == 60 && g->y == 80;
        }));
        grab(*geometry_of(id), "vargel2_selection_moved.png");
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
        const auto code = p.wait(kWaitMs);
        ASSERT_TRUE(code) << "the program did not end with its window";
        EXPECT_EQ(*code, 0);
    }
    // It was not where the operator put it.
    ASSERT_NE(first->x, 60);

    os::Process p;
    os::testing::KillAtEnd end_p(p);
    ASSERT_NO_FATAL_FAILURE(start(p, {}));
    const std::string id = window_named("Передача данных системы Норкан-1");
    ASSERT_FALSE(id.empty()) << "no selection window at the second start";
    ASSERT_TRUE(wait_for([&] { return geometry_of(id).has_value(); }));
    const Geometry again = *geometry_of(id);
    EXPECT_EQ(again.x, 60);
    EXPECT_EQ(again.y, 80);
    EXPECT_EQ(again.width, first->width);
    EXPECT_EQ(again.height, first->height);
    // The options are kept in the same file beside the place.
    EXPECT_TRUE(rtl::IniFile(program.path() + "/vargel2.ini").ValueExists("options", "compress_method"));
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
    EXPECT_TRUE(p.wait(kWaitMs));
}

// A run from the command line into a deep folder: the log reads on the
// screen, and the package's path shows whole, over more rows than the log
// has lines.
TEST_F(VargelScreen, TheProgressLogReadsOnTheScreen) {
    VIRTUAL_SCREEN_OR_SKIP(ok_, screen_.error());
    const std::string deep = "Скважина_5_куст_12/данные_за_март/рейсы_с_первого_по_десятый/передача_на_базу";
    write_trip(work / deep + "/0003.realtim", 100000, 20);
    os::Process p;
    os::testing::KillAtEnd end_p(p);
    ASSERT_NO_FATAL_FAILURE(start(p, {deep + "/0003.realtim"}));
    const std::string id = window_named("Упаковка данных");
    ASSERT_FALSE(id.empty()) << "no progress window";
    ASSERT_TRUE(wait_for([&] { return std::filesystem::exists(work / deep + "/0003.realtim.7z_reg"); }));
    const auto g = geometry_of(id);
    ASSERT_TRUE(g);
    // The log: at (8, 24), 408 by 240 in the window; its text area leaves
    // the scroll bar and the frame out. Its lines: the heading, "Сжимаю
    // файлы...", "Готово!", "Данные сжаты...", the path, the closing line.
    // A path cut off at the log's edge takes one row, so the ink would end
    // within six rows; wrapped, it goes on below them. The last lines come
    // after the package: the picture is taken until they are drawn.
    const int left = 8 + 3, top = 24 + 3, width = 408 - 16 - 6, height = 240 - 6;
    std::uint32_t background = 0;
    int first_row = -1, pitch = 0, last_row = -1;
    double best = 0;
    const bool wrapped = wait_for([&] {
        const ui::testing::ScreenGrab shot = grab(*g, "vargel2_progress_log.png");
        if (shot.width < left + width || shot.height < top + height) return false;
        background = shot.at(left + width - 2, top + height - 2);
        std::vector<bool> ink(height, false);
        best = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = shot.at(left + x, top + y);
                if (c == background) continue;
                ink[y] = true;
                auto bgr = [](std::uint32_t v) {
                    return static_cast<ui::TColor>(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
                };
                best = std::max(best, contrast(bgr(c), bgr(background)));
            }
        // The row pitch: from the first row's top to the second's.
        std::vector<int> tops;
        last_row = -1;
        for (int y = 0; y < height; ++y) {
            if (ink[y] && (y == 0 || !ink[y - 1])) tops.push_back(y);
            if (ink[y]) last_row = y;
        }
        if (tops.size() < 2) return false;
        first_row = tops[0];
        pitch = tops[1] - tops[0];
        return last_row > first_row + 6 * pitch;
    });
    EXPECT_TRUE(wrapped) << "the log's ink ends at row " << last_row << ", its rows begin at " << first_row << " every "
                         << pitch << " pixels: the path took a single row";
    EXPECT_GE(best, 7.0) << "the log's text against its background";
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
    const auto code = p.wait(kWaitMs);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
}

// Both "..." of "Настройка программы" open the desktop's folder chooser on
// their field's folder; the folder chosen there lands in the field and, at
// the program's end, in its options.
TEST_F(VargelScreen, EachFolderButtonOpensTheDesktopsChooser) {
    VIRTUAL_SCREEN_OR_SKIP(ok_, screen_.error());
    rtl::IniFile(program.path() + "/global.ini").WriteString("текущие_настройки", "скважина", "5");
    write_trip(program.path() + "/5/0003.realtim", 100000, 20);
    const std::string first = program.path() + "/пакеты";
    const std::string dest = program.path() + "/пакеты/на_базу";
    const std::string viewer = program.path() + "/Tolvane";
    std::filesystem::create_directories(dest);
    std::filesystem::create_directories(viewer);
    {
        rtl::IniFile ini(program.path() + "/vargel2.ini");
        ini.WriteString("options", "destination_path", first + "/");
        ini.WriteString("options", "tolvane_directory", "../нет_такой/");
    }

    os::Process p;
    os::testing::KillAtEnd end_p(p);
    ASSERT_NO_FATAL_FAILURE(start(p, {}));
    const std::string id = window_named("Передача данных системы Норкан-1");
    ASSERT_FALSE(id.empty()) << "no selection window";
    // "Данные" → "Настроить программу...".
    std::string options;
    ASSERT_TRUE(wait_for([&] {
        click(id, 24, 10);
        keys({"Down", "Down", "Return"});
        std::string out;
        ui::testing::run_tool({"xdotool", "search", "--onlyvisible", "--name", "Настройка программы"}, &out, 2000);
        options = out.substr(0, out.find('\n'));
        if (options.empty()) keys({"Escape", "Escape"});
        return !options.empty();
    })) << "the settings dialog did not open";

    struct Pick {
        int x, y;             // the button "..." in the dialog
        std::string chosen;   // the folder typed into the chooser
    };
    for (const Pick& pick : {Pick{379, 182, dest}, Pick{379, 230, viewer}}) {
        click(options, pick.x, pick.y);
        const std::string chooser = window_named("Обзор папок");
        ASSERT_FALSE(chooser.empty()) << "no folder chooser for the button at " << pick.x << "," << pick.y;
        grab(*geometry_of(chooser), "vargel2_folder_chooser.png");
        // GTK's location bar may take the first Return for its completion
        // of the typed folder on a slow machine, and a loaded X server may
        // mistype a letter typed through a remapped key (each Cyrillic
        // one): the chooser then waits for another Return, or for the
        // folder typed again, as it would for an operator.
        bool gone = false;
        for (int attempt = 0; attempt < 3 && !(gone = !geometry_of(chooser).has_value()); ++attempt) {
            ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowfocus", "--sync", chooser}), 0);
            keys({"ctrl+l", "ctrl+a"});
            ASSERT_EQ(ui::testing::run_tool({"xdotool", "type", "--delay", "40", pick.chosen}), 0);
            for (int enter = 0; enter < 2 && !gone; ++enter) {
                keys({"Return"});
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!(gone = !geometry_of(chooser).has_value()) && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (!gone && ui::testing::run_tool({"xdotool", "windowfocus", "--sync", chooser}) != 0) break;
            }
        }
        ASSERT_TRUE(gone || wait_for([&] { return !geometry_of(chooser).has_value(); })) << "the chooser stayed";
    }
    grab(*geometry_of(options), "vargel2_options_chosen.png");
    click(options, 258, 275);  // OK
    ASSERT_TRUE(wait_for([&] { return !geometry_of(options).has_value(); })) << "the dialog stayed";
    ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
    const auto code = p.wait(kWaitMs);
    ASSERT_TRUE(code) << "the program did not end with its window";
    EXPECT_EQ(*code, 0);
    rtl::IniFile ini(program.path() + "/vargel2.ini");
    EXPECT_EQ(ini.ReadString("options", "destination_path", ""), dest + "/");
    EXPECT_EQ(ini.ReadString("options", "tolvane_directory", ""), viewer + "/");
}

// Under a window manager and without one, the selection window comes back
// where it was closed, start after start: the place saved is the one
// restored, not the frame's corner taken for the content's.
TEST_F(VargelScreen, TheSelectionWindowStaysPutOverRestarts) {
    VIRTUAL_SCREEN_OR_SKIP(ok_, screen_.error());
    rtl::IniFile(program.path() + "/global.ini").WriteString("текущие_настройки", "скважина", "5");
    write_trip(program.path() + "/5/0003.realtim", 100000, 20);
    for (const bool managed : {false, true}) {
        SCOPED_TRACE(managed ? "under openbox" : "without a window manager");
        ui::testing::WindowManager wm;
        if (managed) {
            ASSERT_TRUE(wm.start()) << wm.error();
        }
        std::filesystem::remove(program.path() + "/vargel2.ini");
        std::vector<std::string> places;
        for (int run = 0; run < 4; ++run) {
            os::Process p;
            os::testing::KillAtEnd end_p(p);
            ASSERT_NO_FATAL_FAILURE(start(p, {}));
            const std::string id = window_named("Передача данных системы Норкан-1");
            ASSERT_FALSE(id.empty()) << "no selection window at start " << run + 1;
            std::optional<Geometry> g;
            ASSERT_TRUE(wait_for([&] { return (g = geometry_of(id)).has_value(); }));
            // The first start puts it somewhere of the operator's choosing.
            if (run == 0) {
                ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowmove", "--sync", id, "61", "100"}), 0);
                g = geometry_of(id);
                ASSERT_TRUE(g);
            }
            places.push_back(std::to_string(g->x) + "," + std::to_string(g->y) + " " + std::to_string(g->width) +
                             "x" + std::to_string(g->height));
            ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
            const auto code = p.wait(kWaitMs);
            ASSERT_TRUE(code) << "the program did not end with its window";
        }
        for (std::size_t i = 1; i < places.size(); ++i)
            EXPECT_EQ(places[i], places[0]) << "start " << i + 1 << " of " << places.size();
    }
}

}  // namespace
}  // namespace vargel2
