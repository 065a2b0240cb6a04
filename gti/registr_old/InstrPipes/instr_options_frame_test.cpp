#include "gti/registr_old/InstrPipes/instr_options_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>

#include "gti/registr_old/pore_opt.h"
#include "library/controls/draw_helpers.h"
#include "platform/ui/application.h"
#include "platform/ui/canvas.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/picture_testing.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace {

using namespace ui;
using instr::Elem;
using instr::Items;

std::string png(const std::string& name) {
    const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "gti_png";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

HeadlessDisplay& headless() { return *headless_display(); }

Elem elem(int count, instr::ElemType type, std::vector<float> lengths, float diam, float wall = 0, float weight = 0) {
    Elem e;
    e.count = count;
    e.type = type;
    e.lengths = std::move(lengths);
    e.diameter = diam;
    e.wall = wall;
    e.weight_per_metre = weight;
    return e;
}

// A tally from the bit up: bit, motor, collars, 30 stands of drill pipe.
Items tally() {
    Items items;
    for (const Elem& e : {elem(1, instr::elem_type::bit, {0.3f}, 215.9f), elem(1, instr::elem_type::motor, {7.5f}, 172),
                          elem(2, instr::elem_type::collar, {12, 12}, 178, 40, 156),
                          elem(30, instr::elem_type::stand, {12.5f, 12.25f}, 127, 9.19f, 29.1f)}) {
        items.get(items.add_new()) = e;
    }
    return items;
}

std::vector<Elem> elements(const Items& items) {
    std::vector<Elem> out;
    for (int i = 0; i < items.size(); ++i) out.push_back(items.get(i));
    return out;
}

struct Grid {
    Grid() : form(nullptr), grid(new widrak::TMyGrid(&form)) { grid->SetParent(&form); }
    TForm form;
    widrak::TMyGrid* grid;
};

TEST(InstrItemsGrid, EditViewRoundTripsAndAnEmptyListDisablesTheGrid) {
    Grid g;
    const Items items = tally();
    items.fill_to_grid(g.grid, false, -1, -1);
    ASSERT_EQ(g.grid->ColCount(), 6);
    EXPECT_EQ(g.grid->RowCount(), 5);
    EXPECT_EQ(g.grid->Cells(1, 0), "Коли-\nчество");
    EXPECT_EQ(g.grid->Cells(5, 0), "Вес\nпогонного\nметра, кг");
    EXPECT_TRUE(g.grid->Enabled());
    const std::vector<std::string> stands = {"Свеча", "30", "12,50 + 12,25", "127,0", "9,2", "29,1"};
    for (int c = 0; c < 6; ++c) EXPECT_EQ(g.grid->Cells(c, 4), stands[static_cast<std::size_t>(c)]) << c;

    // Read against the tally it shows: an edited cell is taken, the
    // untouched ones keep every digit of the tally.
    g.grid->SetCells(3, 3, "180,5");
    Items back;
    back.read_from_grid(g.grid, items);
    ASSERT_EQ(back.size(), 4);
    EXPECT_EQ(back.get(3).lengths, (std::vector<float>{12.5f, 12.25f}));
    EXPECT_FLOAT_EQ(back.get(3).wall, 9.19f);  // shown as 9,2
    EXPECT_FLOAT_EQ(back.get(2).diameter, 180.5f);
    EXPECT_FLOAT_EQ(back.get(2).wall, 40);
    EXPECT_EQ(back.get(0).type, instr::elem_type::bit);

    // Bad cells: an unknown name keeps type -1, a bad count is 1, bad
    // numbers 0; a row without a name is no element.
    g.grid->SetCells(0, 2, "Кочерга");
    g.grid->SetCells(1, 2, "два");
    g.grid->SetCells(3, 2, "x");
    g.grid->SetCells(0, 3, "  ");
    back.read_from_grid(g.grid);
    ASSERT_EQ(back.size(), 3);
    EXPECT_EQ(back.get(1).type, instr::elem_type::none);
    EXPECT_EQ(back.get(1).count, 1);
    EXPECT_FLOAT_EQ(back.get(1).diameter, 0);

    Items().fill_to_grid(g.grid, false, -1, -1);
    EXPECT_FALSE(g.grid->Enabled());
    back.read_from_grid(g.grid);
    EXPECT_EQ(back.size(), 0);
}

TEST(InstrItemsGrid, TripViewShowsWhatIsRunInAndSelectsTheDeepestRow) {
    Grid g;
    const Items items = tally();
    // Bit, motor, 2 collars and 5 stands, then one pipe of the sixth.
    items.fill_to_grid(g.grid, true, 9, 1);
    ASSERT_EQ(g.grid->ColCount(), 7);
    EXPECT_EQ(g.grid->Cells(0, 0), "№№");
    EXPECT_EQ(g.grid->Cells(0, 3), "3");  // units counted from the bottom
    EXPECT_EQ(g.grid->Cells(0, 4), "5");
    EXPECT_EQ(g.grid->Cells(3, 3), "2");
    EXPECT_EQ(g.grid->Cells(3, 4), "5,1");
    EXPECT_EQ(g.grid->Row(), 4);
    EXPECT_EQ(g.grid->Cells(5, 1), "0,30");
    EXPECT_EQ(g.grid->Cells(5, 3), "55,80");  // 0.3 + 7.5 + 2 units of 2 × 12
    items.fill_to_grid(g.grid, true, 2, 0);
    EXPECT_EQ(g.grid->Cells(3, 3), "");
    EXPECT_EQ(g.grid->Row(), 2);
}

TEST(InstrItemsGrid, PasteSplitsAtTabsOrBlanksAndSkipsTheHeading) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<Elem> want;  // inserted at 1 into a list of two bits
    };
    const Elem stand = elem(10, instr::elem_type::stand, {12.5f, 12.25f}, 127, 9.2f, 29.1f);
    const Case cases[] = {
        // The grid's own copy: a heading, lengths with blanks in them.
        {"copied rows",
         "Тип\tКоли- чество\tДлина, м\tДиаметр, мм\tТолщина стенки, мм\tВес погонного метра, кг\r\n"
         "Свеча\t10\t12,50 + 12,25\t127,0\t9,2\t29,1\r\nУБТ\t2\t12\r\n",
         {stand, elem(2, instr::elem_type::collar, {12}, 0)}},
        {"typed with blanks", "Свеча 10 12,5+12,25 127 9,2 29,1\nУБТ 2 12", {stand, elem(2, 2, {12}, 0)}},
        {"two words end it", "Свеча\t10\t24\nУБТ 2\nУБТ\t1\t9", {elem(10, 5, {24}, 0)}},
        {"an empty line ends it", "\nСвеча 10 24", {}},
        {"a bad count is 1", "Свеча\tмного\t24", {elem(1, 5, {24}, 0)}},
        {"a heading of a blank-separated tally", "Тип Кол-во Длина\nУБТ 2 12", {elem(2, 2, {12}, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Items items;
        items.get(items.add_new()) = elem(1, 0, {0.3f}, 215.9f);
        items.get(items.add_new()) = elem(1, 0, {0.4f}, 295.3f);
        Clipboard().SetAsText(c.text);
        EXPECT_EQ(items.insert_from_clipboard(1), static_cast<int>(c.want.size()));
        ASSERT_EQ(items.size(), 2 + static_cast<int>(c.want.size()));
        for (std::size_t i = 0; i < c.want.size(); ++i) EXPECT_EQ(items.get(1 + static_cast<int>(i)), c.want[i]) << i;
        EXPECT_FLOAT_EQ(items.get(items.size() - 1).lengths[0], 0.4f);
    }
    Items items = tally();
    Clipboard().SetAsText("Свеча\t10\t24");
    Clipboard().SetAvailable(false);
    EXPECT_EQ(items.insert_from_clipboard(0), 0);
    Clipboard().SetAvailable(true);
    EXPECT_EQ(elements(items), elements(tally()));
}

// The settings window around the frame, as a host builds it.
struct Dialog {
    explicit Dialog(const Items& items, bool drawing = true) : form(nullptr) {
        form.SetBorderStyle(bsDialog);
        form.SetClientWidth(700);
        form.SetClientHeight(360);
        form.SetCaption("Промер инструмента");
        bottom = new TPanel(&form);
        bottom->SetParent(&form);
        bottom->SetAlign(alBottom);
        bottom->SetHeight(36);
        ok = new TButton(&form);
        ok->SetParent(bottom);
        ok->SetCaption("OK");
        ok->SetModalResult(mrOk);
        ok->SetBounds(520, 6, 80, 25);
        cancel = new TButton(&form);
        cancel->SetParent(bottom);
        cancel->SetCaption("Отмена");
        cancel->SetModalResult(mrCancel);
        cancel->SetCancel(true);
        cancel->SetBounds(610, 6, 80, 25);
        frame = instr::get_options_frame(&form, items, drawing);
        frame->SetParent(&form);
        frame->SetAlign(alClient);
    }
    // Runs it modally as the operator does; true on OK, the tally written.
    bool run(Items& items, const std::function<void()>& script) {
        headless().ExpectModal([&](TCustomForm&) { script(); });
        if (form.ShowModal() != mrOk) return false;
        instr::set_options_frame(frame, items);
        return true;
    }
    TPoint cell(int c, int r) const {
        const TRect rc = frame->grdInstr->CellRect(c, r);
        return {(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2};
    }
    TForm form;
    TPanel* bottom;
    TButton* ok;
    TButton* cancel;
    TInstrOptionsFrame* frame;
};

TEST(InstrOptionsFrame, OperatorEditsAddsPastesAndConfirms) {
    Items items = tally();
    items.set_svecha_size(3);
    Dialog dlg(items);
    TestDriver drv;
    auto* grid = dlg.frame->grdInstr;
    EXPECT_EQ(dlg.frame->cbxSvechaSize->Text(), "3");
    const bool ok = dlg.run(items, [&] {
        // Thirty stands become 31, the collars get a new diameter.
        drv.Click(*grid, dlg.cell(1, 4));
        drv.Type("31");
        drv.Click(*grid, dlg.cell(3, 3));
        drv.Type("203,2");
        // A new element on top, typed in: a sub.
        drv.Click(*dlg.frame->btnAdd);
        EXPECT_EQ(grid->RowCount(), 6);
        EXPECT_EQ(grid->Row(), 5);
        drv.Click(*grid, dlg.cell(0, 5));
        ASSERT_EQ(grid->CellKind(), widrak::cpList);
        const int sub = grid->ComboBox()->Items().IndexOf("Переводник");
        ASSERT_GE(sub, 0);
        grid->ComboBox()->SelectByUser(sub);
        drv.Click(*grid, dlg.cell(1, 5));
        drv.Type("1");
        drv.Click(*grid, dlg.cell(2, 5));
        drv.Type("0,5");
        // A tally from a spreadsheet pasted after the motor.
        Clipboard().SetAsText("Тип\tКол-во\tДлина\nЦентратор\t1\t1,2\t210\r\n");
        drv.Click(*grid, dlg.cell(2, 2));
        drv.PressOn(*grid, VK_INSERT, {ssShift});
        EXPECT_EQ(grid->RowCount(), 7);
        // Move the sub down a row past nothing: it stays on top.
        drv.Click(*grid, dlg.cell(1, 6));
        drv.Click(*dlg.frame->MyButton2);
        EXPECT_EQ(grid->Row(), 6);
        dlg.frame->cbxSvechaSize->SetText("7");
        drv.Click(*dlg.frame->chbValve);
        dlg.form.SaveToPng(png("instr_options_frame"));
        drv.Click(*dlg.ok);
    });
    ASSERT_TRUE(ok);
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items.get(2).type, 10);  // the pasted centralizer after the motor
    EXPECT_FLOAT_EQ(items.get(2).diameter, 210);
    EXPECT_FLOAT_EQ(items.get(3).diameter, 203.2f);
    EXPECT_EQ(items.get(4).count, 31);
    EXPECT_EQ(items.get(5).type, instr::elem_type::sub);
    EXPECT_EQ(items.get(5).lengths, std::vector<float>{0.5f});
    EXPECT_EQ(items.get_svecha_size(), 4);  // brought into range
    EXPECT_TRUE(items.get_zapor_klapan());
    EXPECT_EQ(headless().PendingScripts(), 0);
}

TEST(InstrOptionsFrame, NumbersNoTallyCanHoldAreReadAsBadText) {
    // Typed into the collars' row or pasted as a line: a number past any
    // float, or a negative count, is no value of the tally. Stored, an
    // infinite length or diameter would make every sum and the drawing
    // nonsense, and a file would read it back as something else.
    struct Case {
        const char* name;
        int col;
        std::string text;
        Elem want;
    };
    const Elem collars = elem(2, instr::elem_type::collar, {12, 12}, 178, 40, 156);
    auto with = [&](auto change) {
        Elem e = collars;
        change(e);
        return e;
    };
    const Case cases[] = {
        {"a diameter past a float", 3, "1e39", with([](Elem& e) { e.diameter = 0; })},
        {"a wall past a double", 4, "1e400", with([](Elem& e) { e.wall = 0; })},
        {"a weight past a float", 5, "-1e39", with([](Elem& e) { e.weight_per_metre = 0; })},
        {"a length past a float", 2, "12 + 1e39", with([](Elem& e) {
             e.lengths = {12, 0};
         })},
        {"a negative count", 1, "-3", with([](Elem& e) { e.count = 1; })},
    };
    const char* cols[] = {"УБТ", "2", "12 + 12", "178", "40", "156"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Items items = tally();
        Dialog dlg(items);
        TestDriver drv;
        auto* grid = dlg.frame->grdInstr;
        ASSERT_TRUE(dlg.run(items, [&] {
            drv.Click(*grid, dlg.cell(c.col, 3));
            drv.Type(c.text);
            drv.Click(*dlg.ok);
        }));
        ASSERT_EQ(items.size(), 4);
        EXPECT_EQ(items.get(2), c.want);

        std::string line;
        for (int k = 0; k < 6; ++k) line += (k ? "\t" : "") + (k == c.col ? c.text : std::string(cols[k]));
        Items pasted;
        Clipboard().SetAsText(line);
        ASSERT_EQ(pasted.insert_from_clipboard(0), 1);
        EXPECT_EQ(pasted.get(0), c.want);
    }
}

TEST(InstrItemsGrid, PasteStopsWhereAStoredTallyEnds) {
    // A file keeps no more than max_elements: a longer tally would come back
    // cut from its next reading.
    std::string text;
    for (int i = 0; i < Items::max_elements + 5; ++i) text += "Свеча\t1\t24\n";
    Clipboard().SetAsText(text);
    Items items = tally();
    EXPECT_EQ(items.insert_from_clipboard(1), Items::max_elements - 4);
    ASSERT_EQ(items.size(), Items::max_elements);
    EXPECT_EQ(items.get(items.size() - 1).type, instr::elem_type::stand);
    EXPECT_EQ(items.get(items.size() - 1).count, 30);  // the tally's own top stays on top
    EXPECT_EQ(items.insert_from_clipboard(0), 0);
    EXPECT_EQ(items.size(), Items::max_elements);
}

TEST(InstrOptionsFrame, UntouchedCellsKeepTheirDigitsThroughEditsAndOk) {
    Items items = tally();
    items.get(1).lengths = {7.525f};  // shown with two decimals
    items.get(1).weight_per_metre = 136.45f;
    Dialog dlg(items);
    TestDriver drv;
    auto* grid = dlg.frame->grdInstr;
    ASSERT_TRUE(dlg.run(items, [&] {
        drv.Click(*grid, dlg.cell(3, 3));
        drv.Type("203,2");
        // An element added and deleted again: the grid is read and filled
        // twice before OK.
        drv.Click(*dlg.frame->btnAdd);
        drv.Click(*dlg.frame->btnDel);
        EXPECT_EQ(grid->RowCount(), 5);
        drv.Click(*dlg.ok);
    }));
    ASSERT_EQ(items.size(), 4);
    EXPECT_FLOAT_EQ(items.get(2).diameter, 203.2f);
    EXPECT_FLOAT_EQ(items.get(3).wall, 9.19f);
    EXPECT_EQ(items.get(1).lengths, std::vector<float>{7.525f});
    EXPECT_FLOAT_EQ(items.get(1).weight_per_metre, 136.45f);
}

TEST(InstrOptionsFrame, CancelChangesNothing) {
    Items items = tally();
    const std::vector<Elem> before = elements(items);
    Dialog dlg(items);
    TestDriver drv;
    auto* grid = dlg.frame->grdInstr;
    EXPECT_FALSE(dlg.run(items, [&] {
        drv.Click(*grid, dlg.cell(1, 1));
        drv.Type("5");
        drv.Click(*grid, dlg.cell(1, 2));
        drv.Click(*dlg.frame->btnDel);
        EXPECT_EQ(grid->RowCount(), 4);
        dlg.frame->cbxSvechaSize->SetText("1");
        drv.Click(*dlg.cancel);
    }));
    EXPECT_EQ(elements(items), before);
    EXPECT_EQ(items.get_svecha_size(), 2);
}

TEST(InstrOptionsFrame, EmptyListDisabledGridAndStandSizeDefaults) {
    Items items;
    Dialog dlg(items, false);
    EXPECT_FALSE(dlg.frame->pbxInstr->Visible());
    EXPECT_FALSE(dlg.frame->Splitter1->Visible());
    EXPECT_FALSE(dlg.frame->grdInstr->Enabled());
    // Nothing to delete, move or clear.
    dlg.frame->DeleteItem(nullptr);
    dlg.frame->MoveUp(nullptr);
    dlg.frame->N7Click(nullptr);
    EXPECT_EQ(dlg.frame->items().size(), 0);
    dlg.frame->AddItem(nullptr);
    EXPECT_TRUE(dlg.frame->grdInstr->Enabled());
    dlg.frame->cbxSvechaSize->SetText("");
    instr::set_options_frame(dlg.frame, items);
    EXPECT_EQ(items.size(), 1);
    EXPECT_EQ(items.get_svecha_size(), 2);

    // Copy all pastes back as the same tally.
    Dialog full(tally());
    full.frame->CopyAllClick(nullptr);
    full.frame->N7Click(nullptr);
    EXPECT_EQ(full.frame->items().size(), 0);
    full.frame->PasteItemClick(nullptr);
    Items back;
    instr::set_options_frame(full.frame, back);
    ASSERT_EQ(back.size(), 4);
    EXPECT_EQ(back.get(3).lengths, (std::vector<float>{12.5f, 12.25f}));

    TPanel other(nullptr);
    EXPECT_THROW(instr::set_options_frame(&other, items), std::logic_error);
}

TEST(InstrItemsDraw, StringAndWellPictures) {
    // The string alone: the bit at the bottom, the marked element in colour.
    const Items items = tally();
    TBitmap bmp(60, 300);
    TCanvas& c = bmp.Canvas();
    c.Brush().SetColor(clWhite);
    c.FillRect(TRect(0, 0, 60, 300));
    c.Pen().SetColor(clBlack);
    items.draw(items.get_total_len(), items.calc_max_diam(), &c, TRect(0, 0, 60, 300), clRed, 2);
    // The stands fill the top; the collars (marked) lie just above the
    // motor and the bit at the bottom.
    EXPECT_EQ(bmp.Pixel(30, 100), clWhite);
    EXPECT_EQ(bmp.Pixel(1, 100), clWhite);  // narrower than the bit
    EXPECT_EQ(bmp.Pixel(30, 294), clRed);

    // A damaged tally (an infinite length and diameter, as a file may hold
    // them) scales to no number: its rectangles stay inside the picture's
    // rectangle instead of coordinates cast from NaN.
    Items damaged = tally();
    damaged.get(3).lengths = {std::numeric_limits<float>::infinity()};
    damaged.get(3).diameter = std::numeric_limits<float>::infinity();
    TBitmap framed(60, 300);
    TCanvas& f = framed.Canvas();
    f.Brush().SetColor(clWhite);
    f.FillRect(TRect(0, 0, 60, 300));
    f.Pen().SetColor(clBlack);
    f.Brush().SetColor(clBlack);
    damaged.draw(damaged.get_total_len(), damaged.calc_max_diam(), &f, TRect(20, 100, 40, 200), clRed, -1);
    for (int y = 0; y < 300; y += 3)
        for (int x : {0, 10, 50, 59}) ASSERT_EQ(framed.Pixel(x, y), clWhite) << x << "," << y;
    for (int x = 0; x < 60; x += 3)
        for (int y : {0, 90, 210, 299}) ASSERT_EQ(framed.Pixel(x, y), clWhite) << x << "," << y;

    // The well: casing, open hole, the string inside.
    pore::PoreOpt well;
    *well.get_instr() = tally();
    pore::Construction& con = *well.get_construction();
    struct Use {
        const char* name;
        float top, bottom, diameter;
    };
    for (const Use& u :
         {Use{"Направление", 0, 60, 426}, Use{"Кондуктор", 0, 400, 324}, Use{"Голый ствол", 400, 900, 295.3f}}) {
        for (int i = 0; i < con.size(); ++i) {
            pore::ConstrElement& e = con.at(i);
            if (e.name != u.name) continue;
            e.enabled = true;
            e.top = u.top;
            e.bottom = u.bottom;
            e.inner_diameter = u.diameter;
        }
    }
    TForm form(nullptr);
    form.SetCaption("Скважина");
    form.SetClientWidth(220);
    form.SetClientHeight(520);
    auto* box = new TPaintBox(&form);
    box->SetParent(&form);
    box->SetAlign(alClient);
    box->OnPaint = [&](TObject*) {
        well.draw(&box->Canvas(), TRect(0, 0, box->Width(), box->Height()), clWhite, clNavy, clMaroon, clRed, 0, true);
    };
    form.Show();
    form.SaveToPng(png("well_with_string"));
    TBitmap pic;
    ui::testing::paint_control(*box, pic);
    const int width = pic.Width(), height = pic.Height();
    const int centre = width / 2;
    // The deeper of string and well, with its margin, fills the height; the
    // widest section with its margin fills the width.
    const Items& string = *well.get_instr();
    const float depth = std::max(900.f, string.get_total_len()) * 1.02f;
    const float widest = 426 * 1.2f;
    auto y_at = [&](float metres) { return static_cast<int>(height * metres / depth); };
    auto half_of = [&](float diameter) { return static_cast<int>(width / 2 * diameter / widest + 0.5f); };
    const TColor rock = lib::transform_color_light(clNavy, 50, 0);
    // The casing's walls (the conductor's at 250 m, the open hole's at
    // 650 m) in the construction's colour where its diameter puts them,
    // the rock hatched outside them and never inside.
    for (const auto& [metres, diameter] : {std::pair{250.f, 324.f}, std::pair{650.f, 295.3f}}) {
        const int y = y_at(metres);
        SCOPED_TRACE(ui::testing::describe_row(pic, y, 0, width, 2));
        const int half = half_of(diameter);
        EXPECT_GT(ui::testing::count_colour(pic, TRect(centre - half - 2, y, centre - half + 3, y + 1), clNavy), 0) << metres;
        EXPECT_GT(ui::testing::count_colour(pic, TRect(centre + half - 3, y, centre + half + 2, y + 1), clNavy), 0) << metres;
        EXPECT_EQ(ui::testing::count_colour(pic, TRect(centre - half + 3, y, centre + half - 3, y + 1), clNavy), 0);
        EXPECT_GT(ui::testing::count_colour(pic, TRect(0, y - 8, centre - half - 3, y + 8), rock), 5) << metres;
        EXPECT_EQ(ui::testing::count_colour(pic, TRect(centre - half + 3, y - 8, centre + half - 3, y + 8), rock), 0);
    }
    // The direction pipe is the widest section, near the top only.
    EXPECT_GT(ui::testing::count_colour(pic, TRect(centre - half_of(426) - 2, y_at(30), centre - half_of(426) + 3,
                                               y_at(30) + 1), clNavy), 0);
    EXPECT_EQ(ui::testing::count_colour(pic, TRect(0, y_at(100), centre - half_of(324) - 3, y_at(100) + 1), clNavy), 0);
    // The string hangs from the top in its own colour down to its length,
    // the marked bit at its foot.
    const int foot = y_at(string.get_total_len());
    for (const int y : {4, foot / 2})  // the stands; the collars and motor are wider
        EXPECT_GT(ui::testing::count_colour(pic, TRect(centre - half_of(127) - 3, y, centre - half_of(127) + 4, y + 1), clMaroon),
                  0)
            << ui::testing::describe_row(pic, y, 0, width, 2);
    EXPECT_GT(ui::testing::count_colour(pic, TRect(centre - 10, foot - 3, centre + 10, foot), clRed), 10)
        << ui::testing::describe_column(pic, centre, foot - 10, foot + 5);
    EXPECT_EQ(ui::testing::count_colour(pic, TRect(0, foot + 3, width, height), clMaroon), 0);
    EXPECT_EQ(ui::testing::count_colour(pic, TRect(0, foot + 3, width, height), clRed), 0);
    // Nothing to draw without construction and string.
    pore::PoreOpt empty;
    TBitmap blank(50, 50);
    blank.Canvas().Brush().SetColor(clWhite);
    blank.Canvas().FillRect(TRect(0, 0, 50, 50));
    empty.draw(&blank.Canvas(), TRect(0, 0, 50, 50), clBlack, clNavy, clMaroon, clRed, -1, true);
    EXPECT_EQ(blank.Pixel(25, 25), clWhite);
}

}  // namespace
