#include "image/separation.h"

#include "actions/actions.h"
#include "model/media.h"

#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using testsupport::TestState;

namespace {

// The separated raster of the session's picture (empty when it cannot be separated).
SeparationData separated(AppState& s) {
    SeparationData d;
    separateForPrint(separationInputs(s), d, feedback(s));
    return d;
}

using Cmyka = std::array<std::uint8_t, 5>;

struct SeparationTest : ::testing::Test {
    TestState ts;
    AppState& s = ts.state;

    SeparationTest() {
        // Room enough that no oversize handling changes the placed size.
        s.page.printableWidthPt = 10000;
        s.page.printableHeightPt = 10000;
        s.layout.mirrorChecked = false;
        for (auto& t : s.colour.toneCurves.table)
            for (int v = 0; v < 256; ++v)
                t[v] = static_cast<std::uint16_t>(v);
    }

    // A converted picture of w x h pixels, given row by row.
    void picture(int w, int h, const std::vector<Cmyka>& px) {
        ASSERT_EQ(px.size(), static_cast<std::size_t>(w * h));
        s.picture.imagePixelWidth = w;
        s.picture.imagePixelHeight = h;
        s.picture.imageWidthPt = 72.0f * w / 300.0f;
        s.picture.imageHeightPt = 72.0f * h / 300.0f;
        s.picture.imageBuffer.clear();
        for (const auto& p : px)
            s.picture.imageBuffer.insert(s.picture.imageBuffer.end(), p.begin(), p.end());
    }
    void onePixel(Cmyka p) { picture(1, 1, {p}); }

