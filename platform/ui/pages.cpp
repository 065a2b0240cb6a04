#include "platform/ui/pages.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ui/frame_controls.h"
#include "platform/ui/text_engine.h"

namespace ui {

// --- TTabSheet -------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* owner) : TScrollingWinControl(owner) {
    SetAutoScroll(false);
    SetVisible(false);
    SetColor(clBtnFace);
}

TTabSheet::~TTabSheet() {
    if (page_control_) page_control_->remove_page(this);
}

void TTabSheet::SetPageControl(TPageControl* page_control) { SetParent(page_control); }

void TTabSheet::SetParent(TWinControl* parent) {
    if (parent == Parent()) return;
    if (page_control_) page_control_->remove_page(this);
    TWinControl::SetParent(parent);
    if (auto* pc = dynamic_cast<TPageControl*>(parent)) pc->insert_page(this);
}

int TTabSheet::PageIndex() const {
    if (!page_control_) return -1;
    const auto& v = page_control_->pages_;
    return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::SetPageIndex(int index) {
    if (!page_control_) return;
    auto& v = page_control_->pages_;
    v.erase(v.begin() + PageIndex());
    index = std::clamp(index, 0, static_cast<int>(v.size()));
    v.insert(v.begin() + index, this);
    page_control_->Invalidate();
}

void TTabSheet::SetTabVisible(bool v) {
    if (v == tab_visible_) return;
    tab_visible_ = v;
    if (page_control_) {
        page_control_->layout();
        page_control_->Invalidate();
    }
}

int TTabSheet::TabIndex() const {
    if (!page_control_ || !tab_visible_) return -1;
    const std::vector<TTabSheet*> tabs = page_control_->shown_tabs();
    return static_cast<int>(std::find(tabs.begin(), tabs.end(), this) - tabs.begin());
}

void TTabSheet::Paint() {
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(ClientRect());
}

// --- TPageControl ----------------------------------------------------------------

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    set_bounds_raw(0, 0, 289, 193);
    SetTabStop(true);
    SetColor(clBtnFace);
}

TPageControl::~TPageControl() {
    for (TTabSheet* p : pages_) p->page_control_ = nullptr;
    pages_.clear();
    active_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
    if (index < 0 || index >= PageCount())
        throw std::out_of_range("TPageControl::Pages: index " + std::to_string(index) + " out of range");
    return pages_[static_cast<std::size_t>(index)];
}

std::vector<TTabSheet*> TPageControl::shown_tabs() const {
    std::vector<TTabSheet*> v;
    for (TTabSheet* p : pages_)
        if (p->tab_visible_) v.push_back(p);
    return v;
}

void TPageControl::insert_page(TTabSheet* page) {
    pages_.push_back(page);
    page->page_control_ = this;
    layout();
    if (!active_) SetActivePage(page);
    Invalidate();
}

void TPageControl::remove_page(TTabSheet* page) {
    TTabSheet* next = FindNextPage(page, true, false);
    if (next == page) next = nullptr;
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
    page->page_control_ = nullptr;
    if (active_ == page) {
        active_ = nullptr;
        SetActivePage(next);
    }
    layout();
    Invalidate();
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (page && page->page_control_ != this) return;
    if (page == active_) return;
    TTabSheet* old = active_;
    active_ = page;
    if (old) {
        // The focus does not stay on a page that is put away.
        if (TCustomForm* f = GetParentForm(this)) {
            for (TControl* c = f->ActiveControl(); c; c = c->Parent())
                if (c == old) {
                    if (CanFocus()) SetFocus();
                    break;
                }
        }
        old->SetVisible(false);
        if (old->OnHide) old->OnHide(old);
    }
    if (page) {
        layout();
        page->SetVisible(true);
        if (page->OnShow) page->OnShow(page);
    }
    Invalidate();
}

void TPageControl::SetActivePageIndex(int index) {
    SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<std::size_t>(index)] : nullptr);
}

void TPageControl::SetStyle(TTabStyle s) {
    style_ = s;
    layout();
    Invalidate();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool forward, bool visible_tabs_only) const {
    const int n = PageCount();
    if (n == 0) return nullptr;
    int i = current ? current->PageIndex() : -1;
    if (i < 0 || i >= n) i = forward ? n - 1 : 0;
    for (int step = 0; step < n; ++step) {
        i = forward ? (i + 1) % n : (i + n - 1) % n;
        TTabSheet* p = pages_[static_cast<std::size_t>(i)];
        if (!visible_tabs_only || p->tab_visible_) return p;
    }
    return nullptr;
}

bool TPageControl::change_by_user(TTabSheet* page) {
    if (!page || page == active_) return false;
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    if (!allow) return false;
    SetActivePage(page);
    if (OnChange) OnChange(this);
    return true;
}

