#pragma once
// A blocking-style TCP client for device links: connect with a time-out,
// reads that wait a bounded time for data, writes that never raise SIGPIPE.

#include <cstddef>
#include <string>

#include "platform/os/io_status.h"

namespace os {

class TcpClient {
public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Resolves host (a name or a dotted address) and connects to the first
    // address that answers within timeout_ms. A connection already held is
    // closed first. False with the reason in error().
    bool connect(const std::string& host, int port, int timeout_ms);
    void close();
    bool is_connected() const { return fd_ >= 0; }

    // Waits up to wait_ms for data and reads what has come, at most count
    // bytes (got > 0 with ok); timeout when nothing came. The peer closing
    // the connection or an error is failed, and the connection is closed.
    IoStatus read_some(void* buffer, std::size_t count, int wait_ms, std::size_t& got);
    // Sends every byte, waiting at most wait_ms each time the socket cannot
    // take more. On failure the connection is closed.
    bool write_all(const void* buffer, std::size_t count, int wait_ms);

    // While fd is readable (a stop request), reads and writes stop waiting
    // at once: a read as a time-out, a write as a failure that keeps the
    // connection; woken() tells. -1: none.
    void set_wake_fd(int fd) { wake_fd_ = fd; }
    bool woken() const { return woken_; }

    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what);
    // poll_until on the socket and the wake descriptor; 0 on time-out or a
    // wake-up (woken_ tells).
    int wait_for(short events, std::int64_t deadline, short& revents);

    int wake_fd_ = -1;
    bool woken_ = false;
    int fd_ = -1;
    std::string peer_;
    std::string error_;
};

}  // namespace os
