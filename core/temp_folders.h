// Temporary folders that hold copies of the user's data (a picture, the settings, a job) are
// removed when the program is stopped by Ctrl-C or SIGTERM, not only when it ends normally.
#pragma once

#include <string>

// Makes a private folder "$TMPDIR/<prefix>XXXXXX" (TMPDIR defaults to /tmp) and registers it
// for removal on SIGINT, SIGTERM or SIGHUP; both happen with those signals held back, so a
// signal never finds the folder made but not registered. Empty (errno set) on failure.
std::string makeTemporaryFolder(const std::string& prefix);
// Removes a folder made by makeTemporaryFolder with the files in it (such folders hold no
// sub-folders) and takes it out of the register, with the signals held back meanwhile.
void removeTemporaryFolder(const std::string& path);

// Installs the handlers: on SIGINT, SIGTERM or SIGHUP every registered folder and the files
// in it are removed, then the signal's default action ends the process.
void removeTemporaryFoldersOnSignals();
