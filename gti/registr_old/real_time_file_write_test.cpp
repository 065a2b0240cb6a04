// The write thread against real files: what the data-file table reads back,
// when parameter headers are written, files held by others, readers in
// other processes, a writer killed mid-append, and a disk that refuses
// writes for a while.

#include "gti/registr_old/real_time_file.h"

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/real_time_file_testing.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/clock.h"
#include "platform/os/fault_plan.h"
#include "platform/os/testing.h"
#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using rt_testing::RecordingHub;
using rt_testing::ScriptedFrame;

const std::string kTorn = "Последний блок файла записан не полностью (запись была прервана), он пропущен";

// The value of parameter k in cycle c: exact as a float, unique per cycle.
float value_of(int c, int k) { return static_cast<float>(c * 64 + k) + 0.5f; }

std::vector<std::string> warnings_of(const FileStorage& t) {
    std::vector<std::string> w;
    t.get_warnings(w);
    return w;
}

// Drives a scripted frame through one cycle: values, depths, operation.
void script_cycle(ScriptedFrame& frame, int c) {
    for (int k = 0; k < frame.table.get_items_count(); ++k) frame.set(k, value_of(c, k));
    frame.z = 1000.0 + c * 0.25;
    frame.cur = 990.0 + c * 0.25;
    frame.lag = 900.0 + c * 0.125;
    frame.op = c % 7;
    frame.time = 1'000'000u + static_cast<std::uint32_t>(c);
}

// Records 0..n-1 of a file written with script_cycle and save_time_values;
// the count read, or -1 at the first record that is not exactly its cycle.
int check_time_records(const FileStorage& t, int params) {
    for (int i = 0; i < t.get_data_size(); ++i) {
        const FileStorageRecord* r = t.get_record(i);
        if (r->time.get_value() != 1'000'000u + static_cast<std::uint32_t>(i)) return -1;
        if (r->depth_z != static_cast<float>(1000.0 + i * 0.25) || r->operation != i % 7) return -1;
        if (static_cast<int>(r->values.size()) != params) return -1;
        for (int k = 0; k < params; ++k)
            if (r->values[static_cast<std::size_t>(k)] != value_of(i, k)) return -1;
    }
    return t.get_data_size();
}

class RealTimeWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        names = rt_testing::registry_names(kParams);
        for (const auto& n : names) frame.add(n);
        writer.calculate_file_names(dir / "w1_", 3);
    }

    void write_cycles(RealTimeFile& w, int from, int to) {
        for (int c = from; c < to; ++c) {
            script_cycle(frame, c);
            w.store_values_for_file();
            w.save_time_values();
        }
    }

    static constexpr int kParams = 16;
    os::testing::TempDir dir;
    std::vector<std::string> names;
    ScriptedFrame frame;
    RecordingHub hub;
    RealTimeFile writer{frame, &hub};
};

