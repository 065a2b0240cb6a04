#include "library/mapped_file.h"

#include "library/io/file_streams.h"
#include "platform/os/testing.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// int -2, unsigned 0x01020304, int64 -3, uint64 2^40, char 'A', uchar 0xFF,
// bool, float 1.0, double -2.5, extended 1.5, and a string.
const std::string kBytes = std::string(
    "\xFE\xFF\xFF\xFF"
    "\x04\x03\x02\x01"
    "\xFD\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
    "\x00\x00\x00\x00\x00\x01\x00\x00"
    "\x41"
    "\xFF"
    "\x01"
    "\x00\x00\x80\x3F"
    "\x00\x00\x00\x00\x00\x00\x04\xC0"
    "\x00\x00\x00\x00\x00\x00\x00\xC0\xFF\x3F"
    "\xC8\xE2\xE0\xED\x00",
    4 + 4 + 8 + 8 + 1 + 1 + 1 + 4 + 8 + 10 + 5);

TEST(MappedFile, ReadsEveryTypedValue) {
    os::testing::TempDir dir;
    std::string path = dir / "values.bin";
    put(path, kBytes);
    lib::mapped_file f;
    ASSERT_TRUE(f.open(path, lib::om_read));
    int i = 0;
    unsigned u = 0;
    std::int64_t i64 = 0;
    std::uint64_t u64 = 0;
    char c = 0;
    unsigned char uc = 0;
    bool b = false;
    float fl = 0;
    double d = 0;
    long double ld = 0;
    std::string s;
    f >> i >> u >> i64 >> u64 >> c >> uc >> b >> fl >> d >> ld >> s;
    EXPECT_EQ(i, -2);
    EXPECT_EQ(u, 0x01020304u);
    EXPECT_EQ(i64, -3);
    EXPECT_EQ(u64, 1ULL << 40);
    EXPECT_EQ(c, 'A');
    EXPECT_EQ(uc, 0xFF);
    EXPECT_TRUE(b);
    EXPECT_EQ(fl, 1.0f);
    EXPECT_EQ(d, -2.5);
    EXPECT_EQ(ld, 1.5L);
    EXPECT_EQ(s, "Иван");
    EXPECT_TRUE(f.eof());
    EXPECT_FALSE(f.good());
}

TEST(MappedFile, WritesThroughAGrowingMappingAndEndsAfterTheLastByte) {
    os::testing::TempDir dir;
    std::string path = dir / "out.bin";
    {
        lib::mapped_file f;
        ASSERT_TRUE(f.open(path, lib::om_read_write, 0));
        EXPECT_EQ(f.write("\xFE\xFF\xFF\xFF", 4), 4);
        f << 2.5;
        lib::write_bin_data(f, std::string("Иван"));
        lib::write_bin_data(f, "ab");
        lib::write_bin_data(f, 45351.5);
        EXPECT_EQ(f.tellp(), 4 + 8 + 5 + 3 + 8);
    }
    lib::io::BinaryMemoryOutputStream expect;
    expect << -2 << 2.5 << std::string("Иван") << "ab";
    lib::io::write_binary(expect, 45351.5);
    EXPECT_EQ(get(path), std::string(expect.get_buffer(), expect.get_size()));
}

TEST(MappedFile, TenBytesWrittenMakeATenByteFile) {
    os::testing::TempDir dir;
    std::string path = dir / "ten.bin";
    {
        lib::mapped_file f;
        ASSERT_TRUE(f.open(path, lib::om_read_write, 0));
        EXPECT_EQ(f.write("0123456789", 10), 10);
    }
    EXPECT_EQ(get(path), "0123456789");
    {
        lib::mapped_file f;  // nothing written: empty, not one stray byte
        ASSERT_TRUE(f.open(path, lib::om_read_write, 0));
    }
    EXPECT_EQ(get(path), "");
}

