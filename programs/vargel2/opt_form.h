#pragma once
// The settings dialog of the packing program: the hour windows of the
// selection tree, the compression method, the folder the packages go to and
// the viewer's folder. OK stores the choices in the options record (the
// file is written at the program's end); Cancel changes nothing.

#include "platform/ui/edits.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "programs/vargel2/configuration.h"

namespace vargel2 {

class TOptForm : public ui::TForm {
public:
    TOptForm(ui::TComponent* owner, Configuration& options);

    ui::TLabel* lblPeriodGroup;
    ui::TLabel* lblOtherGroup;
    ui::TLabel* lblPeriod;
    ui::TComboBox* cbxSendPeriod;
    ui::TLabel* lblFromTime;
    ui::TComboBox* cbxFromTime;
    ui::TLabel* lblHours;
    ui::TLabel* lblMethod;
    ui::TComboBox* cbxCompressMethod;
    ui::TLabel* lblDestPath;
    ui::TEdit* edDestPath;
    ui::TButton* btnDestPath;
    ui::TLabel* lblTolvane;
    ui::TEdit* edTolvaneFolder;
    ui::TButton* btnTolvaneFolder;
    ui::TButton* btnOk;
    ui::TButton* btnCancel;

    // Fills the controls from the options, runs the dialog, and on OK
    // stores the controls into the options. True on OK.
    bool execute();
    void fill();
    void store();
    void cbxSendPeriodChange(ui::TObject* Sender);

private:
    Configuration& options_;
};

}  // namespace vargel2
