#include "image/placement.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/texts.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using testsupport::TestState;

// The margins of the sheet as the stored texts give them (hundredths of a point).
void setMargins(AppState& s, const char* top, const char* left, const char* right,
                const char* bottom) {
    s.page.margins = {settingValue(top) / 100.0, settingValue(left) / 100.0,
                      settingValue(right) / 100.0, settingValue(bottom) / 100.0};
}

// A square 400 x 400 point paper shown 400 x 400 pixels (one pixel a point) with 10 point
// margins, and a picture placed w x h points; the gap of 1 mm is 2 pixels.
void squarePage(AppState& s, float w, float h) {
    s.picture.imageLoaded = 1;
    s.page.paperWidthPt = 400;
    s.page.paperHeightPt = 400;
    s.layout.layoutBoxWidth = s.window.previewBoxWidth = 400;
    s.layout.layoutBoxHeight = s.window.previewBoxHeight = 400;
    s.page.printableWidthPt = 380;
    s.page.printableHeightPt = 380;
    setMargins(s, "1000", "1000", "1000", "1000");
    s.picture.imageWidthPt = w;
    s.picture.imageHeightPt = h;
    s.layout.placedWidthPt = w;
    s.layout.placedHeightPt = h;
    s.picture.gridWidth = 100;
    s.picture.gridHeight = 50;
    s.layout.fixedSpacingMm = 1.0f;
}

TEST(Fit, ToPrintableArea) {
    struct Case {
        const char* what;
        float imageW, imageH, placedW, placedH, printW, printH;
        bool rotate;
        float wantW, wantH;
    };
    const Case cases[] = {
        {"wide picture touches the sides", 1000, 500, 1000, 500, 569, 816, false, 569, 284.5},
        {"tall picture touches top and bottom", 500, 1000, 500, 1000, 569, 816, false, 408, 816},
        {"exact fit keeps its size", 569, 300, 569, 300, 569, 816, false, 569, 300},
        {"tiny drift restores 100 %", 560, 300, 560.004f, 300.002f, 560.002f, 816, false, 560, 300},
        {"tiny drift restores 100 % turned", 300, 560, 560.004f, 300.002f, 560.002f, 816, true, 560,
         300},
        {"small picture is enlarged", 100, 50, 100, 50, 569, 816, false, 569, 284.5},
    };
    for (const Case& c : cases) {
        AppState s;
        s.picture.imageWidthPt = c.imageW;
        s.picture.imageHeightPt = c.imageH;
        s.layout.placedWidthPt = c.placedW;
        s.layout.placedHeightPt = c.placedH;
        s.page.printableWidthPt = c.printW;
        s.page.printableHeightPt = c.printH;
        s.layout.rotateChecked = c.rotate;
        fitToPrintableArea(s.layout, s.page, s.picture);
        EXPECT_NEAR(s.layout.placedWidthPt, c.wantW, 1e-3) << c.what;
        EXPECT_NEAR(s.layout.placedHeightPt, c.wantH, 1e-3) << c.what;
        const float base = c.rotate ? s.layout.placedHeightPt : s.layout.placedWidthPt;
        EXPECT_NEAR(s.layout.zoom, base / c.imageW, 1e-6) << c.what;
    }
}

TEST(Fit, OversizeHandlingOnlyShrinks) {
    AppState s;
    s.picture.imageWidthPt = s.layout.placedWidthPt = 100;
    s.picture.imageHeightPt = s.layout.placedHeightPt = 50;
    s.page.printableWidthPt = 569;
    s.page.printableHeightPt = 816;
    handleOversize(s.layout, s.page, s.picture);
    EXPECT_FLOAT_EQ(s.layout.placedWidthPt, 100);
    EXPECT_FLOAT_EQ(s.layout.placedHeightPt, 50);
    s.layout.placedHeightPt = 900; // taller than the area
    s.layout.placedWidthPt = 450;
    handleOversize(s.layout, s.page, s.picture);
    EXPECT_NEAR(s.layout.placedHeightPt, 816, 1e-3);
    EXPECT_NEAR(s.layout.placedWidthPt, 408, 1e-3);
}

TEST(Fit, NothingPlacedStaysUntouched) {
    AppState s;
    s.page.printableWidthPt = 569;
    s.page.printableHeightPt = 816;
    fitToPrintableArea(s.layout, s.page, s.picture);
    EXPECT_EQ(s.layout.placedWidthPt, 0.0f);
    EXPECT_EQ(s.layout.placedHeightPt, 0.0f);
}

