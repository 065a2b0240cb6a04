#include "tools/road/outputs.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "library/LAS_file.h"
#include "library/storage/file_storage.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/process.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/canvas.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_points.h"
#include "plugins/cement/cement_report.h"
#include "tools/station_host/trip_files.h"

#ifdef STATION_ROAD_REPORT
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report.h"
#include "programs/grouttab/report_template.h"
#include "programs/grouttab/uno_server.h"
#include "tools/road/office.h"
#endif

namespace road {

namespace fs = std::filesystem;

namespace {

std::string size_of(const std::string& path) {
    std::error_code ec;
    const auto n = fs::file_size(path, ec);
    return ec ? std::string("no size") : std::to_string(n) + " bytes";
}

bool missing(Outcome& o, const std::string& path) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) return false;
    o.failure = "'" + path + "' is not there";
    return true;
}

std::vector<std::string> text_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::string bytes;
    if (os::read_file(path, bytes) != 0) return lines;
    for (std::size_t at = 0; at < bytes.size();) {
        auto end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        std::string l = bytes.substr(at, end - at);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        at = end + 1;
    }
    return lines;
}

int records_of(const std::string& path, std::string& why) {
    FileStorage table;
    try {
        table.add_file(path, false);
    } catch (const std::exception& e) {
        why = e.what();
        return -1;
    }
    return table.get_data_size();
}

}  // namespace

Outcome read_recording(const std::string& well, int trip, const std::string& host_log, const std::string& console_log) {
    Outcome o{"1 recording", {"trip " + std::to_string(trip) + " in " + well}, {}};
    try {
        const auto files = station_host::read_trip_files(well, trip);
        std::string text = station_host::describe(files);
        for (std::size_t at = 0; at < text.size();) {
            const auto end = text.find('\n', at);
            o.lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        bool any = false;
        for (const auto& f : files) any = any || (f.exists && f.records > 0);
        if (!any) o.failure = "no record of trip " + std::to_string(trip) + " in " + well;
    } catch (const std::exception& e) {
        o.failure = e.what();
    }
    if (!host_log.empty()) {
        int plugins = 0;
        for (const auto& l : text_lines(host_log))
            if (l.rfind("plug-in ", 0) == 0) {
                o.lines.push_back(l);
                ++plugins;
            }
        if (plugins == 0) o.lines.push_back("no plug-in loaded");
    }
    if (!console_log.empty()) {
        std::string done;
        for (const auto& l : text_lines(console_log))
            if (l.rfind("done: ", 0) == 0) done = l.substr(6);
        if (done.empty() && o.failure.empty()) o.failure = "the console did not end its session";
        o.lines.push_back("console: " + (done.empty() ? std::string("no end of session") : done));
    }
    return o;
}

Outcome read_chart(const std::string& png) {
    Outcome o{"2 chart", {}, {}};
    if (missing(o, png)) return o;
    ui::TBitmap picture;
    try {
        picture.LoadFromFile(png);
    } catch (const std::exception& e) {
        o.failure = e.what();
        return o;
    }
    long inked = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const ui::TColor c = picture.Pixel(x, y);
            inked += c == ui::clBlue || c == ui::clRed || c == ui::clGreen;
        }
    o.lines.push_back(png + ": " + size_of(png) + ", " + std::to_string(picture.Width()) + " x " +
                      std::to_string(picture.Height()) + " pixels, " + std::to_string(inked) + " pixels of curves");
    if (inked == 0) o.failure = "the chart '" + png + "' shows no curve";
    return o;
}

Outcome read_las(const std::string& path) {
    Outcome o{"2 LAS", {}, {}};
    if (missing(o, path)) return o;
    lib::las::file las;
    try {
        las.load(path);
    } catch (const std::exception& e) {
        o.failure = e.what();
        return o;
    }
    auto curves = las.get_curve_block();
    const auto& values = las.get_values();
    std::string head = path + ": " + size_of(path) + ", " + std::to_string(values.size()) + " rows, " +
                       std::to_string(curves->size()) + " curves";
    if (values.size() > 0 && curves->size() > 0)
        head += ", " + curves->item_by_index(0).name + " " + rtl::FloatToStr(values.at(0, 0)) + " - " +
                rtl::FloatToStr(values.at(0, values.size() - 1)) + " " + curves->item_by_index(0).unit;
    head += ", " + std::to_string(las.get_warnings().size()) + " warnings";
    o.lines.push_back(head);
    std::string names = "  curves:";
    for (int i = 0; i < curves->size(); ++i) names += " " + curves->item_by_index(i).name;
    o.lines.push_back(names);
    for (const auto& w : las.get_warnings()) o.lines.push_back("  warning: " + w);
    if (values.size() == 0) o.failure = "'" + path + "' holds no data row";
    return o;
}

