#include "tools/devsim/endpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace devsim {

namespace {

std::string cause() { return std::strerror(errno); }

// Writes to a non-blocking descriptor, waiting for room.
bool write_fd(int fd, const Bytes& bytes, int timeout_ms) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (w < 0 && errno == ENOTSOCK) w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += std::size_t(w);
            continue;
        }
        if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pf{fd, POLLOUT, 0};
            if (::poll(&pf, 1, timeout_ms) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

int read_fd(int fd, std::uint8_t* buffer, std::size_t size, int timeout_ms) {
    pollfd pf{fd, POLLIN, 0};
    int r = ::poll(&pf, 1, timeout_ms);
    if (r < 0) return errno == EINTR ? 0 : -1;
    if (r == 0) return 0;
    ssize_t n = ::read(fd, buffer, size);
    if (n > 0) return int(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    // A pty master reads EIO while no slave is open; the station may just
    // be between a close and a reopen, so that is quiet, not the end.
    if (n < 0 && errno == EIO) return 0;
    return -1;
}

class PtyEndpoint : public Endpoint {
public:
    PtyEndpoint() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("pseudo-terminal: " + cause());
        path_ = name;
        // Our own slave descriptor keeps the line up while the station closes
        // and reopens its end; raw so that nothing is translated.
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    }
    ~PtyEndpoint() override {
        ::close(master_);
        ::close(slave_);
    }
    std::string address() const override { return path_; }
    bool write_all(const Bytes& bytes, int timeout_ms) override { return write_fd(master_, bytes, timeout_ms); }
    int read_some(std::uint8_t* buffer, std::size_t size, int timeout_ms) override {
        return read_fd(master_, buffer, size, timeout_ms);
    }
    bool connected() const override { return true; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

class TcpEndpoint : public Endpoint {
public:
    explicit TcpEndpoint(int port) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listener_ < 0) throw std::runtime_error("socket: " + cause());
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never beyond this machine
        a.sin_port = htons(std::uint16_t(port));
        socklen_t len = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            std::string why = cause();
            ::close(listener_);
            throw std::runtime_error("listen on 127.0.0.1:" + std::to_string(port) + ": " + why);
        }
        port_ = ntohs(a.sin_port);
    }
    ~TcpEndpoint() override {
        if (conn_ >= 0) ::close(conn_);
        ::close(listener_);
    }
    std::string address() const override { return "127.0.0.1:" + std::to_string(port_); }
    bool connected() const override { return conn_ >= 0; }

    bool write_all(const Bytes& bytes, int timeout_ms) override {
        take_connection(0);
        if (conn_ < 0) return false;
        if (write_fd(conn_, bytes, timeout_ms)) return true;
        drop();
        return false;
    }

    int read_some(std::uint8_t* buffer, std::size_t size, int timeout_ms) override {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            int left = int(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
            if (left < 0) left = 0;
            if (conn_ < 0) {
                // Nobody there yet: wait for the station to connect.
                take_connection(left);
                if (conn_ < 0) return 0;
                continue;
            }
            // A station that reconnects leaves its old connection: the newest
            // one is the line.
            take_connection(0);
            int n = read_fd(conn_, buffer, size, left);
            if (n < 0) {
                drop();
                if (left == 0) return 0;
                continue;
            }
            return n;
        }
    }

private:
    void take_connection(int timeout_ms) {
        pollfd pf{listener_, POLLIN, 0};
        if (::poll(&pf, 1, timeout_ms) <= 0) return;
        int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (c < 0) return;
        drop();
        conn_ = c;
    }
    void drop() {
        if (conn_ >= 0) ::close(conn_);
        conn_ = -1;
    }

    int listener_ = -1;
    int conn_ = -1;
    int port_ = 0;
};

}  // namespace

std::unique_ptr<Endpoint> Endpoint::open_pty() { return std::make_unique<PtyEndpoint>(); }
std::unique_ptr<Endpoint> Endpoint::listen_tcp(int port) { return std::make_unique<TcpEndpoint>(port); }

}  // namespace devsim
