// The main job's short form end to end (scripts/road.sh --short on this
// build): every step runs for a few seconds, and the summary's facts are
// checked against the outputs themselves, read here by other means: the
// package listed and extracted with 7za, the LAS file through the LAS
// reader against the trip's time file, the picture's size from its PNG
// header, the report's cells through an independent reader (Python's xlrd).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>

#include "library/LAS_file.h"
#include "library/storage/file_storage.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "plugins/cement/cement_points.h"
#include "programs/grouttab/testdata/xls_reader.h"

namespace road {
namespace {

namespace fs = std::filesystem;

struct Ran {
    std::optional<int> code;
    std::vector<std::string> lines;
};

Ran run(const std::string& program, const std::vector<std::string>& args, int timeout_ms) {
    Ran r;
    os::Process p;
    os::SpawnOptions o;
    o.program = program;
    o.args = args;
    o.capture_output = true;
    std::string error;
    EXPECT_TRUE(p.start(o, &error)) << error;
    r.code = p.read_lines([&](const std::string& l) { r.lines.push_back(l); }, timeout_ms);
    return r;
}

// The summary's line that starts so (after its indentation), or "".
std::string line_of(const std::vector<std::string>& lines, const std::string& start) {
    for (const auto& l : lines) {
        const auto at = l.find_first_not_of(' ');
        if (at != std::string::npos && l.compare(at, start.size(), start) == 0) return l.substr(at);
    }
    return {};
}

// The number before `what` in the line ("61 records" -> 61), -1 when absent.
long number_before(const std::string& line, const std::string& what) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("(\\d+) " + what))) return -1;
    return std::stol(m[1]);
}

int records_of(const std::string& path) {
    FileStorage t;
    t.add_file(path, false);
    return t.get_data_size();
}

