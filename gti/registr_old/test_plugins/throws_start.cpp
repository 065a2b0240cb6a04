// A plug-in whose start fails with a standard exception and whose stop
// fails with something else.
#include "gti/registr_old/reg_plugin.h"

#include <stdexcept>

namespace {
struct ThrowsStart : reg::RegPlugin {
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = "Сбойный";
        info.module_name = "throws_start";
    }
    void start_registration(int, bool) override { throw std::runtime_error("порт не открыт"); }
    void stop_registration() override { throw 42; }
};
}  // namespace

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new ThrowsStart; }
