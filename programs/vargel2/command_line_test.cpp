// The program itself in command-line mode, without a desktop: a trip's files
// named by a mask are packed beside them, listed with 7za, extracted and
// read back; a failing archiver ends the program with status 1 and no
// package; the options file is written after the run.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

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

    // Runs the program in the work folder; its exit status.
    int vargel2(const std::string& arguments) {
        return run(
            "cd " + shell_quoted(work.path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY " +
            // Under the sanitizer build the program measures text too:
            // fontconfig's process-lifetime caches are no leaks of ours.
            "LSAN_OPTIONS=suppressions=" + STATION_SOURCE_DIR "/platform/ui/testdata/lsan.supp:print_suppressions=0" +
            " TMPDIR=" + shell_quoted(work / "tmp") + " " + shell_quoted(program.path() + "/Vargel2") + " " +
            arguments + " >" + shell_quoted(work / "out.txt") + " 2>" + shell_quoted(work / "err.txt"));
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
    const std::string bin = STATION_BINARY_DIR "/bin/";
    if (!std::filesystem::exists(bin + "station_host") || !std::filesystem::exists(bin + "device_simulator")) {
        STATION_SKIP_UNLESS_CI("station_host and device_simulator are not built");
    }
    const std::string log = work / "sim.log";
    const std::string pid_file = work / "sim.pid";
    ASSERT_EQ(run(shell_quoted(bin + "device_simulator") + " --device console --pty --seconds 60 --scenario " +
                  shell_quoted(STATION_SOURCE_DIR "/tools/station_host/session.scenario") + " >" + shell_quoted(log) +
                  " 2>&1 & echo $! >" + shell_quoted(pid_file)),
              0);
    // The simulator names its line once it is up (a loaded machine may take
    // many seconds to start it).
    std::string line;
    os::testing::wait_until([&] {
        const std::string text = read_text(log);
        const auto at = text.find("line: ");
        if (at == std::string::npos || text.find('\n', at) == std::string::npos) return false;
        line = text.substr(at + 6, text.find('\n', at) - at - 6);
        return true;
    });
    const int host = line.empty()
                         ? -1
                         : run(shell_quoted(bin + "station_host") + " --port " + shell_quoted(line) + " --well " +
                               shell_quoted(work / "well") + " --trip 3 --seconds 4 --depth 1500 >" + shell_quoted(work / "host.txt") + " 2>&1");
    const pid_t sim = static_cast<pid_t>(std::atoi(read_text(pid_file).c_str()));
    if (sim > 0) ::kill(sim, SIGTERM);
    ASSERT_FALSE(line.empty()) << read_text(log);
    ASSERT_EQ(host, 0) << read_text(work / "host.txt");

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
