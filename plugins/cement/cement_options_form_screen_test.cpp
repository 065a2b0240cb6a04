// The cementing settings' page "Отчет" on the real screen, worked through
// the X server as the operator works it: Enter ends a cell's edit with its
// text and leaves the dialog open, Tab and Shift+Tab go from value to value,
// Escape abandons the edit before it cancels the dialog, and OK hands the
// typed values to the report's options.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/testing.h"

#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"
#include "plugins/cement/cement_options_form.h"
#include "plugins/cement/cement_testing.h"
#include "widrak/my_grid.h"

namespace {

using namespace ui;
using cement::testing::in_station;
using ui::testing::Operator;

// The station (its hub, its folder) is a process of its own for each test;
// the virtual screen is that process's too.
class CementSettingsScreen : public ui::testing::ScreenSuite {};

// The row of the options grid whose caption follows the sector's heading.
int option_row(widrak::TMyGrid& grid, const std::string& sector, const std::string& caption) {
    bool in_sector = false;
    for (int r = 1; r < grid.RowCount(); ++r) {
        if (grid.Cells(0, r) == sector)
            in_sector = true;
        else if (in_sector && grid.Cells(0, r) == caption)
            return r;
    }
    return -1;
}

TEST_F(CementSettingsScreen, ReportPageKeepsEnterTabAndEscapeInItsGrid) {
    in_station([](const std::string&) {
        CementData job;
        TReportOptions report;
        report.works = "Цементирование";
        report.company = "УТТ-2";
        SectionsResult sections;
        TCementOptionsForm dialog(nullptr, report, sections);
        widrak::TMyGrid* grid = dialog.ReportGrid;
        int works = -1, source = -1, company = -1;
        auto cell = [grid](int c, int r) {
            const TRect rc = grid->CellRect(c, r);
            return grid->ClientToScreen({(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
        };
        auto editing = [grid](int row) {
            return grid->Row() == row && grid->Col() == 1 && grid->InplaceEditor() &&
                   grid->InplaceEditor()->Focused();
        };
        auto still_open = [&](Operator& op) {
            return !op.wait_for([&] { return dialog.ModalResult() != mrNone || !dialog.Visible(); }, 500);
        };
        bool ok = false;
        ui::testing::run_with_operator([&] { ok = dialog.execute(job, false); }, [&](Operator& op) {
            op.ask<bool>([&] {
                works = option_row(*grid, "Основные", "Вид  работ");
                source = option_row(*grid, "Основные", "Тип источника");
                company = option_row(*grid, "Основные", "Исполнитель работ");
                return true;
            });
            ASSERT_GT(works, 0);
            ASSERT_EQ(source, works + 1);
            // The page is chosen by its tab.
            op.click_at(op.ask<TPoint>([&] {
                const TRect tab = dialog.pages->TabRect(dialog.TabSheet1->TabIndex());
                return dialog.pages->ClientToScreen({(tab.Left + tab.Right) / 2, (tab.Top + tab.Bottom) / 2});
            }));
            ASSERT_TRUE(op.wait_for([&] { return dialog.pages->ActivePage() == dialog.TabSheet1; }));

            // A typed value, then Enter: the cell takes it, the dialog stays.
            op.click_at(op.ask<TPoint>([&] { return cell(1, source); }));
            ASSERT_TRUE(op.wait_for([&] { return editing(source); }));
            op.type("CA-320");
            op.key("Return");
            EXPECT_TRUE(op.wait_for([&] { return grid->Cells(1, source) == "CA-320"; }));
            EXPECT_TRUE(still_open(op)) << "Enter in the cell closed the dialog";
            EXPECT_TRUE(op.ask<bool>([&] { return editing(source); })) << "Enter left the grid";

            // Shift+Tab and Tab go to the former and the next value.
            op.key("shift+Tab");
            EXPECT_TRUE(op.wait_for([&] { return editing(works); }))
                << "Shift+Tab: row " << op.ask<int>([&] { return grid->Row(); }) << ", column "
                << op.ask<int>([&] { return grid->Col(); });
            op.key("ctrl+a");
            op.type("Casing job 2");
            op.key("Tab");
            EXPECT_TRUE(op.wait_for([&] { return editing(source); }))
                << "Tab: row " << op.ask<int>([&] { return grid->Row(); }) << ", column "
                << op.ask<int>([&] { return grid->Col(); });
            op.key("Tab");
            op.key("Tab");
            ASSERT_TRUE(op.wait_for([&] { return editing(company); }));

            // Escape abandons the edit and leaves the dialog open.
            op.type("stranger");
            EXPECT_TRUE(op.wait_for([&] { return grid->Cells(1, company) == "stranger"; }));
            op.key("Escape");
            EXPECT_TRUE(op.wait_for([&] { return grid->Cells(1, company) == "УТТ-2"; }));
            EXPECT_TRUE(still_open(op)) << "Escape closed the dialog before it abandoned the edit";

            ui::testing::save_screen_part(dialog.BoundsRect().Inflate(4, 30), "cement_settings_report.png");
            op.click_at(op.centre_of(*dialog.MyButton1));
        });
        EXPECT_TRUE(ok);
        EXPECT_EQ(report.works, "Casing job 2");
        EXPECT_EQ(report.ist_type, "CA-320");
        EXPECT_EQ(report.company, "УТТ-2");
    });
}

// The fluid's calibration file by its "...": the desktop's file chooser
// opens in the program's "params/calibr" (made for it), offers the
// calibration files, and the file chosen there becomes the fluid's, kept by
// OK.
TEST_F(CementSettingsScreen, CalibrationFileButtonOpensTheDesktopsChooser) {
    in_station([](const std::string& folder) {
        const std::string calibr = folder + "params/calibr";
        ASSERT_FALSE(std::filesystem::exists(calibr));
        CementData job;
        job.fluids.push_back(TRastvor::made_by_operator("Буфер"));
        job.selected_fluid = 0;
        TReportOptions report;
        SectionsResult sections;
        TCementOptionsForm dialog(nullptr, report, sections);
        std::string chosen;
        bool ok = false;
        ui::testing::run_with_operator([&] { ok = dialog.execute(job, false); }, [&](Operator& op) {
            // The folder is there before the chooser opens on it.
            ASSERT_TRUE(op.wait_for([&] { return dialog.btnCalFileBrowse->Visible(); }));
            op.click_at(op.centre_of(*dialog.btnCalFileBrowse));
            std::string id;
            ASSERT_TRUE(op.wait_for([&] {
                std::string out;
                ui::testing::run_tool({"xdotool", "search", "--onlyvisible", "--name", "^Открыть$"}, &out, 2000);
                id = out.substr(0, out.find('\n'));
                return !id.empty();
            })) << "no file chooser";
            EXPECT_TRUE(std::filesystem::is_directory(calibr));
            chosen = calibr + "/ЦА-320 насос 1.clb";
            os::testing::write_bytes(chosen, "1\r\n");
            op.xdotool({"windowfocus", "--sync", id});
            op.key("ctrl+l");
            op.xdotool({"type", "--delay", "40", chosen});
            op.key("Return");
            EXPECT_TRUE(op.wait_for([&] { return dialog.edCalFile->Text() == chosen; }))
                << "the field holds \"" << op.ask<std::string>([&] { return dialog.edCalFile->Text(); }) << "\"";
            ui::testing::save_screen_part(dialog.BoundsRect().Inflate(4, 30), "cement_settings_calibration.png");
            op.click_at(op.centre_of(*dialog.MyButton1));
        });
        EXPECT_TRUE(ok);
        ASSERT_EQ(job.fluids.size(), 1u);
        EXPECT_EQ(job.fluids[0].calibr_file_name, chosen);
    });
}

}  // namespace
