#pragma once
// The station host's main window (station_host --window): the window a
// station operator works in while a trip is recorded.
//
//   - a menu bar: "Запись" (start a new trip, continue the trip, stop the
//     recording, quit) and "Настройки" with the plug-ins' options items the
//     hub's plug-in manager adds;
//   - a page control: first the live log chart of the trip being recorded
//     (time-indexed, read back from the trip's time file as the writer's
//     records arrive, following the newest record until the operator
//     scrolls away), then the plug-ins' pages;
//   - a status bar: the trip, depths, records written, the line's state,
//     and the plug-ins' areas.
//
// The recording runs on the main thread as without a window; the window
// gets a turn between two reads of the port, and a dialog's own loop gives
// the recording its turns while the dialog is open. Closing the window stops the
// recording exactly as SIGTERM does (a byte on the stop pipe), so nothing
// recorded is lost.

#include <string>

#include "platform/ui/menus.h"
#include "tools/station_host/host.h"

namespace reg {
class System;
}

namespace station_host {

// The window's own entries of the "Скважина" menu: the drill string's
// window, the picture of the well with its string, and a submenu of the
// parameters that have a settings window. They work while a run's hub is
// attached, on copies of its objects: the recording goes on under the hub's
// lock, which they take only while a copy is made or put back. OK puts the
// copy back (a parameter's also into the table's file); Cancel changes
// nothing.
class WellEntries {
public:
    // Adds the entries to `menu`; the items are owned by `owner`.
    WellEntries(ui::TMenuItem* menu, ui::TComponent* owner);
    WellEntries(const WellEntries&) = delete;
    WellEntries& operator=(const WellEntries&) = delete;

    // The run's hub: the entries work on it, the parameters' submenu is made
    // from its table. Takes the hub's lock.
    void attach(reg::System* hub);
    // The run ended: the entries are off, the submenu empty.
    void detach();

    ui::TMenuItem* string_item() const { return string_item_; }
    ui::TMenuItem* well_item() const { return well_item_; }
    ui::TMenuItem* params_menu() const { return params_menu_; }

private:
    ui::TMenuItem* item(ui::TMenuItem* parent, const std::string& caption, std::function<void()> fn = {});
    void edit_string();
    void show_well_picture();
    void edit_param(int index);

    ui::TComponent* owner_;
    reg::System* hub_ = nullptr;
    ui::TMenuItem* string_item_;
    ui::TMenuItem* well_item_;
    ui::TMenuItem* params_menu_;
};

// While it lives, every modal dialog's own loop gives the host's run its
// turns, so the recording goes on behind the dialog (a recalibration then
// averages live readings); a run that ends meanwhile (a stop, its time up)
// lets the dialogs go as their Cancel would.
class DialogTurns {
public:
    explicit DialogTurns(Host& host);
    ~DialogTurns();
    DialogTurns(const DialogTurns&) = delete;
    DialogTurns& operator=(const DialogTurns&) = delete;
};

// What the window shows of the recording. The title, the status bar's text
// and the "Запись" menu follow the recording's real state: a trip recorded
// with data coming, a trip waiting for data on its line, or no trip being
// recorded (between runs, or after a plug-in's stop request).
enum class RecordingState { recording, no_line, stopped };
struct RecordingView {
    RecordingState state = RecordingState::stopped;
    std::string title;
    std::string status;  // the status bar's text, left of the plug-ins' areas
    bool can_start = false, can_resume = false, can_stop = false;
};
// host: the run under way, or null between runs; trip: the trip the
// window names then.
RecordingView recording_view(const Host* host, int trip);

// Runs the host with its window on the real screen; the exit status as
// Host::run gives it, or 1 when no window can be shown (the cause on
// errors). stop_read/stop_write: the program's signal pipe (non-blocking).
int run_with_window(const HostOptions& options, int stop_read, int stop_write, const Host::Out& progress,
                    const Host::Out& errors);

}  // namespace station_host
