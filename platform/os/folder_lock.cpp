#include "platform/os/folder_lock.h"

#include "platform/os/file.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace os {
namespace {

std::string in_folder(const std::string& folder, const std::string& name) {
    std::string path = native_path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    return path + name;
}

}  // namespace

FolderHolderLock::~FolderHolderLock() { unlock(); }

FolderHolderLock::Result FolderHolderLock::try_lock(const std::string& folder, const std::string& file_name) {
    unlock();
    holder_ = 0;
    error_.clear();
    const std::string path = in_folder(folder, file_name);
    int fd;
    do fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = "cannot open the lock file '" + path + "': " + std::strerror(errno);
        return Result::failed;
    }
    int rc;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK) {
            char text[32] = {};
            const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
            long pid = 0;
            if (n > 0) {
                auto [end, ec] = std::from_chars(text, text + n, pid);
                if (ec != std::errc() || pid <= 0) pid = 0;
            }
            holder_ = pid;
            ::close(fd);
            error_ = "'" + native_path(folder) + "' is held by " +
                     (pid > 0 ? "process " + std::to_string(pid) : std::string("another program")) + " (lock file '" +
                     path + "')";
            return Result::taken;
        }
        ::close(fd);
        error_ = "cannot lock '" + path + "': " + std::strerror(err);
        return Result::failed;
    }
    // Ours: say who holds it. A failure here costs only the name.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, pid.data(), pid.size(), 0);
    fd_ = fd;
    return Result::held;
}

void FolderHolderLock::unlock() {
    if (fd_ < 0) return;
    ::close(fd_);  // the flock goes with the last descriptor of the open file
    fd_ = -1;
}

bool can_create_files_in(const std::string& folder, std::string& why) {
    static std::atomic<unsigned> counter{0};
    const std::string path = in_folder(folder, ".probe" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

}  // namespace os
