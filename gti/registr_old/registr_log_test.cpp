#include "gti/registr_old/registr_log.h"

#include "library/lock_object.h"
#include "library/options/options.h"
#include "library/time_conv.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/ui/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include <csignal>
#include <sys/resource.h>

namespace {

using os::testing::read_bytes;
using os::testing::write_bytes;

void pump() {
    while (ui::main_queue().process_messages() > 0) {}
}

// Splits "<trip> <time> <text>" lines of the raw file.
struct RawLine {
    std::string race, time, text;
};
std::vector<RawLine> raw_lines(const std::string& bytes) {
    std::vector<RawLine> out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t eol = bytes.find('\n', pos);
        std::string line = bytes.substr(pos, eol - pos);
        pos = eol == std::string::npos ? bytes.size() : eol + 1;
        std::size_t a = line.find(' '), b = line.find(' ', a + 1);
        out.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return out;
}

TEST(RegistrLog, QueuedEventsReachTheFileOnTheMainThreadInOrder) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "logs");
    RegistrLogOld log([] { return 7; });
    log.set_file_name(dir.path(), "logs", "events.log");
    EXPECT_EQ(log.get_file_name(), dir.path() + "/logs/events.log");

    std::uint32_t before = lib::get_local_time();
    log.add("первое событие");
    log.add("");  // not written
    // From another thread, as the recording cycle and the plug-ins add them.
    std::thread([&] { log.add("текст \"в кавычках\"\nи \\ вторая строка"); }).join();
    EXPECT_FALSE(std::filesystem::exists(dir / "logs/events.log"));  // nothing before the message
    EXPECT_EQ(log.pending_count(), 3u);
    pump();
    std::uint32_t after = lib::get_local_time();
    EXPECT_EQ(log.pending_count(), 0u);

    std::string bytes = read_bytes(dir / "logs/events.log");
    auto lines = raw_lines(bytes);
    ASSERT_EQ(lines.size(), 2u) << bytes;
    EXPECT_EQ(lines[0].race, "7");
    EXPECT_EQ(lines[0].text, "\xEF\xE5\xF0\xE2\xEE\xE5 \xF1\xEE\xE1\xFB\xF2\xE8\xE5");  // Windows-1251
    EXPECT_EQ(lines[1].text, rtl::utf8_to_cp1251("текст \\\"в кавычках\\\"\\nи \\\\ вторая строка"));
    for (const auto& l : lines) {
        std::uint32_t t = static_cast<std::uint32_t>(std::stoul(l.time));
        EXPECT_GE(t, before);
        EXPECT_LE(t, after);
    }
    EXPECT_EQ(bytes.back(), '\n');
    EXPECT_EQ(bytes.find('\r'), std::string::npos);

    // The reload gives back the texts as they were added.
    auto entries = log.read_entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].text, "текст \"в кавычках\"\nи \\ вторая строка");
    EXPECT_EQ(entries[1].race, 7);

    // Messages of other numbers are not the log's.
    log.add("ещё");
    log.on_message(1125, 0, 0);
    EXPECT_EQ(log.pending_count(), 1u);
    log.clear();
    EXPECT_EQ(std::filesystem::file_size(dir / "logs/events.log"), 0u);
    pump();
    EXPECT_EQ(log.read_entries().size(), 1u);
}

TEST(RegistrLog, AFileThatCannotBeOpenedKeepsTheEventsForTheNextMessage) {
    os::testing::TempDir dir;
    RegistrLogOld log([] { return 2; });
    log.set_file_name(dir.path(), "missing", "events.log");
    log.add("a");
    pump();
    EXPECT_EQ(log.pending_count(), 1u);
    std::filesystem::create_directory(dir / "missing");
    log.add("b");
    pump();
    EXPECT_EQ(log.pending_count(), 0u);
    auto entries = log.read_entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, "a");
    EXPECT_EQ(entries[1].text, "b");
}

