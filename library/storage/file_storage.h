#pragma once
// The real-time data table: the in-memory form of a well's recorded data
// that every reader and writer of the ".realtim", ".realdep", ".reallag" and
// ".fast.realtim" files goes through.
//
// A table is a list of parameter columns (at most 128, joined by global name
// without regard to case), a list of records (a time stamp, three depths,
// the drilling operation and one value per column), the trip's text values
// (name=value lines), the remarks found in the files read, and the warnings
// collected while reading damaged files. The block file format itself (its
// layouts, the encoder that the recording hub's writer shares, and the
// scanner that resynchronises over damage) is described in rt_blocks.h.
//
// Reading appends: several files read one after another give one table whose
// columns are the union of their parameter headers and whose records are in
// file order. A reader holds its file (as a reader under the share rule of
// os::File, and with the whole-file lock unless the folder holds the marker
// ".nolocking") only while it reads it, in one pass of large reads.
//
// Rewrites of a file in place (save_all, smart_save_all, exclude_records,
// save_with_new_format over an existing file) hold the file as a reader with
// the whole-file lock for the whole rewrite, so no station program appends
// to it and no other rewrite runs on it meanwhile, and replace it through a
// temporary file that is synced and renamed over it: a crash, a full disk or
// a concurrent writer never costs recorded data. The table remembers the
// time and size of the file it last read or wrote, so smart_save_all can
// tell that another program appended to the file since.
//
// A table is not thread-safe: one thread uses it at a time.

#include "library/io/binary_stream.h"
#include "library/lock_object.h"
#include "library/time_conv.h"
#include "platform/os/file.h"
#include "platform/rtl/string_list.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace lib::io {
class BinaryMemoryOutputStream;
class InputMappedFile;
}  // namespace lib::io
namespace lib::realtime {
class BlockScanner;
struct Block;
}  // namespace lib::realtime

using AnsiString = std::string;

class FileStorage;

// A failure of a table or file operation. A critical one always reaches the
// caller; the block reader turns a non-critical one raised inside a block
// into a warning of the table.
class FileStorageException : public std::runtime_error {
public:
    FileStorageException(const AnsiString& message, bool critical) : std::runtime_error(message), critical_(critical) {}
    bool is_critical() const { return critical_; }

private:
    bool critical_;
};

// One column header.
struct FileStorageParam {
    FileStorageParam() = default;
    FileStorageParam(const AnsiString& name, const AnsiString& short_name, const AnsiString& units,
                     const AnsiString& global_name, float lower_bound, float upper_bound)
        : name(name),
          short_name(short_name),
          units(units),
          global_name(global_name),
          lower_bound(lower_bound),
          upper_bound(upper_bound) {}

    AnsiString name;  // shown to the operator
    AnsiString short_name;
    AnsiString units;
    AnsiString global_name;  // the parameter's identifier; columns are matched by it
    float lower_bound = 0.0f;
    float upper_bound = 100.0f;

    friend bool operator==(const FileStorageParam&, const FileStorageParam&) = default;
};

// The values of a record built or copied outside a table.
using FileStorageValues = std::vector<float>;

// The values of a record inside a table: a run of floats right behind the
// record's head in the table's memory, used as a vector of fixed size. It
// compares equal to a vector of the same floats and converts to one.
class FileStorageRecordValues {
public:
    using value_type = float;
    using size_type = std::size_t;
    using reference = float&;
    using const_reference = const float&;
    using iterator = float*;
    using const_iterator = const float*;

    FileStorageRecordValues(const FileStorageRecordValues&) = delete;
    FileStorageRecordValues& operator=(const FileStorageRecordValues&) = delete;

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    float* data() { return reinterpret_cast<float*>(reinterpret_cast<char*>(this) + sizeof(*this)); }
    const float* data() const {
        return reinterpret_cast<const float*>(reinterpret_cast<const char*>(this) + sizeof(*this));
    }
    float& operator[](std::size_t i) { return data()[i]; }
    float operator[](std::size_t i) const { return data()[i]; }
    float* begin() { return data(); }
    float* end() { return data() + count_; }
    const float* begin() const { return data(); }
    const float* end() const { return data() + count_; }
    float front() const { return data()[0]; }
    float back() const { return data()[count_ - 1]; }
    operator FileStorageValues() const { return FileStorageValues(begin(), end()); }

