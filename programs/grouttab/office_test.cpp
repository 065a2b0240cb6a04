// The spreadsheet client and the report build against a real headless
// LibreOffice. One office serves the whole test process (started by the first
// connection, on a pipe and a private profile of its own); it is killed and
// its profile removed when the process ends. Without an office installed the
// tests are skipped, except under CI, where they fail.
//
// Stored files are checked twice: through a second connection to the office,
// and through an independent reader (Python's xlrd).

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <mutex>
#include <unistd.h>

#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/ui/dialogs.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report.h"
#include "programs/grouttab/report_form.h"
#include "programs/grouttab/report_template.h"
#include "programs/grouttab/testdata/stage_files.h"
#include "programs/grouttab/testdata/xls_reader.h"
#include "programs/grouttab/uno_server.h"

namespace grouttab {
namespace {

namespace fs = std::filesystem;

#define REQUIRE_OFFICE()                                                                          \
    do {                                                                                          \
        if (!office_installed()) {                                                                \
            if (os::testing::under_ci()) FAIL() << "LibreOffice is not installed (scripts/setup.sh installs it)"; \
            GTEST_SKIP() << "LibreOffice is not installed: the office tests are skipped";         \
        }                                                                                         \
    } while (0)

class OfficeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        profile_ = std::make_unique<os::testing::TempDir>();
        OfficeSettings& s = office_settings();
        s.pipe_name = "station_grouttab_test_" + std::to_string(::getpid());
        s.profile_dir = profile_->path() + "/profile";
        // The first start of a fresh profile is the slow one, and each test
        // starts its own; beside the whole suite under the sanitizer build it
        // takes a minute or more, so only a hung office runs out this bound.
        s.timeout_ms = 240000;
        s.start_office = true;
        // Should this process die before its tear-down, the office goes with it.
        if (os::file_exists("/usr/bin/setpriv")) s.launcher = {"/usr/bin/setpriv", "--pdeathsig", "KILL", "--"};
    }
    void TearDown() override {
        stop_started_office(true);
        profile_.reset();
    }

private:
    std::unique_ptr<os::testing::TempDir> profile_;
};

[[maybe_unused]] const auto* const kOffice = ::testing::AddGlobalTestEnvironment(new OfficeEnvironment);

bool is_excel97(const std::string& path) {
    return os::testing::read_bytes(path).rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0;
}

// A program folder with the shipped template and one well, stage 2.
struct Station {
    testing::ProgramFolder program;
    std::string well = "Скв 7";
    Station() {
        fs::create_directories(program.path() + "/params/cement");
        fs::copy_file(std::string(STATION_SOURCE_DIR) + "/programs/grouttab/params/cement/report_new.xls",
                      program.path() + "/params/cement/report_new.xls");
        testing::write_well(program.path(), well, "2");
    }
    ReportPaths paths() const { return report_paths(program.path(), well, "2"); }
};

// The build through the real office, with its message boxes collected.
struct Build {
    bool result = false;
    std::vector<std::string> messages;
};
Build build_report(const std::string& well) {
    Build b;
    auto saved = ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
        b.messages.push_back(r.text);
        return ui::IDOK;
    });
    TReportForm form(nullptr, {}, ReportSettings{office_server_factory(), false});
    b.result = make_report(form, well, "2");
    ui::set_message_box_handler(saved);
    return b;
}

const std::string kDamaged = "Ошибка при открытии шаблона отчета.\nФайл поврежден или не найден.";

std::size_t own_folders_left(const std::string& report_folder) {
    return os::find_entries(report_folder + "/.grouttab-*", os::fa_any).size();
}

