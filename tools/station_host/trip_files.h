#pragma once
// What a trip's real-time files hold, read back block by block as the
// data-file table reads them (TripScan): for each of the four files its
// records, parameters, depth and time span, the trip header's values and the
// reader's warnings.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace station_host {

struct TripFile {
    std::string kind;  // "time", "depth", "lag", "fast"
    std::string path;
    bool exists = false;
    std::uintmax_t bytes = 0;
    int records = 0;
    std::vector<std::string> params;      // global names, in column order
    double depth_min = 0, depth_max = 0;  // bottom-hole depth of the records
    std::uint32_t time_first = 0, time_last = 0;
    // Records that repeat the one before in their index: the time in the
    // time-indexed files, the depth in the depth-indexed ones (the lag
    // lines flushed at a trip's end share one time, each at its depth).
    int duplicates = 0;
    int time_gaps = 0;        // time-indexed files: steps longer than the record step
    // Time-indexed files: records stamped before the one before them (the
    // station's clock set back while it recorded), and the largest such
    // step in seconds.
    int clock_steps_back = 0;
    std::uint32_t largest_step_back = 0;
    std::string trip_number;  // "номер_рейса" of the header
    // The trip's end ("конеч_время") closes the file: no record and no new
    // start after it. A file still being appended to is open.
    bool has_end = false;
    std::vector<std::string> warnings;
};

// The four files of trip `trip` in the folder (named as the hub names them:
// the trip number padded to four digits). A file that is missing is listed
// with exists false; a file that cannot be read throws std::runtime_error
// naming it.
std::vector<TripFile> read_trip_files(const std::string& folder, int trip);

// The first trip number after `after` none of whose four files is in the
// folder: a new trip gets files of its own, never another trip's. -1 when
// there is none up to 99999999, the highest trip number.
int next_new_trip(const std::string& folder, int after);

// The newest whole record of the trip's time, fast and depth files (the
// lag file's records are depths lifted long ago): its time stamp and
// depths. Only the files' ends are read; a torn last block is passed over.
//
// Which record is newest is told without the time stamps, which follow the
// station's clock wherever it was set: within a run the bottom-hole depth
// never goes back, so the deepest record is the newest; at one depth the
// record of the file written most often (fast, then time, then depth).
struct LastRecord {
    std::uint32_t time = 0;
    double depth_z = 0, depth_cur = 0;
};
std::optional<LastRecord> last_trip_record(const std::string& folder, int trip);

// The trip's time, fast and depth files (in that order) as they stood at a
// moment: their sizes on disk and the records still queued for them then.
// Kept with each save of the depths, so that a later start can tell whether
// records came after the save.
struct TripFilesMark {
    static constexpr int files = 3;
    static const char* const extensions[files];
    std::int64_t bytes[files] = {0, 0, 0};
    long queued[files] = {0, 0, 0};
};

// The newest whole record written after the mark (as last_trip_record
// chooses it), from the files that hold more records past their marked size
// than were queued for them at the mark; none when no file does.
std::optional<LastRecord> last_trip_record_after(const std::string& folder, int trip, const TripFilesMark& mark);

// The report the run script prints, one line per file and the trip's span.
std::string describe(const std::vector<TripFile>& files);

}  // namespace station_host
