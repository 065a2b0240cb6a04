#include "widrak/indicator.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/numbers.h"

namespace widrak {

using namespace ui;

namespace {

// The light a colour gives off as the eye weighs it (sRGB's relative
// luminance).
double luminance(TColor colour) {
    const TColor c = ColorToRGB(colour);
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}

// Black or white, whichever reads better on the colour.
TColor ink_on(TColor fill) {
    const double l = luminance(fill);
    return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? clBlack : clWhite;
}

}  // namespace

TIndicator::TIndicator(TComponent* owner) : TPaintBox(owner) {}

void TIndicator::SetIndicatorType(TIndicatorType t) {
    indicator_type_ = t;
    Invalidate();
}
void TIndicator::SetFrameWidth(int w) {
    frame_width_ = w;
    Invalidate();
}
void TIndicator::SetTextShadow(bool v) {
    text_shadow_ = v;
    Invalidate();
}
void TIndicator::SetIndicatorColor(TColor c) {
    indicator_color_ = c;
    Invalidate();
}
void TIndicator::SetAlarmColor(TColor c) {
    alarm_color_ = c;
    Invalidate();
}
void TIndicator::set_left(long double v) {
    value_left_ = v;
    Invalidate();
}
void TIndicator::set_right(long double v) {
    value_right_ = v;
    Invalidate();
}

std::string TIndicator::format_value() const {
    const int digits = dig_num_ < 0 ? 0 : dig_num_;
    return rtl::FormatFloat("0." + std::string(static_cast<std::size_t>(digits), '0'), static_cast<double>(value_));
}

void TIndicator::repaint_off_screen() {
    off_screen_ = true;
    Repaint();
    off_screen_ = false;
}

void TIndicator::set_value(long double v) {
    if (std::fabs(v - value_) < 1e-7L) return;
    value_ = v;
    SetText(format_value());
    repaint_off_screen();
}

void TIndicator::set_dig_num(int n) {
    dig_num_ = n;
    SetText(format_value());
    repaint_off_screen();
}

void TIndicator::set_caption(const std::string& text) {
    SetText(text);
    repaint_off_screen();
}

void TIndicator::Paint() {
    if (!off_screen_) {
        draw(Canvas());
        return;
    }
    TBitmap picture(Width(), Height());
    picture.Canvas().Font().Assign(Font());
    draw(picture.Canvas());
    Canvas().Draw(0, 0, picture);
}

void TIndicator::draw(TCanvas& c) {
    const int w = Width(), h = Height();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(Color());
    c.FillRect(Rect(0, 0, w, h));
    if (indicator_type_ == itValue)
        draw_value_indicator(c, Font().Color());
    else
        draw_hor_line_indicator(c);
    if (frame_width_ != 0) {
        const int f = frame_width_;
        c.Brush().SetColor(clWindowText);
        c.FillRect(Rect(0, 0, w, f));
        c.FillRect(Rect(w - f, 0, w, h));
        c.FillRect(Rect(0, 0, f, h));
        c.FillRect(Rect(0, h - f, w, h));
    }
}

void TIndicator::draw_value_indicator(TCanvas& c, TColor ink) {
    c.Font().Assign(Font());
    const std::string& text = Caption();
    const int x = (Width() - c.TextWidth(text)) / 2;
    const int y = (Height() - c.TextHeight(text)) / 2;
    c.Brush().SetStyle(bsClear);
    if (text_shadow_) {
        const int shift = Font().Size() / 18 + 1;
        c.Font().SetColor(clWindowText);
        c.TextOut(x + shift, y + shift, text);
    }
    c.Font().SetColor(ink);
    c.TextOut(x, y, text);
    c.Brush().SetStyle(bsSolid);
}

// Values far outside the range would not fit an int; anything beyond the
// control's edges draws the same as the edge.
int TIndicator::x_of(long double v) const {
    const long double range = value_right_ - value_left_;
    if (!(range > 0)) return 0;
    const long double x = Width() * (v - value_left_) / range;
    if (std::isnan(x)) return 0;
    if (x < -1) return -1;
    if (x > Width() + 1) return Width() + 1;
    return static_cast<int>(x);
}

int TIndicator::bar_end() const { return x_of(value_); }
int TIndicator::alarm_x() const { return x_of(alarm_value_); }

void TIndicator::draw_hor_line_indicator(TCanvas& c) {
    if (!(value_right_ - value_left_ > 0)) return;
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(value_ < alarm_value_ ? indicator_color_ : alarm_color_);
    c.FillRect(Rect(0, 0, bar_end(), Height()));
    c.Pen().SetColor(alarm_color_);
    c.Pen().SetWidth(1);
    const int ax = alarm_x();
    c.MoveTo(ax, 0);
    c.LineTo(ax, Height());
    // The number reads on both parts of the bar: over the lit part in the
    // ink that reads on the bar's colour, over the rest in the font's.
    const TRect whole = c.ClipRect();
    const int end = std::clamp(bar_end(), 0, Width());
    c.SetClipRect(IntersectRect(whole, Rect(end, 0, Width(), Height())));
    draw_value_indicator(c, Font().Color());
    c.SetClipRect(IntersectRect(whole, Rect(0, 0, end, Height())));
    draw_value_indicator(c, ink_on(value_ < alarm_value_ ? indicator_color_ : alarm_color_));
    c.SetClipRect(whole);
}

}  // namespace widrak
