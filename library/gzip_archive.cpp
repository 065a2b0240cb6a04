#include "library/gzip_archive.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "library/file_finder.h"
#include "library/time_conv.h"
#include "library/zlib_dll.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/text.h"

namespace {

// Deflate never packs better than about 1032 to 1; a section that claims
// more is damaged, and believing it would mean a huge allocation.
constexpr std::int64_t kMaxRatio = 1040;

std::int32_t get_i32(const char* p) {
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 24;
    return static_cast<std::int32_t>(v);
}

// The file name without its folder; stored paths may use either separator.
std::string base_name(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A section name that stays inside the folder it is extracted to: one
// plain name, no separator and not a step up (a name such as "a..b" is an
// ordinary file name).
bool is_safe_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

}  // namespace

// --- Errors ---------------------------------------------------------------------

GZIP_EXCEPTION::GZIP_EXCEPTION(const char* call, const char* response, const char* function)
    : std::runtime_error(std::string("ERROR: ") + call + " response '" + response + "' at function '" + function +
                         "'") {}

void GZIP_EXCEPTION::check_result(int result, const char* call, const char* function) {
    if (result == Z_OK) return;
    const char* text = "#unrecognazed#";
    switch (result) {
        case Z_BUF_ERROR: text = "there is not enough room in the output buffer"; break;
        case Z_MEM_ERROR: text = "not enough memory"; break;
        case Z_DATA_ERROR: text = "the input data was corrupted"; break;
        case Z_STREAM_ERROR: text = "level parameter is invalid"; break;
        default: break;
    }
    throw GZIP_EXCEPTION(call, text, function);
}

// --- Writer ---------------------------------------------------------------------

GZIP_COMPRESS::~GZIP_COMPRESS() {
    try {
        close();
    } catch (const lib::io::FileError& e) {
        os::log_error("GZIP_COMPRESS: the archive was not finished: " + e.details());
    } catch (const std::exception& e) {
        os::log_error(std::string("GZIP_COMPRESS: the archive was not finished: ") + e.what());
    }
}

bool GZIP_COMPRESS::open(const std::string& name) {
    try {
        close();
    } catch (const std::exception&) {
        // The earlier archive's failure belongs to it; this one starts anew.
    }
    try {
        file_.open(name, false, false);
        opened_ = true;
        add_time();
        return true;
    } catch (const std::exception&) {
        opened_ = false;
        try {
            file_.close();
        } catch (const std::exception&) {}
        return false;
    }
}

void GZIP_COMPRESS::close() {
    if (!opened_) return;
    opened_ = false;
    file_.close();
}

void GZIP_COMPRESS::check_open(const char* function) const {
    // Sections written to nothing would be lost without a word.
    if (!opened_) throw GZIP_EXCEPTION(std::string(function) + ": the archive is not open");
}

void GZIP_COMPRESS::write_header(GZIP_MARKS mark, const std::string& name, std::int32_t length) {
    // The name is stored up to its 0 byte: anything after it would be taken
    // for the length and corrupt every section that follows.
    file_ << static_cast<char>(mark) << name.substr(0, name.find('\0')) << static_cast<int>(length);
}

void GZIP_COMPRESS::add_time() {
    check_open("GZIP_COMPRESS::add_time");
    write_header(GZIP_MARK_TIME, "TIME", 4);
    file_ << static_cast<unsigned int>(lib::get_local_time());
}

void GZIP_COMPRESS::add_comment(const std::string& text) {
    check_open("GZIP_COMPRESS::add_comment");
    write_header(GZIP_MARK_COMMENT, text, 0);
}

void GZIP_COMPRESS::add_data(const std::string& name, lib::array<char>& data, GZIP_MARKS mark) {
    check_open("GZIP_COMPRESS::add_data");
    // A time section is its 4-byte stamp; packed data under that mark would
    // make the archive unreadable.
    if (mark == GZIP_MARK_TIME) throw GZIP_EXCEPTION("GZIP_COMPRESS::add_data: a time section holds no packed data");
    const std::uint64_t size = data.size();
    // zlib's own bound, and never less than the classic 1.01 n + 12.
    std::uint64_t bound = size + (size >> 12) + (size >> 14) + (size >> 25) + 13;
    bound = std::max<std::uint64_t>(bound, size + size / 100 + 12);
    if (bound > static_cast<std::uint64_t>(INT32_MAX) - 8)
        throw GZIP_EXCEPTION("GZIP_COMPRESS::add_data: '" + name + "' is too large for the archive");

    lib::array<char> packed(static_cast<std::size_t>(bound));
    uLongf packed_size = static_cast<uLongf>(bound);
    int result = lib::zlib().compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
                                       reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(size), 9);
    GZIP_EXCEPTION::check_result(result, "compress2", "GZIP_COMPRESS::add_data");

