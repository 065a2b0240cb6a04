// The station host end to end: the real device_simulator and station_host
// programs over a pseudo-terminal and over loopback TCP, the trip's files
// read back through the data-file table and checked against the scenario
// the simulator played; faults on the line; a clean stop by signal; and a
// port that cannot be opened.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "library/storage/file_storage.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/os/test_peers.h"
#include "tools/devsim/endpoint.h"
#include "tools/devsim/frames.h"
#include "tools/devsim/wire.h"
#include "tools/devsim/scenario.h"
#include "tools/station_host/station_setup.h"
#include "tools/station_host/trip_files.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;

const std::string bin = std::string(STATION_BINARY_DIR) + "/bin/";

// A steady rig drilling ahead: every channel constant, the block going down
// 0.1 m a second with the string on the hook, so the depth grows by that.
const char* const steady_rig =
    "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
    "0   100       20        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
    "100 100       10        12  0.5       6.5    60    61    0     2   1.5     32      31\n";

// What the steady rig's channels read as parameters.
const std::vector<std::pair<const char*, double>> steady_values = {
    {"вес_на_крюке", 100}, {"давление_на_входе", 12}, {"давление_в_затрубъе", 0.5}, {"момент_ротора", 6.5},
    {"сумм_газ", 2},       {"метан_абс", 1.5},        {"расход_на_входе", 32},      {"расход_на_выходе", 31},
    {"ходы_насоса1", 60},  {"ходы_насоса2", 61},
};

using os::testing::read_line;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The simulator as a process: started, its line read, its output drained on
// a thread of its own so it never blocks on a full pipe.
class SimProcess {
public:
    SimProcess(const std::vector<std::string>& args) {
        os::SpawnOptions o;
        o.program = bin + "device_simulator";
        o.args = args;
        o.capture_output = true;
        std::string error;
        started_ = proc_.start(o, &error);
        EXPECT_TRUE(started_) << error;
        if (!started_) return;
        std::string first = read_line(proc_.stdout_fd(), 120000);
        EXPECT_EQ(first.rfind("line: ", 0), 0u) << first;
        if (first.rfind("line: ", 0) == 0) address_ = first.substr(6);
        drain_ = std::thread([this] {
            code_ = proc_.read_lines(
                [this](const std::string& l) {
                    std::lock_guard<std::mutex> hold(mutex_);
                    lines_.push_back(l);
                },
                600000);
        });
    }
    ~SimProcess() {
        if (drain_.joinable()) {
            if (proc_.running()) ::kill(proc_.pid(), SIGTERM);
            drain_.join();
        }
    }
    const std::string& address() const { return address_; }
    // Stops it the way an unplugged unit stops: at once.
    void unplug() { ::kill(proc_.pid(), SIGKILL); }
    // Starts the scenario of a simulator started with --hold.
    void release() { ::kill(proc_.pid(), SIGUSR1); }
    // Whether it said a line holding `part` (waits at most timeout_ms, a
    // bound for a hung simulator only).
    bool wait_line(const std::string& part, int timeout_ms = 120000) {
        return os::testing::wait_until(
            [&] {
                std::lock_guard<std::mutex> hold(mutex_);
                for (const auto& l : lines_)
                    if (l.find(part) != std::string::npos) return true;
                return false;
            },
            timeout_ms, 20);
    }
    // How many reports it has said it sent.
    int reports() {
        std::lock_guard<std::mutex> hold(mutex_);
        return int(std::count_if(lines_.begin(), lines_.end(),
                                 [](const std::string& l) { return l.rfind("report ", 0) == 0; }));
    }
    std::vector<std::string> finish() {
        if (drain_.joinable()) {
            if (proc_.running()) ::kill(proc_.pid(), SIGTERM);
            drain_.join();
        }
        std::lock_guard<std::mutex> hold(mutex_);
        return lines_;
    }

private:
    os::Process proc_;
    bool started_ = false;
    std::string address_;
    std::thread drain_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::optional<int> code_;
};

struct HostRun {
    std::optional<int> code;
    std::vector<std::string> lines;  // standard output and error, in order
    std::string summary;
    bool has(const std::string& part) const {
        for (const auto& l : lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    // The number written just before " what" in the summary; -1 for none.
    long summary_count(const std::string& what) const {
        for (std::size_t at = summary.find(" " + what); at != std::string::npos;
             at = summary.find(" " + what, at + 1)) {
            std::size_t begin = at;
            while (begin > 0 && std::isdigit(static_cast<unsigned char>(summary[begin - 1]))) --begin;
            if (begin < at) return std::stol(summary.substr(begin, at - begin));
        }
        return -1;
    }
};

// The host's output as it comes, for the test's side that acts on the
// running host: it waits for what the host says instead of for a while.
class HostOutput {
public:
    void add(const std::string& line) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            lines_.push_back(line);
        }
        changed_.notify_all();
    }
    void ended() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    }
    // Whether a line that `fits` came; waits for it at most timeout_ms (a
    // bound for a hung host only) or until the host ended.
    bool wait_line_where(const std::function<bool(const std::string&)>& fits, int timeout_ms = 120000) {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                          [&] { return ended_ || std::any_of(lines_.begin(), lines_.end(), fits); });
        return std::any_of(lines_.begin(), lines_.end(), fits);
    }
    bool has_ended() {
        std::lock_guard<std::mutex> hold(mutex_);
        return ended_;
    }
    bool wait_line(const std::string& part, int timeout_ms = 120000) {
        return wait_line_where([&](const std::string& l) { return l.find(part) != std::string::npos; }, timeout_ms);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool ended_ = false;
};

// The number at `at` of the text; -1 for none.
long number_at(const std::string& text, std::size_t at) {
    long n = -1;
    if (at > text.size()) return n;
    std::from_chars(text.data() + at, text.data() + text.size(), n);
    return n;
}

// The records queued for the writer that a cycle line reports; -1 on
// another line.
long queued_in(const std::string& line) {
    const std::size_t at = line.find("(queued ");
    if (line.rfind("cycle ", 0) != 0 || at == std::string::npos) return -1;
    return number_at(line, at + 8);
}

HostRun run_host(const std::vector<std::string>& args, const std::function<void(pid_t, HostOutput&)>& meanwhile) {
    os::Process host;
    os::SpawnOptions o;
    o.program = bin + "station_host";
    o.args = args;
    o.capture_output = true;
    std::string error;
    HostRun r;
    EXPECT_TRUE(host.start(o, &error)) << error;
    HostOutput seen;
    std::thread side;
    if (meanwhile) side = std::thread([&] { meanwhile(host.pid(), seen); });
    r.code = host.read_lines(
        [&](const std::string& l) {
            r.lines.push_back(l);
            seen.add(l);
        },
        600000);
    seen.ended();
    if (side.joinable()) side.join();
    for (const auto& l : r.lines)
        if (l.rfind("summary: ", 0) == 0) r.summary = l;
    return r;
}

HostRun run_host(const std::vector<std::string>& args, const std::function<void(pid_t)>& meanwhile = {}) {
    if (!meanwhile) return run_host(args, std::function<void(pid_t, HostOutput&)>());
    return run_host(args, [&](pid_t pid, HostOutput&) { meanwhile(pid); });
}

int column(const FileStorage& t, const char* name) { return t.get_param_index(name); }

