#include "gui/pattern_setup_window.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "image/placement.h"
#include "gui/library_editor.h"
#include "pattern/pattern_mask.h"
#include "pattern/pattern_setup.h"
#include "gui/shape_import_window.h"
#include "gui/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPreviewWidth = 240;
constexpr int kPreviewHeight = 160;

QString label(const AppState& state, int n) {
    return qs(text(state.language, n));
}

QSlider* slider(QWidget* parent, const char* name) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setRange(0, 100);
    return s;
}

QLineEdit* lengthBox(QWidget* parent, const char* name, bool gap) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaximumWidth(70);
    const QString chars = QString::fromLatin1(
        patternLengthCharacters(gap).data(), static_cast<int>(patternLengthCharacters(gap).size()));
    e->setValidator(new QRegularExpressionValidator(
        QRegularExpression("[" + QRegularExpression::escape(chars) + "]*"), e));
    return e;
}

} // namespace

PatternSetupWindow::PatternSetupWindow(AppState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setObjectName("patternSetupWindow");
    setWindowTitle(label(state, 240));
    PatternSettings s = readPatternSettings(state.settings, true);

    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);

    grid->addWidget(new QLabel(label(state, 242), this), 0, 0);
    shape_ = new QComboBox(this);
    shape_->setObjectName("shapeBox");
    grid->addWidget(shape_, 0, 1, 1, 3);

    grid->addWidget(new QLabel(label(state, 243), this), 1, 0);
    canvasWidth_ = new QLineEdit(this);
    canvasWidth_->setObjectName("canvasWidth");
    canvasHeight_ = new QLineEdit(this);
    canvasHeight_->setObjectName("canvasHeight");
    for (QLineEdit* e : {canvasWidth_, canvasHeight_}) {
        e->setReadOnly(true);
        e->setMaximumWidth(70);
    }
    grid->addWidget(canvasWidth_, 1, 1);
    grid->addWidget(canvasHeight_, 1, 2);
    const Unit u = unit();
    canvasWidth_->setText(qs(patternLengthText(state.layout.placedWidthPt * 25.4 / 72.0, u)));
    canvasHeight_->setText(qs(patternLengthText(state.layout.placedHeightPt * 25.4 / 72.0, u)));

    auto* size = new QGroupBox(label(state, 244), this);
    auto* sizeGrid = new QGridLayout(size);
    height_ = lengthBox(size, "heightBox", false);
    width_ = lengthBox(size, "widthBox", false);
    heightSlider_ = slider(size, "heightSlider");
    widthSlider_ = slider(size, "widthSlider");
    lock_ = new QToolButton(size);
    lock_->setObjectName("lockButton");
    lock_->setText(QStringLiteral("Lock"));
    lock_->setCheckable(true);
    sizeGrid->addWidget(new QLabel(label(state, 150), size), 0, 0);
    sizeGrid->addWidget(height_, 0, 1);
    sizeGrid->addWidget(heightSlider_, 0, 2);
    sizeGrid->addWidget(new QLabel(label(state, 149), size), 1, 0);
    sizeGrid->addWidget(width_, 1, 1);
    sizeGrid->addWidget(widthSlider_, 1, 2);
    sizeGrid->addWidget(lock_, 0, 3, 2, 1);
    top->addWidget(size);

    auto* gapRow = new QHBoxLayout;
    gapRow->addWidget(new QLabel(label(state, 245), this));
    gap_ = lengthBox(this, "gapBox", true);
    gapSlider_ = slider(this, "gapSlider");
    gapRow->addWidget(gap_);
    gapRow->addWidget(gapSlider_);
    top->addLayout(gapRow);

    auto* angleRow = new QHBoxLayout;
    angleRow->addWidget(new QLabel(label(state, 247), this));
    angle_ = new QComboBox(this);
    angle_->setObjectName("angleBox");
    angle_->addItems({"45", "0"});
    angleRow->addWidget(angle_);
    angleRow->addWidget(new QLabel(label(state, 248), this));
    invert_ = new QCheckBox(QStringLiteral("Invert Pattern"), this);
    invert_->setObjectName("invertBox");
    angleRow->addWidget(invert_);
    angleRow->addStretch();
    top->addLayout(angleRow);

    preview_ = new QLabel(this);
    preview_->setObjectName("patternPreview");
    preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
    preview_->setFrameShape(QFrame::Box);
    top->addWidget(preview_, 0, Qt::AlignHCenter);

    auto* libraryRow = new QHBoxLayout;
    auto* saveShape = new QPushButton(label(state, 246), this);
    saveShape->setObjectName("saveShapeButton");
    auto* remove = new QPushButton(label(state, 151), this);
    remove->setObjectName("deleteButton");
    libraryRow->addWidget(saveShape);
    libraryRow->addWidget(remove);
    top->addLayout(libraryRow);

    auto* buttons = new QHBoxLayout;
    auto* print = new QPushButton(label(state, 28), this);
    print->setObjectName("printButton");
    auto* save = new QPushButton(label(state, 21), this);
    save->setObjectName("saveSettingsButton");
    auto* exit = new QPushButton(label(state, 7), this);
    exit->setObjectName("exitButton");
    buttons->addWidget(print);
    buttons->addWidget(save);
    buttons->addWidget(exit);
    top->addLayout(buttons);

    // Starting values (signals are connected afterwards, so nothing is written yet).
    reloadShapes();
    angle_->setCurrentText(qs(choosePatternAngle(state.settings)));
    height_->setText(qs(patternLengthText(s.sizeY, u)));
    width_->setText(qs(patternLengthText(s.sizeX, u)));
    gap_->setText(qs(patternLengthText(s.gap, u)));
    heightSlider_->setValue(patternSizeSliderPosition(s.sizeY));
    widthSlider_->setValue(patternSizeSliderPosition(s.sizeX));
    gapSlider_->setValue(patternGapSliderPosition(s.gap));
    invert_->setChecked(s.invert);

    connect(heightSlider_, &QSlider::valueChanged, this, [this](int p) {
        sliderMoved(heightSlider_, height_, false);
        if (lock_->isChecked()) widthSlider_->setValue(p);
    });
    connect(widthSlider_, &QSlider::valueChanged, this,
            [this] { sliderMoved(widthSlider_, width_, false); });
    connect(gapSlider_, &QSlider::valueChanged, this,
            [this] { sliderMoved(gapSlider_, gap_, true); });
    connect(lock_, &QToolButton::toggled, this, [this](bool on) {
        if (on) widthSlider_->setValue(heightSlider_->value());
    });
    for (QLineEdit* e : {height_, width_, gap_})
        connect(e, &QLineEdit::textEdited, this, &PatternSetupWindow::drawPreview);
    connect(shape_, &QComboBox::currentIndexChanged, this, &PatternSetupWindow::drawPreview);
    connect(angle_, &QComboBox::currentIndexChanged, this, &PatternSetupWindow::drawPreview);
    connect(invert_, &QCheckBox::toggled, this, &PatternSetupWindow::drawPreview);
    connect(saveShape, &QPushButton::clicked, this, [this] {
        ShapeImportWindow importer(state_, this);
        importer.exec();
        reloadShapes();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        LibraryEditor editor(state_, this);
        editor.exec();
        reloadShapes();
    });
    connect(print, &QPushButton::clicked, this, [this] {
        saveSettings();
        emit printRequested();
    });
    connect(save, &QPushButton::clicked, this, &PatternSetupWindow::saveSettings);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    drawPreview();
}

