// The station's older device frames against the simulated units, over a
// pseudo-terminal: one table of frames per protocol with their checks and
// replies, then the frames the station sends.

#include <gtest/gtest.h>

#include "gti/registr_old/comm_protocols.h"
#include "platform/os/clock.h"
#include "tools/devsim/simulator.h"
#include "tools/devsim/test_hub.h"

namespace devsim {
namespace {

using testing::TestHub;

const char* const script =
    "t  hook_load block_pos spp annulus_p torque pump1 pump2 gas methane flow_in flow_out\n"
    "0  112.5     20        12  0.3       6.5    62    61    0.4 0.3     32      31.5\n"
    "10 15        10        0   0         0      0     0     0.5   2     0       0\n";

struct OldCase {
    const char* name;
    DeviceKind kind;
    hardware::ReadFunction read;
    const char* faults;
    std::vector<int> reads;  // block of each read after each report, -1 for a failed one
    std::vector<bool> lost;
    int acks;  // "CONFIRM" replies
};

class OldLine : public ::testing::Test {
protected:
    void open(DeviceKind kind, hardware::ReadFunction read, hardware::SendFunction send = nullptr) {
        line = Endpoint::open_pty();
        cp = std::make_unique<CommProtocols>(&hub);
        row = cp->register_protocol("unit", std::move(read), std::move(send), 0, 4095, 9600, 150);
        ASSERT_EQ(row, 2);
        ASSERT_TRUE(cp->get_port().open(line->address()));
        ASSERT_EQ(cp->configure_port(row), 150);
        SimOptions options;
        options.kind = kind;
        sim = std::make_unique<Simulator>(*line, scenario, options);
    }
    std::optional<CommIncomData> read() {
        CommIncomData d;
        if (!cp->read_data(row, &d)) return std::nullopt;
        return d;
    }

