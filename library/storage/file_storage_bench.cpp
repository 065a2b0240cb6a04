// Reading a long trip's time file: a generated 200 MB ".realtim" of 100
// parameters read into the table, beside a plain sequential read of the
// same file (the most any reader of it can do on this machine). The table's
// read should reach at least half the plain read's speed.

#include "library/io/file_streams.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/file.h"
#include "platform/os/testing.h"

#include <benchmark/benchmark.h>
#include <cmath>
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
