#pragma once
// The log chart of a trip's time file: the depths (bottom and bit) in the
// first column, then the recorded parameters three to a column on their
// own scales. The main window shows it live; trip_export draws it to a
// picture.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FileStorage;

namespace lib::graphics {
class GraphicsColumn;
class Planshet;
}  // namespace lib::graphics

namespace station_host {

class TripChart {
public:
    // `changed` is told after every read that brought new records.
    TripChart(lib::graphics::Planshet& sheet, std::function<void()> changed);
    ~TripChart();

    // Reads the file again when its size changed; true when new records
    // were read.
    bool refresh(const std::string& file);
    int records() const;
    // The span of the records' times as date-times; false without records.
    bool time_span(double& first, double& last) const;

private:
    void bind(lib::graphics::GraphicsColumn& column);
    void build();

    lib::graphics::Planshet& sheet_;
    std::function<void()> changed_;
    std::unique_ptr<FileStorage> table_;
    std::vector<double> pos_;
    std::vector<std::shared_ptr<lib::graphics::GraphicsColumn>> columns_;
    int built_params_ = -1;  // the parameter count the columns were built for
    double bottom_ = 0;      // the deepest depth on the depth column's scale
    std::uintmax_t size_ = static_cast<std::uintmax_t>(-1);
};

}  // namespace station_host