TEST(Fit, FitToPageResetsCopyCounts) {
    TestState t;
    AppState& s = t.state;
    s.layout.xCopies = 3;
    s.layout.yCopies = 2;
    s.picture.imageWidthPt = s.layout.placedWidthPt = 100;
    s.picture.imageHeightPt = s.layout.placedHeightPt = 50;
    s.page.printableWidthPt = 569;
    s.page.printableHeightPt = 816;
    fitToPage(s.layout, s.page, s.picture);
    EXPECT_EQ(s.layout.xCopies, 1);
    EXPECT_EQ(s.layout.yCopies, 1);
    EXPECT_NEAR(s.layout.placedWidthPt, 569, 1e-3);
    EXPECT_EQ(formatLength(s.record.unit, s.layout.placedWidthPt),
              "200.7"); // 569 points in millimetres
    EXPECT_EQ(formatLength(s.record.unit, s.layout.placedHeightPt), "100.4");
    EXPECT_EQ(formatPicture(s.layout.zoom * 100.0, "#%"), "569%");
}

TEST(TypedSize, KeepsAspectAndZoomFollows) {
    struct Case {
        const char* unit;
        const char* typed;
        bool width;
        float wantW, wantH;
        const char* otherField;
    };
    const Case cases[] = {
        {"M", "100", true, 283.4646f, 141.7323f, "50.0"},
        {"C", "10", true, 283.4646f, 141.7323f, "5.00"},
        {"I", "2", true, 144.0f, 72.0f, "1.000"},
        {"M", "50", false, 283.4646f, 141.7323f, "100.0"},
        {"Q", "100", true, 283.4646f, 141.7323f, "50.0"}, // unknown unit is millimetres
    };
    for (const Case& c : cases) {
        TestState t;
        AppState& s = t.state;
        writeSetting(s.settings, keys::kUnit, c.unit);
        s.record.unit = unitFromSetting(c.unit); // as the unit dialog does
        s.picture.imageWidthPt = s.layout.placedWidthPt = 200;
        s.picture.imageHeightPt = s.layout.placedHeightPt = 100;
        s.page.printableWidthPt = 569;
        s.page.printableHeightPt = 816;
        const double points = parseLength(s.record.unit, c.typed);
        if (c.width)
            EXPECT_TRUE(applyTypedWidth(s.layout, s.page, s.picture, points));
        else
            EXPECT_TRUE(applyTypedHeight(s.layout, s.page, s.picture, points));
        EXPECT_NEAR(s.layout.placedWidthPt, c.wantW, 1e-3) << c.unit << c.typed;
        EXPECT_NEAR(s.layout.placedHeightPt, c.wantH, 1e-3) << c.unit << c.typed;
        EXPECT_NEAR(s.layout.zoom, c.wantW / 200.0f, 1e-5);
        // The other field shows the other side in the unit.
        EXPECT_EQ(
            formatLength(s.record.unit, c.width ? s.layout.placedHeightPt : s.layout.placedWidthPt),
            c.otherField)
            << c.unit << c.typed;
    }
}

TEST(TypedSize, ZeroOrNoNumberOnlyRewritesTheFields) {
    for (const char* typed : {"0", "", "abc", "-20"}) {
        TestState t;
        AppState& s = t.state;
        writeSetting(s.settings, keys::kUnit, "M");
        s.picture.imageWidthPt = s.layout.placedWidthPt = 200;
        s.picture.imageHeightPt = s.layout.placedHeightPt = 100;
        EXPECT_FALSE(
            applyTypedWidth(s.layout, s.page, s.picture, parseLength(s.record.unit, typed)));
        EXPECT_FLOAT_EQ(s.layout.placedWidthPt, 200) << typed;
        EXPECT_FLOAT_EQ(s.layout.placedHeightPt, 100) << typed;
        // The fields show the placed size again.
        EXPECT_EQ(formatLength(s.record.unit, s.layout.placedWidthPt), "70.6") << typed;
        EXPECT_EQ(formatLength(s.record.unit, s.layout.placedHeightPt), "35.3") << typed;
    }
}

