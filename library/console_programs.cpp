#include "library/console_programs.h"

#include <climits>
#include <cmath>

#include "platform/os/file.h"
#include "platform/os/process.h"

namespace lib {

namespace {
void report(int* exit_code, std::optional<int> code) {
    if (exit_code) *exit_code = code ? *code : -1;
}
}  // namespace

bool start_console_application(const AnsiString& program, const AnsiString& parameters, const AnsiString& folder,
                               bool with_console, int* exit_code, int timeout_ms) {
    if (program.empty()) return false;
    const os::FileInfo info = os::file_info(program);
    if (!info.exists || info.is_directory) return false;
    os::SpawnOptions o;
    o.program = program;
    o.args = os::split_command_line(parameters);
    o.folder = folder.empty() ? os::folder_of(os::native_path(program)) : folder;
    o.null_stdio = !with_console;
    os::Process p;
    if (!p.start(o)) return false;
    auto code = p.wait(timeout_ms);
    if (!code) p.kill();
    report(exit_code, code);
    return true;
}

bool start_console_and_read_output(const AnsiString& program, const AnsiString& parameters,
                                   const AnsiString& /*folder*/, const std::function<void(const AnsiString&)>& on_line,
                                   int* exit_code, int timeout_ms) {
    os::SpawnOptions o;
    o.program = program;
    o.args = os::split_command_line(parameters);
    o.capture_output = true;
    o.search_path = true;
    os::Process p;
    if (!p.start(o)) return false;
    report(exit_code, p.read_lines(on_line, timeout_ms));
    return true;
}

int integer(float value) {
    if (std::isnan(value)) return 0;
    double v = value >= 0 ? static_cast<double>(value) + 0.5 : static_cast<double>(value) - 0.5;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace lib
