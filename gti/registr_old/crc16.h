#pragma once
// CRC-16/CCITT-FALSE, the check of the indicator unit's frames and of the
// cementing-control station's protocol: polynomial 0x1021, initial value
// 0xFFFF, most significant bit first, no reflection, no final XOR. Frames
// carry it as a little-endian 16-bit word. Check value: 0x29B1 for the
// nine bytes "123456789".

#include <cstddef>
#include <cstdint>

std::uint16_t crc16_ccitt(const void* bytes, std::size_t length);