TEST_F(RealTimeWriteTest, ScriptedFramesReadBackExactlyFromAllFourFiles) {
    frame.by_depth = true;
    hub.trip.well = "77";
    hub.trip.race_number = 3;
    writer.start_save_thread();
    script_cycle(frame, 0);
    writer.save_start_values(false);
    constexpr int kCycles = 60;
    for (int c = 0; c < kCycles; ++c) {
        script_cycle(frame, c);
        writer.store_values_for_file();
        writer.save_time_values();
        writer.save_fast_file();
        writer.save_depth_values(static_cast<float>(500 + c), 0);
        // Each line is lifted out three cycles after it was drilled.
        writer.save_lag_depth_values("", c == 0 ? 0.0f : 500.0f / 3.0f);
    }
    const int released = kCycles - static_cast<int>(writer.lag_lines().size());
    writer.flash_lag_data();
    script_cycle(frame, kCycles);
    writer.save_end_values();
    writer.stop_save_thread();
    EXPECT_EQ(writer.get_queue_size(), 0);

    FileStorage time;
    time.add_file(writer.get_time_file_name(), false);
    EXPECT_TRUE(warnings_of(time).empty());
    EXPECT_EQ(check_time_records(time, kParams), kCycles);
    ASSERT_EQ(time.get_params_count(), kParams);
    for (int k = 0; k < kParams; ++k) {
        const Param& p = frame.table.at(k);
        EXPECT_EQ(*time.get_param(k),
                  FileStorageParam(p.name, p.short_name, p.units, p.global_name, p.min_value, p.max_value));
    }
    EXPECT_EQ(time.get_record(5)->depth_cur, static_cast<float>(990.0 + 5 * 0.25));
    EXPECT_EQ(time.get_record(5)->lag_depth, static_cast<float>(900.0 + 5 * 0.125));
    EXPECT_EQ(time.text_values().get_text("скважина"), "77");
    EXPECT_EQ(time.text_values().get_text("номер_рейса"), "3");
    EXPECT_EQ(time.text_values().get_text("нач_время"), "1000000");
    EXPECT_EQ(time.text_values().get_text("нач_глубина"), "1000");
    EXPECT_EQ(time.text_values().get_text("конеч_время"), "1000060");
    EXPECT_EQ(time.text_values().get_text("конеч_глубина"), "1015");

    FileStorage depth;
    depth.add_file(writer.get_depth_file_name(), false);
    EXPECT_TRUE(warnings_of(depth).empty());
    ASSERT_EQ(depth.get_data_size(), kCycles);
    for (int c = 0; c < kCycles; ++c) {
        const FileStorageRecord* r = depth.get_record(c);
        EXPECT_EQ(r->depth_z, static_cast<float>(500 + c));
        EXPECT_EQ(r->values[3], value_of(c, 3));
    }
    EXPECT_EQ(depth.text_values().get_text("конеч_время"), "1000060");

    // Every drilled line comes out exactly once, in order, with the values
    // it was drilled with; those still in transit at the end are flushed.
    FileStorage lag;
    lag.add_file(writer.get_lag_file_name(), false);
    EXPECT_TRUE(warnings_of(lag).empty());
    ASSERT_EQ(lag.get_data_size(), kCycles);
    EXPECT_GT(released, 40);
    for (int c = 0; c < kCycles; ++c) {
        const FileStorageRecord* r = lag.get_record(c);
        EXPECT_EQ(r->depth_z, static_cast<float>(500 + c));
        EXPECT_EQ(r->lag_depth, static_cast<float>(500 + c));
        EXPECT_EQ(r->values[7], value_of(c, 7)) << c;
        if (c >= released) {
            EXPECT_EQ(r->operation, 2);
        }
    }

    FileStorage fast;
    fast.add_file(writer.get_fast_file_name(), false);
    EXPECT_TRUE(warnings_of(fast).empty());
    ASSERT_EQ(fast.get_data_size(), kCycles);
    const rtl::StringList& fast_names = get_all_params().fast_params();
    ASSERT_EQ(fast.get_params_count(), fast_names.Count());
    for (int k = 0; k < fast_names.Count(); ++k) {
        const int b = frame.table.find_global(fast_names[k]);
        EXPECT_EQ(fast.get_record(9)->values[static_cast<std::size_t>(k)], b >= 0 ? value_of(9, b) : 0.0f);
    }
    EXPECT_TRUE(std::filesystem::exists(dir / ".nolocking"));
}

TEST(RealTimeFileOfTheFrame, RecordsTheFramesAveragesDepthsLagAndCycleOperation) {
    os::testing::TempDir dir;
    const auto names = rt_testing::registry_names(2);
    DataStorage frame;
    for (const auto& n : names) {
        Param p;
        p.global_name = n;
        p.averaging = 2;
        frame.get_par_tabl().add(p);
    }
    frame.set_depth_z(1500.5);
    frame.set_depth_cur(1400.25);
    frame.get_delayed_depth().clear();  // the lag starts at the bottom
    frame.set_operation(3);
    frame.set_forced_operation(9);  // the operator's: not what records carry
    for (double v : {10.0, 20.0}) {
        frame.current_values[0] = v;
        frame.current_values[1] = -v;
        frame.average_values.calculate_values(false);
    }
    RealTimeFile& writer = frame.get_real_time_file();
    writer.calculate_file_names(dir / "w_", 1);
    writer.store_values_for_file();
    writer.save_time_values();
    writer.start_save_thread();
    writer.stop_save_thread();
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    ASSERT_EQ(t.get_data_size(), 1);
    const FileStorageRecord* r = t.get_record(0);
    EXPECT_EQ(r->values, (FileStorageValues{15.0f, -15.0f}));
    EXPECT_EQ(r->depth_z, 1500.5f);
    EXPECT_EQ(r->depth_cur, 1400.25f);
    EXPECT_EQ(r->lag_depth, 1500.5f);
    EXPECT_EQ(r->operation, 3);
}

