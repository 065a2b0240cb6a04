// The station's console protocol against the simulated console, over a
// pseudo-terminal and over loopback TCP.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "gti/registr_old/comm_protocols.h"
#include "platform/os/clock.h"
#include "platform/rtl/numbers.h"
#include "tools/devsim/simulator.h"
#include "tools/devsim/test_hub.h"

namespace devsim {
namespace {

using testing::TestHub;

const char* const script =
    "t  hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas methane flow_in flow_out\n"
    "0  112.5     20        12  0.3       6.5    62    61    0     0.4 0.3     32      31.5\n"
    "10 15        10        0   0         0      0     0     0.5   2   1.8     0       0\n";

class ConsoleLine : public ::testing::Test {
protected:
    void SetUp() override {
        line = Endpoint::open_pty();
        cp = std::make_unique<CommProtocols>(&hub);
        ASSERT_TRUE(cp->get_port().open(line->address())) << cp->get_port().last_error();
        ASSERT_EQ(cp->configure_port(CommProtocols::console_protocol), 500);
        // Shorter waits than the console's own keep the failing cases quick.
        ASSERT_TRUE(cp->get_port().configure(57600, CommPort::parity_none, 150, 2048, false));
        start_sim();
    }
    void start_sim() { sim = std::make_unique<Simulator>(*line, scenario, options); }

    std::optional<CommIncomData> read() {
        CommIncomData d;
        if (!cp->read_data(CommProtocols::console_protocol, &d)) return std::nullopt;
        return d;
    }

