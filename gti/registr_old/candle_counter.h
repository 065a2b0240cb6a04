#pragma once
// The pipe-stand counter: counts the stands (and the pipes of an incomplete
// stand) in the hole during a trip from the history of hook load and block
// position. Each frame one sample is added and `calculate` looks for a
// finished cycle of block movements: down empty and up loaded pulls a stand
// out; up empty and down loaded runs one in. The samples of a counted cycle
// are then forgotten, so no cycle is counted twice.

#include <cstdint>
#include <deque>
#include <vector>

#include "library/options/ini_options.h"
#include "library/serial/module_list.h"
#include "library/util/array.h"

namespace candles {

// One sample of the history.
struct Item {
    Item() = default;
    Item(float w, float p, std::uint32_t s) : weight(w), position(p), stamp(s) {}

    float weight = 0;         // hook load
    float position = 0;       // block position, m
    std::uint32_t stamp = 0;  // kept with the sample, not used for counting
};

// One movement of the block.
struct Range {
    std::int32_t start = 0;  // first sample of the movement
    std::int32_t end = 0;    // last moving sample
    bool up = false;
    bool loaded = false;  // the hook carried the string
    float travel = 0;     // metres
};

class CandleCounter : public virtual lib::ModuleBaseOld, public lib::ini_options, public lib::SerialModuleBase {
public:
    static constexpr std::size_t max_samples = 900;
    // Block movements shorter than this are not a stand or a pipe.
    static constexpr float min_travel = 7.0f;
    // Runs of steps in one direction covering less than this are jitter.
    static constexpr float min_run = 2.0f;
    // A step shorter than this is standing still.
    static constexpr float min_step = 0.01f;

    CandleCounter() = default;

    // Appends a sample, dropping the oldest beyond max_samples.
    void add_item(const Item& sample);

    // One counting step. zero_weight: the hook load at or below which the
    // hook is empty; stand_travel: block travel of one full stand, m;
    // svecha_size: pipes in a stand. A travel that is not positive or a
    // stand size below 1 counts nothing this step.
    void calculate(float zero_weight, float stand_travel, int svecha_size);

    // The finished movements of the history.
    void calc_ranges(std::vector<Range>& ranges, float zero_weight) const;
    // Whether the last n movements match pattern (pairs loaded, up; oldest
    // first).
    bool check_situation(const std::vector<Range>& ranges, const bool* pattern, int n) const;
    // Direction of each step of the history: -1, 0 or +1, short runs
    // flattened to 0.
    void calc_velocity(lib::array<int>& v) const;

    int get() const { return count_; }
    int get_out() const { return max_count_ - count_; }
    int get_pipe() const { return pipe_; }
    int get_out_pipe() const { return out_pipe_; }
    void set(int n) { count_ = n; }
    void set_max_count(int n) { max_count_ = n; }
    void set_pipe(int n) { pipe_ = n; }

    // INI section "CandleCounter": "counter" (stands) and "pipe_counter"
    // (pipes); a negative count read back is 0.
    void get_elements_list(lib::ini_options_elements& list) override;
    void load_additional_info(rtl::IniFile* ini) override;
    // Module stream "CandleCounter": count, then pipe.
    void get_serial_list(lib::serial_list& list, unsigned param) override;
    void get_serial_name(std::string& name) override { name = "CandleCounter"; }

    std::size_t samples() const { return samples_.size(); }

protected:
    std::deque<Item> samples_;
    std::int32_t count_ = 0;
    std::int32_t max_count_ = 0;
    std::int32_t pipe_ = 0;
    std::int32_t stand_size_ = 0;
    std::int32_t out_pipe_ = 0;
    float travel_ = 0;
};

}  // namespace candles