TEST(RegistrLog, ReadingBackAppliesTheFiltersAndSkipsForeignLines) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "p");
    write_bytes(dir / "p/log", "-1 100 " + rtl::utf8_to_cp1251("вне рейса") +
                                   "\n"
                                   "заголовок без номера\n"
                                   "3 0 time zero\n"
                                   "3 200 b \\\"q\\\"\r\n"
                                   "4 300 *c\n"
                                   "\n"
                                   "4 400 " +
                                   std::string(5000, 'x') + "\n");
    RegistrLogOld log;
    log.set_file_name(dir.path(), "p", "log");

    struct Case {
        std::uint32_t min_time;
        int race;
        std::vector<std::uint32_t> times;
    };
    for (const Case& c : {Case{0, -1, {100, 200, 300, 400}}, Case{200, -1, {200, 300, 400}}, Case{0, 3, {200}},
                          Case{250, 4, {300, 400}}, Case{0, 9, {}}}) {
        log.set_filter(c.min_time, c.race);
        std::vector<std::uint32_t> got;
        for (const auto& e : log.read_entries()) got.push_back(e.time);
        EXPECT_EQ(got, c.times) << c.min_time << " " << c.race;
    }
    log.set_filter(0, -1);
    auto all = log.read_entries();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].race, -1);
    EXPECT_EQ(all[0].race_text(), "");
    EXPECT_EQ(all[0].text, "вне рейса");
    EXPECT_EQ(all[1].race_text(), "3");
    EXPECT_EQ(all[1].text, "b \"q\"");
    EXPECT_EQ(all[3].text.size(), RegistrLogOld::max_text);

    std::int32_t colour = 0;
    EXPECT_TRUE(RegistrLogOld::event_colour(all[2].text, colour));
    EXPECT_EQ(colour, 0xFFFAEC);
    EXPECT_FALSE(RegistrLogOld::event_colour(all[1].text, colour));

    RegistrLogOld nowhere;
    nowhere.set_file_name(dir.path(), "none", "log");
    EXPECT_TRUE(nowhere.read_entries().empty());
}

TEST(RegistrLog, LiveRowsPassTheFilters) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "p");
    int race = 5;
    RegistrLogOld log([&] { return race; });
    log.set_file_name(dir.path(), "p", "log");
    std::vector<RegistrLogOld::Entry> rows;
    log.set_row_sink([&](const RegistrLogOld::Entry& e) { rows.push_back(e); });
    log.set_filter(0, 6);
    log.add("hidden");
    pump();
    race = 6;
    log.add("shown");
    pump();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "shown");
    EXPECT_EQ(rows[0].race, 6);
    log.set_filter(0, -1);
    EXPECT_EQ(log.read_entries().size(), 2u);  // both reached the file
}

// A host callback holds the hub lock and calls add() while the main thread
// is writing; the main thread reads the trip number under the hub lock. The
// log must never hold its own lock while it waits for the hub lock.
TEST(RegistrLog, ACallerHoldingTheHubLockIsNeverBlockedByTheWriter) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "p");
    lib::lock_object hub;
    RegistrLogOld* self = nullptr;
    bool callback_got_through = false;
    RegistrLogOld log([&] {
        // The moment the writer needs the hub lock, a host callback already
        // holds it and adds an event.
        auto added = std::make_shared<std::promise<void>>();
        auto done = added->get_future();
        std::thread callback([&hub, self, added] {
            lib::Locker hold(&hub);
            self->add("из обратного вызова");
            added->set_value();
        });
        callback_got_through = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        if (!callback_got_through) {
            // Blocked on the log's lock: let it finish once the writer is
            // done rather than hang the test.
            callback.detach();
            return 1;
        }
        callback.join();
        lib::Locker hold(&hub);
        return 1;
    });
    self = &log;
    log.set_file_name(dir.path(), "p", "log");
    log.add("первое");
    log.on_message(RegistrLogOld::message, 0, 0);
    EXPECT_TRUE(callback_got_through);
    pump();
    auto entries = log.read_entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].text, "из обратного вызова");
}

