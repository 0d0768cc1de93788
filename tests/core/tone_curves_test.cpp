#include "core/tone_curves.h"

#include "actions/app_state.h"
#include "model/models.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The same curve for cyan, magenta and yellow from four points given as 16 hex digits.
std::string allChannels(const std::string& group) {
    return group + group + group;
}

TEST(ToneCurves, FirstFamilyDefault) {
    AppState s;
    setColourAdjustFromText(s.colour, defaultColourAdjustText(false));
    for (const auto& t : s.colour.toneCurves.table) {
        EXPECT_EQ(t[255], 253);
        EXPECT_EQ(t[0], 0);
        // A gentle curve just under the diagonal, never rising above it, never falling.
        for (int v = 1; v < 256; ++v) {
            EXPECT_GE(t[v], t[v - 1]) << v;
            EXPECT_LE(t[v], v) << v;
            EXPECT_GE(t[v], v - 4) << v;
        }
    }
}

TEST(ToneCurves, SecondFamilyDefaultIsAnSCurve) {
    AppState s;
    setColourAdjustFromText(s.colour, defaultColourAdjustText(true));
    for (const auto& t : s.colour.toneCurves.table) {
        EXPECT_EQ(t[255], 255);
        EXPECT_EQ(t[0], 0);
        for (int v = 1; v < 256; ++v)
            EXPECT_GE(t[v], t[v - 1]) << v;
        // Light inputs are lowered, dark inputs raised.
        EXPECT_LT(t[40], 40 - 10);
        EXPECT_GT(t[200], 200 + 10);
    }
}

TEST(ToneCurves, DiagonalPointsComeCloseToIdentityButRoundingShows) {
    // With every intermediate point rounded the diagonal is not reproduced exactly.
    AppState s;
    setColourAdjustFromText(s.colour, allChannels("FFFFAAAA55550000"));
    int differ = 0;
    for (int v = 0; v < 256; ++v) {
        const int d = std::abs(static_cast<int>(s.colour.toneCurves.table[0][v]) - v);
        EXPECT_LE(d, 2) << v;
        differ += d != 0;
    }
    EXPECT_GT(differ, 100);
    EXPECT_EQ(s.colour.toneCurves.table[0][0], 0);
    EXPECT_EQ(s.colour.toneCurves.table[0][255], 255);
}

TEST(ToneCurves, ConstantOutputFillsEveryEntry) {
    AppState s;
    setColourAdjustFromText(s.colour, allChannels("FF64AA6455640064"));
    for (const auto& t : s.colour.toneCurves.table)
        for (int v = 0; v < 256; ++v)
            EXPECT_EQ(t[v], 100) << v;
}

TEST(ToneCurves, InputsNoSampleReachesTakeTheNextLowerValue) {
    // x runs only from 50 to 100: below 50 nothing is set (entry 0 stays 0 and 1..49 copy
    // it), above 100 every entry copies entry 100.
    AppState s;
    setColourAdjustFromText(s.colour, "6432643232143214"
                                      "FF80FF8000000000"
                                      "6432643232143214");
    for (int ch : {0, 2}) {
        const auto& t = s.colour.toneCurves.table[ch];
        for (int v = 0; v < 50; ++v)
            EXPECT_EQ(t[v], 0) << v;
        EXPECT_EQ(t[50], 20);
        EXPECT_EQ(t[100], 50);
        for (int v = 101; v < 256; ++v)
            EXPECT_EQ(t[v], 50) << v;
        for (int v = 51; v <= 100; ++v)
            EXPECT_GE(t[v], t[v - 1]) << v;
    }
    // The middle channel is independent: its own curve from (0, 0) to (255, 128).
    EXPECT_EQ(s.colour.toneCurves.table[1][255], 128);
    EXPECT_EQ(s.colour.toneCurves.table[1][0], 0);
}

TEST(ToneCurves, ZeroOutputInsideTheRangeIsFilledToo) {
    // An output of 0 counts as unset: this curve leaves input 255 at once (P1 = (0, 255)),
    // so entry 255 keeps the 0 of P0 = (255, 0) and then inherits the value below it.
    AppState s;
    setColourAdjustFromText(s.colour, allChannels("FF0000FF40FF0000"));
    const auto& t = s.colour.toneCurves.table[0];
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[255], t[254]) << "entry 255 got 0 from the curve and takes entry 254";
    EXPECT_GT(t[255], 0);
}

TEST(ColourAdjustText, RoundTripAndParsing) {
    AppState s;
    const std::string hex = "0123456789ABCDEFFEDCBA9876543210A5A5A5A55A5A5A5A";
    setColourAdjustFromText(s.colour, hex);
    EXPECT_EQ(colourAdjustText(s.colour), hex);
    EXPECT_EQ(s.colour.colourAdjust[0], 0x01);
    EXPECT_EQ(s.colour.colourAdjust[7], 0xEF);
    // Lower-case digits read the same.
    setColourAdjustFromText(s.colour, "ff0a");
    EXPECT_EQ(s.colour.colourAdjust[0], 0xFF);
    EXPECT_EQ(s.colour.colourAdjust[1], 0x0A);
    // Missing digits and invalid digits read as 0.
    EXPECT_EQ(s.colour.colourAdjust[2], 0);
    setColourAdjustFromText(s.colour, "G1Z9F");
    EXPECT_EQ(s.colour.colourAdjust[0], 0x01);
    EXPECT_EQ(s.colour.colourAdjust[1], 0x09);
    EXPECT_EQ(s.colour.colourAdjust[2], 0xF0);
    EXPECT_EQ(colourAdjustText(s.colour).size(), 48u);
}

TEST(ColourAdjustText, SettingTheTextRebuildsTheTables) {
    AppState s;
    setColourAdjustFromText(s.colour, allChannels("FF64AA6455640064"));
    EXPECT_EQ(s.colour.toneCurves.table[1][7], 100);
    // rebuildColourCurveTable follows the bytes.
    s.colour.colourAdjust[8 + 1] = 200;
    s.colour.colourAdjust[8 + 3] = 200;
    s.colour.colourAdjust[8 + 5] = 200;
    s.colour.colourAdjust[8 + 7] = 200;
    rebuildColourCurveTable(s.colour);
    EXPECT_EQ(s.colour.toneCurves.table[1][7], 200);
    EXPECT_EQ(s.colour.toneCurves.table[0][7], 100);
}

} // namespace
