#include "platform/ui/grids.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

// A shown form with a 5 x 10 string grid: one fixed row and column, cells
// 64 x 24 with 1-pixel lines, a vertical scroll bar (the rows do not fit).
struct GridForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TStringGrid* grid;
    TButton* other;
    TestDriver drv;
    std::vector<std::string> log;

    explicit GridForm(TGridOptions extra = {}) {
        form->SetBounds(40, 30, 420, 260);
        grid = new TStringGrid(form.get());
        grid->SetParent(form.get());
        grid->SetBounds(8, 8, 350, 150);
        grid->SetRowCount(10);
        grid->SetOptions(grid->Options() + extra);
        for (int c = 0; c < 5; ++c)
            for (int r = 0; r < 10; ++r) grid->SetCells(c, r, std::to_string(c) + ":" + std::to_string(r));
        other = new TButton(form.get());
        other->SetParent(form.get());
        other->SetBounds(8, 170, 75, 25);
        grid->OnClick = [this](TObject*) { log.push_back("click " + cell()); };
        grid->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("down " + cell()); };
        grid->OnSetEditText = [this](TObject*, int c, int r, const std::string& v) {
            log.push_back("set " + std::to_string(c) + "," + std::to_string(r) + "=" + v);
        };
        form->Show();
        grid->SetFocus();
    }
    std::string cell() const { return std::to_string(grid->Col()) + "," + std::to_string(grid->Row()); }
    TPoint centre(int c, int r) const {
        const TRect rc = grid->CellRect(c, r);
        return {(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2};
    }
    // Client points of the vertical scroll bar's arrows and track.
    TPoint down_arrow() const { return {grid->ClientWidth() + 8, grid->ClientHeight() - 8}; }
    TPoint up_arrow() const { return {grid->ClientWidth() + 8, 8}; }
};

TEST(StringGrid, CellRectanglesAndMouseToCellAtKnownPoints) {
    GridForm g;
    TStringGrid& grid = *g.grid;
    // A 2-pixel border and a 16-pixel vertical scroll bar around the cells.
    EXPECT_EQ(grid.ClientWidth(), 350 - 4 - 16);
    EXPECT_EQ(grid.ClientHeight(), 150 - 4);
    EXPECT_EQ(grid.CellRect(0, 0), Rect(0, 0, 64, 24));
    EXPECT_EQ(grid.CellRect(1, 1), Rect(65, 25, 129, 49));
    EXPECT_EQ(grid.CellRect(4, 2), Rect(260, 50, 324, 74));
    // Four scrolling rows are shown whole; the fifth only in part.
    EXPECT_EQ(grid.VisibleRowCount(), 4);
    EXPECT_EQ(grid.CellRect(1, 5), Rect(65, 125, 129, 149));
    EXPECT_TRUE(grid.CellRect(1, 6).IsEmpty());
    struct Case {
        int x, y, col, row;
    } cases[] = {
        {0, 0, 0, 0},    {63, 23, 0, 0},    {64, 24, 0, 0},  // a cell's lines are its own
        {65, 25, 1, 1},  {70, 30, 1, 1},    {300, 60, 4, 2},
        {324, 74, 4, 2}, {325, 10, -1, -1}, {329, 10, -1, -1},  // beyond the last column
        {10, 145, 0, 5}, {-1, 10, -1, -1},  {10, -1, -1, -1},
    };
    for (const Case& c : cases) {
        int col = 0, row = 0;
        grid.MouseToCell(c.x, c.y, col, row);
        EXPECT_EQ(col, c.col) << c.x << "," << c.y;
        EXPECT_EQ(row, c.row) << c.x << "," << c.y;
    }
    // Scrolling moves the rows under the fixed one; scrolled-out cells have no
    // rectangle.
    grid.SetTopRow(3);
    EXPECT_TRUE(grid.CellRect(1, 1).IsEmpty());
    EXPECT_EQ(grid.CellRect(1, 3), Rect(65, 25, 129, 49));
    EXPECT_EQ(grid.CellRect(1, 0), Rect(65, 0, 129, 24));
    EXPECT_EQ(grid.MouseCoord(70, 30), (TGridCoord{1, 3}));
    // The top row stops where the last row is shown whole.
    grid.SetTopRow(100);
    EXPECT_EQ(grid.TopRow(), 6);
    EXPECT_EQ(grid.CellRect(1, 9).Bottom, 25 + 3 * 25 + 24);
}

