#include "tools/station_host/depth_marks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace station_host {
namespace {

// Cycles of (milliseconds since the start, bottom depth); every case starts
// at 1000 m with the first record due at 1000.2 m, a step of 0.2 m.
struct Cycle {
    std::int64_t at_ms;
    double bottom;
};

struct Case {
    const char* what;
    std::vector<Cycle> cycles;
    int records;  // in all
    int jumps;
};

TEST(DepthMarks, ARecordForEveryStepDrilledAndOneForAJump) {
    std::vector<Cycle> steady, late, drags, fast;
    for (int i = 1; i <= 30; ++i) steady.push_back({i * 1000, 1000 + i * 1.0});  // 1 m/s, on time
    // The same drilling, the cycle 4 s late once and its frames read in the
    // one after it.
    late = {{1000, 1001}, {2000, 1002}, {6000, 1002.2}, {7000, 1007}, {8000, 1008}};
    // A burst after a quiet while: 10 m in a second after 20 s at rest.
    for (int i = 1; i <= 20; ++i) drags.push_back({i * 1000, 1000});
    drags.push_back({21000, 1010});
    // 2 m/s for half a minute is no drilling: the allowance runs out.
    for (int i = 1; i <= 30; ++i) fast.push_back({i * 1000, 1000 + i * 2.0});
    const std::vector<Case> cases = {
        {"steady 1 m/s", steady, 150, 0},
        {"a late cycle", late, 40, 0},
        {"a burst within the carried allowance", drags, 50, 0},
        {"a typed-in depth", {{1000, 1000.1}, {2000, 1020}, {3000, 1020.3}}, 2, 1},
        {"at rest", {{1000, 1000}, {5000, 1000.19}}, 0, 0},
    };
    for (const Case& c : cases) {
        DepthMarks marks(0.2, 1000.2);
        int records = 0, jumps = 0;
        double last = 1000;
        for (const Cycle& cycle : c.cycles) {
            const DepthMarks::Due due = marks.advance(cycle.bottom, cycle.at_ms);
            jumps += due.jumped ? 1 : 0;
            for (double m : due.marks) {
                EXPECT_GT(m, last) << c.what;
                EXPECT_LE(m, cycle.bottom + 1e-9) << c.what;
                last = m;
            }
            records += int(due.marks.size());
        }
        EXPECT_EQ(records, c.records) << c.what;
        EXPECT_EQ(jumps, c.jumps) << c.what;
    }

    // Too fast: drilling at twice the rate turns into jumps once the carried
    // allowance is spent, and a jump lands on the step below the bottom.
    DepthMarks marks(0.2, 1000.2);
    int jumps = 0;
    for (const Cycle& cycle : fast) {
        const DepthMarks::Due due = marks.advance(cycle.bottom, cycle.at_ms);
        if (!due.jumped) continue;
        ++jumps;
        ASSERT_EQ(due.marks.size(), 1u);
        EXPECT_NEAR(due.marks[0], std::floor(cycle.bottom / 0.2 + 1e-9) * 0.2, 1e-9);
    }
    EXPECT_GE(jumps, 1);
}

}  // namespace
}  // namespace station_host
