// Tiling of the separated raster into the copies grid.
#include "job/job.h"
#include "actions/messages.h"
#include "core/texts.h"
#include "tests/job/job_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace jobtest;
using testsupport::TestState;

namespace {

struct Tiled {
    bool ok;
    int cols, rows;
    float sx, sy;
    std::string raster;
};

Tiled tile(AppState& s, int nx, int ny) {
    Tiled t{};
    t.raster = syntheticRaster(s.picture.gridWidth, s.picture.gridHeight);
    t.ok = tileRaster(jobInputs(s), nx, ny, t.cols, t.rows, t.sx, t.sy, t.raster, feedback(s)) ==
           JobProblem::None;
    return t;
}

// Checks that every copy sits at its offsets and everything else is zero.
void expectLayout(const AppState& s, const Tiled& t, int nx, int ny, int gxp, int gyp) {
    const int w = s.picture.gridWidth, h = s.picture.gridHeight;
    ASSERT_EQ(t.raster.size(), static_cast<std::size_t>(t.cols) * t.rows * 5);
    std::vector<bool> covered(t.raster.size(), false);
    for (int j = 0; j < ny; ++j)
        for (int k = 0; k < nx; ++k)
            for (int y = 0; y < h; ++y)
                for (int p = 1; p <= 5; ++p)
                    for (int x = 0; x < w; ++x) {
                        const std::size_t at =
                            (static_cast<std::size_t>(j * (h + gyp) + y) * 5 + (p - 1)) * t.cols +
                            static_cast<std::size_t>(k * (w + gxp) + x);
                        ASSERT_EQ(static_cast<unsigned char>(t.raster[at]), sample(p, x, y))
                            << "copy " << k << "," << j << " pixel " << x << "," << y << " plane "
                            << p;
                        covered[at] = true;
                    }
    for (std::size_t i = 0; i < t.raster.size(); ++i) {
        if (covered[i]) continue;
        ASSERT_EQ(t.raster[i], '\0') << "byte " << i;
    }
}

} // namespace

TEST(TileRaster, SingleCopyKeepsTheImageTopLeftWithBlankMargins) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 7, 5);
    const Tiled t = tile(s, 1, 1);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.cols, 9);
    EXPECT_EQ(t.rows, 7);
    EXPECT_FLOAT_EQ(t.sx, 84);
    EXPECT_FLOAT_EQ(t.sy, 60);
    expectLayout(s, t, 1, 1, 0, 0);
}

TEST(TileRaster, CopiesAcrossStartAtTheirOffsets) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 6, 4);
    s.layout.copySpacingX = 120; // 10 pixels of 12 points
    const Tiled t = tile(s, 3, 1);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.cols, 3 * 6 + 2 * 10 + 2);
    EXPECT_FLOAT_EQ(t.sx, 3 * 72 + 2 * 120);
    expectLayout(s, t, 3, 1, 10, 0);
}

TEST(TileRaster, GridWithGapsDown) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[1], 5, 3);
    s.layout.copySpacingX = 24;
    s.layout.copySpacingY = 36;
    const Tiled t = tile(s, 2, 3);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.cols, 2 * 5 + 2 + 2);
    EXPECT_EQ(t.rows, 3 * 3 + 2 + 3 * 2);
    EXPECT_FLOAT_EQ(t.sy, 3 * 36 + 2 * 36);
    expectLayout(s, t, 2, 3, 2, 3);
}

TEST(TileRaster, FixedSpacingInMillimetres) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[1], 5, 3);
    s.layout.fixedSpacingChecked = true;
    s.layout.fixedSpacingMm = 10; // 28.35 points = FIX(5 x 28.35 / 60) = 2 pixels across
    s.layout.copySpacingX = 500;  // ignored for the pixel gap, still part of the printed size
    const Tiled t = tile(s, 2, 2);
    ASSERT_TRUE(t.ok);
    const int gxp = static_cast<int>(5 * 2.835 * 10 / 60.0);
    const int gyp = static_cast<int>(3 * 2.835 * 10 / 36.0);
    EXPECT_EQ(t.cols, 2 * 5 + 2 + gxp);
    EXPECT_EQ(t.rows, 2 * 3 + 2 + gyp);
    EXPECT_FLOAT_EQ(t.sx, 2 * 60 + 500);
    expectLayout(s, t, 2, 2, gxp, gyp);
}

