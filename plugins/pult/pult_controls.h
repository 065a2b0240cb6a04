#pragma once
// The console's windows are laid out in code: a label or a push button put
// on its parent, which owns it, at a place the window gives.

#include "platform/ui/stdctrls.h"

namespace pult {

inline ui::TLabel* label(ui::TWinControl* parent, const char* caption, int x, int y) {
    auto* l = new ui::TLabel(parent);
    l->SetParent(parent);
    l->SetCaption(caption);
    l->SetLeft(x);
    l->SetTop(y);
    return l;
}

inline ui::TButton* button(ui::TWinControl* parent, const char* caption, int x, int y, int w) {
    auto* b = new ui::TButton(parent);
    b->SetParent(parent);
    b->SetCaption(caption);
    b->SetBounds(x, y, w, 25);
    return b;
}

}  // namespace pult
