// The template filling against the in-memory spreadsheet server: which cells
// are tokens, what they become, the order of the client's calls, and the
// reported and thrown failures.

#include "programs/grouttab/report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "programs/grouttab/testdata/memory_server.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report_form.h"
#include "programs/grouttab/testdata/stage_files.h"

namespace grouttab {
namespace {

using testing::ProgramFolder;

struct MessageLog {
    std::vector<std::string> texts;
    ui::MessageBoxHandler saved;
    MessageLog() {
        saved = ui::set_message_box_handler([this](const ui::MessageBoxRequest& r) {
            texts.push_back(r.caption + ": " + r.text);
            return ui::IDOK;
        });
    }
    ~MessageLog() { ui::set_message_box_handler(saved); }
};

class ReportBuild : public ::testing::Test {
protected:
    ReportBuild() {
        testing::write_well(folder.path(), "1234", "2");
        MemorySheet& s = first_sheet();
        s.name = "Лист1";
        const std::vector<std::vector<std::string>> rows = {
            {"Скважина", "%%name", "%%нет_ключа", "%%", "x%%date", "%%партия_ГТИ"},
            {"%!%name"},
            {"%!%start", "%!%name", "%!%V_inc", "%!%нет"},
            {"%!%start", "%!%name", "%!%P_min"},
            {"%!%start", "%!%name"},
            {"%!%start", "%!%name"},
            {"текст", "", "", "", "", "%%end_time"},
        };
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < rows[r].size(); ++c) s.set_text(int(c), int(r), rows[r][c]);
        MemorySheet other{"Другой", {}};
        other.set_text(0, 0, "%%name");
        template_book.sheets.push_back(other);
        office->files[make_file_url(paths().template_file)] = StoredFile{template_book, ""};
    }

    MemorySheet& first_sheet() {
        if (template_book.sheets.empty()) template_book.sheets.emplace_back();
        return template_book.sheets[0];
    }
    ReportPaths paths(const std::string& well = "1234", const std::string& stage = "2") const {
        return report_paths(folder.path(), well, stage);
    }
    TReportForm& form() {
        if (!form_)
            form_ = std::make_unique<TReportForm>(nullptr, std::vector<std::string>{},
                                                  ReportSettings{office->factory(), true});
        return *form_;
    }
    const MemorySheet& output_sheet(int index = 0) {
        return office->on_disk(paths().output_file).book.sheets.at(index);
    }

