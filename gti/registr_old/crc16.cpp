#include "gti/registr_old/crc16.h"

#include <boost/crc.hpp>

std::uint16_t crc16_ccitt(const void* bytes, std::size_t length) {
    // crc_optimal is Boost's table-driven form.
    boost::crc_optimal<16, 0x1021, 0xFFFF, 0, false, false> crc;
    if (length > 0 && bytes) crc.process_bytes(bytes, length);
    return crc.checksum();
}
