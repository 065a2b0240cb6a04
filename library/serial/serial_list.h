#pragma once
// Two-way field lists of serializable modules.
//
// A module describes its fields once, in one function that both writes and
// reads: `list | a | b | c;`. The list's state decides the direction. Every
// field has one fixed-width little-endian form, whatever the machine:
//
//   bool, char, signed/unsigned char   1 byte (bool 0 or 1; any non-zero reads true)
//   std::int16_t, std::uint16_t        2 bytes
//   int (std::int32_t), unsigned        4 bytes
//   float, double (and TDateTime)       4 and 8 bytes, IEEE 754
//   long double                         10 bytes, the x87 extended form
//   enumerations                        4 bytes, as int32
//   std::string (UTF-8 inside)          Windows-1251 bytes, then one 0 byte
//   std::vector, lib::array             int32 element count, then the elements
//   raw blocks                          process_binary(data, size), as they are
//   class types                         get_serial_list(value, list), found by
//                                       argument-dependent lookup, or the
//                                       member value.get_serial_list(list)
//
// `long` has no form on purpose: its width differs between systems.

#include "library/util/array.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace rtl {
class Stream;
}

namespace lib {

enum serial_state { serial_write = 0, serial_read = 1, serial_undefined = 2 };

class serial_list {
public:
    virtual ~serial_list() = default;
    virtual serial_state get_serial_state() = 0;
    // Writing: appends size bytes. Reading: takes the next size bytes.
    virtual void process_binary(char* data, int size) = 0;
    // Reading: the bytes still to be taken, or -1 when the list can't tell.
    virtual std::int64_t bytes_left() { return -1; }

    bool is_writing() { return get_serial_state() == serial_write; }
    bool is_reading() { return get_serial_state() == serial_read; }

    // The element count written before a container. Reading checks it
    // against the bytes left (each element taking at least
    // min_element_bytes) before the caller allocates anything: a negative
    // count throws "error while deserialization: size < 0", an impossible
    // one a similar std::runtime_error.
    int read_range_size(std::size_t min_element_bytes = 1);
    void write_range_size(std::size_t count);
};

// A list over a byte vector; the read position becomes -1 once a read has
// run past the end: that read leaves its target unchanged, the next one
// throws "binary_deserial_list::process_binary: eof". (A module that grew by
// one trailing field thus still reads a record written before it grew.)
class serial_buffer : public serial_list {
public:
    explicit serial_buffer(serial_state state) : state_(state) {}

    serial_state get_serial_state() override { return state_; }
    void process_binary(char* data, int size) override;
    std::int64_t bytes_left() override;

    void set_state(serial_state state) {
        state_ = state;
        pos_ = 0;
    }
    const std::vector<char>& bytes() const { return data_; }
    int size() const { return static_cast<int>(data_.size()); }
    int position() const { return pos_; }

protected:
    serial_state state_;
    std::vector<char> data_;
    int pos_ = 0;

