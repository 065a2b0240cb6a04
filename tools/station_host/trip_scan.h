#pragma once
// A trip's block file read from start to end in pieces, each record handed
// to the caller and forgotten, so that a reader of a week-long trip holds a
// megabyte or two instead of the whole table. The records, columns and text
// values are those the data-file table (FileStorage) would read from the same
// bytes: parameter headers join the columns of their global names (case
// ignored), a record whose value count is not its header's is left out, a
// record with a value beyond +-1e20 keeps its head with every value 0, damage
// is skipped and a torn last block ends the data (rt_blocks.h).
//
// The station's clock may be set back while a trip records (the end of
// summer time, a corrected clock): its records are stamped with the clock
// as it was, so their times step back. TripClock turns the stamps into the
// time a reader can draw and index by: seconds from the trip's first record
// in record order, a step back counted as one recording step.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/storage/file_storage.h"

namespace station_host {

struct ScannedRecord {
    std::uint32_t time = 0;
    float depth_z = 0, depth_cur = 0, lag_depth = 0;
    unsigned char operation = 255;
    // A values-only block (no depths, no operation), as the table keeps it.
    bool simple = false;
    // One value per column known when the record was read, in column order.
    const float* values = nullptr;
    std::size_t count = 0;
};

class TripScan {
public:
    TripScan();
    ~TripScan();

    // Reads `path` from its start (at most `limit` bytes when that is not
    // negative), calling `record` for every record in file order. The
    // columns and text values grow over the reads of one scan: a second
    // read of the same file meets the columns it made in the first. An
    // empty file holds nothing. Throws std::runtime_error naming the file
    // when it cannot be opened or read.
    void read(const std::string& path, const std::function<void(const ScannedRecord&)>& record,
              std::int64_t limit = -1);

    const std::vector<FileStorageParam>& columns() const { return columns_; }
    const FileStorageTextValues& text_values() const { return texts_->text_values(); }
    // The bytes the last read took (the file's size as it was opened, or
    // the limit).
    std::int64_t bytes_read() const { return bytes_; }
    // The last read's warnings, in the table's words.
    const std::vector<std::string>& warnings() const { return warnings_; }
    // Whether the last read's file ends with a text block that holds the
    // trip's end ("конеч_время") and no record after it: a trip continued
    // after its end appends a start text and records, and is open again.
    bool ends_closed() const { return ends_closed_; }

private:
    struct State;
    void block(State& state, const char* data, int type, const char* payload, int size);

    std::vector<FileStorageParam> columns_;
    std::vector<std::string> keys_;  // lower-cased global names of the columns
    std::unique_ptr<FileStorage> texts_;
    std::unique_ptr<FileStorage> scratch_;  // one text block at a time
    std::vector<std::string> warnings_;
    std::int64_t bytes_ = 0;
    bool ends_closed_ = false;
};

// Seconds from the trip's first record, in record order: a forward step
// (a pause, or the clock set forward) counts as it is, a step back as one
// recording step, so the time never runs backwards nor wraps.
class TripClock {
public:
    // `step`: the trip's recording step in seconds (0 when unknown: a step
    // back then counts as one second).
    explicit TripClock(int step) : step_(step > 0 ? std::uint32_t(step) : 1u) {}
    // The time of the next record, stamped `t`.
    double next(std::uint32_t t);
    // The largest step back, in seconds.
    std::uint32_t largest_step_back() const { return largest_back_; }

private:
    std::uint32_t step_;
    bool started_ = false;
    std::uint32_t last_ = 0;
    std::uint64_t elapsed_ = 0;
    std::uint32_t largest_back_ = 0;
};

}  // namespace station_host
