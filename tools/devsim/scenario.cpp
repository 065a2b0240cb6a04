#include "tools/devsim/scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "platform/rtl/numbers.h"

namespace devsim {

namespace {

double* column_of(RigState& s, const std::string& name) {
    if (name == "t") return &s.t;
    if (name == "hook_load") return &s.hook_load;
    if (name == "block_pos") return &s.block_pos;
    if (name == "spp") return &s.spp;
    if (name == "annulus_p") return &s.annulus_p;
    if (name == "torque") return &s.torque;
    if (name == "pump1") return &s.pump[0];
    if (name == "pump2") return &s.pump[1];
    if (name == "pump3") return &s.pump[2];
    if (name == "gas") return &s.gas;
    if (name == "methane") return &s.methane;
    if (name == "flow_in") return &s.flow_in;
    if (name == "flow_out") return &s.flow_out;
    if (name == "density_out") return &s.density_out;
    if (name == "level") return &s.level;
    return nullptr;
}

double lerp(double a, double b, double f) { return a + (b - a) * f; }

}  // namespace

ScriptedScenario ScriptedScenario::parse(const std::string& text) {
    ScriptedScenario s;
    s.rows_ = parse_scenario_table<RigState>(text, "scenario", column_of);
    return s;
}

ScriptedScenario ScriptedScenario::load(const std::string& path) {
    const std::string text = read_scenario_text(path);
    try {
        return parse(text);
    } catch (const ScriptError& e) {
        throw ScriptError("'" + path + "' " + e.what());
    }
}

std::vector<std::string> scenario_words(const std::string& line) {
    std::vector<std::string> out;
    std::string w;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!w.empty()) out.push_back(w);
            w.clear();
        } else {
            w += c;
        }
    }
    if (!w.empty()) out.push_back(w);
    return out;
}

bool scenario_number(const std::string& word, double& value) {
    return rtl::TryStrToFloat(word, value) && std::isfinite(value);
}

std::string read_scenario_text(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw ScriptError("scenario '" + path + "': cannot be opened");
    std::ostringstream text;
    text << f.rdbuf();
    return text.str();
}

RigState ScriptedScenario::at(double t) {
    if (t <= rows_.front().t) return rows_.front();
    if (t >= rows_.back().t) return rows_.back();
    auto hi = std::upper_bound(rows_.begin(), rows_.end(), t, [](double v, const RigState& r) { return v < r.t; });
    const RigState& b = *hi;
    const RigState& a = *(hi - 1);
    double f = (t - a.t) / (b.t - a.t);
    RigState s;
    s.t = t;
    s.hook_load = lerp(a.hook_load, b.hook_load, f);
    s.block_pos = lerp(a.block_pos, b.block_pos, f);
    s.spp = lerp(a.spp, b.spp, f);
    s.annulus_p = lerp(a.annulus_p, b.annulus_p, f);
    s.torque = lerp(a.torque, b.torque, f);
    for (int i = 0; i < 3; ++i) s.pump[i] = lerp(a.pump[i], b.pump[i], f);
    s.gas = lerp(a.gas, b.gas, f);
    s.methane = lerp(a.methane, b.methane, f);
    s.flow_in = lerp(a.flow_in, b.flow_in, f);
    s.flow_out = lerp(a.flow_out, b.flow_out, f);
    s.density_out = lerp(a.density_out, b.density_out, f);
    s.level = lerp(a.level, b.level, f);
    return s;
}

GeneratedScenario::GeneratedScenario(std::uint32_t seed) : rng_(seed) {}

// A cycle of 120 s: 90 s drilling down a stand of the kelly (block going
// down at a rate of penetration, weight on bit taken off the hook, pumps on,
// torque on the rotor), then 30 s of connection (slips: hook load drops to
// the block's own weight, pumps off, block raised again).
RigState GeneratedScenario::at(double t) {
    std::normal_distribution<double> noise(0.0, 1.0);
    double dt = std::max(0.0, t - last_t_);
    last_t_ = t;
    const double cycle = 120, drilling = 90;
    double phase = std::fmod(t, cycle);
    RigState s;
    s.t = t;
    const double string_weight = 120, block_weight = 15;
    if (phase < drilling) {
        double rop = 0.25 / 60 * (1 + 0.3 * std::sin(t / 37));  // m/s
        block_ = std::max(1.0, block_ - rop * dt);
        depth_ += rop * dt;
        double wob = 8 + 2 * std::sin(t / 11) + 0.3 * noise(rng_);
        s.hook_load = string_weight - wob;
        s.spp = 12 + 0.5 * noise(rng_);
        s.annulus_p = 0.3 + 0.05 * std::fabs(noise(rng_));
        s.torque = 6 + 1.5 * std::sin(t / 5) + 0.2 * noise(rng_);
        s.pump[0] = 62 + noise(rng_);
        s.pump[1] = 61 + noise(rng_);
        s.flow_in = 32 + 0.5 * noise(rng_);
        s.flow_out = s.flow_in - 0.5 + 0.3 * noise(rng_);
        gas_ = std::clamp(gas_ + 0.01 * noise(rng_) + (std::fmod(depth_, 50) < 2 ? 0.05 : -0.005), 0.05, 40.0);
    } else {
        block_ = std::min(28.0, block_ + 0.5 * dt);
        s.hook_load = block_weight + 0.2 * noise(rng_);
        gas_ = std::max(0.05, gas_ * 0.99);
    }
    s.block_pos = block_;
    s.gas = gas_;
    s.methane = gas_ * 0.8;
    return s;
}

double ChannelMap::full_scale(int channel) {
    switch (channel) {
        case hook_load: return 250;
        case spp: return 40;
        case annulus_p: return 40;
        case torque: return 50;
        case gas: return 100;
        case methane: return 100;
        case flow_in: return 100;
        case flow_out: return 100;
        case density_out: return 2.5;
        case level: return 5;
        default: return 1;
    }
}

std::uint16_t ChannelMap::code(int channel, const RigState& s) {
    double v = 0;
    switch (channel) {
        case hook_load: v = s.hook_load; break;
        case spp: v = s.spp; break;
        case annulus_p: v = s.annulus_p; break;
        case torque: v = s.torque; break;
        case gas: v = s.gas; break;
        case methane: v = s.methane; break;
        case flow_in: v = s.flow_in; break;
        case flow_out: v = s.flow_out; break;
        case density_out: v = s.density_out; break;
        case level: v = s.level; break;
        default: return 0;
    }
    double c = v / full_scale(channel) * 4095;
    if (!(c > 0)) return 0;
    return std::uint16_t(std::lround(std::min(c, 4095.0)));
}

int PulseCounter::advance(double block_pos) {
    if (!started_) {
        started_ = true;
        last_pos_ = block_pos;
        return 0;
    }
    double pulses = (last_pos_ - block_pos) * ChannelMap::pulses_per_metre + remainder_;
    last_pos_ = block_pos;
    double whole = std::trunc(pulses);
    whole = std::clamp(whole, -32768.0, 32767.0);
    remainder_ = pulses - whole;
    return int(whole);
}

}  // namespace devsim
