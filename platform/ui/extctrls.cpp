#include "platform/ui/extctrls.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/frame_controls.h"
#include "platform/ui/text_engine.h"

namespace ui {

// --- TSpeedButton --------------------------------------------------------

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
    set_bounds_raw(0, 0, 23, 22);
    SetParentColor(false);
    SetColor(clBtnFace);
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks});
}

void TSpeedButton::SetFlat(bool v) {
    flat_ = v;
    Invalidate();
}

void TSpeedButton::SetDown(bool v) {
    if (group_index_ == 0) v = false;
    if (v == down_) return;
    if (!v && !allow_all_up_) {
        // In a group without all-up, one button stays down.
        bool other_down = false;
        if (Parent())
            for (int i = 0; i < Parent()->ControlCount(); ++i)
                if (auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
                    b && b != this && b->group_index_ == group_index_ && b->down_)
                    other_down = true;
        if (!other_down) return;
    }
    down_ = v;
    if (v && Parent())
        for (int i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
                b && b != this && b->group_index_ == group_index_ && b->down_) {
                b->down_ = false;
                b->Invalidate();
            }
    Invalidate();
}

void TSpeedButton::Click() {
    if (group_index_ != 0) {
        if (down_ && allow_all_up_) {
            down_ = false;
            Invalidate();
        } else {
            SetDown(true);
        }
    }
    TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && EnabledInTree()) {
        pressed_ = true;
        Invalidate();
    }
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (pressed_) {
        pressed_ = false;
        Invalidate();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::MouseEnter() {
    TGraphicControl::MouseEnter();
    if (flat_) Invalidate();
}

void TSpeedButton::MouseLeave() {
    TGraphicControl::MouseLeave();
    if (flat_) Invalidate();
}

void TSpeedButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    const bool sunk = pressed_ || down_;
    c.Brush().SetColor(down_ && !pressed_ ? clBtnHighlight : Color());
    c.FillRect(r);
    if (flat_) {
        if (sunk)
            Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
        else if (MouseInControl() && EnabledInTree())
            Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
    } else {
        DrawEdge(c, r, sunk ? Edge::Sunken : Edge::Raised);
    }
    const int shift = sunk ? 1 : 0;
    int text_left = 0;
    if (!glyph_.Empty()) {
        const TSize text = Caption().empty() ? TSize{} : c.TextExtent(Caption());
        const int total = glyph_.Width() + (Caption().empty() ? 0 : 4 + text.cx);
        const int gx = (Width() - total) / 2 + shift, gy = (Height() - glyph_.Height()) / 2 + shift;
        // The glyph's bottom-left colour is transparent.
        const TColor transparent = glyph_.Pixel(0, glyph_.Height() - 1);
        for (int y = 0; y < glyph_.Height(); ++y)
            for (int x = 0; x < glyph_.Width(); ++x) {
                const TColor p = glyph_.Pixel(x, y);
                if (p == transparent) continue;
                c.SetPixel(gx + x, gy + y, EnabledInTree() ? p : ColorToRGB(clBtnShadow));
            }
        text_left = gx + glyph_.Width() + 4 - shift;
    }
    TRect t =
        glyph_.Empty() ? ClientRect().Offset(shift, shift) : Rect(text_left + shift, shift, Width(), Height() + shift);
    c.Brush().SetStyle(bsClear);
    const unsigned flags = (glyph_.Empty() ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE;
    if (EnabledInTree())
        c.DrawText(Caption(), t, flags);
    else
        DrawDisabledText(c, Caption(), t, flags);
}

// --- TScrollBar ------------------------------------------------------------

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clScrollBar);
    set_bounds_raw(0, 0, 121, 16);
}

void TScrollBar::SetKind(TScrollBarKind k) {
    if (k == kind_) return;
    kind_ = k;
    SetBounds(Left(), Top(), Height(), Width());
}

void TScrollBar::SetPageSize(int v) {
    page_size_ = std::clamp(v, 0, std::max(0, max_ - min_ + 1));
    SetParams(position_, min_, max_);
    Invalidate();
}

