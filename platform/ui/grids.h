#pragma once
// Grids: TCustomGrid lays out columns and rows, scrolls, selects, paints
// cells and runs the in-place editor; TStringGrid keeps a text per cell.
//
// Geometry. Every column has a width and every row a height, followed by a
// grid line of GridLineWidth pixels. The first FixedRows rows and FixedCols
// columns stay where they are; the others scroll, TopRow being the first
// scrolling row shown and LeftCol the first scrolling column. Cell
// rectangles and mouse points are in the grid's client coordinates, which
// leave out the border and the scroll bars; a cell that is scrolled out of
// view has an empty rectangle, and a point on no cell maps to column and row
// -1. A cell's grid line (to its right and below) counts as the cell's for
// the mouse.
//
// The current cell (Col, Row) is where the focus and the in-place editor
// are; with goRangeSelect the selection stretches from an anchor to it, with
// goRowSelect it covers whole rows. Whenever the user puts the current cell
// somewhere (a click on a cell, a key, the wheel) or the code sets Col or
// Row to another cell, OnSelectCell may refuse it, and after the move
// OnClick fires. A press on a cell moves the current cell first and then
// fires OnMouseDown, so that the handler sees the new cell.
//
// Editing (goEditing). The editor shows on F2, on Enter, on a click on the
// current cell, or on typing (the typed character replaces the cell's text);
// with goAlwaysShowEditor it is always up while the grid has the focus. It
// sits over the current cell, follows it when the grid scrolls or a column
// is resized, and hides while the cell is out of view. Each change of its
// text reaches the cell at once (SetEditText, OnSetEditText). Enter ends the
// editing (with goAlwaysShowEditor it only selects the text again and leaves
// Enter to the form's default button). Escape undoes the changes made since
// the editor came to the cell and closes the editor, an always shown one
// too (it comes back with the next cell, a click on the cell, F2 or
// typing): only an Escape with no editor up reaches the dialog's Cancel.
//
// OnCheckEdit may refuse a text the user typed: it is asked when the edit of
// a changed cell ends with Enter or the current cell moves on. A refused
// text gives the cell back the text it had when the editor came to it, the
// user is told the reason (through OnEditRefused, or else in a message box),
// and the current cell stays.
//
// The scroll bars count cells: a press on an arrow scrolls by one, on the
// track by a page; with goThumbTracking the grid follows the dragged thumb,
// otherwise it scrolls when the thumb is let go. A wheel notch moves the
// current row by one. With goColSizing (goRowSizing) the lines between the
// fixed cells can be dragged to resize a column (row).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/edits.h"
#include "platform/ui/frame_scroll.h"

namespace ui {

enum TGridOption {
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};
using TGridOptions = Set<TGridOption>;

enum TGridDrawStateItem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = Set<TGridDrawStateItem>;

struct TGridCoord {
    int X = 0;
    int Y = 0;
    friend constexpr bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

// A block of cells; Right and Bottom are the last column and row in it.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    constexpr bool Contains(int col, int row) const {
        return col >= Left && col <= Right && row >= Top && row <= Bottom;
    }
    friend constexpr bool operator==(const TGridRect&, const TGridRect&) = default;
};

using TDrawCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, const TRect& Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TGetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;
// Leaves Refusal empty to take Value, or says why the cell cannot hold it.
using TCheckEditEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value, std::string& Refusal)>;
using TEditRefusedEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Refusal)>;

class TCustomGrid;

// The editor a grid places over its current cell. A grid makes it with its
// CreateEditor; derived editors may change how it is placed (UpdateLoc) and
// how it takes keys.
class TInplaceEdit : public TEdit {
public:
    explicit TInplaceEdit(TCustomGrid* grid);
    TCustomGrid* Grid() const { return grid_; }
    // Places the editor on the cell rectangle (grid client coordinates) and
    // shows it; an empty rectangle hides it.
    virtual void UpdateLoc(const TRect& cell);
    // Loads the text of the grid's current cell (the grid's GetEditText) and
    // selects it; Undo goes back to this text.
    void UpdateContents();
    // True when the text differs from the one loaded; Undo restores it (the
    // cell follows).
    bool CanUndo() const { return Text() != undo_text_; }
    void Undo();

