#include "platform/ui/grids.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"

namespace ui {

// One direction of the grid: the cells' sizes, how many are fixed, the first
// scrolling one shown, and the client extent they share.
struct TCustomGrid::Axis {
    const std::vector<int>* sizes = nullptr;
    int count = 0;
    int fixed = 0;
    int first = 0;
    int line = 0;
    int extent = 0;

    int size(int i) const { return (*sizes)[static_cast<std::size_t>(i)]; }
    int fixed_extent() const {
        int x = 0;
        for (int i = 0; i < fixed; ++i) x += size(i) + line;
        return x;
    }
    // Where cell i starts, or INT_MIN when it is not shown.
    int pos(int i) const {
        if (i < 0 || i >= count) return INT_MIN;
        int x = 0;
        if (i < fixed) {
            for (int k = 0; k < i; ++k) x += size(k) + line;
        } else {
            if (i < first) return INT_MIN;
            x = fixed_extent();
            for (int k = first; k < i; ++k) {
                x += size(k) + line;
                if (x >= extent) return INT_MIN;
            }
        }
        return x < extent ? x : INT_MIN;
    }
    // The cells shown, in order, with where they start.
    template <typename F>
    void each_shown(F&& f) const {
        int x = 0;
        for (int i = 0; i < fixed && x < extent; ++i) {
            f(i, x);
            x += size(i) + line;
        }
        for (int i = first; i < count && x < extent; ++i) {
            f(i, x);
            x += size(i) + line;
        }
    }
    // The cell under a coordinate (a cell's line counts as the cell's), or -1.
    int at(int coord) const {
        int found = -1;
        each_shown([&](int i, int x) {
            if (found < 0 && coord >= x && coord < x + size(i) + line) found = i;
        });
        return found;
    }
    // How many scrolling cells from `first` are shown whole.
    int full_count() const {
        int x = fixed_extent(), n = 0;
        for (int i = first; i < count; ++i) {
            if (x + size(i) > extent) break;
            x += size(i) + line;
            ++n;
        }
        return n;
    }
    // The first scrolling cell that still shows the last one whole.
    int max_first() const {
        int x = fixed_extent(), i = count - 1;
        while (i >= fixed && x + size(i) <= extent) {
            x += size(i) + line;
            --i;
        }
        return std::max(fixed, std::min(i + 1, count - 1));
    }
    // The first scrolling cell that shows cell `target` whole (or as much of
    // it as fits) at the far end.
    int first_showing(int target) const {
        int x = fixed_extent() + size(target), i = target;
        while (i - 1 >= fixed && x + line + size(i - 1) <= extent) {
            x += line + size(i - 1);
            --i;
        }
        return i;
    }
    int total() const {
        int x = 0;
        for (int i = 0; i < count; ++i) x += size(i) + line;
        return x;
    }
};

// --- TInplaceEdit ----------------------------------------------------------

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : TEdit(grid), grid_(grid) {
    SetVisible(false);
    SetBorderStyle(bsNone);
    SetTabStop(false);
}

void TInplaceEdit::UpdateLoc(const TRect& cell) {
    if (cell.IsEmpty()) {
        if (TCustomForm* f = GetParentForm(this); f && f->ActiveControl() == this) grid_->SetFocus();
        Hide();
        return;
    }
    SetBounds(cell.Left, cell.Top, cell.Width(), cell.Height());
    Show();
}

void TInplaceEdit::UpdateContents() {
    loading_ = true;
    SetText(grid_->GetEditText(grid_->edit_col_, grid_->edit_row_));
    loading_ = false;
    undo_text_ = Text();
    SelectAll();
}

void TInplaceEdit::Undo() {
    if (!CanUndo()) return;
    SetText(undo_text_);
    SelectAll();
}

void TInplaceEdit::TextChanged() {
    TEdit::TextChanged();
    if (!loading_ && grid_->edit_col_ >= 0) grid_->SetEditText(grid_->edit_col_, grid_->edit_row_, Text());
}

void TInplaceEdit::KeyDown(TKey& key, TShiftState shift) {
    if (grid_->OnKeyDown) {
        grid_->OnKeyDown(grid_, key, shift);
        if (key == 0) return;
    }
    TEdit::KeyDown(key, shift);
}

void TInplaceEdit::KeyPress(char32_t& key) {
    if (grid_->OnKeyPress) {
        grid_->OnKeyPress(grid_, key);
        if (key == 0) return;
    }
    TEdit::KeyPress(key);
}

bool TInplaceEdit::WantsKey(TKey key, TShiftState shift) const {
    switch (key) {
        // A cell being edited keeps Enter (it ends the edit) and Tab (the
        // next cell) from the dialog around the grid, as a grid editor does
        // on every desktop; Tab past the last cell goes on to the control
        // after the grid.
        case VK_TAB: return !shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
        case VK_RETURN: return true;
        // Escape closes the editor (abandoning its edit) before the dialog
        // sees one.
        case VK_ESCAPE: return true;
        default: return false;
    }
}

void TInplaceEdit::DoKeyDown(TKey& key, TShiftState shift) {
    const bool always = grid_->options_.Contains(goAlwaysShowEditor);
    switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
            grid_->navigate(key, shift);
            key = 0;
            return;
        case VK_TAB:
            if (!WantsKey(key, shift)) return;
            key = 0;
            if (grid_->options_.Contains(goTabs) || grid_->tab_target(shift).X >= 0) {
                grid_->navigate(VK_TAB, shift);
            } else if (TCustomForm* f = GetParentForm(grid_)) {
                // From the grid, not from its editor: the grid's own place in
                // the tab order is where the focus goes on from.
                f->SelectNext(grid_, !shift.Contains(ssShift), true);
            }
            return;
        case VK_ESCAPE:
            grid_->editor_escape();
            key = 0;
            return;
        case VK_LEFT:
            // With the editor always up, the arrows leave the cell at its ends.
            if (always && SelLength() == 0 && SelStart() == 0) {
                grid_->navigate(key, shift);
                key = 0;
                return;
            }
            break;
        case VK_RIGHT:
            if (always && SelLength() == 0 && SelStart() == length()) {
                grid_->navigate(key, shift);
                key = 0;
                return;
            }
            break;
        case VK_DELETE:
            if (!grid_->CanEditModify()) {
                key = 0;
                return;
            }
            break;
        default:
            if (shift.Contains(ssCtrl) && (key == 'V' || key == 'X') && !grid_->CanEditModify()) {
                key = 0;
                return;
            }
            break;
    }
    TEdit::DoKeyDown(key, shift);
}

