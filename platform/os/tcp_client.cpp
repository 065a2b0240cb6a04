#include "platform/os/tcp_client.h"

#include "platform/os/clock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace os {
namespace {

std::int64_t now_ms() { return steady_now_ms(); }

// Waits for events on fd until the deadline; 0 on time-out, <0 on error.
int poll_until(int fd, short events, std::int64_t deadline, short& revents) {
    for (;;) {
        std::int64_t left = deadline - now_ms();
        if (left < 0) left = 0;
        pollfd p{fd, events, 0};
        int rc = ::poll(&p, 1, int(left));
        if (rc < 0 && errno == EINTR) continue;
        revents = p.revents;
        return rc;
    }
}

}  // namespace

int TcpClient::wait_for(short events, std::int64_t deadline, short& revents) {
    if (wake_fd_ < 0) return poll_until(fd_, events, deadline, revents);
    for (;;) {
        std::int64_t left = deadline - now_ms();
        if (left < 0) left = 0;
        pollfd p[2] = {{fd_, events, 0}, {wake_fd_, POLLIN, 0}};
        int rc = ::poll(p, 2, int(left));
        if (rc < 0 && errno == EINTR) continue;
        revents = p[0].revents;
        if (rc > 0 && revents == 0) {
            woken_ = true;
            return 0;
        }
        return rc;
    }
}

TcpClient::~TcpClient() { close(); }

bool TcpClient::fail(const std::string& what) {
    error_ = "TCP " + peer_ + ": " + what;
    return false;
}

void TcpClient::close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

bool TcpClient::connect(const std::string& host, int port, int timeout_ms) {
    close();
    peer_ = host + ":" + std::to_string(port);
    error_.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0)
        return fail(std::string("can't resolve host: ") + ::gai_strerror(rc));
    const std::int64_t deadline = now_ms() + (timeout_ms > 0 ? timeout_ms : 0);
    std::string why = "no address";
    for (addrinfo* a = list; a; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            why = std::strerror(errno);
            continue;
        }
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            short revents = 0;
            rc = poll_until(fd, POLLOUT, deadline, revents);
            if (rc == 0) {
                why = "connect timed out";
                ::close(fd);
                continue;
            }
            int err = 0;
            socklen_t len = sizeof err;
            if (rc < 0)
                err = errno;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
            if (err != 0) {
                why = std::strerror(err);
                ::close(fd);
                continue;
            }
            rc = 0;
        } else if (rc != 0) {
            why = std::strerror(errno);
            ::close(fd);
            continue;
        }
        // Device packets are small and paced by the protocol; sending them at
        // once keeps the devices' replies in step.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fd_ = fd;
        break;
    }
    ::freeaddrinfo(list);
    if (fd_ < 0) return fail(why);
    return true;
}

IoStatus TcpClient::read_some(void* buffer, std::size_t count, int wait_ms, std::size_t& got) {
    got = 0;
    woken_ = false;
    if (fd_ < 0) {
        fail("not connected");
        return IoStatus::failed;
    }
    if (count == 0) return IoStatus::ok;
    const std::int64_t deadline = now_ms() + (wait_ms > 0 ? wait_ms : 0);
    for (;;) {
        ssize_t n = ::recv(fd_, buffer, count, MSG_DONTWAIT);
        if (n > 0) {
            got = std::size_t(n);
            return IoStatus::ok;
        }
        if (n == 0) {
            fail("connection closed by peer");
            close();
            return IoStatus::failed;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(std::strerror(errno));
            close();
            return IoStatus::failed;
        }
        short revents = 0;
        int rc = wait_for(POLLIN, deadline, revents);
        if (rc == 0) return IoStatus::timeout;
        if (rc < 0) {
            fail(std::string("poll: ") + std::strerror(errno));
            close();
            return IoStatus::failed;
        }
        // Readable, hung up or in error: the next recv tells which.
    }
}

bool TcpClient::write_all(const void* buffer, std::size_t count, int wait_ms) {
    woken_ = false;
    if (fd_ < 0) return fail("not connected");
    auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::send(fd_, in + done, count - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            short revents = 0;
            int rc = wait_for(POLLOUT, now_ms() + (wait_ms > 0 ? wait_ms : 0), revents);
            if (rc > 0) continue;
            if (woken_) return fail("send cut short by a stop request");
            fail(rc == 0 ? std::string("send timed out") : std::string("poll: ") + std::strerror(errno));
            close();
            return false;
        }
        fail(n == 0 ? std::string("send made no progress") : std::string(std::strerror(errno)));
        close();
        return false;
    }
    return true;
}

}  // namespace os
