#include "library/version_text.h"

#include "build_version.h"
#include "platform/rtl/numbers.h"

namespace lib {

BuildVersion build_version() {
    return {STATION_VERSION_MAJOR, STATION_VERSION_MINOR, STATION_VERSION_PATCH, STATION_BUILD_NUMBER,
            STATION_PRERELEASE != 0};
}

std::string version_text(const BuildVersion& v) {
    return rtl::IntToStr(v.major) + "." + rtl::IntToStr(v.minor) + "." + rtl::IntToStr(v.release) +
           (v.pre_release ? " RC" : "") + ", билд " + rtl::IntToStr(v.build);
}

}  // namespace lib