    friend bool operator==(const FileStorageRecordValues& a, const FileStorageValues& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator==(const FileStorageRecordValues& a, const FileStorageRecordValues& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }

private:
    friend class FileStorageRows;
    friend struct FileStorageRecord;
    FileStorageRecordValues() = default;

    std::uint16_t count_ = 0;
};

// One record of a table, in the table's packed memory: this head of 20
// bytes, then its values. A table of n columns thus holds a record in 20 +
// 4n bytes, less than the record's block in a file (21 + 4n), and hands out
// its records in place. A record is reached only through its table
// (get_record, get_record_ptr) and copied out as a FileStorageItem; the
// pointer stays valid until the table gets records or columns or loses them.
struct FileStorageRecord {
    lib::unix_time time;
    float depth_z = 0.0f;    // bottom-hole depth
    float depth_cur = 0.0f;  // current (bit) depth
    float lag_depth = 0.0f;
    unsigned char operation = 0;  // 255 for records that carry no operation
    // Takes part in the depth series (correct_depths) and in the old
    // fixed-record output.
    bool valid = true;
    // One per column of the table, in column order (a record added with
    // more values keeps them all).
    FileStorageRecordValues values;

    FileStorageRecord(const FileStorageRecord&) = delete;
    FileStorageRecord& operator=(const FileStorageRecord&) = delete;

    // The record's type-1 block payload, as FileStorageItem::save_to_stream.
    void save_to_stream(lib::io::BinaryOutputStream& out) const;

private:
    friend class FileStorageRows;
    FileStorageRecord() = default;
};
static_assert(sizeof(FileStorageRecord) == 20 && alignof(FileStorageRecord) == 4, "the head packs into 20 bytes");

// One record outside a table: what add_record takes and what a record of a
// table copies out to.
struct FileStorageItem {
    lib::unix_time time;
    float depth_z = 0.0f;    // bottom-hole depth
    float depth_cur = 0.0f;  // current (bit) depth
    float lag_depth = 0.0f;
    // One per column of the table, in column order.
    FileStorageValues values;
    // Takes part in the depth series (correct_depths) and in the old
    // fixed-record output.
    bool valid = true;
    unsigned char operation = 0;  // 255 for records that carry no operation
    // The data file the record belongs to; only save_with_new_format reads
    // it, as a filter. In a table it is FileStorage::get_file_number.
    std::int32_t file_number = 0;

    FileStorageItem() = default;
    // A copy of a table's record (its file number is 0: see get_file_number).
    FileStorageItem(const FileStorageRecord& r)
        : time(r.time),
          depth_z(r.depth_z),
          depth_cur(r.depth_cur),
          lag_depth(r.lag_depth),
          values(r.values.begin(), r.values.end()),
          valid(r.valid),
          operation(r.operation) {}

    // New entries are 0.
    void resize(int n) { values.resize(n < 0 ? 0 : static_cast<std::size_t>(n), 0.0f); }
    // The record's type-1 block payload: time, bottom-hole depth, lag depth,
    // operation, current depth, value count, values. Throws a critical
    // FileStorageException for more than 128 values.
    void save_to_stream(lib::io::BinaryOutputStream& out) const;
};

// A remark read from a file.
struct FileStorageRemark {
    std::uint32_t time = 0;
    float depth = 0.0f;
    AnsiString text;
};

// The trip's text values: name=value lines, looked up by name without regard
// to case (the first line of a name counts).
class FileStorageTextValues {
public:
    FileStorageTextValues() = default;
    FileStorageTextValues(const FileStorageTextValues&) = delete;
    FileStorageTextValues& operator=(const FileStorageTextValues&) = delete;

    void set_parent(FileStorage* parent) { parent_ = parent; }