// Waits (at most two minutes, however slowly a loaded machine starts the host)
// until the file has grown past `than` bytes; its size then.
std::uintmax_t wait_for_growth(const std::string& file, std::uintmax_t than = 0) {
    std::error_code ec;
    for (int waited = 0; waited < 120000; waited += 50) {
        const std::uintmax_t size = fs::file_size(file, ec);
        if (!ec && size > than) return size;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

// The file's size now; 0 for none.
std::uintmax_t size_of(const std::string& file) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

// An environment variable set for the hosts a test starts, put back after.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name.c_str())) old_ = old;
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

class StationHost : public ::testing::Test {
protected:
    void SetUp() override {
        script = dir.path() + "/rig.txt";
        std::ofstream(script) << steady_rig;
        well = dir.path() + "/well";
    }

    // Every record of a file holds the steady rig's values, within the
    // converter's step (full scale / 4095) and the rates' own precision.
    void expect_steady_values(const std::string& file) {
        FileStorage t;
        t.add_file(file, false);
        ASSERT_GT(t.get_data_size(), 0) << file;
        for (const auto& [name, value] : steady_values) {
            const int c = column(t, name);
            ASSERT_GE(c, 0) << name << " in " << file;
            for (int i = 0; i < t.get_data_size(); ++i)
                EXPECT_NEAR(t.get_record(i)->values[std::size_t(c)], value, 0.07) << name << " record " << i;
        }
    }

    // The string hangs on the hook all along: the block went down exactly
    // as far as the bit, so their sum stays where it started (within the
    // block's second of averaging at 0.1 m/s).
    void expect_block_follows_bit(const std::string& file, double sum) {
        FileStorage t;
        t.add_file(file, false);
        const int c = column(t, "тальблок");
        ASSERT_GE(c, 0) << file;
        ASSERT_GT(t.get_data_size(), 0) << file;
        for (int i = 0; i < t.get_data_size(); ++i)
            EXPECT_NEAR(t.get_record(i)->values[std::size_t(c)] + t.get_record(i)->depth_cur, sum, 0.12) << i;
    }

    os::testing::TempDir dir;
    std::string script, well;
};

std::vector<std::string> host_args(const std::string& port, const std::string& well, int seconds) {
    return {"--port",      port, "--well",  well,  "--trip", "7", "--seconds", std::to_string(seconds),
            "--time-step", "1",  "--depth", "1000"};
}

class StationHostLines : public StationHost, public ::testing::WithParamInterface<const char*> {};

TEST_P(StationHostLines, RecordsTheScenarioTheUnitPlayed) {
    const bool tcp = std::string(GetParam()) == "tcp";
    std::vector<std::string> sim_args = {"--scenario", script, "--period", "200", "--seconds", "600"};
    if (tcp)
        sim_args.insert(sim_args.end(), {"--tcp", "0"});
    else
        sim_args.push_back("--pty");
    SimProcess sim(sim_args);
    ASSERT_FALSE(sim.address().empty());

    HostRun r = run_host(host_args(sim.address(), well, 5));
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    ASSERT_FALSE(r.summary.empty());
    EXPECT_TRUE(r.has("cycle 1: depth"));
    EXPECT_EQ(r.summary_count("lost blocks"), 0);
    // The default set-up was made on this first run.
    EXPECT_TRUE(fs::exists(fs::path(well) / params_file));
    EXPECT_TRUE(fs::exists(fs::path(well) / settings_file));

    auto files = read_trip_files(well, 7);
    ASSERT_EQ(files.size(), 4u);
    const TripFile& time = files[0];
    const TripFile& depth = files[1];
    const TripFile& lag = files[2];
    const TripFile& fast = files[3];
    for (const TripFile& f : files) {
        ASSERT_TRUE(f.exists) << f.path;
        EXPECT_EQ(f.trip_number, "7") << f.path;
        EXPECT_TRUE(f.has_end) << f.path;
        EXPECT_TRUE(f.warnings.empty()) << f.path << ": " << ::testing::PrintToString(f.warnings);
        EXPECT_EQ(f.duplicates, 0) << f.path;
    }
    // Every record the host made is in its file, once.
    EXPECT_EQ(time.records, r.summary_count("time"));
    EXPECT_EQ(fast.records, r.summary_count("fast"));
    EXPECT_EQ(depth.records, r.summary_count("depth"));
    EXPECT_GE(time.records, 3);
    for (const DefaultChannel& c : default_channels())
        EXPECT_NE(std::find(time.params.begin(), time.params.end(), c.global_name), time.params.end()) << c.global_name;

    expect_steady_values(time.path);
    expect_steady_values(depth.path);
    expect_block_follows_bit(time.path, DefaultRig::block_position + 1000);
    // The hub's calibration served, and its computed values ran clean.
    EXPECT_FALSE(r.has("calibrated interval")) << ::testing::PrintToString(r.lines);
    EXPECT_EQ(slurp(fs::path(well) / "registr.errors.log").find("CalcValues::"), std::string::npos);

    // The block went down 0.1 m a second from 1000 m: the bottom followed
    // the bit, one depth record per 0.2 m drilled, each at its mark, and
    // the lag lines still in the annulus flushed at the end.
    EXPECT_GT(time.depth_max, 1000.1);
    EXPECT_LT(time.depth_max, 1001.0);
    ASSERT_GE(depth.records, 1);
    FileStorage d;
    d.add_file(depth.path, false);
    for (int i = 0; i < d.get_data_size(); ++i)
        EXPECT_FLOAT_EQ(d.get_record(i)->depth_z, float(1000.0 + 0.2 * (i + 1))) << i;
    EXPECT_EQ(lag.records, depth.records);
    FileStorage l;
    l.add_file(lag.path, false);
    for (int i = 0; i < l.get_data_size(); ++i) EXPECT_EQ(l.get_record(i)->operation, 2) << i;

    // The depths are kept for the next run, and the hub's state is saved.
    rtl::IniFile ini((fs::path(well) / settings_file).string());
    EXPECT_NEAR(ini.ReadFloat("рейс", "глубина_забоя", 0), time.depth_max, 0.2);
    EXPECT_NEAR(ini.ReadFloat("прочие_настройки", "last_tal", 0) + ini.ReadFloat("рейс", "глубина_долота", 0),
                DefaultRig::block_position + 1000, 0.01);
    EXPECT_TRUE(fs::exists(fs::path(well) / "sys.bin"));
    // The console's display went back to the unit.
    auto sim_lines = sim.finish();
    bool display = false;
    for (const auto& s : sim_lines) display = display || s.find("display") != std::string::npos;
    EXPECT_TRUE(display) << ::testing::PrintToString(sim_lines);
}

INSTANTIATE_TEST_SUITE_P(Lines, StationHostLines, ::testing::Values("pty", "tcp"));

TEST_F(StationHost, AnUncalibratedDepthSensorIsReportedOnceAndTheConfiguredCoefficientServes) {
    ensure_default_setup(well);
    {
        rtl::IniFile ini((fs::path(well) / settings_file).string());
        rtl::IniFile::Batch batch(ini);
        for (int i = 1; i <= 3; ++i) ini.WriteString(depth_calc_section, "item" + std::to_string(i), "27,18,0");
        ini.WriteFloat("прочие_настройки", "last_tal", 20);
        batch.commit();
    }
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 4));
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    long said = 0;
    for (const auto& l : r.lines) said += l.find("has no calibrated interval") != std::string::npos;
    EXPECT_EQ(said, 1) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("using the configured 100 pulses per metre"));
    auto files = read_trip_files(well, 7);
    EXPECT_GT(files[0].depth_max, 1000.1);
    EXPECT_LT(files[0].depth_max, 1001.0);
    expect_block_follows_bit(files[0].path, 20 + 1000);
}

