// The main window on the offscreen platform: its commands reach the user actions and the
// controls show the state afterwards.
#include "gui/main_window.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "model/media.h"
#include "settings/recent_files.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>

using testsupport::TestState;

namespace {

// Records like the shared recording seam and answers file dialogs with a chosen path.
struct Dialogs : testsupport::RecordingUserInterface {
    std::string nextFile;
    int fileDialogs = 0;
    std::string chooseFile(bool, const std::string&, const std::string&,
                           const std::string&) override {
        ++fileDialogs;
        return nextFile;
    }
    int messageCount(const std::string& text) const {
        int n = 0;
        for (const auto& call : messages())
            if (call.text == text) ++n;
        return n;
    }
};

// A window over a private settings folder with recorded dialogs and a printer box of two
// queues; Print sees the queues in `queues`.
struct Fixture {
    TestState ts;
    Dialogs dialogs;
    std::vector<std::string> queues;
    std::atomic<int> queueAsks{0};
    std::atomic<bool> boxFilledOnWorker{false};
    std::unique_ptr<MainWindow> window;

    Fixture() { ts.state.ui = &dialogs; }
    ~Fixture() {
        window.reset();
        // The printer box worker calls back into this fixture; it must be done first.
        QThreadPool::globalInstance()->waitForDone();
    }

    MainWindow& open() {
        MainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        const Qt::HANDLE mainThread = QThread::currentThreadId();
        hooks.listPrinterBox = [this, mainThread](const PrinterBoxRequest&) {
            boxFilledOnWorker = QThread::currentThreadId() != mainThread;
            PrinterBoxContents box;
            box.items = {"C711WT-OFFICE", "C711WT-STUDIO"};
            box.selected = 1;
            return box;
        };
        hooks.listQueues = [this](const AppState&) {
            ++queueAsks;
            return queues;
        };
        window = std::make_unique<MainWindow>(ts.state, hooks);
        window->show();
        return *window;
    }

    template <typename T> T* control(int id) {
        T* c = qobject_cast<T*>(findById(window.get(), id));
        if (!c) qFatal("no control %d", id);
        return c;
    }
    QAction* action(int id) { return control<QAction>(id); }
    QString status() { return control<QLabel>(kIdStatusLine)->text(); }
    std::string sample() const { return testsupport::dataFolder() + "sample-artwork.png"; }
    void load() { window->openFile(QString::fromStdString(sample())); }
};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

void pressEnter(QWidget* w, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(w, Qt::Key_Return, modifiers);
}

void retype(QLineEdit* edit, const QString& value) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, value);
}

// Drops the files on the preview as a file manager would.
void drop(QWidget* preview, const QStringList& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    const QPointF at(preview->width() / 2.0, preview->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &enter);
    QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &dropped);
    delete mime;
}

// A small picture whose file says 300 dots per inch.
void writeTinyPng(const QString& path, int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(qRgba(200, 40, 40, 255));
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    QVERIFY(image.save(path, "PNG"));
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void everyIdentifierIsPresent();
    void startsEmptyWithPrintingDisabled();
    void loadingEnablesPrintingAndSetsTitle();
    void openFileMenuAsksForAFile();
    void commandTable();
    void mediaChangeRefillsPaperSources();
    void copyFieldsEnterAppliesShiftEnterOnlyRefreshes();
    void typedWidthKeepsAspect();
    void lowResolutionShownRed();
    void slidersApplyAfterTheirTimer();
    void printWithoutImageSendsNothing();
    void printWithoutQueueDoesNothing();
    void dropLoadsOnlyTheFirstFile();
    void dropFollowsSymlinkAndChecksExtension();
    void placementWrittenOnCloseAndRestored();
    void startSizeWithoutStoredPlacement();
    void recentEntriesShortenedAndForgotten();
    void printerBoxFilledByWorker();
    void exitButtonStoresPrinter();
    void cancelDuringLoadAndOtherCommandsRefused();
    void escapeCancelsLongWork();
    void profileChoiceRebuildsAndReloads();
    void rebuildMakesNewControlsAndReloads();
    void previewPaintsStateBackground();
};

