#include "plugins/cement/cement_form.h"

#include <gtest/gtest.h>

#include "library/controls/draw_helpers.h"
#include "library/number_conv.h"
#include "platform/os/clock.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "plugins/cement/cement_testing.h"

namespace {

using cement::testing::in_station;
using cement::testing::Job;

// Pixels of a colour inside a control, in the form's picture (the whole
// window, its frame and caption included).
int ink(ui::TForm& form, ui::TControl& c, ui::TColor color) {
    ui::TBitmap& pic = form.Picture();
    const ui::TPoint at = c.ClientToScreen({0, 0});
    int n = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            n += pic.Canvas().Pixel(at.x - form.Left() + x, at.y - form.Top() + y) == color;
    return n;
}

TEST(CementMonitor, ARunningThreeElementJobWithItsCurvesBandsAndProfile) {
    in_station([](const std::string&) {
        cement::testing::make_well();
        Job job;
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer, cement::kind_cement, cement::kind_displacement});
        p.show(true);
        auto& form = dynamic_cast<TCementForm&>(*p.get_form());
        form.Show();
        ui::TestDriver user;

        EXPECT_EQ(form.btnNextProgram->Caption(), "Начать программу");
        EXPECT_TRUE(form.btnNextProgram->Enabled());
        EXPECT_FALSE(form.btnReport->Enabled());
        EXPECT_FALSE(form.btnPrevProgram->Visible());

        // The operator starts the programme: the host is asked for a trip
        // and answers with the recording.
        user.Click(*form.btnNextProgram);
        EXPECT_TRUE(p.may_start());
        p.start_registration(1, false);
        ASSERT_EQ(p.job().element, 0);
        EXPECT_EQ(form.btnNextProgram->Caption(), "Следующий этап");
        EXPECT_EQ(form.tiCurrentProgram->Caption(), "Закачка буфера");

        auto pump = [&](int cycles, double flow, double pressure) {
            for (int k = 0; k < cycles; ++k) {
                job.set("cem_rasx", flow + (k % 5));
                job.set("cem_davl", pressure + 3 * (k % 7));
                job.set("cem_plotn", 1.2 + 0.02 * (k % 4));
                job.set("cem_temp", 20 + 0.1 * k);
                job.step(4);
            }
        };
        pump(25, 30, 120);
        user.Click(*form.btnNextProgram);
        ASSERT_EQ(p.job().element, 1);
        EXPECT_TRUE(form.btnPrevProgram->Visible());
        pump(30, 45, 260);
        user.Click(*form.btnNextProgram);
        ASSERT_EQ(p.job().element, 2);
        EXPECT_EQ(form.btnNextProgram->Caption(), "Завершить этап");
        pump(20, 20, 180);

        // The values as the plug-in published them.
        EXPECT_EQ(form.tiQ->Caption(), lib::float_to_str(p.live_value("cem_rasx")));
        EXPECT_EQ(form.tiVsumm->Caption(), lib::float_to_str(p.live_value("cem_Vsumm")));
        // What the acquisition has just written is not shown before a data
        // cycle publishes it.
        const std::string shown = form.tiQ->Caption();
        job.set("cem_rasx", 77.5);
        p.refresh_window();
        EXPECT_EQ(form.tiQ->Caption(), shown);
        p.data_cycle(false);
        p.refresh_window();
        EXPECT_EQ(form.tiQ->Caption(), lib::float_to_str(77.5f));
        // The profile: one row per section, the chart shown.
        ASSERT_FALSE(p.sections().items.empty());
        EXPECT_EQ(form.grdSections->RowCount(), int(p.sections().items.size()));
        EXPECT_FALSE(form.error_shown);
        EXPECT_TRUE(form.pbCementCurve->Visible());

        // A finer scale for the picture: 20 s a centimetre.
        form.cbxScale->SelectByUser(2);
        EXPECT_TRUE(form.sbarVert->Enabled());
        // The newest points in sight: the chart at its largest offset.
        EXPECT_EQ(form.sbarVert->Position(), form.sbarVert->MaxPosition());
        EXPECT_EQ(form.chart().get_offset(), form.sbarVert->Position());
        EXPECT_GT(form.chart().get_offset(), 0);
        form.SaveToPng(cement::testing::png_folder() + "cement_monitor_running.png");
        // Bands of the two elements done, curves of pressure and flow.
        EXPECT_GT(ink(form, *form.pbCementCurve, TCementForm::band_color(cement::kind_buffer)), 50);
        EXPECT_GT(ink(form, *form.pbCementCurve, TCementForm::band_color(cement::kind_cement)), 50);
        EXPECT_GT(ink(form, *form.pbCementCurve, 0x0000FF), 20);
        EXPECT_GT(ink(form, *form.pbCementCurve, 0xFF0000), 20);

        // Past the last element the host is asked to stop; its stop ends the
        // programme.
        user.Click(*form.btnNextProgram);
        EXPECT_TRUE(p.finish_requested());
        p.stop_registration();
        p.command(0);
        EXPECT_EQ(p.job().element, cement::element_finished);
        EXPECT_EQ(form.btnNextProgram->Caption(), "Начать новую программу");
        EXPECT_TRUE(form.btnNextProgram->Enabled());
        EXPECT_TRUE(form.btnReport->Enabled());
        EXPECT_EQ(form.tiCurrentProgram->Caption(), "");
        form.SaveToPng(cement::testing::png_folder() + "cement_monitor_finished.png");
    });
}

