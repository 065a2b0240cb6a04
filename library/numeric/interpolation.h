#pragma once
// lib::Interpolation: a table of (x, y) points read as a function of x.
//
// The caller sizes the table, fills it point by point in any order and then
// asks for values; the first query after a change sorts the points by x in
// place, so one table belongs to one thread at a time. Degenerate tables
// (too few points, coincident x values where a divisor is needed) give 0.

#include <utility>

#include "library/util/array.h"

namespace lib {

class Interpolation {
public:
    Interpolation() = default;

    // Drops the old points and makes room for count new ones (each (0, 0)
    // until set). A negative count throws std::invalid_argument.
    void set_size(int count);
    // A bad index throws std::out_of_range "array::operator[]".
    void set_point(int index, double x, double y);
    // Ascending x; the order among equal x values is not defined. A NaN x
    // sorts after every number so that the table stays well ordered.
    void sort();

    // Piecewise linear through neighbouring points, extended linearly beyond
    // the first and last ones; 0 with fewer than 2 points or when the chosen
    // two points share an x (within 1e-12).
    double get_line_value(double x);
    // The Lagrange polynomial through all points; exactly at a point's x its
    // own y. Terms with a zero divisor are left out; 0 for an empty table.
    double get_lagr_value(double x);
    // Three-point Lagrange pieces over windows of points 0-2, 2-4, 4-6, ...
    // (a last window of two points, so a straight line, when the count is
    // even); 0 with fewer than 3 points or a zero divisor in the window.
    double get_bi_value(double x);
    // The y of the point nearest to x, the first of equally near ones; 0 for
    // an empty table.
    double get_nearest_value(double x);

private:
    void ensure_sorted();
    double x_at(int i) const { return points_[i].first; }
    double y_at(int i) const { return points_[i].second; }
    int count() const { return static_cast<int>(points_.size()); }

    bool sorted_ = false;
    lib::array<std::pair<double, double>> points_;
};

}  // namespace lib
