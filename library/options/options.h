#pragma once
// The options engine: an options object keeps its settings in ordinary member
// variables and, when asked, describes them with a list of option
// descriptors. A descriptor is bound to one variable and knows the option's
// INI key, caption, unit and default, how to show and parse the value as
// text, and how it is stored in an INI file. The list is divided into
// sectors; a sector is an INI section and a group heading in the editors.
//
// On disk: one section per sector, one key per option, the value in the
// option's stored text; text values between double quotes. A missing or
// empty value loads the option's default. These files are shared with the
// stations that still run on Windows, so the stored forms below must not
// change.
//
// The engine knows nothing of windows: the grid editor and the options
// dialogs only use the descriptors' text interface.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace rtl {
class IniFile;
class StringList;
}  // namespace rtl

namespace lib {

// Kind codes returned by get_type; the editors choose their controls by them.
namespace option_kind {
constexpr int enumeration = 1;
constexpr int boolean = 2;
constexpr int int_value = 7;
constexpr int unsigned_value = 8;
constexpr int float_value = 11;
constexpr int double_value = 12;
constexpr int text = 14;
}  // namespace option_kind

class meta_class_base {
public:
    // A null pointer gives an empty text. An empty ini name means the option
    // is shown in the editors but never written to or read from a file.
    meta_class_base(const char* ini_name, const char* caption, const char* unit);
    virtual ~meta_class_base();

    // The value as display text, and the value from display text.
    virtual std::string get() const = 0;
    virtual void set(const std::string& text) = 0;
    // The value in its stored form for an INI file; by default as displayed.
    virtual std::string get_serial_string() const;
    virtual void set_serial_string(const std::string& text);
    virtual void set_def_value() = 0;
    virtual int get_type() const = 0;