Outcome read_package(const std::string& package, const std::string& seven_zip) {
    Outcome o{"3 package", {}, {}};
    if (missing(o, package)) return o;
    auto run = [&](const std::vector<std::string>& args, std::vector<std::string>& out) {
        os::Process p;
        os::SpawnOptions s;
        s.program = seven_zip;
        s.args = args;
        s.capture_output = true;
        std::string error;
        if (!p.start(s, &error)) {
            o.failure = "cannot start " + seven_zip + ": " + error;
            return false;
        }
        const auto code = p.read_lines([&](const std::string& l) { out.push_back(l); }, 120000);
        if (!code || *code != 0) {
            o.failure = seven_zip + " " + args.front() + " failed on '" + package + "'" +
                        (out.empty() ? std::string() : ": " + out.back());
            return false;
        }
        return true;
    };
    std::vector<std::string> listing;
    if (!run({"l", "-slt", "-ba", "--", package}, listing)) return o;
    std::vector<std::pair<std::string, std::string>> members;  // name, size
    for (const auto& l : listing) {
        if (l.rfind("Path = ", 0) == 0) members.push_back({l.substr(7), ""});
        if (l.rfind("Size = ", 0) == 0 && !members.empty()) members.back().second = l.substr(7);
    }
    const fs::path into = fs::temp_directory_path() / ("station_road_package_" + std::to_string(::getpid()));
    (void)os::remove_tree(into.string());
    std::vector<std::string> ignored;
    const bool extracted = run({"x", "-y", "-o" + into.string(), "--", package}, ignored);
    o.lines.push_back(package + ": " + size_of(package) + ", " + std::to_string(members.size()) + " files" +
                      (extracted ? ", extracted" : ""));
    // A real-time file travels as the eight parts of its compressed form
    // (NAME.params ... NAME.values): told once, read back as a table.
    static const char* const parts[] = {".params",    ".text",      ".time",      ".depth_z",
                                        ".depth_cur", ".lag_depth", ".operation", ".values"};
    auto base_of = [](const std::string& name) {
        for (const char* p : parts) {
            const std::string suffix = p;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                return name.substr(0, name.size() - suffix.size());
        }
        return std::string();
    };
    std::map<std::string, std::pair<int, long long>> tables;  // base -> parts, bytes
    for (const auto& [name, size] : members) {
        const std::string base = base_of(name);
        double bytes = 0;
        if (!rtl::TryStrToFloat(size, bytes) || bytes < 0) bytes = 0;
        if (!base.empty()) {
            ++tables[base].first;
            tables[base].second += static_cast<long long>(bytes);
        } else
            o.lines.push_back("  " + name + ": " + size + " bytes");
    }
    for (const auto& [base, count] : tables) {
        std::string line =
            "  " + base + ": " + std::to_string(count.first) + " parts, " + std::to_string(count.second) + " bytes";
        if (extracted) {
            FileStorage table;
            try {
                table.load_compr_rt((into / base).string());
                line += ", " + std::to_string(table.get_data_size()) + " records, " +
                        std::to_string(table.get_params_count()) + " parameters";
            } catch (const std::exception& e) {
                line += ", unreadable: " + std::string(e.what());
                if (o.failure.empty()) o.failure = "'" + base + "' of the package cannot be read: " + e.what();
            }
        }
        o.lines.push_back(line);
    }
    (void)os::remove_tree(into.string());
    if (o.failure.empty() && members.empty()) o.failure = "the package '" + package + "' holds no file";
    return o;
}

