#pragma once
// Small numeric tools shared by the whole station: the near-zero test, a
// block average and a bisection root finder.

#include <functional>

namespace lib {

// The station's "is this zero?" test: true when -1e-12 < x < 0.00001.
// The bounds are deliberately lopsided and stored files and calibration
// tables have been judged by them for years, so they stay as they are:
// a small negative value counts as non-zero far sooner than a small
// positive one.
bool is_over_null(double x);

// Bisection for a zero of f between a and b. Each round takes the midpoint
// m = (a + b) / 2 and returns it once |f(m)| is within the tolerance;
// otherwise it keeps the half whose ends differ in sign, and returns m when
// neither half has a sign change left. f is evaluated at a, m and b every
// round.
//
// It also returns m when the midpoint no longer moves (the interval has
// shrunk to neighbouring doubles, so no tolerance below the function's
// rounding noise can ever be met) and after a bounded number of rounds
// (NaN or infinite ends), so a call always ends.
double zero_of_function(const std::function<double(double)>& f, double a, double b, double tolerance);

// Averages the samples added since the last get(). Without counting near-zero
// samples, values with |x| < 0.001 are left out so that a sensor's dropouts
// do not pull the average down.
class AverValue {
public:
    explicit AverValue(bool count_near_zero);

    void add(double x);
    // The average of the samples since the previous get(); with no new
    // samples the previous average again (0 at the start).
    double get();
    void clear();

private:
    double sum_ = 0;
    double last_ = 0;
    int count_ = 0;
    bool count_near_zero_;
};

}  // namespace lib
