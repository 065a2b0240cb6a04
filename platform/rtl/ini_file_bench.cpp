// Loading and saving an options object of a few hundred keys: every read
// checks the file for changes, and every save outside a batch rewrites it.
//
// BM_ReadAll2000KeysAgainstConfigparser reads every key of a 2,000-key file
// through an open IniFile and, when python3 is installed, has Python's
// configparser read the same keys of the same file; "ratio" is configparser's
// time per key over ours (at least 1 is the goal), "ns_per_key" ours.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/rtl/ini_file.h"

namespace {

constexpr int kKeys = 200;

std::string make_file() {
    char tmpl[] = "/tmp/ini_file_bench.XXXXXX";
    if (!::mkdtemp(tmpl)) std::abort();
    std::string path = std::string(tmpl) + "/station.ini";
    rtl::IniFile ini(path);
    rtl::IniFile::Batch batch(ini);
    for (int i = 0; i < kKeys; ++i)
        ini.WriteString("Раздел_" + std::to_string(i / 20), "параметр_" + std::to_string(i), "\"значение\"");
    batch.commit();
    return path;
}

void remove_file(const std::string& path) {
    ::unlink(path.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
}

void BM_ReadAllKeys(benchmark::State& state) {
    const std::string path = make_file();
    rtl::IniFile ini(path);
    for (auto _ : state)
        for (int i = 0; i < kKeys; ++i)
            benchmark::DoNotOptimize(
                ini.ReadString("раздел_" + std::to_string(i / 20), "ПАРАМЕТР_" + std::to_string(i), ""));
    state.SetItemsProcessed(state.iterations() * kKeys);
    remove_file(path);
}
BENCHMARK(BM_ReadAllKeys);

void BM_SaveAllKeysInOneBatch(benchmark::State& state) {
    const std::string path = make_file();
    rtl::IniFile ini(path);
    for (auto _ : state) {
        rtl::IniFile::Batch batch(ini);
        for (int i = 0; i < kKeys; ++i)
            ini.WriteInteger("Раздел_" + std::to_string(i / 20), "параметр_" + std::to_string(i), i);
        batch.commit();
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
    remove_file(path);
}
BENCHMARK(BM_SaveAllKeysInOneBatch);

void BM_SaveOneKey(benchmark::State& state) {
    const std::string path = make_file();
    rtl::IniFile ini(path);
    int i = 0;
    for (auto _ : state) ini.WriteInteger("Раздел_3", "параметр_65", ++i);
    remove_file(path);
}
BENCHMARK(BM_SaveOneKey);

constexpr int kSections = 100, kKeysPerSection = 20;

std::string section_name(int s) { return "Раздел_Станции_" + std::to_string(s); }
std::string key_name(int s, int k) { return "Параметр_" + std::to_string(s * kKeysPerSection + k); }

std::string make_big_file() {
    char tmpl[] = "/tmp/ini_file_bench.XXXXXX";
    if (!::mkdtemp(tmpl)) std::abort();
    std::string path = std::string(tmpl) + "/station.ini";
    rtl::IniFile ini(path);
    rtl::IniFile::Batch batch(ini);
    for (int s = 0; s < kSections; ++s)
        for (int k = 0; k < kKeysPerSection; ++k)
            ini.WriteString(section_name(s), key_name(s, k), "значение " + std::to_string(k * 7919 % 1000));
    batch.commit();
    return path;
}

// Nanoseconds per key for configparser reading every key of the file (the
// best of several rounds, the file parsed once before), or 0 without python3.
double configparser_ns_per_key(const std::string& path) {
    const std::string script =
        "import configparser,sys,time\n"
        "cp=configparser.ConfigParser(interpolation=None)\n"
        "cp.read(sys.argv[1],encoding='cp1251')\n"
        "keys=[(s,k) for s in cp.sections() for k in cp[s]]\n"
        "best=1e9\n"
        "for r in range(20):\n"
        "  t=time.perf_counter()\n"
        "  for s,k in keys: cp.get(s,k)\n"
        "  best=min(best,(time.perf_counter()-t)/len(keys))\n"
        "print(best*1e9)\n";
    const std::string script_path = path + ".py";
    if (FILE* f = std::fopen(script_path.c_str(), "w")) {
        std::fputs(script.c_str(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    double ns = 0;
    if (FILE* p = ::popen(("python3 '" + script_path + "' '" + path + "' 2>/dev/null").c_str(), "r")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, p)) ns = std::atof(line);
        ::pclose(p);
    }
    ::unlink(script_path.c_str());
    return ns;
}

void BM_ReadAll2000KeysAgainstConfigparser(benchmark::State& state) {
    const std::string path = make_big_file();
    std::vector<std::pair<std::string, std::string>> keys;
    for (int s = 0; s < kSections; ++s)
        for (int k = 0; k < kKeysPerSection; ++k) keys.emplace_back(section_name(s), key_name(s, k));
    rtl::IniFile ini(path);
    double best = 1e300;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (const auto& [s, k] : keys) benchmark::DoNotOptimize(ini.ReadString(s, k, ""));
        const std::chrono::duration<double, std::nano> t = std::chrono::steady_clock::now() - t0;
        best = std::min(best, t.count() / static_cast<double>(keys.size()));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(keys.size()));
    state.counters["ns_per_key"] = best;
    if (const double python = configparser_ns_per_key(path); python > 0) state.counters["ratio"] = python / best;
    remove_file(path);
}
BENCHMARK(BM_ReadAll2000KeysAgainstConfigparser)->Unit(benchmark::kMicrosecond);

}  // namespace
