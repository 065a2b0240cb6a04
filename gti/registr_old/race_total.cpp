#include "gti/registr_old/race_total.h"

#include <stdexcept>
#include <string>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "library/serial/serial_list.h"
#include "library/time_conv.h"

RaceTotal::RaceTotal() = default;

void RaceTotal::set_clock(Clock clock) { clock_ = std::move(clock); }

std::uint32_t RaceTotal::now() const { return clock_ ? clock_() : lib::get_local_time(); }

DataStorage& RaceTotal::frame(const char* what) const {
    if (!frame_) throw std::logic_error(std::string("RaceTotal::") + what + ": no frame attached");
    return *frame_;
}

void RaceTotal::clear_values() {
    s_.circ_cycles = s_.op1_cycles = s_.op2_cycles = s_.all_cycles = 0;
    s_.op3_cycles = s_.op4_cycles = s_.other_cycles = 0;
    up_cycles_ = down_cycles_ = 0;
    s_.start_time = s_.stop_time = 0;
    s_.depth_start = s_.depth_stop = 0.0;
    s_.sums.fill(Accumulator{});
}

void RaceTotal::start() { start(frame("start")); }
void RaceTotal::stop() { stop(frame("stop")); }
void RaceTotal::calculate() { calculate(frame("calculate")); }

void RaceTotal::start(const DataStorage& frame) {
    s_.start_time = now();
    s_.depth_start = frame.get_depth_z();
    s_.pumped_volume = 0.0;
    s_.strokes_sum = 0.0;
}

void RaceTotal::stop(const DataStorage& frame) {
    s_.stop_time = now();
    s_.depth_stop = frame.get_depth_z();
}

void RaceTotal::calculate(DataStorage& frame) {
    const double depth_cur = frame.get_depth_cur();
    const bool up = depth_cur < prev_depth_cur_;
    const bool down = depth_cur > prev_depth_cur_;
    prev_depth_cur_ = depth_cur;
    s_.bottom_depth = frame.get_depth_z();

    ++s_.all_cycles;
    switch (frame.get_operation()) {
        case 1:
            ++s_.op1_cycles;
            if (up)
                ++up_cycles_;
            else if (down)
                ++down_cycles_;
            break;
        case 2: ++s_.op2_cycles; break;
        case 3: ++s_.op3_cycles; break;
        case 4: ++s_.op4_cycles; break;
        default: ++s_.other_cycles; break;
    }
    if (frame.lag_moving) ++s_.circ_cycles;

    const ParTabl& table = frame.get_par_tabl();
    const AllParams& registry = get_all_params();
    const int load = table.find_global("нагрузка");
    const int outflow = table.find_global("расход_на_выходе");
    const int inlet_pressure = table.find_global("давление_на_входе");
    // Rows past the sums have nowhere to go: they are not counted.
    const int rows = std::min(registry.get_items_count(), max_params);
    for (int i = 0; i < rows; ++i) {
        const int n = table.find_global(registry.at(i).global_name);
        if (n == -1) continue;
        const double value = frame.average_values[n];
        if (n == load && value < 0.01) continue;
        if ((n == outflow || n == inlet_pressure) && !frame.lag_moving) continue;
        Accumulator& a = s_.sums[static_cast<std::size_t>(i)];
        a.sum += value;
        ++a.count;
    }

    // Litres per second over a one-second cycle, in cubic metres.
    s_.pumped_volume += frame["расход_на_входе"] * 0.001;
    s_.strokes_sum += frame["ходы_насоса"];
    frame.current_values["время_бурения"] = s_.op2_cycles / 3600.0;
}

double RaceTotal::get_aver_value(const AnsiString& name) const {
    const std::string key = rtl::Trim(name);
    const AllParams& registry = get_all_params();
    for (int i = 0; i < registry.get_items_count(); ++i) {
        if (!rtl::SameText(rtl::Trim(registry.at(i).global_name), key)) continue;
        if (i >= max_params) return 0.0;
        const Accumulator& a = s_.sums[static_cast<std::size_t>(i)];
        return a.count == 0 ? 0.0 : static_cast<double>(a.sum / a.count);
    }
    return 0.0;
}

double RaceTotal::get_prohodka() const {
    const double d = s_.bottom_depth - s_.depth_start;
    return d < 0.0 ? 0.0 : d;
}

double RaceTotal::get_race_rate() const {
    // The times are unsigned: their difference is taken signed, so that a
    // stop before the start is no duration rather than a huge one.
    const std::int64_t seconds = static_cast<std::int64_t>(s_.stop_time) - static_cast<std::int64_t>(s_.start_time);
    if (seconds <= 0) return 0.0;
    return (s_.depth_stop - s_.depth_start) * 3600.0 / static_cast<double>(seconds);
}

const RaceTotal::Accumulator& RaceTotal::accumulator(int i) const {
    static const Accumulator none{};
    if (i < 0 || i >= max_params) return none;
    return s_.sums[static_cast<std::size_t>(i)];
}

namespace {

// Bytes of one stored sum: an 80-bit extended real and an int32 count.
constexpr std::int64_t sum_bytes = 10 + 4;

}  // namespace

void RaceTotal::get_serial_list(lib::serial_list& list, unsigned kind) {
    // Reading fills a copy that replaces the state only once the whole
    // record was read, so that a damaged record changes nothing.
    const bool reading = list.is_reading();
    State read;
    if (reading) read = s_;
    State& st = reading ? read : s_;
    list | st.bottom_depth | st.pumped_volume | st.stored;
    list | st.circ_cycles | st.op1_cycles | st.op2_cycles | st.all_cycles | st.op3_cycles | st.op4_cycles |
        st.other_cycles;
    list | st.start_time | st.stop_time | st.depth_start | st.depth_stop | st.strokes_sum;
    if (kind == 1) {
        if (reading) {
            const std::int64_t left = list.bytes_left();
            if (left >= 0 && left < max_params * sum_bytes)
                throw std::runtime_error("RaceTotal::get_serial_list: the " + std::to_string(max_params) +
                                         " sums take " + std::to_string(max_params * sum_bytes) + " bytes, " +
                                         std::to_string(left) + " are left");
        }
        for (auto& a : st.sums) list | a.sum | a.count;
    }
    if (reading) s_ = read;
}
