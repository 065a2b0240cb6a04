#include "library/text_conv.h"

#include "platform/ui/clipboard.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/rtl/codepage.h"

namespace {

using Words = std::vector<std::string>;

Words words_of(const std::string& s, char sep) {
    rtl::StringList l{"stale"};
    lib::parse_to_words(s, l, sep);
    return l.items();
}

TEST(Escaping, FileFormRoundTripKeepsLineFeedsOnly) {
    struct Case {
        std::string normal, file, back;
    } cases[] = {
        {"line 1\r\nline 2", "line 1\\nline 2", "line 1\nline 2"},
        {"say \"hi\"", "say \\\"hi\\\"", "say \"hi\""},
        {"C:\\dir\\n", "C:\\\\dir\\\\n", "C:\\dir\\n"},
        {"a\tb\x01"
         "c",
         "abc", "abc"},  // other control characters go
        {"Примечание: \"Ёж\"\n", "Примечание: \\\"Ёж\\\"\\n", "Примечание: \"Ёж\"\n"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lib::normal_text_to_file(c.normal), c.file) << c.normal;
        EXPECT_EQ(lib::file_text_to_normal(c.file), c.back) << c.file;
    }
    // Reading what another writer left: unknown escapes stay, a final
    // backslash goes, control characters pass.
    EXPECT_EQ(lib::file_text_to_normal("a\\tb\\"), "a\\tb");
    EXPECT_EQ(lib::file_text_to_normal("x\ty\r\n"), "x\ty\r\n");
    EXPECT_EQ(lib::file_text_to_normal("\\\\n"), "\\n");
}

TEST(Escaping, StdFormTurnsQuotesIntoApostrophes) {
    struct Case {
        std::string normal, file, back;
    } cases[] = {
        {"a \"b\"", "a ''b''", "a ''b''"},  // the double quote does not return
        {"l1\r\nl2", "l1\\nl2", "l1\nl2"},
        {"t\tab\\", "t\tab\\\\", "t\tab\\"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lib::normal_text_to_file_std(c.normal), c.file) << c.normal;
        EXPECT_EQ(lib::file_text_to_normal_std(c.file), c.back) << c.file;
    }
    EXPECT_EQ(lib::file_text_to_normal_std("a\\xb\\"), "ab");
    // An unknown escape drops the whole character after it, Cyrillic too;
    // \" is unknown in this form.
    EXPECT_EQ(lib::file_text_to_normal_std("\\Жи\\\"з"), "из");
}

TEST(Words, ParseWithBlankSeparator) {
    struct Case {
        std::string in;
        Words out;
    } cases[] = {
        {"a \"b c\" d", {"a", "b c", "d"}},
        {"  a   b  ", {"a", "b"}},
        {"", {}},
        {" \t\r\n ", {}},
        {"\"\"", {""}},
        {"x \"\" y", {"x", "", "y"}},
        {"\"ab\"cd", {"ab", "cd"}},  // text after a closing quote
        {"a\"b c", {"a\"b", "c"}},   // a quote inside a word
        {"\"open end", {"open end"}},
        {"a\tb c", {"a\tb", "c"}},  // only the blank separates
        {"a \tb", {"a", "b"}},      // but words are trimmed
        {"12 \"вес на крюке\" 5,5", {"12", "вес на крюке", "5,5"}},
    };
    for (const auto& c : cases) EXPECT_EQ(words_of(c.in, ' '), c.out) << c.in;
}

TEST(Words, ParseWithOtherSeparator) {
    struct Case {
        std::string in;
        Words out;
    } cases[] = {
        {"a;;b;", {"a", "", "b"}},   {" a ; b ", {" a ", " b "}},  // blanks kept
        {";a", {"", "a"}},           {"   ", {}},
        {"a;b\nc", {"a", "b", "c"}},
    };
    for (const auto& c : cases) EXPECT_EQ(words_of(c.in, ';'), c.out) << c.in;

    rtl::StringList l{"x;y"};  // a text taken from the list being filled
    lib::parse_to_words(l[0], l, ';');
    EXPECT_EQ(l.items(), (Words{"x", "y"}));
}

TEST(Words, GetWordCachesPerTextAndSeparator) {
    EXPECT_EQ(lib::get_word("a \"b c\" d", 1, ' '), "b c");
    EXPECT_EQ(lib::get_word("a \"b c\" d", 3, ' '), "");
    EXPECT_EQ(lib::get_word("a \"b c\" d", -1, ' '), "");
    EXPECT_EQ(lib::get_word("a;b c", 1, ';'), "b c");
    EXPECT_EQ(lib::get_word("a;b c", 1, ' '), "c");  // same text, other separator
    EXPECT_EQ(lib::get_word("", 0, ' '), "");

    // Threads keep their own split.
    std::vector<std::thread> threads;
    std::vector<int> bad(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &bad] {
            const std::string line = "w" + std::to_string(t) + " x y";
            for (int k = 0; k < 2000; ++k)
                if (lib::get_word(line, 0, ' ') != "w" + std::to_string(t)) ++bad[t];
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad, (std::vector<int>{0, 0, 0, 0}));
}

TEST(Words, SeparateWords1KeepsOrReplaces) {
    std::vector<std::string> w{"old1", "old2", "old3", "old4"};
    lib::separate_words1(" a \"b c\"d  e", w, true);
    EXPECT_EQ(w, (Words{"a", "b c", "d", "e"}));
    w = {"old1", "old2", "old3"};
    lib::separate_words1("x", w, true);
    EXPECT_EQ(w, (Words{"x", "old2", "old3"}));
    lib::separate_words1("x \"y", w, false);
    EXPECT_EQ(w, (Words{"x", "y"}));
    lib::separate_words1("   ", w, false);
    EXPECT_TRUE(w.empty());
    lib::separate_words1("a\tb", w, false);  // blanks only
    EXPECT_EQ(w, (Words{"a\tb"}));
}

TEST(Words, ListHelpers) {
    rtl::StringList l;
    lib::fill_strings(l, {"Давление", "Вес"});
    EXPECT_EQ(l.items(), (Words{"Давление", "Вес"}));
    lib::fill_strings(l, std::vector<std::string>{"x"});
    EXPECT_EQ(l.items(), (Words{"x"}));
    lib::fill_strings(l, {"Давление", "Вес"});
    EXPECT_EQ(lib::get_string_index(l, "ВЕС"), 1);
    EXPECT_EQ(lib::get_string_index(l, "вес_"), -1);
    EXPECT_TRUE(lib::contains_string(l, "давление"));
    EXPECT_FALSE(lib::contains_string(l, ""));

    EXPECT_EQ(lib::extract_year("Mar  7 2011"), "2011");
    EXPECT_EQ(lib::extract_year(" Mar 7 "), "");
}

TEST(Buffers, ZeroTerminatedCopies) {
    lib::StrCharCvt c("abc");
    c.c_str()[0] = 'X';
    EXPECT_STREQ(c.c_str(), "Xbc");
    std::vector<char> v{'z'};
    lib::string_to_vector("hi", v);
    EXPECT_EQ(v, (std::vector<char>{'h', 'i', '\0'}));
    EXPECT_EQ(lib::str_borl_2_std(std::string("ab\0cd", 5)), "ab");
}

TEST(CodePages, DosConversions) {
    std::string out;
    lib::win_to_dos("Глубина 5 м, «№»", out);
    EXPECT_EQ(out, "\x83\xAB\xE3\xA1\xA8\xAD\xA0 5 \xAC, ?\xFC?");
    lib::dos_to_win(out, out);
    EXPECT_EQ(out, "Глубина 5 м, ?№?");
    lib::win_to_dos(std::string("ab\0cd", 5), out);  // ends at the first 0
    EXPECT_EQ(out, "ab");
    lib::convert_to_win(std::string("\x8F\0\x8F", 3), out);
    EXPECT_EQ(out, "П");
}

TEST(CodePages, KoiTableAgreesWithKoi8rForRussian) {
    for (int b = 0; b < 256; ++b) {
        const bool russian = b >= 0xC0 || b == 0xA8 || b == 0xB8 || b == 0xA0 || b == 0xA9 || b == 0xB7;
        const std::string text = rtl::cp1251_to_utf8(std::string(1, static_cast<char>(b)));
        const std::string koi = lib::win_to_coi8r(text);
        ASSERT_EQ(koi.size(), 1u);
        if (b < 0x80 || russian) {
            EXPECT_EQ(koi, rtl::utf8_to_koi8r(text)) << "byte " << b;
        }
    }
    struct Case {
        unsigned char win, koi;
    } fixed[] = {{0xA1, 0xAE}, {0xA2, 0xBE}, {0xA4, 0x9F}, {0xA5, 0xBD}, {0xAA, 0xB4}, {0xAB, 0x9D},
                 {0xAE, 0x9C}, {0xAF, 0xB7}, {0xB2, 0xB6}, {0xB3, 0xA6}, {0xB4, 0xAD}, {0xB9, 0x98},
                 {0xBA, 0xA4}, {0xBB, 0x9B}, {0xBF, 0xA7}, {0x80, '.'},  {0x9F, '.'},  {0xA3, '.'},
                 {0xA6, '.'},  {0xA7, '.'},  {0xAC, '.'},  {0xAD, '.'},  {0xB0, '.'},  {0xB1, '.'},
                 {0xB5, '.'},  {0xB6, '.'},  {0xBC, '.'},  {0xBD, '.'},  {0xBE, '.'}};
    for (const auto& c : fixed) {
        const std::string text = rtl::cp1251_to_utf8(std::string(1, static_cast<char>(c.win)));
        EXPECT_EQ(lib::win_to_coi8r(text), std::string(1, static_cast<char>(c.koi))) << int(c.win);
    }
    EXPECT_EQ(lib::win_to_coi8r("Ok, Ёж Ω"), "Ok, \xB3\xD6 ?");
}

TEST(CaseAndTrim, StdStringHelpers) {
    std::string out;
    lib::convert_to_upper("вес hook ёж", out);
    EXPECT_EQ(out, "ВЕС HOOK ЁЖ");
    lib::convert_to_lower(out, out);
    EXPECT_EQ(out, "вес hook ёж");
    lib::to_upper("вес hook", out);
    EXPECT_EQ(out, "вес HOOK");
    lib::to_lower("ВЕС HOOK", out);
    EXPECT_EQ(out, "ВЕС hook");
    lib::trim("  a b \t ", out);
    EXPECT_EQ(out, "a b \t");
    lib::trim("\ta ", out);
    EXPECT_EQ(out, "\ta");
    lib::trim("   ", out);
    EXPECT_EQ(out, "");
}

}  // namespace

TEST(TextToClipboard, PutsUnicodeText) {
    ASSERT_TRUE(lib::text_to_clipboard(u"Глубина 1250 м"));
    EXPECT_EQ(ui::Clipboard().AsUnicodeText(), u"Глубина 1250 м");
    EXPECT_EQ(ui::Clipboard().AsText(), "Глубина 1250 м");
    ui::Clipboard().SetAvailable(false);
    EXPECT_FALSE(lib::text_to_clipboard(u"x"));
    ui::Clipboard().SetAvailable(true);
}
