#include "gti/registr_old/values.h"

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "library/number_conv.h"
#include "platform/rtl/text.h"

namespace {

AnsiString key_of(const char* name) { return rtl::AnsiLowerCase(name ? name : ""); }

template <class F>
auto call_or_throw(const F& f) -> const F& {
    if (!f) throw values_detailed::bad_function_call();
    return f;
}

}  // namespace

double Values::get(const AnsiString& name) {
    lib::Locker hold(sys_lock_obj());
    auto it = values_.find(rtl::AnsiLowerCase(name));
    if (it != values_.end()) return call_or_throw(it->second.value.getter)();
    if (!frame_) return 0;
    return frame_->average_values[name];
}

void Values::set(const char* name, double value) {
    lib::Locker hold(sys_lock_obj());
    if (!frame_ || !name) return;
    frame_->current_values[name] = value;
}

void Values::register_value(const char* key, const char* title, const char* units, ValueType type,
                            const std::function<double()>& getter) {
    lib::Locker hold(sys_lock_obj());
    if (!key) return;
    ValueEntry entry{key, {title ? title : "", units ? units : "", type, getter}};
    values_.emplace(key_of(key), std::move(entry));
}

bool Values::get_param(const AnsiString& name, ValueParam& out) {
    lib::Locker hold(sys_lock_obj());
    auto it = values_.find(rtl::AnsiLowerCase(name));
    if (it != values_.end()) {
        int_value_to_value_param(it->second.value, out);
        out.global_name = it->second.key;
        return true;
    }
    if (!frame_) return false;
    const ParTabl& table = frame_->get_par_tabl();
    int i = table.find_global(name);
    if (i < 0) return false;
    reg_param_2_plugin_param(table[i], out);
    return true;
}

void Values::enum_values(std::vector<ValueParam>& out, bool with_table) {
    lib::Locker hold(sys_lock_obj());
    if (with_table) {
        out.clear();
        if (frame_) {
            const ParTabl& table = frame_->get_par_tabl();
            for (int i = 0; i < table.get_items_count(); ++i) {
                ValueParam p;
                reg_param_2_plugin_param(table[i], p);
                out.push_back(std::move(p));
            }
        }
    }
    for (const auto& [lower, entry] : values_) {
        ValueParam p;
        int_value_to_value_param(entry.value, p);
        p.global_name = entry.key;
        out.push_back(std::move(p));
    }
}

void Values::set_variable(const char* name, const AnsiString& value) {
    lib::Locker hold(sys_lock_obj());
    if (!name) return;
    variables_[name] = value;
}

AnsiString Values::get_variable(const char* name) {
    lib::Locker hold(sys_lock_obj());
    if (!name) return {};
    auto it = variables_.find(name);
    return it == variables_.end() ? AnsiString() : it->second;
}

double Values::get_float_variable(const char* name) {
    lib::Locker hold(sys_lock_obj());
    return static_cast<double>(lib::str_to_float(get_variable(name), 0));
}

void Values::enum_variables(std::vector<AnsiString>& out) {
    lib::Locker hold(sys_lock_obj());
    out.clear();
    for (const auto& [name, value] : variables_) out.push_back(name);
}

void Values::register_function1(const char* key, const Function1& f) {
    lib::Locker hold(sys_lock_obj());
    if (key) functions_.emplace(key_of(key), FunctionEntry{f, {}, {}});
}

void Values::register_function2(const char* key, const Function2& f) {
    lib::Locker hold(sys_lock_obj());
    if (key) functions_.emplace(key_of(key), FunctionEntry{{}, f, {}});
}

void Values::register_function3(const char* key, const Function3& f) {
    lib::Locker hold(sys_lock_obj());
    if (key) functions_.emplace(key_of(key), FunctionEntry{{}, {}, f});
}

double Values::call_function1(const char* key, double a) {
    lib::Locker hold(sys_lock_obj());
    auto it = functions_.find(key_of(key));
    if (it == functions_.end()) return 0;
    return call_or_throw(it->second.f1)(a);
}

double Values::call_function2(const char* key, double a, double b) {
    lib::Locker hold(sys_lock_obj());
    auto it = functions_.find(key_of(key));
    if (it == functions_.end()) return 0;
    return call_or_throw(it->second.f2)(a, b);
}

double Values::call_function3(const char* key, double a, double b, double c) {
    lib::Locker hold(sys_lock_obj());
    auto it = functions_.find(key_of(key));
    if (it == functions_.end()) return 0;
    return call_or_throw(it->second.f3)(a, b, c);
}

bool Values::param_exists(const AnsiString& name) {
    lib::Locker hold(sys_lock_obj());
    return variables_.count(name) != 0 || values_.count(rtl::AnsiLowerCase(name)) != 0;
}

void Values::reg_param_2_plugin_param(const Param& p, ValueParam& out) {
    out.name = p.name;
    out.short_name = p.short_name;
    out.units = p.units;
    out.global_name = p.global_name;
    out.type = vt_param;
}

void Values::int_value_to_value_param(const values_detailed::IntValue& v, ValueParam& out) {
    out.name = v.title;
    out.short_name = v.title;
    out.units = v.units;
    out.type = v.type;
}
