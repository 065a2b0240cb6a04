#include "tools/devsim/simulator.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/rtl/numbers.h"

namespace devsim {

namespace {

std::int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The station writes a configuration block in one go, so a block whose
// length the console's manual leaves open ends where the line goes quiet.
constexpr int idle_ms = 30;
// A frame of known length whose rest is late is junk only after this long:
// the station's write of a frame goes out in parts when the line's buffer
// is full, and a loaded machine may give the rest its turn late.
constexpr int frame_patience_ms = 2000;

const char* const stray_bytes = "\x00\xFF\xA5";

std::string marker_of(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::console: return "SP";
        case DeviceKind::ind: return "AD";
        default: return "MMV";
    }
}

std::string hex(const Bytes& b, std::size_t from, std::size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = from; i < from + n && i < b.size(); ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

}  // namespace

DeviceKind device_kind(const std::string& name) {
    for (DeviceKind k : {DeviceKind::console, DeviceKind::mmv0, DeviceKind::mmv12, DeviceKind::mmv3, DeviceKind::uso1,
                         DeviceKind::ind})
        if (device_name(k) == name) return k;
    throw std::invalid_argument("unknown device '" + name + "' (console, mmv0, mmv12, mmv3, uso1 or ind)");
}

std::string device_name(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::console: return "console";
        case DeviceKind::mmv0: return "mmv0";
        case DeviceKind::mmv12: return "mmv12";
        case DeviceKind::mmv3: return "mmv3";
        case DeviceKind::uso1: return "uso1";
        case DeviceKind::ind: return "ind";
    }
    return "?";
}

Simulator::Simulator(Endpoint& line, Scenario& scenario, SimOptions options)
    : line_(line), scenario_(scenario), options_(options) {
    if (options_.bmv_length != 48 && options_.bmv_length != 11)
        options_.bmv_length = options_.kind == DeviceKind::mmv0 ? 48 : 11;
    block_ = std::max(options_.first_block, 0);
    last_byte_ms_ = now_ms();
    if (!options_.hold) first_played_ = 0;
}

int Simulator::played_number(int number) {
    if (first_played_ < 0 && released_) first_played_ = number;
    return first_played_ < 0 ? -1 : number - first_played_;
}

void Simulator::set_faults(std::vector<Fault> faults) { faults_ = std::move(faults); }

bool Simulator::confirmed_device() const {
    return options_.kind == DeviceKind::console || options_.kind == DeviceKind::mmv12 ||
           options_.kind == DeviceKind::mmv3;
}

void Simulator::note(const std::string& line) {
    std::lock_guard<std::mutex> l(mutex_);
    log_.push_back(line);
}

Bytes Simulator::frame_payload(SentReport& r) {
    const RigState& s = r.state;
    std::uint16_t pump1 = rate_code(s.pump[0]);
    switch (options_.kind) {
        case DeviceKind::console: {
            ConsoleReport c;
            for (int ch = 0; ch < ChannelMap::channels; ++ch) c.adc[std::size_t(ch)] = ChannelMap::code(ch, s);
            c.adc[20] = telemetry_code_5v(options_.rail5);
            c.adc[21] = telemetry_code_12v(options_.rail12);
            c.adc[22] = telemetry_code_temperature(options_.temperature);
            c.adc[23] = telemetry_code_supply(options_.supply);
            c.status = s.pump[0] > 0 ? 1 : 0;
            c.block = std::uint8_t(r.block);
            c.counter_increment = std::int16_t(r.counter_increment);
            for (int i = 0; i < 3; ++i) c.rate_codes[std::size_t(i)] = rate_code(s.pump[i]);
            c.extra_rate_code = 0;
            r.channels.assign(c.adc.begin(), c.adc.end());
            r.rate_codes.assign(c.rate_codes.begin(), c.rate_codes.end());
            r.extra_rate_code = c.extra_rate_code;
            return c.payload();
        }
        case DeviceKind::mmv0:
        case DeviceKind::mmv12:
        case DeviceKind::mmv3: {
            MmvFrame f;
            for (int ch = 0; ch < 16; ++ch) f.adc[std::size_t(ch)] = ChannelMap::code(ch, s);
            f.status = s.pump[0] > 0 ? 1 : 0;
            f.block = std::uint8_t(r.block);
            f.counter_increment = std::int16_t(r.counter_increment);
            f.rate = std::int16_t(pump1 & 0x7FFF);
            f.extra_rate = rate_code(s.pump[1]);
            int used = options_.kind == DeviceKind::mmv12 ? 7 : 16;
            r.channels.assign(f.adc.begin(), f.adc.begin() + used);
            r.rate_codes = {std::uint16_t(f.rate)};
            r.extra_rate_code = options_.kind == DeviceKind::mmv3 ? f.extra_rate : 0;
            if (options_.kind == DeviceKind::mmv0) return encode_mmv0(f);
            if (options_.kind == DeviceKind::mmv12) return encode_mmv12(f);
            return encode_mmv3(f);
        }
        case DeviceKind::uso1: {
            UsoFrame f;
            f.block = std::uint8_t(r.block);
            for (int ch = 0; ch < 5; ++ch) f.values[std::size_t(ch)] = std::int16_t(ChannelMap::code(ch, s));
            f.counter_increment = std::int16_t(r.counter_increment);
            f.rate = std::uint8_t(std::min<int>(pump1 & 0x7FFF, 255));
            f.extra_rate = std::uint8_t(std::min<int>(rate_code(s.pump[1]) & 0x7FFF, 255));
            r.channels.assign(f.values.begin(), f.values.end());
            r.rate_codes = {f.rate};
            r.extra_rate_code = f.extra_rate;
            return encode_uso1(f);
        }
        case DeviceKind::ind: {
            std::uint16_t code = ChannelMap::code(ChannelMap::hook_load, s);
            r.channels = {code};
            return encode_ad(std::uint16_t(r.block), code);
        }
    }
    return {};
}

