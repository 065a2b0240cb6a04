#include "platform/os/clock.h"

#include <cerrno>
#include <ctime>

namespace os {
namespace {

class SystemClock : public Clock {
public:
    std::int64_t now_ms() override {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }
    void sleep_ms(int ms) override {
        if (ms <= 0) return;
        timespec left{ms / 1000, long(ms % 1000) * 1000000L};
        while (::nanosleep(&left, &left) != 0 && errno == EINTR) {}
    }
};

SystemClock g_system_clock;
std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& system_clock() { return g_system_clock; }

Clock& clock() {
    Clock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : g_system_clock;
}

void set_clock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

void sleep_ms(int ms) { clock().sleep_ms(ms); }

std::int64_t ManualClock::now_ms() {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

void ManualClock::sleep_ms(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(ms);
    if (ms > 0) now_ += ms;
}

void ManualClock::advance(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += ms;
}

std::vector<int> ManualClock::sleeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

std::int64_t ManualClock::slept_ms() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::int64_t sum = 0;
    for (int ms : sleeps_)
        if (ms > 0) sum += ms;
    return sum;
}

void ManualClock::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.clear();
}

ScopedClock::ScopedClock(Clock& clock) : previous_(g_clock.load(std::memory_order_acquire)) { set_clock(&clock); }

ScopedClock::~ScopedClock() { set_clock(previous_); }

}  // namespace os