TEST(TypedSize, TooLargeIsFittedAndNothingPlacedIsIgnored) {
    TestState t;
    AppState& s = t.state;
    writeSetting(s.settings, keys::kUnit, "M");
    s.picture.imageWidthPt = s.layout.placedWidthPt = 200;
    s.picture.imageHeightPt = s.layout.placedHeightPt = 100;
    s.page.printableWidthPt = 569;
    s.page.printableHeightPt = 816;
    EXPECT_TRUE(applyTypedWidth(s.layout, s.page, s.picture, parseLength(s.record.unit, "1000")));
    EXPECT_NEAR(s.layout.placedWidthPt, 569, 1e-3);
    EXPECT_NEAR(s.layout.placedHeightPt, 284.5, 1e-3);

    AppState empty;
    EXPECT_FALSE(applyTypedWidth(empty.layout, empty.page, empty.picture, 100 * 72 / 25.4));
    EXPECT_EQ(empty.layout.placedWidthPt, 0.0f);
}

TEST(Layout, AutomaticTileCounts) {
    struct Case {
        float w; // preview pixels = points on the square page
        int across;
    };
    // Available 380 pixels, gap 2: 4 x 90 + 3 x 2 = 366 < 380, five would need 458.
    const Case cases[] = {{90, 4},  {95, 3},  {126, 2}, {188, 2}, {189, 1},
                          {190, 1}, {380, 1}, {500, 1}, {1, 127}};
    for (const Case& c : cases) {
        TestState t;
        AppState& s = t.state;
        squarePage(s, c.w, 90);
        s.layout.autoTileChecked = true;
        PreviewLayout l = layoutCopies(s.layout, s.page, s.picture);
        ASSERT_TRUE(l.valid) << c.w;
        EXPECT_EQ(l.gap, 2);
        EXPECT_EQ(l.frame.left, 10);
        EXPECT_EQ(s.layout.across, c.across) << c.w;
        EXPECT_EQ(s.layout.down, 4) << c.w;
        EXPECT_EQ(std::to_string(s.layout.xCopies), std::to_string(c.across));
        EXPECT_EQ(std::to_string(s.layout.yCopies), "4");
        EXPECT_EQ(std::to_string(s.layout.xCopies * s.layout.yCopies),
                  std::to_string(4 * c.across));
    }
}

TEST(Layout, SingleCopyAlignment) {
    struct Case {
        CopyAlignment alignment;
        bool fixed;
        int x, y;
    };
    // Picture 100 x 50 on 380 x 380 available: free 280 x 330.
    const Case cases[] = {
        {CopyAlignment::Centre, false, 150, 175},  {CopyAlignment::Centre, true, 150, 175},
        {CopyAlignment::TopLeft, false, 10, 10},   {CopyAlignment::TopCentre, false, 150, 10},
        {CopyAlignment::TopRight, false, 290, 10},
    };
    for (const Case& c : cases) {
        TestState t;
        AppState& s = t.state;
        squarePage(s, 100, 50);
        s.layout.alignment = c.alignment;
        s.layout.fixedSpacingChecked = c.fixed;
        PreviewLayout l = layoutCopies(s.layout, s.page, s.picture);
        ASSERT_TRUE(l.valid);
        EXPECT_EQ(l.x, c.x);
        EXPECT_EQ(l.y, c.y);
        EXPECT_EQ(s.layout.imagePosX, c.x);
        EXPECT_EQ(s.layout.imagePosY, c.y);
        EXPECT_EQ(s.layout.copySpacingX, c.fixed ? 2 : 0);
        EXPECT_TRUE(alignmentButtonsEnabled(s.layout));
    }
    // Top-right: the right edge sits on the right margin line.
    TestState t;
    squarePage(t.state, 100, 50);
    t.state.layout.alignment = CopyAlignment::TopRight;
    PreviewLayout l = layoutCopies(t.state.layout, t.state.page, t.state.picture);
    EXPECT_EQ(l.x + l.pictureWidth, l.frame.paperWidth - l.frame.right);
    EXPECT_EQ(l.y, l.frame.top);
}