void MainWindowTest::everyIdentifierIsPresent() {
    Fixture f;
    MainWindow& w = f.open();
    std::vector<int> ids = {kIdProgressBar,
                            kIdStatusLine,
                            kIdPrinterBox,
                            kIdMediaBox,
                            kIdPaperBox,
                            kIdTrayBox,
                            kIdCopies,
                            kIdPrintButton,
                            kIdPatternPrint,
                            kIdExitButton,
                            kIdMirror,
                            kIdRotate,
                            kIdFlip,
                            kIdGuardArea,
                            kIdPatternPreview,
                            kIdPreview,
                            kIdWidth,
                            kIdHeight,
                            kIdResolution,
                            kIdZoom,
                            kIdBrightnessSlider,
                            kIdBrightnessValue,
                            kIdContrastSlider,
                            kIdContrastValue,
                            kIdResetBrightness,
                            kIdResetContrast,
                            kIdUtilityLabel,
                            kIdXCopies,
                            kIdYCopies,
                            kIdTotalCopies,
                            kIdAutoTile,
                            kIdFitToPage,
                            kIdFixedSpacing,
                            kIdLeftHand,
                            kIdRightHand,
                            kIdCropImage,
                            kIdSliderTimer,
                            kIdCancelButton,
                            kIdMenuOpen,
                            kIdMenuPrint,
                            kIdMenuPatternPrint,
                            kIdMenuPrintMargins,
                            kIdMenuBlankPage,
                            kIdMenuExit,
                            kIdMenuProfileIn,
                            kIdMenuProfileOut,
                            kIdMenuColourDialog,
                            kIdMenuCustomPaper,
                            kIdMenuUnits,
                            kIdMenuPatternSetup,
                            kIdMenuSaveSettings,
                            kIdMenuLoadSettings,
                            kIdMenuLoadDefaults,
                            kIdMenuLanguage,
                            kIdMenuNetworkUtility,
                            kIdMenuHelpFile,
                            kIdMenuAbout};
    for (int n = 0; n < 16; ++n)
        ids.push_back(kIdSwatch1 + n);
    for (int n = 0; n < 4; ++n)
        ids.push_back(kIdAlignCentre + n);
    for (int n = 0; n < 5; ++n)
        ids.push_back(kIdMenuRecent1 + n);
    for (int n = 0; n < 6; ++n)
        ids.push_back(kIdMenuHelpLink1 + n);
    for (int id : ids)
        QVERIFY2(findById(&w, id), std::to_string(id).c_str());
    QVERIFY(!findById(&w, 4242));
    // Labels come from the interface texts.
    QCOMPARE(f.control<QPushButton>(kIdPrintButton)->text(), QStringLiteral("Print"));
    QCOMPARE(f.control<QCheckBox>(kIdGuardArea)->text(), QStringLiteral("Guard Area"));
    QCOMPARE(f.control<QLabel>(kIdUtilityLabel)->text(), q(text(f.ts.state.language, 29)));
}

void MainWindowTest::startsEmptyWithPrintingDisabled() {
    Fixture f;
    MainWindow& w = f.open();
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusNoFile)));
    QCOMPARE(w.windowTitle(), QStringLiteral("Lumivane Basic"));
    QVERIFY(!f.control<QPushButton>(kIdPrintButton)->isEnabled());
    QVERIFY(!f.control<QCheckBox>(kIdPatternPrint)->isEnabled());
    QVERIFY(!f.action(kIdMenuPrint)->isEnabled());
    QVERIFY(!f.action(kIdMenuPatternPrint)->isEnabled());
    QVERIFY(!f.action(kIdMenuBlankPage)->isEnabled());
    QCOMPARE(f.control<QLineEdit>(kIdCopies)->text(), QStringLiteral("1"));
    QCOMPARE(f.control<QLineEdit>(kIdXCopies)->text(), QStringLiteral("1"));
    QCOMPARE(f.control<QLabel>(kIdZoom)->text(), QStringLiteral("100%"));
    QCOMPARE(f.control<QLabel>(kIdBrightnessValue)->text(), QStringLiteral("0%"));
    // Menu texts come from the interface texts, with their key hints.
    QCOMPARE(f.action(kIdMenuPrint)->text(), QStringLiteral("&Print\tCtrl+P"));
    QCOMPARE(f.action(kIdMenuExit)->text(), QStringLiteral("&Exit\tAlt+F4"));
    QCOMPARE(f.control<QComboBox>(kIdTrayBox)->currentText(), QStringLiteral("AUTO"));
    QVERIFY(f.control<QComboBox>(kIdMediaBox)->count() > 10);
}

