// The colour curves editor, the custom paper and print margins dialogs, configuration
// snapshots and Load Defaults, driven through the main window on the offscreen platform.
#include "gui/colour_dialog.h"

#include "actions/app_state.h"
#include "gui/custom_paper_dialog.h"
#include "gui/main_window.h"
#include "gui/margins_dialog.h"
#include "core/texts.h"
#include "core/tone_curves.h"
#include "model/paper.h"
#include "settings/settings.h"
#include "core/profile_file_testing.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using testsupport::TestState;

namespace {

struct Dialogs : testsupport::RecordingUserInterface {
    std::string nextFile;
    std::string chooseFile(bool, const std::string&, const std::string&,
                           const std::string&) override {
        return nextFile;
    }
};

// A main window over a private settings folder for model; dialogs opened by its commands go
// to `drive`, which returns the dialog's result.
struct Fixture {
    TestState ts;
    Dialogs dialogs;
    std::function<void(QDialog&)> drive;
    int answer = QDialog::Accepted; // the result the driven dialog ends with
    int dialogsRun = 0;
    std::unique_ptr<MainWindow> window;

    explicit Fixture(const std::string& model = "C711WT") {
        ts.state.ui = &dialogs;
        if (chooseTargetPrinter(ts.state, model) != ActionResult::Done) qFatal("no model");
        MainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.listPrinterBox = [](const PrinterBoxRequest&) { return PrinterBoxContents{}; };
        hooks.listQueues = [](const AppState&) { return std::vector<std::string>{}; };
        hooks.runDialog = [this](QDialog& d) {
            ++dialogsRun;
            d.show();
            if (drive) drive(d);
            return answer;
        };
        window = std::make_unique<MainWindow>(ts.state, hooks);
        window->show();
    }
    ~Fixture() {
        window.reset();
        QThreadPool::globalInstance()->waitForDone();
    }
    template <typename T> T* control(int id) {
        T* c = qobject_cast<T*>(findById(window.get(), id));
        if (!c) qFatal("no control %d", id);
        return c;
    }
    void trigger(int id) { control<QAction>(id)->trigger(); }
    std::string margin(const char* which) {
        return ts.state.settings.read("Active", std::string(which) + " Margin");
    }
};

template <typename T> T* child(QDialog& d, const QString& name) {
    T* c = d.findChild<T*>(name);
    if (!c) qFatal("no child %s", qPrintable(name));
    return c;
}

void retype(QLineEdit* edit, const QString& value) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, value);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class PageSetupDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void curveDragClampsAndAllCopiesTheGroup();
    void customSizeRangesByClassAndUnit();
    void customSizeOutsideTheRangeIsRefusedAndASavedOneIsListed();
    void marginsRaisedToMinimumsAndOkFits();
    void snapshotLoadAndSaveThroughTheMenu();
    void loadDefaultsByModel();
};

