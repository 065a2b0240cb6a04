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
// gets a turn between two reads of the port. Closing the window stops the
// recording exactly as SIGTERM does (a byte on the stop pipe), so nothing
// recorded is lost.

#include <string>

#include "tools/station_host/host.h"

namespace station_host {

// Runs the host with its window on the real screen; the exit status as
// Host::run gives it, or 1 when no window can be shown (the cause on
// errors). stop_read/stop_write: the program's signal pipe (non-blocking).
int run_with_window(const HostOptions& options, int stop_read, int stop_write, const Host::Out& progress,
                    const Host::Out& errors);

}  // namespace station_host