TEST(Office, ClientReadsWritesAndStoresThroughARealOffice) {
    REQUIRE_OFFICE();
    os::testing::TempDir dir;
    // Blanks, '#' and Russian letters in the folder: the URLs must carry them.
    const std::string folder = dir.path() + "/Отчёты #1 скв 7";
    fs::create_directories(folder);
    const std::string source = folder + "/виды.fods";
    fs::copy_file(std::string(STATION_SOURCE_DIR) + "/programs/grouttab/testdata/kinds.fods", source);
    const std::string stored = folder + "/итог 1.xls";
    const std::string copy = folder + "/копия.xls";

    {
        OOCalcAuto oo(office_server_factory());
        ASSERT_TRUE(oo.connect()) << oo.connect_error();
        oo.open_document(true, source);
        oo.select_sheet_by_index(1);
        EXPECT_EQ(std::get<double>(oo.read_cell(1, 0, 0)), 2.5);
        EXPECT_EQ(std::get<double>(oo.read_cell(1, 1, 0)), 5.0);
        EXPECT_EQ(std::get<std::string>(oo.read_cell(3, 1, 0)), "=A1*2");
        EXPECT_EQ(std::get<std::string>(oo.read_cell(2, 2, 0)), "Текст");
        EXPECT_EQ(std::get<std::string>(oo.read_cell(4, 2, 0)), "");
        std::uint32_t column = 99, row = 99;
        oo.get_used_area_end(column, row);
        EXPECT_EQ(column, 2u);
        EXPECT_EQ(row, 0u);
        // A read on the active sheet, then a write at the same place.
        oo.read_cell(2, 3, 4);
        oo.set_cell_string(3, 4, "записано");
        oo.set_cell_string(2, 0, "");
        oo.get_used_area_end(column, row);
        EXPECT_EQ(column, 3u);
        EXPECT_EQ(row, 4u);
        oo.store_document(stored, 1);
        oo.store_document(copy, 2);
        oo.store_document(folder + "/ничего.xls", 0);
        oo.close_document();
        EXPECT_FALSE(oo.has_document());
    }
    EXPECT_TRUE(is_excel97(stored));
    EXPECT_TRUE(is_excel97(copy));
    EXPECT_FALSE(os::path_exists(folder + "/ничего.xls"));

    // A second connection finds what was stored.
    OOCalcAuto again(office_server_factory());
    ASSERT_TRUE(again.connect());
    again.open_document(true, stored);
    again.select_sheet_by_name("Второй");
    EXPECT_EQ(std::get<std::string>(again.read_cell(2, 3, 4)), "записано");
    EXPECT_EQ(std::get<std::string>(again.read_cell(2, 2, 0)), "");
    EXPECT_EQ(std::get<double>(again.read_cell(1, 0, 0)), 2.5);
    again.close_document();
    // A load of a file that is not there is the load's failure, not a crash later.
    EXPECT_THROW(again.open_document(true, folder + "/нет.xls"), ServerError);
}

