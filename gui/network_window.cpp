#include "gui/network_window.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "gui/command_runner.h"
#include "gui/qt_text.h"
#include "netutil/network_utility.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace {

QString label(const AppState& state, int n) {
    return plainText(state.language, n);
}

// The wait cursor for the life of one readout.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QLineEdit* valueBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setObjectName(QLatin1String(name));
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

NetworkWindow::NetworkWindow(AppState& state, QWidget* parent, DiscoveryOptions options)
    : QDialog(parent), state_(state), previousUi_(state.ui), options_(std::move(options)) {
    state_.ui = this;
    // The probes' texts and waits show in this window.
    if (!options_.ui) options_.ui = this;
    setWindowTitle(QStringLiteral("Printers"));
    move(10, 10);

    static const char* const kNames[kBoxCount] = {
        "ipAddress", "addressMethod", "serialNumber", "status", "pageCount", "tray1",
        "mpTray",    "fuser",         "transferBelt", "tonerC", "tonerM",    "tonerY",
        "tonerK",    "drumC",         "drumM",        "drumY",  "drumK"};
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    printers_ = new QComboBox(this);
    printers_->setObjectName(QStringLiteral("printerList"));
    printers_->setMinimumWidth(260);
    addresses_ = new QComboBox(this);
    addresses_->setObjectName(QStringLiteral("addressList"));
    addresses_->hide();
    top->addWidget(new QLabel(label(state, 162), this), 0, 0);
    top->addWidget(printers_, 0, 1);
    const int captions[4] = {155, 161, 156, 157};
    for (int i = 0; i < 4; ++i) {
        boxes_[static_cast<std::size_t>(i)] = valueBox(this, kNames[i]);
        top->addWidget(new QLabel(label(state, captions[i]), this), i + 1, 0);
        top->addWidget(boxes_[static_cast<std::size_t>(i)], i + 1, 1);
    }
    layout->addLayout(top);

    auto* frame = new QGroupBox(this);
    auto* details = new QGridLayout(frame);
    details_ = new QPushButton(QStringLiteral("Details"), frame);
    details_->setObjectName(QStringLiteral("details"));
    details->addWidget(details_, 0, 0, 1, 2, Qt::AlignLeft);
    const char* const counters[5] = {"Page Count", "Tray 1", "MP Tray", "Fuser Remaining",
                                     "Transfer Belt"};
    for (int i = 0; i < 5; ++i) {
        QLineEdit* box = valueBox(frame, kNames[4 + i]);
        boxes_[static_cast<std::size_t>(4 + i)] = box;
        details->addWidget(new QLabel(QLatin1String(counters[i]), frame), i + 1, 0);
        details->addWidget(box, i + 1, 1, 1, 4);
    }
    auto* remaining = new QLabel(label(state, 160), frame);
    details->addWidget(remaining, 6, 1, 1, 4, Qt::AlignHCenter);
    // Cyan, magenta, yellow, then black and white (supplies 2, 3, 4, 1).
    static const QColor kBack[4] = {QColor(0, 174, 239), QColor(236, 0, 140), QColor(255, 242, 0),
                                    QColor(255, 255, 255)};
    static const QColor kFore[4] = {QColor(0, 0, 0), QColor(255, 255, 255), QColor(0, 0, 0),
                                    QColor(0, 0, 0)};
    for (int row = 0; row < 2; ++row) {
        details->addWidget(new QLabel(label(state, row == 0 ? 158 : 159), frame), 7 + row, 0);
        for (int c = 0; c < 4; ++c) {
            const int n = 9 + row * 4 + c;
            QLineEdit* box = valueBox(frame, kNames[n]);
            box->setAlignment(Qt::AlignCenter);
            box->setMinimumWidth(64);
            QPalette colours = box->palette();
            colours.setColor(QPalette::Base, kBack[c]);
            colours.setColor(QPalette::Text, kFore[c]);
            box->setPalette(colours);
            boxes_[static_cast<std::size_t>(n)] = box;
            details->addWidget(box, 7 + row, 1 + c);
        }
    }
    layout->addWidget(frame);

    ok_ = new QPushButton(label(state, 6), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ok_);
    layout->addLayout(bottom);

    connect(printers_, &QComboBox::activated, this, &NetworkWindow::choose);
    connect(details_, &QPushButton::clicked, this,
            [this] { readOut([this] { readUtilityDetails(view_, options_); }); });
    connect(ok_, &QPushButton::clicked, this, [this] {
        storeUtilityChoice(state_.sharedSettings, view_);
        accept();
    });

    showView(view_);
    readOut([this] {
        listPrinterQueues(state_.target, QueueListKind::NetworkUtility, &view_, options_);
    });
    printers_->addItems([this] {
        QStringList l;
        for (const auto& n : view_.printerList)
            l << qs(n);
        return l;
    }());
    for (const auto& a : view_.addressList)
        addresses_->addItem(qs(a));
    showView(view_);
    setFixedSize(sizeHint());
}