void PageSetupDialogTest::curveDragClampsAndAllCopiesTheGroup() {
    Fixture f;
    AppState& s = f.ts.state;
    const std::string before = colourAdjustText(s.colour);
    const auto tablesBefore = s.colour.toneCurves.table;
    f.drive = [&](QDialog& d) {
        auto* area = child<CurveArea>(d, QLatin1String(kCurveAreaName));
        QCOMPARE(d.windowTitle(), QStringLiteral("Colour Adjust"));
        QCOMPARE(area->size(), QSize(258, 258));
        // Each handle shows in its own colour on its point.
        const QImage shown = area->render();
        for (int point = 0; point < 3; ++point) {
            const CurvePosition at = curvePixelOf(curvePoint(s.colour, CurveChannel::All, point));
            QCOMPARE(shown.pixel(at.x, at.y), CurveArea::handleColour(point).rgb());
        }
        // "All": P1 dragged far outside the drawing lands on the top-right corner value, and
        // the cyan group is copied to magenta and yellow.
        const CurvePosition p1 = curvePixelOf(curvePoint(s.colour, CurveChannel::All, 1));
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(p1.x, p1.y));
        QMouseEvent move(QEvent::MouseMove, QPointF(400, -60), area->mapToGlobal(QPointF(400, -60)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(400, -60));
        QCOMPARE(curvePoint(s.colour, CurveChannel::Cyan, 1).x, 255);
        QCOMPARE(curvePoint(s.colour, CurveChannel::Cyan, 1).y, 255);
        QCOMPARE(colourAdjustText(s.colour).substr(0, 16),
                 colourAdjustText(s.colour).substr(16, 16));
        QCOMPARE(colourAdjustText(s.colour).substr(0, 16),
                 colourAdjustText(s.colour).substr(32, 16));
        // The tables were rebuilt, magenta's and yellow's as copies of cyan's.
        QVERIFY(s.colour.toneCurves.table[1] != tablesBefore[1]);
        QVERIFY(s.colour.toneCurves.table[1] == s.colour.toneCurves.table[0]);
        QVERIFY(s.colour.toneCurves.table[2] == s.colour.toneCurves.table[0]);

        // "Magenta": only magenta's P2 moves, below the drawing it is held at 0.
        QTest::mouseClick(child<QRadioButton>(d, QLatin1String(kCurveChannelName) + "2"),
                          Qt::LeftButton);
        QCOMPARE(area->channel(), CurveChannel::Magenta);
        const std::string cyan = colourAdjustText(s.colour).substr(0, 16);
        const CurvePosition p2 = curvePixelOf(curvePoint(s.colour, CurveChannel::Magenta, 2));
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(p2.x, p2.y));
        QMouseEvent down(QEvent::MouseMove, QPointF(30, 900), area->mapToGlobal(QPointF(30, 900)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &down);
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(30, 900));
        QCOMPARE(curvePoint(s.colour, CurveChannel::Magenta, 2).x, 29);
        QCOMPARE(curvePoint(s.colour, CurveChannel::Magenta, 2).y, 0);
        QCOMPARE(colourAdjustText(s.colour).substr(0, 16), cyan);

        // A press beside every handle takes none: moving then changes nothing.
        const std::string now = colourAdjustText(s.colour);
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(128, 20));
        QTest::mouseMove(area, QPoint(20, 20));
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(colourAdjustText(s.colour), now);
    };
    f.trigger(kIdMenuColourDialog);
    QCOMPARE(f.dialogsRun, 1);
    QVERIFY(colourAdjustText(s.colour) != before);
    // The points live for the session only: nothing was written.
    QCOMPARE(readSetting(s.settings, keys::kColourAdjust, ""), before);
}

void PageSetupDialogTest::customSizeRangesByClassAndUnit() {
    struct Case {
        const char* model;
        const char* unit;
        const char* width;
        const char* height;
        const char* symbol;
    } cases[] = {
        {"C711WT", "M", "(63...215.9)", "(127..1320.8)", "mm"},
        {"C844", "C", "(7.62...32.808)", "(8.996..120.015)", "cm"},
        {"C650", "I", "(2.52...11.69)", "(3.53...17.00)", "Inch"},
        {"C301W", "M", "(90...216)", "(148..356)", "mm"},
    };
    for (const Case& c : cases) {
        Fixture f(c.model);
        writeSetting(f.ts.state.settings, keys::kUnit, c.unit);
        f.ts.state.record.unit = unitFromSetting(c.unit);
        f.drive = [&](QDialog& d) {
            auto& dialog = static_cast<CustomPaperDialog&>(d);
            QCOMPARE(dialog.widthRange()->text(), QString::fromLatin1(c.width));
            QCOMPARE(dialog.heightRange()->text(), QString::fromLatin1(c.height));
            QVERIFY(!d.findChildren<QLabel*>().isEmpty());
            int symbols = 0;
            for (QLabel* l : d.findChildren<QLabel*>())
                if (l->text() == QLatin1String(c.symbol)) ++symbols;
            QCOMPARE(symbols, 6);
        };
        f.trigger(kIdMenuCustomPaper);
        QCOMPARE(f.dialogsRun, 1);
    }
}

void PageSetupDialogTest::customSizeOutsideTheRangeIsRefusedAndASavedOneIsListed() {
    Fixture f;
    AppState& s = f.ts.state;
    auto* paperBox = f.control<QComboBox>(kIdPaperBox);
    f.drive = [&](QDialog& d) {
        auto& dialog = static_cast<CustomPaperDialog&>(d);
        dialog.name()->setEditText(QStringLiteral("Wide"));
        dialog.field(0)->setText(QStringLiteral("216"));
        dialog.field(1)->setText(QStringLiteral("300"));
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        const auto messages = f.dialogs.messages();
        QCOMPARE(messages.size(), std::size_t(1));
        QVERIFY(messages[0].text.find("(63...215.9) mm") != std::string::npos);
        QCOMPARE(readCustomPapers(s.settings).size(), std::size_t(0));

        dialog.field(0)->setText(QStringLiteral("200"));
        dialog.field(2)->setText(QStringLiteral("5"));
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        // In the main window's paper box at once, while the dialog is still open.
        QCOMPARE(paperBox->findText(QStringLiteral("Wide")), paperBox->count() - 1);

        dialog.name()->setEditText(QStringLiteral("Two^parts"));
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QCOMPARE(f.dialogs.messages().size(), std::size_t(2));
        QCOMPARE(readCustomPapers(s.settings).size(), std::size_t(1));

        // Choosing the saved name shows its values; Delete removes it.
        dialog.name()->setEditText(QString());
        dialog.field(0)->clear();
        emit dialog.name()->activated(0);
        QCOMPARE(dialog.field(0)->text(), QStringLiteral("200.0"));
        QCOMPARE(dialog.field(2)->text(), QStringLiteral("5.0"));
        QTest::mouseClick(dialog.deleteButton(), Qt::LeftButton);
        QCOMPARE(paperBox->findText(QStringLiteral("Wide")), -1);
    };
    f.trigger(kIdMenuCustomPaper);
    QCOMPARE(f.dialogsRun, 1);
    QCOMPARE(readCustomPapers(s.settings).size(), std::size_t(0));
}

