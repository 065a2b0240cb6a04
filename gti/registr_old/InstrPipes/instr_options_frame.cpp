#include "gti/registr_old/InstrPipes/instr_options_frame.h"

#include <algorithm>
#include <stdexcept>

#include "library/numeric/numeric.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/canvas.h"

using namespace ui;

namespace {

constexpr TColor kStringColour = 0x8000;

widrak::TMyButton* tool_button(TInstrOptionsFrame* frame, TWinControl* parent, const char* name, const char* caption,
                               int left) {
    auto* b = new widrak::TMyButton(frame);
    b->SetName(name);
    b->SetParent(parent);
    b->SetCaption(caption);
    b->SetBounds(left, 5, 75, 23);
    return b;
}

TMenuItem* menu_item(TInstrOptionsFrame* frame, TPopupMenu* menu, const char* caption, TShortCut shortcut,
                     TNotifyEvent click) {
    auto* i = new TMenuItem(frame);
    i->SetCaption(caption);
    if (shortcut) i->SetShortCut(shortcut);
    i->OnClick = std::move(click);
    menu->Items()->Add(i);
    return i;
}

}  // namespace

TInstrOptionsFrame::TInstrOptionsFrame(TComponent* owner) : TPanel(owner) {
    SetName("InstrOptionsFrame");
    SetBevelOuter(bvNone);
    SetBounds(0, 0, 640, 320);

    pnlTools = new TPanel(this);
    pnlTools->SetName("pnlTools");
    pnlTools->SetParent(this);
    pnlTools->SetAlign(alBottom);
    pnlTools->SetHeight(33);
    pnlTools->SetBevelOuter(bvNone);

    lblSvechaSize = new TLabel(this);
    lblSvechaSize->SetParent(pnlTools);
    lblSvechaSize->SetCaption("Число трубок в свече");
    lblSvechaSize->SetBounds(6, 9, 128, 16);

    cbxSvechaSize = new TComboBox(this);
    cbxSvechaSize->SetName("cbxSvechaSize");
    cbxSvechaSize->SetParent(pnlTools);
    cbxSvechaSize->SetBounds(138, 5, 44, 22);
    for (const char* n : {"1", "2", "3", "4"}) cbxSvechaSize->Items().Add(n);

    chbValve = new TCheckBox(this);
    chbValve->SetName("chbValve");
    chbValve->SetParent(pnlTools);
    chbValve->SetCaption("Запорный клапан");
    chbValve->SetBounds(192, 8, 130, 17);

    btnAdd = tool_button(this, pnlTools, "btnAdd", "Добавить", 328);
    btnDel = tool_button(this, pnlTools, "btnDel", "Удалить", 406);
    MyButton1 = tool_button(this, pnlTools, "MyButton1", "Вверх", 484);
    MyButton2 = tool_button(this, pnlTools, "MyButton2", "Вниз", 562);
    btnAdd->OnClick = [this](TObject* s) { AddItem(s); };
    btnDel->OnClick = [this](TObject* s) { DeleteItem(s); };
    MyButton1->OnClick = [this](TObject* s) { MoveUp(s); };
    MyButton2->OnClick = [this](TObject* s) { MoveDown(s); };

    pbxInstr = new TPaintBox(this);
    pbxInstr->SetName("pbxInstr");
    pbxInstr->SetParent(this);
    pbxInstr->SetAlign(alRight);
    pbxInstr->SetWidth(90);
    pbxInstr->OnPaint = [this](TObject* s) { pbxInstrPaint(s); };

    Splitter1 = new TSplitter(this);
    Splitter1->SetName("Splitter1");
    Splitter1->SetParent(this);
    Splitter1->SetAlign(alRight);
    Splitter1->SetWidth(3);

    PaintBox1 = new TPaintBox(this);
    PaintBox1->SetName("PaintBox1");
    PaintBox1->SetParent(this);
    PaintBox1->SetAlign(alTop);
    PaintBox1->SetHeight(0);

    ppmnInstr = new TPopupMenu(this);
    ppmnInstr->SetName("ppmnInstr");
    menu_item(this, ppmnInstr, "Добавить", ShortCut(VK_INSERT, {}), [this](TObject* s) { AddItem(s); });
    element_items_.push_back(menu_item(this, ppmnInstr, "Удалить", 0, [this](TObject* s) { DeleteItem(s); }));
    menu_item(this, ppmnInstr, "-", 0, {});
    element_items_.push_back(
        menu_item(this, ppmnInstr, "Вверх", ShortCut(VK_UP, {ssCtrl}), [this](TObject* s) { MoveUp(s); }));
    element_items_.push_back(
        menu_item(this, ppmnInstr, "Вниз", ShortCut(VK_DOWN, {ssCtrl}), [this](TObject* s) { MoveDown(s); }));
    menu_item(this, ppmnInstr, "-", 0, {});
    element_items_.push_back(menu_item(this, ppmnInstr, "Копировать все", ShortCut(VK_INSERT, {ssCtrl}),
                                       [this](TObject* s) { CopyAllClick(s); }));
    menu_item(this, ppmnInstr, "Вставить", ShortCut(VK_INSERT, {ssShift}), [this](TObject* s) { PasteItemClick(s); });
    element_items_.push_back(menu_item(this, ppmnInstr, "Удалить все", 0, [this](TObject* s) { N7Click(s); }));
    ppmnInstr->OnPopup = [this](TObject*) { enable_menu(); };

    grdInstr = new widrak::TMyGrid(this);
    grdInstr->SetName("grdInstr");
    grdInstr->SetParent(this);
    grdInstr->SetAlign(alClient);
    grdInstr->SetDefaultRowHeight(19);
    grdInstr->SetFixedCols(0);
    grdInstr->SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing, goEditing,
                          goAlwaysShowEditor, goThumbTracking});
    grdInstr->SetScrollBars(ssVertical);
    grdInstr->SetPopupMenu(ppmnInstr);
    grdInstr->OnGetCellProps = [this](TObject* s, int c, int r, widrak::CELL_PROPS& p) {
        grdInstrGetCellProps(s, c, r, p);
    };
    grdInstr->OnGetAlignment = [this](TObject* s, int c, int r, TAlignment& a) { grdInstrGetAlignment(s, c, r, a); };
    grdInstr->OnGetPopupStrings = [this](TObject* s, int c, int r, TStrings* l) {
        grdInstrGetPopupStrings(s, c, r, l);
    };
    grdInstr->OnClick = [this](TObject* s) { grdInstrClick(s); };
    grdInstr->OnSetEditText = [this](TObject* s, int c, int r, const std::string& v) {
        grdInstrSetEditText(s, c, r, v);
    };
    grdInstr->OnChange = [this](TObject* s) { grdInstrChange(s); };
    OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) { FrameMouseUp(s, b, sh, x, y); };

    Timer1 = new TTimer(this);
    Timer1->SetInterval(100);
    Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };
}

