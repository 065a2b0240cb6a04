// Whole charts rendered to PNG (build/<kind>/test_output/chart/) from
// generated trip data, in time and in depth mode, with linear and
// logarithmic columns, marks and an owner's column hook.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "library/graphics/graphics_column.h"
#include "library/graphics/planshet.h"
#include "library/graphics/testdata/chart_source.h"
#include "library/number_conv.h"
#include "platform/rtl/datetime.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib::graphics {
namespace {

using testing::ChartSource;
using testing::kTripParams;

std::filesystem::path output_dir() {
    const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "chart";
    std::filesystem::create_directories(dir);
    return dir;
}

const testing::TripParam& param(const std::string& name) {
    for (const auto& p : kTripParams)
        if (name == p.name) return p;
    throw std::runtime_error("no parameter " + name);
}

struct TripChart {
    explicit TripChart(bool log_gas) {
        const ui::TColor colours[] = {ui::clBlue, ui::clRed, ui::clGreen, ui::clPurple};
        const std::vector<std::vector<std::string>> layout = {
            {"вес_на_крюке", "давление", "момент"},
            {"глубина_долота", "забой"},
            {"расход_вх", "расход_вых", "обороты"},
            {"газ", "плотность"},
        };
        const char* captions[] = {"Нагрузки", "Глубина", "Расход", "Газ"};
        for (std::size_t c = 0; c < layout.size(); ++c) {
            auto column = std::make_shared<GraphicsColumn>(&sheet, captions[c]);
            src.bind(*column);
            for (std::size_t k = 0; k < layout[c].size(); ++k) {
                const auto& p = param(layout[c][k]);
                column->add_curve(p.title, p.name, p.left, p.right, colours[k], k == 0 ? 2 : 1);
            }
            sheet.add_column(column);
            columns.push_back(column);
        }
        if (log_gas) {
            columns[3]->set_log_mode(true);
            columns[3]->set_log_scale(0.001, 10);
        }
    }
    int count_colour(const ui::TBitmap& b, int column, ui::TColor colour, int top) const {
        std::vector<Planshet::ColumnCoord> coords;
        sheet.calc_columns_coords(coords, b.Width());
        int n = 0;
        for (int y = top; y < b.Height(); ++y)
            for (int x = coords[static_cast<std::size_t>(column)].start;
                 x < coords[static_cast<std::size_t>(column)].end; ++x)
                n += b.Pixel(x, y) == colour;
        return n;
    }
    Planshet sheet;
    ChartSource src;
    std::vector<std::shared_ptr<GraphicsColumn>> columns;
};

TEST(ChartRender, TimeModeLinearAndLog) {
    TripChart chart(true);
    const double start = rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(10, 0, 0, 0);
    testing::make_trip(chart.src, 6 * 720, start, 5.0 / 86400);  // six hours, every 5 s
    chart.sheet.set_double_buffered(true);
    chart.sheet.set_scale(10.0 / 1440);  // ten minutes a centimetre
    chart.sheet.set_offset(200);
    // The owner's hook: a shaded band behind the first column, as the
    // cementing window shades its stages.
    chart.sheet.on_paint_column = [](ui::TCanvas* cv, const ui::TRect& r, int index, const ColumnPtr&) {
        if (index != 0) return;
        cv->Brush().SetColor(0xE0F0FF);
        cv->Brush().SetStyle(ui::bsSolid);
        cv->FillRect(ui::Rect(r.Left + 1, 300, r.Right - 1, 360));
    };

    ui::TBitmap b(1000, 700);
    chart.sheet.paint(&b.Canvas(), ui::clBtnFace, 1000, 700);
    PaintData pd;
    chart.sheet.calc_paint_data(pd, &b.Canvas());
    // A mark on the pressure curve, by double click next to it.
    const auto& pressure = chart.src.series("давление");
    const std::size_t record = 1500;
    const int y = chart.sheet.x_to_pos(pressure.pos[record], pd);
    const int x = static_cast<int>(pressure.value[record] / 250 * 245);
    chart.sheet.mouse_dblclick({x + 3, y - 2});
    ASSERT_EQ(chart.columns[0]->get_marks().size(), 1u);
    chart.sheet.paint(&b.Canvas(), ui::clBtnFace, 1000, 700);
    b.SaveToFile((output_dir() / "chart_time.png").string());

    EXPECT_EQ(pd.hat_size, 3 * 30 + 6);  // the tallest header: three linear curves
    for (int c = 0; c < 3; ++c) EXPECT_GT(chart.count_colour(b, c, ui::clBlue, pd.hat_size), 300) << c;
    EXPECT_GT(chart.count_colour(b, 3, ui::clBlue, pd.hat_size), 300);  // gas on the log axis
    EXPECT_GT(chart.count_colour(b, 0, ui::clRed, pd.hat_size), 300);
    EXPECT_GT(chart.count_colour(b, 0, 0xE0F0FF, pd.hat_size), 1000);
}

TEST(ChartRender, DepthMode) {
    // A depth log: positions are metres of depth, one record every 10 cm.
    TripChart chart(false);
    int phase = 0;
    for (const auto& p : kTripParams) {
        auto& s = chart.src.series(p.name);
        ++phase;
        unsigned seed = 7;
        for (int i = 0; i < 2000; ++i) {
            const double depth = 1800 + i * 0.1;
            seed = seed * 1664525u + 1013904223u;
            const double jitter = ((seed >> 8) % 1000) / 1000.0;
            const double mid = (p.left + p.right) / 2, half = (p.right - p.left) / 2;
            s.add(depth, mid + half * 0.6 * std::sin(i / 40.0 + phase) + half * 0.2 * (jitter - 0.5));
        }
    }
    chart.sheet.label_formatter = [](double v) { return lib::float_to_str(v, -1, -1); };
    chart.sheet.set_scale(2);  // two metres a centimetre
    chart.columns[2]->set_log_mode(true);
    chart.columns[2]->set_log_scale(1, 1000);
    ui::TBitmap b(900, 800);
    chart.sheet.paint(&b.Canvas(), ui::clWhite, 900, 800);
    b.SaveToFile((output_dir() / "chart_depth.png").string());
    PaintData pd;
    chart.sheet.calc_paint_data(pd, &b.Canvas());
    EXPECT_DOUBLE_EQ(pd.min_x, 1800);
    EXPECT_NEAR(pd.max_x, 1999.9, 1e-9);
    EXPECT_GT(chart.count_colour(b, 0, ui::clBlue, pd.hat_size), 500);
    EXPECT_GT(chart.count_colour(b, 2, ui::clBlue, pd.hat_size), 500);
}

}  // namespace
}  // namespace lib::graphics
