#pragma once
// The records that cross the protocol table: one incoming frame of channel
// values (CommIncomData, also handed to the host and to plug-ins), one
// outgoing packet (CommOutData, filled by the host) and the console's
// configuration record (PultConfData, exported for the host).

#include <array>
#include <cstdint>

struct CommIncomData {
    static constexpr int channel_count = 96;
    // The protocols fill at most the first 32 channels; clear() zeroes those.
    static constexpr int cleared_channels = 32;

    std::int32_t channels[channel_count];
    float extra_rate;
    std::array<float, 3> rates;
    std::int32_t counter_increment;
    std::int32_t block_number;  // 0-255 (0-65535 for the indicator unit)
    std::int32_t counter_total;
    // Status bytes, each 0 or 1.
    std::uint8_t status_bit1;
    std::uint8_t status_bit0;
    std::uint8_t spare0;
    std::uint8_t block_lost;
    std::uint8_t status_bit2;
    std::uint8_t status_bit3;
    std::uint8_t status_bit4;
    std::uint8_t status_bit5;
    std::uint8_t status_bit5and6;
    std::uint8_t spare1[3];
    // The console's telemetry block (128 bytes).
    float plus5v;
    float plus12v;
    float supply_voltage;
    float temperature;
    std::uint8_t telemetry_spare[112];

    // Every field starts at 0: clear() leaves the upper channels and the
    // telemetry alone, and a record is handed on whole.
    CommIncomData();
    void clear();
};

struct CommOutData {
    float values[32] = {};
    std::uint8_t reserved[256] = {};  // read by no send function
    std::int32_t display_number = 0;
    std::uint8_t out_flag0 = 0;
    std::uint8_t out_flag1 = 0;
    float out_param = 200.0f;  // read by no send function
};

#pragma pack(push, 1)
struct PultConfData {
    std::uint16_t word = 0;
    float values[7] = {};
    std::uint8_t bytes[2] = {};
};
#pragma pack(pop)
static_assert(sizeof(PultConfData) == 32, "PultConfData is the console's 32-byte record");