int TScrollBar::MaxPosition() const { return page_size_ > 0 ? std::max(min_, max_ - page_size_ + 1) : max_; }

void TScrollBar::SetParams(int position, int min, int max) {
    if (max < min) max = min;
    min_ = min;
    max_ = max;
    const int p = std::clamp(position, min_, MaxPosition());
    const bool changed = p != position_;
    position_ = p;
    Invalidate();
    if (changed && OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode code, int track_position) {
    int pos = position_;
    switch (code) {
        case scLineUp: pos -= small_change_; break;
        case scLineDown: pos += small_change_; break;
        case scPageUp: pos -= large_change_; break;
        case scPageDown: pos += large_change_; break;
        case scPosition:
        case scTrack: pos = track_position; break;
        case scTop: pos = min_; break;
        case scBottom: pos = MaxPosition(); break;
        default: break;
    }
    pos = std::clamp(pos, min_, MaxPosition());
    if (OnScroll) OnScroll(this, code, pos);
    SetPosition(pos);
}

void TScrollBar::thumb(int& start, int& size) const {
    const int arrows = thickness();
    const int track = std::max(0, length() - 2 * arrows);
    const int range = max_ - min_ + 1;
    size = page_size_ > 0 ? std::max(8, track * page_size_ / std::max(1, range)) : std::min(arrows, track);
    size = std::min(size, track);
    const int span = std::max(1, MaxPosition() - min_);
    start = arrows + (track - size) * (position_ - min_) / span;
}

void TScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TWinControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !EnabledInTree()) return;
    const int at = kind_ == sbHorizontal ? x : y;
    int start = 0, size = 0;
    thumb(start, size);
    if (at < thickness())
        Scroll(scLineUp);
    else if (at >= length() - thickness())
        Scroll(scLineDown);
    else if (at < start)
        Scroll(scPageUp);
    else if (at >= start + size)
        Scroll(scPageDown);
    else
        drag_offset_ = at - start;
}

void TScrollBar::MouseMove(TShiftState shift, int x, int y) {
    TWinControl::MouseMove(shift, x, y);
    if (drag_offset_ < 0) return;
    int start = 0, size = 0;
    thumb(start, size);
    const int at = (kind_ == sbHorizontal ? x : y) - drag_offset_;
    const int track = std::max(1, length() - 2 * thickness() - size);
    const int pos =
        min_ + static_cast<int>(std::lround(static_cast<double>(at - thickness()) * (MaxPosition() - min_) / track));
    Scroll(scTrack, std::clamp(pos, min_, MaxPosition()));
}

void TScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (drag_offset_ >= 0) {
        drag_offset_ = -1;
        int pos = position_;
        if (OnScroll) OnScroll(this, scEndScroll, pos);
    }
    TWinControl::MouseUp(button, shift, x, y);
}

void TScrollBar::DoKeyDown(TKey& key, TShiftState) {
    const bool h = kind_ == sbHorizontal;
    if (key == (h ? VK_LEFT : VK_UP))
        Scroll(scLineUp);
    else if (key == (h ? VK_RIGHT : VK_DOWN))
        Scroll(scLineDown);
    else if (key == VK_PRIOR)
        Scroll(scPageUp);
    else if (key == VK_NEXT)
        Scroll(scPageDown);
    else if (key == VK_HOME)
        Scroll(scTop);
    else if (key == VK_END)
        Scroll(scBottom);
    else
        return;
    key = 0;
}

void TScrollBar::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const int t = thickness();
    const unsigned inactive = EnabledInTree() ? 0 : DFCS_INACTIVE;
    int start = 0, size = 0;
    thumb(start, size);
    if (kind_ == sbHorizontal) {
        DrawFrameControl(c, Rect(0, 0, t, t), DFC_SCROLL, DFCS_SCROLLLEFT | inactive);
        DrawFrameControl(c, Rect(Width() - t, 0, Width(), t), DFC_SCROLL, DFCS_SCROLLRIGHT | inactive);
        if (EnabledInTree() && size > 0)
            DrawFrameControl(c, Rect(start, 0, start + size, t), DFC_BUTTON, DFCS_BUTTONPUSH);
    } else {
        DrawFrameControl(c, Rect(0, 0, t, t), DFC_SCROLL, DFCS_SCROLLUP | inactive);
        DrawFrameControl(c, Rect(0, Height() - t, t, Height()), DFC_SCROLL, DFCS_SCROLLDOWN | inactive);
        if (EnabledInTree() && size > 0)
            DrawFrameControl(c, Rect(0, start, t, start + size), DFC_BUTTON, DFCS_BUTTONPUSH);
    }
}

