#include "pattern/pattern_mask.h"

#include "actions/pattern_actions.h"
#include "job/job.h"
#include "job/proof.h"
#include "settings/settings.h"
#include "tests/job/job_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testsupport;

namespace {

PatternSettings settings(const std::string& shape, int screen, bool invert = false) {
    PatternSettings s;
    s.shape = shape;
    s.sizeX = s.sizeY = 2;
    s.gap = 1;
    s.screen = screen;
    s.invert = invert;
    return s;
}

struct Mask {
    PatternMask m;
    std::uint8_t at(int x, int y) const {
        return m.bytes[static_cast<std::size_t>(y) * m.width + x];
    }
    std::vector<std::uint8_t> row(int y, int from, int n) const {
        return {m.bytes.begin() + y * m.width + from, m.bytes.begin() + y * m.width + from + n};
    }
};

Mask generate(TestState& t, const PatternSettings& s, int w = 200, int h = 200, double k = 10) {
    Mask m{generatePatternMask(t.state.settings, w, h, k, s, feedback(t.state))};
    EXPECT_EQ(m.m.width, w);
    EXPECT_EQ(m.m.height, h);
    return m;
}

// Lengths of the complete runs of equal values in a row, leaving out the first and last run.
std::vector<int> innerRuns(const std::vector<std::uint8_t>& row) {
    std::vector<int> runs;
    int n = 1;
    for (std::size_t i = 1; i < row.size(); ++i) {
        if (row[i] == row[i - 1]) {
            ++n;
            continue;
        }
        runs.push_back(n);
        n = 1;
    }
    if (!runs.empty()) runs.erase(runs.begin());
    return runs;
}

} // namespace

TEST(PatternMask, EllipsesAtAngle0AreTwentyPixelsEveryThirty) {
    TestState t;
    const Mask m = generate(t, settings("Ellipse", 0));
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 150; ++x) {
            ASSERT_EQ(m.at(x, y), m.at(x + 30, y)) << x << "," << y;
            ASSERT_EQ(m.at(x, y), m.at(x, y + 30)) << x << "," << y;
        }
    // Through the middle of a cell: 20 pixels of colour, 10 of gap.
    const std::vector<int> runs = innerRuns(m.row(10, 0, 180));
    ASSERT_GE(runs.size(), 8u);
    for (std::size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(runs[i], m.at(0, 10) == 0 ? (i % 2 ? 20 : 10) : (i % 2 ? 10 : 20)) << i;
    EXPECT_EQ(m.at(1, 10), 0);    // cells start half a shape left of the picture
    EXPECT_EQ(m.at(15, 10), 255); // the gap
    EXPECT_EQ(m.at(15, 25), 255); // between the rows
}

TEST(PatternMask, EllipsesAtAngle45StepRowsBy26AndShiftEveryOtherBy15) {
    TestState t;
    const Mask m = generate(t, settings("Ellipse", 45));
    for (int x = 0; x < 150; ++x) {
        ASSERT_EQ(m.at(x + 15, 10 + 26), m.at(x, 10)) << x;
        ASSERT_EQ(m.at(x, 10 + 52), m.at(x, 10)) << x;
        ASSERT_EQ(m.at(x + 15, 10 + 78), m.at(x, 10)) << x;
    }
    EXPECT_NE(m.row(10 + 26, 0, 150), m.row(10, 0, 150));
}

