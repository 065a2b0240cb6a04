#pragma once
// Shows the hourglass while a long piece of work runs on the main thread and
// puts the previous pointer back afterwards, also when the work throws.

#include "platform/ui/screen_cursor.h"

namespace lib {

class ClockCursor {
public:
    ClockCursor() = default;
    ~ClockCursor();
    ClockCursor(const ClockCursor&) = delete;
    ClockCursor& operator=(const ClockCursor&) = delete;

    // Saves the screen's pointer and shows the hourglass. A second start
    // while started keeps the pointer saved by the first, so stop() never
    // "restores" the hourglass itself.
    void start();
    // Puts the saved pointer back; nothing when not started.
    void stop();

private:
    ui::TCursor saved_ = ui::crDefault;
    bool started_ = false;
};

}  // namespace lib
