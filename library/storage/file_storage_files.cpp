// The block files of the real-time data table: reading with
// resynchronisation and warnings, writing, and the rewrites in place.

#include "library/storage/file_storage.h"
#include "library/storage/file_storage_warnings.h"

#include "library/file_finder.h"
#include "library/io/binary_stream.h"
#include "library/io/disk_text.h"
#include "library/io/file_streams.h"
#include "library/storage/read_ahead.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/directory.h"
#include "platform/os/mapping.h"
#include "platform/rtl/text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

namespace {

using lib::realtime::Block;
using lib::realtime::BlockEncoder;
using lib::realtime::BlockScanner;
using lib::realtime::PayloadReader;

const char* const kTooManyParams = file_storage_warnings::too_many_params;
const char* const kSectorMismatch = file_storage_warnings::sector_mismatch;
const char* const kResynchronised = file_storage_warnings::resynchronised;
const char* const kDamagedBlocks = file_storage_warnings::damaged_blocks;
const char* const kTornBlock = file_storage_warnings::torn_block;
const char kNotSet[] = "::не задано::";
const char kDamagedText[] = "Повреждён файл в области текстовых данных";
const char kBadExtension[] = "Неправильное расширение открываемого файла: ";
const char kPartialTable[] =
    "Таблица содержит не все записи файла (задан интервал времени), перезапись файла отменена: ";
const char kDamagedFile[] = "Файл повреждён, блоки не удалены: ";
const char kCannotWrite[] = "Невозможно записать в файл!";
const char kNotFound[] = "Файл не найден!";
const char kCannotOpen[] = "Невозможно открыть файл!";
const char kCannotLock[] = "Невозможно заблокировать файл!";
const char kCannotRead[] = "Невозможно прочитать из файла!";
const char kEmptyFile[] = "InputMappedFile::open: (h_file_mapping == NULL)";
const char kNoMapping[] = "InputMappedFile::open: (pointer == NULL)";

AnsiString lower(const AnsiString& s) { return rtl::AnsiLowerCase(s); }

// The bare file name: after the last separator of either kind.
AnsiString file_part(const AnsiString& path) {
    std::size_t sep = path.find_last_of("/\\");
    return sep == AnsiString::npos ? path : path.substr(sep + 1);
}

AnsiString extension_of(const AnsiString& path) {
    AnsiString name = file_part(path);
    std::size_t dot = name.rfind('.');
    return dot == AnsiString::npos ? AnsiString() : lower(name.substr(dot));
}

// Pieces in which a data file is read; far more than BlockScanner::lookahead.
constexpr std::int64_t kReadChunk = 1 << 20;

void open_or_throw(os::File& file, const AnsiString& name, os::File::Mode mode, bool lock) {
    switch (file.open(name, mode, lock)) {
        case os::File::Status::ok: return;
        case os::File::Status::not_found: throw lib::io::FileError(kNotFound, name, file.last_error());
        case os::File::Status::cannot_open: throw lib::io::FileError(kCannotOpen, name, file.last_error());
        case os::File::Status::cannot_lock: throw lib::io::FileError(kCannotLock, name, file.last_error());
    }
}

// A stream into the replacement of a file, gathered into large writes.
class ReplacementSink : public lib::io::BinaryOutputStream {
public:
    explicit ReplacementSink(const AnsiString& name) : name_(name) {
        if (!file_.create(name)) {
            int err = file_.last_error();
            throw lib::io::FileError(err == ENOENT || err == ENOTDIR ? kNotFound : kCannotWrite, name, err);
        }
        buffer_.reserve(kChunk);
    }
    void write(const char* buffer, unsigned count) override {
        buffer_.append(buffer, count);
        if (buffer_.size() >= kChunk) flush();
    }
    // The new content takes the place of the file; its time and size as
    // written, for the table to compare later.
    void commit(os::FILETIME& written, std::int64_t& size) {
        flush();
        if (!file_.commit()) throw lib::io::FileError(kCannotWrite, name_, file_.last_error());
        written = file_.written();
        size = file_.size();
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;

    void flush() {
        if (!buffer_.empty() && !file_.write(buffer_.data(), buffer_.size()))
            throw lib::io::FileError(kCannotWrite, name_, file_.last_error());
        buffer_.clear();
    }

    AnsiString name_;
    os::ReplacementFile file_;
    std::string buffer_;
};

// A data file open as a reader, its bytes mapped. Held for a rewrite (with
// the whole-file lock, which rewrites always take so that two of them never
// run on one file), no station program can write the file until it is let
// go: the share rule keeps writers out while any reader holds it.
class HeldFile {
public:
    // False when the file does not exist and missing_ok; every other failure
    // throws the FileError of the open. Without map only the file is held.
    bool open(const AnsiString& name, bool lock, bool missing_ok, bool map = true) {
        try {
            file_.open(name, lib::io::ot_read, lock);
        } catch (const lib::io::FileError& e) {
            if (missing_ok && (e.error_code() == ENOENT || e.error_code() == ENOTDIR)) return false;
            throw;
        }
        file_.get_time(nullptr, nullptr, &write_time_);
        std::int64_t size = file_.get_real_size();
        if (size > 0 && map) {
            if (static_cast<std::uint64_t>(size) > SIZE_MAX ||
                !view_.map(file_.os_file(), static_cast<std::size_t>(size), false))
                throw lib::io::FileError(kNoMapping, name, view_.last_error());
        }
        size_ = size;
        return true;
    }