class HeaderRules : public RealTimeWriteTest {
protected:
    void SetUp() override {
        RealTimeWriteTest::SetUp();
        writer.start_save_thread();
    }
    void flush() { ASSERT_TRUE(writer.wait_until_written(60s)); }
    std::vector<int> types() { return rt_testing::block_types(writer.get_time_file_name()); }
};

TEST_F(HeaderRules, AHeaderComesRightBeforeTheFirstRecordAndAgainWhenTheListChanges) {
    writer.save_begin_race_data(writer.get_time_file_name(), true);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{3}));
    write_cycles(writer, 0, 1);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{3, 2, 1}));
    write_cycles(writer, 1, 2);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{3, 2, 1, 1}));
    // One parameter more.
    frame.add(rt_testing::registry_names(kParams + 1).back());
    write_cycles(writer, 2, 3);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{3, 2, 1, 1, 2, 1}));
    // The same parameters in another order.
    Param first = frame.table.at(0);
    frame.table.erase(0);
    frame.table.add(first);
    write_cycles(writer, 3, 4);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{3, 2, 1, 1, 2, 1, 2, 1}));
    // Another bound only: the readers join columns by name, no header.
    frame.table[0].max_value = 1e6f;
    write_cycles(writer, 4, 5);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{3, 2, 1, 1, 2, 1, 2, 1, 1}));
}

TEST_F(HeaderRules, AFileTouchedByAnotherProgramGetsAHeaderAgain) {
    write_cycles(writer, 0, 1);
    flush();
    FileStorageTextValues remark;
    remark.set_text("оператор", "Иванов");
    FileStorage other;
    other.append_text_values(writer.get_time_file_name(), remark);
    write_cycles(writer, 1, 2);
    flush();
    EXPECT_EQ(types(), (std::vector<int>{2, 1, 3, 2, 1}));
}

TEST_F(HeaderRules, AWriterStartingOnAFileWithDataWritesAHeaderFirst) {
    write_cycles(writer, 0, 2);
    flush();
    RealTimeFile next(frame, &hub);
    next.calculate_file_names(dir / "w1_", 3);
    next.start_save_thread();
    write_cycles(next, 2, 3);
    next.stop_save_thread();
    EXPECT_EQ(types(), (std::vector<int>{2, 1, 1, 2, 1}));
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(check_time_records(t, kParams), 3);
}

TEST_F(HeaderRules, TheMarkerIsMadeOnceAndAnExistingOneIsLeftAlone) {
    os::testing::TempDir other;
    {
        std::ofstream marker(other / ".nolocking");
        marker << "kept";
    }
    write_cycles(writer, 0, 1);
    writer.calculate_file_names(other / "w2_", 1);
    write_cycles(writer, 1, 2);
    flush();
    EXPECT_TRUE(std::filesystem::exists(dir / ".nolocking"));
    EXPECT_EQ(std::filesystem::file_size(dir / ".nolocking"), 0u);
    EXPECT_EQ(rt_testing::file_bytes(other / ".nolocking"), "kept");
}

