// libFuzzer target of the block reader (scripts/fuzz.sh builds and runs it).
//
// Whatever the bytes, reading them must stay inside them, keep the table's
// shape (at most 128 columns, every record one value per column), and give
// a table that the encoder writes and the reader reads back unchanged and
// without a warning.

#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class Sink : public lib::io::BinaryOutputStream {
public:
    void write(const char* buffer, unsigned count) override { bytes.append(buffer, count); }
    std::string bytes;
};

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Simple values are taken as they are, but the writer has only records,
// whose values beyond +-1e20 zero the whole record when read.
bool beyond_1e20(const FileStorageRecord& r) {
    for (float v : r.values)
        if (v >= 1e20f || v <= -1e20f) return true;
    return false;
}

// A broken promise names itself before the fuzzer records the input.
#define check(ok)                                                      \
    do {                                                               \
        if (!(ok)) {                                                   \
            std::fprintf(stderr, "rt_blocks_fuzz: not so: %s\n", #ok); \
            std::abort();                                              \
        }                                                              \
    } while (0)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);

    FileStorage texts;
    texts.add_blocks(bytes, size, true);
    check(texts.get_data_size() == 0 && texts.get_params_count() == 0);

    FileStorage table;
    table.add_blocks(bytes, size, false);
    const int columns = table.get_params_count();
    check(columns <= FileStorage::max_params);
    for (int i = 0; i < table.get_data_size(); ++i)
        check(table.get_record(i)->values.size() == static_cast<std::size_t>(columns));

    Sink out;
    try {
        table.save_all_to_stream(out, -1);
    } catch (const FileStorageException& e) {
        // Columns joined from several headers may hold more text than one
        // header block can; the writer refuses that, and nothing else.
        check(e.is_critical());
        return 0;
    }
    FileStorage back;
    back.add_blocks(out.bytes.data(), out.bytes.size(), false);
    std::vector<AnsiString> warnings;
    back.get_warnings(warnings);
    check(warnings.empty());
    check(back.get_params_count() == columns);
    for (int i = 0; i < columns; ++i) {
        const FileStorageParam *a = table.get_param(i), *b = back.get_param(i);
        check(a->name == b->name && a->short_name == b->short_name && a->units == b->units &&
              a->global_name == b->global_name && same_bits(a->lower_bound, b->lower_bound) &&
              same_bits(a->upper_bound, b->upper_bound));
    }
    check(back.get_data_size() == table.get_data_size());
    for (int i = 0; i < table.get_data_size(); ++i) {
        const FileStorageRecord *a = table.get_record(i), *b = back.get_record(i);
        check(a->time.get_value() == b->time.get_value() && same_bits(a->depth_z, b->depth_z) &&
              same_bits(a->depth_cur, b->depth_cur) && same_bits(a->lag_depth, b->lag_depth) &&
              a->operation == b->operation && a->values.size() == b->values.size());
        const bool zeroed = beyond_1e20(*a);
        for (std::size_t k = 0; k < a->values.size(); ++k)
            check(zeroed ? b->values[k] == 0.0f : same_bits(a->values[k], b->values[k]));
    }
    return 0;
}
