#pragma once
// A queue of tasks run in order on one worker thread, started by the first
// task. Tasks queued while a round runs wait for the next round; a task may
// queue further tasks. stop() (and the destructor) lets the worker finish
// everything queued before it ends; a later task starts a new worker.
//
// A task that throws is caught on the worker: the failure goes to the error
// handler (the process error log by default) and the worker goes on with the next
// task.

#include "library/lock_object.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lib {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class AsynchOpers {
public:
    using Task = std::function<void()>;

    AsynchOpers();
    ~AsynchOpers();
    AsynchOpers(const AsynchOpers&) = delete;
    AsynchOpers& operator=(const AsynchOpers&) = delete;

    void add_task(const Task& task);
    // Applies to the running worker and to any started later. Priorities
    // above normal need a privilege the station seldom has; without it the
    // worker keeps running at normal priority.
    void set_thread_priority(TThreadPriority priority);
    bool have_tasks();
    // Runs the tasks queued so far, outside the lock; called by the worker.
    void run_tasks_if_exist();
    // Waits for the worker to run what is queued and end. Called from a task
    // on the worker itself it would wait forever, so it throws
    // std::logic_error there.
    void stop();

    void set_error_handler(std::function<void(const std::string&)> handler);

private:
    void start_worker_locked();
    void worker_loop();
    void apply_priority_locked();
    void run_guarded(const Task& task);

    std::unique_ptr<std::thread> worker_;
    lock_object lock_;
    std::vector<Task> tasks_;
    TThreadPriority priority_ = tpNormal;

    // The worker sleeps on wake_ between rounds. Lock order: wake_mutex_
    // before lock_, never the other way.
    std::mutex wake_mutex_;
    std::condition_variable wake_;
    std::atomic<bool> terminate_{false};
    std::mutex stop_mutex_;  // one stop at a time
    int worker_tid_ = 0;
    std::function<void(const std::string&)> on_error_;
};

}  // namespace lib