    const char* data() const { return view_.data(); }
    std::size_t size() const { return static_cast<std::size_t>(size_); }
    const os::FILETIME& write_time() const { return write_time_; }

private:
    lib::io::OSFile file_;
    os::Mapping view_;  // dropped before the file (members go in reverse)
    std::int64_t size_ = 0;
    os::FILETIME write_time_;
};

// The new file's time and size as the table will compare them later.
void stat_file(const AnsiString& name, os::FILETIME& time, std::int64_t& size) {
    lib::get_file_times(name, nullptr, &time);
    size = lib::get_file_size(name);
}

}  // namespace

struct FileStorage::ReadState {
    bool text_only = false;
    // Only records and headers: a merge of what another program appended.
    bool records_only = false;
    std::size_t total = 0;  // bytes of the data, for sizing
    // Column of each parameter of the current header.
    std::array<int, max_params> map{};
    int count = 0;
    // False after a header that was refused, until the next good one: the
    // records in between have no columns to go to.
    bool header_ok = true;
    bool identity = true;  // map[i] == i for every parameter
    bool mismatch = false;
    bool damaged = false;
    bool columns_grew = false;
    std::vector<AnsiString> messages;
    std::unordered_map<std::string, int> columns;  // lower-cased global name -> column
    // Reading on where an earlier read ended: a block cut short at the end
    // is one its writer is still writing, no damage.
    bool appending = false;
    std::size_t base = 0;       // the file offset the scanned data start at
    std::size_t block_end = 0;  // the file offset after the last whole block
    // Reading in windows: once the records take this many bytes, `take` is
    // given the table and the records go (0: every record is kept).
    std::size_t window_bytes = 0;
    const std::function<void()>* take = nullptr;
};

void FileStorage::add_warning(const AnsiString& text) { warnings_.push_back(text); }

void FileStorage::fit_records() {
    // A record added with more values than there are columns keeps them, as
    // before the columns grew.
    const std::size_t n = params_.size();
    records_.widen(n);
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (records_[i].values.size() < n) FileStorageRows::resize(records_[i], n);
}

bool FileStorage::add_blocks(const char* data, std::size_t size, bool text_only) {
    ReadState state;
    state.text_only = text_only;
    read_all(state, data, size);
    return true;
}

void FileStorage::begin_read(ReadState& state, std::size_t total) {
    state.total = total;
    for (std::size_t i = 0; i < params_.size(); ++i)
        state.columns.emplace(lower(params_[i].global_name), static_cast<int>(i));
}

void FileStorage::read_window(ReadState& state, BlockScanner& scanner) {
    Block block;
    while (scanner.next(block)) {
        state.block_end = state.base + block.offset + lib::realtime::block_header_size + std::size_t(block.size);
        if (state.text_only && block.type != lib::realtime::block_text) continue;
        if (state.records_only &&
            (block.type == lib::realtime::block_text || block.type == lib::realtime::block_remark))
            continue;
        try {
            read_block(state, block);
        } catch (const FileStorageException& e) {
            if (e.is_critical()) throw;
            if (std::find(state.messages.begin(), state.messages.end(), e.what()) == state.messages.end())
                state.messages.push_back(e.what());
        }
        if (state.window_bytes > 0 &&
            records_.size() * (sizeof(FileStorageRecord) + 4 * records_.width()) >= state.window_bytes)
            hand_over(state);
    }
}

void FileStorage::hand_over(ReadState& state) {
    if (records_.size() == 0) return;
    (*state.take)();
    // Records made before a header added columns keep their shorter
    // vectors here; the taker reads the missing values as 0, as they would
    // be after the read. Once they are gone, the table holds only part of
    // its file and must never be written back over it.
    outside_window_ += records_.size();
    records_.clear();
    file_numbers_.clear();
}

void FileStorage::end_read(ReadState& state, const BlockScanner& scanner) {
    records_.stop_backing();
    // Records have every column there was when they were made; only a
    // header that added columns leaves the earlier ones short.
    if (state.columns_grew) fit_records();
    for (const auto& m : state.messages) add_warning(m);
    if (state.mismatch) add_warning(kSectorMismatch);
    if (scanner.resynchronised()) add_warning(kResynchronised);
    if (state.damaged) add_warning(kDamagedBlocks);
    if (scanner.torn() && !state.appending) add_warning(kTornBlock);
}

namespace {

// A read that fails part-way still lets the threads backing the table's
// block go at once, not when the table is next read or freed.
struct BackingStops {
    FileStorageRows& rows;
    ~BackingStops() { rows.stop_backing(); }
};

}  // namespace

void FileStorage::read_all(ReadState& state, const char* data, std::size_t size) {
    begin_read(state, size);
    BackingStops stops{records_};
    BlockScanner scanner(data, size);
    read_window(state, scanner);
    end_read(state, scanner);
}

void FileStorage::read_block(ReadState& state, const Block& block) {
    switch (block.type) {
        case lib::realtime::block_record: read_values(state, block.payload); break;
        case lib::realtime::block_params: read_params(state, block); break;
        case lib::realtime::block_text: read_text(block.payload, block.size); break;
        case lib::realtime::block_remark:
            if (!read_remark(block.payload, block.size)) state.damaged = true;
            break;
        case lib::realtime::block_simple_values: read_simple_values(state, block.payload, block.size); break;
        default: break;
    }
}

namespace {

// A value beyond +-1e20 (infinities too, NaN not) marks a record written
// from a broken frame. For a float, x > 1e20 exactly when x >= 1e20f, so the
// test runs on the bit patterns.
constexpr std::uint32_t kLimit = 0x60AD78EC;           // 1e20f
constexpr std::uint32_t kRange = 0x7F800000 - kLimit;  // up to infinity

inline bool beyond(std::uint32_t bits) { return ((bits & 0x7FFFFFFF) - kLimit) <= kRange; }

// Copies n floats from a block (odd addresses) and tells whether any of
// them is beyond +-1e20. This is the inner loop of reading a file, so it
// goes four values at a time in the compiler's vector types.
bool copy_values(float* to, const char* from, int n) {
    typedef std::uint32_t u32x4 __attribute__((vector_size(16)));
    u32x4 bad4 = {0, 0, 0, 0};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        u32x4 bits;
        std::memcpy(&bits, from + 4 * i, sizeof bits);
        std::memcpy(to + i, &bits, sizeof bits);
        bad4 |= (u32x4)(((bits & 0x7FFFFFFF) - kLimit) <= kRange);
    }
    bool bad = (bad4[0] | bad4[1] | bad4[2] | bad4[3]) != 0;
    for (; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, from + 4 * i, 4);
        std::memcpy(to + i, &bits, 4);
        bad |= beyond(bits);
    }
    return bad;
}

}  // namespace

