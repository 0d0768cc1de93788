// Line-exact checks of the job text where a printer depends on it: copies, paper source,
// page size, output bin, the line ends around the raster, the trailers' last bytes, the
// title and the creation date.
#include "job/job.h"
#include "core/progress.h"
#include "job/job_internal.h"
#include "job/job_text.h"
#include "actions/messages.h"
#include "tests/job/job_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

using namespace jobtest;
using testsupport::TestState;

namespace {

const Paper kA4 = {"A4", 595, 842};
const Paper kLetter = {"Letter", 612, 792};

PrintJobParts buildJob(AppState& s, bool blankJob = false) {
    PrintJobParts job;
    if (blankJob) {
        buildBlankPageJob(jobInputs(s), job, feedback(s));
    } else {
        job.imageData = syntheticRaster(s.picture.gridWidth, s.picture.gridHeight);
        buildPrintJob(jobInputs(s), job, feedback(s));
    }
    EXPECT_TRUE(job.ok()) << static_cast<int>(job.problem);
    return job;
}

const std::string kLevelLine = " /languagelevel where {pop languagelevel}{1} ifelse";
const std::string kCopiesSet =
    "2 ge { 1 dict dup /NumCopies 4 -1 roll put setpagedevice }{ userdict /#copies 3 -1 roll "
    "put } ifelse";

} // namespace

struct CopiesCase {
    const char* text;
    int expected; // clamped value written back
};

class Copies : public ::testing::TestWithParam<CopiesCase> {};

TEST_P(Copies, FirstFamilyWritesTheBinaryToken) {
    for (bool blankJob : {false, true}) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, false, kA4);
        setCopies(s, GetParam().text);
        const PrintJobParts job = buildJob(s, blankJob);
        const int n = GetParam().expected;
        EXPECT_EQ(s.layout.copies, n);
        const std::size_t at = job.header.find("%%BeginNonPPDFeature: NumCopies");
        if (n == 1) {
            EXPECT_EQ(at, std::string::npos);
            EXPECT_EQ(job.header.find("NumCopies"), std::string::npos);
            continue;
        }
        const std::string expected =
            "featurebegin{\r\n%%BeginNonPPDFeature: NumCopies " + std::to_string(n) + "\r\n" +
            std::string(1, '\x85') + std::string(1, static_cast<char>(n)) + std::string(3, '\0') +
            kLevelLine + "\r\n" + kCopiesSet + "\r\n%%EndNonPPDFeature\r\n}featurecleanup\r\n\r\n";
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(job.header.substr(at - 15, expected.size()), expected);
        // After the TraySwitch feature and its empty line, before the job type feature.
        EXPECT_LT(job.header.find("*TraySwitch False"), at);
        EXPECT_GT(job.header.find("*OKJob_Type Normal"), at);
    }
}

TEST_P(Copies, SecondFamilyWritesDecimal) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, true, kA4);
    setCopies(s, GetParam().text);
    const PrintJobParts job = buildJob(s);
    const int n = GetParam().expected;
    EXPECT_EQ(s.layout.copies, n);
    const auto lines = crlfLines(job.header);
    const int at = findLine(lines, "%%BeginNonPPDFeature: NumCopies " + std::to_string(n));
    if (n == 1) {
        EXPECT_EQ(job.header.find("NumCopies"), std::string::npos);
        return;
    }
    ASSERT_GT(at, 0);
    const std::vector<std::string> expected = {"featurebegin{",
                                               "%%BeginNonPPDFeature: NumCopies " +
                                                   std::to_string(n),
                                               std::to_string(n) + " " + kLevelLine,
                                               kCopiesSet,
                                               "%%EndNonPPDFeature",
                                               "}featurecleanup",
                                               ""};
    EXPECT_EQ(std::vector<std::string>(lines.begin() + at - 1, lines.begin() + at + 6), expected);
    EXPECT_EQ(job.header.find("TraySwitch"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, Copies,
    ::testing::Values(CopiesCase{"0", 1}, CopiesCase{"1", 1}, CopiesCase{"3", 3},
                      CopiesCase{"250", 99}, CopiesCase{"", 1}, CopiesCase{"many", 1},
                      CopiesCase{"-4", 1}, CopiesCase{"2.6", 3}, CopiesCase{" 12", 12}),
    [](const ::testing::TestParamInfo<CopiesCase>& info) {
        return "Case" + std::to_string(info.index) + "To" + std::to_string(info.param.expected);
    });

TEST(PaperSource, FirstFamilyFeatures) {
    struct Case {
        const char* tray;
        std::vector<std::string> block;
    };
    const std::vector<Case> cases = {
        {"AUTO", {}},
        {"MultiPurpose Tray",
         {"featurebegin{", "%%BeginFeature: *InputSlot FRONT", "",
          " /DriverOps /ProcSet 2 copy resourcestatus{",
          " pop pop findresource 4 exch /setinputslot get exec",
          " }{pop pop}ifelse globaldict /OK@_CustTray 3 put", "%%EndFeature", "}featurecleanup"}},
        {"Tray 1",
         {"featurebegin{", "%%BeginFeature: *InputSlot UPPER", "",
          " /DriverOps /ProcSet 2 copy resourcestatus{",
          " pop pop findresource 1 exch /setinputslot get exec",
          " }{pop pop}ifelse globaldict /OK@_CustTray 0 put", "%%EndFeature", "}featurecleanup"}},
        {"Tray 2", {}},
    };
    for (const auto& c : cases) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, false, kA4);
        s.page.trayText = c.tray;
        const auto lines = crlfLines(buildJob(s).header);
        if (c.block.empty()) {
            EXPECT_EQ(countOf(buildJob(s).header, "*InputSlot"), 0) << c.tray;
        } else {
            EXPECT_EQ(featureBlock(lines, c.block[1]), c.block) << c.tray;
        }
    }
}