void MainWindowTest::loadingEnablesPrintingAndSetsTitle() {
    Fixture f;
    MainWindow& w = f.open();
    f.load();
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusLoaded)));
    QCOMPARE(w.windowTitle(), QStringLiteral("Lumivane Basic - ") + q(f.sample()));
    QVERIFY(f.control<QPushButton>(kIdPrintButton)->isEnabled());
    QVERIFY(f.control<QCheckBox>(kIdPatternPrint)->isEnabled());
    QVERIFY(f.action(kIdMenuPrint)->isEnabled());
    QVERIFY(f.action(kIdMenuPatternPrint)->isEnabled());
    QVERIFY(f.action(kIdMenuBlankPage)->isEnabled());
    QVERIFY(!f.control<QLineEdit>(kIdWidth)->text().isEmpty());
    QCOMPARE(f.control<QLineEdit>(kIdWidth)->text(), q(f.ts.state.window.widthText));
    QCOMPARE(f.control<QLineEdit>(kIdResolution)->text(), q(f.ts.state.window.dpiText));
    QCOMPARE(f.action(kIdMenuRecent1)->text(), q(recentMenuText(f.sample())));
    QCOMPARE(f.control<QProgressBar>(kIdProgressBar)->value(), 0);
    QVERIFY(!w.busy());
}

void MainWindowTest::openFileMenuAsksForAFile() {
    Fixture f;
    f.open();
    f.dialogs.nextFile.clear(); // the dialog is cancelled
    f.action(kIdMenuOpen)->trigger();
    QCOMPARE(f.dialogs.fileDialogs, 1);
    QCOMPARE(f.ts.state.picture.imageLoaded, 0);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusNoFile)));

    f.dialogs.nextFile = f.sample();
    f.action(kIdMenuOpen)->trigger();
    QCOMPARE(f.dialogs.fileDialogs, 2);
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    QVERIFY(f.control<QPushButton>(kIdPrintButton)->isEnabled());
}

void MainWindowTest::commandTable() {
    Fixture f;
    f.open();
    f.load();
    AppState& s = f.ts.state;
    struct Row {
        const char* name;
        std::function<void()> act;
        std::function<bool()> holds;
    };
    auto click = [&](int id) { QTest::mouseClick(f.control<QAbstractButton>(id), Qt::LeftButton); };
    const std::vector<Row> table = {
        {"swatch 5 sets the preview background", [&] { click(kIdSwatch1 + 4); },
         [&] {
             return s.layout.previewBackground == 5 &&
                    f.control<QToolButton>(kIdSwatch1 + 4)->isChecked() &&
                    !f.control<QToolButton>(kIdSwatch1 + 12)->isChecked();
         }},
        {"swatch 16", [&] { click(kIdSwatch1 + 15); },
         [&] { return s.layout.previewBackground == 16; }},
        {"alignment top centre", [&] { click(kIdAlignCentre + 2); },
         [&] { return s.layout.alignment == CopyAlignment::TopCentre; }},
        {"alignment top right", [&] { click(kIdAlignCentre + 3); },
         [&] {
             return s.layout.alignment == CopyAlignment::TopRight &&
                    f.control<QRadioButton>(kIdAlignCentre + 3)->isChecked();
         }},
        {"left hand writes the Others keys", [&] { click(kIdLeftHand); },
         [&] {
             return readSetting(s.settings, keys::kLeftHand) == "1" &&
                    readSetting(s.settings, keys::kRightHand) == "0" &&
                    f.control<QToolButton>(kIdLeftHand)->isChecked() &&
                    !f.control<QToolButton>(kIdRightHand)->isChecked();
         }},
        {"right hand writes the Others keys", [&] { click(kIdRightHand); },
         [&] {
             return readSetting(s.settings, keys::kLeftHand) == "0" &&
                    readSetting(s.settings, keys::kRightHand) == "1" && s.record.rightHand == 1;
         }},
        {"guard area", [&] { click(kIdGuardArea); }, [&] { return s.layout.guardAreaChecked; }},
        {"automatic tile fills the page and disables alignment", [&] { click(kIdAutoTile); },
         [&] {
             return s.layout.autoTileChecked && s.layout.across * s.layout.down > 2 &&
                    !f.control<QRadioButton>(kIdAlignCentre)->isEnabled();
         }},
        {"automatic tile off", [&] { click(kIdAutoTile); },
         [&] { return !s.layout.autoTileChecked; }},
        {"pattern preview", [&] { click(kIdPatternPreview); },
         [&] { return s.layout.patternPreviewChecked; }},
        {"fixed spacing", [&] { click(kIdFixedSpacing); },
         [&] { return s.layout.fixedSpacingChecked; }},
        {"mirror off", [&] { click(kIdMirror); }, [&] { return !s.layout.mirrorChecked; }},
        {"rotate toggles the picture",
         [&] {
             const bool before = s.layout.rotateChecked;
             click(kIdRotate);
             QVERIFY(s.layout.rotateChecked != before);
             click(kIdRotate);
         },
         [&] { return f.control<QCheckBox>(kIdRotate)->isChecked() == s.layout.rotateChecked; }},
        {"copies typed", [&] { retype(f.control<QLineEdit>(kIdCopies), "4"); },
         [&] { return s.window.copiesText == "4"; }},
        {"three across",
         [&] {
             retype(f.control<QLineEdit>(kIdXCopies), "3");
             pressEnter(f.control<QLineEdit>(kIdXCopies));
         },
         [&] { return s.layout.across == 3 && s.window.xCopiesText == "3"; }},
        {"fit to page sets the copies to 1", [&] { click(kIdFitToPage); },
         [&] {
             return s.window.xCopiesText == "1" && s.window.yCopiesText == "1" &&
                    s.layout.across == 1 && f.control<QLineEdit>(kIdXCopies)->text() == "1";
         }},
        {"load defaults keeps the picture", [&] { f.action(kIdMenuLoadDefaults)->trigger(); },
         [&] { return s.picture.imageLoaded == 1 && s.layout.brightness == 0; }},
    };
    for (const Row& row : table) {
        row.act();
        QVERIFY2(row.holds(), row.name);
        QVERIFY2(!f.window->busy(), row.name);
    }
}

