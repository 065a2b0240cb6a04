#pragma once
// A periodic, orthogonal, multi-level discrete wavelet transform with a hard
// threshold on the detail coefficients: the lossy core of the wavelet coding
// of the compression export.
//
// Layout of a transformed vector of n = 64·2^k values: 32 approximation
// values (positions 0-31), then the detail coefficients of every level,
// coarsest first (32-63 from the level at 64, 64-127 from the level at 128,
// ...). Each forward level divides by √2 and each inverse level multiplies
// by it, so a constant signal keeps its value in the approximation part.

#include <array>
#include <cstddef>
#include <vector>

namespace wave {

// Double precision despite the name.
using float_vector = std::vector<double>;

// The 30-tap low-pass filter of the Coiflet wavelet of order 5 (coif5), in
// the classic published digits: sum √2, sum of squares 1. Coefficients
// already written by the export are restored exactly only with these very
// digits, so they must never be "improved".
inline constexpr std::array<double, 30> coif5_filter{
    -0.00021208083983, 0.00035858968793,  0.00217823635833,  -0.0041593587818,  -0.01013111752086, 0.02340815678818,
    0.02816802897375,  -0.09192001056889, -0.05204316318145, 0.42156620673301,  0.77428960373039,  0.43799162621564,
    -0.06203596396911, -0.1055742087139,  0.04128920875431,  0.03268357427038,  -0.01976177894455, -0.0091642311634,
    0.00676418544873,  0.0024333732129,   -0.00166286370218, -0.00063813134311, 0.00030225958184,  0.00014054114972,
    -0.00004134043228, -0.00002131502681, 0.00000373465518,  0.00000206376185,  -0.00000016744289, -0.00000009517657};

// The smallest and the only lengths the whole-vector transforms take are
// 64·2^k; the export pads its columns to padded_length() before coding.
inline constexpr std::size_t min_transform_length = 64;
bool is_valid_length(std::size_t n);
// The smallest valid length not below n (64 for n up to 64). Throws
// std::length_error when no such length fits in std::size_t.
std::size_t padded_length(std::size_t n);

class wavelet {
public:
    // h is a copy of the coefficients; g is h with every even-indexed entry
    // negated, then reversed, so that g[k] = (-1)^k·h[L-1-k] for even L.
    wavelet(const double* coefficients, std::size_t count);

    const float_vector& low_pass() const { return h_; }
    const float_vector& high_pass() const { return g_; }

private:
    float_vector h_;
    float_vector g_;
};

// The full coefficient vector of input (same length) into output. With
// threshold set, every detail coefficient (position 32 on) whose magnitude
// does not exceed factor × the mean magnitude of the detail coefficients of
// at least 1e-10 becomes exactly 0; the approximation values never change.
// input is not changed and may be the same object as output. A length that
// is not 64·2^k throws std::invalid_argument.
void wavelet_compress_vector(const wavelet& w, const float_vector& input, float_vector& output, bool threshold,
                             double factor);

// The samples restored from a coefficient vector; output takes its length.
// coefficients may be the same object as output. A length that is not
// 64·2^k throws std::invalid_argument (any other length would read and
// write past the vectors).
void wavelet_restore_vector(const wavelet& w, const float_vector& coefficients, float_vector& output);

// One forward level over input[0..m-1], periodically extended: writes m/2
// values from output[first] on, each Σ filter[k]·input[(i+k) mod m] / √2 for
// i = 0, 2, ..., m-2. Throws std::out_of_range when input holds fewer than
// m values or output fewer than first + m/2, std::invalid_argument when they
// are one vector.
void wavelet_forward_step(const float_vector& input, float_vector& output, const float_vector& filter,
                          std::size_t first, std::size_t m);

// One inverse level: input[0..m/2-1] approximation and input[m/2..m-1] detail
// values into m samples output[0..m-1]. m must be even and at least 2
// (std::invalid_argument), and both vectors must hold m values
// (std::out_of_range); input and output must be different objects
// (std::invalid_argument).
void wavelet_inverse_step(const wavelet& w, const float_vector& input, float_vector& output, std::size_t m);

}  // namespace wave
