// Prints the station's version and the components this build holds.
#include <cstdio>

#include "station_version.h"

int main() {
    std::printf("Mud-logging station %s\n", STATION_VERSION);
    std::printf("Components built:\n");
    for (const char* const* c = station_components; *c; ++c) std::printf("  %s\n", *c);
    return 0;
}
