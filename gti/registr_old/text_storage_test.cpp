#include "gti/registr_old/text_storage.h"

#include "library/serial/serial_list.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using os::testing::read_bytes;
using os::testing::write_bytes;

text::Record remark(std::uint32_t time, const std::string& text, int num = 9, int num2 = 0) {
    text::Record r;
    r.time = time;
    r.text = text;
    r.host_num = num;
    r.host_num2 = num2;
    return r;
}

std::vector<std::string> texts(text::Storage& s) {
    std::vector<std::string> out;
    for (const auto& r : s.get_records()) out.push_back(r.text);
    return out;
}

TEST(TextStorage, FileLinesAreByteExactAndRoundTrip) {
    os::testing::TempDir dir;
    const std::string file = dir / "remarks.txt";
    text::Storage s;
    s.set_file_name(file);
    s.add_record(remark(300, "Привет", 12, -4));
    s.add_record(remark(100, "a \"q\" \\ b\nline2\r\tend"));
    s.add_record(remark(200, ""));
    ASSERT_TRUE(s.save_to_file());
    // "Привет" in Windows-1251 is CF F0 E8 E2 E5 F2; CR and tab are dropped.
    EXPECT_EQ(read_bytes(file),
              "0.00 0.00 100 0 \"a \\\"q\\\" \\\\ b\\nline2end\" 0 0 9\r\n"
              "0.00 0.00 200 0 \"\" 0 0 9\r\n"
              "0.00 0.00 300 -4 \"\xCF\xF0\xE8\xE2\xE5\xF2\" 0 0 12\r\n");

    text::Storage other;
    other.set_file_name(file);
    ASSERT_TRUE(other.load_from_file());
    ASSERT_EQ(other.size(), 3);
    EXPECT_EQ(other[0].text, "a \"q\" \\ b\nline2end");
    EXPECT_EQ(other[0].time, 100u);
    EXPECT_EQ(other[2].text, "Привет");
    EXPECT_EQ(other[2].host_num, 12);
    EXPECT_EQ(other[2].host_num2, -4);
    EXPECT_EQ(other[2].changed, 0.0);
    EXPECT_FALSE(other[2].is_new);
    // Only the remark added last is new.
    EXPECT_FALSE(s[0].is_new);
    EXPECT_TRUE(s[1].is_new);
    EXPECT_FALSE(s[2].is_new);
}

TEST(TextStorage, LinesFromOtherStationsAreReadAsWritten) {
    struct Case {
        std::string line;
        std::uint32_t time;
        int num2;
        std::string text;
        int num;
    };
    for (const Case& c : {
             Case{"0.00 0.00 5 1 \"a \\\"b\\\" c\" 0 0 3", 5, 1, "a \"b\" c", 3},  // an escaped quote
             Case{"0.00 0.00 5 1 \"x\" 0 0 0", 5, 1, "x", 9},                      // 0 gives 9
             Case{"0.00 0.00 5 1 \"x\" 0 0 -2", 5, 1, "x", 9},
             Case{"0.00 0.00 4294967295 0 \"x\"", 4294967295u, 0, "x", 9},  // missing numbers
             Case{"0.00 0.00 7", 7, 0, "", 9},
             Case{"0,00  0,00   8  2  \"двойные  пробелы\"  0 0 4", 8, 2, "двойные  пробелы", 4},
             Case{"0.00 0.00 9 0 \"открыта", 9, 0, "открыта", 9},  // no closing quote
         }) {
        text::Record r;
        ASSERT_TRUE(text::parse_remark_line(c.line, r)) << c.line;
        EXPECT_EQ(r.time, c.time) << c.line;
        EXPECT_EQ(r.host_num2, c.num2) << c.line;
        EXPECT_EQ(r.text, c.text) << c.line;
        EXPECT_EQ(r.host_num, c.num) << c.line;
    }
    text::Record r;
    for (const char* damaged : {"0.00 0.00 x1 0 \"t\" 0 0 9", "0.00 0.00 5 z \"t\" 0 0 9", "0.00 0.00 5 0 \"t\" 0 0 9x",
                                "0.00 0.00 -5 0 \"t\" 0 0 9"})
        EXPECT_FALSE(text::parse_remark_line(damaged, r)) << damaged;
}

TEST(TextStorage, ShortTextCountsCharacters) {
    struct Case {
        std::string text, expected;
    };
    const std::string c31(31, 'a'), c32(32, 'b'), cyr32 = "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ";
    for (const Case& c : {Case{c31, c31}, Case{c32, c32 + "..."}, Case{c32 + "tail", c32 + "..."},
                          Case{cyr32 + "Я", cyr32 + "..."}, Case{"a\nb", "a\\nb"}}) {
        text::Record r;
        r.text = c.text;
        EXPECT_EQ(r.get_short_text(), c.expected) << c.text;
    }
}

