#include "platform/os/file.h"

#include "platform/os/fault_plan.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace os {
namespace {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochSeconds = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

// The share rule lives on one byte no data file ever reaches, so it never
// meets a byte-range lock that some tool might put on the data itself.
constexpr off_t kShareSentinel = std::numeric_limits<off_t>::max() - 1;

std::mutex g_policy_mutex;
RetryPolicy g_policy;

void pause_for(const RetryPolicy& policy) {
    if (policy.pause.count() > 0) std::this_thread::sleep_for(policy.pause);
}

int tries_of(const RetryPolicy& policy) { return std::max(policy.tries, 1); }

bool is_missing(int err) { return err == ENOENT || err == ENOTDIR; }

// Failures that another program or the moment may clear; everything else
// (no permission, read-only file system, a name too long) will not change
// in two seconds, so it fails at once.
bool is_transient(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == EINTR || err == EBUSY || err == ETXTBSY || err == EMFILE ||
           err == ENFILE || err == ENOMEM;
}

// Takes the share rule's lock. 0 on success, else the errno.
int take_share_lock(int fd, bool writer) {
    struct flock fl {};
    fl.l_type = writer ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kShareSentinel;
    fl.l_len = 1;
    fl.l_pid = 0;
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        return errno;
    }
    return 0;
}

// Moves `count` bytes with `step` (called with the bytes done so far; a
// read, write or their positioned forms), going on after short transfers
// and interrupts. The bytes moved, fewer only where `step` gave 0 (the end
// of a file, or a write that can go no further); -1 with the errno in
// `error` on a failure.
template <class Step>
std::int64_t transfer_all(std::size_t count, int& error, Step step) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = step(done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

// A write that moved fewer bytes than asked without a reason met a full disk.
bool whole(std::size_t count, std::int64_t moved, int& error) {
    if (moved == static_cast<std::int64_t>(count)) return true;
    if (moved >= 0) error = ENOSPC;
    return false;
}

FILETIME filetime_of(const struct timespec& ts) { return filetime_from_unix(ts.tv_sec, ts.tv_nsec); }

std::int64_t ns_of(const struct timespec& ts) { return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec; }

FileInfo info_of(const struct stat& st) {
    FileInfo info;
    info.exists = true;
    info.is_regular = S_ISREG(st.st_mode);
    info.is_directory = S_ISDIR(st.st_mode);
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.size = static_cast<std::int64_t>(st.st_size);
    info.permissions = static_cast<unsigned>(st.st_mode & 07777);
    info.written_ns = ns_of(st.st_mtim);
    info.changed_ns = ns_of(st.st_ctim);
    info.written = filetime_of(st.st_mtim);
    info.accessed = filetime_of(st.st_atim);
    info.changed = filetime_of(st.st_ctim);
    return info;
}

}  // namespace

