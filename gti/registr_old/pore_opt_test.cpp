#include "gti/registr_old/pore_opt.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/os/testing.h"

namespace {

using instr::Elem;
using pore::PoreOpt;
using pore::PoreSection;

constexpr int kond = 1, tech = 7, hole = 8;

// π/4 · D² · L with D in millimetres: m³.
double cyl(double d_mm, double len) { return M_PI / 4 * (d_mm / 1000) * (d_mm / 1000) * len; }
double ring(double outer_mm, double inner_mm, double len) { return cyl(outer_mm, len) - cyl(inner_mm, len); }

void add(instr::Items& s, int type, int count, std::vector<float> lengths, float diameter, float wall = 0) {
    Elem& e = s.get(s.add_new());
    e.type = type;
    e.count = count;
    e.lengths = std::move(lengths);
    e.diameter = diameter;
    e.wall = wall;
}

void use(pore::Construction& c, int i, float top, float bottom, float inner) {
    auto& e = c.at(i);
    e.enabled = true;
    e.top = top;
    e.bottom = bottom;
    e.inner_diameter = inner;
}

// A 2496.3 m well: conductor 0-600 m, intermediate string 0-1800 m
// (220.5 mm bore), open hole to the bottom (215.9 mm bit). The string on
// bottom: bit 0.3 m, 8 collars of 12 m (178 × 54 mm wall), 96 stands of two
// 12.5 m pipes (127 × 9 mm wall).
struct RealisticWell {
    PoreOpt well;
    RealisticWell() {
        auto& c = *well.get_construction();
        use(c, kond, 0, 600, 304.8f);
        use(c, tech, 0, 1800, 220.5f);
        use(c, hole, 1800, 2496.3f, 215.9f);
        auto& s = *well.get_instr();
        add(s, instr::elem_type::bit, 1, {0.3f}, 215.9f);
        add(s, instr::elem_type::collar, 8, {12}, 178, 54);
        add(s, instr::elem_type::stand, 96, {12.5f, 12.5f}, 127, 9);
    }
};

std::vector<PoreSection> sections(const PoreOpt& w, float depth, bool with_bit) {
    std::vector<PoreSection> out;
    w.divide_to_sections(out, depth, with_bit);
    return out;
}

}  // namespace

TEST(PoreOpt, VolumesOfARealisticWellMatchTheClosedForms) {
    RealisticWell w;
    const double hole_volume = cyl(220.5, 1800) + cyl(215.9, 696.3);
    const double collar_steel = ring(178, 178 - 108, 96);
    const double pipe_steel = ring(127, 127 - 18, 2400);

    // The annulus with the string on bottom, section by section.
    const double annulus = ring(220.5, 127, 1800) + ring(215.9, 127, 600) + ring(215.9, 178, 96);
    EXPECT_NEAR(w.well.get_zatrub_volume(2496.3f, 1), annulus, annulus * 1e-4);
    // The enlargement factor widens the hole only.
    const double string_outside = cyl(215.9, 0.3) + cyl(178, 96) + cyl(127, 2400);
    EXPECT_NEAR(w.well.get_zatrub_volume(2496.3f, 1.1f), 1.1 * hole_volume - string_outside, annulus * 1e-4);

    // Mud in the well: the hole less the steel in it.
    EXPECT_NEAR(w.well.get_volume(105, 0, 1), hole_volume - collar_steel - pipe_steel, hole_volume * 1e-5);
    // Half the stands and one pipe of the next in the hole.
    const double partly = hole_volume - collar_steel - ring(127, 109, 50 * 25 + 12.5);
    EXPECT_NEAR(w.well.get_volume(1 + 8 + 50, 1, 1), partly, hole_volume * 1e-5);

    // The sections add up to the same annulus.
    double sum = 0;
    for (const PoreSection& s : sections(w.well, 2496.3f, true))
        sum += ring(s.pore_diam, s.instr_diam, s.bottom - s.top);
    EXPECT_NEAR(sum, annulus, annulus * 1e-4);
}

TEST(PoreOpt, VolumesAreNeverNegative) {
    PoreOpt w;  // no hole at all
    add(*w.get_instr(), instr::elem_type::stand, 10, {25}, 127, 9);
    EXPECT_EQ(w.get_volume(10, 0, 1), 0);
    EXPECT_EQ(w.get_zatrub_volume(250, 1), 0);
    EXPECT_EQ(w.get_volume(0, 0, 1), 0);
}

