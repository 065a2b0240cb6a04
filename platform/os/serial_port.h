#pragma once
// A serial line on a Linux terminal device, with the behaviour the station's
// device protocols were written against: an exclusive open, raw 8-bit bytes,
// and reads bounded by an interval and a total time-out.
//
// What the Windows serial settings become here:
// - the line is raw (cfmakeraw): no CR/LF translation, no XON/XOFF, no echo,
//   no signals, so the binary packet protocol passes untouched;
// - parity none, odd, even, and mark and space through CMSPAR; with parity
//   on, received bytes are checked (INPCK) and a byte with a parity or
//   framing error is delivered as 0, which the protocols' checks reject;
// - hardware handshake is RTS/CTS (CRTSCTS); DSR output flow control, DSR
//   sensitivity, abort-on-error and the driver's queue sizes have no Linux
//   counterpart and have no effect;
// - CLOCAL is always set, so the line does not depend on carrier detect.
// The read time-outs follow the Windows rules and are emulated with poll
// deadlines: a read ends when all bytes came, when the total time-out
// (multiplier x count + constant) has run since the call began, or when the
// interval time-out has run since the last byte came (counted only after the
// first byte). A zero time-out is not used; with neither in use a read waits
// until all bytes came. Writes (and drain) are bounded the same way by the
// write total time-out (multiplier x count + constant); a write that runs
// out of time is a timeout, never a wait without end. A wake descriptor
// (a stop request) ends any of these waits early.

#include <cstddef>
#include <cstdint>
#include <string>
#include <termios.h>

#include "platform/os/io_status.h"

namespace os {

enum class ModemLine;
enum class Parity { none, odd, even, mark, space };

struct SerialSettings {
    int baud = 9600;
    Parity parity = Parity::none;
    int data_bits = 8;     // 5 to 8
    int stop_bits = 1;     // 1 or 2
    bool rts_cts = false;  // hardware handshake
};

struct SerialTimeouts {
    int interval_ms = 0;          // longest gap between two bytes; 0: none
    int total_multiplier_ms = 0;  // per byte asked for
    int total_constant_ms = 0;    // total = multiplier x count + constant; 0: none
    int write_multiplier_ms = 0;  // per byte written
    int write_constant_ms = 0;    // write total = multiplier x count + constant; 0: none
};

// Fills t (taken from the device, or zeroed) for the settings: raw mode plus
// speed, size, parity, stop bits and handshake. False with the reason in why
// when a setting cannot be expressed (an unsupported baud rate, a bad size).
bool make_termios(const SerialSettings& settings, termios& t, std::string& why);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens a terminal device for reading and writing, not as the
    // controlling terminal, exclusively (TIOCEXCL for other processes and a
    // flock that holds for every opener, root included), and puts it in raw
    // mode at its current speed. False (see error()) when the path does not
    // exist, is not a terminal, is in use, or is already open here.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // Applies line settings; false (see error()) when the device refuses
    // them or takes them only in part.
    bool configure(const SerialSettings& settings);
    void set_timeouts(const SerialTimeouts& timeouts) { timeouts_ = timeouts; }
    const SerialTimeouts& timeouts() const { return timeouts_; }

    // While fd is readable (a stop request), reads, writes and drains end
    // at once (timeout, with woken() set); -1: none.
    void set_wake_fd(int fd) { wake_fd_ = fd; }
    // Whether the last transfer ended because the wake descriptor was
    // readable; whether it ended because its time ran out.
    bool woken() const { return woken_; }
    bool timed_out() const { return timed_out_; }

    // Reads up to count bytes into buffer within the time-outs, and within
    // limit_ms from the call when that is not -1 (what has already come is
    // still taken when the limit is 0); got receives how many came whatever
    // the status.
    IoStatus read(void* buffer, std::size_t count, std::size_t& got, int limit_ms = -1);
    // Waits up to timeout_ms (-1: without limit) for the line to have bytes
    // to read (or news of a hang-up, which the next read reports), or for
    // `wake_fd` (when not -1) to become readable, whichever comes first, so
    // that a program with a silent line sleeps until there is work without
    // a second wait for its other events. No byte is taken.
    enum class Wait { input, woken, timeout, failed };
    Wait wait_input(int timeout_ms, int wake_fd);
    // Writes every byte within the write time-out: ok, timeout (bytes may
    // have gone; see error()) or failed.
    IoStatus send(const void* buffer, std::size_t count);
    // send() as a success flag.
    bool write(const void* buffer, std::size_t count) { return send(buffer, count) == IoStatus::ok; }

    // The modem lines, through os::modem_control() (see modem_lines.h).
    bool set_rts(bool on);
    bool set_dtr(bool on);
    // Whether the modem status could be read; cts receives the CTS line.
    bool get_cts(bool& cts);
    // Drops bytes received and not yet read.
    bool purge_input();
    // Drops bytes written and not yet sent (a line that stopped taking them).
    bool purge_output();
    // Waits until every written byte has left, within the write constant
    // when one is set (false with timed_out() when the line keeps them).
    bool drain();

    // The last failure, naming the device and the cause.
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what);
    bool modem_bit(ModemLine line, bool on);
    // Polls the line for events until the deadline (-1: none), together
    // with the wake descriptor; 1 when the line is ready, 0 on time-out or
    // a wake-up (woken_ tells), -1 on error.
    int poll_line(short events, std::int64_t deadline, short& revents);

    int fd_ = -1;
    std::string path_;
    SerialTimeouts timeouts_;
    int wake_fd_ = -1;
    bool woken_ = false;
    bool timed_out_ = false;
    std::string error_;
};

}  // namespace os
