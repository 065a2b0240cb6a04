#include "library/controls/draw_helpers.h"

#include <gtest/gtest.h>

#include "platform/ui/testdata/pinned_fonts.h"

namespace lib {
namespace {

using ui::TBitmap;
using ui::TPoint;

// The pixels along a path of points, in walking order, as '#' (black) and
// '.' (white): the way to read a pattern across corners.
std::string walk(const TBitmap& b, const std::vector<TPoint>& path) {
    std::string s;
    for (std::size_t i = 1; i < path.size(); ++i)
        ui::LineDDA(path[i - 1].x, path[i - 1].y, path[i].x, path[i].y,
                    [&](int x, int y) { s += b.Pixel(x, y) == ui::clBlack ? '#' : '.'; });
    return s;
}

TEST(PatternedLines, DottedPolylineKeepsThreeOnFiveOffAroundCorners) {
    TBitmap b(80, 80);
    b.Canvas().Pen().SetStyle(ui::psDot);
    // Segment lengths that are not multiples of 8, so corners fall inside
    // dashes and gaps.
    const std::vector<TPoint> path{{5, 5}, {18, 5}, {18, 27}, {3, 27}, {3, 60}};
    special_polyline(&b.Canvas(), path.data(), static_cast<int>(path.size()), 50);
    const std::string s = walk(b, path);
    std::string expected;
    for (std::size_t k = 0; k < s.size(); ++k) expected += (k % 8) < 3 ? '#' : '.';
    EXPECT_EQ(s, expected);
    // Nothing strays off the path.
    int inked = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) inked += b.Pixel(x, y) == ui::clBlack;
    EXPECT_EQ(inked, static_cast<int>(std::count(s.begin(), s.end(), '#')));
}

TEST(PatternedLines, MasksAndScales) {
    struct Case {
        ui::TPenStyle style;
        int scale;
        std::string first;  // the first 32 pixels walked
    };
    const Case cases[] = {
        {ui::psDash, 50, std::string(24, '#') + std::string(8, '.')},
        {ui::psDashDot, 50, std::string(20, '#') + "...." + "###" + "....."},
        {ui::psDashDotDot, 50, std::string(12, '#') + "...." + "###" + "....." + "###" + "....."},
        // Scale 100 stretches every bit over two pixels.
        {ui::psDot, 100, "######..........######.........."},
        // A solid pen at scale 30 and more walks the all-on mask.
        {ui::psSolid, 40, std::string(32, '#')},
    };
    for (const auto& c : cases) {
        TBitmap b(60, 3);
        b.Canvas().Pen().SetStyle(c.style);
        special_line(&b.Canvas(), 0, 1, 50, 1, c.scale);
        EXPECT_EQ(walk(b, {{0, 1}, {32, 1}}), c.first) << c.style << " scale " << c.scale;
    }
    // A clear pen draws nothing; an odd scale below 1 does not divide by zero.
    TBitmap b(10, 3);
    b.Canvas().Pen().SetStyle(ui::psClear);
    special_line(&b.Canvas(), 0, 1, 9, 1, 50);
    b.Canvas().Pen().SetStyle(ui::psDot);
    special_line(&b.Canvas(), 0, 2, 9, 2, 0);
    EXPECT_EQ(walk(b, {{0, 1}, {9, 1}}), ".........");
}

TEST(PolyLine, LongPolylinesAreDrawnInPiecesThatShareTheirJoints) {
    // 4000 points on a zig-zag; inverting pixels shows a pixel drawn twice or
    // left out, so the picture must equal one unbroken polyline.
    std::vector<TPoint> p;
    for (int i = 0; i < 4000; ++i) p.push_back({i % 400, (i / 400) * 3 + (i % 2)});
    TBitmap pieces(400, 40), whole(400, 40);
    pieces.Canvas().Pen().SetMode(ui::pmNot);
    whole.Canvas().Pen().SetMode(ui::pmNot);
    win9x_poly_line(&pieces.Canvas(), p.data(), 4000);
    whole.Canvas().Polyline(p.data(), 4000);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 400; ++x) ASSERT_EQ(pieces.Pixel(x, y), whole.Pixel(x, y)) << x << "," << y;
    win9x_poly_line(&pieces.Canvas(), p.data(), 0);
    win9x_poly_line(&pieces.Canvas(), nullptr, 5);
}

