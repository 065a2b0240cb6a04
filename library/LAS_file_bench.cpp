// Reading a large LAS 2.0 file (200,000 rows of 20 curves, about 36 MB, CR LF,
// NULL values among the data) against the least any reader must do: read
// the bytes and std::from_chars every token. Both run in each iteration, so
// the ratio printed compares them on the same machine at the same moment.
// "retained_x" is the heap the loaded file keeps over the decoded doubles.

#include "library/LAS_file.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "library/LAS_file_generated.h"

namespace {

constexpr int kRows = 200000;
constexpr int kCurves = 20;

std::string bench_file() {
    static const std::string path = [] {
        std::string p = "/tmp/station-las-bench-" + std::to_string(::getpid()) + ".las";
        std::ofstream out(p, std::ios::binary);
        out << lib::las::testing::generated_las_text(kRows, kCurves);
        return p;
    }();
    return path;
}

// Reads the file and converts every token after the "~A" line.
double anchor_read(const std::string& path, std::size_t& bytes_read) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes_read = bytes.size();
    const char* p = bytes.data() + bytes.find("~A");
    const char* e = bytes.data() + bytes.size();
    while (p < e && *p != '\n') ++p;
    double sum = 0;
    while (p < e) {
        while (p < e && static_cast<unsigned char>(*p) <= ' ') ++p;
        const char* s = p;
        while (p<e&& static_cast<unsigned char>(*p)> ' ') ++p;
        double v = 0;
        if (p > s && std::from_chars(s, p, v).ec == std::errc()) sum += v;
    }
    return sum;
}

void BM_LasReadVsFromChars(benchmark::State& state) {
    const std::string path = bench_file();
    using clock = std::chrono::steady_clock;
    double reader_s = 0, anchor_s = 0;
    std::size_t bytes = 0;
    double retained = 0;
    for (auto _ : state) {
        auto t0 = clock::now();
        const std::size_t heap_before = mallinfo2().uordblks;
        {
            lib::las::file las;
            las.load(path);
            auto t1 = clock::now();
            reader_s += std::chrono::duration<double>(t1 - t0).count();
            retained = static_cast<double>(mallinfo2().uordblks - heap_before) /
                       (static_cast<double>(las.get_values().size()) * kCurves * sizeof(double));
            benchmark::DoNotOptimize(las.get_values().at(1, kRows - 1));
        }
        auto t2 = clock::now();
        benchmark::DoNotOptimize(anchor_read(path, bytes));
        anchor_s += std::chrono::duration<double>(clock::now() - t2).count();
    }
    const double mb = static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6;
    state.counters["reader_MB/s"] = mb / reader_s;
    state.counters["from_chars_MB/s"] = mb / anchor_s;
    state.counters["ratio"] = anchor_s / reader_s;
    state.counters["retained_x"] = retained;
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_LasReadVsFromChars)->Unit(benchmark::kMillisecond)->Iterations(5);

struct Cleanup {
    ~Cleanup() { std::remove(("/tmp/station-las-bench-" + std::to_string(::getpid()) + ".las").c_str()); }
} cleanup;

}  // namespace
