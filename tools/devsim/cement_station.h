#pragma once
// The cementing-control station: it answers each packet the station's
// plug-in sends (30 bytes: FE FF, a reserved 0, the link-lost flag, six
// floats of density, pressure, flow, temperature, stage volume and its per
// cent of plan, CRC-16 over bytes 0..27) with one frame of its channels
// (24 bytes: FE FF, a frame counter and 0, eight words for channels 0..7,
// a word for channel 30, CRC-16 over the 20 bytes after the marker).
//
// Channels, 12-bit codes of the full scale: 0 pressure (0-600 atm),
// 1 density (0-2.5 g/cm3), 2 temperature (0-100 °C), 3 flow (0-100 l/s),
// 30 the digital density, on the density's scale; the others 0.
//
// A packet whose check word is wrong gets no answer (and is counted), as
// does one that does not start with the marker (its bytes are junk). Values
// that are negative or not numbers, or a reserved byte other than 0, are
// counted as bad values. Faults act on frame numbers (0 for the first
// answer): flip (a wrong check word), truncate (a short frame), silence (no
// answer; with xMS no answer to any packet for MS milliseconds from there),
// split (the frame in two writes), stray (junk before the frame).
//
// Script format, as the rig's: '#' comments, a header naming the columns
//   t pressure density temperature flow
// (seconds, atm, g/cm3, °C, l/s), then rows with rising t, straight lines
// between them.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/devsim/endpoint.h"
#include "tools/devsim/faults.h"
#include "tools/devsim/scenario.h"
#include "tools/devsim/wire.h"

namespace devsim {

struct CementSample {
    double t = 0;
    double pressure = 0;     // atm
    double density = 0;      // g/cm3
    double temperature = 0;  // °C
    double flow = 0;         // l/s
};

class CementScenario {
public:
    // Throws ScriptError naming the line and the cause.
    static CementScenario parse(const std::string& text);
    static CementScenario load(const std::string& path);
    CementSample at(double t) const;
    const std::vector<CementSample>& rows() const { return rows_; }

private:
    std::vector<CementSample> rows_;
};

struct CementScale {
    static constexpr double pressure = 600, density = 2.5, temperature = 100, flow = 100;
    static std::uint16_t code(double value, double full_scale);
};

// The frame for a sample (24 bytes).
Bytes cement_frame(const CementSample& s, std::uint8_t counter);

struct CementPacket {
    bool link_lost = false;
    std::uint8_t reserved = 0;
    float density = 0, pressure = 0, flow = 0, temperature = 0, volume = 0, volume_pc = 0;
    bool values_ok = true;  // every float finite and >= 0, reserved 0
};
// Nothing when the check word does not match (p holds 30 bytes).
bool decode_cement_packet(const std::uint8_t* p, CementPacket& out);

struct CementAnswer {
    int number = 0;
    double real_s = 0;    // seconds since the first packet
    CementSample sample;  // at scenario time real_s × speed
    std::vector<FaultKind> faults;
    bool sent = false;  // a whole, good frame went out
};

struct CementCounters {
    int packets = 0;
    int bad_packets = 0;  // wrong check word
    int bad_values = 0;
    int lost_flags = 0;  // packets that said the last frame was lost
    int junk_bytes = 0;
    int answers = 0;
    int unanswered = 0;  // packets that came while the line was quiet
};

class CementStation {
public:
    // speed: scenario seconds per real second.
    CementStation(Endpoint& line, CementScenario scenario, double speed = 1.0);
    void set_faults(std::vector<Fault> faults) { faults_ = std::move(faults); }

    // Reads packets and answers them for up to ms milliseconds.
    void poll(int ms);
    // Polls until stop(), or max_ms.
    void run(int max_ms);
    void stop() { stop_ = true; }

    CementCounters counters() const;
    std::vector<CementPacket> packets() const;
    std::vector<CementAnswer> answers() const;
    std::vector<std::string> take_log();

private:
    void answer(const CementPacket& p);

    Endpoint& line_;
    CementScenario scenario_;
    double speed_;
    std::vector<Fault> faults_;
    std::atomic<bool> stop_{false};
    Bytes inbox_;
    bool started_ = false;
    std::chrono::steady_clock::time_point start_;
    int next_number_ = 0;
    std::chrono::steady_clock::time_point quiet_until_{};

    mutable std::mutex mutex_;
    CementCounters counters_;
    std::vector<CementPacket> packets_;
    std::vector<CementAnswer> answers_;
    std::vector<std::string> log_;
};

}  // namespace devsim