    os::ManualClock clock;
    os::ScopedClock use_clock{clock};
    TestHub hub;
    ScriptedScenario scenario = ScriptedScenario::parse(script);
    SimOptions options;
    std::unique_ptr<Endpoint> line;
    std::unique_ptr<CommProtocols> cp;
    std::unique_ptr<Simulator> sim;
};

TEST_F(ConsoleLine, ReportsArriveWithChannelsCountersRatesAndTelemetry) {
    int total = 0;
    for (int k = 0; k < 5; ++k) {
        SentReport r = sim->send_report();
        auto d = read();
        ASSERT_TRUE(d) << "report " << k;
        for (int i = 0; i < 24; ++i) EXPECT_EQ(d->channels[i], r.channels[std::size_t(i)]) << i;
        for (int i = 24; i < 32; ++i) EXPECT_EQ(d->channels[i], 0);
        EXPECT_EQ(d->block_number, k);
        EXPECT_EQ(d->block_lost, 0);
        EXPECT_EQ(d->counter_increment, r.counter_increment);
        EXPECT_EQ(d->counter_total, r.counter_increment);
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(d->rates[std::size_t(i)], float(rate_of_code(r.rate_codes[std::size_t(i)])));
        EXPECT_EQ(d->status_bit0, 1);  // pumps on
        total += d->counter_increment;
        // The station confirms every report.
        EXPECT_TRUE(sim->poll_until(1000, [&] { return sim->counters().confirmations == k + 1; }));
    }
    // The block went down 0.2 m a report: 20 pulses each after the first.
    EXPECT_EQ(total, 80);
    CommIncomData last = cp->get_last_data();
    EXPECT_EQ(last.block_number, 4);
    EXPECT_EQ(last.channels[0], sim->sent().back().channels[0]);
    EXPECT_NEAR(last.plus5v, 5.0, 0.01);
    EXPECT_NEAR(last.plus12v, 12.0, 0.02);
    EXPECT_NEAR(last.supply_voltage, 3.3, 0.01);
    EXPECT_NEAR(last.temperature, 25.0, 0.2);
    EXPECT_NEAR(rtl::StrToFloat(hub.variables.at("pult.+5v")), 5.0, 0.01);
    EXPECT_NEAR(rtl::StrToFloat(hub.variables.at("pult.+12v")), 12.0, 0.02);
    EXPECT_NEAR(rtl::StrToFloat(hub.variables.at("pult.voltage")), 3.3, 0.01);
    EXPECT_NEAR(rtl::StrToFloat(hub.variables.at("pult.tempr")), 25.0, 0.2);
    EXPECT_EQ(sim->counters().junk_bytes, 0);
}

TEST_F(ConsoleLine, RatesInThePeriodForm) {
    // A pump at half a stroke a minute goes as a period of 200.
    scenario = ScriptedScenario::parse("t pump1 pump2\n0 0.5 1000\n");
    start_sim();
    sim->send_report();
    auto d = read();
    ASSERT_TRUE(d);
    EXPECT_FLOAT_EQ(d->rates[0], 0.5f);
    EXPECT_FLOAT_EQ(d->rates[1], 1000.0f);
    EXPECT_FLOAT_EQ(d->rates[2], 0.0f);
}

struct FaultCase {
    const char* faults;      // on report 1 (of 0, 1, 2)
    std::vector<int> reads;  // block of each read, -1 for a failed one
    std::vector<bool> lost;  // block_lost of each good read
    int corrected;           // packets the station repaired
};

class ConsoleFaults : public ConsoleLine, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ConsoleFaults, HandledAsTheLinkRequires) {
    const FaultCase& c = GetParam();
    sim->set_faults(parse_faults(c.faults));
    std::vector<int> blocks;
    std::vector<bool> lost;
    for (int k = 0; k < 3; ++k) {
        sim->send_report();
        // After each report, read until a read fails.
        while (auto d = read()) {
            blocks.push_back(d->block_number);
            lost.push_back(d->block_lost);
        }
        blocks.push_back(-1);
    }
    EXPECT_EQ(blocks, c.reads) << c.faults;
    EXPECT_EQ(lost, c.lost) << c.faults;
    EXPECT_EQ(cp->get_port().get_corrected_error_counter(), c.corrected) << c.faults;
}

INSTANTIATE_TEST_SUITE_P(Faults, ConsoleFaults,
                         ::testing::Values(FaultCase{"", {0, -1, 1, -1, 2, -1}, {false, false, false}, 0},
                                           // One flipped bit is repaired.
                                           FaultCase{"flip@1", {0, -1, 1, -1, 2, -1}, {false, false, false}, 1},
                                           // Two flipped bits lose the packet and so the report: the next one
                                           // comes after a lost block.
                                           FaultCase{"flip@1x2", {0, -1, -1, 2, -1}, {false, true}, 0},
                                           // A few stray bytes are skipped; five are five bad packets, which
                                           // ends the read, and the report is taken by the next one.
                                           FaultCase{"stray@1x3", {0, -1, 1, -1, 2, -1}, {false, false, false}, 0},
                                           FaultCase{"stray@1x5", {0, -1, -1, 1, 2, -1}, {false, false, false}, 0},
                                           // The repeat of block 1 is refused (the second -1 is the repeat).
                                           FaultCase{"repeat@1", {0, -1, 1, -1, 2, -1}, {false, false, false}, 0},
                                           FaultCase{"skip@1", {0, -1, 2, -1, 3, -1}, {false, true, false}, 0},
                                           FaultCase{"truncate@1", {0, -1, -1, 2, -1}, {false, true}, 0},
                                           FaultCase{"silence@1", {0, -1, -1, 1, -1}, {false, false}, 0}));

TEST_F(ConsoleLine, RepeatedReportLeavesOnlyStatusAndBlock) {
    sim->set_faults(parse_faults("repeat@0"));
    sim->send_report();
    ASSERT_TRUE(read());
    CommIncomData d;
    EXPECT_FALSE(cp->read_data(CommProtocols::console_protocol, &d));
    EXPECT_EQ(d.block_number, 0);
    EXPECT_EQ(d.status_bit0, 1);
    EXPECT_EQ(d.channels[0], 0);
    EXPECT_EQ(d.counter_increment, 0);
    EXPECT_EQ(d.rates[0], 0);
}

TEST_F(ConsoleLine, AHeldScenarioStartsWithItsFaultsAtTheRelease) {
    options.hold = true;
    start_sim();
    sim->set_faults(parse_faults("skip@1"));
    // Held: the first moment again and again, the fault not yet due.
    for (int k = 0; k < 3; ++k) {
        SentReport r = sim->send_report();
        EXPECT_EQ(r.t, 0) << k;
        EXPECT_TRUE(r.faults.empty()) << k;
        ASSERT_TRUE(read());
    }
    sim->release();
    const std::vector<double> times = {0, 0.2, 0.4};
    for (std::size_t k = 0; k < times.size(); ++k) {
        SentReport r = sim->send_report();
        EXPECT_DOUBLE_EQ(r.t, times[k]) << k;
        EXPECT_EQ(r.faults.size(), k == 1 ? 1u : 0u) << k;
        ASSERT_TRUE(read());
    }
    // The skipped block is the fourth after the three held ones.
    EXPECT_EQ(cp->get_last_data().block_number, 6);
}

TEST_F(ConsoleLine, AFrameWhoseRestIsLateIsWaitedForThenTakenAsJunk) {
    // Half a display packet: a pause far longer than the line's quiet is
    // not yet its end, but a pause of seconds is.
    const std::string half = "DP" + std::string(10, '\x01');
    ASSERT_TRUE(cp->get_port().write(half.data(), int(half.size())));
    sim->poll(300);
    EXPECT_EQ(sim->counters().junk_bytes, 0);
    EXPECT_TRUE(sim->poll_until(5000, [&] { return sim->counters().junk_bytes > 0; }));
    EXPECT_EQ(sim->counters().junk_bytes, int(half.size()));
}

TEST_F(ConsoleLine, UnconfirmedReportIsSentAgain) {
    options.resend_unconfirmed = true;
    start_sim();
    sim->set_faults(parse_faults("flip@0x2"));
    sim->send_report();
    EXPECT_FALSE(read());  // damaged: no confirmation
    sim->poll(50);
    EXPECT_EQ(sim->counters().confirmations, 0);
    SentReport again = sim->send_report();
    EXPECT_EQ(again.block, 0);
    auto d = read();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->block_number, 0);
    EXPECT_EQ(d->block_lost, 0);
    EXPECT_TRUE(sim->poll_until(1000, [&] { return sim->counters().confirmations == 1; }));
    EXPECT_EQ(sim->send_report().block, 1);
}

