#include "model/paper.h"

#include "image/placement.h"
#include "model/models.h"

#include "actions/app_state.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testsupport::TestState;

bool listed(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

void setMargins(AppState& s, const char* top, const char* left, const char* right,
                const char* bottom) {
    writeSetting(s.settings, keys::kTopMargin, top);
    writeSetting(s.settings, keys::kLeftMargin, left);
    writeSetting(s.settings, keys::kRightMargin, right);
    writeSetting(s.settings, keys::kBottomMargin, bottom);
}

std::string margin(const AppState& s, const char* which) {
    return s.settings.read("Active", std::string(which) + " Margin");
}

TEST(PrinterClass, ByModelSubstring) {
    struct Case {
        const char* model;
        int cls;
    };
    const Case cases[] = {
        {"C711WT", 0}, {"PRO8432WT", 3}, {"C650", 4}, {"C300W", 5}, {"C301W", 5},
        {"C311W", 5},  {"C251FW", 0},    {"C844", 2}, {"C831", 2},  {"C332", 0},
    };
    for (const Case& c : cases) {
        AppState s;
        s.target.targetModel = c.model;
        EXPECT_EQ(printerClass(s.target), c.cls) << c.model;
    }
}

TEST(PaperList, BuiltInEntriesByClass) {
    struct Case {
        const char* model;
        std::vector<std::string> list;
    };
    const Case cases[] = {
        {"C711WT", {"A4XL 216x420mm", "A4", "A5 SEF", "A6 SEF"}},
        {"C844", {"A3", "A4XL 216x420mm", "A4", "A4 SEF", "A5 SEF", "A6 SEF"}},
        {"PRO8432WT", {"A3", "A4XL 216x420mm", "A4", "A4 SEF", "A5 SEF", "A6 SEF"}},
        {"C650", {"A4XL 216x420mm", "A4", "A5 SEF", "A6 SEF", "Business Card 55*85mm"}},
        // Class 5 has neither "A3", "A4XL 216x420mm" nor "A4 SEF".
        {"C300W", {"A4", "A5 SEF", "A6 SEF"}},
    };
    for (const Case& c : cases) {
        TestState t;
        t.state.target.targetModel = c.model;
        t.state.page.paperText = "A5 SEF";
        EXPECT_EQ(buildPaperList(t.state.target, t.state.settings, t.state.page), c.list)
            << c.model;
        EXPECT_EQ(t.state.page.paperList, c.list);
        EXPECT_EQ(t.state.page.paperText, "A4");
    }
}

TEST(PaperSize, BuiltInNamesByFirstSixCharacters) {
    struct Case {
        const char* name;
        int width;
        int height;
    };
    const Case cases[] = {
        {"A3", 842, 1191},
        {"A4", 595, 842},
        {"A4 SEF", 595, 842},
        {"A4 S4", 595, 842},
        {"A5 SEF", 420, 595},
        {"A6 SEF", 297, 420},
        {"Mug 90x200", 255, 695},
        {"A4BC 210x297", 612, 907},
        {"Business Card 55*85mm", 156, 258},
        {"A4XL 216x420mm", 612, 1191},
    };
    for (const Case& c : cases) {
        TestState t;
        t.state.page.paperWidthPt = 1;
        t.state.page.paperHeightPt = 1;
        EXPECT_TRUE(selectPaper(t.state.page, t.state.settings, c.name)) << c.name;
        EXPECT_EQ(t.state.page.paperWidthPt, c.width) << c.name;
        EXPECT_EQ(t.state.page.paperHeightPt, c.height) << c.name;
        EXPECT_EQ(t.state.page.paperText, c.name);
    }
    int w = 0, h = 0;
    EXPECT_FALSE(builtInPaperSize("A4 custom", w, h)); // first six "A4 cus"
    EXPECT_FALSE(builtInPaperSize("A", w, h));
}

TEST(PaperSize, UnknownNameKeepsTheSize) {
    TestState t;
    t.state.page.paperWidthPt = 420;
    t.state.page.paperHeightPt = 595;
    EXPECT_FALSE(selectPaper(t.state.page, t.state.settings, "No such paper"));
    EXPECT_EQ(t.state.page.paperWidthPt, 420);
    EXPECT_EQ(t.state.page.paperHeightPt, 595);
}

TEST(SnapshotPaper, FirstFourCharacters) {
    TestState t;
    struct Case {
        const char* name;
        int width;
        int height;
    };
    const Case cases[] = {{"A4", 595, 842},
                          {"A5 SEF", 420, 595},
                          {"A6 SEF", 297, 420},
                          {"A4BC 2", 623, 879},
                          {"Legal", 612, 1008},
                          {"Letter", 612, 792},
                          {"A4XL 216x420mm", 612, 1191}};
    for (const Case& c : cases) {
        int w = 0, h = 0;
        EXPECT_TRUE(snapshotPaperSize(t.state.settings, c.name, w, h)) << c.name;
        EXPECT_EQ(w, c.width) << c.name;
        EXPECT_EQ(h, c.height) << c.name;
    }
    ASSERT_EQ(addCustomPaper(t.state.settings, "Wrap", 300.4, 500.6, 0, 0, 0, 0),
              CustomPaperError::None);
    int w = 0, h = 0;
    EXPECT_TRUE(snapshotPaperSize(t.state.settings, "Wrap", w, h));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 501);
    EXPECT_FALSE(snapshotPaperSize(t.state.settings, "Unknown", w, h));
}

