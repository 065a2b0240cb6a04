#include "library/serial/serial_list.h"

#include "platform/rtl/codepage.h"
#include "platform/rtl/extended.h"
#include "platform/rtl/stream.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <istream>
#include <ostream>
#include <stdexcept>

namespace lib {

namespace {

template <class U>
void put_le(serial_list& list, U value) {
    char bytes[sizeof(U)];
    for (std::size_t i = 0; i < sizeof(U); ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    list.process_binary(bytes, static_cast<int>(sizeof(U)));
}

// Reads sizeof(U) bytes into value; a read past the end leaves it unchanged.
template <class U>
void get_le(serial_list& list, U& value) {
    char bytes[sizeof(U)];
    std::int64_t before = list.bytes_left();
    list.process_binary(bytes, static_cast<int>(sizeof(U)));
    if (before >= 0 && before < static_cast<std::int64_t>(sizeof(U))) return;  // ran past the end
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        v |= static_cast<U>(static_cast<U>(static_cast<unsigned char>(bytes[i])) << (8 * i));
    value = v;
}

template <class U, class T>
serial_list& transfer_integral(serial_list& list, T& value) {
    switch (list.get_serial_state()) {
        case serial_write: put_le(list, static_cast<U>(value)); break;
        case serial_read: {
            U raw = static_cast<U>(value);
            get_le(list, raw);
            value = static_cast<T>(raw);
            break;
        }
        default: {
            // Let the list decide what an undefined state means (the buffer throws).
            U raw = 0;
            char bytes[sizeof(U)];
            std::memcpy(bytes, &raw, sizeof(U));
            list.process_binary(bytes, static_cast<int>(sizeof(U)));
        }
    }
    return list;
}

void write_int32(rtl::Stream* stream, std::int32_t v) {
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (8 * i));
    serial_write_bytes(stream, bytes, 4);
}

}  // namespace

// ---- serial_list -----------------------------------------------------------

int serial_list::read_range_size(std::size_t min_element_bytes) {
    std::int32_t n = 0;
    *this | n;
    if (n < 0) throw std::runtime_error("error while deserialization: size < 0");
    std::int64_t left = bytes_left();
    if (left >= 0 && min_element_bytes > 0 &&
        static_cast<std::uint64_t>(n) * min_element_bytes > static_cast<std::uint64_t>(left))
        throw std::runtime_error("error while deserialization: size " + std::to_string(n) + " exceeds the " +
                                 std::to_string(left) + " bytes left");
    return n;
}

void serial_list::write_range_size(std::size_t count) {
    if (count > static_cast<std::size_t>(INT32_MAX))
        throw std::length_error("serial_list::write_range_size: too many elements");
    std::int32_t n = static_cast<std::int32_t>(count);
    *this | n;
}

// ---- serial_buffer ---------------------------------------------------------

void serial_buffer::process_binary(char* data, int size) {
    if (size < 0) throw std::invalid_argument("serial_buffer::process_binary: size < 0");
    switch (state_) {
        case serial_write:
            if (static_cast<std::size_t>(size) > static_cast<std::size_t>(INT_MAX) - data_.size())
                throw std::length_error("serial_buffer::process_binary: record over 2 GiB");
            data_.insert(data_.end(), data, data + size);
            break;
        case serial_read:
            if (pos_ == -1) throw std::runtime_error("binary_deserial_list::process_binary: eof");
            if (static_cast<std::size_t>(pos_) + static_cast<std::size_t>(size) > data_.size()) {
                pos_ = -1;
                return;
            }
            if (size) std::memcpy(data, data_.data() + pos_, static_cast<std::size_t>(size));
            pos_ += size;
            break;
        case serial_undefined: throw std::logic_error("serial_buffer::state is undefinded");
    }
}

std::int64_t serial_buffer::bytes_left() {
    if (state_ != serial_read) return -1;
    if (pos_ < 0) return 0;
    return static_cast<std::int64_t>(data_.size()) - pos_;
}

std::uint8_t serial_checksum(const char* data, std::size_t size) {
    unsigned sum = 85;
    for (std::size_t i = 0; i < size; ++i) sum += static_cast<unsigned char>(data[i]);
    return static_cast<std::uint8_t>(sum);
}

void SerialOutputBuffer::save_to_stream(rtl::Stream* stream) const {
    write_int32(stream, static_cast<std::int32_t>(data_.size()));
    serial_write_bytes(stream, data_.data(), data_.size());
    std::uint8_t sum = serial_checksum(data_.data(), data_.size());
    serial_write_bytes(stream, &sum, 1);
}

void SerialInputBuffer::load_from_stream(rtl::Stream* stream, int size) {
    data_.clear();
    pos_ = 0;
    if (size < 0) throw std::runtime_error("error while deserialization: size < 0");
    std::int64_t left = stream->Remaining();
    if (left >= 0 && static_cast<std::int64_t>(size) + 1 > left)
        throw std::runtime_error("record length " + std::to_string(size) + " exceeds the " + std::to_string(left) +
                                 " bytes left in the stream");
    // Of a stream that can't tell its size, take what arrives in steps, so
    // that a damaged length costs no more memory than the data really sent.
    constexpr std::size_t kStep = 1 << 20;
    std::size_t total = static_cast<std::size_t>(size);
    if (left >= 0) data_.reserve(total);
    while (data_.size() < total) {
        std::size_t at = data_.size();
        std::size_t n = std::min(kStep, total - at);
        data_.resize(at + n);
        serial_read_bytes(stream, data_.data() + at, n);
    }
    std::uint8_t sum = 0;
    serial_read_bytes(stream, &sum, 1);
    if (sum != serial_checksum(data_.data(), data_.size())) throw serial_checksum_error();
    state_ = serial_read;
}

void SerialInputBuffer::copy_from(const SerialOutputBuffer& out) {
    data_ = out.bytes();
    pos_ = 0;
}

// ---- stream transfers ------------------------------------------------------

void serial_read_bytes(rtl::Stream* stream, void* data, std::size_t size) {
    auto* p = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        std::size_t n = stream->Read(p + done, size - done);
        if (n == 0) throw std::runtime_error("Ошибка чтения данных из сокета");
        done += n;
    }
}

