// The user actions that the window and the command-line tool share.
#include "actions/actions.h"

#include "actions/app_state.h"
#include "core/progress.h"
#include "core/texts.h"
#include "core/tone_curves.h"
#include "image/placement.h"
#include "model/media.h"
#include "model/models.h"
#include "settings/language.h"
#include "settings/recent_files.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"

#include <QImage>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <iterator>
#include <string>

namespace {

using testsupport::TestState;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A small picture with colour, dark areas (white layer) and transparency.
std::string writePicture(TestState& ts, const std::string& name, int w = 24, int h = 16) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba(x * 10, y * 15, (x + y) * 5, x == 0 ? 0 : 255));
    const std::string path = ts.dir.file(name);
    EXPECT_TRUE(img.save(QString::fromStdString(path), "PNG"));
    return path;
}

void startWindow(TestState& ts, const std::string& model) {
    ASSERT_EQ(chooseTargetPrinter(ts.state, model), ActionResult::Done);
}

TEST(TargetPrinter, ChoosingAModelDerivesItsDefaults) {
    struct Case {
        const char* model;
        bool second;
        const char* profile;
        const char* top;
    } cases[] = {
        {"C711WT", false, "OKC711P2.ICM", "1296"},
        {"C301W", true, "RCSPC11E1C.icm", "1200"},
        {"C360", true, "RCSPC11E1C.icm", "1200"},
        {"C650", false, "OKC650P2.ICM", "1301"},
    };
    for (const Case& c : cases) {
        TestState ts; // a fresh settings folder
        startWindow(ts, c.model);
        AppState& s = ts.state;
        EXPECT_EQ(isSecondFamily(s.target), c.second) << c.model;
        EXPECT_EQ(readSetting(s.settings, keys::kTargetModel, ""), c.model);
        EXPECT_EQ(readSetting(s.settings, keys::kProfileOut),
                  s.locations.programFolder + c.profile);
        EXPECT_EQ(readSetting(s.settings, keys::kColourAdjust, ""),
                  defaultColourAdjustText(c.second))
            << c.model;
        EXPECT_EQ(colourAdjustText(s.colour), defaultColourAdjustText(c.second)) << c.model;
        EXPECT_EQ(readSetting(s.settings, keys::kTopMargin), c.top) << c.model;
        // Second-family media list: eleven printer settings, no "Films".
        EXPECT_EQ(s.window.mediaList.front(),
                  c.second ? "Auto (Plain&Recycled)" : "Printer Setting");
    }
    TestState ts;
    EXPECT_EQ(chooseTargetPrinter(ts.state, "NOSUCH"), ActionResult::Refused);
    EXPECT_EQ(readSetting(ts.state.settings, keys::kTargetModel, ""), "");
}

TEST(TargetPrinter, HandSetValuesThatAreNotModelDefaultsStay) {
    TestState ts;
    startWindow(ts, "C711WT");
    writeSetting(ts.state.settings, keys::kUnit, "I");
    writeSetting(ts.state.settings, keys::kLeftHand, "1");
    startWindow(ts, "C301W");
    EXPECT_EQ(readSetting(ts.state.settings, keys::kUnit, ""), "I");
    EXPECT_EQ(readSetting(ts.state.settings, keys::kLeftHand), "1");
}

