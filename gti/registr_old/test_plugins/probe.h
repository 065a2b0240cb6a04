#pragma once
// What the plug-in manager's tests see of their plug-ins.

#include "gti/registr_old/reg_plugin.h"

#include <map>
#include <string>

// Runs the host callback table from inside its library on data() and keeps
// what it got back.
struct ProbePlugin : reg::RegPlugin {
    void fill_plugin_info(reg::PluginInfo& info) override;
    void data() override;

    std::map<std::string, double> numbers;
    std::map<std::string, std::string> texts;
};

// Counts its start and stop calls; one of the plug-ins in a list.
struct CountingPlugin : reg::RegPlugin {
    void fill_plugin_info(reg::PluginInfo& info) override;
    void start_registration(int race_num, bool load) override;
    void stop_registration() override;

    int starts = 0;
    int stops = 0;
    int last_race = -1;
    bool last_load = false;
};
