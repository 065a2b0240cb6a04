#include "library/serial/serial_list.h"

#include "platform/rtl/stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

enum class Kind { none, drilling = 3 };

struct Inner {
    std::int32_t x = 0;
    std::string s;
    void get_serial_list(lib::serial_list& list) { list | x | s; }
};

struct Fields {
    bool flag = false;
    char byte = 0;
    std::int16_t i16 = 0;
    std::int32_t i32 = 0;
    std::uint32_t u32 = 0;
    float f = 0;
    double d = 0;
    long double ext = 0;
    Kind kind = Kind::none;
    std::string text;
    std::vector<std::int32_t> ints;
    lib::array<std::string> names;
    std::vector<Inner> inner;

    void transfer(lib::serial_list& list) {
        list | flag | byte | i16 | i32 | u32 | f | d | ext | kind | text | ints | names | inner;
    }
};

std::string hex(const std::vector<char>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (!s.empty()) s += ' ';
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

lib::SerialInputBuffer reader_of(const std::vector<unsigned char>& bytes) {
    lib::SerialOutputBuffer out;
    std::vector<char> copy(bytes.begin(), bytes.end());
    out.process_binary(copy.data(), static_cast<int>(copy.size()));
    lib::SerialInputBuffer in;
    in.copy_from(out);
    return in;
}

}  // namespace

TEST(SerialList, EveryFieldHasOneFixedForm) {
    Fields w;
    w.flag = true;
    w.byte = 'a';
    w.i16 = -2;
    w.i32 = 1030;
    w.u32 = 0xDEADBEEF;
    w.f = 1.0f;
    w.d = -2.5;
    w.ext = 1.0L;
    w.kind = Kind::drilling;
    w.text = "Да";
    w.ints = {1, -1};
    w.names.resize(1);
    w.names[0] = "";
    w.inner = {Inner{7, "x"}};
    lib::SerialOutputBuffer out;
    w.transfer(out);
    EXPECT_EQ(hex(out.bytes()),
              "01 "                             // bool
              "61 "                             // char
              "FE FF "                          // int16
              "06 04 00 00 "                    // int32 1030
              "EF BE AD DE "                    // uint32
              "00 00 80 3F "                    // float 1
              "00 00 00 00 00 00 04 C0 "        // double -2.5
              "00 00 00 00 00 00 00 80 FF 3F "  // extended 1
              "03 00 00 00 "                    // enumeration
              "C4 E0 00 "                       // text in Windows-1251
              "02 00 00 00 01 00 00 00 FF FF FF FF "
              "01 00 00 00 00 "                  // one empty text
              "01 00 00 00 07 00 00 00 78 00");  // one class element

    lib::SerialInputBuffer in;
    in.copy_from(out);
    Fields r;
    r.transfer(in);
    EXPECT_EQ(in.bytes_left(), 0);
    EXPECT_EQ(r.flag, true);
    EXPECT_EQ(r.byte, 'a');
    EXPECT_EQ(r.i16, -2);
    EXPECT_EQ(r.i32, 1030);
    EXPECT_EQ(r.u32, 0xDEADBEEFu);
    EXPECT_EQ(r.f, 1.0f);
    EXPECT_EQ(r.d, -2.5);
    EXPECT_EQ(r.ext, 1.0L);
    EXPECT_EQ(r.kind, Kind::drilling);
    EXPECT_EQ(r.text, "Да");
    EXPECT_EQ(r.ints, w.ints);
    ASSERT_EQ(r.names.size(), 1u);
    EXPECT_EQ(r.names[0], "");
    ASSERT_EQ(r.inner.size(), 1u);
    EXPECT_EQ(r.inner[0].x, 7);
    EXPECT_EQ(r.inner[0].s, "x");

    // Any non-zero byte reads as true.
    auto in2 = reader_of({0x02});
    bool b = false;
    in2 | b;
    EXPECT_TRUE(b);
}

TEST(SerialList, TextWithAZeroInsideKeepsTheRecordInStep) {
    std::string text("a\0b", 3);
    std::int32_t after = 42;
    lib::SerialOutputBuffer out;
    out | text | after;
    EXPECT_EQ(hex(out.bytes()), "61 00 2A 00 00 00");
    lib::SerialInputBuffer in;
    in.copy_from(out);
    std::string t;
    std::int32_t a = 0;
    in | t | a;
    EXPECT_EQ(t, "a");
    EXPECT_EQ(a, 42);
}

