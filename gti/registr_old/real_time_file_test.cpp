// The host's side of the real-time writer: names, accumulation by store
// mode, records and their parameter lists, lag lines, trip texts, the
// module stream. What reaches the files is checked in
// real_time_file_write_test.cpp.

#include "gti/registr_old/real_time_file.h"

#include "gti/registr_old/real_time_file_testing.h"
#include "library/serial/serial_list.h"
#include "platform/os/testing.h"
#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>

namespace {

using rt_testing::RecordingHub;
using rt_testing::ScriptedFrame;

// What a file's signal delivered.
struct Seen {
    int params = 0;
    float value_depth = 0, bit_depth = 0, lag_depth = 0;
    char operation = 0;
    std::vector<float> values;
};

class RealTimeFileTest : public ::testing::Test {
protected:
    RealTimeFileTest() {
        writer.calculate_file_names(dir / "w1_", 1);
        for (auto* signal : {&writer.time_signal, &writer.depth_signal, &writer.lag_signal})
            RealTimeFile::connect(*signal, [this, signal](const ParamsProvider* p, float vd, float bd, float ld,
                                                          char op, std::vector<float>* values) {
                auto& out = signal == &writer.time_signal ? time : signal == &writer.depth_signal ? depth : lag;
                out.push_back(Seen{p ? p->size() : -1, vd, bd, ld, op, *values});
            });
    }

    os::testing::TempDir dir;
    ScriptedFrame frame;
    RecordingHub hub;
    RealTimeFile writer{frame, &hub};
    std::vector<Seen> time, depth, lag;
};

TEST_F(RealTimeFileTest, FileNamesFromThePrefixAndTheTripNumber) {
    struct Case {
        int number;
        const char* digits;
    } cases[] = {{7, "0007"}, {12, "0012"}, {12345, "12345"}, {0, "0000"}};
    for (const auto& c : cases) {
        writer.calculate_file_names("D:\\data\\w1_", c.number);
        const std::string base = std::string("D:\\data\\w1_") + c.digits;
        EXPECT_EQ(writer.get_time_file_name(), base + ".realtim");
        EXPECT_EQ(writer.get_depth_file_name(), base + ".realdep");
        EXPECT_EQ(writer.get_lag_file_name(), base + ".reallag");
        EXPECT_EQ(writer.get_fast_file_name(), base + ".fast.realtim");
        EXPECT_EQ(writer.get_used_file_name(), "D:\\data\\w1_.used");
    }
    writer.set_filenames_to_values();
    EXPECT_EQ(hub.variables["rtf.time_file_name"], "D:\\data\\w1_0000.realtim");
    EXPECT_EQ(hub.variables["rtf.depth_file_name"], "D:\\data\\w1_0000.realdep");
    EXPECT_EQ(hub.variables["rtf.lag_file_name"], "D:\\data\\w1_0000.reallag");
}

TEST_F(RealTimeFileTest, EachStoreModeGivesItsIntervalValue) {
    const auto names = rt_testing::registry_names(5);
    const int avg = frame.add(names[0], 0), last = frame.add(names[1], 1), max = frame.add(names[2], 2),
              neg = frame.add(names[3], 2);
    frame.add("не_зарегистрирован", 0);
    const int unknown = 4;
    const double samples[][4] = {{1, 10, 5, -3}, {2, 30, 9, -1}, {3, 20, 7, -2}};
    for (const auto& s : samples) {
        frame.set(avg, s[0]);
        frame.set(last, s[1]);
        frame.set(max, s[2]);
        frame.set(neg, s[3]);
        frame.set(unknown, 77);
        writer.store_values_for_file();
    }
    writer.save_time_values();
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0].values, (std::vector<float>{2, 20, 9, 0, 0}));
    // An interval without samples repeats the values last written.
    writer.save_time_values();
    ASSERT_EQ(time.size(), 2u);
    EXPECT_EQ(time[1].values, time[0].values);
    EXPECT_EQ(writer.get_queue_size(), 2);
}

TEST_F(RealTimeFileTest, MaximumComparesTheSumWithTheCurrentValue) {
    const auto names = rt_testing::registry_names(1);
    const int p = frame.add(names[0], 2);
    // The averaged sample replaces the sum while the sum is below the raw
    // current value.
    frame.average[p] = 4;
    frame.current[p] = 6;
    writer.store_values_for_file();
    frame.average[p] = 3;
    frame.current[p] = 3;
    writer.store_values_for_file();
    writer.save_time_values();
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0].values, std::vector<float>{4});
}