    // Replaces the value of the name or appends a line; an empty value
    // removes the line.
    void set_text(const AnsiString& name, const AnsiString& value);
    void set_text(const char* name, const AnsiString& value) { set_text(AnsiString(name ? name : ""), value); }
    // The stored value without its surrounding double quotes; empty when the
    // name is absent.
    AnsiString get_text(const char* name) const;
    // Fills in a value the caller has not got: a value that is blank or
    // "::не задано::" (any case) is replaced by get_text(name).
    void get_text(const char* name, AnsiString& value) const;
    // Line i's name and value (quotes removed); an index out of range throws
    // std::out_of_range.
    void get_text_by_index(int i, AnsiString& name, AnsiString& value) const;
    // Clears out, then adds the name of every line that holds "=".
    void enum_names(rtl::StringList* out) const;
    // Every line followed by CR LF.
    AnsiString get_full_text() const { return lines_.Text(); }
    // Replaces every line by the lines of the text (split at CR, LF or
    // CR LF), as the exports store them.
    void set_full_text(const AnsiString& text) { lines_.SetText(text); }
    void clear() { lines_.Clear(); }
    int count() const { return lines_.Count(); }

    // s without the double quotes at both ends when it is longer than one
    // character and starts and ends with one; otherwise s.
    static AnsiString check_inverted_commas(const AnsiString& s);

private:
    rtl::StringList lines_;
    FileStorage* parent_ = nullptr;
};

// The records of a table, packed: each a FileStorageRecord head and room for
// width() values, one after another at a fixed stride in one block of
// memory. Large blocks come from the system in huge pages and are backed a
// few megabytes ahead of the records written into them (os::back_now): a
// fault per page first touched costs more than reading the file does, far
// more under a hypervisor. The block is kept over clear(), as a vector keeps
// its capacity.
class FileStorageRows {
public:
    FileStorageRows() = default;
    ~FileStorageRows() { release(); }
    FileStorageRows(const FileStorageRows&) = delete;
    FileStorageRows& operator=(const FileStorageRows&) = delete;

    // The most values a record holds.
    static constexpr std::size_t max_width = 0xFFFF;

    std::size_t size() const { return count_; }
    std::size_t width() const { return width_; }
    FileStorageRecord& operator[](std::size_t i) const {
        return *reinterpret_cast<FileStorageRecord*>(data_ + i * stride_);
    }
    // Room for `more` records after the last one without moving them.
    void reserve(std::size_t more);
    // Every record gets room for `width` values (the records move when it
    // grows); their own counts stay.
    void widen(std::size_t width);
    // A new last record with `count` (at most width()) values, not set yet.
    FileStorageRecord& append(std::size_t count) {
        if (count_ == capacity_) grow(count_ + 1);
        if ((count_ + 1) * stride_ > backed_) back_more((count_ + 1) * stride_);
        auto* r = new (data_ + count_ * stride_) FileStorageRecord;
        r->values.count_ = static_cast<std::uint16_t>(count);
        ++count_;
        return *r;
    }
    // The record's value count, up to width(); new values are 0.
    static void resize(FileStorageRecord& r, std::size_t count);
    // Removes the records first .. last - 1.
    void erase(std::size_t first, std::size_t last);
    // The records in the order of the indexes given (a permutation).
    void reorder(const std::vector<std::size_t>& order);
    void clear() { count_ = 0; }
    // Backs the rest of the block on threads of their own, a little ahead of
    // the records as they are written into it: the system's zeroing of fresh
    // memory then costs no time of the reader's, and the memory zeroed is
    // still in the cache when the records are written. For a block that a
    // file's records will fill; nothing for a small block. stop_backing()
    // stops the threads and waits for them; a block is never moved or let go
    // while they run.
    void back_in_background();
    void stop_backing();

private:
    void grow(std::size_t at_least);
    // Moves the records to a block of `capacity` records of `width` values.
    void relayout(std::size_t capacity, std::size_t width);
    void back_more(std::size_t bytes);
    void release();

