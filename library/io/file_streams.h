#pragma once
// Files of the binary encoding: an operating-system file with retried open
// and a whole-file lock, the buffered output and unbuffered input file
// streams, and the input stream over a memory-mapped file.
//
// Opens follow the station's share rule (os::File): any number of readers,
// or one writer. A file held by another program is tried os::retry_policy()
// times (20 tries 100 ms apart) before the open or the lock fails; a file or
// folder that does not exist fails at once. The failures carry the messages
// the station's programs show and test for, word for word:
//   "Файл не найден!"                 the file or its folder does not exist
//   "Невозможно открыть файл!"        held by others after every try, or refused
//   "Невозможно заблокировать файл!"  the whole-file lock stayed taken
//   "Невозможно записать в файл!"     a write failed (disk full, I/O error)
//   "Невозможно прочитать из файла!"  a read failed
//   "Попытка записи в файл с дескриптором 0xFFFFFFFF!"  write on a closed file
// They are thrown as FileError (a std::runtime_error) that also names the
// file and the system's cause for logs.
//
// A read never returns less than it was asked for: a read that runs past the
// end throws ("OSFile::read: eof", "InputMappedFile::read: eof") and leaves
// the position where it was. Positions are checked: set_pointer outside the
// file throws std::range_error, skip past the end stops at the end.

#include "library/io/binary_stream.h"
#include "platform/os/file.h"
#include "platform/os/mapping.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lib {
using FILETIME = os::FILETIME;
}

namespace lib::io {

enum open_types {
    ot_read = 1,    // an existing file, for reading
    ot_write = 2,   // created, or emptied once the locks are held
    ot_append = 3,  // created when missing, written at its end
};

enum seek_types {
    st_begin = 0,
    st_end = 1,
    st_current = 2,
};

class FileError : public std::runtime_error {
public:
    FileError(const std::string& message, std::string file_name, int error_code)
        : std::runtime_error(message), file_name_(std::move(file_name)), error_code_(error_code) {}
    const std::string& file_name() const { return file_name_; }
    int error_code() const { return error_code_; }  // errno, 0 when none
    // The message with the file and the cause, for logs.
    std::string details() const;

private:
    std::string file_name_;
    int error_code_;
};

class OSFile {
public:
    static constexpr int max_try_counter = 20;

    OSFile() = default;
    ~OSFile() = default;  // closes, releasing the locks
    OSFile(const OSFile&) = delete;
    OSFile& operator=(const OSFile&) = delete;

    // Closes what is open, then opens. With lock the whole-file lock is
    // taken as well; a truncating open empties the file only after that, so
    // a failed lock leaves the file as it was (and this OSFile closed).
    void open(const AnsiString& name, open_types type, bool lock);
    // The whole-file lock, tried like the open. A failed lock leaves the file
    // open and unlocked.
    void lock();
    void unlock();
    void close();

    void read(char* buffer, unsigned count);
    void write(const char* buffer, unsigned count);
    // Moves to offset from origin and returns the new position; a position
    // before the start or past the end throws std::range_error.
    std::int64_t set_pointer(std::int64_t offset, seek_types origin);
    std::int64_t get_pointer();
    bool eof();
    std::int64_t get_real_size();
    // Null pointers are skipped. The times come from the open file (fstat);
    // Linux needs no flush for them to be current.
    void get_time(FILETIME* created, FILETIME* accessed, FILETIME* written);
    int get_handle() const { return file_.fd(); }
    bool is_locked() const { return file_.locked(); }
    const AnsiString& file_name() const { return file_.path(); }
    const os::File& os_file() const { return file_; }

private:
    [[noreturn]] void fail(const char* message, int error_code) const;

    os::File file_;
};

class BinaryOutputFileStream : public BinaryOutputStream {
public:
    BinaryOutputFileStream();
    // Closes; a flush that fails here is logged (os::log_error), never thrown.
    ~BinaryOutputFileStream() override;

    // Closes what is open (flushing it), then opens: append writes at the
    // end of the file (creating it), otherwise the file is created or emptied.
    void open(const AnsiString& name, bool append, bool lock);
    // Gathers the bytes and writes them in chunks of just over 128 KiB.
    // Writing while no file is open throws rather than losing the bytes.
    void write(const char* buffer, unsigned count) override;
    void flush();
    // Flushes and closes; the file is closed even when the flush fails, and
    // the failure is thrown.
    void close();
    void get_time(FILETIME* created, FILETIME* accessed, FILETIME* written);
    std::int64_t get_real_size();

private:
    OSFile file_;
    std::vector<char> buffer_;
};

class BinaryInputFileStream : public BinaryInputStream {
public:
    void open(const AnsiString& name, bool lock);
    void close() { file_.close(); }
    void read(char* buffer, unsigned count) override { file_.read(buffer, count); }
    void skip(int count) override;
    std::int64_t set_pointer(std::int64_t offset, seek_types origin) { return file_.set_pointer(offset, origin); }
    bool eof() override { return file_.eof(); }

private:
    OSFile file_;
};

// Reads by copying from a read-only view of the whole file, with no system
// call per read. The file is held as a reader for as long as it is open, so
// no station program can cut it short under the view.
class InputMappedFile : public BinaryInputStream {
public:
    InputMappedFile() = default;
    ~InputMappedFile() override = default;

    // An empty file cannot be mapped: "InputMappedFile::open: (h_file_mapping
    // == NULL)"; a refused mapping: "InputMappedFile::open: (pointer ==
    // NULL)". Either way the file is left closed.
    void open(const AnsiString& name, bool lock);
    void close();
    void read(char* buffer, unsigned count) override;
    void skip(int count) override;
    std::int64_t set_pointer(std::int64_t offset, seek_types origin);
    std::int64_t get_pointer() const { return static_cast<std::int64_t>(position_); }
    bool eof() override { return position_ >= size_; }
    std::int64_t get_size() const { return static_cast<std::int64_t>(size_); }

private:
    OSFile file_;
    os::Mapping view_;
    std::size_t position_ = 0;
    std::size_t size_ = 0;
};

}  // namespace lib::io
