#include "gti/registr_old/comm_protocols.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/comm_wire.h"
#include "gti/registr_old/config.h"
#include "platform/os/clock.h"
#include "platform/os/modem_lines.h"
#include "platform/os/test_peers.h"
#include "platform/rtl/string_list.h"

namespace {

// One packet of the console's report framing, as the console sends it.
std::string console_packet(int index, int series, const std::uint8_t* data) {
    CommPacket p;
    p.head = std::uint8_t((index & 0x0F) | (series & 0x0F) << 4);
    std::copy(data, data + 8, p.data);
    p.checksum = p.get_contol_summ();
    for (int j = 0; j < 8; ++j) {
        std::uint8_t code = CommPort::calculate_hamming_code(p.data[j]);
        p.hamming[j / 2] |= std::uint8_t(j % 2 == 0 ? code << 4 : code);
    }
    p.change_bits();
    return "SP" + std::string(reinterpret_cast<const char*>(&p), sizeof p);
}

TEST(CommProtocolsTable, BuiltInRowsAndRegistration) {
    CommProtocols cp;
    rtl::StringList names;
    names.Add("left over");
    cp.enum_protocols(&names);
    ASSERT_EQ(names.Count(), 2);
    EXPECT_EQ(names[0], "Новый пульт");
    EXPECT_EQ(names[1], "*** ЭМУЛЯЦИЯ РАБОТЫ УСО ***");
    EXPECT_EQ(cp.get_last_protocol(), 1);

    int n = cp.register_protocol("Цементаж", &CommProtocols::read_data3, nullptr, 2048, 4095, 19200, 300);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(cp.get_last_protocol(), 2);
    EXPECT_EQ(cp.configure_port(2), 300);  // closed port: only the ADC range is taken
    EXPECT_EQ(cp.get_middle_adc_value(), 2048);
    EXPECT_EQ(cp.configure_port(0), 500);
    EXPECT_EQ(cp.get_middle_adc_value(), 0);
    EXPECT_EQ(cp.get_max_adc_value(), 4095);
    EXPECT_THROW(cp.configure_port(3), std::out_of_range);
    EXPECT_THROW(cp.configure_port(-1), std::out_of_range);

    cp.unregister_protocols();
    EXPECT_EQ(cp.get_last_protocol(), 0);
    EXPECT_EQ(cp.protocol_count(), 0);
    cp.enum_protocols(&names);
    EXPECT_EQ(names.Count(), 0);
}

TEST(CommProtocolsTable, UnregisteringOneRowKeepsTheOthersNumbers) {
    CommProtocols cp;
    int calls = 0;
    auto reader = [&calls](CommProtocols&, CommIncomData*) { return ++calls > 0; };
    const int a = cp.register_protocol("A", reader, nullptr, 0, 4095, 9600, 100);
    const int b = cp.register_protocol("B", reader, nullptr, 0, 4095, 9600, 100);
    ASSERT_EQ(b, a + 1);
    // A middle row keeps its place, emptied; its number reads nothing.
    EXPECT_TRUE(cp.unregister_protocol(a));
    EXPECT_EQ(cp.protocol_count(), b + 1);
    CommIncomData d;
    EXPECT_FALSE(cp.read_data(a, &d));
    // The last rows, once empty, go; the built-in rows stay.
    EXPECT_TRUE(cp.unregister_protocol(b));
    EXPECT_EQ(cp.protocol_count(), 2);
    EXPECT_EQ(cp.get_last_protocol(), 1);
    EXPECT_FALSE(cp.unregister_protocol(b));
    EXPECT_FALSE(cp.unregister_protocol(-1));
    EXPECT_EQ(calls, 0);
}

TEST(CommProtocolsTable, AdcRangeIsThereBeforeTheFirstConfigure) {
    CommProtocols cp;
    EXPECT_EQ(cp.get_max_adc_value(), 4095);
    EXPECT_EQ(cp.get_middle_adc_value(), 0);
    EXPECT_EQ(cp.get_current_protocol(), -1);
    EXPECT_EQ(cp.get_last_block_nubmer(), -1);
}

TEST(CommProtocolsTable, ReadAndSendOnAClosedPortOrABadRow) {
    os::ManualClock clock;
    os::ScopedClock use(clock);
    CommProtocols cp;
    CommIncomData d;
    CommOutData out;
    d.channels[0] = 77;
    EXPECT_FALSE(cp.read_data(0, &d));
    EXPECT_EQ(d.channels[0], 77);  // refused before anything was touched
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_FALSE(cp.send_data(0, &out));

    // The emulator is read with the port closed; a row beyond the table, or
    // below it, pauses 20 ms and reads nothing.
    os::testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(cp.get_port().open(pty.path()));
    for (int n : {2, -1, 1000}) {
        clock.clear();
        EXPECT_FALSE(cp.read_data(n, &d)) << n;
        EXPECT_EQ(clock.sleeps(), std::vector<int>{20}) << n;
        EXPECT_EQ(cp.get_current_protocol(), n);
        EXPECT_FALSE(cp.send_data(n, &out)) << n;
    }
    // A row without a send function sends nothing.
    EXPECT_FALSE(cp.send_data(1, &out));
    EXPECT_EQ(pty.receive(1, 50), "");
}

TEST(CommProtocolsTable, ConsoleReadWithNoRowSelectedReadsNothing) {
    os::testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    CommProtocols cp;
    ASSERT_TRUE(cp.get_port().open(pty.path()));
    // A read that waited would wait this long: half of it tells the two
    // apart however loaded the machine is.
    ASSERT_TRUE(cp.get_port().configure(57600, 0, 40000));
    CommIncomData d;
    pty.send("SP");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(cp.read_data_new(&d));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "the read waited for its time-out";
    // The bytes are still there for a read that knows its row.
    EXPECT_EQ(cp.get_port().read_byte(), 'S');
}

// A line that keeps bringing good packets which never make a whole report
// (a device with a shorter report, series that never agree) must not keep
// the read, and the port lock with it, for as long as the packets come.
TEST(CommProtocolsConsole, PacketsThatNeverMakeAReportEndTheRead) {
    const std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Stream {
        const char* what;
        std::function<std::string(long)> packet;  // the k-th packet on the line
    };
    const Stream streams[] = {
        {"a report of seven packets", [&](long k) { return console_packet(int(k % 7), 0, data); }},
        {"series that never agree", [&](long k) { return console_packet(int(k % 8), int((k % 8 + k / 8) % 2), data); }},
    };
    // Far more than a pseudo-terminal holds, so the device cannot have sent
    // them all unless the read took them all.
    constexpr long stream_length = 20000;
    for (const Stream& stream : streams) {
        os::testing::PtyPair pty;
        ASSERT_TRUE(pty.ok());
        CommProtocols cp;
        ASSERT_TRUE(cp.get_port().open(pty.path()));
        ASSERT_TRUE(cp.get_port().configure(57600, 0, 500));
        std::atomic<bool> stop{false};
        std::atomic<long> sent{0};
        std::thread device([&] {
            for (long k = 0; k < stream_length && !stop; ++k) {
                if (!pty.send(stream.packet(k))) break;
                sent = k + 1;
            }
        });
        CommIncomData d;
        const bool got = cp.read_data(CommProtocols::console_protocol, &d);
        const long sent_when_done = sent;
        stop = true;
        cp.get_port().purge_input();  // room on the line, so the device sees the stop
        device.join();
        EXPECT_FALSE(got) << stream.what;
        EXPECT_LT(sent_when_done, stream_length) << stream.what << ": the read lasted as long as the packets came";
        EXPECT_EQ(pty.receive(2, 50), "") << stream.what << ": nothing to confirm";
    }
}

TEST(CommProtocolsConsole, AReportAfterAStaleHalfAndDamagedPacketsIsRead) {
    // What a healthy console can put before a report: the rest of one the
    // read came in on, of another series, and a few damaged packets.
    os::testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    CommProtocols cp;
    ASSERT_TRUE(cp.get_port().open(pty.path()));
    ASSERT_TRUE(cp.get_port().configure(57600, 0, 500));
    std::uint8_t report[64] = {};
    report[0] = 0x34;  // channel 0 = 0x1234
    report[1] = 0x12;
    report[49] = 7;  // block
    const std::uint8_t stale[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    std::string line;
    for (int i = 1; i < 8; ++i) line += console_packet(i, 2, stale);
    for (int i = 0; i < 4; ++i) {
        std::string bad = console_packet(i, 3, report + 8 * i);
        bad[3] = char(bad[3] ^ 0x81);  // two bits of the check byte: past repair
        line += bad;
    }
    for (int i = 0; i < 8; ++i) line += console_packet(i, 3, report + 8 * i);
    ASSERT_TRUE(pty.send(line));
    CommIncomData d;
    ASSERT_TRUE(cp.read_data(CommProtocols::console_protocol, &d));
    EXPECT_EQ(d.channels[0], 0x1234);
    EXPECT_EQ(d.block_number, 7);
    EXPECT_EQ(cp.get_port().get_uncorrected_error_counter(), 4);
    EXPECT_EQ(pty.receive(4), "CFCF");
}

TEST(CommProtocolsTable, EmulatorGivesOneFramePerSecond) {
    os::ManualClock clock;
    os::ScopedClock use(clock);
    CommProtocols cp;
    cp.clear();
    CommIncomData d;
    ASSERT_TRUE(cp.read_data(CommProtocols::emulator_protocol, &d));
    for (int i = 0; i < 32; ++i) {
        EXPECT_GE(d.channels[i], 1024);
        EXPECT_LT(d.channels[i], 4096);
    }
    EXPECT_EQ(d.counter_total, d.counter_increment);
    EXPECT_GE(d.counter_increment, 0);
    EXPECT_LT(d.counter_increment, 6);
    clock.clear();
    ASSERT_TRUE(cp.read_data(CommProtocols::emulator_protocol, &d));
    // It polled the clock every 10 ms until the next second began.
    EXPECT_EQ(clock.slept_ms(), 1000);
    EXPECT_EQ(cp.get_last_data().channels[5], d.channels[5]);
}

// The emulator's generator is reseeded from the clock's second at a clear:
// the test clock decides it, so two clears in one second of it give the
// same frames and a clear seconds later others.
TEST(CommProtocolsTable, TheEmulatorIsReseededByTheClocksSecond) {
    os::ManualClock clock;
    os::ScopedClock use(clock);
    os::testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    auto first_frame = [&](std::int64_t at_ms) {
        clock.advance(int(at_ms - clock.now_ms()));
        CommProtocols cp;
        EXPECT_TRUE(cp.get_port().open(pty.path()));
        cp.clear();
        CommIncomData d;
        EXPECT_TRUE(cp.read_data(CommProtocols::emulator_protocol, &d));
        return std::vector<int>(d.channels, d.channels + 32);
    };
    const auto a = first_frame(100000);
    EXPECT_EQ(first_frame(100000), a);
    EXPECT_NE(first_frame(107000), a);
}

TEST(CommProtocolsSnapshot, LastDataAndChannelRange) {
    CommProtocols cp;
    CommIncomData d;
    for (int i = 0; i < CommIncomData::channel_count; ++i) d.channels[i] = 1000 + i;
    cp.update_last_data(&d);
    EXPECT_EQ(cp.get_last_adc_value(0), 1000);
    EXPECT_EQ(cp.get_last_adc_value(95), 1095);
    for (int bad : {-1, -2, 96, 1 << 30}) EXPECT_EQ(cp.get_last_adc_value(bad), 0) << bad;
    EXPECT_EQ(cp.get_last_data().channels[40], 1040);
}

TEST(CommProtocolsSnapshot, ClearLeavesUpperChannelsAndTelemetry) {
    CommIncomData d;
    EXPECT_EQ(d.channels[95], 0);
    EXPECT_EQ(d.plus5v, 0);
    d.channels[31] = d.channels[32] = 5;
    d.rates[2] = 1;
    d.block_lost = 1;
    d.counter_total = 9;
    d.plus12v = 12;
    d.clear();
    EXPECT_EQ(d.channels[31], 0);
    EXPECT_EQ(d.channels[32], 5);
    EXPECT_EQ(d.rates[2], 0);
    EXPECT_EQ(d.block_lost, 0);
    EXPECT_EQ(d.counter_total, 0);
    EXPECT_EQ(d.plus12v, 12);

    CommOutData out;
    EXPECT_EQ(out.out_flag1, 0);
    EXPECT_EQ(out.out_param, 200.0f);
}

TEST(CommProtocolsText, AdcValueTexts) {
    EXPECT_EQ(CommProtocols::adc_value_2_str(int(0x80000000u)), "T.O.");
    EXPECT_EQ(CommProtocols::adc_value_2_str(int(0x80000001u)), "CRC");
    EXPECT_EQ(CommProtocols::adc_value_2_str(int(0x80000002u)), "???");
    EXPECT_EQ(CommProtocols::adc_value_2_str(int(0x80000003u)), "-2147483645");
    EXPECT_EQ(CommProtocols::adc_value_2_str(4095), "4095");
    EXPECT_STREQ(get_options_pilot(), "OPTIONS");
    EXPECT_STREQ(get_control_pilot(), "1CTRL");
    EXPECT_STREQ(get_ext_options_pilot(), "EX_OPTS");
}

TEST(CommProtocolsWire, ConversionsSaturateBeforeTheWrap) {
    using namespace hardware::wire;
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::int32_t> cases[] = {{2.9, 2},
                                                     {-2.9, -2},
                                                     {std::nan(""), 0},
                                                     {inf, 2147483647},
                                                     {-inf, -2147483647 - 1},
                                                     {1e12, 2147483647},
                                                     {-1e12, -2147483647 - 1},
                                                     {40000, 40000}};
    for (auto [x, want] : cases) EXPECT_EQ(to_int(x), want) << x;
    EXPECT_EQ(to_int_rounded(9.99 * 100), 999);
    EXPECT_EQ(low16(40000), 40000);
    EXPECT_EQ(std::int16_t(low16(40000)), -25536);
    EXPECT_EQ(low16(-1), 0xFFFF);
}

TEST(CommProtocolsWire, IndicatorCodes) {
    using hardware::dac_value;
    EXPECT_EQ(dac_value(-1, 25, 50), 127);
    EXPECT_EQ(dac_value(-1, 50, 50), 255);
    EXPECT_EQ(dac_value(-1, 500, 50), 255);
    EXPECT_EQ(dac_value(-1, -3, 50), 0);
    EXPECT_EQ(dac_value(-1, std::nan(""), 50), 0);
    EXPECT_EQ(dac_value(-1, 5, 0), 0);
    EXPECT_EQ(dac_value(17, 25, 50), 17);
    EXPECT_EQ(dac_value(300, 25, 50), 255);
    // The station's indicator table: a fixed code stands, an index outside
    // the eight indicators gives 0.
    PultIndicator indicators;
    indicators.values[3] = 17;
    EXPECT_EQ(indicators.get_dac_value(0, 25, 50), 127);
    EXPECT_EQ(indicators.get_dac_value(3, 25, 50), 17);
    EXPECT_EQ(indicators.get_dac_value(7, 50, 50), 255);
    for (int bad : {-1, 8, 1000}) EXPECT_EQ(indicators.get_dac_value(bad, 25, 50), 0) << bad;
}

// The display packet goes out with RTS raised (the line's converter turns
// to sending on it): raised before the first byte, dropped only after the
// last, and dropped however a send ends. A read leaves the lines alone.
TEST(CommProtocolsConsole, TheDisplayPacketGoesOutWhileRtsIsRaised) {
    os::ManualClock clock;  // the pauses between packets
    os::ScopedClock use_clock(clock);
    os::RecordingModemControl lines;
    os::ScopedModemControl use_lines(lines);
    os::testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    CommProtocols cp;
    ASSERT_TRUE(cp.get_port().open(pty.path()));
    ASSERT_TRUE(cp.get_port().configure(57600, 0, 50));
    // 78 bytes, eight a packet, each packet behind its marker.
    const std::size_t sent_bytes = 10 * (2 + sizeof(CommPacket));
    std::vector<std::string> received;  // by the console at each setting of RTS
    lines.on_change([&](const os::RecordingModemControl::Change& c) {
        if (c.line == os::ModemLine::rts) received.push_back(pty.receive(c.on ? 1 : sent_bytes, c.on ? 20 : 2000));
    });
    using C = os::RecordingModemControl::Change;
    const std::vector<C> raised_and_dropped = {{os::ModemLine::rts, true}, {os::ModemLine::rts, false}};

    CommOutData out;
    ASSERT_TRUE(cp.send_data(CommProtocols::console_protocol, &out));
    EXPECT_EQ(lines.changes(), raised_and_dropped);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], "") << "bytes left before RTS was raised";
    EXPECT_EQ(received[1].size(), sent_bytes) << "RTS was dropped before the packet had gone";
    EXPECT_EQ(received[1].substr(0, 2), "DP");
    lines.on_change(nullptr);

