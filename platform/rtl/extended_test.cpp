#include "platform/rtl/extended.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

std::string hex(const rtl::Extended80& b) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (auto c : b) {
        if (!s.empty()) s += ' ';
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

#if defined(__x86_64__) || defined(__i386__)
constexpr bool kX87 = LDBL_MANT_DIG == 64;
rtl::Extended80 machine_bytes(long double v) {
    rtl::Extended80 out{};
    std::memcpy(out.data(), &v, 10);
    return out;
}
#else
constexpr bool kX87 = false;
rtl::Extended80 machine_bytes(long double) { return {}; }
#endif

}  // namespace

TEST(RtlExtended, KnownVectors) {
    struct Case {
        long double value;
        const char* bytes;
    } cases[] = {
        {1.0L, "00 00 00 00 00 00 00 80 FF 3F"},
        {-2.0L, "00 00 00 00 00 00 00 80 00 C0"},
        {0.5L, "00 00 00 00 00 00 00 80 FE 3F"},
        {10.0L, "00 00 00 00 00 00 00 A0 02 40"},
        {0.0L, "00 00 00 00 00 00 00 00 00 00"},
        {-0.0L, "00 00 00 00 00 00 00 00 00 80"},
        {std::numeric_limits<long double>::infinity(), "00 00 00 00 00 00 00 80 FF 7F"},
        {-std::numeric_limits<long double>::infinity(), "00 00 00 00 00 00 00 80 FF FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hex(rtl::encode_extended(c.value)), c.bytes) << static_cast<double>(c.value);
        EXPECT_EQ(hex(rtl::encode_extended_portable(c.value)), c.bytes);
        EXPECT_EQ(hex(rtl::encode_extended_portable_double(static_cast<double>(c.value))), c.bytes);
        rtl::Extended80 b = rtl::encode_extended(c.value);
        EXPECT_EQ(rtl::decode_extended(b), c.value);
        EXPECT_EQ(std::signbit(rtl::decode_extended_portable(b)), std::signbit(c.value));
        EXPECT_EQ(rtl::decode_extended_portable_double(b), static_cast<double>(c.value));
    }
    EXPECT_TRUE(std::isnan(rtl::decode_extended(rtl::encode_extended(NAN))));
    EXPECT_TRUE(std::isnan(rtl::decode_extended_portable(rtl::encode_extended_portable(NAN))));
    // An unnormal (exponent set, integer bit clear) is no number.
    rtl::Extended80 unnormal{0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    EXPECT_TRUE(std::isnan(rtl::decode_extended(unnormal)));
    EXPECT_TRUE(std::isnan(rtl::decode_extended_portable(unnormal)));
}

// On x86 the machine's own long double is the reference for the portable codec.
TEST(RtlExtended, PortableCodecMatchesTheX87) {
    if (!kX87) STATION_SKIP_UNLESS_CI("long double is not the x87 format here");
    std::vector<long double> values = {3.14159265358979323846264338327950288L,
                                       -1e4000L,
                                       1e-4000L,
                                       std::numeric_limits<long double>::max(),
                                       std::numeric_limits<long double>::min(),
                                       std::numeric_limits<long double>::denorm_min(),
                                       -std::numeric_limits<long double>::denorm_min() * 12345,
                                       std::numeric_limits<long double>::min() / 3,
                                       DBL_MAX,
                                       DBL_MIN,
                                       4.9e-324L,
                                       123456789.125L,
                                       1.0L / 3};
    std::mt19937_64 rng(42);
    for (int i = 0; i < 20000; ++i) {
        rtl::Extended80 b{};
        std::uint64_t sig = rng();
        std::memcpy(b.data(), &sig, 8);
        unsigned se = static_cast<unsigned>(rng() & 0xFFFF);
        b[8] = static_cast<std::uint8_t>(se);
        b[9] = static_cast<std::uint8_t>(se >> 8);
        long double v = rtl::decode_extended(b);
        if (std::isnan(v)) {
            EXPECT_TRUE(std::isnan(rtl::decode_extended_portable(b))) << hex(b);
            continue;
        }
        values.push_back(v);
        EXPECT_EQ(rtl::decode_extended_portable(b), v) << hex(b);
    }
    for (long double v : values) {
        EXPECT_EQ(hex(rtl::encode_extended_portable(v)), hex(machine_bytes(v))) << static_cast<double>(v);
        double d = static_cast<double>(v);
        if (std::isfinite(d) && std::fpclassify(d) != FP_SUBNORMAL) {
            EXPECT_EQ(hex(rtl::encode_extended_portable_double(d)), hex(machine_bytes(d)));
            EXPECT_EQ(rtl::decode_extended_portable_double(machine_bytes(v)), d) << hex(machine_bytes(v));
        }
    }
}
