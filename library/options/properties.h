#pragma once
// A small named list of editable values for a property editor: each property
// binds one variable of the caller under a name, shows it as text, takes new
// text, tells whether the value really changed and then calls its change
// function. The kind code tells the editor which control to offer.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/colors.h"

namespace lib {

namespace property_kind {
constexpr int int_value = 0;
constexpr int float_value = 1;
constexpr int text = 2;
constexpr int color = 3;
constexpr int file_name = 4;    // text with a file-choice button
constexpr int text_dialog = 5;  // text edited in a dialog
}  // namespace property_kind

class Property {
public:
    explicit Property(const char* name);
    virtual ~Property();
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;

    // Takes the text; true when the variable changed.
    virtual bool set_from_text(const std::string& text) = 0;
    virtual std::string get_text() const = 0;
    virtual int get_kind() const = 0;

    const std::string& get_name() const { return name; }
    // Names compare after both are lower-cased (Cyrillic too).
    bool cmp_name(const char* other) const;
    // set_from_text, then on_change when the value changed.
    bool set(const std::string& text);

    std::function<void()> on_change;

protected:
    std::string name;
};

class IntProperty : public Property {
public:
    IntProperty(int& value, const char* name, int def_value);
    bool set_from_text(const std::string& text) override;
    std::string get_text() const override;
    int get_kind() const override { return property_kind::int_value; }

private:
    int& value;
    int def_value;
};

// A change smaller than 0.0005 does not count.
class FloatProperty : public Property {
public:
    FloatProperty(float& value, const char* name, int decimals);
    bool set_from_text(const std::string& text) override;
    std::string get_text() const override;
    int get_kind() const override { return property_kind::float_value; }

private:
    float& value;
    int decimals;
};

// Any difference, letter case included, is a change.
class StringProperty : public Property {
public:
    StringProperty(std::string& value, const char* name);
    bool set_from_text(const std::string& text) override;
    std::string get_text() const override { return value; }
    int get_kind() const override { return property_kind::text; }

private:
    std::string& value;
};

// Shown as the colour's name ("clRed") or "$00BBGGRR"; a text that is not a
// colour leaves the value as it is.
class ColorProperty : public Property {
public:
    ColorProperty(rtl::TColor& value, const char* name);
    bool set_from_text(const std::string& text) override;
    std::string get_text() const override;
    int get_kind() const override { return property_kind::color; }

private:
    rtl::TColor& value;
};

class FileNameProperty : public StringProperty {
public:
    using StringProperty::StringProperty;
    int get_kind() const override { return property_kind::file_name; }
};

class StringDialogProperty : public StringProperty {
public:
    using StringProperty::StringProperty;
    int get_kind() const override { return property_kind::text_dialog; }
};

class Properties {
public:
    Properties();
    ~Properties();
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    // Each creates the property, appends it and returns it (to set on_change).
    Property& add_float(float& value, const char* name, int decimals);
    Property& add_int(int& value, const char* name, int def_value);
    Property& add_string(std::string& value, const char* name);
    Property& add_color(rtl::TColor& value, const char* name);
    Property& add_file_name(std::string& value, const char* name);
    Property& add_str_dialog(std::string& value, const char* name);

    // The first property whose name matches (letter case aside); throws
    // std::runtime_error("Wrong property") when none does.
    Property& operator[](const char* name);
    int size() const { return static_cast<int>(items.size()); }
    Property& at(int index) { return *items.at(static_cast<std::size_t>(index)); }
    void clear();

private:
    Property& append(std::unique_ptr<Property> p);
    std::vector<std::unique_ptr<Property>> items;
};

}  // namespace lib
