// The media feature blocks of both families for the chosen medium and target model.
#include "job/job.h"
#include "tests/job/job_fixture.h"

#include <gtest/gtest.h>

using namespace jobtest;
using testsupport::TestState;

namespace {

std::vector<std::string> blockLines(const std::string& block) {
    auto lines = crlfLines(block);
    if (!lines.empty() && lines.back().empty()) lines.pop_back(); // the final CR LF
    return lines;
}

const std::vector<std::string> kPrinterDefault = {
    "featurebegin{",   "%%BeginFeature: *OKMediaType PRINTERDEFAULT", "", "", "%%EndFeature",
    "}featurecleanup "};

std::vector<std::string> weightBlock(const std::string& name, int weight, bool trailing = false) {
    return {"featurebegin{",
            "%%BeginFeature: *OKMediaType " + name,
            "",
            "/DriverOps /ProcSet 2 copy resourcestatus{",
            " pop pop findresource",
            " null globaldict /OK@MediaType 2 copy known{get}{pop pop (Plain)}ifelse",
            " null " + std::to_string(weight) + " false dup 7 -1 roll /custsetpd get exec" +
                (trailing ? " " : ""),
            "}{pop pop}ifelse",
            "%%EndFeature",
            "}featurecleanup "};
}

std::vector<std::string> userType(int n) {
    const std::string num = std::to_string(n);
    return {"featurebegin{",
            "%%BeginFeature: *MediaType USERTYPE" + num,
            "",
            "(USERTYPE" + num +
                ")  true setglobal 20 string copy globaldict /OK@MediaType 3 -1 roll put false "
                "setglobal",
            "%%EndFeature",
            n >= 16 ? "}featurecleanup " : "}featurecleanup"};
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct FirstCase {
    const char* model;
    const char* media;
    int index;
    std::vector<std::string> block;
};

} // namespace

TEST(FirstFamilyMedia, IndexAndBlock) {
    const std::vector<FirstCase> cases = {
        {"C711WT", "Transfer media 01", 25, {}},
        {"C844", "Transfer media 07", 35, concat(userType(3), kPrinterDefault)},
        {"C711WT", "Something else", 0, kPrinterDefault},
        {"C711WT", "Transfer media 07", 0, kPrinterDefault},
        {"C650", "Transfer media 13", 7, weightBlock("ULTRAHEAVY2", 220)},
        {"C711WT", "Printer Setting", 1, kPrinterDefault},
        {"C711WT", "Light", 2, weightBlock("LIGHT", 74)},
        {"C711WT", "Heavy", 5, weightBlock("HEAVY", 120)},
        {"C711WT", "Ultra Heavy 1", 6, weightBlock("ULTRAHEAVY1", 188, true)},
        {"C711WT", "Ultra Heavy 3", 8, weightBlock("ULTRAHEAVY3", 250)},
        {"C711WT", "Transfer media 02", 13, weightBlock("HEAVY", 120)},
        {"C332", "Transfer media 02", 20, {}}, // class A: MEDIUM (checked below)
        {"C332", "Transfer media 03", 13, weightBlock("HEAVY", 120)},
        {"C711WT", "Transfer media 03", 14, weightBlock("ULTRAHEAVY1", 188, true)},
        {"C711WT", "Transfer media 13", 15, weightBlock("HEAVY", 120)},
        {"C831", "Transfer media 13", 15, weightBlock("ULTRAHEAVY1", 188, true)},
        {"C831", "Transfer media 05", 30, weightBlock("ULTRAHEAVY3", 250)},
        {"C711WT", "Transfer media 09", 26, weightBlock("ULTRAHEAVY1", 188, true)},
        {"C834", "Transfer media 13", 31, concat(kPrinterDefault, userType(16))},
        {"C843", "Transfer media 05", 32, concat(kPrinterDefault, userType(18))},
        {"C844", "Transfer media 01", 25, {}},
        {"C844", "Usertype1", 33, concat(userType(1), kPrinterDefault)},
        {"C650", "Glossy", 11, {}},
        {"C650", "Usertype2", 7, weightBlock("ULTRAHEAVY2", 220)},
    };
    for (const auto& c : cases) {
        TestState ts;
        AppState& s = ts.state;
        setMediaTexts(s, false);
        s.target.targetModel = c.model;
        testsupport::setMedium(s, c.media);
        EXPECT_EQ(firstFamilyMediaIndex(jobInputs(s)), c.index) << c.model << " " << c.media;
        if (!c.block.empty() || c.index == 25) {
            EXPECT_EQ(blockLines(buildFirstFamilyMediaFeature(jobInputs(s))), c.block)
                << c.model << " " << c.media;
        }
    }
}

TEST(FirstFamilyMedia, WhitespaceOfMediumBlocks) {
    TestState ts;
    AppState& s = ts.state;
    setMediaTexts(s, false);
    s.target.targetModel = "C711WT";
    testsupport::setMedium(s, "Medium Light");
    EXPECT_EQ(blockLines(buildFirstFamilyMediaFeature(jobInputs(s))),
              (std::vector<std::string>{
                  "featurebegin{", "%%BeginFeature: *OKMediaType MEDIUMLIGHT ",
                  "/DriverOps /ProcSet 2 copy resourcestatus{", " pop pop findresource",
                  " null globaldict /OK@MediaType 2 copy known{get}{pop pop (Plain)}ifelse ",
                  " null 82 false dup 7 -1 roll /custsetpd get exec", "}{pop pop}ifelse",
                  "%%EndFeature", "}featurecleanup "}));
    for (const char* medium : {"Medium", "Transfer media 06", "Transfer media 14"}) {
        testsupport::setMedium(s, medium);
        const auto lines = blockLines(buildFirstFamilyMediaFeature(jobInputs(s)));
        ASSERT_EQ(lines.size(), 10u) << medium;
        EXPECT_EQ(lines[1], "%%BeginFeature: *OKMediaType MEDIUM ");
        EXPECT_EQ(lines[2], " ");
        for (std::size_t i = 3; i <= 7; ++i)
            EXPECT_TRUE(lines[i].ends_with(" ")) << lines[i];
        EXPECT_EQ(lines[6], " null 104 false dup 7 -1 roll /custsetpd get exec ");
    }
    s.target.targetModel = "C332";
    testsupport::setMedium(s, "Transfer media 02");
    EXPECT_EQ(blockLines(buildFirstFamilyMediaFeature(jobInputs(s)))[1],
              "%%BeginFeature: *OKMediaType MEDIUM ");
}

TEST(FirstFamilyMedia, LabelsGlossyAndFilms) {
    TestState ts;
    AppState& s = ts.state;
    setMediaTexts(s, false);
    auto line = [&](const char* model, const char* medium) {
        s.target.targetModel = model;
        testsupport::setMedium(s, medium);
        return blockLines(buildFirstFamilyMediaFeature(jobInputs(s)));
    };
    EXPECT_EQ(line("C711WT", "Labels 1")[1], "%%BeginFeature: *OKMediaType Labels1");
    EXPECT_EQ(line("C711WT", "Labels 1")[5],
              " null (Labels) null 120 false true 7 -1 roll /custsetpd get exec");
    EXPECT_EQ(line("C711WT", "Transfer media 15")[1], "%%BeginFeature: *OKMediaType Labels1");
    EXPECT_EQ(line("C831", "Transfer media 15")[1], "%%BeginFeature: *OKMediaType Labels2");
    EXPECT_EQ(line("C711WT", "Transfer media 05")[5],
              " null (Labels) null 188 false true 7 -1 roll /custsetpd get exec");
    EXPECT_EQ(line("C711WT", "Glossy")[5],
              " null (Glossy) null 188 false dup 7 -1 roll /custsetpd get exec");
    const auto films = line("C711WT", "Films");
    ASSERT_EQ(films.size(), 11u);
    EXPECT_EQ(films[1], "%%BeginFeature: *OKMediaType Transparency");
    EXPECT_EQ(films[6], " statusdict /papertray 2 copy known{get exec dup 4 eq exch 1 eq or "
                        "not}{pop pop false}ifelse ");
}

TEST(FirstFamilyMedia, DarkFoilNameFromTheLanguageFile) {
    TestState ts;
    AppState& s = ts.state;
    setMediaTexts(s, false);
    s.target.targetModel = "C711WT";
    s.language.texts[198] = "Transfer media 16 Dark";
    testsupport::setMedium(s, "Transfer media 16 Dark");
    EXPECT_EQ(firstFamilyMediaIndex(jobInputs(s)), 30);
    s.language.texts[198] = "Transfer media 16";
    testsupport::setMedium(s, "Transfer media 16");
    EXPECT_EQ(firstFamilyMediaIndex(jobInputs(s)), 16);
}

TEST(SecondFamilyMedia, IndexAndBlock) {
    auto feature = [](const std::string& option, const std::string& type) {
        return std::vector<std::string>{"%%BeginFeature: *MediaType " + option,
                                        "<< /MediaType (" + type +
                                            ") /DeferredMediaSelection true >> setpagedevice"};
    };
    auto frame = [](std::vector<std::string> inner) {
        inner.insert(inner.begin(), "featurebegin{");
        inner.push_back("%%EndFeature");
        inner.push_back("}featurecleanup");
        return inner;
    };
    struct Case {
        const char* model;
        const char* media;
        int index;
        std::vector<std::string> block;
    };
    const std::vector<Case> cases = {
        {"C300W", "Transfer media 02", 0, frame({})},
        {"C300W", "Auto (Plain&Recycled)", 1, frame(feature("PlainRecycled", "PlainRecycled"))},
        {"C300W", "Thin", 4, frame(feature("Thinner", "Lighter"))},
        {"C300W", "Plain 2", 5,
         frame(concat(feature("Thin", "Light"), feature("Coated", "Coated")))},
        {"C300W", "Glossy", 11, frame(feature("Glossy", "Glossy"))},
        {"C300W", "Films", 0, frame({})},
        {"C360", "Transfer media 02", 7, frame(feature("PlainP", "Heavy"))},
        {"C360", "Transfer media 10", 7, frame(feature("PlainP", "Heavy"))},
        {"PC300W", "Transfer media 10", 10, frame(feature("Labels", "Labels"))},
        {"PC301W", "Transfer media 17", 7, frame(feature("PlainP", "Heavy"))},
    };
    for (const auto& c : cases) {
        TestState ts;
        AppState& s = ts.state;
        setMediaTexts(s, true);
        s.target.targetModel = c.model;
        testsupport::setMedium(s, c.media);
        EXPECT_EQ(secondFamilyMediaIndex(jobInputs(s)), c.index) << c.model << " " << c.media;
        EXPECT_EQ(blockLines(buildSecondFamilyMediaFeature(jobInputs(s))), c.block)
            << c.model << " " << c.media;
    }
}