// --- TTrackBar -------------------------------------------------------------

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetParentColor(true);
    set_bounds_raw(0, 0, 150, 45);
}

void TTrackBar::SetMin(int v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    SetPosition(position_);
}
void TTrackBar::SetMax(int v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    SetPosition(position_);
}
void TTrackBar::SetPosition(int v) {
    position_ = std::clamp(v, min_, max_);
    Invalidate();
}
void TTrackBar::SetOrientation(TTrackBarOrientation o) {
    if (o == orientation_) return;
    orientation_ = o;
    SetBounds(Left(), Top(), Height(), Width());
}

int TTrackBar::channel_length() const {
    return std::max(1, (orientation_ == trHorizontal ? Width() : Height()) - 2 * channel_start());
}

int TTrackBar::pos_to_pixel(int pos) const {
    const int span = std::max(1, max_ - min_);
    return channel_start() + static_cast<int>(static_cast<long long>(channel_length()) * (pos - min_) / span);
}

int TTrackBar::pixel_to_pos(int pixel) const {
    const int span = max_ - min_;
    const double f = static_cast<double>(pixel - channel_start()) / channel_length();
    return std::clamp(min_ + static_cast<int>(std::lround(f * span)), min_, max_);
}

void TTrackBar::user_set(int v) {
    v = std::clamp(v, min_, max_);
    if (v == position_) return;
    position_ = v;
    Invalidate();
    if (OnChange) OnChange(this);
}

void TTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TWinControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !EnabledInTree()) return;
    const int at = orientation_ == trHorizontal ? x : y;
    const int thumb = pos_to_pixel(position_);
    if (std::abs(at - thumb) <= 5)
        dragging_ = true;
    else
        user_set(position_ + (at < thumb ? -page_size_ : page_size_));
}

void TTrackBar::MouseMove(TShiftState shift, int x, int y) {
    TWinControl::MouseMove(shift, x, y);
    if (dragging_) user_set(pixel_to_pos(orientation_ == trHorizontal ? x : y));
}

void TTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    dragging_ = false;
    TWinControl::MouseUp(button, shift, x, y);
}

void TTrackBar::DoKeyDown(TKey& key, TShiftState) {
    switch (key) {
        case VK_LEFT:
        case VK_UP: user_set(position_ - line_size_); break;
        case VK_RIGHT:
        case VK_DOWN: user_set(position_ + line_size_); break;
        case VK_PRIOR: user_set(position_ - page_size_); break;
        case VK_NEXT: user_set(position_ + page_size_); break;
        case VK_HOME: user_set(min_); break;
        case VK_END: user_set(max_); break;
        default: return;
    }
    key = 0;
}

void TTrackBar::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const bool h = orientation_ == trHorizontal;
    const int across = h ? Height() : Width();
    const int mid = std::min(across / 2, 14);
    TRect channel = h ? Rect(channel_start() - 4, mid - 2, channel_start() + channel_length() + 5, mid + 2)
                      : Rect(mid - 2, channel_start() - 4, mid + 2, channel_start() + channel_length() + 5);
    c.Brush().SetColor(clWindow);
    c.FillRect(channel);
    DrawEdge(c, channel, Edge::Sunken);
    // Ticks every Frequency positions below (or right of) the channel.
    c.Pen().SetColor(clBtnText);
    if (frequency_ > 0) {
        for (long long p = min_; p <= max_; p += frequency_) {
            const int px = pos_to_pixel(static_cast<int>(p));
            if (h) {
                c.MoveTo(px, mid + 12);
                c.LineTo(px, mid + 15);
            } else {
                c.MoveTo(mid + 12, px);
                c.LineTo(mid + 15, px);
            }
        }
    }
    const int t = pos_to_pixel(position_);
    TRect thumb = h ? Rect(t - 5, mid - 9, t + 6, mid + 10) : Rect(mid - 9, t - 5, mid + 10, t + 6);
    DrawFrameControl(c, thumb, DFC_BUTTON, DFCS_BUTTONPUSH);
    if (Focused()) c.DrawFocusRect(ClientRect());
}

