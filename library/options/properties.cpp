#include "library/options/properties.h"

#include <cmath>
#include <stdexcept>

#include "library/number_conv.h"
#include "library/options/options.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"

namespace lib {

Property::Property(const char* name) : name(name ? name : "") {}

Property::~Property() = default;

bool Property::cmp_name(const char* other) const {
    return rtl::AnsiLowerCase(name) == rtl::AnsiLowerCase(other ? other : "");
}

bool Property::set(const std::string& text) {
    const bool changed = set_from_text(text);
    if (changed && on_change) on_change();
    return changed;
}

IntProperty::IntProperty(int& value, const char* name, int def_value)
    : Property(name), value(value), def_value(def_value) {}

bool IntProperty::set_from_text(const std::string& text) {
    const int v = rtl::StrToIntDef(text, def_value);
    if (v == value) return false;
    value = v;
    return true;
}

std::string IntProperty::get_text() const { return rtl::IntToStr(value); }

FloatProperty::FloatProperty(float& value, const char* name, int decimals)
    : Property(name), value(value), decimals(decimals) {}

bool FloatProperty::set_from_text(const std::string& text) {
    const double v = static_cast<double>(lib::str_to_float(text, 0));
    if (std::fabs(v - static_cast<double>(value)) < 0.0005) return false;
    value = options_detailed::to_float(v);
    return true;
}

std::string FloatProperty::get_text() const { return lib::float_to_str(value, decimals, -1); }

StringProperty::StringProperty(std::string& value, const char* name) : Property(name), value(value) {}

bool StringProperty::set_from_text(const std::string& text) {
    if (text == value) return false;
    value = text;
    return true;
}

ColorProperty::ColorProperty(rtl::TColor& value, const char* name) : Property(name), value(value) {}

bool ColorProperty::set_from_text(const std::string& text) {
    rtl::TColor c = value;
    if (!rtl::TryStringToColor(text, c) || c == value) return false;
    value = c;
    return true;
}

std::string ColorProperty::get_text() const { return rtl::ColorToString(value); }

Properties::Properties() = default;

Properties::~Properties() { clear(); }

Property& Properties::append(std::unique_ptr<Property> p) {
    items.push_back(std::move(p));
    return *items.back();
}

Property& Properties::add_float(float& value, const char* name, int decimals) {
    return append(std::make_unique<FloatProperty>(value, name, decimals));
}

Property& Properties::add_int(int& value, const char* name, int def_value) {
    return append(std::make_unique<IntProperty>(value, name, def_value));
}

Property& Properties::add_string(std::string& value, const char* name) {
    return append(std::make_unique<StringProperty>(value, name));
}

Property& Properties::add_color(rtl::TColor& value, const char* name) {
    return append(std::make_unique<ColorProperty>(value, name));
}

Property& Properties::add_file_name(std::string& value, const char* name) {
    return append(std::make_unique<FileNameProperty>(value, name));
}

Property& Properties::add_str_dialog(std::string& value, const char* name) {
    return append(std::make_unique<StringDialogProperty>(value, name));
}

Property& Properties::operator[](const char* name) {
    for (const auto& p : items)
        if (p->cmp_name(name)) return *p;
    throw std::runtime_error("Wrong property");
}

void Properties::clear() { items.clear(); }

}  // namespace lib
