// Rounding and number rules shared by every subsystem, so that one rule gives one result
// wherever it is applied.
#pragma once

#include "core/no_widgets.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <string>
#include <string_view>

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

// The number a text starts with, as the platform reads numbers: leading blanks and tabs
// skipped, an optional sign, decimal digits with an optional fraction; anything else ends the
// number. With commaIsPoint a ',' also marks the fraction (typed lengths). 0 when the text does
// not start with a number. Independent of the locale.
inline double leadingNumber(std::string_view s, bool commaIsPoint = false) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    std::string buf;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        if (s[i] == '-') buf += '-';
        ++i;
    }
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9')
            buf += c;
        else if ((c == '.' || (commaIsPoint && c == ',')) && !point) {
            point = true;
            buf += '.';
        } else
            break;
    }
    double v = 0.0;
    auto r = std::from_chars(buf.data(), buf.data() + buf.size(), v);
    return r.ec == std::errc() ? v : 0.0;
}
