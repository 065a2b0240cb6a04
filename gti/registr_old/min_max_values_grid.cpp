// The alarm limits in a string grid.

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/min_max_values.h"
#include "library/number_conv.h"
#include "library/options/grid_options.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/grids.h"

#include <algorithm>
#include <cmath>

namespace {

AnsiString limit_text(float v, bool on) { return on ? lib::float_to_str(v, -1, -1) : AnsiString(); }

// An empty cell turns the limit off; any other text is the limit, bad
// numbers 0. A number past what a float holds is a bad one too: an infinite
// limit would never (or always) alarm and is not read back from the file.
void read_limit(const AnsiString& cell, float& value, bool& on) {
    const AnsiString text = rtl::Trim(cell);
    if (text.empty()) {
        value = -1000;
        on = false;
    } else {
        value = static_cast<float>(lib::str_to_float(text, 0));
        if (!std::isfinite(value)) value = 0;
        on = true;
    }
}

}  // namespace

void MinMaxValues::fill_to_grid(ui::TStringGrid* grid) const {
    lib::fill_grid_top(grid, {"Название\nпараметра", "Мин.\nзначение", "Макc.\nзначение", "№\nреле",
                              "Реле мин.\nзначение", "Реле макc.\nзначение"});
    if (rows_.empty()) {
        for (int col = 0; col < grid->ColCount(); ++col) lib::set_grid_cell(grid, col, 1, "");
        grid->SetRowCount(2);
        grid->SetEnabled(false);
        return;
    }
    grid->SetEnabled(true);
    grid->SetRowCount(size() + 1);
    grid->SetFixedRows(1);
    const AllParams& all = get_all_params();
    for (int i = 0; i < size(); ++i) {
        const MinMaxValue& v = rows_[static_cast<std::size_t>(i)];
        const int row = i + 1;
        const int n = all.get_param_number(v.param.c_str());
        lib::set_grid_cell(grid, 0, row, n >= 0 ? all.at(n).name : v.param);
        lib::set_grid_cell(grid, 1, row, limit_text(v.min, v.min_on));
        lib::set_grid_cell(grid, 2, row, limit_text(v.max, v.max_on));
        const bool relay = v.relay >= 0;
        lib::set_grid_cell(grid, 3, row, relay ? rtl::IntToStr(v.relay) : AnsiString());
        lib::set_grid_cell(grid, 4, row, relay ? limit_text(v.relay_min, v.relay_min_on) : AnsiString());
        lib::set_grid_cell(grid, 5, row, relay ? limit_text(v.relay_max, v.relay_max_on) : AnsiString());
    }
}

void MinMaxValues::read_from_grid(ui::TStringGrid* grid) {
    auto named = [&](int row) { return !rtl::Trim(grid->Cells(0, row)).empty(); };
    bool any = false;
    for (int row = 1; row < grid->RowCount() && !any; ++row) any = named(row);
    // A disabled grid stands for an empty table: its one row is a blank, and
    // reading it would keep a leftover row of the table.
    if (!grid->Enabled() || !any) {
        rows_.clear();
        return;
    }
    rows_.resize(static_cast<std::size_t>(std::clamp(grid->RowCount() - 1, 0, max_rows)));
    for (int i = 0; i < size(); ++i) {
        const int row = i + 1;
        if (!named(row)) continue;
        MinMaxValue& v = rows_[static_cast<std::size_t>(i)];
        read_limit(grid->Cells(1, row), v.min, v.min_on);
        read_limit(grid->Cells(2, row), v.max, v.max_on);
        const AnsiString relay = rtl::Trim(grid->Cells(3, row));
        const int number = relay.empty() ? -1 : rtl::StrToIntDef(relay, -1);
        if (number < 1 || number > 4) {
            v.relay = -1;
            v.relay_min_on = v.relay_max_on = false;
        } else {
            v.relay = number;
            read_limit(grid->Cells(4, row), v.relay_min, v.relay_min_on);
            read_limit(grid->Cells(5, row), v.relay_max, v.relay_max_on);
        }
    }
    // A row the table did not have before gets no parameter from the grid:
    // it could never match one, so it is not kept.
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(), [](const MinMaxValue& v) { return v.param.empty(); }),
                rows_.end());
}