TEST(Road, ShortFormRunsEveryStepAndItsSummaryHoldsForTheOutputs) {
    os::testing::TempDir dir;
    // The office's profile outlives the test: its first start is the slow one.
    // With a fresh profile beside the whole suite under the sanitizer build
    // the road takes minutes; only a hung step runs out the bound (ctest's
    // own is ten minutes).
    ::setenv("STATION_OFFICE_PROFILE", (std::string(STATION_BINARY_DIR) + "/test_output/road_office_profile").c_str(),
             1);
    ::unsetenv("STATION_WELL");
    ::unsetenv("STATION_WINDOW");
    ::unsetenv("STATION_RUN_SECONDS");
    const Ran r =
        run("/bin/bash",
            {std::string(STATION_SOURCE_DIR) + "/scripts/road.sh", STATION_BINARY_DIR, dir.path(), "--short"}, 540000);
    // Every line: the step that failed names itself at the end.
    std::string all;
    for (const auto& l : r.lines) all += l + "\n";
    ASSERT_TRUE(r.code) << all;
    ASSERT_EQ(*r.code, 0) << all;
    ASSERT_FALSE(line_of(r.lines, "== summary").empty()) << all;

    // 1: the trip, its plug-ins, the console's packets.
    std::smatch m;
    const std::string head = line_of(r.lines, "[1 recording] trip ");
    ASSERT_TRUE(std::regex_search(head, m, std::regex("trip (\\d+) in (.+)$"))) << all;
    const int trip = std::stoi(m[1]);
    const std::string well = m[2];
    std::string name = std::to_string(trip);
    name.insert(0, name.size() < 4 ? 4 - name.size() : 0, '0');
    const std::string time_file = well + "/" + name + ".realtim";
    const std::string time_line = line_of(r.lines, "time file " + time_file);
    const int records = records_of(time_file);
    ASSERT_GT(records, 2) << all;
    EXPECT_EQ(number_before(time_line, "records"), records) << time_line;
    EXPECT_EQ(number_before(time_line, "bytes"), long(fs::file_size(time_file))) << time_line;
    int plugins = 0;
    bool cementing = false;
    for (const auto& l : r.lines)
        if (l.rfind("  plug-in ", 0) == 0) {
            ++plugins;
            cementing = cementing || l.find("(plugin.cement)") != std::string::npos;
        }
    EXPECT_TRUE(cementing) << all;
    EXPECT_GT(number_before(line_of(r.lines, "console: "), "display packets"), 0) << all;
    if (!fs::exists(std::string(STATION_BINARY_DIR) + "/lib/pult.so")) {
        EXPECT_FALSE(line_of(r.lines, "[1 recording] skipped: pult.so not built").empty()) << all;
        EXPECT_EQ(plugins, 1) << all;
    } else {
        EXPECT_EQ(plugins, 2) << all;  // the console's beside the cementing one
    }

    // 2: the picture's size from its PNG header; the LAS file through the
    // LAS reader, row for row the time file's records.
    const std::string png = well + "/" + name + ".png";
    const std::string bytes = os::testing::read_bytes(png);
    ASSERT_GT(bytes.size(), 24u);
    ASSERT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    auto be32 = [&](std::size_t at) {
        return (long(std::uint8_t(bytes[at])) << 24) | (long(std::uint8_t(bytes[at + 1])) << 16) |
               (long(std::uint8_t(bytes[at + 2])) << 8) | long(std::uint8_t(bytes[at + 3]));
    };
    const std::string chart_line = line_of(r.lines, "[2 chart] " + png);
    EXPECT_NE(chart_line.find(std::to_string(be32(16)) + " x " + std::to_string(be32(20)) + " pixels"),
              std::string::npos)
        << chart_line;
    EXPECT_GT(number_before(chart_line, "pixels of curves"), 100) << chart_line;

    const std::string las_path = well + "/" + name + ".las";
    lib::las::file las;
    las.load(las_path);
    EXPECT_TRUE(las.get_warnings().empty()) << ::testing::PrintToString(las.get_warnings());
    const std::string las_line = line_of(r.lines, "[2 LAS] " + las_path);
    EXPECT_EQ(number_before(las_line, "rows"), las.get_values().size()) << las_line;
    EXPECT_EQ(number_before(las_line, "curves"), las.get_curve_block()->size()) << las_line;
    ASSERT_EQ(las.get_values().size(), records);
    EXPECT_EQ(las.get_curve_block()->item_by_index(0).name, "TIME");
    FileStorage table;
    table.add_file(time_file, false);
    ASSERT_EQ(las.get_curve_block()->size(), 4 + table.get_params_count());
    const std::uint32_t start = table.get_record(0)->time.get_value();
    for (int i = 0; i < records; ++i) {
        const FileStorageRecord* item = table.get_record(i);
        EXPECT_EQ(las.get_values().at(0, i), double(item->time.get_value() - start)) << i;
        EXPECT_NEAR(las.get_values().at(1, i), item->depth_z, 0.001) << i;
        for (int k = 0; k < table.get_params_count(); ++k)
            EXPECT_NEAR(las.get_values().at(4 + k, i), item->values[std::size_t(k)], 0.001) << i << "," << k;
    }

    // 3: the package lists and extracts with 7za, its time file whole.
    {
        const std::string package = well + "/" + fs::path(well).filename().string() + ".7z_reg";
        const Ran list = run("/usr/bin/7za", {"l", "-ba", "--", package}, 60000);
        ASSERT_TRUE(list.code && *list.code == 0) << ::testing::PrintToString(list.lines);
        EXPECT_NE(::testing::PrintToString(list.lines).find(name + ".realtim.values"), std::string::npos);
        os::testing::TempDir out;
        const Ran x = run("/usr/bin/7za", {"x", "-y", "-o" + out.path(), "--", package}, 60000);
        ASSERT_TRUE(x.code && *x.code == 0) << ::testing::PrintToString(x.lines);
        FileStorage packed;
        packed.load_compr_rt(out.path() + "/" + name + ".realtim");
        EXPECT_EQ(packed.get_data_size(), records);
        EXPECT_EQ(number_before(line_of(r.lines, name + ".realtim: 8 parts"), "records"), records) << all;
    }

    // 4: the stage's three elements done, its points as the summary says.
    const std::string cement = dir.path() + "/cementing/101/cement/";
    EXPECT_NE(line_of(r.lines, cement + "cement_program_2.ini").find("3 elements, 3 done"), std::string::npos) << all;
    ChartPoints points;
    ASSERT_EQ(cement::load_points_file(cement + "2.cem", points), cement::PointsRead::ok);
    EXPECT_EQ(number_before(line_of(r.lines, cement + "2.cem"), "points"), long(points.points.size())) << all;
    const double total = rtl::IniFile(cement + "cement_program_2.ini").ReadFloat("Item2", "Vsumm", -1);
    EXPECT_GT(total, 0);

    // 5: the report's token cells filled, read by an independent reader.
    const std::string xls = cement + "report/101_2.xls";
    ASSERT_TRUE(fs::exists(xls)) << all;
    const std::string report_line = line_of(r.lines, "[5 report] " + xls);
    EXPECT_NE(report_line.find(" 0 left unfilled"), std::string::npos) << report_line;
    std::string why;
    const auto cells = grouttab::testing::read_xls(xls, &why);
    if (cells.empty()) {
        if (os::testing::under_ci()) FAIL() << "no independent reader: " << why;
        GTEST_SKIP() << "no independent reader: " << why;
    }
    std::map<std::string, std::string> by_cell;
    for (const auto& [at, text] : cells) {
        EXPECT_EQ(text.find("%%"), std::string::npos) << text;
        EXPECT_EQ(text.find("%!%"), std::string::npos) << text;
        by_cell[std::to_string(at.first) + "," + std::to_string(at.second)] = text;
    }
    EXPECT_EQ(by_cell["1,2"], "101");              // the well's name
    EXPECT_EQ(by_cell["1,19"], "Закачка буфера");  // the first element
    EXPECT_NE(line_of(r.lines, "cells: ").find("%%name \"101\""), std::string::npos) << all;
}

}  // namespace
}  // namespace road

