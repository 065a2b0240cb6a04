#pragma once
// The list view: items with a caption, sub-item texts for the further
// columns of the report view, and a pointer of the owner's data; one
// selected item.
//
// A change of the selection, by the user (a press on an item, the arrow
// keys) or by code, fires OnSelectItem for the item that loses it and then
// for the one that gains it; an item that is deleted while selected loses
// the selection first, then OnDeletion fires. Unless ReadOnly, F2 (or
// EditCaption) starts editing the selected item's caption: OnEditing may
// refuse; Enter or leaving the editor keeps the text (OnEdited may change it
// first), Escape keeps the old caption.
//
// The report view (vsReport) shows the columns under a header row (unless
// ShowColumnHeaders is off); the other views show the captions one under
// another.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/strings.h"

namespace ui {

class TListView;
class TListItems;
class LabelEditor;
class RowScroll;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListColumn {
public:
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    int Width() const { return width_; }
    void SetWidth(int w);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);

private:
    friend class TListColumns;
    explicit TListColumn(TListView* view) : view_(view) {}
    TListView* view_;
    std::string caption_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
};

class TListColumns {
public:
    explicit TListColumns(TListView* view) : view_(view) {}
    int Count() const { return static_cast<int>(columns_.size()); }
    TListColumn* Items(int index) const;  // throws std::out_of_range
    TListColumn* operator[](int index) const { return Items(index); }
    TListColumn* Add();
    void Clear();

private:
    TListView* view_;
    std::vector<std::unique_ptr<TListColumn>> columns_;
};

class TListItem {
public:
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;

    TListItems* Owner() const { return owner_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    // The texts of the second and further report columns.
    TStrings& SubItems() { return sub_items_; }
    const TStrings& SubItems() const { return sub_items_; }
    void* Data() const { return data_; }
    void SetData(void* data) { data_ = data; }
    int Index() const;
    bool Selected() const;
    void SetSelected(bool v);
    // The item's row, or only its caption, in the view's client coordinates;
    // empty while it is scrolled out of view.
    TRect DisplayRect(bool caption_only) const;
    void MakeVisible();
    // Starts the editing of the caption; false when it may not start.
    bool EditCaption();
    void Delete();

private:
    friend class TListItems;
    friend class TListView;
    explicit TListItem(TListItems* owner);
    ~TListItem() = default;
    TListItems* owner_;
    std::string caption_;
    TStrings sub_items_;
    void* data_ = nullptr;
};

class TListItems {
public:
    explicit TListItems(TListView* view) : view_(view) {}
    ~TListItems();
    TListItems(const TListItems&) = delete;
    TListItems& operator=(const TListItems&) = delete;

    TListView* Owner() const { return view_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TListItem* Item(int index) const;  // throws std::out_of_range
    TListItem* operator[](int index) const { return Item(index); }
    TListItem* Add();
    TListItem* Insert(int index);  // index may be Count()
    void Delete(int index);        // throws std::out_of_range
    void Clear();
    int IndexOf(const TListItem* item) const;
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TListItem;
    friend class TListView;
    TListView* view_;
    std::vector<TListItem*> items_;
};

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVEditingEvent = std::function<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = std::function<void(TObject* Sender, TListItem* Item, std::string& S)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;

class TListView : public TWinControl {
public:
    explicit TListView(TComponent* owner);
    ~TListView() override;

    TListItems& Items() { return *items_; }
    const TListItems& Items() const { return *items_; }
    TListColumns& Columns() { return columns_; }
    const TListColumns& Columns() const { return columns_; }

    void SetViewStyle(TViewStyle s);
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v) { read_only_ = v; }
    void SetShowColumnHeaders(bool v);
    // The selection covers the whole row, not only the caption.
    void SetRowSelect(bool v);
    void SetHideSelection(bool v);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle b);

    TListItem* Selected() const { return selected_; }
    void SetSelected(TListItem* item);
    int ItemIndex() const { return selected_ ? selected_->Index() : -1; }
    void SetItemIndex(int index);  // -1 or outside: none
    // The item whose row holds the client point, or null.
    TListItem* GetItemAt(int x, int y) const;
    // The first item from `start` (after it unless `inclusive`) whose caption
    // is the text, or begins with it when `partial` (letter case ignored),
    // going round to the start when `wrap`; null when none.
    TListItem* FindCaption(int start, std::string_view text, bool partial, bool inclusive, bool wrap) const;
    TListItem* TopItem() const;
    int VisibleRowCount() const;
    int RowHeight() const;
    int HeaderHeight() const;
    bool IsEditing() const { return editing_ != nullptr; }

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

    TLVSelectItemEvent OnSelectItem;
    TLVEditingEvent OnEditing;
    TLVEditedEvent OnEdited;
    TLVDeletedEvent OnDeletion;

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    bool WheelScroll(TShiftState shift, int delta, TPoint mouse_pos) override;
    void Resized() override;

private:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    friend class TListColumns;
    void select(TListItem* item);
    void item_going(TListItem* item);
    bool needs_bar() const;
    TRect row_rect(int index) const;
    TRect caption_rect(int index) const;
    bool start_edit(TListItem* item);
    void end_edit(bool accept);
    void changed();

    std::unique_ptr<TListItems> items_;
    TListColumns columns_{this};
    TViewStyle view_style_ = vsIcon;
    bool read_only_ = false, show_headers_ = true, row_select_ = false, hide_selection_ = true;
    TBorderStyle border_style_ = bsSingle;
    TListItem* selected_ = nullptr;
    int updating_ = 0;
    bool destroying_ = false;
    std::unique_ptr<RowScroll> scroll_;
    LabelEditor* editor_ = nullptr;
    TListItem* editing_ = nullptr;
};

}  // namespace ui