TEST(PaperSource, SecondFamilyFrame) {
    struct Case {
        const char* tray;
        std::vector<std::string> inner;
    };
    const std::vector<Case> cases = {
        {"AUTO", {"%%BeginFeature: *InputSlot Tray1", "<< /MediaPosition 1 >> setpagedevice"}},
        {"MultiPurpose Tray",
         {"%%BeginFeature: *InputSlot Manual", "<< /MediaPosition 0 >> setpagedevice"}},
        {"Tray 1", {"%%BeginFeature: *InputSlot Tray1", "<< /MediaPosition 1 >> setpagedevice"}},
        {"Tray 2", {"%%BeginFeature: *InputSlot Tray2", "<< /MediaPosition 2 >> setpagedevice"}},
        {"Bypass", {}},
    };
    for (const auto& c : cases) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, true, kA4);
        s.page.trayText = c.tray;
        const auto lines = crlfLines(buildJob(s).header);
        // The frame follows the page size block: find it after "*PageRegion A4".
        const int region = findLine(lines, "%%BeginFeature: *PageRegion A4");
        ASSERT_GT(region, 0);
        const int frame = findLine(lines, "featurebegin{", region);
        std::vector<std::string> expected = {"featurebegin{"};
        expected.insert(expected.end(), c.inner.begin(), c.inner.end());
        expected.push_back("%%EndFeature");
        expected.push_back("}featurecleanup");
        EXPECT_EQ(
            std::vector<std::string>(lines.begin() + frame,
                                     lines.begin() + frame + static_cast<int>(expected.size())),
            expected)
            << c.tray;
    }
}

TEST(PageSize, FirstFamilyRegionAndCustomBlocks) {
    struct Case {
        Paper paper;
        std::vector<std::string> block;
        std::string origin;
    };
    auto region = [](const char* name, int index, int w, int h) {
        return std::vector<std::string>{
            "featurebegin{",
            std::string("%%BeginFeature: *PageRegion ") + name,
            "",
            " /OK@setpageregion where{ pop " + std::to_string(index) + " OK@setpageregion",
            " }{",
            "  <<",
            "   /PageSize [" + std::to_string(w) + " " + std::to_string(h) + "]",
            "   /MediaType globaldict /OK@MediaType 2 copy known{get}{pop pop null}ifelse",
            "  >> setpagedevice",
            " }ifelse",
            "%%EndFeature",
            "}featurecleanup"};
    };
    auto custom = [](const std::string& size, bool trailingBlank) {
        return std::vector<std::string>{"featurebegin{",
                                        "%%BeginFeature: *CustomPageSize",
                                        "",
                                        size,
                                        "/DriverOps /ProcSet 2 copy resourcestatus{",
                                        "pop pop findresource /setcustompage get exec",
                                        trailingBlank ? "}{pop pop}ifelse " : "}{pop pop}ifelse",
                                        "",
                                        "",
                                        "%%EndFeature",
                                        "}featurecleanup"};
    };
    const std::vector<Case> cases = {
        {{"A4", 595, 842}, region("A4", 0, 595, 842), "12.99968 829.00067"},
        {{"A3", 842, 1191}, region("A3", 26, 842, 1191), "12.99968 1177.99938"},
        {{"A4 SEF", 595, 842}, custom("595 842 0 0 1", false), "12.99968 828.89007"},
        {{"A5 SEF", 420, 595}, region("A5", 5, 420, 595), "12.9997 582.00097"},
        {{"A6 SEF", 297, 420}, region("A6", 20, 297, 420), "12.99968 407.00125"},
        {{"A4BC 210 x 320", 612, 907}, custom("612 907 0 0 1", true), "12.99968 894"},
        {{"A4XL 210 x 420", 612, 1190}, custom("612 1190 0 0 1", true), "12.99968 1177.99938"},
        {{"Letter", 612, 792}, custom(" 612 792 0 0 1", true), "12.9997 779.0000"},
        {{"  Tabloid  ", 792, 1224}, custom(" 792 1224 0 0 1", true), "12.9997 1211.0000"},
    };
    for (const auto& c : cases) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, false, c.paper);
        const auto lines = crlfLines(buildJob(s).header);
        EXPECT_EQ(featureBlock(lines, c.block[1]), c.block) << c.paper.name;
        // Exactly one of the two blocks.
        const std::string other =
            c.block[1] == "%%BeginFeature: *CustomPageSize" ? "*PageRegion" : "*CustomPageSize";
        EXPECT_EQ(countOf(buildJob(s).header, other), 0) << c.paper.name;
        EXPECT_TRUE(hasLine(lines, "/mysetup [ 72 600 V 0 0 -72 600 V " + c.origin + " ] def"))
            << c.paper.name;
    }
}

