#include "plugins/cement/cement_report.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "library/number_conv.h"
#include "library/text_conv.h"
#include "library/time_conv.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "plugins/cement/cement_files.h"

namespace cement {

namespace fs = std::filesystem;

namespace {

const char* const report_section = "Report";

std::string num(double v, int decimals) { return lib::float_to_str(v, decimals, 0); }

bool fixed_fluid(int type) { return type >= fluid_cement && type <= fluid_gas_cement; }

std::string fluid_title(const CementProgramElement& e) {
    switch (e.fluid_type) {
        case fluid_cement: return "Цемент";
        case fluid_gel_cement: return "Гельцемент";
        case fluid_gas_cement: return "Газоцемент";
        default: return e.fluid_type >= list_fluid_base ? e.fluid.name : std::string();
    }
}

// The diagram's records carry unix seconds: a point time outside them (not
// a number, or before 1970, as only a damaged points file gives) has no
// place there.
bool fits_diagram(double t) {
    static const double first = rtl::EncodeDate(1970, 1, 1);
    return t >= first && t < first + double(UINT32_MAX) / 86400;
}

// An element the stage ran (or runs): it has a state and a start of this
// stage.
bool started(const CementProgramElement& e) { return e.mode != state_waiting && e.start > 0; }

// "hh:mm"-style text of a date-time's time of day.
std::string time_of_day(double dt, const char* format) { return rtl::FormatDateTime(format, dt - std::floor(dt)); }

}  // namespace

void write_element_report(const std::string& programme_path, CementData& data, int i, bool remake) {
    if (i < 0 || i >= int(data.program.size())) return;
    CementProgramElement& e = data.program[std::size_t(i)];
    const bool cement_fluid = fixed_fluid(e.fluid_type);
    if (i == 0) {
        e.Vsumm = e.V_inc;
        e.cem_Vsumm = 0;
        e.cem_M = 0;
        e.cem_Msumm = 0;
    } else {
        const CementProgramElement& prev = data.program[std::size_t(i - 1)];
        e.Vsumm = e.V_inc + prev.Vsumm;
        e.cem_Vsumm = prev.cem_Vsumm + (cement_fluid ? e.V_inc : 0.0f);
        e.cem_M = cement_fluid ? e.V_inc : 0.0f;
        if (e.kind == kind_cement || e.kind == kind_gel_cement || e.kind == kind_gas_cement)
            e.cem_M *= data.plan_for_kind(CementData::plan_density, e.kind);
        e.cem_Msumm = prev.cem_Msumm + e.cem_M;
    }

    refuse_odd_job_file(programme_path);
    rtl::IniFile ini(programme_path);
    rtl::IniFile::Batch batch(ini);
    ini.WriteString(report_section, "version", "1.0");
    const std::string s = "Item" + std::to_string(i);
    ini.WriteString(s, "V_inc", num(e.V_inc, 2));
    ini.WriteString(s, "Vsumm", num(e.Vsumm, 2));
    ini.WriteString(s, "cem_Vsumm", num(e.cem_Vsumm, 2));
    ini.WriteString(s, "cem_M", num(e.cem_M, 2));
    ini.WriteString(s, "cem_Msumm", num(e.cem_Msumm, 2));
    ini.WriteString(s, "rastvor_name", fluid_title(e));
    if (!remake) {
        // The element's own samples: a step back to it adds to them rather
        // than to an average already taken.
        e.Q_av = e.samples != 0 ? e.rate_sum / float(e.samples) : e.rate_sum;
        e.Pl_av = e.samples != 0 ? e.density_sum / float(e.samples) : e.density_sum;
        ini.WriteString(s, "Q_av", num(e.Q_av, 2));
        ini.WriteString(s, "Pl_av", num(e.Pl_av, 2));
        ini.WriteString(s, "P_min", num(e.P_min, 1));
        ini.WriteString(s, "P_max", num(e.P_max, 1));
        // The element keeps its averages; the next one starts its own.
        data.samples = 0;
    }
    batch.commit();
}

std::string silence_text(const CementData::Silence& s) {
    return "Нет данных от СКЦ с " + time_of_day(s.from, "hh:mm:ss") + " по " + time_of_day(s.to, "hh:mm:ss");
}

std::string remark_line(std::uint32_t unix_time, const AnsiString& name) {
    return "0 0 " + std::to_string(unix_time) + " 0  \"" + lib::normal_text_to_file(name) + "\" 0 0 7 16777215";
}

int write_report_data(const std::string& base_path, int stage, const CementData& data, TReportOptions& report,
                      const ChartPoints& points, const WellReportInfo& well) {
    const std::string rpt = base_path + ".rpt";
    const fs::path folder = fs::path(base_path).parent_path();
    const fs::path report_folder = folder / "report";
    (void)os::make_directories(report_folder.string());
    const std::string rem = (report_folder / "cem_V.rem").string();
    const std::string diagram_path =
        (report_folder / (well.number + "_" + std::to_string(stage) + ".realtim")).string();
    // A planted entry stops the report before any of it is written.
    for (const std::string& f : {rpt, diagram_path}) refuse_odd_job_file(f);
    {
        rtl::IniFile ini(rpt);
        rtl::IniFile::Batch batch(ini);
        auto put = [&](const char* key, const std::string& value) { ini.WriteString(report_section, key, value); };
        put("version", "1.0");
        put("date", rtl::FormatDateTime("dd.mm.yyyy", rtl::Now()));
        put("area", well.area);
        put("name", well.number);
        put("kust", well.kust);
        put("куст", well.kust);
        put("category", well.category);
        put("customer", well.customer);
        put("заказчик", well.customer);
        put("партия_ГТИ", well.party);
        put("начальник_партии", well.party_chief);

        // Only the cemented columns the construction has count.
        std::vector<const pore::ConstrElement*> cemented;
        for (int c : data.columns)
            if (c >= 0 && c < int(well.construction.size())) cemented.push_back(&well.construction[std::size_t(c)]);
        if (!cemented.empty()) {
            const int first = [&] {
                for (int c : data.columns)
                    if (c >= 0 && c < int(well.construction.size())) return c;
                return 0;
            }();
            const pore::ConstrElement* prev = nullptr;
            for (int k = first - 1; k >= 0; --k)
                if (well.construction[std::size_t(k)].enabled) {
                    prev = &well.construction[std::size_t(k)];
                    break;
                }
            put("prev_column", prev ? prev->name : "");
            put("prev_depth", prev ? num(prev->bottom, 1) : "");
            put("prev_dia", prev ? num(prev->inner_diameter, 1) : "");
            put("curr_column", cemented.front()->name);
        }
        put("pore_depth", num(well.construction_length, 1));
        for (std::size_t k = 0; k < cemented.size(); ++k) {
            const std::string n = std::to_string(k + 1);
            ini.WriteString(report_section, "curr_depth" + n, num(cemented[k]->bottom, 0));
            ini.WriteString(report_section, "curr_dia" + n, num(cemented[k]->inner_diameter, 0));
            ini.WriteString(report_section, "curr_outer_dia" + n, num(cemented[k]->outer_diameter, 0));
        }
        for (std::size_t k = cemented.size() + 1; k <= 3; ++k) {
            ini.WriteString(report_section, "curr_depth" + std::to_string(k), "");
            ini.WriteString(report_section, "curr_dia" + std::to_string(k), "");
        }
        // The stage's times are those of the elements it ran: one it never
        // started has no time of this stage.
        const CementProgramElement* first_run = nullptr;
        const CementProgramElement* last_end = nullptr;
        for (const CementProgramElement& e : data.program) {
            if (!started(e)) continue;
            if (!first_run) first_run = &e;
            if (e.end > 0) last_end = &e;
        }
        put("start_time", first_run ? time_of_day(first_run->start, "hh:mm") : "");
        put("end_time", last_end ? time_of_day(last_end->end, "hh:mm") : "");
        put("doloto_diametr", num(well.bit_diameter, 0));
        static const char* const prefixes[5] = {"buf_plan", "prod_plan", "cem_plan", "gelcem_plan", "gazocem_plan"};
        static const char* const suffixes[3] = {"V", "Q", "Pl"};
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 5; ++col)
                ini.WriteString(report_section, std::string(prefixes[col]) + suffixes[row],
                                num(data.plan[row][col], 2));

        double by_kind[stage_kind_count] = {};
        double total = 0, displacement_time = 0;
        for (const CementProgramElement& e : data.program) {
            if (e.kind >= 0 && e.kind < stage_kind_count) by_kind[e.kind] += e.V_inc;
            if (e.kind != kind_waiting) total += e.V_inc;
            if (e.kind == kind_displacement) displacement_time += e.end - e.start;
        }
        put("cem_V", num(by_kind[kind_cement], 2));
        put("gelcem_V", num(by_kind[kind_gel_cement], 2));
        put("gazocem_V", num(by_kind[kind_gas_cement], 2));
        put("cem_Vsumm", num(by_kind[kind_cement] + by_kind[kind_gel_cement] + by_kind[kind_gas_cement], 2));
        put("Vsumm", num(total, 2));
        put("prodav_time", time_of_day(std::max(0.0, displacement_time), "hh:mm:ss"));
        put("buf_V", num(by_kind[kind_buffer], 2));
        put("prod_V", num(by_kind[kind_displacement], 2));
        report.save_to_ini(&ini);
        batch.commit();
    }

