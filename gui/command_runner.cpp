#include "gui/command_runner.h"

#include "core/child_process.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <cerrno>
#include <exception>
#include <memory>

namespace {

// The window a receiver belongs to: its own for a widget, its owner's for an action or
// shortcut.
QWidget* windowOf(QObject* o) {
    for (; o; o = o->parent())
        if (auto* w = qobject_cast<QWidget*>(o)) return w->window();
    return nullptr;
}

bool isInput(QEvent::Type t) {
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Holds back the input of the windows open when it was made, as runOffThread describes.
class InputHold : public QObject {
  public:
    InputHold(const std::vector<const QObject*>& allowed, const std::function<void()>& onEscape)
        : allowed_(allowed), onEscape_(onEscape) {
        for (QWidget* w : QApplication::topLevelWidgets())
            held_.push_back(w);
        qApp->installEventFilter(this);
    }
    ~InputHold() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!isInput(event->type())) return false;
        for (const QObject* a : allowed_)
            for (QObject* o = receiver; o; o = o->parent())
                if (o == a) return false;
        QWidget* window = windowOf(receiver);
        bool held = false;
        for (const QPointer<QWidget>& w : held_)
            held = held || (w && w == window);
        if (!held) return false;
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && onEscape_)
            onEscape_();
        return true;
    }

  private:
    std::vector<const QObject*> allowed_;
    std::function<void()> onEscape_;
    std::vector<QPointer<QWidget>> held_;
};

} // namespace

void runOffThread(const std::vector<const QObject*>& allowed, const std::function<void()>& onEscape,
                  const std::function<void()>& work) {
    InputHold hold(allowed, onEscape);
    // Our own forked children (the picture decoder) are forked on this thread while the
    // worker waits for it: a fork on the worker could copy into the child a lock this thread
    // holds in the middle of a paint, and the child would wait for it for ever.
    QObject* home = qApp;
    setChildForker([home](const std::function<pid_t()>& fork) -> pid_t {
        if (QThread::currentThread() == home->thread()) return fork();
        pid_t pid = -1;
        int error = 0;
        QMetaObject::invokeMethod(
            home,
            [&] {
                pid = fork();
                error = errno;
            },
            Qt::BlockingQueuedConnection);
        errno = error;
        return pid;
    });
    struct ForkerReset {
        ~ForkerReset() { setChildForker(nullptr); }
    } forkerReset;
    std::exception_ptr failure;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    if (failure) std::rethrow_exception(failure);
}