    ProgramFolder folder;
    std::shared_ptr<MemoryOffice> office = MemoryOffice::create();
    MemoryWorkbook template_book;
    MessageLog messages;
    std::unique_ptr<TReportForm> form_;
};

TEST_F(ReportBuild, FillsTheTokensOfTheFirstSheetFromTheStageFiles) {
    ASSERT_TRUE(make_report(form(), "1234", "2"));
    EXPECT_TRUE(messages.texts.empty());
    const MemorySheet& s = output_sheet();
    const std::vector<std::vector<std::string>> want = {
        {"Скважина", "1234", "token_error", "token_error", "token_error", "Партия 3"},
        // an item token before any "start" reads the item -1, which no file has
        {"token_error"},
        {"09:05", "Закачка буфера", "5,10", "token_error"},
        {"14:25", "Закачка цемента", "10,0"},
        // past the programme's two items the blocks are emptied, the counter
        // staying where it stopped
        {"", ""},
        {"", ""},
        {"текст", "", "", "", "", "11:40"},
    };
    for (std::size_t r = 0; r < want.size(); ++r)
        for (std::size_t c = 0; c < want[r].size(); ++c)
            EXPECT_EQ(s.text(int(c), int(r)), want[r][c]) << "column " << c << ", row " << r;
    // Other sheets are left alone, and so is the template.
    EXPECT_EQ(output_sheet(1).text(0, 0), "%%name");
    EXPECT_EQ(office->files.at(make_file_url(paths().template_file)).book.sheets[0].text(1, 0), "%%name");
    // The bar ran over last column x last row; the label is cleared at the end.
    EXPECT_EQ(form().pbOO->Max(), 5 * 6);
    EXPECT_EQ(form().pbOO->Position(), 5 * 6);
    EXPECT_EQ(form().lblProgress->Caption(), "");
    EXPECT_FALSE(form().calc_auto());
}

TEST_F(ReportBuild, StoresTwiceAsExcel97ThenShowsTheReport) {
    ASSERT_TRUE(make_report(form(), "1234", "2"));
    const std::string tpl = make_file_url(paths().template_file);
    const std::string out = make_file_url(paths().output_file);
    std::vector<std::string> calls;
    // The office stores into the build's own folder beside the report; the
    // finished file then takes the report's name.
    const std::string own = make_file_url(os::folder_of(paths().output_file) + "/.grouttab-");
    for (const auto& c : office->calls) {
        if (c.rfind("setString", 0) == 0) continue;
        const bool in_own = c.rfind("storeAsURL(" + own, 0) == 0 &&
                            c.size() > c.rfind('/') && c.substr(c.rfind('/')) == "/1234_2.xls MS Excel 97)";
        calls.push_back(in_own ? "storeAsURL(own)" : c);
    }
    const std::vector<std::string> want = {
        "loadComponentFromURL(" + tpl + " Hidden)",
        "storeAsURL(own)",
        "lockControllers",
        "addActionLock",
        "setActiveSheet(0)",
        "unlockControllers",
        "removeActionLock",
        "storeAsURL(own)",
        "close",
        "loadComponentFromURL(" + out + ")",
        "setActiveSheet(0)",
    };
    EXPECT_EQ(calls, want);
    EXPECT_EQ(office->on_disk(paths().output_file).filter, "MS Excel 97");
    // The build's own folder went with the build.
    EXPECT_EQ(os::find_entries(os::folder_of(paths().output_file) + "/.grouttab-*", os::fa_any).size(), 0u);
    // The shown report stays open for the user.
    EXPECT_EQ(office->shown, std::vector<std::string>{out});
    EXPECT_EQ(office->open_documents, 1);
    // Only the 18 token cells are written; plain cells and the empty column
    // past the used area are only read.
    EXPECT_EQ(std::count_if(office->calls.begin(), office->calls.end(),
                            [](const std::string& c) { return c.rfind("setString", 0) == 0; }),
              18);
}

TEST_F(ReportBuild, MissingStageFilesGiveTokenErrorsAndEmptyItems) {
    ASSERT_TRUE(make_report(form(), "1234", "9"));  // no stage 9: the files are missing
    const auto& s = office->on_disk(paths("1234", "9").output_file).book.sheets[0];
    EXPECT_EQ(s.text(1, 0), "token_error");
    // Count 0: the item token before any "start" still reads the item -1;
    // every "start" and the tokens after it are emptied.
    EXPECT_EQ(s.text(0, 1), "token_error");
    for (int row = 2; row <= 5; ++row) {
        EXPECT_EQ(s.text(0, row), "") << row;
        EXPECT_EQ(s.text(1, row), "") << row;
    }
    EXPECT_EQ(s.text(0, 6), "текст");
}

TEST_F(ReportBuild, ATemplateWithoutTokensIsRefusedAsDamaged) {
    // What the office makes of an empty file, a web page or random bytes
    // under the template's name: a spreadsheet with not one token in it.
    MemoryWorkbook plain;
    plain.sheets.push_back(MemorySheet{"Лист1", {}});
    plain.sheets[0].set_text(0, 0, "<html><body>только текст");
    plain.sheets[0].set_text(2, 3, "\x7f\x01%");
    office->files[make_file_url(paths().template_file)] = StoredFile{plain, ""};
    os::testing::write_bytes(paths().output_file, "earlier report");
    EXPECT_FALSE(make_report(form(), "1234", "2"));
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{"Error: Ошибка при открытии шаблона отчета.\nФайл поврежден или не найден."});
    EXPECT_EQ(os::testing::read_bytes(paths().output_file), "earlier report");
    EXPECT_EQ(os::find_entries(os::folder_of(paths().output_file) + "/.grouttab-*", os::fa_any).size(), 0u);
    EXPECT_EQ(office->open_documents, 0);
    EXPECT_TRUE(office->shown.empty());
    EXPECT_FALSE(form().calc_auto());
}

TEST_F(ReportBuild, ASingleRowSheetLeavesTheBarWithoutRangeAndStillFinishes) {
    MemoryWorkbook row;
    row.sheets.push_back(MemorySheet{"Лист1", {}});
    row.sheets[0].set_text(0, 0, "%%name");
    row.sheets[0].set_text(3, 0, "%%area");
    office->files[make_file_url(paths().template_file)] = StoredFile{row, ""};
    ASSERT_TRUE(make_report(form(), "1234", "2"));
    EXPECT_EQ(form().pbOO->Max(), 0);
    EXPECT_EQ(output_sheet().text(3, 0), "Южная");
}

