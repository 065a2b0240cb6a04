#include "gti/registr_old/candle_counter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using candles::CandleCounter;
using candles::Item;
using candles::Range;

constexpr float empty_hook = 3.0f;     // the block alone, t
constexpr float zero_weight = 5.0f;    // configured "нулевой_вес"
constexpr float string_load = 62.0f;   // the string hanging on the hook
constexpr float stand_travel = 25.0f;  // configured "свеча"
constexpr int svecha_size = 2;         // pipes in a stand
constexpr float bottom = 1.5f;         // block height with the string in the slips

// Hook load and block position sampled at 1 Hz, as the recording cycle
// feeds the counter; every sample is followed by a counting step.
class Rig {
public:
    explicit Rig(CandleCounter& c, float start) : counter_(c), pos_(start) {}

    void hold(int seconds, float load) {
        for (int i = 0; i < seconds; ++i) {
            // Sensor jitter well under a centimetre between samples.
            sample(pos_ + (t_ % 2 ? 0.004f : -0.004f), load);
        }
    }
    void move(float to, float speed, float load) {
        const int steps = static_cast<int>(std::ceil(std::fabs(to - pos_) / speed));
        const float from = pos_;
        for (int i = 1; i <= steps; ++i) {
            pos_ = from + (to - from) * static_cast<float>(i) / static_cast<float>(steps);
            sample(pos_, load);
        }
    }

    // Pull one stand (or a single pipe, travel about half a stand) out of
    // the hole: the block goes down empty, latches, lifts the string.
    void pull(float travel) {
        hold(8, empty_hook);
        move(bottom, 1.2f, empty_hook);
        hold(6, empty_hook);
        move(bottom + 0.6f, 0.3f, string_load);  // slips out: a short lift
        hold(2, string_load);
        move(bottom + travel, 0.9f, string_load);
        hold(4, string_load);
        hold(6, empty_hook);  // slips set
    }
    // Run one stand (or a single) into the hole: the block goes up empty,
    // picks up the stand, lowers the string.
    void run(float travel) {
        hold(5, empty_hook);
        move(bottom + travel, 1.2f, empty_hook);
        hold(10, empty_hook);
        hold(3, string_load);
        move(bottom, 0.9f, string_load);
        hold(6, empty_hook);
    }

    int samples() const { return t_; }

private:
    void sample(float pos, float load) {
        counter_.add_item(Item(load, pos, static_cast<unsigned>(t_++)));
        counter_.calculate(zero_weight, stand_travel, svecha_size);
        EXPECT_LE(counter_.samples(), CandleCounter::max_samples);
    }

    CandleCounter& counter_;
    float pos_;
    int t_ = 0;
};

TEST(CandleCounter, GeneratedTrip) {
    CandleCounter c;
    c.set(50);
    c.set_max_count(60);
    Rig rig(c, bottom + 26);

    // Pulling out: ten stands, each counted once the next movement begins.
    for (int i = 0; i < 10; ++i) {
        rig.pull(26);
        EXPECT_EQ(c.get(), 50 - i) << "stand " << i;  // the lift is not closed yet
    }
    // Then one single pipe.
    rig.pull(14);  // its descent closes the tenth lift
    EXPECT_EQ(c.get(), 40);
    // The block goes down empty to start running in: the single is counted.
    rig.hold(8, empty_hook);
    rig.move(bottom, 1.2f, empty_hook);
    EXPECT_EQ(c.get(), 39);
    EXPECT_EQ(c.get_pipe(), 1);
    EXPECT_EQ(c.get_out_pipe(), 1);
    EXPECT_EQ(c.get_out(), 21);

    // Running in: the single completes the stand, then ten stands.
    rig.run(14);
    rig.move(bottom + 3, 1.2f, empty_hook);  // the next lift closes the lowering
    EXPECT_EQ(c.get(), 40);
    EXPECT_EQ(c.get_pipe(), 0);
    EXPECT_EQ(c.get_out_pipe(), 2);
    for (int i = 0; i < 10; ++i) rig.run(26);
    rig.move(bottom + 5, 1.2f, empty_hook);
    EXPECT_EQ(c.get(), 50);
    EXPECT_EQ(c.get_pipe(), 0);
    EXPECT_EQ(c.get_out(), 10);
    EXPECT_GT(rig.samples(), 900);  // more than the history holds
    EXPECT_LT(c.samples(), 100u);   // counted cycles were forgotten
}

