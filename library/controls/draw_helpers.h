#pragma once
// Drawing routines of the charts and grids: plain and patterned lines whose
// pattern runs on across vertices, dense curves drawn fast, check marks,
// arrows, gradients, text size and colour arithmetic.

#include <string>
#include <vector>

#include "platform/ui/canvas.h"

namespace lib {

using AnsiString = std::string;

// Move to the first point, line to the second (its last pixel left out).
void line(ui::TCanvas* canvas, int x1, int y1, int x2, int y2);

// A polyline drawn in pieces of at most 2047 points that share their joints;
// nothing with a clear pen or fewer than two points.
void win9x_poly_line(ui::TCanvas* canvas, const ui::TPoint* points, int n);

// Patterned lines: the pen style picks a 32-bit mask read from bit 0 up (dash
// 0x00FFFFFF, dot 0x07070707, dash-dot 0x070FFFFF, dash-dot-dot 0x07070FFF,
// any other 0xFFFFFFFF); the k-th pixel walked uses bit (k * 50 / scale) mod
// 32, counting over the whole polyline, so the pattern repeats every
// 32 * scale / 50 pixels and runs on around corners. Dashes are drawn as
// solid lines in the pen's colour and width. A solid pen with scale below 30
// draws plainly; nothing with a clear pen.
void special_line(ui::TCanvas* canvas, int x1, int y1, int x2, int y2, int scale);
void special_polyline(ui::TCanvas* canvas, const ui::TPoint* points, int n, int scale);

// `out` gets the first point, then each point that differs from the last one
// put in, and always the last point (one point gives two equal points).
void remove_equal_points(const std::vector<ui::TPoint>& in, std::vector<ui::TPoint>& out);

// A chart curve through the points. With `fill` the area between the curve
// and the left edge of `area` is filled in the pen colour first. A patterned
// pen draws through special_polyline with the scale; a solid pen replaces
// runs of more than 4 points on one vertical or horizontal line by a single
// line.
void smart_draw_points(const std::vector<ui::TPoint>& points, ui::TCanvas* canvas, const ui::TRect& area, bool fill,
                       float scale);

// A check mark in the square of side min(width, height) centred in r.
void draw_check(ui::TCanvas* canvas, const ui::TRect& r, ui::TColor color, int pen_width, int margin);
// A line of `length` centred on (x, y) at `angle` (radians, counter-clockwise,
// screen y downward) with a head of two lines of `head` at `head_angle`.
void draw_arrow(ui::TCanvas* canvas, int x, int y, int length, int head, float head_angle, float angle);
// min(32, width) vertical stripes from `from` to `to`; nothing below 2 pixels.
void draw_gradient(ui::TCanvas* canvas, const ui::TRect& r, ui::TColor from, ui::TColor to);

// The size of the text as DrawText measures it: width = right + 2; both -1
// when measuring fails.
void calc_text_dims(ui::TCanvas* canvas, const AnsiString& text, int& width, int& height);

void color_to_rgb(ui::TColor color, int& r, int& g, int& b);
ui::TColor rgb_to_color(int r, int g, int b);
// Black on light colours, white on dark ones.
ui::TColor get_inverse_color(ui::TColor color);
ui::TColor transform_color_light(ui::TColor base, int delta, ui::TColor other);

}  // namespace lib
