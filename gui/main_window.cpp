#include "gui/main_window.h"

#include "actions/about.h"
#include "gui/about_dialog.h"
#include "actions/app_state.h"
#include "gui/colour_dialog.h"
#include "gui/custom_paper_dialog.h"
#include "actions/help.h"
#include "gui/language_dialog.h"
#include "gui/margins_dialog.h"
#include "gui/printer_model_dialog.h"
#include "actions/proof_picture.h"
#include "gui/proof_window.h"
#include "core/texts.h"
#include "gui/unit_dialog.h"
#include "image/colour.h"
#include "image/placement.h"
#include "actions/pattern_actions.h"
#include "netutil/discovery.h"
#include "gui/network_window.h"
#include "gui/pattern_setup_window.h"
#include "settings/recent_files.h"
#include "settings/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

std::string ss(const QString& s) {
    return s.toStdString();
}

// Text n without its access-key ampersand, for labels and dialog titles.
QString plainText(const AppState& state, int n) {
    QString t = qs(text(state.language, n));
    t.remove(QLatin1Char('&'));
    return t;
}

void tag(QObject* object, int id) {
    object->setObjectName(QString::number(id));
}

QString percentText(int value) {
    return QString::number(value) + QLatin1Char('%');
}

// Menu texts show '&' as an access key; a path keeps its own ampersands.
QString menuSafe(const std::string& s) {
    QString t = qs(s);
    t.replace(QLatin1Char('&'), QLatin1String("&&"));
    return t;
}

void setTextKeepingCursor(QLineEdit* edit, const std::string& value) {
    const QString v = qs(value);
    if (edit->text() != v) edit->setText(v);
}

void fillBox(QComboBox* box, const std::vector<std::string>& items, int selected) {
    QStringList wanted;
    for (const auto& item : items)
        wanted << qs(item);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != wanted) {
        box->clear();
        box->addItems(wanted);
    }
    box->setCurrentIndex(selected);
}

int indexOf(const std::vector<std::string>& items, const std::string& item) {
    auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

std::vector<std::string> spoolerQueuesOfTarget(const AppState& state) {
    std::vector<std::string> names;
    for (const auto& entry : listPrinterQueues(state.target, QueueListKind::PrinterBox))
        names.push_back(entry.queueName);
    return names;
}

constexpr int kSwatchCount = 16;
constexpr int kRecentCount = 5;
constexpr int kHelpLinkCount = 6;
// Minimum time between two event pumps during long work: often enough for Cancel and
// repaints, rare enough not to slow the per-row steps.
constexpr qint64 kPumpIntervalMs = 30;

} // namespace

// --- Preview area ---------------------------------------------------------------------------

PreviewArea::PreviewArea(const AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    tag(this, kIdPreview);
    setAcceptDrops(true);
    setMinimumSize(150, 200);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PreviewArea::sizeHint() const {
    return {298, 421}; // the starting preview box
}

void PreviewArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width(), h = height();
    std::vector<std::uint8_t> pixels = renderPagePreview(previewScene(state_), w, h);
    if (w <= 0 || h <= 0 || pixels.size() != static_cast<std::size_t>(w) * h * 4) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    // The pixels are B, G, R, A bytes: the memory order of ARGB32 on a little-endian machine.
    const QImage image(pixels.data(), w, h, w * 4, QImage::Format_ARGB32);
    painter.drawImage(0, 0, image);
}

void PreviewArea::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PreviewArea::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PreviewArea::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) return;
    // Only the first file of the dropped list counts.
    const QString local = urls.first().toLocalFile();
    if (local.isEmpty()) return;
    event->acceptProposedAction();
    const QString target = QFileInfo(local).canonicalFilePath();
    emit fileDropped(target.isEmpty() ? local : target);
}

// --- Main window ------------------------------------------------------------------------------

QObject* findById(QWidget* window, int id) {
    return window->findChild<QObject*>(QString::number(id));
}

MainWindow::MainWindow(AppState& state, Hooks hooks)
    : QMainWindow(nullptr), state_(state), hooks_(std::move(hooks)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildControls();
    buildMenus();
    previousUi_ = state_.ui;
    state_.ui = this;
    setUpMainWindow(state_);
    showState();
    restorePlacement();

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (busy_) requestCancel();
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
    if (state_.ui == this) state_.ui = previousUi_;
}

