#pragma once
// The cementing-control station's line ("СКЦ"). One exchange a second of
// the clock (os::clock()), after a failed one too: the plug-in sends a
// 30-byte packet of its computed values, then reads the station's 24-byte
// frame of channel words. Little-endian; the check word is CRC-16/CCITT-FALSE.
//
// The station answers every packet it gets. Were the next packet sent at
// once after a failed exchange, each byte of junk on the line would cost
// one exchange and leave one more answer queued, and the plug-in would go on
// reading ever older frames; so after a failure the next exchange keeps the
// pace and drops what waits on the line before it asks.
//
// Packet: FE FF, 0 (reserved), the link-lost flag (1 when the previous
// exchange failed), six floats (density, pressure, flow, temperature,
// stage volume, stage volume in per cent of plan; anything not >= 0 is
// sent as 0), CRC over bytes 0..27.
// Frame: FE FF, two bytes the plug-in ignores, eight words for channels
// 0..7, a word for channel 30, CRC over the 20 bytes after the marker.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

class CommProtocols;
struct CommIncomData;

namespace cement {

constexpr int packet_size = 30;
constexpr int frame_size = 24;
constexpr int frame_body = 22;  // after the marker
constexpr int density_channel = 30;

// The six values a packet carries, in packet order.
struct PacketValues {
    float density = 0, pressure = 0, flow = 0, temperature = 0, volume = 0, volume_pc = 0;
};

std::array<std::uint8_t, packet_size> build_packet(const PacketValues& v, bool link_lost);
// The frame after its marker: false (d untouched) when its check word is
// wrong; else channels 0..7 and 30 of d are set.
bool parse_frame(const std::uint8_t* body, CommIncomData* d);

// The plug-in's end of the line: what the next packet carries, published by
// the main thread, and the state between exchanges, kept by the thread that
// reads the hub's port.
class StationLink {
public:
    void publish(const PacketValues& v);
    PacketValues published() const;

    bool link_lost() const { return link_lost_; }
    void set_link_lost() { link_lost_ = true; }
    // The next exchange waits for the clock's next second (recording start).
    void restart_pace();

    // One exchange on the protocols' port.
    bool exchange(CommProtocols& protocols, CommIncomData* d);

    // ---- what the good frames vouch for (os::clock() milliseconds) ---------
    // A good frame stands for the station's values until the next one is
    // due: one exchange's second and half of one more, so that the pace's
    // jitter leaves no hole while a frame lost on the line leaves a short one.
    static constexpr std::int64_t frame_hold_ms = 1500;
    // A good frame came at `at` (the exchange calls it; a test playing the
    // station without a line may too).
    void frame_received(std::int64_t at);
    // The part of (from, to] that good frames vouch for.
    std::int64_t covered_ms(std::int64_t from, std::int64_t to) const;
    // The time of the last good frame; none before the first.
    std::optional<std::int64_t> last_frame_ms() const;

private:
    mutable std::mutex mutex_;
    PacketValues values_;
    std::atomic<bool> link_lost_{true};
    std::atomic<std::int64_t> last_second_{-1};
    // Runs of time the frames vouch for, oldest first; a few minutes' worth
    // of holes is more than any cycle looks back.
    static constexpr std::size_t max_runs = 64;
    mutable std::mutex frames_mutex_;
    std::deque<std::pair<std::int64_t, std::int64_t>> runs_;
    std::optional<std::int64_t> last_frame_;
};

}  // namespace cement
