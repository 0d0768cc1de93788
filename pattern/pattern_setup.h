// The rules behind the pattern windows: lengths in the user's unit, slider positions, the
// shape list and the importer's spacing values. The windows only move values.
#pragma once

#include "core/profile_file.h"
#include "core/units.h"

#include <string>
#include <string_view>
#include <vector>

// A length in millimetres as the setup window shows it in the unit: millimetres with one
// decimal, centimetres and inches with two.
std::string patternLengthText(double millimetres, Unit unit);
// A typed length in unit back to millimetres; 0 when the text is not a number.
double patternLengthFromText(std::string_view text, Unit unit);
// Characters a typed size ("1234567890.") or gap ("1234567890.-") may hold.
std::string_view patternLengthCharacters(bool gap);

// Slider positions: size 2 + p / 12.5 mm, gap 1 + p / 25 mm (and back, nearest position).
double patternSizeFromSlider(int position);
double patternGapFromSlider(int position);
int patternSizeSliderPosition(double millimetres);
int patternGapSliderPosition(double millimetres);

// "Ellipse", "Rectangle" and the library's names, sorted alphabetically.
std::vector<std::string> patternShapeChoices(const ProfileFile& settings);
// The entry of choices that names the stored shape; when none does, "Ellipse" is chosen and
// written back. Likewise the stored angle: "45" unless it is "0" (written back when missing).
std::string choosePatternShape(ProfileFile& settings, const std::vector<std::string>& choices);
std::string choosePatternAngle(ProfileFile& settings);

// The importer's spacing slider: position p gives (p - 50) / 10; the record stores a tenth
// of it. Shown with three decimals in the user's unit.
double shapeSpacingFromSlider(int position);
int shapeSpacingSliderPosition(double spacing);
float shapeSpacingFactor(double spacing);
std::string shapeSpacingText(double spacing, Unit unit);

// The folder of the last imported drawing ("AIPath" of section "Pattern") and storing the
// folder of a chosen file.
std::string lastImportFolder(const ProfileFile& settings);
void rememberImportFolder(ProfileFile& settings, const std::string& file);
