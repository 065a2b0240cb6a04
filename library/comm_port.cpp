#include "library/comm_port.h"

#include <algorithm>
#include <cstring>

#include "platform/os/clock.h"
#include "platform/os/port_name.h"
#include "platform/os/serial_port.h"
#include "platform/os/tcp_client.h"

namespace {

os::Parity parity_of(int code) {
    switch (code) {
        case CommPort::parity_odd: return os::Parity::odd;
        case CommPort::parity_even: return os::Parity::even;
        case CommPort::parity_mark: return os::Parity::mark;
        case CommPort::parity_space: return os::Parity::space;
        default: return os::Parity::none;
    }
}

}  // namespace

CommPort::CommPort() : serial_(std::make_unique<os::SerialPort>()) {}

CommPort::~CommPort() { close(); }

bool CommPort::note(const std::string& error) {
    last_error_ = error;
    return false;
}

bool CommPort::is_opened() const { return serial_->is_open() || tcp_mode_; }

bool CommPort::open(const std::string& name) {
    if (is_opened()) return note("port '" + name_ + "' is already open");
    os::PortAddress address = os::parse_port_name(name);
    if (address.tcp) {
        tcp_mode_ = true;
        host_ = address.host;
        tcp_port_ = address.port;
        socket_ = std::make_unique<os::TcpClient>();
        socket_->set_wake_fd(wake_fd_);
        connected_ = false;
        name_ = name;
        connect_socket();
        return true;
    }
    if (!serial_->open(address.device)) return note(serial_->error());
    // Reads and writes stay bounded until configure gives the device's own
    // time-out.
    apply_timeouts();
    serial_->set_wake_fd(wake_fd_);
    name_ = name;
    return true;
}

void CommPort::apply_timeouts() {
    // A write may take the time its bytes need on the wire (10 bits a byte)
    // on top of the time-out; a line without a read time-out still gets a
    // bound for its writes.
    const int baud = configured_ && baud_ > 0 ? baud_ : 9600;
    const int per_byte = (10000 + baud - 1) / baud;
    const int constant = timeout_ms_ > 0 ? timeout_ms_ : reopen_pause_ms;
    serial_->set_timeouts({timeout_ms_, 0, timeout_ms_, per_byte, constant});
}

void CommPort::set_wake_fd(int fd) {
    wake_fd_ = fd;
    serial_->set_wake_fd(fd);
    if (socket_) socket_->set_wake_fd(fd);
}

void CommPort::set_deadline(int ms) {
    has_deadline_ = true;
    deadline_ = os::system_clock().now_ms() + std::max(ms, 0);
}

int CommPort::deadline_left() const {
    if (!has_deadline_) return -1;
    return int(std::clamp<std::int64_t>(deadline_ - os::system_clock().now_ms(), 0, 1 << 30));
}

void CommPort::note_timeout() {
    if (has_deadline_ && deadline_left() == 0) cut_ = true;
}

void CommPort::begin_frame() {
    journal_.clear();
    journaling_ = true;
    cut_ = false;
    wrote_in_frame_ = false;
    journal_corrected_ = corrected_errors_;
    journal_uncorrected_ = uncorrected_errors_;
}

bool CommPort::end_frame(bool taken) {
    journaling_ = false;
    // A frame in parts is bounded by the longest the protocols read (the
    // packet protocol's 16 packets of 16 bytes and the junk five failures
    // allow); anything longer is no frame worth keeping.
    constexpr std::size_t most_kept = 4096;
    // A frame whose exchange wrote to the line (a request, a confirmation) is
    // a conversation: its answer is not to be read twice.
    const bool keep = !taken && cut_ && !wrote_in_frame_ && !journal_.empty() && journal_.size() + pending_.size() <= most_kept;
    if (keep) {
        pending_.insert(0, journal_);
        // The bytes are checked again when they are read again.
        corrected_errors_ = journal_corrected_;
        uncorrected_errors_ = journal_uncorrected_;
    }
    journal_.clear();
    cut_ = false;
    return keep;
}

bool CommPort::configure(int baud, int parity, int timeout_ms, int /*input_queue_size*/, bool handshake) {
    if (!serial_->is_open()) return true;
    configured_ = true;
    baud_ = baud;
    parity_ = parity;
    timeout_ms_ = std::max(timeout_ms, 0);
    handshake_ = handshake;
    apply_timeouts();
    os::SerialSettings settings;
    settings.baud = baud;
    settings.parity = parity_of(parity);
    settings.data_bits = 8;
    settings.stop_bits = 1;
    settings.rts_cts = handshake;
    if (!serial_->configure(settings)) return note(serial_->error());
    return true;
}

