#pragma once
// The simulator's end of the line: the master side of a pseudo-terminal
// (the station opens the slave by its path, as it would a serial port) or a
// TCP listener on 127.0.0.1 that takes the station's connection.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/devsim/wire.h"

namespace devsim {

class Endpoint {
public:
    virtual ~Endpoint() = default;
    // What the station opens: the slave's path, or "127.0.0.1:PORT".
    virtual std::string address() const = 0;
    // Writes every byte, waiting at most timeout_ms for room each time;
    // false when the line is gone (or, over TCP, nobody has connected).
    virtual bool write_all(const Bytes& bytes, int timeout_ms) = 0;
    // Waits at most timeout_ms for bytes and reads what came: the count, 0
    // when nothing came, -1 when the line is gone.
    virtual int read_some(std::uint8_t* buffer, std::size_t size, int timeout_ms) = 0;
    virtual bool connected() const = 0;

    // Throw std::runtime_error with the cause.
    static std::unique_ptr<Endpoint> open_pty();
    // Port 0: a port of the kernel's choosing.
    static std::unique_ptr<Endpoint> listen_tcp(int port = 0);
};

}  // namespace devsim