TEST(Layout, ThreeAcrossSplitsTheFreeWidth) {
    struct Case {
        bool fixed;
        int x, gapX;
        std::array<int, 3> lefts;
    };
    // Free width 380 - 300 - 2 x 2 = 76; FIX(76 / 4) = 19.
    const Case cases[] = {
        {false, 29, 21, {29, 150, 271}},
        {true, 48, 2, {48, 150, 252}},
    };
    for (const Case& c : cases) {
        for (CopyAlignment a : {CopyAlignment::Centre, CopyAlignment::TopRight}) {
            TestState t;
            AppState& s = t.state;
            squarePage(s, 100, 50);
            s.layout.xCopies = 3;
            s.layout.yCopies = 1;
            s.layout.fixedSpacingChecked = c.fixed;
            s.layout.alignment = a; // has no effect with more than one copy
            PreviewLayout l = layoutCopies(s.layout, s.page, s.picture);
            ASSERT_TRUE(l.valid);
            EXPECT_EQ(l.across, 3);
            EXPECT_EQ(l.x, c.x);
            EXPECT_EQ(l.gapX, c.gapX);
            for (int i = 1; i <= 3; ++i)
                EXPECT_EQ(copyPosition(l, i, 1)[0], c.lefts[i - 1]);
            const int rightFree = 390 - (c.lefts[2] + 100);
            EXPECT_EQ(rightFree, c.fixed ? 38 : 19);
            EXPECT_EQ(s.layout.copySpacingX, c.gapX);
            EXPECT_EQ(s.layout.imagePosX, c.x);
            EXPECT_FALSE(alignmentButtonsEnabled(s.layout));
        }
    }
}

TEST(Layout, CopyFieldsZeroOrEmptyCountAsOne) {
    struct Case {
        const char* x;
        const char* y;
        const char* wantX;
        const char* wantY;
        const char* total;
    };
    const Case cases[] = {{"0", "", "1", "1", "1"},     {"", "0", "1", "1", "1"},
                          {"2", "3", "2", "3", "6"},    {"abc", "-4", "1", "1", "1"},
                          {" 2", "2.9", "2", "2", "4"}, {"99999999", "1", "10000", "1", "10000"}};
    for (const Case& c : cases) {
        TestState t;
        AppState& s = t.state;
        squarePage(s, 50, 50);
        // As the copy fields are read: the window's Enter in them.
        ASSERT_EQ(setCopyCounts(s, c.x, c.y), ActionResult::Done);
        EXPECT_EQ(std::to_string(s.layout.xCopies), c.wantX) << c.x;
        EXPECT_EQ(std::to_string(s.layout.yCopies), c.wantY) << c.y;
        EXPECT_EQ(std::to_string(s.layout.xCopies * s.layout.yCopies), c.total);
    }
}

TEST(Layout, A4InTheDefaultBox) {
    TestState t;
    AppState& s = t.state;
    s.picture.imageLoaded = 1;
    setMargins(s, "1296", "1296", "1296", "1307");
    s.picture.imageWidthPt = s.layout.placedWidthPt = 200;
    s.picture.imageHeightPt = s.layout.placedHeightPt = 100;
    s.picture.gridWidth = 600;
    PreviewLayout l = layoutCopies(s.layout, s.page, s.picture);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.frame.paperWidth, 298);
    EXPECT_EQ(l.frame.paperHeight, 421);
    EXPECT_EQ(l.frame.left, 6);
    EXPECT_EQ(l.frame.right, 6);
    EXPECT_EQ(l.frame.top, 6);
    EXPECT_EQ(l.frame.bottom, 6); // 421 x 13 / 842 = 6.5, half to even
    EXPECT_EQ(l.gap, 1);
    EXPECT_EQ(l.pictureWidth, 100);
    EXPECT_EQ(l.pictureHeight, 50);
    EXPECT_EQ(l.x, 99);
    EXPECT_EQ(l.y, 185);
    EXPECT_EQ(s.layout.imagePosX, 198); // 595 x 99 / 298 = 197.67
    EXPECT_EQ(s.layout.imagePosY, 370);
    EXPECT_EQ(s.layout.copySpacingX, 0);
}

TEST(Layout, WideBoxFitsThePaperByHeight) {
    AppState s;
    s.layout.layoutBoxWidth = s.window.previewBoxWidth = 500;
    s.layout.layoutBoxHeight = s.window.previewBoxHeight = 421;
    PreviewFrame f = previewFrame(s.page, s.layout);
    ASSERT_TRUE(f.valid);
    EXPECT_EQ(f.paperWidth, 297);
    EXPECT_EQ(f.paperHeight, 421);
}

