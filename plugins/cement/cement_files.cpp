#include "plugins/cement/cement_files.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <stdexcept>

#include "platform/rtl/ini_file.h"

namespace cement {

namespace {

const char* const main_section = "Main";

std::string item(int i) { return "Item" + std::to_string(i); }

}  // namespace

void refuse_odd_job_file(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(st) || std::filesystem::is_regular_file(st)) return;
    throw std::runtime_error("'" + path + "' is not written: " +
                             (std::filesystem::is_symlink(st) ? "a symbolic link stands in place of the file"
                                                               : "something other than a plain file stands there") +
                             "; it is left as it is");
}

std::string format_columns(const std::vector<int>& columns) {
    std::string s;
    for (int c : columns) s += std::to_string(c) + " ";
    return s;
}

std::vector<int> parse_columns(const std::string& text) {
    std::vector<int> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) {
            int v = -1;
            auto [p, ec] = std::from_chars(text.data() + at, text.data() + end, v);
            if (ec == std::errc() && p == text.data() + end && v >= 0) out.push_back(v);
        }
        at = end + 1;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void save_fluids(const std::string& path, CementData& data) {
    if (data.fluids.empty()) return;
    refuse_odd_job_file(path);
    rtl::IniFile ini(path);
    rtl::IniFile::Batch batch(ini);
    ini.WriteInteger(main_section, "Count", int(data.fluids.size()));
    data.save_to_ini(&ini);
    ini.WriteString(main_section, "cem.calibr_file_name", data.fixed_fluids[0].calibr_file_name);
    ini.WriteString(main_section, "gelcem.calibr_file_name", data.fixed_fluids[1].calibr_file_name);
    ini.WriteString(main_section, "gazocem.calibr_file_name", data.fixed_fluids[2].calibr_file_name);
    for (std::size_t i = 0; i < data.fluids.size(); ++i) {
        const TRastvor& f = data.fluids[i];
        const std::string s = item(int(i));
        ini.WriteString(s, "name", f.name);
        ini.WriteFloat(s, "plotnost", f.density);
        ini.WriteString(s, "dobavka", f.additive);
        ini.WriteFloat(s, "pl_dobavka", f.additive_density);
        ini.WriteString(s, "osnova", f.base);
        ini.WriteFloat(s, "pl_osnova", f.base_density);
        ini.WriteFloat(s, "vyazkost", f.viscosity);
        ini.WriteString(s, "calibr_file_name", f.calibr_file_name);
    }
    batch.commit();
}

void load_fluids(const std::string& path, CementData& data) {
    rtl::IniFile ini(path);
    data.selected_fluid = -1;
    const int count = ini.ReadInteger(main_section, "Count", -1);
    data.load_from_ini(&ini);
    data.fixed_fluids[0].calibr_file_name = ini.ReadString(main_section, "cem.calibr_file_name", "");
    data.fixed_fluids[1].calibr_file_name = ini.ReadString(main_section, "gelcem.calibr_file_name", "");
    data.fixed_fluids[2].calibr_file_name = ini.ReadString(main_section, "gazocem.calibr_file_name", "");
    if (count < 0) {
        data.fluids.clear();
        return;
    }
    // A count no file of sections can hold is cut to the sections there are.
    const int sections = int(ini.ReadSections().size());
    data.fluids.assign(std::size_t(std::min(count, sections)), TRastvor());
    for (std::size_t i = 0; i < data.fluids.size(); ++i) {
        TRastvor& f = data.fluids[i];
        const std::string s = item(int(i));
        f.name = ini.ReadString(s, "name", "null");
        if (f.name == "null") return;
        f.density = float(ini.ReadFloat(s, "plotnost", 0));
        f.additive = ini.ReadString(s, "dobavka", "");
        f.additive_density = float(ini.ReadFloat(s, "pl_dobavka", 0));
        f.base = ini.ReadString(s, "osnova", "");
        f.base_density = float(ini.ReadFloat(s, "pl_osnova", 0));
        f.viscosity = float(ini.ReadFloat(s, "vyazkost", 0));
        f.calibr_file_name = ini.ReadString(s, "calibr_file_name", "");
    }
    data.selected_fluid = 0;
}

