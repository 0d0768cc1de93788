// The pattern windows on the offscreen platform: "Pattern Print Setup", "Shape Import
// Utility" and "Library Edit" move values between their controls, the settings and the
// shape library.
#include "gui/library_editor.h"
#include "pattern/pattern_mask.h"
#include "gui/pattern_setup_window.h"
#include "gui/shape_import_window.h"

#include "actions/startup.h"
#include "core/texts.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using testsupport::TestState;

namespace {

struct Files : testsupport::RecordingUserInterface {
    std::string nextFile;
    std::string askedFolder;
    std::string chooseFile(bool, const std::string&, const std::string&,
                           const std::string& initial) override {
        askedFolder = initial;
        return nextFile;
    }
};

// A state with the master library provisioned and the window build's pattern defaults.
struct Fixture {
    TestState ts;
    Files files;
    Fixture() {
        ts.state.ui = &files;
        prepareSettings(ts.state);
        ensurePatternDefaults(ts.state.settings);
    }
    std::string setting(const char* key) { return ts.state.settings.read("RIP Patten Setup", key); }
};

template <typename T> T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    if (!c) qFatal("no control %s", name);
    return c;
}

QImage pixmapOf(QWidget& w, const char* name) {
    return child<QLabel>(w, name)->pixmap().toImage();
}

int darkPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qGray(image.pixel(x, y)) < 64;
    return n;
}

const std::string kSquare = "%%Creator: Adobe Illustrator(R) 8.0\n%%EndSetup\n"
                            "0 0 0 1 k\n0 0 m\n10 0 l\n10 10 l\n0 10 l\nf\n";

} // namespace

class PatternWindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void setupShowsStoredValuesAndSavesTyped();
    void setupSlidersLockUnitsAndCharacters();
    void setupMissingChoicesFallBack();
    void setupPrintSavesAndAsks();
    void importerConvertsAndSavesWithSpacing();
    void importerFailureKeepsThePreviousShape();
    void editorMarksAndRemoves();
    void editorCancelChangesNothing();
};

