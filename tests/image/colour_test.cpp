#include "image/colour.h"
#include "actions/defaults.h"
#include "actions/messages.h"

#include "core/texts.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "image/colour_testing.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::dataFolder;
using testsupport::TestState;

namespace {

// A photo-like RGBA picture: smooth gradients plus noise, so neighbouring pixels differ.
std::vector<std::uint8_t> makeRgba(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-20, 20);
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = px.data() + (static_cast<std::size_t>(y) * w + x) * 4;
            p[0] = static_cast<std::uint8_t>(
                std::clamp(x * 255 / std::max(1, w - 1) + noise(rng), 0, 255));
            p[1] = static_cast<std::uint8_t>(
                std::clamp(y * 255 / std::max(1, h - 1) + noise(rng), 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(128 + noise(rng) * 5, 0, 255));
            p[3] = static_cast<std::uint8_t>(rng() & 0xFF);
        }
    return px;
}

// The buffer as the loader leaves it: RGBA in the first 4 bytes a pixel of a 5-byte buffer.
void loadRgba(AppState& s, const std::vector<std::uint8_t>& rgba) {
    s.picture.imageBuffer.assign(rgba.size() / 4 * 5, 0);
    std::copy(rgba.begin(), rgba.end(), s.picture.imageBuffer.begin());
}

// One Little CMS transform over the whole picture, the reference result.
std::vector<std::uint8_t> referenceCmyk(const std::string& in, const std::string& out,
                                        const std::vector<std::uint8_t>& rgba) {
    cmsHPROFILE pi = cmsOpenProfileFromFile(in.c_str(), "r");
    cmsHPROFILE po = cmsOpenProfileFromFile(out.c_str(), "r");
    EXPECT_TRUE(pi && po);
    cmsHTRANSFORM t = cmsCreateTransform(pi, TYPE_RGBA_8, po, TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
    cmsCloseProfile(pi);
    cmsCloseProfile(po);
    EXPECT_TRUE(t);
    std::vector<std::uint8_t> cmyk(rgba.size());
    cmsDoTransform(t, rgba.data(), cmyk.data(), static_cast<cmsUInt32Number>(rgba.size() / 4));
    cmsDeleteTransform(t);
    return cmyk;
}

// Converted buffer (CMYKA) matches reference CMYK and the source alpha.
void expectConverted(const ImageBuffer& buf, const std::vector<std::uint8_t>& cmyk,
                     const std::vector<std::uint8_t>& rgba) {
    ASSERT_EQ(buf.size(), rgba.size() / 4 * 5);
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
        for (int c = 0; c < 4; ++c)
            mismatches += buf[i * 5 + c] != cmyk[i * 4 + c];
        mismatches += buf[i * 5 + 4] != rgba[i * 4 + 3];
    }
    EXPECT_EQ(mismatches, 0u);
}

struct ColourTest : ::testing::Test {
    TestState ts;
    AppState& s = ts.state;
    void setProfiles(const std::string& in, const std::string& out) {
        writeSetting(s.settings, keys::kProfileIn, in);
        writeSetting(s.settings, keys::kProfileOut, out);
    }
    ColourProfiles profiles() const {
        return colourProfiles(s.settings, s.locations.programFolder);
    }
    // The conversions of the picture's buffer with the stored profiles.
    ConversionOutcome convert(int w, int h) {
        return convertToCmyk(s.picture.imageBuffer, w, h, profiles(), feedback(s));
    }
    ConversionOutcome convertBanded(int w, int h, int threads, int bandRows) {
        return convertToCmykBanded(s.picture.imageBuffer, w, h, profiles(), feedback(s), threads,
                                   bandRows);
    }
    ConversionOutcome convertFrom(int w, int h, const std::uint8_t* rgba, int threads,
                                  int bandRows) {
        return convertToCmykFrom(s.picture.imageBuffer, w, h, rgba, profiles(), feedback(s),
                                 threads, bandRows);
    }
};