TEST(Layout, NothingWithoutAPicture) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    s.picture.imageLoaded = 0;
    s.layout.xCopies = 5;
    s.layout.across = 7;
    EXPECT_FALSE(layoutCopies(s.layout, s.page, s.picture).valid);
    EXPECT_EQ(s.layout.xCopies, 5);
    EXPECT_EQ(s.layout.across, 7);

    squarePage(s, 0.5f, 50); // under one preview pixel wide
    s.layout.xCopies = 5;
    EXPECT_FALSE(layoutCopies(s.layout, s.page, s.picture).valid);
    EXPECT_EQ(s.layout.xCopies, 5);
    EXPECT_EQ(s.layout.across, 7);

    s.layout.placedWidthPt = 100;
    s.page.paperWidthPt = 0; // a paper without size places nothing
    EXPECT_FALSE(layoutCopies(s.layout, s.page, s.picture).valid);
}

TEST(Layout, EffectiveResolution) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 600, 300);
    s.picture.gridWidth = 600;
    layoutCopies(s.layout, s.page, s.picture);
    EXPECT_NEAR(effectiveResolution(s.layout, s.picture), 72.0, 1e-9);
    EXPECT_EQ(formatPicture(effectiveResolution(s.layout, s.picture), "#.##"), "72.00");
    EXPECT_FALSE(resolutionIsLow(s.layout, s.picture));
    s.layout.placedWidthPt = 1000;
    s.layout.placedHeightPt = 500;
    layoutCopies(s.layout, s.page, s.picture);
    EXPECT_NEAR(effectiveResolution(s.layout, s.picture), 43.2, 1e-6);
    EXPECT_TRUE(resolutionIsLow(s.layout, s.picture));
    EXPECT_EQ(formatPicture(s.layout.zoom * 100.0, "#%"), "167%");
}

TEST(Layout, ZoomFromThePlacedSize) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    s.picture.imageWidthPt = 200;
    layoutCopies(s.layout, s.page, s.picture);
    EXPECT_FLOAT_EQ(s.layout.zoom, 0.5f);
    EXPECT_EQ(formatPicture(s.layout.zoom * 100.0, "#%"), "50%");
    s.layout.rotateChecked = true; // the 100 % width lies along the placed height
    s.picture.imageWidthPt = 25;
    layoutCopies(s.layout, s.page, s.picture);
    EXPECT_FLOAT_EQ(s.layout.zoom, 2.0f);
}

// ---- rendering

std::array<int, 3> pixel(const std::vector<std::uint8_t>& bgra, int width, int x, int y) {
    const std::uint8_t* p = bgra.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    return {p[2], p[1], p[0]};
}

using Rgb = std::array<int, 3>;
const Rgb kWhite = {255, 255, 255};
const Rgb kBlack = {0, 0, 0};
const Rgb kBlue = {0, 0, 255};

void identityCurves(AppState& s) {
    for (auto& table : s.colour.toneCurves.table)
        for (int i = 0; i < 256; ++i)
            table[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i);
}

// A 4 x 2 picture: full ink on the left half, transparent right half.
void inkedGrid(AppState& s, int ink) {
    s.picture.previewGrid.width = 4;
    s.picture.previewGrid.height = 2;
    s.picture.previewGrid.cellBytes = 4;
    s.picture.previewGrid.cells.assign(4 * 2 * 4, 0);
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 4; ++x) {
            std::uint8_t* c = s.picture.previewGrid.at(x, y);
            c[0] = c[1] = c[2] = static_cast<std::uint8_t>(ink);
            c[3] = x <= 2 ? 255 : 0;
        }
    s.picture.gridWidth = 4;
    s.picture.gridHeight = 2;
    identityCurves(s);
}

TEST(Preview, PaperMarginsAndCopy) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    s.window.previewBoxHeight = 450; // 50 pixel rows below the paper
    inkedGrid(s, 255);
    layoutCopies(s.layout, s.page, s.picture);
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    ASSERT_EQ(img.size(), 400u * 450u * 4u);
    EXPECT_TRUE(t.ui.messages().empty()); // drawn through the preview transform
    // The copy is centred at (150, 175) .. (250, 225).
    EXPECT_EQ(s.layout.imagePosX, 150);
    EXPECT_EQ(pixel(img, 400, 0, 0), kBlack);     // paper outline
    EXPECT_EQ(pixel(img, 400, 399, 200), kBlack); // its right edge
    EXPECT_EQ(pixel(img, 400, 10, 200), kBlue);   // left margin line
    EXPECT_EQ(pixel(img, 400, 389, 200), kBlue);  // right margin line
    EXPECT_EQ(pixel(img, 400, 200, 10), kBlue);   // top margin line
    EXPECT_EQ(pixel(img, 400, 200, 389), kBlue);  // bottom margin line
    EXPECT_EQ(pixel(img, 400, 300, 300), kWhite); // paper in background 13
    EXPECT_EQ(pixel(img, 400, 149, 200), kWhite); // just left of the copy
    const Rgb inked = pixel(img, 400, 170, 200);  // left (inked) half of the copy
    EXPECT_LT(inked[0] + inked[1] + inked[2], 3 * 80);
    EXPECT_EQ(pixel(img, 400, 150, 175), inked);  // its first pixel
    EXPECT_EQ(pixel(img, 400, 230, 200), kWhite); // transparent half shows the paper
    const Rgb around = pixel(img, 400, 200, 430); // below the paper
    EXPECT_NE(around, kWhite);
    EXPECT_NE(around, inked);
}