    char* data_ = nullptr;
    std::size_t bytes_ = 0;
    bool large_ = false;  // from os::allocate_large
    std::thread backers_[2];
    // Shared with the backing threads. Thread k backs pieces k, k + 2, ... of
    // [back_from_, back_to_) and tells in backed_by_[k] where its last piece
    // ends (back_failed when it gave up); the records wait for their piece
    // rather than back it too, since two threads faulting one huge page each
    // zero a page of their own and one is thrown away. The threads keep
    // within a few pieces of writer_at_, where the records have come to.
    static constexpr std::size_t back_failed = SIZE_MAX;
    std::atomic<std::size_t> backed_by_[2];
    std::atomic<std::size_t> writer_at_{0};
    std::atomic<bool> stop_backers_{false};
    std::size_t back_from_ = 0;
    std::size_t back_to_ = 0;
    std::size_t backed_ = 0;  // bytes of the block backed so far
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
    std::size_t width_ = 0;
    std::size_t stride_ = sizeof(FileStorageRecord);
};

class FileStorage {
public:
    // The vector coding of the export for compression.
    enum EncodeType : int { encode_plain = 0, encode_quantised = 1, encode_wavelet = 2 };

    static constexpr int max_params = 128;

    // The parameter headers a params block's payload holds, as every reader
    // of the block format takes them.
    enum class ParamsBlock { ok, too_many, damaged };
    static ParamsBlock parse_params_block(const char* payload, int size, std::vector<FileStorageParam>& params);

    FileStorage();
    ~FileStorage();
    FileStorage(const FileStorage&) = delete;
    FileStorage& operator=(const FileStorage&) = delete;

    // Drops the records, the columns, the text values and the remarks; the
    // warnings, the window, the file kind and the file time stay.
    void clear();

    // The index of the column with this global name (case ignored), or of a
    // new column appended for it. A table of 128 columns refuses every call
    // with "слишком много параметров" (not critical).
    int add_parametr(const FileStorageParam& param);
    // Appends a copy of the record. More than FileStorageRows::max_width
    // values are refused (a critical FileStorageException).
    void add_record(const FileStorageItem& item);
    int get_data_size() const { return static_cast<int>(records_.size()); }
    // Null for an index out of range. The record stays where it is until
    // the table gets records or columns or loses some.
    const FileStorageRecord* get_record(int i) const;
    FileStorageRecord* get_record_ptr(int i);
    // The data file record i belongs to (0 unless set); save_with_new_format
    // filters by it. An index out of range reads 0 and sets nothing.
    std::int32_t get_file_number(int i) const;
    void set_file_number(int i, std::int32_t number);
    const FileStorageParam* get_param(int i) const;
    int get_params_count() const { return static_cast<int>(params_.size()); }
    // The first column whose global name equals the name exactly, or -1.
    int get_param_index(const AnsiString& name) const;

    // The loading window: readers keep only records with from <= time <= to.
    void set_time_range(const lib::unix_time& from, const lib::unix_time& to);
    void sort_by_time();
    // Marks valid the records that make up the depth series: a record stays
    // valid only when its bottom-hole depth is below that of every later
    // valid record; records without a depth drop out except the first.
    void correct_depths();
    // Removes the records first to last-1; the range is clamped to the table.
    void erase_records(int first, int last);
    // The most frequent difference between consecutive record times (the
    // smallest among equally frequent ones); 0 for fewer than two records.
    int calc_time_step() const;

    void get_warnings(std::vector<AnsiString>& out) const { out = warnings_; }
    void clear_warnings() { warnings_.clear(); }
    const std::vector<FileStorageRemark>& get_remarks() const { return remarks_; }
    FileStorageTextValues& text_values() { return text_values_; }
    const FileStorageTextValues& text_values() const { return text_values_; }

    // Imports the trip file kept beside a data file: the data file's name up
    // to its first dot, followed by "rac" (0012.realtim -> 0012.rac). Nothing
    // happens when there is no such file.
    void load_text_values(const AnsiString& data_file_name);

    // --- the block files ---

