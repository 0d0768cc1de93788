// The unit dialog: millimetres, centimetres or inches for the lengths the windows show.
#pragma once

#include <QDialog>

struct AppState;
class QRadioButton;

class UnitDialog : public QDialog {
    Q_OBJECT
  public:
    UnitDialog(AppState& state, QWidget* parent);
    // The option of unit code "M", "C" or "I" (object names "unitM", "unitC", "unitI").
    QRadioButton* option(char code) const;

  private:
    AppState& state_;
    QRadioButton* options_[3] = {};
};
