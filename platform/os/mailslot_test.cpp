#include "platform/os/mailslot.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/os/paths.h"

namespace {

std::string unique_name(const char* what) { return std::string("test_") + what + "_" + std::to_string(::getpid()); }

TEST(MailslotPath, FoldsCaseAndEscapesEverythingElse) {
    std::string dir = os::runtime_dir();
    EXPECT_EQ(os::mailslot_path("Vargel"), dir + "/mailslot.vargel");
    EXPECT_EQ(os::mailslot_path("a\\b/c d"), dir + "/mailslot.a%5Cb%2Fc%20d");
    // Letters beyond ASCII are bytes like any other: "Слот" in UTF-8.
    EXPECT_EQ(os::mailslot_path("Слот"), dir + "/mailslot.%D0%A1%D0%BB%D0%BE%D1%82");
    std::string longname(300, 'x');
    std::string p = os::mailslot_path(longname);
    EXPECT_LT(p.size(), sizeof(sockaddr_un{}.sun_path));
    EXPECT_EQ(p, os::mailslot_path(std::string(300, 'X')));
    EXPECT_NE(p, os::mailslot_path(std::string(299, 'x')));
}

TEST(Mailslot, CarriesDatagramsInOrderAndDropsOversizedOnes) {
    std::string name = unique_name("order");
    os::MailslotReader reader;
    ASSERT_TRUE(reader.create(name, 8)) << reader.error();
    EXPECT_EQ(reader.pending(), 0);
    std::string got;
    EXPECT_FALSE(reader.take(got));

    os::MailslotWriter writer;
    ASSERT_TRUE(writer.open(name));
    EXPECT_TRUE(writer.write("one"));
    EXPECT_TRUE(writer.write("123456789"));  // longer than the reader takes
    EXPECT_TRUE(writer.write("12345678"));
    EXPECT_TRUE(writer.write(""));
    EXPECT_EQ(reader.pending(), 3);
    ASSERT_TRUE(reader.take(got));
    EXPECT_EQ(got, "one");
    ASSERT_TRUE(reader.take(got));
    EXPECT_EQ(got, "12345678");
    ASSERT_TRUE(reader.take(got));
    EXPECT_EQ(got, "");
    EXPECT_FALSE(reader.take(got));
}

TEST(Mailslot, OneReaderPerSlotAndStaleSocketsAreReplaced) {
    std::string name = unique_name("owner");
    std::string path = os::mailslot_path(name);
    {
        os::MailslotReader first;
        ASSERT_TRUE(first.create(name, 64));
        os::MailslotReader second;
        EXPECT_FALSE(second.create(name, 64));
        EXPECT_NE(second.error().find("already has a reader"), std::string::npos) << second.error();
    }
    struct stat st {};
    EXPECT_NE(::lstat(path.c_str(), &st), 0) << "the reader removes its socket";

    // A reader that died leaves its socket file behind.
    int dead = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, path.size());
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::close(dead);
    os::MailslotReader reader;
    ASSERT_TRUE(reader.create(name, 64)) << reader.error();
    os::MailslotWriter writer;
    ASSERT_TRUE(writer.open(name));
    EXPECT_TRUE(writer.write("alive"));
    EXPECT_EQ(reader.pending(), 1);
}

TEST(Mailslot, WritersNeedAReaderOrAConfiguredBroadcast) {
    std::string name = unique_name("nobody");
    os::MailslotWriter writer;
    EXPECT_FALSE(writer.open(name));
    EXPECT_FALSE(writer.write("lost"));
    EXPECT_FALSE(writer.open_broadcast(name));

    std::vector<std::string> carried;
    os::set_mailslot_broadcast([&](std::string_view n, std::string_view m) {
        carried.push_back(std::string(n) + "=" + std::string(m));
        return true;
    });
    ASSERT_TRUE(writer.open_broadcast(name));
    EXPECT_TRUE(writer.write("hi"));
    os::set_mailslot_broadcast(nullptr);
    EXPECT_EQ(carried, std::vector<std::string>{name + "=hi"});
    EXPECT_FALSE(writer.write("after"));
}

}  // namespace