void FileStorage::read_values(ReadState& state, const char* p) {
    // The scanner has checked that the block holds 18 + 4 * count bytes.
    const int n = static_cast<unsigned char>(p[lib::realtime::record_head_size - 1]);
    if (!state.header_ok || n != state.count) {
        state.mismatch = true;
        return;
    }
    const std::uint32_t t = lib::realtime::load_u32(p);
    if (t < time_from_.get_value() || t > time_to_.get_value()) {
        if (!state.records_only) ++outside_window_;
        return;
    }
    const std::size_t columns = params_.size();
    FileStorageRecord& r = records_.append(columns);
    r.time = t;
    r.depth_z = lib::realtime::load_f32(p + 4);
    r.lag_depth = lib::realtime::load_f32(p + 8);
    r.operation = static_cast<unsigned char>(p[12]);
    r.depth_cur = lib::realtime::load_f32(p + 13);
    const char* v = p + lib::realtime::record_head_size;
    float* values = r.values.data();
    bool out_of_range = false;
    if (state.identity && static_cast<std::size_t>(n) == columns) {
        out_of_range = copy_values(values, v, n);
    } else {
        std::fill_n(values, columns, 0.0f);
        for (int i = 0; i < n; ++i) {
            std::uint32_t bits = lib::realtime::load_u32(v + 4 * i);
            out_of_range |= beyond(bits);
            std::memcpy(&values[state.map[static_cast<std::size_t>(i)]], &bits, 4);
        }
    }
    // None of the values of a record from a broken frame can be trusted.
    if (out_of_range) std::fill_n(values, columns, 0.0f);
}

