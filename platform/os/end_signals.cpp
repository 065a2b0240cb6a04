#include "platform/os/end_signals.h"

#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <thread>

namespace os {

namespace {

sigset_t ending_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    struct sigaction hup {};
    if (sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler != SIG_IGN) sigaddset(&set, SIGHUP);
    return set;
}

int next_signal(const sigset_t& set) {
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {}
    return signal;
}

}  // namespace

void watch_end_signals(std::function<void(int)> on_signal, std::function<void()> at_once) {
    const sigset_t set = ending_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, on_signal = std::move(on_signal), at_once = std::move(at_once)] {
        const int first = next_signal(set);
        // The program was told to end: an ending of its own that fails
        // still ends it, with the signal's status, not by std::terminate.
        std::thread([on_signal, first] {
            try {
                on_signal(first);
            } catch (...) {
                std::_Exit(128 + first);
            }
        }).detach();
        const int second = next_signal(set);
        try {
            if (at_once) at_once();
        } catch (...) {
            // Ended at once all the same: that is what a second signal asks.
        }
        std::_Exit(128 + second);
    }).detach();
}

std::string signal_name(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        default: return "signal " + std::to_string(signal);
    }
}

}  // namespace os
