// Counts its start and stop calls.
#include "gti/registr_old/reg_plugin.h"
#include "gti/registr_old/test_plugins/probe.h"

namespace {
struct CountingPlugin : reg::RegPlugin {
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = "Счётчик";
        info.module_name = "counting";
    }
    void start_registration(int race_num, bool load) override {
        ++report.starts;
        report.last_race = race_num;
        report.last_load = load;
    }
    void stop_registration() override { ++report.stops; }
    void event(reg::PluginEventType, const std::any& payload) override {
        if (auto* out = std::any_cast<CountingReport*>(&payload)) **out = report;
    }
    CountingReport report;
};
}  // namespace

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new CountingPlugin; }
