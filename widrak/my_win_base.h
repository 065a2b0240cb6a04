#pragma once
// The base of the station's custom-drawn controls: a windowed control that
// paints itself, with a colour hue the derived controls tint their shades
// with, and the caption reached through GetText2 / SetText2.

#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

namespace widrak {

using ui::TColor;

class TMyWinBase : public ui::TCustomControl {
public:
    explicit TMyWinBase(ui::TComponent* owner);

    TColor ColorHue() const { return color_hue_; }
    void SetColorHue(TColor hue);

    // The caption; a changed text repaints the control.
    std::string GetText2() const { return Caption(); }
    void SetText2(const std::string& text);

    // The first form up the parent chain, or null.
    ui::TCustomForm* get_parent() const;

private:
    TColor color_hue_ = ui::clBlack;
};

}  // namespace widrak