std::uint64_t filetime_ticks(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME filetime_from_unix(std::int64_t seconds, long nanoseconds) {
    FILETIME t;
    if (seconds < -kUnixEpochSeconds) return t;
    std::uint64_t ticks =
        static_cast<std::uint64_t>(seconds + kUnixEpochSeconds) * static_cast<std::uint64_t>(kTicksPerSecond) +
        static_cast<std::uint64_t>(std::max(nanoseconds, 0L) / 100);
    t.dwLowDateTime = static_cast<std::uint32_t>(ticks & 0xFFFFFFFFu);
    t.dwHighDateTime = static_cast<std::uint32_t>(ticks >> 32);
    return t;
}

std::uint32_t dos_date_time(const FILETIME& t) {
    constexpr std::uint32_t kFirst = (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
    std::int64_t unix_seconds = static_cast<std::int64_t>(filetime_ticks(t) / kTicksPerSecond) - kUnixEpochSeconds;
    std::time_t tt = static_cast<std::time_t>(unix_seconds);
    struct tm tm {};
    if (::localtime_r(&tt, &tm) == nullptr) return kFirst;
    int year = tm.tm_year + 1900;
    if (year < 1980) return kFirst;
    if (year > 2107) return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<std::uint32_t>(year - 1980) << 25) | (static_cast<std::uint32_t>(tm.tm_mon + 1) << 21) |
           (static_cast<std::uint32_t>(tm.tm_mday) << 16) | (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
           (static_cast<std::uint32_t>(tm.tm_min) << 5) | static_cast<std::uint32_t>(std::min(tm.tm_sec, 59) / 2);
}

RetryPolicy retry_policy() {
    std::lock_guard<std::mutex> lock(g_policy_mutex);
    return g_policy;
}

void set_retry_policy(const RetryPolicy& policy) {
    std::lock_guard<std::mutex> lock(g_policy_mutex);
    g_policy = policy;
}

ScopedRetryPolicy::ScopedRetryPolicy(const RetryPolicy& policy) : saved_(retry_policy()) { set_retry_policy(policy); }

ScopedRetryPolicy::~ScopedRetryPolicy() { set_retry_policy(saved_); }

std::string native_path(std::string_view path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

File::~File() { close(); }

File::File(File&& other) noexcept
    : fd_(other.fd_), locked_(other.locked_), error_(other.error_), path_(std::move(other.path_)) {
    other.fd_ = -1;
    other.locked_ = false;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        locked_ = other.locked_;
        error_ = other.error_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
        other.locked_ = false;
    }
    return *this;
}

File::Status File::open(std::string_view path, Mode mode, bool whole_file_lock, const RetryPolicy& policy) {
    OpenOptions options;
    options.whole_file_lock = whole_file_lock;
    options.policy = policy;
    return open(path, mode, options);
}

File::Status File::open(std::string_view path, Mode mode, const OpenOptions& options) {
    close();
    path_ = native_path(path);
    error_ = 0;
    const RetryPolicy& policy = options.policy;

    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool writer = true;
    switch (mode) {
        case Mode::read:
            flags |= O_RDONLY;
            writer = false;
            break;
        case Mode::write_truncate:
        case Mode::write_append: flags |= O_WRONLY | O_CREAT; break;
        case Mode::read_write_truncate:
        case Mode::read_write: flags |= O_RDWR | O_CREAT; break;
        case Mode::read_write_existing: flags |= O_RDWR; break;
        case Mode::append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
        case Mode::create_new: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
    }
    const mode_t permissions = static_cast<mode_t>(options.permissions & 07777);
    // A writer never follows a symbolic link planted under the name: the
    // data would land wherever it points, outside the station's folders.
    if (writer) flags |= O_NOFOLLOW;

    const int tries = tries_of(policy);
    // A program that rewrites a file puts a new file in its place (a
    // temporary file renamed over the name) while it holds the old one. An
    // open that waited for that program then holds locks on a file nobody
    // will see again, and whatever it wrote would be lost; so once every lock
    // is held, the name must still lead to the open file, or the open starts
    // over on the file that now carries the name.
    for (int round = 0;; ++round) {
        for (int attempt = 0; attempt < tries; ++attempt) {
            if (attempt > 0) pause_for(policy);
            // O_NONBLOCK keeps a FIFO from blocking the open; it is cleared
            // once the file is known to be a regular one.
            int fd = ::open(path_.c_str(), flags, permissions);
            if (fd < 0) {
                error_ = errno;
                if (is_missing(error_)) return Status::not_found;
                if (is_transient(error_)) continue;
                return Status::cannot_open;
            }
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
                error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
                ::close(fd);
                return Status::cannot_open;
            }
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            if (options.share_rule) {
                int err = take_share_lock(fd, writer);
                if (err == EAGAIN || err == EACCES) {
                    error_ = err;
                    ::close(fd);
                    continue;
                }
            }
            // A file system without byte-range locks (some network and FUSE
            // mounts) still opens; the share rule simply cannot be kept there.
            fd_ = fd;
            break;
        }
        if (fd_ < 0) return Status::cannot_open;

        if (options.whole_file_lock && !lock(policy)) {
            int err = error_;
            close();
            error_ = err;
            return Status::cannot_lock;
        }
        // Without the share rule nothing was waited for, so nothing can have
        // been replaced meanwhile.
        if (!options.share_rule || names_open_file()) break;
        close();
        error_ = ESTALE;
        if (round + 1 >= tries) return Status::cannot_open;
    }
    if (mode == Mode::write_truncate || mode == Mode::read_write_truncate) {
        if (!truncate(0)) {
            int err = error_;
            close();
            error_ = err;
            return Status::cannot_open;
        }
    } else if (mode == Mode::write_append) {
        if (seek(0, SEEK_END) < 0) {
            int err = error_;
            close();
            error_ = err;
            return Status::cannot_open;
        }
    }
    return Status::ok;
}

bool File::names_open_file() const {
    struct stat open_st {
    }, path_st{};
    if (fd_ < 0 || ::fstat(fd_, &open_st) != 0) return false;
    // A name that can't be looked at (no search permission on a folder, say)
    // can't have been replaced by a station program either.
    if (::stat(path_.c_str(), &path_st) != 0) return errno != ENOENT && errno != ENOTDIR;
    return open_st.st_dev == path_st.st_dev && open_st.st_ino == path_st.st_ino;
}

bool File::lock(const RetryPolicy& policy) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    if (locked_) return true;
    const int tries = tries_of(policy);
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (attempt > 0) pause_for(policy);
        int rc;
        do {
            rc = ::flock(fd_, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0) {
            locked_ = true;
            return true;
        }
        error_ = errno;
        if (error_ != EWOULDBLOCK) return false;
    }
    return false;
}