TEST(TextStorage, OrderLookupAndRangeChecks) {
    text::Storage s;  // no file: edits stay in memory
    EXPECT_EQ(s.find_by_tyme(5), -1);
    EXPECT_THROW(s[0], std::out_of_range);
    s.add_record(remark(50, "first"));
    s.add_record(remark(10, "early"));
    s.add_record(remark(50, "second"));
    EXPECT_EQ(texts(s), (std::vector<std::string>{"early", "first", "second"}));
    EXPECT_EQ(s.find_by_tyme(50), 1);
    EXPECT_EQ(s.find_by_tyme(51), -1);
    for (int bad : {-1, 3}) {
        EXPECT_THROW(s[bad], std::out_of_range);
        EXPECT_THROW(s.set_item(bad, remark(1, "x")), std::out_of_range);
        EXPECT_THROW(s.delete_record(bad), std::out_of_range);
    }
    EXPECT_EQ(s.size(), 3);
    EXPECT_TRUE(s.get_deleted_records().empty());

    // A change records the old time as deleted and re-sorts.
    s.set_item(0, remark(70, "moved"));
    EXPECT_EQ(texts(s), (std::vector<std::string>{"first", "second", "moved"}));
    s.delete_record(0);
    auto deleted = s.get_deleted_records();
    ASSERT_EQ(deleted.size(), 2u);
    EXPECT_EQ(deleted[0].time, 10u);
    EXPECT_EQ(deleted[1].time, 50u);
    EXPECT_GT(deleted[1].changed, 0.0);

    s.clear_indexes();
    for (const auto& r : s.get_records()) EXPECT_FALSE(r.is_new);
    EXPECT_TRUE(s.save_to_file());  // no file name: nothing to do
}

TEST(TextStorage, AFailedReadKeepsTheSetAndNeverOverwritesTheFile) {
    os::testing::TempDir dir;
    const std::string file = dir / "remarks.txt";
    text::Storage s;
    s.set_file_name(file);
    s.add_record(remark(100, "a"));
    s.add_record(remark(200, "b"));
    ASSERT_TRUE(s.save_to_file());

    // Another station leaves a file this one can't read whole.
    const std::string damaged = "0.00 0.00 300 0 \"c\" 0 0 9\r\n0.00 0.00 4x0 0 \"d\" 0 0 9\r\n";
    write_bytes(file, damaged);
    EXPECT_FALSE(s.load_from_file());
    EXPECT_EQ(texts(s), (std::vector<std::string>{"a", "b"}));  // not "c" alone
    s.add_record(remark(250, "e"));                             // the reload inside fails again
    EXPECT_EQ(texts(s), (std::vector<std::string>{"a", "b", "e"}));
    EXPECT_TRUE(s.check_file_changes());  // still not seen: tried again
    EXPECT_FALSE(s.save_to_file());
    EXPECT_EQ(read_bytes(file), damaged);
    // An edit that depends on the file is dropped while it can't be read.
    s.delete_record(0);
    EXPECT_EQ(s.size(), 3);

    // Once the file reads again, it is the set.
    write_bytes(file, "0.00 0.00 300 0 \"c\" 0 0 9\r\n");
    EXPECT_TRUE(s.check_file_changes());
    EXPECT_EQ(texts(s), (std::vector<std::string>{"c"}));
    EXPECT_FALSE(s.check_file_changes());
    EXPECT_TRUE(s.save_to_file());

    // A missing file is an empty set, not a failure.
    std::filesystem::remove(file);
    EXPECT_TRUE(s.check_file_changes());
    EXPECT_EQ(s.size(), 0);
}