void MainWindow::buildControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 6, 6, 4);
    outer->setSpacing(4);

    splitter_ = new QSplitter(Qt::Horizontal, central);
    preview_ = new PreviewArea(state_, splitter_);
    preview_->installEventFilter(this);
    connect(preview_, &PreviewArea::fileDropped, this, [this](const QString& path) {
        run([this, path] { return openDroppedFile(state_, ss(path)); });
    });

    auto* panel = new QWidget(splitter_);
    auto* columns = new QHBoxLayout(panel);
    columns->setContentsMargins(6, 0, 0, 0);
    columns->setSpacing(12);
    splitter_->addWidget(preview_);
    splitter_->addWidget(panel);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setCollapsible(0, false);
    splitter_->setCollapsible(1, false);

    auto label = [&](int n, QWidget* buddy = nullptr) {
        auto* l = new QLabel(plainText(state_, n), panel);
        if (buddy) l->setBuddy(buddy);
        return l;
    };
    auto checkBox = [&](int id, int n) {
        auto* c = new QCheckBox(n >= 0 ? plainText(state_, n) : QString(), panel);
        tag(c, id);
        return c;
    };
    auto lineEdit = [&](int id, int width) {
        auto* e = new QLineEdit(panel);
        tag(e, id);
        e->setFixedWidth(width);
        return e;
    };

    // --- The picture column: size, orientation, adjustments, preview background.
    auto* imageGrid = new QGridLayout;
    imageGrid->setVerticalSpacing(4);
    int row = 0;
    width_ = lineEdit(kIdWidth, 70);
    height_ = lineEdit(kIdHeight, 70);
    resolution_ = lineEdit(kIdResolution, 70);
    resolution_->setReadOnly(true);
    widthUnit_ = new QLabel(panel);
    heightUnit_ = new QLabel(panel);
    width_->installEventFilter(this);
    height_->installEventFilter(this);
    imageGrid->addWidget(label(56, width_), row, 0);
    imageGrid->addWidget(width_, row, 1);
    imageGrid->addWidget(widthUnit_, row++, 2);
    imageGrid->addWidget(label(57, height_), row, 0);
    imageGrid->addWidget(height_, row, 1);
    imageGrid->addWidget(heightUnit_, row++, 2);
    imageGrid->addWidget(label(58, resolution_), row, 0);
    imageGrid->addWidget(resolution_, row++, 1);
    zoom_ = new QLabel(panel);
    tag(zoom_, kIdZoom);
    imageGrid->addWidget(label(59), row, 0);
    imageGrid->addWidget(zoom_, row++, 1);

    auto* orientation = new QHBoxLayout;
    rotate_ = checkBox(kIdRotate, 51);
    mirror_ = checkBox(kIdMirror, 50);
    flip_ = checkBox(kIdFlip, 175);
    orientation->addWidget(rotate_);
    orientation->addWidget(mirror_);
    orientation->addWidget(flip_);
    orientation->addStretch(1);
    imageGrid->addLayout(orientation, row++, 0, 1, 3);

    cropButton_ = new QPushButton(plainText(state_, 208), panel);
    tag(cropButton_, kIdCropImage);
    imageGrid->addWidget(cropButton_, row++, 0, 1, 2);

    auto slider = [&](int id, int valueId, int resetId, int n, QSlider*& s, QLabel*& value) {
        s = new QSlider(Qt::Horizontal, panel);
        tag(s, id);
        s->setRange(-100, 100);
        s->setPageStep(10);
        value = new QLabel(QStringLiteral("0%"), panel);
        tag(value, valueId);
        value->setMinimumWidth(QFontMetrics(value->font()).horizontalAdvance("-100%") + 2);
        auto* resetButton = new QToolButton(panel);
        tag(resetButton, resetId);
        resetButton->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
        resetButton->setAutoRaise(true);
        resetButton->setToolTip(plainText(state_, n) + QStringLiteral(" 0%"));
        imageGrid->addWidget(label(n, s), row++, 0, 1, 3);
        auto* line = new QHBoxLayout;
        line->addWidget(s, 1);
        line->addWidget(value);
        line->addWidget(resetButton);
        imageGrid->addLayout(line, row++, 0, 1, 3);
        connect(s, &QSlider::valueChanged, this, [this, value](int v) {
            value->setText(percentText(v));
            sliderTimer_->start();
        });
        // The reset applies both sliders at once, so a move of the other one that is still
        // waiting for its timer is not lost.
        connect(resetButton, &QToolButton::clicked, this, [this, s] {
            if (busy_) return;
            const QSignalBlocker quiet(s);
            s->setValue(0);
            sliderTimer_->stop();
            applySliders();
        });
    };
    slider(kIdBrightnessSlider, kIdBrightnessValue, kIdResetBrightness, 55, brightness_,
           brightnessValue_);
    slider(kIdContrastSlider, kIdContrastValue, kIdResetContrast, 249, contrast_, contrastValue_);

    auto* guards = new QHBoxLayout;
    guardArea_ = checkBox(kIdGuardArea, 264);
    patternPreview_ = checkBox(kIdPatternPreview, 265);
    guards->addWidget(guardArea_);
    guards->addWidget(patternPreview_);
    guards->addStretch(1);
    imageGrid->addLayout(guards, row++, 0, 1, 3);

    auto* swatchGrid = new QGridLayout;
    swatchGrid->setSpacing(2);
    swatches_.clear();
    for (int n = 1; n <= kSwatchCount; ++n) {
        auto* b = new QToolButton(panel);
        tag(b, kIdSwatch1 + n - 1);
        b->setFixedSize(18, 18);
        b->setCheckable(true);
        const auto rgb = previewBackgroundColour(n);
        b->setStyleSheet(QStringLiteral("QToolButton { background-color: rgb(%1,%2,%3); border: "
                                        "1px solid gray; } QToolButton:checked { border: 2px "
                                        "solid #1060d0; }")
                             .arg(rgb[0])
                             .arg(rgb[1])
                             .arg(rgb[2]));
        connect(b, &QToolButton::clicked, this,
                [this, n] { run([this, n] { return setPreviewBackground(state_, n); }); });
        swatchGrid->addWidget(b, (n - 1) / 8, (n - 1) % 8);
        swatches_.push_back(b);
    }
    imageGrid->addLayout(swatchGrid, row++, 0, 1, 3, Qt::AlignLeft);

    auto* hands = new QHBoxLayout;
    leftHand_ = new QToolButton(panel);
    rightHand_ = new QToolButton(panel);
    tag(leftHand_, kIdLeftHand);
    tag(rightHand_, kIdRightHand);
    leftHand_->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    rightHand_->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    for (QToolButton* b : {leftHand_, rightHand_}) {
        b->setCheckable(true);
        b->setAutoRaise(true);
        hands->addWidget(b);
    }
    hands->addStretch(1);
    imageGrid->addLayout(hands, row++, 0, 1, 3);
    imageGrid->setRowStretch(row, 1);
    imageGrid->setColumnStretch(2, 1);

    // --- The page column: printer, paper, copies, layout, print.
    auto* pageGrid = new QGridLayout;
    pageGrid->setVerticalSpacing(4);
    row = 0;
    utilityLabel_ = new QLabel(plainText(state_, 29), panel);
    tag(utilityLabel_, kIdUtilityLabel);
    QFont bold = utilityLabel_->font();
    bold.setBold(true);
    utilityLabel_->setFont(bold);
    pageGrid->addWidget(utilityLabel_, row++, 0, 1, 2);

    auto comboBox = [&](int id, int n, QComboBox*& box) {
        box = new QComboBox(panel);
        tag(box, id);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(16);
        pageGrid->addWidget(label(n, box), row, 0);
        pageGrid->addWidget(box, row++, 1);
    };
    comboBox(kIdPrinterBox, 42, printerBox_);
    comboBox(kIdMediaBox, 44, mediaBox_);
    comboBox(kIdPaperBox, 30, paperBox_);
    comboBox(kIdTrayBox, 43, trayBox_);

    copies_ = lineEdit(kIdCopies, 50);
    pageGrid->addWidget(label(45, copies_), row, 0);
    pageGrid->addWidget(copies_, row++, 1, Qt::AlignLeft);

    auto* copyGrid = new QHBoxLayout;
    copyGrid->setSpacing(6);
    xCopies_ = lineEdit(kIdXCopies, 40);
    yCopies_ = lineEdit(kIdYCopies, 40);
    totalCopies_ = lineEdit(kIdTotalCopies, 40);
    totalCopies_->setReadOnly(true);
    xCopies_->installEventFilter(this);
    yCopies_->installEventFilter(this);
    copyGrid->addWidget(label(60, xCopies_));
    copyGrid->addWidget(xCopies_);
    copyGrid->addSpacing(6);
    copyGrid->addWidget(label(61, yCopies_));
    copyGrid->addWidget(yCopies_);
    copyGrid->addSpacing(6);
    copyGrid->addWidget(label(62));
    copyGrid->addWidget(totalCopies_);
    copyGrid->addStretch(1);
    pageGrid->addLayout(copyGrid, row++, 0, 1, 2);

    auto* tiling = new QHBoxLayout;
    autoTile_ = checkBox(kIdAutoTile, 63);
    fitToPage_ = new QPushButton(plainText(state_, 64), panel);
    tag(fitToPage_, kIdFitToPage);
    tiling->addWidget(autoTile_);
    tiling->addWidget(fitToPage_);
    tiling->addStretch(1);
    pageGrid->addLayout(tiling, row++, 0, 1, 2);

    auto* placement = new QHBoxLayout;
    alignment_.clear();
    static const char* kAlignmentTips[] = {"Centre", "Top left", "Top centre", "Top right"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(panel);
        tag(r, kIdAlignCentre + i);
        r->setFixedSize(20, 20);
        r->setToolTip(QString::fromLatin1(kAlignmentTips[i]));
        connect(r, &QRadioButton::clicked, this,
                [this, i] { run([this, i] { return setAlignment(state_, i); }); });
        placement->addWidget(r);
        alignment_.push_back(r);
    }
    placement->addSpacing(16);
    fixedSpacing_ = checkBox(kIdFixedSpacing, -1);
    fixedSpacing_->setToolTip(QStringLiteral("Fixed copy spacing"));
    placement->addWidget(fixedSpacing_);
    placement->addStretch(1);
    pageGrid->addLayout(placement, row++, 0, 1, 2);

    pageGrid->setRowStretch(row++, 1);
    auto* printRow = new QHBoxLayout;
    printButton_ = new QPushButton(plainText(state_, 28), panel);
    tag(printButton_, kIdPrintButton);
    printButton_->setDefault(false);
    patternPrint_ = checkBox(kIdPatternPrint, 241);
    exitButton_ = new QPushButton(plainText(state_, 7), panel);
    tag(exitButton_, kIdExitButton);
    printRow->addWidget(printButton_);
    printRow->addWidget(patternPrint_);
    printRow->addStretch(1);
    printRow->addWidget(exitButton_);
    pageGrid->addLayout(printRow, row++, 0, 1, 2);
    pageGrid->setColumnStretch(1, 1);

    columns->addLayout(imageGrid, 0);
    columns->addLayout(pageGrid, 1);

    // --- Status line, progress bar and Cancel.
    auto* bottom = new QHBoxLayout;
    status_ = new QLabel(central);
    tag(status_, kIdStatusLine);
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    status_->setTextFormat(Qt::PlainText);
    progress_ = new QProgressBar(central);
    tag(progress_, kIdProgressBar);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFixedWidth(220);
    cancel_ = new QPushButton(plainText(state_, 5), central);
    tag(cancel_, kIdCancelButton);
    cancel_->setEnabled(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { requestCancel(); });
    bottom->addWidget(status_, 1);
    bottom->addWidget(progress_);
    bottom->addWidget(cancel_);

    outer->addWidget(splitter_, 1);
    outer->addLayout(bottom);

    QWidget* old = takeCentralWidget();
    setCentralWidget(central);
    if (old) {
        // Commands may be running inside a control of the old set: it goes later, nameless,
        // so only the new controls answer to their identifiers.
        for (QObject* child : old->findChildren<QObject*>())
            child->setObjectName(QString());
        old->hide();
        old->deleteLater();
    }

    // --- Commands of the controls. Only the user's own changes start commands: buttons by
    // clicked, edits by textEdited, and showState() blocks the signals of every control.
    connect(printerBox_, &QComboBox::currentIndexChanged, this, [this](int) {
        run([this] { return choosePrinterQueue(state_, ss(printerBox_->currentText())); });
    });
    connect(mediaBox_, &QComboBox::currentIndexChanged, this, [this](int i) {
        run([this, i] {
            if (i < 0 || i >= static_cast<int>(state_.page.mediaIds.size()))
                return ActionResult::Refused;
            return chooseMedium(state_, state_.page.mediaIds[static_cast<std::size_t>(i)]);
        });
    });
    connect(paperBox_, &QComboBox::currentIndexChanged, this, [this](int) {
        run([this] { return choosePaper(state_, ss(paperBox_->currentText())); });
    });
    connect(trayBox_, &QComboBox::currentIndexChanged, this, [this](int) {
        run([this] { return chooseTray(state_, ss(trayBox_->currentText())); });
    });
    connect(copies_, &QLineEdit::textEdited, this, [this](const QString& t) {
        run([this, t] {
            setCopies(state_, ss(t));
            return ActionResult::Done;
        });
    });
    connect(printButton_, &QPushButton::clicked, this, &MainWindow::commandPrint);
    connect(patternPrint_, &QCheckBox::clicked, this, &MainWindow::commandPatternSetup);
    connect(exitButton_, &QPushButton::clicked, this, &MainWindow::commandExitButton);
    connect(rotate_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { return setRotate(state_, on); }); });
    connect(mirror_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { return setMirror(state_, on); }); });
    connect(flip_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { return setFlip(state_, on); }); });
    connect(cropButton_, &QPushButton::clicked, this,
            [this] { run([this] { return cropImage(state_); }); });
    connect(guardArea_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { return setGuardArea(state_, on); }); });
    connect(patternPreview_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { return setPatternPreview(state_, on); }); });
    connect(autoTile_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { return setAutoTile(state_, on); }); });
    connect(fitToPage_, &QPushButton::clicked, this,
            [this] { run([this] { return fitImageToPage(state_); }); });
    connect(fixedSpacing_, &QCheckBox::clicked, this, [this](bool on) {
        run([this, on] { return setFixedSpacing(state_, on, state_.layout.fixedSpacingMm); });
    });
    connect(leftHand_, &QToolButton::clicked, this,
            [this] { run([this] { return setHandedness(state_, true); }); });
    connect(rightHand_, &QToolButton::clicked, this,
            [this] { run([this] { return setHandedness(state_, false); }); });
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    for (QAction* action : bar->actions()) {
        if (QMenu* menu = action->menu()) {
            for (QObject* child : menu->findChildren<QObject*>())
                child->setObjectName(QString());
            menu->deleteLater();
        }
    }
    bar->clear();

    auto entry = [this](QMenu* menu, int id, const QString& label, std::function<void()> command) {
        QAction* a = menu->addAction(label);
        tag(a, id);
        connect(a, &QAction::triggered, this, [command] { command(); });
        return a;
    };

    QMenu* file = bar->addMenu(qs(text(state_.language, 10)));
    entry(file, kIdMenuOpen, qs(text(state_.language, 11)), [this] { commandOpenFile(); });
    menuPrint_ =
        entry(file, kIdMenuPrint, qs(text(state_.language, 12)) + QStringLiteral("\tCtrl+P"),
              [this] { commandPrint(); });
    menuPatternPrint_ = entry(file, kIdMenuPatternPrint, qs(text(state_.language, 241)),
                              [this] { commandPatternSetup(); });
    entry(file, kIdMenuPrintMargins, qs(text(state_.language, 137)),
          [this] { commandPrintMargins(); });
    menuBlankPage_ = entry(file, kIdMenuBlankPage, qs(text(state_.language, 174)),
                           [this] { commandBlankPage(); });
    entry(file, kIdMenuExit, qs(text(state_.language, 13)) + QStringLiteral("\tAlt+F4"), [this] {
        if (!busy_) close();
    });
    file->addSeparator();
    recent_.clear();
    for (int n = 1; n <= kRecentCount; ++n) {
        recent_.push_back(entry(file, kIdMenuRecent1 + n - 1, QString(), [this, n] {
            run([this, n] { return openRecentFile(state_, n); });
        }));
    }

    QMenu* tools = bar->addMenu(qs(text(state_.language, 14)));
    entry(tools, kIdMenuProfileIn, qs(text(state_.language, 16)),
          [this] { commandProfile(false); });
    entry(tools, kIdMenuProfileOut, qs(text(state_.language, 17)),
          [this] { commandProfile(true); });
    entry(tools, kIdMenuColourDialog, qs(text(state_.language, 18)),
          [this] { commandColourDialog(); });
    entry(tools, kIdMenuCustomPaper, qs(text(state_.language, 147)),
          [this] { commandCustomPaper(); });
    entry(tools, kIdMenuUnits, qs(text(state_.language, 19)), [this] { commandUnits(); });
    entry(tools, kIdMenuPatternSetup, qs(text(state_.language, 240)),
          [this] { commandPatternSetup(); });
    entry(tools, kIdMenuSaveSettings, qs(text(state_.language, 21)),
          [this] { run([this] { return saveSettingsCommand(state_); }); });
    entry(tools, kIdMenuLoadSettings, qs(text(state_.language, 22)),
          [this] { run([this] { return loadSettingsCommand(state_); }); });
    entry(tools, kIdMenuLoadDefaults, qs(text(state_.language, 23)), [this] {
        run([this] {
            const ActionResult r = loadDefaultsAction(state_);
            // The reset sliders show 0: a move still waiting for its timer is dropped.
            sliderTimer_->stop();
            return r;
        });
    });
    tools->addSeparator();
    entry(tools, kIdMenuPrinterModel, QStringLiteral("Printer &Model..."),
          [this] { commandPrinterModel(); });
    entry(tools, kIdMenuProof, QStringLiteral("P&roof"), [this] { commandProof(); });

    QMenu* utility = bar->addMenu(qs(text(state_.language, 129)));
    entry(utility, kIdMenuLanguage, qs(text(state_.language, 20)), [this] { commandLanguage(); });
    entry(utility, kIdMenuNetworkUtility, qs(text(state_.language, 69)),
          [this] { commandNetworkUtility(); });

    QMenu* help = bar->addMenu(qs(text(state_.language, 24)));
    // Our help page exists in every language: without a title of its own the entry says
    // "Help" (text 68).
    const int helpTitle = text(state_.language, 299).empty() ? 68 : 299;
    entry(help, kIdMenuHelpFile, qs(text(state_.language, helpTitle)),
          [this] { commandHelpFile(); });
    for (int k = 0; k < kHelpLinkCount; ++k) {
        const int n = 300 + 2 * k;
        QAction* link = entry(help, kIdMenuHelpLink1 + k, qs(text(state_.language, n)),
                              [this, k] { commandHelpLink(k); });
        // A language without help links leaves these entries out rather than blank.
        link->setVisible(!text(state_.language, n).empty());
    }
    entry(help, kIdMenuAbout, qs(text(state_.language, 26)), [this] { commandAbout(); });
}

