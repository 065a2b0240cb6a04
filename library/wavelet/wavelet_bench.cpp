// Cost of coding one column: the export transforms every wavelet-coded
// parameter of a file, so this is linear in the record count by design.
#include <benchmark/benchmark.h>

#include <cmath>

#include "library/wavelet/wavelet.h"

namespace {

void BM_WaveletCompress(benchmark::State& state) {
    const wave::wavelet w(wave::coif5_filter.data(), wave::coif5_filter.size());
    wave::float_vector x(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.01 * static_cast<double>(i));
    wave::float_vector c;
    for (auto _ : state) {
        wave::wavelet_compress_vector(w, x, c, true, 2.0);
        benchmark::DoNotOptimize(c.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WaveletCompress)->RangeMultiplier(8)->Range(64, 1 << 18);

void BM_WaveletRestore(benchmark::State& state) {
    const wave::wavelet w(wave::coif5_filter.data(), wave::coif5_filter.size());
    wave::float_vector c(static_cast<std::size_t>(state.range(0)), 0.5);
    wave::float_vector x;
    for (auto _ : state) {
        wave::wavelet_restore_vector(w, c, x);
        benchmark::DoNotOptimize(x.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WaveletRestore)->RangeMultiplier(8)->Range(64, 1 << 18);

}  // namespace