    friend std::ostream& operator<<(std::ostream&, serial_buffer&);
    friend std::istream& operator>>(std::istream&, serial_buffer&);
};

class SerialOutputBuffer : public serial_buffer {
public:
    SerialOutputBuffer() : serial_buffer(serial_write) {}
    // The record body: int32 length, the bytes, the checksum byte.
    void save_to_stream(rtl::Stream* stream) const;
};

class SerialInputBuffer : public serial_buffer {
public:
    SerialInputBuffer() : serial_buffer(serial_read) {}
    // Reads a record body of size bytes and its checksum byte, checked
    // ("code summ error"). The size is checked against what the stream has
    // left before anything is allocated.
    void load_from_stream(rtl::Stream* stream, int size);
    void copy_from(const SerialOutputBuffer& out);
};

// A record body whose checksum byte does not match ("code summ error").
class serial_checksum_error : public std::runtime_error {
public:
    serial_checksum_error() : std::runtime_error("code summ error") {}
};

// The checksum byte of a record body: 85 plus every byte, modulo 256.
std::uint8_t serial_checksum(const char* data, std::size_t size);

// Whole transfers on a stream. A read that meets the end of the stream
// throws "Ошибка чтения данных из сокета" (the station's text for a stream
// that stops delivering); a write that moves fewer bytes throws "error
// writing to stream".
void serial_read_bytes(rtl::Stream* stream, void* data, std::size_t size);
void serial_write_bytes(rtl::Stream* stream, const void* data, std::size_t size);

// The int32 size and the bytes (no checksum); reading sets the position to
// 0. A damaged size sets failbit and leaves the buffer empty.
std::ostream& operator<<(std::ostream& out, serial_buffer& buffer);
std::istream& operator>>(std::istream& in, serial_buffer& buffer);

// ---- field transfers -------------------------------------------------------

serial_list& operator|(serial_list& list, bool& value);
serial_list& operator|(serial_list& list, char& value);
serial_list& operator|(serial_list& list, signed char& value);
serial_list& operator|(serial_list& list, unsigned char& value);
serial_list& operator|(serial_list& list, std::int16_t& value);
serial_list& operator|(serial_list& list, std::uint16_t& value);
serial_list& operator|(serial_list& list, std::int32_t& value);
serial_list& operator|(serial_list& list, std::uint32_t& value);
serial_list& operator|(serial_list& list, float& value);
serial_list& operator|(serial_list& list, double& value);
serial_list& operator|(serial_list& list, long double& value);
// Text stops at its first 0 character, so that the record stays in step.
serial_list& operator|(serial_list& list, std::string& text);

// A date-time is its double.
inline void get_serial_list(double& value, serial_list& list) { list | value; }

template <class E>
requires std::is_enum_v<E> serial_list& operator|(serial_list& list, E& value) {
    std::int32_t raw = static_cast<std::int32_t>(value);
    list | raw;
    if (list.is_reading()) value = static_cast<E>(raw);
    return list;
}

// Class fields: the member form, unless an overload of get_serial_list for
// the type is found first.
template <class T>
requires requires(T& v, serial_list& l) { v.get_serial_list(l); }
void get_serial_list(T& value, serial_list& list) { value.get_serial_list(list); }

template <class T>
requires std::is_class_v<T> && requires(T& v, serial_list& l) { get_serial_list(v, l); }
serial_list& operator|(serial_list& list, T& value) {
    get_serial_list(value, list);
    return list;
}

namespace detail {
template <class T>
constexpr std::size_t min_serial_bytes() {
    if constexpr (std::is_same_v<T, long double>)
        return 10;
    else if constexpr (std::is_arithmetic_v<T>)
        return sizeof(T) > 8 ? 8 : sizeof(T);
    else if constexpr (std::is_enum_v<T>)
        return 4;
    else
        return 1;  // text is at least its 0 byte; anything else at least a byte
}

// The count before a container's elements; false when the count itself ran
// past the end, so that the container is left as it was, like any field.
template <class T>
bool read_count(serial_list& list, int& n) {
    std::int64_t before = list.bytes_left();
    n = list.read_range_size(min_serial_bytes<T>());
    return before < 0 || before >= 4;
}
}  // namespace detail

template <class T>
serial_list& operator|(serial_list& list, std::vector<T>& items) {
    if (list.is_writing()) {
        list.write_range_size(items.size());
        for (auto& item : items) list | item;
    } else if (list.is_reading()) {
        int n = 0;
        if (!detail::read_count<T>(list, n)) return list;
        items.clear();
        items.resize(static_cast<std::size_t>(n));
        for (auto& item : items) list | item;
    }
    return list;
}

template <class T>
serial_list& operator|(serial_list& list, array<T>& items) {
    if (list.is_writing()) {
        list.write_range_size(items.size());
        for (auto& item : items) list | item;
    } else if (list.is_reading()) {
        int n = 0;
        if (!detail::read_count<T>(list, n)) return list;
        items.resize(static_cast<std::size_t>(n));
        for (auto& item : items) list | item;
    }
    return list;
}

}  // namespace lib
