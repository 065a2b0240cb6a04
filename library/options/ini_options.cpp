#include "library/options/ini_options.h"

#include <charconv>
#include <cstring>
#include <type_traits>

#include "library/number_conv.h"
#include "library/options/options.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"

namespace lib {

namespace opt_detailed {

namespace {

std::string text_of(const char* s) { return s ? std::string(s) : std::string(); }

// The whole text as a 64-bit integer: sign, decimal or "$"/"0x" hexadecimal,
// as the Borland library reads a 64-bit integer.
bool parse_int64(std::string_view text, std::int64_t& out) {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (!t.empty() && t.front() == '$') {
        base = 16;
        t.remove_prefix(1);
    } else if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty()) return false;
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
    if (ec != std::errc() || end != t.data() + t.size()) return false;
    if (base == 16 && !negative) {
        out = static_cast<std::int64_t>(magnitude);  // hexadecimal gives the bits
        return true;
    }
    const std::uint64_t limit = negative ? std::uint64_t(INT64_MAX) + 1 : std::uint64_t(INT64_MAX);
    if (magnitude > limit) return false;
    out = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// How each plain type is written and read; the variable is the element's
// bound address seen as its type.
void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const int& v) {
    ini->WriteInteger(s, k, v);
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, int& v) { v = ini->ReadInteger(s, k, v); }

void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const std::int64_t& v) {
    ini->WriteString(s, k, std::to_string(v));
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, std::int64_t& v) {
    std::int64_t read = v;
    if (parse_int64(ini->ReadString(s, k, std::to_string(v)), read)) v = read;
}

void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const unsigned& v) {
    ini->WriteInteger(s, k, static_cast<int>(v));
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, unsigned& v) {
    v = static_cast<unsigned>(ini->ReadInteger(s, k, static_cast<int>(v)));
}

void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const bool& v) {
    ini->WriteBool(s, k, v);
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, bool& v) { v = ini->ReadBool(s, k, v); }

void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const float& v) {
    ini->WriteFloat(s, k, v);
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, float& v) {
    const std::string text = ini->ReadString(s, k, "");
    if (!text.empty()) v = options_detailed::to_float(static_cast<double>(lib::str_to_float(text, 0)));
}

void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const double& v) {
    ini->WriteFloat(s, k, v);
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, double& v) {
    const std::string text = ini->ReadString(s, k, "");
    if (!text.empty()) v = static_cast<double>(lib::str_to_float(text, 0));
}

// A value with a line break cannot be written as it is; the INI layer
// refuses it rather than split the file.
void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const std::string& v) {
    ini->WriteString(s, k, "\"" + v + "\"");
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, std::string& v) {
    v = ini->ReadString(s, k, v);
}

void write_value(rtl::IniFile* ini, const std::string& s, const std::string& k, const rtl::StringList& v) {
    ini->WriteString(s, k, "\"" + v.CommaText() + "\"");
}
void read_value(rtl::IniFile* ini, const std::string& s, const std::string& k, rtl::StringList& v) {
    v.SetCommaText(ini->ReadString(s, k, v.CommaText()));
}

}  // namespace

ioe_base::ioe_base(const char* section, const char* key, void* address)
    : section(text_of(section)), key(text_of(key)), address(address) {}

ioe_base::~ioe_base() = default;

// A number is copied out and back: a 64-bit element also binds a long long,
// which is not the type it is read as.
template <typename T>
void ioe_typed<T>::save_value(rtl::IniFile* ini) {
    if constexpr (std::is_arithmetic_v<T>) {
        T v;
        std::memcpy(&v, address, sizeof v);
        write_value(ini, section, key, v);
    } else {
        write_value(ini, section, key, *static_cast<const T*>(address));
    }
}

template <typename T>
void ioe_typed<T>::load_value(rtl::IniFile* ini) {
    if constexpr (std::is_arithmetic_v<T>) {
        T v;
        std::memcpy(&v, address, sizeof v);
        read_value(ini, section, key, v);
        std::memcpy(address, &v, sizeof v);
    } else {
        read_value(ini, section, key, *static_cast<T*>(address));
    }
}

template class ioe_typed<int>;
template class ioe_typed<std::int64_t>;
template class ioe_typed<unsigned>;
template class ioe_typed<bool>;
template class ioe_typed<float>;
template class ioe_typed<double>;
template class ioe_typed<std::string>;
template class ioe_typed<rtl::StringList>;

