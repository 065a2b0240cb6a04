#include "plugins/cement/cement_protocol.h"

#include <algorithm>
#include <cstring>

#include "gti/registr_old/comm_data.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/crc16.h"
#include "platform/os/clock.h"

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

void StationLink::restart_pace() { last_second_ = os::clock().now_ms() / 1000; }

bool StationLink::exchange(CommProtocols& protocols, CommIncomData* d) {
    if (!d) return false;
    os::Clock& clock = os::clock();
    // At most one exchange a second, whatever the last one gave; the wait is
    // bounded so that a clock that stands cannot hold the line.
    if (last_second_ >= 0)
        for (int i = 0; i < 150 && clock.now_ms() / 1000 == last_second_; ++i) clock.sleep_ms(10);
    last_second_ = clock.now_ms() / 1000;
    const bool lost = link_lost_.exchange(false);
    CommPort& port = protocols.get_port();
    // After a failed exchange whatever waits on the line (the rest of the
    // junk, an answer that came late) answers no packet of ours.
    if (lost) port.purge_input();
    const auto packet = build_packet(published(), lost);
    std::uint8_t body[frame_body];
    int got = 0;
    const bool ok = port.write(packet.data(), packet_size) && port.synchronize("\xFE\xFF") &&
                    port.read(body, frame_body, &got) && got == frame_body && parse_frame(body, d);
    if (ok)
        frame_received(clock.now_ms());
    else
        link_lost_ = true;
    return ok;
}

void StationLink::frame_received(std::int64_t at) {
    std::lock_guard<std::mutex> l(frames_mutex_);
    last_frame_ = last_frame_ ? std::max(*last_frame_, at) : at;
    if (!runs_.empty() && at <= runs_.back().second) {
        runs_.back().first = std::min(runs_.back().first, at);
        runs_.back().second = std::max(runs_.back().second, at + frame_hold_ms);
        return;
    }
    runs_.emplace_back(at, at + frame_hold_ms);
    if (runs_.size() > max_runs) runs_.pop_front();
}

std::int64_t StationLink::covered_ms(std::int64_t from, std::int64_t to) const {
    std::lock_guard<std::mutex> l(frames_mutex_);
    std::int64_t sum = 0;
    for (const auto& [a, b] : runs_) sum += std::max<std::int64_t>(0, std::min(to, b) - std::max(from, a));
    return sum;
}

std::optional<std::int64_t> StationLink::last_frame_ms() const {
    std::lock_guard<std::mutex> l(frames_mutex_);
    return last_frame_;
}

}  // namespace cement
