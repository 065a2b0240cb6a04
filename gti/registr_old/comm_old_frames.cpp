// The older devices' frames: the "MMV" acquisition units, the "MMV"
// data-collection unit, the "BMV" console and the "AD"/"DA" indicator unit.
// Their rows are registered by the host.

#include <algorithm>

#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/comm_wire.h"
#include "gti/registr_old/crc16.h"
#include "platform/os/clock.h"

using namespace hardware::wire;

namespace {

std::uint8_t xor_of(const std::uint8_t* p, int n) {
    std::uint8_t x = 0;
    for (int i = 0; i < n; ++i) x ^= p[i];
    return x;
}

constexpr const char* confirm = "CONFIRM";
constexpr int ind_unit_pause_ms = 50;

// The parameters the older console shows. The "BMV" frames fix only their
// places; these are the station's choice.
const char* const bmv48_params[4] = {"вес_на_крюке", "нагрузка", "давление_на_входе", "момент_ротора"};
const int bmv48_places[4] = {1, 2, 6, 9};
const char* const bmv48_config[2] = {"общий_вес_колонны", "нулевой_вес"};

struct Indicator {
    const char* param;
    double full_scale;
};
const Indicator bmv11_indicators[4] = {
    {"нагрузка", 50}, {"скорость_бурения", 10}, {"давление_на_входе", 30}, {"плотность_на_входе", 2}};
// While tripping (operation 1) the speed indicator shows the trip speed.
const Indicator bmv11_trip_speed = {"скорость_спо", 10};
constexpr int trip_operation = 1;

const char* const hook_load = "вес_на_крюке";

}  // namespace

bool CommProtocols::read_data0(CommIncomData* d) {
    if (!d || !read_frame("MMV", 40)) return false;
    for (int i = 0; i < 16; ++i) d->channels[i] = get_u16(buffer_ + 2 * i);
    d->rates[0] = get_u16(buffer_ + 32);
    int magnitude = get_u16(buffer_ + 34);
    d->counter_increment = get_u16(buffer_ + 36) != 0 ? magnitude : -magnitude;
    return true;
}

bool CommProtocols::read_data12(CommIncomData* d) {
    if (!d || !read_frame("MMV", 21)) return false;
    if (xor_of(buffer_, 21) != 0) return false;
    // Confirmed before the block rules: a unit that repeats a block did not
    // hear the last confirmation and must hear this one.
    port_.write(confirm, 7);
    port_.flush();
    for (int i = 0; i < 7; ++i) d->channels[i] = get_u16(buffer_ + 2 * i);
    d->status_bit0 = buffer_[14] & 1;
    d->status_bit1 = (buffer_[14] >> 1) & 1;
    const int block = buffer_[15];
    d->block_number = block;
    d->counter_increment = get_i16(buffer_ + 16);
    d->rates[0] = get_i16(buffer_ + 18);
    if (current_protocol_ == 2 || current_protocol_ == 4) {
        // The first frame is taken as following its predecessor.
        if (last_block12_ == -1) last_block12_ = (block + 255) % 256;
        if (repeated(block, last_block12_)) return false;
        d->block_lost = lost(block, last_block12_);
        last_block12_ = block;
    }
    return true;
}

bool CommProtocols::read_data3(CommIncomData* d) {
    if (!d || !read_frame("MMV", 41)) return false;
    if (xor_of(buffer_, 41) != 0) return false;
    port_.write(confirm, 7);
    port_.flush();
    for (int i = 0; i < 16; ++i) d->channels[i] = get_u16(buffer_ + 2 * i);
    d->status_bit0 = buffer_[32] & 1;
    d->status_bit1 = (buffer_[32] >> 1) & 1;
    const int block = buffer_[33];
    d->block_number = block;
    if (repeated(block, last_block_number_)) return false;
    d->block_lost = lost(block, last_block_number_);
    last_block_number_ = block;
    d->counter_increment = get_i16(buffer_ + 34);
    d->rates[0] = get_i16(buffer_ + 36);
    d->extra_rate = get_u16(buffer_ + 38);
    return true;
}

