#pragma once
// A program of the build run by a test: its output lines gathered on a
// thread, every wait bounded, and the program ended (SIGTERM) when the test
// lets go of it.

#include <signal.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/os/process.h"
#include "platform/os/testing.h"

namespace station_host::testing {

class ChildProgram {
public:
    // wait_line: the first line is read before anything else (a simulator's
    // "line: ..."). The bounds here only end a hung program: a loaded
    // machine may take many seconds to start one of the sanitizer build.
    // Its output is read for read_ms at most: a long session gives more (a
    // program whose output nobody reads any more stops at its next line).
    ChildProgram(const std::string& program, const std::vector<std::string>& args, bool wait_line = false,
                 int read_ms = 600000) {
        os::SpawnOptions o;
        o.program = program;
        o.args = args;
        o.capture_output = true;
        std::string error;
        EXPECT_TRUE(proc_.start(o, &error)) << error;
        if (wait_line) first_ = os::testing::read_line(proc_.stdout_fd(), 120000);
        reader_ = std::thread([this, read_ms] {
            code_ = proc_.read_lines(
                [this](const std::string& l) {
                    std::lock_guard<std::mutex> hold(mutex_);
                    lines_.push_back(l);
                },
                read_ms);
        });
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram() { finish(); }

    const std::string& first_line() const { return first_; }
    // Ends the program (unless stop is false: then waits, bounded, for its
    // own end) and gives its exit status.
    std::optional<int> finish(bool stop = true) {
        if (reader_.joinable()) {
            if (stop && proc_.running()) ::kill(proc_.pid(), SIGTERM);
            reader_.join();
        }
        return code_;
    }
    std::optional<int> code() const { return code_; }
    // Sends the program a signal (SIGKILL: a crash).
    void signal(int sig) {
        if (proc_.running()) ::kill(proc_.pid(), sig);
    }
    // The first output line starting so, waiting at most timeout_ms.
    std::string line_starting(const std::string& prefix, int timeout_ms) {
        for (int waited = 0; waited < timeout_ms; waited += 20) {
            {
                std::lock_guard<std::mutex> hold(mutex_);
                for (const auto& l : lines_)
                    if (l.rfind(prefix, 0) == 0) return l;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }
    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> hold(mutex_);
        return lines_;
    }
    // Every line so far, one after another: what a failure shows in full (a
    // sanitizer's report may come last, after a long run).
    std::string output() {
        std::lock_guard<std::mutex> hold(mutex_);
        std::string text;
        for (const auto& l : lines_) text += l + "\n";
        return text;
    }

private:
    os::Process proc_;
    std::string first_;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::optional<int> code_;
};

// A program of the build (its bin folder), run as the operator would.
struct BuiltProgram : ChildProgram {
    BuiltProgram(const std::string& program, const std::vector<std::string>& args, bool wait_line = false)
        : ChildProgram(std::string(STATION_BINARY_DIR) + "/bin/" + program, args, wait_line) {}
};

// Whether any of a program's output lines holds `part`.
inline bool has(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos) return true;
    return false;
}

}  // namespace station_host::testing
