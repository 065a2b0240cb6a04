// The hub's grid windows on the real screen, worked through the X server's
// pointer and keys: a cell refuses a text it cannot hold where it is typed
// and the window tells the operator why; OK with a table that cannot be
// taken says what is wrong and keeps the window; the first Escape closes an
// open cell editor (changed or not) and only the next one cancels.

#include <gtest/gtest.h>

#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/hub_windows.h"
#include "gti/registr_old/min_max_values.h"
#include "gti/registr_old/race_info.h"
#include "library/options/grid_options.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"

namespace {

using namespace ui;
using ui::testing::Operator;

class HubGridsScreen : public ui::testing::ScreenSuite {
protected:
    void first_escape_closes_the_editor(const std::string& grab_prefix);
};

// What the window tells the operator, waited for; empty when it said
// nothing.
std::string told(Operator& op, reg::HubGridWindow& w) {
    if (!op.wait_for([&] { return w.pnlMessage->Visible(); }, 10000)) {
        ADD_FAILURE() << "the window said nothing";
        return {};
    }
    return op.ask<std::string>([&] { return w.lblMessage->Caption(); });
}

TPoint cell_on_screen(widrak::TMyGrid* grid, int c, int r) {
    const TRect rc = grid->CellRect(c, r);
    return grid->ClientToScreen({(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
}

// A click that puts the keys on the cell, again when the first went to the
// window manager.
void click_cell(Operator& op, widrak::TMyGrid* grid, int c, int r) {
    for (int i = 0; i < 5; ++i) {
        op.click_at(op.ask<TPoint>([&] { return cell_on_screen(grid, c, r); }));
        if (op.wait_for(
                [&] {
                    if (grid->Col() != c || grid->Row() != r) return false;
                    const TInplaceEdit* e = grid->InplaceEditor();
                    return grid->Focused() || (e && e->Focused());
                },
                5000))
            return;
    }
    ADD_FAILURE() << "the keys never came to cell " << c << "," << r;
}

bool still_open(Operator& op, TCustomForm& w) {
    return !op.wait_for([&] { return w.ModalResult() != mrNone || !w.Visible(); }, 500);
}

std::vector<std::string> ini_lines(const MinMaxValues& limits) {
    std::vector<std::string> lines;
    for (const MinMaxValue& v : limits.rows()) {
        AnsiString line;
        v.get_ini_line(line);
        lines.push_back(line);
    }
    return lines;
}

TEST_F(HubGridsScreen, AlarmLimitsRefuseTextThatIsNoNumberAndCrossedLimits) {
    MinMaxValues limits;
    reg::AlarmLimitsWindow w(nullptr, limits);
    widrak::TMyGrid* grid = w.Grid;
    const int pressure = 1, level = 2;
    ASSERT_EQ(grid->Cells(0, level), "Уровень-1");
    ASSERT_EQ(grid->Cells(2, level), "1,9");
    ASSERT_EQ(grid->Cells(0, pressure), "Давление ПЖ на входе");
    std::string refusal, crossed;
    bool ok = false;
    ui::testing::run_with_operator([&] { ok = w.execute(); }, [&](Operator& op) {
        // "abc" over the level's maximum, taken with Enter: refused there.
        click_cell(op, grid, 2, level);
        op.type("abc");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(2, level) == "abc"; }));
        op.key("Return");
        refusal = told(op, w);
        ui::testing::save_screen_part(w.BoundsRect().Inflate(4, 30), "alarm_limits_abc_refused.png");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(2, level) == "1,9"; }))
            << op.ask<std::string>([&] { return grid->Cells(2, level); });
        EXPECT_TRUE(still_open(op, w));
        // A minimum of 300 under the pressure's maximum of 200: OK names
        // the row and the window stays.
        click_cell(op, grid, 1, pressure);
        op.type("300");
        op.key("Return");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(1, pressure) == "300"; }));
        op.click_at(op.centre_of(*w.btnOk));
        crossed = told(op, w);
        EXPECT_TRUE(still_open(op, w)) << "OK took limits that cross";
        ui::testing::save_screen_part(w.BoundsRect().Inflate(4, 30), "alarm_limits_refused.png");
        // Corrected, the table is taken.
        click_cell(op, grid, 1, pressure);
        op.type("150");
        op.key("Return");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(1, pressure) == "150"; }));
        op.click_at(op.centre_of(*w.btnOk));
    });
    EXPECT_TRUE(ok);
    EXPECT_NE(refusal.find("\"abc\" — не число"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("\"Уровень-1\""), std::string::npos) << refusal;
    EXPECT_NE(crossed.find("\"Давление ПЖ на входе\""), std::string::npos) << crossed;
    EXPECT_NE(crossed.find("300 > 200"), std::string::npos) << crossed;
    const MinMaxValue& l = *limits.find("уровень_в_емкости");
    EXPECT_TRUE(l.max_on);
    EXPECT_FLOAT_EQ(l.max, 1.9f);
    const MinMaxValue& p = *limits.find("давление_на_входе");
    EXPECT_TRUE(p.min_on);
    EXPECT_FLOAT_EQ(p.min, 150);
    EXPECT_FLOAT_EQ(p.max, 200);
}

