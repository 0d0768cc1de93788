#include "gui/main_window.h"

#include "actions/app_state.h"
#include "actions/pattern_actions.h"
#include "core/texts.h"
#include "gui/qt_text.h"
#include "gui/window_ui.h"
#include "image/placement.h"
#include "settings/recent_files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

// The form of the main window: its controls and menus, the commands they start, and the
// state shown in them.

namespace {

constexpr int kSwatchCount = 16;
constexpr int kRecentCount = 5;
constexpr int kHelpLinkCount = 6;

// Makes the labelled controls of one panel in the window's language.
struct FormMaker {
    QWidget* panel;
    const TextTable& language;

    QLabel* label(int n, QWidget* buddy = nullptr) const {
        auto* l = new QLabel(plainText(language, n), panel);
        if (buddy) l->setBuddy(buddy);
        return l;
    }
    QCheckBox* checkBox(int id, int n) const {
        auto* c = new QCheckBox(n >= 0 ? plainText(language, n) : QString(), panel);
        tag(c, id);
        return c;
    }
    QLineEdit* lineEdit(int id, int width) const {
        auto* e = new QLineEdit(panel);
        tag(e, id);
        e->setFixedWidth(width);
        return e;
    }
};

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

} // namespace

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

    columns->addLayout(buildPictureColumn(panel), 0);
    columns->addLayout(buildPageColumn(panel), 1);

    outer->addWidget(splitter_, 1);
    outer->addLayout(buildStatusRow(central));

    if (ui_) ui_->setDisplay(status_, progress_);

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

    connectControls();
}

// The picture column: size, orientation, adjustments, preview background.
QGridLayout* MainWindow::buildPictureColumn(QWidget* panel) {
    const FormMaker make{panel, state_.language};
    auto* imageGrid = new QGridLayout;
    imageGrid->setVerticalSpacing(4);
    int row = 0;
    width_ = make.lineEdit(kIdWidth, 70);
    height_ = make.lineEdit(kIdHeight, 70);
    resolution_ = make.lineEdit(kIdResolution, 70);
    resolution_->setReadOnly(true);
    widthUnit_ = new QLabel(panel);
    heightUnit_ = new QLabel(panel);
    width_->installEventFilter(this);
    height_->installEventFilter(this);
    imageGrid->addWidget(make.label(56, width_), row, 0);
    imageGrid->addWidget(width_, row, 1);
    imageGrid->addWidget(widthUnit_, row++, 2);
    imageGrid->addWidget(make.label(57, height_), row, 0);
    imageGrid->addWidget(height_, row, 1);
    imageGrid->addWidget(heightUnit_, row++, 2);
    imageGrid->addWidget(make.label(58, resolution_), row, 0);
    imageGrid->addWidget(resolution_, row++, 1);
    zoom_ = new QLabel(panel);
    tag(zoom_, kIdZoom);
    imageGrid->addWidget(make.label(59), row, 0);
    imageGrid->addWidget(zoom_, row++, 1);

    auto* orientation = new QHBoxLayout;
    rotate_ = make.checkBox(kIdRotate, 51);
    mirror_ = make.checkBox(kIdMirror, 50);
    flip_ = make.checkBox(kIdFlip, 175);
    orientation->addWidget(rotate_);
    orientation->addWidget(mirror_);
    orientation->addWidget(flip_);
    orientation->addStretch(1);
    imageGrid->addLayout(orientation, row++, 0, 1, 3);

    cropButton_ = new QPushButton(plainText(state_.language, 208), panel);
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
        resetButton->setToolTip(plainText(state_.language, n) + QStringLiteral(" 0%"));
        imageGrid->addWidget(make.label(n, s), row++, 0, 1, 3);
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
    guardArea_ = make.checkBox(kIdGuardArea, 264);
    patternPreview_ = make.checkBox(kIdPatternPreview, 265);
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
    return imageGrid;
}

