// Colour adjustment curves: four control points a colour, sampled as cubic Bezier curves.
#pragma once

#include "core/state.h"

#include <string>
#include <string_view>

// Sets colourAdjust from 48 hexadecimal digits (byte i = digits 2i+1, 2i+2); missing or
// invalid digits read as 0.
void setColourAdjustFromText(ColourAdjustment& colour, std::string_view hex);
// colourAdjust as 48 upper-case hexadecimal digits.
std::string colourAdjustText(const ColourAdjustment& colour);
// Rebuilds toneCurves from colourAdjust.
void rebuildColourCurveTable(ColourAdjustment& colour);

// The channel choice of the colour dialog.
enum class CurveChannel { All, Cyan, Magenta, Yellow };

// Control point `point` (0 = P0, 1 = P1, 2 = P2; P3 stays fixed) of the curve a channel
// choice shows: "All" shows cyan.
struct CurvePosition {
    int x = 0;
    int y = 0;
};
CurvePosition curvePoint(const ColourAdjustment& colour, CurveChannel channel, int point);

// The curve value under a pixel of the 258 x 258 drawing: input to the right, output upwards,
// each clamped to 0..255.
CurvePosition curveValueAtPixel(int px, int py);
// The pixel of the drawing that shows a curve value.
CurvePosition curvePixelOf(CurvePosition value);

// Moves control point `point` (0..2; anything else changes nothing) of the chosen channel to
// (x, y) clamped to 0..255 and rebuilds the tone curves. "All" moves cyan and then copies
// the cyan group to magenta and yellow. False when nothing changed.
bool moveCurvePoint(ColourAdjustment& colour, CurveChannel channel, int point, int x, int y);
