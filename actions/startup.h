// Start-up and shut-down of the program.
#pragma once

#include <string>

struct AppState;

// True when another running copy holds the lock named `name` (a lock file under
// state.runtimeFolder held with flock). Otherwise takes the lock and keeps it for the life of
// the process. A lock left behind by a crashed process does not count.
bool isAlreadyRunning(AppState& state, const std::string& name);

// The local socket on which the running window takes files from a second start: in the same
// folder as the lock, named with the user id so two users (or a shared runtime folder) never
// reach each other's window.
std::string instanceSocketPath(const AppState& state, const std::string& name);

// Start-up steps 3 to 8 (shape library, language, profiles, old bottom margin, handedness).
// The folders must be resolved and the seam set. The command-line tool, which has no pattern
// print, leaves the shape library out (provisionShapes false).
void prepareSettings(AppState& state, bool provisionShapes = true);

// Shut-down resets: family colour adjustment and margins by model.
void shutDown(AppState& state);

// The program's main routine. runWindow, when given, builds and runs the main window and
// returns when it closes; returns the process exit code (0).
int runApplication(AppState& state, int (*runWindow)(AppState&) = nullptr);