    CommIncomData d;
    lines.clear();
    EXPECT_FALSE(cp.read_data(CommProtocols::console_protocol, &d));
    EXPECT_TRUE(lines.changes().empty());

    // A row that sends nothing, and a line that fails under the send.
    EXPECT_FALSE(cp.send_data(1, &out));
    EXPECT_EQ(lines.changes(), raised_and_dropped);
    lines.clear();
    pty.close();
    EXPECT_FALSE(cp.send_data(CommProtocols::console_protocol, &out));
    EXPECT_EQ(lines.changes(), raised_and_dropped);
    EXPECT_FALSE(lines.state(os::ModemLine::rts));
}

TEST(CommProtocolsConsole, ConfigureBlockOnAClosedPortOrWithBadArguments) {
    CommProtocols cp;
    const std::uint8_t data[3] = {1, 2, 3};
    EXPECT_FALSE(cp.configure_pult1("EX_OPTS", data, 3, false));
    os::testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(cp.get_port().open(pty.path()));
    EXPECT_FALSE(cp.configure_pult1(nullptr, data, 3, false));
    EXPECT_FALSE(cp.configure_pult1("EX_OPTS", nullptr, 3, false));
    EXPECT_FALSE(cp.configure_pult1("EX_OPTS", data, -1, false));
    EXPECT_TRUE(cp.configure_pult1("1CTRL", data, 3, false));
    EXPECT_EQ(pty.receive(9), std::string("1CTRL\x01\x02\x03\x00", 9));
}

}  // namespace
