#include "gti/registr_old/all_params.h"

#include <stdexcept>

#include "gti/registr_old/all_params_rows.h"
#include "platform/os/paths.h"
#include "platform/rtl/text.h"

namespace {

const char* const group_names[] = {"",
                                   "ТИ",
                                   "Раствор",
                                   "Скорости",
                                   "Расчётные",
                                   "Газ",
                                   "Дифференциальные",
                                   "Эксперементальные",
                                   "Дополнительные",
                                   "Телеметрия",
                                   "Входящие"};
constexpr int incoming_group = 10;

const char* const default_fast_params[] = {"вес_на_крюке", "давление_на_входе", "момент_ротора", "нагрузка",
                                           "тальблок"};

std::string fast_params_path() { return os::program_dir() + "/" + AllParams::fast_params_file; }

std::string placeholder_name(int n) { return "__" + std::to_string(n); }

}  // namespace

void DefaultParam::assign_to(Param& p) const {
    p.name = name;
    p.short_name = short_name;
    p.units = units;
    p.global_name = global_name;
    p.channel = channel;
    p.averaging = averaging;
    p.range = range;
    p.zero = zero;
    p.min_value = min_value;
    p.max_value = max_value;
    p.kind = kind;
}

AllParams::AllParams() { init(); }

AllParams::~AllParams() {
    try {
        fast_params_.SaveToFile(fast_params_path());
    } catch (...) {
        // Nothing to tell anyone at unload: the list is read again, or the
        // defaults taken, at the next start.
    }
}

void AllParams::init() {
    rows_.clear();
    for (const all_params_detail::BuiltinRow* r = all_params_detail::builtin_rows(); r->global_name; ++r) {
        DefaultParam row;
        row.name = r->name;
        row.short_name = r->short_name;
        row.units = r->units;
        row.global_name = r->global_name;
        row.channel = r->channel;
        row.averaging = r->averaging;
        row.group = r->group;
        row.range = r->range;
        row.zero = r->zero;
        row.min_value = r->min_value;
        row.max_value = r->max_value;
        row.kind = static_cast<std::uint8_t>(r->kind);
        rows_.push_back(std::move(row));
    }
    for (int n = 0; n < placeholder_count; ++n) {
        DefaultParam row;
        row.name = row.short_name = row.units = row.global_name = placeholder_name(n);
        row.channel = -1;
        row.averaging = 1;
        row.group = incoming_group;
        row.range = 100.0f;
        row.zero = 0.0f;
        row.min_value = 0.0f;
        row.max_value = 100.0f;
        row.kind = 0;
        rows_.push_back(std::move(row));
    }
    incoming_count_ = 0;
    index_.touch();
    digit_params_.insert(ParamVars::radio_dens_in);
    digit_params_.insert(ParamVars::radio_dens_out);
    load_fast_params();
}

void AllParams::load_fast_params() {
    fast_params_.Clear();
    try {
        fast_params_.LoadFromFile(fast_params_path());
    } catch (const std::exception&) {
        fast_params_.Clear();
    }
    for (int i = fast_params_.Count() - 1; i >= 0; --i)
        if (get_param_number(std::string_view(fast_params_[i])) == -1) fast_params_.Delete(i);
    if (fast_params_.Count() == 0)
        for (const char* name : default_fast_params) fast_params_.Add(name);
}

DefaultParam& AllParams::at(int i) {
    if (i < 0 || i >= get_items_count()) throw std::out_of_range("invalid vector<T> subscript");
    index_.touch();  // the caller may rename it
    return rows_[static_cast<std::size_t>(i)];
}

const DefaultParam& AllParams::at(int i) const {
    if (i < 0 || i >= get_items_count()) throw std::out_of_range("invalid vector<T> subscript");
    return rows_[static_cast<std::size_t>(i)];
}

AnsiString AllParams::get_group_name(int index) {
    constexpr int count = static_cast<int>(sizeof group_names / sizeof group_names[0]);
    return index >= 0 && index < count ? group_names[index] : "???????";
}

int AllParams::get_param_number(const char* name) const { return name ? get_param_number(std::string_view(name)) : -1; }

int AllParams::get_param_number(std::string_view name) const {
    return index_.find(name, rows_.size(),
                       [this](std::size_t i) -> const std::string& { return rows_[i].global_name; });
}

bool AllParams::test_param(const AnsiString& name, ParamTest test) const {
    return test == has_options_dialog && digit_params_.count(name) != 0;
}

void AllParams::add_digit_params(const AnsiString& name) { digit_params_.insert(name); }

int AllParams::remove_digit_params(const AnsiString& name) { return static_cast<int>(digit_params_.erase(name)); }

void AllParams::register_param(const AnsiString& name, const AnsiString& short_name, const AnsiString& units,
                               const AnsiString& global_name, int channel, int averaging, int group, float range,
                               float zero, float min_value, float max_value, char kind) {
    DefaultParam row;
    row.name = name;
    row.short_name = short_name;
    row.units = units;
    row.global_name = global_name;
    row.channel = channel;
    row.averaging = averaging;
    row.group = group;
    row.range = range;
    row.zero = zero;
    row.min_value = min_value;
    row.max_value = max_value;
    row.kind = static_cast<std::uint8_t>(kind);
    rows_.push_back(std::move(row));
    index_.touch();
}

void AllParams::register_param(const AnsiString& extra, int channel, int averaging, int group, float range, float zero,
                               float min_value, float max_value, char kind, const AnsiString& global_name,
                               const AnsiString& short_name, const AnsiString& units, const AnsiString& name) {
    register_param(name, short_name, units, global_name, channel, averaging, group, range, zero, min_value, max_value,
                   kind);
    const int n = get_param_number(std::string_view(global_name));
    if (n >= 0) rows_[static_cast<std::size_t>(n)].extra = extra;
}

void AllParams::add_incoming_param(const AnsiString& name, const AnsiString& short_name, const AnsiString& units,
                                   const AnsiString& global_name, int channel, int averaging, int group, float range,
                                   float zero, float min_value, float max_value, char kind) {
    if (incoming_count_ >= max_incoming) return;
    const int slot = get_param_number(std::string_view(placeholder_name(incoming_count_)));
    if (slot == -1) return;
    if (get_param_number(std::string_view(global_name)) != -1) return;
    DefaultParam& row = rows_[static_cast<std::size_t>(slot)];
    row.name = name;
    row.short_name = short_name;
    row.units = units;
    row.global_name = global_name;
    row.channel = channel;
    row.averaging = averaging;
    row.group = group;
    row.range = range;
    row.zero = zero;
    row.min_value = min_value;
    row.max_value = max_value;
    row.kind = static_cast<std::uint8_t>(kind);
    ++incoming_count_;
    index_.touch();
}

void AllParams::get_all_params(std::vector<Param>& out) const {
    out.clear();
    out.reserve(rows_.size());
    for (const DefaultParam& row : rows_) {
        Param p;
        row.assign_to(p);
        out.push_back(std::move(p));
    }
}

AllParams& get_all_params() {
    static AllParams registry;
    return registry;
}
