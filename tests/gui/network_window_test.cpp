// The network utility window on the offscreen platform, over the queues of a private cupsd
// and a private snmpd answering for the network printer on 127.0.0.1.
#include "gui/network_window.h"

#include "actions/app_state.h"
#include "settings/settings.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/snmp_fixture.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <memory>

using testsupport::PrivateCupsd;
using testsupport::PrivateSnmpd;
using testsupport::SnmpAnswer;
using testsupport::TempDir;
using testsupport::TestState;

namespace {

const char* const kNet = "OKI_C711WT_NET";
const char* const kUsb = "OKI_C711WT_USB";
const char* const kUsbUri = "usb://OKI/C711WT?serial=1";

SnmpAnswer ans(std::string_view oid, const std::string& type, const std::string& value) {
    SnmpAnswer a;
    a.oid = std::string(oid);
    a.type = type;
    a.value = value;
    return a;
}

std::string oidN(std::string_view prefix, int n) {
    return std::string(prefix) + std::to_string(n);
}

std::vector<SnmpAnswer> answeringPrinter() {
    return {ans(snmpoid::kSystemName, "string", "OKI C711WT"),
            ans(snmpoid::kSerialFirst, "string", "AK-1"),
            ans(snmpoid::kSerialSecond, "string", "AK-2"),
            ans(snmpoid::kTray1Pages, "counter", "100"),
            ans(snmpoid::kMpTrayPages, "counter", "20"),
            ans(oidN(snmpoid::kTonerPrefix, 2), "integer", "42"),
            ans(oidN(snmpoid::kTonerPrefix, 1), "integer", "7")};
}

} // namespace

class NetworkWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void opensWithTheMainWindowsQueueAndItsControls();
    void usbQueueDisablesDetailsAndANetworkQueueEnablesThem();
    void okAfterAUsbQueueStoresThePortName();
    void closingOtherwiseWritesNothing();
    void aFailedSharedWriteIsReportedAndStopsTheRest();
    void aPrinterThatStopsAnsweringKeepsTheOtherBoxes();
    void eachRequestWaitsWithTheWaitCursorOnAPaintedWindow();

  private:
    std::unique_ptr<NetworkWindow> open(const std::string& mainQueue);

    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<PrivateSnmpd> agent_;
    std::unique_ptr<PrivateCupsd> cupsd_;
    std::unique_ptr<TestState> ts_;
    DiscoveryOptions options_;
};

void NetworkWindowTest::initTestCase() {
    dir_ = std::make_unique<TempDir>();
    agent_ = std::make_unique<PrivateSnmpd>(dir_->path);
    cupsd_ = std::make_unique<PrivateCupsd>(dir_->path);
    std::string error;
    QVERIFY2(agent_->start(error), error.c_str());
    QVERIFY2(cupsd_->start(error), error.c_str());
    QVERIFY2(cupsd_->addQueue(kNet, "socket://127.0.0.1:9100", false, error), error.c_str());
    QVERIFY2(cupsd_->addQueue(kUsb, kUsbUri, false, error), error.c_str());
    // The USB printer of the C711 row is attached.
    const std::string dev = dir_->path + "/sys/bus/usb/devices/1-1";
    std::filesystem::create_directories(dev);
    testsupport::writeFile(dev + "/idVendor", "06bc\n");
    testsupport::writeFile(dev + "/idProduct", "021a\n");
    testsupport::writeFile(dev + "/serial", "USB-SER-9\n");
    options_.sysfsRoot = dir_->path + "/sys";
    options_.ports.snmp = agent_->port();
    options_.ports.web = testsupport::freeLoopbackPort(false);
}

void NetworkWindowTest::cleanupTestCase() {
    cupsd_.reset();
    agent_.reset();
    dir_.reset();
}

void NetworkWindowTest::init() {
    agent_->setAnswers(answeringPrinter());
    ts_ = std::make_unique<TestState>();
    ts_->state.target.targetBrand = "OKI";
    ts_->state.target.targetModel = "C711WT";
    std::filesystem::create_directories(ts_->dir.file("shared"));
    ts_->state.locations.sharedSettingsPath = ts_->dir.file("shared/LumivaneB.ini");
}

std::unique_ptr<NetworkWindow> NetworkWindowTest::open(const std::string& mainQueue) {
    ts_->state.window.printerChoice = mainQueue;
    auto w = std::make_unique<NetworkWindow>(ts_->state, nullptr, options_);
    w->show();
    return w;
}

void NetworkWindowTest::opensWithTheMainWindowsQueueAndItsControls() {
    auto w = open(kUsb);
    QCOMPARE(w->windowTitle(), QStringLiteral("Printers"));
    QCOMPARE(w->printerList()->count(), 2);
    QCOMPARE(w->printerList()->currentText(), QString::fromLatin1(kUsb));
    // The hidden address list follows the printer list.
    QVERIFY(w->addressList()->isHidden());
    QCOMPARE(w->addressList()->currentIndex(), w->printerList()->currentIndex());
    QCOMPARE(w->addressList()->currentText(), QString::fromLatin1(kUsbUri));
    QCOMPARE(w->box(0)->text(), QString::fromLatin1(kUsbUri));
    QCOMPARE(w->box(3)->text(), QStringLiteral("OnLine"));
    QCOMPARE(w->box(2)->text(), QStringLiteral("USB-SER-9"));
    for (int n = 4; n < NetworkWindow::kBoxCount; ++n)
        QCOMPARE(w->box(n)->text(), QStringLiteral("----"));
    // Consumable columns: cyan, magenta, yellow, then black on white; both rows alike.
    const QColor expected[4] = {QColor(0, 174, 239), QColor(236, 0, 140), QColor(255, 242, 0),
                                QColor(255, 255, 255)};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(w->box(9 + c)->palette().color(QPalette::Base), expected[c]);
        QCOMPARE(w->box(13 + c)->palette().color(QPalette::Base), expected[c]);
    }
    QCOMPARE(w->box(12)->palette().color(QPalette::Text), QColor(0, 0, 0));
    // Without a matching main window queue the first entry stays selected.
    auto other = open("SOMETHING ELSE");
    QCOMPARE(other->printerList()->currentIndex(), 0);
}