    write_header(mark, name, static_cast<std::int32_t>(packed_size + 8));
    file_ << static_cast<int>(size) << static_cast<int>(packed_size);
    if (packed_size) file_.write(packed.data(), static_cast<unsigned>(packed_size));
}

bool GZIP_COMPRESS::add_file(const std::string& path) {
    check_open("GZIP_COMPRESS::add_file");
    std::int64_t size = lib::get_file_size(path);
    if (size < 0) return false;
    if (size > INT32_MAX) throw GZIP_EXCEPTION("GZIP_COMPRESS::add_file: '" + path + "' is too large for the archive");
    lib::array<char> data(static_cast<std::size_t>(size));
    try {
        lib::io::BinaryInputFileStream in;
        in.open(path, false);
        if (size) in.read(data.data(), static_cast<unsigned>(size));
    } catch (const std::exception&) {
        return false;
    }
    add_data(base_name(path), data, GZIP_MARK_FILE);
    return true;
}

// --- Reader ---------------------------------------------------------------------

void GZIP_DECOMPRESS::damaged(const std::string& cause, std::int64_t offset) {
    std::string message = "GZIP_DECOMPRESS::open: damaged archive '" + name_ + "': " + cause + " (section at offset " +
                          std::to_string(offset) + ")";
    close();
    throw GZIP_EXCEPTION(message);
}

void GZIP_DECOMPRESS::open(const std::string& name) {
    close();
    name_ = name;
    if (!file_.open(name, lib::om_read)) {
        // An empty file cannot be mapped, yet it is a valid empty archive.
        os::File probe;
        if (probe.open(name, os::File::Mode::read, false, os::RetryPolicy{1, {}}) == os::File::Status::ok &&
            probe.size() == 0)
            return;
        throw GZIP_EXCEPTION("GZIP_DECOMPRESS::open: can't open archive '" + name + "'");
    }
    const char* p = file_.get_pointer();
    const std::int64_t n = static_cast<std::int64_t>(file_.get_file_size());
    std::int64_t pos = 0;
    while (pos < n) {
        auto block = std::make_unique<GZIP_FILE_BLOCK>();
        block->offset = pos;
        block->mark = static_cast<unsigned char>(p[pos++]);
        const void* zero = std::memchr(p + pos, 0, static_cast<std::size_t>(n - pos));
        if (!zero) damaged("a section name runs to the end of the file", block->offset);
        std::int64_t name_end = static_cast<const char*>(zero) - p;
        block->name = rtl::cp1251_to_utf8(std::string_view(p + pos, static_cast<std::size_t>(name_end - pos)));
        pos = name_end + 1;
        if (n - pos < 4) damaged("the file ends inside a section length", block->offset);
        std::int32_t length = get_i32(p + pos);
        pos += 4;
        if (length < 0) damaged("negative section length " + std::to_string(length), block->offset);
        if (length > n - pos)
            damaged("section '" + block->name + "' runs " + std::to_string(length - (n - pos)) +
                        " bytes past the end of the file",
                    block->offset);
        block->length = length;
        block->body_offset = pos;
        if (block->mark == GZIP_MARK_FILE) {
            if (length < 8) damaged("file section '" + block->name + "' is too short for its sizes", block->offset);
            std::int32_t unpacked = get_i32(p + pos);
            std::int32_t packed = get_i32(p + pos + 4);
            if (unpacked < 0 || packed < 0 || static_cast<std::int64_t>(packed) + 8 != length)
                damaged("the sizes of file section '" + block->name + "' (" + std::to_string(unpacked) + ", " +
                            std::to_string(packed) + ") do not fit its length " + std::to_string(length),
                        block->offset);
            if (unpacked > kMaxRatio * packed)
                damaged("file section '" + block->name + "' claims " + std::to_string(unpacked) + " bytes from " +
                            std::to_string(packed) + " packed bytes",
                        block->offset);
        } else if (block->mark == GZIP_MARK_TIME && length != 4) {
            damaged("a time section of " + std::to_string(length) + " bytes", block->offset);
        }
        pos += length;
        blocks_.push_back(std::move(block));
    }
}

