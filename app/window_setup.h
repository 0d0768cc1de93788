// What building the main window does to the state, apart from the window itself: settings
// ensured, lists filled, controls at their starting values. The GUI calls it before showing
// the window; the command-line tool calls it instead of a window.
#pragma once

#include <string>
#include <vector>

struct AppState;

// Rewrites texts 101..112 with the family's short media names and returns the media list of
// the main window in its order (the C844 adds the three user types).
std::vector<std::string> buildMediaList(AppState& state);

// Settings ensured (defaults, record, recent files), pattern print defaults written when
// missing, media, paper and tray lists filled (A4 selected), margins enforced, ink thresholds
// chosen, controls at their starting values, status "no file".
void setUpMainWindowState(AppState& state);