TEST(StringGrid, AClickMovesTheCurrentCellBeforeMouseDownAndMayBeRefused) {
    GridForm g;
    g.drv.Click(*g.grid, g.centre(3, 2));
    EXPECT_EQ(g.grid->Col(), 3);
    EXPECT_EQ(g.grid->Row(), 2);
    EXPECT_EQ(g.log, (std::vector<std::string>{"click 3,2", "down 3,2"}));
    // Fixed cells are not selected.
    g.log.clear();
    g.drv.Click(*g.grid, g.centre(0, 4));
    EXPECT_EQ(g.cell(), "3,2");
    EXPECT_EQ(g.log, (std::vector<std::string>{"down 3,2"}));
    // OnSelectCell refuses column 2; OnClick still tells of the click.
    g.grid->OnSelectCell = [](TObject*, int c, int, bool& can) { can = c != 2; };
    g.log.clear();
    g.drv.Click(*g.grid, g.centre(2, 3));
    EXPECT_EQ(g.cell(), "3,2");
    EXPECT_EQ(g.log, (std::vector<std::string>{"click 3,2", "down 3,2"}));
    // Code that sets the current cell goes the same way.
    g.log.clear();
    g.grid->SetRow(4);
    EXPECT_EQ(g.log, (std::vector<std::string>{"click 3,4"}));
    g.grid->SetCol(2);
    EXPECT_EQ(g.cell(), "3,4");
    EXPECT_THROW(g.grid->SetCol(5), std::out_of_range);
    // A double click: the first press moves, the second only tells.
    g.grid->OnDblClick = [&](TObject*) { g.log.push_back("double " + g.cell()); };
    g.log.clear();
    g.drv.DoubleClick(*g.grid, g.centre(4, 2));
    EXPECT_EQ(g.log, (std::vector<std::string>{"click 4,2", "down 4,2", "double 4,2", "down 4,2"}));
}

TEST(StringGrid, TypingEditsTheCellEnterEndsAndEscapeUndoes) {
    GridForm g({goEditing});
    TStringGrid& grid = *g.grid;
    g.drv.Click(grid, g.centre(2, 2));
    EXPECT_FALSE(grid.EditorMode());
    g.log.clear();
    // Typing starts the editor: the first character replaces the text, and
    // every change reaches the cell.
    g.drv.Type("42");
    ASSERT_NE(grid.InplaceEditor(), nullptr);
    TInplaceEdit& editor = *grid.InplaceEditor();
    EXPECT_TRUE(editor.Visible());
    EXPECT_TRUE(editor.Focused());
    EXPECT_EQ(editor.BoundsRect(), grid.CellRect(2, 2));
    EXPECT_EQ(grid.Cells(2, 2), "42");
    EXPECT_EQ(g.log, (std::vector<std::string>{"set 2,2=4", "set 2,2=42"}));
    g.drv.Press(VK_RETURN);
    EXPECT_FALSE(editor.Visible());
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_TRUE(grid.Focused());
    EXPECT_EQ(grid.Cells(2, 2), "42");

    // A second click on the current cell opens the editor on its text.
    g.drv.Click(grid, g.centre(2, 2));
    EXPECT_TRUE(editor.Visible());
    EXPECT_EQ(editor.Text(), "42");
    EXPECT_EQ(editor.SelLength(), 2);
    g.drv.Press(VK_END);
    g.drv.Type("0");
    EXPECT_EQ(grid.Cells(2, 2), "420");
    // Escape gives back the text the cell had when the editor came to it.
    g.drv.Press(VK_ESCAPE);
    EXPECT_EQ(grid.Cells(2, 2), "42");
    EXPECT_FALSE(editor.Visible());

    // A press on another cell ends the editing there.
    g.drv.PressOn(grid, VK_F2);
    EXPECT_TRUE(editor.Visible());
    g.drv.Click(grid, g.centre(3, 3));
    EXPECT_FALSE(editor.Visible());
    // Up and Down in the editor move it along with the current cell.
    g.drv.Press(VK_F2);
    g.drv.Press(VK_DOWN);
    EXPECT_EQ(g.cell(), "3,4");
    EXPECT_TRUE(editor.Visible());
    EXPECT_EQ(editor.Text(), "3:4");
    // Leaving the grid ends the editing.
    g.other->SetFocus();
    EXPECT_FALSE(editor.Visible());
}

