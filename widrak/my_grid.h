#pragma once
// The station's string grid. Each cell may be plain text, a drop-down list
// (editable or list only), a colour, read-only, or a value chosen through a
// small "..." button: the owner decides cell by cell through OnGetCellProps.
// Cells may be aligned and coloured one by one, hold several lines (drawn
// centred vertically), and, with AddCharasters, start with "\b" (bold) or
// "\i" (italic). Rows and columns fit their texts on request; the selection
// or the whole grid goes to the clipboard as tab-separated lines; a
// two-column property editor mode keeps the names in column 0 fixed.
//
// The drop-down of a list cell is a combo box laid over the current cell;
// its value reaches the cell on the next click, when it is hidden, and
// from a 500 ms check that also moves it after the grid scrolled.

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/extctrls.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/timer.h"
#include "widrak/myfunctions.h"

namespace widrak {

// Kinds of cells.
enum TCellKind : unsigned char { cpText, cpEditList, cpColor, cpList, cpReadOnly, cpEditButton, cpButton };

// What OnGetCellProps answers for a cell: its kind, one byte (0 when the
// event is not set). Assigning a kind or a plain number sets it.
struct CELL_PROPS {
    unsigned char kind = cpText;
    CELL_PROPS() = default;
    CELL_PROPS(unsigned char k) : kind(k) {}  // NOLINT: a kind is a CELL_PROPS
    operator unsigned char() const { return kind; }
};

class TMyGrid;

using TGetDrawParamsEvent =
    std::function<void(ui::TObject* Sender, int ACol, int ARow, TColor& CellColor, ui::TFont* Font)>;
using TGetEditorParamsEvent = std::function<void(ui::TInplaceEdit* Editor)>;
using TGetAlignmentEvent = std::function<void(ui::TObject* Sender, int ACol, int ARow, ui::TAlignment& Alignment)>;
using TGetCellPropsEvent = std::function<void(ui::TObject* Sender, int ACol, int ARow, CELL_PROPS& CellProps)>;
using TGetPopupStringsEvent = std::function<void(ui::TObject* Sender, int ACol, int ARow, ui::TStrings* Strings)>;
using TGetTabStopEvent = std::function<void(ui::TObject* Sender, int ACol, int ARow, bool& TabStop)>;

// The grid's drop-down: while its list is open the wheel scrolls the list and
// never reaches the grid. It is the cell's editor, and keeps the editor's
// keys from the dialog around the grid: Enter takes the chosen item into
// the cell, Escape closes the open list, then gives the cell back its text
// and closes the box (a click on the cell opens it again), Tab and
// Shift+Tab go to the next and the former cell.
class GridComboBox : public ui::TComboBox {
public:
    explicit GridComboBox(TMyGrid* grid);
    bool MouseWheel(ui::TShiftState shift, int delta, ui::TPoint mouse_pos) override;
    bool WantsKey(ui::TKey key, ui::TShiftState shift) const override;
    // The height the box takes for its font.
    int NaturalHeight() const;

protected:
    void DoKeyDown(ui::TKey& key, ui::TShiftState shift) override;

private:
    friend class TMyGrid;
    TMyGrid* grid_;
};

// The grid's editor: single border; it narrows itself for the "..." button.
class MyGridInplaceEdit : public ui::TInplaceEdit {
public:
    explicit MyGridInplaceEdit(TMyGrid* grid);
    void UpdateLoc(const ui::TRect& cell) override;

protected:
    void DoKeyDown(ui::TKey& key, ui::TShiftState shift) override;

private:
    TMyGrid* my_grid_;
};

class TMyGrid : public ui::TStringGrid {
public:
    explicit TMyGrid(ui::TComponent* owner);
    ~TMyGrid() override;

    ui::TAlignment FixedAlignment() const { return fixed_alignment_; }
    void SetFixedAlignment(ui::TAlignment a);
    ui::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(ui::TAlignment a);
    bool AddCharasters() const { return add_charasters_; }
    void SetAddCharasters(bool v);
    // Setting it gives every row the height of the drop-down box.
    bool AutoRowHeight() const { return auto_row_height_; }
    void SetAutoRowHeight(bool v);
    // Column headings: the column count follows, row 0 shows them.
    ui::TStrings& TopStrings() { return top_strings_; }
    void SetTopStrings(const ui::TStrings& strings) { top_strings_ = strings; }
    bool UseSelColor() const { return use_sel_color_; }
    void SetUseSelColor(bool v);
    bool PropEditorMode() const { return prop_editor_mode_; }
    void SetPropEditorMode(bool v) { prop_editor_mode_ = v; }

