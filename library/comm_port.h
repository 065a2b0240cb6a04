#pragma once
// CommPort: the byte channel to the station's devices (the acquisition unit,
// the driller's console, the cementing-control station) over a serial line
// or, when the port name is "host:port", a TCP connection; and above it the
// error-correcting packet protocol (CommPacket).
//
// The port has no thread: every call blocks until its bytes have moved or the
// time-out has run, and callers poll. No operation throws; failures are
// results. One thread uses a port at a time.
//
// Port names (see platform/os/port_name.h): "/dev/..." is a device path,
// "host:port" is TCP (port 22002 when the text after the colon is not a
// number), "COMn" goes through the COM table, anything else is under /dev.
//
// Serial: reads end when all bytes came, or when the time-out given to
// configure has run since the call began or since the last byte (the
// Windows interval and total time-outs); a read that fails because the
// device failed pauses 500 ms and reopens the port with its last settings;
// when that reopen fails too the device is lost, and every later transfer
// first pauses 1 s and tries the reopen again (as a dead TCP peer is
// retried), so a caller that keeps reading waits instead of spinning and
// gets the line back when the device returns.
// TCP: every transfer first makes sure of the connection; connecting pauses
// 1 s first (so a dead peer is retried at that pace, never in a tight loop)
// and gives up after 3 s; a read waits at most 3 s for each piece of data; a
// peer that closes or fails is reconnected on the next call.
//
// Writes are bounded as reads are: a serial write (or flush) gets the
// configured time-out plus the time its bytes take at the baud rate, a TCP
// write the TCP wait. A serial write that runs out of time is a line fault:
// what the line holds unsent is dropped, the port is reopened as after a
// failed read, and line_faults() counts it.
//
// A caller that must keep a pace (the acquisition cycle's second) sets a
// deadline: every wait of a read then also ends there. A frame read inside
// begin_frame()/end_frame() that the deadline cut is not lost: its bytes
// are given back to the next read, so the frame is taken whole on a later
// turn. A wake descriptor (the stop request) ends every wait early.
//
// Bytes are moved as they are; texts that cross the wire are the callers' to
// convert to Windows-1251.

#include <cstdint>
#include <memory>
#include <string>

#include "library/comm_packet.h"
#include "platform/os/io_status.h"

namespace os {
class SerialPort;
class TcpClient;
}  // namespace os

class CommPort {
public:
    // Parity codes as the devices' settings name them.
    enum { parity_none = 0, parity_odd = 1, parity_even = 2, parity_mark = 3, parity_space = 4 };

    // read_byte results that are not bytes.
    static constexpr int read_failed = -256;
    static constexpr int read_timeout = -512;

    static constexpr int reopen_pause_ms = 500;    // before reopening a failed serial port
    static constexpr int lost_retry_ms = 1000;     // before each reopen of a lost serial device
    static constexpr int connect_pause_ms = 1000;  // before each TCP connect
    static constexpr int connect_timeout_ms = 3000;
    static constexpr int tcp_wait_ms = 3000;    // for each piece of data over TCP
    static constexpr int packet_pause_ms = 10;  // after each sent packet and acknowledgement
    static constexpr int max_message = 127;     // longest message of the packet protocol

    CommPort();
    virtual ~CommPort();
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    // False when already open or when the serial device cannot be opened
    // (exclusively). A TCP name always opens: the first connection attempt
    // is made here and its result is not reported.
    bool open(const std::string& name);
    // Without a serial device (closed, or TCP) does nothing and returns true.
    // Otherwise applies baud, parity (codes above; any other code is none),
    // 8 data bits, 1 stop bit and, with handshake, RTS/CTS flow control, and
    // sets both read time-outs to timeout_ms (0: reads wait until all bytes
    // came). The input queue size has no counterpart here and no effect.
    // False when the device refuses the settings.
    bool configure(int baud, int parity, int timeout_ms, int input_queue_size = -1, bool handshake = false);
    // False when not open.
    bool close();
    // Closes and opens again under the same name with the settings last
    // given to configure; whether the port is open again.
    bool reopen();
    // TCP: true at once when connected, else pauses and connects.
    bool connect_socket();
    // A serial device lost after a failed read (its reopen failed as well);
    // cleared when it is back, or by close and open.
    bool is_lost() const { return lost_; }
    // When lost: pauses lost_retry_ms, then reopens with the last settings;
    // whether the port is open. Not lost: at once, whether it is open.
    bool try_recover();

    // Reads count bytes (serial: as many as come within the time-outs; TCP:
    // all of them). *read_count receives how many came. A time-out sets the
    // short-read flag; it is a failure (false) when nothing came, and over
    // TCP whenever fewer than count came; a serial read that ends short with
    // some bytes is true.
    bool read(void* buffer, int count, int* read_count = nullptr);
    // Waits up to timeout_ms for a serial line to have bytes to read, or
    // for `wake_fd` (-1: none) to become readable (a stop request), without
    // taking a byte. Whatever cannot be waited on so (TCP, a closed or lost
    // port) answers input at once: the read then takes its usual course.
    enum class wait_result { input, woken, timeout };
    wait_result wait_for_input(int timeout_ms, int wake_fd);
    bool write(const void* buffer, int count);