TEST(SmartDraw, RemoveEqualPoints) {
    std::vector<TPoint> out{{9, 9}};
    remove_equal_points({{1, 1}, {1, 1}, {2, 2}, {2, 2}, {3, 3}}, out);
    EXPECT_EQ(out, (std::vector<TPoint>{{1, 1}, {2, 2}, {3, 3}, {3, 3}}));
    remove_equal_points({{4, 4}}, out);
    EXPECT_EQ(out, (std::vector<TPoint>{{4, 4}, {4, 4}}));
    remove_equal_points({}, out);
    EXPECT_TRUE(out.empty());
}

TEST(SmartDraw, VerticalRunBecomesOneLine) {
    // 100 points of one x going up and down between y 20 and 79, entered from
    // the left and left to the right along y 23 (the last point of the run).
    std::vector<TPoint> p{{5, 50}};
    for (int i = 0; i < 100; ++i) p.push_back({10, 20 + (i * 37) % 60});
    ASSERT_EQ(p.back(), TPoint(10, 23));
    p.push_back({30, 23});
    TBitmap b(40, 100);
    smart_draw_points(p, &b.Canvas(), ui::Rect(0, 0, 40, 100), false, 1);
    // The same picture as the entry segment, one line over the whole run and
    // the exit segment.
    TBitmap expected(40, 100);
    ui::TCanvas& c = expected.Canvas();
    c.MoveTo(5, 50);
    c.LineTo(10, 20);
    c.MoveTo(10, 79);
    c.LineTo(10, 19);
    c.MoveTo(10, 23);
    c.LineTo(30, 23);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(b.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
    for (int y = 20; y < 80; ++y) EXPECT_EQ(b.Pixel(10, y), ui::clBlack) << y;
}

TEST(SmartDraw, FillReachesTheLeftEdgeAndPatternedPensDrawTheWholeCurve) {
    std::vector<TPoint> p;
    for (int y = 0; y < 50; ++y) p.push_back({20 + y % 7, y});
    TBitmap b(60, 60);
    b.Canvas().Pen().SetColor(ui::clBlue);
    smart_draw_points(p, &b.Canvas(), ui::Rect(5, 0, 60, 60), true, 1);
    EXPECT_EQ(b.Pixel(5, 10), ui::clBlue);
    EXPECT_EQ(b.Pixel(15, 30), ui::clBlue);
    EXPECT_EQ(b.Pixel(4, 10), ui::clWhite);
    EXPECT_EQ(b.Pixel(40, 10), ui::clWhite);
    EXPECT_EQ(b.Canvas().Pen().Style(), ui::psSolid);

    TBitmap d(60, 60);
    d.Canvas().Pen().SetStyle(ui::psDash);
    const std::vector<TPoint> q{{0, 10}, {50, 10}};
    smart_draw_points(q, &d.Canvas(), ui::Rect(0, 0, 60, 60), false, 50.9f);
    EXPECT_EQ(walk(d, {{0, 10}, {32, 10}}), std::string(24, '#') + std::string(8, '.'));
    // No points, or a clear pen: nothing.
    smart_draw_points({}, &d.Canvas(), ui::Rect(0, 0, 60, 60), true, 1);
}

TEST(Drawing, CheckArrowAndGradientAtKnownPixels) {
    TBitmap b(40, 40);
    draw_check(&b.Canvas(), ui::Rect(0, 0, 20, 30), ui::clRed, 1, 2);
    // Square 20 x 20 at (0, 5): from (2, 15) down to (10, 23), up to (18, 7).
    EXPECT_EQ(b.Pixel(2, 15), ui::clRed);
    EXPECT_EQ(b.Pixel(6, 19), ui::clRed);
    EXPECT_EQ(b.Pixel(10, 23), ui::clRed);
    EXPECT_EQ(b.Pixel(12, 19), ui::clRed);
    EXPECT_EQ(b.Pixel(14, 15), ui::clRed);
    EXPECT_EQ(b.Pixel(17, 9), ui::clRed);
    EXPECT_EQ(b.Pixel(18, 7), ui::clWhite);  // the last pixel is left out

    TBitmap a(40, 40);
    // Pointing right from (20, 20): tail (15, 20), tip (25, 20), head lines
    // to (25 - cos(±pi/4) * 4, 20 + sin(±pi/4) * 4) = (22, 17) and (22, 23).
    draw_arrow(&a.Canvas(), 20, 20, 10, 4, 0.785398f, 0.0f);
    for (int x = 15; x < 25; ++x) EXPECT_EQ(a.Pixel(x, 20), ui::clBlack) << x;
    EXPECT_EQ(a.Pixel(24, 19), ui::clBlack);
    EXPECT_EQ(a.Pixel(23, 18), ui::clBlack);
    EXPECT_EQ(a.Pixel(24, 21), ui::clBlack);
    EXPECT_EQ(a.Pixel(23, 22), ui::clBlack);
    EXPECT_EQ(a.Pixel(22, 17), ui::clWhite);

    TBitmap g(20, 4);
    draw_gradient(&g.Canvas(), ui::Rect(0, 0, 10, 4), ui::RGBToColor(0, 0, 0), ui::RGBToColor(90, 180, 9));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(g.Pixel(i, 2), ui::RGBToColor(90 * i / 9, 180 * i / 9, 9 * i / 9)) << i;
    EXPECT_EQ(g.Pixel(10, 2), ui::clWhite);
    // 100 pixels: 32 stripes whose edges fall at i * 100 / 32.
    TBitmap w(100, 2);
    draw_gradient(&w.Canvas(), ui::Rect(0, 0, 100, 2), ui::clBlack, ui::clWhite);
    EXPECT_EQ(w.Pixel(0, 0), ui::clBlack);
    EXPECT_EQ(w.Pixel(3, 0), ui::RGBToColor(255 / 31, 255 / 31, 255 / 31));
    EXPECT_EQ(w.Pixel(99, 0), ui::clWhite);
    TBitmap narrow(5, 5);
    draw_gradient(&narrow.Canvas(), ui::Rect(0, 0, 1, 5), ui::clBlack, ui::clBlack);
    EXPECT_EQ(narrow.Pixel(0, 0), ui::clWhite);
}

TEST(Colours, ArithmeticAndInverse) {
    EXPECT_EQ(get_inverse_color(ui::clWhite), 0);
    EXPECT_EQ(get_inverse_color(ui::clNavy), 0xFFFFFF);
    EXPECT_EQ(get_inverse_color(ui::clBtnFace), 0);
    int r = 0, g = 0, b = 0;
    color_to_rgb(ui::clBtnFace, r, g, b);
    EXPECT_EQ(r, 0xD4);
    EXPECT_EQ(g, 0xD0);
    EXPECT_EQ(b, 0xC8);
    EXPECT_EQ(rgb_to_color(1, 2, 3), 0x030201);
    // Each part: delta + base + max(other - 64, 0) / 4, within 0 .. 255.
    EXPECT_EQ(transform_color_light(ui::RGBToColor(100, 250, 10), 10, ui::RGBToColor(164, 0, 64)),
              ui::RGBToColor(135, 255, 20));
    EXPECT_EQ(transform_color_light(ui::RGBToColor(5, 5, 5), -10, ui::clBlack), ui::RGBToColor(0, 0, 0));
}

TEST(Text, CalcTextDims) {
    TBitmap b(1, 1);
    int w = 0, h = 0;
    calc_text_dims(&b.Canvas(), "Глубина", w, h);
    EXPECT_EQ(w, b.Canvas().TextWidth("Глубина") + 2);
    EXPECT_EQ(h, b.Canvas().TextHeight("Глубина"));
    calc_text_dims(&b.Canvas(), "a\nbb", w, h);
    EXPECT_EQ(h, 2 * b.Canvas().TextHeight("a"));
    calc_text_dims(nullptr, "x", w, h);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(h, -1);
}

}  // namespace
}  // namespace lib
