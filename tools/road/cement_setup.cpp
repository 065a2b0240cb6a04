#include "tools/road/cement_setup.h"

#include <filesystem>
#include <stdexcept>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "platform/rtl/ini_file.h"
#include "tools/station_host/station_setup.h"

namespace road {

namespace fs = std::filesystem;

void prepare_cement_station(const std::string& station_folder, const std::string& well) {
    const fs::path station = station_folder;
    std::error_code ec;
    fs::create_directories(station, ec);
    if (ec) throw std::runtime_error("cannot make '" + station.string() + "': " + ec.message());
    station_host::write_cement_table(station.string());
    station_host::ensure_default_setup(station.string());
    rtl::IniFile(station / station_host::settings_file).WriteString("скважина", "номер", well);

    const fs::path cement = station / well / "cement";
    fs::create_directories(cement, ec);
    if (ec) throw std::runtime_error("cannot make '" + cement.string() + "': " + ec.message());
    // A job of an earlier run would make this one stage 3, 4, ...: the
    // programme is the operator's fresh one each time.
    for (const auto& e : fs::directory_iterator(cement, ec))
        if (e.is_regular_file()) fs::remove(e.path(), ec);
    rtl::IniFile(station / well / "inpgti.ini").WriteString("Main", "well", well);
    rtl::IniFile(cement / "cement.ini").WriteInteger("Main", "laststupen", 1);
    rtl::IniFile prog(cement / "cement_program_1.ini");
    prog.WriteInteger("Main", "Count", 3);
    prog.WriteString("Main", "cem_planV", "0,04");
    const std::pair<const char*, int> elements[] = {{"Закачка буфера", 0}, {"Закачка цемента", 1}, {"Продавка", 5}};
    for (int i = 0; i < 3; ++i) {
        const std::string s = "Item" + std::to_string(i);
        prog.WriteString(s, "name", elements[i].first);
        prog.WriteInteger(s, "id", elements[i].second);
        prog.WriteInteger(s, "type_rastvor", elements[i].second == 1 ? 0 : -1);
    }
}

}  // namespace road
