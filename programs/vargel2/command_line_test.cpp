// The program itself in command-line mode, without a desktop: a trip's files
// named by a mask are packed beside them, listed with 7za, extracted and
// read back; a failing archiver ends the program with status 1 and no
// package; the options file is written after the run; a trip the station
// host recorded without drilling is packed whole; an ending signal at any
// moment of the run leaves neither the temporary folder nor a package.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

#include "platform/os/process.h"
#include "programs/vargel2/testdata/trip_testing.h"

namespace vargel2 {
namespace {

using namespace testing;

class CommandLineRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(STATION_BINARY_DIR "/bin/Vargel2", program.path() + "/Vargel2");
        ::chmod((program.path() + "/Vargel2").c_str(), 0755);
        write_trip(work / "w5/0003.realtim", 100000, 3600);
        write_trip(work / "w5/0003.realdep", 100000, 500, 7);
        write_trip(work / "w5/0003.reallag", 100000, 400, 9);
        write_trip(work / "w5/0002.realtim", 50000, 10);
        write_text(work / "w5/sys.bin", "state");
        std::filesystem::create_directories(work / "tmp");
    }

    // The shell's command that runs the program in the work folder.
    std::string command(const std::string& arguments) {
        return "cd " + shell_quoted(work.path()) + " && exec env -u DISPLAY -u WAYLAND_DISPLAY " +
               // Under the sanitizer build the program measures text too:
               // fontconfig's process-lifetime caches are no leaks of ours.
               "LSAN_OPTIONS=suppressions=" +
               STATION_SOURCE_DIR "/platform/ui/testdata/lsan.supp:print_suppressions=0" +
               " TMPDIR=" + shell_quoted(work / "tmp") + " " + shell_quoted(program.path() + "/Vargel2") + " " +
               arguments + " >" + shell_quoted(work / "out.txt") + " 2>" + shell_quoted(work / "err.txt");
    }

    // Runs the program; its exit status.
    int vargel2(const std::string& arguments) { return run(command(arguments)); }

    // Records a trip of the simulated console from the scenario into the
    // folder with the station host; false (the cause in the test's output)
    // when it could not.
    bool record(const std::string& scenario, const std::string& well, int trip, int seconds) {
        const std::string bin = STATION_BINARY_DIR "/bin/";
        const std::string log = work / "sim.log";
        const std::string pid_file = work / "sim.pid";
        if (run(shell_quoted(bin + "device_simulator") + " --device console --pty --seconds 60 --scenario " +
                shell_quoted(scenario) + " >" + shell_quoted(log) + " 2>&1 & echo $! >" + shell_quoted(pid_file)) != 0)
            return false;
        // The simulator names its line once it is up (a loaded machine may
        // take many seconds to start it).
        std::string line;
        os::testing::wait_until([&] {
            const std::string text = read_text(log);
            const auto at = text.find("line: ");
            if (at == std::string::npos || text.find('\n', at) == std::string::npos) return false;
            line = text.substr(at + 6, text.find('\n', at) - at - 6);
            return true;
        });
        const int host =
            line.empty() ? -1
                         : run(shell_quoted(bin + "station_host") + " --port " + shell_quoted(line) + " --well " +
                               shell_quoted(well) + " --trip " + std::to_string(trip) + " --seconds " +
                               std::to_string(seconds) + " --depth 1500 >" + shell_quoted(work / "host.txt") + " 2>&1");
        const pid_t sim = static_cast<pid_t>(std::atoi(read_text(pid_file).c_str()));
        if (sim > 0) ::kill(sim, SIGTERM);
        EXPECT_FALSE(line.empty()) << read_text(log);
        EXPECT_EQ(host, 0) << read_text(work / "host.txt");
        return !line.empty() && host == 0;
    }

    bool recorders_built() {
        const std::string bin = STATION_BINARY_DIR "/bin/";
        return std::filesystem::exists(bin + "station_host") && std::filesystem::exists(bin + "device_simulator");
    }

    os::testing::TempDir program;
    os::testing::TempDir work;
};

TEST_F(CommandLineRun, PacksTheFilesOfAMaskBesideThem) {
    ASSERT_EQ(vargel2("'w5/0003.*real*'"), 0) << read_text(work / "err.txt");
    EXPECT_NE(read_text(work / "out.txt").find("Готово!"), std::string::npos);
    const std::string package = work / "w5/w5.7z_reg";
    ASSERT_TRUE(std::filesystem::exists(package));
    EXPECT_EQ(run("7za l " + shell_quoted(package) + " | grep -q 0003.reallag.values"), 0);
    ASSERT_TRUE(extract(package, work / "x"));
    expect_trip_read_back(work / "x/0003.realtim", 100000, 3600);
    expect_trip_read_back(work / "x/0003.realdep", 100000, 500, 7);
    expect_trip_read_back(work / "x/0003.reallag", 100000, 400, 9);
    const auto names = file_names(work / "x");
    EXPECT_EQ(names.size(), 24u);  // three files of eight parts, nothing else
    EXPECT_TRUE(file_names(work / "tmp").empty());
    // The options are written at the end of a command-line run too.
    EXPECT_TRUE(std::filesystem::exists(program.path() + "/vargel2.ini"));

    // One file: the package is named after it.
    ASSERT_EQ(vargel2("w5/0002.realtim"), 0) << read_text(work / "err.txt");
    EXPECT_TRUE(std::filesystem::exists(work / "w5/0002.realtim.7z_reg"));
}