TEST(PageSize, BlankPageTreatsA4SefAsCustom) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, {"A4 SEF", 595, 842});
    const auto lines = crlfLines(buildJob(s, true).header);
    EXPECT_FALSE(featureBlock(lines, "%%BeginFeature: *CustomPageSize").empty());
    EXPECT_TRUE(hasLine(lines, " 595 842 0 0 1"));
    EXPECT_TRUE(hasLine(lines, "}{pop pop}ifelse "));
    EXPECT_TRUE(hasLine(lines, "/mysetup [ 72 600 V 0 0 -72 600 V 12.9997 829.0000 ] def"));
}

TEST(PageSize, SecondFamilyBlocksAndBoxes) {
    struct Case {
        Paper paper;
        std::vector<std::string> block;
        std::string origin, pageBox, docBox;
    };
    auto custom = [](const std::string& size) {
        return std::vector<std::string>{"featurebegin{",
                                        "%%BeginFeature: *CustomPageSize",
                                        "",
                                        size,
                                        "        pop pop pop",
                                        "        <<            /DeferredMediaSelection true",
                                        "            /PageSize [ 7 -2 roll ]",
                                        "            /ImagingBBox null",
                                        "",
                                        "        >> setpagedevice",
                                        "",
                                        "%%EndFeature",
                                        "}featurecleanup"};
    };
    const std::vector<Case> cases = {
        {{"A4", 595, 842},
         {"featurebegin{", "%%BeginFeature: *PageRegion A4",
          "<< /PageSize [ 595 842 ] /ImagingBBox null >> setpagedevice ", "%%EndFeature",
          "}featurecleanup"},
         "11.99905 830.00128",
         "571 818",
         "583 830"},
        {{"A5 SEF", 420, 595},
         {"featurebegin{  ", "%%BeginFeature: *PageRegion A5 ",
          "<< /PageSize [ 420 595 ] /ImagingBBox null >> setpagedevice", "%%EndFeature",
          "}featurecleanup", ""},
         "11.99905 582.99871",
         "396 571",
         "408 583"},
        {{"A6 SEF", 297, 420},
         {"featurebegin{  ", "%%BeginFeature: *PageRegion A6",
          "<< /PageSize [297 420] /ImagingBBox null >> setpagedevice", "%%EndFeature",
          "}featurecleanup", ""},
         "11.99905 407.99905",
         "273 396",
         "285 408"},
        {{"A4XL 210 x 420", 612, 1190},
         custom("612.0 1190.0 0 0 1"),
         "11.99905 1179",
         "588 1166.8",
         "600 1179"},
        {{"Letter", 612, 792},
         custom("612.0 792.0 0 0 1"),
         "11.99905 780.00095",
         "600 780",
         "612 792"},
    };
    for (const auto& c : cases) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, true, c.paper);
        const PrintJobParts job = buildJob(s);
        const auto lines = crlfLines(job.header);
        const int at = findLine(lines, c.block[1]);
        ASSERT_GT(at, 0) << c.paper.name;
        EXPECT_EQ(
            std::vector<std::string>(lines.begin() + at - 1,
                                     lines.begin() + at - 1 + static_cast<int>(c.block.size())),
            c.block)
            << c.paper.name;
        EXPECT_TRUE(hasLine(lines, "/mysetup [ 72 600 V 0 0 -72 600 V " + c.origin + " ] def "))
            << c.paper.name;
        EXPECT_EQ(countOf(job.header, "%%PageBoundingBox: 12 12 " + c.pageBox + "\r\n"), 2)
            << c.paper.name;
        EXPECT_TRUE(hasLine(crlfLines(job.trailer), "%%BoundingBox: 12 12 " + c.docBox))
            << c.paper.name;
    }
}

TEST(OutputBin, OnlyForStackerModels) {
    const std::vector<std::string> stacker = {"featurebegin{",
                                              "%%BeginFeature: *OutputBin Stacker",
                                              "",
                                              " << /OutputType (Upper) >> setpagedevice",
                                              "%%EndFeature",
                                              "}featurecleanup"};
    for (const auto& [model, expected] : std::vector<std::pair<std::string, bool>>{
             {"C711WT", false}, {"C9420WT", true}, {"ES920WT", true}, {"PRO8432WT", false}}) {
        for (bool blankJob : {false, true}) {
            TestState ts;
            AppState& s = ts.state;
            prepare(s, false, kA4);
            s.target.targetModel = model;
            const PrintJobParts job = buildJob(s, blankJob);
            if (expected)
                EXPECT_EQ(featureBlock(crlfLines(job.header), stacker[1]), stacker) << model;
            else
                EXPECT_EQ(job.header.find("OutputBin"), std::string::npos) << model;
        }
    }
}

