#include "widrak/my_button.h"

#include <algorithm>

#include "platform/ui/application.h"

namespace widrak {

using namespace ui;

TMyButton::TMyButton(TComponent* owner) : TMyWinBase(owner) {
    set_bounds_raw(0, 0, 100, 25);
    SetTabStop(true);
    inner_margin_ = Screen().PixelsPerInch() <= 100 ? 1 : 3;
}

TMyButton::~TMyButton() {
    if (images_) images_->RemoveFreeNotification(this);
}

namespace {
template <typename T>
void store(TControl& c, T& field, T value) {
    if (field == value) return;
    field = value;
    c.Invalidate();
}
}  // namespace

void TMyButton::SetAlignment(TAlignment a) { store(*this, alignment_, a); }
void TMyButton::SetGradientType(TMyButtonGradientTypes t) { store(*this, gradient_type_, t); }
void TMyButton::SetGradientColor1(TColor c) { store(*this, gradient_color1_, c); }
void TMyButton::SetGradientColor2(TColor c) { store(*this, gradient_color2_, c); }
void TMyButton::SetTextShadow(bool v) { store(*this, text_shadow_, v); }
void TMyButton::SetTextShadowColor(TColor c) { store(*this, text_shadow_color_, c); }
void TMyButton::SetBorderFrame(bool v) { store(*this, border_frame_, v); }
void TMyButton::SetAutoBorderColor(bool v) { store(*this, auto_border_color_, v); }
void TMyButton::SetBorderColor(TColor c) { store(*this, border_color_, c); }
void TMyButton::SetBorderWidth(int w) { store(*this, border_width_, w); }
void TMyButton::SetDefault(bool v) { store(*this, default_, v); }
void TMyButton::SetCancel(bool v) { store(*this, cancel_, v); }
void TMyButton::SetDefaultColor(TColor c) { store(*this, default_color_, c); }
void TMyButton::SetFrameColor(TColor c) { store(*this, frame_color_, c); }
void TMyButton::SetImageIndex(int index) { store(*this, image_index_, index); }
void TMyButton::SetTextAlign(TAlign a) { store(*this, text_align_, a); }

void TMyButton::SetAutoGradientColors(bool v) {
    if (v) {
        SetGradientColor1(get_dark_color(Color(), 32, 0));
        SetGradientColor2(get_light_color(Color(), 32, 0));
    }
    store(*this, auto_gradient_colors_, v);
}

void TMyButton::SetType(TMyButtonTypes t) {
    // The window shape follows the type; it is worked out at each paint.
    store(*this, type_, t);
}

void TMyButton::SetImages(TCustomImageList* images) {
    if (images_) images_->RemoveFreeNotification(this);
    images_ = images;
    if (images_) images_->FreeNotification(this);
    Invalidate();
}

void TMyButton::Notification(TComponent* component, TOperation operation) {
    TMyWinBase::Notification(component, operation);
    if (operation == opRemove && component == images_) {
        images_ = nullptr;
        Invalidate();
    }
}

bool TMyButton::has_image() const { return images_ && image_index_ >= 0; }

bool TMyButton::InRegion(int x, int y) const {
    const int w = ClientWidth(), h = ClientHeight();
    if (x < 0 || y < 0 || x >= w || y >= h) return false;
    if (type_ != mbtRoundRect) return true;
    // A rounded rectangle one pixel larger than the client area, with
    // elliptic corners of r x r.
    const int r = h / 6;
    if (r < 2) return true;
    const double a = r / 2.0;
    const double right = w + 1, bottom = h + 1;
    const double px = x + 0.5, py = y + 0.5;
    double cx, cy;
    if (px < a)
        cx = a;
    else if (px > right - a)
        cx = right - a;
    else
        return true;
    if (py < a)
        cy = a;
    else if (py > bottom - a)
        cy = bottom - a;
    else
        return true;
    return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= a * a;
}

void TMyButton::Paint() {
    const int w = ClientWidth(), h = ClientHeight();
    if (w <= 0 || h <= 0) return;
    if (type_ != mbtRoundRect || h / 6 < 2) {
        paint_on(Canvas());
        return;
    }
    // Drawn aside, then only the pixels inside the rounded shape are copied.
    TBitmap picture(w, h);
    paint_on(picture.Canvas());
    for (int y = 0; y < h; ++y) {
        int x0 = 0;
        while (x0 < w && !InRegion(x0, y)) ++x0;
        int x1 = w - 1;
        while (x1 >= x0 && !InRegion(x1, y)) --x1;
        if (x1 >= x0) Canvas().CopyRect(Rect(x0, y, x1 + 1, y + 1), picture.Canvas(), Rect(x0, y, x1 + 1, y + 1));
    }
}

void TMyButton::paint_on(TCanvas& c) {
    const int w = ClientWidth(), h = ClientHeight();
    const int bw = border_width_;
    c.Font().Assign(Font());
    c.Pen().SetColor(clBlack);
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(Rect(0, 0, w, h));

    // The face.
    const TColor hue = default_ ? default_color_ : ColorHue();
    const int boost = hover_ ? 32 : 0;
    TColor c1, c2;
    if (auto_gradient_colors_) {
        c1 = get_dark_color(Color(), 25 - boost, hue);
        c2 = get_light_color(Color(), boost + 25, hue);
    } else {
        c1 = get_dark_color(gradient_color1_, boost, hue);
        c2 = get_light_color(gradient_color2_, boost, hue);
    }
    if (gradient_type_ != mbgtNone) {
        draw_gradient(c, gradient_type_, c1, c2, bw, bw, w - bw, h - bw);
    } else {
        c.Brush().SetColor(get_light_color(Color(), hover_ ? 14 : 0, hue));
        c.FillRect(c.ClipRect());
    }

    // The caption.
    c.Font().Assign(Font());
    c.Brush().SetStyle(bsClear);
    if (text_shadow_ && !pressed_) draw_caption(c, text_shadow_color_, 1);
    const TColor font = EnabledInTree() ? Font().Color() : get_dark_color(clBtnFace, 96, 0);
    draw_caption(c, font, pressed_ ? 1 : 0);
    c.Brush().SetStyle(bsSolid);

    draw_border(c);

    if (Focused()) {
        const int in = bw + inner_margin_ - 1;
        const int off = pressed_ ? 1 : 0;
        c.Brush().SetColor(Color());
        c.DrawFocusRect(Rect(in + off, in + off, w - in + off, h - in + off));
    }
}

void TMyButton::draw_caption(TCanvas& c, TColor color, int offset) {
    const int w = ClientWidth(), h = ClientHeight();
    const int e = border_width_ + inner_margin_;
    TRect area = Rect(e, e, w - e, h - e);
    const unsigned measure = DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX;
    TRect m = area;
    c.DrawText(Caption(), m, measure);
    int tw = m.Width(), th = m.Height();
    TPoint image{0, 0};
    const bool with_image = has_image();
    if (!with_image) {
        area.Top = (h - th) / 2;
    } else {
        const int iw = images_->Width(), ih = images_->Height();
        if (text_align_ == alBottom) {
            image = {(w - iw) / 2, e};
            area.Top = e + ih;
            area.Bottom = e + ih + th;
        } else if (text_align_ == alRight) {
            m = area;
            m.Left += inner_margin_ + iw;
            c.DrawText(Caption(), m, measure);
            tw = m.Width();
            th = m.Height();
            area.Left = (w + iw + inner_margin_ - tw) / 2;
            area.Top = (h - th) / 2;
            area.Right = area.Left + tw + 1;
            area.Bottom = (h + th) / 2 + 2;
            image = {area.Left - iw - inner_margin_, (h - ih) / 2};
        } else {
            image = {(w - iw) / 2, (h - ih) / 2};
        }
        images_->Draw(c, image.x + offset, image.y + offset, image_index_, EnabledInTree());
    }
    c.Font().SetColor(color);
    TRect r = area.Offset(offset, offset);
    c.DrawText(Caption(), r, DT_CENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void TMyButton::draw_border(TCanvas& c) {
    const int w = ClientWidth(), h = ClientHeight();
    const int bw = border_width_;
    TColor light, dark;
    if (EnabledInTree()) {
        outline_ = frame_color_ == clNone ? Color() : frame_color_;
        if (auto_border_color_) {
            light = get_light_color(Color(), 32, 0);
            dark = get_dark_color(Color(), 32, 0);
        } else {
            light = dark = border_color_;
        }
    } else {
        light = dark = get_dark_color(clBtnFace, 20, 0);
        outline_ = frame_color_ == clNone ? Color() : get_dark_color(clBtnFace, 64, 0);
    }
    if (hover_) outline_ = get_dark_color(outline_, 16, 0);
    if (default_) outline_ = get_dark_color(default_color_, 96, 0);
    if (pressed_) light = dark = get_dark_color(Color(), 64, 0);

    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsSolid);
    if (type_ == mbtSimple) {
        const int o = border_frame_ ? 1 : 0;
        if (bw > 0) {
            c.Brush().SetColor(light);
            c.FillRect(Rect(o, o, o + bw, h - o));
            c.FillRect(Rect(o, o, w - o, o + bw));
            c.Brush().SetColor(dark);
            c.FillRect(Rect(w - o - bw, o, w - o, h - o));
            c.FillRect(Rect(o, h - o - bw, w - o, h - o));
        }
        if (border_frame_) {
            c.Brush().SetColor(outline_);
            c.FrameRect(Rect(0, 0, w, h));
        }
        return;
    }
    const int r = h / 6;
    const int o = border_frame_ ? 1 : 0;
    const int half = r / 2;
    if (bw > 0) {
        c.Brush().SetColor(light);
        c.FillRect(Rect(o, o + half, o + bw, h - o - half));
        c.FillRect(Rect(o + half, o, w - o - half, o + bw));
        c.Brush().SetColor(dark);
        c.FillRect(Rect(w - o - bw, o + half, w - o, h - o - half));
        c.FillRect(Rect(o + half, h - o - bw, w - o - half, h - o));
    }
    if (r > 0) {
        c.Pen().SetWidth(bw < 1 ? 2 : 2 * bw - 1);
        const int l = o, t = o, rr = w - o, b = h - o;
        auto arc = [&](TColor colour, int x1, int y1, int x3, int y3, int x4, int y4) {
            c.Pen().SetColor(colour);
            c.Arc(x1, y1, x1 + r, y1 + r, x3, y3, x4, y4);
        };
        arc(light, l, t, l + half, t, l, t + half);
        arc(dark, rr - r, t, rr, t + half, rr - half, t);
        arc(dark, l, b - r, l, b - half, l + half, b);
        arc(dark, rr - r, b - r, rr - half, b, rr, b - half);
        c.Pen().SetWidth(1);
    }
    if (border_frame_) {
        c.Pen().SetColor(outline_);
        c.Brush().SetStyle(bsClear);
        c.RoundRect(0, 0, w, h, r + 1, r + 1);
        c.Brush().SetStyle(bsSolid);
    }
}

void TMyButton::Click() {
    if (modal_result_ != mbmrNone)
        if (TCustomForm* f = get_parent()) f->SetModalResult(static_cast<TModalResult>(modal_result_));
    TMyWinBase::Click();
}

void TMyButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (CanFocus() && !Focused()) SetFocus();
    pressed_ = true;
    Repaint();
    TMyWinBase::MouseDown(button, shift, x, y);
}

void TMyButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    pressed_ = false;
    Repaint();
    TMyWinBase::MouseUp(button, shift, x, y);
}

