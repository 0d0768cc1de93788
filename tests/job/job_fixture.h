// Shared set-up of the job tests: a state with a small synthetic separated raster and the
// geometry of its placement, and helpers to read jobs back line by line.
#pragma once

#include "actions/app_state.h"
#include "actions/actions.h"
#include "model/media.h"
#include "job/job.h"
#include "job/job_testing.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jobtest {

struct Paper {
    const char* name;
    int widthPt;
    int heightPt;
};

inline const std::vector<Paper>& papers() {
    static const std::vector<Paper> table = {
        {"A4", 595, 842},     {"A3", 842, 1191},    {"A4 SEF", 595, 842},
        {"A5 SEF", 420, 595}, {"A6 SEF", 297, 420}, {"A4XL 210 x 420", 612, 1190},
        {"Letter", 612, 792},
    };
    return table;
}

// Plane p (1..5) of pixel (x, y) of the synthetic raster: distinct levels per plane, some
// zero; plane 5 is never zero, so any sign of it in the print shows.
inline std::uint8_t sample(int p, int x, int y) {
    if (p == 5) return 0xAA;
    if ((x + 2 * y + p) % 4 == 0) return 0;
    return static_cast<std::uint8_t>(30 + 50 * (p - 1) + 7 * x + 3 * y);
}

inline std::string syntheticRaster(int w, int h) {
    std::string r;
    for (int y = 0; y < h; ++y)
        for (int p = 1; p <= 5; ++p)
            for (int x = 0; x < w; ++x)
                r.push_back(static_cast<char>(sample(p, x, y)));
    return r;
}

// The interface texts the media list sets for the family (texts 101 to 112).
inline void setMediaTexts(AppState& s, bool second) {
    if (s.language.texts.size() < 313) s.language.texts.resize(313);
    const std::string brand = s.target.targetBrand;
    s.target.targetBrand = second ? "RICOH" : "OKI";
    buildMediaIds(s.target, s.language);
    s.target.targetBrand = brand;
}

// A job-ready state: target printer, paper, a w x h picture placed at (x, y) points with
// 12 points a pixel.
inline void prepare(AppState& s, bool second, const Paper& paper, int w = 6, int h = 4,
                    float x = 100, float y = 120) {
    s.target.targetBrand = second ? "RICOH" : "OKI";
    s.target.targetModel = second ? "C300W" : "C711WT";
    setMediaTexts(s, second);
    testsupport::setMedium(s, second ? "Auto (Plain&Recycled)" : "Printer Setting");
    s.window.windowTitle = "Lumivane Basic - /home/user/art work.png";
    s.page.paperText = paper.name;
    s.page.paperWidthPt = paper.widthPt;
    s.page.paperHeightPt = paper.heightPt;
    s.page.printableWidthPt = static_cast<float>(paper.widthPt - 26);
    s.page.printableHeightPt = static_cast<float>(paper.heightPt - 26);
    s.page.trayText = "AUTO";
    s.layout.copies = 1;
    s.picture.gridWidth = w;
    s.picture.gridHeight = h;
    s.layout.placedWidthPt = static_cast<float>(w * 12);
    s.layout.placedHeightPt = static_cast<float>(h * 12);
    s.layout.across = 1;
    s.layout.down = 1;
    s.layout.copySpacingX = 0;
    s.layout.copySpacingY = 0;
    s.layout.imagePosX = x;
    s.layout.imagePosY = y;
}

// Lines of text split at CR LF (a lone LF or CR stays inside the line it ends).
inline std::vector<std::string> crlfLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            break;
        }
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

inline bool hasLine(const std::vector<std::string>& lines, std::string_view line) {
    for (const auto& l : lines)
        if (l == line) return true;
    return false;
}

// Index of the first line equal to line at or after from; -1 when none.
inline int findLine(const std::vector<std::string>& lines, std::string_view line, int from = 0) {
    for (std::size_t i = static_cast<std::size_t>(from); i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<int>(i);
    return -1;
}

// The lines from the first line equal to first up to and including the next line equal to
// last; empty when not found.
inline std::vector<std::string> blockOf(const std::vector<std::string>& lines,
                                        std::string_view first, std::string_view last) {
    const int a = findLine(lines, first);
    if (a < 0) return {};
    const int b = findLine(lines, last, a);
    if (b < 0) return {};
    return {lines.begin() + a, lines.begin() + b + 1};
}

// The feature block (from "featurebegin{" to "}featurecleanup") whose begin line is
// beginLine; empty when there is none.
inline std::vector<std::string> featureBlock(const std::vector<std::string>& lines,
                                             std::string_view beginLine) {
    const int at = findLine(lines, beginLine);
    if (at < 1) return {};
    int end = at;
    while (end < static_cast<int>(lines.size()) &&
           lines[static_cast<std::size_t>(end)].rfind("}featurecleanup", 0) != 0)
        ++end;
    if (end >= static_cast<int>(lines.size())) return {};
    return {lines.begin() + at - 1, lines.begin() + end + 1};
}

inline int countOf(std::string_view hay, std::string_view needle) {
    int n = 0;
    for (std::size_t p = hay.find(needle); p != std::string_view::npos; p = hay.find(needle, p + 1))
        ++n;
    return n;
}

} // namespace jobtest
