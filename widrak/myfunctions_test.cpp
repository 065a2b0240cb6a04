#include "widrak/myfunctions.h"

#include <gtest/gtest.h>

#include "platform/ui/testdata/pinned_fonts.h"

namespace widrak {
namespace {

using ui::RGBToColor;

TEST(ColourFunctions, ShadesFollowTheRuleAndStayWithinTheChannel) {
    struct Case {
        TColor colour;
        int amount;
        TColor hue;
        TColor light, dark;
    } cases[] = {
        // No amount, no hue: the colour itself.
        {RGBToColor(10, 20, 30), 0, ui::clBlack, RGBToColor(10, 20, 30), RGBToColor(10, 20, 30)},
        // Hue (160, 48, 0): + 10, 3, 0 and - (208 / 48 = 4) on every channel.
        {RGBToColor(100, 100, 100), 5, RGBToColor(160, 48, 0), RGBToColor(111, 104, 101), RGBToColor(101, 94, 91)},
        // Clamped at both ends; no channel spills into the next.
        {RGBToColor(250, 5, 128), 20, ui::clBlack, RGBToColor(255, 25, 148), RGBToColor(230, 0, 108)},
        // System colours are resolved first (the button face is 212, 208, 200).
        {ui::clBtnFace, 9, ui::clBlack, RGBToColor(221, 217, 209), RGBToColor(203, 199, 191)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(get_light_color(c.colour, c.amount, c.hue), c.light) << std::hex << c.colour;
        EXPECT_EQ(get_dark_color(c.colour, c.amount, c.hue), c.dark) << std::hex << c.colour;
    }
    // What the settings window asks for: the window colour 9 darker.
    EXPECT_EQ(get_light_color(ui::clWindow, -9, 0), RGBToColor(246, 246, 246));
    EXPECT_EQ(transform_color_light(ui::clBtnFace, 0), ui::clBtnFace);
    EXPECT_EQ(transform_color_light(RGBToColor(250, 0, 7), 10), RGBToColor(255, 10, 17));
    EXPECT_EQ(get_inv_color(ui::clWhite), ui::clBlack);
    EXPECT_EQ(get_inv_color(ui::clNavy), ui::clWhite);
    EXPECT_EQ(get_inv_color(RGBToColor(0, 240, 0)), ui::clBlack);  // 0.5 * 240 = 120
    EXPECT_EQ(get_inv_color(RGBToColor(0, 238, 0)), ui::clWhite);
}

TEST(ColourFunctions, GradientEndsAndAnEmptySpan) {
    const TColor a = RGBToColor(200, 10, 0), b = RGBToColor(0, 110, 255);
    EXPECT_EQ(get_grad_color(0, 40, a, b), a);
    EXPECT_EQ(get_grad_color(40, 40, a, b), b);
    // Truncation toward zero: 13 * -200 / 40 = -65, 13 * 100 / 40 = 32.
    EXPECT_EQ(get_grad_color(13, 40, a, b), RGBToColor(135, 42, 82));
    // Beyond the span the channels stop at their limits.
    EXPECT_EQ(get_grad_color(80, 40, a, b), RGBToColor(0, 210, 255));
    EXPECT_EQ(get_grad_color(5, 0, a, b), a);
}

TEST(DrawGradient, VerticalAndHorizontalBandsOfFourPixels) {
    const TColor a = RGBToColor(0, 0, 0), b = RGBToColor(200, 100, 40);
    ui::TBitmap v(30, 80);
    EXPECT_EQ(draw_gradient(v.Canvas(), mbgtVertical, a, b, 5, 0, 25, 80), 80);
    for (int y = 0; y < 80; ++y) {
        const TColor want = get_grad_color(y / 4 * 4, 80, a, b);
        EXPECT_EQ(v.Pixel(5, y), want) << y;
        EXPECT_EQ(v.Pixel(24, y), want) << y;
    }
    EXPECT_EQ(v.Pixel(4, 10), ui::clWhite);
    EXPECT_EQ(v.Pixel(25, 10), ui::clWhite);
    // Under 60 pixels high the bands are 2 pixels; the last one is cut at the
    // bottom. The band's colour comes from its absolute top coordinate.
    ui::TBitmap s(10, 40);
    draw_gradient(s.Canvas(), mbgtVertical, a, b, 0, 10, 10, 31);
    for (int y = 10; y < 31; ++y) EXPECT_EQ(s.Pixel(3, y), get_grad_color((y - 10) / 2 * 2 + 10, 21, a, b)) << y;
    EXPECT_EQ(s.Pixel(3, 31), ui::clWhite);
    // Horizontal: 4-pixel bands from 160 pixels wide.
    ui::TBitmap h(200, 10);
    draw_gradient(h.Canvas(), mbgtHorizontal, a, b, 0, 0, 170, 10);
    for (int x = 0; x < 170; ++x) EXPECT_EQ(h.Pixel(x, 5), get_grad_color(x / 4 * 4, 170, a, b)) << x;
    EXPECT_EQ(h.Pixel(170, 5), ui::clWhite);
    // The second diagonal and none leave the rectangle as it was.
    ui::TBitmap n(20, 20);
    EXPECT_EQ(draw_gradient(n.Canvas(), mbgtDiagonal2, a, b, 0, 0, 20, 20), 20);
    draw_gradient(n.Canvas(), mbgtNone, a, b, 0, 0, 20, 20);
    EXPECT_EQ(n.Pixel(10, 10), ui::clWhite);
    // An empty rectangle draws nothing and divides by nothing.
    EXPECT_EQ(draw_gradient(n.Canvas(), mbgtVertical, a, b, 0, 5, 20, 5), 0);
    EXPECT_EQ(draw_gradient(n.Canvas(), mbgtDiagonal1, a, b, 5, 0, 5, 20), 20);
}

TEST(DrawGradient, DiagonalBandsRunFromBottomLeftToTopRight) {
    const TColor a = RGBToColor(255, 255, 255), b = RGBToColor(0, 0, 120);
    ui::TBitmap d(60, 30);
    d.Canvas().Pen().SetColor(ui::clRed);
    draw_gradient(d.Canvas(), mbgtDiagonal1, a, b, 0, 0, 60, 30);
    // The pen is back on afterwards.
    EXPECT_EQ(d.Canvas().Pen().Style(), ui::psSolid);
    // Along a band's slant the colour stays; across bands it darkens to the
    // right. No outline pixels of the red pen.
    int r, g, bl;
    calc_rgb(d.Pixel(2, 29), r, g, bl);
    int r2, g2, b2;
    calc_rgb(d.Pixel(57, 29), r2, g2, b2);
    EXPECT_GT(r, r2);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_NE(d.Pixel(x, y), ui::clRed) << x << "," << y;
    // The band whose bottom starts at x = 20 (at row 29 it has moved 2 pixels
    // right) is coloured for 20 + 2 * 60 / 3 over 60 + 60 / 3.
    EXPECT_EQ(d.Pixel(23, 29), get_grad_color(20 + 40, 80, a, b));
}

}  // namespace
}  // namespace widrak
