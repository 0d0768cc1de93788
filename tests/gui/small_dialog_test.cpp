// The small windows reached from the main window's menus: units, language, About, help,
// printer model and proof. Each is handed to the test instead of running modally.
#include "gui/about_dialog.h"
#include "gui/language_dialog.h"
#include "gui/main_window.h"
#include "gui/printer_model_dialog.h"
#include "actions/proof_picture.h"
#include "gui/proof_window.h"
#include "gui/unit_dialog.h"

#include "actions/app_state.h"
#include "actions/help.h"
#include "core/texts.h"
#include "netutil/discovery.h"
#include "model/models.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>
#include <QUrl>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using testsupport::TestState;

namespace {

struct Fixture {
    TestState ts;
    testsupport::RecordingUserInterface dialogs;
    std::function<void(QDialog&)> answer = [](QDialog& d) { d.reject(); };
    int shown = 0;
    QString dialogClass;
    std::vector<QUrl> opened;
    std::vector<SpoolerQueue> spooler;
    std::unique_ptr<MainWindow> window;

    Fixture() { ts.state.ui = &dialogs; }
    ~Fixture() {
        window.reset();
        QThreadPool::globalInstance()->waitForDone();
    }
    MainWindow& open() {
        MainWindowHooks hooks;
        hooks.dialogs = &dialogs;
        hooks.listPrinterBox = [](const PrinterBoxRequest&) { return PrinterBoxContents{}; };
        hooks.listQueues = [](const AppState&) { return std::vector<std::string>{}; };
        hooks.runDialog = [this](QDialog& d) {
            ++shown;
            dialogClass = QString::fromLatin1(d.metaObject()->className());
            answer(d);
            return d.result();
        };
        hooks.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        hooks.spoolerQueues = [this] { return spooler; };
        window = std::make_unique<MainWindow>(ts.state, hooks);
        window->show();
        return *window;
    }
    void trigger(int id) {
        auto* a = qobject_cast<QAction*>(findById(window.get(), id));
        if (!a) qFatal("no menu entry %d", id);
        a->trigger();
    }
    template <typename T> T* control(int id) {
        T* c = qobject_cast<T*>(findById(window.get(), id));
        if (!c) qFatal("no control %d", id);
        return c;
    }
    void load() {
        window->openFile(QString::fromStdString(testsupport::dataFolder() + "sample-artwork.png"));
    }
    int messagesSaying(const std::string& text) const {
        int n = 0;
        for (const auto& call : dialogs.messages())
            if (call.text == text) ++n;
        return n;
    }
};

void clickButton(QDialog& d, const QString& label) {
    for (QPushButton* b : d.findChildren<QPushButton*>()) {
        if (b->text() == label) {
            b->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button ") + label));
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

class SmallDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void unitDialogChecksStoredUnitAndWritesAtOnce();
    void languageChangeRebuildsInGermanAndReloads();
    void languageUnchangedOrCancelledKeepsTheWindow();
    void aboutShowsItsLinesAndTheTargetQueues();
    void helpOpensThePageOfTheLanguage();
    void printerModelChoiceRebuildsForThatModel();
    void proofNeedsAPictureThenShowsIt();
};

void SmallDialogTest::unitDialogChecksStoredUnitAndWritesAtOnce() {
    struct Case {
        const char* stored;
        char checked;
        char pick;
        const char* symbol;
    } cases[] = {
        {"M", 'M', 'C', "cm"},
        {"C", 'C', 'I', "Inch"},
        {"I", 'I', 'M', "mm"},
        {"X", 'M', 'C', "cm"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.open();
        QVERIFY(writeSetting(f.ts.state.settings, keys::kUnit, c.stored));
        f.load();
        const double widthPoints = parseLength(f.ts.state.record.unit, f.ts.state.window.widthText);
        std::string writtenBeforeOk;
        f.answer = [&](QDialog& d) {
            auto& units = dynamic_cast<UnitDialog&>(d);
            QCOMPARE(d.windowTitle(), QStringLiteral("Unit Settings"));
            QVERIFY(d.findChild<QLabel*>() != nullptr);
            QCOMPARE(d.findChild<QLabel*>()->text(),
                     QStringLiteral("Select Prefered Measurement Units"));
            QCOMPARE(units.option('M')->text(), QStringLiteral("Millimetres"));
            QCOMPARE(units.option('C')->text(), QStringLiteral("Centimetres"));
            QCOMPARE(units.option('I')->text(), QStringLiteral("Inches"));
            for (char code : {'M', 'C', 'I'})
                QVERIFY2(units.option(code)->isChecked() == (code == c.checked),
                         qPrintable(QStringLiteral("stored %1 option %2").arg(c.stored).arg(code)));
            units.option(c.pick)->click();
            writtenBeforeOk = readSetting(f.ts.state.settings, keys::kUnit, "");
            clickButton(d, QStringLiteral("OK"));
        };
        f.trigger(kIdMenuUnits);
        QCOMPARE(f.shown, 1);
        QCOMPARE(f.dialogClass, QStringLiteral("UnitDialog"));
        QCOMPARE(writtenBeforeOk, std::string(1, c.pick));
        // The size fields show the same size again in the new unit.
        const QString width = f.control<QLineEdit>(kIdWidth)->text();
        QCOMPARE(width, q(formatLength(f.ts.state.record.unit, static_cast<float>(widthPoints))));
        QCOMPARE(q(unitSymbol(f.ts.state.record.unit, f.ts.state.language)),
                 QString::fromLatin1(c.symbol));
        QVERIFY(std::abs(parseLength(f.ts.state.record.unit, width.toStdString()) - widthPoints) <
                widthPoints * 0.01);
    }
}

void SmallDialogTest::languageChangeRebuildsInGermanAndReloads() {
    Fixture f;
    f.open();
    f.load();
    QPushButton* oldPrint = f.control<QPushButton>(kIdPrintButton);
    QStringList listed;
    f.answer = [&](QDialog& d) {
        auto& language = dynamic_cast<LanguageDialog&>(d);
        QCOMPARE(d.windowTitle(), QStringLiteral("Language Selection"));
        for (int i = 0; i < language.list()->count(); ++i)
            listed << language.list()->item(i)->text();
        language.list()->setCurrentRow(static_cast<int>(listed.indexOf(QStringLiteral("German"))));
        clickButton(d, QStringLiteral("OK"));
    };
    f.trigger(kIdMenuLanguage);
    QVERIFY(listed.contains(QStringLiteral("English")));
    QVERIFY(listed.contains(QStringLiteral("German")));
    QCOMPARE(readSetting(f.ts.state.settings, keys::kLanguage), std::string("German.lan3"));
    QPushButton* newPrint = f.control<QPushButton>(kIdPrintButton);
    QVERIFY(newPrint != oldPrint);
    // The new controls and menus carry the German texts.
    QCOMPARE(text(f.ts.state.language, 28), std::string("Drucken"));
    QCOMPARE(newPrint->text(), q(text(f.ts.state.language, 28)).remove(QLatin1Char('&')));
    QCOMPARE(f.control<QAction>(kIdMenuLanguage)->text(), q(text(f.ts.state.language, 20)));
    // Recent entry 1 was loaded again, with the German status.
    QCOMPARE(f.ts.state.picture.imageLoaded, 1);
    QCOMPARE(f.control<QLabel>(kIdStatusLine)->text(), q(text(f.ts.state.language, kStatusLoaded)));
    QVERIFY(newPrint->isEnabled());
}

void SmallDialogTest::languageUnchangedOrCancelledKeepsTheWindow() {
    struct Case {
        const char* pick;
        bool ok;
    } cases[] = {{"German", false}, {"English", true}};
    for (const Case& c : cases) {
        Fixture f;
        QVERIFY(writeSetting(f.ts.state.settings, keys::kLanguage, "English.lan3"));
        f.open();
        QPushButton* before = f.control<QPushButton>(kIdPrintButton);
        f.answer = [&](QDialog& d) {
            auto& language = dynamic_cast<LanguageDialog&>(d);
            // The stored language is selected when the dialog opens.
            QCOMPARE(language.list()->currentItem()->text(), QStringLiteral("English"));
            const auto found =
                language.list()->findItems(QString::fromLatin1(c.pick), Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            language.list()->setCurrentItem(found.first());
            clickButton(d, c.ok ? QStringLiteral("OK") : QStringLiteral("Cancel"));
        };
        f.trigger(kIdMenuLanguage);
        QCOMPARE(f.control<QPushButton>(kIdPrintButton), before);
        QCOMPARE(readSetting(f.ts.state.settings, keys::kLanguage), std::string("English.lan3"));
    }
}

void SmallDialogTest::aboutShowsItsLinesAndTheTargetQueues() {
    Fixture f;
    f.spooler = {{"c711wt-office", "socket://10.0.0.5:9100"}, {"other", "socket://10.0.0.6"}};
    f.open();
    QString lines;
    bool picture = false;
    f.answer = [&](QDialog& d) {
        auto& about = dynamic_cast<AboutDialog&>(d);
        QCOMPARE(d.windowTitle(), QStringLiteral("About"));
        lines = about.lines()->toPlainText();
        QVERIFY(about.lines()->isReadOnly());
        auto* product = d.findChild<QLabel*>(QStringLiteral("product"));
        QVERIFY(product);
        QCOMPARE(product->text(), QStringLiteral("Lumivane Basic"));
        auto* icon = d.findChild<QLabel*>(QStringLiteral("picture"));
        picture = icon && !icon->pixmap().isNull();
        clickButton(d, QStringLiteral("OK"));
    };
    f.trigger(kIdMenuAbout);
    QCOMPARE(f.shown, 1);
    QVERIFY(picture);
    const QStringList got = lines.split(QLatin1Char('\n'));
    QCOMPARE(got.size(), 5);
    QCOMPARE(got[2], QStringLiteral(">>>>> Release 2.0 <<<<<<"));
    QCOMPARE(got[3], QStringLiteral("Program Version 2.0.0.76"));
    QCOMPARE(got[4], QStringLiteral("Printer Name C711WT-OFFICE on socket://10.0.0.5:9100"));
}

void SmallDialogTest::helpOpensThePageOfTheLanguage() {
    struct Case {
        const char* language;
        const char* page;
        const char* title;
    } cases[] = {{"", kHelpPageEnglish, "Help"}, {"German.lan3", kHelpPageGerman, "Hilfe"}};
    for (const Case& c : cases) {
        Fixture f;
        if (*c.language) {
            QVERIFY(writeSetting(f.ts.state.settings, keys::kLanguage, c.language));
            loadLanguage(f.ts.state.language, f.ts.state.locations.programFolder, c.language,
                         f.ts.state.ui);
            f.ts.state.language.languageFile = c.language;
        }
        f.open();
        auto* entry = qobject_cast<QAction*>(findById(f.window.get(), kIdMenuHelpFile));
        QVERIFY(entry && entry->isVisible());
        QCOMPARE(entry->text(), QString::fromUtf8(c.title));
        f.trigger(kIdMenuHelpFile);
        QCOMPARE(f.opened.size(), std::size_t(1));
        QCOMPARE(f.opened[0], QUrl::fromLocalFile(q(testsupport::dataFolder() + c.page)));
        QVERIFY(QFileInfo::exists(f.opened[0].toLocalFile()));
    }
}

void SmallDialogTest::printerModelChoiceRebuildsForThatModel() {
    struct Case {
        const char* pick;
        bool ok;
        const char* model;
        bool rebuilt;
    } cases[] = {{"C301W", true, "C301W", true}, {"C844", false, "C711WT", false}};
    for (const Case& c : cases) {
        Fixture f;
        f.open();
        QPushButton* before = f.control<QPushButton>(kIdPrintButton);
        QString selected;
        f.answer = [&](QDialog& d) {
            auto& models = dynamic_cast<PrinterModelDialog&>(d);
            QCOMPARE(models.list()->count(), static_cast<int>(offeredModelCodes().size()));
            selected = models.list()->currentItem()->data(Qt::UserRole).toString();
            for (int i = 0; i < models.list()->count(); ++i)
                if (models.list()->item(i)->data(Qt::UserRole).toString() ==
                    QString::fromLatin1(c.pick))
                    models.list()->setCurrentRow(i);
            clickButton(d, c.ok ? QStringLiteral("OK") : QStringLiteral("Cancel"));
        };
        f.trigger(kIdMenuPrinterModel);
        QCOMPARE(selected, QStringLiteral("C711WT"));
        QCOMPARE(f.ts.state.target.targetModel, std::string(c.model));
        QCOMPARE(readSetting(f.ts.state.settings, keys::kTargetModel), std::string(c.model));
        QCOMPARE(f.control<QPushButton>(kIdPrintButton) != before, c.rebuilt);
    }
}

void SmallDialogTest::proofNeedsAPictureThenShowsIt() {
    Fixture f;
    f.open();
    bool picture = false;
    f.answer = [&](QDialog& d) {
        picture = !dynamic_cast<ProofWindow&>(d).picture().isNull();
        d.reject();
    };
    f.trigger(kIdMenuProof);
    QCOMPARE(f.shown, 0);
    QCOMPARE(f.messagesSaying(kProofNeedsPicture), 1);
    f.load();
    f.trigger(kIdMenuProof);
    QCOMPARE(f.shown, 1);
    QCOMPARE(f.dialogClass, QStringLiteral("ProofWindow"));
    QVERIFY(picture);
}

QTEST_MAIN(SmallDialogTest)
#include "small_dialog_test.moc"
