// The window side of the drill-string tally: its two grid views, reading the
// edit view and the clipboard back, and its drawing.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "library/number_conv.h"
#include "library/options/grid_options.h"
#include "library/text_conv.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"
#include "platform/ui/application.h"
#include "platform/ui/canvas.h"
#include "platform/ui/clipboard.h"
#include "widrak/my_grid.h"

namespace instr {

void init_lib(void* handle) { ui::Application().SetHandle(reinterpret_cast<std::intptr_t>(handle)); }

namespace {

const std::vector<std::string>& edit_view_heads() {
    static const std::vector<std::string> heads = {"        Тип        ", "Коли-\nчество",
                                                   "Длина,\nм",           "Диаметр,\nмм",
                                                   "Толщина\nстенки, мм", "Вес\nпогонного\nметра, кг"};
    return heads;
}

const std::vector<std::string>& trip_view_heads() {
    static const std::vector<std::string> heads = {"№№",       "Название",      "Кол-во",     "Спущено",
                                                   "Длина, м", "Сумм длина, м", "Сумм вес, т"};
    return heads;
}

std::string one_decimal(float v) { return lib::float_to_str(v, 1, -1); }

// A number past what a float holds is as bad as text that is none: an
// infinity in the tally would turn every sum and the drawing into nonsense.
float number(const std::string& text) {
    const float v = static_cast<float>(lib::str_to_float(text, 0));
    return std::isfinite(v) ? v : 0.0f;
}

// The element of one grid row or clipboard line, in the edit view's order:
// name, count, lengths, diameter, wall, weight per metre.
Elem elem_from_words(const std::vector<std::string>& words) {
    Elem e;
    auto word = [&](std::size_t i) { return i < words.size() ? words[i] : std::string(); };
    e.set_name(rtl::Trim(word(0)));
    // A negative count is no count: it would take its length off the string.
    e.count = rtl::StrToIntDef(rtl::Trim(word(1)), 1);
    if (e.count < 0) e.count = 1;
    e.set_len_string(rtl::Trim(word(2)));
    if (words.size() > 3) e.diameter = number(word(3));
    if (words.size() > 4) e.wall = number(word(4));
    if (words.size() > 5) e.weight_per_metre = number(word(5));
    return e;
}

std::vector<std::string> split_line(const std::string& line) {
    // The grid's own copy and spreadsheets give tabs, and their lengths read
    // "12,50 + 9,00" with blanks inside: such a line must never be split at
    // blanks. A hand-typed tally without tabs is split at blanks.
    rtl::StringList list;
    lib::parse_to_words(line, list, line.find('\t') != std::string::npos ? '\t' : ' ');
    std::vector<std::string> words;
    for (int i = 0; i < list.Count(); ++i) words.push_back(list[i]);
    // A tab at the line's end adds nothing, but trailing empty cells of a
    // copied row do: they are no words.
    while (!words.empty() && rtl::Trim(words.back()).empty()) words.pop_back();
    return words;
}

// A pixel coordinate; a damaged tally's lengths stay on the canvas's scale
// instead of overflowing an int, and an infinite length or diameter, which
// scales to NaN, gives no coordinate to cast.
int px(double v) { return std::isnan(v) ? 0 : static_cast<int>(std::clamp(v, -1e6, 1e6)); }

// A heading copied with the rows (the grid's "copy all" starts with its
// header row): no element type and no count.
bool is_heading(const std::vector<std::string>& words) {
    if (words.size() < 2) return false;
    int n = 0;
    if (rtl::TryStrToInt(rtl::Trim(words[1]), n)) return false;
    const std::string name = rtl::Trim(words[0]);
    for (const auto& [type, type_name] : get_elem_types())
        if (type_name == name) return false;
    return true;
}

}  // namespace

void Items::fill_to_grid(widrak::TMyGrid* grid, bool trip_view, int count, int pipes) const {
    lib::fill_grid_top(grid, trip_view ? trip_view_heads() : edit_view_heads());
    if (elements_.empty()) {
        lib::disable_grid(grid);
        return;
    }
    grid->SetEnabled(true);
    grid->SetRowCount(size() + 1);
    long long unit = 1;
    double rest = count + pipes * 0.1;
    for (int i = 0; i < size(); ++i) {
        const Elem& e = elements_[static_cast<std::size_t>(i)];
        const int row = i + 1;
        if (!trip_view) {
            grid->SetCells(0, row, e.get_name());
            grid->SetCells(1, row, std::to_string(e.count));
            grid->SetCells(2, row, e.get_len_string());
            grid->SetCells(3, row, one_decimal(e.diameter));
            grid->SetCells(4, row, one_decimal(e.wall));
            grid->SetCells(5, row, one_decimal(e.weight_per_metre));
            continue;
        }
        grid->SetCells(0, row, std::to_string(unit));
        grid->SetCells(1, row, e.get_name());
        grid->SetCells(2, row, std::to_string(e.count));
        if (rest > 0) {
            grid->SetCells(3, row, lib::float_to_str(std::min<double>(e.count, rest), -1, -1));
            if (e.count >= rest) grid->SetRow(row);
        } else {
            grid->SetCells(3, row, "");
        }
        grid->SetCells(4, row, e.get_len_string());
        // The sums cover the elements up to and including the row's own.
        float len = 0, weight = 0;
        calc_summ(i, len, weight);
        grid->SetCells(5, row, lib::float_to_str(len, 2, -1));
        grid->SetCells(6, row, lib::float_to_str(weight * 0.001, -1, -1));
        unit += e.count;
        rest -= e.count;
    }
}

void Items::read_from_grid(widrak::TMyGrid* grid) { read_from_grid(grid, Items()); }

void Items::read_from_grid(widrak::TMyGrid* grid, const Items& shown) {
    clear();
    for (int row = 1; row < grid->RowCount(); ++row) {
        if (rtl::Trim(grid->Cells(0, row)).empty()) continue;
        std::vector<std::string> cells;
        for (int col = 0; col < 6; ++col) cells.push_back(col < grid->ColCount() ? grid->Cells(col, row) : "");
        Elem e = elem_from_words(cells);
        if (row - 1 < shown.size()) {
            // Row r was filled from element r - 1; the cells are compared
            // with the texts the edit view gave it.
            const Elem& was = shown.get(row - 1);
            if (cells[0] == was.get_name()) e.type = was.type;
            if (cells[2] == was.get_len_string()) e.lengths = was.lengths;
            if (cells[3] == one_decimal(was.diameter)) e.diameter = was.diameter;
            if (cells[4] == one_decimal(was.wall)) e.wall = was.wall;
            if (cells[5] == one_decimal(was.weight_per_metre)) e.weight_per_metre = was.weight_per_metre;
        }
        elements_.push_back(e);
    }
}

int Items::insert_from_clipboard(int pos) {
    ui::TClipboard& clipboard = ui::Clipboard();
    if (!clipboard.Open()) return 0;
    const std::string text = clipboard.AsText();
    clipboard.Close();

    rtl::StringList lines;
    lines.SetText(text);
    pos = std::clamp(pos, 0, size());
    int inserted = 0;
    for (int n = 0; n < lines.Count(); ++n) {
        // A stored tally keeps max_elements: more would be cut on reading.
        if (size() >= max_elements) break;
        const std::vector<std::string> words = split_line(lines[n]);
        if (n == 0 && is_heading(words)) continue;
        if (words.size() < 3) break;
        elements_.insert(elements_.begin() + pos + inserted, elem_from_words(words));
        ++inserted;
    }
    return inserted;
}

void Items::draw(float total_len, float max_diam, ui::TCanvas* canvas, const ui::TRect& rect, rtl::TColor colour,
                 int mark) const {
    if (!(total_len > 0) || !(max_diam > 0)) return;
    const rtl::TColor pen = canvas->Pen().Color(), brush = canvas->Brush().Color();
    const int half = (rect.Right - rect.Left) / 2;
    const int centre = (rect.Left + rect.Right) / 2;
    const double height = rect.Bottom - rect.Top;
    double y0 = 0;
    for (int i = size() - 1; i >= 0; --i) {
        const Elem& e = elements_[static_cast<std::size_t>(i)];
        const double l = e.get_len(e.count);
        const int h = px(static_cast<double>(e.diameter) * half / max_diam);
        canvas->Pen().SetColor(i == mark ? colour : pen);
        canvas->Brush().SetColor(i == mark ? colour : brush);
        canvas->Rectangle(centre - h, rect.Top + px(height * y0 / total_len), centre + h,
                          rect.Top + px(height * (y0 + l) / total_len) + 1);
        y0 += l;
    }
    canvas->Pen().SetColor(pen);
    canvas->Brush().SetColor(brush);
}

}  // namespace instr
