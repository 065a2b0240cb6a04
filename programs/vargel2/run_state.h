#pragma once
// What one run of the packing program works on: the well, the choice of data
// (all, trips, an hour window, or files named on the command line), the
// operator's note and where the package goes. The selection window or the
// command line fills it; each packing run takes a copy of its own.
//
// Paths use '/'; the data and destination folders end with one. Every path
// here is absolute: the program never changes its current folder, so a
// relative path would mean something different to the archiver, which runs
// in a folder of its own.

#include <cstdint>
#include <string>
#include <vector>

namespace vargel2 {

struct RunState {
    std::string well_name;
    std::string area_name;
    std::string operator_note;
    std::string package_path;
    std::string data_folder;         // ends with '/'
    std::string destination_folder;  // ends with '/'
    // Seconds of the data's time scale; (0, -1) is all data, (0, 0) nothing.
    std::int32_t range_start = 0;
    std::int32_t range_end = 0;
    std::vector<std::int32_t> trips;  // ascending as checked
    std::vector<std::string> masks;   // command-line mode: files or masks with a folder

    bool all_data() const { return range_start == 0 && range_end == -1; }
    bool range_chosen() const { return !(range_start == 0 && range_end == 0); }
};

// `path` made absolute against `base` (a folder) when it is relative;
// "." and ".." components and doubled separators are resolved as text,
// without touching the disk.
std::string absolute_path(const std::string& path, const std::string& base);

// The process's current folder, read once at start before anything could
// change it.
std::string start_folder();

// Fills the state for a command-line run of the arguments (at least one),
// each made absolute against `current_folder`: the mask list, the package
// path, the data and destination folders. With one argument the package is
// that file's path + ".7z_reg"; with more, or with one that is a mask (its
// name holds '*' or '?', which no package name may), it is named after the
// first argument's folder ("file" for the root) inside that folder.
void command_line_setup(const std::vector<std::string>& arguments, const std::string& current_folder, RunState& state);

// A part of a file name made from the operator's or the station's text:
// lib::check_file_name's replacements, control characters as '-', and no
// run of two dots, so the part can neither leave the folder nor hide.
std::string safe_name_part(const std::string& text);

// A file name's part read as a trip number: decimal digits only, within
// the 32-bit range; -1 for anything else.
std::int32_t trip_number(const std::string& text);

// The package tag of the choice: "ALL_DATA", "races_003_012", or the start
// of the hour window as "2024_03_05_08".
std::string package_tag(const RunState& state);

// destination + "GTI_[" + area + "_" + well + "]_(" + tag + ").compr_rt",
// area and well made safe for a file name.
std::string package_path(const std::string& destination_folder, const RunState& state);

}  // namespace vargel2
