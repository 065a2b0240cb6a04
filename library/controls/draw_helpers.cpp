#include "library/controls/draw_helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lib {
namespace {

constexpr int kPiece = 2047;

std::uint32_t mask_of(ui::TPenStyle style) {
    switch (style) {
        case ui::psDash: return 0x00FFFFFFu;
        case ui::psDot: return 0x07070707u;
        case ui::psDashDot: return 0x070FFFFFu;
        case ui::psDashDotDot: return 0x07070FFFu;
        default: return 0xFFFFFFFFu;
    }
}

// The walking state of one patterned polyline: it lives for one call, so
// calls never disturb each other.
class PatternWalker {
public:
    PatternWalker(ui::TCanvas* canvas, int scale)
        : canvas_(canvas), mask_(mask_of(canvas->Pen().Style())), scale_(scale) {}

    void segment(ui::TPoint a, ui::TPoint b) {
        ui::TPoint last = a;
        bool visited = false;
        ui::LineDDA(a.x, a.y, b.x, b.y, [&](int x, int y) {
            const long long bit = (counter_ * 50 / scale_) % 32;
            ++counter_;
            const bool on = (mask_ >> bit) & 1u;
            if (on && !open_) {
                open_ = true;
                start_ = {x, y};
            } else if (!on && open_) {
                open_ = false;
                dash(start_, {x, y});
            }
            last = {x, y};
            visited = true;
        });
        // A dash still open at the vertex is drawn up to and including the last
        // pixel walked, and goes on from the vertex in the next segment.
        if (open_ && visited) {
            dash(start_, b);
            start_ = b;
        }
        (void)last;
    }

private:
    void dash(ui::TPoint from, ui::TPoint to) {
        // Dashes are solid whatever the pen's own style: the mask is the pattern.
        ui::TPen& pen = canvas_->Pen();
        const ui::TPenStyle style = pen.Style();
        pen.SetStyle(ui::psSolid);
        canvas_->MoveTo(from.x, from.y);
        canvas_->LineTo(to.x, to.y);
        pen.SetStyle(style);
    }

    ui::TCanvas* canvas_;
    std::uint32_t mask_;
    int scale_;
    long long counter_ = 0;
    bool open_ = false;
    ui::TPoint start_;
};

bool plain(ui::TCanvas* canvas, int scale) { return canvas->Pen().Style() == ui::psSolid && scale < 30; }

// A line that ends on its last pixel too (the run lines of a curve).
void line_through(ui::TCanvas* canvas, ui::TPoint a, ui::TPoint b) {
    canvas->MoveTo(a.x, a.y);
    canvas->LineTo(b.x, b.y);
    const int dx = b.x > a.x ? 1 : b.x < a.x ? -1 : 0;
    const int dy = b.y > a.y ? 1 : b.y < a.y ? -1 : 0;
    canvas->LineTo(b.x + (dx || dy ? dx : 1), b.y + dy);
}

struct Run {
    int first;  // index of the point before the first point of the run
    int last;
    ui::TPoint low;   // smallest x and y covered
    ui::TPoint high;  // largest x and y covered
};

// Runs of more than 4 points that each lie on the vertical (or horizontal)
// line of their predecessor.
void find_runs(const std::vector<ui::TPoint>& p, std::vector<Run>& runs) {
    runs.clear();
    const int n = static_cast<int>(p.size());
    int i = 1;
    while (i < n) {
        const bool vertical = p[i].x == p[i - 1].x;
        const bool horizontal = p[i].y == p[i - 1].y;
        if (!vertical && !horizontal) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < n && (vertical ? p[j + 1].x == p[j].x : p[j + 1].y == p[j].y)) ++j;
        if (j - i + 1 > 4) {
            Run r{i - 1, j, p[i - 1], p[i - 1]};
            for (int k = i; k <= j; ++k) {
                r.low = {std::min(r.low.x, p[k].x), std::min(r.low.y, p[k].y)};
                r.high = {std::max(r.high.x, p[k].x), std::max(r.high.y, p[k].y)};
            }
            runs.push_back(r);
        }
        i = j + 1;
    }
}

}  // namespace

void line(ui::TCanvas* canvas, int x1, int y1, int x2, int y2) {
    if (!canvas) return;
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
}

void win9x_poly_line(ui::TCanvas* canvas, const ui::TPoint* points, int n) {
    if (!canvas || !points || n < 2 || canvas->Pen().Style() == ui::psClear) return;
    while (n >= kPiece) {
        canvas->Polyline(points, kPiece);
        points += kPiece - 1;
        n -= kPiece - 1;
    }
    if (n > 1) canvas->Polyline(points, n);
}

void special_line(ui::TCanvas* canvas, int x1, int y1, int x2, int y2, int scale) {
    const ui::TPoint p[] = {{x1, y1}, {x2, y2}};
    special_polyline(canvas, p, 2, scale);
}

void special_polyline(ui::TCanvas* canvas, const ui::TPoint* points, int n, int scale) {
    if (!canvas || !points || n < 2 || canvas->Pen().Style() == ui::psClear) return;
    if (plain(canvas, scale)) {
        win9x_poly_line(canvas, points, n);
        return;
    }
    // A scale below 1 would divide by zero; it draws as the finest pattern.
    PatternWalker walker(canvas, std::max(1, scale));
    for (int i = 1; i < n; ++i) walker.segment(points[i - 1], points[i]);
}

void remove_equal_points(const std::vector<ui::TPoint>& in, std::vector<ui::TPoint>& out) {
    out.clear();
    if (in.empty()) return;
    out.push_back(in.front());
    for (std::size_t i = 1; i < in.size(); ++i)
        if (!(in[i] == out.back())) out.push_back(in[i]);
    out.push_back(in.back());
}

