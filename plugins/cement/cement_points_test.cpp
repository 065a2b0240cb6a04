#include "plugins/cement/cement_points.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

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

// ---- the volumes the points hold ------------------------------------------

constexpr double day0 = 46000.5;
double at_s(double seconds) { return day0 + seconds / 86400.0; }

// A point of the stage's columns at a second with its flow and the two
// volumes as they were stored.
struct Stored {
    double s;
    float rate, v, sum;
};

ChartPoints stage_of(const std::vector<Stored>& stored) {
    ChartPoints t;
    t.set_default_columns();
    for (const Stored& p : stored) {
        cement::add_point(t, at_s(p.s), {{"cem_rasx", p.rate}, {"cem_V", p.v}, {"cem_Vsumm", p.sum}}, nullptr);
    }
    return t;
}

CementProgramElement element_of(int kind, double start_s, int samples = 0) {
    CementProgramElement e;
    e.kind = kind;
    e.start = at_s(start_s);
    e.samples = samples;
    return e;
}

TEST(CementVolumes, AStepAddsTheFlowOverItsTimeOnlyWhilePumping) {
    struct Case {
        int kind;
        float flow;
        double dt, volume;
    };
    const Case cases[] = {
        {cement::kind_buffer, 10, 1, 0.01},   {cement::kind_cement, 12.5f, 2, 0.025},
        {cement::kind_displacement, 10, 1.5, 0.015}, {cement::kind_waiting, 10, 1, 0},
        {cement::kind_buffer, 0, 1, 0},       {cement::kind_buffer, -3, 1, 0},
        {cement::kind_buffer, 10, 0, 0},      {-1, 10, 1, 0.01},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(cement::step_volume(c.kind, c.flow, c.dt), c.volume, 1e-12)
            << c.kind << " " << c.flow << " " << c.dt;
}

// The stage volume "cem_V" and the total "cem_Vsumm" of the points, counted
// again at the running element's kind; gaps add no more than 1.5 s of flow.
TEST(CementVolumes, ARecountFollowsTheRunningElementOverItsPoints) {
    // A buffer from 0 s, the cement from 2 s (the buffer's last point and
    // the cement's first in that instant), a restart an hour later whose
    // host begins at 0.
    const std::vector<Stored> restarted = {{0, 10, 0, 0},     {1, 10, 0.01f, 0.01f}, {2, 10, 0.02f, 0.02f},
                                           {2, 10, 0, 0.02f}, {3, 10, 0.01f, 0.03f}, {4, 10, 0.02f, 0.04f},
                                           {3604, 10, 0, 0}};
    // Both presses in one instant: the cement's points begin the stage.
    const std::vector<Stored> cement_first = {
        {0, 10, 0, 0}, {0, 10, 0, 0}, {1, 10, 0.01f, 0.01f}, {2, 10, 0.02f, 0.02f}, {3602, 10, 0, 0}};
    // The buffer to 3 s, the cement one second past it, then a step back.
    const std::vector<Stored> stepped = {{0, 10, 0, 0},        {1, 10, 0.01f, 0.01f}, {2, 10, 0.02f, 0.02f},
                                         {3, 10, 0.03f, 0.03f}, {3, 10, 0, 0.03f},     {4, 10, 0.01f, 0.04f}};
    struct Case {
        const char* what;
        std::vector<Stored> points;
        int kind;
        double start, a, b;  // s; b < 0: up to the last point
        int last;
        std::vector<float> v, sum;
    };
    const Case cases[] = {
        {"continued after a restart", restarted, cement::kind_cement, 2, 2, -1, 6,
         {0, 0.01f, 0.02f, 0, 0.01f, 0.02f, 0.035f}, {0, 0.01f, 0.02f, 0.02f, 0.03f, 0.04f, 0.055f}},
        {"continued, the cement's points first", cement_first, cement::kind_cement, 0, 0, -1, 4,
         {0, 0, 0.01f, 0.02f, 0.035f}, {0, 0, 0.01f, 0.02f, 0.035f}},
        {"stepped back to the buffer", stepped, cement::kind_buffer, 0, 3, -1, 5,
         {0, 0.01f, 0.02f, 0.03f, 0.03f, 0.04f}, {0, 0.01f, 0.02f, 0.03f, 0.03f, 0.04f}},
        {"waiting pumps nothing", stepped, cement::kind_waiting, 0, 3, -1, 5,
         {0, 0.01f, 0.01f, 0.01f, 0.01f, 0.01f}, {0, 0.01f, 0.01f, 0.01f, 0.01f, 0.01f}},
        {"up to a date-time", stepped, cement::kind_buffer, 0, 0, 2, 2,
         {0, 0.01f, 0.02f, 0.03f, 0, 0.01f}, {0, 0.01f, 0.02f, 0.03f, 0.03f, 0.04f}},
        {"a range that reaches the first point", stepped, cement::kind_buffer, 0, 0, 0.5, -1,
         {0, 0.01f, 0.02f, 0.03f, 0, 0.01f}, {0, 0.01f, 0.02f, 0.03f, 0.03f, 0.04f}},
        {"one point", {{0, 10, 0.5f, 0.5f}}, cement::kind_buffer, 0, 0, -1, -1, {0.5f}, {0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChartPoints t = stage_of(c.points);
        const CementProgramElement running = element_of(c.kind, c.start);
        EXPECT_EQ(cement::reintegrate(t, at_s(c.a), c.b < 0 ? 0 : at_s(c.b), &running, 1.5), c.last);
        const int col_v = t.column_index("cem_V"), col_sum = t.column_index("cem_Vsumm");
        ASSERT_EQ(t.points.size(), c.v.size());
        for (std::size_t k = 0; k < c.v.size(); ++k) {
            EXPECT_NEAR(t.points[k].values[std::size_t(col_v)], c.v[k], 1e-6) << k;
            EXPECT_NEAR(t.points[k].values[std::size_t(col_sum)], c.sum[k], 1e-6) << k;
        }
    }
    // Without the volume columns there is nothing to count.
    ChartPoints bare;
    bare.columns = {"cem_rasx", "cem_V"};
    bare.points = {{at_s(0), {10, 0}}, {at_s(1), {10, 0}}};
    const CementProgramElement buffer = element_of(cement::kind_buffer, 0);
    EXPECT_EQ(cement::reintegrate(bare, at_s(0), 0, &buffer, 1.5), -1);
    EXPECT_EQ(bare.points[1].values[1], 0.0f);
}

// What an element pumped on record is the last point's stage volume only
// when that point is its own: one run in silence reports nothing, never
// the volume of the element before.
TEST(CementVolumes, AnElementReportsOnlyTheVolumeOfItsOwnPoints) {
    // The buffer's points to 4 s at 0,02 m3.
    const ChartPoints buffer = stage_of({{0, 10, 0, 0}, {2, 10, 0.01f, 0.01f}, {4, 10, 0.02f, 0.02f}});
    struct Case {
        const char* what;
        CementProgramElement e;
        float volume;
    };
    const Case cases[] = {
        {"its own points", element_of(cement::kind_buffer, 0, 3), 0.02f},
        {"run in silence after the last point", element_of(cement::kind_cement, 6), 0},
        {"begun in the instant of another's point, none of its own", element_of(cement::kind_cement, 4), 0},
        {"begun in the instant of its first point", element_of(cement::kind_cement, 4, 1), 0.02f},
        // Stepped back to: its points stand, its samples began again.
        {"stepped back to, silent since", element_of(cement::kind_buffer, 0, 0), 0.02f},
    };
    for (const Case& c : cases) EXPECT_NEAR(cement::element_volume(buffer, c.e), c.volume, 1e-7) << c.what;
    EXPECT_EQ(cement::element_volume(stage_of({}), element_of(cement::kind_buffer, 0, 3)), 0.0f);

    // A stage whose station answered only the buffer: the three elements'
    // volumes add up to the total the points hold.
    ChartPoints stage = buffer;
    std::vector<CementProgramElement> elements = {element_of(cement::kind_buffer, 0, 3),
                                                  element_of(cement::kind_cement, 10),
                                                  element_of(cement::kind_displacement, 20)};
    float total = 0;
    for (const CementProgramElement& e : elements) total += cement::element_volume(stage, e);
    EXPECT_NEAR(total, stage.points.back().values[std::size_t(stage.column_index("cem_Vsumm"))], 1e-7);
}

TEST(CementVolumes, APointHoldsTheNamedValuesAndCountsAmongTheElementsSamples) {
    ChartPoints t;
    t.set_default_columns();
    CementProgramElement e = element_of(cement::kind_cement, 0);
    const struct {
        float rate, density, pressure;
    } samples[] = {{10, 1.8f, 12}, {12, 1.9f, 4}, {8, 1.85f, 20}, {10, 1.8f, 6}};
    for (const auto& s : samples)
        cement::add_point(t, at_s(1), {{"cem_rasx", s.rate}, {"cem_plotn", s.density}, {"cem_davl", s.pressure},
                                       {"not a column", 99}},
                          &e);
    ASSERT_EQ(t.points.size(), 4u);
    EXPECT_EQ(t.points[0].values.size(), t.columns.size());
    EXPECT_EQ(t.points[1].values[std::size_t(t.column_index("cem_davl"))], 4.0f);
    EXPECT_EQ(t.points[1].values[std::size_t(t.column_index("cem_V"))], 0.0f);
    EXPECT_EQ(e.samples, 4);
    EXPECT_NEAR(e.rate_sum, 40, 1e-5);
    EXPECT_NEAR(e.density_sum, 7.35, 1e-5);
    // P_min starts at 10 and P_max at 0: 12 raises the maximum only.
    EXPECT_EQ(e.P_min, 4.0f);
    EXPECT_EQ(e.P_max, 20.0f);
}

}  // namespace
