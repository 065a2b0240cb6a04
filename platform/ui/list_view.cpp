#include "platform/ui/list_view.h"

#include <algorithm>
#include <stdexcept>

#include "platform/rtl/text.h"
#include "platform/ui/frame_controls.h"
#include "platform/ui/label_edit.h"
#include "platform/ui/row_scroll.h"
#include "platform/ui/text_engine.h"

namespace ui {

// --- columns ---------------------------------------------------------------------

void TListColumn::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    view_->changed();
}

void TListColumn::SetWidth(int w) {
    width_ = std::max(0, w);
    view_->changed();
}

void TListColumn::SetAlignment(TAlignment a) {
    alignment_ = a;
    view_->changed();
}

TListColumn* TListColumns::Items(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TListColumns::Items: index " + std::to_string(index) + " out of range");
    return columns_[static_cast<std::size_t>(index)].get();
}

TListColumn* TListColumns::Add() {
    columns_.push_back(std::unique_ptr<TListColumn>(new TListColumn(view_)));
    view_->changed();
    return columns_.back().get();
}

void TListColumns::Clear() {
    columns_.clear();
    view_->changed();
}

// --- items --------------------------------------------------------------------------

TListItem::TListItem(TListItems* owner) : owner_(owner) {
    sub_items_.OnChange = [this] { owner_->view_->changed(); };
}

void TListItem::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    owner_->view_->changed();
}

int TListItem::Index() const { return owner_->IndexOf(this); }

bool TListItem::Selected() const { return owner_->view_->selected_ == this; }

void TListItem::SetSelected(bool v) {
    TListView* view = owner_->view_;
    if (v)
        view->select(this);
    else if (view->selected_ == this)
        view->select(nullptr);
}

TRect TListItem::DisplayRect(bool caption_only) const {
    const TListView* v = owner_->view_;
    const int i = Index();
    const TRect r = caption_only ? v->caption_rect(i) : v->row_rect(i);
    if (i < v->scroll_->top() || r.Top >= v->ClientHeight()) return {};
    return r;
}

void TListItem::MakeVisible() { owner_->view_->scroll_->ensure_shown(Index()); }

bool TListItem::EditCaption() { return owner_->view_->start_edit(this); }

void TListItem::Delete() { owner_->Delete(Index()); }

TListItems::~TListItems() {
    for (TListItem* i : items_) delete i;
}

TListItem* TListItems::Item(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TListItems::Item: index " + std::to_string(index) + " out of range");
    return items_[static_cast<std::size_t>(index)];
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int index) {
    if (index < 0 || index > Count())
        throw std::out_of_range("TListItems::Insert: index " + std::to_string(index) + " out of range");
    auto* item = new TListItem(this);
    items_.insert(items_.begin() + index, item);
    view_->changed();
    return item;
}

void TListItems::Delete(int index) {
    TListItem* item = Item(index);
    view_->item_going(item);
    items_.erase(std::find(items_.begin(), items_.end(), item));
    delete item;
    view_->scroll_->refresh();
    view_->changed();
}

void TListItems::Clear() {
    while (!items_.empty()) Delete(Count() - 1);
    view_->scroll_->reset();
}

int TListItems::IndexOf(const TListItem* item) const {
    const auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TListItems::BeginUpdate() { ++view_->updating_; }

void TListItems::EndUpdate() {
    if (view_->updating_ > 0 && --view_->updating_ == 0) view_->Invalidate();
}

// --- TListView: model ----------------------------------------------------------------

TListView::TListView(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TListItems>(this)),
      scroll_(std::make_unique<RowScroll>(
          *this, [this] { return items_->Count(); }, [this] { return VisibleRowCount(); })) {
    set_bounds_raw(0, 0, 250, 150);
    SetTabStop(true);
    SetColor(clWindow);
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks});
}

TListView::~TListView() {
    destroying_ = true;
    items_->Clear();
}

void TListView::changed() {
    if (updating_ == 0) Invalidate();
}

void TListView::SetViewStyle(TViewStyle s) {
    view_style_ = s;
    changed();
}
void TListView::SetShowColumnHeaders(bool v) {
    show_headers_ = v;
    changed();
}
void TListView::SetRowSelect(bool v) {
    row_select_ = v;
    changed();
}
void TListView::SetHideSelection(bool v) {
    hide_selection_ = v;
    changed();
}
void TListView::SetBorderStyle(TBorderStyle b) {
    border_style_ = b;
    changed();
    Realign();
}

