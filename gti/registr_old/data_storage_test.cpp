#include "gti/registr_old/data_storage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "gti/registr_old/par_tabl.h"
#include "library/mess_caller.h"
#include "library/serial/serial_list.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/ui/message_queue.h"

namespace {

constexpr int kWaitMs = 10000;

Param param(const char* name, int averaging = 1, int channel = -1) {
    Param p;
    p.global_name = name;
    p.averaging = averaging;
    p.channel = channel;
    return p;
}

}  // namespace

TEST(DataStorage, OutOfRangeAndUnknownNamesReachAZeroedSpare) {
    DataStorage ds;
    ds.get_par_tabl().add(param("вес_на_крюке"));
    ds.current_values[0] = 12.5;
    ds.crush_flags[0] = 1;
    for (int i : {-1, 512, 100000, std::numeric_limits<int>::min()}) {
        SCOPED_TRACE(i);
        ds[i] = 7;
        EXPECT_EQ(ds[i], 0.0);
        ds.current_values[i] = 7;
        EXPECT_EQ(ds.current_values[i], 0.0);
        ds.average_values[i] = 7;
        EXPECT_EQ(ds.average_values[i], 0.0);
        ds.crush_flags[i] = 7;
        EXPECT_EQ(ds.crush_flags[i], 0);
    }
    const AnsiString unknown = "нет_такого";
    ds[unknown.c_str()] = 3;
    EXPECT_EQ(ds[unknown.c_str()], 0.0);
    EXPECT_EQ(ds[unknown], 0.0);
    EXPECT_EQ(ds.current_values[unknown], 0.0);
    EXPECT_EQ(ds.current_values[unknown.c_str()], 0.0);
    EXPECT_EQ(ds.average_values[unknown], 0.0);
    EXPECT_EQ(ds.crush_flags[unknown], 0);
    EXPECT_EQ(ds[static_cast<const char*>(nullptr)], 0.0);
    // The parameters themselves were never touched.
    EXPECT_EQ(ds.current_values[0], 12.5);
    EXPECT_EQ(ds.crush_flags[0], 1);
    // Names are found trimmed and ignoring case.
    EXPECT_EQ(ds[" ВЕС_НА_КРЮКЕ "], 12.5);
    EXPECT_EQ(ds.crush_flags[AnsiString("Вес_на_крюке")], 1);
    ds.crush_flags.clear();
    EXPECT_EQ(ds.crush_flags[0], 0);
}

TEST(DataStorage, AveragesShowOnceTwoSamplesAreQueuedWithinTheWindow) {
    DataStorage ds;
    ParTabl& t = ds.get_par_tabl();
    t.add(param("пять", 5));
    t.add(param("ноль", 0));
    t.add(param("минус", -3));
    t.add(param("пять_тысяч", 5000));
    t.add(param("расчётный", 3, -2));

    ds.current_values[0] = 10;
    ds.current_values[4] = 99;
    EXPECT_EQ(ds[0], 10.0);  // nothing queued: the current value
    ds.average_values.calculate_values(false);
    ds.current_values[0] = 20;
    EXPECT_EQ(ds[0], 20.0);  // one sample: still the current value
    ds.average_values.calculate_values(false);
    EXPECT_EQ(ds[0], 15.0);  // two samples: their average
    ds.current_values[0] = 60;
    ds.average_values.calculate_values(false);
    EXPECT_EQ(ds[0], 30.0);
    EXPECT_EQ(ds.current_values[0], 60.0);
    for (double v : {1.0, 2.0, 3.0, 4.0}) {
        ds.current_values[0] = v;
        ds.average_values.calculate_values(false);
    }
    EXPECT_EQ(ds.average_values.sample_count(0), 5);
    EXPECT_EQ(ds[0], (60.0 + 1 + 2 + 3 + 4) / 5);  // the last five of seven

    for (int i : {1, 2}) {
        EXPECT_EQ(ds.average_values.sample_count(i), 1);
        ds.current_values[i] = 42;
        EXPECT_EQ(ds[i], 42.0);
    }
    // The computed half was left alone, and is done on its own.
    EXPECT_EQ(ds.average_values.sample_count(4), 0);
    ds.average_values.calculate_values(true);
    ds.average_values.calculate_values(true);
    EXPECT_EQ(ds.average_values.sample_count(4), 2);
    EXPECT_EQ(ds.average_values.sample_count(0), 5);
    EXPECT_EQ(ds[4], 99.0);

    for (int k = 0; k < 1200; ++k) {
        ds.current_values[3] = k;
        ds.average_values.calculate_values(false);
    }
    EXPECT_EQ(ds.average_values.sample_count(3), 1000);
    EXPECT_EQ(ds[3], (200.0 + 1199.0) / 2);
    // Positions past the table average as new parameters: one sample.
    EXPECT_EQ(ds.average_values.sample_count(300), 1);

    ds.average_values.clear();
    EXPECT_EQ(ds.average_values.sample_count(3), 0);
    EXPECT_EQ(ds[3], 1199.0);
}

