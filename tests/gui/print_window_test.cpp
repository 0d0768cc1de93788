// Print from the window through a private cupsd to a capturing printer: the bytes that
// arrive are the bytes printconv-cli job writes for the same settings.
#include "gui/main_window.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "image/decode.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <cups/cups.h>

#include <memory>
#include <pthread.h>
#include <unistd.h>

using testsupport::CaptureListener;
using testsupport::PrivateCupsd;
using testsupport::TempDir;
using testsupport::TestState;

namespace {

const std::string kQueue = "OKI_C711WT_CAPTURE";

MainWindowHooks captureHooks(testsupport::RecordingUserInterface& dialogs) {
    MainWindowHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.listPrinterBox = [](const PrinterBoxRequest&) {
        PrinterBoxContents box;
        box.items = {kQueue};
        box.selected = 0;
        return box;
    };
    hooks.listQueues = [](const AppState&) { return std::vector<std::string>{kQueue}; };
    return hooks;
}

// Watches a window through its event loop: a timer that ticks and asks the preview to
// repaint, and the paints that follow, each counted only while a command runs.
struct LoopWatch : QObject {
    MainWindow& window;
    QTimer timer;
    int ticksWhileBusy = 0;
    int paintsWhileBusy = 0;
    std::function<void()> onFirstBusyTick;

    explicit LoopWatch(MainWindow& w) : window(w) {
        findById(&window, kIdPreview)->installEventFilter(this);
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (!window.busy()) return;
            if (++ticksWhileBusy == 1 && onFirstBusyTick) onFirstBusyTick();
            qobject_cast<QWidget*>(findById(&window, kIdPreview))->update();
        });
        timer.start();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && window.busy()) ++paintsWhileBusy;
        return false;
    }
    void reset() { ticksWhileBusy = paintsWhileBusy = 0; }
};

} // namespace

class PrintWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void printSendsWhatTheCommandLineJobWrites();
    void theWindowAnswersWhileAnA4PictureIsLoadedAndPrinted();
    void cancelledLoadLeavesThePreviousPicture();
    void theDecoderIsForkedOnTheWindowThread();

  private:
    // An A4 picture at 600 dpi (4960 x 7016 pixels), made once.
    std::string a4Picture();

    std::string a4_;
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<CaptureListener> capture_;
    std::unique_ptr<PrivateCupsd> cupsd_;
};

void PrintWindowTest::initTestCase() {
    // Both sides stamp the same creation date into the job.
    qputenv("SOURCE_DATE_EPOCH", "1700000000");
    dir_ = std::make_unique<TempDir>();
    capture_ = std::make_unique<CaptureListener>();
    QVERIFY2(capture_->ok(), "the capture listener could not listen on 127.0.0.1");
    cupsd_ = std::make_unique<PrivateCupsd>(dir_->path);
    std::string error;
    QVERIFY2(cupsd_->start(error), error.c_str());
    const std::string uri =
        "socket://127.0.0.1:" + std::to_string(capture_->port()) + "/?snmp=false";
    QVERIFY2(cupsd_->addQueue(kQueue, uri, true, error), error.c_str());
}

std::string PrintWindowTest::a4Picture() {
    if (!a4_.empty()) return a4_;
    QImage image(4960, 7016, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient g(0, 0, 4960, 7016);
    g.setColorAt(0, QColor(20, 120, 200));
    g.setColorAt(1, QColor(240, 200, 40));
    painter.fillRect(image.rect(), g);
    painter.end();
    const int perMetre = static_cast<int>(600 / 0.0254 + 0.5);
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
    a4_ = dir_->file("a4-600dpi.png");
    if (!image.save(QString::fromStdString(a4_), "PNG", 80)) a4_.clear();
    return a4_;
}

void PrintWindowTest::cleanupTestCase() {
    if (cupsd_) cupsd_->cancelAll();
    cupsd_.reset();
    capture_.reset();
    dir_.reset();
}

void PrintWindowTest::printSendsWhatTheCommandLineJobWrites() {
    TestState ts;
    testsupport::RecordingUserInterface dialogs;
    ts.state.ui = &dialogs;
    MainWindowHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.listPrinterBox = [](const PrinterBoxRequest&) {
        PrinterBoxContents box;
        box.items = {kQueue};
        box.selected = 0;
        return box;
    };
    hooks.listQueues = [](const AppState&) { return std::vector<std::string>{kQueue}; };
    {
        MainWindow window(ts.state, hooks);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.printerBoxFilled(), 30000);
        const std::string sample = testsupport::dataFolder() + "sample-artwork.png";
        window.openFile(QString::fromStdString(sample));
        QCOMPARE(ts.state.picture.imageLoaded, 1);

        const std::size_t before = capture_->jobs().size();
        qobject_cast<QAction*>(findById(&window, kIdMenuPrint))->trigger();
        QVERIFY2(capture_->waitForJobs(before + 1, 60000), cupsd_->errorLog().c_str());
        const std::string sent = capture_->jobs().at(before);
        QCOMPARE(qobject_cast<QLabel*>(findById(&window, kIdStatusLine))->text(),
                 QString::fromStdString(text(ts.state.language, 41)));

        // The command-line tool reads the same settings folder (the test's XDG folders).
        const std::string jobFile = ts.dir.file("cli.prn");
        const auto cli = testsupport::runCli(ts.dir, "job " + sample + " -o " + jobFile,
                                             "SOURCE_DATE_EPOCH=1700000000");
        QCOMPARE(cli.code, 0);
        const std::string written = testsupport::readFile(jobFile);
        QVERIFY(!written.empty());
        QCOMPARE(sent.size(), written.size());
        QVERIFY2(sent == written, "the printer received other bytes than printconv-cli job");
    }
    QThreadPool::globalInstance()->waitForDone();
}