    os::ManualClock clock;
    os::ScopedClock use_clock{clock};
    TestHub hub;
    ScriptedScenario scenario = ScriptedScenario::parse(script);
    std::unique_ptr<Endpoint> line;
    std::unique_ptr<CommProtocols> cp;
    std::unique_ptr<Simulator> sim;
    int row = -1;
};

class OldFrames : public OldLine, public ::testing::WithParamInterface<OldCase> {};

TEST_P(OldFrames, ChecksBlocksAndReplies) {
    const OldCase& c = GetParam();
    open(c.kind, c.read);
    sim->set_faults(parse_faults(c.faults));
    std::vector<int> blocks;
    std::vector<bool> lost;
    for (int k = 0; k < 3; ++k) {
        SentReport r = sim->send_report();
        bool first = true;
        while (auto d = read()) {
            blocks.push_back(d->block_number);
            lost.push_back(d->block_lost);
            if (first && r.faults.empty()) {
                // The values as the unit sent them.
                for (std::size_t i = 0; i < r.channels.size(); ++i) {
                    int want = r.channels[i];
                    if (c.kind == DeviceKind::uso1) want = std::int16_t(r.channels[i]);
                    EXPECT_EQ(d->channels[i], want) << c.name << " channel " << i;
                }
                EXPECT_EQ(d->channels[r.channels.size()], 0) << c.name;
                if (c.kind != DeviceKind::ind) {
                    EXPECT_EQ(d->counter_increment, r.counter_increment) << c.name;
                    EXPECT_EQ(d->counter_total, r.counter_increment) << c.name;
                    EXPECT_EQ(d->rates[0], float(r.rate_codes[0])) << c.name;
                    EXPECT_EQ(d->extra_rate, float(r.extra_rate_code)) << c.name;
                }
                if (c.kind == DeviceKind::mmv12 || c.kind == DeviceKind::mmv3) {
                    EXPECT_EQ(d->status_bit0, 1);
                }
            }
            first = false;
        }
        blocks.push_back(-1);
    }
    sim->poll(50);
    EXPECT_EQ(blocks, c.reads) << c.name;
    EXPECT_EQ(lost, c.lost) << c.name;
    EXPECT_EQ(sim->counters().acks, c.acks) << c.name;
    EXPECT_EQ(sim->counters().junk_bytes, 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, OldFrames,
                         ::testing::Values(
                             // No check, no block: a repeat is read again.
                             OldCase{"mmv0",
                                     DeviceKind::mmv0,
                                     &CommProtocols::read_data0,
                                     "repeat@1",
                                     {0, -1, 0, 0, -1, 0, -1},
                                     {false, false, false, false},
                                     0},
                             // XOR check; confirmed, a repeat too; block rules on rows 2 and 4,
                             // the first frame taken as following its predecessor.
                             OldCase{"mmv12",
                                     DeviceKind::mmv12,
                                     &CommProtocols::read_data12,
                                     "flip@1,repeat@2",
                                     {0, -1, -1, 2, -1},
                                     {false, true},
                                     3},
                             OldCase{"mmv3",
                                     DeviceKind::mmv3,
                                     &CommProtocols::read_data3,
                                     "flip@1,repeat@2",
                                     {0, -1, -1, 2, -1},
                                     {false, true},
                                     3},
                             // Sum check; a repeat is read again and flagged by the loss rule.
                             OldCase{"uso1",
                                     DeviceKind::uso1,
                                     &CommProtocols::read_data_uso1,
                                     "flip@1,repeat@2",
                                     {0, -1, -1, 2, 2, -1},
                                     {false, true, true},
                                     0},
                             // CRC; no block rules.
                             OldCase{"ind",
                                     DeviceKind::ind,
                                     &CommProtocols::read_ind_unit,
                                     "flip@1,repeat@2",
                                     {0, -1, -1, 2, 2, -1},
                                     {false, false, false},
                                     0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OldLine, UnitExponentScalesChannelZeroWithinItsRange) {
    open(DeviceKind::uso1, &CommProtocols::read_data_uso1);
    const std::pair<int, std::pair<int, int>> cases[] = {
        {2, {-123, -12300}}, {0, {7, 7}}, {9, {3, 2147483647}}, {255, {-3, -2147483647 - 1}}, {255, {0, 0}}};
    int block = 0;
    for (auto [exponent, values] : cases) {
        UsoFrame f;
        f.block = std::uint8_t(block++);
        f.exponent = std::uint8_t(exponent);
        f.values = {std::int16_t(values.first), 1, 2, 3, 4};
        Bytes wire = {'M', 'M', 'V'};
        Bytes body = encode_uso1(f);
        wire.insert(wire.end(), body.begin(), body.end());
        ASSERT_TRUE(line->write_all(wire, 1000));
        auto d = read();
        ASSERT_TRUE(d);
        EXPECT_EQ(d->channels[0], values.second) << exponent;
        EXPECT_EQ(d->channels[1], 1);
        EXPECT_EQ(cp->get_decimal_exponent(), exponent);
    }
}

TEST_F(OldLine, BmvFrameOfTwelveFloats) {
    open(DeviceKind::mmv0, &CommProtocols::read_data0, &CommProtocols::send_data0);
    hub.bottom_depth = 1503.5;
    hub.averages["вес_на_крюке"] = 112.25;
    hub.averages["нагрузка"] = 8.5;
    hub.averages["давление_на_входе"] = 12.75;
    hub.averages["момент_ротора"] = 6.5;
    hub.config["общий_вес_колонны"] = 120;
    hub.config["нулевой_вес"] = 15;
    CommOutData out;
    ASSERT_TRUE(cp->send_data(row, &out));
    ASSERT_TRUE(sim->poll_until(1000, [&] { return sim->bmv48().size() == 1; }));
    const float want[12] = {1503.5f, 112.25f, 8.5f, 0, 0, 0, 12.75f, 0, 0, 6.5f, 120, 15};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(sim->bmv48()[0].values[std::size_t(i)], want[i]) << i;
}

TEST_F(OldLine, BmvFrameOfDigitsAndIndicators) {
    open(DeviceKind::mmv3, &CommProtocols::read_data3, &CommProtocols::send_data123);
    hub.averages["нагрузка"] = 25;           // of 50
    hub.averages["скорость_бурения"] = 5;    // of 10
    hub.averages["скорость_спо"] = 2.5;      // of 10, while tripping
    hub.averages["давление_на_входе"] = 60;  // beyond 30
    hub.averages["плотность_на_входе"] = 1.2;
    hub.indicator_codes[3] = 42;  // fixed
    struct Case {
        int number;
        int operation;
        std::uint8_t flag;
        std::array<std::uint8_t, 4> digits;
        std::array<std::uint8_t, 4> codes;
    };
    const Case cases[] = {
        {1234, 0, 1, {1, 2, 3, 4}, {127, 127, 255, 42}},
        {7, 1, 0, {0, 0, 0, 7}, {127, 63, 255, 42}},
        {123456, 0, 0, {9, 9, 9, 9}, {127, 127, 255, 42}},
        {-5, 0, 0, {0, 0, 0, 0}, {127, 127, 255, 42}},
    };
    CommOutData out;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        out.display_number = cases[i].number;
        out.out_flag0 = cases[i].flag;
        hub.operation = cases[i].operation;
        ASSERT_TRUE(cp->send_data(row, &out));
        ASSERT_TRUE(sim->poll_until(1000, [&] { return sim->bmv11().size() == i + 1; }));
        Bmv11 f = sim->bmv11()[i];
        EXPECT_TRUE(f.check_ok);
        EXPECT_EQ(f.digits, cases[i].digits) << i;
        EXPECT_EQ(f.indicators, cases[i].codes) << i;
        EXPECT_EQ(f.lamp, cases[i].flag);
    }
}

TEST_F(OldLine, IndicatorUnitCalibrationFrame) {
    open(DeviceKind::ind, &CommProtocols::read_ind_unit, &CommProtocols::send_ind_unit);
    hub.limits["вес_на_крюке"] = 180;
    hardware::Calibration cal;
    cal.points = {{0, 0}, {0.5, 20}, {1, 40}, {2, 80}, {3, 120}, {4, 160}, {5, 200}};
    hub.calibrations["вес_на_крюке"] = cal;
    CommOutData out;
    clock.clear();
    ASSERT_TRUE(cp->send_data(row, &out));
    EXPECT_EQ(clock.sleeps(), std::vector<int>{50});
    ASSERT_TRUE(sim->poll_until(1000, [&] { return sim->da_frames().size() == 1; }));
    DaFrame f = sim->da_frames()[0];
    EXPECT_TRUE(f.crc_ok);
    EXPECT_EQ(f.maximum, 180);
    ASSERT_EQ(f.count, 6);  // at most six
    const std::uint16_t codes[6] = {0, 409, 819, 1638, 2457, 3276};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(f.codes[std::size_t(i)], codes[i]) << i;
        EXPECT_EQ(f.values[std::size_t(i)], float(cal.points[std::size_t(i)].second)) << i;
    }

    // A linear parameter: its two end points, through the hoist ratio.
    hub.limits.clear();
    hub.calibrations["вес_на_крюке"] = hardware::Calibration{2.0, 5.0, {}};
    hub.config["коэффицент_полиспаста"] = 4;
    ASSERT_TRUE(cp->send_data(row, &out));
    ASSERT_TRUE(sim->poll_until(1000, [&] { return sim->da_frames().size() == 2; }));
    f = sim->da_frames()[1];
    EXPECT_TRUE(f.crc_ok);
    EXPECT_EQ(f.maximum, 0);
    ASSERT_EQ(f.count, 2);
    EXPECT_EQ(f.codes[0], 0);
    EXPECT_EQ(f.values[0], 5.0f);
    EXPECT_EQ(f.codes[1], 4095);
    EXPECT_EQ(f.values[1], 13.0f);

    // An unknown parameter: no points.
    hub.calibrations.clear();
    ASSERT_TRUE(cp->send_data(row, &out));
    ASSERT_TRUE(sim->poll_until(1000, [&] { return sim->da_frames().size() == 3; }));
    EXPECT_TRUE(sim->da_frames()[2].crc_ok);
    EXPECT_EQ(sim->da_frames()[2].count, 0);
}

}  // namespace
}  // namespace devsim
