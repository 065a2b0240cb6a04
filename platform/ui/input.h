#pragma once
// What a display feeds into the window layer: mouse and keys at screen
// coordinates. The test driver uses the same functions, so a test's click
// takes the path a user's click would.

#include "platform/ui/types.h"

namespace ui {
class TCustomForm;
}

namespace ui::input {

void mouse_down(TPoint screen, TMouseButton button, TShiftState shift = {});
// The second press of a double click.
void mouse_double_down(TPoint screen, TMouseButton button, TShiftState shift = {});
void mouse_up(TPoint screen, TMouseButton button, TShiftState shift = {});
void mouse_move(TPoint screen, TShiftState shift = {});
// A turn of the wheel with the pointer at the point (120 per notch, positive
// away from the user).
void mouse_wheel(TPoint screen, int delta, TShiftState shift = {});
// One key stroke: key down, the character it makes (0 for none) unless the
// key was taken on the way down (a dialog key, or an event that cleared it),
// key up.
void key_stroke(TKey key, TShiftState shift, char32_t ch);
// A character without a key of its own (text typed in another script).
void character(char32_t ch);
// The halves of a key stroke, for a display whose keys come as separate
// presses and releases, with the characters an input method makes between
// them (through character()). key_down returns true when the key was taken
// and must make no character.
bool key_down(TKey key, TShiftState shift);
void key_up(TKey key, TShiftState shift);
// The pointer left the windows: the control under it hears MouseLeave.
void mouse_leave();
// A display with real windows knows which form's window the pointer is in;
// while set, that form takes the mouse even where the layer's own order of
// the forms puts another one over the point. Null for none.
void set_pointer_form(TCustomForm* form);

}  // namespace ui::input
