// The driller's console (row 0) and the acquisition emulator (row 1).

#include <cmath>

#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/comm_wire.h"
#include "platform/os/clock.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"

using namespace hardware::wire;

namespace {

// A rate code: the rate itself, or with bit 15 set a period whose rate is
// 100 / period (0 for period 0).
float rate_of_code(std::uint16_t r) {
    if (!(r & 0x8000)) return float(r);
    unsigned period = r & 0x7FFF;
    return period ? 100.0f / float(period) : 0.0f;
}

// The sensors whose failure flags the console shows, by bit.
struct FailureBit {
    int bit;
    const char* param;
};
const FailureBit failure_bits[] = {
    {0, "момент_ротора"},
    {1, "давление_на_входе"},
    {2, "вес_на_крюке"},
    {3, "нагрузка"},
    {5, "плотность_на_входе"},
    {6, "уровень_в_емкости"},
    {7, "расход_на_входе"},
    // The outlet flow shares bit 0 with the rotor torque.
    {0, "расход_на_выходе"},
};

}  // namespace

bool CommProtocols::read_data_new(CommIncomData* d) {
    // Whether to confirm the report depends on the current row; with no row
    // selected there is nothing to read for.
    if (current_protocol_ < 0 || current_protocol_ >= int(protocols_.size()) || !d) return false;
    std::uint8_t p[console_report_size];
    if (!port_.read_data2(p, console_report_size, current_has_send(), "SP")) return false;

    const std::uint8_t status = p[48];
    d->status_bit0 = status & 1;
    d->status_bit1 = (status >> 1) & 1;
    d->status_bit2 = (status >> 2) & 1;
    d->status_bit3 = (status >> 3) & 1;
    d->status_bit4 = (status >> 4) & 1;

    const int block = p[49];
    d->block_number = block;
    d->block_lost = 0;
    if (repeated(block, last_block_number_)) return false;
    d->block_lost = lost(block, last_block_number_);
    last_block_number_ = block;

    d->counter_increment = get_i16(p + 50);
    for (int i = 0; i < 3; ++i) d->rates[std::size_t(i)] = rate_of_code(get_u16(p + 52 + 2 * i));
    d->extra_rate = rate_of_code(get_u16(p + 58));
    for (int i = 0; i < 24; ++i) d->channels[i] = get_u16(p + 2 * i);

    // Channels 20-23 are the console's own rails and temperature sensor,
    // through dividers onto a 2.5 V reference.
    const double m = max_adc_value_;
    auto volts = [m](int code) { return m != 0 ? 2.5 * code / m : 0.0; };
    d->plus5v = float(4.012 * volts(d->channels[20]));
    d->plus12v = float(7.024 * volts(d->channels[21]));
    d->supply_voltage = float(2.0 * volts(d->channels[23]));
    d->temperature = d->channels[22] != 0 && m != 0 ? float((volts(d->channels[22]) - 1.009621489) * 271) : 0.0f;

    hardware::HubAccess& h = hub();
    h.set_variable("pult.voltage", rtl::FloatToStr(d->supply_voltage));
    h.set_variable("pult.tempr", rtl::FloatToStr(d->temperature));
    h.set_variable("pult.+5v", rtl::FloatToStr(d->plus5v));
    h.set_variable("pult.+12v", rtl::FloatToStr(d->plus12v));

    d->status_bit5 = (status >> 5) & 1;
    d->status_bit5and6 = (status & 0x60) == 0x60;
    return true;
}

bool CommProtocols::send_data_new_pult(CommOutData* out) {
    if (!out) return false;
    hardware::HubAccess& h = hub();

    // The text line: an alarm text wins over the stop-drilling text, which
    // wins over the plug-in's line.
    std::string text = h.get_variable("pult.text");
    std::string sorvi = h.get_variable("sorvi.pult.text");
    if (!sorvi.empty()) text = sorvi;
    std::string alarm = h.get_variable("prom_alarm_string");
    if (!alarm.empty()) text = alarm;
    // One byte per character in the console's code page, so the cut counts
    // characters.
    std::string line = rtl::utf8_to_cp1251(rtl::AnsiUpperCase(text));
    if (line.size() > std::size_t(text_chars)) line.resize(text_chars);
    line.resize(32, '@');

    std::uint8_t p[display_packet_size] = {};
    std::int32_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = to_int(out->values[i]);
    std::uint8_t gas_scale;
    float string_weight;
    unsigned failures = 0;
    std::int32_t bottom, current;
    {
        lib::Locker l(&h.hub_lock());
        words[0] = to_int_rounded(h.get_average("момент_ротора") * 10);
        words[4] = to_int_rounded(h.get_average("скорость_бурения"));
        words[5] = to_int_rounded(h.get_float_variable("pult.plotn_indi") * 100);
        words[6] = to_int_rounded(h.get_float_variable("pult.level_indi") * 100);
        words[7] = to_int_rounded(h.get_average("расход_на_входе"));
        words[8] = to_int_rounded(h.get_average("расход_на_выходе"));
        double gas = h.get_float_variable("pult.gaz_indi");
        if (gas >= 10) {
            words[11] = to_int_rounded(gas * 10);
            gas_scale = 1;
        } else {
            words[11] = to_int_rounded(gas * 100);
            gas_scale = 2;
        }
        string_weight = float(h.get_config_value("общий_вес_колонны"));
        for (const FailureBit& f : failure_bits)
            if (h.get_failure(f.param)) failures |= 1u << f.bit;
        bottom = to_int(h.get_bottom_depth());
        current = to_int(h.get_float_variable("pult.cur_depth"));
    }
    for (int i = 0; i < 16; ++i) {
        std::uint16_t w = low16(words[i]);
        if (std::int16_t(w) < 0) w = 0;
        put_u16(p + 2 * i, w);
    }
    std::copy(line.begin(), line.begin() + 32, p + 32);
    p[64] = std::uint8_t((out->out_flag0 != 0 ? 1 : 0) | std::uint8_t(out->out_flag1 * 2));
    p[65] = 0x0F;
    p[66] = gas_scale;
    p[67] = 0;
    put_f32(p + 68, string_weight);
    put_u16(p + 72, std::uint16_t(failures));
    put_u16(p + 74, low16(bottom));
    put_u16(p + 76, low16(current));
    return port_.send_data2(p, display_packet_size);
}

bool CommProtocols::read_data_emu(CommIncomData* d) {
    if (!d) return false;
    // One frame per second of the clock.
    std::int64_t second = os::clock().now_ms() / 1000;
    while (emu_second_ && *emu_second_ == second) {
        os::sleep_ms(10);
        second = os::clock().now_ms() / 1000;
    }
    emu_second_ = second;
    for (int i = 0; i < 32; ++i) d->channels[i] = 1024 + int(random_() % 3072);
    int c = int(std::trunc(4 + 4 * std::sin(emu_frames_ / 30.0) + 2));
    d->counter_increment = c > 0 ? int(random_() % unsigned(c)) : 0;
    d->extra_rate = float(random_() % 2);
    ++emu_frames_;
    for (int i = 0; i < 2; ++i) d->rates[std::size_t(i)] = (emu_frames_ & 64) ? 0.0f : float(random_() % 2);
    return true;
}