void MainWindow::showState() {
    const AppState& s = state_;
    setWindowTitle(qs(s.window.windowTitle));

    QList<QWidget*> controls = centralWidget()->findChildren<QWidget*>();
    for (QWidget* w : controls)
        w->blockSignals(true);

    showPrinterBox();
    const auto media = std::find(s.page.mediaIds.begin(), s.page.mediaIds.end(), s.page.mediaId);
    fillBox(mediaBox_, s.window.mediaList,
            media == s.page.mediaIds.end() ? -1
                                           : static_cast<int>(media - s.page.mediaIds.begin()));
    fillBox(paperBox_, s.page.paperList, indexOf(s.page.paperList, s.page.paperText));
    fillBox(trayBox_, s.page.trayList, indexOf(s.page.trayList, s.page.trayText));

    setTextKeepingCursor(copies_, s.window.copiesText);
    setTextKeepingCursor(xCopies_, s.window.xCopiesText);
    setTextKeepingCursor(yCopies_, s.window.yCopiesText);
    setTextKeepingCursor(totalCopies_, s.window.totalCopiesText);
    setTextKeepingCursor(width_, s.window.widthText);
    setTextKeepingCursor(height_, s.window.heightText);
    setTextKeepingCursor(resolution_, s.window.dpiText);
    QPalette resolutionColours = resolution_->palette();
    resolutionColours.setColor(QPalette::Text, resolutionIsLow(s.layout, s.picture)
                                                   ? QColor(Qt::red)
                                                   : palette().color(QPalette::Text));
    resolution_->setPalette(resolutionColours);
    zoom_->setText(qs(s.window.scaleText));
    widthUnit_->setText(qs(unitSymbol(s.record.unit, s.language)));
    heightUnit_->setText(qs(unitSymbol(s.record.unit, s.language)));

    rotate_->setChecked(s.layout.rotateChecked);
    mirror_->setChecked(s.layout.mirrorChecked);
    flip_->setChecked(s.layout.flipChecked);
    guardArea_->setChecked(s.layout.guardAreaChecked);
    patternPreview_->setChecked(s.layout.patternPreviewChecked);
    patternPrint_->setChecked(s.layout.patternPrintChecked);
    autoTile_->setChecked(s.layout.autoTileChecked);
    fixedSpacing_->setChecked(s.layout.fixedSpacingChecked);

    // A slider move still waiting for its timer is the user's newest value: it stays.
    if (!sliderTimer_ || !sliderTimer_->isActive()) {
        brightness_->setValue(s.layout.brightness);
        contrast_->setValue(s.layout.contrast);
        brightnessValue_->setText(percentText(s.layout.brightness));
        contrastValue_->setText(percentText(s.layout.contrast));
    }

    for (int n = 1; n <= kSwatchCount; ++n)
        swatches_[static_cast<std::size_t>(n - 1)]->setChecked(s.layout.previewBackground == n);
    const bool alignable = alignmentButtonsEnabled(s.layout);
    for (int i = 0; i < 4; ++i) {
        alignment_[static_cast<std::size_t>(i)]->setChecked(static_cast<int>(s.layout.alignment) ==
                                                            i);
        alignment_[static_cast<std::size_t>(i)]->setEnabled(alignable);
    }
    leftHand_->setChecked(s.record.leftHand == 1);
    rightHand_->setChecked(s.record.leftHand != 1);

    const bool loaded = s.picture.imageLoaded == 1;
    printButton_->setEnabled(loaded);
    patternPrint_->setEnabled(loaded);
    menuPrint_->setEnabled(loaded);
    menuPatternPrint_->setEnabled(loaded);
    menuBlankPage_->setEnabled(loaded);

    for (int n = 1; n <= kRecentCount; ++n) {
        const std::string& path = s.recent.recentFiles[static_cast<std::size_t>(n)];
        QAction* a = recent_[static_cast<std::size_t>(n - 1)];
        a->setText(menuSafe(recentMenuText(path)));
        a->setEnabled(!path.empty());
    }

    status_->setText(qs(s.window.statusText));
    progress_->setValue(s.window.progress);

    for (QWidget* w : controls)
        w->blockSignals(false);
    preview_->update();
}

