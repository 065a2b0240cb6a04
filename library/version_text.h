#pragma once
// The build's version, as every program of the station shows it: the
// project's version from CMake and the build number given to the build.

#include <string>

namespace lib {

struct BuildVersion {
    int major = 0;
    int minor = 0;
    int release = 0;
    int build = 0;
    bool pre_release = false;
};

BuildVersion build_version();

// "3.1.4, билд 159", or "3.1.4 RC, билд 159" for a release candidate.
std::string version_text(const BuildVersion& v = build_version());

}  // namespace lib
