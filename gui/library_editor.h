// The "Library Edit" window: marks shapes with "** " and removes them on OK.
#pragma once

#include <QDialog>

struct AppState;
class QListWidget;

class LibraryEditor : public QDialog {
    Q_OBJECT
  public:
    explicit LibraryEditor(AppState& state, QWidget* parent = nullptr);
    // OK: keeps the unmarked shapes and closes; stays open when the file could not be written.
    void complete();

  private:
    AppState& state_;
    QListWidget* list_ = nullptr;
};
