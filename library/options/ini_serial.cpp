#include "library/options/ini_serial.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "platform/rtl/ini_file.h"
#include "platform/rtl/text.h"

namespace lib {

namespace {

const char kSize[] = "size";
const char kItem[] = "item";

std::string item_key(int index) { return kItem + std::to_string(index + 1); }

// The highest n for which the section has a key "item<n>" (any letter case,
// n in plain decimal), capped at limit.
int last_item_present(const std::vector<std::string>& keys, int limit) {
    int last = 0;
    for (const std::string& key : keys) {
        if (key.size() <= 4 || rtl::AnsiLowerCase(key.substr(0, 4)) != kItem || key[4] == '0') continue;
        int n = 0;
        auto [end, ec] = std::from_chars(key.data() + 4, key.data() + key.size(), n);
        if (ec == std::errc() && end == key.data() + key.size() && n <= limit && n > last) last = n;
    }
    return last;
}

}  // namespace

IniSerialItem::~IniSerialItem() = default;

IniSerialData::IniSerialData(const char* section) : section(section ? section : "") {}

IniSerialData::~IniSerialData() = default;

void IniSerialData::after_save(rtl::IniFile*) {}

void IniSerialData::after_load(rtl::IniFile*) {}

void IniSerialData::save(rtl::IniFile* ini) {
    rtl::IniFile::Batch batch(*ini);
    const int n = get_elem_count();
    ini->EraseSection(section);
    ini->WriteInteger(section, kSize, n);
    for (int i = 0; i < n; ++i) {
        std::string text;
        get_elem(i).set_to_string(text);
        ini->WriteString(section, item_key(i), "\"" + text + "\"");
    }
    after_save(ini);
    batch.commit();
}

void IniSerialData::load(rtl::IniFile* ini) {
    int n = ini->ReadInteger(section, kSize, -1);
    if (n < 0) return;
    n = last_item_present(ini->ReadSection(section), n);
    set_elems_size(n);
    // A list may hold fewer items than asked for (it bounds its own size).
    n = std::min(n, get_elem_count());
    for (int i = 0; i < n; ++i) get_elem(i).get_from_string(ini->ReadString(section, item_key(i), ""));
    after_load(ini);
}

void IniSerialData::save(const std::string& file_name) {
    rtl::IniFile ini(file_name);
    save(&ini);
}

void IniSerialData::load(const std::string& file_name) {
    rtl::IniFile ini(file_name);
    load(&ini);
}

}  // namespace lib
