// "Сведения о рейсе" on the real screen, worked through the X server with
// and without a window manager as the operator works it: Enter ends a
// cell's edit with its text and leaves the window open, Tab and Shift+Tab go
// from value to value, Escape abandons the edit before it cancels the
// window, a value chosen from a cell's drop-down list is taken by Enter
// with the window still open, and OK writes the values into the trip.

#include <gtest/gtest.h>

#include "gti/registr_old/hub_windows.h"
#include "gti/registr_old/race_info.h"
#include "library/options/grid_options.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"

namespace {

using namespace ui;
using ui::testing::Operator;

class TripWindowScreen : public ui::testing::ScreenSuite {
protected:
    void edit_the_trip(const std::string& grab_prefix);
};

int row_of(reg::RaceInfoWindow& w, const std::string& full_name) {
    for (int row = 0; row < w.Grid->RowCount(); ++row) {
        lib::MetaClassPointer p = w.editor().get_item_by_index(row);
        if (p && p->get_full_name() == full_name) return row;
    }
    return -1;
}

void TripWindowScreen::edit_the_trip(const std::string& grab_prefix) {
    RaceInfoOld race;
    race.race_num = 12;
    race.bit_number = "А-117";
    reg::RaceInfoWindow w(nullptr, race, 0);
    widrak::TMyGrid* grid = w.Grid;
    const int operators = row_of(w, "рейс_главн.оператор");
    const int drilling = row_of(w, "рейс_главн.способ_бурения2");
    const int bit_type = row_of(w, "рейс_долото.тип_долота");
    const int bit_number = row_of(w, "рейс_долото.номер_долота");
    const int diameter = row_of(w, "рейс_долото.диаметр_долота");
    ASSERT_GT(operators, 0);
    ASSERT_EQ(drilling, operators + 1);
    ASSERT_EQ(bit_number, bit_type + 1);
    ASSERT_EQ(diameter, bit_number + 1);
    auto cell = [grid](int c, int r) {
        const TRect rc = grid->CellRect(c, r);
        return grid->ClientToScreen({(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
    };
    auto editing = [grid](int row) {
        return grid->Row() == row && grid->Col() == 3 && grid->InplaceEditor() && grid->InplaceEditor()->Focused();
    };
    auto still_open = [&](Operator& op) {
        return !op.wait_for([&] { return w.ModalResult() != mrNone || !w.Visible(); }, 500);
    };
    bool ok = false;
    ui::testing::run_with_operator([&] { ok = w.execute(); }, [&](Operator& op) {
        // A typed value, then Enter: the cell takes it, the window stays.
        // (A window manager may take the first click to give the window
        // the focus.)
        bool in_cell = false;
        for (int i = 0; i < 5 && !in_cell; ++i) {
            op.click_at(op.ask<TPoint>([&] { return cell(3, diameter); }));
            in_cell = op.wait_for([&] { return editing(diameter); }, 10000);
        }
        ASSERT_TRUE(in_cell);
        op.key("ctrl+a");
        op.type("215,9");
        op.key("Return");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(3, diameter) == "215,9"; }));
        EXPECT_TRUE(still_open(op)) << "Enter in the cell closed the window";
        EXPECT_TRUE(op.ask<bool>([&] { return editing(diameter); })) << "Enter left the grid";

        // Tab and Shift+Tab go to the next and the former value.
        op.key("shift+Tab");
        EXPECT_TRUE(op.wait_for([&] { return editing(bit_number); }))
            << "Shift+Tab: row " << op.ask<int>([&] { return grid->Row(); }) << ", column "
            << op.ask<int>([&] { return grid->Col(); });
        op.key("shift+Tab");
        EXPECT_TRUE(op.wait_for([&] { return editing(bit_type); }));
        op.type("III-215,9 M-GV");
        op.key("Tab");
        EXPECT_TRUE(op.wait_for([&] { return editing(bit_number); }))
            << "Tab: row " << op.ask<int>([&] { return grid->Row(); }) << ", column "
            << op.ask<int>([&] { return grid->Col(); });
        EXPECT_EQ(op.ask<std::string>([&] { return grid->Cells(3, bit_type); }), "III-215,9 M-GV");

        // Escape abandons the edit, closes the editor and leaves the window
        // open.
        op.type("B-20");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(3, bit_number) == "B-20"; }));
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(3, bit_number) == "А-117"; }));
        EXPECT_TRUE(op.wait_for([&] { return !grid->InplaceEditor()->Visible(); })) << "Escape left the editor up";
        EXPECT_TRUE(still_open(op)) << "Escape closed the window before it abandoned the edit";

        // The drilling method's list: opened with a click, an item chosen by
        // the keys, Enter takes it and the window stays.
        op.click_at(op.ask<TPoint>([&] { return cell(3, drilling); }));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->Visible(); }));
        op.click_at(op.centre_of(*grid->ComboBox()));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->DroppedDown(); })) << "the list did not drop down";
        op.key("Down");
        op.key("Return");
        EXPECT_TRUE(op.wait_for([&] { return !grid->ComboBox()->DroppedDown(); }));
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(3, drilling) == "Турбинное"; }))
            << op.ask<std::string>([&] { return grid->Cells(3, drilling); });
        EXPECT_TRUE(still_open(op)) << "Enter in the list closed the window";
        // Enter again, the list closed: the cell's edit ends, the window stays.
        op.key("Return");
        EXPECT_TRUE(still_open(op)) << "Enter in the list's cell closed the window";
        EXPECT_EQ(op.ask<std::string>([&] { return grid->Cells(3, drilling); }), "Турбинное");

        // A choice by the mouse, then Escape: the list's choice is abandoned
        // and the box closes, the window stays; a click on the cell brings
        // the box back, and Escape closes the list opened again before
        // anything else.
        op.click_at(op.ask<TPoint>([&] { return cell(3, drilling); }));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->DroppedDown(); }));
        const int h = op.ask<int>([&] { return grid->ComboBox()->ItemHeight(); });
        const TRect shown =
            op.ask<TRect>([&] { return grid->ComboBox()->PopupRect().Offset(w.Left(), w.Top()); });
        op.click_at({shown.Left + 30, shown.Top + 1 + 4 * h + h / 2});  // "Аварийные работы"
        EXPECT_TRUE(op.wait_for([&] { return grid->ComboBox()->Text() == "Аварийные работы"; }))
            << op.ask<std::string>([&] { return grid->ComboBox()->Text(); });
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return !grid->ComboBox()->Visible(); })) << "Escape left the box open";
        EXPECT_TRUE(still_open(op)) << "Escape in the list's cell closed the window";
        EXPECT_EQ(op.ask<std::string>([&] { return grid->Cells(3, drilling); }), "Турбинное");
        op.click_at(op.ask<TPoint>([&] { return cell(3, drilling); }));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->Visible(); })) << "a click did not bring the box back";
        EXPECT_EQ(op.ask<std::string>([&] { return grid->ComboBox()->Text(); }), "Турбинное");
        op.click_at(op.centre_of(*grid->ComboBox()));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->DroppedDown(); }));
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return !grid->ComboBox()->DroppedDown(); }));
        EXPECT_TRUE(still_open(op)) << "Escape with the list open closed the window";
        // Tab leaves the list's cell for the next value.
        op.key("Tab");
        EXPECT_TRUE(op.wait_for([&] { return grid->Row() > drilling && grid->InplaceEditor()->Focused(); }))
            << "Tab: row " << op.ask<int>([&] { return grid->Row(); });

        ui::testing::save_screen_part(w.BoundsRect().Inflate(4, 30), grab_prefix + "_window.png");
        op.click_at(op.centre_of(*w.btnOk));
    });
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(race.bit_diameter, 215.9);
    EXPECT_EQ(race.bit_type, "III-215,9 M-GV");
    EXPECT_EQ(race.bit_number, "А-117");
    EXPECT_EQ(race.drill_type, RaceInfoOld::turbine);
    EXPECT_EQ(race.race_num, 12);
}

TEST_F(TripWindowScreen, OperatorEditsTheTripWithoutAWindowManager) { edit_the_trip("trip_info_bare"); }

TEST_F(TripWindowScreen, OperatorEditsTheTripUnderAWindowManager) {
    ASSERT_TRUE(with_window_manager());
    edit_the_trip("trip_info_wm");
}

}  // namespace
