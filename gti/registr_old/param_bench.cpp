// One acquisition frame of the recording path: 512 parameters turned from
// raw channel readings into values, and the look-ups by name that the hub
// and plug-ins make against the table and the registry.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/par_tabl.h"
#include "library/number_conv.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/text.h"

namespace {

// A table as a busy station has it: most parameters on the linear
// conversion, many with calibration tables of a few points, the hook load,
// and the two radioactive density meters with their decay data.
ParTabl make_frame_table() {
    ParTabl t;
    for (int i = 0; i < ParTabl::max_params; ++i) {
        Param p;
        p.global_name = "параметр_станции_" + std::to_string(i);
        p.channel = i % 40;
        p.range = 100;
        p.zero = 1;
        if (i % 3 == 1)
            for (int k = 0; k < 2 + i % 7; ++k) p.points.push_back({k * 1.5, k * 10.0});
        t.add(p);
    }
    t[0].global_name = "вес_на_крюке";
    for (const char* name : {ParamVars::radio_dens_in, ParamVars::radio_dens_out}) {
        Param& p = t[name == ParamVars::radio_dens_in ? 1 : 2];
        p.global_name = name;
        p.points = {{100, 1.0}, {300, 1.5}, {900, 2.2}};
        p.ext_info.set("last_calibr_time", lib::float_to_str(rtl::Now() - 100, 6, 0));
        p.ext_info.set("half_life", "30");
        p.ext_info.set("radio_koeff", "0,998");
    }
    return t;
}

void BM_CalcFrameOf512(benchmark::State& state) {
    ParTabl t = make_frame_table();
    std::vector<double> raw(ParTabl::max_params), values(ParTabl::max_params);
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = 0.37 * static_cast<double>(i % 23);
    for (auto _ : state) {
        for (int i = 0; i < ParTabl::max_params; ++i)
            values[static_cast<std::size_t>(i)] = t[i].calc_value_by_voltage(raw[static_cast<std::size_t>(i)], 1.25);
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ParTabl::max_params);
}
BENCHMARK(BM_CalcFrameOf512);

// Every parameter of the frame looked up by name once, in capital letters
// so that folding does work: the worst case of a frame's look-ups.
void BM_FindGlobalFrameOf512(benchmark::State& state) {
    const ParTabl t = make_frame_table();
    std::vector<std::string> keys;
    for (int i = 0; i < t.get_items_count(); ++i) keys.push_back(rtl::AnsiUpperCase(t[i].global_name));
    for (auto _ : state) {
        int sum = 0;
        for (const std::string& k : keys) sum += t.find_global(k);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(keys.size()));
}
BENCHMARK(BM_FindGlobalFrameOf512);

// A whole frame as the hub runs it: every value computed through the
// table's writable access (which makes the next look-up re-check the
// index), then every parameter looked up by name once.
void BM_FrameWithLookups(benchmark::State& state) {
    ParTabl t = make_frame_table();
    std::vector<std::string> keys;
    for (int i = 0; i < t.get_items_count(); ++i) keys.push_back(t[i].global_name);
    std::vector<double> values(ParTabl::max_params);
    for (auto _ : state) {
        for (int i = 0; i < ParTabl::max_params; ++i)
            values[static_cast<std::size_t>(i)] = t[i].calc_value_by_voltage(0.5 * (i % 9), 1.0);
        int sum = 0;
        for (const std::string& k : keys) sum += t.find_global(k);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(values.data());
    }
}
BENCHMARK(BM_FrameWithLookups);

void BM_RegistryNumberOfEveryRow(benchmark::State& state) {
    const AllParams& reg = get_all_params();
    std::vector<std::string> keys;
    for (int i = 0; i < reg.get_items_count(); ++i) keys.push_back(reg.at(i).global_name);
    for (auto _ : state) {
        int sum = 0;
        for (const std::string& k : keys) sum += reg.get_param_number(k.c_str());
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(keys.size()));
}
BENCHMARK(BM_RegistryNumberOfEveryRow);

}  // namespace
