#pragma once
// Text functions of the run-time library, on the UTF-8 text the station
// keeps in memory.
//
// Letter case follows Windows for the Windows-1251 code page, which is what
// the stations' files and names were written in: the Latin letters A-Z and
// every letter of the 1251 set change case (the Russian alphabet with Ё/ё,
// and the Ukrainian, Belarusian, Serbian and Macedonian letters Ђ Ѓ Є Ѕ І Ї
// Ј Љ Њ Ћ Ќ Ў Џ Ґ). Characters outside 1251 (Greek, accented Latin, ...)
// and the micro sign µ are left as they are, as CharUpperA leaves them.
// Bytes that are not valid UTF-8 are kept unchanged and compare as
// themselves. Changing case never changes the byte length of a text.

#include <cstddef>
#include <string>
#include <string_view>

namespace rtl {

using AnsiString = std::string;

// Cyrillic-aware case, as Windows' CharUpperA/CharLowerA for Windows-1251.
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// Case-insensitive comparison with the letters folded as above: < 0, 0 or
// > 0. The order is by character, Latin before Cyrillic, with Ё right after
// Е as in the Russian alphabet; it is a stable order for sorting and
// look-ups, not the full linguistic collation of Windows (which, for one,
// ignores hyphens and apostrophes).
int AnsiCompareText(std::string_view a, std::string_view b) noexcept;
// AnsiCompareText(a, b) == 0, without the ordering work.
bool SameText(std::string_view a, std::string_view b) noexcept;

// Only the ASCII letters change; everything else, Cyrillic included, stays.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// Without leading and/or trailing characters <= ' ' (blanks and control
// characters), as Delphi trims; non-breaking spaces are kept.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Characters of a UTF-8 text (each invalid byte counts as one, as it would
// become one '?' in a code page). Use it wherever a limit or a width counts
// characters of user text rather than bytes.
std::size_t char_count(std::string_view utf8) noexcept;

// --- Case folding for look-ups --------------------------------------------
// Case-insensitive tables and searches across the station go through these,
// so that every place folds the same way as SameText and no look-up has to
// build upper-cased copies of both sides.

// The case-folded (lower-case) partner of one character.
char32_t fold_char(char32_t ch) noexcept;
// The folded form of a text: a key for maps that store folded names.
std::string fold(std::string_view s);

// Functors for std::map / std::unordered_map keyed case-insensitively; all
// accept std::string_view for look-ups without a temporary string.
struct FoldLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return AnsiCompareText(a, b) < 0; }
};
struct FoldEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return SameText(a, b); }
};
struct FoldHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept;
};

}  // namespace rtl