FileStorage::ParamsBlock FileStorage::parse_params_block(const char* payload, int size,
                                                         std::vector<FileStorageParam>& params) {
    PayloadReader in(payload, size);
    const int count = in.u8();
    if (count > max_params) return ParamsBlock::too_many;
    params.assign(static_cast<std::size_t>(count), FileStorageParam{});
    for (auto& p : params) {
        p.name = in.string();
        p.units = in.string();
        p.short_name = in.string();
        p.global_name = in.string();
        p.lower_bound = in.f32();
        p.upper_bound = in.f32();
    }
    return in.failed() ? ParamsBlock::damaged : ParamsBlock::ok;
}

void FileStorage::read_params(ReadState& state, const Block& block) {
    state.header_ok = false;
    std::vector<FileStorageParam> params;
    const ParamsBlock parsed = parse_params_block(block.payload, block.size, params);
    if (parsed == ParamsBlock::too_many) throw FileStorageException(kTooManyParams, false);
    if (parsed == ParamsBlock::damaged) {
        state.damaged = true;
        return;
    }
    const std::size_t at = state.base + block.offset;
    const std::size_t left = state.total > at ? state.total - at : 0;
    apply_params(state, params, left);
}

void FileStorage::apply_params(ReadState& state, const std::vector<FileStorageParam>& params, std::size_t left) {
    const int count = static_cast<int>(params.size());
    // A header that would take the table past its column limit is refused
    // whole, before any of its parameters is added.
    std::vector<std::string> keys(params.size());
    std::vector<std::string> fresh;
    for (std::size_t i = 0; i < params.size(); ++i) {
        keys[i] = lower(params[i].global_name);
        if (!state.columns.count(keys[i]) && std::find(fresh.begin(), fresh.end(), keys[i]) == fresh.end())
            fresh.push_back(keys[i]);
    }
    if (params_.size() + fresh.size() > static_cast<std::size_t>(max_params))
        throw FileStorageException(kTooManyParams, false);
    state.identity = true;
    for (std::size_t i = 0; i < params.size(); ++i) {
        auto found = state.columns.find(keys[i]);
        int column;
        if (found != state.columns.end()) {
            column = found->second;
        } else {
            params_.push_back(params[i]);
            if (records_.size() > 0) state.columns_grew = true;
            column = static_cast<int>(params_.size() - 1);
            state.columns.emplace(keys[i], column);
        }
        state.map[i] = column;
        state.identity &= column == static_cast<int>(i);
    }
    state.count = count;
    state.header_ok = true;
    // Records made from now on have a value per column; room for as many
    // of them as the rest of the data could hold.
    records_.widen(params_.size());
    if (!state.text_only) {
        std::size_t room = left / (lib::realtime::block_header_size + lib::realtime::record_head_size +
                                   4 * static_cast<std::size_t>(count));
        // A window holds its own records and no more.
        if (state.window_bytes > 0)
            room = std::min(room, state.window_bytes / (sizeof(FileStorageRecord) + 4 * params_.size()) + 1);
        records_.reserve(room);
        // Only a read that keeps every record fills the room made for the
        // rest of the file; a narrower window backs what it writes.
        if (time_from_.get_value() == 0 && time_to_.get_value() == 0xFFFFFFFFu && !state.records_only &&
            state.window_bytes == 0)
            records_.back_in_background();
    }
}

void FileStorage::read_text(const char* payload, int size) {
    if (size < 1 || payload[size - 1] != '\0') throw FileStorageException(kDamagedText, false);
    rtl::StringList block;
    block.SetText(lib::io::from_disk_text(std::string_view(payload)));
    for (const auto& line : block) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        AnsiString name = line.substr(0, eq);
        AnsiString value = FileStorageTextValues::check_inverted_commas(block.Values(name));
        if (lower(value) == kNotSet) continue;
        text_values_.set_text(name, value);
    }
}

bool FileStorage::read_remark(const char* payload, int size) {
    PayloadReader in(payload, size);
    FileStorageRemark remark;
    remark.time = in.u32();
    remark.depth = in.f32();
    remark.text = in.string();
    if (in.failed()) return false;  // its text runs past the block
    remarks_.push_back(std::move(remark));
    return true;
}

