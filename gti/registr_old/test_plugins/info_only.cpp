// A plug-in that overrides nothing but its description.
#include "gti/registr_old/reg_plugin.h"

namespace {
struct InfoOnly : reg::RegPlugin {
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = "Только описание";
        info.module_name = "info_only";
    }
};
}  // namespace

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new InfoOnly; }
