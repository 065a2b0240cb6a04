// The hub's windows driven as the operator drives them: cells typed into,
// check marks clicked, OK and Cancel; and the grids and drawings behind them.

#include "gti/registr_old/hub_windows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/min_max_values.h"
#include "gti/registr_old/pore_construction.h"
#include "gti/registr_old/race_info.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/text_storage.h"
#include "library/options/grid_options.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/ui/application.h"
#include "platform/ui/canvas.h"
#include "platform/ui/display.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/picture_testing.h"

namespace {

using namespace ui;
using namespace reg;

std::string png(const std::string& name) {
    const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "hub_windows_png";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

HeadlessDisplay& headless() { return *headless_display(); }

TPoint cell_centre(TStringGrid* g, int c, int r) {
    const TRect rc = g->CellRect(c, r);
    return {(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2};
}

// Types the text into the cell as the operator does: a click on it, the
// first key replacing the old text, Enter.
void type_cell(TestDriver& drv, TStringGrid* g, int c, int r, const std::string& text) {
    drv.Click(*g, cell_centre(g, c, r));
    drv.Type(text.empty() ? " " : text);
    if (text.empty()) drv.Press(VK_BACK);
    drv.Press(VK_RETURN);
}

// The table as an untouched OK leaves it: off limits and unused relay
// limits read back as the grid gives them.
MinMaxValues through_the_grid(MinMaxValues limits) {
    TStringGrid g(nullptr);
    limits.fill_to_grid(&g);
    limits.read_from_grid(&g);
    return limits;
}

// The table as its INI lines, the form the station's file keeps.
std::vector<std::string> ini_lines(const MinMaxValues& limits) {
    std::vector<std::string> lines;
    for (const MinMaxValue& v : limits.rows()) {
        AnsiString line;
        v.get_ini_line(line);
        lines.push_back(line);
    }
    return lines;
}

void pump() {
    while (main_queue().process_messages() > 0) {}
}

// ---- the depth sensor's calibration -------------------------------------------------

TEST(DepthCalcGrid, MarksColumnGivesIntervalsAndTooFewMarksChangeNothing) {
    calc::DepthCalc calc("DepthCalc");
    TStringGrid grid(nullptr);
    grid.SetColCount(1);
    calc.set_counter(0, 900);
    calc.set_opts_to_grid(&grid);
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Cells(0, 0), "27,0");
    EXPECT_EQ(grid.Cells(0, 3), "0,0");

    grid.SetRowCount(6);
    grid.SetCells(0, 0, " 30 ");
    grid.SetCells(0, 1, "");  // blank cells are skipped
    grid.SetCells(0, 2, "20,5");
    grid.SetCells(0, 3, "10");
    grid.SetCells(0, 4, "0");
    grid.SetCells(0, 5, "");
    calc.get_opts_from_grid(&grid);
    ASSERT_EQ(calc.size(), 3);
    EXPECT_FLOAT_EQ(calc.get_depth1(0), 30);
    EXPECT_FLOAT_EQ(calc.get_depth2(0), 20.5f);
    EXPECT_FLOAT_EQ(calc.get_depth2(2), 0);
    EXPECT_FLOAT_EQ(calc.item(0).coeff, 0);

    TStringGrid one(nullptr);
    one.SetRowCount(2);
    one.SetCells(0, 0, "12");
    EXPECT_THROW(calc.get_opts_from_grid(&one), std::runtime_error);
    EXPECT_EQ(calc.size(), 3);
    EXPECT_FLOAT_EQ(calc.get_depth1(0), 30);
}

TEST(DepthCalcWindow, TypedCoefficientReachesTheTableOnOkOnly) {
    calc::DepthCalc calc("DepthCalc");
    calc.set_counter(0, 1000);  // 111.11 pulses a metre, shown "111,1"
    TestDriver drv;
    for (bool ok : {false, true}) {
        DepthCalibrationWindow w(nullptr, calc);
        ASSERT_EQ(w.Grid->RowCount(), 4);
        EXPECT_EQ(w.Grid->Cells(2, 0), "Коэф.ДОЛ,\nимп/м");
        EXPECT_EQ(w.Grid->Cells(0, 2), "18,0");
        headless().ExpectModal([&](TCustomForm&) {
            type_cell(drv, w.Grid, 2, 2, "105,5");
            type_cell(drv, w.Grid, 1, 3, "1");
            drv.Click(ok ? *w.btnOk : *w.btnCancel);
        });
        EXPECT_EQ(w.execute(), ok);
        EXPECT_FLOAT_EQ(calc.item(1).coeff, ok ? 105.5f : 0.0f);
        EXPECT_FLOAT_EQ(calc.get_depth2(2), ok ? 1.0f : 0.0f);
        // Untouched, the row keeps its digits.
        EXPECT_FLOAT_EQ(calc.item(0).coeff, 1000.0f / 9);
    }
    EXPECT_EQ(headless().PendingScripts(), 0);
}

TEST(DepthCalcWindow, CellsThatAreNoNumberAreRefusedWhereTyped) {
    calc::DepthCalc calc("DepthCalc");
    calc.set_counter(0, 1000);
    const auto before = calc.get_rows();
    TestDriver drv;
    DepthCalibrationWindow w(nullptr, calc);
    std::vector<std::string> told;
    headless().ExpectModal([&](TCustomForm&) {
        type_cell(drv, w.Grid, 2, 1, "abc");
        EXPECT_EQ(w.Grid->Cells(2, 1), "111,1");
        told.push_back(w.lblMessage->Caption());
        type_cell(drv, w.Grid, 0, 2, "");  // an end left blank
        EXPECT_EQ(w.Grid->Cells(0, 2), "18,0");
        told.push_back(w.lblMessage->Caption());
        drv.Press(VK_ESCAPE);
        drv.Click(*w.btnOk);
    });
    ASSERT_TRUE(w.execute());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find("\"abc\" — не число"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("\"Коэф.ДОЛ, имп/м\" интервала 1"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("Пустая ячейка"), std::string::npos) << told[1];
    EXPECT_EQ(calc.get_rows(), before);
}

TEST(DepthCalcWindow, OkNamesAnIntervalInTheWrongOrderOrOverlappingAnother) {
    struct Case {
        int col, row;
        const char* text;
        const char* said;
        int shown_row;  // where the keys are put
    };
    const Case cases[] = {
        {0, 2, "5", "Интервал 2 (5 → 9,0 м): его концы в неверном порядке", 2},
        {0, 2, "9", "Интервал 2 (9 → 9,0 м): его концы в неверном порядке", 2},
        {0, 3, "12", "Интервалы 2 (18,0 → 9,0 м) и 3 (12 → 0,0 м) перекрываются", 3},
        {1, 1, "3", "Интервалы 1 (27,0 → 3 м) и 2 (18,0 → 9,0 м) перекрываются", 2},
    };
    TestDriver drv;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        calc::DepthCalc calc("DepthCalc");
        calc.set_counter(0, 1000);
        const auto before = calc.get_rows();
        DepthCalibrationWindow w(nullptr, calc);
        headless().ExpectModal([&](TCustomForm& form) {
            type_cell(drv, w.Grid, c.col, c.row, c.text);
            drv.Click(*w.btnOk);
            EXPECT_EQ(form.ModalResult(), mrNone) << "OK took the table";
            EXPECT_EQ(w.lblMessage->Caption().rfind(c.said, 0), 0u) << w.lblMessage->Caption();
            EXPECT_EQ(w.Grid->Row(), c.shown_row);
            drv.Click(*w.btnCancel);
        });
        EXPECT_FALSE(w.execute());
        EXPECT_EQ(calc.get_rows(), before);
    }
}

TEST(DepthCalcWindow, ATableWithoutACalibratedIntervalIsSaidBeforeItIsTaken) {
    TestDriver drv;
    calc::DepthCalc calc("DepthCalc");
    calc.set_counter(0, 1000);
    DepthCalibrationWindow w(nullptr, calc);
    headless().ExpectModal([&](TCustomForm& form) {
        type_cell(drv, w.Grid, 2, 1, "0");
        drv.Click(*w.btnOk);
        EXPECT_EQ(form.ModalResult(), mrNone) << "taken unsaid";
        EXPECT_NE(w.lblMessage->Caption().find("не откалиброван"), std::string::npos) << w.lblMessage->Caption();
        // A change asks again; the second OK on the same table takes it.
        type_cell(drv, w.Grid, 2, 2, "0,0");
        EXPECT_FALSE(w.pnlMessage->Visible());
        drv.Click(*w.btnOk);
        EXPECT_EQ(form.ModalResult(), mrNone);
        drv.Click(*w.btnOk);
    });
    EXPECT_TRUE(w.execute());
    EXPECT_FALSE(calc.is_calibrated());
}

// ---- the well construction ---------------------------------------------------------------

pore::Construction sample_construction() {
    pore::Construction c;
    pore::ConstrElement& kond = c.at(1);
    kond.enabled = true;
    kond.top = 0;
    kond.bottom = 500;
    kond.inner_diameter = 300;
    kond.outer_diameter = 324;
    pore::ConstrElement& tech = c.at(7);
    tech.enabled = true;
    tech.top = 0;
    tech.bottom = 1200;
    tech.inner_diameter = 244.5f;
    tech.outer_diameter = 273;
    pore::ConstrElement& hole = c.at(8);
    hole.enabled = true;
    hole.top = 1200;
    hole.bottom = 2100;
    hole.inner_diameter = 215.9f;
    // Stored numbers of an element out of use: they come back with its mark.
    pore::ConstrElement& col1 = c.at(2);
    col1.top = 100;
    col1.bottom = 900;
    col1.inner_diameter = 250;
    col1.outer_diameter = 260;
    return c;
}

TEST(ConstructionGrid, RowsOutOfUseAreBlankEvenAfterAnotherConstructionWasShown) {
    pore::Construction c = sample_construction();
    widrak::TMyGrid grid(nullptr);
    EXPECT_THROW(c.fill_grid(), std::logic_error);
    EXPECT_THROW(c.get_opt_from_grid(), std::logic_error);
    c.set_grid(&grid);
    c.fill_grid();
    ASSERT_EQ(grid.RowCount(), 10);
    EXPECT_EQ(grid.Cells(0, 0), "Исп.");
    EXPECT_EQ(grid.Cells(5, 0), "Наружный\nдиаметр, мм");
    EXPECT_EQ(grid.Cells(0, 2), "*");
    EXPECT_EQ(grid.Cells(1, 2), "Кондуктор");
    EXPECT_EQ(grid.Cells(3, 2), "500,0");
    EXPECT_EQ(grid.Cells(5, 2), "324,0");
    EXPECT_EQ(grid.Cells(4, 9), "215,9");

    // The conductor taken out of use: a second fill leaves nothing of it.
    c.at(1).enabled = false;
    c.fill_grid();
    for (int col : {0, 2, 3, 4, 5}) EXPECT_EQ(grid.Cells(col, 2), "") << col;
    EXPECT_EQ(grid.Cells(1, 2), "Кондуктор");

    // Out of use rows are read-only and grey; names and marks never edit.
    widrak::CELL_PROPS props;
    grid.OnGetCellProps(&grid, 3, 2, props);
    EXPECT_EQ(props.kind, widrak::cpReadOnly);
    props = widrak::cpText;
    grid.OnGetCellProps(&grid, 3, 8, props);
    EXPECT_EQ(props.kind, widrak::cpText);
    props = widrak::cpText;
    grid.OnGetCellProps(&grid, 1, 8, props);
    EXPECT_EQ(props.kind, widrak::cpReadOnly);
    TFont font;
    TColor colour = clWhite;
    font.SetColor(clBlack);
    grid.OnGetDrawParams(&grid, 2, 2, colour, &font);
    EXPECT_EQ(font.Color(), clBtnShadow);
    font.SetColor(clBlack);
    grid.OnGetDrawParams(&grid, 2, 8, colour, &font);
    EXPECT_EQ(font.Color(), clBlack);
    TAlignment a = taLeftJustify;
    grid.OnGetAlignment(&grid, 2, 1, a);
    EXPECT_EQ(a, taRightJustify);
}

TEST(ConstructionGrid, BindingIsNeitherCopiedNorKeptPastTheGrid) {
    pore::Construction c = sample_construction();
    {
        widrak::TMyGrid grid(nullptr);
        c.set_grid(&grid);
        pore::Construction copy = c;
        EXPECT_EQ(copy.get_grid(), nullptr);
        EXPECT_EQ(copy.size(), 9);
        pore::Construction other;
        widrak::TMyGrid other_grid(nullptr);
        other.set_grid(&other_grid);
        other = c;  // the elements, not the binding
        EXPECT_EQ(other.get_grid(), &other_grid);
        EXPECT_TRUE(other.at(1).enabled);
        EXPECT_EQ(c.get_grid(), &grid);
    }
    // The grid is gone: nothing is left to reach it.
    EXPECT_EQ(c.get_grid(), nullptr);
    EXPECT_THROW(c.fill_grid(), std::logic_error);

    // The construction goes first: the grid keeps no event into it.
    widrak::TMyGrid grid(nullptr);
    {
        pore::Construction gone;
        gone.set_grid(&grid);
        EXPECT_TRUE(static_cast<bool>(grid.OnDrawCell));
    }
    EXPECT_FALSE(static_cast<bool>(grid.OnDrawCell));
    EXPECT_FALSE(static_cast<bool>(grid.OnMouseDown));
    EXPECT_FALSE(static_cast<bool>(grid.OnGetCellProps));
}

TEST(ConstructionGrid, LettingAGridGoLeavesTheHandlersAnotherConstructionSet) {
    widrak::TMyGrid grid(nullptr);
    auto has_handlers = [&] {
        return grid.OnGetCellProps && grid.OnGetDrawParams && grid.OnMouseDown && grid.OnGetAlignment &&
               grid.OnDrawCell;
    };
    pore::Construction second = sample_construction();
    {
        pore::Construction first;  // none in use, all numbers 0
        first.set_grid(&grid);
        second.set_grid(&grid);  // takes the grid over; first stays bound to it
        first.set_grid(nullptr);
        EXPECT_TRUE(has_handlers());
        first.set_grid(&grid);
        second.set_grid(&grid);
    }  // first goes while bound
    EXPECT_TRUE(has_handlers());
    // They are second's: a tick brings back second's stored numbers.
    second.fill_grid();
    const TRect rc = grid.CellRect(0, 3);
    grid.OnMouseDown(&grid, mbLeft, {}, (rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2);
    EXPECT_EQ(grid.Cells(3, 3), "900,0");
    second.set_grid(nullptr);
    EXPECT_FALSE(grid.OnGetCellProps || grid.OnGetDrawParams || grid.OnMouseDown || grid.OnGetAlignment ||
                 grid.OnDrawCell);
}

TEST(ConstructionWindow, CheckMarksAndTypedNumbersReachTheElementsOnOkOnly) {
    TestDriver drv;
    for (bool ok : {false, true}) {
        pore::Construction c = sample_construction();
        ConstructionWindow w(nullptr, c);
        EXPECT_EQ(c.get_grid(), w.Grid);
        headless().ExpectModal([&](TCustomForm& form) {
            // Casing 1 ticked: its stored numbers come back into the row.
            drv.Click(*w.Grid, cell_centre(w.Grid, 0, 3));
            EXPECT_EQ(w.Grid->Cells(0, 3), "*");
            EXPECT_EQ(w.Grid->Cells(3, 3), "900,0");
            type_cell(drv, w.Grid, 3, 3, "950");
            // The conductor unticked: its row empties.
            drv.Click(*w.Grid, cell_centre(w.Grid, 0, 2));
            EXPECT_EQ(w.Grid->Cells(0, 2), "");
            EXPECT_EQ(w.Grid->Cells(2, 2), "");
            // The open hole deepened.
            type_cell(drv, w.Grid, 3, 9, "2250,5");
            // Nothing reaches the construction before OK.
            EXPECT_TRUE(c.at(1).enabled);
            EXPECT_FALSE(c.at(2).enabled);
            if (ok) form.SaveToPng(png("construction_window"));
            drv.Click(ok ? *w.btnOk : *w.btnCancel);
        });
        EXPECT_EQ(w.execute(), ok);
        // Closed: the construction is bound to no grid.
        EXPECT_EQ(c.get_grid(), nullptr);
        EXPECT_EQ(c.at(1).enabled, !ok);
        EXPECT_EQ(c.at(2).enabled, ok);
        EXPECT_FLOAT_EQ(c.at(2).bottom, ok ? 950.0f : 900.0f);
        EXPECT_FLOAT_EQ(c.at(2).outer_diameter, 260);
        EXPECT_FLOAT_EQ(c.get_total_len(), ok ? 2250.5f : 2100.0f);
        EXPECT_EQ(c.at(8).name, "Голый ствол");
        // Out of use, the conductor keeps its numbers for its next tick.
        EXPECT_FLOAT_EQ(c.at(1).bottom, 500);
    }
}

// Numbers past what a float holds, typed into a cell: read as text that is
// no number (0). An infinity kept would make the volumes nonsense and would
// not read back from the file as what was written.
const char* const past_a_float[] = {"1e39", "-1e39", "1e400"};

TEST(ConstructionWindow, NumbersPastAFloatAreReadAsBadText) {
    TestDriver drv;
    for (const char* text : past_a_float) {
        SCOPED_TRACE(text);
        pore::Construction c = sample_construction();
        ConstructionWindow w(nullptr, c);
        headless().ExpectModal([&](TCustomForm&) {
            type_cell(drv, w.Grid, 3, 9, text);  // the open hole's bottom
            type_cell(drv, w.Grid, 4, 8, text);  // the casing's bore
            drv.Click(*w.btnOk);
        });
        ASSERT_TRUE(w.execute());
        EXPECT_EQ(c.at(8).bottom, 0);
        EXPECT_EQ(c.at(7).inner_diameter, 0);
        EXPECT_EQ(c.at(7).bottom, 1200);  // the cells left alone
        EXPECT_TRUE(std::isfinite(c.get_volume(1)));
    }
}

TEST(ConstructionWindow, UntouchedOkKeepsEveryDigitAndTheNumbersOfRowsOutOfUse) {
    pore::Construction c = sample_construction();
    c.at(8).bottom = 2100.37f;  // shown "2100,4"
    c.at(7).outer_diameter = 273.05f;
    const pore::Construction before = c;
    ConstructionWindow w(nullptr, c);
    headless().ExpectModal([&](TCustomForm&) { TestDriver().Click(*w.btnOk); });
    ASSERT_TRUE(w.execute());
    for (int i = 0; i < c.size(); ++i) {
        SCOPED_TRACE(c.at(i).name);
        const pore::ConstrElement &now = c.at(i), was = before.get_item(i);
        EXPECT_EQ(now.enabled, was.enabled);
        EXPECT_EQ(now.top, was.top);
        EXPECT_EQ(now.bottom, was.bottom);
        EXPECT_EQ(now.inner_diameter, was.inner_diameter);
        EXPECT_EQ(now.outer_diameter, was.outer_diameter);
    }
}

TEST(ConstructionWindow, ShownBesideTheRecordingItFreesItselfAndTheBinding) {
    pore::Construction c = sample_construction();
    TestDriver drv;
    auto* w = new ConstructionWindow(nullptr, c);
    w->Show();
    // Another editor binds the construction meanwhile: OK still takes this
    // window's rows.
    widrak::TMyGrid other(nullptr);
    c.set_grid(&other);
    type_cell(drv, w->Grid, 4, 9, "220");
    drv.Click(*w->btnOk);
    Application().FreeReleasedForms();
    EXPECT_EQ(c.get_grid(), nullptr);
    EXPECT_FLOAT_EQ(c.at(8).inner_diameter, 220);
}

TEST(ConstructionDrawing, SectionsAndTheRealBoreLandWhereTheScaleSays) {
    pore::Construction c = sample_construction();
    TBitmap bmp(200, 400);
    TCanvas& canvas = bmp.Canvas();
    canvas.Pen().SetColor(clBlack);
    canvas.Brush().SetColor(clSilver);
    c.draw(2100, 300, &canvas, Rect(0, 0, 200, 400), true);
    bmp.SaveToFile(png("construction_drawing"));
    // The conductor spans the full width at the top; the open hole is
    // narrower (215.9 of 300 of half the width each side of the centre).
    EXPECT_NE(bmp.Pixel(2, 20), clWhite);
    const int hole_half = static_cast<int>(100 * 215.9 / 300);
    EXPECT_EQ(bmp.Pixel(100 - hole_half - 6, 390), clWhite);
    EXPECT_NE(bmp.Pixel(100, 390), clWhite);
    // No scale: nothing drawn, nothing divided by zero.
    TBitmap empty(50, 50);
    c.draw(0, 300, &empty.Canvas(), Rect(0, 0, 50, 50), true);
    c.draw(2100, 0, &empty.Canvas(), Rect(0, 0, 50, 50), true);
    for (int y = 0; y < 50; y += 7)
        for (int x = 0; x < 50; x += 7) EXPECT_EQ(empty.Pixel(x, y), clWhite);
}

// ---- the alarm limits ------------------------------------------------------------------------

TEST(AlarmLimitsGrid, EmptyOrDisabledGridLeavesTheTableEmpty) {
    MinMaxValues limits;
    TStringGrid grid(nullptr);
    limits.fill_to_grid(&grid);
    EXPECT_TRUE(grid.Enabled());
    ASSERT_EQ(grid.RowCount(), 9);
    EXPECT_EQ(grid.Cells(1, 5), "");  // the lower limit is off
    EXPECT_EQ(grid.Cells(2, 5), "30");

    MinMaxValues none;
    while (none.size() > 0) none.erase(0);
    none.fill_to_grid(&grid);  // the grid showed eight rows before
    EXPECT_FALSE(grid.Enabled());
    EXPECT_EQ(grid.RowCount(), 2);
    for (int col = 0; col < 6; ++col) EXPECT_EQ(grid.Cells(col, 1), "");
    limits.read_from_grid(&grid);
    EXPECT_EQ(limits.size(), 0);

    // An enabled grid without a named row is an empty table too.
    MinMaxValues again;
    TStringGrid blank(nullptr);
    blank.SetColCount(6);
    blank.SetRowCount(4);
    again.read_from_grid(&blank);
    EXPECT_EQ(again.size(), 0);
}

TEST(AlarmLimitsWindow, TypedLimitsAndRelaysReachTheTableOnOkOnly) {
    TestDriver drv;
    for (bool ok : {false, true}) {
        MinMaxValues limits;
        limits.find("нагрузка")->relay = 3;
        AlarmLimitsWindow w(nullptr, limits);
        const int load = 5, gas = 7;
        ASSERT_EQ(w.Grid->Cells(3, load), "3");
        headless().ExpectModal([&](TCustomForm& form) {
            type_cell(drv, w.Grid, 1, load, "2,5");  // a lower limit turned on
            type_cell(drv, w.Grid, 2, load, "");     // the upper one off
            type_cell(drv, w.Grid, 3, load, "5");    // no such relay
            type_cell(drv, w.Grid, 5, load, "40");
            type_cell(drv, w.Grid, 3, gas, "2");  // a relay, upper limit only
            type_cell(drv, w.Grid, 5, gas, "0,8");
            if (ok) form.SaveToPng(png("alarm_limits_window"));
            drv.Click(ok ? *w.btnOk : *w.btnCancel);
        });
        EXPECT_EQ(w.execute(), ok);
        const MinMaxValue& l = *limits.find("нагрузка");
        EXPECT_EQ(l.min_on, ok);
        EXPECT_FLOAT_EQ(l.min, ok ? 2.5f : 0.0f);
        EXPECT_EQ(l.max_on, !ok);
        EXPECT_EQ(l.relay, ok ? -1 : 3);
        EXPECT_FALSE(l.relay_max_on);
        const MinMaxValue& g = *limits.find("сумм_газ");
        EXPECT_EQ(g.relay, ok ? 2 : -1);
        EXPECT_FALSE(g.relay_min_on);
        EXPECT_EQ(g.relay_max_on, ok);
        EXPECT_FLOAT_EQ(g.relay_max, ok ? 0.8f : 0.0f);
        EXPECT_EQ(limits.size(), 8);
    }
}

TEST(AlarmLimitsWindow, TextsThatAreNoLimitAreRefusedWhereTyped) {
    TestDriver drv;
    for (const char* text : {"abc", "1,9x", "1e39", "-1e39", "1e400"}) {
        SCOPED_TRACE(text);
        MinMaxValues limits;
        limits.find("нагрузка")->relay = 3;
        const MinMaxValues before = through_the_grid(limits);
        AlarmLimitsWindow w(nullptr, limits);
        EXPECT_FALSE(w.pnlMessage->Visible());
        std::vector<std::string> told;
        headless().ExpectModal([&](TCustomForm&) {
            type_cell(drv, w.Grid, 2, 5, text);  // the load's upper limit, 30
            EXPECT_EQ(w.Grid->Cells(2, 5), "30");
            EXPECT_TRUE(w.pnlMessage->Visible());
            told.push_back(w.lblMessage->Caption());
            type_cell(drv, w.Grid, 5, 5, text);  // its relay's upper limit, off
            EXPECT_EQ(w.Grid->Cells(5, 5), "");
            told.push_back(w.lblMessage->Caption());
            type_cell(drv, w.Grid, 3, 5, "x");  // no relay number
            EXPECT_EQ(w.Grid->Cells(3, 5), "3");
            told.push_back(w.lblMessage->Caption());
            // Typing again takes the message away.
            drv.Type("4");
            EXPECT_FALSE(w.pnlMessage->Visible());
            drv.Press(VK_ESCAPE);
            drv.Click(*w.btnOk);
        });
        ASSERT_TRUE(w.execute());
        ASSERT_EQ(told.size(), 3u);
        EXPECT_NE(told[0].find("\"" + std::string(text) + "\" — не число"), std::string::npos) << told[0];
        EXPECT_NE(told[0].find("\"Макс. значение\" параметра \"Нагрузка на долото\""), std::string::npos) << told[0];
        EXPECT_NE(told[1].find("\"Реле макс. значение\""), std::string::npos) << told[1];
        EXPECT_NE(told[2].find("не номер реле"), std::string::npos) << told[2];
        EXPECT_EQ(ini_lines(limits), ini_lines(before));
    }
}

TEST(AlarmLimitsWindow, OkWithLimitsThatCrossNamesTheRowAndKeepsTheWindow) {
    TestDriver drv;
    MinMaxValues limits;
    limits.find("нагрузка")->relay = 3;
    const MinMaxValues before = limits;  // cancelled: not even read from the grid
    AlarmLimitsWindow w(nullptr, limits);
    const int pressure = 1, load = 5;
    ASSERT_EQ(w.Grid->Cells(2, pressure), "200");
    headless().ExpectModal([&](TCustomForm& form) {
        // A minimum of 300 under the maximum of 200.
        type_cell(drv, w.Grid, 1, pressure, "300");
        drv.Click(*w.btnOk);
        EXPECT_EQ(form.ModalResult(), mrNone);
        const std::string said = w.lblMessage->Caption();
        EXPECT_NE(said.find("\"Давление ПЖ на входе\""), std::string::npos) << said;
        EXPECT_NE(said.find("300 > 200"), std::string::npos) << said;
        EXPECT_EQ(w.Grid->Row(), pressure);
        // Corrected: equal limits are a pair that can hold; the relay's
        // crossed pair is refused the same way.
        type_cell(drv, w.Grid, 1, pressure, "200");
        type_cell(drv, w.Grid, 4, load, "50");
        type_cell(drv, w.Grid, 5, load, "40");
        drv.Click(*w.btnOk);
        EXPECT_EQ(form.ModalResult(), mrNone);
        EXPECT_NE(w.lblMessage->Caption().find("Минимум реле параметра \"Нагрузка на долото\""), std::string::npos)
            << w.lblMessage->Caption();
        drv.Click(*w.btnCancel);
    });
    EXPECT_FALSE(w.execute());
    EXPECT_EQ(ini_lines(limits), ini_lines(before));
}

TEST(AlarmLimitsWindow, DeleteRemovesTheSelectedRowOfADamagedTable) {
    // A file whose "size" counts an item it lacks gives a row without a
    // parameter. The grid shows it nameless and reading the grid drops it;
    // the row chosen below it must still be the one that goes.
    MinMaxValues limits;
    limits.add("");
    std::swap(limits.at(0), limits.at(8));
    ASSERT_EQ(limits.at(0).param, "");
    const std::string second = limits.at(1).param, third = limits.at(2).param;
    TestDriver drv;
    AlarmLimitsWindow w(nullptr, limits);
    headless().ExpectModal([&](TCustomForm&) {
        drv.Click(*w.Grid, cell_centre(w.Grid, 2, 2));
        drv.Click(*w.btnDelete);
        drv.Click(*w.btnOk);
    });
    ASSERT_TRUE(w.execute());
    EXPECT_FALSE(limits.contains(second));
    EXPECT_TRUE(limits.contains(third));
    EXPECT_EQ(limits.size(), 7);
}

TEST(AlarmLimitsWindow, RowsAddedAndRemovedKeepTheirEditsAndCancelDropsThem) {
    TestDriver drv;
    for (bool ok : {false, true}) {
        MinMaxValues limits;
        AlarmLimitsWindow w(nullptr, limits);
        // A parameter of the registry that has no row yet.
        int pick = -1;
        std::string global;
        for (int i = 0; i < w.cbParam->Items().Count() && pick < 0; ++i) {
            global = get_all_params().at(static_cast<int>(w.cbParam->Items().Objects(i))).global_name;
            if (!limits.contains(global)) pick = i;
        }
        ASSERT_GE(pick, 0);
        headless().ExpectModal([&](TCustomForm&) {
            type_cell(drv, w.Grid, 2, 2, "2,1");  // edited before rows come and go
            w.cbParam->SelectByUser(pick);
            drv.Click(*w.btnAdd);
            EXPECT_EQ(w.Grid->RowCount(), 10);
            EXPECT_EQ(w.Grid->Row(), 9);
            type_cell(drv, w.Grid, 2, 9, "77");
            EXPECT_EQ(w.Grid->Cells(2, 9), "77");
            drv.Click(*w.Grid, cell_centre(w.Grid, 2, 1));
            drv.Click(*w.btnDelete);  // the first row goes
            EXPECT_EQ(w.Grid->Cells(2, 1), "2,1");
            drv.Click(ok ? *w.btnOk : *w.btnCancel);
        });
        EXPECT_EQ(w.execute(), ok);
        EXPECT_EQ(limits.size(), 8);
        EXPECT_EQ(limits.contains("давление_на_входе"), !ok);
        EXPECT_EQ(limits.contains(global), ok);
        EXPECT_FLOAT_EQ(limits.find("уровень_в_емкости")->max, ok ? 2.1f : 1.9f);
        if (ok) {
            EXPECT_TRUE(limits.find(global.c_str())->max_on);
            EXPECT_FLOAT_EQ(limits.find(global.c_str())->max, 77);
            EXPECT_FALSE(limits.find(global.c_str())->min_on);
        }
    }
}

// ---- the event log ------------------------------------------------------------------------------

TEST(EventLogWindow, FileEventsThenNewOnesInColouredRows) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "logs");
    const std::uint32_t t = 86400u * 20000u + 3600u;
    {
        std::string bytes = "3 " + std::to_string(t) + " " + rtl::utf8_to_cp1251("* Начат рейс") + "\n" + "-1 " +
                            std::to_string(t + 60) + " " + rtl::utf8_to_cp1251("# Вне рейса") + "\n" + "мусор\n" +
                            "3 0 нулевое время\n" + "3 " + std::to_string(t + 120) + " " +
                            rtl::utf8_to_cp1251(". Опции изменены") + "\n";
        os::testing::write_bytes(dir.path() + "/logs/events.log", bytes);
    }
    RegistrLogOld log([] { return 4; });
    log.set_file_name(dir.path(), "logs", "events.log");
    auto* w = new EventLogWindow(nullptr, log);
    w->Show();
    EXPECT_EQ(log.get_grid(), w->Grid);
    ASSERT_EQ(w->Grid->RowCount(), 4);
    EXPECT_EQ(w->Grid->Cells(0, 0), "Рейс");
    EXPECT_EQ(w->Grid->Cells(2, 0), "Событие");
    EXPECT_EQ(w->Grid->Cells(0, 1), "3");
    EXPECT_EQ(w->Grid->Cells(0, 2), "");  // outside any trip
    EXPECT_EQ(w->Grid->Cells(2, 2), "# Вне рейса");

    // The colour handler is the grid's own draw-parameters event.
    TColor colour = clWhite;
    TFont font;
    w->Grid->OnGetDrawParams(w->Grid, 0, 1, colour, &font);
    EXPECT_EQ(colour, 0xFFFAEC);
    w->Grid->OnGetDrawParams(w->Grid, 2, 2, colour, &font);
    EXPECT_EQ(colour, 0xDFFFDF);
    w->Grid->OnGetDrawParams(w->Grid, 1, 3, colour, &font);
    EXPECT_EQ(colour, 0xEAFFFF);

    log.add("Оператор сменил долото");
    log.add("# Промывка");
    pump();
    ASSERT_EQ(w->Grid->RowCount(), 6);
    EXPECT_EQ(w->Grid->Cells(0, 5), "4");
    EXPECT_EQ(w->Grid->Cells(2, 5), "# Промывка");
    EXPECT_EQ(w->Grid->Row(), 5);
    w->SaveToPng(png("event_log_window"));

    w->Close();
    Application().FreeReleasedForms();
    EXPECT_EQ(log.get_grid(), nullptr);
    log.add("после закрытия");
    pump();  // written with no grid to reach
    std::string bytes;
    ASSERT_EQ(os::read_file(dir.path() + "/logs/events.log", bytes), 0);
    EXPECT_NE(bytes.find(rtl::utf8_to_cp1251("после закрытия")), std::string::npos);
}

TEST(EventLogGrid, ClearAndAMissingFileLeaveTheHeaderAndOneEmptyRow) {
    os::testing::TempDir dir;
    RegistrLogOld log;
    log.set_file_name(dir.path(), "none", "events.log");
    widrak::TMyGrid grid(nullptr);
    grid.SetColCount(3);
    grid.SetRowCount(5);
    grid.SetCells(2, 3, "старое");
    log.load();  // no grid yet: nothing
    EXPECT_EQ(grid.RowCount(), 5);
    log.set_grid(&grid);
    log.load();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cells(1, 0), "Дата / Время");
    grid.SetCells(2, 1, "x");
    log.clear();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cells(2, 1), "");
    log.set_grid(nullptr);
    EXPECT_FALSE(static_cast<bool>(grid.OnGetDrawParams));
}