    // The four planes of the cell at (x, y) (0-based) of the separated raster.
    static std::array<int, 5> planes(const SeparationData& d, int gw, int x, int y) {
        std::array<int, 5> out{};
        for (int p = 0; p < 5; ++p)
            out[p] = static_cast<std::uint8_t>(
                d[static_cast<std::size_t>(y) * gw * 5 + static_cast<std::size_t>(p) * gw + x]);
        return out;
    }
    std::array<int, 5> printOne(Cmyka p) {
        onePixel(p);
        orientImage(s.picture, s.layout, s.page, feedback(s));
        const SeparationData d = separated(s);
        EXPECT_EQ(d.size(), 5u);
        return d.size() == 5 ? planes(d, 1, 0, 0) : std::array<int, 5>{-1, -1, -1, -1, -1};
    }
};

TEST_F(SeparationTest, PureBlackFoldsIntoColoursAndPrintsWhite) {
    onePixel({0, 0, 0, 255, 255});
    orientImage(s.picture, s.layout, s.page, feedback(s));
    const std::uint8_t* pg = s.picture.printGrid.at(1, 1);
    EXPECT_EQ((Cmyka{pg[0], pg[1], pg[2], pg[3], pg[4]}), (Cmyka{255, 255, 255, 255, 255}));
    const std::uint8_t* vg = s.picture.previewGrid.at(1, 1);
    EXPECT_EQ(vg[0] + vg[1] + vg[2], 3 * 255);
    EXPECT_EQ(vg[3], 255);
    // 0.98 x 255 = 249.9 -> 250; under-colour removal 0.2 x 250 = 50.
    const SeparationData d = separated(s);
    EXPECT_EQ(planes(d, 1, 0, 0), (std::array<int, 5>{200, 200, 200, 250, 0}));
}

TEST_F(SeparationTest, FoldingBlackIntoColours) {
    // 255 x min(1, c (1 - k) + k), rounded half to even.
    struct Case {
        Cmyka in;
        std::array<int, 3> folded;
    } cases[] = {
        {{100, 0, 255, 0, 255}, {100, 0, 255}},
        {{100, 0, 200, 100, 255}, {161, 100, 222}}, // 100+100*155/255 = 160.78; 200+... = 221.57
        {{0, 0, 0, 51, 255}, {51, 51, 51}},
        {{255, 10, 0, 255, 255}, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        onePixel(c.in);
        orientImage(s.picture, s.layout, s.page, feedback(s));
        const std::uint8_t* pg = s.picture.printGrid.at(1, 1);
        EXPECT_EQ((std::array<int, 3>{pg[0], pg[1], pg[2]}), c.folded);
        EXPECT_EQ(pg[3], c.in[3]) << "the transform's black is kept";
    }
}

TEST_F(SeparationTest, WhitePrintsNothing) {
    EXPECT_EQ(printOne({0, 0, 0, 0, 255}), (std::array<int, 5>{0, 0, 0, 0, 0}));
}

TEST_F(SeparationTest, InkThresholdsFromTheOutputProfile) {
    struct Case {
        const char* profile;
        int low, high;
    } cases[] = {
        {"OKC711P2.ICM", 202, 232},
        {"/usr/share/x/okc712p2.icm", 200, 230},
        {"OKC650P2.ICM", 200, 230},
        {"OKC612P2.ICM", 200, 230},
        {"OKC332P2.ICM", 206, 236},
        {"OKC331P2.ICM", 206, 236},
        {"OKC610P2.ICM", 202, 232},
        {"OKC831P2.ICM", 200, 230},
        {"OKC833P2.ICM", 200, 200},
        {"RCSPC11E1C.icm", 206, 236},
        {"", 206, 236},
        {"C711-C833.icc", 202, 232}, // first match wins
    };
    for (const Case& c : cases) {
        writeSetting(s.settings, keys::kProfileOut, c.profile);
        chooseInkThresholds(s.colour, s.settings);
        EXPECT_EQ(s.colour.inkThresholdLow, c.low) << c.profile;
        EXPECT_EQ(s.colour.inkThresholdHigh, c.high) << c.profile;
        EXPECT_EQ(inkThresholdForMedia(s.colour, kMediaTransfer07), c.low);
        EXPECT_EQ(inkThresholdForMedia(s.colour, kMediaTransfer11), c.low);
        EXPECT_EQ(inkThresholdForMedia(s.colour, kMediaTransfer13), c.high);
        EXPECT_EQ(inkThresholdForMedia(s.colour, 170), 0); // "Transfer media 12"
        EXPECT_EQ(inkThresholdForMedia(s.colour, kMediaTransfer16), 0);
        EXPECT_EQ(inkThresholdForMedia(s.colour, 0), 0);
    }
}

TEST_F(SeparationTest, InkBelowTheThresholdLeavesTheMediumBare) {
    writeSetting(s.settings, keys::kProfileOut, "OKC711P2.ICM");
    chooseInkThresholds(s.colour, s.settings);
    testsupport::setMedium(s, "Transfer media 13");
    // Sum C' + M' + Y' + K: 231 is below 232, 232 is not.
    EXPECT_EQ(printOne({100, 100, 31, 0, 255}), (std::array<int, 5>{0, 0, 0, 0, 0}));
    const auto printed = printOne({100, 100, 32, 0, 255});
    EXPECT_GT(printed[0], 0);
    EXPECT_EQ(printed[3], 0);
    // The black counts in the sum (and is folded in).
    EXPECT_GT(printOne({0, 0, 0, 240, 255})[3], 0);
    // Other media have no test.
    testsupport::setMedium(s, "Transfer media 12");
    EXPECT_GT(printOne({10, 0, 0, 0, 255})[0], 0);
}

TEST_F(SeparationTest, AlphaIsMadeBinaryWithoutRotate) {
    struct Case {
        int alpha;
        bool prints;
        int stored;
    } cases[] = {
        {0, false, 0}, {128, false, 0}, {180, false, 0}, {181, true, 255}, {255, true, 255}};
    for (const Case& c : cases) {
        const auto out = printOne({0, 0, 0, 255, static_cast<std::uint8_t>(c.alpha)});
        EXPECT_EQ(out[3] > 0, c.prints) << c.alpha;
        EXPECT_EQ(s.picture.printGrid.at(1, 1)[4], c.stored) << "stored back, alpha " << c.alpha;
    }
}

TEST_F(SeparationTest, WithRotateAnyAlphaAboveZeroPrints) {
    s.layout.rotateChecked = true;
    EXPECT_EQ(printOne({0, 0, 0, 255, 128})[3], 250);
    EXPECT_EQ(s.picture.printGrid.at(1, 1)[4], 128) << "left as it was";
    EXPECT_EQ(printOne({0, 0, 0, 255, 1})[3], 250);
    EXPECT_EQ(printOne({0, 0, 0, 255, 0}), (std::array<int, 5>{0, 0, 0, 0, 0}));
}

// Orientation: a 3 x 2 picture whose pixels carry their source position in C (x) and M (y).
struct OrientCase {
    const char* name;
    bool mirror, flip, rotate;
    int gridW, gridH;
    // Source (x, y), 1-based, found at each output cell, row by row.
    std::vector<std::pair<int, int>> expected;
};

TEST_F(SeparationTest, OrientationVariants) {
    const OrientCase cases[] = {
        {"plain", false, false, false, 3, 2, {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}}},
        {"mirror", true, false, false, 3, 2, {{3, 1}, {2, 1}, {1, 1}, {3, 2}, {2, 2}, {1, 2}}},
        // Flip turned the rows at decoding; with Mirror also checked the mirror is undone.
        {"mirror with flip",
         true,
         true,
         false,
         3,
         2,
         {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}}},
        {"flip alone mirrors",
         false,
         true,
         false,
         3,
         2,
         {{3, 1}, {2, 1}, {1, 1}, {3, 2}, {2, 2}, {1, 2}}},
        // Turned anticlockwise: the first row is the rightmost column, top to bottom.
        {"rotate", false, false, true, 2, 3, {{3, 1}, {3, 2}, {2, 1}, {2, 2}, {1, 1}, {1, 2}}},
        // Rotate and mirror: transposed, the first row is the leftmost column.
        {"rotate and mirror",
         true,
         false,
         true,
         2,
         3,
         {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}}},
    };
    std::vector<Cmyka> px;
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 3; ++x)
            px.push_back(
                {static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 10), 0, 0, 255});
    for (const OrientCase& c : cases) {
        SCOPED_TRACE(c.name);
        picture(3, 2, px);
        s.layout.mirrorChecked = c.mirror;
        s.layout.flipChecked = c.flip;
        s.layout.rotateChecked = c.rotate;
        s.layout.zoom = 1.0f;
        orientImage(s.picture, s.layout, s.page, feedback(s));
        ASSERT_EQ(s.picture.gridWidth, c.gridW);
        ASSERT_EQ(s.picture.gridHeight, c.gridH);
        const float w = 72.0f * 3 / 300, h = 72.0f * 2 / 300;
        EXPECT_FLOAT_EQ(s.layout.placedWidthPt, c.rotate ? h : w);
        EXPECT_FLOAT_EQ(s.layout.placedHeightPt, c.rotate ? w : h);
        int i = 0;
        for (int y = 1; y <= c.gridH; ++y)
            for (int x = 1; x <= c.gridW; ++x, ++i) {
                EXPECT_EQ(s.picture.printGrid.at(x, y)[0], c.expected[i].first * 10)
                    << x << "," << y;
                EXPECT_EQ(s.picture.printGrid.at(x, y)[1], c.expected[i].second * 10)
                    << x << "," << y;
                EXPECT_EQ(s.picture.previewGrid.at(x, y)[0], c.expected[i].first * 10);
            }
        // The raster follows the turned grid.
        const SeparationData d = separated(s);
        ASSERT_EQ(d.size(), static_cast<std::size_t>(c.gridW * c.gridH * 5));
        // Y = 0, so no under-colour removal: just the 0.98 scale.
        EXPECT_EQ(planes(d, c.gridW, 0, 0)[0],
                  static_cast<int>(std::nearbyint(0.98f * c.expected[0].first * 10)));
    }
}

