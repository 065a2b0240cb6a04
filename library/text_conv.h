#pragma once
// Text conversions of the general library: one-line escaping of multi-line
// texts, splitting lines into words, character buffers, the DOS and KOI8
// code pages, and case and trim helpers for std::string.
//
// Texts are UTF-8 in memory like everywhere in the station (AnsiString is
// std::string). The code-page functions are the exception that names it:
// they produce or take the bytes of another code page, for a file or a
// device, and say so below.
//
// Number conversions live in library/number_conv.h.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"

namespace lib {

using AnsiString = rtl::AnsiString;

// --- One-line escaping -----------------------------------------------------
// Two forms exist, both kept because stored files use both. Since
// AnsiString and std::string are one type here, the second form has its own
// names (`..._std`); overloads on const and non-const references would pick
// a form by the constness of the argument, silently.

// The form of text options, remarks and the event log: a line feed becomes
// \n, a double quote \", a backslash \\; every other character below 32
// (carriage return and tab among them) is dropped.
AnsiString normal_text_to_file(const AnsiString& s);
// The reverse: \n gives a line feed, \" a double quote, \\ one backslash;
// a backslash before any other character is kept with it, and a backslash
// at the very end is dropped. Control characters pass unchanged.
AnsiString file_text_to_normal(const AnsiString& s);

// The std::string form: a line feed becomes \n, a carriage return is
// dropped, a double quote becomes two apostrophes (''), a backslash \\;
// everything else, tab included, is copied.
std::string normal_text_to_file_std(const std::string& s);
// The reverse: \n gives a line feed, \\ one backslash; a backslash and the
// character after it are both dropped, as is a backslash at the very end.
// Two apostrophes stay two apostrophes: the double quote does not return.
std::string file_text_to_normal_std(const std::string& s);

// --- Words ---------------------------------------------------------------

// Clears `list` and fills it with the words of `s`; nothing when Trim(s) is
// empty. With a blank separator, words are separated by blanks, and a word
// that starts with a double quote runs to the next double quote (quotes not
// included; "" gives an empty word; text right after a closing quote
// starts the next word). With any other separator each separator ends an
// entry, blanks are kept, empty pieces give empty entries and a separator
// at the very end adds nothing; CR and LF in `s` split entries too. `sep`
// is an ASCII character.
void parse_to_words(const AnsiString& s, rtl::StringList& list, char sep = ' ');

// Word `index` (from 0) of `s` split as parse_to_words does, or an empty
// text when there is no such word. The last split is cached per thread and
// reused while the same text and separator come again, as callers walk the
// words of one line by index.
AnsiString get_word(const AnsiString& s, int index, char sep = ' ');

// Splits `s` at blanks, a double-quoted word running to the next double
// quote (or the end). With `keep` false `words` is emptied first; with
// `keep` true the words overwrite the elements from the first on and the
// elements beyond the last word stay as they were.
void separate_words1(const std::string& s, std::vector<std::string>& words, bool keep = false);

// The first entry of `list` equal to `s` ignoring case (Cyrillic folded), or
// -1; contains_string tells whether there is one.
int get_string_index(const rtl::StringList& list, const AnsiString& s);
bool contains_string(const rtl::StringList& list, const AnsiString& s);

// Clears `list` and adds the texts in order.
void fill_strings(rtl::StringList& list, std::initializer_list<std::string_view> values);
void fill_strings(rtl::StringList& list, const std::vector<std::string>& values);

// The third blank-separated word of a date such as the compiler's
// "Mar  7 2011" (month, day, year), or an empty text when there are fewer.
AnsiString extract_year(std::string_view date);

// --- Character buffers ---------------------------------------------------

// A writable, zero-terminated copy of a text for calls that modify a char*.
class StrCharCvt {
public:
    explicit StrCharCvt(const AnsiString& s);
    char* c_str() noexcept { return buf_.data(); }
    const char* c_str() const noexcept { return buf_.data(); }

private:
    std::vector<char> buf_;
};

// Replaces `out` with the characters of `s` followed by one 0 byte.
void string_to_vector(const AnsiString& s, std::vector<char>& out);
// The text up to its first 0 byte.
std::string str_borl_2_std(const AnsiString& s);

// --- Code pages ------------------------------------------------------------
// As on the original Russian stations, "Windows" text is the in-memory text
// (UTF-8 here), "DOS" text is code page 866 bytes for DOS files and devices.
// Each of these reads its input as a zero-terminated text, so an inner 0
// byte ends it. A character code page 866 cannot hold becomes '?'.

// UTF-8 text -> code page 866 bytes.
void win_to_dos(const AnsiString& in, AnsiString& out);
// Code page 866 bytes -> UTF-8 text.
void dos_to_win(const AnsiString& in, AnsiString& out);
// The same as dos_to_win, for DOS text read from files (LAS headers).
void convert_to_win(const std::string& in, std::string& out);

// UTF-8 text -> KOI8 bytes, by the station's own table applied to the
// Windows-1251 form of the text: ASCII unchanged, the Russian letters (Ё/ё
// included) and the no-break space, © and · to their KOI8-R codes, the
// Ukrainian and Belarusian letters and some signs to fixed KOI8 codes, and
// every other byte to '.'. One byte per character of the text.
std::string win_to_coi8r(const std::string& in);

// Puts the text on the clipboard as Unicode text (main thread). False when
// the clipboard could not be opened.
bool text_to_clipboard(const std::u16string& text);

// --- Case and trim for std::string ------------------------------------------

// Cyrillic-aware, as rtl::AnsiUpperCase/AnsiLowerCase.
void convert_to_upper(const std::string& in, std::string& out);
void convert_to_lower(const std::string& in, std::string& out);
// Only A-Z/a-z change.
void to_upper(const std::string& in, std::string& out);
void to_lower(const std::string& in, std::string& out);
// Without leading and trailing blanks (only ' '; tabs and line ends stay).
void trim(const std::string& in, std::string& out);

}  // namespace lib
