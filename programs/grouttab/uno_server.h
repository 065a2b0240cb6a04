#pragma once
// The spreadsheet server in a LibreOffice process, reached through the UNO
// bridge on a named pipe. Connecting finds an office already listening on
// the pipe, or starts one (headless, with a private user profile so that it
// never meets the user's own office or a first-start dialog) and waits for
// it to listen, for a bounded time (on os::clock()). The office started
// here keeps running after the program ends, so the report it shows stays
// with the user; while the program runs, a dead office is reaped at once
// and a lock file it left beside a document of this program is removed.

#include <string>
#include <vector>

#include "programs/grouttab/spreadsheet_server.h"

namespace grouttab {

struct OfficeSettings {
    std::string program;       // the office's soffice.bin
    std::string pipe_name;     // the pipe it listens on; empty: the one of its profile
    std::string profile_dir;   // its private user profile folder
    int timeout_ms = 30000;    // how long a connection waits for each start of the office
    bool start_office = true;  // start an office when none listens
    // An office started here shows no window; the program itself shows the
    // report in one and so starts its office with a window system, and
    // with its interface in Russian (a choice kept in its profile).
    bool headless = true;
    // A program (with its arguments) that the office is started through, e.g.
    // one that ties its life to ours; empty: the office is started itself.
    std::vector<std::string> launcher;
};

// The process-wide settings that office_server_factory uses at each
// connection; tests point them at an office of their own.
OfficeSettings& office_settings();

// Connects to the office of office_settings(); throws ServerError with the
// cause when no office can be had in time.
ServerFactory office_server_factory();

// Ends the office that a connection of this process started, if one runs,
// and removes its private profile when asked. Tests call it; the program
// never does.
void stop_started_office(bool remove_profile);

// The process of the office this process started, while it runs; -1 when
// there is none. For tests.
int started_office_pid();

// Whether this machine has the office installed at all.
bool office_installed();

}  // namespace grouttab
