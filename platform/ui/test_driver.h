#pragma once
// Drives windows as a user would, for tests: clicks, double clicks and drags
// at a point or on a control, keys and typed text to the focused control of
// the active form. Everything goes through input.h, the path a display
// feeds, so a click reaches whatever control lies under the point.

#include <string_view>

#include "platform/ui/controls.h"

namespace ui {

class TestDriver {
public:
    // At the control's client point (its centre by default).
    void Click(TControl& control, TMouseButton button = mbLeft, TShiftState shift = {});
    void Click(TControl& control, TPoint p, TMouseButton button = mbLeft, TShiftState shift = {});
    void DoubleClick(TControl& control);
    void DoubleClick(TControl& control, TPoint p);
    // Presses at `from`, moves in a few steps to `to` and releases there
    // (client points of the control).
    void Drag(TControl& control, TPoint from, TPoint to);
    void MoveTo(TControl& control, TPoint p);
    // Turns the wheel by `notches` (positive away from the user) over the
    // control's client point (its centre by default).
    void Wheel(TControl& control, int notches);
    void Wheel(TControl& control, TPoint p, int notches);
    // At screen points.
    void ClickAt(TPoint screen, TMouseButton button = mbLeft, TShiftState shift = {});
    void DoubleClickAt(TPoint screen);

    // A key stroke to the focused control; Enter, Escape, Tab, Backspace and
    // Space make their characters.
    void Press(TKey key, TShiftState shift = {});
    // Focuses the control first.
    void PressOn(TWinControl& control, TKey key, TShiftState shift = {});
    // Types UTF-8 text, one key stroke per character.
    void Type(std::string_view text);
    void TypeOn(TWinControl& control, std::string_view text);

    static TPoint Centre(const TControl& control);
};

}  // namespace ui
