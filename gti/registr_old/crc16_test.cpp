#include "gti/registr_old/crc16.h"

#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <random>
#include <vector>

namespace {

TEST(Crc16Ccitt, CheckValueAndEdges) {
    EXPECT_EQ(crc16_ccitt("123456789", 9), 0x29B1);
    EXPECT_EQ(crc16_ccitt("", 0), 0xFFFF);
    EXPECT_EQ(crc16_ccitt(nullptr, 0), 0xFFFF);
    const std::uint8_t a = 'A';
    EXPECT_EQ(crc16_ccitt(&a, 1), 0xB915);
}

// The table-driven CRC against Boost's bit-by-bit engine, and against a
// plain shift-register loop, over random blocks of every small length.
TEST(Crc16Ccitt, AgreesWithBitwiseReferencesOnRandomData) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 500; ++round) {
        std::vector<std::uint8_t> data(std::size_t(rng() % 300));
        for (auto& b : data) b = std::uint8_t(rng());
        boost::crc_basic<16> basic(0x1021, 0xFFFF, 0, false, false);
        basic.process_bytes(data.data(), data.size());
        std::uint16_t reg = 0xFFFF;
        for (std::uint8_t b : data) {
            reg ^= std::uint16_t(b << 8);
            for (int i = 0; i < 8; ++i)
                reg = (reg & 0x8000) ? std::uint16_t((reg << 1) ^ 0x1021) : std::uint16_t(reg << 1);
        }
        std::uint16_t got = crc16_ccitt(data.data(), data.size());
        ASSERT_EQ(got, basic.checksum()) << data.size();
        ASSERT_EQ(got, reg) << data.size();
    }
}

}  // namespace
