// The last-file record "Lastfile.exini": six lines, entries 1..5 newest first, line 6 a copy
// of line 1.
#pragma once

#include <string>

struct AppState;

// Reads the six lines of state.recentFilesPath into state.recentFiles[1..6] (each cut to 512
// bytes); a missing file gives empty entries. A file that is not a regular file is ignored;
// one larger than kMaxRecentFileBytes is reported (with its path) and ignored.
void readRecentFiles(AppState& state);

inline constexpr unsigned long kMaxRecentFileBytes = 64ul << 10;

// Moves path to entry 1: nothing changes when entry 1 contains it; an entry 2..5 that
// contains it moves up to 1; otherwise it becomes entry 1 and the oldest entry drops out.
// Read, change and write of all six lines are one step under the folder's write lock (a
// failure is shown like a failed settings write). A name with a line break is not
// remembered. True when written.
bool rememberFile(AppState& state, const std::string& path);

// Removes entry n (1..5) after it failed to load: later entries move up, entry 5 empties.
bool forgetRecentFile(AppState& state, int n);

// The text of the File menu's recent entry: the path when it has at most 35 characters,
// otherwise "..." and its last 32 characters.
std::string recentMenuText(const std::string& path);
