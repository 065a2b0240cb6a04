#pragma once
// Mouse hit areas of a picture.
//
// Drawing code registers rectangular areas while it paints; each carries a
// value of any type and up to five handlers. MouseEvents turns clicks,
// double clicks, moves, presses and releases at a point into calls of the
// handlers of the area under the point. The picture's owner clears the areas
// at the start of every paint, so the areas always describe what was drawn
// last. Nothing here draws.
//
// Rules the charts rely on:
//  - hit tests are strict on all four edges: an area (10, 10, 20, 20) takes
//    the points 11..19 each way, not its border pixels;
//  - where areas overlap, the one registered last wins (marks drawn over a
//    column body take the double clicks before the body does);
//  - a press captures the pointer: until the release, moves go to the pressed
//    area even outside its rectangle, and the release goes to it wherever it
//    happens;
//  - a point over no area, an area without the handler asked for, or a
//    release with no press does nothing; a handler's exception passes to the
//    caller.
// Areas are shared: a dispatch or a pending press keeps its area alive even
// when the areas are cleared under it (a handler that repaints the picture).
// Main thread only.

#include <any>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/types.h"

namespace lib {

class AreaBase {
public:
    explicit AreaBase(const std::any& data) : data_(data) {}
    virtual ~AreaBase() = default;
    virtual bool hit_test(const ui::TPoint& p) const = 0;

    ui::TCursor get_cursor() const { return cursor_; }
    void set_cursor(ui::TCursor cursor) { cursor_ = cursor; }
    const std::any& get_data() const { return data_; }

private:
    std::any data_;
    ui::TCursor cursor_ = ui::crDefault;
};

// The handlers of an area. The point is in the picture's coordinates, the
// relative point is measured from the area rectangle's top-left corner.
class EventsArea {
public:
    using ClickHandler = std::function<void(const std::any& data, const ui::TPoint& rel)>;
    using MoveHandler =
        std::function<void(const std::any& data, ui::TShiftState shift, const ui::TPoint& p, const ui::TPoint& rel)>;
    using ButtonHandler = std::function<void(const std::any& data, ui::TMouseButton button, ui::TShiftState shift,
                                             const ui::TPoint& p, const ui::TPoint& rel)>;

    ClickHandler on_click;
    ClickHandler on_dblclick;
    MoveHandler on_move;
    ButtonHandler on_down;
    ButtonHandler on_up;
};

class RectArea : public AreaBase, public EventsArea {
public:
    RectArea(const ui::TRect& rect, const std::any& data) : AreaBase(data), rect(rect) {}
    ~RectArea() override = default;

    bool hit_test(const ui::TPoint& p) const override {
        return rect.Left < p.x && p.x < rect.Right && rect.Top < p.y && p.y < rect.Bottom;
    }
    ui::TPoint get_rel_coords(const ui::TPoint& p) const { return {p.x - rect.Left, p.y - rect.Top}; }

    ui::TRect rect;
};

class MouseEvents {
public:
    // One area seen three ways; a view is empty when the area is missing or
    // not of that kind.
    struct RetResult {
        std::shared_ptr<AreaBase> area;
        std::shared_ptr<EventsArea> events;
        std::shared_ptr<RectArea> rect;
        bool complete() const { return area && events && rect; }
    };

    MouseEvents() = default;
    MouseEvents(const MouseEvents&) = delete;
    MouseEvents& operator=(const MouseEvents&) = delete;

    // Registers a copy of the area (data, cursor, handlers, rectangle); the
    // caller's object may be a temporary.
    template <typename Area>
    void add_object(const Area& area) {
        areas_.push_back(std::make_shared<Area>(area));
    }
    // Removes every area; a pending press is kept.
    void clear() { areas_.clear(); }
    std::size_t size() const { return areas_.size(); }
    // In the order they were registered.
    const std::vector<std::shared_ptr<AreaBase>>& areas() const { return areas_; }

    // The area under the point registered last, or empty.
    std::shared_ptr<AreaBase> find(const ui::TPoint& p) const;
    RetResult get_events_area(const ui::TPoint& p) const;

    void mouse_click(const ui::TPoint& p);
    void mouse_dbl_click(const ui::TPoint& p);
    void mouse_move(const ui::TPoint& p, ui::TShiftState shift);
    void mouse_down(const ui::TPoint& p, ui::TMouseButton button, ui::TShiftState shift);
    void mouse_up(const ui::TPoint& p, ui::TMouseButton button, ui::TShiftState shift);

    bool press_pending() const { return pressed_area_.area != nullptr; }

private:
    static RetResult views_of(const std::shared_ptr<AreaBase>& area);

    RetResult pressed_area_;
    std::vector<std::shared_ptr<AreaBase>> areas_;
};

}  // namespace lib
