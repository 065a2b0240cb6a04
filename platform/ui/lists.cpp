#include "platform/ui/lists.h"

#include <algorithm>

#include "platform/rtl/text.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/frame_controls.h"
#include "platform/ui/text_engine.h"

namespace ui {
namespace {

constexpr int kBar = 16;
constexpr int kButton = 17;

// The default look of an item: its text on the state's colours (the canvas
// already carries them).
void default_item(TCanvas& c, const std::string& text, const TRect& r) {
    c.FillRect(r);
    c.Brush().SetStyle(bsClear);
    TRect t = Rect(r.Left + 2, r.Top, r.Right, r.Bottom);
    c.DrawText(text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    c.Brush().SetStyle(bsSolid);
}

void prepare_item_canvas(TCanvas& c, const TControl& owner, TOwnerDrawState state) {
    c.Brush().SetStyle(bsSolid);
    c.Font().Assign(owner.Font());
    if (state.Contains(odSelected)) {
        c.Brush().SetColor(clHighlight);
        c.Font().SetColor(clHighlightText);
    } else {
        c.Brush().SetColor(owner.Color());
        if (state.Contains(odDisabled)) c.Font().SetColor(clGrayText);
    }
}

}  // namespace

// --- TListBox ------------------------------------------------------------

TListBox::TListBox(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    set_bounds_raw(0, 0, 121, 97);
    SetControlStyle({csCaptureMouse, csDoubleClicks});
    items_.OnChange = [this] { items_changed(); };
}

TRect TListBox::ClientInsets() const { return {2, 2, 2, 2}; }

void TListBox::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    DrawEdge(c, r, Edge::Sunken);
}

void TListBox::items_changed() {
    if (sorted_) {
        items_.OnChange = nullptr;
        items_.Sort();
        items_.OnChange = [this] { items_changed(); };
    }
    selected_.resize(static_cast<std::size_t>(items_.Count()), false);
    if (item_index_ >= items_.Count()) item_index_ = -1;
    top_index_ = std::clamp(top_index_, 0, std::max(0, items_.Count() - 1));
    Invalidate();
}

int TListBox::ItemHeight() const { return item_height_ > 0 ? item_height_ : text_engine::line_height(Font()); }

void TListBox::SetItemHeight(int h) {
    item_height_ = std::max(0, h);
    Invalidate();
}

void TListBox::FontChanged() { Invalidate(); }

int TListBox::visible_rows() const { return std::max(1, ClientHeight() / std::max(1, ItemHeight())); }

void TListBox::SetStyle(TListBoxStyle s) {
    style_ = s;
    Invalidate();
}

void TListBox::SetSorted(bool v) {
    sorted_ = v;
    if (v) items_changed();
}

bool TListBox::Selected(int index) const {
    if (index < 0 || index >= Count()) return false;
    return multi_select_ ? bool(selected_[static_cast<std::size_t>(index)]) : index == item_index_;
}

void TListBox::SetSelected(int index, bool v) {
    if (index < 0 || index >= Count()) return;
    if (multi_select_)
        selected_[static_cast<std::size_t>(index)] = v;
    else if (v)
        item_index_ = index;
    else if (item_index_ == index)
        item_index_ = -1;
    Invalidate();
}

void TListBox::SetItemIndex(int index) {
    if (index < -1 || index >= Count()) index = -1;
    item_index_ = index;
    if (multi_select_ && index >= 0) selected_[static_cast<std::size_t>(index)] = true;
    ensure_visible(index);
    Invalidate();
}

void TListBox::SetTopIndex(int index) {
    top_index_ = std::clamp(index, 0, std::max(0, Count() - visible_rows()));
    Invalidate();
}

void TListBox::ensure_visible(int index) {
    if (index < 0) return;
    if (index < top_index_) top_index_ = index;
    if (index >= top_index_ + visible_rows()) top_index_ = index - visible_rows() + 1;
    top_index_ = std::max(0, top_index_);
}

TRect TListBox::ItemRect(int index) const {
    const int h = ItemHeight();
    const int right = ClientWidth() - (scroll_bar() ? kBar : 0);
    return Rect(0, (index - top_index_) * h, right, (index - top_index_ + 1) * h);
}

int TListBox::ItemAtPos(TPoint p, bool existing) const {
    const int right = ClientWidth() - (scroll_bar() ? kBar : 0);
    if (p.x < 0 || p.x >= right || p.y < 0) return -1;
    const int index = top_index_ + p.y / std::max(1, ItemHeight());
    if (index < Count()) return index;
    return existing ? -1 : Count();
}

void TListBox::choose(int index) {
    if (index < 0 || index >= Count()) return;
    item_index_ = index;
    if (multi_select_) selected_[static_cast<std::size_t>(index)] = !selected_[static_cast<std::size_t>(index)];
    ensure_visible(index);
    Invalidate();
    TWinControl::Click();
}

void TListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && scroll_bar() && x >= ClientWidth() - kBar) {
        // Arrows step one row, the track a page.
        if (y < kBar)
            SetTopIndex(top_index_ - 1);
        else if (y >= ClientHeight() - kBar)
            SetTopIndex(top_index_ + 1);
        else
            SetTopIndex(y < ClientHeight() / 2 ? top_index_ - visible_rows() : top_index_ + visible_rows());
    } else if (button == mbLeft && !shift.Contains(ssDouble)) {
        choose(ItemAtPos({x, y}, true));
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TListBox::MouseMove(TShiftState shift, int x, int y) { TWinControl::MouseMove(shift, x, y); }

void TListBox::DoKeyDown(TKey& key, TShiftState) {
    if (Count() == 0) return;
    int i = item_index_;
    switch (key) {
        case VK_UP: i = std::max(0, i - 1); break;
        case VK_DOWN: i = std::min(Count() - 1, i + 1); break;
        case VK_HOME: i = 0; break;
        case VK_END: i = Count() - 1; break;
        case VK_PRIOR: i = std::max(0, i - visible_rows() + 1); break;
        case VK_NEXT: i = std::min(Count() - 1, std::max(0, i) + visible_rows() - 1); break;
        default: return;
    }
    key = 0;
    if (i != item_index_) {
        if (multi_select_) std::fill(selected_.begin(), selected_.end(), false);
        choose(i);
    }
}

void TListBox::DoKeyPress(char32_t& key) {
    if (key < 32 || Count() == 0) return;
    // The next item that starts with the typed letter.
    std::string typed;
    rtl::utf8::append(typed, key);
    const std::string f = rtl::fold(typed);
    for (int step = 1; step <= Count(); ++step) {
        const int i = (std::max(item_index_, -1) + step) % Count();
        if (rtl::fold(items_[i]).rfind(f, 0) == 0) {
            choose(i);
            break;
        }
    }
    key = 0;
}

void TListBox::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const int rows = visible_rows() + 1;
    for (int i = top_index_; i < Count() && i < top_index_ + rows; ++i) {
        TOwnerDrawState state;
        if (Selected(i)) state <<= odSelected;
        if (!EnabledInTree()) state <<= odDisabled;
        if (Focused() && i == item_index_) state <<= odFocused;
        const TRect r = ItemRect(i);
        prepare_item_canvas(c, *this, state);
        if (style_ == lbOwnerDrawFixed && OnDrawItem)
            OnDrawItem(this, i, r, state);
        else
            default_item(c, items_[i], r);
        if (state.Contains(odFocused)) c.DrawFocusRect(r);
    }
    if (scroll_bar()) {
        const TRect sb = Rect(ClientWidth() - kBar, 0, ClientWidth(), ClientHeight());
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clScrollBar);
        c.FillRect(sb);
        DrawFrameControl(c, Bounds(sb.Left, 0, kBar, kBar), DFC_SCROLL, DFCS_SCROLLUP);
        DrawFrameControl(c, Rect(sb.Left, sb.Bottom - kBar, sb.Right, sb.Bottom), DFC_SCROLL, DFCS_SCROLLDOWN);
        const int track = sb.Height() - 2 * kBar;
        const int thumb = std::max(8, track * visible_rows() / std::max(1, Count()));
        const int range = std::max(1, Count() - visible_rows());
        const int top = kBar + (track - thumb) * top_index_ / range;
        DrawFrameControl(c, Rect(sb.Left, top, sb.Right, top + thumb), DFC_BUTTON, DFCS_BUTTONPUSH);
    }
}

