// The display unit of lengths, and every conversion between it, points and millimetres.
#pragma once

#include <string>
#include <string_view>

// Setting "Unit": "M" millimetres, "C" centimetres, "I" inches.
enum class Unit { Millimetre, Centimetre, Inch };

// The unit of a "Unit" value; anything but "C" and "I" is millimetres.
Unit unitFromSetting(std::string_view value);
// The "Unit" value of a unit: "M", "C" or "I".
const char* unitSetting(Unit unit);

// Millimetres in one unit: 1, 10 or 25.4.
double millimetresPerUnit(Unit unit);

// A length in points as the size fields show it: inches "#.###", centimetres "#.##",
// millimetres "#.#" (halves away from zero; locale-independent).
std::string formatLength(Unit unit, float points);
// A length typed in unit, in points: the number the text starts with (',' also marks the
// fraction); 0 when the text does not start with a number.
double parseLength(Unit unit, std::string_view text);

// The interface text number of the unit's symbol beside length fields: 4 "mm", 3 "cm",
// 2 "Inch".
int unitSymbolText(Unit unit);

struct TextTable;
// The unit's symbol in the texts in force (unitSymbolText).
const std::string& unitSymbol(Unit unit, const TextTable& texts);
