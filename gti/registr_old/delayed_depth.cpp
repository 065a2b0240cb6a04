#include "gti/registr_old/delayed_depth.h"

#include <climits>
#include <cmath>

#include "gti/registr_old/data_storage.h"
#include "library/serial/serial_list.h"

DelayedDepth::DelayedDepth(DataStorage& frame) : frame_(frame) {}

void DelayedDepth::clear() {
    records_.clear();
    lag_depth_ = frame_.get_depth_z();
}

void DelayedDepth::process_records(float lift) {
    for (auto& r : records_) r.lift -= lift;
}

namespace {

// The mark interval of a depth: its whole metres divided by the step, both
// truncated toward zero. Kept in double so that any float a record may hold
// (from a damaged state file too) has a mark without overflowing an int.
double depth_mark(float depth, int step) { return std::trunc(std::trunc(static_cast<double>(depth)) / step); }

// lift / speed truncated toward zero. A record that has already come out
// behind one still in transit is due now (0), not at a negative time that
// could read as "unknown"; a time beyond the int range is held at its top,
// and a lift that is not a number (a damaged state file) leaves it unknown.
std::int32_t time_to_lift(float lift, float speed) {
    const double t = std::trunc(static_cast<double>(lift) / speed);
    if (std::isnan(t)) return -1;
    if (t <= 0.0) return 0;
    if (t >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<std::int32_t>(t);
}

}  // namespace

void DelayedDepth::calc(int step, float speed) {
    while (!records_.empty() && records_.front().lift <= 0.0f) {
        lag_depth_ = records_.front().depth;
        records_.pop_front();
    }
    if (step < 1) step = 1;
    time_to_depth_out_ = -1;
    if (!(static_cast<double>(speed) >= 0.0001) || records_.empty()) return;

    double mark = depth_mark(records_.front().depth, step);
    for (std::size_t i = 1; i < records_.size(); ++i) {
        const double m = depth_mark(records_[i].depth, step);
        if (m != mark) {
            time_to_depth_out_ = time_to_lift(records_[i].lift, speed);
            return;
        }
        mark = m;
    }
}

void DelayedDepth::get_serial_list(lib::serial_list& list, unsigned kind) {
    if (!list.is_reading()) {
        list | lag_depth_ | time_to_depth_out_;
        if (kind == 1) {
            list.write_range_size(records_.size());
            for (auto& r : records_) list | r.depth | r.lift;
        }
        return;
    }
    // Read into copies and take them only when the whole record was sound,
    // so that a damaged record leaves the queue as it was.
    double lag = lag_depth_;
    std::int32_t time = time_to_depth_out_;
    list | lag | time;
    std::deque<DelayedDepthTime> records;
    bool have_records = false;
    if (kind == 1 && list.bytes_left() != 0) {
        // Each record takes 8 bytes: a count beyond what is left throws
        // before anything is allocated.
        const int n = list.read_range_size(8);
        for (int i = 0; i < n; ++i) {
            DelayedDepthTime r;
            list | r.depth | r.lift;
            records.push_back(r);
        }
        have_records = true;
    }
    lag_depth_ = lag;
    time_to_depth_out_ = time;
    if (have_records) records_ = std::move(records);
}
