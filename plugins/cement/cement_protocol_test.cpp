#include "plugins/cement/cement_protocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "gti/registr_old/comm_data.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/crc16.h"
#include "platform/os/clock.h"
#include "platform/os/test_peers.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Made with Python's struct and binascii.crc_hqx(data, 0xFFFF).
const Bytes packet_vector = {0xFE, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x3F, 0x00, 0x80, 0xF0, 0x42, 0x00, 0x00, 0x40,
                             0x41, 0x66, 0x66, 0x12, 0x42, 0x00, 0x00, 0x48, 0x40, 0x00, 0x00, 0x7A, 0x42, 0x77, 0x67};
const Bytes lost_zero_vector = {0xFE, 0xFF, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0,
                                0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x61};
// Body after the marker: two ignored bytes, words 100..800, 3000 for
// channel 30, the check word.
const Bytes frame_body = {0x12, 0x34, 0x64, 0x00, 0xC8, 0x00, 0x2C, 0x01, 0x90, 0x01, 0xF4,
                          0x01, 0x58, 0x02, 0xBC, 0x02, 0x20, 0x03, 0xB8, 0x0B, 0x77, 0x3A};

TEST(CementStationLine, PacketBytesAsTheStationReadsThem) {
    cement::PacketValues v{1.5f, 120.25f, 12.0f, 36.6f, 3.125f, 62.5f};
    auto p = cement::build_packet(v, false);
    EXPECT_EQ(Bytes(p.begin(), p.end()), packet_vector);
    // Negative and not-a-number values go out as 0, the flag in byte 3.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    cement::PacketValues bad{-1.0f, nan, -0.0f, -std::numeric_limits<float>::infinity(), -3.0f, nan};
    p = cement::build_packet(bad, true);
    EXPECT_EQ(Bytes(p.begin(), p.end()), lost_zero_vector);
}

TEST(CementStationLine, FrameWordsGoToTheirChannelsOnlyWithAGoodCheck) {
    CommIncomData d;
    ASSERT_TRUE(cement::parse_frame(frame_body.data(), &d));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d.channels[i], 100 * (i + 1));
    EXPECT_EQ(d.channels[30], 3000);
    EXPECT_EQ(d.channels[8], 0);
    for (std::size_t at : {std::size_t(0), std::size_t(9), std::size_t(21)}) {
        Bytes damaged = frame_body;
        damaged[at] ^= 0x10;
        CommIncomData e;
        EXPECT_FALSE(cement::parse_frame(damaged.data(), &e)) << at;
        EXPECT_EQ(e.channels[0], 0);
    }
}

// The station's side on a pseudo-terminal: takes the packet, answers with
// the given bytes. The exchanges' pace runs on a test clock: a wait for
// the next second passes at once and is counted. An answer is waited for as
// long as only a hung test takes, so that a loaded machine playing the
// station late changes nothing; the waits that must run out (a frame cut
// short, silence) are short, and the bytes they meet are on the line before
// the packet goes out.
struct Station {
    static constexpr int answer_wait_ms = 60000;
    static constexpr int give_up_ms = 100;
    os::ManualClock clock;
    os::ScopedClock use{clock};
    os::testing::PtyPair pty;
    CommProtocols protocols;
    cement::StationLink link;
    Station() {
        EXPECT_TRUE(protocols.get_port().open(pty.path()));
        wait_at_most(answer_wait_ms);
    }
    void wait_at_most(int ms) { protocols.get_port().configure(57600, CommPort::parity_none, ms, 2048, false); }
    // One exchange with the station answering `answer` once it has the
    // packet; returns the packet.
    Bytes exchange(const Bytes& answer, bool& ok, CommIncomData& d) {
        Bytes packet;
        std::thread station([&] {
            const std::string got = pty.receive(cement::packet_size, answer_wait_ms);
            packet.assign(got.begin(), got.end());
            if (!answer.empty()) pty.send(answer.data(), answer.size());
        });
        ok = link.exchange(protocols, &d);
        station.join();
        return packet;
    }
    // One exchange the station never finishes answering: `sent` (the start
    // of a frame, or nothing) waits on the line, and no more comes. Only
    // after an exchange that went well: a failed one drops what waits.
    Bytes exchange_unfinished(const Bytes& sent, bool& ok, CommIncomData& d) {
        EXPECT_TRUE(sent.empty() || (pty.send(sent.data(), sent.size()) && pty.wait_delivered(sent.size(), answer_wait_ms)));
        wait_at_most(give_up_ms);
        ok = link.exchange(protocols, &d);
        wait_at_most(answer_wait_ms);
        const std::string got = pty.receive(cement::packet_size, answer_wait_ms);
        return Bytes(got.begin(), got.end());
    }
};