Unit PatternSetupWindow::unit() const {
    return state_.record.unit;
}

void PatternSetupWindow::reloadShapes() {
    const QSignalBlocker block(shape_);
    const std::vector<std::string> choices = patternShapeChoices(state_.settings);
    shape_->clear();
    for (const std::string& c : choices)
        shape_->addItem(qs(c));
    shape_->setCurrentText(qs(choosePatternShape(state_.settings, choices)));
    drawPreview();
}

void PatternSetupWindow::sliderMoved(QSlider* slider, QLineEdit* box, bool gap) {
    const double mm =
        gap ? patternGapFromSlider(slider->value()) : patternSizeFromSlider(slider->value());
    box->setText(qs(patternLengthText(mm, unit())));
    drawPreview();
}

PatternSettings PatternSetupWindow::fieldSettings() const {
    PatternSettings s;
    s.shape = shape_->currentText().toStdString();
    s.sizeY = patternLengthFromText(height_->text().toStdString(), unit());
    s.sizeX = patternLengthFromText(width_->text().toStdString(), unit());
    s.gap = patternLengthFromText(gap_->text().toStdString(), unit());
    s.screen = angle_->currentText() == "0" ? 0 : 45;
    s.invert = invert_->isChecked();
    return s;
}

void PatternSetupWindow::saveSettings() {
    writePatternSettings(state_.settings, fieldSettings());
}

void PatternSetupWindow::drawPreview() {
    if (!preview_ || !height_ || !width_ || !gap_) return;
    const PatternSettings s = fieldSettings();
    QImage image(kPreviewWidth, kPreviewHeight, QImage::Format_Grayscale8);
    image.fill(Qt::lightGray);
    if (patternSettingsProblem(s).empty()) {
        // About six cells across, whatever their size.
        const double k =
            std::clamp(kPreviewWidth / (6.0 * (s.sizeX + std::max(0.0, s.gap))), 1.0, 40.0);
        ShapeRecord record;
        const bool library =
            loadShape(state_.settings, s.shape, record, feedback(state_)) == ShapeLookup::Found;
        const PatternCell cell = patternCell(s, k, library ? &record : nullptr);
        // Drawn one step larger than shown, so the cells reach the right and bottom edges.
        const int w = kPreviewWidth + std::min(kPreviewWidth, static_cast<int>(cell.stepX) + 2);
        const int h = kPreviewHeight + std::min(kPreviewHeight, static_cast<int>(cell.stepY) + 2);
        const std::vector<std::uint8_t> canvas = drawPatternCanvas(s, cell, w, h);
        for (int y = 0; y < kPreviewHeight && !canvas.empty(); ++y)
            std::copy_n(canvas.begin() + y * w, kPreviewWidth, image.scanLine(y));
    }
    preview_->setPixmap(QPixmap::fromImage(image));
}