TEST(DataStorage, AShorterWindowDropsTheOldestSamples) {
    DataStorage ds;
    ds.get_par_tabl().add(param("п", 10));
    for (int k = 1; k <= 10; ++k) {
        ds.current_values[0] = k;
        ds.average_values.calculate_values(false);
    }
    ds.get_par_tabl()[0].averaging = 3;
    ds.current_values[0] = 11;
    ds.average_values.calculate_values(false);
    EXPECT_EQ(ds.average_values.sample_count(0), 3);
    EXPECT_EQ(ds[0], 10.0);  // 9, 10, 11
}

TEST(DataStorage, RunningAveragesStayWithinABillionthOfAFreshSum) {
    // Values of wildly different sizes make a kept-up sum drift from the
    // window summed afresh; over many windows' worth of cycles the two must
    // stay within 1e-9 of each other. A window that shrinks and grows again,
    // and samples that are infinite or not a number, must leave no trace
    // once they have left the window.
    DataStorage ds;
    const int windows[] = {1, 2, 7, 64, 65, 333, 1000, 1000};
    for (int w : windows) ds.get_par_tabl().add(param(("п" + std::to_string(w)).c_str(), w));
    constexpr std::size_t kResized = 5, kOdd = 7;
    std::vector<std::deque<double>> reference(std::size(windows));
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-20, 20);
    const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (int cycle = 0; cycle < 6000; ++cycle) {
        if (cycle == 2500) ds.get_par_tabl()[static_cast<int>(kResized)].averaging = 20;
        if (cycle == 2600) ds.get_par_tabl()[static_cast<int>(kResized)].averaging = 333;
        for (std::size_t i = 0; i < std::size(windows); ++i) {
            double v = std::ldexp(mantissa(rng), exponent(rng));
            if (i == kOdd && cycle % 1500 == 700) v = odd[(cycle / 1500) % 3];
            ds.current_values[static_cast<int>(i)] = v;
            reference[i].push_back(v);
            const auto w = static_cast<std::size_t>(ds.get_par_tabl().at(static_cast<int>(i)).averaging);
            while (reference[i].size() > w) reference[i].pop_front();
        }
        ds.average_values.calculate_values(false);
        for (std::size_t i = 0; i < std::size(windows); ++i) {
            if (reference[i].size() < 2) continue;
            double sum = 0;
            for (double v : reference[i]) sum += v;
            const double expected = sum / static_cast<double>(reference[i].size());
            const double got = ds[static_cast<int>(i)];
            if (std::isnan(expected)) {
                ASSERT_TRUE(std::isnan(got)) << "window " << windows[i] << " cycle " << cycle;
            } else if (std::isinf(expected)) {
                ASSERT_EQ(got, expected) << "window " << windows[i] << " cycle " << cycle;
            } else {
                ASSERT_LE(std::fabs(got - expected), 1e-9 * std::fabs(expected))
                    << "window " << windows[i] << " cycle " << cycle << ": " << got << " vs " << expected;
            }
        }
    }
}