TEST(PatternMask, RectanglesAt45KeepTheFullStepAndAreStaggered) {
    TestState t;
    const Mask m = generate(t, settings("Rectangle", 45));
    for (int x = 0; x < 150; ++x) {
        ASSERT_EQ(m.at(x + 15, 40), m.at(x, 10)) << x;
        ASSERT_EQ(m.at(x, 70), m.at(x, 10)) << x;
    }
    // Rows 20 to 29 are the gap between the rows of cells: all removed.
    for (int y = 20; y < 30; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(m.at(x, y), 255) << x << "," << y;
    // The first cell starts half a shape left of the picture: 11 columns of it show.
    EXPECT_EQ(innerRuns(m.row(10, 0, 180)),
              std::vector<int>({10, 20, 10, 20, 10, 20, 10, 20, 10, 20, 10}));
    EXPECT_EQ(m.at(10, 10), 0);
    EXPECT_EQ(m.at(11, 10), 255);
}

TEST(PatternMask, MaskOneIsTheExactInverse) {
    for (const char* shape : {"Ellipse", "Rectangle"}) {
        TestState t;
        const Mask a = generate(t, settings(shape, 45));
        const Mask b = generate(t, settings(shape, 45, true));
        for (std::size_t i = 0; i < a.m.bytes.size(); ++i)
            ASSERT_EQ(b.m.bytes[i], 255 - a.m.bytes[i]) << shape << " " << i;
    }
}

TEST(PatternMask, LibraryShapeCellUsesItsSpacingAndHoles) {
    TestState t;
    writeSetting(t.state.settings, keys::kShapeLibrary, t.state.locations.userFolder + "shape.lib");
    ShapeRecord box;
    box.name = "Box";
    box.spacing0 = 0.5f; // the vertical step grows by half: 30 -> 45
    box.polygons.push_back({{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, kShapeBlack});
    box.polygons.push_back(
        {{{0.25f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.75f}, {0.25f, 0.75f}}, kShapeWhite});
    ASSERT_EQ(saveShape(t.state.settings, t.state.locations, box, feedback(t.state)),
              ShapeSaveResult::Appended);
    const Mask m = generate(t, settings("box", 0));
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 150; ++x) {
            ASSERT_EQ(m.at(x, y), m.at(x + 30, y)) << x << "," << y;
            ASSERT_EQ(m.at(x, y), m.at(x, y + 45)) << x << "," << y;
        }
    // Second cell spans mask columns 21..40 and rows 0..19; its hole is the middle half.
    EXPECT_EQ(m.at(23, 3), 0);
    EXPECT_EQ(m.at(31, 10), 255);
    EXPECT_EQ(m.at(31, 30), 255); // between the rows
    // An inverted library cell is white all over (its hole included).
    const Mask inv = generate(t, settings("box", 0, true));
    EXPECT_EQ(inv.at(23, 3), 255);
    EXPECT_EQ(inv.at(31, 10), 255);
    EXPECT_EQ(inv.at(31, 30), 0);
}

TEST(PatternMask, UnknownShapeFallsBackToTheEllipse) {
    TestState t;
    writeSetting(t.state.settings, keys::kShapeLibrary,
                 t.state.locations.userFolder + "missing.lib");
    EXPECT_EQ(generate(t, settings("Nosuch", 45)).m.bytes,
              generate(t, settings("Ellipse", 45)).m.bytes);
    EXPECT_NE(generate(t, settings("Rectangle", 45)).m.bytes,
              generate(t, settings("Ellipse", 45)).m.bytes);
}

TEST(PatternMask, ProgressFollowsTheRowsAndEndsAtZero) {
    TestState t;
    generate(t, settings("Ellipse", 0));
    int highest = 0, last = -1;
    for (const auto& c : t.ui.calls)
        if (c.kind == "progress") {
            highest = std::max(highest, c.value);
            last = c.value;
        }
    EXPECT_GE(highest, 90);
    EXPECT_EQ(last, 0);
}

TEST(PatternMask, OrientationLikeThePicture) {
    const PatternMask in{3, 2, {1, 2, 3, 4, 5, 6}};
    struct Case {
        bool mirror, flip, rotate;
        int w, h;
        std::vector<std::uint8_t> out;
    } cases[] = {
        {false, false, false, 3, 2, {1, 2, 3, 4, 5, 6}},
        {true, false, false, 3, 2, {3, 2, 1, 6, 5, 4}},
        {false, true, false, 3, 2, {6, 5, 4, 3, 2, 1}},
        {true, true, false, 3, 2, {4, 5, 6, 1, 2, 3}},
        {false, false, true, 2, 3, {3, 6, 2, 5, 1, 4}},
        {true, false, true, 2, 3, {1, 4, 2, 5, 3, 6}},
        {false, true, true, 2, 3, {4, 1, 5, 2, 6, 3}},
    };
    for (const Case& c : cases) {
        const PatternMask out = orientPatternMask(in, c.mirror, c.flip, c.rotate);
        EXPECT_EQ(out.width, c.w);
        EXPECT_EQ(out.height, c.h);
        EXPECT_EQ(out.bytes, c.out) << c.mirror << c.flip << c.rotate;
    }
}

TEST(PatternMask, LoadedPictureMaskHasTheGridsSizeAndOrientation) {
    TestState t;
    AppState& s = t.state;
    s.picture.imageLoaded = 1;
    s.picture.imagePixelWidth = 200;
    s.picture.imagePixelHeight = 100;
    s.layout.rotateChecked = true;
    s.layout.mirrorChecked = true;
    s.picture.gridWidth = 100;
    s.picture.gridHeight = 200;
    s.layout.placedWidthPt = 100 * 72 / 254.0f; // turned: the picture's 200 pixels are 20 mm high
    s.layout.placedHeightPt = 200 * 72 / 254.0f;
    writeSetting(s.settings, keys::kPatternSizeX, "2");
    writeSetting(s.settings, keys::kPatternSizeY, "2");
    writeSetting(s.settings, keys::kPatternScreen, "0");
    const PatternMask m = generateImagePatternMask(s.picture, s.layout, s.settings, feedback(s));
    const double k = 200 * 72.0 / (static_cast<double>(s.layout.placedHeightPt) * 25.4);
    ASSERT_NEAR(k, 10.0, 1e-5);
    const PatternMask expected = orientPatternMask(
        generatePatternMask(s.settings, 200, 100, k, readPatternSettings(s.settings), feedback(s)),
        true, false, true);
    EXPECT_EQ(m.width, 100);
    EXPECT_EQ(m.height, 200);
    EXPECT_EQ(m.bytes, expected.bytes);
    s.layout.patternPrintChecked = true;
    EXPECT_EQ(updatePatternMask(s), ActionResult::Done);
    EXPECT_EQ(s.picture.patternMask, expected.bytes);
    s.layout.patternPrintChecked = false;
    EXPECT_EQ(updatePatternMask(s), ActionResult::Nothing);
    EXPECT_TRUE(s.picture.patternMask.empty());
}

TEST(PatternMask, EncodedWithLittleEndianSize) {
    const std::string e = encodePatternMask(PatternMask{258, 1, std::vector<std::uint8_t>(258, 7)});
    EXPECT_EQ(e.substr(0, 8), std::string("\x02\x01\0\0\x01\0\0\0", 8));
    EXPECT_EQ(e.size(), 8u + 258u);
}

TEST(PatternSettings, DefaultsZeroMeansOneAndOtherValues) {
    TestState t;
    PatternSettings s = readPatternSettings(t.state.settings);
    EXPECT_EQ(s.shape, "Ellipse");
    EXPECT_EQ(s.sizeX, 1.0);
    EXPECT_EQ(s.screen, 45);
    EXPECT_FALSE(s.invert);
    ensurePatternDefaults(t.state.settings);
    s = readPatternSettings(t.state.settings);
    EXPECT_EQ(s.sizeX, 2.0);
    EXPECT_EQ(s.sizeY, 2.0);
    EXPECT_EQ(s.gap, 1.0);
    struct Case {
        const char* key;
        const char* value;
        double sizeX, gap;
        int screen;
        bool invert;
        const char* written; // what opening the setup window leaves in the file
    } cases[] = {
        {"SizeX", "0", 1, 1, 45, false, "1"},       {"SizeX", "abc", 1, 1, 45, false, "1"},
        {"SizeX", "3.5", 3.5, 1, 45, false, "3.5"}, {"Gap", "0", 2, 1, 45, false, "1"},
        {"Gap", "2.5", 2, 2.5, 45, false, "2.5"},   {"Screen", "30", 2, 1, -1, false, "30"},
        {"Screen", "0", 2, 1, 0, false, "0"},       {"Mask", "1", 2, 1, 45, true, "1"},
        {"Mask", "yes", 2, 1, 45, false, "yes"},
    };
    for (const Case& c : cases) {
        TestState u;
        ensurePatternDefaults(u.state.settings);
        u.state.settings.write("RIP Patten Setup", c.key, c.value);
        const PatternSettings r = readPatternSettings(u.state.settings, true);
        EXPECT_EQ(r.sizeX, c.sizeX) << c.key << "=" << c.value;
        EXPECT_EQ(r.gap, c.gap) << c.key << "=" << c.value;
        EXPECT_EQ(r.screen, c.screen) << c.key << "=" << c.value;
        EXPECT_EQ(r.invert, c.invert) << c.key << "=" << c.value;
        EXPECT_EQ(u.state.settings.read("RIP Patten Setup", c.key), c.written) << c.key;
    }
}

TEST(PatternSettings, ValuesThatCannotMakeAScreenAreReported) {
    struct Case {
        double sizeX, sizeY, gap;
        bool ok;
    } cases[] = {
        {2, 2, 1, true},  {2, 2, -0.9, true},  {2, 2, -1.5, false}, {-3, 2, 1, false},
        {2, 0, 1, false}, {1001, 2, 1, false}, {2, 2, 1001, false}, {NAN, 2, 1, false},
    };
    for (const Case& c : cases) {
        PatternSettings s = settings("Ellipse", 45);
        s.sizeX = c.sizeX;
        s.sizeY = c.sizeY;
        s.gap = c.gap;
        EXPECT_EQ(patternSettingsProblem(s).empty(), c.ok)
            << c.sizeX << " " << c.sizeY << " " << c.gap;
        TestState t;
        const PatternMask m =
            generatePatternMask(t.state.settings, 50, 50, 10, s, feedback(t.state));
        EXPECT_EQ(m.width == 50, c.ok);
        EXPECT_EQ(t.ui.messages().size(), c.ok ? 0u : 1u);
    }
    TestState t;
    PatternSettings huge = settings("Ellipse", 45);
    EXPECT_EQ(
        generatePatternMask(t.state.settings, 100000, 100000, 10, huge, feedback(t.state)).width,
        0);
    ASSERT_EQ(t.ui.messages().size(), 1u);
    EXPECT_NE(t.ui.messages()[0].text.find("too large"), std::string::npos);
}

// A job with Pattern Print on, rendered by Ghostscript: where the mask knocks cells out the
// page carries no toner, where it lets colour through the colour is printed.
TEST(PatternPrint, GhostscriptShowsNoColourWhereTheMaskKnocksOut) {
    TestState t;
    AppState& s = t.state;
    constexpr int kW = 40, kH = 30;
    jobtest::prepare(s, false, jobtest::papers()[0], kW, kH, 60, 80);
    for (PixelGrid* g : {&s.picture.printGrid, &s.picture.previewGrid}) {
        g->width = kW;
        g->height = kH;
        g->cellBytes = g == &s.picture.printGrid ? 5 : 4;
        g->cells.assign(static_cast<std::size_t>(kW) * kH * g->cellBytes, 0);
    }
    for (auto& curve : s.colour.toneCurves.table)
        for (int v = 0; v < 256; ++v)
            curve[v] = static_cast<std::uint16_t>(v);
    for (int i = 0; i < kW * kH; ++i) {
        std::uint8_t* p = s.picture.printGrid.cells.data() + i * 5;
        p[0] = 120, p[1] = 90, p[2] = 60, p[3] = 0, p[4] = 255;
        std::uint8_t* v = s.picture.previewGrid.cells.data() + i * 4;
        v[0] = 120, v[1] = 90, v[2] = 60, v[3] = 255;
    }
    PatternSettings ps = settings("Rectangle", 45);
    ps.sizeX = ps.sizeY = 1;
    ps.gap = 1; // cells of 5 x 5 grid cells every 10
    const PatternMask mask = generatePatternMask(s.settings, kW, kH, 5, ps, feedback(s));
    ASSERT_EQ(mask.width, kW);

    const auto render = [&](bool pattern) {
        s.layout.patternPrintChecked = pattern;
        s.picture.patternMask = pattern ? mask.bytes : std::vector<std::uint8_t>{};
        const PrintJobParts job = makePrintJob(jobInputs(s), separationInputs(s), feedback(s));
        EXPECT_TRUE(job.ok()) << static_cast<int>(job.problem);
        RenderedPage page;
        std::string output, error;
        RenderOptions o;
        o.dpi = 36;
        EXPECT_TRUE(renderPage(stripPjl(jobBytes(job, feedback(s))), o, page, output, error))
            << error;
        return page;
    };
    const RenderedPage plain = render(false);
    const RenderedPage patterned = render(true);
    ASSERT_EQ(plain.channels, 4);
    const auto inked = [](const RenderedPage& p, int x, int y) {
        const char* px = p.pixels.data() + (static_cast<std::size_t>(y) * p.width + x) * 4;
        return px[0] != 0 || px[1] != 0 || px[2] != 0 || px[3] != 0;
    };
    // Where the picture is: the inked box of the page without the pattern.
    int x0 = plain.width, y0 = plain.height, x1 = -1, y1 = -1;
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x)
            if (inked(plain, x, y)) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_GT(x1 - x0, 2 * kW);
    ASSERT_GT(y1 - y0, 2 * kH);
    int knockedOut = 0, printed = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const int cx = (x - x0) * kW / (x1 - x0 + 1);
            const int cy = (y - y0) * kH / (y1 - y0 + 1);
            // Only pixels well inside a run of equal mask cells are judged.
            bool allOut = true, allIn = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int ex = std::clamp(cx + dx, 0, kW - 1),
                              ey = std::clamp(cy + dy, 0, kH - 1);
                    const bool out = mask.bytes[static_cast<std::size_t>(ey) * kW + ex] != 0;
                    allOut = allOut && out;
                    allIn = allIn && !out;
                }
            if (allOut) {
                ++knockedOut;
                ASSERT_FALSE(inked(patterned, x, y)) << x << "," << y;
            } else if (allIn) {
                ++printed;
                ASSERT_TRUE(inked(patterned, x, y)) << x << "," << y;
            }
        }
    EXPECT_GT(knockedOut, 200);
    EXPECT_GT(printed, 100);
}
