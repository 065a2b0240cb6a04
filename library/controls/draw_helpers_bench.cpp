// Speed of the chart drawing: a dense curve through smart_draw_points (runs
// of samples on one pixel column, as a log chart has them when zoomed out)
// and a plain 100,000-point polyline, both into a 1,000 x 1,000 bitmap.

#include <benchmark/benchmark.h>

#include <vector>

#include "library/controls/draw_helpers.h"

namespace {

std::vector<ui::TPoint> chart_curve(int n) {
    // n samples over 1,000 rows: about a hundred samples per row, moving
    // sideways a little as a recorded parameter does.
    std::vector<ui::TPoint> p;
    p.reserve(static_cast<std::size_t>(n));
    unsigned seed = 12345;
    int x = 500;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % 8 == 0) x += static_cast<int>((seed >> 8) % 7) - 3;
        p.push_back({x, i * 1000 / n});
    }
    return p;
}

std::vector<ui::TPoint> zigzag(int n) {
    std::vector<ui::TPoint> p;
    p.reserve(static_cast<std::size_t>(n));
    unsigned seed = 777;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        p.push_back({static_cast<int>((seed >> 8) % 1000), i / 100});
    }
    return p;
}

void BM_SmartDrawPoints(benchmark::State& state) {
    ui::TBitmap bitmap(1000, 1000);
    const std::vector<ui::TPoint> curve = chart_curve(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        lib::smart_draw_points(curve, &bitmap.Canvas(), ui::Rect(0, 0, 1000, 1000), false, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SmartDrawPoints)->Arg(10000)->Arg(100000);

void BM_SmartDrawPointsPatterned(benchmark::State& state) {
    ui::TBitmap bitmap(1000, 1000);
    bitmap.Canvas().Pen().SetStyle(ui::psDashDot);
    bitmap.Canvas().Pen().SetWidth(2);
    const std::vector<ui::TPoint> curve = chart_curve(10000);
    for (auto _ : state) {
        lib::smart_draw_points(curve, &bitmap.Canvas(), ui::Rect(0, 0, 1000, 1000), false, 50);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmartDrawPointsPatterned);

void BM_Polyline100k(benchmark::State& state) {
    ui::TBitmap bitmap(1000, 1000);
    const std::vector<ui::TPoint> points = zigzag(100000);
    for (auto _ : state) {
        lib::win9x_poly_line(&bitmap.Canvas(), points.data(), static_cast<int>(points.size()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Polyline100k);

}  // namespace
