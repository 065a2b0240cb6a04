#include "platform/rtl/stream.h"

#include "platform/os/error_log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace rtl {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::int64_t checked_target(std::int64_t base, std::int64_t offset) {
    if ((offset < 0 && base < -offset) ||
        (offset > 0 && base > INT64_MAX - offset))
        throw std::out_of_range("Stream::Seek: position out of range");
    return base + offset;
}

std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

// ---- Stream ----------------------------------------------------------------

std::int64_t Stream::Remaining() {
    std::int64_t size = Size();
    if (size < 0) return -1;
    return std::max<std::int64_t>(0, size - Position());
}

void Stream::ReadBuffer(void* buffer, std::size_t count) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        std::size_t n = Read(p + done, count - done);
        if (n == 0) throw std::runtime_error("Stream::ReadBuffer: unexpected end of stream");
        done += n;
    }
}

void Stream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count == 0) return;
    if (Write(buffer, count) != count)
        throw std::runtime_error("Stream::WriteBuffer: write failed");
}

// ---- MemoryStream ----------------------------------------------------------

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
    if (pos_ >= data_.size()) return 0;
    std::size_t n = std::min(count, data_.size() - pos_);
    if (n) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return 0;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
    return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    std::int64_t base = origin == SeekOrigin::soBeginning ? 0
                        : origin == SeekOrigin::soCurrent ? static_cast<std::int64_t>(pos_)
                                                          : static_cast<std::int64_t>(data_.size());
    pos_ = static_cast<std::size_t>(checked_target(base, offset));
    return static_cast<std::int64_t>(pos_);
}

void MemoryStream::SetSize(std::size_t size) {
    data_.resize(size);
    if (pos_ > size) pos_ = size;
}

void MemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

// ---- FileStream ------------------------------------------------------------

FileStream::FileStream(const std::string& path, Mode mode)
    : path_(path), read_only_(mode == Mode::fmOpenRead) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::fmOpenRead: flags |= O_RDONLY; break;
    case Mode::fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::fmOpenReadWrite: flags |= O_RDWR; break;
    case Mode::fmCreateAtomic: break;
    }
    if (mode != Mode::fmCreateAtomic) {
        // Non-blocking, so that a FIFO or a device planted under the name
        // is refused instead of holding the open for ever.
        do fd_ = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
        while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) fail("can't open file", errno);
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            ::close(fd_);
            fd_ = -1;
            throw std::runtime_error("FileStream: can't open file '" + path_ + "': " +
                                     (err == EISDIR ? std::string(std::strerror(err)) : "not a regular file"));
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        return;
    }
    // The temporary file sits beside the target so that rename never crosses
    // a file system. A name taken by a crashed earlier run is simply skipped.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_path_ = path + ".tmp" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter.fetch_add(1));
        fd_ = ::open(temp_path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd_ < 0 && errno != EEXIST && errno != EINTR) {
            int err = errno;
            temp_path_.clear();
            fail("can't create a temporary file for", err);
        }
    }
    if (fd_ < 0) {
        temp_path_.clear();
        fail("can't create a temporary file for", EEXIST);
    }
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) (void)::fchmod(fd_, st.st_mode & 07777);
}

