#include "tools/station_host/trip_chart.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "library/graphics/graphics_column.h"
#include "library/graphics/planshet.h"
#include "library/storage/file_storage.h"
#include "library/time_conv.h"
#include "platform/rtl/numbers.h"
#include "tools/station_host/trip_scan.h"

namespace station_host {

namespace fs = std::filesystem;
using lib::graphics::GraphicsColumn;

namespace {
constexpr const char* kBottom = "забой";
constexpr const char* kBit = "глубина_долота";
}  // namespace

TripChart::TripChart(lib::graphics::Planshet& sheet, std::function<void()> changed)
    : sheet_(sheet), changed_(std::move(changed)) {}

TripChart::~TripChart() = default;

int TripChart::records() const { return table_ ? table_->get_data_size() : 0; }

bool TripChart::time_span(double& first, double& last) const {
    if (pos_.empty()) return false;
    first = pos_.front();
    last = pos_.back();
    return true;
}

bool TripChart::refresh(const std::string& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size == size_) return false;
    auto table = std::make_unique<FileStorage>();
    if (!table->add_file(file, false) && table->get_data_size() == 0) return false;
    size_ = size;
    table_ = std::move(table);
    pos_.clear();
    pos_.reserve(static_cast<std::size_t>(table_->get_data_size()));
    // Positions follow the records' order: a step back of the station's
    // clock would fold the curves back over themselves (and leave the span
    // upside down), so the times run on from the first record (TripClock).
    if (table_->get_data_size() > 0) {
        int step = 0;
        rtl::TryStrToInt(table_->text_values().get_text("шаг_записи_по_времени"), step);
        TripClock clock(step);
        const double start = lib::unix_to_datetime(table_->get_record(0)->time.get_value());
        for (int i = 0; i < table_->get_data_size(); ++i)
            pos_.push_back(start + clock.next(table_->get_record(i)->time.get_value()) / 86400);
    }
    // The columns follow the file: built once it has records, again when
    // its parameters change or the bottom leaves the depth scale (the
    // first read may come before the header's parameters and the first
    // depth, which would leave the curves off their scales for the run).
    if (table_->get_data_size() > 0) {
        const double depth = table_->get_record(table_->get_data_size() - 1)->depth_z;
        if (columns_.empty() || built_params_ != table_->get_params_count() || depth > bottom_ ||
            depth < bottom_ - 20) {
            build();
        }
    }
    if (changed_) changed_();
    return true;
}

void TripChart::bind(GraphicsColumn& column) {
    column.get_param_index = [this](const std::string& name) {
        const int n = table_->get_params_count();
        if (name == kBottom) return n;
        if (name == kBit) return n + 1;
        return table_->get_param_index(name);
    };
    column.get_points_count = [this](int) { return table_->get_data_size(); };
    column.get_point_pos = [this](int, int i) { return pos_[static_cast<std::size_t>(i)]; };
    column.get_point_value = [this](int d, int i) -> double {
        const FileStorageRecord* r = table_->get_record(i);
        const int n = table_->get_params_count();
        if (d == n) return r->depth_z;
        if (d == n + 1) return r->depth_cur;
        if (d < 0 || static_cast<std::size_t>(d) >= r->values.size()) return 0;
        return r->values[static_cast<std::size_t>(d)];
    };
}

// The depths first, then the recorded parameters three to a column.
void TripChart::build() {
    const ui::TColor colours[] = {ui::clBlue, ui::clRed, ui::clGreen};
    sheet_.clear_columns();
    columns_.clear();
    built_params_ = table_->get_params_count();
    double deepest = 0;
    for (int i = 0; i < table_->get_data_size(); ++i)
        deepest = std::max(deepest, double(table_->get_record(i)->depth_z));
    const double bottom = std::ceil((deepest + 1) / 10) * 10;
    bottom_ = bottom;
    auto depths = std::make_shared<GraphicsColumn>(&sheet_, "Глубина");
    bind(*depths);
    depths->add_curve("Забой, м", kBottom, std::max(0.0, bottom - 20), bottom, ui::clRed, 2);
    depths->add_curve("Долото, м", kBit, std::max(0.0, bottom - 20), bottom, ui::clBlue, 1);
    sheet_.add_column(depths);
    columns_.push_back(depths);
    const int n = std::min(table_->get_params_count(), 9);
    for (int first = 0; first < n; first += 3) {
        const FileStorageParam* p0 = table_->get_param(first);
        auto column = std::make_shared<GraphicsColumn>(&sheet_, p0->name.c_str());
        bind(*column);
        for (int k = first; k < std::min(n, first + 3); ++k) {
            const FileStorageParam* p = table_->get_param(k);
            const double left = p->lower_bound, right = p->upper_bound > p->lower_bound ? p->upper_bound : left + 1;
            // Each curve's unit beside its name, where the file gives one.
            const std::string title = p->units.empty() ? p->name : p->name + ", " + p->units;
            column->add_curve(title, p->global_name, left, right, colours[k - first], k == first ? 2 : 1);
        }
        sheet_.add_column(column);
        columns_.push_back(column);
    }
}

}  // namespace station_host