void TInplaceEdit::DoKeyPress(char32_t& key) {
    if (key == U'\r') {
        key = 0;
        // A refused text is back to the cell's own and the editor stays.
        if (!grid_->edit_accepted()) return;
        // The cell keeps the text (it follows every change): what Escape
        // would now give back is the text just taken.
        if (grid_->options_.Contains(goAlwaysShowEditor)) {
            undo_text_ = Text();
            SelectAll();
        } else {
            grid_->HideEditor();
        }
        return;
    }
    if (key == 27 || key == U'\t') {
        key = 0;
        return;
    }
    if ((key >= 32 || key == 8) && !grid_->CanEditModify()) {
        key = 0;
        return;
    }
    TEdit::DoKeyPress(key);
}

// --- TCustomGrid: geometry -------------------------------------------------------

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
    set_bounds_raw(0, 0, 320, 120);
    SetTabStop(true);
    SetColor(clWindow);
    SetControlStyle({csCaptureMouse, csDoubleClicks, csOpaque});
    col_widths_.assign(static_cast<std::size_t>(col_count_), default_col_width_);
    row_heights_.assign(static_cast<std::size_t>(row_count_), default_row_height_);
}

TCustomGrid::~TCustomGrid() { editor_ = nullptr; }

TCustomGrid::Axis TCustomGrid::axis(bool cols) const {
    Axis a;
    a.sizes = cols ? &col_widths_ : &row_heights_;
    a.count = cols ? col_count_ : row_count_;
    a.fixed = cols ? fixed_cols_ : fixed_rows_;
    a.first = cols ? left_col_ : top_row_;
    a.line = line_width_;
    a.extent = cols ? ClientWidth() : ClientHeight();
    return a;
}

void TCustomGrid::scroll_bars_needed(bool& horz, bool& vert) const {
    const int b = border_style_ == bsSingle ? 2 : 0;
    const int w = Width() - 2 * b, h = Height() - 2 * b;
    Axis ax, ay;
    ax.sizes = &col_widths_;
    ax.count = col_count_;
    ax.line = line_width_;
    ay.sizes = &row_heights_;
    ay.count = row_count_;
    ay.line = line_width_;
    const bool allow_h = scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth;
    const bool allow_v = scroll_bars_ == ssVertical || scroll_bars_ == ssBoth;
    const int tw = ax.total(), th = ay.total();
    vert = allow_v && th > h;
    horz = allow_h && tw > w - (vert ? FrameScrollBar::kSize : 0);
    if (horz && !vert) vert = allow_v && th > h - FrameScrollBar::kSize;
}

TRect TCustomGrid::ClientInsets() const {
    const int b = border_style_ == bsSingle ? 2 : 0;
    bool horz = false, vert = false;
    scroll_bars_needed(horz, vert);
    return {b, b, b + (vert ? FrameScrollBar::kSize : 0), b + (horz ? FrameScrollBar::kSize : 0)};
}