void TListView::select(TListItem* item) {
    if (item == selected_) return;
    TListItem* old = selected_;
    selected_ = item;
    Invalidate();
    if (old && OnSelectItem) OnSelectItem(this, old, false);
    if (item) {
        scroll_->ensure_shown(item->Index());
        if (OnSelectItem) OnSelectItem(this, item, true);
    }
}

void TListView::SetSelected(TListItem* item) {
    if (item && item->owner_ != items_.get()) return;
    select(item);
}

void TListView::SetItemIndex(int index) {
    select(index >= 0 && index < items_->Count() ? items_->Item(index) : nullptr);
}

void TListView::item_going(TListItem* item) {
    if (editing_ == item && editor_) editor_->Finish(false);
    if (selected_ == item) {
        selected_ = nullptr;
        if (!destroying_ && OnSelectItem) OnSelectItem(this, item, false);
    }
    if (OnDeletion) OnDeletion(this, item);
}

TListItem* TListView::FindCaption(int start, std::string_view text, bool partial, bool inclusive, bool wrap) const {
    const int n = items_->Count();
    if (n == 0) return nullptr;
    const std::string wanted = rtl::fold(text);
    int i = std::max(0, start) + (inclusive ? 0 : 1);
    for (int step = 0; step < n; ++step, ++i) {
        if (i >= n) {
            if (!wrap) return nullptr;
            i = 0;
        }
        const std::string caption = rtl::fold(items_->Item(i)->Caption());
        if (partial ? caption.rfind(wanted, 0) == 0 : caption == wanted) return items_->Item(i);
    }
    return nullptr;
}

bool TListView::start_edit(TListItem* item) {
    if (!item || read_only_ || item->owner_ != items_.get()) return false;
    if (editing_ && editor_) editor_->Finish(true);
    bool allow = true;
    if (OnEditing) OnEditing(this, item, allow);
    if (!allow) return false;
    scroll_->ensure_shown(item->Index());
    if (!editor_) editor_ = new LabelEditor(this, [this](bool accept) { end_edit(accept); });
    editing_ = item;
    TRect r = caption_rect(item->Index());
    const int text_w = text_engine::Layout(Font(), item->Caption(), true).Size().cx;
    r.Right = std::min(ClientWidth(), std::max(r.Right, r.Left + text_w + 24));
    editor_->Start(r, item->Caption());
    return true;
}

void TListView::end_edit(bool accept) {
    TListItem* item = editing_;
    if (!item) return;
    editing_ = nullptr;
    if (!accept) return;
    std::string s = editor_->Text();
    if (OnEdited) OnEdited(this, item, s);
    item->SetCaption(std::move(s));
}

// --- TListView: geometry ----------------------------------------------------------------

int TListView::RowHeight() const { return text_engine::line_height(Font()) + 4; }

int TListView::HeaderHeight() const {
    return view_style_ == vsReport && show_headers_ ? text_engine::line_height(Font()) + 6 : 0;
}

int TListView::VisibleRowCount() const { return std::max(0, (ClientHeight() - HeaderHeight()) / RowHeight()); }

bool TListView::needs_bar() const {
    const int b = RowScroll::border(border_style_);
    const int rows = std::max(1, (Height() - 2 * b - HeaderHeight()) / RowHeight());
    return items_->Count() > rows;
}

TRect TListView::ClientInsets() const { return RowScroll::insets(border_style_, needs_bar()); }

TRect TListView::row_rect(int index) const {
    const int y = HeaderHeight() + (index - scroll_->top()) * RowHeight();
    int right = ClientWidth();
    if (view_style_ == vsReport && columns_.Count() > 0) {
        right = 0;
        for (int c = 0; c < columns_.Count(); ++c) right += columns_[c]->Width();
    }
    return Rect(0, y, right, y + RowHeight());
}

TRect TListView::caption_rect(int index) const {
    TRect r = row_rect(index);
    if (view_style_ == vsReport && columns_.Count() > 0)
        r.Right = columns_[0]->Width();
    else if (index >= 0 && index < items_->Count())
        r.Right = std::min(r.Right, text_engine::Layout(Font(), items_->Item(index)->Caption(), true).Size().cx + 8);
    return r;
}

TListItem* TListView::GetItemAt(int x, int y) const {
    if (x < 0 || x >= ClientWidth() || y < HeaderHeight() || y >= ClientHeight()) return nullptr;
    const int i = scroll_->top() + (y - HeaderHeight()) / RowHeight();
    return i < items_->Count() ? items_->Item(i) : nullptr;
}

