// The program itself in command-line mode, without a desktop: a trip's files
// named by a mask are packed beside them, listed with 7za, extracted and
// read back; a failing archiver ends the program with status 1 and no
// package; the options file is written after the run.

#include <gtest/gtest.h>

#include <filesystem>

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
        return run("cd " + shell_quoted(work.path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY " +
                   // Under the sanitizer build the program measures text too:
                   // fontconfig's process-lifetime caches are no leaks of ours.
                   "LSAN_OPTIONS=suppressions=" + STATION_SOURCE_DIR "/platform/ui/testdata/lsan.supp:print_suppressions=0" +
                   " TMPDIR=" +
                   shell_quoted(work / "tmp") + " " + shell_quoted(program.path() + "/Vargel2") + " " + arguments +
                   " >" + shell_quoted(work / "out.txt") + " 2>" + shell_quoted(work / "err.txt"));
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

TEST_F(CommandLineRun, AFailingArchiverEndsWithStatusOneAndNoPackage) {
    write_script(program.path() + "/7za", "echo 'ERROR: broken' >&2\nexit 2\n");
    EXPECT_EQ(vargel2("w5/0003.realtim w5/0003.realdep"), 1);
    EXPECT_NE(read_text(work / "err.txt").find("ERROR: broken"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(work / "w5/w5.7z_reg"));
    EXPECT_TRUE(file_names(work / "tmp").empty());
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
