#include "plugins/cement/cement_options_form.h"

#include <gtest/gtest.h>

#include "gti/registr_old/InstrPipes/instr_options_frame.h"
#include "gti/registr_old/hub_windows.h"

#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "plugins/cement/cement_testing.h"
#include "widrak/my_grid.h"

namespace {

using cement::testing::in_station;

// A job in its second stage, its buffer running: two fluids, a programme
// of buffer and cement, plan values and report options.
struct Settings {
    CementData job;
    TReportOptions report;
    SectionsResult sections;

    Settings() {
        job.fluids = {TRastvor::made_by_operator("Вода")};
        job.selected_fluid = 0;
        CementProgramElement buffer;
        buffer.name = "Закачка буфера";
        buffer.kind = cement::kind_buffer;
        buffer.fluid_type = cement::list_fluid_base;
        buffer.fluid = job.fluids[0];
        buffer.mode = cement::state_running;
        buffer.start = 46000.5;
        CementProgramElement slurry;
        slurry.name = "Закачка цемента";
        slurry.kind = cement::kind_cement;
        slurry.fluid_type = cement::fluid_cement;
        job.program = {buffer, slurry};
        job.element = 0;
        job.stage = 2;
        job.plan[CementData::plan_volume][CementData::col_cement] = 10;
        report.works = "Цементирование";
    }
};

ui::HeadlessDisplay& screen() { return *ui::headless_display(); }

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

void pick_row(ui::TStringGrid& grid, int row) {
    grid.SetRow(row);
    ui::TestDriver().Click(grid, {5, grid.RowHeights(0) * row + 3});
}

TEST(CementSettings, OkHandsBackTheEditsAndNotAStaleJob) {
    in_station([](const std::string& exe) {
        Settings s;
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            for (ui::TTabSheet* page : {d.tshData, d.tshEtap, d.tshColumn, d.TabSheet1}) {
                d.pages->SetActivePage(page);
                d.SaveToPng(cement::testing::png_folder() + "cement_settings_" + page->Name() + ".png");
            }
            d.pages->SetActivePage(d.tshData);

            // A new fluid by name, then its density.
            screen().ExpectModal([&](ui::TCustomForm& ask) {
                auto& r = static_cast<TRastvorForm&>(ask);
                EXPECT_EQ(r.Caption(), "Введите новое имя");
                user.TypeOn(*r.edName, "Глинистый раствор");
                user.Click(*r.btnAdd);
            });
            user.Click(*d.btnAdd);
            ASSERT_EQ(d.work().fluids.size(), 2u);
            EXPECT_EQ(d.work().selected_fluid, 1);
            EXPECT_EQ(d.work().fluids[1].additive, "__название_добавки__");
            EXPECT_TRUE(d.pnlCurrentRastvor->Visible());
            d.edPl->SetText("1,35");
            user.Click(*d.btnApply);
            EXPECT_FLOAT_EQ(d.work().fluids[1].density, 1.35f);

            // Its calibration file, chosen in the calibrations folder.
            std::string asked_in;
            ui::set_file_dialog_handler([&](ui::FileDialogRequest& r) {
                asked_in = r.initial_dir;
                EXPECT_EQ(r.filter, "Файлы калибровок|*.clb");
                r.file_name = r.initial_dir + "/глина.clb";
                return true;
            });
            user.Click(*d.btnCalFileBrowse);
            ui::set_file_dialog_handler({});
            EXPECT_EQ(asked_in, exe + "params/calibr");
            EXPECT_TRUE(std::filesystem::is_directory(asked_in));
            EXPECT_EQ(d.work().fluids[1].calibr_file_name, exe + "params/calibr/глина.clb");
            EXPECT_EQ(d.edCalFile->Text(), d.work().fluids[1].calibr_file_name);

            // A plan value in the options grid.
            const int row = option_row(*d.CemOptionsGrid, "Плановый объем", "Цемент");
            ASSERT_GT(row, 0);
            d.CemOptionsGrid->SetCells(2, row, "12,5");

            // The programme: a displacement added, the cement removed and
            // added again after it, so the order becomes buffer,
            // displacement, cement.
            d.pages->SetActivePage(d.tshEtap);
            auto add = [&](int kind, int fluid, const char* pmax) {
                screen().ExpectModal([&, kind, fluid, pmax](ui::TCustomForm& ask) {
                    auto& a = static_cast<TAddProgramForm&>(ask);
                    a.rgId->SetItemIndex(kind);
                    if (fluid >= 0) a.cbSelRastvor->SelectByUser(fluid);
                    a.edPmax->SetText(pmax);
                    user.Click(*a.btnAdd);
                });
                user.Click(*d.btnAddProgram);
            };
            add(cement::kind_displacement, cement::list_fluid_base + 1, "120");
            ASSERT_EQ(d.work().program.size(), 3u);
            EXPECT_EQ(d.work().program[2].name, "Продавка");
            EXPECT_EQ(d.work().program[2].fluid_type, cement::list_fluid_base + 1);
            EXPECT_EQ(d.work().program[2].fluid.name, "Глинистый раствор");
            EXPECT_EQ(d.work().program[2].P_critical, 120.0f);
            EXPECT_EQ(d.work().element, 2);  // the new row is selected
            pick_row(*d.grdProgram, 1);
            EXPECT_EQ(d.work().element, 1);
            user.Click(*d.btnDelProgram);
            add(cement::kind_cement, -1, "0");
            ASSERT_EQ(d.work().program.size(), 3u);
            EXPECT_EQ(d.work().program[2].name, "Закачка цемента");
            EXPECT_EQ(d.work().program[2].fluid_type, cement::fluid_cement);
            // The buffer's limit, typed on its row.
            pick_row(*d.grdProgram, 0);
            d.edPmax->SetText("95");
            user.Click(*d.btnApply);
            EXPECT_EQ(d.work().program[0].P_critical, 95.0f);
            d.SaveToPng(cement::testing::png_folder() + "cement_settings_programme_edited.png");

            // Meanwhile the job runs on under the dialog.
            s.job.stage_volume = 3.25f;
            s.job.program[0].rate_sum = 99;
            s.job.program[0].V_inc = 1.5f;
            s.job.samples = 17;
            s.job.chart_scale = 2;
            user.Click(*d.MyButton1);
        });
        ASSERT_TRUE(dialog.execute(s.job, false));
        EXPECT_EQ(screen().PendingScripts(), 0);

        ASSERT_EQ(s.job.fluids.size(), 2u);
        EXPECT_FLOAT_EQ(s.job.fluids[1].density, 1.35f);
        EXPECT_FLOAT_EQ(s.job.plan[CementData::plan_volume][CementData::col_cement], 12.5f);
        ASSERT_EQ(s.job.program.size(), 3u);
        EXPECT_EQ(s.job.program[0].name, "Закачка буфера");
        EXPECT_EQ(s.job.program[1].name, "Продавка");
        EXPECT_EQ(s.job.program[2].name, "Закачка цемента");
        EXPECT_EQ(s.job.program[0].P_critical, 95.0f);
        // What ran on while the dialog was open is the job's, not the
        // dialog's copy of it.
        EXPECT_EQ(s.job.element, 0);
        EXPECT_EQ(s.job.program[0].mode, cement::state_running);
        EXPECT_EQ(s.job.program[0].start, 46000.5);
        EXPECT_EQ(s.job.program[0].rate_sum, 99.0f);
        EXPECT_EQ(s.job.program[0].V_inc, 1.5f);
        EXPECT_EQ(s.job.stage_volume, 3.25f);
        EXPECT_EQ(s.job.samples, 17);
        EXPECT_EQ(s.job.chart_scale, 2);
        EXPECT_EQ(s.job.stage, 2);
        EXPECT_EQ(s.job.program[1].mode, cement::state_waiting);
        EXPECT_EQ(s.job.program[1].start, 0.0);
    });
}