TEST(CandleCounter, RunningInSinglesMakeStands) {
    CandleCounter c;
    c.set(5);
    Rig rig(c, bottom);
    rig.run(14);
    rig.move(bottom + 3, 1.2f, empty_hook);
    EXPECT_EQ(c.get(), 5);
    EXPECT_EQ(c.get_pipe(), 1);
    rig.run(14);
    rig.move(bottom + 3, 1.2f, empty_hook);
    EXPECT_EQ(c.get(), 6);
    EXPECT_EQ(c.get_pipe(), 0);
}

TEST(CandleCounter, IdleMovementsCountNothing) {
    CandleCounter c;
    c.set(20);
    Rig rig(c, 10);
    // Reaming and circulating: loaded up and down, never an empty hook.
    for (int i = 0; i < 20; ++i) {
        rig.move(30, 0.5f, string_load);
        rig.move(5, 0.5f, string_load);
    }
    // Block adjustments under 2 m, empty.
    for (int i = 0; i < 50; ++i) {
        rig.move(11.5f, 0.5f, empty_hook);
        rig.move(10, 0.5f, empty_hook);
    }
    EXPECT_EQ(c.get(), 20);
    EXPECT_EQ(c.get_pipe(), 0);
}

// Samples at the given positions, loads by the step's direction.
void feed(CandleCounter& c, const std::vector<float>& pos, const std::vector<float>& load) {
    for (std::size_t i = 0; i < pos.size(); ++i) c.add_item(Item(load[i], pos[i], 0));
}

std::vector<float> line(float from, float to, int steps) {
    std::vector<float> v;
    for (int i = 0; i <= steps; ++i) v.push_back(from + (to - from) * i / steps);
    return v;
}

TEST(CandleCounter, Ranges) {
    struct Case {
        float travel;
        bool range;
    } cases[] = {{6.9f, false}, {7.0f, true}, {25.0f, true}};
    for (const Case& k : cases) {
        CandleCounter c;
        // Up by travel + one step (the last step ends the movement), then
        // one step down.
        std::vector<float> pos = line(0, k.travel + 1, static_cast<int>(k.travel + 1));
        pos.push_back(pos.back() - 1);
        feed(c, pos, std::vector<float>(pos.size(), string_load));
        std::vector<Range> r;
        c.calc_ranges(r, zero_weight);
        ASSERT_EQ(r.size(), k.range ? 1u : 0u) << k.travel;
        if (k.range) {
            EXPECT_TRUE(r[0].up);
            EXPECT_TRUE(r[0].loaded);
            EXPECT_EQ(r[0].start, 0);
            EXPECT_FLOAT_EQ(r[0].travel, k.travel);
        }
    }
    // A movement that has not turned back is not finished.
    CandleCounter c;
    std::vector<float> pos = line(0, 20, 20);
    feed(c, pos, std::vector<float>(pos.size(), empty_hook));
    std::vector<Range> r;
    c.calc_ranges(r, zero_weight);
    EXPECT_TRUE(r.empty());
}

TEST(CandleCounter, Velocity) {
    CandleCounter c;
    lib::array<int> v;
    c.calc_velocity(v);
    EXPECT_EQ(v.size(), 0u);
    c.add_item(Item(0, 5, 0));
    c.calc_velocity(v);
    EXPECT_EQ(v.size(), 0u);

    // Steps under 1 cm are standing; a rise of 1.5 m in all is flattened;
    // the run still going at the end is kept.
    CandleCounter d;
    const std::vector<float> pos = {0, 0.009f, 0.5f, 1.0f, 1.5f, 1.5f, 0.5f, -0.5f, -1.5f, -2.5f, -3.5f, -3.4f, -3.3f};
    feed(d, pos, std::vector<float>(pos.size(), 0));
    d.calc_velocity(v);
    const std::vector<int> expect = {0, 0, 0, 0, 0, -1, -1, -1, -1, -1, 1, 1};
    ASSERT_EQ(v.size(), expect.size());
    for (std::size_t i = 0; i < expect.size(); ++i) EXPECT_EQ(v[static_cast<long long>(i)], expect[i]) << i;
}