Bytes framed(const Bytes& body) {
    Bytes f(body.size() + 2);
    f[0] = 0xFE;
    f[1] = 0xFF;
    std::copy(body.begin(), body.end(), f.begin() + 2);
    return f;
}

TEST(CementStationLine, ExchangesOverASerialLineAndTheLostFlag) {
    Station s;
    ASSERT_TRUE(s.pty.ok());
    s.link.publish({1.5f, 120.25f, 12.0f, 36.6f, 3.125f, 62.5f});
    bool ok = false;
    CommIncomData d;
    // The first packet after start carries the flag: nothing came before.
    Bytes p = s.exchange(framed(frame_body), ok, d);
    ASSERT_EQ(p.size(), 30u);
    EXPECT_EQ(p[3], 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(d.channels[7], 800);
    EXPECT_FALSE(s.link.link_lost());

    struct Case {
        const char* what;
        Bytes answer;
        bool finished;     // the whole answer comes after the packet
        std::size_t left;  // of it, what the failed exchange leaves on the line
    };
    Bytes bad_check = framed(frame_body);
    bad_check[10] ^= 1;
    const Bytes whole = framed(frame_body);
    Bytes late_marker(1, 0x00);
    for (std::uint8_t b : framed(frame_body)) late_marker.push_back(b);
    const Case failures[] = {{"wrong check word", bad_check, true, 0},
                             {"a byte before the marker", late_marker, true, whole.size()},
                             {"short frame", Bytes(whole.begin(), whole.begin() + 12), false, 0},
                             {"silence", {}, false, 0}};
    for (const Case& c : failures) {
        SCOPED_TRACE(c.what);
        CommIncomData e;
        p = c.finished ? s.exchange(c.answer, ok, e) : s.exchange_unfinished(c.answer, ok, e);
        ASSERT_EQ(p.size(), 30u);
        EXPECT_EQ(p[3], 0);  // the exchange before went well
        EXPECT_FALSE(ok);
        EXPECT_TRUE(s.link.link_lost());
        EXPECT_EQ(e.channels[0], 0);
        // What is left is on the line before the next exchange drops it.
        ASSERT_TRUE(s.pty.wait_delivered(c.left, Station::answer_wait_ms));
        // The next packet tells the station.
        p = s.exchange(framed(frame_body), ok, e);
        EXPECT_EQ(p[3], 1);
        EXPECT_TRUE(ok);
        EXPECT_EQ(e.channels[7], 800);
    }
}

// Junk before a frame fails one exchange; the next keeps to the next second
// and drops what waits on the line (the rest of the junk, the frame that
// came behind it) before it asks, so it reads the answer to its own packet.
TEST(CementStationLine, AfterJunkTheNextExchangeReadsItsOwnAnswerOnTheNextSecond) {
    Station s;
    ASSERT_TRUE(s.pty.ok());
    bool ok = false;
    CommIncomData d;
    s.exchange(framed(frame_body), ok, d);
    ASSERT_TRUE(ok);
    const std::int64_t second = s.clock.now_ms() / 1000;

    Bytes junk(40, 0x55);
    Bytes old = framed(frame_body);
    junk.insert(junk.end(), old.begin(), old.end());
    s.clock.advance(1000);
    s.exchange(junk, ok, d);
    EXPECT_FALSE(ok);
    ASSERT_TRUE(s.pty.wait_delivered(39, Station::answer_wait_ms));  // all of it waits on the line
    EXPECT_EQ(s.clock.now_ms() / 1000, second + 1);

    // The station's next frame: other words, so a frame read late shows.
    Bytes fresh_body = frame_body;
    fresh_body[2] = 0x65;  // channel 0: 101
    const std::uint16_t crc = crc16_ccitt(fresh_body.data(), 20);
    fresh_body[20] = std::uint8_t(crc & 0xFF);
    fresh_body[21] = std::uint8_t(crc >> 8);
    CommIncomData e;
    const Bytes p = s.exchange(framed(fresh_body), ok, e);
    EXPECT_TRUE(ok);
    EXPECT_EQ(e.channels[0], 101);
    EXPECT_EQ(p[3], 1);
    // It waited for the next second of the clock, not a moment more.
    EXPECT_EQ(s.clock.now_ms() / 1000, second + 2);
}

}  // namespace