void TCustomGrid::update_scroll_bars() {
    bool horz = false, vert = false;
    scroll_bars_needed(horz, vert);
    const int b = border_style_ == bsSingle ? 2 : 0;
    const int k = FrameScrollBar::kSize;
    hbar_.SetVisible(horz);
    vbar_.SetVisible(vert);
    hbar_.SetBoundsRect(Rect(b, Height() - b - k, Width() - b - (vert ? k : 0), Height() - b));
    vbar_.SetBoundsRect(Rect(Width() - b - k, b, Width() - b, Height() - b - (horz ? k : 0)));
    hbar_.SetParams(fixed_cols_, col_count_ - 1, std::max(1, VisibleColCount()));
    vbar_.SetParams(fixed_rows_, row_count_ - 1, std::max(1, VisibleRowCount()));
    hbar_.SetPosition(left_col_);
    vbar_.SetPosition(top_row_);
}

int TCustomGrid::max_top_row() const { return axis(false).max_first(); }
int TCustomGrid::max_left_col() const { return axis(true).max_first(); }
int TCustomGrid::VisibleColCount() const { return axis(true).full_count(); }
int TCustomGrid::VisibleRowCount() const { return axis(false).full_count(); }

TRect TCustomGrid::CellRect(int col, int row) const {
    const Axis ax = axis(true), ay = axis(false);
    const int x = ax.pos(col), y = ay.pos(row);
    if (x == INT_MIN || y == INT_MIN) return {};
    return Rect(x, y, x + ax.size(col), y + ay.size(row));
}

void TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const {
    const TGridCoord c = MouseCoord(x, y);
    col = c.X;
    row = c.Y;
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) const {
    const int col = axis(true).at(x), row = axis(false).at(y);
    if (col < 0 || row < 0) return {-1, -1};
    return {col, row};
}

void TCustomGrid::check_index(int col, int row, const char* what) const {
    if (col < 0 || col >= col_count_ || row < 0 || row >= row_count_)
        throw std::out_of_range(std::string("TCustomGrid::") + what + ": cell (" + std::to_string(col) + ", " +
                                std::to_string(row) + ") out of range");
}

// --- counts and sizes --------------------------------------------------------------

void TCustomGrid::SetColCount(int n) {
    n = std::max(1, n);
    if (n == col_count_) return;
    if (n <= fixed_cols_) fixed_cols_ = n - 1;
    const int old = col_count_;
    col_count_ = n;
    col_widths_.resize(static_cast<std::size_t>(n), default_col_width_);
    col_ = std::clamp(col_, fixed_cols_, n - 1);
    anchor_.X = std::clamp(anchor_.X, fixed_cols_, n - 1);
    left_col_ = std::clamp(left_col_, fixed_cols_, std::max(fixed_cols_, max_left_col()));
    SizeChanged(old, row_count_);
    Invalidate();
    update_edit();
}

void TCustomGrid::SetRowCount(int n) {
    n = std::max(1, n);
    if (n == row_count_) return;
    if (n <= fixed_rows_) fixed_rows_ = n - 1;
    const int old = row_count_;
    row_count_ = n;
    row_heights_.resize(static_cast<std::size_t>(n), default_row_height_);
    row_ = std::clamp(row_, fixed_rows_, n - 1);
    anchor_.Y = std::clamp(anchor_.Y, fixed_rows_, n - 1);
    top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, max_top_row()));
    SizeChanged(col_count_, old);
    Invalidate();
    update_edit();
}

void TCustomGrid::SetFixedCols(int n) {
    if (n < 0 || n >= col_count_)
        throw std::invalid_argument("TCustomGrid::SetFixedCols: " + std::to_string(n) +
                                    " fixed columns need more columns than " + std::to_string(col_count_));
    fixed_cols_ = n;
    col_ = std::max(col_, n);
    anchor_.X = std::max(anchor_.X, n);
    left_col_ = std::clamp(left_col_, n, std::max(n, max_left_col()));
    Invalidate();
    update_edit();
}

void TCustomGrid::SetFixedRows(int n) {
    if (n < 0 || n >= row_count_)
        throw std::invalid_argument("TCustomGrid::SetFixedRows: " + std::to_string(n) +
                                    " fixed rows need more rows than " + std::to_string(row_count_));
    fixed_rows_ = n;
    row_ = std::max(row_, n);
    anchor_.Y = std::max(anchor_.Y, n);
    top_row_ = std::clamp(top_row_, n, std::max(n, max_top_row()));
    Invalidate();
    update_edit();
}

void TCustomGrid::SetDefaultColWidth(int w) {
    default_col_width_ = std::max(0, w);
    col_widths_.assign(static_cast<std::size_t>(col_count_), default_col_width_);
    Invalidate();
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int h) {
    default_row_height_ = std::max(0, h);
    row_heights_.assign(static_cast<std::size_t>(row_count_), default_row_height_);
    Invalidate();
    RowHeightsChanged();
}

