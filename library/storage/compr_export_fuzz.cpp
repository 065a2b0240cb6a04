// libFuzzer target of the export readers (scripts/fuzz.sh builds and runs it).
//
// The first byte picks what the rest is read as:
//   0  a single-stream archive, as it stands
//   1  a single-stream archive after a sound "CREGFILE" head and version
//   2  the data of a quantised column (after the coding int), then the
//      column length as the last two bytes
//   3  the data of a wavelet column, likewise
//   4  the eight files of an export: eight 16-bit sizes, then the files'
//      bytes one after another
// Whatever the bytes, a reader either fails with an exception or gives a
// table of sound shape (at most 128 columns, one value per column in every
// record) or a column of exactly the length asked for; a failed table is
// empty; a single-stream archive read whole writes and reads back the same.

#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"
#include "platform/os/testing.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class Sink : public lib::io::BinaryOutputStream {
public:
    void write(const char* buffer, unsigned count) override { bytes.append(buffer, count); }
    std::string bytes;
};

class Source : public lib::io::BinaryMemoryInputStream {
public:
    Source(const char* data, std::size_t size) { set_data(data, size); }
};

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

#define check(ok)                                                         \
    do {                                                                  \
        if (!(ok)) {                                                      \
            std::fprintf(stderr, "compr_export_fuzz: not so: %s\n", #ok); \
            std::abort();                                                 \
        }                                                                 \
    } while (0)

void check_shape(const FileStorage& t) {
    check(t.get_params_count() <= FileStorage::max_params);
    for (int i = 0; i < t.get_data_size(); ++i)
        check(t.get_record(i)->values.size() == static_cast<std::size_t>(t.get_params_count()));
}

void check_empty(const FileStorage& t) { check(t.get_data_size() == 0 && t.get_params_count() == 0); }

void single_stream(const std::string& bytes) {
    FileStorage t;
    Source in(bytes.data(), bytes.size());
    try {
        t.load_after_decompressing(in);
    } catch (const std::exception&) {
        check_empty(t);
        return;
    }
    check_shape(t);
    Sink out;
    t.save_for_compressing_old(out, nullptr);
    FileStorage back;
    Source again(out.bytes.data(), out.bytes.size());
    back.load_after_decompressing(again);
    check(back.get_params_count() == t.get_params_count() && back.get_data_size() == t.get_data_size());
    for (int i = 0; i < t.get_data_size(); ++i) {
        const FileStorageRecord *a = t.get_record(i), *b = back.get_record(i);
        check(a->time.get_value() == b->time.get_value() && same_bits(a->depth_z, b->depth_z) &&
              same_bits(a->depth_cur, b->depth_cur) && same_bits(a->lag_depth, b->lag_depth) &&
              a->operation == b->operation);
        for (std::size_t k = 0; k < a->values.size(); ++k) check(same_bits(a->values[k], b->values[k]));
    }
}

void column(int mode, const char* data, std::size_t size) {
    if (size < 2) return;
    std::size_t count = static_cast<unsigned char>(data[size - 2]) | static_cast<unsigned char>(data[size - 1]) << 8;
    Source in(data, size - 2);
    std::vector<float> values;
    try {
        if (mode == 2)
            FileStorage::smart_read_vector(in, values, count);
        else
            FileStorage::read_wavelet_vector(in, values, count);
    } catch (const std::exception&) {
        return;
    }
    check(values.size() == count);
}

// In memory where the system has such a folder: a disk file system may
// write a truncated and rewritten file out at once, hundreds of times slower.
os::testing::TempDir& scratch_dir() {
    static os::testing::TempDir* dir = [] {
        if (std::filesystem::is_directory("/dev/shm")) ::setenv("TMPDIR", "/dev/shm", 1);
        return new os::testing::TempDir;
    }();
    return *dir;
}

void eight_files(const char* data, std::size_t size) {
    os::testing::TempDir& dir = scratch_dir();
    static const char* const suffixes[] = {".params",    ".text",      ".time",      ".depth_z",
                                           ".depth_cur", ".lag_depth", ".operation", ".values"};
    if (size < 16) return;
    std::size_t at = 16;
    for (int f = 0; f < 8; ++f) {
        std::size_t n = static_cast<unsigned char>(data[2 * f]) | static_cast<unsigned char>(data[2 * f + 1]) << 8;
        n = std::min(n, size - at);
        std::ofstream(dir / (std::string("x") + suffixes[f]), std::ios::binary | std::ios::trunc)
            .write(data + at, static_cast<std::streamsize>(n));
        at += n;
    }
    FileStorage t;
    try {
        t.load_compr_rt(dir / "x");
    } catch (const std::exception&) {
        check_empty(t);
        return;
    }
    check_shape(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char* bytes = reinterpret_cast<const char*>(data) + 1;
    const std::size_t rest = size - 1;
    switch (data[0] % 5) {
        case 0: single_stream(std::string(bytes, rest)); break;
        case 1: single_stream(std::string("CREGFILE\0\1\0\0\0", 13) + std::string(bytes, rest)); break;
        case 2:
        case 3: column(data[0] % 5, bytes, rest); break;
        default: eight_files(bytes, rest); break;
    }
    return 0;
}
