#include "gti/registr_old/test_plugins/probe.h"

void CountingPlugin::fill_plugin_info(reg::PluginInfo& info) {
    info.title = "Счётчик";
    info.module_name = "counting";
}

void CountingPlugin::start_registration(int race_num, bool load) {
    ++starts;
    last_race = race_num;
    last_load = load;
}

void CountingPlugin::stop_registration() { ++stops; }

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new CountingPlugin; }