    // Texts. Writing a row at or beyond RowCount raises RowCount to row + 1;
    // a text equal to the cell's changes nothing.
    std::string GetCells(int col, int row) const { return Cells(col, row); }
    void SetCells(int col, int row, std::string text);

    void ResizeRow(int row);
    void ResizeCol(int col);
    void AlignHorizontal();
    // The selection (or the whole grid when one cell is selected) as lines of
    // tab-separated texts, CR LF after each line.
    std::string GetText();
    void CopyToClipboard(const std::string& header);
    void CopyTextToClipboard(std::u16string_view text);
    // Asks OnGetCellProps about the current cell again.
    void CheckCellProps();

    // The kind of the current cell as last evaluated.
    CELL_PROPS CellKind() const { return cell_props_; }
    GridComboBox* ComboBox() const { return combo_; }
    // The "..." button (null before its first use).
    ui::TSpeedButton* CellButton() const { return button_; }
    ui::TTimer* CheckTimer() const { return timer_; }
    // Presses the "..." button as a click on it does.
    void ButtonClick();
    // Takes the drop-down's value into its cell now, as the next click on
    // the grid would (a window that reads the cells on OK calls it first).
    void CommitComboValue() { read_cb_value(); }

    void Click() override;
    void DblClick() override;
    bool MouseWheel(ui::TShiftState shift, int delta, ui::TPoint mouse_pos) override;
    bool WantsKey(ui::TKey key, ui::TShiftState shift) const override;

    ui::TNotifyEvent OnChange;
    ui::TNotifyEvent OnBtnClick;
    TGetDrawParamsEvent OnGetDrawParams;
    TGetEditorParamsEvent OnGetEditroParams;
    TGetAlignmentEvent OnGetAlignment;
    TGetCellPropsEvent OnGetCellProps;
    TGetPopupStringsEvent OnGetPopupStrings;
    // Whether Tab stops at the cell; it comes in with every cell but the
    // read-only ones (and the names of a property list).
    TGetTabStopEvent OnGetTabStop;

protected:
    void DrawCell(int col, int row, const ui::TRect& rect, ui::TGridDrawState state) override;
    ui::TInplaceEdit* CreateEditor() override;
    bool CanEditShow() const override;
    bool CanEditModify() const override;
    void TopLeftChanged() override;
    void ColWidthsChanged() override;
    void Resized() override;
    void DoKeyDown(ui::TKey& key, ui::TShiftState shift) override;

private:
    friend class GridComboBox;
    friend class MyGridInplaceEdit;
    void process_button(int col, int row);
    void show_combo(CELL_PROPS kind);
    void hide_combo();
    void copy_cell_text_to_combo();
    void read_cb_value();
    // The drop-down's value differs from the cell's text when its edit
    // began (or was last taken).
    bool combo_can_undo() const;
    // Enter: the value goes into the cell and becomes what Escape gives back.
    void combo_take();
    // Escape: the cell and the box get back the text the edit began with.
    void combo_undo();
    // Escape with the list closed: the edit abandoned, the box closed.
    void combo_escape();
    // The cell Tab (Shift+Tab) goes to: the next (former) one that can be
    // edited or chosen, or {-1, -1} past the last (first).
    ui::TGridCoord tab_target(ui::TShiftState shift) const;
    // Tab from the cell's editor, its drop-down or the grid: to that cell,
    // or past the grid's last (first) cell to the next (former) control.
    void tab_from_cell(ui::TShiftState shift);
    void on_timer();
    void place_combo();
    void place_button();
    void show_button(const char* hint);
    void hide_button();
    void run_color_popup();
    void apply_top_strings();
    // Draws (or only measures) a cell's text in the rectangle; returns the
    // size the text takes.
    ui::TSize cell_text(ui::TCanvas& c, int col, int row, const ui::TRect& rect, bool measure);
    void draw_color_cell(ui::TCanvas& c, int col, int row, const ui::TRect& rect);

    ui::TAlignment fixed_alignment_ = ui::taCenter;
    ui::TAlignment alignment_ = ui::taRightJustify;
    bool add_charasters_ = false;
    bool auto_row_height_ = true;
    ui::TStrings top_strings_;
    bool use_sel_color_ = true;
    bool prop_editor_mode_ = false;

    GridComboBox* combo_ = nullptr;
    ui::TSpeedButton* button_ = nullptr;
    ui::TTimer* timer_ = nullptr;
    CELL_PROPS cell_props_;
    int eval_col_ = -1, eval_row_ = -1;
    int cb_col_ = -1, cb_row_ = -1;
    std::string cb_undo_;
    ui::TBitmap measure_{1, 1};
};

}  // namespace widrak
