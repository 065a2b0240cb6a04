#pragma once
// The station set-up the host works with when a folder has none of its own:
// a parameter table whose channels and calibrations match the acquisition
// unit the device simulator plays (the driller's console's 12-bit channels
// on a 2.5 V reference, a depth sensor giving 100 pulses per metre of block
// travel), and the settings file.
//
// Files, in the station folder:
//   "params.tbl" (+ ".extended")  the parameter table (ParTabl's format)
//   "station.ini"                 the host's settings (section "станция"),
//                                 the hub's settings (its configuration and
//                                 registered modules: the depth sensor's
//                                 calibration, the well data), and the
//                                 depths of the well between runs (section
//                                 "рейс", as DataStorage::load_conf/save_conf
//                                 keep them)
// An existing file is never overwritten: an operator's own table stays.

#include <string>
#include <vector>

class ParTabl;

namespace station_host {

inline constexpr const char* params_file = "params.tbl";
inline constexpr const char* settings_file = "station.ini";
inline constexpr const char* event_log_file = "registr.events.log";
// The section of the hub's depth-sensor calibration table (its instance's
// name).
inline constexpr const char* depth_calc_section = "DepthCalc";

// One channel of the default table: the parameter's global name, its ADC
// channel and the value at full scale (code 4095, i.e. the reference
// voltage). A channel of -1 is not read from the converter: the pump
// stroke rates come from the frame's rate inputs, the block position from
// the depth sensor's pulses.
struct DefaultChannel {
    const char* global_name;
    int channel;
    double full_scale;
    const char* units;
};
const std::vector<DefaultChannel>& default_channels();

// The host's settings, from "station.ini". The depth sensor's pulses per
// metre, the hook load of a string in the slips and the record steps are
// the hub's (its calibration table and configuration, in the same file).
struct Settings {
    double adc_reference = 2.5;    // volts at the converter's full scale
    double annulus_capacity = 25;  // l per metre of annulus, for the lag
                                   // while the well data has no bore
};

// What the default set-up gives the hub for the simulated rig.
struct DefaultRig {
    static constexpr double pulses_per_metre = 100;  // the depth sensor
    static constexpr double zero_weight = 30;        // t: the block alone is 15
    static constexpr double block_position = 25;     // m, where its block starts
};

// Creates the default table and settings in folder where they are missing
// (the folder too); returns the names of the files it created. Throws
// std::runtime_error naming the file and the cause.
std::vector<std::string> ensure_default_setup(const std::string& folder);

// The cementing-control station's parameters in the table of `folder`: its
// four channels (12 bits on a 2.5 V reference) and the values the cementing
// plug-in computes. Replaces the folder's table.
void write_cement_table(const std::string& folder);

// An element of the well's construction in use, by its place in the
// construction's list (1 the conductor, 7 the technical column, 8 open
// hole, ...); depths in m, diameters in mm.
struct UsedConstructionElement {
    int index;
    float top, bottom, inner_diameter, outer_diameter;
};

// The station folder set up for a cementing job on the simulated
// cementing-control station: the cementing table (write_cement_table), the
// default set-up, well `well` ("номер") with the construction's elements
// given in use (saved as the hub keeps them), and the stage programme the
// operator prepared as stage 1 in "<station>/<well>/cement": a buffer, a
// cement slurry, a displacement (the job then runs as stage 2). Files of
// the well's earlier stages are removed. Returns the programme's file.
// Throws std::runtime_error naming the folder that cannot be made.
std::string prepare_cement_station(const std::string& station, const std::string& well,
                                   const std::vector<UsedConstructionElement>& construction);

// Loads the table from the folder into table; throws std::runtime_error
// naming the file when it cannot be read, holds no parameter, or is damaged
// (a record or calibration block that could not be read, each named): a
// trip recorded with part of its parameters would look like a whole one.
void load_table(const std::string& folder, ParTabl& table);

Settings load_settings(const std::string& folder);

}  // namespace station_host
