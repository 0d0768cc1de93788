// The user-interface seam: everything a core procedure shows or asks goes through here.
// The GUI implements it with Qt, the command-line tool prints to the terminal, tests record.
//
// Threading contract:
// - One command at a time owns the session state (actions/app_state.h). In the window it
//   runs on a worker thread (gui/command_runner.h): load, conversion, separation, job build,
//   spooling, pattern mask, discovery and SNMP readouts. The window's thread reads none of the
//   state meanwhile; its event loop goes on (paints show the last preview picture) and takes
//   only Cancel and Escape. Commands that open a window of their own run on the window's
//   thread; so does everything in the command-line tool.
// - The seam is called on the thread that runs the command. The window's seam
//   (gui/window_ui.h) carries status and progress to its own thread by queued calls, and runs
//   messages, questions and file dialogs there while the command waits for the answer.
// - Inside an operation, helper threads (colour bands, separation rows, preview bands) touch
//   only the buffers handed to them and may read the cancel flag; they never call the seam.
// - Queue discovery for the printer box runs on a worker of its own with a PrinterBoxRequest
//   (the target printer and the settings file, never the picture; actions/printer_box.h). It
//   shows nothing and returns its list, which the window applies on its own thread once no
//   command owns the state.
// - Drawing the preview (renderPagePreview) only reads the state; the window draws on its
//   own thread while no command runs.
#pragma once

#include "core/no_widgets.h"

#include <string>

struct TextTable;
struct WindowTexts;
class ProgressSink;

enum class MessageIcon { None, Error, Warning, Exclamation, Information, Question };

struct UserInterface {
    virtual ~UserInterface() = default;
    // A message box with an OK button.
    virtual void showMessage(MessageIcon icon, const std::string& caption,
                             const std::string& text) = 0;
    // An OK/Cancel question; true for OK.
    virtual bool askOkCancel(const std::string& caption, const std::string& text) = 0;
    // The status line shows text.
    virtual void showStatus(const std::string& text) = 0;
    // The progress bar shows percent (0..100).
    virtual void showProgress(int percent) = 0;
    // Asks for a file to open or save; empty when cancelled or when no one can be asked.
    virtual std::string chooseFile(bool save, const std::string& title, const std::string& filter,
                                   const std::string& initialPath) {
        (void)save, (void)title, (void)filter, (void)initialPath;
        return {};
    }
    // Called before the program waits for a device's answer (an SNMP request): a window
    // shows the wait cursor and repaints here, so that the wait does not leave it blank.
    virtual void beforeDeviceWait() {}
};

// A seam that shows nothing and answers Cancel: for start-up before a window exists and for
// code that must stay quiet.
struct SilentUserInterface : UserInterface {
    void showMessage(MessageIcon, const std::string&, const std::string&) override {}
    bool askOkCancel(const std::string&, const std::string&) override { return false; }
    void showStatus(const std::string&) override {}
    void showProgress(int) override {}
};

// The message of a picture too large for the memory there is.
inline constexpr const char* kOutOfMemoryText =
    "Unable to allocate memory.\r\nPlease Reduce resolution of the image";

// What a subsystem reports and asks on its way, handed to it instead of the session state:
// the status line and progress bar (also kept in the window texts, so a window built later
// shows them), messages and questions, and the user's wish to stop. Any member may be null:
// that part of the feedback then goes nowhere (a cancel is then never asked for).
struct Feedback {
    WindowTexts* window = nullptr;
    const TextTable* texts = nullptr;
    UserInterface* ui = nullptr;
    ProgressSink* sink = nullptr;

    // The status line shows interface text number n.
    void status(int n) const;
    // The progress bar shows percent (held in 0..100).
    void progress(int percent) const;
    // A message box.
    void message(MessageIcon icon, const std::string& caption, const std::string& text) const;
    // An OK/Cancel question; false (Cancel) when nobody can be asked.
    bool askOkCancel(const std::string& caption, const std::string& text) const;
    // True when the running operation was asked to stop.
    bool cancelled() const;
};