void save_programme(const std::string& path, CementData& data, TReportOptions& report) {
    if (data.program.empty()) return;
    refuse_odd_job_file(path);
    rtl::IniFile ini(path);
    rtl::IniFile::Batch batch(ini);
    ini.WriteInteger(main_section, "Count", int(data.program.size()));
    ini.WriteString(main_section, "Column", format_columns(data.columns));
    data.save_to_ini(&ini);
    report.save_to_ini(&ini);
    for (std::size_t i = 0; i < data.program.size(); ++i) {
        const CementProgramElement& e = data.program[i];
        const std::string s = item(int(i));
        ini.WriteString(s, "name", e.name);
        ini.WriteInteger(s, "type_rastvor", e.fluid_type);
        ini.WriteInteger(s, "id", e.kind);
        ini.WriteFloat(s, "P_critical", e.P_critical);
        ini.WriteInteger(s, "mode", e.mode);
        const bool waiting = e.mode == state_waiting;
        ini.WriteDateTime(s, "start", waiting ? 0.0 : e.start);
        ini.WriteDateTime(s, "end", waiting ? 0.0 : e.end);
    }
    batch.commit();
}

bool load_programme(const std::string& path, CementData& data, TReportOptions& report,
                    std::vector<std::string>* warnings) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    rtl::IniFile ini(path);
    const int count = ini.ReadInteger(main_section, "Count", -1);
    data.columns = parse_columns(ini.ReadString(main_section, "Column", ""));
    data.load_from_ini(&ini);
    // The bit diameter is the hub's trip information: a file that does not
    // hold it must not zero it.
    const double bit = report.bit_diameter();
    report.load_from_ini(&ini);
    if (!ini.ValueExists("Report", "doloto_diametr")) report.set_bit_diameter(bit);
    if (count < 0) {
        data.program.clear();
        data.element = element_none;
        return false;
    }
    auto warn = [&](const std::string& w) {
        if (warnings) warnings->push_back(path + ": " + w);
    };
    // A count beyond the sections the file has would only make empty
    // elements ("null" waiting ones); the count stays what the file says
    // while the sections are there.
    const int sections = int(ini.ReadSections().size());
    int n = count;
    if (n > sections) {
        warn("Count " + std::to_string(count) + " is more than the file holds; " + std::to_string(sections) +
             " elements read");
        n = sections;
    }
    TProgram program(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        CementProgramElement& e = program[std::size_t(i)];
        const std::string s = item(i);
        e.name = ini.ReadString(s, "name", "null");
        e.fluid_type = ini.ReadInteger(s, "type_rastvor", 0);
        if (e.fluid_type >= list_fluid_base) {
            const std::size_t k = std::size_t(e.fluid_type - list_fluid_base);
            if (k < data.fluids.size())
                e.fluid = data.fluids[k];
            else
                warn(s + ": fluid " + std::to_string(e.fluid_type) + " is not in the fluids list");
        } else if (e.fluid_type >= fluid_cement) {
            e.fixed = data.fixed_fluids[std::size_t(e.fluid_type)];
        }
        e.kind = ini.ReadInteger(s, "id", 0);
        if (e.kind < 0 || e.kind >= stage_kind_count) warn(s + ": unknown stage kind " + std::to_string(e.kind));
        e.P_critical = float(ini.ReadFloat(s, "P_critical", 0));
        e.mode = ini.ReadInteger(s, "mode", 0);
        e.start = ini.ReadDateTime(s, "start", 0);
        e.end = ini.ReadDateTime(s, "end", 0);
        // The report values of elements already reported, so that a stage
        // continued after a restart reports them again; an element that has
        // not run has none of this stage, whatever an earlier use of the
        // file left in its section.
        if (e.mode == state_waiting) continue;
        e.V_inc = float(ini.ReadFloat(s, "V_inc", 0));
        e.Vsumm = float(ini.ReadFloat(s, "Vsumm", 0));
        e.cem_Vsumm = float(ini.ReadFloat(s, "cem_Vsumm", 0));
        e.cem_M = float(ini.ReadFloat(s, "cem_M", 0));
        e.cem_Msumm = float(ini.ReadFloat(s, "cem_Msumm", 0));
        e.Q_av = float(ini.ReadFloat(s, "Q_av", 0));
        e.Pl_av = float(ini.ReadFloat(s, "Pl_av", 0));
        e.P_min = float(ini.ReadFloat(s, "P_min", 10.0));
        e.P_max = float(ini.ReadFloat(s, "P_max", 0));
    }
    data.program = std::move(program);
    data.element = element_finished;
    for (const CementProgramElement& e : data.program)
        if (e.mode != state_done) {
            data.element = element_none;
            break;
        }
    if (data.element == element_none)
        for (std::size_t i = 0; i < data.program.size(); ++i)
            if (data.program[i].mode == state_running) {
                data.element = int(i);
                break;
            }
    return true;
}

