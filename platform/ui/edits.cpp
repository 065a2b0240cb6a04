#include "platform/ui/edits.h"

#include <algorithm>

#include "platform/rtl/numbers.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/frame_controls.h"
#include "platform/ui/text_engine.h"

namespace ui {
namespace {

// Byte offset of character `n` (clamped to the end).
std::size_t byte_of(std::string_view s, int n) {
    std::size_t pos = 0;
    for (int i = 0; i < n && pos < s.size(); ++i) rtl::utf8::decode(s, pos);
    return pos;
}

int chars_in(std::string_view s) {
    int n = 0;
    for (std::size_t pos = 0; pos < s.size(); ++n) rtl::utf8::decode(s, pos);
    return n;
}

}  // namespace

// --- TCustomEdit -----------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    SetCursor(crIBeam);
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks});
}

TRect TCustomEdit::ClientInsets() const { return border_style_ == bsSingle ? TRect{2, 2, 2, 2} : TRect{}; }

void TCustomEdit::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    DrawEdge(c, r, Edge::Sunken);
}

void TCustomEdit::SetBorderStyle(TBorderStyle b) {
    border_style_ = b;
    AdjustSize();
    Invalidate();
}

int TCustomEdit::length() const { return chars_in(Text()); }

void TCustomEdit::clamp_selection() {
    const int n = length();
    sel_start_ = std::clamp(sel_start_, 0, n);
    sel_length_ = std::clamp(sel_length_, 0, n - sel_start_);
}

std::string TCustomEdit::SelText() const {
    const std::string& t = Text();
    const std::size_t a = byte_of(t, sel_start_), b = byte_of(t, sel_start_ + sel_length_);
    return t.substr(a, b - a);
}

void TCustomEdit::SetSelText(std::string_view text) {
    clamp_selection();
    std::string t = Text();
    const std::size_t a = byte_of(t, sel_start_), b = byte_of(t, sel_start_ + sel_length_);
    t.replace(a, b - a, text);
    const int caret = sel_start_ + chars_in(text);
    changing_ = true;
    SetText(std::move(t));
    changing_ = false;
    sel_start_ = caret;
    sel_length_ = 0;
    clamp_selection();
    Invalidate();
}

void TCustomEdit::SelectAll() {
    sel_start_ = 0;
    sel_length_ = length();
    Invalidate();
}

void TCustomEdit::CopyToClipboard() {
    if (sel_length_ > 0) Clipboard().SetAsText(SelText());
}

void TCustomEdit::CutToClipboard() {
    if (sel_length_ == 0 || read_only_) return;
    CopyToClipboard();
    SetSelText("");
    modified_ = true;
}

void TCustomEdit::PasteFromClipboard() {
    if (!Clipboard().HasFormat(CF_TEXT)) return;
    std::string text = Clipboard().AsText();
    if (!multi_line_) {
        // One line: the text up to its first line break.
        const std::size_t br = text.find_first_of("\r\n");
        if (br != std::string::npos) text.erase(br);
    }
    type_text(text);
}

void TCustomEdit::type_text(std::string_view text) {
    if (read_only_) return;
    clamp_selection();
    std::string insert(text);
    if (max_length_ > 0) {
        const int room = max_length_ - (length() - sel_length_);
        if (room <= 0) return;
        insert.erase(byte_of(insert, room));
    }
    SetSelText(insert);
    modified_ = true;
}

void TCustomEdit::TextChanged() {
    if (!changing_) {
        sel_start_ = 0;
        sel_length_ = 0;
    }
    clamp_selection();
    if (OnChange) OnChange(this);
}

void TCustomEdit::DoEnter() {
    if (auto_select_ && !multi_line_) SelectAll();
    TWinControl::DoEnter();
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TWinControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || multi_line_) return;
    // The caret goes to the character boundary nearest the click.
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    const std::string& t = Text();
    const int n = length();
    int best = 0, best_distance = 1 << 30;
    for (int i = 0; i <= n; ++i) {
        const int d = std::abs(1 - scroll_x_ + c.TextWidth(t.substr(0, byte_of(t, i))) - x);
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    sel_start_ = best;
    sel_length_ = 0;
    Invalidate();
}

