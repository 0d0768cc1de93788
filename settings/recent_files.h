// The last-file record "Lastfile.exini": six lines, entries 1..5 newest first, line 6 a copy
// of line 1.
#pragma once

struct AppState;

// Reads the six lines of state.recentFilesPath into state.recentFiles[1..6] (each cut to 512
// bytes); a missing file gives empty entries.
void readRecentFiles(AppState& state);
