#include "platform/rtl/stream.h"

#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TempDir {
    os::testing::TempDir tmp;
    std::string path = tmp.path();
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        DIR* d = ::opendir(path.c_str());
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        ::closedir(d);
        return out;
    }
};

using os::testing::read_bytes;
using os::testing::write_bytes;

}  // namespace

TEST(RtlMemoryStream, ReadWriteSeekAndSize) {
    rtl::MemoryStream m;
    m.WriteBuffer("abcdef", 6);
    EXPECT_EQ(m.Size(), 6);
    EXPECT_EQ(m.Position(), 6);
    m.Seek(-4, rtl::SeekOrigin::soEnd);
    m.WriteBuffer("XY", 2);
    m.SetPosition(0);
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 8), 6u);  // short at the end
    EXPECT_EQ(std::string(buf, 6), "abXYef");
    EXPECT_EQ(m.Read(buf, 1), 0u);
    EXPECT_EQ(m.Remaining(), 0);
    EXPECT_THROW(m.Seek(-1, rtl::SeekOrigin::soBeginning), std::out_of_range);
    m.SetPosition(2);
    EXPECT_THROW(m.ReadBuffer(buf, 5), std::runtime_error);
    // Writing past the end fills the gap with zeros.
    m.SetPosition(8);
    m.WriteBuffer("Z", 1);
    EXPECT_EQ(std::string(m.bytes().begin(), m.bytes().end()), std::string("abXYef\0\0Z", 9));
}

TEST(RtlFileStream, LargeMixedTransfersMatchTheFile) {
    TempDir dir;
    std::string file = dir.path + "/data.bin";
    std::string expect;
    for (int i = 0; i < 300000; ++i) expect.push_back(static_cast<char>(i * 7 + i / 251));
    {
        rtl::FileStream f(file, rtl::FileStream::Mode::fmCreate);
        // Small writes that cross the buffer size, then one large one.
        for (std::size_t i = 0; i < 100000; i += 13)
            f.WriteBuffer(expect.data() + i, std::min<std::size_t>(13, 100000 - i));
        f.WriteBuffer(expect.data() + 100000, expect.size() - 100000);
        EXPECT_EQ(f.Size(), static_cast<std::int64_t>(expect.size()));
        // Overwrite in the middle, read back around it, then restore.
        f.SetPosition(70000);
        f.WriteBuffer("hello", 5);
        f.SetPosition(69998);
        char buf[9];
        f.ReadBuffer(buf, 9);
        EXPECT_EQ(std::string(buf, 9), expect.substr(69998, 2) + "hello" + expect.substr(70005, 2));
        f.SetPosition(70000);
        f.WriteBuffer(expect.data() + 70000, 5);
    }
    EXPECT_EQ(read_bytes(file), expect);

    rtl::FileStream r(file, rtl::FileStream::Mode::fmOpenRead);
    std::string got(expect.size(), '\0');
    std::size_t done = 0;
    for (std::size_t chunk : {1u, 100u, 70000u, 5u, 200000u})
        done += r.Read(got.data() + done, std::min(chunk, got.size() - done));
    while (done < got.size()) done += r.Read(got.data() + done, got.size() - done);
    EXPECT_EQ(got, expect);
    char c;
    EXPECT_EQ(r.Read(&c, 1), 0u);
    EXPECT_THROW(r.WriteBuffer("x", 1), std::runtime_error);  // read-only descriptor
}

TEST(RtlFileStream, OpenFailuresNameTheFile) {
    TempDir dir;
    std::string file = dir.path + "/missing.bin";
    try {
        rtl::FileStream f(file, rtl::FileStream::Mode::fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    // A FIFO or a device under the name is refused at once, never waited on.
    const std::string fifo = dir.path + "/fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& odd : {fifo, std::string("/dev/zero")}) {
        for (auto mode : {rtl::FileStream::Mode::fmOpenRead, rtl::FileStream::Mode::fmOpenReadWrite}) {
            try {
                rtl::FileStream f(odd, mode);
                ADD_FAILURE() << "opened " << odd;
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::string(e.what()).find(odd + "': not a regular file"), std::string::npos) << e.what();
            }
        }
    }
}

TEST(RtlFileStream, AtomicSaveReplacesWholeOrNotAtAll) {
    TempDir dir;
    std::string file = dir.path + "/sys.bin";
    write_bytes(file, "old contents");
    ::chmod(file.c_str(), 0640);

    {  // Abandoned: the target is untouched and no temporary file remains.
        rtl::FileStream f(file, rtl::FileStream::Mode::fmCreateAtomic);
        f.WriteBuffer("partial", 7);
        f.Flush();
        EXPECT_EQ(read_bytes(file), "old contents");
        EXPECT_EQ(dir.names().size(), 2u);
    }
    EXPECT_EQ(read_bytes(file), "old contents");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"sys.bin"});

    EXPECT_THROW(rtl::write_file_atomic(file,
                                        [](rtl::Stream& s) {
                                            s.WriteBuffer("half", 4);
                                            throw std::runtime_error("writer failed");
                                        }),
                 std::runtime_error);
    EXPECT_EQ(read_bytes(file), "old contents");
    EXPECT_EQ(dir.names().size(), 1u);

    rtl::write_file_atomic(file, [](rtl::Stream& s) { s.WriteBuffer("new", 3); });
    EXPECT_EQ(read_bytes(file), "new");
    EXPECT_EQ(dir.names().size(), 1u);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A missing folder fails at once, naming the target.
    try {
        rtl::write_file_atomic(dir.path + "/no/such", [](rtl::Stream&) {});
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/no/such"), std::string::npos) << e.what();
    }
}
