#include "tools/station_host/trip_chart.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "library/graphics/graphics_column.h"
#include "library/graphics/planshet.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "library/time_conv.h"
#include "platform/os/file.h"
#include "platform/rtl/numbers.h"

namespace station_host {

namespace fs = std::filesystem;
using lib::graphics::GraphicsColumn;

namespace {
constexpr const char* kBottom = "забой";
constexpr const char* kBit = "глубина_долота";
constexpr double kDepthSpan = 20;  // metres on the depth column's scale

// The time of the file's newest record, from the file's end alone; 0 when
// none is found there.
std::uint32_t last_record_time(const std::string& file) {
    namespace rt = lib::realtime;
    os::File f;
    if (f.open(file, os::File::Mode::read, false) != os::File::Status::ok) return 0;
    const std::int64_t size = f.size();
    if (size <= 0) return 0;
    // The read starts inside some block: the scanner passes over that piece
    // as it would over damage, and finds its footing within its look-ahead.
    const std::int64_t want = std::min<std::int64_t>(size, 2 * std::int64_t(rt::BlockScanner::lookahead));
    std::string tail(std::size_t(want), '\0');
    const std::int64_t got = f.read_at(size - want, tail.data(), tail.size());
    if (got <= 0) return 0;
    rt::BlockScanner scan(tail.data(), std::size_t(got));
    rt::Block block;
    std::uint32_t last = 0;
    while (scan.next(block))
        if (block.type == rt::block_record && block.size >= rt::record_head_size) last = rt::load_u32(block.payload);
    return last;
}

// The file read into a new table: with a span, only its newest records.
std::unique_ptr<FileStorage> read_file(const std::string& file, std::uint32_t span) {
    auto table = std::make_unique<FileStorage>();
    if (span > 0) {
        const std::uint32_t last = last_record_time(file);
        if (last > span) table->set_time_range(lib::unix_time(last - span), lib::unix_time::max());
    }
    table->add_file(file, false);
    // What is appended from here on is all new.
    table->set_time_range(lib::unix_time::min(), lib::unix_time::max());
    return table;
}

}  // namespace

TripChart::TripChart(lib::graphics::Planshet& sheet, std::function<void()> changed, std::uint32_t kept_span)
    : sheet_(sheet), changed_(std::move(changed)), kept_span_(kept_span) {}

// A read under way finishes first: it uses nothing of the chart. The
// sheet outlives the chart (the window's next run makes another): the
// columns, which read this chart's table, go with it.
TripChart::~TripChart() {
    if (!columns_.empty()) sheet_.clear_columns();
}

int TripChart::records() const { return table_ ? table_->get_data_size() : 0; }

bool TripChart::time_span(double& first, double& last) const {
    if (pos_.empty()) return false;
    first = pos_.front();
    last = pos_.back();
    return true;
}

void TripChart::start_load() {
    const std::string file = file_;
    const std::uint32_t span = kept_span_;
    loading_ = std::async(std::launch::async, [file, span] { return read_file(file, span); });
}

// The first read finished: its table becomes the chart's.
bool TripChart::take_load() {
    if (loading_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
    std::unique_ptr<FileStorage> table;
    try {
        table = loading_.get();
    } catch (...) {
        // Not readable yet (an empty file, a writer holding it): the next
        // refresh tries again.
        return false;
    }
    table_ = std::move(table);
    pos_.clear();
    return true;
}

bool TripChart::refresh(const std::string& file) {
    if (file != file_) {
        if (loading_.valid()) loading_.wait();
        loading_ = {};
        file_ = file;
        table_.reset();
        pos_.clear();
        size_ = static_cast<std::uintmax_t>(-1);
    }
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec) return false;
    int added = 0;
    if (loading_.valid()) {
        if (!take_load()) return false;
        // The read ended somewhere before this size: the next refresh reads
        // on from there.
        added = table_->get_data_size();
    } else if (!table_) {
        if (kept_span_ > 0) {
            start_load();
            return false;
        }
        try {
            table_ = read_file(file, 0);
        } catch (const std::exception&) {
            return false;
        }
        added = table_->get_data_size();
        size_ = size;
    } else {
        if (size == size_) return false;
        try {
            added = table_->add_appended(file);
        } catch (const std::exception&) {
            return false;
        }
        if (added < 0) {
            // The file was rewritten under its name (its texts edited):
            // read afresh.
            table_.reset();
            pos_.clear();
            size_ = static_cast<std::uintmax_t>(-1);
            return refresh(file);
        }
        size_ = size;
    }
    if (added == 0) return false;
    const int n = table_->get_data_size();
    pos_.reserve(static_cast<std::size_t>(n));
    // Positions follow the records' order: a step back of the station's
    // clock would fold the curves back over themselves (and leave the span
    // upside down), so the times run on from the first record read.
    if (n == added) {
        int step = 0;
        rtl::TryStrToInt(table_->text_values().get_text("шаг_записи_по_времени"), step);
        clock_ = TripClock(step);
        start_ = lib::unix_to_datetime(table_->get_record(0)->time.get_value());
    }
    for (int i = n - added; i < n; ++i)
        pos_.push_back(start_ + clock_->next(table_->get_record(i)->time.get_value()) / 86400);
    trim();
    // The columns follow the file: built once it has records, again only
    // when its parameters change.
    if (columns_.empty() || built_params_ != table_->get_params_count())
        build();
    else
        follow_depth();
    if (changed_) changed_();
    return true;
}

void TripChart::trim() {
    if (kept_span_ == 0 || pos_.empty()) return;
    // By the positions, which run on in record order whatever the station's
    // clock did; an eighth of the span over before the records move, so each
    // record is moved a few times at most.
    const double span = kept_span_ / 86400.0;
    const double from = pos_.back() - span;
    if (pos_.front() + span / 8 >= from) return;
    int first = 0;
    while (first < static_cast<int>(pos_.size()) && pos_[static_cast<std::size_t>(first)] < from) ++first;
    table_->erase_records(0, first);
    pos_.erase(pos_.begin(), pos_.begin() + first);
}

namespace {
double bottom_of_scale(double depth) { return std::ceil((depth + 1) / 10) * 10; }
}  // namespace

void TripChart::follow_depth() {
    const double depth = table_->get_record(table_->get_data_size() - 1)->depth_z;
    if (depth <= bottom_ && depth >= bottom_ - kDepthSpan) return;
    bottom_ = bottom_of_scale(depth);
    if (columns_.empty()) return;
    for (int i = 0; i < columns_.front()->get_curves_count(); ++i) {
        lib::graphics::Curve& c = columns_.front()->get_curve(i);
        c.left = std::max(0.0, bottom_ - kDepthSpan);
        c.right = bottom_;
    }
}

void TripChart::bind(GraphicsColumn& column) {
    // Between a file read afresh and its table's arrival the columns show
    // nothing.
    column.get_param_index = [this](const std::string& name) {
        if (!table_) return -1;
        const int n = table_->get_params_count();
        if (name == kBottom) return n;
        if (name == kBit) return n + 1;
        return table_->get_param_index(name);
    };
    column.get_points_count = [this](int) { return table_ ? table_->get_data_size() : 0; };
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
    ++builds_;
    sheet_.clear_columns();
    columns_.clear();
    built_params_ = table_->get_params_count();
    // The whole trip's deepest point for a picture of it; live, the bottom
    // now.
    double deepest = 0;
    if (kept_span_ == 0) {
        for (int i = 0; i < table_->get_data_size(); ++i)
            deepest = std::max(deepest, double(table_->get_record(i)->depth_z));
    } else {
        deepest = table_->get_record(table_->get_data_size() - 1)->depth_z;
    }
    const double bottom = bottom_of_scale(deepest);
    bottom_ = bottom;
    auto depths = std::make_shared<GraphicsColumn>(&sheet_, "Глубина");
    bind(*depths);
    depths->add_curve("Забой, м", kBottom, std::max(0.0, bottom - kDepthSpan), bottom, ui::clRed, 2);
    depths->add_curve("Долото, м", kBit, std::max(0.0, bottom - kDepthSpan), bottom, ui::clBlue, 1);
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
