#include "gti/registr_old/param.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "gti/registr_old/all_params.h"
#include "library/number_conv.h"
#include "library/numeric/numeric.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"

namespace {

// Both sides of a difference count: |a - b| within the zero tolerance.
bool near_equal(double a, double b) { return lib::is_over_null(std::fabs(a - b)); }

bool same_points(const std::vector<UnitCalibrPoint>& a, const std::vector<UnitCalibrPoint>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

ParamOptionsDialog& options_dialog() {
    static ParamOptionsDialog dialog;
    return dialog;
}

// Days per year and ln 2 as the station has always used them, so that a
// half-life in years and a calibration time in days meet.
constexpr double years_per_day = 0.0027378507871321013;
constexpr double ln2 = 0.69314718;
constexpr double default_radio_koeff = 0.9976;

}  // namespace

// --- UnitCalibrPoint ----------------------------------------------------------

bool UnitCalibrPoint::operator==(const UnitCalibrPoint& other) const {
    return near_equal(x, other.x) && near_equal(y, other.y);
}

// --- ParamExtInfo ---------------------------------------------------------------

AnsiString ParamExtInfo::get(std::string_view key) const {
    const auto it = items_.find(key);
    return it == items_.end() ? AnsiString() : it->second.text;
}

double ParamExtInfo::get_float(std::string_view key) const {
    const auto it = items_.find(key);
    return it == items_.end() ? 0.0 : it->second.number;
}

void ParamExtInfo::set(const AnsiString& key, const AnsiString& value) {
    Item& item = items_[key];
    item.text = value;
    item.number = static_cast<double>(lib::str_to_float(value, 0));
}

bool ParamExtInfo::operator==(const ParamExtInfo& other) const { return items_ == other.items_; }

// --- Param ----------------------------------------------------------------------

bool Param::equal(const Param& o) const {
    return name == o.name && short_name == o.short_name && units == o.units && global_name == o.global_name &&
           channel == o.channel && averaging == o.averaging && kind == o.kind && range == o.range && zero == o.zero &&
           min_value == o.min_value && max_value == o.max_value && same_points(points, o.points);
}

double Param::decay_factor() const {
    const bool radioactive = global_name == radio_dens_in_name || global_name == radio_dens_out_name ||
                             (global_name == cem_plotn_name && channel == cem_plotn_digital_channel);
    if (!radioactive) return 1.0;

    const double t0 = ext_info.get_float("last_calibr_time");
    const double half_life = ext_info.get_float("half_life");
    double k = ext_info.get_float("radio_koeff");
    if (lib::is_over_null(k)) k = default_radio_koeff;
    if (lib::is_over_null(t0) || lib::is_over_null(half_life)) return 1.0;

    const double days = rtl::Now() - t0;
    if (!(days >= 1.0)) return 1.0;
    // A half-life so short that the exponential overflows is not a source
    // anyone calibrated: no correction rather than an infinite value.
    const double factor = k * std::exp(days * years_per_day * ln2 / half_life);
    return std::isfinite(factor) ? factor : 1.0;
}

double Param::calc_value_by_voltage(double raw, double factor) const {
    raw *= decay_factor();

    const std::size_t n = points.size();
    if (n == 0) {
        const double f = global_name == hook_load_name ? factor : 1.0;
        return raw * f * range * 0.2 + zero;
    }
    if (n == 1) {
        const double x0 = static_cast<float>(points[0].x);
        if (lib::is_over_null(raw) || lib::is_over_null(x0)) return 0.0;
        return points[0].y * raw / points[0].x;
    }
    // The first segment whose upper end lies above the reading, else the
    // last: readings outside the table follow the first or last segment.
    std::size_t s = 0;
    while (s + 2 < n && !(points[s + 1].x > raw)) ++s;
    const UnitCalibrPoint& p0 = points[s];
    const UnitCalibrPoint& p1 = points[s + 1];
    if (std::fabs(p1.x - p0.x) < 1e-6) return 0.0;
    return p0.y + (p1.y - p0.y) * (raw - p0.x) / (p1.x - p0.x);
}

void Param::correct_kalibr(float a, float b) {
    const float delta = b - a;
    if (points.empty()) {
        zero += delta;
        return;
    }
    for (UnitCalibrPoint& p : points) p.y += delta;
}

bool Param::check_changes(const Param& o, AnsiString& text) const {
    text.clear();
    const auto add = [&](const char* label, const AnsiString& mine, const AnsiString& theirs) {
        text += label;
        text += mine;
        text += " -> ";
        text += theirs;
        text += "] ";
    };
    if (name != o.name) add("назв.[", name, o.name);
    if (short_name != o.short_name) add("кратк.назв.[", short_name, o.short_name);
    if (units != o.units) add("ед.изм.[", units, o.units);
    if (channel != o.channel) add("АЦП[", rtl::IntToStr(channel), rtl::IntToStr(o.channel));
    if (averaging != o.averaging) add("осредн.[", rtl::IntToStr(averaging), rtl::IntToStr(o.averaging));
    if (!near_equal(range, o.range)) add("диап.[", lib::float_to_str(range, 2, -1), lib::float_to_str(o.range, 2, -1));
    if (!near_equal(zero, o.zero)) add("нуль[", lib::float_to_str(zero, 2, -1), lib::float_to_str(o.zero, 2, -1));
    if (!same_points(points, o.points)) {
        if (points.empty())
            text += "удалены точки калибровки ";
        else if (points.size() != o.points.size())
            text += "произведена калибровка по нескольким точкам ";
        else
            text += "скорректированы точки калибровки ";
    }
    return !text.empty();
}

bool Param::param_options(const HostData& host) {
    if (!get_all_params().test_param(global_name, AllParams::has_options_dialog)) return false;
    const ParamOptionsDialog& dialog = options_dialog();
    if (!dialog) return false;
    dialog(*this, host);
    return true;
}

void set_param_options_dialog(ParamOptionsDialog dialog) { options_dialog() = std::move(dialog); }

// --- Calibration file line ----------------------------------------------------------

namespace {

// "%15e" of the C library: d.dddddde+XX, at least two exponent digits,
// right-aligned in 15 characters.
std::string format_e15(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6);
    std::string s(buf, res.ptr);
    if (s.size() < 15) s.insert(0, 15 - s.size(), ' ');
    return s;
}

}  // namespace

AnsiString format_calibr_line(const UnitCalibrPoint& point) { return format_e15(point.x) + " " + format_e15(point.y); }