void MainWindow::showPrinterBox() {
    const QSignalBlocker quiet(printerBox_);
    fillBox(printerBox_, state_.window.printerList,
            indexOf(state_.window.printerList, state_.window.printerChoice));
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

void MainWindow::run(const std::function<ActionResult()>& command) {
    if (busy_) return;
    busy_ = true;
    cancel_->setEnabled(true);
    lastEventPump_ = 0;
    ActionResult result;
    {
        ProgressScope scope(state_, this);
        result = command();
    }
    busy_ = false;
    cancel_->setEnabled(false);
    if (pendingPrinterBox_) {
        applyPrinterBox(state_, *pendingPrinterBox_);
        pendingPrinterBox_.reset();
    }
    finish(result);
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
    showMessage(MessageIcon::Information, text(state_.language, kTextProgramName),
                "Not available yet");
}

void MainWindow::applySliders() {
    // A move made during long work is applied once the work is over.
    if (busy_) {
        sliderTimer_->start();
        return;
    }
    run([this] {
        setBrightness(state_, brightness_->value());
        return setContrast(state_, contrast_->value());
    });
}

void MainWindow::commandOpenFile() {
    run([this] {
        static const char* kFilters =
            "Image Files (*.tif *.psd *.png *.gif *.jpg *.bmp);;"
            "Jpeg files  *.jpg *.jpeg (*.jpg *.jpeg);;Tiff files *.tif (*.tif);;"
            "PNG Files  *.png (*.png);;PSD Files *.psd (*.psd);;GIF Files *gif  (*.gif);;"
            "Windows bitmap *.bmp (*.bmp)";
        const std::string path =
            chooseFile(false, ss(plainText(state_, 11)), kFilters, state_.recent.recentFiles[1]);
        if (path.empty()) return ActionResult::Nothing;
        return openImage(state_, path);
    });
}

void MainWindow::commandPrint() {
    run([this] {
        const std::vector<std::string> queues =
            hooks_.listQueues ? hooks_.listQueues(state_) : spoolerQueuesOfTarget(state_);
        return printImageAction(state_, queues, ss(printerBox_->currentText()));
    });
}

void MainWindow::commandPatternSetup() {
    if (busy_) return;
    PatternSetupWindow setup(state_, this);
    connect(&setup, &PatternSetupWindow::printRequested, this, [this] {
        run([this] {
            const std::vector<std::string> queues =
                hooks_.listQueues ? hooks_.listQueues(state_) : spoolerQueuesOfTarget(state_);
            return printPatternAction(state_, queues, ss(printerBox_->currentText()));
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
    run([this] { return printBlankPage(state_, ss(printerBox_->currentText())); });
}

void MainWindow::commandProfile(bool output) {
    run([this, output] {
        const std::string current = resolveProfilePath(
            state_.locations.programFolder,
            output ? outputProfileSetting(state_.settings) : inputProfileSetting(state_.settings));
        const std::string path =
            chooseFile(false, ss(plainText(state_, output ? 17 : 16)),
                       "ICC profiles (*.icc *.icm *.ICC *.ICM);;All files (*)",
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
        showMessage(MessageIcon::Warning, text(state_.language, kTextProgramName),
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
    run([this] {
        UnitDialog dialog(state_, this);
        runDialog(dialog);
        // The choice was written as it was made; the sizes show in it afterwards.
        return ActionResult::Done;
    });
}

void MainWindow::commandLanguage() {
    run([this] {
        LanguageDialog dialog(state_, this);
        runDialog(dialog);
        return dialog.changed() ? ActionResult::Rebuild : ActionResult::Nothing;
    });
}

void MainWindow::commandAbout() {
    run([this] {
        const std::vector<SpoolerQueue> queues =
            hooks_.spoolerQueues ? hooks_.spoolerQueues() : spoolerQueues();
        AboutDialog dialog(state_, aboutText(state_, queues), this);
        runDialog(dialog);
        return ActionResult::Nothing;
    });
}

void MainWindow::commandPrinterModel() {
    run([this] {
        PrinterModelDialog dialog(state_, this);
        if (runDialog(dialog) != QDialog::Accepted || dialog.chosenModel().empty())
            return ActionResult::Nothing;
        const ActionResult r = chooseTargetPrinter(state_, dialog.chosenModel());
        // Lists, margins and the printer box follow the model: the window is built again.
        return r == ActionResult::Done ? ActionResult::Rebuild : r;
    });
}

void MainWindow::commandProof() {
    run([this] {
        ProofPicture picture;
        const ActionResult r = picture.make(state_);
        if (r != ActionResult::Done) return r;
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
        requestCancel();
        event->ignore();
        return;
    }
    savePlacement();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_ && event->type() == QEvent::Resize) {
        // The preview box size is a control value like any other.
        state_.window.previewBoxWidth = preview_->width();
        state_.window.previewBoxHeight = preview_->height();
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
            run([this] {
                return setCopyCounts(state_, ss(xCopies_->text()), ss(yCopies_->text()));
            });
        }
        return true;
    }
    if (watched == width_) {
        run([this] { return setTypedWidth(state_, ss(width_->text())); });
        return true;
    }
    if (watched == height_) {
        run([this] { return setTypedHeight(state_, ss(height_->text())); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- The user-interface seam ------------------------------------------------------------------

void MainWindow::showMessage(MessageIcon icon, const std::string& caption,
                             const std::string& message) {
    if (hooks_.dialogs) {
        hooks_.dialogs->showMessage(icon, caption, message);
        return;
    }
    QMessageBox box(qtIcon(icon), qs(caption), qs(message), QMessageBox::Ok, this);
    box.exec();
}

bool MainWindow::askOkCancel(const std::string& caption, const std::string& message) {
    if (hooks_.dialogs) return hooks_.dialogs->askOkCancel(caption, message);
    QMessageBox box(QMessageBox::Question, qs(caption), qs(message),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok;
}

void MainWindow::showStatus(const std::string& message) {
    if (hooks_.dialogs) hooks_.dialogs->showStatus(message);
    if (status_) status_->setText(qs(message));
}

void MainWindow::showProgress(int percent) {
    if (hooks_.dialogs) hooks_.dialogs->showProgress(percent);
    if (progress_) progress_->setValue(percent);
}

std::string MainWindow::chooseFile(bool save, const std::string& title, const std::string& filter,
                                   const std::string& initialPath) {
    if (hooks_.dialogs) return hooks_.dialogs->chooseFile(save, title, filter, initialPath);
    if (save) {
        // The filter's first pattern gives the default extension ("(*.scfg)" adds ".scfg").
        QFileDialog dialog(this, qs(title), qs(initialPath), qs(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)")).match(qs(filter));
        if (m.hasMatch()) dialog.setDefaultSuffix(m.captured(1));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return ss(dialog.selectedFiles().front());
    }
    return ss(QFileDialog::getOpenFileName(this, qs(title), qs(initialPath), qs(filter)));
}

void MainWindow::step(int phase, int percent) {
    progress_->setValue(std::clamp(percent, 0, 100));
    if (phase > 0) status_->setText(qs(text(state_.language, phase)));
    // Keep the window answering (Cancel, Escape, repaints) now and then, not on every row.
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    const qint64 now = clock.elapsed() + 1;
    if (lastEventPump_ == 0 || now - lastEventPump_ >= kPumpIntervalMs) {
        lastEventPump_ = now;
        QCoreApplication::processEvents();
    }
}

// --- The page set-up, colour and network dialogs.

int MainWindow::runDialog(QDialog& dialog) {
    return hooks_.runDialog ? hooks_.runDialog(dialog) : dialog.exec();
}

void MainWindow::commandColourDialog() {
    run([this] {
        ColourDialog dialog(state_, this);
        // The preview draws through the tone curves: it follows every move.
        connect(&dialog, &ColourDialog::curvesChanged, preview_, qOverload<>(&QWidget::update));
        runDialog(dialog);
        return ActionResult::Done;
    });
}

void MainWindow::commandCustomPaper() {
    run([this] {
        CustomPaperDialog dialog(state_, this);
        // A saved size is in the paper box at once.
        connect(&dialog, &CustomPaperDialog::papersChanged, this, [this] { showState(); });
        runDialog(dialog);
        return ActionResult::Done;
    });
}

void MainWindow::commandPrintMargins() {
    run([this] {
        MarginsDialog dialog(state_, this);
        if (runDialog(dialog) != QDialog::Accepted) return ActionResult::Nothing;
        return applyPrintMargins(state_, dialog.marginsPt());
    });
}

void MainWindow::commandNetworkUtility() {
    run([this] {
        NetworkWindow window(state_, this);
        runDialog(window);
        return ActionResult::Nothing;
    });
}
