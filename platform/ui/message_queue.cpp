#include "platform/ui/message_queue.h"

#include "platform/os/error_log.h"
#include "platform/os/thread.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <vector>

namespace ui {

namespace {

constexpr auto kPollStep = std::chrono::milliseconds(10);

void report_default(const std::string& text) { os::log_error("MessageQueue: " + text); }

}  // namespace

bool MessageQueue::is_main_thread() const { return os::is_main_thread(); }

void MessageQueue::require_main_thread(const char* what) const {
    if (!is_main_thread()) throw std::logic_error(std::string("MessageQueue::") + what + ": not the main thread");
}

void MessageQueue::post(std::function<void()> fn) {
    if (!fn) return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        items_.push_back(Item{next_seq_++, std::move(fn)});
    }
    wake_.notify_all();
    if (EventLoop* loop = loop_.load()) loop->wake();
}

void MessageQueue::set_event_loop(EventLoop* loop) { loop_.store(loop); }

MessageQueue::Clock::time_point MessageQueue::next_timer_due() const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto due = Clock::time_point::max();
    for (const auto& [id, timer] : timers_) due = std::min(due, timer.due);
    return due;
}

void MessageQueue::set_error_handler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    on_error_ = std::move(handler);
}

void MessageQueue::run_guarded(const std::function<void()>& fn, const char* what) {
    std::string failure;
    try {
        fn();
        return;
    } catch (const std::exception& e) {
        failure = std::string(what) + " failed: " + e.what();
    } catch (...) {
        failure = std::string(what) + " failed with an unknown exception";
    }
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        handler = on_error_;
    }
    try {
        if (handler)
            handler(failure);
        else
            report_default(failure);
    } catch (...) {
        report_default(failure);
    }
}

int MessageQueue::process_messages() {
    require_main_thread("process_messages");
    int ran = 0;
    std::uint64_t limit;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        limit = next_seq_;
    }
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (items_.empty() || items_.front().seq >= limit) break;
            fn = std::move(items_.front().fn);
            items_.pop_front();
        }
        run_guarded(fn, "posted work");
        ++ran;
    }
    return ran + run_due_timers();
}

int MessageQueue::run_due_timers() {
    auto now = Clock::now();
    std::vector<int> due;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& [id, timer] : timers_)
            if (timer.due <= now) due.push_back(id);
    }
    int ran = 0;
    for (int id : due) {
        std::shared_ptr<std::function<void()>> fn;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            auto it = timers_.find(id);
            if (it == timers_.end()) continue;  // killed by an earlier callback
            it->second.due = Clock::now() + it->second.interval;
            fn = it->second.fn;
        }
        run_guarded(*fn, "timer");
        ++ran;
    }
    return ran;
}

bool MessageQueue::run_until(std::function<bool()> done, int timeout_ms) {
    require_main_thread("run_until");
    const bool limited = timeout_ms >= 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    for (;;) {
        process_messages();
        if (done && done()) return true;
        auto now = Clock::now();
        if (limited && now >= deadline) return false;
        auto wake_at = now + kPollStep;
        if (limited) wake_at = std::min(wake_at, deadline);
        if (EventLoop* loop = loop_.load()) {
            // Window-system events are handled while the queue waits.
            loop->wait(std::min(wake_at, next_timer_due()));
            continue;
        }
        std::unique_lock<std::mutex> guard(mutex_);
        for (const auto& [id, timer] : timers_) wake_at = std::min(wake_at, timer.due);
        wake_.wait_until(guard, wake_at, [&] { return !items_.empty(); });
    }
}

int MessageQueue::set_timer(int interval_ms, std::function<void()> fn) {
    if (!fn) throw std::invalid_argument("MessageQueue::set_timer: empty callback");
    auto interval = std::chrono::milliseconds(std::max(interval_ms, 1));
    int id;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        id = next_timer_id_++;
        if (next_timer_id_ <= 0) next_timer_id_ = 1;
        timers_[id] = Timer{interval, Clock::now() + interval, std::make_shared<std::function<void()>>(std::move(fn))};
    }
    wake_.notify_all();
    if (EventLoop* loop = loop_.load()) loop->wake();
    return id;
}

void MessageQueue::kill_timer(int id) {
    std::lock_guard<std::mutex> guard(mutex_);
    timers_.erase(id);
}

std::size_t MessageQueue::pending() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return items_.size();
}

MessageQueue& main_queue() {
    // Never destroyed: threads may still post while statics are torn down.
    static auto* queue = new MessageQueue;
    return *queue;
}

bool is_main_thread() { return main_queue().is_main_thread(); }

// ---- MessageWindow ---------------------------------------------------------

struct MessageWindow::Shared {
    std::recursive_mutex running;  // held while the handler runs
    bool alive = true;
    Handler handler;
};

namespace {

// The live windows by handle.
std::mutex& windows_mutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::map<std::intptr_t, MessageWindow*>& windows() {
    static auto* w = new std::map<std::intptr_t, MessageWindow*>;
    return *w;
}
std::intptr_t next_handle = 0x1000;

}  // namespace

MessageWindow::MessageWindow(Handler handler, MessageQueue& queue)
    : shared_(std::make_shared<Shared>()), queue_(queue) {
    shared_->handler = std::move(handler);
    std::lock_guard<std::mutex> l(windows_mutex());
    handle_ = next_handle++;
    windows()[handle_] = this;
}

bool post_message(std::intptr_t handle, int msg, std::intptr_t wparam, std::intptr_t lparam) {
    std::lock_guard<std::mutex> l(windows_mutex());
    auto it = windows().find(handle);
    if (it == windows().end()) return false;
    it->second->post(msg, wparam, lparam);
    return true;
}

MessageWindow::~MessageWindow() {
    {
        std::lock_guard<std::mutex> l(windows_mutex());
        windows().erase(handle_);
    }
    // The handler is kept (a destructor called from inside it must not free
    // the function running); it is simply never called again.
    std::lock_guard<std::recursive_mutex> guard(shared_->running);
    shared_->alive = false;
}

void MessageWindow::post(int msg, std::intptr_t wparam, std::intptr_t lparam) {
    queue_.post([shared = shared_, msg, wparam, lparam] {
        std::lock_guard<std::recursive_mutex> guard(shared->running);
        if (shared->alive && shared->handler) shared->handler(msg, wparam, lparam);
    });
}

}  // namespace ui
