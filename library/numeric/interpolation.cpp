#include "library/numeric/interpolation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "library/numeric/numeric.h"

namespace lib {

void Interpolation::set_size(int count) {
    if (count < 0) throw std::invalid_argument("Interpolation::set_size: negative point count");
    points_.resize(static_cast<std::size_t>(count));
    sorted_ = false;
}

void Interpolation::set_point(int index, double x, double y) {
    points_[index] = {x, y};
    sorted_ = false;
}

void Interpolation::sort() {
    // std::sort needs a strict weak order; plain < on a NaN breaks it and may
    // send the sort outside the array, so NaN x values go to the end.
    std::sort(points_.begin(), points_.end(), [](const auto& l, const auto& r) {
        const bool l_nan = std::isnan(l.first);
        const bool r_nan = std::isnan(r.first);
        if (l_nan || r_nan) return !l_nan && r_nan;
        return l.first < r.first;
    });
    sorted_ = true;
}

void Interpolation::ensure_sorted() {
    if (!sorted_) sort();
}

double Interpolation::get_line_value(double x) {
    ensure_sorted();
    const int n = count();
    if (n <= 1) return 0;

    int a;
    int b;
    if (x < x_at(0)) {
        a = 0;
        b = 1;
    } else if (x > x_at(n - 1)) {
        a = n - 2;
        b = n - 1;
    } else {
        const auto* first = points_.begin();
        const auto* last = points_.end();
        const int l = static_cast<int>(
            std::lower_bound(first, last, x, [](const auto& p, double v) { return p.first < v; }) - first);
        const int u = static_cast<int>(
            std::upper_bound(first, last, x, [](double v, const auto& p) { return v < p.first; }) - first);
        if (l != u) {
            a = l;
            b = u;
        } else {
            a = u - 1;
            b = u;
        }
        // A NaN in the table or the query can leave the searches anywhere;
        // keep the pair inside the table whatever they found.
        if (b >= n || a < 0) {
            a = n - 2;
            b = n - 1;
        }
    }
    const double xa = x_at(a);
    const double xb = x_at(b);
    if (is_over_null(xa - xb)) return 0;
    const double ya = y_at(a);
    return ya + (x - xa) * (y_at(b) - ya) / (xb - xa);
}

double Interpolation::get_lagr_value(double x) {
    ensure_sorted();
    const int n = count();
    for (int i = 0; i < n; ++i)
        if (x_at(i) == x) return y_at(i);

    double sum = 0;
    for (int j = 0; j < n; ++j) {
        double numerator = 1;
        double divisor = 1;
        for (int k = 0; k < n; ++k) {
            if (k == j) continue;
            numerator *= x - x_at(k);
            divisor *= x_at(j) - x_at(k);
        }
        if (divisor == 0) continue;
        sum += y_at(j) * numerator / divisor;
    }
    return sum;
}

double Interpolation::get_bi_value(double x) {
    ensure_sorted();
    const int n = count();
    if (n < 3) return 0;

    int c;
    int e;
    if (x < x_at(0)) {
        c = 0;
        e = 2;
    } else if (x > x_at(n - 1)) {
        c = n - 3;
        e = n - 1;
    } else {
        // Windows 0-2, 2-4, ...; when x matches none (it equals the last x)
        // the last window tried serves.
        c = 0;
        e = 2;
        for (int start = 0; start < n - 1; start += 2) {
            c = start;
            e = std::min(start + 2, n - 1);
            if (x_at(c) <= x && x < x_at(e)) break;
        }
    }

    double sum = 0;
    for (int i = c; i <= e; ++i) {
        double numerator = 1;
        double divisor = 1;
        for (int j = c; j <= e; ++j) {
            if (j == i) continue;
            numerator *= x - x_at(j);
            divisor *= x_at(i) - x_at(j);
        }
        if (divisor == 0) return 0;
        sum += y_at(i) * numerator / divisor;
    }
    return sum;
}

double Interpolation::get_nearest_value(double x) {
    ensure_sorted();
    const int n = count();
    if (n == 0) return 0;
    // A query no point comes within 1e200 of (or a NaN) keeps the first point.
    int best = 0;
    double best_distance = 1e200;
    for (int i = 0; i < n; ++i) {
        const double distance = std::fabs(x_at(i) - x);
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return y_at(best);
}

}  // namespace lib
