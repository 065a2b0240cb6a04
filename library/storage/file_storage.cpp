#include "library/storage/file_storage.h"

#include "library/storage/rt_blocks.h"
#include "platform/os/memory.h"
#include "platform/rtl/text.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <numeric>
#include <system_error>

namespace {

const char kTooManyParams[] = "слишком много параметров";
const char kNotSet[] = "::не задано::";

}  // namespace

namespace {

template <typename R>
void save_record(const R& r, lib::io::BinaryOutputStream& out) {
    std::string payload;
    lib::realtime::BlockEncoder::append_record_payload(payload, r.time.get_value(), r.depth_z, r.depth_cur, r.lag_depth,
                                                       r.operation, r.values.data(), r.values.size());
    out.write(payload.data(), static_cast<unsigned>(payload.size()));
}

}  // namespace

void FileStorageItem::save_to_stream(lib::io::BinaryOutputStream& out) const { save_record(*this, out); }

void FileStorageRecord::save_to_stream(lib::io::BinaryOutputStream& out) const { save_record(*this, out); }

// --- record memory ---

namespace {
// Blocks from this size on come from the system in huge pages.
constexpr std::size_t kLargeBlock = 1 << 20;
// How far ahead of the records written the block is backed, and the piece
// a backing thread backs at a time.
constexpr std::size_t kBackAhead = 4 << 20;
// How far the backing threads may run ahead of the records: far enough that
// the records seldom wait, near enough that the zeroed memory is still in the
// cache when they are written into it.
constexpr std::size_t kBackLead = 16 << 20;
constexpr std::size_t kAlignment = 64;
// Blocks with at least this much still to back get a thread for it.
constexpr std::size_t kBackground = 32 << 20;
}  // namespace

void FileStorageRows::back_in_background() {
    // Threads still running back this very block (a move of the block
    // waits for them first): a later header of the same file needs no more.
    if (backers_[0].joinable() || backers_[1].joinable()) return;
    if (!large_ || bytes_ - std::min(bytes_, backed_) < kBackground) return;
    char* const data = data_;
    const std::size_t from = backed_, to = bytes_;
    const std::size_t use = std::size(backers_);
    back_from_ = from;
    back_to_ = to;
    writer_at_.store(count_ * stride_);
    stop_backers_.store(false);
    for (std::size_t k = 0; k < use; ++k) backed_by_[k].store(from);
    for (std::size_t k = 0; k < use; ++k) {
        try {
            // Piece after piece, each thread taking every other one, so that
            // the records written meanwhile find theirs backed soon.
            backers_[k] = std::thread([this, data, from, to, k, use] {
                for (std::size_t at = from + k * kBackAhead; at < to; at += use * kBackAhead) {
                    for (std::size_t w = writer_at_.load(); at > w && at - w > kBackLead; w = writer_at_.load()) {
                        if (stop_backers_.load()) return;
                        writer_at_.wait(w);
                    }
                    if (stop_backers_.load()) return;
                    const std::size_t end = std::min(at + kBackAhead, to);
                    const bool backed = os::back_now(data + at, end - at);
                    backed_by_[k].store(backed ? end : back_failed);
                    backed_by_[k].notify_all();
                    if (!backed) return;
                }
            });
        } catch (const std::system_error&) {
            // No thread: the records back its pieces as they go.
            backed_by_[k].store(back_failed);
        }
    }
}

void FileStorageRows::stop_backing() {
    if (!backers_[0].joinable() && !backers_[1].joinable()) return;
    stop_backers_.store(true);
    writer_at_.store(SIZE_MAX);
    writer_at_.notify_all();
    for (auto& t : backers_)
        if (t.joinable()) t.join();
    back_from_ = back_to_ = 0;
}

void FileStorageRows::release() {
    stop_backing();
    if (!data_) return;
    if (large_)
        os::free_large(data_, bytes_);
    else
        ::operator delete(data_, std::align_val_t(kAlignment));
    data_ = nullptr;
    bytes_ = backed_ = capacity_ = 0;
}

void FileStorageRows::relayout(std::size_t capacity, std::size_t width) {
    stop_backing();
    const std::size_t stride = sizeof(FileStorageRecord) + 4 * width;
    if (capacity > (SIZE_MAX - 4096) / stride) throw std::bad_alloc();
    const std::size_t bytes = std::max<std::size_t>(capacity * stride, 1);
    const bool large = bytes >= kLargeBlock;
    char* data = large ? static_cast<char*>(os::allocate_large(bytes))
                       : static_cast<char*>(::operator new(bytes, std::align_val_t(kAlignment)));
    if (!data) throw std::bad_alloc();
    std::size_t backed = 0;
    if (large && count_ > 0) {
        backed = std::min(bytes, count_ * stride + kBackAhead);
        os::back_now(data, backed);
    } else if (!large) {
        backed = bytes;
    }
    for (std::size_t i = 0; i < count_; ++i) {
        const FileStorageRecord& r = (*this)[i];
        std::memcpy(data + i * stride, &r, sizeof(FileStorageRecord) + 4 * r.values.size());
    }
    release();
    data_ = data;
    bytes_ = bytes;
    large_ = large;
    backed_ = backed;
    capacity_ = capacity;
    width_ = width;
    stride_ = stride;
}

