// Every typed value through every stream form: the bytes written must be the
// stored encoding, and the file, memory and mapped readers must give the
// values back.

#include "library/io/binary_stream.h"
#include "library/io/file_streams.h"
#include "platform/os/testing.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace lib::io;

const double kDateTime = 45351.572916666664;  // 2024-02-29 13:45

// The values, and the bytes they are stored as (little-endian, strings in
// Windows-1251 with a 0 byte).
void write_all(BinaryOutputStream& out) {
    out << 'A' << true << false << static_cast<short>(-2) << -2 << 0x01020304u << 1.0f << -2.5;
    write_binary(out, kDateTime);
    out << std::string("abc") << std::string();
    write_binary(out, std::string("Привет, Ёж"));
    out.write_line("строка 1");
    out.write_line("");
}

const std::string kBytes = std::string(
    "\x41"                              // char 'A'
    "\x01\x00"                          // true, false
    "\xFE\xFF"                          // short -2
    "\xFE\xFF\xFF\xFF"                  // int -2
    "\x04\x03\x02\x01"                  // unsigned 0x01020304
    "\x00\x00\x80\x3F"                  // float 1.0
    "\x00\x00\x00\x00\x00\x00\x04\xC0"  // double -2.5
    "\x55\x55\x55\x55\xF2\x24\xE6\x40"  // TDateTime 45351.572916666664
    "abc\x00"
    "\x00"
    "\xCF\xF0\xE8\xE2\xE5\xF2\x2C\x20\xA8\xE6\x00"  // "Привет, Ёж"
    "\xF1\xF2\xF0\xEE\xEA\xE0\x20\x31\x0D\x0A"      // "строка 1" CR LF
    "\x0D\x0A",
    1 + 2 + 2 + 4 + 4 + 4 + 8 + 8 + 4 + 1 + 11 + 10 + 2);

void read_all(BinaryInputStream& in) {
    char c = 0;
    bool t = false, f = true;
    int i = 0;
    unsigned u = 0;
    float fl = 0;
    double d = 0, dt = 0;
    std::string s1, s2, s3;
    in >> c >> t >> f;
    in.skip(2);  // the short has no reader of its own
    in >> i >> u >> fl >> d;
    read_binary(in, dt);
    in >> s1 >> s2;
    read_binary(in, s3);
    EXPECT_EQ(c, 'A');
    EXPECT_TRUE(t);
    EXPECT_FALSE(f);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(u, 0x01020304u);
    EXPECT_EQ(fl, 1.0f);
    EXPECT_EQ(d, -2.5);
    EXPECT_EQ(dt, kDateTime);
    EXPECT_EQ(s1, "abc");
    EXPECT_EQ(s2, "");
    EXPECT_EQ(s3, "Привет, Ёж");
    EXPECT_EQ(in.read_line(), "строка 1");
    EXPECT_FALSE(in.eof());
    EXPECT_EQ(in.read_line(), "");
    EXPECT_TRUE(in.eof());
    EXPECT_THROW(in.get(), std::exception);
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StreamVectors, MemoryStreamsWriteTheEncodingAndReadItBack) {
    BinaryMemoryOutputStream out(1024);
    write_all(out);
    ASSERT_EQ(std::string(out.get_buffer(), out.get_size()), kBytes);
    BinaryMemoryInputStream in;
    in.set_data(out.get_buffer(), out.get_size());
    read_all(in);
}

TEST(StreamVectors, FileStreamsAndTheMappedReaderAgree) {
    os::testing::TempDir dir;
    std::string path = dir / "values.bin";
    {
        BinaryOutputFileStream out;
        out.open(path, false, true);
        write_all(out);
    }
    ASSERT_EQ(file_bytes(path), kBytes);
    {
        BinaryInputFileStream in;
        in.open(path, true);
        read_all(in);
    }
    {
        InputMappedFile in;
        in.open(path, true);
        EXPECT_EQ(in.get_size(), static_cast<std::int64_t>(kBytes.size()));
        read_all(in);
    }
}

}  // namespace
