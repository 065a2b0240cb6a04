#include "library/io/binary_stream.h"

#include "library/io/disk_text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace lib::io {

static_assert(std::endian::native == std::endian::little, "the stored encoding is the little-endian memory image");
static_assert(sizeof(float) == 4 && sizeof(double) == 8 && sizeof(int) == 4 && sizeof(short) == 2);

namespace {

template <typename T>
void put(BinaryOutputStream& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.write(bytes, sizeof(T));
}

template <typename T>
void take(BinaryInputStream& in, T& value) {
    char bytes[sizeof(T)];
    in.read(bytes, sizeof(T));
    std::memcpy(&value, bytes, sizeof(T));
}

void put_string(BinaryOutputStream& out, std::string_view utf8) {
    std::string bytes = to_disk_text(utf8);
    bytes.push_back('\0');
    out.write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

}  // namespace

int BinaryInputStream::get() {
    char c;
    read(&c, 1);
    return static_cast<unsigned char>(c);
}

AnsiString BinaryInputStream::read_line() {
    std::string bytes;
    while (!eof()) {
        char c;
        read(&c, 1);
        if (c == '\n') break;
        if (static_cast<unsigned char>(c) < 32) continue;
        bytes.push_back(c);
    }
    return from_disk_text(bytes);
}

BinaryInputStream& BinaryInputStream::operator>>(char& value) {
    take(*this, value);
    return *this;
}

BinaryInputStream& BinaryInputStream::operator>>(bool& value) {
    // Reading the byte into a bool directly would be undefined for 2..255.
    char c;
    take(*this, c);
    value = c != 0;
    return *this;
}

BinaryInputStream& BinaryInputStream::operator>>(int& value) {
    take(*this, value);
    return *this;
}

BinaryInputStream& BinaryInputStream::operator>>(unsigned int& value) {
    take(*this, value);
    return *this;
}

BinaryInputStream& BinaryInputStream::operator>>(float& value) {
    take(*this, value);
    return *this;
}

BinaryInputStream& BinaryInputStream::operator>>(double& value) {
    take(*this, value);
    return *this;
}

BinaryInputStream& BinaryInputStream::operator>>(AnsiString& value) {
    std::string bytes;
    char c;
    for (;;) {
        read(&c, 1);  // throws at the end, so a string without its 0 cannot loop
        if (c == '\0') break;
        bytes.push_back(c);
    }
    value = from_disk_text(bytes);
    return *this;
}

void BinaryOutputStream::write_line(const AnsiString& text) {
    std::string bytes = to_disk_text(text);
    bytes += "\r\n";
    write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

BinaryOutputStream& BinaryOutputStream::operator<<(char value) {
    put(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(bool value) {
    put(*this, static_cast<char>(value ? 1 : 0));
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(short value) {
    put(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(int value) {
    put(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(unsigned int value) {
    put(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(float value) {
    put(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(double value) {
    put(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(const AnsiString& value) {
    put_string(*this, value);
    return *this;
}

BinaryOutputStream& BinaryOutputStream::operator<<(const char* value) {
    put_string(*this, value ? std::string_view(value) : std::string_view());
    return *this;
}

void write_binary(BinaryOutputStream& out, const AnsiString& value) { put_string(out, value); }

void write_binary(BinaryOutputStream& out, const rtl::TDateTime& date_time) { put(out, date_time); }

void read_binary(BinaryInputStream& in, AnsiString& value) { in >> value; }

void read_binary(BinaryInputStream& in, rtl::TDateTime& date_time) { take(in, date_time); }

void BinaryMemoryInputStream::set_data(const char* data, std::size_t size) {
    if (size == 0 || data == nullptr)
        data_.clear();
    else
        data_.assign(data, data + size);
    position_ = 0;
}

void BinaryMemoryInputStream::read(char* buffer, unsigned count) {
    if (eof()) throw std::runtime_error("BinaryMemoryInputStream::read: eof() == true");
    if (count > data_.size() - position_) throw std::range_error("BinaryMemoryInputStream::read: out of range");
    std::memcpy(buffer, data_.data() + position_, count);
    position_ += count;
}

void BinaryMemoryInputStream::skip(int count) {
    if (count < 0) {
        std::size_t back = static_cast<std::size_t>(-static_cast<std::int64_t>(count));
        if (back > position_) throw std::range_error("BinaryMemoryInputStream::skip: out of range");
        position_ -= back;
        return;
    }
    std::size_t left = data_.size() - std::min(position_, data_.size());
    position_ += std::min(static_cast<std::size_t>(count), left);
}

BinaryMemoryOutputStream::BinaryMemoryOutputStream(std::size_t reserve) { own_.reserve(reserve); }

void BinaryMemoryOutputStream::write(const char* buffer, unsigned count) {
    if (count == 0) return;
    data_->append(buffer, count);
}

}  // namespace lib::io
