#pragma once
// Text crosses the disk boundary here: UTF-8 inside, Windows-1251 on disk.

#include <string>
#include <string_view>

#if __has_include("platform/rtl/codepage.h")
#include "platform/rtl/codepage.h"
#define LIB_IO_HAVE_CODEPAGE 1
#endif

namespace lib::io {

inline std::string to_disk_text(std::string_view utf8) {
#ifdef LIB_IO_HAVE_CODEPAGE
    return rtl::utf8_to_cp1251(utf8);
#else
    return std::string(utf8);  // TODO(rtltext): until the codec lands
#endif
}

inline std::string from_disk_text(std::string_view cp1251) {
#ifdef LIB_IO_HAVE_CODEPAGE
    return rtl::cp1251_to_utf8(cp1251);
#else
    return std::string(cp1251);
#endif
}

}  // namespace lib::io
