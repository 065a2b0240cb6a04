#include "library/storage/file_storage.h"

#include "platform/os/named_lock.h"
#include "platform/os/testing.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

FileStorageItem item(std::uint32_t time, float depth_z = 0.0f) {
    FileStorageItem r;
    r.time = time;
    r.depth_z = depth_z;
    return r;
}

FileStorageParam param(const std::string& global) { return FileStorageParam(global, "", "", global, 0, 1); }

TEST(FileStorageTable, ANewRecordIsZeroedAndValid) {
    FileStorageItem r;
    EXPECT_EQ(r.time.get_value(), 0u);
    EXPECT_EQ(r.depth_z, 0.0f);
    EXPECT_EQ(r.depth_cur, 0.0f);
    EXPECT_EQ(r.lag_depth, 0.0f);
    EXPECT_EQ(r.operation, 0);
    EXPECT_EQ(r.file_number, 0);
    EXPECT_TRUE(r.valid);
    EXPECT_TRUE(r.values.empty());
    r.values = {5.0f};
    r.resize(3);
    EXPECT_EQ(r.values, (FileStorageValues{5.0f, 0.0f, 0.0f}));
    FileStorageParam p;
    EXPECT_EQ(p.lower_bound, 0.0f);
    EXPECT_EQ(p.upper_bound, 100.0f);
}

TEST(FileStorageTable, ColumnsJoinByGlobalNameIgnoringCaseUpTo128) {
    FileStorage t;
    EXPECT_EQ(t.add_parametr(param("вес_на_крюке")), 0);
    EXPECT_EQ(t.add_parametr(param("Вес_на_крюке")), 0);
    EXPECT_EQ(t.get_params_count(), 1);
    EXPECT_EQ(t.get_param_index("вес_на_крюке"), 0);
    EXPECT_EQ(t.get_param_index("Вес_на_крюке"), -1);  // exact here
    for (int i = 1; i < 128; ++i) EXPECT_EQ(t.add_parametr(param("p" + std::to_string(i))), i);
    for (const char* name : {"p129", "вес_на_крюке"}) {
        try {
            t.add_parametr(param(name));
            ADD_FAILURE() << name;
        } catch (const FileStorageException& e) {
            EXPECT_STREQ(e.what(), "слишком много параметров");
            EXPECT_FALSE(e.is_critical());
        }
    }
    EXPECT_EQ(t.get_param(-1), nullptr);
    EXPECT_EQ(t.get_param(128), nullptr);
    ASSERT_NE(t.get_param(127), nullptr);
    EXPECT_EQ(t.get_param(127)->global_name, "p127");
}

TEST(FileStorageTable, RecordsAreCopiedAndLookedUpByIndex) {
    FileStorage t;
    FileStorageItem r = item(5);
    r.values = {1.0f, 2.0f};
    t.add_record(r);
    r.values[0] = 9.0f;  // the table holds its own copy
    ASSERT_EQ(t.get_data_size(), 1);
    EXPECT_EQ(t.get_record(0)->values[0], 1.0f);
    EXPECT_EQ(t.get_record(1), nullptr);
    EXPECT_EQ(t.get_record(-1), nullptr);
    EXPECT_EQ(t.get_record_ptr(1), nullptr);
    t.get_record_ptr(0)->operation = 7;
    EXPECT_EQ(t.get_record(0)->operation, 7);
    t.clear();
    EXPECT_EQ(t.get_data_size(), 0);
    EXPECT_EQ(t.get_params_count(), 0);
}

