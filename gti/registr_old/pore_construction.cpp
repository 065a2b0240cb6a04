#include "gti/registr_old/pore_construction.h"

#include <algorithm>
#include <cmath>

#include "library/number_conv.h"
#include "library/serial/serial_list.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"

namespace pore {

namespace {

constexpr double pi = 3.141592653589793;

const char* const element_names[] = {
    "Направление",          "Кондуктор",
    "Обсадная колонна - 1", "Обсадная колонна - 2",
    "Обсадная колонна - 3", "Обсадная колонна - 4",
    "Обсадная колонна - 5", "Техническая колонна",
    "Голый ствол",
};

bool name_contains(const AnsiString& name, const char* text) {
    return rtl::AnsiLowerCase(name).find(rtl::AnsiLowerCase(text ? text : "")) != AnsiString::npos;
}

}  // namespace

// ---- one element -------------------------------------------------------------

void ConstrElement::set_to_string(AnsiString& text) const {
    rtl::StringList list;
    list.Add(name);
    list.Add(lib::float_to_str(top, 2, -1));
    list.Add(lib::float_to_str(bottom, 2, -1));
    list.Add(lib::float_to_str(inner_diameter, 2, -1));
    list.Add(enabled ? "1" : "0");
    list.Add(lib::float_to_str(outer_diameter, 2, -1));
    text = list.CommaText();
}

void ConstrElement::get_from_string(const AnsiString& text) {
    rtl::StringList list;
    list.SetCommaText(text);
    while (list.Count() < 6) list.Add("");
    top = static_cast<float>(lib::str_to_float(list[1], 0));
    bottom = static_cast<float>(lib::str_to_float(list[2], 0));
    inner_diameter = static_cast<float>(lib::str_to_float(list[3], 0));
    enabled = rtl::StrToIntDef(list[4], 1) != 0;
    outer_diameter = static_cast<float>(lib::str_to_float(list[5], 0));
}

bool ConstrElement::contains_text(const char* text) const { return name_contains(name, text); }

bool ConstrElement::operator<(const ConstrElement& other) const {
    if (std::isnan(inner_diameter)) return !std::isnan(other.inner_diameter);
    if (std::isnan(other.inner_diameter)) return false;
    return inner_diameter < other.inner_diameter;
}

void ConstrElement::get_serial_list(lib::serial_list& list) {
    list | enabled | top | bottom | inner_diameter | outer_diameter | name;
}

// ---- the construction --------------------------------------------------------

Construction::Construction() : lib::IniSerialData(section_name) {
    for (const char* n : element_names) elements_.emplace_back(n, false);
}

float Construction::get_total_len() const { return elements_.empty() ? 0.0f : elements_.back().bottom; }

void Construction::recalc_to_depth(float depth) {
    if (elements_.empty()) return;
    elements_.back().bottom = depth;
    elements_.back().enabled = true;
}

float Construction::get_column_bottom() const {
    for (const ConstrElement& e : elements_)
        if (e.contains_text("Голый ствол")) return e.top;
    return 0;
}

ConstrElement* Construction::get_kond_element() {
    for (ConstrElement& e : elements_)
        if (e.contains_text("Кондуктор")) return &e;
    return nullptr;
}

float Construction::calc_max_diam() const {
    if (elements_.empty()) return 0;
    return std::max_element(elements_.begin(), elements_.end())->inner_diameter;
}

void Construction::get_real_items(std::vector<SimplePCE>& out) const {
    out.clear();
    for (auto e = elements_.rbegin(); e != elements_.rend(); ++e) {
        if (!e->enabled) continue;
        if (out.empty()) {
            out.push_back({e->top, e->bottom, e->inner_diameter});
            continue;
        }
        // An outer string shows only above the top of what lies inside it.
        const float t = out.front().top;
        if (t - e->top >= 0.001f) out.insert(out.begin(), SimplePCE{e->top, t, e->inner_diameter});
    }
}

float Construction::get_volume(float k) const {
    std::vector<SimplePCE> items;
    get_real_items(items);
    float sum = 0;
    for (const SimplePCE& s : items) {
        const double a = s.diameter * 0.0005;  // radius, m
        sum += static_cast<float>(a * a * pi * (s.bottom - s.top));
    }
    return sum * k;
}

void Construction::set_elems_size(int n) { elements_.resize(static_cast<std::size_t>(std::clamp(n, 0, max_elements))); }

void Construction::get_serial_list(lib::serial_list& list, unsigned) {
    if (list.is_writing()) {
        list.write_range_size(elements_.size());
        for (ConstrElement& e : elements_) e.get_serial_list(list);
    } else if (list.is_reading()) {
        const int n = list.read_range_size(ConstrElement::min_serial_bytes);
        if (n > max_elements)
            throw std::runtime_error("pore::Construction::get_serial_list: слишком много элементов конструкции");
        std::vector<ConstrElement> read(static_cast<std::size_t>(n));
        for (ConstrElement& e : read) e.get_serial_list(list);
        elements_ = std::move(read);
    }
}

}  // namespace pore
