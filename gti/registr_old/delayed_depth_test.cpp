#include "gti/registr_old/delayed_depth.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "gti/registr_old/data_storage.h"
#include "library/serial/serial_list.h"

namespace {

struct LiftCase {
    const char* what;
    std::vector<DelayedDepthTime> records;
    int step;
    float speed;
    double lag;        // lag depth after calc (it starts at 50)
    std::size_t left;  // records still in transit
    int time;          // time to depth out
};

}  // namespace

TEST(DelayedDepth, ReleasesArrivedRecordsAndEstimatesTheNextMark) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<LiftCase> cases = {
        {"front still in transit holds back an arrived one", {{100, 5}, {101, -4}}, 1, 2, 50, 2, 0},
        {"arrived records up to the first in transit", {{100, 0}, {101, -2}, {102, 3}}, 1, 2, 101, 1, -1},
        {"no records", {}, 1, 2, 50, 0, -1},
        {"the next metre gives the time", {{100.2f, 4}, {100.7f, 6}, {101.1f, 8}}, 1, 2, 50, 3, 4},
        {"a step of 0 is a step of 1", {{100.2f, 4}, {100.7f, 6}, {101.1f, 8}}, 0, 2, 50, 3, 4},
        {"a negative step is a step of 1", {{100.2f, 4}, {101.1f, 9}}, -3, 2, 50, 2, 4},
        {"all within one mark", {{100.1f, 4}, {100.5f, 6}, {100.9f, 8}}, 1, 2, 50, 3, -1},
        {"a step of 5 joins the metres", {{101, 1}, {104.9f, 3}, {105.2f, 9}}, 5, 3, 50, 3, 3},
        {"time truncated toward zero", {{100, 1}, {101, 7}}, 1, 2, 50, 2, 3},
        {"speed below 0.0001", {{100.2f, 4}, {101.1f, 8}}, 1, 0.00005f, 50, 2, -1},
        {"speed just above 0.0001", {{100.2f, 4}, {101.1f, 0.001f}}, 1, 0.00011f, 50, 2, 9},
        {"speed 0.0001f is below 0.0001", {{100.2f, 4}, {101.1f, 8}}, 1, 0.0001f, 50, 2, -1},
        {"speed not a number", {{100.2f, 4}, {101.1f, 8}}, 1, nan, 50, 2, -1},
        {"everything out", {{100, -1}, {101, 0}}, 1, 2, 101, 0, -1},
        {"a time past the int range is held at its top", {{100, 1}, {101, 3e30f}}, 1, 1, 50, 2, INT_MAX},
        {"a lift that is not a number leaves it unknown", {{100, 1}, {101, nan}}, 1, 1, 50, 2, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DataStorage frame;
        frame.set_depth_z(50);
        DelayedDepth dd(frame);
        dd.clear();
        for (const auto& r : c.records) dd.add_record(r);
        dd.calc(c.step, c.speed);
        EXPECT_DOUBLE_EQ(dd.get_value(), c.lag);
        EXPECT_EQ(dd.records().size(), c.left);
        EXPECT_EQ(dd.get_time_to_depth_out(), c.time);
    }
}

TEST(DelayedDepth, PumpingLiftsTheRecordsOutInTurn) {
    DataStorage frame;
    DelayedDepth dd(frame);
    EXPECT_EQ(dd.get_value(), 0.0);
    EXPECT_EQ(dd.get_time_to_depth_out(), -1);
    dd.add_record({200, 10});
    dd.add_record({201, 12});
    dd.add_record({202, 15});
    dd.process_records(4);
    dd.calc(1, 2);
    EXPECT_EQ(dd.records().size(), 3u);
    EXPECT_EQ(dd.get_time_to_depth_out(), 4);  // (12 - 4) / 2
    dd.process_records(6.5f);
    dd.calc(1, 2);
    EXPECT_DOUBLE_EQ(dd.get_value(), 200);
    EXPECT_EQ(dd.get_time_to_depth_out(), 2);  // (15 - 10.5) / 2, truncated
    dd.process_records(5);
    dd.calc(1, 2);
    EXPECT_DOUBLE_EQ(dd.get_value(), 202);
    EXPECT_TRUE(dd.records().empty());
    EXPECT_EQ(dd.get_time_to_depth_out(), -1);
    dd.calc(1, 2);  // an empty queue keeps the lag depth
    EXPECT_DOUBLE_EQ(dd.get_value(), 202);
}