bool CommPort::close() {
    lost_ = false;
    if (!is_opened()) return false;
    if (socket_) socket_->close();
    socket_.reset();
    pending_.clear();
    journal_.clear();
    tcp_mode_ = false;
    connected_ = false;
    serial_->close();
    return true;
}

bool CommPort::reopen() {
    std::string name = name_;
    close();
    if (!open(name)) return false;
    if (configured_ && !configure(baud_, parity_, timeout_ms_, -1, handshake_)) return false;
    return true;
}

bool CommPort::connect_socket() {
    if (!tcp_mode_ || !socket_) return false;
    if (connected_ && socket_->is_connected()) return true;
    connected_ = false;
    socket_->close();
    os::sleep_ms(connect_pause_ms);
    if (!socket_->connect(host_, tcp_port_, connect_timeout_ms)) return note(socket_->error());
    connected_ = true;
    return true;
}

void CommPort::serial_failed() {
    note(serial_->error());
    std::string error = last_error_;
    os::sleep_ms(reopen_pause_ms);
    lost_ = !reopen();
    last_error_ = error;  // the cause, not the reopen's outcome
    lost_cause_ = error;
}

bool CommPort::try_recover() {
    if (!lost_) return is_opened();
    os::sleep_ms(lost_retry_ms);
    if (reopen()) return true;  // reopen's close cleared the loss
    lost_ = true;
    last_error_ = lost_cause_ + "; still away: " + last_error_;
    return false;
}

CommPort::wait_result CommPort::wait_for_input(int timeout_ms, int wake_fd) {
    if (tcp_mode_ || lost_ || !serial_->is_open() || !pending_.empty()) return wait_result::input;
    switch (serial_->wait_input(timeout_ms, wake_fd)) {
        case os::SerialPort::Wait::woken: return wait_result::woken;
        case os::SerialPort::Wait::timeout: return wait_result::timeout;
        case os::SerialPort::Wait::input:
        case os::SerialPort::Wait::failed: break;
    }
    return wait_result::input;
}

os::IoStatus CommPort::receive(unsigned char* buffer, std::size_t count, std::size_t& got) {
    got = std::min(count, pending_.size());
    if (got > 0) {
        std::memcpy(buffer, pending_.data(), got);
        pending_.erase(0, got);
    }
    os::IoStatus status = os::IoStatus::ok;
    if (got < count) {
        std::size_t more = 0;
        status = receive_line(buffer + got, count - got, more);
        got += more;
    }
    if (journaling_) journal_.append(reinterpret_cast<const char*>(buffer), got);
    if (status == os::IoStatus::timeout) note_timeout();
    return status;
}

os::IoStatus CommPort::receive_line(unsigned char* buffer, std::size_t count, std::size_t& got) {
    got = 0;
    if (!tcp_mode_) {
        os::IoStatus status = serial_->read(buffer, count, got, deadline_left());
        if (status == os::IoStatus::failed) serial_failed();
        return status;
    }
    if (!connect_socket()) return os::IoStatus::failed;
    while (got < count) {
        std::size_t n = 0;
        const int left = deadline_left();
        const int wait = left < 0 ? tcp_wait_ms : std::min(left, int(tcp_wait_ms));
        os::IoStatus status = socket_->read_some(buffer + got, count - got, wait, n);
        got += n;
        if (status == os::IoStatus::timeout) return status;
        if (status == os::IoStatus::failed) {
            // The peer closed or the link broke: the next transfer reconnects
            // (after its pause) instead of reading a dead socket again.
            connected_ = false;
            note(socket_->error());
            return status;
        }
    }
    return os::IoStatus::ok;
}

bool CommPort::read(void* buffer, int count, int* read_count) {
    if (read_count) *read_count = 0;
    if (lost_ && !try_recover()) return false;
    if (!is_opened()) return note("port is not open");
    if (count < 0 || (count > 0 && !buffer)) return note("bad read arguments");
    std::size_t got = 0;
    os::IoStatus status = receive(static_cast<unsigned char*>(buffer), std::size_t(count), got);
    if (read_count) *read_count = int(got);
    if (status == os::IoStatus::ok) return true;
    short_read_ = true;
    if (status == os::IoStatus::timeout) {
        note("port '" + name_ + "': time-out");
        return !tcp_mode_ && got > 0;
    }
    return false;
}