void TInstrOptionsFrame::refill(int row) {
    items_.fill_to_grid(grdInstr, false, -1, -1);
    shown_ = items_;
    grdInstr->AlignHorizontal();
    fit_type_column();
    grdInstr->ResizeRow(0);
    if (row >= 0) grdInstr->SetRow(std::min(row + 1, grdInstr->RowCount() - 1));
    pbxInstr->Invalidate();
    enable_menu();
}

void TInstrOptionsFrame::enable_menu() {
    // The grid of an empty tally is disabled: adding and pasting are what
    // is left to do there (the shortcuts follow the items).
    for (TMenuItem* i : element_items_) i->SetEnabled(grdInstr->Enabled());
}

void TInstrOptionsFrame::fit_type_column() {
    TBitmap measure(1, 1);
    TCanvas& c = measure.Canvas();
    c.Font().Assign(grdInstr->Font());
    int widest = 0;
    for (const auto& [type, name] : instr::get_elem_types()) widest = std::max(widest, c.TextWidth(name));
    // The box's frame and margins, its button (or the open list's scroll
    // bar), and a little air.
    const int want = widest + 2 * 4 + 17 + 8;
    if (grdInstr->ColCount() > 0 && grdInstr->ColWidths(0) < want) grdInstr->SetColWidths(0, want);
}

void TInstrOptionsFrame::AddItem(TObject*) {
    read();
    refill(items_.add_new());
}

void TInstrOptionsFrame::DeleteItem(TObject*) {
    if (!grdInstr->Enabled()) return;
    read();
    items_.delete_item(grdInstr->Row() - 1);
    if (grdInstr->Col() == 0) grdInstr->SetCol(1);
    refill();
    grdInstr->Invalidate();
}