void GZIP_DECOMPRESS::close() {
    file_.close();
    blocks_.clear();
}

std::string GZIP_DECOMPRESS::read_comment() {
    std::string text;
    for (const auto& block : blocks_)
        if (block->mark == GZIP_MARK_COMMENT) text = block->name;
    return text;
}

unsigned GZIP_DECOMPRESS::get_time() {
    for (const auto& block : blocks_)
        if (block->mark == GZIP_MARK_TIME)
            return static_cast<unsigned>(get_i32(file_.get_pointer() + block->body_offset));
    return 0;
}

GZIP_FILE_BLOCK* GZIP_DECOMPRESS::find_block(const std::string& name) {
    for (const auto& block : blocks_)
        if (rtl::SameText(block->name, name)) return block.get();
    return nullptr;
}

void GZIP_DECOMPRESS::decompress_section(GZIP_FILE_BLOCK* block, lib::array<char>& out) {
    const char* function = "GZIP_DECOMPRESS::decompress_section";
    out.resize(0);
    // Only a section of this archive, as indexed by open, is read: its
    // offsets and sizes have been checked against the file.
    bool ours = std::any_of(blocks_.begin(), blocks_.end(), [&](const auto& b) { return b.get() == block; });
    if (!block || !ours) throw GZIP_EXCEPTION(std::string(function) + ": not a section of archive '" + name_ + "'");
    if (block->mark != GZIP_MARK_FILE)
        throw GZIP_EXCEPTION(std::string(function) + ": section '" + block->name + "' of archive '" + name_ +
                             "' is not a file");
    const char* body = file_.get_pointer() + block->body_offset;
    std::int32_t unpacked = get_i32(body);
    std::int32_t packed = get_i32(body + 4);
    lib::array<char> data(static_cast<std::size_t>(unpacked));
    uLongf size = static_cast<uLongf>(unpacked);
    int result = lib::zlib().uncompress(reinterpret_cast<Bytef*>(data.data()), &size,
                                        reinterpret_cast<const Bytef*>(body + 8), static_cast<uLong>(packed));
    GZIP_EXCEPTION::check_result(result, "uncompress", function);
    if (size != static_cast<uLongf>(unpacked))
        throw GZIP_EXCEPTION(std::string(function) + ": section '" + block->name + "' of archive '" + name_ +
                             "' unpacks to " + std::to_string(size) + " bytes, not " + std::to_string(unpacked));
    out = std::move(data);
}

void GZIP_DECOMPRESS::extract_to(const std::string& folder) {
    for (const auto& block : blocks_)
        if (block->mark == GZIP_MARK_FILE && !is_safe_name(block->name))
            throw GZIP_EXCEPTION("GZIP_DECOMPRESS::extract_to: archive '" + name_ + "' holds the file name '" +
                                 block->name + "', which would be written outside '" + folder + "'");
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
    for (const auto& block : blocks_) {
        if (block->mark != GZIP_MARK_FILE) continue;
        lib::array<char> data;
        decompress_section(block.get(), data);
        const std::string path = os::native_path(prefix + block->name);
        // A new file put in place of the name: a link planted under it, hard
        // or symbolic, is replaced, never written through, and a failure
        // leaves whatever was there as it was.
        os::ReplacementFile out;
        if (!out.create(path) || !out.write(data.data(), data.size()) || !out.commit())
            throw GZIP_EXCEPTION("GZIP_DECOMPRESS::extract_to: cannot write '" + path + "' from archive '" + name_ +
                                 "': " + std::generic_category().message(out.last_error()));
    }
}