bool CommPort::write(const void* buffer, int count) {
    if (lost_ && !try_recover()) return false;
    if (!is_opened()) return note("port is not open");
    if (count < 0 || (count > 0 && !buffer)) return note("bad write arguments");
    if (journaling_) wrote_in_frame_ = true;
    if (!tcp_mode_) return serial_->write(buffer, std::size_t(count)) || serial_write_failed();
    if (!connect_socket()) return false;
    if (socket_->write_all(buffer, std::size_t(count), tcp_wait_ms)) return true;
    if (!socket_->woken()) connected_ = false;
    return note(socket_->error());
}

bool CommPort::serial_write_failed() {
    note(serial_->error());
    if (!serial_->timed_out()) return false;
    // The line stopped taking bytes (a device that does not read, a
    // handshake held): what it holds is dropped, or the reopen's close
    // would wait for it, and the line is reopened as after a failed read.
    ++line_faults_;
    last_fault_ = last_error_;
    serial_->purge_output();
    serial_failed();
    return false;
}

int CommPort::read_byte() {
    if (lost_ && !try_recover()) {
        short_read_ = true;
        return read_failed;
    }
    if (!is_opened()) {
        note("port is not open");
        return read_failed;
    }
    unsigned char byte = 0;
    std::size_t got = 0;
    switch (receive(&byte, 1, got)) {
        case os::IoStatus::ok: return static_cast<signed char>(byte);
        case os::IoStatus::timeout:
            short_read_ = true;
            note("port '" + name_ + "': time-out");
            return read_timeout;
        case os::IoStatus::failed: break;
    }
    short_read_ = true;  // nothing came
    return read_failed;
}

bool CommPort::smart_read(void* buffer, int count) {
    if (count < 0 || (count > 0 && !buffer)) return note("bad read arguments");
    auto* out = static_cast<unsigned char*>(buffer);
    for (int i = 0; i < count; ++i) {
        int b = read_byte();
        if (b == read_timeout || b == read_failed) return false;
        out[i] = static_cast<unsigned char>(b);
    }
    return true;
}

bool CommPort::synchronize(const char* marker) {
    if (!is_opened()) return note("port is not open");
    if (!marker) return note("no marker");
    for (const char* m = marker; *m; ++m) {
        int b = read_byte();
        if (b == read_timeout || b == read_failed) return false;
        if ((b & 0xFF) != static_cast<unsigned char>(*m)) return false;
    }
    return true;
}

bool CommPort::flush() {
    if (!is_opened()) return false;
    if (tcp_mode_) return true;
    return serial_->drain() || serial_write_failed();
}

bool CommPort::purge_input() {
    if (!is_opened()) return false;
    pending_.clear();
    if (!tcp_mode_) return serial_->purge_input() || note(serial_->error());
    // A socket has no queue to flush: what has come is read and dropped, so
    // that the next read takes only what comes after.
    if (!connected_ || !socket_) return true;
    unsigned char drop[512];
    for (;;) {
        std::size_t n = 0;
        const os::IoStatus status = socket_->read_some(drop, sizeof drop, 0, n);
        if (status == os::IoStatus::failed) {
            connected_ = false;
            return note(socket_->error());
        }
        if (status != os::IoStatus::ok || n == 0) return true;
    }
}

bool CommPort::set_rts() { return serial_->set_rts(true) || note(serial_->error()); }
bool CommPort::clear_rts() { return serial_->set_rts(false) || note(serial_->error()); }
bool CommPort::set_dtr() { return serial_->set_dtr(true) || note(serial_->error()); }
bool CommPort::clear_dtr() { return serial_->set_dtr(false) || note(serial_->error()); }

bool CommPort::check_cts() {
    bool cts = false;
    if (!serial_->get_cts(cts)) return note(serial_->error());
    return cts;
}

std::uint8_t CommPort::calculate_hamming_code(std::uint8_t byte) {
    std::uint8_t code = 0;
    for (int j = 0; j < 8; ++j)
        if (byte & (1 << j)) code ^= std::uint8_t(j + 1);
    return std::uint8_t(code ^ 0x0F);
}

std::uint8_t CommPort::correct_byte(std::uint8_t byte, std::uint8_t code) {
    std::uint8_t d = std::uint8_t((calculate_hamming_code(byte) ^ code) & 0x0F);
    if (d == 0 || d > 8) return byte;
    return std::uint8_t(byte ^ (1 << (d - 1)));
}

void CommPort::correct_packet(CommPacket& packet) {
    for (int k = 0; k < 8; ++k) packet.data[k] = correct_byte(packet.data[k], packet.code_of(k));
}

