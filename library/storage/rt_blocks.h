#pragma once
// The real-time block file format: the one codec of the ".realtim",
// ".realdep", ".reallag" and ".fast.realtim" files. The data-file table
// (file_storage.h) and the recording hub's writer both write through
// BlockEncoder, so the two can never drift apart; every reader walks the
// bytes with BlockScanner.
//
// A file is a bare sequence of blocks from offset 0 to its end, no file
// header; a file grows by appending blocks. Every scalar is little-endian
// with no padding; a string is its Windows-1251 bytes and one 0 byte.
//
//   block:   type (1 byte, 1..5) | size (signed 16-bit, 1..32767) | payload
//
//   1 record         time (u32) | depth_z (f32) | lag_depth (f32) |
//                    operation (u8) | depth_cur (f32) | n (u8) | n x f32
//                    payload exactly 18 + 4n bytes; n must equal the
//                    parameter count of the current header
//   2 header         c (u8, 0..128) | c x { name | units | short name |
//                    global name | lower bound (f32) | upper bound (f32) }
//                    starts a new sector: the records after it carry these
//                    parameters in this order (note units before short name)
//   3 text           one string: name=value lines each ended by CR LF; the
//                    last payload byte is the string's 0
//   4 remark         time (u32) | depth (f32) | text (string)
//   5 simple values  time (u32) | one f32 per parameter of the current header
//
// The depth fields of a record are not in their natural order: bottom-hole
// depth, lag depth, operation, then current depth.
//
// Reading damaged files. A block is taken only when its header is sound:
// type 1 to 5, 1 <= size <= the bytes that remain, and a record's size is
// exactly 18 + 4n. Anything else is damage: the scanner looks for the next
// offset from which five sound blocks follow one another (or sound blocks
// reach exactly the end of the file) and goes on there. A block whose size
// runs past the end of the file, with nothing sound after it, is a torn last
// block (a power cut, or a reader beside an appending writer): the data end
// before it. Inside a block every read is bounded by the block, and reading
// always resumes at the next block, so one bad block never costs more than
// itself.

#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lib::realtime {

enum BlockType : int {
    block_record = 1,
    block_params = 2,
    block_text = 3,
    block_remark = 4,
    block_simple_values = 5,
};

inline constexpr int block_header_size = 3;
inline constexpr int max_payload_size = 32767;
inline constexpr int record_head_size = 18;
// The readers' limit for one header; a record's value count is bounded by
// the same number.
inline constexpr int max_block_params = 128;

