// Speed of the live chart page on a real screen: a form of 1,280 x 1,024
// whose page control shows the chart view (4 columns, 12 curves, eight
// hours of records every 5 s, the newest hour in view), repainted whole and
// shown through the GTK display on a virtual X server: the form's picture
// painted and copied into the window, until the X server has it. The aim is
// one frame at 60 Hz (16 ms). Without Xvfb the benchmark reports an error.

#include <benchmark/benchmark.h>

#include "library/graphics/chart_view.h"
#include "library/graphics/graphics_column.h"
#include "library/graphics/testdata/chart_source.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/pages.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/virtual_screen_testing.h"

namespace {

using lib::graphics::ChartView;
using lib::graphics::GraphicsColumn;
using lib::graphics::testing::ChartSource;
using lib::graphics::testing::kTripParams;

constexpr int kRecords = 8 * 720;
constexpr double kStep = 5.0 / 86400;

void BM_ChartPageRepaintOnScreen(benchmark::State& state) {
    // Stopped when the program ends.
    static ui::testing::VirtualScreen screen;
    static std::string why;
    static const bool ok = [] {
        if (!screen.start(1600, 1200)) {
            why = screen.error();
            return false;
        }
        try {
            ui::start_screen_display();
        } catch (const std::exception& e) {
            why = e.what();
            return false;
        }
        return true;
    }();
    if (!ok) {
        state.SkipWithError(("no virtual X server: " + why).c_str());
        return;
    }

    ui::TForm form(nullptr);
    form.SetBorderStyle(ui::bsNone);
    form.SetBounds(0, 0, 1280, 1024);
    auto* pages = new ui::TPageControl(&form);
    pages->SetParent(&form);
    pages->SetAlign(ui::alClient);
    auto* page = new ui::TTabSheet(&form);
    page->SetPageControl(pages);
    page->SetCaption("Диаграмма");
    auto* view = new ChartView(&form);
    view->SetParent(page);
    view->SetAlign(ui::alClient);

    ChartSource src;
    lib::graphics::testing::make_trip(src, kRecords, 45000, kStep);
    const ui::TColor colours[] = {ui::clBlue, ui::clRed, ui::clGreen};
    std::vector<std::shared_ptr<GraphicsColumn>> columns;
    for (int c = 0; c < 4; ++c) {
        auto column = std::make_shared<GraphicsColumn>(&view->sheet(), ("колонка" + std::to_string(c + 1)).c_str());
        src.bind(*column);
        for (int k = 0; k < 3; ++k) {
            const auto& p = kTripParams[c * 3 + k];
            column->add_curve(p.title, p.name, p.left, p.right, colours[k], k == 0 ? 2 : 1);
        }
        if (c == 3) column->set_log_mode(true);
        view->sheet().add_column(column);
        columns.push_back(column);
    }
    view->sheet().set_scale(1.0 / 1440 * 3);  // three minutes a centimetre: the last hour
    int painted = 0;
    view->sheet().on_paint_column = [&](ui::TCanvas*, const ui::TRect&, int, const lib::graphics::ColumnPtr&) {
        ++painted;
    };
    form.Show();
    view->data_changed();
    for (int i = 0; i < 20; ++i) ui::Application().ProcessMessages();
    ui::display().PaintNow(form);
    painted = 0;

    for (auto _ : state) {
        view->Invalidate();
        ui::display().PaintNow(form);
    }
    if (painted < static_cast<int>(state.iterations())) state.SkipWithError("the chart was not repainted");
    form.Hide();
    ui::Application().ProcessMessages();
}
BENCHMARK(BM_ChartPageRepaintOnScreen)->Unit(benchmark::kMillisecond);

}  // namespace
