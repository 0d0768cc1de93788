#include "pattern/ai_import.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

// Ghostscript's PostScript-to-Illustrator converter from the ghostscript package.
std::string ps2ai() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/usr/share/ghostscript", ec)) {
        const auto p = e.path() / "lib" / "ps2ai.ps";
        if (std::filesystem::is_regular_file(p, ec)) return p.string();
    }
    return {};
}

// Turns a PostScript drawing into an Illustrator 3 file with ps2ai; its bytes.
std::string illustratorFromPostScript(const TempDir& dir, const std::string& name,
                                      const std::string& drawing) {
    const std::string converter = ps2ai();
    EXPECT_FALSE(converter.empty()) << "ps2ai.ps of the ghostscript package is missing";
    const std::string ps = dir.file(name + ".ps");
    const std::string ai = dir.file(name + ".ai");
    writeFile(ps, "%!PS\n" + drawing + "\nshowpage\n");
    const std::string cmd = "gs -q -dNODISPLAY -dNOSAFER -dBATCH '" + converter + "' '" + ps +
                            "' > '" + ai + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return readFile(ai);
}

std::string rect(int x, int y, int w, int h) {
    return "newpath " + std::to_string(x) + " " + std::to_string(y) + " moveto " +
           std::to_string(w) + " 0 rlineto 0 " + std::to_string(h) + " rlineto " +
           std::to_string(-w) + " 0 rlineto closepath fill\n";
}

// A path of n curves in a row, each bulging upwards.
std::string curves(int n) {
    std::string s = "newpath 0 0 moveto\n";
    for (int i = 0; i < n; ++i)
        s += std::to_string(i * 10 + 3) + " 20 " + std::to_string(i * 10 + 7) + " 20 " +
             std::to_string(i * 10 + 10) + " 0 curveto\n";
    return s + "closepath fill\n";
}

std::string handMade(const std::string& header, const std::string& body) {
    return header + "%%EndSetup\n" + body + "%%PageTrailer\n0 0 m\n";
}

struct Extent {
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
};
Extent extent(const ShapeRecord& r) {
    Extent e;
    for (const auto& p : r.polygons)
        for (const auto& pt : p.points) {
            e.minX = std::min(e.minX, pt.x);
            e.maxX = std::max(e.maxX, pt.x);
            e.minY = std::min(e.minY, pt.y);
            e.maxY = std::max(e.maxY, pt.y);
        }
    return e;
}

} // namespace

TEST(IllustratorImport, Ps2aiRectanglesBecomeBlackPolygonsOfHeightOneYDown) {
    TempDir dir;
    // A wide bar at the bottom and a small square above its left end.
    const std::string ai = illustratorFromPostScript(
        dir, "bars", "0 0 0 1 setcmykcolor\n" + rect(100, 100, 200, 50) + rect(100, 200, 50, 50));
    const AiConversion c = convertIllustrator(ai, "bars");
    ASSERT_EQ(c.status, 2);
    EXPECT_FALSE(c.curved);
    EXPECT_EQ(c.shape.name, "bars");
    ASSERT_EQ(c.shape.polygons.size(), 2u);
    for (const auto& p : c.shape.polygons) {
        EXPECT_EQ(p.fill, kShapeBlack);
        EXPECT_GE(p.points.size(), 4u);
    }
    const Extent e = extent(c.shape);
    EXPECT_FLOAT_EQ(e.minX, 0.0f);
    EXPECT_FLOAT_EQ(e.minY, 0.0f);
    EXPECT_FLOAT_EQ(e.maxY, 1.0f);
    EXPECT_FLOAT_EQ(e.maxX, 200.0f / 150.0f);
    // The bar drawn lowest on the page is at the bottom of the shape (largest y).
    EXPECT_FLOAT_EQ(extent(ShapeRecord{"", 0, 0, {c.shape.polygons[0]}}).minY, 100.0f / 150.0f);
    EXPECT_FLOAT_EQ(extent(ShapeRecord{"", 0, 0, {c.shape.polygons[1]}}).maxY, 50.0f / 150.0f);
}

