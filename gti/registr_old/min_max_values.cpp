#include "gti/registr_old/min_max_values.h"

#include "library/number_conv.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"

#include <stdexcept>
#include <utility>

namespace {

constexpr int kIniEntries = 10;
// The smallest row in the stream: an empty name, four floats, four flags
// and the relay number.
constexpr std::size_t kRowBytes = 1 + 4 * 4 + 4 * 1 + 4;

float limit_or_zero(float v, bool on) { return on ? v : 0.0f; }

AnsiString flag_text(bool on) { return on ? "1" : "0"; }

AnsiString float_text(float v) { return rtl::FloatToStr(static_cast<double>(v)); }

float read_float(const AnsiString& s) { return static_cast<float>(lib::str_to_float(s, 0)); }

}  // namespace

MinMaxValue::MinMaxValue(const char* p, float mn, float mx, int r) : param(p ? p : "") {
    min_on = mn > 0;
    min = limit_or_zero(mn, min_on);
    max_on = mx > 0;
    max = limit_or_zero(mx, max_on);
    relay = r;
}

bool MinMaxValue::check(float x) const { return (min_on && !(x >= min)) || (max_on && x > max); }

bool MinMaxValue::check_relay(float x) const {
    return (relay_min_on && !(x >= relay_min)) || (relay_max_on && x > relay_max);
}

void MinMaxValue::get_ini_line(AnsiString& out) const {
    rtl::StringList list;
    list.Add(param);
    list.Add(flag_text(min_on));
    list.Add(float_text(min));
    list.Add(flag_text(max_on));
    list.Add(float_text(max));
    list.Add(rtl::IntToStr(relay));
    list.Add(flag_text(relay_min_on));
    list.Add(float_text(relay_min));
    list.Add(flag_text(relay_max_on));
    list.Add(float_text(relay_max));
    out = "\"" + list.CommaText() + "\"";
}

void MinMaxValue::read_from_ini_line(const AnsiString& line) {
    rtl::StringList list;
    list.SetCommaText(line);
    while (list.Count() < kIniEntries) list.Add("");
    auto flag = [&](int i) { return rtl::StrToIntDef(list[i], 0) != 0; };
    param = list[0];
    min_on = flag(1);
    min = read_float(list[2]);
    max_on = flag(3);
    max = read_float(list[4]);
    relay = rtl::StrToIntDef(list[5], -1);
    relay_min_on = flag(6);
    relay_min = read_float(list[7]);
    relay_max_on = flag(8);
    relay_max = read_float(list[9]);
}

void MinMaxValue::get_serial_list(lib::serial_list& list) {
    list | param | min | max | min_on | max_on | relay | relay_min | relay_max | relay_min_on | relay_max_on;
}

MinMaxValues::MinMaxValues() { set_defaults(); }

void MinMaxValues::set_defaults() {
    static const std::pair<const char*, float> defaults[] = {
        {"давление_на_входе", 200.0f},
        {"уровень_в_емкости", 1.9f},
        {"плотность_на_входе", 1.99f},
        {"момент_ротора", 20.0f},
        {"нагрузка", 30.0f},
        {"скорость_спо", 10.0f},
        {"сумм_газ", 1.0f},
        {"сумм_газ2", 1.0f},
    };
    rows_.clear();
    for (const auto& [name, max] : defaults) rows_.emplace_back(name, -123.0f, max, -1);
}

void MinMaxValues::add(const AnsiString& param) { rows_.emplace_back(param.c_str(), -1000.0f, -1000.0f, -1); }

void MinMaxValues::erase(int i) {
    if (i < 0 || i >= size()) return;
    rows_.erase(rows_.begin() + i);
}

bool MinMaxValues::contains(const AnsiString& param) const {
    for (const auto& row : rows_)
        if (row.have_param(param.c_str())) return true;
    return false;
}

MinMaxValue* MinMaxValues::find(const char* param) {
    if (!param) return nullptr;
    for (auto& row : rows_)
        if (row.have_param(param)) return &row;
    return nullptr;
}

void MinMaxValues::load(rtl::IniFile* ini) {
    int n = ini->ReadInteger(section_, "size", -1);
    if (n < 0) return;
    if (n > max_rows) n = max_rows;
    rows_.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        rows_[static_cast<std::size_t>(i)].read_from_ini_line(
            ini->ReadString(section_, "item" + std::to_string(i + 1), ""));
}

void MinMaxValues::save(rtl::IniFile* ini) {
    rtl::IniFile::Batch batch(*ini);
    ini->EraseSection(section_);
    ini->WriteInteger(section_, "size", size());
    for (int i = 0; i < size(); ++i) {
        AnsiString line;
        rows_[static_cast<std::size_t>(i)].get_ini_line(line);
        ini->WriteString(section_, "item" + std::to_string(i + 1), line);
    }
    batch.commit();
}

void MinMaxValues::get_serial_list(lib::serial_list& list, unsigned) {
    if (list.is_writing()) {
        list.write_range_size(rows_.size());
        for (auto& row : rows_) row.get_serial_list(list);
    } else if (list.is_reading()) {
        int n = list.read_range_size(kRowBytes);
        std::vector<MinMaxValue> rows(static_cast<std::size_t>(n));
        for (auto& row : rows) row.get_serial_list(list);
        // A read that ran past the record's end left its field as it was;
        // such a table is not taken.
        auto* buffer = dynamic_cast<lib::serial_buffer*>(&list);
        if (buffer && buffer->position() < 0) throw std::runtime_error("MinMaxValues: the record ends inside a row");
        rows_ = std::move(rows);
    }
}
