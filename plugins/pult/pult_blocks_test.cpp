#include "plugins/pult/pult_blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"

namespace {

using namespace pult;

std::uint16_t u16(const std::vector<std::uint8_t>& r, std::size_t at) { return std::uint16_t(r[at] | r[at + 1] << 8); }
float f32(const std::vector<std::uint8_t>& r, std::size_t at) {
    std::uint32_t bits = std::uint32_t(r[at]) | std::uint32_t(r[at + 1]) << 8 | std::uint32_t(r[at + 2]) << 16 |
                         std::uint32_t(r[at + 3]) << 24;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

Param param(const char* name, int channel, std::vector<UnitCalibrPoint> points, float range = 0, float zero = 0) {
    Param p;
    p.global_name = name;
    p.channel = channel;
    p.points = std::move(points);
    p.range = range;
    p.zero = zero;
    return p;
}

TEST(PultBlocks, CalibrationCodesRoundHalfUpAndClampInsteadOfWrapping) {
    const std::pair<double, int> cases[] = {
        {0, 0},         {2.5, 2048},   {5, 4095},         {1.0, 819},
        {0.0006, 0},    {0.0007, 1},   {-1, 0},           {80.0, 65520},
        {80.02, 65535}, {1000, 65535}, {std::nan(""), 0}, {std::numeric_limits<double>::infinity(), 65535},
    };
    for (auto [volts, code] : cases) EXPECT_EQ(calibration_code(volts), code) << volts;
}

TEST(PultBlocks, RecordsFromTheTable) {
    ParTabl table;
    table.add(param("вес_на_крюке", 0, {}, 25, 1.5f));
    table.add(param("давление_на_входе", 1, {{2.0, 10}}));
    table.add(param("момент_ротора", -1, {{0, 0}, {1, 1}}));
    std::vector<UnitCalibrPoint> many;
    for (int i = 0; i < 14; ++i) many.push_back({0.25 * i, 10.0 * i});
    table.add(param("момент_на_ключе", 95, many));

    // Unknown, and without a channel: the count byte says none.
    auto r = calibration_record(table, "нет_такого", 5, 1);
    ASSERT_EQ(r.size(), 32u);
    EXPECT_EQ(r[0], 255);
    for (std::size_t i = 1; i < r.size(); ++i) EXPECT_EQ(r[i], 0) << i;
    EXPECT_EQ(calibration_record(table, "момент_ротора", 12, 1)[0], 255);

    // A record: the count of points, the channel, then per place a 16-bit
    // code and a float value.
    struct Point {
        std::size_t place;
        int code;
        float value;
    };
    struct Case {
        const char* what;
        const char* name;
        int places, k;
        int count, channel;
        std::vector<Point> points;
    };
    const Case cases[] = {
        {"a linear parameter: its two ends, the gain scaled by k", "вес_на_крюке", 5, 4, 2, 0,
         {{0, 0, 1.5f}, {1, 4095, 101.5f}}},
        {"one point: (0 V, 0) goes in front", "давление_на_входе", 12, 1, 2, 1, {{0, 0, 0}, {1, 1638, 10}}},
        {"more points than places: the first ones", "момент_на_ключе", 5, 1, 5, 95,
         {{4, calibration_code(1.0), 40}}},
        {"twelve places take the first twelve of fourteen", "момент_на_ключе", 12, 1, 12, 95, {{11, calibration_code(2.75), 110}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        r = calibration_record(table, c.name, c.places, c.k);
        ASSERT_EQ(r.size(), 2u + 6u * std::size_t(c.places));
        EXPECT_EQ(r[0], c.count);
        EXPECT_EQ(r[1], c.channel);
        for (const Point& p : c.points) {
            EXPECT_EQ(u16(r, 2 + 6 * p.place), p.code) << p.place;
            EXPECT_FLOAT_EQ(f32(r, 4 + 6 * p.place), p.value) << p.place;
        }
    }
}

TEST(PultBlocks, BlockLayout) {
    auto b = make_block(cmd_light, light_payload(7));
    ASSERT_EQ(b.size(), 202u);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[2], 7);
    EXPECT_EQ(b[3], 0);
    for (std::size_t i = 4; i < b.size(); ++i) ASSERT_EQ(std::uint8_t(b[i]), 0x55) << i;
    // A brightness outside the console's steps is pinned, never wrapped
    // (-1 would otherwise go out as 65535).
    const std::pair<int, std::vector<std::uint8_t>> lights[] = {
        {-1, {0, 0}}, {std::numeric_limits<int>::min(), {0, 0}}, {15, {15, 0}}, {16, {15, 0}}, {70000, {15, 0}}};
    for (const auto& [light, want] : lights) EXPECT_EQ(light_payload(light), want) << light;
    EXPECT_EQ(degaz_payload(true, true), (std::vector<std::uint8_t>{3, 0}));
    EXPECT_EQ(degaz_payload(true, false), (std::vector<std::uint8_t>{2, 0}));
    EXPECT_EQ(degaz_payload(false, true), (std::vector<std::uint8_t>{1, 0}));
    // A payload longer than the block is cut, never written past it.
    b = make_block(cmd_short_tables, std::vector<std::uint8_t>(500, 7));
    ASSERT_EQ(b.size(), 202u);
    EXPECT_EQ(b[201], 7);
}

}  // namespace
