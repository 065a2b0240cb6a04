#include "widrak/my_grid.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/application.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "widrak/my_grid_color_form.h"
#include "widrak/testdata/png_out.h"

namespace widrak {
namespace {

using namespace ui;
using testing::save;

// A settings grid: column 1 text, 2 editable list, 3 list, 4 colour,
// 5 value button, 6 read-only, 7 empty; 30 rows, so that it scrolls.
struct GridForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TMyGrid* grid;
    TestDriver drv;
    std::vector<std::string> log;

    GridForm() {
        form->SetBounds(40, 30, 560, 300);
        grid = new TMyGrid(form.get());
        grid->SetParent(form.get());
        grid->SetBounds(8, 8, 530, 200);
        grid->SetColCount(8);
        grid->SetRowCount(30);
        grid->SetOptions(grid->Options() << goEditing);
        grid->SetDefaultColWidth(70);
        grid->OnGetCellProps = [](TObject*, int c, int, CELL_PROPS& p) {
            static const unsigned char kinds[] = {cpText,  cpText,   cpEditList, cpList,
                                                  cpColor, cpButton, cpReadOnly, cpText};
            p = kinds[c];
        };
        grid->OnGetPopupStrings = [](TObject*, int, int r, TStrings* s) {
            s->Add("alpha");
            s->Add("beta");
            s->Add("row " + std::to_string(r));
        };
        grid->OnChange = [this](TObject*) { log.push_back("change " + cell_text(grid->Col(), grid->Row())); };
        grid->OnBtnClick = [this](TObject*) { log.push_back("button " + pos()); };
        for (int r = 1; r < 30; ++r) {
            grid->SetCells(1, r, "text " + std::to_string(r));
            grid->SetCells(2, r, "beta");
            grid->SetCells(3, r, "alpha");
            grid->SetCells(4, r, r % 2 ? "clRed" : "$00FF8000");
            grid->SetCells(5, r, "value");
            grid->SetCells(6, r, "fixed");
        }
        form->Show();
        grid->SetFocus();
    }
    std::string pos() const { return std::to_string(grid->Col()) + "," + std::to_string(grid->Row()); }
    std::string cell_text(int c, int r) const { return grid->Cells(c, r); }
    void click(int c, int r) {
        const TRect rc = grid->CellRect(c, r);
        drv.Click(*grid, {(rc.Left + rc.Right) / 2 - 10, (rc.Top + rc.Bottom) / 2});
    }
    bool editor_up() const { return grid->InplaceEditor() && grid->InplaceEditor()->Visible(); }
};

// What every window's grid gets without a word of set-up: numbers to the
// right under centred headings, the selection in its colour, rows that grow
// with their text, and a drop-down that covers a cell exactly (the box grown
// by a pixel), hidden until a list cell asks for it.
TEST(MyGrid, AFreshGridShowsNumbersRightAndItsDropDownFitsACell) {
    TMyGrid g(nullptr);
    EXPECT_EQ(g.FixedAlignment(), taCenter);
    EXPECT_EQ(g.Alignment(), taRightJustify);
    EXPECT_FALSE(g.AddCharasters());
    EXPECT_TRUE(g.AutoRowHeight());
    EXPECT_TRUE(g.UseSelColor());
    EXPECT_FALSE(g.PropEditorMode());
    EXPECT_EQ(g.DefaultRowHeight(), g.ComboBox()->NaturalHeight() - 2);
    EXPECT_FALSE(g.ComboBox()->Visible());
}

TEST(MyGrid, WithoutCellPropsEveryCellIsTextWithTheEditorOnClick) {
    GridForm f;
    f.grid->OnGetCellProps = nullptr;
    f.grid->CheckCellProps();
    f.click(3, 2);
    EXPECT_EQ(f.grid->CellKind(), cpText);
    EXPECT_TRUE(f.editor_up());
    EXPECT_FALSE(f.grid->ComboBox()->Visible());
    EXPECT_EQ(f.grid->CellButton(), nullptr);
}

// The user opens a list cell's drop-down by its arrow, in an editable
// list (whose editor is up as well) as in a list-only cell, however the
// editor came to be made and moved.
TEST(MyGrid, TheArrowOfAListCellOpensItsList) {
    GridForm f;
    GridComboBox& cb = *f.grid->ComboBox();
    for (auto [c, r] : {std::pair{2, 2}, {3, 2}, {1, 3}, {2, 5}}) {
        SCOPED_TRACE(std::to_string(c) + "," + std::to_string(r));
        f.click(c, r);
        if (c == 1) continue;  // a text cell: the editor moves there
        ASSERT_TRUE(cb.Visible());
        EXPECT_EQ(f.editor_up(), c == 2);
        const TPoint arrow{cb.ClientWidth() - 4, cb.ClientHeight() / 2};
        f.drv.Click(cb, arrow);
        EXPECT_TRUE(cb.DroppedDown());
        f.drv.Click(cb, arrow);
        EXPECT_FALSE(cb.DroppedDown());
    }
}

TEST(MyGrid, ListCellsCarryTheirComboBoxAndTheTimerFollowsScrolling) {
    GridForm f;
    // Editable list: the combo box lies over the cell grown by a pixel.
    f.click(2, 2);
    EXPECT_EQ(f.grid->CellKind(), cpEditList);
    GridComboBox& cb = *f.grid->ComboBox();
    ASSERT_TRUE(cb.Visible());
    const TRect cell = f.grid->CellRect(2, 2);
    EXPECT_EQ(cb.Left(), cell.Left - 1);
    EXPECT_EQ(cb.Top(), cell.Top - 1);
    EXPECT_EQ(cb.Width(), cell.Width() + 2);
    EXPECT_EQ(cb.Style(), csDropDown);
    EXPECT_EQ(cb.Text(), "beta");
    EXPECT_EQ(cb.Items().ToVector(), (std::vector<std::string>{"alpha", "beta", "row 2"}));
    ASSERT_NE(f.grid->CheckTimer(), nullptr);
    EXPECT_EQ(f.grid->CheckTimer()->Interval(), 500);
    save(*f.form, "grid_editlist");
    // The user types into the box; the next click takes the value.
    cb.SetFocus();
    f.drv.Type("X");
    f.click(1, 3);
    EXPECT_EQ(f.cell_text(2, 2), "betaX");
    EXPECT_EQ(f.log, std::vector<std::string>{"change text 3"});
    EXPECT_FALSE(cb.Visible());
    EXPECT_TRUE(f.editor_up());
    // List only: a text that is not among the entries is put first.
    f.grid->SetCells(3, 4, "gamma");
    f.click(3, 4);
    EXPECT_EQ(cb.Style(), csDropDownList);
    EXPECT_EQ(cb.Items().ToVector(), (std::vector<std::string>{"gamma", "alpha", "beta", "row 4"}));
    EXPECT_EQ(cb.ItemIndex(), 0);
    EXPECT_FALSE(f.editor_up());
    // Code writing the current cell refreshes the box.
    f.grid->SetCells(3, 4, "beta");
    EXPECT_EQ(cb.Text(), "beta");
    // The user picks an entry; the 500 ms check takes it.
    f.log.clear();
    cb.SelectByUser(1);
    EXPECT_EQ(cb.Text(), "alpha");
    EXPECT_TRUE(main_queue().run_until([&] { return f.cell_text(3, 4) == "alpha"; }, 60000));
    EXPECT_EQ(f.log, std::vector<std::string>{"change alpha"});
    // Scrolling the rows moves the cell; the check moves the box after it
    // and does not take a value on that round.
    f.grid->SetTopRow(3);
    const TRect moved = f.grid->CellRect(3, 4);
    ASSERT_FALSE(moved.IsEmpty());
    EXPECT_NE(cb.Top(), moved.Top - 1);
    EXPECT_TRUE(main_queue().run_until([&] { return cb.Top() == moved.Top - 1; }, 60000));
    EXPECT_EQ(cb.Left(), moved.Left - 1);
    save(*f.form, "grid_list_scrolled");
    // Scrolled out of view: box hidden.
    f.grid->SetTopRow(6);
    EXPECT_TRUE(f.grid->CellRect(3, 4).IsEmpty());
    EXPECT_FALSE(cb.Visible());
    // The wheel does nothing while the list is open.
    f.grid->SetTopRow(1);
    f.click(3, 2);
    cb.SetDroppedDown(true);
    const int row = f.grid->Row();
    EXPECT_TRUE(f.grid->MouseWheel({}, -120, {}));
    EXPECT_TRUE(cb.MouseWheel({}, -120, {}));
    EXPECT_EQ(f.grid->Row(), row);
    cb.SetDroppedDown(false);
    // A column resize repositions the box at once.
    f.grid->SetColWidths(1, 100);
    EXPECT_EQ(cb.Left(), f.grid->CellRect(3, 2).Left - 1);
}

TEST(MyGrid, ValueButtonAndItsKeys) {
    GridForm f;
    f.click(5, 3);
    EXPECT_EQ(f.grid->CellKind(), cpButton);
    TSpeedButton* b = f.grid->CellButton();
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->Visible());
    EXPECT_EQ(b->Caption(), "...");
    EXPECT_EQ(b->Hint(), " Выбор значения ");
    const TRect cell = f.grid->CellRect(5, 3);
    EXPECT_EQ(b->BoundsRect(), Rect(cell.Right - cell.Height(), cell.Top, cell.Right, cell.Bottom));
    EXPECT_FALSE(f.editor_up());
    save(*f.form, "grid_button");
    f.drv.Click(*b);
    EXPECT_EQ(f.log, std::vector<std::string>{"button 5,3"});
    f.drv.DoubleClick(*f.grid, {cell.Left + 5, cell.Top + 5});
    EXPECT_EQ(f.log.size(), 2u);
    // An edit-button cell: the editor leaves room for the button, Enter
    // presses it, Escape undoes the typing and closes the editor (F2 opens
    // it again).
    f.grid->OnGetCellProps = [](TObject*, int c, int, CELL_PROPS& p) { p = c == 5 ? cpEditButton : cpText; };
    f.grid->CheckCellProps();
    ASSERT_TRUE(f.editor_up());
    TInplaceEdit* e = f.grid->InplaceEditor();
    EXPECT_EQ(e->Left() + e->Width(), cell.Right - cell.Height());
    f.log.clear();
    f.drv.Type("zz");
    EXPECT_EQ(f.cell_text(5, 3), "zz");
    f.drv.Press(VK_ESCAPE);
    EXPECT_EQ(f.cell_text(5, 3), "value");
    EXPECT_FALSE(f.editor_up());
    f.drv.Press(VK_F2);
    ASSERT_TRUE(f.editor_up());
    f.drv.Press(VK_RETURN);
    EXPECT_EQ(f.log, std::vector<std::string>{"button 5,3"});
    // Leaving for a text cell hides the button.
    f.click(1, 3);
    EXPECT_FALSE(b->Visible());
}

