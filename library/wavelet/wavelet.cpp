#include "library/wavelet/wavelet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace wave {

namespace {

const double sqrt2 = std::sqrt(2.0);

std::string number_text(std::size_t n) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
    return std::string(buffer, result.ptr);
}

void require_valid_length(const char* where, std::size_t n) {
    if (!is_valid_length(n))
        throw std::invalid_argument(std::string(where) + ": length " + number_text(n) +
                                    " is not 64 times a power of two");
}

// Positions from here on are detail coefficients after the last level.
constexpr std::size_t approximation_count = min_transform_length / 2;

void apply_threshold(float_vector& c, double factor) {
    double sum = 0;
    std::size_t counted = 0;
    for (std::size_t i = approximation_count; i < c.size(); ++i) {
        const double magnitude = std::fabs(c[i]);
        if (magnitude >= 1e-10) {
            sum += magnitude;
            ++counted;
        }
    }
    const double mean = counted ? sum / static_cast<double>(counted) : 0.0;
    const double limit = mean * factor;
    for (std::size_t i = approximation_count; i < c.size(); ++i)
        if (std::fabs(c[i]) <= limit) c[i] = 0.0;
}

// Both filters of one forward level over work[0..m-1] into output: the
// low-pass half to positions 0..m/2-1, the high-pass half from m/2. Every
// output is the same sum in the same order as wavelet_forward_step takes
// it, so the result is the same to the bit; but away from the wrap four
// outputs of each filter are summed side by side, so the processor is not
// kept waiting on one chain of additions, and each sample is loaded once
// for both filters.
void forward_level(const wavelet& w, const float_vector& work, float_vector& output, std::size_t m) {
    const double* h = w.low_pass().data();
    const double* g = w.high_pass().data();
    const std::size_t taps = w.low_pass().size();
    const double* x = work.data();
    double* lo = output.data();
    double* hi = output.data() + m / 2;
    std::size_t i = 0;
    for (; i + 6 + taps <= m; i += 8) {
        double h0 = 0, h1 = 0, h2 = 0, h3 = 0, g0 = 0, g1 = 0, g2 = 0, g3 = 0;
        for (std::size_t k = 0; k < taps; ++k) {
            const double a = x[i + k], b = x[i + 2 + k], c = x[i + 4 + k], d = x[i + 6 + k];
            h0 += h[k] * a;
            h1 += h[k] * b;
            h2 += h[k] * c;
            h3 += h[k] * d;
            g0 += g[k] * a;
            g1 += g[k] * b;
            g2 += g[k] * c;
            g3 += g[k] * d;
        }
        const std::size_t j = i / 2;
        lo[j] = h0 / sqrt2;
        lo[j + 1] = h1 / sqrt2;
        lo[j + 2] = h2 / sqrt2;
        lo[j + 3] = h3 / sqrt2;
        hi[j] = g0 / sqrt2;
        hi[j + 1] = g1 / sqrt2;
        hi[j + 2] = g2 / sqrt2;
        hi[j + 3] = g3 / sqrt2;
    }
    for (; i + 1 < m; i += 2) {
        double sh = 0, sg = 0;
        if (i + taps <= m) {
            for (std::size_t k = 0; k < taps; ++k) {
                sh += h[k] * x[i + k];
                sg += g[k] * x[i + k];
            }
        } else {
            for (std::size_t k = 0; k < taps; ++k) {
                const double v = x[(i + k) % m];
                sh += h[k] * v;
                sg += g[k] * v;
            }
        }
        lo[i / 2] = sh / sqrt2;
        hi[i / 2] = sg / sqrt2;
    }
}

}  // namespace

bool is_valid_length(std::size_t n) {
    if (n < min_transform_length || n % min_transform_length != 0) return false;
    const std::size_t k = n / min_transform_length;
    return (k & (k - 1)) == 0;
}