TEST(FileStorageTable, CorrectDepthsKeepsTheDepthSeries) {
    struct Case {
        const char* what;
        std::vector<float> depths;
        std::vector<bool> valid_before;
        std::vector<bool> valid_after;
    };
    const std::vector<Case> cases = {
        {"fewer than four records change nothing", {12, 10, 11}, {true, false, true}, {true, false, true}},
        {"a later lower depth drops the higher",
         {10, 12, 11, 13},
         {false, false, false, false},
         {true, false, true, false}},
        {"no depth drops out in the middle, not at the start",
         {0, 5, 0, 7, 9},
         {false, true, true, true, true},
         {true, true, false, true, true}},
        {"a first record at 0 stays valid below later depths",
         {0, 1, 2, 3},
         {false, false, false, false},
         {true, true, true, false}},
    };
    for (const auto& c : cases) {
        FileStorage t;
        for (std::size_t i = 0; i < c.depths.size(); ++i) {
            FileStorageItem r = item(static_cast<std::uint32_t>(i), c.depths[i]);
            r.valid = c.valid_before[i];
            t.add_record(r);
        }
        t.correct_depths();
        for (std::size_t i = 0; i < c.depths.size(); ++i)
            EXPECT_EQ(t.get_record(static_cast<int>(i))->valid, c.valid_after[i]) << c.what << " #" << i;
    }
}

TEST(FileStorageTable, TimeStepIsTheMostFrequentSmallestDifference) {
    auto step = [](std::vector<std::uint32_t> times) {
        FileStorage t;
        for (auto time : times) t.add_record(item(time));
        return t.calc_time_step();
    };
    EXPECT_EQ(step({0, 5, 10, 12, 14}), 2);
    EXPECT_EQ(step({0, 10, 20, 25}), 10);
    EXPECT_EQ(step({100, 90, 80, 70}), -10);  // differences are signed
    EXPECT_EQ(step({7}), 0);
    EXPECT_EQ(step({}), 0);
}

TEST(FileStorageTable, EraseIsClampedAndSortIsByUnsignedTime) {
    FileStorage t;
    for (std::uint32_t i = 0; i < 10; ++i) t.add_record(item(i));
    t.erase_records(2, 5);
    ASSERT_EQ(t.get_data_size(), 7);
    std::vector<std::uint32_t> left;
    for (int i = 0; i < t.get_data_size(); ++i) left.push_back(t.get_record(i)->time.get_value());
    EXPECT_EQ(left, (std::vector<std::uint32_t>{0, 1, 5, 6, 7, 8, 9}));
    t.erase_records(-5, 2);
    EXPECT_EQ(t.get_data_size(), 5);
    t.erase_records(3, 100);
    EXPECT_EQ(t.get_data_size(), 3);
    t.erase_records(2, 1);
    EXPECT_EQ(t.get_data_size(), 3);

    FileStorage s;
    for (std::uint32_t time : {0xFFFFFFF0u, 3u, 0x80000000u, 1u}) s.add_record(item(time));
    s.sort_by_time();
    EXPECT_EQ(s.get_record(0)->time.get_value(), 1u);
    EXPECT_EQ(s.get_record(2)->time.get_value(), 0x80000000u);
    EXPECT_EQ(s.get_record(3)->time.get_value(), 0xFFFFFFF0u);
}

