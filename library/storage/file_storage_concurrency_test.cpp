// A reader beside a writer in another process: whatever moment the reader
// picks, it sees whole records only, in order, with their values exact.

#include "library/storage/file_storage.h"

#include "library/io/file_streams.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/testing.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

const std::string kTorn = "Последний блок файла записан не полностью (запись была прервана), он пропущен";
constexpr int kParams = 20;

FileStorageValues values_of(std::uint32_t i) {
    FileStorageValues v(kParams);
    for (int k = 0; k < kParams; ++k) v[static_cast<std::size_t>(k)] = static_cast<float>(i) * 100.0f + k;
    return v;
}

std::vector<FileStorageParam> params() {
    std::vector<FileStorageParam> ps;
    for (int k = 0; k < kParams; ++k) ps.emplace_back("p", "p", "u", "g" + std::to_string(k), 0, 1);
    return ps;
}

std::string record_block(std::uint32_t i) {
    class Sink : public lib::io::BinaryOutputStream {
    public:
        void write(const char* b, unsigned n) override { bytes.append(b, n); }
        std::string bytes;
    } out;
    lib::realtime::BlockEncoder enc;
    auto v = values_of(i);
    enc.write_record(out, i, static_cast<float>(i), 0, 0, 1, v.data(), v.size());
    return out.bytes;
}

void start_file(const std::string& path) {
    lib::io::BinaryOutputFileStream out;
    out.open(path, false, true);
    lib::realtime::BlockEncoder enc;
    enc.write_params(out, params());
}

// Reads the file once and checks that it holds records 0..n-1 exactly;
// returns n, or -1 after a failed check.
int read_and_check(const std::string& path, std::vector<std::string>& warnings) {
    FileStorage t;
    t.add_file(path, false);
    t.get_warnings(warnings);
    for (int i = 0; i < t.get_data_size(); ++i) {
        const FileStorageRecord* r = t.get_record(i);
        if (r->time.get_value() != static_cast<std::uint32_t>(i) ||
            r->values != values_of(static_cast<std::uint32_t>(i)) || r->depth_z != static_cast<float>(i))
            return -1;
    }
    return t.get_data_size();
}

// The reader's word to the writer: each record count it has read. The
// writer pauses now and then until the reader has seen its file part-way, so
// the two meet half way however the processes are scheduled.
class SeenPipe {
public:
    SeenPipe() {
        if (::pipe(fds_) != 0) throw std::runtime_error("pipe");
    }
    ~SeenPipe() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void tell(int n) { [[maybe_unused]] auto r = ::write(fds_[1], &n, sizeof n); }
    // In the writer: waits for a count of at least n (the bound only ends a
    // hung test).
    bool wait_for(int n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (seen_ < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                    .count();
            if (left <= 0) return false;
            pollfd p{fds_[0], POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            int v = 0;
            if (::read(fds_[0], &v, sizeof v) == static_cast<ssize_t>(sizeof v)) seen_ = std::max(seen_, v);
        }
        return true;
    }

private:
    int fds_[2];
    int seen_ = 0;
};

class FileStorageConcurrency : public ::testing::Test {
protected:
    // A reader waits for a writer that holds the file, and the other way round
    // (for as long as a loaded machine keeps the holder from letting go).
    os::ScopedRetryPolicy policy{os::RetryPolicy{12000, std::chrono::milliseconds(5)}};
    os::testing::TempDir dir;
};

TEST_F(FileStorageConcurrency, AReaderBesideTheStationsWriterSeesWholeRecords) {
    const std::string path = dir / "0001.realtim";
    start_file(path);
    constexpr std::uint32_t kRecords = 3000;
    SeenPipe seen;
    os::testing::Child writer([&](os::testing::ChildSide& side) {
        lib::realtime::BlockEncoder enc;
        side.ready();
        std::uint32_t next_pause = 250;
        for (std::uint32_t i = 0; i < kRecords;) {
            // Batches of a few records, each batch one open, as the hub's
            // write thread appends.
            lib::io::BinaryOutputFileStream out;
            out.open(path, true, true);
            for (int k = 0; k < 7 && i < kRecords; ++k, ++i) {
                auto v = values_of(i);
                enc.write_record(out, i, static_cast<float>(i), 0, 0, 1, v.data(), v.size());
            }
            out.close();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (i >= next_pause && i < kRecords) {
                if (!seen.wait_for(static_cast<int>(i))) return 1;
                next_pause += 250;
            }
        }
        return 0;
    });
    ASSERT_EQ(writer.wait_ready(), 'r');
    int last = 0, reads = 0, partial = 0;
    while (last < static_cast<int>(kRecords) && reads < 20000) {
        std::vector<std::string> warnings;
        int n = read_and_check(path, warnings);
        ASSERT_GE(n, last) << "records lost or damaged after " << last;
        EXPECT_TRUE(warnings.empty());
        partial += n > last && n < static_cast<int>(kRecords);
        if (n > last) seen.tell(n);
        last = n;
        ++reads;
    }
    EXPECT_GT(partial, 10) << "the reader never met the writer half way";
    EXPECT_EQ(writer.join(), 0);
    std::vector<std::string> warnings;
    EXPECT_EQ(read_and_check(path, warnings), static_cast<int>(kRecords));
}

TEST_F(FileStorageConcurrency, ABlockCutShortIsNeverTakenAsData) {
    // A writer that keeps no share rule and writes each block in pieces, as
    // a program killed in the middle of an append leaves it.
    const std::string path = dir / "0002.realtim";
    start_file(path);
    constexpr std::uint32_t kHandshakes = 5, kRecords = 1500;
    SeenPipe seen;
    os::testing::Child writer([&](os::testing::ChildSide& side) {
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        if (fd < 0) return 1;
        auto put = [fd](const char* p, std::size_t n) { return ::write(fd, p, n) == static_cast<ssize_t>(n); };
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            std::string block = record_block(i);
            std::size_t cut = 1 + (i * 37) % (block.size() - 1);
            if (!put(block.data(), cut)) return 2;
            if (i < kHandshakes) {
                side.ready();  // the file now ends in half a block
                if (!side.wait_release()) return 3;
            }
            if (!put(block.data() + cut, block.size() - cut)) return 4;
            if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
            if ((i + 1) % 125 == 0 && i + 1 < kRecords && !seen.wait_for(static_cast<int>(i + 1))) return 5;
        }
        ::close(fd);
        return 0;
    });
    for (std::uint32_t i = 0; i < kHandshakes; ++i) {
        ASSERT_EQ(writer.wait_ready(), 'r');
        std::vector<std::string> warnings;
        EXPECT_EQ(read_and_check(path, warnings), static_cast<int>(i));
        EXPECT_EQ(warnings, std::vector<std::string>{kTorn});
        writer.release();
    }
    int last = 0, partial = 0;
    for (int reads = 0; last < static_cast<int>(kRecords) && reads < 20000; ++reads) {
        std::vector<std::string> warnings;
        int n = read_and_check(path, warnings);
        ASSERT_GE(n, last) << "records lost or damaged after " << last;
        EXPECT_TRUE(warnings.empty() || warnings == std::vector<std::string>{kTorn});
        partial += n > last && n < static_cast<int>(kRecords);
        if (n > last) seen.tell(n);
        last = n;
    }
    EXPECT_GT(partial, 10) << "the reader never met the writer half way";
    EXPECT_EQ(writer.join(), 0);
    std::vector<std::string> warnings;
    EXPECT_EQ(read_and_check(path, warnings), static_cast<int>(kRecords));
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
