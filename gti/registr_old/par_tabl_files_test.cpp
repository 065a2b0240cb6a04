// The parameter table file, its ".extended" companion and the calibration
// file, against byte vectors written by testdata/make_par_tabl_vectors.py.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gti/registr_old/par_tabl.h"
#include "library/io/binary_stream.h"

namespace {

namespace fs = std::filesystem;

const std::string vectors = std::string(STATION_SOURCE_DIR) + "/gti/registr_old/testdata/par_tabl/";

std::string bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put_bytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class ParTablFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/par_tabl_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // The table of two_params.tbl.
    static ParTabl two_params() {
        ParTabl t;
        Param hook;
        hook.name = "Вес на крюке";
        hook.short_name = "W кр.";
        hook.units = "т";
        hook.global_name = "вес_на_крюке";
        hook.channel = 3;
        hook.range = 20;
        hook.zero = 0.5f;
        hook.max_value = 200;
        hook.points = {{1, 2}, {3, 4}};
        hook.ext_info.set("last_calibr_time", "45000,5");
        hook.ext_info.set("half_life", "5");
        Param dens;
        dens.name = "Плотность";
        dens.short_name = "Пл";
        dens.units = "г/см3";
        dens.global_name = "плотн_пж_вх_радиоакт";
        dens.channel = -1;
        dens.range = 2;
        dens.max_value = 2;
        dens.averaging = 120;
        dens.kind = 2;
        dens.points = {{5, 6}};
        t.add(hook);
        t.add(dens);
        return t;
    }

    static std::vector<std::string> names_of(const ParTabl& t) {
        std::vector<std::string> out;
        for (int i = 0; i < t.get_items_count(); ++i) out.push_back(t[i].global_name);
        return out;
    }

    std::string dir_;
};

TEST_F(ParTablFiles, SavedBytesMatchTheLayout) {
    const ParTabl t = two_params();
    t.save_to(path("t.tbl"));
    EXPECT_TRUE(t.is_saved());
    EXPECT_EQ(bytes_of(path("t.tbl")), bytes_of(vectors + "two_params.tbl"));
    EXPECT_EQ(bytes_of(path("t.tbl.extended")), bytes_of(vectors + "two_params.tbl.extended"));
    // Only the two files: no temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(ParTablFiles, LoadReadsTheLayout) {
    ParTabl t;
    t.add(Param());  // replaced by the file's table
    t.load_from(vectors + "two_params.tbl");
    EXPECT_TRUE(t.get_load_warnings().empty());
    ParTabl expected = two_params();
    expected[1].points.clear();  // no channel: its points are not in the file
    ASSERT_EQ(t.get_items_count(), 2);
    EXPECT_EQ(t[0], expected[0]);
    EXPECT_EQ(t[1], expected[1]);
    EXPECT_EQ(t[0].ext_info, expected[0].ext_info);
    EXPECT_TRUE(t[1].ext_info.empty());
    EXPECT_DOUBLE_EQ(t[0].ext_info.get_float("last_calibr_time"), 45000.5);
}

TEST_F(ParTablFiles, RoundTripKeepsEverythingTheFileHolds) {
    ParTabl t;
    for (int i = 0; i < 40; ++i) {
        Param p;
        p.name = "Параметр " + std::to_string(i);
        p.short_name = "П" + std::to_string(i);
        p.units = i % 2 ? "м3" : "";
        p.global_name = "п_" + std::to_string(i);
        p.channel = i % 5 - 1;
        p.averaging = i + 1;
        p.range = 0.1f * static_cast<float>(i);
        p.zero = -1.5f;
        p.min_value = -static_cast<float>(i);
        p.max_value = 1e6f;
        p.kind = static_cast<std::uint8_t>(i % 3);
        for (int k = 0; k < i % 4; ++k) p.points.push_back({k * 0.1, k * 1e-3});
        if (i % 3 == 0) p.ext_info.set("half_life", std::to_string(i));
        t.add(p);
    }
    t.save_to(path("r.tbl"));
    ParTabl back;
    back.load_from(path("r.tbl"));
    EXPECT_TRUE(back.get_load_warnings().empty());
    ASSERT_EQ(back.get_items_count(), 40);
    for (int i = 0; i < 40; ++i) {
        Param expected = t[i];
        if (expected.channel < 0) expected.points.clear();
        EXPECT_EQ(back[i], expected) << i;
        EXPECT_EQ(back[i].ext_info, expected.ext_info) << i;
    }
}

