#include "gui/library_editor.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "pattern/shape_library.h"
#include "gui/qt_text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {} // namespace

LibraryEditor::LibraryEditor(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName("libraryEditor");
    setWindowTitle(qs(text(state.language, 250)));
    auto* top = new QHBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName("shapeList");
    for (const std::string& name : listShapeNames(state.settings))
        list_->addItem(qs(name));
    top->addWidget(list_);

    auto* side = new QVBoxLayout;
    auto* heading = new QLabel(qs(text(state.language, 251)), this);
    auto* note = new QLabel(qs(text(state.language, 252)), this);
    note->setObjectName("note");
    note->setWordWrap(true);
    note->setMaximumWidth(220);
    auto* ok = new QPushButton(qs(text(state.language, 6)), this);
    ok->setObjectName("okButton");
    auto* cancel = new QPushButton(qs(text(state.language, 5)), this);
    cancel->setObjectName("cancelButton");
    side->addWidget(heading);
    side->addWidget(note);
    side->addStretch();
    side->addWidget(ok);
    side->addWidget(cancel);
    top->addLayout(side);

    connect(list_, &QListWidget::itemClicked, this, [](QListWidgetItem* item) {
        item->setText(qs(toggleShapeMark(item->text().toStdString())));
    });
    connect(ok, &QPushButton::clicked, this, &LibraryEditor::complete);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LibraryEditor::complete() {
    std::vector<std::string> keep;
    for (int i = 0; i < list_->count(); ++i) {
        const std::string item = list_->item(i)->text().toStdString();
        if (!isShapeMarked(item)) keep.push_back(item);
    }
    if (keepShapes(state_.settings, keep, feedback(state_))) accept();
}
