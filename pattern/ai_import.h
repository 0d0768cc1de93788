// Conversion of simple Adobe Illustrator drawings (versions 3 to 8) into shape records.
#pragma once

#include "pattern/shape_library.h"

#include <string>
#include <string_view>

#include "core/ui.h"

// Conversion statuses (negative; a successful conversion gives the polygon count instead).
inline constexpr int kAiTooManyNodes = -1;
inline constexpr int kAiUnexpectedFile = -3;
inline constexpr int kAiVersionTooNew = -4;
inline constexpr int kAiPdfBased = -5;

struct AiConversion {
    int status = 0;          // polygon count (> 0) or one of the statuses above
    int pointsPerCurve = 20; // the curve approximation the shape fitted with
    bool curved = false;
    ShapeRecord shape; // named after baseName, normalised to height 1, y downwards
};

// Converts the bytes of an .ai file. Lines end at CR, LF or CR LF.
AiConversion convertIllustrator(std::string_view bytes, std::string_view baseName);

// "Conversion failed", a line break and the reason for a negative status; empty otherwise.
std::string aiFailureText(int status);

// Reads and converts the file at path (only a file whose extension is "ai" in any case); a
// failure is shown in a message box with caption "Converter". An unreadable file or another
// extension gives kAiUnexpectedFile.
AiConversion importIllustratorFile(const std::string& path, const Feedback& feedback);
