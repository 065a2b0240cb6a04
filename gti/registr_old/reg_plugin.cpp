#include "gti/registr_old/reg_plugin.h"

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/all_params.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/sys_lock.h"
#include "gti/registr_old/text_storage.h"
#include "gti/registr_old/view_file.h"
#include "library/lock_object.h"
#include "library/text_conv.h"
#include "platform/rtl/text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace reg {

// ---- the records ------------------------------------------------------------

instr::Elem InstrElements::get_element(int i) const {
    if (i < 0 || i >= size()) return instr::Elem();
    return items_[static_cast<std::size_t>(i)];
}

// ---- default operations -------------------------------------------------------

RegPlugin::RegPlugin() { clear_host_callbacks(); }
RegPlugin::~RegPlugin() = default;

ui::TControl* RegPlugin::get_opt_control() { return nullptr; }
void RegPlugin::set_opt_control(ui::TControl*) {}
void RegPlugin::start_registration(int, bool) {}
void RegPlugin::stop_registration() {}
void RegPlugin::data() {}
void RegPlugin::options() {}
void RegPlugin::show(bool) {}
void RegPlugin::init() {}
void RegPlugin::finalize() {}
void RegPlugin::event(PluginEventType, const std::any&) {}
ui::TForm* RegPlugin::get_form() { return nullptr; }
void RegPlugin::before_new_pore() {}
bool RegPlugin::send_data_to_pult(AnsiString&, std::vector<char>&) { return false; }
void RegPlugin::adc_data(CommIncomData*) {}
int RegPlugin::paint_on_status_bar(const ui::TRect&, ui::TCanvas*, bool) { return 0; }

void RegPlugin::clear_host_callbacks() {
    host_get_value = nullptr;
    host_set_value = nullptr;
    host_correct_interface = nullptr;
    host_enum_values = nullptr;
    host_get_param = nullptr;
    host_find_param = nullptr;
    host_get_operation = nullptr;
    host_register_value = nullptr;
    host_call_function1 = nullptr;
    host_call_function2 = nullptr;
    host_call_function3 = nullptr;
    host_set_variable = nullptr;
    host_get_variable = nullptr;
    host_get_float_variable = nullptr;
    host_get_reg_active = nullptr;
    host_get_crush_flag = nullptr;
    host_set_plugin_active = nullptr;
    host_get_view_records_size = nullptr;
    host_get_view_value = nullptr;
    host_get_param_number = nullptr;
    host_enum_variables = nullptr;
    host_add_log = nullptr;
    host_get_text_remarks = nullptr;
    host_add_error = nullptr;
    host_call_rect_callback = nullptr;
    host_get_instr_elements = nullptr;
    host_get_par_tabl = nullptr;
    host_reserved = nullptr;
    host_add_comparsion = nullptr;
    host_get_object = nullptr;
}

// ---- host callbacks -------------------------------------------------------------

