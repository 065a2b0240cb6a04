#pragma once
// The canvas every window, chart and grid draws on, and the off-screen
// bitmaps behind it. Drawing is pixel-exact where the stations' pictures
// depend on it:
//  - thin lines (pen width 1) are walked pixel by pixel and leave out their
//    last pixel, so a polyline draws each vertex once and MoveTo/LineTo
//    chains join without overlap; styled thin pens repeat the patterns dash
//    18 on 6 off, dot 3/3, dash-dot 9/6/3/6 and dash-dot-dot 9/3/3/3/3/3, and
//    fill their gaps with the brush colour while the brush is solid;
//  - shapes are filled without anti-aliasing; a rectangle (x1, y1, x2, y2)
//    covers columns x1 .. x2-1, one less each way when the pen is clear;
//  - text is drawn with pango in the canvas font (see graphics.h for the
//    Windows names), on the brush colour while the brush is solid.
// Coordinates are the canvas owner's own (a control's top-left is 0, 0).

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/graphics.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;

namespace ui {

class TBitmap;

// DrawText flags.
constexpr unsigned DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
                   DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100,
                   DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800, DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
                   DT_WORD_ELLIPSIS = 0x40000;

// Walks the pixels of the segment from (x1, y1) to (x2, y2) and calls
// visit(x, y) for each of them except the last, in order from the first
// point. Every thin line of the canvas is drawn with this walker.
template <typename Visit>
void LineDDA(int x1, int y1, int x2, int y2, Visit&& visit) {
    const long long dx = x2 > x1 ? static_cast<long long>(x2) - x1 : static_cast<long long>(x1) - x2;
    const long long dy = -(y2 > y1 ? static_cast<long long>(y2) - y1 : static_cast<long long>(y1) - y2);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    long long err = dx + dy;
    int x = x1, y = y1;
    while (x != x2 || y != y2) {
        visit(x, y);
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

class TCanvas {
public:
    TCanvas();
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    const TPen& Pen() const { return pen_; }
    const TBrush& Brush() const { return brush_; }
    const TFont& Font() const { return font_; }

    TPoint PenPos() const { return pen_pos_; }
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const TPoint* points, int count);
    void Polyline(std::initializer_list<TPoint> points) { Polyline(points.begin(), static_cast<int>(points.size())); }
    // Filled with the brush (alternate filling), outlined with the pen.
    void Polygon(const TPoint* points, int count);
    void Polygon(std::initializer_list<TPoint> points) { Polygon(points.begin(), static_cast<int>(points.size())); }

    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);   // the brush over the whole rectangle
    void FrameRect(const TRect& r);  // a one-pixel border in the brush colour
    void RoundRect(int x1, int y1, int x2, int y2, int corner_width, int corner_height);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    // The part of the ellipse in the box from the ray through (x3, y3) to the
    // ray through (x4, y4), counter-clockwise on the screen.
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    // A dotted rectangle that inverts the pixels; drawing it twice removes it.
    void DrawFocusRect(const TRect& r);

    // Text at (x, y) (its top-left); moves the pen position to its right end.
    void TextOut(int x, int y, std::string_view text);
    // Text at (x, y) clipped to r; a non-clear brush fills r first.
    void TextRect(const TRect& r, int x, int y, std::string_view text);
    int TextWidth(std::string_view text) const;
    int TextHeight(std::string_view text) const;
    TSize TextExtent(std::string_view text) const;
    // Formatted text in r (DT_* flags). "&x" underlines x and "&&" is "&"
    // unless DT_NOPREFIX. With DT_CALCRECT nothing is drawn: r's right and
    // bottom become those of the text (wrapped to r's width with
    // DT_WORDBREAK). Returns the height of the text.
    int DrawText(std::string_view text, TRect& r, unsigned flags);

    TColor Pixel(int x, int y) const;  // clBlack outside the canvas
    void SetPixel(int x, int y, TColor color);

    void Draw(int x, int y, const TBitmap& bitmap);
    void StretchDraw(const TRect& r, const TBitmap& bitmap);
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& source_rect);

    // Clipping: the canvas area, narrowed by SetClipRect/IntersectClipRect
    // until ResetClip.
    TRect ClipRect() const;
    void SetClipRect(const TRect& r);
    void IntersectClipRect(const TRect& r);
    void ResetClip();

protected:
    // Directs drawing to `surface` (an RGB24 image surface), whose pixel
    // (origin.x, origin.y) is the canvas' (0, 0); nothing outside `bounds`
    // (surface pixels) is touched.
    void Bind(cairo_surface_t* surface, TPoint origin, const TRect& bounds);
    void Unbind();
    // Called before each drawing operation; control canvases rebind here.
    virtual void Prepare() {}

private:
    bool ready() const;
    TRect device_clip() const;
    cairo_t* context();
    void begin_pixels();
    void end_pixels();
    void plot(int x, int y, unsigned rgb);
    void thin_line(int x1, int y1, int x2, int y2);
    void wide_path_stroke(const std::vector<TPoint>& points, bool closed);
    void set_fill_source();
    bool brush_fills() const;
    void outline_polygon(const TPoint* points, int count, bool closed);
    void fill_device_rect(const TRect& device_rect);

    TPen pen_;
    TBrush brush_;
    TFont font_;
    TPoint pen_pos_;
    int style_pos_ = 0;  // pixels walked along the current styled line

    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    TPoint origin_;
    TRect bounds_;
    TRect user_clip_;
    bool has_user_clip_ = false;
    bool clip_dirty_ = true;
    unsigned char* pixels_ = nullptr;
    int stride_ = 0;
};

// An off-screen picture with its own canvas; new pixels are white.
class TBitmap {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    void Assign(const TBitmap& other);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    // Keeps the pixels that remain inside the new size.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }

    TCanvas& Canvas();
    TColor Pixel(int x, int y) const;  // clBlack outside

    // PNG files; failures throw std::runtime_error naming the file.
    void SaveToFile(const std::string& path) const;
    void LoadFromFile(const std::string& path);

    cairo_surface_t* Surface() const { return surface_; }

private:
    class BitmapCanvas;
    void replace_surface(cairo_surface_t* s);
    cairo_surface_t* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<BitmapCanvas> canvas_;
};

}  // namespace ui
