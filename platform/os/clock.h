#pragma once
// Monotonic time and sleeping behind one replaceable clock, so that the fixed
// pauses of device protocols (10 ms after a packet, 500 ms before a reopen,
// 1 s before a reconnect) can be shortened and counted by tests.
//
// Only pauses go through the clock. Waiting for a device or a socket is a
// poll on a real descriptor with a real deadline and never does.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace os {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale with an arbitrary origin.
    virtual std::int64_t now_ms() = 0;
    // Pauses the calling thread; ms <= 0 returns at once.
    virtual void sleep_ms(int ms) = 0;
};

// The real clock (CLOCK_MONOTONIC, nanosleep resumed after signals).
Clock& system_clock();

// The clock in use: the real one unless a test installed another.
Clock& clock();
// Installs a clock for the whole process; nullptr restores the real one.
// The clock must outlive its installation.
void set_clock(Clock* clock);

// Shorthand for clock().sleep_ms(ms).
void sleep_ms(int ms);

// A clock for tests: sleeping returns at once, advances the clock's own time
// and is recorded. Safe to use from several threads.
class ManualClock : public Clock {
public:
    std::int64_t now_ms() override;
    void sleep_ms(int ms) override;
    void advance(int ms);

    std::vector<int> sleeps() const;  // every pause asked for, in order
    std::int64_t slept_ms() const;    // their sum
    void clear();

private:
    mutable std::mutex mutex_;
    std::int64_t now_ = 0;
    std::vector<int> sleeps_;
};

// Installs a clock for the life of a scope, restoring the previous one.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace os
