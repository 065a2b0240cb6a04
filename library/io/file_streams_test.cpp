#include "library/io/file_streams.h"

#include "platform/os/error_log.h"
#include "platform/os/testing.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

using namespace lib::io;

const os::RetryPolicy kQuick{3, std::chrono::milliseconds(5)};

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The message a call throws, or "" when it throws nothing.
template <typename F>
std::string message_of(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

class FileStreams : public ::testing::Test {
protected:
    os::ScopedRetryPolicy policy{kQuick};
    os::testing::TempDir dir;
};

TEST_F(FileStreams, OpenFailuresCarryTheirMessagesAndTheFile) {
    OSFile f;
    std::string missing = dir / "missing.dat";
    EXPECT_EQ(message_of([&] { f.open(missing, ot_read, false); }), "Файл не найден!");
    EXPECT_EQ(message_of([&] { f.open(dir / "no/folder.dat", ot_append, true); }), "Файл не найден!");
    try {
        f.open(missing, ot_read, false);
    } catch (const FileError& e) {
        EXPECT_EQ(e.file_name(), missing);
        EXPECT_NE(e.details().find("missing.dat"), std::string::npos);
    }
    EXPECT_EQ(f.get_handle(), -1);
    EXPECT_EQ(message_of([&] { f.open(dir.path(), ot_read, false); }), "Невозможно открыть файл!");
    EXPECT_EQ(message_of([&] { f.open(dir / "x", static_cast<open_types>(7), false); }), "Невозможно открыть файл!");
}

TEST_F(FileStreams, AFileHeldByAnotherWriterFailsAfterTheTries) {
    std::string path = dir / "held.dat";
    put(path, "old");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        BinaryOutputFileStream out;
        out.open(path, true, true);
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    BinaryInputFileStream in;
    EXPECT_EQ(message_of([&] { in.open(path, false); }), "Невозможно открыть файл!");
    BinaryOutputFileStream out;
    EXPECT_EQ(message_of([&] { out.open(path, false, true); }), "Невозможно открыть файл!");
    EXPECT_EQ(get(path), "old");
    child.release();
    EXPECT_EQ(child.join(), 0);
    in.open(path, false);
}

TEST_F(FileStreams, WholeFileLockFailsWithItsMessageAndTruncatesNothing) {
    std::string path = dir / "locked.dat";
    put(path, "keep");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        OSFile f;
        f.open(path, ot_read, true);
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    OSFile f;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(message_of([&] { f.open(path, ot_read, true); }), "Невозможно заблокировать файл!");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2 * kQuick.pause);  // it waited between its tries
    EXPECT_EQ(f.get_handle(), -1);
    f.open(path, ot_read, false);
    EXPECT_EQ(message_of([&] { f.lock(); }), "Невозможно заблокировать файл!");
    EXPECT_NE(f.get_handle(), -1);  // a failed lock leaves the file open
    EXPECT_FALSE(f.is_locked());
    f.close();
    child.release();
    EXPECT_EQ(child.join(), 0);
    EXPECT_EQ(get(path), "keep");
}

TEST_F(FileStreams, AppendWritesAtTheEndAndWriteEmpties) {
    std::string path = dir / "a.dat";
    BinaryOutputFileStream out;
    out.open(path, true, false);  // created
    out << std::string("one");
    out.open(path, true, true);  // reopening flushes into the first file
    EXPECT_EQ(out.get_real_size(), 4);
    out.write_line("two");
    out.close();
    EXPECT_EQ(get(path), std::string("one\0two\r\n", 9));
    out.open(path, false, false);
    out << 7;
    out.close();
    EXPECT_EQ(get(path), std::string("\x07\0\0\0", 4));
}

TEST_F(FileStreams, BigWritesGoOutInChunksAndFlushBeforeSizeAndTime) {
    std::string path = dir / "big.dat";
    BinaryOutputFileStream out;
    out.open(path, false, false);
    std::string block(0x10000, 'x');
    out.write(block.data(), static_cast<unsigned>(block.size()));
    EXPECT_EQ(get(path).size(), 0u);  // still gathered
    out.write(block.data(), static_cast<unsigned>(block.size()));
    out.write("y", 1);  // past 128 KiB: written out
    EXPECT_EQ(get(path).size(), 0x20001u);
    out.write("z", 1);
    lib::FILETIME written;
    out.get_time(nullptr, nullptr, &written);
    EXPECT_NE(os::filetime_ticks(written), 0u);
    EXPECT_EQ(get(path).size(), 0x20002u);
}

TEST_F(FileStreams, WritingWhileClosedThrowsInsteadOfLosingData) {
    BinaryOutputFileStream out;
    EXPECT_EQ(message_of([&] { out << 1; }), "Попытка записи в файл с дескриптором 0xFFFFFFFF!");
    OSFile f;
    EXPECT_EQ(message_of([&] { f.write("a", 1); }), "Попытка записи в файл с дескриптором 0xFFFFFFFF!");
}

