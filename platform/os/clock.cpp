#include "platform/os/clock.h"

#include <cerrno>
#include <ctime>

namespace os {
namespace {

std::int64_t read_ms(clockid_t id) {
    timespec ts{};
    ::clock_gettime(id, &ts);
    return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class SystemClock : public Clock {
public:
    std::int64_t now_ms() override { return read_ms(CLOCK_MONOTONIC); }
    void sleep_ms(int ms) override {
        if (ms <= 0) return;
        timespec left{ms / 1000, long(ms % 1000) * 1000000L};
        while (::nanosleep(&left, &left) != 0 && errno == EINTR) {}
    }
};

SystemClock g_system_clock;
std::atomic<Clock*> g_clock{nullptr};

}  // namespace

std::int64_t Clock::wall_ms() { return read_ms(CLOCK_REALTIME); }

Clock& system_clock() { return g_system_clock; }

Clock& clock() {
    Clock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : g_system_clock;
}

void set_clock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

void sleep_ms(int ms) { clock().sleep_ms(ms); }

std::int64_t wall_ms() { return clock().wall_ms(); }

LocalTime local_time() { return local_time_of(wall_ms()); }

LocalTime local_time_of(std::int64_t wall_ms) {
    // Whole seconds toward the past, so that the millisecond part of a
    // time before 1970 stays positive.
    std::int64_t secs = wall_ms / 1000;
    int ms = int(wall_ms % 1000);
    if (ms < 0) {
        ms += 1000;
        --secs;
    }
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    LocalTime out;
    if (::localtime_r(&t, &tm) == nullptr) return out;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.min = tm.tm_min;
    out.sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    out.ms = ms;
    return out;
}

std::int64_t steady_now_ms() { return read_ms(CLOCK_MONOTONIC); }

SteadyClock::time_point SteadyClock::now() noexcept {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return time_point(duration(std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec));
}

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

std::int64_t SteppingClock::now_ms() { return steady_now_ms() + mono_offset_.load(); }

void SteppingClock::sleep_ms(int ms) { g_system_clock.sleep_ms(ms); }

std::int64_t SteppingClock::wall_ms() { return read_ms(CLOCK_REALTIME) + wall_offset_.load(); }

void SteppingClock::step_wall(std::int64_t ms) { wall_offset_ += ms; }

void SteppingClock::jump(std::int64_t ms) {
    if (ms <= 0) return;
    wall_offset_ += ms;
    mono_offset_ += ms;
}

ScopedClock::ScopedClock(Clock& clock) : previous_(g_clock.load(std::memory_order_acquire)) { set_clock(&clock); }

ScopedClock::~ScopedClock() { set_clock(previous_); }

}  // namespace os
