// Print from the window through a private cupsd to a capturing printer: the bytes that
// arrive are the bytes printconv-cli job writes for the same settings.
#include "gui/main_window.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QLabel>
#include <QThreadPool>
#include <QtTest>

#include <cups/cups.h>

#include <memory>

using testsupport::CaptureListener;
using testsupport::PrivateCupsd;
using testsupport::TempDir;
using testsupport::TestState;

namespace {

const std::string kQueue = "OKI_C711WT_CAPTURE";

} // namespace

class PrintWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void printSendsWhatTheCommandLineJobWrites();

  private:
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

QTEST_MAIN(PrintWindowTest)
#include "print_window_test.moc"
