// The chart view on a form: a live chart keeps its newest data in view as
// the data grow, the wheel scrolls away (and the view stops following) and
// back (following again), and the mouse reaches the sheet's hit areas.

#include <gtest/gtest.h>

#include "library/graphics/chart_view.h"
#include "library/graphics/graphics_column.h"
#include "library/graphics/testdata/chart_source.h"
#include "platform/ui/forms.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib::graphics {
namespace {

TEST(ChartView, FollowsTheNewestDataUntilScrolledAway) {
    ui::TForm form(nullptr);
    form.SetBounds(0, 0, 600, 500);
    auto* view = new ChartView(&form);
    view->SetParent(&form);
    view->SetAlign(ui::alClient);
    testing::ChartSource src;
    auto column = std::make_shared<GraphicsColumn>(&view->sheet(), "Нагрузки");
    src.bind(*column);
    column->add_curve("Вес", "вес", 0, 200, ui::clBlue, 2);
    view->sheet().add_column(column);
    view->sheet().set_scale(1.0 / 1440);  // a minute a centimetre
    form.Show();

    auto grow = [&](int minutes) {
        testing::Series& s = src.series("вес");
        for (int i = 0; i < minutes * 12; ++i) s.add(45000 + double(s.pos.size()) * 5 / 86400, 100);
        view->data_changed();
    };
    auto at_end = [&] {
        int position = 0, max = 0, page = 0;
        ui::TBitmap b(1, 1);
        EXPECT_TRUE(view->sheet().get_scroll_bar_values(position, max, page, &b.Canvas(), view->ClientRect()));
        return view->sheet().get_offset() == std::max(0, max);
    };

    grow(5);  // shorter than the page: nothing to scroll
    EXPECT_EQ(view->sheet().get_offset(), 0);
    grow(60);
    EXPECT_GT(view->sheet().get_offset(), 0);
    EXPECT_TRUE(at_end());

    ui::TestDriver driver;
    driver.Wheel(*view, 3);  // away from the user: back in time
    EXPECT_FALSE(view->following());
    const int kept = view->sheet().get_offset();
    grow(10);
    EXPECT_EQ(view->sheet().get_offset(), kept) << "a view scrolled away jumped to the end";

    driver.Wheel(*view, -100);
    EXPECT_TRUE(view->following());
    grow(10);
    EXPECT_TRUE(at_end());
}

TEST(ChartView, ClicksReachTheSheetsHitAreas) {
    ui::TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    auto* view = new ChartView(&form);
    view->SetParent(&form);
    view->SetAlign(ui::alClient);
    form.Show();
    int clicks = 0, doubles = 0;
    view->sheet().on_paint_column = nullptr;
    RectArea area(ui::Rect(10, 10, 100, 100), std::any(7));
    area.on_click = [&](const std::any& d, const ui::TPoint&) { clicks += std::any_cast<int>(d); };
    area.on_dblclick = [&](const std::any&, const ui::TPoint&) { ++doubles; };
    area.set_cursor(ui::crHandPoint);
    view->sheet().get_mouse_events().add_object(area);

    ui::TestDriver driver;
    driver.MoveTo(*view, {50, 50});
    EXPECT_EQ(view->Cursor(), ui::crHandPoint);
    driver.Click(*view, {50, 50});
    EXPECT_EQ(clicks, 7);
    driver.DoubleClick(*view, {50, 50});
    EXPECT_EQ(doubles, 1);
    driver.Click(*view, {200, 200});  // beside the area
    EXPECT_EQ(clicks, 7 + 7);         // the double click's first press is a click
}

}  // namespace
}  // namespace lib::graphics
