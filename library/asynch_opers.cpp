#include "library/asynch_opers.h"

#include "library/guarded_call.h"

#include "platform/os/error_log.h"
#include "platform/os/thread.h"

#include <chrono>
#include <exception>
#include <stdexcept>

namespace lib {

namespace {

// Polling step of the worker: a task queued while it sleeps is seen at once
// through the wake-up, and at the latest after this long.
constexpr auto kPoll = std::chrono::milliseconds(100);

// Offsets from the process's niceness.
int nice_of(TThreadPriority p) {
    switch (p) {
        case tpIdle: return 19;
        case tpLowest: return 10;
        case tpLower: return 5;
        case tpNormal: return 0;
        case tpHigher: return -5;
        case tpHighest: return -10;
        case tpTimeCritical: return -15;
    }
    return 0;
}

}  // namespace

AsynchOpers::AsynchOpers() = default;

AsynchOpers::~AsynchOpers() {
    try {
        stop();
    } catch (...) {
        // Destroyed from a task on its own worker: nothing sane is left to
        // do but let the thread run out.
        if (worker_ && worker_->joinable()) worker_->detach();
    }
}

void AsynchOpers::set_error_handler(std::function<void(const std::string&)> handler) {
    Locker l(&lock_);
    on_error_ = std::move(handler);
}

void AsynchOpers::start_worker_locked() {
    terminate_ = false;
    worker_tid_ = 0;
    worker_ = std::make_unique<std::thread>([this] { worker_loop(); });
}

void AsynchOpers::add_task(const Task& task) {
    {
        Locker l(&lock_);
        if (!worker_) start_worker_locked();
        tasks_.push_back(task);
    }
    { std::lock_guard<std::mutex> g(wake_mutex_); }
    wake_.notify_one();
}

void AsynchOpers::apply_priority_locked() {
    if (worker_tid_ != 0) os::set_thread_nice_relative(worker_tid_, nice_of(priority_));
}

void AsynchOpers::set_thread_priority(TThreadPriority priority) {
    Locker l(&lock_);
    priority_ = priority;
    apply_priority_locked();
}

bool AsynchOpers::have_tasks() {
    Locker l(&lock_);
    return !tasks_.empty();
}

void AsynchOpers::run_guarded(const Task& task) {
    lib::run_guarded(task, "AsynchOpers: task failed", [this] {
        Locker l(&lock_);
        return on_error_;
    });
}

void AsynchOpers::run_tasks_if_exist() {
    std::vector<Task> local;
    {
        Locker l(&lock_);
        if (tasks_.empty()) return;
        local.swap(tasks_);
    }
    for (const auto& task : local) run_guarded(task);
}

void AsynchOpers::worker_loop() {
    {
        Locker l(&lock_);
        worker_tid_ = os::current_thread_id();
        if (priority_ != tpNormal) apply_priority_locked();
    }
    for (;;) {
        run_tasks_if_exist();
        std::unique_lock<std::mutex> g(wake_mutex_);
        if (terminate_ && !have_tasks()) break;
        wake_.wait_for(g, kPoll, [&] { return terminate_ || have_tasks(); });
    }
}

void AsynchOpers::stop() {
    std::lock_guard<std::mutex> one_stop(stop_mutex_);
    for (;;) {
        std::thread* worker;
        {
            Locker l(&lock_);
            worker = worker_.get();
            if (!worker) return;
            if (worker->get_id() == std::this_thread::get_id())
                throw std::logic_error("AsynchOpers::stop: called from its own worker");
        }
        terminate_ = true;
        { std::lock_guard<std::mutex> g(wake_mutex_); }
        wake_.notify_one();
        worker->join();
        Locker l(&lock_);
        worker_.reset();
        worker_tid_ = 0;
        // A task queued after the worker's last look would be stranded; run
        // it on a worker of its own, as a task queued after stop() would.
        if (tasks_.empty()) return;
        start_worker_locked();
    }
}

}  // namespace lib
