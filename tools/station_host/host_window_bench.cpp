// The station host's window continuing long trips: its processor time per
// recorded second and its memory against the trip's length.
//
//   BM_WindowHostAgainstTripLength  for trips of 1 hour, 1 day and 1 week
//       written by the station's own writer (the header of a short trip the
//       host recorded, then a record a second), the host continues each
//       with --window on a virtual X server against the device simulator;
//       after the chart's first read it measures the processor time all the
//       host's threads spend (the scheduler's own counts) over the seconds
//       recorded. Two rounds, the lengths alternated; the mean of each.
//       ratio: the week's time per second over the hour's (goal: at most
//       1.5); hour_MB, week_MB: the host's peak resident memory; skipped: the
//       seconds the continued runs left without a record.
//   BM_WindowHostFourWeeks  the same once on a trip of 4 weeks (about
//       1.2 GB): its time per second, peak memory and the seconds skipped
//       (goal: none).
//
// Needs Xvfb, station_host and device_simulator beside this program; the
// trips go into a temporary folder and are removed.

#include <benchmark/benchmark.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "library/storage/file_storage.h"
#include "library/time_conv.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "tools/station_host/long_trip_testing.h"

namespace {

namespace fs = std::filesystem;

const char* const rig =
    "t   hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
    "0   100       20        12  0.5       6.5    60    61    0     2   1.5     32      31\n"
    "40  110       16        11  0.4       5.5    58    60    0     3   2.5     30      31\n";

constexpr int kSettleS = 8;    // the host's start and the chart's first read
constexpr int kMeasureS = 20;  // the seconds measured

// The processor time of all the process's threads, in nanoseconds.
long long run_ns(pid_t pid) {
    long long total = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream in(e.path() / "schedstat");
        long long ns = 0;
        if (in >> ns) total += ns;
    }
    return total;
}

// The process's peak resident memory in MB.
double peak_mb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long kb = 0;
    while (in >> key) {
        if (key == "VmHWM:") {
            in >> kb;
            return kb / 1024.0;
        }
        in.ignore(1 << 16, '\n');
    }
    return 0;
}

struct Run {
    double ms_per_s = 0;
    double peak_mb = 0;
    long skipped = 0;
    bool ok = false;
    std::string failed;  // what went wrong
};

Run continue_trip(const fs::path& bin, int seconds) {
    Run run;
    os::testing::TempDir dir;
    const std::string script = dir / "rig.txt", well = dir / "well";
    std::ofstream(script) << rig;
    os::Process sim;
    os::SpawnOptions so;
    so.program = (bin / "device_simulator").string();
    so.args = {"--scenario", script, "--period", "200", "--seconds", "600", "--pty"};
    so.capture_output = true;
    run.failed = "the simulator did not start";
    if (!sim.start(so)) return run;
    const std::string line = os::testing::read_line(sim.stdout_fd(), 60000);
    if (line.rfind("line: ", 0) != 0) return run;
    const std::string port = line.substr(6);
    auto host_options = [&](std::vector<std::string> more) {
        os::SpawnOptions o;
        o.program = (bin / "station_host").string();
        o.args = {"--port", port, "--well", well, "--trip", "3", "--time-step", "1"};
        o.args.insert(o.args.end(), more.begin(), more.end());
        o.null_stdio = true;
        return o;
    };
    {
        os::Process first;
        run.failed = "the short trip failed";
        if (!first.start(host_options({"--seconds", "3", "--depth", "1000"})) || first.wait(120000) != 0) return run;
    }
    const std::string time_file = well + "/0003.realtim";
    station_host::testing::lengthen(time_file, seconds, 2);
    os::Process host;
    if (!host.start(host_options({"--seconds", std::to_string(kSettleS + kMeasureS + 5), "--continue", "--window"})))
        return run;
    std::this_thread::sleep_for(std::chrono::seconds(kSettleS));
    const long long a = run_ns(host.pid());
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kMeasureS));
    const long long b = run_ns(host.pid());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.peak_mb = peak_mb(host.pid());
    const auto code = host.wait(120000);
    if (code != 0) {
        run.failed = "the window host ended with " + (code ? std::to_string(*code) : std::string("no end"));
        return run;
    }
    ::kill(sim.pid(), SIGTERM);
    sim.wait(30000);
    FileStorage t;
    t.add_file(time_file, false);
    for (int i = seconds + 1; i < t.get_data_size(); ++i)
        run.skipped += long(t.get_record(i)->time.get_value() - t.get_record(i - 1)->time.get_value()) - 1;
    run.ms_per_s = double(b - a) / 1e6 / s;
    run.ok = true;
    return run;
}

// The programs beside this one and the virtual X server the host shows on;
// false with the benchmark told why.
bool ready(benchmark::State& state, fs::path& bin, ui::testing::VirtualScreen& screen) {
    std::error_code ec;
    bin = fs::read_symlink("/proc/self/exe", ec).parent_path();
    if (!fs::exists(bin / "station_host") || !fs::exists(bin / "device_simulator")) {
        state.SkipWithError("station_host or device_simulator is not built beside this program");
        return false;
    }
    if (!screen.start()) {
        state.SkipWithError(("no virtual X server: " + screen.error()).c_str());
        return false;
    }
    return true;
}

void BM_WindowHostAgainstTripLength(benchmark::State& state) {
    fs::path bin;
    ui::testing::VirtualScreen screen;
    if (!ready(state, bin, screen)) return;
    const int lengths[] = {3600, 86400, 7 * 86400};
    double ms[3] = {}, mb[3] = {};
    long skipped = 0;
    for (auto _ : state) {
        for (int round = 0; round < 2; ++round)
            for (int k = 0; k < 3; ++k) {
                const Run r = continue_trip(bin, lengths[k]);
                if (!r.ok) {
                    state.SkipWithError(("continuing " + std::to_string(lengths[k]) + " s: " + r.failed).c_str());
                    return;
                }
                ms[k] += r.ms_per_s / 2;
                mb[k] = std::max(mb[k], r.peak_mb);
                skipped += r.skipped;
            }
    }
    state.counters["hour_ms_per_s"] = ms[0];
    state.counters["day_ms_per_s"] = ms[1];
    state.counters["week_ms_per_s"] = ms[2];
    state.counters["ratio"] = ms[0] > 0 ? ms[2] / ms[0] : 0;
    state.counters["hour_MB"] = mb[0];
    state.counters["week_MB"] = mb[2];
    state.counters["skipped"] = double(skipped);
}
BENCHMARK(BM_WindowHostAgainstTripLength)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

void BM_WindowHostFourWeeks(benchmark::State& state) {
    fs::path bin;
    ui::testing::VirtualScreen screen;
    if (!ready(state, bin, screen)) return;
    for (auto _ : state) {
        const Run r = continue_trip(bin, 28 * 86400);
        if (!r.ok) {
            state.SkipWithError(("continuing 4 weeks: " + r.failed).c_str());
            return;
        }
        state.counters["ms_per_s"] = r.ms_per_s;
        state.counters["MB"] = r.peak_mb;
        state.counters["skipped"] = double(r.skipped);
    }
}
BENCHMARK(BM_WindowHostFourWeeks)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
