// The main window: the picture preview with its controls, the menus, the status line and the
// progress bar. It only moves values between its controls and AppState and calls the user
// actions of actions/actions.h.
#pragma once

#include "actions/actions.h"
#include "actions/printer_box.h"
#include "core/progress.h"
#include "core/ui.h"

#include <QMainWindow>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct AppState;
class QAction;
class QDialog;
class QUrl;
struct SpoolerQueue;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSplitter;
class QTimer;
class QToolButton;
template <typename T> class QFutureWatcher;

// Control and command identifiers. Every control and menu entry carries its identifier as its
// object name, so tests and helpers find it by number.
inline constexpr int kIdExitButton = 1001;
inline constexpr int kIdPrinterBox = 1004;
inline constexpr int kIdPrintButton = 1009;
inline constexpr int kIdProgressBar = 1010;
inline constexpr int kIdStatusLine = 1011;
inline constexpr int kIdMirror = 1012;
inline constexpr int kIdRotate = 1016;
inline constexpr int kIdPreview = 1017;
inline constexpr int kIdCopies = 1022;
inline constexpr int kIdTrayBox = 1023;
inline constexpr int kIdMenuOpen = 1026;
inline constexpr int kIdMenuPrint = 1027;
inline constexpr int kIdMenuSaveSettings = 1028;
inline constexpr int kIdMenuExit = 1029;
inline constexpr int kIdMenuLoadSettings = 1030;
inline constexpr int kIdMenuAbout = 1032;
inline constexpr int kIdContrastSlider = 1038;
inline constexpr int kIdContrastValue = 1039;
inline constexpr int kIdMenuRecent1 = 1045; // .. 1049
inline constexpr int kIdMenuLoadDefaults = 1050;
inline constexpr int kIdWidth = 1058;
inline constexpr int kIdHeight = 1059;
inline constexpr int kIdResolution = 1060;
inline constexpr int kIdZoom = 1070;
inline constexpr int kIdResetContrast = 1074;
inline constexpr int kIdResetBrightness = 1075;
inline constexpr int kIdMenuColourDialog = 1078;
inline constexpr int kIdMediaBox = 1079;
inline constexpr int kIdSliderTimer = 1085;
inline constexpr int kIdMenuLanguage = 1088;
inline constexpr int kIdBrightnessSlider = 1105;
inline constexpr int kIdBrightnessValue = 1106;
inline constexpr int kIdMenuProfileOut = 1114;
inline constexpr int kIdMenuProfileIn = 1115;
inline constexpr int kIdXCopies = 1116;
inline constexpr int kIdYCopies = 1117;
inline constexpr int kIdTotalCopies = 1118;
inline constexpr int kIdAutoTile = 1119;
inline constexpr int kIdFitToPage = 1120;
inline constexpr int kIdUtilityLabel = 1121;
inline constexpr int kIdMenuUnits = 1124;
inline constexpr int kIdSwatch1 = 1131; // .. 1146
inline constexpr int kIdMenuPrintMargins = 1168;
inline constexpr int kIdAlignCentre = 1169; // .. 1172: centre, top-left, top-centre, top-right
inline constexpr int kIdMenuCustomPaper = 1177;
inline constexpr int kIdPaperBox = 1178;
inline constexpr int kIdMenuBlankPage = 1198;
inline constexpr int kIdLeftHand = 1199;
inline constexpr int kIdRightHand = 1200;
inline constexpr int kIdFlip = 1202;
inline constexpr int kIdMenuNetworkUtility = 1204;
inline constexpr int kIdCropImage = 1245;
inline constexpr int kIdMenuPatternPrint = 1286;
inline constexpr int kIdGuardArea = 1289;
inline constexpr int kIdPatternPreview = 1290;
inline constexpr int kIdMenuHelpFile = 1549;
inline constexpr int kIdMenuHelpLink1 = 1550; // .. 1555
inline constexpr int kIdPatternPrint = 2148;
inline constexpr int kIdMenuPatternSetup = 2149;
inline constexpr int kIdFixedSpacing = 2157;
// The Cancel button beside the progress bar (no identifier of its own in the command table).
inline constexpr int kIdCancelButton = 3001;
// Tools entries of our own: the printer model window and the proof.
inline constexpr int kIdMenuPrinterModel = 3002;
inline constexpr int kIdMenuProof = 3003;

// The preview area: draws the page preview of the state at its own size and takes dropped
// files.
class PreviewArea : public QWidget {
    Q_OBJECT
  public:
    PreviewArea(const AppState& state, QWidget* parent);
    QSize sizeHint() const override;

  signals:
    // The first dropped file, links resolved.
    void fileDropped(const QString& path);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    const AppState& state_;
};

// What the main window asks the system for; tests put their own answers here.
struct MainWindowHooks {
    // Fills the printer box; runs on a worker thread with the request alone.
    std::function<PrinterBoxContents(const PrinterBoxRequest&)> listPrinterBox;
    // The target printer's queues, asked by Print on the window's thread.
    std::function<std::vector<std::string>(const AppState&)> listQueues;
    // When set, message boxes, questions and file dialogs go here instead of to Qt dialogs
    // (the window still shows status and progress itself).
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

class MainWindow : public QMainWindow, public UserInterface, public ProgressSink {
    Q_OBJECT
  public:
    using Hooks = MainWindowHooks;

    explicit MainWindow(AppState& state, Hooks hooks = {});
    ~MainWindow() override;

    // UserInterface
    void showMessage(MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool askOkCancel(const std::string& caption, const std::string& text) override;
    void showStatus(const std::string& text) override;
    void showProgress(int percent) override;
    std::string chooseFile(bool save, const std::string& title, const std::string& filter,
                           const std::string& initialPath) override;

    // ProgressSink: shows the step and keeps the window answering (Cancel, Escape).
    void step(int phase, int percent) override;

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
    void buildMenus();
    void startPrinterBoxWorker();
    void showPrinterBox();
    void restorePlacement();
    void savePlacement();
    // Runs one command: refused while another runs; the result decides what follows.
    void run(const std::function<ActionResult()>& command);
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
    bool busy_ = false;
    bool printerBoxFilled_ = false;
    bool reloadingAfterRebuild_ = false;
    std::optional<PrinterBoxContents> pendingPrinterBox_;
    qint64 lastEventPump_ = 0;
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
