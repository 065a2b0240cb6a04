#include "platform/ui/application.h"

#include "platform/os/paths.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/menus.h"

namespace ui {

// --- TApplication ----------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() = default;

TApplication& Application() {
    // Never destroyed: forms may outlive static destruction order.
    static TApplication* app = new TApplication();
    return *app;
}

void TApplication::HandleException(const std::exception& e) {
    if (OnException) {
        OnException(this, e);
        return;
    }
    MessageBox(e.what(), title_.empty() ? "Ошибка" : title_, MB_OK | MB_ICONERROR);
}

void TApplication::ReleaseForm(TCustomForm* form) {
    if (form && std::find(released_.begin(), released_.end(), form) == released_.end()) released_.push_back(form);
}

void TApplication::FreeReleasedForms() {
    while (!released_.empty()) {
        TCustomForm* f = released_.back();
        released_.pop_back();
        delete f;
    }
}

void TApplication::form_destroyed(TCustomForm* form) {
    if (main_form_ == form) main_form_ = nullptr;
    released_.erase(std::remove(released_.begin(), released_.end(), form), released_.end());
}

// --- TScreen -------------------------------------------------------------

TScreen& Screen() {
    static TScreen* s = new TScreen();
    return *s;
}

int TScreen::Width() const { return display().ScreenRect().Width(); }
int TScreen::Height() const { return display().ScreenRect().Height(); }
int TScreen::PixelsPerInch() const { return display().PixelsPerInch(); }
TRect TScreen::WorkAreaRect() const { return display().ScreenRect(); }

const TStrings& TScreen::Fonts() {
    if (!fonts_loaded_) {
        fonts_.Assign(screen_font_names());
        fonts_loaded_ = true;
    }
    return fonts_;
}

void TScreen::SetCursor(TCursor cursor) {
    set_screen_cursor(cursor);
    display().CursorChanged(cursor);
}

TCustomForm* TScreen::Forms(int index) const {
    if (index < 0 || index >= FormCount())
        throw std::out_of_range("TScreen::Forms: index " + std::to_string(index) + " out of range");
    return forms_[static_cast<std::size_t>(index)];
}

TWinControl* TScreen::ActiveControl() const { return active_form_ ? active_form_->ActiveControl() : nullptr; }

void TScreen::AddForm(TCustomForm* form) {
    if (std::find(forms_.begin(), forms_.end(), form) == forms_.end()) forms_.push_back(form);
}

void TScreen::RemoveForm(TCustomForm* form) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (active_form_ == form) active_form_ = nullptr;
}

void TScreen::BringFormToFront(TCustomForm* form) {
    auto it = std::find(forms_.begin(), forms_.end(), form);
    if (it == forms_.end()) return;
    forms_.erase(it);
    forms_.insert(forms_.begin(), form);
}

void TScreen::SetActiveForm(TCustomForm* form) { active_form_ = form; }

TMouse& Mouse() {
    static TMouse* m = new TMouse();
    return *m;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXMAXIMIZED: return Screen().Width() + (index == SM_CXMAXIMIZED ? 8 : 0);
        case SM_CYSCREEN:
        case SM_CYMAXIMIZED: return Screen().Height() + (index == SM_CYMAXIMIZED ? 8 : 0);
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
        case SM_CYVTHUMB:
        case SM_CXHTHUMB: return 16;
        case SM_CYCAPTION: return kCaptionHeight;
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME: return 3;
        case SM_CXFRAME:
        case SM_CYFRAME: return 4;
        default: return 0;
    }
}

// --- Router ----------------------------------------------------------------

