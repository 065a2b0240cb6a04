// The alarm limits and the depth sensor's calibration in the station
// host's window, on a virtual X server, worked by the pointer and the keys
// as an operator works them: a cell refuses a text that is no number where
// it is typed, OK refuses a table that cannot hold and says why in the
// window, and the station's settings file keeps the limits and the
// calibration it had.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/os/file.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
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

// The lines of one section of the settings file (Windows-1251 on disk).
std::string section_of(const fs::path& ini, const std::string& name) {
    std::string bytes;
    if (os::read_file(ini.string(), bytes) != 0) return {};
    const std::string text = rtl::cp1251_to_utf8(bytes);
    const auto at = text.find("[" + name + "]");
    if (at == std::string::npos) return {};
    const auto end = text.find("\n[", at + 1);
    std::string section = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    // The same section, last in the file or followed by another.
    while (!section.empty() && (section.back() == '\r' || section.back() == '\n')) section.pop_back();
    return section;
}

TEST(StationHostGridWindows, RefusedCellsAndTablesLeaveTheSettingsFileAsItWas) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    suppress_gtk_leaks();
    os::testing::TempDir dir;
    const fs::path root = dir.path(), station = root / "station", well = root / "well";
    const fs::path ini = station / settings_file;
    const std::string map = (root / "map.txt").string();
    ChildProgram sim(bin + "device_simulator", {"--pty", "--seconds", "600"}, true);
    ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
    ::setenv("STATION_HOST_SCREEN_MAP", map.c_str(), 1);
    ::setenv("STATION_HOST_STATE_SAVE_SECONDS", "1", 1);
    ChildProgram host(bin + "station_host", {"--port", sim.first_line().substr(6), "--well", well.string(), "--station",
                                             station.string(), "--trip", "1", "--seconds", "0", "--window"});
    ::unsetenv("STATION_HOST_SCREEN_MAP");
    ::unsetenv("STATION_HOST_STATE_SAVE_SECONDS");
    const ScreenOperator op(map);
    auto why = [&] { return "\nhost:\n" + host.output() + "\nscreen:\n" + op.map_text(); };
    const std::string id = window_named("рейс 1");
    ASSERT_FALSE(id.empty()) << "no window" << why();
    ASSERT_TRUE(os::testing::wait_until(
        [&] { return !section_of(ini, "MinMaxValues").empty() && !section_of(ini, "DepthCalc").empty(); }, 60000,
        100))
        << "the settings were never saved" << why();
    const std::string limits = section_of(ini, "MinMaxValues"), calibration = section_of(ini, "DepthCalc");

    auto choose = [&](const std::string& menu, const std::string& entry) {
        const std::string missing = op.choose(menu, entry);
        ASSERT_TRUE(missing.empty()) << missing << why();
    };
    auto row_of = [&](const std::string& form, int col, const std::string& text) {
        const auto c = op.wait([&](const MapEntry& e) {
            return e.kind == "cell" && e.form() == form && e.fields[1] == "Grid" && e.fields[2] == std::to_string(col) &&
                   e.tail == text;
        });
        return c ? std::stoi(c->fields[3]) : -1;
    };
    auto type_into = [&](const std::string& form, int col, int row, const std::string& text) {
        const auto c = op.wait_steady(cell_of(form, "Grid", col, row));
        ASSERT_TRUE(c) << "no cell " << col << "," << row << why();
        for (int attempt = 0; attempt < 3; ++attempt) {
            op.click(c->box);
            if (op.wait(current_of(form, "Grid", col, row), 3000)) break;
        }
        ASSERT_TRUE(op.wait(current_of(form, "Grid", col, row), 1000)) << "the keys are not on the cell" << why();
        op.type(text);
        EXPECT_TRUE(op.wait([&](const MapEntry& e) { return cell_of(form, "Grid", col, row)(e) && e.tail == text; }))
            << "typed \"" << text << "\"" << why();
        op.key("Return");
    };
    // What the window says, once it holds `part`.
    auto says = [&](const std::string& form, const std::string& part) {
        return op.wait([&](const MapEntry& e) {
            return control_named(form, "lblMessage")(e) && e.fields[2].find(part) != std::string::npos;
        });
    };
    auto cell_reads = [&](const std::string& form, int col, int row, const std::string& text) {
        return op.wait([&](const MapEntry& e) { return cell_of(form, "Grid", col, row)(e) && e.tail == text; });
    };
    auto press = [&](const std::string& form, const std::string& caption) {
        const auto b = op.wait_steady(control_captioned(form, caption));
        ASSERT_TRUE(b) << "no \"" << caption << "\"" << why();
        op.click(b->box);
    };

    {
        SCOPED_TRACE("Пределы сигнализации");
        const std::string form = "Пределы сигнализации";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", form));
        ASSERT_TRUE(op.wait(form_named(form))) << why();
        const int level = row_of(form, 0, "Уровень-1"), pressure = row_of(form, 0, "Давление ПЖ на входе");
        ASSERT_GT(level, 0) << why();
        ASSERT_GT(pressure, 0) << why();
        ASSERT_NO_FATAL_FAILURE(type_into(form, 2, level, "abc"));
        EXPECT_TRUE(says(form, "\"abc\" — не число")) << why();
        EXPECT_TRUE(cell_reads(form, 2, level, "1,9")) << why();
        ASSERT_NO_FATAL_FAILURE(type_into(form, 1, pressure, "300"));
        ASSERT_NO_FATAL_FAILURE(press(form, "OK"));
        EXPECT_TRUE(says(form, "\"Давление ПЖ на входе\"")) << why();
        EXPECT_TRUE(op.wait(form_named(form), 1000)) << "OK took limits that cross";
        ASSERT_NO_FATAL_FAILURE(press(form, "Отмена"));
        EXPECT_TRUE(op.wait_gone(form_named(form))) << why();
    }
    {
        SCOPED_TRACE("Калибровка датчика глубины");
        const std::string form = "Калибровка датчика глубины";
        ASSERT_NO_FATAL_FAILURE(choose("Скважина", form));
        ASSERT_TRUE(op.wait(form_named(form))) << why();
        const auto coeff = op.wait(cell_of(form, "Grid", 2, 1));
        ASSERT_TRUE(coeff) << why();
        ASSERT_NO_FATAL_FAILURE(type_into(form, 2, 1, "abc"));
        EXPECT_TRUE(says(form, "\"abc\" — не число")) << why();
        EXPECT_TRUE(cell_reads(form, 2, 1, coeff->tail)) << why();
        ASSERT_NO_FATAL_FAILURE(type_into(form, 0, 2, "5"));
        ASSERT_NO_FATAL_FAILURE(press(form, "OK"));
        EXPECT_TRUE(says(form, "Интервал 2 (5 → ")) << why();
        EXPECT_TRUE(op.wait(form_named(form), 1000)) << "OK took an interval in the wrong order";
        ASSERT_NO_FATAL_FAILURE(press(form, "Отмена"));
        EXPECT_TRUE(op.wait_gone(form_named(form))) << why();
    }

    // Saved again since: the same limits and calibration.
    std::error_code ec;
    const auto closed = fs::last_write_time(ini, ec);
    EXPECT_TRUE(os::testing::wait_until([&] { return fs::last_write_time(ini, ec) != closed; }, 30000, 100))
        << "the settings were not saved again" << why();
    EXPECT_EQ(section_of(ini, "MinMaxValues"), limits);
    EXPECT_EQ(section_of(ini, "DepthCalc"), calibration);
    ASSERT_NO_FATAL_FAILURE(close_window(id, host));
}

}  // namespace
}  // namespace station_host
