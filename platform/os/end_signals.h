#pragma once
// The signals that ask a program to end (SIGINT from the terminal, SIGTERM
// from the system or a job's stop, SIGHUP when the terminal goes), taken by
// a thread of their own instead of ending the process where it stands, so
// that the program can undo what it has begun (a temporary folder, a half
// file, a child it started) before it ends.
//
// The signals are blocked in the calling thread and so in every thread it
// starts afterwards: call watch_end_signals first in main, before any
// thread is started. Children started through os::Process get the default
// handling back. A SIGHUP the program was started to ignore (nohup) stays
// ignored.

#include <functional>
#include <string>

namespace os {

// Starts the watching thread. The first signal runs `on_signal` (with the
// signal's number) on a thread of its own; the program is expected to end
// from there or soon after. A second signal meanwhile runs `at_once` (when
// given: what must not be left even then, quickly) and ends the process at
// once with 128 + its number.
void watch_end_signals(std::function<void(int signal)> on_signal, std::function<void()> at_once = {});

// "SIGTERM", "SIGINT", "SIGHUP", else "signal N".
std::string signal_name(int signal);

}  // namespace os
