// The selection window on a well prepared by the test: the tree of trips and
// hour windows, the range and trip list each choice sets, the summary and
// the package name, a run started from "Сжать", and pictures for review.

#include "programs/vargel2/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "library/time_conv.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/test_driver.h"
#include "programs/vargel2/progress_form.h"
#include "programs/vargel2/testdata/trip_testing.h"

namespace vargel2 {
namespace {

using namespace testing;

// 2024-03-05 13:30 on the data's time scale.
const std::int32_t kNow = lib::time_2_long(2024, 3, 5, 13, 30, 0);
const std::int32_t kToday = lib::time_2_long(2024, 3, 5, 0, 0, 0);

std::vector<std::string> child_texts(const ui::TTreeNode* node) {
    std::vector<std::string> out;
    for (int i = 0; i < node->Count(); ++i) out.push_back(node->Item(i)->Text());
    return out;
}

ui::TTreeNode* find_node(ui::TTreeView& tree, const std::vector<std::string>& path) {
    ui::TTreeNode* node = tree.Items().GetFirstNode();
    for (const auto& name : path) {
        ui::TTreeNode* next = nullptr;
        for (int i = 0; node && i < node->Count(); ++i) {
            if (node->Item(i)->Text() == name) next = node->Item(i);
        }
        node = next;
    }
    return node;
}

class SelectionWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // Written as the station writes them, in Windows-1251.
        rtl::IniFile(folder / "global.ini").WriteString("текущие_настройки", "скважина", "5");
        std::filesystem::create_directories(folder / "5");
        rtl::IniFile(folder / "5/inpgti.ini").WriteString("скважина", "площадь", "Южная");
        write_trip(folder / "5/0003.realtim", kToday - 3 * 86400, 100, 60);
        write_trip(folder / "5/0012.realtim", kToday - 86400, 200, 60);
        write_text(folder / "5/0012.rac", "");  // the same trip once more
        write_text(folder / "5/0007.rac", "");
        write_text(folder / "5/abcd.realtim", "");
        write_text(folder / "5/-5.rac", "");
        write_text(folder / "5/-007.realtim", "");
        // Not decimal: no trip 16, 31, 5 or 8 is offered for them.
        for (const char* n : {"$010.realtim", "0x1F.rac", "+005.realtim", " 008.rac", "x10.rac"}) {
            write_text(folder / "5/" + n, "");
        }
        write_text(folder / "5/0012.realdep", "");
        options.destination_path = "out/";
        options.time_period = 8;
    }

    std::unique_ptr<TMainForm> make() {
        auto f = std::make_unique<TMainForm>(nullptr, options, &progress, [] { return std::uint32_t(kNow); });
        progress.OnBusyChanged = [f = f.get()](bool b) { f->set_busy(b); };
        progress.OnThreadCreated = [this](TCompressThread& t) { t.temp_parent = folder.path(); };
        return f;
    }

    void select(TMainForm& f, const std::vector<std::string>& path) {
        ui::TTreeNode* node = find_node(*f.TreeView1, path);
        ASSERT_NE(node, nullptr) << path.back();
        f.TreeView1->SetSelected(node);
    }

    // A user's press on the node's row.
    void press(TMainForm& f, const std::vector<std::string>& path) {
        ui::TTreeNode* node = find_node(*f.TreeView1, path);
        ASSERT_NE(node, nullptr) << path.back();
        node->MakeVisible();
        const ui::TRect r = node->DisplayRect(true);
        ui::TestDriver().Click(*f.TreeView1, ui::TPoint{r.Left + 4, (r.Top + r.Bottom) / 2});
    }

    ProgramFolder folder;
    Configuration options{folder.path()};
    TProgressForm progress{nullptr};
};

TEST_F(SelectionWindow, TheTreeShowsAllDataTheTripsAndTheHourWindows) {
    auto f = make();
    ui::TTreeNode* root = f->TreeView1->Items().GetFirstNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Text(), "Скважина \"5\"");
    EXPECT_TRUE(root->Expanded());
    root->Collapse(false);
    EXPECT_TRUE(root->Expanded());  // the root stays open
    EXPECT_EQ(child_texts(root), (std::vector<std::string>{"По рейсам", "По времени"}));
    // abcd.realtim, -5.rac, -007.realtim and the names in other notations
    // are no trips; 12 has a ".rac" and a ".realtim" file.
    EXPECT_EQ(child_texts(root->Item(0)), (std::vector<std::string>{"Рейс #3", "Рейс #7", "Рейс #12"}));
    EXPECT_EQ(child_texts(root->Item(1)),
              (std::vector<std::string>{"Все данные", "Поза-позавчера", "Позавчера", "Вчера", "Сегодня"}));
    EXPECT_EQ(child_texts(root->Item(1)->Item(3)),
              (std::vector<std::string>{"0:00 - 8:00", "8:00 - 16:00", "16:00 - 24:00"}));
    for (auto [period, windows] : std::vector<std::pair<int, int>>{{4, 6}, {12, 2}, {24, 1}, {6, 2}}) {
        options.time_period = period;
        f->refresh();
        EXPECT_EQ(f->TreeView1->Items().GetFirstNode()->Item(1)->Item(4)->Count(), windows) << period;
    }
    EXPECT_EQ(f->memSelInfo->Lines().Count(), 4);
    EXPECT_FALSE(f->mnuCompress->Enabled());
}

