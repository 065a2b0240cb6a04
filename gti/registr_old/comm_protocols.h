#pragma once
// CommProtocols: the hub's table of device protocols over its one port
// (serial line or TCP, CommPort). Each protocol is a named pair of
// functions: a read that takes one frame from the device into a
// CommIncomData, and an optional send that writes one frame built from a
// CommOutData and the hub's current values. The host selects a protocol by
// its number (its row in the table), configures the port for it and calls
// read_data and send_data in its acquisition cycle.
//
// Built in: row 0, the driller's console ("Новый пульт"), and row 1, an
// acquisition emulator that needs no port. The older devices' functions
// (read_data0 ... send_ind_unit) are there for the host to register.
//
// Locks: io_lock around every port transfer, last_data_lock around the
// snapshot of the last good frame, never both at once. The console's
// display packet is gathered under the hub lock, taken inside io_lock; so
// is every registry call the reads make (io_lock, then the hub lock).
//
// No operation throws on a device fault: a missing marker, a short read, a
// bad check or a repeated block is a false result, and the caller tries
// again on its next cycle.

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gti/registr_old/comm_data.h"
#include "library/comm_port.h"
#include "library/lock_object.h"

namespace rtl {
class StringList;
}

class CommProtocols;

namespace hardware {

class HubAccess;

using ReadFunction = std::function<bool(CommProtocols&, CommIncomData*)>;
using SendFunction = std::function<bool(CommProtocols&, CommOutData*)>;

struct Protocol {
    std::string name;
    std::int32_t middle_adc_value = 0;  // ADC code of the zero point
    std::int32_t max_adc_value = 0;     // full-scale ADC code
    std::int32_t baud = 0;
    std::int32_t timeout = 0;  // read time-out, ms
    ReadFunction read;
    SendFunction send;  // may be empty
};

// An indicator's output code for the older console: a fixed code (other
// than -1) as it stands, else value / full scale onto 0-255.
std::uint8_t dac_value(int fixed_code, double value, double full_scale);

}  // namespace hardware

class CommProtocols {
public:
    static constexpr int console_protocol = 0;
    static constexpr int emulator_protocol = 1;  // the one readable with the port closed
    static constexpr int console_report_size = 60;
    static constexpr int display_packet_size = 78;
    static constexpr int text_chars = 31;  // of the console's text line

    // Special ADC values and their texts (adc_value_2_str).
    static constexpr std::int32_t adc_timeout = std::int32_t(0x80000000u);
    static constexpr std::int32_t adc_crc_error = std::int32_t(0x80000001u);
    static constexpr std::int32_t adc_unknown = std::int32_t(0x80000002u);

    // hub: where the protocols read and publish the hub's values; null for
    // the station's own (hardware::station_hub()), looked up at first use.
    explicit CommProtocols(hardware::HubAccess* hub = nullptr);
    ~CommProtocols();
    CommProtocols(const CommProtocols&) = delete;
    CommProtocols& operator=(const CommProtocols&) = delete;

    // Appends a row and returns its number.
    int register_protocol(const std::string& name, hardware::ReadFunction read, hardware::SendFunction send,
                          int middle_adc, int max_adc, int baud, int timeout);
    void unregister_protocols();
    // Takes row n's functions out of the table, waiting for a transfer in
    // progress, so nothing calls them any more (a plug-in's row, before the
    // plug-in goes). The row keeps its place, so the numbers of the others
    // stay; rows emptied at the end of the table are dropped. False when n
    // is not a row.
    bool unregister_protocol(int n);
    int get_last_protocol() const { return last_protocol_; }
    int protocol_count() const;
    // Clears the list and adds every row's name in table order.
    void enum_protocols(rtl::StringList* list) const;

    // Configures the port for row n (57600-style baud of the row, no
    // parity, 8 data bits, 1 stop bit, the row's time-out) and takes the
    // row's ADC range; returns the time-out. A number outside the table
    // throws std::out_of_range.
    int configure_port(int n);

