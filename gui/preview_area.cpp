#include "gui/preview_area.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "gui/control_ids.h"
#include "gui/qt_text.h"
#include "image/placement.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>

PreviewArea::PreviewArea(const AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    tag(this, kIdPreview);
    setAcceptDrops(true);
    setMinimumSize(150, 200);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PreviewArea::sizeHint() const {
    return {298, 421}; // the starting preview box
}

void PreviewArea::setHeld(bool held) {
    held_ = held;
    if (!held) update();
}

void PreviewArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (held_) {
        painter.fillRect(rect(), palette().window());
        if (!last_.isNull()) painter.drawImage(rect(), last_);
        return;
    }
    const int w = width(), h = height();
    std::vector<std::uint8_t> pixels = renderPagePreview(previewScene(state_), w, h);
    if (w <= 0 || h <= 0 || pixels.size() != static_cast<std::size_t>(w) * h * 4) {
        painter.fillRect(rect(), palette().window());
        last_ = QImage();
        return;
    }
    // The pixels are B, G, R, A bytes: the memory order of ARGB32 on a little-endian machine.
    const QImage image(pixels.data(), w, h, w * 4, QImage::Format_ARGB32);
    painter.drawImage(0, 0, image);
    last_ = image.copy();
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
