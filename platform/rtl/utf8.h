#pragma once
// Small UTF-8 helpers shared by the code pages and the case functions.
//
// The station keeps every text as UTF-8 in std::string, but a text can still
// carry bytes that are not valid UTF-8 (a file read without conversion, a
// device reply). Such bytes are reported one at a time, so that callers can
// either keep them as they are (case folding) or write '?' for each (code
// page conversion) without ever losing the characters around them.

#include <cstddef>
#include <string>
#include <string_view>

namespace rtl::utf8 {

// Returned by decode() for a byte that does not start a valid sequence.
inline constexpr char32_t kInvalid = 0xFFFFFFFFu;

// Decodes the character that starts at s[pos] and moves pos past it. Overlong
// forms, surrogates, code points above U+10FFFF and truncated sequences are
// invalid: the result is kInvalid and pos moves by exactly one byte.
// Requires pos < s.size().
inline char32_t decode(std::string_view s, std::size_t& pos) noexcept {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {  // two bytes: all of Cyrillic
        if (pos + 1 < s.size()) {
            const auto b1 = static_cast<unsigned char>(s[pos + 1]);
            if ((b1 & 0xC0) == 0x80) {
                pos += 2;
                return (static_cast<char32_t>(b0 & 0x1F) << 6) | (b1 & 0x3F);
            }
        }
        ++pos;
        return kInvalid;
    }
    std::size_t len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++pos;
        return kInvalid;
    }
    if (s.size() - pos < len) {
        ++pos;
        return kInvalid;
    }
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return kInvalid;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kInvalid;
    }
    pos += len;
    return cp;
}

// Appends the UTF-8 form of a valid code point.
inline void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// True when every byte is ASCII: the common case, which needs no decoding.
inline bool is_ascii(std::string_view s) noexcept {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace rtl::utf8
