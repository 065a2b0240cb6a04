#pragma once
// The section archive: a few files, comments and a time stamp packed with
// zlib into one file, for small bundles that travel between stations.
//
// The file is nothing but sections back to back (integers little-endian):
//
//   mark    1 byte    2 file, 3 comment, 4 time
//   name    n + 1     the file name, the comment text or "TIME", then a 0
//                     byte (Windows-1251 on disk)
//   length  int32 N   the number of bytes that follow
//   body    N bytes   file: int32 unpacked size, int32 packed size P, then
//                     P bytes of zlib compress2 output (N = P + 8);
//                     comment: nothing (N = 0);
//                     time: uint32 station time (lib::get_local_time, N = 4)
//
// A writer starts every archive with its time section. A reader checks every
// length, size and name against the file before it trusts it: an archive
// that does not hold together is refused with GZIP_EXCEPTION naming it, and
// nothing is extracted outside the folder asked for.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "library/io/file_streams.h"
#include "library/mapped_file.h"
#include "library/smart_pointers.h"
#include "library/util/array.h"

enum GZIP_MARKS {
    GZIP_MARK_FILE = 2,
    GZIP_MARK_COMMENT = 3,
    GZIP_MARK_TIME = 4,
};

// One section of an opened archive.
struct GZIP_FILE_BLOCK {
    std::string name;
    int mark = 0;
    int length = 0;                // N
    std::int64_t offset = 0;       // of the mark byte
    std::int64_t body_offset = 0;  // of the first byte after N
};

class GZIP_EXCEPTION : public std::runtime_error {
public:
    // "ERROR: <call> response '<response>' at function '<function>'"
    GZIP_EXCEPTION(const char* call, const char* response, const char* function);
    explicit GZIP_EXCEPTION(const std::string& message) : std::runtime_error(message) {}

    // Returns for Z_OK, throws for any other result of a zlib call.
    static void check_result(int result, const char* call, const char* function);
};

class GZIP_COMPRESS {
public:
    GZIP_COMPRESS() = default;
    // Closes; a failure to finish the file is not thrown from here.
    ~GZIP_COMPRESS();
    GZIP_COMPRESS(const GZIP_COMPRESS&) = delete;
    GZIP_COMPRESS& operator=(const GZIP_COMPRESS&) = delete;

    // Creates (or empties) the archive and writes its time section; false
    // when the file cannot be written.
    bool open(const std::string& name);
    // Finishes the file; throws lib::io::FileError when the last bytes could
    // not be written.
    void close();
    bool is_open() const { return opened_; }

    // The section writers throw GZIP_EXCEPTION when the archive is not open
    // and lib::io::FileError when a write fails.
    void add_time();
    void add_comment(const std::string& text);
    // Packs the file under its name without folder; false (and nothing
    // written) when the file cannot be read.
    bool add_file(const std::string& path);
    // Packs the bytes into a section of that mark (a file's, or a comment's;
    // a time section holds no packed data and is refused).
    void add_data(const std::string& name, lib::array<char>& data, GZIP_MARKS mark);

private:
    void check_open(const char* function) const;
    void write_header(GZIP_MARKS mark, const std::string& name, std::int32_t length);

    bool opened_ = false;
    lib::io::BinaryOutputFileStream file_;
};

class GZIP_DECOMPRESS {
public:
    GZIP_DECOMPRESS() = default;
    GZIP_DECOMPRESS(const GZIP_DECOMPRESS&) = delete;
    GZIP_DECOMPRESS& operator=(const GZIP_DECOMPRESS&) = delete;

    // Indexes the sections. An empty file is an empty archive. Throws
    // GZIP_EXCEPTION when the archive cannot be read or does not hold
    // together (the reader is closed then).
    void open(const std::string& name);
    void close();

    // The text of the last comment section; empty when there is none.
    std::string read_comment();
    // The time of the first time section; 0 when there is none.
    unsigned get_time();
    // The first section of that name, letter case ignored (Cyrillic too).
    GZIP_FILE_BLOCK* find_block(const std::string& name);
    // Unpacks a file section. Throws GZIP_EXCEPTION for a section that is
    // not a file's or whose data is damaged.
    void decompress_section(GZIP_FILE_BLOCK* block, lib::array<char>& out);
    // Writes every file section into the folder under its name, each as a
    // new file renamed over the name (a link already there, hard or
    // symbolic, is replaced, and what it leads to stays untouched). Names
    // that would leave the folder (holding '/' or '\', or being "..") are
    // refused before anything is written.
    void extract_to(const std::string& folder);

    std::size_t size() const { return blocks_.size(); }
    GZIP_FILE_BLOCK& operator[](std::size_t index) { return blocks_[static_cast<long long>(index)]; }

private:
    [[noreturn]] void damaged(const std::string& cause, std::int64_t offset);

    lib::ptr_vector<GZIP_FILE_BLOCK> blocks_;
    std::string name_;
    lib::mapped_file file_;
};