void serial_write_bytes(rtl::Stream* stream, const void* data, std::size_t size) {
    if (size == 0) return;
    if (stream->Write(data, size) != size) throw std::runtime_error("error writing to stream");
}

std::ostream& operator<<(std::ostream& out, serial_buffer& buffer) {
    std::uint32_t n = static_cast<std::uint32_t>(buffer.data_.size());
    char size[4];
    for (int i = 0; i < 4; ++i) size[i] = static_cast<char>(n >> (8 * i));
    out.write(size, 4);
    out.write(buffer.data_.data(), static_cast<std::streamsize>(buffer.data_.size()));
    return out;
}

std::istream& operator>>(std::istream& in, serial_buffer& buffer) {
    buffer.data_.clear();
    buffer.pos_ = 0;
    unsigned char size[4];
    if (!in.read(reinterpret_cast<char*>(size), 4)) return in;
    std::int32_t n = static_cast<std::int32_t>(size[0] | (size[1] << 8) | (size[2] << 16) |
                                               (static_cast<std::uint32_t>(size[3]) << 24));
    if (n < 0) {
        in.setstate(std::ios::failbit);
        return in;
    }
    constexpr std::size_t kStep = 1 << 20;
    while (buffer.data_.size() < static_cast<std::size_t>(n)) {
        std::size_t at = buffer.data_.size();
        std::size_t step = std::min(kStep, static_cast<std::size_t>(n) - at);
        buffer.data_.resize(at + step);
        if (!in.read(buffer.data_.data() + at, static_cast<std::streamsize>(step))) {
            buffer.data_.clear();
            return in;
        }
    }
    return in;
}

// ---- field transfers -------------------------------------------------------

serial_list& operator|(serial_list& list, bool& value) {
    std::uint8_t raw = value ? 1 : 0;
    transfer_integral<std::uint8_t>(list, raw);
    if (list.is_reading()) value = raw != 0;
    return list;
}

serial_list& operator|(serial_list& list, char& value) { return transfer_integral<std::uint8_t>(list, value); }
serial_list& operator|(serial_list& list, signed char& value) { return transfer_integral<std::uint8_t>(list, value); }
serial_list& operator|(serial_list& list, unsigned char& value) { return transfer_integral<std::uint8_t>(list, value); }
serial_list& operator|(serial_list& list, std::int16_t& value) { return transfer_integral<std::uint16_t>(list, value); }
serial_list& operator|(serial_list& list, std::uint16_t& value) {
    return transfer_integral<std::uint16_t>(list, value);
}
serial_list& operator|(serial_list& list, std::int32_t& value) { return transfer_integral<std::uint32_t>(list, value); }
serial_list& operator|(serial_list& list, std::uint32_t& value) {
    return transfer_integral<std::uint32_t>(list, value);
}

serial_list& operator|(serial_list& list, float& value) {
    std::uint32_t raw = std::bit_cast<std::uint32_t>(value);
    transfer_integral<std::uint32_t>(list, raw);
    if (list.is_reading()) value = std::bit_cast<float>(raw);
    return list;
}

serial_list& operator|(serial_list& list, double& value) {
    std::uint64_t raw = std::bit_cast<std::uint64_t>(value);
    transfer_integral<std::uint64_t>(list, raw);
    if (list.is_reading()) value = std::bit_cast<double>(raw);
    return list;
}

serial_list& operator|(serial_list& list, long double& value) {
    rtl::Extended80 bytes = rtl::encode_extended(list.is_reading() ? 0.0L : value);
    if (list.is_reading()) {
        std::int64_t before = list.bytes_left();
        list.process_binary(reinterpret_cast<char*>(bytes.data()), 10);
        if (before < 0 || before >= 10) value = rtl::decode_extended(bytes);
    } else {
        list.process_binary(reinterpret_cast<char*>(bytes.data()), 10);
    }
    return list;
}

serial_list& operator|(serial_list& list, std::string& text) {
    switch (list.get_serial_state()) {
        case serial_write: {
            std::string bytes = rtl::utf8_to_cp1251(text);
            bytes.resize(std::strlen(bytes.c_str()));
            bytes.push_back('\0');
            list.process_binary(bytes.data(), static_cast<int>(bytes.size()));
            break;
        }
        case serial_read: {
            std::string bytes;
            char c = 0;
            for (;;) {
                std::int64_t before = list.bytes_left();
                list.process_binary(&c, 1);
                if (before == 0) continue;  // past the end: the next read throws
                if (c == '\0') break;
                bytes.push_back(c);
            }
            text = rtl::cp1251_to_utf8(bytes);
            break;
        }
        default: break;
    }
    return list;
}

}  // namespace lib