TEST(CustomPaper, TagsByWidth) {
    struct Case {
        double width;
        const char* tag;
    };
    const Case cases[] = {{100.0, "0"},  {612.28, "0"}, {612.29, "5"}, {708.66142, "5"},
                          {841.99, "5"}, {842.0, "9"},  {1200.0, "9"}};
    for (const Case& c : cases)
        EXPECT_EQ(customWidthTag(c.width), c.tag) << c.width;
}

TEST(CustomPaper, RecordFormatAndRoundTrip) {
    TestState t;
    // 250 mm x 300 mm with 5 mm margins all round.
    const double mm = 72.0 / 25.4;
    ASSERT_EQ(addCustomPaper(t.state.settings, "Wide 250", 250 * mm, 300 * mm, 5 * mm, 5 * mm,
                             5 * mm, 5 * mm),
              CustomPaperError::None);
    EXPECT_EQ(readSetting(t.state.settings, keys::kCustomPaperCount), "1");
    EXPECT_EQ(t.state.settings.read("Papers", "Custom1"),
              "Wide 250^708.66142^850.39370^5^14.17323^14.17323^14.17323^14.17323");
    ASSERT_EQ(addCustomPaper(t.state.settings, "Big", 900, 1000.5, 0, 0, 0, 0),
              CustomPaperError::None);
    EXPECT_EQ(readSetting(t.state.settings, keys::kCustomPaperCount), "2");
    EXPECT_EQ(t.state.settings.read("Papers", "Custom2"),
              "Big^900.00000^1000.50000^9^0.00000^0.00000^0.00000^0.00000");

    std::vector<CustomPaper> papers = readCustomPapers(t.state.settings);
    ASSERT_EQ(papers.size(), 2u);
    EXPECT_EQ(papers[0].name, "Wide 250");
    EXPECT_NEAR(papers[0].widthPt, 708.66142, 1e-6);
    EXPECT_NEAR(papers[0].heightPt, 850.3937, 1e-6);
    EXPECT_EQ(papers[0].tag, "5");
    EXPECT_NEAR(papers[0].bottomPt, 14.17323, 1e-6);
    EXPECT_EQ(papers[1].tag, "9");
}

TEST(CustomPaper, ListedByClassAndTag) {
    struct Case {
        const char* model;
        bool narrow; // tag "0"
        bool wide;   // tag "5"
        bool huge;   // tag "9"
    };
    const Case cases[] = {
        {"C711WT", true, false, false},   {"C844", true, true, true},
        {"PRO8432WT", true, true, false}, {"C650", true, false, false},
        {"C300W", true, false, false},
    };
    for (const Case& c : cases) {
        TestState t;
        t.state.target.targetModel = c.model;
        ASSERT_EQ(addCustomPaper(t.state.settings, "Narrow", 500, 700, 0, 0, 0, 0),
                  CustomPaperError::None);
        // 250 mm wide: tag "5", for classes 2 and 3 only.
        ASSERT_EQ(addCustomPaper(t.state.settings, "250mm", 708.66, 800, 0, 0, 0, 0),
                  CustomPaperError::None);
        ASSERT_EQ(addCustomPaper(t.state.settings, "Huge", 900, 1100, 0, 0, 0, 0),
                  CustomPaperError::None);
        std::vector<std::string> list =
            buildPaperList(t.state.target, t.state.settings, t.state.page);
        EXPECT_EQ(listed(list, "Narrow"), c.narrow) << c.model;
        EXPECT_EQ(listed(list, "250mm"), c.wide) << c.model;
        EXPECT_EQ(listed(list, "Huge"), c.huge) << c.model;
        // Custom sizes follow the built-in entries.
        EXPECT_EQ(list.back(), c.huge ? "Huge" : c.wide ? "250mm" : "Narrow") << c.model;
    }
}

