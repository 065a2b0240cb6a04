#pragma once
// The windows in which the operator sees and edits what the hub keeps: the
// well construction, the alarm limits, the depth sensor's calibration, the
// trip information, the event log and the remarks.
//
// Each editing window shows the object when it opens and writes it back only
// on OK; Cancel, Escape or closing the window leave it as it was. A cell
// that cannot hold what was typed refuses it at once (the cell keeps its
// text, the operator is told why); OK with a table that cannot be taken
// says what is wrong, shows the place and keeps the window open. A window
// runs modally (execute) or beside the recording (Show: it frees itself when
// closed). The objects may be shared with other threads: give the lock that
// guards them (sys_lock_obj() for the hub's), and the window takes it for
// every read and write of the object.
//
//   reg::ConstructionWindow w(nullptr, *pore.get_construction(), sys_lock_obj());
//   if (w.execute()) ...   // the construction holds the edited elements

#include <memory>
#include <string>

#include "library/lock_object.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "widrak/my_grid.h"

class MinMaxValues;
namespace lib {
class grid_options;
class options_list;
}  // namespace lib
class RaceInfoOld;
class RegistrLogOld;
namespace pore {
class Construction;
}
namespace calc {
class DepthCalc;
}
namespace text {
class Storage;
}

namespace reg {

// A grid over a row of buttons: OK and Cancel, or Close for a window that
// only shows.
class HubGridWindow : public ui::TForm {
public:
    // True when the window was closed with OK.
    bool execute();

    widrak::TMyGrid* Grid;
    // What the window tells the operator about the table: shown above the
    // buttons while there is something to tell.
    ui::TPanel* pnlMessage;
    ui::TLabel* lblMessage;
    ui::TPanel* pnlBottom;
    ui::TButton* btnOk;      // null in a window that only shows
    ui::TButton* btnCancel;  // "Закрыть" in a window that only shows

protected:
    HubGridWindow(ui::TComponent* owner, const std::string& caption, lib::lock_object* lock, bool editing);
    // Whether the grid can be taken as it stands; when not, the operator has
    // been told why and the window stays. Runs before apply, without the
    // lock.
    virtual bool accepted() { return true; }
    // Writes the grid into the object (under the lock).
    virtual void apply() {}
    // Puts the keys on a cell the operator is to correct.
    void show_cell(int col, int row);
    // Tells the operator (in the window); an empty text takes it away.
    void tell(const std::string& text);
    // The window tells what a cell refused, and takes it away as the
    // operator types again.
    void tell_refusals();
    // The window closes, with OK or not.
    virtual void closing() {}
    lib::lock_object* lock_;

private:
    void finish(ui::TModalResult result);
    bool closed_ = false;
};

// The construction's grid with its check marks, and its drawing beside it.
class ConstructionWindow : public HubGridWindow {
public:
    ConstructionWindow(ui::TComponent* owner, pore::Construction& construction, lib::lock_object* lock = nullptr);
    ~ConstructionWindow() override;
    ui::TPaintBox* Drawing;

protected:
    void apply() override;
    void closing() override;

private:
    void paint_drawing();
    pore::Construction& construction_;
};

// The alarm limits of the parameters, one row each; a parameter of the
// registry chosen below the grid is added as a row without limits, and the
// current row removed.
class AlarmLimitsWindow : public HubGridWindow {
public:
    AlarmLimitsWindow(ui::TComponent* owner, MinMaxValues& limits, lib::lock_object* lock = nullptr);
    ~AlarmLimitsWindow() override;

    ui::TComboBox* cbParam;
    ui::TButton* btnAdd;
    ui::TButton* btnDelete;

protected:
    bool accepted() override;
    void apply() override;

private:
    void refill();
    MinMaxValues& limits_;
    // The rows being edited: the grid's rows until OK.
    std::unique_ptr<MinMaxValues> work_;
};

// The depth sensor's calibration intervals with their pulses per metre.
class DepthCalibrationWindow : public HubGridWindow {
public:
    DepthCalibrationWindow(ui::TComponent* owner, calc::DepthCalc& calc, lib::lock_object* lock = nullptr);

protected:
    bool accepted() override;
    void apply() override;

private:
    calc::DepthCalc& calc_;
    bool uncalibrated_told_ = false;
};

// The event log: the file's events, then each new one as it is written.
class EventLogWindow : public HubGridWindow {
public:
    EventLogWindow(ui::TComponent* owner, RegistrLogOld& log);
    ~EventLogWindow() override;

protected:
    void closing() override;

private:
    RegistrLogOld& log_;
};

// The remarks, drawn from the bottom up, the newest last.
class RemarksWindow : public ui::TForm {
public:
    RemarksWindow(ui::TComponent* owner, text::Storage& remarks);
    ui::TPaintBox* Drawing;
    ui::TPanel* pnlBottom;
    // Closes the window; Escape presses it.
    ui::TButton* btnClose;

private:
    void paint_remarks();
    text::Storage& remarks_;
};

// The trip information in the options grid, the trip number and the bit
// wear shown as fits the moment of the trip (kind, as
// RaceInfoOld::correct_race_options takes it). OK writes only the options
// the operator changed, so what the recording wrote into the record
// meanwhile stays.
class RaceInfoWindow : public HubGridWindow {
public:
    RaceInfoWindow(ui::TComponent* owner, RaceInfoOld& race, int kind, lib::lock_object* lock = nullptr);
    ~RaceInfoWindow() override;
    lib::grid_options& editor() { return *editor_; }

protected:
    void apply() override;

private:
    RaceInfoOld& race_;
    std::unique_ptr<RaceInfoOld> shown_;   // as the window opened
    std::unique_ptr<RaceInfoOld> edited_;  // the grid's options
    std::unique_ptr<lib::options_list> list_;
    std::unique_ptr<lib::grid_options> editor_;
};

// The same window run modally; true when it was closed with OK.
bool edit_race_info(RaceInfoOld& race, int kind, lib::lock_object* lock = nullptr);

}  // namespace reg