TEST_F(ConsoleLine, BlockNumbersWrapAfter255) {
    options.first_block = 254;
    start_sim();
    for (int want : {254, 255, 0, 1}) {
        sim->send_report();
        auto d = read();
        ASSERT_TRUE(d);
        EXPECT_EQ(d->block_number, want);
        EXPECT_EQ(d->block_lost, 0) << want;
    }
    // 0 after 254 is a loss; clear() forgets the last block.
    cp->clear();
    options.first_block = 254;
    start_sim();
    sim->set_faults(parse_faults("skip@1"));
    sim->send_report();
    ASSERT_TRUE(read());
    sim->send_report();
    auto d = read();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->block_number, 0);
    EXPECT_EQ(d->block_lost, 1);
}

TEST_F(ConsoleLine, DisplayPacketDecodedByTheConsole) {
    hub.variables["pult.text"] = "Бурение: нагрузка 8 т, ёрш";
    hub.variables["pult.plotn_indi"] = "1,18";
    hub.variables["pult.level_indi"] = "0.5";
    hub.variables["pult.gaz_indi"] = "9.99";
    hub.variables["pult.cur_depth"] = "1490.9";
    hub.averages["момент_ротора"] = 6.55;
    hub.averages["скорость_бурения"] = 12.4;
    hub.averages["расход_на_входе"] = 32.5;
    hub.averages["расход_на_выходе"] = 31.49;
    hub.failures["давление_на_входе"] = true;
    hub.failures["расход_на_входе"] = true;
    hub.failures["расход_на_выходе"] = true;
    hub.failures["момент_ротора"] = true;
    hub.config["общий_вес_колонны"] = 87.5;
    hub.bottom_depth = 1503.7;

    CommOutData out;
    out.values[1] = 17.9f;
    out.values[2] = -3;     // negative: 0
    out.values[3] = 40000;  // wraps to a negative word: 0
    out.values[9] = 70000;  // wraps to 4464
    out.values[10] = std::nanf("");
    out.values[12] = 1e30f;  // saturates, then wraps to -1: 0
    out.values[0] = 555;     // replaced by the torque
    out.out_flag0 = 1;
    out.out_flag1 = 1;
    ASSERT_TRUE(cp->send_data(CommProtocols::console_protocol, &out));
    ASSERT_TRUE(sim->poll_until(2000, [&] { return sim->displays().size() == 1; }));
    DisplayPacket p = sim->displays()[0];
    const std::int16_t words[16] = {66, 17, 0, 0, 12, 118, 50, 33, 31, 4464, 0, 999, 0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(p.words[std::size_t(i)], words[i]) << i;
    EXPECT_EQ(p.text, "БУРЕНИЕ: НАГРУЗКА 8 Т, ЁРШ" + std::string(6, '@'));
    EXPECT_EQ(p.text_bytes.size(), 32u);
    EXPECT_EQ(p.lamps, 3);
    EXPECT_EQ(p.fixed_0f, 0x0F);
    EXPECT_EQ(p.gas_scale, 2);
    EXPECT_EQ(p.string_weight, 87.5f);
    // Torque (bit 0, shared with the outlet flow), inlet pressure, inlet flow.
    EXPECT_EQ(p.failures, 0x83);
    EXPECT_EQ(p.bottom_depth, 1503);
    EXPECT_EQ(p.current_depth, 1490);
    EXPECT_EQ(sim->counters().bad_packets, 0);
}

TEST_F(ConsoleLine, DisplayTextAndGasCases) {
    struct Case {
        const char* text;
        const char* sorvi;
        const char* alarm;
        const char* gas;
        std::string want_text;
        int want_gas;
        int want_scale;
    };
    const std::string forty = "abcdefghijklmnopqrstuvwxyzабвгдежзий";  // 40 characters
    const Case cases[] = {
        {forty.c_str(), "", "", "10", "ABCDEFGHIJKLMNOPQRSTUVWXYZАБВГД@", 100, 1},
        {"", "", "", "0", std::string(32, '@'), 0, 2},
        {"текст", "сорви", "", "-1", "СОРВИ" + std::string(27, '@'), 0, 2},
        {"текст", "сорви", "авария!", "55.55", "АВАРИЯ!" + std::string(25, '@'), 556, 1},
        // A character the console's code page lacks goes as '?'.
        {"λ", "", "", "0.004", "?" + std::string(31, '@'), 0, 2},
    };
    CommOutData out;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        hub.variables["pult.text"] = c.text;
        hub.variables["sorvi.pult.text"] = c.sorvi;
        hub.variables["prom_alarm_string"] = c.alarm;
        hub.variables["pult.gaz_indi"] = c.gas;
        ASSERT_TRUE(cp->send_data(CommProtocols::console_protocol, &out));
        ASSERT_TRUE(sim->poll_until(2000, [&] { return sim->displays().size() == i + 1; }));
        DisplayPacket p = sim->displays()[i];
        EXPECT_EQ(p.text, c.want_text) << i;
        EXPECT_EQ(p.words[11], c.want_gas) << i;
        EXPECT_EQ(p.gas_scale, c.want_scale) << i;
        EXPECT_EQ(p.lamps, 0);
    }
}