TEST_F(ColourTest, EmptyKeysFallBackToSrgbAndOkc711) {
    // The fallback "sRGB.icm" differs in case from the shipped "sRGB.ICM" and is found anyway.
    setProfiles("", "");
    const auto rgba = makeRgba(23, 17, 1);
    loadRgba(s, rgba);
    ASSERT_TRUE(convert(23, 17).ok());
    EXPECT_TRUE(ts.ui.messages().empty());
    expectConverted(s.picture.imageBuffer,
                    referenceCmyk(dataFolder() + "sRGB.ICM", dataFolder() + "OKC711P2.ICM", rgba),
                    rgba);
}

TEST_F(ColourTest, StoredProfilesAreUsed) {
    setProfiles(dataFolder() + "sRGB.ICM", "RCSPC11E1C.icm");
    const auto rgba = makeRgba(31, 9, 2);
    loadRgba(s, rgba);
    ASSERT_TRUE(convert(31, 9).ok());
    const auto ricoh =
        referenceCmyk(dataFolder() + "sRGB.ICM", dataFolder() + "RCSPC11E1C.icm", rgba);
    expectConverted(s.picture.imageBuffer, ricoh, rgba);
    // A different printer profile gives a different conversion (the setting really counts).
    EXPECT_NE(ricoh, referenceCmyk(dataFolder() + "sRGB.ICM", dataFolder() + "OKC711P2.ICM", rgba));
}

TEST_F(ColourTest, AlphaSurvivesAndWhiteGivesNoInk) {
    setProfiles("", "");
    const std::vector<std::uint8_t> rgba = {255, 255, 255, 0,   0,  0,  0,  255,
                                            255, 255, 255, 255, 10, 20, 30, 77};
    loadRgba(s, rgba);
    ASSERT_TRUE(convert(4, 1).ok());
    const auto& b = s.picture.imageBuffer;
    EXPECT_EQ(b[4], 0);
    EXPECT_EQ(b[9], 255);
    EXPECT_EQ(b[14], 255);
    EXPECT_EQ(b[19], 77);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(b[c], 0) << "white pixel, channel " << c;
    EXPECT_GT(b[8], 200) << "black carries K";
}

TEST_F(ColourTest, BandedConversionEqualsOneTransform) {
    setProfiles("", "OKC332P2.ICM");
    const int w = 37, h = 101;
    const auto rgba = makeRgba(w, h, 3);
    const auto ref = referenceCmyk(dataFolder() + "sRGB.ICM", dataFolder() + "OKC332P2.ICM", rgba);
    struct Case {
        int threads, bandRows;
    } cases[] = {{1, 1000}, {1, 1}, {2, 1}, {2, 7}, {3, 5}, {4, 32}, {8, 2}, {0, 32}};
    for (const Case& c : cases) {
        loadRgba(s, rgba);
        ASSERT_TRUE(convertBanded(w, h, c.threads, c.bandRows).ok());
        SCOPED_TRACE(::testing::Message() << c.threads << " threads, bands of " << c.bandRows);
        expectConverted(s.picture.imageBuffer, ref, rgba);
        // From the decoder's pixels into a buffer holding stale bytes: every byte is written.
        s.picture.imageBuffer.assign(rgba.size() / 4 * 5, 0xAB);
        ASSERT_TRUE(convertFrom(w, h, rgba.data(), c.threads, c.bandRows).ok());
        expectConverted(s.picture.imageBuffer, ref, rgba);
    }
}

TEST_F(ColourTest, OnePixelWideAndHighPictures) {
    setProfiles("", "");
    for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 57}, std::pair{61, 1}}) {
        const auto rgba = makeRgba(w, h, 9);
        loadRgba(s, rgba);
        ASSERT_TRUE(convertBanded(w, h, 2, 4).ok()) << w << "x" << h;
        expectConverted(
            s.picture.imageBuffer,
            referenceCmyk(dataFolder() + "sRGB.ICM", dataFolder() + "OKC711P2.ICM", rgba), rgba);
    }
}

TEST_F(ColourTest, ProgressFollowsEveryRow) {
    setProfiles("", "");
    const int h = 40;
    loadRgba(s, makeRgba(8, h, 4));
    ts.ui.clear();
    ASSERT_TRUE(convertBanded(8, h, 2, 3).ok());
    std::vector<int> values;
    for (const auto& c : ts.ui.calls)
        if (c.kind == "progress") values.push_back(c.value);
    ASSERT_EQ(values.size(), static_cast<std::size_t>(h));
    for (int r = 1; r <= h; ++r)
        EXPECT_EQ(values[r - 1], static_cast<int>(std::nearbyint(100.0 * r / h)));
}