TEST_F(SeparationTest, RotatedBigPictureMatchesCellByCell) {
    // Wider than a block of rows and not a multiple of it: every cell lands once.
    const int w = 37, h = 21;
    std::vector<Cmyka> px;
    for (int y = 1; y <= h; ++y)
        for (int x = 1; x <= w; ++x)
            px.push_back({static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 0, 200});
    picture(w, h, px);
    s.layout.rotateChecked = true;
    orientImage(s.picture, s.layout, s.page, feedback(s));
    ASSERT_EQ(s.picture.gridWidth, h);
    ASSERT_EQ(s.picture.gridHeight, w);
    for (int y = 1; y <= w; ++y)
        for (int x = 1; x <= h; ++x) {
            ASSERT_EQ(s.picture.printGrid.at(x, y)[0], w + 1 - y);
            ASSERT_EQ(s.picture.printGrid.at(x, y)[1], x);
            ASSERT_EQ(s.picture.printGrid.at(x, y)[4], 200);
        }
}

TEST_F(SeparationTest, ZoomScalesThePlacedSizeAndOversizeIsHandled) {
    picture(300, 150, std::vector<Cmyka>(300 * 150, Cmyka{0, 0, 0, 0, 255}));
    s.layout.zoom = 2.0f;
    orientImage(s.picture, s.layout, s.page, feedback(s));
    EXPECT_FLOAT_EQ(s.layout.placedWidthPt, 144.0f);
    EXPECT_FLOAT_EQ(s.layout.placedHeightPt, 72.0f);
    // Larger than the printable area: shrunk to fit it.
    s.page.printableWidthPt = 100;
    s.page.printableHeightPt = 100;
    orientImage(s.picture, s.layout, s.page, feedback(s));
    EXPECT_LE(s.layout.placedWidthPt, 100.0f + 0.01f);
    EXPECT_NEAR(s.layout.placedWidthPt / s.layout.placedHeightPt, 2.0f, 0.01f);
}

