#include "gti/registr_old/write_queue.h"

#include "platform/os/clock.h"
#include "platform/os/error_log.h"

#include <algorithm>
#include <exception>
#include <string>

void ValuesWriterDeque::push(Batch batch) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        queue_.push_back(std::move(batch));
    }
    changed_.notify_all();
}

int ValuesWriterDeque::size() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<int>(queue_.size());
}

long ValuesWriterDeque::record_count() const {
    std::lock_guard<std::mutex> guard(mutex_);
    long n = 0;
    for (const Batch& b : queue_) n += static_cast<long>(b->records.size());
    return n;
}

long ValuesWriterDeque::record_count(const AnsiString& file) const {
    std::lock_guard<std::mutex> guard(mutex_);
    long n = 0;
    for (const Batch& b : queue_)
        if (b->file_name == file) n += static_cast<long>(b->records.size());
    return n;
}

std::vector<ValuesWriterDeque::Batch> ValuesWriterDeque::peek_oldest(std::size_t max_bytes) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<Batch> out;
    if (queue_.empty()) return out;
    const AnsiString& file = queue_.front()->file_name;
    std::size_t bytes = 0;
    for (const Batch& b : queue_) {
        if (b->file_name != file) continue;
        const std::size_t n = b->block_size();
        if (!out.empty() && bytes + n > max_bytes) break;
        bytes += n;
        out.push_back(b);
    }
    return out;
}

void ValuesWriterDeque::remove(const std::vector<Batch>& batches) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const Batch& b : batches) {
            auto it = std::find(queue_.begin(), queue_.end(), b);
            if (it != queue_.end()) queue_.erase(it);
        }
    }
    changed_.notify_all();
}

std::vector<ValuesWriterDeque::Batch> ValuesWriterDeque::take_all() {
    std::vector<Batch> out;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        out.assign(queue_.begin(), queue_.end());
        queue_.clear();
    }
    changed_.notify_all();
    return out;
}

bool ValuesWriterDeque::has_batch_for(const AnsiString& file) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return std::any_of(queue_.begin(), queue_.end(), [&](const Batch& b) { return b->file_name == file; });
}

ValuesWriterDequeFileData ValuesWriterDeque::get_state(const AnsiString& file) {
    std::lock_guard<std::mutex> guard(mutex_);
    return files_[file];
}

void ValuesWriterDeque::set_state(const AnsiString& file, const ValuesWriterDequeFileData& state) {
    std::lock_guard<std::mutex> guard(mutex_);
    files_[file] = state;
}

bool ValuesWriterDeque::wait_for_batch(const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !queue_.empty() || stop.load(); });
    return !queue_.empty();
}

void ValuesWriterDeque::pause(std::chrono::milliseconds timeout, const std::atomic<bool>& stop) {
    // The station's clock paces the retries, so that a test clock plays
    // them; short steps let a stop end the pause soon.
    os::Clock& clock = os::clock();
    const std::int64_t end = clock.now_ms() + timeout.count();
    for (std::int64_t left = timeout.count(); left > 0 && !stop.load(); left = end - clock.now_ms())
        clock.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, pause_step.count())));
}

bool ValuesWriterDeque::wait_until_empty(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_until(lock, os::SteadyClock::now() + timeout, [&] { return queue_.empty(); });
}

void ValuesWriterDeque::wake() {
    // Taking the lock orders the wake after a waiter's test of its
    // condition, so a stop set just before is never slept through.
    { std::lock_guard<std::mutex> guard(mutex_); }
    changed_.notify_all();
}

WriteThread::WriteThread(std::function<void()> body) : body_(std::move(body)) {}

WriteThread::~WriteThread() { wait_for(); }

void WriteThread::resume() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        try {
            body_();
        } catch (const std::exception& e) {
            os::log_error(std::string("WriteThread: ") + e.what());
        } catch (...) {
            os::log_error("WriteThread: неизвестная ошибка");
        }
    });
}

void WriteThread::wait_for() {
    if (thread_.joinable()) thread_.join();
}
