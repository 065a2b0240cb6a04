// Reading a long trip's time file: a generated 200 MB ".realtim" of 100
// parameters read into the table, beside a plain sequential read of the
// same file (the most any reader of it can do on this machine). The table's
// read should reach at least half the plain read's speed.
//
// Judged by their "ratio" (the table's speed over the anchor's, measured in
// turn in the same run):
//   BM_FreshTableAgainstReadLoop  a fresh table's read against a plain
//       read() loop over the file (goal: at least 0.7); "memory" is what
//       the table made resident over the file's size (goal: at most 1).
//   BM_WholeProcessAgainstCat  the station_files program (start, read the
//       trip's time file into the table, exit) against `cat` of the same
//       file (goal: at least 0.5); skipped when station_files is not built
//       beside this program. "start_x" is the program's start and exit
//       alone (on a folder without files) over `cat` of the file.

#include "library/io/file_streams.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/file.h"
#include "platform/os/testing.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr int kParams = 100;
constexpr std::int64_t kTargetBytes = 200LL * 1000 * 1000;

struct TimeFile {
    os::testing::TempDir dir;
    std::string path = dir / "0001.realtim";
    std::int64_t size = 0;

    TimeFile() {
        std::vector<FileStorageParam> params;
        for (int k = 0; k < kParams; ++k)
            params.emplace_back("Параметр " + std::to_string(k), "п" + std::to_string(k), "ед",
                                "параметр_" + std::to_string(k), 0.0f, 100.0f);
        lib::io::BinaryOutputFileStream out;
        out.open(path, false, false);
        lib::realtime::BlockEncoder enc;
        enc.write_text(out, "скважина=12\r\nнач_время=90000\r\n");
        enc.write_params(out, params);
        std::vector<float> v(kParams);
        const std::int64_t block = lib::realtime::block_header_size + lib::realtime::record_head_size + 4 * kParams;
        for (std::uint32_t i = 0; size + block <= kTargetBytes; ++i, size += block) {
            for (int k = 0; k < kParams; ++k) v[static_cast<std::size_t>(k)] = std::sin(0.001f * i + k) * 50.0f + 50.0f;
            enc.write_record(out, 90000 + 5 * i, 0.01f * i, 0.01f * i - 1, 0.01f * i - 2, 1, v.data(), v.size());
        }
        size = out.get_real_size();
        out.close();
    }
};

TimeFile& time_file() {
    static TimeFile file;
    return file;
}

void BM_PlainSequentialRead(benchmark::State& state) {
    TimeFile& f = time_file();
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        os::File file;
        if (file.open(f.path, os::File::Mode::read, false) != os::File::Status::ok) state.SkipWithError("open");
        std::int64_t total = 0, got;
        while ((got = file.read(buffer.data(), buffer.size())) > 0) total += got;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadTimeFileIntoTable(benchmark::State& state) {
    TimeFile& f = time_file();
    int records = 0;
    for (auto _ : state) {
        auto table = std::make_unique<FileStorage>();
        table->add_file(f.path, false);
        records = table->get_data_size();
        state.PauseTiming();  // letting the table go is not part of reading
        table.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * f.size);
    state.counters["records"] = records;
}
BENCHMARK(BM_ReadTimeFileIntoTable)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same read into a table cleared after each read, which keeps its
// memory: what reading costs once the system has handed out the memory
// (fresh memory alone costs the system several times a plain read).
void BM_ReadTimeFileIntoClearedTable(benchmark::State& state) {
    TimeFile& f = time_file();
    FileStorage table;
    table.add_file(f.path, false);
    table.clear();
    for (auto _ : state) {
        table.add_file(f.path, false);
        state.PauseTiming();
        table.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_ReadTimeFileIntoClearedTable)->Unit(benchmark::kMillisecond)->UseRealTime();

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Resident anonymous memory of this process (RssAnon): the table's records,
// not the pages of program code that a first read runs for the first time.
std::int64_t resident_bytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "RssAnon:") {
            std::int64_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

std::int64_t plain_read(const std::string& path) {
    static std::vector<char> buffer(1 << 20);
    os::File file;
    if (file.open(path, os::File::Mode::read, false) != os::File::Status::ok) return -1;
    std::int64_t total = 0, got;
    while ((got = file.read(buffer.data(), buffer.size())) > 0) total += got;
    return total;
}

void BM_FreshTableAgainstReadLoop(benchmark::State& state) {
    TimeFile& f = time_file();
    double table_s = 0, read_s = 0, memory = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(plain_read(f.path));
        read_s += seconds_since(t0);
        const std::int64_t before = resident_bytes();
        t0 = Clock::now();
        auto table = std::make_unique<FileStorage>();
        table->add_file(f.path, false);
        table_s += seconds_since(t0);
        memory = std::max(memory, static_cast<double>(resident_bytes() - before) / static_cast<double>(f.size));
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["ratio"] = read_s / table_s;
    state.counters["memory"] = memory;
}
BENCHMARK(BM_FreshTableAgainstReadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_WholeProcessAgainstCat(benchmark::State& state) {
    TimeFile& f = time_file();
    std::error_code ec;
    const std::filesystem::path reader =
        std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "station_files";
    if (ec || !std::filesystem::exists(reader)) {
        state.SkipWithError("station_files is not built beside this program");
        for (auto _ : state) {}
        return;
    }
    const std::string folder = f.dir.path();
    const std::string ours = "'" + reader.string() + "' --well '" + folder + "' --trip 1 >/dev/null 2>&1";
    const std::string cat = "cat '" + f.path + "' >/dev/null";
    // The program started on a folder without the trip's files: what its
    // start and exit alone cost.
    const std::string empty = (f.dir / "empty");
    std::filesystem::create_directories(empty, ec);
    const std::string start = "'" + reader.string() + "' --well '" + empty + "' --trip 1 >/dev/null 2>&1";
    double ours_s = 0, cat_s = 0, start_s = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        if (std::system(cat.c_str()) != 0) state.SkipWithError("cat failed");
        cat_s += seconds_since(t0);
        t0 = Clock::now();
        if (std::system(ours.c_str()) != 0) state.SkipWithError("station_files failed");
        ours_s += seconds_since(t0);
        t0 = Clock::now();
        (void)std::system(start.c_str());  // exits 1: no files
        start_s += seconds_since(t0);
    }
    state.counters["ratio"] = cat_s / ours_s;
    state.counters["start_x"] = start_s / cat_s;
}
BENCHMARK(BM_WholeProcessAgainstCat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_WriteTimeFileFromTable(benchmark::State& state) {
    TimeFile& f = time_file();
    FileStorage table;
    table.add_file(f.path, false);
    const std::string out = f.dir / "copy.realtim";
    for (auto _ : state) table.save_with_new_format(out, -1);
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_WriteTimeFileFromTable)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
