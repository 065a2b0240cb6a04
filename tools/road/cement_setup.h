#pragma once
// A station set up for a cementing job on the simulated cementing-control
// station: the cementing parameters in the table (the station's 12-bit
// channels on a 2.5 V reference), the well's number, and a stage programme
// the operator prepared (a buffer, a cement slurry, a displacement, each
// with its fluid and its plan), as the plug-in and the report program
// expect them.

#include <string>

namespace road {

// The demonstration job (tools/road/cement_job.scenario plays it): the
// pumps at a steady rate, each element one step of the main job's
// operator, the densities a real stage has.
constexpr double demo_rate = 10;             // l/s
constexpr double demo_element_seconds = 8;   // the main job's step
constexpr float demo_buffer_density = 1.05f;  // g/cm3
constexpr float demo_slurry_density = 1.85f;
constexpr float demo_mud_density = 1.20f;  // the well's drilling mud

// Sets up the station folder `station` for well `well` with the programme
// as stage 1 (the job then runs as stage 2), and the well folder's
// "inpgti.ini" the report program looks for. A set-up already there is
// replaced. Throws std::runtime_error naming the file on failure.
void prepare_cement_station(const std::string& station, const std::string& well);

}  // namespace road