TEST(TileRaster, WideGridNarrowsTheSpacing) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 10, 4);
    s.layout.placedWidthPt = 100; // 10 points a pixel
    s.layout.placedHeightPt = 40;
    s.layout.copySpacingX = 60;
    s.page.printableWidthPt = 500;
    // Sx = 4 x 100 + 3 x 60 = 580: 80 too wide, spread over 3 gaps, minus one point.
    const Tiled t = tile(s, 4, 1);
    ASSERT_TRUE(t.ok);
    const double gx = std::nearbyint(std::fabs((500.0 - 580.0) / 3 + 60 - 1));
    EXPECT_EQ(gx, 32);
    EXPECT_FLOAT_EQ(t.sx, static_cast<float>(4 * 100 + 3 * gx));
    expectLayout(s, t, 4, 1, 3, 0);

    // Never below two pixels across.
    s.page.printableWidthPt = 405;
    const Tiled narrow = tile(s, 4, 1);
    ASSERT_TRUE(narrow.ok);
    expectLayout(s, narrow, 4, 1, 2, 0);
}

TEST(TileRaster, TallGridNarrowsTheSpacingWithThreePixelsMinimum) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 4, 10);
    s.layout.placedWidthPt = 40;
    s.layout.placedHeightPt = 100;
    s.layout.copySpacingY = 50;
    s.page.printableHeightPt = 300;
    const Tiled t = tile(s, 1, 3);
    ASSERT_TRUE(t.ok);
    const double gy = std::nearbyint(std::fabs((300.0 - 400.0 - 1) / 2 + 50 - 1));
    EXPECT_FLOAT_EQ(t.sy, static_cast<float>(3 * 100 + 2 * gy));
    EXPECT_EQ(gy, 2); // halves to even: 1.5 becomes 2
    expectLayout(s, t, 1, 3, 0, 3);
}

TEST(TileRaster, SingleCopyLargerThanThePrintableAreaIsLeftAlone) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 6, 4);
    s.page.printableWidthPt = 10;
    s.page.printableHeightPt = 10;
    const Tiled t = tile(s, 1, 1);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.cols, 8);
    EXPECT_EQ(t.rows, 6);
    EXPECT_FLOAT_EQ(t.sx, 72);
    EXPECT_FLOAT_EQ(t.sy, 48);
    expectLayout(s, t, 1, 1, 0, 0);
}

TEST(TileRaster, OverTheLimitShowsTheMessage) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 1, 1);
    s.layout.placedWidthPt = 1;
    s.layout.placedHeightPt = 1;
    s.page.printableWidthPt = 1e9f;
    s.page.printableHeightPt = 1e9f;
    const Tiled t = tile(s, 3, 42949671); // 5 x 42949673 x 5 = 2^30 + 1 bytes
    EXPECT_FALSE(t.ok);
    EXPECT_TRUE(t.raster.empty());
    const auto m = jobFailureMessages(s.language, JobProblem::TooLarge);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].icon, MessageIcon::Error);
    EXPECT_EQ(m[0].caption, "Lumivane Basic");
    EXPECT_NE(m[0].text.find("The original image is to big"), std::string::npos);
}

TEST(TileRaster, RasterThatDoesNotMatchTheGridFails) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[0], 6, 4);
    std::string raster(10, '\1');
    int cols = 0, rows = 0;
    float sx = 0, sy = 0;
    const JobProblem problem =
        tileRaster(jobInputs(s), 1, 1, cols, rows, sx, sy, raster, feedback(s));
    EXPECT_EQ(problem, JobProblem::Unplaceable);
    EXPECT_TRUE(raster.empty());
    // Its message: the picture cannot be placed.
    const auto messages = jobFailureMessages(s.language, problem);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, text(s.language, 134));
}

TEST(TileRaster, ProgressFollowsTheCopyRows) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, papers()[1], 3, 2);
    ts.ui.clear();
    ASSERT_TRUE(tile(s, 1, 4).ok);
    std::vector<int> bar;
    for (const auto& c : ts.ui.calls)
        if (c.kind == "progress") bar.push_back(c.value);
    EXPECT_EQ(bar, (std::vector<int>{25, 50, 75, 100}));
}
