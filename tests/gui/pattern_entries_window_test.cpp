// The main window's pattern print entries: the check box, its menu entry and Pattern Print
// Setup open the setup window; Pattern Preview puts the mask over the preview.
#include "gui/main_window.h"

#include "actions/app_state.h"
#include "actions/startup.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <memory>

using testsupport::TestState;

namespace {

struct Fixture {
    TestState ts;
    testsupport::RecordingUserInterface dialogs;
    std::vector<std::string> queues;
    std::unique_ptr<MainWindow> window;
    Fixture() { ts.state.ui = &dialogs; }
    ~Fixture() {
        window.reset();
        QThreadPool::globalInstance()->waitForDone();
    }
    MainWindow& open() {
        prepareSettings(ts.state);
        MainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.listPrinterBox = [](const PrinterBoxRequest&) { return PrinterBoxContents{}; };
        hooks.listQueues = [this](const AppState&) { return queues; };
        window = std::make_unique<MainWindow>(ts.state, hooks);
        window->show();
        window->openFile(QString::fromStdString(testsupport::dataFolder() + "sample-artwork.png"));
        return *window;
    }
    template <typename T> T* control(int id) {
        return qobject_cast<T*>(findById(window.get(), id));
    }
};

// Runs `open` and answers the modal window it shows with `inside`; the title it had.
QString answerModal(const std::function<void()>& open,
                    const std::function<void(QDialog*)>& inside) {
    QString title;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        title = d->windowTitle();
        inside(d);
        d->accept();
    });
    open();
    return title;
}

} // namespace

class PatternEntriesTest : public QObject {
    Q_OBJECT
  private slots:
    void everyEntryOpensTheSetupWindow();
    void setupPrintWithoutQueueChangesNothing();
    void patternPreviewMakesTheMask();
};

void PatternEntriesTest::everyEntryOpensTheSetupWindow() {
    Fixture f;
    f.open();
    QVERIFY(f.control<QCheckBox>(kIdPatternPrint)->isEnabled());
    const std::function<void()> entries[] = {
        [&] { f.control<QAction>(kIdMenuPatternSetup)->trigger(); },
        [&] { f.control<QAction>(kIdMenuPatternPrint)->trigger(); },
        [&] { QTest::mouseClick(f.control<QCheckBox>(kIdPatternPrint), Qt::LeftButton); },
    };
    for (const auto& entry : entries)
        QCOMPARE(answerModal(entry, [](QDialog*) {}), QString("Pattern Print Setup"));
    QVERIFY(!f.control<QCheckBox>(kIdPatternPrint)->isChecked());
    QVERIFY(f.dialogs.messages().empty());
}

void PatternEntriesTest::setupPrintWithoutQueueChangesNothing() {
    Fixture f;
    f.open();
    // No queue for the target: Print stops before anything changes.
    answerModal([&] { f.control<QAction>(kIdMenuPatternSetup)->trigger(); },
                [](QDialog* d) {
                    QTest::mouseClick(d->findChild<QPushButton*>("printButton"), Qt::LeftButton);
                });
    QVERIFY(!f.ts.state.layout.patternPrintChecked);
    QVERIFY(f.ts.state.picture.patternMask.empty());
}

void PatternEntriesTest::patternPreviewMakesTheMask() {
    Fixture f;
    f.open();
    const std::size_t cells =
        static_cast<std::size_t>(f.ts.state.picture.gridWidth) * f.ts.state.picture.gridHeight;
    QVERIFY(cells > 0);
    QTest::mouseClick(f.control<QCheckBox>(kIdPatternPreview), Qt::LeftButton);
    QVERIFY(f.ts.state.layout.patternPreviewChecked);
    QCOMPARE(f.ts.state.picture.patternMask.size(), cells);
    std::size_t removed = 0;
    for (auto b : f.ts.state.picture.patternMask)
        removed += b != 0;
    QVERIFY(removed > cells / 10 && removed < cells * 9 / 10);
    // Turned, the grid changes shape and the mask is made again for it.
    const int width = f.ts.state.picture.gridWidth;
    QTest::mouseClick(f.control<QCheckBox>(kIdRotate), Qt::LeftButton);
    QCOMPARE(f.ts.state.picture.gridHeight, width);
    QCOMPARE(f.ts.state.picture.patternMask.size(), cells);
    QTest::mouseClick(f.control<QCheckBox>(kIdPatternPreview), Qt::LeftButton);
    QVERIFY(f.ts.state.picture.patternMask.empty());
}

QTEST_MAIN(PatternEntriesTest)
#include "pattern_entries_window_test.moc"
