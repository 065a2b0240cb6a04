#include "platform/rtl/colors.h"

#include <array>
#include <cstdint>

namespace rtl {
namespace {

// The classic grey scheme of the stations' desktops, as RGB parts.
constexpr TColor rgb(int r, int g, int b) { return RGBToColor(r, g, b); }

constexpr std::array<TColor, 31> kSystemColors = {
    rgb(0xD4, 0xD0, 0xC8),  // 0 scroll bar
    rgb(0x3A, 0x6E, 0xA5),  // 1 background (desktop)
    rgb(0x0A, 0x24, 0x6A),  // 2 active caption
    rgb(0x80, 0x80, 0x80),  // 3 inactive caption
    rgb(0xD4, 0xD0, 0xC8),  // 4 menu
    rgb(0xFF, 0xFF, 0xFF),  // 5 window
    rgb(0x00, 0x00, 0x00),  // 6 window frame
    rgb(0x00, 0x00, 0x00),  // 7 menu text
    rgb(0x00, 0x00, 0x00),  // 8 window text
    rgb(0xFF, 0xFF, 0xFF),  // 9 caption text
    rgb(0xD4, 0xD0, 0xC8),  // 10 active border
    rgb(0xD4, 0xD0, 0xC8),  // 11 inactive border
    rgb(0x80, 0x80, 0x80),  // 12 application work space
    rgb(0x0A, 0x24, 0x6A),  // 13 highlight
    rgb(0xFF, 0xFF, 0xFF),  // 14 highlight text
    rgb(0xD4, 0xD0, 0xC8),  // 15 button face
    rgb(0x80, 0x80, 0x80),  // 16 button shadow
    rgb(0x80, 0x80, 0x80),  // 17 grey text
    rgb(0x00, 0x00, 0x00),  // 18 button text
    rgb(0xD4, 0xD0, 0xC8),  // 19 inactive caption text
    rgb(0xFF, 0xFF, 0xFF),  // 20 button highlight
    rgb(0x40, 0x40, 0x40),  // 21 3D dark shadow
    rgb(0xD4, 0xD0, 0xC8),  // 22 3D light
    rgb(0x00, 0x00, 0x00),  // 23 tool-tip text
    rgb(0xFF, 0xFF, 0xE1),  // 24 tool-tip background
    rgb(0x00, 0x00, 0x00),  // 25 (unused index)
    rgb(0x00, 0x00, 0x80),  // 26 hot-tracked item
    rgb(0xA6, 0xCA, 0xF0),  // 27 gradient of the active caption
    rgb(0xC0, 0xC0, 0xC0),  // 28 gradient of the inactive caption
    rgb(0x31, 0x6A, 0xC5),  // 29 menu highlight
    rgb(0xD4, 0xD0, 0xC8),  // 30 menu bar
};

struct NamedColor {
    TColor value;
    const char* name;
};

// The first entry of a value is the name it is written with.
constexpr NamedColor kNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clNone, "clNone"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
    {clLtGray, "clLtGray"},
    {clDkGray, "clDkGray"},
};

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ascii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = ascii_lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A 32-bit number: decimal with sign, or hexadecimal after "$" / "0x" taken
// as the bit pattern (so "$80000005" is a system colour).
bool parse_number(std::string_view s, TColor& out) {
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    std::uint64_t value = 0;
    for (char c : s) {
        const int d = base == 16 ? hex_digit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) return false;
    }
    if (base == 10) {
        // Decimal text is a signed 32-bit number.
        if (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull) return false;
        const std::int64_t v = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
        out = static_cast<TColor>(v);
        return true;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    out = static_cast<TColor>(bits);
    return true;
}

}  // namespace

TColor ColorToRGB(TColor color) {
    if (color >= 0) return color;
    const unsigned index = static_cast<std::uint32_t>(color) & 0xFFu;
    return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
}

std::string ColorToString(TColor color) {
    for (const auto& n : kNames)
        if (n.value == color) return n.name;
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "$";
    const auto bits = static_cast<std::uint32_t>(color);
    for (int shift = 28; shift >= 0; shift -= 4) s += digits[(bits >> shift) & 0xF];
    return s;
}

bool TryStringToColor(std::string_view text, TColor& color) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    if (text.empty()) return false;
    for (const auto& n : kNames) {
        if (same_ascii(text, n.name)) {
            color = n.value;
            return true;
        }
    }
    TColor value = 0;
    if (!parse_number(text, value)) return false;
    color = value;
    return true;
}

}  // namespace rtl
