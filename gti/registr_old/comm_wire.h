#pragma once
// Little helpers of the station's frame code: little-endian fields and the
// conversion of measured values to the integers that go on the wire.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace hardware::wire {

inline std::uint16_t get_u16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::int16_t get_i16(const std::uint8_t* p) { return std::int16_t(get_u16(p)); }

inline void put_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

inline void put_f32(std::uint8_t* p, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int k = 0; k < 4; ++k) p[k] = std::uint8_t(u >> (8 * k));
}

// trunc(x) as a 32-bit integer: NaN gives 0 and values beyond the range
// stop at its ends, so no conversion is undefined; the 16-bit fields then
// keep the low bits of that.
inline std::int32_t to_int(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(x);
}

// round(x) of the frames: trunc(x + 0.5).
inline std::int32_t to_int_rounded(double x) { return to_int(x + 0.5); }

inline std::uint16_t low16(std::int32_t v) { return std::uint16_t(std::uint32_t(v) & 0xFFFF); }

}  // namespace hardware::wire