TEST(LineEnds, FirstFamilyScaleLineEndsWithLoneLf) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    const PrintJobParts job = buildJob(s);
    EXPECT_NE(job.header.find("%%BeginDocument: Pscript_Win_PassThrough\r\n600 72 div 600 72 div "
                              "scale\ngsave %% Print PostScript gsave\r\n"),
              std::string::npos);
    // The header ends with the line that starts the raster; the raster follows as is.
    EXPECT_TRUE(job.header.ends_with("\r\ncurrentdict end\r\nbeginimage\r\n"));
    EXPECT_EQ(job.header.substr(0, 16), "%!PS-Adobe-3.0\r\n");
    // Three lines end CR LF LF.
    for (const char* l :
         {"globaldict /OK@NupNumber 1 put \r\n\n", "globaldict /OK@Orientation 0 put \r\n\n",
          "globaldict /OK@ColorMono 2 put \r\n\n"})
        EXPECT_NE(job.header.find(l), std::string::npos) << l;
}

TEST(LineEnds, SecondFamilyBeginimageEndsWithLoneCr) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, true, kA4);
    const PrintJobParts job = buildJob(s);
    EXPECT_TRUE(job.header.ends_with("\r\ncurrentdict end\r\nbeginimage\r"));
    EXPECT_EQ(job.header.substr(0, 65),
              "\x1b%-12345X@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n%!PS-Adobe-3.0\r\n");
    EXPECT_NE(job.header.find("600 72 div 600 72 div scale\r\ngsave %% Print PostScript gsave"),
              std::string::npos);
}

TEST(Trailers, LastBytes) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    const PrintJobParts first = buildJob(s);
    EXPECT_TRUE(first.trailer.starts_with("\r\ngrestore end % Image Trailer grestore\r\n"));
    EXPECT_TRUE(first.trailer.ends_with(
        "(%%[LastPage]%%) = \r\n%%EOF\r\n\x1b%-12345X\x1b%-12345X@PJL EOJ\r\n"));

    prepare(s, true, kA4);
    const PrintJobParts second = buildJob(s);
    EXPECT_TRUE(second.trailer.starts_with("\r\ngrestore % Pop clipping grestore\r\ngrestore end "
                                           "% Image Trailer grestore\r\n"));
    EXPECT_TRUE(second.trailer.ends_with("%%Pages: 1\r\n(%%[LastPage]%%) = \r\n%%EOF\r\n\x04"
                                         "\x1b%-12345X@PJL EOJ\n\x1b%-12345X"));

    prepare(s, false, kA4);
    const std::string blank = blankPageBytes(s);
    EXPECT_TRUE(blank.ends_with("\x1b%-12345X@PJL EOJ\r\n\x04\x04"));
}

TEST(ImageSection, FirstFamilyNumbersCarryALeadingBlank) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4, 6, 4, 100.5f, 120);
    s.layout.across = 3;
    s.layout.copySpacingX = 24; // 2 pixels
    const PrintJobParts job = buildJob(s);
    const auto lines = crlfLines(job.header);
    // cols = 6 x 3 + 2 + 2 x 2, rows = 4 + 2; Sx = 72 x 3 + 24 x 2, Sy = 48.
    EXPECT_TRUE(hasLine(lines, "/rows  6 def"));
    EXPECT_TRUE(hasLine(lines, "/cols  24 def"));
    EXPECT_TRUE(hasLine(lines, " 87.5 107 translate"));
    EXPECT_TRUE(hasLine(lines, " 264 48 scale"));
    for (const char* name :
         {"/picstr1", "/picstr2", "/picstr3", "/picstr4", "/picstr5", "/_rowpadstr"})
        EXPECT_TRUE(hasLine(lines, std::string(name) + "  24 string def")) << name;
    EXPECT_EQ(jobImageBytes(job), 24u * 6 * 5);
}

