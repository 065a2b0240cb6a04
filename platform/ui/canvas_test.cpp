#include "platform/ui/canvas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/text_engine.h"

namespace ui {
namespace {

std::string row(const TBitmap& b, int y, int x0, int x1) {
    std::string s;
    for (int x = x0; x < x1; ++x) s += b.Pixel(x, y) == clBlack ? '#' : (b.Pixel(x, y) == clWhite ? '.' : '?');
    return s;
}

std::string column(const TBitmap& b, int x, int y0, int y1) {
    std::string s;
    for (int y = y0; y < y1; ++y) s += b.Pixel(x, y) == clBlack ? '#' : (b.Pixel(x, y) == clWhite ? '.' : '?');
    return s;
}

TEST(Canvas, LineToLeavesOutTheLastPixel) {
    TBitmap b(20, 20);
    TCanvas& c = b.Canvas();
    c.MoveTo(2, 3);
    c.LineTo(8, 3);
    EXPECT_EQ(row(b, 3, 0, 10), "..######..");
    c.MoveTo(12, 2);
    c.LineTo(12, 6);
    EXPECT_EQ(column(b, 12, 0, 8), "..####..");
    EXPECT_EQ(c.PenPos(), Point(12, 6));
    // A diagonal visits one pixel per step and stops short of its end.
    c.MoveTo(0, 10);
    c.LineTo(4, 14);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.Pixel(i, 10 + i), clBlack) << i;
    EXPECT_EQ(b.Pixel(4, 14), clWhite);
}

TEST(Canvas, PolylineDrawsEveryVertexOnce) {
    TBitmap b(20, 20);
    TCanvas& c = b.Canvas();
    // Inverting pixels shows any pixel that is drawn twice: it turns back white.
    c.Pen().SetMode(pmNot);
    c.Polyline({{1, 1}, {6, 1}, {6, 6}, {1, 6}, {1, 1}});
    EXPECT_EQ(row(b, 1, 0, 8), ".######.");
    EXPECT_EQ(row(b, 6, 0, 8), ".######.");
    EXPECT_EQ(column(b, 6, 0, 8), ".######.");
    EXPECT_EQ(column(b, 1, 0, 8), ".######.");
    EXPECT_EQ(c.PenPos(), Point(1, 1));
}

TEST(Canvas, StyledThinPensRepeatTheirPatternAndFillGapsWithTheSolidBrush) {
    TBitmap b(40, 4);
    TCanvas& c = b.Canvas();
    c.Pen().SetStyle(psDot);
    c.Brush().SetColor(clRed);
    c.MoveTo(0, 0);
    c.LineTo(12, 0);
    std::string s;
    for (int x = 0; x < 12; ++x) s += b.Pixel(x, 0) == clBlack ? '#' : (b.Pixel(x, 0) == clRed ? 'r' : '?');
    EXPECT_EQ(s, "###rrr###rrr");
    // With a clear brush the gaps keep what was there; the dash-dot pattern
    // is 9 on, 6 off, 3 on, 6 off.
    c.Brush().SetStyle(bsClear);
    c.Pen().SetStyle(psDashDot);
    c.MoveTo(0, 2);
    c.LineTo(30, 2);
    EXPECT_EQ(row(b, 2, 0, 30), "#########......###......######");
}

TEST(Canvas, RectanglesFillsAndFrames) {
    TBitmap b(20, 20);
    TCanvas& c = b.Canvas();
    c.Brush().SetColor(clRed);
    c.Rectangle(2, 2, 8, 6);
    EXPECT_EQ(b.Pixel(2, 2), clBlack);
    EXPECT_EQ(b.Pixel(7, 5), clBlack);
    EXPECT_EQ(b.Pixel(8, 5), clWhite);
    EXPECT_EQ(b.Pixel(3, 3), clRed);
    EXPECT_EQ(b.Pixel(6, 4), clRed);
    // A clear pen leaves out the right column and the bottom row.
    c.Pen().SetStyle(psClear);
    c.Brush().SetColor(clBlue);
    c.Rectangle(10, 10, 14, 14);
    EXPECT_EQ(b.Pixel(12, 12), clBlue);
    EXPECT_EQ(b.Pixel(10, 10), clBlue);
    EXPECT_EQ(b.Pixel(13, 12), clWhite);
    EXPECT_EQ(b.Pixel(12, 13), clWhite);
    c.Brush().SetColor(clLime);
    c.FillRect(Rect(0, 15, 3, 17));
    EXPECT_EQ(b.Pixel(2, 16), clLime);
    EXPECT_EQ(b.Pixel(3, 16), clWhite);
    c.Brush().SetColor(clBlack);
    c.FrameRect(Rect(15, 15, 19, 19));
    EXPECT_EQ(row(b, 16, 14, 20), ".#..#.");
    EXPECT_EQ(row(b, 15, 14, 20), ".####.");
}

TEST(Canvas, HatchesFollowTheBitmapGridAndAreTransparent) {
    struct Case {
        TBrushStyle style;
        std::vector<TPoint> ink;
        std::vector<TPoint> clear;
    };
    const Case cases[] = {
        {bsHorizontal, {{3, 0}, {5, 8}}, {{3, 1}, {3, 7}}},
        {bsVertical, {{0, 3}, {8, 5}}, {{1, 3}, {7, 3}}},
        {bsFDiagonal, {{0, 0}, {3, 3}, {9, 1}}, {{1, 0}, {0, 1}}},
        {bsBDiagonal, {{7, 0}, {0, 7}, {4, 3}}, {{0, 0}, {3, 3}}},
        {bsCross, {{0, 5}, {5, 0}}, {{1, 1}, {5, 5}}},
        {bsDiagCross, {{2, 2}, {2, 5}}, {{2, 3}, {0, 1}}},
    };
    for (const auto& k : cases) {
        TBitmap b(16, 16);
        b.Canvas().Brush().SetColor(clGreen);
        b.Canvas().FillRect(Rect(0, 0, 16, 16));
        b.Canvas().Brush().SetColor(clRed);
        b.Canvas().Brush().SetStyle(k.style);
        b.Canvas().FillRect(Rect(0, 0, 16, 16));
        for (auto p : k.ink) EXPECT_EQ(b.Pixel(p.x, p.y), clRed) << k.style << " at " << p.x << "," << p.y;
        for (auto p : k.clear) EXPECT_EQ(b.Pixel(p.x, p.y), clGreen) << k.style << " at " << p.x << "," << p.y;
    }
}

TEST(Canvas, ClipRectLimitsDrawing) {
    TBitmap b(20, 20);
    TCanvas& c = b.Canvas();
    EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 20));
    c.SetClipRect(Rect(5, 0, 10, 20));
    c.MoveTo(0, 1);
    c.LineTo(20, 1);
    EXPECT_EQ(row(b, 1, 3, 12), "..#####..");
    c.IntersectClipRect(Rect(0, 0, 7, 20));
    EXPECT_EQ(c.ClipRect(), Rect(5, 0, 7, 20));
    c.Brush().SetColor(clBlack);
    c.FillRect(Rect(0, 3, 20, 4));
    EXPECT_EQ(row(b, 3, 3, 9), "..##..");
    c.ResetClip();
    c.FillRect(Rect(0, 5, 20, 6));
    EXPECT_EQ(row(b, 5, 0, 20), std::string(20, '#'));
}

