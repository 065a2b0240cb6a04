#pragma once
// The cementing-control station's line ("СКЦ"). One exchange a second of
// the local clock (at once after a failed one): the plug-in sends a 30-byte
// packet of its computed values, then reads the station's 24-byte frame of
// channel words. Little-endian; the check word is CRC-16/CCITT-FALSE.
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
#include <mutex>

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
    // The local second of the last packet (recording start sets it).
    void set_last_second(std::int64_t s) { last_second_ = s; }

    // One exchange on the protocols' port.
    bool exchange(CommProtocols& protocols, CommIncomData* d);

    // The local clock's second; tests replace it.
    using Clock = std::int64_t (*)();
    void set_clock(Clock clock) { clock_ = clock; }

private:
    mutable std::mutex mutex_;
    PacketValues values_;
    std::atomic<bool> link_lost_{true};
    std::atomic<std::int64_t> last_second_{-1};
    Clock clock_ = nullptr;
};

}  // namespace cement