    // Reads one data file into the table by its extension (lower-cased):
    // ".realtim", ".realdep", ".reallag", ".rtm" through add_new_file (file
    // kind 1); ".dep", ".ldp", ".tim" through add_old_file (file kind 0);
    // any other fails with "Неправильное расширение открываемого файла: "
    // and the extension (critical). With text_only only the text values are
    // read.
    bool add_file(const AnsiString& name, bool text_only);
    // Reads every data file the mask finds, in name order, leaving out the
    // fast files (".fast.realtim").
    void add_files_by_mask(const char* mask);
    // The block-format reader; true when it read to the end of the file.
    // Damage never ends the reading: see rt_blocks.h for what is skipped and
    // the warnings it leaves.
    bool add_new_file(const AnsiString& name, bool text_only);
    // Reads what was appended to the file since this table last read it
    // (add_new_file or an earlier call): the blocks from where that read
    // ended, the parameter header then in force serving the records that
    // follow, so a reader that follows a growing file reads each block
    // once. A block cut short at the end (its writer has not finished it)
    // is read the next time. A file this table has not read is read whole.
    // Gives the records added (the loading window applies), or -1 when the
    // file is no longer the one read (replaced under its name or cut
    // short): the caller reads it afresh into a cleared table.
    int add_appended(const AnsiString& name);
    // Files of the older fixed-record format are not read: false.
    bool add_old_file(const AnsiString& name, bool text_only);
    // Reads a data file as add_file does, without keeping its records: each
    // time the records in the table take about window_bytes, and at the
    // end, `take` is called (on this thread) with the table holding them,
    // then they are dropped. Columns, text values, remarks and warnings stay
    // as add_file leaves them; a record read before a header added columns
    // may hold fewer values than there are columns (the missing ones are 0).
    // Records the table held before go to `take` first. An exception from
    // `take` ends the reading and reaches the caller. The table is then one
    // that holds only part of its file: save_all and smart_save_all refuse
    // to write it over the file.
    bool read_in_windows(const AnsiString& name, std::size_t window_bytes, const std::function<void()>& take);
    // The block reader over bytes already in memory (a mapped file, a
    // buffer); the same reading as add_new_file without the file.
    bool add_blocks(const char* data, std::size_t size, bool text_only);

    // --- the block readers, one block at a time ---
    //
    // For callers that walk a block file themselves: after reading a block's
    // 3-byte header (type, signed 16-bit payload size), each reads the
    // block's payload from the stream's position into the table, as
    // add_new_file does with every block. The columns of the last parameter
    // header read this way serve the records that follow it, until clear().
    // A failure inside a block is thrown (a FileStorageException, or the
    // stream's own error when the payload runs past the end of the file);
    // the position is then where the failed read stopped.

    // Reads one block of the type (1 record, 2 parameter header, 3 text
    // values, 4 remark, 5 simple values) and payload size and returns true;
    // returns false without reading for a size that is not positive or
    // another type. sector_mismatch is set when a record does not match the
    // current header.
    bool load_next_block(lib::io::InputMappedFile& in, int type, int size, bool& sector_mismatch);
    // A record of `size` payload bytes: its head (time, bottom-hole depth,
    // lag depth, operation, current depth, value count), then (size - 18) / 4
    // values to the columns of the current header. A record whose value
    // count is not the header's is skipped and sets sector_mismatch; one
    // outside the loading window is skipped; one with a value beyond +-1e20
    // keeps its head with every value 0.
    void add_values(lib::io::InputMappedFile& in, bool& sector_mismatch, int size);
    // The same with the number of values taken from the record's head.
    void add_values(lib::io::InputMappedFile& in, bool& sector_mismatch);
    // A parameter header: a count byte (at most 128, or "слишком много
    // параметров", not critical), then per parameter its name, units, short
    // name and global name (0-terminated) and lower and upper bound (float).
    // Each joins the column of its global name or makes a new one; records
    // already in the table grow with the columns.
    void load_params(lib::io::InputMappedFile& in);
    // Text values of `size` bytes ending in a 0 byte (otherwise "Повреждён
    // файл в области текстовых данных", not critical): name=value lines
    // merged into the table's text values, "::не задано::" left out.
    void load_text_values(lib::io::InputMappedFile& in, int size);
    // A remark: time, depth, text.
    void load_remark(lib::io::InputMappedFile& in);
    // Simple values: a time and one value per parameter of the current
    // header, as a record without depths that takes no part in the depth
    // series (operation 255, not valid).
    void load_simple_values(lib::io::InputMappedFile& in);

