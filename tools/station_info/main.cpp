// Prints the station's version and the components this build holds.
#include <cstdio>

#include "station_version.h"
#include "tools/common/args.h"

int main(int argc, char** argv) {
    const tools::ArgParser args("station_info", "station_info",
                                "Prints the station's version and the components this build holds.", {},
                                {
                                    {0, "the version was printed"},
                                    {2, "a bad argument: there are no options but --help"},
                                });
    if (auto code = args.parse(argc, argv, [](const std::string&, const std::string&) {})) return *code;
    std::printf("Mud-logging station %s\n", STATION_VERSION);
    std::printf("Components built:\n");
    for (const char* const* c = station_components; *c; ++c) std::printf("  %s\n", *c);
    return 0;
}
