// Pictures of the desktop program's windows for people to look at: the main window empty and
// with the sample artwork, and each small window, in English and German. Runs on whatever
// display Qt is given (tools/screenshots.sh starts a private X server). Every window gets its
// own settings folder, so the pictures do not depend on the user's settings.
// Usage: make_screenshots OUTPUT_FOLDER
#include "actions/about.h"
#include "gui/about_dialog.h"
#include "actions/app_state.h"
#include "core/folders.h"
#include "gui/language_dialog.h"
#include "gui/main_window.h"
#include "actions/printer_box.h"
#include "gui/printer_model_dialog.h"
#include "actions/proof_picture.h"
#include "gui/proof_window.h"
#include "actions/startup.h"
#include "core/ui.h"
#include "gui/unit_dialog.h"
#include "netutil/discovery.h"
#include "model/models.h"
#include "settings/settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QImage>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

QString gOut;
int gFailures = 0;

void settle(int ms = 150) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void save(QWidget& widget, const QString& name) {
    settle();
    const QPixmap picture = widget.grab();
    const QString path = gOut + QLatin1Char('/') + name + QStringLiteral(".png");
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "make_screenshots: could not write %s\n", qPrintable(path));
        ++gFailures;
        return;
    }
    std::printf("saved %s\n", qPrintable(path));
}

// Message boxes are printed, not shown: a picture run must never wait for a click.
struct PrintedMessages : SilentUserInterface {
    void showMessage(MessageIcon, const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "make_screenshots: %s: %s\n", caption.c_str(), text.c_str());
    }
};

void shootLanguage(const char* languageFile, const QString& suffix) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", home.filePath(QStringLiteral("xdg")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    PrintedMessages messages;
    AppState state;
    state.ui = &messages;
    resolveFolders(state.locations);
    if (*languageFile) writeSetting(state.settings, keys::kLanguage, languageFile);
    loadTargetPrinter(state.target, state.settings);
    prepareSettings(state, false); // the pictures need no shape library

    MainWindowHooks hooks;
    hooks.dialogs = &messages;
    // Two example queues instead of the machine's, so every picture shows the same.
    hooks.listPrinterBox = [](const PrinterBoxRequest&) {
        PrinterBoxContents box;
        box.items = {"C711WT-OFFICE", "C711WT-STUDIO"};
        box.selected = 0;
        return box;
    };
    const std::vector<SpoolerQueue> queues = {{"C711WT-OFFICE", "socket://192.168.1.40:9100"},
                                              {"C711WT-STUDIO", "usb://OKI/C711WT?serial=AK01"}};
    hooks.spoolerQueues = [queues] { return queues; };
    {
        MainWindow window(state, hooks);
        window.resize(1005, 494);
        window.show();
        QElapsedTimer clock;
        clock.start();
        while (!window.printerBoxFilled() && clock.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        save(window, QStringLiteral("main-empty-") + suffix);
        window.openFile(
            QString::fromStdString(state.locations.programFolder + "sample-artwork.png"));
        save(window, QStringLiteral("main-sample-") + suffix);

        // The window in the middle of a long load: the last picture held, Cancel on offer.
        const QString photo = home.filePath(QStringLiteral("poster.png"));
        QImage poster(3000, 4200, QImage::Format_RGB32);
        for (int y = 0; y < poster.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(poster.scanLine(y));
            for (int x = 0; x < poster.width(); ++x)
                line[x] = qRgb(x * 255 / poster.width(), y * 255 / poster.height(), 160);
        }
        poster.save(photo, "PNG");
        bool busyShot = false;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (busyShot || !window.busy()) return;
            busyShot = true;
            save(window, QStringLiteral("main-busy-") + suffix);
        });
        watch.start();
        window.openFile(photo);
        watch.stop();
        if (!busyShot) std::fprintf(stderr, "make_screenshots: the load ended before a picture\n");

        UnitDialog units(state, &window);
        units.show();
        save(units, QStringLiteral("units-") + suffix);
        units.close();

        LanguageDialog language(state, &window);
        language.show();
        save(language, QStringLiteral("language-") + suffix);
        language.close();

        AboutDialog about(state, aboutText(state, queues), &window);
        about.show();
        save(about, QStringLiteral("about-") + suffix);
        about.close();

        PrinterModelDialog models(state, &window);
        models.show();
        save(models, QStringLiteral("printer-model-") + suffix);
        models.close();

        QTemporaryDir scratch;
        const QString png = scratch.filePath(QStringLiteral("proof.png"));
        if (makeProofPicture(state, png.toStdString()) == ActionResult::Done) {
            ProofWindow proof(png, &window);
            proof.show();
            save(proof, QStringLiteral("proof-") + suffix);
            proof.close();
        } else {
            ++gFailures;
        }
        window.close();
    }
    QThreadPool::globalInstance()->waitForDone();
    state.ui = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    gOut = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(gOut);
    shootLanguage("", QStringLiteral("en"));
    shootLanguage("German.lan3", QStringLiteral("de"));
    return gFailures == 0 ? 0 : 1;
}