    // Writes the whole table as a block file: a parameter header, the records
    // whose file number equals file_number (all for -1), the text values.
    // An existing file is replaced through a temporary file.
    void save_with_new_format(const AnsiString& name, int file_number);
    void save_all_to_stream(lib::io::BinaryOutputStream& out, int file_number);
    // Frames a payload as one block.
    static void save_data_block(int type, lib::io::BinaryMemoryOutputStream& payload, lib::io::BinaryOutputStream& out);
    // The type-2 payload of the table's columns.
    void save_params(lib::io::BinaryMemoryOutputStream& payload);
    // The text values as type-3 blocks (more than one when the text is
    // longer than a block holds; they are split between lines).
    static void save_text_values(lib::io::BinaryOutputStream& out, const FileStorageTextValues& values);

    // Rewrites the file the table was read from (file kind 1 only): the
    // whole table, or with text_only the file's own blocks without its text
    // blocks and then one text block of the table's text values. A table
    // that holds only part of its file (the loading window kept records
    // out) is not written over it: a critical FileStorageException.
    void save_all(const AnsiString& name, bool text_only);
    // Merges the records that another program appended to the file since
    // this table last read or wrote it (only records: the table's own text
    // values and remarks stay), then (unless merge_only) rewrites it. The
    // loading window is [0, 0xFFFFFFFF] afterwards, on every way out: a
    // narrower window kept in force would silently drop the records of a
    // later read.
    void smart_save_all(const AnsiString& name, bool merge_only);
    // Removes every block of the given types from a ".realtim", ".realdep"
    // or ".reallag" file. A file that is damaged is left as it is and the
    // call fails (critical FileStorageException naming the file); text_only
    // saving fails the same way.
    void exclude_records(const AnsiString& name, std::vector<int>& types);
    // Appends one text block (or several, see save_text_values).
    void append_text_values(const AnsiString& name, FileStorageTextValues& values);
    // True when the marker ".nolocking" exists in the folder of the name.
    static bool nolocking_file_exists(const AnsiString& name);
    // The valid records in the older fixed-record form (145 bytes each).
    void old_save_values(lib::io::BinaryOutputStream& out);

    // --- the export for compression and the single-stream archive ---
    //
    // Both hold every numeric series as a byte-plane vector: an int32 count
    // n, then byte 0 of every element, byte 1 of every element, and so on,
    // so that the archiver that packs them finds the slowly changing high
    // bytes of neighbouring samples side by side. A parameter column is
    // coded plainly (coding 1), quantised to 1 or 2 bytes with a bounded
    // relative error and the worst values kept raw (coding 2), or as
    // quantised wavelet coefficients (coding 3); the layouts are described
    // in file_storage_codings.cpp.
    //
    // Readers check every count and length against what the data can hold
    // and allocate only for bytes already read; a damaged export fails with
    // a critical FileStorageException naming the file, the column and the
    // cause (or with the stream's own read error where the data end early)
    // and leaves the table empty.

    // The column codings stored in the exports.
    static constexpr int coding_plain = 1;
    static constexpr int coding_quantised = 2;
    static constexpr int coding_wavelet = 3;

    // Writes the table as the eight files base + ".params", ".text",
    // ".time", ".depth_z", ".depth_cur", ".lag_depth", ".operation",
    // ".values" (created or emptied, without file locking). A file whose
    // writing fails is removed; the files written before it stay. An
    // EncodeType outside 0..2 is refused before anything is written. The
    // progress callback is not called.
    void save_for_compressing(const AnsiString& base, EncodeType type, const std::function<void(int)>& progress = {});
    // The same eight files, byte for byte, that add_file of the data file
    // followed by save_for_compressing writes, made without holding the
    // file's records: they are read in windows of about window_bytes (the
    // loading window applies) and set aside column by column in a temporary
    // file beside base that is removed at once, and each column is coded and
    // written as soon as it and those before it are done, on as many threads
    // as a fraction of the file's size in memory allows. The table is left as
    // add_file would leave it, without the records: the columns, text
    // values, remarks and warnings of the file. Nothing is written when no
    // record is read (and none of the eight files is left when the export
    // fails part-way). Returns what add_file returns; `records` gets the
    // records exported.
    static constexpr std::size_t export_window_bytes = std::size_t(4) << 20;
    bool export_file_for_compressing(const AnsiString& data_file, const AnsiString& base, EncodeType type,
                                     std::size_t& records, std::size_t window_bytes = export_window_bytes);
    // Reads the eight files of an export (with file locking) into the
    // table, which is cleared first. File kind 1.
    void load_compr_rt(const AnsiString& base);