void FileStorageRows::back_more(std::size_t bytes) {
    if (bytes > back_from_ && bytes <= back_to_) {
        writer_at_.store(bytes);
        writer_at_.notify_all();
        const std::size_t piece = (bytes - 1 - back_from_) / kBackAhead;
        const std::size_t end = std::min(back_to_, back_from_ + (piece + 1) * kBackAhead);
        std::atomic<std::size_t>& by = backed_by_[piece % std::size(backers_)];
        for (std::size_t done = by.load(); done != back_failed; done = by.load()) {
            if (done >= end) {
                backed_ = end;
                return;
            }
            by.wait(done);
        }
        // That thread gave up: the records back their memory themselves.
    }
    // Past the records about to be written, but never past the block: a
    // table read into a block sized for the file makes no more of it
    // resident than its records take.
    const std::size_t to = std::min(bytes_, std::max(bytes, backed_) + kBackAhead);
    if (large_) os::back_now(data_ + backed_, to - backed_);
    backed_ = to;
}

void FileStorageRows::grow(std::size_t at_least) {
    relayout(std::max({at_least, 2 * capacity_, std::size_t(16)}), width_);
}

void FileStorageRows::reserve(std::size_t more) {
    if (more > capacity_ - count_) {
        if (more > SIZE_MAX / 2 - count_) throw std::bad_alloc();
        // Many small reservations (one per file read) still grow the block
        // by half at a time at least.
        relayout(std::max(count_ + more, capacity_ + capacity_ / 2), width_);
    }
}

void FileStorageRows::widen(std::size_t width) {
    if (width > max_width) throw std::length_error("FileStorageRows::widen");
    if (width <= width_) return;
    if (count_ == 0 && data_ && capacity_ * (sizeof(FileStorageRecord) + 4 * width) <= bytes_) {
        // An empty block is taken at the new stride for as many records as
        // it holds.
        width_ = width;
        stride_ = sizeof(FileStorageRecord) + 4 * width;
        capacity_ = bytes_ / stride_;
        return;
    }
    relayout(capacity_, width);
}

void FileStorageRows::resize(FileStorageRecord& r, std::size_t count) {
    for (std::size_t i = r.values.size(); i < count; ++i) r.values.data()[i] = 0.0f;
    r.values.count_ = static_cast<std::uint16_t>(count);
}

void FileStorageRows::erase(std::size_t first, std::size_t last) {
    if (first >= last || last > count_) return;
    std::memmove(data_ + first * stride_, data_ + last * stride_, (count_ - last) * stride_);
    count_ -= last - first;
}

void FileStorageRows::reorder(const std::vector<std::size_t>& order) {
    std::vector<char> copy(data_, data_ + count_ * stride_);
    for (std::size_t i = 0; i < order.size() && i < count_; ++i)
        std::memcpy(data_ + i * stride_, copy.data() + order[i] * stride_, stride_);
}

// --- text values ---

void FileStorageTextValues::set_text(const AnsiString& name, const AnsiString& value) { lines_.SetValue(name, value); }

AnsiString FileStorageTextValues::get_text(const char* name) const {
    if (!name) return AnsiString();
    return check_inverted_commas(lines_.Values(name));
}

void FileStorageTextValues::get_text(const char* name, AnsiString& value) const {
    AnsiString trimmed = rtl::Trim(value);
    if (trimmed.empty() || rtl::AnsiLowerCase(trimmed) == kNotSet) value = get_text(name);
}

void FileStorageTextValues::get_text_by_index(int i, AnsiString& name, AnsiString& value) const {
    name = lines_.Names(i);
    value = check_inverted_commas(lines_.ValueFromIndex(i));
}

void FileStorageTextValues::enum_names(rtl::StringList* out) const {
    if (!out) return;
    out->Clear();
    for (int i = 0; i < lines_.Count(); ++i)
        if (lines_[i].find('=') != std::string::npos) out->Add(lines_.Names(i));
}

