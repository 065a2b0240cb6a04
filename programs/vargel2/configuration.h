#pragma once
// The packing program's options: one record loaded from "vargel2.ini" in the
// program's folder before any window exists and saved back after the last
// one has closed. The file's name is found without regard to letter case, as
// it was on the stations' file systems: an older station's "VARGEL2.INI"
// stays the one file, with the selection window's place in its "MainForm"
// section.

#include <string>

#include "library/options/ini_options.h"

namespace vargel2 {

// The values a packing run needs; a run takes a copy, so that the dialog
// can change the options meanwhile without touching the run.
struct ConfigValues {
    int from_time = 0;     // the hour a 24-hour window begins
    int time_period = 12;  // hours per window: 4, 8, 12 or 24
    std::string destination_path = "GTI/";
    std::string last_data;  // kept in the file only
    std::string tolvane_directory = "../Tolvane/";
    int compress_method = 1;  // 0 plain, 1 quantised, 2 wavelet
    // The program's folder (no '/' at its end); not stored.
    std::string program_folder;

    // The hour-window length the selection tree can use: time_period when it
    // is one of 4, 8, 12, 24, else 12.
    int window_hours() const;
    // A folder option as an absolute folder ending with '/': relative ones
    // lie in the program's folder, and '\' of older files is read as '/'.
    std::string resolve_folder(const std::string& option) const;
};

// The options file of the folder: an entry named "vargel2.ini" in any
// letter case, else folder + "/vargel2.ini".
std::string options_file_path(const std::string& program_folder);

class Configuration : public lib::ini_options, public ConfigValues {
public:
    explicit Configuration(std::string program_folder);
    void get_elements_list(lib::ini_options_elements& list) override;
    // Loads from / saves to options_file_path(program_folder). A loaded
    // from_time outside the day's hours 0-23 is brought to the nearest.
    void load_options();
    void save_options();
    const ConfigValues& values() const { return *this; }
};

}  // namespace vargel2
