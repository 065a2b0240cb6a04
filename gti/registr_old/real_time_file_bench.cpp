// The write path of the real-time files at a full frame of 512 parameters:
// records per second through the accumulators, the queue and the write
// thread into the time file (which carries the first 128, what the readers
// take).
//
//   Cycle512:      the host's share of one cycle (one sample into the
//                  accumulators, one time record made and queued) while the
//                  write thread drains in the background.
//   Sustained512:  bursts of 1000 cycles, each timed until the write thread
//                  has every record in the file: the rate recording can
//                  keep up for good.
//   Drain512:      the write thread alone, emptying a queue of 1000 records.

#include "gti/registr_old/real_time_file.h"

#include "gti/registr_old/real_time_file_testing.h"
#include "platform/os/testing.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kParams = 512;

struct Station {
    os::testing::TempDir dir;
    rt_testing::ScriptedFrame frame;
    rt_testing::RecordingHub hub;
    RealTimeFile writer{frame, &hub};
    int cycle = 0;

    Station() {
        const auto names = rt_testing::registry_names(kParams);
        for (int k = 0; k < kParams; ++k)
            frame.add(names[static_cast<std::size_t>(k)], static_cast<std::uint8_t>(k % 3));
        writer.calculate_file_names(dir / "bench_", 1);
    }

    void run_cycle() {
        ++cycle;
        for (int k = 0; k < kParams; ++k) frame.set(k, cycle * 0.5 + k);
        frame.time = 1'000'000u + static_cast<std::uint32_t>(cycle);
        writer.store_values_for_file();
        writer.save_time_values();
    }
};

void BM_Cycle512(benchmark::State& state) {
    Station s;
    s.writer.start_save_thread();
    for (auto _ : state) s.run_cycle();
    s.writer.stop_save_thread();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Cycle512)->UseRealTime();

void BM_Sustained512(benchmark::State& state) {
    Station s;
    s.writer.start_save_thread();
    constexpr int kBurst = 1000;
    for (auto _ : state) {
        for (int i = 0; i < kBurst; ++i) s.run_cycle();
        if (!s.writer.wait_until_written(std::chrono::seconds(60))) state.SkipWithError("the queue did not drain");
    }
    s.writer.stop_save_thread();
    state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_Sustained512)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Drain512(benchmark::State& state) {
    Station s;
    constexpr int kQueued = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kQueued; ++i) s.run_cycle();
        state.ResumeTiming();
        s.writer.start_save_thread();
        s.writer.stop_save_thread();
    }
    state.SetItemsProcessed(state.iterations() * kQueued);
}
BENCHMARK(BM_Drain512)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