void FileStorage::read_simple_values(ReadState& state, const char* p, int size) {
    // The scanner has checked that size is 4 + 4 * n.
    const int n = (size - 4) / 4;
    if (!state.header_ok || n != state.count) {
        state.mismatch = true;
        return;
    }
    const std::size_t columns = params_.size();
    FileStorageRecord& r = records_.append(columns);
    r.time = lib::realtime::load_u32(p);
    r.operation = 255;
    r.valid = false;
    float* values = r.values.data();
    std::fill_n(values, columns, 0.0f);
    for (int i = 0; i < n; ++i) values[state.map[static_cast<std::size_t>(i)]] = lib::realtime::load_f32(p + 4 + 4 * i);
}

// --- the block readers, one block at a time ---

void FileStorage::ReadStateDeleter::operator()(ReadState* state) const { delete state; }

FileStorage::ReadState& FileStorage::stream_state() {
    if (!stream_state_) stream_state_.reset(new ReadState);
    return *stream_state_;
}

bool FileStorage::load_next_block(lib::io::InputMappedFile& in, int type, int size, bool& sector_mismatch) {
    if (size <= 0) return false;
    switch (type) {
        case lib::realtime::block_record: add_values(in, sector_mismatch, size); return true;
        case lib::realtime::block_params: load_params(in); return true;
        case lib::realtime::block_text: load_text_values(in, size); return true;
        case lib::realtime::block_remark: load_remark(in); return true;
        case lib::realtime::block_simple_values: load_simple_values(in); return true;
        default: return false;
    }
}

void FileStorage::add_values(lib::io::InputMappedFile& in, bool& sector_mismatch, int size) {
    ReadState& state = stream_state();
    constexpr int head = lib::realtime::record_head_size;
    char head_bytes[head];
    in.read(head_bytes, head);
    const int count = static_cast<unsigned char>(head_bytes[head - 1]);
    if (!state.header_ok || count != state.count) {
        sector_mismatch = true;
        in.skip(4 * count);
        return;
    }
    // The values the block holds by its size; the record takes the header's
    // count of them, missing ones 0.
    const int n = size > head ? (size - head) / 4 : 0;
    std::vector<char> payload(static_cast<std::size_t>(head + 4 * std::max(n, count)), '\0');
    std::memcpy(payload.data(), head_bytes, head);
    in.read(payload.data() + head, static_cast<unsigned>(4 * n));
    state.mismatch = false;
    read_values(state, payload.data());
    if (state.mismatch) sector_mismatch = true;
}

void FileStorage::add_values(lib::io::InputMappedFile& in, bool& sector_mismatch) {
    // The count is the head's last byte: read the head, step back, and take
    // the record at the size it gives.
    const std::int64_t start = in.get_pointer();
    char head_bytes[lib::realtime::record_head_size];
    in.read(head_bytes, sizeof head_bytes);
    in.set_pointer(start, lib::io::st_begin);
    const int count = static_cast<unsigned char>(head_bytes[sizeof head_bytes - 1]);
    add_values(in, sector_mismatch, lib::realtime::record_head_size + 4 * count);
}

void FileStorage::load_params(lib::io::InputMappedFile& in) {
    ReadState& state = stream_state();
    char count_byte;
    in >> count_byte;
    const int count = static_cast<unsigned char>(count_byte);
    if (count > max_params) {
        state.header_ok = false;
        throw FileStorageException(kTooManyParams, false);
    }
    state.header_ok = false;
    std::vector<FileStorageParam> params(static_cast<std::size_t>(count));
    for (auto& p : params) in >> p.name >> p.units >> p.short_name >> p.global_name >> p.lower_bound >> p.upper_bound;
    state.columns.clear();
    for (std::size_t i = 0; i < params_.size(); ++i)
        state.columns.emplace(lower(params_[i].global_name), static_cast<int>(i));
    state.columns_grew = false;
    apply_params(state, params, 0);
    if (state.columns_grew) {
        fit_records();
        state.columns_grew = false;
    }
}

void FileStorage::load_text_values(lib::io::InputMappedFile& in, int size) {
    if (size <= 0) throw FileStorageException(kDamagedText, false);
    std::vector<char> text(static_cast<std::size_t>(size));
    in.read(text.data(), static_cast<unsigned>(size));
    read_text(text.data(), size);
}

void FileStorage::load_remark(lib::io::InputMappedFile& in) {
    FileStorageRemark remark;
    in >> remark.time >> remark.depth >> remark.text;
    remarks_.push_back(std::move(remark));
}

void FileStorage::load_simple_values(lib::io::InputMappedFile& in) {
    ReadState& state = stream_state();
    const int n = state.header_ok ? state.count : 0;
    std::vector<char> payload(static_cast<std::size_t>(4 + 4 * n));
    in.read(payload.data(), static_cast<unsigned>(payload.size()));
    read_simple_values(state, payload.data(), static_cast<int>(payload.size()));
}