TEST(CustomPaper, SelectingSetsSizeAndMargins) {
    TestState t;
    setMargins(t.state, "1296", "1296", "1296", "1307");
    ASSERT_EQ(addCustomPaper(t.state.settings, "Label", 300.6, 400.4, 10.5, 11, 12, 13.25),
              CustomPaperError::None);
    ASSERT_TRUE(selectPaper(t.state.page, t.state.settings, "Label"));
    EXPECT_EQ(t.state.page.paperWidthPt, 301);
    EXPECT_EQ(t.state.page.paperHeightPt, 400);
    EXPECT_EQ(margin(t.state, "Top"), "1050");
    EXPECT_EQ(margin(t.state, "Left"), "1100");
    EXPECT_EQ(margin(t.state, "Right"), "1200");
    EXPECT_EQ(margin(t.state, "Bottom"), "1325");
    EXPECT_FLOAT_EQ(t.state.page.printableWidthPt, 301 - 11 - 12);
    EXPECT_FLOAT_EQ(t.state.page.printableHeightPt, 400 - 10.5f - 13.25f);
}

TEST(CustomPaper, ZeroMarginsKeepTheCurrentMargins) {
    TestState t;
    setMargins(t.state, "1500", "1600", "1700", "1800");
    ASSERT_EQ(addCustomPaper(t.state.settings, "Plain", 400, 500, 0, 0, 0, 0),
              CustomPaperError::None);
    ASSERT_TRUE(selectPaper(t.state.page, t.state.settings, "Plain"));
    EXPECT_EQ(margin(t.state, "Top"), "1500");
    EXPECT_EQ(margin(t.state, "Left"), "1600");
    EXPECT_EQ(margin(t.state, "Right"), "1700");
    EXPECT_EQ(margin(t.state, "Bottom"), "1800");
    EXPECT_FLOAT_EQ(t.state.page.printableWidthPt, 400 - 16 - 17);
    EXPECT_FLOAT_EQ(t.state.page.printableHeightPt, 500 - 15 - 18);
}

TEST(CustomPaper, RefusedInput) {
    TestState t;
    struct Case {
        const char* name;
        double w, h, margin;
        CustomPaperError error;
    };
    const std::string longName(250, 'x');
    const Case cases[] = {
        {"", 100, 100, 0, CustomPaperError::BadName},
        {"a^b", 100, 100, 0, CustomPaperError::BadName},
        {"two\nlines", 100, 100, 0, CustomPaperError::BadName},
        {"A4", 100, 100, 0, CustomPaperError::ReservedName},
        {"Mug 90 big", 100, 100, 0, CustomPaperError::ReservedName},
        {"Zero", 0, 100, 0, CustomPaperError::BadSize},
        {"Negative", 100, -5, 0, CustomPaperError::BadSize},
        {"NegMargin", 100, 100, -1, CustomPaperError::BadMargin},
        {longName.c_str(), 100, 100, 0, CustomPaperError::TooLong},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(addCustomPaper(t.state.settings, c.name, c.w, c.h, c.margin, c.margin, c.margin,
                                 c.margin),
                  c.error)
            << c.name;
    }
    EXPECT_TRUE(readSetting(t.state.settings, keys::kCustomPaperCount).empty());
    EXPECT_TRUE(readCustomPapers(t.state.settings).empty());
}

TEST(CustomPaper, SameNameReplacesTheSize) {
    TestState t;
    ASSERT_EQ(addCustomPaper(t.state.settings, "Shirt", 400, 500, 0, 0, 0, 0),
              CustomPaperError::None);
    ASSERT_EQ(addCustomPaper(t.state.settings, "Other", 300, 300, 0, 0, 0, 0),
              CustomPaperError::None);
    ASSERT_EQ(addCustomPaper(t.state.settings, "Shirt", 410, 520, 0, 0, 0, 0),
              CustomPaperError::None);
    EXPECT_EQ(readSetting(t.state.settings, keys::kCustomPaperCount), "2");
    ASSERT_TRUE(selectPaper(t.state.page, t.state.settings, "Shirt"));
    EXPECT_EQ(t.state.page.paperWidthPt, 410);
    EXPECT_EQ(t.state.page.paperHeightPt, 520);
}

