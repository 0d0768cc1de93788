#include "gui/unit_dialog.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "core/texts.h"
#include "settings/settings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr char kCodes[3] = {'M', 'C', 'I'};

QString plain(const AppState& state, int n) {
    return QString::fromStdString(text(state.language, n)).remove(QLatin1Char('&'));
}

} // namespace

UnitDialog::UnitDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setWindowTitle(plain(state, 75));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(plain(state, 76), this));
    const std::string stored = readSetting(state.settings, keys::kUnit, "");
    const char checked = stored == "C" || stored == "I" ? stored[0] : 'M';
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(plain(state, 77 + i), this);
        r->setObjectName(QStringLiteral("unit") + QLatin1Char(kCodes[i]));
        r->setChecked(checked == kCodes[i]);
        // The choice is written at once, as each option is picked.
        connect(r, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) chooseUnit(state_, std::string(1, kCodes[i]));
        });
        options_[i] = r;
        layout->addWidget(r);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(plain(state, 6), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

QRadioButton* UnitDialog::option(char code) const {
    for (int i = 0; i < 3; ++i)
        if (kCodes[i] == code) return options_[i];
    return nullptr;
}
