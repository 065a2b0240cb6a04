#pragma once
// Calls handed from any thread to the main thread. call() queues a function
// and posts message 2011 to a hidden window of the main message queue; the
// main thread runs everything queued, in the order it was queued, when it
// processes that message. The caller binds to the main queue whichever
// thread constructs it, so its calls never run concurrently with each other
// or with window code.
//
// A call that throws is caught on the main thread: the failure goes to the
// error handler (the process error log by default) and the next call runs.

#include "library/lock_object.h"
#include "platform/ui/message_queue.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

namespace lib {

class MessCaller {
public:
    using Call = std::function<void()>;
    static constexpr int message = 2011;

    MessCaller();
    // Pending calls are dropped; a 2011 still queued finds nothing to do.
    ~MessCaller();
    MessCaller(const MessCaller&) = delete;
    MessCaller& operator=(const MessCaller&) = delete;

    // Any thread. Dropped once the caller has stopped.
    void call(const Call& fn);
    // The hidden window's handler: for message 2011 runs the pending calls.
    void on_message(int msg, std::intptr_t wparam, std::intptr_t lparam);
    // Drops the pending calls and refuses new ones from now on.
    void stop();

    void set_error_handler(std::function<void(const std::string&)> handler);

private:
    void run_guarded(const Call& fn);

    lock_object lock_;
    std::unique_ptr<ui::MessageWindow> window_;
    std::list<Call> calls_;
    bool accepting_ = true;
    std::function<void(const std::string&)> on_error_;
};

}  // namespace lib
