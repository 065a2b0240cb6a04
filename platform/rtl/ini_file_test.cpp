#include "platform/rtl/ini_file.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using os::testing::read_bytes;
using os::testing::write_bytes;

const std::string kFixtures = std::string(STATION_SOURCE_DIR) + "/platform/rtl/testdata/ini_file/";

class IniFileTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string fixture_copy(const std::string& fixture) {
        std::string p = path(fixture);
        write_bytes(p, read_bytes(kFixtures + fixture));
        return p;
    }
    os::testing::TempDir tmp_;
    std::string dir_ = tmp_.path();
};

// The fixture is a Windows-1251 file with CR LF, written by hand: Cyrillic
// names in mixed case, blanks around names and values, quotes of both kinds,
// a comment, a line without '=', a duplicate key and a duplicate section.
TEST_F(IniFileTest, ReadsHandWrittenWindowsFile) {
    rtl::IniFile ini(fixture_copy("station.ini"));
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"СТАНЦИЯ", "имя_скважины", "Скв. 101"},         // case folded, value trimmed, first key wins
        {"  Станция ", "  Имя_Скважины  ", "Скв. 101"},  // names trimmed
        {"станция", "путь", "C:\\Data\\Well"},           // quotes off, trailing tab trimmed
        {"Станция", "кавычки_внутри", "a \"b\" c"},      // only the enclosing pair goes
        {"Станция", "ОДИНАРНЫЕ", "x y"},                 // single quotes too
        {"Станция", "одна_кавычка", "\""},               // a lone quote stays
        {"Станция", "разные", "\"abc'"},                 // different quotes stay
        {"Станция", "пусто", ""},                        // present but empty: not the default
        {"Станция", "без_равно", "<def>"},               // a line without '=' is no key
        {"Станция", "отступ", "1 2 3"},
        {"Станция", "; Настройки станции — правлено вручную", "<def>"},  // comment
        {"Станция", "нет_такого", "<def>"},
        {"Нет такого раздела", "ключ", "<def>"},
        {"Пробелы в имени", "КЛЮЧ", "внутри"},  // "[ пробелы в имени ]"
        {"ёлка", "ёж", "ёж"},                   // Ё and ё fold
        {"Станция", "", "<def>"},               // empty key name
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.expected) << c.section << " / " << c.key;

    EXPECT_EQ(ini.ReadInteger("Станция", "число", 5), -17);
    EXPECT_EQ(ini.ReadInteger("Станция", "hex", 5), 31);
    EXPECT_EQ(ini.ReadInteger("Станция", "HEX0X", 5), 16);
    EXPECT_EQ(ini.ReadInteger("Станция", "плохое_число", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Станция", "дробь", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Станция", "пусто", 5), 5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Станция", "дробь", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Станция", "дробь_точка", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Станция", "плохое_число", 7), 7);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Станция", "пусто", 7), 7);
    EXPECT_TRUE(ini.ReadBool("Станция", "да", false));
    EXPECT_FALSE(ini.ReadBool("Станция", "нет", true));
    EXPECT_TRUE(ini.ReadBool("Станция", "нет_такого", true));

    EXPECT_TRUE(ini.SectionExists("ЁЛКА"));
    EXPECT_FALSE(ini.SectionExists("Ёлки"));
    EXPECT_TRUE(ini.ValueExists("станция", "ПУСТО"));
    EXPECT_FALSE(ini.ValueExists("станция", "без_равно"));

    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Станция", "пробелы в имени", "Ёлка"}));
    EXPECT_EQ(ini.ReadSection("пробелы в имени"), (std::vector<std::string>{"ключ"}));
    const std::vector<std::string> keys = ini.ReadSection("станция");
    ASSERT_EQ(keys.size(), 17u);  // the duplicate once, the line without '=' not at all
    EXPECT_EQ(keys[0], "Имя_Скважины");
    EXPECT_EQ(keys[7], "Отступ");
    EXPECT_EQ(ini.ReadSectionValues("ёлка"), (std::vector<std::string>{"ЁЖ=ёж"}));
}

