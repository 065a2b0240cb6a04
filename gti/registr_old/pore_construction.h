#pragma once
// The casing programme of the well: a fixed list of construction elements
// (conductor pipe, surface casing, five casing strings, the intermediate
// string and the open hole), each in use or not, with its depth interval and
// its inner and outer diameters. It gives the well's volume, the real
// (innermost) bore at each depth, the depth of the last casing shoe and the
// largest diameter.
//
// The grid editor (one row per element, a check mark for "in use") and the
// drawing of the construction are in pore_construction_grid.cpp.
//
// Units: depths in metres, diameters in millimetres, volumes in m³.

#include <string>
#include <vector>

#include "gti/registr_old/grid_binding.h"
#include "library/options/ini_serial.h"
#include "library/serial/module_list.h"
#include "widrak/my_grid.h"

namespace lib {
class serial_list;
}

namespace pore {

using AnsiString = std::string;

class ConstrElement : public lib::IniSerialItem {
public:
    ConstrElement() = default;
    explicit ConstrElement(AnsiString element_name, bool in_use = true)
        : enabled(in_use), name(std::move(element_name)) {}

    bool enabled = true;  // "Исп."
    float top = 0;
    float bottom = 0;
    float inner_diameter = 0;  // for the open hole: the bit size
    float outer_diameter = 0;
    AnsiString name;

    // Comma text of six entries: name, top, bottom, inner diameter (two
    // decimals, the station's separator), 1 or 0 for in use, outer diameter.
    void set_to_string(AnsiString& text) const override;
    // Entries 1 to 5 of such a text (missing or bad numbers give 0, a
    // missing flag gives "in use"); the element keeps its own name.
    void get_from_string(const AnsiString& text) override;

    // Whether the name holds `text`, ignoring letter case (Russian too).
    bool contains_text(const char* text) const;

    // By inner diameter; a diameter that is not a number counts as smaller.
    bool operator<(const ConstrElement& other) const;

    // Module stream: enabled, top, bottom, inner, outer, name.
    void get_serial_list(lib::serial_list& list);
    static constexpr std::size_t min_serial_bytes = 1 + 4 * 4 + 1;
};

// One section of the real bore.
struct SimplePCE {
    float top = 0;
    float bottom = 0;
    float diameter = 0;
};

class Construction : public virtual lib::ModuleBaseOld, public lib::IniSerialData, public lib::SerialModuleBase {
public:
    static constexpr const char* section_name = "конструкция_скважины";
    // A construction is nine elements; a stored count beyond this is damage.
    static constexpr int max_elements = 256;

    // The nine elements, none in use, all numbers 0.
    Construction();

    int size() const { return static_cast<int>(elements_.size()); }
    // Element i; an index outside the list throws std::out_of_range.
    ConstrElement get_item(int i) const { return elements_.at(static_cast<std::size_t>(i)); }
    ConstrElement& at(int i) { return elements_.at(static_cast<std::size_t>(i)); }
    const std::vector<ConstrElement>& elements() const { return elements_; }

    // The bottom of the last element (the open hole); 0 for an empty list.
    float get_total_len() const;
    // The last element gets that bottom and is put in use.
    void recalc_to_depth(float depth);
    // The top of the open hole ("Голый ствол"): the depth of the last casing
    // shoe; 0 when there is no such element.
    float get_column_bottom() const;
    // The first element named "Кондуктор" (any case), or null.
    ConstrElement* get_kond_element();
    // The largest inner diameter over all elements, in use or not; 0 for an
    // empty list.
    float calc_max_diam() const;

    // The bore the well really has, from the surface down: each depth
    // belongs to the deepest-listed element in use that reaches it.
    void get_real_items(std::vector<SimplePCE>& out) const;
    // The volume of the real bore times the hole enlargement factor k.
    float get_volume(float k) const;

    // The INI list ("size", "item1", ...).
    int get_elem_count() override { return size(); }
    lib::IniSerialItem& get_elem(int i) override { return at(i); }
    // Cuts, or appends elements in use without a name; a count below 0 or
    // above max_elements is taken as 0 or max_elements.
    void set_elems_size(int n) override;

    // Module stream "pore::Construction": a count, then each element. A
    // record that fails half-way leaves the construction as it was.
    void get_serial_list(lib::serial_list& list, unsigned param) override;
    void get_serial_name(AnsiString& name) override { name = "pore::Construction"; }

    // ---- the grid editor ----------------------------------------------------
    //
    // Columns "Исп." (a check mark), the name, the depths of the top and the
    // bottom and the two diameters; row 0 is the header, row i + 1 element i.
    // A row is in use while its column 0 is not empty. The elements change
    // only at get_opt_from_grid: a click on a check mark only toggles the row.
    //
    // The construction lets the grid's events go when it is bound to another
    // grid or destroyed (those that are still its own: another construction
    // may have taken the grid over), and forgets the grid when the grid is
    // freed; a copy is bound to no grid.

    // Binds the grid (null: none) and takes over its events.
    void set_grid(widrak::TMyGrid* grid);
    widrak::TMyGrid* get_grid() const { return grid_.get(); }
    // Both throw std::logic_error naming "PoreConstruct" without a grid.
    void fill_grid();
    // The elements from the grid's rows (names are not read). A number
    // cell still holding the text it was shown keeps the stored number (the
    // grid shows one decimal), and a row out of use keeps its numbers.
    void get_opt_from_grid();

    void GetCellProps1(ui::TObject* sender, int col, int row, widrak::CELL_PROPS& props);
    void GetDrawParams1(ui::TObject* sender, int col, int row, ui::TColor& color, ui::TFont* font);
    void MouseDown1(ui::TObject* sender, ui::TMouseButton button, ui::TShiftState shift, int x, int y);
    void GetAlignment1(ui::TObject* sender, int col, int row, ui::TAlignment& alignment);
    void DrawCell1(ui::TObject* sender, int col, int row, const ui::TRect& rect, ui::TGridDrawState state);

    // The elements in use as rectangles centred in rect, depth downwards
    // (max_depth at the bottom), width by diameter (max_diam the full
    // width), in the canvas's pen and brush; with hatch the real bore on top
    // in green cross-hatching. Nothing for a scale that is not positive.
    void draw(float max_depth, float max_diam, ui::TCanvas* canvas, const ui::TRect& rect, bool hatch) const;

    // The elements only: the copy is bound to no grid, and an assigned
    // construction keeps its own.
    Construction(const Construction& other) = default;
    Construction& operator=(const Construction& other) = default;
    ~Construction() override;

private:
    widrak::TMyGrid* grid_or_throw() const;
    void release_grid_events();

    std::vector<ConstrElement> elements_;
    reg::GridBinding<widrak::TMyGrid> grid_;
};

}  // namespace pore
