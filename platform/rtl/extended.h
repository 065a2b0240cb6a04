#pragma once
// The 80-bit extended real of stored files: the 10-byte x87 form, little
// endian (64-bit significand with its explicit integer bit, then the sign and
// a 15-bit exponent biased by 16383). Files keep this form whatever the
// machine's long double is; on x86 the bytes are copied, elsewhere a portable
// codec converts through frexp/ldexp.

#include <array>
#include <cstdint>

namespace rtl {

using Extended80 = std::array<std::uint8_t, 10>;

Extended80 encode_extended(long double value);
long double decode_extended(const Extended80& bytes);

// The portable codec, used where long double is not the x87 format and open
// to tests everywhere. Encoding rounds the significand to 64 bits (nearest,
// ties to even); values beyond the exponent range become infinities, tiny
// ones x87 denormals or zero. Decoding an invalid x87 pattern (a set exponent
// with a clear integer bit) gives a quiet NaN, as the x87 treats it.
Extended80 encode_extended_portable(long double value);
long double decode_extended_portable(const Extended80& bytes);

// The same codec on a double, as it runs where long double is a double.
Extended80 encode_extended_portable_double(double value);
double decode_extended_portable_double(const Extended80& bytes);

}  // namespace rtl
