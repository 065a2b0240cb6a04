#pragma once
// Where the console's four indicators take their values from, and the
// checks of the console's own supply telemetry.

#include <array>
#include <atomic>
#include <string>

namespace pult {

// The hub value names behind each choice of the settings; an empty name
// stands for 0.
std::string gaz_source(int indi_gaz);
std::string level_source(int indi_level);
std::string plotn_source(int indi_plotn);

// The display names the settings dialog lists for the gas and density
// choices, in the order of their numbers.
constexpr int gaz_source_count = 8;
constexpr int plotn_source_count = 4;
constexpr int level_source_count = 17;  // "<НЕТ>" and sixteen tanks

// One supply check: the variable the hub's console protocol writes and its
// allowed span. `enabled` is reset on the main thread (start of recording)
// and on the hub's signal while the cycle thread and the window read it.
struct Range {
    double minimum;
    double maximum;
    const char* variable;
    std::atomic<bool> enabled;
};

enum SupplyEntry { supply_voltage = 0, supply_temperature = 1, supply_5v = 2, supply_12v = 3 };

// The four entries, process-wide (one console per station).
std::array<Range, 4>& supply_ranges();

// Out of range only when the value is not zero, recording runs, the entry
// is enabled and the value lies outside [minimum, maximum]: a console that
// reports nothing raises nothing.
bool out_of_range(const Range& r, double value, bool recording);

}  // namespace pult
