#include "widrak/color_selector.h"

#include "platform/ui/application.h"

namespace widrak {

using namespace ui;

namespace {
constexpr TColor kBase[TColorSelector::kRows] = {0x0000FF, 0x0080FF, 0x00FFFF, 0x00FF00,
                                                 0xFFFF00, 0xFF0000, 0xFF00FF, 0x808080};
}

TColorSelector::TColorSelector(TComponent* owner) : TPaintBox(owner) {
    // The table holds what a paint would put there even before the first one.
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i) colors_[static_cast<std::size_t>(j * kColumns + i)] = cell_color(j, i);
}

TColor TColorSelector::cell_color(int row, int column) {
    const int d = row < 7 ? (7 - column) * 384 / 12 : (6 - column) * 256 / 12;
    const TColor base = kBase[row];
    return RGBToColor(clamp_channel(GetRValue(base) + d), clamp_channel(GetGValue(base) + d),
                      clamp_channel(GetBValue(base) + d));
}

TRect TColorSelector::cell_rect(int row, int column) const {
    const int w = Width() - 1, h = Height() - 1;
    return Rect(column * w / kColumns, row * h / kRows, (column + 1) * w / kColumns + 1, (row + 1) * h / kRows + 1);
}

void TColorSelector::SetValueColor(TColor color) {
    if (color == color_value_) return;
    color_value_ = color;
    Invalidate();
}

void TColorSelector::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Pen().SetStyle(psSolid);
    for (int j = 0; j < kRows; ++j) {
        for (int i = 0; i < kColumns; ++i) {
            const TColor colour = cell_color(j, i);
            const TRect r = cell_rect(j, i);
            c.Pen().SetColor(clBlack);
            c.Pen().SetWidth(1);
            c.Brush().SetColor(colour);
            c.Rectangle(r);
            colors_[static_cast<std::size_t>(j * kColumns + i)] = colour;
            if (colour == color_value_) {
                c.Pen().SetColor(0xFF0000);
                c.Pen().SetWidth(5);
                c.Rectangle(r);
            }
        }
    }
    c.Pen().SetWidth(1);
}

void TColorSelector::Click() {
    TPaintBox::Click();
    const TPoint p = ScreenToClient(Mouse().CursorPos());
    if (Width() <= 0 || Height() <= 0 || p.x < 0 || p.y < 0) return;
    const int column = p.x * kColumns / Width();
    const int row = p.y * kRows / Height();
    if (column >= kColumns || row >= kRows) return;
    const TColor chosen = colors_[static_cast<std::size_t>(row * kColumns + column)];
    const bool changed = chosen != color_value_;
    color_value_ = chosen;
    Repaint();
    if (changed && OnChangeColor) OnChangeColor(this, chosen);
}

}  // namespace widrak
