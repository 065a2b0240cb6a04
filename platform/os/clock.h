#pragma once
// The station's one clock: monotonic time, sleeping and the wall clock behind
// one replaceable object, so that the fixed pauses of device protocols (10 ms
// after a packet, 500 ms before a reopen, 1 s before a reconnect) can be
// shortened and counted by tests, and a wall clock set back or forward under
// a recording can be played.
//
// Time is read here and nowhere else (a house test keeps it so). Pauses, the
// recording's seconds and the wall clock go through the replaceable clock.
// Waiting for a device, a socket, a condition or the window system is a wait
// on a real thing with a real deadline: it uses the real monotonic scale
// (steady_now_ms, SteadyClock), which no test clock moves.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace os {

// A moment of the wall clock in the station's time zone.
struct LocalTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int min = 0;
    int sec = 0;  // 0..59: a leap second stays in its minute
    int ms = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale with an arbitrary origin.
    virtual std::int64_t now_ms() = 0;
    // Pauses the calling thread; ms <= 0 returns at once.
    virtual void sleep_ms(int ms) = 0;
    // The wall clock as set on the machine: milliseconds since
    // 1970-01-01 00:00:00 UTC. It may step back or jump forward at any
    // time (summer time is not one: that is the zone's). The real one
    // unless a clock overrides it.
    virtual std::int64_t wall_ms();
};

// The real clock (CLOCK_MONOTONIC, nanosleep resumed after signals,
// CLOCK_REALTIME).
Clock& system_clock();

// The clock in use: the real one unless a test installed another.
Clock& clock();
// Installs a clock for the whole process; nullptr restores the real one.
// The clock must outlive its installation.
void set_clock(Clock* clock);

// Shorthand for clock().sleep_ms(ms).
void sleep_ms(int ms);

// The clock in use's wall time, and that wall time in the local zone.
std::int64_t wall_ms();
LocalTime local_time();
// A wall time (milliseconds since 1970 UTC) in the local zone.
LocalTime local_time_of(std::int64_t wall_ms);

// The real monotonic scale in milliseconds, whatever clock is installed:
// for deadlines of waits on real things.
std::int64_t steady_now_ms();

// The same scale as a standard clock, for condition variables and the
// timers of the window system.
struct SteadyClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<SteadyClock>;
    static constexpr bool is_steady = true;
    static time_point now() noexcept;
};

// A clock for tests: sleeping returns at once, advances the clock's own time
// and is recorded. Safe to use from several threads. Its wall clock is the
// real one.
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

// A clock for tests that runs in real time but whose wall clock can be set
// back or forward (an operator or NTP correcting it) and whose whole time can
// jump forward (a machine suspended and woken). Safe from several threads.
class SteppingClock : public Clock {
public:
    std::int64_t now_ms() override;
    void sleep_ms(int ms) override;
    std::int64_t wall_ms() override;
    // The wall clock alone moves by ms (negative: back).
    void step_wall(std::int64_t ms);
    // Monotonic and wall time both move forward by ms.
    void jump(std::int64_t ms);

private:
    std::atomic<std::int64_t> mono_offset_{0};
    std::atomic<std::int64_t> wall_offset_{0};
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
