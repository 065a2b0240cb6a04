#include "platform/ui/screen_cursor.h"

#include <atomic>

namespace ui {

namespace {
std::atomic<TCursor> current_cursor{crDefault};
}

TCursor screen_cursor() { return current_cursor.load(std::memory_order_relaxed); }

void set_screen_cursor(TCursor cursor) { current_cursor.store(cursor, std::memory_order_relaxed); }

}  // namespace ui