void TPageControl::SelectNextPage(bool forward) {
    TTabSheet* p = FindNextPage(active_, forward, true);
    if (p && p != active_) change_by_user(p);
}

int TPageControl::TabHeight() const { return text_engine::line_height(Font()) + 6; }

TRect TPageControl::TabRect(int tab_index) const {
    const std::vector<TTabSheet*> tabs = shown_tabs();
    if (tab_index < 0 || tab_index >= static_cast<int>(tabs.size())) return {};
    const int th = TabHeight();
    const bool tabs_style = style_ == tsTabs;
    int x = tabs_style ? 2 : 0;
    for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
        const int w = text_engine::Layout(Font(), tabs[static_cast<std::size_t>(i)]->Caption(), true).Size().cx +
                      (tabs_style ? 12 : 16);
        if (i == tab_index) return tabs_style ? Rect(x, 2, x + w, th) : Rect(x, 0, x + w, th);
        x += w + (tabs_style ? 0 : 3);
    }
    return {};
}

int TPageControl::IndexOfTabAt(int x, int y) const {
    const int n = static_cast<int>(shown_tabs().size());
    for (int i = 0; i < n; ++i)
        if (TabRect(i).Contains({x, y})) return i;
    return -1;
}

TRect TPageControl::DisplayRect() const {
    const int w = ClientWidth(), h = ClientHeight();
    const int top = shown_tabs().empty() ? 0 : TabHeight();
    if (style_ == tsTabs) return Rect(2, top + 2, std::max(2, w - 2), std::max(top + 2, h - 2));
    return Rect(0, top ? top + 3 : 0, w, h);
}

void TPageControl::layout() {
    const TRect r = DisplayRect();
    for (TTabSheet* p : pages_) p->SetBounds(r.Left, r.Top, r.Width(), r.Height());
}

void TPageControl::Resized() {
    TWinControl::Resized();
    layout();
}

void TPageControl::FontChanged() {
    layout();
    Invalidate();
}

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        const int i = IndexOfTabAt(x, y);
        if (i >= 0) change_by_user(shown_tabs()[static_cast<std::size_t>(i)]);
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TPageControl::DoKeyDown(TKey& key, TShiftState shift) {
    if (key == VK_TAB && shift.Contains(ssCtrl)) {
        SelectNextPage(!shift.Contains(ssShift));
        key = 0;
    } else if ((key == VK_LEFT || key == VK_RIGHT) && !shift.Contains(ssCtrl)) {
        SelectNextPage(key == VK_RIGHT);
        key = 0;
    }
}

void TPageControl::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const std::vector<TTabSheet*> tabs = shown_tabs();
    const int th = tabs.empty() ? 0 : TabHeight();
    if (style_ == tsTabs) {
        TRect frame = Rect(0, th, ClientWidth(), ClientHeight());
        Frame3D(c, frame, clBtnHighlight, cl3DDkShadow, 1);
        Frame3D(c, frame, cl3DLight, clBtnShadow, 1);
    }
    for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
        TTabSheet* page = tabs[static_cast<std::size_t>(i)];
        TRect r = TabRect(i);
        const bool active = page == active_;
        if (style_ == tsTabs) {
            if (active) r = Rect(r.Left - 2, 0, r.Right + 2, th + 1);
            c.Brush().SetColor(Color());
            c.FillRect(r);
            c.Pen().SetColor(clBtnHighlight);
            c.MoveTo(r.Left, r.Bottom - 1);
            c.LineTo(r.Left, r.Top + 2);
            c.LineTo(r.Left + 2, r.Top);
            c.LineTo(r.Right - 2, r.Top);
            c.Pen().SetColor(cl3DDkShadow);
            c.LineTo(r.Right - 1, r.Top + 1);
            c.LineTo(r.Right - 1, r.Bottom - (active ? 0 : 1));
            c.Pen().SetColor(clBtnShadow);
            c.MoveTo(r.Right - 2, r.Top + 1);
            c.LineTo(r.Right - 2, r.Bottom - (active ? 0 : 1));
        } else if (style_ == tsButtons) {
            DrawFrameControl(c, r, DFC_BUTTON, DFCS_BUTTONPUSH | (active ? DFCS_PUSHED : 0));
        } else {
            c.Brush().SetColor(Color());
            c.FillRect(r);
            TRect e = r;
            if (active) Frame3D(c, e, clBtnShadow, clBtnHighlight, 1);
        }
        c.Font().Assign(Font());
        if (!page->EnabledInTree()) c.Font().SetColor(clGrayText);
        c.Brush().SetStyle(bsClear);
        TRect text = active && style_ != tsTabs ? r.Offset(1, 1) : r;
        c.DrawText(page->Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        c.Brush().SetStyle(bsSolid);
        if (active && Focused()) c.DrawFocusRect(r.Inflate(-3, -3));
    }
}

