// The report window: the well and stage lists, the well chosen by "-p",
// "Диаграмма" and "Выход", and a picture of the window during a build.

#include "programs/grouttab/report_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "platform/os/desktop.h"
#include "platform/os/file_copy.h"
#include "platform/os/testing.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/lsan_options.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "programs/grouttab/testdata/memory_server.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report.h"
#include "programs/grouttab/testdata/stage_files.h"

LSAN_DEFAULT_OPTIONS(__FILE__, "testdata/lsan.supp")

namespace grouttab {
namespace {

using testing::ProgramFolder;
using testing::write_text;
using testing::write_well;

std::string png_path(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

std::vector<std::string> items(ui::TComboBox& box) {
    std::vector<std::string> v;
    for (int i = 0; i < box.Items().Count(); ++i) v.push_back(box.Items()[i]);
    return v;
}

std::unique_ptr<TReportForm> make_form(std::vector<std::string> args, std::shared_ptr<MemoryOffice> office = nullptr) {
    if (!office) office = MemoryOffice::create();
    return std::make_unique<TReportForm>(nullptr, std::move(args), ReportSettings{office->factory(), true});
}

TEST(WantedWell, IsTheRunGluedToTheFirstMarkerOfTheArguments) {
    struct Case {
        std::vector<std::string> args;
        std::string well;
    };
    const std::vector<Case> cases = {
        {{}, ""},           {{"-p12"}, "12"},      {{"-pСкв7", "more"}, "Скв7"}, {{"-xx", "-p12"}, "12"},
        {{"-p", "12"}, ""},  // a blank after the marker: no well
        {{"-P12"}, ""},      // the marker is case-sensitive
        {{"-p12 x"}, "12"},  // cut at the blank, as the command line text was
        {{"a-p5"}, "5"},     // found anywhere in the text
        {{"-p.."}, ""},      // never a folder outside the program folder
        {{"-p../etc"}, ""}, {{"-p12/cement"}, ""},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += "[" + a + "]";
        EXPECT_EQ(wanted_well(c.args), c.well) << joined;
    }
}

TEST(ReportForm, ListsOnlyWellFoldersAndPreselectsTheWantedOne) {
    ProgramFolder folder;
    write_well(folder.path(), "A1", "1");
    write_well(folder.path(), "B2", "");
    write_well(folder.path(), "Скв 3", "");
    write_text(folder.path() + "/NoCement/inpgti.ini", {"[Main]"});  // no cement/cement.ini
    write_text(folder.path() + "/OnlyCement/cement/cement.ini", {"[Main]"});
    write_text(folder.path() + "/plain.txt", {"x"});

    auto form = make_form({"-pB2"});
    EXPECT_EQ(items(*form->cbPore), (std::vector<std::string>{"A1", "B2", "Скв 3"}));
    EXPECT_EQ(form->cbPore->ItemIndex(), 1);
    EXPECT_EQ(form->cbPore->Text(), "B2");
    // B2 has no stage report: the stage box is empty and cleared.
    EXPECT_TRUE(items(*form->cbStupen).empty());
    EXPECT_EQ(form->cbStupen->Text(), "");

    // An unknown well, or none asked for: the first one.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-pZZ"}, std::vector<std::string>{}}) {
        auto f = make_form(args);
        EXPECT_EQ(f->cbPore->ItemIndex(), 0);
        EXPECT_EQ(items(*f->cbStupen), std::vector<std::string>{"1"});
    }
}

TEST(ReportForm, NoWellFolderLeavesBothListsEmptyAndSaysWhereItLooked) {
    ProgramFolder folder;
    write_text(folder.path() + "/NoCement/inpgti.ini", {"[Main]"});
    auto form = make_form({});
    EXPECT_EQ(form->cbPore->Items().Count(), 0);
    EXPECT_EQ(form->cbPore->ItemIndex(), -1);
    EXPECT_EQ(form->cbStupen->Items().Count(), 0);
    form->Show();
    ASSERT_TRUE(form->lblNotice->Visible());
    EXPECT_EQ(form->lblNotice->Caption(),
              "Скважины не найдены: в папке " + folder.path() +
                  " нет ни одной папки скважины (с файлами inpgti.ini и cement/cement.ini).");
    // The notice is under the buttons and the window holds all of it.
    EXPECT_GE(form->lblNotice->Top(), form->btnOk->Top() + form->btnOk->Height());
    EXPECT_GT(form->lblNotice->Height(), 16) << "a notice this long takes two lines";
    EXPECT_GE(form->ClientHeight(), form->lblNotice->Top() + form->lblNotice->Height());
    form->SaveToPng(png_path("grouttab_no_well"));
}

// A well asked for with "-p" that is not there is named with what it lacks;
// the first well is selected and said.
TEST(ReportForm, AWantedWellNotFoundIsSaid) {
    ProgramFolder folder;
    write_well(folder.path(), "A1", "1");
    write_text(folder.path() + "/B2/inpgti.ini", {"[Main]"});
    write_text(folder.path() + "/C3/cement/cement.ini", {"[Main]"});
    struct Case {
        std::string well, notice;
    };
    const std::vector<Case> cases = {
        {"ZZ", "Скважина \"ZZ\" не найдена: в папке " + folder.path() + " нет папки ZZ."},
        {"B2", "Скважина \"B2\" не найдена: в папке " + folder.path() + "/B2 нет файла cement/cement.ini."},
        {"C3", "Скважина \"C3\" не найдена: в папке " + folder.path() + "/C3 нет файла inpgti.ini."},
    };
    for (const auto& c : cases) {
        auto form = make_form({"-p" + c.well});
        EXPECT_EQ(form->cbPore->Text(), "A1");
        EXPECT_TRUE(form->lblNotice->Visible()) << c.well;
        EXPECT_EQ(form->lblNotice->Caption(), c.notice + " Выбрана скважина \"A1\".");
        if (c.well == "B2") {
            form->Show();
            form->SaveToPng(png_path("grouttab_well_not_found"));
        }
    }
    // Found, or none asked for: nothing to say, and the window keeps its size.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-pA1"}, std::vector<std::string>{}}) {
        auto form = make_form(args);
        EXPECT_FALSE(form->lblNotice->Visible());
        EXPECT_EQ(form->ClientHeight(), 150);
    }
}

TEST(ReportForm, StagesAreCutAtTheFirstDotAndTheLastFoundIsSelected) {
    ProgramFolder folder;
    write_well(folder.path(), "A1", "1");
    write_well(folder.path(), "A2", "");
    const std::string cement = folder.path() + "/A1/cement/";
    write_text(cement + "cement_program_2.rpt", {"[Report]"});
    write_text(cement + "cement_program_2.5.rpt", {"[Report]"});
    write_text(cement + "cement_program_3.ini", {"[Main]"});  // a programme alone is no stage
    write_text(cement + "other_2.rpt", {"[Report]"});
    auto form = make_form({});
    EXPECT_EQ(items(*form->cbStupen), (std::vector<std::string>{"1", "2", "2"}));
    EXPECT_EQ(form->cbStupen->ItemIndex(), 2);
    EXPECT_EQ(form->cbStupen->Text(), "2");

    // Choosing another well refills the stages.
    form->cbPore->SelectByUser(1);
    EXPECT_TRUE(items(*form->cbStupen).empty());
    EXPECT_EQ(form->cbStupen->Text(), "");
    form->cbPore->SelectByUser(0);
    EXPECT_EQ(form->cbStupen->Items().Count(), 3);
}

TEST(ReportForm, DiagramCopiesTheLayoutOnceAndOpensTheStageData) {
    ProgramFolder folder;
    write_well(folder.path(), "A1", "4");
    write_text(folder.path() + "/params/cement/last.tvscr", {"layout 1"});
    const std::string log = folder.path() + "/opened.log";
    const std::string opener = folder.path() + "/opener.sh";
    os::testing::write_bytes(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
    ::chmod(opener.c_str(), 0755);
    os::set_document_opener(opener);

    auto form = make_form({});
    const std::string report = folder.path() + "/A1/cement/report/";
    form->MyButton2Click(nullptr);
    EXPECT_EQ(os::testing::read_bytes(report + "last.tvscr"), "layout 1\r\n");
    // The user's changed layout beside the data stays as it is.
    os::testing::write_bytes(report + "last.tvscr", "changed");
    form->MyButton2Click(nullptr);
    EXPECT_EQ(os::testing::read_bytes(report + "last.tvscr"), "changed");

    const std::string want = report + "A1_4.realtim\n";
    std::string got;
    os::testing::wait_until([&] { return (got = os::testing::read_bytes(log)) == want + want; });
    EXPECT_EQ(got, want + want);
    os::set_document_opener("");
}

TEST(ReportForm, ExitClosesTheMainWindow) {
    ProgramFolder folder;
    auto form = make_form({});
    ui::Application().SetMainForm(form.get());
    form->Show();
    ui::TestDriver().Click(*form->MyButton1);
    EXPECT_TRUE(ui::Application().Terminated());
    ui::Application().SetMainForm(nullptr);
    ui::Application().ResetTerminated();
}

TEST(ReportForm, LooksAsDesignedDuringABuild) {
    ProgramFolder folder;
    write_well(folder.path(), "1234", "1");
    write_well(folder.path(), "1235", "2");
    auto office = MemoryOffice::create();
    MemoryWorkbook book;
    book.sheets.push_back(MemorySheet{"Лист1", {}});
    for (int r = 0; r < 10; ++r) book.sheets[0].set_text(3, r, "%%name");
    office->files[make_file_url(folder.path() + "/params/cement/report_new.xls")] = StoredFile{book, ""};
    auto form = make_form({"-p1235"}, office);
    form->Show();
    EXPECT_EQ(form->ClientWidth(), 417);
    EXPECT_EQ(form->ClientHeight(), 150);
    EXPECT_EQ(form->Caption(), "Отчет по цементированию");
    std::vector<ui::TWinControl*> order;
    form->GetTabOrderList(order);
    const std::vector<ui::TWinControl*> want = {form->btnOk,     form->cbPore,    form->cbStupen,
                                                form->MyButton1, form->MyButton2, form->pbOO};
    EXPECT_EQ(std::vector<ui::TWinControl*>(order.begin(), order.begin() + 6), want);

    // Each finished row repaints the window; the picture past half way is kept.
    std::vector<std::string> captions;
    bool saved = false;
    office->on_call = [&](const std::string&) {
        const std::string c = form->lblProgress->Caption();
        if (!c.empty() && (captions.empty() || captions.back() != c)) captions.push_back(c);
        if (!saved && c == "59%") {
            form->SaveToPng(png_path("grouttab_report_form"));
            saved = true;
        }
    };
    form->btnOkClick(nullptr);
    EXPECT_TRUE(saved);
    // Rows 1..10 of a 4-column sheet: position 3 x row + 4 of 3 x 9, the bar
    // stopping at its end.
    EXPECT_EQ(captions, (std::vector<std::string>{"25%", "37%", "48%", "59%", "70%", "81%", "92%", "100%"}));
    EXPECT_EQ(form->pbOO->Max(), 27);
    EXPECT_EQ(form->lblProgress->Caption(), "");
    EXPECT_NE(office->find_on_disk(folder.path() + "/1235/cement/report/1235_2.xls"), nullptr);
}

}  // namespace
}  // namespace grouttab
