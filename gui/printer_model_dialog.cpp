#include "gui/printer_model_dialog.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "model/models.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

PrinterModelDialog::PrinterModelDialog(const AppState& state, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Printer Model"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The printer this program prints for:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("models"));
    for (const std::string& code : offeredModelCodes()) {
        // The brand as choosing the model would set it.
        AppState probe;
        setTargetPrinter(probe.target, code);
        auto* item = new QListWidgetItem(
            QString::fromStdString(probe.target.targetBrand + " " + code), list_);
        item->setData(Qt::UserRole, QString::fromStdString(code));
        if (code == state.target.targetModel) list_->setCurrentItem(item);
    }
    // Every model in view at once: the list is short.
    list_->setMinimumSize(list_->sizeHintForColumn(0) + 60,
                          list_->sizeHintForRow(0) * list_->count() + 2 * list_->frameWidth() + 4);
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString::fromStdString(text(state.language, 6)),
                                         QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QString::fromStdString(text(state.language, 5)),
                       QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

std::string PrinterModelDialog::chosenModel() const {
    const QListWidgetItem* item = list_->currentItem();
    return item ? item->data(Qt::UserRole).toString().toStdString() : std::string();
}
