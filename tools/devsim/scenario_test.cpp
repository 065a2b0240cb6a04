#include "tools/devsim/scenario.h"

#include <gtest/gtest.h>

#include "tools/devsim/faults.h"
#include "tools/devsim/simulator.h"

namespace devsim {
namespace {

TEST(SimScenario, ScriptRowsAndStraightLinesBetweenThem) {
    auto s = ScriptedScenario::parse(
        "# a connection\n"
        "t   hook_load block_pos pump1 density_out level\n"
        "0   110       20        60    1.2         1\n"
        "10  15,5      30        0     1.3         3   # slips\n");
    EXPECT_EQ(s.rows().size(), 2u);
    EXPECT_DOUBLE_EQ(s.at(-1).hook_load, 110);
    EXPECT_DOUBLE_EQ(s.at(5).block_pos, 25);
    EXPECT_DOUBLE_EQ(s.at(5).pump[0], 30);
    EXPECT_DOUBLE_EQ(s.at(99).hook_load, 15.5);
    EXPECT_DOUBLE_EQ(s.at(5).spp, 0);  // not in the script
    EXPECT_DOUBLE_EQ(s.at(5).density_out, 1.25);
    EXPECT_DOUBLE_EQ(s.at(5).level, 2);
    EXPECT_EQ(ChannelMap::code(ChannelMap::density_out, s.at(0)), 1966);  // 1.2 of 2.5 g/cm3
    EXPECT_EQ(ChannelMap::code(ChannelMap::level, s.at(99)), 2457);       // 3 of 5 m
}

TEST(SimScenario, ScriptErrorsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"t weight\n", "unknown column 'weight'"},        {"hook_load t\n", "first column"},
        {"t spp\n0 1\n1\n", "line 3: expected 2 values"}, {"t spp\n0 nan\n", "'nan' is not a number"},
        {"t spp\n1 1\n1 2\n", "time must rise"},          {"# nothing\n", "no rows"},
    };
    for (auto [text, want] : cases) {
        try {
            ScriptedScenario::parse(text);
            ADD_FAILURE() << text;
        } catch (const ScriptError& e) {
            EXPECT_NE(std::string(e.what()).find(want), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(ScriptedScenario::load("/nonexistent/scenario.txt"), ScriptError);
}

TEST(SimScenario, GeneratedRigIsRepeatableAndDrills) {
    GeneratedScenario a(7), b(7), c(7);
    double first = c.at(0).block_pos;
    RigState sa, sb;
    for (int i = 0; i <= 80; ++i) {
        sa = a.at(i);
        sb = b.at(i);
        EXPECT_EQ(sa.hook_load, sb.hook_load);
    }
    EXPECT_LT(sa.block_pos, first);  // drilling: the block goes down
    EXPECT_GT(sa.pump[0], 50);
    RigState slips = a.at(110);
    EXPECT_LT(slips.hook_load, 20);  // connection: string in the slips
    EXPECT_EQ(slips.pump[0], 0);
}

TEST(SimScenario, PulsesFollowTheBlockWithoutDrift) {
    PulseCounter c;
    EXPECT_EQ(c.advance(20.0), 0);
    int total = 0;
    for (int i = 1; i <= 300; ++i) total += c.advance(20.0 - i * 0.0037);
    EXPECT_NEAR(total, 0.0037 * 300 * ChannelMap::pulses_per_metre, 1.001);
    EXPECT_EQ(ChannelMap::code(ChannelMap::hook_load, RigState{.hook_load = 250}), 4095);
    EXPECT_EQ(ChannelMap::code(ChannelMap::hook_load, RigState{.hook_load = -3}), 0);
}

TEST(SimFaults, ParseAList) {
    auto f = parse_faults("flip@3x2,stray@5,repeat@7,skip@9x2,truncate@11x20,silence@13x1500");
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[0].kind, FaultKind::flip);
    EXPECT_EQ(f[0].report, 3);
    EXPECT_EQ(f[0].arg, 2);
    EXPECT_EQ(f[1].arg, -1);
    EXPECT_EQ(f[5].kind, FaultKind::silence);
    EXPECT_EQ(f[5].arg, 1500);
    EXPECT_TRUE(parse_faults("").empty());
    for (const char* bad : {"flip", "melt@3", "flip@x", "flip@-1", "skip@2x0", "stray@1x9z"})
        EXPECT_THROW(parse_faults(bad), FaultError) << bad;
    EXPECT_THROW(device_kind("toaster"), std::invalid_argument);
    EXPECT_EQ(device_kind("mmv3"), DeviceKind::mmv3);
}

}  // namespace
}  // namespace devsim