    const std::string& get_ini_name() const { return ini_name; }
    const std::string& get_display_name() const { return caption; }
    const std::string& get_unit_name() const { return unit; }
    const std::string& get_sect_name() const { return sect_name; }
    const std::string& get_sect_disp_name() const { return sect_caption; }
    void set_sector(const std::string& name, const std::string& caption);
    // Section name, ".", ini name.
    std::string get_full_name() const;

protected:
    std::string ini_name;
    std::string caption;
    std::string unit;
    std::string sect_name;
    std::string sect_caption;
};

using MetaClassPointer = std::shared_ptr<meta_class_base>;

namespace options_detailed {

using ForEachFunc = std::function<void(const MetaClassPointer&)>;

// Access to the bound variable of the numeric and enumeration kinds.
template <class T>
class getter_n_setter {
public:
    virtual ~getter_n_setter() = default;
    virtual T get_value() const = 0;
    virtual void set_value(const T& value) = 0;
};

// Splits "a|b|c" into its parts, left to right; the part after the last "|"
// is taken even when empty.
std::vector<std::string> split_texts(const char* texts);

class meta_class_int : public getter_n_setter<int>, public meta_class_base {
public:
    meta_class_int(int def_value, const char* ini_name, const char* caption, const char* unit);
    // Decimal text; an empty text gives the default, and so does a text
    // that is not an integer.
    std::string get() const override;
    void set(const std::string& text) override;
    void set_def_value() override;

protected:
    int def_value;
};

class meta_class_float : public getter_n_setter<double>, public meta_class_base {
public:
    // The variable holds value × scale; the texts and the default are in
    // display units. digits is the number of decimals shown, -1 automatic.
    meta_class_float(double scale, double def_value, int digits, const char* ini_name, const char* caption,
                     const char* unit);
    std::string get() const override;
    void set(const std::string& text) override;
    void set_def_value() override;

protected:
    double scale;
    double def_value;
    int digits;
};

// A choice among texts; the variable holds the position. A number read from
// a file is kept even when no text has that position (so the file keeps it),
// and is then shown as "?????".
class meta_class_enum_base : public meta_class_int {
public:
    meta_class_enum_base(int def_value, const char* ini_name, const char* caption, const char* texts);
    std::string get() const override;
    void set(const std::string& text) override;
    // Stored as the number, a blank and the text in parentheses: "2 (Бурение)".
    std::string get_serial_string() const override;
    void set_serial_string(const std::string& text) override;
    int get_type() const override { return option_kind::enumeration; }
    // Fills the list with the texts, for a choice box.
    void enum_popup_strings(rtl::StringList* strings) const;

protected:
    std::vector<std::string> texts;
};

template <class T>
class meta_class;

template <>
class meta_class<int> : public meta_class_int {
public:
    meta_class(int& value, int def_value, const char* ini_name, const char* caption, const char* unit)
        : meta_class_int(def_value, ini_name, caption, unit), value(value) {}
    int get_value() const override { return value; }
    void set_value(const int& v) override { value = v; }
    int get_type() const override { return option_kind::int_value; }

private:
    int& value;
};

template <>
class meta_class<unsigned int> : public meta_class_int {
public:
    // Shown and stored through the signed interface, as the bits of the value.
    meta_class(unsigned int& value, unsigned int def_value, const char* ini_name, const char* caption, const char* unit)
        : meta_class_int(static_cast<int>(def_value), ini_name, caption, unit), value(value) {}
    int get_value() const override { return static_cast<int>(value); }
    void set_value(const int& v) override { value = static_cast<unsigned int>(v); }
    int get_type() const override { return option_kind::unsigned_value; }

private:
    unsigned int& value;
};

// Narrows to float; values beyond its range become the largest float of
// that sign rather than undefined behaviour.
float to_float(double v);

template <>
class meta_class<float> : public meta_class_float {
public:
    meta_class(float& value, float def_value, const char* ini_name, const char* caption, const char* unit,
               int digits = -1, double scale = 1.0)
        : meta_class_float(scale, def_value, digits, ini_name, caption, unit), value(value) {}
    double get_value() const override { return value; }
    void set_value(const double& v) override { value = to_float(v); }
    int get_type() const override { return option_kind::float_value; }

private:
    float& value;
};

template <>
class meta_class<double> : public meta_class_float {
public:
    meta_class(double& value, double def_value, const char* ini_name, const char* caption, const char* unit,
               int digits = -1, double scale = 1.0)
        : meta_class_float(scale, def_value, digits, ini_name, caption, unit), value(value) {}
    double get_value() const override { return value; }
    void set_value(const double& v) override { value = v; }
    int get_type() const override { return option_kind::double_value; }

private:
    double& value;
};

template <>
class meta_class<bool> : public meta_class_base {
public:
    // texts: "false word|true word" for a choice box, or empty for 1 and 0.
    meta_class(bool& value, bool def_value, const char* ini_name, const char* caption, const char* texts = nullptr);
    std::string get() const override;
    void set(const std::string& text) override;
    std::string get_serial_string() const override;
    void set_serial_string(const std::string& text) override;
    void set_def_value() override { value = def_value; }
    int get_type() const override { return option_kind::boolean; }
    bool have_enum() const { return !texts.empty(); }
    void enum_popup_strings(rtl::StringList* strings) const;

private:
    std::string word(int index) const;
    bool& value;
    bool def_value;
    std::string texts;
};

template <>
class meta_class<std::string> : public meta_class_base {
public:
    meta_class(std::string& value, const char* def_value, const char* ini_name, const char* caption,
               const char* unit = nullptr);
    std::string get() const override { return value; }
    void set(const std::string& text) override { value = text; }
    // Escaped to one line (line feeds as \n, quotes and backslashes escaped).
    std::string get_serial_string() const override;
    void set_serial_string(const std::string& text) override;
    void set_def_value() override { value = def_value; }
    int get_type() const override { return option_kind::text; }

private:
    std::string& value;
    std::string def_value;
};

// Binds an enumeration variable. The type must have a fixed underlying type
// (enum E : int), because a number from a file outside the enumerators is
// kept in the variable.
template <class E>
class meta_class_enum : public meta_class_enum_base {
    static_assert(std::is_integral_v<E> || (std::is_enum_v<E> && requires { E{std::underlying_type_t<E>{}}; }),
                  "meta_class_enum needs an integer or an enumeration with a fixed underlying type");

public:
    meta_class_enum(E& value, E def_value, const char* ini_name, const char* caption, const char* texts)
        : meta_class_enum_base(static_cast<int>(def_value), ini_name, caption, texts), value(value) {}
    int get_value() const override { return static_cast<int>(value); }
    void set_value(const int& v) override { value = static_cast<E>(v); }

private:
    E& value;
};

}  // namespace options_detailed

class options_list {
public:
    options_list() = default;
    // Descriptors added after this call belong to that section.
    void sector(const std::string& name, const std::string& caption);
    // Takes ownership of a descriptor made with new.
    void add(meta_class_base* descriptor);
    void add_item(MetaClassPointer descriptor);
    int size() const { return static_cast<int>(items.size()); }
    // Throws std::out_of_range for an index outside 0..size()-1.
    MetaClassPointer get_item(int index) const;
    void for_each(const options_detailed::ForEachFunc& func) const;
    void clear() { items.clear(); }

private:
    std::string sect_name = "default";
    std::string sect_caption = "[Без названия]";
    std::vector<MetaClassPointer> items;
};

// Writes one descriptor to an INI file, as options_base::save_to_ini does.
class ini_writer {
public:
    explicit ini_writer(rtl::IniFile* ini) : ini(ini) {}
    void operator()(const MetaClassPointer& item) const;

private:
    rtl::IniFile* ini;
};

// Reads one descriptor from an INI file: a missing or empty value gives the
// default.
class ini_reader {
public:
    explicit ini_reader(rtl::IniFile* ini) : ini(ini) {}
    void operator()(const MetaClassPointer& item) const;

private:
    rtl::IniFile* ini;
};

// The base of every options object. The list is built anew by enum_values
// for each operation, so descriptors point into the object only meanwhile.
class options_base {
public:
    virtual ~options_base();
    virtual void save_additional_info(rtl::IniFile* ini);
    virtual void load_additional_info(rtl::IniFile* ini);
    virtual void enum_values(options_list& list) = 0;

    void load_from_ini(rtl::IniFile* ini);
    void load_from_ini(const std::string& file_name);
    // All options (and the additional info) reach the file in one rewrite;
    // an error on the way leaves the file as it was.
    void save_to_ini(rtl::IniFile* ini);
    void save_to_ini(const std::string& file_name);
    void set_defaults();
};

// Copies every option value from one object to another of the same layout;
// throws std::runtime_error when their numbers of options differ.
void copy(options_base& src, options_base& dst);

}  // namespace lib
