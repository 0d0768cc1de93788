// The last-file record "Lastfile.exini": six lines, entries 1..5 newest first, line 6 a copy
// of line 1.
#pragma once

#include "core/state.h"

#include <string>

struct UserInterface;

// Reads the six lines of the record at recordPath into recent.recentFiles[1..6] (each cut to
// 512 bytes); a missing file gives empty entries. A file that is not a regular file is ignored;
// one larger than kMaxRecentFileBytes is reported through ui (with its path) and ignored.
void readRecentFiles(RecentFiles& recent, const std::string& recordPath, UserInterface* ui);

inline constexpr unsigned long kMaxRecentFileBytes = 64ul << 10;

// Moves path to entry 1: nothing changes when entry 1 contains it; an entry 2..5 that
// contains it moves up to 1; otherwise it becomes entry 1 and the oldest entry drops out.
// Read, change and write of all six lines are one step under the folder's write lock (a
// failure is shown like a failed settings write). A name with a line break is not
// remembered. True when written.
bool rememberFile(RecentFiles& recent, const std::string& recordPath, UserInterface* ui,
                  const std::string& path);

// Removes entry n (1..5) after it failed to load: later entries move up, entry 5 empties.
bool forgetRecentFile(RecentFiles& recent, const std::string& recordPath, UserInterface* ui, int n);

// The text of the File menu's recent entry: the path when it has at most 35 characters,
// otherwise "..." and its last 32 characters.
std::string recentMenuText(const std::string& path);