TEST(DelayedDepth, ClearRestartsAtTheBottom) {
    DataStorage frame;
    DelayedDepth dd(frame);
    dd.add_record({100, 5});
    dd.add_record({101, 6});
    frame.set_depth_z(1234.5);
    dd.clear();
    EXPECT_TRUE(dd.records().empty());
    EXPECT_DOUBLE_EQ(dd.get_value(), 1234.5);
}

namespace {

lib::SerialInputBuffer written(DelayedDepth& dd, unsigned kind) {
    lib::SerialOutputBuffer out;
    dd.get_serial_list(out, kind);
    lib::SerialInputBuffer in;
    in.copy_from(out);
    return in;
}

}  // namespace

TEST(DelayedDepth, ModuleStreamKeepsTheRecordsInTheFullFormOnly) {
    DataStorage frame;
    DelayedDepth dd(frame);
    std::string name;
    dd.get_serial_name(name);
    EXPECT_EQ(name, "DelayedDepth");
    dd.add_record({100, 0});
    dd.add_record({101.5f, 3.25f});
    dd.add_record({102.75f, 3});
    dd.calc(1, 0.5f);  // releases 100: lag 100, time 3 / 0.5 = 6

    lib::SerialInputBuffer full = written(dd, 1);
    ASSERT_EQ(full.size(), 8 + 4 + 4 + 2 * 8);
    const std::vector<unsigned char> head(full.bytes().begin(), full.bytes().begin() + 16);
    const std::vector<unsigned char> expected = {0, 0, 0, 0, 0, 0, 0x59, 0x40,  // 100.0
                                                 6, 0, 0, 0,                    // time
                                                 2, 0, 0, 0};                   // records
    EXPECT_EQ(head, expected);

    DelayedDepth back(frame);
    back.get_serial_list(full, 1);
    EXPECT_DOUBLE_EQ(back.get_value(), 100);
    EXPECT_EQ(back.get_time_to_depth_out(), 6);
    ASSERT_EQ(back.records().size(), 2u);
    EXPECT_EQ(back.records()[0].depth, 101.5f);
    EXPECT_EQ(back.records()[0].lift, 3.25f);
    EXPECT_EQ(back.records()[1].depth, 102.75f);
    EXPECT_EQ(back.records()[1].lift, 3.0f);

    lib::SerialInputBuffer brief = written(dd, 0);
    EXPECT_EQ(brief.size(), 12);
    DelayedDepth other(frame);
    other.add_record({7, 7});
    other.get_serial_list(brief, 0);
    EXPECT_DOUBLE_EQ(other.get_value(), 100);
    ASSERT_EQ(other.records().size(), 1u);  // not in the brief form: kept
}

TEST(DelayedDepth, ARecordCountBeyondTheBytesLeftChangesNothing) {
    DataStorage frame;
    DelayedDepth dd(frame);
    dd.add_record({100, 4});
    lib::SerialOutputBuffer out;
    double lag = 321;
    std::int32_t time = 9, count = 1000000;
    out | lag | time | count;
    float one = 1;
    out | one | one;  // one record's worth of bytes
    lib::SerialInputBuffer in;
    in.copy_from(out);
    EXPECT_THROW(dd.get_serial_list(in, 1), std::runtime_error);
    EXPECT_EQ(dd.get_value(), 0.0);
    EXPECT_EQ(dd.get_time_to_depth_out(), -1);
    ASSERT_EQ(dd.records().size(), 1u);
    EXPECT_EQ(dd.records()[0].depth, 100.0f);

    lib::SerialOutputBuffer negative;
    count = -1;
    negative | lag | time | count;
    in.copy_from(negative);
    EXPECT_THROW(dd.get_serial_list(in, 1), std::runtime_error);
    EXPECT_EQ(dd.records().size(), 1u);
}