TEST(ImageSection, SecondFamilyNumbersWithoutBlank) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, true, kA4, 6, 4, 100, 8);
    s.layout.placedWidthPt = 72.4f;
    const PrintJobParts job = buildJob(s);
    const auto lines = crlfLines(job.header);
    EXPECT_TRUE(hasLine(lines, "/rows 6 def"));
    EXPECT_TRUE(hasLine(lines, "/cols 8 def"));
    EXPECT_TRUE(hasLine(lines, "88 0 translate"));
    EXPECT_TRUE(hasLine(lines, "72 48 scale"));
    EXPECT_TRUE(hasLine(lines, "/picstr5 8 string def"));
    EXPECT_TRUE(hasLine(lines, "/_rowpadstr 8 string def"));
    EXPECT_TRUE(hasLine(lines, "/CIEBasedDEFG /ColorSpaceFamily resourcestatus {pop pop"));
    EXPECT_TRUE(hasLine(lines, "/Description (U.S. Web Coated (SWOP) v2) def"));
    EXPECT_TRUE(hasLine(lines, "/BlackPoint [0.0210520369 0.0218336175 0.0180106689] def"));
    EXPECT_TRUE(hasLine(lines, "/WhitePoint [0.9642028809 1 0.8249053955] def"));
}

TEST(ImageSection, DataSourcesReadFivePlaneRowsPerRow) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    const auto lines = crlfLines(buildJob(s).header);
    EXPECT_EQ(
        blockOf({lines.begin() + findLine(lines, "{/Decode [0 1] def} ifelse"), lines.end()},
                "band 0 eq {", "] def} if"),
        (std::vector<std::string>{"band 0 eq {", "/MultipleDataSources true def", "/DataSource [",
                                  "{picstr1 readdata}", "{picstr2 readdata}", "{picstr3 readdata}",
                                  "{picstr4 readdata picstr5 readdata pop}", "] def} if"}));
    EXPECT_EQ(
        blockOf(lines, "band 3 eq {", "} def} if"),
        (std::vector<std::string>{"band 3 eq {", "/DataSource {", "picstr1 readdata pop",
                                  "picstr2 readdata pop", "picstr3 readdata",
                                  "picstr4 readdata pop", "picstr5 readdata pop", "} def} if"}));
    EXPECT_EQ(blockOf(lines, "band 5 ge {", "} def} if"),
              (std::vector<std::string>{"band 5 ge {", "/DataSource {", "picstr1 readdata pop",
                                        "picstr2 readdata pop", "picstr3 readdata pop",
                                        "picstr4 readdata pop", "picstr5 readdata", "} def} if"}));
}

TEST(BlankPage, FixedPlacementAndVariants) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    s.target.targetModel = "C650";
    setCopies(s, "3");
    PrintJobParts job;
    buildBlankPageJob(jobInputs(s), job, feedback(s));
    EXPECT_EQ(job.imageData, std::string(2000, '\0'));
    const auto lines = crlfLines(job.header);
    EXPECT_TRUE(hasLine(lines, "%%Title: LVN - blank"));
    EXPECT_TRUE(hasLine(lines, "/rows  20 def"));
    EXPECT_TRUE(hasLine(lines, "/cols  20 def"));
    EXPECT_TRUE(hasLine(lines, "268 393 translate"));
    EXPECT_TRUE(hasLine(lines, " 72 72 scale"));
    EXPECT_TRUE(hasLine(lines, "/picstr1  20 string def"));
    EXPECT_TRUE(hasLine(lines, "%%BeginFeature: *OKControl Graph"));
    EXPECT_TRUE(
        hasLine(lines, "   1 2 false <</SelectColorMode 2 /SelectHalftone 1>> false 6 -1 roll"));
    EXPECT_FALSE(hasLine(lines, "   true 6 -1 roll"));
    EXPECT_TRUE(hasLine(lines, "%%BeginFeature: *OKImageSmoothing False"));
    EXPECT_TRUE(hasLine(lines, "%%BeginFeature: *OKCMYKProfile Link"));
    EXPECT_TRUE(hasLine(lines, " }if }{pop pop}ifelse"));
    EXPECT_EQ(job.header.find("OKHighGlossMode"), std::string::npos);
    EXPECT_EQ(job.header.find("OKOutputMode"), std::string::npos);
    EXPECT_NE(job.header.find(std::string("\x85\x03\0\0\0", 5)), std::string::npos);
}

TEST(ModelFeatures, C650AndC844Variants) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    s.target.targetModel = "C650";
    auto lines = crlfLines(buildJob(s).header);
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *OKCMYKProfile Link "),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *OKCMYKProfile Link ", "",
                                        " /DriverOps /ProcSet 2 copy resourcestatus{ globaldict "
                                        "/OK@_CMYK_IN_LN 2 put",
                                        " }{pop pop}ifelse ", "%%EndFeature", "}featurecleanup"}));
    EXPECT_TRUE(hasLine(lines, "%%BeginFeature: *OKImageSmoothing True"));
    EXPECT_TRUE(hasLine(lines, " globaldict /OK@b_ISmooth true put"));
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *OKHighGlossMode True "),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *OKHighGlossMode True ",
                                        "", "%%EndFeature", "}featurecleanup"}));

    s.target.targetModel = "C711WT";
    lines = crlfLines(buildJob(s).header);
    EXPECT_TRUE(hasLine(lines, "  }if }{pop pop}ifelse"));
    EXPECT_TRUE(hasLine(lines, "%%BeginFeature: *OKImageSmoothing False"));
    EXPECT_EQ(countOf(buildJob(s).header, "OKOutputMode"), 0);

    for (const auto& [media, mode, value] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"Transfer media 07", "Small", "35"},
             {"Transfer media 05", "Small", "35"},
             {"Transfer media 01", "Intermediate", "15"}}) {
        s.target.targetModel = "C844";
        testsupport::setMedium(s, media);
        const std::string header = buildJob(s).header;
        const std::string expected = "featurebegin{\r\n%%BeginFeature: *OKOutputMode " + mode +
                                     "\r\n\r\n<< /PostRenderingEnhance true >> setpagedevice\r\n" +
                                     value +
                                     " /DriverOps /ProcSet 2 copy resourcestatus{\r\npop pop "
                                     "findresource /settonersavevalue get exec}\r\n{pop "
                                     "pop}ifelse%%EndFeature\r\n}featurecleanup\r\n";
        EXPECT_NE(header.find(expected), std::string::npos) << media;
    }
}

