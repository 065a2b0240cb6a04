#include "gti/registr_old/InstrPipes/instr_items.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

namespace {

using instr::CalcResult;
using instr::Elem;
using instr::Items;

Elem make(int count, int type, float diameter, float wall, float weight, std::vector<float> lengths) {
    Elem e;
    e.count = count;
    e.type = type;
    e.diameter = diameter;
    e.wall = wall;
    e.weight_per_metre = weight;
    e.lengths = std::move(lengths);
    return e;
}

void append(Items& items, const Elem& e) { items.get(items.add_new()) = e; }

// A string as run on a 2,500 m well: bit, motor, telemetry, collars,
// heavy-weight pipe and stands of drill pipe.
Items realistic_string() {
    Items s;
    append(s, make(1, 0, 215.9f, 0, 0, {0.3f}));
    append(s, make(1, 1, 172, 30, 150, {7.6f}));
    append(s, make(1, 4, 172, 35, 140, {9.1f}));
    append(s, make(6, 2, 178, 44.5f, 156, {8.1f, 8.05f, 8.12f}));
    append(s, make(4, 5, 127, 25.4f, 62.5f, {9.2f, 9.15f}));
    append(s, make(95, 5, 127, 9.19f, 29.1f, {12.48f, 12.51f}));
    return s;
}

struct Closed {
    double len = 0, metal = 0, volume = 0, weight = 0;
};

// π/4·D²·L straight from the numbers, in double precision.
Closed closed_form(const Items& s, int units, int pipes) {
    Closed c;
    for (int i = 0; i < s.size(); ++i) {
        const Elem& e = s.get(i);
        double unit = 0;
        for (float l : e.lengths) unit += l;
        const int k = std::min(e.count, units);
        double L = k * unit;
        units -= k;
        if (units <= 0)
            for (int p = 0; p < pipes && p < static_cast<int>(e.lengths.size()); ++p) L += e.lengths[p];
        const double D = e.diameter / 1000.0, d = (e.diameter - 2.0 * e.wall) / 1000.0;
        c.len += L;
        c.volume += M_PI / 4 * D * D * L;
        c.metal += M_PI / 4 * (D * D - d * d) * L;
        c.weight += e.weight_per_metre * L;
        if (units <= 0) break;
    }
    return c;
}

TEST(InstrItems, TallyTotalsMatchGeometry) {
    const Items s = realistic_string();
    EXPECT_EQ(s.get_total_count(), 108);
    EXPECT_EQ(s.get_total_pipe_count(), 1 + 1 + 1 + 18 + 8 + 190);
    EXPECT_EQ(s.calc_max_diam(), 215.9f);

    const int total = s.get_total_count();
    const Closed whole = closed_form(s, total, 0);
    EXPECT_NEAR(s.get_total_len(), whole.len, 1e-5 * whole.len);

    CalcResult r;
    s.calc_misc(-1, -1, 0, r);
    EXPECT_NEAR(r.total_len, whole.len, 1e-5 * whole.len);
    EXPECT_NEAR(r.total_volume, whole.volume, 1e-4 * whole.volume);
    EXPECT_NEAR(r.total_metal_volume, whole.metal, 1e-4 * whole.metal);
    EXPECT_NEAR(r.total_weight, whole.weight, 1e-5 * whole.weight);
    EXPECT_EQ(r.total_count, 108.0f);
    EXPECT_EQ(r.max_diam, 215.9f);
    // With count -1 the whole string is in the hole.
    EXPECT_NEAR(r.len, whole.len, 1e-5 * whole.len);
    EXPECT_NEAR(r.metal_volume, whole.metal, 1e-4 * whole.metal);
    EXPECT_NEAR(r.volume, whole.volume, 1e-4 * whole.volume);
    EXPECT_NEAR(r.weight, whole.weight, 1e-5 * whole.weight);

    // 40 stands of drill pipe still out, one pipe of the next hanging in.
    const Closed part = closed_form(s, total - 40, 1);
    s.calc_misc(total - 40, 1, 0, r);
    EXPECT_NEAR(r.len, part.len, 1e-5 * part.len);
    EXPECT_NEAR(r.metal_volume, part.metal, 1e-4 * part.metal);
    EXPECT_NEAR(r.volume, part.volume, 1e-4 * part.volume);
    EXPECT_NEAR(r.weight, part.weight, 1e-5 * part.weight);
    EXPECT_NEAR(r.total_len, whole.len, 1e-5 * whole.len);

    // Down to 1,000 m: the string's own elements from the bottom up.
    s.calc_misc(-1, -1, 1000, r);
    const Elem& top = s.get(5);
    const double below_top = whole.len - top.get_len(-1);
    const double D = 0.127, d = (127 - 2 * 9.19) / 1000.0;
    const Closed lower = closed_form(s, total - 95, 0);
    const double expect_metal = lower.metal + M_PI / 4 * (D * D - d * d) * (1000 - below_top);
    EXPECT_NEAR(r.metal_volume_to_depth, expect_metal, 1e-4 * expect_metal);
    EXPECT_NEAR(r.weight_to_depth, lower.weight + 29.1 * (1000 - below_top), 0.1);
}

TEST(InstrItems, CalcMiscCases) {
    Items empty;
    CalcResult r;
    r.len = 5;
    empty.calc_misc(-1, -1, 100, r);
    EXPECT_EQ(r.len, 0.0f);
    EXPECT_EQ(r.total_len, 0.0f);
    EXPECT_EQ(r.metal_volume_to_depth, 0.0f);

    Items s;
    append(s, make(10, 5, 127, 9, 30, {12, 12}));
    s.calc_misc(5, 1, 0, r);
    EXPECT_EQ(r.len, 132.0f);
    EXPECT_EQ(r.total_len, 240.0f);
    EXPECT_EQ(r.total_count, 10.0f);
    EXPECT_EQ(r.weight, 132.0f * 30);

    // No units but some pipes: the pipes of the first unit.
    s.calc_misc(0, 1, 0, r);
    EXPECT_EQ(r.len, 12.0f);
    // A negative count is none in the hole, never negative steel.
    s.calc_misc(-7, 0, -50, r);
    EXPECT_EQ(r.len, 0.0f);
    EXPECT_GE(r.metal_volume, 0.0f);
    EXPECT_EQ(r.metal_volume_to_depth, 0.0f);
}

TEST(InstrItems, DepthBeyondStringGoesOnLastElement) {
    Items s;
    append(s, make(1, 2, 178, 40, 150, {9}));
    append(s, make(10, 5, 127, 9, 30, {12, 12}));
    CalcResult r;
    s.calc_misc(-1, -1, 300, r);
    const float excess = 300 - 249;
    const float expect = r.total_metal_volume + s.get(1).get_metal_volume(1.0f) * excess;
    EXPECT_NEAR(r.metal_volume_to_depth, expect, 1e-5 * expect);
    EXPECT_NEAR(r.weight_to_depth, r.total_weight + 30 * excess, 0.01);
}

TEST(InstrItems, Narasch) {
    Items s;
    s.narasch("12.1+12.2+12.3");
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s.get(0).lengths, (std::vector<float>{12.1f, 12.2f}));
    EXPECT_EQ(s.get(0).type, 5);
    EXPECT_EQ(s.get(1).lengths, std::vector<float>{12.3f});
    EXPECT_EQ(s.get(1).type, 6);
    EXPECT_EQ(s.get(1).count, 1);

