#include "tools/devsim/wire.h"

#include <algorithm>
#include <cstring>

namespace devsim {

void put_u16(Bytes& b, std::size_t at, std::uint16_t v) {
    b.at(at) = std::uint8_t(v & 0xFF);
    b.at(at + 1) = std::uint8_t(v >> 8);
}

void put_i16(Bytes& b, std::size_t at, std::int16_t v) { put_u16(b, at, std::uint16_t(v)); }

void put_f32(Bytes& b, std::size_t at, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int k = 0; k < 4; ++k) b.at(at + k) = std::uint8_t(u >> (8 * k));
}

std::uint16_t get_u16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::int16_t get_i16(const std::uint8_t* p) { return std::int16_t(get_u16(p)); }

float get_f32(const std::uint8_t* p) {
    std::uint32_t u =
        std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

std::uint16_t crc16_bitwise(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            bool in = (data[i] >> bit) & 1;
            bool top = crc & 0x8000;
            crc = std::uint16_t(crc << 1);
            if (in != top) crc ^= 0x1021;
        }
    }
    return crc;
}

std::uint8_t xor_of(const std::uint8_t* data, std::size_t n) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < n; ++i) x ^= data[i];
    return x;
}

std::uint8_t sum_of(const std::uint8_t* data, std::size_t n) {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i) s += data[i];
    return std::uint8_t(s);
}

std::uint8_t hamming_code(std::uint8_t byte) {
    unsigned code = 0;
    for (unsigned weight = 1; weight <= 8; ++weight)
        if (byte & (1u << (weight - 1))) code ^= weight;
    return std::uint8_t((code ^ 0x0F) & 0x0F);
}

void transpose(std::uint8_t data[8]) {
    std::uint8_t out[8] = {};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            unsigned bit = (data[j] >> (7 - i)) & 1u;
            out[i] = std::uint8_t(out[i] | bit << (7 - j));
        }
    std::memcpy(data, out, 8);
}

std::uint8_t packet_check(std::uint8_t head, const std::uint8_t data[8]) {
    long sum = long(head) + 0x55;
    for (int k = 0; k < 4; ++k) {
        long w = std::int16_t(std::uint16_t(data[2 * k] | data[2 * k + 1] << 8));
        // C++ division truncates toward zero and the remainder keeps the
        // dividend's sign: the rule of the link.
        sum += w % 3000;
        sum -= w / 3000;
    }
    return std::uint8_t(sum & 0xFF);
}

Bytes encode_packet(int index, int series, const std::uint8_t data[8]) {
    Bytes p(packet_size, 0);
    p[0] = std::uint8_t((index & 0x0F) | ((series & 0x0F) << 4));
    p[1] = packet_check(p[0], data);
    std::uint8_t body[8];
    std::memcpy(body, data, 8);
    for (int k = 0; k < 4; ++k)
        p[10 + k] = std::uint8_t(hamming_code(body[2 * k]) << 4 | hamming_code(body[2 * k + 1]));
    transpose(body);
    std::memcpy(&p[2], body, 8);
    return p;
}

Bytes encode_message(std::string_view marker, const std::uint8_t* msg, std::size_t len, int series) {
    Bytes out;
    std::size_t packets = len / 8 + 1;
    for (std::size_t k = 0; k < packets; ++k) {
        std::uint8_t data[8] = {};
        for (std::size_t i = 0; i < 8 && 8 * k + i < len; ++i) data[i] = msg[8 * k + i];
        out.insert(out.end(), marker.begin(), marker.end());
        Bytes p = encode_packet(int(k), series, data);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::optional<Packet> decode_packet(const std::uint8_t* raw) {
    Packet p;
    p.index = raw[0] & 0x0F;
    p.series = raw[0] >> 4;
    std::memcpy(p.data, raw + 2, 8);
    transpose(p.data);
    if (packet_check(raw[0], p.data) != raw[1]) return std::nullopt;
    for (int k = 0; k < 8; ++k) {
        std::uint8_t sent = (k % 2 == 0) ? std::uint8_t(raw[10 + k / 2] >> 4) : std::uint8_t(raw[10 + k / 2] & 0x0F);
        if (sent != hamming_code(p.data[k])) return std::nullopt;
    }
    return p;
}

MessageAssembler::MessageAssembler(std::size_t length) : length_(length), count_(length / 8 + 1), slots_(count_) {}

void MessageAssembler::reset() { std::fill(slots_.begin(), slots_.end(), std::nullopt); }

std::optional<Bytes> MessageAssembler::add(const Packet& p) {
    if (std::size_t(p.index) >= count_) return std::nullopt;
    if (p.index == 0) reset();
    slots_[std::size_t(p.index)] = p;
    for (const auto& s : slots_)
        if (!s || s->series != slots_[0]->series) return std::nullopt;
    Bytes msg(length_);
    for (std::size_t i = 0; i < length_; ++i) msg[i] = slots_[i / 8]->data[i % 8];
    reset();
    return msg;
}

}  // namespace devsim
