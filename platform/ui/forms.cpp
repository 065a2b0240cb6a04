#include "platform/ui/forms.h"

#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/menus.h"

namespace ui {
namespace {

int frame_width(TFormBorderStyle s) {
    switch (s) {
        case bsNone: return 0;
        case bsSizeable:
        case bsSizeToolWin: return 4;
        default: return 3;
    }
}

int caption_height(TFormBorderStyle s) {
    switch (s) {
        case bsNone: return 0;
        case bsToolWindow:
        case bsSizeToolWin: return kToolCaptionHeight;
        default: return kCaptionHeight;
    }
}

// The small buttons at the right of the caption bar.
void caption_button(TCanvas& c, const TRect& r, int glyph) {
    c.Brush().SetColor(clBtnFace);
    c.FillRect(r);
    TRect e = r;
    DrawEdge(c, e, Edge::Raised);
    c.Pen().SetColor(clBtnText);
    const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    switch (glyph) {
        case 0:  // close: a cross
            for (int d = 0; d < 2; ++d) {
                c.MoveTo(cx - 4 + d, cy - 3);
                c.LineTo(cx + 3 + d, cy + 4);
                c.MoveTo(cx + 2 + d, cy - 3);
                c.LineTo(cx - 5 + d, cy + 4);
            }
            break;
        case 1:  // maximise: a window
            c.Brush().SetColor(clBtnText);
            c.FrameRect(Rect(cx - 4, cy - 4, cx + 5, cy + 4));
            c.MoveTo(cx - 4, cy - 3);
            c.LineTo(cx + 5, cy - 3);
            break;
        case 2:  // minimise: a bar
            c.MoveTo(cx - 4, cy + 2);
            c.LineTo(cx + 2, cy + 2);
            c.MoveTo(cx - 4, cy + 3);
            c.LineTo(cx + 2, cy + 3);
            break;
    }
}

}  // namespace

TCustomForm::TCustomForm(TComponent* owner) : TCustomControl(owner) {
    visible_ = false;
    parent_font_ = false;
    color_ = clBtnFace;
    set_bounds_raw(0, 0, 320, 240);
    Screen().AddForm(this);
}

TCustomForm::~TCustomForm() {
    destroying_ = true;
    if (OnDestroy) OnDestroy(this);
    // An open menu belongs to a component that outlives this part of the form.
    if (popup_) popup_->ClosePopup();
    popup_ = nullptr;
    if (menu_) menu_->form_ = nullptr;
    menu_ = nullptr;
    DestroyChildren();
    if (visible_) {
        visible_ = false;
        display().FormHidden(*this);
    }
    Screen().RemoveForm(this);
    Application().form_destroyed(this);
}

TRect TCustomForm::ClientInsets() const {
    const int bar = bar_shown_ ? MenuBarHeight() : 0;
    if (window_state_ == wsMaximized && border_style_ != bsNone) {
        // A maximised window's frame lies beyond the screen.
        const int c = caption_height(border_style_);
        return {0, c + bar, 0, 0};
    }
    const int f = frame_width(border_style_);
    return {f, f + caption_height(border_style_) + bar, f, f};
}

TRect TCustomForm::MenuBarRect() const {
    if (!bar_shown_) return {};
    const TRect in = ClientInsets();
    return Rect(in.Left, in.Top - MenuBarHeight(), Width() - in.Right, in.Top);
}

void TCustomForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_) return;
    if (menu_) {
        menu_->CloseMenu();
        menu_->form_ = nullptr;
    }
    if (menu && menu->form_) menu->form_->SetMenu(nullptr);
    menu_ = menu;
    if (menu_) menu_->form_ = this;
    MenuChanged();
}

void TCustomForm::MenuChanged() {
    const bool shown = menu_ && menu_->Items()->Count() > 0;
    if (shown != bar_shown_) {
        const int cw = ClientWidth(), ch = ClientHeight();
        bar_shown_ = shown;
        SetBounds(Left(), Top(), cw + ClientInsets().Left + ClientInsets().Right,
                  ch + ClientInsets().Top + ClientInsets().Bottom);
        Realign();
    }
    Invalidate();
}

