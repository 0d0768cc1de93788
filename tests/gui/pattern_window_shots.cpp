// Shows one pattern window for a screenshot: pattern-setup, shape-import (with a drawing
// converted) or library-edit (with one shape marked). Settings live under $XDG_CONFIG_HOME as
// for the program. Usage: pattern_window_shots WINDOW [DRAWING.ai]
#include "actions/app_state.h"
#include "core/folders.h"
#include "actions/startup.h"
#include "core/ui.h"
#include "gui/library_editor.h"
#include "pattern/pattern_mask.h"
#include "gui/pattern_setup_window.h"
#include "gui/shape_import_window.h"
#include "settings/settings.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    SilentUserInterface ui;
    AppState state;
    state.ui = &ui;
    if (!resolveFolders(state.locations)) return 1;
    prepareSettings(state);
    ensurePatternDefaults(state.settings);
    // A picture of 120 x 80 mm, as the canvas boxes would show it.
    state.layout.placedWidthPt = 120 * 72 / 25.4f;
    state.layout.placedHeightPt = 80 * 72 / 25.4f;
    const QString which = QString::fromLocal8Bit(argv[1]);
    std::unique_ptr<QDialog> window;
    if (which == "pattern-setup") {
        window = std::make_unique<PatternSetupWindow>(state);
    } else if (which == "shape-import") {
        auto importer = std::make_unique<ShapeImportWindow>(state);
        if (argc > 2) importer->importPath(argv[2]);
        window = std::move(importer);
    } else if (which == "library-edit") {
        window = std::make_unique<LibraryEditor>(state);
        if (auto* list = window->findChild<QListWidget*>("shapeList"); list && list->count() > 2)
            list->item(2)->setText(QStringLiteral("** ") + list->item(2)->text());
    } else {
        return 2;
    }
    window->move(40, 40);
    window->show();
    return QApplication::exec();
}
