#pragma once
// The device side of the station's serial link, written for the simulator
// on its own, from the frame layouts and the worked examples of the link:
// the error-correcting packet framing, the check sums, the CRC and the byte
// order. It shares no code with the station's CommPort/CommProtocols on
// purpose, so that each side checks the other.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

using Bytes = std::vector<std::uint8_t>;

// --- Byte order: every multi-byte field on the link is little-endian. -----
void put_u16(Bytes& b, std::size_t at, std::uint16_t v);
void put_i16(Bytes& b, std::size_t at, std::int16_t v);
void put_f32(Bytes& b, std::size_t at, float v);
std::uint16_t get_u16(const std::uint8_t* p);
std::int16_t get_i16(const std::uint8_t* p);
float get_f32(const std::uint8_t* p);

// --- Checks -----------------------------------------------------------------
// CRC-16/CCITT-FALSE (poly 0x1021, start 0xFFFF, MSB first, no final XOR),
// bit by bit: slow and obvious, the reference for the station's table.
std::uint16_t crc16_bitwise(const std::uint8_t* data, std::size_t n);
std::uint8_t xor_of(const std::uint8_t* data, std::size_t n);
std::uint8_t sum_of(const std::uint8_t* data, std::size_t n);

// --- Packet framing ---------------------------------------------------------
// A message of L bytes (0-127) goes as L/8 + 1 packets of 14 bytes, each
// behind a two-letter marker: head (index | series << 4), check byte, the
// eight data bytes transposed as a bit matrix, and four bytes of 4-bit
// Hamming codes (data byte 2k in the high nibble of byte k).
constexpr std::size_t packet_size = 14;
constexpr std::size_t max_message = 127;

std::uint8_t hamming_code(std::uint8_t byte);
// Bit (7-i) of byte j goes to bit (7-j) of byte i; its own inverse.
void transpose(std::uint8_t data[8]);
std::uint8_t packet_check(std::uint8_t head, const std::uint8_t data[8]);

// One packet as it goes on the line (without its marker).
Bytes encode_packet(int index, int series, const std::uint8_t data[8]);
// The whole message behind the marker, packet after packet.
Bytes encode_message(std::string_view marker, const std::uint8_t* msg, std::size_t len, int series);

struct Packet {
    int index = 0;
    int series = 0;
    std::uint8_t data[8] = {};
};
// A received packet (14 bytes, marker already taken off), or nothing when
// its check byte or one of its codes does not agree. The simulator plays a
// strict receiver: it repairs nothing, so every damaged packet shows.
std::optional<Packet> decode_packet(const std::uint8_t* raw);

// Gathers the packets of one message of a known length: index 0 starts a
// message, the rest fill their places; the message is whole when places
// 0 to L/8 hold packets of one series.
class MessageAssembler {
public:
    explicit MessageAssembler(std::size_t length);
    // The whole message when this packet completed it.
    std::optional<Bytes> add(const Packet& p);
    void reset();

private:
    std::size_t length_;
    std::size_t count_;
    std::vector<std::optional<Packet>> slots_;
};

}  // namespace devsim
