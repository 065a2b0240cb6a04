#pragma once
// What a drawing test asks of a picture: how many pixels of a region have a
// colour, where ink (anything but the background) lies, which rows a line
// crosses. Each answer names the region, so a failure says where the picture
// went wrong rather than only that a file was written.

#include <algorithm>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"
#include "platform/ui/types.h"

namespace ui::testing {

// Pixels of `r` (clipped to the picture) whose colour is `colour`.
inline int count_colour(const TBitmap& b, const TRect& r, TColor colour) {
    int n = 0;
    for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, b.Height()); ++y)
        for (int x = std::max(r.Left, 0); x < std::min(r.Right, b.Width()); ++x)
            if (b.Pixel(x, y) == colour) ++n;
    return n;
}

// Pixels of `r` that differ from `background`.
inline int count_ink(const TBitmap& b, const TRect& r, TColor background) {
    const TRect c = IntersectRect(r, TRect(0, 0, b.Width(), b.Height()));
    return c.Width() * c.Height() - count_colour(b, c, background);
}

// Share of `r` in `colour`, 0..1.
inline double share_of(const TBitmap& b, const TRect& r, TColor colour) {
    const TRect c = IntersectRect(r, TRect(0, 0, b.Width(), b.Height()));
    const int all = c.Width() * c.Height();
    return all ? static_cast<double>(count_colour(b, c, colour)) / all : 0;
}

// The smallest rectangle holding every pixel of `r` that differs from
// `background`; nothing when the region is blank.
inline std::optional<TRect> ink_bounds(const TBitmap& b, const TRect& r, TColor background) {
    std::optional<TRect> box;
    for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, b.Height()); ++y)
        for (int x = std::max(r.Left, 0); x < std::min(r.Right, b.Width()); ++x) {
            if (b.Pixel(x, y) == background) continue;
            if (!box)
                box = TRect(x, y, x + 1, y + 1);
            else
                box = UnionRect(*box, TRect(x, y, x + 1, y + 1));
        }
    return box;
}

// True when every pixel of row `y` from `x0` to `x1` (exclusive) has `colour`:
// a horizontal line that crosses the whole span.
inline bool row_is(const TBitmap& b, int y, int x0, int x1, TColor colour) {
    for (int x = x0; x < x1; ++x)
        if (b.Pixel(x, y) != colour) return false;
    return x0 < x1;
}

// The control as it paints itself, in its own coordinates.
inline void paint_control(TControl& control, TBitmap& into) {
    into.SetSize(control.Width(), control.Height());
    control.PaintTo(into.Surface(), {0, 0}, TRect(0, 0, control.Width(), control.Height()));
}

// The colours along a row or a column, for a failure message.
inline std::string describe_row(const TBitmap& b, int y, int x0, int x1, int step = 1) {
    std::ostringstream out;
    out << "row " << y << ':';
    for (int x = x0; x < x1; x += step) out << ' ' << std::hex << b.Pixel(x, y);
    return out.str();
}

inline std::string describe_column(const TBitmap& b, int x, int y0, int y1, int step = 1) {
    std::ostringstream out;
    out << "column " << x << ':';
    for (int y = y0; y < y1; y += step) out << ' ' << std::hex << b.Pixel(x, y);
    return out.str();
}

}  // namespace ui::testing