// --- TProgressBar ----------------------------------------------------------

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    SetColor(clBtnFace);
    set_bounds_raw(0, 0, 150, 16);
}

void TProgressBar::SetMin(int v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    SetPosition(position_);
}
void TProgressBar::SetMax(int v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    SetPosition(position_);
}
void TProgressBar::SetPosition(int v) {
    v = std::clamp(v, min_, max_);
    if (v == position_) return;
    position_ = v;
    Invalidate();
}
void TProgressBar::SetSmooth(bool v) {
    smooth_ = v;
    Invalidate();
}
void TProgressBar::SetOrientation(TProgressBarOrientation o) {
    orientation_ = o;
    Invalidate();
}

void TProgressBar::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
}

void TProgressBar::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const int span = std::max(1, max_ - min_);
    const bool h = orientation_ == pbHorizontal;
    const int length = h ? ClientWidth() - 2 : ClientHeight() - 2;
    const int filled = static_cast<int>(static_cast<long long>(length) * (position_ - min_) / span);
    c.Brush().SetColor(clHighlight);
    if (smooth_) {
        c.FillRect(h ? Rect(1, 1, 1 + filled, ClientHeight() - 1)
                     : Rect(1, ClientHeight() - 1 - filled, ClientWidth() - 1, ClientHeight() - 1));
        return;
    }
    // Blocks as wide as two thirds of the height, two pixels apart.
    const int block = std::max(2, ((h ? ClientHeight() : ClientWidth()) - 2) * 2 / 3);
    for (int at = 0; at < filled; at += block + 2) {
        const int end = std::min(at + block, length);
        if (h)
            c.FillRect(Rect(1 + at, 1, 1 + end, ClientHeight() - 1));
        else
            c.FillRect(Rect(1, ClientHeight() - 1 - end, ClientWidth() - 1, ClientHeight() - 1 - at));
    }
}

// --- TPaintBox, TImage -------------------------------------------------------

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
    SetParentColor(true);
    set_bounds_raw(0, 0, 105, 105);
}

void TPaintBox::Paint() {
    if (OnPaint) OnPaint(this);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetParentColor(true);
    set_bounds_raw(0, 0, 105, 105);
}

void TImage::LoadFromFile(const std::string& png_path) {
    picture_.LoadFromFile(png_path);
    if (auto_size_) SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
    Invalidate();
}

void TImage::SetStretch(bool v) {
    stretch_ = v;
    Invalidate();
}
void TImage::SetAutoSize(bool v) {
    auto_size_ = v;
    if (v && !picture_.Empty()) SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
}

void TImage::Paint() {
    if (picture_.Empty()) return;
    TCanvas& c = Canvas();
    if (stretch_)
        c.StretchDraw(ClientRect(), picture_);
    else if (center_)
        c.Draw((Width() - picture_.Width()) / 2, (Height() - picture_.Height()) / 2, picture_);
    else
        c.Draw(0, 0, picture_);
}

// --- TSplitter -------------------------------------------------------------

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
    SetParentColor(true);
    set_bounds_raw(0, 0, 3, 100);
    SetAlign(alLeft);
    SetCursor(crHSplit);
    SetControlStyle({csCaptureMouse});
}

void TSplitter::SetBeveled(bool v) {
    beveled_ = v;
    Invalidate();
}