    // The incomplete stand on top is filled first.
    s.narasch("12,4");
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s.get(1).lengths, (std::vector<float>{12.3f, 12.4f}));
    EXPECT_EQ(s.get(1).type, 5);

    // On a stand: a new single with the stand's diameter, weight and wall.
    Items t;
    append(t, make(30, 5, 127, 9.19f, 29.1f, {12.5f, 12.5f}));
    t.narasch("12.6");
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t.get(0).count, 30);
    EXPECT_EQ(t.get(0).lengths.size(), 2u);
    const Elem& n = t.get(1);
    EXPECT_EQ(n.type, 6);
    EXPECT_EQ(n.count, 1);
    EXPECT_EQ(n.lengths, std::vector<float>{12.6f});
    EXPECT_EQ(n.diameter, 127.0f);
    EXPECT_EQ(n.wall, 9.19f);
    EXPECT_EQ(n.weight_per_metre, 29.1f);

    // Stand sizes 3 and 4 go through doubles and triples.
    Items u;
    u.set_svecha_size(4);
    u.narasch("1+2+3");
    ASSERT_EQ(u.size(), 1);
    EXPECT_EQ(u.get(0).type, 8);
    u.narasch("4+5");
    ASSERT_EQ(u.size(), 2);
    EXPECT_EQ(u.get(0).type, 5);
    EXPECT_EQ(u.get(1).type, 6);

    // Nothing to run in adds nothing.
    u.narasch("");
    EXPECT_EQ(u.size(), 2);
}

