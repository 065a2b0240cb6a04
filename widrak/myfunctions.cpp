#include "widrak/myfunctions.h"

#include <algorithm>

namespace widrak {

int clamp_channel(int value) { return std::clamp(value, 0, 255); }

void calc_rgb(TColor color, int& red, int& green, int& blue) {
    const TColor c = ui::ColorToRGB(color);
    red = ui::GetRValue(c);
    green = ui::GetGValue(c);
    blue = ui::GetBValue(c);
}

namespace {

TColor shade(TColor color, int amount, TColor hue) {
    int r, g, b, hr, hg, hb;
    calc_rgb(color, r, g, b);
    calc_rgb(hue, hr, hg, hb);
    const int tint = (hr + hg + hb) / 48;
    return ui::RGBToColor(clamp_channel(r + amount + hr / 16 - tint), clamp_channel(g + amount + hg / 16 - tint),
                          clamp_channel(b + amount + hb / 16 - tint));
}

}  // namespace

TColor get_light_color(TColor color, int amount, TColor hue) { return shade(color, amount, hue); }

TColor get_dark_color(TColor color, int amount, TColor hue) { return shade(color, -amount, hue); }

TColor transform_color_light(TColor color, int amount) {
    if (amount == 0) return color;
    int r, g, b;
    calc_rgb(color, r, g, b);
    return ui::RGBToColor(clamp_channel(r + amount), clamp_channel(g + amount), clamp_channel(b + amount));
}

TColor get_grad_color(int position, int span, TColor color1, TColor color2) {
    int r1, g1, b1, r2, g2, b2;
    calc_rgb(color1, r1, g1, b1);
    calc_rgb(color2, r2, g2, b2);
    // An empty rectangle has no span; it takes the first colour.
    if (span == 0) return ui::RGBToColor(r1, g1, b1);
    auto ch = [&](int c1, int c2) {
        return clamp_channel(static_cast<int>(static_cast<long long>(position) * (c2 - c1) / span + c1));
    };
    return ui::RGBToColor(ch(r1, r2), ch(g1, g2), ch(b1, b2));
}

TColor get_inv_color(TColor color) {
    int r, g, b;
    calc_rgb(color, r, g, b);
    return 0.3 * r + 0.5 * g + 0.2 * b >= 120 ? ui::clBlack : ui::clWhite;
}

int draw_gradient(ui::TCanvas& canvas, TMyButtonGradientTypes type, TColor color1, TColor color2, int left, int top,
                  int right, int bottom) {
    canvas.Brush().SetStyle(ui::bsSolid);
    switch (type) {
        case mbgtVertical: {
            const int band = bottom - top < 60 ? 2 : 4;
            for (int y = top; y < bottom; y += band) {
                canvas.Brush().SetColor(get_grad_color(y, bottom - top, color1, color2));
                canvas.FillRect(ui::Rect(left, y, right, std::min(y + band, bottom)));
            }
            break;
        }
        case mbgtHorizontal: {
            const int band = right - left < 160 ? 2 : 4;
            for (int x = left; x < right; x += band) {
                canvas.Brush().SetColor(get_grad_color(x, right - left, color1, color2));
                canvas.FillRect(ui::Rect(x, top, std::min(x + band, right), bottom));
            }
            break;
        }
        case mbgtDiagonal1: {
            const int w = right - left;
            const ui::TPenStyle pen = canvas.Pen().Style();
            canvas.Pen().SetStyle(ui::psClear);
            for (int x = left - w; x < right; x += 4) {
                const int x2 = std::min(x + 4, right);
                canvas.Brush().SetColor(get_grad_color(x + 2 * w / 3, right + w / 3, color1, color2));
                canvas.Polygon({{x, bottom}, {x2, bottom}, {x2 + w, top}, {x + w, top}});
            }
            canvas.Pen().SetStyle(pen);
            break;
        }
        default: break;
    }
    return bottom - top;
}

}  // namespace widrak
