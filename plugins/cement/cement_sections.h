#pragma once
// The well profile the monitor draws: the well's sections with neighbours
// of the same diameters merged, checked and copied top down.

#include <vector>

#include "gti/registr_old/pore_opt.h"

struct SectionsResultItem {
    float outer_diameter = 0;
    float inner_diameter = 0;
    float top = 0;
    float bottom = 0;
};

struct SectionsResult {
    std::vector<SectionsResultItem> items;
    float extra = 0;
};

namespace cement {
// Neighbours whose two diameters differ by less than 0.01 become one; a
// trailing run shorter than 0.01 m is dropped.
void merge_sections(std::vector<pore::PoreSection>& sections);
}  // namespace cement

// Throws std::runtime_error "Общая длина всех секций = 0" or "Внешний
// диаметр секции = 0" (the items before that section stay). Sections of no
// or negative length are left out: every item has a positive length.
void Cement_calc(const std::vector<pore::PoreSection>& sections, SectionsResult& result);

namespace ui {
class TCanvas;
class TCustomGrid;
struct TRect;
}  // namespace ui

namespace cement {
// The profile grid's row heights: each item's share of the grid's client
// height by its length against the deepest bottom, less the grid line. An
// empty result or a deepest bottom of 0 gives no heights.
std::vector<int> profile_row_heights(const SectionsResult& result, int client_height, int line_width);
}  // namespace cement

// One cell of the well profile: column 0 the walls and the pipe, column 1
// the bottom depth. A row without its item draws nothing but white.
void draw_profile_cell(const SectionsResult& result, ui::TCanvas& canvas, int col, int row, const ui::TRect& rect,
                       int font_size);
