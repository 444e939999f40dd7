// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cmath>
#include <utility>

namespace ostrel {

// The roots of a·t² + b·t + c = 0, nearest to zero first. Both estimators
// solve an equation whose coefficients are measured, so noise can leave it
// without a real root; the turning point, where the two roots would meet, is
// then the answer twice. With a = 0 the equation is linear; with no t term
// either it has no finite root (+infinity) unless c is 0 as well (then 0).
inline std::pair<double, double> quadraticRoots(double a, double b, double c)
{
    if (a == 0.0) {
        const double root = b != 0.0 ? -c / b : c == 0.0 ? 0.0 : INFINITY;
        return {root, root};
    }
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant < 0.0)
        return {-b / (2.0 * a), -b / (2.0 * a)};
    // The form that avoids subtracting nearly equal numbers.
    const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
    const double first = q / a;
    const double second = q != 0.0 ? c / q : first;
    if (std::fabs(second) < std::fabs(first))
        return {second, first};
    return {first, second};
}

} // namespace ostrel