TEST(FileStorageTable, RecordsKeepTheirOwnValueCountsAndFileNumbersThroughEditsAndSorting) {
    FileStorage t;
    t.add_parametr(param("a"));
    t.add_parametr(param("b"));
    const std::vector<std::vector<float>> values = {{1}, {2, 3}, {4, 5, 6, 7}, {}};
    for (std::uint32_t i = 0; i < 4; ++i) {
        FileStorageItem r = item(40 - 10 * i);
        r.values = values[i];
        r.file_number = i == 2 ? 9 : 0;
        t.add_record(r);  // a wider record moves the others into a wider block
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(t.get_record(i)->values, values[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(t.get_file_number(2), 9);
    EXPECT_EQ(t.get_file_number(3), 0);
    EXPECT_EQ(t.get_file_number(4), 0);
    t.set_file_number(0, 5);
    t.sort_by_time();  // 10, 20, 30, 40: the reverse
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t.get_record(i)->time.get_value(), 10u + 10 * static_cast<unsigned>(i));
        EXPECT_EQ(t.get_record(i)->values, values[static_cast<std::size_t>(3 - i)]) << i;
    }
    EXPECT_EQ(t.get_file_number(1), 9);
    EXPECT_EQ(t.get_file_number(3), 5);
    t.erase_records(0, 2);
    EXPECT_EQ(t.get_record(0)->values, values[1]);
    EXPECT_EQ(t.get_file_number(1), 5);
    FileStorageItem copy = *t.get_record(1);
    EXPECT_EQ(copy.values, values[0]);
    copy.values.resize(300, 1.0f);
    t.add_record(copy);
    EXPECT_EQ(t.get_record(2)->values.size(), 300u);
    EXPECT_EQ(t.get_record(0)->values, values[1]);
    copy.values.resize(70000);
    EXPECT_THROW(t.add_record(copy), FileStorageException);
    EXPECT_EQ(t.get_data_size(), 3);
}

TEST(FileStorageTextValues, NameValueLinesWithQuotesAndUnsetValues) {
    EXPECT_EQ(FileStorageTextValues::check_inverted_commas("\""), "\"");
    EXPECT_EQ(FileStorageTextValues::check_inverted_commas("\"\""), "");
    EXPECT_EQ(FileStorageTextValues::check_inverted_commas("\"Южная\""), "Южная");
    EXPECT_EQ(FileStorageTextValues::check_inverted_commas("\"a"), "\"a");

    FileStorage t;
    FileStorageTextValues& tv = t.text_values();
    tv.set_text("площадь", "\"Южная\"");
    tv.set_text("скважина", "12");
    tv.set_text("СКВАЖИНА", "13");  // the same line, now spelt as given
    EXPECT_EQ(tv.get_full_text(), "площадь=\"Южная\"\r\nСКВАЖИНА=13\r\n");
    EXPECT_EQ(tv.get_text("площадь"), "Южная");
    EXPECT_EQ(tv.get_text("нет"), "");

    for (std::string given : {"", "  ", "::НЕ ЗАДАНО::"}) {
        std::string value = given;
        tv.get_text("скважина", value);
        EXPECT_EQ(value, "13") << given;
    }
    std::string mine = "14";
    tv.get_text("скважина", mine);
    EXPECT_EQ(mine, "14");

    std::string name, value;
    tv.get_text_by_index(0, name, value);
    EXPECT_EQ(name, "площадь");
    EXPECT_EQ(value, "Южная");

    rtl::StringList names{"stale"};
    tv.enum_names(&names);
    EXPECT_EQ(names, (rtl::StringList{"площадь", "СКВАЖИНА"}));

    tv.set_text("площадь", "");  // an empty value removes the line
    EXPECT_EQ(tv.count(), 1);
    t.clear();
    EXPECT_EQ(tv.count(), 0);
}

TEST(FileStorageTable, EveryTableHoldsTheDataFileLockSharedByAllProcesses) {
    FileStorage t;
    EXPECT_EQ(t.data_file_lock().kind(), lib::lock_object::named_mutex);
    t.data_file_lock().lock();
    os::testing::Child other([](os::testing::ChildSide& side) {
        os::NamedLock lock("reg_data_file_mutex");
        side.ready(lock.try_lock() ? 'y' : 'n');
        return 0;
    });
    EXPECT_EQ(other.wait_ready(), 'n');
    EXPECT_EQ(other.join(), 0);
    t.data_file_lock().unlock();
}

TEST(FileStorageTable, OldFixedRecordsOfValidRecords) {
    FileStorage t;
    for (const char* name : {"a", "b", "c"}) t.add_parametr(param(name));
    FileStorageItem r = item(90000, 1234.5f);
    r.depth_cur = 1230.75f;
    r.operation = 3;
    r.values = {1.5f, -2.25f, 100.0f};
    t.add_record(r);
    r.valid = false;
    t.add_record(r);

    class Sink : public lib::io::BinaryOutputStream {
    public:
        void write(const char* b, unsigned n) override { bytes.append(b, n); }
        std::string bytes;
    } out;
    t.old_save_values(out);
    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/library/storage/testdata/old_record.bin", std::ios::binary);
    EXPECT_EQ(out.bytes, std::string(std::istreambuf_iterator<char>(in), {}));
}

}  // namespace
