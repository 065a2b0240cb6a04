#include "library/numeric/numeric.h"

#include <cmath>

namespace lib {

bool is_over_null(double x) { return x > -1e-12 && x < 0.00001; }

namespace {
// Halving an interval between the largest finite doubles down to two
// neighbouring denormals takes a little over 2,100 rounds; beyond that the
// midpoint cannot move any more, so the bound is never what ends a
// well-behaved search.
constexpr int max_bisection_rounds = 2200;

double midpoint(double a, double b) {
    const double m = (a + b) / 2;
    // Two huge ends of one sign would overflow the sum.
    if (!std::isfinite(m) && std::isfinite(a) && std::isfinite(b)) return a / 2 + b / 2;
    return m;
}
}  // namespace

double zero_of_function(const std::function<double(double)>& f, double a, double b, double tolerance) {
    double m = midpoint(a, b);
    for (int round = 0; round < max_bisection_rounds; ++round) {
        m = midpoint(a, b);
        const double fa = f(a);
        const double fm = f(m);
        const double fb = f(b);
        if (!(std::fabs(fm) > tolerance)) return m;
        if (fa * fm < 0) {
            if (m == b) return m;
            b = m;
        } else if (fm * fb < 0) {
            if (m == a) return m;
            a = m;
        } else {
            return m;
        }
    }
    return m;
}

AverValue::AverValue(bool count_near_zero) : count_near_zero_(count_near_zero) {}

void AverValue::add(double x) {
    if (!count_near_zero_ && std::fabs(x) < 0.001) return;
    sum_ += x;
    ++count_;
}

double AverValue::get() {
    if (count_ != 0) {
        last_ = sum_ / count_;
        sum_ = 0;
        count_ = 0;
    }
    return last_;
}

void AverValue::clear() {
    sum_ = 0;
    last_ = 0;
    count_ = 0;
}

}  // namespace lib
