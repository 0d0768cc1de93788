// The one session record: every part of the state the program keeps between two commands.
// Only the user actions (and the windows and the command-line tool above them) take it whole;
// a subsystem takes the parts it needs.
#pragma once

#include "core/no_widgets.h"
#include "core/profile_file.h"
#include "core/state.h"

struct UserInterface;
class ProgressSink;

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
