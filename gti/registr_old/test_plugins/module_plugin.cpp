// A plug-in that is also a module of the state file, and asks for recording
// by time.
#include "gti/registr_old/reg_plugin.h"
#include "library/serial/module_list.h"
#include "library/serial/serial_list.h"

namespace {
struct ModulePlugin : reg::RegPlugin, lib::SerialModule {
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = "Модуль";
        info.module_name = "ModulePlugin";
        info.flags = reg::PluginInfo::record_by_time;
    }
    void get_serial_list(lib::serial_list& list, unsigned) override { list | value; }
    void get_serial_name(AnsiString& name) override { name = "ModulePlugin"; }
    std::int32_t value = 7;
};
}  // namespace

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new ModulePlugin; }
