#include "gui/main_window.h"

#include "gui/command_runner.h"
#include "gui/qt_text.h"
#include "gui/window_ui.h"

#include "actions/about.h"
#include "actions/app_state.h"
#include "actions/help.h"
#include "actions/pattern_actions.h"
#include "actions/proof_picture.h"
#include "core/texts.h"
#include "gui/about_dialog.h"
#include "gui/colour_dialog.h"
#include "gui/custom_paper_dialog.h"
#include "gui/language_dialog.h"
#include "gui/margins_dialog.h"
#include "gui/network_window.h"
#include "gui/pattern_setup_window.h"
#include "gui/printer_model_dialog.h"
#include "gui/proof_window.h"
#include "gui/unit_dialog.h"
#include "image/colour.h"
#include "image/placement.h"
#include "netutil/discovery.h"
#include "settings/recent_files.h"
#include "settings/settings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

std::vector<std::string> spoolerQueuesOfTarget(const AppState& state) {
    std::vector<std::string> names;
    for (const auto& entry : listPrinterQueues(state.target, QueueListKind::PrinterBox))
        names.push_back(entry.queueName);
    return names;
}

} // namespace

QObject* findById(QWidget* window, int id) {
    return window->findChild<QObject*>(QString::number(id));
}

MainWindow::MainWindow(AppState& state, Hooks hooks)
    : QMainWindow(nullptr), state_(state), hooks_(std::move(hooks)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    ui_ = new WindowUi(this, state_.language, hooks_.dialogs);
    buildControls();
    buildMenus();
    previousUi_ = state_.ui;
    state_.ui = ui_;
    setUpMainWindow(state_);
    showState();
    restorePlacement();

    // Escape cancels long work; outside it, it does nothing.
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape_, &QShortcut::activated, this, [this] {
        if (busy_) ui_->requestCancel();
    });
    sliderTimer_ = new QTimer(this);
    tag(sliderTimer_, kIdSliderTimer);
    sliderTimer_->setSingleShot(true);
    sliderTimer_->setInterval(250);
    connect(sliderTimer_, &QTimer::timeout, this, &MainWindow::applySliders);

    startPrinterBoxWorker();
}

MainWindow::~MainWindow() {
    if (printerWatcher_) printerWatcher_->disconnect(this);
    if (state_.ui == ui_) state_.ui = previousUi_;
}

void MainWindow::rebuild() {
    const bool wasLoaded = state_.picture.imageLoaded == 1;
    setUpMainWindow(state_);
    buildControls();
    buildMenus();
    showState();
    startPrinterBoxWorker();
    // A picture that was shown is loaded again, once: a second failure does not loop.
    if (wasLoaded && !reloadingAfterRebuild_) {
        reloadingAfterRebuild_ = true;
        run([this] { return reloadImage(state_); });
        reloadingAfterRebuild_ = false;
    }
}

void MainWindow::openFile(const QString& path) {
    run([this, path] { return openImage(state_, ss(path)); });
}

ActionResult MainWindow::run(const std::function<ActionResult()>& command) {
    return runCommand(command, true);
}

ActionResult MainWindow::runHere(const std::function<ActionResult()>& command) {
    return runCommand(command, false);
}

ActionResult MainWindow::runCommand(const std::function<ActionResult()>& command, bool offThread) {
    if (busy_) return ActionResult::Refused;
    busy_ = true;
    cancel_->setEnabled(true);
    ui_->startCommand();
    ActionResult result = ActionResult::Nothing;
    {
        ProgressScope scope(state_, ui_);
        if (offThread) {
            // The worker owns the state until it returns: the preview shows its last picture.
            preview_->setHeld(true);
            runOffThread(
                {cancel_, escape_}, [this] { ui_->requestCancel(); }, [&] { result = command(); });
            preview_->setHeld(false);
        } else {
            result = command();
        }
    }
    busy_ = false;
    cancel_->setEnabled(false);
    if (previewResized_) {
        previewResized_ = false;
        state_.window.previewBoxWidth = preview_->width();
        state_.window.previewBoxHeight = preview_->height();
    }
    if (pendingPrinterBox_) {
        applyPrinterBox(state_, *pendingPrinterBox_);
        pendingPrinterBox_.reset();
    }
    finish(result);
    return result;
}