void TCustomEdit::DoKeyDown(TKey& key, TShiftState shift) {
    const bool ctrl = shift.Contains(ssCtrl);
    const bool extend = shift.Contains(ssShift);
    const int n = length();
    auto move_to = [&](int pos) {
        pos = std::clamp(pos, 0, n);
        if (extend) {
            const int anchor = sel_start_;
            const int end = sel_start_ + sel_length_;
            // Extend from the end that is not the anchor.
            if (pos <= anchor) {
                sel_start_ = pos;
                sel_length_ = end - pos;
            } else {
                sel_length_ = pos - sel_start_;
            }
        } else {
            sel_start_ = pos;
            sel_length_ = 0;
        }
        clamp_selection();
        Invalidate();
        key = 0;
    };
    if (ctrl && key == 'C') {
        CopyToClipboard();
        key = 0;
    } else if (ctrl && key == 'X') {
        CutToClipboard();
        key = 0;
    } else if (ctrl && key == 'V') {
        PasteFromClipboard();
        key = 0;
    } else if (ctrl && key == 'A') {
        SelectAll();
        key = 0;
    } else if (key == VK_LEFT) {
        move_to(sel_length_ > 0 && !extend ? sel_start_ : sel_start_ - 1);
    } else if (key == VK_RIGHT) {
        move_to(sel_length_ > 0 && !extend ? sel_start_ + sel_length_ : sel_start_ + sel_length_ + 1);
    } else if (key == VK_HOME) {
        move_to(0);
    } else if (key == VK_END) {
        move_to(n);
    } else if (key == VK_DELETE && !read_only_) {
        if (sel_length_ == 0) sel_length_ = sel_start_ < n ? 1 : 0;
        if (sel_length_ > 0) {
            SetSelText("");
            modified_ = true;
        }
        key = 0;
    } else if ((key == VK_UP || key == VK_DOWN) && up_down_ && up_down_->ArrowKeys()) {
        up_down_->Step(key == VK_UP ? btNext : btPrev);
        key = 0;
    }
}

void TCustomEdit::DoKeyPress(char32_t& key) {
    if (key == 8) {
        if (!read_only_) {
            if (sel_length_ == 0 && sel_start_ > 0) {
                --sel_start_;
                sel_length_ = 1;
            }
            if (sel_length_ > 0) {
                SetSelText("");
                modified_ = true;
            }
        }
        key = 0;
        return;
    }
    if (key < 32 || key == 127) return;
    std::string s;
    rtl::utf8::append(s, key);
    type_text(s);
    key = 0;
}

// --- TEdit -------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TCustomEdit(owner) {
    set_bounds_raw(0, 0, 121, 21);
    AdjustSize();
}

void TEdit::SetPasswordChar(char32_t c) {
    password_char_ = c;
    Invalidate();
}

void TEdit::AdjustSize() {
    const TRect in = ClientInsets();
    SetHeight(text_engine::line_height(Font()) + 4 + in.Top + in.Bottom);
}

void TEdit::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    std::string shown = Text();
    if (password_char_) {
        std::string mask;
        rtl::utf8::append(mask, password_char_);
        std::string all;
        for (int i = chars_in(shown); i > 0; --i) all += mask;
        shown = all;
    }
    const int caret_x = c.TextWidth(shown.substr(0, byte_of(shown, SelStart())));
    // Keep the caret in view.
    const int room = ClientWidth() - 4;
    if (caret_x - scroll_x_ > room) scroll_x_ = caret_x - room;
    if (caret_x < scroll_x_) scroll_x_ = caret_x;
    const int x0 = 1 - scroll_x_;
    const int y0 = (ClientHeight() - text_engine::line_height(c.Font())) / 2;
    c.Brush().SetStyle(bsClear);
    c.Font().SetColor(EnabledInTree() ? Font().Color() : clGrayText);
    c.TextOut(x0, y0, shown);
    if (Focused() && SelLength() > 0) {
        const int a = c.TextWidth(shown.substr(0, byte_of(shown, SelStart())));
        const std::string sel = shown.substr(byte_of(shown, SelStart()),
                                             byte_of(shown, SelStart() + SelLength()) - byte_of(shown, SelStart()));
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clHighlight);
        c.Font().SetColor(clHighlightText);
        c.TextOut(x0 + a, y0, sel);
    } else if (Focused()) {
        c.Pen().SetColor(clWindowText);
        c.MoveTo(x0 + caret_x, y0);
        c.LineTo(x0 + caret_x, y0 + text_engine::line_height(c.Font()));
    }
}

