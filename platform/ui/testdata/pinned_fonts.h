#pragma once
// Included by every test and benchmark that measures or draws text: points
// fontconfig at a configuration holding only the DejaVu fonts (fonts.conf
// beside this header) before the text engine starts, so text metrics are the
// same on every machine.
//
// The path must be absolute: fontconfig looks a relative FONTCONFIG_FILE up
// in its own folder, not in ours, and then silently takes every installed
// font. __FILE__ is relative where the compiler cache rewrites paths, so the
// source folder the build gives wins over it.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ui::testing {

inline const bool kFontsPinned = [] {
#ifdef STATION_SOURCE_DIR
    std::string conf = std::string(STATION_SOURCE_DIR) + "/platform/ui/testdata/fonts.conf";
#else
    std::string conf = __FILE__;
    conf.erase(conf.find_last_of('/') + 1);
    conf += "fonts.conf";
#endif
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(conf, ec);
    setenv("FONTCONFIG_FILE", (ec ? conf : absolute.string()).c_str(), 1);
    return true;
}();

}  // namespace ui::testing