TEST(Preview, BackgroundColourAndGuardSquares) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    inkedGrid(s, 255);
    s.layout.previewBackground = 10;
    s.layout.guardAreaChecked = true;
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    EXPECT_EQ(pixel(img, 400, 300, 250), (Rgb{210, 180, 140}));
    // Squares of 72 pixels at the corners of the printable area (10..390).
    const Rgb topLeft = pixel(img, 400, 11, 11);
    const Rgb topRight = pixel(img, 400, 388, 11);
    const Rgb bottomLeft = pixel(img, 400, 11, 387);
    const Rgb bottomRight = pixel(img, 400, 388, 387);
    EXPECT_EQ(topLeft, bottomRight);
    EXPECT_EQ(topRight, bottomLeft);
    EXPECT_NE(topLeft, topRight);
    EXPECT_NE(topLeft, (Rgb{210, 180, 140}));
    EXPECT_NE(topRight, (Rgb{210, 180, 140}));
    EXPECT_EQ(pixel(img, 400, 81, 81), topLeft);
    EXPECT_EQ(pixel(img, 400, 82, 40), (Rgb{210, 180, 140})); // 72 wide: 10..81
    EXPECT_EQ(pixel(img, 400, 11, 388), bottomLeft);          // one row above the margin line
    EXPECT_EQ(pixel(img, 400, 11, 389), kBlue);
    EXPECT_EQ(pixel(img, 400, 11, 316), (Rgb{210, 180, 140}));
    EXPECT_EQ(pixel(img, 400, 11, 317), bottomLeft);
}

TEST(Preview, CopiesAtTheirLayoutPositions) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    inkedGrid(s, 255);
    s.layout.xCopies = 3;
    s.layout.yCopies = 2;
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    PreviewLayout l = layoutCopies(s.layout, s.page, s.picture);
    ASSERT_EQ(l.across, 3);
    ASSERT_EQ(l.down, 2);
    for (int j = 1; j <= 2; ++j)
        for (int i = 1; i <= 3; ++i) {
            auto [x, y] = copyPosition(l, i, j);
            const Rgb p = pixel(img, 400, x + 5, y + 5);
            EXPECT_LT(p[0] + p[1] + p[2], 3 * 80) << i << ',' << j;
            EXPECT_EQ(pixel(img, 400, x - 1, y + 5), kWhite) << i << ',' << j;
            EXPECT_EQ(pixel(img, 400, x + 5, y - 1), kWhite) << i << ',' << j;
        }
}

TEST(Preview, InkThresholdClearsNearlyWhiteCells) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    inkedGrid(s, 20); // ink sum 60, below the "Transfer media 13" threshold
    testsupport::setMedium(s, "Transfer media 13");
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    EXPECT_EQ(pixel(img, 400, 170, 200), kWhite);
    // Drawing leaves the grid as it is: the same picture comes out every time.
    EXPECT_EQ(s.picture.previewGrid.at(1, 1)[3], 255);
    EXPECT_EQ(
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight),
        img);
    testsupport::setMedium(s, "Transfer media 02");
    EXPECT_NE(pixel(renderPagePreview(previewScene(s), s.window.previewBoxWidth,
                                      s.window.previewBoxHeight),
                    400, 170, 200),
              kWhite);

    TestState u;
    squarePage(u.state, 100, 50);
    inkedGrid(u.state, 20);
    img = renderPagePreview(previewScene(u.state), u.state.window.previewBoxWidth,
                            u.state.window.previewBoxHeight);
    EXPECT_NE(pixel(img, 400, 170, 200), kWhite);
    EXPECT_EQ(u.state.picture.previewGrid.at(1, 1)[3], 255);
}

