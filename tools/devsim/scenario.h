#pragma once
// What the simulated rig is doing: a drilling scenario sampled at report
// times, either scripted (key rows read from a text file, straight lines
// between them) or generated (drilling, connections and circulation from a
// seed, the same seed giving the same rig).
//
// Script format: '#' starts a comment; the first other line names the
// columns, separated by blanks; every further line gives their values, the
// first column being "t" (seconds from the start, rising). Known columns:
//   t hook_load block_pos spp annulus_p torque pump1 pump2 pump3 gas
//   methane flow_in flow_out density_out level
// (hook load in tonnes, block position in metres above the floor,
// pressures in MPa, torque in kN*m, pump strokes per minute, gases in %,
// flows in l/s, mud density at the outlet in g/cm3, mud level in the tank
// in m). Columns left out stay 0. Numbers take '.' or ','.

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace devsim {

struct RigState {
    double t = 0;                // s from the start
    double hook_load = 0;        // t
    double block_pos = 0;        // m
    double spp = 0;              // standpipe (inlet) pressure, MPa
    double annulus_p = 0;        // MPa
    double torque = 0;           // kN*m
    double pump[3] = {0, 0, 0};  // strokes per minute
    double gas = 0;              // total gas, %
    double methane = 0;          // %
    double flow_in = 0;          // l/s
    double flow_out = 0;         // l/s
    double density_out = 0;      // g/cm3
    double level = 0;            // m
};

class Scenario {
public:
    virtual ~Scenario() = default;
    // The rig at time t (seconds from the start; t does not go back).
    virtual RigState at(double t) = 0;
};

class ScriptError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A finite number in the station's number text (either decimal separator).
bool scenario_number(const std::string& word, double& value);
// The words of a line: runs of characters between blanks, tabs and CRs.
std::vector<std::string> scenario_words(const std::string& line);
// A file's whole text; ScriptError naming it when it cannot be read.
std::string read_scenario_text(const std::string& path);

// A scenario table: '#' starts a comment, the first line with words names the
// columns ("t" first), every further line gives their values, with time rising
// from row to row. column_of(row, name) is the row's field of that name, or
// null for a name the device does not know. kind names the scenario in errors.
template <class Row, class ColumnOf>
std::vector<Row> parse_scenario_table(const std::string& text, const std::string& kind, ColumnOf column_of) {
    std::vector<Row> rows;
    std::vector<std::string> columns;
    std::size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        const auto w = scenario_words(line);
        if (w.empty()) continue;
        const std::string where = kind + " line " + std::to_string(number) + ": ";
        if (columns.empty()) {
            Row probe{};
            for (const auto& name : w)
                if (!column_of(probe, name)) throw ScriptError(where + "unknown column '" + name + "'");
            if (w[0] != "t") throw ScriptError(where + "the first column must be 't'");
            columns = w;
            continue;
        }
        if (w.size() != columns.size())
            throw ScriptError(where + "expected " + std::to_string(columns.size()) + " values, found " +
                              std::to_string(w.size()));
        Row row{};
        for (std::size_t i = 0; i < w.size(); ++i) {
            double v = 0;
            if (!scenario_number(w[i], v)) throw ScriptError(where + "'" + w[i] + "' is not a number");
            *column_of(row, columns[i]) = v;
        }
        if (!rows.empty() && row.t <= rows.back().t) throw ScriptError(where + "time must rise from row to row");
        rows.push_back(row);
    }
    if (rows.empty()) throw ScriptError(kind + ": no rows");
    return rows;
}

class ScriptedScenario : public Scenario {
public:
    // Throws ScriptError naming the line and the cause.
    static ScriptedScenario parse(const std::string& text);
    static ScriptedScenario load(const std::string& path);
    RigState at(double t) override;
    const std::vector<RigState>& rows() const { return rows_; }

private:
    std::vector<RigState> rows_;
};

class GeneratedScenario : public Scenario {
public:
    explicit GeneratedScenario(std::uint32_t seed);
    RigState at(double t) override;

private:
    std::mt19937 rng_;
    double last_t_ = 0;
    double block_ = 25;    // m
    double depth_ = 1500;  // bottom-hole depth, m
    double gas_ = 0.2;
};

// How the rig's quantities reach the devices: the channel each goes in and
// its full scale on the 12-bit converter (0-4095), and the depth counter's
// pulses per metre of block travel.
struct ChannelMap {
    static constexpr int hook_load = 0;    // 0-250 t
    static constexpr int spp = 1;          // 0-40 MPa
    static constexpr int annulus_p = 2;    // 0-40 MPa
    static constexpr int torque = 3;       // 0-50 kN*m
    static constexpr int gas = 4;          // 0-100 %
    static constexpr int methane = 5;      // 0-100 %
    static constexpr int flow_in = 6;      // 0-100 l/s
    static constexpr int flow_out = 7;     // 0-100 l/s
    static constexpr int density_out = 8;  // 0-2.5 g/cm3
    static constexpr int level = 9;        // 0-5 m
    static constexpr int channels = 10;    // 0 .. channels-1 carry the rig
    static constexpr double pulses_per_metre = 100;

    static std::uint16_t code(int channel, const RigState& s);
    static double full_scale(int channel);
};

// Block travel turned into whole counter pulses, carrying the remainder,
// so that the sum of increments follows the block exactly. A block going
// down counts upward.
class PulseCounter {
public:
    int advance(double block_pos);

private:
    bool started_ = false;
    double last_pos_ = 0;
    double remainder_ = 0;
};

}  // namespace devsim
