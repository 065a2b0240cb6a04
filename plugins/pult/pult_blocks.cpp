#include "plugins/pult/pult_blocks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"

namespace pult {

namespace {

void put_u16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = std::uint8_t(v & 0xFF);
    b[at + 1] = std::uint8_t(v >> 8);
}

void put_f32(std::vector<std::uint8_t>& b, std::size_t at, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(bits >> (8 * i));
}

}  // namespace

std::vector<char> make_block(int command, const std::vector<std::uint8_t>& payload) {
    std::vector<char> block(block_size, char(block_fill));
    block[0] = char(command & 0xFF);
    block[1] = char((command >> 8) & 0xFF);
    const std::size_t n = std::min(payload.size(), std::size_t(block_size - 2));
    std::copy(payload.begin(), payload.begin() + std::ptrdiff_t(n), block.begin() + 2);
    return block;
}

std::uint16_t calibration_code(double volts) {
    const double code = std::trunc(volts * 4095 * 0.2 + 0.5);
    if (!(code > 0)) return 0;  // NaN too
    if (code >= 65535) return 65535;
    return std::uint16_t(code);
}

std::vector<std::uint8_t> calibration_record(const ParTabl& table, const std::string& name, int points, double k) {
    std::vector<std::uint8_t> r(std::size_t(record_size(points)), 0);
    const int i = table.find_global(name);
    if (i < 0) {
        r[0] = 255;
        return r;
    }
    const Param& p = table.at(i);
    // No channel (or none the record's byte can name): nothing to calibrate.
    if (p.channel < 0 || p.channel > 254) {
        r[0] = 255;
        return r;
    }
    std::vector<std::pair<double, double>> pts;
    if (!p.points.empty()) {
        if (p.points.size() == 1) pts.emplace_back(0.0, 0.0);
        for (const UnitCalibrPoint& u : p.points) pts.emplace_back(u.x, u.y);
        if (int(pts.size()) > points) pts.resize(std::size_t(points));
        r[0] = std::uint8_t(pts.size());
        r[1] = std::uint8_t(p.channel);
        for (std::size_t n = 0; n < pts.size(); ++n) {
            put_u16(r, 2 + 6 * n, calibration_code(pts[n].first));
            put_f32(r, 4 + 6 * n, float(pts[n].second));
        }
        return r;
    }
    // A linear parameter: its two ends.
    r[0] = 2;
    r[1] = std::uint8_t(p.channel);
    put_u16(r, 2, 0);
    put_f32(r, 4, p.zero);
    put_u16(r, 8, 4095);
    put_f32(r, 10, float(k * p.range + p.zero));
    return r;
}

std::vector<std::uint8_t> light_payload(int light) {
    // The console knows 16 steps; a value edited into the settings outside
    // them is pinned to the nearest end rather than wrapped onto 16 bits.
    std::vector<std::uint8_t> p(2);
    put_u16(p, 0, std::uint16_t(std::clamp(light, 0, max_light)));
    return p;
}

std::vector<std::uint8_t> degaz_payload(bool on, bool manual) {
    return {std::uint8_t((on ? 2 : 0) | (manual ? 1 : 0)), 0};
}

std::vector<std::uint8_t> zero_pressure_payload(float zero_pressure) {
    // The rest of the command's 24 bytes carries nothing and keeps the fill.
    std::vector<std::uint8_t> p(4, 0);
    put_f32(p, 0, zero_pressure);
    return p;
}

}  // namespace pult