TEST(Canvas, FocusRectangleInvertsAndTwiceRemoves) {
    TBitmap b(10, 10);
    b.Canvas().DrawFocusRect(Rect(1, 1, 9, 9));
    EXPECT_EQ(row(b, 1, 0, 10), ".#.#.#.#..");
    b.Canvas().DrawFocusRect(Rect(1, 1, 9, 9));
    EXPECT_EQ(row(b, 1, 0, 10), "..........");
}

TEST(Canvas, EllipseAndArcStayInTheirBox) {
    TBitmap b(30, 30);
    TCanvas& c = b.Canvas();
    c.Brush().SetColor(clRed);
    c.Ellipse(5, 5, 25, 25);
    EXPECT_EQ(b.Pixel(15, 15), clRed);
    EXPECT_EQ(b.Pixel(5, 5), clWhite);
    EXPECT_EQ(b.Pixel(15, 5), clBlack);
    EXPECT_EQ(b.Pixel(15, 24), clBlack);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(b.Pixel(i, 25), clWhite);
        EXPECT_EQ(b.Pixel(25, i), clWhite);
    }
    // The upper half, counter-clockwise from the right to the left.
    TBitmap a(30, 30);
    a.Canvas().Arc(5, 5, 25, 25, 25, 15, 5, 15);
    EXPECT_EQ(a.Pixel(15, 5), clBlack);
    EXPECT_EQ(a.Pixel(15, 24), clWhite);
}