TEST(CustomPaper, DeleteMovesLaterEntriesDown) {
    TestState t;
    for (const char* name : {"One", "Two", "Three"})
        ASSERT_EQ(addCustomPaper(t.state.settings, name, 300, 400, 0, 0, 0, 0),
                  CustomPaperError::None);
    EXPECT_TRUE(deleteCustomPaper(t.state.settings, "Two"));
    EXPECT_EQ(readSetting(t.state.settings, keys::kCustomPaperCount), "2");
    EXPECT_EQ(t.state.settings.read("Papers", "Custom3"), "");
    std::vector<CustomPaper> papers = readCustomPapers(t.state.settings);
    ASSERT_EQ(papers.size(), 2u);
    EXPECT_EQ(papers[0].name, "One");
    EXPECT_EQ(papers[1].name, "Three");
    EXPECT_FALSE(deleteCustomPaper(t.state.settings, "Two"));
    EXPECT_TRUE(deleteCustomPaper(t.state.settings, "One"));
    EXPECT_TRUE(deleteCustomPaper(t.state.settings, "Three"));
    EXPECT_EQ(readSetting(t.state.settings, keys::kCustomPaperCount), "0");
    EXPECT_TRUE(readCustomPapers(t.state.settings).empty());
    // The next size starts at Custom1 again.
    ASSERT_EQ(addCustomPaper(t.state.settings, "Four", 300, 400, 0, 0, 0, 0),
              CustomPaperError::None);
    EXPECT_EQ(readSetting(t.state.settings, keys::kCustomPaperCount), "1");
}

TEST(CustomPaper, DamagedRecordsAreSkipped) {
    TestState t;
    writeSetting(t.state.settings, keys::kCustomPaperCount, "99999999");
    t.state.settings.write("Papers", "Custom1", "Good^300^400^0^0^0^0^0");
    t.state.settings.write("Papers", "Custom2", "NoSize^0^0^0");
    t.state.settings.write("Papers", "Custom3", "^300^400^0");
    t.state.settings.write("Papers", "Custom4", "Short^300");
    t.state.settings.write("Papers", "Custom5", "Bare^350^450");
    std::vector<CustomPaper> papers = readCustomPapers(t.state.settings);
    ASSERT_EQ(papers.size(), 2u);
    EXPECT_EQ(papers[0].name, "Good");
    EXPECT_EQ(papers[1].name, "Bare");
    EXPECT_EQ(papers[1].tag, "0");
    EXPECT_EQ(papers[1].topPt, 0.0);
    t.state.page.paperWidthPt = 595;
    EXPECT_FALSE(selectPaper(t.state.page, t.state.settings, "NoSize"));
    EXPECT_EQ(t.state.page.paperWidthPt, 595);
}

TEST(CustomPaper, RangesByUnitAndClass) {
    struct Case {
        const char* model;
        const char* unit;
        const char* width;
        const char* height;
    };
    const Case cases[] = {
        {"C711WT", "M", "(63...215.9)", "(127..1320.8)"},
        {"C711WT", "I", "(2.52...8.50)", "(5.00...52.0)"},
        {"C844", "C", "(7.62...32.808)", "(8.996..120.015)"},
        {"PRO8432WT", "M", "(63.86...297.03)", "(89.61..431.80)"},
        {"PRO8432", "M", "(63...215.9)", "(127..1320.8)"},
        {"C650", "I", "(2.52...11.69)", "(3.53...17.00)"},
        {"C311W", "C", "(9.0...21.6)", "(14.8..35.6)"},
        {"C300W", "X", "(90...216)", "(148..356)"},
    };
    for (const Case& c : cases) {
        AppState s;
        s.target.targetModel = c.model;
        CustomSizeRanges r = customSizeRanges(s.target, unitFromSetting(c.unit));
        EXPECT_EQ(r.width, c.width) << c.model << ' ' << c.unit;
        EXPECT_EQ(r.height, c.height) << c.model << ' ' << c.unit;
    }
}