// The trip a station host records from the simulated unit, packed as the
// station's main job packs it.
TEST_F(CommandLineRun, PacksATripTheStationHostRecorded) {
    if (!recorders_built()) STATION_SKIP_UNLESS_CI("station_host and device_simulator are not built");
    ASSERT_TRUE(record(STATION_SOURCE_DIR "/tools/station_host/session.scenario", work / "well", 3, 4));

    ASSERT_EQ(vargel2("'well/0003.*real*'"), 0) << read_text(work / "err.txt");
    ASSERT_TRUE(extract(work / "well/well.7z_reg", work / "x"));
    int files = 0;
    for (const char* f : {"0003.realtim", "0003.realdep", "0003.reallag", "0003.fast.realtim"}) {
        if (!std::filesystem::exists(work / ("x/" + std::string(f) + ".values"))) continue;
        ++files;
        expect_same_as_original(work / ("x/" + std::string(f)), work / ("well/" + std::string(f)));
    }
    EXPECT_GE(files, 2);
}

// A trip in which the bit went no deeper (here: circulating off bottom) has
// depth and lag files of nothing but their header; they are packed as they
// stand, with the time file.
TEST_F(CommandLineRun, PacksATripThatNeverDrilledWhole) {
    if (!recorders_built()) STATION_SKIP_UNLESS_CI("station_host and device_simulator are not built");
    ASSERT_TRUE(record(STATION_SOURCE_DIR "/programs/vargel2/testdata/circulating.scenario", work / "well", 4, 4));
    FileStorage depth;
    ASSERT_TRUE(depth.add_file(work / "well/0004.realdep", false));
    ASSERT_EQ(depth.get_data_size(), 0) << "the scenario drilled";

    ASSERT_EQ(vargel2("'well/0004.*real*'"), 0) << read_text(work / "err.txt") << read_text(work / "out.txt");
    EXPECT_EQ(read_text(work / "out.txt").find("Ошибка"), std::string::npos) << read_text(work / "out.txt");
    ASSERT_TRUE(extract(work / "well/well.7z_reg", work / "x"));
    for (const char* f : {"0004.realtim", "0004.realdep", "0004.reallag"}) {
        expect_same_as_original(work / ("x/" + std::string(f)), work / ("well/" + std::string(f)));
        // The trip's text (its files, its start and end) comes along.
        FileStorage original, packed;
        original.add_file(work / ("well/" + std::string(f)), false);
        packed.load_compr_rt(work / ("x/" + std::string(f)));
        ASSERT_GT(original.text_values().count(), 0) << f;
        ASSERT_EQ(packed.text_values().count(), original.text_values().count()) << f;
        for (int i = 0; i < original.text_values().count(); ++i) {
            AnsiString name, value, packed_name, packed_value;
            original.text_values().get_text_by_index(i, name, value);
            packed.text_values().get_text_by_index(i, packed_name, packed_value);
            EXPECT_EQ(packed_name + "=" + packed_value, name + "=" + value) << f;
        }
    }
}

// Told to end while it rewrites the trip's files or while the archiver runs,
// the program stops the run and ends with 128 + the signal: no package, an
// empty temporary folder, the archiver ended with it.
TEST_F(CommandLineRun, AnEndingSignalStopsTheRunAndLeavesNothingBehind) {
    // An archiver that begins the package, says who it is, and hangs.
    const std::string archiver_pid = work / "7za.pid";
    write_script(program.path() + "/7za",
                 "echo $$ >" + shell_quoted(archiver_pid) + "\nprintf partial >\"$4\"\nexec sleep 600\n");
    // Enough files that the run is still rewriting them when told to end.
    for (int i = 10; i < 50; ++i) write_trip(work / ("w5/00" + std::to_string(i) + ".realtim"), 100000, 20000);
    struct Moment {
        bool archiving;
        int signal;
        const char* name;
    };
    for (const Moment m :
         {Moment{false, SIGTERM, "SIGTERM"}, Moment{false, SIGHUP, "SIGHUP"}, Moment{true, SIGTERM, "SIGTERM"},
          Moment{true, SIGINT, "SIGINT"}, Moment{true, SIGHUP, "SIGHUP"}}) {
        const std::string at = std::string(m.archiving ? "archiving, " : "rewriting, ") + m.name;
        std::filesystem::remove(archiver_pid);
        os::Process p;
        ASSERT_TRUE(p.start({"/bin/sh", {"-c", command("'w5/*.realtim'")}, "", true, false, false}));
        if (m.archiving) {
            ASSERT_TRUE(os::testing::wait_until([&] { return !read_text(archiver_pid).empty(); })) << at;
        } else {
            // The first rewritten file stands in the run's temporary folder.
            ASSERT_TRUE(os::testing::wait_until([&] {
                for (const auto& d : file_names(work / "tmp"))
                    if (!file_names(work / ("tmp/" + d)).empty()) return true;
                return false;
            })) << at;
        }
        ASSERT_EQ(::kill(p.pid(), m.signal), 0);
        const auto code = p.read_lines({}, 120000);
        EXPECT_EQ(code, 128 + m.signal) << at << ": " << read_text(work / "err.txt");
        EXPECT_EQ(file_names(work / "tmp"), std::vector<std::string>{}) << at;
        EXPECT_FALSE(std::filesystem::exists(work / "w5/w5.7z_reg")) << at;
        EXPECT_NE(read_text(work / "err.txt").find(std::string("прервано сигналом ") + m.name), std::string::npos)
            << at << ": " << read_text(work / "err.txt");
        const pid_t archiver = static_cast<pid_t>(std::atoi(read_text(archiver_pid).c_str()));
        EXPECT_EQ(archiver > 0, m.archiving) << at << ": the archiver was started or not, as meant";
        if (archiver > 0) {
            EXPECT_NE(::kill(archiver, 0), 0) << at << ": the archiver still runs";
        }
    }
}