// --- TControlScrollBar -------------------------------------------------------------

int TControlScrollBar::Range() const { return box_.auto_scroll_ ? box_.content_extent(kind_ == sbHorizontal) : range_; }

void TControlScrollBar::SetRange(int range) {
    range_ = std::max(0, range);
    box_.Realign();
    box_.clamp_positions();
    box_.Invalidate();
}

void TControlScrollBar::SetVisible(bool v) {
    visible_ = v;
    box_.clamp_positions();
    box_.Invalidate();
}

bool TControlScrollBar::IsScrollBarVisible() const {
    bool horz = false, vert = false;
    box_.bars_needed(horz, vert);
    return kind_ == sbHorizontal ? horz : vert;
}

void TControlScrollBar::SetStyle(TScrollBarStyle s) {
    style_ = s;
    box_.Invalidate();
}

void TControlScrollBar::SetPosition(int position) {
    const int extent = kind_ == sbHorizontal ? box_.ClientWidth() : box_.ClientHeight();
    position = std::clamp(position, 0, IsScrollBarVisible() ? std::max(0, Range() - extent) : 0);
    if (position == position_) return;
    const int delta = position - position_;
    position_ = position;
    if (kind_ == sbHorizontal)
        box_.scroll_by(delta, 0);
    else
        box_.scroll_by(0, delta);
}

// --- TScrollingWinControl --------------------------------------------------------

TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {
    // A thumb dragged off the bar still follows the pointer.
    SetControlStyle({csCaptureMouse});
}

void TScrollingWinControl::SetAutoScroll(bool v) {
    auto_scroll_ = v;
    Realign();
    clamp_positions();
    Invalidate();
}

int TScrollingWinControl::aligned_extent(bool horizontal) const {
    // An aligned child would be squeezed to the client area: one that says
    // how small it can get (a form's least client size) keeps that size and
    // the rest is scrolled to.
    int extent = 0;
    for (int i = 0; i < ControlCount(); ++i) {
        const TControl* c = Controls(i);
        if (!c->Visible() || c->Align() == alNone) continue;
        const auto* f = dynamic_cast<const TCustomForm*>(c);
        if (!f) continue;
        const TSize least = f->MinClientSize();
        if (horizontal && least.cx > 0) extent = std::max(extent, least.cx + f->Width() - f->ClientWidth());
        if (!horizontal && least.cy > 0) extent = std::max(extent, least.cy + f->Height() - f->ClientHeight());
    }
    return extent;
}

int TScrollingWinControl::content_extent(bool horizontal) const {
    int extent = aligned_extent(horizontal);
    const TControlScrollBar& bar = horizontal ? horz_ : vert_;
    for (int i = 0; i < ControlCount(); ++i) {
        const TControl* c = Controls(i);
        if (!c->Visible() || c->Align() != alNone) continue;
        extent = std::max(extent, (horizontal ? c->Left() + c->Width() : c->Top() + c->Height()) + bar.position_);
    }
    return extent;
}

void TScrollingWinControl::bars_needed(bool& horz, bool& vert) const {
    const int b = BorderWidth();
    const int w = Width() - 2 * b, h = Height() - 2 * b;
    const int rw = horz_.Range(), rh = vert_.Range();
    vert = vert_.visible_ && rh > h;
    horz = horz_.visible_ && rw > w - (vert ? FrameScrollBar::kSize : 0);
    if (horz && !vert) vert = vert_.visible_ && rh > h - FrameScrollBar::kSize;
}

TRect TScrollingWinControl::ClientInsets() const {
    const int b = BorderWidth();
    bool horz = false, vert = false;
    bars_needed(horz, vert);
    return {b, b, b + (vert ? FrameScrollBar::kSize : 0), b + (horz ? FrameScrollBar::kSize : 0)};
}

void TScrollingWinControl::AdjustClientRect(TRect& r) const {
    // The aligned children scroll with the others.
    const int w = auto_scroll_ ? std::max(r.Width(), aligned_extent(true)) : r.Width();
    const int h = auto_scroll_ ? std::max(r.Height(), aligned_extent(false)) : r.Height();
    r = Bounds(r.Left - horz_.position_, r.Top - vert_.position_, w, h);
}

