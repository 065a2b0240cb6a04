#include "plugins/cement/cement_form.h"

#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_plugin.h"

TCementForm::TCementForm(ui::TComponent* owner, CementData& job, ChartPoints& points)
    : ui::TForm(owner), tiCurrentProgram(new ui::TLabel(this)), job_(job), points_(points) {
    SetCaption("Контроль цементирования");
}

void TCementForm::show_programme() {
    const CementProgramElement* e = job_.running_element();
    tiCurrentProgram->SetCaption(e ? e->name : std::string());
}

void TCementForm::set_live_data(const CementLiveData& live) { shown_volume = live.get("cem_V"); }

void TCementForm::set_sections(const SectionsResult& sections) {
    shown_sections = sections;
    error_shown = false;
}

void TCementForm::show_error() { error_shown = true; }
