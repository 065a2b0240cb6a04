#include "library/storage/rt_blocks.h"

#include "library/io/disk_text.h"
#include "platform/os/file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace lib::realtime {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the block files are little-endian; stores below copy memory images");

const char kTooManyParams[] = "слишком много параметров";

// A string's disk form as the block holds it: Windows-1251, cut at a 0 it
// may hold.
std::string disk_string(const AnsiString& text) {
    std::string bytes = lib::io::to_disk_text(text);
    std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    return bytes;
}

void put_u32(std::string& buf, std::uint32_t v) { buf.append(reinterpret_cast<const char*>(&v), 4); }
void put_f32(std::string& buf, float v) { buf.append(reinterpret_cast<const char*>(&v), 4); }
void put_u8(std::string& buf, unsigned char v) { buf.push_back(static_cast<char>(v)); }
void put_string(std::string& buf, const AnsiString& text) {
    buf += disk_string(text);
    buf.push_back('\0');
}

[[noreturn]] void refuse(const std::string& what) { throw FileStorageException(what, true); }

void check_payload(std::size_t size) {
    if (size < 1 || size > static_cast<std::size_t>(max_payload_size))
        refuse("Блок данных длиной " + std::to_string(size) +
               " байт не может быть записан: допустимо от 1 до 32767 байт");
}

void check_count(std::size_t count) {
    if (count > static_cast<std::size_t>(max_block_params)) refuse(kTooManyParams);
}

}  // namespace

BlockEncoder::BlockEncoder() { block_.reserve(128 + block_header_size); }

void BlockEncoder::append_record_payload(std::string& buf, std::uint32_t time, float depth_z, float depth_cur,
                                         float lag_depth, unsigned char operation, const float* values,
                                         std::size_t count) {
    check_count(count);
    put_u32(buf, time);
    put_f32(buf, depth_z);
    put_f32(buf, lag_depth);
    put_u8(buf, operation);
    put_f32(buf, depth_cur);
    put_u8(buf, static_cast<unsigned char>(count));
    if (count > 0) buf.append(reinterpret_cast<const char*>(values), count * 4);
}

void BlockEncoder::append_params_payload(std::string& buf, const FileStorageParam* params, std::size_t count) {
    check_count(count);
    put_u8(buf, static_cast<unsigned char>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const FileStorageParam& p = params[i];
        put_string(buf, p.name);
        put_string(buf, p.units);
        put_string(buf, p.short_name);
        put_string(buf, p.global_name);
        put_f32(buf, p.lower_bound);
        put_f32(buf, p.upper_bound);
    }
}

void BlockEncoder::write_block(lib::io::BinaryOutputStream& out, int type, const char* payload, std::size_t size) {
    check_payload(size);
    std::string block;
    block.reserve(block_header_size + size);
    block.push_back(static_cast<char>(type));
    std::int16_t s = static_cast<std::int16_t>(size);
    block.append(reinterpret_cast<const char*>(&s), 2);
    block.append(payload, size);
    out.write(block.data(), static_cast<unsigned>(block.size()));
}

void BlockEncoder::flush_block(lib::io::BinaryOutputStream& out, int type) {
    std::size_t size = block_.size() - block_header_size;
    check_payload(size);
    block_[0] = static_cast<char>(type);
    std::int16_t s = static_cast<std::int16_t>(size);
    std::memcpy(&block_[1], &s, 2);
    out.write(block_.data(), static_cast<unsigned>(block_.size()));
}

void BlockEncoder::write_record(lib::io::BinaryOutputStream& out, std::uint32_t time, float depth_z, float depth_cur,
                                float lag_depth, unsigned char operation, const float* values, std::size_t count) {
    block_.assign(block_header_size, '\0');
    append_record_payload(block_, time, depth_z, depth_cur, lag_depth, operation, values, count);
    flush_block(out, block_record);
}

void BlockEncoder::write_record(lib::io::BinaryOutputStream& out, const FileStorageItem& item) {
    write_record(out, item.time.get_value(), item.depth_z, item.depth_cur, item.lag_depth, item.operation,
                 item.values.data(), item.values.size());
}

void BlockEncoder::write_params(lib::io::BinaryOutputStream& out, const FileStorageParam* params, std::size_t count) {
    block_.assign(block_header_size, '\0');
    append_params_payload(block_, params, count);
    flush_block(out, block_params);
}

void BlockEncoder::write_text(lib::io::BinaryOutputStream& out, const AnsiString& text) {
    const std::string bytes = disk_string(text);
    const std::size_t limit = max_payload_size - 1;  // room for the 0 byte
    std::size_t start = 0;
    do {
        std::size_t end = bytes.size();
        if (end - start > limit) {
            // The last line end that still fits; a line never straddles two
            // blocks, since each block is read as lines of its own.
            std::size_t cut = bytes.rfind("\r\n", start + limit - 2);
            if (cut == std::string::npos || cut < start)
                refuse("Строка текстовых данных длиннее 32766 байт не может быть записана");
            end = cut + 2;
        }
        block_.assign(block_header_size, '\0');
        block_.append(bytes, start, end - start);
        block_.push_back('\0');
        flush_block(out, block_text);
        start = end;
    } while (start < bytes.size());
}

void BlockEncoder::write_remark(lib::io::BinaryOutputStream& out, std::uint32_t time, float depth,
                                const AnsiString& text) {
    block_.assign(block_header_size, '\0');
    put_u32(block_, time);
    put_f32(block_, depth);
    put_string(block_, text);
    flush_block(out, block_remark);
}