TControl* TSplitter::find_control() const {
    TWinControl* p = Parent();
    if (!p) return nullptr;
    for (int i = 0; i < p->ControlCount(); ++i) {
        TControl* c = p->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align()) continue;
        switch (Align()) {
            case alLeft:
                if (c->Left() + c->Width() == Left()) return c;
                break;
            case alRight:
                if (c->Left() == Left() + Width()) return c;
                break;
            case alTop:
                if (c->Top() + c->Height() == Top()) return c;
                break;
            case alBottom:
                if (c->Top() == Top() + Height()) return c;
                break;
            default: break;
        }
    }
    return nullptr;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    target_ = find_control();
    down_at_ = ClientToScreen({x, y});
    if (target_) start_size_ = (Align() == alLeft || Align() == alRight) ? target_->Width() : target_->Height();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!target_ || !Parent()) return;
    const TPoint at = ClientToScreen({x, y});
    const bool horizontal = Align() == alLeft || Align() == alRight;
    int delta = horizontal ? at.x - down_at_.x : at.y - down_at_.y;
    if (Align() == alRight || Align() == alBottom) delta = -delta;
    // What the other aligned controls leave for the client-aligned one.
    int others = 0;
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
        TControl* c = Parent()->Controls(i);
        if (c == target_ || !c->Visible()) continue;
        if (horizontal && (c->Align() == alLeft || c->Align() == alRight)) others += c->Width();
        if (!horizontal && (c->Align() == alTop || c->Align() == alBottom)) others += c->Height();
    }
    const int room = (horizontal ? Parent()->ClientWidth() : Parent()->ClientHeight()) - others - min_size_;
    int size = std::clamp(start_size_ + delta, min_size_, std::max(min_size_, room));
    bool accept = true;
    if (OnCanResize) OnCanResize(this, size, accept);
    if (!accept) return;
    if (horizontal)
        target_->SetWidth(size);
    else
        target_->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (target_) {
        target_ = nullptr;
        if (OnMoved) OnMoved(this);
    }
}

void TSplitter::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    if (beveled_) {
        TRect r = ClientRect();
        Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
    }
}

// --- TDateTimePicker -------------------------------------------------------

TDateTimePicker::TDateTimePicker(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    set_bounds_raw(0, 0, 186, 21);
    value_ = std::floor(rtl::Now());
    AdjustSize();
}

void TDateTimePicker::AdjustSize() { SetHeight(text_engine::line_height(Font()) + 8); }

void TDateTimePicker::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    DrawEdge(c, r, Edge::Sunken);
}

void TDateTimePicker::SetKind(TDateTimeKind k) {
    kind_ = k;
    field_ = 0;
    Invalidate();
}

void TDateTimePicker::SetDateTime(rtl::TDateTime v) {
    if (min_date_ != 0 && v < min_date_) v = min_date_;
    if (max_date_ != 0 && v > max_date_) v = max_date_;
    value_ = v;
    Invalidate();
}

rtl::TDateTime TDateTimePicker::Date() const { return std::floor(value_); }
rtl::TDateTime TDateTimePicker::Time() const { return value_ - std::floor(value_); }
void TDateTimePicker::SetDate(rtl::TDateTime v) { SetDateTime(std::floor(v) + Time()); }
void TDateTimePicker::SetTime(rtl::TDateTime v) { SetDateTime(Date() + (v - std::floor(v))); }

void TDateTimePicker::SetChecked(bool v) {
    checked_ = v;
    Invalidate();
}

void TDateTimePicker::SetFormat(std::string format) {
    format_ = std::move(format);
    field_ = std::min(field_, field_count() - 1);
    Invalidate();
}

std::string TDateTimePicker::DisplayText() const {
    if (!format_.empty()) return rtl::FormatDateTime(format_, value_);
    // The station shows dates only in their numeric form, long or short.
    return kind_ == dtkTime ? rtl::TimeToStr(value_) : rtl::DateToStr(value_);
}

int TDateTimePicker::field_count() const {
    const std::string text = DisplayText();
    int n = 1;
    for (char ch : text)
        if (ch == '.' || ch == ':' || ch == ' ') ++n;
    return std::min(n, 3);
}