TEST(Features, FramesOfFixedFeatures) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    const std::string header = buildJob(s).header;
    const auto lines = crlfLines(header);
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *TraySwitch False"),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *TraySwitch False",
                                        "1 dict dup /TraySwitch false put setpagedevice",
                                        "%%EndFeature", "}featurecleanup"}));
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *OKOutProfile Auto"),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *OKOutProfile Auto", "",
                                        "", "%%EndFeature", "}featurecleanup"}));
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *OKDrumClean OFF"),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *OKDrumClean OFF", "",
                                        "%%EndFeature", "}featurecleanup"}));
    // The page size check is written without the feature wrapper.
    const int check = findLine(lines, "%%BeginFeature: *OKPageSizeCheck False");
    ASSERT_GT(check, 0);
    EXPECT_NE(lines[static_cast<std::size_t>(check - 1)], "featurebegin{");
    EXPECT_EQ(lines[static_cast<std::size_t>(check + 1)], "");
    // The DSC resource names of the prolog.
    for (const char* l :
         {"%%BeginProcSet: OKI_Default_Color_Setting 1.1 0",
          "%%BeginResource: OKI_Driver_Procedure_Patch_Resource 1.0 0",
          "%%BeginProcSet: OKI_InitLoad_ProcSet 1.0 0",
          "userdict /Pscript_WinNT_Incr 230 dict dup begin put",
          "%%BeginResource: file Pscript_FatalError 5.0 0 ", "105000 VM?",
          "%%BeginResource: file Pscript_Win_Basic 5.0 0",
          "%%BeginResource: file Pscript_Win_Utils_L2 5.0 0",
          "%%BeginResource: file Pscript_WinNT_Compat 5.0 0",
          "Pscript_WinNT_Compat begin /$x mysetup def end", "%%BeginNonPPDFeature: JobTimeout 0",
          "%%BeginNonPPDFeature: WaitTimeout 300"})
        EXPECT_TRUE(hasLine(lines, l)) << l;
    // The error handler follows the third CR LF LF line.
    EXPECT_NE(header.find("globaldict /OK@ColorMono 2 put \r\n\n%%BeginResource: file "
                          "Pscript_WinNT_ErrorHandler 5.0 0\r\n"),
              std::string::npos);
    EXPECT_NE(header.find(" /paperparamarray {\r\n"), std::string::npos);
    EXPECT_NE(header.find("% 42 5 x 7in\r\n"), std::string::npos);
    EXPECT_NE(header.find("/PrtVMMsg"), std::string::npos);
    // No line of the job text ends with a lone CR or carries a stray LF except the known ones.
    EXPECT_EQ(countOf(header, "\n") - countOf(header, "\r\n"), 4);
}

TEST(Features, SecondFamilyHasNoFirstFamilyResources) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, true, kA4);
    const std::string header = buildJob(s).header;
    const auto lines = crlfLines(header);
    EXPECT_EQ(header.find("OKI_"), std::string::npos);
    EXPECT_EQ(header.find("globaldict /OK@NupNumber"), std::string::npos);
    EXPECT_TRUE(hasLine(lines, "%%BeginResource: file Pscript_WinNT_VMErrorHandler 5.0 0"));
    EXPECT_TRUE(hasLine(lines, "%%BeginNonPPDFeature: WaitTimeout 120"));
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *Option1 Mem256"),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *Option1 Mem256",
                                        "%%EndFeature", "}featurecleanup"}));
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *Resolution 600dpi"),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *Resolution 600dpi", "",
                                        "%%EndFeature", "}featurecleanup"}));
    EXPECT_EQ(featureBlock(lines, "%%BeginFeature: *HQCyan On"),
              (std::vector<std::string>{"featurebegin{", "%%BeginFeature: *HQCyan On",
                                        "<< /TwoColorPrintCyan true >> setsystemparams",
                                        "%%EndFeature", "}featurecleanup"}));
    EXPECT_TRUE(hasLine(lines, "%%TargetDevice: (C300W_C301W) (3010) 1"));
    EXPECT_TRUE(hasLine(lines, "%%Page: 1 1"));
}

