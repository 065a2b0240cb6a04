#pragma once
// vf::ViewFile: the day view file, the last 86,400 samples of every
// parameter in one memory-mapped ring on disk, so that screens and plug-ins
// show the last day without reading the real-time files. Sample k lives in
// slot k mod 86,400; the counter in the file says how many samples were
// ever added, so the ring goes on across program runs.
//
// The file, exactly 179,712,004 bytes, little-endian:
//   0                               uint32  samples ever added
//   4 + 32*s                        32      overhead of slot s (Overhead)
//   2,764,804 + 345,600*n + 4*s     float   parameter n at slot s
// n is the parameter's number in the registry of all parameters (0..511).
// Overhead of a slot: pipes (stands + pipes * 0.1), bottom depth, bit depth,
// lag depth (floats), then local hour, minute, station time stamp and day of
// the month (uint32).
//
// The whole file is allocated on disk when it is opened, so a full disk is
// an error of set_name, never a fault in the middle of a recording. A file
// of another size (an older layout) is deleted and made anew. The file is
// held as a writer under the station's share rule while open.
//
// While no file is open, add_record and flush_buffers do nothing and return
// false, reads of samples throw. Sample numbers outside 0..counter-1 are
// refused (std::out_of_range), as are parameter numbers outside 0..511.
//
// Nothing here takes the hub lock itself: the sample source that the root
// installs reads the stand counter under it.

#include "platform/os/file.h"
#include "platform/os/mapping.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using AnsiString = std::string;

namespace vf {

constexpr std::uint32_t ring_size = 86400;
constexpr int max_params = 512;
constexpr std::size_t overhead_offset = 4;
constexpr std::size_t overhead_size = 32;
constexpr std::size_t values_offset = overhead_offset + overhead_size * ring_size;  // 2,764,804
constexpr std::size_t column_size = 4 * static_cast<std::size_t>(ring_size);        // 345,600
constexpr std::size_t file_size = values_offset + column_size * max_params;         // 179,712,004

struct Overhead {
    float pipes = 0;
    float depth_z = 0;
    float depth_cur = 0;
    float depth_lag = 0;
    std::uint32_t hour = 0;
    std::uint32_t minute = 0;
    std::uint32_t time = 0;  // station time stamp (lib::get_local_time)
    std::uint32_t day = 0;
};

// What one sample holds besides its time: filled by the source.
struct Sample {
    double pipes = 0;
    double depth_z = 0;
    double depth_cur = 0;
    double depth_lag = 0;
    // (parameter number in the registry, value); numbers outside 0..511
    // are not stored.
    std::vector<std::pair<int, double>> values;
};

class ViewFile {
public:
    using Source = std::function<void(Sample&)>;
    using Clock = std::function<std::uint32_t()>;

    ViewFile();
    ~ViewFile();
    ViewFile(const ViewFile&) = delete;
    ViewFile& operator=(const ViewFile&) = delete;

    // Opens (creating or replacing a file of another size), allocates and
    // maps the file. False when any step fails: the object is closed then,
    // and last_error() names the file and the cause.
    bool set_name(const AnsiString& name);
    // Deletes an existing file whose size is not file_size.
    static void check_file_version(const AnsiString& name);
    bool is_open() const { return data_ != nullptr; }
    const AnsiString& last_error() const { return error_; }

    void set_source(Source source) { source_ = std::move(source); }
    // The station's local clock by default; tests step their own.
    void set_clock(Clock clock) { clock_ = std::move(clock); }

    // Writes the next sample into its slot: the overhead, then every value
    // of the slot 0 except what the source gives.
    bool add_record();
    // Every 120th call writes the view to disk; false when that fails.
    bool flush_buffers();

    // Samples ever added; 0 while closed.
    std::uint32_t get_records_size() const;
    Overhead get_overhead(int sample) const;
    // The value, widened; a NaN reads as 0.
    double get_value(int param, int sample) const;
    // The sample whose stamp interval holds t: -1 with two samples or
    // fewer or when t lies before the searched span, the last sample when t
    // lies after it. The oldest sample of a full ring is not searched.
    int get_time_index(std::uint32_t t) const;

private:
    void close();
    char* slot_overhead(std::uint32_t slot) const;
    void check_sample(int sample, const char* what) const;
    std::uint32_t stamp(std::uint32_t sample) const;

    os::File file_;
    os::Mapping view_;
    int flush_count_ = 0;
    char* data_ = nullptr;
    Source source_;
    Clock clock_;
    AnsiString error_;
};

}  // namespace vf
