// A recorded trip on the chart: eight hours of drilling written as the
// station writes them (a ".realtim" file of a record every 5 s and a
// ".realdep" file of a record every 10 cm of new hole), read back through
// the real-time table and charted in time and in depth mode, with linear
// and logarithmic columns. The pictures go to
// build/<kind>/test_output/chart/recorded_trip_*.png.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "library/graphics/graphics_column.h"
#include "library/graphics/planshet.h"
#include "library/graphics/testdata/chart_source.h"
#include "library/number_conv.h"
#include "library/storage/file_storage.h"
#include "library/time_conv.h"
#include "platform/rtl/datetime.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib::graphics {
namespace {

namespace fs = std::filesystem;
using testing::kTripParams;

// The record fields a chart shows beside the parameter columns.
constexpr const char* kBottom = "забой";
constexpr const char* kBit = "глубина_долота";

// The chart's data source over a read table: parameter columns by global
// name, the bottom-hole and bit depths of the records as two more series;
// positions are the records' times (as date-times) or their bottom-hole
// depths.
class TableSource {
public:
    TableSource(const FileStorage& table, bool by_depth) : table_(table) {
        pos_.reserve(static_cast<std::size_t>(table.get_data_size()));
        for (int i = 0; i < table.get_data_size(); ++i) {
            const FileStorageRecord* r = table.get_record(i);
            pos_.push_back(by_depth ? r->depth_z : lib::unix_to_datetime(r->time.get_value()));
        }
    }
    void bind(GraphicsColumn& column) const {
        const int n = table_.get_params_count();
        column.get_param_index = [this, n](const std::string& name) {
            if (name == kBottom) return n;
            if (name == kBit) return n + 1;
            return table_.get_param_index(name);
        };
        column.get_points_count = [this](int) { return table_.get_data_size(); };
        column.get_point_pos = [this](int, int i) { return pos_[static_cast<std::size_t>(i)]; };
        column.get_point_value = [this, n](int d, int i) -> double {
            const FileStorageRecord* r = table_.get_record(i);
            if (d == n) return r->depth_z;
            if (d == n + 1) return r->depth_cur;
            return r->values[static_cast<std::size_t>(d)];
        };
    }

private:
    const FileStorage& table_;
    std::vector<double> pos_;
};

class RecordedTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Per process: ctest runs each test of the suite in a process of its own,
        // side by side, and one must not remove the files another is reading.
        dir_ = fs::temp_directory_path() / ("chart_recorded_trip_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        write_files();
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    // The trip as the recorder writes it.
    static void write_files() {
        testing::ChartSource trip;
        const double start = rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(8, 0, 0, 0);
        testing::make_trip(trip, 8 * 720, start, 5.0 / 86400);
        FileStorage time_file, depth_file;
        std::vector<int> columns;  // trip series -> table column, -1 for the depths
        for (const auto& p : kTripParams) {
            const std::string name = p.name;
            if (name == kBottom || name == kBit) {
                columns.push_back(-1);
                continue;
            }
            const FileStorageParam param(p.title, p.name, "", p.name, static_cast<float>(p.left),
                                         static_cast<float>(p.right));
            columns.push_back(time_file.add_parametr(param));
            depth_file.add_parametr(param);
        }
        const auto& bottom = trip.series(kBottom);
        const auto& bit = trip.series(kBit);
        double next_depth = std::ceil(bottom.value[0] * 10) / 10;
        for (std::size_t i = 0; i < bottom.pos.size(); ++i) {
            FileStorageItem item;
            item.time = lib::datetime_to_unix(bottom.pos[i] + 0.1 / 86400);
            item.depth_z = static_cast<float>(bottom.value[i]);
            item.depth_cur = static_cast<float>(bit.value[i]);
            item.lag_depth = item.depth_z - 3;
            item.operation = bit.value[i] < bottom.value[i] ? 2 : 1;
            item.resize(time_file.get_params_count());
            for (std::size_t k = 0; k < columns.size(); ++k)
                if (columns[k] >= 0)
                    item.values[static_cast<std::size_t>(columns[k])] =
                        static_cast<float>(trip.series(kTripParams[k].name).value[i]);
            time_file.add_record(item);
            if (bottom.value[i] >= next_depth) {
                depth_file.add_record(item);
                next_depth = std::floor(bottom.value[i] * 10) / 10 + 0.1;
            }
        }
        time_file.save_with_new_format((dir_ / "0012.realtim").string(), -1);
        depth_file.save_with_new_format((dir_ / "0012.realdep").string(), -1);
    }

    static void read(FileStorage& table, const char* name) {
        ASSERT_TRUE(table.add_file((dir_ / name).string(), false));
        std::vector<AnsiString> warnings;
        table.get_warnings(warnings);
        EXPECT_TRUE(warnings.empty());
    }

    // Four columns: loads, depths, flow and (log) gas.
    static void build(Planshet& sheet, const TableSource& src, std::vector<std::shared_ptr<GraphicsColumn>>& out) {
        const std::vector<std::vector<int>> layout = {{0, 1, 7}, {2, 3}, {4, 5, 6}, {8, 9}};
        const char* captions[] = {"Нагрузки", "Глубина", "Расход", "Газ"};
        const ui::TColor colours[] = {ui::clBlue, ui::clRed, ui::clGreen};
        for (std::size_t c = 0; c < layout.size(); ++c) {
            auto column = std::make_shared<GraphicsColumn>(&sheet, captions[c]);
            src.bind(*column);
            for (std::size_t k = 0; k < layout[c].size(); ++k) {
                const auto& p = kTripParams[layout[c][k]];
                column->add_curve(p.title, p.name, p.left, p.right, colours[k], k == 0 ? 2 : 1);
            }
            sheet.add_column(column);
            out.push_back(column);
        }
        out[3]->set_log_mode(true);
        out[3]->set_log_scale(0.001, 10);
    }

    static int inked(const ui::TBitmap& b, const Planshet& sheet, int column, ui::TColor colour, int top) {
        std::vector<Planshet::ColumnCoord> coords;
        sheet.calc_columns_coords(coords, b.Width());
        int n = 0;
        const auto& c = coords[static_cast<std::size_t>(column)];
        for (int y = top; y < b.Height(); ++y)
            for (int x = c.start; x < c.end; ++x) n += b.Pixel(x, y) == colour;
        return n;
    }

    static fs::path output(const char* name) {
        const fs::path out = fs::path(STATION_BINARY_DIR) / "test_output" / "chart";
        fs::create_directories(out);
        return out / name;
    }

    static inline fs::path dir_;
};

TEST_F(RecordedTrip, TimeMode) {
    FileStorage table;
    read(table, "0012.realtim");
    ASSERT_EQ(table.get_data_size(), 8 * 720);
    ASSERT_EQ(table.get_params_count(), 10);
    const TableSource src(table, false);
    Planshet sheet;
    std::vector<std::shared_ptr<GraphicsColumn>> columns;
    build(sheet, src, columns);
    sheet.set_double_buffered(true);
    sheet.set_scale(15.0 / 1440);  // a quarter of an hour a centimetre
    ui::TBitmap b(1000, 800);
    int position = 0, max = 0, page = 0;
    ASSERT_TRUE(sheet.get_scroll_bar_values(position, max, page, &b.Canvas(), ui::Rect(0, 0, 1000, 800)));
    // Eight hours at four centimetres an hour.
    EXPECT_NEAR(max + page, 8 * 4 * sheet.get_ppcm(), 2);
    sheet.set_offset(max / 2);
    sheet.paint(&b.Canvas(), ui::clBtnFace, 1000, 800);
    b.SaveToFile(output("recorded_trip_time.png").string());

    PaintData pd;
    sheet.calc_paint_data(pd, &b.Canvas());
    EXPECT_NEAR(pd.min_x, rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(8, 0, 0, 0), 1e-9);
    EXPECT_GT(inked(b, sheet, 0, ui::clBlue, pd.hat_size), 1000);
    EXPECT_GT(inked(b, sheet, 1, ui::clRed, pd.hat_size), 300);   // the bottom
    EXPECT_GT(inked(b, sheet, 3, ui::clBlue, pd.hat_size), 300);  // gas, logarithmic
}

TEST_F(RecordedTrip, DepthMode) {
    FileStorage table;
    read(table, "0012.realdep");
    ASSERT_GT(table.get_data_size(), 500);
    const TableSource src(table, true);
    Planshet sheet;
    std::vector<std::shared_ptr<GraphicsColumn>> columns;
    build(sheet, src, columns);
    // Depths a metre a centimetre, labelled in metres.
    sheet.label_formatter = [](double v) { return lib::float_to_str(v, -1, -1); };
    sheet.set_scale(1);
    ui::TBitmap b(1000, 800);
    sheet.paint(&b.Canvas(), ui::clWhite, 1000, 800);
    b.SaveToFile(output("recorded_trip_depth.png").string());

    PaintData pd;
    sheet.calc_paint_data(pd, &b.Canvas());
    EXPECT_NEAR(pd.min_x, 1800, 0.2);
    EXPECT_GT(inked(b, sheet, 0, ui::clBlue, pd.hat_size), 500);
    EXPECT_GT(inked(b, sheet, 3, ui::clBlue, pd.hat_size), 300);
    // Bit and bottom lie on one line: in a depth file the bit is on bottom.
    EXPECT_GT(inked(b, sheet, 1, ui::clRed, pd.hat_size), 300);
}

}  // namespace
}  // namespace lib::graphics