// Loading and printing an A4 picture at 600 dpi runs on the worker: the window's timers and
// paints are handled while it runs, not only before and after.
void PrintWindowTest::theWindowAnswersWhileAnA4PictureIsLoadedAndPrinted() {
    const std::string picture = a4Picture();
    QVERIFY(!picture.empty());
    TestState ts;
    testsupport::RecordingUserInterface dialogs;
    ts.state.ui = &dialogs;
    MainWindowHooks hooks = captureHooks(dialogs);
    Qt::HANDLE askedOn = nullptr;
    hooks.listQueues = [&askedOn](const AppState&) {
        askedOn = QThread::currentThreadId();
        return std::vector<std::string>{kQueue};
    };
    {
        MainWindow window(ts.state, hooks);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY_WITH_TIMEOUT(window.printerBoxFilled(), 30000);
        LoopWatch watch(window);

        window.openFile(QString::fromStdString(picture));
        QCOMPARE(ts.state.picture.imageLoaded, 1);
        QCOMPARE(ts.state.picture.imagePixelWidth, 4960);
        QVERIFY2(watch.ticksWhileBusy > 0, "no timer ran during the load");
        QVERIFY2(watch.paintsWhileBusy > 0, "no paint ran during the load");

        watch.reset();
        const std::size_t before = capture_->jobs().size();
        qobject_cast<QAction*>(findById(&window, kIdMenuPrint))->trigger();
        QVERIFY2(watch.ticksWhileBusy > 0, "no timer ran during the job build");
        QVERIFY2(watch.paintsWhileBusy > 0, "no paint ran during the job build");
        QVERIFY(askedOn != nullptr && askedOn != QThread::currentThreadId());
        QVERIFY2(capture_->waitForJobs(before + 1, 120000), cupsd_->errorLog().c_str());
        QCOMPARE(qobject_cast<QLabel*>(findById(&window, kIdStatusLine))->text(),
                 QString::fromStdString(text(ts.state.language, 41)));
    }
    QThreadPool::globalInstance()->waitForDone();
}

// Cancel during the load of a large picture leaves the picture that was loaded before: its
// size, title and print button.
void PrintWindowTest::cancelledLoadLeavesThePreviousPicture() {
    const std::string picture = a4Picture();
    QVERIFY(!picture.empty());
    TestState ts;
    testsupport::RecordingUserInterface dialogs;
    ts.state.ui = &dialogs;
    {
        MainWindow window(ts.state, captureHooks(dialogs));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.printerBoxFilled(), 30000);
        window.openFile(QString::fromStdString(testsupport::dataFolder() + "sample-artwork.png"));
        QCOMPARE(ts.state.picture.imageLoaded, 1);
        const int width = ts.state.picture.imagePixelWidth;
        const QString title = window.windowTitle();
        const PictureBytes& cells = ts.state.picture.printGrid.cells;
        const std::vector<std::uint8_t> grid(cells.begin(), cells.end());

        LoopWatch watch(window);
        watch.onFirstBusyTick = [&window] {
            QTest::mouseClick(qobject_cast<QPushButton*>(findById(&window, kIdCancelButton)),
                              Qt::LeftButton);
        };
        window.openFile(QString::fromStdString(picture));
        QVERIFY(watch.ticksWhileBusy > 0);
        QCOMPARE(qobject_cast<QLabel*>(findById(&window, kIdStatusLine))->text(),
                 QString::fromStdString(text(ts.state.language, kStatusCancelled)));
        QCOMPARE(ts.state.picture.imageLoaded, 1);
        QCOMPARE(ts.state.picture.imagePixelWidth, width);
        QCOMPARE(window.windowTitle(), title);
        QVERIFY(std::equal(grid.begin(), grid.end(), ts.state.picture.printGrid.cells.begin(),
                           ts.state.picture.printGrid.cells.end()));
        QVERIFY(qobject_cast<QPushButton*>(findById(&window, kIdPrintButton))->isEnabled());
    }
    QThreadPool::globalInstance()->waitForDone();
}

QTEST_MAIN(PrintWindowTest)
namespace {

pthread_t windowThread;

// Runs in the decoding child: a child forked by the worker would carry the worker's thread.
void refuseChildOfAnotherThread() {
    if (!pthread_equal(pthread_self(), windowThread)) _exit(3);
}

} // namespace

// The decoding child of a load the window runs is forked on the window thread while the worker
// waits (a child forked on the worker may inherit a lock the drawing window thread held).
void PrintWindowTest::theDecoderIsForkedOnTheWindowThread() {
    TestState ts;
    testsupport::RecordingUserInterface dialogs;
    ts.state.ui = &dialogs;
    windowThread = pthread_self();
    decodeLimits().childHook = refuseChildOfAnotherThread;
    {
        MainWindow window(ts.state, captureHooks(dialogs));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.printerBoxFilled(), 30000);
        window.openFile(QString::fromStdString(testsupport::dataFolder() + "sample-artwork.png"));
        decodeLimits().childHook = nullptr;
        QCOMPARE(ts.state.picture.imageLoaded, 1);
    }
    // Outside the window the caller's thread forks, as before.
    decodeLimits().childHook = refuseChildOfAnotherThread;
    const DecodeOutcome direct =
        decodeImageFileShared(testsupport::dataFolder() + "sample-artwork.png", false);
    decodeLimits().childHook = nullptr;
    QCOMPARE(static_cast<int>(direct.status), static_cast<int>(DecodeStatus::Ok));
    QThreadPool::globalInstance()->waitForDone();
}

#include "print_window_test.moc"
