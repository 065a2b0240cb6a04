#include "plugins/cement/cement_points.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/os/testing.h"

namespace {

using cement::PointsRead;

ChartPoints table_of(std::vector<AnsiString> columns, int points) {
    ChartPoints t;
    t.columns = std::move(columns);
    for (int k = 0; k < points; ++k) {
        ChartPoint p;
        p.time = 46000.5 + k / 86400.0;
        for (std::size_t c = 0; c < t.columns.size(); ++c) p.values.push_back(float(k * 10 + int(c)) + 0.25f);
        t.points.push_back(p);
    }
    return t;
}

std::string i32(std::int32_t v) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

PointsRead decode(const std::string& bytes, ChartPoints& t) {
    return cement::decode_points(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), t);
}

TEST(CementPointsFile, V2IsWrittenByteForByteAndReadBack) {
    ChartPoints t = table_of({"cem_davl", "давл"}, 2);
    const std::string bytes = cement::encode_points(t);
    // Tag, version, N, the names (the Cyrillic one in Windows-1251), M,
    // then the points.
    std::string expect = "CementDataV2";
    expect += '\x01';
    expect += i32(2) + i32(8) + "cem_davl" + i32(4) + "\xE4\xE0\xE2\xEB" + i32(2);
    ASSERT_EQ(bytes.substr(0, expect.size()), expect);
    EXPECT_EQ(bytes.size(), expect.size() + 2 * (8 + 4 * 2));

    ChartPoints back;
    EXPECT_EQ(decode(bytes, back), PointsRead::ok);
    EXPECT_EQ(back.columns, t.columns);
    ASSERT_EQ(back.points.size(), 2u);
    EXPECT_EQ(back.points[1].time, t.points[1].time);
    EXPECT_EQ(back.points[1].values, t.points[1].values);
}

TEST(CementPointsFile, V1FilesTakeTheFixedColumns) {
    for (int n : {6, 7}) {
        std::string bytes = "CementDataV1";
        bytes += '\x01';
        bytes += i32(n) + i32(1);
        double time = 46001.25;
        bytes.append(reinterpret_cast<const char*>(&time), 8);
        for (int c = 0; c < n; ++c) {
            float v = float(c);
            bytes.append(reinterpret_cast<const char*>(&v), 4);
        }
        ChartPoints t;
        EXPECT_EQ(decode(bytes, t), PointsRead::ok);
        ASSERT_EQ(int(t.columns.size()), n);
        EXPECT_EQ(t.columns[3], "cem_rasx");
        if (n == 7) {
            EXPECT_EQ(t.columns[6], "cem_plan_V");
        }
        ASSERT_EQ(t.points.size(), 1u);
        EXPECT_EQ(t.points[0].values[5], 5.0f);
    }
}

TEST(CementPointsFile, DamagedFilesLoadWhatTheyHoldAndNoMore) {
    const std::string good = cement::encode_points(table_of({"a", "b", "c"}, 3));
    const std::size_t header = 12 + 1 + 4 + 3 * (4 + 1) + 4;
    const std::size_t point = 8 + 4 * 3;
    struct Case {
        const char* what;
        std::string bytes;
        PointsRead result;
        std::size_t columns;
        std::size_t points;
    };
    std::string bad_version = good;
    bad_version[12] = 2;
    std::string long_name = good.substr(0, 17) + i32(52) + std::string(52, 'x');
    std::string huge_n = good.substr(0, 13) + i32(0x7FFFFFFF);
    std::string huge_m = good.substr(0, header - 4) + i32(0x7FFFFFFF) + good.substr(header, point);
    const Case cases[] = {
        {"whole", good, PointsRead::ok, 3, 3},
        {"cut inside the last point", good.substr(0, good.size() - 3), PointsRead::truncated, 3, 2},
        {"cut after the names", good.substr(0, header - 4), PointsRead::truncated, 3, 0},
        {"M beyond the file", huge_m, PointsRead::truncated, 3, 1},
        {"other tag", "SomethingElse" + good.substr(13), PointsRead::bad_tag, 9, 0},
        {"too short for a tag", "Cement", PointsRead::bad_tag, 9, 0},
        {"version not 1", bad_version, PointsRead::bad_version, 9, 0},
        {"name longer than 51 bytes", long_name, PointsRead::bad_header, 9, 0},
        {"N beyond the file", huge_n, PointsRead::bad_header, 9, 0},
        {"negative N", good.substr(0, 13) + i32(-1), PointsRead::bad_header, 9, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChartPoints t = table_of({"old"}, 5);
        EXPECT_EQ(decode(c.bytes, t), c.result);
        EXPECT_EQ(t.columns.size(), c.columns);
        EXPECT_EQ(t.points.size(), c.points);
        for (const ChartPoint& p : t.points) EXPECT_EQ(p.values.size(), t.columns.size());
    }
}

TEST(CementPointsFile, NoPointsNoFileAndAMissingFileGivesTheDefaultColumns) {
    os::testing::TempDir dir;
    const std::string path = dir / "1.cem";
    cement::save_points_file(path, table_of({"a"}, 0));
    EXPECT_FALSE(std::filesystem::exists(path));

    ChartPoints t = table_of({"a"}, 2);
    EXPECT_EQ(cement::load_points_file(path, t), PointsRead::ok);
    EXPECT_EQ(t.columns, cement::default_columns());
    EXPECT_TRUE(t.points.empty());

    cement::save_points_file(path, table_of({"a", "b"}, 4));
    EXPECT_EQ(cement::load_points_file(path, t), PointsRead::ok);
    EXPECT_EQ(t.points.size(), 4u);
    // A file of another kind is not the plug-in's to delete.
    os::testing::write_bytes(path, "not a points file");
    EXPECT_EQ(cement::load_points_file(path, t), PointsRead::bad_tag);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(CementPointsFile, AFileThatIsThereButCannotBeReadIsNotTakenForAMissingOne) {
    os::testing::TempDir dir;
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
    };
    const Case cases[] = {
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }},
        // Larger than any job's points: refused before its bytes are read
        // into memory.
        {"a huge sparse file",
         [](const std::string& p) {
             cement::save_points_file(p, table_of({"a"}, 1));
             std::filesystem::resize_file(p, std::uintmax_t(cement::max_points_file_bytes) + 1);
         }},
    };
    for (const Case& c : cases) {
        const std::string path = dir / (std::string(c.what) + ".cem");
        c.make(path);
        ChartPoints t = table_of({"a"}, 2);
        EXPECT_EQ(cement::load_points_file(path, t), PointsRead::unreadable) << c.what;
        EXPECT_EQ(t.columns, cement::default_columns()) << c.what;
        EXPECT_TRUE(t.points.empty()) << c.what;
        EXPECT_TRUE(std::filesystem::exists(path)) << c.what;
    }
}

}  // namespace
