#include "library/options/simple_opts_form.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "library/options/opt_window_service.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/picture_testing.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "widrak/myfunctions.h"

namespace {

using namespace ui;
using lib::options_detailed::meta_class;
using lib::options_detailed::meta_class_enum;

std::string png(const std::string& name) {
    const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "library_png";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

// A station's settings in three sectors.
struct Station : lib::options_base {
    double interval = 2.5;  // seconds, shown in seconds
    int port = 1;
    bool sounds = true;
    bool log = false;
    int mode = 0;
    std::string name = "Буровая 7";
    double coef = 0.123456;
    int serial = 4411;
    void enum_values(lib::options_list& list) override {
        list.sector("comm", "Связь");
        list.add(new meta_class<double>(interval, 1, "interval", "Период опроса", "сек.", 1));
        list.add(new meta_class<int>(port, 1, "port", "Номер порта", ""));
        list.add(new lib::options_detailed::meta_class_enum<int>(mode, 0, "mode", "Протокол", "Старый|Новый|TCP"));
        list.sector("sound", "Звук");
        list.add(new meta_class<bool>(sounds, true, "sounds", "Звуковые сигналы"));
        list.add(new meta_class<bool>(log, false, "log", "Журнал", "Нет|Да"));
        list.sector("station", "Станция");
        list.add(new meta_class<std::string>(name, "", "name", "Название станции"));
        list.add(new meta_class<double>(coef, 0, "coef", "Коэффициент ДОЛа", "Имп/м", 3));
        list.add(new meta_class<int>(serial, 0, "serial", "Заводской номер", ""));
    }
};

HeadlessDisplay& headless() { return *headless_display(); }

TPoint cell_centre(widrak::TMyGrid* g, int c, int r) {
    const TRect rc = g->CellRect(c, r);
    return {(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2};
}

TEST(SimpleOptsForm, OkWritesTheEditedValuesOnly) {
    Station st;
    TSimpleOptsForm dlg(nullptr, st);
    dlg.read_only_list().sector("station");
    dlg.read_only_list().add("serial");
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm& form) {
        EXPECT_EQ(&form, &dlg);
        EXPECT_TRUE(dlg.pnlBottom->Visible());
        EXPECT_EQ(dlg.Caption(), "Станция");
        // The first option under the first heading is selected.
        EXPECT_EQ(dlg.Grid->Row(), 2);
        EXPECT_EQ(dlg.Grid->Col(), 3);
        drv.Click(*dlg.Grid, cell_centre(dlg.Grid, 3, 3));
        drv.Type("3");
        drv.Click(*dlg.Grid, cell_centre(dlg.Grid, 3, 6));  // the plain boolean
        dlg.Grid->SetCells(3, 11, "1");                     // a read-only value changed by code
        drv.Click(*dlg.btnOk);
    });
    EXPECT_TRUE(dlg.execute("Станция"));
    EXPECT_EQ(st.port, 3);
    EXPECT_FALSE(st.sounds);
    EXPECT_EQ(st.serial, 4411);
    // Shown as 0,123 but never touched: the variable keeps every digit.
    EXPECT_DOUBLE_EQ(st.coef, 0.123456);
    EXPECT_DOUBLE_EQ(st.interval, 2.5);
    EXPECT_EQ(headless().PendingScripts(), 0);
}

TEST(SimpleOptsForm, CancelChangesNothing) {
    Station st;
    TSimpleOptsForm dlg(nullptr, st);
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm&) {
        drv.Click(*dlg.Grid, cell_centre(dlg.Grid, 3, 2));
        drv.Type("9");
        drv.Click(*dlg.Grid, cell_centre(dlg.Grid, 3, 4));
        dlg.Grid->ComboBox()->SelectByUser(2);
        // The first Escape takes back the list's choice, the dialog stays;
        // the second is the cancel button.
        drv.Press(VK_ESCAPE);
        EXPECT_EQ(dlg.ModalResult(), mrNone);
        drv.Press(VK_ESCAPE);
    });
    EXPECT_FALSE(dlg.execute("Станция"));
    EXPECT_DOUBLE_EQ(st.interval, 2.5);
    EXPECT_EQ(st.mode, 0);
}

