// cement_setup: a station folder set up for a cementing job on the
// simulated cementing-control station. "cement_setup --help" tells the
// options and the exit statuses.

#include <cstdio>
#include <exception>
#include <string>

#include "tools/common/args.h"
#include "tools/road/cement_setup.h"

int main(int argc, char** argv) {
    const tools::ArgParser args("cement_setup", "cement_setup --station DIR [--well NUMBER]",
                                "Sets up the station folder for a cementing job: the cementing parameters on\n"
                                "the simulated station's channels, the well's number, and a three-element\n"
                                "stage programme (buffer, cement slurry, displacement) as stage 1, so that the\n"
                                "cementing plug-in runs it as stage 2. Stage files of the well left from\n"
                                "before are removed.",
                                {
                                    {"station", "DIR", "the station folder (made when missing)"},
                                    {"well", "NUMBER", "the well's number, also its folder's name (default 101)"},
                                },
                                {
                                    {0, "the station is set up"},
                                    {1, "a file could not be written"},
                                    {2, "a bad argument: an unknown option, a missing or bad value"},
                                });
    std::string station, well = "101";
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        if (name == "station")
            station = value;
        else if (name == "well") {
            if (value.empty() || value.find('/') != std::string::npos || value == "." || value == "..")
                throw tools::ArgError("bad value '" + value + "' for --well: a folder name is needed");
            well = value;
        }
    });
    if (code) return *code;
    if (station.empty()) return args.bad_argument("--station is needed");
    try {
        road::prepare_cement_station(station, well);
    } catch (const std::exception& e) {
        std::fputs(("cement_setup: " + std::string(e.what()) + "\n").c_str(), stderr);
        return 1;
    }
    return 0;
}
