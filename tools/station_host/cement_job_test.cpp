// A cementing job end to end: the station host with the cementing plug-in
// loaded from its plug-ins folder, the simulated cementing-control station
// on a pseudo-terminal, a scripted operator pressing "Начать программу" and
// then the button by the captions the monitor gives it;
// the plug-in asks the host for its trip with message 1033, runs a buffer,
// a cement slurry and a displacement, and writes the stage's files.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "library/storage/file_storage.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_points.h"
#include "plugins/cement/cement_report.h"
#include "tools/station_host/rig_testing.h"
#include "tools/station_host/station_setup.h"

#ifdef STATION_CEMENT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

constexpr double flow = 10;  // l/s, all along

using station_host::testing::has;

// When each of the operator's presses came, in seconds of the host's run,
// as the host says them ("operator: "CAPTION" at S s"), in their order.
std::vector<double> press_seconds(const std::vector<std::string>& lines) {
    std::vector<double> at;
    for (const auto& l : lines) {
        if (l.rfind("operator: \"", 0) != 0) continue;
        const auto from = l.rfind("\" at ");
        if (from == std::string::npos) continue;
        std::string number = l.substr(from + 5);
        number = number.substr(0, number.find(' '));
        std::replace(number.begin(), number.end(), ',', '.');
        at.push_back(std::stod(number));
    }
    return at;
}

// The station: the cementing parameters in the table (the station's 12-bit
// channels on a 2.5 V reference), the well's number, the stage programme
// the operator prepared, the plug-in in the plug-ins folder; the station's
// script: the flow all along.
void prepare_station(const testing::StationRig& rig) {
    const std::string programme = prepare_cement_station(rig.station().string(), "101", {});
    rtl::IniFile(programme).WriteString("Main", "cem_planV", "0,04");
    rig.add_plugin(STATION_CEMENT_PLUGIN, "cement.so");
    rig.write_script("t pressure density temperature flow\n"
                     "0 40 1.20 20 10\n"
                     "100 40 1.20 20 10\n");
}

