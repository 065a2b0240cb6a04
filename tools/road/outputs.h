#pragma once
// The road's outputs read back, each by the station's own reader, for the
// summary the main job ends with: what each file is, its size and what it
// holds. A reader that cannot read its output says why in `failure`.

#include <string>
#include <vector>

namespace road {

struct Outcome {
    std::string step;                // "1 recording", "2 chart", ...
    std::vector<std::string> lines;  // the first is the step's headline
    std::string failure;             // empty when the output read back
};

// The trip's real-time files (the data-file table), the plug-ins the host
// named in its output and the console's count of the packets it received
// (the device simulator's last line).
Outcome read_recording(const std::string& well, int trip, const std::string& host_log, const std::string& console_log);
// The chart picture: its size and the pixels the curves inked.
Outcome read_chart(const std::string& png);
// The LAS file through the LAS reader: rows, curves, the index span.
Outcome read_las(const std::string& las);
// The package listed and extracted with the archiver (`seven_zip`, the
// program's path), each real-time file in it read back through the
// data-file table.
Outcome read_package(const std::string& package, const std::string& seven_zip);
// The stage's files through the cementing plug-in's readers: programme,
// report data, points and diagram.
Outcome read_cementing(const std::string& station, const std::string& well, int stage);
// The spreadsheet report through the report program's office client: the
// template's token cells, filled. `profile`: the office's profile folder.
Outcome read_report(const std::string& xls, const std::string& profile);

}  // namespace road
