// Jobs of both families and the blank page run through Ghostscript as the reference
// interpreter: they finish without a PostScript error, leave the interpreter's stacks as
// they found them, and their rendered planes carry the separated raster at the place the
// layout chose, with the fifth plane never shown.
#include "job/job.h"
#include "job/proof.h"
#include "tests/job/job_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

using namespace jobtest;
using testsupport::TestState;

namespace {

constexpr int kDpi = 36;

// Appended after the job: what is left on the operand and dictionary stacks.
const char kStackReport[] = "\n(LVN-STACK ) print count =only ( ) print countdictstack =\n";

// The page origin (points from the bottom-left corner of the page, y up) of the page set-up
// matrix, as each family's writer defines it for the paper.
struct Origin {
    double x, y;
};
Origin firstFamilyOrigin(std::string_view paper, int heightPt, bool blankJob) {
    if (paper == "A4") return {12.99968, 829.00067};
    if (paper == "A3") return {12.99968, 1177.99938};
    if (paper == "A4 SEF" && !blankJob) return {12.99968, 828.89007};
    if (paper == "A5 SEF") return {12.9997, 582.00097};
    if (paper == "A6 SEF") return {12.99968, 407.00125};
    if (paper.substr(0, 6) == "A4XL 2") return {12.99968, 1177.99938};
    return {12.9997, heightPt - 13.0};
}
Origin secondFamilyOrigin(std::string_view paper, int heightPt) {
    if (paper == "A4") return {11.99905, 830.00128};
    if (paper == "A5 SEF") return {11.99905, 582.99871};
    if (paper == "A6 SEF") return {11.99905, 407.99905};
    if (paper.substr(0, 6) == "A4XL 2") return {11.99905, 1179};
    return {11.99905, heightPt - 11.99905};
}

struct Geometry {
    int cols, rows;
    double sx, sy; // printed size in points
    double tx, ty; // translation in points
    int gxp, gyp;  // gaps between copies in raster pixels
};

const unsigned char* at(const RenderedPage& page, double xPt, double yPtFromTop) {
    const int x = static_cast<int>(std::floor(xPt * kDpi / 72.0));
    const int y = static_cast<int>(std::floor(yPtFromTop * kDpi / 72.0));
    if (x < 0 || y < 0 || x >= page.width || y >= page.height) return nullptr;
    return reinterpret_cast<const unsigned char*>(page.pixels.data()) +
           (static_cast<std::size_t>(y) * static_cast<std::size_t>(page.width) +
            static_cast<std::size_t>(x)) *
               static_cast<std::size_t>(page.channels);
}

// Renders the job (framing stripped) on a page of the paper's size, fixed so that a
// custom page size the interpreter cannot set still gives the paper.
RenderedPage render(const std::string& job, const Paper& paper, std::string& output,
                    const std::string& prelude = {}, const std::string& device = "pamcmyk32") {
    RenderedPage page;
    std::string error;
    RenderOptions options;
    options.device = device;
    options.dpi = kDpi;
    options.fixedWidthPt = paper.widthPt;
    options.fixedHeightPt = paper.heightPt;
    const bool ok =
        renderPage(prelude + stripPjl(job) + kStackReport, options, page, output, error);
    EXPECT_TRUE(ok) << error;
    return page;
}

void expectCleanStacks(const std::string& output) {
    // Nothing left on the operand stack; systemdict, globaldict and userdict only.
    EXPECT_NE(output.find("LVN-STACK 0 3"), std::string::npos) << output;
}

// Every sample of the raster at its copy positions, and no ink outside the printed area.
void expectPlanes(const RenderedPage& page, const AppState& s, const Origin& o, const Geometry& g,
                  int paperHeightPt) {
    const double colPt = g.sx / g.cols, rowPt = g.sy / g.rows;
    const double left = o.x + g.tx, top = paperHeightPt - o.y + g.ty;
    int checked = 0;
    for (int cy = 0; cy < s.layout.down; ++cy)
        for (int cx = 0; cx < s.layout.across; ++cx)
            for (int y = 0; y < s.picture.gridHeight; ++y)
                for (int x = 0; x < s.picture.gridWidth; ++x) {
                    const int col = cx * (s.picture.gridWidth + g.gxp) + x;
                    const int row = cy * (s.picture.gridHeight + g.gyp) + y;
                    const unsigned char* p =
                        at(page, left + (col + 0.5) * colPt, top + (row + 0.5) * rowPt);
                    ASSERT_NE(p, nullptr);
                    for (int plane = 1; plane <= 4; ++plane)
                        ASSERT_EQ(p[plane - 1], sample(plane, x, y))
                            << "plane " << plane << " of pixel " << x << "," << y << " copy " << cx
                            << "," << cy;
                    ++checked;
                }
    EXPECT_EQ(checked,
              s.layout.across * s.layout.down * s.picture.gridWidth * s.picture.gridHeight);
    // No ink outside the image area (one device pixel of slack at its edges).
    const double slack = 72.0 / kDpi;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(page.pixels.data()) +
                            (static_cast<std::size_t>(y) * page.width + x) * 4;
            if (!(p[0] | p[1] | p[2] | p[3])) continue;
            const double xp = (x + 0.5) * 72.0 / kDpi, yp = (y + 0.5) * 72.0 / kDpi;
            ASSERT_TRUE(xp > left - slack && xp < left + g.sx + slack && yp > top - slack &&
                        yp < top + g.sy + slack)
                << "ink at device pixel " << x << "," << y;
        }
}