// --- reading files ---

bool FileStorage::nolocking_file_exists(const AnsiString& name) {
    std::string path = os::native_path(name);
    std::size_t sep = path.rfind('/');
    std::string marker = (sep == std::string::npos ? std::string() : path.substr(0, sep + 1)) + ".nolocking";
    std::error_code ec;
    return std::filesystem::exists(marker, ec);
}

bool FileStorage::add_file(const AnsiString& name, bool text_only) {
    AnsiString ext = extension_of(name);
    bool result;
    if (ext == ".realdep" || ext == ".reallag" || ext == ".realtim" || ext == ".rtm") {
        result = add_new_file(name, text_only);
        file_kind_ = 1;
    } else if (ext == ".dep" || ext == ".ldp" || ext == ".tim") {
        result = add_old_file(name, text_only);
        file_kind_ = 0;
        stat_file(name, file_time_, file_size_);
    } else {
        throw FileStorageException(kBadExtension + ext, true);
    }
    return result;
}

bool FileStorage::add_new_file(const AnsiString& name, bool text_only) {
    std::unique_ptr<ReadState, ReadStateDeleter> state(new ReadState);
    state->text_only = text_only;
    std::int64_t end = 0;
    std::uint64_t inode = 0;
    read_new_file(name, 0, *state, end, inode);
    // What a later add_appended goes on from: the header in force at the
    // end of this file and where its last whole block ended.
    if (!text_only) {
        follow_state_ = std::move(state);
        follow_name_ = name;
        follow_end_ = end;
        follow_inode_ = inode;
    }
    return true;
}

int FileStorage::add_appended(const AnsiString& name) {
    if (!follow_state_ || follow_name_ != name) {
        const int before = get_data_size();
        add_new_file(name, false);
        return get_data_size() - before;
    }
    const int before = get_data_size();
    std::int64_t end = follow_end_;
    std::uint64_t inode = follow_inode_;
    follow_state_->appending = true;
    if (!read_new_file(name, follow_end_, *follow_state_, end, inode)) return -1;
    follow_end_ = end;
    return get_data_size() - before;
}

bool FileStorage::read_new_file(const AnsiString& name, std::int64_t from, ReadState& state, std::int64_t& end,
                                std::uint64_t& inode) {
    os::File file;
    open_or_throw(file, name, os::File::Mode::read, !nolocking_file_exists(name));
    const std::int64_t size = file.size();
    if (size < 0) throw lib::io::FileError(kCannotRead, name, file.last_error());
    if (size == 0 && from == 0) throw lib::io::FileError(kEmptyFile, name, 0);
    const os::FileInfo info = file.info();
    // Another file under the name (a rewrite renames its replacement over
    // it) or one cut short: what was read of it says nothing of this one.
    if (from > 0 && (size < from || (info.exists && info.inode != inode))) return false;
    inode = info.exists ? info.inode : 0;
    // The time and size of the bytes read, taken while no writer can touch
    // them, so a later append is never mistaken for what this table holds.
    os::FILETIME written;
    if (!file.times(nullptr, nullptr, &written)) throw lib::io::FileError(kCannotRead, name, file.last_error());
    if (size == from) return true;
    if (from > 0 && file.seek(from, SEEK_SET) != from) throw lib::io::FileError(kCannotRead, name, file.last_error());

    // The file is read in large pieces, the next one while this one is
    // decoded; blocks that straddle two pieces are carried over.
    state.base = static_cast<std::size_t>(from);
    state.block_end = state.base;
    begin_read(state, static_cast<std::size_t>(size));
    BackingStops stops{records_};
    lib::realtime::ReadAhead reader(file, size - from, kReadChunk, BlockScanner::lookahead);
    BlockScanner scanner;
    lib::realtime::ReadAhead::Piece piece;
    const char* keep = nullptr;
    std::size_t kept = 0;
    for (;;) {
        if (!reader.next(keep, kept, piece)) throw lib::io::FileError(kCannotRead, name, reader.error());
        scanner.window(piece.data, piece.size, piece.last);
        read_window(state, scanner);
        if (piece.last) break;
        keep = piece.data + scanner.position();
        kept = piece.size - scanner.position();
    }
    end_read(state, scanner);
    // A block cut short at the end is one its writer has not finished yet:
    // the next read starts at it.
    end = scanner.torn() ? static_cast<std::int64_t>(state.block_end) : size;
    state.mismatch = state.damaged = state.columns_grew = false;
    state.messages.clear();
    file_time_ = written;
    file_size_ = size;
    return true;
}