void MainWindowTest::mediaChangeRefillsPaperSources() {
    Fixture f;
    f.open();
    AppState& s = f.ts.state;
    auto* media = f.control<QComboBox>(kIdMediaBox);
    auto* trays = f.control<QComboBox>(kIdTrayBox);
    auto trayItems = [&] {
        QStringList items;
        for (int i = 0; i < trays->count(); ++i)
            items << trays->itemText(i);
        return items;
    };
    QVERIFY(trayItems().contains(QStringLiteral("AUTO")));
    QVERIFY(trayItems().contains(QStringLiteral("Tray 1")));
    const int target = media->findText(QStringLiteral("Transfer media 10"));
    QVERIFY(target > 0);
    media->setFocus();
    QTest::keyClick(media, Qt::Key_Home);
    for (int i = 0; i < target; ++i)
        QTest::keyClick(media, Qt::Key_Down);
    QCOMPARE(media->currentIndex(), target);
    QCOMPARE(q(mediaLabel(s.language, s.page.mediaId)), QStringLiteral("Transfer media 10"));
    // First family, transfer media 10: of the three sources only the multi-purpose tray,
    // selected.
    QVERIFY(trayItems().contains(QStringLiteral("MultiPurpose Tray")));
    QVERIFY(!trayItems().contains(QStringLiteral("AUTO")));
    QVERIFY(!trayItems().contains(QStringLiteral("Tray 1")));
    QCOMPARE(trays->count(), static_cast<int>(s.page.trayList.size()));
    QCOMPARE(trays->currentText(), QStringLiteral("MultiPurpose Tray"));
    QCOMPARE(q(s.page.trayText), QStringLiteral("MultiPurpose Tray"));

    QTest::keyClick(media, Qt::Key_Home);
    QCOMPARE(s.page.mediaId, s.page.mediaIds.front());
    QVERIFY(trayItems().contains(QStringLiteral("AUTO")));
    QVERIFY(trayItems().contains(QStringLiteral("Tray 1")));
    QCOMPARE(trays->currentText(), QStringLiteral("AUTO"));
    // The tray box stores the user's choice.
    trays->setFocus();
    QTest::keyClick(trays, Qt::Key_Down);
    QCOMPARE(q(readSetting(s.settings, keys::kTray, "")), QStringLiteral("MultiPurpose Tray"));
}