TEST(Office, ReportBuildFillsTheShippedTemplate) {
    REQUIRE_OFFICE();
    testing::ProgramFolder program;
    fs::create_directories(program.path() + "/params/cement");
    fs::copy_file(std::string(STATION_SOURCE_DIR) + "/programs/grouttab/params/cement/report_new.xls",
                  program.path() + "/params/cement/report_new.xls");
    const std::string well = "Скв 7#";
    testing::write_well(program.path(), well, "2");
    const ReportPaths paths = report_paths(program.path(), well, "2");

    // The shipped template holds the tokens it was made with.
    {
        OOCalcAuto oo(office_server_factory());
        ASSERT_TRUE(oo.connect()) << oo.connect_error();
        oo.open_document(true, paths.template_file);
        oo.select_sheet_by_index(0);
        for (const auto& c : report_template_cells())
            EXPECT_EQ(std::get<std::string>(oo.read_cell(2, c.column, c.row)), c.text) << c.column << "," << c.row;
        oo.close_document();
    }

    std::vector<std::string> messages;
    auto saved = ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
        messages.push_back(r.text);
        return ui::IDOK;
    });
    TReportForm form(nullptr, {}, ReportSettings{office_server_factory(), false});
    ASSERT_TRUE(make_report(form, well, "2"));
    // Built twice: the second report replaces the first.
    testing::write_text(paths.report_file, {"[Report]", "name=второй раз", "партия_ГТИ=Партия 3"});
    ASSERT_TRUE(make_report(form, well, "2"));
    ui::set_message_box_handler(saved);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(is_excel97(paths.output_file));

    const int item = 19;  // the first row of the element table
    const std::map<std::pair<int, int>, std::string> want = {
        {{1, 2}, "второй раз"},        {{1, 4}, "Партия 3"}, {{1, 1}, "token_error"},  {{0, item}, "09:05"},
        {{1, item}, "Закачка буфера"}, {{3, item}, "5,10"},  {{0, item + 1}, "14:25"}, {{2, item + 1}, "Цемент"},
        {{8, item + 1}, "60,0"},       {{0, item + 2}, ""},  {{1, item + 2}, ""},      {{0, 18}, "Время"},
    };
    OOCalcAuto oo(office_server_factory());
    ASSERT_TRUE(oo.connect());
    oo.open_document(true, paths.output_file);
    oo.select_sheet_by_index(0);
    for (const auto& [pos, text] : want)
        EXPECT_EQ(std::get<std::string>(oo.read_cell(2, pos.first, pos.second)), text)
            << pos.first << "," << pos.second;
    oo.close_document();

    // A well whose report folder cannot be had (a file holds its name): the
    // user hears that the report is not stored, and why.
    testing::write_well(program.path(), "без папки", "2");
    fs::remove(program.path() + "/без папки/cement/report");
    os::testing::write_bytes(program.path() + "/без папки/cement/report", "not a folder");
    messages.clear();
    saved = ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
        messages.push_back(r.text);
        return ui::IDOK;
    });
    EXPECT_FALSE(make_report(form, "без папки", "2"));
    ui::set_message_box_handler(saved);
    EXPECT_EQ(messages, std::vector<std::string>{"Не удалось сохранить отчет " +
                                                 report_paths(program.path(), "без папки", "2").output_file +
                                                 ".\nПапка отчетов не найдена."});
    EXPECT_FALSE(form.calc_auto());

    std::string why;
    const auto cells = testing::read_xls(paths.output_file, &why);
    if (cells.empty()) {
        if (os::testing::under_ci()) FAIL() << "no independent reader: " << why;
        GTEST_SKIP() << "no independent reader: " << why;
    }
    for (const auto& [pos, text] : want) {
        auto it = cells.find(pos);
        EXPECT_EQ(it == cells.end() ? std::string() : it->second, text) << pos.first << "," << pos.second;
    }
}

// What a program prints on its standard output, or none when it could not
// run or ended otherwise than with status 0.
std::optional<std::string> output_of(const std::string& program, const std::vector<std::string>& args) {
    if (!os::file_exists(program)) return std::nullopt;
    os::Process p;
    os::SpawnOptions o;
    o.program = program;
    o.args = args;
    o.capture_output = true;
    if (!p.start(o, nullptr)) return std::nullopt;
    std::string out;
    const auto code = p.read_lines([&](const std::string& l) { out += l + "\n"; }, 240000);
    if (!code || *code != 0) return std::nullopt;
    return out;
}

