// The generated printer profiles: structure and the toner model's behaviour.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <string>

using testsupport::dataFolder;

namespace {

const char* const kPrinterProfiles[] = {"OKC332P2.ICM", "OKC331P2.ICM", "OKC711P2.ICM",
                                        "OKC831P2.ICM", "OKC833P2.ICM", "OKC610P2.ICM",
                                        "OKC612P2.ICM", "OKC650P2.ICM", "RCSPC11E1C.icm"};

struct Rgb {
    int r, g, b;
};

struct Transforms {
    cmsHTRANSFORM toPrinter = nullptr, fromPrinter = nullptr;
    explicit Transforms(const std::string& name) {
        cmsHPROFILE srgb = cmsOpenProfileFromFile((dataFolder() + "sRGB.ICM").c_str(), "r");
        cmsHPROFILE prn = cmsOpenProfileFromFile((dataFolder() + name).c_str(), "r");
        if (srgb && prn) {
            toPrinter =
                cmsCreateTransform(srgb, TYPE_RGB_8, prn, TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
            fromPrinter =
                cmsCreateTransform(prn, TYPE_CMYK_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
        }
        if (srgb) cmsCloseProfile(srgb);
        if (prn) cmsCloseProfile(prn);
    }
    ~Transforms() {
        if (toPrinter) cmsDeleteTransform(toPrinter);
        if (fromPrinter) cmsDeleteTransform(fromPrinter);
    }
    std::array<int, 4> cmyk(Rgb c) const {
        std::uint8_t in[3] = {static_cast<std::uint8_t>(c.r), static_cast<std::uint8_t>(c.g),
                              static_cast<std::uint8_t>(c.b)};
        std::uint8_t out[4];
        cmsDoTransform(toPrinter, in, out, 1);
        return {out[0], out[1], out[2], out[3]};
    }
    Rgb back(const std::array<int, 4>& k) const {
        std::uint8_t in[4] = {static_cast<std::uint8_t>(k[0]), static_cast<std::uint8_t>(k[1]),
                              static_cast<std::uint8_t>(k[2]), static_cast<std::uint8_t>(k[3])};
        std::uint8_t out[3];
        cmsDoTransform(fromPrinter, in, out, 1);
        return {out[0], out[1], out[2]};
    }
};

double deltaE(Rgb a, Rgb b) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t =
        cmsCreateTransform(srgb, TYPE_RGB_8, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    std::uint8_t in[6] = {static_cast<std::uint8_t>(a.r), static_cast<std::uint8_t>(a.g),
                          static_cast<std::uint8_t>(a.b), static_cast<std::uint8_t>(b.r),
                          static_cast<std::uint8_t>(b.g), static_cast<std::uint8_t>(b.b)};
    cmsCIELab out[2];
    cmsDoTransform(t, in, out, 2);
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return cmsDeltaE(&out[0], &out[1]);
}

class PrinterProfile : public ::testing::TestWithParam<const char*> {};

TEST_P(PrinterProfile, IsACmykOutputProfileWithPerceptualTablesBothWays) {
    cmsHPROFILE h = cmsOpenProfileFromFile((dataFolder() + GetParam()).c_str(), "r");
    ASSERT_TRUE(h) << GetParam();
    EXPECT_EQ(cmsGetDeviceClass(h), cmsSigOutputClass);
    EXPECT_EQ(cmsGetColorSpace(h), cmsSigCmykData);
    EXPECT_EQ(cmsGetPCS(h), cmsSigLabData);
    EXPECT_TRUE(cmsIsTag(h, cmsSigAToB0Tag));
    EXPECT_TRUE(cmsIsTag(h, cmsSigBToA0Tag));
    EXPECT_TRUE(cmsIsCLUT(h, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT));
    EXPECT_TRUE(cmsIsCLUT(h, INTENT_PERCEPTUAL, LCMS_USED_AS_OUTPUT));
    cmsCloseProfile(h);
}

TEST_P(PrinterProfile, WhiteIsBarePaperAndDarkNeutralsCarryBlack) {
    Transforms t(GetParam());
    ASSERT_TRUE(t.toPrinter && t.fromPrinter);
    EXPECT_EQ(t.cmyk({255, 255, 255}), (std::array<int, 4>{0, 0, 0, 0}));
    // Black and dark greys carry K (the white layer), more the darker they are.
    const auto black = t.cmyk({0, 0, 0});
    const auto dark = t.cmyk({40, 40, 40});
    const auto mid = t.cmyk({90, 90, 90});
    EXPECT_GE(black[3], 230);
    EXPECT_GT(dark[3], 150);
    EXPECT_GT(mid[3], 0);
    EXPECT_GE(black[3], dark[3]);
    EXPECT_GT(dark[3], mid[3]);
    // Light and saturated colours carry none.
    for (Rgb c : {Rgb{230, 230, 230}, Rgb{255, 0, 0}, Rgb{0, 160, 255}, Rgb{255, 255, 0},
                  Rgb{255, 200, 150}})
        EXPECT_EQ(t.cmyk(c)[3], 0) << c.r << "," << c.g << "," << c.b;
    // Primaries go to their toner.
    const auto yellow = t.cmyk({255, 255, 0});
    EXPECT_GT(yellow[2], 200);
    EXPECT_LT(yellow[0], 40);
    EXPECT_LT(yellow[1], 40);
}

TEST_P(PrinterProfile, RoundTripThroughThePrinterKeepsInGamutColours) {
    Transforms t(GetParam());
    ASSERT_TRUE(t.toPrinter && t.fromPrinter);
    const Rgb colours[] = {{255, 255, 255}, {200, 200, 200}, {128, 128, 128}, {70, 70, 70},
                           {180, 120, 90},  {90, 140, 180},  {150, 170, 90},  {210, 160, 180},
                           {120, 80, 60},   {60, 90, 120}};
    for (Rgb c : colours) {
        const Rgb b = t.back(t.cmyk(c));
        EXPECT_LT(deltaE(c, b), 3.0) << c.r << "," << c.g << "," << c.b << " came back as " << b.r
                                     << "," << b.g << "," << b.b;
    }
    // Along the grey axis, darker greys get at least as much K and print at least as dark.
    int lastK = -1, lastBack = 256;
    for (int v = 255; v >= 0; v -= 5) {
        const auto k = t.cmyk({v, v, v});
        const Rgb b = t.back(k);
        EXPECT_GE(k[3], lastK - 1) << "grey " << v;
        EXPECT_LE(b.g, lastBack + 1) << "grey " << v;
        lastK = k[3];
        lastBack = b.g;
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, PrinterProfile, ::testing::ValuesIn(kPrinterProfiles));

TEST(SrgbProfile, IsTheLibrarySrgb) {
    cmsHPROFILE h = cmsOpenProfileFromFile((dataFolder() + "sRGB.ICM").c_str(), "r");
    ASSERT_TRUE(h);
    EXPECT_EQ(cmsGetColorSpace(h), cmsSigRgbData);
    EXPECT_EQ(cmsGetDeviceClass(h), cmsSigDisplayClass);
    cmsHPROFILE builtIn = cmsCreate_sRGBProfile();
    cmsHTRANSFORM a = cmsCreateTransform(h, TYPE_RGB_8, builtIn, TYPE_RGB_8,
                                         INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    ASSERT_TRUE(a);
    std::uint8_t in[9] = {10, 200, 30, 255, 0, 0, 128, 128, 128}, out[9];
    cmsDoTransform(a, in, out, 3);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(out[i], in[i], 1);
    cmsDeleteTransform(a);
    cmsCloseProfile(builtIn);
    cmsCloseProfile(h);
}

} // namespace