TEST(Title, ProgramNameRemovedInBothFamilies) {
    for (bool second : {false, true}) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, second, kA4);
        s.window.windowTitle = "Lumivane Basic - C:/art/Lumivane Basic - logo.png";
        s.layout.xCopies = 2;
        s.layout.yCopies = 3;
        const auto lines = crlfLines(buildJob(s).header);
        EXPECT_TRUE(hasLine(lines, "%%Title: C:/art/logo.png")) << second;
        EXPECT_EQ(printDocumentName(jobInputs(s)), "C:/art/logo.png 2 x3");
        s.window.windowTitle = "Draxilon Basic - x.png";
        EXPECT_TRUE(hasLine(crlfLines(buildJob(s).header), "%%Title: Draxilon Basic - x.png"));
    }
}

TEST(Title, ControlBytesBecomeQuestionMarksAndLongNamesAreCut) {
    struct Case {
        std::string in, out;
    };
    const std::string e = "\xC3\xA9"; // a two-byte character
    const Case cases[] = {
        {"a\nb\rc\td\x7F"
         "e",
         "a?b?c?d?e"},
        {std::string("x\0y", 3), "x?y"},
        {"caf" + e, "caf" + e},
        {std::string(199, 'n') + e, std::string(199, 'n')},
        {std::string(300, 'n'), std::string(200, 'n')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jobLineText(c.in), c.out) << c.in;
}

TEST(CreationDate, FollowsSourceDateEpoch) {
    setenv("SOURCE_DATE_EPOCH", "1612235045", 1); // 2021-02-02 03:04:05 UTC
    for (bool second : {false, true}) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, second, kA4);
        const PrintJobParts a = buildJob(s);
        const PrintJobParts b = buildJob(s);
        EXPECT_TRUE(hasLine(crlfLines(a.header), second ? "%%CreationDate: 02/02/2021 03:04:05"
                                                        : "%%CreationDate: 02-02-2021 03:04:05"));
        EXPECT_EQ(a.header, b.header);
        EXPECT_EQ(a.trailer, b.trailer);
        EXPECT_EQ(jobBytes(a, feedback(s)), jobBytes(b, feedback(s)));
    }
    unsetenv("SOURCE_DATE_EPOCH");
    TestState ts;
    prepare(ts.state, false, kA4);
    const auto lines = crlfLines(buildJob(ts.state).header);
    const int at = findLine(lines, "%%For: LVN") - 1;
    ASSERT_GT(at, 0);
    const std::string& date = lines[static_cast<std::size_t>(at)];
    // "%%CreationDate: MM-DD-YYYY HH:MM:SS" of the local time.
    ASSERT_EQ(date.size(), 35u) << date;
    EXPECT_EQ(date.substr(0, 16), "%%CreationDate: ");
    EXPECT_EQ(date[18], '-');
    EXPECT_EQ(date[21], '-');
    EXPECT_EQ(date[29], ':');
}

TEST(Failure, TilingOverTheLimitBuildsNothing) {
    for (bool second : {false, true}) {
        TestState ts;
        AppState& s = ts.state;
        prepare(s, second, kLetter, 1, 1);
        s.layout.placedWidthPt = 1;
        s.layout.placedHeightPt = 1;
        s.page.printableWidthPt = 1e9f;
        s.page.printableHeightPt = 1e9f;
        s.layout.across = 3;
        s.layout.down = 42949671; // (3 + 2) x (42949671 + 2) x 5 = 2^30 + 1 bytes
        PrintJobParts job;
        job.imageData = syntheticRaster(1, 1);
        buildPrintJob(jobInputs(s), job, feedback(s));
        EXPECT_EQ(job.problem, JobProblem::TooLarge);
        EXPECT_TRUE(job.imageData.empty());
        EXPECT_TRUE(job.header.empty());
        EXPECT_TRUE(job.trailer.empty());
        // What the print action tells the user.
        const auto messages = jobFailureMessages(s.language, job.problem);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(messages[0].caption, "Lumivane Basic");
        EXPECT_EQ(messages[0].text, "The original image is to big\r\nfor the requested "
                                    "copies\r\nPlease reduce the size/resolution");
        std::string error;
        EXPECT_FALSE(writeJobFile(job, ts.dir.file("job.prn"), error, feedback(s)));
        EXPECT_FALSE(testsupport::fileExists(ts.dir.file("job.prn")));
    }
}

TEST(Progress, StatusAndBar) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    ts.ui.clear();
    buildJob(s);
    ASSERT_FALSE(ts.ui.calls.empty());
    EXPECT_EQ(ts.ui.calls[0].kind, "status");
    EXPECT_EQ(ts.ui.calls[0].text, "<<<<<    Creating print    >>>>>");
    std::vector<int> bar;
    for (const auto& c : ts.ui.calls)
        if (c.kind == "progress") bar.push_back(c.value);
    // The copies are tiled while the job is written, not while it is built.
    EXPECT_EQ(bar, (std::vector<int>{0, 0, 25, 75, 100}));
}

