// trip_export's LAS file of a long trip, and its LAS text against the least
// any writer must do.
//
//   BM_TripExportLas/day, /week  a generated trip of 128 parameters, one
//       record a second for a day (about 46 MB) and a week (about 320 MB),
//       written by the station's own block writer and removed afterwards;
//       trip_export --las runs on it as a child process.
//       "peak_x": the child's peak resident memory over the time file's size
//       (goal: at most 1.2; the rows are streamed, so it falls with the
//       trip's length); "s_per_MB": wall time per MB of the time file;
//       "linear" (week only): the week's time per MB over the day's (near 1
//       when the time is linear in the records).
//   BM_LasRowsAgainstToChars  the LAS writer's rows (values_cont::append_row)
//       against a bare std::to_chars loop writing the same numbers, blank
//       separated, to the same file; "ratio": the bare loop's time over the
//       writer's (goal: at least 0.5). Both run in each iteration, on the
//       thread's processor time.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "library/LAS_file.h"
#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kParams = 128;

fs::path bench_dir() {
    static const fs::path dir = fs::temp_directory_path() / ("station-trip-export-bench-" + std::to_string(::getpid()));
    return dir;
}

// The trip's time file, one record a second, written in batches as the
// recording hub's writer appends them.
std::string make_trip(const std::string& well, int records) {
    fs::create_directories(well);
    const std::string path = well + "/0001.realtim";
    os::File out;
    if (out.open(path, os::File::Mode::write_truncate, false) != os::File::Status::ok) return {};
    std::string bytes;
    lib::io::BinaryMemoryOutputStream stream(bytes);
    lib::realtime::BlockEncoder encoder;
    std::vector<FileStorageParam> params;
    for (int p = 0; p < kParams; ++p)
        params.emplace_back("Параметр " + std::to_string(p), "П" + std::to_string(p), "ед",
                            "параметр_" + std::to_string(p), 0.0f, 300.0f);
    encoder.write_params(stream, params);
    encoder.write_text(stream, "номер_рейса=1\r\nшаг_записи_по_времени=1\r\nскважина=1\r\n");
    std::vector<float> values(kParams);
    const std::uint32_t t0 = 1700000000;
    for (int i = 0; i < records; ++i) {
        for (int p = 0; p < kParams; ++p)
            values[std::size_t(p)] = 100.0f + 10.0f * float(p % 10) + 25.0f * std::sin(0.001f * float(i) + float(p));
        const float depth = 1000.0f + 0.001f * float(i);
        encoder.write_record(stream, t0 + std::uint32_t(i), depth, depth - 1, depth - 4, 1, values.data(),
                             values.size());
        if (bytes.size() > (1u << 22) || i + 1 == records) {
            if (!out.write(bytes.data(), bytes.size())) return {};
            bytes.clear();
        }
    }
    out.close();
    return path;
}

struct ChildRun {
    bool ok = false;
    double seconds = 0;
    double peak_bytes = 0;
};

ChildRun run_child(const std::string& program, const std::vector<std::string>& args) {
    ChildRun r;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (pid < 0) return r;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peak_bytes = double(usage.ru_maxrss) * 1024;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double day_seconds_per_mb = 0;

void BM_TripExportLas(benchmark::State& state) {
    const int records = int(state.range(0));
    const std::string well = (bench_dir() / ("trip" + std::to_string(records))).string();
    const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "trip_export").string();
    if (!fs::exists(program)) {
        state.SkipWithError("trip_export is not built beside this program");
        return;
    }
    const std::string time_file = make_trip(well, records);
    if (time_file.empty()) {
        state.SkipWithError("the trip could not be written");
        return;
    }
    const double mb = double(fs::file_size(time_file)) / (1 << 20);
    const std::string las = well + "/trip.las";
    ChildRun last;
    for (auto _ : state) {
        last = run_child(program, {"--well", well, "--las", las});
        if (!last.ok) {
            state.SkipWithError("trip_export failed");
            break;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["file_MB"] = mb;
    state.counters["peak_x"] = last.peak_bytes / (mb * (1 << 20));
    state.counters["s_per_MB"] = last.seconds / mb;
    if (records <= 86400)
        day_seconds_per_mb = last.seconds / mb;
    else if (day_seconds_per_mb > 0)
        state.counters["linear"] = (last.seconds / mb) / day_seconds_per_mb;
    std::error_code ec;
    fs::remove_all(well, ec);
}
BENCHMARK(BM_TripExportLas)
    ->Arg(86400)
    ->Arg(7 * 86400)
    ->ArgNames({"records"})
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);

double thread_seconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Writes `bytes` to the file whenever it holds a megabyte, and at the end.
void drain(os::File& out, std::string& bytes, bool last) {
    if (bytes.size() >= (1u << 20) || last) {
        out.write(bytes.data(), bytes.size());
        bytes.clear();
    }
}

void BM_LasRowsAgainstToChars(benchmark::State& state) {
    constexpr int rows = 20000, columns = kParams + 4;
    std::vector<double> values(std::size_t(rows) * columns);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = double(float(100.0 + 25.0 * std::sin(0.37 * double(i))));
    lib::las::file las;
    auto& table = las.get_values();
    table.set_precision(3);
    fs::create_directories(bench_dir());
    const std::string path = (bench_dir() / "rows.las").string();
    double ours = 0, bare = 0;
    std::string bytes;
    bytes.reserve(2u << 20);
    for (auto _ : state) {
        {
            os::File out;
            out.open(path, os::File::Mode::write_truncate, false);
            const double t = thread_seconds();
            for (int r = 0; r < rows; ++r) {
                table.append_row(bytes, values.data() + std::size_t(r) * columns, columns);
                drain(out, bytes, r + 1 == rows);
            }
            ours += thread_seconds() - t;
        }
        {
            os::File out;
            out.open(path, os::File::Mode::write_truncate, false);
            const double t = thread_seconds();
            char text[64];
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < columns; ++c) {
                    const auto end = std::to_chars(text, text + sizeof text, values[std::size_t(r) * columns + c],
                                                   std::chars_format::fixed, 3)
                                         .ptr;
                    bytes.append(text, std::size_t(end - text));
                    bytes.push_back(' ');
                }
                bytes.append("\r\n");
                drain(out, bytes, r + 1 == rows);
            }
            bare += thread_seconds() - t;
        }
    }
    state.counters["ratio"] = ours > 0 ? bare / ours : 0;
    state.counters["writer_MB/s"] =
        benchmark::Counter(double(fs::file_size(path)) / (1 << 20) * double(state.iterations()) / ours);
    std::error_code ec;
    fs::remove_all(bench_dir(), ec);
}
BENCHMARK(BM_LasRowsAgainstToChars)->Unit(benchmark::kMillisecond);

}  // namespace
