#pragma once
// For tests only: stand-ins for outside programs (xdg-open, lp). While a
// StandInPath lives, PATH names only its own folder, so the real programs
// are never found; each stand-in is a small script that writes its
// arguments, one a line, to NAME.args beside itself, then a line "END", and
// exits with the code given.

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>

#include "platform/os/testing.h"

namespace os::testing {

class StandInPath {
public:
    StandInPath() {
        if (const char* p = std::getenv("PATH")) saved_ = p;
        ::setenv("PATH", dir_.path().c_str(), 1);
    }
    ~StandInPath() { ::setenv("PATH", saved_.c_str(), 1); }
    StandInPath(const StandInPath&) = delete;
    StandInPath& operator=(const StandInPath&) = delete;

    // `extra` runs after the arguments are written (absolute paths only:
    // PATH holds nothing else).
    void add(const std::string& name, int exit_code = 0, const std::string& extra = "") {
        const std::string script = dir_ / name;
        write_bytes(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"${0%/*}/" + name +
                                ".part\"\n" + extra + "\nprintf 'END\\n' >> \"${0%/*}/" + name + ".part\"\n" +
                                "/bin/mv \"${0%/*}/" + name + ".part\" \"${0%/*}/" + name + ".args\"\nexit " +
                                std::to_string(exit_code) + "\n");
        ::chmod(script.c_str(), 0755);
    }
    // The arguments of the last run (with the closing "END" line), waiting
    // up to timeout_ms for the run to finish; empty when none did.
    std::string args(const std::string& name, int timeout_ms = 5000) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            std::string text = read_bytes(dir_ / (name + ".args"));
            if (!text.empty() || std::chrono::steady_clock::now() > end) return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::string path() const { return dir_.path(); }
    std::string operator/(const std::string& name) const { return dir_ / name; }

private:
    TempDir dir_;
    std::string saved_;
};

}  // namespace os::testing
