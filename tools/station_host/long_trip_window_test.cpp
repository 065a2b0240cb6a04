// station_host --window continuing a long trip, under a virtual X server
// against the device simulator: the chart shows the trip's newest records,
// every second is recorded, and the status bar counts the trip's records,
// those the file held before included, also after "Остановить запись" and
// "Продолжить рейс" from the menu.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "library/storage/file_storage.h"
#include "library/time_conv.h"
#include "platform/os/testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/long_trip_testing.h"
#include "tools/station_host/operator_session_testing.h"
#include "tools/station_host/trip_files.h"
#include "tools/station_host/window_testing.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;
using testing::BuiltProgram;
using testing::control_named;
using testing::item_named;
using testing::MapEntry;
using testing::ScreenOperator;

const char* const rig =
    "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
    "0   100       20        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
    "40  110       16        11  0.4       5.5    58    60    0     3   2.5     30      31\n";

// The count the status bar says, or -1.
long status_count(const ScreenOperator& op, std::string* text = nullptr) {
    for (const MapEntry& e : op.map())
        if (control_named("рейс 3", "Status")(e)) {
            const std::string& s = e.fields[2];
            if (text) *text = s;
            const auto at = s.find("Записей ");
            if (at == std::string::npos) return -1;
            return std::atol(s.c_str() + at + std::string("Записей ").size());
        }
    return -1;
}

// Picks an item of the "Запись" menu.
void record_menu(const ScreenOperator& op, const std::string& item) {
    const auto bar = op.wait_steady(item_named("Запись"));
    ASSERT_TRUE(bar) << op.map_text();
    op.click(bar->box);
    const auto entry = op.wait([&](const MapEntry& e) { return item_named(item)(e) && e.box.y > bar->box.y; });
    ASSERT_TRUE(entry) << "no \"" << item << "\": " << op.map_text();
    op.click(entry->box);
}

TEST(StationHostLongTrip, AContinuedDayIsChartedCountedAndRecordedEverySecond) {
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    testing::suppress_gtk_leaks();
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt", well = dir / "well", map = dir / "map.txt";
    std::ofstream(script) << rig;
    BuiltProgram sim("device_simulator", {"--scenario", script, "--period", "200", "--seconds", "900", "--pty"});
    const std::string line = sim.line_starting("line: ", 120000);
    ASSERT_FALSE(line.empty());
    const std::string port = line.substr(6);

    // A short trip makes the set-up and the trip's header.
    {
        BuiltProgram first("station_host", {"--port", port, "--well", well, "--trip", "3", "--seconds", "3",
                                            "--time-step", "1", "--depth", "1000"});
        const auto code = first.finish(false);
        ASSERT_TRUE(code && *code == 0) << first.output();
    }
    const std::string time_file = well + "/0003.realtim";
    station_host::testing::lengthen(time_file, 86400, 5);
    const long before = 86400;

    ::setenv("STATION_HOST_SCREEN_MAP", map.c_str(), 1);
    BuiltProgram host("station_host", {"--port", port, "--well", well, "--trip", "3", "--seconds", "900",
                                       "--time-step", "1", "--continue", "--window"});
    ::unsetenv("STATION_HOST_SCREEN_MAP");
    ScreenOperator op(map);
    const std::string id = testing::window_named("рейс 3");
    ASSERT_FALSE(id.empty()) << "no window: " << host.output();

    // The trip's records, the day's among them.
    std::string status;
    EXPECT_TRUE(os::testing::wait_until([&] { return status_count(op, &status) > before + 2; }, 120000, 100))
        << "the status bar says \"" << status << "\" of a trip of more than " << before << " records";
    // The chart reached the newest records: curves on the page.
    testing::Geometry g;
    ASSERT_TRUE(testing::geometry_of(id, g));
    EXPECT_TRUE(os::testing::wait_until(
        [&] {
            const auto n = testing::count_colours(g, "long_trip_chart.png", {ui::clBlue, ui::clRed, ui::clGreen});
            return n[0] + n[1] + n[2] > 0;
        },
        120000, 250))
        << "no curves on the chart page";
    // Some seconds recorded with the chart up.
    const long shown = status_count(op);
    EXPECT_TRUE(os::testing::wait_until([&] { return status_count(op) >= shown + 5; }, 120000, 100)) << status;

    // Stopped and taken up again from the menu: the count goes on.
    ASSERT_NO_FATAL_FAILURE(record_menu(op, "Остановить запись"));
    EXPECT_TRUE(os::testing::wait_until([&] { return status_count(op, &status) < 0; }, 60000, 100)) << status;
    const long at_stop = read_trip_files(well, 3).at(0).records;
    ASSERT_NO_FATAL_FAILURE(record_menu(op, "Продолжить рейс"));
    EXPECT_TRUE(os::testing::wait_until([&] { return status_count(op, &status) > at_stop; }, 120000, 100))
        << "after the continue the status bar says \"" << status << "\" of a trip of " << at_stop << " records\n"
        << host.output();
    EXPECT_TRUE(os::testing::wait_until([&] { return status_count(op) >= at_stop + 5; }, 120000, 100)) << status;

    ASSERT_NO_FATAL_FAILURE(testing::close_window(id, host));
    sim.finish();

    // Every second of the continued runs recorded: one step of more than a
    // second, the stop's pause.
    FileStorage t;
    t.add_file(time_file, false);
    ASSERT_GT(t.get_data_size(), before + 10);
    int gaps = 0;
    for (int i = int(before) + 1; i < t.get_data_size(); ++i) {
        const std::uint32_t a = t.get_record(i - 1)->time.get_value(), b = t.get_record(i)->time.get_value();
        if (b - a > 1) ++gaps;
    }
    EXPECT_LE(gaps, 1) << "seconds were skipped while the window showed the trip";
}

}  // namespace
}  // namespace station_host
