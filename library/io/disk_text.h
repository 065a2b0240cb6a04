#pragma once
// Text crosses the disk boundary here: UTF-8 inside, Windows-1251 on disk.

#include "platform/rtl/codepage.h"

#include <string>
#include <string_view>

namespace lib::io {

inline std::string to_disk_text(std::string_view utf8) { return rtl::utf8_to_cp1251(utf8); }

inline std::string from_disk_text(std::string_view cp1251) { return rtl::cp1251_to_utf8(cp1251); }

}  // namespace lib::io
