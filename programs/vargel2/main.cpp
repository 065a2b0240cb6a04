// Vargel2: packs a well's recorded data into one 7-Zip package and hands it
// to the desktop's mail composer. Without arguments the selection window
// chooses the data; with arguments (data files, or masks with a folder) the
// program packs what they name at once and shows only its progress.

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
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/message_queue.h"
#include "programs/vargel2/configuration.h"
#include "programs/vargel2/main_form.h"
#include "programs/vargel2/progress_form.h"
#include "programs/vargel2/run_state.h"

namespace {

// A package was made, but some files of the choice are not in it.
constexpr int kStatusFilesLeftOut = 3;

// How long the program, told to end, waits for its run to stop (a file
// being rewritten is finished first) before it removes what the run made
// and ends all the same.
constexpr auto kStopBound = std::chrono::seconds(30);

// The signal that told the program to end; 0 while none did.
std::atomic<int> g_ending_signal{0};
// Main thread only.
vargel2::TProgressForm* g_progress = nullptr;

// On the main thread, after an ending signal: a run still going ends first
// (its end handler ends the program).
void end_unless_busy() {
    if (!g_progress || !g_progress->busy()) ui::Application().Terminate();
}

// The signal's thread: the run is stopped and cleans up after itself; should
// it not stop in time, what it made is removed here and the program ends.
void on_ending_signal(int signal) {
    g_ending_signal = signal;
    vargel2::TCompressThread::interrupt_all("прервано сигналом " + os::signal_name(signal));
    ui::main_queue().post(end_unless_busy);
    std::this_thread::sleep_for(kStopBound);
    vargel2::TCompressThread::remove_leftovers();
    std::fprintf(stderr,
                 "Vargel2: прервано сигналом %s; упаковка не остановилась за %lld с, её временный каталог удалён\n",
                 os::signal_name(signal).c_str(), static_cast<long long>(kStopBound.count()));
    std::_Exit(128 + signal);
}

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
    "argument that names no file (each named on standard error); 128+N told to end\n"
    "by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP): the run stops, the archiver\n"
    "is ended, and its temporary folder and unfinished package are removed.\n"
    "An archiver that shows no sign of work (no output, no growth of the package)\n"
    "for 10 minutes is ended and the run fails.\n";

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
    // Before any thread starts, so that every one of them leaves the ending
    // signals to the thread that takes them.
    os::watch_end_signals(on_ending_signal, [] { vargel2::TCompressThread::remove_leftovers(); });
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
            g_progress = progress;
            vargel2::RunState state;
            vargel2::command_line_setup(arguments, current, state);
            progress->start_on_show(state, options.values());
            // Nobody can press "Выход" without a desktop: the run's end ends
            // the program, and the log does not send anyone to the button.
            progress->closing_line = screen;
            progress->OnBusyChanged = [progress, screen](bool busy) {
                if (busy) return;
                if (g_ending_signal)
                    ui::Application().Terminate();
                else if (!screen)
                    progress->Close();
            };
            ui::Application().Run();
            for (int i = 0; i < progress->memLog->Lines().Count(); ++i) {
                std::printf("%s\n", progress->memLog->Lines()[i].c_str());
            }
            // The log speaks Russian, and so does what is said of it here.
            if (g_ending_signal) {
                status = 128 + g_ending_signal;
                const std::string made = progress->last_run_ok()
                                             ? "архив " + progress->run_state().package_path + " был уже создан"
                                             : "архив не создан, временный каталог удалён";
                std::fprintf(stderr, "Vargel2: прервано сигналом %s; %s\n", os::signal_name(g_ending_signal).c_str(),
                             made.c_str());
            } else if (!progress->last_run_ok()) {
                status = 1;
                std::fprintf(
                    stderr, "Vargel2: %s\n",
                    progress->last_error().empty() ? "упаковка не завершилась" : progress->last_error().c_str());
            } else if (!progress->left_out().empty()) {
                status = kStatusFilesLeftOut;
                std::string names;
                for (const auto& n : progress->left_out()) names += (names.empty() ? "" : ", ") + n;
                std::fprintf(stderr, "Vargel2: в архив %s не попали файлы (%zu): %s; причины указаны в журнале выше\n",
                             progress->run_state().package_path.c_str(), progress->left_out().size(), names.c_str());
            }
        } else {
            auto* progress = ui::Application().CreateForm<vargel2::TProgressForm>();
            g_progress = progress;
            auto* main_form = ui::Application().CreateForm<vargel2::TMainForm>(options, progress);
            ui::Application().SetMainForm(main_form);
            progress->OnBusyChanged = [main_form](bool busy) {
                main_form->set_busy(busy);
                if (!busy && g_ending_signal) ui::Application().Terminate();
            };
            ui::Application().Run();
            if (g_ending_signal) {
                status = 128 + g_ending_signal;
                std::fprintf(stderr, "Vargel2: прервано сигналом %s\n", os::signal_name(g_ending_signal).c_str());
            }
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