SentReport Simulator::send_report() {
    SentReport r;
    r.number = next_number_++;
    const int played = played_number(r.number);
    std::vector<Fault> mine;
    for (const Fault& f : faults_)
        if (f.report == played) mine.push_back(f);

    bool silent = false, twice = false;
    for (const Fault& f : mine) silent = silent || f.kind == FaultKind::silence;
    if (silent) {
        // A quiet device measures nothing and numbers nothing.
        r.block = block_;
        r.faults.push_back(FaultKind::silence);
        note("report " + std::to_string(r.number) + " +silence (silent)");
        std::lock_guard<std::mutex> l(mutex_);
        ++counters_.reports;
        sent_.push_back(r);
        return r;
    }

    bool resend = options_.resend_unconfirmed && confirmed_device() && awaiting_confirmation_ && last_;
    if (resend) {
        // The device never heard its confirmation: the same frame again.
        SentReport again = *last_;
        r.block = again.block;
        r.t = again.t;
        r.state = again.state;
        r.channels = again.channels;
        r.counter_increment = again.counter_increment;
        r.rate_codes = again.rate_codes;
        r.extra_rate_code = again.extra_rate_code;
        r.payload = again.payload;
    } else {
        for (const Fault& f : mine)
            if (f.kind == FaultKind::skip) block_ += f.arg > 0 ? f.arg : 1;
        r.t = std::max(played, 0) * options_.period_ms / 1000.0;
        r.state = scenario_.at(r.t);
        r.counter_increment = pulses_.advance(r.state.block_pos);
        int modulo = options_.kind == DeviceKind::ind ? 0x10000 : 0x100;
        r.block = block_ % modulo;
        ++block_;
        r.payload = frame_payload(r);
    }

    std::string marker = marker_of(options_.kind);
    if (options_.kind == DeviceKind::console) {
        r.wire = encode_message(marker, r.payload.data(), r.payload.size(), r.number & 0x0F);
    } else {
        r.wire.assign(marker.begin(), marker.end());
        r.wire.insert(r.wire.end(), r.payload.begin(), r.payload.end());
    }

    int split_ms = 0;
    for (const Fault& f : mine) {
        r.faults.push_back(f.kind);
        switch (f.kind) {
            case FaultKind::flip: {
                // Console: inside packet 0's data, one line byte per bit, so
                // two flips are two bit errors in one packet. Older frames:
                // the frame's own bytes, from the first one.
                std::size_t first = options_.kind == DeviceKind::console ? marker.size() + 2 : marker.size();
                int bits = f.arg > 0 ? f.arg : 1;
                for (int i = 0; i < bits && first + std::size_t(i) < r.wire.size(); ++i)
                    r.wire[first + std::size_t(i)] ^= std::uint8_t(1u << (i % 8));
                break;
            }
            case FaultKind::stray: {
                int n = f.arg > 0 ? f.arg : 3;
                Bytes junk;
                for (int i = 0; i < n; ++i) junk.push_back(std::uint8_t(stray_bytes[i % 3]));
                r.wire.insert(r.wire.begin(), junk.begin(), junk.end());
                break;
            }
            case FaultKind::truncate: {
                std::size_t keep = f.arg > 0 ? std::size_t(f.arg) : r.wire.size() / 2;
                if (keep < r.wire.size()) r.wire.resize(keep);
                break;
            }
            case FaultKind::repeat: twice = true; break;
            case FaultKind::silence: break;
            case FaultKind::skip: break;
            case FaultKind::split: split_ms = f.arg > 0 ? f.arg : 50; break;
        }
    }

    if (split_ms > 0 && r.wire.size() > 1) {
        // The frame reaches the station in two reads.
        const auto half = r.wire.begin() + std::ptrdiff_t(r.wire.size() / 2);
        r.sent = line_.write_all(Bytes(r.wire.begin(), half), 2000);
        std::this_thread::sleep_for(std::chrono::milliseconds(split_ms));
        r.sent = r.sent && line_.write_all(Bytes(half, r.wire.end()), 2000);
    } else {
        r.sent = line_.write_all(r.wire, 2000);
    }
    if (r.sent && twice) r.sent = line_.write_all(r.wire, 2000);
    last_ = r;
    awaiting_confirmation_ = r.sent && confirmed_device();

    std::string line = "report " + std::to_string(r.number) + " block " + std::to_string(r.block);
    if (resend) line += " (again, unconfirmed)";
    for (FaultKind k : r.faults) line += " +" + fault_name(k);
    if (!r.sent) line += " (write failed)";
    note(line);
    {
        std::lock_guard<std::mutex> l(mutex_);
        ++counters_.reports;
        sent_.push_back(r);
    }
    return r;
}

