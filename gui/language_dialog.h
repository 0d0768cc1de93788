// The language dialog: the language files of the program folder to choose from.
#pragma once

#include <QDialog>

struct AppState;
class QListWidget;

class LanguageDialog : public QDialog {
    Q_OBJECT
  public:
    LanguageDialog(AppState& state, QWidget* parent);
    QListWidget* list() const { return list_; }
    // After OK: true when the texts changed and the main window must be built again.
    bool changed() const { return changed_; }

  private:
    void confirm();

    AppState& state_;
    QListWidget* list_ = nullptr;
    bool changed_ = false;
};
