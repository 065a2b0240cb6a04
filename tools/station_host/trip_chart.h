#pragma once
// The log chart of a trip's time file: the depths (bottom and bit) in the
// first column, then the recorded parameters three to a column on their
// own scales. The main window shows it live; trip_export draws it to a
// picture.
//
// The chart follows the file as the writer appends to it: each refresh
// reads only the blocks appended since the last one into the one table it
// keeps. A live chart (a kept span given) holds only the trip's newest
// records, kept_span seconds of them, so a trip continued for weeks costs
// the window what an hour's does, and reads a file the first time on a
// thread of its own: the recording's turns never wait for it. Without a
// kept span the chart holds the whole trip and reads it at once (a
// picture of the trip).

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/station_host/trip_scan.h"

class FileStorage;

namespace lib::graphics {
class GraphicsColumn;
class Planshet;
}  // namespace lib::graphics

namespace station_host {

class TripChart {
public:
    // What the main window keeps: three hours of recording, many screens of
    // its scale.
    static constexpr std::uint32_t live_span = 3 * 3600;

    // `changed` is told after every read that brought new records;
    // kept_span 0: the whole trip.
    TripChart(lib::graphics::Planshet& sheet, std::function<void()> changed, std::uint32_t kept_span = 0);
    ~TripChart();
    TripChart(const TripChart&) = delete;
    TripChart& operator=(const TripChart&) = delete;

    // Reads what the file got since the last refresh; true when new records
    // were read. A live chart never waits for the first read of a file:
    // that one is taken by the first refresh after it finished.
    bool refresh(const std::string& file);
    // Whether the first read of the file is still under way.
    bool loading() const { return loading_.valid(); }
    // The records the chart holds (of a live chart, the newest kept_span
    // seconds).
    int records() const;
    // The span of the records' times as date-times; false without records.
    bool time_span(double& first, double& last) const;
    // Times the columns were built: once the file has records, again when
    // its parameters change.
    int builds() const { return builds_; }

private:
    void bind(lib::graphics::GraphicsColumn& column);
    void build();
    void start_load();
    bool take_load();
    // Drops the records older than the kept span, a batch at a time.
    void trim();
    // The depth column's scale follows the bottom.
    void follow_depth();

    lib::graphics::Planshet& sheet_;
    std::function<void()> changed_;
    std::uint32_t kept_span_;
    std::string file_;
    std::unique_ptr<FileStorage> table_;
    std::future<std::unique_ptr<FileStorage>> loading_;
    std::vector<double> pos_;
    // The clock of the positions, from the first record the table holds.
    std::optional<TripClock> clock_;
    double start_ = 0;
    std::vector<std::shared_ptr<lib::graphics::GraphicsColumn>> columns_;
    int built_params_ = -1;  // the parameter count the columns were built for
    double bottom_ = 0;      // the deepest depth on the depth column's scale
    std::uintmax_t size_ = static_cast<std::uintmax_t>(-1);
    int builds_ = 0;
};

}  // namespace station_host
