#include "library/options/ini_options.h"
#include "library/options/ini_testing.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/rtl/codepage.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"

namespace {

struct PackSettings : lib::ini_options {
    int count = 0;
    long long big = 0;
    unsigned bits = 0;
    bool flag = false;
    int color = 0;  // an rtl::TColor
    float ratio = 0;
    double span = 0;
    std::string address;
    rtl::StringList recipients;
    double started = 0;  // a TDateTime
    unsigned char block[4] = {};
    std::vector<std::string> calls;

    void get_elements_list(lib::ini_options_elements& list) override {
        calls.push_back("list");
        list.add(count, "Упаковка", "количество");
        list.add(big, "Упаковка", "размер");
        list.add(bits, "Упаковка", "биты");
        list.add(flag, "Упаковка", "флаг");
        list.add(color, "Упаковка", "цвет");
        list.add(ratio, "Упаковка", "доля");
        list.add(span, "Упаковка", "интервал");
        list.add(address, "Почта", "адрес");
        list.add(&recipients, "Почта", "получатели");
        list.add_date_time(started, "Упаковка", "начало");
        list.add_pod(block, sizeof block, "Упаковка", "блок");
    }
    void before_save(rtl::IniFile*) override { calls.push_back("before_save"); }
    void before_load(rtl::IniFile*) override { calls.push_back("before_load"); }
    void save_additional_info(rtl::IniFile* ini) override {
        calls.push_back("save_additional_info");
        ini->WriteString("Почта", "дополнительно", "1");
    }
    void load_additional_info(rtl::IniFile*) override { calls.push_back("load_additional_info"); }
};

class IniOptionsTest : public ini_testing::IniFileTest {
protected:
    IniOptionsTest() : IniFileTest("vargel.ini") {}
};

TEST_F(IniOptionsTest, EveryElementRoundTripsThroughTheFile) {
    PackSettings a;
    a.count = -12;
    a.big = -9000000000123LL;
    a.bits = 0x80000001u;
    a.flag = true;
    a.color = 0x00FF8000;
    a.ratio = 0.5f;
    a.span = -1.25;
    a.address = "  ivanov@rig, petrov@rig ";
    a.recipients.SetCommaText("\"Иванов, бурмастер\",Петров");
    a.started = 45356.5;
    std::memcpy(a.block, "\x01\xAB\x00\xFF", 4);
    a.save(file_);
    EXPECT_EQ(a.get_ini_file_name(), file_);
    EXPECT_EQ(a.calls, (std::vector<std::string>{"before_save", "list", "save_additional_info"}));

    std::uint64_t started_bits;
    std::memcpy(&started_bits, &a.started, 8);
    std::string started_hex;
    for (int i = 0; i < 8; ++i) {
        static const char d[] = "0123456789ABCDEF";
        unsigned b = (started_bits >> (8 * i)) & 0xFF;
        started_hex += d[b >> 4];
        started_hex += d[b & 15];
    }
    EXPECT_EQ(file_text(),
              "[Упаковка]\r\n"
              "количество=-12\r\n"
              "размер=-9000000000123\r\n"
              "биты=-2147483647\r\n"
              "флаг=1\r\n"
              "цвет=16744448\r\n"
              "доля=0,5\r\n"
              "интервал=-1,25\r\n"
              "начало=" +
                  started_hex +
                  "\r\n"
                  "блок=01AB00FF\r\n"
                  "[Почта]\r\n"
                  "адрес=\"  ivanov@rig, petrov@rig \"\r\n"
                  "получатели=\"\"Иванов, бурмастер\",Петров\"\r\n"
                  "дополнительно=1\r\n");

    PackSettings b;
    b.load(file_);
    EXPECT_EQ(b.calls, (std::vector<std::string>{"before_load", "list", "load_additional_info"}));
    EXPECT_EQ(b.count, -12);
    EXPECT_EQ(b.big, -9000000000123LL);
    EXPECT_EQ(b.bits, 0x80000001u);
    EXPECT_TRUE(b.flag);
    EXPECT_EQ(b.color, 0x00FF8000);
    EXPECT_FLOAT_EQ(b.ratio, 0.5f);
    EXPECT_DOUBLE_EQ(b.span, -1.25);
    EXPECT_EQ(b.address, a.address);
    ASSERT_EQ(b.recipients.Count(), 2);
    EXPECT_EQ(b.recipients[0], "Иванов, бурмастер");
    EXPECT_EQ(b.recipients[1], "Петров");
    EXPECT_EQ(b.started, a.started);
    EXPECT_EQ(std::memcmp(b.block, a.block, 4), 0);
}

TEST_F(IniOptionsTest, MissingKeysKeepTheCurrentValues) {
    write_file("[Упаковка]\r\nдоля=\r\nразмер=12abc\r\nколичество=x\r\n");
    PackSettings s;
    s.count = 3;
    s.big = 4;
    s.bits = 5;
    s.flag = true;
    s.ratio = 6;
    s.span = 7;
    s.address = "keep";
    s.recipients.Add("keep");
    s.started = 8;
    s.block[0] = 9;
    s.load(file_);
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.big, 4);
    EXPECT_EQ(s.bits, 5u);
    EXPECT_TRUE(s.flag);
    EXPECT_EQ(s.ratio, 6);
    EXPECT_EQ(s.span, 7);
    EXPECT_EQ(s.address, "keep");
    EXPECT_EQ(s.recipients.CommaText(), "keep");
    EXPECT_EQ(s.started, 8);
    EXPECT_EQ(s.block[0], 9);
}

