#include "core/tone_curves.h"

#include "core/numbers.h"

#include <algorithm>
#include <cmath>

namespace {

struct CurvePoint {
    int x;
    int y;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

CurvePoint lerp(CurvePoint a, CurvePoint b, float t) {
    return {roundHalfEven(static_cast<float>(a.x) + static_cast<float>(b.x - a.x) * t),
            roundHalfEven(static_cast<float>(a.y) + static_cast<float>(b.y - a.y) * t)};
}

// De Casteljau with every intermediate point rounded, as the curve has always been drawn.
CurvePoint bezierPoint(CurvePoint p0, CurvePoint p1, CurvePoint p2, CurvePoint p3, float t) {
    const CurvePoint ab = lerp(p0, p1, t);
    const CurvePoint bc = lerp(p1, p2, t);
    const CurvePoint cd = lerp(p2, p3, t);
    const CurvePoint abc = lerp(ab, bc, t);
    const CurvePoint bcd = lerp(bc, cd, t);
    return lerp(abc, bcd, t);
}

} // namespace

void setColourAdjustFromText(ColourAdjustment& colour, std::string_view hex) {
    for (std::size_t i = 0; i < colour.colourAdjust.size(); ++i) {
        const int hi = 2 * i < hex.size() ? hexDigit(hex[2 * i]) : 0;
        const int lo = 2 * i + 1 < hex.size() ? hexDigit(hex[2 * i + 1]) : 0;
        colour.colourAdjust[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    rebuildColourCurveTable(colour);
}

std::string colourAdjustText(const ColourAdjustment& colour) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(colour.colourAdjust.size() * 2);
    for (std::uint8_t b : colour.colourAdjust) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void rebuildColourCurveTable(ColourAdjustment& colour) {
    auto& tables = colour.toneCurves.table;
    for (int ch = 0; ch < 3; ++ch) {
        auto& table = tables[static_cast<std::size_t>(ch)];
        table.fill(0);
        const std::uint8_t* g = colour.colourAdjust.data() + ch * 8;
        const CurvePoint p0{g[0], g[1]}, p1{g[2], g[3]}, p2{g[4], g[5]}, p3{g[6], g[7]};
        for (int i = 0; i <= 1000; ++i) {
            const float t = static_cast<float>(i / 1000.0);
            const CurvePoint q = bezierPoint(p0, p1, p2, p3, t);
            // Rounded convex combinations of 0..255 stay in 0..255; the guard keeps it so.
            if (q.x >= 0 && q.x <= 255)
                table[static_cast<std::size_t>(q.x)] = static_cast<std::uint16_t>(q.y);
        }
    }
    // Inputs no sample reached take the value of the next lower input.
    for (std::size_t v = 1; v < 256; ++v)
        for (auto& table : tables)
            if (table[v] == 0) table[v] = table[v - 1];
}

namespace {

std::size_t groupOf(CurveChannel channel) {
    switch (channel) {
    case CurveChannel::Magenta:
        return 1;
    case CurveChannel::Yellow:
        return 2;
    default:
        return 0;
    }
}

} // namespace

CurvePosition curvePoint(const ColourAdjustment& colour, CurveChannel channel, int point) {
    const std::size_t at =
        groupOf(channel) * 8 + static_cast<std::size_t>(std::clamp(point, 0, 3)) * 2;
    return {colour.colourAdjust[at], colour.colourAdjust[at + 1]};
}

CurvePosition curveValueAtPixel(int px, int py) {
    return {std::clamp(px - 1, 0, 255), std::clamp(256 - py, 0, 255)};
}

CurvePosition curvePixelOf(CurvePosition value) {
    return {value.x + 1, 256 - value.y};
}

bool moveCurvePoint(ColourAdjustment& colour, CurveChannel channel, int point, int x, int y) {
    if (point < 0 || point > 2) return false;
    const auto before = colour.colourAdjust;
    const std::size_t at = groupOf(channel) * 8 + static_cast<std::size_t>(point) * 2;
    colour.colourAdjust[at] = static_cast<std::uint8_t>(std::clamp(x, 0, 255));
    colour.colourAdjust[at + 1] = static_cast<std::uint8_t>(std::clamp(y, 0, 255));
    if (channel == CurveChannel::All) {
        for (std::size_t g = 1; g < 3; ++g)
            std::copy_n(colour.colourAdjust.begin(), 8, colour.colourAdjust.begin() + g * 8);
    }
    if (colour.colourAdjust == before) return false;
    rebuildColourCurveTable(colour);
    return true;
}