namespace {

struct DepthCase {
    const char* what;
    double z, cur;  // set first, in that order
    double new_z;   // then set_depth_z
    double expect_z, expect_cur;
};

}  // namespace

TEST(DataStorage, TheBitFollowsTheBottomOnlyWhileOnBottom) {
    const std::vector<DepthCase> cases = {
        {"on bottom, the bottom deepens", 100, 100, 101, 101, 101},
        {"off bottom, the bit stays", 100, 90, 101, 101, 90},
        {"a bottom above the bit lifts it", 100, 90, 80, 80, 80},
        {"within the on-bottom tolerance", 100, 100 - 0.000005, 105, 105, 105},
        {"just off the tolerance", 100, 100 - 0.00002, 105, 105, 100 - 0.00002},
        {"the deepest bottom", 0, 0, 15000, 15000, 15000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DataStorage ds;
        ds.set_depth_z(c.z);
        ds.set_depth_cur(c.cur);
        ds.set_depth_z(c.new_z);
        EXPECT_EQ(ds.get_depth_z(), c.expect_z);
        EXPECT_EQ(ds.get_depth_cur(), c.expect_cur);
    }
    DataStorage ds;
    ds.set_depth_z(100);
    ds.set_depth_cur(120);
    EXPECT_EQ(ds.get_depth_cur(), 100.0);
    ds.set_depth_cur(60);
    EXPECT_EQ(ds.get_depth_uz(), 40.0);
}

TEST(DataStorage, DepthsOutsideTheRangeOrNotFiniteAreRefused) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string bottom_msg = "Некорректное значение глубины забоя!\nРазрешённые значения - от 0 до 15000 метров.";
    const std::string bit_msg =
        "Некорректное значение глубины инструмента!\nРазрешённые значения - от 0 до 15000 метров.";
    for (double bad : {15000.001, -0.1, -1e-300, nan, inf, -inf}) {
        SCOPED_TRACE(bad);
        DataStorage ds;
        ds.set_depth_z(500);
        ds.set_depth_cur(400);
        for (int k = 0; k < 3; ++k) ds.tick();
        ASSERT_FALSE(ds.is_depth_changed());
        try {
            ds.set_depth_z(bad);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), bottom_msg);
        }
        try {
            ds.set_depth_cur(bad);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), bit_msg);
        }
        EXPECT_EQ(ds.get_depth_z(), 500.0);
        EXPECT_EQ(ds.get_depth_cur(), 400.0);
        EXPECT_FALSE(ds.is_depth_changed());
    }
}

TEST(DataStorage, ADepthChangeIsAPulseOfThreeTicks) {
    DataStorage ds;
    EXPECT_FALSE(ds.is_depth_changed());
    ds.tick();  // counting down from nothing stays at nothing
    EXPECT_FALSE(ds.is_depth_changed());
    for (int which = 0; which < 2; ++which) {
        if (which == 0)
            ds.set_depth_z(10);
        else
            ds.set_depth_cur(5);
        EXPECT_TRUE(ds.is_depth_changed());
        ds.tick();
        EXPECT_TRUE(ds.is_depth_changed());
        ds.tick();
        EXPECT_TRUE(ds.is_depth_changed());
        ds.tick();
        EXPECT_FALSE(ds.is_depth_changed());
    }
}

namespace {

// Sets the forced operation from another thread and collects what the
// signal delivers on this (the main) thread.
struct OperationWatch {
    std::vector<OperType> seen;
    std::atomic<int> off_main{0};

    explicit OperationWatch(DataStorage& ds) {
        ds.connect_operation([this](OperType op) {
            if (!ui::is_main_thread()) ++off_main;
            seen.push_back(op);
        });
    }
};

void drain() {
    while (ui::main_queue().process_messages() > 0) {}
}

}  // namespace

