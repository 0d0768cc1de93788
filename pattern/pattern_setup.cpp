#include "pattern/pattern_setup.h"

#include "core/numbers.h"
#include "core/strings.h"
#include "core/texts.h"
#include "pattern/shape_library.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {} // namespace

std::string patternLengthText(double millimetres, Unit unit) {
    return formatFixed(millimetres / millimetresPerUnit(unit), unit == Unit::Millimetre ? 1 : 2);
}

double patternLengthFromText(std::string_view text, Unit unit) {
    return leadingNumber(text) * millimetresPerUnit(unit);
}

std::string_view patternLengthCharacters(bool gap) {
    return gap ? "1234567890.-" : "1234567890.";
}

double patternSizeFromSlider(int position) {
    return 2.0 + position / 12.5;
}

double patternGapFromSlider(int position) {
    return 1.0 + position / 25.0;
}

int patternSizeSliderPosition(double millimetres) {
    return std::clamp(roundHalfEven((millimetres - 2.0) * 12.5), 0, 100);
}

int patternGapSliderPosition(double millimetres) {
    return std::clamp(roundHalfEven((millimetres - 1.0) * 25.0), 0, 100);
}

std::vector<std::string> patternShapeChoices(const ProfileFile& settings) {
    std::vector<std::string> names = listShapeNames(settings);
    names.push_back("Ellipse");
    names.push_back("Rectangle");
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::string choosePatternShape(ProfileFile& settings, const std::vector<std::string>& choices) {
    const std::string stored = shapeKey(readSetting(settings, keys::kPatternShape, ""));
    for (const std::string& c : choices)
        if (shapeKey(c) == stored) return c;
    writeSetting(settings, keys::kPatternShape, "Ellipse");
    return "Ellipse";
}

std::string choosePatternAngle(ProfileFile& settings) {
    const std::string stored = readSetting(settings, keys::kPatternScreen, "");
    if (stored == "0" || stored == "45") return stored;
    writeSetting(settings, keys::kPatternScreen, "45");
    return "45";
}

double shapeSpacingFromSlider(int position) {
    return (position - 50) / 10.0;
}

int shapeSpacingSliderPosition(double spacing) {
    return std::clamp(roundHalfEven(spacing * 10.0 + 50.0), 0, 100);
}

float shapeSpacingFactor(double spacing) {
    return static_cast<float>(spacing / 10.0);
}

std::string shapeSpacingText(double spacing, Unit unit) {
    return formatFixed(spacing / millimetresPerUnit(unit), 3);
}

std::string lastImportFolder(const ProfileFile& settings) {
    return readSetting(settings, keys::kImportFolder);
}

void rememberImportFolder(ProfileFile& settings, const std::string& file) {
    std::string folder = std::filesystem::path(file).parent_path().string();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    writeSetting(settings, keys::kImportFolder, folder);
}
