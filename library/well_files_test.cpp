#include "library/well_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "library/version_text.h"
#include "platform/os/file.h"
#include "platform/os/stand_in_testing.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/printers.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib {
namespace {

using os::testing::read_bytes;
using os::testing::write_bytes;

TEST(WellFiles, NamesFromPaths) {
    struct Case {
        const char* path;
        const char* race;
        const char* pore;
        const char* only;
        int num;
    };
    const Case cases[] = {
        {"/data/Скв 12/0012.realtim", "0012", "Скв 12", "0012", 12},
        {"C:\\data\\well7\\0007.fast.realtim", "0007.fast", "well7", "0007", 7},
        {"/data/well.old/0012", "", "well.old", "0012", -1},  // the last point is the folder's
        {"0012", "", "", "0012", -1},
        {"well/abc.realtim", "abc", "well", "abc", -1},
        {"C:0003.rac", "C:0003", "", "0003", 3},
        {"", "", "", "", -1},
        // Decimal only: no hexadecimal, sign or blank reads as a trip.
        {"well/x10.realtim", "x10", "well", "x10", -1},
        {"well/$1F.rac", "$1F", "well", "$1F", -1},
        {"well/0x10.realtim", "0x10", "well", "0x10", -1},
        {"well/+005.realtim", "+005", "well", "+005", -1},
        {"well/ 008.rac", " 008", "well", " 008", -1},
        {"well/-5.rac", "-5", "well", "-5", -1},
        {"well/2147483647.rac", "2147483647", "well", "2147483647", 2147483647},
        {"well/2147483648.rac", "2147483648", "well", "2147483648", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(race_from_filename(c.path), c.race);
        EXPECT_EQ(pore_from_filename(c.path), c.pore);
        EXPECT_EQ(only_name(c.path), c.only);
        EXPECT_EQ(extract_race_num(c.path), c.num);
    }
}

TEST(WellFiles, WellNamesForTheTransferServer) {
    EXPECT_EQ(correct_ftp_pore_name("Южно-Ягодная_12"), "YUJNOYAGODNAYA12");
    EXPECT_EQ(correct_ftp_pore_name("щучья йода ЪЬ"), "CSHUCHYAODA");
    EXPECT_EQ(correct_ftp_pore_name("Ёлка Цех Эхо Ы"), "YOLKATSEHYEHOYY");
    EXPECT_EQ(correct_ftp_pore_name("abc-9"), "ABC9");
    EXPECT_EQ(correct_ftp_pore_name(""), "");
}

class FolderTest : public ::testing::Test {
protected:
    os::testing::TempDir tmp;
    std::string dir = tmp.path() + "/";
};

TEST_F(FolderTest, ListsFoldersAndFilesWithLargeTotals) {
    std::filesystem::create_directories(dir + "1");
    std::filesystem::create_directories(dir + "2/deep");
    write_bytes(dir + "0001.realtim", "12345");
    write_bytes(dir + "0002.realtim", "");
    write_bytes(dir + "notes.txt", "x");
    // Larger than 4 GiB: the total must not wrap.
    write_bytes(dir + "0003.realtim", "");
    std::filesystem::resize_file(dir + "0003.realtim", 5LL << 30);

    rtl::StringList folders;
    get_dir_list(dir, &folders);
    get_dir_list(tmp.path(), &folders);  // without the separator too
    EXPECT_EQ(folders.Text(), "1\r\n2\r\n1\r\n2\r\n");

    rtl::StringList files;
    std::int64_t total = 10;
    get_file_list(dir + "*.REALTIM", &files, 0, &total);
    EXPECT_EQ(files.Text(), "0001.realtim\r\n0002.realtim\r\n0003.realtim\r\n");
    EXPECT_EQ(total, 10 + 5 + (5LL << 30));
    get_file_list(dir + "*.*", &files, 16, nullptr);
    EXPECT_EQ(files.Count(), 3 + 6);  // with the folder bit: the four files and two folders
}

TEST_F(FolderTest, CopyByMaskReportsEachFileThatFailed) {
    std::filesystem::create_directories(dir + "src/sub.realtim");
    std::filesystem::create_directories(dir + "dst");
    write_bytes(dir + "src/0001.realtim", "one");
    write_bytes(dir + "src/0002.realtim", "two");
    write_bytes(dir + "src/0003.realtim", "three");
    write_bytes(dir + "src/0001.rac", "trip");
    write_bytes(dir + "dst/0001.realtim", "stale");
    // A writer holds the second file: no reader may open it.
    os::ScopedRetryPolicy quick{os::RetryPolicy{2, std::chrono::milliseconds(1)}};
    os::File writer;
    ASSERT_EQ(writer.open(dir + "src/0002.realtim", os::File::Mode::read_write, false), os::File::Status::ok);

    rtl::StringList failed;
    EXPECT_EQ(copy_by_mask(dir + "src", dir + "dst/", "*.realtim", &failed), 1);
    EXPECT_EQ(failed.Text(), "0002.realtim\r\n");
    EXPECT_EQ(read_bytes(dir + "dst/0001.realtim"), "one");
    EXPECT_EQ(read_bytes(dir + "dst/0003.realtim"), "three");
    EXPECT_FALSE(std::filesystem::exists(dir + "dst/0002.realtim"));
    EXPECT_FALSE(std::filesystem::exists(dir + "dst/0001.rac"));
    EXPECT_FALSE(std::filesystem::exists(dir + "dst/sub.realtim"));  // folders are not copied

    writer.close();
    EXPECT_EQ(copy_by_mask(dir + "src/", dir + "dst", "*.realtim"), 0);
    EXPECT_EQ(read_bytes(dir + "dst/0002.realtim"), "two");
    // A target folder that does not exist: every file fails.
    EXPECT_EQ(copy_by_mask(dir + "src/", dir + "none/", "*.*"), 4);
}

TEST(WellFiles, ShellExecuteOpensDocumentsThroughTheDesktop) {
    os::testing::StandInPath path;
    path.add("xdg-open");
    os::ChildHandle h = my_shell_execute("/data/отчёт.xls", "", true);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->wait(5000), 0);
    EXPECT_EQ(path.args("xdg-open"), "/data/отчёт.xls\nEND\n");
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(my_shell_execute("a.txt", "", false), nullptr);
}

struct Printing {
    os::testing::StandInPath path;
    std::vector<ui::MessageBoxRequest> boxes;
    ui::MessageBoxHandler saved;
    Printing() {
        saved = ui::set_message_box_handler([this](const ui::MessageBoxRequest& r) {
            boxes.push_back(r);
            return r.buttons.front();
        });
    }
    ~Printing() { ui::set_message_box_handler(saved); }
    static int pages(const std::string& pdf) {
        int n = 0;
        for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
            if (pdf.compare(at, 12, "/Type /Pages") != 0) ++n;
        return n;
    }
};

TEST(WellFiles, PrintMemoPagesThroughThePrintCommand) {
    Printing p;
    p.path.add("lp", 0, "/bin/cat \"$3\" > \"${0%/*}/printed.pdf\"");
    ui::TMemo memo(nullptr);
    memo.Font().SetName("Courier New");
    memo.Font().SetSize(10);
    ui::TBitmap m(1, 1);
    m.Canvas().Font().Assign(memo.Font());
    const int per_page = ui::Printer().PageHeight() / m.Canvas().TextHeight("#");
    ASSERT_GT(per_page, 10);
    for (int i = 0; i < per_page; ++i) memo.Lines().Add("Строка " + std::to_string(i + 1));

    print_memo("Журнал событий", &memo);
    EXPECT_TRUE(p.boxes.empty());
    const std::string args = p.path.args("lp");
    EXPECT_EQ(args.substr(0, args.find('\n', 3) + 1), "-t\nЖурнал событий\n");
    std::string pdf = read_bytes(p.path / "printed.pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_EQ(Printing::pages(pdf), 1);  // exactly a page of lines: one page
    EXPECT_FALSE(ui::Printer().Printing());

    memo.Lines().Add("ещё одна");
    print_memo("Журнал событий", &memo);
    pdf = read_bytes(p.path / "printed.pdf");
    EXPECT_EQ(Printing::pages(pdf), 2);
    // The spooled file is gone once printed.
    const std::string spooled = args.substr(args.find('\n', 3) + 1);
    EXPECT_FALSE(std::filesystem::exists(spooled.substr(0, spooled.find('\n'))));
}

TEST(WellFiles, PrintMemoWithoutAPrinterTellsTheUser) {
    Printing p;
    ui::TMemo memo(nullptr);
    memo.Lines().Add("x");
    p.path.add("lp", 1, "printf 'lp: Error - no default destination available.\\n'");
    print_memo("Отчёт", &memo);
    ::setenv("PATH", "/nonexistent", 1);  // no print command at all
    print_memo("Отчёт", &memo);
    ASSERT_EQ(p.boxes.size(), 2u);
    for (const auto& b : p.boxes) {
        EXPECT_EQ(b.caption, "Ошибка печати");
        EXPECT_EQ(b.text,
                  "Невозможно распечатать 'Отчёт' !\nВозможно нет ни одного установленного в системе принтера!");
        EXPECT_EQ(b.icon, ui::MessageIcon::Error);
    }
    EXPECT_FALSE(ui::Printer().Printing());
}

TEST(WellFiles, VersionIntoLines) {
    os::testing::TempDir tmp;
    write_bytes(tmp / "Vargel2", "");
    ui::TStrings lines;
    lines.Assign(std::vector<std::string>{"Программа", "#", " # ", "#"});
    add_vesion_info(tmp / "Vargel2", &lines);
    const BuildVersion v = build_version();
    const std::string text = "Версия " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                             std::to_string(v.release) + ", build " + std::to_string(v.build);
    EXPECT_EQ(lines.ToVector(), (std::vector<std::string>{"Программа", text, " # ", text}));
    ui::TStrings untouched;
    untouched.Add("#");
    add_vesion_info(tmp / "missing", &untouched);
    EXPECT_EQ(untouched[0], "#");
}

}  // namespace
}  // namespace lib
