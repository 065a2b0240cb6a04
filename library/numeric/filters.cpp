#include "library/numeric/filters.h"

#include <cmath>
#include <stdexcept>

namespace lib {

void CustomFilter::set_freq(double f) {
    freq_ = f;
    on_set_freq(f);
}

void CustomFilter::on_set_freq(double) {}

namespace {
std::size_t checked_length(int n) {
    if (n < 0) throw std::invalid_argument("RecursiveFilter::RecursiveFilter: negative filter length");
    return static_cast<std::size_t>(n);
}
}  // namespace

RecursiveFilter::RecursiveFilter(int na, int nb)
    : a(checked_length(na)), b(checked_length(nb)), inputs_(a.size(), 0.0), outputs_(b.size(), 0.0) {}

void RecursiveFilter::add(double x) {
    inputs_.push_front(x);
    inputs_.pop_back();
}

double RecursiveFilter::get() {
    double y = 0;
    for (std::size_t i = 0; i < inputs_.size(); ++i) y += a[i] * inputs_[i];
    for (std::size_t i = 0; i < outputs_.size(); ++i) y += b[i] * outputs_[i];
    outputs_.push_front(y);
    outputs_.pop_back();
    return y;
}

RecursiveLowPassFilter::RecursiveLowPassFilter() : RecursiveFilter(1, 4) {}

void RecursiveLowPassFilter::on_set_freq(double f) {
    const double c = std::exp(-6.283185307179586 * f);
    const double d = 1 - c;
    a[0] = d * d * d * d;
    b[0] = 4 * c;
    b[1] = -6 * c * c;
    b[2] = 4 * c * c * c;
    b[3] = -c * c * c * c;
}

}  // namespace lib