namespace {

// A plug-in may hand a null text; it names nothing.
const char* text_or_empty(const char* s) { return s ? s : ""; }

struct HubLock {
    lib::Locker hold{sys_lock_obj()};
};

Values& values() { return sys()->get_values(); }

double cb_get_value(const char* name) {
    HubLock l;
    return values().get(text_or_empty(name));
}

void cb_set_value(const char* name, double value) {
    HubLock l;
    values().set(text_or_empty(name), value);
}

void cb_correct_interface() {
    HubLock l;
    sys()->get_plugin_manager().correct_interface();
}

void cb_enum_values(std::vector<ValueParam>& out, bool with_params) {
    HubLock l;
    values().enum_values(out, with_params);
}

bool cb_get_param(const AnsiString& name, ValueParam& out) {
    HubLock l;
    return values().get_param(name, out);
}

bool cb_find_param(const AnsiString& name) {
    HubLock l;
    return sys()->get_data_storage().get_par_tabl().find_global(name) != -1 || values().param_exists(name);
}

int cb_get_operation() {
    HubLock l;
    return sys()->get_data_storage().get_operation();
}

void cb_register_value(const char* name, const char* title, const char* unit, ValueType type,
                       const std::function<double()>& getter) {
    HubLock l;
    if (!name) return;
    values().register_value(name, text_or_empty(title), text_or_empty(unit), type, getter);
}

double cb_call_function1(const char* name, double a) {
    HubLock l;
    return values().call_function1(text_or_empty(name), a);
}

double cb_call_function2(const char* name, double a, double b) {
    HubLock l;
    return values().call_function2(text_or_empty(name), a, b);
}

double cb_call_function3(const char* name, double a, double b, double c) {
    HubLock l;
    return values().call_function3(text_or_empty(name), a, b, c);
}

void cb_set_variable(const char* name, const AnsiString& value) {
    HubLock l;
    if (!name) return;
    values().set_variable(name, value);
}

AnsiString cb_get_variable(const char* name) {
    HubLock l;
    return values().get_variable(text_or_empty(name));
}

double cb_get_float_variable(const char* name) {
    HubLock l;
    return values().get_float_variable(text_or_empty(name));
}

bool cb_get_reg_active() {
    HubLock l;
    return sys()->get_reg_active();
}

unsigned char cb_get_crush_flag(const AnsiString& param) {
    HubLock l;
    return sys()->get_data_storage().crush_flags[param];
}

void cb_set_plugin_active(RegPlugin* plugin) {
    HubLock l;
    sys()->get_plugin_manager().set_plugin_active(plugin);
}

int cb_get_view_records_size() {
    HubLock l;
    // A damaged counter must not wrap into a negative count.
    std::int64_t n = sys()->get_view_file().get_records_size();
    return static_cast<int>(std::min<std::int64_t>(n, INT_MAX) - 1);
}

// Whether the view still holds sample b: the ring keeps the last ring_size
// samples, older slots hold newer samples now.
bool view_has_sample(const vf::ViewFile& view, int b) {
    if (!view.is_open() || b < 0) return false;
    std::int64_t count = view.get_records_size();
    return b < count && b >= count - static_cast<std::int64_t>(vf::ring_size);
}

double cb_get_view_value(int kind, int a, int b) {
    // No lock: the view is a mapping that the cycle only appends to.
    const vf::ViewFile& view = sys()->get_view_file();
    if (kind < 0 || kind > 3 || !view_has_sample(view, b)) return 0;
    try {
        switch (kind) {
            case 0:
                if (a < 0 || a >= vf::max_params) return 0;
                return view.get_value(a, b);
            case 1: return view.get_overhead(b).depth_z;
            case 2: return view.get_overhead(b).depth_cur;
            default: return view.get_overhead(b).time;
        }
    } catch (const std::exception&) {
        // Closed or wrapped in the meantime: no value.
        return 0;
    }
}

int cb_get_param_number(const char* text) {
    HubLock l;
    AnsiString first = lib::get_word(text_or_empty(text), 0);
    return get_all_params().get_param_number(first);
}

void cb_enum_variables(std::vector<AnsiString>& out) {
    HubLock l;
    values().enum_variables(out);
}

void cb_add_log(const AnsiString& text) {
    // The hub lock first, then the log's own (add reads the trip number
    // before it takes its lock): the one order everywhere.
    HubLock l;
    sys()->get_registr_log().add(text);
}

void cb_get_text_remarks(std::uint32_t from_time, std::uint32_t to_time, TextRemarksQuery query) {
    HubLock l;
    if (!query.list) return;
    std::vector<TextRemark>& out = *query.list;
    out.clear();
    // Copies taken under the store's lock: the host edits the remarks on
    // its own thread while a plug-in asks.
    text::Storage& store = sys()->get_remarks();
    const std::vector<text::DeletedRecord> deleted = store.get_deleted_records();
    const std::vector<text::Record> records = store.get_records();
    // The store keeps no depth of a remark: each stands at depth 0.
    const double depth = 0;
    const bool depth_in_range = query.lower_depth < depth && depth <= query.upper_depth;
    for (const text::DeletedRecord& d : deleted)
        if (depth_in_range) out.push_back(TextRemark{AnsiString(), d.time, depth});
    const bool by_depth = std::trunc(query.lower_depth) != 0.0;
    for (const text::Record& r : records) {
        bool in_time = from_time < r.time && r.time <= to_time;
        if (in_time || (by_depth && depth_in_range)) out.push_back(TextRemark{r.text, r.time, depth});
    }
}

void cb_add_error(RegPlugin* plugin, const AnsiString& text) {
    HubLock l;
    // Only a plug-in of the list is asked for its name: the pointer comes
    // from plug-in code.
    PluginInfo info;
    RegPluginManager& manager = sys()->get_plugin_manager();
    if (plugin && manager.index_of_plugin(plugin) >= 0) RegPluginManager::get_plugin_info(plugin, info);
    sys()->get_err_log().add("Модуль '" + info.module_name + "' :" + text);
}

void cb_call_rect_callback() { sys()->get_plugin_manager().call_rect_callback(ui::TRect(0, 0, 0, 0)); }

// A tally holds hundreds of units; a count beyond this many in all is
// damage, and copying it would exhaust memory.
constexpr int max_physical_elements = 100000;

void cb_get_instr_elements(InstrElements& out) {
    HubLock l;
    out.clear();
    const instr::Items& items = sys()->get_instr_items();
    for (int i = 0; i < items.size(); ++i) {
        const instr::Elem& item = items.get(i);
        // One unit: count 1, so that its length is the item's length per unit.
        instr::Elem unit = item;
        unit.count = 1;
        for (int k = 0; k < item.count && out.size() < max_physical_elements; ++k) out.add(unit);
    }
}

void cb_get_par_tabl(ParTabl& out) {
    HubLock l;
    out = sys()->get_data_storage().get_par_tabl();
}

void cb_reserved() {}

void cb_add_comparsion(const char* name, lib::options_base& old_opts, lib::options_base& new_opts) {
    sys()->get_registr_log().add_comparsion(text_or_empty(name), old_opts, new_opts);
}

void lock_hub() { sys_lock_obj()->lock(); }
void unlock_hub() { sys_lock_obj()->unlock(); }

HostObject cb_get_object(const char* name) {
    HostObject result;
    if (rtl::AnsiLowerCase(text_or_empty(name)) == "sys().pore.instrument") {
        result.object = &sys()->get_instr_items();
        result.lock = &lock_hub;
        result.unlock = &unlock_hub;
    }
    return result;
}

}  // namespace

