// The vector codings shared by the export for compression and the
// single-stream archive.
//
// Every scalar is little-endian, as the binary streams write it.
//
//   byte-plane vector of k-byte elements (k = 1, 2, 4):
//       n (int32) | byte 0 of elements 0..n-1 | byte 1 of elements 0..n-1 | ...
//
//   coding 1, plain:      byte-plane vector of float
//   coding 2, quantised:  s (int32, 1, 2 or 4: bytes per element) |
//                         N (uint32, levels) | max (float) | min (float) |
//                         n (int32) | outlier positions (byte-plane int32,
//                         ascending, below n) | outlier values (byte-plane
//                         float, as many) | quantised values (byte-plane of
//                         s-byte unsigned, one per other position, n minus
//                         the outliers)
//                         q stands for (max - min) * q / N + min
//   coding 3, wavelet:    L (uint32, 64 * 2^k, not below the column length) |
//                         part 0 | part 1, each lo (float) | hi (float) |
//                         levels (uint32, 2048) | byte-plane uint16: part 0
//                         the 32 approximation coefficients, part 1 the
//                         other L - 32; q stands for (hi - lo) * q / levels + lo
//
// Quantisation keeps a column within 0.0001 relative error by storing its
// worst values raw: at most n / 30 of them (one below 30 values). Those are
// found by partial selection, since a full sort of every attempt would cost
// more than the rest of the export together; an attempt that cannot succeed
// (more values beyond the error bound than may be stored raw) is given up as
// soon as that is certain, so the cascade costs little more than the attempt
// that is taken.
//
// Values that are not finite cannot be quantised or transformed: the
// quantised coding stores them raw (beyond the n / 30), the wavelet coding
// as 0. No value read from a file ever reaches a float-to-integer conversion
// unchecked, and the results of corrupt scale fields saturate to infinity.

#include "library/storage/file_storage.h"

#include "library/numeric/numeric.h"
#include "library/wavelet/wavelet.h"
#include "platform/rtl/numbers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

using lib::io::BinaryInputStream;
using lib::io::BinaryOutputStream;

// The largest relative error an attempt accepts (single precision, as the
// files have always been judged).
constexpr double kMaxError = static_cast<double>(0.0001f);
constexpr float kGasEps = 1e-25f;
constexpr float kGasCeiling = 1e20f;
constexpr unsigned kWaveletLevels = 2048;
constexpr std::size_t kApproximation = wave::min_transform_length / 2;
constexpr std::size_t kMaxLength = 0x7FFFFFFF;  // counts are int32

[[noreturn]] void corrupt(const char* where, const std::string& what) {
    throw FileStorageException(std::string(where) + ": " + what, true);
}

std::string num(long long v) { return rtl::IntToStr(v); }

void check_writable_length(const char* where, std::size_t n) {
    if (n > kMaxLength)
        throw FileStorageException(
            std::string(where) + ": " + num(static_cast<long long>(n)) + " значений не помещаются в один вектор", true);
}

// A double as the nearest float, overflow giving infinity (a plain
// conversion of a value beyond the float range is undefined).
float to_float(double x) {
    constexpr double top = std::numeric_limits<float>::max();
    if (x > top) return std::numeric_limits<float>::infinity();
    if (x < -top) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}

// Truncation to an element of T within [0, top]; NaN gives 0.
template <typename T>
T quantum(double x, double top) {
    if (!(x >= 0.0)) return 0;
    if (x >= top) return static_cast<T>(top);
    return static_cast<T>(x);
}

// What a reader makes of q: one formula for the writer's error check and
// every reader, so that the check holds for what is read back.
float dequantise(float min, float max, double q, double levels) {
    return to_float((static_cast<double>(max) - static_cast<double>(min)) * q / levels + static_cast<double>(min));
}

// The unsigned integer with the bytes of T.
template <typename T>
using bits_of =
    std::conditional_t<sizeof(T) == 1, std::uint8_t, std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint32_t>>;

// Reads count bytes, growing the buffer only as they arrive: a corrupt count
// costs at most twice the bytes the stream really holds.
void read_bytes(BinaryInputStream& in, std::size_t count, std::vector<char>& out) {
    constexpr std::size_t kChunk = 64 << 10;
    out.clear();
    std::vector<char> chunk(std::min(count, kChunk));
    while (out.size() < count) {
        const std::size_t part = std::min(kChunk, count - out.size());
        in.read(chunk.data(), static_cast<unsigned>(part));
        out.insert(out.end(), chunk.data(), chunk.data() + part);
    }
}

