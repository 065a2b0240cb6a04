#include "platform/rtl/extended.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace rtl {

namespace {

constexpr int kBias = 16383;
constexpr int kMaxExp = 0x7FFF;
constexpr std::uint64_t kIntegerBit = 0x8000000000000000ull;

constexpr bool kNativeX87 =
#if defined(__x86_64__) || defined(__i386__)
    std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384;
#else
    false;
#endif

Extended80 pack(bool negative, int exponent, std::uint64_t significand) {
    Extended80 out{};
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    unsigned se = static_cast<unsigned>(exponent) | (negative ? 0x8000u : 0u);
    out[8] = static_cast<std::uint8_t>(se);
    out[9] = static_cast<std::uint8_t>(se >> 8);
    return out;
}

// x (0 <= x < 2^64, integral part exact) rounded to the nearest integer, ties
// to even; sets carry when the result is 2^64.
template <class F>
std::uint64_t round_significand(F x, bool& carry) {
    F whole = std::floor(x);
    F frac = x - whole;
    std::uint64_t n = static_cast<std::uint64_t>(whole);
    carry = false;
    if (frac > F(0.5) || (frac == F(0.5) && (n & 1))) {
        ++n;
        carry = n == 0;
    }
    return n;
}

template <class F>
Extended80 encode_portable(F value) {
    bool negative = std::signbit(value);
    if (std::isnan(value)) return pack(negative, kMaxExp, 0xC000000000000000ull);
    F a = std::fabs(value);
    if (std::isinf(a)) return pack(negative, kMaxExp, kIntegerBit);
    if (a == F(0)) return pack(negative, 0, 0);

    int e = 0;
    F m = std::frexp(a, &e);  // a = m * 2^e, 0.5 <= m < 1
    long biased = static_cast<long>(e) + (kBias - 1);
    bool carry = false;
    if (biased >= 1) {
        std::uint64_t sig = round_significand(std::ldexp(m, 64), carry);
        if (carry) {
            sig = kIntegerBit;
            ++biased;
        }
        if (biased >= kMaxExp) return pack(negative, kMaxExp, kIntegerBit);
        return pack(negative, static_cast<int>(biased), sig);
    }
    // Below the normal range: denormal significand = a * 2^(kBias + 62).
    std::uint64_t sig = round_significand(std::ldexp(a, kBias + 62), carry);
    if (sig & kIntegerBit) return pack(negative, 1, sig);  // rounded up to the smallest normal
    return pack(negative, 0, sig);
}

template <class F>
F decode_portable(const Extended80& b) {
    std::uint64_t sig = 0;
    for (int i = 0; i < 8; ++i) sig |= static_cast<std::uint64_t>(b[i]) << (8 * i);
    unsigned se = b[8] | (static_cast<unsigned>(b[9]) << 8);
    bool negative = (se & 0x8000u) != 0;
    int exponent = static_cast<int>(se & 0x7FFFu);
    F magnitude;
    if (exponent == kMaxExp) {
        magnitude = sig == kIntegerBit ? std::numeric_limits<F>::infinity() : std::numeric_limits<F>::quiet_NaN();
    } else if (exponent == 0) {
        magnitude = std::ldexp(static_cast<F>(sig), 1 - kBias - 63);
    } else if (!(sig & kIntegerBit)) {
        magnitude = std::numeric_limits<F>::quiet_NaN();  // unnormal
    } else {
        magnitude = std::ldexp(static_cast<F>(sig), exponent - kBias - 63);
    }
    return negative ? -magnitude : magnitude;
}

}  // namespace

Extended80 encode_extended_portable(long double value) { return encode_portable(value); }
long double decode_extended_portable(const Extended80& bytes) { return decode_portable<long double>(bytes); }

Extended80 encode_extended_portable_double(double value) { return encode_portable(value); }
double decode_extended_portable_double(const Extended80& bytes) { return decode_portable<double>(bytes); }

Extended80 encode_extended(long double value) {
    if constexpr (kNativeX87) {
        Extended80 out{};
        std::memcpy(out.data(), &value, out.size());
        return out;
    } else {
        return encode_portable(value);
    }
}

long double decode_extended(const Extended80& bytes) {
    if constexpr (kNativeX87) {
        // Patterns the x87 rejects as operands read as NaN, as the portable
        // codec reads them.
        unsigned exponent = (bytes[8] | (static_cast<unsigned>(bytes[9]) << 8)) & 0x7FFFu;
        if (exponent != 0 && !(bytes[7] & 0x80)) return std::numeric_limits<long double>::quiet_NaN();
        long double value = 0;
        std::memcpy(&value, bytes.data(), bytes.size());
        return value;
    } else {
        return decode_portable<long double>(bytes);
    }
}

}  // namespace rtl