// The shipped template as a crew prints it: converted to PDF by a headless
// office of its own, every label stands whole on one A4 page, the footer
// and the sheet say their names in Russian.
TEST(Office, TheReportPrintsEveryLabelWholeOnOneRussianPage) {
    REQUIRE_OFFICE();
    Station st;
    Build b = build_report(st.well);
    ASSERT_TRUE(b.result) << ::testing::PrintToString(b.messages);
    const std::string report = st.paths().output_file;

    const auto sheets = output_of("/usr/bin/python3",
                                  {"-c", "import sys, xlrd\nprint(xlrd.open_workbook(sys.argv[1]).sheet_names()[0])", report});
    const auto soffice = std::string(STATION_OFFICE_PROGRAM_DIR) + "/soffice";
    os::testing::TempDir pdf;
    const auto converted = output_of(soffice, {"-env:UserInstallation=" + make_file_url(pdf.path() + "/profile"),
                                               "--headless", "--convert-to", "pdf", "--outdir", pdf.path(), report});
    const std::string pdf_file = pdf.path() + "/" + fs::path(report).stem().string() + ".pdf";
    const auto text = output_of("/usr/bin/pdftotext", {"-layout", pdf_file, "-"});
    const auto info = output_of("/usr/bin/pdfinfo", {pdf_file});
    if (!sheets || !converted || !text || !info) {
        const std::string why = "no xlrd, no office conversion or no pdftotext/pdfinfo (poppler-utils)";
        if (os::testing::under_ci()) FAIL() << why;
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(*sheets, std::string(kTemplateSheetName) + "\n");
    // One page, A4 lying (in points).
    EXPECT_NE(info->find("Pages:           1\n"), std::string::npos) << *info;
    EXPECT_NE(info->find("841.89 x 595.3"), std::string::npos) << *info;
    for (const auto& c : report_template_cells()) {
        if (c.text.rfind("%", 0) == 0) continue;
        EXPECT_NE(text->find(c.text), std::string::npos) << c.text << "\n" << *text;
    }
    EXPECT_NE(text->find("Страница 1"), std::string::npos) << *text;
    EXPECT_EQ(text->find("Page 1"), std::string::npos) << *text;
}

TEST(Office, TheReportReplacesALinkUnderItsNameAndRefusesFoldersLeadingOut) {
    REQUIRE_OFFICE();
    Station st;
    os::testing::TempDir outside;
    const std::string victim = outside.path() + "/victim.xls";
    os::testing::write_bytes(victim, "not the station's");
    const std::string output = st.paths().output_file;
    fs::create_symlink(victim, output);

    Build b = build_report(st.well);
    EXPECT_TRUE(b.result);
    EXPECT_TRUE(b.messages.empty()) << b.messages.front();
    EXPECT_EQ(os::testing::read_bytes(victim), "not the station's");
    EXPECT_FALSE(fs::is_symlink(output));
    EXPECT_TRUE(is_excel97(output));
    EXPECT_EQ(own_folders_left(os::folder_of(output)), 0u);

    // The report folder, or the cementing folder above it, a link out of
    // the station folder: nothing is stored there.
    const std::string well_folder = st.program.path() + "/" + st.well;
    struct Case {
        const char* what;
        std::string link;
    };
    for (const Case& c : {Case{"report folder", well_folder + "/cement/report"},
                          Case{"cementing folder", well_folder + "/cement"}}) {
        SCOPED_TRACE(c.what);
        const std::string away = outside.path() + "/" + c.what;
        fs::rename(c.link, away);
        fs::create_symlink(away, c.link);
        b = build_report(st.well);
        EXPECT_FALSE(b.result);
        ASSERT_EQ(b.messages.size(), 1u);
        EXPECT_EQ(b.messages[0], "Папка отчетов " + os::folder_of(output) +
                                     " ведет за пределы папки станции.\nОтчет не сохранен.");
        fs::remove(c.link);
        fs::rename(away, c.link);
    }
    const auto left = os::find_entries(outside.path() + "/*", os::fa_any);
    std::vector<std::string> names;
    for (const auto& e : left) names.push_back(e.name);
    EXPECT_EQ(names, std::vector<std::string>{"victim.xls"});
    // A link that stays inside the station folder is a folder like any other.
    fs::rename(well_folder + "/cement/report", st.program.path() + "/reports");
    fs::create_symlink(st.program.path() + "/reports", well_folder + "/cement/report");
    b = build_report(st.well);
    EXPECT_TRUE(b.result);
    EXPECT_TRUE(is_excel97(st.program.path() + "/reports/" + st.well + "_2.xls"));
}

TEST(Office, ADamagedTemplateIsRefusedAndNothingIsStored) {
    REQUIRE_OFFICE();
    Station st;
    std::string noise;
    std::uint32_t x = 2463534242u;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // No '%': noise that happened to spell a token would be a template.
        if ((x & 0xFF) != '%') noise += static_cast<char>(x & 0xFF);
    }
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"random bytes", noise},
        {"no bytes", ""},
        {"a web page", "<html><head><title>Отчет</title></head><body><p>Не таблица</p></body></html>\n"},
    };
    const std::string output = st.paths().output_file;
    os::testing::write_bytes(output, "earlier report");
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        os::testing::write_bytes(st.paths().template_file, bytes);
        const Build b = build_report(st.well);
        EXPECT_FALSE(b.result);
        EXPECT_EQ(b.messages, std::vector<std::string>{kDamaged});
        EXPECT_EQ(os::testing::read_bytes(output), "earlier report");
        EXPECT_EQ(own_folders_left(os::folder_of(output)), 0u);
    }
}

