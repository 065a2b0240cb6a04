#pragma once
// The scroll bars a control draws in its own frame, beside its client area
// (grids, trees, list views, scroll boxes): their range, painting, and the
// mouse on them. Positions count whatever the control scrolls by (rows,
// columns or pixels). Not meant for components.

#include "platform/ui/canvas.h"
#include "platform/ui/extctrls.h"

namespace ui {

class FrameScrollBar {
public:
    static constexpr int kSize = 16;  // the thickness of a scroll bar

    explicit FrameScrollBar(TScrollBarKind kind) : kind_(kind) {}

    TScrollBarKind Kind() const { return kind_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { visible_ = v; }
    // Flat bars are drawn without the raised edges.
    bool Flat() const { return flat_; }
    void SetFlat(bool v) { flat_ = v; }
    // The range Min .. Max of which Page is seen at a time.
    void SetParams(int min, int max, int page);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Page() const { return page_; }
    // The last position (Max - Page + 1, at least Min).
    int MaxPosition() const;
    int Position() const { return position_; }
    // Kept within Min .. MaxPosition(); true when it changed.
    bool SetPosition(int position);

    // Where the bar lies, in the control's own coordinates (the frame's).
    const TRect& BoundsRect() const { return rect_; }
    void SetBoundsRect(const TRect& r) { rect_ = r; }
    void Paint(TCanvas& canvas, bool enabled) const;

    enum class Part { None, LineBack, LineForward, PageBack, PageForward, Thumb };
    Part HitTest(TPoint p) const;
    // A press at p (control coordinates): the position it asks for (one step
    // back or forward, one page), or, on the thumb, the start of a drag that
    // DragTo follows. Returns the position the bar should go to.
    int Press(TPoint p);
    bool Dragging() const { return drag_offset_ >= 0; }
    // The position for the pointer at p while the thumb is dragged.
    int DragTo(TPoint p) const;
    void EndDrag() { drag_offset_ = -1; }
    // How far the thumb shows `position` (for painting a drag in progress).
    void SetShownPosition(int position) { shown_ = position; }

private:
    int length() const;
    void thumb(int& start, int& size) const;
    TScrollBarKind kind_;
    bool visible_ = false;
    bool flat_ = false;
    int min_ = 0, max_ = 0, page_ = 1, position_ = 0;
    int shown_ = -1;
    TRect rect_;
    int drag_offset_ = -1;
};

}  // namespace ui
