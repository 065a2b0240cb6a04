#pragma once
// The vertical scrolling of a control that shows rows of one height (the
// list view, the tree view): the first row shown, the scroll bar drawn in the
// control's frame, the mouse on that bar, the wheel and the paging keys. The
// control says how many rows it has and how many fit; everything else about
// scrolling is the same for every such control, so it lives here once.

#include <functional>

#include "platform/ui/controls.h"
#include "platform/ui/frame_scroll.h"

namespace ui {

class RowScroll {
public:
    // rows(): the rows the control has; page(): how many fit in its client
    // area (at least 1 is assumed).
    RowScroll(TWinControl& owner, std::function<int()> rows, std::function<int()> page);

    int top() const { return top_; }
    // Forgets the position, without a repaint (the control is emptied).
    void reset() { top_ = 0; }
    // Keeps the first row within what the rows allow; repaints on a move.
    void scroll_to(int top);
    void ensure_shown(int index);
    // The position kept after a change of size or of the rows.
    void refresh() { scroll_to(top_); }

    // The width of the control's border, and the insets of its client area
    // with the bar beside it when the rows need one.
    static int border(TBorderStyle style) { return style == bsSingle ? 2 : 0; }
    static TRect insets(TBorderStyle style, bool bar);

    // A press of the mouse in the frame, at (x, y) in client coordinates of a
    // client area at `insets`: a step, a page or the start of a drag.
    void frame_press(TMouseButton button, int x, int y, TBorderStyle style, bool bar, const TRect& insets);
    // The pointer moved: follows a drag of the thumb.
    void mouse_move(int x, int y, const TRect& insets);
    void mouse_up();
    // Three rows a notch of the wheel.
    void wheel(int delta);
    // The frame: the border and, when the rows need it, the bar.
    void paint_frame(TCanvas& canvas, TBorderStyle style, bool bar);

private:
    void update_bar(TBorderStyle style, bool bar);

    TWinControl& owner_;
    std::function<int()> rows_, page_;
    int top_ = 0;
    FrameScrollBar bar_{sbVertical};
    bool dragging_ = false;
};

// The row a paging key (up, down, home, end, page up, page down) moves the
// current row `current` (-1: none) to, among `count` rows of which `page`
// fit; false for any other key.
bool paging_key(TKey key, int current, int count, int page, int& target);

}  // namespace ui