TEST(MyGrid, EscapeClosesTheCellsEditorOrBoxBeforeTheFormSeesOne) {
    GridForm f;
    int cancels = 0;
    auto* cancel = new TButton(f.form.get());
    cancel->SetParent(f.form.get());
    cancel->SetBounds(8, 220, 75, 25);
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject*) { ++cancels; };
    // A text cell: the typing undone and the editor closed; the next Escape
    // is the form's. An editor opened and left unchanged closes the same.
    f.click(1, 2);
    f.drv.Type("zz");
    f.drv.Press(VK_ESCAPE);
    EXPECT_EQ(f.cell_text(1, 2), "text 2");
    EXPECT_FALSE(f.editor_up());
    EXPECT_EQ(cancels, 0);
    f.drv.Press(VK_ESCAPE);
    EXPECT_EQ(cancels, 1);
    f.drv.Press(VK_F2);
    ASSERT_TRUE(f.editor_up());
    f.drv.Press(VK_ESCAPE);
    EXPECT_FALSE(f.editor_up());
    EXPECT_EQ(cancels, 1);
    // A list cell's box: an open list closes first; then the choice is
    // undone and the box closes; a click on the cell brings it back.
    f.click(3, 2);
    GridComboBox& cb = *f.grid->ComboBox();
    ASSERT_TRUE(cb.Visible());
    cb.SetFocus();
    cb.SelectByUser(1);
    EXPECT_EQ(cb.Text(), "beta");
    cb.SetDroppedDown(true);
    f.drv.Press(VK_ESCAPE);
    EXPECT_FALSE(cb.DroppedDown());
    EXPECT_TRUE(cb.Visible());
    f.drv.Press(VK_ESCAPE);
    EXPECT_FALSE(cb.Visible());
    EXPECT_EQ(f.cell_text(3, 2), "alpha");
    EXPECT_TRUE(f.grid->Focused());
    EXPECT_EQ(cancels, 1);
    f.drv.Press(VK_ESCAPE);
    EXPECT_EQ(cancels, 2);
    f.click(3, 2);
    EXPECT_TRUE(cb.Visible());
    // Unchanged, the box closes just as well, whether it or the grid has
    // the keys.
    f.drv.Press(VK_ESCAPE);
    EXPECT_FALSE(cb.Visible());
    EXPECT_EQ(cancels, 2);
}

