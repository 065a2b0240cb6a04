#pragma once
// Typed INI options: an object names each of its variables once, with a
// section and a key, in get_elements_list; save and load then write and read
// every variable by its own type. For settings that need no option editor.
//
// A key that is missing leaves its variable as it was (the current value is
// the default of every read).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rtl {
class IniFile;
class StringList;
}  // namespace rtl

namespace lib {

namespace opt_detailed {

class ioe_base {
public:
    ioe_base(const char* section, const char* key, void* address);
    virtual ~ioe_base();
    virtual void save_value(rtl::IniFile* ini) = 0;
    virtual void load_value(rtl::IniFile* ini) = 0;
    void save_item(rtl::IniFile* ini) { save_value(ini); }
    void load_item(rtl::IniFile* ini) { load_value(ini); }

protected:
    std::string section;
    std::string key;
    void* address;
};

// The elements of the plain types differ only in how their one value is
// written and read, so one class serves them all; the rule of each type sits
// beside the others in the .cpp (instantiated there for the types below):
// - int, and a colour (rtl::TColor, 0x00BBGGRR in an int): WriteInteger /
//   ReadInteger with the current value as default;
// - 64-bit integer: decimal text; a text that is not one keeps the value;
// - unsigned: stored as the signed integer of its bits;
// - bool: WriteBool / ReadBool;
// - float, double: WriteFloat; read with either decimal separator; an empty
//   value keeps the variable;
// - text: written between double quotes, so blanks at the ends survive;
// - string list (held by pointer): its comma text between double quotes.
template <typename T>
class ioe_typed : public ioe_base {
public:
    using ioe_base::ioe_base;
    void save_value(rtl::IniFile* ini) override;
    void load_value(rtl::IniFile* ini) override;
};

using ioe_int = ioe_typed<int>;
using ioe_TColor = ioe_int;
using ioe___int64 = ioe_typed<std::int64_t>;
using ioe_unsigned = ioe_typed<unsigned>;
using ioe_bool = ioe_typed<bool>;
using ioe_float = ioe_typed<float>;
using ioe_double = ioe_typed<double>;
using ioe_String = ioe_typed<std::string>;
using ioe_TStrings = ioe_typed<rtl::StringList>;

// Any block of memory as two upper-case hexadecimal digits a byte. A value
// of any other length leaves the memory unchanged.
class ioe_pod : public ioe_base {
public:
    ioe_pod(const char* section, const char* key, void* address, int size);
    void save_value(rtl::IniFile* ini) override;
    void load_value(rtl::IniFile* ini) override;

protected:
    int size;
};

}  // namespace opt_detailed

class ini_options_elements {
public:
    ini_options_elements();
    ~ini_options_elements();
    ini_options_elements(const ini_options_elements&) = delete;
    ini_options_elements& operator=(const ini_options_elements&) = delete;

    void add(int& value, const char* section, const char* key);  // int and rtl::TColor
    void add(long long& value, const char* section, const char* key);
    void add(long& value, const char* section, const char* key);
    void add(unsigned int& value, const char* section, const char* key);
    void add(bool& value, const char* section, const char* key);
    void add(float& value, const char* section, const char* key);
    void add(double& value, const char* section, const char* key);
    void add(std::string& value, const char* section, const char* key);
    void add(rtl::StringList* value, const char* section, const char* key);
    // A TDateTime is a double here, so it cannot have an add of its own:
    // this stores its 8 bytes in hexadecimal, as the stations do.
    void add_date_time(double& value, const char* section, const char* key);
    void add_pod(void* address, int size, const char* section, const char* key);

    std::size_t size() const { return items.size(); }
    opt_detailed::ioe_base& operator[](std::size_t i) { return *items[i]; }

private:
    std::vector<std::unique_ptr<opt_detailed::ioe_base>> items;
};

class ini_options {
public:
    virtual ~ini_options();
    virtual void get_elements_list(ini_options_elements& list);
    virtual void save_additional_info(rtl::IniFile* ini);
    virtual void load_additional_info(rtl::IniFile* ini);
    virtual void before_save(rtl::IniFile* ini);
    virtual void before_load(rtl::IniFile* ini);

    // Everything, with the hooks, reaches the file in one rewrite; an error
    // on the way leaves the file as it was.
    void save(rtl::IniFile* ini);
    void load(rtl::IniFile* ini);
    // An empty name (after trimming) does nothing; otherwise the name is
    // remembered and the file opened for the operation.
    void save(const std::string& file_name);
    void load(const std::string& file_name);
    void save(std::unique_ptr<rtl::IniFile> ini);
    void load(std::unique_ptr<rtl::IniFile> ini);

    const std::string& get_ini_file_name() const { return ini_file_name; }

protected:
    std::string ini_file_name;
};

}  // namespace lib
