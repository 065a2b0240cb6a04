#include "plugins/cement/cement_sections.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/ui/canvas.h"
#include "platform/ui/graphics.h"

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

TEST(CementSections, SectionsWithoutLengthAreNoRows) {
    SectionsResult r;
    // A section of no length and one upside down between two real ones: the
    // rows are the real ones, and the upside-down one does not shrink the
    // length the rows share.
    Cement_calc({section(114, 216, 0, 100), section(114, 245, 100, 100), section(0, 245, 180, 120),
                 section(0, 190, 100, 300)},
                r);
    ASSERT_EQ(r.items.size(), 2u);
    EXPECT_EQ(r.items[1].bottom, 300);
    for (const auto& it : r.items) EXPECT_GT(it.bottom - it.top, 0);
    // Only sections upside down: no length at all.
    EXPECT_THROW(Cement_calc({section(114, 216, 100, 0)}, r), std::runtime_error);
    EXPECT_TRUE(r.items.empty());

    // Row heights follow the lengths against the deepest bottom; nothing to
    // size by gives no rows, never a division by zero.
    SectionsResult two;
    two.items = {{216, 114, 0, 100}, {190, 0, 100, 300}};
    EXPECT_EQ(cement::profile_row_heights(two, 301, 1), (std::vector<int>{99, 199}));
    SectionsResult flat;
    flat.items = {{216, 114, 0, 0}};
    EXPECT_TRUE(cement::profile_row_heights(flat, 300, 1).empty());
    EXPECT_TRUE(cement::profile_row_heights(SectionsResult{}, 300, 1).empty());
}

TEST(CementSections, ProfileCellsDrawWallsStepsAndDepths) {
    SectionsResult r;
    r.items = {{216, 114, 0, 100}, {190, 0, 100, 300}};
    ui::TBitmap bmp(100, 300);
    auto& c = bmp.Canvas();
    draw_profile_cell(r, c, 0, 0, ui::Rect(0, 0, 60, 100), 9);
    draw_profile_cell(r, c, 0, 1, ui::Rect(0, 100, 60, 300), 9);
    draw_profile_cell(r, c, 1, 1, ui::Rect(60, 100, 100, 300), 9);
    // The axis at 30, D = 216 * 1.1: outer walls of the upper section at
    // 30 -/+ 27, the pipe at 30 -/+ 14; the lower section has no pipe.
    EXPECT_EQ(c.Pixel(3, 50), ui::clBlack);
    EXPECT_EQ(c.Pixel(57, 50), ui::clBlack);
    EXPECT_EQ(c.Pixel(16, 50), ui::clBlack);
    EXPECT_EQ(c.Pixel(44, 50), ui::clBlack);
    EXPECT_NE(c.Pixel(16, 200), ui::clBlack);
    EXPECT_EQ(c.Pixel(30, 150), ui::clWhite);  // the open bore
    // Cells beyond the result and a result with no diameters only clear.
    SectionsResult none;
    none.items = {{0, 0, 0, 10}};
    draw_profile_cell(none, c, 0, 0, ui::Rect(0, 0, 60, 100), 9);
    draw_profile_cell(r, c, 0, 7, ui::Rect(0, 0, 60, 100), 9);
    draw_profile_cell(r, c, 0, -1, ui::Rect(0, 0, 60, 100), 9);
    EXPECT_EQ(c.Pixel(3, 50), ui::clWhite);
    bool depth_text = false;
    for (int y = 100; y < 300; ++y)
        for (int x = 60; x < 100; ++x) depth_text = depth_text || c.Pixel(x, y) == ui::clBlack;
    EXPECT_TRUE(depth_text);
}

}  // namespace
