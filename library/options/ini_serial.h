#pragma once
// A list kept in one INI section as a count and one text line per item:
//
//   [section]
//   size=2
//   item1="text form of the first item"
//   item2="text form of the second item"
//
// The items (drill-string elements, construction elements, ...) define their
// one-line text forms themselves.

#include <string>

namespace rtl {
class IniFile;
}

namespace lib {

class IniSerialItem {
public:
    virtual ~IniSerialItem();
    // Puts the item's one-line text form into text.
    virtual void set_to_string(std::string& text) const = 0;
    virtual void get_from_string(const std::string& text) = 0;
};

class IniSerialData {
public:
    explicit IniSerialData(const char* section);
    virtual ~IniSerialData();

    virtual int get_elem_count() = 0;
    virtual IniSerialItem& get_elem(int index) = 0;
    // Makes the list hold count items, ready to be filled.
    virtual void set_elems_size(int count) = 0;
    virtual void after_save(rtl::IniFile* ini);
    virtual void after_load(rtl::IniFile* ini);

    // The section is erased and written anew (then after_save runs), all in
    // one rewrite of the file.
    void save(rtl::IniFile* ini);
    // A section without a usable "size" changes nothing. A size beyond the
    // items the section holds is cut to the last item present, so a damaged
    // count cannot make a list of millions of empty items.
    void load(rtl::IniFile* ini);
    void save(const std::string& file_name);
    void load(const std::string& file_name);

    const std::string& get_section() const { return section; }

protected:
    std::string section;
};

}  // namespace lib