void File::unlock() {
    if (fd_ >= 0 && locked_) ::flock(fd_, LOCK_UN);
    locked_ = false;
}

bool File::close() {
    if (fd_ < 0) return true;
    unlock();
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::check_open() {
    if (fd_ >= 0) return true;
    error_ = EBADF;
    return false;
}

std::int64_t File::read(void* buffer, std::size_t count) {
    if (!check_open()) return -1;
    char* p = static_cast<char*>(buffer);
    return transfer_all(count, error_, [&](std::size_t done) { return ::read(fd_, p + done, count - done); });
}

bool File::write(const void* buffer, std::size_t count) {
    if (!check_open()) return false;
    if ((error_ = planned_fault(DiskOp::write, path_)) != 0) return false;
    const char* p = static_cast<const char*>(buffer);
    return whole(count,
                 transfer_all(count, error_, [&](std::size_t done) { return ::write(fd_, p + done, count - done); }),
                 error_);
}

bool File::read_all(std::string& out) {
    if (!check_open()) return false;
    char buffer[65536];
    for (;;) {
        std::int64_t n = read(buffer, sizeof buffer);
        if (n < 0) return false;
        out.append(buffer, static_cast<std::size_t>(n));
        if (n < static_cast<std::int64_t>(sizeof buffer)) return true;
    }
}

std::int64_t File::read_at(std::int64_t offset, void* buffer, std::size_t count) {
    if (!check_open()) return -1;
    char* p = static_cast<char*>(buffer);
    return transfer_all(count, error_, [&](std::size_t done) {
        return ::pread(fd_, p + done, count - done, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    });
}

bool File::write_at(std::int64_t offset, const void* buffer, std::size_t count) {
    if (!check_open()) return false;
    if ((error_ = planned_fault(DiskOp::write, path_)) != 0) return false;
    const char* p = static_cast<const char*>(buffer);
    return whole(count,
                 transfer_all(count, error_,
                              [&](std::size_t done) {
                                  return ::pwrite(fd_, p + done, count - done,
                                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
                              }),
                 error_);
}

bool File::sync() {
    if (!check_open()) return false;
    if ((error_ = planned_fault(DiskOp::sync, path_)) != 0) return false;
    int rc;
    do {
        rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::reserve(std::int64_t size) {
    if (!check_open()) return false;
    if ((error_ = planned_fault(DiskOp::write, path_)) != 0) return false;
    int err;
    do {
        err = ::posix_fallocate(fd_, 0, static_cast<off_t>(size));
    } while (err == EINTR);
    if (err != 0) {
        error_ = err;
        return false;
    }
    return true;
}

std::int64_t File::seek(std::int64_t offset, int whence) {
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (r < 0) {
        error_ = errno;
        return -1;
    }
    return r;
}

std::int64_t File::position() { return seek(0, SEEK_CUR); }

std::int64_t File::size() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = fd_ < 0 ? EBADF : errno;
        return -1;
    }
    return st.st_size;
}

bool File::truncate(std::int64_t size) {
    int rc;
    do {
        rc = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::times(FILETIME* created, FILETIME* accessed, FILETIME* written) {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = fd_ < 0 ? EBADF : errno;
        return false;
    }
    if (created) *created = filetime_of(st.st_ctim);
    if (accessed) *accessed = filetime_of(st.st_atim);
    if (written) *written = filetime_of(st.st_mtim);
    return true;
}

FileInfo File::info() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = fd_ < 0 ? EBADF : errno;
        return FileInfo{};
    }
    return info_of(st);
}

FileInfo file_info(std::string_view path, int* error) {
    if (error) *error = 0;
    struct stat st {};
    if (::stat(native_path(path).c_str(), &st) != 0) {
        if (error && !is_missing(errno)) *error = errno;
        return FileInfo{};
    }
    return info_of(st);
}

std::string folder_of(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

bool sync_folder_of(std::string_view path) {
    if (planned_fault(DiskOp::sync, folder_of(native_path(path))) != 0) return false;
    int dir = ::open(folder_of(native_path(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    int rc;
    do {
        rc = ::fsync(dir);
    } while (rc != 0 && errno == EINTR);
    ::close(dir);
    return rc == 0;
}

ReplacementFile::~ReplacementFile() { abandon(); }

bool ReplacementFile::fail(int err) {
    error_ = err;
    abandon();
    return false;
}

bool ReplacementFile::create(std::string_view path, bool follow_link) {
    abandon();
    path_ = native_path(path);
    error_ = 0;
    if (follow_link) {
        struct stat st {};
        if (::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            if (char* real = ::realpath(path_.c_str(), nullptr)) {
                path_ = real;
                ::free(real);
            }
        }
    }
    // A name of our own beside the target: the rename stays within one file
    // system and never meets another writer's temporary file.
    static std::atomic<unsigned> counter{0};
    OpenOptions options;
    options.share_rule = false;
    options.policy = RetryPolicy{1, std::chrono::milliseconds(0)};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path_ + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        if (file_.open(name, File::Mode::create_new, options) == File::Status::ok) {
            temp_ = std::move(name);
            break;
        }
        if (file_.last_error() != EEXIST) {
            error_ = file_.last_error();
            return false;
        }
    }
    if (!file_.is_open()) {
        error_ = EEXIST;
        return false;
    }
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) (void)::fchmod(file_.fd(), st.st_mode & 07777);
    return true;
}

bool ReplacementFile::write(const void* buffer, std::size_t count) {
    if (!file_.is_open()) return fail(EBADF);
    if (!file_.write(buffer, count)) return fail(file_.last_error());
    return true;
}

bool ReplacementFile::commit() {
    if (!file_.is_open()) return fail(EBADF);
    if (!file_.sync()) return fail(file_.last_error());
    FileInfo info = file_.info();
    if (!info.exists) return fail(file_.last_error());
    written_ = info.written;
    size_ = info.size;
    if (!file_.close()) return fail(file_.last_error());
    if (int err = planned_fault(DiskOp::rename, path_)) return fail(err);
    if (::rename(temp_.c_str(), path_.c_str()) != 0) return fail(errno);
    temp_.clear();
    // Make the rename itself durable; a folder that cannot be synced is no
    // reason to report a failure once the file is in place.
    (void)sync_folder_of(path_);
    return true;
}

void ReplacementFile::abandon() {
    file_.close();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

int replace_file(std::string_view path, std::string_view bytes) {
    ReplacementFile file;
    if (!file.create(path) || !file.write(bytes.data(), bytes.size()) || !file.commit()) return file.last_error();
    return 0;
}

int read_file(std::string_view path, std::string& bytes, FileInfo* info, std::uint64_t max_bytes) {
    bytes.clear();
    File file;
    OpenOptions options;
    options.share_rule = false;
    if (file.open(path, File::Mode::read, options) != File::Status::ok) return file.last_error();
    FileInfo own = file.info();
    if (!own.exists) return file.last_error();
    // A size limit is checked before a byte is read: a huge sparse file
    // would otherwise be read for minutes before anyone could refuse it.
    if (own.size > 0 && static_cast<std::uint64_t>(own.size) > max_bytes) return EFBIG;
    if (own.size > 0) bytes.reserve(static_cast<std::size_t>(own.size));
    if (info) *info = own;
    if (!file.read_all(bytes)) return file.last_error();
    return 0;
}

int append_file(std::string_view path, std::string_view bytes, const AppendOptions& options) {
    File file;
    OpenOptions open_options;
    open_options.share_rule = false;
    open_options.permissions = options.permissions;
    if (file.open(path, File::Mode::append, open_options) != File::Status::ok) return file.last_error();
    std::int64_t before = options.cut_back_partial ? file.size() : -1;
    if (file.write(bytes.data(), bytes.size())) return 0;
    int err = file.last_error();
    if (before >= 0) (void)file.truncate(before);
    return err;
}

FolderLock::~FolderLock() { unlock(); }

bool FolderLock::lock(std::string_view folder, const RetryPolicy& policy) {
    unlock();
    error_ = 0;
    int fd = ::open(native_path(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    const int tries = tries_of(policy);
    for (int attempt = 1;; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return true;
        }
        int err = errno;
        if ((err != EWOULDBLOCK && err != EINTR) || attempt >= tries) {
            ::close(fd);
            error_ = err;
            return false;
        }
        pause_for(policy);
    }
}

void FolderLock::unlock() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace os
