#include "platform/rtl/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "platform/rtl/codepage.h"

namespace {

unsigned char hex_byte(const std::string& s) {
    unsigned v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v, 16);
    return static_cast<unsigned char>(v);
}

std::string ch1251(unsigned char b) { return rtl::cp1251_to_utf8(std::string(1, static_cast<char>(b))); }

// Every character of Windows-1251 against the vector made by
// testdata/make_case_vectors.py (Unicode's case pairs within 1251, the micro
// sign kept as Windows keeps it).
TEST(TextCase, EveryCp1251CharacterMatchesReference) {
    std::ifstream in(STATION_SOURCE_DIR "/platform/rtl/testdata/cp1251_case.tsv");
    ASSERT_TRUE(in) << "missing vector file";
    int rows = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        std::string b, up, lo;
        f >> b >> up >> lo;
        const std::string c = ch1251(hex_byte(b));
        EXPECT_EQ(rtl::AnsiUpperCase(c), ch1251(hex_byte(up))) << "byte " << b;
        EXPECT_EQ(rtl::AnsiLowerCase(c), ch1251(hex_byte(lo))) << "byte " << b;
        EXPECT_EQ(rtl::fold(c), ch1251(hex_byte(lo))) << "byte " << b;
        ++rows;
    }
    EXPECT_EQ(rows, 256);
}

TEST(TextCase, WholeTextsAndCharactersOutside1251) {
    EXPECT_EQ(rtl::AnsiUpperCase("вес_на_крюке, Ёлка; ґанок, їжак, Џ"), "ВЕС_НА_КРЮКЕ, ЁЛКА; ҐАНОК, ЇЖАК, Џ");
    EXPECT_EQ(rtl::AnsiLowerCase("ВЕС_НА_КРЮКЕ Ёж ЎЖ Ј QWERTY"), "вес_на_крюке ёж ўж ј qwerty");
    // Letters 1251 lacks keep their case, as CharUpperA cannot reach them.
    const std::string outside = "é µ ω ѐ ѝ Ѐ Ѝ ǅ ß ÿ";
    EXPECT_EQ(rtl::AnsiUpperCase(outside), "é µ ω ѐ ѝ Ѐ Ѝ ǅ ß ÿ");
    EXPECT_EQ(rtl::AnsiLowerCase("É Ω Ѐ Ѝ"), "É Ω Ѐ Ѝ");
    // Bytes that are not UTF-8 pass through untouched.
    EXPECT_EQ(rtl::AnsiUpperCase("a\xFF\xD0я"), "A\xFF\xD0Я");
}

TEST(TextCase, AsciiOnlyFunctionsLeaveCyrillic) {
    EXPECT_EQ(rtl::UpperCase("abc Привет z"), "ABC Привет Z");
    EXPECT_EQ(rtl::LowerCase("ABC ПРИВЕТ Z"), "abc ПРИВЕТ z");
}

TEST(TextCompare, SameTextAndOrder) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"", "", 0},           {"Вес_На_Крюке", "ВЕС_НА_КРЮКЕ", 0},
        {"ёлка", "ЁЛКА", 0},   {"Ґ", "ґ", 0},
        {"abc", "ABD", -1},    {"ab", "abc", -1},
        {"abc", "ab", 1},      {"z", "а", -1},  // Latin before Cyrillic
        {"е", "ё", -1},                         // Ё right after Е
        {"ё", "ж", -1},        {"ЁЖ", "ЕЯ", 1},
        {"a_b", "aab", -1},                         // '_' before letters, as in a lower-case fold
        {"é", "É", 1},                              // outside 1251: no folding
        {"x\xFF", "x\xFF", 0}, {"x\xFF", "xя", 1},  // invalid bytes after every character
    };
    for (const auto& c : cases) {
        const int r = rtl::AnsiCompareText(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        const int back = rtl::AnsiCompareText(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
        EXPECT_EQ(rtl::SameText(c.a, c.b), c.sign == 0) << c.a << " vs " << c.b;
    }
}

TEST(TextCompare, FoldFunctorsServeCaseInsensitiveMaps) {
    std::unordered_map<std::string, int, rtl::FoldHash, rtl::FoldEqual> m;
    m["Вес_на_крюке"] = 1;
    m["ДАВЛЕНИЕ"] = 2;
    EXPECT_EQ(m.count("ВЕС_НА_КРЮКЕ"), 1u);
    EXPECT_EQ(m.find(std::string_view("давление"))->second, 2);
    EXPECT_EQ(m.count("давлени"), 0u);
    EXPECT_EQ(rtl::FoldHash{}("Ёлка"), rtl::FoldHash{}("ёЛКА"));

    std::vector<std::string> v = {"ж", "Ё", "е", "B", "a"};
    std::sort(v.begin(), v.end(), rtl::FoldLess{});
    EXPECT_EQ(v, (std::vector<std::string>{"a", "B", "е", "Ё", "ж"}));
}

TEST(TextTrim, DelphiRuleCharactersUpToBlank) {
    struct Case {
        std::string in, both, left, right;
    } cases[] = {
        {"", "", "", ""},
        {" \t\r\n", "", "", ""},
        {"  a b  ", "a b", "a b  ", "  a b"},
        {"\x01x\x1F", "x", "x\x1F", "\x01x"},
        {std::string("\0a\0", 3), "a", std::string("a\0", 2), std::string("\0a", 2)},
        {"\xC2\xA0й\xC2\xA0", "\xC2\xA0й\xC2\xA0", "\xC2\xA0й\xC2\xA0", "\xC2\xA0й\xC2\xA0"},  // no-break space stays
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rtl::Trim(c.in), c.both);
        EXPECT_EQ(rtl::TrimLeft(c.in), c.left);
        EXPECT_EQ(rtl::TrimRight(c.in), c.right);
    }
}

TEST(TextCount, CharactersNotBytes) {
    EXPECT_EQ(rtl::char_count(""), 0u);
    EXPECT_EQ(rtl::char_count("abc"), 3u);
    EXPECT_EQ(rtl::char_count("Привет"), 6u);
    EXPECT_EQ(rtl::char_count("€😀"), 2u);
    EXPECT_EQ(rtl::char_count("a\xFF\xD0"), 3u);  // each invalid byte is one '?'
    EXPECT_EQ(rtl::char_count("x\xE2\x82"), rtl::utf8_to_cp1251("x\xE2\x82").size());
}

}  // namespace
