// The drawing of the well with its construction and the string inside.

#include <algorithm>

#include "gti/registr_old/pore_opt.h"
#include "library/controls/draw_helpers.h"
#include "platform/ui/canvas.h"

namespace pore {

void PoreOpt::draw(ui::TCanvas* canvas, const ui::TRect& rect, rtl::TColor back, rtl::TColor construction_colour,
                   rtl::TColor string_colour, rtl::TColor mark_colour, int mark, bool hatch) const {
    float diam = std::max(instr_->calc_max_diam(), construction_->calc_max_diam());
    const float construction_len = construction_->get_total_len(), string_len = instr_->get_total_len();
    float len = construction_len >= string_len ? construction_len : string_len;
    if (!(diam > 0.01f) || !(len > 0.01f)) return;
    // A margin below the deeper of the two and at both sides.
    len *= 1.02f;
    diam *= 1.2f;

    canvas->Pen().SetWidth(1);
    canvas->Brush().SetColor(back);
    canvas->Brush().SetStyle(ui::bsSolid);
    canvas->FillRect(rect);

    const rtl::TColor rock = lib::transform_color_light(construction_colour, 50, 0);
    canvas->Pen().SetColor(rock);
    canvas->Brush().SetColor(rock);
    canvas->Brush().SetStyle(ui::bsBDiagonal);
    canvas->Rectangle(rect);

    canvas->Pen().SetWidth(2);
    canvas->Pen().SetColor(construction_colour);
    canvas->Brush().SetColor(ui::clWhite);
    canvas->Brush().SetStyle(ui::bsSolid);
    construction_->draw(len, diam, canvas, rect, hatch);

    canvas->Pen().SetColor(string_colour);
    canvas->Brush().SetStyle(ui::bsFDiagonal);
    canvas->Brush().SetColor(lib::transform_color_light(string_colour, 50, 0));
    instr_->draw(len, diam, canvas, rect, mark_colour, mark);
}

}  // namespace pore
