// The window's live chart of a growing trip file: the first read of a long
// trip keeps only its newest span, each refresh reads only what the writer
// appended, and the columns are built again only when the parameters
// change (the depth scale follows the bottom in place).

#include "tools/station_host/trip_chart.h"

#include <gtest/gtest.h>

#include "library/graphics/graphics_column.h"
#include "library/graphics/planshet.h"
#include "library/io/file_streams.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/testing.h"

namespace station_host {
namespace {

constexpr std::uint32_t kT0 = 1700000000;

std::vector<FileStorageParam> params(int n) {
    std::vector<FileStorageParam> out;
    for (int c = 0; c < n; ++c)
        out.emplace_back("Параметр " + std::to_string(c), "П", "ед", "п" + std::to_string(c), 0.0f, 100.0f);
    return out;
}

// A trip of n one-second records from kT0 written by the table's writer.
void write_trip(const std::string& path, int n, int columns) {
    FileStorage t;
    for (const auto& p : params(columns)) t.add_parametr(p);
    for (int i = 0; i < n; ++i) {
        FileStorageItem r;
        r.time = kT0 + std::uint32_t(i);
        r.depth_z = 100.0f;
        r.depth_cur = 99.0f;
        r.values.assign(std::size_t(columns), float(i % 100));
        t.add_record(r);
    }
    t.save_with_new_format(path, -1);
}

// The hub's way: blocks appended to the file.
void append(const std::string& path, std::uint32_t from, int n, int columns, float depth,
            const std::vector<FileStorageParam>* header = nullptr) {
    lib::io::BinaryOutputFileStream out;
    out.open(path, true, true);
    lib::realtime::BlockEncoder enc;
    if (header) enc.write_params(out, *header);
    std::vector<float> v(std::size_t(columns), 7.0f);
    for (int i = 0; i < n; ++i) enc.write_record(out, from + std::uint32_t(i), depth, depth, depth, 0, v.data(), v.size());
}

// Refreshes until the chart has taken the first read (bounded: only a hung
// read ends it).
bool first_read(TripChart& chart, const std::string& path) {
    bool got = false;
    os::testing::wait_until([&] { return (got = chart.refresh(path)); }, 60000, 5);
    return got;
}

TEST(TripChart, ALiveChartKeepsTheNewestSpanAndReadsOnlyWhatWasAppended) {
    os::testing::TempDir dir;
    const std::string path = dir / "0001.realtim";
    write_trip(path, 20000, 4);
    lib::graphics::Planshet sheet;
    int told = 0;
    TripChart chart(sheet, [&] { ++told; }, 3600);
    EXPECT_FALSE(chart.refresh(path));  // the first read runs apart
    ASSERT_TRUE(first_read(chart, path));
    // The newest hour, its first second included.
    EXPECT_EQ(chart.records(), 3601);
    double first = 0, last = 0;
    ASSERT_TRUE(chart.time_span(first, last));
    EXPECT_NEAR((last - first) * 86400, 3600, 0.01);
    EXPECT_EQ(chart.builds(), 1);
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(chart.refresh(path));  // nothing new

    // Appended records come in; the bottom leaves the scale, the columns
    // stay and their depth scale follows.
    append(path, kT0 + 20000, 5, 4, 150.0f);
    ASSERT_TRUE(chart.refresh(path));
    EXPECT_EQ(chart.records(), 3606);
    EXPECT_EQ(chart.builds(), 1);
    ASSERT_EQ(sheet.get_columns_count(), 3u);
    auto* depths = dynamic_cast<lib::graphics::GraphicsColumn*>(sheet.get_column(0).get());
    ASSERT_NE(depths, nullptr);
    EXPECT_GE(depths->get_curve(0).right, 150.0);
    EXPECT_LE(depths->get_curve(0).left, 150.0);

    // Past an eighth of the span more, the oldest records go.
    append(path, kT0 + 20005, 600, 4, 150.0f);
    ASSERT_TRUE(chart.refresh(path));
    EXPECT_EQ(chart.records(), 3601);
    ASSERT_TRUE(chart.time_span(first, last));
    EXPECT_NEAR((last - first) * 86400, 3600, 0.01);

    // Another parameter joins: the columns are built again.
    auto five = params(5);
    append(path, kT0 + 20605, 3, 5, 150.0f, &five);
    ASSERT_TRUE(chart.refresh(path));
    EXPECT_EQ(chart.builds(), 2);
    EXPECT_EQ(chart.records(), 3604);
}

TEST(TripChart, APictureHoldsTheWholeTripReadAtOnce) {
    os::testing::TempDir dir;
    const std::string path = dir / "0001.realtim";
    write_trip(path, 5000, 2);
    lib::graphics::Planshet sheet;
    {
        TripChart chart(sheet, nullptr);
        ASSERT_TRUE(chart.refresh(path));
        EXPECT_EQ(chart.records(), 5000);
        append(path, kT0 + 5000, 2, 2, 100.0f);
        ASSERT_TRUE(chart.refresh(path));
        EXPECT_EQ(chart.records(), 5002);
        EXPECT_GT(sheet.get_columns_count(), 0u);
    }
    // The sheet outlives its chart (the window's next run has another):
    // no column is left reading the chart that went.
    EXPECT_EQ(sheet.get_columns_count(), 0u);
}

}  // namespace
}  // namespace station_host
