// Case-insensitive look-ups run for every parameter name of every frame;
// these measure the folding paths they rely on.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>

#include "platform/rtl/codepage.h"
#include "platform/rtl/text.h"

namespace {

const std::string kName = "расход_на_входе";
const std::string kUpper = "РАСХОД_НА_ВХОДЕ";

void BM_SameTextCyrillic(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(rtl::SameText(kName, kUpper));
}
BENCHMARK(BM_SameTextCyrillic);

void BM_SameTextAscii(benchmark::State& state) {
    const std::string a = "DepthCalcOpts", b = "depthcalcopts";
    for (auto _ : state) benchmark::DoNotOptimize(rtl::SameText(a, b));
}
BENCHMARK(BM_SameTextAscii);

void BM_FoldMapLookup(benchmark::State& state) {
    std::unordered_map<std::string, int, rtl::FoldHash, rtl::FoldEqual> m;
    for (int i = 0; i < 512; ++i) m[kName + std::to_string(i)] = i;
    const std::string key = kUpper + "317";
    for (auto _ : state) benchmark::DoNotOptimize(m.find(std::string_view(key)));
}
BENCHMARK(BM_FoldMapLookup);

void BM_AnsiUpperCase(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(rtl::AnsiUpperCase(kName));
}
BENCHMARK(BM_AnsiUpperCase);

void BM_Utf8ToCp1251(benchmark::State& state) {
    std::string line;
    for (int i = 0; i < 64; ++i) line += "Глубина забоя=1500,5 м; ";
    for (auto _ : state) benchmark::DoNotOptimize(rtl::utf8_to_cp1251(line));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_Utf8ToCp1251);

}  // namespace
