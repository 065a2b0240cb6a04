#include "library/options/options_engine_old.h"

#include <climits>
#include <cmath>
#include <stdexcept>

#include "library/number_conv.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/edits.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "widrak/color_selector.h"

namespace oe {

namespace {

[[noreturn]] void fail(const char* expression) {
    throw std::logic_error(std::string("OptionsEngineOld: ") + expression);
}

double usable_scale(double scale) { return scale == 0 ? 1.0 : scale; }

// Nearest integer, halves away from zero, kept within int.
int round_to_int(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::round(v);
    if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(r);
}

float to_float(double v) {
    if (std::isnan(v)) return 0;
    if (v > 3.4e38) return 3.4e38f;
    if (v < -3.4e38) return -3.4e38f;
    return static_cast<float>(v);
}

}  // namespace

// --- Item -------------------------------------------------------------------------

Item::Item(unsigned long group, ui::TControl* control) : control(control), group(group) {}

Item::~Item() = default;

ui::TComboBox* Item::combo_box() const {
    auto* box = dynamic_cast<ui::TComboBox*>(control);
    if (!box) fail("box");
    return box;
}

void Item::get_control_text(AnsiString& out) const {
    if (auto* edit = dynamic_cast<ui::TCustomEdit*>(control))
        out = edit->Text();
    else if (auto* box = dynamic_cast<ui::TComboBox*>(control))
        out = box->Text();
    else
        fail("NULL");
}

void Item::set_control_text(const AnsiString& text) {
    if (auto* edit = dynamic_cast<ui::TCustomEdit*>(control)) {
        edit->SetText(text);
    } else if (auto* box = dynamic_cast<ui::TComboBox*>(control)) {
        if (box->Style() == ui::csDropDownList) {
            int index = box->Items().IndexOf(text);
            if (index < 0) index = box->Items().Add(text);
            box->SetItemIndex(index);
        } else {
            box->SetText(text);
        }
    } else {
        fail("NULL");
    }
}

void Item::set_check_state(ui::TObject* object, bool checked) {
    if (auto* c = dynamic_cast<ui::TCheckBox*>(object))
        c->SetChecked(checked);
    else if (auto* r = dynamic_cast<ui::TRadioButton*>(object))
        r->SetChecked(checked);
    else if (auto* m = dynamic_cast<ui::TMenuItem*>(object))
        m->SetChecked(checked);
    else
        fail("PropInfo");
}

bool Item::get_check_state(ui::TObject* object) {
    if (auto* c = dynamic_cast<ui::TCheckBox*>(object)) return c->Checked();
    if (auto* r = dynamic_cast<ui::TRadioButton*>(object)) return r->Checked();
    if (auto* m = dynamic_cast<ui::TMenuItem*>(object)) return m->Checked();
    fail("PropInfo");
}

// --- numbers ------------------------------------------------------------------------

FloatItem::FloatItem(unsigned long group, float& value, ui::TControl* control, int decimals, float scale)
    : Item(group, control), value(value), decimals(decimals), scale(scale) {}

void FloatItem::to_control() {
    set_control_text(lib::float_to_str(static_cast<double>(value) * usable_scale(scale), decimals, -1));
}

void FloatItem::from_control() {
    AnsiString text;
    get_control_text(text);
    value = to_float(static_cast<double>(lib::str_to_float(text, 0)) / usable_scale(scale));
}

DoubleItem::DoubleItem(unsigned long group, double& value, ui::TControl* control, int decimals, float scale)
    : Item(group, control), value(value), decimals(decimals), scale(scale) {}

void DoubleItem::to_control() { set_control_text(lib::float_to_str(value * usable_scale(scale), decimals, -1)); }

void DoubleItem::from_control() {
    AnsiString text;
    get_control_text(text);
    value = static_cast<double>(lib::str_to_float(text, 0)) / usable_scale(scale);
}

IntItem::IntItem(unsigned long group, int& value, ui::TControl* control, int def, float scale)
    : Item(group, control),
      value(value),
      def(def),
      scale(scale),
      scaled(std::fabs(scale - 1.0f) > 0.0001f && scale != 0) {}

void IntItem::to_control() {
    if (scaled)
        set_control_text(lib::float_to_str(static_cast<double>(value) * scale, -1, -1));
    else
        set_control_text(rtl::IntToStr(value));
}

void IntItem::from_control() {
    AnsiString text;
    get_control_text(text);
    if (scaled)
        value = round_to_int(static_cast<double>(lib::str_to_float(text, 0)) / scale);
    else
        value = rtl::StrToIntDef(rtl::Trim(text), def);
}

// --- choices ------------------------------------------------------------------------

ArrayItem::ArrayItem(unsigned long group, int& value, ui::TControl* control, std::vector<int> values, int default_index)
    : Item(group, control), int_value(&value), int_values(std::move(values)), default_index(default_index), kind(1) {}

ArrayItem::ArrayItem(unsigned long group, float& value, ui::TControl* control, std::vector<float> values,
                     int default_index)
    : Item(group, control),
      float_value(&value),
      float_values(std::move(values)),
      default_index(default_index),
      kind(0) {}

void ArrayItem::to_control() {
    ui::TComboBox* box = combo_box();
    const int entries = box->Items().Count();
    const int table = static_cast<int>(kind == 1 ? int_values.size() : float_values.size());
    int chosen = -1;
    for (int i = 0; i < entries && i < table && chosen < 0; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        if (kind == 1 ? int_values[k] == *int_value : std::fabs(float_values[k] - *float_value) <= 0.001f) chosen = i;
    }
    if (chosen < 0) chosen = default_index >= 0 && default_index < entries ? default_index : -1;
    box->SetItemIndex(chosen);
}

void ArrayItem::from_control() {
    const int i = combo_box()->ItemIndex();
    if (i < 0) return;
    const std::size_t k = static_cast<std::size_t>(i);
    if (kind == 1 && k < int_values.size()) *int_value = int_values[k];
    if (kind == 0 && k < float_values.size()) *float_value = float_values[k];
}

Booltem::Booltem(unsigned long group, bool& value, ui::TControl* control) : Item(group, control), value(value) {}

void Booltem::to_control() { set_check_state(value); }

void Booltem::from_control() { value = get_check_state(); }

StringItem::StringItem(unsigned long group, AnsiString& value, ui::TControl* control)
    : Item(group, control), value(value) {}

void StringItem::to_control() { set_control_text(value); }

void StringItem::from_control() { get_control_text(value); }

RadioButtonsItem::RadioButtonsItem(unsigned long group, int& value, std::vector<ui::TControl*> controls)
    : Item(group, controls.empty() ? nullptr : controls.front()), value(value), controls(std::move(controls)) {
    if (this->controls.size() < 2) fail("second");
}

void RadioButtonsItem::to_control() {
    for (std::size_t i = 0; i < controls.size(); ++i) set_check_state(controls[i], static_cast<int>(i) == value);
}

void RadioButtonsItem::from_control() {
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (get_check_state(controls[i])) {
            value = static_cast<int>(i);
            return;
        }
}

IntComboItem::IntComboItem(unsigned long group, int& value, ui::TComboBox* control)
    : Item(group, control), value(value) {}

void IntComboItem::to_control() {
    ui::TComboBox* box = combo_box();
    if (box->Style() == ui::csDropDown)
        box->SetText(rtl::IntToStr(value));
    else
        box->SetItemIndex(value >= 0 && value < box->Items().Count() ? value : -1);
}

void IntComboItem::from_control() {
    ui::TComboBox* box = combo_box();
    if (box->Style() == ui::csDropDown)
        value = rtl::StrToIntDef(rtl::Trim(box->Text()), value);
    else
        value = box->ItemIndex();
}

ColorItem::ColorItem(unsigned long group, ui::TColor& value, ui::TControl* control)
    : Item(group, control), value(value) {}

void ColorItem::to_control() {
    auto* selector = dynamic_cast<widrak::TColorSelector*>(control);
    if (!selector) fail("PropInfo");
    selector->SetColorValue(value);
}

void ColorItem::from_control() {
    auto* selector = dynamic_cast<widrak::TColorSelector*>(control);
    if (!selector) fail("PropInfo");
    value = selector->ColorValue();
}

// --- OptEngine ------------------------------------------------------------------------

OptEngine::OptEngine() = default;

OptEngine::~OptEngine() = default;

void OptEngine::add(unsigned long group, float& v, ui::TControl* c, int decimals, float scale) {
    items.push_back(std::make_unique<FloatItem>(group, v, c, decimals, scale));
}

void OptEngine::add(unsigned long group, double& v, ui::TControl* c, int decimals, float scale) {
    items.push_back(std::make_unique<DoubleItem>(group, v, c, decimals, scale));
}

void OptEngine::add(unsigned long group, int& v, ui::TControl* c, int def, float scale) {
    items.push_back(std::make_unique<IntItem>(group, v, c, def, scale));
}

void OptEngine::add(unsigned long group, int& v, ui::TControl* c, std::vector<int> values, int default_index) {
    items.push_back(std::make_unique<ArrayItem>(group, v, c, std::move(values), default_index));
}

void OptEngine::add(unsigned long group, float& v, ui::TControl* c, std::vector<float> values, int default_index) {
    items.push_back(std::make_unique<ArrayItem>(group, v, c, std::move(values), default_index));
}

void OptEngine::add(unsigned long group, bool& v, ui::TControl* c) {
    items.push_back(std::make_unique<Booltem>(group, v, c));
}

void OptEngine::add(unsigned long group, AnsiString& v, ui::TControl* c) {
    items.push_back(std::make_unique<StringItem>(group, v, c));
}

void OptEngine::add(unsigned long group, int& v, std::initializer_list<ui::TControl*> radio_buttons) {
    items.push_back(std::make_unique<RadioButtonsItem>(group, v, std::vector<ui::TControl*>(radio_buttons)));
}

void OptEngine::add(unsigned long group, int& v, ui::TComboBox* c) {
    items.push_back(std::make_unique<IntComboItem>(group, v, c));
}

void OptEngine::add(unsigned long group, ui::TColor& v, ui::TControl* c) {
    items.push_back(std::make_unique<ColorItem>(group, v, c));
}

void OptEngine::show(unsigned long groups) {
    shown_groups = groups;
    for (const auto& item : items)
        if (item->get_group() & groups) item->to_control();
}

void OptEngine::get() {
    for (const auto& item : items)
        if (item->get_group() & shown_groups) item->from_control();
}

}  // namespace oe
