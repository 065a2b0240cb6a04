#pragma once
// The report files of a stage: the per-element report values in the
// programme file, the stage report data ("cement_program_<n>.rpt", section
// "Report"), the stage diagram (a real-time block file in "report") and
// the stage remarks ("report/cem_V.rem", appended to).

#include <string>
#include <utility>
#include <vector>

#include "gti/registr_old/pore_construction.h"
#include "library/storage/file_storage.h"
#include "plugins/cement/cement_data.h"

namespace cement {

// What the report takes from the hub's well data: a copy made under the
// hub lock, so the files are written without holding it.
struct WellReportInfo {
    AnsiString number;  // the well folder name
    AnsiString area, kust, category, customer, party, party_chief;
    std::vector<pore::ConstrElement> construction;
    double construction_length = 0;
    double bit_diameter = 0;
    // One per column of the points table; a column the parameter table does
    // not know gets its name in all four texts and the limits 0 and 100.
    std::vector<FileStorageParam> params;
};

// The element's report values into section "Item<i>" of the programme
// file (with "Report"/"version" = "1.0"). Unless remaking, the gathered
// averages and pressures are written too and the sums reset for the next
// element. An index outside the programme does nothing.
void write_element_report(const std::string& programme_path, CementData& data, int i, bool remake);

// The stage report data (base_path + ".rpt"), the diagram and the remarks
// (a mark at each started element's first point, and one at the start of
// each silence of the line).
// base_path is ".../cement/cement_program_<n>"; the diagram goes to
// ".../cement/report/<well>_<n>.realtim". The remarks are appended last and
// whole, so that a call made again after a failure never repeats them.
// Throws std::runtime_error naming a file that could not be written (or a
// link or special file standing where one belongs). Returns how many points the diagram
// left out for a time that is no date it can carry.
int write_report_data(const std::string& base_path, int stage, const CementData& data, TReportOptions& report,
                      const ChartPoints& points, const WellReportInfo& well);

// The section "Report" of a report data file as name and value pairs in
// file order; empty for a missing file.
std::vector<std::pair<std::string, std::string>> read_report_data(const std::string& path);

// "0 0 <time> 0  \"<name>\" 0 0 7 16777215": one remark of the stage
// remarks file, the name escaped to one line.
std::string remark_line(std::uint32_t unix_time, const AnsiString& name);
// The remark of a silence of the station's line: from when to when.
std::string silence_text(const CementData::Silence& s);

}  // namespace cement