void MainWindow::finish(ActionResult result) {
    switch (result) {
    case ActionResult::Rebuild:
        rebuild();
        break;
    case ActionResult::Close:
        showState();
        close();
        break;
    default:
        showState();
        break;
    }
}

void MainWindow::notAvailable() {
    ui_->showMessage(MessageIcon::Information, text(state_.language, kTextProgramName),
                     "Not available yet");
}

void MainWindow::applySliders() {
    // A move made during long work is applied once the work is over.
    if (busy_) {
        sliderTimer_->start();
        return;
    }
    const int brightness = brightness_->value(), contrast = contrast_->value();
    run([this, brightness, contrast] {
        setBrightness(state_, brightness);
        return setContrast(state_, contrast);
    });
}

void MainWindow::commandOpenFile() {
    const std::string title = ss(plainText(state_.language, 11));
    run([this, title] {
        static const char* kFilters =
            "Image Files (*.tif *.psd *.png *.gif *.jpg *.bmp);;"
            "Jpeg files  *.jpg *.jpeg (*.jpg *.jpeg);;Tiff files *.tif (*.tif);;"
            "PNG Files  *.png (*.png);;PSD Files *.psd (*.psd);;GIF Files *gif  (*.gif);;"
            "Windows bitmap *.bmp (*.bmp)";
        const std::string path =
            ui_->chooseFile(false, title, kFilters, state_.recent.recentFiles[1]);
        if (path.empty()) return ActionResult::Nothing;
        return openImage(state_, path);
    });
}

void MainWindow::commandPrint() {
    const std::string chosen = ss(printerBox_->currentText());
    run([this, chosen] {
        const std::vector<std::string> queues =
            hooks_.listQueues ? hooks_.listQueues(state_) : spoolerQueuesOfTarget(state_);
        return printImageAction(state_, queues, chosen);
    });
}

void MainWindow::commandPatternSetup() {
    if (busy_) return;
    PatternSetupWindow setup(state_, this);
    connect(&setup, &PatternSetupWindow::printRequested, this, [this] {
        const std::string chosen = ss(printerBox_->currentText());
        run([this, chosen] {
            const std::vector<std::string> queues =
                hooks_.listQueues ? hooks_.listQueues(state_) : spoolerQueuesOfTarget(state_);
            return printPatternAction(state_, queues, chosen);
        });
    });
    setup.exec();
    run([this] {
        updatePatternMask(state_);
        refreshPreview(state_);
        return ActionResult::Done;
    });
}

void MainWindow::commandBlankPage() {
    const std::string chosen = ss(printerBox_->currentText());
    run([this, chosen] { return printBlankPage(state_, chosen); });
}

void MainWindow::commandProfile(bool output) {
    const std::string title = ss(plainText(state_.language, output ? 17 : 16));
    run([this, output, title] {
        const std::string current = resolveProfilePath(
            state_.locations.programFolder,
            output ? outputProfileSetting(state_.settings) : inputProfileSetting(state_.settings));
        const std::string path =
            ui_->chooseFile(false, title, "ICC profiles (*.icc *.icm *.ICC *.ICM);;All files (*)",
                            current.empty() ? state_.locations.programFolder : current);
        const ActionResult r = chooseProfile(state_, output, path);
        // The new profile takes effect in a new window, which loads the picture again.
        return r == ActionResult::Done ? ActionResult::Rebuild : r;
    });
}