TEST(Office, AFullDiskIsSaidToBeAFullDisk) {
    REQUIRE_OFFICE();
    // A small file system of its own under the report folder, filled up.
    if (::geteuid() != 0) {
        if (os::testing::under_ci()) FAIL() << "mounting a small file system for the full disk needs root";
        GTEST_SKIP() << "mounting a small file system for the full disk needs root";
    }
    Station st;
    const std::string folder = os::folder_of(st.paths().output_file);
    auto run = [](std::vector<std::string> argv) {
        os::Process p;
        os::SpawnOptions o;
        o.program = argv[0];
        o.args.assign(argv.begin() + 1, argv.end());
        o.search_path = true;
        o.null_stdio = true;
        if (!p.start(o)) return -1;
        const auto code = p.wait(30000);
        if (!code) p.kill();
        return code ? *code : -1;
    };
    ASSERT_EQ(run({"mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", folder}), 0) << "mount failed";
    struct Unmount {
        std::function<void()> f;
        ~Unmount() { f(); }
    } unmount{[&] { run({"umount", folder}); }};
    {
        std::ofstream fill(folder + "/fill", std::ios::binary);
        const std::string block(4096, 'x');
        for (int i = 0; i < 1024 && fill.write(block.data(), block.size()); ++i) fill.flush();
    }
    const Build b = build_report(st.well);
    EXPECT_FALSE(b.result);
    EXPECT_EQ(b.messages, std::vector<std::string>{"Не удалось сохранить отчет " + st.paths().output_file +
                                                   ".\nНа диске нет свободного места."});
    EXPECT_FALSE(os::path_exists(st.paths().output_file));
    EXPECT_EQ(own_folders_left(folder), 0u);
}

// Waits, within a bound that only ends a hung test, for the condition.
bool eventually(const std::function<bool()>& condition, int bound_ms = 30000) {
    const std::int64_t end = os::system_clock().now_ms() + bound_ms;
    while (!condition()) {
        if (os::system_clock().now_ms() >= end) return false;
        os::system_clock().sleep_ms(20);
    }
    return true;
}