TEST(PoreOpt, DividesTheWellIntoSections) {
    struct Expected {
        float instr, pore, top, bottom;
    };
    const struct Case {
        const char* what;
        std::function<void(PoreOpt&)> build;
        float depth;
        bool with_bit;
        std::vector<Expected> sections;
    } cases[] = {
        {"no string, open hole only",
         [](PoreOpt& w) { use(*w.get_construction(), hole, 0, 1000, 215.9f); },
         1000,
         true,
         {{0, 215.9f, 0, 1000}}},
        {"a string longer than the well is cut at the surface; the depth at the bottom",
         [](PoreOpt& w) {
             use(*w.get_construction(), hole, 0, 1000, 215.9f);
             add(*w.get_instr(), instr::elem_type::bit, 1, {0.5f}, 215.9f);
             add(*w.get_instr(), instr::elem_type::stand, 1, {1199.5f}, 127);
         },
         1500,
         true,
         {{127, 215.9f, 0, 999.5f}, {215.9f, 215.9f, 999.5f, 1000}}},
        {"above a short string its top diameter reaches the surface",
         [](PoreOpt& w) {
             use(*w.get_construction(), hole, 0, 1000, 215.9f);
             add(*w.get_instr(), instr::elem_type::collar, 1, {100}, 178);
             add(*w.get_instr(), instr::elem_type::stand, 1, {400}, 127);
         },
         1000,
         true,
         {{127, 215.9f, 0, 900}, {178, 215.9f, 900, 1000}}},
        {"without the bit the string is laid from the depth",
         [](PoreOpt& w) {
             use(*w.get_construction(), hole, 0, 1000, 215.9f);
             add(*w.get_instr(), instr::elem_type::bit, 1, {0.5f}, 215.9f);
             add(*w.get_instr(), instr::elem_type::collar, 1, {100}, 178);
             add(*w.get_instr(), instr::elem_type::stand, 1, {900}, 127);
         },
         1000,
         false,
         {{127, 215.9f, 0, 900}, {178, 215.9f, 900, 1000}}},
        {"conductor and open hole with a string to the bottom",
         [](PoreOpt& w) {
             use(*w.get_construction(), kond, 0, 500, 300);
             use(*w.get_construction(), hole, 500, 1500, 215.9f);
             add(*w.get_instr(), instr::elem_type::stand, 60, {25}, 127);
         },
         1500,
         true,
         {{127, 300, 0, 500}, {127, 215.9f, 500, 1500}}},
        {"the string is in the hole above a deeper bottom",
         [](PoreOpt& w) {
             use(*w.get_construction(), kond, 0, 500, 300);
             use(*w.get_construction(), hole, 500, 1500, 215.9f);
             add(*w.get_instr(), instr::elem_type::stand, 30, {25}, 127);
         },
         750,
         true,
         {{127, 300, 0, 500}, {127, 215.9f, 500, 750}, {0, 215.9f, 750, 1500}}},
        {"an empty well with no string has no sections", [](PoreOpt&) {}, 100, true, {}},
    };
    for (const Case& c : cases) {
        PoreOpt w;
        c.build(w);
        auto got = sections(w, c.depth, c.with_bit);
        ASSERT_EQ(got.size(), c.sections.size()) << c.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_FLOAT_EQ(got[i].instr_diam, c.sections[i].instr) << c.what << " #" << i;
            EXPECT_FLOAT_EQ(got[i].pore_diam, c.sections[i].pore) << c.what << " #" << i;
            EXPECT_NEAR(got[i].top, c.sections[i].top, 1e-3) << c.what << " #" << i;
            EXPECT_NEAR(got[i].bottom, c.sections[i].bottom, 1e-3) << c.what << " #" << i;
            EXPECT_FALSE(got[i].len_is_null()) << c.what << " #" << i;
        }
    }

    // The realistic well splits at every change of string or bore.
    RealisticWell w;
    auto got = sections(w.well, 2496.3f, true);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].pore_diam, 220.5f);
    EXPECT_NEAR(got[1].bottom, 2400, 1e-3);
    EXPECT_EQ(got[2].instr_diam, 178);
    EXPECT_EQ(got[3].instr_diam, 215.9f);
}

TEST(PoreOpt, AssignmentAndIniFileCarryAllThreeParts) {
    RealisticWell w;
    w.well.get_options()->nomer = "77";
    w.well.get_instr()->set_svecha_size(3);

    PoreOpt copy;
    copy = w.well;
    EXPECT_NE(copy.get_instr(), w.well.get_instr());
    EXPECT_EQ(copy.get_options()->nomer, "77");
    EXPECT_EQ(copy.get_instr()->size(), 3);
    EXPECT_EQ(copy.get_instr()->get_svecha_size(), 3);
    EXPECT_EQ(copy.get_construction()->get_total_len(), 2496.3f);
    w.well.get_construction()->at(hole).bottom = 1;
    EXPECT_EQ(copy.get_construction()->get_total_len(), 2496.3f);

    os::testing::TempDir dir;
    copy.save(dir / "pore.ini");
    PoreOpt back;
    back.load(dir / "pore.ini");
    EXPECT_EQ(back.get_options()->nomer, "77");
    EXPECT_EQ(back.get_options()->strana, "Россия");
    EXPECT_EQ(back.get_instr()->size(), 3);
    EXPECT_EQ(back.get_instr()->get_svecha_size(), 3);
    EXPECT_EQ(back.get_instr()->get(2).count, 96);
    EXPECT_TRUE(back.get_construction()->get_item(tech).enabled);
    EXPECT_FLOAT_EQ(back.get_construction()->get_total_len(), 2496.3f);
    EXPECT_NEAR(back.get_zatrub_volume(2496.3f, 1), copy.get_zatrub_volume(2496.3f, 1), 1e-4);
}