std::size_t padded_length(std::size_t n) {
    std::size_t length = min_transform_length;
    while (length < n) {
        if (length > std::numeric_limits<std::size_t>::max() / 2)
            throw std::length_error("wave::padded_length: " + number_text(n) + " values are too many");
        length *= 2;
    }
    return length;
}

wavelet::wavelet(const double* coefficients, std::size_t count) : h_(coefficients, coefficients + count), g_(h_) {
    for (std::size_t i = 0; i < count; i += 2) g_[i] = -g_[i];
    for (std::size_t i = 0; i < count / 2; ++i) std::swap(g_[i], g_[count - 1 - i]);
}

void wavelet_forward_step(const float_vector& input, float_vector& output, const float_vector& filter,
                          std::size_t first, std::size_t m) {
    if (&input == &output) throw std::invalid_argument("wave::wavelet_forward_step: input and output are one vector");
    if (input.size() < m || output.size() < first || output.size() - first < m / 2)
        throw std::out_of_range("wave::wavelet_forward_step: vectors shorter than the level");
    const std::size_t taps = filter.size();
    for (std::size_t i = 0; i + 1 < m; i += 2) {
        double sum = 0;
        if (i + taps <= m) {
            for (std::size_t k = 0; k < taps; ++k) sum += filter[k] * input[i + k];
        } else {
            for (std::size_t k = 0; k < taps; ++k) sum += filter[k] * input[(i + k) % m];
        }
        output[first + i / 2] = sum / sqrt2;
    }
}

void wavelet_inverse_step(const wavelet& w, const float_vector& input, float_vector& output, std::size_t m) {
    if (m < 2 || m % 2 != 0)
        throw std::invalid_argument("wave::wavelet_inverse_step: level length " + number_text(m) + " is not even");
    if (&input == &output) throw std::invalid_argument("wave::wavelet_inverse_step: input and output are one vector");
    if (input.size() < m || output.size() < m)
        throw std::out_of_range("wave::wavelet_inverse_step: vectors shorter than the level");

    const float_vector& h = w.low_pass();
    const float_vector& g = w.high_pass();
    const std::size_t half = m / 2;
    const std::size_t terms = h.size() / 2;
    const double* a = input.data();
    const double* d = input.data() + half;
    for (std::size_t i = 0; i < m; ++i) {
        const std::size_t p = i & 1;
        const std::size_t q = i / 2;
        double sum = 0;
        if (q + 1 >= terms) {
            for (std::size_t k = 0; k < terms; ++k) sum += h[p + 2 * k] * a[q - k] + g[p + 2 * k] * d[q - k];
        } else {
            // (q - k) mod half, stepping down from q and wrapping below 0.
            for (std::size_t k = 0; k < terms; ++k) {
                const std::size_t back = k % half;
                const std::size_t j = back <= q ? q - back : q + half - back;
                sum += h[p + 2 * k] * a[j] + g[p + 2 * k] * d[j];
            }
        }
        output[i] = sqrt2 * sum;
    }
}

void wavelet_compress_vector(const wavelet& w, const float_vector& input, float_vector& output, bool threshold,
                             double factor) {
    const std::size_t n = input.size();
    require_valid_length("wave::wavelet_compress_vector", n);
    output = input;
    float_vector work(n);
    for (std::size_t m = n;; m /= 2) {
        std::copy(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(m), work.begin());
        forward_level(w, work, output, m);
        if (m <= min_transform_length) break;
    }
    if (threshold) apply_threshold(output, factor);
}

void wavelet_restore_vector(const wavelet& w, const float_vector& coefficients, float_vector& output) {
    const std::size_t n = coefficients.size();
    require_valid_length("wave::wavelet_restore_vector", n);
    float_vector work = coefficients;
    output.resize(n);
    for (std::size_t m = min_transform_length;; m *= 2) {
        wavelet_inverse_step(w, work, output, m);
        std::copy(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(m), work.begin());
        if (m >= n) break;
    }
    output.swap(work);
}

}  // namespace wave
