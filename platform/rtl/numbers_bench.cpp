// Number text is written for every value of every LAS line, grid cell and
// INI key, so its cost matters more than its look.
//
// BM_StrToFloatAgainstFromChars reads the same LAS-like tokens through
// TryStrToFloat and through std::from_chars in turn; "ratio" is our time
// over from_chars' time (near 1 for plain decimal text).
#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <random>
#include <string>
#include <vector>

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

void BM_StrToFloatAgainstFromChars(benchmark::State& state) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> value(-5000, 5000);
    std::vector<std::string> tokens;
    for (int i = 0; i < 4096; ++i) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, value(rng), std::chars_format::fixed, i % 5);
        tokens.emplace_back(buf, r.ptr);
        if (i % 50 == 0) tokens.back() = "-999.2500";
    }
    using clock = std::chrono::steady_clock;
    clock::duration ours{}, theirs{};
    for (auto _ : state) {
        double sum = 0, v = 0;
        const auto t0 = clock::now();
        for (const std::string& t : tokens) {
            rtl::TryStrToFloat(t, v);
            sum += v;
        }
        const auto t1 = clock::now();
        for (const std::string& t : tokens) {
            std::from_chars(t.data(), t.data() + t.size(), v);
            sum += v;
        }
        const auto t2 = clock::now();
        ours += t1 - t0;
        theirs += t2 - t1;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(tokens.size()));
    state.counters["ratio"] =
        std::chrono::duration<double>(ours).count() / std::chrono::duration<double>(theirs).count();
}
BENCHMARK(BM_StrToFloatAgainstFromChars);

}  // namespace