TEST(DataStorage, TheForcedOperationIsAnnouncedOnceOnTheMainThread) {
    for (bool hub_caller : {true, false}) {
        SCOPED_TRACE(hub_caller ? "through the hub's caller" : "straight to the main queue");
        drain();
        lib::MessCaller caller;
        DataStorage ds;
        if (hub_caller) ds.set_mess_caller(&caller);
        OperationWatch watch(ds);
        ds.set_operation(2);
        EXPECT_EQ(ds.get_operation(), 2);
        std::thread worker([&] {
            ds.set_forced_operation(5);
            ds.set_forced_operation(5);  // the same again: no second notice
        });
        worker.join();
        EXPECT_EQ(ds.get_forced_operation(), 5);  // stored at once
        EXPECT_EQ(ds.get_operation(), 5);
        EXPECT_TRUE(watch.seen.empty());  // the notice waits for the main thread
        ASSERT_TRUE(ui::main_queue().run_until([&] { return !watch.seen.empty(); }, kWaitMs));
        drain();
        EXPECT_EQ(watch.seen, std::vector<OperType>{5});
        EXPECT_EQ(watch.off_main, 0);

        ds.set_forced_operation(0);
        EXPECT_EQ(ds.get_operation(), 2);
        ASSERT_TRUE(ui::main_queue().run_until([&] { return watch.seen.size() == 2; }, kWaitMs));
        EXPECT_EQ(watch.seen.back(), 0);
    }
}

TEST(DataStorage, ANoticeQueuedForAFrameThatIsGoneIsDropped) {
    drain();
    int fired = 0;
    {
        DataStorage ds;
        ds.connect_operation([&](OperType) { ++fired; });
        ds.set_forced_operation(3);
    }
    drain();
    EXPECT_EQ(fired, 0);
}

TEST(DataStorage, StoreModesOfRatesAndMaximumGas) {
    DataStorage ds;
    ParTabl& t = ds.get_par_tabl();
    for (const char* n : {"вес_на_крюке", "скорость_механическая", "дмк", "дмк1", "максимальный_газ"}) t.add(param(n));
    ds.correct_store_modes();
    EXPECT_EQ(t[0].kind, 0);
    EXPECT_EQ(t[1].kind, 1);
    EXPECT_EQ(t[2].kind, 1);
    EXPECT_EQ(t[3].kind, 1);
    EXPECT_EQ(t[4].kind, 2);
    DataStorage empty;
    empty.correct_store_modes();  // nothing to find, nothing written
    EXPECT_EQ(empty.get_par_tabl().get_items_count(), 0);
}

namespace {

template <class Module>
lib::SerialInputBuffer written(Module& m, unsigned kind) {
    lib::SerialOutputBuffer out;
    m.get_serial_list(out, kind);
    lib::SerialInputBuffer in;
    in.copy_from(out);
    return in;
}

}  // namespace

TEST(DataStorage, ModuleStreamOfTheFrame) {
    DataStorage ds;
    std::string name;
    ds.get_serial_name(name);
    EXPECT_EQ(name, "DataStorage");
    ds.lag_moving = false;
    ds.depth_recording = true;
    ds.set_depth_z(1000.5);
    ds.set_depth_cur(999.25);
    ds.set_operation(7);
    ds.host_counter = -2;
    for (unsigned kind : {0u, 1u}) {
        lib::SerialInputBuffer in = written(ds, kind);
        const std::vector<unsigned char> expected = {0, 1,                                // lag_moving, depth_recording
                                                     0, 0, 0, 0, 0,    0x44, 0x8F, 0x40,  // 1000.5
                                                     0, 0, 0, 0, 0,    0x3A, 0x8F, 0x40,  // 999.25
                                                     7, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};  // operation, host counter
        EXPECT_EQ(std::vector<unsigned char>(in.bytes().begin(), in.bytes().end()), expected);
        DataStorage back;
        back.get_serial_list(in, kind);
        EXPECT_FALSE(back.lag_moving);
        EXPECT_TRUE(back.depth_recording);
        EXPECT_EQ(back.get_depth_z(), 1000.5);
        EXPECT_EQ(back.get_depth_cur(), 999.25);
        EXPECT_EQ(back.get_operation(), 7);
        EXPECT_EQ(back.host_counter, -2);
        EXPECT_FALSE(back.is_depth_changed());
    }

    // A stored bit below the bottom is shown as no height above it.
    lib::SerialOutputBuffer odd;
    bool f = true;
    double z = 50, cur = 80;
    std::int32_t op = 0, counter = 0;
    odd | f | f | z | cur | op | counter;
    lib::SerialInputBuffer in;
    in.copy_from(odd);
    DataStorage back;
    back.get_serial_list(in, 1);
    EXPECT_EQ(back.get_depth_uz(), 0.0);
}

