// The simulated cementing-control station over a pseudo-terminal: its
// frames, its reading of the packets and its faults.

#include "tools/devsim/cement_station.h"

#include <gtest/gtest.h>

#include <cstring>

#include "library/comm_port.h"

namespace devsim {
namespace {

const char* const script =
    "# a buffer pumped, then a pause\n"
    "t  pressure density temperature flow\n"
    "0  20       1.05    18          12\n"
    "10 40       1.10    20          12\n"
    "20 5        1.10    20          0\n";

// A packet as the plug-in builds it (made with Python's struct and
// binascii.crc_hqx): density 1.5, pressure 120.25, flow 12, temperature
// 36.6, volume 3.125, 62.5 %.
const Bytes good_packet = {0xFE, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x3F, 0x00, 0x80, 0xF0, 0x42, 0x00, 0x00, 0x40,
                           0x41, 0x66, 0x66, 0x12, 0x42, 0x00, 0x00, 0x48, 0x40, 0x00, 0x00, 0x7A, 0x42, 0x77, 0x67};

TEST(CementScenarioScript, LinesBetweenRowsAndErrorsNamed) {
    CementScenario s = CementScenario::parse(script);
    EXPECT_DOUBLE_EQ(s.at(5).pressure, 30);
    EXPECT_DOUBLE_EQ(s.at(15).flow, 6);
    EXPECT_DOUBLE_EQ(s.at(99).density, 1.10);
    EXPECT_THROW(CementScenario::parse("t speed\n0 1\n"), ScriptError);
    EXPECT_THROW(CementScenario::parse("t flow\n1 2\n1 3\n"), ScriptError);
}

TEST(CementStationFrames, WordsOnTheirScalesAndTheCheckWord) {
    CementSample s{0, 300, 1.25, 50, 100};
    Bytes f = cement_frame(s, 7);
    ASSERT_EQ(f.size(), 24u);
    EXPECT_EQ(f[0], 0xFE);
    EXPECT_EQ(f[2], 7);
    EXPECT_EQ(get_u16(&f[4]), 2048);   // half of 600 atm
    EXPECT_EQ(get_u16(&f[6]), 2048);   // half of 2.5 g/cm3
    EXPECT_EQ(get_u16(&f[10]), 4095);  // the full 100 l/s
    EXPECT_EQ(get_u16(&f[20]), 2048);  // channel 30
    EXPECT_EQ(get_u16(&f[22]), crc16_bitwise(&f[2], 20));

    CementPacket p;
    ASSERT_TRUE(decode_cement_packet(good_packet.data(), p));
    EXPECT_FLOAT_EQ(p.pressure, 120.25f);
    EXPECT_FLOAT_EQ(p.volume_pc, 62.5f);
    EXPECT_TRUE(p.values_ok);
    Bytes bad = good_packet;
    bad[5] ^= 0x80;
    EXPECT_FALSE(decode_cement_packet(bad.data(), p));
}

struct Line {
    std::unique_ptr<Endpoint> end = Endpoint::open_pty();
    CommPort port;
    CementStation station{*end, CementScenario::parse(script), 1.0};
    Line() {
        EXPECT_TRUE(port.open(end->address()));
        port.configure(57600, CommPort::parity_none, 150, 2048, false);
    }
    // Sends the packet, lets the station answer, reads what came.
    Bytes exchange(const Bytes& packet) {
        EXPECT_TRUE(port.write(packet.data(), int(packet.size())));
        station.poll(300);
        station.poll(100);  // a split frame's second half
        Bytes got(64);
        int n = 0;
        port.read(got.data(), int(got.size()), &n);
        got.resize(std::size_t(n));
        return got;
    }
};

TEST(CementStationLine, AnswersGoodPacketsAndPlaysItsFaults) {
    Line line;
    line.station.set_faults(parse_faults("flip@1,truncate@2,silence@3,split@4x30,stray@5x2"));
    Bytes f = line.exchange(good_packet);
    ASSERT_EQ(f.size(), 24u);
    EXPECT_EQ(get_u16(&f[22]), crc16_bitwise(&f[2], 20));

    f = line.exchange(good_packet);
    ASSERT_EQ(f.size(), 24u);
    EXPECT_NE(get_u16(&f[22]), crc16_bitwise(&f[2], 20));  // flip
    EXPECT_EQ(line.exchange(good_packet).size(), 12u);     // truncate
    EXPECT_EQ(line.exchange(good_packet).size(), 0u);      // silence
    f = line.exchange(good_packet);                        // split: whole in the end
    ASSERT_EQ(f.size(), 24u);
    EXPECT_EQ(get_u16(&f[22]), crc16_bitwise(&f[2], 20));
    f = line.exchange(good_packet);
    ASSERT_EQ(f.size(), 26u);  // stray bytes first
    EXPECT_EQ(f[2], 0xFE);

    // A packet with a wrong check word gets no answer; a lost flag and bad
    // values are counted.
    Bytes bad = good_packet;
    bad[29] ^= 1;
    EXPECT_EQ(line.exchange(bad).size(), 0u);
    Bytes lost = good_packet;
    lost[3] = 1;
    lost[7] = 0xBF;  // density -1.5
    const std::uint16_t crc = crc16_bitwise(lost.data(), 28);
    lost[28] = std::uint8_t(crc);
    lost[29] = std::uint8_t(crc >> 8);
    EXPECT_EQ(line.exchange(lost).size(), 24u);
    const CementCounters c = line.station.counters();
    EXPECT_EQ(c.packets, 7);
    EXPECT_EQ(c.bad_packets, 1);
    EXPECT_EQ(c.lost_flags, 1);
    EXPECT_EQ(c.bad_values, 1);
    const auto answers = line.station.answers();
    ASSERT_EQ(answers.size(), 7u);
    EXPECT_TRUE(answers[0].sent);
    EXPECT_FALSE(answers[1].sent);
    EXPECT_TRUE(answers[4].sent);
}

}  // namespace
}  // namespace devsim