void PatternWindowsTest::setupShowsStoredValuesAndSavesTyped() {
    Fixture f;
    writeSetting(f.ts.state.settings, keys::kPatternShape, "paw");
    PatternSetupWindow w(f.ts.state);
    w.show();
    QCOMPARE(w.windowTitle(), QString("Pattern Print Setup"));
    QComboBox* shape = child<QComboBox>(w, "shapeBox");
    QStringList items;
    for (int i = 0; i < shape->count(); ++i)
        items << shape->itemText(i);
    QCOMPARE(items, QStringList({"Cross", "Diamond", "Ellipse", "Heart", "Hexagon", "Leaf", "Paw",
                                 "Rectangle", "Ring", "Star", "Triangle", "Wave"}));
    QCOMPARE(shape->currentText(), QString("Paw"));
    QCOMPARE(child<QLineEdit>(w, "heightBox")->text(), QString("2.0"));
    QCOMPARE(child<QLineEdit>(w, "gapBox")->text(), QString("1.0"));
    QCOMPARE(child<QComboBox>(w, "angleBox")->currentText(), QString("45"));
    QVERIFY(child<QLineEdit>(w, "canvasWidth")->isReadOnly());
    QVERIFY(darkPixels(pixmapOf(w, "patternPreview")) > 100);

    QLineEdit* width = child<QLineEdit>(w, "widthBox");
    width->selectAll();
    QTest::keyClicks(width, "3.5");
    shape->setCurrentText("Rectangle");
    QTest::mouseClick(child<QCheckBox>(w, "invertBox"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(w, "saveSettingsButton"), Qt::LeftButton);
    QCOMPARE(f.setting("SizeX"), std::string("3.5"));
    QCOMPARE(f.setting("Shape"), std::string("Rectangle"));
    QCOMPARE(f.setting("Mask"), std::string("1"));
    // The preview follows: an inverted rectangle screen is mostly dark.
    const QImage inverted = pixmapOf(w, "patternPreview");
    QVERIFY(darkPixels(inverted) > inverted.width() * inverted.height() / 4);
}

void PatternWindowsTest::setupSlidersLockUnitsAndCharacters() {
    Fixture f;
    f.ts.state.record.unit = Unit::Centimetre;
    PatternSetupWindow w(f.ts.state);
    w.show();
    QSlider* height = child<QSlider>(w, "heightSlider");
    QSlider* width = child<QSlider>(w, "widthSlider");
    QTest::mouseClick(child<QToolButton>(w, "lockButton"), Qt::LeftButton);
    height->setValue(25); // 2 + 25 / 12.5 = 4 mm
    QCOMPARE(child<QLineEdit>(w, "heightBox")->text(), QString("0.40"));
    QCOMPARE(width->value(), 25);
    QCOMPARE(child<QLineEdit>(w, "widthBox")->text(), QString("0.40"));
    child<QSlider>(w, "gapSlider")->setValue(50); // 1 + 50 / 25 = 3 mm
    QCOMPARE(child<QLineEdit>(w, "gapBox")->text(), QString("0.30"));
    w.saveSettings();
    QCOMPARE(f.setting("SizeY"), std::string("4"));
    QCOMPARE(f.setting("Gap"), std::string("3"));
    // Only digits and the point in sizes; the gap also takes a minus.
    QLineEdit* box = child<QLineEdit>(w, "heightBox");
    box->clear();
    QTest::keyClicks(box, "1a-2.5");
    QCOMPARE(box->text(), QString("12.5"));
    QLineEdit* gap = child<QLineEdit>(w, "gapBox");
    gap->clear();
    QTest::keyClicks(gap, "-0.5x");
    QCOMPARE(gap->text(), QString("-0.5"));
}

void PatternWindowsTest::setupMissingChoicesFallBack() {
    Fixture f;
    writeSetting(f.ts.state.settings, keys::kPatternShape, "Moon");
    writeSetting(f.ts.state.settings, keys::kPatternScreen, "30");
    writeSetting(f.ts.state.settings, keys::kPatternSizeX, "0");
    PatternSetupWindow w(f.ts.state);
    QCOMPARE(child<QComboBox>(w, "shapeBox")->currentText(), QString("Ellipse"));
    QCOMPARE(child<QComboBox>(w, "angleBox")->currentText(), QString("45"));
    QCOMPARE(f.setting("Shape"), std::string("Ellipse"));
    QCOMPARE(f.setting("Screen"), std::string("45"));
    QCOMPARE(f.setting("SizeX"), std::string("1"));
    QCOMPARE(child<QLineEdit>(w, "widthBox")->text(), QString("1.0"));
}

void PatternWindowsTest::setupPrintSavesAndAsks() {
    Fixture f;
    PatternSetupWindow w(f.ts.state);
    QSignalSpy print(&w, &PatternSetupWindow::printRequested);
    child<QComboBox>(w, "angleBox")->setCurrentText("0");
    QTest::mouseClick(child<QPushButton>(w, "printButton"), Qt::LeftButton);
    QCOMPARE(print.count(), 1);
    QCOMPARE(f.setting("Screen"), std::string("0"));
}

void PatternWindowsTest::importerConvertsAndSavesWithSpacing() {
    Fixture f;
    testsupport::writeFile(f.ts.dir.file("tile one.ai"), kSquare);
    ShapeImportWindow w(f.ts.state);
    w.show();
    QCOMPARE(w.windowTitle(), QString("Shape Import Utility"));
    f.files.nextFile = f.ts.dir.file("tile one.ai");
    QTest::mouseClick(child<QPushButton>(w, "importButton"), Qt::LeftButton);
    QCOMPARE(readSetting(f.ts.state.settings, keys::kImportFolder), f.ts.dir.path + "/");
    QCOMPARE(child<QLineEdit>(w, "nameBox")->text(), QString("tile one"));
    QVERIFY(darkPixels(pixmapOf(w, "shapeView")) > 5000);
    QVERIFY(darkPixels(pixmapOf(w, "screenView")) > 5000);
    QSlider* spacing = child<QSlider>(w, "spacingSlider");
    spacing->setValue(60); // angle 0: (60 - 50) / 10 = 1
    QCOMPARE(child<QLabel>(w, "spacingValue")->text(), QString("1.000"));
    child<QComboBox>(w, "angleBox")->setCurrentText("45");
    QCOMPARE(spacing->value(), 50);
    spacing->setValue(30); // angle 45: -2
    QTest::mouseClick(child<QPushButton>(w, "saveButton"), Qt::LeftButton);
    ShapeRecord saved;
    QCOMPARE(loadShape(f.ts.state.settings, "tile_one", saved, feedback(f.ts.state)),
             ShapeLookup::Found);
    QCOMPARE(saved.spacing0, 0.1f);
    QCOMPARE(saved.spacing45, -0.2f);
    // Again: the library asks before replacing, and Cancel keeps the first one.
    f.files.answerOk = false;
    spacing->setValue(90);
    QVERIFY(!w.save());
    QCOMPARE(loadShape(f.ts.state.settings, "tile_one", saved, feedback(f.ts.state)),
             ShapeLookup::Found);
    QCOMPARE(saved.spacing45, -0.2f);
    // The next file dialog starts where the last file was.
    f.files.nextFile.clear();
    QVERIFY(!w.importFile());
    QCOMPARE(f.files.askedFolder, f.ts.dir.path + "/");
}

void PatternWindowsTest::importerFailureKeepsThePreviousShape() {
    Fixture f;
    testsupport::writeFile(f.ts.dir.file("good.ai"), kSquare);
    testsupport::writeFile(f.ts.dir.file("pdf.ai"), "%PDF-1.5\n");
    ShapeImportWindow w(f.ts.state);
    QVERIFY(w.importPath(f.ts.dir.file("good.ai")));
    QVERIFY(!w.importPath(f.ts.dir.file("pdf.ai")));
    QCOMPARE(w.shape().name, std::string("good"));
    const auto m = f.files.messages();
    QCOMPARE(m.size(), std::size_t(1));
    QCOMPARE(m[0].text, std::string("Conversion failed\nPDF Version of AI"));
    QCOMPARE(m[0].caption, std::string("Converter"));
}

void PatternWindowsTest::editorMarksAndRemoves() {
    Fixture f;
    LibraryEditor e(f.ts.state);
    e.show();
    QCOMPARE(e.windowTitle(), QString("Library Edit"));
    QListWidget* list = child<QListWidget>(e, "shapeList");
    QCOMPARE(list->count(), 10);
    const auto clickItem = [&](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    clickItem(0);
    clickItem(7);
    clickItem(1);
    clickItem(1); // marked and unmarked again
    QCOMPARE(list->item(0)->text(), QString("** Star"));
    QCOMPARE(list->item(1)->text(), QString("Heart"));
    QCOMPARE(list->item(7)->text(), QString("** Paw"));
    QTest::mouseClick(child<QPushButton>(e, "okButton"), Qt::LeftButton);
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QCOMPARE(listShapeNames(f.ts.state.settings),
             (std::vector<std::string>{"Heart", "Hexagon", "Diamond", "Triangle", "Ring", "Cross",
                                       "Leaf", "Wave"}));
}

void PatternWindowsTest::editorCancelChangesNothing() {
    Fixture f;
    LibraryEditor e(f.ts.state);
    e.show();
    QListWidget* list = child<QListWidget>(e, "shapeList");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    QTest::mouseClick(child<QPushButton>(e, "cancelButton"), Qt::LeftButton);
    QCOMPARE(e.result(), int(QDialog::Rejected));
    QCOMPARE(listShapeNames(f.ts.state.settings).size(), std::size_t(10));
}

QTEST_MAIN(PatternWindowsTest)
#include "pattern_windows_window_test.moc"