// --- TComboBox -----------------------------------------------------------

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    set_bounds_raw(0, 0, 145, 21);
    SetControlStyle({csCaptureMouse});
    items_.OnChange = [this] { items_changed(); };
    AdjustSize();
}

TComboBox::~TComboBox() {
    if (dropped_) {
        if (TCustomForm* f = GetParentForm(this); f && f->Popup() == this) f->SetPopup(nullptr);
    }
}

TRect TComboBox::ClientInsets() const { return {2, 2, 2, 2}; }

void TComboBox::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    DrawEdge(c, r, Edge::Sunken);
}

void TComboBox::AdjustSize() { SetHeight(text_engine::line_height(Font()) + 8); }

int TComboBox::ItemHeight() const { return item_height_ > 0 ? item_height_ : text_engine::line_height(Font()); }

void TComboBox::SetStyle(TComboBoxStyle s) {
    style_ = s;
    if (s == csDropDownList && item_index_ < 0 && !Text().empty()) SetItemIndex(-1);
    Invalidate();
}

void TComboBox::SetSorted(bool v) {
    sorted_ = v;
    if (v) items_changed();
}

void TComboBox::items_changed() {
    if (sorted_) {
        items_.OnChange = nullptr;
        items_.Sort();
        items_.OnChange = [this] { items_changed(); };
    }
    if (item_index_ >= items_.Count()) SetItemIndex(-1);
    top_ = std::clamp(top_, 0, max_top());
    if (dropped_) {
        if (TCustomForm* f = GetParentForm(this)) f->SetPopup(this);
    }
    Invalidate();
}

void TComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= items_.Count()) index = -1;
    item_index_ = index;
    setting_text_ = true;
    SetText(index >= 0 ? items_[index] : std::string());
    setting_text_ = false;
    Invalidate();
}

void TComboBox::TextChanged() {
    if (setting_text_) return;
    // Text set by code selects the item of that text, if any.
    const int i = items_.IndexOf(Text());
    if (style_ == csDropDownList && i < 0 && !Text().empty()) {
        setting_text_ = true;
        SetText(item_index_ >= 0 ? items_[item_index_] : std::string());
        setting_text_ = false;
        return;
    }
    item_index_ = i;
}

void TComboBox::SelectByUser(int index) {
    if (index < 0 || index >= items_.Count()) return;
    SetItemIndex(index);
    TWinControl::Click();
    if (OnSelect)
        OnSelect(this);
    else if (OnChange)
        OnChange(this);
}

void TComboBox::SetDroppedDown(bool v) {
    if (v == dropped_) return;
    TCustomForm* f = GetParentForm(this);
    if (v) {
        if (OnDropDown) OnDropDown(this);
        dropped_ = true;
        hot_ = item_index_;
        // The chosen item shows, at the bottom when it lies further down.
        top_ = std::clamp(item_index_ - drop_down_count_ + 1, 0, max_top());
        if (f) f->SetPopup(this);
    } else {
        dropped_ = false;
        if (f && f->Popup() == this) f->SetPopup(nullptr);
        if (OnCloseUp) OnCloseUp(this);
    }
    Invalidate();
}

int TComboBox::list_rows() const { return std::max(1, std::min(items_.Count(), drop_down_count_)); }

TRect TComboBox::PopupRect() const {
    TPoint origin;
    TRect visible;
    if (!form_geometry(origin, visible)) return {};
    const int h = list_rows() * ItemHeight() + 2;
    const TCustomForm* f = GetParentForm(this);
    int top = origin.y + Height();
    if (f && top + h > f->Height() && origin.y - h >= 0) top = origin.y - h;
    return Bounds(origin.x, top, Width(), h);
}

