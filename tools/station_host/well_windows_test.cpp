// The host's well windows, headless: the drill-string settings window
// confirmed and cancelled as an operator does, the picture of the well with
// its string and sections, and the parameters that get a menu entry.

#include "tools/station_host/well_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "gti/registr_old/par_tabl.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/picture_testing.h"
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
    TBitmap list, picture;
    headless().ExpectModal([&](TCustomForm& f) {
        EXPECT_EQ(f.Caption(), "Скважина");
        f.SaveToPng(dir + "/well_with_sections.png");
        for (int i = 0; i < f.ComponentCount(); ++i)
            if (auto* box = dynamic_cast<TPaintBox*>(f.Components(i)))
                ui::testing::paint_control(*box, box->Align() == alRight ? list : picture);
        TestDriver().Click(*button(f, "Закрыть"));
    });
    show_well(well);
    ASSERT_FALSE(list.Empty());
    ASSERT_FALSE(picture.Empty());

    // The list: a heading and one line per section, 18 pixels apart, each
    // with its interval, bore and string columns; nothing below.
    std::vector<pore::PoreSection> sections;
    well.divide_to_sections(sections, well.get_instr()->get_total_len(), true);
    ASSERT_GE(sections.size(), 2u);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const int y = 8 + 18 * static_cast<int>(i + 1);
        SCOPED_TRACE("section " + std::to_string(i));
        EXPECT_GT(ui::testing::count_ink(list, TRect(8, y, 140, y + 16), clWhite), 20);
        EXPECT_GT(ui::testing::count_ink(list, TRect(150, y, 230, y + 16), clWhite), 10);
        EXPECT_GT(ui::testing::count_ink(list, TRect(240, y, 320, y + 16), clWhite), 5);
        EXPECT_EQ(ui::testing::count_ink(list, TRect(0, y, 7, y + 16), clWhite), 0);
    }
    EXPECT_GT(ui::testing::count_ink(list, TRect(8, 8, 320, 24), clWhite), 100);  // the heading
    const int below = 8 + 18 * static_cast<int>(sections.size() + 1) + 2;
    EXPECT_EQ(ui::testing::count_ink(list, TRect(0, below, list.Width(), list.Height()), clWhite), 0);

    // The picture, 4 pixels in from its edges: the conductor's walls at
    // 250 m and the open hole's at 800 m where their diameters put them, the
    // string inside both down to its length, nothing of either past it.
    const TRect well_rect(4, 4, picture.Width() - 4, picture.Height() - 4);
    const int centre = (well_rect.Left + well_rect.Right) / 2;
    const float depth = std::max(1100.f, well.get_instr()->get_total_len()) * 1.02f;
    const float widest = 300 * 1.2f;
    auto y_at = [&](float metres) { return well_rect.Top + static_cast<int>(well_rect.Height() * metres / depth); };
    auto half_of = [&](float diameter) {
        return static_cast<int>(well_rect.Width() / 2 * diameter / widest + 0.5f);
    };
    for (const auto& [metres, diameter] : {std::pair{250.f, 300.f}, std::pair{800.f, 215.9f}}) {
        const int y = y_at(metres), half = half_of(diameter), pipe = half_of(127);
        SCOPED_TRACE(ui::testing::describe_row(picture, y, 0, picture.Width(), 2));
        EXPECT_GT(ui::testing::count_colour(picture, TRect(centre - half - 2, y, centre - half + 3, y + 1), clNavy), 0);
        EXPECT_GT(ui::testing::count_colour(picture, TRect(centre + half - 3, y, centre + half + 2, y + 1), clNavy), 0);
        EXPECT_GT(ui::testing::count_colour(picture, TRect(centre - pipe - 3, y, centre - pipe + 4, y + 1), clMaroon), 0);
        EXPECT_EQ(ui::testing::count_colour(picture, TRect(0, y, centre - half - 3, y + 1), clNavy), 0);
    }
    const int foot = y_at(well.get_instr()->get_total_len());
    EXPECT_EQ(ui::testing::count_colour(picture, TRect(0, foot + 3, picture.Width(), picture.Height()), clMaroon), 0);
    EXPECT_GT(ui::testing::count_colour(picture, TRect(0, foot + 3, picture.Width(), y_at(1100) - 2), clNavy), 0);
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