TEST(Canvas, TextOutDrawsInsideItsExtentAndMovesThePen) {
    TBitmap b(100, 30);
    TCanvas& c = b.Canvas();
    c.Brush().SetColor(clYellow);
    const TSize size = c.TextExtent("Wg");
    EXPECT_GT(size.cx, 5);
    EXPECT_EQ(size.cy, text_engine::line_height(c.Font()));
    c.TextOut(10, 5, "Wg");
    EXPECT_EQ(c.PenPos(), Point(10 + size.cx, 5));
    int inked = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x) {
            const TColor p = b.Pixel(x, y);
            const bool inside = x >= 10 && x < 10 + size.cx && y >= 5 && y < 5 + size.cy;
            if (!inside) {
                EXPECT_EQ(p, clWhite) << x << "," << y;
            }
            if (inside && p != clYellow) ++inked;
        }
    EXPECT_GT(inked, 10);
    EXPECT_GT(c.TextWidth("WWWW"), c.TextWidth("iiii"));
    c.Font().SetStyle({fsBold});
    EXPECT_GT(c.TextWidth("WWWW"), text_engine::Layout(TFont(), "WWWW", true).Size().cx);
}

TEST(Canvas, FontSizesAndWindowsNames) {
    TFont f;
    EXPECT_EQ(f.Size(), 8);
    EXPECT_EQ(f.Height(), -11);
    f.SetSize(12);
    EXPECT_EQ(f.Height(), -16);
    EXPECT_EQ(f.PixelSize(), 16);
    EXPECT_EQ(font_face_for("tahoma"), "DejaVu Sans");
    EXPECT_EQ(font_face_for("Lucida Console"), "DejaVu Sans Mono");
    EXPECT_EQ(font_face_for("Courier New"), "DejaVu Sans Mono");
    const auto names = screen_font_names();
    for (const char* n : {"Tahoma", "Arial", "MS Sans Serif", "Lucida Console", "Courier New", "DejaVu Sans"})
        EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
    // The pinned configuration holds DejaVu only.
    for (const auto& n : text_engine::installed_families()) EXPECT_EQ(n.rfind("DejaVu", 0), 0u) << n;
    // Fixed pitch: every character equally wide.
    TBitmap b(1, 1);
    b.Canvas().Font().SetName("Courier New");
    EXPECT_EQ(b.Canvas().TextWidth("iiii"), b.Canvas().TextWidth("WWWW"));
}

