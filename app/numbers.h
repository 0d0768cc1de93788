// Rounding and number rules shared by every subsystem, so that one rule gives one result
// wherever it is applied.
#pragma once

#include "app/no_widgets.h"

#include <climits>
#include <cmath>

// Points in one millimetre (72 / 25.4, as the page rules round it).
inline constexpr double kPointsPerMm = 2.835;

// Nearest whole number, halves to the even neighbour (the rounding of the colour, placement and
// tiling rules). NaN gives 0; values beyond the int range are held at its ends.
inline int roundHalfEven(double v) {
    if (!(v == v)) return 0;
    const double r = std::nearbyint(v);
    if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(r);
}

// Truncation toward zero, kept inside the int range; NaN gives 0.
inline int truncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(std::trunc(v));
}