// Writing into a file with comments, blank lines and odd lines changes only
// what was written: a key is replaced in place with its spelling kept, a new
// key follows the last key of its section, a new section goes at the end.
TEST_F(IniFileTest, WritesIntoHandWrittenFileKeepingTheRest) {
    const std::string p = fixture_copy("station.ini");
    rtl::IniFile ini(p);
    ini.WriteString("станция", "имя_скважины", "\"Скв. 202\"");
    ini.WriteString("СТАНЦИЯ", "Новый_ключ", "новое значение");
    ini.WriteFloat("Новый раздел", "вес_на_крюке", 12.5);
    EXPECT_EQ(read_bytes(p), read_bytes(kFixtures + "station_written.ini"));
    EXPECT_EQ(rtl::IniFile(p).ReadString("Станция", "Имя_скважины", ""), "Скв. 202");
}

TEST_F(IniFileTest, WritesWindows1251WithCrLfAndQuestionMarkForOtherCharacters) {
    const std::string p = path("a.ini");
    rtl::IniFile ini(p);
    ini.WriteString("Раздел", "Ключ", "Ёж 日");
    EXPECT_EQ(read_bytes(p), "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xCA\xEB\xFE\xF7=\xA8\xE6 ?\r\n");
}

// A file an editor saved again as UTF-8 (with or without a byte-order
// mark) reads as the same settings, and the next write puts the whole file
// back in Windows-1251 with each section once; after a mark, bytes that are
// not UTF-8 are still Windows-1251.
TEST_F(IniFileTest, ReadsAFileSavedAsUtf8AndWritesItBackIn1251) {
    const std::string utf8 = "[Станция]\nГлубина=1234,5\n[Ёмкости]\nобъём=12\n";
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {{"UTF-8", utf8}, {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string p = path("station.ini");
        write_bytes(p, c.bytes);
        rtl::IniFile ini(p);
        EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Станция", "Ёмкости"}));
        EXPECT_EQ(ini.ReadString("станция", "глубина", ""), "1234,5");
        EXPECT_EQ(ini.ReadInteger("ЁМКОСТИ", "Объём", 0), 12);
        ini.WriteString("Станция", "Глубина", "1500");
        EXPECT_EQ(read_bytes(p), "[\xD1\xF2\xE0\xED\xF6\xE8\xFF]\r\n\xc3\xeb\xf3\xe1\xe8\xed\xe0=1500\r\n"
                                 "[\xA8\xEC\xEA\xEE\xF1\xF2\xE8]\r\n\xEE\xE1\xFA\xB8\xEC=12\r\n");
    }
    // Windows-1251 behind a mark: the mark goes, the text stays Windows-1251.
    const std::string p = path("marked.ini");
    write_bytes(p, "\xEF\xBB\xBF[\xD1\xF2\xE0\xED\xF6\xE8\xFF]\r\nkey=\xE4\xE0\r\n");
    EXPECT_EQ(rtl::IniFile(p).ReadString("Станция", "key", ""), "да");
    // A Windows-1251 file whose bytes happen to hold one valid UTF-8 pair
    // among others that are not stays Windows-1251.
    write_bytes(p, "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xD0\xB8=1\r\n");
    EXPECT_EQ(rtl::IniFile(p).ReadInteger("Раздел", "Рё", 0), 1);
}

// Windows behaviour as the public profile conformance tests record it
// (section order of writes, deletions, enumeration without '=' lines,
// files with CR only line ends, blanks inside section brackets).
TEST_F(IniFileTest, WindowsProfileConformance) {
    const std::string p = path("conf.ini");
    {
        rtl::IniFile ini(p);
        ini.WriteString("App1", "key1", "string1");
        ini.WriteString("App1", "key2", "string2");
        ini.WriteString("App1", "key3", "string3");
        ini.WriteString("App2", "key4", "string4");
        ini.WriteString("App3", "key5", "string5");
        EXPECT_EQ(read_bytes(p),
                  "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n"
                  "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");
        ini.DeleteKey("App1", "key2");
        ini.DeleteKey("App1", "key2");
        EXPECT_EQ(read_bytes(p),
                  "[App1]\r\nkey1=string1\r\nkey3=string3\r\n"
                  "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");
        ini.EraseSection("App1");
        ini.EraseSection("App2");
        EXPECT_EQ(read_bytes(p), "[App3]\r\nkey5=string5\r\n");
        ini.DeleteKey("App3", "key5");
        EXPECT_EQ(read_bytes(p), "[App3]\r\n");
        ini.WriteString("App", "key", "");
        EXPECT_EQ(read_bytes(p), "[App3]\r\n[App]\r\nkey=\r\n");
    }
    {
        write_bytes(p, "[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n");
        rtl::IniFile ini(p);
        EXPECT_EQ(ini.ReadSection("s"), (std::vector<std::string>{"name1", "name2", "name4"}));
        ini.WriteString("s", "name5", "val5");
        EXPECT_EQ(ini.ReadSection("s"), (std::vector<std::string>{"name1", "name2", "name4", "name5"}));
    }
    for (const char* content : {"[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n",
                                "[section1]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[section2]\r"}) {
        write_bytes(p, content);
        rtl::IniFile ini(p);
        EXPECT_EQ(ini.ReadString("section1", "name1", "default"), "val1");
        EXPECT_EQ(ini.ReadString("section1", "NaMe1", "default"), "val1");
        EXPECT_EQ(ini.ReadString("section1", "name2", "default"), "val2");
        EXPECT_EQ(ini.ReadString("section1", "name3", "default"), "default");
        EXPECT_EQ(ini.ReadString("section1", "name4", "default"), "a");
        EXPECT_EQ(ini.ReadString("section1", "", "default"), "default");
        EXPECT_EQ(ini.ReadString("section1", "notakey", "default"), "default");
        EXPECT_EQ(ini.ReadString("notasection", "name1", "default"), "default");
        EXPECT_EQ(ini.ReadString("section2", "DoesntExist", ""), "");
        EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"section1", "section2"}));
    }
    write_bytes(p, "[ section1 ]\r\n[section2]\r\n[section3]\r\n");
    EXPECT_EQ(rtl::IniFile(p).ReadSections(), (std::vector<std::string>{"section1", "section2", "section3"}));
    EXPECT_EQ(rtl::IniFile(path("not_here.ini")).ReadSections(), std::vector<std::string>{});
}

