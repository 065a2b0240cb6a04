#include "library/wavelet/wavelet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using wave::float_vector;

const wave::wavelet& station_wavelet() {
    static const wave::wavelet w(wave::coif5_filter.data(), wave::coif5_filter.size());
    return w;
}

// Reference vectors written by testdata/make_coif5_vectors.py: a name and a
// count on one line, then the values.
std::map<std::string, float_vector> load_vectors() {
    const std::string path = std::string(STATION_SOURCE_DIR) + "/library/wavelet/testdata/coif5_vectors.txt";
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::map<std::string, float_vector> vectors;
    std::string line;
    float_vector* current = nullptr;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string word;
        std::vector<std::string> items;
        while (words >> word) items.push_back(word);
        if (items.size() == 2 && !(items[0][0] == '-' || std::isdigit(static_cast<unsigned char>(items[0][0])))) {
            current = &vectors[items[0]];
            continue;
        }
        for (const auto& item : items) {
            double v = 0;
            const auto r = std::from_chars(item.data(), item.data() + item.size(), v);
            if (r.ec != std::errc() || r.ptr != item.data() + item.size())
                throw std::runtime_error("bad number " + item + " in " + path);
            current->push_back(v);
        }
    }
    return vectors;
}

const std::map<std::string, float_vector>& vectors() {
    static const auto loaded = load_vectors();
    return loaded;
}

const float_vector& vec(const std::string& name) {
    const auto it = vectors().find(name);
    if (it == vectors().end()) throw std::runtime_error("no reference vector " + name);
    return it->second;
}

float_vector random_signal(std::size_t n, unsigned seed, double amplitude) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> d(-amplitude, amplitude);
    float_vector x(n);
    for (auto& v : x) v = d(gen);
    return x;
}

TEST(Wavelet, FiltersAreTheClassicCoif5TableAndItsMirror) {
    const auto& w = station_wavelet();
    const auto& h = w.low_pass();
    const auto& g = w.high_pass();
    ASSERT_EQ(h.size(), 30u);
    ASSERT_EQ(g.size(), 30u);
    double sum = 0, squares = 0;
    for (std::size_t k = 0; k < 30; ++k) {
        EXPECT_EQ(h[k], wave::coif5_filter[k]);
        EXPECT_EQ(g[k], (k % 2 ? -1.0 : 1.0) * h[29 - k]) << k;
        sum += h[k];
        squares += h[k] * h[k];
    }
    EXPECT_NEAR(sum, std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(squares, 1.0, 1e-10);
}

TEST(Wavelet, TableAgreesWithPublishedCoif5) {
    // PyWavelets' coefficients are recomputed; the classic table differs from
    // them in the sixth significant digit at most, and the high-pass filter
    // follows the same sign convention.
    const auto& lo = vec("pywt_coif5_rec_lo");
    const auto& hi = vec("pywt_coif5_rec_hi");
    ASSERT_EQ(lo.size(), 30u);
    ASSERT_EQ(hi.size(), 30u);
    for (std::size_t k = 0; k < 30; ++k) {
        EXPECT_NEAR(station_wavelet().low_pass()[k], lo[k], 1.2e-5) << k;
        EXPECT_NEAR(station_wavelet().high_pass()[k], hi[k], 1.2e-5) << k;
    }
}

TEST(Wavelet, ForwardMatchesPyWavelets) {
    // 64 values take one level; 256 take three (256, 128, 64).
    for (const char* n : {"64", "256"}) {
        const auto& x = vec(std::string("signal_") + n);
        const auto& expected = vec(std::string("forward_") + n);
        float_vector c;
        wave::wavelet_compress_vector(station_wavelet(), x, c, false, 0.0);
        ASSERT_EQ(c.size(), expected.size());
        for (std::size_t i = 0; i < c.size(); ++i)
            EXPECT_NEAR(c[i], expected[i], 1e-12 * (1 + std::fabs(expected[i]))) << n << " at " << i;
    }
}

TEST(Wavelet, RestoreMatchesPyWavelets) {
    const auto& c = vec("coeffs_128");
    const auto& expected = vec("restore_128");
    float_vector x;
    wave::wavelet_restore_vector(station_wavelet(), c, x);
    ASSERT_EQ(x.size(), expected.size());
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], expected[i], 1e-12) << i;
}