TEST_F(ParTablFiles, BlocksFollowTheSavedPositionsPastASkippedRecord) {
    ParTabl t;
    t.load_from(vectors + "skipped_record.tbl");
    ASSERT_EQ(names_of(t), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(t[0].points, (std::vector<UnitCalibrPoint>{{1, 10}}));
    EXPECT_EQ(t[1].points, (std::vector<UnitCalibrPoint>{{2, 20}}));  // not the skipped record's
    const auto& w = t.get_load_warnings();
    ASSERT_EQ(w.size(), 5u);
    EXPECT_NE(w[0].find("record 1 has no global name"), std::string::npos) << w[0];
    EXPECT_NE(w[1].find("parameter 1, which is not in the table"), std::string::npos) << w[1];
    EXPECT_NE(w[2].find("parameter 7, which is not in the table"), std::string::npos) << w[2];
    EXPECT_NE(w[3].find("parameter -1, which is not in the table"), std::string::npos) << w[3];
    EXPECT_NE(w[4].find("point count of 2147483647"), std::string::npos) << w[4];
    EXPECT_NE(w[4].find("skipped_record.tbl"), std::string::npos) << w[4];
}

TEST_F(ParTablFiles, DamagedTablesLoadWhatIsSound) {
    const struct {
        const char* file;
        std::vector<std::string> names;
        std::size_t points_of_first;
        const char* warning;
    } cases[] = {
        {"truncated_record.tbl", {"a", "b"}, 0, "record 2 is damaged or cut short"},
        {"truncated_block.tbl", {"a", "b"}, 1, "a calibration block is cut short"},
        {"negative_count.tbl", {"a"}, 0, "point count of -5"},
        {"long_name.tbl", {"a"}, 0, "record 1 is damaged or cut short"},
    };
    for (const auto& c : cases) {
        ParTabl t;
        t.load_from(vectors + c.file);
        EXPECT_EQ(names_of(t), c.names) << c.file;
        if (t.get_items_count() > 0) {
            EXPECT_EQ(t[0].points.size(), c.points_of_first) << c.file;
        }
        if (t.get_items_count() > 1) {
            EXPECT_TRUE(t[1].points.empty()) << c.file;
        }
        ASSERT_EQ(t.get_load_warnings().size(), 1u) << c.file;
        EXPECT_NE(t.get_load_warnings()[0].find(c.warning), std::string::npos) << t.get_load_warnings()[0];
    }
}

TEST_F(ParTablFiles, AtMost512ParametersAreTaken) {
    ParTabl t;
    t.load_from(vectors + "too_many.tbl");
    ASSERT_EQ(t.get_items_count(), 512);
    EXPECT_EQ(t[511].global_name, "p511");
    EXPECT_EQ(t[0].points, (std::vector<UnitCalibrPoint>{{1, 1}}));
    EXPECT_EQ(t[511].points, (std::vector<UnitCalibrPoint>{{2, 2}}));
    const auto& w = t.get_load_warnings();
    ASSERT_EQ(w.size(), 9u);
    EXPECT_NE(w[0].find("record 512 ('p512') is beyond 512 parameters"), std::string::npos) << w[0];
    EXPECT_NE(w[8].find("parameter 515, which is not in the table"), std::string::npos) << w[8];
}

TEST_F(ParTablFiles, CompanionProblems) {
    ParTabl foreign;
    foreign.load_from(vectors + "foreign.tbl");
    EXPECT_EQ(names_of(foreign), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(foreign[0].ext_info.empty());
    ASSERT_EQ(foreign.get_load_warnings().size(), 1u);
    EXPECT_NE(foreign.get_load_warnings()[0].find("not a parameter extra data file"), std::string::npos);

    ParTabl cut;
    cut.load_from(vectors + "short_ext.tbl");
    EXPECT_EQ(cut[0].ext_info.get("k"), "v");
    EXPECT_EQ(cut[1].ext_info.get("k1"), "v1");  // what was read before the end stays
    EXPECT_EQ(cut[1].ext_info.size(), 1u);
    ASSERT_EQ(cut.get_load_warnings().size(), 1u);
    EXPECT_NE(cut.get_load_warnings()[0].find("cut short after 2 of 3 entries"), std::string::npos)
        << cut.get_load_warnings()[0];

    ParTabl huge;
    huge.load_from(vectors + "huge_ext.tbl");
    EXPECT_EQ(huge[0].ext_info.get("k"), "v");
    EXPECT_TRUE(huge[1].ext_info.empty());
    ASSERT_EQ(huge.get_load_warnings().size(), 1u);
    EXPECT_NE(huge.get_load_warnings()[0].find("after 1 of 4294967295 entries"), std::string::npos)
        << huge.get_load_warnings()[0];

    // Without a companion the parameters simply have no extra data.
    fs::copy_file(vectors + "two_params.tbl", path("alone.tbl"));
    ParTabl alone;
    alone.load_from(path("alone.tbl"));
    EXPECT_EQ(alone.get_items_count(), 2);
    EXPECT_TRUE(alone[0].ext_info.empty());
    EXPECT_TRUE(alone.get_load_warnings().empty());
}

TEST_F(ParTablFiles, MissingFileChangesNothing) {
    ParTabl t = two_params();
    t.load_from(path("missing.tbl"));
    EXPECT_EQ(t.get_items_count(), 2);
    EXPECT_TRUE(t.get_load_warnings().empty());
}

TEST_F(ParTablFiles, LoadChecksTheDependencies) {
    ParTabl t;
    Param level;
    level.global_name = "уровень_в_емкости";
    level.channel = 3;
    t.add(level);
    t.save_to(path("d.tbl"));
    ParTabl back;
    back.load_from(path("d.tbl"));
    EXPECT_TRUE(back.param_exists("объем_в_емкости1"));
    EXPECT_TRUE(back.param_exists("объем_емкости"));
}

TEST_F(ParTablFiles, LoadBeepsAndFallsBack) {
    std::vector<std::pair<int, int>> beeps;
    ParTabl::set_beep([&](int hz, int ms) { beeps.emplace_back(hz, ms); });
    ParTabl t;
    t.set_file_name(path("missing.tbl"));
    t.set_fallback_file_name(vectors + "two_params.tbl");
    t.load();
    EXPECT_EQ(t.get_items_count(), 2);
    fs::copy_file(vectors + "foreign.tbl", path("own.tbl"));
    t.set_file_name(path("own.tbl"));
    t.load();
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"a", "b"}));
    ParTabl::set_beep(nullptr);
    EXPECT_EQ(beeps, (std::vector<std::pair<int, int>>{{1000, 40}, {1000, 40}}));
}

