// One operator's session on the real screen, end to end: the station host
// program in its window with both plug-ins, on the simulated
// cementing-control station, worked only through the X server (xdotool's
// pointer and keys) as an operator works it. The recording starts and
// grows; each window of "Скважина" is opened, a value edited in it with the
// mouse and Enter/Tab and confirmed; a console option is changed through
// its drop-down; a cementing stage is run from the monitor's buttons to its
// report, shown in a Calc window, which the operator then quits; the
// stage's end has stopped the recording, and the program is left through
// its menu. What the session leaves is checked: the trips' records, the
// programme and the report, what each window stored, the exit status, no
// process left dead or running, no lock file.
//
// The host says where its windows lie through its screen map
// (STATION_HOST_SCREEN_MAP); the test only reads it to aim the pointer.

#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/InstrPipes/testdata/instr_testing.h"
#include "gti/registr_old/depth_calc.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/testdata/screen_testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_files.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/operator_session_testing.h"
#include "tools/station_host/station_setup.h"
#include "tools/station_host/trip_files.h"
#include "tools/station_host/window_testing.h"

#if defined(STATION_CEMENT_PLUGIN) && defined(STATION_PULT_PLUGIN)

namespace station_host {
namespace {

namespace fs = std::filesystem;
using station_host::testing::Box;
using station_host::testing::MapEntry;
using station_host::testing::ScreenOperator;
using namespace station_host::testing;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

std::string text_of(const fs::path& p) {
    std::string bytes;
    if (os::read_file(p.string(), bytes) != 0) return {};
    return rtl::cp1251_to_utf8(bytes);
}

// Whether the file (Windows-1251 on disk) holds the text.
bool file_holds(const fs::path& p, const std::string& part) { return text_of(p).find(part) != std::string::npos; }

using os::testing::dead_children_of;
using os::testing::ProcessInfo;
using os::testing::processes;

// The processes whose command line holds `part` (the session's folder: its
// programs and the office with its profile there).
std::vector<ProcessInfo> processes_with(const std::string& part) {
    std::vector<ProcessInfo> found;
    for (const auto& p : processes())
        if (p.command.find(part) != std::string::npos) found.push_back(p);
    return found;
}

std::uintmax_t size_of(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

// The file grows `times` times, each within the bound.
bool grows(const fs::path& p, int times) {
    std::uintmax_t size = size_of(p);
    for (int i = 0; i < times; ++i)
        if (!os::testing::wait_until(
                [&] {
                    const auto now = size_of(p);
                    if (now <= size) return false;
                    size = now;
                    return true;
                },
                30000, 100))
            return false;
    return true;
}

void grab(const std::string& name) {
    std::string why;
    EXPECT_TRUE(ui::testing::save_screen_part(ui::Rect(0, 0, 1280, 1024), "operator_session_" + name + ".png", &why))
        << why;
}

// How long each step of the session took, told on the test's output: a
// session that comes near its time bound shows where the time went.
class StepTime {
public:
    explicit StepTime(std::string name) : name_(std::move(name)) {}
    ~StepTime() {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
        std::cerr << "step " << name_ << ": " << ms << " ms\n";
    }

private:
    using Clock = std::chrono::steady_clock;
    std::string name_;
    Clock::time_point start_ = Clock::now();
};

// The depth sensor's calibration rows as the station's settings keep them.
std::vector<std::array<std::string, 3>> calibration_in(const std::string& ini) {
    calc::DepthCalc calibration("DepthCalc");
    calibration.lib::IniSerialData::load(ini);
    return calibration.get_rows();
}

TEST(OperatorSession, RecordsEditsRunsAStageToItsReportAndQuits) {
#if !defined(STATION_GROUTTAB)
    if (os::testing::under_ci()) FAIL() << "Grouttab is not built (the office's SDK is missing)";
    GTEST_SKIP() << "Grouttab is not built";
#else
    if (!os::file_exists(std::string(STATION_OFFICE_PROGRAM_DIR) + "/soffice.bin")) {
        if (os::testing::under_ci()) FAIL() << "LibreOffice is not installed (scripts/setup.sh installs it)";
        GTEST_SKIP() << "LibreOffice is not installed";
    }
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    ui::testing::WindowManager wm;
    ASSERT_TRUE(wm.start()) << "no window manager: " << wm.error();
    // Where a window stands is read with xwininfo.
    if (ui::testing::run_tool({"xwininfo", "-root"}) != 0) {
        if (os::testing::under_ci()) FAIL() << "xwininfo is not installed (scripts/setup.sh installs x11-utils)";
        GTEST_SKIP() << "xwininfo is not installed";
    }

    // The program folder, as installed: the host, its plug-ins, the report
    // program and its template; it is the station folder too, where the
    // report program finds the wells.
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    const fs::path station = root / "station", well = root / "well", runtime = root / "runtime";
    prepare_cement_station(station.string(), "101", {{7, 0, 1800, 244.5f, 273}, {8, 1800, 2500, 215.9f, 215.9f}});
    // The well's folder as a station has it: the report program offers
    // only wells with their "inpgti.ini".
    std::ofstream(station / "101" / "inpgti.ini") << "[Main]\n";
    {
        // The drill string as measured on the rig: the bit and 40 stands.
        rtl::IniFile settings((station / settings_file).string());
        instr::Items string;
        instr::testing::put_short_string(string);
        string.lib::IniSerialData::save(&settings);
    }
    fs::create_directories(station / "plugins");
    fs::create_directories(station / "params" / "cement");
    fs::copy_file(bin + "station_host", station / "station_host");
    fs::copy_file(STATION_GROUTTAB, station / "Grouttab");
    fs::copy_file(STATION_CEMENT_PLUGIN, station / "plugins" / "cement.so");
    fs::copy_file(STATION_PULT_PLUGIN, station / "plugins" / "pult.so");
    fs::copy_file(std::string(STATION_SOURCE_DIR) + "/programs/grouttab/params/cement/report_new.xls",
                  station / "params" / "cement" / "report_new.xls");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    std::ofstream(root / "job.txt") << "t pressure density temperature flow\n"
                                       "0 40 1.20 20 10\n"
                                       "60 90 1.80 30 12\n"
                                       "120 60 1.30 25 10\n";

    // The office's profile lies in the session's folder: its processes are
    // found (and ended at the last) by it.
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string suppressions = (runtime / "lsan.supp").string();
    os::testing::write_bytes(
        suppressions,
        os::testing::read_bytes(std::string(STATION_SOURCE_DIR) + "/platform/ui/testdata/lsan.supp") +
            os::testing::read_bytes(std::string(STATION_SOURCE_DIR) + "/programs/grouttab/testdata/lsan.supp"));
    ::setenv("LSAN_OPTIONS", ("suppressions=" + suppressions + ":print_suppressions=0").c_str(), 1);
    const std::string map_path = (root / "screen.map").string();
    ::setenv("STATION_HOST_SCREEN_MAP", map_path.c_str(), 1);
    ::setenv("STATION_HOST_STATE_SAVE_SECONDS", "2", 1);
    struct Cleanup {
        std::string root;
        ~Cleanup() {
            for (const char* v :
                 {"XDG_RUNTIME_DIR", "LSAN_OPTIONS", "STATION_HOST_SCREEN_MAP", "STATION_HOST_STATE_SAVE_SECONDS"})
                ::unsetenv(v);
            // Whatever the session started and left: the report program,
            // the office, a host that hung.
            for (int round = 0; round < 50; ++round) {
                const auto left = processes_with(root);
                if (left.empty()) break;
                for (const auto& p : left) ::kill(p.pid, SIGKILL);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    } cleanup{root.string()};

    // The session lasts minutes: the programs' output is read all along
    // (a host whose output nobody reads would stop at its next line).
    const int session_ms = 900000;
    ChildProgram sim(bin + "device_simulator",
                     {"--device", "cement", "--pty", "--scenario", (root / "job.txt").string(), "--seconds", "900"},
                     true, session_ms);
    ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
    ChildProgram host((station / "station_host").string(),
                      {"--port", sim.first_line().substr(6), "--well", well.string(), "--station", station.string(),
                       "--trip", "1", "--seconds", "0", "--protocol", "СКЦ", "--depth", "2500", "--window"},
                      false, session_ms);
    const ScreenOperator op(map_path);
    const std::string ini = (station / settings_file).string();
    int console_choice = -1;  // the gas indicator's source the operator chose
    auto window_list = [&] {
        std::string list;
        for (const MapEntry& e : op.map())
            if (e.kind == "form") list += "\"" + e.form() + "\" ";
        return list;
    };
    auto why = [&] { return "\nhost:\n" + host.output() + "\nscreen:\n" + op.map_text(); };

    // The window manager places a window (its frame first comes up
    // elsewhere) and the program learns the place from the X server a moment
    // later: the operator aims only once the program has the window exactly
    // where it stands, else a click meant for a cell or a menu lands on what
    // the stale place puts there.
    auto stands_where_mapped = [&](const std::string& title, const std::string& id) {
        Box at;
        std::optional<MapEntry> w;
        ASSERT_TRUE(os::testing::wait_until(
            [&] {
                w = op.wait(window_of(title), 1000);
                return w && screen_area_of(id, at) && at.x == w->box.x && at.y == w->box.y && at.w == w->box.w &&
                       at.h == w->box.h;
            },
            30000, 50))
            << "\"" << title << "\" stands at " << at.x << "," << at.y << " " << at.w << "x" << at.h
            << ", the program has it at "
            << (w ? std::to_string(w->box.x) + "," + std::to_string(w->box.y) + " " + std::to_string(w->box.w) +
                        "x" + std::to_string(w->box.h)
                  : std::string("(nowhere)"))
            << why();
    };

    // ---- the recording starts and grows ----
    {
        SCOPED_TRACE("step: the recording starts");
        const StepTime timing("the recording starts");
        ASSERT_TRUE(op.wait(form_named("Станция — рейс 1"), 30000)) << "no main window" << why();
        ASSERT_TRUE(grows(well / "0001.realtim", 1)) << "the time file does not grow" << why();
        // The operator starts once the window stands with the keys.
        const std::string id = window_named("Станция — рейс 1");
        ASSERT_FALSE(id.empty()) << why();
        std::string active;
        EXPECT_TRUE(os::testing::wait_until(
            [&] {
                ui::testing::run_tool({"xdotool", "getactivewindow"}, &active);
                return active.substr(0, active.find('\n')) == id;
            },
            20000, 50))
            << "the main window never got the keys" << why();
        ASSERT_NO_FATAL_FAILURE(stands_where_mapped("Станция — рейс 1", id));
        grab("recording");
    }

    // Opens the menu bar's `menu` and clicks its item `entry`. A menu that
    // did not open is clicked again, as an operator does: under load the
    // window manager may still be giving the window the pointer.
    auto choose = [&](const std::string& menu, const std::string& entry) {
        const auto bar = op.wait(item_named(menu));
        ASSERT_TRUE(bar) << "no menu \"" << menu << "\"" << why();
        const auto in_menu = [&](const MapEntry& e) {
            return item_named(entry)(e) && e.box.y >= bar->box.y + bar->box.h;
        };
        std::optional<MapEntry> item;
        for (int attempt = 0; attempt < 3 && !item; ++attempt) {
            op.click(bar->box);
            item = op.wait(in_menu, 5000);
        }
        ASSERT_TRUE(item) << "no enabled item \"" << entry << "\" in \"" << menu << "\"" << why();
        op.click(item->box);
    };
    auto click_control = [&](const std::string& form, const std::string& caption) {
        const auto b = op.wait_steady(control_captioned(form, caption));
        ASSERT_TRUE(b) << "no enabled \"" << caption << "\" in \"" << form << "\"" << why();
        op.click(b->box);
    };
    // The window is up as the operator sees it: on the screen, with the
    // keys (the window manager maps and focuses it a moment after the
    // program shows it; a click or a key sent before lands elsewhere).
    auto opened = [&](const std::string& title) {
        ASSERT_TRUE(op.wait(form_named(title))) << "\"" << title << "\" did not open" << why();
        const std::string id = window_named("^ *" + title + " *$");
        ASSERT_FALSE(id.empty()) << "no window \"" << title << "\" on the screen" << why();
        std::string active;
        EXPECT_TRUE(os::testing::wait_until(
            [&] {
                ui::testing::run_tool({"xdotool", "getactivewindow"}, &active);
                return active.substr(0, active.find('\n')) == id;
            },
            20000, 50))
            << "\"" << title << "\" never got the keys" << why();
        ASSERT_NO_FATAL_FAILURE(stands_where_mapped(title, id));
    };
    auto window_goes = [&](const std::string& form) {
        EXPECT_TRUE(op.wait_gone(form_named(form)))
            << "\"" << form << "\" stays open; windows: " << window_list() << why();
    };
    // The row of the grid whose cell in column `col` reads `text`.
    auto row_of = [&](const std::string& form, const std::string& grid, int col, const std::string& text) {
        const auto c = op.wait([&](const MapEntry& e) {
            return e.kind == "cell" && e.form().find(form) != std::string::npos && e.fields[1] == grid &&
                   e.fields[2] == std::to_string(col) && e.tail == text;
        });
        EXPECT_TRUE(c) << "no row \"" << text << "\" in \"" << form << "\"" << why();
        return c ? std::stoi(c->fields[3]) : -1;
    };
    // A left click that did not put the keys on the cell is made again (the
    // window may not have had the pointer yet); a second click on the
    // current cell only opens its editor.
    auto click_cell = [&](const std::string& form, const std::string& grid, int col, int row, int button = 1) {
        const auto c = op.wait_steady(cell_of(form, grid, col, row));
        ASSERT_TRUE(c) << "no cell " << col << "," << row << " in \"" << form << "\"" << why();
        op.click(c->box, button);
        for (int attempt = 1; button == 1 && attempt < 3 && !op.wait(current_of(form, grid, col, row), 3000);
             ++attempt) {
            // Aimed again from a fresh map, with where the window stands told.
            Box at;
            screen_area_of(window_named("^ *" + form + " *$"), at);
            const auto w = op.wait(window_of(form), 1000);
            std::string pointer;
            ui::testing::run_tool({"xdotool", "getmouselocation"}, &pointer);
            std::cerr << "cell " << col << "," << row << " of \"" << form << "\" not taken by click " << attempt
                      << ": the window stands at " << at.x << "," << at.y << ", the program has it at "
                      << (w ? w->box.x : -1) << "," << (w ? w->box.y : -1) << "; pointer " << pointer << "\n"
                      << op.map_text();
            const auto again = op.wait_steady(cell_of(form, grid, col, row));
            ASSERT_TRUE(again) << "no cell " << col << "," << row << " in \"" << form << "\"" << why();
            op.click(again->box, button);
        }
    };
    auto cell_text = [&](const std::string& form, const std::string& grid, int col, int row) {
        const auto c = op.wait(cell_of(form, grid, col, row), 1000);
        return c ? c->tail : std::string("(no cell)");
    };
    // The operator types once the keys are on the cell (the click or the
    // Tab before has put them there); the cell takes each letter as it comes.
    // A grid whose editor stays up puts the caret where the click was: the
    // operator then selects the cell's text to type over it.
    auto type_into = [&](const std::string& form, const std::string& grid, int col, int row, const std::string& text,
                         bool select_all = false) {
        ASSERT_TRUE(op.wait(current_of(form, grid, col, row), 10000))
            << "the keys are not on cell " << col << "," << row << " of \"" << form << "\"" << why();
        if (select_all) {
            ASSERT_TRUE(op.wait(current_of(form, grid, col, row, true), 10000)) << "no editor on the cell" << why();
            op.key("ctrl+a");
        }
        op.type(text);
        EXPECT_TRUE(
            op.wait([&](const MapEntry& e) { return cell_of(form, grid, col, row)(e) && e.tail == text; }, 10000))
            << "typed \"" << text << "\", the cell reads \"" << cell_text(form, grid, col, row) << "\"" << why();
    };
    // Enter ends the cell's edit and the window stays, the text taken.
    auto enter_keeps = [&](const std::string& form, const std::string& grid, int col, int row,
                           const std::string& text) {
        op.key("Return");
        EXPECT_TRUE(op.wait(form_named(form), 1000)) << "Enter closed the window";
        EXPECT_EQ(cell_text(form, grid, col, row), text);
    };

    // ---- "Скважина": each window, a value edited and confirmed ----
    {
        SCOPED_TRACE("step: Конструкция скважины");
        const StepTime timing("Конструкция скважины");
        const std::string form = "Конструкция скважины";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", form));
        ASSERT_NO_FATAL_FAILURE(opened(form));
        const int row = row_of(form, "Grid", 1, "Голый ствол");
        ASSERT_GT(row, 0);
        // The open hole's bore: typed over, Enter ends the cell's edit.
        ASSERT_NO_FATAL_FAILURE(click_cell(form, "Grid", 4, row));
        ASSERT_NO_FATAL_FAILURE(type_into(form, "Grid", 4, row, "220,5"));
        enter_keeps(form, "Grid", 4, row, "220,5");
        grab("construction");
        ASSERT_NO_FATAL_FAILURE(click_control(form, "OK"));
        window_goes(form);
        EXPECT_TRUE(os::testing::wait_until([&] { return file_holds(ini, "220,5"); }, 20000, 100))
            << "the bore did not reach " << ini << ":\n"
            << text_of(ini);
    }
    {
        SCOPED_TRACE("step: Калибровка датчика глубины");
        const StepTime timing("Калибровка датчика глубины");
        const std::string form = "Калибровка датчика глубины";
        auto expected = calibration_in(ini);
        ASSERT_EQ(expected.size(), 3u);
        expected[0][2] = "137,0";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", form));
        ASSERT_NO_FATAL_FAILURE(opened(form));
        // The pulses per metre of the first interval.
        ASSERT_NO_FATAL_FAILURE(click_cell(form, "Grid", 2, 1));
        ASSERT_NO_FATAL_FAILURE(type_into(form, "Grid", 2, 1, "137"));
        enter_keeps(form, "Grid", 2, 1, "137");
        grab("depth_calibration");
        ASSERT_NO_FATAL_FAILURE(click_control(form, "OK"));
        window_goes(form);
        // That interval's coefficient and nothing else.
        EXPECT_TRUE(os::testing::wait_until([&] { return calibration_in(ini) == expected; }, 20000, 100))
            << "the calibration kept is not the one typed: " << ::testing::PrintToString(calibration_in(ini))
            << ", not " << ::testing::PrintToString(expected);
    }
    {
        SCOPED_TRACE("step: Пределы сигнализации");
        const StepTime timing("Пределы сигнализации");
        const std::string form = "Пределы сигнализации";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", form));
        ASSERT_NO_FATAL_FAILURE(opened(form));
        // The first parameter's limits, typed with Tab between them.
        ASSERT_NO_FATAL_FAILURE(click_cell(form, "Grid", 1, 1));
        ASSERT_NO_FATAL_FAILURE(type_into(form, "Grid", 1, 1, "7,25"));
        op.key("Tab");
        ASSERT_NO_FATAL_FAILURE(type_into(form, "Grid", 2, 1, "93,75"));
        enter_keeps(form, "Grid", 2, 1, "93,75");
        grab("alarm_limits");
        ASSERT_NO_FATAL_FAILURE(click_control(form, "OK"));
        window_goes(form);
        EXPECT_TRUE(
            os::testing::wait_until([&] { return file_holds(ini, "7,25") && file_holds(ini, "93,75"); }, 20000, 100))
            << "the limits did not reach " << ini << ":\n"
            << text_of(ini);
    }
    {
        SCOPED_TRACE("step: Журнал событий");
        const StepTime timing("Журнал событий");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Журнал событий"));
        ASSERT_NO_FATAL_FAILURE(opened("Журнал событий"));
        grab("event_log");
        ASSERT_NO_FATAL_FAILURE(click_control("Журнал событий", "Закрыть"));
        window_goes("Журнал событий");
    }
    {
        SCOPED_TRACE("step: Примечания");
        const StepTime timing("Примечания");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Примечания"));
        ASSERT_NO_FATAL_FAILURE(opened("Примечания"));
        grab("remarks");
        const std::string id = window_named("Примечания");
        ASSERT_FALSE(id.empty());
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "windowclose", id}), 0);
        window_goes("Примечания");
    }
    {
        SCOPED_TRACE("step: Сведения о рейсе");
        const StepTime timing("Сведения о рейсе");
        const std::string form = "Сведения о рейсе";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", form));
        ASSERT_NO_FATAL_FAILURE(opened(form));
        const int row = row_of(form, "Grid", 1, "Операторы");
        ASSERT_GT(row, 0);
        ASSERT_NO_FATAL_FAILURE(click_cell(form, "Grid", 3, row));
        ASSERT_NO_FATAL_FAILURE(type_into(form, "Grid", 3, row, "Petrov"));
        enter_keeps(form, "Grid", 3, row, "Petrov");
        grab("race_info");
        ASSERT_NO_FATAL_FAILURE(click_control(form, "OK"));
        window_goes(form);
        // The trip's information is the hub's state, kept in "sys.bin".
        EXPECT_TRUE(os::testing::wait_until([&] { return file_holds(well / "sys.bin", "Petrov"); }, 20000, 100))
            << "the operator's name did not reach " << (well / "sys.bin");
    }
    {
        SCOPED_TRACE("step: Промер инструмента");
        const StepTime timing("Промер инструмента");
        const std::string form = "Промер инструмента";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Промер инструмента..."));
        ASSERT_NO_FATAL_FAILURE(opened(form));
        // The measured string: the bit and 40 stands.
        ASSERT_TRUE(op.wait([&](const MapEntry& e) { return cell_of(form, "grdInstr", 1, 2)(e) && e.tail == "40"; }))
            << "the station's drill string is not shown" << why();
        // An element added from the grid's context menu, its count and its
        // length typed with Tab between them.
        ASSERT_NO_FATAL_FAILURE(click_cell(form, "grdInstr", 1, 2, 3));
        const auto add = op.wait(
            [&](const MapEntry& e) { return item_named("Добавить")(e) && e.form().find(form) != std::string::npos; });
        ASSERT_TRUE(add) << "the grid's context menu did not open" << why();
        op.click(add->box);
        ASSERT_TRUE(op.wait(cell_of(form, "grdInstr", 1, 3))) << "\"Добавить\" added no element" << why();
        ASSERT_NO_FATAL_FAILURE(click_cell(form, "grdInstr", 1, 3));
        ASSERT_NO_FATAL_FAILURE(type_into(form, "grdInstr", 1, 3, "12", true));
        op.key("Tab");
        ASSERT_NO_FATAL_FAILURE(type_into(form, "grdInstr", 2, 3, "9,5"));
        enter_keeps(form, "grdInstr", 2, 3, "9,5");
        grab("drill_string");
        ASSERT_NO_FATAL_FAILURE(click_control(form, "OK"));
        window_goes(form);
    }
    {
        // A picture of what the hub holds: nothing in it is edited.
        SCOPED_TRACE("step: Скважина с инструментом");
        const StepTime timing("Скважина с инструментом");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Скважина с инструментом..."));
        ASSERT_NO_FATAL_FAILURE(opened("Скважина"));
        grab("well_picture");
        ASSERT_NO_FATAL_FAILURE(click_control("Скважина", "Закрыть"));
        window_goes("Скважина");
    }

    // ---- the console's options: the gas indicator's source ----
    {
        SCOPED_TRACE("step: the console's options");
        const StepTime timing("the console's options");
        ASSERT_NO_FATAL_FAILURE(choose("Настройки", "Пульт бурильщика"));
        const std::string dialog = "Настройки пульта бурильщика";
        ASSERT_NO_FATAL_FAILURE(opened(dialog));
        // The drop-down right of its label "Газ".
        const auto label = op.wait(control_captioned(dialog, "Газ", false));
        ASSERT_TRUE(label) << why();
        const auto combo = op.wait([&](const MapEntry& e) {
            return e.kind == "control" && e.form().find(dialog) != std::string::npos &&
                   e.fields[1].rfind("TComboBox", 0) == 0 && e.box.x > label->box.x &&
                   e.box.holds(e.box.x, label->box.cy());
        });
        ASSERT_TRUE(combo) << "no drop-down beside \"Газ\"" << why();
        const std::string before = combo->fields[2];
        op.click(combo->box);
        // Another source than the one shown, hydrogen where there is one.
        const auto choice = op.wait([&](const MapEntry& e) {
            return e.kind == "list" && e.form().find(dialog) != std::string::npos && e.fields[3] != before &&
                   (e.fields[3].find("Водород") != std::string::npos || e.fields[2] == "1" || e.fields[2] == "0");
        });
        ASSERT_TRUE(choice) << "the drop-down did not open" << why();
        const std::string chosen = choice->fields[3];
        op.click(choice->box);
        EXPECT_TRUE(op.wait(
            [&](const MapEntry& e) {
                return e.kind == "control" && e.box.x == combo->box.x && e.box.y == combo->box.y &&
                       e.fields[2] == chosen;
            },
            5000))
            << "the click on \"" << chosen << "\" was not taken" << why();
        grab("console_options");
        ASSERT_NO_FATAL_FAILURE(click_control(dialog, "OK"));
        window_goes(dialog);
        console_choice = std::stoi(choice->fields[2]);
    }

    // ---- the cementing stage, from the monitor ----
    {
        SCOPED_TRACE("step: the cementing stage");
        const StepTime timing("the cementing stage");
        const auto tab = op.wait([](const MapEntry& e) {
            return e.kind == "tab" && e.fields[1] != "Диаграмма" && e.fields[1].find("емент") != std::string::npos;
        });
        ASSERT_TRUE(tab) << "no page of the cementing monitor" << why();
        op.click(tab->box);
        auto next_button = [&](const std::string& caption) {
            return op.wait([&](const MapEntry& e) {
                return control_named("Станция", "btnNextProgram")(e) && e.fields[2] == caption && e.tail == "1";
            });
        };
        auto element = [&] {
            const auto e = op.wait(control_named("Станция", "tiCurrentProgram"), 5000);
            return e ? e->fields[2] : std::string();
        };
        // Start: a new trip for the stage; each element runs a few seconds
        // of the station's values before the next.
        const auto start = next_button("Начать программу");
        ASSERT_TRUE(start) << "\"Начать программу\" is not offered" << why();
        grab("monitor");
        op.click(start->box);
        ASSERT_TRUE(op.wait(form_named("Станция — рейс 2"))) << "the stage's trip did not start" << why();
        for (const char* caption : {"Следующий этап", "Следующий этап", "Завершить этап"}) {
            const auto b = next_button(caption);
            ASSERT_TRUE(b) << "\"" << caption << "\" is not offered" << why();
            const std::string running = element();
            EXPECT_FALSE(running.empty()) << "no element shown as running";
            ASSERT_TRUE(grows(well / "0002.realtim", 1)) << "the stage's records do not grow" << why();
            op.click(b->box);
            if (std::string(caption) != "Завершить этап") {
                EXPECT_TRUE(os::testing::wait_until([&] { return element() != running; }, 20000, 100))
                    << "the element \"" << running << "\" stays after \"" << caption << "\"";
            }
        }
        EXPECT_TRUE(op.wait(form_named("(запись остановлена)"))) << "the finished stage left the recording on" << why();
        grab("stage_finished");
    }

    // ---- the report, shown in Calc ----
    {
        SCOPED_TRACE("step: the report");
        const StepTime timing("the report");
        ASSERT_NO_FATAL_FAILURE(click_control("Станция", "Отчет"));
        std::string form;
        ASSERT_TRUE(os::testing::wait_until([&] { return !(form = window_named("Отчет по цементированию")).empty(); },
                                            60000, 200))
            << "Grouttab's window did not appear" << why();
        const auto grouttab = processes_with((station / "Grouttab").string());
        ASSERT_EQ(grouttab.size(), 1u) << "Grouttab is not running from the program folder";
        // A button of Grouttab's window, clicked once the window stands
        // still in front with the keys (its place settles over a few of the
        // window manager's moves).
        auto click_grouttab = [&](int x, int y) {
            Geometry was, now;
            std::string active;
            using Clock = std::chrono::steady_clock;
            Clock::time_point since = Clock::now();
            EXPECT_TRUE(os::testing::wait_until(
                [&] {
                    ui::testing::run_tool({"xdotool", "windowactivate", form});
                    if (!geometry_of(form, now)) return false;
                    if (now.x != was.x || now.y != was.y || now.width != was.width || now.height != was.height) {
                        was = now;
                        since = Clock::now();
                        return false;
                    }
                    ui::testing::run_tool({"xdotool", "getactivewindow"}, &active);
                    return active.substr(0, active.find('\n')) == form &&
                           Clock::now() - since >= std::chrono::milliseconds(600);
                },
                30000, 100))
                << "Grouttab's window never settled with the keys";
            ASSERT_EQ(
                ui::testing::run_tool({"xdotool", "mousemove", "--window", form, std::to_string(x), std::to_string(y)}),
                0);
            // No pause before the click: the server has moved the pointer
            // before the move's xdotool ends, and hands the window the motion
            // before the press.
            ASSERT_EQ(ui::testing::run_tool({"xdotool", "click", "1"}), 0);
        };
        // "Таблица": the first of its buttons along the bottom.
        ASSERT_NO_FATAL_FAILURE(click_grouttab(60, 127));
        grab("grouttab");
        std::string calc;
        const bool shown =
            os::testing::wait_until([&] { return !(calc = window_named("101_2.xls")).empty(); }, 240000, 200);
        if (!shown) grab("no_calc");
        ASSERT_TRUE(shown) << "no Calc window shows the report" << why();
        const fs::path report = station / "101" / "cement" / "report" / "101_2.xls";
        const fs::path lock = station / "101" / "cement" / "report" / ".~lock.101_2.xls#";
        EXPECT_EQ(os::testing::read_bytes(report.string()).rfind("\xD0\xCF\x11\xE0", 0), 0u) << report;
        EXPECT_TRUE(window_named("Error").empty()) << "an error box came up";
        EXPECT_TRUE(os::testing::wait_until([&] { return os::path_exists(lock.string()); }, 60000, 100))
            << "the report never loaded";
        grab("report_in_calc");
        EXPECT_EQ(dead_children_of(grouttab[0].pid), std::vector<int>{}) << "Grouttab left a dead child";
        const std::string office_profile = (runtime / "station" / "grouttab-office").string();
        EXPECT_FALSE(processes_with(office_profile).empty()) << "no office shows the report";

        // The operator has read the report and quits Calc with its own
        // keys; the office ends, its lock file goes and Grouttab reaps it.
        std::string active;
        EXPECT_TRUE(os::testing::wait_until(
            [&] {
                ui::testing::run_tool({"xdotool", "windowactivate", calc});
                ui::testing::run_tool({"xdotool", "getactivewindow"}, &active);
                return active.substr(0, active.find('\n')) == calc;
            },
            30000, 200))
            << "Calc never got the keys";
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "key", "--delay", "60", "ctrl+q"}), 0);
        EXPECT_TRUE(os::testing::wait_until(
            [&] {
                std::string out;
                return ui::testing::run_tool({"xdotool", "search", "--onlyvisible", "--name", "101_2.xls"}, &out) !=
                           0 &&
                       processes_with(office_profile).empty();
            },
            60000, 200))
            << "Calc stays after its quit";
        EXPECT_FALSE(os::path_exists(lock.string())) << lock << " stays";
        // An ended process reads as gone above (its command line is empty)
        // a moment before its parent has reaped it.
        EXPECT_TRUE(
            os::testing::wait_until([&] { return dead_children_of(grouttab[0].pid).empty(); }, 30000, 100))
            << "Grouttab left the office dead: " << ::testing::PrintToString(dead_children_of(grouttab[0].pid));

