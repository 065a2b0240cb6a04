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
// stretches below detection; the other channels are slow drifts, pump
// steps, densities changed by the mud engineer, and some idle channels.
// Every sensor channel goes through a 12-bit converter with a little noise,
// as the acquisition unit's do.

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
const char* const kSuffixes[] = {".params", ".text", ".time", ".depth_z", ".depth_cur", ".lag_depth", ".operation",
                                 ".values"};

enum class Op { drilling, connection, circulating, tripping };

struct Channel {
    std::string global;
    float lo, hi;
};

// A reading through a 12-bit converter spanning the channel's range.
float adc(float value, const Channel& c) {
    const float step = (c.hi - c.lo) / 4095.0f;
    float k = std::round((value - c.lo) / step);
    k = std::min(std::max(k, 0.0f), 4095.0f);
    return c.lo + k * step;
}

struct Day {
    os::testing::TempDir dir;
    FileStorage table;
    std::int64_t raw_size = 0;
    std::int64_t raw_7z = 0;
    double raw_7z_seconds = 0;

    Day() {
        std::vector<Channel> channels = {
            {"вес_на_крюке", 0, 250},       {"давление_на_входе", 0, 400}, {"тальблок", 0, 30},
            {"момент_на_ключе", 0, 50},     {"момент_ротора", 0, 40},      {"скорость_спо", 0, 2},
            {"нагрузка", 0, 40},            {"дмк", 0, 100},               {"скорость_механическая", 0, 60},
            {"метан_абс", 0, 100},          {"этан_абс", 0, 20},           {"пропан_абс", 0, 10},
            {"бутан_абс", 0, 5},            {"пентан_абс", 0, 2},          {"гексан_абс", 0, 1},
            {"сумм_газ2", 0, 100},          {"сумм_газ3", 0, 100},         {"сумм_газ", 0, 100},
            {"максимальный_газ", 0, 100},
        };
        while (channels.size() < kParams)
            channels.push_back({"канал_" + std::to_string(channels.size()), 0, 100});
        for (const auto& c : channels)
            table.add_parametr(FileStorageParam(c.global, c.global, "ед", c.global, c.lo, c.hi));

        std::mt19937 rng(2024);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        std::uniform_real_distribution<float> uni(0.0f, 1.0f);

        float depth = 2400.0f, bit = 2400.0f, block = 25.0f, stand_left = 25.0f;
        float mud_in = 1.18f, mud_out = 1.18f;
        float gas_bg = 0.05f, show = 0.0f;
        int pumps = 2, phase_left = 0;
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
            auto set = [&](std::size_t k, float v) {
                r.values[k] = adc(v + 0.002f * (channels[k].hi - channels[k].lo) * noise(rng), channels[k]);
            };
            const float hook = op == Op::connection ? 35.0f : op == Op::tripping ? 110.0f : 140.0f - 12.0f * (op == Op::drilling);
            set(0, hook);
            set(1, circulating ? 80.0f * pumps : 0.0f);
            set(2, block);
            set(3, op == Op::connection && phase_left % 300 < 20 ? 25.0f : 0.0f);
            set(4, op == Op::drilling ? 12.0f + 3.0f * noise(rng) : 0.0f);
            set(5, op == Op::tripping ? 0.4f : 0.0f);
            set(6, op == Op::drilling ? 12.0f + 2.0f * noise(rng) : 0.0f);
            set(7, op == Op::drilling ? 60.0f : 0.0f);
            set(8, op == Op::drilling ? rop * 3600.0f : 0.0f);
            // Gases: log-normal noise around the background, shows, and
            // heavier components below detection when the gas is lean.
            const float total = circulating ? (gas_bg + show) * std::exp(0.15f * noise(rng)) : 0.0f;
            const float share[] = {1.0f, 0.08f, 0.03f, 0.01f, 0.003f, 0.001f, 0.9f, 0.95f, 1.1f, 1.3f};
            for (std::size_t g = 0; g < 10; ++g) {
                float v = total * share[g] * std::exp(0.1f * noise(rng));
                if (v < 0.002f) v = 0.0f;  // below detection
                r.values[9 + g] = std::round(v * 10000.0f) / 10000.0f;
            }
            // The rest: slow drifts, pump strokes, densities, idle channels.
            for (std::size_t k = 19; k < kParams; ++k) {
                float v;
                switch (k % 5) {
                    case 0: v = level[k] + 5.0f * std::sin(i / (3000.0f + 40.0f * k)); break;
                    case 1: v = circulating ? 10.0f * pumps + 0.5f * noise(rng) : 0.0f; break;
                    case 2: v = (k % 2 ? mud_in : mud_out) * 50.0f; break;
                    case 3:
                        drift[k] += 0.01f * noise(rng);
                        v = level[k] + drift[k];
                        break;
                    default: v = k % 10 == 4 ? 0.0f : level[k]; break;
                }
                set(k, v);
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
    for (auto _ : state) d.table.save_for_compressing(base, type);
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