void MainWindowTest::copyFieldsEnterAppliesShiftEnterOnlyRefreshes() {
    Fixture f;
    f.open();
    f.load();
    AppState& s = f.ts.state;
    auto* x = f.control<QLineEdit>(kIdXCopies);
    auto* y = f.control<QLineEdit>(kIdYCopies);
    retype(x, "2");
    retype(y, "2");
    pressEnter(y);
    QCOMPARE(s.layout.across, 2);
    QCOMPARE(s.layout.down, 2);
    QCOMPARE(f.control<QLineEdit>(kIdTotalCopies)->text(), QStringLiteral("4"));

    retype(x, "3");
    pressEnter(x, Qt::ShiftModifier);
    QCOMPARE(s.layout.across, 2);
    QCOMPARE(x->text(), QStringLiteral("2"));
}

void MainWindowTest::typedWidthKeepsAspect() {
    Fixture f;
    f.open();
    AppState& s = f.ts.state;
    // Without a picture the typed size is not applied.
    retype(f.control<QLineEdit>(kIdWidth), "50");
    pressEnter(f.control<QLineEdit>(kIdWidth));
    QCOMPARE(f.control<QLineEdit>(kIdWidth)->text(), QString());

    f.load();
    const float aspect = s.layout.placedHeightPt / s.layout.placedWidthPt;
    retype(f.control<QLineEdit>(kIdWidth), "50");
    pressEnter(f.control<QLineEdit>(kIdWidth));
    QVERIFY2(std::fabs(s.layout.placedWidthPt - 50.0f / 25.4f * 72.0f) < 0.5f,
             std::to_string(s.layout.placedWidthPt).c_str());
    QVERIFY(std::fabs(s.layout.placedHeightPt / s.layout.placedWidthPt - aspect) < 0.01f);
    QCOMPARE(f.control<QLineEdit>(kIdHeight)->text(), q(s.window.heightText));
    QVERIFY(f.control<QLineEdit>(kIdWidth)->text().startsWith(QStringLiteral("50")));
}

void MainWindowTest::lowResolutionShownRed() {
    Fixture f;
    MainWindow& w = f.open();
    const QString tiny = q(f.ts.dir.file("tiny.png"));
    writeTinyPng(tiny, 12);
    w.openFile(tiny);
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    auto* dpi = f.control<QLineEdit>(kIdResolution);
    QVERIFY(dpi->palette().color(QPalette::Text) != QColor(Qt::red));
    // 12 pixels over 100 mm is about 3 pixels an inch.
    retype(f.control<QLineEdit>(kIdWidth), "100");
    pressEnter(f.control<QLineEdit>(kIdWidth));
    QVERIFY(f.ts.state.layout.placedWidthPt > 200.0f);
    QCOMPARE(dpi->palette().color(QPalette::Text), QColor(Qt::red));
}

void MainWindowTest::slidersApplyAfterTheirTimer() {
    Fixture f;
    f.open();
    AppState& s = f.ts.state;
    auto* slider = f.control<QSlider>(kIdBrightnessSlider);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageUp);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QCOMPARE(slider->value(), 20);
    // The value text follows at once; the state after the 250 ms timer.
    QCOMPARE(f.control<QLabel>(kIdBrightnessValue)->text(), QStringLiteral("20%"));
    QCOMPARE(s.layout.brightness, 0);
    QTRY_COMPARE_WITH_TIMEOUT(s.layout.brightness, 20, 2000);

    auto* contrast = f.control<QSlider>(kIdContrastSlider);
    contrast->setFocus();
    QTest::keyClick(contrast, Qt::Key_PageDown);
    QTRY_COMPARE_WITH_TIMEOUT(s.layout.contrast, -10, 2000);
    QCOMPARE(f.control<QLabel>(kIdContrastValue)->text(), QStringLiteral("-10%"));

    QTest::mouseClick(f.control<QToolButton>(kIdResetBrightness), Qt::LeftButton);
    QCOMPARE(s.layout.brightness, 0);
    QCOMPARE(slider->value(), 0);
    QCOMPARE(f.control<QLabel>(kIdBrightnessValue)->text(), QStringLiteral("0%"));
    QTest::mouseClick(f.control<QToolButton>(kIdResetContrast), Qt::LeftButton);
    QCOMPARE(s.layout.contrast, 0);
    QCOMPARE(f.control<QLabel>(kIdContrastValue)->text(), QStringLiteral("0%"));
    // The reset leaves no timer behind that would bring the old value back.
    QTest::qWait(400);
    QCOMPARE(s.layout.brightness, 0);
    QCOMPARE(s.layout.contrast, 0);

    // A brightness move still waiting for its timer survives a contrast reset.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageDown);
    QTest::mouseClick(f.control<QToolButton>(kIdResetContrast), Qt::LeftButton);
    QCOMPARE(s.layout.brightness, -10);
    QCOMPARE(slider->value(), -10);
    QCOMPARE(f.control<QLabel>(kIdBrightnessValue)->text(), QStringLiteral("-10%"));
}

