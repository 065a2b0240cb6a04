#pragma once
// A virtual X server for the tests of the real screen: Xvfb started by the
// test itself on a display number it picks (-displayfd), xdotool and
// setxkbmap run against it, and grabs of its screen read from xwd's dump.
//
// Where no X server can be started the tests must not pass silently: under
// CI (CI=true, which installs Xvfb) they fail with the cause, elsewhere they
// skip with it (VIRTUAL_SCREEN_OR_SKIP).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/os/process.h"
#include "platform/os/testing.h"

namespace ui::testing {

using ::os::testing::under_ci;

class VirtualScreen {
public:
    VirtualScreen() = default;
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;
    ~VirtualScreen() { stop(); }

    // Starts the server and sets DISPLAY to it; false with error() on failure.
    bool start(int width = 1280, int height = 1024) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return fail("cannot make a pipe");
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        pid_ = ::fork();
        if (pid_ < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return fail("cannot fork");
        }
        if (pid_ == 0) {
            // A test that dies takes its server with it.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(fds[1], 3);  // dup2 clears close-on-exec on the copy
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // The server writes its display number once it accepts clients.
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char c;
            const ssize_t n = ::read(fds[0], &c, 1);
            if (n <= 0 || c == '\n') break;
            number += c;
        }
        ::close(fds[0]);
        if (number.empty()) {
            int status = 0;
            const bool ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
            if (ended) pid_ = -1;
            stop();
            return fail(ended && WIFEXITED(status) && WEXITSTATUS(status) == 127
                            ? "Xvfb is not installed (scripts/setup.sh installs it)"
                            : "Xvfb did not start within 60 s");
        }
        display_ = ":" + number;
        ::setenv("DISPLAY", display_.c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        return true;
    }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            for (int i = 0; i < 200; ++i) {
                if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                    pid_ = -1;
                    return;
                }
                ::usleep(10000);
            }
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }

private:
    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

// Runs a program of PATH to its end (at most timeout_ms, which only ends a
// tool that hangs); its exit code, or -1 when it could not start or ran out
// of time. Output lines go to *out.
inline int run_tool(const std::vector<std::string>& argv, std::string* out = nullptr, int timeout_ms = 60000) {
    os::Process p;
    os::SpawnOptions o;
    o.program = argv.at(0);
    o.args.assign(argv.begin() + 1, argv.end());
    o.search_path = true;
    o.capture_output = true;
    if (!p.start(o)) return -1;
    std::string text;
    const auto rc = p.read_lines([&](const std::string& line) { text += line + "\n"; }, timeout_ms);
    if (out) *out = text;
    return rc ? *rc : -1;
}

// A grab of the X screen (or part of it), 0x00RRGGBB per pixel.
struct ScreenGrab {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
    // As the window layer's colours (0x00BBGGRR).
    std::uint32_t color_at(int x, int y) const {
        const std::uint32_t v = at(x, y);
        return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
};

// Grabs the root window through xwd and reads its dump (a 100-byte header
// of big-endian words, the window name, the colour map, then the rows).
inline bool grab_screen(ScreenGrab& g, std::string* error = nullptr) {
    const std::string path = "/tmp/station-grab-" + std::to_string(::getpid()) + ".xwd";
    if (run_tool({"xwd", "-root", "-silent", "-out", path}) != 0) {
        if (error) *error = "xwd failed (x11-apps installs it)";
        return false;
    }
    std::string bytes;
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            char buf[65536];
            ssize_t n;
            while ((n = ::read(fd, buf, sizeof buf)) > 0) bytes.append(buf, static_cast<std::size_t>(n));
            ::close(fd);
        }
        ::unlink(path.c_str());
    }
    auto word = [&](std::size_t i) -> std::uint32_t {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + i * 4;
        return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
    };
    if (bytes.size() < 100) {
        if (error) *error = "xwd wrote no dump";
        return false;
    }
    const std::uint32_t header = word(0), width = word(4), height = word(5), byte_order = word(7), bpp = word(11),
                        line = word(12), rmask = word(14), gmask = word(15), bmask = word(16), ncolors = word(19);
    const std::size_t start = header + std::size_t(ncolors) * 12;
    if ((bpp != 32 && bpp != 24) || width == 0 || height == 0 || width > 16384 || height > 16384 ||
        start + std::size_t(line) * height > bytes.size() || line < width * (bpp / 8)) {
        if (error)
            *error = "xwd's dump is not a 32-bit true-colour picture (" + std::to_string(width) + "x" +
                     std::to_string(height) + ", " + std::to_string(bpp) + " bits, " + std::to_string(line) +
                     " bytes a row, " + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    auto shift = [](std::uint32_t m) {
        int s = 0;
        while (m && !(m & 1)) {
            m >>= 1;
            ++s;
        }
        return s;
    };
    const int rs = shift(rmask), gs = shift(gmask), bs = shift(bmask);
    g.width = static_cast<int>(width);
    g.height = static_cast<int>(height);
    g.rgb.resize(std::size_t(width) * height);
    // Several visuals on the screen make xwd pack three bytes a pixel.
    const std::uint32_t size = bpp / 8;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto* p =
                reinterpret_cast<const unsigned char*>(bytes.data()) + start + std::size_t(y) * line + x * size;
            std::uint32_t v = 0;
            for (std::uint32_t k = 0; k < size; ++k)
                v |= std::uint32_t(p[k]) << (byte_order == 0 ? 8 * k : 8 * (size - 1 - k));
            g.rgb[std::size_t(y) * width + x] =
                (((v & rmask) >> rs) << 16) | (((v & gmask) >> gs) << 8) | ((v & bmask) >> bs);
        }
    return true;
}

}  // namespace ui::testing

// In a test body or SetUp: fails under CI, skips elsewhere, when the
// virtual screen could not be started.
#define VIRTUAL_SCREEN_OR_SKIP(screen_ok, why)                                         \
    do {                                                                               \
        if (!(screen_ok)) {                                                            \
            if (::ui::testing::under_ci()) FAIL() << "no virtual X server: " << (why); \
            GTEST_SKIP() << "no virtual X server: " << (why);                          \
        }                                                                              \
    } while (0)
