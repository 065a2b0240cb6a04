#pragma once
// RaceTotal: the totals of one trip (one bit run) while it is recorded:
// cycles spent in each drilling operation, the pumped volume, running sums
// of every parameter's averaged value for the trip averages, and the depths
// and times at the trip's start and end, from which come the drilled length
// and the trip rate. calculate() runs once per data cycle, and each cycle
// counts as one second.
//
// The sums are kept per number of the registry of all parameters
// (get_all_params()), 512 of them; a registry row beyond that has no sum.
//
// Module stream ("RaceTotal"): bottom depth, pumped volume (doubles), the
// stored integer, the counters circulation, operation 1, 2, all cycles,
// operation 3, 4, other (int32), start and stop time (uint32), depth at
// start, depth at stop, strokes sum (doubles); in the full form (kind 1)
// then the 512 sums, each an 80-bit extended real and an int32 count.
//
// Runs in the host's recording cycle; readers of the getters hold the hub's
// lock.

#include <array>
#include <cstdint>
#include <functional>

#include "library/serial/module_list.h"
#include "platform/rtl/text.h"

using AnsiString = std::string;

class DataStorage;

class RaceTotal : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    static constexpr int max_params = 512;

    struct Accumulator {
        long double sum = 0.0L;
        std::int32_t count = 0;
    };

    // Seconds of local time, as lib::get_local_time() gives them.
    using Clock = std::function<std::uint32_t()>;

    RaceTotal();
    ~RaceTotal() override = default;
    RaceTotal(const RaceTotal&) = delete;
    RaceTotal& operator=(const RaceTotal&) = delete;

    // The frame that start(), stop() and calculate() read: the hub's
    // current frame, attached by whoever builds the hub.
    void set_frame(DataStorage* frame) { frame_ = frame; }
    // Where start() and stop() take the time from; lib::get_local_time()
    // unless replaced.
    void set_clock(Clock clock);

    // Zeroes the counters, both times, both trip depths and every sum.
    void clear_values();
    // The trip starts now at the frame's bottom-hole depth; the pumped
    // volume and the strokes sum restart from 0.
    void start();
    // The trip ends now at the frame's bottom-hole depth.
    void stop();
    // One cycle over the frame.
    void calculate();

    // The same with the frame given.
    void start(const DataStorage& frame);
    void stop(const DataStorage& frame);
    void calculate(DataStorage& frame);

    // The trip average of the parameter of that name (compared trimmed and
    // ignoring case), 0 when no registry row has the name or nothing was
    // summed.
    double get_aver_value(const AnsiString& name) const;
    // Drilled length: bottom depth - depth at start, 0 when negative.
    double get_prohodka() const;
    double get_race_start() const { return s_.depth_start; }
    // Metres per hour from start to stop, 0 unless the stop is after the
    // start.
    double get_race_rate() const;
    double get_nasos_rastvor_volume() const { return s_.pumped_volume; }
    double get_strokes_sum() const { return s_.strokes_sum; }

    // Cycle counters (seconds).
    int get_circ_time() const { return s_.circ_cycles; }
    int get_spo_time() const { return s_.op1_cycles; }
    int get_spo_up_time() const { return up_cycles_; }
    int get_spo_down_time() const { return down_cycles_; }
    int get_drill_time() const { return s_.op2_cycles; }
    int get_registr_time() const { return s_.all_cycles; }
    int get_prorab_time() const { return s_.op3_cycles; }
    int get_prom_time() const { return s_.op4_cycles; }
    int get_other_time() const { return s_.other_cycles; }

    std::uint32_t get_start_time() const { return s_.start_time; }
    std::uint32_t get_stop_time() const { return s_.stop_time; }
    double get_race_stop() const { return s_.depth_stop; }
    const Accumulator& accumulator(int i) const;

    void get_serial_list(lib::serial_list& list, unsigned kind) override;
    void get_serial_name(AnsiString& name) override { name = "RaceTotal"; }

private:
    // What the module stream keeps (and what a failed read leaves as it was).
    struct State {
        std::array<Accumulator, max_params> sums{};
        double bottom_depth = 0.0;
        double pumped_volume = 0.0;
        double strokes_sum = 0.0;
        std::int32_t stored = 1;
        std::int32_t circ_cycles = 0;
        std::int32_t op1_cycles = 0;
        std::int32_t op2_cycles = 0;
        std::int32_t all_cycles = 0;
        std::int32_t op3_cycles = 0;
        std::int32_t op4_cycles = 0;
        std::int32_t other_cycles = 0;
        std::uint32_t start_time = 0;
        std::uint32_t stop_time = 0;
        double depth_start = 0.0;
        double depth_stop = 0.0;
    };

    DataStorage& frame(const char* what) const;
    std::uint32_t now() const;

    State s_;
    double prev_depth_cur_ = 0.0;
    std::int32_t up_cycles_ = 0;
    std::int32_t down_cycles_ = 0;
    DataStorage* frame_ = nullptr;
    Clock clock_;
};
