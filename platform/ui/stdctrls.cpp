#include "platform/ui/stdctrls.h"

#include <algorithm>

#include "platform/ui/frame_controls.h"
#include "platform/ui/text_engine.h"

namespace ui {
namespace {

unsigned align_flag(TAlignment a) {
    switch (a) {
        case taRightJustify: return DT_RIGHT;
        case taCenter: return DT_CENTER;
        default: return DT_LEFT;
    }
}

void draw_caption(TCanvas& c, const std::string& text, TRect r, unsigned flags, bool enabled) {
    c.Brush().SetStyle(bsClear);
    if (enabled)
        c.DrawText(text, r, flags);
    else
        DrawDisabledText(c, text, r, flags);
}

// Check box and radio button: the mark beside the text, the text's focus
// rectangle when focused.
void paint_check_control(TWinControl& self, TCanvas& c, unsigned mark, TAlignment alignment) {
    const int h = self.ClientHeight(), w = self.ClientWidth();
    c.Brush().SetColor(self.Color());
    c.FillRect(self.ClientRect());
    const int box = 13;
    const int top = (h - box) / 2;
    const bool right = alignment == taRightJustify;
    const int box_left = right ? 0 : w - box;
    DrawFrameControl(c, Bounds(box_left, top, box, box), DFC_BUTTON, mark | (self.EnabledInTree() ? 0 : DFCS_INACTIVE));
    TRect text = right ? Rect(box + 4, 0, w, h) : Rect(0, 0, w - box - 4, h);
    TRect measured = text;
    c.DrawText(self.Caption(), measured, DT_CALCRECT | DT_SINGLELINE);
    const int th = measured.Height();
    text.Top = (h - th) / 2;
    text.Bottom = text.Top + th;
    draw_caption(c, self.Caption(), text, DT_SINGLELINE | DT_LEFT, self.EnabledInTree());
    if (self.Focused() && !self.Caption().empty()) {
        const TRect f =
            Rect(text.Left - 1, text.Top - 1, std::min(text.Left + measured.Width() + 1, w), text.Bottom + 1);
        c.DrawFocusRect(f);
    }
}

}  // namespace

// --- TLabel ------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetParentColor(true);
    set_bounds_raw(0, 0, 65, 13);
}

void TLabel::SetAutoSize(bool v) {
    auto_size_ = v;
    AdjustSize();
}
void TLabel::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}
void TLabel::SetLayout(TTextLayout l) {
    layout_ = l;
    Invalidate();
}
void TLabel::SetWordWrap(bool v) {
    word_wrap_ = v;
    AdjustSize();
    Invalidate();
}
void TLabel::SetTransparent(bool v) {
    transparent_ = v;
    Invalidate();
}

unsigned TLabel::text_flags() const {
    unsigned f = align_flag(alignment_) | DT_EXPANDTABS;
    if (word_wrap_) f |= DT_WORDBREAK;
    if (!show_accel_) f |= DT_NOPREFIX;
    return f;
}

void TLabel::AdjustSize() {
    if (!auto_size_) return;
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    TRect r = Rect(0, 0, word_wrap_ ? Width() : 0, 0);
    const std::string text = Caption().empty() ? std::string(" ") : Caption();
    c.DrawText(text, r, text_flags() | DT_CALCRECT);
    if (word_wrap_)
        SetHeight(r.Height());
    else if (alignment_ == taRightJustify)
        SetBounds(Left() + Width() - r.Width(), Top(), r.Width(), r.Height());
    else
        SetBounds(Left(), Top(), r.Width(), r.Height());
}

void TLabel::Paint() {
    TCanvas& c = Canvas();
    if (!transparent_) {
        c.Brush().SetColor(Color());
        c.FillRect(ClientRect());
    }
    TRect r = ClientRect();
    unsigned flags = text_flags();
    if (layout_ != tlTop && !word_wrap_) {
        flags |= DT_SINGLELINE | (layout_ == tlCenter ? DT_VCENTER : DT_BOTTOM);
    } else if (layout_ != tlTop) {
        TRect m = r;
        c.DrawText(Caption(), m, flags | DT_CALCRECT);
        const int free = r.Height() - m.Height();
        r.Top += layout_ == tlCenter ? free / 2 : free;
    }
    draw_caption(c, Caption(), r, flags, EnabledInTree());
}

