// station_host: records a trip from the acquisition unit, standing in for the
// station's main program.
//
//   station_host --port PORT --well DIR [--station DIR] [--trip N]
//                [--seconds S] [--time-step S] [--depth M] [--continue]
//                [--plugins DIR] [--protocol NAME] [--press S:CAPTION,...]
//
// PORT is a device path (a serial line, or the pseudo-terminal the device
// simulator prints) or "host:port". The plug-ins are the "*.so" of DIR
// (default: the folder "plugins" beside the station folder, if there is
// one). --protocol reads the port with the hub's protocol of that name (a
// plug-in's, "СКЦ" for the cementing station) instead of the console's.
// --press plays the operator: at second S the plug-in window button with
// that caption is pressed. A plug-in's message 1033 starts a new trip (0),
// continues the recording (1) or stops it (2). It prints a line a second, a summary at
// the end, and errors on standard error; SIGINT and SIGTERM stop it cleanly.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/ui/testdata/lsan_options.h"
#include "tools/station_host/host.h"
#include "tools/station_host/trip_requests.h"

// The plug-ins' windows measure text: fontconfig's process-lifetime caches
// are not leaks of the station's code (under the sanitizer build).
LSAN_DEFAULT_OPTIONS(__FILE__, "../../platform/ui/testdata/lsan.supp")

namespace {

int stop_pipe[2] = {-1, -1};

// Only a write to the pipe here: the loop sees it between two reads.
void on_signal(int) {
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] auto n = ::write(stop_pipe[1], &c, 1);
    errno = saved;
}

void say(FILE* f, const std::string& s) {
    std::fputs((s + "\n").c_str(), f);
    std::fflush(f);
}

int usage(const std::string& why) {
    say(stderr, "station_host: " + why);
    say(stderr,
        "usage: station_host --port PORT --well DIR [--station DIR] [--trip N]\n"
        "                    [--seconds S] [--time-step S] [--depth M] [--continue]\n"
        "                    [--plugins DIR] [--protocol NAME] [--press S:CAPTION,...]");
    return 2;
}

template <class T>
bool number(const std::string& s, T lo, T hi, T& v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size() && v >= lo && v <= hi;
}

}  // namespace

int main(int argc, char** argv) {
    station_host::HostOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
            return argv[++i];
        };
        try {
            long long n = 0;
            double x = 0;
            if (a == "--port") o.port = value();
            else if (a == "--well") o.well_folder = value();
            else if (a == "--station") o.station_folder = value();
            else if (a == "--plugins") o.plugin_folder = value();
            else if (a == "--protocol") o.protocol = value();
            else if (a == "--press") o.presses = station_host::parse_presses(value());
            else if (a == "--trip") {
                if (!number(value(), 0LL, 99999999LL, n)) return usage("bad trip number");
                o.trip = int(n);
            } else if (a == "--seconds") {
                if (!number(value(), 0.0, 864000.0, x)) return usage("bad duration");
                o.duration_s = x;
            } else if (a == "--time-step") {
                if (!number(value(), 1LL, 3600LL, n)) return usage("bad time step");
                o.time_step = int(n);
            } else if (a == "--depth") {
                if (!number(value(), 0.0, 15000.0, x)) return usage("bad depth (0 to 15000 m)");
                o.start_depth = x;
            } else if (a == "--continue") o.continue_trip = true;
            else return usage("unknown option '" + a + "'");
        } catch (const std::exception& e) {
            return usage(e.what());
        }
    }
    if (o.port.empty()) return usage("--port is needed");
    if (o.well_folder.empty()) return usage("--well is needed");

    if (::pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        say(stderr, "station_host: cannot make the signal pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A dropped TCP peer must not end the program.
    std::signal(SIGPIPE, SIG_IGN);

    station_host::Host host(o, [](const std::string& s) { say(stdout, s); },
                            [](const std::string& s) { say(stderr, s); });
    return host.run(stop_pipe[0]);
}