// For every medium of both families the job is the same whichever language is in force.
TEST(Medium, JobBytesDoNotDependOnTheLanguage) {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    for (const char* model : {"C711WT", "C301W"}) {
        TestState ts;
        startWindow(ts, model);
        const std::string picture = writePicture(ts, "art.png");
        const std::vector<int> ids = ts.state.page.mediaIds;
        ASSERT_GT(ids.size(), 20u);
        for (int id : ids) {
            std::string bytes[2];
            for (int german = 0; german < 2; ++german) {
                AppState& s = ts.state;
                if (german)
                    loadLanguage(s.language, s.locations.programFolder, "German.lan3", s.ui);
                else
                    loadBuiltInTexts(s.language);
                setUpMainWindow(s);
                ASSERT_EQ(chooseMedium(s, id), ActionResult::Done) << model << ' ' << id;
                ASSERT_EQ(openImage(s, picture), ActionResult::Done);
                // The window title holds the path, not a translated text, in both runs.
                bytes[german] = currentJobBytes(s);
                ASSERT_FALSE(bytes[german].empty());
            }
            EXPECT_TRUE(bytes[0] == bytes[1]) << model << " medium " << id;
        }
        // The foil medium is separated as foil in German too.
        loadLanguage(ts.state.language, ts.state.locations.programFolder, "German.lan3",
                     ts.state.ui);
        setUpMainWindow(ts.state);
        ASSERT_EQ(chooseMedium(ts.state, kMediaTransfer16), ActionResult::Done);
        EXPECT_NE(mediaLabel(ts.state.language, ts.state.page.mediaId), "Transfer media 16");
    }
    unsetenv("SOURCE_DATE_EPOCH");
}

TEST(Preview, DrawingChangesNothing) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    ASSERT_EQ(openImage(s, writePicture(ts, "art.png", 60, 40)), ActionResult::Done);
    testsupport::setMedium(s, "Transfer media 13"); // the medium with an ink threshold
    setCopyCounts(s, "2", "3");
    const std::string settingsBefore = fileBytes(s.locations.settingsPath);
    const auto gridBefore = s.picture.previewGrid.cells;
    const auto printBefore = s.picture.printGrid.cells;
    const WindowTexts windowBefore = s.window;
    const float imagePosXBefore = s.layout.imagePosX;
    ts.ui.clear();
    const auto first = renderPagePreview(previewScene(s), 1000, 700);
    const auto second = renderPagePreview(previewScene(s), 1000, 700);
    EXPECT_EQ(first, second);
    EXPECT_EQ(s.picture.previewGrid.cells, gridBefore);
    EXPECT_EQ(s.picture.printGrid.cells, printBefore);
    EXPECT_EQ(fileBytes(s.locations.settingsPath), settingsBefore);
    EXPECT_TRUE(ts.ui.messages().empty());
    EXPECT_EQ(s.window.xCopiesText, windowBefore.xCopiesText);
    EXPECT_EQ(s.layout.imagePosX, imagePosXBefore);
    EXPECT_EQ(s.window.statusText, windowBefore.statusText);
}

TEST(Preview, PrintedPlacementDoesNotFollowTheWindowSize) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    ASSERT_EQ(openImage(s, writePicture(ts, "art.png", 60, 40)), ActionResult::Done);
    setCopyCounts(s, "2", "2");
    const float x = s.layout.imagePosX, y = s.layout.imagePosY, gx = s.layout.copySpacingX;
    for (auto [w, h] : {std::pair{1200, 1697}, std::pair{400, 300}, std::pair{298, 421}}) {
        s.window.previewBoxWidth = w;
        s.window.previewBoxHeight = h;
        refreshPreview(s);
        EXPECT_EQ(s.layout.imagePosX, x) << w;
        EXPECT_EQ(s.layout.imagePosY, y) << w;
        EXPECT_EQ(s.layout.copySpacingX, gx) << w;
        EXPECT_FALSE(
            renderPagePreview(previewScene(s), s.window.previewBoxWidth, s.window.previewBoxHeight)
                .empty());
    }
}

// Cancels the running operation at its first progress step after `after` steps.
struct CancellingSink : ProgressSink {
    int after = 0;
    int steps = 0;
    void step(int, int) override {
        if (++steps > after) requestCancel();
    }
};

