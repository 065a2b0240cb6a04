#pragma once
// RaceInfoOld: the descriptive record of one trip (one bit run): well and
// field names, trip and bit data, start and end depths and times, the
// durations of the drilling operations, trip averages and the drilling-fluid
// properties.
//
// Three views of the same fields:
//  - the trip's ".rac" INI file (lib::ini_options: get_elements_list);
//  - the options engine (lib::options_base: enum_values), for dialogs, grids
//    and change logging;
//  - the module stream (serial name "RaceInfoNew"), which also carries a few
//    fields that neither other view shows.
//
// The station configuration owns the one record and registers it in the
// hub's module list through its adapter (RaceInfoModule, config.h).

#include "library/options/ini_options.h"
#include "library/options/options.h"
#include "library/serial/serializator.h"

#include <cstdint>
#include <string>

namespace rtl {
class StringList;
}
namespace lib {
class grid_options_list;
}

using AnsiString = std::string;

class RaceInfoOld : public lib::ini_options, public lib::options_base, public lib::SerialModuleBase {
public:
    enum DrillType : int {
        rotary = 0,
        turbine = 1,
        rotary_turbine = 2,
        electric = 3,
        emergency = 4,
        other = 5,
    };

    // Times -1 (all bits), numbers 0, texts empty; then the engine's
    // defaults (trip number 1, hole enlargement factor 1, drill type 0).
    RaceInfoOld();

    void get_elements_list(lib::ini_options_elements& list) override;
    void save_additional_info(rtl::IniFile*) override {}
    void load_additional_info(rtl::IniFile*) override {}
    void enum_values(lib::options_list& list) override;

    // One "key=value" entry per engine item, the value in its stored form.
    void fill_to_strings(rtl::StringList& list);
    // The trip's ".rac" file beside a data file: folder + the name up to and
    // including its first "." + "rac" (0012.fast.realtim gives 0012.rac);
    // empty when the name has no ".".
    static AnsiString get_race_file(const AnsiString& data_file);
    static AnsiString get_drill_type_str(int type);
    // The grid editor's lists for the record's dialog of a moment of the
    // trip (both emptied first): 0 at its start, the trip number fixed and
    // the bit wear hidden; 1 during the trip, the trip number, the bit wear
    // and the trip averages hidden; 2 at its end, the trip number fixed.
    // Other kinds show everything.
    static void correct_race_options(int kind, lib::grid_options_list& read_only, lib::grid_options_list& hidden);

    void get_serial_name(AnsiString& name) override { name = "RaceInfoNew"; }
    void get_serial_list(lib::serial_list& list, unsigned param) override;

    // Archive data.
    AnsiString field_name;     // месторождение
    AnsiString well;           // скважина
    AnsiString well_category;  // категория_скважины
    AnsiString area;           // площадь
    AnsiString customer;       // заказчик
    double prohodka = 0;       // drilled length, m
    double start_depth = 0;
    std::uint32_t start_time = 0xFFFFFFFFu;  // station seconds
    double end_depth = 0;
    std::uint32_t end_time = 0xFFFFFFFFu;
    // Trip settings.
    std::int32_t race_num = 0;
    AnsiString drill_method;  // text of drill_type, set before every save
    AnsiString operator_name;
    DrillType drill_type = rotary;
    AnsiString bit_type;
    AnsiString bit_number;
    double bit_diameter = 0;  // mm
    AnsiString motor_type;
    AnsiString bit_wear_start;
    AnsiString bit_wear_code;
    AnsiString bha;           // bottom-hole assembly
    double kavern_koeff = 0;  // hole enlargement factor
    double depth_step = 0;
    std::int32_t time_step = 0;
    // Durations of the operations, seconds.
    std::int32_t drill_time = 0;
    std::int32_t circ_time = 0;
    std::int32_t spo_time = 0;
    std::int32_t prom_time = 0;
    std::int32_t prorab_time = 0;
    // Trip averages.
    double aver_load = 0;
    double aver_pressure = 0;
    double aver_flow = 0;
    double drill_rate = 0;
    // Drilling fluid.
    double aver_density = 0;
    AnsiString fluid_type;
    AnsiString viscosity;
    AnsiString filtration;
    double chl = 0;
    double cake = 0;
    double sand = 0;
    AnsiString stability;
    double resistivity = 0;
    AnsiString stickiness;
    double ph = 0;
    // Kept in the module stream only.
    double stream_double = 0;
    AnsiString stream_text[5];

private:
    void update_drill_method() { drill_method = get_drill_type_str(drill_type); }
};