TEST_F(RealTimeFileTest, RecordsCarryTheFrameDepthsAndItsOperationByte) {
    const auto names = rt_testing::registry_names(1);
    frame.add(names[0]);
    frame.by_depth = true;
    frame.z = 1234.5;
    frame.cur = 1200.25;
    frame.lag = 1100.125;
    frame.op = 0x1207;  // truncated to one byte
    writer.store_values_for_file();
    writer.save_time_values();
    writer.save_depth_values(1234.0f, 0);
    ASSERT_EQ(time.size(), 1u);
    ASSERT_EQ(depth.size(), 1u);
    EXPECT_EQ(time[0].value_depth, 1234.5f);
    EXPECT_EQ(time[0].bit_depth, 1200.25f);
    EXPECT_EQ(time[0].lag_depth, 1100.125f);
    EXPECT_EQ(time[0].operation, 0x07);
    EXPECT_EQ(depth[0].value_depth, 1234.0f);
    EXPECT_EQ(depth[0].bit_depth, 1200.25f);
    EXPECT_EQ(depth[0].lag_depth, 1100.125f);
}

TEST_F(RealTimeFileTest, NoSaveBeforeTheFirstSampleQueuesAnything) {
    frame.add(rt_testing::registry_names(1)[0]);
    writer.save_time_values();
    writer.save_fast_file();
    writer.save_depth_values(10.0f, 0);
    EXPECT_EQ(writer.get_queue_size(), 0);
    EXPECT_TRUE(writer.lag_lines().empty());
    // Accumulating without depth recording leaves the depth file out.
    writer.store_values_for_file();
    writer.save_depth_values(10.0f, 0);
    EXPECT_EQ(writer.get_queue_size(), 0);
    EXPECT_TRUE(writer.lag_lines().empty());
    writer.save_time_values();
    writer.save_fast_file();
    EXPECT_EQ(writer.get_queue_size(), 2);
}

TEST_F(RealTimeFileTest, AParameterRegisteredLaterOrMissingFromTheStateReadsAsUnknown) {
    const auto names = rt_testing::registry_names(2);
    frame.add(names[0]);
    frame.set(0, 5);
    writer.store_values_for_file();
    // Registered after the last accumulation: beyond the accumulators.
    get_all_params().register_param("Поздний", "позд", "ед", "поздний_параметр_записи", -1, 1, 0, 0, 0, 0, 100, 0);
    frame.add("поздний_параметр_записи");
    frame.set(1, 9);
    writer.save_time_values();
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0].values, (std::vector<float>{5, 0}));

    // Accumulators of three entries from a state file, against a table whose
    // parameters are numbered far beyond them.
    lib::SerialOutputBuffer out;
    {
        std::vector<FileStoredValue> three(3);
        three[0].last = 1;
        std::vector<int> no_lines;
        out | three | three | three | three | no_lines;
    }
    lib::SerialInputBuffer in;
    in.copy_from(out);
    writer.get_serial_list(in, 1);
    ASSERT_EQ(writer.time_values().size(), 3u);
    writer.save_time_values();
    ASSERT_EQ(time.size(), 2u);
    // The first parameter's entry is among the three: its restored last
    // value; the late one's is not.
    EXPECT_EQ(time[1].values, (std::vector<float>{1, 0}));
}

TEST_F(RealTimeFileTest, LagLinesRiseWithTheLiftThenCountTheirDelay) {
    const auto names = rt_testing::registry_names(1);
    frame.add(names[0]);
    frame.by_depth = true;
    frame.set(0, 42);
    writer.store_values_for_file();
    writer.save_depth_values(100.0f, 2);
    ASSERT_EQ(writer.lag_lines().size(), 1u);
    const double lifts[] = {60, 20, -20, -20, -20};
    const int delays[] = {2, 2, 2, 1, 0};
    for (int call = 0; call < 5; ++call) {
        writer.save_lag_depth_values("", 40.0f);
        if (call < 4) {
            ASSERT_EQ(writer.lag_lines().size(), 1u) << "call " << call + 1;
            EXPECT_EQ(writer.lag_lines().front().lift, lifts[call]);
            EXPECT_EQ(writer.lag_lines().front().delay, delays[call]);
            EXPECT_TRUE(lag.empty());
        }
    }
    EXPECT_TRUE(writer.lag_lines().empty());
    ASSERT_EQ(lag.size(), 1u);
    EXPECT_EQ(lag[0].value_depth, 100.0f);
    EXPECT_EQ(lag[0].lag_depth, 100.0f);
    EXPECT_EQ(lag[0].values, std::vector<float>{42});
}

