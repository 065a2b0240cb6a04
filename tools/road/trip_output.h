#pragma once
// What the station makes of a recorded trip for the office: its log chart
// as a picture and its time file as a LAS 2.0 log, each drawn or written by
// the libraries' own chart and LAS writer.

#include <string>

namespace road {

// Draws the chart of the trip's time file (the main window's chart: the
// depths, then the parameters three to a column), the whole trip fitted
// into the picture's height, and stores it as a PNG. Returns the records
// drawn; throws std::runtime_error naming the file when the time file holds
// no record or the picture cannot be stored.
int draw_trip_chart(const std::string& time_file, const std::string& png, int width, int height);

// Writes the trip's time file as a LAS 2.0 file indexed by time: TIME in
// seconds from the trip's first record, the bottom-hole, bit and lag
// depths, then every recorded parameter (its identifier as the mnemonic,
// blanks made underscores, its name as the description). The file is
// replaced whole or not at all. Returns the rows written; throws
// std::runtime_error naming the file on failure.
int write_trip_las(const std::string& time_file, const std::string& las, const std::string& well);

}  // namespace road