// The integer cases of the same conformance tests. ReadInteger reads as the
// Borland library does (the whole text must be a number, else the default),
// where GetPrivateProfileInt takes a leading number and wraps at 32 bits.
TEST_F(IniFileTest, IntegerParsing) {
    const std::string p = path("int.ini");
    rtl::IniFile ini(p);
    EXPECT_EQ(ini.ReadInteger("Test", "ProfileInt", -1), -1);  // no file
    EXPECT_EQ(ini.ReadInteger("Test", "ProfileInt", 1), 1);
    struct Case {
        const char* text;
        int def;
        int expected;
    } cases[] = {
        {"-1", 1, -1},
        {"1", -1, 1},
        {"+1", -1, 1},
        {"4294967296", 1, 1},
        {"4294967297", -1, -1},
        {"-4294967297", 1, 1},
        {"42A94967297", 7, 7},
        {"B4294967297", 7, 7},
        {"  12", 0, 12},
        {"2147483647", 0, 2147483647},
        {"-2147483648", 0, -2147483647 - 1},
        {"2147483648", 3, 3},
        {"$FF", 0, 255},
        {"0x1f", 0, 31},
        {"0X1F", 0, 31},
        {"-$10", 0, -16},
        {"$", 4, 4},
        {"0x", 4, 4},
        {"1.0", 4, 4},
        {"1e3", 4, 4},
        {"\"15\"", 4, 15},
    };
    for (const Case& c : cases) {
        ini.WriteString("Test", "ProfileInt", c.text);
        EXPECT_EQ(ini.ReadInteger("Test", "ProfileInt", c.def), c.expected) << c.text;
        EXPECT_EQ(ini.ReadInteger("  Test   ", "ProfileInt", c.def), c.expected) << c.text;
    }
    ini.WriteInteger("Test", "n", -2147483647 - 1);
    EXPECT_EQ(ini.ReadString("Test", "n", ""), "-2147483648");
    ini.WriteBool("Test", "b", true);
    EXPECT_EQ(ini.ReadString("Test", "b", ""), "1");
    ini.WriteString("Test", "b", "2");
    EXPECT_TRUE(ini.ReadBool("Test", "b", false));
    ini.WriteString("Test", "b", "да");
    EXPECT_FALSE(ini.ReadBool("Test", "b", false));
}