// The failures the program logs while one lives.
struct LoggedErrors {
    std::mutex mutex;
    std::vector<std::string> lines;
    LoggedErrors() {
        os::set_error_sink([this](std::string_view line) {
            std::lock_guard<std::mutex> l(mutex);
            lines.emplace_back(line);
        });
    }
    ~LoggedErrors() { os::set_error_sink({}); }
    bool any(const std::string& part) {
        std::lock_guard<std::mutex> l(mutex);
        for (const auto& line : lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }
    std::string all() {
        std::lock_guard<std::mutex> l(mutex);
        return ::testing::PrintToString(lines);
    }
};

TEST(Office, ADeadOfficeIsReapedAtOnceAndLeavesNoLockFile) {
    REQUIRE_OFFICE();
    LoggedErrors errors;
    Station st;
    const std::string document = os::folder_of(st.paths().output_file) + "/открыт.xls";
    const std::string lock = os::folder_of(document) + "/.~lock.открыт.xls#";
    OOCalcAuto oo(office_server_factory());
    ASSERT_TRUE(oo.connect()) << oo.connect_error();
    oo.open_document(true, st.paths().template_file);
    oo.store_document(document, 1);
    // The office's own lock beside the document it has open.
    ASSERT_TRUE(os::path_exists(lock)) << "the office made no lock file; nothing to try";
    const int pid = started_office_pid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    // Reaped without anyone asking the office for anything.
    EXPECT_TRUE(eventually([&] { return !os::path_exists("/proc/" + std::to_string(pid)); }))
        << "the office " << pid << " stays unreaped";
    EXPECT_TRUE(eventually([&] { return !os::path_exists(lock); })) << "the dead office's lock file stays";
    EXPECT_EQ(started_office_pid(), -1);
    // An office that died on its own is a fault, said once.
    EXPECT_TRUE(eventually([&] { return errors.any(") ended with status 137"); })) << errors.all();
    oo.release_handles();
    // The next connection starts another office.
    OOCalcAuto again(office_server_factory());
    ASSERT_TRUE(again.connect()) << again.connect_error();
    EXPECT_GT(started_office_pid(), 0);
}

// The program ending the office it started (at the end of every report)
// is no fault: nothing is said, and the office's lock beside the document
// it had open goes all the same.
TEST(Office, ItsOwnStopOfTheOfficeIsNoError) {
    REQUIRE_OFFICE();
    Station st;
    const std::string document = os::folder_of(st.paths().output_file) + "/открыт.xls";
    const std::string lock = os::folder_of(document) + "/.~lock.открыт.xls#";
    OOCalcAuto oo(office_server_factory());
    ASSERT_TRUE(oo.connect()) << oo.connect_error();
    oo.open_document(true, st.paths().template_file);
    oo.store_document(document, 1);
    ASSERT_TRUE(os::path_exists(lock)) << "the office made no lock file; nothing to try";
    const int pid = started_office_pid();
    ASSERT_GT(pid, 0);
    oo.release_handles();
    LoggedErrors errors;
    stop_started_office(false);
    EXPECT_EQ(started_office_pid(), -1);
    EXPECT_FALSE(os::path_exists("/proc/" + std::to_string(pid)));
    EXPECT_FALSE(os::path_exists(lock));
    EXPECT_EQ(errors.all(), "{}");
}

TEST(Office, NoOfficeToBeHadIsTheBuildsFirstFailure) {
    testing::ProgramFolder program;
    const OfficeSettings saved = office_settings();
    struct Case {
        const char* what;
        bool start;
        std::string program;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {"nothing listens", false, saved.program, "no office answered within 1 s"},
        {"no office installed", true, "/nonexistent/soffice.bin", "LibreOffice is not installed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OfficeSettings& s = office_settings();
        s.pipe_name = "station_grouttab_nobody_" + std::to_string(::getpid());
        s.start_office = c.start;
        s.program = c.program;
        s.timeout_ms = 1000;
        // The wait for an office runs on the station's clock.
        os::ManualClock clock;
        os::ScopedClock scoped(clock);
        OOCalcAuto oo(office_server_factory());
        EXPECT_FALSE(oo.connect());
        if (!c.start) {
            EXPECT_GE(clock.slept_ms(), 1000);
        }
        EXPECT_NE(oo.connect_error().find(c.cause), std::string::npos) << oo.connect_error();

        std::vector<std::string> messages;
        auto handler = ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
            messages.push_back(r.text);
            return ui::IDOK;
        });
        TReportForm form(nullptr, {}, ReportSettings{office_server_factory(), false});
        EXPECT_FALSE(make_report(form, "1", "1"));
        ui::set_message_box_handler(handler);
        EXPECT_EQ(messages, std::vector<std::string>{"Ошибка при создании OpenOffice"});
        office_settings() = saved;
    }
}

}  // namespace
}  // namespace grouttab