    // The diagram and the remarks.
    FileStorage diagram;
    diagram.clear();
    for (const FileStorageParam& p : well.params) diagram.add_parametr(p);
    diagram.text_values().set_text("скважина", well.number);
    diagram.text_values().set_text("площадь", well.area);

    std::string remarks;
    std::size_t cursor = 0;
    std::size_t silence = 0;
    // The silences of the line in time order with the element marks; each
    // says from when to when at its start.
    auto silences_until = [&](double t) {
        for (; silence < data.silences.size() && data.silences[silence].from <= t; ++silence) {
            const CementData::Silence& q = data.silences[silence];
            if (fits_diagram(q.from))
                remarks += remark_line(lib::datetime_to_unix(q.from), silence_text(q)) + "\r\n";
        }
    };
    int left_out = 0;
    for (const ChartPoint& p : points.points) {
        if (!fits_diagram(p.time)) {
            ++left_out;
            continue;
        }
        silences_until(p.time);
        const std::uint32_t t = lib::datetime_to_unix(p.time);
        // Only an element that started has a start to mark.
        while (cursor < data.program.size() && !started(data.program[cursor])) ++cursor;
        if (cursor < data.program.size() && p.time >= data.program[cursor].start) {
            remarks += remark_line(t, data.program[cursor].name) + "\r\n";
            ++cursor;
        }
        FileStorageItem item;
        item.time = lib::unix_time(t);
        item.operation = ' ';
        item.values.assign(p.values.begin(), p.values.end());
        item.resize(int(well.params.size()));
        diagram.add_record(item);
    }
    silences_until(std::numeric_limits<double>::infinity());
    for (const auto& [name, value] : read_report_data(rpt))
        if (!name.empty() && !value.empty()) diagram.text_values().set_text(name, value);
    try {
        diagram.save_with_new_format(diagram_path, -1);
    } catch (const std::exception& e) {
        // The storage's own text does not say which file.
        throw std::runtime_error("cannot write the diagram '" + diagram_path + "': " + e.what());
    }
    // The remarks come last and whole or not at all, so that a report written
    // again after a failure never appends them twice.
    if (!remarks.empty()) {
        refuse_odd_job_file(rem);
        os::AppendOptions whole;
        whole.cut_back_partial = true;
        if (const int err = os::append_file(rem, rtl::utf8_to_cp1251(remarks), whole))
            throw std::runtime_error("cannot append to the remarks file '" + rem + "': " + std::strerror(err));
    }
    return left_out;
}

}  // namespace cement