TEST(StringGrid, AlwaysShownEditorKeepsEnterTabAndEscapeBeforeTheDialog) {
    GridForm g({goEditing, goAlwaysShowEditor});
    int ok = 0, cancels = 0;
    g.other->SetDefault(true);
    g.other->OnClick = [&](TObject*) { ++ok; };
    auto* cancel = new TButton(g.form.get());
    cancel->SetParent(g.form.get());
    cancel->SetBounds(100, 170, 75, 25);
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject*) { ++cancels; };
    TStringGrid& grid = *g.grid;
    ASSERT_NE(grid.InplaceEditor(), nullptr);
    TInplaceEdit& editor = *grid.InplaceEditor();
    EXPECT_TRUE(editor.Visible());
    g.drv.Type("x");
    EXPECT_TRUE(editor.Focused());
    EXPECT_EQ(grid.Cells(1, 1), "x");
    // The first Escape undoes and closes the editor, always shown or not;
    // only an Escape with no editor up goes to the form.
    g.drv.Press(VK_ESCAPE);
    EXPECT_EQ(grid.Cells(1, 1), "1:1");
    EXPECT_FALSE(editor.Visible());
    EXPECT_TRUE(grid.Focused());
    EXPECT_EQ(cancels, 0);
    g.drv.Press(VK_ESCAPE);
    EXPECT_EQ(cancels, 1);
    // Typing brings the editor back. Enter ends the edit with its text and
    // stays in the cell; the Escape after it closes the editor unchanged,
    // the text taken stays, and the form sees only the next one.
    g.drv.Type("12,5");
    EXPECT_TRUE(editor.Visible());
    g.drv.Press(VK_RETURN);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(grid.Cells(1, 1), "12,5");
    EXPECT_TRUE(editor.Focused());
    EXPECT_EQ(editor.SelLength(), 4);
    g.drv.Press(VK_ESCAPE);
    EXPECT_EQ(grid.Cells(1, 1), "12,5");
    EXPECT_FALSE(editor.Visible());
    EXPECT_EQ(cancels, 1);
    g.drv.Press(VK_ESCAPE);
    EXPECT_EQ(cancels, 2);
    // F2 opens it again, on the text taken.
    g.drv.Press(VK_F2);
    EXPECT_TRUE(editor.Focused());
    EXPECT_EQ(editor.Text(), "12,5");
    // Tab and Shift+Tab go from cell to cell, on to the next row; past the
    // last cell Tab leaves the grid for the dialog's next control.
    g.drv.Press(VK_TAB);
    EXPECT_EQ(g.cell(), "2,1");
    g.drv.Press(VK_TAB, {ssShift});
    EXPECT_EQ(g.cell(), "1,1");
    g.drv.Press(VK_TAB, {ssShift});
    EXPECT_EQ(g.cell(), "1,1");
    EXPECT_FALSE(editor.Focused() || grid.Focused()) << "Shift+Tab before the first cell stayed in the grid";
    grid.SetCol(4);
    grid.SetRow(9);
    grid.SetFocus();
    EXPECT_TRUE(editor.Focused());
    g.drv.Press(VK_TAB);
    EXPECT_EQ(g.cell(), "4,9");
    EXPECT_FALSE(editor.Focused() || grid.Focused()) << "Tab past the last cell stayed in the grid";
    grid.SetCol(1);
    grid.SetRow(1);
    grid.SetFocus();
    // The arrows leave the cell at the ends of its text.
    g.drv.Press(VK_END);
    g.drv.Press(VK_RIGHT);
    EXPECT_EQ(g.cell(), "2,1");
    EXPECT_TRUE(editor.Visible());
    EXPECT_EQ(editor.BoundsRect(), grid.CellRect(2, 1));
}

