#include "plugins/cement/cement_sections.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "library/number_conv.h"
#include "library/numeric/numeric.h"
#include "platform/ui/canvas.h"

namespace cement {

void merge_sections(std::vector<pore::PoreSection>& sections) {
    if (sections.empty()) return;
    std::vector<pore::PoreSection> merged;
    pore::PoreSection run = sections.front();
    for (const pore::PoreSection& s : sections) {
        if (std::fabs(s.instr_diam - run.instr_diam) >= 0.01f || std::fabs(s.pore_diam - run.pore_diam) >= 0.01f) {
            merged.push_back(run);
            run.instr_diam = s.instr_diam;
            run.pore_diam = s.pore_diam;
            run.top = s.top;
        }
        run.bottom = s.bottom;
    }
    if (std::fabs(run.bottom - run.top) >= 0.01f) merged.push_back(run);
    sections = std::move(merged);
}

}  // namespace cement

void Cement_calc(const std::vector<pore::PoreSection>& sections, SectionsResult& result) {
    result.items.clear();
    // A section without extent (or upside down) has no row to show: it is left
    // out, and so it cannot shrink the length the rows are sized by.
    auto has_length = [](const pore::PoreSection& s) {
        const double l = double(s.bottom) - double(s.top);
        return l > 0 && !lib::is_over_null(l);
    };
    double length = 0;
    for (const pore::PoreSection& s : sections)
        if (has_length(s)) length += double(s.bottom) - double(s.top);
    if (!(length > 0) || lib::is_over_null(length)) throw std::runtime_error("Общая длина всех секций = 0");
    for (const pore::PoreSection& s : sections) {
        if (!has_length(s)) continue;
        if (lib::is_over_null(s.pore_diam)) throw std::runtime_error("Внешний диаметр секции = 0");
        result.items.push_back({s.pore_diam, s.instr_diam, s.top, s.bottom});
    }
}

namespace cement {

std::vector<int> profile_row_heights(const SectionsResult& result, int client_height, int line_width) {
    std::vector<int> heights;
    float deepest = 0;
    for (const SectionsResultItem& it : result.items) deepest = std::max(deepest, it.bottom);
    if (!(deepest > 0) || lib::is_over_null(deepest)) return heights;
    for (const SectionsResultItem& it : result.items) {
        const double h = double(client_height) / deepest * (double(it.bottom) - double(it.top)) - line_width;
        // A row the grid can show: at least one pixel, never beyond the grid.
        heights.push_back(int(std::clamp(h, 1.0, double(std::max(client_height, 1)))));
    }
    return heights;
}

}  // namespace cement

void draw_profile_cell(const SectionsResult& result, ui::TCanvas& canvas, int col, int row, const ui::TRect& rect,
                       int font_size) {
    canvas.Brush().SetStyle(ui::bsSolid);
    canvas.Brush().SetColor(ui::clWhite);
    canvas.FillRect(rect);
    if (row < 0 || std::size_t(row) >= result.items.size()) return;
    const SectionsResultItem& item = result.items[std::size_t(row)];
    if (col == 1) {
        const std::string text = lib::float_to_str(item.bottom, -1, -1) + " м";
        canvas.Font().SetSize(8);
        canvas.Font().SetColor(ui::clBlack);
        canvas.Brush().SetStyle(ui::bsClear);
        canvas.TextOut(rect.Left + 2, rect.Bottom - canvas.TextHeight(text), text);
        canvas.Font().SetSize(font_size);
        return;
    }
    if (col != 0) return;
    float d = 0;
    for (const SectionsResultItem& it : result.items) d = std::max({d, it.outer_diameter, it.inner_diameter});
    if (!(d > 0) || lib::is_over_null(d)) return;
    d *= 1.1f;
    const int w = rect.Width() / 2;
    const int c = rect.Left + w;
    auto walls = [&](const SectionsResultItem& it, int& ol, int& orr, int& il, int& ir) {
        ol = c - int(w * it.outer_diameter / d);
        orr = c + int(w * it.outer_diameter / d);
        il = c - int(w * it.inner_diameter / d);
        ir = c + int(w * it.inner_diameter / d);
    };
    int ol, orr, il, ir;
    walls(item, ol, orr, il, ir);
    canvas.Pen().SetColor(ui::clWhite);
    canvas.Pen().SetStyle(ui::psSolid);
    canvas.Brush().SetColor(0x808080);
    canvas.Brush().SetStyle(ui::bsDiagCross);
    canvas.Rectangle(rect.Left, rect.Top, ol, rect.Bottom);
    canvas.Rectangle(il, rect.Top, ir, rect.Bottom);
    canvas.Rectangle(orr, rect.Top, rect.Right, rect.Bottom);
    canvas.Pen().SetColor(ui::clBlack);
    auto vline = [&](int x) {
        canvas.MoveTo(x, rect.Top);
        canvas.LineTo(x, rect.Bottom);
    };
    if (!lib::is_over_null(item.inner_diameter)) {
        vline(il);
        vline(ir);
    }
    vline(ol);
    vline(orr);
    if (row > 0) {
        int pol, por, pil, pir;
        walls(result.items[std::size_t(row - 1)], pol, por, pil, pir);
        auto hline = [&](int x1, int x2) {
            canvas.MoveTo(x1, rect.Top);
            canvas.LineTo(x2, rect.Top);
        };
        hline(il, pil);
        hline(ir, pir);
        hline(ol, pol);
        hline(orr, por);
    }
    canvas.Brush().SetStyle(ui::bsSolid);
}
