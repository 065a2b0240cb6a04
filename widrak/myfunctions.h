#pragma once
// The colour arithmetic the station's own components share: lighter and
// darker shades tinted by a hue, a contrast colour, two-colour gradients and
// the gradient filler of buttons and panels. Every function works on
// resolved RGB values (system colours are looked up first) and keeps each
// channel within 0..255.
//
// These live in namespace widrak: the general library has functions of the
// same names that must not meet them.

#include "platform/ui/canvas.h"

namespace widrak {

using ui::TColor;

enum TMyButtonGradientTypes { mbgtNone, mbgtVertical, mbgtHorizontal, mbgtDiagonal1, mbgtDiagonal2 };

// A channel value kept within 0..255.
int clamp_channel(int value);

// Resolves the colour and splits it into its channels.
void calc_rgb(TColor color, int& red, int& green, int& blue);

// Per channel c + amount + h / 16 - (hr + hg + hb) / 48, h being the hue's
// same channel (integer divisions).
TColor get_light_color(TColor color, int amount, TColor hue);
// Per channel c - amount + h / 16 - (hr + hg + hb) / 48.
TColor get_dark_color(TColor color, int amount, TColor hue);
// Amount 0 returns the colour as it is (even a system colour); otherwise
// each channel + amount.
TColor transform_color_light(TColor color, int amount);
// Per channel position * (c2 - c1) / span + c1, truncating toward zero; a
// span of 0 gives colour 1.
TColor get_grad_color(int position, int span, TColor color1, TColor color2);
// Black on light colours, white on dark ones (0.3 R + 0.5 G + 0.2 B >= 120).
TColor get_inv_color(TColor color);

// Fills the rectangle with a gradient from colour 1 to colour 2 in bands of
// 4 pixels (2 on small rectangles) with a solid brush: vertical (bands from
// the top, coloured by their absolute top coordinate), horizontal (bands
// from the left) or diagonal (slanted bands from bottom-left to top-right).
// Other types draw nothing. Returns bottom - top.
int draw_gradient(ui::TCanvas& canvas, TMyButtonGradientTypes type, TColor color1, TColor color2, int left, int top,
                  int right, int bottom);

}  // namespace widrak