TEST(MyGrid, ColourPopupAnsweredByAClickOnThePalette) {
    GridForm f;
    f.click(4, 1);
    EXPECT_EQ(f.grid->CellKind(), cpColor);
    ASSERT_NE(f.grid->CellButton(), nullptr);
    EXPECT_EQ(f.grid->CellButton()->Hint(), " Выбор цвета ");
    EXPECT_FALSE(f.editor_up());
    // While the grid waits, the test plays the user: looks at the pop-up and
    // picks the cell of row 5 (blue), column 7 (no shade).
    bool seen = false;
    TPoint placed;
    main_queue().post([&] {
        TMyGridColorForm* p = TMyGridColorForm::Current();
        seen = true;
        placed = {p->Left(), p->Top()};
        EXPECT_EQ(p->ClientWidth(), 272);
        EXPECT_EQ(p->Height(), 204);
        EXPECT_EQ(p->Caption(), "  Выбор цвета");
        // It opened at red.
        EXPECT_EQ(p->ColorSelector1->ColorValue(), clRed);
        save(*p, "grid_color_popup");
        TColorSelector& s = *p->ColorSelector1;
        const TRect r = s.cell_rect(5, 7);
        f.drv.Click(s, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
        // Never leave the grid waiting, whatever the click did.
        if (TMyGridColorForm::Current()->Visible()) {
            ADD_FAILURE() << "the pick did not close the pop-up";
            TMyGridColorForm::Current()->Close();
        }
    });
    f.drv.Click(*f.grid->CellButton());
    EXPECT_TRUE(seen);
    const TRect cell = f.grid->CellRect(4, 1);
    EXPECT_EQ(placed, f.grid->ClientToScreen({cell.Left, cell.Bottom}));
    EXPECT_EQ(TMyGridColorForm::Current(), nullptr);
    EXPECT_EQ(f.cell_text(4, 1), "clBlue");
    EXPECT_EQ(f.log, std::vector<std::string>{"change clBlue"});
    // Closed by its "X": nothing changes.
    f.log.clear();
    main_queue().post([&] {
        TMyGridColorForm* p = TMyGridColorForm::Current();
        f.drv.Click(*p->MyButton2);
        if (p->Visible()) {
            ADD_FAILURE() << "the X button did not close the pop-up";
            p->Close();
        }
    });
    f.grid->ButtonClick();
    EXPECT_EQ(f.cell_text(4, 1), "clBlue");
    EXPECT_TRUE(f.log.empty());
    // Another form coming to the front closes it too.
    main_queue().post([&] {
        TMyGridColorForm* p = TMyGridColorForm::Current();
        f.form->Activate();
        if (p->Visible()) {
            ADD_FAILURE() << "losing activation did not close the pop-up";
            p->Close();
        }
    });
    f.grid->ButtonClick();
    EXPECT_TRUE(f.log.empty());
    // A text that is no colour opens at black and is drawn as the window
    // colour, without an error.
    f.grid->SetCells(4, 1, "nonsense");
    main_queue().post([&] {
        EXPECT_EQ(TMyGridColorForm::Current()->ColorSelector1->ColorValue(), clBlack);
        TMyGridColorForm::Current()->Close();
    });
    f.grid->ButtonClick();
    f.form->PaintPending();
    const TPoint swatch = f.grid->ClientToScreen({cell.Left + 5, cell.Top + 5}) - TPoint{f.form->Left(), f.form->Top()};
    EXPECT_EQ(f.form->Picture().Pixel(swatch.x, swatch.y), ColorToRGB(clWindow));
}

TEST(MyGrid, CellsOfEveryKindAreDrawn) {
    GridForm f;
    f.grid->SetCells(1, 0, "Имя");
    f.grid->SetCells(4, 0, "Цвет");
    f.grid->OnGetDrawParams = [](TObject*, int c, int r, TColor& bg, TFont* font) {
        if (c == 6 && r == 2) {
            bg = clYellow;
            font->SetColor(clRed);
        }
    };
    f.grid->SetCells(1, 5, "две\nстроки");
    f.grid->ResizeRow(5);
    f.click(1, 1);
    f.form->PaintPending();
    auto px = [&](int x, int y) {
        const TPoint p = f.grid->ClientToScreen({x, y}) - TPoint{f.form->Left(), f.form->Top()};
        return f.form->Picture().Pixel(p.x, p.y);
    };
    // The colour cell: a swatch in its colour, framed in the window-frame
    // colour, then the text.
    const TRect c4 = f.grid->CellRect(4, 3);
    EXPECT_EQ(px(c4.Left + 5, c4.Top + 5), clRed);
    EXPECT_EQ(px(c4.Left + 2, c4.Top + 2), ColorToRGB(clWindowFrame));
    const TRect c4b = f.grid->CellRect(4, 2);
    EXPECT_EQ(px(c4b.Left + 5, c4b.Top + 5), 0xFF8000);
    // The owner's background.
    const TRect c6 = f.grid->CellRect(6, 2);
    EXPECT_EQ(px(c6.Left + 1, c6.Top + 1), clYellow);
    save(*f.form, "grid_cells");
}

TEST(MyGrid, StyleMarkersAndMeasuredSizes) {
    GridForm f;
    TMyGrid& g = *f.grid;
    g.SetAddCharasters(true);
    g.OnGetCellProps = nullptr;
    g.SetCells(1, 1, "\\bСлово");
    g.SetCells(1, 2, "Слово");
    g.SetCells(1, 3, "\\xСлово");
    g.SetCells(1, 4, "\\");
    g.SetCells(1, 5, "\\iСлово");
    for (int r = 6; r < 30; ++r) g.SetCells(1, r, "");
    g.ResizeCol(1);
    TBitmap m(1, 1);
    m.Canvas().Font().Assign(g.Font());
    const int plain = m.Canvas().TextWidth("Слово");
    m.Canvas().Font().SetStyle({fsBold});
    const int bold = m.Canvas().TextWidth("Слово");
    m.Canvas().Font().SetStyle({});
    ASSERT_GT(bold, plain);
    // The widest is the bold word; the marker itself takes no room.
    EXPECT_EQ(g.ColWidths(1), bold + m.Canvas().TextWidth("  ") + 4);
    // Without markers the text is measured as it stands.
    g.SetAddCharasters(false);
    g.ResizeCol(1);
    EXPECT_EQ(g.ColWidths(1), std::max(m.Canvas().TextWidth("\\bСлово"), m.Canvas().TextWidth("\\iСлово")) +
                                  m.Canvas().TextWidth("  ") + 4);
    g.SetAddCharasters(true);
    // Rows: at least "#" high, plus 4; two lines are two lines high.
    g.SetCells(2, 2, "a\nb");
    g.ResizeRow(2);
    EXPECT_EQ(g.RowHeights(2), 2 * m.Canvas().TextHeight("#") + 4);
    g.ResizeRow(7);
    EXPECT_EQ(g.RowHeights(7), m.Canvas().TextHeight("#") + 4);
    g.AlignHorizontal();
    EXPECT_EQ(g.ColWidths(7), m.Canvas().TextWidth("#") + m.Canvas().TextWidth("  ") + 4);
    f.form->PaintPending();
    save(*f.form, "grid_markers");
    // In property editor mode only column 0 knows the markers.
    g.SetPropEditorMode(true);
    g.ResizeCol(1);
    EXPECT_EQ(g.ColWidths(1), std::max(m.Canvas().TextWidth("\\bСлово"), m.Canvas().TextWidth("\\iСлово")) +
                                  m.Canvas().TextWidth("  ") + 4);
}

TEST(MyGrid, TextOfTheSelectionAndTheClipboard) {
    TForm form(nullptr);
    TMyGrid g(&form);
    g.SetParent(&form);
    g.SetColCount(3);
    g.SetRowCount(3);
    g.SetCells(0, 0, "");
    g.SetCells(1, 0, "a");
    g.SetCells(2, 0, "b");
    g.SetCells(0, 1, " x ");
    g.SetCells(1, 1, "");
    g.SetCells(2, 1, "две\nстроки");
    g.SetCells(0, 2, "одна\nи");
    // Empty cells at the start add nothing; later ones add a tab; line feeds
    // go only after the first text.
    const std::string whole = "a\tb\r\nx\t\tдве строки\r\nодна\nи\t\t\r\n";
    EXPECT_EQ(g.GetText(), whole);
    g.SetSelection({1, 0, 2, 1});
    // The first text of a line keeps its line feeds.
    EXPECT_EQ(g.GetText(), "a\tb\r\nдве\nстроки\r\n");
    g.SetSelection({1, 1, 1, 1});
    g.CopyToClipboard("Заголовок");
    EXPECT_EQ(Clipboard().AsUnicodeText(), utf8_to_utf16("Заголовок\n" + whole));
    g.CopyToClipboard("");
    EXPECT_EQ(Clipboard().AsText(), whole);
    // A clipboard held elsewhere is left alone.
    Clipboard().SetAvailable(false);
    g.CopyTextToClipboard(u"другое");
    Clipboard().SetAvailable(true);
    EXPECT_EQ(Clipboard().AsText(), whole);
}

TEST(MyGrid, WritingBeyondTheRowsAddsThemAndEqualTextsChangeNothing) {
    TMyGrid g(nullptr);
    g.SetRowCount(3);
    g.SetCells(1, 7, "new");
    EXPECT_EQ(g.RowCount(), 8);
    EXPECT_EQ(g.GetCells(1, 7), "new");
    // Headings set the columns and row 0.
    g.TopStrings().Assign(std::vector<std::string>{"A", "B", "C", "D"});
    EXPECT_EQ(g.ColCount(), 4);
    EXPECT_EQ(g.GetCells(3, 0), "D");
}

TEST(MyGrid, PropertyEditorMode) {
    GridForm f;
    TMyGrid& g = *f.grid;
    g.OnGetCellProps = nullptr;
    g.SetFixedCols(0);
    g.SetLeftCol(0);
    g.SetPropEditorMode(true);
    g.SetCells(0, 2, "Имя");
    g.SetCells(0, 3, "");
    // A click on a name edits its value.
    f.click(0, 2);
    EXPECT_EQ(f.pos(), "1,2");
    EXPECT_TRUE(f.editor_up());
    f.drv.Type("q");
    EXPECT_EQ(f.cell_text(1, 2), "q");
    // A row without a name cannot be changed.
    f.click(1, 3);
    f.drv.Type("w");
    EXPECT_EQ(f.cell_text(1, 3), "text 3");
}

TEST(MyGrid, ReadOnlyCellsShowNoEditor) {
    GridForm f;
    f.click(6, 2);
    EXPECT_EQ(f.grid->CellKind(), cpReadOnly);
    EXPECT_FALSE(f.editor_up());
    f.drv.Type("x");
    EXPECT_EQ(f.cell_text(6, 2), "fixed");
    // The editor's creation is offered to the owner.
    int offered = 0;
    GridForm g;
    g.grid->OnGetEditroParams = [&](TInplaceEdit* e) {
        ++offered;
        EXPECT_NE(dynamic_cast<MyGridInplaceEdit*>(e), nullptr);
    };
    g.click(1, 2);
    EXPECT_EQ(offered, 1);
}

}  // namespace
}  // namespace widrak