// --- TStaticText ---------------------------------------------------------

TStaticText::TStaticText(TComponent* owner) : TWinControl(owner) {
    SetParentColor(true);
    set_bounds_raw(0, 0, 65, 17);
}

void TStaticText::SetAutoSize(bool v) {
    auto_size_ = v;
    AdjustSize();
}
void TStaticText::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}
void TStaticText::SetBorderStyle(TStaticBorderStyle b) {
    border_ = b;
    AdjustSize();
    Invalidate();
}

TRect TStaticText::ClientInsets() const {
    switch (border_) {
        case sbsSingle: return {1, 1, 1, 1};
        case sbsSunken: return {1, 1, 1, 1};
        default: return {};
    }
}

void TStaticText::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    if (border_ == sbsSingle) {
        c.Brush().SetColor(clWindowFrame);
        c.FrameRect(r);
    } else if (border_ == sbsSunken) {
        Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
    }
}

void TStaticText::AdjustSize() {
    if (!auto_size_) return;
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    TRect r = Rect(0, 0, 0, 0);
    c.DrawText(Caption().empty() ? std::string(" ") : Caption(), r, DT_CALCRECT | DT_SINGLELINE);
    const TRect in = ClientInsets();
    SetBounds(Left(), Top(), r.Width() + in.Left + in.Right, r.Height() + in.Top + in.Bottom);
}

void TStaticText::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    draw_caption(c, Caption(), ClientRect(), align_flag(alignment_) | DT_WORDBREAK, EnabledInTree());
}

// --- TButton -------------------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clBtnFace);
    set_bounds_raw(0, 0, 75, 25);
    SetControlStyle({csCaptureMouse, csClickEvents});
}

void TButton::SetDefault(bool v) {
    default_ = v;
    Invalidate();
}

void TButton::Click() {
    // The form gets the result first, so that OnClick can still keep a
    // dialog open by setting it back to mrNone.
    if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(modal_result_);
    TWinControl::Click();
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        pressed_ = true;
        pressed_inside_ = true;
        Invalidate();
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
    if (pressed_) {
        const bool inside = ClientRect().Contains({x, y});
        if (inside != pressed_inside_) {
            pressed_inside_ = inside;
            Invalidate();
        }
    }
    TWinControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && pressed_) {
        pressed_ = false;
        Invalidate();
    }
    TWinControl::MouseUp(button, shift, x, y);
}

bool TButton::WantsKey(TKey key, TShiftState) const { return key == VK_RETURN; }

void TButton::DoKeyDown(TKey& key, TShiftState) {
    if (key == VK_RETURN) {
        key = 0;
        Click();
    }
}

void TButton::DoKeyPress(char32_t& key) {
    if (key == U' ') {
        key = 0;
        Click();
    }
}

bool TButton::DialogKey(TKey key) {
    const bool mine = (key == VK_RETURN && default_) || (key == VK_ESCAPE && cancel_);
    if (!mine || !Showing() || !EnabledInTree()) return false;
    Click();
    return true;
}

void TButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    const bool down = Pressed();
    const bool framed = default_ || Focused();
    c.Brush().SetColor(Color());
    c.FillRect(r);
    if (framed) {
        c.Brush().SetColor(cl3DDkShadow);
        c.FrameRect(r);
        r = r.Inflate(-1, -1);
    }
    if (down) {
        c.Brush().SetColor(clBtnShadow);
        c.FrameRect(r);
        r = r.Inflate(-1, -1);
    } else {
        DrawEdge(c, r, Edge::Raised);
    }
    TRect text = ClientRect();
    if (down) text = text.Offset(1, 1);
    draw_caption(c, Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, EnabledInTree());
    if (Focused()) c.DrawFocusRect(ClientRect().Inflate(-4, -4));
}