TEST(CementMonitor, StepBackAndScaleFromTheWindow) {
    in_station([](const std::string&) {
        cement::testing::make_well();
        Job job;
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer, cement::kind_cement});
        p.show(true);
        auto& form = dynamic_cast<TCementForm&>(*p.get_form());
        form.Show();
        ui::TestDriver user;
        user.Click(*form.btnNextProgram);
        p.start_registration(1, false);
        job.set("cem_rasx", 10);
        for (int i = 0; i < 3; ++i) job.step(1);
        user.Click(*form.btnNextProgram);
        ASSERT_EQ(p.job().element, 1);
        user.Click(*form.btnPrevProgram);
        EXPECT_EQ(p.job().element, 0);
        EXPECT_EQ(form.tiCurrentProgram->Caption(), "Закачка буфера");
        EXPECT_FALSE(form.btnPrevProgram->Visible());

        // The scale list: the job keeps the choice, the chart takes it.
        EXPECT_EQ(form.cbxScale->ItemIndex(), p.job().chart_scale);
        form.cbxScale->SelectByUser(0);
        EXPECT_EQ(p.job().chart_scale, 0);
        EXPECT_DOUBLE_EQ(form.chart().get_scale(), 5 / 86400.0);
    });
}

TEST(CementMonitor, AlarmsBlinkOnlyOverTheirLimits) {
    in_station([](const std::string&) {
        CementData data;
        ChartPoints points;
        CementProgramElement e;
        e.name = "Закачка цемента";
        e.kind = cement::kind_cement;
        e.mode = cement::state_running;
        data.program = {e};
        data.element = 0;
        data.plan[CementData::plan_volume][CementData::col_cement] = 10;
        os::ManualClock clock;
        os::ScopedClock use(clock);
        clock.advance(1000);
        TCementForm form(nullptr, data, points);
        CementLiveData live;
        auto show = [&](float volume, float pressure, float critical) {
            live.values["cem_V"] = volume;
            live.values["cem_davl"] = pressure;
            data.program[0].P_critical = critical;
            form.update_values(live);
            form.show_programme();
        };
        const ui::TColor v_calm = lib::transform_color_light(0x008080, 220, 0);
        const ui::TColor p_calm = lib::transform_color_light(0x0000FF, 220, 0);

        show(10, 50, 50);  // at the plan and at the limit: calm
        EXPECT_EQ(form.tiV->Font().Color(), ui::clBlack);
        EXPECT_EQ(form.tiV->Color(), v_calm);
        EXPECT_EQ(form.tiP->Font().Color(), ui::clBlack);
        EXPECT_EQ(form.tiP->Color(), p_calm);

        show(10.5f, 50.5f, 50);  // over both: red, shade by the second
        EXPECT_EQ(form.tiV->Font().Color(), ui::clRed);
        EXPECT_EQ(form.tiP->Font().Color(), ui::clRed);
        const ui::TColor odd = form.tiV->Color();
        clock.advance(1000);
        form.show_programme();
        EXPECT_NE(form.tiV->Color(), odd);
        EXPECT_EQ(form.tiV->Color(), lib::transform_color_light(0x008080, 120, 0));

        show(10, 600, 0);  // no limit set: never an alarm
        EXPECT_EQ(form.tiP->Font().Color(), ui::clBlack);

        // No element runs: no alarms whatever the values.
        data.element = cement::element_none;
        show(99, 600, 50);
        EXPECT_EQ(form.tiV->Font().Color(), ui::clBlack);
        EXPECT_EQ(form.tiP->Font().Color(), ui::clBlack);
    });
}

