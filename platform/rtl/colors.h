#pragma once
// Colours as the station's windows and settings files keep them: a TColor is
// 0x00BBGGRR (red in the low byte). Values with the top bit set name a system
// colour (0x80000000 | index); ColorToRGB resolves them through a fixed table,
// so that pictures and tests look the same on every machine. Settings files
// store colours as their names ("clRed") or as "$00BBGGRR".

#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

using TColor = std::int32_t;

constexpr TColor sys_color(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }

// Fixed colours.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;

// "No colour" and "the control's default colour".
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// System colours (index in the low byte).
constexpr TColor clScrollBar = sys_color(0);
constexpr TColor clBackground = sys_color(1);
constexpr TColor clActiveCaption = sys_color(2);
constexpr TColor clInactiveCaption = sys_color(3);
constexpr TColor clMenu = sys_color(4);
constexpr TColor clWindow = sys_color(5);
constexpr TColor clWindowFrame = sys_color(6);
constexpr TColor clMenuText = sys_color(7);
constexpr TColor clWindowText = sys_color(8);
constexpr TColor clCaptionText = sys_color(9);
constexpr TColor clActiveBorder = sys_color(10);
constexpr TColor clInactiveBorder = sys_color(11);
constexpr TColor clAppWorkSpace = sys_color(12);
constexpr TColor clHighlight = sys_color(13);
constexpr TColor clHighlightText = sys_color(14);
constexpr TColor clBtnFace = sys_color(15);
constexpr TColor clBtnShadow = sys_color(16);
constexpr TColor clGrayText = sys_color(17);
constexpr TColor clBtnText = sys_color(18);
constexpr TColor clInactiveCaptionText = sys_color(19);
constexpr TColor clBtnHighlight = sys_color(20);
constexpr TColor cl3DDkShadow = sys_color(21);
constexpr TColor cl3DLight = sys_color(22);
constexpr TColor clInfoText = sys_color(23);
constexpr TColor clInfoBk = sys_color(24);
constexpr TColor clHotLight = sys_color(26);
constexpr TColor clGradientActiveCaption = sys_color(27);
constexpr TColor clGradientInactiveCaption = sys_color(28);
constexpr TColor clMenuHighlight = sys_color(29);
constexpr TColor clMenuBar = sys_color(30);

// A colour from its parts (each taken modulo 256).
constexpr TColor RGBToColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }

// System colours become their fixed RGB value (an unknown index gives black);
// every other value is returned as it is.
TColor ColorToRGB(TColor color);

// The colour's name ("clRed", "clBtnFace") when it has one, otherwise "$"
// and eight upper-case hex digits ("$00123456").
std::string ColorToString(TColor color);

// Reads a name (letter case ignored) or a number: decimal with an optional
// sign, "$" or "0x" hexadecimal; surrounding blanks are allowed. On any other
// text returns false and leaves `color` as it was.
bool TryStringToColor(std::string_view text, TColor& color);

}  // namespace rtl
