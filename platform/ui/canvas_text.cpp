// Text on the canvas: TextOut, measuring and DrawText.
#include <cairo.h>

#include <algorithm>

#include "platform/ui/canvas.h"
#include "platform/ui/text_engine.h"

namespace ui {
namespace {

struct Prefixed {
    std::string text;
    int underline = -1;  // byte offset of the underlined character
};

// "&x" marks x as the accelerator (underlined); "&&" is a plain "&".
Prefixed strip_prefix(std::string_view s) {
    Prefixed p;
    p.text.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            p.text += s[i];
            continue;
        }
        if (i + 1 >= s.size()) break;
        if (s[i + 1] == '&') {
            p.text += '&';
            ++i;
            continue;
        }
        if (p.underline < 0) p.underline = static_cast<int>(p.text.size());
    }
    return p;
}

}  // namespace

TSize TCanvas::TextExtent(std::string_view text) const {
    text_engine::Layout l(font_, text, true);
    return l.Size();
}

int TCanvas::TextWidth(std::string_view text) const { return TextExtent(text).cx; }

int TCanvas::TextHeight(std::string_view text) const { return TextExtent(text).cy; }

void TCanvas::fill_device_rect(const TRect& d) {
    cairo_t* cr = context();
    const TColor c = ColorToRGB(brush_.Color());
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
    cairo_new_path(cr);
    cairo_rectangle(cr, d.Left, d.Top, d.Width(), d.Height());
    cairo_fill(cr);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
    text_engine::Layout l(font_, text, true);
    const TSize size = l.Size();
    if (ready()) {
        const int dx = x + origin_.x, dy = y + origin_.y;
        if (brush_.Style() == bsSolid) fill_device_rect({dx, dy, dx + size.cx, dy + size.cy});
        l.Draw(context(), dx, dy, font_.Color());
    }
    pen_pos_ = {x + size.cx, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
    if (!ready()) return;
    const bool had_clip = has_user_clip_;
    const TRect saved = user_clip_;
    IntersectClipRect(r);
    if (brush_.Style() == bsSolid) FillRect(r);
    text_engine::Layout l(font_, text, true);
    l.Draw(context(), x + origin_.x, y + origin_.y, font_.Color());
    has_user_clip_ = had_clip;
    user_clip_ = saved;
    clip_dirty_ = true;
}

int TCanvas::DrawText(std::string_view text, TRect& r, unsigned flags) {
    Prefixed p;
    if (flags & DT_NOPREFIX)
        p.text = std::string(text);
    else
        p = strip_prefix(text);
    const bool single = (flags & DT_SINGLELINE) != 0;
    if (single)
        std::replace_if(
            p.text.begin(), p.text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');

    const bool calc = (flags & DT_CALCRECT) != 0;
    const bool ellipsis = (flags & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) != 0;
    const bool wrap = (flags & DT_WORDBREAK) != 0 && !single;
    const int width = r.Width(), height = r.Height();

    text_engine::Layout l(font_, p.text, single);
    if (p.underline >= 0) l.UnderlineAt(p.underline);
    if (wrap) {
        l.WrapTo(width);
        // A wrapped text that is too tall loses its last lines, the last one
        // shown ending in "…"; measuring still reports the whole text.
        if (ellipsis && !calc) l.EllipsizeTo(width, height);
    } else if (ellipsis) {
        l.EllipsizeTo(width);
    }
    const std::vector<text_engine::LineBox> lines = l.Lines();
    int text_width = 0;
    for (const auto& line : lines) text_width = std::max(text_width, line.width);
    const int text_height = l.Size().cy;

    if (calc) {
        r.Right = r.Left + text_width;
        r.Bottom = r.Top + text_height;
        return text_height;
    }
    if (!ready()) return text_height;

    int top = r.Top;
    if (single && (flags & DT_VCENTER))
        top = r.Top + (height - text_height) / 2;
    else if (single && (flags & DT_BOTTOM))
        top = r.Bottom - text_height;

    const bool had_clip = has_user_clip_;
    const TRect saved = user_clip_;
    if (!(flags & DT_NOCLIP)) IntersectClipRect(r);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        int x = r.Left;
        if (flags & DT_CENTER)
            x = r.Left + (width - line.width) / 2;
        else if (flags & DT_RIGHT)
            x = r.Right - line.width;
        const int dx = x + origin_.x, dy = top + line.top + origin_.y;
        if (brush_.Style() == bsSolid) fill_device_rect({dx, dy, dx + line.width, dy + line.height});
        l.DrawLine(context(), static_cast<int>(i), dx, dy, font_.Color());
    }
    has_user_clip_ = had_clip;
    user_clip_ = saved;
    clip_dirty_ = true;
    return text_height;
}

}  // namespace ui
