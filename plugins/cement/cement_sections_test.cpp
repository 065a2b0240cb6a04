#include "plugins/cement/cement_sections.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

pore::PoreSection section(float inner, float outer, float top, float bottom) {
    pore::PoreSection s;
    s.instr_diam = inner;
    s.pore_diam = outer;
    s.top = top;
    s.bottom = bottom;
    return s;
}

TEST(CementSections, MergeJoinsEqualDiametersAndDropsAShortTail) {
    std::vector<pore::PoreSection> s = {section(114, 216, 0, 100), section(114.005f, 216, 100, 250),
                                        section(0, 216, 250, 300), section(0, 190, 300, 300.005f)};
    cement::merge_sections(s);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].top, 0);
    EXPECT_EQ(s[0].bottom, 250);
    EXPECT_EQ(s[1].instr_diam, 0);
    EXPECT_EQ(s[1].bottom, 300);
    std::vector<pore::PoreSection> none;
    cement::merge_sections(none);
    EXPECT_TRUE(none.empty());
}

TEST(CementSections, CalcCopiesOuterFirstAndNamesBadWells) {
    SectionsResult r;
    Cement_calc({section(114, 216, 0, 100), section(0, 190, 100, 200)}, r);
    ASSERT_EQ(r.items.size(), 2u);
    EXPECT_EQ(r.items[0].outer_diameter, 216);
    EXPECT_EQ(r.items[0].inner_diameter, 114);

    try {
        Cement_calc({section(114, 216, 0, 0)}, r);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Общая длина всех секций = 0");
        EXPECT_TRUE(r.items.empty());
    }
    try {
        Cement_calc({section(114, 216, 0, 100), section(0, 0, 100, 200), section(0, 190, 200, 300)}, r);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Внешний диаметр секции = 0");
        EXPECT_EQ(r.items.size(), 1u);
    }
}

}  // namespace
