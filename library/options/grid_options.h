#pragma once
// The grid editor of an options list: one row per option (its number,
// caption, unit and value), a bold heading row for each sector, choice lists
// for enumerations and worded booleans, check boxes for plain booleans, grey
// text for read-only options. The user edits the value cells in place;
// get_options hands the edited texts back to the descriptors, which write
// them into the options object's variables.
//
// Three name lists choose what is shown: the black list hides options (by
// "section.key") or whole sectors, a white list with items shows only those
// options, and the read-only list shows options that cannot be edited and
// are never written back. Names match whatever their letter case.
//
//   lib::grid_options editor(grid);
//   editor.black_list().sector("main");
//   editor.black_list().add("hidden_key");
//   lib::options_list list;
//   settings.enum_values(list);
//   editor.show_options(list, 1, lib::grid_columns::all);
//   ...                      // the user edits
//   editor.get_options();    // only the values whose text changed are set
//
// The descriptors point into the options object's variables: that object
// must outlive the editor, or at least the next show_options. The editor
// takes over the grid's events while it shows options and lets them go when
// it is destroyed.
//
// Beside it, five helpers for plain string grids.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "library/options/options.h"
#include "platform/ui/grids.h"
#include "widrak/my_grid.h"

namespace lib {

// The column flags of show_options; the shown columns take indexes 0, 1, ...
// in this order.
namespace grid_columns {
constexpr int number = 1;
constexpr int name = 2;
constexpr int unit = 4;
constexpr int value = 8;
constexpr int all = 15;
}  // namespace grid_columns

// A set of option names ("section.key") and of section names, letter case
// ignored (Cyrillic too).
class grid_options_list {
public:
    // The section the following add calls name keys of.
    void sector(const std::string& name);
    // Adds "section.key" for the current section; throws std::logic_error
    // ("!curr_sector.IsEmpty()") before any sector was set.
    void add(const std::string& key);
    void add_sector(const std::string& name);
    bool contains(const std::string& full_name) const;
    bool contains_sector(const std::string& name) const;
    bool have_items() const { return !items.empty(); }
    bool have_sectors() const { return !sectors.empty(); }
    void clear();

private:
    std::string curr_sector;
    std::set<std::string> items;
    std::set<std::string> sectors;
};

class grid_options {
public:
    explicit grid_options(widrak::TMyGrid* grid);
    // Lets the grid's events go.
    ~grid_options();
    grid_options(const grid_options&) = delete;
    grid_options& operator=(const grid_options&) = delete;

    // Writes the list into the grid from `first_row` on, with the columns
    // of `flags` (grid_columns), and takes over the grid's events. Rows
    // below the last one written keep what they held: call clear first when
    // the list may be shorter than the one shown before.
    void show_options(const options_list& list, int first_row, int flags);
    // Hands every edited value back to its descriptor: options whose cell
    // text differs from the descriptor's own text are set; read-only ones
    // never are. A value chosen in the drop-down counts even when the
    // drop-down is still open.
    void get_options();
    // Forgets the shown options and empties the grid from the first row of
    // the last show_options (the first row below the fixed ones before any);
    // the grid keeps that many rows plus one empty row.
    void clear();

    // The descriptor shown in the row, or an empty pointer (headings, empty
    // rows).
    MetaClassPointer get_item_by_index(int row) const;
    bool is_read_only_item(int row) const;
    // Writes a cell when its text differs; nothing for column -1. A row
    // beyond the grid's rows adds rows.
    void set_value(int col, int row, const std::string& text);
    void calc_col_indexes(int flags);
    // True when the option is to be hidden.
    bool check_in_lists(const std::string& full_name, const std::string& section_name) const;

    grid_options_list& white_list() { return white; }
    grid_options_list& black_list() { return black; }
    grid_options_list& read_only_list() { return read_only; }

    // The column indexes of the last show_options; -1 for a column not
    // shown.
    int number_col() const { return col_number; }
    int name_col() const { return col_name; }
    int unit_col() const { return col_unit; }
    int value_col() const { return col_value; }
    // The rows of the last show_options: first_row() up to (not including)
    // end_row().
    int first_row() const { return row_first; }
    int end_row() const { return row_current; }

    // Grid event handlers (set by show_options).
    void GetAlignment(ui::TObject* sender, int col, int row, ui::TAlignment& alignment);
    void GetCellProps(ui::TObject* sender, int col, int row, widrak::CELL_PROPS& props);
    void GetPopupStrings(ui::TObject* sender, int col, int row, ui::TStrings* strings);
    void GetDrawParams(ui::TObject* sender, int col, int row, ui::TColor& background, ui::TFont* font);
    void DrawCell(ui::TObject* sender, int col, int row, const ui::TRect& rect, ui::TGridDrawState state);
    void MouseDown(ui::TObject* sender, ui::TMouseButton button, ui::TShiftState shift, int x, int y);
    void OnClick(ui::TObject* sender);
    // Space toggles a plain boolean as a click on its check box does.
    void KeyPress(ui::TObject* sender, char32_t& key);
    // Toggles the plain boolean in the cell, when the cell is the value cell
    // of the current row.
    void check_to_click(int col, int row);

    // The background of the sector heading rows.
    ui::TColor heading_color = 0xF0F0F0;

private:
    void on_show_value(const MetaClassPointer& item);
    // The plain boolean (no texts) of the row, or null.
    bool plain_bool_row(int row) const;
    void take_events();
    void release_events();

    widrak::TMyGrid* grid;
    int row_current = 0;
    int row_first = -1;
    int option_number = 1;
    int col_number = -1, col_name = -1, col_unit = -1, col_value = -1;
    std::string last_sector_caption;
    std::map<int, MetaClassPointer> rows;
    grid_options_list white, black, read_only;
    bool events_taken = false;
};

// Plain string grids.

// The column count becomes the number of names; each name goes into row 0
// of its column.
void fill_grid_top(ui::TStringGrid* grid, const std::vector<std::string>& names);
// The row count becomes the number of names; each name goes into column 0
// of its row.
void fill_grid_left(ui::TStringGrid* grid, const std::vector<std::string>& names);
// Sizes every column to its widest text (" # " at least, each text with two
// blanks after it) and returns the total width with the grid lines. With
// stretch_last the last column also takes what is left of the client width,
// but never less than its own text needs.
int align_grid(ui::TStringGrid* grid, bool stretch_last);
// Writes the cell only when its text differs; true when it wrote.
bool set_grid_cell(ui::TStringGrid* grid, int col, int row, const std::string& text);
// One empty row below the fixed ones, and the grid disabled.
void disable_grid(ui::TStringGrid* grid);

}  // namespace lib