FileStream::~FileStream() {
    if (fd_ >= 0) {
        try {
            if (temp_path_.empty()) flush_write();
        } catch (const std::exception& e) {
            // A destructor cannot throw; callers that care call Flush() first.
            os::log_error(e.what());
        } catch (...) {
        }
        ::close(fd_);
    }
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void FileStream::fail(const std::string& what, int err) const {
    throw std::runtime_error("FileStream: " + what + " '" + path_ + "': " + std::strerror(err));
}

void FileStream::drop_read_buffer() {
    if (!buf_dirty_) {
        buf_.clear();
        buf_read_ = 0;
    }
}

void FileStream::flush_write() {
    if (!buf_dirty_) return;
    std::size_t done = 0;
    while (done < buf_.size()) {
        ssize_t n = ::pwrite(fd_, buf_.data() + done, buf_.size() - done,
                             static_cast<off_t>(buf_start_ + static_cast<std::int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            // The pending bytes are lost either way; keep the stream usable.
            buf_.clear();
            buf_dirty_ = false;
            fail("can't write file", err);
        }
        done += static_cast<std::size_t>(n);
    }
    buf_.clear();
    buf_dirty_ = false;
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
    if (fd_ < 0) fail("read from a closed file", EBADF);
    flush_write();
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        std::int64_t end = buf_start_ + static_cast<std::int64_t>(buf_.size());
        if (!buf_.empty() && pos_ >= buf_start_ && pos_ < end) {
            std::size_t off = static_cast<std::size_t>(pos_ - buf_start_);
            std::size_t n = std::min(count - done, buf_.size() - off);
            std::memcpy(out + done, buf_.data() + off, n);
            done += n;
            pos_ += static_cast<std::int64_t>(n);
            continue;
        }
        std::size_t want = count - done;
        if (want >= kBufferSize) {
            ssize_t n = ::pread(fd_, out + done, want, static_cast<off_t>(pos_));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("can't read file", errno);
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
            pos_ += n;
            continue;
        }
        buf_.resize(kBufferSize);
        ssize_t n;
        do n = ::pread(fd_, buf_.data(), kBufferSize, static_cast<off_t>(pos_));
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            int err = errno;
            buf_.clear();
            fail("can't read file", err);
        }
        buf_.resize(static_cast<std::size_t>(n));
        buf_start_ = pos_;
        if (n == 0) break;
    }
    return done;
}

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
    if (fd_ < 0) fail("write to a closed file", EBADF);
    if (read_only_) fail("can't write file opened for reading", EBADF);
    if (count == 0) return 0;
    drop_read_buffer();
    if (buf_dirty_ && pos_ != buf_start_ + static_cast<std::int64_t>(buf_.size())) flush_write();
    if (!buf_dirty_) {
        buf_.clear();
        buf_start_ = pos_;
        buf_dirty_ = true;
    }
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    buf_.insert(buf_.end(), in, in + count);
    pos_ += static_cast<std::int64_t>(count);
    if (buf_.size() >= kBufferSize) flush_write();
    return count;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    if (fd_ < 0) fail("seek in a closed file", EBADF);
    std::int64_t base = origin == SeekOrigin::soBeginning ? 0
                        : origin == SeekOrigin::soCurrent ? pos_
                                                          : Size();
    pos_ = checked_target(base, offset);
    return pos_;
}

std::int64_t FileStream::Size() {
    if (fd_ < 0) fail("size of a closed file", EBADF);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail("can't get the size of file", errno);
    std::int64_t size = st.st_size;
    if (buf_dirty_) size = std::max(size, buf_start_ + static_cast<std::int64_t>(buf_.size()));
    return size;
}

void FileStream::Flush() {
    if (fd_ >= 0) flush_write();
}

void FileStream::Commit() {
    if (temp_path_.empty()) throw std::logic_error("FileStream::Commit: not an atomic stream");
    if (fd_ < 0) fail("commit a closed file", EBADF);
    flush_write();
    if (::fsync(fd_) != 0) fail("can't sync the temporary file for", errno);
    if (::close(fd_) != 0) {
        fd_ = -1;
        fail("can't close the temporary file for", errno);
    }
    fd_ = -1;
    if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        int err = errno;
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
        fail("can't replace file", err);
    }
    temp_path_.clear();
    // Make the rename itself durable.
    int dir = ::open(folder_of(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

void write_file_atomic(const std::string& path, const std::function<void(Stream&)>& writer) {
    FileStream file(path, FileStream::Mode::fmCreateAtomic);
    writer(file);
    file.Commit();
}

}  // namespace rtl
