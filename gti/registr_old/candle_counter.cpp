#include "gti/registr_old/candle_counter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace candles {

namespace {

// The block went down empty, then up with the string.
const bool pulling_out[4] = {false, false, true, true};
// The block went up empty, then down with the string.
const bool running_in[4] = {false, true, true, false};

}  // namespace

void CandleCounter::add_item(const Item& sample) {
    samples_.push_back(sample);
    if (samples_.size() > max_samples) samples_.pop_front();
}

void CandleCounter::calc_velocity(lib::array<int>& v) const {
    const std::size_t n = samples_.size();
    v.resize(n > 0 ? n - 1 : 0);
    const long long steps = static_cast<long long>(v.size());
    for (long long i = 0; i < steps; ++i) {
        const float d = samples_[i + 1].position - samples_[i].position;
        v[i] = std::fabs(d) < min_step ? 0 : (d >= 0 ? 1 : -1);
    }

    long long p = 0;
    while (p < steps && v[p] == 0) ++p;
    while (p < steps) {
        long long q = p + 1;
        while (q < steps && v[q] == v[p]) ++q;
        if (q >= steps) break;  // the last run is still going on
        const float run = std::fabs(samples_[p].position - samples_[q - 1].position);
        if (run < min_run)
            for (long long i = p; i < q; ++i) v[i] = 0;
        p = q;
    }
}

void CandleCounter::calc_ranges(std::vector<Range>& ranges, float zero_weight) const {
    ranges.clear();
    lib::array<int> v;
    calc_velocity(v);
    const long long steps = static_cast<long long>(v.size());

    long long p = 0;
    while (true) {
        while (p < steps && v[p] == 0) ++p;
        if (p >= steps) return;
        const int opposite = v[p] >= 0 ? -1 : 1;
        long long q = p;
        while (q < steps && v[q] != opposite) ++q;
        if (q >= steps) return;  // the movement has not ended yet
        --q;
        while (q > p && v[q] == 0) --q;

        const float travel = std::fabs(samples_[p].position - samples_[q].position);
        if (travel >= min_travel) {
            Range r;
            r.start = static_cast<std::int32_t>(p);
            r.end = static_cast<std::int32_t>(q);
            r.up = v[p] != -1;
            // The load about five sixths of the way through the movement,
            // well after the slips are out and before they are set again.
            const long long m = (q - p) / 3 + (p + q) / 2;
            r.loaded = samples_[m].weight > zero_weight;
            r.travel = travel;
            ranges.push_back(r);
        }
        p = q + 1;
        if (p >= steps) return;
    }
}

bool CandleCounter::check_situation(const std::vector<Range>& ranges, const bool* pattern, int n) const {
    if (n < 0 || ranges.size() < static_cast<std::size_t>(n)) return false;
    const std::size_t first = ranges.size() - static_cast<std::size_t>(n);
    for (int j = 0; j < n; ++j) {
        const Range& r = ranges[first + static_cast<std::size_t>(j)];
        if (r.loaded != pattern[2 * j] || r.up != pattern[2 * j + 1]) return false;
    }
    return true;
}

void CandleCounter::calculate(float zero_weight, float stand_travel, int svecha_size) {
    stand_size_ = svecha_size;
    // Without a stand size or a travel there is no pipe length to count by.
    if (svecha_size < 1 || !(stand_travel > 0) || !std::isfinite(stand_travel)) return;

    std::vector<Range> ranges;
    calc_ranges(ranges, zero_weight);
    long long del = -1;

    const float f = stand_travel / static_cast<float>(svecha_size);  // one pipe
    const bool out = check_situation(ranges, pulling_out, 2);
    const bool in = !out && check_situation(ranges, running_in, 2);
    // Worked in 64 bits so that counts loaded from a damaged file cannot
    // overflow; stored back within 0..INT_MAX.
    long long count = count_;
    long long pipe = pipe_;
    if (out || in) {
        const Range& last = ranges.back();
        del = last.end;
        travel_ = last.travel;
        const bool part_stand = stand_travel - 0.5 * f >= travel_;
        // Only needed for part of a stand, where it is below svecha_size.
        const long long h = part_stand ? static_cast<long long>(travel_ / f) : 0;
        if (out) {
            if (!part_stand) {
                --count;
            } else if (pipe - h > 0) {
                pipe -= h;
            } else {
                --count;
                pipe = svecha_size - (h - pipe);
            }
        } else {
            if (!part_stand) {
                ++count;
            } else if (pipe + h < svecha_size) {
                pipe += h;
            } else {
                ++count;
                pipe = pipe + h - svecha_size;
            }
        }
        if (pipe == svecha_size) {
            ++count;
            pipe = 0;
        }
    }
    count_ = static_cast<std::int32_t>(std::clamp<long long>(count, 0, INT_MAX));
    pipe_ = static_cast<std::int32_t>(std::clamp<long long>(pipe, 0, INT_MAX));

    if (del != -1) {
        if (del >= static_cast<long long>(samples_.size()))
            throw std::runtime_error("CandleCounter::calculate() -> 'del_position >= items.size()'");
        samples_.erase(samples_.begin(), samples_.begin() + del);
    }
    out_pipe_ = svecha_size - pipe_;
}

void CandleCounter::get_elements_list(lib::ini_options_elements& list) {
    list.add(count_, "CandleCounter", "counter");
    list.add(pipe_, "CandleCounter", "pipe_counter");
}

void CandleCounter::load_additional_info(rtl::IniFile*) {
    if (count_ < 0) count_ = 0;
    if (pipe_ < 0) pipe_ = 0;
}

void CandleCounter::get_serial_list(lib::serial_list& list, unsigned) { list | count_ | pipe_; }

}  // namespace candles
