// The About box: program picture and name, and the lines of aboutText().
#pragma once

#include <QDialog>

#include <string>

struct AppState;
class QPlainTextEdit;

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    // lines: the About text (CR LF between lines).
    AboutDialog(const AppState& state, const std::string& lines, QWidget* parent);
    QPlainTextEdit* lines() const { return lines_; }

  private:
    QPlainTextEdit* lines_ = nullptr;
};