// The station's clock for a writer that fails: each step of its retry pause
// waits until the test lets it go, and the clock moves by the step only
// then. The test so holds the writer between two failures, at a time of the
// clock it chooses.
class HeldClock : public os::ManualClock {
public:
    ~HeldClock() override { let_all_go(); }
    void sleep_ms(int ms) override {
        {
            std::unique_lock<std::mutex> hold(mutex_);
            const int step = ++started_;
            changed_.notify_all();
            changed_.wait(hold, [&] { return all_go_ || step <= let_go_; });
        }
        ManualClock::sleep_ms(ms);
    }
    // Lets the steps before the n-th go and waits until the writer is held
    // in the n-th (since the clock was made); false only for a hung test.
    bool hold_at(int n) {
        std::unique_lock<std::mutex> hold(mutex_);
        let_go_ = n - 1;
        changed_.notify_all();
        return changed_.wait_for(hold, 60s, [&] { return started_ >= n; });
    }
    void let_all_go() {
        std::lock_guard<std::mutex> hold(mutex_);
        all_go_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int started_ = 0;
    int let_go_ = 0;
    bool all_go_ = false;
};

// The writer's pauses: 10 ms, then twice as long each time, in steps of
// 10 ms. Held in its fourth step, the writer is in its third pause: it has
// failed three times.
constexpr int kThirdPause = 4;

// A held clock installed for the writer; at the end (an assertion's too) it
// lets the writer go and stops it before the clock goes.
struct HeldRetries {
    explicit HeldRetries(RealTimeFile& w) : writer(w) {}
    ~HeldRetries() {
        clock.let_all_go();
        writer.stop_save_thread();
    }
    HeldClock clock;
    os::ScopedClock use{clock};
    RealTimeFile& writer;
};

TEST_F(RealTimeWriteTest, AFileHeldElsewhereKeepsItsBatchesAndThoseBehindThemInOrder) {
    os::ScopedRetryPolicy policy{os::RetryPolicy{2, 5ms}};
    HeldRetries retries(writer);
    frame.by_depth = true;
    os::File holder;
    ASSERT_EQ(holder.open(writer.get_time_file_name(), os::File::Mode::write_append, false), os::File::Status::ok);
    writer.start_save_thread();
    for (int c = 0; c < 5; ++c) {
        script_cycle(frame, c);
        writer.store_values_for_file();
        writer.save_time_values();
        writer.save_depth_values(static_cast<float>(c), 0);
    }
    // The time file's batch is first; the depth file waits behind it, over
    // several retries.
    ASSERT_TRUE(retries.clock.hold_at(kThirdPause));
    EXPECT_EQ(writer.get_queue_size(), 10);
    EXPECT_FALSE(std::filesystem::exists(writer.get_depth_file_name()));
    EXPECT_EQ(hub.count("Ошибка записи данных"), 1) << "reported once, not at every retry";
    holder.close();
    retries.clock.let_all_go();
    ASSERT_TRUE(writer.wait_until_written(60s));
    EXPECT_EQ(hub.count("возобновлена"), 1);
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(check_time_records(t, kParams), 5);
    FileStorage d;
    d.add_file(writer.get_depth_file_name(), false);
    EXPECT_EQ(d.get_data_size(), 5);
}

TEST_F(RealTimeWriteTest, AFileThatGoesOnFailingIsReportedAgainOnceAMinuteOfTheStationsClock) {
    os::ScopedRetryPolicy policy{os::RetryPolicy{2, 5ms}};
    HeldRetries retries(writer);
    HeldClock& clock = retries.clock;
    os::File holder;
    ASSERT_EQ(holder.open(writer.get_time_file_name(), os::File::Mode::write_append, false), os::File::Status::ok);
    writer.start_save_thread();
    write_cycles(writer, 0, 3);
    const std::string report = "Ошибка записи данных";
    // The first failure, at 0 ms, is reported; the writer pauses 10 ms.
    ASSERT_TRUE(clock.hold_at(1));
    EXPECT_EQ(hub.count(report), 1);
    // The second fails just short of a minute after the report: not told.
    clock.advance(59'989);
    ASSERT_TRUE(clock.hold_at(2));
    EXPECT_EQ(clock.now_ms(), 59'999);
    EXPECT_EQ(hub.count(report), 1);
    // The third, after the second's 20 ms pause, is a minute on: told, with
    // the failures since the report.
    ASSERT_TRUE(clock.hold_at(kThirdPause));
    EXPECT_EQ(clock.now_ms(), 60'019);
    ASSERT_EQ(hub.count(report), 2);
    const std::vector<std::string> lines = hub.lines();
    const std::string& again = *std::find_if(lines.rbegin(), lines.rend(),
                                             [&](const std::string& l) { return l.find(report) != std::string::npos; });
    EXPECT_NE(again.find("(повторных неудачных попыток: 2); пакетов в очереди: 3"), std::string::npos) << again;
    holder.close();
    clock.let_all_go();
    ASSERT_TRUE(writer.wait_until_written(60s));
    EXPECT_EQ(hub.count("возобновлена"), 1);
    EXPECT_EQ(hub.count(report), 2);
}

TEST_F(RealTimeWriteTest, StopWritesWhatIsQueuedAndASecondStartChangesNothing) {
    writer.stop_save_thread();  // no thread: nothing happens
    EXPECT_FALSE(writer.is_save_thread_running());
    write_cycles(writer, 0, 40);
    EXPECT_EQ(writer.get_queue_size(), 40);
    writer.start_save_thread();
    writer.start_save_thread();
    EXPECT_TRUE(writer.is_save_thread_running());
    write_cycles(writer, 40, 50);
    writer.stop_save_thread();
    EXPECT_FALSE(writer.is_save_thread_running());
    EXPECT_EQ(writer.get_queue_size(), 0);
    FileStorage t;
    t.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(check_time_records(t, kParams), 50);
    // Restarted after a stop, it goes on.
    writer.start_save_thread();
    write_cycles(writer, 50, 51);
    writer.stop_save_thread();
    FileStorage again;
    again.add_file(writer.get_time_file_name(), false);
    EXPECT_EQ(check_time_records(again, kParams), 51);
}

TEST_F(RealTimeWriteTest, TheDestructorWritesWhatIsStillQueued) {
    std::string file;
    {
        RealTimeFile w(frame, &hub);
        w.calculate_file_names(dir / "w9_", 1);
        file = w.get_time_file_name();
        write_cycles(w, 0, 7);
        w.start_save_thread();
        write_cycles(w, 7, 12);
    }
    FileStorage t;
    t.add_file(file, false);
    EXPECT_EQ(check_time_records(t, kParams), 12);
}

// A pipe the child reports through, the parent reading what has come.
class ProgressPipe {
public:
    ProgressPipe() {
        if (::pipe(fds_) != 0) throw std::runtime_error("pipe");
        ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    }
    ~ProgressPipe() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void report(int n) { [[maybe_unused]] auto r = ::write(fds_[1], &n, sizeof n); }
    // The last number reported so far, or `last`.
    int latest(int last) {
        int n;
        while (::read(fds_[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n)) last = n;
        return last;
    }

private:
    int fds_[2];
};

TEST_F(RealTimeWriteTest, AReaderProcessBesideTheWriterSeesOnlyWholeRecords) {
    os::ScopedRetryPolicy policy{os::RetryPolicy{400, 2ms}};
    constexpr int kCycles = 1500;
    const std::string file = writer.get_time_file_name();
    // The reader tells each record count it has read; the writer pauses now
    // and then until the reader has seen its file part-way, so the reading
    // beside the writing is there however the two processes are scheduled.
    ProgressPipe seen;
    // The reader is forked before the writer's thread exists.
    os::testing::Child reader([&](os::testing::ChildSide& side) {
        side.ready();
        int last = 0, partial = 0;
        const auto deadline = std::chrono::steady_clock::now() + 180s;
        while (last < kCycles && std::chrono::steady_clock::now() < deadline) {
            FileStorage t;
            try {
                t.add_file(file, false);
            } catch (const std::exception&) {
                continue;  // not written yet
            }
            if (!warnings_of(t).empty()) return 2;
            const int n = check_time_records(t, kParams);
            if (n < last) return 3;
            partial += n > last && n < kCycles;
            if (n > last) seen.report(n);
            last = n;
        }
        if (last != kCycles) return 4;
        return partial >= 5 ? 0 : 5;
    });
    ASSERT_EQ(reader.wait_ready(), 'r');
    writer.start_save_thread();
    int reader_saw = 0;
    for (int c = 0; c < kCycles; ++c) {
        write_cycles(writer, c, c + 1);
        if (c % 2 == 0) std::this_thread::sleep_for(500us);
        if ((c + 1) % 250 == 0 && c + 1 < kCycles) {
            ASSERT_TRUE(writer.wait_until_written(60s));
            for (int waited = 0; reader_saw < c + 1 && waited < 60000; waited += 2) {
                std::this_thread::sleep_for(2ms);
                reader_saw = seen.latest(reader_saw);
            }
            ASSERT_GE(reader_saw, c + 1) << "the reader did not see the file part-way in 60 s";
        }
    }
    // Everything on file before the stop: a stop while the reader's lock
    // holds the writer off (a loaded machine reads slowly) would leave the
    // rest queued until the writer goes, after the reader gave up.
    ASSERT_TRUE(writer.wait_until_written(120s));
    writer.stop_save_thread();
    const int code = reader.join(240000);
    // 4: the reader never saw the whole file; how far it got says where.
    EXPECT_EQ(code, 0) << "the reader saw " << seen.latest(reader_saw) << " of " << kCycles
                       << " records; the file now holds " << [&] {
                              FileStorage t;
                              t.add_file(file, false);
                              return check_time_records(t, kParams);
                          }();
}

TEST_F(RealTimeWriteTest, AWriterKilledAnywhereLeavesEveryRecordItWrote) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 12; ++round) {
        const std::string file = dir / ("k" + std::to_string(round) + "_0001.realtim");
        ProgressPipe progress;
        os::testing::Child child([&](os::testing::ChildSide& side) {
            RecordingHub quiet;
            RealTimeFile w(frame, &quiet);
            w.calculate_file_names(dir / ("k" + std::to_string(round) + "_"), 1);
            w.start_save_thread();
            side.ready();
            for (int c = 0;; ++c) {
                script_cycle(frame, c);
                w.store_values_for_file();
                w.save_time_values();
                // Some cycles come in bursts, so batches are appended
                // several at a time.
                if (c % 16 == 0) {
                    progress.report(c + 1 - w.get_queue_size());
                    std::this_thread::sleep_for(std::chrono::microseconds(100 + c % 400));
                }
            }
            return 0;
        });
        ASSERT_EQ(child.wait_ready(), 'r');
        // The kill must come after the first record is on disk, however
        // slowly a loaded machine starts the writer.
        int reported = 0;
        for (int waited = 0; reported == 0 && waited < 60000; waited += 5) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            reported = progress.latest(0);
        }
        ASSERT_GT(reported, 0) << "round " << round << ": the writer wrote nothing in 60 s";
        std::this_thread::sleep_for(std::chrono::milliseconds(10 + random() % 150));
        reported = progress.latest(reported);
        child.kill_now();
        FileStorage t;
        t.add_file(file, false);
        const auto warnings = warnings_of(t);
        EXPECT_TRUE(warnings.empty() || warnings == std::vector<std::string>{kTorn}) << "round " << round;
        const int n = check_time_records(t, kParams);
        EXPECT_GE(n, reported) << "round " << round << ": records written before the kill were lost";
        EXPECT_GT(n, 0) << "round " << round;
    }
}

TEST_F(RealTimeWriteTest, ATornLastBlockIsCutBeforeTheNextAppend) {
    const std::string file = writer.get_time_file_name();
    writer.start_save_thread();
    write_cycles(writer, 0, 5);
    writer.stop_save_thread();
    const auto whole = std::filesystem::file_size(file);
    // A crash mid-append: a record's header and part of its payload.
    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        out.write(
            "\x01\x52\x00"
            "0123456789",
            13);
    }
    // The next run's writer cuts the torn bytes away before it appends, so a
    // reader that stops at the first bad block still sees every record.
    RecordingHub next_log;
    RealTimeFile next(frame, &next_log);
    next.calculate_file_names(dir / "w1_", 3);
    next.start_save_thread();
    write_cycles(next, 5, 10);
    next.stop_save_thread();
    EXPECT_EQ(next_log.count("отрезано 13 байт после позиции " + std::to_string(whole)), 1);

    std::string bytes = os::testing::read_bytes(file);
    lib::realtime::BlockScanner strict(bytes.data(), bytes.size());
    lib::realtime::Block b;
    int records = 0;
    while (strict.next(b)) records += b.type == 1;
    EXPECT_FALSE(strict.resynchronised());
    EXPECT_FALSE(strict.torn());
    EXPECT_EQ(records, 10);
    FileStorage t;
    t.add_file(file, false);
    EXPECT_TRUE(warnings_of(t).empty());
    EXPECT_EQ(check_time_records(t, kParams), 10);
}

// A disk that turns read-only under the recording (every write refused
// with EROFS, as by a mount remounted read-only after an error): the queue
// stays whole, the failure is told once, nothing reaches the file, and once
// the disk takes writes again everything is written in order.
TEST_F(RealTimeWriteTest, ADiskThatRefusesWritesKeepsTheQueueUntilItTakesThemAgain) {
    HeldRetries retries(writer);
    const std::string file = writer.get_time_file_name();
    writer.start_save_thread();
    write_cycles(writer, 0, 5);
    ASSERT_TRUE(writer.wait_until_written(60s));
    const auto size = std::filesystem::file_size(file);
    os::FaultPlan disk;
    os::ScopedFaultPlan installed(disk);
    disk.add(os::DiskFault{os::DiskOp::write, EROFS, 1, true, dir.path()});
    write_cycles(writer, 5, 10);
    ASSERT_TRUE(retries.clock.hold_at(kThirdPause));
    EXPECT_EQ(disk.failed(), 3);
    EXPECT_EQ(hub.count("Ошибка записи данных"), 1);
    EXPECT_EQ(writer.get_queue_size(), 5);
    EXPECT_EQ(std::filesystem::file_size(file), size);
    disk.clear();
    retries.clock.let_all_go();
    ASSERT_TRUE(writer.wait_until_written(60s));
    EXPECT_EQ(hub.count("возобновлена"), 1);
    FileStorage t;
    t.add_file(file, false);
    EXPECT_TRUE(warnings_of(t).empty());
    EXPECT_EQ(check_time_records(t, kParams), 10);
}

TEST_F(RealTimeWriteTest, AFullDiskCutsTheFailedAppendBackAndDrainsLater) {
    const std::string file = writer.get_time_file_name();
    os::testing::Child child([&](os::testing::ChildSide& side) {
        std::signal(SIGXFSZ, SIG_IGN);
        RecordingHub log;
        RealTimeFile w(frame, &log);
        HeldRetries retries(w);
        w.calculate_file_names(dir / "w1_", 3);
        w.start_save_thread();
        write_cycles(w, 0, 5);
        if (!w.wait_until_written(60s)) return 1;
        const auto size = std::filesystem::file_size(file);
        // Room for part of the next record only: the append fails half way.
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        rlimit small = limit;
        small.rlim_cur = size + 40;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
        write_cycles(w, 5, 12);
        // Each failed append is cut back before the pause after it.
        if (!retries.clock.hold_at(kThirdPause)) return 3;
        if (log.count("Ошибка записи данных") != 1) return 9;
        if (std::filesystem::file_size(file) != size) return 4;
        if (w.get_queue_size() == 0) return 5;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 6;
        retries.clock.let_all_go();
        if (!w.wait_until_written(60s)) return 7;
        if (log.count("возобновлена") != 1) return 8;
        side.ready();
        return 0;
    });
    EXPECT_EQ(child.wait_ready(30000), 'r');
    ASSERT_EQ(child.join(), 0);
    FileStorage t;
    t.add_file(file, false);
    EXPECT_TRUE(warnings_of(t).empty()) << "nothing half-written stays in the file";
    EXPECT_EQ(check_time_records(t, kParams), 12);
}

}  // namespace
