#include "platform/os/file.h"

#include "platform/os/mapping.h"
#include "platform/os/testing.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {

using os::File;
using Mode = os::File::Mode;
using Status = os::File::Status;

// Share conflicts are tried a few times only, so failing cases stay short.
const os::RetryPolicy kQuick{3, std::chrono::milliseconds(5)};
// For a wait that another process ends: as long as a loaded machine keeps
// the holder from letting go.
const os::RetryPolicy kPatient{6000, std::chrono::milliseconds(10)};

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class OsFile : public ::testing::Test {
protected:
    os::ScopedRetryPolicy policy{kQuick};
    os::testing::TempDir dir;
};

TEST_F(OsFile, MissingFileOrFolderFailsAtOnceWithoutRetries) {
    // A pause this long would show if the open waited between tries, however
    // loaded the machine is.
    os::RetryPolicy slow{20, std::chrono::milliseconds(10000)};
    File f;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.open(dir / "missing.dat", Mode::read, false, slow), Status::not_found);
    EXPECT_EQ(f.open(dir / "no/such/folder.dat", Mode::write_truncate, false, slow), Status::not_found);
    EXPECT_EQ(f.open(dir / "missing.dat", Mode::read, true, slow), Status::not_found);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(9)) << "an open waited to try again";
    EXPECT_FALSE(f.is_open());
}

TEST_F(OsFile, OnlyRegularFilesOpenAndAFifoNeverBlocks) {
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    File f;
    EXPECT_EQ(f.open(dir / "fifo", Mode::read, false), Status::cannot_open);
    EXPECT_EQ(f.open(dir.path(), Mode::read, false), Status::cannot_open);
    EXPECT_EQ(f.last_error(), EISDIR);
}

TEST_F(OsFile, AWriterRefusesALinkPlantedUnderTheName) {
    put(dir / "outside.dat", "keep");
    std::filesystem::create_symlink(dir / "outside.dat", dir / "planted.dat");
    File f;
    for (Mode m : {Mode::write_truncate, Mode::write_append, Mode::read_write_truncate, Mode::read_write}) {
        EXPECT_EQ(f.open(dir / "planted.dat", m, false), Status::cannot_open);
        EXPECT_EQ(f.last_error(), ELOOP);
    }
    EXPECT_EQ(get(dir / "outside.dat"), "keep");
    // Reading through a link stays as it was.
    EXPECT_EQ(f.open(dir / "planted.dat", Mode::read, false), Status::ok);
}

TEST_F(OsFile, ModesCreateTruncateAndAppend) {
    std::string path = dir / "a.bin";
    File f;
    ASSERT_EQ(f.open(path, Mode::write_append, false), Status::ok);  // created
    ASSERT_TRUE(f.write("abc", 3));
    f.close();
    ASSERT_EQ(f.open(path, Mode::write_append, false), Status::ok);
    EXPECT_EQ(f.position(), 3);
    ASSERT_TRUE(f.write("de", 2));
    f.close();
    EXPECT_EQ(get(path), "abcde");

    ASSERT_EQ(f.open(path, Mode::read, false), Status::ok);
    char buf[8] = {};
    EXPECT_EQ(f.read(buf, sizeof buf), 5);  // a short read says how much it got
    EXPECT_EQ(std::string(buf, 5), "abcde");
    EXPECT_EQ(f.size(), 5);
    f.close();

    // Read and write in place: the content stays, and a writer holds it.
    ASSERT_EQ(f.open(path, Mode::read_write, false), Status::ok);
    EXPECT_EQ(f.position(), 0);
    ASSERT_TRUE(f.write("X", 1));
    File other;
    EXPECT_EQ(other.open(path, Mode::read, false), Status::cannot_open);
    f.close();
    EXPECT_EQ(get(path), "Xbcde");
    ASSERT_EQ(f.open(dir / "new.bin", Mode::read_write, false), Status::ok);  // created
    EXPECT_EQ(f.size(), 0);
    f.close();

    ASSERT_EQ(f.open(path, Mode::write_truncate, false), Status::ok);
    EXPECT_EQ(f.size(), 0);
    f.close();
    EXPECT_EQ(get(path), "");
}

TEST_F(OsFile, PathsWithBackslashesOpen) {
    ::mkdir((dir / "sub").c_str(), 0700);
    put(dir / "sub/x.txt", "x");
    File f;
    EXPECT_EQ(f.open(dir.path() + "\\sub\\x.txt", Mode::read, false), Status::ok);
}