NetworkWindow::~NetworkWindow() {
    state_.ui = previousUi_;
}

void NetworkWindow::choose(int index) {
    readOut([this, index] { selectUtilityEntry(state_.target, view_, index, options_); });
}

void NetworkWindow::readOut(const std::function<void()>& work) {
    // The readout owns the view until it returns; the window shows the copies it sends.
    {
        WaitCursor wait;
        runOffThread({}, {}, work);
    }
    showView(view_);
}

void NetworkWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (initialised_) return;
    initialised_ = true;
    const std::string mainQueue = state_.window.printerChoice;
    readOut(
        [this, mainQueue] { selectMainWindowQueue(state_.target, view_, mainQueue, options_); });
}

void NetworkWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        if (!isActiveWindow())
            lastFocus_ = focusWidget();
        else if (lastFocus_)
            lastFocus_->setFocus(Qt::ActiveWindowFocusReason);
    }
    QDialog::changeEvent(event);
}

void NetworkWindow::showView(const NetworkUtilityView& view) {
    const PrinterReadout& r = view.readout;
    const std::string* values[kBoxCount] = {
        &r.ipAddress, &r.addressMethod, &r.serialNumber, &r.status,   &r.pageCount, &r.tray1,
        &r.mpTray,    &r.fuser,         &r.transferBelt, &r.toner[0], &r.toner[1],  &r.toner[2],
        &r.toner[3],  &r.drum[0],       &r.drum[1],      &r.drum[2],  &r.drum[3]};
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        boxes_[i]->setText(qs(*values[i]));
    const QSignalBlocker quiet(printers_);
    printers_->setCurrentIndex(view.selected);
    addresses_->setCurrentIndex(view.selected);
    details_->setEnabled(view.detailsEnabled);
}

void NetworkWindow::showMessage(MessageIcon icon, const std::string& caption,
                                const std::string& text) {
    if (previousUi_) previousUi_->showMessage(icon, caption, text);
}

bool NetworkWindow::askOkCancel(const std::string& caption, const std::string& text) {
    return previousUi_ && previousUi_->askOkCancel(caption, text);
}

void NetworkWindow::showStatus(const std::string& text) {
    if (previousUi_) previousUi_->showStatus(text);
}

void NetworkWindow::showProgress(int percent) {
    if (previousUi_) previousUi_->showProgress(percent);
}

void NetworkWindow::beforeDeviceWait() {
    // What is known so far is shown before each wait for the printer. The readout calls this
    // on its worker, which owns the view: the window gets a copy.
    auto show = [this](const NetworkUtilityView& view) {
        if (!isVisible()) return;
        showView(view);
        repaint();
    };
    if (QThread::currentThread() == thread()) {
        show(view_);
        return;
    }
    QMetaObject::invokeMethod(
        this, [show, copy = view_] { show(copy); }, Qt::QueuedConnection);
}
