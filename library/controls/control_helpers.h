#pragma once
// The common look and behaviour of the station's windows: one colouring of
// every form (fonts, label colours by tag), enabling and showing groups of
// controls, centring, placing a form at the mouse, fitting a page into an
// area, and choosing a combo box's value. Main thread, as every window.

#include <initializer_list>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/cool_bar.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/menus.h"

namespace lib {

using AnsiString = std::string;

// The system's look: the form's font becomes Tahoma (or Arial) with the
// Cyrillic character set when the screen has one of them (chosen once per
// process); edits, combo boxes and memos of tag 0 get Lucida Console 9; a
// label's or static text's tag changes its font: 1 green, 2 red, 3 navy,
// 4 bold, 5 green and bold.
void colorize_form(ui::TCustomForm* form);

// Places the control in the middle of the area (positions relative to the
// area's own origin), never left of or above it.
void center_control(const ui::TRect& area, ui::TControl* c);

// Places the form at the mouse (its top half a text line above the pointer,
// centred across it), kept on the screen and 42 pixels above its bottom.
void go_to_cursor(ui::TCustomForm* f);

// Shows or hides each control of the list; null entries are passed over.
void set_visible(bool visible, std::initializer_list<ui::TControl*> controls);

// Shows or hides each menu item of the list; null entries are passed over.
void set_visible(bool visible, std::initializer_list<ui::TMenuItem*> items);

// Each band just as wide as the controls on its control need: its minimum
// width and its width become the largest right edge of the control's
// children plus 4. Bands without a control, or whose control holds no
// children, stay as they are.
void align_cool_bar(ui::TCoolBar* bar);

// Sets the published "Enabled" (or "Enable") of each object of the list;
// objects with neither, and null entries, are passed over.
void set_enabled(bool enabled, std::initializer_list<ui::TObject*> objects);

// One expression enables or disables a chain of objects:
// lib::enabler(false) << edit1 << button2;
class enabler {
public:
    explicit enabler(bool state) : state_(state) {}
    enabler& operator<<(ui::TObject* object);

private:
    bool state_;
};

// Gives each control's published font the held colour and style:
// lib::FontSetter(clRed, {fsBold}) << label1 << label2;
class FontSetter {
public:
    FontSetter(ui::TColor color, ui::TFontStyles style) : color_(color), style_(style) {}
    FontSetter& operator<<(ui::TControl* control);

private:
    ui::TColor color_;
    ui::TFontStyles style_;
};

// Selects the first item equal to `value` after trimming both and ignoring
// letter case (Cyrillic too); when none is, inserts `value` as the first item
// and selects it.
void set_combo_value(ui::TComboBox* box, const AnsiString& value);

// Fits a windowed control (a page of settings) into an area, scaling it and
// its children.
class ControlResizer {
public:
    // The maximum size is that of a maximised window.
    ControlResizer();
    void set_current_size(int width, int height);
    // `max_width`/`max_height` of 0 use the stored maximum. An area or a
    // control without width or height leaves the control as it is.
    void rescale(const ui::TRect& area, ui::TWinControl* c, bool center, bool guarded, int max_width = 0,
                 int max_height = 0);
    int max_width() const { return max_width_; }
    int max_height() const { return max_height_; }

private:
    int max_width_;
    int max_height_;
    int current_width_ = 0;
    int current_height_ = 0;
    static constexpr int kMargin = 3;
};

}  // namespace lib
