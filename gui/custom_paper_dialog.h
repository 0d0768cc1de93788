// The "Custom Paper Size" dialog: name, size and margins of a custom paper in the display
// unit, with the ranges the printer takes. Saving and deleting are the core's actions.
#pragma once

#include <QDialog>

struct AppState;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CustomPaperDialog : public QDialog {
    Q_OBJECT
  public:
    CustomPaperDialog(AppState& state, QWidget* parent);

    QComboBox* name() const { return name_; }
    QLineEdit* field(int n) const { return fields_[n]; } // width, height, top, left, right, bottom
    QLabel* widthRange() const { return widthRange_; }
    QLabel* heightRange() const { return heightRange_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* deleteButton() const { return delete_; }

  signals:
    // The custom sizes changed (the paper list was rebuilt).
    void papersChanged();

  private:
    void fillNames(const QString& current);
    void showSize(const QString& name);
    void save();
    void remove();

    AppState& state_;
    QComboBox* name_ = nullptr;
    QLineEdit* fields_[6] = {};
    QLabel* widthRange_ = nullptr;
    QLabel* heightRange_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* delete_ = nullptr;
};