const wave::wavelet& station_wavelet() {
    static const wave::wavelet w(wave::coif5_filter.data(), wave::coif5_filter.size());
    return w;
}

// One part of the wavelet coefficients, quantised to kWaveletLevels levels.
void write_wavelet_part(BinaryOutputStream& out, const wave::float_vector& c, std::size_t from, std::size_t to) {
    double lo = c[from], hi = c[from];
    for (std::size_t i = from; i < to; ++i) {
        lo = std::min(lo, c[i]);
        hi = std::max(hi, c[i]);
    }
    // The bounds as they are stored, so that q is measured from what the
    // reader will have.
    const float lo_f = to_float(lo);
    float hi_f = to_float(hi);
    if (static_cast<double>(hi_f) - static_cast<double>(lo_f) < 1e-20) hi_f = hi_f + 1.0f;
    const double range = static_cast<double>(hi_f) - static_cast<double>(lo_f);
    const bool usable = range > 0 && std::isfinite(range);
    std::vector<std::uint16_t> q(to - from, 0);
    if (usable)
        for (std::size_t i = from; i < to; ++i)
            q[i - from] = quantum<std::uint16_t>((c[i] - lo_f) * kWaveletLevels / range + 0.5, 65535.0);
    out << lo_f << hi_f << kWaveletLevels;
    FileStorage::add_new_reg_file_vector(out, q);
}

void read_wavelet_part(BinaryInputStream& in, wave::float_vector& c, std::size_t from, std::size_t count) {
    float lo, hi;
    unsigned levels;
    in >> lo >> hi >> levels;
    if (levels == 0) corrupt("FileStorage::read_wavelet_vector", "число уровней квантования равно 0");
    std::vector<std::uint16_t> q;
    FileStorage::read_new_reg_file_vector(in, q, count);
    if (q.size() != count)
        corrupt("FileStorage::read_wavelet_vector", "в части коэффициентов " + num(static_cast<long long>(q.size())) +
                                                        " значений, ожидалось " + num(static_cast<long long>(count)));
    const double step = (static_cast<double>(hi) - static_cast<double>(lo)) / levels;
    for (std::size_t i = 0; i < count; ++i) c[from + i] = step * q[i] + static_cast<double>(lo);
}

}  // namespace

// --- byte-plane vectors ---

template <typename T>
void FileStorage::add_new_reg_file_vector(BinaryOutputStream& out, const std::vector<T>& values) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4);
    using U = bits_of<T>;
    const std::size_t n = values.size();
    check_writable_length("FileStorage::add_new_reg_file_vector", n);
    out << static_cast<int>(n);
    constexpr std::size_t kChunk = 64 << 10;
    char plane[kChunk];
    for (std::size_t b = 0; b < sizeof(T); ++b) {
        for (std::size_t at = 0; at < n; at += kChunk) {
            const std::size_t part = std::min(kChunk, n - at);
            for (std::size_t i = 0; i < part; ++i)
                plane[i] = static_cast<char>(std::bit_cast<U>(values[at + i]) >> (8 * b));
            out.write(plane, static_cast<unsigned>(part));
        }
    }
}

template <typename T>
void FileStorage::read_new_reg_file_vector(BinaryInputStream& in, std::vector<T>& values, std::size_t max_count) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4);
    using U = bits_of<T>;
    int stored;
    in >> stored;
    if (stored < 0 || static_cast<std::size_t>(stored) > max_count)
        corrupt("FileStorage::read_new_reg_file_vector",
                "длина вектора " + num(stored) + " вне пределов 0.." + num(static_cast<long long>(max_count)));
    const std::size_t n = static_cast<std::size_t>(stored);
    std::vector<char> bytes;
    read_bytes(in, n * sizeof(T), bytes);
    values.resize(n);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < n; ++i) {
        U u = 0;
        for (std::size_t b = 0; b < sizeof(T); ++b) u = static_cast<U>(u | (static_cast<U>(p[b * n + i]) << (8 * b)));
        values[i] = std::bit_cast<T>(u);
    }
}

template void FileStorage::add_new_reg_file_vector<char>(BinaryOutputStream&, const std::vector<char>&);
template void FileStorage::add_new_reg_file_vector<unsigned char>(BinaryOutputStream&,
                                                                  const std::vector<unsigned char>&);