TEST(SimpleOptsForm, HelpButtonFollowsTheHelpFunction) {
    Station st;
    {
        TSimpleOptsForm dlg(nullptr, st);
        EXPECT_FALSE(dlg.btnHelp->Enabled());
    }
    int calls = 0;
    TSimpleOptsForm dlg(nullptr, st, [&] { ++calls; });
    EXPECT_TRUE(dlg.btnHelp->Enabled());
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm& form) {
        drv.Click(*dlg.btnHelp);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(form.Visible());  // the dialog stays open
        EXPECT_EQ(form.ModalResult(), mrNone);
        drv.Click(*dlg.btnCancel);
    });
    EXPECT_FALSE(dlg.execute("Станция"));
    EXPECT_EQ(calls, 1);
}

TEST(SimpleOptsForm, WindowFitsTheGridWithinTheScreen) {
    struct Many : lib::options_base {
        int v[120] = {};
        void enum_values(lib::options_list& list) override {
            for (int i = 0; i < 120; ++i) {
                const std::string key = "k" + std::to_string(i);
                names[i] = key;
                list.add(new meta_class<int>(v[i], 0, names[i].c_str(), "Значение", ""));
            }
        }
        std::string names[120];
    } many;
    struct One : lib::options_base {
        int v = 1;
        void enum_values(lib::options_list& list) override { list.add(new meta_class<int>(v, 0, "v", "В", "")); }
    } one;
    const int sw = Screen().Width(), sh = Screen().Height();
    for (int pass = 0; pass < 2; ++pass) {
        lib::options_base& o = pass == 0 ? static_cast<lib::options_base&>(many) : one;
        TSimpleOptsForm dlg(nullptr, o);
        int client_w = 0, client_h = 0, left = 0, top = 0;
        std::string first_heading;
        int row = 0;
        headless().ExpectModal([&](TCustomForm& f) {
            client_w = f.ClientWidth();
            client_h = f.ClientHeight();
            left = f.Left();
            top = f.Top();
            first_heading = dlg.Grid->Cells(1, 1);
            row = dlg.Grid->Row();
            f.SetModalResult(mrCancel);
        });
        dlg.execute("Список");
        EXPECT_EQ(first_heading, "[Без названия]");
        EXPECT_EQ(row, 2);
        EXPECT_LE(client_h, sh * 2 / 3);
        EXPECT_LE(client_w, sw * 11 / 12);
        int width = 1;
        for (int c = 0; c < 4; ++c) width += dlg.Grid->ColWidths(c) + 1;
        EXPECT_EQ(client_w, width + GetSystemMetrics(SM_CXHSCROLL) + 4);
        EXPECT_EQ(left, (sw - dlg.Width()) / 2);
        EXPECT_EQ(top, (sh - dlg.Height()) / 2);
        if (pass == 0) {
            EXPECT_EQ(client_h, sh * 2 / 3);  // the grid scrolls
        } else {
            int height = 1;
            for (int r = 0; r < dlg.Grid->RowCount(); ++r) height += dlg.Grid->RowHeights(r) + 1;
            EXPECT_EQ(client_h, GetSystemMetrics(SM_CYHSCROLL) + height + 43 + 8);
        }
    }
}

