#include "platform/os/tcp_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using os::IoStatus;

// A listening socket on 127.0.0.1 with a port of the kernel's choosing.
struct Listener {
    int fd = -1;
    int port = 0;
    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
    }
    ~Listener() { ::close(fd); }
    int accept() { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }
};

TEST(TcpClient, ReadsWhatCameAndTellsATimeOutFromAClose) {
    Listener server;
    ASSERT_NE(server.port, 0);
    os::TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port, 1000)) << client.error();
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
    Listener server;
    os::TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port, 1000));
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
    Listener server;
    int port = server.port;
    ::close(server.fd);
    server.fd = -1;
    os::TcpClient client;
    EXPECT_FALSE(client.connect("127.0.0.1", port, 1000));
    EXPECT_NE(client.error().find("127.0.0.1:" + std::to_string(port)), std::string::npos) << client.error();
    EXPECT_FALSE(client.connect("", 22002, 1000));
    EXPECT_FALSE(client.is_connected());
}

}  // namespace