TEST_F(StationHost, ThePluginsOfTheirFolderSeeTheTripEveryCycleAndAreFreed) {
    const fs::path plugins = fs::path(dir.path()) / "own_plugins";
    fs::create_directories(plugins);
    fs::copy_file(std::string(STATION_BINARY_DIR) + "/test_plugins/station_host/recorder.so", plugins / "recorder.so");
    const std::string calls = dir.path() + "/calls.txt";
    ::setenv("STATION_HOST_PLUGIN_LOG", calls.c_str(), 1);
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    std::vector<std::string> args = host_args(sim.address(), well, 4);
    args.insert(args.end(), {"--plugins", plugins.string()});
    HostRun r = run_host(args);
    ::unsetenv("STATION_HOST_PLUGIN_LOG");
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("plug-in 1: Запись вызовов (recorder) from " + plugins.string()))
        << ::testing::PrintToString(r.lines);

    // Loaded, told of trip 7 as a new trip, shown, its data() once a cycle while
    // recording, told of the end, and freed before the host exited.
    std::vector<std::string> seen;
    std::istringstream in(slurp(calls));
    for (std::string l; std::getline(in, l);) seen.push_back(l);
    const long cycles = r.summary_count("cycles");
    ASSERT_GE(cycles, 3) << r.summary;
    // Shown once, from the loop's first turn (a cycle may come before it).
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "show 1"), 1) << ::testing::PrintToString(seen);
    seen.erase(std::remove(seen.begin(), seen.end(), "show 1"), seen.end());
    std::vector<std::string> expected = {"loaded", "start 7 0"};
    expected.insert(expected.end(), std::size_t(cycles), "data 1");
    expected.insert(expected.end(), {"stop", "freed"});
    EXPECT_EQ(seen, expected);
    // The hub gave it its callbacks: its report is in the station's log.
    EXPECT_NE(slurp(fs::path(well) / "registr.errors.log").find("'recorder' : registration started"),
              std::string::npos);

    // A start that fails after the loading frees them too: a parameter
    // table without parameters.
    fs::remove(calls);
    std::ofstream(fs::path(well) / "params.tbl", std::ios::trunc).close();
    auto line = devsim::Endpoint::open_pty();
    ::setenv("STATION_HOST_PLUGIN_LOG", calls.c_str(), 1);
    HostRun failed =
        run_host({"--port", line->address(), "--well", well, "--seconds", "1", "--plugins", plugins.string()});
    ::unsetenv("STATION_HOST_PLUGIN_LOG");
    ASSERT_TRUE(failed.code);
    EXPECT_EQ(*failed.code, 1);
    EXPECT_TRUE(failed.has("holds no parameter")) << ::testing::PrintToString(failed.lines);
    EXPECT_EQ(slurp(calls), "loaded\nfreed\n");
}

TEST_F(StationHost, PluginsBesideTheDataOrOpenToOthersAreNeverLoaded) {
    // A "plugins" folder beside the well is whoever writes the data's, not
    // the station's: the default folder is the program's own.
    const fs::path beside = fs::path(dir.path()) / "plugins";
    fs::create_directories(beside);
    fs::copy_file(std::string(STATION_BINARY_DIR) + "/test_plugins/station_host/recorder.so", beside / "recorder.so");
    const std::string calls = dir.path() + "/calls.txt";
    ::setenv("STATION_HOST_PLUGIN_LOG", calls.c_str(), 1);
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 2));
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(r.has("plug-in 1:")) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(fs::exists(calls));

    // A folder, or a library, that other users may write is refused, named.
    for (const bool folder : {true, false}) {
        fs::permissions(beside, fs::perms(folder ? 0777 : 0755));
        fs::permissions(beside / "recorder.so", fs::perms(folder ? 0755 : 0775));
        HostRun refused =
            run_host({"--port", sim.address(), "--well", well, "--seconds", "1", "--plugins", beside.string()});
        ASSERT_TRUE(refused.code);
        EXPECT_EQ(*refused.code, 1);
        EXPECT_TRUE(refused.has((folder ? beside : beside / "recorder.so").string() + "' is writable by other users"))
            << ::testing::PrintToString(refused.lines);
        EXPECT_FALSE(fs::exists(calls));
    }
    ::unsetenv("STATION_HOST_PLUGIN_LOG");
}

