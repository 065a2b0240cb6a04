#include "tools/devsim/wire.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tools/devsim/frames.h"

namespace devsim {
namespace {

TEST(SimWire, HammingCodesOfTheWorkedExamples) {
    const std::pair<int, int> cases[] = {{0x00, 0x0F}, {0x01, 0x0E}, {0x80, 0x07}, {0xFF, 0x07}, {0x41, 0x09}};
    for (auto [byte, code] : cases) EXPECT_EQ(hamming_code(std::uint8_t(byte)), code) << byte;
}

TEST(SimWire, TranspositionExamplesAndItsOwnInverse) {
    std::uint8_t a[8] = {0x01, 0, 0, 0, 0, 0, 0, 0};
    transpose(a);
    const std::uint8_t want[8] = {0, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(std::memcmp(a, want, 8), 0);
    std::uint8_t b[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    transpose(b);
    EXPECT_EQ(b[0], 0x80);
    std::uint8_t c[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}, d[8];
    std::memcpy(d, c, 8);
    transpose(d);
    transpose(d);
    EXPECT_EQ(std::memcmp(c, d, 8), 0);
}

TEST(SimWire, AllZeroPacketAndTheCheckRule) {
    const std::uint8_t zero[8] = {};
    Bytes p = encode_packet(0, 0, zero);
    ASSERT_EQ(p.size(), packet_size);
    EXPECT_EQ(p[1], 0x55);
    for (int k = 10; k < 14; ++k) EXPECT_EQ(p[std::size_t(k)], 0xFF);
    // Words: 3001 adds 1 - 1, -3001 adds -1 + 1, 32767 adds 2767 - 10.
    const std::uint8_t words[8] = {0xB9, 0x0B, 0x47, 0xF4, 0xFF, 0x7F, 0, 0};
    EXPECT_EQ(packet_check(0x21, words), std::uint8_t(0x21 + 0x55 + 0 + 0 + 2767 - 10));
}

TEST(SimWire, MessagesSplitIntoPacketsAndComeBackWhole) {
    Bytes msg(60);
    for (std::size_t i = 0; i < msg.size(); ++i) msg[i] = std::uint8_t(i * 7 + 1);
    Bytes wire = encode_message("SP", msg.data(), msg.size(), 5);
    ASSERT_EQ(wire.size(), 8 * (2 + packet_size));  // 60 / 8 + 1 packets
    MessageAssembler a(msg.size());
    std::optional<Bytes> out;
    for (std::size_t k = 0; k < 8; ++k) {
        const std::uint8_t* at = wire.data() + k * (2 + packet_size);
        ASSERT_EQ(at[0], 'S');
        auto p = decode_packet(at + 2);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->series, 5);
        EXPECT_EQ(p->index, int(k));
        out = a.add(*p);
        EXPECT_EQ(out.has_value(), k == 7);
    }
    EXPECT_EQ(*out, msg);

    // An 8-byte message takes two packets, the second all padding; any bit
    // flipped on the line is refused by this strict receiver.
    Bytes eight = encode_message("DP", msg.data(), 8, 0);
    EXPECT_EQ(eight.size(), 2 * (2 + packet_size));
    for (std::size_t bit = 0; bit < packet_size * 8; ++bit) {
        Bytes bad(eight.begin() + 2, eight.begin() + 2 + long(packet_size));
        bad[bit / 8] ^= std::uint8_t(1 << (bit % 8));
        EXPECT_FALSE(decode_packet(bad.data())) << bit;
    }
}

TEST(SimWire, CrcCheckValue) {
    const char* s = "123456789";
    EXPECT_EQ(crc16_bitwise(reinterpret_cast<const std::uint8_t*>(s), 9), 0x29B1);
    EXPECT_EQ(crc16_bitwise(nullptr, 0), 0xFFFF);
}

TEST(SimFrames, RateCodes) {
    EXPECT_EQ(rate_of_code(0x8000), 0.0);
    EXPECT_EQ(rate_of_code(0x8064), 1.0);
    EXPECT_EQ(rate_of_code(0x0064), 100.0);
    EXPECT_EQ(rate_code(62), 62);
    EXPECT_EQ(rate_code(0.5), 0x8000 | 200);
    EXPECT_EQ(rate_code(0), 0);
    EXPECT_EQ(rate_code(1e9), 0x7FFF);
}

TEST(SimFrames, OlderFramesCarryTheirChecks) {
    MmvFrame f;
    for (std::size_t i = 0; i < 16; ++i) f.adc[i] = std::uint16_t(100 * i + 3);
    f.block = 9;
    f.counter_increment = -5;
    Bytes b12 = encode_mmv12(f), b3 = encode_mmv3(f);
    EXPECT_EQ(xor_of(b12.data(), b12.size()), 0);
    EXPECT_EQ(xor_of(b3.data(), b3.size()), 0);
    EXPECT_EQ(b3[33], 9);
    EXPECT_EQ(get_i16(&b3[34]), -5);
    Bytes b0 = encode_mmv0(f);
    EXPECT_EQ(get_u16(&b0[34]), 5);
    EXPECT_EQ(get_u16(&b0[36]), 0);  // a count downward

    UsoFrame u;
    u.block = 200;
    u.values = {-1, 2, 3, 4, 5};
    Bytes bu = encode_uso1(u);
    EXPECT_EQ(sum_of(bu.data(), bu.size()), 0);

    Bytes ad = encode_ad(0x1234, 777);
    EXPECT_EQ(get_u16(&ad[8]), crc16_bitwise(ad.data(), 8));
}

TEST(SimFrames, DisplayPacketFields) {
    Bytes m(DisplayPacket::size, 0);
    put_i16(m, 0, 123);
    put_i16(m, 22, 999);
    const std::string text = "\xC1\xD3\xD0\xC5\xCD\xC8\xC5";  // БУРЕНИЕ in Windows-1251
    std::memcpy(&m[32], text.data(), text.size());
    for (std::size_t i = 32 + text.size(); i < 64; ++i) m[i] = '@';
    m[64] = 3;
    m[65] = 0x0F;
    m[66] = 2;
    put_f32(m, 68, 87.5f);
    put_u16(m, 72, 0x85);
    put_u16(m, 74, 1503);
    put_u16(m, 76, 1490);
    DisplayPacket d = DisplayPacket::decode(m);
    EXPECT_EQ(d.words[0], 123);
    EXPECT_EQ(d.words[11], 999);
    EXPECT_EQ(d.text, "БУРЕНИЕ" + std::string(25, '@'));
    EXPECT_EQ(d.lamps, 3);
    EXPECT_EQ(d.fixed_0f, 0x0F);
    EXPECT_EQ(d.gas_scale, 2);
    EXPECT_EQ(d.string_weight, 87.5f);
    EXPECT_EQ(d.failures, 0x85);
    EXPECT_EQ(d.bottom_depth, 1503);
    EXPECT_EQ(d.current_depth, 1490);
}

}  // namespace
}  // namespace devsim