void PageSetupDialogTest::marginsRaisedToMinimumsAndOkFits() {
    Fixture f("C301W");
    AppState& s = f.ts.state;
    writeSetting(s.settings, keys::kLeftMargin, "500"); // 5 points: below the minimum 12.84
    // A picture fitted to the page: the wider margins make it too large.
    f.window->openFile(QString::fromStdString(testsupport::dataFolder() + "sample-artwork.png"));
    QCOMPARE(s.picture.imageLoaded, 1);
    QTest::mouseClick(f.control<QPushButton>(kIdFitToPage), Qt::LeftButton);
    const float fittedWidth = s.layout.placedWidthPt;
    QVERIFY(fittedWidth > 500);
    f.drive = [&](QDialog& d) {
        auto& dialog = static_cast<MarginsDialog&>(d);
        QCOMPARE(d.windowTitle(), QStringLiteral("Print Margins"));
        // The stored left margin is shown raised, with a note.
        QCOMPARE(dialog.marginsPt()[1], 12.84);
        QVERIFY(dialog.note()->text().contains(QStringLiteral("left")));
        retype(dialog.field(0), QStringLiteral("1")); // 1 mm = 2.835 points < 12
        QCOMPARE(dialog.marginsPt()[0], 12.0);
        QVERIFY(dialog.note()->text().contains(QStringLiteral("top")));
        QCOMPARE(dialog.field(0)->text(), QStringLiteral("4.2"));
        retype(dialog.field(2), QStringLiteral("30"));
        QCOMPARE(dialog.marginsPt()[2], 30 * 72 / 25.4);
        // The area follows typing before the field is left.
        dialog.field(1)->setFocus();
        dialog.field(1)->selectAll();
        QTest::keyClicks(dialog.field(1), QStringLiteral("20"));
        QVERIFY(dialog.area()->text().contains(QString::fromStdString(
            formatLength(s.record.unit, float(595 - 20 * 72 / 25.4 - 30 * 72 / 25.4)))));
        QTest::keyClick(dialog.field(1), Qt::Key_Return);
        retype(dialog.field(1), QStringLiteral("4.53")); // 12.84 points
        QVERIFY(dialog.note()->text().isEmpty());
        QVERIFY(dialog.area()->text().startsWith(QStringLiteral("Printable area\n")));
        QVERIFY(dialog.area()->text().contains(QString::fromStdString(
            formatLength(s.record.unit, float(595 - 12.84 - 30 * 72 / 25.4)))));
        // Get Printer Margins puts the minimums back, but the typed right margin is kept
        // until the user takes it back too.
        retype(dialog.field(3), QStringLiteral("10"));
        QTest::mouseClick(child<QPushButton>(d, QStringLiteral("printerMargins")), Qt::LeftButton);
        QCOMPARE(dialog.marginsPt(), (std::array<double, 4>{12.0, 12.84, 12.36, 12.13}));
        retype(dialog.field(2), QStringLiteral("30"));
    };
    f.trigger(kIdMenuPrintMargins);
    QCOMPARE(f.dialogsRun, 1);
    QCOMPARE(f.margin("Top"), "1200");
    QCOMPARE(f.margin("Left"), "1284");
    QCOMPARE(f.margin("Right"), "8504");
    QCOMPARE(f.margin("Bottom"), "1213");
    QVERIFY(std::abs(s.page.printableWidthPt - (595 - 12.84f - 85.04f)) < 1e-3);
    QVERIFY(s.layout.placedWidthPt < fittedWidth);
    QVERIFY(s.layout.placedWidthPt <= s.page.printableWidthPt + 0.01f);
    QVERIFY(s.layout.placedHeightPt <= s.page.printableHeightPt + 0.01f);

    // Cancel writes nothing.
    f.drive = [&](QDialog& d) {
        retype(static_cast<MarginsDialog&>(d).field(1), QStringLiteral("50"));
    };
    f.answer = QDialog::Rejected;
    f.trigger(kIdMenuPrintMargins);
    QCOMPARE(f.margin("Left"), "1284");
}