        // "Выход", the last of Grouttab's buttons: the program ends and the
        // host reaps it.
        ASSERT_NO_FATAL_FAILURE(click_grouttab(353, 127));
        EXPECT_TRUE(os::testing::wait_until([&] { return processes_with((station / "Grouttab").string()).empty(); },
                                            30000, 100))
            << "Grouttab did not end";
        for (const auto& p : processes_with((station / "station_host").string()))
            EXPECT_TRUE(os::testing::wait_until([&] { return dead_children_of(p.pid).empty(); }, 30000, 100))
                << "the host left Grouttab dead and unreaped: " << ::testing::PrintToString(dead_children_of(p.pid));
    }

    // ---- the recording as the stage left it, the program left ----
    {
        SCOPED_TRACE("step: quit");
        const StepTime timing("quit");
        // The plug-in stopped the recording at the stage's end: the menu
        // offers to go on or to start anew, not to stop.
        const auto bar = op.wait(item_named("Запись"));
        ASSERT_TRUE(bar) << why();
        op.click(bar->box);
        const auto below = [&](const MapEntry& e) { return e.box.y >= bar->box.y + bar->box.h; };
        EXPECT_TRUE(op.wait([&](const MapEntry& e) { return item_named("Продолжить рейс")(e) && below(e); }))
            << "\"Продолжить рейс\" is not offered" << why();
        EXPECT_TRUE(op.wait([&](const MapEntry& e) { return item_named("Начать новый рейс")(e) && below(e); }))
            << "\"Начать новый рейс\" is not offered" << why();
        EXPECT_TRUE(op.wait([&](const MapEntry& e) {
            return item_named("Остановить запись", false)(e) && below(e) && e.tail == "0";
        })) << "\"Остановить запись\" is offered with the recording stopped"
            << why();
        grab("stopped");
        const auto quit = op.wait([&](const MapEntry& e) { return item_named("Выход")(e) && below(e); });
        ASSERT_TRUE(quit) << why();
        op.click(quit->box);
        const auto code = host.finish(false);
        ASSERT_TRUE(code) << "the host did not end" << why();
        EXPECT_EQ(*code, 0) << why();
        sim.finish();
    }

    // ---- what the session left ----
    {
        SCOPED_TRACE("step: the files");
        for (int trip : {1, 2}) {
            const auto files = read_trip_files(well.string(), trip);
            ASSERT_GE(files.size(), 1u);
            EXPECT_TRUE(files[0].exists) << files[0].path;
            EXPECT_TRUE(files[0].has_end) << files[0].path;
            EXPECT_TRUE(files[0].warnings.empty()) << ::testing::PrintToString(files[0].warnings);
            EXPECT_GE(files[0].records, 3) << files[0].path;
        }
        CementData job;
        TReportOptions report;
        ASSERT_TRUE(
            cement::load_programme((station / "101" / "cement" / "cement_program_2.ini").string(), job, report));
        EXPECT_EQ(job.element, cement::element_finished);
        ASSERT_EQ(job.program.size(), 3u);
        for (const auto& e : job.program) {
            EXPECT_EQ(e.mode, cement::state_done) << e.name;
            EXPECT_GT(e.end, e.start) << e.name;
        }
        EXPECT_TRUE(file_holds(ini, "220,5")) << text_of(ini);
        EXPECT_TRUE(file_holds(well / "sys.bin", "Petrov"));
        EXPECT_EQ(calibration_in(ini).at(0)[2], "137,0") << text_of(ini);
        // The measured string with the element the operator added.
        instr::Items string;
        string.lib::IniSerialData::load(ini);
        ASSERT_EQ(string.size(), 3) << text_of(ini);
        EXPECT_EQ(string.get(1).count, 40);
        EXPECT_EQ(string.get(2).count, 12);
        EXPECT_EQ(string.get(2).lengths, std::vector<float>{9.5f}) << text_of(ini);
        // The console keeps the source's number as the bytes of an int32.
        std::string kept = rtl::IniFile(ini).ReadString("PultPlugin", "indi_gaz", "?");
        for (char& c : kept) c = char(std::tolower(static_cast<unsigned char>(c)));
        std::string choice;
        for (int b = 0; b < 4; ++b) {
            const unsigned byte = (unsigned(console_choice) >> (8 * b)) & 0xFF;
            choice += "0123456789abcdef"[byte >> 4];
            choice += "0123456789abcdef"[byte & 0xF];
        }
        EXPECT_EQ(kept, choice) << text_of(ini);
        EXPECT_TRUE(os::testing::wait_until([&] { return processes_with(root.string()).empty(); }, 20000, 100))
            << "a program of the session still runs: " << processes_with(root.string()).front().command;
    }
#endif
}

}  // namespace
}  // namespace station_host

#endif