    // The single-stream archive: "CREGFILE", version 1, the columns, the
    // text, the record fields and every column coded plainly. The callback
    // (kept as the table's progress callback) gets the share done, in
    // percent, after each record field and each column.
    void save_for_compressing_old(lib::io::BinaryOutputStream& out, const std::function<void(int)>& progress);
    // Clears the table and reads a single-stream archive into it (all three
    // codings). File kind 1.
    void load_after_decompressing(lib::io::BinaryInputStream& in);
    // The same from a file, mapped and read without file locking.
    void load_after_decompressing(const AnsiString& file_name);

    // One column of ".values": the gas and small-values flags, the coding
    // and its data. Gas columns are coded as their logarithms. An empty
    // column is always coded plainly (the quantised coding of no values
    // would hold no header to read back).
    static void save_vector(lib::io::BinaryOutputStream& out, const std::vector<float>& values, EncodeType type,
                            bool mechanical, bool gas);
    // Coding 2 (its int included): 8 bits at 255 levels, then 16 bits at
    // 1024 ... 32768 levels, whichever first keeps every value that is not
    // stored raw within 0.0001 relative error; else 16 bits at 65535 levels.
    static void try_to_compress(lib::io::BinaryOutputStream& out, const std::vector<float>& values);
    // One quantisation attempt at `levels` levels in elements of T (unsigned
    // 8 or 16 bits): writes the data of coding 2 (without the coding int)
    // and returns true when it succeeds or is forced; writes nothing and
    // returns false otherwise. Values that are not finite are always stored
    // raw.
    template <typename T>
    static bool try_to_copmpress(lib::io::BinaryOutputStream& out, const std::vector<float>& values,
                                 unsigned int levels, bool force);
    // Coding 3 (its int included), detail coefficients thresholded at
    // factor times their mean magnitude. Values that are not finite are
    // coded as 0.
    static void wavelet_compress(lib::io::BinaryOutputStream& out, const std::vector<float>& values, float factor);
    // The data of coding 2 (after the coding int) into `values`, which gets
    // `count` entries; a column of another length is refused.
    static void smart_read_vector(lib::io::BinaryInputStream& in, std::vector<float>& values, std::size_t count);
    // The quantised part of coding 2, elements of T (unsigned 8, 16 or 32
    // bits), merged with the values stored raw at the given positions
    // (ascending, below n) into n values.
    template <typename T>
    static void smart_read_vector2(lib::io::BinaryInputStream& in, std::vector<float>& values,
                                   const std::vector<int>& outlier_indices, const std::vector<float>& outlier_values,
                                   float min, float max, float levels, int n);
    // The data of coding 3 (after the coding int) into `values`, which gets
    // `count` entries.
    static void read_wavelet_vector(lib::io::BinaryInputStream& in, std::vector<float>& values, std::size_t count);
    // The byte-plane vector, T = char, unsigned char, unsigned short, int,
    // unsigned int or float. The reader refuses a count above max_count.
    template <typename T>
    static void add_new_reg_file_vector(lib::io::BinaryOutputStream& out, const std::vector<T>& values);
    template <typename T>
    static void read_new_reg_file_vector(lib::io::BinaryInputStream& in, std::vector<T>& values,
                                         std::size_t max_count = 0x7FFFFFFF);
    // A record field of every record as a byte-plane vector: the time as
    // unsigned 32 bits, a depth as float, the operation as one byte. The
    // reader requires exactly one element per record.
    template <typename T>
    void add_new_reg_any_values(lib::io::BinaryOutputStream& out, T FileStorageRecord::*member) const;
    template <typename T>
    void read_new_reg_any_values(lib::io::BinaryInputStream& in, T FileStorageRecord::*member);