Geometry expectedGeometry(const AppState& s, double offset) {
    // Spacing given in whole raster pixels (12 points a pixel), so no fit step applies.
    Geometry g{};
    g.gxp = static_cast<int>(s.picture.gridWidth * s.layout.copySpacingX / s.layout.placedWidthPt);
    g.gyp =
        static_cast<int>(s.picture.gridHeight * s.layout.copySpacingY / s.layout.placedHeightPt);
    g.cols = s.picture.gridWidth * s.layout.across + 2 + g.gxp * (s.layout.across - 1);
    g.rows = s.picture.gridHeight * s.layout.down + 2 + g.gyp * (s.layout.down - 1);
    g.sx = s.layout.placedWidthPt * s.layout.across + s.layout.copySpacingX * (s.layout.across - 1);
    g.sy = s.layout.placedHeightPt * s.layout.down + s.layout.copySpacingY * (s.layout.down - 1);
    g.tx = std::max(0.0, s.layout.imagePosX - offset);
    g.ty = std::max(0.0, s.layout.imagePosY - offset);
    return g;
}

struct RenderCase {
    const char* paper;
    const char* tray;
    const char* media;
    const char* copies;
    int across, down;
    float spacing;
};

const RenderCase kCases[] = {
    {"A4", "AUTO", "Printer Setting", "1", 1, 1, 0},
    {"A3", "MultiPurpose Tray", "Transfer media 02", "3", 3, 2, 24},
    {"A4 SEF", "Tray 1", "Medium", "0", 2, 1, 12},
    {"A5 SEF", "Tray 2", "Transfer media 13", "250", 1, 3, 36},
    {"A6 SEF", "AUTO", "Glossy", "", 2, 2, 12},
    {"A4XL 210 x 420", "MultiPurpose Tray", "Transfer media 07", "2", 1, 1, 0},
    {"Letter", "Tray 1", "Labels 1", "abc", 3, 1, 24},
};

const Paper& paperNamed(std::string_view name) {
    for (const auto& p : papers())
        if (name == p.name) return p;
    throw std::runtime_error("no paper");
}

} // namespace

class RenderTable : public ::testing::TestWithParam<std::tuple<RenderCase, bool>> {};

TEST_P(RenderTable, PlanesLandWhereTheLayoutPutThem) {
    const auto& [c, second] = GetParam();
    TestState ts;
    AppState& s = ts.state;
    const Paper& paper = paperNamed(c.paper);
    prepare(s, second, paper);
    s.page.trayText = c.tray;
    testsupport::setMedium(s,
                           second && std::string_view(c.media) == "Medium" ? "Plain 2" : c.media);
    setCopies(s, c.copies);
    s.layout.across = c.across;
    s.layout.down = c.down;
    s.layout.copySpacingX = c.spacing;
    s.layout.copySpacingY = c.spacing;

    PrintJobParts job;
    job.imageData = syntheticRaster(s.picture.gridWidth, s.picture.gridHeight);
    buildPrintJob(jobInputs(s), job, feedback(s));
    ASSERT_TRUE(job.ok()) << static_cast<int>(job.problem);
    const Geometry g = expectedGeometry(s, second ? 12 : 13);
    ASSERT_EQ(jobImageBytes(job), static_cast<std::size_t>(g.cols) * g.rows * 5);

    // The second family's image is in a CIE-based colour space; the interpreter converts it
    // with its own colour management, so the planes are compared with that space hidden
    // (DeviceCMYK, as on an interpreter without it). The job is also run as it is below.
    const std::string hideCie =
        second ? "userdict /resourcestatus { 2 copy /ColorSpaceFamily eq exch /CIEBasedDEFG eq "
                 "and { pop pop false } { systemdict /resourcestatus get exec } ifelse } bind put\n"
               : "";
    std::string output;
    const RenderedPage page = render(jobBytes(job, feedback(s)), paper, output, hideCie);
    expectCleanStacks(output);
    ASSERT_EQ(page.channels, 4);
    const Origin o = second ? secondFamilyOrigin(c.paper, paper.heightPt)
                            : firstFamilyOrigin(c.paper, paper.heightPt, false);
    expectPlanes(page, s, o, g, paper.heightPt);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, RenderTable,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<RenderCase, bool>>& info) {
                             std::string name = std::get<0>(info.param).paper;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name + (std::get<1>(info.param) ? "_second" : "_first") +
                                    std::to_string(info.index);
                         });