TEST(EventLogGrid, ALogLetsGoOnlyItsOwnColourHandler) {
    widrak::TMyGrid grid(nullptr);
    grid.SetColCount(3);
    auto second = std::make_unique<RegistrLogOld>();
    {
        RegistrLogOld first;
        first.set_grid(&grid);
        second->set_grid(&grid);  // another window's log takes the grid over
        first.set_grid(nullptr);
        EXPECT_TRUE(static_cast<bool>(grid.OnGetDrawParams));
        first.set_grid(&grid);
        second->set_grid(&grid);
    }  // first goes while bound
    ASSERT_TRUE(static_cast<bool>(grid.OnGetDrawParams));
    grid.SetCells(2, 1, "# Промывка");
    TColor colour = clWhite;
    TFont font;
    grid.OnGetDrawParams(&grid, 0, 1, colour, &font);
    EXPECT_EQ(colour, 0xDFFFDF);
    second.reset();
    EXPECT_FALSE(static_cast<bool>(grid.OnGetDrawParams));
}

// ---- the remarks --------------------------------------------------------------------------------

TEST(RemarkDrawing, EndsAtTheBottomWithNewRemarksOnYellow) {
    TBitmap bmp(240, 200);
    TCanvas& c = bmp.Canvas();
    c.Brush().SetColor(clWhite);
    c.FillRect(Rect(0, 0, 240, 200));
    c.Font().SetColor(clBlack);
    text::Record old_one;
    old_one.text = "Поднят инструмент";
    old_one.draw(&c, 60, 10, 230);
    EXPECT_EQ(old_one.rect.Bottom, 60);
    EXPECT_EQ(old_one.rect.Left, 10);
    EXPECT_GT(old_one.rect.Height(), 5);
    EXPECT_LE(old_one.rect.Right, 230);
    EXPECT_EQ(c.Brush().Color(), clWhite);

    text::Record fresh;
    fresh.is_new = true;
    fresh.text = "Газопроявление на глубине 1520 м,\nпромывка с утяжелением раствора до 1,32 г/см3";
    c.Brush().SetColor(clAqua);
    fresh.draw(&c, 190, 10, 230);
    EXPECT_EQ(c.Brush().Color(), clAqua);
    EXPECT_EQ(fresh.rect.Bottom, 190);
    // Two lines at least, wrapped within the width.
    EXPECT_GE(fresh.rect.Height(), 2 * old_one.rect.Height());
    // The yellow reaches the right edge even where the text is shorter.
    EXPECT_EQ(bmp.Pixel(228, fresh.rect.Top + 1), clYellow);
    EXPECT_EQ(bmp.Pixel(228, old_one.rect.Top + 1), clWhite);
    bmp.SaveToFile(png("remarks_drawn"));
}

