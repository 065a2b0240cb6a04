#include "library/storage/file_storage.h"

#include "library/io/file_streams.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

const std::string kMismatch =
    "В файле были найдены пропуски, которые возникли из-за некорректного редактирования файла. "
    "Данные считаны не полностью";
const std::string kResync =
    "Файл был повреждён. Программа попыталась найти в нём корректные данные методом последовательного перебора";
const std::string kDamagedBlocks = "В файле найдены повреждённые блоки, они пропущены";
const std::string kTorn = "Последний блок файла записан не полностью (запись была прервана), он пропущен";
const std::string kTooMany = "слишком много параметров";
const std::string kDamagedText = "Повреждён файл в области текстовых данных";
const std::uint32_t T0 = 90000;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/library/storage/testdata/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Sink : public lib::io::BinaryOutputStream {
public:
    void write(const char* b, unsigned n) override { bytes.append(b, n); }
    std::string bytes;
};

std::vector<std::uint32_t> times(const FileStorage& t) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < t.get_data_size(); ++i) out.push_back(t.get_record(i)->time.get_value());
    return out;
}

std::vector<std::string> warnings(const FileStorage& t) {
    std::vector<std::string> out;
    t.get_warnings(out);
    return out;
}

// Blocks built with the encoder, for cases the fixtures do not cover.
struct Blocks {
    lib::realtime::BlockEncoder enc;
    Sink out;
    Blocks& header(const std::vector<std::string>& globals) {
        std::vector<FileStorageParam> ps;
        for (const auto& g : globals) ps.emplace_back("Имя " + g, "к", "ед", g, 0.0f, 10.0f);
        enc.write_params(out, ps);
        return *this;
    }
    Blocks& record(std::uint32_t t, std::vector<float> v, float depth = 1.0f) {
        enc.write_record(out, t, depth, depth + 1, depth + 2, 1, v.data(), v.size());
        return *this;
    }
    Blocks& text(const std::string& s) {
        enc.write_text(out, s);
        return *this;
    }
};

class FileStorageFiles : public ::testing::Test {
protected:
    os::ScopedRetryPolicy quick{os::RetryPolicy{3, std::chrono::milliseconds(5)}};
    os::testing::TempDir dir;
};

TEST_F(FileStorageFiles, AWellFileReadsWhole) {
    std::string path = dir / "0012.realtim";
    put(path, fixture("well.bin"));
    FileStorage t;
    EXPECT_TRUE(t.add_file(path, false));
    EXPECT_EQ(t.get_file_kind(), 1);
    ASSERT_EQ(t.get_params_count(), 2);
    const FileStorageParam* p = t.get_param(0);
    EXPECT_EQ(*p, FileStorageParam("Вес на крюке", "Вес", "т", "вес_на_крюке", 0.0f, 250.0f));
    EXPECT_EQ(t.get_param(1)->units, "атм");
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{T0, T0 + 10, T0 + 20, T0 + 30, T0 + 35, T0 + 40, T0 + 50}));
    for (int i : {0, 1, 2, 3}) {
        const FileStorageRecord* r = t.get_record(i);
        EXPECT_EQ(r->depth_z, 100.0f + i);
        EXPECT_EQ(r->lag_depth, 90.0f + i);
        EXPECT_EQ(r->depth_cur, 99.5f + i);
        EXPECT_EQ(r->operation, i % 4);
        EXPECT_TRUE(r->valid);
        EXPECT_EQ(r->values, (FileStorageValues{10.0f * i, -1.0f * i}));
    }
    const FileStorageRecord* simple = t.get_record(4);
    EXPECT_EQ(simple->values, (FileStorageValues{7.0f, 8.0f}));
    EXPECT_EQ(simple->operation, 255);
    EXPECT_FALSE(simple->valid);
    EXPECT_EQ(simple->depth_z, 0.0f);
    // The text of both text blocks; an unset value is not taken.
    EXPECT_EQ(t.text_values().get_full_text(), "скважина=12\r\nплощадь=Южная\r\nконеч_время=90100\r\n");
    ASSERT_EQ(t.get_remarks().size(), 1u);
    EXPECT_EQ(t.get_remarks()[0].time, T0 + 25);
    EXPECT_EQ(t.get_remarks()[0].depth, 102.5f);
    EXPECT_EQ(t.get_remarks()[0].text, "Промывка");
    EXPECT_TRUE(warnings(t).empty());
}

