#include "widrak/my_win_base.h"

namespace widrak {

TMyWinBase::TMyWinBase(ui::TComponent* owner) : ui::TCustomControl(owner) { SetColor(ui::clWindow); }

void TMyWinBase::SetColorHue(TColor hue) {
    if (hue == color_hue_) return;
    color_hue_ = hue;
    Invalidate();
}

void TMyWinBase::SetText2(const std::string& text) {
    if (text != Caption()) Invalidate();
    SetText(text);
}

ui::TCustomForm* TMyWinBase::get_parent() const {
    for (ui::TWinControl* p = Parent(); p; p = p->Parent())
        if (auto* f = dynamic_cast<ui::TCustomForm*>(p)) return f;
    return nullptr;
}

}  // namespace widrak
