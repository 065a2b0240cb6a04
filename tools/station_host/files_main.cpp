// station_files: what a trip's real-time files hold, read back through the
// station's data-file table.
//
//   station_files --well DIR [--trip N]

#include <charconv>
#include <cstdio>
#include <exception>
#include <string>

#include "tools/station_host/trip_files.h"

int main(int argc, char** argv) {
    std::string well;
    int trip = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--well" && i + 1 < argc) well = argv[++i];
        else if (a == "--trip" && i + 1 < argc) {
            const std::string v = argv[++i];
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), trip);
            if (ec != std::errc() || p != v.data() + v.size() || trip < 0) {
                std::fputs("station_files: bad trip number\n", stderr);
                return 2;
            }
        } else {
            std::fputs("usage: station_files --well DIR [--trip N]\n", stderr);
            return 2;
        }
    }
    if (well.empty()) {
        std::fputs("usage: station_files --well DIR [--trip N]\n", stderr);
        return 2;
    }
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