    // One frame of protocol n into d (cleared first). False when the port
    // is closed (except for the emulator), n is not a row (after 20 ms), or
    // the row's read found no complete, valid, new frame (after 10 ms).
    bool read_data(int n, CommIncomData* d);
    // One frame of protocol n, with RTS raised for the transfer and dropped
    // on every way out. False when the port is closed, n is not a row, the
    // row has no send, or the send failed.
    bool send_data(int n, CommOutData* out);

    // Forgets the last block number; on an open port also drops what was
    // received and not read, zeroes the packet error counters and reseeds
    // the emulator's generator.
    void clear();

    CommIncomData get_last_data();
    void update_last_data(const CommIncomData* d);
    // Channel 0-95 of the last good frame; 0 for any other index.
    int get_last_adc_value(int channel);
    int get_max_adc_value() const { return max_adc_value_; }
    int get_middle_adc_value() const { return middle_adc_value_; }
    int get_last_block_nubmer() const { return last_block_number_; }
    void set_last_block_nubmer(int block) { last_block_number_ = block; }
    int get_current_protocol() const { return current_protocol_; }
    int get_decimal_exponent() const { return decimal_exponent_; }

    // "T.O.", "CRC", "???" for the special values, else the number.
    static std::string adc_value_2_str(int value);

    // Sends a configuration block to the console: the header's characters,
    // the data and one XOR byte of the data, as plain bytes. With wait, two
    // good console reports must come first (ten tries, 200 ms after each
    // failed one). The port lock is held for the whole exchange. False when
    // the port is closed, the arguments are bad, the console did not
    // report, or the write failed.
    bool configure_pult1(const char* header, const void* data, int len, bool wait);

    // The port; the host opens and closes it.
    CommPort& get_port() { return port_; }

    // --- Protocol functions ---------------------------------------------
    // The console and the emulator (rows 0 and 1).
    bool read_data_new(CommIncomData* d);
    bool send_data_new_pult(CommOutData* out);
    bool read_data_emu(CommIncomData* d);
    // The older devices (registered by the host).
    bool read_data0(CommIncomData* d);
    bool read_data12(CommIncomData* d);
    bool read_data3(CommIncomData* d);
    bool read_data_uso1(CommIncomData* d);
    bool read_ind_unit(CommIncomData* d);
    bool send_data0(CommOutData* out);
    bool send_data123(CommOutData* out);
    bool send_ind_unit(CommOutData* out);

private:
    hardware::HubAccess& hub();
    bool current_has_send() const;
    // The frame behind marker into buffer_; false unless all of it came.
    bool read_frame(const char* marker, int length);
    bool write_frame(const char* marker, const std::uint8_t* body, int length);
    // The block rules: true when block repeats last; else sets block_lost
    // (when last is not -1) and makes block the last one.
    static bool repeated(int block, int last);
    static bool lost(int block, int last);

    std::uint8_t buffer_[256] = {};
    CommPort port_;
    mutable lib::lock_object io_lock_;
    lib::lock_object last_data_lock_;
    std::vector<hardware::Protocol> protocols_;
    int current_protocol_ = -1;
    int max_adc_value_ = 4095;
    int middle_adc_value_ = 0;
    CommIncomData last_data_;
    int last_block_number_ = -1;
    int last_protocol_ = 0;
    int decimal_exponent_ = 0;

    hardware::HubAccess* hub_;
    // The emulator's clock second, frame count and generator, and the
    // older 21-byte unit's own last block.
    std::optional<std::int64_t> emu_second_;
    long emu_frames_ = 0;
    std::minstd_rand random_;
    int last_block12_ = -1;
};

// The console block headers.
const char* get_options_pilot();      // "OPTIONS"
const char* get_control_pilot();      // "1CTRL"
const char* get_ext_options_pilot();  // "EX_OPTS"
