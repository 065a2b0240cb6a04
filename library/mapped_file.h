#pragma once
// A whole file seen through a memory mapping, with typed extraction and
// separate read and write positions.
//
// Reads never throw: a value that does not fit in what is left of the file
// leaves its target unchanged and the position where it was, and good()
// turns false once the read position reaches the end. A file opened for
// writing is created (or emptied), grows as it is written and is cut to the
// end of the furthest byte written when it is closed.
//
// The encoding is that of lib::io (little-endian raw images; strings are
// Windows-1251 bytes and a 0 byte on disk, UTF-8 in the program).
//
// The file is held under the station's share rule while it is open (a
// reader for om_read, a writer for om_read_write), tried once: a file held
// by another program does not open. Positions are offsets, never addresses:
// a position before the start or past the end only makes reads fail.

#include "platform/os/file.h"
#include "platform/os/mapping.h"
#include "platform/rtl/datetime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace lib {

using AnsiString = std::string;

enum open_modes {
    om_read = 0,        // an existing file, read only
    om_read_write = 1,  // a new file (an existing one is replaced), read and write
};

// Note the order: it differs from lib::io::seek_types.
enum seek_type {
    sk_begin = 0,
    sk_current = 1,
    sk_end = 2,  // offset 0 is the last byte
};

class mapped_file_base {
public:
    mapped_file_base() = default;
    virtual ~mapped_file_base();
    mapped_file_base(const mapped_file_base&) = delete;
    mapped_file_base& operator=(const mapped_file_base&) = delete;

    // Maps the whole file (om_read; an empty file cannot be mapped) or a new
    // file of `size` bytes (om_read_write; at least one byte is mapped).
    // False when anything fails; nothing stays open then.
    bool base_open(const char* name, open_modes mode, std::size_t size);
    void base_close();
    // Maps the file again at `size` bytes, growing or cutting it. On failure
    // everything is closed.
    bool resize(std::size_t size);

    char* get_pointer() const { return view_.data(); }
    std::size_t get_file_size() const { return file_size_; }
    bool is_ok() const { return view_.is_mapped(); }

protected:
    os::File file_;
    os::Mapping view_;
    std::size_t file_size_ = 0;
    std::size_t open_size_ = 0;
    bool writable_ = false;
};

class mapped_file : public mapped_file_base {
public:
    mapped_file() = default;
    // Closes (see close); never throws.
    ~mapped_file() override;

    bool open(const AnsiString& name, open_modes mode, int size = 0);
    // A written file is cut after its furthest written byte; one opened for
    // writing with nothing written keeps the size it was opened with.
    void close();

    bool eof() const { return end_; }
    bool good() const { return is_ok() && !end_; }

    std::int64_t seekg(std::int64_t offset, seek_type origin);
    std::int64_t seekp(std::int64_t offset, seek_type origin);
    std::int64_t tellg() const { return read_pos_; }
    std::int64_t tellp() const { return write_pos_; }

    // The next byte as 0..255, or -1 when not good().
    int get();

    mapped_file& operator>>(int& value);
    mapped_file& operator>>(unsigned int& value);
    mapped_file& operator>>(std::int64_t& value);
    mapped_file& operator>>(std::uint64_t& value);
    mapped_file& operator>>(char& value);
    mapped_file& operator>>(unsigned char& value);
    mapped_file& operator>>(bool& value);
    mapped_file& operator>>(float& value);
    mapped_file& operator>>(double& value);       // a rtl::TDateTime too
    mapped_file& operator>>(long double& value);  // the 10-byte extended real
    // Up to the next 0 byte (or the end of the file); the position moves
    // past the 0.
    mapped_file& operator>>(AnsiString& value);

    // Copies up to count bytes (fewer at the end of the file); -1 when not
    // good().
    int read(char* buffer, int count);
    // Writes at the write position, growing the file to cover it; -1 when
    // the file is not open for writing or cannot grow.
    int write(const char* buffer, unsigned count);
    mapped_file& operator<<(double value);

private:
    bool take(void* target, std::size_t count);
    void set_read(std::int64_t position);

    std::int64_t read_pos_ = 0;
    std::int64_t write_pos_ = 0;
    std::int64_t write_end_ = 0;
    bool end_ = true;
    std::int64_t high_write_ = 0;
};

// A string (its Windows-1251 bytes and a 0), a TDateTime (8 bytes), a C text.
void write_bin_data(mapped_file& file, const AnsiString& value);
void write_bin_data(mapped_file& file, const rtl::TDateTime& date_time);
void write_bin_data(mapped_file& file, const char* value);

}  // namespace lib