TEST(CementJob, ThreeStagesRunEndToEndWithTheirVolumesAndFiles) {
    testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare_station(rig);
    // Line faults on the way: a bad check word, a silent second, a frame
    // split in two, a short frame.
    ASSERT_TRUE(rig.start_simulator(
        {"--device", "cement", "--seconds", "60", "--faults", "flip@4,silence@7,split@9x40,truncate@12"}));
    testing::ChildProgram& sim = rig.simulator();

    testing::ChildProgram host =
        rig.host_program({"--trip", "1", "--seconds", "19", "--protocol", "СКЦ", "--press",
                          "2:Начать программу,6:Следующий этап,10:Следующий этап,14:Завершить этап"});
    host.finish(false);
    const auto host_lines = host.lines();
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << ::testing::PrintToString(host_lines);
    sim.finish();
    const auto sim_lines = sim.lines();

    // The plug-in asked for a new trip and, past its last element, for the
    // stop: the host answered both.
    EXPECT_TRUE(has(host_lines, "trip 2 started on a plug-in's request")) << ::testing::PrintToString(host_lines);
    EXPECT_TRUE(has(host_lines, "trip 2 stopped on a plug-in's request")) << ::testing::PrintToString(host_lines);

    // The programme of stage 2, read back: three elements, done one after
    // the other, each volume the flow over its time.
    const fs::path cement = root / "station" / "101" / "cement";
    CementData job;
    TReportOptions report;
    ASSERT_TRUE(cement::load_programme((cement / "cement_program_2.ini").string(), job, report));
    ASSERT_EQ(job.program.size(), 3u);
    EXPECT_EQ(job.element, cement::element_finished);
    rtl::IniFile prog(cement / "cement_program_2.ini");
    // Each element runs from the press that began it to the next: the
    // first from the trip's start after "Начать программу", the last to the
    // stop after "Завершить этап" (each a turn or more later on a slow
    // machine). The presses' seconds are the host's own.
    const std::vector<double> pressed = press_seconds(host_lines);
    ASSERT_EQ(pressed.size(), 4u) << ::testing::PrintToString(host_lines);
    // The programme keeps times to the second (up to a second off either
    // way), and the plug-in reads its clock a moment after the host.
    constexpr double slack = 1.5;
    double total = 0;
    for (int i = 0; i < 3; ++i) {
        const CementProgramElement& e = job.program[std::size_t(i)];
        EXPECT_EQ(e.mode, cement::state_done) << i;
        const double seconds = (e.end - e.start) * 86400;
        const double between = pressed[std::size_t(i + 1)] - pressed[std::size_t(i)];
        EXPECT_GT(seconds, 0) << i;
        if (i == 0) {
            EXPECT_LE(seconds, between + slack);
        } else if (i == 1) {
            EXPECT_NEAR(seconds, between, slack);
        } else {
            EXPECT_GE(seconds, between - slack);
        }
        if (i > 0) {
            EXPECT_NEAR(e.start, job.program[std::size_t(i - 1)].end, 1e-6) << i;
        }
        const double v =
            rtl::IniFile(cement / "cement_program_2.ini").ReadFloat("Item" + std::to_string(i), "V_inc", -1);
        // Within one cycle's step of the flow over the element's time.
        EXPECT_NEAR(v, flow * seconds * 0.001, flow * 1.5 * 0.001) << i;
        total += v;
    }
    // The running sum rounded once, the total of three rounded volumes.
    EXPECT_NEAR(prog.ReadFloat("Item2", "Vsumm", -1), total, 0.0201);

    // The stage's report data and points.
    auto rpt = cement::read_report_data((cement / "cement_program_2.rpt").string());
    std::map<std::string, std::string> r(rpt.begin(), rpt.end());
    EXPECT_EQ(r["name"], "101");
    EXPECT_FALSE(r["start_time"].empty());
    ChartPoints points;
    ASSERT_EQ(cement::load_points_file((cement / "2.cem").string(), points), cement::PointsRead::ok);
    ASSERT_GE(points.points.size(), 8u);
    const int rate = points.column_index("cem_rasx");
    const int sum = points.column_index("cem_Vsumm");
    ASSERT_GE(rate, 0);
    int at_flow = 0;
    for (const ChartPoint& p : points.points) at_flow += std::fabs(p.values[std::size_t(rate)] - flow) < 0.1;
    EXPECT_GE(at_flow, int(points.points.size()) - 1);
    // The total only grows, and ends at the elements' sum (each element's
    // volume written with two decimals: up to 0,005 off apiece).
    for (std::size_t k = 1; k < points.points.size(); ++k)
        EXPECT_GE(points.points[k].values[std::size_t(sum)], points.points[k - 1].values[std::size_t(sum)]);
    EXPECT_NEAR(points.points.back().values[std::size_t(sum)], total, 0.0151);
    EXPECT_EQ(cement::load_last_stage((cement / "cement.ini").string()), 2);
    EXPECT_TRUE(fs::exists(cement / "report" / "101_2.realtim"));

    // The station saw its faults reported back: each failed exchange is
    // followed by a packet with the lost flag (the first packet has it too).
    std::string done;
    for (const auto& l : sim_lines)
        if (l.rfind("done: ", 0) == 0) done = l;
    EXPECT_NE(done.find(" 0 bad packets, 0 bad values"), std::string::npos) << done;
    int lost = -1;
    if (auto at = done.find(" lost flags"); at != std::string::npos) {
        auto begin = done.rfind(' ', at - 1);
        lost = std::stoi(done.substr(begin + 1, at - begin - 1));
    }
    EXPECT_GE(lost, 4) << done;
}

// The plug-in's new trip lands on the next number no trip has used: a trip
// recorded before under the next number keeps its file as it was.
TEST(CementJob, ANewTripOnThePluginsRequestNeverTakesAnotherTripsFiles) {
    testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare_station(rig);
    fs::create_directories(root / "well");
    const std::string earlier = "trip 2, recorded before";
    std::ofstream(root / "well" / "0002.realtim") << earlier;
    ASSERT_TRUE(rig.start_simulator({"--device", "cement", "--seconds", "30"}));
    testing::ChildProgram host = rig.host_program(
        {"--trip", "1", "--seconds", "5", "--protocol", "СКЦ", "--press", "2:Начать программу"});
    host.finish(false);
    const auto lines = host.lines();
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << ::testing::PrintToString(lines);
    EXPECT_TRUE(has(lines, "trip 3 started on a plug-in's request")) << ::testing::PrintToString(lines);
    std::ifstream in(root / "well" / "0002.realtim", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), earlier);
    EXPECT_TRUE(fs::exists(root / "well" / "0003.realtim"));
}

}  // namespace
}  // namespace station_host

#endif
