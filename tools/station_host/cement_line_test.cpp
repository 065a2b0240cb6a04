// The cementing job under a faulty station line and an operator's detours,
// end to end: the station host with the cementing plug-in from its plug-ins
// folder, the simulated cementing-control station on a pseudo-terminal (or
// on loopback TCP) with its faults, and the operator's presses. What is
// checked is what the job leaves: the stage's points, programme, report
// data and remarks, the error log, the monitor as the operator saw it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/root_testing.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_form.h"
#include "plugins/cement/cement_points.h"
#include "plugins/cement/cement_report.h"
#include "tools/station_host/rig_testing.h"
#include "tools/station_host/station_setup.h"

#ifdef STATION_CEMENT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

constexpr double flow = 10;  // l/s, all along

using Child = station_host::testing::ChildProgram;

using station_host::testing::has;

std::string file_text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return rtl::cp1251_to_utf8(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The station with well "101" and its three-element programme (buffer,
// cement, displacement), the plug-in linked into the plug-ins folder, and
// the station's script.
void prepare(const testing::StationRig& rig, const std::string& script) {
    prepare_cement_station(rig.station().string(), "101", {});
    rig.add_plugin(STATION_CEMENT_PLUGIN, "cement.so", true);
    rig.write_script(script);
}

// The simulated cementing-control station with its faults.
::testing::AssertionResult start_station(testing::StationRig& rig, const std::string& faults, bool tcp = false) {
    std::vector<std::string> args = {"--device", "cement", "--seconds", "60"};
    if (!faults.empty()) args.insert(args.end(), {"--faults", faults});
    return rig.start_simulator(args, tcp ? testing::StationRig::Line::tcp : testing::StationRig::Line::pty);
}

// The host program on the simulator's line for `seconds`, the operator
// pressing the monitor's buttons by their captions.
Child host_program(const testing::StationRig& rig, double seconds, const std::string& presses) {
    return rig.host_program(
        {"--trip", "1", "--seconds", std::to_string(int(seconds)), "--protocol", "СКЦ", "--press", presses});
}

fs::path cement_folder(const fs::path& root) { return root / "station" / "101" / "cement"; }

ChartPoints stage_points(const fs::path& root, int stage) {
    ChartPoints points;
    EXPECT_EQ(cement::load_points_file((cement_folder(root) / (std::to_string(stage) + ".cem")).string(), points),
              cement::PointsRead::ok);
    return points;
}

std::vector<std::string> remark_lines(const fs::path& root) {
    std::vector<std::string> out;
    std::string text = file_text(cement_folder(root) / "report" / "cem_V.rem");
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

float column(const ChartPoint& p, const ChartPoints& points, const char* name) {
    const int c = points.column_index(name);
    return c >= 0 ? p.values[std::size_t(c)] : NAN;
}

// The station answers five frames, then nothing for eight seconds, then
// answers again: the buffer running across the silence gets only the
// volume of the time its frames covered, no point stands in the silence,
// the monitor marked its values stale while it lasted, and the error log
// and the remarks say from when to when.
TEST(CementLine, ASilentStationAddsNoVolumeAndTheMonitorSaysSo) {
    root_testing::in_fresh_process([] {
        testing::StationRig rig;
        const fs::path& root = rig.root();
        prepare(rig, "t pressure density temperature flow\n0 40 1.20 20 10\n100 40 1.20 20 10\n");
        ASSERT_TRUE(start_station(rig, "silence@5x8000"));
        Child& sim = rig.simulator();

        HostOptions o = rig.host_options();
        o.protocol = "СКЦ";
        o.trip = 1;
        o.duration_s = 19;
        o.presses = {{1, "Начать программу"}, {17, "Следующий этап"}};
        Host host(o, rig.progress(), rig.errors());
        // What the operator saw on the monitor, turn by turn.
        bool seen_stale = false, seen_fresh_after = false;
        std::string stale_text;
        host.on_turn = [&] {
            if (!host.system() || host.system()->get_plugin_manager().get_size() == 0) return;
            auto* form = dynamic_cast<TCementForm*>(host.system()->get_plugin_manager().get_item(0)->get_form());
            if (!form) return;
            if (form->stale && form->lblLine->Visible() && form->tiQ->Font().Color() == TCementForm::stale_color &&
                form->tiP->Font().Color() == TCementForm::stale_color) {
                seen_stale = true;
                stale_text = form->lblLine->Caption();
            }
            if (seen_stale && !form->stale && !form->lblLine->Visible() && form->tiQ->Font().Color() == ui::clBlack)
                seen_fresh_after = true;
        };
        ASSERT_EQ(host.run(-1), 0) << rig.host_output();
        sim.finish();
        EXPECT_TRUE(seen_stale) << rig.host_output();
        EXPECT_EQ(stale_text.rfind("СКЦ: нет данных с ", 0), 0u) << stale_text;
        EXPECT_TRUE(seen_fresh_after);

        // The buffer ran about 16 s, 8 of them without a frame: its volume
        // is that of the covered time (a frame vouches for 1.5 s), not of
        // the whole.
        CementData job;
        TReportOptions report;
        ASSERT_TRUE(cement::load_programme((cement_folder(root) / "cement_program_2.ini").string(), job, report));
        const CementProgramElement& buffer = job.program.at(0);
        ASSERT_EQ(buffer.mode, cement::state_done) << sim.output();
        const double seconds = (buffer.end - buffer.start) * 86400;
        const double v =
            rtl::IniFile(cement_folder(root) / "cement_program_2.ini").ReadFloat("Item0", "V_inc", -1);
        EXPECT_LE(v, flow * (seconds - 6) * 0.001 + 0.006) << seconds << "\n" << sim.output();
        EXPECT_GE(v, flow * (seconds - 12) * 0.001) << seconds;

        // No point in the silence; the total grows by no more than the
        // covered time across it.
        const ChartPoints points = stage_points(root, 2);
        double widest = 0;
        std::size_t after = 0;
        for (std::size_t k = 1; k < points.points.size(); ++k) {
            const double gap = (points.points[k].time - points.points[k - 1].time) * 86400;
            if (gap > widest) {
                widest = gap;
                after = k;
            }
        }
        ASSERT_GE(widest, 6.0) << sim.output();
        const double grew = column(points.points[after], points, "cem_Vsumm") -
                            column(points.points[after - 1], points, "cem_Vsumm");
        EXPECT_LE(grew, flow * 2.6 * 0.001) << grew;

        // The error log and the stage's remarks: from when to when.
        const std::string log = file_text(root / "station" / "registr.errors.log");
        EXPECT_NE(log.find("Нет данных от СКЦ с "), std::string::npos) << log;
        EXPECT_NE(log.find("Нет данных от СКЦ было с "), std::string::npos) << log;
        int silences = 0;
        for (const std::string& l : remark_lines(root))
            if (l.find("\"Нет данных от СКЦ с ") != std::string::npos && l.find(" по ") != std::string::npos)
                ++silences;
        EXPECT_EQ(silences, 1) << file_text(cement_folder(root) / "report" / "cem_V.rem");
    });
}

// 40 junk bytes before the station's third frame: the exchanges keep the
// once-a-second pace and the values shown (the stored points) stay at most
// about one cycle behind the station's, on a serial line and over TCP.
TEST(CementLine, JunkBeforeAFrameLeavesTheValuesAtMostACycleBehind) {
    for (bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "tcp" : "pty");
        testing::StationRig rig;
        const fs::path& root = rig.root();
        // The pressure climbs 6 atm a second: a frame's pressure tells its
        // time on the station's script.
        prepare(rig, "t pressure density temperature flow\n0 0 1.20 20 10\n100 600 1.20 20 10\n");
        ASSERT_TRUE(start_station(rig, "stray@3x40", tcp));
        Child& sim = rig.simulator();
        Child host = host_program(rig, 13, "1:Начать программу");
        host.finish(false);
        ASSERT_TRUE(host.code());
        EXPECT_EQ(*host.code(), 0) << host.output();
        sim.finish();
        const auto sim_lines = sim.lines();
        std::string done;
        for (const auto& l : sim_lines)
            if (l.rfind("done: ", 0) == 0) done = l;
        ASSERT_FALSE(done.empty()) << sim.output();
        // About one packet a second of the host's 13.
        EXPECT_LE(std::stoi(done.substr(6)), 17) << done;

        const ChartPoints points = stage_points(root, 2);
        ASSERT_GE(points.points.size(), 8u) << host.output();
        // Each point's time less the script time its pressure says: the
        // same for all, give or take the cycle's phase.
        double lo = 1e9, hi = -1e9;
        const double t0 = points.points.front().time;
        for (const ChartPoint& p : points.points) {
            const double behind = (p.time - t0) * 86400 - column(p, points, "cem_davl") / 6.0;
            lo = std::min(lo, behind);
            hi = std::max(hi, behind);
        }
        EXPECT_LE(hi - lo, 1.6) << sim.output();
    }
}

// The operator steps back from the cement to the buffer and on again, and
// the stage ends before the displacement: the buffer's average rate is the
// average of its samples (all at 10 l/s), and only the two elements that
// started are marked in the remarks.
TEST(CementLine, StepBackKeepsTheAverageAndOnlyStartedElementsAreMarked) {
    testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare(rig, "t pressure density temperature flow\n0 40 1.20 20 10\n100 40 1.20 20 10\n");
    ASSERT_TRUE(start_station(rig, ""));
    Child host = host_program(rig, 13,
                              "2:Начать программу,5:Следующий этап,7:Возврат к предыдущему этапу,10:Следующий этап");
    host.finish(false);
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << host.output();

    rtl::IniFile prog(cement_folder(root) / "cement_program_2.ini");
    // All at 10 l/s, give or take the station's 12-bit steps.
    EXPECT_NEAR(prog.ReadFloat("Item0", "Q_av", -1), flow, 0.05) << host.output();
    EXPECT_EQ(prog.ReadInteger("Item2", "mode", -1), cement::state_waiting);
    std::map<std::string, int> marks;
    for (const std::string& l : remark_lines(root))
        for (const char* name : {"Закачка буфера", "Закачка цемента", "Продавка"})
            if (l.find(std::string("\"") + name + "\"") != std::string::npos) ++marks[name];
    EXPECT_EQ(marks["Закачка буфера"], 1);
    EXPECT_EQ(marks["Закачка цемента"], 1);
    EXPECT_EQ(marks["Продавка"], 0) << file_text(cement_folder(root) / "report" / "cem_V.rem");
}

// The station answers its first five frames and then nothing for the rest
// of the job: the buffer has the volume of its points; the cement and the
// displacement, started and ended in the silence, stored no point and
// pumped nothing on record, so the stage's totals are the buffer's, as its
// points hold them.
TEST(CementLine, ElementsRunInSilenceReportNoVolume) {
    testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare(rig, "t pressure density temperature flow\n0 40 1.20 20 10\n100 40 1.20 20 10\n");
    ASSERT_TRUE(start_station(rig, "silence@5x60000"));
    Child& sim = rig.simulator();
    // The cement starts three seconds past the last frame however the
    // exchanges fall: a frame vouches for 1.5 s.
    Child host = host_program(rig, 18,
                              "1:Начать программу,9:Следующий этап,12:Следующий этап,15:Завершить этап");
    host.finish(false);
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << host.output();

    CementData job;
    TReportOptions report;
    ASSERT_TRUE(cement::load_programme((cement_folder(root) / "cement_program_2.ini").string(), job, report));
    ASSERT_EQ(job.program.size(), 3u);
    const ChartPoints points = stage_points(root, 2);
    ASSERT_FALSE(points.points.empty()) << host.output();
    rtl::IniFile prog(cement_folder(root) / "cement_program_2.ini");
    for (int i = 1; i < 3; ++i) {
        const CementProgramElement& e = job.program[std::size_t(i)];
        SCOPED_TRACE(e.name);
        ASSERT_EQ(e.mode, cement::state_done) << host.output();
        ASSERT_LT(points.points.back().time, e.start) << sim.output();
        EXPECT_EQ(prog.ReadString("Item" + std::to_string(i), "V_inc", ""), "0,00");
        EXPECT_EQ(prog.ReadString("Item" + std::to_string(i), "Q_av", ""), "0,00");
    }
    const float buffer = column(points.points.back(), points, "cem_V");
    const float total = column(points.points.back(), points, "cem_Vsumm");
    EXPECT_GT(buffer, 0.005f) << sim.output();
    EXPECT_NEAR(prog.ReadFloat("Item0", "V_inc", -1), buffer, 0.0051);
    EXPECT_EQ(prog.ReadString("Item2", "Vsumm", ""), prog.ReadString("Item0", "V_inc", "?"));

    auto rpt = cement::read_report_data((cement_folder(root) / "cement_program_2.rpt").string());
    std::map<std::string, std::string> r(rpt.begin(), rpt.end());
    EXPECT_EQ(r["cem_V"], "0,00");
    EXPECT_EQ(r["prod_V"], "0,00");
    EXPECT_EQ(r["Vsumm"], r["buf_V"]);
    EXPECT_NEAR(rtl::IniFile(cement_folder(root) / "cement_program_2.rpt").ReadFloat("Report", "Vsumm", -1), total,
                0.0051);
}

// A stage run through, then a new programme stopped early: the new stage's
// report holds only what it pumped (its buffer), none of the stage before.
TEST(CementLine, ANewStageReportsOnlyItsOwnVolumes) {
    testing::StationRig rig;
    const fs::path& root = rig.root();
    prepare(rig, "t pressure density temperature flow\n0 40 1.20 20 10\n100 40 1.20 20 10\n");
    ASSERT_TRUE(start_station(rig, ""));
    // The new stage's buffer runs five seconds, so that a loaded machine's
    // late presses still leave it a volume to report.
    Child host = host_program(rig, 20,
                              "2:Начать программу,4:Следующий этап,6:Следующий этап,8:Завершить этап,"
                              "10:Начать новую программу,12:Начать программу,17:Следующий этап");
    host.finish(false);
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << host.output();
    const auto lines = host.lines();
    ASSERT_TRUE(has(lines, "trip 3 started on a plug-in's request")) << host.output();

    auto read = [&](int stage) {
        auto rpt = cement::read_report_data((cement_folder(root) / ("cement_program_" + std::to_string(stage) +
                                                                    ".rpt"))
                                                .string());
        return std::map<std::string, std::string>(rpt.begin(), rpt.end());
    };
    auto first = read(2);
    EXPECT_NE(first["cem_V"], "0,00") << host.output();
    EXPECT_NE(first["prod_V"], "0,00");
    auto second = read(3);
    EXPECT_EQ(second["cem_V"], "0,00") << host.output();
    EXPECT_EQ(second["prod_V"], "0,00");
    EXPECT_NE(second["buf_V"], "0,00");
    EXPECT_EQ(second["Vsumm"], second["buf_V"]);
}

}  // namespace
}  // namespace station_host

#endif
