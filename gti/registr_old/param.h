#pragma once
// Param: one measured or computed parameter of the station, with its
// calibration from a raw channel reading to the parameter's value.
//
// The host calls calc_value_by_voltage for every configured parameter of
// every acquisition frame, so it allocates nothing and walks the calibration
// points linearly. The two radioactive density meters (and the cementing
// plug-in's digital density on channel 30) have their raw reading corrected
// for the decay of the source since the last calibration first.
//
// A Param is a value type: copying copies every field, points and extra
// data included. No locking inside: the recording hub's table is guarded by
// the hub's lock.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lib {
class serial_list;
namespace io {
class BinaryInputStream;
class BinaryOutputStream;
}  // namespace io
}  // namespace lib

using AnsiString = std::string;

// One calibration point: a raw reading and the parameter value it means.
struct UnitCalibrPoint {
    double x = 0.0;
    double y = 0.0;

    UnitCalibrPoint() = default;
    UnitCalibrPoint(double x_, double y_) : x(x_), y(y_) {}

    // Points are ordered by their raw reading alone.
    bool operator<(const UnitCalibrPoint& other) const { return x < other.x; }
    // Equal when both coordinates differ by less than the station's zero
    // tolerance (1e-5), whichever side is asked.
    bool operator==(const UnitCalibrPoint& other) const;
    bool operator!=(const UnitCalibrPoint& other) const { return !(*this == other); }
};

// A parameter's extra key-value text data, in ascending key order. Keys the
// station uses: "last_calibr_time" (TDateTime as a number), "half_life"
// (years), "radio_koeff".
class ParamExtInfo {
public:
    // The value, or an empty text when the key is absent.
    AnsiString get(std::string_view key) const;
    // 0 when the key is absent, else the value read as lib::str_to_float
    // reads it (0 for a text that is not a number). The number is kept from
    // set(), so this allocates nothing.
    double get_float(std::string_view key) const;
    void set(const AnsiString& key, const AnsiString& value);
    void clear() { items_.clear(); }

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // Calls f(key, value) for every entry in key order.
    template <class F>
    void for_each(F&& f) const {
        for (const auto& [key, item] : items_) f(key, item.text);
    }

    // Stream form: a uint32 entry count, then key and value strings in key
    // order.
    void save(lib::io::BinaryOutputStream& out) const;
    // Reads the count, clears the map, then reads that many pairs (a
    // repeated key keeps its last value). A stream that ends early throws
    // the stream's error; the pairs read before it stay.
    void load(lib::io::BinaryInputStream& in);

    bool operator==(const ParamExtInfo& other) const;

private:
    struct Item {
        AnsiString text;
        double number = 0.0;
        bool operator==(const Item& o) const { return text == o.text; }
    };
    std::map<AnsiString, Item, std::less<>> items_;
};

// What the host hands to a parameter's settings window: whether the field
// recalibration page is shown, and the reading of an ADC channel.
struct HostData {
    bool show_recalibration = false;
    std::function<int(int channel)> read_channel;
};

class Param {
public:
    // The global names whose raw reading is corrected for source decay.
    static constexpr std::string_view radio_dens_in_name = "плотн_пж_вх_радиоакт";
    static constexpr std::string_view radio_dens_out_name = "плотн_пж_вых_радиоакт";
    static constexpr std::string_view cem_plotn_name = "cem_plotn";
    static constexpr int cem_plotn_digital_channel = 30;
    // The only parameter the hook-load factor applies to.
    static constexpr std::string_view hook_load_name = "вес_на_крюке";

    AnsiString name;         // display name ("назв.")
    AnsiString short_name;   // "кратк.назв."
    AnsiString units;        // "ед.изм."
    AnsiString global_name;  // the identifier all look-ups use
    int channel = -1;        // ADC channel, -1 when not read from one
    int averaging = 1;       // number of averaging points
    float range = 0.0f;      // value span of the linear conversion
    float zero = 0.0f;       // offset of the linear conversion
    float min_value = 0.0f;  // lower bound of the display range
    float max_value = 0.0f;  // upper bound of the display range
    // The recording hub reads this byte as the store mode of the real-time
    // files: 0 average over the record interval, 1 last value, 2 maximum.
    std::uint8_t kind = 0;
    std::vector<UnitCalibrPoint> points;  // ascending x as the editors keep it
    ParamExtInfo ext_info;

    Param() = default;

    // Names, channel, averaging, kind, the four floats and the points
    // (pairwise, within the zero tolerance); the extra data is not compared.
    bool equal(const Param& other) const;

    // The parameter's value for a raw channel reading. factor is the
    // hook-load factor and applies only to "вес_на_крюке" without points.
    // Never fails: a zero divisor gives 0.
    double calc_value_by_voltage(double raw, double factor) const;

    // The decay factor of the radioactive source for now (1 when no
    // correction applies).
    double decay_factor() const;

    // Shifts the conversion by b - a: the zero without points, every
    // point's value with them.
    void correct_kalibr(float a, float b);

    // Lists the fields that differ from other, as "label[old -> new] ";
    // true when anything differs.
    bool check_changes(const Param& other, AnsiString& text) const;
    void check_values() {}

    // Runs the settings window for a parameter that has one (see
    // AllParams::test_param) and returns true; false, without a window, for
    // any other parameter or while no window is installed.
    bool param_options(const HostData& host);

    // Name, short name, units, global name, channel, range, zero, bounds,
    // averaging, kind; points and extra data are not part of it.
    void get_serial_list(lib::serial_list& list);

    // One record of the parameter table file. Saving refuses a text longer
    // than the format holds (511 bytes, std::length_error), a text with a 0
    // character, and a name that is the end-of-records marker (a single
    // LF) (std::invalid_argument), before writing anything.
    void save_to_file(lib::io::BinaryOutputStream& out) const;
    // Reads the name first and returns false at once when it is the
    // end-of-records marker (a single LF); true after a whole record. A
    // stream that ends early, or a text longer than 511 bytes, throws.
    bool load_from_file(lib::io::BinaryInputStream& in);
    // The parameter's part of the ".extended" file: global name, extra data.
    void save_extended_info(lib::io::BinaryOutputStream& out) const;

    // The calibration file: "param_name=" and the global name, then one
    // "%15e %15e" line per point. false for an empty file name or when the
    // file cannot be written.
    bool save_calibr_to_file(const AnsiString& file) const;
    // false, with the points unchanged, when the file names another
    // parameter; true otherwise, also when the file cannot be opened (the
    // points then stay as they were).
    bool load_calibr_from_file(const AnsiString& file);
    // The same from the file's bytes read beforehand (so that no file is
    // read while the caller holds the hub lock).
    bool load_calibr_from_bytes(const std::string& bytes);

    // The longest text a table file record holds, in bytes on disk.
    static constexpr std::size_t max_file_string = 511;

private:
    bool read_calibr(lib::io::BinaryInputStream& in);
};

inline bool operator==(const Param& a, const Param& b) { return a.equal(b); }
inline bool operator!=(const Param& a, const Param& b) { return !a.equal(b); }

inline void get_serial_list(Param& p, lib::serial_list& list) { p.get_serial_list(list); }

// The settings window of a parameter lives with the windows; it installs
// itself here. It edits the parameter in place when the operator confirms.
using ParamOptionsDialog = std::function<void(Param&, const HostData&)>;
void set_param_options_dialog(ParamOptionsDialog dialog);

// One line of a calibration file for a point: "%15e %15e" as the C library
// writes it (point as decimal separator), without the line end.
AnsiString format_calibr_line(const UnitCalibrPoint& point);