bool FileStorage::read_in_windows(const AnsiString& name, std::size_t window_bytes,
                                  const std::function<void()>& take) {
    const AnsiString ext = extension_of(name);
    if (ext == ".dep" || ext == ".ldp" || ext == ".tim") {
        file_kind_ = 0;
        stat_file(name, file_time_, file_size_);
        return add_old_file(name, false);
    }
    if (ext != ".realdep" && ext != ".reallag" && ext != ".realtim" && ext != ".rtm")
        throw FileStorageException(kBadExtension + ext, true);
    // Records already in the table go first, as they come before the file's.
    ReadState state;
    state.window_bytes = std::max<std::size_t>(window_bytes, 1);
    state.take = &take;
    hand_over(state);
    std::int64_t end = 0;
    std::uint64_t inode = 0;
    read_new_file(name, 0, state, end, inode);
    hand_over(state);
    file_kind_ = 1;
    // What was read is gone from the table: nothing to follow or write back.
    follow_state_.reset();
    return true;
}

bool FileStorage::add_old_file(const AnsiString&, bool) { return false; }

void FileStorage::add_files_by_mask(const char* mask) {
    if (!mask) return;
    const std::string m = os::native_path(mask);
    const std::size_t sep = m.rfind('/');
    const AnsiString folder = sep == std::string::npos ? AnsiString() : m.substr(0, sep + 1);
    std::vector<AnsiString> names;
    for (const auto& e : os::find_entries(m, os::fa_any))
        if (!(e.attributes & os::fa_directory)) names.push_back(e.name);
    std::stable_sort(names.begin(), names.end(),
                     [](const AnsiString& a, const AnsiString& b) { return rtl::AnsiCompareText(a, b) < 0; });
    for (const auto& name : names) {
        if (lower(name).find(".fast.realtim") != AnsiString::npos) continue;
        add_file(folder + name, false);
    }
}

// --- writing ---

void FileStorage::save_data_block(int type, lib::io::BinaryMemoryOutputStream& payload,
                                  lib::io::BinaryOutputStream& out) {
    BlockEncoder::write_block(out, type, payload.get_buffer(), payload.get_size());
}

void FileStorage::save_params(lib::io::BinaryMemoryOutputStream& payload) {
    std::string bytes;
    BlockEncoder::append_params_payload(bytes, params_.data(), params_.size());
    payload.write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

void FileStorage::save_text_values(lib::io::BinaryOutputStream& out, const FileStorageTextValues& values) {
    BlockEncoder encoder;
    encoder.write_text(out, values.get_full_text());
}

void FileStorage::save_all_to_stream(lib::io::BinaryOutputStream& out, int file_number) {
    BlockEncoder encoder;
    encoder.write_params(out, params_);
    const std::size_t columns = params_.size();
    std::vector<float> fitted;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (file_number != -1 && get_file_number(static_cast<int>(i)) != file_number) continue;
        const FileStorageRecord& r = records_[i];
        // A record always carries exactly one value per column, or the
        // readers would drop it as belonging to another header.
        const float* values = r.values.data();
        if (r.values.size() != columns) {
            fitted.assign(columns, 0.0f);
            std::copy_n(r.values.begin(), std::min(columns, r.values.size()), fitted.begin());
            values = fitted.data();
        }
        encoder.write_record(out, r.time.get_value(), r.depth_z, r.depth_cur, r.lag_depth, r.operation, values,
                             columns);
    }
    encoder.write_text(out, text_values_.get_full_text());
}

std::string FileStorage::encode_all(int file_number) {
    std::string bytes;
    lib::io::BinaryMemoryOutputStream sink(bytes);
    save_all_to_stream(sink, file_number);
    return bytes;
}

void FileStorage::save_with_new_format(const AnsiString& name, int file_number) {
    // Encoded first: a table that cannot be written leaves the file alone.
    const std::string bytes = encode_all(file_number);
    HeldFile held;
    held.open(name, true, true, false);
    ReplacementSink out(name);
    out.write(bytes.data(), static_cast<unsigned>(bytes.size()));
    out.commit(file_time_, file_size_);
}

void FileStorage::save_all(const AnsiString& name, bool text_only) {
    if (file_kind_ != 1) return;
    if (text_only) {
        std::vector<int> types{lib::realtime::block_text};
        rewrite_without(name, types, true);
        return;
    }
    if (outside_window_ > 0) throw FileStorageException(kPartialTable + name, true);
    save_with_new_format(name, -1);
}

