#include "tools/station_host/well_windows.h"

#include <algorithm>
#include <memory>

#include "gti/registr_old/InstrPipes/instr_options_frame.h"
#include "gti/registr_old/all_params.h"
#include "gti/registr_old/par_tabl.h"
#include "library/controls/control_helpers.h"
#include "library/number_conv.h"
#include "platform/ui/canvas.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

namespace station_host {

namespace {

ui::TPanel* button_bar(ui::TForm& form, bool with_cancel) {
    auto* bar = new ui::TPanel(&form);
    bar->SetParent(&form);
    bar->SetAlign(ui::alBottom);
    bar->SetHeight(37);
    bar->SetBevelOuter(ui::bvNone);
    const int right = form.ClientWidth();
    auto add = [&](const char* caption, ui::TModalResult result, int left) {
        auto* b = new ui::TButton(&form);
        b->SetParent(bar);
        b->SetCaption(caption);
        b->SetModalResult(result);
        b->SetBounds(left, 6, 85, 25);
        b->SetAnchors({ui::akTop, ui::akRight});
        return b;
    };
    if (with_cancel) {
        add("OK", ui::mrOk, right - 186)->SetDefault(true);
        add("Отмена", ui::mrCancel, right - 93)->SetCancel(true);
    } else {
        add("Закрыть", ui::mrCancel, right - 93)->SetCancel(true);
    }
    return bar;
}

std::string metres(float v) { return lib::float_to_str(v, 1, -1); }

}  // namespace

bool edit_drill_string(instr::Items& items) {
    ui::TForm form(nullptr);
    form.SetName("DrillStringForm");
    form.SetCaption("Промер инструмента");
    form.SetBorderStyle(ui::bsDialog);
    form.SetPosition(ui::poScreenCenter);
    form.SetClientWidth(760);
    form.SetClientHeight(420);
    button_bar(form, true);
    TInstrOptionsFrame* frame = instr::get_options_frame(&form, items, true);
    frame->SetParent(&form);
    frame->SetAlign(ui::alClient);
    lib::colorize_form(&form);
    if (form.ShowModal() != ui::mrOk) return false;
    instr::set_options_frame(frame, items);
    return true;
}

void show_well(const pore::PoreOpt& well) {
    ui::TForm form(nullptr);
    form.SetName("WellForm");
    form.SetCaption("Скважина");
    form.SetPosition(ui::poScreenCenter);
    form.SetClientWidth(560);
    form.SetClientHeight(560);
    button_bar(form, false);

    std::vector<pore::PoreSection> sections;
    // The string hangs from the surface in the picture, so its bottom is the
    // depth the sections are laid from.
    const float string_len = well.get_instr()->get_total_len();
    const float depth = string_len > 0 ? string_len : well.get_construction()->get_total_len();
    well.divide_to_sections(sections, depth, true);

    auto* list = new ui::TPaintBox(&form);
    list->SetParent(&form);
    list->SetAlign(ui::alRight);
    list->SetWidth(330);
    list->OnPaint = [&](ui::TObject*) {
        ui::TCanvas& c = list->Canvas();
        c.Brush().SetColor(ui::clWhite);
        c.FillRect(ui::TRect(0, 0, list->Width(), list->Height()));
        c.Font().SetColor(ui::clBlack);
        int y = 8;
        c.TextOut(8, y, "Интервал, м            Ствол, мм   Инструмент, мм");
        for (const pore::PoreSection& s : sections) {
            y += 18;
            c.TextOut(8, y, metres(s.top) + " – " + metres(s.bottom));
            c.TextOut(150, y, metres(s.pore_diam));
            c.TextOut(240, y, s.instr_diam > 0 ? metres(s.instr_diam) : "—");
        }
    };
    auto* picture = new ui::TPaintBox(&form);
    picture->SetParent(&form);
    picture->SetAlign(ui::alClient);
    picture->OnPaint = [&](ui::TObject*) {
        ui::TCanvas& c = picture->Canvas();
        const ui::TRect r(0, 0, picture->Width(), picture->Height());
        c.Brush().SetColor(ui::clWhite);
        c.FillRect(r);
        well.draw(&c, ui::TRect(4, 4, r.Right - 4, r.Bottom - 4), ui::clWhite, ui::clNavy, ui::clMaroon, ui::clRed, -1,
                  true);
    };
    lib::colorize_form(&form);
    form.ShowModal();
}

std::vector<int> params_with_window(const ParTabl& table) {
    std::vector<int> out;
    const AllParams& all = get_all_params();
    for (int i = 0; i < table.get_items_count(); ++i)
        if (all.test_param(table.at(i).global_name, AllParams::has_options_dialog)) out.push_back(i);
    return out;
}

}  // namespace station_host