    // The grid sees the editor's keys first (its OnKeyDown and OnKeyPress).
    void KeyDown(TKey& key, TShiftState shift) override;
    void KeyPress(char32_t& key) override;
    bool WantsKey(TKey key, TShiftState shift) const override;

protected:
    void TextChanged() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;
    void AdjustSize() override {}

private:
    friend class TCustomGrid;
    TCustomGrid* grid_;
    std::string undo_text_;
    bool loading_ = false;
};

class TCustomGrid : public TCustomControl {
public:
    explicit TCustomGrid(TComponent* owner);
    ~TCustomGrid() override;

    // Counts. A row count at or below FixedRows lowers FixedRows; FixedRows
    // (FixedCols) must stay below the row (column) count, or
    // std::invalid_argument is thrown. Counts below 1 count as 1.
    int ColCount() const { return col_count_; }
    void SetColCount(int n);
    int RowCount() const { return row_count_; }
    void SetRowCount(int n);
    int FixedCols() const { return fixed_cols_; }
    void SetFixedCols(int n);
    int FixedRows() const { return fixed_rows_; }
    void SetFixedRows(int n);

    // Sizes in pixels; setting a default size gives it to every column (row).
    // Indexes outside the grid throw std::out_of_range.
    void SetDefaultColWidth(int w);
    int DefaultRowHeight() const { return default_row_height_; }
    void SetDefaultRowHeight(int h);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int GridLineWidth() const { return line_width_; }

    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions options);
    void SetScrollBars(TScrollStyle s);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle b);
    // The grid fills cells in their state's colours before DrawCell and draws
    // the string grid's texts; without it DrawCell (OnDrawCell) does it all.
    bool DefaultDrawing() const { return default_drawing_; }
    void SetDefaultDrawing(bool v);

    // The current cell. Setting it to another cell asks SelectCell
    // (OnSelectCell), scrolls it into view and fires OnClick; an index outside
    // the grid throws std::out_of_range.
    int Col() const { return col_; }
    void SetCol(int col);
    int Row() const { return row_; }
    void SetRow(int row);
    TGridRect Selection() const;
    // Makes the block the selection, its top-left the anchor and its
    // bottom-right the current cell; no events.
    void SetSelection(const TGridRect& r);

    int TopRow() const { return top_row_; }
    void SetTopRow(int row);
    int LeftCol() const { return left_col_; }
    void SetLeftCol(int col);
    // How many scrolling columns (rows) are shown whole.
    int VisibleColCount() const;
    int VisibleRowCount() const;

    TRect CellRect(int col, int row) const;
    void MouseToCell(int x, int y, int& col, int& row) const;
    TGridCoord MouseCoord(int x, int y) const;

    // EditorMode: the editor is wanted on the current cell (shown when
    // CanEditShow allows).
    bool EditorMode() const { return editor_mode_; }
    void SetEditorMode(bool v);
    void ShowEditor() { SetEditorMode(true); }
    void HideEditor() { SetEditorMode(false); }
    // The editor, once made (null before the first editing).
    TInplaceEdit* InplaceEditor() const { return editor_; }

    void InvalidateCell(int col, int row);

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    bool WantsKey(TKey key, TShiftState shift) const override;

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TGetEditEvent OnGetEditText;
    TSetEditEvent OnSetEditText;
    TCheckEditEvent OnCheckEdit;
    TEditRefusedEvent OnEditRefused;
    TNotifyEvent OnTopLeftChanged;

