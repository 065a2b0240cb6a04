#include "widrak/my_grid.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/rtl/text.h"
#include "platform/ui/application.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/text_engine.h"
#include "widrak/my_grid_color_form.h"

namespace widrak {

using namespace ui;

namespace {
const char* const kColorHint = " Выбор цвета ";
const char* const kValueHint = " Выбор значения ";

bool editable_kind(unsigned char kind) { return kind == cpText || kind == cpEditList || kind == cpEditButton; }
}  // namespace

// --- GridComboBox ------------------------------------------------------------------

GridComboBox::GridComboBox(TMyGrid* grid) : TComboBox(grid), grid_(grid) {}

bool GridComboBox::WantsKey(TKey key, TShiftState shift) const {
    // The open list's own Enter and Escape.
    if (TComboBox::WantsKey(key, shift)) return true;
    switch (key) {
        case VK_RETURN: return true;
        case VK_TAB: return !shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
        // Escape closes the box before the dialog sees one.
        case VK_ESCAPE: return true;
        default: return false;
    }
}

void GridComboBox::DoKeyDown(TKey& key, TShiftState shift) {
    if (key == VK_TAB && WantsKey(key, shift)) {
        // An open list closes with the item under the keys chosen, as Enter
        // closes it.
        if (DroppedDown()) {
            TKey enter = VK_RETURN;
            TComboBox::DoKeyDown(enter, {});
        }
        key = 0;
        grid_->tab_from_cell(shift);
        return;
    }
    if (key == VK_RETURN) {
        if (DroppedDown()) TComboBox::DoKeyDown(key, shift);
        key = 0;
        grid_->combo_take();
        return;
    }
    if (key == VK_ESCAPE && !DroppedDown()) {
        key = 0;
        grid_->combo_escape();
        return;
    }
    TComboBox::DoKeyDown(key, shift);
}

bool GridComboBox::MouseWheel(TShiftState shift, int delta, TPoint mouse_pos) {
    // While the list is open a turn scrolls the list, never the grid under
    // it (the box's own scrolling never changes the value).
    if (DroppedDown()) {
        TComboBox::MouseWheel(shift, delta, mouse_pos);
        return true;
    }
    return TComboBox::MouseWheel(shift, delta, mouse_pos);
}

int GridComboBox::NaturalHeight() const { return text_engine::line_height(Font()) + 8; }

// --- MyGridInplaceEdit ---------------------------------------------------------------

MyGridInplaceEdit::MyGridInplaceEdit(TMyGrid* grid) : TInplaceEdit(grid), my_grid_(grid) { SetBorderStyle(bsSingle); }

void MyGridInplaceEdit::UpdateLoc(const TRect& cell) {
    my_grid_->process_button(my_grid_->Col(), my_grid_->Row());
    TRect r = cell;
    if (!r.IsEmpty() && my_grid_->button_ && my_grid_->button_->Visible())
        r.Right = std::max(r.Right - my_grid_->button_->Width(), r.Left + 2);
    TInplaceEdit::UpdateLoc(r);
    // In an editable-list cell the editor lies under the drop-down box, or
    // the box's arrow could not be clicked.
    if (my_grid_->combo_->Visible()) my_grid_->combo_->BringToFront();
}

void MyGridInplaceEdit::DoKeyDown(TKey& key, TShiftState shift) {
    // Tab goes past the cells that take no value.
    if (key == VK_TAB && WantsKey(key, shift)) {
        key = 0;
        my_grid_->tab_from_cell(shift);
        return;
    }
    if (key == VK_RETURN && my_grid_->button_ && my_grid_->button_->Visible()) {
        key = 0;
        my_grid_->ButtonClick();
        return;
    }
    TInplaceEdit::DoKeyDown(key, shift);
}

// --- TMyGrid: construction and properties ------------------------------------------------

TMyGrid::TMyGrid(TComponent* owner) : TStringGrid(owner) {
    combo_ = new GridComboBox(this);
    combo_->SetVisible(false);
    combo_->SetParent(this);
    combo_->SetBounds(0, -100, combo_->Width(), 10);
    top_strings_.OnChange = [this] { apply_top_strings(); };
    if (auto_row_height_) SetDefaultRowHeight(combo_->NaturalHeight() - 2);
}

TMyGrid::~TMyGrid() { top_strings_.OnChange = nullptr; }

void TMyGrid::SetFixedAlignment(TAlignment a) {
    if (a == fixed_alignment_) return;
    fixed_alignment_ = a;
    Invalidate();
}

void TMyGrid::SetAlignment(TAlignment a) {
    if (a == alignment_) return;
    alignment_ = a;
    Invalidate();
}

void TMyGrid::SetAddCharasters(bool v) {
    if (v == add_charasters_) return;
    add_charasters_ = v;
    Invalidate();
}

void TMyGrid::SetUseSelColor(bool v) {
    if (v == use_sel_color_) return;
    use_sel_color_ = v;
    Invalidate();
}

void TMyGrid::SetAutoRowHeight(bool v) {
    auto_row_height_ = v;
    // Rows as high as the drop-down box, so that the box grown by a pixel on
    // every side covers its cell exactly.
    if (v) SetDefaultRowHeight(combo_->NaturalHeight() - 2);
}

void TMyGrid::apply_top_strings() {
    if (top_strings_.Count() < 1) return;
    SetColCount(top_strings_.Count());
    if (RowCount() > 0)
        for (int i = 0; i < top_strings_.Count(); ++i) SetCells(i, 0, top_strings_[i]);
}

void TMyGrid::SetCells(int col, int row, std::string text) {
    if (row >= RowCount()) SetRowCount(row + 1);
    if (Cells(col, row) == text) return;
    TStringGrid::SetCells(col, row, std::move(text));
    if (col == Col() && row == Row() && combo_->Visible() && cb_col_ == col && cb_row_ == row)
        copy_cell_text_to_combo();
}

// --- cell kinds, the drop-down and the button -----------------------------------------

void TMyGrid::process_button(int col, int row) {
    if (col == eval_col_ && row == eval_row_) return;
    cell_props_ = cpText;
    if (OnGetCellProps) OnGetCellProps(this, col, row, cell_props_);
    // Remembered first: showing the box or the button may move the editor,
    // which asks again.
    eval_col_ = col;
    eval_row_ = row;
    switch (cell_props_.kind) {
        case cpEditList:
        case cpList:
            hide_button();
            show_combo(cell_props_);
            break;
        case cpColor:
            hide_combo();
            show_button(kColorHint);
            break;
        case cpEditButton:
        case cpButton:
            hide_combo();
            show_button(kValueHint);
            break;
        default:
            hide_combo();
            hide_button();
            break;
    }
}

void TMyGrid::CheckCellProps() {
    eval_col_ = eval_row_ = -1;
    Click();
}

void TMyGrid::show_combo(CELL_PROPS kind) {
    if (!timer_) {
        timer_ = new TTimer(this);
        timer_->SetInterval(500);
        timer_->OnTimer = [this](TObject*) { on_timer(); };
    }
    combo_->Show();
    combo_->BringToFront();
    place_combo();
    if (OnGetPopupStrings) {
        combo_->Items().Clear();
        OnGetPopupStrings(this, Col(), Row(), &combo_->Items());
    }
    copy_cell_text_to_combo();
    combo_->SetStyle(kind.kind == cpEditList ? csDropDown : csDropDownList);
    copy_cell_text_to_combo();
    cb_col_ = Col();
    cb_row_ = Row();
    cb_undo_ = combo_->Text();
}

void TMyGrid::copy_cell_text_to_combo() {
    const std::string& text = Cells(Col(), Row());
    if (combo_->Style() != csDropDownList) {
        combo_->SetText(text);
        return;
    }
    int index = -1;
    for (int i = 0; i < combo_->Items().Count(); ++i)
        if (combo_->Items()[i] == text) {
            index = i;
            break;
        }
    if (index < 0) {
        combo_->Items().Insert(0, text);
        index = 0;
    }
    combo_->SetItemIndex(index);
}

void TMyGrid::read_cb_value() {
    if (!combo_->Visible() || cb_col_ < 0 || cb_col_ >= ColCount() || cb_row_ >= RowCount()) return;
    if (combo_->Text() == Cells(cb_col_, cb_row_)) return;
    SetCells(cb_col_, cb_row_, combo_->Text());
    if (OnChange) OnChange(this);
}

bool TMyGrid::combo_can_undo() const { return combo_->Visible() && cb_col_ >= 0 && combo_->Text() != cb_undo_; }

void TMyGrid::combo_take() {
    read_cb_value();
    cb_undo_ = combo_->Text();
}

void TMyGrid::combo_undo() {
    if (!combo_can_undo()) return;
    // The cell may have taken the value already (the 500 ms check).
    if (cb_col_ < ColCount() && cb_row_ < RowCount() && Cells(cb_col_, cb_row_) != cb_undo_) {
        SetCells(cb_col_, cb_row_, cb_undo_);
        if (OnChange) OnChange(this);
    }
    copy_cell_text_to_combo();
}

void TMyGrid::combo_escape() {
    combo_undo();
    hide_combo();
}

void TMyGrid::hide_combo() {
    if (!combo_->Visible()) return;
    read_cb_value();
    if (combo_->DroppedDown()) combo_->SetDroppedDown(false);
    combo_->Hide();
    cb_col_ = cb_row_ = -1;
    if (EnabledInTree() && CanFocus()) SetFocus();
}

void TMyGrid::on_timer() {
    if (!combo_->Visible() || combo_->DroppedDown()) return;
    const TRect r = CellRect(Col(), Row());
    if (r.Left != combo_->Left() + 1 || r.Top != combo_->Top() + 1) {
        // The grid scrolled or a column changed its width: follow the cell.
        place_combo();
        place_button();
        return;
    }
    read_cb_value();
}

void TMyGrid::place_combo() {
    const TRect r = CellRect(Col(), Row());
    if (r.IsEmpty()) return;
    combo_->SetBounds(r.Left - 1, r.Top - 1, r.Width() + 2, r.Height() + 2);
}

void TMyGrid::show_button(const char* hint) {
    if (!button_) {
        button_ = new TSpeedButton(this);
        button_->SetFlat(true);
        button_->SetParent(this);
        button_->OnClick = [this](TObject*) { ButtonClick(); };
    }
    button_->SetCaption("...");
    button_->SetHint(hint);
    button_->SetShowHint(true);
    place_button();
    button_->Show();
}

void TMyGrid::place_button() {
    if (!button_) return;
    const TRect r = CellRect(Col(), Row());
    if (r.IsEmpty()) return;
    const int side = r.Height();
    button_->SetBounds(r.Right - side, r.Top, side, side);
}

void TMyGrid::hide_button() {
    if (button_) button_->Hide();
}

void TMyGrid::ButtonClick() {
    switch (cell_props_.kind) {
        case cpColor: run_color_popup(); break;
        case cpEditButton:
        case cpButton:
            if (OnBtnClick) OnBtnClick(this);
            break;
        default: break;
    }
}

void TMyGrid::run_color_popup() {
    const int col = Col(), row = Row();
    // A text that is no colour starts the palette at black.
    TColor colour = clBlack;
    if (!rtl::TryStringToColor(Cells(col, row), colour)) colour = clBlack;
    TCustomForm* owner_form = nullptr;
    for (TWinControl* p = Parent(); p && !owner_form; p = p->Parent()) owner_form = dynamic_cast<TCustomForm*>(p);
    const TRect r = CellRect(col, row);
    const TPoint at = ClientToScreen({r.Left, r.Bottom});

    auto* form = new TMyGridColorForm(owner_form);
    TMyGridColorForm::SetCurrent(form);
    form->SetBounds(at.x, at.y, form->Width(), form->Height());
    form->ColorSelector1->SetColorValue(colour);
    // Rolls out downwards.
    const int height = form->Height();
    form->SetHeight(0);
    form->Show();
    for (int i = 1; i <= 10; ++i) {
        form->SetHeight(height * i / 10);
        form->Repaint();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    while (form->Visible()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Application().ProcessMessages();
    }
    const bool chosen = form->ColorChosen();
    const TColor picked = form->ColorSelector1->ColorValue();
    TMyGridColorForm::SetCurrent(nullptr);
    delete form;
    if (chosen) {
        SetCells(col, row, rtl::ColorToString(picked));
        if (OnChange) OnChange(this);
    }
}

// --- input ---------------------------------------------------------------------------

void TMyGrid::Click() {
    TStringGrid::Click();
    // In a property list the names stay put: a click on one edits its value.
    if (prop_editor_mode_ && Col() == 0 && ColCount() > 1) SetCol(1);
    read_cb_value();
    process_button(Col(), Row());
    // A click on a list cell whose box Escape closed opens the box again.
    const bool list = cell_props_.kind == cpList || cell_props_.kind == cpEditList;
    if (list && !combo_->Visible() && !CellRect(Col(), Row()).IsEmpty()) show_combo(cell_props_);
    SetEditorMode(editable_kind(cell_props_.kind));
}

void TMyGrid::DblClick() {
    TStringGrid::DblClick();
    if (button_ && button_->Visible()) ButtonClick();
}

TGridCoord TMyGrid::tab_target(TShiftState shift) const {
    const bool back = shift.Contains(ssShift);
    int c = Col(), r = Row();
    // Each cell once at most.
    for (long n = static_cast<long>(ColCount()) * RowCount(); n > 0; --n) {
        if (back) {
            if (--c < FixedCols()) {
                c = ColCount() - 1;
                if (--r < FixedRows()) break;
            }
        } else if (++c >= ColCount()) {
            c = FixedCols();
            if (++r >= RowCount()) break;
        }
        if (prop_editor_mode_ && c == 0 && ColCount() > 1) continue;
        auto* self = const_cast<TMyGrid*>(this);
        CELL_PROPS kind;
        if (OnGetCellProps) OnGetCellProps(self, c, r, kind);
        bool stop = kind.kind != cpReadOnly;
        if (OnGetTabStop) OnGetTabStop(self, c, r, stop);
        if (stop) return {c, r};
    }
    return {-1, -1};
}

void TMyGrid::tab_from_cell(TShiftState shift) {
    read_cb_value();
    const TGridCoord to = tab_target(shift);
    if (to.X < 0) {
        // From the grid, not from its editor: the grid's own place in the
        // tab order is where the focus goes on from.
        if (TCustomForm* f = GetParentForm(this)) f->SelectNext(this, !shift.Contains(ssShift), true);
        return;
    }
    FocusCell(to.X, to.Y, true);
}

bool TMyGrid::WantsKey(TKey key, TShiftState shift) const {
    if (TStringGrid::WantsKey(key, shift)) return true;
    if (!Options().Contains(goEditing) || Options().Contains(goRowSelect)) return false;
    switch (key) {
        // On a cell with its drop-down the grid keeps the editor's keys.
        case VK_RETURN: return combo_->Visible();
        case VK_ESCAPE: return combo_->Visible();
        case VK_TAB: return !shift.Contains(ssCtrl) && !shift.Contains(ssAlt) && tab_target(shift).X >= 0;
        default: return false;
    }
}

void TMyGrid::DoKeyDown(TKey& key, TShiftState shift) {
    const bool editing = Options().Contains(goEditing) && !Options().Contains(goRowSelect);
    if (editing && combo_->Visible()) {
        // The keys of the cell's drop-down, its list open or not, even where
        // the grid kept the focus.
        if (key == VK_RETURN || key == VK_ESCAPE) {
            combo_->DoKeyDown(key, shift);
            key = 0;
            return;
        }
        // The list opens from the keys as well.
        if ((key == VK_DOWN && shift.Contains(ssAlt)) || key == VK_F4) {
            key = 0;
            if (combo_->CanFocus()) combo_->SetFocus();
            combo_->SetDroppedDown(true);
            return;
        }
    }
    if (editing && key == VK_TAB && WantsKey(key, shift)) {
        key = 0;
        tab_from_cell(shift);
        return;
    }
    TStringGrid::DoKeyDown(key, shift);
}

bool TMyGrid::MouseWheel(TShiftState shift, int delta, TPoint mouse_pos) {
    if (combo_->DroppedDown()) return true;
    return TStringGrid::MouseWheel(shift, delta, mouse_pos);
}

TInplaceEdit* TMyGrid::CreateEditor() {
    auto* editor = new MyGridInplaceEdit(this);
    if (OnGetEditroParams) OnGetEditroParams(editor);
    return editor;
}

bool TMyGrid::CanEditShow() const {
    if (!TStringGrid::CanEditShow()) return false;
    // The kind of the cell the editor would show on.
    const_cast<TMyGrid*>(this)->process_button(Col(), Row());
    return editable_kind(cell_props_.kind);
}

bool TMyGrid::CanEditModify() const {
    if (!TStringGrid::CanEditModify()) return false;
    return !(prop_editor_mode_ && Cells(0, Row()).empty());
}

void TMyGrid::TopLeftChanged() {
    TStringGrid::TopLeftChanged();
    if (CellRect(Col(), Row()).IsEmpty()) {
        hide_combo();
        hide_button();
    }
}

void TMyGrid::ColWidthsChanged() {
    TStringGrid::ColWidthsChanged();
    if (combo_->Visible()) place_combo();
    if (button_ && button_->Visible()) place_button();
}

void TMyGrid::Resized() {
    TStringGrid::Resized();
    if (combo_ && combo_->Visible()) place_combo();
    if (button_ && button_->Visible()) place_button();
}

// --- drawing and sizing ------------------------------------------------------------------

TSize TMyGrid::cell_text(TCanvas& c, int col, int row, const TRect& rect, bool measure) {
    std::string text = Cells(col, row);
    const bool fixed = col < FixedCols() || row < FixedRows();
    TAlignment align = fixed ? fixed_alignment_ : alignment_;
    if (!fixed && OnGetAlignment) OnGetAlignment(this, col, row, align);
    const TFont saved = c.Font();
    if (add_charasters_ && text.size() > 1 && text[0] == '\\' && (!prop_editor_mode_ || col == 0)) {
        const char second = text[1];
        if (second == 'B' || second == 'b') c.Font().SetStyle(c.Font().Style() << fsBold);
        if (second == 'I' || second == 'i') c.Font().SetStyle(c.Font().Style() << fsItalic);
        // The marker's second character may take several bytes.
        std::size_t cut = 2;
        while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
        text.erase(0, cut);
    }
    TRect r = rect;
    const int margin = c.TextWidth(" ");
    unsigned flags = DT_NOPREFIX;
    if (align == taLeftJustify) {
        r.Left += margin;
    } else if (align == taRightJustify) {
        r.Right -= margin;
        flags |= DT_RIGHT;
    } else {
        flags |= DT_CENTER;
    }
    TRect m = r;
    c.DrawText(text, m, flags | DT_CALCRECT);
    const TSize size{m.Width(), m.Height()};
    if (!measure) {
        const TBrushStyle brush = c.Brush().Style();
        c.Brush().SetStyle(bsClear);
        c.DrawText(text, r, flags);
        c.Brush().SetStyle(brush);
    }
    c.Font().Assign(saved);
    return size;
}

void TMyGrid::draw_color_cell(TCanvas& c, int col, int row, const TRect& rect) {
    c.FillRect(rect);
    const std::string& text = Cells(col, row);
    if (text.empty()) return;
    // A text that is no colour is shown as the window colour, never as an
    // error in the middle of painting.
    TColor colour = clWindow;
    if (!rtl::TryStringToColor(text, colour)) colour = clWindow;
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(clWindowFrame);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(colour);
    c.Rectangle(rect.Left + 2, rect.Top + 2, rect.Left + rect.Height(), rect.Bottom - 2);
    c.Font().SetColor(Font().Color());
    c.Brush().SetColor(Color());
    c.TextOut(rect.Left + rect.Height() + 2, rect.Top + (rect.Height() - c.TextHeight(text)) / 2, text);
}

void TMyGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas& c = Canvas();
    const TSize size = cell_text(c, col, row, rect, true);
    TRect text_rect = rect;
    text_rect.Top += (rect.Height() - size.cy) / 2;
    if (!state.Contains(gdFixed)) {
        CELL_PROPS kind;
        if (OnGetCellProps) OnGetCellProps(this, col, row, kind);
        if (kind.kind == cpColor) {
            draw_color_cell(c, col, row, rect);
            return;
        }
        if (!state.Contains(gdSelected) || !use_sel_color_) {
            TColor background = Color();
            c.Font().SetColor(Font().Color());
            if (OnGetDrawParams) OnGetDrawParams(this, col, row, background, &c.Font());
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(background);
            c.FillRect(rect);
        }
    }
    cell_text(c, col, row, text_rect, false);
    if (OnDrawCell) OnDrawCell(this, col, row, rect, state);
}

void TMyGrid::ResizeRow(int row) {
    TCanvas& c = measure_.Canvas();
    c.Font().Assign(Font());
    int height = c.TextHeight("#");
    for (int col = 0; col < ColCount(); ++col)
        height = std::max(height, cell_text(c, col, row, Rect(0, 0, 100000, 100000), true).cy);
    SetRowHeights(row, height + 4);
}

void TMyGrid::ResizeCol(int col) {
    TCanvas& c = measure_.Canvas();
    c.Font().Assign(Font());
    int width = c.TextWidth("#");
    for (int row = 0; row < RowCount(); ++row)
        width = std::max(width, cell_text(c, col, row, Rect(0, 0, 100000, 100000), true).cx);
    SetColWidths(col, width + c.TextWidth("  ") + 4);
}

void TMyGrid::AlignHorizontal() {
    for (int col = 0; col < ColCount(); ++col) ResizeCol(col);
}

// --- text and the clipboard -----------------------------------------------------------

std::string TMyGrid::GetText() {
    TGridRect block = Selection();
    if (block.Left == block.Right && block.Top == block.Bottom) block = {0, 0, ColCount() - 1, RowCount() - 1};
    std::string out;
    for (int row = block.Top; row <= block.Bottom; ++row) {
        std::string line;
        for (int col = block.Left; col <= block.Right; ++col) {
            std::string text = rtl::Trim(Cells(col, row));
            if (line.empty()) {
                line = std::move(text);
            } else {
                std::replace(text.begin(), text.end(), '\n', ' ');
                line += '\t';
                line += text;
            }
        }
        out += line;
        out += "\r\n";
    }
    return out;
}

void TMyGrid::CopyToClipboard(const std::string& header) {
    const std::string text = header.empty() ? GetText() : header + "\n" + GetText();
    CopyTextToClipboard(utf8_to_utf16(text));
}

void TMyGrid::CopyTextToClipboard(std::u16string_view text) {
    TClipboard& clipboard = Clipboard();
    if (!clipboard.Open()) return;
    clipboard.Clear();
    clipboard.SetAsUnicodeText(text);
    clipboard.Close();
}

}  // namespace widrak