// The page column: printer, paper, copies, layout, print.
QGridLayout* MainWindow::buildPageColumn(QWidget* panel) {
    const FormMaker make{panel, state_.language};
    auto* pageGrid = new QGridLayout;
    pageGrid->setVerticalSpacing(4);
    int row = 0;
    utilityLabel_ = new QLabel(plainText(state_.language, 29), panel);
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
        pageGrid->addWidget(make.label(n, box), row, 0);
        pageGrid->addWidget(box, row++, 1);
    };
    comboBox(kIdPrinterBox, 42, printerBox_);
    comboBox(kIdMediaBox, 44, mediaBox_);
    comboBox(kIdPaperBox, 30, paperBox_);
    comboBox(kIdTrayBox, 43, trayBox_);

    copies_ = make.lineEdit(kIdCopies, 50);
    pageGrid->addWidget(make.label(45, copies_), row, 0);
    pageGrid->addWidget(copies_, row++, 1, Qt::AlignLeft);

    auto* copyGrid = new QHBoxLayout;
    copyGrid->setSpacing(6);
    xCopies_ = make.lineEdit(kIdXCopies, 40);
    yCopies_ = make.lineEdit(kIdYCopies, 40);
    totalCopies_ = make.lineEdit(kIdTotalCopies, 40);
    totalCopies_->setReadOnly(true);
    xCopies_->installEventFilter(this);
    yCopies_->installEventFilter(this);
    copyGrid->addWidget(make.label(60, xCopies_));
    copyGrid->addWidget(xCopies_);
    copyGrid->addSpacing(6);
    copyGrid->addWidget(make.label(61, yCopies_));
    copyGrid->addWidget(yCopies_);
    copyGrid->addSpacing(6);
    copyGrid->addWidget(make.label(62));
    copyGrid->addWidget(totalCopies_);
    copyGrid->addStretch(1);
    pageGrid->addLayout(copyGrid, row++, 0, 1, 2);

    auto* tiling = new QHBoxLayout;
    autoTile_ = make.checkBox(kIdAutoTile, 63);
    fitToPage_ = new QPushButton(plainText(state_.language, 64), panel);
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
    fixedSpacing_ = make.checkBox(kIdFixedSpacing, -1);
    fixedSpacing_->setToolTip(QStringLiteral("Fixed copy spacing"));
    placement->addWidget(fixedSpacing_);
    placement->addStretch(1);
    pageGrid->addLayout(placement, row++, 0, 1, 2);

    pageGrid->setRowStretch(row++, 1);
    auto* printRow = new QHBoxLayout;
    printButton_ = new QPushButton(plainText(state_.language, 28), panel);
    tag(printButton_, kIdPrintButton);
    printButton_->setDefault(false);
    patternPrint_ = make.checkBox(kIdPatternPrint, 241);
    exitButton_ = new QPushButton(plainText(state_.language, 7), panel);
    tag(exitButton_, kIdExitButton);
    printRow->addWidget(printButton_);
    printRow->addWidget(patternPrint_);
    printRow->addStretch(1);
    printRow->addWidget(exitButton_);
    pageGrid->addLayout(printRow, row++, 0, 1, 2);
    pageGrid->setColumnStretch(1, 1);
    return pageGrid;
}

// The status line, progress bar and Cancel.
QHBoxLayout* MainWindow::buildStatusRow(QWidget* central) {
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
    cancel_ = new QPushButton(plainText(state_.language, 5), central);
    tag(cancel_, kIdCancelButton);
    cancel_->setEnabled(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { ui_->requestCancel(); });
    bottom->addWidget(status_, 1);
    bottom->addWidget(progress_);
    bottom->addWidget(cancel_);
    return bottom;
}

// Commands of the controls. Only the user's own changes start commands: buttons by
// clicked, edits by textEdited, and showState() blocks the signals of every control.
void MainWindow::connectControls() {
    connect(printerBox_, &QComboBox::currentIndexChanged, this, [this](int) {
        const std::string chosen = ss(printerBox_->currentText());
        run([this, chosen] { return choosePrinterQueue(state_, chosen); });
    });
    connect(mediaBox_, &QComboBox::currentIndexChanged, this, [this](int i) {
        run([this, i] {
            if (i < 0 || i >= static_cast<int>(state_.page.mediaIds.size()))
                return ActionResult::Refused;
            return chooseMedium(state_, state_.page.mediaIds[static_cast<std::size_t>(i)]);
        });
    });
    connect(paperBox_, &QComboBox::currentIndexChanged, this, [this](int) {
        const std::string chosen = ss(paperBox_->currentText());
        run([this, chosen] { return choosePaper(state_, chosen); });
    });
    connect(trayBox_, &QComboBox::currentIndexChanged, this, [this](int) {
        const std::string chosen = ss(trayBox_->currentText());
        run([this, chosen] { return chooseTray(state_, chosen); });
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
        if (busy_) return;
        // The reset sliders show 0: a move still waiting for its timer is dropped.
        sliderTimer_->stop();
        run([this] { return loadDefaultsAction(state_); });
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
