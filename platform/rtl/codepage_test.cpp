#include "platform/rtl/codepage.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/rtl/utf8.h"

namespace {

using Codec = std::string (*)(std::string_view);
struct Page {
    Codec encode;
    Codec decode;
};

const std::map<std::string, Page>& pages() {
    static const std::map<std::string, Page> p = {
        {"cp1251", {rtl::utf8_to_cp1251, rtl::cp1251_to_utf8}},
        {"cp866", {rtl::utf8_to_cp866, rtl::cp866_to_utf8}},
        {"koi8r", {rtl::utf8_to_koi8r, rtl::koi8r_to_utf8}},
    };
    return p;
}

unsigned hex(const std::string& s) {
    unsigned v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v, 16);
    return v;
}

std::string utf8_of(char32_t cp) {
    std::string s;
    rtl::utf8::append(s, cp);
    return s;
}

// Every byte of every page against the vector made from Python's codecs and
// glibc's iconv (testdata/make_codepage_vectors.py).
TEST(Codepage, EveryByteMatchesReferenceDecoders) {
    std::ifstream in(STATION_SOURCE_DIR "/platform/rtl/testdata/codepages.tsv");
    ASSERT_TRUE(in) << "missing vector file";
    std::map<std::string, int> seen;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, byte_hex, cp_hex;
        fields >> name >> byte_hex >> cp_hex;
        const Page& page = pages().at(name);
        const char byte = static_cast<char>(hex(byte_hex));
        const std::string ch = utf8_of(static_cast<char32_t>(hex(cp_hex)));
        EXPECT_EQ(page.decode(std::string(1, byte)), ch) << name << " " << byte_hex;
        EXPECT_EQ(page.encode(ch), std::string(1, byte)) << name << " " << byte_hex;
        ++seen[name];
    }
    for (const auto& [name, page] : pages()) EXPECT_EQ(seen[name], 256) << name;
}

TEST(Codepage, AnyByteStringSurvivesRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (const auto& [name, page] : pages()) {
        const std::string text = page.decode(all);
        EXPECT_EQ(page.encode(text), all) << name;
    }
    EXPECT_EQ(rtl::cp1251_to_utf8("\x98"), "\xC2\x98");
    EXPECT_EQ(rtl::utf8_to_cp1251("\xC2\x98"), "\x98");
}

TEST(Codepage, CharactersAPageCannotHoldBecomeQuestionMarks) {
    struct Case {
        const char* page;
        const char* utf8;
        const char* bytes;
    } cases[] = {
        {"cp1251", "Ω=€", "?=\x88"}, {"cp1251", "ℓ 😀", "? ?"},  // outside the BMP: one mark per character
        {"cp866", "€ ё", "? \xF1"},  {"cp866", "«x»", "?x?"},  {"koi8r", "Ёё Ґ", "\xB3\xA3 ?"},
    };
    for (const auto& c : cases) EXPECT_EQ(pages().at(c.page).encode(c.utf8), c.bytes) << c.page << " " << c.utf8;
}

TEST(Codepage, EachInvalidUtf8ByteBecomesOneQuestionMark) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"\x80", "?"},                 // lone continuation byte
        {"a\xC0\x80z", "a??z"},        // overlong NUL
        {"\xE0\x80\xAF", "???"},       // overlong '/'
        {"\xED\xA0\x80", "???"},       // UTF-16 surrogate
        {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
        {"\xD0", "?"},                 // cut at the end
        {"\xE2\x82"
         "A",
         "??A"},  // cut before ASCII
        {"\xFF\xFE", "??"},
        {"\xD0\x9F\xD1", "\xCF?"},                         // П then a cut sequence
        {std::string("x\0y", 3), std::string("x\0y", 3)},  // NUL is a character
    };
    for (const auto& c : cases) EXPECT_EQ(rtl::utf8_to_cp1251(c.in), c.out);
}

TEST(Codepage, SingleCharacterLookups) {
    EXPECT_EQ(rtl::cp1251_byte(U'я'), 0xFF);
    EXPECT_EQ(rtl::cp1251_byte(U'№'), 0xB9);
    EXPECT_EQ(rtl::cp1251_byte(U'Ω'), -1);
    EXPECT_EQ(rtl::cp1251_byte(0x1F600), -1);
}

}  // namespace