TEST(StringGrid, ARefusedTextGoesBackToTheCellsOwnAndTheUserIsTold) {
    GridForm g({goEditing});
    TStringGrid& grid = *g.grid;
    std::vector<std::string> told;
    auto previous = set_message_box_handler([&](const MessageBoxRequest& r) {
        told.push_back(r.text);
        return IDOK;
    });
    struct Restore {
        MessageBoxHandler h;
        ~Restore() { set_message_box_handler(h); }
    } restore{previous};
    // Column 2 holds only digits; the check sees the cell and the text.
    std::vector<std::string> asked;
    grid.OnCheckEdit = [&](TObject*, int c, int r, const std::string& v, std::string& refusal) {
        asked.push_back(std::to_string(c) + "," + std::to_string(r) + "=" + v);
        if (c == 2 && v.find_first_not_of("0123456789") != std::string::npos) refusal = "not digits: " + v;
    };
    g.drv.Click(grid, g.centre(2, 2));
    // Enter: refused, the cell has its text back, the editor stays on it.
    g.drv.Type("abc");
    g.drv.Press(VK_RETURN);
    EXPECT_EQ(told, std::vector<std::string>{"not digits: abc"});
    EXPECT_EQ(grid.Cells(2, 2), "2:2");
    ASSERT_NE(grid.InplaceEditor(), nullptr);
    EXPECT_TRUE(grid.InplaceEditor()->Visible());
    EXPECT_EQ(grid.InplaceEditor()->Text(), "2:2");
    // A move away (key or click) is refused as well and the cell stays.
    g.drv.Type("x1");
    g.drv.Press(VK_DOWN);
    g.drv.Type("x2");
    g.drv.Click(grid, g.centre(3, 4));
    EXPECT_EQ(told.size(), 3u);
    EXPECT_EQ(g.cell(), "2,2");
    EXPECT_EQ(grid.Cells(2, 2), "2:2");
    // An accepted text stays; an untouched cell is not asked about.
    asked.clear();
    g.drv.Type("42");
    g.drv.Press(VK_RETURN);
    EXPECT_EQ(grid.Cells(2, 2), "42");
    g.drv.Click(grid, g.centre(3, 4));
    EXPECT_EQ(g.cell(), "3,4");
    EXPECT_EQ(asked, std::vector<std::string>{"2,2=42"});
    EXPECT_EQ(told.size(), 3u);
    // A grid that tells the refusal itself is given it instead of the box.
    std::string refused;
    grid.OnEditRefused = [&](TObject*, int c, int r, const std::string& why) {
        refused = std::to_string(c) + "," + std::to_string(r) + ": " + why + " / cell " + grid.Cells(c, r);
    };
    g.drv.Click(grid, g.centre(2, 4));
    g.drv.Type("q");
    g.drv.Press(VK_RETURN);
    EXPECT_EQ(refused, "2,4: not digits: q / cell 2:4");
    EXPECT_EQ(told.size(), 3u);
}