void MainWindowTest::printWithoutImageSendsNothing() {
    Fixture f;
    f.queues = {"NO-SUCH-QUEUE"};
    f.open();
    QTRY_VERIFY(f.window->printerBoxFilled());
    const QString before = f.status();
    auto* print = f.control<QPushButton>(kIdPrintButton);
    QVERIFY(!print->isEnabled());
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(f.queueAsks.load(), 0);
    // Even when the button is reached, the command finds no picture and sends nothing.
    print->setEnabled(true);
    f.dialogs.clear();
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(f.queueAsks.load(), 1);
    QCOMPARE(f.status(), before);
    QCOMPARE(f.ts.state.window.statusNumber, kStatusNoFile);
    QVERIFY(f.dialogs.messages().empty());
    QCOMPARE(f.control<QProgressBar>(kIdProgressBar)->value(), 0);
    for (const auto& call : f.dialogs.calls)
        QVERIFY(call.kind != "status");
}

void MainWindowTest::printWithoutQueueDoesNothing() {
    Fixture f;
    f.open();
    f.load();
    f.ts.state.layout.patternPrintChecked = true;
    f.dialogs.clear();
    QTest::mouseClick(f.control<QPushButton>(kIdPrintButton), Qt::LeftButton);
    QCOMPARE(f.queueAsks.load(), 1);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusLoaded)));
    QVERIFY(f.dialogs.messages().empty());
    // No queue: the command stops before it touches the pattern box.
    QVERIFY(f.ts.state.layout.patternPrintChecked);
}

void MainWindowTest::dropLoadsOnlyTheFirstFile() {
    Fixture f;
    f.open();
    QStringList files;
    for (const char* name : {"first.png", "second.png", "third.png"}) {
        const QString p = q(f.ts.dir.file(name));
        QVERIFY(QFile::copy(q(f.sample()), p));
        files << p;
    }
    drop(f.control<QWidget>(kIdPreview), files);
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    const QString first = QFileInfo(files[0]).canonicalFilePath();
    QCOMPARE(q(f.ts.state.recent.recentFiles[1]), first);
    for (int n = 2; n <= 5; ++n) {
        QVERIFY(q(f.ts.state.recent.recentFiles[static_cast<std::size_t>(n)]) != files[1]);
        QVERIFY(q(f.ts.state.recent.recentFiles[static_cast<std::size_t>(n)]) != files[2]);
    }
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Lumivane Basic - ") + first);
}

void MainWindowTest::dropFollowsSymlinkAndChecksExtension() {
    Fixture f;
    f.open();
    QWidget* preview = f.control<QWidget>(kIdPreview);
    // A file that is not a picture by its extension is ignored, whatever it holds.
    const QString text = q(f.ts.dir.file("artwork.txt"));
    QVERIFY(QFile::copy(q(f.sample()), text));
    drop(preview, {text});
    QCOMPARE(f.ts.state.picture.imageLoaded, 0);
    QCOMPARE(f.status(), q(::text(f.ts.state.language, kStatusNoFile)));

    const QString real = q(f.ts.dir.file("real.PNG"));
    QVERIFY(QFile::copy(q(f.sample()), real));
    const QString link = q(f.ts.dir.file("link-to-artwork"));
    std::filesystem::create_symlink(real.toStdString(), link.toStdString());
    drop(preview, {link});
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    QCOMPARE(q(f.ts.state.recent.recentFiles[1]), QFileInfo(real).canonicalFilePath());
}

