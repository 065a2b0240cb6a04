#include "platform/rtl/stream.h"

#include "platform/os/error_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace rtl {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::int64_t checked_target(std::int64_t base, std::int64_t offset) {
    if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset))
        throw std::out_of_range("Stream::Seek: position out of range");
    return base + offset;
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
    if (Write(buffer, count) != count) throw std::runtime_error("Stream::WriteBuffer: write failed");
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

FileStream::FileStream(const std::string& path, Mode mode) : path_(path), read_only_(mode == Mode::fmOpenRead) {
    if (mode == Mode::fmCreateAtomic) {
        // The temporary file sits beside the target and keeps the
        // permissions of the file it replaces.
        if (!replacement_.create(path)) fail("can't create a temporary file for", replacement_.last_error());
        io_ = &replacement_.file();
        return;
    }
    os::File::Mode file_mode = os::File::Mode::read;
    switch (mode) {
        case Mode::fmOpenRead: file_mode = os::File::Mode::read; break;
        case Mode::fmCreate: file_mode = os::File::Mode::read_write_truncate; break;
        case Mode::fmOpenReadWrite: file_mode = os::File::Mode::read_write_existing; break;
        case Mode::fmCreateAtomic: break;
    }
    os::OpenOptions options;
    options.share_rule = false;
    if (file_.open(path, file_mode, options) != os::File::Status::ok) {
        // The open refuses a FIFO or a device under the name (EINVAL) rather
        // than wait on it; say so in words the operator can act on.
        if (file_.last_error() == EINVAL)
            throw std::runtime_error("FileStream: can't open file '" + path_ + "': not a regular file");
        fail("can't open file", file_.last_error());
    }
    io_ = &file_;
}

FileStream::~FileStream() {
    if (io_ == &file_ && file_.is_open()) {
        try {
            flush_write();
        } catch (const std::exception& e) {
            // A destructor cannot throw; callers that care call Flush() first.
            os::log_error(e.what());
        } catch (...) {}
    }
    // An uncommitted replacement removes its temporary file as it goes.
}

void FileStream::require_open(const char* what) const {
    if (!io_ || !io_->is_open()) fail(what, EBADF);
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
    if (!io_->write_at(buf_start_, buf_.data(), buf_.size())) {
        // The pending bytes are lost either way; keep the stream usable.
        buf_.clear();
        buf_dirty_ = false;
        fail("can't write file", io_->last_error());
    }
    buf_.clear();
    buf_dirty_ = false;
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
    require_open("read from a closed file");
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
            std::int64_t n = io_->read_at(pos_, out + done, want);
            if (n < 0) fail("can't read file", io_->last_error());
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
            pos_ += n;
            continue;
        }
        buf_.resize(kBufferSize);
        std::int64_t n = io_->read_at(pos_, buf_.data(), kBufferSize);
        if (n < 0) {
            buf_.clear();
            fail("can't read file", io_->last_error());
        }
        buf_.resize(static_cast<std::size_t>(n));
        buf_start_ = pos_;
        if (n == 0) break;
    }
    return done;
}

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
    require_open("write to a closed file");
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
    require_open("seek in a closed file");
    std::int64_t base = origin == SeekOrigin::soBeginning ? 0 : origin == SeekOrigin::soCurrent ? pos_ : Size();
    pos_ = checked_target(base, offset);
    return pos_;
}

std::int64_t FileStream::Size() {
    require_open("size of a closed file");
    std::int64_t size = io_->size();
    if (size < 0) fail("can't get the size of file", io_->last_error());
    if (buf_dirty_) size = std::max(size, buf_start_ + static_cast<std::int64_t>(buf_.size()));
    return size;
}

void FileStream::Flush() {
    if (io_ && io_->is_open()) flush_write();
}

void FileStream::Commit() {
    if (io_ != &replacement_.file()) throw std::logic_error("FileStream::Commit: not an atomic stream");
    require_open("commit a closed file");
    flush_write();
    if (!replacement_.commit()) fail("can't replace file", replacement_.last_error());
}

void write_file_atomic(const std::string& path, const std::function<void(Stream&)>& writer) {
    FileStream file(path, FileStream::Mode::fmCreateAtomic);
    writer(file);
    file.Commit();
}

}  // namespace rtl
