#pragma once
// The console's "EX_OPTS" configuration blocks: 202 bytes, the command
// number (16-bit, little-endian) in bytes 0-1, its payload from byte 2, the
// rest 0x55. The hub adds the header text and the XOR byte on the wire.
//
// A calibration record tells the console how to turn one of its ADC
// channels into the value it shows: byte 0 the point count (255: none),
// byte 1 the channel, then per point a 16-bit code (volts 0-5 onto
// 0-4095) and a 32-bit float value.

#include <cstdint>
#include <string>
#include <vector>

class ParTabl;

namespace pult {

constexpr int block_size = 202;
constexpr std::uint8_t block_fill = 0x55;
constexpr const char* block_header = "EX_OPTS";

enum BlockCommand : int {
    cmd_light = 1,
    cmd_degaz = 2,
    cmd_short_tables = 4,  // three records of 5 points
    cmd_zero_pressure = 5,
    cmd_hook_load_table = 6,  // records of 12 points
    cmd_pressure_table = 7,
    cmd_torque_table = 8,
    cmd_tong_torque_table = 9,
};

constexpr int short_record_points = 5;
constexpr int long_record_points = 12;
constexpr int record_size(int points) { return 2 + 6 * points; }

// The block for a command and its payload (cut to what the block holds).
std::vector<char> make_block(int command, const std::vector<std::uint8_t>& payload);

// The ADC code of a calibration point at volts: trunc(V x 819 + 0.5),
// clamped to 0-65535 (a point beyond the field is pinned to its end, never
// wrapped onto a small code).
std::uint16_t calibration_code(double volts);

// The record of the parameter of that global name in the table, with room
// for `points` points; `k` scales a linear parameter's gain (the block
// factor for the hook load, 1 otherwise).
std::vector<std::uint8_t> calibration_record(const ParTabl& table, const std::string& name, int points, double k);

// The brightest of the console's brightness steps (0 the dimmest).
constexpr int max_light = 15;

// Payloads.
std::vector<std::uint8_t> light_payload(int light);
std::vector<std::uint8_t> degaz_payload(bool on, bool manual);
std::vector<std::uint8_t> zero_pressure_payload(float zero_pressure);

}  // namespace pult
