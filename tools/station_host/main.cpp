// station_host: records a trip from the acquisition unit, standing in for the
// station's main program.
//
// "station_host --help" tells the options and the exit statuses. It prints
// a line a second, a summary at the end, and errors on standard error;
// SIGINT, SIGTERM and SIGHUP (the terminal or the SSH session closed) stop it
// cleanly, a second one cuts the wait for the disk short, and the process
// ends at the latest ten seconds after it.
// --protocol reads the port with the hub's protocol of that name (a
// plug-in's, "СКЦ" for the cementing station) instead of the console's.
// --press plays the operator: at second S the plug-in window button with
// that caption is pressed. A plug-in's message 1033 starts a new trip (0),
// continues the recording (1) or stops it (2).

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/os/clock.h"
#include "platform/ui/testdata/lsan_options.h"
#include "tools/common/args.h"
#include "tools/station_host/host.h"
#include "tools/station_host/host_window.h"
#include "tools/station_host/trip_requests.h"

// The plug-ins' windows measure text: fontconfig's process-lifetime caches
// are not leaks of the station's code (under the sanitizer build).
LSAN_DEFAULT_OPTIONS(__FILE__, "../../platform/ui/testdata/lsan.supp")

namespace {

int stop_pipe[2] = {-1, -1};
std::atomic<int> signals_seen{0};  // lock-free: safe in a handler

// Only a write to the pipe here: the loop sees it between two reads. From
// the second signal on the operator wants out whatever hangs: the alarm
// ends the process if the stop has not by then.
void on_signal(int) {
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] auto n = ::write(stop_pipe[1], &c, 1);
    if (++signals_seen == 2) ::alarm(10);
    errno = saved;
}

// The tests' way to set the station's clock back or forward under a running
// host: STATION_HOST_CLOCK_STEPS="AT:STEP,..." steps the wall clock by STEP
// seconds (negative: back) AT seconds after the start; "AT:jSTEP" jumps the
// whole time forward instead (a machine suspended and woken).
class ScheduledClock : public os::Clock {
public:
    explicit ScheduledClock(const std::string& text) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find(',', pos);
            if (end == std::string::npos) end = text.size();
            const std::string item = text.substr(pos, end - pos);
            pos = end + 1;
            const std::size_t colon = item.find(':');
            if (colon == std::string::npos) throw tools::ArgError("STATION_HOST_CLOCK_STEPS: no ':' in '" + item + "'");
            Step st;
            st.at_ms = std::int64_t(tools::real_number("STATION_HOST_CLOCK_STEPS", item.substr(0, colon), 0, 864000) *
                                    1000);
            std::string size = item.substr(colon + 1);
            const bool jump = !size.empty() && size[0] == 'j';
            if (jump) size.erase(0, 1);
            if (!size.empty() && size[0] == '+') size.erase(0, 1);
            const std::int64_t ms =
                tools::whole_number("STATION_HOST_CLOCK_STEPS", size, jump ? 0 : -864000, 864000) * 1000;
            (jump ? st.jump_ms : st.wall_ms) = ms;
            steps_.push_back(st);
        }
    }
    std::int64_t now_ms() override { return os::steady_now_ms() + offsets().jump_ms; }
    void sleep_ms(int ms) override { os::system_clock().sleep_ms(ms); }
    std::int64_t wall_ms() override {
        const Step o = offsets();
        return os::system_clock().wall_ms() + o.wall_ms + o.jump_ms;
    }

private:
    struct Step {
        std::int64_t at_ms = 0;
        std::int64_t wall_ms = 0;
        std::int64_t jump_ms = 0;
    };
    // What the steps due by now add up to; a pure function of the real
    // time, so every thread sees the same clock.
    Step offsets() const {
        const std::int64_t elapsed = os::steady_now_ms() - start_ms_;
        Step sum;
        for (const Step& st : steps_)
            if (st.at_ms <= elapsed) {
                sum.wall_ms += st.wall_ms;
                sum.jump_ms += st.jump_ms;
            }
        return sum;
    }
    std::vector<Step> steps_;
    std::int64_t start_ms_ = os::steady_now_ms();
};

void say(FILE* f, const std::string& s) {
    std::fputs((s + "\n").c_str(), f);
    std::fflush(f);
}

