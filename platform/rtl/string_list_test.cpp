#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using rtl::StringList;

std::string unhex(const std::string& token) {  // "x" followed by hex bytes
    std::string out;
    for (std::size_t i = 1; i + 1 < token.size(); i += 2) {
        unsigned v = 0;
        std::from_chars(token.data() + i, token.data() + i + 2, v, 16);
        out.push_back(static_cast<char>(v));
    }
    return out;
}

// Free Pascal's TStringList (-Mdelphi) as the reference: the vector and the
// program that wrote it are testdata/comma_text.tsv and comma_text_vectors.pas.
TEST(StringListVectors, CommaTextAndTextMatchFreePascal) {
    std::ifstream in(STATION_SOURCE_DIR "/platform/rtl/testdata/comma_text.tsv");
    ASSERT_TRUE(in) << "missing vector file";
    int cases = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string kind, tok;
        f >> kind;
        std::vector<std::string> before, after;
        bool past = false;
        while (f >> tok) {
            if (tok == "=") {
                past = true;
                continue;
            }
            (past ? after : before).push_back(unhex(tok));
        }
        StringList list;
        if (kind == "W") {
            for (auto& s : before) list.Add(s);
            ASSERT_EQ(after.size(), 1u) << line;
            EXPECT_EQ(list.CommaText(), after[0]) << line;
            // What we write reads back as the same list.
            StringList back;
            back.SetCommaText(list.CommaText());
            EXPECT_EQ(back, list) << line;
        } else {
            ASSERT_EQ(before.size(), 1u) << line;
            if (kind == "R")
                list.SetCommaText(before[0]);
            else
                list.SetText(before[0]);
            EXPECT_EQ(list.items(), after) << line;
        }
        ++cases;
    }
    EXPECT_GT(cases, 60);
}

TEST(StringList, IndexErrorsAndEditing) {
    StringList l;
    EXPECT_EQ(l.Add("b"), 0);
    l.Insert(0, "a");
    l.Insert(2, "c");
    EXPECT_EQ(l.items(), (std::vector<std::string>{"a", "b", "c"}));
    l.Delete(1);
    EXPECT_EQ(l.items(), (std::vector<std::string>{"a", "c"}));
    EXPECT_THROW(l.Insert(3, "x"), std::out_of_range);
    EXPECT_THROW(l.Insert(-1, "x"), std::out_of_range);
    EXPECT_THROW(l.Delete(2), std::out_of_range);
    EXPECT_THROW(l[-1], std::out_of_range);
    try {
        (void)l.Strings(5);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (5)");
    }
    l.SetStrings(1, "z");
    EXPECT_EQ(l[1], "z");
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, IndexOfIgnoresCaseWithCyrillic) {
    StringList l{"Давление", "вес_на_крюке", "Ёмкость", "x"};
    EXPECT_EQ(l.IndexOf("ВЕС_НА_КРЮКЕ"), 1);
    EXPECT_EQ(l.IndexOf("ёмкость"), 2);
    EXPECT_EQ(l.IndexOf("X"), 3);
    EXPECT_EQ(l.IndexOf("давлени"), -1);
}

TEST(StringList, NamesAndValues) {
    StringList l{"Скважина=12-бис", "no separator", "=nameless", "a=b=c", "СКВАЖИНА=second"};
    EXPECT_EQ(l.IndexOfName("скважина"), 0);
    EXPECT_EQ(l.Values("СКВАЖИНА"), "12-бис");
    EXPECT_EQ(l.Names(1), "");
    EXPECT_EQ(l.ValueFromIndex(1), "");  // a line without '=' has no value
    EXPECT_EQ(l.IndexOfName("no separator"), -1);
    EXPECT_EQ(l.Values(""), "nameless");
    EXPECT_EQ(l.Names(3), "a");
    EXPECT_EQ(l.ValueFromIndex(3), "b=c");
    EXPECT_EQ(l.Values("missing"), "");

    l.SetValue("скважина", "7");  // replaces the first line of that name
    EXPECT_EQ(l[0], "скважина=7");
    l.SetValue("new", "v");
    EXPECT_EQ(l[l.Count() - 1], "new=v");
    l.SetValue("A", "");  // an empty value removes the line
    EXPECT_EQ(l.IndexOfName("a"), -1);
    l.SetValue("absent", "");
    EXPECT_EQ(l.Count(), 5);
}

TEST(StringList, TextEndsEveryLineWithCrLf) {
    EXPECT_EQ(StringList{}.Text(), "");
    EXPECT_EQ((StringList{"a", "", "б"}.Text()), "a\r\n\r\nб\r\n");
    StringList l;
    l.SetText(std::string("a\0b\nc", 5));  // a NUL is kept, not an end of text
    EXPECT_EQ(l.items(), (std::vector<std::string>{std::string("a\0b", 3), "c"}));
}

class StringListFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("string_list_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }
    std::string bytes_of(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
    fs::path dir_;
};

TEST_F(StringListFiles, SavesAndLoadsWindows1251) {
    const fs::path file = dir_ / "list.txt";
    StringList l{"Глубина=1500,5", "ёж", "", "x\x98y"};
    l[3] = "x\xC2\x98y";  // U+0098 stands for the unassigned byte 0x98
    l.SaveToFile(file.string());
    EXPECT_EQ(bytes_of(file), "\xC3\xEB\xF3\xE1\xE8\xED\xE0=1500,5\r\n\xB8\xE6\r\n\r\nx\x98y\r\n");
    StringList back;
    back.LoadFromFile(file.string());
    EXPECT_EQ(back, l);

    write(file, "a\nb\r\xC0");
    back.LoadFromFile(file.string());
    EXPECT_EQ(back.items(), (std::vector<std::string>{"a", "b", "А"}));
}

TEST_F(StringListFiles, SaveReplacesAtomicallyAndKeepsPermissions) {
    const fs::path file = dir_ / "list.txt";
    write(file, "old");
    ::chmod(file.c_str(), 0640);
    StringList{"new"}.SaveToFile(file.string());
    EXPECT_EQ(bytes_of(file), "new\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

TEST_F(StringListFiles, ErrorsNameTheFileAndTheCause) {
    const std::string missing = (dir_ / "nope" / "list.txt").string();
    StringList l{"keep"};
    try {
        l.LoadFromFile(missing);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
    EXPECT_EQ(l.items(), std::vector<std::string>{"keep"});  // untouched on failure

    try {
        l.SaveToFile(missing);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }

    EXPECT_THROW(l.LoadFromFile(dir_.string()), std::runtime_error);  // a folder

    // A folder where the file should be: the rename fails, the folder stays
    // and no temporary file is left beside it.
    const fs::path blocked = dir_ / "blocked";
    fs::create_directories(blocked);
    EXPECT_THROW(l.SaveToFile(blocked.string()), std::runtime_error);
    EXPECT_TRUE(fs::is_directory(blocked));
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 1);

    if (::geteuid() != 0) {  // root writes anywhere
        const fs::path ro = dir_ / "ro";
        fs::create_directories(ro);
        write(ro / "list.txt", "old");
        fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_THROW(l.SaveToFile((ro / "list.txt").string()), std::runtime_error);
        EXPECT_EQ(bytes_of(ro / "list.txt"), "old");
    }
}

}  // namespace
