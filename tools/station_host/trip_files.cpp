#include "tools/station_host/trip_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "library/storage/file_storage.h"
#include "tools/station_host/trip_scan.h"
#include "library/storage/rt_blocks.h"
#include "library/time_conv.h"
#include "platform/os/file.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/numbers.h"

namespace station_host {

namespace fs = std::filesystem;

namespace {

std::string padded(int trip) {
    std::string n = std::to_string(trip);
    if (n.size() < 4) n.insert(0, 4 - n.size(), '0');
    return n;
}

std::string when(std::uint32_t t) { return rtl::FormatDateTime("dd.MM.yyyy H:mm:ss", lib::unix_to_datetime(t)); }

const std::pair<const char*, const char*> kinds[] = {
    {"time", ".realtim"}, {"depth", ".realdep"}, {"lag", ".reallag"}, {"fast", ".fast.realtim"}};

constexpr int highest_trip = 99999999;

}  // namespace

const char* const TripFilesMark::extensions[TripFilesMark::files] = {".realtim", ".fast.realtim", ".realdep"};

namespace {

// The last whole record of a block file; none for a missing or empty file.
std::optional<LastRecord> last_record_of(const std::string& path) {
    namespace rt = lib::realtime;
    os::File f;
    if (f.open(path, os::File::Mode::read, false) != os::File::Status::ok) return std::nullopt;
    const std::int64_t size = f.size();
    if (size <= 0) return std::nullopt;
    // Twice what the scanner looks at to find its footing again: the read
    // starts inside some block, and the scanner passes over that piece as
    // it would over damage.
    const std::int64_t want = std::min<std::int64_t>(size, 2 * std::int64_t(rt::BlockScanner::lookahead));
    std::string tail(std::size_t(want), '\0');
    const std::int64_t got = f.read_at(size - want, tail.data(), tail.size());
    if (got <= 0) return std::nullopt;
    rt::BlockScanner scan(tail.data(), std::size_t(got));
    rt::Block block;
    std::optional<LastRecord> last;
    while (scan.next(block)) {
        if (block.type != rt::block_record || block.size < rt::record_head_size) continue;
        LastRecord r;
        r.time = rt::load_u32(block.payload);
        r.depth_z = rt::load_f32(block.payload + 4);
        r.depth_cur = rt::load_f32(block.payload + 13);
        last = r;
    }
    return last;
}

// The newest of the files' last records; `among` picks the files (in the
// order of TripFilesMark::extensions) that count.
template <typename Among>
std::optional<LastRecord> newest_record(const std::string& folder, int trip, Among among) {
    std::optional<LastRecord> newest;
    // The files in the order they are written most often: on a tie of
    // depths the first one's record stands.
    for (int i : {1, 0, 2}) {
        if (!among(i)) continue;
        const std::optional<LastRecord> last =
            last_record_of((fs::path(folder) / (padded(trip) + TripFilesMark::extensions[i])).string());
        if (last && (!newest || last->depth_z > newest->depth_z)) newest = last;
    }
    return newest;
}

}  // namespace

std::optional<LastRecord> last_trip_record(const std::string& folder, int trip) {
    return newest_record(folder, trip, [](int) { return true; });
}

std::optional<LastRecord> last_trip_record_after(const std::string& folder, int trip, const TripFilesMark& mark) {
    return newest_record(folder, trip, [&](int i) {
        const std::string path = (fs::path(folder) / (padded(trip) + TripFilesMark::extensions[i])).string();
        return lib::realtime::count_records(path, mark.bytes[i]) > mark.queued[i];
    });
}

int next_new_trip(const std::string& folder, int after) {
    for (long long trip = std::max(0LL, (long long)after + 1); trip <= highest_trip; ++trip) {
        bool taken = false;
        for (const auto& [kind, ext] : kinds) {
            std::error_code ec;
            // Anything by the name counts, a link or a folder too.
            taken = taken || fs::symlink_status(fs::path(folder) / (padded(int(trip)) + ext), ec).type() !=
                                 fs::file_type::not_found;
        }
        if (!taken) return int(trip);
    }
    return -1;
}

std::vector<TripFile> read_trip_files(const std::string& folder, int trip) {
    std::vector<TripFile> out;
    for (const auto& [kind, ext] : kinds) {
        TripFile f;
        f.kind = kind;
        f.path = (fs::path(folder) / (padded(trip) + ext)).string();
        std::error_code ec;
        f.exists = fs::is_regular_file(f.path, ec);
        if (!f.exists) {
            out.push_back(std::move(f));
            continue;
        }
        f.bytes = fs::file_size(f.path, ec);
        // The blocks are walked in pieces, each record counted and
        // forgotten: a week's trip is read in the memory of an hour's.
        TripScan scan;
        std::map<std::uint32_t, int> steps;
        // Records mostly follow one another at the same step: its count is
        // kept at hand instead of being looked up for every record.
        std::uint32_t same_step = 0;
        int* same_count = nullptr;
        const bool by_depth = f.kind == "depth" || f.kind == "lag";
        float last_depth = 0;
        scan.read(f.path, [&](const ScannedRecord& r) {
            const std::uint32_t t = r.time;
            if (f.records == 0) {
                f.depth_min = f.depth_max = r.depth_z;
                f.time_first = t;
            } else {
                f.depth_min = std::min<double>(f.depth_min, r.depth_z);
                f.depth_max = std::max<double>(f.depth_max, r.depth_z);
                if (by_depth ? r.depth_z == last_depth : t == f.time_last) ++f.duplicates;
                if (t > f.time_last) {
                    const std::uint32_t step = t - f.time_last;
                    if (!same_count || step != same_step) {
                        same_step = step;
                        same_count = &steps[step];
                    }
                    ++*same_count;
                } else if (t < f.time_last && !by_depth) {
                    // The station's clock was set back while it recorded.
                    ++f.clock_steps_back;
                    f.largest_step_back = std::max(f.largest_step_back, f.time_last - t);
                }
            }
            f.time_last = t;
            last_depth = r.depth_z;
            ++f.records;
        });
        f.warnings = scan.warnings();
        for (const FileStorageParam& p : scan.columns()) f.params.push_back(p.global_name);
        // A gap is a step longer than the file's own: the time step its
        // header names for the time file, a second for the fast file, else
        // the most frequent step. The depth-indexed files have none.
        std::uint32_t usual = 0;
        int most = 0;
        for (const auto& [step, count] : steps)
            if (count > most) most = count, usual = step;
        int header_step = 0;
        if (f.kind == "time" && rtl::TryStrToInt(scan.text_values().get_text("шаг_записи_по_времени"), header_step) &&
            header_step > 0)
            usual = std::uint32_t(header_step);
        if (f.kind == "fast") usual = 1;
        if (!by_depth)
            for (const auto& [step, count] : steps)
                if (step > usual) f.time_gaps += count;
        f.trip_number = scan.text_values().get_text("номер_рейса");
        // Closed only while the trip's end is the last thing in the file: a
        // trip continued after it appends to the file again.
        f.has_end = scan.ends_closed();
        out.push_back(std::move(f));
    }
    return out;
}

std::string describe(const std::vector<TripFile>& files) {
    std::string s;
    for (const TripFile& f : files) {
        s += f.kind + " file " + f.path + ": ";
        if (!f.exists) {
            s += "none\n";
            continue;
        }
        s += std::to_string(f.bytes) + " bytes, " + std::to_string(f.records) + " records, " +
             std::to_string(f.params.size()) + " parameters";
        if (f.records > 0)
            s += ", depth " + rtl::FormatFloat("0.00", f.depth_min) + " - " + rtl::FormatFloat("0.00", f.depth_max) +
                 " m, " + when(f.time_first) + " - " + when(f.time_last);
        if (f.time_gaps > 0) s += ", " + std::to_string(f.time_gaps) + " gaps";
        if (f.duplicates > 0) s += ", " + std::to_string(f.duplicates) + " repeated records";
        if (f.clock_steps_back > 0)
            s += ", clock set back " + std::to_string(f.clock_steps_back) +
                 (f.clock_steps_back == 1 ? " time by " : " times, by up to ") + std::to_string(f.largest_step_back) +
                 " s";
        if (!f.trip_number.empty()) s += ", trip " + f.trip_number;
        s += f.has_end ? ", closed" : ", open";
        s += "\n";
        if (!f.params.empty()) {
            s += "  parameters:";
            for (const std::string& p : f.params) s += " " + p;
            s += "\n";
        }
        for (const std::string& w : f.warnings) s += "  warning: " + w + "\n";
    }
    return s;
}

}  // namespace station_host
