// The packing run's memory on a long trip: Vargel2's rewriting of a time
// file through the compression export, on a generated trip of 128
// parameters, one record a second for a day (about 46 MB) and a week (about
// 320 MB), written by the station's own block writer and removed afterwards.
//
//   BM_PackMemory/records:86400/method:1 (a day), /records:604800/method:1
//       (a week): the packing run (TCompressThread, the quantised
//       coding the program uses by default) in a child process of its own,
//       with a stand-in archiver that only makes the package (7za's memory
//       and time are its own, not the run's).
//       "peak_x": the child's peak resident memory (VmHWM, the archiver left
//       out) over the time file's size (goal: at most 0.5 for the week; a
//       fixed part of the program and the window read weigh more in a
//       shorter trip); "s_per_MB": wall time per MB of the time file;
//       "linear" (week only): the week's time per MB over the day's (near 1
//       when the time is linear in the records).
//   BM_PackMemory/records:604800/method:2  the same week with the wavelet coding, whose
//       transform needs the most memory per column.

#include "programs/vargel2/compress_thread.h"

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kParams = 128;

fs::path bench_dir() {
    static const fs::path dir = fs::temp_directory_path() / ("station-pack-memory-bench-" + std::to_string(::getpid()));
    return dir;
}

// The trip's time file: a drilling day's kind of series (some stepping, most
// wandering slowly with sensor noise, a few noisy, gas among them), written
// in batches as the recording hub's writer appends them.
std::string make_trip(const std::string& well, int records) {
    fs::create_directories(well);
    const std::string path = well + "/0001.realtim";
    os::File out;
    if (out.open(path, os::File::Mode::write_truncate, false) != os::File::Status::ok) return {};
    std::string bytes;
    lib::io::BinaryMemoryOutputStream stream(bytes);
    lib::realtime::BlockEncoder encoder;
    std::vector<FileStorageParam> params;
    const char* gas[] = {"метан_абс", "этан_абс", "пропан_абс", "сумм_газ"};
    const char* mechanical[] = {"вес_на_крюке", "давление_на_входе", "момент_ротора", "нагрузка"};
    for (int p = 0; p < kParams; ++p) {
        std::string global = p < 4 ? gas[p] : p < 8 ? mechanical[p - 4] : "параметр_" + std::to_string(p);
        params.emplace_back("Параметр " + std::to_string(p), "П" + std::to_string(p), "ед", global, 0.0f, 500.0f);
    }
    encoder.write_params(stream, params);
    encoder.write_text(stream, "номер_рейса=1\r\nшаг_записи_по_времени=1\r\nскважина=1\r\n");
    std::vector<float> values(kParams);
    std::uint32_t noise = 12345;
    auto next_noise = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return static_cast<float>((noise >> 8) & 0xFFFF) / 65536.0f - 0.5f;
    };
    const std::uint32_t t0 = 1700000000;
    for (int i = 0; i < records; ++i) {
        const float x = static_cast<float>(i);
        for (int c = 0; c < kParams; ++c) {
            float v;
            if (c < 4)
                v = (i / 3000 + c) % 4 == 0 ? 0.0f : 0.01f * std::exp(3.0f * std::sin(x / 5000.0f + c));
            else if (c % 8 == 0)
                v = static_cast<float>((i / (600 + 37 * c)) % 3);
            else if (c % 8 == 7)
                v = 40.0f + 10.0f * std::sin(x / 300.0f + c) + 4.0f * next_noise();
            else
                v = 100.0f + 50.0f * std::sin(x / (2000.0f + 50.0f * c) + c) + 0.2f * next_noise();
            values[std::size_t(c)] = v;
        }
        const float depth = 2000.0f + x / 3600.0f;
        encoder.write_record(stream, t0 + std::uint32_t(i), depth, depth - float(i % 900) / 100.0f, depth - 12.0f,
                             static_cast<unsigned char>(i / 1800 % 6), values.data(), values.size());
        if (bytes.size() > (1u << 22) || i + 1 == records) {
            if (!out.write(bytes.data(), bytes.size())) return {};
            bytes.clear();
        }
    }
    out.close();
    return path;
}

// The process's own peak resident memory, in bytes.
double own_peak_bytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024;
    return 0;
}

struct ChildRun {
    bool ok = false;
    double seconds = 0;
    double peak_bytes = 0;
};

// One packing run in a child process; what it measured comes back through a
// pipe.
ChildRun pack_in_child(const std::string& well, int method) {
    ChildRun r;
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return r;
    const std::string archiver = (bench_dir() / "stand-in-7za").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_fds[0]);
        vargel2::RunState run;
        run.data_folder = well + "/";
        run.package_path = well + "/pack.7z_reg";
        run.masks = {well + "/0001.realtim"};
        vargel2::ConfigValues options;
        options.compress_method = method;
        vargel2::TCompressThread thread(run, options, {});
        thread.archiver = archiver;
        thread.temp_parent = well;
        const auto start = std::chrono::steady_clock::now();
        thread.Execute();
        ChildRun out;
        out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        out.peak_bytes = own_peak_bytes();
        out.ok = thread.error_text().empty();
        if (!out.ok) std::fprintf(stderr, "%s\n", thread.error_text().c_str());
        (void)!::write(pipe_fds[1], &out, sizeof out);
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    if (pid > 0) {
        if (::read(pipe_fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = ChildRun{};
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    ::close(pipe_fds[0]);
    return r;
}

double day_seconds_per_mb = 0;

void BM_PackMemory(benchmark::State& state) {
    const int records = int(state.range(0));
    const int method = int(state.range(1));
    fs::create_directories(bench_dir());
    {
        const std::string archiver = (bench_dir() / "stand-in-7za").string();
        std::ofstream(archiver) << "#!/bin/sh\n: > \"$4\"\n";
        fs::permissions(archiver, fs::perms::owner_all);
    }
    const std::string well = (bench_dir() / ("trip" + std::to_string(records))).string();
    const std::string time_file = make_trip(well, records);
    if (time_file.empty()) {
        state.SkipWithError("the trip could not be written");
        return;
    }
    const double mb = double(fs::file_size(time_file)) / (1 << 20);
    ChildRun last;
    for (auto _ : state) {
        last = pack_in_child(well, method);
        if (!last.ok) {
            state.SkipWithError("the packing run failed");
            break;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["file_MB"] = mb;
    state.counters["peak_MB"] = last.peak_bytes / (1 << 20);
    state.counters["peak_x"] = last.peak_bytes / (mb * (1 << 20));
    state.counters["s_per_MB"] = last.seconds / mb;
    if (method == 1) {
        if (records <= 86400)
            day_seconds_per_mb = last.seconds / mb;
        else if (day_seconds_per_mb > 0)
            state.counters["linear"] = (last.seconds / mb) / day_seconds_per_mb;
    }
    std::error_code ec;
    fs::remove_all(well, ec);
}
BENCHMARK(BM_PackMemory)
    ->Args({86400, 1})
    ->Args({7 * 86400, 1})
    ->Args({7 * 86400, 2})
    ->ArgNames({"records", "method"})
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);

// The folder goes when the program ends, whatever ran.
struct RemoveBenchDir {
    RemoveBenchDir() { bench_dir(); }  // made first, so it is still there below
    ~RemoveBenchDir() {
        std::error_code ec;
        fs::remove_all(bench_dir(), ec);
    }
} remove_bench_dir;

}  // namespace
