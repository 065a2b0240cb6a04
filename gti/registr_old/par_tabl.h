#pragma once
// ParTabl: the table of the parameters configured at the station, addressed
// by position (the parameter number) or by global name, and its files:
//
// Table file (binary, little-endian; a text is its Windows-1251 bytes and a
// 0 byte, at most 511 bytes before the 0):
//   per parameter: name, short name, units, global name (texts), channel
//   int32, range, zero, lower and upper bound float32, averaging int32,
//   kind uint8;
//   the end-of-records marker 0A 00 (a record whose name is one LF);
//   one calibration block per parameter with a channel (0 or more), in
//   table order: int32 parameter number, int32 point count n, n pairs of
//   float64 x, y. The blocks end with the file.
// ".extended" companion (the table file's name + ".extended"): the text
//   "EXT_NBL_FILE", uint32 parameter count, then per parameter its global
//   name and its ParamExtInfo (uint32 entry count, key and value texts).
//
// Both files are written whole through a temporary file that is synced and
// renamed, so a failed save leaves the previous files as they were. Loading
// takes what is sound from a damaged file and lists what it dropped
// (get_load_warnings).
//
// The recording hub owns one table and registers it as a module; it is used
// under the hub's lock. The hub's frame holds at most 512 parameters, which
// is the most a loaded table takes.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gti/registr_old/name_index.h"
#include "gti/registr_old/param.h"
#include "library/serial/serializator.h"
#include "platform/rtl/string_list.h"

class ParTabl : public lib::SerialModuleBase {
public:
    static constexpr int max_params = 512;

    ParTabl();
    ~ParTabl() override = default;
    ParTabl(const ParTabl&) = default;
    ParTabl& operator=(const ParTabl&) = default;

    // The parameter at i; outside the table a spare parameter, reset to a
    // new Param first, so writes to it never reach the table.
    Param& operator[](int i);
    // A copy of the parameter at i; std::out_of_range "invalid vector<T>
    // subscript" outside the table.
    Param operator[](int i) const;
    // The parameter at i without a copy and without marking the table as
    // changed (readers that only look, every cycle); std::out_of_range
    // outside the table.
    const Param& at(int i) const;
    // The parameter find_global finds, else the reset spare parameter.
    Param& operator[](std::string_view name);

    // The first position whose global name equals the trimmed name ignoring
    // case (Cyrillic folded); -1 for an empty name or none. Allocates
    // nothing: an index finds the name, and is checked against the table's
    // names after each change or writable access.
    int find_global(std::string_view name) const;
    bool param_exists(std::string_view name) const { return find_global(name) != -1; }
    // Changes with every change of the table and every writable access to
    // a parameter: while it stays the same, so do the positions of the
    // names (short of a rename through a reference kept from before).
    std::uint64_t edits() const { return index_.touches(); }
    int get_items_count() const { return static_cast<int>(params_.size()); }

    void resize(int n);  // a negative n counts as 0
    void clear() { resize(0); }
    void add(const Param& p);
    // Adds the registry's default parameter of that name unless the table
    // has it or the registry does not know it.
    void add(const AnsiString& name);
    void erase(int i);  // nothing for a position outside the table

    // Appends the display names that are not blank, in table order.
    void get_params_list(rtl::StringList& list) const;
    void get_all_params(std::vector<Param>& out) const { out = params_; }

    // The dependency rules: level sensors bring their volumes, conductivity
    // and resistivity come in pairs, absolute gas concentrations bring the
    // relative ones and the gas sum; removing the source removes them.
    bool check_remove_exists(const rtl::StringList& a, const rtl::StringList& b);
    bool check_add_depend(const rtl::StringList& a, const rtl::StringList& b);
    void check_depend(const char* a, const char* b);
    void check();

    // Reads the table file and its ".extended" companion. A file that
    // cannot be opened changes nothing. Otherwise the table becomes what
    // the file soundly holds: a truncated record is not appended, a record
    // without a global name is skipped, calibration blocks are attached by
    // the position their parameter had when saved (blocks of skipped or
    // unknown parameters, and damaged blocks, are dropped), and at most
    // max_params parameters are taken. Each thing dropped is listed in
    // get_load_warnings(). check() runs at the end.
    void load_from(const AnsiString& file);
    // Writes the table file, then its ".extended" companion, each whole
    // through a temporary file. An empty name does nothing. Throws
    // std::runtime_error naming the file and the cause (a text too long for
    // the format is refused before anything is written); the table counts
    // as saved only when both files are in place.
    void save_to(const AnsiString& file) const;
    // Beeps (1000 Hz, 40 ms), then load_from the file name when that file
    // exists, else the fallback file name.
    void load();
    void save() const { save_to(file_name_); }

    void save_extended_info(const AnsiString& file) const;
    // Replaces the extra data of the parameters the file names; a missing,
    // foreign or short file keeps what was read before it ended, and the
    // latter two are listed in get_load_warnings().
    void load_extended_info(const AnsiString& file);

    // Module stream: the count, then each parameter's serial list (no
    // points or extra data: reading keeps those of the parameters already
    // at each position). A count that is negative, above max_params or
    // beyond the bytes left, or a record that ends early, is refused with
    // std::runtime_error and the table stays as it was.
    void get_serial_list(lib::serial_list& list, unsigned kind) override;
    void get_serial_name(AnsiString& name) override { name = "ParTable"; }

    void set_file_name(const AnsiString& name) { file_name_ = name; }
    void set_fallback_file_name(const AnsiString& name) { fallback_file_name_ = name; }
    const AnsiString& get_file_name() const { return file_name_; }

    // True after construction and after every successful save_to; false
    // from the start of a save_to until it has succeeded.
    bool is_saved() const { return saved_; }

    const std::vector<AnsiString>& get_load_warnings() const { return warnings_; }

    // The table's load beep goes to the station's sound; until the hub sets
    // it, a load is silent.
    using BeepFunction = std::function<void(int frequency_hz, int duration_ms)>;
    static void set_beep(BeepFunction beep);

private:
    // load_extended_info without clearing the warnings gathered before.
    void read_extended_info(const AnsiString& file);

    std::vector<Param> params_;
    Param spare_;
    AnsiString file_name_;
    AnsiString fallback_file_name_;
    mutable bool saved_ = true;
    std::vector<AnsiString> warnings_;
    NameIndex index_;
};