TEST(SimpleOptsForm, HelpersAndTheFormPointer) {
    Station st;
    TForm* f = create_simple_opt_form(nullptr, st);
    auto* dlg = dynamic_cast<TSimpleOptsForm*>(f);
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(dlg->pnlBottom->Visible());
    EXPECT_EQ(dlg->Grid->Cells(1, 2), "");  // not filled yet
    dlg->fill();
    dlg->Grid->SetCells(3, 3, "8");
    read_data_from_opt_form(f);
    EXPECT_EQ(st.port, 8);
    TForm other(nullptr);
    EXPECT_THROW(read_data_from_opt_form(&other), std::logic_error);
    EXPECT_THROW(read_data_from_opt_form(nullptr), std::logic_error);
    delete f;

    SimpleOptsHelper helper(nullptr, st);
    helper.black_list().add_sector("sound");
    helper.fill();
    EXPECT_EQ(helper.get_form()->Grid->Cells(1, 5), "Станция");
    helper.get_form()->Grid->SetCells(3, 3, "2");
    helper.read_data();
    EXPECT_EQ(st.port, 2);
}

TEST(SimpleOptsForm, PictureOfSeveralSectors) {
    Station st;
    TSimpleOptsForm dlg(nullptr, st, [] {});
    TestDriver drv;
    TBitmap pic;
    TPoint grid_at;
    headless().ExpectModal([&](TCustomForm& f) {
        drv.Click(*dlg.Grid, cell_centre(dlg.Grid, 3, 7));  // the worded boolean: its drop-down
        f.SaveToPng(png("simple_opts_form"));
        pic.Assign(f.Picture());
        grid_at = dlg.Grid->ClientOrigin() - TPoint{f.Left(), f.Top()};
        f.SetModalResult(mrCancel);
    });
    EXPECT_FALSE(dlg.execute("Настройки станции"));
    ASSERT_FALSE(pic.Empty());
    auto cell = [&](int c, int r) { return dlg.Grid->CellRect(c, r).Offset(grid_at.x, grid_at.y).Inflate(-2, -2); };
    const TColor heading = dlg.grid_editor().heading_color;

    // Each sector's heading row (1, 5, 8) on the heading colour with its
    // name in bold; the options' rows on the grid's own colour.
    for (const int row : {1, 5, 8}) {
        SCOPED_TRACE("heading row " + std::to_string(row));
        const TRect name = cell(1, row);
        EXPECT_GT(ui::testing::share_of(pic, name, heading), 0.5);
        EXPECT_GT(ui::testing::count_ink(pic, name, heading), 20);
    }
    for (const int row : {2, 9}) EXPECT_LT(ui::testing::share_of(pic, cell(1, row), heading), 0.05) << row;

    // The plain boolean (row 6, on) is a grey square frame in the middle of
    // its value cell with a check mark inside; no text.
    const TRect box = cell(3, 6);
    const auto frame = ui::testing::ink_bounds(pic, box, pic.Pixel(box.Left, box.Top));
    ASSERT_TRUE(frame.has_value()) << "no check box drawn";
    EXPECT_NEAR((frame->Left + frame->Right) / 2, (box.Left + box.Right) / 2, 2);
    EXPECT_NEAR(frame->Width(), frame->Height(), 1);
    EXPECT_LT(frame->Width(), box.Width() / 3);
    EXPECT_EQ(pic.Pixel(frame->Left, (frame->Top + frame->Bottom) / 2), 0x808080);
    EXPECT_GT(ui::testing::count_ink(pic, frame->Inflate(-2, -2), clWhite), 4) << "no check mark";
}

