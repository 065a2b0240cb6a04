#pragma once
// The cementing job's settings: TCementOptionsForm ("Настройки цементажа")
// edits a working copy of the job (fluids, fixed fluids' calibrations, plan
// values, the stage programme, the cemented columns) and the report options;
// TRastvorForm asks for a name, TAddProgramForm makes a programme element.
//
// The job keeps running while the dialog is open (the data cycles go on in
// the modal loop), so OK hands back only what the operator can edit here;
// the stage, the live values, the element states and times, the report sums
// and the points stay as the job has them by then.

#include <memory>
#include <string>
#include <vector>

#include "gti/registr_old/pore_construction.h"
#include "platform/ui/forms.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_sections.h"

namespace ui {
class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TLabel;
class TOpenDialog;
class TPageControl;
class TPanel;
class TRadioGroup;
class TStringGrid;
class TTabSheet;
}  // namespace ui
namespace widrak {
class TMyGrid;
}
namespace lib {
class grid_options;
class options_list;
}  // namespace lib
namespace pore {
class PoreOpt;
}

// Asks for a name.
class TRastvorForm : public ui::TForm {
public:
    explicit TRastvorForm(ui::TComponent* owner);
    ui::TEdit* edName;
    ui::TButton* btnAdd;
    ui::TButton* btnCancel;
};

class TAddProgramForm : public ui::TForm {
public:
    explicit TAddProgramForm(ui::TComponent* owner);
    // Shows the form on the working copy; true when an element was appended
    // to its programme.
    bool add_element(CementData& work, bool registering);

    ui::TEdit* edName;
    ui::TComboBox* cbSelRastvor;
    ui::TRadioGroup* rgId;
    ui::TEdit* edPmax;
    ui::TLabel* lblDavlUnit;  // the station pressure's unit, as the programme page names it
    ui::TEdit* edNeedVol;
    ui::TButton* btnAdd;
    ui::TButton* btnCancel;

private:
    void rgIdClick();
    void cbSelRastvorChange();
    bool syncing_ = false;
};

class TCementOptionsForm : public ui::TForm {
public:
    TCementOptionsForm(ui::TComponent* owner, TReportOptions& report, const SectionsResult& sections);
    ~TCementOptionsForm() override;

    // True when closed with OK; the job then holds the operator's edits.
    bool execute(CementData& job, bool registering);

    // The working copy and the programme row chosen in it (tests look).
    const CementData& work() const { return work_; }

    void fill();
    void read_back();

    // Handlers.
    void btnPoreAndInstrOptClick();
    void btnAddClick();
    void btnDelClick();
    void cbRastvorChange();
    void btnAddProgramClick();
    void btnDelProgramClick();
    void grdProgramClick();
    void btnRenameProgramClick();
    void btnDefaultProgramClick();
    void cbSelRastvorChange();
    void rgIdClick();
    void btnSelConstructionClick();
    void btnCalFileBrowseClick();
    void btnCalFileFixedBrowseClick(int fixed);
    void btnApplyClick();

    ui::TPageControl* pages;
    ui::TTabSheet* tshData;
    ui::TTabSheet* tshEtap;
    ui::TTabSheet* tshColumn;
    ui::TTabSheet* TabSheet1;
    // Data page.
    ui::TButton* btnPoreAndInstrOpt;
    ui::TComboBox* cbRastvor;
    ui::TPanel* pnlCurrentRastvor;
    ui::TEdit* edPl;
    ui::TEdit* edDob;
    ui::TEdit* edPlDob;
    ui::TEdit* edOsn;
    ui::TEdit* edPlOsn;
    ui::TEdit* edVyaz;
    ui::TEdit* edCalFile;
    ui::TButton* btnCalFileBrowse;
    ui::TButton* btnAdd;
    ui::TButton* btnDel;
    widrak::TMyGrid* CemOptionsGrid;
    ui::TEdit* edCalCem;
    ui::TEdit* edCalGelcem;
    ui::TEdit* edCalGazocem;
    ui::TButton* btnCalFileCemBrowse;
    ui::TButton* btnCalFileGelcemBrowse;
    ui::TButton* btnCalFileGazocemBrowse;
    ui::TCheckBox* cbPlDigital;
    // Programme page.
    ui::TStringGrid* grdProgram;
    ui::TButton* btnAddProgram;
    ui::TButton* btnDelProgram;
    ui::TButton* btnRenameProgram;
    ui::TButton* btnDefaultProgram;
    ui::TComboBox* cbSelRastvor;
    ui::TEdit* edNeedVol;
    ui::TRadioGroup* rgId;
    ui::TEdit* edPmax;
    ui::TLabel* lblDavlUnit;
    // Columns page.
    ui::TPanel* Panel3;
    // The dialog's copy of the construction, bound to it for showing only.
    widrak::TMyGrid* ConstrGrid;
    ui::TButton* btnSelConstruction;
    // Report page.
    widrak::TMyGrid* ReportGrid;
    // Below the pages.
    ui::TButton* MyButton1;
    ui::TButton* MyButton2;
    ui::TButton* btnApply;
    ui::TOpenDialog* OpenCalDialog;

private:
    // The calibration file the operator chooses (its full name), or "".
    std::string browse_calibration();
    // The selected programme row of the working copy, -1 none.
    int& row() { return work_.element; }
    // The hub's well data into the dialog's copy (under the hub's lock).
    void copy_well();
    void fill_construction();
    void take_fixed(CementProgramElement& e, int fixed);
    void commit(CementData& job) const;

    TReportOptions& report_;
    TReportOptions report_work_;
    // The bit diameter lives in the hub's trip information, which others
    // edit too: the one seen at opening tells the operator's change apart.
    double bit_diameter_ = 0;
    double bit_diameter_seen_ = 0;
    const SectionsResult& sections_;
    CementData work_;
    int stored_element_ = cement::element_none;
    // For each element of the working programme, its index in the job's
    // programme when the dialog opened (-1 for one added here).
    std::vector<int> origin_;
    bool programme_replaced_ = false;
    std::unique_ptr<pore::PoreOpt> well_;
    std::unique_ptr<lib::options_list> report_list_, plan_list_;
    std::unique_ptr<lib::grid_options> report_editor_, plan_editor_;
    bool filling_ = false;
};