TEST(CementSettings, CancelLeavesTheJobAsItWas) {
    in_station([](const std::string&) {
        Settings s;
        const CementData before = s.job;
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            screen().ExpectModal([&](ui::TCustomForm& ask) {
                user.TypeOn(*static_cast<TRastvorForm&>(ask).edName, "Цементный раствор");
                user.Click(*static_cast<TRastvorForm&>(ask).btnAdd);
            });
            user.Click(*d.btnAdd);
            d.pages->SetActivePage(d.tshEtap);
            user.Click(*d.btnDefaultProgram);
            EXPECT_EQ(d.work().program.size(), 9u);
            d.CemOptionsGrid->SetCells(2, option_row(*d.CemOptionsGrid, "Плановый объем", "Цемент"), "77");
            user.Click(*d.btnApply);
            user.Click(*d.MyButton2);
        });
        EXPECT_FALSE(dialog.execute(s.job, false));
        EXPECT_EQ(s.job.fluids.size(), before.fluids.size());
        ASSERT_EQ(s.job.program.size(), before.program.size());
        EXPECT_EQ(s.job.program[1].name, before.program[1].name);
        EXPECT_EQ(s.job.element, 0);
        EXPECT_FLOAT_EQ(s.job.plan[CementData::plan_volume][CementData::col_cement], 10.0f);
        EXPECT_EQ(s.report.works, "Цементирование");

        // The default programme taken with OK: nine fresh elements, none
        // running.
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            d.pages->SetActivePage(d.tshEtap);
            user.Click(*d.btnDefaultProgram);
            user.Click(*d.MyButton1);
        });
        ASSERT_TRUE(dialog.execute(s.job, false));
        ASSERT_EQ(s.job.program.size(), 9u);
        EXPECT_EQ(s.job.element, cement::element_none);
        for (const auto& e : s.job.program) EXPECT_EQ(e.mode, cement::state_waiting);
        EXPECT_EQ(s.job.program[1].fluid_type, cement::list_fluid_base);  // "Вода"
    });
}