int TCustomGrid::ColWidths(int col) const {
    if (col < 0 || col >= col_count_)
        throw std::out_of_range("TCustomGrid::ColWidths: column " + std::to_string(col) + " out of range");
    return col_widths_[static_cast<std::size_t>(col)];
}

void TCustomGrid::SetColWidths(int col, int width) {
    ColWidths(col);
    width = std::max(0, width);
    if (col_widths_[static_cast<std::size_t>(col)] == width) return;
    col_widths_[static_cast<std::size_t>(col)] = width;
    Invalidate();
    ColWidthsChanged();
}

int TCustomGrid::RowHeights(int row) const {
    if (row < 0 || row >= row_count_)
        throw std::out_of_range("TCustomGrid::RowHeights: row " + std::to_string(row) + " out of range");
    return row_heights_[static_cast<std::size_t>(row)];
}

void TCustomGrid::SetRowHeights(int row, int height) {
    RowHeights(row);
    height = std::max(0, height);
    if (row_heights_[static_cast<std::size_t>(row)] == height) return;
    row_heights_[static_cast<std::size_t>(row)] = height;
    Invalidate();
    RowHeightsChanged();
}

void TCustomGrid::SetOptions(TGridOptions options) {
    // A row selection has no single cell to edit.
    if (options.Contains(goRowSelect)) options >>= goAlwaysShowEditor;
    options_ = options;
    if (!options_.Contains(goRangeSelect)) anchor_ = {col_, row_};
    if (!options_.Contains(goEditing)) {
        editor_mode_ = false;
        hide_edit();
    } else if (options_.Contains(goAlwaysShowEditor)) {
        editor_mode_ = true;
    }
    Invalidate();
    update_edit();
}

void TCustomGrid::SetScrollBars(TScrollStyle s) {
    scroll_bars_ = s;
    Invalidate();
    Realign();
    update_edit();
}

void TCustomGrid::SetBorderStyle(TBorderStyle b) {
    border_style_ = b;
    Invalidate();
    update_edit();
}

void TCustomGrid::SetDefaultDrawing(bool v) {
    default_drawing_ = v;
    Invalidate();
}

void TCustomGrid::SizeChanged(int, int) {}

void TCustomGrid::ColWidthsChanged() {
    left_col_ = std::clamp(left_col_, fixed_cols_, std::max(fixed_cols_, max_left_col()));
    update_edit();
}

void TCustomGrid::RowHeightsChanged() {
    top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, max_top_row()));
    update_edit();
}

void TCustomGrid::Resized() {
    TCustomControl::Resized();
    left_col_ = std::clamp(left_col_, fixed_cols_, std::max(fixed_cols_, max_left_col()));
    top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, max_top_row()));
    update_edit();
}

void TCustomGrid::InvalidateCell(int, int) { Invalidate(); }

// --- the current cell and scrolling --------------------------------------------------

TGridRect TCustomGrid::Selection() const {
    TGridRect r{std::min(anchor_.X, col_), std::min(anchor_.Y, row_), std::max(anchor_.X, col_),
                std::max(anchor_.Y, row_)};
    if (options_.Contains(goRowSelect)) {
        r.Left = fixed_cols_;
        r.Right = col_count_ - 1;
    }
    return r;
}

void TCustomGrid::SetSelection(const TGridRect& r) {
    check_index(r.Left, r.Top, "SetSelection");
    check_index(r.Right, r.Bottom, "SetSelection");
    anchor_ = {r.Left, r.Top};
    col_ = r.Right;
    row_ = r.Bottom;
    if (!options_.Contains(goRangeSelect)) anchor_ = {col_, row_};
    Invalidate();
    update_edit();
}

void TCustomGrid::SetCol(int col) {
    check_index(col, row_, "SetCol");
    if (col != col_) FocusCell(col, row_, true);
}

void TCustomGrid::SetRow(int row) {
    check_index(col_, row, "SetRow");
    if (row != row_) FocusCell(col_, row, true);
}

bool TCustomGrid::SelectCell(int col, int row) {
    bool can = true;
    if (OnSelectCell) OnSelectCell(this, col, row, can);
    return can;
}

bool TCustomGrid::FocusCell(int col, int row, bool move_anchor) {
    const bool moved = move_current(col, row, move_anchor);
    Click();
    return moved;
}

bool TCustomGrid::move_current(int col, int row, bool move_anchor) {
    if ((col != edit_col_ || row != edit_row_) && !edit_accepted()) return false;
    if (!SelectCell(col, row)) return false;
    col_ = col;
    row_ = row;
    if (move_anchor || !options_.Contains(goRangeSelect)) anchor_ = {col, row};
    Invalidate();
    make_visible(col, row);
    if (options_.Contains(goEditing) && options_.Contains(goAlwaysShowEditor)) editor_mode_ = true;
    update_edit();
    return true;
}

