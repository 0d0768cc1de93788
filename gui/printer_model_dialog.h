// The printer model window: the models the program knows, the target one selected.
#pragma once

#include <QDialog>

#include <string>

struct AppState;
class QListWidget;

class PrinterModelDialog : public QDialog {
    Q_OBJECT
  public:
    PrinterModelDialog(const AppState& state, QWidget* parent);
    QListWidget* list() const { return list_; }
    // The model code selected (empty when none).
    std::string chosenModel() const;

  private:
    QListWidget* list_ = nullptr;
};
