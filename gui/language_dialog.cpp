#include "gui/language_dialog.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "settings/language.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString plain(const AppState& state, int n) {
    return QString::fromStdString(text(state.language, n)).remove(QLatin1Char('&'));
}

} // namespace

LanguageDialog::LanguageDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setWindowTitle(plain(state, 80));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(plain(state, 81), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("languages"));
    const LanguageList languages = listLanguages(state.locations.programFolder, state.settings);
    for (const auto& name : languages.names)
        list_->addItem(QString::fromStdString(name));
    list_->setCurrentRow(languages.selected);
    list_->setMinimumWidth(list_->sizeHintForColumn(0) + 60);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(plain(state, 6), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(plain(state, 5), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &LanguageDialog::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &LanguageDialog::confirm);
    layout->addWidget(buttons);
}

void LanguageDialog::confirm() {
    // Only a confirmation with an entry selected changes anything.
    if (QListWidgetItem* item = list_->currentItem())
        changed_ = chooseLanguage(state_.language, state_.settings, state_.locations.programFolder,
                                  state_.ui, item->text().toStdString());
    accept();
}