AnsiString FileStorageTextValues::check_inverted_commas(const AnsiString& s) {
    if (s.size() > 1 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// --- the table ---

FileStorage::FileStorage() {
    text_values_.set_parent(this);
    clear();
}

FileStorage::~FileStorage() { clear(); }

void FileStorage::clear() {
    records_.clear();
    file_numbers_.clear();
    params_.clear();
    text_values_.clear();
    remarks_.clear();
    outside_window_ = 0;
    stream_state_.reset();
    follow_state_.reset();
    follow_name_.clear();
}

int FileStorage::add_parametr(const FileStorageParam& param) {
    if (params_.size() >= static_cast<std::size_t>(max_params)) throw FileStorageException(kTooManyParams, false);
    const std::string key = rtl::AnsiLowerCase(param.global_name);
    for (std::size_t i = 0; i < params_.size(); ++i)
        if (rtl::AnsiLowerCase(params_[i].global_name) == key) return static_cast<int>(i);
    params_.push_back(param);
    return static_cast<int>(params_.size() - 1);
}

void FileStorage::add_record(const FileStorageItem& item) {
    const std::size_t n = item.values.size();
    if (n > FileStorageRows::max_width) throw FileStorageException(kTooManyParams, true);
    records_.widen(n);
    FileStorageRecord& r = records_.append(n);
    r.time = item.time;
    r.depth_z = item.depth_z;
    r.depth_cur = item.depth_cur;
    r.lag_depth = item.lag_depth;
    r.operation = item.operation;
    r.valid = item.valid;
    std::copy_n(item.values.data(), n, r.values.data());
    if (item.file_number != 0 || !file_numbers_.empty()) {
        file_numbers_.resize(records_.size() - 1, 0);
        file_numbers_.push_back(item.file_number);
    }
}

const FileStorageRecord* FileStorage::get_record(int i) const {
    if (i < 0 || i >= get_data_size()) return nullptr;
    return &records_[static_cast<std::size_t>(i)];
}

FileStorageRecord* FileStorage::get_record_ptr(int i) {
    if (i < 0 || i >= get_data_size()) return nullptr;
    return &records_[static_cast<std::size_t>(i)];
}

std::int32_t FileStorage::get_file_number(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= file_numbers_.size()) return 0;
    return file_numbers_[static_cast<std::size_t>(i)];
}

void FileStorage::set_file_number(int i, std::int32_t number) {
    if (i < 0 || i >= get_data_size()) return;
    if (file_numbers_.size() < records_.size()) {
        if (number == 0) return;
        file_numbers_.resize(records_.size(), 0);
    }
    file_numbers_[static_cast<std::size_t>(i)] = number;
}

const FileStorageParam* FileStorage::get_param(int i) const {
    if (i < 0 || i >= get_params_count()) return nullptr;
    return &params_[static_cast<std::size_t>(i)];
}

int FileStorage::get_param_index(const AnsiString& name) const {
    for (std::size_t i = 0; i < params_.size(); ++i)
        if (params_[i].global_name == name) return static_cast<int>(i);
    return -1;
}

void FileStorage::set_time_range(const lib::unix_time& from, const lib::unix_time& to) {
    time_from_ = from;
    time_to_ = to;
}

void FileStorage::sort_by_time() {
    std::vector<std::size_t> order(records_.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return records_[a].time.get_value() < records_[b].time.get_value();
    });
    records_.reorder(order);
    if (!file_numbers_.empty()) {
        file_numbers_.resize(records_.size(), 0);
        std::vector<std::int32_t> numbers(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) numbers[i] = file_numbers_[order[i]];
        file_numbers_ = std::move(numbers);
    }
}

void FileStorage::correct_depths() {
    if (records_.size() < 4) return;
    double last = records_[records_.size() - 1].depth_z;
    for (std::size_t i = records_.size() - 1; i-- > 0;) {
        FileStorageRecord& r = records_[i];
        double d = r.depth_z;
        if (d > 0 || i == 0) {
            if (d < last) {
                r.valid = true;
                last = d;
            } else {
                r.valid = false;
            }
        } else {
            r.valid = false;
        }
    }
}

void FileStorage::erase_records(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, get_data_size());
    if (first >= last) return;
    records_.erase(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
    if (static_cast<std::size_t>(first) < file_numbers_.size())
        file_numbers_.erase(file_numbers_.begin() + first,
                            file_numbers_.begin() + std::min<std::ptrdiff_t>(last, std::ssize(file_numbers_)));
}

int FileStorage::calc_time_step() const {
    if (records_.size() < 2) return 0;
    std::map<std::int32_t, int> counts;
    for (std::size_t i = 0; i + 1 < records_.size(); ++i) {
        std::uint32_t diff = records_[i + 1].time.get_value() - records_[i].time.get_value();
        ++counts[static_cast<std::int32_t>(diff)];
    }
    int best = -1;
    std::int32_t step = 0;
    for (const auto& [diff, count] : counts) {
        if (count > best) {
            best = count;
            step = diff;
        }
    }
    return step;
}
