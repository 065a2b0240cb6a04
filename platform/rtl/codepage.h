#pragma once
// The station's three single-byte code pages and UTF-8.
//
// Inside the program every text is UTF-8; on disk and on the wire it is
// Windows-1251 (files, INI, protocols), code page 866 (DOS text, LAS headers
// from DOS tools) or KOI8-R (mail). These functions are the only place where
// the forms meet.
//
// Every conversion is total: decoding gives a character for each of the 256
// bytes (Windows-1251 leaves 0x98 unassigned; it decodes to U+0098 and that
// character encodes back to 0x98, so any byte string survives a round trip),
// and encoding never fails: a character the code page cannot hold, and each
// byte of the input that is not valid UTF-8, becomes '?'. Lengths are kept:
// the encoded form has one byte per character of the UTF-8 text.

#include <string>
#include <string_view>

namespace rtl {

std::string utf8_to_cp1251(std::string_view utf8);
std::string cp1251_to_utf8(std::string_view bytes);

std::string utf8_to_cp866(std::string_view utf8);
std::string cp866_to_utf8(std::string_view bytes);

std::string utf8_to_koi8r(std::string_view utf8);
std::string koi8r_to_utf8(std::string_view bytes);

// Single characters of Windows-1251, for code that works character by
// character (case folding, widths): the byte of a character, or -1 when
// Windows-1251 cannot hold it.
int cp1251_byte(char32_t ch) noexcept;

}  // namespace rtl
