#include "plugins/cement/cement_form.h"

#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_plugin.h"

TCementForm::TCementForm(ui::TComponent* owner, CementData& job, ChartPoints& points)
    : ui::TForm(owner), tiCurrentProgram(new ui::TLabel(this)), job_(job), points_(points) {
    tiCurrentProgram->SetParent(this);
    SetCaption("Контроль цементирования");
    auto button = [this](const char* caption, int command) {
        auto* b = new ui::TButton(this);
        b->SetParent(this);
        b->SetCaption(caption);
        b->OnClick = [this, command](ui::TObject*) {
            if (on_command) on_command(command);
        };
        return b;
    };
    btnSettings = button("Настройки", cement::cmd_settings);
    btnStart = button("Начать программу", cement::cmd_next);
    btnBack = button("Возврат к предыдущему этапу", cement::cmd_back);
    btnReport = button("Отчет", cement::cmd_report);
}

TCementForm::~TCementForm() {
    if (on_destroy) on_destroy();
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