TEST_F(CommandLineRun, AFailingArchiverEndsWithStatusOneAndNoPackage) {
    write_script(program.path() + "/7za", "echo 'ERROR: broken' >&2\nexit 2\n");
    EXPECT_EQ(vargel2("w5/0003.realtim w5/0003.realdep"), 1);
    EXPECT_NE(read_text(work / "err.txt").find("ERROR: broken"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(work / "w5/w5.7z_reg"));
    EXPECT_TRUE(file_names(work / "tmp").empty());
}

// A whole folder named by its mask meets the folder's other files and one
// the reader cannot take: the run packs the rest and says what it lacks.
TEST_F(CommandLineRun, FilesThatCannotBePackedAreNamedAndTheRestIsPackedWithStatusThree) {
    write_text(work / "w5/0009.realtim", "bytes that are no recorded data");
    write_trip(work / "elsewhere/0001.realtim", 100000, 10);
    ASSERT_EQ(::symlink((work / "elsewhere/0001.realtim").c_str(), (work / "w5/0001.realtim").c_str()), 0);
    ASSERT_EQ(vargel2("'w5/*'"), 3) << read_text(work / "err.txt");
    const std::string out = read_text(work / "out.txt"), err = read_text(work / "err.txt");
    for (const char* name : {"sys.bin", "0009.realtim", "0001.realtim"}) {
        EXPECT_NE(err.find(name), std::string::npos) << err;
    }
    EXPECT_NE(out.find("Ошибка во время обработки файла sys.bin: "), std::string::npos) << out;
    EXPECT_NE(out.find("Ошибка во время обработки файла 0009.realtim: "), std::string::npos) << out;
    EXPECT_NE(out.find("Файл 0001.realtim пропущен: это символическая ссылка"), std::string::npos) << out;
    EXPECT_NE(out.find("Не попали в архив файлов: 3"), std::string::npos) << out;
    // No button to send anyone to without a desktop, and what is said of the
    // log speaks its language.
    EXPECT_EQ(out.find("Нажмите кнопку"), std::string::npos) << out;
    EXPECT_NE(err.find("Vargel2: в архив " + work / "w5/w5.7z_reg" + " не попали файлы (3): "), std::string::npos)
        << err;
    ASSERT_TRUE(extract(work / "w5/w5.7z_reg", work / "x"));
    EXPECT_EQ(file_names(work / "x").size(), 32u);  // four data files of eight parts
    expect_trip_read_back(work / "x/0002.realtim", 50000, 10);
    expect_trip_read_back(work / "x/0003.realtim", 100000, 3600);
}

// A mistyped argument, a folder, a missing file: nothing is made.
TEST_F(CommandLineRun, AnArgumentThatNamesNoFileFailsWithoutAFolderOrAPackage) {
    struct Case {
        std::string argument, package;
    };
    for (const Case& c : {Case{"nonexist/deeper/x.realtim", "nonexist"}, Case{"w5", "w5.7z_reg"},
                          Case{"w5/0099.realtim", "w5/0099.realtim.7z_reg"}}) {
        EXPECT_EQ(vargel2(c.argument), 1) << c.argument;
        const std::string err = read_text(work / "err.txt");
        EXPECT_NE(err.find("не найдено ни одного файла по \"" + work / c.argument + "\""), std::string::npos)
            << c.argument << ": " << err;
        EXPECT_FALSE(std::filesystem::exists(work / c.package)) << c.argument;
    }
}

TEST_F(CommandLineRun, HelpAndBadOptions) {
    EXPECT_EQ(vargel2("--help"), 0);
    EXPECT_NE(read_text(work / "out.txt").find("Exit status"), std::string::npos);
    EXPECT_EQ(vargel2("--bogus"), 2);
    EXPECT_NE(read_text(work / "err.txt").find("--bogus"), std::string::npos);
    // The selection window needs a desktop.
    EXPECT_EQ(vargel2(""), 1);
}

}  // namespace
}  // namespace vargel2
