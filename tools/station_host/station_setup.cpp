#include "tools/station_host/station_setup.h"

#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/pore_construction.h"
#include "platform/os/directory.h"
#include "platform/rtl/ini_file.h"

namespace station_host {

namespace fs = std::filesystem;

namespace {

const char* const section = "станция";

std::string in(const std::string& folder, const char* name) { return (fs::path(folder) / name).string(); }

}  // namespace

const std::vector<DefaultChannel>& default_channels() {
    // The simulated unit's channels and full scales (tools/devsim/scenario.h).
    static const std::vector<DefaultChannel> channels = {
        {"вес_на_крюке", 0, 250, "т"},
        {"давление_на_входе", 1, 40, "МПа"},
        {"давление_в_затрубъе", 2, 40, "МПа"},
        {"момент_ротора", 3, 50, "кН*м"},
        {"сумм_газ", 4, 100, "%"},
        {"метан_абс", 5, 100, "%"},
        {"расход_на_входе", 6, 100, "л/с"},
        {"расход_на_выходе", 7, 100, "л/с"},
        {"ходы_насоса1", -1, 200, "ход/мин"},
        {"ходы_насоса2", -1, 200, "ход/мин"},
        {"ходы_насоса3", -1, 200, "ход/мин"},
        {"тальблок", -1, 50, "м"},
    };
    return channels;
}

std::vector<std::string> ensure_default_setup(const std::string& folder) {
    std::vector<std::string> created;
    std::error_code ec;
    if (!os::make_directories(folder)) ec.assign(errno, std::generic_category());
    if (ec) throw std::runtime_error("cannot create the station folder '" + folder + "': " + ec.message());

    const std::string table_file = in(folder, params_file);
    if (!fs::exists(table_file)) {
        const Settings defaults;
        AllParams& registry = get_all_params();
        ParTabl table;
        for (const DefaultChannel& c : default_channels()) {
            Param p;
            const int n = registry.get_param_number(c.global_name);
            if (n >= 0) registry.at(n).assign_to(p);
            p.global_name = c.global_name;
            p.channel = c.channel;
            p.units = c.units;
            p.min_value = 0;
            p.max_value = float(c.full_scale);
            p.kind = 0;
            // Five frames a second from the unit: a second's running average.
            p.averaging = 5;
            if (c.channel >= 0) {
                // Volts at the converter to the value, linear from zero.
                p.points = {{0.0, 0.0}, {defaults.adc_reference, c.full_scale}};
            } else {
                p.points.clear();
                p.range = 0;
                p.zero = 0;
            }
            table.add(p);
        }
        table.save_to(table_file);  // throws naming the file
        created.push_back(table_file);
    }

    const std::string ini_file = in(folder, settings_file);
    if (!fs::exists(ini_file)) {
        const Settings s;
        rtl::IniFile ini(ini_file);
        rtl::IniFile::Batch batch(ini);
        ini.WriteFloat(section, "опорное_напряжение_ацп", s.adc_reference);
        ini.WriteFloat(section, "объем_затруба_на_метр", s.annulus_capacity);
        // The hub's configuration, whole, so that the operator finds every
        // key to edit; the simulated rig's sensor and weights in it.
        Config config;
        config.dol_koeff = float(DefaultRig::pulses_per_metre);
        config.zero_weight = float(DefaultRig::zero_weight);
        config.last_tal = float(DefaultRig::block_position);
        config.save_to_ini(&ini);
        // The calibration table, measured: 900 pulses over each 9 m
        // interval, and always used.
        calc::DepthCalc calibration(depth_calc_section);
        for (int i = 0; i < calibration.size(); ++i)
            calibration.set_counter(i,
                                    int(std::lround(DefaultRig::pulses_per_metre *
                                                    std::abs(calibration.get_depth1(i) - calibration.get_depth2(i)))));
        calibration.mode = 1;
        calibration.lib::IniSerialData::save(&ini);  // the list, then its options
        batch.commit();
        if (!fs::exists(ini_file)) throw std::runtime_error("cannot write the settings file '" + ini_file + "'");
        created.push_back(ini_file);
    }
    return created;
}

void load_table(const std::string& folder, ParTabl& table) {
    const std::string file = in(folder, params_file);
    if (!fs::exists(file)) throw std::runtime_error("no parameter table '" + file + "'");
    table.load_from(file);
    if (!table.get_load_warnings().empty()) {
        std::string what;
        for (const std::string& w : table.get_load_warnings()) what += (what.empty() ? "" : "; ") + w;
        throw std::runtime_error("the parameter table '" + file + "' is damaged: " + what);
    }
    if (table.get_items_count() == 0) throw std::runtime_error("the parameter table '" + file + "' holds no parameter");
}

Settings load_settings(const std::string& folder) {
    Settings s;
    rtl::IniFile ini(in(folder, settings_file));
    s.adc_reference = ini.ReadFloat(section, "опорное_напряжение_ацп", s.adc_reference);
    s.annulus_capacity = ini.ReadFloat(section, "объем_затруба_на_метр", s.annulus_capacity);
    // Nonsense in the file must not stop or divide the cycle.
    if (!(s.adc_reference > 0)) s.adc_reference = 2.5;
    if (!(s.annulus_capacity > 0)) s.annulus_capacity = 25;
    return s;
}

void write_cement_table(const std::string& folder) {
    ParTabl table;
    // The names and display ranges the cementing plug-in gives them.
    struct Row {
        const char* global_name;
        const char* name;
        const char* units;
        int channel;
        double full_scale;
        float min_value, max_value;
    };
    for (const Row& r : {Row{"cem_davl", "Давление СКЦ", "атм", 0, 600, 0, 600},
                         Row{"cem_plotn", "Плотность СКЦ", "г/см3", 1, 2.5, 1, 2},
                         Row{"cem_temp", "Температура СКЦ", "°C", 2, 100, 0, 100},
                         Row{"cem_rasx", "Расход СКЦ", "л/c", 3, 100, 0, 100},
                         Row{"cem_plan_plotn", "Плановая плотность СКЦ", "г/см3", -1, 0, 1, 2},
                         Row{"cem_plan_rasx", "Плановый расход СКЦ", "л/c", -1, 0, 0, 100},
                         Row{"cem_V", "Объем этапа СКЦ", "м3", -1, 0, 0, 100},
                         Row{"cem_plan_V", "Плановый объем этапа СКЦ", "м3", -1, 0, 0, 100},
                         Row{"cem_Vsumm", "Объем суммарный СКЦ", "м3", -1, 0, 0, 1000}}) {
        Param p;
        p.global_name = r.global_name;
        p.name = r.name;
        p.units = r.units;
        p.channel = r.channel;
        p.averaging = 1;
        p.min_value = r.min_value;
        p.max_value = r.max_value;
        if (r.channel >= 0) p.points = {{0.0, 0.0}, {2.5, r.full_scale}};
        table.add(p);
    }
    table.save_to((fs::path(folder) / params_file).string());
}

std::string prepare_cement_station(const std::string& station, const std::string& well,
                                   const std::vector<UsedConstructionElement>& construction) {
    std::error_code ec;
    if (!os::make_directories(station)) ec.assign(errno, std::generic_category());
    if (ec) throw std::runtime_error("cannot make '" + station + "': " + ec.message());
    write_cement_table(station);
    ensure_default_setup(station);
    rtl::IniFile settings(in(station, settings_file));
    settings.WriteString("скважина", "номер", well);
    pore::Construction kept;
    for (const UsedConstructionElement& u : construction) {
        pore::ConstrElement& e = kept.at(u.index);
        e.enabled = true;
        e.top = u.top;
        e.bottom = u.bottom;
        e.inner_diameter = u.inner_diameter;
        e.outer_diameter = u.outer_diameter;
    }
    kept.lib::IniSerialData::save(&settings);

    const fs::path cement = fs::path(station) / well / "cement";
    if (!os::make_directories(cement.string())) ec.assign(errno, std::generic_category());
    if (ec) throw std::runtime_error("cannot make '" + cement.string() + "': " + ec.message());
    // A job of an earlier run would make this one stage 3, 4, ...: the
    // programme is the operator's fresh one each time.
    for (const auto& e : fs::directory_iterator(cement, ec))
        if (e.is_regular_file()) (void)os::remove_file(e.path().string());
    rtl::IniFile(cement / "cement.ini").WriteInteger("Main", "laststupen", 1);
    const fs::path programme = cement / "cement_program_1.ini";
    rtl::IniFile prog(programme);
    prog.WriteInteger("Main", "Count", 3);
    const std::pair<const char*, int> elements[] = {{"Закачка буфера", 0}, {"Закачка цемента", 1}, {"Продавка", 5}};
    for (int i = 0; i < 3; ++i) {
        const std::string item = "Item" + std::to_string(i);
        prog.WriteString(item, "name", elements[i].first);
        prog.WriteInteger(item, "id", elements[i].second);
        prog.WriteInteger(item, "type_rastvor", elements[i].second == 1 ? 0 : -1);
    }
    return programme.string();
}

}  // namespace station_host
