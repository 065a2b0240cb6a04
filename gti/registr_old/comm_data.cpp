#include "gti/registr_old/comm_data.h"

#include <algorithm>

CommIncomData::CommIncomData() {
    std::fill(std::begin(channels), std::end(channels), 0);
    plus5v = plus12v = supply_voltage = temperature = 0;
    std::fill(std::begin(telemetry_spare), std::end(telemetry_spare), 0);
    clear();
}

void CommIncomData::clear() {
    status_bit1 = status_bit0 = spare0 = block_lost = 0;
    status_bit2 = status_bit3 = status_bit4 = status_bit5 = status_bit5and6 = 0;
    std::fill(std::begin(spare1), std::end(spare1), 0);
    extra_rate = 0;
    counter_increment = 0;
    block_number = 0;
    counter_total = 0;
    rates.fill(0);
    std::fill(channels, channels + cleared_channels, 0);
}
