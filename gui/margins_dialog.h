// The "Print Margins" dialog: the four margins in the display unit, each raised to the
// printer's minimum with a note, and the printable area they leave. The rules are the core's
// (checkMargin, printableAreaFor, applyPrintMargins).
#pragma once

#include <QDialog>

#include <array>

struct AppState;
class QLabel;
class QLineEdit;

class MarginsDialog : public QDialog {
    Q_OBJECT
  public:
    MarginsDialog(AppState& state, QWidget* parent);

    QLineEdit* field(int n) const { return fields_[n]; } // top, left, right, bottom
    QLabel* note() const { return note_; }
    QLabel* area() const { return area_; }
    // The margins in points as the dialog holds them.
    const std::array<double, 4>& marginsPt() const { return margins_; }

  private:
    // A field was edited: its value raised to the minimum when below it.
    void takeField(int n);
    void showValues(int except);
    void showArea();
    QString marginName(int n) const; // "top", "left", ... in the interface language

    AppState& state_;
    std::array<double, 4> margins_{};
    QLineEdit* fields_[4] = {};
    QLabel* note_ = nullptr;
    QLabel* area_ = nullptr;
};