TEST(Cancel, ALoadCancelledKeepsThePreviousPicture) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    const std::string first = writePicture(ts, "first.png", 30, 20);
    ASSERT_EQ(openImage(s, first), ActionResult::Done);
    const auto buffer = s.picture.imageBuffer;
    const std::string title = s.window.windowTitle;
    const std::string second = writePicture(ts, "second.png", 50, 70);
    for (int after : {0, 5, 25}) {
        CancellingSink sink;
        sink.after = after;
        ProgressScope scope(s, &sink);
        EXPECT_EQ(openImage(s, second), ActionResult::Cancelled) << after;
        EXPECT_EQ(s.picture.imageBuffer, buffer) << after;
        EXPECT_EQ(s.picture.imagePixelWidth, 30);
        EXPECT_EQ(s.picture.imageLoaded, 1);
        EXPECT_EQ(s.window.windowTitle, title);
        EXPECT_EQ(s.window.statusText, text(s.language, kStatusCancelled));
        readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
        EXPECT_EQ(s.recent.recentFiles[1], first) << "a cancelled file is not recorded";
    }
    // Without a cancel the same file loads.
    EXPECT_EQ(openImage(s, second), ActionResult::Done);
    EXPECT_EQ(s.picture.imagePixelWidth, 50);
}

TEST(Cancel, PrintCancelledDuringTheJobSendsNothing) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    ASSERT_EQ(openImage(s, writePicture(ts, "art.png")), ActionResult::Done);
    CancellingSink sink;
    ProgressScope scope(s, &sink);
    // No spooler is reached: the queue name does not exist, yet no failure is reported.
    ts.ui.clear();
    EXPECT_EQ(printImageAction(s, {"nosuchqueue"}, "nosuchqueue"), ActionResult::Cancelled);
    EXPECT_EQ(s.window.statusText, text(s.language, kStatusCancelled));
    EXPECT_TRUE(ts.ui.messages().empty());
}

TEST(Print, NothingWithoutQueuesOrPicture) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    const std::string status = s.window.statusText;
    EXPECT_EQ(printImageAction(s, {"q"}, "q"), ActionResult::Nothing);
    EXPECT_EQ(s.window.statusText, status);
    ASSERT_EQ(openImage(s, writePicture(ts, "art.png")), ActionResult::Done);
    s.layout.patternPrintChecked = true;
    EXPECT_EQ(printImageAction(s, {}, "q"), ActionResult::Nothing);
    EXPECT_TRUE(s.layout.patternPrintChecked) << "no queue: stops before anything else";
}

TEST(RecentFiles, RememberMovesAndForgets) {
    TestState ts;
    AppState& s = ts.state;
    for (const char* p : {"/a5", "/a4", "/a3", "/a2", "/a1"})
        rememberFile(s.recent, s.locations.recentFilesPath, s.ui, p);
    auto entries = [&] {
        readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
        return std::vector<std::string>(s.recent.recentFiles.begin() + 1,
                                        s.recent.recentFiles.end());
    };
    EXPECT_EQ(entries(), (std::vector<std::string>{"/a1", "/a2", "/a3", "/a4", "/a5", "/a1"}));
    rememberFile(s.recent, s.locations.recentFilesPath, s.ui,
                 "/a3"); // entry 3 moves to 1, 1 and 2 move down, 4 and 5 stay
    EXPECT_EQ(entries(), (std::vector<std::string>{"/a3", "/a1", "/a2", "/a4", "/a5", "/a3"}));
    rememberFile(s.recent, s.locations.recentFilesPath, s.ui,
                 "/new"); // a sixth file drops the oldest
    EXPECT_EQ(entries(), (std::vector<std::string>{"/new", "/a3", "/a1", "/a2", "/a4", "/new"}));
    forgetRecentFile(s.recent, s.locations.recentFilesPath, s.ui, 2); // entry 2 failed to load
    EXPECT_EQ(entries(), (std::vector<std::string>{"/new", "/a1", "/a2", "/a4", "", "/new"}));

    EXPECT_EQ(recentMenuText(std::string(35, 'x')), std::string(35, 'x'));
    const std::string p36 = "/" + std::string(35, 'y');
    EXPECT_EQ(recentMenuText(p36), "..." + p36.substr(4));
}