TEST_F(FileStreams, AFailedFlushIsThrownByCloseAndLoggedByTheDestructor) {
    // A file-size limit makes the writes fail; it is set in a child so the
    // test process keeps its own limits.
    std::string path = dir / "full.dat";
    os::testing::Child child([&](os::testing::ChildSide&) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            1000, 1000
        };
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
        std::string logged;
        os::set_error_sink([&](std::string_view m) { logged = std::string(m); });
        std::string block(5000, 'x');
        std::string thrown;
        {
            BinaryOutputFileStream out;
            out.open(path, false, false);
            out.write(block.data(), 5000);
            thrown = message_of([&] { out.close(); });
        }
        if (thrown != "Невозможно записать в файл!") return 11;
        {
            BinaryOutputFileStream out;
            out.open(path, false, false);
            out.write(block.data(), 5000);
        }  // must not throw
        if (logged.find("Невозможно записать в файл!") == std::string::npos) return 12;
        if (logged.find("full.dat") == std::string::npos) return 13;
        return 0;
    });
    EXPECT_EQ(child.join(), 0);
}

TEST_F(FileStreams, ShortReadsThrowAndKeepThePosition) {
    std::string path = dir / "short.dat";
    put(path, std::string("ab\0cd", 5));
    BinaryInputFileStream in;
    in.open(path, false);
    std::string s;
    in >> s;
    EXPECT_EQ(s, "ab");
    int i = 0;
    EXPECT_EQ(message_of([&] { in >> i; }), "OSFile::read: eof");
    EXPECT_EQ(in.get(), 'c');                   // the failed read gave its bytes back
    EXPECT_THROW(in >> s, std::runtime_error);  // no 0 before the end: no loop
}

TEST_F(FileStreams, PositionsAreChecked) {
    std::string path = dir / "pos.dat";
    put(path, "0123456789");
    BinaryInputFileStream in;
    in.open(path, false);
    EXPECT_EQ(in.set_pointer(-3, st_end), 7);
    EXPECT_EQ(in.get(), '7');
    EXPECT_EQ(in.set_pointer(-2, st_current), 6);
    EXPECT_THROW(in.set_pointer(-1, st_begin), std::range_error);
    EXPECT_THROW(in.set_pointer(11, st_begin), std::range_error);
    EXPECT_THROW(in.set_pointer(INT64_MAX, st_end), std::range_error);  // no overflow
    EXPECT_EQ(in.set_pointer(10, st_begin), 10);
    EXPECT_TRUE(in.eof());
    in.set_pointer(2, st_begin);
    EXPECT_THROW(in.skip(-3), std::range_error);
    in.skip(1000);
    EXPECT_TRUE(in.eof());
    in.skip(-1);
    EXPECT_EQ(in.get(), '9');

    InputMappedFile m;
    m.open(path, true);
    EXPECT_EQ(m.set_pointer(-1, st_end), 9);
    EXPECT_EQ(m.get(), '9');
    EXPECT_TRUE(m.eof());
    EXPECT_EQ(message_of([&] { m.get(); }), "InputMappedFile::read: eof");
    EXPECT_EQ(m.set_pointer(3, st_begin), 3);
    EXPECT_EQ(m.set_pointer(2, st_current), 5);
    EXPECT_EQ(m.get_pointer(), 5);
    EXPECT_THROW(m.set_pointer(-6, st_current), std::range_error);
    EXPECT_THROW(m.set_pointer(1, st_end), std::range_error);
    EXPECT_THROW(m.skip(-6), std::range_error);
    m.skip(0x7FFFFFFF);
    EXPECT_TRUE(m.eof());
    EXPECT_EQ(m.get_pointer(), 10);
    char buf[4];
    EXPECT_EQ(message_of([&] { m.read(buf, 1); }), "InputMappedFile::read: eof");
}

TEST_F(FileStreams, MappingAnEmptyOrMissingFileFailsAndLeavesItClosed) {
    std::string path = dir / "empty.dat";
    put(path, "");
    InputMappedFile m;
    EXPECT_EQ(message_of([&] { m.open(path, false); }), "InputMappedFile::open: (h_file_mapping == NULL)");
    EXPECT_EQ(message_of([&] { m.open(dir / "none", false); }), "Файл не найден!");
    // Closed again: a writer may have the file now.
    BinaryOutputFileStream out;
    out.open(path, false, true);
}

TEST_F(FileStreams, AMappedReaderKeepsWritersFromCuttingItsFile) {
    std::string path = dir / "mapped.dat";
    put(path, "0123456789");
    InputMappedFile m;
    m.open(path, false);
    os::testing::Child child([&](os::testing::ChildSide&) {
        BinaryOutputFileStream out;
        return message_of([&] { out.open(path, false, false); }) == "Невозможно открыть файл!" ? 0 : 1;
    });
    EXPECT_EQ(child.join(), 0);
    m.set_pointer(9, st_begin);
    EXPECT_EQ(m.get(), '9');
}

}  // namespace
