#include "gti/registr_old/pumps_tanks.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "gti/registr_old/all_params.h"
#include "library/number_conv.h"
#include "library/numeric/numeric.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"

// ---- NasosWork ---------------------------------------------------------

void NasosWork::work(const lib::array<float>& strokes) {
    for (int i = 0; i < pump_count; ++i) {
        std::int32_t& c = counters_[static_cast<std::size_t>(i)];
        if (c > 0) --c;
        if (static_cast<std::size_t>(i) < strokes.size() && !lib::is_over_null(strokes[i])) c = hold_frames;
    }
}

bool NasosWork::is_working(int pump) const {
    return pump >= 0 && pump < pump_count && counters_[static_cast<std::size_t>(pump)] != 0;
}

void NasosWork::get_serial_list(lib::serial_list& list, unsigned) {
    for (std::int32_t& c : counters_) {
        list | c;
        if (list.is_reading()) c = std::clamp(c, 0, hold_frames);
    }
}

// ---- ObTrub --------------------------------------------------------------

double ObTrub::calc_value(float x) {
    if (!sect) return 0;
    last_result_ = x * koef1;
    return last_result_;
}

void ObTrub::get_elements_list(lib::ini_options_elements& list) {
    list.add(sect, "ObTrub", "sect");
    list.add(koef1, "ObTrub", "koef1");
}

// ---- VEmkOpt ---------------------------------------------------------------

void VEmkOpt::set_defaults() {
    factor_ = default_factor;
    volume_ = 0;
    used_ = true;
    doliv_ = true;
    in_tank_ = false;
}

void VEmkOpt::set_to_string(std::string& out) const {
    rtl::StringList items;
    items.Add(lib::float_to_str(factor_, 2, -1));
    items.Add(used_ ? "1" : "0");
    items.Add(lib::float_to_str(volume_, 2, -1));
    items.Add(doliv_ ? "1" : "0");
    items.Add(in_tank_ ? "1" : "0");
    out = items.CommaText();
}

void VEmkOpt::get_from_string(const std::string& in) {
    rtl::StringList items;
    items.SetCommaText(in);
    while (items.Count() < 6) items.Add("");
    factor_ = static_cast<float>(lib::str_to_float(items[0], 0));
    used_ = rtl::StrToIntDef(items[1], 1) != 0;
    volume_ = static_cast<float>(lib::str_to_float(items[2], 0));
    doliv_ = rtl::StrToIntDef(items[3], 1) != 0;
    in_tank_ = rtl::StrToIntDef(items[4], 1) != 0;
    if (!(factor_ >= 0)) factor_ = default_factor;
    if (!(volume_ >= 0)) volume_ = 0;
}

void VEmkOpt::get_serial_list(lib::serial_list& list) { list | factor_ | volume_ | used_ | in_tank_ | doliv_; }

float VEmkOpt::calc_volume(float level) {
    volume_ = level * factor_;
    if (!(volume_ >= 0)) volume_ = 0;
    return volume_;
}

// ---- VEmkOpts ----------------------------------------------------------------

// Tanks 1 to 16 read the level parameters of the parameter registry and
// write its volume parameters. The registry has no parameters for a 17th
// tank, so it stays unnamed: it reads no level and writes no volume, and
// counts in the totals only with what its saved state holds.
VEmkOpts::VEmkOpts() {
    const char* const levels[] = {
        ParamVars::h_emk1,  ParamVars::h_emk2,  ParamVars::h_emk3,  ParamVars::h_emk4,
        ParamVars::h_emk5,  ParamVars::h_emk6,  ParamVars::h_emk7,  ParamVars::h_emk8,
        ParamVars::h_emk9,  ParamVars::h_emk10, ParamVars::h_emk11, ParamVars::h_emk12,
        ParamVars::h_emk13, ParamVars::h_emk14, ParamVars::h_emk15, ParamVars::h_emk16,
    };
    const char* const volumes[] = {
        ParamVars::v_emk1,  ParamVars::v_emk2,  ParamVars::v_emk3,  ParamVars::v_emk4,
        ParamVars::v_emk5,  ParamVars::v_emk6,  ParamVars::v_emk7,  ParamVars::v_emk8,
        ParamVars::v_emk9,  ParamVars::v_emk10, ParamVars::v_emk11, ParamVars::v_emk12,
        ParamVars::v_emk13, ParamVars::v_emk14, ParamVars::v_emk15, ParamVars::v_emk16,
    };
    static_assert(std::size(levels) == tank_count - 1 && std::size(volumes) == tank_count - 1);
    for (std::size_t i = 0; i < std::size(levels); ++i) tanks_[i] = VEmkOpt(levels[i], volumes[i]);
}

VEmkOpt& VEmkOpts::operator[](int i) {
    if (i >= 0 && i < tank_count) return tanks_[static_cast<std::size_t>(i)];
    static VEmkOpt spare;
    return spare;
}

void VEmkOpts::get_serial_list(lib::serial_list& list, unsigned) {
    list | active_ | whole_ | doliv_ | circulating_ | reserved_;
    for (VEmkOpt& t : tanks_) t.get_serial_list(list);
}

void VEmkOpts::calc_total() {
    active_ = whole_ = doliv_ = in_tank_ = 0;
    for (const VEmkOpt& t : tanks_) {
        whole_ += t.get_volume();
        if (!t.is_used()) continue;
        active_ += t.get_volume();
        if (t.is_doliv()) doliv_ += t.get_volume();
        if (t.is_in_tank()) in_tank_ += t.get_volume();
    }
}
