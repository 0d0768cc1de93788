#include "image/crop.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using testsupport::TestState;

namespace {

struct CropTest : ::testing::Test {
    TestState ts;
    AppState& s = ts.state;

    // A w x h converted picture at 150 dpi, no ink; each pixel's alpha carries a position tag.
    void blank(int w, int h) {
        s.picture.imagePixelWidth = s.picture.gridWidth = w;
        s.picture.imagePixelHeight = s.picture.gridHeight = h;
        s.picture.imageWidthPt = 72.0f * w / 150.0f;
        s.picture.imageHeightPt = 72.0f * h / 100.0f; // different vertical resolution
        s.picture.imageBuffer.assign(static_cast<std::size_t>(w) * h * 5, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px(x, y)[4] = static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF);
    }
    std::uint8_t* px(int x, int y) {
        return s.picture.imageBuffer.data() +
               (static_cast<std::size_t>(y) * s.picture.imagePixelWidth + x) * 5;
    }
    void ink(int x, int y, int channel = 0, int v = 1) {
        px(x, y)[channel] = static_cast<std::uint8_t>(v);
    }
};

TEST_F(CropTest, CropsToTheInkPlusBorder) {
    blank(100, 80);
    for (int y = 5; y <= 44; ++y) {
        ink(10, y, 0);
        ink(59, y, 3); // black counts as ink
        ink(30, y, 2);
    }
    const ImageBuffer before = s.picture.imageBuffer;
    int w = 100, h = 80;
    ASSERT_TRUE(autoCrop(s.picture, 2, w, h, feedback(s)));
    EXPECT_EQ(w, 53);
    EXPECT_EQ(h, 44);
    EXPECT_EQ(s.picture.imagePixelWidth, 53);
    EXPECT_EQ(s.picture.imagePixelHeight, 44);
    EXPECT_EQ(s.picture.gridWidth, 53);
    EXPECT_EQ(s.picture.gridHeight, 44);
    ASSERT_EQ(s.picture.imageBuffer.size(), 53u * 44u * 5u);
    // Left 8, top 3: every byte comes from the same place of the old picture.
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 53; ++x)
            for (int b = 0; b < 5; ++b)
                ASSERT_EQ(s.picture.imageBuffer[(static_cast<std::size_t>(y) * 53 + x) * 5 + b],
                          before[(static_cast<std::size_t>(y + 3) * 100 + x + 8) * 5 + b])
                    << x << "," << y;
    // The resolution and so the printed size per pixel stay.
    EXPECT_NEAR(53 / (s.picture.imageWidthPt / 72.0f), 150.0f, 0.01f);
    EXPECT_NEAR(44 / (s.picture.imageHeightPt / 72.0f), 100.0f, 0.01f);
    // Progress ends at half way (the rest is the caller's).
    EXPECT_EQ(ts.ui.calls.back().value, 50);
}

TEST_F(CropTest, InkTouchingAllEdgesChangesNothing) {
    blank(20, 10);
    ink(0, 4);
    ink(19, 4);
    ink(5, 0);
    ink(5, 9);
    const auto before = s.picture.imageBuffer;
    int w = 20, h = 10;
    EXPECT_FALSE(autoCrop(s.picture, 2, w, h, feedback(s)));
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(s.picture.imageBuffer, before);
}

TEST_F(CropTest, PictureWithoutInkIsRefused) {
    // Alpha alone is not ink. Also for tiny pictures, where the inverted bounds are positive.
    for (auto [pw, ph] : {std::pair{100, 80}, std::pair{3, 3}, std::pair{1, 1}, std::pair{5, 2}}) {
        blank(pw, ph);
        const auto before = s.picture.imageBuffer;
        const float wPt = s.picture.imageWidthPt;
        int w = pw, h = ph;
        EXPECT_FALSE(autoCrop(s.picture, 2, w, h, feedback(s))) << pw << "x" << ph;
        EXPECT_EQ(w, pw);
        EXPECT_EQ(h, ph);
        EXPECT_EQ(s.picture.imageBuffer, before);
        EXPECT_EQ(s.picture.imageWidthPt, wPt);
    }
}

TEST_F(CropTest, InkAtOneEdgeStaysInsideThePicture) {
    blank(40, 30);
    for (int y = 0; y < 10; ++y)
        ink(0, y);
    ink(3, 5);
    int w = 40, h = 30;
    ASSERT_TRUE(autoCrop(s.picture, 2, w, h, feedback(s)));
    EXPECT_EQ(w, 5);  // columns 0..4: right edge 3 + border 2, width = right - left
    EXPECT_EQ(h, 12); // rows 0..11
    EXPECT_EQ(px(0, 0)[0], 1);
    EXPECT_EQ(px(3, 5)[0], 1);
}

TEST_F(CropTest, InkAloneAtTheStartOfItsRowIsKept) {
    // Rows whose only ink is one pixel further right than any other row's ink.
    blank(60, 40);
    for (int x = 10; x <= 20; ++x)
        ink(x, 10);
    ink(45, 20);
    int w = 60, h = 40;
    ASSERT_TRUE(autoCrop(s.picture, 2, w, h, feedback(s)));
    // left 8; right 45 + 2 = 47; width 39; the lone pixel is at column 45 - 8 = 37.
    EXPECT_EQ(w, 39);
    EXPECT_EQ(px(37, 20 - 8)[0], 1);
}

TEST_F(CropTest, BufferSmallerThanTheSizeIsRefused) {
    blank(10, 10);
    ink(5, 5);
    s.picture.imageBuffer.resize(10);
    int w = 10, h = 10;
    EXPECT_FALSE(autoCrop(s.picture, 2, w, h, feedback(s)));
    EXPECT_EQ(w, 10);
}

} // namespace
