#include "library/options/grid_options.h"

#include <algorithm>
#include <stdexcept>

#include "library/controls/draw_helpers.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"

namespace lib {

using options_detailed::meta_class;
using options_detailed::meta_class_enum_base;

namespace {

std::string lower(const std::string& s) { return rtl::AnsiLowerCase(s); }

// Zero, or a text that is not an integer, counts as unchecked.
bool checked_text(const std::string& text) {
    int v = 0;
    return rtl::TryStrToInt(rtl::Trim(text), v) && v != 0;
}

const meta_class<bool>* as_bool(const MetaClassPointer& item) {
    if (!item || item->get_type() != option_kind::boolean) return nullptr;
    auto* b = dynamic_cast<const meta_class<bool>*>(item.get());
    if (!b) throw std::logic_error("grid_options: a boolean option that is not a meta_class<bool>");
    return b;
}

const meta_class_enum_base* as_enum(const MetaClassPointer& item) {
    if (!item || item->get_type() != option_kind::enumeration) return nullptr;
    auto* e = dynamic_cast<const meta_class_enum_base*>(item.get());
    if (!e) throw std::logic_error("grid_options: an enumeration option that is not a meta_class_enum_base");
    return e;
}

void to_strings(const rtl::StringList& from, ui::TStrings* to) {
    for (int i = 0; i < from.Count(); ++i) to->Add(from[i]);
}

}  // namespace

// --- grid_options_list -----------------------------------------------------------

void grid_options_list::sector(const std::string& name) { curr_sector = lower(name); }

void grid_options_list::add(const std::string& key) {
    if (curr_sector.empty()) throw std::logic_error("!curr_sector.IsEmpty()");
    items.insert(curr_sector + "." + lower(key));
}

void grid_options_list::add_sector(const std::string& name) { sectors.insert(lower(name)); }

bool grid_options_list::contains(const std::string& full_name) const { return items.count(lower(full_name)) != 0; }

bool grid_options_list::contains_sector(const std::string& name) const { return sectors.count(lower(name)) != 0; }

void grid_options_list::clear() {
    curr_sector.clear();
    items.clear();
    sectors.clear();
}

// --- grid_options ------------------------------------------------------------------

grid_options::grid_options(widrak::TMyGrid* grid) : grid(grid) {}

grid_options::~grid_options() { release_events(); }

void grid_options::calc_col_indexes(int flags) {
    int next = 0;
    col_number = flags & grid_columns::number ? next++ : -1;
    col_name = flags & grid_columns::name ? next++ : -1;
    col_unit = flags & grid_columns::unit ? next++ : -1;
    col_value = flags & grid_columns::value ? next++ : -1;
}

bool grid_options::check_in_lists(const std::string& full_name, const std::string& section_name) const {
    if (black.have_items() && black.contains(full_name)) return true;
    if (black.have_sectors() && black.contains_sector(section_name)) return true;
    if (white.have_items() && !white.contains(full_name)) return true;
    return false;
}

void grid_options::set_value(int col, int row, const std::string& text) {
    if (col < 0 || row < 0) return;
    if (row >= grid->RowCount()) grid->SetRowCount(row + 1);
    if (grid->Cells(col, row) != text) grid->SetCells(col, row, text);
}

void grid_options::on_show_value(const MetaClassPointer& item) {
    if (item->get_display_name().empty() || check_in_lists(item->get_full_name(), item->get_sect_name())) return;
    if (item->get_sect_disp_name() != last_sector_caption) {
        last_sector_caption = item->get_sect_disp_name();
        set_value(col_number, row_current, "");
        set_value(col_name, row_current, last_sector_caption);
        set_value(col_unit, row_current, "");
        set_value(col_value, row_current, "");
        ++row_current;
    }
    set_value(col_number, row_current, rtl::IntToStr(option_number));
    set_value(col_name, row_current, item->get_display_name());
    set_value(col_unit, row_current, item->get_unit_name());
    set_value(col_value, row_current, item->get());
    rows[row_current] = item;
    ++row_current;
    ++option_number;
}

void grid_options::show_options(const options_list& list, int first_row, int flags) {
    row_current = row_first = std::max(first_row, 0);
    option_number = 1;
    last_sector_caption.clear();
    calc_col_indexes(flags);
    rows.clear();
    // The grid must hold every column written, or the current cell could
    // not be put on the values.
    const int columns = std::max({col_number, col_name, col_unit, col_value}) + 1;
    if (grid->ColCount() < columns) grid->SetColCount(columns);
    list.for_each([this](const MetaClassPointer& item) { on_show_value(item); });
    take_events();
    if (col_value >= 0 && col_value < grid->ColCount()) grid->SetCol(col_value);
    // The kind of the current cell may have changed with its option.
    grid->CheckCellProps();
    grid->Invalidate();
}

void grid_options::get_options() {
    if (col_value < 0) return;
    grid->CommitComboValue();
    for (const auto& [row, item] : rows) {
        if (read_only.contains(item->get_full_name())) continue;
        const std::string& text = grid->Cells(col_value, row);
        // Setting an untouched value again would cut it to its shown
        // digits, or turn a stored number without a text into the default.
        if (text != item->get()) item->set(text);
    }
}

void grid_options::clear() {
    const int from = row_first >= 0 ? row_first : grid->FixedRows();
    rows.clear();
    row_current = from;
    option_number = 1;
    last_sector_caption.clear();
    const int keep = std::max(from + 1, grid->FixedRows() + 1);
    for (int row = from; row < grid->RowCount(); ++row)
        for (int col = 0; col < grid->ColCount(); ++col) grid->SetCells(col, row, "");
    grid->SetRowCount(keep);
    grid->CheckCellProps();
    grid->Invalidate();
}

MetaClassPointer grid_options::get_item_by_index(int row) const {
    auto it = rows.find(row);
    return it == rows.end() ? MetaClassPointer() : it->second;
}

bool grid_options::is_read_only_item(int row) const {
    MetaClassPointer item = get_item_by_index(row);
    return item && read_only.contains(item->get_full_name());
}

bool grid_options::plain_bool_row(int row) const {
    const meta_class<bool>* b = as_bool(get_item_by_index(row));
    return b && !b->have_enum();
}

// --- events ------------------------------------------------------------------------

void grid_options::take_events() {
    grid->OnGetAlignment = [this](ui::TObject* s, int c, int r, ui::TAlignment& a) { GetAlignment(s, c, r, a); };
    grid->OnGetCellProps = [this](ui::TObject* s, int c, int r, widrak::CELL_PROPS& p) { GetCellProps(s, c, r, p); };
    grid->OnGetPopupStrings = [this](ui::TObject* s, int c, int r, ui::TStrings* l) { GetPopupStrings(s, c, r, l); };
    // Tab goes from value to value: the names, the headings and the fixed
    // options are passed over.
    grid->OnGetTabStop = [this](ui::TObject*, int c, int r, bool& stop) {
        stop = c == col_value && get_item_by_index(r) && !is_read_only_item(r);
    };
    grid->OnClick = [this](ui::TObject* s) { OnClick(s); };
    grid->OnGetDrawParams = [this](ui::TObject* s, int c, int r, ui::TColor& b, ui::TFont* f) {
        GetDrawParams(s, c, r, b, f);
    };
    grid->OnDrawCell = [this](ui::TObject* s, int c, int r, const ui::TRect& rc, ui::TGridDrawState st) {
        DrawCell(s, c, r, rc, st);
    };
    grid->OnMouseDown = [this](ui::TObject* s, ui::TMouseButton b, ui::TShiftState sh, int x, int y) {
        MouseDown(s, b, sh, x, y);
    };
    grid->OnKeyPress = [this](ui::TObject* s, char32_t& k) { KeyPress(s, k); };
    events_taken = true;
}

void grid_options::release_events() {
    if (!events_taken) return;
    grid->OnGetAlignment = nullptr;
    grid->OnGetCellProps = nullptr;
    grid->OnGetPopupStrings = nullptr;
    grid->OnGetTabStop = nullptr;
    grid->OnClick = nullptr;
    grid->OnGetDrawParams = nullptr;
    grid->OnDrawCell = nullptr;
    grid->OnMouseDown = nullptr;
    grid->OnKeyPress = nullptr;
    events_taken = false;
}

void grid_options::GetAlignment(ui::TObject*, int col, int row, ui::TAlignment& alignment) {
    if (col == col_number || col == col_unit)
        alignment = ui::taCenter;
    else if (col == col_name)
        alignment = ui::taLeftJustify;
    else if (col == col_value)
        alignment = get_item_by_index(row) ? ui::taLeftJustify : ui::taRightJustify;
}

void grid_options::GetCellProps(ui::TObject*, int, int row, widrak::CELL_PROPS& props) {
    MetaClassPointer item = get_item_by_index(row);
    if (!item || is_read_only_item(row)) {
        props = widrak::cpReadOnly;
        return;
    }
    if (as_enum(item)) {
        props = widrak::cpList;
    } else if (const meta_class<bool>* b = as_bool(item)) {
        props = b->have_enum() ? widrak::cpList : widrak::cpReadOnly;
    }
}

void grid_options::GetPopupStrings(ui::TObject*, int col, int row, ui::TStrings* strings) {
    if (col != col_value || !strings) return;
    MetaClassPointer item = get_item_by_index(row);
    rtl::StringList texts;
    if (const meta_class_enum_base* e = as_enum(item))
        e->enum_popup_strings(&texts);
    else if (const meta_class<bool>* b = as_bool(item); b && b->have_enum())
        b->enum_popup_strings(&texts);
    to_strings(texts, strings);
}

void grid_options::GetDrawParams(ui::TObject*, int, int row, ui::TColor& background, ui::TFont* font) {
    if (!get_item_by_index(row)) {
        if (font) font->SetStyle(font->Style() << ui::fsBold);
        background = heading_color;
    } else if (is_read_only_item(row)) {
        if (font) font->SetColor(0x808080);
    }
}

void grid_options::DrawCell(ui::TObject*, int col, int row, const ui::TRect& rect, ui::TGridDrawState) {
    if (col != col_value || !plain_bool_row(row)) return;
    ui::TCanvas& c = grid->Canvas();
    c.FillRect(rect);
    const int side = std::max(std::min(rect.Height() - 4, c.TextHeight("#")), 4);
    const int left = rect.Left + (rect.Width() - side) / 2;
    const int top = rect.Top + (rect.Height() - side) / 2;
    const ui::TColor brush_color = c.Brush().Color(), pen_color = c.Pen().Color();
    const ui::TBrushStyle brush_style = c.Brush().Style();
    const ui::TPenStyle pen_style = c.Pen().Style();
    const int pen_width = c.Pen().Width();
    // Flat: a one-pixel frame on the window colour.
    c.Brush().SetStyle(ui::bsSolid);
    c.Brush().SetColor(ui::clWindow);
    c.Pen().SetStyle(ui::psSolid);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(0x808080);
    c.Rectangle(left, top, left + side, top + side);
    if (checked_text(grid->Cells(col, row)))
        draw_check(&c, ui::Rect(left, top, left + side, top + side), ui::clWindowText, side > 12 ? 2 : 1, side / 5);
    c.Brush().SetColor(brush_color);
    c.Brush().SetStyle(brush_style);
    c.Pen().SetColor(pen_color);
    c.Pen().SetStyle(pen_style);
    c.Pen().SetWidth(pen_width);
}

void grid_options::MouseDown(ui::TObject*, ui::TMouseButton, ui::TShiftState, int x, int y) {
    int col = -1, row = -1;
    grid->MouseToCell(x, y, col, row);
    check_to_click(col, row);
}

void grid_options::check_to_click(int col, int row) {
    // Only the value cell of the current row: a press on a heading, a fixed
    // row or below the last row must not flip the setting selected before.
    if (col < 0 || row < 0 || col != col_value || row != grid->Row() || !plain_bool_row(row)) return;
    if (is_read_only_item(row)) return;
    grid->SetCells(col, row, checked_text(grid->Cells(col, row)) ? "0" : "1");
    grid->InvalidateCell(col, row);
}

void grid_options::KeyPress(ui::TObject*, char32_t& key) {
    if (key != U' ' || grid->Col() != col_value || !plain_bool_row(grid->Row())) return;
    check_to_click(grid->Col(), grid->Row());
    key = 0;
}

void grid_options::OnClick(ui::TObject*) {
    if (col_value < 0 || col_value >= grid->ColCount()) return;
    if (grid->Options().Contains(ui::goEditing) && grid->Col() != col_value) grid->SetCol(col_value);
}

// --- plain string grids ---------------------------------------------------------------

void fill_grid_top(ui::TStringGrid* grid, const std::vector<std::string>& names) {
    grid->SetColCount(static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) set_grid_cell(grid, static_cast<int>(i), 0, names[i]);
}

void fill_grid_left(ui::TStringGrid* grid, const std::vector<std::string>& names) {
    grid->SetRowCount(static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) set_grid_cell(grid, 0, static_cast<int>(i), names[i]);
}

int align_grid(ui::TStringGrid* grid, bool stretch_last) {
    ui::TBitmap measure(1, 1);
    ui::TCanvas& c = measure.Canvas();
    c.Font().Assign(grid->Font());
    const int line = grid->GridLineWidth();
    int total = line;
    for (int col = 0; col < grid->ColCount(); ++col) {
        int widest = c.TextWidth(" # ");
        for (int row = 0; row < grid->RowCount(); ++row)
            widest = std::max(widest, c.TextWidth(grid->Cells(col, row) + "  "));
        int width = widest + 1;
        // The last column takes the rest of the client width, but never
        // less than its texts need.
        if (stretch_last && col == grid->ColCount() - 1) width = std::max(width, grid->ClientWidth() + line - total);
        grid->SetColWidths(col, width);
        total += width + line;
    }
    return total;
}

bool set_grid_cell(ui::TStringGrid* grid, int col, int row, const std::string& text) {
    if (grid->Cells(col, row) == text) return false;
    grid->SetCells(col, row, text);
    return true;
}

void disable_grid(ui::TStringGrid* grid) {
    grid->SetRowCount(grid->FixedRows() + 1);
    grid->SetEnabled(false);
    for (int col = 0; col < grid->ColCount(); ++col) grid->SetCells(col, 1, "");
}

}  // namespace lib
