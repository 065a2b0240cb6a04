#include "library/options/options.h"

#include <cfloat>

#include "library/number_conv.h"
#include "library/text_conv.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"

namespace lib {

namespace {
std::string text_of(const char* s) { return s ? std::string(s) : std::string(); }
}  // namespace

meta_class_base::meta_class_base(const char* ini_name, const char* caption, const char* unit)
    : ini_name(text_of(ini_name)), caption(text_of(caption)), unit(text_of(unit)) {}

meta_class_base::~meta_class_base() = default;

std::string meta_class_base::get_serial_string() const { return get(); }

void meta_class_base::set_serial_string(const std::string& text) { set(text); }

void meta_class_base::set_sector(const std::string& name, const std::string& caption) {
    sect_name = name;
    sect_caption = caption;
}

std::string meta_class_base::get_full_name() const { return sect_name + "." + ini_name; }

namespace options_detailed {

std::vector<std::string> split_texts(const char* texts) {
    std::vector<std::string> parts;
    const std::string all = text_of(texts);
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = all.find('|', start);
        if (bar == std::string::npos) {
            parts.push_back(all.substr(start));
            return parts;
        }
        parts.push_back(all.substr(start, bar - start));
        start = bar + 1;
    }
}

float to_float(double v) {
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}

// int

meta_class_int::meta_class_int(int def_value, const char* ini_name, const char* caption, const char* unit)
    : meta_class_base(ini_name, caption, unit), def_value(def_value) {}

std::string meta_class_int::get() const { return rtl::IntToStr(get_value()); }

void meta_class_int::set(const std::string& text) {
    const std::string t = rtl::Trim(text);
    set_value(t.empty() ? def_value : rtl::StrToIntDef(t, def_value));
}

void meta_class_int::set_def_value() { set_value(def_value); }

// float

meta_class_float::meta_class_float(double scale, double def_value, int digits, const char* ini_name,
                                   const char* caption, const char* unit)
    : meta_class_base(ini_name, caption, unit), scale(scale), def_value(def_value), digits(digits) {}

std::string meta_class_float::get() const { return lib::float_to_str(get_value() / scale, digits, -1); }

void meta_class_float::set(const std::string& text) {
    if (rtl::Trim(text).empty())
        set_value(def_value * scale);
    else
        set_value(static_cast<double>(lib::str_to_float(text, 0)) * scale);
}

void meta_class_float::set_def_value() { set_value(def_value * scale); }

// enumeration

meta_class_enum_base::meta_class_enum_base(int def_value, const char* ini_name, const char* caption, const char* texts)
    : meta_class_int(def_value, ini_name, caption, nullptr), texts(split_texts(texts)) {}

std::string meta_class_enum_base::get() const {
    const int v = get_value();
    if (v < 0 || v >= static_cast<int>(texts.size())) return "?????";
    return texts[static_cast<std::size_t>(v)];
}

void meta_class_enum_base::set(const std::string& text) {
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == text) {
            set_value(static_cast<int>(i));
            return;
        }
    set_value(def_value);
}

std::string meta_class_enum_base::get_serial_string() const { return rtl::IntToStr(get_value()) + " (" + get() + ")"; }

void meta_class_enum_base::set_serial_string(const std::string& text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string::npos) {
        set_value(def_value);
        return;
    }
    int v = 0;
    set_value(rtl::TryStrToInt(text.substr(0, blank), v) ? v : def_value);
}

void meta_class_enum_base::enum_popup_strings(rtl::StringList* strings) const {
    strings->Clear();
    for (const std::string& t : texts) strings->Add(t);
}

// bool

meta_class<bool>::meta_class(bool& value, bool def_value, const char* ini_name, const char* caption, const char* texts)
    : meta_class_base(ini_name, caption, nullptr), value(value), def_value(def_value), texts(text_of(texts)) {}

std::string meta_class<bool>::word(int index) const {
    const std::vector<std::string> words = split_texts(texts.c_str());
    return static_cast<std::size_t>(index) < words.size() ? words[static_cast<std::size_t>(index)] : std::string();
}

std::string meta_class<bool>::get() const {
    if (have_enum()) return word(value ? 1 : 0);
    return value ? "1" : "0";
}

