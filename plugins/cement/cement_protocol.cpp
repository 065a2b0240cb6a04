#include "plugins/cement/cement_protocol.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "gti/registr_old/comm_data.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/crc16.h"
#include "library/time_conv.h"

namespace cement {

namespace {

void put_f32(std::uint8_t* p, float v) {
    // Negative or not a number: the station takes neither (nor -0).
    if (!(v > 0)) v = 0;
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(u >> (8 * i));
}

std::uint16_t get_u16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

std::int64_t local_second() { return std::int64_t(lib::get_local_time()); }

}  // namespace

std::array<std::uint8_t, packet_size> build_packet(const PacketValues& v, bool link_lost) {
    std::array<std::uint8_t, packet_size> p{};
    p[0] = 0xFE;
    p[1] = 0xFF;
    p[2] = 0;
    p[3] = link_lost ? 1 : 0;
    put_f32(&p[4], v.density);
    put_f32(&p[8], v.pressure);
    put_f32(&p[12], v.flow);
    put_f32(&p[16], v.temperature);
    put_f32(&p[20], v.volume);
    put_f32(&p[24], v.volume_pc);
    const std::uint16_t crc = crc16_ccitt(p.data(), 28);
    p[28] = std::uint8_t(crc & 0xFF);
    p[29] = std::uint8_t(crc >> 8);
    return p;
}

bool parse_frame(const std::uint8_t* body, CommIncomData* d) {
    if (crc16_ccitt(body, 20) != get_u16(body + 20)) return false;
    for (int i = 0; i < 8; ++i) d->channels[i] = get_u16(body + 2 + 2 * i);
    d->channels[density_channel] = get_u16(body + 18);
    return true;
}

void StationLink::publish(const PacketValues& v) {
    std::lock_guard<std::mutex> l(mutex_);
    values_ = v;
}

PacketValues StationLink::published() const {
    std::lock_guard<std::mutex> l(mutex_);
    return values_;
}

bool StationLink::exchange(CommProtocols& protocols, CommIncomData* d) {
    if (!d) return false;
    const Clock now = clock_ ? clock_ : &local_second;
    if (!link_lost_) {
        // At most one exchange a second while the station answers; the wait
        // is bounded so a clock set back cannot hold the line.
        for (int i = 0; i < 150 && now() == last_second_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        last_second_ = now();
    }
    const bool lost = link_lost_.exchange(false);
    const auto packet = build_packet(published(), lost);
    CommPort& port = protocols.get_port();
    std::uint8_t body[frame_body];
    int got = 0;
    const bool ok = port.write(packet.data(), packet_size) && port.synchronize("\xFE\xFF") &&
                    port.read(body, frame_body, &got) && got == frame_body && parse_frame(body, d);
    if (!ok) link_lost_ = true;
    return ok;
}

}  // namespace cement
