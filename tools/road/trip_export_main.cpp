// trip_export: a recorded trip's log chart as a PNG picture and its time
// file as a LAS 2.0 log. "trip_export --help" tells the options and the
// exit statuses.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/ui/testdata/lsan_options.h"
#include "tools/common/args.h"
#include "tools/road/trip_output.h"

// Text is drawn and the office reached: their process-lifetime caches are
// not leaks of the station's code (under the sanitizer build).
LSAN_DEFAULT_OPTIONS(__FILE__, "lsan.supp")

int main(int argc, char** argv) {
    const tools::ArgParser args(
        "trip_export", "trip_export --well DIR [--trip N] [--png FILE] [--las FILE] [--width PX] [--height PX]",
        "Reads the time file of a trip and draws its log chart into a PNG picture\n"
        "(--png) and writes it as a LAS 2.0 file indexed by time (--las).",
        {
            {"well", "DIR", "the well folder the trip was recorded into"},
            {"trip", "N", "the trip number, 0 to 99999999 (default 1)"},
            {"png", "FILE", "the picture to store the chart in"},
            {"las", "FILE", "the LAS file to write"},
            {"width", "PX", "the picture's width, 200 to 8000 (default 1000)"},
            {"height", "PX", "the picture's height, 200 to 8000 (default 800)"},
        },
        {
            {0, "every file asked for was written"},
            {1, "the well or its time file does not exist, cannot be read or holds no record, or a file could not be written"},
            {2, "a bad argument: an unknown option, a missing or bad value"},
        });
    std::string well, png, las;
    int trip = 1, width = 1000, height = 800;
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        if (name == "well")
            well = value;
        else if (name == "trip")
            trip = int(tools::whole_number(name, value, 0, 99999999));
        else if (name == "png")
            png = value;
        else if (name == "las")
            las = value;
        else if (name == "width")
            width = int(tools::whole_number(name, value, 200, 8000));
        else if (name == "height")
            height = int(tools::whole_number(name, value, 200, 8000));
    });
    if (code) return *code;
    if (well.empty()) return args.bad_argument("--well is needed");
    if (png.empty() && las.empty()) return args.bad_argument("--png or --las is needed");
    std::string number = std::to_string(trip);
    if (number.size() < 4) number.insert(0, 4 - number.size(), '0');
    const std::string time_file = (std::filesystem::path(well) / (number + ".realtim")).string();
    std::error_code ec;
    if (!std::filesystem::is_directory(well, ec)) {
        std::fprintf(stderr, "trip_export: the well folder '%s' does not exist\n", well.c_str());
        return 1;
    }
    try {
        if (!png.empty()) {
            const int drawn = road::draw_trip_chart(time_file, png, width, height);
            std::fputs(("chart: " + png + ", " + std::to_string(drawn) + " records drawn\n").c_str(), stdout);
        }
        if (!las.empty()) {
            const std::string name = std::filesystem::path(well).lexically_normal().filename().string();
            const int rows = road::write_trip_las(time_file, las, name.empty() ? well : name, trip);
            std::fputs(("LAS: " + las + ", " + std::to_string(rows) + " rows\n").c_str(), stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trip_export: %s\n", e.what());
        return 1;
    }
    return 0;
}