void MainWindow::commandHelpFile() {
    // Our HTML help page takes the place of the compiled help file; the browser reports a
    // missing page itself.
    const QString path = qs(helpFilePath(state_));
    if (!openUrl(QUrl::fromLocalFile(path)))
        ui_->showMessage(MessageIcon::Warning, text(state_.language, kTextProgramName),
                         ss(QStringLiteral("No program could open ") + path));
}

void MainWindow::commandHelpLink(int k) {
    const std::string target = text(state_.language, 301 + 2 * k);
    if (target.empty() || !openUrl(QUrl(qs(target)))) notAvailable();
}

bool MainWindow::openUrl(const QUrl& url) {
    return hooks_.openUrl ? hooks_.openUrl(url) : QDesktopServices::openUrl(url);
}

void MainWindow::commandUnits() {
    runHere([this] {
        UnitDialog dialog(state_, this);
        runDialog(dialog);
        // The choice was written as it was made; the sizes show in it afterwards.
        return ActionResult::Done;
    });
}

void MainWindow::commandLanguage() {
    runHere([this] {
        LanguageDialog dialog(state_, this);
        runDialog(dialog);
        return dialog.changed() ? ActionResult::Rebuild : ActionResult::Nothing;
    });
}

void MainWindow::commandAbout() {
    runHere([this] {
        const std::vector<SpoolerQueue> queues =
            hooks_.spoolerQueues ? hooks_.spoolerQueues() : spoolerQueues();
        AboutDialog dialog(state_, aboutText(state_, queues), this);
        runDialog(dialog);
        return ActionResult::Nothing;
    });
}

void MainWindow::commandPrinterModel() {
    runHere([this] {
        PrinterModelDialog dialog(state_, this);
        if (runDialog(dialog) != QDialog::Accepted || dialog.chosenModel().empty())
            return ActionResult::Nothing;
        const ActionResult r = chooseTargetPrinter(state_, dialog.chosenModel());
        // Lists, margins and the printer box follow the model: the window is built again.
        return r == ActionResult::Done ? ActionResult::Rebuild : r;
    });
}

void MainWindow::commandProof() {
    // The picture is made off the window thread (the interpreter takes a while), the window
    // that shows it on it.
    ProofPicture picture;
    if (run([this, &picture] { return picture.make(state_); }) != ActionResult::Done) return;
    runHere([this, &picture] {
        ProofWindow proof(qs(picture.path()), this);
        runDialog(proof);
        return ActionResult::Nothing;
    });
}

void MainWindow::commandExitButton() {
    if (busy_) return;
    choosePrinterQueue(state_, ss(printerBox_->currentText()));
    close();
}

void MainWindow::startPrinterBoxWorker() {
    if (printerWatcher_) {
        printerWatcher_->disconnect(this);
        printerWatcher_->deleteLater();
    }
    printerWatcher_ = new QFutureWatcher<PrinterBoxContents>(this);
    connect(printerWatcher_, &QFutureWatcher<PrinterBoxContents>::finished, this, [this] {
        PrinterBoxContents contents = printerWatcher_->result();
        printerBoxFilled_ = true;
        // A running command owns the state until it ends; the list waits for it.
        if (busy_) {
            pendingPrinterBox_ = std::move(contents);
            return;
        }
        applyPrinterBox(state_, contents);
        showPrinterBox();
    });
    std::function<PrinterBoxContents(const PrinterBoxRequest&)> list = hooks_.listPrinterBox;
    if (!list) list = [](const PrinterBoxRequest& r) { return listPrinterBox(r); };
    printerWatcher_->setFuture(
        QtConcurrent::run([list, request = printerBoxRequest(state_)]() { return list(request); }));
}

