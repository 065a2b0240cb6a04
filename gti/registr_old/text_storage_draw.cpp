// A remark drawn where the chart shows its moment.

#include "gti/registr_old/text_storage.h"
#include "platform/ui/canvas.h"

#include <algorithm>

namespace text {

void Record::draw(ui::TCanvas* canvas, int bottom, int left, int right) {
    if (!canvas) return;
    constexpr unsigned flags = ui::DT_WORDBREAK | ui::DT_NOPREFIX | ui::DT_END_ELLIPSIS;
    constexpr int max_height = 3000;
    ui::TRect measured(left, 0, std::max(left, right), max_height);
    canvas->DrawText(text, measured, flags | ui::DT_CALCRECT);
    const int height = std::clamp(measured.Bottom - measured.Top, 0, max_height);
    rect = ui::TRect(left, bottom - height, measured.Right, bottom);
    const ui::TColor brush = canvas->Brush().Color();
    if (is_new) {
        canvas->Brush().SetColor(ui::clYellow);
        canvas->FillRect(ui::TRect(rect.Left, rect.Top, std::max(rect.Right, right), rect.Bottom));
    }
    ui::TRect place = rect;
    canvas->DrawText(text, place, flags);
    canvas->Brush().SetColor(brush);
}

}  // namespace text