void MainWindowTest::placementWrittenOnCloseAndRestored() {
    Fixture f;
    {
        MainWindow& w = f.open();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1100, 560);
        w.move(40, 50);
        QVERIFY(w.close());
        QCOMPARE(settingValue(readSetting(f.ts.state.settings, keys::kWindowX)), 40.0);
        QCOMPARE(settingValue(readSetting(f.ts.state.settings, keys::kWindowY)), 50.0);
        QCOMPARE(settingValue(readSetting(f.ts.state.settings, keys::kWindowWidth)), 1100.0);
        QCOMPARE(settingValue(readSetting(f.ts.state.settings, keys::kWindowHeight)), 560.0);
        QVERIFY(settingValue(readSetting(f.ts.state.settings, keys::kPreviewWidth)) > 100.0);
        f.window.reset();
    }
    writeSetting(f.ts.state.settings, keys::kPreviewWidth, " 400");
    MainWindow& again = f.open();
    QCOMPARE(again.pos(), QPoint(40, 50));
    QCOMPARE(again.size(), QSize(1100, 560));
    QTRY_VERIFY(std::abs(f.control<QWidget>(kIdPreview)->width() - 400) <= 8);
}

void MainWindowTest::startSizeWithoutStoredPlacement() {
    Fixture f;
    MainWindow& w = f.open();
    QCOMPARE(w.size(), QSize(1005, 494));
}

void MainWindowTest::recentEntriesShortenedAndForgotten() {
    Fixture f;
    AppState& s = f.ts.state;
    const std::string p36 = "/tmp/abcdefghij/klmnopqrst/uvw/x.png"; // 36 characters
    const std::string p35 = "/tmp/abcdefghij/klmnopqrst/uvw/xpng";  // 35 characters
    QCOMPARE(p36.size(), std::size_t(36));
    QCOMPARE(p35.size(), std::size_t(35));
    QVERIFY(rememberFile(s.recent, s.locations.recentFilesPath, s.ui, p36));
    QVERIFY(rememberFile(s.recent, s.locations.recentFilesPath, s.ui, p35));
    f.open();
    QCOMPARE(f.action(kIdMenuRecent1)->text(), q(p35));
    QCOMPARE(f.action(kIdMenuRecent1 + 1)->text(), QStringLiteral("...") + q(p36.substr(4)));
    QCOMPARE(f.action(kIdMenuRecent1 + 2)->text(), QString());
    QVERIFY(!f.action(kIdMenuRecent1 + 2)->isEnabled());
    // Entry 2 names no file: it leaves the list and the status says so.
    f.action(kIdMenuRecent1 + 1)->trigger();
    QCOMPARE(q(s.recent.recentFiles[2]), QString());
    QCOMPARE(f.action(kIdMenuRecent1 + 1)->text(), QString());
    QCOMPARE(f.status(), q(text(s.language, kStatusNoFile)));
    QCOMPARE(s.picture.imageLoaded, 0);
    QVERIFY(!f.control<QPushButton>(kIdPrintButton)->isEnabled());
}

void MainWindowTest::printerBoxFilledByWorker() {
    Fixture f;
    f.open();
    QTRY_VERIFY(f.window->printerBoxFilled());
    QVERIFY(f.boxFilledOnWorker.load());
    auto* box = f.control<QComboBox>(kIdPrinterBox);
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->currentText(), QStringLiteral("C711WT-STUDIO"));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(box->currentText(), QStringLiteral("C711WT-OFFICE"));
    QCOMPARE(q(readSetting(f.ts.state.settings, keys::kPrinter)), QStringLiteral("C711WT-OFFICE"));
}

void MainWindowTest::exitButtonStoresPrinter() {
    Fixture f;
    MainWindow& w = f.open();
    QTRY_VERIFY(f.window->printerBoxFilled());
    QCOMPARE(readSetting(f.ts.state.settings, keys::kPrinter), std::string());
    QTest::mouseClick(f.control<QPushButton>(kIdExitButton), Qt::LeftButton);
    QCOMPARE(q(readSetting(f.ts.state.settings, keys::kPrinter)), QStringLiteral("C711WT-STUDIO"));
    QVERIFY(!w.isVisible());
}

