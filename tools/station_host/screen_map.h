#pragma once
// Where the windows of the station host lie on the real screen, for a test
// that works them from outside the process as an operator does (xdotool):
// every visible form, its controls, the shown cells of its grids, the items
// of an open menu or of the menu bar, the rows of an open drop-down list
// and the tabs of page controls, each with its rectangle in screen coordinates.
//
// One line each, fields separated by tabs (UTF-8):
//   form     <form>                            x y w h
//   window   <form>                            x y w h   (the part the desktop's window shows)
//   control  <form> <name> <caption or text>   x y w h <enabled 0/1>
//   cell     <form> <grid name> <col> <row>    x y w h <text>
//   current  <form> <grid name> <col> <row>    x y w h <editing 0/1>
//   item     <form> <caption>                  x y w h <enabled 0/1>
//   list     <form> <combo name> <index> <text> x y w h
//   tab      <form> <page caption>             x y w h
//   heading  <form> <chart name> <text>        x y w h   (a curve's title or range value)
// <form> is the caption of the top-level form the thing is shown in.

#include <string>

namespace station_host {

std::string screen_map();

// With STATION_HOST_SCREEN_MAP naming a file, the map is written there
// (replaced whole) every `period_ms` while the main queue runs, a modal
// dialog's loop included; without it, nothing.
void start_screen_map_writer(int period_ms = 150);
void stop_screen_map_writer();

}  // namespace station_host