TEST(Preview, FoilMediumShowsAFlatTint) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    inkedGrid(s, 255);
    s.picture.previewGrid.at(1, 1)[0] = s.picture.previewGrid.at(1, 1)[1] =
        s.picture.previewGrid.at(1, 1)[2] = 100;
    testsupport::setMedium(s, "Transfer media 16");
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    const Rgb tint = pixel(img, 400, 152, 177);
    EXPECT_NE(tint, kWhite);
    EXPECT_EQ(pixel(img, 400, 185, 210), tint); // another inked cell: same flat colour
    EXPECT_EQ(pixel(img, 400, 230, 200), kWhite);
}

TEST(Preview, PatternMaskKnocksOut) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    inkedGrid(s, 255);
    s.layout.patternPrintChecked = true;
    s.picture.patternMask.assign(8, 0);
    s.picture.patternMask[0] = 1; // cell (1, 1)
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    EXPECT_EQ(pixel(img, 400, 155, 180), kWhite);
    EXPECT_NE(pixel(img, 400, 185, 210), kWhite);
}

TEST(Preview, BrightnessLightensTheCopy) {
    auto sumAt = [](int brightness) {
        TestState t;
        AppState& s = t.state;
        squarePage(s, 100, 50);
        inkedGrid(s, 128);
        s.layout.brightness = brightness;
        std::vector<std::uint8_t> img =
            renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
        const Rgb p = pixel(img, 400, 170, 200);
        return p[0] + p[1] + p[2];
    };
    EXPECT_LT(sumAt(-100), sumAt(0));
    EXPECT_LT(sumAt(0), sumAt(100));
}

TEST(Preview, WithoutPictureShowsThePage) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    s.picture.imageLoaded = 0;
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    ASSERT_EQ(img.size(), 400u * 400u * 4u);
    EXPECT_EQ(pixel(img, 400, 0, 0), kBlack);
    EXPECT_EQ(pixel(img, 400, 10, 200), kBlue);
    EXPECT_EQ(pixel(img, 400, 200, 200), kWhite);
    s.window.previewBoxWidth = 0;
    EXPECT_TRUE(
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight)
            .empty());
}

TEST(Preview, ManyOverlappingCopiesStillRender) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 90, 90);
    inkedGrid(s, 255);
    s.layout.xCopies = copyCountFromText("99999");
    s.layout.yCopies = copyCountFromText("99999");
    layoutCopies(s.layout, s.page, s.picture);
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    EXPECT_EQ(img.size(), 400u * 400u * 4u);
    EXPECT_EQ(std::to_string(s.layout.xCopies), "10000");
}

TEST(Preview, SavedAsPng) {
    TestState t;
    AppState& s = t.state;
    squarePage(s, 100, 50);
    inkedGrid(s, 255);
    const std::string path = t.dir.file("preview.png");
    ASSERT_TRUE(writePagePreviewPng(previewScene(s), s.window.previewBoxWidth,
                                    s.window.previewBoxHeight, path));
    QImage back(QString::fromStdString(path));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.width(), 400);
    EXPECT_EQ(back.height(), 400);
    std::vector<std::uint8_t> img =
        renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight);
    for (auto [x, y] : {std::array<int, 2>{0, 0}, {10, 200}, {170, 200}, {300, 300}}) {
        const QRgb p = back.pixel(x, y);
        EXPECT_EQ((Rgb{qRed(p), qGreen(p), qBlue(p)}), pixel(img, 400, x, y)) << x << ',' << y;
    }
    EXPECT_FALSE(savePreviewPng(img, 400, 400, t.dir.file("missing/folder/x.png")));
    EXPECT_FALSE(savePreviewPng(img, 401, 400, path)); // buffer too small
}

TEST(Preview, BackgroundTable) {
    EXPECT_EQ(previewBackgroundColour(1), (std::array<std::uint8_t, 3>{205, 92, 92}));
    EXPECT_EQ(previewBackgroundColour(12), (std::array<std::uint8_t, 3>{147, 7, 219}));
    EXPECT_EQ(previewBackgroundColour(16), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(previewBackgroundColour(0), (std::array<std::uint8_t, 3>{255, 255, 255}));
    EXPECT_EQ(previewBackgroundColour(17), (std::array<std::uint8_t, 3>{255, 255, 255}));
}

} // namespace
