// The proof picture: Ghostscript's rendering of a job composed into the colour view and the
// white toner view.
#include "job/proof.h"

#include "core/temp_folders.h"
#include "job/job.h"
#include "tests/job/job_fixture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace jobtest;
using testsupport::TestState;

namespace {

// A picture whose pixel (x, y) is pure cyan in the left half and white toner only in the
// right half, 10 x 4 pixels of 18 points.
std::string halves(int w, int h) {
    std::string r;
    for (int y = 0; y < h; ++y)
        for (int p = 1; p <= 5; ++p)
            for (int x = 0; x < w; ++x)
                r.push_back(
                    static_cast<char>((p == 1 && x < w / 2) || (p == 4 && x >= w / 2) ? 255 : 0));
    return r;
}

std::string job(AppState& s, bool second, const Paper& paper) {
    prepare(s, second, paper, 10, 4, 144, 216);
    s.layout.placedWidthPt = 180;
    s.layout.placedHeightPt = 72;
    PrintJobParts parts;
    parts.imageData = halves(10, 4);
    buildPrintJob(jobInputs(s), parts, feedback(s));
    return jobBytes(parts, feedback(s));
}

} // namespace

TEST(StripPjl, RemovesFramingOfBothFamilies) {
    for (bool second : {false, true}) {
        TestState ts;
        const std::string bytes = job(ts.state, second, papers()[0]);
        const std::string ps = stripPjl(bytes);
        EXPECT_TRUE(ps.starts_with("%!PS-Adobe-3.0\r\n"));
        EXPECT_TRUE(ps.ends_with("%%EOF\r\n"));
        EXPECT_EQ(ps.find("\x1b%-12345X@PJL"), std::string::npos);
    }
    EXPECT_EQ(stripPjl("%!PS\nshowpage\n"), "%!PS\nshowpage\n");
}

TEST(Proof, ColourAndWhiteViewsSideBySide) {
    for (const auto& [second, paper] : std::vector<std::pair<bool, Paper>>{
             {false, papers()[0]}, {true, papers()[0]}, {false, papers()[6]}}) {
        TestState ts;
        const std::string out = ts.dir.file("proof.png");
        std::string error;
        ASSERT_TRUE(renderProof(job(ts.state, second, paper), out, error)) << error;
        QImage img(QString::fromStdString(out));
        ASSERT_FALSE(img.isNull());
        // Two page panels of 100 dpi with 24-pixel margins.
        const int pw = (paper.widthPt * 100 + 36) / 72, ph = (paper.heightPt * 100 + 36) / 72;
        EXPECT_NEAR(img.width(), 3 * 24 + 2 * pw, 2);
        EXPECT_NEAR(img.height(), 2 * 24 + ph, 2);
        // The picture starts 144 points across and 216 down; the tiled raster has 12 columns
        // and 6 rows over 180 x 72 points. Sample the middle of raster columns 2 and 7, row 1.
        auto px = [&](int panel, double colPt, double rowPt) {
            const int x = 24 + panel * (24 + pw) + static_cast<int>((144 + colPt) * 100 / 72);
            const int y = 24 + static_cast<int>((216 + rowPt) * 100 / 72);
            return img.pixel(x, y);
        };
        const double col = 180.0 / 12, row = 72.0 / 6;
        const QRgb cyan = px(0, 2.5 * col, 1.5 * row), clear = px(0, 7.5 * col, 1.5 * row);
        const QRgb whiteOn = px(1, 7.5 * col, 1.5 * row), whiteOff = px(1, 2.5 * col, 1.5 * row);
        EXPECT_EQ(cyan, qRgb(0, 255, 255)) << second;
        EXPECT_EQ(clear, qRgb(255, 255, 255)) << second;
        EXPECT_EQ(whiteOn, qRgb(255, 255, 255)) << second;
        EXPECT_EQ(whiteOff, qRgb(40, 40, 40)) << second;
        // Outside the page panels: the grey canvas.
        EXPECT_EQ(img.pixel(5, 5), qRgb(128, 128, 128));
    }
}

TEST(Proof, BlankPageHasNothingToShow) {
    TestState ts;
    prepare(ts.state, false, papers()[0]);
    const std::string out = ts.dir.file("blank.png");
    std::string error;
    ASSERT_TRUE(renderProof(blankPageBytes(ts.state), out, error)) << error;
    QImage img(QString::fromStdString(out));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(24 + 100, 24 + 100), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(img.width() - 24 - 100, 24 + 100), qRgb(40, 40, 40));
}

TEST(Proof, PostScriptErrorIsReported) {
    TestState ts;
    std::string error;
    EXPECT_FALSE(renderProof("%!PS\n/nosuchoperator_here\nnosuchoperator_here\nshowpage\n",
                             ts.dir.file("bad.png"), error));
    EXPECT_NE(error.find("Ghostscript reported an error"), std::string::npos) << error;
    EXPECT_FALSE(testsupport::fileExists(ts.dir.file("bad.png")));
}

TEST(Proof, MissingGhostscriptIsAClearError) {
    TestState ts;
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ts.dir.path.c_str(), 1);
    EXPECT_EQ(findOnPath("gs"), "");
    std::string error;
    const bool ok = renderProof("%!PS\nshowpage\n", ts.dir.file("p.png"), error);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("Ghostscript (gs) was not found on PATH"), std::string::npos) << error;
    EXPECT_FALSE(findOnPath("gs").empty());
}

namespace {

// A job that never ends, as a hostile text could once make one.
const char kEndless[] = "%!PS\n{} loop\nshowpage\n";

TEST(ProofLimits, EndlessJobIsStoppedByEitherLimit) {
    TestState ts;
    const std::string tmp = ts.dir.file("tmp");
    std::filesystem::create_directories(tmp);
    testsupport::ScopedEnv env("TMPDIR", tmp);
    struct Limits {
        int wall, cpu;
    };
    for (const Limits l : {Limits{1, 100}, Limits{100, 1}}) {
        RenderOptions options;
        options.wallSeconds = l.wall;
        options.cpuSeconds = l.cpu;
        RenderedPage page;
        std::string output, error;
        EXPECT_FALSE(renderPage(kEndless, options, page, output, error));
        EXPECT_NE(error.find("longer than its time limit"), std::string::npos) << error;
        EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "the temporary folder is removed";
        EXPECT_TRUE(testsupport::processesWithArgument(tmp).empty());
    }
}

// Stopping the program (SIGTERM, as the CLI gets it) ends Ghostscript and removes its folder.
TEST(ProofLimits, GhostscriptEndsWithItsParentAndLeavesNothing) {
    TestState ts;
    const std::string tmp = ts.dir.file("tmp");
    std::filesystem::create_directories(tmp);
    testsupport::ScopedEnv env("TMPDIR", tmp);
    const pid_t child = ::fork();
    if (child == 0) {
        removeTemporaryFoldersOnSignals();
        RenderedPage page;
        std::string output, error;
        renderPage(kEndless, RenderOptions{}, page, output, error);
        ::_exit(0);
    }
    // Wait for Ghostscript to be at work on the job in the temporary folder.
    bool running = false;
    for (int i = 0; i < 5000 && !running; ++i) {
        running = !testsupport::processesWithArgument(tmp).empty();
        if (!running) ::usleep(2000);
    }
    EXPECT_TRUE(running);
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = testsupport::processesWithArgument(tmp).empty();
        if (!gone) ::usleep(10000);
    }
    EXPECT_TRUE(gone) << "Ghostscript outlived the program";
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "the temporary folder stayed";
}

} // namespace
