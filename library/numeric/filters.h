#pragma once
// Recursive (infinite-impulse-response) digital filters for smoothing sensor
// signals sample by sample.

#include <deque>

#include "library/util/array.h"

namespace lib {

// A filter fed one sample at a time: add() a sample, then get() the output
// that belongs to it. The cut-off frequency is a fraction of the sampling
// rate (0.5 is the Nyquist limit, the default).
class CustomFilter {
public:
    virtual ~CustomFilter() = default;

    // Stores the frequency, then lets the filter derive what it needs.
    void set_freq(double f);

    virtual void on_set_freq(double f);
    virtual void add(double x) = 0;
    virtual double get() = 0;

protected:
    double freq_ = 0.5;
};

// y = a[0]·x[0] + ... + a[na-1]·x[na-1] + b[0]·y[0] + ... + b[nb-1]·y[nb-1]
// where x[i] is the i-th newest input and y[i] the i-th newest earlier
// output. Histories start as zeros and are kept for the filter's life; every
// get() advances the output history, so exactly one get() belongs to each
// add(). The coefficients start at 0 and are set by the owner or a derived
// filter; a coefficient index outside the array throws "array::operator[]".
class RecursiveFilter : public CustomFilter {
public:
    // Negative lengths throw std::invalid_argument.
    RecursiveFilter(int na, int nb);

    void add(double x) override;
    double get() override;

    lib::array<double> a;  // input coefficients
    lib::array<double> b;  // output coefficients

private:
    std::deque<double> inputs_;   // newest first
    std::deque<double> outputs_;  // newest first
};

// Four single-pole low-pass stages in cascade, unity gain at zero frequency.
// Until the first set_freq() all coefficients are 0 and the output is 0.
class RecursiveLowPassFilter : public RecursiveFilter {
public:
    RecursiveLowPassFilter();
    void on_set_freq(double f) override;
};

}  // namespace lib
