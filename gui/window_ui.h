// The main window's side of the user-interface seam (core/ui.h) and its progress sink.
//
// A command runs on a worker thread (command_runner.h) and reports from there. The status
// line and progress bar are set on the window's thread by queued calls, in the order they
// were made (a progress step equal to the one sent last is not sent again). Messages,
// questions and file dialogs run on the window's thread while the worker waits for the
// answer. Called on the window's thread, everything happens at once.
#pragma once

#include "core/progress.h"
#include "core/ui.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <string>

class QLabel;
class QProgressBar;
class QWidget;
struct TextTable;

class WindowUi : public QObject, public UserInterface, public ProgressSink {
    Q_OBJECT
  public:
    // window: the parent of the dialogs. texts: the interface texts of the phases. forward:
    // when set, messages, questions and file dialogs are answered there instead of by Qt
    // dialogs, and status and progress are told there too (the window still shows them).
    WindowUi(QWidget* window, const TextTable& texts, UserInterface* forward);

    // The status line and progress bar to show in; the window builds them anew on a rebuild.
    void setDisplay(QLabel* status, QProgressBar* progress);
    // Called when a command starts: every step is sent again from here on.
    void startCommand();

    void showMessage(MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool askOkCancel(const std::string& caption, const std::string& text) override;
    void showStatus(const std::string& text) override;
    void showProgress(int percent) override;
    std::string chooseFile(bool save, const std::string& title, const std::string& filter,
                           const std::string& initialPath) override;
    void step(int phase, int percent) override;

  private:
    bool onWindowThread() const;
    void setStatusLine(const std::string& text);
    void setProgressBar(int percent);

    QWidget* window_;
    const TextTable& texts_;
    UserInterface* forward_;
    QPointer<QLabel> status_;
    QPointer<QProgressBar> progress_;
    std::atomic<int> sentProgress_{-1}; // the last progress value sent from the worker
    std::atomic<int> sentStep_{-1};     // the last step (phase x 1000 + percent) sent
};