TEST(CementMonitor, AWrongWellShowsTheErrorInsteadOfTheChart) {
    in_station([](const std::string&) {
        Job job;  // no construction: no sections at all
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer});
        p.show(true);
        auto& form = dynamic_cast<TCementForm&>(*p.get_form());
        form.Show();
        ui::TestDriver().Click(*form.btnNextProgram);
        p.start_registration(1, false);
        job.step(1);
        EXPECT_EQ(p.calc_error(), "Общая длина всех секций = 0");
        EXPECT_TRUE(form.error_shown);
        EXPECT_TRUE(form.lblError->Visible());
        EXPECT_EQ(form.lblError->Caption(), "ОШИБКА: Неверно введена конструкция скважины!!!");
        EXPECT_FALSE(form.pbCementCurve->Visible());
        form.SaveToPng(cement::testing::png_folder() + "cement_monitor_error.png");
        // The well is put right: the chart comes back.
        cement::testing::make_well();
        job.step(1);
        EXPECT_FALSE(form.error_shown);
        EXPECT_FALSE(form.lblError->Visible());
        EXPECT_TRUE(form.pbCementCurve->Visible());
    });
}

}  // namespace

namespace {

TEST(CementMonitor, AsAPageOfTheHostsPages) {
    in_station([](const std::string&) {
        cement::testing::make_well();
        Job job;
        CementPlugin& p = job.plugin;
        job.programme({cement::kind_buffer, cement::kind_cement, cement::kind_displacement});
        ui::TForm host(nullptr);
        host.SetBounds(0, 0, 1040, 740);
        auto* pages = new ui::TPageControl(&host);
        pages->SetParent(&host);
        pages->SetAlign(ui::alClient);
        auto* sheet = new ui::TTabSheet(&host);
        sheet->SetPageControl(pages);
        sheet->SetCaption("Контроль цементирования");
        ui::TForm* form = p.get_form();
        form->SetParent(sheet);
        form->SetBorderStyle(ui::bsNone);
        form->SetVisible(true);
        form->SetAlign(ui::alClient);
        p.show(true);
        host.Show();
        ui::TestDriver().Click(*static_cast<TCementForm*>(form)->btnNextProgram);
        p.start_registration(1, false);
        for (int k = 0; k < 10; ++k) {
            job.set("cem_rasx", 20 + k);
            job.set("cem_davl", 100 + 10 * k);
            job.step(3);
        }
        host.SaveToPng(cement::testing::png_folder() + "cement_monitor_as_page.png");
        EXPECT_GT(ink(host, *static_cast<TCementForm*>(form)->tiP, lib::transform_color_light(0x0000FF, 220, 0)), 200);
    });
}

}  // namespace