TEST_F(FileStorageFiles, DamagedFilesKeepWhatSurvivesWithWarnings) {
    struct Case {
        const char* file;
        std::vector<std::uint32_t> times;
        std::vector<std::string> warnings;
    };
    const std::vector<Case> cases = {
        {"torn_last.bin", {T0, T0 + 10, T0 + 20, T0 + 30, T0 + 35, T0 + 40}, {kTorn}},
        {"flipped_size.bin", {T0, T0 + 10, T0 + 30, T0 + 35, T0 + 40, T0 + 50}, {kResync}},
        {"header_200.bin", {T0, T0 + 20}, {kTooMany, kMismatch}},
        {"remark_no_zero.bin", {T0, T0 + 10, T0 + 20}, {kDamagedBlocks}},
        {"garbage.bin", {T0, T0 + 10, T0 + 20, T0 + 30, T0 + 40, T0 + 50}, {kResync}},
    };
    for (const auto& c : cases) {
        std::string path = dir / (std::string(c.file) + ".realtim");
        put(path, fixture(c.file));
        FileStorage t;
        EXPECT_TRUE(t.add_file(path, false)) << c.file;
        EXPECT_EQ(times(t), c.times) << c.file;
        EXPECT_EQ(warnings(t), c.warnings) << c.file;
        EXPECT_EQ(t.get_params_count(), 2) << c.file;
        // Every record that survives is exactly as written.
        for (int i = 0; i < t.get_data_size(); ++i) {
            const FileStorageRecord* r = t.get_record(i);
            if (r->operation == 255) continue;  // the simple values
            float k = static_cast<float>((r->time.get_value() - T0) / 10);
            EXPECT_EQ(r->values, (FileStorageValues{10.0f * k, -k})) << c.file;
            EXPECT_EQ(r->depth_z, 100.0f + k) << c.file;
        }
    }
}

TEST_F(FileStorageFiles, RecordsGoOnlyToTheColumnsOfAGoodHeader) {
    Blocks b;
    b.record(1, {5.0f})  // before any header: no column to go to
        .header({"a", "b"})
        .record(2, {1, 2})
        .record(3, {1, 2, 3})  // count disagrees with the header
        .record(4, {3, 4})
        .header({"c", "A"})  // a reordered header joins by name
        .record(5, {7, 8});
    std::string path = dir / "h.realdep";
    put(path, b.out.bytes);
    FileStorage t;
    t.add_file(path, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{2, 4, 5}));
    ASSERT_EQ(t.get_params_count(), 3);
    EXPECT_EQ(t.get_param(2)->global_name, "c");
    EXPECT_EQ(t.get_record(0)->values, (FileStorageValues{1, 2, 0}));  // grown to three columns
    EXPECT_EQ(t.get_record(2)->values, (FileStorageValues{8, 0, 7}));
    EXPECT_EQ(warnings(t), (std::vector<std::string>{kMismatch}));
}

TEST_F(FileStorageFiles, AHeaderOver128ColumnsIsRefusedWholeAndItsRecordsSkipped) {
    std::vector<std::string> first, second;
    for (int i = 0; i < 128; ++i) first.push_back("p" + std::to_string(i));
    for (int i = 0; i < 2; ++i) second.push_back("q" + std::to_string(i));
    std::vector<float> v128(128, 1.0f);
    Blocks b;
    b.header(first).record(1, v128);
    Blocks c;
    c.header(second).record(2, {1, 2}).header({"p5"}).record(3, {9});
    put(dir / "1.realtim", b.out.bytes);
    put(dir / "2.realtim", c.out.bytes);
    FileStorage t;
    t.add_file(dir / "1.realtim", false);
    t.add_file(dir / "2.realtim", false);
    EXPECT_EQ(t.get_params_count(), 128);  // q0 was not added before q1 failed
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(t.get_record(1)->values[5], 9.0f);
    EXPECT_EQ(warnings(t), (std::vector<std::string>{kTooMany, kMismatch}));
}

TEST_F(FileStorageFiles, WindowAndOutOfRangeValues) {
    Blocks b;
    b.header({"a", "b"});
    for (std::uint32_t t : {99u, 100u, 150u, 200u, 201u}) b.record(t, {1, 2});
    b.record(150, {1, 2e20f}, 5.0f);
    b.record(150, {-3e20f, 2}, 6.0f);
    b.enc.write_simple_values(b.out, 5, std::vector<float>{1, 2}.data(), 2);  // kept whatever its time
    std::string path = dir / "w.reallag";
    put(path, b.out.bytes);
    FileStorage t;
    t.set_time_range(100, 200);
    t.add_file(path, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{100, 150, 200, 150, 150, 5}));
    const FileStorageRecord* big = t.get_record(3);
    EXPECT_EQ(big->values, (FileStorageValues{0, 0}));
    EXPECT_EQ(big->depth_z, 5.0f);
    EXPECT_EQ(big->operation, 1);
    EXPECT_EQ(t.get_record(4)->values, (FileStorageValues{0, 0}));
    // Only part of the file is in the table: writing it back is refused.
    EXPECT_THROW(t.save_all(path, false), FileStorageException);
    EXPECT_EQ(get(path), b.out.bytes);
}

TEST_F(FileStorageFiles, RecordsOutliveReadsClearsAndTheirTable) {
    std::string path = dir / "0012.realtim";
    put(path, fixture("well.bin"));
    FileStorageItem copy;
    {
        FileStorage t;
        t.add_file(path, false);
        t.clear();
        t.add_file(path, false);  // into the memory the first read used
        t.add_file(path, false);  // and on into more
        ASSERT_EQ(t.get_data_size(), 14);
        EXPECT_EQ(t.get_record(8)->values, (FileStorageValues{10.0f, -1.0f}));
        copy = *t.get_record(8);
        t.get_record_ptr(8)->values[1] = 5.0f;  // an edit of the table, not of the copy
        EXPECT_EQ(t.get_record(8)->values, (FileStorageValues{10.0f, 5.0f}));
    }
    EXPECT_EQ(copy.values, (FileStorageValues{10.0f, -1.0f}));
    copy.values.resize(40, 1.0f);
    EXPECT_EQ(copy.values[39], 1.0f);
}

