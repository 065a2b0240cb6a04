#include "library/mess_caller.h"

#include "library/guarded_call.h"

#include "platform/os/error_log.h"

#include <exception>

namespace lib {

MessCaller::MessCaller()
    : window_(std::make_unique<ui::MessageWindow>(
          [this](int msg, std::intptr_t w, std::intptr_t l) { on_message(msg, w, l); })) {}

MessCaller::~MessCaller() {
    std::unique_ptr<ui::MessageWindow> window;
    {
        Locker l(&lock_);
        accepting_ = false;
        calls_.clear();
        window.swap(window_);
    }
    // Outside our lock: destroying the window waits for a handler call in
    // progress on the main thread, and that call may be waiting for our lock.
    window.reset();
}

void MessCaller::set_error_handler(std::function<void(const std::string&)> handler) {
    Locker l(&lock_);
    on_error_ = std::move(handler);
}

void MessCaller::call(const Call& fn) {
    Locker l(&lock_);
    if (!accepting_ || !window_) return;
    calls_.push_back(fn);
    window_->post(message, 0, 0);
}

void MessCaller::stop() {
    Locker l(&lock_);
    calls_.clear();
    accepting_ = false;
}

void MessCaller::run_guarded(const Call& fn) {
    lib::run_guarded(fn, "MessCaller: call failed", [this] {
        Locker l(&lock_);
        return on_error_;
    });
}

void MessCaller::on_message(int msg, std::intptr_t, std::intptr_t) {
    if (msg != message) return;
    std::list<Call> local;
    {
        Locker l(&lock_);
        if (!accepting_) return;
        local.swap(calls_);
    }
    for (const auto& fn : local) run_guarded(fn);
}

}  // namespace lib
