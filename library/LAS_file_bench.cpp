// Reading a large LAS 2.0 file (200,000 rows of 20 curves, about 36 MB, CR LF,
// NULL values among the data) against the least any reader must do: read
// the bytes and std::from_chars every token. Both run in each iteration, so
// the ratio printed compares them on the same machine at the same moment.
// Times are the thread's processor time (the machine is shared; waiting for
// a core is not reading), the wall-clock speed follows for reference.
// "retained_x" is the resident memory the loaded file keeps over the decoded
// doubles.

#include "library/LAS_file.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
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

double thread_seconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Anonymous resident memory of the process in bytes (RssAnon), after the
// heap gave back what it holds free, so that memory freed before does not
// hide what the load takes.
double anonymous_resident() {
    ::malloc_trim(0);
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "RssAnon:") {
            double kb = 0;
            status >> kb;
            return kb * 1024;
        }
    return 0;
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
    double reader_s = 0, anchor_s = 0, reader_wall_s = 0;
    std::size_t bytes = 0;
    double retained = 0;
    {
        // Once untimed, so that neither side pays for the first touch of
        // the file's pages or of the system's free memory.
        lib::las::file warm;
        warm.load(path);
        benchmark::DoNotOptimize(anchor_read(path, bytes));
    }
    for (auto _ : state) {
        const double resident_before = anonymous_resident();
        {
            lib::las::file las;
            const auto w0 = clock::now();
            const double t0 = thread_seconds();
            las.load(path);
            reader_s += thread_seconds() - t0;
            reader_wall_s += std::chrono::duration<double>(clock::now() - w0).count();
            retained = (anonymous_resident() - resident_before) /
                       (static_cast<double>(las.get_values().size()) * kCurves * sizeof(double));
            benchmark::DoNotOptimize(las.get_values().at(1, kRows - 1));
        }
        const double t2 = thread_seconds();
        benchmark::DoNotOptimize(anchor_read(path, bytes));
        anchor_s += thread_seconds() - t2;
    }
    const double mb = static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6;
    state.counters["reader_MB/s"] = mb / reader_s;
    state.counters["reader_wall_MB/s"] = mb / reader_wall_s;
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