TEST_F(HubGridsScreen, AlarmLimitsCancelledAfterARefusalKeepTheTable) {
    MinMaxValues limits;
    const std::vector<std::string> before = ini_lines(limits);
    reg::AlarmLimitsWindow w(nullptr, limits);
    widrak::TMyGrid* grid = w.Grid;
    bool ok = true;
    ui::testing::run_with_operator([&] { ok = w.execute(); }, [&](Operator& op) {
        click_cell(op, grid, 2, 2);
        op.type("abc");
        op.key("Tab");  // leaving the cell is refused as Enter is
        EXPECT_NE(told(op, w).find("не число"), std::string::npos);
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(2, 2) == "1,9" && grid->Col() == 2; }));
        click_cell(op, grid, 1, 1);
        op.type("300");
        op.key("Return");
        op.click_at(op.centre_of(*w.btnOk));
        EXPECT_NE(told(op, w).find("300 > 200"), std::string::npos);
        // The editor is closed: the first Escape cancels.
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return w.ModalResult() == mrCancel || !w.Visible(); }));
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(ini_lines(limits), before);
}

TEST_F(HubGridsScreen, DepthCalibrationRefusesBadCellsIntervalsAndSaysWhenNothingIsCalibrated) {
    calc::DepthCalc calc("DepthCalc");
    calc.set_counter(0, 900);  // 100 pulses a metre in the first interval
    const auto before = calc.get_rows();
    bool ok = true;
    std::string refusal, order;
    {
        reg::DepthCalibrationWindow w(nullptr, calc);
        widrak::TMyGrid* grid = w.Grid;
        ui::testing::run_with_operator([&] { ok = w.execute(); }, [&](Operator& op) {
            click_cell(op, grid, 2, 1);
            op.type("abc");
            op.key("Return");
            refusal = told(op, w);
            EXPECT_TRUE(op.wait_for([&] { return grid->Cells(2, 1) == "100,0"; }));
            // The second interval typed from 5 to 9 m: OK names it.
            click_cell(op, grid, 0, 2);
            op.type("5");
            op.key("Return");
            EXPECT_TRUE(op.wait_for([&] { return grid->Cells(0, 2) == "5"; }));
            op.click_at(op.centre_of(*w.btnOk));
            order = told(op, w);
            ui::testing::save_screen_part(w.BoundsRect().Inflate(4, 30), "depth_calibration_order.png");
            EXPECT_TRUE(still_open(op, w)) << "OK took an interval in the wrong order";
            op.key("Escape");
            EXPECT_TRUE(op.wait_for([&] { return w.ModalResult() == mrCancel || !w.Visible(); }));
        });
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(calc.get_rows(), before);
    EXPECT_NE(refusal.find("\"abc\" — не число"), std::string::npos) << refusal;
    EXPECT_NE(order.find("Интервал 2 (5 → 9,0 м)"), std::string::npos) << order;

    // Every coefficient made 0: said before it is taken, the window stays;
    // OK again takes the table.
    std::string said;
    {
        reg::DepthCalibrationWindow w(nullptr, calc);
        widrak::TMyGrid* grid = w.Grid;
        ui::testing::run_with_operator([&] { ok = w.execute(); }, [&](Operator& op) {
            click_cell(op, grid, 2, 1);
            op.type("0");
            op.key("Return");
            EXPECT_TRUE(op.wait_for([&] { return grid->Cells(2, 1) == "0"; }));
            op.click_at(op.centre_of(*w.btnOk));
            said = told(op, w);
            EXPECT_TRUE(still_open(op, w));
            ui::testing::save_screen_part(w.BoundsRect().Inflate(4, 30), "depth_calibration_uncalibrated.png");
            op.click_at(op.centre_of(*w.btnOk));
        });
    }
    EXPECT_TRUE(ok);
    EXPECT_NE(said.find("не откалиброван"), std::string::npos) << said;
    EXPECT_FALSE(calc.is_calibrated());
}

int row_of(reg::RaceInfoWindow& w, const std::string& full_name) {
    for (int row = 0; row < w.Grid->RowCount(); ++row) {
        lib::MetaClassPointer p = w.editor().get_item_by_index(row);
        if (p && p->get_full_name() == full_name) return row;
    }
    return -1;
}

void HubGridsScreen::first_escape_closes_the_editor(const std::string& grab_prefix) {
    RaceInfoOld race;
    race.race_num = 12;
    race.bit_number = "А-117";
    reg::RaceInfoWindow w(nullptr, race, 0);
    widrak::TMyGrid* grid = w.Grid;
    const int bit_type = row_of(w, "рейс_долото.тип_долота");
    const int bit_number = row_of(w, "рейс_долото.номер_долота");
    const int drilling = row_of(w, "рейс_главн.способ_бурения2");
    ASSERT_EQ(bit_number, bit_type + 1);
    ASSERT_GT(drilling, 0);
    auto editor_up = [grid] { return grid->InplaceEditor() && grid->InplaceEditor()->Visible(); };
    bool ok = false;
    ui::testing::run_with_operator([&] { ok = w.execute(); }, [&](Operator& op) {
        // Typed, Enter, Tab: the editor Tab opened is up and unchanged.
        click_cell(op, grid, 3, bit_type);
        op.key("ctrl+a");
        op.type("III-215,9");
        op.key("Return");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(3, bit_type) == "III-215,9"; }));
        op.key("Tab");
        ASSERT_TRUE(op.wait_for([&] { return grid->Row() == bit_number && editor_up(); }));
        // The first Escape closes it and nothing else.
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return !editor_up(); })) << "Escape left the editor up";
        EXPECT_TRUE(still_open(op, w)) << "the first Escape cancelled the window";
        // The list's box, unchanged, is closed by the first Escape too.
        click_cell(op, grid, 3, drilling);
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->Visible(); }));
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return !grid->ComboBox()->Visible(); })) << "Escape left the box open";
        EXPECT_TRUE(still_open(op, w)) << "Escape on the list's cell cancelled the window";
        ui::testing::save_screen_part(w.BoundsRect().Inflate(4, 30), grab_prefix + ".png");
        op.click_at(op.centre_of(*w.btnOk));
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(race.bit_type, "III-215,9");
    EXPECT_EQ(race.bit_number, "А-117");

    // With no editor up, Escape cancels.
    RaceInfoOld other;
    reg::RaceInfoWindow again(nullptr, other, 0);
    ui::testing::run_with_operator([&] { ok = again.execute(); }, [&](Operator& op) {
        click_cell(op, again.Grid, 3, bit_type);
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] {
            return !(again.Grid->InplaceEditor() && again.Grid->InplaceEditor()->Visible());
        }));
        EXPECT_TRUE(still_open(op, again));
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return again.ModalResult() == mrCancel || !again.Visible(); }))
            << "Escape with no editor up did not cancel";
    });
    EXPECT_FALSE(ok);
}

TEST_F(HubGridsScreen, FirstEscapeClosesOnlyTheCellEditorWithoutAWindowManager) {
    first_escape_closes_the_editor("first_escape_bare");
}

TEST_F(HubGridsScreen, FirstEscapeClosesOnlyTheCellEditorUnderAWindowManager) {
    ASSERT_TRUE(with_window_manager());
    first_escape_closes_the_editor("first_escape_wm");
}

}  // namespace