namespace road {
namespace {

// A road whose steps failed ends with status 1 and names each of them: the
// ones the job saw fail, and the ones whose output does not read back.
TEST(Road, TheSummaryNamesEveryFailedStep) {
    os::testing::TempDir dir;
    const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";
    const Ran r = run(bin + "road_summary",
                      {"--well", dir.path(), "--trip", "1", "--las", dir.path() + "/0001.las", "--failed",
                       "3 package: Vargel2 made no whole package", "--skipped", "4 cementing: not asked for"},
                      30000);
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 1);
    // Every line: the step that failed names itself at the end.
    std::string all;
    for (const auto& l : r.lines) all += l + "\n";
    EXPECT_FALSE(line_of(r.lines, "road_summary: failed step 1 recording: no record of trip 1").empty()) << all;
    EXPECT_FALSE(
        line_of(r.lines, "road_summary: failed step 2 LAS: '" + dir.path() + "/0001.las' is not there").empty())
        << all;
    EXPECT_FALSE(line_of(r.lines, "road_summary: failed step 3 package: Vargel2 made no whole package").empty()) << all;
    EXPECT_FALSE(line_of(r.lines, "[4 cementing] skipped: not asked for").empty()) << all;
    EXPECT_FALSE(line_of(r.lines, "== outputs read back: 2, steps skipped: 1, failed: 3").empty()) << all;

    // A word the road does not know is refused before anything runs.
    const Ran bad =
        run("/bin/bash",
            {std::string(STATION_SOURCE_DIR) + "/scripts/road.sh", STATION_BINARY_DIR, dir.path(), "--fast"}, 30000);
    ASSERT_TRUE(bad.code);
    EXPECT_EQ(*bad.code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/well"));
    // The job's own command tells its usage, before it installs or builds anything.
    const Ran help = run("/bin/bash", {std::string(STATION_SOURCE_DIR) + "/scripts/run.sh", "--help"}, 30000);
    ASSERT_TRUE(help.code);
    EXPECT_EQ(*help.code, 0) << ::testing::PrintToString(help.lines);
    EXPECT_FALSE(line_of(help.lines, "usage: scripts/run.sh [--window] [--short] [SECONDS]").empty())
        << ::testing::PrintToString(help.lines);
}

}  // namespace
}  // namespace road

namespace road {
namespace {

// Every file under the folder (its path below it) with its bytes.
std::map<std::string, std::string> files_under(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).string()] = os::testing::read_bytes(e.path().string());
    return files;
}

// A run folder holding an earlier road's outputs: the cementing station
// with its report, and the well's package.
struct EarlierRun {
    os::testing::TempDir dir;
    std::string package = dir.path() + "/well/well.7z_reg";
    EarlierRun() {
        fs::create_directories(dir.path() + "/cementing/101/cement/report");
        fs::create_directories(dir.path() + "/well");
        os::testing::write_bytes(dir.path() + "/cementing/101/cement/report/101_2.xls", "the earlier report\n");
        os::testing::write_bytes(dir.path() + "/cementing/101/cement/2.cem", "the earlier stage\n");
        os::testing::write_bytes(package, "the earlier package\n");
    }
    std::map<std::string, std::string> outputs() const {
        auto files = files_under(dir.path() + "/cementing");
        files["package"] = os::testing::read_bytes(package);
        return files;
    }
};

Ran run_road(const std::string& build, const std::string& run_dir, const std::vector<std::string>& more) {
    ::setenv("STATION_OFFICE_PROFILE", (std::string(STATION_BINARY_DIR) + "/test_output/road_office_profile").c_str(),
             1);
    ::unsetenv("STATION_WELL");
    ::unsetenv("STATION_WINDOW");
    ::unsetenv("STATION_RUN_SECONDS");
    std::vector<std::string> args = {std::string(STATION_SOURCE_DIR) + "/scripts/road.sh", build, run_dir, "--short"};
    args.insert(args.end(), more.begin(), more.end());
    return run("/bin/bash", args, 540000);
}

