#pragma once
// The device simulator: plays one of the station's devices on an Endpoint.
// It sends reports built from a Scenario, puts the planned faults on the
// line, and decodes everything the station sends back (confirmations, the
// console's display packet and configuration blocks, the older consoles'
// frames, the indicator unit's calibration frame).
//
// Two ways to drive it: step by step from one thread (send_report, then
// poll for what came back), which is what tests use to stay deterministic;
// or run(), a loop that sends a report every period and listens in between
// until its report count or its time limit is reached, or stop() is called.
// run() always ends: the time limit cannot be switched off.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/devsim/endpoint.h"
#include "tools/devsim/faults.h"
#include "tools/devsim/frames.h"
#include "tools/devsim/scenario.h"

namespace devsim {

enum class DeviceKind {
    console,  // the new driller's console: "SP" reports, "DP" display, blocks
    mmv0,     // acquisition unit, 40-byte frames, no check
    mmv12,    // acquisition unit, 21-byte frames, XOR check, confirmed
    mmv3,     // acquisition unit, 41-byte frames, XOR check, confirmed
    uso1,     // data-collection unit, 21-byte frames, sum check
    ind,      // indicator unit, "AD" frames, CRC-16
};

// Throws std::invalid_argument for an unknown name.
DeviceKind device_kind(const std::string& name);
std::string device_name(DeviceKind kind);

struct SimOptions {
    DeviceKind kind = DeviceKind::console;
    int period_ms = 200;  // run(): one report per period
    int max_reports = 0;  // run(): stop after this many (0: no count)
    int max_ms = 60000;   // run(): stop after this long, always
    // Send an unconfirmed report again (same block) instead of the next
    // one, as a device that waits for its confirmation does. Only devices
    // that are confirmed ("CF" or "CONFIRM") are affected.
    bool resend_unconfirmed = false;
    // Length of the "BMV" frames the station sends this device: 48 or 11;
    // 0 takes the pairing of the station's rows (48 with mmv0, else 11).
    int bmv_length = 0;
    int first_block = 0;  // block number of the first report
    // Play the scenario's first moment, without faults, until release():
    // a test starts the scenario once the station is recording, however
    // slowly a loaded machine started it. The scenario's time and the
    // faults' report numbers count from the first report after release().
    bool hold = false;
    // Console telemetry: rail voltages, supply and board temperature.
    double rail5 = 5.0, rail12 = 12.0, supply = 3.3, temperature = 25.0;
};

// What went out for one report.
struct SentReport {
    int number = 0;  // 0 for the first report
    int block = 0;
    double t = 0;  // scenario time
    RigState state;
    std::vector<std::uint16_t> channels;  // the codes as sent
    int counter_increment = 0;
    std::vector<std::uint16_t> rate_codes;
    std::uint16_t extra_rate_code = 0;
    Bytes payload;  // the frame's bytes before framing
    Bytes wire;     // what was written (faults included)
    std::vector<FaultKind> faults;
    bool sent = false;  // false under silence or a failed write
};

struct SimCounters {
    int reports = 0;
    int confirmations = 0;  // reports confirmed ("CF" or "CONFIRM")
    int acks = 0;           // every "CF" and "CONFIRM" received
    int bad_packets = 0;    // "DP" packets that failed their checks
    int junk_bytes = 0;     // bytes that fit no frame
    int bad_blocks = 0;     // configuration blocks with a wrong XOR
    int bad_settings = 0;   // "EX_OPTS" blocks the console cannot take
};

class Simulator {
public:
    Simulator(Endpoint& line, Scenario& scenario, SimOptions options);

    void set_faults(std::vector<Fault> faults);

    // Builds the next report at scenario time number x period, applies the
    // faults planned for it and writes it.
    SentReport send_report();
    // Reads and decodes what the station sends for up to ms milliseconds;
    // returns early once until() is true (checked after every read).
    template <typename Pred>
    bool poll_until(int ms, Pred until);
    void poll(int ms) {
        poll_until(ms, [] { return false; });
    }

    void run();
    void stop() { stop_ = true; }
    void release() { released_ = true; }

    // Results, safe to read from another thread while run() goes on.
    SimCounters counters() const;
    std::vector<DisplayPacket> displays() const;
    std::vector<ConfigBlock> blocks() const;
    // The console's brightness, degasser and tables from the blocks taken.
    ConsoleSettings console_settings() const;
    std::vector<Bmv48> bmv48() const;
    std::vector<Bmv11> bmv11() const;
    std::vector<DaFrame> da_frames() const;
    std::vector<SentReport> sent() const;
    // One line per event, for the program's log.
    std::vector<std::string> take_log();

private:
    bool poll_once(int ms);
    // The report's number counted from the scenario's start; -1 while held.
    int played_number(int number);
    void parse(bool idle);
    bool confirmed_device() const;
    Bytes frame_payload(SentReport& r);
    void note(const std::string& line);

    Endpoint& line_;
    Scenario& scenario_;
    SimOptions options_;
    std::vector<Fault> faults_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> released_{false};
    // The report number the scenario started at; -1 while it is held.
    int first_played_ = -1;

    int next_number_ = 0;
    int block_ = 0;
    PulseCounter pulses_;
    std::optional<SentReport> last_;
    bool awaiting_confirmation_ = false;

    Bytes inbox_;
    MessageAssembler display_{DisplayPacket::size};
    std::int64_t last_byte_ms_ = 0;

    mutable std::mutex mutex_;
    SimCounters counters_;
    std::vector<DisplayPacket> displays_;
    std::vector<ConfigBlock> blocks_;
    ConsoleSettings settings_;
    std::vector<Bmv48> bmv48_;
    std::vector<Bmv11> bmv11_;
    std::vector<DaFrame> da_;
    std::vector<SentReport> sent_;
    std::vector<std::string> log_;
};

template <typename Pred>
bool Simulator::poll_until(int ms, Pred until) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (until()) return true;
        auto gone =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (gone >= ms) return until();
        poll_once(int(std::min<long long>(ms - gone, 20)));
    }
}

}  // namespace devsim
