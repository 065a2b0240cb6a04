#include "gti/registr_old/comm_protocols.h"

#include <algorithm>
#include <stdexcept>

#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/comm_wire.h"
#include "platform/os/clock.h"
#include "platform/rtl/string_list.h"

namespace hardware {

std::uint8_t dac_value(int fixed_code, double value, double full_scale) {
    if (fixed_code != -1) return std::uint8_t(std::clamp(fixed_code, 0, 255));
    if (!(full_scale != 0)) return 0;
    double v = std::trunc(value / full_scale * 255);
    if (!(v > 0)) return 0;  // NaN too
    return std::uint8_t(std::min(v, 255.0));
}

}  // namespace hardware

namespace {

constexpr int bad_row_pause_ms = 20;
constexpr int failed_read_pause_ms = 10;
constexpr int console_retry_pause_ms = 200;
constexpr int console_tries = 10;

// Drops RTS however the send ends.
class RtsRaised {
public:
    explicit RtsRaised(CommPort& port) : port_(port) { port_.set_rts(); }
    ~RtsRaised() { port_.clear_rts(); }
    RtsRaised(const RtsRaised&) = delete;
    RtsRaised& operator=(const RtsRaised&) = delete;

private:
    CommPort& port_;
};

}  // namespace

CommProtocols::CommProtocols(hardware::HubAccess* hub) : hub_(hub) {
    register_protocol("Новый пульт", &CommProtocols::read_data_new, &CommProtocols::send_data_new_pult, 0, 4095, 57600,
                      500);
    register_protocol("*** ЭМУЛЯЦИЯ РАБОТЫ УСО ***", &CommProtocols::read_data_emu, nullptr, 0, 4095, 9600, 500);
}

CommProtocols::~CommProtocols() = default;

hardware::HubAccess& CommProtocols::hub() { return hub_ ? *hub_ : hardware::station_hub(); }

int CommProtocols::register_protocol(const std::string& name, hardware::ReadFunction read, hardware::SendFunction send,
                                     int middle_adc, int max_adc, int baud, int timeout) {
    lib::Locker l(&io_lock_);
    hardware::Protocol p;
    p.name = name;
    p.read = std::move(read);
    p.send = std::move(send);
    p.middle_adc_value = middle_adc;
    p.max_adc_value = max_adc;
    p.baud = baud;
    p.timeout = timeout;
    protocols_.push_back(std::move(p));
    last_protocol_ = int(protocols_.size()) - 1;
    return last_protocol_;
}

void CommProtocols::unregister_protocols() {
    lib::Locker l(&io_lock_);
    protocols_.clear();
    last_protocol_ = 0;
}

bool CommProtocols::unregister_protocol(int n) {
    lib::Locker l(&io_lock_);
    if (n < 0 || n >= int(protocols_.size())) return false;
    hardware::Protocol& p = protocols_[std::size_t(n)];
    p.read = nullptr;
    p.send = nullptr;
    p.name.clear();
    while (!protocols_.empty() && !protocols_.back().read && !protocols_.back().send) protocols_.pop_back();
    last_protocol_ = protocols_.empty() ? 0 : int(protocols_.size()) - 1;
    return true;
}

int CommProtocols::protocol_count() const {
    lib::Locker l(&io_lock_);
    return int(protocols_.size());
}

void CommProtocols::enum_protocols(rtl::StringList* list) const {
    if (!list) return;
    lib::Locker l(&io_lock_);
    list->Clear();
    for (const auto& p : protocols_) list->Add(p.name);
}

int CommProtocols::configure_port(int n) {
    lib::Locker l(&io_lock_);
    if (n < 0 || n >= int(protocols_.size()))
        throw std::out_of_range("CommProtocols::configure_port: no protocol " + std::to_string(n));
    const hardware::Protocol& p = protocols_[std::size_t(n)];
    port_.configure(p.baud, CommPort::parity_none, p.timeout, 2048, false);
    max_adc_value_ = p.max_adc_value;
    middle_adc_value_ = p.middle_adc_value;
    return p.timeout;
}

bool CommProtocols::read_data(int n, CommIncomData* d) {
    if (!d) return false;
    bool ok = false;
    {
        lib::Locker l(&io_lock_);
        // A lost serial device is retried here, at the port's pace, so a
        // caller polling for frames waits rather than spins.
        if (n != emulator_protocol && !port_.is_opened() && !port_.try_recover()) return false;
        current_protocol_ = n;
        d->clear();
        if (n < 0 || n >= int(protocols_.size()) || !protocols_[std::size_t(n)].read) {
            os::sleep_ms(bad_row_pause_ms);
            return false;
        }
        // A copy: a read function may register rows of its own.
        hardware::ReadFunction read = protocols_[std::size_t(n)].read;
        // A frame the caller's deadline cut is read on from its start next
        // time: its bytes go back to the port, and no pause follows.
        port_.begin_frame();
        ok = read(*this, d);
        if (port_.end_frame(ok)) return false;
    }
    if (!ok) {
        os::sleep_ms(failed_read_pause_ms);
        return false;
    }
    lib::Locker l(&last_data_lock_);
    d->counter_total += d->counter_increment;
    last_data_ = *d;
    return true;
}