void PageSetupDialogTest::snapshotLoadAndSaveThroughTheMenu() {
    Fixture f;
    AppState& s = f.ts.state;
    const std::string snap = f.ts.dir.file("a5.scfg");
    testsupport::writeFile(snap, "[Active]\r\nPaperSize=A5 SEF\r\n");
    f.dialogs.nextFile = snap;
    f.trigger(kIdMenuLoadSettings);
    QCOMPARE(s.page.paperWidthPt, 420);
    QCOMPARE(s.page.paperHeightPt, 595);
    QCOMPARE(int(s.record.whiteMaskPercent), 40);
    // The fallback margins of 60 are raised to the printer's minimums at once.
    QCOMPARE(f.margin("Top"), "1296");
    QCOMPARE(f.margin("Right"), "1296");
    QCOMPARE(f.margin("Bottom"), "1307");
    QCOMPARE(f.control<QComboBox>(kIdPaperBox)->currentText(), QStringLiteral("A5 SEF"));
    QCOMPARE(readSetting(s.settings, keys::kLastConfig), snap);

    const std::string saved = f.ts.dir.file("mine.scfg");
    f.dialogs.nextFile = saved;
    f.trigger(kIdMenuSaveSettings);
    QCOMPARE(readProfileString(saved, "Active", "PaperSize"), "A5 SEF");
    QCOMPARE(readProfileString(saved, "Active", "Top Margin"), "1296");
    QCOMPARE(readSetting(s.settings, keys::kLastConfig), saved);

    // A cancelled dialog changes nothing.
    f.dialogs.nextFile.clear();
    f.trigger(kIdMenuLoadSettings);
    QCOMPARE(readSetting(s.settings, keys::kLastConfig), saved);
    QCOMPARE(s.page.paperWidthPt, 420);
}

void PageSetupDialogTest::loadDefaultsByModel() {
    struct Case {
        const char* model;
        const char* margins; // top left right bottom
        const char* profile; // first group of the colour adjustment
    } cases[] = {
        {"C711WT", "1296 1296 1296 1307", "FFFDA5A557560000"},
        {"C650", "1301 1301 1301 1296", "FFFDA5A557560000"},
        {"C301W", "1200 1284 1236 1213", "FFFFBCF4460C0000"},
    };
    for (const Case& c : cases) {
        Fixture f(c.model);
        AppState& s = f.ts.state;
        for (const char* k : {"Top", "Left", "Right", "Bottom"})
            s.settings.write("Active", std::string(k) + " Margin", "3000");
        moveCurvePoint(s.colour, CurveChannel::All, 1, 10, 10);
        auto* brightness = f.control<QSlider>(kIdBrightnessSlider);
        brightness->setValue(40); // a move still waiting for its timer
        f.control<QLineEdit>(kIdCopies)->setText(QStringLiteral("7"));
        setCopies(s, "7");
        f.trigger(kIdMenuLoadDefaults);
        QCOMPARE(f.margin("Top") + " " + f.margin("Left") + " " + f.margin("Right") + " " +
                     f.margin("Bottom"),
                 std::string(c.margins));
        QCOMPARE(colourAdjustText(s.colour).substr(0, 16), std::string(c.profile));
        QCOMPARE(brightness->value(), 0);
        QCOMPARE(f.control<QLabel>(kIdBrightnessValue)->text(), QStringLiteral("0%"));
        QCOMPARE(f.control<QLabel>(kIdContrastValue)->text(), QStringLiteral("0%"));
        QCOMPARE(f.control<QLineEdit>(kIdCopies)->text(), QStringLiteral("1"));
        // The waiting move is dropped, not applied later.
        QVERIFY(!f.window->findChild<QTimer*>(QString::number(kIdSliderTimer))->isActive());
        QCOMPARE(s.layout.brightness, 0);
        QCOMPARE(f.control<QComboBox>(kIdTrayBox)->currentText(),
                 QString::fromStdString(s.page.trayText));
    }
}

QTEST_MAIN(PageSetupDialogTest)
#include "page_setup_dialog_test.moc"
#include "core/profile_file_testing.h"
