// The last-file record "Lastfile.exini": six lines, entries 1..5 newest first, line 6 a copy
// of line 1.
#pragma once

struct AppState;

// Reads the six lines of state.recentFilesPath into state.recentFiles[1..6] (each cut to 512
// bytes); a missing file gives empty entries. A file that is not a regular file is ignored;
// one larger than kMaxRecentFileBytes is reported (with its path) and ignored.
void readRecentFiles(AppState& state);

inline constexpr unsigned long kMaxRecentFileBytes = 64ul << 10;
