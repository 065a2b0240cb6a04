#pragma once
// A list of words with a read cursor: the station's way of writing several
// values on one line (blank- or comma-separated, texts with blanks quoted)
// and of reading them back in turn.

#include <limits>
#include <string>

#include "platform/rtl/string_list.h"

namespace lib {

using AnsiString = std::string;

// add(double), set_float, get_float and get_int are defined in
// string_container_numbers.cpp, beside the number text functions they use.
class StringContainer {
public:
    int size() const noexcept { return list_.Count(); }
    // The first entry equal to s ignoring case (Cyrillic folded), or -1.
    int index_of(const AnsiString& s) const noexcept { return list_.IndexOf(s); }

    void add(const AnsiString& s) { list_.Add(s); }
    // Decimal text.
    void add(int v);
    // The shortest general text with up to 15 significant digits and the
    // process-wide decimal separator (rtl::FloatToStr).
    void add(double v);

    // Entry i; i = -1 reads the entry at the cursor and moves the cursor on by
    // one. An index outside the list reads as an empty text.
    AnsiString get_string(int i);
    // Entry i (as get_string) as a number by lib::str_to_float with default 0:
    // a missing or non-numeric entry gives 0.
    double get_float(int i);
    // Entry i (as get_string) as an integer, `def` when it is missing or not
    // an integer (rtl::StrToIntDef).
    int get_int(int i, int def);

    // Write entry i, first appending empty entries until there is one. A
    // negative index throws std::out_of_range.
    void set_string(int i, const AnsiString& s);
    void set_int(int i, int v);
    void set_float(int i, double v);

    // The list's comma text (rtl::StringList rules); setting it resets the
    // cursor.
    void set_comma_text(const AnsiString& s);
    AnsiString get_comma_text() const { return list_.CommaText(); }

    // Clears the list and reads the words of Trim(s) as lib::parse_to_words
    // does with `sep`; resets the cursor.
    void set_space_text(const AnsiString& s, char sep = ' ');
    // The entries joined by single blanks; an entry holding a blank, or
    // empty, is written between double quotes.
    AnsiString get_space_text() const;

    void begin_from_start() noexcept { cursor_ = 0; }
    void clear() noexcept {
        cursor_ = 0;
        list_.Clear();
    }

    const rtl::StringList& list() const noexcept { return list_; }

private:
    // The index a read refers to: i itself, or the cursor (then moved on).
    int take(int i) noexcept {
        if (i != -1) return i;
        const int at = cursor_;
        if (cursor_ < std::numeric_limits<int>::max()) ++cursor_;
        return at;
    }

    rtl::StringList list_;
    int cursor_ = 0;
};

}  // namespace lib
