#include "library/mapped_file.h"

#include "library/io/disk_text.h"
#include "platform/os/error_log.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <limits>

namespace lib {
namespace {

static_assert(LDBL_MANT_DIG == 64, "the stored extended real is the x87 80-bit form");

// One try only: a file held by another program is simply not opened.
const os::RetryPolicy kOnce{1, std::chrono::milliseconds(0)};

std::int64_t saturating_add(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return r;
}

std::int64_t seek_target(std::int64_t current, std::int64_t size, std::int64_t offset, seek_type origin) {
    switch (origin) {
        case sk_begin: return offset;
        case sk_current: return saturating_add(current, offset);
        case sk_end:
            if (offset == std::numeric_limits<std::int64_t>::min()) return std::numeric_limits<std::int64_t>::max();
            return saturating_add(size - 1, -offset);
    }
    return current;
}

}  // namespace

mapped_file_base::~mapped_file_base() { base_close(); }

bool mapped_file_base::base_open(const char* name, open_modes mode, std::size_t size) {
    if (file_.is_open() || view_.is_mapped() || name == nullptr) return false;
    if (mode == om_read) {
        if (file_.open(name, os::File::Mode::read, false, kOnce) != os::File::Status::ok) return false;
        std::int64_t file_size = file_.size();
        if (file_size <= 0 || static_cast<std::uint64_t>(file_size) > std::numeric_limits<std::size_t>::max() ||
            !view_.map(file_, static_cast<std::size_t>(file_size), false)) {
            file_.close();
            return false;
        }
        file_size_ = static_cast<std::size_t>(file_size);
        open_size_ = size;
        writable_ = false;
        return true;
    }
    if (mode == om_read_write) {
        if (file_.open(name, os::File::Mode::read_write_truncate, false, kOnce) != os::File::Status::ok) return false;
        std::size_t map_size = std::max<std::size_t>(size, 1);
        if (!file_.truncate(static_cast<std::int64_t>(map_size)) || !view_.map(file_, map_size, true)) {
            file_.close();
            return false;
        }
        file_size_ = map_size;
        open_size_ = size;
        writable_ = true;
        return true;
    }
    return false;
}

void mapped_file_base::base_close() {
    view_.unmap();
    file_.close();
    file_size_ = 0;
    open_size_ = 0;
    writable_ = false;
}

bool mapped_file_base::resize(std::size_t size) {
    if (!view_.is_mapped()) return false;
    view_.unmap();
    if (!file_.truncate(static_cast<std::int64_t>(size))) {
        base_close();
        return false;
    }
    file_size_ = size;
    if (size == 0) return true;  // nothing left to map
    if (!view_.map(file_, size, writable_)) {
        base_close();
        return false;
    }
    return true;
}

mapped_file::~mapped_file() {
    try {
        close();
    } catch (...) {}
}

bool mapped_file::open(const AnsiString& name, open_modes mode, int size) {
    if (is_ok()) return false;
    if (!base_open(name.c_str(), mode, static_cast<std::size_t>(std::max(size, 0)))) return false;
    read_pos_ = 0;
    write_pos_ = 0;
    write_end_ = std::max(size, 0);
    high_write_ = 0;
    set_read(0);
    return true;
}

void mapped_file::close() {
    if (is_ok() && writable_) {
        std::string name = file_.path();
        // A 0-byte file was mapped as 1 byte; nothing written cuts it back.
        std::size_t final_size = high_write_ > 0 ? static_cast<std::size_t>(high_write_) : open_size_;
        if (final_size != file_size_ && !resize(final_size))
            os::log_error("mapped_file::close: can't cut '" + name + "' to its written size");
    }
    base_close();
    read_pos_ = write_pos_ = write_end_ = high_write_ = 0;
    end_ = true;
}

void mapped_file::set_read(std::int64_t position) {
    read_pos_ = position;
    end_ = position < 0 || static_cast<std::uint64_t>(position) >= file_size_;
}

std::int64_t mapped_file::seekg(std::int64_t offset, seek_type origin) {
    set_read(seek_target(read_pos_, static_cast<std::int64_t>(file_size_), offset, origin));
    return read_pos_;
}

std::int64_t mapped_file::seekp(std::int64_t offset, seek_type origin) {
    write_pos_ = seek_target(write_pos_, static_cast<std::int64_t>(file_size_), offset, origin);
    return write_pos_;
}

bool mapped_file::take(void* target, std::size_t count) {
    if (!good()) return false;
    std::size_t left = file_size_ - static_cast<std::size_t>(read_pos_);
    if (count > left) return false;
    std::memcpy(target, view_.data() + read_pos_, count);
    set_read(read_pos_ + static_cast<std::int64_t>(count));
    return true;
}

int mapped_file::get() {
    unsigned char c;
    // 0xFF is a letter in Windows-1251; only the end gives -1.
    return take(&c, 1) ? c : -1;
}

mapped_file& mapped_file::operator>>(int& value) {
    int v;
    if (take(&v, sizeof v)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(unsigned int& value) {
    unsigned int v;
    if (take(&v, sizeof v)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(std::int64_t& value) {
    std::int64_t v;
    if (take(&v, sizeof v)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(std::uint64_t& value) {
    std::uint64_t v;
    if (take(&v, sizeof v)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(char& value) {
    char v;
    if (take(&v, 1)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(unsigned char& value) {
    unsigned char v;
    if (take(&v, 1)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(bool& value) {
    unsigned char v;
    if (take(&v, 1)) value = v != 0;
    return *this;
}

mapped_file& mapped_file::operator>>(float& value) {
    float v;
    if (take(&v, sizeof v)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(double& value) {
    double v;
    if (take(&v, sizeof v)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(long double& value) {
    long double v = 0;
    if (take(&v, 10)) value = v;
    return *this;
}

mapped_file& mapped_file::operator>>(AnsiString& value) {
    if (!good()) return *this;
    const char* begin = view_.data() + read_pos_;
    const char* end = view_.data() + file_size_;
    const char* zero = static_cast<const char*>(std::memchr(begin, 0, static_cast<std::size_t>(end - begin)));
    const char* stop = zero ? zero : end;
    value = io::from_disk_text(std::string_view(begin, static_cast<std::size_t>(stop - begin)));
    set_read(static_cast<std::int64_t>((zero ? zero + 1 : end) - view_.data()));
    return *this;
}

int mapped_file::read(char* buffer, int count) {
    if (!good()) return -1;
    if (count <= 0) return 0;
    std::size_t n = std::min(static_cast<std::size_t>(count), file_size_ - static_cast<std::size_t>(read_pos_));
    std::memcpy(buffer, view_.data() + read_pos_, n);
    set_read(read_pos_ + static_cast<std::int64_t>(n));
    return static_cast<int>(n);
}

int mapped_file::write(const char* buffer, unsigned count) {
    // A read-only view would fault on the copy; a negative position has no
    // place in the file.
    if (!is_ok() || !writable_ || write_pos_ < 0) return -1;
    std::int64_t need = saturating_add(write_pos_, count);
    if (need >= write_end_) {
        // Grow past the write position, not merely by the count: a seekp
        // beyond the end must still land inside the file.
        std::uint64_t grown = static_cast<std::uint64_t>(count) + 2 * static_cast<std::uint64_t>(file_size_);
        std::uint64_t new_size = std::max<std::uint64_t>(grown, static_cast<std::uint64_t>(need));
        if (new_size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ||
            new_size > std::numeric_limits<std::size_t>::max())
            return -1;
        std::string name = file_.path();
        if (!resize(static_cast<std::size_t>(new_size))) {
            os::log_error("mapped_file::write: can't grow '" + name + "'");
            return -1;
        }
        write_end_ = static_cast<std::int64_t>(new_size);
        set_read(read_pos_);
    }
    if (count > 0) std::memcpy(view_.data() + write_pos_, buffer, count);
    write_pos_ += count;
    high_write_ = std::max(high_write_, write_pos_);
    return static_cast<int>(count);
}

mapped_file& mapped_file::operator<<(double value) {
    write(reinterpret_cast<const char*>(&value), sizeof value);
    return *this;
}

void write_bin_data(mapped_file& file, const AnsiString& value) {
    std::string bytes = io::to_disk_text(value);
    bytes.push_back('\0');
    file.write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

void write_bin_data(mapped_file& file, const rtl::TDateTime& date_time) { file << date_time; }

void write_bin_data(mapped_file& file, const char* value) { write_bin_data(file, AnsiString(value ? value : "")); }

}  // namespace lib