TEST(Wavelet, RestoreUndoesCompress) {
    for (std::size_t n : {64u, 128u, 1024u, 8192u}) {
        const float_vector x = random_signal(n, static_cast<unsigned>(n), 1.0);
        float_vector c, back;
        wave::wavelet_compress_vector(station_wavelet(), x, c, false, 0.0);
        ASSERT_EQ(c.size(), n);
        wave::wavelet_restore_vector(station_wavelet(), c, back);
        ASSERT_EQ(back.size(), n);
        double worst = 0;
        for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::fabs(back[i] - x[i]));
        EXPECT_LT(worst, 1e-7) << n;
    }
}

TEST(Wavelet, ConstantSignalKeepsItsValueAndHasNoDetail) {
    for (std::size_t n : {64u, 1024u}) {
        const float_vector x(n, 3.25);
        float_vector c;
        wave::wavelet_compress_vector(station_wavelet(), x, c, false, 0.0);
        for (std::size_t i = 0; i < 32; ++i) EXPECT_NEAR(c[i], 3.25, 1e-8) << n << " at " << i;
        for (std::size_t i = 32; i < n; ++i) EXPECT_NEAR(c[i], 0.0, 1e-8) << n << " at " << i;
    }
}

TEST(Wavelet, ThresholdZeroesSmallDetailOnly) {
    const float_vector x = vec("signal_256");
    float_vector plain;
    wave::wavelet_compress_vector(station_wavelet(), x, plain, false, 0.0);
    double sum = 0;
    int counted = 0;
    for (std::size_t i = 32; i < plain.size(); ++i)
        if (std::fabs(plain[i]) >= 1e-10) {
            sum += std::fabs(plain[i]);
            ++counted;
        }
    const double mean = sum / counted;

    struct Case {
        double factor;
        int min_zeroed;  // detail coefficients expected to become 0
        int max_zeroed;
    };
    for (const Case& t : {Case{0.0, 0, 0}, Case{1.0, 1, 223}, Case{1e9, 224, 224}}) {
        float_vector c;
        wave::wavelet_compress_vector(station_wavelet(), x, c, true, t.factor);
        int zeroed = 0;
        for (std::size_t i = 0; i < c.size(); ++i) {
            if (i < 32 || std::fabs(plain[i]) > mean * t.factor) {
                EXPECT_EQ(c[i], plain[i]) << "factor " << t.factor << " at " << i;
            } else {
                EXPECT_EQ(c[i], 0.0) << "factor " << t.factor << " at " << i;
                ++zeroed;
            }
        }
        EXPECT_GE(zeroed, t.min_zeroed) << t.factor;
        EXPECT_LE(zeroed, t.max_zeroed) << t.factor;
    }
}

TEST(Wavelet, ThresholdWithOnlyTinyDetailChangesNothing) {
    // The table's high-pass filter sums to about 3e-10, not 0, so a small
    // constant has detail coefficients below 1e-10 only: the mean and so the
    // threshold are 0, and only exact zeros are "zeroed".
    const float_vector x(128, 0.25);
    float_vector plain, c;
    wave::wavelet_compress_vector(station_wavelet(), x, plain, false, 0.0);
    int tiny = 0;
    for (std::size_t i = 32; i < plain.size(); ++i) {
        ASSERT_LT(std::fabs(plain[i]), 1e-10);
        tiny += plain[i] != 0.0;
    }
    ASSERT_GT(tiny, 0);
    wave::wavelet_compress_vector(station_wavelet(), x, c, true, 1e9);
    for (std::size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i], plain[i]) << i;
}

