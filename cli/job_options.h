// The options shared by every printconv-cli command that opens an image. Each option acts as
// the user setting that control of the main window for this run; no stored setting changes
// (the run's settings changes stay in memory).
#pragma once

#include "cli/commands.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

struct JobOptions {
    std::string image;  // the positional IMAGE argument (empty when the command has none)
    std::string output; // -o FILE
    std::string queue;  // --queue NAME
    std::optional<std::string> printer, paper, media, tray, copies, xcopies, ycopies;
    std::optional<std::string> width, height, profileIn, profileOut, colourAdjust;
    std::optional<std::string> snapshot; // --snapshot FILE: a configuration snapshot applied first
    std::optional<float> fixedSpacingMm;
    std::optional<int> brightness, contrast;
    std::optional<bool> rotate, mirror;
    std::optional<std::string> align;
    std::optional<std::pair<int, int>> previewSize;
    bool autoTile = false, fitToPage = false, flip = false, crop = false;
    bool details = false; // --details (status)
    // Pattern print: --pattern turns it on; the others set the run's pattern settings.
    bool pattern = false, patternInvert = false;
    std::optional<std::string> patternShape;
    std::optional<std::pair<double, double>> patternSize;
    std::optional<double> patternGap;
    std::optional<int> patternAngle;
};

// Parses args; false with a message on stderr for an unknown option or a bad value.
// wantImage: the first positional argument is the image (required).
bool parseJobOptions(const CliArgs& args, bool wantImage, JobOptions& options);

// Parses the --pattern option at args[i] (advancing i over its values); false with a message.
bool parsePatternOption(const CliArgs& args, std::size_t& i, JobOptions& options);
// Writes the pattern options into the run's settings and, with --pattern, turns Pattern
// Print on and makes the mask. False (message shown) for values that make no screen.
bool applyPatternOptions(AppState& state, const JobOptions& options);

// Applies the options that come before loading (printer, paper, media, tray, profiles,
// colour adjustment, flip), sets the main window state up, then loads the image when one is
// given and applies the options that act on a loaded picture; ends with the layout.
// False (message shown) when the image could not be loaded or a value is refused.
bool openWithOptions(AppState& state, const JobOptions& options);
