// printconv: the desktop program. Its one optional argument is a picture to open after
// start-up; everything else comes from its settings and language files. A second start while
// one runs hands its picture to the running window (or raises it) and ends.
#include "actions/app_state.h"
#include "core/folders.h"
#include "actions/help.h"
#include "gui/main_window.h"
#include "actions/startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

constexpr const char* kInstanceName = "Lumivane_Basic";

QString gStartFile;
QString gSocketPath;

// Opens path in the window once it is free: a command still running refuses new work.
void openWhenFree(MainWindow* window, const QString& path) {
    if (window->busy()) {
        QTimer::singleShot(100, window, [window, path] { openWhenFree(window, path); });
        return;
    }
    window->openFile(path);
}

// Takes one line (a file path, or nothing) from each second start.
void listenForHandOff(QLocalServer& server, MainWindow& window) {
    // The lock says no other copy runs, so a socket file left here is stale.
    QLocalServer::removeServer(gSocketPath);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(gSocketPath)) {
        std::fprintf(stderr, "printconv: cannot take files from other starts: %s\n",
                     qPrintable(server.errorString()));
        return;
    }
    QObject::connect(&server, &QLocalServer::newConnection, &window, [&server, &window] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, &window, [socket, &window] {
                if (!socket->canReadLine()) return;
                const QString path = QString::fromUtf8(socket->readLine()).trimmed();
                window.showNormal();
                window.raise();
                window.activateWindow();
                // Opened once this handler has returned: loading runs the event loop, in which
                // the socket may go.
                if (!path.isEmpty())
                    QTimer::singleShot(0, &window,
                                       [&window, path] { openWhenFree(&window, path); });
            });
        }
    });
}

// Sends path (may be empty) to the running copy. The running copy may still be starting
// (it holds the lock before it listens), so the connection is tried for a while.
bool handOff(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        QLocalSocket socket;
        socket.connectToServer(gSocketPath);
        if (socket.waitForConnected(1000)) {
            socket.write(path.toUtf8() + '\n');
            const bool sent = socket.waitForBytesWritten(5000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(5000);
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}

int runWindow(AppState& state) {
    MainWindow window(state);
    QLocalServer server;
    listenForHandOff(server, window);
    window.show();
    if (!gStartFile.isEmpty())
        QTimer::singleShot(0, &window, [&window] { window.openFile(gStartFile); });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileId));
    QApplication::setApplicationName(QStringLiteral("Lumivane Basic"));
    const QStringList args = QApplication::arguments();
    // The running copy has another working folder: the path goes over absolute.
    if (args.size() > 1) gStartFile = QFileInfo(args.at(1)).absoluteFilePath();
    AppState state;
    resolveFolders(state.locations);
    gSocketPath = QString::fromStdString(instanceSocketPath(state, kInstanceName));
    if (isAlreadyRunning(state, kInstanceName)) {
        if (!handOff(gStartFile))
            std::fprintf(stderr, "printconv: another copy runs but did not answer\n");
        return 0;
    }
    return runApplication(state, runWindow);
}