// --- TMemo ---------------------------------------------------------------

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner) {
    multi_line_ = true;
    SetAutoSelect(false);
    set_bounds_raw(0, 0, 185, 89);
    lines_.OnChange = [this] {
        if (syncing_) return;
        std::string t;
        for (int i = 0; i < lines_.Count(); ++i) {
            if (i) t += "\r\n";
            t += lines_[i];
        }
        syncing_ = true;
        SetText(std::move(t));
        syncing_ = false;
    };
}

void TMemo::SetWordWrap(bool v) {
    word_wrap_ = v;
    Invalidate();
}
void TMemo::SetScrollBars(TScrollStyle s) {
    scroll_bars_ = s;
    Invalidate();
}
void TMemo::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}
void TMemo::SetTopLine(int line) {
    top_line_ = std::max(0, line);
    Invalidate();
}

void TMemo::TextChanged() {
    if (!syncing_) {
        syncing_ = true;
        lines_.SetText(Text());
        syncing_ = false;
    }
    TCustomEdit::TextChanged();
}

bool TMemo::WantsKey(TKey key, TShiftState) const {
    return (key == VK_RETURN && want_returns_) || (key == VK_TAB && want_tabs_);
}

void TMemo::DoKeyPress(char32_t& key) {
    if (key == U'\r') {
        if (want_returns_) type_text("\r\n");
        key = 0;
        return;
    }
    if (key == U'\t') {
        if (want_tabs_) type_text("\t");
        key = 0;
        return;
    }
    TCustomEdit::DoKeyPress(key);
}

void TMemo::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    TRect r = ClientRect();
    const int bar = 16;
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) r.Right -= bar;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) r.Bottom -= bar;
    const int line_h = text_engine::line_height(c.Font());
    c.Brush().SetStyle(bsClear);
    c.Font().SetColor(EnabledInTree() ? Font().Color() : clGrayText);
    unsigned flags = DT_NOPREFIX | DT_EXPANDTABS |
                     (alignment_ == taCenter         ? DT_CENTER
                      : alignment_ == taRightJustify ? DT_RIGHT
                                                     : DT_LEFT);
    if (word_wrap_) flags |= DT_WORDBREAK;
    int y = r.Top + 1 - top_line_ * line_h;
    c.SetClipRect(r);
    for (int i = 0; i < lines_.Count() && y < r.Bottom; ++i) {
        TRect line = Rect(r.Left + 2, y, r.Right - 2, r.Bottom);
        TRect m = line;
        const std::string text = lines_[i].empty() ? std::string(" ") : lines_[i];
        const int h = c.DrawText(text, m, flags | DT_CALCRECT);
        if (y + h > r.Top) {
            line.Bottom = y + h;
            c.DrawText(lines_[i], line, flags);
        }
        y += h;
    }
    c.ResetClip();
    // Scroll bars are drawn as the stations showed them; they scroll nothing
    // by themselves (TopLine does).
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) {
        const TRect sb = Rect(r.Right, 0, r.Right + bar, r.Bottom);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clScrollBar);
        c.FillRect(sb);
        DrawFrameControl(c, Bounds(sb.Left, sb.Top, bar, bar), DFC_SCROLL, DFCS_SCROLLUP);
        DrawFrameControl(c, Rect(sb.Left, sb.Bottom - bar, sb.Right, sb.Bottom), DFC_SCROLL, DFCS_SCROLLDOWN);
    }
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) {
        const TRect sb = Rect(0, r.Bottom, r.Right, r.Bottom + bar);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clScrollBar);
        c.FillRect(sb);
        DrawFrameControl(c, Bounds(sb.Left, sb.Top, bar, bar), DFC_SCROLL, DFCS_SCROLLLEFT);
        DrawFrameControl(c, Rect(sb.Right - bar, sb.Top, sb.Right, sb.Bottom), DFC_SCROLL, DFCS_SCROLLRIGHT);
    }
}

