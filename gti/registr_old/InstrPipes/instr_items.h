#pragma once
// The drill-string tally of the well ("Промер_инструмента"): the elements
// from the bit upward, the number of pipes in a stand and the shut-off valve
// flag. It gives the string's lengths, volumes and weights for the units in
// the hole, and adds pipes as they are run in; it shows itself in a grid (the
// editor's view and the trip view), reads the grid and the clipboard back and
// draws the string. The options frame (instr_options_frame.h) is its editor.

#include <cstdint>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_elem.h"
#include "library/options/ini_options.h"
#include "library/options/ini_serial.h"
#include "library/serial/module_list.h"
#include "platform/rtl/colors.h"

namespace ui {
class TCanvas;
struct TRect;
}  // namespace ui
namespace widrak {
class TMyGrid;
}

namespace instr {

// The application handle of the library's windows, as the host hands it
// over at start-up (init_core_lib does the same).
void init_lib(void* handle);

// The totals of a drill string, filled by Items::calc_misc.
struct CalcResult {
    float len = 0;                    // length in the hole, m
    float weight = 0;                 // metal weight in the hole, kg
    float total_metal_volume = 0;     // steel of the whole string, m³
    float metal_volume = 0;           // steel in the hole, m³
    float total_len = 0;              // whole string, m
    float total_count = 0;            // units of the whole string
    float total_volume = 0;           // enclosed volume of the whole string, m³
    float total_weight = 0;           // metal weight of the whole string, kg
    float max_diam = 0;               // largest outer diameter, mm
    float volume = 0;                 // enclosed volume in the hole, m³
    float metal_volume_to_depth = 0;  // steel down to a given depth, m³
    float weight_to_depth = 0;        // metal weight down to that depth, kg

    void clear() { *this = CalcResult(); }
};

// The INI form: section "Промер_инструмента" with the keys "svecha_size" and
// "zapor_klapan" and the element list ("size", "item1", ...; each item the
// element's text form).
class Items : public virtual lib::ModuleBaseOld,
              public lib::SerialModuleBase,
              public lib::IniSerialData,
              public lib::ini_options {
public:
    static constexpr int default_svecha_size = 2;
    static constexpr int max_svecha_size = 4;
    // A tally is tens of elements; a stored count beyond this is damage.
    static constexpr int max_elements = 10000;
    static constexpr const char* section_name = "Промер_инструмента";

    Items() : lib::IniSerialData(section_name) {}
    ~Items() override = default;
    Items(const Items&) = default;
    Items& operator=(const Items&) = default;

    // Element i; an index outside the list throws std::out_of_range.
    const Elem& get(int i) const;
    Elem& get(int i);
    int size() const { return static_cast<int>(elements_.size()); }

    // Appends a default element and returns its index.
    int add_new();
    // Exchanges elements i and i + delta and returns where element i went;
    // when that is outside the list nothing changes and i is returned.
    int move_item(int i, int delta);
    // Removes element i; an index outside the list does nothing.
    void delete_item(int i);
    void clear() { elements_.clear(); }
    // Copies diameter, weight per metre and wall only.
    static void copy(Elem& dst, const Elem& src);

    // The element holding unit n counted from the bottom (0 and 1 both give
    // the first); null when n is negative or past the whole string.
    const Elem* get_item_by_number(int n) const;

    // Sums saturate at the largest int rather than overflow on a damaged
    // tally.
    int get_total_count() const;
    int get_total_pipe_count() const;
    float get_total_len() const;
    float calc_max_diam() const;

    void set_doloto_diam(float d);

    // Length and metal weight of elements 0..n (whole elements; the first
    // always when the list is not empty).
    void calc_summ(int n, float& len, float& weight) const;

    // count units and then `pipes` pipes of the next unit in the hole
    // (count = -1: the whole string), and the string down to `depth` metres.
    void calc_misc(int count, int pipes, float depth, CalcResult& r) const;

    // Runs pipes of the lengths in `lengths` ("12,1+12,2") into the string:
    // they fill the incomplete stand at the top, then new elements of one
    // unit each, with the diameter, weight and wall of the top element.
    void narasch(const AnsiString& lengths);

    int get_svecha_size() const { return svecha_size_; }
    void set_svecha_size(int n) { svecha_size_ = n; }
    bool get_zapor_klapan() const { return zapor_klapan_; }
    void set_zapor_klapan(bool v) { zapor_klapan_ = v; }

    // The grid: the edit view (six columns: type, count, lengths, diameter,
    // wall, weight per metre) or the trip view (unit number, name, count,
    // units run in of `count` units and `pipes` pipes, lengths, summed length
    // and weight). An empty list leaves one empty row and disables the grid.
    void fill_to_grid(widrak::TMyGrid* grid, bool trip_view, int count, int pipes) const;
    // The list from the edit view: every row with a type name; bad numbers
    // (and numbers past a float) give 0, a bad or negative count 1.
    void read_from_grid(widrak::TMyGrid* grid);
    // The same from a grid that fill_to_grid filled from `shown`: a cell
    // that still holds the text it was given keeps shown's value, so the
    // digits the view rounds away (one decimal of a wall, two of a length)
    // are not lost when the operator did not touch them.
    void read_from_grid(widrak::TMyGrid* grid, const Items& shown);
    // Elements from the clipboard's text inserted from index pos on, one a
    // line in the edit view's column order (tab-separated, or blank-separated
    // when a line holds no tab); a first line that is a heading is passed
    // over, and a line of fewer than three words ends the paste, as does
    // reaching max_elements (what a stored tally keeps). Returns the
    // number inserted; a clipboard that cannot be opened inserts nothing.
    int insert_from_clipboard(int pos);
    // The string as stacked rectangles in rect, the top element at the top,
    // total_len metres over the rectangle's height and max_diam over its
    // width; element `mark` in `colour`, the others in the canvas's pen and
    // brush.
    void draw(float total_len, float max_diam, ui::TCanvas* canvas, const ui::TRect& rect, rtl::TColor colour,
              int mark) const;

    // Brings operator input into range: negative (or not-a-number) diameters
    // and weights become 0, the stand size 1..4.
    void durak_protection();

    // Module stream "instr::Items": the elements (a count, then each
    // element's fields), svecha_size, zapor_klapan. A stand size read back
    // outside 1..4 is brought into that range.
    void get_serial_list(lib::serial_list& list, unsigned param) override;
    void get_serial_name(AnsiString& name) override { name = "instr::Items"; }

    // The INI list of elements.
    int get_elem_count() override { return size(); }
    lib::IniSerialItem& get_elem(int i) override { return get(i); }
    // Cuts or extends with default elements; a count below 0 or above
    // max_elements is taken as 0 or max_elements.
    void set_elems_size(int n) override;
    // The list's save erases the section: the two keys are written again
    // after it, and read with the list.
    void after_save(rtl::IniFile* ini) override;
    void after_load(rtl::IniFile* ini) override;

    // The INI options: svecha_size and zapor_klapan. A stand size read
    // outside 1..4 is brought into that range.
    void get_elements_list(lib::ini_options_elements& list) override;
    void load_additional_info(rtl::IniFile* ini) override;

protected:
    std::vector<Elem> elements_;
    std::int32_t svecha_size_ = default_svecha_size;
    bool zapor_klapan_ = false;

private:
    bool continues_stand(const Elem& e) const;
};

}  // namespace instr
