// Loading a picture: the fit at load, the fields it sets, and failures that keep the old image.
#include "image/load.h"

#include "actions/actions.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "image/decode.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::TestState;
using testsupport::writeFile;

namespace {

void be32(std::string& s, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A w x h picture with a different colour in every row, written by ImageMagick.
std::string makePicture(const TempDir& dir, const std::string& name, int w, int h,
                        const std::string& options = "") {
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ppm += static_cast<char>(y * 255 / std::max(1, h - 1));
            ppm += static_cast<char>(x * 255 / std::max(1, w - 1));
            ppm += static_cast<char>(128);
        }
    writeFile(dir.file("src.ppm"), ppm);
    std::string out = dir.file(name);
    std::string cmd =
        "convert " + dir.file("src.ppm") + " " + options + " '" + out + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return out;
}

struct LoadTest : ::testing::Test {
    TestState ts;
    AppState& s = ts.state;
    TempDir files;
    LoadTest() {
        s.page.printableWidthPt = 571.0f;
        s.page.printableHeightPt = 814.0f;
    }
    std::string tiffAt(const std::string& name, int w, int h, int dpi) {
        return makePicture(files, name, w, h,
                           "-density " + std::to_string(dpi) + " -units PixelsPerInch");
    }
    int messages() const { return static_cast<int>(ts.ui.messages().size()); }
};

struct FitCase {
    const char* name;
    int w, h, dpi;
    float printableW, printableH;
    bool rotate;
    float widthPt, heightPt, zoom;
    const char* scaleText;
};

class FitAtLoad : public LoadTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FitAtLoad, SetsSizeDpiZoomAndRotate) {
    const FitCase& c = GetParam();
    s.page.printableWidthPt = c.printableW;
    s.page.printableHeightPt = c.printableH;
    std::string path = tiffAt(std::string(c.name) + ".tif", c.w, c.h, c.dpi);
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty()) << (ts.ui.messages().empty() ? "" : ts.ui.messages()[0].text);
    EXPECT_EQ(s.picture.imageLoaded, 1);
    EXPECT_EQ(s.picture.imagePixelWidth, c.w);
    EXPECT_EQ(s.picture.imagePixelHeight, c.h);
    EXPECT_EQ(s.layout.rotateChecked, c.rotate);
    EXPECT_NEAR(s.picture.imageWidthPt, c.widthPt, 0.05);
    EXPECT_NEAR(s.picture.imageHeightPt, c.heightPt, 0.05);
    EXPECT_NEAR(s.layout.zoom, c.zoom, 1e-4);
    EXPECT_EQ(s.window.scaleText, c.scaleText);
    // Points, pixels and dpi stay consistent, and zoom is the dpi before over after.
    EXPECT_NEAR(s.picture.imageWidthPt, 72.0f * c.w / s.picture.xDpi, 0.01);
    EXPECT_NEAR(s.picture.imageHeightPt, 72.0f * c.h / s.picture.yDpi, 0.01);
    EXPECT_NEAR(s.layout.zoom, c.dpi / s.picture.xDpi, 1e-5);
    EXPECT_TRUE(ts.ui.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitAtLoad,
    ::testing::Values(
        // 200 x 300 at 10 dpi is 1440 x 2160 points: only the width decides, 571 / 1440.
        FitCase{"tall_scaled", 200, 300, 10, 571, 814, false, 571, 856.5f, 571.0f / 1440, "40%"},
        // Fits as it is.
        FitCase{"tall_fits", 20, 30, 10, 571, 814, false, 144, 216, 1, "100%"},
        // Wider than tall: turned; 720 x 360 fits turned on 571 x 814.
        FitCase{"wide_fits_turned", 100, 50, 10, 571, 814, true, 720, 360, 1, "100%"},
        // 2160 x 720 does not fit turned: shrunk so the turned picture fits both ways.
        FitCase{"wide_shrunk", 300, 100, 10, 571, 814, true, 814, 271.3333f, 814.0f / 2160, "38%"},
        // Landscape page: the turned picture is limited by the printable height.
        FitCase{"wide_on_landscape", 300, 100, 10, 814, 571, true, 571, 190.3333f, 571.0f / 2160,
                "26%"},
        // Square pictures are not turned.
        FitCase{"square", 50, 50, 10, 571, 814, false, 360, 360, 1, "100%"},
        // The printable area is compared rounded to whole points: 359.6 rounds to 360,
        // which is not more than 360, so the picture is scaled (by 1).
        FitCase{"rounded_printable", 50, 50, 10, 359.6f, 814, false, 360, 360, 1, "100%"},
        // No printable area known yet: nothing to fit to.
        FitCase{"no_printable_area", 200, 300, 10, 0, 0, false, 1440, 2160, 1, "100%"}),
    [](const ::testing::TestParamInfo<FitCase>& i) { return std::string(i.param.name); });