TEST_F(OsFile, ShareRuleInsideOneProcess) {
    std::string path = dir / "s.bin";
    put(path, "data");
    File r1, r2, w;
    ASSERT_EQ(r1.open(path, Mode::read, false), Status::ok);
    EXPECT_EQ(r2.open(path, Mode::read, false), Status::ok);
    EXPECT_EQ(w.open(path, Mode::write_truncate, false), Status::cannot_open);
    EXPECT_EQ(get(path), "data");  // the refused writer did not empty it
    r1.close();
    r2.close();
    ASSERT_EQ(w.open(path, Mode::write_append, false), Status::ok);
    EXPECT_EQ(r1.open(path, Mode::read, false), Status::cannot_open);
    File w2;
    EXPECT_EQ(w2.open(path, Mode::write_append, false), Status::cannot_open);
}

TEST_F(OsFile, AWriterInAnotherProcessExcludesReadersAndWriters) {
    std::string path = dir / "w.bin";
    put(path, "data");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        File f;
        if (f.open(path, Mode::write_append, false) != Status::ok) return 1;
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    File f;
    EXPECT_EQ(f.open(path, Mode::read, false), Status::cannot_open);
    EXPECT_EQ(f.open(path, Mode::write_append, false), Status::cannot_open);
    EXPECT_EQ(f.open(path, Mode::write_truncate, true), Status::cannot_open);
    EXPECT_EQ(get(path), "data");
    child.release();
    EXPECT_EQ(child.join(), 0);
    EXPECT_EQ(f.open(path, Mode::read, false), Status::ok);
}

TEST_F(OsFile, ReadersInTwoProcessesShareAndKeepWritersOut) {
    std::string path = dir / "r.bin";
    put(path, "data");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        File f;
        if (f.open(path, Mode::read, false) != Status::ok) return 1;
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    File r, w;
    EXPECT_EQ(r.open(path, Mode::read, false), Status::ok);
    r.close();
    EXPECT_EQ(w.open(path, Mode::write_truncate, false), Status::cannot_open);
    EXPECT_EQ(get(path), "data");
    child.release();
    EXPECT_EQ(child.join(), 0);
    EXPECT_EQ(w.open(path, Mode::write_truncate, false), Status::ok);
}

TEST_F(OsFile, WholeFileLockIsSeparateFromTheShareRule) {
    std::string path = dir / "l.bin";
    put(path, "data");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        File f;
        if (f.open(path, Mode::read, true) != Status::ok) return 1;
        side.ready();
        side.wait_release();
        f.unlock();
        side.ready('u');
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    File f;
    // The other reader may open (the share rule allows it) but not lock.
    ASSERT_EQ(f.open(path, Mode::read, false), Status::ok);
    EXPECT_FALSE(f.lock());
    EXPECT_FALSE(f.locked());
    EXPECT_TRUE(f.is_open());  // a failed lock leaves the file open
    EXPECT_EQ(f.open(path, Mode::read, true), Status::cannot_lock);
    EXPECT_FALSE(f.is_open());  // a failed open leaves it closed
    child.release();
    ASSERT_EQ(child.wait_ready(), 'u');
    // Now the two readers take the lock in turn.
    EXPECT_EQ(f.open(path, Mode::read, true), Status::ok);
    EXPECT_TRUE(f.locked());
    child.release();
    EXPECT_EQ(child.join(), 0);
}

TEST_F(OsFile, WholeFileLockWaitsForItsHolder) {
    std::string path = dir / "wait.bin";
    put(path, "data");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        File f;
        if (f.open(path, Mode::read, true) != Status::ok) return 1;
        side.ready();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return 0;  // exiting drops the lock
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    File f;
    ASSERT_EQ(f.open(path, Mode::read, false), Status::ok);
    EXPECT_TRUE(f.lock(kPatient));
    EXPECT_EQ(child.join(), 0);
}

TEST_F(OsFile, AnOpenThatWaitedForARewriteHoldsTheNewFile) {
    // The holder rewrites the file the way the station does (a new file
    // renamed over the name) and only then lets the old one go.
    std::string path = dir / "re.bin";
    put(path, "old");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        File f;
        if (f.open(path, Mode::read, true) != Status::ok) return 1;
        side.ready();
        if (!side.wait_release()) return 2;
        put(path + ".new", "new");
        if (::rename((path + ".new").c_str(), path.c_str()) != 0) return 3;
        return 0;  // exiting drops the old file's lock
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        child.release();
    });
    // Two readers share the file, so this open gets past the share rule at
    // once and waits for the whole-file lock on the old file.
    File f;
    Status st = f.open(path, Mode::read, true, kPatient);
    releaser.join();
    ASSERT_EQ(st, Status::ok);
    EXPECT_EQ(child.join(), 0);
    char buf[8] = {};
    EXPECT_EQ(f.read(buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "new");
}