void FileStorage::smart_save_all(const AnsiString& name, bool merge_only) {
    // Whatever window the caller read with, the table leaves here open to
    // every time: the merge below narrows it for itself.
    struct WholeWindow {
        FileStorage& table;
        ~WholeWindow() {
            table.time_from_ = lib::unix_time::min();
            table.time_to_ = lib::unix_time::max();
        }
    } whole_window{*this};
    // The file stays held from the comparison to the end of the rewrite, so
    // nothing another program appends can fall between the two.
    HeldFile held;
    held.open(name, true, false);
    const bool changed = !(held.write_time() == file_time_) || static_cast<std::int64_t>(held.size()) != file_size_;
    const std::size_t held_records = records_.size();
    const bool at_end =
        held_records > 0 && records_[held_records - 1].time.get_value() == lib::unix_time::max().get_value();
    if (changed && !at_end && held.size() > 0) {
        // Only the records newer than the table's last one; the table's own
        // text values and remarks stay as they are.
        time_from_ = held_records == 0 ? 0u : records_[held_records - 1].time.get_value() + 1;
        time_to_ = lib::unix_time::max();
        ReadState state;
        state.records_only = true;
        read_all(state, held.data(), held.size());
        file_kind_ = 1;
    }
    file_time_ = held.write_time();
    file_size_ = static_cast<std::int64_t>(held.size());
    if (merge_only || file_kind_ != 1) return;
    if (outside_window_ > 0) throw FileStorageException(kPartialTable + name, true);
    const std::string bytes = encode_all(-1);
    ReplacementSink out(name);
    out.write(bytes.data(), static_cast<unsigned>(bytes.size()));
    out.commit(file_time_, file_size_);
}

void FileStorage::exclude_records(const AnsiString& name, std::vector<int>& types) {
    AnsiString ext = extension_of(name);
    if (ext != ".realtim" && ext != ".realdep" && ext != ".reallag") return;
    rewrite_without(name, types, false);
}

void FileStorage::rewrite_without(const AnsiString& name, const std::vector<int>& types, bool with_text) {
    HeldFile held;
    if (!held.open(name, true, true) && !with_text) return;
    ReplacementSink out(name);
    BlockScanner scanner(held.data(), held.size());
    Block block;
    while (scanner.next(block)) {
        if (std::find(types.begin(), types.end(), block.type) != types.end()) continue;
        out.write(block.payload - lib::realtime::block_header_size,
                  static_cast<unsigned>(lib::realtime::block_header_size + block.size));
    }
    // Copying only the sound blocks would quietly cut the damaged stretches
    // out of the file; that is for the operator to decide, not a side effect
    // of removing the text. The replacement is dropped unused.
    if (scanner.resynchronised() || scanner.torn()) throw FileStorageException(kDamagedFile + name, true);
    if (with_text) save_text_values(out, text_values_);
    os::FILETIME written;
    std::int64_t size;
    out.commit(written, size);
    // The table follows the file only when it held all of it before: records
    // another program appended since stay to be merged by smart_save_all.
    if (with_text && held.write_time() == file_time_ && static_cast<std::int64_t>(held.size()) == file_size_) {
        file_time_ = written;
        file_size_ = size;
    }
}

void FileStorage::append_text_values(const AnsiString& name, FileStorageTextValues& values) {
    std::string bytes;
    lib::io::BinaryMemoryOutputStream sink(bytes);
    save_text_values(sink, values);
    os::File file;
    open_or_throw(file, name, os::File::Mode::write_append, !nolocking_file_exists(name));
    const std::int64_t before = file.size();
    if (before < 0 || !file.write(bytes.data(), bytes.size())) {
        int err = file.last_error();
        // Half a block at the end would be read as a torn block; the file
        // goes back to where it ended.
        if (before >= 0) file.truncate(before);
        throw lib::io::FileError(kCannotWrite, name, err);
    }
}

void FileStorage::old_save_values(lib::io::BinaryOutputStream& out) {
    const std::size_t columns = std::min<std::size_t>(params_.size(), 32);
    std::array<char, 145> rec;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const FileStorageRecord& r = records_[i];
        if (!r.valid) continue;
        rec.fill(0);
        rec[0] = static_cast<char>(r.operation);
        std::uint32_t t = r.time.get_value();
        std::memcpy(&rec[1], &t, 4);
        std::memcpy(&rec[5], &r.depth_z, 4);
        std::memcpy(&rec[9], &r.depth_cur, 4);
        std::memcpy(&rec[13], r.values.data(), std::min(columns, r.values.size()) * 4);
        out.write(rec.data(), static_cast<unsigned>(rec.size()));
    }
}