TEST(CementSettings, WhileRecordingOnlyLimitsPlansAndFluidsChange) {
    in_station([](const std::string&) {
        Settings s;
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            for (ui::TControl* c : std::initializer_list<ui::TControl*>{
                     d.btnAddProgram, d.btnDelProgram, d.btnRenameProgram, d.btnDefaultProgram, d.cbSelRastvor, d.rgId})
                EXPECT_FALSE(c->Enabled()) << c->Name();
            EXPECT_TRUE(d.edPmax->Enabled());
            EXPECT_TRUE(d.btnAdd->Enabled());
            d.edPmax->SetText("150");
            d.CemOptionsGrid->SetCells(2, option_row(*d.CemOptionsGrid, "Режим закачки", "Цемент"), "14");
            d.ReportGrid->SetCells(1, option_row(*d.ReportGrid, "Основные", "Вид  работ"), "Цементаж колонны");
            user.Click(*d.MyButton1);
        });
        ASSERT_TRUE(dialog.execute(s.job, true));
        EXPECT_EQ(s.job.program[0].P_critical, 150.0f);
        EXPECT_EQ(s.job.program.size(), 2u);
        EXPECT_FLOAT_EQ(s.job.plan[CementData::plan_rate][CementData::col_cement], 14.0f);
        EXPECT_EQ(s.report.works, "Цементаж колонны");
    });
}

TEST(CementSettings, FluidsAndColumnsPages) {
    in_station([](const std::string&) {
        {
            lib::Locker hold(sys_lock_obj());
            pore::Construction& c = *sys()->get_pore().get_construction();
            for (int i = 0; i < c.size(); ++i) c.at(i).enabled = true;
        }
        Settings s;
        s.job.fluids.clear();
        s.job.selected_fluid = -1;
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            // No fluids: nothing to show or delete.
            EXPECT_FALSE(d.pnlCurrentRastvor->Visible());
            EXPECT_FALSE(d.btnDel->Visible());
            // Grid rows 3 to 5 are the construction's elements 2 to 4.
            d.pages->SetActivePage(d.tshColumn);
            ui::TGridRect r;
            r.Left = 0;
            r.Right = 4;
            r.Top = 3;
            r.Bottom = 5;
            d.ConstrGrid->SetSelection(r);
            user.Click(*d.btnSelConstruction);
            EXPECT_EQ(d.work().columns, (std::vector<int>{2, 3, 4}));
            EXPECT_FALSE(d.ConstrGrid->Enabled());
            EXPECT_FALSE(d.Panel3->Visible());
            EXPECT_EQ(d.btnSelConstruction->Caption(), "Заново выбрать колонны");
            d.SaveToPng(cement::testing::png_folder() + "cement_settings_columns_chosen.png");
            user.Click(*d.btnSelConstruction);
            EXPECT_TRUE(d.work().columns.empty());
            EXPECT_TRUE(d.ConstrGrid->Enabled());
            EXPECT_EQ(d.btnSelConstruction->Caption(), "Выбрать колонны");
            d.ConstrGrid->SetSelection(r);
            user.Click(*d.btnSelConstruction);
            user.Click(*d.MyButton1);
        });
        ASSERT_TRUE(dialog.execute(s.job, false));
        EXPECT_EQ(s.job.columns, (std::vector<int>{2, 3, 4}));
    });
}