void TComboBox::scroll_list(int top) {
    top = std::clamp(top, 0, max_top());
    if (top == top_) return;
    top_ = top;
    if (TCustomForm* f = GetParentForm(this); f && f->Popup() == this) f->InvalidateWindowRect(PopupRect());
}

int TComboBox::list_item_at(TPoint p) const {
    const int width = PopupRect().Width();
    if (p.x < 1 || p.x >= width - 1 - (list_bar() ? kBar : 0) || p.y < 1) return -1;
    const int row = (p.y - 1) / std::max(1, ItemHeight());
    if (row >= list_rows()) return -1;
    const int index = top_ + row;
    return index < items_.Count() ? index : -1;
}

void TComboBox::draw_item(TCanvas& c, int index, const TRect& r, TOwnerDrawState state) {
    prepare_item_canvas(c, *this, state);
    if ((style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) && OnDrawItem)
        OnDrawItem(this, index, r, state);
    else
        default_item(c, index >= 0 ? items_[index] : Text(), r);
}

void TComboBox::PaintPopup(TCanvas& c) {
    const TRect pr = PopupRect();
    const TRect all = Rect(0, 0, pr.Width(), pr.Height());
    c.Brush().SetColor(Color());
    c.FillRect(all);
    c.Brush().SetColor(clWindowFrame);
    c.FrameRect(all);
    const int h = ItemHeight();
    const int right = pr.Width() - 1 - (list_bar() ? kBar : 0);
    for (int i = top_; i < items_.Count() && i < top_ + list_rows(); ++i) {
        const TRect r = Rect(1, 1 + (i - top_) * h, right, 1 + (i - top_ + 1) * h);
        TOwnerDrawState state;
        if (i == hot_) state <<= odSelected;
        draw_item(c, i, r, state);
    }
    if (!list_bar()) return;
    // The bar of a list longer than its rows: arrows, track and a thumb as
    // large as the part shown.
    const TRect sb = Rect(right, 1, pr.Width() - 1, pr.Height() - 1);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clScrollBar);
    c.FillRect(sb);
    DrawFrameControl(c, Bounds(sb.Left, sb.Top, kBar, kBar), DFC_SCROLL, DFCS_SCROLLUP);
    DrawFrameControl(c, Rect(sb.Left, sb.Bottom - kBar, sb.Right, sb.Bottom), DFC_SCROLL, DFCS_SCROLLDOWN);
    const int track = sb.Height() - 2 * kBar;
    const int thumb = std::clamp(track * list_rows() / std::max(1, items_.Count()), std::min(8, track), track);
    const int at = sb.Top + kBar + (track - thumb) * top_ / std::max(1, max_top());
    DrawFrameControl(c, Rect(sb.Left, at, sb.Right, at + thumb), DFC_BUTTON, DFCS_BUTTONPUSH);
}

void TComboBox::PopupMouseDown(TPoint p) {
    const TRect pr = PopupRect();
    if (list_bar() && p.x >= pr.Width() - 1 - kBar) {
        // Arrows step a row, the track a page; the list stays open.
        const int top = 1, bottom = pr.Height() - 1;
        if (p.y < top + kBar)
            scroll_list(top_ - 1);
        else if (p.y >= bottom - kBar)
            scroll_list(top_ + 1);
        else
            scroll_list(p.y < (top + bottom) / 2 ? top_ - list_rows() : top_ + list_rows());
        return;
    }
    const int index = list_item_at(p);
    SetDroppedDown(false);
    if (index >= 0) SelectByUser(index);
}

void TComboBox::PopupMouseMove(TPoint p) {
    const int index = list_item_at(p);
    if (index >= 0 && index != hot_) {
        hot_ = index;
        if (TCustomForm* f = GetParentForm(this)) f->InvalidateWindowRect(PopupRect());
    }
}