bool Simulator::poll_once(int ms) {
    std::uint8_t buf[512];
    int n = line_.read_some(buf, sizeof buf, std::max(ms, 0));
    if (n > 0) {
        inbox_.insert(inbox_.end(), buf, buf + n);
        last_byte_ms_ = now_ms();
        parse(false);
        return true;
    }
    if (!inbox_.empty() && now_ms() - last_byte_ms_ >= idle_ms) parse(true);
    return false;
}

void Simulator::parse(bool idle) {
    static const char* const markers[] = {"CONFIRM", "CF", "DP", "BMV", "DA", "OPTIONS", "1CTRL", "EX_OPTS"};
    while (!inbox_.empty()) {
        bool prefix = false;
        const char* matched = nullptr;
        for (const char* m : markers) {
            std::size_t len = std::strlen(m);
            std::size_t k = std::min(len, inbox_.size());
            if (std::memcmp(inbox_.data(), m, k) != 0) continue;
            if (k < len) {
                prefix = true;
                continue;
            }
            matched = m;
            break;
        }
        if (!matched) {
            if (prefix && !idle) return;  // wait for the rest of a marker
            std::lock_guard<std::mutex> l(mutex_);
            ++counters_.junk_bytes;
            inbox_.erase(inbox_.begin());
            continue;
        }
        std::string m = matched;
        std::size_t head = m.size();
        std::size_t body = 0;
        bool open_length = false;
        if (m == "DP")
            body = packet_size;
        else if (m == "BMV")
            body = std::size_t(options_.bmv_length);
        else if (m == "DA")
            body = DaFrame::size - 2;
        else if (m == "OPTIONS" || m == "1CTRL" || m == "EX_OPTS") {
            body = config_block_length(m) + 1;
            open_length = body == 1;
        }
        if (open_length) {
            if (!idle) return;
            body = inbox_.size() - head;
            if (body == 0) {  // a header and nothing after it
                std::lock_guard<std::mutex> l(mutex_);
                counters_.junk_bytes += int(head);
                inbox_.erase(inbox_.begin(), inbox_.begin() + long(head));
                continue;
            }
        }
        if (inbox_.size() < head + body) {
            if (!idle || now_ms() - last_byte_ms_ < frame_patience_ms) return;
            // The line went quiet inside a frame: what came is junk.
            std::lock_guard<std::mutex> l(mutex_);
            counters_.junk_bytes += int(inbox_.size());
            inbox_.clear();
            return;
        }
        const std::uint8_t* p = inbox_.data() + head;
        if (m == "CF" || m == "CONFIRM") {
            bool first = awaiting_confirmation_;
            awaiting_confirmation_ = false;
            std::lock_guard<std::mutex> l(mutex_);
            ++counters_.acks;
            if (first) ++counters_.confirmations;
        } else if (m == "DP") {
            auto packet = decode_packet(p);
            if (!packet) {
                std::lock_guard<std::mutex> l(mutex_);
                ++counters_.bad_packets;
            } else if (auto msg = display_.add(*packet)) {
                DisplayPacket d = DisplayPacket::decode(*msg);
                std::string words;
                for (auto w : d.words) words += " " + std::to_string(w);
                note("display:" + words + " text '" + d.text + "' lamps " + std::to_string(d.lamps) + " gas scale " +
                     std::to_string(d.gas_scale) + " weight " + rtl::FloatToStr(d.string_weight) + " failures " +
                     std::to_string(d.failures) + " depth " + std::to_string(d.bottom_depth) + " / " +
                     std::to_string(d.current_depth));
                std::lock_guard<std::mutex> l(mutex_);
                displays_.push_back(d);
            }
        } else if (m == "BMV" && body == 48) {
            Bmv48 f = Bmv48::decode(p);
            std::string values;
            for (float v : f.values) values += " " + rtl::FloatToStr(v);
            note("BMV48:" + values);
            std::lock_guard<std::mutex> l(mutex_);
            bmv48_.push_back(f);
        } else if (m == "BMV") {
            Bmv11 f = Bmv11::decode(p);
            note("BMV11: number " + std::to_string(f.number()) + " indicators " + std::to_string(f.indicators[0]) +
                 " " + std::to_string(f.indicators[1]) + " " + std::to_string(f.indicators[2]) + " " +
                 std::to_string(f.indicators[3]) + " lamp " + std::to_string(f.lamp) +
                 (f.check_ok ? "" : " BAD CHECK"));
            std::lock_guard<std::mutex> l(mutex_);
            bmv11_.push_back(f);
        } else if (m == "DA") {
            DaFrame f = DaFrame::decode(inbox_.data());
            std::string points;
            for (int i = 0; i < std::min(f.count, 6); ++i)
                points += " (" + std::to_string(f.codes[std::size_t(i)]) + ", " +
                          rtl::FloatToStr(f.values[std::size_t(i)]) + ")";
            note("DA: max " + rtl::FloatToStr(f.maximum) + " points " + std::to_string(f.count) + points +
                 (f.crc_ok ? "" : " BAD CRC"));
            std::lock_guard<std::mutex> l(mutex_);
            da_.push_back(f);
        } else {
            ConfigBlock b;
            b.header = m;
            b.data.assign(p, p + body - 1);
            b.check_ok = xor_of(b.data.data(), b.data.size()) == p[body - 1];
            // The console takes a settings block only whole and checked.
            std::optional<ExOpts> opts;
            if (m == "EX_OPTS" && b.check_ok) opts = ExOpts::decode(b.data);
            note("block " + m + " of " + std::to_string(b.data.size()) + " bytes" +
                 (m == "EX_OPTS" ? " command " + std::to_string(b.command()) : std::string()) +
                 (b.check_ok ? "" : " BAD XOR") + ": " + hex(b.data, 0, 16) +
                 (opts ? " -> " + opts->describe() : std::string()));
            std::lock_guard<std::mutex> l(mutex_);
            if (!b.check_ok) ++counters_.bad_blocks;
            if (opts && !opts->valid) ++counters_.bad_settings;
            if (opts) settings_.apply(*opts);
            blocks_.push_back(std::move(b));
        }
        inbox_.erase(inbox_.begin(), inbox_.begin() + long(head + body));
    }
}

