#include "gui/proof_window.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

ProofWindow::ProofWindow(const QString& pngPath, QWidget* parent)
    : QDialog(parent), picture_(pngPath) {
    setWindowTitle(QStringLiteral("Proof"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("Left: the colours as printed on a white medium. "
                                           "Right: the white toner layer."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    view_ = new QLabel(this);
    view_->setObjectName(QStringLiteral("proof"));
    view_->setAlignment(Qt::AlignCenter);
    view_->setMinimumSize(200, 150);
    view_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    if (picture_.isNull()) view_->setText(QStringLiteral("The proof picture could not be read."));
    layout->addWidget(view_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Start at the picture's size, but never larger than most of the screen.
    QSize start(900, 560);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        start = start.boundedTo(screen->availableGeometry().size() * 0.85);
    resize(start);
}

void ProofWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    showScaled();
}

void ProofWindow::showScaled() {
    if (picture_.isNull() || view_->width() <= 0 || view_->height() <= 0) return;
    view_->setPixmap(picture_.scaled(view_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
