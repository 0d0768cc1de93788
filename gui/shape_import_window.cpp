#include "gui/shape_import_window.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "core/ui.h"
#include "image/placement.h"
#include "pattern/ai_import.h"
#include "pattern/pattern_mask.h"
#include "pattern/pattern_setup.h"
#include "gui/qt_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kView = 160;

} // namespace

ShapeImportWindow::ShapeImportWindow(AppState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setObjectName("shapeImportWindow");
    setWindowTitle(QStringLiteral("Shape Import Utility"));
    auto* top = new QVBoxLayout(this);

    auto* views = new QHBoxLayout;
    shapeView_ = new QLabel(this);
    shapeView_->setObjectName("shapeView");
    screenView_ = new QLabel(this);
    screenView_->setObjectName("screenView");
    for (QLabel* v : {shapeView_, screenView_}) {
        v->setFixedSize(kView, kView);
        v->setFrameShape(QFrame::Box);
        views->addWidget(v);
    }
    top->addLayout(views);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(qs(text(state.language, 253)), this), 0, 0);
    name_ = new QLineEdit(this);
    name_->setObjectName("nameBox");
    name_->setMaxLength(static_cast<int>(kShapeNameSize));
    grid->addWidget(name_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(qs(text(state.language, 255)), this), 1, 0, 1, 3);
    angle_ = new QComboBox(this);
    angle_->setObjectName("angleBox");
    angle_->addItems({"0", "45"});
    spacingSlider_ = new QSlider(Qt::Horizontal, this);
    spacingSlider_->setObjectName("spacingSlider");
    spacingSlider_->setRange(0, 100);
    spacingSlider_->setValue(50);
    spacingValue_ = new QLabel(this);
    spacingValue_->setObjectName("spacingValue");
    spacingValue_->setMinimumWidth(60);
    grid->addWidget(angle_, 2, 0);
    grid->addWidget(spacingSlider_, 2, 1);
    grid->addWidget(spacingValue_, 2, 2);
    top->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    auto* import = new QPushButton(QStringLiteral("File Import"), this);
    import->setObjectName("importButton");
    auto* saveButton = new QPushButton(QStringLiteral("Save"), this);
    saveButton->setObjectName("saveButton");
    auto* exit = new QPushButton(qs(text(state.language, 7)), this);
    exit->setObjectName("exitButton");
    buttons->addWidget(import);
    buttons->addWidget(saveButton);
    buttons->addWidget(exit);
    top->addLayout(buttons);

    connect(import, &QPushButton::clicked, this, [this] { importFile(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(angle_, &QComboBox::currentIndexChanged, this, [this](int i) {
        const QSignalBlocker block(spacingSlider_);
        spacingSlider_->setValue(shapeSpacingSliderPosition(spacing_[i == 1]));
        showSpacing();
    });
    connect(spacingSlider_, &QSlider::valueChanged, this, [this](int p) {
        spacing_[angle_->currentIndex() == 1] = shapeSpacingFromSlider(p);
        showSpacing();
        drawPreviews();
    });
    showSpacing();
    drawPreviews();
}

bool ShapeImportWindow::importFile() {
    if (!state_.ui) return false;
    const std::string path =
        state_.ui->chooseFile(false, "File Import", "Illustrator AI Files (V3 to 6) (*.AI *.ai)",
                              lastImportFolder(state_.settings));
    if (path.empty()) return false;
    rememberImportFolder(state_.settings, path);
    return importPath(path);
}

bool ShapeImportWindow::importPath(const std::string& path) {
    AiConversion c = importIllustratorFile(path, feedback(state_));
    if (c.status <= 0) return false;
    shape_ = std::move(c.shape);
    haveShape_ = true;
    name_->setText(qs(shape_.name));
    drawPreviews();
    return true;
}

bool ShapeImportWindow::save() {
    if (!haveShape_) return false;
    ShapeRecord r = shape_;
    r.name = shapeStoredName(name_->text().toStdString());
    if (r.name.empty()) return false;
    r.spacing0 = shapeSpacingFactor(spacing_[0]);
    r.spacing45 = shapeSpacingFactor(spacing_[1]);
    const ShapeSaveResult result =
        saveShape(state_.settings, state_.locations, r, feedback(state_));
    return result == ShapeSaveResult::Appended || result == ShapeSaveResult::Replaced;
}

void ShapeImportWindow::showSpacing() {
    spacingValue_->setText(
        qs(shapeSpacingText(spacing_[angle_->currentIndex() == 1], state_.record.unit)));
}

void ShapeImportWindow::drawPreviews() {
    QImage alone(kView, kView, QImage::Format_RGB32);
    alone.fill(Qt::white);
    QImage screen(kView, kView, QImage::Format_Grayscale8);
    screen.fill(Qt::white);
    if (haveShape_) {
        // The shape alone, its height filling most of the view.
        QPainter p(&alone);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        const double scale = kView * 0.8;
        for (const ShapePolygon& polygon : shape_.polygons) {
            QPolygonF poly;
            for (const ShapePoint& pt : polygon.points)
                poly << QPointF(kView * 0.1 + pt.x * scale, kView * 0.1 + pt.y * scale);
            p.setBrush(polygon.fill == kShapeWhite ? Qt::white : Qt::black);
            p.drawPolygon(poly);
        }
        p.end();
        // As a screen, with the spacing of the chosen angle.
        PatternSettings s;
        s.shape = shape_.name;
        s.sizeX = s.sizeY = 4;
        s.gap = 1;
        s.screen = angle_->currentIndex() == 1 ? 45 : 0;
        ShapeRecord r = shape_;
        r.spacing0 = shapeSpacingFactor(spacing_[0]);
        r.spacing45 = shapeSpacingFactor(spacing_[1]);
        const PatternCell cell = patternCell(s, 6, &r);
        // Drawn one step larger than shown, so the cells reach the right and bottom edges.
        const int w = kView + std::min(kView, static_cast<int>(cell.stepX) + 2);
        const int h = kView + std::min(kView, static_cast<int>(cell.stepY) + 2);
        const std::vector<std::uint8_t> canvas = drawPatternCanvas(s, cell, w, h);
        for (int y = 0; y < kView && !canvas.empty(); ++y)
            std::copy_n(canvas.begin() + y * w, kView, screen.scanLine(y));
    }
    shapeView_->setPixmap(QPixmap::fromImage(alone));
    screenView_->setPixmap(QPixmap::fromImage(screen));
}
