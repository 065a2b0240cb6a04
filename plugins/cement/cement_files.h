#pragma once
// The job's INI files: the fluids list shared by all wells, the programme
// of a stage, and the job settings of a well ("laststupen", the density
// mode, the chart scale). Windows profile files in Windows-1251; each save
// reaches the file in one rewrite, so a crash leaves the old file or the
// whole new one.

#include <string>
#include <vector>

#include "plugins/cement/cement_data.h"

namespace cement {

// A file of the job is written only where nothing or a plain file stands:
// a symbolic link planted in its place would take the job's data elsewhere
// (or overwrite what it points to), a FIFO or a device would hold the
// writer. Throws std::runtime_error naming the file and what stands there;
// the entry is left as it is.
void refuse_odd_job_file(const std::string& path);

// "3 4 " for the columns 3 and 4; "" for none.
std::string format_columns(const std::vector<int>& columns);
// Indexes separated by blanks; what is not a whole number of 0 or more is
// skipped; the result is ascending, each index once.
std::vector<int> parse_columns(const std::string& text);

// Does nothing when the list is empty.
void save_fluids(const std::string& path, CementData& data);
void load_fluids(const std::string& path, CementData& data);

// Does nothing when the programme is empty.
void save_programme(const std::string& path, CementData& data, TReportOptions& report);
// False, with nothing changed, when the file does not exist; false with an
// empty programme when it holds no "Count". The elements' report values
// written so far are read back too. Elements whose fluid or kind
// the fluids list or the kinds cannot give are kept with the problem named
// in warnings.
bool load_programme(const std::string& path, CementData& data, TReportOptions& report,
                    std::vector<std::string>* warnings = nullptr);

// The programme the settings dialog offers as its default.
void make_default_programme(CementData& data);

int load_last_stage(const std::string& path);
void save_last_stage(const std::string& path, int stage);
// Reads the density mode (default true) and the chart scale (default 5,
// held to 0..11) into data; returns the density mode.
bool load_view_settings(const std::string& path, CementData& data);
void save_view_settings(const std::string& path, const CementData& data);

constexpr int chart_scale_count = 12;

}  // namespace cement