bool TCustomForm::IsShortCut(TKey key, TShiftState shift) {
    for (TControl* c = active_control_ ? static_cast<TControl*>(active_control_) : this; c; c = c->Parent())
        if (TPopupMenu* m = c->PopupMenu(); m && m->IsShortCut(key, shift)) return true;
    return menu_ && menu_->IsShortCut(key, shift);
}

void TCustomForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const TRect in = ClientInsets();
    const TPoint window{x + in.Left, y + in.Top};
    if (MenuBarRect().Contains(window)) {
        // The bar is not the client area: no OnMouseDown for it.
        if (button == mbLeft) menu_->DropDown(menu_->BarItemAt(window));
        return;
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == border_style_) return;
    const int cw = ClientWidth(), ch = ClientHeight();
    border_style_ = style;
    // The client area keeps its size, as on the stations' desktops.
    SetBounds(Left(), Top(), cw + ClientInsets().Left + ClientInsets().Right,
              ch + ClientInsets().Top + ClientInsets().Bottom);
    Invalidate();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
    border_icons_ = icons;
    Invalidate();
}

void TCustomForm::SetWindowState(TWindowState state) {
    if (state == window_state_) return;
    if (window_state_ == wsNormal) normal_bounds_ = BoundsRect();
    window_state_ = state;
    if (state == wsMaximized)
        SetBoundsRect(Screen().WorkAreaRect());
    else if (state == wsNormal && !normal_bounds_.IsEmpty())
        SetBoundsRect(normal_bounds_);
    Invalidate();
    if (visible_) display().FormChanged(*this);
}