// Two stations on one file: each sees the other's save at its next edit.
// Remarks added after all the file holds are appended to it (the file
// stays the same file, its bytes those of a rewrite); one that sorts
// before, an edit, a deletion or a file of another station's writing
// rewrite it whole. A remark goes after those of its own time.
TEST(TextStorage, AddedRemarksAreAppendedWhereTheOrderAllows) {
    os::testing::TempDir dir;
    const std::string file = dir / "remarks.txt";
    const auto line = [](std::uint32_t t, const std::string& cp1251) {
        return "0.00 0.00 " + std::to_string(t) + " 0 \"" + cp1251 + "\" 0 0 9\r\n";
    };
    const auto inode = [&] { return os::file_info(file).inode; };
    text::Storage s;
    s.set_file_name(file);
    ASSERT_TRUE(s.load_from_file());
    s.add_record(remark(100, "a"));
    s.add_record(remark(200, "b"));
    ASSERT_TRUE(s.save_to_file());
    const auto first = inode();

    s.add_record(remark(300, "c"));
    s.add_record(remark(300, "d"));
    ASSERT_TRUE(s.save_to_file());
    EXPECT_EQ(read_bytes(file), line(100, "a") + line(200, "b") + line(300, "c") + line(300, "d"));
    EXPECT_EQ(inode(), first) << "the file was rewritten for remarks at its end";

    // Before the last ones: in its place, the file rewritten.
    s.add_record(remark(200, "e"));
    EXPECT_EQ(texts(s), (std::vector<std::string>{"a", "b", "e", "c", "d"}));
    EXPECT_TRUE(s[2].is_new);
    ASSERT_TRUE(s.save_to_file());
    EXPECT_EQ(read_bytes(file), line(100, "a") + line(200, "b") + line(200, "e") + line(300, "c") + line(300, "d"));
    const auto second = inode();
    EXPECT_NE(second, first);

    // The last remark deleted, then one added after all: the deleted line
    // must go, so the whole file is written.
    s.delete_record(4);
    s.add_record(remark(400, "f"));
    ASSERT_TRUE(s.save_to_file());
    EXPECT_EQ(read_bytes(file), line(100, "a") + line(200, "b") + line(200, "e") + line(300, "c") + line(400, "f"));
    EXPECT_NE(inode(), second);

    // Another station's file in its own spelling and order: read as it is,
    // put in order once, written as this station writes it.
    write_bytes(file, "0,00  0,00 300 0 \"z\" 0 0 9\r\n0.00 0.00 100 0 \"y\" 0 0 9\r\n");
    text::Storage other;
    other.set_file_name(file);
    ASSERT_TRUE(other.load_from_file());
    other.add_record(remark(500, "x"));
    ASSERT_TRUE(other.save_to_file());
    EXPECT_EQ(read_bytes(file), line(100, "y") + line(300, "z") + line(500, "x"));
    // An append by another station within the same tick of the clock is
    // still seen: the next add reads it first.
    text::Storage third;
    third.set_file_name(file);
    ASSERT_TRUE(third.load_from_file());
    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        out << line(600, "w");
    }
    third.add_record(remark(700, "v"));
    EXPECT_EQ(third.size(), 5) << "the other station's remark was not read";
    ASSERT_TRUE(third.save_to_file());
    EXPECT_EQ(read_bytes(file), line(100, "y") + line(300, "z") + line(500, "x") + line(600, "w") + line(700, "v"));
}

TEST(TextStorage, TwoProcessesShareTheFile) {
    os::testing::TempDir dir;
    const std::string file = dir / "remarks.txt";
    text::Storage parent;
    parent.set_file_name(file);
    parent.add_record(remark(100, "первая"));
    ASSERT_TRUE(parent.save_to_file());

    os::testing::Child child([&](os::testing::ChildSide& side) {
        text::Storage s;
        s.set_file_name(file);
        if (!s.load_from_file() || s.size() != 1) return 1;
        side.ready();
        if (!side.wait_release()) return 2;
        if (!s.check_file_changes()) return 3;
        if (s.size() != 2 || s[1].text != "вторая") return 4;
        s.add_record(remark(300, "от соседа"));
        return s.save_to_file() ? 0 : 5;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    parent.add_record(remark(200, "вторая"));
    ASSERT_TRUE(parent.save_to_file());
    child.release();
    ASSERT_EQ(child.join(), 0);

    // The other station rewrote the file: the deletion is dropped, the file's
    // set comes in.
    parent.delete_record(0);
    EXPECT_EQ(texts(parent), (std::vector<std::string>{"первая", "вторая", "от соседа"}));
    EXPECT_TRUE(parent.get_deleted_records().empty());
    parent.delete_record(0);
    EXPECT_EQ(texts(parent), (std::vector<std::string>{"вторая", "от соседа"}));
    ASSERT_EQ(parent.get_deleted_records().size(), 1u);
    EXPECT_EQ(parent.get_deleted_records()[0].time, 100u);
}

TEST(TextStorage, StateStreamKeepsBothListsAndRefusesDamage) {
    text::Storage s;
    s.add_record(remark(10, "один", 3, 7));
    s.add_record(remark(20, "два"));
    s.delete_record(1);
    lib::SerialOutputBuffer out;
    s.get_serial_list(out, 1);

    text::Storage back;
    lib::SerialInputBuffer in;
    in.copy_from(out);
    back.get_serial_list(in, 1);
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].text, "один");
    EXPECT_EQ(back[0].host_num, 3);
    EXPECT_EQ(back[0].host_num2, 7);
    EXPECT_EQ(back[0].changed, s[0].changed);
    ASSERT_EQ(back.get_deleted_records().size(), 1u);
    EXPECT_EQ(back.get_deleted_records()[0].time, 20u);
    std::string name;
    back.get_serial_name(name);
    EXPECT_EQ(name, "text::Storage");

    // A count larger than the record can hold is refused before anything
    // is allocated, and the store stays as it was.
    lib::SerialOutputBuffer bad;
    int huge = 0x7FFFFFFF;
    bad | huge;
    lib::SerialInputBuffer bad_in;
    bad_in.copy_from(bad);
    EXPECT_THROW(back.get_serial_list(bad_in, 1), std::runtime_error);
    EXPECT_EQ(back.size(), 1);
}

}  // namespace