void TScrollingWinControl::update_bars() {
    bool horz = false, vert = false;
    bars_needed(horz, vert);
    const int b = BorderWidth();
    const int k = FrameScrollBar::kSize;
    hbar_.SetVisible(horz);
    vbar_.SetVisible(vert);
    hbar_.SetFlat(horz_.style_ != ssRegular);
    vbar_.SetFlat(vert_.style_ != ssRegular);
    hbar_.SetBoundsRect(Rect(b, Height() - b - k, Width() - b - (vert ? k : 0), Height() - b));
    vbar_.SetBoundsRect(Rect(Width() - b - k, b, Width() - b, Height() - b - (horz ? k : 0)));
    hbar_.SetParams(0, std::max(0, horz_.Range() - 1), std::max(1, ClientWidth()));
    vbar_.SetParams(0, std::max(0, vert_.Range() - 1), std::max(1, ClientHeight()));
    hbar_.SetPosition(horz_.position_);
    vbar_.SetPosition(vert_.position_);
}

void TScrollingWinControl::scroll_by(int dx, int dy) {
    // The aligned children follow at the realignment that ends this.
    DisableAlign();
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (c->Align() != alNone) continue;
        c->SetBounds(c->Left() - dx, c->Top() - dy, c->Width(), c->Height());
    }
    EnableAlign();
    Invalidate();
}

void TScrollingWinControl::clamp_positions() {
    horz_.SetPosition(horz_.position_);
    vert_.SetPosition(vert_.position_);
}

void TScrollingWinControl::Resized() {
    TWinControl::Resized();
    clamp_positions();
}

void TScrollingWinControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (!ClientRect().Contains({x, y})) {
        if (button != mbLeft) return;
        update_bars();
        const TRect in = ClientInsets();
        const TPoint p{x + in.Left, y + in.Top};
        for (FrameScrollBar* bar : {&vbar_, &hbar_}) {
            TControlScrollBar& model = bar == &vbar_ ? vert_ : horz_;
            const int page = bar == &vbar_ ? ClientHeight() : ClientWidth();
            switch (bar->HitTest(p)) {
                case FrameScrollBar::Part::None: continue;
                case FrameScrollBar::Part::LineBack: model.SetPosition(model.position_ - model.increment_); break;
                case FrameScrollBar::Part::LineForward: model.SetPosition(model.position_ + model.increment_); break;
                case FrameScrollBar::Part::PageBack: model.SetPosition(model.position_ - page); break;
                case FrameScrollBar::Part::PageForward: model.SetPosition(model.position_ + page); break;
                case FrameScrollBar::Part::Thumb:
                    bar->Press(p);
                    dragging_ = bar;
                    break;
            }
            return;
        }
        return;
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TScrollingWinControl::MouseMove(TShiftState shift, int x, int y) {
    if (dragging_) {
        const TRect in = ClientInsets();
        const int pos = dragging_->DragTo({x + in.Left, y + in.Top});
        TControlScrollBar& model = dragging_ == &vbar_ ? vert_ : horz_;
        if (model.tracking_) {
            model.SetPosition(pos);
        } else {
            dragging_->SetShownPosition(pos);
            Invalidate();
        }
        return;
    }
    TWinControl::MouseMove(shift, x, y);
}

void TScrollingWinControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (dragging_) {
        const TRect in = ClientInsets();
        const int pos = dragging_->DragTo({x + in.Left, y + in.Top});
        dragging_->EndDrag();
        (dragging_ == &vbar_ ? vert_ : horz_).SetPosition(pos);
        dragging_ = nullptr;
        Invalidate();
        return;
    }
    TWinControl::MouseUp(button, shift, x, y);
}

bool TScrollingWinControl::WheelScroll(TShiftState, int delta, TPoint) {
    if (!vert_.IsScrollBarVisible()) return false;
    int notches = delta / 120;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    vert_.SetPosition(vert_.position_ - notches * 3 * vert_.increment_);
    return true;
}

void TScrollingWinControl::PaintFrame(TCanvas& c) {
    update_bars();
    hbar_.Paint(c, EnabledInTree());
    vbar_.Paint(c, EnabledInTree());
    if (hbar_.Visible() && vbar_.Visible()) {
        c.Brush().SetColor(clBtnFace);
        c.FillRect(
            Rect(vbar_.BoundsRect().Left, hbar_.BoundsRect().Top, vbar_.BoundsRect().Right, hbar_.BoundsRect().Bottom));
    }
}

// --- TScrollBox ---------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
    set_bounds_raw(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TScrollBox::SetBorderStyle(TBorderStyle b) {
    border_style_ = b;
    Invalidate();
    Realign();
}

void TScrollBox::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    if (border_style_ == bsSingle) DrawEdge(c, r, Edge::Sunken);
    TScrollingWinControl::PaintFrame(c);
}

void TScrollBox::Paint() {
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(ClientRect());
}

}  // namespace ui