void smart_draw_points(const std::vector<ui::TPoint>& points, ui::TCanvas* canvas, const ui::TRect& area, bool fill,
                       float scale) {
    if (!canvas || points.empty() || canvas->Pen().Style() == ui::psClear) return;
    // The work lists are reused from call to call on each thread, so that a
    // repaint of a long curve allocates nothing.
    thread_local std::vector<ui::TPoint> work;
    thread_local std::vector<ui::TPoint> polygon;
    thread_local std::vector<Run> runs;
    remove_equal_points(points, work);
    // One point gives two equal points: drawn as that single pixel.
    if (work.size() == 2 && work[0] == work[1]) work[1].x += 1;

    if (fill) {
        polygon.clear();
        polygon.push_back({area.Left, work.front().y});
        polygon.insert(polygon.end(), work.begin(), work.end());
        polygon.push_back({area.Left, work.back().y});
        ui::TPen& pen = canvas->Pen();
        const ui::TPenStyle style = pen.Style();
        canvas->Brush().SetColor(pen.Color());
        pen.SetStyle(ui::psClear);
        canvas->Polygon(polygon.data(), static_cast<int>(polygon.size()));
        pen.SetStyle(style);
    }

    const int n = static_cast<int>(work.size());
    if (canvas->Pen().Style() != ui::psSolid) {
        special_polyline(canvas, work.data(), n, static_cast<int>(scale));
        return;
    }
    find_runs(work, runs);
    int from = 0;
    for (const Run& r : runs) {
        win9x_poly_line(canvas, work.data() + from, r.first - from + 1);
        line_through(canvas, r.high, r.low);
        from = r.last;
    }
    win9x_poly_line(canvas, work.data() + from, n - from);
}

void draw_check(ui::TCanvas* canvas, const ui::TRect& r, ui::TColor color, int pen_width, int margin) {
    if (!canvas) return;
    const int side = std::min(r.Width(), r.Height());
    const int left = r.Left + (r.Width() - side) / 2, top = r.Top + (r.Height() - side) / 2;
    const int right = left + side, bottom = top + side;
    const int hmid = left + side / 2, vmid = top + side / 2;
    canvas->Pen().SetColor(color);
    canvas->Pen().SetWidth(pen_width);
    canvas->MoveTo(left + margin, vmid);
    canvas->LineTo(hmid, bottom - margin);
    canvas->LineTo(right - margin, top + margin);
}

void draw_arrow(ui::TCanvas* canvas, int x, int y, int length, int head, float head_angle, float angle) {
    if (!canvas) return;
    auto round = [](double v) { return static_cast<int>(v + 0.5); };
    const int half = length / 2;
    const double c = std::cos(angle), s = std::sin(angle);
    const double tip_x = x + c * half, tip_y = y - s * half;
    const int tx = round(tip_x), ty = round(tip_y);
    canvas->MoveTo(round(x - c * half), round(y + s * half));
    canvas->LineTo(tx, ty);
    for (const double a : {static_cast<double>(angle) - head_angle, static_cast<double>(angle) + head_angle}) {
        canvas->MoveTo(tx, ty);
        canvas->LineTo(round(tip_x - std::cos(a) * head), round(tip_y + std::sin(a) * head));
    }
}

void draw_gradient(ui::TCanvas* canvas, const ui::TRect& r, ui::TColor from, ui::TColor to) {
    const int width = r.Width();
    if (!canvas || width < 2) return;
    const int n = std::min(32, width);
    int fr = 0, fg = 0, fb = 0, tr = 0, tg = 0, tb = 0;
    color_to_rgb(from, fr, fg, fb);
    color_to_rgb(to, tr, tg, tb);
    canvas->Brush().SetStyle(ui::bsSolid);
    for (int i = 0; i < n; ++i) {
        canvas->Brush().SetColor(
            rgb_to_color(fr + (tr - fr) * i / (n - 1), fg + (tg - fg) * i / (n - 1), fb + (tb - fb) * i / (n - 1)));
        canvas->FillRect(ui::Rect(r.Left + i * width / n, r.Top, r.Left + (i + 1) * width / n, r.Bottom));
    }
}

void calc_text_dims(ui::TCanvas* canvas, const AnsiString& text, int& width, int& height) {
    ui::TRect r;
    const int measured = canvas ? canvas->DrawText(text, r, ui::DT_CALCRECT) : 0;
    if (measured == 0) {
        width = height = -1;
        return;
    }
    width = r.Right + 2;
    height = r.Height();
}

void color_to_rgb(ui::TColor color, int& r, int& g, int& b) {
    const ui::TColor c = ui::ColorToRGB(color);
    r = c & 0xFF;
    g = (c >> 8) & 0xFF;
    b = (c >> 16) & 0xFF;
}

ui::TColor rgb_to_color(int r, int g, int b) { return r + g * 256 + b * 65536; }

ui::TColor get_inverse_color(ui::TColor color) {
    int r = 0, g = 0, b = 0;
    color_to_rgb(color, r, g, b);
    return 0.3 * r + 0.5 * g + 0.2 * b >= 120 ? 0 : 0xFFFFFF;
}

ui::TColor transform_color_light(ui::TColor base, int delta, ui::TColor other) {
    int br = 0, bg = 0, bb = 0, orr = 0, og = 0, ob = 0;
    color_to_rgb(base, br, bg, bb);
    color_to_rgb(other, orr, og, ob);
    auto part = [delta](int b, int o) { return std::clamp(delta + b + std::max(o - 64, 0) / 4, 0, 255); };
    return rgb_to_color(part(br, orr), part(bg, og), part(bb, ob));
}

}  // namespace lib
