#pragma once
// The frames the simulated devices send and the ones they receive from the
// station, each as a plain record with its wire form (see wire.h).

#include <array>
#include <map>
#include <vector>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/devsim/wire.h"

namespace devsim {

// Rate inputs travel as 16-bit codes: a code below 0x8000 is the rate
// itself; with bit 15 set its low 15 bits are a period and the rate is
// 100 / period (0 for period 0), which is how a slow input is told apart.
std::uint16_t rate_code(double rate);
double rate_of_code(std::uint16_t code);

// --- New console -------------------------------------------------------------
// The console's report: 60 bytes behind "SP" in the packet framing.
struct ConsoleReport {
    static constexpr std::size_t size = 60;
    std::array<std::uint16_t, 24> adc{};  // 20-23: +5 V, +12 V, temperature, supply
    std::uint8_t status = 0;
    std::uint8_t block = 0;
    std::int16_t counter_increment = 0;
    std::array<std::uint16_t, 3> rate_codes{};
    std::uint16_t extra_rate_code = 0;

    Bytes payload() const;
};

// ADC codes of the console's own telemetry for given readings, with the
// divider ratios the station applies to a 12-bit (0-4095) converter.
std::uint16_t telemetry_code_5v(double volts);
std::uint16_t telemetry_code_12v(double volts);
std::uint16_t telemetry_code_supply(double volts);
std::uint16_t telemetry_code_temperature(double celsius);

// The station's display packet: 78 bytes behind "DP".
struct DisplayPacket {
    static constexpr std::size_t size = 78;
    std::array<std::int16_t, 16> words{};
    std::string text_bytes;  // the 32 bytes as sent (Windows-1251)
    std::string text;        // the same in UTF-8
    std::uint8_t lamps = 0;
    std::uint8_t fixed_0f = 0;
    std::uint8_t gas_scale = 0;
    float string_weight = 0;
    std::uint16_t failures = 0;
    std::uint16_t bottom_depth = 0;
    std::uint16_t current_depth = 0;

    static DisplayPacket decode(const Bytes& message);
};

// A configuration block: a header text, the data and one XOR byte of it.
struct ConfigBlock {
    std::string header;
    Bytes data;
    bool check_ok = false;
    // For "EX_OPTS": the command number in data bytes 0-1.
    int command() const { return data.size() >= 2 ? get_u16(data.data()) : -1; }
};

// What an "EX_OPTS" block tells the console, as the console's firmware
// reads it: command 1 the brightness, 2 the degasser, 4 three calibration
// tables of 5 points, 6-9 one table of 12 points (hook load, inlet
// pressure, rotor torque, tong torque), 5 the zero pressure. A block that
// breaks the rules (wrong length, unknown command, a count beyond the
// record's places, payload bytes left or fill bytes changed) is not valid
// and says why.
struct CalibrationTable {
    int count = 0;  // 255: the station has none for it
    int channel = 0;
    std::vector<std::pair<std::uint16_t, float>> points;  // (ADC code, value)
};
struct ExOpts {
    bool valid = false;
    std::string error;
    int command = -1;
    int light = 0;
    bool degaz_on = false, degaz_manual = false;
    std::vector<CalibrationTable> tables;
    float zero_pressure = 0;

    static ExOpts decode(const Bytes& data);
    std::string describe() const;
};

// The console's settings as the blocks it took have made them.
struct ConsoleSettings {
    int light = -1;  // -1: never set
    bool degaz_on = false, degaz_manual = false;
    bool degaz_set = false;
    // The tables by name: "вес_на_крюке", "давление_на_входе",
    // "момент_ротора", "момент_на_ключе", from the 12-point blocks; the
    // 5-point ones as "short:" and the name.
    std::map<std::string, CalibrationTable> tables;
    float zero_pressure = 0;
    bool zero_pressure_set = false;
    int blocks = 0;  // valid blocks taken

    void apply(const ExOpts& o);
};

// The data length of a block by its header; 0 when the console's manual
// does not give one (the block then ends where the line goes quiet).
std::size_t config_block_length(const std::string& header);

// --- Older acquisition units (all behind "MMV") ------------------------------
struct MmvFrame {
    std::array<std::uint16_t, 16> adc{};
    std::uint8_t status = 0;
    std::uint8_t block = 0;
    std::int16_t counter_increment = 0;
    std::int16_t rate = 0;
    std::uint16_t extra_rate = 0;
};
// 40 bytes: 16 codes, rate, counter magnitude and sign word, no check.
Bytes encode_mmv0(const MmvFrame& f);
// 21 bytes: 7 codes, status, block, counter, rate, XOR check.
Bytes encode_mmv12(const MmvFrame& f);
// 41 bytes: 16 codes, status, block, counter, rate, extra rate, XOR check.
Bytes encode_mmv3(const MmvFrame& f);

// The data-collection unit's 21 bytes: block, decimal exponent, five signed
// values, counter, two rate bytes, sum check (all 21 bytes sum to 0).
struct UsoFrame {
    std::uint8_t block = 0;
    std::uint8_t exponent = 0;
    std::array<std::int16_t, 5> values{};
    std::int16_t counter_increment = 0;
    std::uint8_t rate = 0;
    std::uint8_t extra_rate = 0;
};
Bytes encode_uso1(const UsoFrame& f);

// The indicator unit's 10 bytes behind "AD": block, one code, CRC-16.
Bytes encode_ad(std::uint16_t block, std::uint16_t code);

// --- What the station sends the older devices --------------------------------
// "BMV" + 48: twelve floats.
struct Bmv48 {
    std::array<float, 12> values{};
    static Bmv48 decode(const std::uint8_t* p);
};
// "BMV" + 11: four digits, four indicator codes, lamp, spare, XOR.
struct Bmv11 {
    std::array<std::uint8_t, 4> digits{};
    std::array<std::uint8_t, 4> indicators{};
    std::uint8_t lamp = 0;
    bool check_ok = false;
    int number() const { return digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3]; }
    static Bmv11 decode(const std::uint8_t* p);
};
// 48 bytes beginning "DA": the hook-load maximum and up to six calibration
// points, CRC-16 over bytes 0-45.
struct DaFrame {
    static constexpr std::size_t size = 48;
    float maximum = 0;
    int count = 0;
    std::array<std::uint16_t, 6> codes{};
    std::array<float, 6> values{};
    bool crc_ok = false;
    static DaFrame decode(const std::uint8_t* p);
};

}  // namespace devsim