protected:
    // Draws one cell; the canvas holds the state's brush and font (and the
    // cell is filled with them under DefaultDrawing). The base fires
    // OnDrawCell.
    virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
    // Whether the current cell may move to the cell; the base asks
    // OnSelectCell.
    virtual bool SelectCell(int col, int row);
    // Makes the in-place editor (owned by the grid).
    virtual TInplaceEdit* CreateEditor();
    // Whether the editor may show on the current cell: goEditing without
    // goRowSelect, in editor mode.
    virtual bool CanEditShow() const;
    // Whether the user may change the text of the current cell: goEditing.
    virtual bool CanEditModify() const;
    // The text the editor starts from (OnGetEditText may change it) and where
    // its changes go (OnSetEditText).
    virtual std::string GetEditText(int col, int row);
    virtual void SetEditText(int col, int row, const std::string& value);
    // After TopRow or LeftCol changed: the editor follows, OnTopLeftChanged.
    virtual void TopLeftChanged();
    // After a column width (row height) changed: the editor follows.
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    // After the counts changed.
    virtual void SizeChanged(int old_col_count, int old_row_count);

    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void Resized() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;
    void DoEnter() override;
    void DoExit() override;
    bool WheelScroll(TShiftState shift, int delta, TPoint mouse_pos) override;

    // Moves the current cell as the user does: SelectCell, scroll into view,
    // the editor follows, then OnClick. False when refused.
    bool FocusCell(int col, int row, bool move_anchor);

private:
    friend class TInplaceEdit;
    struct Axis;
    Axis axis(bool cols) const;
    void scroll_bars_needed(bool& horz, bool& vert) const;
    void update_scroll_bars();
    int max_top_row() const;
    int max_left_col() const;
    void scroll_to(int left, int top);
    bool move_current(int col, int row, bool move_anchor);
    void make_visible(int col, int row);
    void update_edit();
    void hide_edit();
    bool editor_focused() const;
    bool has_focus() const;
    void navigate(TKey key, TShiftState shift);
    // The cell Tab (Shift+Tab) moves to, or {-1, -1} past the last (first).
    TGridCoord tab_target(TShiftState shift) const;
    void editor_escape();
    // Whether the edit of the editor's cell may end with the editor's text
    // (OnCheckEdit); refused, the cell has its text back and the user has
    // been told.
    bool edit_accepted();
    int sizing_target(int x, int y, bool& is_col) const;
    void check_index(int col, int row, const char* what) const;

    int col_count_ = 5, row_count_ = 5, fixed_cols_ = 1, fixed_rows_ = 1;
    int default_col_width_ = 64, default_row_height_ = 24, line_width_ = 1;
    std::vector<int> col_widths_, row_heights_;
    TGridOptions options_{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    TScrollStyle scroll_bars_ = ssBoth;
    TBorderStyle border_style_ = bsSingle;
    bool default_drawing_ = true;
    TColor fixed_color_ = clBtnFace;
    int col_ = 1, row_ = 1;
    TGridCoord anchor_{1, 1};
    int top_row_ = 1, left_col_ = 1;
    bool editor_mode_ = false;
    TInplaceEdit* editor_ = nullptr;
    int edit_col_ = -1, edit_row_ = -1;
    bool checking_edit_ = false;
    FrameScrollBar hbar_{sbHorizontal}, vbar_{sbVertical};
    enum class Drag { None, Select, SizeCol, SizeRow, HBar, VBar };
    Drag drag_ = Drag::None;
    int sizing_index_ = -1, sizing_origin_ = 0;
};

// A grid of texts. Cells are kept sparsely; a cell outside the counts may be
// written and read, and when a count shrinks the cells beyond it go.
class TStringGrid : public TCustomGrid {
public:
    explicit TStringGrid(TComponent* owner);
    const std::string& Cells(int col, int row) const;
    void SetCells(int col, int row, std::string text);

protected:
    // Under DefaultDrawing the cell's text at 2, 2 inside the cell, clipped to
    // it; then OnDrawCell.
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
    std::string GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const std::string& value) override;
    void SizeChanged(int old_col_count, int old_row_count) override;

private:
    std::map<std::pair<int, int>, std::string> cells_;  // (row, col)
};

}  // namespace ui
