// The drawing of the construction.

#include <algorithm>

#include "gti/registr_old/pore_construction.h"
#include "platform/ui/canvas.h"

namespace pore {

namespace {

int px(double v) { return static_cast<int>(std::clamp(v, -1e6, 1e6)); }

}  // namespace

void Construction::draw(float max_depth, float max_diam, ui::TCanvas* canvas, const ui::TRect& rect, bool hatch) const {
    if (!(max_depth > 0) || !(max_diam > 0)) return;
    const double height = rect.Bottom - rect.Top;
    const int half = (rect.Right - rect.Left) / 2;
    const int centre = (rect.Left + rect.Right) / 2;
    auto section = [&](float top, float bottom, float diameter) {
        const int w = px(static_cast<double>(half) * diameter / max_diam);
        canvas->Rectangle(centre - w, px(height * top / max_depth) + rect.Top, centre + w,
                          px(height * bottom / max_depth) + rect.Top + 1);
    };
    for (const ConstrElement& e : elements_)
        if (e.enabled) section(e.top, e.bottom, e.inner_diameter);
    if (!hatch) return;
    canvas->Brush().SetStyle(ui::bsDiagCross);
    canvas->Pen().SetStyle(ui::psClear);
    canvas->Brush().SetColor(0x8000);
    std::vector<SimplePCE> real;
    get_real_items(real);
    for (const SimplePCE& s : real) section(s.top, s.bottom, s.diameter);
    canvas->Pen().SetStyle(ui::psSolid);
}

}  // namespace pore