bool same(const TRastvor& a, const TRastvor& b) {
    return a.name == b.name && a.density == b.density && a.calibr_file_name == b.calibr_file_name;
}
bool same(const FixedFluid& a, const FixedFluid& b) {
    return a.value1 == b.value1 && a.value2 == b.value2 && a.calibr_file_name == b.calibr_file_name;
}

// The programme page's fluid and kind choices, the element's new name, and
// the fluids list's deletions and edits.
TEST(CementSettings, FluidAndKindChoicesRenamingAndDeleting) {
    in_station([](const std::string&) {
        Settings s;
        s.job.fluids.push_back(TRastvor::made_by_operator("Глинистый раствор"));
        s.job.fluids[1].density = 1.4f;
        for (int k = 0; k < 3; ++k)
            s.job.fixed_fluids[std::size_t(k)] = {1.5f + k, 3.0f + k, "fixed" + std::to_string(k)};
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            d.pages->SetActivePage(d.tshEtap);
            pick_row(*d.grdProgram, 1);
            const CementProgramElement& e = d.work().program[1];

            // The fluid chosen: a fixed one brings its data and its kind, a
            // list one a copy of itself and leaves the kind.
            struct Fluid {
                int index, type, kind;
            };
            const Fluid fluids[] = {{0, cement::fluid_cement, cement::kind_cement},
                                    {1, cement::fluid_gel_cement, cement::kind_gel_cement},
                                    {2, cement::fluid_gas_cement, cement::kind_gas_cement},
                                    {3, cement::list_fluid_base, cement::kind_gas_cement},
                                    {4, cement::list_fluid_base + 1, cement::kind_gas_cement}};
            for (const Fluid& c : fluids) {
                d.cbSelRastvor->SelectByUser(c.index);
                EXPECT_EQ(e.fluid_type, c.type) << c.index;
                EXPECT_EQ(e.kind, c.kind) << c.index;
                if (c.index < 3) {
                    EXPECT_TRUE(same(e.fixed, s.job.fixed_fluids[std::size_t(c.index)])) << c.index;
                } else {
                    EXPECT_TRUE(same(e.fluid, s.job.fluids[std::size_t(c.index - 3)])) << c.index;
                }
                // The page shows the choice again, the kind with it.
                EXPECT_EQ(d.cbSelRastvor->ItemIndex(), c.index);
                EXPECT_EQ(d.rgId->ItemIndex(), c.kind);
            }

            // The kind chosen: the three cement kinds bring their fixed
            // fluid, the others leave the fluid as it is.
            struct Kind {
                int kind, type;
            };
            const Kind kinds[] = {
                {cement::kind_buffer, cement::list_fluid_base + 1}, {cement::kind_gel_cement, cement::fluid_gel_cement},
                {cement::kind_waiting, cement::fluid_gel_cement},   {cement::kind_cement, cement::fluid_cement},
                {cement::kind_displacement, cement::fluid_cement},  {cement::kind_gas_cement, cement::fluid_gas_cement},
                {cement::kind_other, cement::fluid_gas_cement}};
            for (const Kind& c : kinds) {
                d.rgId->SetItemIndex(c.kind);
                EXPECT_EQ(e.kind, c.kind) << c.kind;
                EXPECT_EQ(e.fluid_type, c.type) << c.kind;
                if (c.type < 3) {
                    EXPECT_TRUE(same(e.fixed, s.job.fixed_fluids[std::size_t(c.type)])) << c.kind;
                }
                EXPECT_EQ(d.cbSelRastvor->ItemIndex(), c.type) << c.kind;
            }
            // Only the element chosen changed.
            EXPECT_EQ(d.work().program[0].kind, cement::kind_buffer);
            EXPECT_EQ(d.work().program[0].fluid_type, cement::list_fluid_base);

            // A new name: OK takes it, Cancel leaves the old one.
            for (bool ok : {false, true}) {
                screen().ExpectModal([&, ok](ui::TCustomForm& ask) {
                    auto& r = static_cast<TRastvorForm&>(ask);
                    EXPECT_EQ(r.Caption(), "Введите новое имя");
                    EXPECT_EQ(r.btnAdd->Caption(), "OK");
                    EXPECT_EQ(r.edName->Text(), "Закачка цемента");
                    r.edName->SetText("Закачка тампонажного раствора");
                    user.Click(ok ? *r.btnAdd : *r.btnCancel);
                });
                user.Click(*d.btnRenameProgram);
                EXPECT_EQ(e.name, ok ? "Закачка тампонажного раствора" : "Закачка цемента");
                if (!ok) continue;
                EXPECT_EQ(d.grdProgram->Cells(0, 1), e.name);
            }

            // Fluid A's edit stays with A when B is chosen.
            d.pages->SetActivePage(d.tshData);
            d.edPl->SetText("1,07");
            d.cbRastvor->SelectByUser(1);
            EXPECT_FLOAT_EQ(d.work().fluids[0].density, 1.07f);
            EXPECT_FLOAT_EQ(d.work().fluids[1].density, 1.4f);
            EXPECT_EQ(d.edPl->Text(), "1,40");
            // The last one deleted: the new last is chosen; the only one:
            // none.
            user.Click(*d.btnDel);
            ASSERT_EQ(d.work().fluids.size(), 1u);
            EXPECT_EQ(d.work().selected_fluid, 0);
            EXPECT_EQ(d.cbRastvor->ItemIndex(), 0);
            EXPECT_EQ(d.edPl->Text(), "1,07");
            user.Click(*d.btnDel);
            EXPECT_TRUE(d.work().fluids.empty());
            EXPECT_EQ(d.work().selected_fluid, -1);
            EXPECT_FALSE(d.pnlCurrentRastvor->Visible());
            user.Click(*d.MyButton2);
        });
        EXPECT_FALSE(dialog.execute(s.job, false));
    });
}