void TCustomGrid::make_visible(int col, int row) {
    int left = left_col_, top = top_row_;
    const Axis ax = axis(true), ay = axis(false);
    if (col >= fixed_cols_ && !options_.Contains(goRowSelect)) {
        if (col < left)
            left = col;
        else if (col > left && ax.full_count() < col - left + 1)
            left = ax.first_showing(col);
    }
    if (row >= fixed_rows_) {
        if (row < top)
            top = row;
        else if (row > top && ay.full_count() < row - top + 1)
            top = ay.first_showing(row);
    }
    scroll_to(left, top);
}

void TCustomGrid::SetTopRow(int row) { scroll_to(left_col_, row); }
void TCustomGrid::SetLeftCol(int col) { scroll_to(col, top_row_); }

void TCustomGrid::scroll_to(int left, int top) {
    left = std::clamp(left, fixed_cols_, std::max(fixed_cols_, max_left_col()));
    top = std::clamp(top, fixed_rows_, std::max(fixed_rows_, max_top_row()));
    if (left == left_col_ && top == top_row_) return;
    left_col_ = left;
    top_row_ = top;
    Invalidate();
    TopLeftChanged();
}

void TCustomGrid::TopLeftChanged() {
    update_edit();
    if (OnTopLeftChanged) OnTopLeftChanged(this);
}

// --- the editor ------------------------------------------------------------------

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

bool TCustomGrid::CanEditShow() const {
    return options_.Contains(goEditing) && !options_.Contains(goRowSelect) && editor_mode_;
}

bool TCustomGrid::CanEditModify() const { return options_.Contains(goEditing); }

std::string TCustomGrid::GetEditText(int col, int row) {
    std::string value;
    if (OnGetEditText) OnGetEditText(this, col, row, value);
    return value;
}

void TCustomGrid::SetEditText(int col, int row, const std::string& value) {
    if (OnSetEditText) OnSetEditText(this, col, row, value);
}

void TCustomGrid::SetEditorMode(bool v) {
    editor_mode_ = v && options_.Contains(goEditing);
    if (editor_mode_)
        update_edit();
    else
        hide_edit();
}

bool TCustomGrid::editor_focused() const {
    const TCustomForm* f = GetParentForm(this);
    return editor_ && f && f->ActiveControl() == editor_;
}

bool TCustomGrid::has_focus() const { return Focused() || (editor_ && editor_->Focused()); }

void TCustomGrid::update_edit() {
    if (!editor_mode_ || !CanEditShow()) {
        hide_edit();
        return;
    }
    if (!editor_) {
        editor_ = CreateEditor();
        editor_->SetParent(this);
    }
    if (edit_col_ != col_ || edit_row_ != row_) {
        edit_col_ = col_;
        edit_row_ = row_;
        editor_->UpdateContents();
    }
    const bool had_focus = has_focus();
    editor_->UpdateLoc(CellRect(col_, row_));
    if (editor_->Visible() && had_focus && !editor_focused()) editor_->SetFocus();
}

void TCustomGrid::hide_edit() {
    if (!editor_) return;
    edit_col_ = edit_row_ = -1;
    if (!editor_->Visible()) return;
    if (editor_focused()) SetFocus();
    editor_->Hide();
}

void TCustomGrid::editor_escape() {
    if (editor_ && editor_->CanUndo()) editor_->Undo();
    HideEditor();
}

bool TCustomGrid::edit_accepted() {
    if (!OnCheckEdit || checking_edit_ || !editor_ || edit_col_ < 0 || !editor_->CanUndo()) return true;
    std::string refusal;
    OnCheckEdit(this, edit_col_, edit_row_, editor_->Text(), refusal);
    if (refusal.empty()) return true;
    // The cell has its own text back before the user reads why: nothing the
    // message box's loop runs meanwhile sees the refused one.
    checking_edit_ = true;
    const int col = edit_col_, row = edit_row_;
    editor_->Undo();
    if (OnEditRefused)
        OnEditRefused(this, col, row, refusal);
    else
        MessageBox(refusal, "Неверное значение", MB_OK | MB_ICONWARNING);
    checking_edit_ = false;
    return false;
}

// --- keys ------------------------------------------------------------------------

bool TCustomGrid::WantsKey(TKey key, TShiftState) const {
    if (key == VK_TAB) return options_.Contains(goTabs);
    if (key == VK_RETURN)
        return options_.Contains(goEditing) && !options_.Contains(goAlwaysShowEditor) &&
               !options_.Contains(goRowSelect);
    return false;
}