TEST(Margins, MinimumsByPrinter) {
    struct Case {
        const char* model;
        const char* stored[4]; // top, left, right, bottom
        const char* after[4];
        float leftRight, topBottom;
    };
    const Case cases[] = {
        // A stored top of 10 points on a C711 class printer is raised.
        {"C711WT",
         {"1000", "1296", "1296", "1308"},
         {"1296", "1296", "1296", "1308"},
         25.92f,
         26.04f},
        // 13.07 is below the 13.08 minimum: rewritten "1307", counted as 13.08.
        {"C711WT",
         {"1296", "1296", "1296", "1307"},
         {"1296", "1296", "1296", "1307"},
         25.92f,
         26.04f},
        // A C650 top of 13.00 is below 13.01: rewritten "1296", counted as 13.01.
        {"C650", {"1300", "1400", "1400", "1296"}, {"1296", "1400", "1400", "1296"}, 28.0f, 25.97f},
        {"C650",
         {"1301", "1301", "1301", "1295"},
         {"1301", "1301", "1301", "1307"},
         26.02f,
         25.97f},
        {"C301W",
         {"1199", "1283", "1235", "1212"},
         {"1200", "1284", "1236", "1213"},
         25.2f,
         24.13f},
        {"C251FW",
         {"1200", "1284", "1236", "1213"},
         {"1200", "1284", "1236", "1213"},
         25.2f,
         24.13f},
        // Missing keys count as 0 and are raised.
        {"C711WT", {"", "", "", ""}, {"1296", "1296", "1296", "1307"}, 25.92f, 26.04f},
    };
    const char* names[4] = {"Top", "Left", "Right", "Bottom"};
    for (const Case& c : cases) {
        TestState t;
        t.state.target.targetModel = c.model;
        for (int i = 0; i < 4; ++i)
            if (*c.stored[i])
                t.state.settings.write("Active", std::string(names[i]) + " Margin", c.stored[i]);
        MarginSums sums = enforceMargins(t.state.target, t.state.settings, t.state.page);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(margin(t.state, names[i]), c.after[i]) << c.model << ' ' << names[i];
        EXPECT_NEAR(sums.leftRight, c.leftRight, 1e-4) << c.model;
        EXPECT_NEAR(sums.topBottom, c.topBottom, 1e-4) << c.model;
        EXPECT_NEAR(t.state.page.printableWidthPt, 595 - c.leftRight, 1e-3);
        EXPECT_NEAR(t.state.page.printableHeightPt, 842 - c.topBottom, 1e-3);
    }
}

TEST(Margins, PrintableAreaAndOversize) {
    TestState t;
    setMargins(t.state, "1296", "1296", "1296", "1307");
    t.state.picture.imageWidthPt = 600;
    t.state.picture.imageHeightPt = 300;
    t.state.layout.placedWidthPt = 600;
    t.state.layout.placedHeightPt = 300;
    computePrintableArea(t.state.settings, t.state.page);
    EXPECT_NEAR(t.state.page.printableWidthPt, 595 - 25.92, 1e-3);
    EXPECT_NEAR(t.state.page.printableHeightPt, 842 - 26.03, 1e-3);
    EXPECT_NEAR(t.state.page.margins.bottom, 13.07, 1e-9);
    // The picture was wider than the printable area: fitted, aspect kept.
    handleOversize(t.state.layout, t.state.page, t.state.picture);
    EXPECT_NEAR(t.state.layout.placedWidthPt, 569.08, 1e-3);
    EXPECT_NEAR(t.state.layout.placedHeightPt, 284.54, 1e-3);
}

TEST(Margins, RestoreFromBackups) {
    TestState t;
    setMargins(t.state, "1296", "1296", "1296", "1307");
    writeSetting(t.state.settings, keys::kTopMarginBackup, "2000");
    writeSetting(t.state.settings, keys::kLeftMarginBackup, "1500.4");
    restoreMargins(t.state.settings, t.state.page);
    EXPECT_EQ(margin(t.state, "Top"), "2000");
    EXPECT_EQ(margin(t.state, "Left"), "1500");
    EXPECT_EQ(margin(t.state, "Right"), "1296");
    EXPECT_EQ(margin(t.state, "Bottom"), "1307");
    EXPECT_NEAR(t.state.page.printableWidthPt, 595 - 15.0 - 12.96, 1e-3);
    EXPECT_NEAR(t.state.page.printableHeightPt, 842 - 20.0 - 13.07, 1e-3);
}

