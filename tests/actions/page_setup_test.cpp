// The rules behind the page set-up dialogs, the colour curves editor and configuration
// snapshots: what the windows call.
#include "actions/actions.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "core/tone_curves.h"
#include "model/paper.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

using testsupport::TestState;

// A state set up as the main window sets it up, for model.
void start(TestState& ts, const std::string& model) {
    ASSERT_EQ(chooseTargetPrinter(ts.state, model), ActionResult::Done);
}

// Answers file dialogs with a chosen path and remembers what it was asked.
struct FileDialogs : testsupport::RecordingUserInterface {
    std::string answer;
    bool save = false;
    std::string title, filter, start;
    int asked = 0;
    std::string chooseFile(bool s, const std::string& t, const std::string& f,
                           const std::string& i) override {
        ++asked;
        save = s, title = t, filter = f, start = i;
        return answer;
    }
};

std::string margins(const AppState& s) {
    std::string out;
    for (const char* k : {"Top Margin", "Left Margin", "Right Margin", "Bottom Margin"})
        out += s.settings.read("Active", k) + " ";
    return out;
}

TEST(Snapshot, SparseAndBadFilesLoadTheirFallbacksRaisedToTheMinimums) {
    struct Case {
        const char* what;
        std::string content;
        const char* model;
        int width, height;
        int whiteMask;
        const char* margins;
    } cases[] = {
        {"only A5 SEF", "[Active]\r\nPaperSize=A5 SEF\r\n", "C711WT", 420, 595, 40,
         "1296 1296 1296 1307 "},
        {"second family minimums", "[Active]\r\nPaperSize=A5 SEF\r\n", "C301W", 420, 595, 40,
         "1200 1284 1236 1213 "},
        {"not an INI file", std::string("\x89PNG\r\n\x1a\n\0\0garbage", 16), "C711WT", 595, 842, 40,
         "1296 1296 1296 1307 "},
        {"absurd margins",
         "[Active]\r\nTop Margin=-500\r\nLeft Margin=abc\r\nRight Margin=1e99\r\n"
         "Bottom Margin=99999999999\r\nWhite Mask %=70\r\n",
         "C711WT", 595, 842, 70, "1296 1296 1296 1307 "},
        {"unknown paper", "[Active]\r\nPaperSize=Poster 2m\r\nTop Margin=2000\r\n", "C711WT", 595,
         842, 40, "2000 1296 1296 1307 "},
        {"Letter by its first characters", "[Active]\r\nPaperSize=Letter\r\n", "C711WT", 612, 792,
         40, "1296 1296 1296 1307 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestState ts;
        start(ts, c.model);
        AppState& s = ts.state;
        const std::string path = ts.dir.file("s.scfg");
        testsupport::writeFile(path, c.content);
        ASSERT_EQ(applySnapshot(s, path), ActionResult::Done);
        EXPECT_EQ(s.page.paperWidthPt, c.width);
        EXPECT_EQ(s.page.paperHeightPt, c.height);
        EXPECT_EQ(s.record.whiteMaskPercent, c.whiteMask);
        EXPECT_EQ(margins(s), c.margins);
        const double lr = settingValue(readSetting(s.settings, keys::kLeftMargin)) / 100 +
                          settingValue(readSetting(s.settings, keys::kRightMargin)) / 100;
        EXPECT_NEAR(s.page.printableWidthPt, c.width - lr, 1e-3);
    }
}

TEST(Snapshot, AMalformedProfileLoadsZeroAndAGoodOneIsTaken) {
    TestState ts;
    start(ts, "C711WT");
    AppState& s = ts.state;
    const std::string path = ts.dir.file("p.scfg");
    const std::string good = "FFF8AAA0584E0000FFF8AAA0584E0000FFF8AAA0584E0000";
    testsupport::writeFile(path, "[KYMC]\r\nProfile=" + good + "\r\n");
    ASSERT_EQ(applySnapshot(s, path), ActionResult::Done);
    EXPECT_EQ(colourAdjustText(s.colour), good);
    for (const std::string& bad : {good.substr(0, 46), good.substr(0, 47) + "G", good + "00"}) {
        testsupport::writeFile(path, "[KYMC]\r\nProfile=" + bad + "\r\n");
        ASSERT_EQ(applySnapshot(s, path), ActionResult::Done);
        EXPECT_EQ(colourAdjustText(s.colour), std::string(48, '0')) << bad;
    }
}

TEST(Snapshot, ShippedSnapshotsLoadAndNameThePhotoOne) {
    TestState ts;
    start(ts, "C711WT");
    AppState& s = ts.state;
    EXPECT_NE(text(s.language, 205).find("WhiteFirstPhoto.scfg"), std::string::npos);
    for (const char* name :
         {"WhiteFirstPhoto.scfg", "StandardArtworkA4.scfg", "StandardA5SEF.scfg"}) {
        SCOPED_TRACE(name);
        const std::string path = s.locations.programFolder + name;
        ASSERT_TRUE(testsupport::fileExists(path));
        // Each file says in its first line what it is for.
        EXPECT_EQ(testsupport::readFile(path).rfind("; ", 0), 0u);
        ASSERT_EQ(applySnapshot(s, path), ActionResult::Done);
        EXPECT_EQ(readProfileString(path, "KYMC", "Profile").size(), 48u);
        EXPECT_EQ(colourAdjustText(s.colour), readProfileString(path, "KYMC", "Profile"));
        EXPECT_EQ(s.page.paperText, readProfileString(path, "Active", "PaperSize"));
    }
    EXPECT_EQ(s.page.paperWidthPt, 420); // the last one is A5 SEF
}

TEST(Snapshot, SaveAndLoadCommandsAskForTheFileAndRememberIt) {
    TestState ts;
    start(ts, "C711WT");
    AppState& s = ts.state;
    FileDialogs dialogs;
    s.ui = &dialogs;

    // Cancelled: nothing written.
    EXPECT_EQ(saveSettingsCommand(s), ActionResult::Cancelled);
    EXPECT_TRUE(dialogs.save);
    EXPECT_EQ(dialogs.title, "Save Settings");
    EXPECT_EQ(dialogs.filter, "SCFG Files .scfg (*.scfg)");
    EXPECT_EQ(dialogs.start, "");
    EXPECT_EQ(readSetting(s.settings, keys::kLastConfig), "");

    // Saved over a file with white keys: those stay; the extension is added.
    const std::string file = ts.dir.file("mine.scfg");
    testsupport::writeFile(file, "[Active]\r\nWhite Mask %=55\r\n");
    dialogs.answer = ts.dir.file("mine");
    ASSERT_TRUE(choosePaper(s, "A5 SEF") == ActionResult::Done);
    ASSERT_EQ(saveSettingsCommand(s), ActionResult::Done);
    EXPECT_EQ(readSetting(s.settings, keys::kLastConfig), file);
    EXPECT_EQ(readProfileString(file, "Active", "White Mask %"), "55");
    EXPECT_EQ(readProfileString(file, "Active", "PaperSize"), "A5 SEF");
    EXPECT_EQ(readProfileString(file, "Active", "Bottom Margin"), "1307");
    EXPECT_EQ(readProfileString(file, "KYMC", "Profile"), colourAdjustText(s.colour));

    // Load starts at "Last Config" and applies the file.
    ASSERT_TRUE(choosePaper(s, "A4") == ActionResult::Done);
    writeSetting(s.settings, keys::kUnit, "I");
    dialogs.answer = file;
    ASSERT_EQ(loadSettingsCommand(s), ActionResult::Done);
    EXPECT_FALSE(dialogs.save);
    EXPECT_EQ(dialogs.title, "Load Settings");
    EXPECT_EQ(dialogs.start, file);
    EXPECT_EQ(s.record.unit, Unit::Inch);
    EXPECT_EQ(s.record.whiteMaskPercent, 55);
    EXPECT_EQ(s.page.paperText, "A5 SEF");
    EXPECT_EQ(s.page.paperWidthPt, 420);

    dialogs.answer.clear();
    EXPECT_EQ(loadSettingsCommand(s), ActionResult::Cancelled);
    EXPECT_EQ(s.page.paperText, "A5 SEF");
}

TEST(CustomPaperDialog, RangesByClassAndUnitAreEnforced) {
    struct Case {
        const char* model;
        const char* unit;
        const char* width;
        const char* height;
        bool accepted;
        const char* message; // part of the refusal
    } cases[] = {
        {"C711WT", "M", "63", "127", true, ""},
        {"C711WT", "M", "215.9", "1320.8", true, ""},
        {"C711WT", "M", "62.9", "200", false, "(63...215.9) mm"},
        {"C711WT", "M", "100", "1321", false, "(127..1320.8) mm"},
        {"C711WT", "I", "8.5", "5", true, ""},
        {"C711WT", "I", "8.6", "5", false, "(2.52...8.50) Inch"},
        {"C711WT", "C", "21,59", "12.7", true, ""},
        {"C844", "M", "328.08", "89.96", true, ""},
        {"C844", "M", "330", "100", false, "(76.2...328.08) mm"},
        {"PRO8432WT", "C", "6.3", "9", false, "(6.38...29.70) cm"},
        {"C650", "M", "55", "91", true, ""},
        {"C301W", "M", "217", "200", false, "(90...216) mm"},
        {"C301W", "M", "wide", "200", false, "(90...216) mm"},
        {"C301W", "I", "4", "14.03", false, "(5.82...14.02) Inch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.unit + " " + c.width + " x " + c.height);
        TestState ts;
        start(ts, c.model);
        AppState& s = ts.state;
        ASSERT_EQ(chooseUnit(s, c.unit), ActionResult::Done);
        ts.ui.clear();
        const ActionResult r = saveCustomPaperSize(s, "Mine", c.width, c.height, "", "", "", "");
        EXPECT_EQ(r, c.accepted ? ActionResult::Done : ActionResult::Refused);
        EXPECT_EQ(readCustomPapers(s.settings).size(), c.accepted ? 1u : 0u);
        if (!c.accepted) {
            ASSERT_EQ(ts.ui.messages().size(), 1u);
            EXPECT_NE(ts.ui.messages()[0].text.find(c.message), std::string::npos)
                << ts.ui.messages()[0].text;
        }
    }
}

TEST(CustomPaperDialog, SavedSizeIsListedAtOnceAndDeleteRenumbers) {
    TestState ts;
    start(ts, "C711WT");
    AppState& s = ts.state;
    ASSERT_EQ(saveCustomPaperSize(s, "Mug wrap", "200", "130", "5", "5", "5", "5"),
              ActionResult::Done);
    ASSERT_EQ(saveCustomPaperSize(s, "Label", "100", "150", "", "", "", ""), ActionResult::Done);
    EXPECT_EQ(s.page.paperList.back(), "Label");
    EXPECT_EQ(s.page.paperText, "A4");
    const auto papers = readCustomPapers(s.settings);
    ASSERT_EQ(papers.size(), 2u);
    EXPECT_NEAR(papers[0].widthPt, 200 * 72 / 25.4, 0.01);
    EXPECT_NEAR(papers[0].topPt, 5 * 72 / 25.4, 0.01);
    EXPECT_EQ(papers[1].topPt, 0.0);

    // Names that would break the record are refused; the list is unchanged.
    for (const char* bad : {"A^B", "two\nlines", "", "A5 SEF"}) {
        EXPECT_EQ(saveCustomPaperSize(s, bad, "100", "150", "", "", "", ""), ActionResult::Refused)
            << bad;
    }
    EXPECT_EQ(saveCustomPaperSize(s, "Label", "100", "150", "-1", "", "", ""),
              ActionResult::Refused);
    EXPECT_EQ(readCustomPapers(s.settings).size(), 2u);

    ASSERT_EQ(choosePaper(s, "Mug wrap"), ActionResult::Done);
    ASSERT_EQ(deleteCustomPaperSize(s, "Mug wrap"), ActionResult::Done);
    EXPECT_EQ(s.settings.read("Papers", "Custom1").rfind("Label^", 0), 0u);
    EXPECT_EQ(s.page.paperText, "A4");
    EXPECT_EQ(s.page.paperWidthPt, 595);
    EXPECT_EQ(deleteCustomPaperSize(s, "Mug wrap"), ActionResult::Nothing);
}

TEST(MarginsDialog, MarginsRaisedToTheMinimumsOfThePrinter) {
    struct Case {
        const char* model;
        int which;
        double typed;
        double used;
        bool raised;
    } cases[] = {
        {"C711WT", 0, 10.0, 12.96, true}, {"C711WT", 0, 12.96, 12.96, false},
        {"C711WT", 3, 13.0, 13.07, true}, {"C711WT", 1, 40.0, 40.0, false},
        {"C650", 0, 13.0, 12.96, true},   {"C650", 3, 12.0, 13.07, true},
        {"C301W", 1, 12.0, 12.84, true},  {"C301W", 0, 12.0, 12.0, false},
        {"C301W", 2, 0.0, 12.36, true},   {"C301W", 3, 12.12, 12.13, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.which));
        TestState ts;
        start(ts, c.model);
        const CheckedMargin m = checkMargin(ts.state, c.which, c.typed);
        EXPECT_NEAR(m.points, c.used, 1e-9);
        EXPECT_EQ(m.raised, c.raised);
    }
}

TEST(MarginsDialog, OkWritesTheRaisedMarginsAndTheArea) {
    TestState ts;
    start(ts, "C301W");
    AppState& s = ts.state;
    const auto minimums = printerMarginsPt(s);
    EXPECT_EQ(minimums, (std::array<double, 4>{12.0, 12.84, 12.36, 12.13}));
    const auto area = printableAreaFor(s, {20, 30, 40, 50});
    EXPECT_DOUBLE_EQ(area.first, 595 - 70);
    EXPECT_DOUBLE_EQ(area.second, 842 - 70);
    ASSERT_EQ(applyPrintMargins(s, {20, 1, 40.5, 0}), ActionResult::Done);
    EXPECT_EQ(margins(s), "2000 1284 4050 1213 ");
    EXPECT_NEAR(s.page.printableWidthPt, 595 - 12.84 - 40.5, 1e-3);
    EXPECT_NEAR(s.page.printableHeightPt, 842 - 20 - 12.13, 1e-3);
}

TEST(CurveEditor, PointMovesClampAndAllCopiesCyan) {
    TestState ts;
    start(ts, "C711WT");
    AppState& s = ts.state;
    const std::string before = colourAdjustText(s.colour);
    struct Case {
        CurveChannel channel;
        int point, x, y;
        const char* expect; // 48 digits after the move
    } cases[] = {
        // Outside the drawing: held at the edges.
        {CurveChannel::Magenta, 1, 300, -20, "FFFDA5A557560000FFFDFF0057560000FFFDA5A557560000"},
        {CurveChannel::Yellow, 2, -5, 999, "FFFDA5A557560000FFFDFF0057560000FFFDA5A500FF0000"},
        // All moves cyan and copies the whole cyan group over the others.
        {CurveChannel::All, 0, 250, 240, "FAF0A5A557560000FAF0A5A557560000FAF0A5A557560000"},
        {CurveChannel::Cyan, 2, 80, 70, "FAF0A5A550460000FAF0A5A557560000FAF0A5A557560000"},
    };
    ASSERT_EQ(before, "FFFDA5A557560000FFFDA5A557560000FFFDA5A557560000");
    for (const Case& c : cases) {
        EXPECT_TRUE(moveCurvePoint(s.colour, c.channel, c.point, c.x, c.y));
        EXPECT_EQ(colourAdjustText(s.colour), c.expect);
    }
    // The table follows every move: cyan's light end is now (250, 240).
    EXPECT_EQ(s.colour.toneCurves.table[0][250], 240);
    // Inputs above the light end are not reached: they take the next lower input's value.
    EXPECT_EQ(s.colour.toneCurves.table[2][255], 240);
    // P3 has no handle; the same position again changes nothing.
    EXPECT_FALSE(moveCurvePoint(s.colour, CurveChannel::Cyan, 3, 10, 10));
    EXPECT_FALSE(moveCurvePoint(s.colour, CurveChannel::Cyan, 2, 80, 70));
    EXPECT_EQ(curvePoint(s.colour, CurveChannel::All, 2).x, 80);
    EXPECT_EQ(curvePoint(s.colour, CurveChannel::Magenta, 2).x, 0x57);
}

TEST(CurveEditor, PixelsMapToValuesWithTheVerticalAxisInverted) {
    struct Case {
        int px, py, x, y;
    } cases[] = {{1, 256, 0, 0},
                 {256, 1, 255, 255},
                 {-40, 500, 0, 0},
                 {400, -40, 255, 255},
                 {129, 128, 128, 128}};
    for (const Case& c : cases) {
        const CurvePosition v = curveValueAtPixel(c.px, c.py);
        EXPECT_EQ(v.x, c.x);
        EXPECT_EQ(v.y, c.y);
    }
    const CurvePosition p = curvePixelOf({10, 200});
    const CurvePosition back = curveValueAtPixel(p.x, p.y);
    EXPECT_EQ(back.x, 10);
    EXPECT_EQ(back.y, 200);
}

} // namespace