ioe_pod::ioe_pod(const char* section, const char* key, void* address, int size)
    : ioe_base(section, key, address), size(size < 0 ? 0 : size) {}

void ioe_pod::save_value(rtl::IniFile* ini) {
    static const char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(address);
    std::string text;
    text.reserve(static_cast<std::size_t>(size) * 2);
    for (int i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    ini->WriteString(section, key, text);
}

void ioe_pod::load_value(rtl::IniFile* ini) {
    const std::string text = ini->ReadString(section, key, "");
    // Exactly two digits a byte: a value cut short or run on belongs to
    // something else and must not be half applied.
    if (text.empty() || text.size() != static_cast<std::size_t>(size) * 2) return;
    auto* bytes = static_cast<unsigned char*>(address);
    for (int i = 0; i < size; ++i) {
        const int hi = hex_digit(text[2 * static_cast<std::size_t>(i)]);
        const int lo = hex_digit(text[2 * static_cast<std::size_t>(i) + 1]);
        bytes[i] = (hi < 0 || lo < 0) ? 0 : static_cast<unsigned char>(hi * 16 + lo);
    }
}

}  // namespace opt_detailed

using namespace opt_detailed;

ini_options_elements::ini_options_elements() = default;
ini_options_elements::~ini_options_elements() = default;

void ini_options_elements::add(int& value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_int>(section, key, &value));
}

void ini_options_elements::add(long long& value, const char* section, const char* key) {
    static_assert(sizeof(long long) == sizeof(std::int64_t));
    items.push_back(std::make_unique<ioe___int64>(section, key, &value));
}

void ini_options_elements::add(long& value, const char* section, const char* key) {
    static_assert(sizeof(long) == sizeof(std::int64_t), "a long of 64 bits");
    items.push_back(std::make_unique<ioe___int64>(section, key, &value));
}

void ini_options_elements::add(unsigned int& value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_unsigned>(section, key, &value));
}

void ini_options_elements::add(bool& value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_bool>(section, key, &value));
}

void ini_options_elements::add(float& value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_float>(section, key, &value));
}

void ini_options_elements::add(double& value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_double>(section, key, &value));
}

void ini_options_elements::add(std::string& value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_String>(section, key, &value));
}

void ini_options_elements::add(rtl::StringList* value, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_TStrings>(section, key, value));
}

void ini_options_elements::add_date_time(double& value, const char* section, const char* key) {
    add_pod(&value, sizeof value, section, key);
}

void ini_options_elements::add_pod(void* address, int size, const char* section, const char* key) {
    items.push_back(std::make_unique<ioe_pod>(section, key, address, size));
}

ini_options::~ini_options() = default;
void ini_options::get_elements_list(ini_options_elements&) {}
void ini_options::save_additional_info(rtl::IniFile*) {}
void ini_options::load_additional_info(rtl::IniFile*) {}
void ini_options::before_save(rtl::IniFile*) {}
void ini_options::before_load(rtl::IniFile*) {}

void ini_options::save(rtl::IniFile* ini) {
    rtl::IniFile::Batch batch(*ini);
    ini_options_elements list;
    before_save(ini);
    get_elements_list(list);
    for (std::size_t i = 0; i < list.size(); ++i) list[i].save_item(ini);
    save_additional_info(ini);
    batch.commit();
}

void ini_options::load(rtl::IniFile* ini) {
    ini_options_elements list;
    before_load(ini);
    get_elements_list(list);
    for (std::size_t i = 0; i < list.size(); ++i) list[i].load_item(ini);
    load_additional_info(ini);
}

void ini_options::save(const std::string& file_name) {
    if (rtl::Trim(file_name).empty()) return;
    ini_file_name = file_name;
    rtl::IniFile ini(file_name);
    save(&ini);
}

void ini_options::load(const std::string& file_name) {
    if (rtl::Trim(file_name).empty()) return;
    ini_file_name = file_name;
    rtl::IniFile ini(file_name);
    load(&ini);
}

void ini_options::save(std::unique_ptr<rtl::IniFile> ini) { save(ini.get()); }

void ini_options::load(std::unique_ptr<rtl::IniFile> ini) { load(ini.get()); }

}  // namespace lib
