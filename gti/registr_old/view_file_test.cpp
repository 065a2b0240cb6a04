#include "gti/registr_old/view_file.h"

#include "library/time_conv.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads bytes at a position with plain file calls, not through the view.
std::string pread_bytes(const std::string& path, std::size_t at, std::size_t n) {
    std::string out(n, '\0');
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return {};
    ssize_t got = ::pread(fd, out.data(), n, static_cast<off_t>(at));
    ::close(fd);
    out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return out;
}

void pwrite_u32(const std::string& path, std::size_t at, std::uint32_t v) {
    char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, b, 4, static_cast<off_t>(at)), 4);
    ::close(fd);
}

std::uint32_t u32(const std::string& b, std::size_t at = 0) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

float f32(const std::string& b, std::size_t at = 0) {
    std::uint32_t u = u32(b, at);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

std::vector<std::string> python_reader(const std::string& file, int sample, const std::vector<int>& params) {
    std::string script = std::string(STATION_SOURCE_DIR) + "/gti/registr_old/testdata/view_file/read_sample.py";
    std::vector<std::string> args{script, file, std::to_string(sample)};
    for (int p : params) args.push_back(std::to_string(p));
    os::Process python;
    std::vector<std::string> lines;
    if (!python.start({"python3", args, "", true, false, true})) return lines;
    auto code = python.read_lines([&](const std::string& line) { lines.push_back(line); }, 60000);
    if (!code || *code != 0) lines.insert(lines.begin(), "python failed");
    return lines;
}

TEST(ViewFile, LayoutSeenByAnIndependentReader) {
    std::string why;
    if (!os::testing::tool_runs("python3", {"-c", "import struct"}, &why))
        STATION_SKIP_UNLESS_CI("python3 is not available: " << why);
    os::testing::TempDir dir;
    const std::string file = dir / "day.view";
    EXPECT_EQ(vf::file_size, 179712004u);
    vf::ViewFile view;
    ASSERT_TRUE(view.set_name(file)) << view.last_error();
    EXPECT_EQ(std::filesystem::file_size(file), 179712004u);
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    // Every block is reserved at open, not when the ring first reaches it.
    EXPECT_GE(static_cast<std::uint64_t>(st.st_blocks) * 512, vf::file_size);

    // 2026-03-05 14:07:09 of the station clock.
    const std::uint32_t t0 = static_cast<std::uint32_t>(lib::time_2_long(2026, 3, 5, 14, 7, 9));
    std::uint32_t now = t0;
    view.set_clock([&] { return now; });
    int call = 0;
    view.set_source([&](vf::Sample& s) {
        ++call;
        s.pipes = 12 + 3 * 0.1;
        s.depth_z = 1500.5;
        s.depth_cur = 1490.25;
        s.depth_lag = 1480.125;
        s.values = {{0, 1.5 * call}, {5, -2.25}, {511, 100}, {512, 7}, {-1, 7}, {7, std::nan("")}};
        if (call == 2) s.values.erase(s.values.begin() + 1);  // parameter 5 missing: stored as 0
    });
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(view.add_record());
        now += 60;
    }
    EXPECT_EQ(view.get_records_size(), 2u);

    auto lines = python_reader(file, 1, {0, 5, 7, 511});
    std::vector<std::string> expected{
        "size 179712004",
        "counter 2",
        "overhead 12.300000190734863 1500.5 1490.25 1480.125 14 8 " + std::to_string(t0 + 60) + " 5",
        "value 0 3.0",
        "value 5 0.0",
        "value 7 nan",
        "value 511 100.0",
    };
    EXPECT_EQ(lines, expected);

    // The same bytes read directly, at the documented offsets.
    EXPECT_EQ(u32(pread_bytes(file, 0, 4)), 2u);
    std::string o = pread_bytes(file, 4 + 32 * 0, 32);
    ASSERT_EQ(o.size(), 32u);
    EXPECT_EQ(f32(o, 4), 1500.5f);
    EXPECT_EQ(u32(o, 16), 14u);
    EXPECT_EQ(u32(o, 20), 7u);
    EXPECT_EQ(u32(o, 24), t0);
    EXPECT_EQ(u32(o, 28), 5u);
    EXPECT_EQ(f32(pread_bytes(file, 2764804 + 345600 * 5 + 4 * 0, 4)), -2.25f);
    EXPECT_EQ(f32(pread_bytes(file, 2764804 + 345600 * 511 + 4 * 1, 4)), 100.0f);

    // And through the object.
    EXPECT_EQ(view.get_value(0, 0), 1.5);
    EXPECT_EQ(view.get_value(5, 1), 0.0);
    EXPECT_EQ(view.get_value(7, 0), 0.0);  // a NaN reads as 0
    vf::Overhead over = view.get_overhead(1);
    EXPECT_EQ(over.pipes, 12.3f);
    EXPECT_EQ(over.depth_lag, 1480.125f);
    EXPECT_EQ(over.time, t0 + 60);
    EXPECT_EQ(over.minute, 8u);
    for (int i = 0; i < 119; ++i) EXPECT_TRUE(view.flush_buffers());
    EXPECT_TRUE(view.flush_buffers());  // the 120th writes the view out
}

