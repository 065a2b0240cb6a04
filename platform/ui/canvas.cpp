#include "platform/ui/canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/os/file.h"

namespace ui {
namespace {

constexpr double kPi = 3.14159265358979323846;

unsigned to_rgb(TColor color) {
    const TColor c = ColorToRGB(color);
    return (static_cast<unsigned>(GetRValue(c)) << 16) | (static_cast<unsigned>(GetGValue(c)) << 8) |
           static_cast<unsigned>(GetBValue(c));
}

TColor from_rgb(unsigned px) { return RGBToColor((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF); }

void source_color(cairo_t* cr, TColor color) {
    const TColor c = ColorToRGB(color);
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

// On/off runs of the styled thin pens, in pixels.
const std::vector<int>& style_runs(TPenStyle style) {
    static const std::vector<int> dash{18, 6}, dot{3, 3}, dash_dot{9, 6, 3, 6}, dash_dot_dot{9, 3, 3, 3, 3, 3}, solid{};
    switch (style) {
        case psDash: return dash;
        case psDot: return dot;
        case psDashDot: return dash_dot;
        case psDashDotDot: return dash_dot_dot;
        default: return solid;
    }
}

bool hatch_pixel(TBrushStyle style, int x, int y) {
    const int hx = x & 7, hy = y & 7;
    const bool h = hy == 0, v = hx == 0, f = ((hx - hy) & 7) == 0, b = ((hx + hy) & 7) == 7;
    switch (style) {
        case bsHorizontal: return h;
        case bsVertical: return v;
        case bsFDiagonal: return f;
        case bsBDiagonal: return b;
        case bsCross: return h || v;
        case bsDiagCross: return f || b;
        default: return true;
    }
}

}  // namespace

// --- binding and clipping ------------------------------------------------

TCanvas::TCanvas() = default;

TCanvas::~TCanvas() { Unbind(); }

void TCanvas::Bind(cairo_surface_t* surface, TPoint origin, const TRect& bounds) {
    if (surface != surface_) {
        Unbind();
        surface_ = surface;
        if (surface_) {
            cairo_surface_reference(surface_);
            cr_ = cairo_create(surface_);
            cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
            cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        }
    }
    if (!(origin == origin_) || !(bounds == bounds_)) {
        origin_ = origin;
        bounds_ = bounds;
        clip_dirty_ = true;
    }
    if (surface_) {
        const TRect whole{0, 0, cairo_image_surface_get_width(surface_), cairo_image_surface_get_height(surface_)};
        bounds_ = IntersectRect(bounds_, whole);
    }
}

void TCanvas::Unbind() {
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
    cr_ = nullptr;
    surface_ = nullptr;
    clip_dirty_ = true;
}

bool TCanvas::ready() const {
    const_cast<TCanvas*>(this)->Prepare();
    return surface_ != nullptr;
}

TRect TCanvas::device_clip() const { return has_user_clip_ ? IntersectRect(bounds_, user_clip_) : bounds_; }

TRect TCanvas::ClipRect() const {
    ready();
    const TRect c = device_clip();
    if (c.IsEmpty()) return {};
    return c.Offset(-origin_.x, -origin_.y);
}

void TCanvas::SetClipRect(const TRect& r) {
    ready();
    user_clip_ = r.Offset(origin_.x, origin_.y);
    has_user_clip_ = true;
    clip_dirty_ = true;
}

void TCanvas::IntersectClipRect(const TRect& r) {
    ready();
    const TRect d = r.Offset(origin_.x, origin_.y);
    user_clip_ = has_user_clip_ ? IntersectRect(user_clip_, d) : d;
    has_user_clip_ = true;
    clip_dirty_ = true;
}

void TCanvas::ResetClip() {
    has_user_clip_ = false;
    clip_dirty_ = true;
}

cairo_t* TCanvas::context() {
    if (clip_dirty_) {
        cairo_reset_clip(cr_);
        const TRect c = device_clip();
        cairo_rectangle(cr_, c.Left, c.Top, std::max(0, c.Width()), std::max(0, c.Height()));
        cairo_clip(cr_);
        clip_dirty_ = false;
    }
    return cr_;
}

// --- pixels --------------------------------------------------------------

void TCanvas::begin_pixels() {
    cairo_surface_flush(surface_);
    pixels_ = cairo_image_surface_get_data(surface_);
    stride_ = cairo_image_surface_get_stride(surface_);
}

void TCanvas::end_pixels() {
    cairo_surface_mark_dirty(surface_);
    pixels_ = nullptr;
}

void TCanvas::plot(int x, int y, unsigned rgb) {
    auto* p = reinterpret_cast<std::uint32_t*>(pixels_ + static_cast<std::ptrdiff_t>(y) * stride_) + x;
    switch (pen_.Mode()) {
        case pmCopy: *p = 0xFF000000u | rgb; break;
        case pmNot: *p = 0xFF000000u | (~*p & 0xFFFFFFu); break;
        case pmXor: *p = 0xFF000000u | ((*p ^ rgb) & 0xFFFFFFu); break;
        case pmNotXor: *p = 0xFF000000u | (~(*p ^ rgb) & 0xFFFFFFu); break;
        case pmBlack: *p = 0xFF000000u; break;
        case pmWhite: *p = 0xFFFFFFFFu; break;
        case pmNop: break;
    }
}

TColor TCanvas::Pixel(int x, int y) const {
    if (!ready()) return clBlack;
    const int dx = x + origin_.x, dy = y + origin_.y;
    if (!bounds_.Contains({dx, dy})) return clBlack;
    cairo_surface_flush(surface_);
    const auto* row = cairo_image_surface_get_data(surface_) +
                      static_cast<std::ptrdiff_t>(dy) * cairo_image_surface_get_stride(surface_);
    return from_rgb(reinterpret_cast<const std::uint32_t*>(row)[dx]);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (!ready()) return;
    const int dx = x + origin_.x, dy = y + origin_.y;
    if (!device_clip().Contains({dx, dy})) return;
    begin_pixels();
    auto* p = reinterpret_cast<std::uint32_t*>(pixels_ + static_cast<std::ptrdiff_t>(dy) * stride_) + dx;
    *p = 0xFF000000u | to_rgb(color);
    end_pixels();
}

// --- lines ---------------------------------------------------------------

void TCanvas::MoveTo(int x, int y) {
    pen_pos_ = {x, y};
    style_pos_ = 0;
}

void TCanvas::LineTo(int x, int y) {
    const TPoint from = pen_pos_;
    pen_pos_ = {x, y};
    if (!ready() || pen_.Style() == psClear) return;
    if (pen_.Width() <= 1) {
        begin_pixels();
        thin_line(from.x, from.y, x, y);
        end_pixels();
    } else {
        wide_path_stroke({from, {x, y}}, false);
    }
}

// One thin segment without its last pixel, continuing the pen's pattern.
void TCanvas::thin_line(int x1, int y1, int x2, int y2) {
    const TRect clip = device_clip();
    const int ax = x1 + origin_.x, ay = y1 + origin_.y, bx = x2 + origin_.x, by = y2 + origin_.y;
    const long long steps =
        std::max(std::llabs(static_cast<long long>(bx) - ax), std::llabs(static_cast<long long>(by) - ay));
    const auto& runs = style_runs(pen_.Style());
    // A segment wholly on one side of the clip touches nothing; only the
    // pattern moves on.
    if ((ax < clip.Left && bx < clip.Left) || (ax >= clip.Right && bx >= clip.Right) ||
        (ay < clip.Top && by < clip.Top) || (ay >= clip.Bottom && by >= clip.Bottom) || clip.IsEmpty()) {
        style_pos_ = static_cast<int>((style_pos_ + steps) % 1000000007LL);
        return;
    }
    const unsigned ink = to_rgb(pen_.Color());
    if (runs.empty() && pen_.Mode() == pmCopy && clip.Contains({ax, ay}) && clip.Contains({bx, by})) {
        // The common case of charts: a solid line wholly inside the clip.
        const std::uint32_t px = 0xFF000000u | ink;
        LineDDA(ax, ay, bx, by, [&](int x, int y) {
            reinterpret_cast<std::uint32_t*>(pixels_ + static_cast<std::ptrdiff_t>(y) * stride_)[x] = px;
        });
        return;
    }
    if (runs.empty()) {
        LineDDA(ax, ay, bx, by, [&](int x, int y) {
            if (x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom) plot(x, y, ink);
        });
        return;
    }
    int period = 0;
    for (int r : runs) period += r;
    const bool gaps = brush_.Style() == bsSolid;
    const unsigned paper = to_rgb(brush_.Color());
    LineDDA(ax, ay, bx, by, [&](int x, int y) {
        int pos = style_pos_ % period;
        ++style_pos_;
        bool on = true;
        for (int r : runs) {
            if (pos < r) break;
            pos -= r;
            on = !on;
        }
        if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom) return;
        if (on) {
            plot(x, y, ink);
        } else if (gaps) {
            auto* p = reinterpret_cast<std::uint32_t*>(pixels_ + static_cast<std::ptrdiff_t>(y) * stride_) + x;
            *p = 0xFF000000u | paper;
        }
    });
}

void TCanvas::wide_path_stroke(const std::vector<TPoint>& points, bool closed) {
    cairo_t* cr = context();
    cairo_new_path(cr);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double x = points[i].x + origin_.x + 0.5, y = points[i].y + origin_.y + 0.5;
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    if (closed) cairo_close_path(cr);
    const double w = pen_.Width();
    cairo_set_line_width(cr, w);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    const auto& runs = style_runs(pen_.Style());
    if (!runs.empty()) {
        std::vector<double> dashes;
        for (int r : runs) dashes.push_back(r * w / 3.0);
        cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    }
    source_color(cr, pen_.Color());
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

void TCanvas::Polyline(const TPoint* points, int count) {
    if (count <= 0) return;
    pen_pos_ = points[count - 1];
    if (!ready() || pen_.Style() == psClear || count < 2) return;
    if (pen_.Width() <= 1) {
        style_pos_ = 0;
        begin_pixels();
        for (int i = 1; i < count; ++i) thin_line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
        end_pixels();
    } else {
        wide_path_stroke(std::vector<TPoint>(points, points + count), false);
    }
}

void TCanvas::outline_polygon(const TPoint* points, int count, bool closed) {
    if (pen_.Style() == psClear || count < 2) return;
    if (pen_.Width() <= 1) {
        style_pos_ = 0;
        begin_pixels();
        for (int i = 1; i < count; ++i) thin_line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
        if (closed) thin_line(points[count - 1].x, points[count - 1].y, points[0].x, points[0].y);
        end_pixels();
    } else {
        wide_path_stroke(std::vector<TPoint>(points, points + count), closed);
    }
}

// --- fills and shapes -------------------------------------------------------

bool TCanvas::brush_fills() const { return brush_.Style() != bsClear; }

void TCanvas::set_fill_source() {
    cairo_t* cr = context();
    if (brush_.Style() == bsSolid) {
        source_color(cr, brush_.Color());
        return;
    }
    // Hatches: an 8 x 8 tile fixed to the surface's origin, transparent
    // between its lines.
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_surface_flush(tile);
    unsigned char* data = cairo_image_surface_get_data(tile);
    const int stride = cairo_image_surface_get_stride(tile);
    const unsigned ink = 0xFF000000u | to_rgb(brush_.Color());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = hatch_pixel(brush_.Style(), x, y) ? ink : 0u;
    cairo_surface_mark_dirty(tile);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(tile);
}

void TCanvas::FillRect(const TRect& r) {
    if (!ready() || !brush_fills() || r.IsEmpty()) return;
    cairo_t* cr = context();
    set_fill_source();
    cairo_new_path(cr);
    cairo_rectangle(cr, r.Left + origin_.x, r.Top + origin_.y, r.Width(), r.Height());
    cairo_fill(cr);
}

void TCanvas::FrameRect(const TRect& r) {
    if (!ready() || r.IsEmpty()) return;
    if (brush_.Style() == bsClear) return;
    FillRect({r.Left, r.Top, r.Right, r.Top + 1});
    FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    FillRect({r.Left, r.Top, r.Left + 1, r.Bottom});
    FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (!ready()) return;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    if (pen_.Style() == psClear) {
        FillRect({x1, y1, x2 - 1, y2 - 1});
        return;
    }
    if (pen_.Width() <= 1) {
        FillRect({x1 + 1, y1 + 1, x2 - 1, y2 - 1});
        const TPoint pts[] = {{x1, y1}, {x2 - 1, y1}, {x2 - 1, y2 - 1}, {x1, y2 - 1}};
        outline_polygon(pts, 4, true);
    } else {
        FillRect({x1, y1, x2, y2});
        const TPoint pts[] = {{x1, y1}, {x2 - 1, y1}, {x2 - 1, y2 - 1}, {x1, y2 - 1}};
        outline_polygon(pts, 4, true);
    }
}

void TCanvas::Polygon(const TPoint* points, int count) {
    if (!ready() || count < 2) return;
    if (brush_fills() && count >= 3) {
        cairo_t* cr = context();
        set_fill_source();
        cairo_new_path(cr);
        // The fill follows pixel edges, so a clear pen leaves out the right and
        // bottom edges as the stations' screens did.
        cairo_move_to(cr, points[0].x + origin_.x, points[0].y + origin_.y);
        for (int i = 1; i < count; ++i) cairo_line_to(cr, points[i].x + origin_.x, points[i].y + origin_.y);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    outline_polygon(points, count, true);
}

namespace {

void ellipse_path(cairo_t* cr, double cx, double cy, double rx, double ry) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, std::max(rx, 0.01), std::max(ry, 0.01));
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
}

void round_rect_path(cairo_t* cr, double x1, double y1, double x2, double y2, double rx, double ry) {
    rx = std::min(rx, (x2 - x1) / 2);
    ry = std::min(ry, (y2 - y1) / 2);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, x1, y1, x2 - x1, y2 - y1);
        return;
    }
    auto corner = [&](double cx, double cy, double a1, double a2) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, a1, a2);
        cairo_restore(cr);
    };
    cairo_new_sub_path(cr);
    corner(x2 - rx, y1 + ry, -kPi / 2, 0);
    corner(x2 - rx, y2 - ry, 0, kPi / 2);
    corner(x1 + rx, y2 - ry, kPi / 2, kPi);
    corner(x1 + rx, y1 + ry, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

}  // namespace

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (!ready()) return;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    cairo_t* cr = context();
    const double ox = origin_.x, oy = origin_.y;
    if (brush_fills()) {
        set_fill_source();
        cairo_new_path(cr);
        const double shrink = pen_.Style() == psClear ? 1 : 0;
        ellipse_path(cr, ox + (x1 + x2 - shrink) / 2.0, oy + (y1 + y2 - shrink) / 2.0, (x2 - x1 - shrink) / 2.0,
                     (y2 - y1 - shrink) / 2.0);
        cairo_fill(cr);
    }
    if (pen_.Style() != psClear) {
        cairo_new_path(cr);
        ellipse_path(cr, ox + (x1 + x2) / 2.0, oy + (y1 + y2) / 2.0, (x2 - x1 - 1) / 2.0, (y2 - y1 - 1) / 2.0);
        cairo_set_line_width(cr, pen_.Width());
        source_color(cr, pen_.Color());
        cairo_stroke(cr);
    }
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int corner_width, int corner_height) {
    if (!ready()) return;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    cairo_t* cr = context();
    const double ox = origin_.x, oy = origin_.y;
    if (brush_fills()) {
        set_fill_source();
        cairo_new_path(cr);
        round_rect_path(cr, ox + x1, oy + y1, ox + x2 - (pen_.Style() == psClear ? 1 : 0),
                        oy + y2 - (pen_.Style() == psClear ? 1 : 0), corner_width / 2.0, corner_height / 2.0);
        cairo_fill(cr);
    }
    if (pen_.Style() != psClear) {
        cairo_new_path(cr);
        round_rect_path(cr, ox + x1 + 0.5, oy + y1 + 0.5, ox + x2 - 0.5, oy + y2 - 0.5, corner_width / 2.0,
                        corner_height / 2.0);
        cairo_set_line_width(cr, pen_.Width());
        source_color(cr, pen_.Color());
        cairo_stroke(cr);
    }
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    if (!ready() || pen_.Style() == psClear) return;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    cairo_t* cr = context();
    const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
    const double rx = std::max((x2 - x1 - 1) / 2.0, 0.01), ry = std::max((y2 - y1 - 1) / 2.0, 0.01);
    // Angles of the rays in the circle the ellipse is scaled from.
    const double a1 = std::atan2((y3 - cy) / ry, (x3 - cx) / rx);
    double a2 = std::atan2((y4 - cy) / ry, (x4 - cx) / rx);
    if (a2 >= a1) a2 -= 2 * kPi;
    cairo_new_path(cr);
    cairo_save(cr);
    cairo_translate(cr, cx + origin_.x, cy + origin_.y);
    cairo_scale(cr, rx, ry);
    cairo_arc_negative(cr, 0, 0, 1, a1, a2);
    cairo_restore(cr);
    cairo_set_line_width(cr, pen_.Width());
    source_color(cr, pen_.Color());
    cairo_stroke(cr);
}

