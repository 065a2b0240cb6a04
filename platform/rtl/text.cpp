#include "platform/rtl/text.h"

#include <cstdint>

#include "platform/rtl/utf8.h"

namespace rtl {
namespace {

// The letters of Windows-1251 that have a case partner lie in a few runs of
// Unicode: A-Z, А-Я/а-я, Ё..Џ/ё..џ (without Ѝ/ѝ, which 1251 lacks) and Ґ/ґ.
// Every partner has the same UTF-8 length, so case changes in place.
char32_t upper_char(char32_t c) noexcept {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
    if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
    if (c >= 0x0451 && c <= 0x045F && c != 0x045D) return c - 0x50;
    if (c == 0x0491) return 0x0490;
    return c;
}

char32_t lower_char(char32_t c) noexcept {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
    if (c >= 0x0401 && c <= 0x040F && c != 0x040D) return c + 0x50;
    if (c == 0x0490) return 0x0491;
    return c;
}

template <class Map>
std::string change_case(std::string_view s, Map map) {
    std::string out(s);
    std::size_t pos = 0;
    while (pos < out.size()) {
        const auto b = static_cast<unsigned char>(out[pos]);
        if (b < 0x80) {
            out[pos] = static_cast<char>(map(b));
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        const char32_t c = utf8::decode(out, pos);
        if (c == utf8::kInvalid) continue;
        const char32_t m = map(c);
        if (m == c) continue;
        // Partners have the same length (see upper_char): overwrite in place.
        char buf[4];
        std::size_t n = 0;
        if (m < 0x800) {
            buf[n++] = static_cast<char>(0xC0 | (m >> 6));
        } else {
            buf[n++] = static_cast<char>(0xE0 | (m >> 12));
            buf[n++] = static_cast<char>(0x80 | ((m >> 6) & 0x3F));
        }
        buf[n++] = static_cast<char>(0x80 | (m & 0x3F));
        if (n == pos - start) out.replace(start, n, buf, n);
    }
    return out;
}

// A character's place in the case-insensitive order. Invalid bytes sort
// after every character, each as itself.
inline std::uint32_t order_key(char32_t c) noexcept {
    const char32_t f = lower_char(c);
    if (f == 0x0451) return 0x0435 * 2 + 1;  // ё right after е
    return static_cast<std::uint32_t>(f) * 2;
}

inline char32_t next_char(std::string_view s, std::size_t& pos) noexcept {
    const auto b = static_cast<unsigned char>(s[pos]);
    if (b < 0x80) {
        ++pos;
        return b;
    }
    const char32_t c = utf8::decode(s, pos);
    return c == utf8::kInvalid ? 0x110000u + b : c;
}

bool is_blank(char c) noexcept { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string AnsiUpperCase(std::string_view s) { return change_case(s, upper_char); }
std::string AnsiLowerCase(std::string_view s) { return change_case(s, lower_char); }

char32_t fold_char(char32_t ch) noexcept { return lower_char(ch); }
std::string fold(std::string_view s) { return change_case(s, lower_char); }

int AnsiCompareText(std::string_view a, std::string_view b) noexcept {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {  // ASCII fast path
            ++i;
            ++j;
            const int fa = (ca >= 'A' && ca <= 'Z') ? ca + 0x20 : ca;
            const int fb = (cb >= 'A' && cb <= 'Z') ? cb + 0x20 : cb;
            if (fa != fb) return fa < fb ? -1 : 1;
            continue;
        }
        const std::uint32_t ka = order_key(next_char(a, i));
        const std::uint32_t kb = order_key(next_char(b, j));
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool SameText(std::string_view a, std::string_view b) noexcept {
    // Folding keeps byte lengths, so texts of different lengths never match.
    if (a.size() != b.size()) return false;
    // While the texts match, both sides stand at the same byte, since
    // matching characters have the same length.
    const std::size_t n = a.size();
    std::size_t i = 0;
    while (i < n) {
        const auto ca = static_cast<unsigned char>(a[i]);
        if (ca == static_cast<unsigned char>(b[i])) {
            if (ca < 0x80) {
                ++i;
                continue;
            }
            if (ca >= 0xC2 && ca <= 0xDF && i + 1 < n && a[i + 1] == b[i + 1]) {  // same letter
                i += 2;
                continue;
            }
        }
        std::size_t j = i;
        if (lower_char(next_char(a, i)) != lower_char(next_char(b, j)) || i != j) return false;
    }
    return true;
}

std::size_t FoldHash::operator()(std::string_view s) const noexcept {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a over folded characters
    std::size_t pos = 0;
    while (pos < s.size()) {
        h ^= lower_char(next_char(s, pos));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return out;
}

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return out;
}

std::string Trim(std::string_view s) {
    std::size_t i = 0, n = s.size();
    while (i < n && is_blank(s[i])) ++i;
    while (n > i && is_blank(s[n - 1])) --n;
    return std::string(s.substr(i, n - i));
}

std::string TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && is_blank(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && is_blank(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

std::size_t char_count(std::string_view utf8) noexcept {
    std::size_t n = 0, pos = 0;
    while (pos < utf8.size()) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80)
            ++pos;
        else
            utf8::decode(utf8, pos);
        ++n;
    }
    return n;
}

}  // namespace rtl