TEST_F(IniFileTest, FloatsAndDateTimes) {
    rtl::IniFile ini(path("f.ini"));
    ini.WriteFloat("s", "f", -0.125);
    EXPECT_EQ(ini.ReadString("s", "f", ""), "-0,125");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "f", 0), -0.125);
    ini.WriteFloat("s", "g", 1.0 / 3);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "g", 0), 0.333333333333333);

    const double when = 45356 + (14 * 3600 + 7 * 60 + 9) / 86400.0;  // 2024-03-05 14:07:09
    ini.WriteDateTime("s", "d", when);
    EXPECT_EQ(ini.ReadString("s", "d", ""), "05.03.2024 14:07:09");
    EXPECT_NEAR(ini.ReadDateTime("s", "d", 0), when, 1e-8);
    ini.WriteDateTime("s", "d", 45356);
    EXPECT_EQ(ini.ReadString("s", "d", ""), "05.03.2024");
    EXPECT_DOUBLE_EQ(ini.ReadDateTime("s", "d", 0), 45356);
    for (const char* bad : {"", "31.02.2024", "05.03", "05.03.2024 25:00", "завтра", "1.2.3.4"}) {
        ini.WriteString("s", "d", bad);
        EXPECT_EQ(ini.ReadDateTime("s", "d", -1), -1) << bad;
    }
    ini.WriteString("s", "d", "1.1.1900 6:00");
    EXPECT_DOUBLE_EQ(ini.ReadDateTime("s", "d", 0), 2.25);
}

