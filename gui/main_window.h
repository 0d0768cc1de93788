// The main window: the picture preview with its controls, the menus, the status line and the
// progress bar. It only moves values between its controls and AppState and calls the user
// actions of actions/actions.h. The form (controls, menus, showState) is main_form.cpp; the
// commands run off the window thread (command_runner.h) and report through the window's
// seam (window_ui.h).
#pragma once

#include "actions/actions.h"
#include "actions/printer_box.h"
#include "core/ui.h"
#include "gui/control_ids.h"
#include "gui/preview_area.h"

#include <QMainWindow>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct AppState;
class QAction;
class QUrl;
struct SpoolerQueue;
class QCheckBox;
class QComboBox;
class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QShortcut;
class QSplitter;
class QTimer;
class QToolButton;
template <typename T> class QFutureWatcher;
class WindowUi;

// What the main window asks the system for; tests put their own answers here.
struct MainWindowHooks {
    // Fills the printer box; runs on a worker thread with the request alone.
    std::function<PrinterBoxContents(const PrinterBoxRequest&)> listPrinterBox;
    // The target printer's queues, asked by Print on the command's worker thread.
    std::function<std::vector<std::string>(const AppState&)> listQueues;
    // When set, message boxes, questions and file dialogs go here instead of to Qt dialogs
    // (the window still shows status and progress itself); called on the window's thread.
    UserInterface* dialogs = nullptr;
    // When set, the modal windows of the commands (units, language, About, printer model,
    // proof, colour, custom paper, margins, network utility) are handed here instead of being
    // run; it returns the dialog's result. Tests drive the dialog's controls inside.
    std::function<int(QDialog&)> runDialog;
    // Opens the help page and links (default: the desktop's browser).
    std::function<bool(const QUrl&)> openUrl;
    // The spooler's queues for the About box (default: the CUPS server's).
    std::function<std::vector<SpoolerQueue>()> spoolerQueues;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    using Hooks = MainWindowHooks;

    explicit MainWindow(AppState& state, Hooks hooks = {});
    ~MainWindow() override;

    // Loads path as Open File does (the program's command-line file).
    void openFile(const QString& path);
    // Writes every AppState value into the controls (signals blocked).
    void showState();
    // Builds the window again from the state (language or profile change, failed
    // conversion); a loaded picture is loaded again.
    void rebuild();
    // True while a command runs; other commands are refused meanwhile.
    bool busy() const { return busy_; }
    // True once the printer box worker has delivered its result.
    bool printerBoxFilled() const { return printerBoxFilled_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    QGridLayout* buildPictureColumn(QWidget* panel);
    QGridLayout* buildPageColumn(QWidget* panel);
    QHBoxLayout* buildStatusRow(QWidget* central);
    void connectControls();
    void buildMenus();
    void startPrinterBoxWorker();
    void showPrinterBox();
    void restorePlacement();
    void savePlacement();
    // Runs one command on the worker thread: refused while another runs; the result decides
    // what follows. The command must not touch a control: what it needs of them is read
    // before.
    ActionResult run(const std::function<ActionResult()>& command);
    // The same on the window's thread, for commands that open a window of their own.
    ActionResult runHere(const std::function<ActionResult()>& command);
    // Shared by both: state of the window while the command runs, and what follows it.
    // Returns the command's result (Refused when another one runs).
    ActionResult runCommand(const std::function<ActionResult()>& command, bool offThread);
    void finish(ActionResult result);
    void notAvailable();
    void applySliders();
    void commandOpenFile();
    // Pattern Print check box, its menu entry and Pattern Print Setup: the setup window.
    void commandPatternSetup();
    void commandPrint();
    void commandBlankPage();
    void commandProfile(bool output);
    void commandHelpFile();
    void commandHelpLink(int n);
    void commandExitButton();
    void commandUnits();
    void commandLanguage();
    void commandAbout();
    void commandPrinterModel();
    void commandProof();
    // Commands that open the page set-up, colour and network dialogs.
    void commandColourDialog();
    void commandCustomPaper();
    void commandPrintMargins();
    void commandNetworkUtility();
    // Runs a modal window (or hands it to the test hook); returns its result.
    int runDialog(QDialog& dialog);
    bool openUrl(const QUrl& url);
    bool eventFilter(QObject* watched, QEvent* event) override;

    AppState& state_;
    Hooks hooks_;
    UserInterface* previousUi_ = nullptr;
    WindowUi* ui_ = nullptr;
    QShortcut* escape_ = nullptr;
    bool busy_ = false;
    bool printerBoxFilled_ = false;
    bool reloadingAfterRebuild_ = false;
    // What arrived while a command owned the state, applied when it ends.
    std::optional<PrinterBoxContents> pendingPrinterBox_;
    bool previewResized_ = false;
    QFutureWatcher<PrinterBoxContents>* printerWatcher_ = nullptr;

    // Controls.
    QSplitter* splitter_ = nullptr;
    PreviewArea* preview_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QComboBox* printerBox_ = nullptr;
    QComboBox* mediaBox_ = nullptr;
    QComboBox* paperBox_ = nullptr;
    QComboBox* trayBox_ = nullptr;
    QLineEdit* copies_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QCheckBox* patternPrint_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QCheckBox* mirror_ = nullptr;
    QCheckBox* rotate_ = nullptr;
    QCheckBox* flip_ = nullptr;
    QCheckBox* guardArea_ = nullptr;
    QCheckBox* patternPreview_ = nullptr;
    QPushButton* cropButton_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QLineEdit* resolution_ = nullptr;
    QLabel* zoom_ = nullptr;
    QLabel* widthUnit_ = nullptr;
    QLabel* heightUnit_ = nullptr;
    QSlider* brightness_ = nullptr;
    QSlider* contrast_ = nullptr;
    QLabel* brightnessValue_ = nullptr;
    QLabel* contrastValue_ = nullptr;
    QTimer* sliderTimer_ = nullptr;
    QLineEdit* xCopies_ = nullptr;
    QLineEdit* yCopies_ = nullptr;
    QLineEdit* totalCopies_ = nullptr;
    QCheckBox* autoTile_ = nullptr;
    QPushButton* fitToPage_ = nullptr;
    std::vector<QToolButton*> swatches_;
    std::vector<QRadioButton*> alignment_;
    QCheckBox* fixedSpacing_ = nullptr;
    QToolButton* leftHand_ = nullptr;
    QToolButton* rightHand_ = nullptr;
    QLabel* utilityLabel_ = nullptr;

    // Menu entries whose state follows AppState.
    QAction* menuPrint_ = nullptr;
    QAction* menuPatternPrint_ = nullptr;
    QAction* menuBlankPage_ = nullptr;
    std::vector<QAction*> recent_;
};

// The control or menu entry of the window with identifier id (null when there is none).
QObject* findById(QWidget* window, int id);
