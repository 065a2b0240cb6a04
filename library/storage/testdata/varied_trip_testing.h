#pragma once
// For tests of the compression export: a time file written block by block
// by the station's own block writer, with what a long trip meets on the way
// (gas readings over decades and stretches of none, mechanical columns with
// steps and spikes, a broken frame, a clock set back, a second parameter
// header that reorders, drops and adds columns, text values in two blocks,
// remarks, simple values, a record that does not match its header, a few
// damaged bytes). Every value comes from integer arithmetic and exact float
// operations, so the file's bytes are the same on every machine.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/file.h"

namespace storage_testing {

// A repeatable pseudo-random sequence.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : s_(seed) {}
    // In [-0.5, 0.5), in steps of 1/65536.
    float next() {
        s_ = s_ * 1664525u + 1013904223u;
        return static_cast<float>((s_ >> 8) & 0xFFFF) / 65536.0f - 0.5f;
    }
    std::uint32_t bits() {
        s_ = s_ * 1664525u + 1013904223u;
        return s_ >> 8;
    }

private:
    std::uint32_t s_;
};

inline std::vector<FileStorageParam> varied_params() {
    std::vector<FileStorageParam> p;
    auto add = [&](const std::string& global, const std::string& units) {
        p.emplace_back("Параметр " + global, global.substr(0, 4), units, global, 0.0f, 500.0f);
    };
    for (const char* g : {"вес_на_крюке", "давление_на_входе", "момент_ротора", "скорость_механическая"}) add(g, "т");
    for (const char* g : {"метан_абс", "этан_абс", "пропан_абс", "сумм_газ", "максимальный_газ"}) add(g, "%");
    for (int i = 0; i < 15; ++i) add("параметр_" + std::to_string(i), "ед");
    return p;
}

// The value of parameter `c` (its index in varied_params) at record i.
inline float varied_value(int c, int i, Noise& noise) {
    const float x = static_cast<float>(i);
    if (c < 4) {  // mechanical: a slow swing, steps, a spike now and then
        float v = 80.0f + 10.0f * static_cast<float>(c) + static_cast<float>((i / (300 + 70 * c)) % 4) * 12.5f;
        if (i % (997 + c) == 0) v += 40.0f;
        return v + 0.05f * noise.next();
    }
    if (c < 9) {  // gas: decades apart, none at all for stretches
        if ((i / 700 + c) % 5 == 0) return 0.0f;
        static const float kDecades[] = {1e-4f, 1e-3f, 1e-2f, 1e-1f, 1.0f, 10.0f};
        return kDecades[(i / 1500 + c) % 6] * (1.5f + noise.next());
    }
    switch (c % 6) {
        case 0: return static_cast<float>((i / (600 + 37 * c)) % 3);                  // pump count
        case 1: return 40.0f + 0.001f * x + 4.0f * noise.next();                     // noisy wander
        case 2: return -20.0f + static_cast<float>((i * 7) % 2000) * 0.01f;          // a saw below 0
        case 3: return 1.0e6f + static_cast<float>(noise.bits() % 1000);              // large readings
        case 4: return c == 10 && i % 4111 == 7 ? std::numeric_limits<float>::quiet_NaN() : 0.25f;  // flat, a rare NaN
        default: return 1.0e-3f * (1.0f + static_cast<float>(i % 97) / 97.0f);       // tiny readings
    }
}

// Writes the trip of about `records` records to `path`, the records' clock
// starting at t0. Returns false when the file cannot be written.
inline bool write_varied_trip(const std::string& path, int records, std::uint32_t t0 = 1700000000u) {
    os::File out;
    if (out.open(path, os::File::Mode::write_truncate, false) != os::File::Status::ok) return false;
    std::string bytes;
    lib::io::BinaryMemoryOutputStream stream(bytes);
    lib::realtime::BlockEncoder encoder;
    const std::vector<FileStorageParam> first = varied_params();
    // The second header: the first ten columns in reverse, three new ones,
    // the rest of the first header left out.
    std::vector<FileStorageParam> second(first.rbegin() + static_cast<long>(first.size() - 10), first.rend());
    for (int k = 0; k < 3; ++k)
        second.emplace_back("Новый " + std::to_string(k), "Н" + std::to_string(k), "ед", "новый_" + std::to_string(k),
                            0.0f, 10.0f);
    std::vector<int> source;  // the varied_value index of each column of the header in force
    auto header = [&](const std::vector<FileStorageParam>& params) {
        encoder.write_params(stream, params);
        source.clear();
        for (const auto& p : params) {
            int at = 17;  // the new columns follow one of the first header's
            for (std::size_t k = 0; k < first.size(); ++k)
                if (first[k].global_name == p.global_name) at = static_cast<int>(k);
            source.push_back(at);
        }
    };
    header(first);
    encoder.write_text(stream, "номер_рейса=7\r\nшаг_записи_по_времени=1\r\nскважина=\"101\"\r\n");
    Noise noise(20261211u);
    std::vector<float> values;
    std::uint32_t t = t0;
    for (int i = 0; i < records; ++i) {
        if (i == records * 3 / 10) t -= 600;  // the clock set back
        if (i == records * 6 / 10) {
            header(second);
            encoder.write_text(stream, "глубина_забоя=1512,5\r\nскважина=\"101\"\r\n");
        }
        values.resize(source.size());
        for (std::size_t c = 0; c < source.size(); ++c) values[c] = varied_value(source[c], i, noise);
        // A broken frame: a value beyond the readers' bound.
        if (i % 5003 == 11) values[3] = 3e20f;
        const float depth = 1500.0f + 0.001f * static_cast<float>(i);
        const auto operation = static_cast<unsigned char>((i / 900) % 7);
        encoder.write_record(stream, t, depth, depth - 0.5f, depth - 3.0f, operation, values.data(), values.size());
        if (i % 2500 == 1250) encoder.write_remark(stream, t, depth, "Отметка " + std::to_string(i));
        if (i % 3100 == 40) encoder.write_simple_values(stream, t, values.data(), values.size());
        // A record of another header's width: skipped by the readers.
        if (i % 4700 == 99) encoder.write_record(stream, t, depth, depth, depth, 0, values.data(), values.size() - 1);
        // A few bytes of damage between blocks.
        if (i == records / 2) bytes.append("\xFF\xFE\x00\x7F\x01\x02\x03", 7);
        ++t;
        if (bytes.size() > (1u << 20) || i + 1 == records) {
            if (!out.write(bytes.data(), bytes.size())) return false;
            bytes.clear();
        }
    }
    return out.close();
}

// FNV-1a, 64 bits: a digest of an export's file to compare across versions.
inline std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace storage_testing
