#include "platform/os/serial_port.h"

#include "platform/os/modem_lines.h"
#include "platform/os/clock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace os {
namespace {

struct BaudEntry {
    int baud;
    speed_t speed;
};

constexpr BaudEntry kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::int64_t now_ms() { return os::steady_now_ms(); }

}  // namespace

bool make_termios(const SerialSettings& s, termios& t, std::string& why) {
    const BaudEntry* baud = nullptr;
    for (const auto& e : kBauds)
        if (e.baud == s.baud) baud = &e;
    if (!baud) {
        why = "unsupported baud rate " + std::to_string(s.baud);
        return false;
    }
    tcflag_t size = 0;
    switch (s.data_bits) {
        case 5: size = CS5; break;
        case 6: size = CS6; break;
        case 7: size = CS7; break;
        case 8: size = CS8; break;
        default: why = "unsupported data size " + std::to_string(s.data_bits); return false;
    }
    if (s.stop_bits != 1 && s.stop_bits != 2) {
        why = "unsupported stop bits " + std::to_string(s.stop_bits);
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= size | CLOCAL | CREAD;
    if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
    switch (s.parity) {
        case Parity::none: break;
        case Parity::odd: t.c_cflag |= PARENB | PARODD; break;
        case Parity::even: t.c_cflag |= PARENB; break;
        case Parity::mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case Parity::space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (s.parity != Parity::none) t.c_iflag |= INPCK;
    if (s.rts_cts) t.c_cflag |= CRTSCTS;
    // Reads never block in the driver: the descriptor is non-blocking and
    // poll carries the time-outs.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, baud->speed);
    ::cfsetospeed(&t, baud->speed);
    return true;
}

SerialPort::~SerialPort() { close(); }

bool SerialPort::fail(const std::string& what) {
    error_ = "serial port '" + path_ + "': " + what;
    return false;
}

bool SerialPort::open(const std::string& path) {
    if (fd_ >= 0) return fail("already open");
    path_ = path;
    error_.clear();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(std::strerror(errno));
    auto give_up = [&](const std::string& why) {
        ::close(fd);
        return fail(why);
    };
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return give_up(std::string("not a terminal device: ") + std::strerror(errno));
    // TIOCEXCL keeps other processes out (except privileged ones); the lock
    // refuses a second open by anyone, this process included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return give_up(errno == EWOULDBLOCK ? "in use" : std::string(std::strerror(errno)));
    if (::ioctl(fd, TIOCEXCL) != 0) return give_up(std::string("TIOCEXCL: ") + std::strerror(errno));
    speed_t in = ::cfgetispeed(&t), out = ::cfgetospeed(&t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, in);
    ::cfsetospeed(&t, out);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) return give_up(std::string("raw mode: ") + std::strerror(errno));
    fd_ = fd;
    return true;
}

void SerialPort::close() {
    if (fd_ < 0) return;
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool SerialPort::configure(const SerialSettings& settings) {
    if (fd_ < 0) return fail("not open");
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return fail(std::strerror(errno));
    std::string why;
    if (!make_termios(settings, t, why)) return fail(why);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return fail(std::strerror(errno));
    // tcsetattr succeeds when any part took; the speed is the part a device
    // may refuse silently, so read it back.
    termios now{};
    if (::tcgetattr(fd_, &now) != 0) return fail(std::strerror(errno));
    if (::cfgetospeed(&now) != ::cfgetospeed(&t))
        return fail("baud rate " + std::to_string(settings.baud) + " not taken");
    return true;
}

SerialPort::Wait SerialPort::wait_input(int timeout_ms, int wake_fd) {
    if (fd_ < 0) {
        fail("not open");
        return Wait::failed;
    }
    const std::int64_t deadline = timeout_ms < 0 ? -1 : now_ms() + timeout_ms;
    while (true) {
        int wait = -1;
        if (deadline >= 0) wait = int(std::clamp<std::int64_t>(deadline - now_ms(), 0, 1 << 30));
        pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
        const int rc = ::poll(p, wake_fd >= 0 ? 2 : 1, wait);
        if (rc < 0) {
            if (errno == EINTR) continue;
            fail(std::string("poll: ") + std::strerror(errno));
            return Wait::failed;
        }
        if (rc == 0) return Wait::timeout;
        if (p[0].revents != 0) return Wait::input;  // bytes, or a hang-up for the read to report
        return Wait::woken;
    }
}

int SerialPort::poll_line(short events, std::int64_t deadline, short& revents) {
    for (;;) {
        int wait = -1;
        if (deadline >= 0) wait = int(std::clamp<std::int64_t>(deadline - now_ms(), 0, 1 << 30));
        pollfd p[2] = {{fd_, events, 0}, {wake_fd_, POLLIN, 0}};
        const int rc = ::poll(p, wake_fd_ >= 0 ? 2 : 1, wait);
        if (rc < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        revents = p[0].revents;
        if (revents != 0) return 1;
        if (rc > 0 && wake_fd_ >= 0 && p[1].revents != 0) {
            woken_ = true;
            return 0;
        }
        if (deadline >= 0 && now_ms() >= deadline) return 0;
    }
}

IoStatus SerialPort::read(void* buffer, std::size_t count, std::size_t& got, int limit_ms) {
    got = 0;
    woken_ = timed_out_ = false;
    if (fd_ < 0) {
        fail("not open");
        return IoStatus::failed;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    const std::int64_t start = now_ms();
    const std::int64_t total =
        std::int64_t(timeouts_.total_multiplier_ms) * std::int64_t(count) + timeouts_.total_constant_ms;
    std::int64_t last_byte = start;
    while (got < count) {
        std::int64_t deadline = -1;
        if (total > 0) deadline = start + total;
        if (got > 0 && timeouts_.interval_ms > 0) {
            std::int64_t gap_end = last_byte + timeouts_.interval_ms;
            deadline = deadline < 0 ? gap_end : std::min(deadline, gap_end);
        }
        if (limit_ms >= 0) deadline = deadline < 0 ? start + limit_ms : std::min(deadline, start + limit_ms);
        // At the deadline the line is still looked at once without waiting:
        // bytes that have come are taken, not left for a time-out.
        short revents = 0;
        const int rc = poll_line(POLLIN, deadline, revents);
        if (rc < 0) {
            fail(std::string("poll: ") + std::strerror(errno));
            return IoStatus::failed;
        }
        if (rc == 0) {
            timed_out_ = !woken_;
            return IoStatus::timeout;
        }
        if (revents & POLLNVAL) {
            fail("descriptor closed");
            return IoStatus::failed;
        }
        ssize_t n = ::read(fd_, out + got, count - got);
        if (n > 0) {
            got += std::size_t(n);
            last_byte = now_ms();
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (revents & (POLLERR | POLLHUP)) {
                fail("line hung up");
                return IoStatus::failed;
            }
            continue;
        }
        fail(n == 0 ? std::string("line hung up") : std::string(std::strerror(errno)));
        return IoStatus::failed;
    }
    return IoStatus::ok;
}

IoStatus SerialPort::send(const void* buffer, std::size_t count) {
    woken_ = timed_out_ = false;
    if (fd_ < 0) {
        fail("not open");
        return IoStatus::failed;
    }
    auto* in = static_cast<const unsigned char*>(buffer);
    const std::int64_t total =
        std::int64_t(timeouts_.write_multiplier_ms) * std::int64_t(count) + timeouts_.write_constant_ms;
    const std::int64_t deadline = total > 0 ? now_ms() + total : -1;
    std::size_t done = 0;
    bool said_room = false;  // the last poll said the line had room
    const auto ran_out = [&] {
        timed_out_ = !woken_;
        fail(woken_ ? "write cut short by a stop request"
                    : "write timed out: the line took " + std::to_string(done) + " of " + std::to_string(count) +
                          " bytes in " + std::to_string(total) + " ms");
        return IoStatus::timeout;
    };
    while (done < count) {
        // Checked on every turn: a line that takes a byte now and then, or
        // says it has room and then takes nothing, is still bounded.
        if (deadline >= 0 && now_ms() >= deadline) return ran_out();
        ssize_t n = ::write(fd_, in + done, count - done);
        if (n > 0) {
            done += std::size_t(n);
            said_room = false;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            if (said_room) {
                // A terminal may report room for fewer bytes than it then
                // takes: a short pause instead of a spin.
                pollfd p{wake_fd_, POLLIN, 0};
                if (::poll(&p, wake_fd_ >= 0 ? 1 : 0, 2) > 0) {
                    woken_ = true;
                    return ran_out();
                }
            }
            short revents = 0;
            const int rc = poll_line(POLLOUT, deadline, revents);
            said_room = rc > 0;
            if (rc < 0) {
                fail(std::string("poll: ") + std::strerror(errno));
                return IoStatus::failed;
            }
            if (rc == 0) return ran_out();
            if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
                fail("line hung up");
                return IoStatus::failed;
            }
            continue;
        }
        fail(n == 0 ? std::string("write made no progress") : std::string(std::strerror(errno)));
        return IoStatus::failed;
    }
    return IoStatus::ok;
}

bool SerialPort::modem_bit(ModemLine line, bool on) {
    if (fd_ < 0) return fail("not open");
    std::string why;
    if (!modem_control().set(fd_, line, on, why)) return fail(std::string(modem_line_name(line)) + ": " + why);
    return true;
}

bool SerialPort::set_rts(bool on) { return modem_bit(ModemLine::rts, on); }
bool SerialPort::set_dtr(bool on) { return modem_bit(ModemLine::dtr, on); }

bool SerialPort::get_cts(bool& cts) {
    cts = false;
    if (fd_ < 0) return fail("not open");
    std::string why;
    if (!modem_control().get(fd_, ModemLine::cts, cts, why)) return fail("modem status: " + why);
    return true;
}

bool SerialPort::purge_input() {
    if (fd_ < 0) return fail("not open");
    if (::tcflush(fd_, TCIFLUSH) != 0) return fail(std::string("purge: ") + std::strerror(errno));
    return true;
}

bool SerialPort::purge_output() {
    if (fd_ < 0) return fail("not open");
    if (::tcflush(fd_, TCOFLUSH) != 0) return fail(std::string("purge: ") + std::strerror(errno));
    return true;
}

bool SerialPort::drain() {
    woken_ = timed_out_ = false;
    if (fd_ < 0) return fail("not open");
    if (timeouts_.write_constant_ms <= 0) {
        while (::tcdrain(fd_) != 0) {
            if (errno != EINTR) return fail(std::string("drain: ") + std::strerror(errno));
        }
        return true;
    }
    // tcdrain has no time-out: a line held by its handshake would keep the
    // caller for good. The driver's count of unsent bytes is watched
    // instead, a few milliseconds at a time.
    const std::int64_t deadline = now_ms() + timeouts_.write_constant_ms;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) return fail(std::string("drain: ") + std::strerror(errno));
        if (queued <= 0) return true;
        const std::int64_t left = deadline - now_ms();
        if (left <= 0) {
            timed_out_ = true;
            return fail("drain timed out: " + std::to_string(queued) + " bytes not sent in " +
                        std::to_string(timeouts_.write_constant_ms) + " ms");
        }
        pollfd p{wake_fd_, POLLIN, 0};
        const int rc = ::poll(&p, wake_fd_ >= 0 ? 1 : 0, int(std::min<std::int64_t>(left, 5)));
        if (rc > 0) {
            woken_ = true;
            return fail("drain cut short by a stop request");
        }
    }
}

}  // namespace os