TEST_F(FileStorageFiles, ExtensionsDecideTheReader) {
    put(dir / "a.TIM", "x");
    put(dir / "a.txt", "x");
    FileStorage t;
    EXPECT_FALSE(t.add_file(dir / "a.TIM", false));
    EXPECT_EQ(t.get_file_kind(), 0);
    try {
        t.add_file(dir / "a.txt", false);
        ADD_FAILURE();
    } catch (const FileStorageException& e) {
        EXPECT_STREQ(e.what(), "Неправильное расширение открываемого файла: .txt");
        EXPECT_TRUE(e.is_critical());
    }
    // The extension is the file name's, not a dotted folder's.
    std::filesystem::create_directory(dir / "w.realtim");
    EXPECT_THROW(t.add_file(dir / "w.realtim/data", false), FileStorageException);
    try {
        t.add_file(dir / "missing.realtim", false);
        ADD_FAILURE();
    } catch (const lib::io::FileError& e) {
        EXPECT_STREQ(e.what(), "Файл не найден!");
    }
    put(dir / "empty.realtim", "");
    EXPECT_THROW(t.add_file(dir / "empty.realtim", false), lib::io::FileError);
}

TEST_F(FileStorageFiles, MaskReadsInNameOrderWithoutTheFastFile) {
    put(dir / "0002.realtim", Blocks().header({"a"}).record(2, {2}).out.bytes);
    put(dir / "0001.realtim", Blocks().header({"A"}).record(1, {1}).out.bytes);
    put(dir / "0001.fast.realtim", Blocks().header({"f"}).record(9, {9}).out.bytes);
    FileStorage t;
    t.add_files_by_mask((dir / "*.realtim").c_str());
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(t.get_params_count(), 1);  // "a" and "A" are one column
    FileStorage fast;
    EXPECT_TRUE(fast.add_file(dir / "0001.fast.realtim", false));
    EXPECT_EQ(times(fast), (std::vector<std::uint32_t>{9}));
}

TEST_F(FileStorageFiles, SaveAndReadBackGiveTheSameTable) {
    std::string src = dir / "0012.realtim";
    put(src, fixture("well.bin"));
    FileStorage t;
    t.add_file(src, false);
    t.set_file_number(0, 7);
    std::string path = dir / "copy.realtim";
    t.save_with_new_format(path, -1);
    FileStorage back;
    back.add_file(path, false);
    ASSERT_EQ(back.get_params_count(), t.get_params_count());
    for (int i = 0; i < t.get_params_count(); ++i) EXPECT_EQ(*back.get_param(i), *t.get_param(i));
    ASSERT_EQ(back.get_data_size(), t.get_data_size());
    for (int i = 0; i < t.get_data_size(); ++i) {
        const FileStorageRecord *a = t.get_record(i), *r = back.get_record(i);
        EXPECT_EQ(r->time.get_value(), a->time.get_value());
        EXPECT_EQ(r->values, a->values);
        EXPECT_EQ(r->depth_z, a->depth_z);
        EXPECT_EQ(r->depth_cur, a->depth_cur);
        EXPECT_EQ(r->lag_depth, a->lag_depth);
    }
    // Simple values come back as records (the writer has no other form).
    EXPECT_EQ(back.get_record(4)->operation, 255);
    EXPECT_TRUE(back.get_record(4)->valid);
    EXPECT_EQ(back.text_values().get_full_text(), t.text_values().get_full_text());
    EXPECT_TRUE(back.get_remarks().empty());
    EXPECT_TRUE(warnings(back).empty());

    // A file number picks the records of one file.
    t.save_with_new_format(path, 7);
    FileStorage one;
    one.add_file(path, false);
    EXPECT_EQ(times(one), (std::vector<std::uint32_t>{T0}));
}

TEST_F(FileStorageFiles, TextOnlyPassAndItsDamage) {
    Blocks b;
    b.text("a=1\r\n").header({"x"}).record(1, {1});
    std::string good = b.out.bytes;
    std::string bad_text = std::string("\x03\x04\x00", 3) + "b=2x";  // no 0 at its end
    std::string path = dir / "t.realtim";
    put(path, good + bad_text + Blocks().text("c=3\r\n").out.bytes);
    FileStorage t;
    EXPECT_TRUE(t.add_file(path, true));
    EXPECT_EQ(t.get_data_size(), 0);
    EXPECT_EQ(t.text_values().get_full_text(), "a=1\r\nc=3\r\n");
    EXPECT_EQ(warnings(t), (std::vector<std::string>{kDamagedText}));
    FileStorage all;
    all.add_file(path, false);
    EXPECT_EQ(all.get_data_size(), 1);
    EXPECT_EQ(warnings(all), (std::vector<std::string>{kDamagedText}));
}

