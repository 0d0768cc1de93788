// Colour adjustment curves: four control points a colour, sampled as cubic Bezier curves.
#pragma once

#include <string>
#include <string_view>

struct AppState;

// Sets colourAdjust from 48 hexadecimal digits (byte i = digits 2i+1, 2i+2); missing or
// invalid digits read as 0.
void setColourAdjustFromText(AppState& state, std::string_view hex);
// colourAdjust as 48 upper-case hexadecimal digits.
std::string colourAdjustText(const AppState& state);
// Rebuilds toneCurves from colourAdjust.
void rebuildColourCurveTable(AppState& state);