bool CommProtocols::read_data_uso1(CommIncomData* d) {
    if (!d || !read_frame("MMV", 21)) return false;
    std::uint8_t sum = 0;
    for (int i = 0; i < 21; ++i) sum = std::uint8_t(sum + buffer_[i]);
    if (sum != 0) return false;
    const int block = buffer_[0];
    decimal_exponent_ = buffer_[1];
    for (int i = 0; i < 5; ++i) d->channels[i] = get_i16(buffer_ + 2 + 2 * i);
    // Channel 0 scaled by 10^n, stopping at the ends of the channel's range
    // however large the unit's exponent byte.
    long long v = d->channels[0];
    for (int i = 0; i < decimal_exponent_ && v != 0; ++i) {
        v *= 10;
        if (v > 2147483647LL || v < -2147483648LL) {
            v = v > 0 ? 2147483647LL : -2147483648LL;
            break;
        }
    }
    d->channels[0] = std::int32_t(v);
    d->counter_increment = get_i16(buffer_ + 12);
    d->rates[0] = buffer_[14];
    d->extra_rate = buffer_[15];
    d->block_number = block;
    d->block_lost = lost(block, last_block_number_);
    last_block_number_ = block;
    return true;
}

bool CommProtocols::read_ind_unit(CommIncomData* d) {
    if (!d || !read_frame("AD", 10)) return false;
    if (crc16_ccitt(buffer_, 8) != get_u16(buffer_ + 8)) return false;
    d->block_number = get_u16(buffer_ + 2);
    d->channels[0] = get_u16(buffer_ + 4);
    return true;
}

bool CommProtocols::send_data0(CommOutData* out) {
    if (!out) return false;
    hardware::HubAccess& h = hub();
    float values[12] = {};
    {
        lib::Locker l(&h.hub_lock());
        values[0] = float(h.get_bottom_depth());
        for (int i = 0; i < 4; ++i) values[bmv48_places[i]] = float(h.get_average(bmv48_params[i]));
        values[10] = float(h.get_config_value(bmv48_config[0]));
        values[11] = float(h.get_config_value(bmv48_config[1]));
    }
    std::uint8_t body[48];
    for (int i = 0; i < 12; ++i) put_f32(body + 4 * i, values[i]);
    return write_frame("BMV", body, 48);
}

bool CommProtocols::send_data123(CommOutData* out) {
    if (!out || !port_.is_opened()) return false;
    hardware::HubAccess& h = hub();
    std::uint8_t body[11] = {};
    // Four digits, so the number is kept to 0-9999.
    const int number = std::clamp(out->display_number, 0, 9999);
    body[0] = std::uint8_t(number / 1000);
    body[1] = std::uint8_t(number / 100 % 10);
    body[2] = std::uint8_t(number / 10 % 10);
    body[3] = std::uint8_t(number % 10);
    {
        lib::Locker l(&h.hub_lock());
        const bool tripping = h.get_operation() == trip_operation;
        for (int i = 0; i < 4; ++i) {
            const Indicator& ind = (i == 1 && tripping) ? bmv11_trip_speed : bmv11_indicators[i];
            body[4 + i] = hardware::dac_value(h.get_indicator_code(i), h.get_average(ind.param), ind.full_scale);
        }
    }
    body[8] = out->out_flag0;
    body[9] = 0;
    body[10] = xor_of(body, 10);
    return write_frame("BMV", body, 11);
}

bool CommProtocols::send_ind_unit(CommOutData* out) {
    if (!out) return false;
    os::sleep_ms(ind_unit_pause_ms);
    hardware::HubAccess& h = hub();
    std::uint8_t f[48] = {'D', 'A'};
    double maximum = 0;
    hardware::Calibration cal;
    bool known;
    double hoist_ratio;
    {
        lib::Locker l(&h.hub_lock());
        if (!h.get_limit_max(hook_load, maximum)) maximum = 0;
        known = h.get_calibration(hook_load, cal);
        hoist_ratio = h.get_config_value("коэффицент_полиспаста");
    }
    put_f32(f + 4, float(maximum));
    int count = 0;
    auto point = [&](std::uint16_t code, double value) {
        put_u16(f + 10 + 6 * count, code);
        put_f32(f + 12 + 6 * count, float(value));
        ++count;
    };
    if (known && !cal.points.empty()) {
        for (const auto& [volts, value] : cal.points) {
            if (count == 6) break;
            // Volts 0-5 onto the unit's 12-bit codes.
            point(low16(std::clamp(to_int(volts * 4095 * 0.2), 0, 0xFFFF)), value);
        }
    } else if (known) {
        point(0, cal.offset);
        point(4095, hoist_ratio * cal.gain + cal.offset);
    }
    put_u16(f + 8, std::uint16_t(count));
    put_u16(f + 46, crc16_ccitt(f, 46));
    return port_.write(f, 48);
}