TEST_F(FileStorageFiles, SavingTheTextLeavesOneTextBlockAtTheEnd) {
    Blocks b;
    b.text("a=1\r\n").header({"x"}).record(1, {1}).text("b=2\r\n").record(2, {2}).text("c=3\r\n");
    std::string path = dir / "s.realtim";
    put(path, b.out.bytes);
    FileStorage t;
    t.add_file(path, false);
    t.text_values().set_text("d", "4");
    t.save_all(path, true);
    std::string bytes = get(path);
    lib::realtime::BlockScanner scanner(bytes.data(), bytes.size());
    lib::realtime::Block block;
    std::vector<int> types;
    while (scanner.next(block)) types.push_back(block.type);
    EXPECT_EQ(types, (std::vector<int>{2, 1, 1, 3}));
    FileStorage back;
    back.add_file(path, false);
    EXPECT_EQ(times(back), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(back.text_values().get_full_text(), "a=1\r\nb=2\r\nc=3\r\nd=4\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
}

TEST_F(FileStorageFiles, ExclusionLeavesADamagedFileAlone) {
    Blocks b;
    b.header({"x"}).record(1, {1}).text("a=1\r\n").record(2, {2});
    std::string path = dir / "e.realtim";
    std::string damaged = b.out.bytes + "\x01\x7f";  // a torn header at the end
    put(path, damaged);
    std::vector<int> types{3};
    FileStorage t;
    EXPECT_THROW(t.exclude_records(path, types), FileStorageException);
    EXPECT_EQ(get(path), damaged);
    put(path, b.out.bytes);
    t.exclude_records(path, types);
    FileStorage back;
    back.add_file(path, false);
    EXPECT_EQ(times(back), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(back.text_values().count(), 0);
    // Other extensions are not touched.
    std::string rtm = dir / "e.rtm";
    put(rtm, b.out.bytes);
    t.exclude_records(rtm, types);
    EXPECT_EQ(get(rtm), b.out.bytes);
    EXPECT_NO_THROW(t.exclude_records(dir / "missing.realtim", types));
}

TEST_F(FileStorageFiles, SmartSaveMergesWhatAnotherWriterAppended) {
    Blocks b;
    b.header({"x"}).record(1, {1}).record(2, {2});
    std::string path = dir / "m.realtim";
    put(path, b.out.bytes);
    FileStorage t;
    t.add_file(path, false);
    t.get_record_ptr(0)->values[0] = 10;  // an edit of the table
    t.text_values().set_text("note", "edited");
    // Another program appends a record and a text block, the hub's way.
    {
        lib::io::BinaryOutputFileStream out;
        out.open(path, true, true);
        lib::realtime::BlockEncoder enc;
        float v = 3;
        enc.write_record(out, 3, 0, 0, 0, 0, &v, 1);
        enc.write_text(out, "note=file\r\n");
    }
    t.smart_save_all(path, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(t.text_values().get_text("note"), "edited");
    FileStorage back;
    back.add_file(path, false);
    EXPECT_EQ(times(back), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(back.get_record(0)->values[0], 10.0f);
    // Nothing changed since: the table is written as it is.
    back.get_record_ptr(2)->values[0] = 30;
    back.smart_save_all(path, false);
    FileStorage again;
    again.add_file(path, false);
    EXPECT_EQ(again.get_record(2)->values[0], 30.0f);
    EXPECT_EQ(again.get_data_size(), 3);
}

// A reader following a file the hub appends to reads each block once: what
// was read before is not read again (bytes changed there in place stay
// unseen), a block cut short waits for its end, a new header maps the
// records after it by name, and a file replaced under its name is told.
TEST_F(FileStorageFiles, FollowingAGrowingFileReadsOnlyWhatWasAppended) {
    std::string path = dir / "f.realtim";
    Blocks first;
    first.header({"a", "b"}).record(1, {1, 10}).record(2, {2, 20});
    put(path, first.out.bytes);
    FileStorage t;
    ASSERT_EQ(t.add_appended(path), 2);  // not read before: read whole
    EXPECT_EQ(t.add_appended(path), 0);

    // The records already read are scribbled over in place: a follower never
    // sees it, a reader of the whole file would.
    std::string bytes = first.out.bytes;
    Blocks more;
    more.record(3, {3, 30}).record(4, {4, 40});
    // The second header swaps the columns and adds one.
    more.header({"c", "b", "a"}).record(5, {500, 50, 5});
    std::string scribbled = bytes;
    for (std::size_t i = bytes.size() - 8; i < bytes.size(); ++i) scribbled[i] = '\x7f';
    const std::string& tail = more.out.bytes;
    const std::size_t cut = tail.size() - 5;  // record 5 cut short
    put(path, scribbled + tail.substr(0, cut));
    ASSERT_EQ(t.add_appended(path), 2);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(t.get_record(1)->values[1], 20.0f) << "a block read before was read again";
    EXPECT_TRUE(warnings(t).empty()) << ::testing::PrintToString(warnings(t));
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << tail.substr(cut);
    }
    ASSERT_EQ(t.add_appended(path), 1);
    ASSERT_EQ(t.get_params_count(), 3);
    const FileStorageRecord* r = t.get_record(4);
    EXPECT_EQ(r->time.get_value(), 5u);
    EXPECT_EQ(r->values[t.get_param_index("a")], 5.0f);
    EXPECT_EQ(r->values[t.get_param_index("b")], 50.0f);
    EXPECT_EQ(r->values[t.get_param_index("c")], 500.0f);
    EXPECT_EQ(t.get_record(0)->values.size(), 3u);  // the earlier records grew with the columns
    EXPECT_TRUE(warnings(t).empty()) << ::testing::PrintToString(warnings(t));

    // Replaced under its name (a rewrite of its texts): read it afresh.
    const std::string other = dir / "f.new";
    put(other, first.out.bytes + tail);
    std::filesystem::rename(other, path);
    EXPECT_EQ(t.add_appended(path), -1);
    // Cut short in place, the same.
    FileStorage u;
    put(path, first.out.bytes + tail);
    ASSERT_EQ(u.add_appended(path), 5);
    ::truncate(path.c_str(), static_cast<off_t>(first.out.bytes.size()));
    EXPECT_EQ(u.add_appended(path), -1);
}

TEST_F(FileStorageFiles, NoRewriteLosesWhatAnotherWriterAppended) {
    std::string path = dir / "k.realtim";
    put(path, Blocks().header({"x"}).record(1, {1}).out.bytes);
    auto append = [&](std::uint32_t t) {
        lib::io::BinaryOutputFileStream out;
        out.open(path, true, true);
        lib::realtime::BlockEncoder enc;
        float v = static_cast<float>(t);
        enc.write_record(out, t, 0, 0, 0, 0, &v, 1);
    };
    FileStorage t;
    t.add_file(path, false);
    append(2);
    t.text_values().set_text("a", "1");
    t.save_all(path, true);  // keeps record 2, which the table has not got
    append(3);
    t.save_with_new_format(dir / "other.realtim", -1);  // another file: the table still lacks 2 and 3
    t.smart_save_all(path, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{1, 2, 3}));
    t.save_with_new_format(path, -1);
    append(4);
    t.smart_save_all(path, false);
    FileStorage back;
    back.add_file(path, false);
    EXPECT_EQ(times(back), (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(back.text_values().get_text("a"), "1");
}

TEST_F(FileStorageFiles, SmartSaveLeavesTheWindowOpenToEveryTime) {
    std::string path = dir / "s.realtim";
    put(path, Blocks().header({"x"}).record(100, {1}).record(150, {2}).out.bytes);
    std::string later = dir / "later.realtim";
    put(later, Blocks().header({"x"}).record(500, {5}).out.bytes);
    FileStorage t;
    t.set_time_range(100, 120);
    t.add_file(path, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{100}));
    t.smart_save_all(path, true);
    t.add_file(later, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{100, 500}));
    // Also when the save fails.
    t.set_time_range(0, 1);
    EXPECT_THROW(t.smart_save_all(dir / "missing.realtim", false), std::exception);
    t.add_file(later, false);
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{100, 500, 500}));
}

// Walks a file block by block through the named readers.
void walk(FileStorage& t, const std::string& path, bool& mismatch) {
    lib::io::InputMappedFile in;
    in.open(path, false);
    while (!in.eof()) {
        char type;
        std::int16_t size;
        in >> type;
        in.read(reinterpret_cast<char*>(&size), 2);
        ASSERT_TRUE(t.load_next_block(in, type, size, mismatch)) << int(type) << " " << size;
    }
}

TEST_F(FileStorageFiles, BlockByBlockReadersGiveWhatTheFileReaderGives) {
    std::string path = dir / "0012.realtim";
    put(path, fixture("well.bin"));
    FileStorage whole, walked;
    whole.add_file(path, false);
    bool mismatch = false;
    walk(walked, path, mismatch);
    EXPECT_FALSE(mismatch);
    ASSERT_EQ(walked.get_params_count(), whole.get_params_count());
    for (int i = 0; i < whole.get_params_count(); ++i) EXPECT_EQ(*walked.get_param(i), *whole.get_param(i));
    ASSERT_EQ(times(walked), times(whole));
    for (int i = 0; i < whole.get_data_size(); ++i) {
        EXPECT_EQ(walked.get_record(i)->values, whole.get_record(i)->values) << i;
        EXPECT_EQ(walked.get_record(i)->depth_cur, whole.get_record(i)->depth_cur) << i;
        EXPECT_EQ(walked.get_record(i)->valid, whole.get_record(i)->valid) << i;
    }
    EXPECT_EQ(walked.text_values().get_full_text(), whole.text_values().get_full_text());
    ASSERT_EQ(walked.get_remarks().size(), 1u);
    EXPECT_EQ(walked.get_remarks()[0].text, "Промывка");

    // A header of two columns that joins the first one; a record of another
    // header's width is skipped and told; the window holds.
    Blocks b;
    b.header({"вес_на_крюке", "new"}).record(7, {1, 2}).record(8, {3}).record(9, {4, 5});
    std::string more = dir / "more.realtim";
    put(more, b.out.bytes);
    walked.set_time_range(0, 8);
    walk(walked, more, mismatch);
    EXPECT_TRUE(mismatch);
    ASSERT_EQ(walked.get_params_count(), 3);
    const FileStorageRecord* last = walked.get_record(walked.get_data_size() - 1);
    EXPECT_EQ(last->time.get_value(), 7u);
    EXPECT_EQ(last->values, (FileStorageValues{1, 0, 2}));
    EXPECT_EQ(walked.get_record(0)->values.size(), 3u);  // earlier records grew with the columns
}

TEST_F(FileStorageFiles, BlockByBlockReadersRefuseWhatIsNotABlock) {
    Blocks b;
    b.header({"a"}).record(7, {1});
    std::string path = dir / "r.realtim";
    put(path, b.out.bytes + std::string("\x03\x02\x00"
                                        "ab",
                                        5));
    FileStorage t;
    lib::io::InputMappedFile in;
    in.open(path, false);
    bool mismatch = false;
    // Not a block: nothing is read.
    for (auto [type, size] : {std::pair{0, 5}, {6, 5}, {1, 0}, {2, -1}}) {
        EXPECT_FALSE(t.load_next_block(in, type, size, mismatch));
        EXPECT_EQ(in.get_pointer(), 0);
    }
    in.skip(lib::realtime::block_header_size);
    t.load_params(in);
    in.skip(lib::realtime::block_header_size);
    t.add_values(in, mismatch);  // the count from the record's head
    EXPECT_EQ(times(t), (std::vector<std::uint32_t>{7}));
    in.skip(lib::realtime::block_header_size);
    try {
        t.load_text_values(in, 2);
        FAIL();
    } catch (const FileStorageException& e) {
        EXPECT_EQ(e.what(), kDamagedText);
        EXPECT_FALSE(e.is_critical());
    }
    EXPECT_TRUE(in.eof());
    // A header of more columns than a table takes.
    std::string big = dir / "big.realtim";
    put(big, std::string("\xC8", 1));
    lib::io::InputMappedFile over;
    over.open(big, false);
    try {
        t.load_params(over);
        FAIL();
    } catch (const FileStorageException& e) {
        EXPECT_EQ(e.what(), kTooMany);
    }
    // A payload that runs past the end is the stream's error.
    lib::io::InputMappedFile cut;
    cut.open(path, false);
    cut.skip(lib::realtime::block_header_size);
    t.clear();
    t.load_params(cut);
    cut.skip(lib::realtime::block_header_size);
    EXPECT_THROW(t.add_values(cut, mismatch, 4000), std::exception);
}

TEST_F(FileStorageFiles, TheTripFileBesideADataFile) {
    // The trip name comes from the file name's first dot, not a folder's.
    std::filesystem::create_directory(dir / "w.1");
    put(dir / "w.1/0012.rac", rtl::utf8_to_cp1251("скважина=12\r\n"
                                                  "[начало_рейса]\r\n"
                                                  "глубина=100,5\r\n"
                                                  "время=90000\r\n"
                                                  "[окончание_рейса]\r\n"
                                                  "глубина=200\r\n"
                                                  "время=95000\r\n"
                                                  "площадь=\"Южная\"\r\n"));
    FileStorage t;
    t.load_text_values(dir / "w.1/0012.fast.realtim");
    const FileStorageTextValues& tv = t.text_values();
    EXPECT_EQ(tv.get_text("скважина"), "12");
    EXPECT_EQ(tv.get_text("глубина"), "100,5");  // the first line of a name counts
    EXPECT_EQ(tv.get_text("площадь"), "Южная");
    // The same file as INI: the trip's start and end.
    EXPECT_EQ(tv.get_text("нач_глубина"), "100,5");
    EXPECT_EQ(tv.get_text("нач_время"), "90000");
    EXPECT_EQ(tv.get_text("конеч_глубина"), "200");
    EXPECT_EQ(tv.get_text("конеч_время"), "95000");
    // A trip file without the end section removes an end read earlier.
    put(dir / "w.1/0012.rac", rtl::utf8_to_cp1251("[начало_рейса]\r\nглубина=1\r\n"));
    t.load_text_values(dir / "w.1/0012.realtim");
    EXPECT_EQ(tv.get_text("нач_глубина"), "1");
    EXPECT_EQ(tv.get_text("конеч_время"), "");
    FileStorage none;
    none.load_text_values(dir / "w.1/0013.realtim");  // no trip file
    none.load_text_values(dir / "w.1/0012");          // no dot in the file name
    EXPECT_EQ(none.text_values().count(), 0);
}

TEST_F(FileStorageFiles, AppendedTextAndTheNoLockingMarker) {
    std::string path = dir / "n.realtim";
    put(path, Blocks().header({"x"}).record(1, {1}).out.bytes);
    // Another program holds the file's whole-file lock.
    os::testing::Child child([&](os::testing::ChildSide& side) {
        os::File f;
        if (f.open(path, os::File::Mode::read, true) != os::File::Status::ok) return 1;
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    FileStorage t;
    try {
        t.add_file(path, false);
        ADD_FAILURE();
    } catch (const lib::io::FileError& e) {
        EXPECT_STREQ(e.what(), "Невозможно заблокировать файл!");
    }
    EXPECT_FALSE(FileStorage::nolocking_file_exists(path));
    put(dir / ".nolocking", "");
    EXPECT_TRUE(FileStorage::nolocking_file_exists(path));
    EXPECT_TRUE(t.add_file(path, false));
    EXPECT_EQ(t.get_data_size(), 1);
    child.release();
    EXPECT_EQ(child.join(), 0);

    FileStorageTextValues& tv = t.text_values();
    tv.set_text("конеч_время", "90100");
    t.append_text_values(path, tv);
    FileStorage back;
    back.add_file(path, false);
    EXPECT_EQ(back.text_values().get_text("конеч_время"), "90100");
    EXPECT_EQ(back.get_data_size(), 1);
}

}  // namespace

namespace {

// Everything a read leaves in a table, for comparing two reads.
void expect_same_table(const FileStorage& a, const FileStorage& b) {
    ASSERT_EQ(a.get_params_count(), b.get_params_count());
    for (int i = 0; i < a.get_params_count(); ++i) EXPECT_EQ(*a.get_param(i), *b.get_param(i));
    ASSERT_EQ(a.get_data_size(), b.get_data_size());
    for (int i = 0; i < a.get_data_size(); ++i) {
        const FileStorageRecord* x = a.get_record(i);
        const FileStorageRecord* y = b.get_record(i);
        ASSERT_TRUE(x->time.get_value() == y->time.get_value() && x->values == y->values && x->depth_z == y->depth_z &&
                    x->operation == y->operation)
            << "record " << i;
    }
    EXPECT_EQ(warnings(a), warnings(b));
    EXPECT_EQ(a.get_remarks().size(), b.get_remarks().size());
    EXPECT_EQ(a.text_values().get_full_text(), b.text_values().get_full_text());
}

}  // namespace

TEST_F(FileStorageFiles, ALargeFileReadInPiecesGivesWhatItsBytesGiveAtOnce) {
    // Some ten megabytes, read from the file in pieces while the bytes in
    // memory are read in one: damage of every kind, spread so that some of
    // it lies across wherever the pieces meet, must come out the same.
    std::vector<std::string> globals;
    for (int i = 0; i < 30; ++i) globals.push_back("p" + std::to_string(i));
    Blocks b;
    b.text("скважина=7\r\n").header(globals);
    std::vector<float> v(30);
    std::string& bytes = b.out.bytes;
    std::size_t next_damage = 50000;
    for (std::uint32_t t = 0; bytes.size() < (10u << 20); ++t) {
        for (int k = 0; k < 30; ++k) v[static_cast<std::size_t>(k)] = static_cast<float>(t) + 0.5f * k;
        if (t % 5000 == 4999) v[3] = 5e20f;  // a broken frame
        const std::size_t record_at = bytes.size();
        b.record(t, v, 0.01f * static_cast<float>(t));
        if (t == 20000) b.header({"p1", "new", "p0"}).record(t, {1, 2, 3}).header(globals);
        if (bytes.size() < next_damage) continue;
        switch ((next_damage / 50000) % 4) {
            case 0: bytes.push_back('\x09'); break;             // a stray byte
            case 1: bytes[record_at + 3 + 17] = '\x07'; break;  // a value count hit
            case 2: bytes += std::string(3000, '\x01'); break;  // headers of no sound block
            case 3: b.enc.write_remark(b.out, t, 1.0f, "Замечание"); break;
        }
        if (next_damage == 3 * 1000000) bytes += std::string(200000, '\x55');  // longer than any lookahead
        next_damage += 97 * 1024;
    }
    Sink last;
    b.enc.write_record(last, 1, 1.0f, 1.0f, 1.0f, 1, v.data(), v.size());
    bytes += last.bytes.substr(0, 100);  // a torn last block
    const std::string path = dir / "big.realtim";
    put(path, bytes);
    FileStorage from_file, from_bytes;
    from_file.add_file(path, false);
    from_bytes.add_blocks(bytes.data(), bytes.size(), false);
    EXPECT_GT(from_file.get_data_size(), 70000);
    EXPECT_EQ(from_file.get_params_count(), 31);
    EXPECT_EQ(warnings(from_file), (std::vector<std::string>{kResync, kTorn}));
    expect_same_table(from_file, from_bytes);
}

namespace {

// Every field of every record, for comparing two tables.
void expect_same_records(const FileStorage& a, const FileStorage& b) {
    ASSERT_EQ(a.get_data_size(), b.get_data_size());
    for (int i = 0; i < a.get_data_size(); ++i) {
        const FileStorageRecord *x = a.get_record(i), *y = b.get_record(i);
        ASSERT_EQ(x->time.get_value(), y->time.get_value()) << i;
        ASSERT_EQ(x->depth_z, y->depth_z) << i;
        ASSERT_EQ(x->depth_cur, y->depth_cur) << i;
        ASSERT_EQ(x->lag_depth, y->lag_depth) << i;
        ASSERT_EQ(x->operation, y->operation) << i;
        ASSERT_EQ(x->valid, y->valid) << i;
        // By their bits: a NaN is carried as it was written.
        ASSERT_EQ(x->values.size(), y->values.size()) << i;
        ASSERT_EQ(std::memcmp(x->values.data(), y->values.data(), 4 * x->values.size()), 0) << i;
    }
}

}  // namespace

// A file of several megabytes (many read-ahead pieces, a table block in huge
// pages, columns that grow and move the records made before) read through
// the block reader gives the records a table filled one record at a time
// with what the writer was given, and the two write the same bytes.
TEST_F(FileStorageFiles, AReadFileEqualsTheTableFilledRecordByRecord) {
    const std::vector<std::string> first = {"a", "b", "c"};
    const std::vector<std::string> second = {"c", "d", "a", "b"};  // reordered, one new
    Blocks blocks;
    std::vector<FileStorageItem> expected;
    auto item = [&](std::uint32_t t, float depth, const std::vector<float>& v) {
        FileStorageItem r;
        r.time = t;
        r.depth_z = depth;
        r.depth_cur = depth + 1;
        r.lag_depth = depth + 2;
        r.operation = 1;
        r.values = v;
        return r;
    };
    blocks.text("скважина=7\r\n").header(first);
    std::uint32_t t = T0;
    for (int i = 0; i < 60000; ++i, ++t) {
        std::vector<float> v = {std::sin(0.01f * i), -1.5f * i, 1e19f};
        if (i == 777) v[1] = -2e20f;  // a broken frame: the record keeps only its head
        if (i == 778) v[0] = std::nanf("");
        blocks.record(t, v, 0.5f * i);
        FileStorageItem r = item(t, 0.5f * i, v);
        if (i == 777) r.values = {0, 0, 0};
        r.values.push_back(0.0f);  // the column the second header adds
        expected.push_back(r);
    }
    std::vector<float> simple = {4.0f, 5.0f, 6.0f};
    blocks.enc.write_simple_values(blocks.out, t, simple.data(), simple.size());
    FileStorageItem s;
    s.time = t++;
    s.operation = 255;
    s.valid = false;
    s.values = {4.0f, 5.0f, 6.0f, 0.0f};
    expected.push_back(s);
    blocks.header(second);
    for (int i = 0; i < 60000; ++i, ++t) {
        std::vector<float> v = {1.0f * i, 2.0f, -3.0f, 0.25f * i};  // c, d, a, b
        blocks.record(t, v, 100.0f + i);
        expected.push_back(item(t, 100.0f + i, {-3.0f, 0.25f * i, 1.0f * i, 2.0f}));
    }
    ASSERT_GT(blocks.out.bytes.size(), 4u << 20);
    std::string path = dir / "0001.realtim";
    put(path, blocks.out.bytes);

    FileStorage read;
    read.add_file(path, false);
    EXPECT_TRUE(warnings(read).empty());

    FileStorage filled;
    for (const char* g : {"a", "b", "c", "d"})
        filled.add_parametr(FileStorageParam("Имя " + std::string(g), "к", "ед", g, 0.0f, 10.0f));
    for (const auto& r : expected) filled.add_record(r);
    filled.text_values().set_text("скважина", "7");
    expect_same_records(read, filled);
    read.save_with_new_format(dir / "read.realtim", -1);
    filled.save_with_new_format(dir / "filled.realtim", -1);
    EXPECT_EQ(get(dir / "read.realtim"), get(dir / "filled.realtim"));

    // The same bytes from memory, and read again into the block the table
    // keeps over clear(), give the same again.
    FileStorage from_memory;
    from_memory.add_blocks(blocks.out.bytes.data(), blocks.out.bytes.size(), false);
    expect_same_records(from_memory, filled);
    read.clear();
    read.add_file(path, false);
    expect_same_records(read, filled);
}

// A file large enough that the table backs its block on threads of its own
// while the records are written into it, with a header partway that adds a
// column and so moves the records while those threads run: every value
// arrives, in its column, in this read and in a second one into the same
// table.
TEST_F(FileStorageFiles, AFileReadWhileItsBlockIsBackedOnOtherThreadsKeepsEveryValue) {
    std::vector<std::string> globals;
    for (int k = 0; k < 40; ++k) globals.push_back("p" + std::to_string(k));
    constexpr std::uint32_t kEach = 150000;
    Blocks b;
    b.header(globals);
    std::vector<float> v(40);
    auto value = [](std::uint32_t t, int k) { return 0.25f * static_cast<float>(t) + static_cast<float>(k); };
    for (std::uint32_t t = 0; t < kEach; ++t) {
        for (int k = 0; k < 40; ++k) v[static_cast<std::size_t>(k)] = value(t, k);
        b.record(t, v);
    }
    std::vector<std::string> more = globals;
    more.insert(more.begin(), "new");
    b.header(more);
    v.resize(41);
    for (std::uint32_t t = kEach; t < 2 * kEach; ++t) {
        v[0] = -1.0f * static_cast<float>(t);
        for (int k = 0; k < 40; ++k) v[static_cast<std::size_t>(k) + 1] = value(t, k);
        b.record(t, v);
    }
    ASSERT_GT(b.out.bytes.size(), 48u << 20);
    const std::string path = dir / "0001.realtim";
    put(path, b.out.bytes);

    FileStorage table;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        table.add_file(path, false);
        EXPECT_TRUE(warnings(table).empty());
        ASSERT_EQ(table.get_data_size(), static_cast<int>((pass + 1) * 2 * kEach));
        ASSERT_EQ(table.get_params_count(), 41);
        for (int i = 0; i < table.get_data_size(); ++i) {
            const FileStorageRecord& r = *table.get_record(i);
            const std::uint32_t t = static_cast<std::uint32_t>(i) % (2 * kEach);
            ASSERT_EQ(r.time.get_value(), t) << i;
            ASSERT_EQ(r.values.size(), 41u) << i;
            for (int k = 0; k < 40; ++k) ASSERT_EQ(r.values[static_cast<std::size_t>(k)], value(t, k)) << i << " " << k;
            ASSERT_EQ(r.values[40], t < kEach ? 0.0f : -1.0f * static_cast<float>(t)) << i;
        }
    }
}
