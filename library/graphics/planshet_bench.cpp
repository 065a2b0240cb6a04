// Speed of a chart repaint: a sheet of 4 columns and 12 curves over 200,000
// records (a trip of eleven days sampled every 5 s) repainted into a
// 1,600 x 1,000 bitmap through the shared back buffer. Two views: the
// default scale (one hour a centimetre, about a day on screen) and the
// whole trip on one screen, where every record is visible.

#include <benchmark/benchmark.h>

#include "library/graphics/graphics_column.h"
#include "library/graphics/planshet.h"
#include "library/graphics/testdata/chart_source.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace {

using lib::graphics::GraphicsColumn;
using lib::graphics::Planshet;
using lib::graphics::testing::ChartSource;
using lib::graphics::testing::kTripParams;

constexpr int kRecords = 200000;
constexpr double kStep = 5.0 / 86400;

struct BenchChart {
    BenchChart() {
        lib::graphics::testing::make_trip(src, kRecords, 45000, kStep);
        const ui::TColor colours[] = {ui::clBlue, ui::clRed, ui::clGreen};
        for (int c = 0; c < 4; ++c) {
            auto column = std::make_shared<GraphicsColumn>(&sheet, ("колонка" + std::to_string(c + 1)).c_str());
            src.bind(*column);
            for (int k = 0; k < 3; ++k) {
                const auto& p = kTripParams[c * 3 + k];
                column->add_curve(p.title, p.name, p.left, p.right, colours[k], k == 0 ? 2 : 1);
            }
            if (c == 3) column->set_log_mode(true);
            sheet.add_column(column);
        }
        sheet.set_double_buffered(true);
    }
    ChartSource src;
    Planshet sheet;
};

void repaint(benchmark::State& state, double scale) {
    BenchChart chart;
    chart.sheet.set_scale(scale);
    chart.sheet.set_offset(300);
    ui::TBitmap window(1600, 1000);
    for (auto _ : state) {
        chart.sheet.paint(&window.Canvas(), ui::clBtnFace, 1600, 1000);
        benchmark::ClobberMemory();
    }
}

void BM_ChartRepaintDefaultScale(benchmark::State& state) { repaint(state, 1.0 / 24); }
BENCHMARK(BM_ChartRepaintDefaultScale)->Unit(benchmark::kMillisecond);

void BM_ChartRepaintWholeTrip(benchmark::State& state) {
    // Eleven and a half days on about 24 cm of screen.
    repaint(state, kRecords * kStep / 23);
}
BENCHMARK(BM_ChartRepaintWholeTrip)->Unit(benchmark::kMillisecond);

}  // namespace