template void FileStorage::add_new_reg_file_vector<unsigned short>(BinaryOutputStream&,
                                                                   const std::vector<unsigned short>&);
template void FileStorage::add_new_reg_file_vector<int>(BinaryOutputStream&, const std::vector<int>&);
template void FileStorage::add_new_reg_file_vector<unsigned int>(BinaryOutputStream&, const std::vector<unsigned int>&);
template void FileStorage::add_new_reg_file_vector<float>(BinaryOutputStream&, const std::vector<float>&);
template void FileStorage::read_new_reg_file_vector<char>(BinaryInputStream&, std::vector<char>&, std::size_t);
template void FileStorage::read_new_reg_file_vector<unsigned char>(BinaryInputStream&, std::vector<unsigned char>&,
                                                                   std::size_t);
template void FileStorage::read_new_reg_file_vector<unsigned short>(BinaryInputStream&, std::vector<unsigned short>&,
                                                                    std::size_t);
template void FileStorage::read_new_reg_file_vector<int>(BinaryInputStream&, std::vector<int>&, std::size_t);
template void FileStorage::read_new_reg_file_vector<unsigned int>(BinaryInputStream&, std::vector<unsigned int>&,
                                                                  std::size_t);
template void FileStorage::read_new_reg_file_vector<float>(BinaryInputStream&, std::vector<float>&, std::size_t);

// --- record fields ---

namespace {

template <typename T>
struct stored_field {
    using type = T;
    static type get(const T& v) { return v; }
    static T put(type v) { return v; }
};
template <>
struct stored_field<lib::unix_time> {
    using type = unsigned int;
    static type get(const lib::unix_time& v) { return v.get_value(); }
    static lib::unix_time put(type v) { return lib::unix_time(v); }
};
template <>
struct stored_field<unsigned char> {
    using type = char;
    static type get(unsigned char v) { return static_cast<char>(v); }
    static unsigned char put(type v) { return static_cast<unsigned char>(v); }
};

}  // namespace

template <typename T>
void FileStorage::add_new_reg_any_values(BinaryOutputStream& out, T FileStorageRecord::*member) const {
    using S = stored_field<T>;
    std::vector<typename S::type> field(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) field[i] = S::get(records_[i].*member);
    add_new_reg_file_vector(out, field);
}

template <typename T>
void FileStorage::read_new_reg_any_values(BinaryInputStream& in, T FileStorageRecord::*member) {
    using S = stored_field<T>;
    std::vector<typename S::type> field;
    read_new_reg_file_vector(in, field, records_.size());
    if (field.size() != records_.size())
        corrupt("FileStorage::read_new_reg_any_values", "длина вектора " + num(static_cast<long long>(field.size())) +
                                                            " не равна числу записей " +
                                                            num(static_cast<long long>(records_.size())));
    for (std::size_t i = 0; i < field.size(); ++i) records_[i].*member = S::put(field[i]);
}

template void FileStorage::add_new_reg_any_values<lib::unix_time>(BinaryOutputStream&,
                                                                  lib::unix_time FileStorageRecord::*) const;
template void FileStorage::add_new_reg_any_values<float>(BinaryOutputStream&, float FileStorageRecord::*) const;
template void FileStorage::add_new_reg_any_values<unsigned char>(BinaryOutputStream&,
                                                                 unsigned char FileStorageRecord::*) const;
template void FileStorage::read_new_reg_any_values<lib::unix_time>(BinaryInputStream&,
                                                                   lib::unix_time FileStorageRecord::*);
template void FileStorage::read_new_reg_any_values<float>(BinaryInputStream&, float FileStorageRecord::*);
template void FileStorage::read_new_reg_any_values<unsigned char>(BinaryInputStream&,
                                                                  unsigned char FileStorageRecord::*);

// --- coding 2, quantised ---

namespace {

// The working memory of quantisation attempts, kept from one attempt of a
// column's cascade to the next: fresh memory for every attempt costs the
// system more than the attempt itself.
struct QuantiserScratch {
    std::vector<double> error;
    std::vector<int> chosen, worst;
    std::vector<float> raw;
    std::vector<std::uint8_t> q8, kept8;
    std::vector<std::uint16_t> q16, kept16;

