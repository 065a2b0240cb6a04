#include "gti/registr_old/operations.h"

#include <cstring>
#include <string>

#include "platform/rtl/string_list.h"

namespace {

struct Entry {
    std::int32_t code;
    Operations::Row row;
};

constexpr rtl::TColor win = Operations::window_color;

// Ended by an entry without a name.
const Entry table[] = {
    {0, {"Прочее", 3, win, 0}},
    {1, {"СПО", 0, win, 8}},
    {2, {"Бурение", 0, 0x00EFEFFF, 2}},
    {3, {"Проработка", 0, 0x00FFF3F2, 5}},
    {4, {"Промывка", 0, 0x00FFF3F2, 7}},
    {5, {"Простой", 1, win, 0}},
    {6, {"ГИС", 1, win, 14}},
    {7, {"Ремонт", 1, win, 11}},
    {8, {"Наращивание", 0, win, 3}},
    {9, {"Расширка", 1, 0x00EFEFFF, 4}},
    {10, {"Крепл. скваж.", 1, win, 16}},
    {11, {"ОЗЦ", 1, win, 19}},
    {12, {"Спуск ОК", 1, win, 15}},
    {13, {"ПЗР", 1, win, 1}},
    {0, {nullptr, 0, 0, 0}},
};

}  // namespace

Operations::Operations() {
    for (const Entry* e = table; e->row.name; ++e) rows_.emplace(e->code, e->row);
}

const char* Operations::get(int code) const {
    auto it = rows_.find(code);
    return it == rows_.end() ? nullptr : it->second.name;
}

int Operations::get_mode(int code) const {
    auto it = rows_.find(code);
    return it == rows_.end() ? 3 : it->second.mode;
}

rtl::TColor Operations::get_color(int code) const {
    auto it = rows_.find(code);
    return it == rows_.end() ? window_color : it->second.color;
}

int Operations::get_WITS_code(int code) const {
    if (code == -1) return 0;
    auto it = rows_.find(code);
    return it == rows_.end() ? 0 : it->second.wits_code;
}

void Operations::enum_values(std::vector<int>& out) const {
    out.clear();
    for (const auto& [code, row] : rows_) out.push_back(code);
}

void Operations::enum_names(rtl::StringList& list) const {
    list.Clear();
    for (const auto& [code, row] : rows_)
        if (row.name && *row.name) list.Add(row.name);
}

int Operations::get_oper_by_string(const std::string& name) const {
    int pos = 0;
    for (const auto& [code, row] : rows_) {
        if (row.name && name == row.name) return pos;
        ++pos;
    }
    return -1;
}
