#pragma once
// Lists: the list box (standard or owner-drawn with fixed item heights) and
// the combo box (drop-down with an edit, or list only). Setting ItemIndex
// from code fires nothing; a choice by the user fires the list box's OnClick,
// and the combo box's OnClick and then OnSelect (or OnChange when OnSelect is
// not set). Typing into a drop-down combo box fires OnChange.

#include <algorithm>
#include <functional>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/strings.h"

namespace ui {

enum TOwnerDrawStateItem { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odComboBoxEdit };
using TOwnerDrawState = Set<TOwnerDrawStateItem>;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State)>;

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed };

class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    TStrings& Items() { return items_; }
    int Count() const { return items_.Count(); }
    int ItemIndex() const { return item_index_; }
    void SetItemIndex(int index);  // -1 or an item; no event
    bool Selected(int index) const;
    void SetSelected(int index, bool v);
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle s);
    int ItemHeight() const;
    void SetItemHeight(int h);
    void SetTopIndex(int index);
    void SetSorted(bool v);
    // The item at the client point; with `existing` false a point below the
    // last item gives Count(), otherwise -1.
    int ItemAtPos(TPoint p, bool existing) const;
    TRect ItemRect(int index) const;
    void Clear() { items_.Clear(); }

    TDrawItemEvent OnDrawItem;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;
    void FontChanged() override;

private:
    void items_changed();
    void choose(int index);  // the user's choice
    int visible_rows() const;
    bool scroll_bar() const { return Count() > visible_rows(); }
    void ensure_visible(int index);
    TStrings items_;
    std::vector<bool> selected_;
    int item_index_ = -1;
    bool multi_select_ = false;
    TListBoxStyle style_ = lbStandard;
    int item_height_ = 0;  // 0: the font's line height
    int top_index_ = 0;
    bool sorted_ = false;
    bool dragging_bar_ = false;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle s);
    TStrings& Items() { return items_; }
    int ItemIndex() const { return item_index_; }
    // -1 or an item; the text becomes the item's. No event.
    void SetItemIndex(int index);
    bool DroppedDown() const { return dropped_; }
    void SetDroppedDown(bool v);
    int DropDownCount() const { return drop_down_count_; }
    int ItemHeight() const;
    void SetItemHeight(int h) { item_height_ = h; }
    int MaxLength() const { return max_length_; }
    void SetMaxLength(int n) { max_length_ = n < 0 ? 0 : n; }
    void SetSorted(bool v);
    // The user's choice of an item, as a click in the list makes it.
    void SelectByUser(int index);

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    bool WantsKey(TKey key, TShiftState shift) const override;
    TRect PopupRect() const override;
    void PaintPopup(TCanvas& canvas) override;
    void PopupMouseDown(TPoint p) override;
    void PopupMouseMove(TPoint p) override;
    void ClosePopup() override { SetDroppedDown(false); }
    // The first item the open list shows: a list longer than DropDownCount
    // scrolls (its scroll bar, the wheel, the keys).
    int ListTop() const { return top_; }

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    // The wheel scrolls the open list; it never changes the choice.
    bool WheelScroll(TShiftState shift, int delta, TPoint mouse_pos) override;
    void TextChanged() override;
    void AdjustSize() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;
    void DoExit() override;

private:
    void items_changed();
    void draw_item(TCanvas& c, int index, const TRect& r, TOwnerDrawState state);
    int list_rows() const;
    bool list_bar() const { return items_.Count() > drop_down_count_; }
    int max_top() const { return std::max(0, items_.Count() - list_rows()); }
    void scroll_list(int top);
    // The item under a point of the open list, or -1 (the bar, the frame).
    int list_item_at(TPoint p) const;
    TComboBoxStyle style_ = csDropDown;
    TStrings items_;
    int item_index_ = -1;
    bool dropped_ = false;
    int drop_down_count_ = 8;
    int item_height_ = 0;
    int max_length_ = 0;
    bool sorted_ = false;
    int hot_ = -1;
    int top_ = 0;
    bool setting_text_ = false;
};

}  // namespace ui