TEST_F(ConsoleLine, ConfigurationBlockAfterTwoReports) {
    std::vector<std::uint8_t> data(202, 0x55);
    data[0] = 4;
    data[1] = 0;
    data[2] = 3;
    // The console reports first; the block follows its second good report,
    // also before any acquisition read has chosen the console's row.
    ASSERT_EQ(cp->get_current_protocol(), -1);
    sim->send_report();
    sim->send_report();
    ASSERT_TRUE(cp->configure_pult1(get_ext_options_pilot(), data.data(), int(data.size()), true));
    ASSERT_TRUE(sim->poll_until(2000, [&] { return sim->blocks().size() == 1; }));
    ConfigBlock b = sim->blocks()[0];
    EXPECT_EQ(b.header, "EX_OPTS");
    EXPECT_EQ(b.data, data);
    EXPECT_TRUE(b.check_ok);
    EXPECT_EQ(b.command(), 4);
    // Both reports were confirmed the console's way.
    EXPECT_TRUE(sim->poll_until(1000, [&] { return sim->counters().acks >= 2; }));
    EXPECT_EQ(cp->get_current_protocol(), -1);

    // A block of a length the console's manual leaves open ends where the
    // line goes quiet.
    const std::uint8_t ctrl[5] = {9, 8, 7, 6, 5};
    ASSERT_TRUE(cp->configure_pult1(get_control_pilot(), ctrl, 5, false));
    ASSERT_TRUE(sim->poll_until(2000, [&] { return sim->blocks().size() == 2; }));
    b = sim->blocks()[1];
    EXPECT_EQ(b.header, "1CTRL");
    EXPECT_EQ(b.data, std::vector<std::uint8_t>(ctrl, ctrl + 5));
    EXPECT_TRUE(b.check_ok);
}

