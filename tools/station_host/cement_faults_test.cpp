// The cementing job's files when the station fails under it: the host
// killed in the middle of an element and started again, the cement folder's
// disk full for the whole run. The station host with the cementing plug-in,
// the simulated cementing-control station on a pseudo-terminal.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/testing.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_plugin.h"
#include "plugins/cement/cement_points.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/station_setup.h"

#ifdef STATION_CEMENT_PLUGIN

namespace station_host {
namespace {

namespace fs = std::filesystem;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

using Child = station_host::testing::BuiltProgram;

using station_host::testing::has;

void prepare_station(const fs::path& root) {
    const std::string programme = prepare_cement_station((root / "station").string(), "101", {});
    rtl::IniFile(programme).WriteString("Main", "cem_planV", "0,04");
    fs::create_directories(root / "plugins");
    fs::copy_file(STATION_CEMENT_PLUGIN, root / "plugins" / "cement.so");
    std::ofstream(root / "job.txt") << "t pressure density temperature flow\n"
                                       "0 40 1.20 20 10\n"
                                       "1000 40 1.20 20 10\n";
}

std::vector<std::string> host_args(const fs::path& root, int trip, int seconds, const std::string& presses) {
    return {"--port",  "",          "--well",    (root / "well").string(),    "--station", (root / "station").string(),
            "--trip",  std::to_string(trip),     "--seconds", std::to_string(seconds), "--plugins",
            (root / "plugins").string(), "--protocol", "СКЦ", "--press", presses};
}

// Waits, bounded, until `done` holds; false when it never did.
template <class F>
bool wait_for(F done, int seconds = 60) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

int cycles(const std::vector<std::string>& lines) {
    int n = 0;
    for (const auto& l : lines) n += l.rfind("cycle ", 0) == 0;
    return n;
}

// kill -9 in the middle of the cement slurry, then a new host run: the
// points saved lose at most a few seconds, the operator's buttons take the
// stage on, and it runs to its report.
TEST(CementFaults, AHostKilledMidElementLosesSecondsAndTheStageRunsOnAfterARestart) {
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    prepare_station(root);
    Child sim("device_simulator",
              {"--device", "cement", "--pty", "--scenario", (root / "job.txt").string(), "--seconds", "180"}, true);
    ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
    const std::string port = sim.first_line().substr(6);
    const fs::path cement = root / "station" / "101" / "cement";
    const std::string programme = (cement / "cement_program_2.ini").string();
    const std::string points_file = (cement / "2.cem").string();

    ChartPoints saved;
    std::size_t saved_volume_points = 0;
    {
        auto args = host_args(root, 1, 120, "2:Начать программу,5:Следующий этап");
        args[1] = port;
        Child host("station_host", args);
        // The slurry runs 12 s or more, then a few seconds more go by.
        int at = 0;
        ASSERT_TRUE(wait_for([&] {
            CementData job;
            TReportOptions report;
            if (!cement::load_programme(programme, job, report) || job.element != 1) return false;
            ChartPoints p;
            if (cement::load_points_file(points_file, p) != cement::PointsRead::ok || p.points.empty()) return false;
            if ((p.points.back().time - job.program[1].start) * 86400 < 12) return false;
            at = cycles(host.lines());
            return true;
        })) << host.output();
        ASSERT_TRUE(wait_for([&] { return cycles(host.lines()) >= at + 3; })) << host.output();
        host.signal(SIGKILL);
        const double killed = rtl::Now();
        host.finish(false);
        ASSERT_EQ(cement::load_points_file(points_file, saved), cement::PointsRead::ok);
        ASSERT_FALSE(saved.points.empty());
        EXPECT_LE((killed - saved.points.back().time) * 86400, CementPlugin::points_save_interval + 2)
            << "seconds of points lost";
        saved_volume_points = saved.points.size();
    }

    auto args = host_args(root, 3, 20, "2:Следующий этап,5:Следующий этап,8:Завершить этап");
    args[1] = port;
    Child host("station_host", args);
    host.finish(false);
    const auto lines = host.lines();
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 0) << host.output();
    EXPECT_TRUE(has(lines, "trip 3 stopped on a plug-in's request")) << host.output();

