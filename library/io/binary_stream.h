#pragma once
// The one binary encoding of the station's files and buffers.
//
// Every binary format (real-time block files, the export for compression,
// the single-stream archive, parameter extra data, the module stream) is
// written and read through these streams, so the encoding here is binding
// for all of them:
//   - scalars are their raw little-endian memory image, no alignment, no
//     tags: char and bool 1 byte (bool 0 or 1), short 2, int and unsigned 4,
//     float 4 (IEEE single), double 8 (IEEE double), a TDateTime the 8 bytes
//     of its double;
//   - a string is its Windows-1251 bytes followed by one 0 byte (an empty
//     string is the single byte 0); inside the program strings are UTF-8 and
//     the conversion happens here, at the boundary;
//   - a text line (write_line) is the Windows-1251 bytes and CR LF.
// A string holding a 0 byte does not read back whole: the reader stops at
// the first 0.
//
// Each typed write calls write() once with the value's bytes, each typed
// read calls read() once with the value's size. Readers never return stale
// or partial data: a read that runs past the end throws.

#include "platform/rtl/datetime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lib::io {

using AnsiString = std::string;

class BinaryInputStream {
public:
    virtual ~BinaryInputStream() = default;

    // Fills buffer with exactly count bytes or throws.
    virtual void read(char* buffer, unsigned count) = 0;
    // Moves the position by count bytes; a move past the end stops at the
    // end, a move before the start throws std::range_error.
    virtual void skip(int count) = 0;
    virtual bool eof() = 0;

    // One byte as 0..255.
    int get();
    // One line: bytes up to LF (not kept) or the end of the stream; every
    // byte below 32 (CR, TAB, 0, ...) is dropped.
    AnsiString read_line();

    BinaryInputStream& operator>>(char& value);
    BinaryInputStream& operator>>(bool& value);  // any nonzero byte is true
    BinaryInputStream& operator>>(int& value);
    BinaryInputStream& operator>>(unsigned int& value);
    BinaryInputStream& operator>>(float& value);
    BinaryInputStream& operator>>(double& value);
    BinaryInputStream& operator>>(AnsiString& value);
};

class BinaryOutputStream {
public:
    virtual ~BinaryOutputStream() = default;

    virtual void write(const char* buffer, unsigned count) = 0;

    // The text and CR LF, in one write; no 0 byte.
    void write_line(const AnsiString& text);

    BinaryOutputStream& operator<<(char value);
    BinaryOutputStream& operator<<(bool value);
    BinaryOutputStream& operator<<(short value);
    BinaryOutputStream& operator<<(int value);
    BinaryOutputStream& operator<<(unsigned int value);
    BinaryOutputStream& operator<<(float value);
    BinaryOutputStream& operator<<(double value);
    BinaryOutputStream& operator<<(const AnsiString& value);
    // A literal is a string, not the bool its pointer would convert to.
    BinaryOutputStream& operator<<(const char* value);
    // These would widen silently to a 4-byte int; cast to the width meant.
    BinaryOutputStream& operator<<(unsigned char) = delete;
    BinaryOutputStream& operator<<(signed char) = delete;
    BinaryOutputStream& operator<<(unsigned short) = delete;
};

// Strings and date-times (a TDateTime is the double counting days).
void write_binary(BinaryOutputStream& out, const AnsiString& value);
void write_binary(BinaryOutputStream& out, const rtl::TDateTime& date_time);
void read_binary(BinaryInputStream& in, AnsiString& value);
void read_binary(BinaryInputStream& in, rtl::TDateTime& date_time);

// A copy of some bytes read as a stream.
class BinaryMemoryInputStream : public BinaryInputStream {
public:
    BinaryMemoryInputStream() = default;

    // Copies the bytes and goes back to the start.
    void set_data(const char* data, std::size_t size);

    // Throws std::runtime_error "BinaryMemoryInputStream::read: eof() == true"
    // at the end, std::range_error "BinaryMemoryInputStream::read: out of
    // range" when fewer than count bytes remain.
    void read(char* buffer, unsigned count) override;
    void skip(int count) override;
    bool eof() override { return position_ >= data_.size(); }

private:
    std::vector<char> data_;
    std::size_t position_ = 0;
};

// A growing buffer written as a stream: its own, or a string of the
// caller's that the writes are appended to (a record's bytes, a file's
// pending writes), so no copy is made to hand them on.
class BinaryMemoryOutputStream : public BinaryOutputStream {
public:
    explicit BinaryMemoryOutputStream(std::size_t reserve = 0);
    explicit BinaryMemoryOutputStream(std::string& target) : data_(&target) {}
    BinaryMemoryOutputStream(const BinaryMemoryOutputStream&) = delete;
    BinaryMemoryOutputStream& operator=(const BinaryMemoryOutputStream&) = delete;

    void write(const char* buffer, unsigned count) override;
    // The first byte, or null while empty.
    char* get_buffer() { return data_->empty() ? nullptr : data_->data(); }
    const char* get_buffer() const { return data_->empty() ? nullptr : data_->data(); }
    std::size_t get_size() const { return data_->size(); }
    void clear() { data_->clear(); }

private:
    std::string own_;
    std::string* data_ = &own_;
};

}  // namespace lib::io
