#include "gui/margins_dialog.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/texts.h"
#include "model/paper.h"
#include "gui/qt_text.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace {

QString label(const AppState& state, int n) {
    return plainText(state.language, n);
}

const char* const kWhich[] = {"Top", "Left", "Right", "Bottom"};

} // namespace

MarginsDialog::MarginsDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setWindowTitle(label(state, 137));
    for (int i = 0; i < 4; ++i)
        margins_[static_cast<std::size_t>(i)] = marginPt(state.settings, kWhich[i]);

    auto* layout = new QVBoxLayout(this);
    // The fields sit where their margins are, around the printable area: no words needed for
    // top and bottom, which the text table does not have.
    auto* grid = new QGridLayout;
    const QString unit = qs(unitSymbol(state.record.unit, state.language));
    const int cells[4][2] = {{0, 1}, {1, 0}, {1, 2}, {2, 1}};
    for (int i = 0; i < 4; ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(QStringLiteral("margin%1").arg(i));
        fields_[i]->setFixedWidth(70);
        fields_[i]->setToolTip(marginName(i));
        auto* cell = new QHBoxLayout;
        cell->addWidget(fields_[i]);
        cell->addWidget(new QLabel(unit, this));
        grid->addLayout(cell, cells[i][0], cells[i][1], Qt::AlignCenter);
        // The value is taken when the user leaves the field or presses Enter.
        connect(fields_[i], &QLineEdit::editingFinished, this, [this, i] { takeField(i); });
        connect(fields_[i], &QLineEdit::textEdited, this, [this] { showArea(); });
    }
    area_ = new QLabel(this);
    area_->setObjectName(QStringLiteral("area"));
    area_->setFrameShape(QFrame::Box);
    area_->setAlignment(Qt::AlignCenter);
    area_->setMinimumSize(170, 110);
    grid->addWidget(area_, 1, 1);
    layout->addLayout(grid);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    note_->setMinimumWidth(300);
    layout->addWidget(note_);

    auto* printer = new QPushButton(label(state, 139), this);
    printer->setObjectName(QStringLiteral("printerMargins"));
    layout->addWidget(printer, 0, Qt::AlignLeft);
    connect(printer, &QPushButton::clicked, this, [this] {
        margins_ = printerMarginsPt(state_);
        note_->clear();
        showValues(-1);
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(label(state, 6), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    buttons->addButton(label(state, 5), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        // A value typed but not yet left still counts.
        for (int i = 0; i < 4; ++i)
            if (fields_[i]->isModified()) takeField(i);
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Stored margins below the printer's minimum are shown raised, with the note.
    QStringList raised;
    for (int i = 0; i < 4; ++i) {
        const CheckedMargin m = checkMargin(state_, i, margins_[static_cast<std::size_t>(i)]);
        margins_[static_cast<std::size_t>(i)] = m.points;
        if (m.raised) raised << marginName(i);
    }
    if (!raised.isEmpty())
        note_->setText(QStringLiteral("Raised to the least this printer can print: %1.")
                           .arg(raised.join(QStringLiteral(", "))));
    showValues(-1);
}

QString MarginsDialog::marginName(int n) const {
    const QString name = n == 0   ? QStringLiteral("Top")
                         : n == 3 ? QStringLiteral("Bottom")
                                  : label(state_, 144 + n - 1);
    return name.toLower();
}

void MarginsDialog::takeField(int n) {
    QLineEdit* f = fields_[n];
    if (!f->isModified()) return;
    f->setModified(false);
    double points = 0;
    const std::size_t i = static_cast<std::size_t>(n);
    if (!parseTypedLength(state_, f->text().toStdString(), points)) {
        note_->setText(QStringLiteral("Please enter a number of %1.")
                           .arg(qs(unitSymbol(state_.record.unit, state_.language))));
        showValues(-1);
        return;
    }
    const CheckedMargin m = checkMargin(state_, n, points);
    margins_[i] = m.points;
    if (m.raised) {
        note_->setText(QStringLiteral("The %1 margin was raised to %2 %3, the least this printer "
                                      "can print.")
                           .arg(marginName(n),
                                qs(formatLength(state_.record.unit, static_cast<float>(m.points))),
                                qs(unitSymbol(state_.record.unit, state_.language))));
        showValues(-1);
    } else {
        note_->clear();
        showValues(n);
    }
}

void MarginsDialog::showValues(int except) {
    for (int i = 0; i < 4; ++i) {
        if (i == except) continue;
        fields_[i]->setText(qs(formatLength(
            state_.record.unit, static_cast<float>(margins_[static_cast<std::size_t>(i)]))));
        fields_[i]->setModified(false);
    }
    showArea();
}

void MarginsDialog::showArea() {
    // A field being typed in counts with what it holds so far when that is a number.
    std::array<double, 4> margins = margins_;
    for (std::size_t i = 0; i < 4; ++i) {
        double typed = 0;
        if (fields_[i] && fields_[i]->isModified() &&
            parseTypedLength(state_, fields_[i]->text().toStdString(), typed))
            margins[i] = typed;
    }
    const auto [w, h] = printableAreaFor(state_, margins);
    area_->setText(QStringLiteral("%1\n%2 x %3 %4")
                       .arg(label(state_, 138),
                            qs(formatLength(state_.record.unit, static_cast<float>(w))),
                            qs(formatLength(state_.record.unit, static_cast<float>(h))),
                            qs(unitSymbol(state_.record.unit, state_.language))));
}
