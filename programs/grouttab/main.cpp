// Grouttab: the cementing report program. "-p" glued to a well folder name
// preselects that well (the cementing plug-in starts it so).

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/os/end_signals.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "programs/grouttab/report.h"
#include "programs/grouttab/report_form.h"
#include "programs/grouttab/uno_server.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const auto& a : arguments) {
        if (a == "--help") {
            std::fputs(
                "Usage: Grouttab [-pWELL]\n"
                "Builds the spreadsheet report of a cementing stage from the files the cementing\n"
                "plug-in stored in the well folders beside the program.\n"
                "  -pWELL   preselect the well folder WELL (no blank between -p and the name)\n"
                "  --help   show this text\n"
                "Exit status: 0; 1 when no desktop can be reached to show the window; 2 an\n"
                "unknown option.\n",
                stdout);
            return 0;
        }
        // The long options are the program's own, and one it does not know
        // is a mistake to tell; any other text is the caller's ("-p" is
        // looked for anywhere in it).
        if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr,
                         "Grouttab: unknown option '%s'\nusage: Grouttab [-pWELL]\n"
                         "Try 'Grouttab --help' for the options.\n",
                         a.c_str());
            return 2;
        }
    }
    // Before any thread starts. A build cut short by an ending signal
    // leaves no folder of its own beside the report; the office keeps
    // whatever it shows.
    os::watch_end_signals(
        [](int signal) {
            grouttab::remove_build_folders();
            std::_Exit(128 + signal);
        },
        [] { grouttab::remove_build_folders(); });
    // The program is its window: without a desktop it says so instead of
    // running unseen.
    try {
        ui::start_screen_display();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Grouttab: %s\n", e.what());
        return 1;
    }
    // The finished report is shown in the office's window on this desktop.
    grouttab::office_settings().headless = false;
    // The first start of a fresh profile (it starts twice, each start with
    // this bound) takes a while on a busy station computer.
    grouttab::office_settings().timeout_ms = 90000;
    try {
        ui::Application().CreateForm<grouttab::TReportForm>(arguments);
        ui::Application().Run();
    } catch (const std::exception& e) {
        ui::Application().HandleException(e);
    }
    // The office keeps the report open for the user. Taking the bridge to
    // it down at exit waits on that office, which can be busy loading for
    // minutes: the program ends here instead, its window already gone.
    std::fflush(nullptr);
    std::_Exit(0);
}
