#include "gui/about_dialog.h"

#include "actions/app_state.h"
#include "actions/help.h"
#include "core/texts.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

AboutDialog::AboutDialog(const AppState& state, const std::string& lines, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromStdString(text(state.language, 65)).remove(QLatin1Char('&')));
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    const QPixmap icon(QString::fromStdString(state.locations.programFolder + kProgramIconFile));
    if (!icon.isNull())
        picture->setPixmap(icon.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* name = new QLabel(QString::fromStdString(text(state.language, kTextProgramName)), this);
    name->setObjectName(QStringLiteral("product"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    head->addWidget(picture);
    head->addWidget(name, 1);
    layout->addLayout(head);

    lines_ = new QPlainTextEdit(this);
    lines_->setObjectName(QStringLiteral("lines"));
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_->setPlainText(
        QString::fromStdString(lines).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const QFontMetrics metrics(lines_->font());
    int widest = 0;
    for (const QString& line : lines_->toPlainText().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    lines_->setMinimumSize(std::min(widest + 40, 900), metrics.lineSpacing() * 8);
    layout->addWidget(lines_, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString::fromStdString(text(state.language, 6)),
                                         QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
