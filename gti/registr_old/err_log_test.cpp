#include "gti/registr_old/err_log.h"

#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

// "(dd.mm.yyyy h:mm:ss) ", the time left out at midnight.
bool stamped(const std::string& line) {
    auto digits = [&](std::size_t at, std::size_t n) {
        if (at + n > line.size()) return false;
        for (std::size_t i = at; i < at + n; ++i)
            if (line[i] < '0' || line[i] > '9') return false;
        return true;
    };
    if (line.empty() || line[0] != '(' || !digits(1, 2) || line[3] != '.' || !digits(4, 2) || line[6] != '.' ||
        !digits(7, 4))
        return false;
    std::size_t close = line.find(") ");
    if (close == 11) return true;
    std::string time = line.substr(11, close == std::string::npos ? 0 : close - 11);
    return time.size() >= 8 && time[0] == ' ' && time[time.size() - 3] == ':' && time[time.size() - 6] == ':';
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ErrLog, AppendsOneStampedLineInWindows1251) {
    os::testing::TempDir dir;
    ErrLog log;
    log.add("before a file is named: dropped");
    log.set_file_name(dir / "registr.errors.log");
    log.add("System::save_to_file : Ошибка записи");
    log.add("second");
    std::string bytes = read_all(dir / "registr.errors.log");
    std::string text = rtl::cp1251_to_utf8(bytes);
    auto first_end = text.find("\r\n");
    ASSERT_NE(first_end, std::string::npos);
    std::string first = text.substr(0, first_end);
    EXPECT_TRUE(stamped(first)) << first;
    EXPECT_NE(first.find(") System::save_to_file : Ошибка записи"), std::string::npos);
    EXPECT_NE(bytes.find("\xCE\xF8\xE8\xE1\xEA\xE0"), std::string::npos);  // "Ошибка" in Windows-1251
    EXPECT_EQ(text.substr(text.size() - 10), ") second\r\n");
}

TEST(ErrLog, AFailedWriteIsSwallowedAndStillEchoed) {
    os::testing::TempDir dir;
    ErrLog log;
    std::vector<std::string> echoed;
    log.set_echo([&](const std::string& m) { echoed.push_back(m); });
    log.set_file_name(dir / "no-such-folder/registr.errors.log");
    EXPECT_NO_THROW(log.add("lost"));
    log.set_file_name(dir.path());  // a folder
    EXPECT_NO_THROW(log.add("lost too"));
    // Neither a FIFO nor a planted link holds or redirects the line.
    ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0600), 0);
    log.set_file_name(dir / "fifo.log");
    EXPECT_NO_THROW(log.add("not waited for"));
    std::filesystem::create_symlink(dir / "elsewhere.log", dir / "link.log");
    log.set_file_name(dir / "link.log");
    log.add("not through the link");
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere.log"));
    EXPECT_EQ(echoed, (std::vector<std::string>{"lost", "lost too", "not waited for", "not through the link"}));
}

TEST(ErrLog, LinesFromManyThreadsStayWhole) {
    os::testing::TempDir dir;
    ErrLog log;
    log.set_file_name(dir / "log");
    const std::string a(300, 'a'), b(300, 'b');
    std::thread t1([&] {
        for (int i = 0; i < 200; ++i) log.add(a);
    });
    std::thread t2([&] {
        for (int i = 0; i < 200; ++i) log.add(b);
    });
    t1.join();
    t2.join();
    std::istringstream in(read_all(dir / "log"));
    int count = 0;
    for (std::string l; std::getline(in, l); ++count) {
        ASSERT_EQ(l.back(), '\r');
        l.pop_back();
        auto body = l.substr(l.find(") ") + 2);
        EXPECT_TRUE(body == a || body == b);
    }
    EXPECT_EQ(count, 400);
}

}  // namespace
