#pragma once
// Files shared between the station's own programs.
//
// The station's programs (the recording host, the packing program, the report
// program) open the same data files at the same time, so every open follows
// one share rule, the rule the stations always had: any number of readers, or
// one writer. It is kept with an open-file-description lock (F_OFD_SETLK) on
// a sentinel byte far beyond any data: a read lock for a read-open, a write
// lock for a write-open. Such locks belong to the open file, not to the
// process, so two opens inside one process exclude each other exactly as two
// processes do, and the kernel drops them when the holder dies.
//
// Files also offer a whole-file lock that a program takes while it works on
// the file. It is a separate flock(2) lock; on Linux's local file systems
// flock and byte-range locks never interfere, so the share rule and the
// whole-file lock can be held and waited for independently (two readers can
// take the whole-file lock in turn).
//
// A file held by another program is waited for: the open and the whole-file
// lock are tried a number of times with a pause between (20 tries 100 ms
// apart unless changed with set_retry_policy). A file or folder that does not
// exist fails at once.
//
// Only regular files are opened: a folder, a FIFO or a device fails at once,
// and a writer's open fails (ELOOP) on a symbolic link in place of the file.
// Paths may use '\' as well as '/' (stored paths from older stations do).
//
// This header is the station's one door to files: opening under the share
// rule, whole writes that survive short writes and interrupts, appends that
// keep concurrent writers' lines whole, atomic replacement (temporary file,
// sync of the file and of its folder, rename), space reservation, and file
// times and sizes. Code outside platform/os reads and writes files only
// through it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace os {

// A point in time in the form the station's files and callers keep it:
// 100-nanosecond intervals since 1601-01-01 00:00 UTC, split into two halves.
struct FILETIME {
    std::uint32_t dwLowDateTime = 0;
    std::uint32_t dwHighDateTime = 0;
    friend bool operator==(const FILETIME&, const FILETIME&) = default;
};

std::uint64_t filetime_ticks(const FILETIME& t);
FILETIME filetime_from_unix(std::int64_t seconds, long nanoseconds);

// The local wall-clock time of t in the packed DOS form that directory
// searches report: bits 25-31 year - 1980, 21-24 month, 16-20 day,
// 11-15 hour, 5-10 minute, 0-4 seconds / 2. Times before 1980 give
// 1980-01-01 00:00:00, times after 2107 give the last representable one.
std::uint32_t dos_date_time(const FILETIME& t);

// How often and how far apart opens and whole-file locks are tried.
struct RetryPolicy {
    int tries = 20;
    std::chrono::milliseconds pause{100};
};

// The process-wide policy; tests shorten it. Safe from any thread.
RetryPolicy retry_policy();
void set_retry_policy(const RetryPolicy& policy);

// Sets a policy for the life of the object and restores the previous one.
class ScopedRetryPolicy {
public:
    explicit ScopedRetryPolicy(const RetryPolicy& policy);
    ~ScopedRetryPolicy();
    ScopedRetryPolicy(const ScopedRetryPolicy&) = delete;
    ScopedRetryPolicy& operator=(const ScopedRetryPolicy&) = delete;

private:
    RetryPolicy saved_;
};

// Paths stored by older stations use '\'; the file system wants '/'.
std::string native_path(std::string_view path);

// What stat(2) tells of a file, in the station's terms.
struct FileInfo {
    bool exists = false;
    bool is_regular = false;
    bool is_directory = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    unsigned permissions = 0;     // the mode's permission bits
    std::int64_t written_ns = 0;  // last write, ns since 1970
    std::int64_t changed_ns = 0;  // last status change, ns since 1970
    FILETIME written;             // last write
    FILETIME accessed;            // last read
    FILETIME changed;             // last status change (stands in for creation)
};

// The file (or folder) `path` leads to, links followed. A missing entry
// gives exists == false and error 0; any other failure gives exists ==
// false and its errno in *error when that is given.
FileInfo file_info(std::string_view path, int* error = nullptr);

// Options of File::open beyond its mode. Opens that need something more
// (a flag, a limit) get it as a new member here, so callers name only what
// they change.
struct OpenOptions {
    // Also take the whole-file lock.
    bool whole_file_lock = false;
    // Keep the share rule. Off for files that several programs write at
    // once by design (logs appended to) and for private files no other
    // program opens; the open is then tried only for passing failures.
    bool share_rule = true;
    // Permissions of a file the open creates (less the umask).
    unsigned permissions = 0666;
    RetryPolicy policy = retry_policy();
};

class File {
public:
    enum class Mode {
        read,                 // an existing file, read only; a reader
        write_truncate,       // created or emptied, write only; a writer
        write_append,         // created when missing, positioned at its end
        read_write_truncate,  // created or emptied, read and write; a writer
        read_write,           // created when missing, kept as it is, read and
                              // write; a writer
        read_write_existing,  // an existing file, kept as it is, read and
                              // write; a writer
        append,               // created when missing, write only; every
                              // write lands whole at the end of the file as
                              // it is at that moment, also with other
                              // programs appending (O_APPEND)
        create_new,           // created, read and write; fails with EEXIST
                              // when the name is taken (a link too)
    };
    enum class Status {
        ok,
        not_found,    // the file or a folder of its path does not exist
        cannot_open,  // held by another writer (or readers) after every try,
                      // or a permanent failure (no permission, not a file)
        cannot_lock,  // the whole-file lock stayed taken after every try
    };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Closes what is open, then opens `path` under the share rule. With
    // whole_file_lock the whole-file lock is taken too. A truncating mode
    // empties the file only once every lock it asked for is held, so a
    // failed open or lock leaves an existing file as it was. When the file
    // was replaced under its name (renamed over) while the open waited for
    // its locks, the open starts over on the new file, so the open file is
    // the one the name leads to once the locks are held. On any failure the
    // File is closed and last_error() holds the errno of the cause.
    Status open(std::string_view path, Mode mode, bool whole_file_lock, const RetryPolicy& policy = retry_policy());
    Status open(std::string_view path, Mode mode, const OpenOptions& options);

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int last_error() const { return error_; }
    const std::string& path() const { return path_; }

