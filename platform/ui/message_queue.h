#pragma once
// The main message queue: what window messages, timers and hidden message
// windows were to the station's components.
//
// Any thread may post work; only the main thread runs it, inside
// process_messages() or run_until(), so posted work never runs concurrently
// with window code. The main thread is the process's initial thread, the one
// that runs main() and the message loop; asking another thread to run the
// queue is a programming error and throws std::logic_error.
//
// Work and timer callbacks that throw are caught where they run: the failure
// goes to the queue's error handler (the process error log by default) and
// the queue goes on with the next item.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/os/clock.h"

namespace ui {

class MessageQueue {
public:
    using Clock = os::SteadyClock;

    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Queues fn to run on the main thread; callable from any thread.
    void post(std::function<void()> fn);

    // Main thread: runs the work that was queued when the call began (work
    // posted meanwhile waits for the next call), then every timer that is
    // due. Returns how many items ran. Safe to nest: a handler may run a
    // modal loop of its own.
    int process_messages();

    // Main thread: processes messages until done() is true (checked after
    // each round, and at least every 10 ms while waiting) or timeout_ms has
    // passed. Returns done()'s last answer. A negative timeout waits without
    // limit.
    bool run_until(std::function<bool()> done, int timeout_ms);

    bool is_main_thread() const;

    // A timer that calls fn on the main thread every interval_ms (at least
    // 1 ms) until killed; a late queue runs a due timer once, not once per
    // missed interval. Returns the timer's id (never 0). Any thread.
    int set_timer(int interval_ms, std::function<void()> fn);
    // Stops a timer; an unknown id is ignored. A timer may kill itself.
    void kill_timer(int id);

    // Work waiting to run (not counting timers).
    std::size_t pending() const;

    // Where failures of posted work and timers are reported.
    void set_error_handler(std::function<void(const std::string&)> handler);

    // The event loop of a real screen's display: while one is set, the
    // queue waits in it (so window-system events are handled meanwhile)
    // instead of sleeping, and wakes it whenever work is posted or a timer
    // set, from any thread. Null puts the queue's own wait back. The loop
    // must outlive its use.
    class EventLoop {
    public:
        virtual ~EventLoop() = default;
        // Any thread: the next wait() returns at once.
        virtual void wake() = 0;
        // Main thread: handles events until one came, wake() was called or
        // the time is reached.
        virtual void wait(Clock::time_point until) = 0;
    };
    void set_event_loop(EventLoop* loop);
    // When the next timer is due (the far future without timers).
    Clock::time_point next_timer_due() const;

private:
    struct Item {
        std::uint64_t seq;
        std::function<void()> fn;
    };
    struct Timer {
        std::chrono::milliseconds interval;
        Clock::time_point due;
        std::shared_ptr<std::function<void()>> fn;
    };

    void require_main_thread(const char* what) const;
    void run_guarded(const std::function<void()>& fn, const char* what);
    int run_due_timers();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> items_;
    std::uint64_t next_seq_ = 0;
    std::map<int, Timer> timers_;
    int next_timer_id_ = 1;
    std::function<void(const std::string&)> on_error_;
    std::atomic<EventLoop*> loop_{nullptr};
};

// The process's one main queue.
MessageQueue& main_queue();
// True on the main thread.
bool is_main_thread();

// A hidden window: a message handler reached through the main queue.
// post() may be called from any thread; the handler runs on the main thread
// in posting order with the other work of the queue. A message still queued
// when the window is destroyed is dropped. Destroying the window from
// another thread waits for a handler call in progress to return.
class MessageWindow {
public:
    using Handler = std::function<void(int msg, std::intptr_t wparam, std::intptr_t lparam)>;

    explicit MessageWindow(Handler handler, MessageQueue& queue = main_queue());
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    void post(int msg, std::intptr_t wparam, std::intptr_t lparam);
    // The window's handle, never 0 and never reused in the process: what a
    // program hands the libraries as its window, and what post_message
    // finds the window by.
    std::intptr_t handle() const { return handle_; }

private:
    struct Shared;
    std::intptr_t handle_ = 0;
    std::shared_ptr<Shared> shared_;
    MessageQueue& queue_;
};

// Posts to the message window with that handle, as PostMessage did; false
// (nothing posted) when no such window exists (handle 0 included).
bool post_message(std::intptr_t handle, int msg, std::intptr_t wparam, std::intptr_t lparam);

}  // namespace ui
