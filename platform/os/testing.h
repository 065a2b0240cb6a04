#pragma once
// For tests only. TempDir: a fresh folder removed with everything in it
// (links are removed, never followed). Child: a forked child process that the test steps through with
// two pipes. The child reports "ready" once it holds what the test needs and
// then waits for "release"; every wait on either side is bounded, and a
// child still running when its Child object goes away is killed.
//
//   os::testing::Child child([&](os::testing::ChildSide& side) {
//       ... open and lock a file ...
//       side.ready();
//       side.wait_release();
//       return 0;  // the exit code
//   });
//   ASSERT_TRUE(child.wait_ready());
//   ... check that the file is held ...
//   child.release();
//   EXPECT_EQ(child.join(), 0);

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/os/process.h"

namespace os::testing {

// Under the project's CI (CI=true), where a missing tool is the set-up's
// fault and fails the test instead of skipping it.
inline bool under_ci() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// Skips a test whose tool, peer or data is missing, naming the cause; under
// CI, whose set-up installs every one, the same cause fails it, so a run there
// never passes by skipping. `why` may chain: "a " << name << " b".
#define STATION_SKIP_UNLESS_CI(why)                                        \
    do {                                                                   \
        if (::os::testing::under_ci()) {                                   \
            FAIL() << "missing (CI=true fails what would skip): " << why; \
        } else {                                                           \
            GTEST_SKIP() << why;                                           \
        }                                                                  \
    } while (0)

// Whether a tool a test needs runs: `program args` (looked up in PATH) ends
// with status 0. When it does not, *why says how: it could not be started,
// it failed, or it did not end within the bound, which only ends a tool
// that hangs (a loaded machine may take many seconds to start one). A tool
// still running then is killed.
inline bool tool_runs(const std::string& program, const std::vector<std::string>& args, std::string* why,
                      int timeout_ms = 120000) {
    ::os::Process p;
    ::os::SpawnOptions o;
    o.program = program;
    o.args = args;
    o.null_stdio = true;
    o.search_path = true;
    std::string error;
    if (!p.start(o, &error)) {
        if (why) *why = program + " cannot be started: " + error;
        return false;
    }
    const std::optional<int> code = p.wait(timeout_ms);
    if (!code) {
        p.kill();
        if (why) *why = program + " did not end within " + std::to_string(timeout_ms / 1000) + " s";
        return false;
    }
    if (*code != 0) {
        if (why) *why = program + " ended with status " + std::to_string(*code);
        return false;
    }
    return true;
}

// Kills the started program at the end of the scope unless it has ended: a
// test that fails half-way (an ASSERT returning early) then ends at once,
// instead of waiting in Process's destructor for a program that waits for
// the test. Declared after the Process it guards.
class KillAtEnd {
public:
    explicit KillAtEnd(::os::Process& p) : p_(p) {}
    ~KillAtEnd() {
        if (p_.running()) p_.kill();
    }
    KillAtEnd(const KillAtEnd&) = delete;
    KillAtEnd& operator=(const KillAtEnd&) = delete;

private:
    ::os::Process& p_;
};

// Asks `done` every poll_ms until it holds or timeout_ms have passed (on the
// steady clock, whatever clock the test set for the code), and says whether
// it held. The bound only ends a hung test: make it generous, and never let a
// test's result hang on how soon the condition came.
inline bool wait_until(const std::function<bool()>& done, int timeout_ms = 60000, int poll_ms = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
    }
}

// A whole file as bytes; empty when it cannot be read.
inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A process of the machine as /proc tells it: its parent, its state ('Z':
// dead and not reaped) and its command line, arguments joined by spaces.
struct ProcessInfo {
    int pid = 0, parent = 0;
    char state = '?';
    std::string command;
};

inline std::vector<ProcessInfo> processes() {
    std::vector<ProcessInfo> list;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = read_bytes(e.path().string() + "/stat");
        // The command's name in the parentheses may hold anything.
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 4 > stat.size()) continue;
        ProcessInfo p;
        p.pid = std::atoi(name.c_str());
        p.state = stat[close + 2];
        p.parent = std::atoi(stat.c_str() + close + 4);
        p.command = read_bytes(e.path().string() + "/cmdline");
        for (char& c : p.command)
            if (c == '\0') c = ' ';
        list.push_back(std::move(p));
    }
    return list;
}

// The children of `parent` that have died and wait to be reaped.
inline std::vector<int> dead_children_of(int parent) {
    std::vector<int> dead;
    for (const auto& p : processes())
        if (p.parent == parent && p.state == 'Z') dead.push_back(p.pid);
    return dead;
}

// One line (without its '\n') read a byte at a time from fd, waiting at
// most timeout_ms for each byte; what came so far when the wait ends.
inline std::string read_line(int fd, int timeout_ms) {
    std::string line;
    char c;
    while (true) {
        pollfd pf{fd, POLLIN, 0};
        if (::poll(&pf, 1, timeout_ms) <= 0) return line;
        if (::read(fd, &c, 1) != 1 || c == '\n') return line;
        line += c;
    }
}

// Replaces a file's content with the bytes.
inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "station-test-XXXXXX").string();
        if (!::mkdtemp(templ.data())) throw std::runtime_error("TempDir: mkdtemp failed");
        path_ = templ;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline bool wait_byte(int fd, int timeout_ms, char* out = nullptr) {
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeout_ms);
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) return false;
    char c = 0;
    if (::read(fd, &c, 1) != 1) return false;
    if (out) *out = c;
    return true;
}

class ChildSide {
public:
    ChildSide(int up, int down) : up_(up), down_(down) {}
    void ready(char code = 'r') { [[maybe_unused]] auto n = ::write(up_, &code, 1); }
    bool wait_release(int timeout_ms = 60000) { return wait_byte(down_, timeout_ms); }

private:
    int up_;
    int down_;
};

class Child {
public:
    explicit Child(const std::function<int(ChildSide&)>& body) {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0) throw std::runtime_error("Child: pipe failed");
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("Child: fork failed");
        if (pid_ == 0) {
            ::close(up[0]);
            ::close(down[1]);
            ChildSide side(up[1], down[0]);
            int code = 99;
            try {
                code = body(side);
            } catch (...) {
                code = 98;
            }
            ::_exit(code);
        }
        ::close(up[1]);
        ::close(down[0]);
        up_ = up[0];
        down_ = down[1];
    }

    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(up_);
        ::close(down_);
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    // The code the child passed to ready(), or 0 when it sent nothing in time.
    char wait_ready(int timeout_ms = 60000) {
        char c = 0;
        return wait_byte(up_, timeout_ms, &c) ? c : 0;
    }

    void release() {
        char c = 'g';
        [[maybe_unused]] auto n = ::write(down_, &c, 1);
    }

    void kill_now() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    // The child's exit code, or -1 when it had to be killed after the wait.
    int join(int timeout_ms = 60000) {
        if (pid_ <= 0) return -1;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (true) {
            int status = 0;
            pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                kill_now();
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    pid_t pid_ = -1;
    int up_ = -1;
    int down_ = -1;
};

}  // namespace os::testing