void TCustomForm::PaintFrame(TCanvas& c) {
    const int f = window_state_ == wsMaximized ? 0 : frame_width(border_style_);
    TRect r = Rect(0, 0, Width(), Height());
    if (f > 0) {
        c.Brush().SetColor(clBtnFace);
        c.FillRect(r);
        DrawEdge(c, r, Edge::Raised);
    }
    if (bar_shown_) menu_->PaintBar(c, MenuBarRect());
    const int ch = caption_height(border_style_);
    if (ch == 0) return;
    const bool active = Active();
    const TRect bar = Rect(f, f, Width() - f, f + ch - 1);
    // The caption bar runs from the caption colour to its gradient colour.
    const TColor from = ColorToRGB(active ? clActiveCaption : clInactiveCaption);
    const TColor to = ColorToRGB(active ? clGradientActiveCaption : clGradientInactiveCaption);
    const int w = bar.Width();
    for (int i = 0; i < w; ++i) {
        const int n = std::max(1, w - 1);
        c.Brush().SetColor(RGBToColor(GetRValue(from) + (GetRValue(to) - GetRValue(from)) * i / n,
                                      GetGValue(from) + (GetGValue(to) - GetGValue(from)) * i / n,
                                      GetBValue(from) + (GetBValue(to) - GetBValue(from)) * i / n));
        c.FillRect(Rect(bar.Left + i, bar.Top, bar.Left + i + 1, bar.Bottom));
    }
    c.Brush().SetColor(clBtnFace);
    c.FillRect(Rect(f, bar.Bottom, Width() - f, bar.Bottom + 1));
    // Caption buttons from the right.
    int right = bar.Right - 2;
    const int bh = ch - 5, bw = bh + 2;
    if (border_icons_.Contains(biSystemMenu)) {
        caption_button(c, Rect(right - bw, bar.Top + 2, right, bar.Top + 2 + bh), 0);
        right -= bw + 2;
        if ((border_style_ == bsSizeable || border_style_ == bsSingle) &&
            (border_icons_.Contains(biMaximize) || border_icons_.Contains(biMinimize))) {
            caption_button(c, Rect(right - bw, bar.Top + 2, right, bar.Top + 2 + bh), 1);
            right -= bw;
            caption_button(c, Rect(right - bw, bar.Top + 2, right, bar.Top + 2 + bh), 2);
            right -= bw;
        }
    }
    c.Font().SetColor(active ? clCaptionText : clInactiveCaptionText);
    c.Font().SetStyle({fsBold});
    c.Brush().SetStyle(bsClear);
    TRect text = Rect(bar.Left + 4, bar.Top, right - 2, bar.Bottom);
    c.DrawText(Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void TCustomForm::Paint() {
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(ClientRect());
    if (OnPaint) OnPaint(this);
}

void TCustomForm::Resized() {
    TCustomControl::Resized();
    InvalidateWindowRect(Rect(0, 0, Width(), Height()));
}

void TCustomForm::SetMinClientSize(int width, int height) {
    min_client_ = {std::max(0, width), std::max(0, height)};
    SetBounds(Left(), Top(), Width(), Height());
    if (visible_) display().FormChanged(*this);
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
    // The frame (caption, borders, menu bar) comes on top of the client's
    // least size.
    if (min_client_.cx > 0) width = std::max(width, min_client_.cx + Width() - ClientWidth());
    if (min_client_.cy > 0) height = std::max(height, min_client_.cy + Height() - ClientHeight());
    TCustomControl::SetBounds(left, top, width, height);
    if (visible_) display().FormChanged(*this);
}

void TCustomForm::TextChanged() {
    TCustomControl::TextChanged();
    if (visible_) display().FormChanged(*this);
}

void TCustomForm::place_on_screen() {
    placed_ = true;
    const TRect screen = Screen().WorkAreaRect();
    auto centre_on = [&](const TRect& area) {
        SetBounds(area.Left + (area.Width() - Width()) / 2, area.Top + (area.Height() - Height()) / 2, Width(),
                  Height());
    };
    switch (position_) {
        case poScreenCenter:
        case poDesktopCenter: centre_on(screen); break;
        case poMainFormCenter: {
            TCustomForm* m = Application().MainForm();
            centre_on(m && m != this && m->Visible() ? m->BoundsRect() : screen);
            break;
        }
        case poOwnerFormCenter: {
            auto* o = dynamic_cast<TCustomForm*>(Owner());
            centre_on(o && o->Visible() ? o->BoundsRect() : screen);
            break;
        }
        default: break;
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    Activate();
}

void TCustomForm::SetVisible(bool visible) {
    if (Parent()) {
        // A form placed inside another window (a plug-in's page) is one of
        // that window's controls: it never becomes a window of the display.
        if (visible == visible_) return;
        if (visible && OnShow) OnShow(this);
        if (!visible && OnHide) OnHide(this);
        TCustomControl::SetVisible(visible);
        return;
    }
    if (visible == visible_) {
        if (visible) Screen().BringFormToFront(this);
        return;
    }
    if (visible) {
        if (!placed_) place_on_screen();
        if (OnShow) OnShow(this);
        visible_ = true;
        Screen().BringFormToFront(this);
        InvalidateWindowRect(Rect(0, 0, Width(), Height()));
        display().FormShown(*this);
        return;
    }
    if (OnHide) OnHide(this);
    visible_ = false;
    display().FormHidden(*this);
    if (popup_) popup_->ClosePopup();
    if (Active()) {
        Deactivate();
        Screen().SetActiveForm(nullptr);
        // The front-most visible form becomes active.
        for (int i = 0; i < Screen().FormCount(); ++i) {
            TCustomForm* f = Screen().Forms(i);
            if (f != this && f->Visible()) {
                f->Activate();
                break;
            }
        }
    }
}

bool TCustomForm::Active() const { return Screen().ActiveForm() == this; }

void TCustomForm::Activate() {
    if (!visible_) return;
    Screen().BringFormToFront(this);
    TCustomForm* previous = Screen().ActiveForm();
    if (previous == this) return;
    Screen().SetActiveForm(this);
    if (previous) {
        previous->Deactivate();
        previous->Invalidate();
    }
    Invalidate();
    display().FormActivated(*this);
    if (OnActivate) OnActivate(this);
    if (!active_control_ || !active_control_->CanFocus()) {
        active_control_ = nullptr;
        SelectNext(nullptr, true, true);
    }
}

void TCustomForm::Deactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (control && GetParentForm(control) != this) return;
    FocusControl(control);
}

void TCustomForm::FocusControl(TWinControl* control) {
    if (control == active_control_) return;
    TWinControl* old = active_control_;
    active_control_ = control;
    if (!visible_ || destroying_) return;
    // Exit the containers the focus leaves (innermost first), enter those it
    // comes into (outermost first).
    auto chain = [this](TWinControl* c) {
        std::vector<TWinControl*> v;
        for (; c && c != this; c = c->Parent()) v.push_back(c);
        return v;
    };
    const std::vector<TWinControl*> from = chain(old), to = chain(control);
    for (TWinControl* c : from)
        if (std::find(to.begin(), to.end(), c) == to.end()) {
            c->DoExit();
            if (active_control_ != control) return;  // an event moved the focus on
        }
    for (auto it = to.rbegin(); it != to.rend(); ++it)
        if (std::find(from.begin(), from.end(), *it) == from.end()) {
            (*it)->DoEnter();
            if (active_control_ != control) return;
        }
}

void TCustomForm::ControlRemoved(TControl* control) {
    if (destroying_) return;
    for (TControl* c = active_control_; c; c = c->Parent())
        if (c == control) {
            active_control_ = nullptr;
            break;
        }
    if (popup_) {
        for (TControl* c = popup_; c; c = c->Parent())
            if (c == control) {
                SetPopup(nullptr);
                break;
            }
    }
}

void TCustomForm::SetPopup(TControl* control) {
    // The place the old pop-up had is repainted once the form no longer
    // names it: a display that shows pop-ups in windows of their own takes
    // them away only then (a closed menu left its window standing, an empty
    // box that took the next click).
    const TRect old = popup_ ? popup_->PopupRect() : TRect{};
    TControl* replaced = control && popup_ != control ? popup_ : nullptr;
    popup_ = control;
    if (!old.IsEmpty()) InvalidateWindowRect(old);
    if (popup_) InvalidateWindowRect(popup_->PopupRect());
    // The pop-up that was open learns that it is put away.
    if (replaced) replaced->ClosePopup();
}

bool TCustomForm::DialogKeyDown(TKey key, TShiftState shift) {
    if (key == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
        SelectNext(active_control_, !shift.Contains(ssShift), true);
        return true;
    }
    if (key == VK_RETURN || key == VK_ESCAPE) return BroadcastDialogKey(key);
    return false;
}

void TCustomForm::SetModalResult(TModalResult result) { modal_result_ = result; }

bool TCustomForm::CloseQuery() {
    bool can_close = true;
    if (OnCloseQuery) OnCloseQuery(this, can_close);
    return can_close;
}

bool TCustomForm::CloseModal() {
    if (!CloseQuery()) {
        modal_result_ = mrNone;
        return false;
    }
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) {
        modal_result_ = mrNone;
        return false;
    }
    if (action == caFree) Release();
    return true;
}

void TCustomForm::Close() {
    if (modal_) {
        modal_result_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) return;
    if (Application().MainForm() == this) {
        Application().Terminate();
        SetVisible(false);
        return;
    }
    switch (action) {
        case caFree:
            Release();
            SetVisible(false);
            break;
        case caMinimize: break;
        default: SetVisible(false); break;
    }
}

void TCustomForm::Release() { Application().ReleaseForm(this); }

void TCustomForm::InvalidateWindowRect(const TRect& r) {
    const TRect area = IntersectRect(r, Rect(0, 0, Width(), Height()));
    if (area.IsEmpty()) return;
    dirty_ = UnionRect(dirty_, area);
    ++paint_generation_;
    display().FormInvalidated(*this, area);
}

bool TCustomForm::PaintPending() {
    if (picture_.Width() != Width() || picture_.Height() != Height()) {
        picture_.SetSize(Width(), Height());
        dirty_ = Rect(0, 0, Width(), Height());
    }
    if (dirty_.IsEmpty()) return false;
    const TRect clip = dirty_;
    dirty_ = {};
    // A form paints even while hidden, so that its picture can be looked at.
    const bool was_visible = visible_;
    visible_ = true;
    PaintTo(picture_.Surface(), {0, 0}, clip);
    visible_ = was_visible;
    if (popup_) {
        const TRect pr = popup_->PopupRect();
        if (!IntersectRect(pr, clip).IsEmpty()) {
            struct PopupCanvas : TCanvas {
                using TCanvas::Bind;
            } pc;
            pc.Bind(picture_.Surface(), pr.TopLeft(), IntersectRect(pr, Rect(0, 0, Width(), Height())));
            pc.Font().Assign(popup_->Font());
            popup_->PaintPopup(pc);
        }
    }
    return true;
}

TBitmap& TCustomForm::Picture() {
    PaintPending();
    return picture_;
}

void TCustomForm::SaveToPng(const std::string& path) { Picture().SaveToFile(path); }

}  // namespace ui