void TMyButton::MouseEnter() {
    hover_ = true;
    Repaint();
    TMyWinBase::MouseEnter();
}

void TMyButton::MouseLeave() {
    hover_ = false;
    Repaint();
    TMyWinBase::MouseLeave();
}

void TMyButton::DoEnter() {
    TMyWinBase::DoEnter();
    Invalidate();
}

void TMyButton::DoExit() {
    TMyWinBase::DoExit();
    Invalidate();
}

void TMyButton::EnabledChanged() {
    TMyWinBase::EnabledChanged();
    Invalidate();
}

bool TMyButton::WantsKey(TKey key, TShiftState shift) const {
    return key == VK_RETURN || TMyWinBase::WantsKey(key, shift);
}

void TMyButton::DoKeyDown(TKey& key, TShiftState shift) {
    if (key == VK_RETURN) {
        key = 0;
        Click();
        return;
    }
    TMyWinBase::DoKeyDown(key, shift);
}

namespace {
bool focused_button_inside(const TWinControl& parent) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        if (auto* b = dynamic_cast<TMyButton*>(c); b && b->Focused()) return true;
        if (auto* w = dynamic_cast<TWinControl*>(c); w && focused_button_inside(*w)) return true;
    }
    return false;
}
}  // namespace

bool TMyButton::focus_in_form_buttons() const {
    const TCustomForm* f = get_parent();
    return f && focused_button_inside(*f);
}

bool TMyButton::DialogKey(TKey key) {
    if (key == VK_RETURN && default_) {
        if (EnabledInTree() && !Focused() && !focus_in_form_buttons()) {
            Click();
            return true;
        }
        return false;
    }
    // A disabled or hidden cancel button does not act on Escape.
    if (key == VK_ESCAPE && cancel_ && EnabledInTree() && Visible()) {
        Click();
        return true;
    }
    return TMyWinBase::DialogKey(key);
}

}  // namespace widrak