namespace {

// Watches one control through an event: the router forgets a control that
// is freed, and the guard tells the caller to stop touching it.
struct Guard {
    static std::vector<TControl*>& stack() {
        static auto* s = new std::vector<TControl*>();
        return *s;
    }
    std::size_t index;
    explicit Guard(TControl* c) : index(stack().size()) { stack().push_back(c); }
    ~Guard() { stack().pop_back(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool alive() const { return stack()[index] != nullptr; }
};

TCustomForm* modal_form() {
    for (int i = 0; i < Screen().FormCount(); ++i) {
        TCustomForm* f = Screen().Forms(i);
        if (f->Visible() && f->Modal()) return f;
    }
    return nullptr;
}

}  // namespace

Router& Router::instance() {
    static Router* r = new Router();
    return *r;
}

void Router::forget(TControl* control) {
    if (capture_ == control) capture_ = nullptr;
    if (hover_ == control) hover_ = nullptr;
    if (pressed_ == control) pressed_ = nullptr;
    if (pointer_form_ == control) pointer_form_ = nullptr;
    for (TControl*& p : Guard::stack())
        if (p == control) p = nullptr;
}

namespace {

// The form's window, or its open pop-up, which a real screen shows as a
// window of its own that may reach beyond the form.
bool form_takes(const TCustomForm* f, TPoint screen) {
    if (f->BoundsRect().Contains(screen)) return true;
    const TControl* popup = f->Popup();
    return popup && popup->PopupRect().Contains(screen - TPoint{f->Left(), f->Top()});
}

}  // namespace

TCustomForm* Router::form_at(TPoint screen) const {
    if (TCustomForm* m = modal_form()) return form_takes(m, screen) ? m : nullptr;
    if (pointer_form_ && pointer_form_->Visible() && pointer_form_->Enabled() && form_takes(pointer_form_, screen))
        return pointer_form_;
    for (int i = 0; i < Screen().FormCount(); ++i) {
        TCustomForm* f = Screen().Forms(i);
        if (f->Visible() && f->Enabled() && form_takes(f, screen)) return f;
    }
    return nullptr;
}

TControl* Router::control_at(TPoint screen, bool allow_disabled) const {
    TCustomForm* f = form_at(screen);
    if (!f) return nullptr;
    TControl* c = f;
    TPoint q = f->ScreenToClient(screen);
    if (!f->ClientRect().Contains(q)) return f;
    while (auto* w = dynamic_cast<TWinControl*>(c)) {
        // The frame (a border, a scroll bar) is the control's own, even where
        // a child scrolled out of sight lies behind it.
        if (c != f && !w->ClientRect().Contains(q)) break;
        TControl* child = w->ControlAtPos(q, true);
        if (!child) break;
        const TRect in = child->ClientInsets();
        q = q - TPoint{child->Left() + in.Left, child->Top() + in.Top};
        c = child;
    }
    if (!allow_disabled && !c->EnabledInTree()) return nullptr;
    return c;
}

void Router::mouse_down(TPoint screen, TMouseButton button, TShiftState shift, bool double_click) {
    Mouse().SetCursorPos(screen);
    TControl* target = capture_;
    if (!target) {
        TCustomForm* f = form_at(screen);
        if (!f) return;
        if (!f->Active()) f->Activate();
        if (TControl* popup = f->Popup()) {
            const TPoint local = screen - TPoint{f->Left(), f->Top()};
            const TRect pr = popup->PopupRect();
            if (pr.Contains(local)) {
                popup->PopupMouseDown(local - pr.TopLeft());
                return;
            }
            // A click beside an open pop-up only closes it.
            popup->ClosePopup();
            return;
        }
        target = control_at(screen);
        if (!target) return;
    }
    Guard guard(target);
    if (auto* w = dynamic_cast<TWinControl*>(target); w && w->FocusOnClick() && w->CanFocus()) {
        w->SetFocus();
        if (!guard.alive()) return;
    }
    const TPoint local = target->ScreenToClient(screen);
    if (target->ControlStyle().Contains(csCaptureMouse)) capture_ = target;
    if (button == mbLeft) shift <<= ssLeft;
    if (button == mbRight) shift <<= ssRight;
    if (button == mbMiddle) shift <<= ssMiddle;
    if (double_click && target->ControlStyle().Contains(csDoubleClicks)) {
        pressed_ = nullptr;
        target->DblClick();
        if (!guard.alive()) return;
        target->MouseDown(button, shift << ssDouble, local.x, local.y);
        return;
    }
    pressed_ = button == mbLeft ? target : nullptr;
    target->MouseDown(button, shift, local.x, local.y);
}

void Router::mouse_up(TPoint screen, TMouseButton button, TShiftState shift) {
    Mouse().SetCursorPos(screen);
    TControl* target = capture_ ? capture_ : control_at(screen);
    if (!target && button == mbRight) {
        // A disabled control takes no click, but the right button released
        // over it goes to what holds it, as the system hands a disabled
        // window's mouse to its parent: an empty, disabled list still
        // offers its holder's context menu (to add the first row).
        for (target = control_at(screen, true); target && !target->EnabledInTree();) target = target->Parent();
    }
    capture_ = nullptr;
    if (!target) {
        pressed_ = nullptr;
        return;
    }
    Guard guard(target);
    const TPoint local = target->ScreenToClient(screen);
    target->MouseUp(button, shift, local.x, local.y);
    if (!guard.alive()) return;
    const bool click = button == mbLeft && pressed_ == target && target->ClientRect().Contains(local) &&
                       target->ControlStyle().Contains(csClickEvents) && target->EnabledInTree();
    pressed_ = nullptr;
    if (click) target->Click();
    if (button != mbRight || !guard.alive()) return;
    // A right click pops up the menu of the control or of the nearest parent
    // that has one.
    for (TControl* c = target; c; c = c->Parent())
        if (TPopupMenu* menu = c->PopupMenu()) {
            if (menu->AutoPopup()) {
                menu->SetPopupComponent(c);
                menu->Popup(screen.x, screen.y);
            }
            return;
        }
}

void Router::mouse_wheel(TPoint screen, int delta, TShiftState shift) {
    Mouse().SetCursorPos(screen);
    // An open pop-up takes the turns over it (a long list scrolls) and
    // leaves those beside it unused, as it does a click.
    if (!capture_) {
        if (TCustomForm* f = form_at(screen); f && f->Popup()) {
            TControl* popup = f->Popup();
            if (popup->PopupRect().Contains(screen - TPoint{f->Left(), f->Top()})) {
                Guard guard(popup);
                popup->MouseWheel(shift, delta, screen);
            }
            return;
        }
    }
    TControl* target = capture_ ? capture_ : control_at(screen);
    if (target) {
        if (TCustomForm* f = GetParentForm(target); f && f->Popup()) return;
    }
    for (TControl* c = target; c;) {
        Guard guard(c);
        if (c->MouseWheel(shift, delta, screen) || !guard.alive()) return;
        c = c->Parent();
    }
}

void Router::mouse_leave() {
    TControl* old = hover_;
    hover_ = nullptr;
    if (old) old->MouseLeave();
}

void Router::mouse_move(TPoint screen, TShiftState shift) {
    Mouse().SetCursorPos(screen);
    if (!capture_) {
        TCustomForm* f = form_at(screen);
        if (f && f->Popup()) {
            const TPoint local = screen - TPoint{f->Left(), f->Top()};
            const TRect pr = f->Popup()->PopupRect();
            if (pr.Contains(local)) f->Popup()->PopupMouseMove(local - pr.TopLeft());
        }
    }
    TControl* under = control_at(screen);
    if (under != hover_) {
        TControl* old = hover_;
        hover_ = under;
        if (old) old->MouseLeave();
        if (under && hover_ == under) under->MouseEnter();
    }
    TControl* target = capture_ ? capture_ : under;
    if (!target) return;
    const TPoint local = target->ScreenToClient(screen);
    target->MouseMove(shift, local.x, local.y);
}

namespace {

TWinControl* key_target(TCustomForm*& form) {
    form = Screen().ActiveForm();
    if (TCustomForm* m = modal_form()) form = m;
    if (!form || !form->Visible()) return nullptr;
    TWinControl* t = form->ActiveControl();
    if (!t || !t->CanFocus()) t = form;
    return t;
}

}  // namespace

bool Router::key_down(TKey key, TShiftState shift) {
    TCustomForm* form = nullptr;
    TWinControl* target = key_target(form);
    if (!target) return true;
    // An open menu takes every key.
    if (TControl* popup = form->Popup(); popup && popup != target && popup->PopupKeyDown(key, shift)) return true;
    Guard guard(target);
    // Menu shortcuts come before the control's own keys, unless the control
    // wants the key for itself (an in-place text editor).
    if (!target->WantsKey(key, shift) && form->IsShortCut(key, shift)) return true;
    if (!guard.alive()) return true;
    if (form->KeyPreview() && target != form && form->OnKeyDown) {
        form->OnKeyDown(form, key, shift);
        if (key == 0 || !guard.alive()) return true;
    }
    target->KeyDown(key, shift);
    return key == 0;
}

void Router::key_up(TKey key, TShiftState shift) {
    TCustomForm* form = nullptr;
    TWinControl* target = key_target(form);
    if (!target) return;
    Guard guard(target);
    if (form->KeyPreview() && target != form && form->OnKeyUp) {
        form->OnKeyUp(form, key, shift);
        if (key == 0 || !guard.alive()) return;
    }
    target->KeyUp(key, shift);
}

void Router::key_press(char32_t ch) {
    TCustomForm* form = nullptr;
    TWinControl* target = key_target(form);
    if (!target) return;
    Guard guard(target);
    if (form->KeyPreview() && target != form && form->OnKeyPress) {
        form->OnKeyPress(form, ch);
        if (ch == 0 || !guard.alive()) return;
    }
    target->KeyPress(ch);
}

}  // namespace ui
