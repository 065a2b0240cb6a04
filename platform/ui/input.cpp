#include "platform/ui/input.h"

#include "platform/ui/application.h"

namespace ui::input {

void mouse_down(TPoint screen, TMouseButton button, TShiftState shift) {
    Router::instance().mouse_down(screen, button, shift, false);
}

void mouse_double_down(TPoint screen, TMouseButton button, TShiftState shift) {
    Router::instance().mouse_down(screen, button, shift, true);
}

void mouse_up(TPoint screen, TMouseButton button, TShiftState shift) {
    Router::instance().mouse_up(screen, button, shift);
}

void mouse_move(TPoint screen, TShiftState shift) { Router::instance().mouse_move(screen, shift); }

void mouse_wheel(TPoint screen, int delta, TShiftState shift) { Router::instance().mouse_wheel(screen, delta, shift); }

void key_stroke(TKey key, TShiftState shift, char32_t ch) {
    const bool taken = Router::instance().key_down(key, shift);
    if (!taken && ch != 0) Router::instance().key_press(ch);
    Router::instance().key_up(key, shift);
}

void character(char32_t ch) { Router::instance().key_press(ch); }

bool key_down(TKey key, TShiftState shift) { return Router::instance().key_down(key, shift); }

void key_up(TKey key, TShiftState shift) { Router::instance().key_up(key, shift); }

void mouse_leave() { Router::instance().mouse_leave(); }

void set_pointer_form(TCustomForm* form) { Router::instance().set_pointer_form(form); }

}  // namespace ui::input
