// Packing a day of one-second data at 128 parameters: the packing run
// (the time file rewritten through the compression export, then 7za) beside
// 7za of the raw time file alone, measured in turn in the same run.
//
//   BM_PackDayAgainstRaw7za
//     ratio  7za's time on the raw file over the packing run's (goal: at
//            least 3)
//     share  the package's size over the raw file's (goal: at most 1/3)
//     raw7z_share  7za's own package of the raw file over the raw file,
//            for comparison
//
// The data: a drilling day's kind of series, some stepping (pump counts,
// operation flags), most wandering slowly with sensor noise, a few noisy
// (flow, gas), with the quantised coding the program uses by default.

#include "programs/vargel2/compress_thread.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "library/storage/file_storage.h"
#include "platform/os/testing.h"

namespace {

constexpr int kParams = 128;
constexpr int kSeconds = 86400;

struct DayFile {
    os::testing::TempDir dir;
    std::string data = dir / "well/";
    std::string path = data + "0001.realtim";
    std::int64_t size = 0;

    DayFile() {
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(dir / "tmp");
        FileStorage t;
        for (int c = 0; c < kParams; ++c) {
            const std::string n = "п_" + std::to_string(c);
            t.add_parametr(FileStorageParam("Параметр " + std::to_string(c), n, "ед", n, 0.0f, 500.0f));
        }
        std::uint32_t noise = 12345;
        auto next_noise = [&noise] {
            noise = noise * 1664525u + 1013904223u;
            return static_cast<float>((noise >> 8) & 0xFFFF) / 65536.0f - 0.5f;
        };
        for (int i = 0; i < kSeconds; ++i) {
            FileStorageItem r;
            r.time = 86400u * 20000u / 10u + static_cast<std::uint32_t>(i);
            r.depth_z = 2000.0f + static_cast<float>(i) / 3600.0f;
            r.depth_cur = r.depth_z - static_cast<float>(i % 900) / 100.0f;
            r.lag_depth = r.depth_z - 12.0f;
            r.operation = static_cast<unsigned char>(i / 1800 % 6);
            const float x = static_cast<float>(i);
            for (int c = 0; c < kParams; ++c) {
                float v;
                if (c % 8 == 0) {
                    v = static_cast<float>((i / (600 + 37 * c)) % 3);  // stepping
                } else if (c % 8 == 7) {
                    v = 40.0f + 10.0f * std::sin(x / 300.0f + c) + 4.0f * next_noise();  // noisy
                } else {
                    v = 100.0f + 50.0f * std::sin(x / (2000.0f + 50.0f * c) + c) + 0.2f * next_noise();
                }
                r.values.push_back(v);
            }
            t.add_record(r);
        }
        t.save_with_new_format(path, -1);
        size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    }
};

DayFile& day_file() {
    static DayFile f;
    return f;
}

using Clock = std::chrono::steady_clock;
double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void BM_PackDayAgainstRaw7za(benchmark::State& state) {
    DayFile& f = day_file();
    const std::string package = f.dir / "day.compr_rt";
    const std::string raw_package = f.dir / "raw.7z";
    double pack_s = 0, raw_s = 0, share = 0, raw_share = 0;
    for (auto _ : state) {
        std::filesystem::remove(raw_package);
        auto t0 = Clock::now();
        const std::string raw = "cd '" + f.data + "' && 7za a -t7z -ms=on '" + raw_package + "' '*' >/dev/null";
        if (std::system(raw.c_str()) != 0) state.SkipWithError("7za failed on the raw file");
        raw_s += seconds_since(t0);

        vargel2::RunState run;
        run.data_folder = f.data;
        run.package_path = package;
        run.masks = {f.path};
        vargel2::ConfigValues options;  // the quantised coding, as by default
        vargel2::TCompressThread thread(run, options, {});
        thread.temp_parent = f.dir / "tmp";
        t0 = Clock::now();
        thread.Execute();
        pack_s += seconds_since(t0);
        if (!thread.error_text().empty()) state.SkipWithError(thread.error_text().c_str());
        share = static_cast<double>(std::filesystem::file_size(package)) / static_cast<double>(f.size);
        raw_share = static_cast<double>(std::filesystem::file_size(raw_package)) / static_cast<double>(f.size);
    }
    state.counters["ratio"] = raw_s / pack_s;
    state.counters["share"] = share;
    state.counters["raw7z_share"] = raw_share;
    state.counters["raw_MB"] = static_cast<double>(f.size) / 1e6;
}
BENCHMARK(BM_PackDayAgainstRaw7za)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
