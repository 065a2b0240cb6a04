// The operator's remarks over a well: the cost of adding one remark and
// saving the file, against how many the well already holds.
//
//   BM_AddAndSave/N  a remark added after N others and the file saved.
//   BM_AddAndSaveRatio  the time per remark at 16,000 remarks over that at
//       1,000 (goal: at most 2; the whole set sorted and rewritten on every
//       add made it grow with the count).

#include "gti/registr_old/text_storage.h"

#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

namespace {

text::Record remark(std::uint32_t time) {
    text::Record r;
    r.time = time;
    r.text = "Долив скважины, замер уровня " + std::to_string(time);
    return r;
}

// Seconds per remark added and saved after `count` others.
double per_remark(int count, int adds) {
    os::testing::TempDir dir;
    // The well's remarks so far, as the station writes them.
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += rtl::utf8_to_cp1251(text::format_remark_line(remark(std::uint32_t(1000 + 60 * i)))) + "\r\n";
    os::testing::write_bytes(dir / "remarks.txt", bytes);
    text::Storage s;
    s.set_file_name(dir / "remarks.txt");
    s.load_from_file();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < adds; ++i) {
        s.add_record(remark(std::uint32_t(1000 + 60 * (count + i))));
        s.save_to_file();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / adds;
}

void BM_AddAndSave(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) total += per_remark(int(state.range(0)), 50);
    state.counters["ms_per_remark"] = total / double(state.iterations()) * 1e3;
}
BENCHMARK(BM_AddAndSave)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddAndSaveRatio(benchmark::State& state) {
    double small = 0, large = 0;
    for (auto _ : state) {
        small += per_remark(1000, 100);
        large += per_remark(16000, 100);
    }
    state.counters["ratio"] = small > 0 ? large / small : 0;
}
BENCHMARK(BM_AddAndSaveRatio)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
