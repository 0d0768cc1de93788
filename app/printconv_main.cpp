// printconv: the desktop program. Its one optional argument is a picture to open after
// start-up; everything else comes from its settings and language files.
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"

#include <QApplication>
#include <QTimer>

namespace {

QString gStartFile;

int runWindow(AppState& state) {
    MainWindow window(state);
    window.show();
    if (!gStartFile.isEmpty())
        QTimer::singleShot(0, &window, [&window] { window.openFile(gStartFile); });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lumivane.Basic"));
    QApplication::setApplicationName(QStringLiteral("Lumivane Basic"));
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) gStartFile = args.at(1);
    AppState state;
    return runApplication(state, runWindow);
}
