#include "gti/registr_old/test_plugins/probe.h"

#include "gti/registr_old/reg_plugin.h"

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"

namespace {

struct ProbePlugin : reg::RegPlugin {
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = "Проба";
        info.module_name = "probe";
    }
    void event(reg::PluginEventType, const std::any& payload) override {
        if (auto* out = std::any_cast<ProbeReport*>(&payload)) run(**out);
    }
    void run(ProbeReport& report);
};

void ProbePlugin::run(ProbeReport& report) {
    auto& numbers = report.numbers;
    auto& texts = report.texts;
    numbers["get_value"] = host_get_value("вес_на_крюке");
    host_set_value("вес_на_крюке", 12.5);
    numbers["find_known"] = host_find_param("вес_на_крюке");
    numbers["find_value"] = host_find_param("ds.depth_z");
    numbers["find_unknown"] = host_find_param("нет_такого");
    numbers["operation"] = host_get_operation();

    host_register_value("probe.seven", "Семь", "шт", ValueType(3), [] { return 7.0; });
    numbers["seven"] = host_get_value("PROBE.SEVEN");
    ValueParam param;
    numbers["get_param"] = host_get_param("probe.seven", param);
    texts["get_param.title"] = param.name;

    numbers["f1"] = host_call_function1("probe.twice", 4);
    numbers["f2"] = host_call_function2("probe.sum", 4, 5);
    numbers["f3"] = host_call_function3("probe.sum3", 1, 2, 3);

    host_set_variable("probe.var", "3,5");
    texts["var"] = host_get_variable("probe.var");
    numbers["float_var"] = host_get_float_variable("probe.var");
    std::vector<AnsiString> names;
    host_enum_variables(names);
    numbers["variables"] = static_cast<double>(names.size());

    numbers["reg_active"] = host_get_reg_active();
    numbers["crush"] = host_get_crush_flag("вес_на_крюке");
    numbers["param_number"] = host_get_param_number("вес_на_крюке  тонн");
    numbers["param_number_empty"] = host_get_param_number("");

    reg::HostObject instrument = host_get_object("SYS().PORE.INSTRUMENT");
    numbers["object_is_instr"] = instrument.object == &sys()->get_instr_items();
    if (instrument.lock && instrument.unlock) {
        instrument.lock();
        // Held already: a callback still gets through (the lock is recursive).
        numbers["under_object_lock"] = host_get_value("probe.seven");
        instrument.unlock();
    }
    reg::HostObject other = host_get_object("sys().pore");
    numbers["other_null"] = !other.object && !other.lock && !other.unlock;

    reg::InstrElements elements;
    host_get_instr_elements(elements);
    numbers["elements"] = elements.size();
    double total = 0;
    for (int i = 0; i < elements.size(); ++i) {
        instr::Elem e = elements.get_element(i);
        if (e.count != 1) numbers["element_count_not_1"] = 1;
        total += e.get_len();
    }
    numbers["elements_len"] = total;

    host_add_error(this, "проверка связи");
    host_add_error(nullptr, "без модуля");
    host_set_plugin_active(this);
    host_correct_interface();
    host_call_rect_callback();
    host_reserved();
}

}  // namespace

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new ProbePlugin; }