TEST_F(RealTimeFileTest, StandingMudReleasesOnlyLinesAlreadyOut) {
    frame.add(rt_testing::registry_names(1)[0]);
    frame.by_depth = true;
    frame.moving = false;
    writer.store_values_for_file();
    writer.save_depth_values(5.0f, 0);
    writer.save_depth_values(0.0f, 0);
    for (int i = 0; i < 3; ++i) writer.save_lag_depth_values("", 100.0f);
    EXPECT_EQ(writer.lag_lines().size(), 2u);
    EXPECT_TRUE(lag.empty());

    RealTimeFile second(frame, &hub);
    second.calculate_file_names(dir / "w2_", 1);
    second.store_values_for_file();
    second.save_depth_values(0.0f, 0);
    second.save_lag_depth_values("", 0.0f);
    EXPECT_TRUE(second.lag_lines().empty());
}

TEST_F(RealTimeFileTest, LinesDueTogetherComeOutOnSuccessiveCalls) {
    frame.add(rt_testing::registry_names(1)[0]);
    frame.by_depth = true;
    writer.store_values_for_file();
    writer.save_depth_values(10.0f, 0);
    writer.save_depth_values(10.5f, 0);
    writer.save_lag_depth_values("", 20.0f);
    ASSERT_EQ(lag.size(), 1u);
    EXPECT_EQ(lag[0].value_depth, 10.0f);
    writer.save_lag_depth_values("", 0.0f);
    ASSERT_EQ(lag.size(), 2u);
    EXPECT_EQ(lag[1].value_depth, 10.5f);
}

TEST_F(RealTimeFileTest, NamedParametersTakeTheLagAccumulationOthersTheStoredValue) {
    const auto names = rt_testing::registry_names(2);
    frame.add(names[0]);
    frame.add(names[1]);
    frame.by_depth = true;
    frame.set(0, 1);
    frame.set(1, 2);
    writer.store_values_for_file();
    writer.save_depth_values(50.0f, 0);
    // The gas arriving at the surface now, while the line comes out.
    frame.set(0, 100);
    frame.set(1, 200);
    writer.store_values_for_file();
    writer.save_lag_depth_values(names[1], 50.0f);
    ASSERT_EQ(lag.size(), 1u);
    // The named one: the mean of what the lag accumulators gathered since
    // the last lag record (2 and 200).
    EXPECT_EQ(lag[0].values, (std::vector<float>{1, 101}));
}

TEST_F(RealTimeFileTest, FlushWritesEveryLineAsOneBatchWithOperationTwo) {
    frame.add(rt_testing::registry_names(1)[0]);
    frame.by_depth = true;
    frame.op = 5;
    writer.store_values_for_file();
    for (float d : {1.0f, 2.0f, 3.0f}) writer.save_depth_values(d, 4);
    const int before = writer.get_queue_size();
    writer.flash_lag_data();
    EXPECT_TRUE(writer.lag_lines().empty());
    EXPECT_TRUE(lag.empty());  // no signal
    EXPECT_EQ(writer.get_queue_size(), before + 1);
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_lag_file_name(), false);
    ASSERT_EQ(t.get_data_size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.get_record(i)->operation, 2);
        EXPECT_EQ(t.get_record(i)->depth_z, static_cast<float>(i + 1));
        EXPECT_EQ(t.get_record(i)->lag_depth, static_cast<float>(i + 1));
    }
}

TEST_F(RealTimeFileTest, TheFastFileTakesTheRegistrysFastList) {
    const rtl::StringList& fast = get_all_params().fast_params();
    ASSERT_GT(fast.Count(), 0);
    for (int i = 0; i < fast.Count(); ++i) frame.add(fast[i]);
    for (int i = 0; i < fast.Count(); ++i) frame.set(i, 10 + i);
    writer.store_values_for_file();
    writer.save_fast_file();
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_fast_file_name(), false);
    ASSERT_EQ(t.get_params_count(), fast.Count());
    ASSERT_EQ(t.get_data_size(), 1);
    for (int i = 0; i < fast.Count(); ++i) {
        EXPECT_EQ(t.get_param(i)->global_name, fast[i]);
        EXPECT_EQ(t.get_record(0)->values[static_cast<std::size_t>(i)], static_cast<float>(10 + i));
    }
}

TEST_F(RealTimeFileTest, AnEmptyFastListGivesTheFiveFixedNames) {
    rtl::StringList& fast = get_all_params().fast_params();
    const rtl::StringList saved = fast;
    fast.Clear();
    writer.clear_all_file_values();
    frame.add("тальблок");
    frame.set(0, 12);
    writer.store_values_for_file();
    writer.save_fast_file();
    fast = saved;
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_fast_file_name(), false);
    ASSERT_EQ(t.get_params_count(), 5);
    const char* fixed[] = {"вес_на_крюке", "давление_на_входе", "момент_ротора", "нагрузка", "тальблок"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(t.get_param(i)->global_name, fixed[i]);
    ASSERT_EQ(t.get_data_size(), 1);
    EXPECT_EQ(t.get_record(0)->values, (FileStorageValues{0, 0, 0, 0, 12}));
}

