// Vargel2: packs a well's recorded data into one 7-Zip package and hands it
// to the desktop's mail composer. Without arguments the selection window
// chooses the data; with arguments (data files, or masks with a folder) the
// program packs what they name at once and shows only its progress.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/os/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "programs/vargel2/configuration.h"
#include "programs/vargel2/main_form.h"
#include "programs/vargel2/progress_form.h"
#include "programs/vargel2/run_state.h"

namespace {

// A package was made, but some files of the choice are not in it.
constexpr int kStatusFilesLeftOut = 3;

const char kUsage[] =
    "Usage: Vargel2 [FILE|MASK]...\n"
    "Packs a well's recorded data into one 7-Zip package for mailing.\n"
    "Without arguments the selection window chooses the data (all of it, trips or\n"
    "hour windows of the station's current well beside the program); it needs a\n"
    "desktop.\n"
    "With arguments each FILE or MASK (a folder and a file mask such as\n"
    "well/0003.*real*) names real-time data files; they are rewritten in compressed\n"
    "form and packed into FILE.7z_reg for one file, else into DIR/NAME.7z_reg, where\n"
    "DIR is the first argument's folder and NAME its last name (\"file\" for /).\n"
    "The progress window shows the run; without a desktop the run goes on without a\n"
    "window, its log is printed on standard output and the program ends with it.\n"
    "The options are in vargel2.ini beside the program; the archiver is 7za beside\n"
    "the program, else 7za from PATH.\n"
    "  --help   show this text\n"
    "Only regular files are packed: symbolic links and names holding a path\n"
    "separator are left out. A file that cannot be read or copied is left out and\n"
    "named in the log, and the rest is packed.\n"
    "Exit status: 0 the package was made with every file (or the window was\n"
    "closed); 1 the run failed and left no package (the cause on standard error:\n"
    "also when no argument names a file, two files of one name meet, or no file\n"
    "could be packed), or no desktop for the selection window; 2 a bad argument;\n"
    "3 the package was made without some files, or without anything for an\n"
    "argument that names no file (each named on standard error).\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const auto& a : arguments) {
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "Vargel2: unknown option %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    // Arguments are taken against the folder the program was started in,
    // before anything else happens.
    const std::string current = vargel2::start_folder();
    vargel2::Configuration options(os::program_dir());
    try {
        options.load_options();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Vargel2: the options stay at their defaults: %s\n", e.what());
    }

    bool screen = false;
    if (ui::desktop_reachable()) {
        try {
            ui::start_screen_display();
            screen = true;
        } catch (const std::exception& e) {
            if (arguments.empty()) {
                std::fprintf(stderr, "Vargel2: %s\n", e.what());
                return 1;
            }
        }
    }
    if (!screen && arguments.empty()) {
        std::fputs("Vargel2: no desktop to show the selection window (DISPLAY or WAYLAND_DISPLAY)\n", stderr);
        return 1;
    }

    int status = 0;
    try {
        if (!arguments.empty()) {
            auto* progress = ui::Application().CreateForm<vargel2::TProgressForm>();
            vargel2::RunState state;
            vargel2::command_line_setup(arguments, current, state);
            progress->start_on_show(state, options.values());
            // Nobody can press "Выход" without a desktop: the run's end ends
            // the program.
            if (!screen) {
                progress->OnBusyChanged = [progress](bool busy) {
                    if (!busy) progress->Close();
                };
            }
            ui::Application().Run();
            for (int i = 0; i < progress->memLog->Lines().Count(); ++i) {
                std::printf("%s\n", progress->memLog->Lines()[i].c_str());
            }
            if (!progress->last_run_ok()) {
                status = 1;
                std::fprintf(stderr, "Vargel2: %s\n",
                             progress->last_error().empty() ? "the run did not end" : progress->last_error().c_str());
            } else if (!progress->left_out().empty()) {
                status = kStatusFilesLeftOut;
                std::string names;
                for (const auto& n : progress->left_out()) names += (names.empty() ? "" : ", ") + n;
                std::fprintf(stderr, "Vargel2: the package %s lacks %zu files (their causes are in the log): %s\n",
                             progress->run_state().package_path.c_str(), progress->left_out().size(), names.c_str());
            }
        } else {
            auto* progress = ui::Application().CreateForm<vargel2::TProgressForm>();
            auto* main_form = ui::Application().CreateForm<vargel2::TMainForm>(options, progress);
            ui::Application().SetMainForm(main_form);
            progress->OnBusyChanged = [main_form](bool busy) { main_form->set_busy(busy); };
            ui::Application().Run();
        }
    } catch (const std::exception& e) {
        ui::Application().HandleException(e);
        status = 1;
    }
    try {
        options.save_options();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Vargel2: the options were not saved: %s\n", e.what());
    }
    std::fflush(stdout);
    return status;
}
