// stage_report: the cementing report program's "Таблица" for one stage
// without a screen: its window made headless, the well and stage chosen as
// the user would, the spreadsheet report built through a headless
// LibreOffice into the well's "cement/report" folder. "stage_report --help"
// tells the options and the exit statuses.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/end_signals.h"
#include "platform/os/paths.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/lsan_options.h"
#include "programs/grouttab/report.h"
#include "programs/grouttab/report_form.h"
#include "programs/grouttab/uno_server.h"
#include "tools/common/args.h"
#include "tools/road/office.h"

// Text is drawn and the office reached: their process-lifetime caches are
// not leaks of the station's code (under the sanitizer build).
LSAN_DEFAULT_OPTIONS(__FILE__, "lsan.supp")

namespace {

void say(FILE* f, const std::string& s) { std::fputs((s + "\n").c_str(), f); }

// The signal that told the program to end; 0 while none did.
std::atomic<int> g_ending_signal{0};

// The signal's thread: the office goes first, so that nothing writes into
// the build's folder any more, then the folder, then the program.
void on_ending_signal(int signal) {
    g_ending_signal = signal;
    grouttab::stop_started_office(false);
    grouttab::remove_build_folders();
    say(stderr, "stage_report: stopped by " + os::signal_name(signal) + "; the report being built was not stored");
    std::fflush(stderr);
    std::_Exit(128 + signal);
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts, so that all of them leave the ending signals
    // to the thread that takes them.
    os::watch_end_signals(on_ending_signal, [] { grouttab::remove_build_folders(); });
    const tools::ArgParser args("stage_report", "stage_report --station DIR --well NAME --stage N --profile DIR",
                                "Builds the spreadsheet report of a cementing stage as the report program's\n"
                                "\"Таблица\" does, without a screen: the station folder stands for the\n"
                                "program's folder (its \"params/cement/report_new.xls\" and the well folders),\n"
                                "and the report is stored as <well>/cement/report/<well>_<stage>.xls there.",
                                {
                                    {"station", "DIR", "the station folder: the template and the well folders"},
                                    {"well", "NAME", "the well folder's name"},
                                    {"stage", "N", "the stage, 1 to 9999"},
                                    {"profile", "DIR", "the office's private profile folder (kept for the next start)"},
                                },
                                {
                                    {0, "the report was stored"},
                                    {1, "the well or stage is not there, no office could be had, or the build failed"},
                                    {2, "a bad argument: an unknown option, a missing or bad value"},
                                    {143, "stopped by SIGTERM (130 SIGINT, 129 SIGHUP); its build folder removed"},
                                });
    std::string station, well, stage, profile;
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        if (name == "station")
            station = value;
        else if (name == "well")
            well = value;
        else if (name == "stage")
            stage = std::to_string(tools::whole_number(name, value, 1, 9999));
        else if (name == "profile")
            profile = value;
    });
    if (code) return *code;
    if (station.empty() || well.empty() || stage.empty() || profile.empty())
        return args.bad_argument("--station, --well, --stage and --profile are needed");
    if (!grouttab::office_installed()) {
        say(stderr, "stage_report: LibreOffice is not installed (scripts/setup.sh installs it)");
        return 1;
    }
    os::set_program_dir_override(station);
    road::use_private_office(profile);
    // The window's message boxes are the build's failures: said, not shown.
    std::vector<std::string> messages;
    ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
        messages.push_back(r.text);
        say(stderr, "stage_report: " + r.text);
        return ui::IDOK;
    });
    int status = 0;
    try {
        grouttab::TReportForm form(nullptr, {"-p" + well},
                                   grouttab::ReportSettings{grouttab::office_server_factory(), false});
        // As the user picks them: the well the "-p" chose, then the stage.
        if (form.cbPore->Text() != well) {
            say(stderr, "stage_report: no well folder '" + well +
                            "' with \"inpgti.ini\" and \"cement/cement.ini\" in " + station);
            status = 1;
        } else {
            const int index = form.cbStupen->Items().IndexOf(stage);
            if (index < 0) {
                say(stderr, "stage_report: well '" + well + "' has no report data of stage " + stage);
                status = 1;
            } else {
                form.cbStupen->SetItemIndex(index);
                if (!grouttab::make_report(form, well, stage) || !messages.empty()) status = 1;
            }
        }
        if (status == 0) say(stdout, "report: " + grouttab::report_paths(station, well, stage).output_file);
    } catch (const std::exception& e) {
        say(stderr, "stage_report: " + std::string(e.what()));
        status = 1;
    }
    // A build cut short by a signal fails here too; the signal's thread
    // ends the program with the signal's status.
    while (g_ending_signal) std::this_thread::sleep_for(std::chrono::seconds(1));
    grouttab::stop_started_office(false);
    return status;
}
