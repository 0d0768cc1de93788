#include "gui/custom_paper_dialog.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/texts.h"
#include "model/paper.h"
#include "gui/qt_text.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString label(const AppState& state, int n) {
    QString t = QString::fromStdString(text(state.language, n));
    t.remove(QLatin1Char('&'));
    t.remove(QLatin1Char('\r'));
    return t;
}

} // namespace

CustomPaperDialog::CustomPaperDialog(AppState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setWindowTitle(label(state, 147));
    auto* layout = new QVBoxLayout(this);

    auto* hint = new QLabel(label(state, 148), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto* grid = new QGridLayout;
    name_ = new QComboBox(this);
    name_->setEditable(true);
    name_->setObjectName(QStringLiteral("name"));
    name_->setMinimumWidth(200);
    grid->addWidget(new QLabel(label(state, 153), this), 0, 0);
    grid->addWidget(name_, 0, 1, 1, 3);

    const CustomSizeRanges ranges = customSizeRanges(state.target, state.record.unit);
    const QString unit = qs(unitSymbol(state.record.unit, state.language));
    for (int i = 0; i < 6; ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(QStringLiteral("field%1").arg(i));
        fields_[i]->setFixedWidth(80);
    }
    for (int i = 0; i < 2; ++i) {
        grid->addWidget(new QLabel(label(state, 149 + i), this), i + 1, 0);
        grid->addWidget(fields_[i], i + 1, 1);
        grid->addWidget(new QLabel(unit, this), i + 1, 2);
    }
    widthRange_ = new QLabel(qs(ranges.width), this);
    heightRange_ = new QLabel(qs(ranges.height), this);
    grid->addWidget(widthRange_, 1, 3);
    grid->addWidget(heightRange_, 2, 3);
    layout->addLayout(grid);

    // The margins (may stay empty: the current margins are kept when the size is chosen), each
    // field where its margin is around the sheet, so that top and bottom need no words.
    auto* margins = new QGroupBox(label(state, 137), this);
    auto* around = new QGridLayout(margins);
    const int cells[4][2] = {{0, 1}, {1, 0}, {1, 2}, {2, 1}};
    for (int m = 0; m < 4; ++m) {
        auto* cell = new QHBoxLayout;
        cell->addWidget(fields_[2 + m]);
        cell->addWidget(new QLabel(unit, margins));
        around->addLayout(cell, cells[m][0], cells[m][1], Qt::AlignCenter);
    }
    auto* sheet = new QLabel(margins);
    sheet->setFrameShape(QFrame::Box);
    sheet->setMinimumSize(60, 60);
    around->addWidget(sheet, 1, 1);
    layout->addWidget(margins);

    auto* buttons = new QHBoxLayout;
    save_ = new QPushButton(label(state, 9), this);
    save_->setObjectName(QStringLiteral("save"));
    save_->setDefault(true);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    auto* close = new QPushButton(label(state, 8), this);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    auto* removal = new QGroupBox(this);
    auto* removalLayout = new QHBoxLayout(removal);
    auto* removalHint = new QLabel(label(state, 152), removal);
    removalHint->setWordWrap(true);
    removalLayout->addWidget(removalHint, 1);
    delete_ = new QPushButton(label(state, 151), removal);
    delete_->setObjectName(QStringLiteral("delete"));
    removalLayout->addWidget(delete_, 0, Qt::AlignVCenter);
    layout->addWidget(removal);

    connect(save_, &QPushButton::clicked, this, &CustomPaperDialog::save);
    connect(delete_, &QPushButton::clicked, this, &CustomPaperDialog::remove);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(name_, &QComboBox::activated, this, [this](int i) { showSize(name_->itemText(i)); });
    fillNames({});
}

void CustomPaperDialog::fillNames(const QString& current) {
    name_->clear();
    for (const CustomPaper& p : readCustomPapers(state_.settings))
        name_->addItem(qs(p.name));
    name_->setCurrentIndex(-1);
    name_->setEditText(current);
}

void CustomPaperDialog::showSize(const QString& name) {
    for (const CustomPaper& p : readCustomPapers(state_.settings)) {
        if (qs(p.name) != name) continue;
        name_->setEditText(name);
        const double values[6] = {p.widthPt, p.heightPt, p.topPt, p.leftPt, p.rightPt, p.bottomPt};
        for (int i = 0; i < 6; ++i)
            fields_[i]->setText(
                qs(formatLength(state_.record.unit, static_cast<float>(values[i]))));
    }
}

void CustomPaperDialog::save() {
    const QString name = name_->currentText();
    const ActionResult r = saveCustomPaperSize(
        state_, ss(name), ss(fields_[0]->text()), ss(fields_[1]->text()), ss(fields_[2]->text()),
        ss(fields_[3]->text()), ss(fields_[4]->text()), ss(fields_[5]->text()));
    if (r != ActionResult::Done) return;
    fillNames(name);
    emit papersChanged();
}

void CustomPaperDialog::remove() {
    const QString name = name_->currentText();
    if (deleteCustomPaperSize(state_, ss(name)) == ActionResult::Nothing) return;
    for (QLineEdit* f : fields_)
        f->clear();
    fillNames({});
    emit papersChanged();
}