TEST_F(OsFile, AReplacementTakesThePlaceOfTheFileWholeOrNotAtAll) {
    std::string path = dir / "r.bin";
    put(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    {
        os::ReplacementFile r;
        ASSERT_TRUE(r.create(path));
        ASSERT_TRUE(r.write("new ", 4));
        EXPECT_EQ(get(path), "old");  // nothing shows before the commit
        // Not committed: the temporary file goes, the old one stays.
    }
    EXPECT_EQ(get(path), "old");
    os::ReplacementFile r;
    ASSERT_TRUE(r.create(path));
    std::string temp = r.temp_path();
    ASSERT_TRUE(r.write("new content", 11));
    ASSERT_TRUE(r.commit());
    EXPECT_EQ(get(path), "new content");
    EXPECT_EQ(r.size(), 11);
    File check;
    ASSERT_EQ(check.open(path, Mode::read, false), Status::ok);
    os::FILETIME written;
    ASSERT_TRUE(check.times(nullptr, nullptr, &written));
    EXPECT_EQ(written, r.written());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(::access(temp.c_str(), F_OK), 0);
    EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "r.bin");

    os::ReplacementFile missing;
    EXPECT_FALSE(missing.create(dir / "no/such/folder.bin"));
    EXPECT_EQ(missing.last_error(), ENOENT);
}

