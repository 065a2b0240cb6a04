#include "gti/registr_old/view_file.h"

#include "library/time_conv.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vf {

namespace {

void put_u32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}

std::uint32_t get_u32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

void put_float(char* p, double v) {
    float f = static_cast<float>(v);
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    put_u32(p, u);
}

float get_float(const char* p) {
    std::uint32_t u = get_u32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

std::string cause(int err) { return std::strerror(err); }

}  // namespace

ViewFile::ViewFile() : clock_([] { return lib::get_local_time(); }) {}

ViewFile::~ViewFile() { close(); }

void ViewFile::close() {
    data_ = nullptr;
    view_.unmap();
    file_.close();
}

void ViewFile::check_file_version(const AnsiString& name) {
    const std::string path = os::native_path(name);
    const os::FileInfo info = os::file_info(path);
    if (info.exists && static_cast<std::uint64_t>(info.size) != file_size) os::remove_file(path);
}

bool ViewFile::set_name(const AnsiString& name) {
    close();
    error_.clear();
    const std::string path = os::native_path(name);
    auto fail = [&](const std::string& why) {
        close();
        error_ = "ViewFile::set_name: '" + name + "': " + why;
        return false;
    };
    check_file_version(name);
    const bool existed = os::file_info(path).exists;

    if (file_.open(path, os::File::Mode::read_write, false) != os::File::Status::ok)
        return fail("can't open: " + cause(file_.last_error()));
    // Reserve every block now: a ring that could not be written in full must
    // fail here, not kill the recording with SIGBUS once the disk fills.
    if (!file_.reserve(static_cast<std::int64_t>(file_size))) {
        const int err = file_.last_error();
        if (!existed) os::remove_file(path);
        return fail("can't allocate " + std::to_string(file_size) + " bytes: " + cause(err));
    }
    if (!view_.map(file_, file_size, true)) return fail("can't map: " + cause(view_.last_error()));
    data_ = view_.data();
    if (!existed) put_u32(data_, 0);
    flush_count_ = 0;
    return true;
}

char* ViewFile::slot_overhead(std::uint32_t slot) const { return data_ + overhead_offset + overhead_size * slot; }

bool ViewFile::add_record() {
    if (!data_) return false;
    Sample sample;
    if (source_) source_(sample);
    const std::uint32_t now = clock_ ? clock_() : 0;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0;
    lib::big_time(now, day, month, year, hour, minute, nullptr);

    const std::uint32_t counter = get_u32(data_);
    const std::uint32_t slot = counter % ring_size;
    char* o = slot_overhead(slot);
    put_float(o, sample.pipes);
    put_float(o + 4, sample.depth_z);
    put_float(o + 8, sample.depth_cur);
    put_float(o + 12, sample.depth_lag);
    put_u32(o + 16, static_cast<std::uint32_t>(hour));
    put_u32(o + 20, static_cast<std::uint32_t>(minute));
    put_u32(o + 24, now);
    put_u32(o + 28, static_cast<std::uint32_t>(day));

    char* values = data_ + values_offset + 4 * static_cast<std::size_t>(slot);
    for (int n = 0; n < max_params; ++n) put_u32(values + column_size * static_cast<std::size_t>(n), 0);
    for (const auto& [n, v] : sample.values)
        if (n >= 0 && n < max_params) put_float(values + column_size * static_cast<std::size_t>(n), v);
    put_u32(data_, counter + 1);
    return true;
}

bool ViewFile::flush_buffers() {
    if (!data_) return false;
    if (++flush_count_ >= 120) {
        flush_count_ = 0;
        // A write-back the disk refused is a failure the caller must see.
        return view_.flush();
    }
    return true;
}

std::uint32_t ViewFile::get_records_size() const { return data_ ? get_u32(data_) : 0; }

void ViewFile::check_sample(int sample, const char* what) const {
    if (!data_) throw std::runtime_error(std::string("ViewFile::") + what + ": no file open");
    if (sample < 0 || static_cast<std::uint32_t>(sample) >= get_u32(data_))
        throw std::out_of_range(std::string("ViewFile::") + what + ": sample " + std::to_string(sample) +
                                " outside 0.." + std::to_string(static_cast<std::int64_t>(get_u32(data_)) - 1));
}

Overhead ViewFile::get_overhead(int sample) const {
    check_sample(sample, "get_overhead");
    const char* o = slot_overhead(static_cast<std::uint32_t>(sample) % ring_size);
    Overhead r;
    r.pipes = get_float(o);
    r.depth_z = get_float(o + 4);
    r.depth_cur = get_float(o + 8);
    r.depth_lag = get_float(o + 12);
    r.hour = get_u32(o + 16);
    r.minute = get_u32(o + 20);
    r.time = get_u32(o + 24);
    r.day = get_u32(o + 28);
    return r;
}

double ViewFile::get_value(int param, int sample) const {
    if (param < 0 || param >= max_params) throw std::out_of_range("ViewFile::get_value");
    check_sample(sample, "get_value");
    const std::size_t slot = static_cast<std::uint32_t>(sample) % ring_size;
    float f = get_float(data_ + values_offset + column_size * static_cast<std::size_t>(param) + 4 * slot);
    return std::isnan(f) ? 0.0 : static_cast<double>(f);
}

std::uint32_t ViewFile::stamp(std::uint32_t sample) const { return get_u32(slot_overhead(sample % ring_size) + 24); }

int ViewFile::get_time_index(std::uint32_t t) const {
    if (!data_) return -1;
    const std::uint32_t n = get_u32(data_);
    if (n <= 2) return -1;
    const std::uint32_t first = n - std::min(n, ring_size) + 1;
    if (t < stamp(first)) return -1;
    if (stamp(n - 1) < t) return static_cast<int>(n - 1);
    for (std::uint32_t i = first; i + 1 < n; ++i)
        if (stamp(i) <= t && t <= stamp(i + 1)) return static_cast<int>(i);
    return -1;
}

}  // namespace vf