TEST_F(ParTablFiles, NameTooLongIsRefusedBeforeWriting) {
    two_params().save_to(path("t.tbl"));
    const std::string before = bytes_of(path("t.tbl"));
    ParTabl t = two_params();
    t[1].units = std::string(511, 'u');  // the most a text may hold
    t[1].name = std::string(512, 'x');
    try {
        t.save_to(path("t.tbl"));
        FAIL() << "saved";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(path("t.tbl")), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("parameter 1"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(t.is_saved());
    EXPECT_EQ(bytes_of(path("t.tbl")), before);
    // Texts that would put the file out of step are refused too.
    for (const std::string& bad : {std::string("\n"), std::string("a\0b", 3)}) {
        t[1].name = bad;
        EXPECT_THROW(t.save_to(path("t.tbl")), std::runtime_error);
        EXPECT_EQ(bytes_of(path("t.tbl")), before);
    }
    t[1].name = "\nx";  // only a name of one LF is the marker
    t.save_to(path("t.tbl"));
    EXPECT_TRUE(t.is_saved());

    t[1].name.clear();
    for (int i = 0; i < 511; ++i) t[1].name += "Ж";  // 511 characters are 511 bytes on disk
    t.save_to(path("t.tbl"));
    EXPECT_TRUE(t.is_saved());
    ParTabl back;
    back.load_from(path("t.tbl"));
    EXPECT_EQ(back[1].name, t[1].name);
}

TEST_F(ParTablFiles, FailedSaveSaysSoAndLeavesTheOldFiles) {
    put_bytes(path("plain"), "not a folder");
    ParTabl t = two_params();
    try {
        t.save_to(path("plain") + "/t.tbl");
        FAIL() << "saved";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(path("plain") + "/t.tbl"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(t.is_saved());

    // The companion cannot be replaced: the save fails as a whole.
    fs::create_directory(path("t.tbl.extended"));
    put_bytes(path("t.tbl.extended") + "/keep", "x");
    EXPECT_THROW(t.save_to(path("t.tbl")), std::runtime_error);
    EXPECT_FALSE(t.is_saved());
    EXPECT_TRUE(fs::is_directory(path("t.tbl.extended")));
    fs::remove_all(path("t.tbl.extended"));
    t.save_to(path("t.tbl"));
    EXPECT_TRUE(t.is_saved());
    t.save_to("");  // an empty name does nothing
    EXPECT_TRUE(t.is_saved());
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(ParTablFiles, CalibrationFile) {
    Param p;
    p.global_name = "вес_на_крюке";
    p.points = {{1.0, 2.5}, {-0.001234567, 1e100}};
    EXPECT_TRUE(p.save_calibr_to_file(path("c.txt")));
    EXPECT_EQ(bytes_of(path("c.txt")), bytes_of(vectors + "calibr.txt"));
    EXPECT_FALSE(p.save_calibr_to_file(""));
    EXPECT_FALSE(p.save_calibr_to_file(dir_ + "/no/such/folder/c.txt"));

    Param q;
    q.global_name = "вес_на_крюке";
    EXPECT_TRUE(q.load_calibr_from_file(vectors + "calibr.txt"));
    EXPECT_EQ(q.points, p.points);

    // Another parameter's file: false, points kept. The name is compared
    // exactly.
    Param other;
    other.global_name = "ВЕС_НА_КРЮКЕ";
    other.points = {{7, 7}};
    EXPECT_FALSE(other.load_calibr_from_file(vectors + "calibr.txt"));
    EXPECT_EQ(other.points, (std::vector<UnitCalibrPoint>{{7, 7}}));

    // A missing file: true, points kept.
    EXPECT_TRUE(other.load_calibr_from_file(path("missing.txt")));
    EXPECT_EQ(other.points.size(), 1u);

    // Text that is not a number reads as 0; a short line gives what it has.
    put_bytes(path("bad.txt"), "param_name=x\r\n   not a number    3.000000e+00\r\n  1.5\r\n");
    Param x;
    x.global_name = "x";
    EXPECT_TRUE(x.load_calibr_from_file(path("bad.txt")));
    EXPECT_EQ(x.points, (std::vector<UnitCalibrPoint>{{0, 3}, {1.5, 0}}));
}

TEST(ParamExtInfoStream, RoundTripAndTruncation) {
    ParamExtInfo info;
    info.set("last_calibr_time", "45000,25");
    info.set("half_life", "30");
    lib::io::BinaryMemoryOutputStream out;
    info.save(out);
    const std::string bytes(out.get_buffer(), out.get_size());
    EXPECT_EQ(bytes, std::string("\x02\0\0\0half_life\0"
                                 "30\0last_calibr_time\0"
                                 "45000,25\0",
                                 43));

    lib::io::BinaryMemoryInputStream in;
    in.set_data(bytes.data(), bytes.size());
    ParamExtInfo back;
    back.set("stale", "1");
    back.load(in);
    EXPECT_EQ(back, info);

    in.set_data(bytes.data(), bytes.size() - 3);
    EXPECT_ANY_THROW(back.load(in));
    EXPECT_EQ(back.get("half_life"), "30");
    EXPECT_EQ(back.get("last_calibr_time"), "");
}

}  // namespace
