// station_files' reading of a trip, block by block, against the data-file
// table's reading of the same bytes, and whether a file is closed.

#include "tools/station_host/trip_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/testing.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kT = 1700000000;

struct Blocks {
    std::string bytes;
    lib::io::BinaryMemoryOutputStream out{bytes};
    lib::realtime::BlockEncoder enc;

    Blocks& params(int n) {
        std::vector<FileStorageParam> p;
        for (int i = 0; i < n; ++i)
            p.emplace_back("П" + std::to_string(i), "п", "ед", "параметр_" + std::to_string(i), 0.0f, 10.0f);
        enc.write_params(out, p);
        return *this;
    }
    Blocks& records(std::uint32_t from, int n, int values) {
        std::vector<float> v(std::size_t(values), 1.5f);
        for (int i = 0; i < n; ++i)
            enc.write_record(out, from + std::uint32_t(i), 10.0f + float(i), 9, 6, 1, v.data(), v.size());
        return *this;
    }
    Blocks& text(const std::string& t) {
        enc.write_text(out, t);
        return *this;
    }
};

const std::string kStart = "номер_рейса=3\r\nшаг_записи_по_времени=1\r\n";
const std::string kEnd = "конеч_глубина=20\r\nконеч_время=1700000100\r\n";

// The files as the host leaves them, and with the damage a reader meets:
// the counts, parameters and warnings are the table's.
TEST(TripFiles, CountsAndWarningsAreTheTables) {
    Blocks clean;
    clean.params(3).text(kStart).records(kT, 20, 3).params(2).records(kT + 20, 5, 2).records(kT + 25, 1, 3).text(kEnd);
    std::string garbage = clean.bytes;
    garbage.insert(garbage.size() / 2, "\x07");
    std::string torn = clean.bytes + std::string("\x01\x40\x00", 3) + std::string(10, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        int records;
    };
    for (const Case& c : {Case{"clean", clean.bytes, 25}, Case{"garbage", garbage, -1}, Case{"torn", torn, 25}}) {
        os::testing::TempDir dir;
        const std::string path = dir.path() + "/0003.realtim";
        os::testing::write_bytes(path, c.bytes);
        FileStorage table;
        table.add_file(path, false);
        std::vector<AnsiString> warnings;
        table.get_warnings(warnings);
        const auto files = read_trip_files(dir.path(), 3);
        const TripFile& f = files[0];
        ASSERT_TRUE(f.exists) << c.name;
        EXPECT_EQ(f.records, table.get_data_size()) << c.name;
        if (c.records >= 0) {
            EXPECT_EQ(f.records, c.records) << c.name;
        }
        ASSERT_EQ(f.params.size(), std::size_t(table.get_params_count())) << c.name;
        EXPECT_EQ(f.warnings, std::vector<std::string>(warnings.begin(), warnings.end())) << c.name;
        EXPECT_EQ(f.time_first, kT) << c.name;
        EXPECT_EQ(f.trip_number, "3") << c.name;
    }
}

// A trip stopped and continued: its files get records again after their
// end and are open until the trip ends once more.
TEST(TripFiles, AFileAppendedToAfterItsEndIsOpen) {
    os::testing::TempDir dir;
    const std::string path = dir.path() + "/0003.realtim";
    Blocks b;
    b.params(2).text(kStart).records(kT, 10, 2).text(kEnd);
    os::testing::write_bytes(path, b.bytes);
    EXPECT_TRUE(read_trip_files(dir.path(), 3)[0].has_end);

    b.text("номер_рейса=3\r\n").records(kT + 50, 3, 2);
    os::testing::write_bytes(path, b.bytes);
    auto files = read_trip_files(dir.path(), 3);
    EXPECT_FALSE(files[0].has_end);
    EXPECT_EQ(files[0].records, 13);
    EXPECT_NE(describe(files).find("13 records, 2 parameters"), std::string::npos) << describe(files);
    EXPECT_NE(describe(files).find(", open"), std::string::npos) << describe(files);

    // The continue's start text alone (no record yet) opens it too.
    Blocks c;
    c.params(2).text(kStart).records(kT, 10, 2).text(kEnd).text("номер_рейса=3\r\n");
    os::testing::write_bytes(path, c.bytes);
    EXPECT_FALSE(read_trip_files(dir.path(), 3)[0].has_end);

    b.text(kEnd);
    os::testing::write_bytes(path, b.bytes);
    files = read_trip_files(dir.path(), 3);
    EXPECT_TRUE(files[0].has_end);
    EXPECT_NE(describe(files).find(", closed"), std::string::npos) << describe(files);
}

}  // namespace
}  // namespace station_host
