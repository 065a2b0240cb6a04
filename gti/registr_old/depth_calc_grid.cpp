// The depth sensor's calibration in string grids: the marks of the block
// positions in one column, or the intervals as rows.

#include "gti/registr_old/depth_calc.h"
#include "library/options/grid_options.h"
#include "platform/ui/grids.h"

#include <algorithm>

namespace calc {

void DepthCalc::set_opts_to_grid(ui::TStringGrid* grid) const {
    const std::vector<AnsiString> marks = get_marks();
    grid->SetRowCount(std::max<int>(1, static_cast<int>(marks.size())));
    if (grid->ColCount() < 1) grid->SetColCount(1);
    for (int row = 0; row < grid->RowCount(); ++row)
        grid->SetCells(0, row, row < static_cast<int>(marks.size()) ? marks[static_cast<std::size_t>(row)] : "");
}

void DepthCalc::get_opts_from_grid(ui::TStringGrid* grid) {
    std::vector<AnsiString> cells;
    for (int row = 0; row < grid->RowCount(); ++row) cells.push_back(grid->Cells(0, row));
    set_marks(cells);
}

void DepthCalc::set_data_to_grid(ui::TStringGrid* grid) const {
    lib::fill_grid_top(grid, {"Таль.1, м", "Таль.2, м", "Коэф.ДОЛ,\nимп/м"});
    const auto rows = get_rows();
    grid->SetRowCount(static_cast<int>(rows.size()) + 1);
    if (grid->RowCount() > 1) grid->SetFixedRows(1);
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (int col = 0; col < 3; ++col)
            grid->SetCells(col, static_cast<int>(i) + 1, rows[i][static_cast<std::size_t>(col)]);
}

void DepthCalc::get_data_from_grid(ui::TStringGrid* grid) {
    std::vector<std::array<AnsiString, 3>> rows;
    for (int row = 1; row < grid->RowCount(); ++row)
        rows.push_back({grid->Cells(0, row), grid->Cells(1, row), grid->Cells(2, row)});
    set_rows(rows);
}

}  // namespace calc
