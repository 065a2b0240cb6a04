#pragma once
// The report program's window: the user chooses a well (a folder of the
// program folder holding "inpgti.ini" and "cement/cement.ini") and one of
// its stages (a "cement/cement_program_<stage>.rpt" of that well);
// "Таблица" builds the stage's spreadsheet report, "Диаграмма" opens the
// stage's recorded data with the desktop's handler, "Выход" ends the
// program. "-p" glued to a well folder name among the program's arguments
// preselects that well. A start that finds no well folder, or not the
// well asked for, says what it looked for and where under the buttons.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "programs/grouttab/spreadsheet_server.h"
#include "widrak/my_button.h"

namespace grouttab {

class OOCalcAuto;

struct ReportSettings {
    // The spreadsheet server of the builds: by default the office on its pipe,
    // started when none is running.
    ServerFactory server;
    // Whether the stored report is opened in a window for the user; tests
    // switch it off (the report is then opened hidden and closed again).
    bool show_report = true;
};

// The well named by the first "-p" in the arguments (joined by blanks): the
// characters glued to it up to the next blank. Empty when there is none, or
// when the name would not stay a folder of the program folder.
std::string wanted_well(const std::vector<std::string>& arguments);

class TReportForm : public ui::TForm {
public:
    // `arguments`: the program's arguments, without the program's own name.
    TReportForm(ui::TComponent* owner, std::vector<std::string> arguments, ReportSettings settings = {});
    ~TReportForm() override;

    widrak::TMyButton* btnOk;
    ui::TComboBox* cbPore;
    ui::TLabel* Label47;
    ui::TLabel* Label1;
    ui::TComboBox* cbStupen;
    widrak::TMyButton* MyButton1;
    widrak::TMyButton* MyButton2;
    ui::TProgressBar* pbOO;
    ui::TLabel* lblProgress;
    // Under the buttons, shown only when the start found no well folder or
    // not the well "-p" asked for: what was looked for and where.
    ui::TLabel* lblNotice;

    // Fills the list with the well folders; returns the index of the well to
    // select (the wanted one, else 0).
    int fill_well_list(ui::TStrings& list);
    // Fills the list with the stages of the well.
    void fill_stage_list(ui::TStrings& list, const std::string& well);

    void cbPoreChange(ui::TObject* Sender);
    void btnOkClick(ui::TObject* Sender);
    void MyButton1Click(ui::TObject* Sender);
    void MyButton2Click(ui::TObject* Sender);

    // The client of a running build (empty between builds).
    std::unique_ptr<OOCalcAuto>& calc_auto() { return oo_; }
    const ReportSettings& settings() const { return settings_; }

private:
    // The notice of the start: empty when every well asked for was found.
    std::string start_notice() const;
    void show_notice(const std::string& text);

    std::vector<std::string> arguments_;
    ReportSettings settings_;
    std::unique_ptr<OOCalcAuto> oo_;
};

}  // namespace grouttab