// The row sink is the host's grid, which may read the hub under the hub
// lock while a plug-in holding the hub lock is adding an event: the sink
// must run with the log's own lock released.
TEST(RegistrLog, TheRowSinkRunsWithoutTheLogsLock) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "p");
    RegistrLogOld log([] { return 1; });
    log.set_file_name(dir.path(), "p", "log");
    bool other_thread_got_in = false;
    std::thread late;
    log.set_row_sink([&](const RegistrLogOld::Entry&) {
        auto added = std::make_shared<std::promise<void>>();
        auto done = added->get_future();
        std::thread t([&log, added] {
            log.add("из другого потока");
            added->set_value();
        });
        other_thread_got_in = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        if (other_thread_got_in)
            t.join();
        else
            late = std::move(t);  // finishes once the writer lets go
    });
    log.add("первое");
    log.on_message(RegistrLogOld::message, 0, 0);
    if (late.joinable()) late.join();
    EXPECT_TRUE(other_thread_got_in);
}

// A write that stops part-way (a full disk) must not leave half a line that
// the next attempt would run its own lines into.
TEST(RegistrLog, AWriteThatStopsPartWayLeavesOnlyWholeLines) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "p");
    const std::string path = dir / "p/log";
    os::testing::Child child([&](os::testing::ChildSide&) {
        RegistrLogOld log([] { return 1; });
        log.set_file_name(dir.path(), "p", "log");
        log.add("first");
        log.on_message(RegistrLogOld::message, 0, 0);
        if (log.pending_count() != 0) return 1;
        const auto whole = std::filesystem::file_size(path);
        // Room for a few more bytes only: the next write stops part-way.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{static_cast<rlim_t>(whole + 5), static_cast<rlim_t>(whole + 5)};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 2;
        log.add(std::string(200, 'x'));
        log.on_message(RegistrLogOld::message, 0, 0);
        if (log.pending_count() != 1) return 3;  // kept for the next message
        if (std::filesystem::file_size(path) != whole) return 4;
        return 0;
    });
    EXPECT_EQ(child.join(), 0);
    auto bytes = read_bytes(dir / "p/log");
    EXPECT_EQ(bytes.back(), '\n');
}

class Opts : public lib::options_base {
public:
    void enum_values(lib::options_list& l) override {
        using namespace lib::options_detailed;
        l.sector("s1", "Насосы");
        l.add(new meta_class<double>(speed, 1, "speed", "Скорость", "м/с"));
        l.add(new meta_class<int>(hidden, 0, "hidden", "", nullptr));
        l.add(new meta_class<bool>(on, false, "on", "Включено"));
        l.sector("s2", "Общие <\">");
        l.add(new meta_class<std::string>(name, "", "name", "Имя"));
        if (extra) l.add(new meta_class<int>(hidden, 0, "extra", "Ещё", nullptr));
    }
    double speed = 1;
    int hidden = 0;
    bool on = false;
    std::string name = "a";
    bool extra = false;
};

TEST(RegistrLog, AComparisonLogsTheCaptionedChanges) {
    os::testing::TempDir dir;
    std::filesystem::create_directory(dir / "p");
    RegistrLogOld log;
    log.set_file_name(dir.path(), "p", "log");
    Opts was, now;
    now.hidden = 3;  // no caption: not logged
    log.add_comparsion("Настройки", was, now);
    EXPECT_EQ(log.pending_count(), 0u);

    now.speed = 2.5;
    now.on = true;
    now.name = "b";
    log.add_comparsion("Настройки", was, now);
    pump();
    std::vector<std::string> texts;
    for (const auto& e : log.read_entries()) texts.push_back(e.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Настройки", "... <Насосы> Скорость, м/с [1 -> 2,5]",
                                               "... <Насосы> Включено [0 -> 1]", "... <Общие <\\\">> Имя [a -> b]"}));

    now.extra = true;  // lists of different lengths: nothing
    log.add_comparsion("Другие", was, now);
    EXPECT_EQ(log.pending_count(), 0u);
    EXPECT_EQ(RegistrLogOld::get_bool_text(true), "<ДА>");
    EXPECT_EQ(RegistrLogOld::get_bool_text(false), "<НЕТ>");
}

}  // namespace