TEST(Wavelet, InputMayBeTheOutput) {
    float_vector x = random_signal(128, 7, 10.0);
    const float_vector original = x;
    float_vector c;
    wave::wavelet_compress_vector(station_wavelet(), x, c, false, 0.0);
    EXPECT_EQ(x, original);
    wave::wavelet_compress_vector(station_wavelet(), x, x, false, 0.0);
    EXPECT_EQ(x, c);
    wave::wavelet_restore_vector(station_wavelet(), x, x);
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], original[i], 1e-6);
}

TEST(Wavelet, LengthsOtherThan64TimesAPowerOfTwoAreRefused) {
    for (std::size_t n : {0u, 1u, 32u, 63u, 65u, 96u, 100u, 192u, 1000u}) {
        const float_vector x(n, 1.0);
        float_vector out;
        EXPECT_THROW(wave::wavelet_compress_vector(station_wavelet(), x, out, true, 2.0), std::invalid_argument) << n;
        EXPECT_THROW(wave::wavelet_restore_vector(station_wavelet(), x, out), std::invalid_argument) << n;
    }
}

TEST(Wavelet, ValidAndPaddedLengths) {
    struct Case {
        std::size_t n, padded;
        bool valid;
    };
    for (const Case& t :
         {Case{0, 64, false}, Case{1, 64, false}, Case{64, 64, true}, Case{65, 128, false}, Case{100, 128, false},
          Case{128, 128, true}, Case{192, 256, false}, Case{1024, 1024, true}, Case{1025, 2048, false}}) {
        EXPECT_EQ(wave::padded_length(t.n), t.padded) << t.n;
        EXPECT_EQ(wave::is_valid_length(t.n), t.valid) << t.n;
    }
    EXPECT_THROW(wave::padded_length(static_cast<std::size_t>(-1)), std::length_error);
}

TEST(Wavelet, StepsRefuseShortVectors) {
    const auto& w = station_wavelet();
    float_vector in(64, 1.0), out(64);
    EXPECT_THROW(wave::wavelet_forward_step(in, out, w.low_pass(), 40, 64), std::out_of_range);
    EXPECT_THROW(wave::wavelet_forward_step(in, out, w.low_pass(), 0, 128), std::out_of_range);
    EXPECT_THROW(wave::wavelet_forward_step(in, in, w.low_pass(), 0, 64), std::invalid_argument);
    EXPECT_NO_THROW(wave::wavelet_forward_step(in, out, w.low_pass(), 32, 64));
    EXPECT_THROW(wave::wavelet_inverse_step(w, in, out, 128), std::out_of_range);
    EXPECT_THROW(wave::wavelet_inverse_step(w, in, out, 0), std::invalid_argument);
    EXPECT_THROW(wave::wavelet_inverse_step(w, in, out, 7), std::invalid_argument);
    EXPECT_THROW(wave::wavelet_inverse_step(w, in, in, 64), std::invalid_argument);
    // Levels shorter than the filter wrap round more than once and stay inside.
    EXPECT_NO_THROW(wave::wavelet_forward_step(in, out, w.low_pass(), 0, 8));
    EXPECT_NO_THROW(wave::wavelet_inverse_step(w, in, out, 8));
}

TEST(Wavelet, WholeTransformIsItsLevelsToTheBit) {
    // The whole transform sums both filters side by side for speed; it must
    // give exactly what the single levels give.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-100.0, 100.0);
    for (std::size_t n : {64u, 128u, 4096u}) {
        float_vector x(n);
        for (double& v : x) v = u(rng);
        float_vector whole;
        wave::wavelet_compress_vector(station_wavelet(), x, whole, false, 0.0);
        float_vector levels = x, work;
        for (std::size_t m = n;; m /= 2) {
            work.assign(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(m));
            wave::wavelet_forward_step(work, levels, station_wavelet().low_pass(), 0, m);
            wave::wavelet_forward_step(work, levels, station_wavelet().high_pass(), m / 2, m);
            if (m <= 64) break;
        }
        ASSERT_EQ(whole.size(), levels.size());
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(whole[i], levels[i]) << n << " " << i;
    }
}

}  // namespace