TListItem* TListView::TopItem() const {
    const int top = scroll_->top();
    return top < items_->Count() ? items_->Item(top) : nullptr;
}

void TListView::Resized() {
    TWinControl::Resized();
    scroll_->refresh();
}

// --- TListView: input --------------------------------------------------------------------

void TListView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (!ClientRect().Contains({x, y})) {
        scroll_->frame_press(button, x, y, border_style_, needs_bar(), ClientInsets());
        return;
    }
    if ((button == mbLeft || button == mbRight) && !shift.Contains(ssDouble) && y >= HeaderHeight())
        select(GetItemAt(x, y));
    TWinControl::MouseDown(button, shift, x, y);
}

void TListView::MouseMove(TShiftState shift, int x, int y) {
    scroll_->mouse_move(x, y, ClientInsets());
    TWinControl::MouseMove(shift, x, y);
}

void TListView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    scroll_->mouse_up();
    TWinControl::MouseUp(button, shift, x, y);
}

void TListView::DoKeyDown(TKey& key, TShiftState) {
    const int n = items_->Count();
    if (key == VK_F2) {
        start_edit(selected_);
        key = 0;
        return;
    }
    if (n == 0) return;
    int target = -1;
    if (!paging_key(key, ItemIndex(), n, VisibleRowCount(), target)) return;
    key = 0;
    SetItemIndex(target);
}

bool TListView::WheelScroll(TShiftState, int delta, TPoint) {
    scroll_->wheel(delta);
    return true;
}

// --- TListView: painting ------------------------------------------------------------------

void TListView::PaintFrame(TCanvas& c) { scroll_->paint_frame(c, border_style_, needs_bar()); }

void TListView::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const bool report = view_style_ == vsReport && columns_.Count() > 0;
    const int hh = HeaderHeight();
    auto column_text = [&](const TRect& r, const std::string& text, TAlignment a) {
        TRect t = Rect(r.Left + 4, r.Top, r.Right - 4, r.Bottom);
        const unsigned align = a == taRightJustify ? DT_RIGHT : a == taCenter ? DT_CENTER : DT_LEFT;
        c.DrawText(text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | align);
    };
    if (hh > 0) {
        int x = 0;
        for (int k = 0; k < columns_.Count(); ++k) {
            const TListColumn* col = columns_[k];
            const TRect r = Rect(x, 0, x + col->Width(), hh);
            DrawFrameControl(c, r, DFC_BUTTON, DFCS_BUTTONPUSH);
            c.Font().Assign(Font());
            c.Brush().SetStyle(bsClear);
            column_text(r, col->Caption(), col->Alignment());
            c.Brush().SetStyle(bsSolid);
            x += col->Width();
        }
        if (x < ClientWidth()) DrawFrameControl(c, Rect(x, 0, ClientWidth(), hh), DFC_BUTTON, DFCS_BUTTONPUSH);
    }
    c.IntersectClipRect(Rect(0, hh, ClientWidth(), ClientHeight()));
    const bool focused = Focused() || (editor_ && editor_->Focused());
    const int rows = VisibleRowCount() + 1;
    const int top = scroll_->top();
    for (int i = top; i < items_->Count() && i < top + rows; ++i) {
        TListItem* item = items_->Item(i);
        const bool marked = item == selected_ && (focused || !hide_selection_);
        const TRect cap = caption_rect(i);
        c.Font().Assign(Font());
        if (!EnabledInTree()) c.Font().SetColor(clGrayText);
        if (marked) {
            c.Brush().SetColor(focused ? clHighlight : clBtnFace);
            c.FillRect(row_select_ ? row_rect(i) : cap);
            if (focused) c.Font().SetColor(clHighlightText);
        }
        c.Brush().SetStyle(bsClear);
        column_text(cap, item->Caption(), report ? columns_[0]->Alignment() : taLeftJustify);
        if (report) {
            if (marked && !row_select_) c.Font().Assign(Font());
            int x = columns_[0]->Width();
            for (int k = 1; k < columns_.Count(); ++k) {
                const TListColumn* col = columns_[k];
                const std::string& text = k - 1 < item->SubItems().Count() ? item->SubItems()[k - 1] : std::string();
                column_text(Rect(x, cap.Top, x + col->Width(), cap.Bottom), text, col->Alignment());
                x += col->Width();
            }
        }
        c.Brush().SetStyle(bsSolid);
        if (item == selected_ && focused) c.DrawFocusRect(row_select_ ? row_rect(i) : cap);
    }
    c.ResetClip();
}

}  // namespace ui