    // The lock shared by every process's tables, "reg_data_file_mutex". No
    // operation of the table takes it; it is there for callers that need
    // one data file to themselves across programs.
    lib::lock_object& data_file_lock() { return data_file_lock_; }
    int get_file_kind() const { return file_kind_; }
    std::function<void(int)>& progress_callback() { return progress_; }

private:
    struct ReadState;
    struct ReadStateDeleter {
        void operator()(ReadState* state) const;
    };

    void begin_read(ReadState& state, std::size_t total);
    // Reads the file's blocks from offset `from` with the state given; end
    // gets the offset the next read starts at, inode the file's. False when
    // the file is not the one an earlier read of `inode` ended at `from`.
    bool read_new_file(const AnsiString& name, std::int64_t from, ReadState& state, std::int64_t& end,
                       std::uint64_t& inode);
    void read_window(ReadState& state, lib::realtime::BlockScanner& scanner);
    void end_read(ReadState& state, const lib::realtime::BlockScanner& scanner);
    void read_all(ReadState& state, const char* data, std::size_t size);
    // Gives the records of a windowed read to its taker and drops them.
    void hand_over(ReadState& state);
    void read_block(ReadState& state, const lib::realtime::Block& block);
    void read_values(ReadState& state, const char* payload);
    void read_params(ReadState& state, const lib::realtime::Block& block);
    // Joins a header's parameters to the columns and makes them the current
    // header; `left` is what the data hold after it, for sizing.
    void apply_params(ReadState& state, const std::vector<FileStorageParam>& params, std::size_t left);
    // The state of the one-block-at-a-time readers.
    ReadState& stream_state();
    void read_text(const char* payload, int size);
    bool read_remark(const char* payload, int size);
    void read_simple_values(ReadState& state, const char* payload, int size);
    void add_warning(const AnsiString& text);
    // Brings every record's value vector to the column count.
    void fit_records();
    // Column c of every record, in record order (0 where a record is short).
    void gather_column(std::size_t c, std::vector<float>& out) const;
    // Columns first .. first + count - 1 in one pass over the records.
    void gather_columns(std::size_t first, std::size_t count, std::vector<std::vector<float>>& out) const;
    // The single-stream reader; source names the data in errors (a file
    // name, or empty for a stream).
    void read_single_stream(lib::io::BinaryInputStream& in, const AnsiString& source);
    // Appends count records with a value vector of the column count.
    void make_records(std::size_t count);
    // The bytes of the whole table as a block file.
    std::string encode_all(int file_number);
    // Rewrites the file without the blocks of the given types, then (with
    // with_text) with the table's text values at its end.
    void rewrite_without(const AnsiString& name, const std::vector<int>& types, bool with_text);

    // The last-write time and size of the file this table last read or
    // wrote; an append by another program changes at least the size.
    os::FILETIME file_time_;
    std::int64_t file_size_ = -1;
    lib::lock_object data_file_lock_{"reg_data_file_mutex"};
    lib::unix_time time_from_ = lib::unix_time::min();
    lib::unix_time time_to_ = lib::unix_time::max();
    FileStorageRows records_;
    // The file number of each record; empty while every one is 0.
    std::vector<std::int32_t> file_numbers_;
    std::vector<FileStorageParam> params_;
    // Records the window kept out since the last clear: such a table holds
    // only part of its file and must not be written back over it.
    std::size_t outside_window_ = 0;
    int file_kind_ = 0;
    std::vector<AnsiString> warnings_;
    std::vector<FileStorageRemark> remarks_;
    std::function<void(int)> progress_;
    FileStorageTextValues text_values_;
    std::unique_ptr<ReadState, ReadStateDeleter> stream_state_;
    // Where add_appended goes on: the file, its state after the last read,
    // the offset after its last whole block, its inode.
    std::unique_ptr<ReadState, ReadStateDeleter> follow_state_;
    AnsiString follow_name_;
    std::int64_t follow_end_ = 0;
    std::uint64_t follow_inode_ = 0;
};