TEST_F(OsFile, AKilledHolderReleasesBothLocks) {
    std::string path = dir / "k.bin";
    put(path, "data");
    os::testing::Child child([&](os::testing::ChildSide& side) {
        File f;
        if (f.open(path, Mode::write_append, true) != Status::ok) return 1;
        side.ready();
        side.wait_release(20000);
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    File f;
    EXPECT_EQ(f.open(path, Mode::write_append, true), Status::cannot_open);
    child.kill_now();
    EXPECT_EQ(f.open(path, Mode::write_append, true), Status::ok);
    EXPECT_TRUE(f.locked());
}

TEST_F(OsFile, ALockOnlyOpenNeverEmptiesAHeldFile) {
    std::string path = dir / "t.bin";
    put(path, "keep me");
    File reader;
    ASSERT_EQ(reader.open(path, Mode::read, true), Status::ok);
    File writer;
    EXPECT_NE(writer.open(path, Mode::write_truncate, true), Status::ok);
    EXPECT_NE(writer.open(path, Mode::read_write_truncate, false), Status::ok);
    EXPECT_EQ(get(path), "keep me");
}

TEST_F(OsFile, TimesComeFromTheOpenFile) {
    std::string path = dir / "time.bin";
    put(path, "x");
    struct timespec ts[2] = {{1000000000, 500}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
    File f;
    ASSERT_EQ(f.open(path, Mode::read, false), Status::ok);
    os::FILETIME acc, wr;
    ASSERT_TRUE(f.times(nullptr, &acc, &wr));
    EXPECT_EQ(os::filetime_ticks(wr), (1234567890ULL + 11644473600ULL) * 10000000ULL + 1234567ULL);
    EXPECT_EQ(os::filetime_ticks(acc), (1000000000ULL + 11644473600ULL) * 10000000ULL + 5ULL);
}

TEST(OsFileTime, DosDateTimePacksLocalTime) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 2024-02-29 13:45:58 UTC
    EXPECT_EQ(os::dos_date_time(os::filetime_from_unix(1709214358, 0)),
              (44u << 25) | (2u << 21) | (29u << 16) | (13u << 11) | (45u << 5) | 29u);
    EXPECT_EQ(os::dos_date_time(os::filetime_from_unix(0, 0)), (1u << 21) | (1u << 16));
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST_F(OsFile, MappingSeesTheFileAndNeverMapsAnEmptyOne) {
    std::string path = dir / "m.bin";
    put(path, "");
    File f;
    ASSERT_EQ(f.open(path, Mode::read, false), Status::ok);
    os::Mapping m;
    EXPECT_FALSE(m.map(f, 0, false));
    EXPECT_FALSE(m.is_mapped());
    f.close();

    ASSERT_EQ(f.open(path, Mode::read_write_truncate, false), Status::ok);
    ASSERT_TRUE(f.truncate(6));
    EXPECT_FALSE(m.flush());  // nothing mapped
    ASSERT_TRUE(m.map(f, 6, true));
    std::memcpy(m.data(), "mapped", 6);
    EXPECT_TRUE(m.flush());
    EXPECT_EQ(get(path), "mapped");
    m.unmap();
    f.close();
    EXPECT_EQ(get(path), "mapped");
}

}  // namespace

TEST_F(OsFile, AppendsStayWholeOrAreCutBackWhenTheDiskStopsThem) {
    std::string path = dir / "log.txt";
    os::AppendOptions options;
    options.permissions = 0640;
    ASSERT_EQ(os::append_file(path, "one\n", options), 0);
    ASSERT_EQ(os::append_file(path, "two\n", options), 0);
    EXPECT_EQ(get(path), "one\ntwo\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0640u & ~mask);
    EXPECT_EQ(os::append_file(dir / "no/such/log.txt", "x"), ENOENT);

    // A file size limit makes the kernel take only part of a write, then
    // refuse the rest: the short write is retried and fails, and with
    // cut_back_partial the half record goes again.
    for (bool cut_back : {false, true}) {
        put(path, "0123456789");
        os::testing::Child child([&](os::testing::ChildSide&) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {
                16, 16
            };
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
            os::AppendOptions o;
            o.cut_back_partial = cut_back;
            return os::append_file(path, "a record that does not fit\n", o) == EFBIG ? 0 : 1;
        });
        EXPECT_EQ(child.join(), 0);
        EXPECT_EQ(get(path), cut_back ? "0123456789" : "0123456789a reco") << cut_back;
    }
}

TEST_F(OsFile, WholeFileReadsAndInfo) {
    std::string path = dir / "w.bin";
    put(path, std::string(100000, 'x') + "end");
    std::string bytes = "stale";
    os::FileInfo info;
    ASSERT_EQ(os::read_file(path, bytes, &info), 0);
    EXPECT_EQ(bytes, std::string(100000, 'x') + "end");
    EXPECT_TRUE(info.exists && info.is_regular);
    EXPECT_EQ(info.size, 100003);
    EXPECT_EQ(info.inode, os::file_info(path).inode);

    int err = -1;
    EXPECT_FALSE(os::file_info(dir / "none", &err).exists);
    EXPECT_EQ(err, 0);
    EXPECT_TRUE(os::file_info(dir.path()).is_directory);
    EXPECT_EQ(os::read_file(dir / "none", bytes), ENOENT);
    EXPECT_EQ(os::read_file(dir.path(), bytes), EISDIR);

    // Without the share rule a file a writer holds still reads.
    File writer;
    ASSERT_EQ(writer.open(path, Mode::read_write, false), Status::ok);
    EXPECT_EQ(os::read_file(path, bytes), 0);
}

TEST_F(OsFile, PositionedTransfersReservationAndExtraModes) {
    std::string path = dir / "p.bin";
    File f;
    EXPECT_EQ(f.open(path, Mode::read_write_existing, false), Status::not_found);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(f.open(path, Mode::read_write, false), Status::ok);
    ASSERT_TRUE(f.reserve(4096));
    EXPECT_EQ(f.size(), 4096);
    ASSERT_TRUE(f.write_at(100, "abc", 3));
    EXPECT_EQ(f.position(), 0);
    char buf[5] = {};
    EXPECT_EQ(f.read_at(99, buf, 5), 5);
    EXPECT_EQ(std::string(buf, 5), std::string("\0abc\0", 5));
    EXPECT_EQ(f.read_at(4094, buf, 5), 2);  // stops at the end only
    EXPECT_TRUE(f.sync());
    f.close();

    File again;
    os::OpenOptions plain;
    plain.share_rule = false;
    EXPECT_EQ(again.open(path, Mode::create_new, plain), Status::cannot_open);
    EXPECT_EQ(again.last_error(), EEXIST);
    std::string link = dir / "link";
    ASSERT_EQ(::symlink((dir / "absent").c_str(), link.c_str()), 0);
    EXPECT_EQ(again.open(link, Mode::create_new, plain), Status::cannot_open);
    EXPECT_FALSE(std::filesystem::exists(dir / "absent"));
}

TEST_F(OsFile, ReplacementThroughALinkKeepsTheLink) {
    std::string target = dir / "real.ini";
    std::string link = dir / "link.ini";
    put(target, "old");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    os::ReplacementFile r;
    ASSERT_TRUE(r.create(link, true));
    ASSERT_TRUE(r.write("new", 3));
    ASSERT_TRUE(r.commit());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(get(target), "new");

    EXPECT_EQ(os::replace_file(link, "plain"), 0);  // without: the link goes
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(get(link), "plain");
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(os::replace_file(dir / "no/such", "x"), ENOENT);
}

TEST_F(OsFile, AFolderLockHasOneHolder) {
    os::FolderLock first, second;
    ASSERT_TRUE(first.lock(dir.path()));
    EXPECT_FALSE(second.lock(dir.path()));
    EXPECT_EQ(second.last_error(), EWOULDBLOCK);
    first.unlock();
    EXPECT_TRUE(second.lock(dir.path()));
    EXPECT_FALSE(first.lock(dir / "none"));
    EXPECT_EQ(first.last_error(), ENOENT);
}