TEST(DataStorage, ModuleStreamOfTheAverages) {
    DataStorage ds;
    ds.get_par_tabl().add(param("один", 1));
    ds.get_par_tabl().add(param("три", 3));
    std::string name;
    ds.average_values.get_serial_name(name);
    EXPECT_EQ(name, "AverageValues");
    for (double v : {3.0, 6.0, 9.0}) {
        ds.current_values[0] = v * 10;
        ds.current_values[1] = v;
        ds.average_values.calculate_values(false);
    }
    lib::SerialInputBuffer in = written(ds.average_values, 1);
    ASSERT_EQ(in.size(), 4096);
    double stored;
    std::memcpy(&stored, in.bytes().data() + 8, 8);
    EXPECT_EQ(stored, 6.0);

    DataStorage back;
    back.get_par_tabl().add(param("один", 1));
    back.get_par_tabl().add(param("три", 3));
    back.average_values.get_serial_list(in, 1);
    // With no samples queued the reader sees the current value, so that is
    // where the restored averages went.
    EXPECT_EQ(back[0], 90.0);
    EXPECT_EQ(back[1], 6.0);
    EXPECT_EQ(back.current_values[1], 6.0);

    // A block cut short changes nothing.
    lib::SerialOutputBuffer cut;
    char half[2048] = {};
    cut.process_binary(half, sizeof half);
    lib::SerialInputBuffer short_in;
    short_in.copy_from(cut);
    EXPECT_THROW(back.average_values.get_serial_list(short_in, 1), std::runtime_error);
    EXPECT_EQ(back[1], 6.0);
}