TEST(StringGrid, ScrollingTheCurrentCellOutOfViewHidesTheEditorUntilItReturns) {
    GridForm g({goEditing, goAlwaysShowEditor});
    TStringGrid& grid = *g.grid;
    int top_left_changes = 0;
    grid.OnTopLeftChanged = [&](TObject*) { ++top_left_changes; };
    TInplaceEdit& editor = *grid.InplaceEditor();
    ASSERT_TRUE(editor.Visible());
    // A press on the down arrow scrolls one row: row 1 leaves the view.
    g.drv.Click(grid, g.down_arrow());
    EXPECT_EQ(grid.TopRow(), 2);
    EXPECT_EQ(top_left_changes, 1);
    EXPECT_EQ(g.cell(), "1,1");
    EXPECT_TRUE(grid.CellRect(1, 1).IsEmpty());
    EXPECT_FALSE(editor.Visible());
    EXPECT_TRUE(grid.EditorMode());
    EXPECT_TRUE(grid.Focused());
    g.drv.Click(grid, g.up_arrow());
    EXPECT_EQ(grid.TopRow(), 1);
    EXPECT_TRUE(editor.Visible());
    EXPECT_EQ(editor.BoundsRect(), grid.CellRect(1, 1));
    // Moving past the last row shown scrolls it into view.
    for (int i = 0; i < 5; ++i) g.drv.Press(VK_DOWN);
    EXPECT_EQ(g.cell(), "1,6");
    EXPECT_EQ(grid.TopRow(), 3);
    EXPECT_EQ(grid.CellRect(1, 6).Bottom, 25 + 4 * 25 - 1);
    // A press on the track pages; the wheel moves the current row.
    g.drv.Click(grid, {grid.ClientWidth() + 8, grid.ClientHeight() - 24});
    EXPECT_EQ(grid.TopRow(), 6);
    g.drv.Wheel(grid, -2);
    EXPECT_EQ(g.cell(), "1,8");
    g.drv.Wheel(grid, 1);
    EXPECT_EQ(g.cell(), "1,7");
}

TEST(StringGrid, DraggingTheThumbScrollsOnReleaseOrWhileTracking) {
    for (bool tracking : {false, true}) {
        GridForm g(tracking ? TGridOptions{goThumbTracking} : TGridOptions{});
        TStringGrid& grid = *g.grid;
        // The thumb starts just below the up arrow.
        const TPoint thumb{grid.ClientWidth() + 8, 16 + 4};
        const TPoint screen_from = grid.ClientToScreen(thumb);
        input::mouse_down(screen_from, mbLeft);
        input::mouse_move(screen_from + TPoint{0, 40}, {ssLeft});
        EXPECT_EQ(grid.TopRow() > 1, tracking);
        input::mouse_move(screen_from + TPoint{0, 400}, {ssLeft});
        input::mouse_up(screen_from + TPoint{0, 400}, mbLeft);
        EXPECT_EQ(grid.TopRow(), 6) << tracking;
        EXPECT_EQ(g.cell(), "1,1");
    }
}

TEST(StringGrid, ColumnsResizeByDraggingTheirLineInTheFixedRow) {
    struct CountingGrid : TStringGrid {
        using TStringGrid::TStringGrid;
        int changes = 0;
        void ColWidthsChanged() override {
            ++changes;
            TStringGrid::ColWidthsChanged();
        }
    };
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 500, 300);
    auto* grid = new CountingGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 450, 200);
    grid->SetOptions(grid->Options() + TGridOptions{goColSizing, goEditing, goAlwaysShowEditor});
    form->Show();
    grid->SetFocus();
    TestDriver drv;
    // The line after column 1 lies at x 129 in the fixed row.
    drv.Drag(*grid, {129, 10}, {159, 12});
    EXPECT_EQ(grid->ColWidths(1), 94);
    EXPECT_GT(grid->changes, 0);
    EXPECT_EQ(grid->CellRect(2, 1).Left, 65 + 95);
    // The editor follows its cell's new width.
    EXPECT_EQ(grid->InplaceEditor()->Width(), 94);
    // Below the fixed row the same drag selects instead.
    drv.Drag(*grid, {158, 40}, {120, 40});
    EXPECT_EQ(grid->ColWidths(1), 94);
    EXPECT_EQ(grid->Col(), 1);
    EXPECT_THROW(grid->ColWidths(5), std::out_of_range);
}