void TCanvas::DrawFocusRect(const TRect& r) {
    if (!ready() || r.IsEmpty()) return;
    const TRect clip = device_clip();
    begin_pixels();
    auto flip = [&](int x, int y) {
        const int dx = x + origin_.x, dy = y + origin_.y;
        if (!clip.Contains({dx, dy}) || ((x + y) & 1)) return;
        auto* p = reinterpret_cast<std::uint32_t*>(pixels_ + static_cast<std::ptrdiff_t>(dy) * stride_) + dx;
        *p = 0xFF000000u | (~*p & 0xFFFFFFu);
    };
    for (int x = r.Left; x < r.Right; ++x) {
        flip(x, r.Top);
        if (r.Bottom - 1 != r.Top) flip(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        flip(r.Left, y);
        if (r.Right - 1 != r.Left) flip(r.Right - 1, y);
    }
    end_pixels();
}

// --- bitmaps on canvases -----------------------------------------------------

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    if (!ready() || bitmap.Empty()) return;
    cairo_t* cr = context();
    cairo_set_source_surface(cr, bitmap.Surface(), x + origin_.x, y + origin_.y);
    cairo_new_path(cr);
    cairo_rectangle(cr, x + origin_.x, y + origin_.y, bitmap.Width(), bitmap.Height());
    cairo_fill(cr);
}

void TCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
    if (!ready() || bitmap.Empty() || r.IsEmpty()) return;
    cairo_t* cr = context();
    cairo_save(cr);
    cairo_translate(cr, r.Left + origin_.x, r.Top + origin_.y);
    cairo_scale(cr, static_cast<double>(r.Width()) / bitmap.Width(), static_cast<double>(r.Height()) / bitmap.Height());
    cairo_set_source_surface(cr, bitmap.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, bitmap.Width(), bitmap.Height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& source_rect) {
    if (!ready() || !source.ready() || dest.IsEmpty() || source_rect.IsEmpty()) return;
    // Copy through a snapshot so that source and destination may overlap.
    cairo_surface_flush(source.surface_);
    cairo_surface_t* snap = cairo_image_surface_create(CAIRO_FORMAT_RGB24, source_rect.Width(), source_rect.Height());
    cairo_t* sc = cairo_create(snap);
    cairo_set_source_surface(sc, source.surface_, -(source_rect.Left + source.origin_.x),
                             -(source_rect.Top + source.origin_.y));
    cairo_set_operator(sc, CAIRO_OPERATOR_SOURCE);
    cairo_paint(sc);
    cairo_destroy(sc);
    cairo_t* cr = context();
    cairo_save(cr);
    cairo_translate(cr, dest.Left + origin_.x, dest.Top + origin_.y);
    cairo_scale(cr, static_cast<double>(dest.Width()) / source_rect.Width(),
                static_cast<double>(dest.Height()) / source_rect.Height());
    cairo_set_source_surface(cr, snap, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, source_rect.Width(), source_rect.Height());
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(snap);
}