TEST(InstrItems, NaraschNeverGrowsOtherElements) {
    // A collar, a bit, or a group of single pipes on top stays as it is.
    for (int type : {0, 2, 6, 9}) {
        Items s;
        s.set_svecha_size(2);
        append(s, make(type == 6 ? 20 : 1, type, 178, 40, 150, {9}));
        const Elem before = s.get(0);
        s.narasch("12.5");
        ASSERT_EQ(s.size(), 2) << type;
        EXPECT_EQ(s.get(0), before) << type;
        EXPECT_EQ(s.get(1).type, 6);
        EXPECT_EQ(s.get(1).count, 1);
        EXPECT_EQ(s.get(1).get_len(), 12.5f);
    }
    // A stand size out of range still gives one element per pipe, no crash.
    Items z;
    z.set_svecha_size(0);
    z.narasch("1+2");
    EXPECT_EQ(z.size(), 2);
}

TEST(InstrItems, DurakProtection) {
    Items s;
    append(s, make(1, 5, -5, -1, -3, {-2}));
    append(s, make(1, 5, NAN, 9, NAN, {1}));
    s.set_svecha_size(0);
    s.durak_protection();
    EXPECT_EQ(s.get_svecha_size(), 1);
    EXPECT_EQ(s.get(0).diameter, 0.0f);
    EXPECT_EQ(s.get(0).weight_per_metre, 0.0f);
    EXPECT_EQ(s.get(0).wall, -1.0f);  // wall and lengths are not checked
    EXPECT_EQ(s.get(0).lengths[0], -2.0f);
    EXPECT_EQ(s.get(1).diameter, 0.0f);
    EXPECT_EQ(s.get(1).weight_per_metre, 0.0f);
    s.set_svecha_size(7);
    s.durak_protection();
    EXPECT_EQ(s.get_svecha_size(), 4);
}

TEST(InstrItems, ListOperations) {
    Items s;
    EXPECT_THROW(s.get(0), std::out_of_range);
    EXPECT_EQ(s.get_item_by_number(0), nullptr);
    append(s, make(1, 0, 215.9f, 0, 0, {0.3f}));
    append(s, make(3, 2, 178, 40, 150, {9}));
    EXPECT_EQ(s.move_item(0, -1), 0);
    EXPECT_EQ(s.get(0).type, 0);
    EXPECT_EQ(s.move_item(0, 1), 1);
    EXPECT_EQ(s.get(0).type, 2);
    EXPECT_EQ(s.get(1).type, 0);
    EXPECT_EQ(s.move_item(1, INT_MAX), 1);
    s.move_item(1, -1);

    EXPECT_EQ(s.get_item_by_number(0), &s.get(0));
    EXPECT_EQ(s.get_item_by_number(1), &s.get(0));
    EXPECT_EQ(s.get_item_by_number(2), &s.get(1));
    EXPECT_EQ(s.get_item_by_number(4), &s.get(1));
    EXPECT_EQ(s.get_item_by_number(5), nullptr);
    EXPECT_EQ(s.get_item_by_number(-1), nullptr);

    float len, weight;
    s.calc_summ(-3, len, weight);
    EXPECT_EQ(len, 0.3f);
    s.calc_summ(0, len, weight);
    EXPECT_EQ(len, 0.3f);
    s.calc_summ(9, len, weight);
    EXPECT_EQ(len, 27.3f);
    EXPECT_EQ(weight, 27 * 150.0f);

    s.set_doloto_diam(220.7f);
    EXPECT_EQ(s.get(0).diameter, 220.7f);
    EXPECT_EQ(s.get(1).diameter, 178.0f);

    Elem dst;
    Items::copy(dst, s.get(1));
    EXPECT_EQ(dst.diameter, 178.0f);
    EXPECT_EQ(dst.count, 1);
    EXPECT_EQ(dst.type, -1);

    s.delete_item(5);
    s.delete_item(-1);
    EXPECT_EQ(s.size(), 2);
    s.delete_item(0);
    EXPECT_EQ(s.size(), 1);
    EXPECT_EQ(s.get(0).type, 2);
    s.clear();
    EXPECT_EQ(s.size(), 0);
}

TEST(InstrItems, CountsSaturate) {
    Items s;
    append(s, make(INT_MAX, 5, 127, 9, 30, {12, 12}));
    append(s, make(INT_MAX, 5, 127, 9, 30, {12, 12}));
    EXPECT_EQ(s.get_total_count(), INT_MAX);
    EXPECT_EQ(s.get_total_pipe_count(), INT_MAX);
}

}  // namespace