void Simulator::run() {
    const std::int64_t start = now_ms();
    std::int64_t next_send = start;
    const int limit = std::max(options_.max_ms, 1);
    while (!stop_) {
        std::int64_t now = now_ms();
        if (now - start >= limit) break;
        if (!line_.connected()) {
            // Over TCP the device starts once the station has connected.
            poll_once(20);
            next_send = now_ms();
            continue;
        }
        if (options_.max_reports > 0 && next_number_ >= options_.max_reports) {
            // Listen a little longer for the station's answer to the last one.
            poll(int(std::min<std::int64_t>(std::max(options_.period_ms, 300), limit - (now - start))));
            break;
        }
        if (now >= next_send) {
            const int played = played_number(next_number_);
            send_report();
            next_send += std::max(options_.period_ms, 1);
            for (const Fault& f : faults_)
                if (f.report == played && f.kind == FaultKind::silence) next_send += f.arg > 0 ? f.arg : 1000;
            continue;
        }
        poll_once(int(std::min<std::int64_t>(20, next_send - now)));
    }
}

SimCounters Simulator::counters() const {
    std::lock_guard<std::mutex> l(mutex_);
    return counters_;
}
std::vector<DisplayPacket> Simulator::displays() const {
    std::lock_guard<std::mutex> l(mutex_);
    return displays_;
}
ConsoleSettings Simulator::console_settings() const {
    std::lock_guard<std::mutex> l(mutex_);
    return settings_;
}

std::vector<ConfigBlock> Simulator::blocks() const {
    std::lock_guard<std::mutex> l(mutex_);
    return blocks_;
}
std::vector<Bmv48> Simulator::bmv48() const {
    std::lock_guard<std::mutex> l(mutex_);
    return bmv48_;
}
std::vector<Bmv11> Simulator::bmv11() const {
    std::lock_guard<std::mutex> l(mutex_);
    return bmv11_;
}
std::vector<DaFrame> Simulator::da_frames() const {
    std::lock_guard<std::mutex> l(mutex_);
    return da_;
}
std::vector<SentReport> Simulator::sent() const {
    std::lock_guard<std::mutex> l(mutex_);
    return sent_;
}
std::vector<std::string> Simulator::take_log() {
    std::lock_guard<std::mutex> l(mutex_);
    std::vector<std::string> out;
    out.swap(log_);
    return out;
}

}  // namespace devsim
