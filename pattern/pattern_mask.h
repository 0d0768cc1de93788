// The pattern print settings and the generator of the pattern mask: a screen of ellipses,
// rectangles or library shapes drawn without antialiasing, one byte per image pixel.
#pragma once

#include "core/profile_file.h"
#include "pattern/shape_library.h"

#include <cstdint>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/ui.h"

// Section "RIP Patten Setup" of the settings file, lengths in millimetres.
struct PatternSettings {
    std::string shape = "Ellipse";
    double sizeX = 1.0;
    double sizeY = 1.0;
    double gap = 1.0;
    int screen = 45;     // 0 or 45; any other value acts as neither (no stagger, no 0.87 step)
    bool invert = false; // "Mask" 1
};

inline constexpr double kMaxPatternLength = 1000.0; // mm, for sizes and the gap

// Reads the settings with their defaults. A size or gap that reads as 0 becomes 1 (and is
// written back when writeBack is set, as opening the setup window does).
PatternSettings readPatternSettings(ProfileFile& settings, bool writeBack = false);
// Writes all six keys.
void writePatternSettings(ProfileFile& settings, const PatternSettings& pattern);
// The defaults the main window writes at build time when the keys are missing.
void ensurePatternDefaults(ProfileFile& settings);

// Empty when the settings can make a screen; otherwise what is wrong, for the user.
std::string patternSettingsProblem(const PatternSettings& settings);

// One cell of the screen in pixels, for scale k (pixels per millimetre).
struct PatternCell {
    enum class Kind { Ellipse, Rectangle, Library } kind = Kind::Ellipse;
    double width = 0.0; // ellipse and rectangle
    double height = 0.0;
    double stepX = 0.0;                 // horizontal step sx
    double stepY = 0.0;                 // vertical step sy
    int offset = 0;                     // row offset o of the staggered rows
    std::vector<ShapePolygon> polygons; // library shape, scaled to pixels
};

// The cell geometry; library is the record named by the settings, or null (ellipse rule).
PatternCell patternCell(const PatternSettings& settings, double k, const ShapeRecord* library);

// Draws the screen into a canvas of width x height pixels (x, y from 1) as the generator
// does, also used by the setup window's preview (with no feedback). The result is one byte a
// pixel (the blue channel: 0 where a cell lets colour through with "Mask" 0); the progress
// bar follows the rows.
std::vector<std::uint8_t> drawPatternCanvas(const PatternSettings& pattern, const PatternCell& cell,
                                            int width, int height, const Feedback& feedback = {});

struct PatternMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes; // width x height, rows from the top; non-zero = removed
};

// The generator with explicit W, H and scale k (a library shape is read from the library the
// settings name); the progress bar follows the rows and ends at 0. An empty mask (width 0)
// when the pattern cannot make a screen or the canvas would be too large (the user is told).
PatternMask generatePatternMask(const ProfileFile& settings, int width, int height, double k,
                                const PatternSettings& pattern, const Feedback& feedback);

// Orients a mask like the printed picture: Mirror reverses every row, Flip turns the rows
// upside down, Rotate turns it a quarter as the separation turns the picture.
PatternMask orientPatternMask(const PatternMask& mask, bool mirror, bool flip, bool rotate);

// The mask for the loaded picture in the grid's cell order (gridWidth x gridHeight), from
// the stored settings and the picture's printed width. Empty when no picture is loaded.
PatternMask generateImagePatternMask(const Picture& picture, const Layout& layout,
                                     ProfileFile& settings, const Feedback& feedback);

// W and H as 32-bit little-endian integers, then the bytes.
std::string encodePatternMask(const PatternMask& mask);