TEST_F(SelectionWindow, EachChoiceSetsTheRangeTheTripsAndThePackageName) {
    auto f = make();
    f->Show();
    RunState& s = f->run_state();
    EXPECT_EQ(s.data_folder, folder / "5/");
    EXPECT_EQ(s.area_name, "Южная");

    select(*f, {"По времени", "Вчера", "8:00 - 16:00"});
    EXPECT_EQ(s.range_start, kToday - 86400 + 8 * 3600);
    EXPECT_EQ(s.range_end - s.range_start, 8 * 3600);
    EXPECT_TRUE(f->mnuCompress->Enabled());
    EXPECT_EQ(package_tag(s), "2024_03_04_08");
    EXPECT_EQ(f->memSelInfo->Lines()[3],
              "ДАННЫЕ:   \t" + lib::date_to_string(s.range_start) + " - " + lib::date_to_string(s.range_end));

    select(*f, {"По времени", "Вчера"});  // a day alone chooses nothing
    EXPECT_FALSE(s.range_chosen());
    EXPECT_FALSE(f->mnuCompress->Enabled());
    EXPECT_EQ(f->selection_text(), "ПРОМЕЖУТОК ВРЕМЕНИ НЕ ВЫБРАН...");

    // A press on a trip selects and checks it; a second press unchecks it.
    press(*f, {"По рейсам", "Рейс #12"});
    press(*f, {"По рейсам", "Рейс #3"});
    EXPECT_EQ(s.trips, (std::vector<std::int32_t>{3, 12}));
    EXPECT_EQ(find_node(*f->TreeView1, {"По рейсам", "Рейс #3"})->ImageIndex(), 4);
    EXPECT_FALSE(s.range_chosen());
    EXPECT_TRUE(f->mnuCompress->Enabled());
    EXPECT_EQ(f->memSelInfo->Lines().ToVector(),
              (std::vector<std::string>{"*** Данные ТИ/ГТИ системы \"Норкан 32\" ***", "СКВАЖИНА: \t\"5\"",
                                        "ПЛОЩАДЬ:  \t\"Южная\"", "ДАННЫЕ:   \tРейсы: 3 12;"}));
    EXPECT_EQ(package_tag(s), "races_003_012");
    f->SaveToPng(png_path("vargel2_selection_trips"));

    // Checked trips win over an hour window; all data wins over both.
    select(*f, {"По времени", "Сегодня", "0:00 - 8:00"});
    EXPECT_EQ(package_tag(s), "races_003_012");
    select(*f, {"По времени", "Все данные"});
    EXPECT_EQ(package_tag(s), "ALL_DATA");
    EXPECT_EQ(f->selection_text(), "Данные по скважине за всё время");
    press(*f, {"По рейсам"});
    press(*f, {"По рейсам", "Рейс #3"});
    EXPECT_EQ(s.trips, (std::vector<std::int32_t>{12}));

    // "Обновить" forgets the checked trips.
    f->mnuRefresh->Click();
    EXPECT_TRUE(s.trips.empty());
}

TEST_F(SelectionWindow, ADayWindowBeginsAtTheConfiguredHour) {
    options.time_period = 24;
    options.from_time = 7;
    auto f = make();
    select(*f, {"По времени", "Сегодня", "0:00 - 24:00"});
    EXPECT_EQ(f->run_state().range_start, kToday + 7 * 3600);
    EXPECT_EQ(f->run_state().range_end, kToday + 86400 + 7 * 3600);
}