TGridCoord TCustomGrid::tab_target(TShiftState shift) const {
    int c = col_, r = row_;
    if (shift.Contains(ssShift)) {
        if (--c < fixed_cols_) {
            c = col_count_ - 1;
            --r;
        }
    } else if (++c >= col_count_) {
        c = fixed_cols_;
        ++r;
    }
    if (r < fixed_rows_ || r >= row_count_) return {-1, -1};
    return {c, r};
}

void TCustomGrid::navigate(TKey key, TShiftState shift) {
    const bool ctrl = shift.Contains(ssCtrl);
    const bool extend = shift.Contains(ssShift) && options_.Contains(goRangeSelect) && key != VK_TAB;
    const bool row_select = options_.Contains(goRowSelect);
    int c = col_, r = row_;
    switch (key) {
        case VK_UP: --r; break;
        case VK_DOWN: ++r; break;
        case VK_LEFT:
        case VK_RIGHT:
            if (row_select) {
                scroll_to(left_col_ + (key == VK_LEFT ? -1 : 1), top_row_);
                return;
            }
            c += key == VK_LEFT ? -1 : 1;
            break;
        case VK_PRIOR: r -= std::max(1, VisibleRowCount()); break;
        case VK_NEXT: r += std::max(1, VisibleRowCount()); break;
        case VK_HOME:
            if (ctrl || row_select)
                r = fixed_rows_;
            else
                c = fixed_cols_;
            break;
        case VK_END:
            if (ctrl || row_select)
                r = row_count_ - 1;
            else
                c = col_count_ - 1;
            break;
        case VK_TAB:
            if (shift.Contains(ssShift)) {
                if (--c < fixed_cols_) {
                    c = col_count_ - 1;
                    if (--r < fixed_rows_) r = row_count_ - 1;
                }
            } else if (++c >= col_count_) {
                c = fixed_cols_;
                if (++r >= row_count_) r = fixed_rows_;
            }
            break;
        default: return;
    }
    c = std::clamp(c, fixed_cols_, col_count_ - 1);
    r = std::clamp(r, fixed_rows_, row_count_ - 1);
    if (c != col_ || r != row_) FocusCell(c, r, !extend);
}

void TCustomGrid::DoKeyDown(TKey& key, TShiftState shift) {
    switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            navigate(key, shift);
            key = 0;
            break;
        case VK_TAB:
            if (options_.Contains(goTabs)) {
                navigate(key, shift);
                key = 0;
            }
            break;
        case VK_F2:
            ShowEditor();
            key = 0;
            break;
        default: break;
    }
}

void TCustomGrid::DoKeyPress(char32_t& key) {
    const bool editing = options_.Contains(goEditing) && !options_.Contains(goRowSelect);
    if (key == U'\r') {
        if (editing && !options_.Contains(goAlwaysShowEditor)) SetEditorMode(!editor_mode_);
        key = 0;
        return;
    }
    if (key < 32 || !editing) return;
    // Typing starts the editing; the character replaces the cell's text.
    ShowEditor();
    if (editor_ && editor_->Visible()) editor_->DoKeyPress(key);
    key = 0;
}

void TCustomGrid::DoEnter() {
    TCustomControl::DoEnter();
    if (options_.Contains(goEditing) && options_.Contains(goAlwaysShowEditor)) ShowEditor();
}

void TCustomGrid::DoExit() {
    TCustomControl::DoExit();
    if (!options_.Contains(goAlwaysShowEditor)) HideEditor();
}

bool TCustomGrid::WheelScroll(TShiftState, int delta, TPoint) {
    int notches = delta / 120;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    const int r = std::clamp(row_ - notches, fixed_rows_, row_count_ - 1);
    if (r != row_) FocusCell(col_, r, true);
    return true;
}

// --- mouse ------------------------------------------------------------------------