// Little-endian scalars at an address with no alignment.
inline std::uint32_t load_u32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline float load_f32(const char* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}
inline int load_size(const char* p) {
    std::int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Builds whole blocks and hands each to the output stream in one write()
// call, so a buffered file stream never holds half a block. The recording
// hub's writer writes its files through this class as well: a memory stream
// to gather a batch, or a file stream opened for appending. The payload
// buffer is reused from block to block. Strings are converted to
// Windows-1251 here and cut at a 0 byte they may hold (a 0 inside a string
// would end it early on reading and shift every field after it).
//
// Every write refuses (a critical FileStorageException, nothing written) a
// block that the readers could not read back: more than 128 values or
// parameters, or a payload over 32,767 bytes.
class BlockEncoder {
public:
    BlockEncoder();

    // A type-1 record of count values. The depths are given in their
    // natural order (bottom-hole, current, lag); the encoder puts them in
    // the block's order.
    void write_record(lib::io::BinaryOutputStream& out, std::uint32_t time, float depth_z, float depth_cur,
                      float lag_depth, unsigned char operation, const float* values, std::size_t count);
    void write_record(lib::io::BinaryOutputStream& out, const FileStorageItem& item);
    // A type-2 header of count parameters.
    void write_params(lib::io::BinaryOutputStream& out, const FileStorageParam* params, std::size_t count);
    void write_params(lib::io::BinaryOutputStream& out, const std::vector<FileStorageParam>& params) {
        write_params(out, params.data(), params.size());
    }
    // The text as type-3 blocks: one block when it fits, otherwise split
    // after CR LF line ends into as few blocks as hold it (the readers merge
    // them). A single line longer than a block holds is refused.
    void write_text(lib::io::BinaryOutputStream& out, const AnsiString& text);
    void write_remark(lib::io::BinaryOutputStream& out, std::uint32_t time, float depth, const AnsiString& text);
    void write_simple_values(lib::io::BinaryOutputStream& out, std::uint32_t time, const float* values,
                             std::size_t count);

    // Payloads only, appended to a buffer (FileStorageItem::save_to_stream
    // and FileStorage::save_params).
    static void append_record_payload(std::string& buf, std::uint32_t time, float depth_z, float depth_cur,
                                      float lag_depth, unsigned char operation, const float* values, std::size_t count);
    static void append_params_payload(std::string& buf, const FileStorageParam* params, std::size_t count);

    // Frames a ready payload: type, size, payload, in one write.
    static void write_block(lib::io::BinaryOutputStream& out, int type, const char* payload, std::size_t size);

private:
    void flush_block(lib::io::BinaryOutputStream& out, int type);

    std::string block_;  // the header's three bytes, then the payload
};

// One block as found in the bytes.
struct Block {
    int type = 0;
    const char* payload = nullptr;
    int size = 0;
    std::size_t offset = 0;  // of the block's first byte in the data
};

// Walks the blocks of a file's bytes (see the top of this file for what is
// taken and what is skipped). Never reads outside the bytes it is given.
//
// The bytes may come in windows, so a large file is read in pieces: while a
// window is not the last one, the scanner stops (next() false, at_end()
// false) where fewer than `lookahead` bytes remain, and the caller starts the
// next window with the bytes from position() on, followed by more.
class BlockScanner {
public:
    // The most bytes one decision looks at: five blocks of the largest size.
    static constexpr std::size_t lookahead = 5 * (block_header_size + max_payload_size);

    BlockScanner() = default;
    // All the data in one window.
    BlockScanner(const char* data, std::size_t size) { window(data, size, true); }

    // The next window: the bytes from position() of the previous window on,
    // then new ones; `last` when it reaches the end of the data.
    void window(const char* data, std::size_t size, bool last);

    // The next sound block; false at the end of the data or of a window.
    // The block's payload points into the current window.
    bool next(Block& block);
    bool at_end() const { return last_ && pos_ >= size_; }
    std::size_t position() const { return pos_; }

    // Damage was skipped by looking for the next sound block.
    bool resynchronised() const { return resynchronised_; }
    // The data end in a block cut short.
    bool torn() const { return torn_; }

private:
    // Five sound blocks in a row from `at`, or sound blocks up to exactly
    // the end of the data.
    bool chain_from(std::size_t at) const;
    bool short_window() const { return !last_ && size_ - pos_ < lookahead; }

    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    std::size_t base_ = 0;  // offset of the window in the data
    bool last_ = true;
    bool searching_ = false;       // inside damage, looking for sound blocks
    bool torn_candidate_ = false;  // the damage began with a block cut short
    bool resynchronised_ = false;
    bool torn_ = false;
};

// Reads a payload field by field, never past its end: a read that does not
// fit sets the failure flag, returns zero or an empty string, and reads
// nothing further.
class PayloadReader {
public:
    PayloadReader(const char* data, int size) : p_(data), end_(data + (size > 0 ? size : 0)) {}

    std::uint32_t u32();
    float f32();
    unsigned char u8();
    // A Windows-1251 string up to its 0 byte, as UTF-8.
    AnsiString string();
    bool failed() const { return failed_; }
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

private:
    bool take(std::size_t n);

    const char* p_;
    const char* end_;
    bool failed_ = false;
};

// The records of a block file (record and simple-values blocks, as the
// data-file table reads them), counted in one pass of bounded reads: the
// memory used does not grow with the file. 0 for a missing or unreadable
// file. From byte `from` on, the records that begin there or later (a piece
// of a record at `from` is passed over as damage is).
long count_records(const std::string& path, std::int64_t from = 0);

}  // namespace lib::realtime
