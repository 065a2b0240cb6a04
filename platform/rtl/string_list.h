#pragma once
// A list of texts with the behaviour of Delphi's TStringList, which the
// station's files and settings were built around: case-insensitive look-up,
// name=value lines, comma text and CR LF text.
//
// Texts are UTF-8 in memory; LoadFromFile and SaveToFile convert to and
// from Windows-1251, the form of every text file the station shares.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rtl {

class StringList {
public:
    StringList() = default;
    StringList(std::initializer_list<std::string> items) : items_(items) {}

    // Appends and returns the new index.
    int Add(std::string s);
    // Inserts before index i (0..Count()); other indexes throw.
    void Insert(int i, std::string s);
    void Delete(int i);
    void Clear() noexcept { items_.clear(); }
    int Count() const noexcept { return static_cast<int>(items_.size()); }

    // Entry i; an index outside 0..Count()-1 throws std::out_of_range
    // ("List index out of bounds (i)"), as the list's own index error.
    const std::string& operator[](int i) const;
    std::string& operator[](int i);
    const std::string& Strings(int i) const { return (*this)[i]; }
    void SetStrings(int i, std::string s) { (*this)[i] = std::move(s); }

    // The first entry equal to s, ignoring case (Cyrillic folded), or -1.
    int IndexOf(std::string_view s) const noexcept;

    // name=value lines: the name is the part before the first '='.
    // The first line whose name equals `name` ignoring case, or -1; lines
    // without '=' have no name.
    int IndexOfName(std::string_view name) const noexcept;
    // The name of line i; empty when the line has no '='.
    std::string Names(int i) const;
    // The value of line i (after the first '='); empty when the line has no
    // '=' (Delphi's ValueFromIndex cut the first character of such a line).
    std::string ValueFromIndex(int i) const;
    // The value of the first line named `name`, or an empty text.
    std::string Values(std::string_view name) const;
    // Replaces the value of the first line named `name`, or appends
    // "name=value"; an empty value deletes the line instead.
    void SetValue(std::string_view name, std::string_view value);

    // Entries separated by commas; an entry holding a character <= ' ', a
    // comma or a double quote is written between double quotes with inner
    // quotes doubled; a list of one empty entry is written as "".
    std::string CommaText() const;
    // Clears the list and reads comma text: entries end at a comma or at a
    // character <= ' ' outside quotes; a quoted entry ends at its closing
    // quote ("" inside stands for one quote); a comma at the very end adds an
    // empty last entry.
    void SetCommaText(std::string_view text);

    // Every entry followed by CR LF.
    std::string Text() const;
    // Clears the list and splits text into lines at CR, LF or CR LF; a line
    // break at the very end adds no empty last line.
    void SetText(std::string_view text);

    // Reads the file (Windows-1251) into the list as SetText does. Throws
    // std::runtime_error naming the file and the cause; the list is left as
    // it was when reading fails.
    void LoadFromFile(const std::string& path);
    // Writes Text() in Windows-1251 through a temporary file in the same
    // folder, synced and then renamed over `path`, so that a failure never
    // leaves a half-written file. Throws std::runtime_error naming the file
    // and the cause.
    void SaveToFile(const std::string& path) const;

    // The entries themselves, for range-for and algorithms.
    std::vector<std::string>::const_iterator begin() const noexcept { return items_.begin(); }
    std::vector<std::string>::const_iterator end() const noexcept { return items_.end(); }
    const std::vector<std::string>& items() const noexcept { return items_; }

    friend bool operator==(const StringList&, const StringList&) = default;

private:
    void check_index(int i, std::size_t limit) const;

    std::vector<std::string> items_;
};

}  // namespace rtl
