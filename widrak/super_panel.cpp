#include "widrak/super_panel.h"

#include <algorithm>

namespace widrak {

using namespace ui;

TSuperPanel::TSuperPanel(TComponent* owner) : TPanel(owner) {}

void TSuperPanel::SetColor1(TColor c) {
    color1_ = c;
    Invalidate();
}
void TSuperPanel::SetColor2(TColor c) {
    color2_ = c;
    Invalidate();
}
void TSuperPanel::SetTextShadow(bool v) {
    text_shadow_ = v;
    Invalidate();
}
void TSuperPanel::SetBorderColor(TColor c) {
    if (c == border_color_) return;
    border_color_ = c;
    Invalidate();
}
void TSuperPanel::SetWowEffects(bool v) {
    if (v == wow_effects_) return;
    wow_effects_ = v;
    Invalidate();
}
void TSuperPanel::SetHorizontalLayer(int v) {
    if (v == horizontal_layer_) return;
    horizontal_layer_ = v;
    Invalidate();
}
void TSuperPanel::SetVerticalGradiented(bool v) {
    if (v == vertical_gradiented_) return;
    vertical_gradiented_ = v;
    Invalidate();
}

TRect TSuperPanel::GradientRect() const {
    const int inset = BevelWidth() * ((BevelOuter() != bvNone) + (BevelInner() != bvNone)) + BorderWidth();
    TRect r = ClientRect().Inflate(-inset, -inset);
    r.Top += horizontal_layer_;
    r.Bottom -= horizontal_layer_;
    return r;
}

namespace {

// The panel's own gradient: per channel c1 + pos * (c2 - c1) / span. The
// position is a coordinate of the client area, so bands beyond the span
// would overshoot colour 2; each channel is kept within 0..255 so that none
// spills into its neighbour.
TColor panel_grad(int pos, int span, TColor c1, TColor c2) {
    int r1, g1, b1, r2, g2, b2;
    calc_rgb(c1, r1, g1, b1);
    calc_rgb(c2, r2, g2, b2);
    if (span <= 0) return RGBToColor(r1, g1, b1);
    auto ch = [&](int a, int b) {
        return clamp_channel(a + static_cast<int>(static_cast<long long>(pos) * (b - a) / span));
    };
    return RGBToColor(ch(r1, r2), ch(g1, g2), ch(b1, b2));
}

}  // namespace

void TSuperPanel::Paint() {
    TPanel::Paint();
    TCanvas& c = Canvas();
    if (wow_effects_) {
        const TRect in = GradientRect();
        c.Brush().SetStyle(bsSolid);
        if (color1_ == color2_) {
            c.Brush().SetColor(Color());
            c.FillRect(in);
        } else if (vertical_gradiented_) {
            for (int y = in.Top; y < in.Bottom; y += 4) {
                c.Brush().SetColor(panel_grad(y, in.Bottom - in.Top, color1_, color2_));
                c.FillRect(Rect(in.Left, y, in.Right, std::min(y + 4, in.Bottom)));
            }
        } else {
            for (int x = in.Left; x < in.Right; x += 4) {
                c.Brush().SetColor(panel_grad(x, in.Right - in.Left, color1_, color2_));
                c.FillRect(Rect(x, in.Top, std::min(x + 4, in.Right), in.Bottom));
            }
        }
        // The caption over the gradient.
        c.Font().Assign(Font());
        c.Brush().SetStyle(bsClear);
        const int shadow = Font().Size() > 12 ? 2 : 1;
        TRect r = ClientRect();
        unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
        if (Alignment() == taLeftJustify) {
            r.Left += 4;
        } else if (Alignment() == taRightJustify) {
            r.Right -= 4;
            flags |= DT_RIGHT;
        } else {
            flags |= DT_CENTER;
        }
        if (text_shadow_) {
            c.Font().SetColor(clBlack);
            TRect s = r.Offset(shadow, shadow);
            c.DrawText(Caption(), s, flags);
        }
        c.Font().SetColor(Font().Color());
        c.DrawText(Caption(), r, flags);
    }
    if (BorderWidth() != 0) {
        const TColor brush = c.Brush().Color();
        const TBrushStyle brush_style = c.Brush().Style();
        const TPenStyle pen = c.Pen().Style();
        const int w = ClientWidth(), h = ClientHeight(), b = BorderWidth();
        c.Pen().SetStyle(psClear);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(border_color_);
        c.FillRect(Rect(0, 0, w, b));
        c.FillRect(Rect(0, h - b, w, h));
        c.FillRect(Rect(0, 0, b, h));
        c.FillRect(Rect(w - b, 0, w, h));
        c.Brush().SetColor(brush);
        c.Brush().SetStyle(brush_style);
        c.Pen().SetStyle(pen);
    }
}

}  // namespace widrak
