#include "tools/station_host/depth_marks.h"

#include <algorithm>
#include <cmath>

namespace station_host {

DepthMarks::DepthMarks(double step, double first_mark)
    : step_(step), next_(first_mark), credit_(steps_per_second * carry_s) {}

DepthMarks::Due DepthMarks::advance(double bottom, std::int64_t now_ms) {
    Due due;
    const double elapsed_s = started_ ? std::max<std::int64_t>(0, now_ms - last_ms_) / 1000.0 : 1.0;
    started_ = true;
    last_ms_ = now_ms;
    credit_ = std::min(credit_ + elapsed_s * steps_per_second, steps_per_second * carry_s);
    if (!(bottom >= next_ - 1e-9)) return due;
    const double steps = std::floor((bottom - next_) / step_ + 1e-9) + 1;
    // One step of slack: a cycle's phase against the marks may let it pass
    // one more than its share.
    if (steps > std::floor(credit_) + 1) {
        due.jumped = true;
        due.from = next_ - step_;
        const double landing = std::floor(bottom / step_ + 1e-9) * step_;
        due.marks.push_back(landing);
        next_ = (std::round(landing / step_) + 1) * step_;
        credit_ = 0;
        return due;
    }
    for (; bottom >= next_ - 1e-9; next_ = (std::round(next_ / step_) + 1) * step_) due.marks.push_back(next_);
    credit_ = std::max(0.0, credit_ - double(due.marks.size()));
    return due;
}

}  // namespace station_host