TEST_F(ConsoleLine, ConfigurationBlockToASilentConsoleIsNotSent) {
    CommIncomData d;
    EXPECT_FALSE(cp->read_data(CommProtocols::console_protocol, &d));
    clock.clear();
    const std::uint8_t data[4] = {1, 0, 9, 0};
    EXPECT_FALSE(cp->configure_pult1(get_options_pilot(), data, 4, true));
    EXPECT_EQ(clock.sleeps(), std::vector<int>(10, 200));
    sim->poll(100);
    EXPECT_TRUE(sim->blocks().empty());
    EXPECT_EQ(sim->counters().junk_bytes, 0);
}

// The whole cycle over TCP with the simulator running on its own: reports
// every 50 ms, the station reading, confirming and answering with its
// display packet.
TEST(ConsoleOverTcp, FreeRunningCycle) {
    os::ManualClock clock;  // the link's fixed pauses, not the waits
    os::ScopedClock use_clock(clock);
    TestHub hub;
    hub.variables["pult.text"] = "tcp";
    auto line = Endpoint::listen_tcp();
    GeneratedScenario rig(3);
    SimOptions options;
    options.period_ms = 50;
    options.max_reports = 8;
    options.max_ms = 10000;
    Simulator sim(*line, rig, options);
    CommProtocols cp(&hub);
    ASSERT_TRUE(cp.get_port().open(line->address()));
    cp.configure_port(CommProtocols::console_protocol);
    std::thread device([&] { sim.run(); });

    int good = 0;
    CommOutData out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while (good < 6 && std::chrono::steady_clock::now() < deadline) {
        CommIncomData d;
        if (!cp.read_data(CommProtocols::console_protocol, &d)) continue;
        ++good;
        EXPECT_TRUE(cp.send_data(CommProtocols::console_protocol, &out));
    }
    device.join();
    EXPECT_GE(good, 6);
    EXPECT_GE(sim.counters().confirmations, 6);
    ASSERT_GE(sim.displays().size(), 5u);
    EXPECT_EQ(sim.displays()[0].text, "TCP" + std::string(29, '@'));
    EXPECT_EQ(sim.counters().bad_packets, 0);
}

}  // namespace
}  // namespace devsim
