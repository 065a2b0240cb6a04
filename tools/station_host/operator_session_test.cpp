// One operator's session on the real screen, end to end: the station host
// program in its window with both plug-ins, on the simulated
// cementing-control station, worked only through the X server (xdotool's
// pointer and keys) as an operator works it. The recording starts and
// grows; each window of "Скважина" is opened, a value edited in it with the
// mouse and Enter/Tab and confirmed; a console option is changed through
// its drop-down; a cementing stage is run from the monitor's buttons to its
// report, shown in a Calc window; the recording is stopped and the program
// left. What the session leaves is checked: the trip's records, the
// programme and the report, the options, the exit status, no process left
// dead or running, no lock file.
//
// The host says where its windows lie through its screen map
// (STATION_HOST_SCREEN_MAP); the test only reads it to aim the pointer.

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <set>

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

struct ProcessInfo {
    int pid = 0, parent = 0;
    char state = '?';
    std::string command;
};

std::vector<ProcessInfo> processes() {
    std::vector<ProcessInfo> list;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat, command;
        if (os::read_file(e.path().string() + "/stat", stat) != 0) continue;
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 4 > stat.size()) continue;
        os::read_file(e.path().string() + "/cmdline", command);
        for (char& c : command)
            if (c == '\0') c = ' ';
        list.push_back({std::stoi(name), std::atoi(stat.c_str() + close + 4), stat[close + 2], command});
    }
    return list;
}

// The processes whose command line holds `part` (the session's folder: its
// programs and the office with its profile there).
std::vector<ProcessInfo> processes_with(const std::string& part) {
    std::vector<ProcessInfo> found;
    for (const auto& p : processes())
        if (p.command.find(part) != std::string::npos) found.push_back(p);
    return found;
}

