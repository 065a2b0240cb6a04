#pragma once
// DelayedDepth: the depths in transit up the annulus. Cuttings and gas leave
// the bit at the bottom and reach the surface only once the mud has lifted
// them the whole way, so the station keeps a queue of drilled depths, each
// with the lift still to go. The host adds a record per depth drilled,
// reduces the lifts by what was pumped, and calc() releases the records
// that have come out: the last one released is the lag depth, the depth
// whose returns are at the shakers now. calc() also estimates how long until
// the next whole depth mark comes out.
//
// Module stream ("DelayedDepth"): lag depth (double), time to depth out
// (int32); in the full form (kind 1) also the records: their count, then
// each record's depth and remaining lift (floats).
//
// No lock of its own: the host's cycle uses it, plug-ins only under the
// hub's lock.

#include <cstdint>
#include <deque>
#include <vector>

#include "library/serial/module_list.h"
#include "platform/rtl/text.h"

using AnsiString = std::string;

class DataStorage;

// One depth in transit: the depth drilled and the metres still to lift.
struct DelayedDepthTime {
    float depth = 0.0f;
    float lift = 0.0f;

    DelayedDepthTime() = default;
    DelayedDepthTime(float depth_, float lift_) : depth(depth_), lift(lift_) {}
};

class DelayedDepth : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    explicit DelayedDepth(DataStorage& frame);
    ~DelayedDepth() override = default;
    DelayedDepth(const DelayedDepth&) = delete;
    DelayedDepth& operator=(const DelayedDepth&) = delete;

    // Drops the records in transit; the lag depth restarts at the frame's
    // bottom-hole depth.
    void clear();
    void add_record(const DelayedDepthTime& record) { records_.push_back(record); }
    // Lifts every record by that many metres (remaining lifts may go below
    // zero).
    void process_records(float lift);
    // Releases the records that have come out, oldest first, up to the
    // first still in transit; then estimates the time until the next depth
    // mark (every `step` whole metres, a step below 1 counting as 1) comes
    // out at `speed` metres of lift per time unit. The estimate is -1 when
    // unknown: nothing in transit, a speed below 0.0001 or not a number, or
    // every record in the front record's mark interval.
    void calc(int step, float speed);

    double get_value() const { return lag_depth_; }
    int get_time_to_depth_out() const { return time_to_depth_out_; }

    const std::deque<DelayedDepthTime>& records() const { return records_; }

    void get_serial_list(lib::serial_list& list, unsigned kind) override;
    void get_serial_name(AnsiString& name) override { name = "DelayedDepth"; }

private:
    std::deque<DelayedDepthTime> records_;
    double lag_depth_ = 0.0;
    std::int32_t time_to_depth_out_ = -1;
    DataStorage& frame_;
};