TEST_F(ReportBuild, ReportedFailuresEndTheBuildWithFalse) {
    struct Case {
        const char* what;
        std::function<void(MemoryOffice&)> arrange;
        std::string well, stage;
        std::string message;
    };
    const std::string no_office = "Error: Ошибка при создании OpenOffice";
    const std::string no_template = "Error: Ошибка при открытии шаблона отчета.\nФайл поврежден или не найден.";
    const std::vector<Case> cases = {
        {"no server", [](MemoryOffice& o) { o.refuse = true; }, "1234", "2", no_office},
        {"no template", [](MemoryOffice& o) { o.files.clear(); }, "1234", "2", no_template},
        {"template load fails", [](MemoryOffice& o) { o.failing.insert("loadComponentFromURL"); }, "1234", "2",
         no_template},
        {"template is no spreadsheet", [](MemoryOffice& o) { o.failing.insert("getSheets"); }, "1234", "2",
         no_template},
        {"well leaves the program folder", [](MemoryOffice&) {}, "../1234", "2",
         "Error: Недопустимое имя скважины или ступени: \"../1234\", \"2\""},
        {"stage leaves the well", [](MemoryOffice&) {}, "1234", "2/../../x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        office->files.clear();
        office->files[make_file_url(paths().template_file)] = StoredFile{template_book, ""};
        office->refuse = false;
        office->failing.clear();
        messages.texts.clear();
        c.arrange(*office);
        EXPECT_FALSE(make_report(form(), c.well, c.stage));
        ASSERT_EQ(messages.texts.size(), 1u);
        if (!c.message.empty()) {
            EXPECT_EQ(messages.texts[0], c.message);
        }
        EXPECT_FALSE(os::path_exists(paths().output_file));
        EXPECT_FALSE(form().calc_auto());
    }
}

TEST_F(ReportBuild, ALaterServerFailurePropagatesWithTheDocumentClosed) {
    office->failing.insert("removeActionLock");
    try {
        make_report(form(), "1234", "2");
        FAIL() << "no error";
    } catch (const ServerError& e) {
        EXPECT_STREQ(e.what(), "removeActionLock failed");
    }
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(office->open_documents, 0);
    EXPECT_FALSE(form().calc_auto());
    EXPECT_EQ(form().lblProgress->Caption(), "");
}

TEST_F(ReportBuild, AFailedBuildLeavesTheEarlierReportAsItWas) {
    enum Outcome { throws, refused };
    struct Case {
        const char* what;
        std::function<void(MemoryOffice&)> arrange;
        Outcome outcome;
        std::string message;  // of a refused build
        bool replaced;        // the new report took the report's name
    };
    // Arms a failure of `call` once `after` has been made.
    auto fail_after = [](const std::string& after, const std::string& call) {
        return [after, call](MemoryOffice& o) {
            o.on_call = [&o, after, call](const std::string& name) {
                if (name == after) o.failing.insert(call);
            };
        };
    };
    const std::string output = paths().output_file;
    const std::string not_stored = "Error: Не удалось сохранить отчет " + output + ".\nЗапись в папку отчетов не удалась.";
    const std::vector<Case> cases = {
        {"the fill fails", [](MemoryOffice& o) { o.failing.insert("setString"); }, throws, "", false},
        {"unlocking fails", [](MemoryOffice& o) { o.failing.insert("removeActionLock"); }, throws, "", false},
        {"the first store fails", [](MemoryOffice& o) { o.failing.insert("storeAsURL"); }, refused, not_stored,
         false},
        {"the second store fails", fail_after("unlockControllers", "storeAsURL"), refused, not_stored, false},
        // The report was finished; only showing it failed.
        {"showing it fails", fail_after("close", "loadComponentFromURL"), refused,
         "Error: Отчет сохранен в " + output + ", но показать его не удалось.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        office->failing.clear();
        office->on_call = nullptr;
        messages.texts.clear();
        os::testing::write_bytes(output, "earlier report");
        c.arrange(*office);
        if (c.outcome == throws) {
            EXPECT_THROW(make_report(form(), "1234", "2"), ServerError);
            EXPECT_TRUE(messages.texts.empty());
        } else {
            EXPECT_FALSE(make_report(form(), "1234", "2"));
            EXPECT_EQ(messages.texts, std::vector<std::string>{c.message});
        }
        if (c.replaced)
            EXPECT_NE(office->find_on_disk(output), nullptr);
        else
            EXPECT_EQ(os::testing::read_bytes(output), "earlier report");
        EXPECT_EQ(os::find_entries(os::folder_of(output) + "/.grouttab-*", os::fa_any).size(), 0u);
        EXPECT_EQ(office->open_documents, 0);
        EXPECT_FALSE(form().calc_auto());
    }
    office->on_call = nullptr;
}

TEST_F(ReportBuild, TheWindowShowsALaterFailureThroughTheApplication) {
    office->failing.insert("lockControllers");
    form().cbPore->SetText("1234");
    form().cbStupen->SetText("2");
    form().btnOkClick(nullptr);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("lockControllers failed"), std::string::npos) << messages.texts[0];
    EXPECT_EQ(office->open_documents, 0);
}

TEST(ReportPaths, FollowTheWellAndStageNames) {
    const ReportPaths p = report_paths("/st", "Скв 7", "2");
    EXPECT_EQ(p.report_file, "/st/Скв 7/cement/cement_program_2.rpt");
    EXPECT_EQ(p.programme_file, "/st/Скв 7/cement/cement_program_2.ini");
    EXPECT_EQ(p.template_file, "/st/params/cement/report_new.xls");
    EXPECT_EQ(p.output_file, "/st/Скв 7/cement/report/Скв 7_2.xls");
    for (const char* bad : {"a/b", "a\\b", ".", ".."}) EXPECT_FALSE(is_plain_name(bad)) << bad;
    for (const char* good : {"", "12", "Скв 7", "..x", "2.5"}) EXPECT_TRUE(is_plain_name(good)) << good;
}

}  // namespace
}  // namespace grouttab
