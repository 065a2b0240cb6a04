// The package that leaves the rig: a generated day of drilling data (one
// record a second, 100 parameters) exported with each method, then packed
// with 7za as the packing program does, beside 7za of the raw ".realtim"
// file. Reported per method: the export's time (bytes/s is raw data per
// second), its size before and after 7za, and how many times smaller the
// package is than 7za of the raw file.
//
// Goals: the quantised and wavelet methods at least 3x smaller than 7za of
// the raw file, exporting at least 50 MB of raw data a second.
//
// The day: drilling stands with connections between them, a circulation
// and a trip out, so the mechanical channels step and saw-tooth; depths
// grow smoothly; gases are noisy log-normal backgrounds with shows and
// stretches below detection. Of the other 81 channels, 20 are computed
// (volumes, counters, lag: smooth or stepwise, no noise), 25 slow sensors
// (temperatures, densities, levels: smooth with noise of one step of a
// 12-bit converter), 16 follow the pumps (stepwise with noise) and 20 have
// no sensor connected (0 or a constant). The sensors' values are averages of
// several readings, as the station records them, so they do not fall on the
// converter's steps.

#include "library/console_programs.h"
#include "library/io/file_streams.h"
#include "library/storage/file_storage.h"
#include "platform/os/testing.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 86400;
constexpr int kParams = 100;
const char* const kSuffixes[] = {".params",    ".text",      ".time",      ".depth_z",
                                 ".depth_cur", ".lag_depth", ".operation", ".values"};

enum class Op { drilling, connection, circulating, tripping };

struct Channel {
    std::string global;
    float lo, hi;
};

struct Day {
    os::testing::TempDir dir;
    FileStorage table;
    std::int64_t raw_size = 0;
    std::int64_t raw_7z = 0;
    double raw_7z_seconds = 0;

