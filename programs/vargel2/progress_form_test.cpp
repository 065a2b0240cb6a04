// The progress window: its log rule, a whole run shown through the main
// queue, the buttons while and after it, and mailing through a stand-in
// xdg-email on PATH.

#include "programs/vargel2/progress_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/text_engine.h"
#include "programs/vargel2/mailer.h"
#include "programs/vargel2/testdata/trip_testing.h"

namespace vargel2 {
namespace {

using namespace testing;

std::vector<std::string> log_lines(TProgressForm& f) { return f.memLog->Lines().ToVector(); }

TEST(ProgressLog, ProvisionalLinesGiveWayToTheNext) {
    struct Case {
        std::vector<std::string> shown;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {{"a", "b"}, {"a", "b"}},
        {{"a", "#10%", "#20%", "#20%", "b"}, {"a", "b"}},
        {{"a", "#10%", "#20%"}, {"a", "20%"}},
        {{"#1%", "*** x"}, {"*** x"}},  // replacing never adds the empty line
        {{"*** x", "a", "*** y"}, {"*** x", "a", "", "*** y"}},
        {{"a", "#50%", "b", "#60%"}, {"a", "b", "60%"}},
    };
    for (const auto& c : cases) {
        TProgressForm f(nullptr);
        for (const auto& l : c.shown) f.show_line(l);
        EXPECT_EQ(log_lines(f), c.log) << c.shown.size();
    }
}

class ProgressRun : public ::testing::Test {
protected:
    void SetUp() override {
        data = folder / "5/";
        options.program_folder = folder.path();
        options.tolvane_directory = "Tolvane/";
        state.well_name = "5";
        state.area_name = "Южная";
        state.operator_note = "Строка 1\r\nСтрока 2";
        state.data_folder = data;
        state.package_path = folder / "out/GTI_[Южная_5]_(ALL_DATA).compr_rt";
        state.range_end = -1;
        write_trip(data + "0003.realtim", 100000, 3000);
        write_text(data + "sys.bin", "x");
        std::filesystem::create_directories(folder / "tmp");
        saved_box = ui::set_message_box_handler([this](const ui::MessageBoxRequest& r) {
            boxes.push_back(r);
            return ui::IDOK;
        });
    }
    void TearDown() override { ui::set_message_box_handler(saved_box); }

    // Runs the window's run to its end through the main queue.
    bool run(TProgressForm& f, const std::string& archiver = "") {
        f.OnThreadCreated = [this, archiver](TCompressThread& t) {
            t.temp_parent = folder / "tmp";
            if (!archiver.empty()) t.archiver = archiver;
        };
        f.OnBusyChanged = [this](bool b) { busy_changes.push_back(b); };
        f.start_run(state, options);
        EXPECT_TRUE(f.busy());
        EXPECT_FALSE(f.btnCancel->Enabled());
        EXPECT_FALSE(f.btnSendData->Enabled());
        // The window stays while the thread works.
        f.btnCancelClick(nullptr);
        f.Close();
        EXPECT_TRUE(f.Visible());
        return ui::main_queue().run_until([&] { return !f.busy(); }, 60000);
    }

