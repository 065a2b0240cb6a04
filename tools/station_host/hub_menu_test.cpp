// The host window's menu of the hub's data, worked headless: each item opens
// its window on the attached hub's object, OK writes it back, and the run's
// end closes what is still open.

#include "tools/station_host/hub_menu.h"

#include <gtest/gtest.h>

#include "gti/registr_old/config.h"
#include "gti/registr_old/hub_windows.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/root_testing.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/test_driver.h"

namespace station_host {
namespace {

ui::TMenuItem* item_of(HubMenu& menu, const std::string& caption) {
    for (int i = 0; i < menu.menu()->Count(); ++i)
        if (menu.menu()->Items(i)->Caption() == caption) return menu.menu()->Items(i);
    return nullptr;
}

TEST(HubMenu, ItemsOpenTheirWindowsOnTheAttachedHubAndTheRunsEndClosesThem) {
    root_testing::in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        reg::System* s = sys();
        ui::TForm host(nullptr);
        ui::TMainMenu bar(&host);
        HubMenu menu(bar.Items(), &host);
        EXPECT_EQ(menu.menu()->Caption(), "Скважина");
        ASSERT_EQ(menu.menu()->Count(), 6);

        // No run yet: the items do nothing.
        ui::TMenuItem* construction = item_of(menu, "Конструкция скважины");
        ASSERT_NE(construction, nullptr);
        EXPECT_FALSE(construction->Enabled());
        construction->Click();
        EXPECT_EQ(menu.window("Конструкция скважины"), nullptr);

        menu.attach(s);
        for (const char* caption : {"Конструкция скважины", "Пределы сигнализации", "Калибровка датчика глубины",
                                    "Журнал событий", "Примечания", "Сведения о рейсе"}) {
            ui::TMenuItem* item = item_of(menu, caption);
            ASSERT_NE(item, nullptr) << caption;
            EXPECT_TRUE(item->Enabled());
            item->Click();
            ui::TForm* w = menu.window(caption);
            ASSERT_NE(w, nullptr) << caption;
            EXPECT_TRUE(w->Visible());
            item->Click();  // one of a kind
            EXPECT_EQ(menu.window(caption), w);
        }

        // The open hole entered in the construction's window reaches the hub's
        // construction with OK.
        auto* cw = dynamic_cast<reg::ConstructionWindow*>(menu.window("Конструкция скважины"));
        ASSERT_NE(cw, nullptr);
        ui::TestDriver drv;
        const ui::TRect cell = cw->Grid->CellRect(0, 9);
        drv.Click(*cw->Grid, ui::TPoint{(cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2});
        cw->Grid->SetCells(3, 9, "1750");
        drv.Click(*cw->btnOk);
        ui::Application().FreeReleasedForms();
        EXPECT_EQ(menu.window("Конструкция скважины"), nullptr);
        EXPECT_FLOAT_EQ(s->get_pore().get_construction()->get_total_len(), 1750);
        EXPECT_EQ(s->get_pore().get_construction()->get_grid(), nullptr);

        // The run ends: the windows go unapplied, the log lets its grid go.
        auto* limits = dynamic_cast<reg::AlarmLimitsWindow*>(menu.window("Пределы сигнализации"));
        ASSERT_NE(limits, nullptr);
        limits->Grid->SetCells(2, 1, "999");
        menu.detach();
        EXPECT_EQ(menu.window("Пределы сигнализации"), nullptr);
        EXPECT_EQ(menu.window("Журнал событий"), nullptr);
        EXPECT_EQ(s->get_registr_log().get_grid(), nullptr);
        EXPECT_FLOAT_EQ(s->get_config().get_min_max().at(0).max, 200);
        EXPECT_FALSE(construction->Enabled());
    });
}

}  // namespace
}  // namespace station_host
