#pragma once
// INI files as the Windows stations keep them.
//
// The settings of every component live in INI files with Russian section and
// key names, and the same files are read and written by the stations that
// still run on Windows. So this class follows the Windows profile rules
// rather than any INI dialect of its own:
//
//  - Section and key names are trimmed (characters up to the blank) and
//    compared without regard to letter case, Cyrillic letters included. The
//    first matching section is the one used, and inside it the first
//    matching key.
//  - A line "[name]" starts a section (the name runs to the last ']'); a line
//    "name=value" is a key; a line that starts with ';' is a comment; any
//    other line (one without '=') is kept but is not a key.
//  - A value read is trimmed and loses one pair of enclosing quotes, double
//    or single ("abc" and 'abc' both read as abc). A missing key gives the
//    default unchanged.
//  - A write replaces the value of the key in place; a new key goes after the
//    last key of its section; a new section goes at the end of the file.
//    Comments, blank lines and unknown lines are kept as they were.
//  - On disk: Windows-1251, lines ending in CR LF (LF and lone CR are
//    accepted when reading). Inside the program every text is UTF-8.
//  - Integers are read as the Borland run-time library reads them (sign,
//    leading blanks, "$" or "0x" hexadecimal); anything else gives the
//    default. Booleans are written 1 and 0. Floats are written with the
//    process decimal separator and read with either separator.
//
// Every write reaches the file before the call returns, as with the Windows
// profile functions: under an advisory lock the file is re-read if another
// program changed it, the change is applied, and the whole file is written
// to a temporary file that replaces the old one by rename. A crash or a full
// disk therefore never leaves a half-written settings file. A Batch groups
// many writes into one such rewrite (saving a whole options object).
//
// Reads see every change made through any IniFile of this program at once,
// and a change another program made to the file from at most
// change_check_interval after it (the file is looked at on disk at most
// that often while reads come; a write always looks first, under the lock,
// so nothing another program wrote is ever lost).
// A name that leads to something other than a regular file (a FIFO, a
// device) or to a file of more than 64 MB is refused by every read and
// write with std::runtime_error naming the file, without waiting on it.
// A write that fails throws std::runtime_error naming the file and the
// cause; the object then shows the file as it is on disk. A section, key or
// value holding a line break is refused (std::invalid_argument), since it
// would split the line and could plant keys of its own.
//
// One object may be shared between threads: each call is atomic. While a
// Batch is open, every write made through the object joins it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/clock.h"

namespace rtl {

namespace ini_detail {
struct Line;
struct Op;
struct Index;
// What the file on disk was when it was last read or written.
struct Stamp {
    bool exists = false;
    std::uint64_t dev = 0, ino = 0, size = 0;
    std::int64_t mtime_ns = 0, ctime_ns = 0;
    bool operator==(const Stamp&) const = default;
};
}  // namespace ini_detail

class IniFile {
public:
    // Nothing is read or created until the first call; a file that does not
    // exist reads as empty and is created by the first write. A name stored
    // by an older station may use backslashes between folders.
    explicit IniFile(std::string file_name);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const std::string& FileName() const { return file_name_; }

    // How stale a read may be about changes made by other programs. Looking
    // at the file costs a system call, several times a read's own work; a
    // reader of a few thousand keys looks once. Other programs' changes
    // reach the disk through their own write and rename, and over a shared
    // folder through the system's attribute cache, which is itself
    // time-bound; a millisecond changes nothing a person or a peer can see.
    static constexpr std::chrono::milliseconds change_check_interval{1};

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    void WriteInteger(std::string_view section, std::string_view key, int value);

    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Written as FloatToStr writes it (15 significant digits, the process
    // decimal separator); an empty or unreadable value gives the default.
    double ReadFloat(std::string_view section, std::string_view key, double def) const;
    void WriteFloat(std::string_view section, std::string_view key, double value);

    // A TDateTime (days from 1899-12-30) written as DateTimeToStr writes it
    // (date, and the time when it is not midnight); read back from that form
    // or from a date alone; an unreadable value gives the default.
    double ReadDateTime(std::string_view section, std::string_view key, double def) const;
    void WriteDateTime(std::string_view section, std::string_view key, double value);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    // Section names in file order, each name once.
    std::vector<std::string> ReadSections() const;
    // Key names of the section in file order, each name once.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // "name=value" for each key of ReadSection, the value as ReadString gives it.
    std::vector<std::string> ReadSectionValues(std::string_view section) const;

    // Removes every section of that name with all its lines.
    void EraseSection(std::string_view section);
    // Removes the key (the one ReadString would find).
    void DeleteKey(std::string_view section, std::string_view key);

    // Groups writes into one rewrite of the file. Writes inside a batch are
    // seen at once by reads on this object; commit() writes them all; a
    // batch left without commit() (an exception on the way) drops its
    // writes, so the file is never left with half of an object's settings.
    // Batches nest: only the outermost commit writes the file.
    class Batch {
    public:
        explicit Batch(IniFile& ini);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        void commit();

    private:
        IniFile& ini_;
        std::size_t journal_mark_;
        bool done_ = false;
    };

private:
    using Line = ini_detail::Line;
    using Op = ini_detail::Op;
    using Stamp = ini_detail::Stamp;

    // Reloads the file when it changed on disk; `look` makes it look at the
    // disk now, also within change_check_interval of the last look.
    void refresh_locked(bool look = false) const;
    void load_locked() const;
    // The line of the first section of that (folded) name, and of the first
    // key of that (folded) name in it; std::string::npos for none.
    std::size_t section_line(const std::string& folded) const;
    std::size_t key_line(const std::string& folded_section, const std::string& folded_key) const;
    // The lines changed: what was indexed of them no longer holds.
    void lines_changed() const;
    void record(Op op);
    void flush_locked();
    void rollback_locked(std::size_t journal_mark);

    std::string file_name_;
    std::string path_;  // file_name_ with backslashes made slashes
    mutable std::mutex mutex_;
    mutable std::vector<Line> lines_;
    mutable Stamp stamp_;
    mutable bool loaded_ = false;
    // When the file was last looked at, and the count of this program's
    // writes to INI files then (a write through another object must be seen
    // at once, not a millisecond later).
    mutable os::SteadyClock::time_point checked_at_{};
    mutable std::uint64_t writes_seen_ = 0;
    // Where the sections and keys are, built once the same lines are read
    // a second time (a write between reads costs no rebuild).
    mutable std::unique_ptr<ini_detail::Index> index_;
    mutable int reads_since_change_ = 0;
    std::vector<Op> journal_;
    int batch_depth_ = 0;
};

}  // namespace rtl