// --- TCheckBox -----------------------------------------------------------

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetParentColor(true);
    set_bounds_raw(0, 0, 97, 17);
    SetControlStyle({csCaptureMouse, csClickEvents});
}

void TCheckBox::SetState(TCheckBoxState s) {
    if (s == state_) return;
    state_ = s;
    Invalidate();
    TWinControl::Click();
}

void TCheckBox::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}

void TCheckBox::Toggle() {
    switch (state_) {
        case cbUnchecked: SetState(allow_grayed_ ? cbGrayed : cbChecked); break;
        case cbGrayed: SetState(cbChecked); break;
        default: SetState(cbUnchecked); break;
    }
}

void TCheckBox::Click() { Toggle(); }

void TCheckBox::DoKeyPress(char32_t& key) {
    if (key == U' ') {
        key = 0;
        Toggle();
    }
}

void TCheckBox::Paint() {
    unsigned mark = DFCS_BUTTONCHECK;
    if (state_ == cbChecked) mark |= DFCS_CHECKED;
    if (state_ == cbGrayed) mark |= DFCS_CHECKED | DFCS_INACTIVE;
    paint_check_control(*this, Canvas(), mark, alignment_);
}

// --- TRadioButton --------------------------------------------------------

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetParentColor(true);
    set_bounds_raw(0, 0, 113, 17);
    SetControlStyle({csCaptureMouse, csClickEvents});
}

void TRadioButton::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    Invalidate();
    if (!v) return;
    if (TWinControl* p = Parent()) {
        for (int i = 0; i < p->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TRadioButton*>(p->Controls(i)); other && other != this)
                other->SetChecked(false);
    }
    TWinControl::Click();
}

void TRadioButton::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}

void TRadioButton::Click() { SetChecked(true); }

void TRadioButton::DoKeyPress(char32_t& key) {
    if (key == U' ') {
        key = 0;
        SetChecked(true);
    }
}

void TRadioButton::Paint() {
    paint_check_control(*this, Canvas(), DFCS_BUTTONRADIO | (checked_ ? DFCS_CHECKED : 0), alignment_);
}

// --- TGroupBox -----------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
    SetParentColor(true);
    SetControlStyle({csCaptureMouse, csAcceptsControls});
    set_bounds_raw(0, 0, 185, 105);
}

void TGroupBox::AdjustClientRect(TRect& r) const {
    const int h = text_engine::line_height(Font());
    r = Rect(r.Left + 2, r.Top + h, r.Right - 2, r.Bottom - 2);
}

void TGroupBox::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const int h = text_engine::line_height(Font());
    TRect frame = Rect(0, h / 2, Width(), Height());
    Frame3D(c, frame, clBtnShadow, clBtnHighlight, 1);
    Frame3D(c, frame, clBtnHighlight, clBtnShadow, 1);
    if (!Caption().empty()) {
        TRect t = Rect(8, 0, 0, 0);
        c.DrawText(Caption(), t, DT_CALCRECT | DT_SINGLELINE);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(Rect(t.Left - 2, 0, t.Right + 2, h));
        draw_caption(c, Caption(), t, DT_SINGLELINE | DT_LEFT, EnabledInTree());
    }
}

// --- TPanel --------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    SetColor(clBtnFace);
    set_bounds_raw(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut b) {
    bevel_outer_ = b;
    Realign();
    Invalidate();
}
void TPanel::SetBorderWidth(int w) {
    border_width_ = std::max(0, w);
    Realign();
    Invalidate();
}
void TPanel::SetBorderStyle(TBorderStyle b) {
    border_style_ = b;
    Realign();
    Invalidate();
}
void TPanel::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}

TRect TPanel::ClientInsets() const {
    // A single border is a sunken frame outside the client area.
    return border_style_ == bsSingle ? TRect{2, 2, 2, 2} : TRect{};
}

void TPanel::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    DrawEdge(c, r, Edge::Sunken);
}

