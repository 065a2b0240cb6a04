#include "platform/os/tcp_client.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/os/test_peers.h"

namespace {

using os::IoStatus;

using os::testing::LoopbackListener;

TEST(TcpClient, ReadsWhatCameAndTellsATimeOutFromAClose) {
    LoopbackListener server;
    ASSERT_NE(server.port(), 0);
    os::TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 1000)) << client.error();
    int peer = server.accept();
    ASSERT_GE(peer, 0);

    char buf[16];
    std::size_t n = 0;
    EXPECT_EQ(client.read_some(buf, sizeof buf, 50, n), IoStatus::timeout);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(client.is_connected());

    ASSERT_EQ(::write(peer, "hello", 5), 5);
    EXPECT_EQ(client.read_some(buf, sizeof buf, 1000, n), IoStatus::ok);
    EXPECT_EQ(std::string(buf, n), "hello");
    ASSERT_TRUE(client.write_all("back", 4, 1000));
    char echo[4];
    ASSERT_EQ(::read(peer, echo, 4), 4);

    ::close(peer);
    EXPECT_EQ(client.read_some(buf, sizeof buf, 1000, n), IoStatus::failed);
    EXPECT_FALSE(client.is_connected());
    EXPECT_NE(client.error().find("closed by peer"), std::string::npos) << client.error();
}

TEST(TcpClient, WritingToAClosedPeerFailsWithoutSigpipe) {
    LoopbackListener server;
    os::TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 1000));
    ::close(server.accept());
    // The first sends may still be taken before the reset arrives; none may
    // kill the process.
    bool failed = false;
    char block[4096] = {};
    for (int i = 0; i < 50 && !failed; ++i) failed = !client.write_all(block, sizeof block, 1000);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(client.is_connected());
}

TEST(TcpClient, ConnectFailuresAreReported) {
    LoopbackListener server;
    int port = server.port();
    server.stop();
    os::TcpClient client;
    EXPECT_FALSE(client.connect("127.0.0.1", port, 1000));
    EXPECT_NE(client.error().find("127.0.0.1:" + std::to_string(port)), std::string::npos) << client.error();
    EXPECT_FALSE(client.connect("", 22002, 1000));
    EXPECT_FALSE(client.is_connected());
}

}  // namespace
