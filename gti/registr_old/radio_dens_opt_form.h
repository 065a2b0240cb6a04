#pragma once
// The settings window of a parameter that has one (the two radioactive
// density meters, and the parameters plug-ins add): its ADC channel,
// averaging, names, the source's half-life and last calibration time, its
// calibration table, and the field recalibration of a radioactive density
// meter. The recalibration averages the sensor's raw readings for the
// averaging's number of seconds on a worker thread and shifts the table so
// that the average gives the density the operator entered.
//
// The window edits a copy of the parameter; the parameter changes only on
// OK, and then only in the fields the operator changed, so stored numbers
// keep every digit the window does not show.
//
// The host installs the window with init_core_lib at start-up; from then on
// Param::param_options opens it.

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "gti/registr_old/param.h"
#include "library/asynch_opers.h"
#include "library/mess_caller.h"
#include "platform/ui/edits.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/timer.h"

class TRadioDensOptForm : public ui::TForm {
public:
    // caller: the main-thread caller the recalibration hands its display
    // steps to (the hub's); null gives the window one of its own.
    TRadioDensOptForm(ui::TComponent* owner, const HostData& host, lib::MessCaller* caller = nullptr);
    ~TRadioDensOptForm() override;

    // Shows the window modally for the parameter; true when it was closed
    // with OK, the changes then written into `param`.
    bool execute(Param& param);

    // The working copy the window edits.
    const Param& working_copy() const { return *param_; }
    bool recalibration_running() const { return run_ && *run_; }
    // The run is still on the worker (also after a cancel, until it has
    // handed back): the window stays open until then.
    bool busy() const { return busy_; }

    void FormClose(ui::TObject* sender, ui::TCloseAction& action);
    void PaintBox1DblClick(ui::TObject* sender);
    void grdCalibrTableClick(ui::TObject* sender);
    void edCalibrValuesChange(ui::TObject* sender);
    void btnAddClick(ui::TObject* sender);
    void btnDelClick(ui::TObject* sender);
    void btnShowCalibrGrClick(ui::TObject* sender);
    void btnSetCurrValueClick(ui::TObject* sender);
    void TimerTimer(ui::TObject* sender);

    ui::TPageControl* PageControl1;
    ui::TTabSheet* tsMain;
    ui::TTabSheet* tsCalibr;
    ui::TTabSheet* tsRecalibr;
    ui::TEdit* edChannel;
    ui::TUpDown* udChannel;
    ui::TComboBox* cbxAveraging;
    ui::TEdit* edName;
    ui::TEdit* edShortName;
    ui::TEdit* edHalfLife;
    ui::TDateTimePicker* dtpCalibrDate;
    ui::TDateTimePicker* dtpCalibrTime;
    ui::TLabel* lblSecretKoeff;
    ui::TEdit* edSecretKoeff;
    ui::TStringGrid* grdCalibrTable;
    ui::TLabel* lblCalibrX;
    ui::TLabel* lblCalibrY;
    ui::TEdit* edCalibrX;
    ui::TEdit* edCalibrY;
    ui::TButton* btnAdd;
    ui::TButton* btnDel;
    ui::TButton* btnShowCalibrGr;
    ui::TLabel* lblRawValue;
    ui::TLabel* lblAverage;
    ui::TLabel* lblInstruction;
    ui::TPanel* shpDensity;
    ui::TLabel* lblDensity;
    ui::TEdit* edDensity;
    ui::TLabel* lblDensityUnit;
    ui::TButton* btnSetCurrValue;
    ui::TLabel* lblProgress;
    ui::TProgressBar* pbProgress;
    ui::TPaintBox* PaintBox1;
    ui::TButton* btnOk;
    ui::TButton* btnCancel;
    ui::TTimer* Timer1;

private:
    void fill_controls();
    void write_back(Param& param);
    void fill_grid();
    void select_point(int index);
    void show_running(bool running);
    // The table's controls: off while a run averages, since the run shifts
    // the points it was started on.
    void enable_table(bool idle);
    int selected_point() const;
    // Empty when the points give a line to shift along; else why not.
    std::string line_error() const;
    // Hands a display step to the main thread; it does nothing once the run
    // it belongs to has been closed with the window.
    void post(const std::weak_ptr<int>& alive, std::function<void()> step);
    void run_recalibration(const std::weak_ptr<int>& alive, std::shared_ptr<std::atomic<bool>> going, int channel,
                           int count, double density);
    void finish_recalibration(double average, double density);
    void restore_idle();

    HostData host_;
    std::string recalibr_caption_;
    std::unique_ptr<lib::MessCaller> own_caller_;
    lib::MessCaller* caller_;
    std::deque<double> readings_;
    std::unique_ptr<Param> param_;
    bool follow_grid_ = false;
    // A point's edit is being typed: the grid following it must not write
    // the shown form ("12,500") back into the text under the operator.
    bool typing_point_ = false;
    // The run's own flag, cleared to cancel it: a run left behind by a
    // closed window must not be revived by the next one's run.
    std::shared_ptr<std::atomic<bool>> run_;
    bool busy_ = false;
    // Held while the window's run may take posted steps; a step keeps only a
    // weak reference.
    std::shared_ptr<int> token_;
    // The texts the fields were filled with, to write back only what changed.
    struct Shown {
        std::string channel, averaging, name, short_name, half_life, koeff;
        double calibr_time = 0;
    } shown_;
    // Declared last: destroyed first, so the run ends before the rest goes.
    lib::AsynchOpers worker_;
};

// The calibration table as a curve: raw readings across, values up.
class TParamCalibrForm : public ui::TForm {
public:
    explicit TParamCalibrForm(ui::TComponent* owner);
    void fill(const Param& param);
    void ChartPaint(ui::TObject* sender);

    ui::TPaintBox* Chart;
    ui::TButton* btnClose;

private:
    std::string title_, left_title_;
    std::vector<UnitCalibrPoint> points_;
};

// Sets the application handle of the library's windows and installs the
// parameter settings window for Param::param_options.
extern "C" void init_core_lib(void* handle);
