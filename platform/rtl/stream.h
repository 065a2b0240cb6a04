#pragma once
// Byte streams in the shape the station's components expect of a stream
// object: read, write, seek, position and size, with a file form and a
// memory form. Binary formats are written through these, so nothing here
// interprets the bytes.

#include "platform/os/file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rtl {

enum class SeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class Stream {
public:
    virtual ~Stream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes count bytes; returns how many were written. File streams throw
    // on a failed write rather than return short.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Moves the position and returns the new one; a position before the
    // start throws std::out_of_range.
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    // Total length in bytes, or -1 when the stream cannot tell.
    virtual std::int64_t Size() = 0;

    std::int64_t Position() { return Seek(0, SeekOrigin::soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, SeekOrigin::soBeginning); }
    // Bytes from the position to the end, or -1 when the size is unknown.
    std::int64_t Remaining();

    // Whole transfers: throw std::runtime_error when fewer bytes move.
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
};

// An in-memory stream over a byte vector that grows as it is written.
class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

    void SetSize(std::size_t size);  // keeps the position unless it is beyond
    void Clear();
    const std::vector<std::uint8_t>& bytes() const { return data_; }
    std::vector<std::uint8_t>& bytes() { return data_; }

private:
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// A buffered file. Failures throw std::runtime_error with the file's name and
// the system's reason.
//
// Atomic mode writes into a temporary file beside the target; Commit()
// flushes, syncs it to disk and renames it over the target, so a reader sees
// either the old file whole or the new one whole. A stream destroyed without
// Commit() removes its temporary file and leaves the target untouched.
class FileStream : public Stream {
public:
    enum class Mode {
        fmOpenRead,       // existing file, read only
        fmCreate,         // create or truncate, read and write
        fmOpenReadWrite,  // existing file, read and write
        fmCreateAtomic,   // new contents replace the file at Commit()
    };

    FileStream(const std::string& path, Mode mode);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override;

    void Flush();
    void Commit();  // atomic mode only; the stream is closed afterwards
    const std::string& FileName() const { return path_; }

private:
    void flush_write();
    void drop_read_buffer();
    void require_open(const char* what) const;
    [[noreturn]] void fail(const std::string& what, int err) const;

    std::string path_;
    os::File file_;                    // the file itself
    os::ReplacementFile replacement_;  // atomic mode until Commit()
    os::File* io_ = nullptr;           // whichever of them is written
    bool read_only_ = false;
    std::int64_t pos_ = 0;           // logical position
    std::vector<std::uint8_t> buf_;  // pending writes or read-ahead
    std::int64_t buf_start_ = 0;     // file offset of buf_[0]
    std::size_t buf_read_ = 0;       // consumed bytes of a read-ahead
    bool buf_dirty_ = false;         // buf_ holds pending writes
};

// Writes a whole file through an atomic FileStream: the writer fills the
// stream; when it returns the file is committed, when it throws the old
// file stays as it was and the exception goes on.
void write_file_atomic(const std::string& path, const std::function<void(Stream&)>& writer);

}  // namespace rtl
