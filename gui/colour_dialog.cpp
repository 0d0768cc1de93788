#include "gui/colour_dialog.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "gui/qt_text.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString label(const AppState& state, int n) {
    return plainText(state.language, n);
}

QColor curveColour(CurveChannel channel) {
    switch (channel) {
    case CurveChannel::Cyan:
        return {0, 150, 200};
    case CurveChannel::Magenta:
        return {200, 0, 130};
    case CurveChannel::Yellow:
        return {190, 160, 0};
    default:
        return {40, 40, 40};
    }
}

constexpr int kHandleHalf = 4; // handles are 9 x 9 pixel squares

} // namespace

CurveArea::CurveArea(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QLatin1String(kCurveAreaName));
    setFixedSize(258, 258);
    setCursor(Qt::CrossCursor);
}

void CurveArea::setChannel(CurveChannel channel) {
    channel_ = channel;
    update();
}

QColor CurveArea::handleColour(int point) {
    static const QColor colours[] = {{230, 0, 0}, {0, 170, 0}, {0, 0, 230}};
    return colours[std::clamp(point, 0, 2)];
}

QImage CurveArea::render() const {
    QImage image(258, 258, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    // A light grid in quarters and the diagonal of the identity curve.
    p.setPen(QColor(225, 225, 225));
    for (int v = 0; v <= 256; v += 64) {
        p.drawLine(v + 1, 0, v + 1, 257);
        p.drawLine(0, v + 1, 257, v + 1);
    }
    p.setPen(QPen(QColor(200, 200, 200), 1, Qt::DashLine));
    p.drawLine(1, 256, 256, 1);
    p.setPen(QColor(150, 150, 150));
    p.drawRect(0, 0, 257, 257);

    const std::size_t table = channel_ == CurveChannel::Magenta  ? 1
                              : channel_ == CurveChannel::Yellow ? 2
                                                                 : 0;
    const auto& curve = state_.colour.toneCurves.table[table];
    p.setPen(QPen(curveColour(channel_), 2));
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygon line;
    for (int x = 0; x < 256; ++x) {
        const CurvePosition at = curvePixelOf({x, curve[static_cast<std::size_t>(x)]});
        line << QPoint(at.x, at.y);
    }
    p.drawPolyline(line);
    // Handles last and without smoothing, so that each is one clean colour (P2, P1, P0).
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int point = 2; point >= 0; --point) {
        const CurvePosition at = curvePixelOf(curvePoint(state_.colour, channel_, point));
        p.fillRect(at.x - kHandleHalf, at.y - kHandleHalf, 2 * kHandleHalf + 1, 2 * kHandleHalf + 1,
                   handleColour(point));
    }
    return image;
}

void CurveArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, render());
}

void CurveArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    const QImage image = render();
    if (!image.rect().contains(at)) return;
    const QRgb pixel = image.pixel(at);
    dragging_ = -1;
    for (int point = 0; point < 3; ++point)
        if (pixel == handleColour(point).rgb()) dragging_ = point;
    // Qt keeps the mouse with this widget until the button is released.
}

void CurveArea::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ < 0) return;
    const QPoint at = event->position().toPoint();
    const CurvePosition v = curveValueAtPixel(at.x(), at.y());
    if (moveCurvePoint(state_.colour, channel_, dragging_, v.x, v.y)) {
        update();
        emit curvesChanged();
    }
}

void CurveArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = -1;
}

ColourDialog::ColourDialog(AppState& state, QWidget* parent) : QDialog(parent) {
    setWindowTitle(label(state, 82));
    auto* layout = new QHBoxLayout(this);
    area_ = new CurveArea(state, this);
    layout->addWidget(area_, 0, Qt::AlignTop);

    auto* side = new QVBoxLayout;
    auto* group = new QButtonGroup(this);
    const CurveChannel channels[] = {CurveChannel::All, CurveChannel::Cyan, CurveChannel::Magenta,
                                     CurveChannel::Yellow};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(label(state, 83 + i), this);
        b->setObjectName(QLatin1String(kCurveChannelName) + QString::number(i));
        b->setChecked(i == 0);
        group->addButton(b, i);
        side->addWidget(b);
    }
    connect(group, &QButtonGroup::idClicked, this,
            [this, channels](int id) { area_->setChannel(channels[id]); });
    side->addStretch(1);
    auto* close = new QPushButton(label(state, 6), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    side->addWidget(close);
    layout->addLayout(side);
    connect(area_, &CurveArea::curvesChanged, this, &ColourDialog::curvesChanged);
    setFixedSize(sizeHint());
}
