#pragma once
// Running an outside console program (the archiver, a converter) and waiting
// for it. Programs start without a shell: the parameter text is split into
// arguments as a Windows program would split its command line, and nothing
// in it is expanded.

#include <functional>
#include <string>

namespace lib {

using AnsiString = std::string;

// Runs program with parameters in folder (the program's own folder when
// empty) and waits for its end. with_console false runs it detached from our
// terminal (standard streams to /dev/null). Returns true when the program
// was started (it has then ended, or was killed when timeout_ms >= 0 ran
// out). A missing program file gives false without an attempt. When
// exit_code is given it receives the exit status (128 + signal when killed,
// -1 when the wait timed out).
bool start_console_application(const AnsiString& program, const AnsiString& parameters, const AnsiString& folder,
                               bool with_console, int* exit_code = nullptr, int timeout_ms = -1);

// Runs program (looked up in PATH when it has no slash) with parameters in
// the caller's current folder (folder is not used), standard output and
// error piped, and hands every non-empty line (ended by CR or LF) to
// on_line while it runs, stdout before stderr. Everything the program wrote
// is passed on, an unterminated last line included. Returns whether it
// started; exit_code and timeout_ms as above.
bool start_console_and_read_output(const AnsiString& program, const AnsiString& parameters, const AnsiString& folder,
                                   const std::function<void(const AnsiString&)>& on_line, int* exit_code = nullptr,
                                   int timeout_ms = -1);

// Rounds half away from zero; values beyond the int range saturate and NaN
// gives 0, so no caller meets undefined behaviour.
int integer(float value);

}  // namespace lib
