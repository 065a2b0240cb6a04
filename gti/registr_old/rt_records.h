#pragma once
// The pieces the real-time file writer is made of: the per-parameter
// accumulators of a file, the parameter lists of records, the records and
// batches that travel from the host's thread to the write thread, the lag
// lines, and what the write thread remembers of each file.
//
// A record is finished when it is made. It holds its own block, already
// encoded, and an immutable snapshot of its parameter list (names, units,
// bounds) with the parameter header encoded from it, so nothing the host
// does afterwards to its parameter table can make a header disagree with the
// records that follow it, and the write thread only copies bytes: whatever
// could be refused (too many parameters, a block too large) is decided on
// the host's thread, where it can be logged, never in a retry loop on the
// write thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gti/registr_old/param.h"
#include "platform/os/file.h"

class ParTabl;
class StoredParamsProvider;
struct ValuesWriterDequeFileData;

namespace lib {
class serial_list;
namespace io {
class BinaryOutputStream;
}
}  // namespace lib

// ---- accumulators ------------------------------------------------------

// One parameter's accumulation over a record interval.
struct FileStoredValue {
    long double sum = 0.0L;
    std::int32_t count = 0;
    double last = 0.0;  // the value last written, repeated by an interval without samples

    double calc() const { return count != 0 ? static_cast<double>(sum / count) : last; }
    void clear() {
        sum = 0.0L;
        count = 0;
        last = 0.0;
    }
    // Sum, count, last value.
    void get_serial_list(lib::serial_list& list);
};

// A file's accumulators, one entry per parameter of the registry of all
// parameters (by its number there). Numbers beyond the entries (a parameter
// registered since the last accumulation, or a shorter list read from the
// system state) read as unknown parameters: they are never indexed.
class FileStoredValues {
public:
    // Never resized: nothing was accumulated, and no record can be made.
    bool empty() const { return values_.empty(); }
    std::size_t size() const { return values_.size(); }
    // Resizes to n entries; new entries are cleared.
    void fit(int n);
    // The entry of parameter number n, or null.
    FileStoredValue* find(int n) {
        return n >= 0 && static_cast<std::size_t>(n) < values_.size() ? &values_[static_cast<std::size_t>(n)] : nullptr;
    }
    const FileStoredValue* find(int n) const {
        return n >= 0 && static_cast<std::size_t>(n) < values_.size() ? &values_[static_cast<std::size_t>(n)] : nullptr;
    }
    void clear();
    // Starts the next interval: every sum and count to 0, the last values stay.
    void next_interval();

    // Adds one sample by the parameter's store mode: 0 average over the
    // interval, 1 last value, 2 maximum (the sample replaces the sum while
    // the sum is below the parameter's current value); any other mode
    // leaves the entry alone.
    static void add_sample(FileStoredValue& entry, int mode, double sample, double current);

    // The element count, then each entry.
    void get_serial_list(lib::serial_list& list);

private:
    std::vector<FileStoredValue> values_;
};

// The numbers in the registry of all parameters of a list's global names,
// kept from cycle to cycle: a look-up by name folds the letter case of the
// whole name, and a frame of 512 parameters takes hundreds of them a cycle.
// A kept number is used only while the registry's row at it still carries
// the very same name, so a registry that changed is looked up again.
class RegistryNumbers {
public:
    // The number of the name at position i of the list, or -1.
    int number(int i, const AnsiString& name);

private:
    std::vector<int> numbers_;
};

// ---- parameter lists ---------------------------------------------------

// The parameter list of a file's records.
class ParamsProvider {
public:
    virtual ~ParamsProvider() = default;
    virtual int size() const = 0;
    // i must be within 0..size()-1.
    virtual const Param& at(int i) const = 0;
    virtual void init() {}
};

// The parameters of the frame's table, in table order, as they are now.
class CurrParamsProvider : public ParamsProvider {
public:
    explicit CurrParamsProvider(const ParTabl& table) : table_(table) {}
    int size() const override;
    const Param& at(int i) const override;

private:
    const ParTabl& table_;
};

// The fast file's parameters: the registry's fast list ("fast_params"
// beside the program), or a fixed list of five when that is empty. A name
// the registry does not know contributes an empty parameter.
class FastParamsProvider : public ParamsProvider {
public:
    FastParamsProvider() { init(); }
    int size() const override { return static_cast<int>(params_.size()); }
    const Param& at(int i) const override { return params_[static_cast<std::size_t>(i)]; }
    void init() override;

private:
    std::vector<Param> params_;
};