TEST(SerialList, ReadingPastTheEndLeavesTheValueThenFails) {
    auto in = reader_of({1, 0, 0, 0, 9});
    std::int32_t a = 0, b = 77;
    in | a | b;  // b would need 4 bytes, 1 is left
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 77);
    EXPECT_EQ(in.position(), -1);
    try {
        char c;
        in | c;
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "binary_deserial_list::process_binary: eof");
    }
    // So does a container whose count runs past the end.
    auto short_count = reader_of({1, 0});
    std::vector<std::int32_t> kept{5, 6};
    short_count | kept;
    EXPECT_EQ(kept, (std::vector<std::int32_t>{5, 6}));
    EXPECT_THROW(short_count | kept, std::runtime_error);

    // A text without its 0 byte fails the same way.
    auto unterminated = reader_of({'a', 'b'});
    std::string s = "kept";
    EXPECT_THROW(unterminated | s, std::runtime_error);
    EXPECT_EQ(s, "kept");

    lib::serial_buffer undefined(lib::serial_undefined);
    std::int32_t x = 0;
    EXPECT_THROW(undefined | x, std::logic_error);
    std::string ignored;
    undefined | ignored;  // text does nothing in that state
}

TEST(SerialList, ContainerCountsAreCheckedBeforeAnythingIsAllocated) {
    struct Case {
        std::vector<unsigned char> bytes;
        const char* message;
    } cases[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF}, "error while deserialization: size < 0"},
        {{0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}, "error while deserialization: size 2147483647 exceeds the 3 bytes left"},
        // Three doubles need 24 bytes; 16 are there.
        {{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "exceeds the 16 bytes left"},
    };
    for (const auto& c : cases) {
        auto in = reader_of(c.bytes);
        std::vector<double> v{1.0};
        try {
            in | v;
            FAIL() << c.message;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(SerialBuffer, RecordBodyOnAStreamIsLengthBytesAndChecksum) {
    lib::SerialOutputBuffer out;
    std::int32_t v = 5;
    out | v;
    rtl::MemoryStream stream;
    out.save_to_stream(&stream);
    EXPECT_EQ(hex(std::vector<char>(stream.bytes().begin(), stream.bytes().end())), "04 00 00 00 05 00 00 00 5A");

    lib::SerialOutputBuffer empty;
    rtl::MemoryStream s2;
    empty.save_to_stream(&s2);
    EXPECT_EQ(hex(std::vector<char>(s2.bytes().begin(), s2.bytes().end())), "00 00 00 00 55");

    stream.SetPosition(4);
    lib::SerialInputBuffer in;
    in.load_from_stream(&stream, 4);
    std::int32_t r = 0;
    in | r;
    EXPECT_EQ(r, 5);

    stream.bytes().back() ^= 1;
    stream.SetPosition(4);
    EXPECT_THROW(in.load_from_stream(&stream, 4), lib::serial_checksum_error);

    // A length beyond the stream's end is refused before it is allocated.
    stream.SetPosition(4);
    try {
        in.load_from_stream(&stream, 0x7FFFFFF0);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("exceeds the 5 bytes left"), std::string::npos) << e.what();
    }
}

TEST(SerialBuffer, StandardStreamForm) {
    lib::SerialOutputBuffer out;
    std::string t = "abc";
    out | t;
    std::stringstream ss;
    ss << out;
    EXPECT_EQ(ss.str(), std::string("\x04\0\0\0abc\0", 8));
    lib::SerialInputBuffer in;
    ss >> in;
    std::string back;
    in | back;
    EXPECT_EQ(back, "abc");

    std::stringstream bad(std::string("\xFF\xFF\xFF\xFF", 4));
    bad >> in;
    EXPECT_TRUE(bad.fail());
    EXPECT_EQ(in.size(), 0);
    std::stringstream short_data(std::string("\x10\0\0\0ab", 6));
    short_data >> in;
    EXPECT_TRUE(short_data.fail());
    EXPECT_EQ(in.size(), 0);
}
