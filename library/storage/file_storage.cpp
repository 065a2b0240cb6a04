#include "library/storage/file_storage.h"

#include "library/storage/rt_blocks.h"
#include "platform/os/memory.h"
#include "platform/rtl/text.h"

#include <algorithm>
#include <map>

namespace {

const char kTooManyParams[] = "слишком много параметров";
const char kNotSet[] = "::не задано::";

}  // namespace

void FileStorageItem::save_to_stream(lib::io::BinaryOutputStream& out) const {
    std::string payload;
    lib::realtime::BlockEncoder::append_record_payload(payload, time.get_value(), depth_z, depth_cur, lag_depth,
                                                       operation, values.data(), values.size());
    out.write(payload.data(), static_cast<unsigned>(payload.size()));
}

// --- record memory ---

namespace {
constexpr std::size_t kMinPiece = 64 << 10;
constexpr std::size_t kPieceAlignment = FileStorageMemory::piece_alignment;
}  // namespace

FileStorageMemory::~FileStorageMemory() {
    for (const auto& p : pieces_) {
        if (p.large)
            os::free_large(p.data, p.size);
        else
            ::operator delete(p.data, std::align_val_t(kPieceAlignment));
    }
}

bool FileStorageMemory::fits(std::size_t bytes, std::size_t alignment) const {
    if (active_ == 0) return false;
    const std::size_t start = (used_ + alignment - 1) / alignment * alignment;
    return start <= pieces_[active_ - 1].size && bytes <= pieces_[active_ - 1].size - start;
}

void FileStorageMemory::next_piece(std::size_t at_least) {
    // A kept piece that is large enough, else a new one; the pieces still
    // unused stay after it for later.
    for (std::size_t i = active_; i < pieces_.size(); ++i) {
        if (pieces_[i].size >= at_least) {
            std::swap(pieces_[i], pieces_[active_]);
            ++active_;
            used_ = 0;
            return;
        }
    }
    const std::size_t size = std::max(at_least, kMinPiece);
    pieces_.reserve(pieces_.size() + 1);  // the insert below cannot fail and lose the piece
    Piece piece{nullptr, size, size >= os::huge_page_size};
    if (piece.large) {
        // A file's records fill a piece as soon as it is taken: in huge
        // pages the first touches cost a fraction of the faults.
        piece.data = static_cast<char*>(os::allocate_large(size));
        if (!piece.data) throw std::bad_alloc();
    } else {
        piece.data = static_cast<char*>(::operator new(size, std::align_val_t(kPieceAlignment)));
    }
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(active_), piece);
    ++active_;
    used_ = 0;
}

void FileStorageMemory::prepare(std::size_t bytes) {
    if (!fits(bytes, kPieceAlignment)) next_piece(bytes);
}

void* FileStorageMemory::take_slow(std::size_t bytes, std::size_t alignment) {
    if (alignment > kPieceAlignment) throw std::bad_alloc();
    if (!fits(bytes, alignment)) next_piece(bytes + alignment);
    used_ = (used_ + alignment - 1) / alignment * alignment;
    void* p = pieces_[active_ - 1].data + used_;
    used_ += bytes;
    return p;
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
    memory_.rewind();
    params_.clear();
    text_values_.clear();
    remarks_.clear();
    outside_window_ = 0;
    stream_state_.reset();
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
    records_.push_back(std::make_shared<FileStorageItem>(item));
}

const FileStorageItem* FileStorage::get_record(int i) const {
    if (i < 0 || i >= get_data_size()) return nullptr;
    return records_[static_cast<std::size_t>(i)].get();
}

FileStorageItem* FileStorage::get_record_ptr(int i) {
    if (i < 0 || i >= get_data_size()) return nullptr;
    return records_[static_cast<std::size_t>(i)].get();
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
    std::stable_sort(records_.begin(), records_.end(),
                     [](const auto& a, const auto& b) { return a->time.get_value() < b->time.get_value(); });
}

void FileStorage::correct_depths() {
    if (records_.size() < 4) return;
    double last = records_.back()->depth_z;
    for (std::size_t i = records_.size() - 1; i-- > 0;) {
        FileStorageItem& r = *records_[i];
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
    records_.erase(records_.begin() + first, records_.begin() + last);
}

int FileStorage::calc_time_step() const {
    if (records_.size() < 2) return 0;
    std::map<std::int32_t, int> counts;
    for (std::size_t i = 0; i + 1 < records_.size(); ++i) {
        std::uint32_t diff = records_[i + 1]->time.get_value() - records_[i]->time.get_value();
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
