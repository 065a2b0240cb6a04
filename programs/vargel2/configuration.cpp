#include "programs/vargel2/configuration.h"

#include <algorithm>

#include "platform/os/directory.h"
#include "platform/rtl/text.h"
#include "programs/vargel2/run_state.h"

namespace vargel2 {

int ConfigValues::window_hours() const {
    return time_period == 4 || time_period == 8 || time_period == 12 || time_period == 24 ? time_period : 12;
}

std::string ConfigValues::resolve_folder(const std::string& option) const {
    std::string s = option;
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    std::string folder = absolute_path(s, program_folder);
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string options_file_path(const std::string& program_folder) {
    for (const auto& e : os::find_entries(program_folder + "/*.ini", os::fa_read_only | os::fa_hidden)) {
        if (rtl::SameText(e.name, "vargel2.ini")) return program_folder + "/" + e.name;
    }
    return program_folder + "/vargel2.ini";
}

Configuration::Configuration(std::string folder) { program_folder = std::move(folder); }

void Configuration::get_elements_list(lib::ini_options_elements& list) {
    list.add(from_time, "options", "from_time");
    list.add(time_period, "options", "time_period");
    list.add(destination_path, "options", "destination_path");
    list.add(last_data, "options", "last_data");
    list.add(tolvane_directory, "options", "tolvane_directory");
    list.add(compress_method, "options", "compress_method");
}

void Configuration::load_options() {
    load(options_file_path(program_folder));
    // An hour of the day; a hand-edited value beyond it would push the day
    // window's seconds past the 32-bit scale.
    from_time = std::clamp(from_time, 0, 23);
}

void Configuration::save_options() { save(options_file_path(program_folder)); }

}  // namespace vargel2