    // The whole-file lock (exclusive), tried under the policy.
    bool lock(const RetryPolicy& policy = retry_policy());
    void unlock();
    bool locked() const { return locked_; }

    // Releases the locks and closes; false when close(2) reported an error
    // (the descriptor is gone either way).
    bool close();

    // Reads until `count` bytes or the end of the file; returns the number
    // read, or -1 on a failure (last_error() says why).
    std::int64_t read(void* buffer, std::size_t count);
    // Reads from the position to the end of the file, appending to `out`;
    // false on a failure.
    bool read_all(std::string& out);
    // Writes every byte, looping over partial writes; false on a failure.
    bool write(const void* buffer, std::size_t count);
    // The same at an offset, leaving the position alone (pread/pwrite).
    // read_at stops early only at the end of the file.
    std::int64_t read_at(std::int64_t offset, void* buffer, std::size_t count);
    bool write_at(std::int64_t offset, const void* buffer, std::size_t count);
    // Puts what was written on the disk (fsync).
    bool sync();
    // Allocates the disk blocks of the first `size` bytes, growing the file
    // to that size when shorter, so that later writes (and writes through a
    // mapping) cannot meet a full disk.
    bool reserve(std::int64_t size);

    // lseek(2); -1 on a failure.
    std::int64_t seek(std::int64_t offset, int whence);
    std::int64_t position();
    std::int64_t size();  // -1 on a failure
    bool truncate(std::int64_t size);

    // Linux keeps no creation time that fstat(2) reports; the status-change
    // time stands in for it. Null pointers are skipped.
    bool times(FILETIME* created, FILETIME* accessed, FILETIME* written);
    // What fstat(2) tells of the open file; exists == false on a failure.
    FileInfo info();

private:
    // True while `path_` still leads to the open file.
    bool names_open_file() const;
    // False with EBADF as the last error when nothing is open.
    bool check_open();

    int fd_ = -1;
    bool locked_ = false;
    int error_ = 0;
    std::string path_;
};

// New content for a file, written beside it and put in its place in one
// step (rename), so that the name leads either to the old file or to the
// whole new one, never to a part of it, even after a crash or with a full
// disk. The temporary file is not opened under the share rule: no other
// program knows its name.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();  // an uncommitted temporary file is removed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file in the folder of `path`, with the
    // permissions of the file it will replace when there is one. With
    // follow_link a symbolic link at `path` stays and its target gets the
    // new content. False on a failure (last_error() says why).
    bool create(std::string_view path, bool follow_link = false);
    // Writes every byte at the end of what was written; false on a failure.
    bool write(const void* buffer, std::size_t count);
    // The temporary file itself, for writers that seek and read back; it
    // is open for reading and writing until commit() or abandon().
    File& file() { return file_; }
    // Syncs and closes the temporary file, renames it over the path and
    // syncs the folder. False on a failure: the temporary file is removed
    // and the old file stays as it was.
    bool commit();
    // The last-write time and size of the new file as committed, before any
    // other program could touch it under its new name.
    const FILETIME& written() const { return written_; }
    std::int64_t size() const { return size_; }
    // Removes the temporary file; the old file stays as it was.
    void abandon();

    int last_error() const { return error_; }
    const std::string& temp_path() const { return temp_; }
    // The file the commit replaces (a link's target with follow_link).
    const std::string& target_path() const { return path_; }

private:
    bool fail(int err);

    std::string path_;
    std::string temp_;
    File file_;
    int error_ = 0;
    FILETIME written_;
    std::int64_t size_ = -1;
};

// The whole of `bytes` as the new content of `path`, through a
// ReplacementFile. 0, or the errno of the failure (the old file stays).
int replace_file(std::string_view path, std::string_view bytes);

// The whole content of `path`, read without the share rule (for files the
// station keeps whole and replaces atomically). 0, or the errno of the
// failure (ENOENT or ENOTDIR for a missing file, EISDIR for a folder). With
// `info` the file's stamp as it was read.
int read_file(std::string_view path, std::string& bytes, FileInfo* info = nullptr,
              std::uint64_t max_bytes = UINT64_MAX);

// How append_file treats the file.
struct AppendOptions {
    unsigned permissions = 0666;  // of a file the append creates
    // A write that stops part-way is cut back to the file's earlier end, so
    // the file never ends in half a record that the next append would run
    // into.
    bool cut_back_partial = false;
};

// Appends the whole of `bytes` to `path` in one O_APPEND write where the
// system allows, so that lines of several programs appending at once stay
// whole; retries short writes and interrupts. Not under the share rule:
// logs are written by many. 0, or the errno of the failure.
int append_file(std::string_view path, std::string_view bytes, const AppendOptions& options = {});

// Makes the entries of the folder holding `path` durable (after a rename or
// a new file in it). False when the folder cannot be opened or synced.
bool sync_folder_of(std::string_view path);

// An exclusive lock on a folder, held by programs that re-read and rewrite
// a file of it, so that no program's rewrite is lost under another's. It
// goes with the holder's descriptor, also when the holder dies.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock on `folder`, tried under the policy. False on a
    // failure; last_error() says why.
    bool lock(std::string_view folder, const RetryPolicy& policy = retry_policy());
    void unlock();
    bool locked() const { return fd_ >= 0; }
    int last_error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

// The folder part of a path: "." for a bare name, "/" for a name in the root.
std::string folder_of(std::string_view path);

}  // namespace os