int TCustomGrid::sizing_target(int x, int y, bool& is_col) const {
    const Axis ax = axis(true), ay = axis(false);
    int found = -1;
    if (options_.Contains(goColSizing) && fixed_rows_ > 0 && y >= 0 && y < ay.fixed_extent()) {
        ax.each_shown([&](int i, int pos) {
            const int edge = pos + ax.size(i);
            if (x >= edge - 3 && x < edge + line_width_ + 3) found = i;
        });
        if (found >= 0) {
            is_col = true;
            return found;
        }
    }
    if (options_.Contains(goRowSizing) && fixed_cols_ > 0 && x >= 0 && x < ax.fixed_extent()) {
        ay.each_shown([&](int i, int pos) {
            const int edge = pos + ay.size(i);
            if (y >= edge - 3 && y < edge + line_width_ + 3) found = i;
        });
        if (found >= 0) {
            is_col = false;
            return found;
        }
    }
    return -1;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (!ClientRect().Contains({x, y})) {
        // The border and the scroll bars: no cell, and no OnMouseDown.
        if (button != mbLeft || !EnabledInTree()) return;
        update_scroll_bars();
        const TRect in = ClientInsets();
        const TPoint p{x + in.Left, y + in.Top};
        for (FrameScrollBar* bar : {&vbar_, &hbar_}) {
            if (bar->HitTest(p) == FrameScrollBar::Part::None) continue;
            const int pos = bar->Press(p);
            if (bar->Dragging())
                drag_ = bar == &vbar_ ? Drag::VBar : Drag::HBar;
            else if (bar == &vbar_)
                scroll_to(left_col_, pos);
            else
                scroll_to(pos, top_row_);
            return;
        }
        return;
    }
    if (button == mbLeft && !shift.Contains(ssDouble) && EnabledInTree()) {
        bool is_col = false;
        const int size_index = sizing_target(x, y, is_col);
        if (size_index >= 0) {
            drag_ = is_col ? Drag::SizeCol : Drag::SizeRow;
            sizing_index_ = size_index;
            sizing_origin_ = axis(is_col).pos(size_index);
        } else {
            const TGridCoord cell = MouseCoord(x, y);
            if (cell.X >= fixed_cols_ && cell.Y >= fixed_rows_) {
                const bool same = cell.X == col_ && cell.Y == row_;
                const bool extend = shift.Contains(ssShift) && options_.Contains(goRangeSelect);
                bool moved = true;
                if (same && !extend && options_.Contains(goEditing) && !options_.Contains(goRowSelect)) {
                    ShowEditor();
                } else if (edit_accepted()) {
                    // A press on another cell ends the editing of this one.
                    if (!options_.Contains(goAlwaysShowEditor)) HideEditor();
                    move_current(cell.X, cell.Y, !extend);
                } else {
                    moved = false;  // the press went to the refusal's message
                }
                if (moved && options_.Contains(goRangeSelect)) drag_ = Drag::Select;
                Click();
            }
        }
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
    const TRect in = ClientInsets();
    const TPoint p{x + in.Left, y + in.Top};
    switch (drag_) {
        case Drag::SizeCol: SetColWidths(sizing_index_, x - sizing_origin_); break;
        case Drag::SizeRow: SetRowHeights(sizing_index_, y - sizing_origin_); break;
        case Drag::Select: {
            const TGridCoord cell = MouseCoord(x, y);
            if (cell.X >= fixed_cols_ && cell.Y >= fixed_rows_ && (cell.X != col_ || cell.Y != row_))
                move_current(cell.X, cell.Y, false);
            break;
        }
        case Drag::HBar:
        case Drag::VBar: {
            FrameScrollBar& bar = drag_ == Drag::HBar ? hbar_ : vbar_;
            const int pos = bar.DragTo(p);
            if (options_.Contains(goThumbTracking)) {
                if (drag_ == Drag::HBar)
                    scroll_to(pos, top_row_);
                else
                    scroll_to(left_col_, pos);
            } else {
                bar.SetShownPosition(pos);
                Invalidate();
            }
            break;
        }
        case Drag::None: break;
    }
    TCustomControl::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (drag_ == Drag::HBar || drag_ == Drag::VBar) {
        const TRect in = ClientInsets();
        FrameScrollBar& bar = drag_ == Drag::HBar ? hbar_ : vbar_;
        const int pos = bar.DragTo({x + in.Left, y + in.Top});
        bar.EndDrag();
        if (drag_ == Drag::HBar)
            scroll_to(pos, top_row_);
        else
            scroll_to(left_col_, pos);
        Invalidate();
    }
    drag_ = Drag::None;
    TCustomControl::MouseUp(button, shift, x, y);
}

// --- painting ---------------------------------------------------------------------

void TCustomGrid::PaintFrame(TCanvas& c) {
    TRect r = Rect(0, 0, Width(), Height());
    if (border_style_ == bsSingle) DrawEdge(c, r, Edge::Sunken);
    update_scroll_bars();
    hbar_.Paint(c, EnabledInTree());
    vbar_.Paint(c, EnabledInTree());
    if (hbar_.Visible() && vbar_.Visible()) {
        c.Brush().SetColor(clBtnFace);
        c.FillRect(
            Rect(vbar_.BoundsRect().Left, hbar_.BoundsRect().Top, vbar_.BoundsRect().Right, hbar_.BoundsRect().Bottom));
    }
}

void TCustomGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    if (OnDrawCell) OnDrawCell(this, col, row, rect, state);
}