Outcome read_cementing(const std::string& station, const std::string& well, int stage) {
    Outcome o{"4 cementing", {"stage " + std::to_string(stage) + " of well " + well + " in " + station}, {}};
    const fs::path cement = fs::path(station) / well / "cement";
    const std::string n = std::to_string(stage);
    const int last = cement::load_last_stage((cement / "cement.ini").string());
    if (last != stage) o.failure = "the well's last stage is " + std::to_string(last) + ", not " + n;

    const std::string programme = (cement / ("cement_program_" + n + ".ini")).string();
    CementData job;
    TReportOptions report;
    std::vector<std::string> warnings;
    if (!cement::load_programme(programme, job, report, &warnings)) {
        o.failure = "no programme '" + programme + "'";
        return o;
    }
    const rtl::IniFile ini(programme);
    int done = 0;
    for (const auto& e : job.program) done += e.mode == cement::state_done;
    o.lines.push_back(
        programme + ": " + size_of(programme) + ", " + std::to_string(job.program.size()) + " elements, " +
        std::to_string(done) + " done, " +
        rtl::FormatFloat("0.000", ini.ReadFloat("Item" + std::to_string(int(job.program.size()) - 1), "Vsumm", 0)) +
        " m3 in all");
    for (std::size_t i = 0; i < job.program.size(); ++i)
        o.lines.push_back("    " + job.program[i].name + ": " +
                          rtl::FormatFloat("0.000", ini.ReadFloat("Item" + std::to_string(i), "V_inc", 0)) + " m3");
    for (const auto& w : warnings) o.lines.push_back("  warning: " + w);
    if (o.failure.empty() && (job.program.empty() || done != int(job.program.size())))
        o.failure = "the programme's elements were not all done";

    const std::string rpt = (cement / ("cement_program_" + n + ".rpt")).string();
    if (!missing(o, rpt)) {
        const auto values = cement::read_report_data(rpt);
        std::string name;
        for (const auto& [k, v] : values)
            if (k == "name") name = v;
        o.lines.push_back(rpt + ": " + size_of(rpt) + ", " + std::to_string(values.size()) + " report values, well \"" +
                          name + "\"");
    }
    const std::string cem = (cement / (n + ".cem")).string();
    if (!missing(o, cem)) {
        ChartPoints points;
        const auto read = cement::load_points_file(cem, points);
        o.lines.push_back(cem + ": " + size_of(cem) + ", " + std::to_string(points.points.size()) + " points, " +
                          std::to_string(points.columns.size()) + " columns");
        if (read != cement::PointsRead::ok && o.failure.empty()) o.failure = "'" + cem + "' did not read whole";
    }
    const std::string diagram = (cement / "report" / (well + "_" + n + ".realtim")).string();
    if (!missing(o, diagram)) {
        std::string why;
        const int records = records_of(diagram, why);
        o.lines.push_back(diagram + ": " + size_of(diagram) + ", " +
                          (records < 0 ? "unreadable: " + why : std::to_string(records) + " records"));
        if (records < 0 && o.failure.empty()) o.failure = "'" + diagram + "': " + why;
    }
    return o;
}

Outcome read_report(const std::string& xls, const std::string& profile) {
    Outcome o{"5 report", {}, {}};
    if (missing(o, xls)) return o;
#ifdef STATION_ROAD_REPORT
    try {
        use_private_office(profile);
        grouttab::OOCalcAuto oo(grouttab::office_server_factory());
        if (!oo.connect()) {
            o.failure = "no office to read the report with: " + oo.connect_error();
            return o;
        }
        oo.open_document(true, xls);
        oo.select_sheet_by_index(0);
        int tokens = 0, left = 0, errors = 0, first_item_row = -1;
        for (const auto& c : grouttab::report_template_cells())
            if (c.text.find("%!%") != std::string::npos && (first_item_row < 0 || c.row < first_item_row))
                first_item_row = c.row;
        std::string cells;
        for (const auto& c : grouttab::report_template_cells()) {
            const bool item = c.text.find("%!%") != std::string::npos;
            if (c.text.find("%%") == std::string::npos && !item) continue;
            ++tokens;
            const std::string text = grouttab::cell_value_text(oo.read_cell(2, c.column, c.row));
            if (text.find("%%") != std::string::npos || text.find("%!%") != std::string::npos) ++left;
            if (text == grouttab::kTokenError) ++errors;
            // The well, the times and volumes, and the first element's row
            // tell the job.
            static const char* const shown[] = {"%%name",   "%%date",  "%%start_time", "%%end_time",
                                                "%%buf_V",  "%%cem_V", "%%prod_V",     "%%Vsumm",
                                                "%!%start", "%!%name", "%!%V_inc"};
            bool show = false;
            for (const char* k : shown) show = show || c.text == k;
            if (show && (!item || c.row == first_item_row)) {
                if (!cells.empty()) cells += "; ";
                cells += c.text + " \"" + text + "\"";
            }
        }
        oo.close_document();
        o.lines.push_back(xls + ": " + size_of(xls) + ", " + std::to_string(tokens) + " token cells, " +
                          std::to_string(left) + " left unfilled, " + std::to_string(errors) + " \"" +
                          grouttab::kTokenError + "\"");
        o.lines.push_back("  cells: " + cells);
        if (left > 0) o.failure = std::to_string(left) + " token cells of '" + xls + "' were left unfilled";
    } catch (const std::exception& e) {
        o.failure = "'" + xls + "': " + e.what();
    }
    grouttab::stop_started_office(false);
#else
    (void)profile;
    o.failure = "the report program's office client is not built (no LibreOffice SDK)";
#endif
    return o;
}

}  // namespace road
