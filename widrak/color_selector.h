#pragma once
// A palette of 8 rows of hues by 13 shades to pick a colour from with the
// mouse; the chosen colour's cell is outlined in blue.

#include <array>
#include <functional>

#include "platform/ui/extctrls.h"
#include "widrak/myfunctions.h"

namespace widrak {

using TChangeColorEvent = std::function<void(ui::TObject* Sender, TColor Color)>;

class TColorSelector : public ui::TPaintBox {
public:
    static constexpr int kColumns = 13;
    static constexpr int kRows = 8;

    explicit TColorSelector(ui::TComponent* owner);

    TColor ColorValue() const { return color_value_; }
    // Stores and repaints only when the value differs.
    void SetValueColor(TColor color);
    void SetColorValue(TColor color) { SetValueColor(color); }

    // The colour of the palette cell (row j, column i), as painted.
    static TColor cell_color(int row, int column);
    // The rectangle of a palette cell in client coordinates.
    ui::TRect cell_rect(int row, int column) const;
    // The table filled by the last paint, row by row.
    const std::array<TColor, kColumns * kRows>& Colors() const { return colors_; }

    // Picks the cell under the pointer.
    void Click() override;

    TChangeColorEvent OnChangeColor;

protected:
    void Paint() override;

private:
    TColor color_value_ = 0;
    std::array<TColor, kColumns * kRows> colors_{};
};

}  // namespace widrak