void TInstrOptionsFrame::move(int delta) {
    if (!grdInstr->Enabled()) return;
    read();
    refill(items_.move_item(grdInstr->Row() - 1, delta));
}

void TInstrOptionsFrame::MoveUp(TObject*) { move(-1); }
void TInstrOptionsFrame::MoveDown(TObject*) { move(1); }

void TInstrOptionsFrame::N7Click(TObject*) {
    if (!grdInstr->Enabled()) return;
    read();
    items_.clear();
    if (grdInstr->Col() == 0) grdInstr->SetCol(1);
    refill();
    grdInstr->Invalidate();
}

void TInstrOptionsFrame::PasteItemClick(TObject*) {
    // The typed edits are kept as every other change keeps them; a paste
    // must not throw away what the operator has just entered.
    if (grdInstr->Enabled()) read();
    items_.insert_from_clipboard(grdInstr->Enabled() ? grdInstr->Row() : 0);
    refill();
}

void TInstrOptionsFrame::CopyAllClick(TObject*) { grdInstr->CopyToClipboard(""); }

void TInstrOptionsFrame::FrameMouseUp(TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button != mbRight) return;
    const TPoint p = ClientToScreen({x, y});
    ppmnInstr->Popup(p.x, p.y);
}

void TInstrOptionsFrame::grdInstrGetCellProps(TObject*, int col, int, widrak::CELL_PROPS& props) {
    if (col == 0) props = widrak::cpList;
}

void TInstrOptionsFrame::grdInstrGetAlignment(TObject*, int col, int, TAlignment& alignment) {
    if (col == 0) alignment = taLeftJustify;
}

void TInstrOptionsFrame::grdInstrGetPopupStrings(TObject*, int col, int row, TStrings* strings) {
    if (col != 0 || row <= 0) return;
    for (const auto& [type, name] : instr::get_elem_types()) strings->Add(name);
}

void TInstrOptionsFrame::grdInstrClick(TObject*) { clicked_text_ = grdInstr->Cells(grdInstr->Col(), grdInstr->Row()); }

void TInstrOptionsFrame::grdInstrSetEditText(TObject*, int, int, const std::string& value) {
    if (value == clicked_text_) return;
    read();
    pbxInstr->Invalidate();
}

void TInstrOptionsFrame::grdInstrChange(TObject*) {
    read();
    pbxInstr->Invalidate();
}

void TInstrOptionsFrame::pbxInstrPaint(TObject*) {
    TCanvas& c = pbxInstr->Canvas();
    const int w = pbxInstr->Width(), h = pbxInstr->Height();
    c.Brush().SetColor(clWhite);
    c.Brush().SetStyle(bsSolid);
    c.FillRect(TRect(0, 0, w, h));
    instr::CalcResult r;
    items_.calc_misc(-1, -1, items_.get_total_len(), r);
    const float d = r.max_diam != 0 ? r.max_diam : 1.0f;
    if (lib::is_over_null(r.total_len)) return;
    items_.draw(r.total_len, d, &c, TRect(2, 2, w - 4, h - 4), kStringColour, -1);
}

void TInstrOptionsFrame::Timer1Timer(TObject*) {
    grdInstr->ResizeRow(0);
    Timer1->SetEnabled(false);
}

namespace instr {

TInstrOptionsFrame* get_options_frame(TComponent* owner, const Items& items, bool show_drawing) {
    auto* frame = new TInstrOptionsFrame(owner);
    frame->items() = items;
    frame->refill();
    frame->cbxSvechaSize->SetText(std::to_string(items.get_svecha_size()));
    frame->chbValve->SetChecked(items.get_zapor_klapan());
    if (!show_drawing) {
        frame->Splitter1->SetVisible(false);
        frame->pbxInstr->SetVisible(false);
    }
    return frame;
}

void set_options_frame(TControl* frame, Items& items) {
    auto* oframe = dynamic_cast<TInstrOptionsFrame*>(frame);
    if (!oframe) throw std::logic_error("set_options_frame: oframe (InstrItems)");
    oframe->grdInstr->CommitComboValue();
    oframe->read();
    items = oframe->items();
    items.set_svecha_size(rtl::StrToIntDef(rtl::Trim(oframe->cbxSvechaSize->Text()), Items::default_svecha_size));
    items.set_zapor_klapan(oframe->chbValve->Checked());
    items.durak_protection();
}

}  // namespace instr
