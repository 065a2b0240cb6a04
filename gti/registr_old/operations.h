#pragma once
// The fixed table of the kinds of work on the rig (tripping, drilling,
// reaming, circulation, idle time...). The current operation of a frame is a
// code of this table; the table gives each code its name, mode, display
// colour and WITS code. Built once from constant data, never changed.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/rtl/colors.h"

namespace rtl {
class StringList;
}

class Operations {
public:
    // The system window colour as the table has always stored it (the
    // later form of clWindow; rtl::ColorToRGB resolves it as clWindow).
    static constexpr rtl::TColor window_color = static_cast<rtl::TColor>(0xFF000005u);

    struct Row {
        const char* name;
        std::int32_t mode;
        rtl::TColor color;  // 0x00BBGGRR or a system colour
        std::int32_t wits_code;
    };

    Operations();

    // The name, or null for a code that is not in the table.
    const char* get(int code) const;
    // 3 for a code that is not in the table.
    int get_mode(int code) const;
    // The window colour for a code that is not in the table.
    rtl::TColor get_color(int code) const;
    // 0 for -1 and for a code that is not in the table.
    int get_WITS_code(int code) const;

    // All codes, ascending.
    void enum_values(std::vector<int>& out) const;
    // Every non-empty name in code order.
    void enum_names(rtl::StringList& list) const;
    // The position (from 0, in code order) of the first row named exactly
    // `name` (letter case counts), or -1.
    int get_oper_by_string(const std::string& name) const;

private:
    std::map<std::int32_t, Row> rows_;
};