// Down empty, then up loaded by `lift`, then the first step of the next
// movement.
void pull_cycle(CandleCounter& c, float lift) {
    std::vector<float> pos = line(20, 0, 20);
    std::vector<float> load(pos.size(), empty_hook);
    for (float p : line(0, lift + 1, static_cast<int>(std::ceil(lift + 1)))) {
        pos.push_back(p);
        load.push_back(string_load);
    }
    pos.push_back(pos.back() - 1);
    load.push_back(empty_hook);
    feed(c, pos, load);
}

void run_cycle(CandleCounter& c, float lower) {
    const int steps = static_cast<int>(std::ceil(lower + 1));
    std::vector<float> pos = line(0, lower + 1, steps);
    std::vector<float> load(pos.size(), empty_hook);
    for (float p : line(lower + 1, 0, steps)) {
        pos.push_back(p);
        load.push_back(string_load);
    }
    pos.push_back(pos.back() + 1);
    load.push_back(empty_hook);
    feed(c, pos, load);
}

TEST(CandleCounter, CountingCases) {
    struct Case {
        const char* what;
        bool pulling;
        float travel;
        int count, pipe;              // before
        int count_after, pipe_after;  // after
    } cases[] = {
        {"full stand out", true, 24, 10, 0, 9, 0},          {"full stand out keeps pipe", true, 24, 10, 1, 9, 1},
        {"one pipe out of a stand", true, 13, 10, 0, 9, 1}, {"second pipe out completes it", true, 13, 9, 1, 9, 0},
        {"last stand out", true, 24, 0, 0, 0, 0},           {"full stand in", false, 24, 10, 0, 11, 0},
        {"one pipe in", false, 13, 10, 0, 10, 1},           {"second pipe in makes a stand", false, 13, 10, 1, 11, 0},
        {"too short to count", true, 6, 10, 0, 10, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CandleCounter c;
        c.set(k.count);
        c.set_pipe(k.pipe);
        c.set_max_count(30);
        if (k.pulling)
            pull_cycle(c, k.travel);
        else
            run_cycle(c, k.travel);
        const std::size_t before = c.samples();
        c.calculate(zero_weight, stand_travel, svecha_size);
        EXPECT_EQ(c.get(), k.count_after);
        EXPECT_EQ(c.get_pipe(), k.pipe_after);
        EXPECT_EQ(c.get_out_pipe(), svecha_size - k.pipe_after);
        EXPECT_EQ(c.get_out(), 30 - k.count_after);
        if (k.count_after != k.count || k.pipe_after != k.pipe) {
            EXPECT_LT(c.samples(), before);
            // The same cycle is never counted twice.
            c.calculate(zero_weight, stand_travel, svecha_size);
            EXPECT_EQ(c.get(), k.count_after);
            EXPECT_EQ(c.get_pipe(), k.pipe_after);
        }
    }
}

TEST(CandleCounter, NoStandGeometryCountsNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float travel;
        int size;
    } bad[] = {{0, 2}, {-25, 2}, {nan, 2}, {inf, 2}, {25, 0}, {25, -3}};
    for (const auto& b : bad) {
        CandleCounter c;
        c.set(10);
        pull_cycle(c, 24);
        const std::size_t before = c.samples();
        c.calculate(zero_weight, b.travel, b.size);
        EXPECT_EQ(c.get(), 10);
        EXPECT_EQ(c.samples(), before);
        // The cycle is still counted once the settings are sound again.
        c.calculate(zero_weight, stand_travel, svecha_size);
        EXPECT_EQ(c.get(), 9);
    }
}

TEST(CandleCounter, FewSamplesAndHistoryLimit) {
    CandleCounter c;
    c.set(3);
    c.calculate(zero_weight, stand_travel, svecha_size);
    c.add_item(Item(string_load, 10, 0));
    c.calculate(zero_weight, stand_travel, svecha_size);
    EXPECT_EQ(c.get(), 3);
    EXPECT_EQ(c.get_out_pipe(), 2);
    for (int i = 0; i < 2000; ++i) c.add_item(Item(0, static_cast<float>(i % 7), static_cast<unsigned>(i)));
    EXPECT_EQ(c.samples(), 900u);
}

TEST(CandleCounter, DamagedCountsStayInRange) {
    CandleCounter c;
    c.set(std::numeric_limits<int>::max());
    c.set_pipe(std::numeric_limits<int>::max());
    run_cycle(c, 13);
    c.calculate(zero_weight, stand_travel, svecha_size);
    EXPECT_GE(c.get(), 0);
    EXPECT_GE(c.get_pipe(), 0);
}

}  // namespace