// A settings window of the larger kind: a tree of sectors, pages without
// tabs, a scroll box on one page.
struct TreeWindow {
    TForm form{nullptr};
    TTreeView* tree;
    TPageControl* pages;
    TScrollBox* box;
    TreeWindow() {
        form.SetBounds(60, 40, 520, 340);
        form.SetCaption("Настройки");
        tree = new TTreeView(&form);
        tree->SetParent(&form);
        tree->SetAlign(alLeft);
        tree->SetWidth(170);
        pages = new TPageControl(&form);
        pages->SetParent(&form);
        pages->SetAlign(alClient);
        const char* names[] = {"Связь", "Звук", "Станция", "Датчики"};
        for (int i = 0; i < 4; ++i) {
            auto* sheet = new TTabSheet(&form);
            sheet->SetPageControl(pages);
            sheet->SetCaption(names[i]);
            auto* label = new TLabel(&form);
            label->SetParent(sheet);
            label->SetBounds(12, 12, 200, 20);
            label->SetCaption(std::string("Страница: ") + names[i]);
        }
        box = new TScrollBox(&form);
        box->SetParent(pages->Pages(3));
        box->SetBounds(8, 40, 300, 150);
        auto* big = new TPanel(&form);
        big->SetParent(box);
        big->SetBounds(0, 0, 280, 600);
        TTreeNode* root = tree->Items().Add(nullptr, "Параметры");
        root->SetData(reinterpret_cast<void*>(std::intptr_t{100}));
        for (int i = 0; i < 3; ++i)
            tree->Items().AddChildObject(root, names[i], reinterpret_cast<void*>(std::intptr_t{i}));
        TTreeNode* sensors = tree->Items().AddChildObject(root, names[3], reinterpret_cast<void*>(std::intptr_t{3}));
        tree->Items().AddChildObject(sensors, "Вес", reinterpret_cast<void*>(std::intptr_t{7}));
    }
};

TEST(OptWindowService, TreeDrivesTabFreePages) {
    TreeWindow w;
    lib::OptWindowService svc(&w.form);
    EXPECT_EQ(svc.tree_color(), widrak::get_light_color(w.form.Color(), -9, 0));
    EXPECT_EQ(svc.font_name(), "lucida console");  // the screen maps it onto DejaVu Sans Mono

    svc.check_controls();
    for (int i = 0; i < w.pages->PageCount(); ++i) EXPECT_FALSE(w.pages->Pages(i)->TabVisible());
    EXPECT_TRUE(w.tree->Items().GetFirstNode()->Expanded());
    EXPECT_TRUE(w.tree->Items()[4]->Expanded());  // "Датчики", depth first
    EXPECT_EQ(w.box->VertScrollBar().Style(), ssFlat);
    EXPECT_EQ(w.box->HorzScrollBar().Style(), ssFlat);

    // The tree's choice selects the page of its node.
    w.tree->OnChange = [&](TObject*, TTreeNode* n) { svc.set_page(lib::OptWindowService::node_id(n), w.pages); };
    w.form.Show();
    svc.set_first_tree_item(w.tree);
    EXPECT_EQ(w.tree->Selected()->Text(), "Связь");
    EXPECT_EQ(w.pages->ActivePageIndex(), 0);
    TestDriver drv;
    const TRect r = w.tree->Items()[3]->DisplayRect(true);
    drv.Click(*w.tree, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    EXPECT_EQ(w.tree->Selected()->Text(), "Станция");
    EXPECT_EQ(w.pages->ActivePageIndex(), 2);
    const TRect s = w.tree->Items()[4]->DisplayRect(true);
    drv.Click(*w.tree, {(s.Left + s.Right) / 2, (s.Top + s.Bottom) / 2});
    EXPECT_EQ(w.pages->ActivePageIndex(), 3);
    w.form.SaveToPng(png("opt_window_service"));
    svc.set_page(9, w.pages);
    EXPECT_EQ(w.pages->ActivePage(), nullptr);

    // Items go by their page id, children with them.
    svc.erase_tree_items(w.tree, {3, 1, 42});
    std::vector<std::string> left;
    for (int i = 0; i < w.tree->Items().Count(); ++i) left.push_back(w.tree->Items()[i]->Text());
    EXPECT_EQ(left, (std::vector<std::string>{"Параметры", "Связь", "Станция"}));
    svc.erase_tree_items(w.tree, {100});
    EXPECT_EQ(w.tree->Items().Count(), 0);
    svc.set_first_tree_item(w.tree);  // an empty tree: nothing to select
}

}  // namespace