TEST(SecondFamilyRender, CieBasedImageRendersAtTheSamePlace) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, true, paperNamed("A4"), 6, 4, 200, 300);
    PrintJobParts job;
    job.imageData = syntheticRaster(6, 4);
    buildPrintJob(jobInputs(s), job, feedback(s));
    std::string output;
    const RenderedPage page = render(jobBytes(job, feedback(s)), paperNamed("A4"), output);
    expectCleanStacks(output);
    const Geometry g = expectedGeometry(s, 12);
    const Origin o = secondFamilyOrigin("A4", 842);
    const double colPt = g.sx / g.cols, rowPt = g.sy / g.rows;
    // Where no toner is asked for the colour space gives white; where toner is asked, ink.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const unsigned char* p =
                at(page, o.x + g.tx + (x + 0.5) * colPt, 842 - o.y + g.ty + (y + 0.5) * rowPt);
            ASSERT_NE(p, nullptr);
            const int ink = p[0] + p[1] + p[2] + p[3];
            const int asked = sample(1, x, y) + sample(2, x, y) + sample(3, x, y) + sample(4, x, y);
            if (asked == 0)
                EXPECT_LE(ink, 8) << x << "," << y;
            else
                EXPECT_GT(ink, 20) << x << "," << y;
        }
    // The two blank columns and rows the tiling adds print nothing.
    const unsigned char* pad =
        at(page, o.x + g.tx + (6.5) * colPt, 842 - o.y + g.ty + (0.5) * rowPt);
    ASSERT_NE(pad, nullptr);
    EXPECT_LE(pad[0] + pad[1] + pad[2] + pad[3], 8);
}

TEST(GreyDevice, OnlyTheFifthPlanePrints) {
    for (bool second : {false, true}) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, second, paperNamed("A4"));
        PrintJobParts job;
        job.imageData = syntheticRaster(6, 4);
        buildPrintJob(jobInputs(s), job, feedback(s));
        std::string output;
        const RenderedPage page =
            render(jobBytes(job, feedback(s)), paperNamed("A4"), output, {}, "pgmraw");
        expectCleanStacks(output);
        ASSERT_EQ(page.channels, 1);
        const Geometry g = expectedGeometry(s, second ? 12 : 13);
        const Origin o =
            second ? secondFamilyOrigin("A4", 842) : firstFamilyOrigin("A4", 842, false);
        const double colPt = g.sx / g.cols, rowPt = g.sy / g.rows;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const unsigned char* p =
                    at(page, o.x + g.tx + (x + 0.5) * colPt, 842 - o.y + g.ty + (y + 0.5) * rowPt);
                ASSERT_NE(p, nullptr);
                // Plane 5 holds 0xAA everywhere: printed as that much ink.
                EXPECT_NEAR(*p, 255 - 0xAA, 2) << x << "," << y;
            }
        // Outside the picture the page stays white.
        const unsigned char* outside = at(page, 400, 600);
        ASSERT_NE(outside, nullptr);
        EXPECT_EQ(*outside, 255);
    }
}

TEST(BlankPageRender, FeedsASheetWithoutToner) {
    for (const Paper& paper : papers()) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, false, paper);
        setCopies(s, "3");
        s.page.trayText = "MultiPurpose Tray";
        testsupport::setMedium(s, "Transfer media 05");
        PrintJobParts job;
        buildBlankPageJob(jobInputs(s), job, feedback(s));
        ASSERT_EQ(job.imageData, std::string(2000, '\0'));
        std::string output;
        const RenderedPage page = render(jobBytes(job, feedback(s)), paper, output);
        expectCleanStacks(output);
        ASSERT_EQ(page.channels, 4);
        EXPECT_EQ(page.pixels.find_first_not_of('\0'), std::string::npos) << paper.name;
    }
}

// A file name is the job's title: whatever it holds, the interpreter runs only the job. A
// line break, CR or NUL in the name must not end the title comment and start a command.
TEST(TitleRender, HostileFileNameRunsNothing) {
    const std::string hostile[] = {
        std::string("inj\n(LVN-INJECTED) = flush\n%.png"),
        std::string("inj\r(LVN-INJECTED) = flush\r%.png"),
        std::string("inj\r\n(LVN-INJECTED) = flush\f%.png", 33),
        std::string("inj\0\n(LVN-INJECTED) = flush\n%.png", 34),
    };
    for (bool second : {false, true}) {
        for (const std::string& name : hostile) {
            TestState ts;
            AppState& s = ts.state;
            const Paper& paper = paperNamed("A4");
            prepare(s, second, paper);
            s.window.windowTitle = "Lumivane Basic - /home/user/" + name;
            PrintJobParts job;
            job.imageData = syntheticRaster(s.picture.gridWidth, s.picture.gridHeight);
            buildPrintJob(jobInputs(s), job, feedback(s));
            ASSERT_TRUE(job.ok()) << static_cast<int>(job.problem);
            std::string output;
            render(jobBytes(job, feedback(s)), paper, output);
            EXPECT_EQ(output.find("LVN-INJECTED"), std::string::npos) << second << output;
            expectCleanStacks(output);
            const std::string doc = printDocumentName(jobInputs(s));
            EXPECT_EQ(std::count_if(doc.begin(), doc.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                      0);
            EXPECT_NE(doc.find("(LVN-INJECTED) = flush"), std::string::npos) << doc;
        }
    }
}
