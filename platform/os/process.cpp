#include "platform/os/process.h"

#include "platform/os/clock.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace os {

std::vector<std::string> split_command_line(std::string_view text) {
    std::vector<std::string> args;
    std::size_t i = 0, n = text.size();
    while (true) {
        while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            char c = text[i];
            if (!quoted && (c == ' ' || c == '\t')) break;
            if (c == '\\') {
                std::size_t slashes = 0;
                while (i < n && text[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && text[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && text[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

Process::~Process() {
    close_pipes();
    if (pid_ > 0 && !exit_code_) wait(-1);
}

void Process::close_pipes() {
    if (out_fd_ >= 0) ::close(out_fd_);
    if (err_fd_ >= 0) ::close(err_fd_);
    out_fd_ = err_fd_ = -1;
}

bool Process::start(const SpawnOptions& o, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (pid_ > 0 && !exit_code_) return fail("a program is already running");
    close_pipes();
    exit_code_.reset();
    pid_ = -1;

    int out[2] = {-1, -1}, err[2] = {-1, -1};
    if (o.capture_output) {
        if (::pipe2(out, O_CLOEXEC) != 0) return fail(std::strerror(errno));
        if (::pipe2(err, O_CLOEXEC) != 0) {
            int e = errno;
            ::close(out[0]);
            ::close(out[1]);
            return fail(std::strerror(e));
        }
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (o.capture_output) {
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    } else if (o.null_stdio) {
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!o.folder.empty()) posix_spawn_file_actions_addchdir_np(&fa, o.folder.c_str());

    // The child starts with default signal handling whatever the host set.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t def;
    sigemptyset(&def);
    sigaddset(&def, SIGPIPE);
    sigaddset(&def, SIGINT);
    sigaddset(&def, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &def);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(o.program.c_str()));
    for (const auto& a : o.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    int rc = o.search_path ? ::posix_spawnp(&pid, o.program.c_str(), &fa, &attr, argv.data(), environ)
                           : ::posix_spawn(&pid, o.program.c_str(), &fa, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (o.capture_output) {
        ::close(out[1]);
        ::close(err[1]);
    }
    if (rc != 0) {
        if (o.capture_output) {
            ::close(out[0]);
            ::close(err[0]);
        }
        return fail("can't start '" + o.program + "': " + std::strerror(rc));
    }
    pid_ = pid;
    if (o.capture_output) {
        out_fd_ = out[0];
        err_fd_ = err[0];
    }
    return true;
}

namespace {
int decode_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}
}  // namespace

std::optional<int> Process::wait(int timeout_ms) {
    if (exit_code_) return exit_code_;
    if (pid_ <= 0) return std::nullopt;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, timeout_ms < 0 ? 0 : WNOHANG);
        if (r == pid_) {
            exit_code_ = decode_status(status);
            return exit_code_;
        }
        if (r < 0 && errno != EINTR) {
            exit_code_ = -1;
            return exit_code_;
        }
        if (timeout_ms >= 0) {
            if (SteadyClock::now() >= deadline) return std::nullopt;
            ::usleep(2000);
        }
    }
}

void Process::kill() {
    if (pid_ > 0 && !exit_code_) {
        ::kill(pid_, SIGKILL);
        wait(-1);
    }
}

void Process::send_kill() const {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
}

std::optional<int> Process::read_lines(const std::function<void(const std::string&)>& on_line, int timeout_ms) {
    return read_lines(on_line, timeout_ms, {}, -1);
}

std::optional<int> Process::read_lines(const std::function<void(const std::string&)>& on_line, int timeout_ms,
                                       const std::function<bool()>& keep_going, int check_ms) {
    using clock = SteadyClock;
    auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string lines[2];
    int fds[2] = {out_fd_, err_fd_};
    auto emit = [&](std::string& line) {
        if (!line.empty()) {
            std::string done;
            done.swap(line);
            if (on_line) on_line(done);
        }
    };
    char buf[4096];
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd p[2];
        int np = 0;
        int which[2];
        for (int k = 0; k < 2; ++k)
            if (fds[k] >= 0) {
                p[np] = {fds[k], POLLIN, 0};
                which[np++] = k;
            }
        if (keep_going && !keep_going()) {
            kill();
            close_pipes();
            return std::nullopt;
        }
        int wait_ms = -1;
        if (timeout_ms >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
            if (left <= 0) {
                kill();
                close_pipes();
                return std::nullopt;
            }
            wait_ms = static_cast<int>(left);
        }
        if (keep_going && check_ms >= 0 && (wait_ms < 0 || wait_ms > check_ms)) wait_ms = check_ms;
        int r = ::poll(p, static_cast<nfds_t>(np), wait_ms);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int j = 0; j < np; ++j) {
            if (!(p[j].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            int k = which[j];
            ssize_t got = ::read(fds[k], buf, sizeof buf);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                emit(lines[k]);
                ::close(fds[k]);
                fds[k] = -1;
                continue;
            }
            for (ssize_t b = 0; b < got; ++b) {
                char c = buf[b];
                if (c == '\r' || c == '\n')
                    emit(lines[k]);
                else
                    lines[k] += c;
            }
        }
    }
    out_fd_ = err_fd_ = -1;
    // A child may close its pipes and go on: the end is still waited for
    // by the same rules.
    while (keep_going && check_ms >= 0) {
        if (auto code = wait(check_ms)) return code;
        const bool late = timeout_ms >= 0 && clock::now() >= deadline;
        if (late || !keep_going()) {
            kill();
            return std::nullopt;
        }
    }
    if (timeout_ms < 0) return wait(-1);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
    auto code = wait(static_cast<int>(left > 0 ? left : 0));
    if (!code) kill();
    return code;
}

}  // namespace os