void meta_class<bool>::set(const std::string& text) {
    if (have_enum()) {
        if (text == word(0))
            value = false;
        else if (text == word(1))
            value = true;
        else
            value = def_value;
        return;
    }
    int v = 0;
    value = rtl::TryStrToInt(text, v) ? v != 0 : def_value;
}

std::string meta_class<bool>::get_serial_string() const { return value ? "1" : "0"; }

void meta_class<bool>::set_serial_string(const std::string& text) {
    int v = 0;
    value = rtl::TryStrToInt(text, v) && v != 0;
}

void meta_class<bool>::enum_popup_strings(rtl::StringList* strings) const {
    strings->Clear();
    if (!have_enum()) return;
    for (const std::string& t : split_texts(texts.c_str())) strings->Add(t);
}

// text

meta_class<std::string>::meta_class(std::string& value, const char* def_value, const char* ini_name,
                                    const char* caption, const char* unit)
    : meta_class_base(ini_name, caption, unit), value(value), def_value(text_of(def_value)) {}

std::string meta_class<std::string>::get_serial_string() const { return lib::normal_text_to_file(value); }

void meta_class<std::string>::set_serial_string(const std::string& text) { value = lib::file_text_to_normal(text); }

}  // namespace options_detailed

// list

void options_list::sector(const std::string& name, const std::string& caption) {
    sect_name = name;
    sect_caption = caption;
}

void options_list::add(meta_class_base* descriptor) { add_item(MetaClassPointer(descriptor)); }

void options_list::add_item(MetaClassPointer descriptor) {
    descriptor->set_sector(sect_name, sect_caption);
    items.push_back(std::move(descriptor));
}

MetaClassPointer options_list::get_item(int index) const {
    if (index < 0 || index >= size())
        throw std::out_of_range("options_list::get_item: index " + std::to_string(index) + " out of range");
    return items[static_cast<std::size_t>(index)];
}

void options_list::for_each(const options_detailed::ForEachFunc& func) const {
    for (const MetaClassPointer& item : items) func(item);
}

// INI

void ini_writer::operator()(const MetaClassPointer& item) const {
    if (item->get_ini_name().empty()) return;
    std::string value = item->get_serial_string();
    // Quotes keep the blanks at both ends, which the file would trim.
    if (item->get_type() == option_kind::text) value = "\"" + value + "\"";
    ini->WriteString(item->get_sect_name(), item->get_ini_name(), value);
}

void ini_reader::operator()(const MetaClassPointer& item) const {
    if (item->get_ini_name().empty()) return;
    const std::string value = ini->ReadString(item->get_sect_name(), item->get_ini_name(), "");
    if (value.empty())
        item->set_def_value();
    else
        item->set_serial_string(value);
}

options_base::~options_base() = default;

void options_base::save_additional_info(rtl::IniFile*) {}

void options_base::load_additional_info(rtl::IniFile*) {}

void options_base::load_from_ini(rtl::IniFile* ini) {
    options_list list;
    enum_values(list);
    list.for_each(ini_reader(ini));
    load_additional_info(ini);
}

void options_base::load_from_ini(const std::string& file_name) {
    rtl::IniFile ini(file_name);
    load_from_ini(&ini);
}

void options_base::save_to_ini(rtl::IniFile* ini) {
    rtl::IniFile::Batch batch(*ini);
    options_list list;
    enum_values(list);
    list.for_each(ini_writer(ini));
    save_additional_info(ini);
    batch.commit();
}

void options_base::save_to_ini(const std::string& file_name) {
    rtl::IniFile ini(file_name);
    save_to_ini(&ini);
}

void options_base::set_defaults() {
    options_list list;
    enum_values(list);
    list.for_each([](const MetaClassPointer& item) { item->set_def_value(); });
}

void copy(options_base& src, options_base& dst) {
    options_list from, to;
    src.enum_values(from);
    dst.enum_values(to);
    if (from.size() != to.size()) throw std::runtime_error("copy(options_base & src, options_base & dst)");
    for (int i = 0; i < from.size(); ++i) to.get_item(i)->set_serial_string(from.get_item(i)->get_serial_string());
}

}  // namespace lib
