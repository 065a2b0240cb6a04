// The options file (found in any letter case, defaults when missing, the
// window's place kept beside the options) and the settings dialog.

#include "programs/vargel2/configuration.h"

#include <gtest/gtest.h>

#include "library/controls/window_state.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/display.h"
#include "programs/vargel2/opt_form.h"
#include "programs/vargel2/testdata/trip_testing.h"

namespace vargel2 {
namespace {

using testing::ProgramFolder;
using testing::write_text;

TEST(Configuration, MissingFileKeepsDefaultsAndSavingWritesThemAnew) {
    ProgramFolder folder;
    Configuration c(folder.path());
    c.load_options();
    EXPECT_EQ(c.time_period, 12);
    EXPECT_EQ(c.from_time, 0);
    EXPECT_EQ(c.compress_method, 1);
    EXPECT_EQ(c.tolvane_directory, "../Tolvane/");
    EXPECT_EQ(c.resolve_folder(c.tolvane_directory), folder.path().substr(0, folder.path().rfind('/')) + "/Tolvane/");
    c.compress_method = 2;
    c.destination_path = "/srv/out/";
    c.save_options();
    Configuration d(folder.path());
    d.load_options();
    EXPECT_EQ(d.compress_method, 2);
    EXPECT_EQ(d.destination_path, "/srv/out/");
    EXPECT_EQ(d.time_period, 12);
}

TEST(Configuration, TheFileIsFoundInAnyLetterCaseAndKeepsTheWindowPlace) {
    ProgramFolder folder;
    write_text(folder / "VARGEL2.INI",
               "[options]\r\ntime_period=8\r\nfrom_time=7\r\ntolvane_directory=..\\Viewer\\\r\n");
    EXPECT_EQ(options_file_path(folder.path()), folder / "VARGEL2.INI");
    Configuration c(folder.path());
    c.load_options();
    EXPECT_EQ(c.time_period, 8);
    EXPECT_EQ(c.from_time, 7);
    // A stored '\' path of an older station is a folder here.
    EXPECT_EQ(c.resolve_folder(c.tolvane_directory), folder.path().substr(0, folder.path().rfind('/')) + "/Viewer/");
    {
        rtl::IniFile ini(options_file_path(folder.path()));
        ini.WriteInteger("MainForm", "left", 33);
    }
    c.save_options();
    EXPECT_EQ(testing::file_names(folder.path()), std::vector<std::string>{"VARGEL2.INI"});
    rtl::IniFile ini(folder / "VARGEL2.INI");
    EXPECT_EQ(ini.ReadInteger("MainForm", "left", 0), 33);
    EXPECT_EQ(ini.ReadInteger("options", "time_period", 0), 8);
}

TEST(Configuration, AStartHourOutsideTheDayIsClampedAtLoad) {
    ProgramFolder folder;
    for (auto [stored, loaded] : std::vector<std::pair<const char*, int>>{
             {"23", 23}, {"24", 23}, {"2147483647", 23}, {"-1", 0}, {"-2147483648", 0}}) {
        write_text(folder / "vargel2.ini", std::string("[options]\r\nfrom_time=") + stored + "\r\n");
        Configuration c(folder.path());
        c.load_options();
        EXPECT_EQ(c.from_time, loaded) << stored;
    }
}

TEST(Configuration, WindowHoursRefuseOddPeriods) {
    ConfigValues v;
    for (int p : {4, 8, 12, 24}) {
        v.time_period = p;
        EXPECT_EQ(v.window_hours(), p);
    }
    for (int p : {0, -4, 6, 25}) {
        v.time_period = p;
        EXPECT_EQ(v.window_hours(), 12) << p;
    }
}

TEST(OptForm, FillsEnablesAndStores) {
    ProgramFolder folder;
    Configuration c(folder.path());
    c.time_period = 6;  // not offered: the first entry
    c.from_time = 5;
    c.compress_method = 2;
    c.destination_path = "/srv/out";
    TOptForm f(nullptr, c);
    f.fill();
    EXPECT_EQ(f.cbxSendPeriod->ItemIndex(), 0);
    EXPECT_EQ(f.cbxFromTime->ItemIndex(), 5);
    EXPECT_EQ(f.cbxCompressMethod->ItemIndex(), 2);
    EXPECT_FALSE(f.cbxFromTime->Enabled());
    f.cbxSendPeriod->SetItemIndex(3);  // "Сутки"
    f.cbxSendPeriodChange(nullptr);
    EXPECT_TRUE(f.cbxFromTime->Enabled());
    EXPECT_TRUE(f.lblHours->Enabled());
    f.cbxFromTime->SetItemIndex(9);
    f.cbxSendPeriod->SetItemIndex(1);
    f.cbxSendPeriodChange(nullptr);
    EXPECT_FALSE(f.cbxFromTime->Enabled());
    f.edTolvaneFolder->SetText("/opt/tolvane");
    f.store();
    EXPECT_EQ(c.time_period, 8);
    EXPECT_EQ(c.from_time, 9);  // kept while disabled
    EXPECT_EQ(c.destination_path, "/srv/out/");
    EXPECT_EQ(c.tolvane_directory, "/opt/tolvane/");
    EXPECT_EQ(c.compress_method, 2);
}

TEST(OptForm, CancelChangesNothingAndOkStores) {
    ProgramFolder folder;
    Configuration c(folder.path());
    TOptForm f(nullptr, c);
    auto* headless = ui::headless_display();
    ASSERT_NE(headless, nullptr);
    headless->ExpectModal([](ui::TCustomForm& form) {
        auto& d = static_cast<TOptForm&>(form);
        d.cbxSendPeriod->SetItemIndex(2);
        d.SetModalResult(ui::mrCancel);
    });
    EXPECT_FALSE(f.execute());
    EXPECT_EQ(c.time_period, 12);
    headless->ExpectModal([](ui::TCustomForm& form) {
        auto& d = static_cast<TOptForm&>(form);
        d.cbxSendPeriod->SetItemIndex(3);
        d.cbxSendPeriodChange(nullptr);
        form.SaveToPng(STATION_BINARY_DIR "/test_output/vargel2_options.png");
        d.SetModalResult(ui::mrOk);
    });
    std::filesystem::create_directories(STATION_BINARY_DIR "/test_output");
    EXPECT_TRUE(f.execute());
    EXPECT_EQ(c.time_period, 24);
}

}  // namespace
}  // namespace vargel2
