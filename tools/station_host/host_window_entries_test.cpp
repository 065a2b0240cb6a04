// The host window's own entries of the "Скважина" menu, headless on a hub
// of its own: the drill string and a parameter's settings reach the hub on
// OK and not on Cancel, a changed parameter is saved with the table, and
// the run's end takes the entries away.

#include <gtest/gtest.h>

#include <filesystem>

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/radio_dens_opt_form.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/root_testing.h"
#include "gti/registr_old/sys_lock.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "tools/station_host/host_window.h"
#include "tools/station_host/well_windows_testing.h"

namespace station_host {
namespace {

using namespace ui;

using station_host::testing::button;
using station_host::testing::headless;

TMenuItem* entry(TMenuItem* menu, const std::string& caption) {
    for (int i = 0; i < menu->Count(); ++i)
        if (menu->Items(i)->Caption() == caption) return menu->Items(i);
    return nullptr;
}

// The hub's string and a density meter in its table, the table's file in
// the test's folder.
void fill_hub(reg::System& hub, const std::string& table_file) {
    lib::Locker hold(sys_lock_obj());
    station_host::testing::put_short_string(*hub.get_pore().get_instr());
    ParTabl& table = hub.get_data_storage().get_par_tabl();
    Param density;
    density.global_name = "плотн_пж_вх_радиоакт";
    density.name = "Плотность на входе";
    density.channel = 19;
    density.points = {{500, 1.0}, {1500, 2.0}};
    table.add(density);
    table.set_file_name(table_file);
}

TEST(WellEntries, StringAndParameterReachTheHubOnOkOnlyAndTheTableIsSaved) {
    root_testing::in_fresh_process([] {
        os::testing::TempDir base;
        os::set_program_dir_override(base.path());
        const std::string table_file = base / "params.tbl";
        reg::System* hub = sys();
        fill_hub(*hub, table_file);
        TForm host(nullptr);
        TMainMenu bar(&host);
        auto* menu = new TMenuItem(&host);
        menu->SetCaption("Скважина");
        bar.Items()->Add(menu);
        WellEntries entries(menu, &host);
        ASSERT_EQ(menu->Count(), 3);
        EXPECT_FALSE(entries.string_item()->Enabled());
        EXPECT_FALSE(entries.params_menu()->Enabled());
        entries.string_item()->Click();  // no run: nothing opens
        EXPECT_EQ(headless().PendingScripts(), 0);

        entries.attach(hub);
        EXPECT_TRUE(entries.string_item()->Enabled());
        EXPECT_TRUE(entries.well_item()->Enabled());
        TMenuItem* density = entry(entries.params_menu(), "Плотность на входе...");
        ASSERT_NE(density, nullptr);
        TestDriver drv;

        for (const bool confirm : {false, true}) {
            SCOPED_TRACE(confirm ? "OK" : "Отмена");
            headless().ExpectModal([&](TCustomForm& f) { station_host::testing::type_stand_count(drv, f, confirm); });
            entries.string_item()->Click();
            lib::Locker hold(sys_lock_obj());
            EXPECT_EQ(hub->get_pore().get_instr()->get(1).count, confirm ? 42 : 40);
        }

        headless().ExpectModal([&](TCustomForm& f) {
            EXPECT_EQ(f.Caption(), "Скважина");
            drv.Click(*button(f, "Закрыть"));
        });
        entries.well_item()->Click();
        EXPECT_EQ(headless().PendingScripts(), 0);

        // OK without a change writes nothing; Cancel neither; a changed
        // name goes into the table and its file.
        for (const char* step : {"unchanged", "cancelled", "renamed"}) {
            SCOPED_TRACE(step);
            const bool renamed = std::string(step) == "renamed";
            headless().ExpectModal([&](TCustomForm& f) {
                auto* form = dynamic_cast<TRadioDensOptForm*>(&f);
                ASSERT_NE(form, nullptr);
                EXPECT_EQ(form->edName->Text(), "Плотность на входе");
                if (std::string(step) != "unchanged") form->edName->SetText("Плотность ПЖ на входе");
                drv.Click(std::string(step) == "cancelled" ? *form->btnCancel : *form->btnOk);
            });
            density->Click();
            {
                lib::Locker hold(sys_lock_obj());
                const ParTabl& table = hub->get_data_storage().get_par_tabl();
                const int i = table.find_global("плотн_пж_вх_радиоакт");
                ASSERT_GE(i, 0);
                EXPECT_EQ(table.at(i).name, renamed ? "Плотность ПЖ на входе" : "Плотность на входе");
            }
            EXPECT_EQ(std::filesystem::exists(table_file), renamed);
        }
        ParTabl saved;
        saved.load_from(table_file);
        const int i = saved.find_global("плотн_пж_вх_радиоакт");
        ASSERT_GE(i, 0);
        EXPECT_EQ(saved.at(i).name, "Плотность ПЖ на входе");
        EXPECT_EQ(saved.at(i).points, (std::vector<UnitCalibrPoint>{{500, 1.0}, {1500, 2.0}}));

        // The run ends: the entries go off and the parameters' list empties.
        entries.detach();
        EXPECT_FALSE(entries.string_item()->Enabled());
        EXPECT_FALSE(entries.well_item()->Enabled());
        EXPECT_EQ(entries.params_menu()->Count(), 0);
        entries.string_item()->Click();
        EXPECT_EQ(headless().PendingScripts(), 0);
    });
}

}  // namespace
}  // namespace station_host