bool CommProtocols::send_data(int n, CommOutData* out) {
    lib::Locker l(&io_lock_);
    if (!port_.is_opened()) return false;
    RtsRaised rts(port_);
    current_protocol_ = n;
    if (n < 0 || n >= int(protocols_.size()) || !protocols_[std::size_t(n)].send || !out) return false;
    hardware::SendFunction send = protocols_[std::size_t(n)].send;
    return send(*this, out);
}

void CommProtocols::clear() {
    lib::Locker l(&io_lock_);
    last_block_number_ = -1;
    if (!port_.is_opened()) return;
    port_.purge_input();
    port_.reset_error_counters();
    random_.seed(std::uint32_t(os::clock().now_ms() / 1000));
}

CommIncomData CommProtocols::get_last_data() {
    lib::Locker l(&last_data_lock_);
    return last_data_;
}

void CommProtocols::update_last_data(const CommIncomData* d) {
    if (!d) return;
    lib::Locker l(&last_data_lock_);
    last_data_ = *d;
}

int CommProtocols::get_last_adc_value(int channel) {
    if (channel < 0 || channel >= CommIncomData::channel_count) return 0;
    lib::Locker l(&last_data_lock_);
    return last_data_.channels[channel];
}

std::string CommProtocols::adc_value_2_str(int value) {
    if (value == adc_timeout) return "T.O.";
    if (value == adc_crc_error) return "CRC";
    if (value == adc_unknown) return "???";
    return std::to_string(value);
}

bool CommProtocols::configure_pult1(const char* header, const void* data, int len, bool wait) {
    // The whole exchange under the port lock: no acquisition read may take
    // the console's reports, and no other frame may slip in between.
    lib::Locker l(&io_lock_);
    if (!port_.is_opened()) return false;
    if (!header || len < 0 || (len > 0 && !data)) return false;
    auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint8_t check = 0;
    for (int i = 0; i < len; ++i) check ^= bytes[i];
    if (wait) {
        // The reports are read the console's way (and confirmed) also before
        // the acquisition cycle's first read has chosen a row; the row in
        // force before is what stays.
        struct ConsoleRow {
            int& current;
            const int before;
            ~ConsoleRow() { current = before; }
        } row{current_protocol_, current_protocol_};
        if (current_protocol_ < 0 || current_protocol_ >= int(protocols_.size())) current_protocol_ = console_protocol;
        int good = 0;
        for (int i = 0; i < console_tries && good < 2; ++i) {
            CommIncomData scratch;
            if (read_data_new(&scratch))
                ++good;
            else
                os::sleep_ms(console_retry_pause_ms);
        }
        if (good < 2) return false;
    }
    std::vector<std::uint8_t> block(header, header + std::char_traits<char>::length(header));
    block.insert(block.end(), bytes, bytes + len);
    block.push_back(check);
    return port_.write(block.data(), int(block.size()));
}

bool CommProtocols::current_has_send() const {
    return current_protocol_ >= 0 && current_protocol_ < int(protocols_.size()) &&
           bool(protocols_[std::size_t(current_protocol_)].send);
}

bool CommProtocols::read_frame(const char* marker, int length) {
    if (length < 0 || length > int(sizeof buffer_)) return false;
    if (!port_.synchronize(marker)) return false;
    int got = 0;
    // A frame that came only in part is no frame.
    return port_.read(buffer_, length, &got) && got == length;
}

bool CommProtocols::write_frame(const char* marker, const std::uint8_t* body, int length) {
    std::vector<std::uint8_t> frame(marker, marker + std::char_traits<char>::length(marker));
    frame.insert(frame.end(), body, body + length);
    return port_.write(frame.data(), int(frame.size()));
}

bool CommProtocols::repeated(int block, int last) { return block == last; }

bool CommProtocols::lost(int block, int last) {
    if (last == -1) return false;
    return block == 0 ? last != 255 : block != last + 1;
}

const char* get_options_pilot() { return "OPTIONS"; }
const char* get_control_pilot() { return "1CTRL"; }
const char* get_ext_options_pilot() { return "EX_OPTS"; }