std::vector<int> dead_children_of(int parent) {
    std::vector<int> dead;
    for (const auto& p : processes())
        if (p.parent == parent && p.state == 'Z') dead.push_back(p.pid);
    return dead;
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

// Not yet run by default: the session has run from the recording through
// every "Скважина" window, the console's option and the cementing stage to
// the report shown in Calc; under a window manager the report's window is
// not moved off Grouttab's "Выход", and "Продолжить рейс" is not offered
// after it, so the stop and the quit have not been through yet.
TEST(OperatorSession, DISABLED_RecordsEditsRunsAStageToItsReportAndQuits) {
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

    // The program folder, as installed: the host, its plug-ins, the report
    // program and its template; it is the station folder too, where the
    // report program finds the wells.
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    const fs::path station = root / "station", well = root / "well", runtime = root / "runtime";
    prepare_cement_station(station.string(), "101",
                           {{7, 0, 1800, 244.5f, 273}, {8, 1800, 2500, 215.9f, 215.9f}});
    // The well's folder as a station has it: the report program offers
    // only wells with their "inpgti.ini".
    std::ofstream(station / "101" / "inpgti.ini") << "[Main]\n";
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
            for (const char* v : {"XDG_RUNTIME_DIR", "LSAN_OPTIONS", "STATION_HOST_SCREEN_MAP",
                                  "STATION_HOST_STATE_SAVE_SECONDS"})
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

    // ---- the recording starts and grows ----
    {
        SCOPED_TRACE("step: the recording starts");
        ASSERT_TRUE(op.wait(form_named("Станция — рейс 1"), 30000)) << "no main window" << why();
        ASSERT_TRUE(grows(well / "0001.realtim", 3)) << "the time file does not grow" << why();
        grab("recording");
    }

    // Opens the menu bar's `menu` and clicks its item `entry`.
    auto choose = [&](const std::string& menu, const std::string& entry) {
        const auto bar = op.wait(item_named(menu));
        ASSERT_TRUE(bar) << "no menu \"" << menu << "\"" << why();
        op.click(bar->box);
        const auto item = op.wait([&](const MapEntry& e) {
            return item_named(entry)(e) && e.box.y >= bar->box.y + bar->box.h;
        });
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
        // Where the program has the window is where it stands: the window
        // manager's frame first comes up elsewhere and is then placed, and
        // the program learns its place a moment later.
        Geometry g;
        EXPECT_TRUE(os::testing::wait_until(
            [&] {
                const auto f = op.wait(form_named(title), 1000);
                return f && geometry_of(id, g) && std::abs(g.x - f->box.x) <= 16 && std::abs(g.y - f->box.y) <= 64 &&
                       std::abs(g.width - f->box.w) <= 32 && std::abs(g.height - f->box.h) <= 64;
            },
            20000, 50))
            << "\"" << title << "\" stands elsewhere than the program has it: " << g.x << "," << g.y << " "
            << g.width << "x" << g.height << why();
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
    auto click_cell = [&](const std::string& form, const std::string& grid, int col, int row) {
        const auto c = op.wait_steady(cell_of(form, grid, col, row));
        ASSERT_TRUE(c) << "no cell " << col << "," << row << " in \"" << form << "\"" << why();
        op.click(c->box);
    };

    // ---- "Скважина": each window, a value edited and confirmed ----
    {
        SCOPED_TRACE("step: Конструкция скважины");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Конструкция скважины"));
        ASSERT_NO_FATAL_FAILURE(opened("Конструкция скважины"));
        const int row = row_of("Конструкция скважины", "Grid", 1, "Голый ствол");
        ASSERT_GT(row, 0);
        // The open hole's bore: typed over, Enter ends the cell's edit.
        ASSERT_NO_FATAL_FAILURE(click_cell("Конструкция скважины", "Grid", 4, row));
        op.type("220,5");
        op.key("Return");
        EXPECT_TRUE(op.wait(form_named("Конструкция скважины"), 2000)) << "Enter closed the window";
        grab("construction");
        ASSERT_NO_FATAL_FAILURE(click_control("Конструкция скважины", "OK"));
        window_goes("Конструкция скважины");
        EXPECT_TRUE(os::testing::wait_until([&] { return file_holds(ini, "220,5"); }, 20000, 100))
            << "the bore did not reach " << ini << ":\n" << text_of(ini);
    }
    {
        SCOPED_TRACE("step: Калибровка датчика глубины");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Калибровка датчика глубины"));
        ASSERT_NO_FATAL_FAILURE(opened("Калибровка датчика глубины"));
        ASSERT_NO_FATAL_FAILURE(click_cell("Калибровка датчика глубины", "Grid", 2, 1));
        op.type("137");
        op.key("Return");
        grab("depth_calibration");
        ASSERT_NO_FATAL_FAILURE(click_control("Калибровка датчика глубины", "OK"));
        window_goes("Калибровка датчика глубины");
        EXPECT_TRUE(os::testing::wait_until(
            [&] { return file_holds(ini, "137"); },
            20000, 100))
            << "the pulses per metre did not reach " << ini << ":\n" << text_of(ini);
    }
    {
        SCOPED_TRACE("step: Пределы сигнализации");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Пределы сигнализации"));
        ASSERT_NO_FATAL_FAILURE(opened("Пределы сигнализации"));
        // The first parameter's limits, typed with Tab between them.
        ASSERT_NO_FATAL_FAILURE(click_cell("Пределы сигнализации", "Grid", 1, 1));
        op.type("7,25");
        op.key("Tab");
        op.type("93,75");
        op.key("Return");
        EXPECT_TRUE(op.wait(form_named("Пределы сигнализации"), 2000)) << "Enter closed the window";
        grab("alarm_limits");
        ASSERT_NO_FATAL_FAILURE(click_control("Пределы сигнализации", "OK"));
        window_goes("Пределы сигнализации");
        EXPECT_TRUE(os::testing::wait_until(
            [&] { return file_holds(ini, "7,25") && file_holds(ini, "93,75"); }, 20000, 100))
            << "the limits did not reach " << ini << ":\n" << text_of(ini);
    }
    for (const char* shown : {"Журнал событий"}) {
        SCOPED_TRACE(std::string("step: ") + shown);
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", shown));
        ASSERT_NO_FATAL_FAILURE(opened(shown));
        grab("event_log");
        ASSERT_NO_FATAL_FAILURE(click_control(shown, "Закрыть"));
        window_goes(shown);
    }
    {
        SCOPED_TRACE("step: Примечания");
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
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Сведения о рейсе"));
        ASSERT_NO_FATAL_FAILURE(opened("Сведения о рейсе"));
        const int row = row_of("Сведения о рейсе", "Grid", 1, "Операторы");
        ASSERT_GT(row, 0);
        ASSERT_NO_FATAL_FAILURE(click_cell("Сведения о рейсе", "Grid", 3, row));
        op.type("Petrov");
        op.key("Return");
        grab("race_info");
        ASSERT_NO_FATAL_FAILURE(click_control("Сведения о рейсе", "OK"));
        window_goes("Сведения о рейсе");
        // The trip's information is the hub's state, kept in "sys.bin".
        EXPECT_TRUE(os::testing::wait_until([&] { return file_holds(well / "sys.bin", "Petrov"); }, 20000, 100))
            << "the operator's name did not reach " << (well / "sys.bin");
    }
    {
        SCOPED_TRACE("step: Промер инструмента");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Промер инструмента..."));
        ASSERT_NO_FATAL_FAILURE(opened("Промер инструмента"));
        grab("drill_string");
        ASSERT_NO_FATAL_FAILURE(click_control("Промер инструмента", "OK"));
        window_goes("Промер инструмента");
    }
    {
        SCOPED_TRACE("step: Скважина с инструментом");
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", "Скважина с инструментом..."));
        ASSERT_NO_FATAL_FAILURE(opened("Скважина"));
        grab("well_picture");
        ASSERT_NO_FATAL_FAILURE(click_control("Скважина", "Закрыть"));
        window_goes("Скважина");
    }

    // ---- the console's options: the gas indicator's source ----
    {
        SCOPED_TRACE("step: the console's options");
        ASSERT_NO_FATAL_FAILURE(choose("Настройки", "Пульт бурильщика"));
        const std::string dialog = "Настройки пульта бурильщика";
        ASSERT_NO_FATAL_FAILURE(opened(dialog));
        // The drop-down right of its label "Газ".
        const auto label = op.wait(control_captioned(dialog, "Газ", false));
        ASSERT_TRUE(label) << why();
        const auto combo = op.wait([&](const MapEntry& e) {
            return e.kind == "control" && e.form().find(dialog) != std::string::npos &&
                   e.fields[1].rfind("TComboBox", 0) == 0 && e.box.x > label->box.x && e.box.holds(e.box.x, label->box.cy());
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
        EXPECT_TRUE(op.wait([&](const MapEntry& e) {
            return e.kind == "control" && e.box.x == combo->box.x && e.box.y == combo->box.y && e.fields[2] == chosen;
        }, 5000)) << "the click on \"" << chosen << "\" was not taken" << why();
        grab("console_options");
        ASSERT_NO_FATAL_FAILURE(click_control(dialog, "OK"));
        window_goes(dialog);
        console_choice = std::stoi(choice->fields[2]);
    }

    // ---- the cementing stage, from the monitor ----
    {
        SCOPED_TRACE("step: the cementing stage");
        const auto tab = op.wait([](const MapEntry& e) { return e.kind == "tab" && e.fields[1] != "Диаграмма" &&
                                                                e.fields[1].find("емент") != std::string::npos; });
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
            ASSERT_TRUE(grows(well / "0002.realtim", 2)) << "the stage's records do not grow" << why();
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
        ASSERT_NO_FATAL_FAILURE(click_control("Станция", "Отчет"));
        std::string form;
        ASSERT_TRUE(os::testing::wait_until([&] { return !(form = window_named("Отчет по цементированию")).empty(); },
                                            60000, 200))
            << "Grouttab's window did not appear" << why();
        const auto grouttab = processes_with((station / "Grouttab").string());
        ASSERT_EQ(grouttab.size(), 1u) << "Grouttab is not running from the program folder";
        // The window placed and given the keys before the operator clicks in
        // it (its place settles over a few of the window manager's moves).
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
        grab("grouttab");
        // "Таблица": the first of its buttons along the bottom.
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "mousemove", "--window", form, "60", "127", "click", "1"}), 0);
        std::string calc;
        const bool shown =
            os::testing::wait_until([&] { return !(calc = window_named("101_2.xls")).empty(); }, 240000, 200);
        if (!shown) grab("no_calc");
        ASSERT_TRUE(shown) << "no Calc window shows the report" << why();
        grab("report_in_calc");
        const fs::path report = station / "101" / "cement" / "report" / "101_2.xls";
        const fs::path lock = station / "101" / "cement" / "report" / ".~lock.101_2.xls#";
        EXPECT_EQ(os::testing::read_bytes(report.string()).rfind("\xD0\xCF\x11\xE0", 0), 0u) << report;
        EXPECT_TRUE(window_named("Error").empty()) << "an error box came up";
        EXPECT_TRUE(os::testing::wait_until([&] { return os::path_exists(lock.string()); }, 60000, 100))
            << "the report never loaded";
        EXPECT_EQ(dead_children_of(grouttab[0].pid), std::vector<int>{}) << "Grouttab left a dead child";
        // "Выход", with the report moved aside from the program's window.
        Geometry calc_box, form_box;
        EXPECT_TRUE(os::testing::wait_until(
            [&] {
                ui::testing::run_tool({"xdotool", "windowsize", calc, "400", "300", "windowmove", calc, "0", "0",
                                       "windowraise", form});
                return geometry_of(calc, calc_box) && geometry_of(form, form_box) &&
                       !(form_box.x + 353 >= calc_box.x && form_box.x + 353 < calc_box.x + calc_box.width &&
                         form_box.y + 127 >= calc_box.y && form_box.y + 127 < calc_box.y + calc_box.height);
            },
            30000, 200))
            << "the report's window stays over \"Выход\"";
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "mousemove", "--window", form, "353", "127"}), 0);
        ASSERT_EQ(ui::testing::run_tool({"xdotool", "click", "1"}), 0);
        EXPECT_TRUE(os::testing::wait_until(
            [&] { return processes_with((station / "Grouttab").string()).empty(); }, 30000, 100))
            << "Grouttab did not end";
        for (const auto& p : processes_with((runtime / "station" / "grouttab-office").string()))
            EXPECT_NE(p.state, 'Z') << "office process " << p.pid << " is dead and unreaped";
        for (const auto& p : processes_with((station / "station_host").string()))
            EXPECT_EQ(dead_children_of(p.pid), std::vector<int>{}) << "the host left Grouttab dead and unreaped";
        EXPECT_FALSE(window_named("101_2.xls").empty()) << "the report went with the program";
        ui::testing::run_tool({"xdotool", "windowfocus", "--sync", calc});
        ui::testing::run_tool({"xdotool", "key", "--window", calc, "ctrl+w"});
        EXPECT_TRUE(os::testing::wait_until([&] { return !os::path_exists(lock.string()); }, 30000, 100))
            << lock << " stays";
    }

    // ---- the recording resumed, stopped, the program left ----
    {
        SCOPED_TRACE("step: stop and quit");
        ASSERT_NO_FATAL_FAILURE(choose("Запись", "Продолжить рейс"));
        ASSERT_TRUE(op.wait(form_named("Станция — рейс 2"))) << why();
        EXPECT_TRUE(op.wait_gone(form_named("(запись остановлена)"))) << "the recording did not resume" << why();
        ASSERT_TRUE(grows(well / "0002.realtim", 2)) << "the resumed trip does not grow" << why();
        ASSERT_NO_FATAL_FAILURE(choose("Запись", "Остановить запись"));
        EXPECT_TRUE(op.wait(form_named("(запись остановлена)"))) << "the title does not show the stop" << why();
        grab("stopped");
        ASSERT_NO_FATAL_FAILURE(choose("Запись", "Выход"));
        const auto code = host.finish(false);
        ASSERT_TRUE(code) << "the host did not end" << why();
        EXPECT_EQ(*code, 0) << why();
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
        ASSERT_TRUE(cement::load_programme((station / "101" / "cement" / "cement_program_2.ini").string(), job, report));
        EXPECT_EQ(job.element, cement::element_finished);
        ASSERT_EQ(job.program.size(), 3u);
        for (const auto& e : job.program) {
            EXPECT_EQ(e.mode, cement::state_done) << e.name;
            EXPECT_GT(e.end, e.start) << e.name;
        }
        EXPECT_TRUE(file_holds(ini, "220,5")) << text_of(ini);
        EXPECT_TRUE(file_holds(well / "sys.bin", "Petrov"));
        EXPECT_EQ(rtl::IniFile(ini).ReadString("PultPlugin", "indi_gaz", "?"), std::to_string(console_choice))
            << text_of(ini);
        EXPECT_TRUE(processes_with(root.string()).empty() ||
                    processes_with((runtime / "station" / "grouttab-office").string()).size() ==
                        processes_with(root.string()).size())
            << "a program of the session still runs";
    }
#endif
}

}  // namespace
}  // namespace station_host

#endif
