#pragma once
// One element of the drill string as the operator enters it in the pipe
// tally: the bit, the motor, drill collars, stands, single pipes, subs...
// An element is a group of `count` identical units; each unit is one or
// more pipes whose lengths are listed bottom pipe first.
//
// Units: lengths in metres, diameters and wall in millimetres, volumes in
// cubic metres, weights in kilograms.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "library/options/ini_serial.h"

namespace lib {
class serial_list;
}

namespace instr {

using AnsiString = std::string;

// A key of the element type table; any other value is a valid "other" type.
using ElemType = std::int32_t;

namespace elem_type {
constexpr ElemType none = -1;         // "НЕТ"
constexpr ElemType bit = 0;           // "Долото"
constexpr ElemType motor = 1;         // "Двигатель"
constexpr ElemType collar = 2;        // "УБТ"
constexpr ElemType alloy_pipe = 3;    // "ЛБТ"
constexpr ElemType telemetry = 4;     // "Телесист."
constexpr ElemType stand = 5;         // "Свеча"
constexpr ElemType single = 6;        // "Одиночка"
constexpr ElemType double_pipe = 7;   // "Двухтрубка"
constexpr ElemType triple_pipe = 8;   // "Трёхтрубка"
constexpr ElemType sub = 9;           // "Переводник"
constexpr ElemType centralizer = 10;  // "Центратор"
constexpr ElemType stabilizer = 11;   // "Калибратор"
}  // namespace elem_type

// The type names in key order, from "НЕТ" to "Калибратор".
const std::map<ElemType, AnsiString>& get_elem_types();

class Elem : public lib::IniSerialItem {
public:
    // Lengths beyond this many in a stored text form are taken only as far
    // as the text holds them: a unit is a few pipes, and a damaged count must
    // not make millions of zero lengths.
    static constexpr int max_stored_lengths = 64;

    std::int32_t count = 1;
    ElemType type = elem_type::none;
    std::vector<float> lengths;  // of ONE unit, bottom pipe first
    float diameter = 0;
    float weight_per_metre = 0;
    float wall = 0;

    // The type's name; "Другое" for a type without one.
    AnsiString get_name() const;
    // The type whose name equals `name` exactly; unchanged when none does.
    void set_name(const AnsiString& name);

    // "12,50 + 9,00": two decimals, the station's decimal separator.
    AnsiString get_len_string() const;
    // Lengths from a text split at '+'; bad numbers, and numbers past a
    // float, give 0.
    void set_len_string(const AnsiString& text);

    // One line: count, type, diameter, weight per metre, wall, N, N lengths,
    // separated by single blanks, floats with up to 15 significant digits.
    void set_to_string(AnsiString& out) const override;
    void get_from_string(const AnsiString& in) override;

    // n units (n = -1: `count` units) times the length of one unit.
    float get_len(int n = -1) const;
    // The first k pipes of one unit.
    float get_len_pipes(int k) const;

    // For a length of string in metres: the steel of the pipe body, the
    // volume inside the outer surface (steel plus bore), the weight.
    float get_metal_volume(float length) const;
    float get_total_volume(float length) const;
    float get_metal_weight(float length) const;
    // The same for get_len(n).
    float get_metal_volume(int n) const { return get_metal_volume(get_len(n)); }
    float get_total_volume(int n) const { return get_total_volume(get_len(n)); }
    float get_metal_weight(int n) const { return get_metal_weight(get_len(n)); }

    // The units that the stand counter counts: motor, collars, alloy pipe,
    // telemetry and stands.
    bool have_to_be_counted() const;

    // Module stream: count, type, lengths (int32 count and the floats),
    // diameter, weight per metre, wall.
    void get_serial_list(lib::serial_list& list);
    // The fewest bytes an element takes in the module stream.
    static constexpr std::size_t min_serial_bytes = 24;

    friend bool operator==(const Elem& a, const Elem& b) {
        return a.count == b.count && a.type == b.type && a.lengths == b.lengths && a.diameter == b.diameter &&
               a.weight_per_metre == b.weight_per_metre && a.wall == b.wall;
    }
};

}  // namespace instr
