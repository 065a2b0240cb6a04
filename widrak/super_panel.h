#pragma once
// A panel with a two-colour gradient inside its bevels, a caption with a
// shadow, and a border in a colour of its own.

#include "platform/ui/stdctrls.h"
#include "widrak/myfunctions.h"

namespace widrak {

class TSuperPanel : public ui::TPanel {
public:
    explicit TSuperPanel(ui::TComponent* owner);

    // Colour 1 and 2 and the shadow flag repaint even when unchanged.
    TColor Color1() const { return color1_; }
    void SetColor1(TColor c);
    TColor Color2() const { return color2_; }
    void SetColor2(TColor c);
    TColor BorderColor() const { return border_color_; }
    void SetBorderColor(TColor c);
    bool TextShadow() const { return text_shadow_; }
    void SetTextShadow(bool v);
    // Off: the plain panel with the coloured border only.
    bool WowEffects() const { return wow_effects_; }
    void SetWowEffects(bool v);
    // Pixels kept free of the gradient at the top and the bottom.
    int HorizontalLayer() const { return horizontal_layer_; }
    void SetHorizontalLayer(int v);
    // Bands run across (colour changing downwards) when set, else upright.
    bool VerticalGradiented() const { return vertical_gradiented_; }
    void SetVerticalGradiented(bool v);

    // The inside the gradient fills, in client coordinates.
    ui::TRect GradientRect() const;

protected:
    void Paint() override;

private:
    TColor color1_ = ui::clWhite;
    TColor border_color_ = ui::clWindowFrame;
    TColor color2_ = ui::RGBToColor(157, 219, 255);
    bool text_shadow_ = true;
    bool wow_effects_ = true;
    int horizontal_layer_ = 0;
    bool vertical_gradiented_ = false;
};

}  // namespace widrak
