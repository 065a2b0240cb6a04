#pragma once
// Test helpers (header only, for *_test.cpp files): real peers for device
// links. A pseudo-terminal pair stands in for a serial line: the code under
// test opens the slave by its path and the test plays the device on the
// master side. A loopback listener stands in for a TCP device.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace os::testing {

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        path_ = name;
        // The helper's own slave descriptor keeps the line up while the code
        // under test closes and reopens it; raw so nothing is translated.
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { close(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }

    // Hangs the line up for good: the slave path goes away.
    void close() {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
        master_ = slave_ = -1;
    }

    bool send(const void* data, std::size_t n) {
        auto* p = static_cast<const unsigned char*>(data);
        while (n > 0) {
            ssize_t w = ::write(master_, p, n);
            if (w < 0 && (errno == EINTR || errno == EAGAIN)) {
                pollfd pf{master_, POLLOUT, 0};
                if (::poll(&pf, 1, 2000) <= 0) return false;
                continue;
            }
            if (w <= 0) return false;
            p += w;
            n -= std::size_t(w);
        }
        return true;
    }
    bool send(const std::string& s) { return send(s.data(), s.size()); }

    // Fills the line from the device's side of the code under test (the
    // helper's slave descriptor) until it takes no more: a device that
    // never reads. The kernel hands bytes over on a worker of its own, so
    // rounds go on until one adds nothing. The bytes written.
    std::size_t fill_toward_master() {
        ::fcntl(slave_, F_SETFL, ::fcntl(slave_, F_GETFL) | O_NONBLOCK);
        const std::string chunk(4096, 'f');
        std::size_t total = 0;
        for (std::size_t round = 1; round > 0;) {
            round = 0;
            for (std::size_t size = chunk.size(); size > 0; size /= 4)
                for (ssize_t w; (w = ::write(slave_, chunk.data(), size)) > 0;) round += std::size_t(w);
            total += round;
            ::usleep(20000);
        }
        ::fcntl(slave_, F_SETFL, ::fcntl(slave_, F_GETFL) & ~O_NONBLOCK);
        return total;
    }

    // Waits (at most timeout_ms) until at least n bytes sent wait in the
    // line's input. The kernel hands them over on a worker of its own, so a
    // test that drops the input must not race the hand-over.
    bool wait_delivered(std::size_t n, int timeout_ms = 2000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            int queued = 0;
            if (::ioctl(slave_, FIONREAD, &queued) == 0 && queued >= 0 && std::size_t(queued) >= n) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            ::usleep(1000);
        }
    }

    // What the code under test wrote: up to n bytes, waiting at most
    // timeout_ms for them all.
    std::string receive(std::size_t n, int timeout_ms = 2000) {
        std::string out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (out.size() < n) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0) break;
            pollfd pf{master_, POLLIN, 0};
            if (::poll(&pf, 1, int(left)) <= 0) continue;
            char buf[512];
            ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
            if (r > 0)
                out.append(buf, std::size_t(r));
            else if (r == 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
        return out;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// A listening TCP socket on 127.0.0.1 with a port of the kernel's choosing.
class LoopbackListener {
public:
    LoopbackListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_, 8) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
    }
    ~LoopbackListener() { stop(); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Stops listening; the port then refuses connections.
    void stop() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // The next connection, waiting at most timeout_ms; -1 when none came.
    int accept(int timeout_ms = 2000) {
        pollfd pf{fd_, POLLIN, 0};
        if (::poll(&pf, 1, timeout_ms) <= 0) return -1;
        return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace os::testing
