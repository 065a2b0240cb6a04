#pragma once
// Starting outside programs without a shell: posix_spawn with an argument
// vector, optional pipes for standard output and error, bounded waits.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace os {

// Splits a Windows-style parameter text into arguments the way Windows
// programs parse their command line: blanks and tabs separate arguments,
// double quotes group (a doubled quote inside quotes is a literal quote),
// 2n backslashes before a quote give n backslashes and a grouping quote,
// 2n+1 give n backslashes and a literal quote; other backslashes are literal.
// Nothing is expanded: "*" reaches the program as it stands.
std::vector<std::string> split_command_line(std::string_view text);

struct SpawnOptions {
    std::string program;            // path of the executable
    std::vector<std::string> args;  // argv[1..]
    std::string folder;             // current folder of the child; empty: ours
    bool capture_output = false;    // stdout and stderr to pipes, stdin from /dev/null
    bool null_stdio = false;        // all three standard streams to /dev/null
    bool search_path = false;       // a bare program name is looked up in PATH
};

class Process {
public:
    Process() = default;
    ~Process();  // never leaves a zombie: a running child is waited for
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts the program. Returns false (with the reason in *error) when it
    // could not be started, e.g. missing or not executable.
    bool start(const SpawnOptions& options, std::string* error = nullptr);

    pid_t pid() const { return pid_; }
    int stdout_fd() const { return out_fd_; }
    int stderr_fd() const { return err_fd_; }

    // Waits for the end; timeout_ms < 0 waits without limit. Returns the
    // exit code (128 + signal number for a killed child), or nothing when
    // the time ran out.
    std::optional<int> wait(int timeout_ms = -1);
    // Kills a running child (SIGKILL) and reaps it.
    void kill();
    // Sends SIGKILL and leaves the reaping to the thread that waits for the
    // child (the caller knows that thread has not reaped it yet).
    void send_kill() const;
    bool running() const { return pid_ > 0 && !exit_code_; }

    // Reads both pipes until the child closes them and has ended, handing
    // each line (ended by CR or LF; empty lines dropped; an unterminated last
    // line kept) to on_line; stdout's bytes before stderr's within a round.
    // Returns the exit code, or nothing when timeout_ms ran out (the child is
    // then killed).
    std::optional<int> read_lines(const std::function<void(const std::string&)>& on_line, int timeout_ms = -1);
    // The same, asking keep_going at least every `check_ms` (and after each
    // read) whether to go on: when it says no, the child is killed and
    // reaped on this thread and nothing is returned. So a caller that must
    // end a child early never signals one that may already be reaped.
    std::optional<int> read_lines(const std::function<void(const std::string&)>& on_line, int timeout_ms,
                                  const std::function<bool()>& keep_going, int check_ms = 200);

private:
    void close_pipes();
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::optional<int> exit_code_;
};

}  // namespace os