void set_host_callbacks(RegPlugin& p) {
    p.clear_host_callbacks();
    p.host_get_value = &cb_get_value;
    p.host_set_value = &cb_set_value;
    p.host_correct_interface = &cb_correct_interface;
    p.host_enum_values = &cb_enum_values;
    p.host_get_param = &cb_get_param;
    p.host_find_param = &cb_find_param;
    p.host_get_operation = &cb_get_operation;
    p.host_register_value = &cb_register_value;
    p.host_call_function1 = &cb_call_function1;
    p.host_call_function2 = &cb_call_function2;
    p.host_call_function3 = &cb_call_function3;
    p.host_set_variable = &cb_set_variable;
    p.host_get_variable = &cb_get_variable;
    p.host_get_float_variable = &cb_get_float_variable;
    p.host_get_reg_active = &cb_get_reg_active;
    p.host_get_crush_flag = &cb_get_crush_flag;
    p.host_set_plugin_active = &cb_set_plugin_active;
    p.host_get_view_records_size = &cb_get_view_records_size;
    p.host_get_view_value = &cb_get_view_value;
    p.host_get_param_number = &cb_get_param_number;
    p.host_enum_variables = &cb_enum_variables;
    p.host_add_log = &cb_add_log;
    p.host_get_text_remarks = &cb_get_text_remarks;
    p.host_add_error = &cb_add_error;
    p.host_call_rect_callback = &cb_call_rect_callback;
    p.host_get_instr_elements = &cb_get_instr_elements;
    p.host_get_par_tabl = &cb_get_par_tabl;
    p.host_reserved = &cb_reserved;
    p.host_add_comparsion = &cb_add_comparsion;
    p.host_get_object = &cb_get_object;
}

}  // namespace reg