void TDateTimePicker::step(int delta) {
    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0, ms = 0;
    rtl::DecodeDate(value_, y, m, d);
    rtl::DecodeTime(value_, hh, mm, ss, ms);
    rtl::TDateTime v = value_;
    if (kind_ == dtkTime) {
        const int seconds[] = {3600, 60, 1};
        int total = hh * 3600 + mm * 60 + ss + delta * seconds[field_];
        total = ((total % 86400) + 86400) % 86400;
        v = Date() + rtl::EncodeTime(total / 3600, total / 60 % 60, total % 60, 0);
    } else if (field_ == 0) {
        v = value_ + delta;
    } else {
        if (field_ == 1) {
            const int months = y * 12 + (m - 1) + delta;
            y = months / 12;
            m = months % 12 + 1;
        } else {
            y += delta;
        }
        // The day stays, or becomes the last day of a shorter month.
        rtl::TDateTime date = 0;
        while (d > 28 && !rtl::TryEncodeDate(y, m, d, date)) --d;
        if (!rtl::TryEncodeDate(y, m, d, date)) return;
        v = date + Time();
    }
    const rtl::TDateTime before = value_;
    SetDateTime(v);
    if (value_ != before && OnChange) OnChange(this);
}

void TDateTimePicker::DoKeyDown(TKey& key, TShiftState) {
    switch (key) {
        case VK_UP: step(1); break;
        case VK_DOWN: step(-1); break;
        case VK_LEFT:
            field_ = std::max(0, field_ - 1);
            Invalidate();
            break;
        case VK_RIGHT:
            field_ = std::min(field_count() - 1, field_ + 1);
            Invalidate();
            break;
        default: return;
    }
    key = 0;
}

void TDateTimePicker::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TWinControl::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    const int button_w = kind_ == dtkTime ? 16 : 17;
    if (x >= ClientWidth() - button_w) {
        if (kind_ == dtkTime) step(y < ClientHeight() / 2 ? 1 : -1);
        return;
    }
    // The part under the click: the text is split at its separators.
    TCanvas& c = Canvas();
    const std::string text = DisplayText();
    const int left = show_checkbox_ ? 18 : 2;
    int part = 0, start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.' || text[i] == ':' || text[i] == ' ') {
            const int end = left + c.TextWidth(text.substr(0, i));
            if (x < end || i == text.size()) break;
            ++part;
            start = end;
        }
    }
    (void)start;
    field_ = std::min(part, field_count() - 1);
    Invalidate();
}

void TDateTimePicker::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(EnabledInTree() ? Color() : clBtnFace);
    c.FillRect(ClientRect());
    int left = 2;
    if (show_checkbox_) {
        DrawFrameControl(c, Bounds(2, (ClientHeight() - 13) / 2, 13, 13), DFC_BUTTON,
                         DFCS_BUTTONCHECK | (checked_ ? DFCS_CHECKED : 0));
        left = 18;
    }
    const std::string text = DisplayText();
    const int y = (ClientHeight() - text_engine::line_height(c.Font())) / 2;
    c.Brush().SetStyle(bsClear);
    c.Font().SetColor(EnabledInTree() && checked_ ? Font().Color() : clGrayText);
    c.TextOut(left, y, text);
    if (Focused()) {
        // The part the arrows change is highlighted.
        std::size_t from = 0, to = text.size();
        int part = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '.' || text[i] == ':' || text[i] == ' ') {
                if (part == field_) {
                    to = i;
                    break;
                }
                ++part;
                from = i + 1;
            }
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clHighlight);
        c.Font().SetColor(clHighlightText);
        c.TextOut(left + c.TextWidth(text.substr(0, from)), y, text.substr(from, to - from));
    }
    const int w = ClientWidth(), h = ClientHeight();
    if (kind_ == dtkTime) {
        DrawFrameControl(c, Rect(w - 16, 0, w, h / 2), DFC_SCROLL, DFCS_SCROLLUP);
        DrawFrameControl(c, Rect(w - 16, h / 2, w, h), DFC_SCROLL, DFCS_SCROLLDOWN);
    } else {
        DrawFrameControl(c, Rect(w - 17, 0, w, h), DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
    }
}

}  // namespace ui