    template <typename T>
    std::vector<T>& q() {
        if constexpr (sizeof(T) == 1)
            return q8;
        else
            return q16;
    }
    template <typename T>
    std::vector<T>& kept() {
        if constexpr (sizeof(T) == 1)
            return kept8;
        else
            return kept16;
    }
};

template <typename T>
bool quantise(QuantiserScratch& scratch, BinaryOutputStream& out, const std::vector<float>& values, unsigned int levels,
              bool force) {
    const std::size_t n = values.size();
    check_writable_length("FileStorage::try_to_copmpress", n);
    if (levels == 0) throw FileStorageException("FileStorage::try_to_copmpress: число уровней равно 0", true);

    float min = 0.0f, max = 0.0f;
    bool any = false;
    for (float v : values) {
        if (!std::isfinite(v)) continue;
        if (!any || v < min) min = v;
        if (!any || v > max) max = v;
        any = true;
    }
    if (lib::is_over_null(static_cast<double>(max) - static_cast<double>(min))) max = max + 1.0f;
    // Still zero when the 1 is lost in a huge max: then every q is 0.
    const double range = static_cast<double>(max) - static_cast<double>(min);
    const double top = std::min<double>(levels, std::numeric_limits<T>::max());
    const std::size_t cap = std::max<std::size_t>(n / 30, 1);

    std::vector<T>& q = scratch.q<T>();
    std::vector<double>& error = scratch.error;
    std::vector<int>& chosen = scratch.chosen;  // positions stored raw
    q.assign(n, 0);
    error.assign(n, 0.0);
    chosen.clear();
    std::size_t beyond = 0;  // errors at or above the bound
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const float v = values[i];
        if (!std::isfinite(v)) {
            chosen.push_back(static_cast<int>(i));
            continue;
        }
        const T qi = range > 0 ? quantum<T>((static_cast<double>(v) - min) * levels / range + 0.5, top) : T(0);
        const double d = dequantise(min, max, qi, levels);
        const double e = lib::is_over_null(v) ? 0.0 : std::fabs((d - v) / v);
        q[i] = qi;
        error[i] = e;
        sum += e;
        // More such values than may be stored raw: the attempt fails
        // whatever is chosen, and the rest need not be looked at.
        if (!force && e >= kMaxError && ++beyond > cap) return false;
    }
    const std::size_t finite = n - chosen.size();

    // The values with the largest errors, at or above four times the mean,
    // at most cap of them.
    const double threshold = finite ? 4.0 * (sum / static_cast<double>(finite)) : 0.0;
    std::vector<int>& worst = scratch.worst;
    worst.clear();
    for (std::size_t i = 0; i < n; ++i)
        if (std::isfinite(values[i]) && error[i] >= threshold) worst.push_back(static_cast<int>(i));
    if (worst.size() > cap) {
        std::nth_element(
            worst.begin(), worst.begin() + static_cast<std::ptrdiff_t>(cap), worst.end(),
            [&](int a, int b) { return error[static_cast<std::size_t>(a)] > error[static_cast<std::size_t>(b)]; });
        worst.resize(cap);
    }
    chosen.insert(chosen.end(), worst.begin(), worst.end());
    std::sort(chosen.begin(), chosen.end());

    std::vector<float>& raw = scratch.raw;
    std::vector<T>& kept = scratch.kept<T>();
    raw.clear();
    kept.clear();
    double largest = 0.0;
    std::size_t next = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (next < chosen.size() && static_cast<std::size_t>(chosen[next]) == i) {
            raw.push_back(values[i]);
            ++next;
        } else {
            kept.push_back(q[i]);
            largest = std::max(largest, error[i]);
        }
    }
    if (!force && !(largest < kMaxError)) return false;

    out << static_cast<int>(sizeof(T)) << levels << max << min << static_cast<int>(n);
    FileStorage::add_new_reg_file_vector(out, chosen);
    FileStorage::add_new_reg_file_vector(out, raw);
    FileStorage::add_new_reg_file_vector(out, kept);
    return true;
}

}  // namespace

template <typename T>
bool FileStorage::try_to_copmpress(BinaryOutputStream& out, const std::vector<float>& values, unsigned int levels,
                                   bool force) {
    QuantiserScratch scratch;
    return quantise<T>(scratch, out, values, levels, force);
}

template bool FileStorage::try_to_copmpress<std::uint8_t>(BinaryOutputStream&, const std::vector<float>&, unsigned,
                                                          bool);
template bool FileStorage::try_to_copmpress<std::uint16_t>(BinaryOutputStream&, const std::vector<float>&, unsigned,
                                                           bool);