namespace {

bool packet_whole(const CommPacket& p) {
    if (p.get_contol_summ() != p.checksum) return false;
    for (int k = 0; k < 8; ++k)
        if (p.code_of(k) != CommPort::calculate_hamming_code(p.data[k])) return false;
    return true;
}

}  // namespace

bool CommPort::read_packet(CommPacket& packet, const char* marker) {
    if (!synchronize(marker)) return false;
    int got = 0;
    // A packet that came only in part is no packet: its missing bytes would
    // be checked as stale ones.
    if (!read(&packet, int(sizeof packet), &got) || got != int(sizeof packet)) return false;
    packet.change_bits();
    if (packet_whole(packet)) return true;
    // The checksum alone misses many flips in the high byte of a word, and
    // the codes alone cannot tell a flipped data bit from a flipped code bit.
    // So a packet is repaired only by the one single-bit change that makes
    // both agree; when no change or more than one does, it is refused rather
    // than guessed.
    auto* bytes = reinterpret_cast<std::uint8_t*>(&packet);
    int repairs = 0, repair = -1;
    for (int bit = 0; bit < int(sizeof packet) * 8 && repairs < 2; ++bit) {
        bytes[bit / 8] ^= std::uint8_t(1 << (bit % 8));
        if (packet_whole(packet)) {
            ++repairs;
            repair = bit;
        }
        bytes[bit / 8] ^= std::uint8_t(1 << (bit % 8));
    }
    if (repairs == 1) {
        bytes[repair / 8] ^= std::uint8_t(1 << (repair % 8));
        ++corrected_errors_;
        return true;
    }
    ++uncorrected_errors_;
    return false;
}

bool CommPort::read_data2(void* buffer, int length, bool acknowledge, const char* marker) {
    if (!is_opened()) return note("port is not open");
    if (length < 0 || length > max_message || (length > 0 && !buffer))
        return note("message length " + std::to_string(length) + " out of range");
    const int n = length / 8 + 1;
    CommPacket slots[16];
    bool filled[16] = {};
    int failures = 0;
    // Good packets that never make a message (a device with a shorter one,
    // series that never agree) are no failures, yet must not keep the read
    // for as long as they come. A healthy device completes a message well
    // within this many packets even after the rest of another and five
    // damaged ones.
    const int packet_limit = 7 * n;
    int packets = 0;
    for (;;) {
        short_read_ = false;
        CommPacket packet;
        bool good = read_packet(packet, marker);
        if (short_read_) return false;
        if (good && packet.index() < n) {
            slots[packet.index()] = packet;
            filled[packet.index()] = true;
        } else {
            // A packet of a longer message never stands in for one of ours.
            ++failures;
        }
        bool whole = std::all_of(filled, filled + n, [](bool f) { return f; });
        if (whole) {
            int series = slots[0].series();
            whole = std::all_of(slots, slots + n, [&](const CommPacket& p) { return p.series() == series; });
        }
        if (whole) break;
        if (failures >= 5) return note("port '" + name_ + "': too many bad packets");
        if (++packets >= packet_limit) return note("port '" + name_ + "': packets that make no message");
    }
    if (acknowledge) {
        for (int i = 0; i < 2; ++i) {
            write("CF", 2);
            flush();
            os::sleep_ms(packet_pause_ms);
        }
    }
    auto* out = static_cast<unsigned char*>(buffer);
    for (int i = 0; i < n; ++i) {
        int take = std::min(8, length - 8 * i);
        if (take > 0) std::memcpy(out + 8 * i, slots[i].data, std::size_t(take));
    }
    return true;
}

bool CommPort::send_data2(const void* buffer, int length) {
    if (!is_opened()) return note("port is not open");
    if (length < 0 || length > max_message || (length > 0 && !buffer))
        return note("message length " + std::to_string(length) + " out of range");
    auto* in = static_cast<const unsigned char*>(buffer);
    for (int k = 0; k <= length / 8; ++k) {
        CommPacket packet;
        packet.head = std::uint8_t(k & 0x0F);
        int take = std::min(8, length - 8 * k);
        if (take > 0) std::memcpy(packet.data, in + 8 * k, std::size_t(take));
        packet.checksum = packet.get_contol_summ();
        for (int j = 0; j < 8; ++j) {
            std::uint8_t code = calculate_hamming_code(packet.data[j]);
            packet.hamming[j / 2] |= std::uint8_t(j % 2 == 0 ? code << 4 : code);
        }
        packet.change_bits();
        if (!write("DP", 2) || !write(&packet, int(sizeof packet))) return false;
        os::sleep_ms(packet_pause_ms);
    }
    return true;
}
