#pragma once
// The small standard pictures controls are made of: push-button faces, check
// boxes, radio buttons and scroll arrows, in the stations' grey 3D look.

#include "platform/ui/canvas.h"

namespace ui {

constexpr unsigned DFC_SCROLL = 3, DFC_BUTTON = 4;
constexpr unsigned DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIO = 0x4, DFCS_BUTTONPUSH = 0x10, DFCS_SCROLLUP = 0x0,
                   DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3, DFCS_SCROLLCOMBOBOX = 0x5,
                   DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400, DFCS_FLAT = 0x4000;

// Draws the picture of `type` and `state` (DFC_*, DFCS_*) in r. A check box
// or radio button is 13 pixels square at r's top-left corner. Returns false
// for an unknown type.
bool DrawFrameControl(TCanvas& canvas, const TRect& r, unsigned type, unsigned state);

// A check mark of the stations' check boxes in a 13-pixel box at (x, y).
void DrawCheckMark(TCanvas& canvas, int x, int y, TColor color);
// A solid triangle pointing up, down, left or right (DFCS_SCROLL*), centred
// in r.
void DrawArrow(TCanvas& canvas, const TRect& r, unsigned direction, TColor color);
// Text drawn in the look of a disabled control: grey with a white shadow.
void DrawDisabledText(TCanvas& canvas, std::string_view text, TRect r, unsigned flags);

}  // namespace ui
