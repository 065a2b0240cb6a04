#pragma once
// A station set up for a cementing job on the simulated cementing-control
// station: the cementing parameters in the table (the station's 12-bit
// channels on a 2.5 V reference), the well's number, and a stage programme
// the operator prepared (a buffer, a cement slurry, a displacement), as the
// plug-in and the report program expect them.

#include <string>

namespace road {

// Sets up the station folder `station` for well `well` with the programme
// as stage 1 (the job then runs as stage 2), and the well folder's
// "inpgti.ini" the report program looks for. A set-up already there is
// replaced. Throws std::runtime_error naming the file on failure.
void prepare_cement_station(const std::string& station, const std::string& well);

}  // namespace road
