#include "gti/registr_old/par_tabl.h"

#include <filesystem>
#include <stdexcept>

#include "gti/registr_old/all_params.h"
#include "library/serial/serial_list.h"
#include "platform/os/file.h"
#include "platform/rtl/text.h"

namespace {

ParTabl::BeepFunction& beep_function() {
    static ParTabl::BeepFunction beep;
    return beep;
}

// Delphi's Trim on a view: characters up to ' ' go at both ends.
std::string_view trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

}  // namespace

ParTabl::ParTabl() = default;

void ParTabl::set_beep(BeepFunction beep) { beep_function() = std::move(beep); }

Param& ParTabl::operator[](int i) {
    if (i >= 0 && i < get_items_count()) {
        index_.touch();  // the caller may rename it
        return params_[static_cast<std::size_t>(i)];
    }
    spare_ = Param();
    return spare_;
}

Param ParTabl::operator[](int i) const {
    if (i < 0 || i >= get_items_count()) throw std::out_of_range("invalid vector<T> subscript");
    return params_[static_cast<std::size_t>(i)];
}

const Param& ParTabl::at(int i) const {
    if (i < 0 || i >= get_items_count()) throw std::out_of_range("invalid vector<T> subscript");
    return params_[static_cast<std::size_t>(i)];
}

Param& ParTabl::operator[](std::string_view name) { return (*this)[find_global(name)]; }

int ParTabl::find_global(std::string_view name) const {
    const std::string_view key = trimmed(name);
    if (key.empty()) return -1;
    return index_.find(key, params_.size(),
                       [this](std::size_t i) -> const std::string& { return params_[i].global_name; });
}

void ParTabl::resize(int n) {
    params_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    index_.touch();
}

void ParTabl::add(const Param& p) {
    params_.push_back(p);
    index_.touch();
}

void ParTabl::add(const AnsiString& name) {
    if (param_exists(name)) return;
    const AllParams& registry = ::get_all_params();
    const int n = registry.get_param_number(std::string_view(name));
    if (n == -1) return;
    Param p;
    registry.at(n).assign_to(p);
    params_.push_back(std::move(p));
    index_.touch();
}

void ParTabl::erase(int i) {
    if (i < 0 || i >= get_items_count()) return;
    params_.erase(params_.begin() + i);
    index_.touch();
}

void ParTabl::get_params_list(rtl::StringList& list) const {
    for (const Param& p : params_)
        if (!trimmed(p.name).empty()) list.Add(p.name);
}

// --- Dependency rules ---------------------------------------------------------------

bool ParTabl::check_remove_exists(const rtl::StringList& a, const rtl::StringList& b) {
    for (const std::string& name : a)
        if (param_exists(name)) return false;
    bool erased = false;
    for (const std::string& name : b) {
        const int i = find_global(name);
        if (i != -1) {
            erase(i);
            erased = true;
        }
    }
    return erased;
}

bool ParTabl::check_add_depend(const rtl::StringList& a, const rtl::StringList& b) {
    bool any = false;
    for (const std::string& name : a)
        if (param_exists(name)) {
            any = true;
            break;
        }
    if (!any) return false;
    bool added = false;
    for (const std::string& name : b) {
        if (param_exists(name)) continue;
        const int before = get_items_count();
        add(name);
        if (get_items_count() != before) added = true;
    }
    return added;
}

void ParTabl::check_depend(const char* a, const char* b) {
    rtl::StringList list_a, list_b;
    list_a.SetCommaText(a ? a : "");
    list_b.SetCommaText(b ? b : "");
    if (!check_remove_exists(list_a, list_b)) check_add_depend(list_a, list_b);
}

void ParTabl::check() {
    check_depend(ParamVars::h_emk1, ParamVars::v_emk1);
    const char* const levels[] = {ParamVars::h_emk2,  ParamVars::h_emk3,  ParamVars::h_emk4,  ParamVars::h_emk5,
                                  ParamVars::h_emk6,  ParamVars::h_emk7,  ParamVars::h_emk8,  ParamVars::h_emk9,
                                  ParamVars::h_emk10, ParamVars::h_emk11, ParamVars::h_emk12, ParamVars::h_emk13,
                                  ParamVars::h_emk14, ParamVars::h_emk15, ParamVars::h_emk16};
    const char* const volumes[] = {ParamVars::v_emk2,  ParamVars::v_emk3,  ParamVars::v_emk4,  ParamVars::v_emk5,
                                   ParamVars::v_emk6,  ParamVars::v_emk7,  ParamVars::v_emk8,  ParamVars::v_emk9,
                                   ParamVars::v_emk10, ParamVars::v_emk11, ParamVars::v_emk12, ParamVars::v_emk13,
                                   ParamVars::v_emk14, ParamVars::v_emk15, ParamVars::v_emk16};
    for (std::size_t i = 0; i < std::size(levels); ++i) check_depend(levels[i], volumes[i]);
    check_depend("уровень_в_долив_емкости", "объем_в_долив_емкости");
    check_depend(ParamVars::el_prov_in, ParamVars::ud_soprotivl_in);
    check_depend(ParamVars::el_prov_out, ParamVars::ud_soprotivl_out);
    check_depend(ParamVars::ud_soprotivl_in, ParamVars::el_prov_in);
    check_depend(ParamVars::ud_soprotivl_out, ParamVars::el_prov_out);
    check_depend(
        "уровень_в_емкости,уровень_в_емкости2,уровень_в_емкости3,уровень_в_емкости4,"
        "уровень_в_емкости5,уровень_в_емкости6,уровень_в_емкости7,уровень_в_емкости8,"
        "уровень_в_емкости9,уровень_в_емкости10,уровень_в_емкости11,уровень_в_емкости12,"
        "уровень_в_емкости13,уровень_в_емкости14,уровень_в_емкости15,уровень_в_емкости16,"
        "уровень_в_долив_емкости",
        "объем_актив_емкости,объем_емкости,объем_раствора,объем_в_доливных_емкостях,"
        "объем_в_приёмных_емкостях");
    check_depend("метан_абс", "метан_отн");
    check_depend("этан_абс", "этан_отн");
    check_depend("пропан_абс", "пропан_отн");
    check_depend("бутан_абс", "бутан_отн");
    check_depend("пентан_абс", "пентан_отн");
    check_depend("гексан_абс", "гексан_отн");
    check_depend("метан_абс,этан_абс,пропан_абс,бутан_абс,пентан_абс,гексан_абс", "сумм_газ");
    for (Param& p : params_) p.check_values();
}

void ParTabl::load() {
    if (const BeepFunction& beep = beep_function()) beep(1000, 40);
    std::error_code ec;
    load_from(std::filesystem::is_regular_file(os::native_path(file_name_), ec) ? file_name_ : fallback_file_name_);
}

void ParTabl::get_serial_list(lib::serial_list& list, unsigned) {
    if (list.is_writing()) {
        int count = get_items_count();
        list | count;
        for (Param& p : params_) p.get_serial_list(list);
    } else if (list.is_reading()) {
        // Four texts of at least their 0 byte, six 4-byte numbers, the kind.
        constexpr std::size_t min_param_bytes = 4 + 6 * 4 + 1;
        const int count = list.read_range_size(min_param_bytes);
        if (count > max_params)
            throw std::runtime_error("ParTabl::get_serial_list: " + std::to_string(count) +
                                     " parameters, more than the " + std::to_string(max_params) + " the station holds");
        std::vector<Param> read = params_;
        read.resize(static_cast<std::size_t>(count));
        for (Param& p : read) p.get_serial_list(list);
        params_ = std::move(read);
        index_.touch();
    }
}
