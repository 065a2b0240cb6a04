// The construction's grid editor and its drawing.

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "gti/registr_old/pore_construction.h"
#include "library/controls/draw_helpers.h"
#include "library/number_conv.h"
#include "library/options/grid_options.h"
#include "platform/rtl/text.h"
#include "platform/ui/canvas.h"

namespace pore {

namespace {

constexpr int number_cols = 4;  // columns 2 to 5: top, bottom, inner, outer

AnsiString one_decimal(float v) { return lib::float_to_str(v, 1, -1); }

bool row_in_use(const widrak::TMyGrid* grid, int row) {
    return row > 0 && row < grid->RowCount() && !grid->Cells(0, row).empty();
}

float numbers_of(const ConstrElement& e, int k) {
    switch (k) {
        case 0: return e.top;
        case 1: return e.bottom;
        case 2: return e.inner_diameter;
        default: return e.outer_diameter;
    }
}

// A pixel coordinate from a scaled depth or diameter; the operator's numbers
// may be anything, the canvas takes ints.
int to_px(double v) {
    if (!(v > -1e6)) return -1000000;
    if (v > 1e6) return 1000000;
    return static_cast<int>(v);
}

}  // namespace

Construction::~Construction() { release_grid_events(); }

void Construction::release_grid_events() {
    widrak::TMyGrid* grid = grid_.get();
    grid_.reset();
    if (!grid) return;
    // Another construction (another window's) may have taken the grid over
    // since: its handlers stay.
    reg::release_handler<&Construction::GetCellProps1>(grid->OnGetCellProps, this);
    reg::release_handler<&Construction::GetDrawParams1>(grid->OnGetDrawParams, this);
    reg::release_handler<&Construction::MouseDown1>(grid->OnMouseDown, this);
    reg::release_handler<&Construction::GetAlignment1>(grid->OnGetAlignment, this);
    reg::release_handler<&Construction::DrawCell1>(grid->OnDrawCell, this);
}

void Construction::set_grid(widrak::TMyGrid* grid) {
    release_grid_events();
    if (!grid) return;
    grid_.bind(grid);
    reg::set_handler<&Construction::GetCellProps1>(grid->OnGetCellProps, this);
    reg::set_handler<&Construction::GetDrawParams1>(grid->OnGetDrawParams, this);
    reg::set_handler<&Construction::MouseDown1>(grid->OnMouseDown, this);
    reg::set_handler<&Construction::GetAlignment1>(grid->OnGetAlignment, this);
    reg::set_handler<&Construction::DrawCell1>(grid->OnDrawCell, this);
}

widrak::TMyGrid* Construction::grid_or_throw() const {
    widrak::TMyGrid* grid = grid_.get();
    if (!grid) throw std::logic_error("PoreConstruct: the construction has no grid bound");
    return grid;
}

void Construction::fill_grid() {
    widrak::TMyGrid* grid = grid_or_throw();
    lib::fill_grid_top(grid, {"Исп.", "Название", "Глубина\nначала,м", "Глубина\nконца, м", "Внутренний\nдиаметр, мм",
                              "Наружный\nдиаметр, мм"});
    grid->SetRowCount(size() + 1);
    if (grid->RowCount() > 1) grid->SetFixedRows(1);
    for (int i = 0; i < size(); ++i) {
        const ConstrElement& e = elements_[static_cast<std::size_t>(i)];
        const int row = i + 1;
        grid->SetCells(1, row, e.name);
        // An element out of use shows no numbers; what a row showed before
        // (another construction, a toggled check mark) must not stay.
        grid->SetCells(0, row, e.enabled ? "*" : "");
        for (int k = 0; k < number_cols; ++k)
            grid->SetCells(2 + k, row, e.enabled ? one_decimal(numbers_of(e, k)) : "");
    }
    grid->AlignHorizontal();
    grid->ResizeRow(0);
}

void Construction::get_opt_from_grid() {
    widrak::TMyGrid* grid = grid_or_throw();
    set_elems_size(grid->RowCount() - 1);
    for (int i = 0; i < size(); ++i) {
        ConstrElement& e = elements_[static_cast<std::size_t>(i)];
        const int row = i + 1;
        e.enabled = !grid->Cells(0, row).empty();
        // A row out of use shows no numbers and takes none: the element
        // keeps its own for the day it is ticked again.
        if (!e.enabled) continue;
        // The row shows the stored numbers with one decimal (the fill and a
        // tick both write them so); a cell left as shown keeps every digit.
        float* fields[number_cols] = {&e.top, &e.bottom, &e.inner_diameter, &e.outer_diameter};
        for (int k = 0; k < number_cols; ++k) {
            const AnsiString text = grid->Cells(2 + k, row);
            if (text == one_decimal(*fields[k])) continue;
            // A number past what a float holds is as bad as no number: an
            // infinity would make the volumes nonsense and not read back.
            const float v = static_cast<float>(lib::str_to_float(rtl::Trim(text), 0));
            *fields[k] = std::isfinite(v) ? v : 0.0f;
        }
    }
}

void Construction::GetCellProps1(ui::TObject*, int col, int row, widrak::CELL_PROPS& props) {
    widrak::TMyGrid* grid = grid_.get();
    if (!grid) return;
    if (col <= 1 || !row_in_use(grid, row)) props = widrak::cpReadOnly;
}

void Construction::GetDrawParams1(ui::TObject*, int, int row, ui::TColor&, ui::TFont* font) {
    widrak::TMyGrid* grid = grid_.get();
    if (!grid || !font) return;
    if (row > 0 && !row_in_use(grid, row)) font->SetColor(ui::clBtnShadow);
}

void Construction::GetAlignment1(ui::TObject*, int col, int, ui::TAlignment& alignment) {
    if (col > 1) alignment = ui::taRightJustify;
}

void Construction::DrawCell1(ui::TObject*, int col, int row, const ui::TRect& rect, ui::TGridDrawState) {
    widrak::TMyGrid* grid = grid_.get();
    if (!grid || col != 0 || !row_in_use(grid, row)) return;
    ui::TCanvas& c = grid->Canvas();
    c.Brush().SetStyle(ui::bsSolid);
    c.Brush().SetColor(grid->Color());
    c.FillRect(rect);
    lib::draw_check(&c, rect, 0xFF0000, 2, 3);
}

void Construction::MouseDown1(ui::TObject*, ui::TMouseButton, ui::TShiftState, int x, int y) {
    widrak::TMyGrid* grid = grid_.get();
    if (!grid) return;
    int col = -1, row = -1;
    grid->MouseToCell(x, y, col, row);
    if (col != 0 || row <= 0 || row >= grid->RowCount()) return;
    if (row_in_use(grid, row)) {
        grid->SetCells(0, row, "");
        for (int k = 0; k < number_cols; ++k) grid->SetCells(2 + k, row, "");
    } else {
        // The element's stored numbers come back: unticking and ticking
        // again loses nothing that was not taken with OK.
        const ConstrElement e = row - 1 < size() ? elements_[static_cast<std::size_t>(row - 1)] : ConstrElement();
        grid->SetCells(0, row, "*");
        for (int k = 0; k < number_cols; ++k) grid->SetCells(2 + k, row, one_decimal(numbers_of(e, k)));
    }
    grid->Invalidate();
}

void Construction::draw(float max_depth, float max_diam, ui::TCanvas* canvas, const ui::TRect& rect, bool hatch) const {
    if (!canvas || !(max_depth > 0) || !(max_diam > 0) || !std::isfinite(max_depth) || !std::isfinite(max_diam)) return;
    const int h = rect.Bottom - rect.Top;
    const int w = (rect.Right - rect.Left) / 2;
    const int centre = (rect.Left + rect.Right) / 2;
    auto section = [&](float top, float bottom, float diameter) {
        const int half = to_px(static_cast<double>(w) * diameter / max_diam);
        const int y1 = to_px(static_cast<double>(h) * top / max_depth + rect.Top);
        const int y2 = to_px(static_cast<double>(h) * bottom / max_depth + rect.Top + 1);
        canvas->Rectangle(centre - half, y1, centre + half, y2);
    };
    for (const ConstrElement& e : elements_)
        if (e.enabled) section(e.top, e.bottom, e.inner_diameter);
    if (!hatch) return;
    canvas->Brush().SetStyle(ui::bsDiagCross);
    canvas->Pen().SetStyle(ui::psClear);
    canvas->Brush().SetColor(0x8000);
    std::vector<SimplePCE> real;
    get_real_items(real);
    for (const SimplePCE& s : real) section(s.top, s.bottom, s.diameter);
    canvas->Pen().SetStyle(ui::psSolid);
}

}  // namespace pore
