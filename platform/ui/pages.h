#pragma once
// Containers: the page control with its tab sheets, and the scroll box.
//
// A page control shows one of its sheets at a time, the active page, under
// a row of tabs (or buttons) for the sheets whose tab is visible; a sheet
// with a hidden tab can still be made active by code, so that a tree or a
// list can do the navigation instead. A sheet joins a page control by
// SetPageControl (or SetParent) and leaves it when it is freed or moved; the
// first sheet to join becomes the active page, and when the active page
// leaves, the next one takes its place. Setting the active page by code
// fires no event; the user's change (a press on a tab, Ctrl+Tab) asks
// OnChanging, which may refuse, and then fires OnChange. A sheet fires
// OnShow when it becomes the active page and OnHide when it stops being it.
//
// A scroll box moves its children under its client area: its scroll bars
// cover the children's extent (with AutoScroll) or a set range, in pixels.
// A tab sheet can do the same (AutoScroll, off unless asked for), so that a
// page whose content is larger than the page keeps all of it in reach.

#include <functional>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/frame_scroll.h"

namespace ui {

class TPageControl;

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

enum TScrollBarStyle { ssRegular, ssFlat, ssHotTrack };

class TScrollingWinControl;

// One scroll bar of a scroll box or a scrolling sheet; positions and ranges in pixels.
class TControlScrollBar {
public:
    TScrollBarKind Kind() const { return kind_; }
    // Moves the box's children by the change.
    int Position() const { return position_; }
    void SetPosition(int position);
    // The extent scrolled over; with AutoScroll the box sets it from its
    // children.
    int Range() const;
    void SetRange(int range);
    int Increment() const { return increment_; }
    // Whether the bar may show; it shows while the range exceeds the client
    // extent.
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool IsScrollBarVisible() const;
    TScrollBarStyle Style() const { return style_; }
    void SetStyle(TScrollBarStyle s);

private:
    friend class TScrollingWinControl;
    TControlScrollBar(TScrollingWinControl& box, TScrollBarKind kind) : box_(box), kind_(kind) {}
    TScrollingWinControl& box_;
    TScrollBarKind kind_;
    int position_ = 0;
    int range_ = 0;
    int increment_ = 8;
    bool visible_ = true;
    bool tracking_ = false;
    TScrollBarStyle style_ = ssRegular;
};

// A windowed control whose children may reach beyond its client area: its
// scroll bars (in its frame, inside its border) then show, and scrolling
// moves the children under the client area. With AutoScroll the bars cover
// the children's extent: a child of no alignment counts with its bounds, an
// aligned form with its least client size (the aligned children then share
// an area at least that large, scrolled with the rest).
class TScrollingWinControl : public TWinControl {
public:
    explicit TScrollingWinControl(TComponent* owner);

    TControlScrollBar& HorzScrollBar() { return horz_; }
    TControlScrollBar& VertScrollBar() { return vert_; }
    bool AutoScroll() const { return auto_scroll_; }
    void SetAutoScroll(bool v);

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    // The border drawn around the bars and the client area, in pixels.
    virtual int BorderWidth() const { return 0; }
    TRect ClientInsets() const override;
    void AdjustClientRect(TRect& r) const override;
    void PaintFrame(TCanvas& canvas) override;
    bool WheelScroll(TShiftState shift, int delta, TPoint mouse_pos) override;
    void Resized() override;

private:
    friend class TControlScrollBar;
    int content_extent(bool horizontal) const;
    int aligned_extent(bool horizontal) const;
    void bars_needed(bool& horz, bool& vert) const;
    void update_bars();
    void scroll_by(int dx, int dy);
    void clamp_positions();
    TControlScrollBar horz_{*this, sbHorizontal};
    TControlScrollBar vert_{*this, sbVertical};
    FrameScrollBar hbar_{sbHorizontal}, vbar_{sbVertical};
    FrameScrollBar* dragging_ = nullptr;
    bool auto_scroll_ = true;
};

class TTabSheet : public TScrollingWinControl {
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return page_control_; }
    void SetPageControl(TPageControl* page_control);
    void SetParent(TWinControl* parent) override;
    // The place among the page control's sheets.
    int PageIndex() const;
    void SetPageIndex(int index);
    bool TabVisible() const { return tab_visible_; }
    void SetTabVisible(bool v);
    // The place among the visible tabs; -1 while the tab is hidden.
    int TabIndex() const;

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void Paint() override;

private:
    friend class TPageControl;
    TPageControl* page_control_ = nullptr;
    bool tab_visible_ = true;
};

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int index) const;  // throws std::out_of_range
    TTabSheet* ActivePage() const { return active_; }
    // Null shows no page. A sheet of another control is ignored.
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
    void SetActivePageIndex(int index);  // -1 or outside: no page
    TTabStyle Style() const { return style_; }
    void SetStyle(TTabStyle s);

    // The sheet after (or before) `current`, going round; with
    // `visible_tabs_only` sheets with a hidden tab are passed over. Null when
    // there is none.
    TTabSheet* FindNextPage(TTabSheet* current, bool forward, bool visible_tabs_only) const;
    // The user's change to the next (previous) sheet with a visible tab.
    void SelectNextPage(bool forward);

    // The tabs, in client coordinates; -1 where there is no tab.
    TRect TabRect(int tab_index) const;
    int IndexOfTabAt(int x, int y) const;
    int TabHeight() const;
    // The area the sheets fill.
    TRect DisplayRect() const;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    void Paint() override;
    void Resized() override;
    void FontChanged() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;

private:
    friend class TTabSheet;
    void insert_page(TTabSheet* page);
    void remove_page(TTabSheet* page);
    void layout();
    bool change_by_user(TTabSheet* page);
    std::vector<TTabSheet*> shown_tabs() const;
    std::vector<TTabSheet*> pages_;
    TTabSheet* active_ = nullptr;
    TTabStyle style_ = tsTabs;
};

class TScrollBox : public TScrollingWinControl {
public:
    explicit TScrollBox(TComponent* owner);

    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle b);

protected:
    int BorderWidth() const override { return border_style_ == bsSingle ? 2 : 0; }
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;

private:
    TBorderStyle border_style_ = bsSingle;
};

}  // namespace ui