// --- TUpDown -------------------------------------------------------------

TUpDown::TUpDown(TComponent* owner) : TCustomControl(owner) {
    SetColor(clBtnFace);
    set_bounds_raw(0, 0, 16, 21);
    SetControlStyle({csCaptureMouse});
}

TUpDown::~TUpDown() {
    if (associate_ && associate_->up_down_ == this) associate_->up_down_ = nullptr;
}

void TUpDown::SetAssociate(TCustomEdit* edit) {
    if (associate_ && associate_->up_down_ == this) associate_->up_down_ = nullptr;
    associate_ = edit;
    if (!edit) return;
    edit->up_down_ = this;
    if (edit->Parent() && Parent() != edit->Parent()) SetParent(edit->Parent());
    const int w = Width();
    edit->SetWidth(edit->Width() - w);
    SetBounds(edit->Left() + edit->Width(), edit->Top(), w, edit->Height());
    show_position();
}

void TUpDown::SetMin(int v) {
    min_ = v;
    SetPosition(position_);
}

void TUpDown::SetMax(int v) {
    max_ = v;
    SetPosition(position_);
}

void TUpDown::SetOrientation(TUDOrientation o) {
    orientation_ = o;
    Invalidate();
}

void TUpDown::SetPosition(int v) {
    const int lo = std::min(min_, max_), hi = std::max(min_, max_);
    position_ = std::clamp(v, lo, hi);
    show_position();
    Invalidate();
}

void TUpDown::show_position() {
    if (associate_) associate_->SetText(rtl::IntToStr(position_));
}

void TUpDown::Step(TUDBtnType button) {
    // The user may have typed a number into the edit: step from it.
    if (associate_) {
        int typed = 0;
        if (rtl::TryStrToInt(associate_->Text(), typed))
            position_ = std::clamp(typed, std::min(min_, max_), std::max(min_, max_));
    }
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    if (!allow) return;
    const int lo = std::min(min_, max_), hi = std::max(min_, max_);
    const int dir = (button == btNext) == (min_ <= max_) ? 1 : -1;
    long long next = static_cast<long long>(position_) + static_cast<long long>(dir) * increment_;
    if (next > hi) next = wrap_ ? lo : hi;
    if (next < lo) next = wrap_ ? hi : lo;
    SetPosition(static_cast<int>(next));
    if (OnClick) OnClick(this, button);
}

void TUpDown::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !EnabledInTree()) return;
    const bool first = orientation_ == udVertical ? y < Height() / 2 : x < Width() / 2;
    pressed_ = first ? 0 : 1;
    Invalidate();
    // Vertical: the upper button counts up; horizontal: the right one does.
    if (orientation_ == udVertical)
        Step(first ? btNext : btPrev);
    else
        Step(first ? btPrev : btNext);
}

void TUpDown::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    pressed_ = -1;
    Invalidate();
    TCustomControl::MouseUp(button, shift, x, y);
}

void TUpDown::Paint() {
    TCanvas& c = Canvas();
    const unsigned inactive = EnabledInTree() ? 0 : DFCS_INACTIVE;
    if (orientation_ == udVertical) {
        const int h = Height() / 2;
        DrawFrameControl(c, Rect(0, 0, Width(), h), DFC_SCROLL,
                         DFCS_SCROLLUP | inactive | (pressed_ == 0 ? DFCS_PUSHED : 0));
        DrawFrameControl(c, Rect(0, h, Width(), Height()), DFC_SCROLL,
                         DFCS_SCROLLDOWN | inactive | (pressed_ == 1 ? DFCS_PUSHED : 0));
    } else {
        const int w = Width() / 2;
        DrawFrameControl(c, Rect(0, 0, w, Height()), DFC_SCROLL,
                         DFCS_SCROLLLEFT | inactive | (pressed_ == 0 ? DFCS_PUSHED : 0));
        DrawFrameControl(c, Rect(w, 0, Width(), Height()), DFC_SCROLL,
                         DFCS_SCROLLRIGHT | inactive | (pressed_ == 1 ? DFCS_PUSHED : 0));
    }
}

}  // namespace ui