TEST_F(SelectionWindow, CompressPacksTheCheckedTripsAndLocksTheWindowMeanwhile) {
    auto f = make();
    f->Show();
    press(*f, {"По рейсам", "Рейс #12"});
    f->memUserText->Lines().SetText("Бурение под кондуктор");
    f->mnuCompress->Click();
    ASSERT_TRUE(progress.busy());
    for (ui::TMenuItem* m : {f->mnuCompress, f->mnuOptions, f->mnuRefresh, f->mnuExit}) EXPECT_FALSE(m->Enabled());
    EXPECT_FALSE(f->CloseQuery());
    ASSERT_TRUE(ui::main_queue().run_until([&] { return !progress.busy(); }, 60000));
    EXPECT_TRUE(f->mnuCompress->Enabled());
    const RunState& run = progress.run_state();
    EXPECT_EQ(run.package_path, folder / "out/GTI_[Южная_5]_(races_012).compr_rt");
    EXPECT_NE(run.operator_note.find("Рейсы: 12;"), std::string::npos);
    EXPECT_NE(run.operator_note.find("\r\nБурение под кондуктор"), std::string::npos);
    ASSERT_TRUE(progress.last_run_ok()) << progress.last_error();
    ASSERT_TRUE(extract(run.package_path, folder / "x"));
    const auto names = file_names(folder / "x");
    EXPECT_TRUE(std::find(names.begin(), names.end(), "0012.realtim.values") != names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "inpgti.ini") != names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "0003.realtim.values") == names.end());
    expect_trip_read_back(folder / "x/0012.realtim", kToday - 86400, 200, 60);
    progress.SaveToPng(png_path("vargel2_selection_progress"));
}

TEST_F(SelectionWindow, WithoutTheStationsSettingsTheWellIsNone) {
    std::filesystem::remove(folder / "global.ini");
    auto f = make();
    EXPECT_EQ(f->run_state().well_name, "NONE");
    EXPECT_EQ(f->run_state().area_name, "NONE");
    EXPECT_EQ(f->run_state().data_folder, folder / "NONE/");
    EXPECT_EQ(f->TreeView1->Items().GetFirstNode()->Item(0)->Count(), 0);
}

// The well's folder is named as the station names it, one folder beside
// the program; a name that names none shows no data.
TEST_F(SelectionWindow, TheWellsNameCannotLeadOutOfTheProgramsFolder) {
    write_trip(folder / "outside/0009.realtim", kToday, 10);
    write_trip(folder / "12_3/0004.realtim", kToday, 10);
    struct Case {
        std::string well, data_folder;
        std::vector<std::string> trips;
    };
    const std::vector<Case> cases = {
        {"5/../outside", folder / "5_.._outside/", {}},
        {"../outside", folder / ".._outside/", {}},
        {"12/3", folder / "12_3/", {"Рейс #4"}},
        {"12\\3", folder / "12_3/", {"Рейс #4"}},
        {" 5 ", folder / "5/", {"Рейс #3", "Рейс #7", "Рейс #12"}},
        {"..", "", {}},
        {".", "", {}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        rtl::IniFile(folder / "global.ini").WriteString("текущие_настройки", "скважина", c.well);
        auto f = make();
        EXPECT_EQ(f->run_state().data_folder, c.data_folder) << c.well;
        EXPECT_EQ(child_texts(f->TreeView1->Items().GetFirstNode()->Item(0)), c.trips) << c.well;
    }
}

// The program ends without destroying its windows: the place is kept as
// the window closes, and the next one shows there, not centred.
TEST_F(SelectionWindow, TheWindowPlaceIsKeptWhenItClosesAndShownAtTheNextStart) {
    auto f = make();
    f->Show();
    f->SetBounds(40, 50, 600, 400);
    f->mnuExit->Click();
    rtl::IniFile ini(options_file_path(folder.path()));
    EXPECT_EQ(ini.ReadInteger("MainForm", "left", 0), 40);
    auto g = make();
    g->Show();
    EXPECT_EQ(g->Left(), 40);
    EXPECT_EQ(g->Top(), 50);
    EXPECT_EQ(g->Width(), 600);
}

TEST_F(SelectionWindow, TheAboutWindowShowsTheYear) {
    auto f = make();
    std::string text;
    ui::headless_display()->ExpectModal([&](ui::TCustomForm& form) {
        for (int i = 0; i < form.ControlCount(); ++i) {
            if (auto* memo = dynamic_cast<ui::TMemo*>(form.Controls(i))) text = memo->Lines().Text();
        }
        form.SaveToPng(png_path("vargel2_about"));
        form.SetModalResult(ui::mrOk);
    });
    f->mnuAbout->Click();
    EXPECT_NE(text.find("(c) 2024"), std::string::npos) << text;
    EXPECT_EQ(text.find('{'), std::string::npos) << text;
}

}  // namespace
}  // namespace vargel2