TEST(RemarksWindow, DrawsTheStoreFromTheBottomUp) {
    text::Storage store;
    text::Record r;
    r.time = 100;
    r.text = "Первое примечание";
    store.add_record(r);
    r.time = 200;
    r.text = "Второе, новое: рисуется на жёлтом";
    store.add_record(r);
    RemarksWindow w(nullptr, store);
    w.Show();
    w.SaveToPng(png("remarks_window"));
    TBitmap pic;
    ui::testing::paint_control(*w.Drawing, pic);
    w.Close();
    const int width = pic.Width(), height = pic.Height();
    ASSERT_GT(height, 100);

    // The newest remark ends 4 pixels above the bottom, on yellow from the
    // left margin to the right one, its text on it.
    const int probe = width - 8;
    int yellow_top = height - 5;
    while (yellow_top > 0 && pic.Pixel(probe, yellow_top - 1) == clYellow) --yellow_top;
    ASSERT_EQ(pic.Pixel(probe, height - 5), clYellow) << ui::testing::describe_column(pic, probe, height - 40, height, 2);
    EXPECT_EQ(pic.Pixel(probe, height - 4), clWhite);
    EXPECT_GE(height - 4 - yellow_top, 10);  // one line of text at least
    EXPECT_EQ(pic.Pixel(5, height - 8), clWhite);
    EXPECT_EQ(pic.Pixel(6, height - 8), clYellow);
    const TRect fresh(6, yellow_top, width - 6, height - 4);
    EXPECT_GT(ui::testing::count_ink(pic, fresh, clYellow), 30);
    // A silver line 3 pixels above each remark, across the box but its
    // 2-pixel margins.
    EXPECT_TRUE(ui::testing::row_is(pic, yellow_top - 3, 2, width - 2, clSilver))
        << ui::testing::describe_row(pic, yellow_top - 3, 0, width, 8);
    EXPECT_EQ(pic.Pixel(1, yellow_top - 3), clWhite);

    // The older one above it, on white, its text ending 6 pixels above the
    // newer one's line, and its own line above it; nothing higher.
    int line = yellow_top - 4;
    while (line > 0 && pic.Pixel(3, line) != clSilver) --line;
    ASSERT_GT(line, 0) << "no line above the older remark";
    EXPECT_TRUE(ui::testing::row_is(pic, line, 2, width - 2, clSilver));
    const auto older = ui::testing::ink_bounds(pic, TRect(0, line + 1, width, yellow_top - 3), clWhite);
    ASSERT_TRUE(older.has_value()) << "the older remark is not drawn";
    EXPECT_GE(older->Left, 6);
    EXPECT_LE(older->Right, width - 6);
    EXPECT_LE(older->Bottom, yellow_top - 6);
    EXPECT_GE(older->Top, line + 3);
    EXPECT_GT(ui::testing::count_ink(pic, *older, clWhite), 30);
    EXPECT_EQ(ui::testing::count_ink(pic, TRect(0, 0, width, line), clWhite), 0);
}

