// The command line's package and folders, and the package name of a choice.

#include "programs/vargel2/run_state.h"

#include <gtest/gtest.h>

#include "library/time_conv.h"

namespace vargel2 {
namespace {

TEST(CommandLine, PackageAndFoldersFollowTheFirstArgument) {
    struct Case {
        std::vector<std::string> args;
        std::string package, folder;
    };
    const std::vector<Case> cases = {
        {{"/data/0012.realtim"}, "/data/0012.realtim.7z_reg", "/data/"},
        {{"/data/well5/0012.realtim", "/other/0012.realdep"}, "/data/well5/well5.7z_reg", "/data/well5/"},
        {{"/0012.realtim", "/x/y"}, "/file.7z_reg", "/"},  // the root has no last name
        // Relative arguments are taken against the start folder.
        {{"well5/0003.realtim"}, "/home/op/well5/0003.realtim.7z_reg", "/home/op/well5/"},
        {{"../w/0003.realtim", "b"}, "/home/w/w.7z_reg", "/home/w/"},
        // One mask names no single file: the folder's rule, never a package
        // called "*.realtim.7z_reg".
        {{"well5/0003.*real*"}, "/home/op/well5/well5.7z_reg", "/home/op/well5/"},
    };
    for (const auto& c : cases) {
        RunState s;
        command_line_setup(c.args, "/home/op", s);
        EXPECT_EQ(s.package_path, c.package) << c.args[0];
        EXPECT_EQ(s.data_folder, c.folder) << c.args[0];
        EXPECT_EQ(s.destination_folder, c.folder) << c.args[0];
        ASSERT_EQ(s.masks.size(), c.args.size());
        for (const auto& m : s.masks) EXPECT_EQ(m[0], '/');
        // A file-masks run: nothing of the selection window is set.
        EXPECT_TRUE(s.trips.empty());
        EXPECT_FALSE(s.range_chosen());
        EXPECT_TRUE(s.well_name.empty());
    }
    RunState s;
    command_line_setup({"a/./b//c.realtim", "d"}, "/x", s);
    EXPECT_EQ(s.masks, (std::vector<std::string>{"/x/a/b/c.realtim", "/x/d"}));
}

TEST(PackageName, TagFollowsAllDataThenTripsThenTheWindowStart) {
    RunState s;
    s.area_name = "Южная";
    s.well_name = "5";
    s.trips = {3, 12};
    EXPECT_EQ(package_tag(s), "races_003_012");
    s.trips = {1234};
    EXPECT_EQ(package_tag(s), "races_1234");
    s.range_end = -1;  // all data wins over checked trips
    EXPECT_EQ(package_tag(s), "ALL_DATA");
    s.trips.clear();
    s.range_start = lib::time_2_long(2024, 3, 5, 8, 0, 0);
    s.range_end = s.range_start + 8 * 3600;
    EXPECT_EQ(package_tag(s), "2024_03_05_08");
    EXPECT_EQ(package_path("/out/", s), "/out/GTI_[Южная_5]_(2024_03_05_08).compr_rt");
}

TEST(PackageName, AreaAndWellCannotLeaveTheFolder) {
    RunState s;
    s.range_end = -1;
    s.area_name = "../../etc";
    s.well_name = "a/b\\c:\n..";
    const std::string p = package_path("/out/", s);
    EXPECT_EQ(p, "/out/GTI_[.-.-etc_a-b-c--.]_(ALL_DATA).compr_rt");
    EXPECT_EQ(p.find('/', 5), std::string::npos);
    EXPECT_EQ(p.find(".."), std::string::npos);
}

}  // namespace
}  // namespace vargel2
