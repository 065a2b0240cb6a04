// The file streams' two speed promises: the output stream gathers small
// typed writes into large ones, and the mapped reader copies from its view
// with no system call per read.

#include "library/io/file_streams.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string scratch_file() { return "/tmp/station-bench-" + std::to_string(::getpid()) + ".bin"; }

void BM_WriteFloatsToFile(benchmark::State& state) {
    const std::string path = scratch_file();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        lib::io::BinaryOutputFileStream out;
        out.open(path, false, true);
        for (int i = 0; i < count; ++i) out << static_cast<float>(i);
        out.close();
    }
    state.SetBytesProcessed(state.iterations() * count * 4);
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteFloatsToFile)->Arg(1 << 18);

void BM_ReadFloatsFromMappedFile(benchmark::State& state) {
    const std::string path = scratch_file();
    const int count = static_cast<int>(state.range(0));
    {
        lib::io::BinaryOutputFileStream out;
        out.open(path, false, false);
        for (int i = 0; i < count; ++i) out << static_cast<float>(i);
    }
    for (auto _ : state) {
        lib::io::InputMappedFile in;
        in.open(path, true);
        float sum = 0, v = 0;
        while (!in.eof()) {
            in >> v;
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * count * 4);
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadFloatsFromMappedFile)->Arg(1 << 18);

}  // namespace