TEST(MappedFile, AWriteBeyondTheEndGrowsToCoverItsPosition) {
    os::testing::TempDir dir;
    std::string path = dir / "far.bin";
    {
        lib::mapped_file f;
        ASSERT_TRUE(f.open(path, lib::om_read_write, 0));
        EXPECT_EQ(f.seekp(100, lib::sk_begin), 100);
        EXPECT_EQ(f.write("abcd", 4), 4);
        EXPECT_EQ(f.seekp(-1000, lib::sk_current), -896);
        EXPECT_EQ(f.write("x", 1), -1);  // no place before the start
    }
    std::string bytes = get(path);
    ASSERT_EQ(bytes.size(), 104u);
    EXPECT_EQ(bytes.substr(100), "abcd");
    EXPECT_EQ(bytes.substr(0, 100), std::string(100, '\0'));
}

TEST(MappedFile, ReadsThatDoNotFitLeaveTheirTargetAlone) {
    os::testing::TempDir dir;
    std::string path = dir / "r.bin";
    put(path, std::string("\x01\x02\x03\x04\x05\x06\x07", 7));
    lib::mapped_file f;
    ASSERT_TRUE(f.open(path, lib::om_read));
    EXPECT_EQ(f.seekg(4, lib::sk_begin), 4);
    int i = 42;
    f >> i;
    EXPECT_EQ(i, 42);
    EXPECT_EQ(f.tellg(), 4);
    EXPECT_TRUE(f.good());
    char buf[16];
    EXPECT_EQ(f.read(buf, 16), 3);  // only what is left
    EXPECT_EQ(std::string(buf, 3), "\x05\x06\x07");
    EXPECT_FALSE(f.good());
    EXPECT_EQ(f.read(buf, 1), -1);
    EXPECT_EQ(f.get(), -1);

    EXPECT_EQ(f.seekg(0, lib::sk_end), 6);  // the last byte
    EXPECT_TRUE(f.good());
    EXPECT_EQ(f.get(), 7);
    EXPECT_FALSE(f.good());  // after the last byte

    EXPECT_EQ(f.seekg(-5, lib::sk_begin), -5);
    EXPECT_FALSE(f.good());
    f >> i;
    EXPECT_EQ(i, 42);
    EXPECT_EQ(f.seekg(INT64_MAX, lib::sk_current), INT64_MAX - 5);  // no overflow
    EXPECT_FALSE(f.good());
}

TEST(MappedFile, StringsAndBytes) {
    os::testing::TempDir dir;
    std::string path = dir / "s.bin";
    put(path, std::string("ab\0\xFF"
                          "cd",
                          6));
    lib::mapped_file f;
    ASSERT_TRUE(f.open(path, lib::om_read));
    std::string s;
    f >> s;
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(f.get(), 0xFF);  // a letter in Windows-1251, not the end
    f >> s;                    // no 0 before the end: read up to it
    EXPECT_EQ(s, "cd");
    EXPECT_TRUE(f.eof());
}

TEST(MappedFile, OpenFailures) {
    os::testing::TempDir dir;
    put(dir / "empty", "");
    put(dir / "data", "data");
    lib::mapped_file f;
    EXPECT_FALSE(f.open(dir / "empty", lib::om_read));
    EXPECT_FALSE(f.open(dir / "missing", lib::om_read));
    EXPECT_FALSE(f.open(dir / "data", static_cast<lib::open_modes>(5)));
    EXPECT_FALSE(f.is_ok());
    ASSERT_TRUE(f.open(dir / "data", lib::om_read));
    EXPECT_FALSE(f.open(dir / "data", lib::om_read));  // already open
    EXPECT_EQ(f.write("x", 1), -1);                    // a read-only view is never written
    // Held as a reader: no writer may replace it meanwhile.
    lib::mapped_file w;
    EXPECT_FALSE(w.open(dir / "data", lib::om_read_write, 10));
    f.close();
    EXPECT_EQ(get(dir / "data"), "data");
}

}  // namespace