const tools::ArgParser args(
    "station_host",
    "station_host --port PORT --well DIR [--station DIR] [--trip N] [--seconds S]\n"
    "                    [--time-step S] [--depth M] [--continue] [--plugins DIR]\n"
    "                    [--protocol NAME] [--press S:CAPTION,...] [--window]",
    "Records a trip of the acquisition unit on PORT into the well folder: the\n"
    "time, fast, depth and lag-depth files of the trip. Progress goes to standard\n"
    "output, errors to standard error and, once the trip has started, to\n"
    "\"registr.errors.log\" in the station folder. Ctrl-C, SIGTERM or SIGHUP stops it cleanly;\n"
    "a second one cuts the wait for the disk short.",
    {
        {"port", "PORT", "the unit's line: a serial device or pseudo-terminal, or HOST:PORT (TCP)"},
        {"well", "DIR", "the well folder: the trip's files, \"sys.bin\", the depths (made when missing)"},
        {"station", "DIR",
         "the station folder: set-up (\"params.tbl\", \"station.ini\"), \"data\",\n"
         "the error log (default: the well folder)"},
        {"trip", "N", "the trip number, 0 to 99999999 (default 1)"},
        {"seconds", "S", "how long to record, 0 to 864000 s; 0 until stopped (default 60)"},
        {"time-step", "S", "seconds between time records, 1 to 3600 (default: the configuration's)"},
        {"depth", "M", "bottom-hole and bit depth at the start, 0 to 15000 m (default: as kept)"},
        {"continue", "", "go on with the trip recorded before (reloads \"sys.bin\")"},
        {"plugins", "DIR",
         "the plug-ins (*.so) to load (default: \"plugins\" beside this program,\n"
         "when there is one; a folder or library others may write is refused)"},
        {"protocol", "NAME",
         "read the port with the hub's protocol of that name, one a plug-in\n"
         "registered (\"СКЦ\": the cementing-control station); default: the console's"},
        {"press", "S:CAPTION,...",
         "play the operator: at second S of the run press the plug-in window\n"
         "button with that caption (several, comma-separated)"},
        {"window", "",
         "show the station's main window on the desktop (menu, live chart, plug-in\n"
         "pages, status bar); closing it stops the recording as SIGTERM does"},
    },
    {
        {0, "the trip was recorded and closed"},
        {1,
         "the trip could not start: the port could not be opened, the well folder could\n"
         "     not be made, a set-up or plug-in could not be read (the cause on standard error)"},
        {2, "a bad argument: an unknown option, a missing or bad value"},
        {3, "records or a plug-in's files were left unwritten at the end, or closing the\n"
            "     trip failed"},
        {4, "no frame came from the unit at all"},
        {5, "the unit's line stopped taking the station's bytes (a write ran out of time)\n"
            "     during the trip; it was reopened and the trip recorded and closed"},
    });

}  // namespace

int main(int argc, char** argv) {
    station_host::HostOptions o;
    bool window = false;  // the main window on the desktop
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        if (name == "port")
            o.port = value;
        else if (name == "well")
            o.well_folder = value;
        else if (name == "station")
            o.station_folder = value;
        else if (name == "plugins")
            o.plugin_folder = value;
        else if (name == "trip")
            o.trip = int(tools::whole_number(name, value, 0, 99999999));
        else if (name == "seconds")
            o.duration_s = tools::real_number(name, value, 0, 864000);
        else if (name == "time-step")
            o.time_step = int(tools::whole_number(name, value, 1, 3600));
        else if (name == "depth")
            o.start_depth = tools::real_number(name, value, 0, 15000);
        else if (name == "continue")
            o.continue_trip = true;
        else if (name == "window")
            window = true;
        else if (name == "protocol")
            o.protocol = value;
        else if (name == "press") {
            try {
                o.presses = station_host::parse_presses(value);
            } catch (const std::exception& e) {
                throw tools::ArgError(std::string("--press: ") + e.what());
            }
        }
    });
    if (code) return *code;
    // The tests' way to see the periodic save without waiting a minute.
    if (const char* every = std::getenv("STATION_HOST_STATE_SAVE_SECONDS"); every && *every) {
        try {
            o.state_save_s = int(tools::whole_number("STATION_HOST_STATE_SAVE_SECONDS", every, 1, 3600));
        } catch (const std::exception&) {}
    }
    if (const char* steps = std::getenv("STATION_HOST_CLOCK_STEPS"); steps && *steps) {
        // Kept to the process's end: the writer's thread reads it to the last.
        static ScheduledClock* scheduled = nullptr;
        try {
            scheduled = new ScheduledClock(steps);
        } catch (const std::exception& e) {
            return args.bad_argument(e.what());
        }
        os::set_clock(scheduled);
    }
    if (o.port.empty()) return args.bad_argument("--port is needed");
    if (o.well_folder.empty()) return args.bad_argument("--well is needed");

    if (::pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        say(stderr, "station_host: cannot make the signal pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A hang-up ends the trip as a stop does, unless the host was started
    // to ignore it (nohup).
    struct sigaction hup {};
    if (sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler != SIG_IGN) sigaction(SIGHUP, &sa, nullptr);
    // A dropped TCP peer must not end the program, nor a file-size limit:
    // both come back as write errors, which are reported.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    if (window)
        return station_host::run_with_window(
            o, stop_pipe[0], stop_pipe[1], [](const std::string& s) { say(stdout, s); },
            [](const std::string& s) { say(stderr, s); });
    station_host::Host host(
        o, [](const std::string& s) { say(stdout, s); }, [](const std::string& s) { say(stderr, s); });
    // A plug-in's question (on the headless display) records on behind it.
    station_host::DialogTurns dialogs(host);
    return host.run(stop_pipe[0]);
}
