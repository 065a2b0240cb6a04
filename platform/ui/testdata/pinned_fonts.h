#pragma once
// Included by every test and benchmark that measures or draws text: points
// fontconfig at a configuration holding only the DejaVu fonts (fonts.conf
// beside this header) before the text engine starts, so text metrics are the
// same on every machine.

#include <cstdlib>
#include <string>

namespace ui::testing {

inline const bool kFontsPinned = [] {
  std::string dir = __FILE__;
  dir.erase(dir.find_last_of('/') + 1);
  setenv("FONTCONFIG_FILE", (dir + "fonts.conf").c_str(), 1);
  return true;
}();

}  // namespace ui::testing
