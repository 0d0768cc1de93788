// The one session record: every part of the state the program keeps between two commands.
// It lives on the actions floor: only the user actions (and the windows and the command-line
// tool above them) take it whole; a subsystem takes the parts it needs.
#pragma once

#include "core/no_widgets.h"
#include "core/profile_file.h"
#include "core/progress.h"
#include "core/state.h"
#include "core/ui.h"

#include <string>

struct AppState {
    AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    Locations locations;
    TargetPrinter target;
    SettingsRecord record;
    ColourAdjustment colour;
    ColourProfiles profiles;
    TextTable language;
    RecentFiles recent;
    PageSetup page;
    Picture picture;
    Layout layout;
    WindowTexts window;

    // The user's settings file (at locations.settingsPath) and the machine-wide one; a failed
    // write is reported through the seam.
    ProfileFile settings{&locations.settingsPath};
    ProfileFile sharedSettings{&locations.sharedSettingsPath};

    // The user-interface seam (never null once start-up has run).
    UserInterface* ui = nullptr;
    // The sink of the running long operation (null when none runs): progress steps and the
    // cancel flag.
    ProgressSink* progressSink = nullptr;
};

// The feedback of the session: its window texts, texts, seam and progress sink.
Feedback feedback(AppState& state);

// Sets the status line to interface text number n and remembers it in the state.
void setStatus(AppState& state, int n);
// Sets the progress bar to p (clamped to 0..100) and remembers it in the state.
void setProgress(AppState& state, int p);
// Shows a message box through the state's seam.
void showMessage(AppState& state, MessageIcon icon, const std::string& caption,
                 const std::string& text);

// Installs sink as the state's progress sink for the life of this object (the previous one
// comes back afterwards) and clears its cancel flag.
class ProgressScope {
  public:
    ProgressScope(AppState& state, ProgressSink* sink);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

  private:
    AppState& state_;
    ProgressSink* previous_;
};

// True when the running operation was asked to stop. Long operations check it per row or per
// request and then return their failure, leaving what they replace as it was.
bool progressCancelled(const AppState& state);
