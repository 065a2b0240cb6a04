#pragma once
// Alarm limits: for chosen parameters a lower and an upper limit that raise
// an alarm, and optionally an output relay (1 to 4) with limits of its own.
// The table belongs to the station's configuration: it is kept in the
// configuration INI file (section "MinMaxValues") and in the hub's saved
// state (module "MinMaxValues").
//
// INI form of one row, the key "item" and its number from 1:
//
//   item1="нагрузка,0,0,1,30,-1,0,0,0,0"
//
// the comma text of param, min on, min, max on, max, relay, relay min on,
// relay min, relay max on, relay max (floats as FloatToStr writes them,
// single precision widened to double), enclosed in one pair of double
// quotes so that the INI file's own quote stripping on reading leaves the
// comma text whole, quotes of entries holding a decimal comma included.

#include "library/serial/module_list.h"

#include <string>
#include <vector>

namespace rtl {
class IniFile;
}
namespace ui {
class TStringGrid;
}

using AnsiString = std::string;

class MinMaxValue {
public:
    MinMaxValue() : MinMaxValue("", -1000, -1000, -1) {}
    // A limit is active when it is above 0; an inactive limit holds 0.
    MinMaxValue(const char* param, float min, float max, int relay);

    // True (alarm) below an active lower limit or above an active upper
    // one; a value that is not a number alarms on an active lower limit.
    bool check(float x) const;
    bool check_relay(float x) const;

    int get_relay() const { return relay; }
    const AnsiString& get_param() const { return param; }
    float get_max() const { return max; }
    // Exact, letter case included.
    bool have_param(const char* name) const { return param == name; }

    void get_ini_line(AnsiString& out) const;
    // The line as the INI file gives it (outer quotes gone). Missing
    // entries count as empty: flags off, relay -1, limits 0.
    void read_from_ini_line(const AnsiString& line);

    void get_serial_list(lib::serial_list& list);

    AnsiString param;
    float min = 0;
    float max = 0;
    float relay_min = 0;
    float relay_max = 0;
    bool min_on = false;
    bool max_on = false;
    bool relay_min_on = false;
    bool relay_max_on = false;
    int relay = -1;
};

class MinMaxValues : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    // A table is never longer than the station has parameters; a larger
    // "size" in a file is damage and is cut to this.
    static constexpr int max_rows = 512;

    MinMaxValues();

    void set_defaults();
    void add(const AnsiString& param);
    // Removes row i; an index outside the table does nothing.
    void erase(int i);
    bool contains(const AnsiString& param) const;
    // The first row of the parameter, or null.
    MinMaxValue* find(const char* param);

    int size() const { return static_cast<int>(rows_.size()); }
    // Row i; std::out_of_range outside the table.
    MinMaxValue& at(int i) { return rows_.at(static_cast<std::size_t>(i)); }
    const std::vector<MinMaxValue>& rows() const { return rows_; }

    // "size" missing or negative: the table stays as it is. Otherwise the
    // table gets that many rows (at most max_rows), each read from its
    // "item" key.
    void load(rtl::IniFile* ini);
    // Rewrites the section whole.
    void save(rtl::IniFile* ini);

    // The table as grid rows under a header: the parameter's name as the
    // registry of all parameters shows it, the two limits, the relay and its
    // two limits; an inactive limit is an empty cell. With no rows the grid
    // shows one empty row and is disabled.
    void fill_to_grid(ui::TStringGrid* grid) const;
    // Grid row i + 1 gives the limits of row i (an empty cell: the limit is
    // off; a relay outside 1 to 4: none); the parameter names are not read
    // back. A disabled grid, or one without a named row, empties the table;
    // rows the grid has no name for are dropped.
    void read_from_grid(ui::TStringGrid* grid);

    void get_serial_name(AnsiString& name) override { name = "MinMaxValues"; }
    // A count beyond what the record holds, or a record that ends inside a
    // row, leaves the table as it was.
    void get_serial_list(lib::serial_list& list, unsigned param) override;

    const AnsiString& get_section() const { return section_; }

private:
    AnsiString section_ = "MinMaxValues";
    std::vector<MinMaxValue> rows_;
};
