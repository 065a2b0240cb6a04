#include "platform/ui/row_scroll.h"

#include <algorithm>
#include <utility>

#include "platform/ui/frame_controls.h"

namespace ui {

RowScroll::RowScroll(TWinControl& owner, std::function<int()> rows, std::function<int()> page)
    : owner_(owner), rows_(std::move(rows)), page_(std::move(page)) {}

void RowScroll::scroll_to(int top) {
    const int page = std::max(1, page_());
    top = std::clamp(top, 0, std::max(0, rows_() - page));
    if (top == top_) return;
    top_ = top;
    owner_.Invalidate();
}

void RowScroll::ensure_shown(int index) {
    const int page = std::max(1, page_());
    if (index < top_)
        scroll_to(index);
    else if (index >= top_ + page)
        scroll_to(index - page + 1);
}

TRect RowScroll::insets(TBorderStyle style, bool bar) {
    const int b = border(style);
    return {b, b, b + (bar ? FrameScrollBar::kSize : 0), b};
}

void RowScroll::update_bar(TBorderStyle style, bool bar) {
    const int b = border(style);
    bar_.SetVisible(bar);
    bar_.SetBoundsRect(Rect(owner_.Width() - b - FrameScrollBar::kSize, b, owner_.Width() - b, owner_.Height() - b));
    bar_.SetParams(0, rows_() - 1, std::max(1, page_()));
    bar_.SetPosition(top_);
}

void RowScroll::frame_press(TMouseButton button, int x, int y, TBorderStyle style, bool bar, const TRect& insets) {
    if (button != mbLeft) return;
    update_bar(style, bar);
    const TPoint p{x + insets.Left, y + insets.Top};
    if (bar_.HitTest(p) == FrameScrollBar::Part::None) return;
    const int pos = bar_.Press(p);
    if (bar_.Dragging())
        dragging_ = true;
    else
        scroll_to(pos);
}

void RowScroll::mouse_move(int x, int y, const TRect& insets) {
    if (dragging_) scroll_to(bar_.DragTo({x + insets.Left, y + insets.Top}));
}

void RowScroll::mouse_up() {
    if (!dragging_) return;
    bar_.EndDrag();
    dragging_ = false;
}

void RowScroll::wheel(int delta) {
    int notches = delta / 120;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    scroll_to(top_ - 3 * notches);
}

void RowScroll::paint_frame(TCanvas& c, TBorderStyle style, bool bar) {
    TRect r = Rect(0, 0, owner_.Width(), owner_.Height());
    if (style == bsSingle) DrawEdge(c, r, Edge::Sunken);
    update_bar(style, bar);
    bar_.Paint(c, owner_.EnabledInTree());
}

bool paging_key(TKey key, int current, int count, int page, int& target) {
    page = std::max(1, page);
    switch (key) {
        case VK_UP: target = std::max(0, current - 1); return true;
        case VK_DOWN: target = std::min(count - 1, current + 1); return true;
        case VK_HOME: target = 0; return true;
        case VK_END: target = count - 1; return true;
        case VK_PRIOR: target = std::max(0, current - page + 1); return true;
        case VK_NEXT: target = std::min(count - 1, std::max(0, current) + page - 1); return true;
        default: return false;
    }
}

}  // namespace ui