void make_default_programme(CementData& data) {
    auto list_fluid = [&](const char* name) {
        for (std::size_t i = 0; i < data.fluids.size(); ++i)
            if (data.fluids[i].name == name) return int(i) + list_fluid_base;
        return no_fluid;
    };
    struct Row {
        const char* name;
        int kind;
        int fluid;
    };
    const Row rows[] = {
        {"Ожидание", kind_waiting, no_fluid}, {"Закачка буфера", kind_buffer, list_fluid("Вода")},
        {"Ожидание", kind_waiting, no_fluid}, {"Закачка гель-цемента", kind_gel_cement, fluid_gel_cement},
        {"Ожидание", kind_waiting, no_fluid}, {"Закачка цемента", kind_cement, fluid_cement},
        {"Ожидание", kind_waiting, no_fluid}, {"Продавка", kind_displacement, list_fluid("Буровой раствор")},
        {"Ожидание", kind_waiting, no_fluid}};
    TProgram program;
    FixedFluid carried;
    for (const Row& r : rows) {
        CementProgramElement e;
        e.name = r.name;
        e.kind = r.kind;
        e.fluid_type = r.fluid;
        if (r.fluid >= list_fluid_base) e.fluid = data.fluids[std::size_t(r.fluid - list_fluid_base)];
        if (r.fluid >= fluid_cement && r.fluid <= fluid_gas_cement) carried = data.fixed_fluids[std::size_t(r.fluid)];
        if (r.kind == kind_waiting || (r.fluid >= fluid_cement && r.fluid <= fluid_gas_cement)) e.fixed = carried;
        program.push_back(std::move(e));
    }
    data.program = std::move(program);
    data.element = element_none;
}

int load_last_stage(const std::string& path) { return rtl::IniFile(path).ReadInteger(main_section, "laststupen", -1); }

void save_last_stage(const std::string& path, int stage) {
    refuse_odd_job_file(path);
    rtl::IniFile(path).WriteInteger(main_section, "laststupen", stage);
}

bool load_view_settings(const std::string& path, CementData& data) {
    rtl::IniFile ini(path);
    data.digital_density = ini.ReadBool(main_section, "plotn_digital", true);
    data.chart_scale = std::clamp(ini.ReadInteger(main_section, "chart_scale", 5), 0, chart_scale_count - 1);
    return data.digital_density;
}

void save_view_settings(const std::string& path, const CementData& data) {
    refuse_odd_job_file(path);
    rtl::IniFile ini(path);
    rtl::IniFile::Batch batch(ini);
    ini.WriteBool(main_section, "plotn_digital", data.digital_density);
    ini.WriteInteger(main_section, "chart_scale", data.chart_scale);
    batch.commit();
}

}  // namespace cement
