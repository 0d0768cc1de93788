#include "gui/window_ui.h"

#include "core/texts.h"
#include "gui/qt_text.h"

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace {

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

} // namespace

WindowUi::WindowUi(QWidget* window, const TextTable& texts, UserInterface* forward)
    : QObject(window), window_(window), texts_(texts), forward_(forward) {}

void WindowUi::setDisplay(QLabel* status, QProgressBar* progress) {
    status_ = status;
    progress_ = progress;
}

void WindowUi::startCommand() {
    sentProgress_ = -1;
    sentStep_ = -1;
}

bool WindowUi::onWindowThread() const {
    return QThread::currentThread() == thread();
}

void WindowUi::setStatusLine(const std::string& text) {
    if (status_) status_->setText(qs(text));
}

void WindowUi::setProgressBar(int percent) {
    if (progress_) progress_->setValue(std::clamp(percent, 0, 100));
}

void WindowUi::showMessage(MessageIcon icon, const std::string& caption,
                           const std::string& message) {
    if (!onWindowThread()) {
        QMetaObject::invokeMethod(
            this, [&] { showMessage(icon, caption, message); }, Qt::BlockingQueuedConnection);
        return;
    }
    if (forward_) {
        forward_->showMessage(icon, caption, message);
        return;
    }
    QMessageBox box(qtIcon(icon), qs(caption), qs(message), QMessageBox::Ok, window_);
    box.exec();
}

bool WindowUi::askOkCancel(const std::string& caption, const std::string& message) {
    if (!onWindowThread()) {
        bool ok = false;
        QMetaObject::invokeMethod(
            this, [&] { ok = askOkCancel(caption, message); }, Qt::BlockingQueuedConnection);
        return ok;
    }
    if (forward_) return forward_->askOkCancel(caption, message);
    QMessageBox box(QMessageBox::Question, qs(caption), qs(message),
                    QMessageBox::Ok | QMessageBox::Cancel, window_);
    return box.exec() == QMessageBox::Ok;
}

void WindowUi::showStatus(const std::string& message) {
    if (!onWindowThread()) {
        QMetaObject::invokeMethod(
            this, [this, message] { showStatus(message); }, Qt::QueuedConnection);
        return;
    }
    if (forward_) forward_->showStatus(message);
    setStatusLine(message);
}

void WindowUi::showProgress(int percent) {
    if (!onWindowThread()) {
        // Rows report far more often than the bar can change.
        if (sentProgress_.exchange(percent) == percent) return;
        QMetaObject::invokeMethod(
            this, [this, percent] { showProgress(percent); }, Qt::QueuedConnection);
        return;
    }
    if (forward_) forward_->showProgress(percent);
    setProgressBar(percent);
}

std::string WindowUi::chooseFile(bool save, const std::string& title, const std::string& filter,
                                 const std::string& initialPath) {
    if (!onWindowThread()) {
        std::string chosen;
        QMetaObject::invokeMethod(
            this, [&] { chosen = chooseFile(save, title, filter, initialPath); },
            Qt::BlockingQueuedConnection);
        return chosen;
    }
    if (forward_) return forward_->chooseFile(save, title, filter, initialPath);
    if (save) {
        // The filter's first pattern gives the default extension ("(*.scfg)" adds ".scfg").
        QFileDialog dialog(window_, qs(title), qs(initialPath), qs(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)")).match(qs(filter));
        if (m.hasMatch()) dialog.setDefaultSuffix(m.captured(1));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return ss(dialog.selectedFiles().front());
    }
    return ss(QFileDialog::getOpenFileName(window_, qs(title), qs(initialPath), qs(filter)));
}

void WindowUi::step(int phase, int percent) {
    percent = std::clamp(percent, 0, 100);
    // The phase's text is looked up here: on the worker, which owns the texts meanwhile.
    const std::string shown = phase > 0 ? text(texts_, phase) : std::string();
    auto show = [this, phase, percent, shown] {
        setProgressBar(percent);
        if (phase > 0) setStatusLine(shown);
    };
    if (onWindowThread()) {
        show();
        return;
    }
    const int key = phase * 1000 + percent;
    if (sentStep_.exchange(key) == key) return;
    QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
}