TEST_F(StationHost, LineFaultsLeaveGapsAndErrorsButNoLostOrRepeatedRecords) {
    // Reports 10 and on: a 2.5 s silence, a repeated block, two blocks
    // never sent, a bit flipped, junk on the line. They come once the host
    // records: a loaded machine may start it after the tenth report.
    SimProcess sim({"--pty", "--hold", "--scenario", script, "--period", "200", "--seconds", "60", "--faults",
                    "silence@10x2500,repeat@14,skip@18x2,flip@22,stray@25x5"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid, HostOutput& host) {
        const std::string time_file = well + "/0007.realtim";
        wait_for_growth(time_file, wait_for_growth(time_file));
        sim.release();
        EXPECT_TRUE(host.wait_line("device: data again"));
        // The junk is the last fault; the host records a while after it.
        EXPECT_TRUE(sim.wait_line("+stray"));
        wait_for_growth(time_file, wait_for_growth(time_file, size_of(time_file)));
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_GE(r.summary_count("s without data"), 1) << r.summary;
    EXPECT_TRUE(r.has("device: no data on " + sim.address()));
    EXPECT_TRUE(r.has("device: data again"));
    EXPECT_TRUE(r.has("follows a block that never came"));
    EXPECT_GE(r.summary_count("lost blocks"), 1);
    // The same in the station's error log.
    const std::string log = slurp(fs::path(well) / "registr.errors.log");
    EXPECT_NE(log.find("no data on"), std::string::npos) << log;

    auto files = read_trip_files(well, 7);
    const TripFile& time = files[0];
    EXPECT_GE(time.time_gaps, 1);
    EXPECT_GE(files[3].time_gaps, 1);
    EXPECT_EQ(time.duplicates, 0);
    EXPECT_EQ(time.records, r.summary_count("time"));
    EXPECT_EQ(files[3].records, r.summary_count("fast"));
    EXPECT_TRUE(time.warnings.empty()) << ::testing::PrintToString(time.warnings);
    // A damaged frame is refused, never recorded as values.
    expect_steady_values(time.path);
}

TEST_F(StationHost, AnUnpluggedUnitOverTcpLeavesAClosedTripAndTheHostRunning) {
    SimProcess sim({"--tcp", "0", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 7), [&](pid_t) {
        // Records on file first, then the unit goes.
        const std::string time_file = well + "/0007.realtim";
        wait_for_growth(time_file, wait_for_growth(time_file));
        sim.unplug();
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("device: no data on"));
    EXPECT_GE(r.summary_count("s without data"), 2) << r.summary;
    auto files = read_trip_files(well, 7);
    EXPECT_GE(files[0].records, 1);
    EXPECT_EQ(files[0].records, r.summary_count("time"));
    EXPECT_TRUE(files[0].has_end);
}

// A unit that reports and never reads what the station sends, its line's
// queue full: the confirmations and the display cannot go. Each write ends
// at its bound as a line fault, the line is reopened, the recording goes on
// and a stop is taken; the exit status says the line failed.
TEST_F(StationHost, AUnitThatNeverReadsCostsLineFaultsNotTheRecorder) {
    os::testing::PtyPair line;
    ASSERT_TRUE(line.ok());
    ASSERT_GT(line.fill_toward_master(), 0u);
    std::atomic<bool> done{false};
    std::thread unit([&] {
        devsim::ConsoleReport report;
        for (int block = 0; !done; ++block) {
            report.block = std::uint8_t(block);
            const devsim::Bytes payload = report.payload();
            const devsim::Bytes wire = devsim::encode_message("SP", payload.data(), payload.size(), 0);
            (void)line.send(wire.data(), wire.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    HostRun r = run_host(host_args(line.path(), well, 0), [&](pid_t pid, HostOutput& host) {
        EXPECT_TRUE(host.wait_line("cycle 3:"));
        EXPECT_TRUE(host.wait_line("stopped taking bytes"));
        ::kill(pid, SIGTERM);
        host.wait_line_where([](const std::string&) { return false; }, 60000);
        if (!host.has_ended()) {
            ADD_FAILURE() << "SIGTERM did not stop the host";
            ::kill(pid, SIGKILL);
        }
    });
    done = true;
    unit.join();
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 5) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("write timed out")) << ::testing::PrintToString(r.lines);
    EXPECT_GE(r.summary_count("frames"), 1) << r.summary;
    auto files = read_trip_files(well, 7);
    EXPECT_GE(files[0].records, 1);
    EXPECT_TRUE(files[0].has_end);
}

// A TCP unit that trickles junk (a byte each 0.8 s) or stays silent once
// connected: the cycle still runs every second, and the silence is told;
// also with the clock set back and forward meanwhile.
TEST_F(StationHost, ATricklingOrSilentTcpUnitLeavesTheCycleOnItsSecond) {
    for (const char* const kind : {"trickling", "silent", "silent under a stepping clock"}) {
        SCOPED_TRACE(kind);
        const bool trickles = kind == std::string("trickling");
        const bool stepping = kind == std::string("silent under a stepping clock");
        std::optional<ScopedEnv> steps;
        if (stepping) steps.emplace("STATION_HOST_CLOCK_STEPS", "2:-3600,4.5:+7200");
        os::testing::LoopbackListener unit;
        ASSERT_NE(unit.port(), 0);
        std::atomic<bool> done{false};
        std::thread peer([&] {
            const int fd = unit.accept(120000);
            while (fd >= 0 && !done) {
                if (trickles) (void)!::write(fd, "U", 1);
                for (int t = 0; t < 16 && !done; ++t) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (fd >= 0) ::close(fd);
        });
        HostRun r = run_host(host_args(unit.address(), well + (trickles ? "1" : stepping ? "3" : "2"), 8));
        done = true;
        peer.join();
        ASSERT_TRUE(r.code);
        EXPECT_EQ(*r.code, 4) << "no frame came" << ::testing::PrintToString(r.lines);
        // Eight seconds give seven cycles or more; a read held for the
        // line's own wait gave two or three.
        EXPECT_GE(r.summary_count("cycles"), 6) << r.summary;
        EXPECT_GE(r.summary_count("s without data"), 5) << r.summary;
        EXPECT_TRUE(r.has("device: no data on " + unit.address())) << ::testing::PrintToString(r.lines);
        if (stepping) {
            EXPECT_TRUE(r.has("clock: the station's clock was set back by 3600 s")) << ::testing::PrintToString(r.lines);
            EXPECT_TRUE(r.has("clock: the station's clock was set forward by 7200 s"))
                << ::testing::PrintToString(r.lines);
        }
    }
}

// Drilling at 1 m/s, the most drilling makes: five depth steps a second.
// The host held up for three seconds (as a loaded machine holds it) finds
// the unit's reports waiting and reads them in the cycles after: a record
// for every step passed, and no jump.
TEST_F(StationHost, ACycleThatComesLateWritesEveryDepthStepItPassed) {
    std::ofstream(script)
        << "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
           "0   100       100       12  0.5       6.5    60    61    0     2   1.5     32      31\n"
           "100 100       0         12  0.5       6.5    60    61    0     2   1.5     32      31\n";
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid, HostOutput& host) {
        // A few seconds drilled on record before the hold-up, and a few
        // cycles after it to read what waited (the file's growth would
        // tell only of the writer, which may flush at once on the resume).
        EXPECT_TRUE(host.wait_line("cycle 3:"));
        const int before = sim.reports();
        ::kill(pid, SIGSTOP);
        EXPECT_TRUE(os::testing::wait_until([&] { return sim.reports() >= before + 15; }, 120000));
        ::kill(pid, SIGCONT);
        EXPECT_TRUE(host.wait_line("cycle 7:"));
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(r.has("bottom jumped")) << ::testing::PrintToString(r.lines);
    auto files = read_trip_files(well, 7);
    const TripFile& depth = files[1];
    EXPECT_GT(depth.depth_max, 1003.5);  // past what was drilled while it stood
    EXPECT_EQ(depth.records, std::lround((depth.depth_max - 1000) / 0.2)) << depth.depth_min << " .. " << depth.depth_max;
    EXPECT_EQ(depth.duplicates, 0);
    EXPECT_EQ(depth.records, r.summary_count("depth"));
}

// Drilling at 1 m/s while the station's clock is set back an hour, then
// forward an hour, then the machine sleeps five seconds: each step is said
// once with its size, the cycle keeps to its second (no cycle of the step's
// own, which would find no frame and call the line silent), every depth
// step gets its record, and the time file shows the step back as it was.
TEST_F(StationHost, TheClockSetBackAndForwardWhileDrillingIsSaidOnceAndCostsNoRecord) {
    std::ofstream(script)
        << "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
           "0   100       100       12  0.5       6.5    60    61    0     2   1.5     32      31\n"
           "100 100       0         12  0.5       6.5    60    61    0     2   1.5     32      31\n";
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    ScopedEnv steps("STATION_HOST_CLOCK_STEPS", "3:-3600,6:3600,8:j5");
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid, HostOutput& host) {
        EXPECT_TRUE(host.wait_line("cycle 12:"));
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    const auto count = [&](const std::string& part) {
        return std::count_if(r.lines.begin(), r.lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    EXPECT_EQ(count("clock: the station's clock was set back by 3600 s while recording trip 7"), 1)
        << ::testing::PrintToString(r.lines);
    EXPECT_EQ(count("clock: the station's clock was set forward by 3600 s while recording trip 7"), 1)
        << ::testing::PrintToString(r.lines);
    // A sleep moves the monotonic clock with the wall clock: no step.
    EXPECT_EQ(count("clock: "), 2) << ::testing::PrintToString(r.lines);
    EXPECT_EQ(count("no data"), 0) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(r.has("bottom jumped")) << ::testing::PrintToString(r.lines);
    // A cycle of its own at a step would split a second's five frames.
    long short_cycles = 0;
    for (std::size_t i = 1; i < r.lines.size(); ++i) {
        const std::size_t at = r.lines[i].find(", frames ");
        if (r.lines[i].rfind("cycle ", 0) == 0 && r.lines[i].rfind("cycle 1:", 0) != 0 && at != std::string::npos &&
            number_at(r.lines[i], at + 9) < 3)
            ++short_cycles;
    }
    EXPECT_LT(short_cycles, 2) << ::testing::PrintToString(r.lines);
    auto files = read_trip_files(well, 7);
    const TripFile& time = files[0];
    EXPECT_EQ(time.clock_steps_back, 1);
    EXPECT_GE(time.largest_step_back, 3598u);
    EXPECT_LE(time.largest_step_back, 3600u);
    const TripFile& depth = files[1];
    EXPECT_GT(depth.depth_max, 1005.0);
    EXPECT_EQ(depth.records, std::lround((depth.depth_max - 1000) / 0.2)) << depth.depth_min << " .. " << depth.depth_max;
    EXPECT_EQ(depth.duplicates, 0);
    EXPECT_EQ(depth.records, r.summary_count("depth"));
}

TEST_F(StationHost, SigtermStopsCleanlyAndTheNextRunContinuesTheDepth) {
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    std::vector<std::string> args = host_args(sim.address(), well, 0);  // until stopped
    HostRun r = run_host(args, [&](pid_t pid) {
        // A few seconds of drilling on record, then the stop.
        const std::string time_file = well + "/0007.realtim";
        wait_for_growth(time_file, wait_for_growth(time_file) + 800);
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    ASSERT_FALSE(r.summary.empty());
    auto files = read_trip_files(well, 7);
    EXPECT_TRUE(files[0].has_end);
    const double reached = files[0].depth_max;
    EXPECT_GT(reached, 1000.0);

    // Trip 8 without --depth starts where trip 7 ended.
    HostRun next =
        run_host({"--port", sim.address(), "--well", well, "--trip", "8", "--seconds", "2", "--time-step", "1"});
    ASSERT_TRUE(next.code);
    EXPECT_EQ(*next.code, 0) << ::testing::PrintToString(next.lines);
    auto second = read_trip_files(well, 8);
    ASSERT_GE(second[0].records, 1);
    EXPECT_GE(second[0].depth_min, reached - 0.001);
}

// Each section header of a settings file's bytes and how often it stands.
std::map<std::string, int> section_headers(const std::string& bytes) {
    std::map<std::string, int> headers;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') ++headers[line];
    }
    return headers;
}

// The host's settings opened and saved in a Linux editor come back as UTF-8,
// with or without a byte-order mark: the next trip still starts where the
// last one ended, and the host writes the file back in Windows-1251 with
// each section once. iconv makes the UTF-8 form.
TEST_F(StationHost, SettingsSavedAsUtf8AreReadAndWrittenBackOnceIn1251) {
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun first = run_host(host_args(sim.address(), well, 3));
    ASSERT_TRUE(first.code);
    ASSERT_EQ(*first.code, 0) << ::testing::PrintToString(first.lines);
    double reached = read_trip_files(well, 7)[0].depth_max;
    ASSERT_GT(reached, 1000.0);

    const std::string ini = (fs::path(well) / settings_file).string();
    const std::map<std::string, int> headers = section_headers(os::testing::read_bytes(ini));
    ASSERT_GT(headers.size(), 3u);
    for (const auto& [header, count] : headers) ASSERT_EQ(count, 1) << header;
    // The file as an editor saves it: iconv's UTF-8, the mark before it or not.
    const auto save_as_utf8 = [&](const std::string& mark) {
        const std::string utf8_path = dir.path() + "/station.utf8.ini";
        os::Process iconv;
        os::SpawnOptions o;
        o.program = "/bin/sh";
        o.args = {"-c", "iconv -f CP1251 -t UTF-8 \"$0\" > \"$1\"", ini, utf8_path};
        std::string error;
        EXPECT_TRUE(iconv.start(o, &error)) << error;
        const auto converted = iconv.wait(30000);
        EXPECT_TRUE(converted && *converted == 0) << "iconv failed";
        const std::string utf8 = mark + os::testing::read_bytes(utf8_path);
        EXPECT_NE(section_headers(utf8), headers) << "the settings hold no Cyrillic section";
        os::testing::write_bytes(ini, utf8);
        return utf8;
    };

    int trip = 8;
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(mark.empty() ? "UTF-8" : "UTF-8 with a byte-order mark");
        const std::string utf8 = save_as_utf8(mark);
        HostRun next = run_host({"--port", sim.address(), "--well", well, "--trip", std::to_string(trip), "--seconds",
                                 "2", "--time-step", "1"});
        ASSERT_TRUE(next.code);
        EXPECT_EQ(*next.code, 0) << ::testing::PrintToString(next.lines);
        auto files = read_trip_files(well, trip++);
        ASSERT_GE(files[0].records, 1);
        EXPECT_GE(files[0].depth_min, reached - 0.001);
        reached = files[0].depth_max;
        const std::string after = os::testing::read_bytes(ini);
        EXPECT_NE(after, utf8) << "the host wrote nothing back";
        EXPECT_NE(after.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(section_headers(after), headers);
    }
}

// A closed terminal or SSH session ends the trip as a stop does: summary,
// trip closed, depths kept for the next trip.
TEST_F(StationHost, AHangUpStopsCleanlyAsSigtermDoes) {
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid) {
        const std::string time_file = well + "/0007.realtim";
        wait_for_growth(time_file, wait_for_growth(time_file) + 800);
        ::kill(pid, SIGHUP);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(r.summary.empty()) << ::testing::PrintToString(r.lines);
    auto files = read_trip_files(well, 7);
    EXPECT_TRUE(files[0].has_end);
    const double reached = files[0].depth_max;
    EXPECT_GT(reached, 1000.0);
    HostRun next =
        run_host({"--port", sim.address(), "--well", well, "--trip", "8", "--seconds", "2", "--time-step", "1"});
    ASSERT_TRUE(next.code);
    auto second = read_trip_files(well, 8);
    ASSERT_GE(second[0].records, 1);
    EXPECT_GE(second[0].depth_min, reached - 0.001);
}

TEST_F(StationHost, StartErrorsNameTheirCauseAndWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const std::string missing = dir.path() + "/no-such-device";
    const std::string station = dir.path() + "/station";
    const std::string not_a_folder = dir.path() + "/plain-file";
    std::ofstream(not_a_folder) << "x";
    auto line = devsim::Endpoint::open_pty();  // a port that opens
    const std::vector<Case> cases = {
        {{"--port", missing, "--well", well, "--seconds", "1"}, 1, "cannot open the port"},
        {{"--well", well}, 2, "--port is needed"},
        {{"--port", missing, "--well", well, "--trip", "x"}, 2, "bad value 'x' for --trip"},
        {{"--port", missing, "--well", well, "--depth", "15001"}, 2, "bad value '15001' for --depth"},
        {{"--port", line->address(), "--well", well, "--plugins", dir.path() + "/no-such-folder"},
         1,
         "no plug-in folder"},
        {{"--port", line->address(), "--well", not_a_folder + "/well", "--station", station},
         1,
         "cannot create the well folder"},
    };
    for (const Case& c : cases) {
        HostRun r = run_host(c.args);
        ASSERT_TRUE(r.code);
        EXPECT_EQ(*r.code, c.code) << c.message;
        EXPECT_TRUE(r.has(c.message)) << ::testing::PrintToString(r.lines);
        // No set-up, no snapshot folder, no error log, no trip.
        for (const std::string& folder : {well, station})
            for (const char* name : {"params.tbl", "station.ini", "data", "registr.errors.log", "0001.realtim"})
                EXPECT_FALSE(fs::exists(fs::path(folder) / name)) << c.message << ": " << folder << "/" << name;
        EXPECT_FALSE(fs::exists(well)) << c.message;  // not even the well folder
    }
}

// A tool's run with its standard output and error apart.
struct ToolRun {
    std::optional<int> code;
    std::string out, err;
};

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args) {
    os::Process p;
    os::SpawnOptions o;
    o.program = bin + program;
    o.args = args;
    o.capture_output = true;
    ToolRun r;
    std::string error;
    EXPECT_TRUE(p.start(o, &error)) << error;
    pollfd fds[2] = {{p.stdout_fd(), POLLIN, 0}, {p.stderr_fd(), POLLIN, 0}};
    std::string* into[2] = {&r.out, &r.err};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((fds[0].fd >= 0 || fds[1].fd >= 0) && std::chrono::steady_clock::now() < deadline) {
        if (::poll(fds, 2, 100) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                into[i]->append(buffer, std::size_t(n));
            else
                fds[i].fd = -1;
        }
    }
    r.code = p.wait(60000);
    if (!r.code) p.kill();
    return r;
}

// The three tools share one command line: --help on standard output with
// every option and the exit statuses; a bad argument named on standard
// error, a pointer to --help, exit status 2, and nothing done.
TEST(ToolCommandLines, HelpAndBadArguments) {
    struct Tool {
        const char* program;
        std::vector<const char*> options;
        std::vector<int> exits;
        std::vector<std::pair<std::vector<std::string>, std::string>> bad;
    };
    const std::vector<Tool> tools = {
        {"station_host",
         {"--port PORT", "--well DIR", "--station DIR", "--trip N", "--seconds S", "--time-step S", "--depth M",
          "--continue", "--plugins DIR", "--help"},
         {0, 1, 2, 3, 4},
         {{{"--bogus"}, "unknown option '--bogus'"},
          {{"-x"}, "unknown option '-x'"},
          {{"--well", "w", "--port"}, "the option '--port' needs a value"},
          {{"--continue=yes"}, "the option '--continue' takes no value"},
          {{"--port", "p", "--well", "w", "stray"}, "unexpected argument 'stray'"},
          {{"--port", "p", "--well", "w", "--seconds", "1e9"}, "bad value '1e9' for --seconds"},
          {{"--port", "p", "--well", "w", "--time-step", "7s"}, "bad value '7s' for --time-step"}}},
        {"station_files",
         {"--well DIR", "--trip N", "--help"},
         {0, 1, 2},
         {{{"--bogus"}, "unknown option '--bogus'"}, {{"--trip", "-1"}, "bad value '-1' for --trip"}}},
        {"device_simulator",
         {"--device KIND", "--pty", "--tcp PORT", "--scenario FILE", "--seed N", "--period MS", "--reports N",
          "--seconds S", "--faults LIST", "--resend", "--hold", "--bmv 48|11", "--help"},
         {0, 1, 2},
         {{{"--bogus"}, "unknown option '--bogus'"},
          {{"--device", "toaster"}, "unknown device 'toaster'"},
          {{"--faults", "flip@"}, "flip@"},
          {{"--bmv", "20"}, "bad value '20' for --bmv"}}},
    };
    for (const Tool& t : tools) {
        SCOPED_TRACE(t.program);
        ToolRun help = run_tool(t.program, {"--help"});
        ASSERT_TRUE(help.code);
        EXPECT_EQ(*help.code, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(help.out.rfind("usage: " + std::string(t.program), 0), 0u) << help.out;
        for (const char* o : t.options) EXPECT_NE(help.out.find("\n  " + std::string(o) + " "), std::string::npos) << o;
        EXPECT_NE(help.out.find("\nexit status:\n"), std::string::npos);
        for (int e : t.exits) EXPECT_NE(help.out.find("\n  " + std::to_string(e) + "  "), std::string::npos) << e;
        for (const auto& [args, message] : t.bad) {
            ToolRun r = run_tool(t.program, args);
            ASSERT_TRUE(r.code) << message;
            EXPECT_EQ(*r.code, 2) << message;
            EXPECT_EQ(r.out, "") << message;  // nothing started
            EXPECT_EQ(r.err.rfind(std::string(t.program) + ": ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("Try '" + std::string(t.program) + " --help'"), std::string::npos) << r.err;
        }
    }
}

TEST_F(StationHost, ADeviceThatNeverSpeaksIsAnError) {
    auto line = devsim::Endpoint::open_pty();
    HostRun r = run_host({"--port", line->address(), "--well", well, "--seconds", "2"});
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 4);
    EXPECT_TRUE(r.has("no frame came from the device on " + line->address())) << ::testing::PrintToString(r.lines);
    // The trip is still closed properly: header and end, no records.
    auto files = read_trip_files(well, 1);
    EXPECT_TRUE(files[0].has_end);
    EXPECT_EQ(files[0].records, 0);
}

// What the start refuses, at once and naming the file: a FIFO where a
// settings or state file belongs (an open would block for ever), a link to
// a device or elsewhere in place of a file the host writes.
TEST_F(StationHost, OddFilesInTheWellAreRefusedAtOnceAndNothingIsWritten) {
    const std::string missing = dir.path() + "/no-such-device";
    const fs::path w(well);
    struct Case {
        const char* what;
        std::function<fs::path()> plant;
        std::vector<std::string> extra;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"FIFO settings",
         [&] {
             ::mkfifo((w / settings_file).c_str(), 0600);
             return w / settings_file;
         },
         {},
         "not a regular file"},
        {"FIFO state",
         [&] {
             ::mkfifo((w / "sys.bin").c_str(), 0600);
             return w / "sys.bin";
         },
         {"--continue"},
         "not a regular file"},
        {"settings on /dev/zero",
         [&] {
             fs::create_symlink("/dev/zero", w / settings_file);
             return w / settings_file;
         },
         {},
         "a symbolic link in place of the file"},
        {"planted trip file",
         [&] {
             fs::create_symlink(dir.path() + "/outside", w / "0007.realtim");
             return w / "0007.realtim";
         },
         {},
         "a symbolic link in place of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(well);
        fs::create_directories(well);
        const fs::path planted = c.plant();
        // A line that opens: the odd files are refused after the port is
        // tried and before anything is written.
        auto line = devsim::Endpoint::open_pty();
        std::vector<std::string> args = {"--port", line->address(), "--well", well, "--trip", "7", "--seconds", "1"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        HostRun r = run_host(args);
        ASSERT_TRUE(r.code);
        EXPECT_EQ(*r.code, 1);
        EXPECT_TRUE(r.has("refusing '" + planted.string() + "': " + c.why)) << ::testing::PrintToString(r.lines);
        EXPECT_FALSE(fs::exists(w / params_file));
        EXPECT_FALSE(fs::exists(dir.path() + "/outside"));
    }
}

TEST_F(StationHost, AWellGivenWithBackslashesIsTheFolderTheHubWritesTo) {
    // "x\..\esc" is "esc" beside "x" for the hub's library: the host makes
    // the same folder, never one with backslashes in its name.
    const std::string typed = dir.path() + "/x\\..\\esc";
    auto line = devsim::Endpoint::open_pty();
    HostRun r = run_host({"--port", line->address(), "--well", typed, "--seconds", "1"});
    ASSERT_TRUE(r.code);
    EXPECT_TRUE(fs::exists(fs::path(dir.path()) / "esc" / settings_file)) << ::testing::PrintToString(r.lines);
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(e.path().string().find('\\'), std::string::npos) << e.path();
}

TEST_F(StationHost, ADamagedTableRefusesTheStart) {
    // Record 8 of the table cut in its middle: the trip would record the
    // parameters before it as if they were all.
    ensure_default_setup(well);
    const fs::path table = fs::path(well) / params_file;
    ParTabl whole;
    whole.load_from(table.string());
    ASSERT_GT(whole.get_items_count(), 9);
    // The first eight records alone, without calibration blocks, end where
    // record 8 begins (and two bytes of end marker further).
    ParTabl first8;
    for (int i = 0; i < 8; ++i) {
        Param p = whole.at(i);
        p.channel = -1;
        first8.add(p);
    }
    const std::string head = (fs::path(dir.path()) / "head").string();
    first8.save_to(head);
    fs::resize_file(table, fs::file_size(head) + 10);
    auto line = devsim::Endpoint::open_pty();
    HostRun r = run_host({"--port", line->address(), "--well", well, "--seconds", "1"});
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 1) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("the parameter table '" + table.string() + "' is damaged")) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("record 8 ")) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(r.has("recording trip")) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(fs::exists(fs::path(well) / "0001.realtim"));
}

TEST_F(StationHost, DepthsNoWellHasAreRefusedAndTheHostRecordsAndStops) {
    ensure_default_setup(well);
    {
        rtl::IniFile ini((fs::path(well) / settings_file).string());
        rtl::IniFile::Batch batch(ini);
        ini.WriteString("рейс", "глубина_забоя", "1e30");
        ini.WriteString("рейс", "глубина_долота", "inf");
        batch.commit();
    }
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host({"--port", sim.address(), "--well", well, "--trip", "7", "--seconds", "0", "--time-step", "1"},
                         [&](pid_t pid) {
                             // Two records past the first on file, then the stop.
                             const std::string time_file = well + "/0007.realtim";
                             wait_for_growth(time_file, wait_for_growth(time_file, wait_for_growth(time_file)));
                             ::kill(pid, SIGTERM);
                         });
    ASSERT_TRUE(r.code) << "the host did not stop";
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("глубина_забоя=1e30")) << ::testing::PrintToString(r.lines);
    auto files = read_trip_files(well, 7);
    EXPECT_GE(files[0].records, 2);
    EXPECT_LT(files[0].depth_max, 10.0);
    EXPECT_LE(files[1].records, 10);
}

// Record steps in the settings that no recording can follow (a depth step
// that rounds to nothing or is deeper than any well, a time step of days)
// would leave a file empty for the whole trip: refused at start, named.
TEST_F(StationHost, RecordStepsNoTripCanFollowAreRefusedAtStart) {
    struct Case {
        const char *key, *value;
    };
    for (const Case& c : {Case{"запись_по_глубине", "0,0001"}, Case{"запись_по_глубине", "1e30"},
                          Case{"запись_по_времени", "100000"}}) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        fs::remove_all(well);
        ensure_default_setup(well);
        rtl::IniFile((fs::path(well) / settings_file).string()).WriteString("запись_и_осреднение", c.key, c.value);
        auto line = devsim::Endpoint::open_pty();
        HostRun r = run_host({"--port", line->address(), "--well", well, "--seconds", "2"});
        ASSERT_TRUE(r.code);
        EXPECT_EQ(*r.code, 1) << ::testing::PrintToString(r.lines);
        EXPECT_TRUE(r.has(std::string("\"") + c.key + "\" = ")) << ::testing::PrintToString(r.lines);
        EXPECT_FALSE(r.has("recording trip")) << ::testing::PrintToString(r.lines);
        EXPECT_FALSE(fs::exists(fs::path(well) / "0001.realtim"));
    }
}

TEST_F(StationHost, ADepthJumpGetsOneRecordWhereItLanded) {
    // The block drops 20 m within a fifth of a second: the bottom jumps
    // 100 depth steps, which is no drilling.
    std::ofstream(script)
        << "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
           "0   100       30        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
           "3   100       30        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
           "3.2 100       10        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
           "100 100       10        12  0.5       6.5    60    61    0     2   1.5     32      31\n";
    // The rig stands at its first moment until the host records.
    SimProcess sim({"--pty", "--hold", "--scenario", script, "--period", "200", "--seconds", "60"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid, HostOutput& host) {
        const std::string time_file = well + "/0007.realtim";
        wait_for_growth(time_file);
        sim.release();
        EXPECT_TRUE(host.wait_line("depth: the bottom jumped from 1000"));
        wait_for_growth(time_file, wait_for_growth(time_file, size_of(time_file)));
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("depth: the bottom jumped from 1000")) << ::testing::PrintToString(r.lines);
    auto files = read_trip_files(well, 7);
    EXPECT_GT(files[0].depth_max, 1019.0);
    EXPECT_LE(files[1].records, 2 * 5 + 2);
    EXPECT_EQ(files[1].records, r.summary_count("depth"));
}

using Env = std::vector<std::pair<std::string, std::string>>;

// How the station's clock stands for a host killed while drilling and for
// the host that continues its trip.
struct KilledTrip {
    const char* name;
    Env killed;     // for the host that is killed
    Env continued;  // for the host that continues the trip
    // The set-up as a station that keeps no mark of its files leaves it.
    bool without_mark = false;
};

// Drilling on record since the depths were saved at the trip's start (the
// next save a minute off), the host is killed outright; the trip continued
// resumes at the deepest depth its files hold, whatever the clock did.
void kill_and_continue(const std::string& script, const std::string& well, const KilledTrip& c) {
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    const auto deepest = [&] {
        double d = 0;
        for (const TripFile& f : read_trip_files(well, 7))
            if (f.kind != "lag" && f.records > 0) d = std::max(d, f.depth_max);
        return d;
    };
    HostRun killed;
    {
        std::vector<std::unique_ptr<ScopedEnv>> env;
        for (const auto& [name, value] : c.killed) env.push_back(std::make_unique<ScopedEnv>(name, value));
        killed = run_host(host_args(sim.address(), well, 0), [&](pid_t pid) {
            // A file the host has only just made is empty, and not yet readable.
            const auto passed = [&] {
                try {
                    return deepest() > 1000.6;
                } catch (const std::runtime_error&) {
                    return false;
                }
            };
            EXPECT_TRUE(os::testing::wait_until(passed, 120000, 50)) << "the records never passed 1000.6 m";
            ::kill(pid, SIGKILL);
        });
    }
    ASSERT_TRUE(killed.code);
    EXPECT_EQ(*killed.code, 128 + SIGKILL);
    const double reached = deepest();
    ASSERT_GT(reached, 1000.6);
    if (c.without_mark) {
        // Taken out without touching the file's time: the save stays older
        // than the records.
        const std::string setup = well + "/station.ini";
        const fs::file_time_type saved = fs::last_write_time(setup);
        {
            rtl::IniFile ini(setup);
            ASSERT_TRUE(ini.SectionExists("запись_при_сохранении"));
            ini.EraseSection("запись_при_сохранении");
        }
        fs::last_write_time(setup, saved);
    }

    // The same trip goes on from its last record, not from the older save.
    HostRun next;
    {
        std::vector<std::unique_ptr<ScopedEnv>> env;
        for (const auto& [name, value] : c.continued) env.push_back(std::make_unique<ScopedEnv>(name, value));
        next = run_host({"--port", sim.address(), "--well", well, "--trip", "7", "--seconds", "2", "--time-step", "1",
                         "--continue"});
    }
    ASSERT_TRUE(next.code);
    EXPECT_EQ(*next.code, 0) << ::testing::PrintToString(next.lines);
    const std::size_t at = next.summary.find("; depth ");
    ASSERT_NE(at, std::string::npos) << next.summary;
    double resumed = 0;
    ASSERT_TRUE(rtl::TryStrToFloat(next.summary.substr(at + 8, next.summary.find(' ', at + 8) - at - 8), resumed));
    EXPECT_NEAR(resumed, reached, 0.001) << next.summary;
    EXPECT_TRUE(next.has("from the trip's last record")) << ::testing::PrintToString(next.lines);
    // The depth file never steps back: each record deeper than the one before.
    FileStorage depths;
    depths.add_file(well + "/0007.realdep", false);
    ASSERT_GT(depths.get_data_size(), 1);
    for (int i = 1; i < depths.get_data_size(); ++i)
        EXPECT_GT(depths.get_record(i)->depth_z, depths.get_record(i - 1)->depth_z) << i;
}

TEST_F(StationHost, AHostKilledOutrightResumesNearItsLastDepth) { kill_and_continue(script, well, {"plain", {}, {}}); }

void PrintTo(const KilledTrip& c, std::ostream* out) { *out << c.name; }

class StationHostKilledTrip : public StationHost, public ::testing::WithParamInterface<KilledTrip> {};

// The records' stamps and the set-up file's time follow the clock and its
// zone; neither tells which depth is newer.
TEST_P(StationHostKilledTrip, ResumesAtTheDepthOnDiskWhateverTheClockDid) {
    kill_and_continue(script, well, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, StationHostKilledTrip,
    ::testing::Values(
        // Set back an hour while the killed host drilled.
        KilledTrip{"SetBackWhileDrilling", {{"STATION_HOST_CLOCK_STEPS", "1:-3600"}}, {}},
        // Summer time began before the start that continues: the real
        // program under another zone.
        KilledTrip{"ZoneAnHourAhead", {{"TZ", "UTC0"}}, {{"TZ", "XST-1"}}},
        KilledTrip{"ZoneAnHourBack", {{"TZ", "XST-1"}}, {{"TZ", "UTC0"}}},
        // Corrected at boot, before the start that continues.
        KilledTrip{"AnHourAheadAtTheStart", {}, {{"STATION_HOST_CLOCK_STEPS", "0:3600"}}},
        KilledTrip{"AnHourBackAtTheStart", {}, {{"STATION_HOST_CLOCK_STEPS", "0:-3600"}}},
        // A set-up saved by a station that keeps no mark of its files.
        KilledTrip{"SetUpWithoutMark", {}, {{"TZ", "XST-1"}}, true}),
    [](const ::testing::TestParamInfo<KilledTrip>& info) { return std::string(info.param.name); });

// Depths saved after the trip's last record (a run that got no frame, set
// to another depth) are the newer: the trip continued takes them, not the
// record.
TEST_F(StationHost, DepthsSavedAfterTheLastRecordAreTheOnesContinued) {
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun first = run_host(host_args(sim.address(), well, 0), [&](pid_t pid) {
        const std::string time_file = well + "/0007.realtim";
        wait_for_growth(time_file, wait_for_growth(time_file) + 400);
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(first.code);
    EXPECT_EQ(*first.code, 0) << ::testing::PrintToString(first.lines);
    auto silent = devsim::Endpoint::open_pty();
    HostRun set = run_host({"--port", silent->address(), "--well", well, "--trip", "7", "--seconds", "2", "--continue",
                            "--depth", "1200"});
    ASSERT_TRUE(set.code);
    EXPECT_EQ(*set.code, 4) << ::testing::PrintToString(set.lines);
    HostRun next = run_host(
        {"--port", sim.address(), "--well", well, "--trip", "7", "--seconds", "2", "--time-step", "1", "--continue"});
    ASSERT_TRUE(next.code);
    EXPECT_EQ(*next.code, 0) << ::testing::PrintToString(next.lines);
    EXPECT_NE(next.summary.find("; depth 1200,00 -> "), std::string::npos) << next.summary;
    EXPECT_FALSE(next.has("from the trip's last record")) << ::testing::PrintToString(next.lines);
}

TEST_F(StationHost, ASecondHostOnTheSameWellIsToldWhoHoldsIt) {
    SimProcess sim({"--tcp", "0", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun second;
    HostRun first = run_host(host_args(sim.address(), well, 0), [&](pid_t pid) {
        wait_for_growth(well + "/0007.realtim");
        second = run_host(host_args(sim.address(), well, 5));
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(second.code);
    EXPECT_EQ(*second.code, 1);
    EXPECT_TRUE(second.has("'" + well + "' is held by process ")) << ::testing::PrintToString(second.lines);
    EXPECT_FALSE(second.has("recording trip"));
    ASSERT_TRUE(first.code);
    EXPECT_EQ(*first.code, 0) << ::testing::PrintToString(first.lines);
    // Only the first host's records are in the files.
    EXPECT_EQ(read_trip_files(well, 7)[0].records, first.summary_count("time"));
}

TEST_F(StationHost, AFullDiskIsReportedOnStandardErrorAndNothingIsLost) {
    // The disk fills up under the running host (a file-size limit set from
    // outside), then has room again.
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    const std::string time_file = well + "/0007.realtim";
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid, HostOutput& seen) {
        wait_for_growth(time_file, wait_for_growth(time_file) + 1000);
        std::error_code ec;
        rlimit full{rlim_t(fs::file_size(time_file, ec) + 10), RLIM_INFINITY};
        if (::prlimit(pid, RLIMIT_FSIZE, &full, nullptr) != 0) ADD_FAILURE() << "prlimit";
        // The writer fails and says so; the records queue up while it tries
        // again and again.
        EXPECT_TRUE(seen.wait_line("Ошибка записи данных"));
        EXPECT_TRUE(seen.wait_line_where([](const std::string& l) { return queued_in(l) >= 3; }))
            << "the records did not queue up";
        rlimit room{RLIM_INFINITY, RLIM_INFINITY};
        ::prlimit(pid, RLIMIT_FSIZE, &room, nullptr);
        EXPECT_TRUE(seen.wait_line("возобновлена"));
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    long failures = 0;
    for (const auto& l : r.lines) failures += l.find("Ошибка записи данных") != std::string::npos;
    EXPECT_EQ(failures, 1) << "the first failure, then a count a minute: " << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("возобновлена")) << ::testing::PrintToString(r.lines);
    auto files = read_trip_files(well, 7);
    EXPECT_EQ(files[0].records, r.summary_count("time"));
    EXPECT_TRUE(files[0].warnings.empty()) << ::testing::PrintToString(files[0].warnings);
}

TEST_F(StationHost, AStopOnAFullDiskIsBoundedAndSaysWhatStayedUnwritten) {
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    const std::string time_file = well + "/0007.realtim";
    HostRun r = run_host(host_args(sim.address(), well, 0), [&](pid_t pid, HostOutput& seen) {
        wait_for_growth(time_file, wait_for_growth(time_file) + 300);
        rlimit full{0, RLIM_INFINITY};
        if (::prlimit(pid, RLIMIT_FSIZE, &full, nullptr) != 0) ADD_FAILURE() << "prlimit";
        EXPECT_TRUE(seen.wait_line("Ошибка записи данных"));
        ::kill(pid, SIGTERM);
        // The operator will not wait for the disk: asks again until the host
        // says it goes (a second signal before the stop began is taken with
        // the first).
        for (int i = 0; i < 150 && !seen.has_ended() && !seen.wait_line("stop: a second signal", 200); ++i)
            ::kill(pid, SIGINT);
    });
    ASSERT_TRUE(r.code) << "the stop hung on the full disk";
    EXPECT_EQ(*r.code, 3) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("stop: a second signal; not waiting for the writer")) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has(" records in ")) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("could not be written to " + well + "/"));
}

// The host as another user when run as root, so that a folder's
// permissions bind it; its standard output and error as lines.
HostRun run_host_unprivileged(const std::vector<std::string>& args) {
    HostRun r;
    int out[2];
    if (::pipe(out) != 0) return r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        ::close(out[1]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
        std::vector<std::string> all = {bin + "station_host"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(91);
    }
    ::close(out[1]);
    std::string line;
    while (true) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 120000) <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        char c;
        if (::read(out[0], &c, 1) != 1) break;
        if (c == '\n') {
            r.lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) r.code = WEXITSTATUS(status);
    return r;
}

TEST_F(StationHost, AReadOnlyWellIsRefusedBeforeRecording) {
    fs::permissions(dir.path(), fs::perms(0755));
    fs::create_directories(well);
    fs::permissions(well, fs::perms(0555));
    // A loopback line the unprivileged host can open, so the well is what fails.
    auto line = devsim::Endpoint::listen_tcp();
    HostRun r = run_host_unprivileged({"--port", line->address(), "--well", well, "--seconds", "1"});
    fs::permissions(well, fs::perms(0755));
    ASSERT_TRUE(r.code);
    if (*r.code == 90) STATION_SKIP_UNLESS_CI("cannot drop root privileges here");
    EXPECT_EQ(*r.code, 1) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("cannot write into the well folder '" + well + "'")) << ::testing::PrintToString(r.lines);
    EXPECT_FALSE(r.has("recording trip"));
}

TEST_F(StationHost, ASerialLineThatHangsUpAndReturnsIsRecordedAgain) {
    // The unit's line under a name of its own, as a device node would be.
    const fs::path line = fs::path(dir.path()) / "ttyUNIT";
    auto first = std::make_unique<SimProcess>(
        std::vector<std::string>{"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(first->address().empty());
    fs::create_symlink(first->address(), line);
    std::unique_ptr<SimProcess> second;
    const std::string time_file = well + "/0007.realtim";
    HostRun r = run_host(host_args(line.string(), well, 0), [&](pid_t pid, HostOutput& seen) {
        // Records first, then the hang-up, which the host notices.
        wait_for_growth(time_file, wait_for_growth(time_file) + 1000);
        // The name leads nowhere until the unit is back, and goes before the
        // unit does: the unplugged pty's number is free for any other
        // test's new pty, which a host reopening the old name would take.
        fs::remove(line);
        first->unplug();
        EXPECT_TRUE(seen.wait_line("device: the line " + line.string() + " is gone"));
        // The unit stays away until the host has had a whole second without
        // a frame: a unit back within the second would leave no silence
        // (and no gap) to see.
        EXPECT_TRUE(seen.wait_line("device: no data on " + line.string()));
        const std::uintmax_t before = fs::file_size(time_file);
        second = std::make_unique<SimProcess>(
            std::vector<std::string>{"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
        fs::create_symlink(second->address(), line);
        // Records again, then the stop.
        EXPECT_TRUE(seen.wait_line("device: data again"));
        wait_for_growth(time_file, before + 100);
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("device: the line " + line.string() + " is gone")) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("device: the line " + line.string() + " is open again")) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(r.has("device: data again")) << ::testing::PrintToString(r.lines);
    // Records before the hang-up and after the return; the gap between.
    auto files = read_trip_files(well, 7);
    EXPECT_GE(files[0].time_gaps, 1);
    EXPECT_GE(files[0].records, 4);
    EXPECT_EQ(files[0].records, r.summary_count("time"));
}

// What the operator sets in the windows lives in the hub's configuration and
// its modules: the host writes them back, so a setting outlives the run and
// the set-up's own keys stay.
TEST_F(StationHost, TheHubsSettingsAreWrittenBackAndKeepWhatWasThere) {
    ensure_default_setup(well);
    const std::string ini_path = (fs::path(well) / settings_file).string();
    ASSERT_NE(rtl::IniFile(ini_path).ReadString("станция", "опорное_напряжение_ацп", ""), "");
    {
        // A configuration's section and a module's, as an older set-up lacks them.
        rtl::IniFile ini(ini_path);
        ini.EraseSection("звуковое_предупреждение");
        ini.EraseSection("MinMaxValues");
    }
    SimProcess sim({"--pty", "--scenario", script, "--period", "200", "--seconds", "600"});
    ASSERT_FALSE(sim.address().empty());
    HostRun r = run_host(host_args(sim.address(), well, 2));
    ASSERT_TRUE(r.code);
    EXPECT_EQ(*r.code, 0) << ::testing::PrintToString(r.lines);
    rtl::IniFile ini(ini_path);
    EXPECT_TRUE(ini.SectionExists("звуковое_предупреждение"));
    EXPECT_TRUE(ini.SectionExists("MinMaxValues"));
    EXPECT_TRUE(ini.SectionExists("DepthCalc"));
    EXPECT_NE(ini.ReadString("станция", "опорное_напряжение_ацп", ""), "");
}

}  // namespace
}  // namespace station_host