void NetworkWindowTest::usbQueueDisablesDetailsAndANetworkQueueEnablesThem() {
    auto w = open(kNet);
    QVERIFY(w->detailsButton()->isEnabled());
    QCOMPARE(w->box(0)->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(w->box(2)->text(), QStringLiteral("AK-2"));
    QCOMPARE(w->box(4)->text(), QStringLiteral("---")); // brief: no counters yet
    const int usb = w->printerList()->findText(QString::fromLatin1(kUsb));
    w->choose(usb);
    QVERIFY(!w->detailsButton()->isEnabled());
    QCOMPARE(w->box(3)->text(), QStringLiteral("OnLine"));
    w->choose(w->printerList()->findText(QString::fromLatin1(kNet)));
    QVERIFY(w->detailsButton()->isEnabled());
    QCOMPARE(w->box(0)->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(w->box(2)->text(), QStringLiteral("AK-2"));
}

void NetworkWindowTest::okAfterAUsbQueueStoresThePortName() {
    auto w = open(kNet);
    w->choose(w->printerList()->findText(QString::fromLatin1(kUsb)));
    QTest::mouseClick(w->okButton(), Qt::LeftButton);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    QCOMPARE(readSetting(ts_->state.sharedSettings, keys::kUtilityModel), std::string(kUsb));
    QCOMPARE(readSetting(ts_->state.sharedSettings, keys::kUtilityPort), std::string(kUsbUri));
    // Only the shared file's "Printer" section is written.
    QCOMPARE(readSetting(ts_->state.settings, keys::kUtilityModel), std::string());
}

void NetworkWindowTest::closingOtherwiseWritesNothing() {
    auto w = open(kNet);
    w->reject();
    QVERIFY(!testsupport::fileExists(ts_->state.locations.sharedSettingsPath));
}

void NetworkWindowTest::aFailedSharedWriteIsReportedAndStopsTheRest() {
    // The machine-wide folder cannot be written: its place is taken by a plain file.
    testsupport::writeFile(ts_->dir.file("blocked"), "x");
    ts_->state.locations.sharedSettingsPath = ts_->dir.file("blocked/LumivaneB.ini");
    auto w = open(kNet);
    ts_->ui.clear();
    QTest::mouseClick(w->okButton(), Qt::LeftButton);
    const auto messages = ts_->ui.messages();
    QCOMPARE(messages.size(), std::size_t(1));
    QVERIFY(messages[0].text.rfind("Failed to write to:- ", 0) == 0);
    QCOMPARE(messages[0].icon, MessageIcon::Error);
    QCOMPARE(testsupport::readFile(ts_->dir.file("blocked")), std::string("x"));
}

void NetworkWindowTest::aPrinterThatStopsAnsweringKeepsTheOtherBoxes() {
    auto w = open(kNet);
    QTest::mouseClick(w->detailsButton(), Qt::LeftButton);
    QCOMPARE(w->box(4)->text(), QStringLiteral(" 120"));
    QCOMPARE(w->box(9)->text(), QStringLiteral("42%")); // cyan: supply 2
    QCOMPARE(w->box(12)->text(), QStringLiteral("7%")); // black and white: supply 1
    agent_->setAnswers({});
    QTest::mouseClick(w->detailsButton(), Qt::LeftButton);
    QCOMPARE(w->box(3)->text(), QStringLiteral("Printer not found"));
    QCOMPARE(w->box(4)->text(), QStringLiteral(" 120"));
    QCOMPARE(w->box(2)->text(), QStringLiteral("AK-2"));
    QCOMPARE(w->box(9)->text(), QStringLiteral("42%"));
}

namespace {

// Records the cursor shown while the watched box is painted, and what it showed.
struct PaintRecorder : QObject {
    std::vector<Qt::CursorShape> cursors;
    std::vector<QString> texts;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const QCursor* c = QApplication::overrideCursor();
            cursors.push_back(c ? c->shape() : Qt::ArrowCursor);
            texts.push_back(static_cast<QLineEdit*>(watched)->text());
        }
        return false;
    }
};

} // namespace

void NetworkWindowTest::eachRequestWaitsWithTheWaitCursorOnAPaintedWindow() {
    auto w = open(kNet);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    PaintRecorder recorder;
    w->box(4)->installEventFilter(&recorder);
    QTest::mouseClick(w->detailsButton(), Qt::LeftButton);
    // The full readout sends more than ten requests; the window is painted before each.
    QVERIFY2(recorder.cursors.size() >= 10, qPrintable(QString::number(recorder.cursors.size())));
    for (Qt::CursorShape shape : recorder.cursors)
        QCOMPARE(shape, Qt::WaitCursor);
    // The page count appears while later requests (consumables) still wait.
    QVERIFY(std::find(recorder.texts.begin(), recorder.texts.end(), QStringLiteral(" 120")) !=
            recorder.texts.end());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

QTEST_MAIN(NetworkWindowTest)
#include "network_window_test.moc"
