#include "gti/registr_old/depth_calc.h"

#include <algorithm>
#include <cmath>

#include "library/number_conv.h"
#include "library/numeric/interpolation.h"
#include "library/numeric/numeric.h"
#include "library/string_container.h"
#include "platform/rtl/text.h"

namespace calc {

namespace {

bool usable_coeff(float c) { return std::isfinite(c) && c > 0; }

}  // namespace

// ---- one interval ----------------------------------------------------------------

void DolCalibrItem::set_counter(int pulses) {
    const float len = std::fabs(depth1 - depth2);
    if (!lib::is_over_null(len)) coeff = static_cast<float>(pulses) / len;
}

void DolCalibrItem::set_to_string(AnsiString& text) const {
    lib::StringContainer s;
    s.add(static_cast<double>(depth1));
    s.add(static_cast<double>(depth2));
    s.add(static_cast<double>(coeff));
    text = s.get_comma_text();
}

void DolCalibrItem::get_from_string(const AnsiString& text) {
    lib::StringContainer s;
    s.set_comma_text(text);
    depth1 = static_cast<float>(s.get_float(0));
    depth2 = static_cast<float>(s.get_float(1));
    coeff = static_cast<float>(s.get_float(2));
}

NotCalibrated::NotCalibrated()
    : std::runtime_error("DepthCalc::calc_coeff: датчик ДОЛ не откалиброван, в таблице нет ни одного коэффициента") {}

// ---- the table ---------------------------------------------------------------------

DepthCalc::DepthCalc(const char* name) : lib::IniSerialData(name) { set_defaults(); }

void DepthCalc::set_defaults() { items_ = {{27, 18, 0}, {18, 9, 0}, {9, 0, 0}}; }

bool DepthCalc::is_calibrated() const {
    return std::any_of(items_.begin(), items_.end(), [](const DolCalibrItem& i) { return usable_coeff(i.coeff); });
}

float DepthCalc::calc_coeff(float position, float given) const {
    if (mode != 1 && usable_coeff(given)) return given;

    // Only measured intervals take part: an interval without a coefficient
    // would pull the curve towards zero.
    lib::Interpolation table;
    int n = 0;
    float lo = 0, hi = 0;
    for (const DolCalibrItem& i : items_) {
        if (!usable_coeff(i.coeff)) continue;
        lo = n == 0 ? i.coeff : std::min(lo, i.coeff);
        hi = n == 0 ? i.coeff : std::max(hi, i.coeff);
        ++n;
    }
    if (n == 0) throw NotCalibrated();
    table.set_size(n);
    int k = 0;
    for (const DolCalibrItem& i : items_)
        if (usable_coeff(i.coeff)) table.set_point(k++, i.get_middle_depth(), i.coeff);

    // A polynomial through many midpoints swings between and beyond them;
    // the sensor's coefficient never leaves the measured range.
    double v = table.get_lagr_value(position);
    if (!(v >= lo)) v = lo;  // also a result that is not a number
    if (v > hi) v = hi;
    float corr = corr_coeff;
    if (!(corr >= 0.5f)) corr = 0.5f;
    if (corr > 2.0f) corr = 2.0f;
    return static_cast<float>(v) * corr;
}

void DepthCalc::check() {
    if (!(corr_coeff >= 0.5f)) corr_coeff = 0.5f;
    if (corr_coeff > 2.0f) corr_coeff = 2.0f;
}

std::vector<AnsiString> DepthCalc::get_marks() const {
    std::vector<AnsiString> marks;
    if (items_.empty()) return marks;
    for (const DolCalibrItem& i : items_) marks.push_back(lib::float_to_str(i.depth1, 1, -1));
    marks.push_back(lib::float_to_str(items_.back().depth2, 1, -1));
    return marks;
}

void DepthCalc::set_marks(const std::vector<AnsiString>& cells) {
    std::vector<float> marks;
    for (const AnsiString& cell : cells) {
        const AnsiString text = rtl::Trim(cell);
        if (!text.empty()) marks.push_back(static_cast<float>(lib::str_to_float(text, 0)));
    }
    if (marks.size() < 2)
        throw std::runtime_error("Слишком мало меток глубины!\nКоличество меток должно быть болше двух.");
    if (marks.size() > static_cast<std::size_t>(max_items) + 1) marks.resize(static_cast<std::size_t>(max_items) + 1);
    items_.clear();
    for (std::size_t i = 0; i + 1 < marks.size(); ++i) items_.emplace_back(marks[i], marks[i + 1], 0.0f);
}

namespace {

std::array<AnsiString, 3> row_of(const DolCalibrItem& i) {
    return {lib::float_to_str(i.depth1, 1, -1), lib::float_to_str(i.depth2, 1, -1), lib::float_to_str(i.coeff, 1, -1)};
}

}  // namespace

std::vector<std::array<AnsiString, 3>> DepthCalc::get_rows() const {
    std::vector<std::array<AnsiString, 3>> rows;
    for (const DolCalibrItem& i : items_) rows.push_back(row_of(i));
    return rows;
}

void DepthCalc::set_rows(const std::vector<std::array<AnsiString, 3>>& rows) {
    if (rows.empty()) {
        set_defaults();
        return;
    }
    std::vector<DolCalibrItem> items;
    for (const auto& row : rows) {
        if (items.size() >= static_cast<std::size_t>(max_items)) break;
        // A text as get_rows gives it for the item in the same place keeps
        // that item's number: a coefficient of 123.456 pulses per metre
        // shown as "123,5" must not become 123.5 on an untouched OK.
        const std::size_t at = items.size();
        const DolCalibrItem* was = at < items_.size() ? &items_[at] : nullptr;
        const std::array<AnsiString, 3> shown = was ? row_of(*was) : std::array<AnsiString, 3>{};
        DolCalibrItem item;
        float DolCalibrItem::*const fields[3] = {&DolCalibrItem::depth1, &DolCalibrItem::depth2, &DolCalibrItem::coeff};
        for (std::size_t k = 0; k < 3; ++k)
            item.*fields[k] =
                was && row[k] == shown[k] ? was->*fields[k] : static_cast<float>(lib::str_to_float(row[k], 0));
        items.push_back(item);
    }
    items_ = std::move(items);
}

void DepthCalc::set_elems_size(int n) { items_.resize(static_cast<std::size_t>(std::clamp(n, 0, max_items))); }

void DepthCalc::after_save(rtl::IniFile* ini) { lib::ini_options::save(ini); }

void DepthCalc::after_load(rtl::IniFile* ini) {
    if (items_.empty()) set_defaults();
    lib::ini_options::load(ini);
}

void DepthCalc::get_elements_list(lib::ini_options_elements& list) {
    list.add(mode, options_section, "mode");
    list.add(corr_coeff, options_section, "corr_coeff");
}

}  // namespace calc
