// One acquisition cycle of the current frame at its full 512 parameters:
// the host writes every value (some by name), both halves of the averages
// are recomputed, the depths move, the lag queue is lifted and the trip
// totals count the cycle. The "allocs" counter is the number of heap
// allocations per cycle once the averaging windows are full; it has to be 0.
// BM_WindowCostRatio runs cycles with 1000-sample and with 10-sample
// windows in turn and prints "ratio", the cost of the first over the
// second: the averages keep running sums, so it should stay near 1.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/race_total.h"

namespace {
std::atomic<long> g_allocations{0};
}

// The counting operator new hands out malloc'ed memory, so its delete frees
// it; the compiler can't see that the two are replaced together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Names the host writes by name every cycle, as the calculations do.
const char* const by_name[] = {"вес_на_крюке",       "тальблок",         "давление_на_входе", "расход_на_входе",
                               "ходы_насоса",        "нагрузка",         "момент_ротора",     "обороты_ротора",
                               "плотность_на_входе", "расход_на_выходе", "уровень_в_емкости", "объем_емкости",
                               "скорость_спо",       "скорость_бурения", "метан_абс",         "сумм_газ"};

// Every registry parameter, then made-up ones up to 512; a tenth of them
// computed (channel -2). Window: the given one, or a station's mix.
void fill_table(DataStorage& ds, int window) {
    const AllParams& registry = get_all_params();
    ParTabl& t = ds.get_par_tabl();
    for (int i = 0; i < DataStorage::max_params; ++i) {
        Param p;
        p.global_name =
            i < registry.get_items_count() ? registry.at(i).global_name : "параметр_станции_" + std::to_string(i);
        p.channel = i % 10 == 9 ? -2 : i % 40;
        p.averaging = window > 0 ? window : (i % 8 == 0 ? 1000 : 1 + i % 60);
        t.add(p);
    }
}

struct Station {
    DataStorage ds;
    RaceTotal totals;
    int cycle = 0;

    explicit Station(int window) {
        fill_table(ds, window);
        totals.set_frame(&ds);
        ds.set_depth_z(2500);
        totals.start();
        for (int k = 0; k < 1100; ++k) run();  // fill every window
    }

    void run() {
        ++cycle;
        const double phase = (cycle % 97) * 0.01;
        for (int i = 0; i < DataStorage::max_params; ++i) ds.current_values[i] = i * 0.5 + phase;
        for (const char* name : by_name) ds.current_values[name] = phase * 3;
        ds.average_values.calculate_values(false);
        ds.average_values.calculate_values(true);
        double seen = 0;
        for (const char* name : by_name) seen += ds[name];
        benchmark::DoNotOptimize(seen);
        ds.set_operation(cycle % 5);
        ds.set_depth_cur(2400 + (cycle % 50));
        ds.tick();
        DelayedDepth& lag = ds.get_delayed_depth();
        lag.process_records(0.5f);
        lag.calc(1, 0.5f);
        totals.calculate();
    }
};

void run_cycles(benchmark::State& state, int window) {
    Station s(window);
    long allocations = 0;
    for (auto _ : state) {
        const long before = g_allocations.load(std::memory_order_relaxed);
        s.run();
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_FrameCycle512StationMix(benchmark::State& state) { run_cycles(state, 0); }
void BM_FrameCycle512Window10(benchmark::State& state) { run_cycles(state, 10); }
void BM_FrameCycle512Window1000(benchmark::State& state) { run_cycles(state, 1000); }

void BM_WindowCostRatio(benchmark::State& state) {
    using clock = std::chrono::steady_clock;
    Station wide(1000), narrow(10);
    clock::duration t_wide{}, t_narrow{};
    for (auto _ : state) {
        // Sixteen cycles each, so the clock's own cost stays small.
        auto t0 = clock::now();
        for (int k = 0; k < 16; ++k) wide.run();
        auto t1 = clock::now();
        for (int k = 0; k < 16; ++k) narrow.run();
        auto t2 = clock::now();
        t_wide += t1 - t0;
        t_narrow += t2 - t1;
    }
    state.counters["ratio"] = std::chrono::duration<double>(t_wide).count() /
                              std::max(1e-12, std::chrono::duration<double>(t_narrow).count());
}

}  // namespace

BENCHMARK(BM_FrameCycle512StationMix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCycle512Window10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCycle512Window1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowCostRatio)->Unit(benchmark::kMicrosecond);
