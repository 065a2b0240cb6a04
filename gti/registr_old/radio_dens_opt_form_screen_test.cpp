// The density meter's settings window on the real screen, worked through
// the X server: a point's value typed into its edit stays as typed, the
// table's two-line heading shows as two lines, and the calibration time
// shows hours and minutes whole.

#include <gtest/gtest.h>

#include <atomic>

#include "gti/registr_old/radio_dens_opt_form.h"
#include "platform/ui/pages.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"

namespace {

using namespace ui;
using ui::testing::Operator;

class RadioDensScreen : public ui::testing::ScreenSuite {};

// Replaces an edit's text through the keyboard, as the operator does.
void retype(Operator& op, TEdit& edit, const std::string& text) {
    op.click_at(op.centre_of(edit));
    op.key("End");
    const std::size_t n = op.ask<std::size_t>([&] { return edit.Text().size(); });
    for (std::size_t i = 0; i < n; ++i) op.key("BackSpace");
    op.type(text);
}

// Dark pixels of the form's picture in the part (window coordinates).
int ink(TCustomForm& f, const TRect& part) {
    const TBitmap& p = f.Picture();
    int n = 0;
    for (int y = part.Top; y < part.Bottom; ++y)
        for (int x = part.Left; x < part.Right; ++x) {
            const TColor c = p.Pixel(x, y);
            n += GetRValue(c) + GetGValue(c) + GetBValue(c) < 200;
        }
    return n;
}

TEST_F(RadioDensScreen, TypedPointsStayAsTypedAndTheTableAndTimeShowWhole) {
    Param p;
    p.name = "Плотность ПЖ на входе (р/а)";
    p.short_name = "Пл.вх.";
    p.units = "г/см3";
    p.channel = 19;
    p.averaging = 30;
    p.points = {{500, 1.0}, {1500, 2.0}};
    p.ext_info.set("half_life", "30");
    p.ext_info.set("last_calibr_time", "45000,5");  // 12:00
    HostData host;
    host.read_channel = [](int) { return 1000; };
    TRadioDensOptForm dlg(nullptr, host);
    std::string time_text;
    int heading_second_line = -1;
    bool ok = false;
    ui::testing::run_with_operator(
        [&] { ok = dlg.execute(p); },
        [&](Operator& op) {
            time_text = op.ask<std::string>([&] { return dlg.dtpCalibrTime->DisplayText(); });
            op.ask<bool>(
                [&] { return ui::testing::save_screen_part(dlg.BoundsRect().Inflate(10, 30), "radio_dens_main.png"); });
            op.ask<bool>([&] {
                dlg.PageControl1->SetActivePage(dlg.tsCalibr);
                return true;
            });
            // The first point, chosen in the table; its value typed anew.
            op.click_at(op.ask<TPoint>([&] {
                const TRect r = dlg.grdCalibrTable->CellRect(0, 1);
                return dlg.grdCalibrTable->ClientToScreen({r.Left + 10, (r.Top + r.Bottom) / 2});
            }));
            EXPECT_TRUE(op.wait_for([&] { return dlg.edCalibrY->Text() == "1,000"; }));
            retype(op, *dlg.edCalibrY, "12,5");
            EXPECT_TRUE(op.wait_for([&] { return dlg.edCalibrY->Text() == "12,5"; }))
                << "typed \"12,5\", the edit shows \"" << op.ask<std::string>([&] { return dlg.edCalibrY->Text(); })
                << "\"";
            EXPECT_TRUE(op.wait_for([&] { return dlg.grdCalibrTable->Cells(1, 1) == "12,500"; }));
            // Its reading typed past the other point's: the point moves down the
            // table, the edit keeps what was typed.
            retype(op, *dlg.edCalibrX, "2000,5");
            EXPECT_TRUE(op.wait_for([&] { return dlg.edCalibrX->Text() == "2000,5"; }))
                << "typed \"2000,5\", the edit shows \"" << op.ask<std::string>([&] { return dlg.edCalibrX->Text(); })
                << "\"";
            EXPECT_TRUE(op.wait_for([&] { return dlg.grdCalibrTable->Row() == 2; }));
            heading_second_line = op.ask<int>([&] {
                const TRect h = dlg.grdCalibrTable->CellRect(1, 0);
                const TPoint o = dlg.grdCalibrTable->ClientToScreen({0, 0}) - TPoint{dlg.Left(), dlg.Top()};
                const TRect lower = Rect(h.Left, h.Top + 2 * h.Height() / 3, h.Right, h.Bottom).Offset(o.x, o.y);
                return ink(dlg, lower);
            });
            op.ask<bool>([&] {
                return ui::testing::save_screen_part(dlg.BoundsRect().Inflate(10, 30), "radio_dens_table.png");
            });
            op.click_at(op.centre_of(*dlg.btnOk));
        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(time_text, "12:00");
    EXPECT_GT(heading_second_line, 20) << "the heading's second line is not drawn under its first";
    ASSERT_EQ(p.points.size(), 2u);
    EXPECT_DOUBLE_EQ(p.points[1].x, 2000.5);
    EXPECT_DOUBLE_EQ(p.points[1].y, 12.5);
}

}  // namespace
