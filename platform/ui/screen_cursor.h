#pragma once
// The pointer shape the screen shows over the station's windows.
//
// One value per process, as there is one mouse pointer: a long job sets the
// hourglass and puts the previous shape back when it ends, and mouse areas
// set the shape of the area under the pointer. Main thread only in practice;
// reads and writes are atomic so that a stray worker cannot tear it.

namespace ui {

using TCursor = int;

// Shapes the station uses, numbered as its windows have always numbered them.
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crHourGlass = -11;

TCursor screen_cursor();
void set_screen_cursor(TCursor cursor);

}  // namespace ui