TEST_F(LoadTest, SizeTextsFollowTheUnit) {
    struct UnitCase {
        const char* unit;
        const char* width;
        const char* height;
    };
    for (const UnitCase& u : {UnitCase{"M", "201.4", "302.2"}, UnitCase{"C", "20.14", "30.22"},
                              UnitCase{"I", "7.931", "11.896"}, UnitCase{"X", "201.4", "302.2"}}) {
        writeSetting(s.settings, keys::kUnit, u.unit);
        s.record.unit = unitFromSetting(u.unit); // as the unit dialog does
        std::string path = tiffAt("u.tif", 200, 300, 10);
        loadPictureFile(s, path);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(s.window.widthText, u.width) << u.unit;
        EXPECT_EQ(s.window.heightText, u.height) << u.unit;
    }
}

TEST_F(LoadTest, StepsAroundTheDecode) {
    writeSetting(s.settings, keys::kCrop, "1");
    s.layout.xCopies = 3;
    s.layout.yCopies = 4;
    s.layout.rotateChecked = true;
    std::string path = tiffAt("steps.tif", 20, 30, 100);
    std::string quoted = "\"" + path + "\"";
    loadPictureFile(s, quoted);
    EXPECT_EQ(quoted, path); // quotes removed, path kept
    EXPECT_EQ(readSetting(s.settings, keys::kCrop), "0");
    EXPECT_EQ(s.layout.xCopies, 1);
    EXPECT_EQ(s.layout.yCopies, 1);
    EXPECT_FALSE(s.layout.rotateChecked);
    EXPECT_EQ(s.window.statusText, "<<<<<  Conversion progress >>>>>");
    EXPECT_NEAR(s.picture.xDpi, 100, 1e-3);
    EXPECT_NEAR(s.picture.yDpi, 100, 1e-3);
    // The grids exist for the decoded size and hold the oriented picture.
    EXPECT_EQ(s.picture.printGrid.cellBytes, 5);
    EXPECT_EQ(s.picture.previewGrid.cellBytes, 4);
    EXPECT_EQ(s.picture.printGrid.cells.size(), 20u * 30u * 5u);
    EXPECT_EQ(s.picture.previewGrid.cells.size(), 20u * 30u * 4u);
    EXPECT_EQ(s.picture.imageBuffer.size(), 20u * 30u * 5u);
    EXPECT_EQ(s.picture.gridWidth, 20);
    EXPECT_EQ(s.picture.gridHeight, 30);
    // Progress ran through the load's stages.
    std::vector<int> progress;
    for (const auto& c : ts.ui.calls)
        if (c.kind == "progress") progress.push_back(c.value);
    ASSERT_GE(progress.size(), 5u);
    EXPECT_EQ(progress[0], 1);
    EXPECT_NE(std::find(progress.begin(), progress.end(), 70), progress.end());
}

