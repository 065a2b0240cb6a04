#pragma once
// Which depth records a cycle writes as the bottom moves.
//
// A record is due at every depth step the bottom has passed. Drilling is
// told from a jump (a depth typed in, a sensor gone wild) by the depth made
// against the time it took: at most `steps_per_second` steps for each
// second since the last cycle, with what the quicker seconds left unused
// carried on for up to `carry_s` seconds. So a cycle that came late, or
// frames read late after it, still get a record for every step they passed;
// a move beyond that allowance gets one record where it landed.

#include <cstdint>
#include <vector>

namespace station_host {

class DepthMarks {
public:
    static constexpr double steps_per_second = 5;
    static constexpr double carry_s = 10;

    // step: the depth step, m; first_mark: the first depth a record is due at.
    DepthMarks(double step, double first_mark);

    struct Due {
        std::vector<double> marks;  // depths to record at, in order
        bool jumped = false;        // the bottom moved further than drilling goes
        double from = 0;            // the last mark passed before the jump, m
    };
    // The records due with the bottom at `bottom`, `now_ms` on a monotonic
    // clock (the first call counts as a second after the start).
    Due advance(double bottom, std::int64_t now_ms);

private:
    double step_;
    double next_;
    double credit_;  // steps allowed before a move counts as a jump
    bool started_ = false;
    std::int64_t last_ms_ = 0;
};

}  // namespace station_host
