#include "library/io/file_streams.h"

#include "platform/os/error_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>  // SEEK_SET
#include <cstring>
#include <limits>

namespace lib::io {
namespace {

const char kNotFound[] = "Файл не найден!";
const char kCannotOpen[] = "Невозможно открыть файл!";
const char kCannotLock[] = "Невозможно заблокировать файл!";
const char kCannotWrite[] = "Невозможно записать в файл!";
const char kCannotRead[] = "Невозможно прочитать из файла!";
const char kClosedWrite[] = "Попытка записи в файл с дескриптором 0xFFFFFFFF!";

constexpr std::size_t kFlushThreshold = 0x20000;

// base + offset, when it lands inside 0..size; false otherwise (overflow
// included).
bool checked_target(std::int64_t base, std::int64_t offset, std::int64_t size, std::int64_t& target) {
    if (__builtin_add_overflow(base, offset, &target)) return false;
    return target >= 0 && target <= size;
}

}  // namespace

std::string FileError::details() const {
    std::string text = what();
    if (!file_name_.empty()) text += " ('" + file_name_ + "')";
    if (error_code_ != 0) text += ": " + std::string(std::strerror(error_code_));
    return text;
}

void OSFile::fail(const char* message, int error_code) const { throw FileError(message, file_.path(), error_code); }

void OSFile::open(const AnsiString& name, open_types type, bool lock) {
    close();
    os::File::Mode mode;
    switch (type) {
        case ot_read: mode = os::File::Mode::read; break;
        case ot_write: mode = os::File::Mode::write_truncate; break;
        case ot_append: mode = os::File::Mode::write_append; break;
        default: throw FileError(kCannotOpen, name, EINVAL);
    }
    switch (file_.open(name, mode, lock)) {
        case os::File::Status::ok: return;
        case os::File::Status::not_found: fail(kNotFound, file_.last_error());
        case os::File::Status::cannot_open: fail(kCannotOpen, file_.last_error());
        case os::File::Status::cannot_lock: fail(kCannotLock, file_.last_error());
    }
}

void OSFile::lock() {
    if (!file_.lock()) fail(kCannotLock, file_.last_error());
}

void OSFile::unlock() { file_.unlock(); }

void OSFile::close() {
    if (!file_.close()) os::log_error("OSFile::close: '" + file_.path() + "': " + std::strerror(file_.last_error()));
}

void OSFile::read(char* buffer, unsigned count) {
    if (!file_.is_open()) fail(kCannotRead, EBADF);
    std::int64_t start = file_.position();
    std::int64_t got = file_.read(buffer, count);
    if (got < 0) fail(kCannotRead, file_.last_error());
    if (got < static_cast<std::int64_t>(count)) {
        // Give the bytes back, so a reader that waits for a writer to
        // append can try the same read again.
        if (start >= 0) file_.seek(start, SEEK_SET);
        throw FileError("OSFile::read: eof", file_.path(), 0);
    }
}

void OSFile::write(const char* buffer, unsigned count) {
    if (!file_.is_open()) throw FileError(kClosedWrite, file_.path(), EBADF);
    if (!file_.write(buffer, count)) fail(kCannotWrite, file_.last_error());
}

std::int64_t OSFile::set_pointer(std::int64_t offset, seek_types origin) {
    std::int64_t size = get_real_size();
    std::int64_t base = 0;
    switch (origin) {
        case st_begin: base = 0; break;
        case st_end: base = size; break;
        case st_current: base = get_pointer(); break;
        default: throw std::range_error("OSFile::set_pointer: bad origin");
    }
    std::int64_t target;
    if (!checked_target(base, offset, size, target))
        throw std::range_error("OSFile::set_pointer: position out of range");
    if (file_.seek(target, SEEK_SET) < 0) fail(kCannotRead, file_.last_error());
    return target;
}

std::int64_t OSFile::get_pointer() {
    std::int64_t pos = file_.position();
    if (pos < 0) fail(kCannotRead, file_.last_error());
    return pos;
}

bool OSFile::eof() {
    if (!file_.is_open()) return true;
    return get_pointer() >= get_real_size();
}

std::int64_t OSFile::get_real_size() {
    std::int64_t size = file_.size();
    if (size < 0) fail(kCannotRead, file_.last_error());
    return size;
}

void OSFile::get_time(FILETIME* created, FILETIME* accessed, FILETIME* written) {
    if (!file_.times(created, accessed, written)) fail(kCannotRead, file_.last_error());
}

BinaryOutputFileStream::BinaryOutputFileStream() { buffer_.reserve(1024); }

BinaryOutputFileStream::~BinaryOutputFileStream() {
    try {
        close();
    } catch (const FileError& e) {
        os::log_error("BinaryOutputFileStream: data lost on close: " + e.details());
    } catch (const std::exception& e) {
        os::log_error(std::string("BinaryOutputFileStream: data lost on close: ") + e.what());
    }
}

void BinaryOutputFileStream::open(const AnsiString& name, bool append, bool lock) {
    close();
    file_.open(name, append ? ot_append : ot_write, lock);
}

void BinaryOutputFileStream::write(const char* buffer, unsigned count) {
    if (file_.get_handle() < 0) throw FileError(kClosedWrite, file_.file_name(), EBADF);
    buffer_.insert(buffer_.end(), buffer, buffer + count);
    if (buffer_.size() > kFlushThreshold) flush();
}

void BinaryOutputFileStream::flush() {
    if (buffer_.empty()) return;
    std::vector<char> pending;
    pending.swap(buffer_);  // emptied whatever the write does
    buffer_.reserve(1024);
    if (file_.get_handle() >= 0) {
        const char* p = pending.data();
        std::size_t left = pending.size();
        while (left > 0) {
            unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(left, std::numeric_limits<unsigned>::max()));
            file_.write(p, chunk);
            p += chunk;
            left -= chunk;
        }
    }
}

