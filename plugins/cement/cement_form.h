#pragma once
// TCementForm: the cementing monitor window. Here it holds what the job
// logic hands it (the programme line, the live values, the profile or the
// calculation error) and raises the operator's commands; its drawing comes
// with the window's own work.

#include <functional>
#include <string>

#include "platform/ui/forms.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_sections.h"

namespace ui {
class TButton;
class TLabel;
}  // namespace ui
struct CementLiveData;

class TCementForm : public ui::TForm {
public:
    TCementForm(ui::TComponent* owner, CementData& job, ChartPoints& points);
    // Whoever frees the window (the plug-in, or the host's page first) tells
    // the plug-in through on_destroy.
    ~TCementForm() override;
    std::function<void()> on_destroy;

    // The programme's running element in the current-programme line.
    void show_programme();
    // The refresh of event 3: nothing to do yet.
    void refresh() {}
    void set_live_data(const CementLiveData& live);
    void set_sections(const SectionsResult& sections);
    void show_error();

    // The buttons' commands, bound to the plug-in's dispatcher.
    std::function<void(int)> on_command;

    ui::TLabel* tiCurrentProgram;
    // The operator's buttons: settings, next element, step back, report.
    ui::TButton* btnSettings;
    ui::TButton* btnStart;
    ui::TButton* btnBack;
    ui::TButton* btnReport;
    // What the window shows: the last sections, or the error view.
    SectionsResult shown_sections;
    bool error_shown = false;
    float shown_volume = 0;

private:
    CementData& job_;
    ChartPoints& points_;
};
