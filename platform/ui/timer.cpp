#include "platform/ui/timer.h"

#include "platform/ui/message_queue.h"

namespace ui {

TTimer::TTimer(TComponent* owner) : TComponent(owner) { update(); }

TTimer::~TTimer() {
    if (timer_id_) main_queue().kill_timer(timer_id_);
}

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    update();
}

void TTimer::SetInterval(int ms) {
    if (ms < 0) ms = 0;
    if (ms == interval_) return;
    interval_ = ms;
    update();
}

bool TTimer::SetBoolProperty(std::string_view name, bool value) {
    if (name != "Enabled") return false;
    SetEnabled(value);
    return true;
}

void TTimer::update() {
    if (timer_id_) main_queue().kill_timer(timer_id_);
    timer_id_ = 0;
    if (!enabled_ || interval_ <= 0) return;
    timer_id_ = main_queue().set_timer(interval_, [this] {
        // A handler may free the timer: run a copy of it.
        const TNotifyEvent handler = OnTimer;
        if (handler) handler(this);
    });
}

}  // namespace ui