TEST(IllustratorImport, Ps2aiWhiteInnerPathCutsAHole) {
    TempDir dir;
    const std::string ai =
        illustratorFromPostScript(dir, "frame",
                                  "0 0 0 1 setcmykcolor\n" + rect(0, 0, 100, 100) +
                                      "0 0 0 0 setcmykcolor\n" + rect(25, 25, 50, 50));
    const AiConversion c = convertIllustrator(ai, "frame");
    ASSERT_EQ(c.status, 2);
    EXPECT_EQ(c.shape.polygons[0].fill, kShapeBlack);
    EXPECT_EQ(c.shape.polygons[1].fill, kShapeWhite);
}

TEST(IllustratorImport, Ps2aiCurvesAreApproximatedAndReducedUntilTheyFit) {
    struct Case {
        int curves;
        int status;
        int perCurve;
    } cases[] = {
        {1, 1, 20},               // 1 + 20 points (+ the closing line)
        {12, 1, 16},              // 12 x 16 + 2 = 194 fits, 12 x 17 + 2 does not
        {39, 1, 5},               // 39 x 5 + 2 = 197: the coarsest approximation
        {40, kAiTooManyNodes, 5}, // would need 4 points per curve
    };
    TempDir dir;
    for (const Case& k : cases) {
        const std::string name = "curves" + std::to_string(k.curves);
        const std::string ai = illustratorFromPostScript(dir, name, curves(k.curves));
        const AiConversion c = convertIllustrator(ai, name);
        EXPECT_EQ(c.status, k.status) << k.curves;
        if (k.status > 0) {
            EXPECT_TRUE(c.curved);
            EXPECT_EQ(c.pointsPerCurve, k.perCurve) << k.curves;
            EXPECT_LE(c.shape.polygons[0].points.size(), 200u);
            EXPECT_FLOAT_EQ(extent(c.shape).maxY, 1.0f);
        }
    }
}

TEST(IllustratorImport, Ps2aiTwentyFivePathsAreTooManyNodes) {
    TempDir dir;
    std::string drawing = "0 0 0 1 setcmykcolor\n";
    for (int i = 0; i < 25; ++i)
        drawing += rect(20 * (i % 5), 20 * (i / 5), 10, 10);
    const AiConversion c =
        convertIllustrator(illustratorFromPostScript(dir, "grid", drawing), "grid");
    EXPECT_EQ(c.status, kAiTooManyNodes);
    EXPECT_EQ(aiFailureText(c.status), "Conversion failed\nTo many nodes");
}

TEST(IllustratorImport, HandMadeHeadersAndBodies) {
    const std::string square = "0 0 0 1 k\n0 0 m\n10 0 l\n10 10 l\n0 10 l\nf\n";
    struct Case {
        const char* what;
        std::string file;
        int status;
    } cases[] = {
        {"version 8", handMade("%%Creator: Adobe Illustrator(R) 8.0\n", square), 1},
        {"version 9", handMade("%%Creator: Adobe Illustrator(R) 9.0\n", square), kAiVersionTooNew},
        {"PDF based", "%PDF-1.4\n%%Creator: Adobe Illustrator(R) 10.0\n" + square, kAiPdfBased},
        {"neither version nor end of setup", "%!PS\n" + square, kAiUnexpectedFile},
        {"version line without end of setup", "%%Creator: Adobe Illustrator(R) 6.0\n" + square,
         kAiUnexpectedFile},
        {"all points far away",
         handMade("", "0 0 0 1 k\n2000 2000 m\n2100 2000 l\n2100 2100 l\nf\n"), kAiUnexpectedFile},
        {"no height", handMade("", "0 0 0 1 k\n0 5 m\n10 5 l\nf\n"), kAiUnexpectedFile},
        {"no filled path", handMade("", "0 0 0 1 k\n0 0 m\n10 0 l\n10 10 l\nS\n"),
         kAiUnexpectedFile},
        {"empty file", "", kAiUnexpectedFile},
        {"CR line ends",
         handMade("%%Creator: Adobe Illustrator(TM) 3.2\r", "0 0 m\r5 0 l\r5 5 l\rF\r"), 1},
        {"21 paths without curves",
         handMade("",
                  [] {
                      std::string s;
                      for (int i = 0; i < 21; ++i)
                          s += std::to_string(i) + " 0 m\n" + std::to_string(i) + " 9 l\nf\n";
                      return s;
                  }()),
         kAiTooManyNodes},
        {"201 points without curves",
         handMade("",
                  [] {
                      std::string s = "0 0 m\n";
                      for (int i = 1; i <= 200; ++i)
                          s += std::to_string(i) + " " + std::to_string(i % 2) + " l\n";
                      return s + "f\n";
                  }()),
         kAiTooManyNodes},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convertIllustrator(c.file, "x").status, c.status) << c.what;
}