// "Настройки скважины" edits the hub's well in the hub's windows; the
// columns page shows the construction as it then is. Elements out of use
// show no numbers and are no columns to cement.
TEST(CementSettings, WellSettingsAndTheConstructionsColumns) {
    in_station([](const std::string&) {
        cement::testing::make_well();  // elements 1, 7 and 8 in use
        Settings s;
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        int string_elements = -1;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            ui::TStringGrid& grid = *d.ConstrGrid;
            d.pages->SetActivePage(d.tshColumn);
            // Row i + 1 is element i: the open hole to 2500 m, the unused
            // "Направление" blank and greyed.
            EXPECT_EQ(grid.Cells(1, 9), "Голый ствол");
            EXPECT_EQ(grid.Cells(3, 9), "2500,0");
            EXPECT_EQ(grid.Cells(0, 1), "");
            EXPECT_EQ(grid.Cells(3, 1), "");
            // The grid is not edited by mouse: a click on a check mark
            // toggles nothing.
            EXPECT_FALSE(static_cast<bool>(grid.OnMouseDown));
            user.Click(grid, {8, grid.RowHeights(0) + grid.RowHeights(1) / 2});
            EXPECT_EQ(grid.Cells(0, 1), "");

            d.pages->SetActivePage(d.tshData);
            EXPECT_TRUE(d.btnPoreAndInstrOpt->Visible());
            screen().ExpectModal([&](ui::TCustomForm& w) {
                auto& cw = dynamic_cast<reg::ConstructionWindow&>(w);
                cw.Grid->SetCells(3, 9, "2650");
                user.Click(*cw.btnOk);
            });
            screen().ExpectModal([&](ui::TCustomForm& w) {
                EXPECT_EQ(w.Caption(), "Промер инструмента");
                auto* frame = dynamic_cast<TInstrOptionsFrame*>(w.FindComponent("InstrOptionsFrame"));
                ASSERT_NE(frame, nullptr);
                string_elements = frame->items().size();
                frame->chbValve->SetChecked(true);
                w.SaveToPng(cement::testing::png_folder() + "cement_settings_drill_string.png");
                user.Click(*static_cast<ui::TButton*>(w.FindComponent("btnOk")));
            });
            user.Click(*d.btnPoreAndInstrOpt);
            d.pages->SetActivePage(d.tshColumn);
            EXPECT_EQ(grid.Cells(3, 9), "2650,0");
            d.SaveToPng(cement::testing::png_folder() + "cement_settings_well_edited.png");

            // Grid rows 1 to 3: of elements 0 to 2 only element 1 is in use.
            ui::TGridRect r;
            r.Left = 0;
            r.Right = grid.ColCount() - 1;
            r.Top = 1;
            r.Bottom = 3;
            grid.SetSelection(r);
            user.Click(*d.btnSelConstruction);
            EXPECT_EQ(d.work().columns, std::vector<int>{1});
            user.Click(*d.MyButton1);
        });
        ASSERT_TRUE(dialog.execute(s.job, false));
        EXPECT_EQ(s.job.columns, std::vector<int>{1});
        lib::Locker hold(sys_lock_obj());
        EXPECT_FLOAT_EQ(sys()->get_pore().get_construction()->at(8).bottom, 2650.0f);
        EXPECT_EQ(string_elements, 3);
        EXPECT_TRUE(sys()->get_pore().get_instr()->get_zapor_klapan());
    });
}

