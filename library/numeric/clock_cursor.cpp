#include "library/numeric/clock_cursor.h"

namespace lib {

ClockCursor::~ClockCursor() {
    if (started_) stop();
}

void ClockCursor::start() {
    if (!started_) saved_ = ui::screen_cursor();
    started_ = true;
    ui::set_screen_cursor(ui::crHourGlass);
}

void ClockCursor::stop() {
    if (!started_) return;
    ui::set_screen_cursor(saved_);
    started_ = false;
}

}  // namespace lib