TEST(StringGrid, RangeAndRowSelection) {
    GridForm g({goRangeSelect});
    TStringGrid& grid = *g.grid;
    g.drv.Click(grid, g.centre(1, 1));
    input::mouse_down(grid.ClientToScreen(g.centre(3, 2)), mbLeft, {ssShift});
    input::mouse_up(grid.ClientToScreen(g.centre(3, 2)), mbLeft, {ssShift});
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 3, 2}));
    g.drv.Press(VK_DOWN, {ssShift});
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 3, 3}));
    g.drv.Press(VK_DOWN);
    EXPECT_EQ(grid.Selection(), (TGridRect{3, 4, 3, 4}));
    g.drv.Drag(grid, g.centre(2, 2), g.centre(4, 3));
    EXPECT_EQ(grid.Selection(), (TGridRect{2, 2, 4, 3}));
    grid.SetOptions(grid.Options() + TGridOptions{goRowSelect});
    g.drv.Click(grid, g.centre(2, 4));
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 4, 4, 4}));
    grid.SetSelection({1, 2, 4, 3});
    EXPECT_EQ(g.cell(), "4,3");
}

TEST(StringGrid, CountsFixedCellsAndSparseCells) {
    TStringGrid grid(nullptr);
    EXPECT_THROW(grid.SetFixedRows(5), std::invalid_argument);
    grid.SetCells(2, 20, "far");  // outside the counts: kept all the same
    EXPECT_EQ(grid.Cells(2, 20), "far");
    grid.SetRowCount(30);
    EXPECT_EQ(grid.Cells(2, 20), "far");
    grid.SetRowCount(10);
    grid.SetRowCount(30);
    EXPECT_EQ(grid.Cells(2, 20), "");
    grid.SetCells(4, 2, "x");
    grid.SetColCount(3);
    grid.SetColCount(5);
    EXPECT_EQ(grid.Cells(4, 2), "");
    // A row count at the fixed rows lowers them.
    grid.SetFixedRows(3);
    grid.SetRowCount(2);
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.Row(), 1);
    grid.SetDefaultRowHeight(19);
    EXPECT_EQ(grid.RowHeights(0), 19);
    EXPECT_THROW(grid.SetCells(-1, 0, "x"), std::out_of_range);
}

TEST(StringGrid, TabsWalkTheCellsAndPageKeysScroll) {
    GridForm g({goTabs});
    TStringGrid& grid = *g.grid;
    grid.SetCol(4);
    g.drv.Press(VK_TAB);
    EXPECT_EQ(g.cell(), "1,2");
    g.drv.Press(VK_TAB, {ssShift});
    EXPECT_EQ(g.cell(), "4,1");
    g.drv.Press(VK_NEXT);
    EXPECT_EQ(g.cell(), "4,5");
    EXPECT_EQ(grid.TopRow(), 2);
    g.drv.Press(VK_END, {ssCtrl});
    EXPECT_EQ(g.cell(), "4,9");
    EXPECT_EQ(grid.TopRow(), 6);
    g.drv.Press(VK_HOME);
    EXPECT_EQ(g.cell(), "1,9");
}

