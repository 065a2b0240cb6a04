#include "tools/devsim/cement_station.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/rtl/numbers.h"
#include "tools/devsim/scenario.h"

namespace devsim {

namespace {

double* column_of(CementSample& s, const std::string& name) {
    if (name == "t") return &s.t;
    if (name == "pressure") return &s.pressure;
    if (name == "density") return &s.density;
    if (name == "temperature") return &s.temperature;
    if (name == "flow") return &s.flow;
    return nullptr;
}

double mix(double a, double b, double f) { return a + (b - a) * f; }

constexpr std::size_t packet_bytes = 30;

}  // namespace

CementScenario CementScenario::parse(const std::string& text) {
    CementScenario s;
    s.rows_ = parse_scenario_table<CementSample>(text, "cementing scenario", column_of);
    return s;
}

CementScenario CementScenario::load(const std::string& path) {
    const std::string text = read_scenario_text(path);
    try {
        return parse(text);
    } catch (const ScriptError& e) {
        throw ScriptError("'" + path + "' " + e.what());
    }
}

CementSample CementScenario::at(double t) const {
    if (t <= rows_.front().t) return rows_.front();
    if (t >= rows_.back().t) return rows_.back();
    auto hi = std::upper_bound(rows_.begin(), rows_.end(), t, [](double v, const CementSample& r) { return v < r.t; });
    const CementSample& b = *hi;
    const CementSample& a = *(hi - 1);
    const double f = (t - a.t) / (b.t - a.t);
    return {t, mix(a.pressure, b.pressure, f), mix(a.density, b.density, f), mix(a.temperature, b.temperature, f),
            mix(a.flow, b.flow, f)};
}

std::uint16_t CementScale::code(double value, double full_scale) {
    const double c = std::round(value / full_scale * 4095.0);
    return std::uint16_t(std::clamp(c, 0.0, 4095.0));
}

Bytes cement_frame(const CementSample& s, std::uint8_t counter) {
    Bytes f(24, 0);
    f[0] = 0xFE;
    f[1] = 0xFF;
    f[2] = counter;
    f[3] = 0;
    const std::uint16_t density = CementScale::code(s.density, CementScale::density);
    const std::uint16_t words[8] = {CementScale::code(s.pressure, CementScale::pressure),
                                    density,
                                    CementScale::code(s.temperature, CementScale::temperature),
                                    CementScale::code(s.flow, CementScale::flow),
                                    0,
                                    0,
                                    0,
                                    0};
    for (int i = 0; i < 8; ++i) put_u16(f, 4 + 2 * std::size_t(i), words[i]);
    put_u16(f, 20, density);
    put_u16(f, 22, crc16_bitwise(f.data() + 2, 20));
    return f;
}

bool decode_cement_packet(const std::uint8_t* p, CementPacket& out) {
    if (p[0] != 0xFE || p[1] != 0xFF) return false;
    if (crc16_bitwise(p, 28) != get_u16(p + 28)) return false;
    out.reserved = p[2];
    out.link_lost = p[3] != 0;
    float* fields[6] = {&out.density, &out.pressure, &out.flow, &out.temperature, &out.volume, &out.volume_pc};
    out.values_ok = p[2] == 0 && p[3] <= 1;
    for (int i = 0; i < 6; ++i) {
        *fields[i] = get_f32(p + 4 + 4 * i);
        if (!std::isfinite(*fields[i]) || *fields[i] < 0 || std::signbit(*fields[i])) out.values_ok = false;
    }
    return true;
}

CementStation::CementStation(Endpoint& line, CementScenario scenario, double speed)
    : line_(line), scenario_(std::move(scenario)), speed_(speed > 0 ? speed : 1.0) {}

void CementStation::poll(int ms) {
    std::uint8_t buf[256];
    const int n = line_.read_some(buf, sizeof buf, ms);
    if (n <= 0) return;
    inbox_.insert(inbox_.end(), buf, buf + n);
    for (;;) {
        // Junk before a marker is dropped byte by byte.
        std::size_t at = 0;
        while (at + 1 < inbox_.size() && !(inbox_[at] == 0xFE && inbox_[at + 1] == 0xFF)) ++at;
        if (at > 0) {
            std::lock_guard<std::mutex> l(mutex_);
            counters_.junk_bytes += int(at);
            inbox_.erase(inbox_.begin(), inbox_.begin() + std::ptrdiff_t(at));
        }
        if (inbox_.size() < packet_bytes) return;
        CementPacket p;
        const bool good = decode_cement_packet(inbox_.data(), p);
        if (!good) {
            // Not a packet here: look for the next marker after this one.
            std::lock_guard<std::mutex> l(mutex_);
            ++counters_.bad_packets;
            log_.push_back("packet with a wrong check word");
            inbox_.erase(inbox_.begin(), inbox_.begin() + 2);
            continue;
        }
        inbox_.erase(inbox_.begin(), inbox_.begin() + std::ptrdiff_t(packet_bytes));
        {
            std::lock_guard<std::mutex> l(mutex_);
            ++counters_.packets;
            if (!p.values_ok) ++counters_.bad_values;
            if (p.link_lost) ++counters_.lost_flags;
            packets_.push_back(p);
        }
        answer(p);
    }
}

void CementStation::answer(const CementPacket& p) {
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
        started_ = true;
        start_ = now;
    }
    if (now < quiet_until_) {
        std::lock_guard<std::mutex> l(mutex_);
        ++counters_.unanswered;
        log_.push_back("packet left unanswered: the line is quiet");
        return;
    }
    CementAnswer a;
    a.number = next_number_++;
    a.real_s = std::chrono::duration<double>(now - start_).count();
    a.sample = scenario_.at(a.real_s * speed_);
    Bytes wire = cement_frame(a.sample, std::uint8_t(a.number));
    bool silent = false;
    int split_ms = 0;
    for (const Fault& f : faults_) {
        if (f.report != a.number) continue;
        a.faults.push_back(f.kind);
        switch (f.kind) {
            case FaultKind::flip: wire[22] ^= 0x01; break;
            case FaultKind::truncate: wire.resize(std::size_t(f.arg > 0 && f.arg < 24 ? f.arg : 12)); break;
            case FaultKind::silence:
                silent = true;
                // With a length: the station says nothing more for that long.
                if (f.arg > 0) quiet_until_ = now + std::chrono::milliseconds(f.arg);
                break;
            case FaultKind::split: split_ms = f.arg > 0 ? f.arg : 50; break;
            case FaultKind::stray: wire.insert(wire.begin(), std::size_t(f.arg > 0 ? f.arg : 3), 0x55); break;
            case FaultKind::repeat:
            case FaultKind::skip: break;
        }
    }
    bool written = false;
    if (!silent) {
        if (split_ms > 0) {
            written = line_.write_all(Bytes(wire.begin(), wire.begin() + 10), 2000);
            std::this_thread::sleep_for(std::chrono::milliseconds(split_ms));
            written = written && line_.write_all(Bytes(wire.begin() + 10, wire.end()), 2000);
        } else {
            written = line_.write_all(wire, 2000);
        }
    }
    a.sent = written && a.faults.empty();
    for (FaultKind k : a.faults)
        if (k == FaultKind::split) a.sent = written;
    std::string line = "frame " + std::to_string(a.number) + " t " + rtl::FloatToStr(a.sample.t) + " flow " +
                       rtl::FloatToStr(a.sample.flow) + (p.link_lost ? " (station said: last frame lost)" : "");
    for (FaultKind k : a.faults) line += " +" + fault_name(k);
    std::lock_guard<std::mutex> l(mutex_);
    ++counters_.answers;
    answers_.push_back(a);
    log_.push_back(line);
}

void CementStation::run(int max_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
    while (!stop_ && std::chrono::steady_clock::now() < end) poll(50);
}

CementCounters CementStation::counters() const {
    std::lock_guard<std::mutex> l(mutex_);
    return counters_;
}

std::vector<CementPacket> CementStation::packets() const {
    std::lock_guard<std::mutex> l(mutex_);
    return packets_;
}

std::vector<CementAnswer> CementStation::answers() const {
    std::lock_guard<std::mutex> l(mutex_);
    return answers_;
}

std::vector<std::string> CementStation::take_log() {
    std::lock_guard<std::mutex> l(mutex_);
    std::vector<std::string> out;
    out.swap(log_);
    return out;
}

}  // namespace devsim
