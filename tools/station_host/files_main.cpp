// station_files: what a trip's real-time files hold, read back through the
// station's data-file table. "station_files --help" tells the options and
// the exit statuses.

#include <cstdio>
#include <exception>
#include <string>

#include "tools/common/args.h"
#include "tools/station_host/trip_files.h"

int main(int argc, char** argv) {
    const tools::ArgParser args("station_files", "station_files --well DIR [--trip N]",
                                "Reads the real-time files of a trip (time, fast, depth, lag depth) and prints,\n"
                                "for each, its records, parameters, depth and time span.",
                                {
                                    {"well", "DIR", "the well folder the trip was recorded into"},
                                    {"trip", "N", "the trip number, 0 to 99999999 (default 1)"},
                                },
                                {
                                    {0, "the trip's files were read"},
                                    {1, "the folder holds no file of the trip, or a file could not be read"},
                                    {2, "a bad argument: an unknown option, a missing or bad value"},
                                });
    std::string well;
    int trip = 1;
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        if (name == "well")
            well = value;
        else if (name == "trip")
            trip = int(tools::whole_number(name, value, 0, 99999999));
    });
    if (code) return *code;
    if (well.empty()) return args.bad_argument("--well is needed");
    try {
        auto files = station_host::read_trip_files(well, trip);
        std::fputs(station_host::describe(files).c_str(), stdout);
        for (const auto& f : files)
            if (f.exists) return 0;
        std::fputs(("station_files: no files of trip " + std::to_string(trip) + " in " + well + "\n").c_str(), stderr);
        return 1;
    } catch (const std::exception& e) {
        std::fputs(("station_files: " + std::string(e.what()) + "\n").c_str(), stderr);
        return 1;
    }
}