TEST_F(SeparationTest, ContrastAndBrightness) {
    // C' = 100, M' = Y' = 0 with identity curves: 0.98 x 100 = 98, complement 157; the zero
    // channels have complement 255.
    struct Case {
        int contrast, brightness;
        int c, m; // expected planes (M = Y)
    } cases[] = {
        {0, 0, 98, 0},
        // F = 259 x 305 / (255 x 209) = 1.48222; 1.48222 x 29 + 128 = 170.98 -> 171 -> 84;
        // 255 stays 255 (limited)
        {50, 0, 84, 0},
        // F = 259 x 205 / (255 x 309) = 0.67384: 157 -> 147.54 -> 148 -> 107;
        // 255 -> 213.58 -> 214 -> 41; under-colour removal 0.2 x 41 = 8.2 -> 8
        {-50, 0, 99, 33},
        // b = 100 / 4 = 25: 157 + 25 = 182 -> 73; 255 + 25 limited to 255
        {0, 100, 73, 0},
        // b = -25: 132 -> 123; 230 -> 25; removal 0.2 x 25 = 5
        {0, -100, 118, 20},
        // b = 6 / 4 = 1.5 -> 2 (half to even); 2 / 4 = 0.5 -> 0; 10 / 4 = 2.5 -> 2
        {0, 6, 96, 0},
        {0, 2, 98, 0},
        {0, 10, 96, 0},
        // contrast first, then brightness: 171 + 25 = 196 -> 59
        {50, 100, 59, 0},
    };
    for (const Case& c : cases) {
        s.layout.contrast = c.contrast;
        s.layout.brightness = c.brightness;
        const auto out = printOne({100, 0, 0, 0, 255});
        EXPECT_EQ(out[0], c.c) << "contrast " << c.contrast << " brightness " << c.brightness;
        EXPECT_EQ(out[1], c.m) << "contrast " << c.contrast << " brightness " << c.brightness;
        EXPECT_EQ(out[2], c.m);
        EXPECT_EQ(out[3], 0);
    }
    // With no colour at all neither step applies (the complements would otherwise move).
    s.layout.contrast = -80;
    s.layout.brightness = -100;
    EXPECT_EQ(printOne({0, 0, 0, 0, 255}), (std::array<int, 5>{0, 0, 0, 0, 0}));
}

TEST_F(SeparationTest, ToneCurvesApplyBeforeScaling) {
    for (int v = 0; v < 256; ++v)
        s.colour.toneCurves.table[0][v] = static_cast<std::uint16_t>(0x300 + 255 - v);
    // Low byte only: C' = 55 -> 200 -> 0.98 x 200 = 196.
    EXPECT_EQ(printOne({55, 0, 0, 0, 255})[0], 196);
}