TEST(RecentFiles, AFileThatNoLongerLoadsLeavesTheList) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    const std::string good = writePicture(ts, "good.png");
    rememberFile(s.recent, s.locations.recentFilesPath, s.ui, ts.dir.file("gone.png"));
    rememberFile(s.recent, s.locations.recentFilesPath, s.ui, good);
    EXPECT_EQ(openRecentFile(s, 2), ActionResult::Failed);
    readRecentFiles(s.recent, s.locations.recentFilesPath, s.ui);
    EXPECT_EQ(s.recent.recentFiles[1], good);
    EXPECT_EQ(s.recent.recentFiles[2], "");
    EXPECT_EQ(s.window.statusText, text(s.language, kStatusNoFile));
}

TEST(Snapshot, PaperByItsFirstCharactersAndMarginsRaisedToTheMinimum) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    const std::string snap = ts.dir.file("a5.scfg");
    std::ofstream(snap) << "[Active]\r\nPaperSize=A5 SEF\r\n";
    ASSERT_EQ(applySnapshot(s, snap), ActionResult::Done);
    EXPECT_EQ(s.page.paperWidthPt, 420);
    EXPECT_EQ(s.page.paperHeightPt, 595);
    EXPECT_EQ(s.record.whiteMaskPercent, 40);
    // The fallback margins of 0.6 points lie where the printer cannot print.
    EXPECT_EQ(readSetting(s.settings, keys::kTopMargin), "1296");
    EXPECT_EQ(readSetting(s.settings, keys::kBottomMargin), "1307");
    EXPECT_NEAR(s.page.printableWidthPt, 420 - 25.92f, 1e-3);

    const std::string saved = ts.dir.file("saved.scfg");
    ASSERT_EQ(saveSnapshot(s, saved), ActionResult::Done);
    EXPECT_EQ(readProfileString(saved, "Active", "PaperSize"), "A5 SEF");
    EXPECT_EQ(readProfileString(saved, "KYMC", "Profile"), colourAdjustText(s.colour));
    EXPECT_EQ(applySnapshot(s, ts.dir.file("missing.scfg")), ActionResult::Failed);
}

// A snapshot is read only from a regular file: a FIFO would block, and a folder or a device
// would load every fallback over the margins the user has.
TEST(Snapshot, OnlyARegularFileIsApplied) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    ASSERT_TRUE(writeSetting(s.settings, keys::kTopMargin, "5000"));
    const std::string fifo = ts.dir.file("pipe.scfg"), folder = ts.dir.file("folder.scfg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    for (const std::string& path : {fifo, folder, std::string("/dev/zero")}) {
        ts.ui.clear();
        EXPECT_EQ(applySnapshot(s, path), ActionResult::Failed) << path;
        ASSERT_EQ(ts.ui.messages().size(), 1u) << path;
        EXPECT_NE(ts.ui.messages()[0].text.find(path), std::string::npos);
        EXPECT_EQ(readSetting(s.settings, keys::kTopMargin), "5000") << path;
    }
}

TEST(OpenImage, AConversionFailureLoadsTheDefaultsAndAsksForARebuild) {
    TestState ts;
    startWindow(ts, "C711WT");
    AppState& s = ts.state;
    const std::string junk = ts.dir.file("junk.icm");
    std::ofstream(junk) << "not a profile";
    writeSetting(s.settings, keys::kProfileOut, junk);
    EXPECT_EQ(openImage(s, writePicture(ts, "art.png")), ActionResult::Rebuild);
    EXPECT_EQ(s.picture.imageLoaded, 0);
    EXPECT_EQ(readSetting(s.settings, keys::kProfileOut),
              s.locations.programFolder + "OKC332P2.ICM");
}

} // namespace