std::vector<std::string> lines_starting(const std::vector<std::string>& lines, const std::string& start) {
    std::vector<std::string> found;
    for (const auto& l : lines)
        if (l.rfind(start, 0) == 0) found.push_back(l);
    return found;
}

// The window mode without a desktop: the recording fails, and the road
// stops there, the earlier cementing station and package untouched, the
// failure named once.
TEST(Road, AFailedRecordingStopsTheRoadAndLeavesTheEarlierOutputs) {
    EarlierRun earlier;
    const auto before = earlier.outputs();
    const std::string display = ::getenv("DISPLAY") ? ::getenv("DISPLAY") : "";
    const std::string wayland = ::getenv("WAYLAND_DISPLAY") ? ::getenv("WAYLAND_DISPLAY") : "";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    const Ran r = run_road(STATION_BINARY_DIR, earlier.dir.path(), {"--window"});
    if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty()) ::setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    std::string all;
    for (const auto& l : r.lines) all += l + "\n";
    ASSERT_TRUE(r.code) << all;
    EXPECT_EQ(*r.code, 1) << all;
    EXPECT_EQ(earlier.outputs(), before) << all;
    EXPECT_TRUE(line_of(r.lines, "== 4 cementing").empty()) << all;
    EXPECT_FALSE(line_of(r.lines, "[4 cementing] skipped: not run, step 1 recording failed").empty()) << all;
    const auto named = lines_starting(r.lines, "road_summary: failed step ");
    ASSERT_EQ(named.size(), 1u) << all;
    EXPECT_EQ(named[0], "road_summary: failed step 1 recording: station_host ended with status 1");
    EXPECT_FALSE(line_of(r.lines, "== outputs read back: 1, steps skipped: 4, failed: 1").empty()) << all;
}

// A build whose packer and cementing set-up fail after leaving half an
// output: the road goes on past the package (nothing later needs it), and
// each failed step gives back the earlier output in place of its half one;
// the chart, which succeeded, replaces the earlier one.
TEST(Road, AFailedStepGivesBackItsEarlierOutputsAndTheOthersRun) {
    EarlierRun earlier;
    const std::string chart = earlier.dir.path() + "/well/0001.png";
    os::testing::write_bytes(chart, "an earlier chart\n");
    const auto before = earlier.outputs();
    os::testing::TempDir build;
    const fs::path real(STATION_BINARY_DIR);
    fs::create_directory_symlink(real / "lib", build / "lib");
    fs::create_directories(build / "bin");
    for (const auto& e : fs::directory_iterator(real / "bin"))
        fs::create_symlink(e.path(), fs::path(build / "bin") / e.path().filename());
    const auto stand_in = [&](const std::string& name, const std::string& body) {
        const std::string p = build / ("bin/" + name);
        fs::remove(p);
        os::testing::write_bytes(p, "#!/bin/sh\n" + body);
        fs::permissions(p, fs::perms::owner_all);
    };
    // Half a package where the program puts it (the first file's folder).
    stand_in("Vargel2", "d=$(dirname \"$1\"); echo half > \"$d/$(basename \"$d\").7z_reg\"; exit 1\n");
    stand_in("cement_setup",
             "while [ $# -gt 0 ]; do [ \"$1\" = --station ] && s=$2; shift; done\n"
             "mkdir -p \"$s/101/cement\" && echo half > \"$s/101/cement/cement_program_2.ini\"; exit 1\n");
    const Ran r = run_road(build.path(), earlier.dir.path(), {});
    std::string all;
    for (const auto& l : r.lines) all += l + "\n";
    ASSERT_TRUE(r.code) << all;
    EXPECT_EQ(*r.code, 1) << all;
    EXPECT_EQ(earlier.outputs(), before) << all;
    const auto named = lines_starting(r.lines, "road_summary: failed step ");
    EXPECT_EQ(named, (std::vector<std::string>{"road_summary: failed step 3 package: Vargel2 ended with a failure",
                                               "road_summary: failed step 4 cementing: the cementing station could "
                                               "not be set up"}))
        << all;
    EXPECT_FALSE(line_of(r.lines, "[5 report] skipped: no cementing stage was run").empty()) << all;
    // The chart of the new trip 1 in place of the earlier one, nothing left aside.
    EXPECT_EQ(os::testing::read_bytes(chart).substr(0, 8), "\x89PNG\r\n\x1a\n") << all;
    for (const auto& e : fs::recursive_directory_iterator(earlier.dir.path()))
        EXPECT_NE(e.path().extension(), ".previous") << e.path();
}

}  // namespace
}  // namespace road