    Day() {
        std::vector<Channel> channels = {
            {"вес_на_крюке", 0, 250},
            {"давление_на_входе", 0, 400},
            {"тальблок", 0, 30},
            {"момент_на_ключе", 0, 50},
            {"момент_ротора", 0, 40},
            {"скорость_спо", 0, 2},
            {"нагрузка", 0, 40},
            {"дмк", 0, 100},
            {"скорость_механическая", 0, 60},
            {"метан_абс", 0, 100},
            {"этан_абс", 0, 20},
            {"пропан_абс", 0, 10},
            {"бутан_абс", 0, 5},
            {"пентан_абс", 0, 2},
            {"гексан_абс", 0, 1},
            {"сумм_газ2", 0, 100},
            {"сумм_газ3", 0, 100},
            {"сумм_газ", 0, 100},
            {"максимальный_газ", 0, 100},
        };
        while (channels.size() < kParams) channels.push_back({"канал_" + std::to_string(channels.size()), 0, 100});
        for (const auto& c : channels)
            table.add_parametr(FileStorageParam(c.global, c.global, "ед", c.global, c.lo, c.hi));

        std::mt19937 rng(2024);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        std::uniform_real_distribution<float> uni(0.0f, 1.0f);

        float depth = 2400.0f, bit = 2400.0f, block = 25.0f, stand_left = 25.0f;
        float mud_in = 1.18f, mud_out = 1.18f;
        float gas_bg = 0.05f, show = 0.0f;
        int pumps = 2, phase_left = 0;
        std::uint32_t strokes = 0;  // pump strokes counted
        Op op = Op::drilling;
        std::vector<float> drift(kParams, 0.0f), level(kParams, 0.0f);
        for (int k = 19; k < kParams; ++k) level[static_cast<std::size_t>(k)] = 20.0f + 60.0f * uni(rng);

        for (int i = 0; i < kRecords; ++i) {
            // The rig's state: drilling until a stand is down, then a
            // connection; a circulation at noon, a trip out in the evening.
            if (i == 43200) op = Op::circulating, phase_left = 3600;
            if (i == 64800) op = Op::tripping;
            if (op == Op::circulating && --phase_left <= 0) op = Op::drilling;
            if (op == Op::connection && --phase_left <= 0) op = Op::drilling, block = 25.0f, stand_left = 25.0f;
            const float rop = 0.004f + 0.002f * std::sin(i / 5000.0f);  // m/s
            if (op == Op::drilling) {
                depth += rop;
                bit = depth;
                block -= rop;
                stand_left -= rop;
                if (stand_left <= 0) op = Op::connection, phase_left = 300 + static_cast<int>(200 * uni(rng));
            } else if (op == Op::tripping) {
                block += 0.4f;
                if (block > 27.0f) block = 2.0f;
                bit = std::max(0.0f, bit - 0.4f);
            }
            const bool circulating = op == Op::drilling || op == Op::circulating;
            if (i % 7200 == 0) pumps = 1 + static_cast<int>(2 * uni(rng));
            if (i % 20000 == 5000) mud_in += 0.02f;
            mud_out += 0.001f * (mud_in - mud_out);
            if (circulating && i % 2 == 0) strokes += static_cast<std::uint32_t>(pumps);
            if (uni(rng) < 0.0002f) show = 2.0f + 8.0f * uni(rng);
            show *= 0.999f;
            gas_bg *= std::exp(0.001f * noise(rng));

            FileStorageItem r;
            r.time = 1700000000u + static_cast<unsigned>(i);
            r.depth_z = depth;
            r.depth_cur = bit;
            r.lag_depth = depth - 30.0f;
            r.operation = static_cast<unsigned char>(op);
            r.values.resize(kParams);
            // A sensor's value with noise of sigma parts of its range.
            auto sensor = [&](std::size_t k, float v, float sigma) {
                r.values[k] = v + sigma * (channels[k].hi - channels[k].lo) * noise(rng);
            };
            const bool drilling = op == Op::drilling;
            const float hook = op == Op::connection ? 35.0f : op == Op::tripping ? 110.0f : drilling ? 128.0f : 140.0f;
            sensor(0, hook, 0.001f);
            r.values[1] = 0.0f;
            if (circulating) sensor(1, 80.0f * static_cast<float>(pumps), 0.001f);
            sensor(2, block, 0.0002f);
            r.values[3] = op == Op::connection && phase_left % 300 < 20 ? 25.0f : 0.0f;
            r.values[4] = drilling ? std::max(0.0f, 12.0f + 3.0f * noise(rng)) : 0.0f;
            r.values[5] = op == Op::tripping ? 0.4f : 0.0f;
            r.values[6] = drilling ? std::max(0.0f, 12.0f + 2.0f * noise(rng)) : 0.0f;
            r.values[7] = drilling ? 60.0f : 0.0f;
            r.values[8] = drilling ? rop * 3600.0f : 0.0f;
            // Gases: log-normal noise around the background, shows, and
            // heavier components below detection when the gas is lean.
            const float total = circulating ? (gas_bg + show) * std::exp(0.15f * noise(rng)) : 0.0f;
            const float share[] = {1.0f, 0.08f, 0.03f, 0.01f, 0.003f, 0.001f, 0.9f, 0.95f, 1.1f, 1.3f};
            for (std::size_t g = 0; g < 10; ++g) {
                float v = total * share[g] * std::exp(0.1f * noise(rng));
                if (v < 0.002f) v = 0.0f;  // below detection
                r.values[9 + g] = v;
            }
            for (std::size_t k = 19; k < kParams; ++k) {
                const float x = static_cast<float>(i);
                if (k < 39) {  // computed
                    switch (k % 4) {
                        case 0: r.values[k] = 0.0314f * (depth - 2000.0f) + static_cast<float>(k); break;
                        case 1: r.values[k] = std::floor((depth - 2400.0f) / 25.0f) + static_cast<float>(k); break;
                        case 2: r.values[k] = (depth - 30.0f) / 45.0f; break;
                        default: r.values[k] = static_cast<float>(strokes + k); break;
                    }
                } else if (k < 64) {  // slow sensors
                    drift[k] += 0.002f * noise(rng);
                    const float v = k % 5 == 0
                                        ? 50.0f * (k % 2 ? mud_in : mud_out)
                                        : level[k] + 5.0f * std::sin(x / (3000.0f + 40.0f * static_cast<float>(k)));
                    sensor(k, v + drift[k], 1.0f / 4096);
                } else if (k < 80) {  // with the pumps
                    r.values[k] = 0.0f;
                    if (circulating) sensor(k, (k % 2 ? 10.0f : 60.0f) * static_cast<float>(pumps), 0.001f);
                } else {  // nothing connected
                    r.values[k] = k % 2 ? 0.0f : level[k];
                }
            }
            table.add_record(r);
        }
        table.text_values().set_text("скважина", "1042");
        table.text_values().set_text("месторождение", "Южное");

        const std::string raw = dir / "0001.realtim";
        table.save_with_new_format(raw, -1);
        raw_size = static_cast<std::int64_t>(fs::file_size(raw));
        const auto start = std::chrono::steady_clock::now();
        raw_7z = pack(dir.path(), "raw.7z", {"0001.realtim"});
        raw_7z_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // 7za with its defaults over the named files of a folder; the size of
    // the archive.
    static std::int64_t pack(const std::string& folder, const std::string& archive,
                             const std::vector<std::string>& files) {
        fs::remove(folder + "/" + archive);
        std::string params = "a -bd -y " + archive;
        for (const auto& f : files) params += " " + f;
        int code = -1;
        if (!lib::start_console_application("/usr/bin/7za", params, folder, false, &code, 600000) || code != 0)
            return -1;
        return static_cast<std::int64_t>(fs::file_size(folder + "/" + archive));
    }
};

Day& day() {
    static Day d;
    return d;
}

void BM_Export(benchmark::State& state) {
    Day& d = day();
    const auto type = static_cast<FileStorage::EncodeType>(state.range(0));
    const std::string base = d.dir / "export";
    for (auto _ : state) {
        // The packing program exports into a fresh folder: files are made,
        // not rewritten (a disk file system may write a truncated file out
        // at once).
        state.PauseTiming();
        for (const char* s : kSuffixes) fs::remove(base + s);
        state.ResumeTiming();
        d.table.save_for_compressing(base, type);
    }
    state.SetBytesProcessed(state.iterations() * d.raw_size);

    std::int64_t exported = 0;
    std::vector<std::string> files;
    for (const char* s : kSuffixes) {
        files.push_back(std::string("export") + s);
        exported += static_cast<std::int64_t>(fs::file_size(base + s));
    }
    const std::int64_t packed = Day::pack(d.dir.path(), "export.7z", files);
    if (packed <= 0 || d.raw_7z <= 0) state.SkipWithError("7za failed");
    state.counters["raw_MB"] = static_cast<double>(d.raw_size) / 1e6;
    state.counters["raw_7z_kB"] = static_cast<double>(d.raw_7z) / 1e3;
    state.counters["raw_7z_s"] = d.raw_7z_seconds;
    state.counters["export_MB"] = static_cast<double>(exported) / 1e6;
    state.counters["export_7z_kB"] = static_cast<double>(packed) / 1e3;
    state.counters["x_smaller"] = static_cast<double>(d.raw_7z) / static_cast<double>(packed);
}
BENCHMARK(BM_Export)->Arg(0)->Arg(1)->Arg(2)->ArgName("method")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