void FileStorage::try_to_compress(BinaryOutputStream& out, const std::vector<float>& values) {
    out << coding_quantised;
    QuantiserScratch scratch;
    if (quantise<std::uint8_t>(scratch, out, values, 255, false)) return;
    for (unsigned levels : {1024u, 2048u, 4096u, 8192u, 16384u, 32768u})
        if (quantise<std::uint16_t>(scratch, out, values, levels, false)) return;
    quantise<std::uint16_t>(scratch, out, values, 65535, true);
}

template <typename T>
void FileStorage::smart_read_vector2(BinaryInputStream& in, std::vector<float>& values,
                                     const std::vector<int>& outlier_indices, const std::vector<float>& outlier_values,
                                     float min, float max, float levels, int n) {
    const char* where = "FileStorage::smart_read_vector2";
    if (n < 0) corrupt(where, "длина столбца " + num(n));
    if (!(levels > 0.0f)) corrupt(where, "число уровней квантования не больше 0");
    const std::size_t count = static_cast<std::size_t>(n);
    if (outlier_values.size() != outlier_indices.size())
        corrupt(where, "значений выбросов " + num(static_cast<long long>(outlier_values.size())) + ", а их номеров " +
                           num(static_cast<long long>(outlier_indices.size())));
    for (std::size_t k = 0; k < outlier_indices.size(); ++k) {
        const int at = outlier_indices[k];
        if (at < 0 || static_cast<std::size_t>(at) >= count || (k > 0 && at <= outlier_indices[k - 1]))
            corrupt(where, "номера выбросов не возрастают или выходят за длину столбца " + num(n));
    }
    const std::size_t expected = count - outlier_indices.size();
    std::vector<T> q;
    read_new_reg_file_vector(in, q, expected);
    if (q.size() != expected)
        corrupt(where, "квантованных значений " + num(static_cast<long long>(q.size())) + ", ожидалось " +
                           num(static_cast<long long>(expected)));
    values.resize(count);
    std::size_t next = 0, taken = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (next < outlier_indices.size() && static_cast<std::size_t>(outlier_indices[next]) == i)
            values[i] = outlier_values[next++];
        else
            values[i] = dequantise(min, max, static_cast<double>(q[taken++]), levels);
    }
}

template void FileStorage::smart_read_vector2<std::uint8_t>(BinaryInputStream&, std::vector<float>&,
                                                            const std::vector<int>&, const std::vector<float>&, float,
                                                            float, float, int);
template void FileStorage::smart_read_vector2<std::uint16_t>(BinaryInputStream&, std::vector<float>&,
                                                             const std::vector<int>&, const std::vector<float>&, float,
                                                             float, float, int);
template void FileStorage::smart_read_vector2<std::uint32_t>(BinaryInputStream&, std::vector<float>&,
                                                             const std::vector<int>&, const std::vector<float>&, float,
                                                             float, float, int);

void FileStorage::smart_read_vector(BinaryInputStream& in, std::vector<float>& values, std::size_t count) {
    const char* where = "FileStorage::smart_read_vector";
    int size, n;
    unsigned levels;
    float max, min;
    in >> size >> levels >> max >> min >> n;
    if (size != 1 && size != 2 && size != 4) corrupt(where, "размер квантованного значения " + num(size));
    if (levels == 0) corrupt(where, "число уровней квантования равно 0");
    if (n < 0 || static_cast<std::size_t>(n) != count)
        corrupt(where, "длина столбца " + num(n) + " не равна числу записей " + num(static_cast<long long>(count)));
    std::vector<int> indices;
    read_new_reg_file_vector(in, indices, count);
    std::vector<float> raw;
    read_new_reg_file_vector(in, raw, indices.size());
    const float fl = static_cast<float>(levels);
    switch (size) {
        case 1: smart_read_vector2<std::uint8_t>(in, values, indices, raw, min, max, fl, n); break;
        case 2: smart_read_vector2<std::uint16_t>(in, values, indices, raw, min, max, fl, n); break;
        default: smart_read_vector2<std::uint32_t>(in, values, indices, raw, min, max, fl, n); break;
    }
}

// --- coding 3, wavelet ---