void MainWindowTest::cancelDuringLoadAndOtherCommandsRefused() {
    Fixture f;
    MainWindow& w = f.open();
    bool sawBusy = false, cancelEnabled = false;
    QTimer::singleShot(0, &w, [&] {
        // Runs inside the load: the window's event loop goes on while the worker loads.
        sawBusy = w.busy();
        cancelEnabled = f.control<QPushButton>(kIdCancelButton)->isEnabled();
        // Held back: the worker owns the state (checked once the load is over).
        QTest::mouseClick(f.control<QToolButton>(kIdSwatch1), Qt::LeftButton);
        QVERIFY(!w.close()); // no closing in the middle of the work
        QTest::mouseClick(f.control<QPushButton>(kIdCancelButton), Qt::LeftButton);
    });
    f.load();
    QVERIFY(sawBusy);
    QVERIFY(cancelEnabled);
    QCOMPARE(f.ts.state.layout.previewBackground, 13);
    QVERIFY(w.isVisible());
    QCOMPARE(f.ts.state.picture.imageLoaded, 0);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusCancelled)));
    QVERIFY(!f.control<QPushButton>(kIdCancelButton)->isEnabled());
    QVERIFY(!w.busy());
    // The swatch works again once the work is over.
    QTest::mouseClick(f.control<QToolButton>(kIdSwatch1), Qt::LeftButton);
    QCOMPARE(f.ts.state.layout.previewBackground, 1);
}

void MainWindowTest::escapeCancelsLongWork() {
    Fixture f;
    MainWindow& w = f.open();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTimer::singleShot(0, &w, [&] { QTest::keyClick(&w, Qt::Key_Escape); });
    f.load();
    QCOMPARE(f.ts.state.picture.imageLoaded, 0);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusCancelled)));
    // Outside long work Escape does nothing: the next load runs to its end.
    QTest::keyClick(&w, Qt::Key_Escape);
    f.load();
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
}

void MainWindowTest::profileChoiceRebuildsAndReloads() {
    Fixture f;
    f.open();
    f.load();
    QPushButton* before = f.control<QPushButton>(kIdPrintButton);
    const std::string profile = testsupport::dataFolder() + "sRGB.ICM";
    f.dialogs.nextFile = profile;
    f.action(kIdMenuProfileIn)->trigger();
    QCOMPARE(q(readSetting(f.ts.state.settings, keys::kProfileIn)), q(profile));
    QVERIFY(f.control<QPushButton>(kIdPrintButton) != before);
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusLoaded)));
    // A cancelled dialog changes nothing and keeps the window.
    QPushButton* kept = f.control<QPushButton>(kIdPrintButton);
    f.dialogs.nextFile.clear();
    f.action(kIdMenuProfileOut)->trigger();
    QCOMPARE(f.control<QPushButton>(kIdPrintButton), kept);
}

void MainWindowTest::rebuildMakesNewControlsAndReloads() {
    Fixture f;
    MainWindow& w = f.open();
    f.load();
    QPushButton* oldPrint = f.control<QPushButton>(kIdPrintButton);
    w.rebuild();
    QPushButton* newPrint = f.control<QPushButton>(kIdPrintButton);
    QVERIFY(newPrint != oldPrint);
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    QCOMPARE(f.status(), q(text(f.ts.state.language, kStatusLoaded)));
    QVERIFY(newPrint->isEnabled());
    QTest::mouseClick(f.control<QToolButton>(kIdSwatch1 + 7), Qt::LeftButton);
    QCOMPARE(f.ts.state.layout.previewBackground, 8);
}

void MainWindowTest::previewPaintsStateBackground() {
    Fixture f;
    f.open();
    QWidget* preview = f.control<QWidget>(kIdPreview);
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QCOMPARE(f.ts.state.window.previewBoxWidth, preview->width());
    QCOMPARE(f.ts.state.window.previewBoxHeight, preview->height());
    QTest::mouseClick(f.control<QToolButton>(kIdSwatch1 + 15), Qt::LeftButton); // black
    const QImage shot = preview->grab().toImage();
    const QPoint centre(shot.width() / 2, shot.height() / 2);
    QCOMPARE(QColor(shot.pixel(centre)), QColor(0, 0, 0));
    QTest::mouseClick(f.control<QToolButton>(kIdSwatch1 + 4), Qt::LeftButton); // yellow
    const QImage again = preview->grab().toImage();
    QCOMPARE(QColor(again.pixel(centre)), QColor(255, 255, 0));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