TEST_F(IniOptionsTest, FloatsReadWithEitherSeparator) {
    PackSettings s;
    for (const char* text : {"2.5", "2,5", " 2,5 "}) {
        write_file(std::string("[Упаковка]\r\nдоля=") + text + "\r\nинтервал=" + text + "\r\n");
        s.ratio = 0;
        s.span = 0;
        s.load(file_);
        EXPECT_FLOAT_EQ(s.ratio, 2.5f) << text;
        EXPECT_DOUBLE_EQ(s.span, 2.5) << text;
    }
    // Written with the process decimal separator.
    rtl::FormatSettings().DecimalSeparator = '.';
    s.save(file_);
    rtl::FormatSettings().DecimalSeparator = ',';
    EXPECT_NE(file_text().find("интервал=2.5\r\n"), std::string::npos);
    // A value beyond the range of a float becomes the largest float.
    write_file("[Упаковка]\r\nдоля=1e300\r\n");
    s.load(file_);
    EXPECT_FLOAT_EQ(s.ratio, 3.40282347e38f);
}

// A memory block takes a value only with exactly two digits a byte; a pair
// that is not hexadecimal gives 0, as on the stations.
TEST_F(IniOptionsTest, HexBlocksNeedTheExactLength) {
    struct Case {
        const char* text;
        const char* expected;  // 8 bytes as hex, after the load
    } cases[] = {
        {"0102030405060708", "0102030405060708"},   {"010203040506070", "1111111111111111"},  // 15 digits: unchanged
        {"01020304050607080", "1111111111111111"},                                            // 17 digits: unchanged
        {"010203040506070809", "1111111111111111"}, {"01zz03040506-708", "0100030405060008"},
        {"abcdefABCDEF0000", "ABCDEFABCDEF0000"},
    };
    struct Block : lib::ini_options {
        unsigned char bytes[8];
        void get_elements_list(lib::ini_options_elements& list) override { list.add_pod(bytes, 8, "s", "pod"); }
    } block;
    for (const Case& c : cases) {
        write_file(std::string("[s]\r\npod=") + c.text + "\r\n");
        std::memset(block.bytes, 0x11, 8);
        block.load(file_);
        std::string hex;
        for (unsigned char b : block.bytes) {
            static const char d[] = "0123456789ABCDEF";
            hex += d[b >> 4];
            hex += d[b & 15];
        }
        EXPECT_EQ(hex, c.expected) << c.text;
    }
}

TEST_F(IniOptionsTest, EmptyNameDoesNothingAndLineBreaksAreRefused) {
    PackSettings s;
    s.save("   ");
    s.load("");
    EXPECT_TRUE(s.calls.empty());
    EXPECT_EQ(s.get_ini_file_name(), "");

    s.save(file_);
    const std::string before = file_text();
    s.address = "строка\r\n[Упаковка]\r\nколичество=999";
    EXPECT_THROW(s.save(file_), std::invalid_argument);
    s.address.clear();
    s.recipients.Clear();
    s.recipients.Add("a\nb");
    EXPECT_THROW(s.save(file_), std::invalid_argument);
    EXPECT_EQ(file_text(), before);

    s.recipients.Clear();
    auto ini = std::make_unique<rtl::IniFile>(file_);
    s.count = 77;
    s.save(std::move(ini));
    PackSettings t;
    t.load(std::make_unique<rtl::IniFile>(file_));
    EXPECT_EQ(t.count, 77);
}

}  // namespace

namespace {
static_assert(std::has_virtual_destructor_v<lib::ini_options>);
static_assert(std::has_virtual_destructor_v<lib::opt_detailed::ioe_base>);
}  // namespace
