// The host's well windows, headless: the drill-string settings window
// confirmed and cancelled as an operator does, the picture of the well with
// its string and sections, and the parameters that get a menu entry.

#include "tools/station_host/well_windows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "gti/registr_old/par_tabl.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "tools/station_host/well_windows_testing.h"

namespace station_host {
namespace {

using namespace ui;

using station_host::testing::button;
using station_host::testing::headless;
using station_host::testing::short_string;

TEST(WellWindows, DrillStringWindowOkAndCancel) {
    TestDriver drv;
    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "OK" : "Отмена");
        instr::Items items = short_string();
        headless().ExpectModal([&](TCustomForm& f) {
            EXPECT_EQ(f.Caption(), "Промер инструмента");
            station_host::testing::type_stand_count(drv, f, confirm);
        });
        EXPECT_EQ(edit_drill_string(items), confirm);
        EXPECT_EQ(items.get(1).count, confirm ? 42 : 40);
    }
}

TEST(WellWindows, WellPictureWithStringAndSections) {
    pore::PoreOpt well;
    *well.get_instr() = short_string();
    pore::Construction& con = *well.get_construction();
    for (int i = 0; i < con.size(); ++i) {
        pore::ConstrElement& e = con.at(i);
        if (e.name == "Кондуктор") {
            e.enabled = true;
            e.bottom = 500;
            e.inner_diameter = 300;
        } else if (e.name == "Голый ствол") {
            e.enabled = true;
            e.top = 500;
            e.bottom = 1100;
            e.inner_diameter = 215.9f;
        }
    }
    const std::string dir = std::string(STATION_BINARY_DIR) + "/test_output/station_host";
    std::filesystem::create_directories(dir);
    headless().ExpectModal([&](TCustomForm& f) {
        EXPECT_EQ(f.Caption(), "Скважина");
        f.SaveToPng(dir + "/well_with_sections.png");
        TestDriver().Click(*button(f, "Закрыть"));
    });
    show_well(well);
    EXPECT_TRUE(std::filesystem::exists(dir + "/well_with_sections.png"));
}

TEST(WellWindows, OnlyParametersWithASettingsWindowGetAnEntry) {
    ParTabl table;
    for (const char* name : {"вес_на_крюке", "плотн_пж_вх_радиоакт", "глубина", "плотн_пж_вых_радиоакт"}) {
        Param p;
        p.global_name = name;
        table.add(p);
    }
    EXPECT_EQ(params_with_window(table), (std::vector<int>{1, 3}));
}

}  // namespace
}  // namespace station_host