bool TComboBox::WheelScroll(TShiftState, int delta, TPoint) {
    if (!dropped_) return false;
    // Three rows a notch, as the desktop's lists turn.
    const int notches = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
    scroll_list(top_ - 3 * notches);
    return true;
}

void TComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TWinControl::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    const bool on_button = x >= ClientWidth() - kButton;
    if (on_button || style_ == csDropDownList || style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable)
        SetDroppedDown(!dropped_);
}

bool TComboBox::WantsKey(TKey key, TShiftState) const { return dropped_ && (key == VK_RETURN || key == VK_ESCAPE); }

void TComboBox::DoKeyDown(TKey& key, TShiftState shift) {
    if ((key == VK_DOWN && shift.Contains(ssAlt)) || key == VK_F4) {
        SetDroppedDown(!dropped_);
        key = 0;
        return;
    }
    if (dropped_ && (key == VK_RETURN || key == VK_ESCAPE)) {
        const int chosen = hot_;
        SetDroppedDown(false);
        if (key == VK_RETURN && chosen >= 0 && chosen != item_index_) SelectByUser(chosen);
        key = 0;
        return;
    }
    if (key == VK_UP || key == VK_DOWN) {
        const int base = dropped_ ? hot_ : item_index_;
        const int i = std::clamp(base + (key == VK_UP ? -1 : 1), 0, items_.Count() - 1);
        if (dropped_) {
            hot_ = i;
            if (i < top_) scroll_list(i);
            if (i >= top_ + list_rows()) scroll_list(i - list_rows() + 1);
            if (TCustomForm* f = GetParentForm(this)) f->InvalidateWindowRect(PopupRect());
        } else if (i != item_index_ && items_.Count() > 0) {
            SelectByUser(i);
        }
        key = 0;
    }
}

void TComboBox::DoKeyPress(char32_t& key) {
    if (style_ == csDropDown || style_ == csSimple) {
        std::string t = Text();
        if (key == 8) {
            if (!t.empty()) {
                std::size_t cut = t.size() - 1;
                while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80) --cut;
                t.erase(cut);
            }
        } else if (key >= 32) {
            if (max_length_ > 0 && static_cast<int>(rtl::char_count(t)) >= max_length_) return;
            rtl::utf8::append(t, key);
        } else {
            return;
        }
        key = 0;
        SetText(std::move(t));
        if (OnChange) OnChange(this);
        return;
    }
    if (key < 32 || items_.Count() == 0) return;
    std::string typed;
    rtl::utf8::append(typed, key);
    const std::string f = rtl::fold(typed);
    for (int step = 1; step <= items_.Count(); ++step) {
        const int i = (std::max(item_index_, -1) + step) % items_.Count();
        if (rtl::fold(items_[i]).rfind(f, 0) == 0) {
            SelectByUser(i);
            break;
        }
    }
    key = 0;
}

void TComboBox::DoExit() {
    SetDroppedDown(false);
    TWinControl::DoExit();
}

void TComboBox::Paint() {
    TCanvas& c = Canvas();
    const TRect text = Rect(0, 0, ClientWidth() - kButton, ClientHeight());
    c.Brush().SetColor(EnabledInTree() ? Color() : clBtnFace);
    c.FillRect(ClientRect());
    TOwnerDrawState state{odComboBoxEdit};
    const bool list = style_ != csDropDown && style_ != csSimple;
    if (Focused() && list && !dropped_) state <<= odSelected;
    if (!EnabledInTree()) state <<= odDisabled;
    const TRect item = text.Inflate(-1, -1);
    if (list || item_index_ >= 0) {
        draw_item(c, item_index_, item, state);
    } else {
        prepare_item_canvas(c, *this, state);
        default_item(c, Text(), item);
    }
    if (state.Contains(odSelected)) c.DrawFocusRect(item);
    DrawFrameControl(c, Rect(ClientWidth() - kButton, 0, ClientWidth(), ClientHeight()), DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (dropped_ ? DFCS_PUSHED : 0) | (EnabledInTree() ? 0 : DFCS_INACTIVE));
}

}  // namespace ui