TEST_F(LoadTest, ResolutionIsProbedByTheLowerCasedPath) {
    // A JPEG at 72 dpi: probed under ".JPG", not under ".jpeg".
    std::string jpg = makePicture(files, "photo.JPG", 40, 60, "-density 72 -units PixelsPerInch");
    std::string path = jpg;
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    EXPECT_NEAR(s.picture.imageWidthPt, 40.0f, 1e-3); // 72 x 40 / 72
    std::string jpeg = files.file("photo.jpeg");
    std::filesystem::copy_file(jpg, jpeg);
    path = jpeg;
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    EXPECT_NEAR(s.picture.xDpi, 300, 1e-3);
    EXPECT_NEAR(s.picture.imageWidthPt, 9.6f, 1e-3);
    // No extension: decoded by content, 300 dpi.
    std::string bare = files.file("noextension");
    std::filesystem::copy_file(jpg, bare);
    path = bare;
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(s.picture.imagePixelWidth, 40);
    EXPECT_NEAR(s.picture.xDpi, 300, 1e-3);
}

TEST_F(LoadTest, FlipTurnsTheDecodedRows) {
    std::string path = makePicture(files, "f.png", 4, 6);
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    ImageBuffer upright = s.picture.imageBuffer;
    s.layout.flipChecked = true;
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    const std::size_t row = 4 * 5;
    ASSERT_EQ(s.picture.imageBuffer.size(), upright.size());
    for (int y = 0; y < 6; ++y)
        EXPECT_TRUE(std::equal(s.picture.imageBuffer.begin() + y * row,
                               s.picture.imageBuffer.begin() + (y + 1) * row,
                               upright.begin() + (5 - y) * row))
            << "row " << y;
    // Different rows really differ, so the comparison above means something.
    EXPECT_FALSE(std::equal(upright.begin(), upright.begin() + row, upright.begin() + 5 * row));
}

TEST_F(LoadTest, TemporaryCopyIsPrivateAndRemoved) {
    TempDir tmp;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", tmp.path.c_str(), 1);
    std::string good = tiffAt("t.tif", 10, 10, 100);
    std::string path = good;
    loadPictureFile(s, path);
    EXPECT_FALSE(path.empty());
    writeFile(files.file("bad.png"), "not a picture");
    path = files.file("bad.png");
    loadPictureFile(s, path);
    EXPECT_TRUE(path.empty());
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path));
}