TEST_F(SeparationTest, RasterLayoutAndFifthPlane) {
    const int w = 4, h = 3;
    std::vector<Cmyka> px;
    for (int i = 0; i < w * h; ++i)
        px.push_back({static_cast<std::uint8_t>(20 * i), 0, 0, static_cast<std::uint8_t>(i), 255});
    picture(w, h, px);
    orientImage(s.picture, s.layout, s.page, feedback(s));
    ts.ui.clear();
    const SeparationData d = separated(s);
    ASSERT_EQ(d.size(), static_cast<std::size_t>(w * h * 5));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto p = planes(d, w, x, y);
            EXPECT_EQ(p[4], 0);
            EXPECT_EQ(p[3], std::lround(std::nearbyint(0.98f * (y * w + x))));
        }
    std::vector<int> progress;
    for (const auto& c : ts.ui.calls)
        if (c.kind == "progress") progress.push_back(c.value);
    EXPECT_EQ(progress, (std::vector<int>{33, 67, 100}));
}

TEST_F(SeparationTest, PatternMaskKnocksCellsOut) {
    picture(3, 1, std::vector<Cmyka>(3, Cmyka{0, 0, 0, 255, 255}));
    orientImage(s.picture, s.layout, s.page, feedback(s));
    s.picture.patternMask = {0, 1, 0};
    s.layout.patternPrintChecked = true;
    SeparationData d = separated(s);
    EXPECT_EQ(planes(d, 3, 0, 0)[3], 250);
    EXPECT_EQ(planes(d, 3, 1, 0), (std::array<int, 5>{0, 0, 0, 0, 0}));
    EXPECT_EQ(planes(d, 3, 2, 0)[3], 250);
    // Off: the mask is not used.
    s.layout.patternPrintChecked = false;
    d = separated(s);
    EXPECT_EQ(planes(d, 3, 1, 0)[3], 250);
    // A mask shorter than the grid knocks out only the cells it has.
    s.layout.patternPrintChecked = true;
    s.picture.patternMask = {1};
    d = separated(s);
    EXPECT_EQ(planes(d, 3, 0, 0)[3], 0);
    EXPECT_EQ(planes(d, 3, 2, 0)[3], 250);
}

TEST_F(SeparationTest, FoilVariantPrintsAFlatFill) {
    testsupport::setMedium(s, "Transfer media 16");
    struct Case {
        Cmyka px;
        const char* title;
        bool prints;
        int storedAlpha;
    } cases[] = {
        {{2, 0, 0, 0, 1}, "Lumivane Basic - a.png", true, 255},    // C'+M'+Y' = 2 > 1
        {{1, 0, 0, 0, 255}, "Lumivane Basic - a.png", false, 255}, // 1 is not above 1
        {{2, 0, 0, 0, 0}, "Lumivane Basic - a.png", false, 0},
        {{20, 0, 0, 0, 255}, "Lumivane Basic - a.jpg", false, 255}, // limit 25 for .jpg
        {{26, 0, 0, 0, 255}, "Lumivane Basic - a.jpg", true, 255},
        {{0, 0, 0, 200, 255}, "", true, 255}, // black folded in counts
    };
    for (const Case& c : cases) {
        s.window.windowTitle = c.title;
        const auto out = printOne(c.px);
        EXPECT_EQ(out, c.prints ? (std::array<int, 5>{200, 200, 200, 0, 0})
                                : (std::array<int, 5>{0, 0, 0, 0, 0}))
            << c.title << " " << int(c.px[0]);
        EXPECT_EQ(s.picture.printGrid.at(1, 1)[4], c.storedAlpha);
    }
    // The pattern mask knocks the fill out as well.
    s.window.windowTitle = "";
    onePixel({0, 0, 0, 200, 255});
    orientImage(s.picture, s.layout, s.page, feedback(s));
    s.layout.patternPrintChecked = true;
    s.picture.patternMask = {1};
    EXPECT_EQ(planes(separated(s), 1, 0, 0), (std::array<int, 5>{0, 0, 0, 0, 0}));
}

TEST_F(SeparationTest, NoPictureIsRefused) {
    SeparationData d = "stale";
    EXPECT_FALSE(separateForPrint(separationInputs(s), d, feedback(s)));
    EXPECT_TRUE(d.empty());
    // Grids that do not match the grid size are refused too.
    onePixel({0, 0, 0, 0, 255});
    orientImage(s.picture, s.layout, s.page, feedback(s));
    s.picture.gridWidth = 5;
    EXPECT_FALSE(separateForPrint(separationInputs(s), d, feedback(s)));
}

} // namespace
