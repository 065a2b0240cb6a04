#include "tools/road/cement_setup.h"

#include <filesystem>
#include <stdexcept>

#include "gti/registr_old/pore_construction.h"
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
    rtl::IniFile settings(station / station_host::settings_file);
    settings.WriteString("скважина", "номер", well);
    // The well's construction, as the hub keeps it: a conductor to 450 m, the
    // technical column being cemented to 1800 m, open hole to 2500 m. The
    // report names both columns from it.
    pore::Construction construction;
    auto use = [&](int i, float top, float bottom, float inner, float outer) {
        pore::ConstrElement& e = construction.at(i);
        e.enabled = true;
        e.top = top;
        e.bottom = bottom;
        e.inner_diameter = inner;
        e.outer_diameter = outer;
    };
    use(1, 0, 450, 304.8f, 323.9f);
    use(7, 0, 1800, 224.4f, 244.5f);
    use(8, 1800, 2500, 215.9f, 215.9f);
    construction.lib::IniSerialData::save(&settings);

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
    prog.WriteString("Main", "Column", "7 ");
    const std::pair<const char*, int> elements[] = {{"Закачка буфера", 0}, {"Закачка цемента", 1}, {"Продавка", 5}};
    for (int i = 0; i < 3; ++i) {
        const std::string s = "Item" + std::to_string(i);
        prog.WriteString(s, "name", elements[i].first);
        prog.WriteInteger(s, "id", elements[i].second);
        prog.WriteInteger(s, "type_rastvor", elements[i].second == 1 ? 0 : -1);
    }
}

}  // namespace road
