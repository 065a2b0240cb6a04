#pragma once
// Small value types of the window layer: points, rectangles, sets of flags,
// mouse buttons, key codes and the modal results. Rectangles are half-open
// like the stations' windows always had them: Right and Bottom are one past
// the last pixel.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "platform/rtl/colors.h"
#include "platform/ui/screen_cursor.h"

namespace ui {

// The colour names belong to every window unit.
using rtl::cl3DDkShadow;
using rtl::cl3DLight;
using rtl::clActiveBorder;
using rtl::clActiveCaption;
using rtl::clAppWorkSpace;
using rtl::clAqua;
using rtl::clBackground;
using rtl::clBlack;
using rtl::clBlue;
using rtl::clBtnFace;
using rtl::clBtnHighlight;
using rtl::clBtnShadow;
using rtl::clBtnText;
using rtl::clCaptionText;
using rtl::clCream;
using rtl::clDefault;
using rtl::clDkGray;
using rtl::clFuchsia;
using rtl::clGradientActiveCaption;
using rtl::clGradientInactiveCaption;
using rtl::clGray;
using rtl::clGrayText;
using rtl::clGreen;
using rtl::clHighlight;
using rtl::clHighlightText;
using rtl::clHotLight;
using rtl::clInactiveBorder;
using rtl::clInactiveCaption;
using rtl::clInactiveCaptionText;
using rtl::clInfoBk;
using rtl::clInfoText;
using rtl::clLime;
using rtl::clLtGray;
using rtl::clMaroon;
using rtl::clMedGray;
using rtl::clMenu;
using rtl::clMenuBar;
using rtl::clMenuHighlight;
using rtl::clMenuText;
using rtl::clMoneyGreen;
using rtl::clNavy;
using rtl::clNone;
using rtl::clOlive;
using rtl::clPurple;
using rtl::clRed;
using rtl::clScrollBar;
using rtl::clSilver;
using rtl::clSkyBlue;
using rtl::clTeal;
using rtl::clWhite;
using rtl::clWindow;
using rtl::clWindowFrame;
using rtl::clWindowText;
using rtl::clYellow;
using rtl::ColorToRGB;
using rtl::GetBValue;
using rtl::GetGValue;
using rtl::GetRValue;
using rtl::RGBToColor;
using rtl::TColor;

struct TPoint {
    int x = 0;
    int y = 0;
    constexpr TPoint() = default;
    constexpr TPoint(int ax, int ay) : x(ax), y(ay) {}
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
    constexpr TPoint operator+(const TPoint& o) const { return {x + o.x, y + o.y}; }
    constexpr TPoint operator-(const TPoint& o) const { return {x - o.x, y - o.y}; }
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    constexpr TRect() = default;
    constexpr TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
    constexpr TRect(TPoint tl, TPoint br) : Left(tl.x), Top(tl.y), Right(br.x), Bottom(br.y) {}
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(TPoint p) const { return p.x >= Left && p.x < Right && p.y >= Top && p.y < Bottom; }
    constexpr TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    constexpr TRect Inflate(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int l, int t, int r, int b) { return {l, t, r, b}; }
constexpr TRect Bounds(int l, int t, int w, int h) { return {l, t, l + w, t + h}; }
constexpr TPoint Point(int x, int y) { return {x, y}; }
// The common part of two rectangles; an empty rectangle (all zero) when none.
constexpr TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? TRect{} : r;
}
// The smallest rectangle holding both; an empty one does not count.
constexpr TRect UnionRect(const TRect& a, const TRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

// A set of enumerators (at most 32), written as the window code always wrote
// them: `style << fsBold`, `shift.Contains(ssCtrl)`.
template <typename E>
class Set {
public:
    constexpr Set() = default;
    constexpr Set(std::initializer_list<E> items) {
        for (E e : items) bits_ |= bit(e);
    }
    constexpr bool Contains(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Set operator<<(E e) const { return from_bits(bits_ | bit(e)); }
    constexpr Set operator>>(E e) const { return from_bits(bits_ & ~bit(e)); }
    constexpr Set operator+(Set o) const { return from_bits(bits_ | o.bits_); }
    constexpr Set operator-(Set o) const { return from_bits(bits_ & ~o.bits_); }
    constexpr Set operator*(Set o) const { return from_bits(bits_ & o.bits_); }
    Set& operator<<=(E e) {
        bits_ |= bit(e);
        return *this;
    }
    Set& operator>>=(E e) {
        bits_ &= ~bit(e);
        return *this;
    }
    constexpr std::uint32_t Bits() const { return bits_; }
    friend constexpr bool operator==(const Set&, const Set&) = default;

private:
    static constexpr std::uint32_t bit(E e) { return 1u << static_cast<unsigned>(e); }
    static constexpr Set from_bits(std::uint32_t b) {
        Set s;
        s.bits_ = b;
        return s;
    }
    std::uint32_t bits_ = 0;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = Set<TFontStyle>;

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = Set<TShiftStateItem>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = Set<TAnchorKind>;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// Cursor shapes (TCursor, crDefault and crHourGlass come with the screen's
// pointer shape); a display may show them.
constexpr TCursor crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6, crSizeNS = -7,
                  crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crDrag = -12, crNoDrop = -13, crHSplit = -14,
                  crVSplit = -15, crHandPoint = -21;

// Modal results; a button's result ends a modal form.
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
                       mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

// Key codes of key-down and key-up events.
using TKey = unsigned short;
constexpr TKey VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
               VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
               VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
               VK_F1 = 0x70, VK_F2 = 0x71, VK_F4 = 0x73, VK_F5 = 0x74;

class TObject;
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, TKey& Key, TShiftState Shift)>;
// Key presses carry one character (a Unicode code point; '\r' for Enter,
// 27 for Escape, 8 for Backspace).
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;

}  // namespace ui
