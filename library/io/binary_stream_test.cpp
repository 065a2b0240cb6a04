#include "library/io/binary_stream.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using lib::io::BinaryMemoryInputStream;
using lib::io::BinaryMemoryOutputStream;

std::string bytes_of(const BinaryMemoryOutputStream& out) {
    return out.get_size() ? std::string(out.get_buffer(), out.get_size()) : std::string();
}

TEST(BinaryStream, StringsAndLinesHaveTheirStoredBytes) {
    BinaryMemoryOutputStream out(16);
    out << std::string("abc");
    EXPECT_EQ(bytes_of(out), std::string("abc\0", 4));
    out.clear();
    EXPECT_EQ(out.get_buffer(), nullptr);
    out << std::string();
    EXPECT_EQ(bytes_of(out), std::string(1, '\0'));
    out.clear();
    out.write_line("abc");
    EXPECT_EQ(bytes_of(out), "abc\r\n");
    out.clear();
    out << "lit";  // a literal is a string, not a bool
    EXPECT_EQ(bytes_of(out), std::string("lit\0", 4));
}

TEST(BinaryStream, ReadLineDropsControlBytesAndEndsAtTheEnd) {
    BinaryMemoryInputStream in;
    const char data[] = "ab\r\ncd";
    in.set_data(data, 6);
    EXPECT_EQ(in.read_line(), "ab");
    EXPECT_EQ(in.read_line(), "cd");
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(in.read_line(), "");

    const char tabs[] = "a\tb\0c\n\nz";
    in.set_data(tabs, 8);
    EXPECT_EQ(in.read_line(), "abc");
    EXPECT_EQ(in.read_line(), "");
    EXPECT_EQ(in.read_line(), "z");
}

TEST(BinaryStream, MemoryReadsAtTheEndThrowTheirMessages) {
    BinaryMemoryInputStream in;
    in.set_data("\x01\x02\x03\x04", 4);
    char buf[8];
    in.read(buf, 4);
    try {
        in.read(buf, 1);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "BinaryMemoryInputStream::read: eof() == true");
    }
    in.set_data("\x01\x02\x03\x04", 4);
    try {
        in.read(buf, 5);
        FAIL();
    } catch (const std::range_error& e) {
        EXPECT_STREQ(e.what(), "BinaryMemoryInputStream::read: out of range");
    }
    int value = 0;
    in >> value;  // a read that ends exactly at the end succeeds
    EXPECT_EQ(value, 0x04030201);
}

TEST(BinaryStream, StringWithoutItsZeroThrowsInsteadOfLooping) {
    BinaryMemoryInputStream in;
    in.set_data("abc", 3);
    std::string s;
    EXPECT_THROW(in >> s, std::runtime_error);
}

TEST(BinaryStream, MemorySkipStopsAtTheEndAndNeverGoesBeforeTheStart) {
    BinaryMemoryInputStream in;
    in.set_data("abcdef", 6);
    in.skip(2);
    EXPECT_EQ(in.get(), 'c');
    in.skip(-3);
    EXPECT_EQ(in.get(), 'a');
    EXPECT_THROW(in.skip(-2), std::range_error);
    EXPECT_EQ(in.get(), 'b');
    in.skip(0x7FFFFFFF);
    EXPECT_TRUE(in.eof());
    in.skip(-1);
    EXPECT_EQ(in.get(), 'f');
}

TEST(BinaryStream, BoolReadsAnyNonzeroByteAsTrue) {
    BinaryMemoryInputStream in;
    in.set_data("\x00\x01\x02\xFF", 4);
    bool b[4];
    in >> b[0] >> b[1] >> b[2] >> b[3];
    EXPECT_FALSE(b[0]);
    EXPECT_TRUE(b[1]);
    EXPECT_TRUE(b[2]);
    EXPECT_TRUE(b[3]);
}

}  // namespace
