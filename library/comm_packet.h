#pragma once
// The wire packet of the device link's error-correcting protocol.
//
// A message of up to 127 bytes travels as length/8 + 1 packets (so an 8-byte
// message takes two and an empty one takes one), each behind a two-byte
// marker:
//
//   offset size
//   0      1    low nibble: packet index in the message (0-15);
//               high nibble: series (message number)
//   1      1    checksum over byte 0 and the data bytes (get_contol_summ)
//   2      8    data bytes, bit-transposed on the wire (change_bits)
//   10     4    Hamming codes: byte 10+k holds the code of data byte 2k in
//               its high nibble and of data byte 2k+1 in its low nibble
//
// Checksum and codes are taken over the data in natural order; the receiver
// transposes back before it checks.

#include <cstdint>

struct CommPacket {
    std::uint8_t head = 0;  // index | series << 4
    std::uint8_t checksum = 0;
    std::uint8_t data[8] = {};
    std::uint8_t hamming[4] = {};

    int index() const { return head & 0x0F; }
    int series() const { return head & 0xF0; }

    // Transposes the data bytes as an 8 x 8 bit matrix (bit 7-i of byte j
    // becomes bit 7-j of byte i). Doing it twice restores them.
    void change_bits();

    // Byte 0 + 0x55, then for each of the four signed 16-bit little-endian
    // words w of the data: + (w % 3000) - (w / 3000), truncating toward
    // zero; the low 8 bits.
    std::uint8_t get_contol_summ() const;

    // The code of data byte k (0-7) as stored in the Hamming bytes.
    std::uint8_t code_of(int k) const {
        std::uint8_t b = hamming[k / 2];
        return k % 2 == 0 ? std::uint8_t(b >> 4) : std::uint8_t(b & 0x0F);
    }
};

static_assert(sizeof(CommPacket) == 14, "CommPacket is the 14-byte wire packet");