// An immutable copy of a parameter list as one file's records carry it:
// at most 128 parameters (what the readers take), and no more than a
// parameter header block holds. Made once per change of the list and shared
// by every record and lag line that carries it.
class StoredParamsProvider : public ParamsProvider {
public:
    // The first parameters of the source that a file can carry.
    static std::shared_ptr<const StoredParamsProvider> snapshot(const ParamsProvider& source);
    static std::shared_ptr<const StoredParamsProvider> snapshot(std::vector<Param> params);

    int size() const override { return static_cast<int>(params_.size()); }
    const Param& at(int i) const override { return params_[static_cast<std::size_t>(i)]; }
    const std::vector<Param>& params() const { return params_; }
    // The global names, in order.
    const std::vector<AnsiString>& names() const { return names_; }
    // The whole type-2 block of this list.
    const std::string& header_block() const { return header_; }
    // How many parameters the source had; more than size() when some could
    // not be carried.
    int source_size() const { return source_size_; }
    int dropped() const { return source_size_ - size(); }
    // True while the source still has the parameters this list was made
    // from: the same count, and the same names and bounds in every position
    // carried.
    bool matches(const ParamsProvider& source) const;

    // Use snapshot(); public for make_shared.
    StoredParamsProvider(std::vector<Param> params, int source_size);

private:
    std::vector<Param> params_;
    std::vector<AnsiString> names_;
    std::string header_;
    int source_size_;
};

// ---- records and batches -----------------------------------------------

// One unit of a batch: its blocks, ready to append.
class OneRecord {
public:
    virtual ~OneRecord() = default;
    virtual void write_to(lib::io::BinaryOutputStream& out) const = 0;
    // The bytes write_to appends.
    virtual std::size_t block_size() const = 0;
    // A parameter header must come first: the file's last header has other
    // names than this record's parameters.
    virtual bool header_needed(const ValuesWriterDequeFileData&) const { return false; }
    virtual std::shared_ptr<const StoredParamsProvider> get_provider() const { return {}; }
};

// A type-1 values record.
class ValuesWriterRecord : public OneRecord {
public:
    // One value per parameter of the provider, in its order.
    ValuesWriterRecord(std::uint32_t time, float value_depth, float bit_depth, float lag_depth, unsigned char operation,
                       std::vector<float> values, std::shared_ptr<const StoredParamsProvider> provider);

    void write_to(lib::io::BinaryOutputStream& out) const override;
    std::size_t block_size() const override { return block_.size(); }
    bool header_needed(const ValuesWriterDequeFileData& state) const override;
    std::shared_ptr<const StoredParamsProvider> get_provider() const override { return provider_; }

    std::uint32_t time() const { return time_; }
    float value_depth() const { return value_depth_; }
    float bit_depth() const { return bit_depth_; }
    float lag_depth() const { return lag_depth_; }
    unsigned char operation() const { return operation_; }
    const std::vector<float>& values() const { return values_; }

private:
    std::uint32_t time_;
    float value_depth_;
    float bit_depth_;
    float lag_depth_;
    unsigned char operation_;
    std::vector<float> values_;
    std::shared_ptr<const StoredParamsProvider> provider_;
    std::string block_;
};

// A type-3 text: name=value lines, each ended by CR LF. A text longer than
// one block holds is split between lines; a single line too long for a
// block is refused when the record is made (FileStorageException).
class TextWriterRecord : public OneRecord {
public:
    explicit TextWriterRecord(const AnsiString& text);
    void write_to(lib::io::BinaryOutputStream& out) const override;
    std::size_t block_size() const override { return blocks_.size(); }
    const AnsiString& text() const { return text_; }

private:
    AnsiString text_;
    std::string blocks_;
};

// One batch: records for one file, appended together.
struct Records {
    AnsiString file_name;
    std::vector<std::shared_ptr<const OneRecord>> records;

    std::size_t block_size() const;
};

// What the write thread remembers of a file it wrote: the names of the last
// header it wrote there, and the file's time and size right after its last
// append. A file whose time or size differs has been touched by someone
// else (or not yet written by this process) and gets a header again.
struct ValuesWriterDequeFileData {
    std::vector<AnsiString> names;
    std::shared_ptr<const StoredParamsProvider> header;  // the list those names came from
    os::FILETIME last_write_time;
    std::int64_t size = -1;
};

// ---- lag lines ---------------------------------------------------------

// A depth record waiting for the lag to carry it to the surface: its
// values, and the parameters they belong to.
struct LagFileStoredLine {
    double depth = 0.0;
    double lift = 0.0;  // metres still to lift
    std::int32_t delay = 0;
    std::vector<double> values;
    std::shared_ptr<const StoredParamsProvider> params;

    // The stored value of parameter i, 0 beyond the values kept.
    double value(int i) const {
        return i >= 0 && static_cast<std::size_t>(i) < values.size() ? values[static_cast<std::size_t>(i)] : 0.0;
    }
};