// A line break in a name or value would end the line early and let the rest
// of the value stand as a key of its own.
TEST_F(IniFileTest, RefusesLineBreaksAndBadNames) {
    const std::string p = path("r.ini");
    rtl::IniFile ini(p);
    ini.WriteString("s", "k", "1");
    const std::string before = read_bytes(p);
    EXPECT_THROW(ini.WriteString("s", "k", "a\r\n[s]\r\nevil=1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "k", "a\nb"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "k", "a\rb"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s\n", "k", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "k\r", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "a=b", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", " ", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("", "k", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "[t]", "x"), std::invalid_argument);
    EXPECT_EQ(read_bytes(p), before);
    EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
}

TEST_F(IniFileTest, WriteFailureNamesTheFileAndKeepsTheDiskView) {
    const std::string p = path("no_such_folder/x.ini");
    rtl::IniFile ini(p);
    try {
        ini.WriteString("s", "k", "v");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
    }
    EXPECT_EQ(ini.ReadString("s", "k", "def"), "def");

    // A directory in the file's place: the rename fails.
    const std::string d = path("dir.ini");
    ASSERT_EQ(::mkdir(d.c_str(), 0755), 0);
    EXPECT_THROW(rtl::IniFile(d).ReadString("s", "k", ""), std::runtime_error);
    rtl::IniFile on_dir(d);
    EXPECT_THROW(on_dir.WriteString("s", "k", "v"), std::runtime_error);
    // No temporary file is left behind.
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        if (e.path().filename() != "dir.ini") left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{});
}

TEST_F(IniFileTest, WhatIsNoSettingsFileIsRefusedAtOnce) {
    // A FIFO would hold a blocking open for ever, a device or a huge sparse
    // file a read; each is refused, naming the file and why.
    const std::string fifo = path("fifo.ini"), sparse = path("sparse.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    { std::ofstream out(sparse); }
    std::filesystem::resize_file(sparse, (std::uintmax_t{64} << 20) + 1);
    const struct {
        std::string file;
        const char* why;
    } cases[] = {{fifo, "not a regular file"}, {"/dev/zero", "not a regular file"}, {sparse, "larger than 64 MB"}};
    for (const auto& c : cases) {
        rtl::IniFile ini(c.file);
        try {
            ini.ReadString("s", "k", "");
            ADD_FAILURE() << c.file << " was read";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
        }
    }
    rtl::IniFile on_fifo(fifo);
    EXPECT_THROW(on_fifo.WriteString("s", "k", "v"), std::runtime_error);
}

TEST_F(IniFileTest, BatchWritesOnceAndDropsEverythingWhenAbandoned) {
    const std::string p = path("b.ini");
    write_bytes(p, "[s]\r\nold=1\r\n");
    rtl::IniFile ini(p);
    {
        rtl::IniFile::Batch batch(ini);
        for (int i = 0; i < 100; ++i) ini.WriteInteger("s", "k" + std::to_string(i), i);
        ini.EraseSection("s2");
        EXPECT_EQ(ini.ReadInteger("s", "k99", -1), 99);  // seen at once by this object
        EXPECT_EQ(read_bytes(p), "[s]\r\nold=1\r\n");    // not yet on disk
        {
            rtl::IniFile::Batch inner(ini);
            ini.WriteString("s", "inner", "1");
            inner.commit();
        }
        EXPECT_EQ(read_bytes(p), "[s]\r\nold=1\r\n");
        batch.commit();
    }
    EXPECT_EQ(rtl::IniFile(p).ReadInteger("s", "k99", -1), 99);
    EXPECT_EQ(rtl::IniFile(p).ReadString("s", "inner", ""), "1");

    const std::string saved = read_bytes(p);
    try {
        rtl::IniFile::Batch batch(ini);
        ini.WriteString("s", "old", "2");
        ini.EraseSection("s");
        throw std::runtime_error("half-way");
    } catch (const std::runtime_error&) {}
    EXPECT_EQ(read_bytes(p), saved);
    EXPECT_EQ(ini.ReadString("s", "old", ""), "1");

    // An inner batch given up keeps the outer one's writes.
    {
        rtl::IniFile::Batch outer(ini);
        ini.WriteString("s", "outer", "1");
        {
            rtl::IniFile::Batch inner(ini);
            ini.WriteString("s", "dropped", "1");
        }
        EXPECT_EQ(ini.ReadString("s", "dropped", "no"), "no");
        outer.commit();
    }
    EXPECT_EQ(rtl::IniFile(p).ReadString("s", "outer", ""), "1");
    EXPECT_EQ(rtl::IniFile(p).ReadString("s", "dropped", "no"), "no");
}

// Two programs with the same file: reads see the other's writes, and a write
// re-reads the file first, so nothing the other wrote is lost.
TEST_F(IniFileTest, SeesAndKeepsChangesOfOtherWriters) {
    const std::string p = path("shared.ini");
    rtl::IniFile a(p), b(p);
    a.WriteString("s", "a", "1");
    EXPECT_EQ(b.ReadString("s", "a", ""), "1");
    b.WriteString("s", "b", "2");
    EXPECT_EQ(a.ReadString("s", "b", ""), "2");
    a.WriteString("s", "a", "3");
    EXPECT_EQ(read_bytes(p), "[s]\r\na=3\r\nb=2\r\n");

    // A batch merges its writes into what another writer left meanwhile.
    {
        rtl::IniFile::Batch batch(a);
        a.WriteString("s", "c", "4");
        b.WriteString("t", "d", "5");
        batch.commit();
    }
    EXPECT_EQ(read_bytes(p), "[s]\r\na=3\r\nb=2\r\nc=4\r\n[t]\r\nd=5\r\n");

    // Forked writers, each with its own keys, lose none of them.
    constexpr int kWriters = 4, kKeys = 25;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                rtl::IniFile ini(p);
                for (int k = 0; k < kKeys; ++k) ini.WriteInteger("w" + std::to_string(w), "k" + std::to_string(k), k);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    rtl::IniFile check(p);
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(check.ReadSection("w" + std::to_string(w)).size(), std::size_t(kKeys)) << w;
}

// An object that reads often looks at the disk at most once an interval,
// yet sees what another program wrote once that interval has passed, and
// what another object of this program wrote at once.
TEST_F(IniFileTest, OpenObjectSeesOtherProgramsChangesAfterTheInterval) {
    const std::string p = path("watched.ini");
    write_bytes(p, "[s]\r\nk=1\r\n");
    rtl::IniFile reader(p), writer(p);
    EXPECT_EQ(reader.ReadString("s", "k", ""), "1");
    writer.WriteString("s", "k", "2");
    EXPECT_EQ(reader.ReadString("s", "k", ""), "2");
    for (const char* value : {"3", "4444"}) {
        EXPECT_NE(reader.ReadString("s", "k", ""), value);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                rtl::IniFile(p).WriteString("s", "k", value);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::this_thread::sleep_for(rtl::IniFile::change_check_interval);
        EXPECT_EQ(reader.ReadString("s", "k", ""), value);
        EXPECT_EQ(reader.ReadSection("s"), (std::vector<std::string>{"k"}));
    }

    // Deleting looks at the disk at once: what another program wrote a
    // moment ago is deleted, not missed.
    EXPECT_EQ(reader.ReadString("t", "x", "-"), "-");
    write_bytes(p + ".tmp", "[s]\r\nk=5\r\n[t]\r\nx=1\r\n");
    ASSERT_EQ(::rename((p + ".tmp").c_str(), p.c_str()), 0);
    reader.DeleteKey("t", "x");
    EXPECT_EQ(read_bytes(p), "[s]\r\nk=5\r\n[t]\r\n");
    write_bytes(p + ".tmp", "[s]\r\nk=6\r\n[u]\r\ny=1\r\n");
    ASSERT_EQ(::rename((p + ".tmp").c_str(), p.c_str()), 0);
    reader.EraseSection("u");
    EXPECT_EQ(read_bytes(p), "[s]\r\nk=6\r\n");
}

TEST_F(IniFileTest, KeepsModeAndSymbolicLinks) {
    const std::string target = path("target.ini"), link = path("link.ini");
    write_bytes(target, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    rtl::IniFile(link).WriteString("s", "k", "2");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(read_bytes(target), "[s]\r\nk=2\r\n");
}

TEST_F(IniFileTest, StoredWindowsPathsWork) {
    rtl::IniFile ini(dir_ + "\\win.ini");
    ini.WriteString("s", "k", "v");
    EXPECT_EQ(read_bytes(path("win.ini")), "[s]\r\nk=v\r\n");
    EXPECT_EQ(ini.FileName(), dir_ + "\\win.ini");
}

TEST_F(IniFileTest, EraseSectionRemovesEveryCopyAndItsLines) {
    const std::string p = path("e.ini");
    write_bytes(p, "; top\r\n[a]\r\nx=1\r\n; about b\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=3\r\n[c]\r\n");
    rtl::IniFile ini(p);
    ini.EraseSection("A");
    EXPECT_EQ(read_bytes(p), "; top\r\n[b]\r\ny=2\r\n[c]\r\n");
    ini.EraseSection("none");  // nothing to do, nothing written
    EXPECT_EQ(read_bytes(p), "; top\r\n[b]\r\ny=2\r\n[c]\r\n");
    rtl::IniFile(path("never.ini")).EraseSection("x");
    EXPECT_NE(::access(path("never.ini").c_str(), F_OK), 0);
}

}  // namespace

// Reads of the same lines go through an index once the lines have been read
// before; every change, here or on disk, must reach the reads after it.
TEST_F(IniFileTest, RepeatedReadsSeeEveryChange) {
    const std::string p = path("indexed.ini");
    write_bytes(p, "[a]\r\nk=1\r\n[b]\r\nk=2\r\n[A]\r\nk=3\r\nx=4\r\n");
    rtl::IniFile ini(p);
    auto read_twice = [&](const char* s, const char* k) {
        const std::string first = ini.ReadString(s, k, "-");
        EXPECT_EQ(ini.ReadString(s, k, "-"), first) << s << "/" << k;
        return first;
    };
    EXPECT_EQ(read_twice("A", "K"), "1");
    EXPECT_EQ(read_twice("a", "x"), "-");  // only the first section of a name is searched
    EXPECT_EQ(read_twice("b", "k"), "2");

    ini.WriteString("b", "new", "5");
    EXPECT_EQ(read_twice("b", "new"), "5");
    EXPECT_EQ(read_twice("b", "k"), "2");
    ini.DeleteKey("a", "k");
    EXPECT_EQ(read_twice("a", "k"), "-");
    ini.EraseSection("b");
    EXPECT_FALSE(ini.SectionExists("b"));
    EXPECT_FALSE(ini.ValueExists("b", "new"));

    // Another program replaces the file; reads see it once the interval in
    // which a read may trust its last look at the disk has passed.
    write_bytes(p + ".tmp", "[b]\r\nk=22\r\n");
    ASSERT_EQ(::rename((p + ".tmp").c_str(), p.c_str()), 0);
    std::this_thread::sleep_for(rtl::IniFile::change_check_interval);
    EXPECT_EQ(read_twice("b", "k"), "22");
    EXPECT_EQ(read_twice("a", "k"), "-");
    EXPECT_EQ(ini.ReadSection("B"), (std::vector<std::string>{"k"}));

    // An abandoned batch takes its writes back out of what is read.
    {
        rtl::IniFile::Batch batch(ini);
        ini.WriteString("b", "k", "33");
        EXPECT_EQ(read_twice("b", "k"), "33");
    }
    EXPECT_EQ(read_twice("b", "k"), "22");
}
