#include "library/graphics/mouse_events.h"

namespace lib {

MouseEvents::RetResult MouseEvents::views_of(const std::shared_ptr<AreaBase>& area) {
    RetResult r;
    if (!area) return r;
    r.area = area;
    r.events = std::dynamic_pointer_cast<EventsArea>(area);
    r.rect = std::dynamic_pointer_cast<RectArea>(area);
    return r;
}

std::shared_ptr<AreaBase> MouseEvents::find(const ui::TPoint& p) const {
    for (auto it = areas_.rbegin(); it != areas_.rend(); ++it)
        if ((*it)->hit_test(p)) return *it;
    return {};
}

MouseEvents::RetResult MouseEvents::get_events_area(const ui::TPoint& p) const { return views_of(find(p)); }

void MouseEvents::mouse_click(const ui::TPoint& p) {
    // The copy keeps the area alive while its handler runs, even if the
    // handler repaints and clears the areas.
    const RetResult r = get_events_area(p);
    if (r.complete() && r.events->on_click) r.events->on_click(r.area->get_data(), r.rect->get_rel_coords(p));
}

void MouseEvents::mouse_dbl_click(const ui::TPoint& p) {
    const RetResult r = get_events_area(p);
    if (r.complete() && r.events->on_dblclick) r.events->on_dblclick(r.area->get_data(), r.rect->get_rel_coords(p));
}

void MouseEvents::mouse_down(const ui::TPoint& p, ui::TMouseButton button, ui::TShiftState shift) {
    const RetResult r = get_events_area(p);
    if (!r.area) return;
    pressed_area_ = r;
    if (r.complete() && r.events->on_down)
        r.events->on_down(r.area->get_data(), button, shift, p, r.rect->get_rel_coords(p));
}

void MouseEvents::mouse_move(const ui::TPoint& p, ui::TShiftState shift) {
    const RetResult r = pressed_area_.area ? pressed_area_ : get_events_area(p);
    if (!r.area) {
        ui::set_screen_cursor(ui::crDefault);
        return;
    }
    ui::set_screen_cursor(r.area->get_cursor());
    if (r.complete() && r.events->on_move) r.events->on_move(r.area->get_data(), shift, p, r.rect->get_rel_coords(p));
}

void MouseEvents::mouse_up(const ui::TPoint& p, ui::TMouseButton button, ui::TShiftState shift) {
    const RetResult r = pressed_area_;
    // Released before the handler runs, so that a handler that throws or
    // presses again leaves no stale capture behind.
    pressed_area_ = RetResult{};
    if (r.complete() && r.events->on_up)
        r.events->on_up(r.area->get_data(), button, shift, p, r.rect->get_rel_coords(p));
}

}  // namespace lib
