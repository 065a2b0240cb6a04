#pragma once
// Binding program variables to the controls of a settings window: when the
// window opens, show(groups) puts each variable into its control; when the
// user confirms, get() reads every control back into its variable. Each
// binding carries a group bit mask, so one engine serves several pages of
// a window: show(groups) and get() touch only the bindings whose group
// shares a bit with the groups shown.
//
//   oe::OptEngine e;
//   e.add(1, depth, edtDepth, 2, 1.0f);           // a number with 2 decimals
//   e.add(1, sounds, chkSounds);                  // a check box
//   e.add(2, mode, {rbOld, rbNew, rbTcp});        // radio buttons: an index
//   e.add(2, speed, cbSpeed, {1200, 9600, 19200}, 1);  // a value from a table
//   e.show(1 | 2);
//   if (form.ShowModal() == mrOk) e.get();
//
// The variables and controls must outlive the engine; the engine owns only
// its bindings. Binding a control of the wrong kind is a programming error:
// std::logic_error naming what failed ("NULL": a text binding on a control
// that is neither an edit nor a combo box; "box": a combo-box binding on
// another control; "PropInfo": a control without "Checked" or
// "ColorValue"). Text that is not a number never fails: it converts as the
// number functions do (bad text reads 0).

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/lists.h"

namespace oe {

using AnsiString = std::string;

class Item {
public:
    Item(unsigned long group, ui::TControl* control);
    virtual ~Item();
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    // Shows the variable in the control; reads the control into the
    // variable.
    virtual void to_control() = 0;
    virtual void from_control() = 0;

    unsigned long get_group() const { return group; }

    // The text of an edit or a combo box. A list-only combo box takes a text
    // that is none of its entries as a new last entry, and selects it.
    void get_control_text(AnsiString& out) const;
    void set_control_text(const AnsiString& text);

    // The "Checked" property of a check box, radio button or menu item.
    static void set_check_state(ui::TObject* object, bool checked);
    static bool get_check_state(ui::TObject* object);
    void set_check_state(bool checked) { set_check_state(control, checked); }
    bool get_check_state() const { return get_check_state(control); }

protected:
    ui::TComboBox* combo_box() const;

    ui::TControl* control;
    unsigned long group;
};

// text = value × scale with `decimals` decimals; value = text ÷ scale. A
// scale of 0 counts as 1.
class FloatItem : public Item {
public:
    FloatItem(unsigned long group, float& value, ui::TControl* control, int decimals, float scale);
    void to_control() override;
    void from_control() override;

private:
    float& value;
    int decimals;
    float scale;
};

class DoubleItem : public Item {
public:
    DoubleItem(unsigned long group, double& value, ui::TControl* control, int decimals, float scale);
    void to_control() override;
    void from_control() override;

private:
    double& value;
    int decimals;
    double scale;
};

// Unscaled: decimal text, a text that is not an integer giving the default.
// Scaled (a scale other than 1): text = value × scale, value = text ÷ scale
// rounded to the nearest integer (halves away from zero), kept within the
// range of int.
class IntItem : public Item {
public:
    IntItem(unsigned long group, int& value, ui::TControl* control, int def, float scale);
    void to_control() override;
    void from_control() override;

private:
    int& value;
    int def;
    float scale;
    bool scaled;
};

// A value chosen from a table through a combo box: entry i stands for
// values[i]. Showing selects the first entry whose value equals the
// variable (floats within 0.001), or the default entry; reading takes the
// value of the selected entry. Entries beyond the table stand for nothing.
class ArrayItem : public Item {
public:
    ArrayItem(unsigned long group, int& value, ui::TControl* control, std::vector<int> values, int default_index);
    ArrayItem(unsigned long group, float& value, ui::TControl* control, std::vector<float> values, int default_index);
    void to_control() override;
    void from_control() override;

private:
    int* int_value = nullptr;
    float* float_value = nullptr;
    std::vector<int> int_values;
    std::vector<float> float_values;
    int default_index;
    int kind;  // 1 integer, 0 float
};

class Booltem : public Item {
public:
    Booltem(unsigned long group, bool& value, ui::TControl* control);
    void to_control() override;
    void from_control() override;

private:
    bool& value;
};

class StringItem : public Item {
public:
    StringItem(unsigned long group, AnsiString& value, ui::TControl* control);
    void to_control() override;
    void from_control() override;

private:
    AnsiString& value;
};

// The variable is the index of the checked control; reading with none
// checked leaves it as it is.
class RadioButtonsItem : public Item {
public:
    RadioButtonsItem(unsigned long group, int& value, std::vector<ui::TControl*> controls);
    void to_control() override;
    void from_control() override;

private:
    int& value;
    std::vector<ui::TControl*> controls;
};

// A list-style combo box selects entry number `value` (none when there is
// no such entry); a drop-down one shows and reads the decimal text (the old
// value when the text is not an integer).
class IntComboItem : public Item {
public:
    IntComboItem(unsigned long group, int& value, ui::TComboBox* control);
    void to_control() override;
    void from_control() override;

private:
    int& value;
};

// The "ColorValue" of a colour selector.
class ColorItem : public Item {
public:
    ColorItem(unsigned long group, ui::TColor& value, ui::TControl* control);
    void to_control() override;
    void from_control() override;

private:
    ui::TColor& value;
};

class OptEngine {
public:
    OptEngine();
    ~OptEngine();
    OptEngine(const OptEngine&) = delete;
    OptEngine& operator=(const OptEngine&) = delete;

    void add(unsigned long group, float& v, ui::TControl* c, int decimals, float scale);
    void add(unsigned long group, double& v, ui::TControl* c, int decimals, float scale);
    void add(unsigned long group, int& v, ui::TControl* c, int def, float scale);
    void add(unsigned long group, int& v, ui::TControl* c, std::vector<int> values, int default_index);
    void add(unsigned long group, float& v, ui::TControl* c, std::vector<float> values, int default_index);
    void add(unsigned long group, bool& v, ui::TControl* c);
    void add(unsigned long group, AnsiString& v, ui::TControl* c);
    // At least two radio buttons (std::logic_error otherwise).
    void add(unsigned long group, int& v, std::initializer_list<ui::TControl*> radio_buttons);
    void add(unsigned long group, int& v, ui::TComboBox* c);
    void add(unsigned long group, ui::TColor& v, ui::TControl* c);

    // Every binding whose group shares a bit with `groups`, in the order
    // added; remembers the groups for get.
    void show(unsigned long groups);
    // The bindings of the last show's groups (none before a show).
    void get();

    int size() const { return static_cast<int>(items.size()); }

private:
    std::vector<std::unique_ptr<Item>> items;
    unsigned long shown_groups = 0;
};

}  // namespace oe