void MainWindow::restorePlacement() {
    auto value = [this](const SettingKey& key, bool& present) {
        const std::string v = readSetting(state_.settings, key);
        present = present && !v.empty();
        return static_cast<int>(std::lround(settingValue(v)));
    };
    bool present = true;
    const int x = value(keys::kWindowX, present);
    const int y = value(keys::kWindowY, present);
    const int w = value(keys::kWindowWidth, present);
    const int h = value(keys::kWindowHeight, present);
    if (present && w > 0 && h > 0) {
        resize(w, h);
        move(x, y);
    } else {
        resize(1005, 494);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect desk = screen->availableGeometry();
            move(desk.x() + (desk.width() - 1005) / 2, desk.y() + (desk.height() - 485) / 2);
        }
    }
    bool previewPresent = true;
    const int previewWidth = value(keys::kPreviewWidth, previewPresent);
    const int total = std::max(width() - 12, 1);
    const int start =
        previewPresent && previewWidth > 0 ? previewWidth : state_.layout.layoutBoxWidth;
    splitter_->setSizes({start, std::max(total - start, 1)});
}

void MainWindow::savePlacement() {
    writeSettingNumber(state_.settings, keys::kWindowX, x());
    writeSettingNumber(state_.settings, keys::kWindowY, y());
    writeSettingNumber(state_.settings, keys::kWindowWidth, width());
    writeSettingNumber(state_.settings, keys::kWindowHeight, height());
    writeSettingNumber(state_.settings, keys::kPreviewWidth, preview_->width());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Long work runs inside a command; closing now would pull the state from under it.
    if (busy_) {
        ui_->requestCancel();
        event->ignore();
        return;
    }
    savePlacement();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_ && event->type() == QEvent::Resize) {
        // The preview box size is a control value like any other; while a command owns the
        // state it is taken over when the command ends.
        if (busy_) {
            previewResized_ = true;
        } else {
            state_.window.previewBoxWidth = preview_->width();
            state_.window.previewBoxHeight = preview_->height();
        }
    }
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QMainWindow::eventFilter(watched, event);
    if (watched == xCopies_ || watched == yCopies_) {
        if (key->modifiers() & Qt::ShiftModifier) {
            run([this] {
                refreshPreview(state_);
                return ActionResult::Done;
            });
        } else {
            const std::string x = ss(xCopies_->text()), y = ss(yCopies_->text());
            run([this, x, y] { return setCopyCounts(state_, x, y); });
        }
        return true;
    }
    if (watched == width_) {
        const std::string typed = ss(width_->text());
        run([this, typed] { return setTypedWidth(state_, typed); });
        return true;
    }
    if (watched == height_) {
        const std::string typed = ss(height_->text());
        run([this, typed] { return setTypedHeight(state_, typed); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- The page set-up, colour and network dialogs.

int MainWindow::runDialog(QDialog& dialog) {
    return hooks_.runDialog ? hooks_.runDialog(dialog) : dialog.exec();
}

void MainWindow::commandColourDialog() {
    runHere([this] {
        ColourDialog dialog(state_, this);
        // The preview draws through the tone curves: it follows every move.
        connect(&dialog, &ColourDialog::curvesChanged, preview_, qOverload<>(&QWidget::update));
        runDialog(dialog);
        return ActionResult::Done;
    });
}

void MainWindow::commandCustomPaper() {
    runHere([this] {
        CustomPaperDialog dialog(state_, this);
        // A saved size is in the paper box at once.
        connect(&dialog, &CustomPaperDialog::papersChanged, this, [this] { showState(); });
        runDialog(dialog);
        return ActionResult::Done;
    });
}

void MainWindow::commandPrintMargins() {
    std::optional<std::array<double, 4>> chosen;
    runHere([this, &chosen] {
        MarginsDialog dialog(state_, this);
        if (runDialog(dialog) == QDialog::Accepted) chosen = dialog.marginsPt();
        return ActionResult::Nothing;
    });
    // A picture larger than the new printable area is fitted to it: long work.
    if (chosen) run([this, &chosen] { return applyPrintMargins(state_, *chosen); });
}

void MainWindow::commandNetworkUtility() {
    runHere([this] {
        NetworkWindow window(state_, this);
        runDialog(window);
        return ActionResult::Nothing;
    });
}
