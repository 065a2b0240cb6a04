// Number text is written for every value of every LAS line, grid cell and
// INI key, so its cost matters more than its look.
#include <benchmark/benchmark.h>

#include "platform/rtl/numbers.h"

namespace {

const double kValues[] = {0, 1.5, -12.375, 1234.5678, 0.000123, 98765.4321, 1e-7, 3.14159265358979};

void BM_FloatToStr(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(rtl::FloatToStr(kValues[i++ % std::size(kValues)]));
}
BENCHMARK(BM_FloatToStr);

void BM_FormatFloat(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(rtl::FormatFloat("0.00", kValues[i++ % std::size(kValues)]));
}
BENCHMARK(BM_FormatFloat);

void BM_StrToFloat(benchmark::State& state) {
    double v;
    for (auto _ : state) benchmark::DoNotOptimize(rtl::TryStrToFloat("-1234,5678", v));
}
BENCHMARK(BM_StrToFloat);

}  // namespace