TEST(ViewFile, SamplesAndParametersOutsideTheRingAreRefused) {
    vf::ViewFile closed;
    EXPECT_FALSE(closed.is_open());
    EXPECT_FALSE(closed.add_record());
    EXPECT_FALSE(closed.flush_buffers());
    EXPECT_EQ(closed.get_records_size(), 0u);
    EXPECT_EQ(closed.get_time_index(100), -1);
    EXPECT_THROW(closed.get_value(0, 0), std::runtime_error);
    EXPECT_THROW(closed.get_overhead(0), std::runtime_error);

    os::testing::TempDir dir;
    vf::ViewFile view;
    ASSERT_TRUE(view.set_name(dir / "day.view"));
    EXPECT_THROW(view.get_overhead(0), std::out_of_range);  // nothing added yet
    ASSERT_TRUE(view.add_record());
    for (int sample : {-1, 1, 86400, -86400}) {
        EXPECT_THROW(view.get_overhead(sample), std::out_of_range) << sample;
        EXPECT_THROW(view.get_value(0, sample), std::out_of_range) << sample;
    }
    for (int param : {-1, 512}) {
        try {
            view.get_value(param, 0);
            ADD_FAILURE() << param;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "ViewFile::get_value");
        }
    }
    EXPECT_NO_THROW(view.get_value(511, 0));
}

TEST(ViewFile, TheRingWrapsAndContinuesAcrossOpens) {
    os::testing::TempDir dir;
    const std::string file = dir / "day.view";
    {
        vf::ViewFile view;
        ASSERT_TRUE(view.set_name(file));
        view.set_clock([] { return 500u; });
        ASSERT_TRUE(view.add_record());
    }
    // The counter lives in the file; put the ring at its last slot.
    pwrite_u32(file, 0, 86399);
    vf::ViewFile view;
    ASSERT_TRUE(view.set_name(file));
    EXPECT_EQ(view.get_records_size(), 86399u);
    std::uint32_t now = 1000;
    double value = 1;
    view.set_clock([&] { return now; });
    view.set_source([&](vf::Sample& s) { s.values = {{3, value}}; });
    ASSERT_TRUE(view.add_record());  // sample 86399: the last slot
    now = 1010;
    value = 2;
    ASSERT_TRUE(view.add_record());  // sample 86400: slot 0 again
    EXPECT_EQ(view.get_records_size(), 86401u);
    EXPECT_EQ(view.get_overhead(86400).time, 1010u);
    EXPECT_EQ(u32(pread_bytes(file, 4 + 24, 4)), 1010u);  // slot 0 overwritten
    EXPECT_EQ(f32(pread_bytes(file, 2764804 + 345600 * 3, 4)), 2.0f);
    EXPECT_EQ(f32(pread_bytes(file, 2764804 + 345600 * 3 + 4 * 86399, 4)), 1.0f);
    // The search runs from sample 2 (86401 - 86400 + 1) to the first interval that holds t.
    EXPECT_EQ(view.get_time_index(1005), 86399);
    EXPECT_EQ(view.get_time_index(1010), 86399);  // the first interval that holds it
    EXPECT_EQ(view.get_time_index(5000), 86400);
}

TEST(ViewFile, TimeIndexFindsTheStampInterval) {
    os::testing::TempDir dir;
    vf::ViewFile view;
    ASSERT_TRUE(view.set_name(dir / "day.view"));
    const std::uint32_t stamps[] = {100, 110, 120, 130};
    std::size_t next = 0;
    view.set_clock([&] { return stamps[next]; });
    for (; next < 2; ++next) ASSERT_TRUE(view.add_record());
    for (std::uint32_t t : {0u, 100u, 115u, 1000u}) EXPECT_EQ(view.get_time_index(t), -1) << t;
    for (; next < 4; ++next) ASSERT_TRUE(view.add_record());

    struct Case {
        std::uint32_t t;
        int index;
    };
    // Sample 0 is not searched: the search starts at sample 1.
    for (const Case& c : {Case{105, -1}, Case{110, 1}, Case{115, 1}, Case{120, 1}, Case{125, 2}, Case{130, 2},
                          Case{131, 3}, Case{99999, 3}})
        EXPECT_EQ(view.get_time_index(c.t), c.index) << c.t;
}

TEST(ViewFile, AFileOfAnotherSizeIsMadeAnew) {
    os::testing::TempDir dir;
    const std::string file = dir / "day.view";
    std::ofstream(file, std::ios::binary) << "x";
    vf::ViewFile view;
    ASSERT_TRUE(view.set_name(file));
    EXPECT_EQ(std::filesystem::file_size(file), vf::file_size);
    EXPECT_EQ(view.get_records_size(), 0u);
    EXPECT_EQ(u32(pread_bytes(file, 0, 4)), 0u);

    // A folder in its place can't be opened: the object stays closed.
    vf::ViewFile bad;
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(bad.set_name(dir / "folder"));
    EXPECT_FALSE(bad.is_open());
    EXPECT_NE(bad.last_error().find("folder"), std::string::npos) << bad.last_error();
}

// A disk that can't hold the whole ring fails the open, with no file left.
TEST(ViewFile, NoRoomForTheRingFailsAtOpen) {
    os::testing::TempDir dir;
    const std::string file = dir / "day.view";
    os::testing::Child child([&](os::testing::ChildSide&) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1 << 20, 1 << 20};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
        vf::ViewFile view;
        if (view.set_name(file)) return 2;
        if (view.is_open() || view.add_record()) return 3;
        if (view.last_error().find("day.view") == std::string::npos) return 4;
        return std::filesystem::exists(file) ? 5 : 0;
    });
    EXPECT_EQ(child.join(), 0);
}

}  // namespace
