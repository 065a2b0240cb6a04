// Loading and saving an options object of a few hundred keys: every read
// checks the file for changes, and every save outside a batch rewrites it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

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

}  // namespace
