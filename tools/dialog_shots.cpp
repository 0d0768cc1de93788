// Pictures of the program's dialogs for review: each dialog is built over the program's own
// start-up state (settings and language from the user's folders), shown and saved as a PNG.
// Usage: dialog_shots OUT_DIR [NAME_PREFIX]
#include "actions/app_state.h"
#include "gui/colour_dialog.h"
#include "gui/custom_paper_dialog.h"
#include "gui/main_window.h"
#include "gui/margins_dialog.h"
#include "actions/startup.h"
#include "gui/network_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>

namespace {

QString gOut;
QString gPrefix;

void save(QWidget& w, const char* name) {
    w.show();
    w.activateWindow();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const QString path = gOut + QLatin1Char('/') + gPrefix + QLatin1String(name) + ".png";
    if (!w.grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("saved %s\n", qPrintable(path));
    w.hide();
}

int shoot(AppState& state) {
    MainWindow window(state); // sets the state up as the program does
    {
        ColourDialog d(state, &window);
        save(d, "dialog-colour");
    }
    {
        CustomPaperDialog d(state, &window);
        d.name()->setEditText(QStringLiteral("Mug wrap"));
        d.field(0)->setText(QStringLiteral("200.0"));
        d.field(1)->setText(QStringLiteral("150.0"));
        save(d, "dialog-custom-paper");
    }
    {
        MarginsDialog d(state, &window);
        save(d, "dialog-margins");
    }
    {
        NetworkWindow w(state, &window);
        save(w, "dialog-network");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog_shots OUT_DIR [NAME_PREFIX]\n");
        return 2;
    }
    gOut = QString::fromLocal8Bit(argv[1]);
    if (argc > 2) gPrefix = QString::fromLocal8Bit(argv[2]);
    AppState state;
    return runApplication(state, shoot);
}
