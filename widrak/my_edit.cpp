#include "widrak/my_edit.h"

namespace widrak {

TMyEdit::TMyEdit(ui::TComponent* owner) : ui::TEdit(owner) {}

void TMyEdit::MouseEnter() {
    ui::TEdit::MouseEnter();
    SetBorderStyle(ui::bsSingle);
}

void TMyEdit::MouseLeave() {
    ui::TEdit::MouseLeave();
    SetBorderStyle(ui::bsNone);
}

}  // namespace widrak
