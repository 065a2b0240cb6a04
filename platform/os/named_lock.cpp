#include "platform/os/named_lock.h"

#include "platform/os/paths.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace os {

namespace detail {

// One per name and process: every NamedLock of the name shares it, so the
// file is opened once and the in-process ownership is counted in one place.
struct NamedLockState {
    std::mutex mutex;
    std::condition_variable released;
    std::thread::id owner;
    int depth = 0;
    int fd = -1;
    pid_t pid = 0;  // the process that opened fd; a forked child reopens

    ~NamedLockState() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace detail

namespace {

using detail::NamedLockState;

std::mutex g_registry_mutex;
std::map<std::string, std::weak_ptr<NamedLockState>>& registry() {
    static auto* map = new std::map<std::string, std::weak_ptr<NamedLockState>>;
    return *map;
}

std::shared_ptr<NamedLockState> acquire_state(const std::string& name) {
    std::lock_guard<std::mutex> guard(g_registry_mutex);
    auto& slot = registry()[name];
    auto state = slot.lock();
    // After fork the child shares the parent's open file description, and
    // flock would treat both as one holder; the child needs its own.
    if (state && state->pid == ::getpid()) return state;

    std::string folder;
    try {
        folder = runtime_dir();
    } catch (const std::exception& e) {
        throw std::runtime_error("NamedLock: can't open lock '" + name + "': " + e.what());
    }
    std::string path = folder + "/" + NamedLock::file_name_for(name);
    auto fresh = std::make_shared<NamedLockState>();
    do fresh->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    while (fresh->fd < 0 && errno == EINTR);
    if (fresh->fd < 0)
        throw std::runtime_error("NamedLock: can't open lock '" + name + "' (file '" + path +
                                 "'): " + std::strerror(errno));
    fresh->pid = ::getpid();
    slot = fresh;
    return fresh;
}

void throw_flock(const std::string& name, int err) {
    throw std::runtime_error("NamedLock: can't lock '" + name + "': " + std::strerror(err));
}

}  // namespace

std::string NamedLock::file_name_for(const std::string& name) {
    static const char* digits = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
            c == '-') {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += digits[c >> 4];
            escaped += digits[c & 15];
        }
    }
    // File names end at 255 bytes; a long name keeps its start readable and
    // stays distinct through a hash of the whole.
    if (escaped.size() > 200) {
        std::uint64_t h = 14695981039346656037ull;
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
        std::string tail = "~";
        for (int i = 15; i >= 0; --i) tail += digits[(h >> (4 * i)) & 15];
        escaped = escaped.substr(0, 180) + tail;
    }
    return "lock-" + escaped;
}

NamedLock::NamedLock(const std::string& name) : name_(name), state_(acquire_state(name)) {}

NamedLock::~NamedLock() = default;

void NamedLock::rebind_after_fork() {
    if (state_->pid != ::getpid()) state_ = acquire_state(name_);
}

void NamedLock::lock() {
    rebind_after_fork();
    auto& s = *state_;
    std::unique_lock<std::mutex> guard(s.mutex);
    auto me = std::this_thread::get_id();
    if (s.depth > 0 && s.owner == me) {
        ++s.depth;
        return;
    }
    s.released.wait(guard, [&] { return s.depth == 0; });
    s.owner = me;
    s.depth = 1;
    // The other threads of this process now wait on the count; only this
    // one waits on the file, and without holding the mutex.
    guard.unlock();
    while (::flock(s.fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        int err = errno;
        guard.lock();
        s.depth = 0;
        s.owner = {};
        s.released.notify_one();
        throw_flock(name_, err);
    }
}

bool NamedLock::try_lock() {
    rebind_after_fork();
    auto& s = *state_;
    std::lock_guard<std::mutex> guard(s.mutex);
    auto me = std::this_thread::get_id();
    if (s.depth > 0) {
        if (s.owner != me) return false;
        ++s.depth;
        return true;
    }
    int rc;
    do rc = ::flock(s.fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK) return false;
        throw_flock(name_, errno);
    }
    s.owner = me;
    s.depth = 1;
    return true;
}

void NamedLock::unlock() {
    auto& s = *state_;
    std::lock_guard<std::mutex> guard(s.mutex);
    if (s.depth == 0 || s.owner != std::this_thread::get_id()) return;
    if (--s.depth > 0) return;
    ::flock(s.fd, LOCK_UN);
    s.owner = {};
    s.released.notify_one();
}

}  // namespace os
