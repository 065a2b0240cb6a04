#include "platform/ui/frame_scroll.h"

#include <algorithm>

#include "platform/ui/frame_controls.h"

namespace ui {

void FrameScrollBar::SetParams(int min, int max, int page) {
    min_ = min;
    max_ = std::max(min, max);
    page_ = std::max(1, page);
    position_ = std::clamp(position_, min_, MaxPosition());
}

int FrameScrollBar::MaxPosition() const { return std::max(min_, max_ - page_ + 1); }

bool FrameScrollBar::SetPosition(int position) {
    position = std::clamp(position, min_, MaxPosition());
    if (position == position_) return false;
    position_ = position;
    return true;
}

int FrameScrollBar::length() const { return kind_ == sbHorizontal ? rect_.Width() : rect_.Height(); }

void FrameScrollBar::thumb(int& start, int& size) const {
    const int track = std::max(0, length() - 2 * kSize);
    const int range = max_ - min_ + 1;
    size = std::min(track, std::max(8, track * page_ / std::max(1, range)));
    const int span = std::max(1, MaxPosition() - min_);
    const int shown = shown_ >= 0 && Dragging() ? shown_ : position_;
    start = kSize + (track - size) * (std::clamp(shown, min_, MaxPosition()) - min_) / span;
}

void FrameScrollBar::Paint(TCanvas& c, bool enabled) const {
    if (!visible_ || rect_.IsEmpty()) return;
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clScrollBar);
    c.FillRect(rect_);
    const unsigned flat = flat_ ? DFCS_FLAT : 0;
    int start = 0, size = 0;
    thumb(start, size);
    const int l = rect_.Left, t = rect_.Top;
    auto button = [&](const TRect& r, unsigned arrow) {
        DrawFrameControl(c, r, DFC_BUTTON, DFCS_BUTTONPUSH | flat);
        DrawArrow(c, r, arrow, enabled ? clBtnText : clBtnShadow);
    };
    if (kind_ == sbHorizontal) {
        button(Rect(l, t, l + kSize, rect_.Bottom), DFCS_SCROLLLEFT);
        button(Rect(rect_.Right - kSize, t, rect_.Right, rect_.Bottom), DFCS_SCROLLRIGHT);
        if (enabled && size > 0)
            DrawFrameControl(c, Rect(l + start, t, l + start + size, rect_.Bottom), DFC_BUTTON, DFCS_BUTTONPUSH | flat);
    } else {
        button(Rect(l, t, rect_.Right, t + kSize), DFCS_SCROLLUP);
        button(Rect(l, rect_.Bottom - kSize, rect_.Right, rect_.Bottom), DFCS_SCROLLDOWN);
        if (enabled && size > 0)
            DrawFrameControl(c, Rect(l, t + start, rect_.Right, t + start + size), DFC_BUTTON, DFCS_BUTTONPUSH | flat);
    }
}

FrameScrollBar::Part FrameScrollBar::HitTest(TPoint p) const {
    if (!visible_ || !rect_.Contains(p)) return Part::None;
    const int at = kind_ == sbHorizontal ? p.x - rect_.Left : p.y - rect_.Top;
    int start = 0, size = 0;
    thumb(start, size);
    if (at < kSize) return Part::LineBack;
    if (at >= length() - kSize) return Part::LineForward;
    if (at < start) return Part::PageBack;
    if (at >= start + size) return Part::PageForward;
    return Part::Thumb;
}

int FrameScrollBar::Press(TPoint p) {
    switch (HitTest(p)) {
        case Part::LineBack: return position_ - 1;
        case Part::LineForward: return position_ + 1;
        case Part::PageBack: return position_ - std::max(1, page_ - 1);
        case Part::PageForward: return position_ + std::max(1, page_ - 1);
        case Part::Thumb: {
            int start = 0, size = 0;
            thumb(start, size);
            drag_offset_ = (kind_ == sbHorizontal ? p.x - rect_.Left : p.y - rect_.Top) - start;
            shown_ = position_;
            return position_;
        }
        case Part::None: break;
    }
    return position_;
}

int FrameScrollBar::DragTo(TPoint p) const {
    if (!Dragging()) return position_;
    int start = 0, size = 0;
    thumb(start, size);
    const int track = std::max(1, length() - 2 * kSize - size);
    const int at = (kind_ == sbHorizontal ? p.x - rect_.Left : p.y - rect_.Top) - drag_offset_ - kSize;
    const int span = MaxPosition() - min_;
    const int pos = min_ + (at * span + track / 2) / track;
    return std::clamp(pos, min_, MaxPosition());
}

}  // namespace ui