// ---- the trip information -----------------------------------------------------------------------

TEST(RaceInfoOptions, EachMomentFixesOrHidesItsOptions) {
    lib::grid_options_list read_only, hidden;
    read_only.sector("x");
    read_only.add("y");
    RaceInfoOld::correct_race_options(0, read_only, hidden);
    EXPECT_TRUE(read_only.contains("рейс_главн.номер_рейса"));
    EXPECT_FALSE(read_only.contains("x.y"));
    EXPECT_TRUE(hidden.contains("рейс_долото.износ_долота"));
    EXPECT_FALSE(hidden.have_sectors());
    RaceInfoOld::correct_race_options(1, read_only, hidden);
    EXPECT_FALSE(read_only.have_items());
    EXPECT_TRUE(hidden.contains("рейс_главн.номер_рейса"));
    EXPECT_TRUE(hidden.contains_sector("рейс_техно"));
    RaceInfoOld::correct_race_options(2, read_only, hidden);
    EXPECT_TRUE(read_only.contains("рейс_главн.номер_рейса"));
    EXPECT_FALSE(hidden.have_items());
    RaceInfoOld::correct_race_options(7, read_only, hidden);
    EXPECT_FALSE(read_only.have_items());
    EXPECT_FALSE(hidden.have_items() || hidden.have_sectors());
}