    // While fd is readable every wait of a read, a write or a flush ends at
    // once (as a time-out); -1: none.
    void set_wake_fd(int fd);
    // Bounds every wait of the reads that follow to ms from now (0: what
    // has come is still taken), until clear_deadline().
    void set_deadline(int ms);
    void clear_deadline() { has_deadline_ = false; }
    // Around one frame's read: when the frame was not taken, the deadline
    // cut it and nothing was written meanwhile (a request's answer is not
    // read twice), end_frame gives its bytes back (and the packet error
    // counts they made) for the next read and answers true; otherwise what
    // was read is spent.
    void begin_frame();
    bool end_frame(bool taken);
    // Serial writes and flushes that ran out of time (each reopened the
    // port); the cause is in last_error() when it happens.
    long line_faults() const { return line_faults_; }
    // The cause of the last of them.
    const std::string& last_fault() const { return last_fault_; }

    // The byte read, sign-extended (-128..127); read_timeout when none came
    // in time, read_failed when the port is not open or the read failed
    // (either sets the short-read flag).
    int read_byte();
    // Reads count bytes one at a time; false at the first one that does not
    // come or fails (what came before is stored).
    bool smart_read(void* buffer, int count);
    // Reads one byte per marker byte (a zero-terminated byte string) and
    // compares them as unsigned bytes; false at the first byte that differs
    // (no further search), when a read fails, or when none comes (setting
    // the short-read flag).
    bool synchronize(const char* marker);
    // Waits until written bytes have left the serial line; TCP: nothing.
    bool flush();
    // Drops bytes received and not yet read (serial: the input queue; TCP:
    // what the connection holds now). False when the port is not open or
    // the connection broke.
    bool purge_input();

    bool set_rts();
    bool clear_rts();
    bool set_dtr();
    bool clear_dtr();
    // Whether CTS is on; false also when the line state cannot be read.
    bool check_cts();

    bool is_opened() const;
    bool is_tcp() const { return tcp_mode_; }
    bool is_connected() const { return connected_; }
    const std::string& name() const { return name_; }

    // Set when a read returned fewer bytes than asked or none; callers clear
    // it before a transfer and test it after.
    bool short_read() const { return short_read_; }
    void clear_short_read() { short_read_ = false; }

    // The cause of the last failure, naming the port.
    const std::string& last_error() const { return last_error_; }

    int get_corrected_error_counter() const { return corrected_errors_; }
    int get_uncorrected_error_counter() const { return uncorrected_errors_; }
    void reset_error_counters() { corrected_errors_ = uncorrected_errors_ = 0; }

    // The 4-bit code of a data byte: the XOR of j+1 over its set bits j,
    // XOR 0x0F.
    static std::uint8_t calculate_hamming_code(std::uint8_t byte);
    // The byte repaired against its received code: a difference d of 1 to 8
    // between the codes inverts bit d-1; larger differences keep the byte.
    static std::uint8_t correct_byte(std::uint8_t byte, std::uint8_t code);
    // Repairs the eight data bytes in place against their codes.
    static void correct_packet(CommPacket& packet);

    // One packet behind the marker, transposed back and checked against its
    // checksum and its codes. A damaged packet is repaired when exactly one
    // single-bit change makes it whole (a corrected error), else refused (an
    // uncorrected error).
    bool read_packet(CommPacket& packet, const char* marker);
    // One message of length bytes (0 to 127). Packets fill the slots of their
    // index; the message is taken once slots 0 to n-1 (n = length/8 + 1) hold
    // packets of one series. Bad packets, and packets whose index is n or
    // more, count as failures; five failures, a time-out, or 7n packets that
    // made no message end the read with false. With acknowledge, "CF" is
    // sent twice once the message is whole.
    bool read_data2(void* buffer, int length, bool acknowledge, const char* marker);
    // Sends a message of length bytes (0 to 127) as packets of series 0
    // behind "DP", pausing 10 ms after each; false when a write fails (the
    // rest is not sent) or the length is out of range.
    bool send_data2(const void* buffer, int length);

private:
    os::IoStatus receive(unsigned char* buffer, std::size_t count, std::size_t& got);
    os::IoStatus receive_line(unsigned char* buffer, std::size_t count, std::size_t& got);
    void serial_failed();
    // A serial write or flush that failed: a time-out is a line fault.
    bool serial_write_failed();
    void apply_timeouts();
    // What is left of the deadline, ms (-1: no deadline).
    int deadline_left() const;
    // A time-out of a read: whether it was the deadline's.
    void note_timeout();
    bool note(const std::string& error);

    std::unique_ptr<os::SerialPort> serial_;
    std::unique_ptr<os::TcpClient> socket_;
    bool tcp_mode_ = false;
    std::string host_;
    int tcp_port_ = 0;
    bool connected_ = false;

    std::string name_;
    bool configured_ = false;
    int baud_ = 0;
    int parity_ = 0;
    int timeout_ms_ = 500;  // the reopen time-out until configure gives one
    bool handshake_ = false;
    bool lost_ = false;
    std::string lost_cause_;  // the failure that lost the device

    int corrected_errors_ = 0;
    int uncorrected_errors_ = 0;
    bool short_read_ = false;

    int wake_fd_ = -1;
    bool has_deadline_ = false;
    std::int64_t deadline_ = 0;  // on the real monotonic clock, ms
    bool cut_ = false;           // a read ended at the deadline
    // Bytes given back by a cut frame, served before the line's; and, while
    // a frame is read, every byte it took.
    std::string pending_;
    std::string journal_;
    bool journaling_ = false;
    bool wrote_in_frame_ = false;
    int journal_corrected_ = 0;
    int journal_uncorrected_ = 0;
    long line_faults_ = 0;
    std::string last_fault_;
    std::string last_error_;
};