// The bit diameter is the trip's: OK writes it only when the operator
// changed it here, and never puts back what it was at opening.
TEST(CementSettings, TheBitDiameterIsWrittenOnlyWhenEditedHere) {
    in_station([](const std::string&) {
        for (bool edit : {false, true}) {
            Settings s;
            double trip_bit = 215.9;
            s.report.bind_bit_diameter(&trip_bit);
            TCementOptionsForm dialog(nullptr, s.report, s.sections);
            screen().ExpectModal([&](ui::TCustomForm& f) {
                auto& d = static_cast<TCementOptionsForm&>(f);
                const int row = option_row(*d.ReportGrid, "Скважина", "Диаметр долота");
                ASSERT_GT(row, 0);
                if (edit) d.ReportGrid->SetCells(1, row, "190");
                // Meanwhile the trip's bit is changed elsewhere.
                trip_bit = 222.3;
                ui::TestDriver().Click(*d.MyButton1);
            });
            ASSERT_TRUE(dialog.execute(s.job, false));
            EXPECT_DOUBLE_EQ(trip_bit, edit ? 190.0 : 222.3) << edit;
        }
    });
}

// A stage's pressure limit is the station pressure's: the add-element
// dialog and the programme page name its unit alike, and the number typed
// in one comes back in the other as it was typed.
TEST(CementSettings, ThePressureLimitHasOneUnitInBothWindows) {
    in_station([](const std::string&) {
        cement::testing::Job job;  // the plug-in registers the station's pressure
        Settings s;
        s.job.program.front().mode = cement::state_waiting;
        s.job.element = cement::element_none;
        TCementOptionsForm dialog(nullptr, s.report, s.sections);
        ui::TestDriver user;
        std::string add_unit;
        screen().ExpectModal([&](ui::TCustomForm& f) {
            auto& d = static_cast<TCementOptionsForm&>(f);
            d.pages->SetActivePage(d.tshEtap);
            screen().ExpectModal([&](ui::TCustomForm& ask) {
                auto& a = static_cast<TAddProgramForm&>(ask);
                add_unit = a.lblDavlUnit->Caption();
                a.rgId->SetItemIndex(cement::kind_displacement);
                user.TypeOn(*a.edPmax, "12,5");
                user.Click(*a.btnAdd);
            });
            user.Click(*d.btnAddProgram);
            EXPECT_EQ(d.edPmax->Text(), "12,50");
            EXPECT_EQ(d.lblDavlUnit->Caption(), "атм");
            user.Click(*d.MyButton1);
        });
        ASSERT_TRUE(dialog.execute(s.job, false));
        EXPECT_EQ(add_unit, "атм");
        ASSERT_EQ(s.job.program.size(), 3u);
        EXPECT_FLOAT_EQ(s.job.program[2].P_critical, 12.5f);
    });
}

}  // namespace