void BlockEncoder::write_simple_values(lib::io::BinaryOutputStream& out, std::uint32_t time, const float* values,
                                       std::size_t count) {
    check_count(count);
    block_.assign(block_header_size, '\0');
    put_u32(block_, time);
    if (count > 0) block_.append(reinterpret_cast<const char*>(values), count * 4);
    flush_block(out, block_simple_values);
}

namespace {

// A sound block header at this offset: its type, size and, for a record,
// its count fit. Kept inside this file so that the scanner's loops have it
// inline: it runs once for every block of every file read.
inline bool sound_block(const char* data, std::size_t size, std::size_t at, int& type, int& block_size) {
    if (at > size || size - at < static_cast<std::size_t>(block_header_size)) return false;
    const char* p = data + at;
    type = static_cast<unsigned char>(p[0]);
    if (type < block_record || type > block_simple_values) return false;
    block_size = load_size(p + 1);
    if (block_size < 1 || static_cast<std::size_t>(block_size) > size - at - block_header_size) return false;
    if (type == block_record) {
        if (block_size < record_head_size) return false;
        int count = static_cast<unsigned char>(p[block_header_size + record_head_size - 1]);
        if (block_size != record_head_size + 4 * count) return false;
    } else if (type == block_simple_values) {
        if (block_size < 4 || block_size % 4 != 0) return false;
    }
    return true;
}

}  // namespace

bool BlockScanner::chain_from(std::size_t at) const {
    for (int n = 0; n < 5; ++n) {
        if (at == size_) return n > 0 && last_;
        int type, block_size;
        if (!sound_block(data_, size_, at, type, block_size)) return false;
        at += block_header_size + static_cast<std::size_t>(block_size);
    }
    return true;
}

void BlockScanner::window(const char* data, std::size_t size, bool last) {
    base_ += pos_;
    data_ = data;
    size_ = size;
    pos_ = 0;
    last_ = last;
}

bool BlockScanner::next(Block& block) {
    for (;;) {
        if (short_window() || (!searching_ && pos_ >= size_)) return false;
        if (!searching_) {
            int type, block_size;
            if (sound_block(data_, size_, pos_, type, block_size)) {
                block.type = type;
                block.size = block_size;
                block.offset = base_ + pos_;
                block.payload = data_ + pos_ + block_header_size;
                pos_ += block_header_size + static_cast<std::size_t>(block_size);
                return true;
            }
            // A block whose header is whole and sound but whose payload runs
            // past the end of the data, or a header cut short, is the last
            // block of an interrupted append, unless sound blocks follow.
            const char* p = data_ + pos_;
            const std::size_t left = size_ - pos_;
            const int t = static_cast<unsigned char>(p[0]);
            torn_candidate_ = last_ && t >= block_record && t <= block_simple_values &&
                              (left < static_cast<std::size_t>(block_header_size) ||
                               load_size(p + 1) > static_cast<int>(left - block_header_size));
            searching_ = true;
            ++pos_;
        }
        for (; pos_ < size_; ++pos_) {
            if (short_window()) return false;
            if (chain_from(pos_)) break;
        }
        searching_ = false;
        if (pos_ < size_) {
            resynchronised_ = true;
            continue;
        }
        if (torn_candidate_)
            torn_ = true;
        else
            resynchronised_ = true;
        return false;
    }
}

bool PayloadReader::take(std::size_t n) {
    if (failed_ || static_cast<std::size_t>(end_ - p_) < n) {
        failed_ = true;
        return false;
    }
    return true;
}

std::uint32_t PayloadReader::u32() {
    if (!take(4)) return 0;
    std::uint32_t v = load_u32(p_);
    p_ += 4;
    return v;
}

float PayloadReader::f32() {
    if (!take(4)) return 0.0f;
    float v = load_f32(p_);
    p_ += 4;
    return v;
}

unsigned char PayloadReader::u8() {
    if (!take(1)) return 0;
    return static_cast<unsigned char>(*p_++);
}

AnsiString PayloadReader::string() {
    if (failed_) return AnsiString();
    const void* zero = std::memchr(p_, 0, static_cast<std::size_t>(end_ - p_));
    if (!zero) {
        failed_ = true;
        return AnsiString();
    }
    const char* z = static_cast<const char*>(zero);
    AnsiString text = lib::io::from_disk_text(std::string_view(p_, static_cast<std::size_t>(z - p_)));
    p_ = z + 1;
    return text;
}

long count_records(const std::string& path, std::int64_t from) {
    os::File file;
    if (file.open(path, os::File::Mode::read, false) != os::File::Status::ok) return 0;
    const std::int64_t size = file.size();
    if (size <= 0 || from >= size) return 0;
    // Each piece after the first begins with what the scanner left of the
    // one before (less than its look-ahead).
    constexpr std::size_t kPiece = 1 << 20;
    std::string buffer(kPiece + BlockScanner::lookahead, '\0');
    BlockScanner scanner;
    Block block;
    long count = 0;
    std::int64_t at = std::max<std::int64_t>(0, from);
    std::size_t kept = 0;
    for (;;) {
        const std::size_t want = std::size_t(std::min<std::int64_t>(std::int64_t(kPiece), size - at));
        const std::int64_t got = want == 0 ? 0 : file.read_at(at, buffer.data() + kept, want);
        if (got < 0) return count;
        at += got;
        const bool last = got < std::int64_t(want) || at >= size;
        scanner.window(buffer.data(), kept + std::size_t(got), last);
        while (scanner.next(block))
            if (block.type == block_record || block.type == block_simple_values) ++count;
        if (last) return count;
        kept = kept + std::size_t(got) - scanner.position();
        std::memmove(buffer.data(), buffer.data() + scanner.position(), kept);
    }
}

}  // namespace lib::realtime