void TCustomGrid::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const Axis ax = axis(true), ay = axis(false);
    const TGridRect sel = Selection();
    const bool focused = has_focus();
    const bool editor_up = editor_ && editor_->Visible();
    const bool row_select = options_.Contains(goRowSelect);
    ay.each_shown([&](int row, int y) {
        ax.each_shown([&](int col, int x) {
            const TRect r = Rect(x, y, x + ax.size(col), y + ay.size(row));
            const bool fixed = col < fixed_cols_ || row < fixed_rows_;
            TGridDrawState state;
            const bool current = col == col_ && row == row_;
            if (fixed)
                state <<= gdFixed;
            else if (sel.Contains(col, row) &&
                     (row_select || options_.Contains(goDrawFocusSelected) || !current || !focused))
                state <<= gdSelected;
            if (current && focused && !fixed) state <<= gdFocused;
            c.Pen().SetColor(clBlack);
            c.Pen().SetStyle(psSolid);
            c.Pen().SetWidth(1);
            c.Brush().SetStyle(bsSolid);
            c.Font().Assign(Font());
            if (default_drawing_) {
                c.Brush().SetColor(fixed ? fixed_color_ : state.Contains(gdSelected) ? clHighlight : Color());
                if (state.Contains(gdSelected)) c.Font().SetColor(clHighlightText);
                c.FillRect(r);
            }
            DrawCell(col, row, r, state);
            c.Brush().SetStyle(bsSolid);
            if (default_drawing_ && fixed &&
                (options_.Contains(goFixedVertLine) || options_.Contains(goFixedHorzLine))) {
                TRect e = r;
                Frame3D(c, e, clBtnHighlight, clBtnShadow, 1);
            }
            if (default_drawing_ && state.Contains(gdFocused) && !row_select && !editor_up) c.DrawFocusRect(r);
            // The cell's grid lines: to its right and below it.
            if (line_width_ > 0) {
                const bool vert = options_.Contains(fixed ? goFixedVertLine : goVertLine);
                const bool horz = options_.Contains(fixed ? goFixedHorzLine : goHorzLine);
                c.Brush().SetColor(fixed ? clBlack : clSilver);
                if (vert) c.FillRect(Rect(r.Right, r.Top, r.Right + line_width_, r.Bottom + line_width_));
                if (horz) c.FillRect(Rect(r.Left, r.Bottom, r.Right + line_width_, r.Bottom + line_width_));
            }
        });
    });
}

// --- TStringGrid ------------------------------------------------------------------

TStringGrid::TStringGrid(TComponent* owner) : TCustomGrid(owner) {}

const std::string& TStringGrid::Cells(int col, int row) const {
    static const std::string empty;
    auto it = cells_.find({row, col});
    return it == cells_.end() ? empty : it->second;
}

void TStringGrid::SetCells(int col, int row, std::string text) {
    if (col < 0 || row < 0)
        throw std::out_of_range("TStringGrid::SetCells: cell (" + std::to_string(col) + ", " + std::to_string(row) +
                                ") out of range");
    const std::pair<int, int> key{row, col};
    if (text.empty()) {
        if (cells_.erase(key) == 0) return;
    } else {
        auto [it, inserted] = cells_.try_emplace(key);
        if (!inserted && it->second == text) return;
        it->second = std::move(text);
    }
    Invalidate();
    // The editor shows what code writes into its cell.
    TInplaceEdit* e = InplaceEditor();
    if (e && e->Visible() && col == Col() && row == Row() && e->Text() != Cells(col, row)) e->UpdateContents();
}

std::string TStringGrid::GetEditText(int col, int row) {
    std::string value = Cells(col, row);
    if (OnGetEditText) OnGetEditText(this, col, row, value);
    return value;
}

void TStringGrid::SetEditText(int col, int row, const std::string& value) {
    SetCells(col, row, value);
    TCustomGrid::SetEditText(col, row, value);
}

void TStringGrid::SizeChanged(int old_col_count, int old_row_count) {
    const bool fewer_rows = RowCount() < old_row_count, fewer_cols = ColCount() < old_col_count;
    for (auto it = cells_.begin(); it != cells_.end();) {
        if ((fewer_rows && it->first.first >= RowCount()) || (fewer_cols && it->first.second >= ColCount()))
            it = cells_.erase(it);
        else
            ++it;
    }
}

void TStringGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    if (DefaultDrawing()) {
        const std::string& text = Cells(col, row);
        TCanvas& c = Canvas();
        if (text.find_first_of("\r\n") == std::string::npos) {
            c.TextRect(rect, rect.Left + 2, rect.Top + 2, text);
        } else {
            // A line break in a cell (a two-line heading) starts a second
            // line, never a glyph of its own.
            if (c.Brush().Style() == bsSolid) c.FillRect(rect);
            const TBrushStyle brush = c.Brush().Style();
            c.Brush().SetStyle(bsClear);
            std::string lines = text;
            lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
            TRect r = Rect(rect.Left + 2, rect.Top + 2, rect.Right, rect.Bottom);
            c.DrawText(lines, r, DT_NOPREFIX);
            c.Brush().SetStyle(brush);
        }
    }
    TCustomGrid::DrawCell(col, row, rect, state);
}

}  // namespace ui