void FileStorage::wavelet_compress(BinaryOutputStream& out, const std::vector<float>& values, float factor) {
    const std::size_t n = values.size();
    check_writable_length("FileStorage::wavelet_compress", n);
    const std::size_t length = wave::padded_length(n);
    wave::float_vector x(length);
    double last = 0.0;
    for (std::size_t i = 0; i < n; ++i) x[i] = last = std::isfinite(values[i]) ? values[i] : 0.0;
    std::fill(x.begin() + static_cast<std::ptrdiff_t>(n), x.end(), last);
    // Transformed in place: a second vector of the padded length would be
    // the largest part of the memory that coding a long column takes.
    wave::wavelet_compress_vector(station_wavelet(), x, x, true, factor);
    out << coding_wavelet << static_cast<unsigned>(length);
    write_wavelet_part(out, x, 0, kApproximation);
    write_wavelet_part(out, x, kApproximation, length);
}

void FileStorage::read_wavelet_vector(BinaryInputStream& in, std::vector<float>& values, std::size_t count) {
    unsigned stored;
    in >> stored;
    const std::size_t length = stored;
    if (!wave::is_valid_length(length) || length < count)
        corrupt("FileStorage::read_wavelet_vector", "число коэффициентов " + num(stored) +
                                                        " не равно 64·2^k или меньше длины столбца " +
                                                        num(static_cast<long long>(count)));
    // The parts are read before the coefficient vector is made: a corrupt L
    // allocates nothing the file does not hold.
    wave::float_vector head(kApproximation);
    read_wavelet_part(in, head, 0, kApproximation);
    float lo, hi;
    unsigned levels;
    in >> lo >> hi >> levels;
    if (levels == 0) corrupt("FileStorage::read_wavelet_vector", "число уровней квантования равно 0");
    std::vector<std::uint16_t> q;
    read_new_reg_file_vector(in, q, length - kApproximation);
    if (q.size() != length - kApproximation)
        corrupt("FileStorage::read_wavelet_vector", "коэффициентов детализации " +
                                                        num(static_cast<long long>(q.size())) + ", ожидалось " +
                                                        num(static_cast<long long>(length - kApproximation)));
    wave::float_vector c(length);
    std::copy(head.begin(), head.end(), c.begin());
    const double step = (static_cast<double>(hi) - static_cast<double>(lo)) / levels;
    for (std::size_t i = 0; i < q.size(); ++i) c[kApproximation + i] = step * q[i] + static_cast<double>(lo);
    wave::float_vector restored;
    wave::wavelet_restore_vector(station_wavelet(), c, restored);
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i) values[i] = to_float(restored[i]);
}

// --- one column of ".values" ---

void FileStorage::save_vector(BinaryOutputStream& out, const std::vector<float>& values, EncodeType type,
                              bool mechanical, bool gas) {
    if (type != encode_plain && type != encode_quantised && type != encode_wavelet)
        throw FileStorageException("FileStorage::save_vector: неизвестный способ кодирования " + num(type), true);
    const std::vector<float>* coded = &values;
    std::vector<float> logs;
    bool small = false;
    if (gas) {
        // Gas readings span decades: their logarithms quantise and
        // transform evenly. Values at or below eps (no gas) are flagged, so
        // the reader can zero them again: it zeroes what lies in the lowest
        // 1 % of the column's range. They are stored below the logarithm of
        // the smallest reading, far enough that no real reading (even after
        // a lossy coding) falls into that 1 % and is lost; a column of no
        // gas at all keeps the logarithm of eps itself.
        float m = kGasEps;
        bool found = false;
        for (float v : values)
            if (v > kGasEps && v < kGasCeiling && (!found || v < m)) {
                m = v;
                found = true;
            }
        logs.resize(values.size());
        float top = -std::numeric_limits<float>::infinity();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i] > kGasEps) {
                logs[i] = std::log(values[i]);
                if (std::isfinite(logs[i])) top = std::max(top, logs[i]);
            } else {
                small = true;
            }
        }
        float none = std::log(m);
        if (found) none -= std::max(0.1f * (top - none), 1.0f);
        if (small)
            for (std::size_t i = 0; i < values.size(); ++i)
                if (!(values[i] > kGasEps)) logs[i] = none;
        coded = &logs;
    }
    out << gas << small;
    if (coded->empty()) {
        out << coding_plain;
        add_new_reg_file_vector(out, *coded);
        return;
    }
    switch (type) {
        case encode_plain:
            out << coding_plain;
            add_new_reg_file_vector(out, *coded);
            break;
        case encode_quantised: try_to_compress(out, *coded); break;
        case encode_wavelet:
            if (mechanical) {
                out << coding_quantised;
                try_to_copmpress<std::uint16_t>(out, *coded, 1024, true);
            } else {
                wavelet_compress(out, *coded, 2.0f);
            }
            break;
    }
}