TEST(JobFile, SpoolOrderWithTheCopiesTiledWhileWritten) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, true, kA4, 3, 2);
    s.layout.across = 3;
    s.layout.down = 2;
    // The tiled raster as the in-memory tiling makes it.
    std::string tiled = syntheticRaster(s.picture.gridWidth, s.picture.gridHeight);
    int cols = 0, rows = 0;
    float sx = 0, sy = 0;
    ASSERT_EQ(tileRaster(jobInputs(s), 3, 2, cols, rows, sx, sy, tiled, feedback(s)),
              JobProblem::None);
    const PrintJobParts job = buildJob(s);
    EXPECT_EQ(jobImageBytes(job), tiled.size());
    ts.ui.clear();
    std::string error;
    ASSERT_TRUE(writeJobFile(job, ts.dir.file("job.prn"), error, feedback(s))) << error;
    EXPECT_TRUE(testsupport::readFile(ts.dir.file("job.prn")) == job.header + tiled + job.trailer);
    std::vector<int> bar;
    for (const auto& c : ts.ui.calls)
        if (c.kind == "progress") bar.push_back(c.value);
    ASSERT_FALSE(bar.empty());
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_EQ(bar.front(), 0);
    EXPECT_EQ(bar.back(), 100);
    // The same job may be written again (a second print of the same layout).
    ASSERT_TRUE(writeJobFile(job, ts.dir.file("again.prn"), error, feedback(s))) << error;
    EXPECT_TRUE(testsupport::readFile(ts.dir.file("again.prn")) ==
                testsupport::readFile(ts.dir.file("job.prn")));
}

TEST(JobFile, FailedOrCancelledWriteLeavesNoJob) {
    TestState ts;
    AppState& s = ts.state;
    prepare(s, false, kA4);
    const PrintJobParts job = buildJob(s);
    std::string error;
    EXPECT_FALSE(writeJobFile(job, ts.dir.file("missing/job.prn"), error, feedback(s)));
    EXPECT_FALSE(error.empty());
    // A full device: the write fails and says why; the device itself is left alone.
    EXPECT_FALSE(writeJobFile(job, "/dev/full", error, feedback(s)));
    EXPECT_NE(error.find("No space"), std::string::npos) << error;
    EXPECT_TRUE(testsupport::fileExists("/dev/full"));
    // A cancel while the image data goes: no half job file stays behind.
    ProgressSink sink;
    ProgressScope scope(s, &sink);
    sink.requestCancel();
    EXPECT_FALSE(writeJobFile(job, ts.dir.file("cancelled.prn"), error, feedback(s)));
    EXPECT_FALSE(testsupport::fileExists(ts.dir.file("cancelled.prn")));
}

// The job templates and the writers that fill them must agree: a template line without a
// slot, a slot no line uses, or a missing template is a fault, never a job with a hole.
TEST(Templates, SlotsAndTemplatesMustAgree) {
    std::string out;
    JobText w(out);
    EXPECT_THROW(jobparts::writeTemplate(w, "no_such_template.ps", {}), std::logic_error);
    EXPECT_THROW(jobparts::writeTemplate(w, "timeouts.ps", {}), std::logic_error);
    EXPECT_THROW(jobparts::writeTemplate(w, "timeouts.ps",
                                         {jobparts::waitTimeoutSlot(5), {"not_in_it", {}}}),
                 std::logic_error);

    out.clear();
    jobparts::writeTemplate(w, "timeouts.ps", {jobparts::waitTimeoutSlot(7)});
    EXPECT_EQ(out.find("@@"), std::string::npos) << "notes are not sent";
    EXPECT_EQ(out.find("@wait"), std::string::npos);
    EXPECT_NE(out.find("%%BeginNonPPDFeature: JobTimeout 0\r\n"), std::string::npos);
    EXPECT_NE(out.find("%%BeginNonPPDFeature: WaitTimeout 7\r\n7 /languagelevel"),
              std::string::npos);
    std::size_t lf = 0, crlf = 0;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] == '\n') ++lf, crlf += i > 0 && out[i - 1] == '\r';
    EXPECT_EQ(lf, crlf) << "every line ends CR LF";
}

// An included resource is written as it is embedded, each line with CR LF.
TEST(Templates, IncludedResourceKeepsItsBytes) {
    std::string out;
    JobText w(out);
    jobparts::writeTemplate(w, "compatibility.ps", {});
    std::string compat(jobparts::jobResource("winnt_compat.ps"));
    ASSERT_FALSE(compat.empty());
    std::string crlf;
    JobText(crlf).block(compat);
    EXPECT_NE(out.find("%%BeginResource: file Pscript_WinNT_Compat 5.0 0\r\n" + crlf +
                       "%%EndResource\r\n"),
              std::string::npos);
}