TEST(Margins, MissingEmptyOrDamagedBackupLeavesTheMargin) {
    TestState t;
    setMargins(t.state, "1296", "1296", "1296", "1307");
    writeSetting(t.state.settings, keys::kTopMarginBackup, "");
    writeSetting(t.state.settings, keys::kLeftMarginBackup, "abc");
    writeSetting(t.state.settings, keys::kRightMarginBackup, "0");
    restoreMargins(t.state.settings, t.state.page);
    EXPECT_EQ(margin(t.state, "Top"), "1296");
    EXPECT_EQ(margin(t.state, "Left"), "1296");
    EXPECT_EQ(margin(t.state, "Right"), "0"); // a real backup of 0 is honoured
    EXPECT_EQ(margin(t.state, "Bottom"), "1307");
    EXPECT_NEAR(t.state.page.printableWidthPt, 595 - 12.96, 1e-3);
}

TEST(TrayList, ByMediumAndFamily) {
    struct Case {
        const char* brand;
        const char* model;
        const char* media;
        bool a4;
        std::vector<std::string> list;
        const char* selected;
    };
    const Case cases[] = {
        {"OKI",
         "C711WT",
         "Printer Setting",
         true,
         {"AUTO", "MultiPurpose Tray", "Tray 1", "Tray 2"},
         "AUTO"},
        {"RICOH", "C300W", "Glossy", false, {"AUTO", "MultiPurpose Tray", "Tray 1"}, "AUTO"},
        {"OKI",
         "C711WT",
         "Transfer media 01",
         true,
         {"MultiPurpose Tray", "Tray 2"},
         "MultiPurpose Tray"},
        {"OKI", "C711WT", "Transfer media 14", false, {"MultiPurpose Tray"}, "MultiPurpose Tray"},
        {"RICOH",
         "C301W",
         "Transfer media 05",
         true,
         {"MultiPurpose Tray", "Tray 1", "Tray 2"},
         "Tray 2"},
        {"RICOH", "C301W", "Transfer media 05", false, {"MultiPurpose Tray", "Tray 1"}, "Tray 1"},
        {"OKI",
         "C711WT",
         "Transfer media 03",
         false,
         {"MultiPurpose Tray", "Tray 1"},
         "MultiPurpose Tray"},
        {"OKI", "C711WT", "Transfer media 10", false, {"MultiPurpose Tray"}, "MultiPurpose Tray"},
        {"RICOH", "C311W", "Transfer media 10", true, {"Tray 1", "Tray 2"}, "Tray 1"},
        {"OKI", "C711WT", "Transfer media 13", true, {"Tray 1", "Tray 2"}, "Tray 2"},
        {"OKI", "C711WT", "Transfer media 16", false, {"Tray 1"}, "Tray 1"},
        // The C844 feeds every transfer medium from the multipurpose tray.
        {"OKI", "C844", "Transfer media 13", false, {"MultiPurpose Tray"}, "MultiPurpose Tray"},
        {"OKI",
         "C844",
         "Transfer media 07",
         true,
         {"MultiPurpose Tray", "Tray 2"},
         "MultiPurpose Tray"},
    };
    for (const Case& c : cases) {
        TestState t;
        t.state.target.targetBrand = c.brand;
        t.state.target.targetModel = c.model;
        t.state.page.paperWidthPt = c.a4 ? 595 : 420;
        t.state.page.paperHeightPt = c.a4 ? 842 : 595;
        testsupport::setMedium(t.state, c.media);
        t.state.page.trayList = {"old"};
        t.state.page.trayText = "old";
        fillTrayList(t.state.target, t.state.language, t.state.page);
        EXPECT_EQ(t.state.page.trayList, c.list) << c.model << ' ' << c.media;
        EXPECT_EQ(t.state.page.trayText, c.selected) << c.model << ' ' << c.media;
    }
}

TEST(TrayList, UnnamedMediaLeaveTheList) {
    for (const char* media :
         {"Transfer media 07", "Transfer media 12", "Transfer media 17", "", "Something else"}) {
        TestState t;
        testsupport::setMedium(t.state, media);
        t.state.page.trayList = {"AUTO", "Tray 1"};
        t.state.page.trayText = "Tray 1";
        EXPECT_FALSE(
            trayListForMedia(t.state.target, t.state.language, t.state.page, t.state.page.mediaId)
                .changed)
            << media;
        fillTrayList(t.state.target, t.state.language, t.state.page);
        EXPECT_EQ(t.state.page.trayList, (std::vector<std::string>{"AUTO", "Tray 1"})) << media;
        EXPECT_EQ(t.state.page.trayText, "Tray 1");
    }
}

} // namespace
