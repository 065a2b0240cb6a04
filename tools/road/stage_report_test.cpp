// The road's report step itself, with a real headless office: told to end at
// several moments of the build, stage_report leaves no build folder beside
// the report and no office behind; a build removes the build folders that
// killed builds left, and leaves those a living build holds.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/folder_lock.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "programs/grouttab/testdata/stage_files.h"
#include "programs/grouttab/uno_server.h"

namespace {

namespace fs = std::filesystem;

class StageReport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!grouttab::office_installed()) STATION_SKIP_UNLESS_CI("LibreOffice is not installed");
        ASSERT_TRUE(fs::exists(program)) << program << " is not built";
        fs::create_directories(station.path() + "/params/cement");
        fs::copy_file(STATION_SOURCE_DIR "/programs/grouttab/params/cement/report_new.xls",
                      station.path() + "/params/cement/report_new.xls");
        grouttab::testing::write_well(station.path(), "7", "2");
    }

    bool start(os::Process& p) {
        return p.start({program,
                        {"--station", station.path(), "--well", "7", "--stage", "2", "--profile", profile()},
                        "",
                        true,
                        false,
                        false});
    }

    // One profile for the suite: a fresh one starts the office twice.
    static std::string profile() {
        static os::testing::TempDir dir;
        return dir.path() + "/office";
    }

    // The build folders beside the report.
    std::vector<std::string> build_folders() const {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(report_folder, ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(".grouttab-", 0) == 0) out.push_back(name);
        }
        return out;
    }

    // The offices started on this test's profile that still run.
    static std::vector<int> offices() {
        std::vector<int> out;
        for (const auto& p : os::testing::processes())
            if (p.state != 'Z' && p.command.find("soffice") != std::string::npos &&
                p.command.find(profile()) != std::string::npos)
                out.push_back(p.pid);
        return out;
    }

    const std::string program = STATION_BINARY_DIR "/bin/stage_report";
    os::testing::TempDir station;
    const std::string report_folder = station.path() + "/7/cement/report";
    const std::string report = report_folder + "/7_2.xls";
};

TEST_F(StageReport, AnEndingSignalDuringTheBuildLeavesNoBuildFolderAndNoOffice) {
    struct Moment {
        const char* name;
        int signal;
        // What the build folder holds when the signal goes.
        std::function<bool(const std::string& folder)> reached;
    };
    const std::vector<Moment> moments = {
        {"the folder made", SIGTERM, [](const std::string&) { return true; }},
        {"the report stored once", SIGINT, [](const std::string& folder) { return fs::exists(folder + "/7_2.xls"); }},
        {"the report stored once", SIGHUP, [](const std::string& folder) { return fs::exists(folder + "/7_2.xls"); }},
    };
    for (const auto& m : moments) {
        const std::string at = std::string(m.name) + ", " + std::to_string(m.signal);
        os::Process p;
        ASSERT_TRUE(start(p)) << at;
        // The office's start may take minutes on a loaded machine.
        const bool reached = os::testing::wait_until(
            [&] {
                for (const auto& f : build_folders())
                    if (m.reached(report_folder + "/" + f)) return true;
                return !p.running() || p.wait(0).has_value();
            },
            240000, 5);
        ASSERT_TRUE(reached) << at;
        ASSERT_FALSE(p.wait(0).has_value()) << at << ": the build ended before the moment";
        ASSERT_EQ(::kill(p.pid(), m.signal), 0) << at;
        std::string said;
        const auto code = p.read_lines([&](const std::string& l) { said += l + "\n"; }, 120000);
        EXPECT_EQ(code, 128 + m.signal) << at << ": " << said;
        EXPECT_EQ(build_folders(), std::vector<std::string>{}) << at;
        EXPECT_NE(said.find("stopped by "), std::string::npos) << at << ": " << said;
        EXPECT_EQ(offices(), std::vector<int>{}) << at;
        if (std::string(m.name) == "the folder made") {
            EXPECT_FALSE(fs::exists(report)) << at;
        }
    }
}

TEST_F(StageReport, ABuildRemovesTheFoldersOfEndedBuildsAndLeavesThoseInUse) {
    // Left by a build that was killed: half a report and the office's lock.
    const std::string ended = report_folder + "/.grouttab-Ab3dE9";
    fs::create_directories(ended);
    os::testing::write_bytes(ended + "/7_2.xls", "half a report");
    os::testing::write_bytes(ended + "/.~lock.7_2.xls#", "office lock");
    // Held by a build that still runs (another program's).
    const std::string living = report_folder + "/.grouttab-Liv1ng";
    fs::create_directories(living);
    os::testing::Child holder([&](os::testing::ChildSide& side) {
        os::FolderHolderLock lock;
        if (lock.try_lock(living, ".holder") != os::FolderHolderLock::Result::held) return 1;
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(holder.wait_ready(), 'r');
    // Made a moment ago: its build may not have taken hold of it yet.
    const std::string fresh = report_folder + "/.grouttab-Fre5hh";
    fs::create_directories(fresh);
    const auto an_hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(ended, an_hour_ago);
    fs::last_write_time(living, an_hour_ago);

    os::Process p;
    ASSERT_TRUE(start(p));
    std::string said;
    ASSERT_EQ(p.read_lines([&](const std::string& l) { said += l + "\n"; }, 300000), 0) << said;
    EXPECT_TRUE(fs::exists(report));
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(fs::exists(living));
    EXPECT_TRUE(fs::exists(fresh));
    holder.release();
    EXPECT_EQ(holder.join(), 0);
}

}  // namespace