// Only regular files are opened: a FIFO would block the load, /dev/zero would be copied until
// the temporary folder is full. A file past the decoder's byte limit is not copied either.
TEST_F(LoadTest, NonRegularAndOversizedFilesAreRefusedBeforeCopying) {
    TempDir tmp;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", tmp.path.c_str(), 1);
    ASSERT_EQ(::mkfifo(files.file("pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directories(files.file("folder.png"));
    const std::string good = tiffAt("t.tif", 10, 10, 100);
    std::string path = good;
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    const int width = s.picture.imagePixelWidth;
    struct Case {
        std::string path, says;
        std::uint64_t limit;
    };
    const Case cases[] = {
        {files.file("pipe.png"), "is not a regular file", 0},
        {"/dev/zero", "is not a regular file", 0},
        {files.file("folder.png"), "is not a regular file", 0},
        {good, "is larger than 0 MB", 100},
    };
    for (const Case& c : cases) {
        ts.ui.clear();
        const DecodeLimits limits = decodeLimits();
        if (c.limit) decodeLimits().maxRgbaBytes = c.limit;
        path = c.path;
        loadPictureFile(s, path);
        decodeLimits() = limits;
        EXPECT_TRUE(path.empty()) << c.path;
        ASSERT_EQ(messages(), 1) << c.path;
        EXPECT_NE(ts.ui.messages()[0].text.find(c.says), std::string::npos)
            << ts.ui.messages()[0].text;
        EXPECT_EQ(s.picture.imagePixelWidth, width) << "the previous picture stays";
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path)) << "nothing was copied";
    }
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// A failed load tells the user, clears the path and leaves the previous picture as it was.
struct FailureCase {
    const char* name;
    std::string bytes;
    const char* message; // part of the message text
};

class FailedLoad : public LoadTest, public ::testing::WithParamInterface<FailureCase> {};

std::string hugePng() {
    std::string s = "\x89PNG\r\n\x1a\n";
    be32(s, 13);
    s += "IHDR";
    be32(s, 70000);
    be32(s, 70000);
    s += std::string("\x08\x06\x00\x00\x00\x00\x00\x00\x00", 9);
    return s;
}

TEST_P(FailedLoad, KeepsThePreviousImage) {
    const FailureCase& c = GetParam();
    std::string path = tiffAt("first.tif", 20, 30, 100);
    loadPictureFile(s, path);
    ASSERT_FALSE(path.empty());
    const ImageBuffer buffer = s.picture.imageBuffer;
    const PictureBytes grid = s.picture.printGrid.cells;
    const float widthPt = s.picture.imageWidthPt, xDpi = s.picture.xDpi;
    ts.ui.clear();

    std::string bad = files.file(c.name);
    if (c.bytes != "<missing>") writeFile(bad, c.bytes);
    loadPictureFile(s, bad);
    EXPECT_TRUE(bad.empty());
    auto msgs = ts.ui.messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].caption, "Lumivane Basic");
    EXPECT_EQ(msgs[0].icon, MessageIcon::Error);
    EXPECT_NE(msgs[0].text.find(c.message), std::string::npos) << msgs[0].text;
    EXPECT_EQ(s.window.statusText, "<<<<<    Unsuitable file   >>>>>");
    EXPECT_EQ(s.picture.imageBuffer, buffer);
    EXPECT_EQ(s.picture.printGrid.cells, grid);
    EXPECT_EQ(s.picture.imagePixelWidth, 20);
    EXPECT_EQ(s.picture.imageWidthPt, widthPt);
    EXPECT_EQ(s.picture.xDpi, xDpi);
    EXPECT_EQ(s.picture.imageLoaded, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedLoad,
    ::testing::Values(FailureCase{"text.png", "just some text", "not a PNG, JPEG"},
                      FailureCase{"huge.png", hugePng(), "too large"},
                      FailureCase{"missing.png", "<missing>", "UNABLE TO OPEN FILE"},
                      FailureCase{"short.gif",
                                  std::string("GIF89a\x05\x00\x05\x00\x00\x00\x00\x2C", 14),
                                  "ERROR"},
                      FailureCase{"cmyk.jpg",
                                  std::string("\xFF\xD8\xFF\xC0\x00\x14\x08\x00\x0A\x00\x0A\x04"
                                              "\x01\x11\x00\x02\x11\x00\x03\x11\x00\x04\x11\x00",
                                              24),
                                  "CMYK"}),
    [](const ::testing::TestParamInfo<FailureCase>& i) {
        std::string n = i.param.name;
        return n.substr(0, n.find('.'));
    });

TEST_F(LoadTest, CrashingDecoderIsAnUnsuitableFile) {
    DecodeLimits saved = decodeLimits();
    decodeLimits().childHook = [] { __builtin_trap(); };
    std::string path = tiffAt("crash.tif", 5, 5, 100);
    loadPictureFile(s, path);
    decodeLimits() = saved;
    EXPECT_TRUE(path.empty());
    ASSERT_EQ(messages(), 1);
    EXPECT_EQ(s.picture.imageLoaded, 0);
    EXPECT_TRUE(s.picture.imageBuffer.empty());
    // The program carries on.
    path = tiffAt("crash.tif", 5, 5, 100);
    loadPictureFile(s, path);
    EXPECT_FALSE(path.empty());
    EXPECT_EQ(s.picture.imageLoaded, 1);
}

TEST_F(LoadTest, FailedConversionLeavesNoImage) {
    std::string path = tiffAt("a.tif", 8, 8, 100);
    loadPictureFile(s, path);
    ASSERT_EQ(s.picture.imageLoaded, 1);
    writeSetting(s.settings, keys::kProfileOut, files.file("no-such-profile.icm"));
    ts.ui.clear();
    path = tiffAt("b.tif", 9, 9, 100);
    loadPictureFile(s, path);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(s.picture.imageLoaded, 0);
    EXPECT_TRUE(s.picture.imageBuffer.empty());
    EXPECT_TRUE(s.picture.printGrid.cells.empty());
    EXPECT_TRUE(s.picture.previewGrid.cells.empty());
    EXPECT_EQ(s.picture.imagePixelWidth, 0);
    auto msgs = ts.ui.messages();
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs[0].text.rfind("Something odd with this image", 0), 0u) << msgs[0].text;
}

} // namespace