TEST(IllustratorImport, FillColourOperatorsAndNegativeCoordinates) {
    struct Case {
        const char* colour;
        std::int32_t fill;
    } cases[] = {
        {"0 0 0 0 k", kShapeWhite},
        {"0.1 0.1 0.1 0.1 k", kShapeWhite},
        {"0.2 0.1 0.1 0.1 k", kShapeBlack},
        {"0 0 0 0 Xa", kShapeWhite},
        {"0 0 0 0.01 Xa", kShapeBlack},
        {"0 0 0 1 K", kShapeBlack}, // a stroke colour is not a fill
    };
    for (const Case& c : cases) {
        const AiConversion r = convertIllustrator(
            handMade("", std::string(c.colour) + "\n-5 -5 m\n10 -5 l\n10 10 l\nf\n"), "x");
        ASSERT_EQ(r.status, 1) << c.colour;
        EXPECT_EQ(r.shape.polygons[0].fill, c.fill) << c.colour;
        // -5 read as 0: the square is 10 x 10, so the width is 1 as well.
        EXPECT_FLOAT_EQ(extent(r.shape).maxX, 1.0f) << c.colour;
    }
}

TEST(IllustratorImport, FileImportChecksTheExtensionAndReportsFailures) {
    TestState t;
    const std::string good = handMade("", "0 0 m\n5 0 l\n5 5 l\nf\n");
    writeFile(t.dir.file("Drop Shape.AI"), good);
    writeFile(t.dir.file("drop.eps"), good);
    writeFile(t.dir.file("new.ai"), handMade("%%Creator: Adobe Illustrator(R) 9.0\n", ""));
    EXPECT_EQ(importIllustratorFile(t.dir.file("Drop Shape.AI"), feedback(t.state)).shape.name,
              "Drop Shape");
    EXPECT_TRUE(t.ui.messages().empty());
    EXPECT_EQ(importIllustratorFile(t.dir.file("drop.eps"), feedback(t.state)).status,
              kAiUnexpectedFile);
    EXPECT_EQ(importIllustratorFile(t.dir.file("new.ai"), feedback(t.state)).status,
              kAiVersionTooNew);
    EXPECT_EQ(importIllustratorFile(t.dir.file("missing.ai"), feedback(t.state)).status,
              kAiUnexpectedFile);
    // Only regular files are read: a FIFO would block the import, a device never end.
    ASSERT_EQ(::mkfifo(t.dir.file("pipe.ai").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", t.dir.file("zero.ai").c_str()), 0);
    std::filesystem::create_directory(t.dir.file("folder.ai"));
    for (const char* name : {"pipe.ai", "zero.ai", "folder.ai"})
        EXPECT_EQ(importIllustratorFile(t.dir.file(name), feedback(t.state)).status,
                  kAiUnexpectedFile)
            << name;
    const auto m = t.ui.messages();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].text, "Conversion failed\nUnexpected file");
    EXPECT_EQ(m[1].text, "Conversion failed\nAI file greater than Ver 8");
    EXPECT_EQ(m[1].caption, "Converter");
}
