#pragma once
// The calibration of the drawworks depth sensor: a table of block-position
// intervals with the sensor's pulses per metre in each, turned into the
// coefficient to use at the current block position.
//
// INI: the table in the section given to the constructor ("size", "item1",
// ...; each item "depth1,depth2,coeff"), the options in "DepthCalcOpts"
// ("mode", "corr_coeff").
//
// The grid views of the table (depth_calc_grid.cpp) go through the marks and
// rows forms below.

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/options/ini_options.h"
#include "library/options/ini_serial.h"
#include "library/serial/module_list.h"

namespace ui {
class TStringGrid;
}

namespace calc {

using AnsiString = std::string;

// One interval of block positions and the sensor's pulses per metre in it.
class DolCalibrItem : public lib::IniSerialItem {
public:
    DolCalibrItem() = default;
    DolCalibrItem(float d1, float d2, float c) : depth1(d1), depth2(d2), coeff(c) {}

    float depth1 = 0;  // "Таль.1, м"
    float depth2 = 0;  // "Таль.2, м"
    float coeff = 0;   // "Коэф.ДОЛ, имп/м"

    // Pulses counted over the whole interval: coeff = pulses / |depth1 - depth2|;
    // an interval of no length leaves coeff as it was.
    void set_counter(int pulses);
    float get_middle_depth() const { return (depth1 + depth2) * 0.5f; }

    void set_to_string(AnsiString& text) const override;
    void get_from_string(const AnsiString& text) override;
};

// The table has no calibrated interval, so there is no coefficient to give.
class NotCalibrated : public std::runtime_error {
public:
    NotCalibrated();
};

class DepthCalc : public virtual lib::ModuleBaseOld, public lib::IniSerialData, public lib::ini_options {
public:
    static constexpr const char* options_section = "DepthCalcOpts";
    // A calibration is a handful of intervals; a stored count beyond this is
    // damage.
    static constexpr int max_items = 1000;

    explicit DepthCalc(const char* name);

    // The three intervals 27-18, 18-9 and 9-0 m, not calibrated.
    void set_defaults();

    int size() const { return static_cast<int>(items_.size()); }
    // Item i; an index outside the table throws std::out_of_range.
    const DolCalibrItem& item(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    float get_depth1(int i) const { return item(i).depth1; }
    float get_depth2(int i) const { return item(i).depth2; }
    float get_middle_depth(int i) const { return item(i).get_middle_depth(); }
    void set_counter(int i, int pulses) { items_.at(static_cast<std::size_t>(i)).set_counter(pulses); }

    // Whether the table holds at least one interval with a usable (positive)
    // coefficient.
    bool is_calibrated() const;
    // The sensor's pulses per metre at the block position. A positive
    // `given` is the answer unless mode is 1. Otherwise the coefficients of
    // the calibrated intervals are interpolated (Lagrange through the
    // intervals' midpoints), kept within the smallest and largest of them,
    // and multiplied by the correction factor. Never 0: a table without a
    // calibrated interval throws NotCalibrated.
    float calc_coeff(float position, float given) const;

    // The correction factor into 0.5..2 (not a number: 0.5).
    void check();

    // Marks form: the interval limits from the top, depth1 of each item and
    // depth2 of the last, one decimal each; empty for an empty table.
    std::vector<AnsiString> get_marks() const;
    // The table from marks (blank entries skipped): n marks give n - 1
    // intervals, not calibrated. Fewer than two marks throw
    // std::runtime_error and change nothing.
    void set_marks(const std::vector<AnsiString>& marks);
    // Rows form: depth1, depth2 and coeff of each item, one decimal each.
    std::vector<std::array<AnsiString, 3>> get_rows() const;
    // The table from rows (bad numbers 0); no rows give the default table.
    // A text equal to the one get_rows gives for the item in the same place
    // keeps that item's number with all its digits.
    void set_rows(const std::vector<std::array<AnsiString, 3>>& rows);

    // The marks form in column 0 of a grid, one mark a row from row 0 (no
    // header); an empty table gives one empty row.
    void set_opts_to_grid(ui::TStringGrid* grid) const;
    // The table from the non-empty cells of column 0; fewer than two marks
    // throw std::runtime_error and change nothing.
    void get_opts_from_grid(ui::TStringGrid* grid);
    // The rows form under a header row ("Таль.1, м", "Таль.2, м",
    // "Коэф.ДОЛ,\nимп/м").
    void set_data_to_grid(ui::TStringGrid* grid) const;
    // The table from rows 1 on (bad numbers 0).
    void get_data_from_grid(ui::TStringGrid* grid);

    // The INI list.
    int get_elem_count() override { return size(); }
    lib::IniSerialItem& get_elem(int i) override { return items_.at(static_cast<std::size_t>(i)); }
    // Cuts or appends zero items; a count below 0 or above max_items is
    // taken as 0 or max_items.
    void set_elems_size(int n) override;
    // The options are saved and read with the list; an empty list read
    // back gives the default table.
    void after_save(rtl::IniFile* ini) override;
    void after_load(rtl::IniFile* ini) override;

    void get_elements_list(lib::ini_options_elements& list) override;
    void load_additional_info(rtl::IniFile*) override { check(); }

    float corr_coeff = 1.0f;
    // 1: always interpolate; otherwise a positive given coefficient is used.
    std::int32_t mode = 0;

private:
    std::vector<DolCalibrItem> items_;
};

}  // namespace calc
