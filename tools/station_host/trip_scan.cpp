#include "tools/station_host/trip_scan.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "library/storage/read_ahead.h"
#include "library/storage/file_storage_warnings.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/file.h"
#include "platform/rtl/text.h"

namespace station_host {

namespace rt = lib::realtime;

namespace {

const char* const kTooManyParams = file_storage_warnings::too_many_params;
const char* const kSectorMismatch = file_storage_warnings::sector_mismatch;
const char* const kResynchronised = file_storage_warnings::resynchronised;
const char* const kDamagedBlocks = file_storage_warnings::damaged_blocks;
const char* const kTornBlock = file_storage_warnings::torn_block;

constexpr std::size_t kPiece = 1 << 20;

// A value beyond +-1e20 (infinities too, NaN not), on the float's bits.
inline bool beyond(std::uint32_t bits) {
    constexpr std::uint32_t limit = 0x60AD78EC;  // 1e20f
    return ((bits & 0x7FFFFFFF) - limit) <= 0x7F800000 - limit;
}

void note(std::vector<std::string>& to, const std::string& text) {
    if (std::find(to.begin(), to.end(), text) == to.end()) to.push_back(text);
}

}  // namespace

struct TripScan::State {
    const std::function<void(const ScannedRecord&)>* record = nullptr;
    std::vector<int> map;  // column of each parameter of the current header
    bool header_ok = true;
    bool mismatch = false;
    bool damaged = false;
    bool record_after_end = true;
    bool end_seen = false;
    std::vector<float> row;
};

TripScan::TripScan() : texts_(std::make_unique<FileStorage>()), scratch_(std::make_unique<FileStorage>()) {}

TripScan::~TripScan() = default;

void TripScan::read(const std::string& path, const std::function<void(const ScannedRecord&)>& record,
                    std::int64_t limit) {
    warnings_.clear();
    ends_closed_ = false;
    bytes_ = 0;
    os::File file;
    switch (file.open(path, os::File::Mode::read, !FileStorage::nolocking_file_exists(path))) {
        case os::File::Status::ok: break;
        case os::File::Status::not_found: throw std::runtime_error("'" + path + "' does not exist");
        case os::File::Status::cannot_open:
            throw std::runtime_error("cannot open '" + path + "': " + std::strerror(file.last_error()));
        case os::File::Status::cannot_lock: throw std::runtime_error("'" + path + "' stays locked by another program");
    }
    std::int64_t size = file.size();
    if (size < 0) throw std::runtime_error("cannot read '" + path + "': " + std::strerror(file.last_error()));
    if (limit >= 0) size = std::min(size, limit);
    bytes_ = size;
    if (size == 0) return;

    State state;
    state.record = &record;
    rt::ReadAhead reader(file, size, kPiece, rt::BlockScanner::lookahead);
    rt::BlockScanner scanner;
    rt::ReadAhead::Piece piece;
    const char* keep = nullptr;
    std::size_t kept = 0;
    rt::Block b;
    for (;;) {
        if (!reader.next(keep, kept, piece))
            throw std::runtime_error("cannot read '" + path + "': " + std::strerror(reader.error()));
        scanner.window(piece.data, piece.size, piece.last);
        while (scanner.next(b)) block(state, piece.data, b.type, b.payload, b.size);
        if (piece.last) break;
        keep = piece.data + scanner.position();
        kept = piece.size - scanner.position();
    }
    if (state.mismatch) note(warnings_, kSectorMismatch);
    if (scanner.resynchronised()) note(warnings_, kResynchronised);
    if (state.damaged) note(warnings_, kDamagedBlocks);
    if (scanner.torn()) note(warnings_, kTornBlock);
    ends_closed_ = state.end_seen && !state.record_after_end;
}

void TripScan::block(State& state, const char*, int type, const char* payload, int size) {
    switch (type) {
        case rt::block_params: {
            state.header_ok = false;
            std::vector<FileStorageParam> params;
            const FileStorage::ParamsBlock parsed = FileStorage::parse_params_block(payload, size, params);
            if (parsed == FileStorage::ParamsBlock::too_many) {
                note(warnings_, kTooManyParams);
                return;
            }
            if (parsed == FileStorage::ParamsBlock::damaged) {
                state.damaged = true;
                return;
            }
            // A header that would take the columns past their limit is
            // refused whole, as the table refuses it.
            std::vector<std::string> keys(params.size()), fresh;
            for (std::size_t i = 0; i < params.size(); ++i) {
                keys[i] = rtl::AnsiLowerCase(params[i].global_name);
                if (std::find(keys_.begin(), keys_.end(), keys[i]) == keys_.end() &&
                    std::find(fresh.begin(), fresh.end(), keys[i]) == fresh.end())
                    fresh.push_back(keys[i]);
            }
            if (columns_.size() + fresh.size() > std::size_t(FileStorage::max_params)) {
                note(warnings_, kTooManyParams);
                return;
            }
            state.map.assign(params.size(), 0);
            for (std::size_t i = 0; i < params.size(); ++i) {
                auto at = std::find(keys_.begin(), keys_.end(), keys[i]);
                if (at == keys_.end()) {
                    columns_.push_back(params[i]);
                    keys_.push_back(keys[i]);
                    at = keys_.end() - 1;
                }
                state.map[i] = int(at - keys_.begin());
            }
            state.header_ok = true;
            return;
        }
        case rt::block_record:
        case rt::block_simple_values: {
            const bool simple = type == rt::block_simple_values;
            // The scanner has checked a record's size against its count, and
            // that simple values are a time and whole values.
            const int n = simple ? (size - 4) / 4 : static_cast<unsigned char>(payload[rt::record_head_size - 1]);
            if (!state.header_ok || std::size_t(n) != state.map.size()) {
                state.mismatch = true;
                return;
            }
            ScannedRecord r;
            r.time = rt::load_u32(payload);
            r.simple = simple;
            if (!simple) {
                r.depth_z = rt::load_f32(payload + 4);
                r.lag_depth = rt::load_f32(payload + 8);
                r.operation = static_cast<unsigned char>(payload[12]);
                r.depth_cur = rt::load_f32(payload + 13);
            }
            state.row.assign(columns_.size(), 0.0f);
            const char* v = payload + (simple ? 4 : rt::record_head_size);
            bool out_of_range = false;
            for (int i = 0; i < n; ++i) {
                const std::uint32_t bits = rt::load_u32(v + 4 * i);
                out_of_range |= !simple && beyond(bits);
                std::memcpy(&state.row[std::size_t(state.map[std::size_t(i)])], &bits, 4);
            }
            // None of the values of a record from a broken frame can be trusted.
            if (out_of_range) std::fill(state.row.begin(), state.row.end(), 0.0f);
            r.values = state.row.data();
            r.count = state.row.size();
            state.record_after_end = true;
            if (*state.record) (*state.record)(r);
            return;
        }
        case rt::block_text: {
            scratch_->clear();
            scratch_->clear_warnings();
            scratch_->add_blocks(payload - rt::block_header_size, std::size_t(size) + rt::block_header_size, true);
            std::vector<AnsiString> w;
            scratch_->get_warnings(w);
            for (const auto& text : w) note(warnings_, text);
            if (!w.empty()) return;
            texts_->add_blocks(payload - rt::block_header_size, std::size_t(size) + rt::block_header_size, true);
            state.end_seen = !scratch_->text_values().get_text("конеч_время").empty();
            state.record_after_end = false;
            return;
        }
        case rt::block_remark: {
            rt::PayloadReader in(payload, size);
            in.u32();
            in.f32();
            in.string();
            if (in.failed()) state.damaged = true;
            return;
        }
        default: return;
    }
}

double TripClock::next(std::uint32_t t) {
    if (!started_) {
        started_ = true;
        last_ = t;
        return 0;
    }
    if (t >= last_) {
        elapsed_ += t - last_;
    } else {
        elapsed_ += step_;
        largest_back_ = std::max(largest_back_, last_ - t);
    }
    last_ = t;
    return double(elapsed_);
}

}  // namespace station_host