void BinaryOutputFileStream::close() {
    try {
        flush();
    } catch (...) {
        file_.close();
        throw;
    }
    file_.close();
}

void BinaryOutputFileStream::get_time(FILETIME* created, FILETIME* accessed, FILETIME* written) {
    flush();
    file_.get_time(created, accessed, written);
}

std::int64_t BinaryOutputFileStream::get_real_size() {
    flush();
    return file_.get_real_size();
}

void BinaryInputFileStream::open(const AnsiString& name, bool lock) { file_.open(name, ot_read, lock); }

void BinaryInputFileStream::skip(int count) {
    std::int64_t pos = file_.get_pointer();
    std::int64_t size = file_.get_real_size();
    std::int64_t target;
    if (count < 0) {
        if (-static_cast<std::int64_t>(count) > pos)
            throw std::range_error("BinaryInputFileStream::skip: out of range");
        target = pos + count;
    } else {
        target = pos >= size ? pos : pos + std::min<std::int64_t>(count, size - pos);
    }
    file_.set_pointer(target, st_begin);
}

void InputMappedFile::open(const AnsiString& name, bool lock) {
    close();
    file_.open(name, ot_read, lock);
    std::int64_t size = file_.get_real_size();
    if (size <= 0) {
        file_.close();
        throw FileError("InputMappedFile::open: (h_file_mapping == NULL)", name, 0);
    }
    if (static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max() ||
        !view_.map(file_.os_file(), static_cast<std::size_t>(size), false)) {
        int err = view_.last_error();
        file_.close();
        throw FileError("InputMappedFile::open: (pointer == NULL)", name, err);
    }
    size_ = static_cast<std::size_t>(size);
    position_ = 0;
}

void InputMappedFile::close() {
    view_.unmap();
    file_.close();
    size_ = 0;
    position_ = 0;
}

void InputMappedFile::read(char* buffer, unsigned count) {
    if (position_ > size_ || count > size_ - position_)
        throw FileError("InputMappedFile::read: eof", file_.file_name(), 0);
    if (count == 0) return;
    std::memcpy(buffer, view_.data() + position_, count);
    position_ += count;
}

void InputMappedFile::skip(int count) {
    if (count < 0) {
        std::size_t back = static_cast<std::size_t>(-static_cast<std::int64_t>(count));
        if (back > position_) throw std::range_error("InputMappedFile::skip: out of range");
        position_ -= back;
        return;
    }
    position_ += std::min(static_cast<std::size_t>(count), size_ - std::min(position_, size_));
}

std::int64_t InputMappedFile::set_pointer(std::int64_t offset, seek_types origin) {
    std::int64_t size = static_cast<std::int64_t>(size_);
    std::int64_t base = 0;
    switch (origin) {
        case st_begin: base = 0; break;
        case st_end: base = size; break;
        case st_current: base = static_cast<std::int64_t>(position_); break;
        default: throw std::range_error("InputMappedFile::set_pointer: bad origin");
    }
    std::int64_t target;
    if (!checked_target(base, offset, size, target))
        throw std::range_error("InputMappedFile::set_pointer: position out of range");
    position_ = static_cast<std::size_t>(target);
    return target;
}

}  // namespace lib::io