TEST_F(RealTimeFileTest, ARecordKeepsTheParameterListItWasMadeWith) {
    const auto names = rt_testing::registry_names(3);
    frame.add(names[0]);
    frame.add(names[1]);
    writer.store_values_for_file();
    writer.save_time_values();
    // The host edits its table while the record waits in the queue.
    frame.table[0].global_name = names[2];
    frame.table.add(Param());
    frame.table[1].max_value = 555;
    writer.store_values_for_file();
    writer.save_time_values();
    writer.start_save_thread();
    writer.stop_save_thread();
    const auto types = rt_testing::block_types(writer.get_time_file_name());
    EXPECT_EQ(types, (std::vector<int>{2, 1, 2, 1}));
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    std::vector<std::string> warnings;
    t.get_warnings(warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(t.get_data_size(), 2);
}

TEST_F(RealTimeFileTest, AFileCarriesAtMost128ParametersWithOneWarning) {
    const auto names = rt_testing::registry_names(200);
    for (int i = 0; i < 200; ++i) {
        frame.add(names[static_cast<std::size_t>(i)]);
        frame.set(i, i);
    }
    for (int k = 0; k < 3; ++k) {
        writer.store_values_for_file();
        writer.save_time_values();
    }
    EXPECT_EQ(hub.count("слишком много параметров"), 1);
    ASSERT_EQ(time.size(), 3u);
    EXPECT_EQ(time[0].params, 128);
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    ASSERT_EQ(t.get_params_count(), 128);
    ASSERT_EQ(t.get_data_size(), 3);
    EXPECT_EQ(t.get_record(2)->values[127], 127.0f);
}

TEST_F(RealTimeFileTest, AHeaderThatWouldNotFitABlockCarriesFewerParameters) {
    const auto names = rt_testing::registry_names(100);
    for (int i = 0; i < 100; ++i) {
        const int n = frame.add(names[static_cast<std::size_t>(i)]);
        frame.table[n].name = std::string(150, 'x') + std::to_string(i);
        frame.table[n].short_name = std::string(150, 'y');
        frame.set(n, i);
    }
    writer.store_values_for_file();
    writer.save_time_values();
    ASSERT_EQ(time.size(), 1u);
    EXPECT_LT(time[0].params, 100);
    EXPECT_GT(time[0].params, 50);
    EXPECT_EQ(hub.count("слишком много параметров"), 1);
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(t.get_params_count(), time[0].params);
    ASSERT_EQ(t.get_data_size(), 1);
    EXPECT_EQ(t.get_record(0)->values.back(), static_cast<float>(time[0].params - 1));
}

TEST_F(RealTimeFileTest, ATextLineTooLongForABlockIsRefusedAndLogged) {
    rtl::StringList list;
    list.SetValue("примечание", std::string(40000, 'z'));
    writer.save_text_values(writer.get_time_file_name(), &list);
    EXPECT_EQ(writer.get_queue_size(), 0);
    EXPECT_EQ(hub.count("текст не записан"), 1);
}

TEST_F(RealTimeFileTest, TheTripHeaderListsTheWellAndTrip) {
    hub.trip.oil_field = "Самотлор";
    hub.trip.well = "1234";
    hub.trip.race_number = 7;
    hub.trip.well_diameter = 215.9;
    hub.trip.depth_step = 0.2;
    hub.trip.time_step = 5;
    hub.trip.pad = "12";
    frame.z = 2500.5;
    frame.time = 123456789;
    writer.calculate_file_names(dir / "w1_", 7);
    writer.save_begin_race_data(writer.get_time_file_name(), false);
    writer.save_begin_race_data(writer.get_depth_file_name(), true);
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(t.text_values().get_full_text(),
              "месторождение=Самотлор\r\nскважина=1234\r\nглубинный_файл=w1_0007.realdep\r\n"
              "временной_файл=w1_0007.realtim\r\nреальн_глубинный_файл=w1_0007.reallag\r\n"
              "номер_рейса=7\r\nдиаметр_скважины=215,9\r\nшаг_записи_по_глубине=0,2\r\n"
              "шаг_записи_по_времени=5\r\nкуст=12\r\nнач_глубина=2500,5\r\nнач_время=123456789\r\n");
    FileStorage d;
    d.add_file(writer.get_depth_file_name(), false);
    EXPECT_EQ(d.text_values().get_text("нач_глубина"), "");
    EXPECT_EQ(d.text_values().get_text("куст"), "12");
}

TEST_F(RealTimeFileTest, TheTripEndGoesOnlyToFilesThatExistOrAreOnTheirWay) {
    frame.add(rt_testing::registry_names(1)[0]);
    writer.store_values_for_file();
    writer.save_time_values();  // queued, not yet written
    frame.z = 3000;
    writer.save_end_values();
    EXPECT_EQ(writer.get_queue_size(), 2);
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(t.text_values().get_text("конеч_глубина"), "3000");
    EXPECT_FALSE(std::filesystem::exists(writer.get_depth_file_name()));
    EXPECT_FALSE(std::filesystem::exists(writer.get_lag_file_name()));
}

TEST_F(RealTimeFileTest, ASubscriberThatThrowsIsLoggedAndTheRecordStaysQueued) {
    frame.add(rt_testing::registry_names(1)[0]);
    frame.by_depth = true;
    RealTimeFile::connect(writer.time_signal, [](const ParamsProvider*, float, float, float, char,
                                                 std::vector<float>*) { throw std::runtime_error("сбой"); });
    RealTimeFile::connect(writer.depth_signal,
                          [](const ParamsProvider*, float, float, float, char, std::vector<float>*) { throw 1; });
    writer.store_values_for_file();
    writer.save_time_values();
    writer.save_depth_values(1.0f, 0);
    EXPECT_EQ(writer.get_queue_size(), 2);
    EXPECT_EQ(hub.count("Ошибка в on_save_time_data : сбой"), 1);
    EXPECT_EQ(hub.count("Ошибка в on_save_depth_data"), 1);
}

TEST_F(RealTimeFileTest, WithoutFileNamesNothingIsQueuedAndThatIsLoggedOnce) {
    RealTimeFile unnamed(frame, &hub);
    frame.add(rt_testing::registry_names(1)[0]);
    for (int i = 0; i < 3; ++i) {
        unnamed.store_values_for_file();
        unnamed.save_time_values();
        unnamed.save_fast_file();
    }
    EXPECT_EQ(unnamed.get_queue_size(), 0);
    EXPECT_EQ(hub.count("имена файлов не заданы"), 1);
}

TEST_F(RealTimeFileTest, TheFullModuleStreamCarriesAccumulatorsAndLagLines) {
    const auto names = rt_testing::registry_names(2);
    frame.add(names[0]);
    frame.add(names[1]);
    frame.by_depth = true;
    frame.set(0, 3);
    frame.set(1, 4);
    writer.store_values_for_file();
    writer.save_depth_values(20.0f, 1);
    writer.save_depth_values(21.0f, 2);
    writer.store_values_for_file();

    lib::SerialOutputBuffer brief;
    writer.get_serial_list(brief, 0);
    EXPECT_EQ(brief.size(), 0);
    lib::SerialOutputBuffer full;
    writer.get_serial_list(full, 1);

    RealTimeFile restored(frame, &hub);
    restored.calculate_file_names(dir / "w3_", 1);
    lib::SerialInputBuffer in;
    in.copy_from(full);
    restored.get_serial_list(in, 1);
    ASSERT_EQ(restored.lag_lines().size(), 2u);
    EXPECT_EQ(restored.lag_lines()[1].depth, 21.0);
    EXPECT_EQ(restored.lag_lines()[1].delay, 2);
    EXPECT_EQ(restored.lag_lines()[1].values, (std::vector<double>{3, 4}));
    EXPECT_EQ(restored.lag_lines()[0].params, restored.lag_lines()[1].params) << "one list shared";
    EXPECT_EQ(restored.lag_lines()[0].params->names(), (std::vector<std::string>{names[0], names[1]}));
    ASSERT_EQ(restored.time_values().size(), writer.time_values().size());
    const int n = get_all_params().get_param_number(std::string_view(names[0]));
    EXPECT_EQ(restored.time_values().find(n)->sum, 6.0L);
    EXPECT_EQ(restored.time_values().find(n)->count, 2);

    // A damaged stream leaves the writer as it was.
    lib::SerialInputBuffer cut;
    lib::SerialOutputBuffer half;
    half.process_binary(const_cast<char*>(full.bytes().data()), full.size() / 2);
    cut.copy_from(half);
    EXPECT_ANY_THROW(restored.get_serial_list(cut, 1));
    EXPECT_EQ(restored.lag_lines().size(), 2u);
}

}  // namespace
