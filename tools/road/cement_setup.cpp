#include "tools/road/cement_setup.h"

#include <filesystem>

#include "platform/rtl/ini_file.h"
#include "tools/station_host/station_setup.h"

namespace road {

void prepare_cement_station(const std::string& station_folder, const std::string& well) {
    // A conductor to 450 m, the technical column being cemented to 1800 m,
    // open hole to 2500 m: the report names both columns.
    const std::string programme = station_host::prepare_cement_station(
        station_folder, well,
        {{1, 0, 450, 304.8f, 323.9f}, {7, 0, 1800, 224.4f, 244.5f}, {8, 1800, 2500, 215.9f, 215.9f}});
    rtl::IniFile prog(programme);
    prog.WriteString("Main", "cem_planV", "0,04");
    prog.WriteString("Main", "Column", "7 ");
    rtl::IniFile(std::filesystem::path(station_folder) / well / "inpgti.ini").WriteString("Main", "well", well);
}

}  // namespace road