int row_of(RaceInfoWindow& w, const std::string& full_name) {
    for (int row = 0; row < w.Grid->RowCount(); ++row) {
        lib::MetaClassPointer p = w.editor().get_item_by_index(row);
        if (p && p->get_full_name() == full_name) return row;
    }
    return -1;
}

TEST(RaceInfoWindow, OnlyWhatTheOperatorChangedIsWrittenAndOnlyOnOk) {
    TestDriver drv;
    for (bool ok : {false, true}) {
        RaceInfoOld race;
        race.race_num = 12;
        race.bit_type = "III-215,9";
        RaceInfoWindow w(nullptr, race, 0);
        // At the trip's start the number is shown fixed, the wear not.
        EXPECT_EQ(row_of(w, "рейс_долото.износ_долота"), -1);
        const int number = row_of(w, "рейс_главн.номер_рейса");
        ASSERT_GE(number, 0);
        EXPECT_TRUE(w.editor().is_read_only_item(number));
        const int motor = row_of(w, "рейс_долото.типоразмер_з_д");
        ASSERT_GE(motor, 0);
        headless().ExpectModal([&](TCustomForm& form) {
            drv.Click(*w.Grid, cell_centre(w.Grid, 3, motor));
            drv.Type("Д1-240");
            // The recording writes into the record while the window is open.
            race.aver_load = 14.5;
            race.bit_type = "ІІІ-220";
            if (ok) form.SaveToPng(png("race_info_window"));
            drv.Click(ok ? *w.btnOk : *w.btnCancel);
        });
        EXPECT_EQ(w.execute(), ok);
        EXPECT_EQ(race.motor_type, ok ? "Д1-240" : "");
        EXPECT_EQ(race.race_num, 12);
        EXPECT_DOUBLE_EQ(race.aver_load, 14.5);
        EXPECT_EQ(race.bit_type, "ІІІ-220");
    }
}

TEST(RaceInfoWindow, ModalHelperCancelledChangesNothing) {
    RaceInfoOld race;
    race.race_num = 3;
    headless().ExpectModal([](TCustomForm& f) { f.SetModalResult(mrCancel); });
    EXPECT_FALSE(edit_race_info(race, 2));
    EXPECT_EQ(race.race_num, 3);
}

}  // namespace