namespace {

std::string file_bytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(DataStorage, DepthsKeptInTheIniFile) {
    os::testing::TempDir dir;
    const std::string ini = dir / "registr.ini";
    {
        std::ofstream out(ini, std::ios::binary);
        out << "[other]\r\nkey=1\r\n";
    }
    DataStorage ds;
    ds.set_depth_z(1234.5);
    ds.set_depth_cur(1200.25);
    ds.save_conf(ini);
    EXPECT_EQ(file_bytes(ini), rtl::utf8_to_cp1251("[other]\r\nkey=1\r\n[рейс]\r\nглубина_забоя=1234,5\r\n"
                                                   "глубина_долота=1200,25\r\n"));

    DataStorage back;
    back.load_conf(ini);
    EXPECT_EQ(back.get_depth_z(), 1234.5);
    EXPECT_EQ(back.get_depth_cur(), 1200.25);
    EXPECT_FALSE(back.is_depth_changed());

    // Taken as the file says: a bit below the bottom is no height above it.
    {
        std::ofstream out(ini, std::ios::binary);
        out << rtl::utf8_to_cp1251("[Рейс]\r\nглубина_долота=90.5\r\nглубина_забоя=80\r\n");
    }
    back.load_conf(ini);
    EXPECT_EQ(back.get_depth_z(), 80.0);
    EXPECT_EQ(back.get_depth_cur(), 90.5);
    EXPECT_EQ(back.get_depth_uz(), 0.0);

    // Missing or unreadable keys keep the depths.
    {
        std::ofstream out(ini, std::ios::binary);
        out << rtl::utf8_to_cp1251("[рейс]\r\nглубина_забоя=много\r\n");
    }
    back.load_conf(ini);
    EXPECT_EQ(back.get_depth_z(), 80.0);
    EXPECT_EQ(back.get_depth_cur(), 90.5);
    back.load_conf(dir / "нет.ini");
    EXPECT_EQ(back.get_depth_z(), 80.0);

    // Depths no well has are refused, each named, and the present ones kept.
    for (const char* bad : {"1e30", "-1", "15000,5"}) {
        {
            std::ofstream out(ini, std::ios::binary);
            out << rtl::utf8_to_cp1251(std::string("[рейс]\r\nглубина_забоя=") + bad + "\r\nглубина_долота=" + bad +
                                       "\r\n");
        }
        const auto refused = back.load_conf(ini);
        ASSERT_EQ(refused.size(), 2u) << bad;
        EXPECT_NE(refused[0].find("глубина_забоя=" + std::string(bad)), std::string::npos) << refused[0];
        EXPECT_NE(refused[0].find(ini), std::string::npos) << refused[0];
        EXPECT_EQ(back.get_depth_z(), 80.0) << bad;
        EXPECT_EQ(back.get_depth_cur(), 90.5) << bad;
    }
}

TEST(DataStorage, StoredDepthsOutOfRangeAreNotTaken) {
    lib::SerialOutputBuffer bad;
    bool moving = false, recording = true;
    double z = 1e30, cur = -1;
    std::int32_t op = 7, counter = 3;
    bad | moving | recording | z | cur | op | counter;
    lib::SerialInputBuffer in;
    in.copy_from(bad);
    DataStorage back;
    back.set_depth_z(20);
    EXPECT_THROW(back.get_serial_list(in, 1), std::runtime_error);
    EXPECT_EQ(back.get_depth_z(), 20.0);
    EXPECT_EQ(back.get_depth_cur(), 20.0);
    EXPECT_EQ(back.host_counter, 3);
}

TEST(DataStorage, FileDataClearKeepsTheText) {
    DataStorage ds;
    ds.file_data.flag1 = ds.file_data.flag2 = true;
    ds.file_data.block1[5] = 9;
    ds.file_data.block2[59] = 9;
    ds.file_data.text = "слой";
    ds.file_data.clear();
    EXPECT_FALSE(ds.file_data.flag1 || ds.file_data.flag2);
    EXPECT_EQ(ds.file_data.block1[5], 0);
    EXPECT_EQ(ds.file_data.block2[59], 0);
    EXPECT_EQ(ds.file_data.text, "слой");
}

TEST(DataStorage, TwoThreadsReadingByNameAtOnceFindTheirValues) {
    // The host's main thread reads the frame by name outside the hub's lock
    // while plug-ins read it under the lock: both ask for names the frame
    // has not remembered yet, at the same time.
    constexpr int known = 30, unknown = 400;
    for (int round = 0; round < 100; ++round) {
        DataStorage ds;
        for (const char* prefix : {"main", "plug"})
            for (int i = 0; i < known; ++i) ds.get_par_tabl().add(param((prefix + std::to_string(i)).c_str()));
        for (int i = 0; i < 2 * known; ++i) ds.average_values[i] = i + 1;
        std::atomic<int> ready{0};
        int wrong[2] = {0, 0};
        auto reader = [&](int who) {
            const std::string prefix = who == 0 ? "main" : "plug";
            ++ready;
            while (ready < 2) {}
            for (int i = 0; i < unknown; ++i) {
                if (i < known && ds[prefix + std::to_string(i)] != who * known + i + 1) ++wrong[who];
                if (ds.number_of(prefix + "_none" + std::to_string(i)) != -1) ++wrong[who];
            }
        };
        std::thread a(reader, 0), b(reader, 1);
        a.join();
        b.join();
        ASSERT_EQ(wrong[0] + wrong[1], 0) << "round " << round;
    }
}
