#include "library/comm_packet.h"

#include <gtest/gtest.h>

#include "library/comm_port.h"

namespace {

TEST(CommPacketCodes, HammingCodesOfTheReferenceBytes) {
    struct Case {
        std::uint8_t byte, code;
    } cases[] = {{0x00, 0x0F}, {0x01, 0x0E}, {0x80, 0x07}, {0xFF, 0x07}, {0x41, 0x09}};
    for (const auto& c : cases) EXPECT_EQ(CommPort::calculate_hamming_code(c.byte), c.code) << int(c.byte);
}

TEST(CommPacketCodes, EverySingleBitErrorOfEveryByteIsRepaired) {
    for (int b = 0; b < 256; ++b) {
        auto byte = std::uint8_t(b);
        std::uint8_t code = CommPort::calculate_hamming_code(byte);
        EXPECT_EQ(CommPort::correct_byte(byte, code), byte);
        for (int bit = 0; bit < 8; ++bit)
            EXPECT_EQ(CommPort::correct_byte(std::uint8_t(byte ^ (1 << bit)), code), byte) << b << " bit " << bit;
    }
    // A difference above 8 cannot name a bit: the byte is kept.
    EXPECT_EQ(CommPort::correct_byte(0x00, 0x0F ^ 0x0C), 0x00);

    // A packet's codes sit two to a byte, the even data byte's high.
    CommPacket p;
    const std::uint8_t data[8] = {0x00, 0x01, 0x80, 0xFF, 0x41, 0x10, 0x22, 0x99};
    for (int k = 0; k < 8; ++k) {
        p.data[k] = data[k];
        std::uint8_t code = CommPort::calculate_hamming_code(data[k]);
        p.hamming[k / 2] |= std::uint8_t(k % 2 == 0 ? code << 4 : code);
    }
    EXPECT_EQ(p.hamming[0], 0xFE);
    for (int k = 0; k < 8; ++k) p.data[k] ^= std::uint8_t(1 << k);
    CommPort::correct_packet(p);
    EXPECT_TRUE(std::equal(p.data, p.data + 8, data));
}

TEST(CommPacketCodes, ChecksumOfAnAllZeroPacketAndOfSignedWords) {
    CommPacket p;
    EXPECT_EQ(p.get_contol_summ(), 0x55);
    p.head = 0x13;
    EXPECT_EQ(p.get_contol_summ(), 0x68);
    // -32768: remainder -2768, quotient -10; 32767: 2767 and 10; -1: -1 and 0.
    CommPacket q;
    const std::uint8_t words[8] = {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF, 0xB8, 0x0B};  // ..., 3000
    std::copy(words, words + 8, q.data);
    int expected = 0x55 + (-2768 + 10) + (2767 - 10) + (-1 - 0) + (0 - 1);
    EXPECT_EQ(q.get_contol_summ(), std::uint8_t(expected & 0xFF));
}

TEST(CommPacketCodes, TranspositionOfTheReferenceRowsAndItsInverse) {
    CommPacket p;
    p.data[0] = 0x01;
    p.change_bits();
    const std::uint8_t moved[8] = {0, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_TRUE(std::equal(p.data, p.data + 8, moved));

    CommPacket q;
    q.data[0] = 0x80;
    q.change_bits();
    const std::uint8_t kept[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(q.data, q.data + 8, kept));

    CommPacket r;
    for (int i = 0; i < 8; ++i) r.data[i] = std::uint8_t(0x3C ^ (i * 37));
    CommPacket s = r;
    s.change_bits();
    EXPECT_FALSE(std::equal(s.data, s.data + 8, r.data));
    s.change_bits();
    EXPECT_TRUE(std::equal(s.data, s.data + 8, r.data));
}

}  // namespace