// A grid whose column 3 has no editor, whose column 4 may not be changed,
// and whose editor leaves room for a button at the cell's right end.
struct HookedGrid : TStringGrid {
    using TStringGrid::TStringGrid;
    struct NarrowEdit : TInplaceEdit {
        using TInplaceEdit::TInplaceEdit;
        void UpdateLoc(const TRect& cell) override {
            TInplaceEdit::UpdateLoc(cell);
            if (Visible()) SetWidth(std::max(2, Width() - 16));
        }
    };
    int editors_made = 0;
    TInplaceEdit* CreateEditor() override {
        ++editors_made;
        return new NarrowEdit(this);
    }
    bool CanEditShow() const override { return Col() != 3 && TStringGrid::CanEditShow(); }
    bool CanEditModify() const override { return Col() != 4 && TStringGrid::CanEditModify(); }
};

TEST(StringGrid, EditorHooksDecideWhereAndWhatMayBeEdited) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 500, 300);
    auto* grid = new HookedGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 450, 200);
    grid->SetOptions(grid->Options() + TGridOptions{goEditing});
    grid->SetCells(4, 1, "fixed text");
    form->Show();
    grid->SetFocus();
    TestDriver drv;
    drv.Press(VK_F2);
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    EXPECT_EQ(grid->InplaceEditor()->Width(), 64 - 16);
    drv.Press(VK_ESCAPE);
    grid->SetCol(3);
    drv.Type("abc");
    EXPECT_FALSE(grid->InplaceEditor()->Visible());
    EXPECT_EQ(grid->Cells(3, 1), "");
    grid->SetCol(4);
    drv.Type("abc");
    EXPECT_TRUE(grid->InplaceEditor()->Visible());
    drv.Press(VK_DELETE);
    EXPECT_EQ(grid->Cells(4, 1), "fixed text");
    EXPECT_EQ(grid->editors_made, 1);
}

TEST(StringGrid, OwnerDrawingAndStatesReachThePicture) {
    GridForm g;
    TStringGrid& grid = *g.grid;
    std::vector<std::pair<TGridCoord, TGridDrawState>> seen;
    grid.OnDrawCell = [&](TObject*, int c, int r, const TRect& rect, TGridDrawState state) {
        seen.push_back({{c, r}, state});
        if (c == 2 && r == 3) {
            grid.Canvas().Brush().SetColor(clRed);
            grid.Canvas().FillRect(rect.Inflate(-3, -3));
        }
    };
    grid.SetCol(3);
    TBitmap& picture = g.form->Picture();
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output";
    std::filesystem::create_directories(dir);
    g.form->SaveToPng((dir / "string_grid.png").string());
    const TPoint origin = grid.ClientOrigin() - TPoint{g.form->Left(), g.form->Top()};
    auto pixel = [&](int x, int y) { return picture.Pixel(origin.x + x, origin.y + y); };
    const TPoint red = g.centre(2, 3);
    EXPECT_EQ(pixel(red.x, red.y), clRed);
    EXPECT_EQ(pixel(50, 20), ColorToRGB(clBtnFace));  // a fixed cell
    EXPECT_EQ(pixel(66, 48), ColorToRGB(clWindow));   // a plain cell
    EXPECT_EQ(pixel(64, 30), clBlack);                // the line of a fixed column
    EXPECT_EQ(pixel(129, 30), ColorToRGB(clSilver));  // an inner line
    bool fixed_seen = false, focused_seen = false;
    for (const auto& [cell, state] : seen) {
        if (cell == TGridCoord{0, 0}) fixed_seen = state.Contains(gdFixed);
        if (cell == TGridCoord{3, 1}) focused_seen = state.Contains(gdFocused);
    }
    EXPECT_TRUE(fixed_seen);
    EXPECT_TRUE(focused_seen);
    // Without default drawing the handler alone paints the cells.
    grid.SetDefaultDrawing(false);
    grid.OnDrawCell = [&](TObject*, int, int, const TRect& rect, TGridDrawState) {
        grid.Canvas().Brush().SetColor(clYellow);
        grid.Canvas().FillRect(rect);
    };
    EXPECT_EQ(g.form->Picture().Pixel(origin.x + 20, origin.y + 2), clYellow);
}

}  // namespace
}  // namespace ui
