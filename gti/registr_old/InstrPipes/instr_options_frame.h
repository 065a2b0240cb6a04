#pragma once
// The editor of a drill-string tally: the grid in the edit view, the number
// of pipes per stand and the shut-off valve flag, buttons and a context menu
// to add, delete, move, copy, paste and clear elements, and an optional
// drawing of the string beside the grid.
//
// A settings window asks for a frame, places it, and on OK writes it back:
//
//   auto* frame = instr::get_options_frame(form, well.get_instr(), true);
//   frame->SetParent(form);
//   if (form->ShowModal() == ui::mrOk) instr::set_options_frame(frame, *well.get_instr());
//
// The frame edits its own copy of the tally, so a window closed without
// set_options_frame changes nothing.

#include <string>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/lists.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/timer.h"
#include "widrak/my_button.h"
#include "widrak/my_grid.h"

class TInstrOptionsFrame : public ui::TPanel {
public:
    explicit TInstrOptionsFrame(ui::TComponent* owner);

    instr::Items& items() { return items_; }
    // The grid in the edit view again, with the row after `row` (an
    // element's index) selected when it is not -1.
    void refill(int row = -1);
    // Widens the type column to its longest name shown whole in the
    // drop-down box over the cell, beside the box's button.
    void fit_type_column();
    // Typed edits into the tally: a cell the operator left as it was shown
    // keeps the tally's own value, not the rounded text.
    void read() { items_.read_from_grid(grdInstr, shown_); }

    void AddItem(ui::TObject* sender);
    void DeleteItem(ui::TObject* sender);
    void MoveUp(ui::TObject* sender);
    void MoveDown(ui::TObject* sender);
    void N7Click(ui::TObject* sender);
    void PasteItemClick(ui::TObject* sender);
    void CopyAllClick(ui::TObject* sender);
    void FrameMouseUp(ui::TObject* sender, ui::TMouseButton button, ui::TShiftState shift, int x, int y);
    void grdInstrGetCellProps(ui::TObject* sender, int col, int row, widrak::CELL_PROPS& props);
    void grdInstrGetAlignment(ui::TObject* sender, int col, int row, ui::TAlignment& alignment);
    void grdInstrGetPopupStrings(ui::TObject* sender, int col, int row, ui::TStrings* strings);
    void grdInstrClick(ui::TObject* sender);
    void grdInstrSetEditText(ui::TObject* sender, int col, int row, const std::string& value);
    void grdInstrChange(ui::TObject* sender);
    void pbxInstrPaint(ui::TObject* sender);
    void Timer1Timer(ui::TObject* sender);

    ui::TPaintBox* pbxInstr;
    ui::TSplitter* Splitter1;
    ui::TPaintBox* PaintBox1;
    widrak::TMyGrid* grdInstr;
    ui::TPanel* pnlTools;
    ui::TLabel* lblSvechaSize;
    ui::TComboBox* cbxSvechaSize;
    ui::TCheckBox* chbValve;
    widrak::TMyButton* btnAdd;
    widrak::TMyButton* btnDel;
    widrak::TMyButton* MyButton1;
    widrak::TMyButton* MyButton2;
    ui::TPopupMenu* ppmnInstr;
    ui::TTimer* Timer1;

private:
    void move(int delta);
    void enable_menu();

    instr::Items items_;
    // The tally as the grid was last filled from it.
    instr::Items shown_;
    std::string clicked_text_;
    // The menu's items that work on elements: of no use on an empty tally.
    std::vector<ui::TMenuItem*> element_items_;
};

namespace instr {

// A frame owned by `owner` with a copy of the tally (elements, stand size,
// valve flag) in its grid; without show_drawing the drawing and its splitter
// are hidden.
TInstrOptionsFrame* get_options_frame(ui::TComponent* owner, const Items& items, bool show_drawing);
// The frame's grid, stand size (2 when not a number) and valve flag into
// `items`, brought into range. A control that is no such frame is a
// programming error (std::logic_error).
void set_options_frame(ui::TControl* frame, Items& items);

}  // namespace instr
