#pragma once
// The real-time writer's queue of batches and its write thread.
//
// The host's thread pushes finished batches; the one write thread takes the
// oldest, appends it to its file and removes it only once the whole batch
// is in the file. The queue's lock is a leaf: it is held for each push,
// look, removal and state copy only, never during file input or output and
// never together with the hub's locks. It is a plain mutex rather than a
// lib::lock_object so that the write thread can sleep on it until a batch
// comes (or a stop), which is also what wakes a host waiting for the queue
// to empty.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gti/registr_old/rt_records.h"

class ValuesWriterDeque {
public:
    using Batch = std::shared_ptr<const Records>;

    void push(Batch batch);
    int size() const;
    bool empty() const { return size() == 0; }
    // The records of every queued batch; of the batches for one file.
    long record_count() const;
    long record_count(const AnsiString& file) const;

    // The oldest batch and every later batch for the same file, in queue
    // order, as long as they stay within max_bytes together (the oldest is
    // always taken): one open of the file writes them all. Other files'
    // batches keep their places.
    std::vector<Batch> peek_oldest(std::size_t max_bytes) const;
    // Removes exactly these batches (the write thread's own, after writing
    // them).
    void remove(const std::vector<Batch>& batches);
    // Takes every batch out of the queue.
    std::vector<Batch> take_all();
    // A batch for this file is queued.
    bool has_batch_for(const AnsiString& file) const;

    // A copy of the file's state (a new state is empty), and storing it
    // back.
    ValuesWriterDequeFileData get_state(const AnsiString& file);
    void set_state(const AnsiString& file, const ValuesWriterDequeFileData& state);

    // Sleeps, without waking on its own, until a batch is queued or stop is
    // set (and wake() called); true when a batch is queued.
    bool wait_for_batch(const std::atomic<bool>& stop);
    // Sleeps by the station's clock (os::clock()) until the time is up, in
    // steps of pause_step, ending at the first step after stop is set.
    void pause(std::chrono::milliseconds timeout, const std::atomic<bool>& stop);
    static constexpr std::chrono::milliseconds pause_step{10};
    // Sleeps until the queue is empty or the time is up; true when empty.
    bool wait_until_empty(std::chrono::milliseconds timeout);
    void wake();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;  // oldest first
    std::map<AnsiString, ValuesWriterDequeFileData> files_;
};

// A thread that runs one function. It is built suspended and starts on
// resume(); an exception that leaves the function is caught and logged
// (os::log_error), never let out of the thread.
class WriteThread {
public:
    explicit WriteThread(std::function<void()> body);
    // Waits for the function to end.
    ~WriteThread();
    WriteThread(const WriteThread&) = delete;
    WriteThread& operator=(const WriteThread&) = delete;

    void resume();
    void wait_for();

private:
    std::function<void()> body_;
    std::thread thread_;
};
