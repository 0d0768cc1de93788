// Interface texts: the table in force, the built-in entries and the number formats of shown
// values.
#pragma once

#include "core/state.h"

#include <string>
#include <string_view>

// Number of entries of the built-in interface text table (0..312).
inline constexpr int kBuiltInTextCount = 313;

// Interface text numbers that rules name.
inline constexpr int kTextProgramName = 0;
inline constexpr int kTextTrayAuto = 121;         // "AUTO"
inline constexpr int kTextTrayMultiPurpose = 122; // "MultiPurpose Tray"
inline constexpr int kTextTray1 = 123;            // "Tray 1"
// Status line texts.
inline constexpr int kStatusNoFile = 32;
inline constexpr int kStatusCancelled = 33;
inline constexpr int kStatusLoadConvert = 34;
inline constexpr int kStatusUnsuitable = 35;
inline constexpr int kStatusLoaded = 36;
inline constexpr int kStatusBackgroundRemoval = 37;
inline constexpr int kStatusConversion = 38;
inline constexpr int kStatusCreatingPrint = 39;
inline constexpr int kStatusPrinting = 40;
inline constexpr int kStatusSent = 41;

// Text of entry n; empty when n is outside the table.
const std::string& text(const TextTable& table, int n);

// Fills the table with the built-in English entries (0..312) and applies the escapes.
void loadBuiltInTexts(TextTable& table);

// The built-in English entry n before escapes (empty when not set or out of range).
std::string_view builtInText(int n);

// Escape rule of the text table: "\n" becomes CR LF, except where it begins "\num".
std::string applyTextEscapes(std::string_view s);

// Formats value with a display picture such as "#.#", "#.###", "###.##" or "#%": rounded to
// as many decimals as there are '#' after the point (halves away from zero), always with a
// leading digit; a trailing '%' is kept. Independent of the locale.
std::string formatPicture(double value, std::string_view picture);

// Plain decimal text of value with exactly `decimals` decimals, '.' as the point.
std::string formatFixed(double value, int decimals);