    CementData job;
    TReportOptions report;
    ASSERT_TRUE(cement::load_programme(programme, job, report));
    EXPECT_EQ(job.element, cement::element_finished);
    ChartPoints after;
    ASSERT_EQ(cement::load_points_file(points_file, after), cement::PointsRead::ok);
    ASSERT_GT(after.points.size(), saved_volume_points);
    // The points saved before the crash are the stage's first ones.
    EXPECT_EQ(after.points[saved_volume_points - 1].time, saved.points.back().time);
    const int v = saved.column_index("cem_V");
    ASSERT_GE(v, 0);
    const double before = saved.points.back().values[std::size_t(v)];
    rtl::IniFile ini(programme);
    // Nothing pumped before the crash is lost: the slurry's points after the
    // restart go on from its volume then (however soon the operator pressed
    // on), and its volume is that of its last point (written with two
    // decimals).
    const double slurry = ini.ReadFloat("Item1", "V_inc", -1);
    EXPECT_GE(slurry, before - 0.005) << host.output();
    // (The displacement's points begin its volume afresh: the programme
    // keeps its start to the second only, so the fall tells where.)
    double last_slurry = before;
    for (std::size_t k = saved_volume_points; k < after.points.size(); ++k) {
        const double now = after.points[k].values[std::size_t(v)];
        if (now < last_slurry) break;
        last_slurry = now;
    }
    EXPECT_NEAR(slurry, last_slurry, 0.0051) << host.output();
    EXPECT_GT(ini.ReadFloat("Item2", "V_inc", -1), 0.0);
    EXPECT_TRUE(fs::exists(cement / "cement_program_2.rpt"));
}

// The cement folder's disk full from start to end: the job runs, the files
// it could not write are named, and the host's status says so.
TEST(CementFaults, AFullDiskUnderTheCementFolderEndsTheHostWithStatusThree) {
    os::testing::TempDir dir;
    const fs::path root = dir.path();
    prepare_station(root);
    const fs::path cement = root / "station" / "101" / "cement";
    const fs::path kept = root / "kept";
    fs::rename(cement, kept);
    fs::create_directories(cement);
    if (::mount("tmpfs", cement.c_str(), "tmpfs", 0, "size=256k") != 0) {
        STATION_SKIP_UNLESS_CI("no tmpfs can be mounted here (needs CAP_SYS_ADMIN)");
    }
    struct Unmount {
        std::string folder;
        ~Unmount() { ::umount2(folder.c_str(), MNT_DETACH); }
    } unmount{cement.string()};
    fs::copy(kept, cement, fs::copy_options::recursive);
    {
        std::ofstream out(cement / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (out.write(block.data(), std::streamsize(block.size())) && out.flush()) {}
    }
    Child sim("device_simulator",
              {"--device", "cement", "--pty", "--scenario", (root / "job.txt").string(), "--seconds", "60"}, true);
    ASSERT_EQ(sim.first_line().rfind("line: ", 0), 0u) << sim.first_line();
    auto args = host_args(root, 1, 14, "2:Начать программу,5:Следующий этап,8:Следующий этап,11:Завершить этап");
    args[1] = sim.first_line().substr(6);
    Child host("station_host", args);
    host.finish(false);
    const auto lines = host.lines();
    ASSERT_TRUE(host.code());
    EXPECT_EQ(*host.code(), 3) << host.output();
    for (const char* f : {"cement_program_2.ini", "cement_program_2.rpt", "2.cem"})
        EXPECT_TRUE(has(lines, "a plug-in's file left unwritten: " + (cement / f).string())) << f << host.output();
}

}  // namespace
}  // namespace station_host

#endif