    ProgramFolder folder;
    std::string data;
    RunState state;
    ConfigValues options;
    std::vector<bool> busy_changes;
    std::vector<ui::MessageBoxRequest> boxes;
    ui::MessageBoxHandler saved_box;
};

TEST_F(ProgressRun, ShowsTheThreadsLinesAndOffersMailAfterASuccessfulRun) {
    TProgressForm f(nullptr);
    ASSERT_TRUE(run(f));
    const auto lines = log_lines(f);
    const std::vector<std::string> want = {
        "*** ПРОЦЕСС АРХИВАЦИИ ***",      "Идёт поиск файлов...", "Сжимаю файлы...",         "Готово!",
        "Данные сжаты и помещены в файл", state.package_path,     "Нажмите кнопку \"Выход\""};
    EXPECT_EQ(lines, want);
    EXPECT_EQ(busy_changes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(f.btnCancel->Enabled());
    EXPECT_EQ(f.btnCancel->Caption(), "Выход");
    EXPECT_TRUE(f.btnSendData->Enabled());
    EXPECT_TRUE(f.last_run_ok());
    EXPECT_TRUE(std::filesystem::exists(state.package_path));
    f.SaveToPng(png_path("vargel2_progress_done"));
    f.btnCancelClick(nullptr);
    EXPECT_FALSE(f.Visible());
}

TEST_F(ProgressRun, AFailedRunShowsTheCauseAndOffersNoMail) {
    const std::string stand_in = folder / "bin/7za";
    write_script(stand_in, "echo 'ERROR: cannot write' >&2\nexit 2\n");
    TProgressForm f(nullptr);
    ASSERT_TRUE(run(f, stand_in));
    const auto lines = log_lines(f);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Ошибка во время архивации:");
    EXPECT_NE(lines[lines.size() - 2].find("ERROR: cannot write"), std::string::npos);
    EXPECT_EQ(lines.back(), "Нажмите кнопку \"Выход\"");
    EXPECT_FALSE(f.btnSendData->Enabled());
    EXPECT_TRUE(f.btnCancel->Enabled());
    EXPECT_FALSE(f.last_run_ok());
    EXPECT_FALSE(std::filesystem::exists(state.package_path));
    f.SaveToPng(png_path("vargel2_progress_failed"));
}

// WCAG's contrast ratio of two colours.
double contrast(ui::TColor a, ui::TColor b) {
    auto luminance = [](ui::TColor c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) + 0.0722 * channel((c >> 16) & 0xFF);
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The log's text area as the window draws it: the last row holding any
// text and the best contrast of that text against the log's background.
struct LogInk {
    int last_row = -1;
    double contrast = 0;
};

LogInk log_ink(TProgressForm& f) {
    const ui::TBitmap& picture = f.Picture();
    const ui::TPoint origin = f.memLog->ClientOrigin() - ui::TPoint{f.Left(), f.Top()};
    const ui::TColor background = ui::ColorToRGB(f.memLog->Color());
    LogInk ink;
    for (int y = 0; y < f.memLog->ClientHeight(); ++y)
        for (int x = 0; x < f.memLog->ClientWidth() - 16; ++x) {
            const ui::TColor c = picture.Pixel(origin.x + x, origin.y + y);
            if (c == background) continue;
            ink.last_row = y;
            ink.contrast = std::max(ink.contrast, contrast(c, background));
        }
    return ink;
}

// The log reads: lime on black, and a line longer than the log (a deep
// package path) goes on over the next rows instead of past the log's edge,
// the newest row always in sight.
TEST_F(ProgressRun, TheLogReadsAndShowsALongPathWhole) {
    state.package_path = folder /
                         "out/Скважина_5_куст_12/данные_за_март/рейсы_с_первого_по_десятый/"
                         "GTI_[Южная_5]_(ALL_DATA).compr_rt";
    TProgressForm f(nullptr);
    ASSERT_TRUE(run(f));
    ASSERT_TRUE(f.last_run_ok()) << f.last_error();
    const int row = ui::text_engine::line_height(f.memLog->Font());
    const int lines = f.memLog->Lines().Count();
    ASSERT_LT((lines + 3) * row, f.memLog->ClientHeight()) << "the log must not be full for this test";
    LogInk ink = log_ink(f);
    EXPECT_GE(ink.contrast, 7.0);
    EXPECT_GT(ink.last_row, lines * row) << "the path took a single row";
    f.SaveToPng(png_path("vargel2_progress_long_path"));

    // A log longer than the window: its last row is at the bottom, one row
    // further shows nothing below it.
    for (int i = 0; i < 30; ++i) f.show_line("Строка " + std::to_string(i));
    f.show_line(state.package_path);
    f.show_line("Конец");
    ink = log_ink(f);
    EXPECT_GE(ink.last_row, f.memLog->ClientHeight() - row);
    f.memLog->SetTopLine(f.memLog->TopLine() + 1);
    ink = log_ink(f);
    EXPECT_LT(ink.last_row, f.memLog->ClientHeight() - row) << "the log's end was below its bottom";
}

// PATH set to a folder of stand-ins for one test, put back afterwards.
class PathOverride {
public:
    explicit PathOverride(const std::string& path) {
        const char* old = std::getenv("PATH");
        saved_ = old ? old : "";
        ::setenv("PATH", path.c_str(), 1);
    }
    ~PathOverride() { ::setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

std::vector<std::string> split_nul(const std::string& s) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < s.size()) {
        const auto end = s.find('\0', at);
        out.push_back(s.substr(at, end - at));
        at = end == std::string::npos ? s.size() : end + 1;
    }
    return out;
}

TEST_F(ProgressRun, MailGoesToTheComposerAndAFailureIsToldAsItIs) {
    TProgressForm f(nullptr);
    ASSERT_TRUE(run(f));
    const std::string bin = folder / "mailbin";
    const std::string record = folder / "mail.args";
    struct Case {
        int status;        // the stand-in's exit status; -1: no xdg-email at all
        std::string text;  // the message box shown, empty for none
    };
    for (const Case& c : {Case{0, ""}, Case{3, kNoMailClient}, Case{4, kMailFailed}, Case{-1, kNoMailClient}}) {
        std::filesystem::remove_all(bin);
        std::filesystem::create_directories(bin);
        std::filesystem::remove(record);
        if (c.status >= 0) {
            write_script(bin + "/xdg-email", "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" + record +
                                                 "'\nexit " + std::to_string(c.status) + "\n");
        }
        boxes.clear();
        {
            PathOverride path(bin);
            f.btnSendDataClick(nullptr);
        }
        if (c.text.empty()) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u) << c.status;
            EXPECT_EQ(boxes[0].text, c.text);
            EXPECT_EQ(boxes[0].caption, " Внимание");
            EXPECT_EQ(boxes[0].icon, ui::MessageIcon::Error);
        }
        if (c.status >= 0) {
            EXPECT_EQ(split_nul(read_text(record)),
                      (std::vector<std::string>{"--utf8", "--subject", "Скв. 5 - Южная (технологические данные)",
                                                "--body", "Строка 1\r\nСтрока 2", "--attach", state.package_path}));
        }
        // The user may try again.
        EXPECT_TRUE(f.btnSendData->Enabled());
        EXPECT_TRUE(f.Visible());
    }
}

TEST(MailSubject, EmptyNamesOfACommandLineRunStayEmpty) {
    EXPECT_EQ(mail_subject(RunState{}), "Скв.  -  (технологические данные)");
}

}  // namespace
}  // namespace vargel2
