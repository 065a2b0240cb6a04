#include "library/comm_packet.h"

void CommPacket::change_bits() {
    std::uint8_t out[8] = {};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            if (data[j] & (0x80 >> i)) out[i] |= std::uint8_t(0x80 >> j);
    for (int i = 0; i < 8; ++i) data[i] = out[i];
}

std::uint8_t CommPacket::get_contol_summ() const {
    int sum = head + 0x55;
    for (int k = 0; k < 4; ++k) {
        int w = std::int16_t(std::uint16_t(data[2 * k] | (data[2 * k + 1] << 8)));
        sum += w % 3000 - w / 3000;
    }
    return std::uint8_t(sum & 0xFF);
}