struct BadProfile {
    const char* name;
    std::string in, out; // "@" = a file written by the test
};

TEST_F(ColourTest, UnusableProfilesStopTheLoadAndRestoreDefaults) {
    testsupport::writeFile(ts.dir.file("junk.icm"), std::string(300, 'x'));
    testsupport::writeFile(ts.dir.file("short.icm"), "acsp");
    ASSERT_EQ(::mkfifo(ts.dir.file("fifo.icm").c_str(), 0600), 0);
    const BadProfile cases[] = {
        {"FIFO as input profile", ts.dir.file("fifo.icm"), ""},
        {"device as printer profile", "", "/dev/zero"},
        {"folder as printer profile", "", ts.dir.path},
        {"missing output file", "", ts.dir.file("nothere/OKC711P2.ICM")},
        {"missing input file", ts.dir.file("none.icm"), ""},
        {"RGB profile as printer profile", "", dataFolder() + "sRGB.ICM"},
        {"CMYK profile as input profile", dataFolder() + "OKC711P2.ICM", ""},
        {"not an ICC file", "", ts.dir.file("junk.icm")},
        {"truncated file", ts.dir.file("short.icm"), ""},
    };
    s.target.targetModel = "C711WT";
    for (const BadProfile& c : cases) {
        SCOPED_TRACE(c.name);
        ts.ui.clear();
        setProfiles(c.in, c.out);
        loadRgba(s, makeRgba(5, 5, 5));
        const ConversionOutcome r = convert(5, 5);
        EXPECT_EQ(r.status, ConversionStatus::NoTransform);
        EXPECT_TRUE(s.picture.imageBuffer.empty()) << "no half-converted image remains";
        EXPECT_TRUE(ts.ui.messages().empty()) << "the conversion itself shows nothing";
        // What the open action tells the user.
        LoadOutcome load;
        load.problem = LoadProblem::Conversion;
        load.conversion = r;
        const auto msgs = loadFailureMessages(s.language, load);
        ASSERT_EQ(msgs.size(), 1u);
        EXPECT_EQ(msgs[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(msgs[0].caption, text(s.language, 0));
        EXPECT_EQ(msgs[0].text.rfind("Something odd with this image\r\n", 0), 0u) << msgs[0].text;
        EXPECT_GT(msgs[0].text.size(), std::string("Something odd with this image\r\n").size())
            << "the library's reason follows";
        // The caller (the open action) loads the defaults and rebuilds the window.
        loadDefaults(s);
        EXPECT_EQ(readSetting(s.settings, keys::kProfileOut),
                  s.locations.programFolder + "OKC332P2.ICM");
        EXPECT_EQ(readSetting(s.settings, keys::kProfileIn),
                  s.locations.programFolder + "sRGB.ICM");
    }
    // And with the defaults the next load works.
    ts.ui.clear();
    loadRgba(s, makeRgba(5, 5, 6));
    EXPECT_TRUE(convert(5, 5).ok());
    EXPECT_TRUE(ts.ui.messages().empty());
}

TEST_F(ColourTest, ErrorTextReportsMissingFile) {
    setProfiles("", ts.dir.file("gone.icm"));
    loadRgba(s, makeRgba(2, 2, 7));
    const ConversionOutcome r = convert(2, 2);
    ASSERT_EQ(r.status, ConversionStatus::NoTransform);
    EXPECT_NE(r.detail.find("gone.icm"), std::string::npos) << r.detail;
    EXPECT_TRUE(takeColourErrorText().empty()) << "collected errors were handed on";
}

TEST_F(ColourTest, BufferTooSmallIsRefusedWithoutTouchingMemory) {
    s.picture.imageBuffer.assign(10, 0);
    EXPECT_EQ(convert(100, 100).status, ConversionStatus::Refused);
    EXPECT_TRUE(s.picture.imageBuffer.empty());
    s.picture.imageBuffer.assign(10, 0);
    EXPECT_EQ(convert(0, 2).status, ConversionStatus::Refused);
}

TEST_F(ColourTest, ResolveProfilePath) {
    namespace fs = std::filesystem;
    // Given as it exists: unchanged.
    EXPECT_EQ(resolveProfilePath(s.locations.programFolder, dataFolder() + "OKC711P2.ICM"),
              dataFolder() + "OKC711P2.ICM");
    // Relative names not in the working folder come from programFolder, in any case.
    const fs::path old = fs::current_path();
    fs::current_path(ts.dir.path);
    EXPECT_EQ(fs::path(resolveProfilePath(s.locations.programFolder, "sRGB.icm")),
              fs::path(dataFolder()) / "sRGB.ICM");
    EXPECT_EQ(fs::path(resolveProfilePath(s.locations.programFolder, "okc711p2.icm")),
              fs::path(dataFolder()) / "OKC711P2.ICM");
    // A file of that name in the working folder wins.
    testsupport::writeFile(ts.dir.file("sRGB.icm"), "local");
    EXPECT_EQ(resolveProfilePath(s.locations.programFolder, "sRGB.icm"), "sRGB.icm");
    // Missing everywhere, or absolute and missing: as given (the open then fails).
    EXPECT_EQ(resolveProfilePath(s.locations.programFolder, "nothing.icm"), "nothing.icm");
    EXPECT_EQ(resolveProfilePath(s.locations.programFolder, ts.dir.file("x/sRGB.ICM")),
              ts.dir.file("x/sRGB.ICM"));
    fs::current_path(old);
}

TEST_F(ColourTest, PreviewConversion) {
    setProfiles("", "");
    // White, full black, cyan; the fifth (alpha) byte is not converted.
    std::vector<std::uint8_t> data = {0, 0, 0, 0, 200, 0, 0, 0, 255, 100, 255, 0, 0, 0, 50};
    ASSERT_TRUE(
        convertPreviewPixels(colourProfiles(s.settings, s.locations.programFolder), 3, 1, data));
    ASSERT_EQ(data.size(), 12u);
    for (int c = 0; c < 3; ++c)
        EXPECT_GE(data[c], 250) << "white";
    for (int c = 0; c < 3; ++c)
        EXPECT_LE(data[4 + c], 60) << "black";
    EXPECT_GT(data[8], data[10]) << "cyan: blue above red (BGRA order)";
    EXPECT_EQ(data[3], 0);
    EXPECT_EQ(data[7], 0);
    EXPECT_EQ(data[11], 0);
    // Equal to one Little CMS transform.
    std::vector<std::uint8_t> in = {0, 0, 0, 0, 200, 0, 0, 0, 255, 100, 255, 0, 0, 0, 50};
    cmsHPROFILE po = cmsOpenProfileFromFile((dataFolder() + "OKC711P2.ICM").c_str(), "r");
    cmsHPROFILE pi = cmsOpenProfileFromFile((dataFolder() + "sRGB.ICM").c_str(), "r");
    cmsHTRANSFORM t = cmsCreateTransform(po, TYPE_CMYKA_8, pi, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    std::vector<std::uint8_t> ref(12, 0);
    cmsDoTransform(t, in.data(), ref.data(), 3);
    cmsDeleteTransform(t);
    cmsCloseProfile(po);
    cmsCloseProfile(pi);
    EXPECT_EQ(data, ref);
}

TEST_F(ColourTest, PreviewConversionFailureLeavesDataAndSettingsQuiet) {
    // Drawing never shows a message or changes settings: a broken profile was reported when
    // the picture was loaded or the profile chosen.
    setProfiles("", ts.dir.file("missing.icm"));
    std::vector<std::uint8_t> data = {1, 2, 3, 4, 5};
    EXPECT_FALSE(
        convertPreviewPixels(colourProfiles(s.settings, s.locations.programFolder), 1, 1, data));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(ts.ui.messages().empty());
    EXPECT_EQ(readSetting(s.settings, keys::kProfileOut), ts.dir.file("missing.icm"));
    // Too little data for the size: refused, nothing shown.
    ts.ui.clear();
    EXPECT_FALSE(
        convertPreviewPixels(colourProfiles(s.settings, s.locations.programFolder), 2, 1, data));
    EXPECT_TRUE(ts.ui.messages().empty());
}

} // namespace