TEST(Canvas, DrawTextCalcRectWrapsAndEllipsises) {
    TBitmap b(200, 200);
    TCanvas& c = b.Canvas();
    const int line = text_engine::line_height(c.Font());
    const int two_words = c.TextWidth("alpha alpha");

    // Word break: three lines of two words, as wide as the widest line.
    TRect r = Rect(10, 10, 10 + two_words + 2, 11);
    const int h = c.DrawText("alpha alpha alpha alpha alpha alpha", r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(h, 3 * line);
    EXPECT_EQ(r, Rect(10, 10, 10 + two_words, 10 + 3 * line));

    // Without word break: the width of the longest line, line breaks kept.
    r = Rect(0, 0, 5, 5);
    EXPECT_EQ(c.DrawText("ab\r\nabcdef", r, DT_CALCRECT), 2 * line);
    EXPECT_EQ(r.Width(), c.TextWidth("abcdef"));
    // Single line: one line whatever the breaks.
    r = Rect(0, 0, 5, 5);
    EXPECT_EQ(c.DrawText("ab\r\ncd", r, DT_CALCRECT | DT_SINGLELINE), line);

    // End ellipsis: the text is cut to fit and ends in "…".
    const int limit = c.TextWidth("abcdefgh");
    r = Rect(0, 0, limit, 50);
    EXPECT_EQ(c.DrawText("abcdefghijklmnopqrstuvwxyz", r, DT_CALCRECT | DT_END_ELLIPSIS | DT_SINGLELINE), line);
    EXPECT_LE(r.Width(), limit);
    EXPECT_GT(r.Width(), c.TextWidth("abcd"));
    // A text that fits keeps its own width.
    r = Rect(0, 0, limit, 50);
    c.DrawText("abc", r, DT_CALCRECT | DT_END_ELLIPSIS);
    EXPECT_EQ(r.Width(), c.TextWidth("abc"));

    // Accelerator prefixes take no room; "&&" is one ampersand.
    r = Rect(0, 0, 0, 0);
    c.DrawText("&File", r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.Width(), c.TextWidth("File"));
    r = Rect(0, 0, 0, 0);
    c.DrawText("A&&B", r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.Width(), c.TextWidth("A&B"));
    r = Rect(0, 0, 0, 0);
    c.DrawText("A&&B", r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(r.Width(), c.TextWidth("A&&B"));
}

// The numbers every machine with the pinned DejaVu configuration measures;
// a change here means windows would lay out differently.
TEST(Canvas, PinnedFontsMeasureTheSameEverywhere) {
    TBitmap b(1, 1);
    TCanvas& c = b.Canvas();
    EXPECT_EQ(c.TextHeight("Ag"), 14);
    EXPECT_EQ(c.TextWidth("alpha alpha"), 65);
    TRect r = Rect(0, 0, 67, 0);
    EXPECT_EQ(c.DrawText("alpha alpha alpha alpha alpha alpha", r, DT_CALCRECT | DT_WORDBREAK), 42);
    EXPECT_EQ(r, Rect(0, 0, 65, 42));
    r = Rect(0, 0, 60, 0);
    c.DrawText("abcdefghijklmnopqrstuvwxyz", r, DT_CALCRECT | DT_END_ELLIPSIS | DT_SINGLELINE);
    EXPECT_EQ(r, Rect(0, 0, 60, 14));
    c.Font().SetName("Lucida Console");
    c.Font().SetSize(9);
    EXPECT_EQ(c.TextHeight("A"), 15);
    EXPECT_EQ(c.TextWidth("0123456789"), 70);
}

TEST(Canvas, DrawTextAlignsAndCentresVertically) {
    TBitmap b(200, 60);
    TCanvas& c = b.Canvas();
    c.Brush().SetStyle(bsClear);
    auto ink_box = [&]() {
        TRect box;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x) {
                if (b.Pixel(x, y) != clWhite) box = UnionRect(box, Rect(x, y, x + 1, y + 1));
            }
        return box;
    };
    TRect r = Rect(0, 0, 200, 60);
    c.DrawText("III", r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    TRect box = ink_box();
    EXPECT_GT(box.Left, 180);
    EXPECT_GT(box.Top, 40);
    b.Canvas().Brush().SetStyle(bsSolid);
    b.Canvas().FillRect(Rect(0, 0, 200, 60));
    c.Brush().SetStyle(bsClear);
    c.DrawText("III", r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    box = ink_box();
    EXPECT_NEAR((box.Left + box.Right) / 2, 100, 3);
    EXPECT_NEAR((box.Top + box.Bottom) / 2, 30, 3);
    // Clipped to the rectangle.
    b.Canvas().Brush().SetStyle(bsSolid);
    b.Canvas().FillRect(Rect(0, 0, 200, 60));
    c.Brush().SetStyle(bsClear);
    r = Rect(0, 0, 6, 60);
    c.DrawText("WWWWWWWW", r, DT_SINGLELINE);
    box = ink_box();
    EXPECT_LE(box.Right, 6);
}

TEST(Bitmap, PngRoundTripAndErrorsNameTheFile) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output";
    std::filesystem::create_directories(dir);
    TBitmap b(7, 5);
    b.Canvas().SetPixel(3, 2, clRed);
    b.Canvas().SetPixel(6, 4, RGBToColor(1, 2, 3));
    const std::string path = (dir / "roundtrip.png").string();
    b.SaveToFile(path);
    TBitmap back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Width(), 7);
    EXPECT_EQ(back.Height(), 5);
    EXPECT_EQ(back.Pixel(3, 2), clRed);
    EXPECT_EQ(back.Pixel(6, 4), RGBToColor(1, 2, 3));
    EXPECT_EQ(back.Pixel(0, 0), clWhite);
    try {
        back.LoadFromFile((dir / "no-such.png").string());
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("no-such.png"), std::string::npos);
    }
    EXPECT_THROW(b.SaveToFile("/no-such-dir/x.png"), std::runtime_error);
}

TEST(Bitmap, ResizeKeepsPixelsAndDrawsOntoOtherCanvases) {
    TBitmap b(4, 4);
    b.Canvas().SetPixel(1, 1, clRed);
    b.SetSize(8, 2);
    EXPECT_EQ(b.Pixel(1, 1), clRed);
    EXPECT_EQ(b.Pixel(7, 1), clWhite);
    TBitmap target(20, 20);
    target.Canvas().Draw(10, 10, b);
    EXPECT_EQ(target.Pixel(11, 11), clRed);
    target.Canvas().StretchDraw(Rect(0, 0, 16, 4), b);
    EXPECT_EQ(target.Pixel(2, 2), clRed);
    EXPECT_EQ(target.Pixel(3, 3), clRed);
    EXPECT_EQ(target.Pixel(4, 2), clWhite);
    TBitmap copy(3, 3);
    copy.Canvas().CopyRect(Rect(0, 0, 3, 3), target.Canvas(), Rect(10, 10, 13, 13));
    EXPECT_EQ(copy.Pixel(1, 1), clRed);
}

}  // namespace
}  // namespace ui