// --- TBitmap -------------------------------------------------------------

class TBitmap::BitmapCanvas : public TCanvas {
public:
    explicit BitmapCanvas(TBitmap& owner) : owner_(owner) {}
    void Rebind() { Bind(owner_.surface_, {0, 0}, {0, 0, owner_.width_, owner_.height_}); }

private:
    TBitmap& owner_;
};

TBitmap::TBitmap() : TBitmap(0, 0) {}

TBitmap::TBitmap(int width, int height) : canvas_(std::make_unique<BitmapCanvas>(*this)) { SetSize(width, height); }

TBitmap::~TBitmap() {
    canvas_.reset();
    if (surface_) cairo_surface_destroy(surface_);
}

void TBitmap::replace_surface(cairo_surface_t* s) {
    if (surface_) cairo_surface_destroy(surface_);
    surface_ = s;
    width_ = cairo_image_surface_get_width(s);
    height_ = cairo_image_surface_get_height(s);
    canvas_->Rebind();
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (surface_ && width == width_ && height == height_) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        throw std::runtime_error("TBitmap::SetSize: can't make a bitmap of " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels");
    }
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (surface_) {
        cairo_set_source_surface(cr, surface_, 0, 0);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    replace_surface(s);
}

void TBitmap::Assign(const TBitmap& other) {
    if (this == &other) return;
    SetSize(0, 0);
    SetSize(other.width_, other.height_);
    cairo_t* cr = cairo_create(surface_);
    cairo_set_source_surface(cr, other.surface_, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    canvas_->Rebind();
}

TCanvas& TBitmap::Canvas() { return *canvas_; }

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return clBlack;
    cairo_surface_flush(surface_);
    const auto* row = cairo_image_surface_get_data(surface_) +
                      static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface_);
    return from_rgb(reinterpret_cast<const std::uint32_t*>(row)[x]);
}

void TBitmap::SaveToFile(const std::string& path) const {
    cairo_surface_flush(surface_);
    if (Empty()) throw std::runtime_error("TBitmap::SaveToFile: '" + path + "': the bitmap is empty");
    // The picture is made in memory and stored through the file layer, so
    // that a picture is replaced whole or not at all and a failure names its
    // cause (cairo's own writer says only "error while writing").
    std::string bytes;
    const cairo_status_t st = cairo_surface_write_to_png_stream(
        surface_,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    if (st != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("TBitmap::SaveToFile: can't write '" + path + "': " + cairo_status_to_string(st));
    if (const int error = os::replace_file(path, bytes); error != 0)
        throw std::runtime_error("TBitmap::SaveToFile: can't write '" + path + "': " + std::strerror(error));
}

void TBitmap::LoadFromFile(const std::string& path) {
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    const cairo_status_t st = cairo_surface_status(png);
    if (st != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(png);
        throw std::runtime_error("TBitmap::LoadFromFile: can't read '" + path + "': " + cairo_status_to_string(st));
    }
    const int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_surface(cr, png, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(png);
    replace_surface(s);
}

}  // namespace ui
