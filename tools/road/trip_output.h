#pragma once
// What the station makes of a recorded trip for the office: its log chart
// as a picture and its time file as a LAS 2.0 log, each drawn or written by
// the libraries' own chart and LAS writer.

#include <string>
#include <vector>

namespace road {

// Draws the chart of the trip's time file (the main window's chart: the
// depths, then the parameters three to a column), the whole trip fitted
// into the picture's height at a round time step a centimetre, and stores
// it as a PNG. Returns the records drawn, and in `labels` (when given) the
// time grid's labels from top to bottom; throws std::runtime_error naming
// the file and the cause when the time file does not exist or holds no
// record, or the picture cannot be stored.
int draw_trip_chart(const std::string& time_file, const std::string& png, int width, int height,
                    std::vector<std::string>* labels = nullptr);

// Writes the trip's time file as a LAS 2.0 file indexed by time: TIME in
// seconds from the trip's first record, the bottom-hole, bit and lag
// depths, then every recorded parameter (its identifier as the mnemonic,
// blanks made underscores, its name as the description). The well section
// holds the items LAS 2.0 requires, from the trip's well information
// (company, well, field, area, logging party; `well` names the well when
// the trip does not), the parameter section the trip number (`trip` when
// the file does not say) and the recording step.
//
// TIME follows the records in their order: a step back of the station's
// clock is shown as one recording step, so TIME and STOP never run
// backwards. The rows are streamed from the time file as they are read,
// never held. The file is replaced whole or not at all. Returns the rows
// written; throws std::runtime_error naming the file on failure.
int write_trip_las(const std::string& time_file, const std::string& las, const std::string& well, int trip);

}  // namespace road
