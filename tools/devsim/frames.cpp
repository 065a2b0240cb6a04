#include "tools/devsim/frames.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/codepage.h"
#include "platform/rtl/numbers.h"

namespace devsim {

namespace {

std::uint16_t clamp_code(double v, double hi) {
    if (!(v > 0)) return 0;
    return std::uint16_t(std::lround(std::min(v, hi)));
}

}  // namespace

std::uint16_t rate_code(double rate) {
    if (!(rate > 0)) return 0;
    if (rate >= 1) return clamp_code(rate, 0x7FFF);
    return std::uint16_t(0x8000 | clamp_code(100.0 / rate, 0x7FFF));
}

double rate_of_code(std::uint16_t code) {
    if (!(code & 0x8000)) return code;
    unsigned period = code & 0x7FFF;
    return period ? 100.0 / period : 0.0;
}

Bytes ConsoleReport::payload() const {
    Bytes b(size, 0);
    for (std::size_t i = 0; i < adc.size(); ++i) put_u16(b, 2 * i, adc[i]);
    b[48] = status;
    b[49] = block;
    put_i16(b, 50, counter_increment);
    for (std::size_t i = 0; i < 3; ++i) put_u16(b, 52 + 2 * i, rate_codes[i]);
    put_u16(b, 58, extra_rate_code);
    return b;
}

// The station reads the rails through dividers of 4.012 (+5 V), 7.024
// (+12 V) and 2 (supply) onto a 2.5 V reference, and the temperature from a
// sensor giving 1.009621489 V at 0 degrees and 1/271 V per degree.
std::uint16_t telemetry_code_5v(double volts) { return clamp_code(volts * 4095 / (4.012 * 2.5), 4095); }
std::uint16_t telemetry_code_12v(double volts) { return clamp_code(volts * 4095 / (7.024 * 2.5), 4095); }
std::uint16_t telemetry_code_supply(double volts) { return clamp_code(volts * 4095 / (2.0 * 2.5), 4095); }
std::uint16_t telemetry_code_temperature(double celsius) {
    return clamp_code((celsius / 271 + 1.009621489) * 4095 / 2.5, 4095);
}

DisplayPacket DisplayPacket::decode(const Bytes& m) {
    DisplayPacket d;
    if (m.size() < size) return d;
    const std::uint8_t* p = m.data();
    for (std::size_t i = 0; i < 16; ++i) d.words[i] = get_i16(p + 2 * i);
    d.text_bytes.assign(reinterpret_cast<const char*>(p + 32), 32);
    d.text = rtl::cp1251_to_utf8(d.text_bytes);
    d.lamps = p[64];
    d.fixed_0f = p[65];
    d.gas_scale = p[66];
    d.string_weight = get_f32(p + 68);
    d.failures = get_u16(p + 72);
    d.bottom_depth = get_u16(p + 74);
    d.current_depth = get_u16(p + 76);
    return d;
}

ExOpts ExOpts::decode(const Bytes& data) {
    ExOpts o;
    auto fail = [&o](const std::string& why) {
        o.valid = false;
        o.error = why;
        return o;
    };
    if (data.size() != 202) return fail("length " + std::to_string(data.size()) + ", 202 expected");
    o.command = get_u16(data.data());
    const std::uint8_t* p = data.data() + 2;
    std::size_t used = 0;
    auto table = [&](std::size_t at, int places, CalibrationTable& t) -> bool {
        t.count = p[at];
        t.channel = p[at + 1];
        if (t.count == 255) return true;
        if (t.count > places) return false;
        for (int i = 0; i < t.count; ++i)
            t.points.emplace_back(get_u16(p + at + 2 + 6 * std::size_t(i)), get_f32(p + at + 4 + 6 * std::size_t(i)));
        return true;
    };
    switch (o.command) {
        case 1:
            o.light = get_u16(p);
            used = 2;
            break;
        case 2:
            if (p[0] & ~3u || p[1] != 0) return fail("degasser byte " + std::to_string(p[0]) + " " + std::to_string(p[1]));
            o.degaz_on = p[0] & 2;
            o.degaz_manual = p[0] & 1;
            used = 2;
            break;
        case 4:
            for (int k = 0; k < 3; ++k) {
                CalibrationTable t;
                if (!table(std::size_t(32 * k), 5, t))
                    return fail("table " + std::to_string(k) + " counts " + std::to_string(t.count) + " points");
                o.tables.push_back(t);
            }
            used = 96;
            break;
        case 5:
            o.zero_pressure = get_f32(p);
            used = 4;
            break;
        case 6:
        case 7:
        case 8:
        case 9: {
            CalibrationTable t;
            if (!table(0, 12, t)) return fail("the table counts " + std::to_string(t.count) + " points");
            o.tables.push_back(t);
            used = 74;
            break;
        }
        default: return fail("unknown command " + std::to_string(o.command));
    }
    // Bytes of the payload past what the command uses may hold anything the
    // station leaves there (a short table's unused places); the block's
    // fill beyond the command's payload must be intact.
    static const std::map<int, std::size_t> payload = {{1, 2}, {2, 2}, {4, 96}, {5, 24}, {6, 74}, {7, 74}, {8, 74}, {9, 74}};
    const std::size_t end = std::max(used, payload.at(o.command));
    for (std::size_t i = end; i < 200; ++i)
        if (p[i] != 0x55) return fail("fill byte " + std::to_string(i + 2) + " is " + std::to_string(p[i]));
    o.valid = true;
    return o;
}

std::string ExOpts::describe() const {
    if (!valid) return "invalid: " + error;
    std::string s = "command " + std::to_string(command);
    auto describe_table = [](const CalibrationTable& t) {
        if (t.count == 255) return std::string(" none");
        std::string r = " ch" + std::to_string(t.channel);
        for (const auto& pt : t.points) r += " (" + std::to_string(pt.first) + ", " + rtl::FloatToStr(pt.second) + ")";
        return r;
    };
    switch (command) {
        case 1: return s + " light " + std::to_string(light);
        case 2: return s + " degasser " + (degaz_on ? "on" : "off") + (degaz_manual ? " manual" : " auto");
        case 5: return s + " zero pressure " + rtl::FloatToStr(zero_pressure);
        default:
            for (const CalibrationTable& t : tables) s += ";" + describe_table(t);
            return s;
    }
}

void ConsoleSettings::apply(const ExOpts& o) {
    if (!o.valid) return;
    ++blocks;
    static const char* const names[] = {"вес_на_крюке", "давление_на_входе", "момент_ротора", "момент_на_ключе"};
    switch (o.command) {
        case 1: light = o.light; break;
        case 2:
            degaz_on = o.degaz_on;
            degaz_manual = o.degaz_manual;
            degaz_set = true;
            break;
        case 4:
            for (std::size_t k = 0; k < 3 && k < o.tables.size(); ++k)
                tables[std::string("short:") + names[k]] = o.tables[k];
            break;
        case 5:
            zero_pressure = o.zero_pressure;
            zero_pressure_set = true;
            break;
        default:
            if (o.command >= 6 && o.command <= 9 && !o.tables.empty()) tables[names[o.command - 6]] = o.tables[0];
    }
}

std::size_t config_block_length(const std::string& header) {
    if (header == "EX_OPTS") return 202;
    return 0;
}

Bytes encode_mmv0(const MmvFrame& f) {
    Bytes b(40, 0);
    for (std::size_t i = 0; i < 16; ++i) put_u16(b, 2 * i, f.adc[i]);
    put_u16(b, 32, std::uint16_t(f.rate));
    int c = f.counter_increment;
    put_u16(b, 34, std::uint16_t(c < 0 ? -c : c));
    // The unit's sign word is set for a count upward.
    put_u16(b, 36, c > 0 ? 1 : 0);
    return b;
}

Bytes encode_mmv12(const MmvFrame& f) {
    Bytes b(21, 0);
    for (std::size_t i = 0; i < 7; ++i) put_u16(b, 2 * i, f.adc[i]);
    b[14] = f.status;
    b[15] = f.block;
    put_i16(b, 16, f.counter_increment);
    put_i16(b, 18, f.rate);
    b[20] = xor_of(b.data(), 20);
    return b;
}

Bytes encode_mmv3(const MmvFrame& f) {
    Bytes b(41, 0);
    for (std::size_t i = 0; i < 16; ++i) put_u16(b, 2 * i, f.adc[i]);
    b[32] = f.status;
    b[33] = f.block;
    put_i16(b, 34, f.counter_increment);
    put_i16(b, 36, f.rate);
    put_u16(b, 38, f.extra_rate);
    b[40] = xor_of(b.data(), 40);
    return b;
}

Bytes encode_uso1(const UsoFrame& f) {
    Bytes b(21, 0);
    b[0] = f.block;
    b[1] = f.exponent;
    for (std::size_t i = 0; i < 5; ++i) put_i16(b, 2 + 2 * i, f.values[i]);
    put_i16(b, 12, f.counter_increment);
    b[14] = f.rate;
    b[15] = f.extra_rate;
    b[20] = std::uint8_t(0x100 - sum_of(b.data(), 20));
    return b;
}

Bytes encode_ad(std::uint16_t block, std::uint16_t code) {
    Bytes b(10, 0);
    put_u16(b, 2, block);
    put_u16(b, 4, code);
    put_u16(b, 8, crc16_bitwise(b.data(), 8));
    return b;
}

Bmv48 Bmv48::decode(const std::uint8_t* p) {
    Bmv48 f;
    for (std::size_t i = 0; i < 12; ++i) f.values[i] = get_f32(p + 4 * i);
    return f;
}

Bmv11 Bmv11::decode(const std::uint8_t* p) {
    Bmv11 f;
    for (std::size_t i = 0; i < 4; ++i) {
        f.digits[i] = p[i];
        f.indicators[i] = p[4 + i];
    }
    f.lamp = p[8];
    f.check_ok = xor_of(p, 10) == p[10];
    return f;
}

DaFrame DaFrame::decode(const std::uint8_t* p) {
    DaFrame f;
    f.maximum = get_f32(p + 4);
    f.count = get_u16(p + 8);
    for (std::size_t i = 0; i < 6; ++i) {
        f.codes[i] = get_u16(p + 10 + 6 * i);
        f.values[i] = get_f32(p + 12 + 6 * i);
    }
    f.crc_ok = crc16_bitwise(p, 46) == get_u16(p + 46);
    return f;
}

}  // namespace devsim