int TPanel::bevels_width() const {
    return (bevel_outer_ != bvNone ? bevel_width_ : 0) + (bevel_inner_ != bvNone ? bevel_width_ : 0) + border_width_;
}

void TPanel::AdjustClientRect(TRect& r) const {
    const int w = bevels_width();
    r = r.Inflate(-w, -w);
}

void TPanel::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        if (cut == bvSpace) {
            Frame3D(c, r, Color(), Color(), bevel_width_);
            return;
        }
        Frame3D(c, r, cut == bvLowered ? clBtnShadow : clBtnHighlight, cut == bvLowered ? clBtnHighlight : clBtnShadow,
                bevel_width_);
    };
    bevel(bevel_outer_);
    Frame3D(c, r, Color(), Color(), border_width_);
    bevel(bevel_inner_);
    c.Brush().SetColor(Color());
    c.FillRect(r);
    draw_caption(c, Caption(), r, align_flag(alignment_) | DT_VCENTER | DT_SINGLELINE, EnabledInTree());
}

// --- TRadioGroup ---------------------------------------------------------

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner) {
    items_.OnChange = [this] { rebuild(); };
}

TRadioButton* TRadioGroup::Buttons(int index) const {
    if (index < 0 || index >= static_cast<int>(buttons_.size())) return nullptr;
    return buttons_[static_cast<std::size_t>(index)];
}

void TRadioGroup::rebuild() {
    updating_ = true;
    while (buttons_.size() > static_cast<std::size_t>(items_.Count())) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    while (buttons_.size() < static_cast<std::size_t>(items_.Count())) {
        auto* b = new TRadioButton(this);
        b->SetParent(this);
        b->SetTabStop(false);
        b->OnClick = [this, b](TObject*) {
            if (updating_) return;
            const auto it = std::find(buttons_.begin(), buttons_.end(), b);
            const int index = static_cast<int>(it - buttons_.begin());
            if (index == item_index_) return;
            item_index_ = index;
            TGroupBox::Click();
        };
        buttons_.push_back(b);
    }
    for (int i = 0; i < items_.Count(); ++i) {
        buttons_[static_cast<std::size_t>(i)]->SetCaption(items_[i]);
        buttons_[static_cast<std::size_t>(i)]->SetEnabled(Enabled());
    }
    if (item_index_ >= items_.Count()) item_index_ = -1;
    for (int i = 0; i < items_.Count(); ++i) buttons_[static_cast<std::size_t>(i)]->SetChecked(i == item_index_);
    updating_ = false;
    arrange();
}

void TRadioGroup::arrange() {
    if (buttons_.empty()) return;
    TRect r = ClientRect();
    AdjustClientRect(r);
    r = r.Inflate(-6, 0);
    const int n = static_cast<int>(buttons_.size());
    const int cols = std::max(1, std::min(columns_, n));
    const int rows = (n + cols - 1) / cols;
    const int col_w = r.Width() / cols;
    const int row_h = std::max(1, r.Height() / rows);
    const int button_h = std::min(row_h, text_engine::line_height(Font()) + 4);
    for (int i = 0; i < n; ++i) {
        const int col = i / rows, row = i % rows;
        buttons_[static_cast<std::size_t>(i)]->SetBounds(r.Left + col * col_w,
                                                         r.Top + row * row_h + (row_h - button_h) / 2, col_w, button_h);
    }
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= items_.Count()) index = -1;
    if (index == item_index_) return;
    item_index_ = index;
    updating_ = true;
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i)
        buttons_[static_cast<std::size_t>(i)]->SetChecked(i == index);
    updating_ = false;
    TGroupBox::Click();
}

void TRadioGroup::SetColumns(int columns) {
    columns_ = std::clamp(columns, 1, 16);
    arrange();
}

void TRadioGroup::Resized() {
    TGroupBox::Resized();
    arrange();
}

void TRadioGroup::FontChanged() { arrange(); }

void TRadioGroup::EnabledChanged() {
    for (auto* b : buttons_) b->SetEnabled(Enabled());
}

}  // namespace ui
